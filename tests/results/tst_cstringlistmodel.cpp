// The results model: the window of rows following the scroll position, the
// time range of a run, cancel and progress; find and save against the rows
// it shows, and records the filter cannot decide; the counts of a run and
// the user names of the rows.
#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextCodec>
#include <QtTest>

#include <cerrno>
#include <clocale>

#include <fcntl.h>
#include <unistd.h>

#include "../log/logbuilder.h"
#include "backgroundsync.h"
#include "cmatcher.h"
#include "filtermatch.h"
#include "resultbytes.h"
#include "resultlog.h"
#include "runcounts.h"

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

// Ids no user database knows, as the log generator gives them.
constexpr uint MlogGeneratorOptionsBase = 3000000000u;

// Blocks 5, 6 and 7 with 3, 0 and 2 rows, 1, 0 and 2 of them refused.
RunCounts threeBlocks()
{
    RunCounts counts;
    counts.setFirstBlock(5);
    counts.add(3, 1);
    counts.add(0, 0);
    counts.add(2, 2);
    return counts;
}

// Block 5 read on from rows 1 and 2, block 7 from row 1.
RunCounts withCheckpoints()
{
    RunCounts counts = threeBlocks();
    counts.addCheckpoint({5, 1, 0, 100});
    counts.addCheckpoint({5, 2, 1, 200});
    counts.addCheckpoint({7, 1, 1, 300});
    return counts;
}

const QString costly = QStringLiteral("(a|a|a|a|a|a|a|a)*\\1b");

} // namespace

// The lines saved to `path`, the empty one after the last line feed too;
// none when the save fails.
static QStringList savedLines(CStringListModel &model, const QString &path)
{
    QFile file(path);
    if (!model.saveToFile(path) || !file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
}

class TestResultsModel : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void windowFollowsScrolling()
    {
        const QString path = m_dir.filePath("numbered.mlog");
        QVERIFY(writeLog(path, 12000, [](int i) { return numbered(i, 40); }));
        RunResults tab(path), other(path);
        other.model.runFilter();
        CStringListModel &model = tab.model;
        QCOMPARE(model.rowCount(), 12000);
        // The first window: whole blocks until it holds ten pages.
        QCOMPARE(model.windowEndBlock(), 125);
        QVERIFY(tab.text(4999).endsWith(" rec=4999") && tab.text(5000).isEmpty());
        // Small steps inside the window keep it.
        model.scrollMoved(100);
        model.scrollMoved(4400);
        QCOMPARE(model.windowFirstRow(), 0);
        // Within a page of its end the window moves to the top row's block.
        model.scrollMoved(4600);
        QCOMPARE(model.windowStartBlock(), 115);
        QCOMPARE(model.windowFirstRow(), 4600);
        QVERIFY(tab.text(5100).endsWith(" rec=5100") && tab.text(0).isEmpty());
        // Back at the top, the window is built upwards from a page below.
        model.scrollMoved(0);
        QCOMPARE(model.windowStartBlock(), 0);
        QVERIFY(tab.text(499).endsWith(" rec=499"));
        // Going down near the end of this short window reloads it; going up does not.
        model.scrollMoved(30);
        QCOMPARE(model.windowEndBlock(), 14);
        model.scrollMoved(10);
        QCOMPARE(model.windowEndBlock(), 14);
        // The last scroll value is one for all models: the other sees no movement.
        model.scrollMoved(8000);
        other.model.scrollMoved(8000);
        QCOMPARE(model.windowFirstRow(), 8000);
        QCOMPARE(other.model.windowFirstRow(), 0);
    }

    // One second holding many pieces' worth of records: rows, scrolling into
    // it, find and save give what a walk of the records gives, and the window
    // stays a few pages whatever the block holds.
    void burstSecond_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<int>("every"); // the rows: records whose number ends in 7, or all
        QTest::newRow("all") << QString() << 1;
        QTest::newRow("criteria") << QStringLiteral("rec=\\d*7(?!\\d)") << 10;
    }
    void burstSecond()
    {
        QFETCH(QString, pattern);
        QFETCH(int, every);
        const int records = 40200;
        const QString path = m_dir.filePath("burst.mlog");
        QVERIFY(writeLog(path, records, [](int i) {
            const quint32 second = i < 100 ? 0 : i < records - 100 ? 1 : 2;
            return fileRecord(second, "rec=" + QByteArray::number(i) + " " + QByteArray(60, 'x'));
        }));
        QVector<int> expected;
        for (int i = 0; i < records; ++i) {
            if (every == 1 || i % 10 == 7)
                expected.append(i);
        }
        const auto rowOf = [&](int record) { return int(std::lower_bound(expected.cbegin(), expected.cend(), record) - expected.cbegin()); };
        const auto shows = [](const QString &text, int record) { return text.contains(QStringLiteral(" rec=%1 ").arg(record)); };
        Results tab(path, makeFilter(pattern));
        QCOMPARE(tab.log.blockCount(), 3);
        tab.model.runFilter();
        QCOMPARE(tab.model.rowCount(), expected.size());
        for (const int record : {1007, 20007, 39997, 137, 30007, 40197}) {
            const int row = rowOf(record);
            tab.model.scrollMoved(row);
            QVERIFY2(shows(tab.text(row), record), qPrintable(tab.text(row)));
            QVERIFY(tab.model.windowRows() <= 5000);
            for (const int near : {row - 30, row + 30}) {
                if (near >= 0 && near < expected.size())
                    QVERIFY2(shows(tab.text(near), expected.at(near)), qPrintable(QString::number(near)));
            }
        }
        QCOMPARE(tab.model.searchForward(QStringLiteral("rec=40087 "), 5), rowOf(40087));
        QCOMPARE(tab.model.searchForward(QStringLiteral("rec=39997 "), 5), rowOf(39997));
        QCOMPARE(tab.model.searchBackward(QStringLiteral("rec=10017 "), expected.size()), rowOf(10017));
        QCOMPARE(tab.model.searchBackward(QStringLiteral("rec=39987 "), expected.size()), rowOf(39987));
        const QStringList lines = savedLines(tab.model, m_dir.filePath("burst.txt"));
        QCOMPARE(lines.size(), expected.size() + 1);
        for (const int row : {0, 1000, expected.size() / 2, expected.size() - 1})
            QVERIFY(shows(lines.at(row), expected.at(row)));
    }

    // Shaded: the text holds ">", exactly one white-space character, "[f]".
    void refusalShading()
    {
        const QVector<QPair<QByteArray, bool>> payloads{
            {"text> [f] inside", true}, {"text>  [f] two blanks", false}, {"text>[f] none", false},
            {"text> [F] upper", false}, {"text>\t[f] control char", true}, {"end> [f", false}};
        QVector<MlogRecord> records{fileRecord(0, "plain", true), fileRecord(0, "plain")};
        for (const auto &payload : payloads)
            records.append(fileRecord(0, payload.first));
        const QString path = m_dir.filePath("shading.mlog");
        QVERIFY(writeLog(path, records));
        RunResults tab(path);
        QCOMPARE(tab.model.rowCount(), records.size());
        for (int row = 0; row < records.size(); ++row) {
            const QVariant background = tab.model.index(row, 0).data(Qt::BackgroundRole);
            QCOMPARE(background.isValid(), row == 0 || (row > 1 && payloads.at(row - 2).second));
            QVERIFY(!background.isValid() || background.value<QBrush>().color() == QColor(255, 0, 0, 128));
        }
    }

    void timeRange_data()
    {
        QTest::addColumn<bool>("back"); // the clock set back, else blocks at T0, T0+10, T0+20 of five records
        QTest::addColumn<qint32>("period");
        QTest::addColumn<qint64>("end"); // seconds after T0; -1000 for none
        QTest::addColumn<int>("firstBlock"); // -2: not checked
        QTest::addColumn<int>("lastBlock");
        QTest::newRow("end between blocks") << false << 0 << qint64(15) << 0 << 1;
        QTest::newRow("end before the log") << false << 0 << qint64(-5) << 0 << -1;
        QTest::newRow("last seconds of the log") << false << -5 << qint64(-1000) << 2 << 2;
        QTest::newRow("range between blocks") << false << -3 << qint64(14) << 2 << 1;
        // Records 0 to 59 at seconds i / 3; from record 30 on, 8 s earlier:
        // the clock was set back after second 9.
        QTest::newRow("back: no time range") << true << 0 << qint64(-1000) << -2 << -2;
        QTest::newRow("back: seconds before the clock went back") << true << -2 << qint64(3) << -2 << -2;
        QTest::newRow("back: seconds on both sides") << true << -4 << qint64(9) << -2 << -2;
        QTest::newRow("back: only after it went back") << true << -1 << qint64(11) << -2 << -2;
        QTest::newRow("back: up to a second") << true << 0 << qint64(2) << -2 << -2;
    }

    void timeRange()
    {
        // Every record whose own time lies in the range, once, in file order:
        // shown, saved and found.
        QFETCH(bool, back);
        QFETCH(qint32, period);
        QFETCH(qint64, end);
        QFETCH(int, firstBlock);
        QFETCH(int, lastBlock);
        const int records = back ? 60 : 15;
        const auto second = [back](int i) { return back ? quint32(i / 3 - (i >= 30 ? 8 : 0)) : quint32(i / 5 * 10); };
        const QString path = m_dir.filePath("range.mlog");
        QVERIFY(writeLog(path, records, [&](int i) { return fileRecord(second(i), "rec=" + QByteArray::number(i) + ';'); }));
        const QDateTime time = end == -1000 ? QDateTime() : QDateTime::fromSecsSinceEpoch(T0 + end).toLocalTime();
        const qint64 last = end == -1000 ? second(records - 1) : end;
        QStringList expected;
        for (int i = 0; i < records; ++i) {
            const qint64 s = second(i);
            if (s <= last && (period == 0 || s >= last + period))
                expected << QStringLiteral(" rec=%1;").arg(i);
        }
        RunResults tab(path, makeFilter({}, period, time));
        QVERIFY(firstBlock == -2 || (tab.model.firstBlock() == firstBlock && tab.model.lastBlock() == lastBlock));
        QStringList shown;
        for (int row = 0; row < tab.model.rowCount(); ++row)
            shown << tab.text(row).mid(tab.text(row).lastIndexOf(' '));
        QCOMPARE(shown, expected);
        const QStringList lines = savedLines(tab.model, m_dir.filePath("range.txt"));
        QCOMPARE(lines.size(), expected.size() + 1);
        for (int i = 0; i < expected.size(); ++i)
            QVERIFY(lines.at(i).endsWith(expected.at(i)));
        if (!expected.isEmpty()) {
            QCOMPARE(tab.model.searchForward(expected.last().mid(1), -1), expected.size() - 1);
            QCOMPARE(tab.model.searchBackward(expected.first().mid(1), expected.size()), 0);
        }
    }

    void staleIndexFoundByTheRun()
    {
        // Another log's index that fits this log at both ends, not in the
        // middle (the block of second 5 starts a record late): the run finds
        // it, the log is read again, and every row is shown.
        const QString path = m_dir.filePath("stale.mlog");
        const auto record = [](int i) { return fileRecord(quint32(i / 4), "rec=" + QByteArray::number(i).rightJustified(3, '0')); };
        QVERIFY(writeLog(path, 68, record));
        const qint64 size = encodeRecord(record(0)).size();
        QVERIFY(QFileInfo(path).size() == 68 * size);
        QMap<quint32, qint64> index;
        for (int second = 0; second < 17; ++second)
            index[T0 + second] = (second * 4 + (second == 5 ? 1 : 0)) * size;
        const QString indexPath = CLog::indexFilePath(path);
        QVERIFY(QDir().mkpath(QFileInfo(indexPath).path()));
        QVERIFY(writeBytes(indexPath, indexFileBytes(QDateTime::fromSecsSinceEpoch(T0), 68, index, {}, 4)));
        Results tab(path);
        QCOMPARE(tab.log.blockCount(), 17);
        tab.model.runFilter();
        QVERIFY(!tab.log.isIndexStale());
        QCOMPARE(tab.model.rowCount(), 68);
        QVERIFY(tab.text(67).endsWith(" rec=067"));
    }

    void cancelKeepsCountedBlocks()
    {
        const QString path = m_dir.filePath("cancel.mlog");
        QVERIFY(writeLog(path, 10010, [](int i) { return numbered(i, 10); }));
        Results tab(path);
        CStringListModel &model = tab.model;
        bool heldWhileCounting = false;
        const QMetaObject::Connection canceller = connect(&model, &CStringListModel::valueChanged, [&](int offset) {
            if (offset >= 330)
                model.cancel();
            // A scroll while the run counts works on the blocks counted so far.
            if (offset == 220) {
                model.scrollMoved(2000);
                heldWhileCounting = model.windowFirstRow() <= 2000
                                    && model.windowFirstRow() + model.windowRows() >= 2210;
            }
        });
        model.runFilter();
        QVERIFY(heldWhileCounting);
        QVERIFY(model.isCancelled());
        QCOMPARE(model.rowCount(), 3310);
        // The window the run fills reaches the rows counted later.
        QVERIFY(tab.text(2500).endsWith(" rec=2500"));
        model.scrollMoved(3000);
        QVERIFY(tab.text(3309).endsWith(" rec=3309"));
        // Find goes through the rows counted only.
        QCOMPARE(model.searchForward(QStringLiteral("rec=5000"), -1), -1);
        QCOMPARE(model.searchBackward(QStringLiteral("rec="), 1000000), 3309);
        // A new run on the same model starts over: one maximum, then a value every 11 blocks.
        disconnect(canceller);
        model.scrollMoved(0);
        QSignalSpy maximum(&model, &CStringListModel::valueMaximum), value(&model, &CStringListModel::valueChanged);
        model.runFilter();
        QCOMPARE(static_cast<QList<QVariantList> &>(maximum), QList<QVariantList>{{1000}});
        QCOMPARE(value.size(), 90);
        QCOMPARE(value.last().first().toInt(), 990);
        QCOMPARE(model.rowCount(), 10010);
        QVERIFY(tab.text(0).endsWith(" rec=0"));
    }

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
        RunResults results(path);
        const QString target = m_dir.filePath(QStringLiteral("saved.txt"));
        QTextCodec *const locale = QTextCodec::codecForLocale();
        std::setlocale(LC_ALL, "C");
        QTextCodec::setCodecForLocale(QTextCodec::codecForName("ISO-8859-1"));
        QString error;
        const bool saved = results.model.saveToFile(target, &error);
        QTextCodec::setCodecForLocale(locale);
        QVERIFY2(saved, qPrintable(error));
        const QByteArray bytes = fileContents(target);
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
        QCOMPARE(fileContents(target), utf8Lines(shown));
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

    // The user database is listed in place of lookups only where each of its
    // sources lists every user a lookup finds.
    void usersListedWhole_data()
    {
        QTest::addColumn<QByteArray>("conf");
        QTest::addColumn<QStringList>("services");
        QTest::addColumn<bool>("whole");
        const QStringList none;
        QTest::newRow("files") << QByteArray("passwd: files\n") << none << true;
        QTest::newRow("files and systemd") << QByteArray("group: ldap\npasswd:         files systemd\n") << none << true;
        QTest::newRow("systemd's listing services")
            << QByteArray("passwd: files systemd") << QStringList{"io.systemd.DynamicUser", "io.systemd.Multiplexer"}
            << true;
        QTest::newRow("systemd's containers") << QByteArray("passwd: files systemd")
                                              << QStringList{"io.systemd.DynamicUser", "io.systemd.Machine"} << false;
        QTest::newRow("a service unknown") << QByteArray("passwd: systemd") << QStringList{"org.example.Users"}
                                           << false;
        QTest::newRow("actions between") << QByteArray("passwd: files [NOTFOUND=return] systemd") << none << true;
        QTest::newRow("actions with blanks") << QByteArray("passwd: files [ NOTFOUND=return ] sss") << none << false;
        QTest::newRow("sss") << QByteArray("passwd: files sss\n") << none << false;
        QTest::newRow("compat") << QByteArray("passwd: compat\n") << none << false;
        QTest::newRow("commented out") << QByteArray("#passwd: files\npasswd: files ldap # files\n") << none << false;
        QTest::newRow("first line counts") << QByteArray("passwd: files\npasswd: ldap\n") << none << true;
        QTest::newRow("no sources") << QByteArray("passwd:\n") << none << false;
        QTest::newRow("no line") << QByteArray("group: files\n") << none << false;
    }

    void usersListedWhole()
    {
        QFETCH(QByteArray, conf);
        QFETCH(QStringList, services);
        QFETCH(bool, whole);
        QCOMPARE(::usersListedWhole(conf, services), whole);
    }

    // systemd's range of foreign ids is looked up always, at both ends.
    void madeUpOnLookup_data()
    {
        QTest::addColumn<uint>("uid");
        QTest::addColumn<bool>("madeUp");
        QTest::newRow("below") << 0x7FFDFFFFu << false;
        QTest::newRow("first") << 0x7FFE0000u << true;
        QTest::newRow("last") << 0x7FFEFFFFu << true;
        QTest::newRow("above") << 0x7FFF0000u << false;
    }

    void madeUpOnLookup()
    {
        QFETCH(uint, uid);
        QFETCH(bool, madeUp);
        QCOMPARE(::madeUpOnLookup(uid), madeUp);
    }

    // Before and after the unknown ids pile up, each id gets the name a
    // lookup of its own gives.
    void directoryAgreesWithLookups()
    {
        UserDirectory directory;
        const uint known[] = {0, uint(getuid()), 65534};
        const auto lookedUp = [](uint uid) {
            return userNameOf(QStringLiteral("[u] <1,2,%1,4,5> [s] login 2026-01-02 03:04:05").arg(uid)).toUtf8();
        };
        for (int round = 0; round < 2; ++round) {
            for (const uint uid : known)
                QCOMPARE(QString::fromUtf8(directory.nameOf(uid)), QString::fromUtf8(lookedUp(uid)));
            for (int i = 0; i < 2 * UserDirectory::kMissesBeforeListing; ++i) {
                const uint uid = MlogGeneratorOptionsBase + uint(i);
                QVERIFY2(directory.nameOf(uid).isEmpty() == lookedUp(uid).isEmpty(), qPrintable(QString::number(uid)));
            }
        }
    }

    // The counts of a run: rows turned into blocks and back at the edges of
    // blocks, empty blocks among them, and the checkpoints a large block's
    // reading resumes from.
    void rowsFallInTheirBlocks_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("block");
        QTest::newRow("before the first row") << -1 << 5;
        QTest::newRow("first row") << 0 << 5;
        QTest::newRow("last row of a block") << 2 << 5;
        QTest::newRow("first row after an empty block") << 3 << 7;
        QTest::newRow("last counted row") << 4 << 7;
        QTest::newRow("past the counted rows") << 5 << 8;
    }
    void rowsFallInTheirBlocks()
    {
        QFETCH(int, row);
        QFETCH(int, block);
        QCOMPARE(threeBlocks().blockForRow(row), block);
    }

    void blocksStartAfterTheRowsBefore_data()
    {
        QTest::addColumn<int>("block");
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("refused");
        QTest::newRow("before the range") << 4 << 0 << 0;
        QTest::newRow("first block") << 5 << 0 << 0;
        QTest::newRow("empty block") << 6 << 3 << 1;
        QTest::newRow("after the empty block") << 7 << 3 << 1;
        QTest::newRow("after the last counted") << 8 << 5 << 3;
        QTest::newRow("far past the counted") << 100 << 5 << 3;
    }
    void blocksStartAfterTheRowsBefore()
    {
        QFETCH(int, block);
        QFETCH(int, rows);
        QFETCH(int, refused);
        const RunCounts counts = threeBlocks();
        QCOMPARE(counts.rowsBefore(block), rows);
        QCOMPARE(counts.refusalsBefore(block), refused);
    }

    void lastBlockTakenBackLeavesTheOthers()
    {
        RunCounts counts = threeBlocks();
        qint32 count = -1;
        qint32 refused = -1;
        counts.takeLast(&count, &refused);
        QCOMPARE(count, 2);
        QCOMPARE(refused, 2);
        QCOMPARE(counts.endBlock(), 7);
        QCOMPARE(counts.rows(), 3);
        QCOMPARE(counts.blockForRow(3), 7);
        QCOMPARE(counts.countOf(7), 0);
    }

    void readingResumesAtTheNearestCheckpoint_data()
    {
        QTest::addColumn<int>("block");
        QTest::addColumn<int>("row");
        QTest::addColumn<qint64>("offset"); // -1: from the block's start
        QTest::newRow("before the first checkpoint") << 5 << 0 << qint64(-1);
        QTest::newRow("at the first checkpoint") << 5 << 1 << qint64(100);
        QTest::newRow("at the second checkpoint") << 5 << 2 << qint64(200);
        QTest::newRow("past the block's last") << 5 << 9 << qint64(200);
        QTest::newRow("block without any") << 6 << 0 << qint64(-1);
        QTest::newRow("before a later block's") << 7 << 0 << qint64(-1);
        QTest::newRow("at a later block's") << 7 << 1 << qint64(300);
    }
    void readingResumesAtTheNearestCheckpoint()
    {
        QFETCH(int, block);
        QFETCH(int, row);
        QFETCH(qint64, offset);
        const RunCounts counts = withCheckpoints();
        const RunCounts::Checkpoint *from = counts.checkpointBefore(block, row);
        QCOMPARE(from ? from->offset : qint64(-1), offset);
        if (from)
            QCOMPARE(counts.checkpointRow(block, offset), from->row);
        QCOMPARE(counts.hasCheckpoints(block), block != 6);
    }

    void checkpointsPastABlockEndGo_data()
    {
        QTest::addColumn<int>("block");
        QTest::addColumn<qint64>("end");
        QTest::addColumn<qint64>("kept"); // offset of the last one of `block` kept, -1: none
        QTest::addColumn<int>("blocksWithCheckpoints");
        QTest::newRow("block ends after its last") << 7 << qint64(301) << qint64(300) << 2;
        QTest::newRow("block ends at its last") << 7 << qint64(300) << qint64(-1) << 1;
        QTest::newRow("earlier block cut between") << 5 << qint64(200) << qint64(100) << 1;
        QTest::newRow("block without any") << 6 << qint64(1000) << qint64(-1) << 1;
    }
    void checkpointsPastABlockEndGo()
    {
        QFETCH(int, block);
        QFETCH(qint64, end);
        QFETCH(qint64, kept);
        QFETCH(int, blocksWithCheckpoints);
        RunCounts counts = withCheckpoints();
        const RunCounts::Checkpoint *last = counts.keepCheckpointsBefore(block, end);
        QCOMPARE(last ? last->offset : qint64(-1), kept);
        QCOMPARE(int(counts.hasCheckpoints(5)) + int(counts.hasCheckpoints(7)), blocksWithCheckpoints);
        QCOMPARE(counts.checkpointRow(5, 100), 1);
    }
};

QTEST_MAIN(TestResultsModel)
#include "tst_cstringlistmodel.moc"
