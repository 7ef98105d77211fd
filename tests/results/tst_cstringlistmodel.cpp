// The results model: the window of rows following the scroll position, the
// time range of a run, cancel and progress.
#include <QDir>
#include <QFileInfo>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include "../log/logbuilder.h"
#include "resultlog.h"

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
        Results tab(path), other(path);
        tab.model.runFilter();
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
        Results tab(path);
        tab.model.runFilter();
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
        Results tab(path, makeFilter({}, period, time));
        tab.model.runFilter();
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
};

QTEST_MAIN(TestResultsModel)
#include "tst_cstringlistmodel.moc"
