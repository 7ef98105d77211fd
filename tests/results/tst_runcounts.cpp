// The counts of a run: rows turned into blocks and back at the edges of
// blocks, empty blocks among them, and the checkpoints a large block's
// reading resumes from.
#include <QtTest>

#include "runcounts.h"

namespace {

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

} // namespace

class TestRunCounts : public QObject
{
    Q_OBJECT

private slots:
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

QTEST_APPLESS_MAIN(TestRunCounts)
#include "tst_runcounts.moc"
