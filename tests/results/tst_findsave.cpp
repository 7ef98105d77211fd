// Find and save of the results model against the rows it shows, and
// records the filter cannot decide.
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextCodec>
#include <QtTest>

#include <cerrno>
#include <clocale>

#include <fcntl.h>
#include <unistd.h>

#include "backgroundsync.h"

#include "cmatcher.h"
#include "filtermatch.h"
#include "resultbytes.h"
#include "resultlog.h"

namespace {

// Every row of the model's range, as the view would show them all.
QStringList allRows(const CStringListModel &model)
{
    QStringList rows;
    for (int b = model.firstBlock(); b <= model.lastBlock(); ++b)
        rows += filterRows(model.filter()->matcher(), model.log()->readBlock(b));
    return rows;
}

QByteArray utf8Lines(const QStringList &rows)
{
    return rows.isEmpty() ? QByteArray() : (rows.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8();
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// Payloads mix ASCII, other scripts and bytes that are no UTF-8; every
// fourth record refused, users root and unknown.
bool writeMixedLog(const QString &path, int blocks, int perBlock)
{
    return writeLog(path, blocks * perBlock, [perBlock](int n) {
        static const QByteArray payloads[] = {"/etc/passwd", "/home/Grüße/файл", "bad \xff\xfe bytes", "a\tb",
                                              "/srv/\xe6\x97\xa5\xe6\x9c\xac"};
        MlogRecord r = fileRecord(quint32(n / perBlock), payloads[n % 5] + " #" + QByteArray::number(n), n % 4 == 1);
        r.subject[0] = 100 + quint32(n);
        r.subject[2] = n % 3 == 0 ? 0 : 54321;
        return r;
    });
}

const QString costly = QStringLiteral("(a|a|a|a|a|a|a|a)*\\1b");

} // namespace

class TestFindSave : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void rowBytes_data()
    {
        QTest::addColumn<QByteArray>("first");
        QTest::addColumn<QByteArray>("second");
        const auto twice = [](const char *name, const QByteArray &text) { QTest::newRow(name) << text << text; };
        twice("ascii, root", "[f] <1,2,0,0,0> [s] open 2024-01-01 00:00:00 /etc");
        twice("digit of another script before the id", "[f] <1,2,\xd9\xa3" "0,0,0> [s] x");
        twice("no id", "hello world");
        twice("id beyond 32 bits", "<1,2,99999999999,0,0> x");
        twice("undecodable bytes", "<1,2,0,0,0> \xff\xfe x \xef\xbf\xbd a\tb");
        twice("Kelvin sign, long s, capitals", "<1,2,0,0,0> Open \xe2\x84\xaa \xc5\xbf \xc3\x84");
        // Texts that end alike before their id field.
        QTest::newRow("same field") << QByteArray("[f] <10,20,0,0,0> a") << QByteArray("[u] <99,88,0,0,0> b");
        QTest::newRow("id longer than the bytes compared")
            << QByteArray("[f] <1,2,0000000000000,0,0> a") << QByteArray("[f] <1,2,5000000000000,0,0> a");
        QTest::newRow("id digits before the bytes compared")
            << QByteArray("[f] <1,2,0000000000000,0,0> a") << QByteArray("[f] <1,2,9000000000000,0,0> a");
        QTest::newRow("other script before the field")
            << QByteArray("[f] <1234567,0,0,0,0> a") << QByteArray("\xd9\xa3,1,[f] <1234567,0,0,0,0> a");
        QTest::newRow("digit of another script in the id")
            << QByteArray("[f] <1,2,30,0,0> a") << QByteArray("[f] <1,2,\xd9\xa3" "0,0,0> a");
        QTest::newRow("an earlier '>'") << QByteArray("[f] <1,2,0,0,0> a") << QByteArray("1,2,3> [f] <1,2,0,0,0> a");
        QTest::newRow("field at the start") << QByteArray("0000000000000,0,0> a") << QByteArray("x0000000000000,0,0> a");
    }

    // The rows made from bytes are those made from the decoded texts, each
    // with the name its own id gives in either order, and the probe never
    // rules out a block whose rows hold the needle.
    void rowBytes()
    {
        QFETCH(QByteArray, first);
        QFETCH(QByteArray, second);
        QCOMPARE(decodeTexts(first + '\0' + second + '\0'), QStringList({QString::fromUtf8(first), QString::fromUtf8(second)}));
        for (const QByteArray &texts : {first + '\0' + second + '\0', second + '\0' + first + '\0'}) {
            for (const QString &pattern : {QString(), QStringLiteral("x")}) {
                const CMatcher matcher(makeFilter(pattern)->lists());
                UserNameBytes names;
                QByteArray bytes;
                const QStringList rows = filterRows(matcher, decodeTexts(texts));
                QCOMPARE(appendResultRows(matcher, texts, names, &bytes), rows.size());
                QCOMPARE(bytes, utf8Lines(rows));
                // A save gathers the texts that match and makes their rows on another thread.
                QByteArray matched;
                appendMatchingTexts(matcher, texts, &matched);
                QByteArray made;
                UserNameBytes madeNames;
                appendResultRows(CMatcher(), matched, madeNames, &made);
                QCOMPARE(made, bytes);
                for (const QString &needle : QStringList{"root", "\u06630", "\uFFFD", "t\t<", "a\tb", "0,0"})
                    QVERIFY2(rows.filter(needle).isEmpty() || RowTextProbe(needle).mayContain(texts), qPrintable(needle));
                // Case ignored as QString ignores it: the Kelvin sign is a k, the long s an s.
                for (const QString &needle : QStringList{"ROOT", "oPEN", "k s", "K", "\u00e4", "0,0", "T\t<"}) {
                    QVERIFY2(rows.filter(needle, Qt::CaseInsensitive).isEmpty()
                                 || RowTextProbe(needle, Qt::CaseInsensitive).mayContain(texts),
                             qPrintable(needle));
                }
            }
            QVERIFY(!RowTextProbe(QStringLiteral("nowhere")).mayContain(texts));
            QVERIFY(!RowTextProbe(QStringLiteral("NOWHERE"), Qt::CaseInsensitive).mayContain(texts));
        }
    }

    void backgroundSync_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("error");
        QTest::newRow("file") << "file" << 0;
        QTest::newRow("pipe: nothing to sync") << "pipe" << 0;
        QTest::newRow("a descriptor that cannot be synced") << "path" << EBADF;
    }

    // A sync that failed ends the write and fails the save; one that has
    // nothing to sync does not.
    void backgroundSync()
    {
        QFETCH(QString, kind);
        QFETCH(int, error);
        QTemporaryDir dir;
        const QByteArray path = QFile::encodeName(dir.filePath(QStringLiteral("f")));
        int fds[2] = {-1, -1};
        if (kind == QLatin1String("pipe"))
            QVERIFY(::pipe(fds) == 0);
        else if (kind == QLatin1String("file"))
            fds[0] = ::open(path.constData(), O_CREAT | O_WRONLY, 0600);
        else
            fds[0] = ::open(QFile::encodeName(dir.path()).constData(), O_PATH);
        QVERIFY(fds[0] >= 0);
        {
            BackgroundSync sync(fds[0], 1);
            QCOMPARE(sync.wrote(1), 0);
            if (error)
                QTRY_COMPARE(sync.wrote(2), error);
            QCOMPARE(sync.finish(), error);
        }
        for (const int fd : fds) {
            if (fd >= 0)
                ::close(fd);
        }
    }

    void searchAgreesWithRows_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::newRow("every record") << QString();
        QTest::newRow("refusals") << fragments().at(1);
    }

    void searchAgreesWithRows()
    {
        QFETCH(QString, pattern);
        // Many blocks, so that backward searches read several runs of blocks.
        const QString path = m_dir.filePath(QStringLiteral("search.mlog"));
        QVERIFY(writeMixedLog(path, 700, 3));
        Results results(path, makeFilter(pattern));
        CStringListModel &model = results.model;
        model.runFilter();
        const QStringList rows = allRows(model);
        QCOMPARE(model.rowCount(), rows.size());
        // Row and block look-ups agree at every block boundary, empty blocks among them.
        const int blocks = model.blockCounts().size();
        for (int b = 0; b < blocks; ++b)
            QVERIFY(model.blockCounts().at(b) == 0 || model.blockForRow(model.rowsBefore(b)) == b);
        QCOMPARE(model.rowsBefore(blocks), rows.size());
        QCOMPARE(model.blockForRow(rows.size()), blocks);

        QRandomGenerator random(7);
        for (const QString &needle : QStringList{"#1234", "root", "Grüße", "\uFFFD", "\t[f]", "nowhere at all"}) {
            QList<int> starts = {-1, 0, int(rows.size()) - 1, int(rows.size())};
            for (int i = 0; i < 6; ++i)
                starts.append(int(random.bounded(rows.size())));
            for (int from : starts) {
                int forward = from + 1, backward = std::min(from, int(rows.size())) - 1;
                while (forward < rows.size() && !rows.at(forward).contains(needle))
                    ++forward;
                while (backward >= 0 && !rows.at(backward).contains(needle))
                    --backward;
                const QByteArray what = needle.toUtf8() + " from " + QByteArray::number(from);
                QVERIFY2(model.searchForward(needle, from) == (forward < rows.size() ? forward : -1), what.constData());
                QVERIFY2(model.searchBackward(needle, from) == std::max(backward, -1), what.constData());
            }
        }
    }

    // Saved as UTF-8 whatever the locale, LANG=C included.
    void saveWritesUtf8Rows()
    {
        const QString path = m_dir.filePath(QStringLiteral("save.mlog"));
        QVERIFY(writeMixedLog(path, 50, 7));
        Results results(path);
        results.model.runFilter();
        const QString target = m_dir.filePath(QStringLiteral("saved.txt"));
        QTextCodec *const locale = QTextCodec::codecForLocale();
        std::setlocale(LC_ALL, "C");
        QTextCodec::setCodecForLocale(QTextCodec::codecForName("ISO-8859-1"));
        QString error;
        const bool saved = results.model.saveToFile(target, &error);
        QTextCodec::setCodecForLocale(locale);
        QVERIFY2(saved, qPrintable(error));
        const QByteArray bytes = readAll(target);
        QCOMPARE(bytes, utf8Lines(allRows(results.model)));
        QVERIFY(bytes.contains("Grüße/файл"));
    }

    // A record the filter cannot decide ends the run and the save there, never
    // counted as a non-match; scrolling loads nothing past it.
    void undecidedRecordStops()
    {
        const QByteArray hard(400, 'a');
        // Block 0: three matches; block 1: a match, the record, a match; then
        // blocks that start with such a record.
        QVector<MlogRecord> records{fileRecord(0, "ab"), fileRecord(0, "ab"), fileRecord(0, "ab"),
                                    fileRecord(1, "ab"), fileRecord(1, hard), fileRecord(1, "ab")};
        for (quint32 b = 2; b < 22; ++b)
            records << fileRecord(b, hard) << fileRecord(b, "ab");
        const QString path = m_dir.filePath(QStringLiteral("costly.mlog"));
        QVERIFY(writeLog(path, records));
        Results results(path, makeFilter(costly));
        CStringListModel &model = results.model;
        model.runFilter();
        QCOMPARE(model.stop().pattern, costly);
        QCOMPARE(model.stopBlock(), 1);
        QCOMPARE(model.blockCounts(), QList<qint32>({3, 1}));
        const QStringList shown = filterRows(model.filter()->matcher(), results.log.readBlock(0) + results.log.readBlock(1).mid(0, 1));
        model.scrollMoved(1);
        model.scrollMoved(3);
        QVERIFY(model.windowEndBlock() <= 2);
        QCOMPARE(results.text(3), shown.at(3));
        const QString target = m_dir.filePath(QStringLiteral("costly.txt"));
        QString error;
        QVERIFY2(model.saveToFile(target, &error), qPrintable(error));
        QCOMPARE(model.stopBlock(), 1);
        QCOMPARE(readAll(target), utf8Lines(shown));
    }

    // A shown row whose record the filter can no longer decide (the log changed
    // under the same offsets) stops a search there instead of taking the record
    // for a non-match and handing back a row of another record.
    void searchStopsAtUndecidedShownRow()
    {
        const QString path = m_dir.filePath(QStringLiteral("changed.mlog"));
        QVERIFY(writeLog(path, {fileRecord(0, QByteArray(399, 'x') + 'b'), fileRecord(0, "aaaa b")}));
        Results results(path, makeFilter(costly));
        CStringListModel &model = results.model;
        model.runFilter();
        QCOMPARE(model.rowCount(), 2);
        QVERIFY(writeLog(path, {fileRecord(0, QByteArray(400, 'a')), fileRecord(0, "aaaa b")}));
        QCOMPARE(model.searchForward(QStringLiteral("aaaa"), -1), -1);
        QCOMPARE(model.stop().pattern, costly);
        QCOMPARE(model.stopBlock(), 0);
        QCOMPARE(model.searchBackward(QStringLiteral("aaaa"), 2), -1);
        QVERIFY(model.stop().stopped());
    }
};

QTEST_MAIN(TestFindSave)
#include "tst_findsave.moc"
