// Reading record texts block by block: boundaries, failures and garbage
// inside a block, short records at the end and growth after the scan.
#include "logbuilder.h"

#include <QDataStream>
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
        // Hidden records have empty texts: they are dropped, but the reader
        // still steps over them by their length; a block of them is empty.
        const quint32 t0 = 1800000000;
        LogBuilder b;
        b.add(t0, "/a1");
        b.add(t0, "/a2");
        b.add(t0 + 1, "/b1");
        b.add(t0 + 1, QByteArray(300, 'h'), 2, MLOG_FLAG_HIDDEN);
        b.add(t0 + 3, "/hidden", 2, MLOG_FLAG_HIDDEN);
        b.add(t0 + 5, "/c1");
        b.add(t0 + 5, "/c2", 2, MLOG_FLAG_HIDDEN);
        b.add(t0 + 5, "/c3", 0);
        QVERIFY(b.save(path("blocks.mlog")));
        CLog log;
        log.readLog(path("blocks.mlog"));
        QCOMPARE(log.recordCount(), 8);
        const NaiveScan naive(b.data);
        QList<int> sizes;
        for (int k = -1; k <= log.blockCount(); ++k) {
            const QStringList texts = log.readBlock(k);
            sizes << texts.size();
            QCOMPARE(texts, naive.textsByTime.value(naive.index.keys().value(k, 1)));
        }
        QCOMPARE(sizes, QList<int>({0, 2, 1, 0, 2, 0}));

        const QDateTime d0 = QDateTime::fromSecsSinceEpoch(t0, Qt::UTC);
        QList<int> found;
        for (int s : {-100, 0, 1, 4, 6})
            found << log.blockForDate(d0.addSecs(s));
        QCOMPARE(found, QList<int>({0, 0, 1, 3, 4}));
        QCOMPARE(log.firstDate(), d0);
        QCOMPARE(log.firstDate().timeSpec(), Qt::LocalTime);
        QCOMPARE(log.lastDate(), d0.addSecs(5));

        // The sequential reader gives each block exactly what readBlock
        // gives, and counting without texts agrees with the texts.
        QList<int> seen;
        log.forEachBlock(-5, 99, [&](int block, const QStringList &texts) {
            seen << block;
            return texts == log.readBlock(block) && block < 2;
        });
        QCOMPARE(seen, QList<int>({0, 1, 2}));
        QList<int> counts;
        log.countBlockTexts(-1, 7, [&](int block, int count) {
            counts << block << count;
            return block < 2;
        });
        QCOMPARE(counts, QList<int>({0, 2, 1, 1, 2, 0}));
    }

    void failuresAreSteppedOver()
    {
        // A record the library refuses, or garbage between records, ends
        // neither the block nor its reading: every record that decodes is
        // shown, and nothing of the bytes that do not.
        const quint32 t0 = 1800000100;
        LogBuilder b;
        b.add(t0, "/ok1");
        b.add(t0, "");        // a record of exactly 40 bytes
        b.add(t0, "/bad", 9); // refused by the library
        b.garbage(QByteArray("junk\x80\x19\x12", 7));
        b.add(t0, "/after");
        b.add(t0 + 1, "/next");
        b.add(t0 + 2, "/cut");
        b.data.chop(2); // the last record loses the end of its payload
        QVERIFY(b.save(path("failures.mlog")));
        QCOMPARE(b.offsets[2] - b.offsets[1], qint64(40));

        CLog log;
        log.readLog(path("failures.mlog"));
        const QStringList first = log.readBlock(0);
        QCOMPARE(first.size(), 3);
        QVERIFY(first[0].contains("/ok1") && first[2].contains("/after"));
        QCOMPARE(first, NaiveScan(b.data).textsByTime.value(t0));
        QVector<QStringList> sequential;
        log.forEachBlock(0, 2, [&](int, const QStringList &texts) {
            sequential << texts;
            return true;
        });
        QCOMPARE(sequential, QVector<QStringList>({first, log.readBlock(1), QStringList()}));
        QCOMPARE(log.readBlock(1).size(), 1);
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
        QDataStream in(bytes);
        const QPair<QString, int> one = CLog::readRecord(in);
        QVERIFY(one.first.contains("/one"));
        QCOMPARE(one.second, 4);
        const QPair<QString, int> failed(QString(), -1);
        QCOMPARE(CLog::readRecord(in), failed);
        QDataStream cut(bytes.mid(int(b.offsets[2])));
        QCOMPARE(CLog::readRecord(cut), failed);
        QDataStream shortHeader(bytes.left(39));
        QCOMPARE(CLog::readRecord(shortHeader), failed);
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
        // Many blocks across several reads of the sequential reader, garbage
        // between records: every block read sequentially equals the same
        // block read alone, and together they hold every record that decodes.
        MlogGeneratorOptions o;
        o.records = 20000;
        o.seed = 7;
        o.garbageRate = 0.05;
        o.truncateLast = true;
        const QString p = path("generated.mlog");
        QVERIFY(generateLog(p, o));
        const NaiveScan naive(fileBytes(p));
        CLog log;
        log.readLog(p);
        QVERIFY(log.blockCount() > 100);
        QStringList all;
        int mismatches = 0;
        log.forEachBlock(0, log.blockCount() - 1, [&](int block, const QStringList &texts) {
            all += texts;
            mismatches += block % 97 == 0 && texts != log.readBlock(block);
            return true;
        });
        QCOMPARE(mismatches, 0);
        QCOMPARE(log.recordCount(), 20000);
        QVERIFY(naive.texts.size() >= 19999);
        QVERIFY(all == naive.texts);
    }
};

QTEST_GUILESS_MAIN(TestLogReading)
#include "tst_logreading.moc"
