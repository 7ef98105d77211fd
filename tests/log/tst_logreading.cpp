// Reading record texts block by block: boundaries, failures inside a block,
// short records at the end and growth after the scan.
#include "logbuilder.h"
#include "mlog.h"

#include <clog.h>

#include <QDataStream>
#include <QDir>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

class TestLogReading : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString path(const QString &name) const { return m_dir.filePath(name); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY(useOwnDocuments(m_dir));
    }

    void init() { QVERIFY(clearIndexFolder()); }

    void blocksAndBoundaries()
    {
        const quint32 t0 = 1800000000;
        LogBuilder b;
        b.add(t0, "/a1");
        b.add(t0, "/a2");
        b.add(t0 + 1, "/b1");
        b.add(t0 + 5, "/c1");
        b.add(t0 + 5, "/c2");
        b.add(t0 + 5, "/c3", 0, 0);
        QVERIFY(b.save(path("blocks.mlog")));

        CLog log;
        log.readLog(path("blocks.mlog"));
        QCOMPARE(log.blockCount(), 3);
        QCOMPARE(log.recordCount(), 6);

        const QStringList first = log.readBlock(0);
        QCOMPARE(first.size(), 2);
        QVERIFY(first[0].contains("/a1"));
        QVERIFY(first[1].contains("/a2"));
        QCOMPARE(log.readBlock(1).size(), 1);
        const QStringList last = log.readBlock(2);
        QCOMPARE(last.size(), 3);
        QVERIFY(last[2].contains("/c3"));
        QVERIFY(log.readBlock(-1).isEmpty());
        QVERIFY(log.readBlock(3).isEmpty());

        const QDateTime d0 = QDateTime::fromSecsSinceEpoch(t0, Qt::UTC);
        QCOMPARE(log.blockForDate(d0.addSecs(-100)), 0);
        QCOMPARE(log.blockForDate(d0), 0);
        QCOMPARE(log.blockForDate(d0.addSecs(1)), 1);
        QCOMPARE(log.blockForDate(d0.addSecs(2)), 2);
        QCOMPARE(log.blockForDate(d0.addSecs(6)), 3);
        QCOMPARE(log.firstDate(), d0.toLocalTime());
        QCOMPARE(log.firstDate().timeSpec(), Qt::LocalTime);
        QCOMPARE(log.lastDate(), d0.addSecs(5).toLocalTime());

        // The sequential reader gives each block exactly what readBlock gives.
        QList<int> seen;
        log.forEachBlock(-5, 99, [&](int block, const QStringList &texts) {
            seen << block;
            return texts == log.readBlock(block);
        });
        QCOMPARE(seen, QList<int>({0, 1, 2}));
        seen.clear();
        log.forEachBlock(1, 2, [&](int block, const QStringList &) {
            seen << block;
            return false;
        });
        QCOMPARE(seen, QList<int>({1}));
        QList<int> counts;
        log.countBlockTexts(-1, 7, [&](int block, int count) {
            counts << block << count;
            return block < 1;
        });
        QCOMPARE(counts, QList<int>({0, 2, 1, 1}));
    }

    void blockOfEmptyTexts()
    {
        // Hidden records have empty texts: they are dropped, but the reader
        // still steps over them by their length.
        const quint32 t0 = 1800000050;
        LogBuilder b;
        b.add(t0, "/visible-before");
        b.add(t0 + 1, "/hidden-1", 2, 0, MLOG_FLAG_HIDDEN);
        b.add(t0 + 1, QByteArray(300, 'h'), 2, 0, MLOG_FLAG_HIDDEN);
        b.add(t0 + 2, "/hidden-2", 2, 0, MLOG_FLAG_HIDDEN);
        b.add(t0 + 2, "/visible-after");
        QVERIFY(b.save(path("hidden.mlog")));

        CLog log;
        log.readLog(path("hidden.mlog"));
        QCOMPARE(log.blockCount(), 3);
        QCOMPARE(log.recordCount(), 5);
        QVERIFY(log.readBlock(1).isEmpty());
        const QStringList last = log.readBlock(2);
        QCOMPARE(last.size(), 1);
        QVERIFY(last[0].contains("/visible-after"));
        QStringList all;
        log.forEachBlock(0, 2, [&](int, const QStringList &texts) {
            all += texts;
            return true;
        });
        QCOMPARE(all.size(), 2);
        // Counting without texts agrees with the texts.
        QList<int> counts;
        log.countBlockTexts(0, 2, [&](int, int count) {
            counts << count;
            return true;
        });
        QCOMPARE(counts, QList<int>({1, 0, 1}));
    }

    void emptyLogHasNoDates()
    {
        QVERIFY(LogBuilder().save(path("empty.mlog")));
        CLog log;
        log.readLog(path("empty.mlog"));
        QCOMPARE(log.blockCount(), 0);
        QVERIFY(!log.firstDate().isValid());
        QVERIFY(!log.lastDate().isValid());
        QCOMPARE(log.blockForDate(QDateTime::currentDateTime()), 0);
        QVERIFY(log.readBlock(0).isEmpty());
    }

    void failuresEndTheRange()
    {
        const quint32 t0 = 1800000100;
        LogBuilder b;
        b.add(t0, "/ok1");
        b.add(t0, "");       // a record of exactly 40 bytes
        b.add(t0, "/bad", 9); // refused by the library
        b.add(t0, "/after");
        b.add(t0 + 1, "/next");
        b.add(t0 + 2, "/cut");
        b.data.chop(2);       // the last record loses the end of its payload
        QVERIFY(b.save(path("failures.mlog")));
        QCOMPARE(b.offsets[2] - b.offsets[1], qint64(40));

        CLog log;
        log.readLog(path("failures.mlog"));
        QCOMPARE(log.blockCount(), 3);
        const QStringList first = log.readBlock(0);
        QCOMPARE(first.size(), 2);
        QVERIFY(first[0].contains("/ok1"));
        QCOMPARE(log.readBlock(1).size(), 1);
        QVERIFY(log.readBlock(1)[0].contains("/next"));
        QVERIFY(log.readBlock(2).isEmpty());

        QVector<QStringList> sequential;
        log.forEachBlock(0, 2, [&](int, const QStringList &texts) {
            sequential << texts;
            return true;
        });
        QCOMPARE(sequential, QVector<QStringList>({first, log.readBlock(1), QStringList()}));

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
        QByteArray bytes = b.data;
        bytes.chop(1);
        QDataStream in(bytes);
        in.setByteOrder(QDataStream::LittleEndian);
        const QPair<QString, int> one = CLog::readRecord(in);
        QVERIFY(one.first.contains("/one"));
        QCOMPARE(one.second, 4);
        QCOMPARE(CLog::readRecord(in), qMakePair(QString(), -1));
        QDataStream cut(bytes.mid(int(b.offsets[2])));
        QCOMPARE(CLog::readRecord(cut), qMakePair(QString(), -1));
        QDataStream shortHeader(bytes.left(39));
        QCOMPARE(CLog::readRecord(shortHeader), qMakePair(QString(), -1));
    }

    void appendedRecordsComeWithTheLastBlock()
    {
        const quint32 t0 = 1800000300;
        LogBuilder b;
        b.add(t0, "/first");
        b.add(t0 + 1, "/second");
        QVERIFY(b.save(path("growing.mlog")));
        CLog log;
        log.readLog(path("growing.mlog"));
        QCOMPARE(log.blockCount(), 2);
        const qint64 before = b.data.size();
        b.add(t0 + 2, "/late1");
        b.add(t0 + 3, "/late2");
        QVERIFY(b.append(path("growing.mlog"), before));
        QCOMPARE(log.blockCount(), 2);
        const QStringList last = log.readBlock(1);
        QCOMPARE(last.size(), 3);
        QVERIFY(last[2].contains("/late2"));
        QCOMPARE(log.readBlock(0).size(), 1);
    }

    void generatedLogReadsEveryRecord()
    {
        // Many blocks across several reads of the sequential reader: every
        // block read sequentially equals the same block read alone, and
        // together they hold every record.
        MlogGeneratorOptions o;
        o.records = 60000;
        o.seed = 7;
        QString error;
        QVERIFY2(generateLog(path("gen.mlog"), o, &error), qPrintable(error));
        CLog log;
        log.readLog(path("gen.mlog"));
        QVERIFY(log.blockCount() > 100);
        int total = 0;
        int mismatches = 0;
        log.forEachBlock(0, log.blockCount() - 1, [&](int block, const QStringList &texts) {
            total += texts.size();
            if (block % 97 == 0 && texts != log.readBlock(block))
                ++mismatches;
            return true;
        });
        QCOMPARE(mismatches, 0);
        QCOMPARE(log.recordCount(), 60000);
        QCOMPARE(total, 60000);
    }
};

QTEST_GUILESS_MAIN(TestLogReading)
#include "tst_logreading.moc"
