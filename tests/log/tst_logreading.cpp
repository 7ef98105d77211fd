// Reading record texts: ranges of blocks, dates, single records and ranges
// (the texts of every block are checked against the byte-by-byte scan by
// tst_logscan).
#include "logbuilder.h"

#include <QDataStream>
#include <QtTest>

class TestLogReading : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString path(const QString &name) const { return m_dir.filePath(name); }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid() && useOwnDocuments(m_dir)); }
    void init() { QVERIFY(clearIndexFolder()); }

    void blocksAndDates()
    {
        const quint32 t0 = 1800000000;
        LogBuilder b = hiddenLog(t0);
        QVERIFY(b.save(path("blocks.mlog")));
        CLog log;
        log.readLog(path("blocks.mlog"));
        QList<int> sizes, found;
        for (int k = -1; k <= log.blockCount(); ++k)
            sizes << log.readBlock(k).size();
        QCOMPARE(sizes, QList<int>({0, 2, 1, 0, 2, 0}));
        const QDateTime d0 = QDateTime::fromSecsSinceEpoch(t0, Qt::UTC);
        for (int s : {-100, 0, 1, 4, 6})
            found << log.blockForDate(d0.addSecs(s));
        QCOMPARE(found, QList<int>({0, 0, 1, 3, 4}));
        QCOMPARE(log.firstDate(), d0);
        QCOMPARE(log.firstDate().timeSpec(), Qt::LocalTime);
        QCOMPARE(log.lastDate(), d0.addSecs(5));
        // Ranges are cut to the blocks there are, and a visit can stop them.
        QList<int> seen, counts;
        log.forEachBlock(-5, 99, [&](int block, const QStringList &) { return (seen << block), block < 2; });
        QCOMPARE(seen, QList<int>({0, 1, 2}));
        log.countBlockTexts(-1, 7, [&](int block, int count) { return (counts << block << count), block < 2; });
        QCOMPARE(counts, QList<int>({0, 2, 1, 1, 2, 0}));
    }

    void brokenRecordsAndRanges()
    {
        LogBuilder b = brokenLog(1800000100);
        QVERIFY(b.save(path("broken.mlog")));
        QCOMPARE(b.offsets[2] - b.offsets[1], qint64(40));
        CLog log;
        log.readLog(path("broken.mlog"));
        QCOMPARE(log.readBlock(0).size(), 3);
        // Records that fail to decode do not make the index look wrong.
        QVERIFY(!log.isIndexStale());
        // A range walks as the scan does: from garbage to the next record.
        QCOMPARE(log.readRange(b.offsets[2] + 41, b.offsets[4]).size(), 1);
        // The record at `start` is read even when it lies at or past `end`.
        QCOMPARE(log.readRange(b.offsets[4], 0).size(), 1);
        QVERIFY(log.readRange(-1, 1000).isEmpty());
        QVERIFY(log.readRange(b.data.size() + 10, b.data.size() + 100).isEmpty());
    }

    void readRecordFromStream()
    {
        LogBuilder b;
        b.add(1800000200, "/one");
        b.add(1800000200, "/two", 9);
        b.add(1800000200, "/three");
        const QByteArray bytes = b.data.left(b.data.size() - 1);
        QDataStream in(bytes), cut(bytes.mid(int(b.offsets[2]))), shortHeader(bytes.left(39));
        const QPair<QString, int> one = CLog::readRecord(in), failed(QString(), -1);
        QVERIFY(one.first.contains("/one"));
        QCOMPARE(one.second, 4);
        QCOMPARE(CLog::readRecord(in), failed);
        QCOMPARE(CLog::readRecord(cut), failed);
        QCOMPARE(CLog::readRecord(shortHeader), failed);
    }

    void appendedRecordsComeWithTheLastBlock()
    {
        LogBuilder b;
        b.add(1800000300, "/first");
        b.add(1800000301, "/second");
        QVERIFY(b.save(path("growing.mlog")));
        CLog log;
        log.readLog(path("growing.mlog"));
        const qint64 before = b.data.size();
        b.add(1800000302, "/late1");
        b.add(1800000303, "/late2");
        QVERIFY(b.append(path("growing.mlog"), before));
        QCOMPARE(log.blockCount(), 2);
        QCOMPARE(log.readBlock(0).size(), 1);
        const QStringList last = log.readBlock(1);
        QVERIFY(last.size() == 3 && last[2].contains("/late2"));
    }
};

QTEST_GUILESS_MAIN(TestLogReading)
#include "tst_logreading.moc"
