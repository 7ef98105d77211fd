// Following a growing log: the counts of a finished run carried on over the
// records appended since, compared with a fresh run over the grown log.
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <numeric>

#include "../log/logbuilder.h"
#include "resultlog.h"

namespace {

// `count` rows from `first` on (the last ones if `first` is -1), read by
// scrolling there from the top: the last scroll value is shared by all models.
QStringList rowsAt(Results &results, int count, int first = -1)
{
    const int total = results.model.rowCount();
    first = first < 0 ? std::max(0, total - count) : first;
    results.model.scrollMoved(0);
    results.model.scrollMoved(first);
    QStringList rows;
    for (int row = first; row < std::min(total, first + count); ++row)
        rows.append(results.text(row));
    return rows;
}

} // namespace

class TestFollow : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    // After each appended step the rows are those of a fresh run over the
    // grown log; a range relative to the log's end keeps its start, so it
    // is compared with the fresh run's counts from that start on.
    void rowsEqualFreshRunAfterEachStep_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<int>("period");
        QTest::addColumn<QList<int>>("steps");
        QTest::newRow("default filter") << QString() << 0 << QList<int>{1, 300, 2500, 40};
        QTest::newRow("pattern filter") << QStringLiteral("\\[f\\]") << 0 << QList<int>{1, 300, 2500, 40};
        QTest::newRow("last hour") << QString() << -3600 << QList<int>{200, 5000, 3};
    }
    void rowsEqualFreshRunAfterEachStep()
    {
        QFETCH(QString, pattern);
        QFETCH(int, period);
        QFETCH(QList<int>, steps);
        const QString path = m_dir.filePath(QStringLiteral("grow-%1.mlog").arg(QTest::currentDataTag()));
        QVERIFY(generate(path, 3000, false));
        RunResults tab(path, makeFilter(pattern, period));
        const int firstBlock = tab.model.firstBlock();
        int before = tab.model.rowCount();
        QSignalSpy inserted(&tab.model, &QAbstractItemModel::rowsInserted);
        for (int records : steps) {
            QVERIFY(generate(path, records, true));
            tab.log.readLog(path);
            const CStringListModel::Growth growth = tab.model.followGrowth();
            RunResults fresh(path, makeFilter(pattern));
            const int skipped = firstBlock - fresh.model.firstBlock();
            QCOMPARE(tab.model.firstBlock(), firstBlock);
            QCOMPARE(tab.model.lastBlock(), fresh.model.lastBlock());
            QCOMPARE(tab.model.blockCounts(), fresh.model.blockCounts().mid(skipped));
            QCOMPARE(tab.model.rowCount(), fresh.model.rowCount() - fresh.model.rowsBefore(firstBlock));
            QCOMPARE(growth == CStringListModel::Growth::Added, tab.model.rowCount() > before);
            QVERIFY(tab.model.isComplete());
            // Rows come at the end only (in one or more insertions).
            if (tab.model.rowCount() > before)
                QCOMPARE(inserted.first().at(1).toInt(), before);
            inserted.clear();
            before = tab.model.rowCount();
            const QStringList freshRows = rowsAt(fresh, std::min(60, tab.model.rowCount()));
            QCOMPARE(rowsAt(tab, 60), freshRows);
        }
    }

    // Rows that fit into the first window are there at once, without a
    // scroll, so a view at its end shows them; a window scrolled elsewhere
    // stays where it is.
    void newRowsJoinAWindowThatEndsWithThem()
    {
        const QString path = m_dir.filePath(QStringLiteral("window.mlog"));
        QVERIFY(writeLog(path, 100, [](int i) { return numbered(i, 10); }));
        RunResults small(path);
        QVERIFY(writeLog(path, 160, [](int i) { return numbered(i, 10); }));
        small.log.readLog(path);
        QCOMPARE(small.model.followGrowth(), CStringListModel::Growth::Added);
        QCOMPARE(small.model.rowCount(), 160);
        QVERIFY(small.text(159).endsWith(QLatin1String(" rec=159")));
        QVERIFY(small.text(95).endsWith(QLatin1String(" rec=95")));

        QVERIFY(writeLog(path, 12000, [](int i) { return numbered(i, 40); }));
        RunResults large(path);
        large.model.scrollMoved(0);
        const int windowEnd = large.model.windowEndBlock();
        QVERIFY(writeLog(path, 12100, [](int i) { return numbered(i, 40); }));
        large.log.readLog(path);
        QCOMPARE(large.model.followGrowth(), CStringListModel::Growth::Added);
        QCOMPARE(large.model.rowCount(), 12100);
        QCOMPARE(large.model.windowEndBlock(), windowEnd);
        QVERIFY(large.text(10).endsWith(QLatin1String(" rec=10")));
        QCOMPARE(rowsAt(large, 1).value(0).section(QLatin1Char(' '), -1), QStringLiteral("rec=12099"));
    }

    // Records of the last second appended later join its block, which is
    // counted again, the rows before it are not. A run made while records
    // were appended past what the index knows counted them in the last block:
    // following takes those rows back and gives them under their blocks.
    void lastBlockCountedAgain_data()
    {
        QTest::addColumn<bool>("pastIndex");
        QTest::addColumn<QList<qint32>>("counted");
        QTest::addColumn<QList<qint32>>("followed");
        QTest::newRow("last block grows") << false << QList<qint32>{10, 10, 5} << QList<qint32>{10, 10, 8};
        QTest::newRow("counted past the index") << true << QList<qint32>{10, 10, 28} << QList<qint32>{10, 10, 10, 10, 8};
    }
    void lastBlockCountedAgain()
    {
        QFETCH(bool, pastIndex);
        QFETCH(QList<qint32>, counted);
        QFETCH(QList<qint32>, followed);
        const QString path = m_dir.filePath(QStringLiteral("lastblock.mlog"));
        const int records = std::accumulate(followed.cbegin(), followed.cend(), 0);
        const auto write = [&](int count) { return writeLog(path, count, [](int i) { return numbered(i, 10); }); };
        QVERIFY(write(25));
        Results tab(path);
        QVERIFY(!pastIndex || write(records));
        tab.model.runFilter();
        QCOMPARE(tab.model.blockCounts(), counted);
        QVERIFY(write(records));
        QSignalSpy removed(&tab.model, &QAbstractItemModel::rowsRemoved);
        tab.log.readLog(path);
        QCOMPARE(tab.model.followGrowth(), CStringListModel::Growth::Added);
        QCOMPARE(tab.model.blockCounts(), followed);
        QCOMPARE(removed.size() == 1 && removed.first().at(1).toInt() == 30, pastIndex);
        for (const int row : {records * 5 / 8, records - 1})
            QVERIFY(tab.text(row).endsWith(QStringLiteral(" rec=%1").arg(row)));
        // Nothing new: nothing changes.
        tab.log.readLog(path);
        QCOMPARE(tab.model.followGrowth(), CStringListModel::Growth::None);
    }

    // A last block many pieces long, growing: behind a record far in the
    // future every later one joins it, and a run made while records were
    // appended read past the index into blocks that follow it. Following
    // counts on from the block's last piece and gives what a fresh run gives.
    void largeLastBlockGrows_data()
    {
        QTest::addColumn<bool>("future");
        QTest::addColumn<QString>("pattern");
        QTest::newRow("far future, all") << true << QString();
        QTest::newRow("far future, pattern") << true << QStringLiteral("rec=\\d*[37](?!\\d)");
        QTest::newRow("read past the index") << false << QStringLiteral("rec=\\d*[37](?!\\d)");
    }
    void largeLastBlockGrows()
    {
        QFETCH(bool, future);
        QFETCH(QString, pattern);
        const QString path = m_dir.filePath(QStringLiteral("large-%1.mlog").arg(QTest::currentDataTag()));
        int written = 0;
        const auto append = [&](int records, int perSecond) {
            QFile file(path);
            if (!file.open(QIODevice::Append))
                return false;
            for (const int end = written + records; written < end; ++written) {
                const quint32 second = future && written == 100 ? 100000000 : 10 + quint32(written / perSecond);
                const QByteArray payload = "rec=" + QByteArray::number(written) + ' ' + QByteArray(80, 'x');
                if (file.write(encodeRecord(fileRecord(second, payload, written % 7 == 0))) <= 0)
                    return false;
            }
            return file.flush();
        };
        QVERIFY(append(101, 10));
        Results tab(path, makeFilter(pattern));
        if (!future)
            QVERIFY(append(9000, 3000));
        tab.model.runFilter();
        for (const int records : {1, 6000, 2500, 9000}) {
            QVERIFY(append(records, 3000));
            tab.log.readLog(path);
            QVERIFY(tab.model.followGrowth() != CStringListModel::Growth::NeedsRun);
            RunResults fresh(path, makeFilter(pattern));
            QCOMPARE(tab.model.blockCounts(), fresh.model.blockCounts());
            QCOMPARE(tab.model.refusalsBefore(tab.model.lastBlock() + 1),
                     fresh.model.refusalsBefore(fresh.model.lastBlock() + 1));
            QCOMPARE(rowsAt(tab, 60), rowsAt(fresh, 60));
            for (const int row : {fresh.model.rowCount() / 3, fresh.model.rowCount() * 2 / 3})
                QCOMPARE(rowsAt(tab, 1, row), rowsAt(fresh, 1, row));
        }
    }

    // A writer that died inside a record and then appended: the torn bytes
    // come first, the whole records after them later. Followed through
    // both, every whole record is a row once, as in a fresh run and in the
    // walk of the log without the torn bytes.
    void tornWriteLosesNoRow_data()
    {
        addTearRows();
        QTest::newRow("payload cut, records, header cut") << QList<int>{100, 10} << 7;
    }
    void tornWriteLosesNoRow()
    {
        QFETCH(QList<int>, tears);
        QFETCH(int, between);
        QList<QByteArray> pieces;
        QByteArray whole;
        const QByteArray bytes = tornLog(tears, 100, between, 50, T0, &pieces, &whole);
        const NaiveScan truth(whole);
        const QString path = m_dir.filePath(QStringLiteral("torn-%1.mlog").arg(QTest::currentDataTag()));
        QVERIFY(writeBytes(path, pieces.first()));
        RunResults tab(path);
        QCOMPARE(tab.model.rowCount(), 100);
        QByteArray grown = pieces.first();
        for (int i = 1; i < pieces.size(); ++i) {
            for (const QByteArray &part : {pieces.at(i).left(tears.at(i - 1)), pieces.at(i).mid(tears.at(i - 1))}) {
                grown += part;
                QFile file(path);
                QVERIFY(file.open(QIODevice::Append) && file.write(part) == part.size());
                file.close();
                tab.log.readLog(path);
                QVERIFY(tab.model.followGrowth() != CStringListModel::Growth::NeedsRun);
                QVERIFY(tab.model.isComplete());
            }
        }
        QCOMPARE(grown, bytes);
        QCOMPARE(tab.model.rowCount(), truth.texts.size());
        const QStringList rows = rowsAt(tab, tab.model.rowCount(), 0);
        for (int row = 0; row < rows.size(); ++row)
            QVERIFY2(rows.at(row).endsWith(QLatin1Char('\t') + truth.texts.at(row)), qPrintable(rows.at(row)));
        RunResults fresh(path);
        QCOMPARE(tab.model.blockCounts(), fresh.model.blockCounts());
        QCOMPARE(rowsAt(fresh, fresh.model.rowCount(), 0), rows);
    }

    // A log replaced by another file, or one that shrank, has other blocks
    // under the old numbers: the counts are left for a full run. A cancelled
    // run is not carried on: its rows are partial.
    void changeNotFollowed_data()
    {
        QTest::addColumn<int>("growth");
        QTest::newRow("rotated") << int(CStringListModel::Growth::NeedsRun);
        QTest::newRow("shrunk") << int(CStringListModel::Growth::NeedsRun);
        QTest::newRow("cancelled") << int(CStringListModel::Growth::None);
    }
    void changeNotFollowed()
    {
        QFETCH(int, growth);
        const QString change = QTest::currentDataTag();
        const QString path = m_dir.filePath(change + QStringLiteral(".mlog"));
        QVERIFY(generate(path, 3000, false));
        Results tab(path);
        if (change == QLatin1String("cancelled"))
            connect(&tab.model, &CStringListModel::valueMaximum, &tab.model, &CStringListModel::cancel);
        tab.model.runFilter();
        QCOMPARE(tab.model.isComplete(), change != QLatin1String("cancelled"));
        const int rows = tab.model.rowCount();
        if (change == QLatin1String("shrunk"))
            QVERIFY(QFile::resize(path, QFileInfo(path).size() / 2));
        else if (change == QLatin1String("rotated"))
            QVERIFY(QFile::rename(path, path + QStringLiteral(".1")) && generate(path, 3500, false, 99));
        else
            QVERIFY(generate(path, 100, true));
        tab.log.readLog(path);
        QCOMPARE(int(tab.model.followGrowth()), growth);
        QCOMPARE(tab.model.rowCount(), rows);
    }
};

QTEST_MAIN(TestFollow)
#include "tst_follow.moc"
