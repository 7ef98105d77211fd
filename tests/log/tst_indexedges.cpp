// The index file at its limits: entries at the last place a record header
// fits, and blocks found not to fit the log only when they are read.
#include "logbuilder.h"

#include <QtTest>

using Index = QMap<quint32, qint64>;

namespace {

const quint32 t0 = 1800004000;
const QDateTime kOld = QDateTime::fromSecsSinceEpoch(1700000000);

// Blocks at t0, +10, +20 and +30 (records 0, 3, 5 and 7); the last record
// is a header alone, cut by `cut` bytes.
LogBuilder edgeLog(int cut = 0)
{
    LogBuilder b;
    for (quint32 dt : {0, 0, 0, 10, 10, 20, 20})
        b.add(t0 + dt, "/r" + QByteArray::number(b.offsets.size()));
    b.add(t0 + 30, "");
    b.data.chop(cut);
    return b;
}

} // namespace

class TestIndexEdges : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

    // The log of `b` and an index file of `index` beside it.
    QString writeLog(const LogBuilder &b, const QByteArray &index)
    {
        const QString p = m_dir.filePath(QStringLiteral("edge.mlog"));
        return writeBytes(p, b.data) && setModified(p, QDateTime::fromSecsSinceEpoch(1700000060))
                       && writeBytes(CLog::indexFilePath(p), index)
                   ? p
                   : QString();
    }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid() && useOwnDocuments(m_dir)); }
    void init() { QVERIFY(clearIndexFolder()); }

    // An entry with a whole record header before the log's end is kept;
    // one byte less and the index is refused and the log scanned. The
    // index counts 5 records where the log holds 8: a kept index tells by
    // its count (its own, less the last block's record, and that block
    // counted again).
    void entryAtTheLastHeader_data()
    {
        QTest::addColumn<int>("cut");
        QTest::addColumn<bool>("kept");
        QTest::newRow("a header's length before the end") << 0 << true;
        QTest::newRow("one byte less") << 1 << false;
    }

    void entryAtTheLastHeader()
    {
        QFETCH(int, cut);
        QFETCH(bool, kept);
        const LogBuilder b = edgeLog(cut);
        Index index = NaiveScan(edgeLog().data).index;
        QCOMPARE(index.last() + 40 - cut, qint64(b.data.size()));
        const QString p = writeLog(b, indexFileBytes(kOld, 5, index, {}, 1));
        QVERIFY(!p.isEmpty());
        CLog log;
        log.readLog(p);
        const NaiveScan naive(b.data);
        QCOMPARE(log.timeIndex(), naive.index);
        QCOMPARE(log.recordCount(), kept ? 5 : naive.records.size());
        QVERIFY(!log.isIndexStale());
    }

    // A block whose records do not start, or end, where the index says gives
    // nothing of its own, however it is read; the index is then stale, its
    // file gone, and the next read of the log heals it.
    void blockFoundUnsoundWhenRead_data()
    {
        QTest::addColumn<quint32>("key");     // the entry moved
        QTest::addColumn<int>("record");      // to the start of this record
        QTest::addColumn<int>("shift");       // and this many bytes further
        QTest::addColumn<int>("unsound");     // the block first found wrong
        QTest::addColumn<QString>("reading");
        for (const char *reading : {"readBlock", "forEachBlock", "forEachBlockUtf8", "countBlockTexts"}) {
            QTest::addRow("next block starts inside this one, %s", reading) << t0 + 10 << 4 << 0 << 0 << reading;
            QTest::addRow("next block one byte off, %s", reading) << t0 + 20 << 5 << 1 << 1 << reading;
        }
    }

    void blockFoundUnsoundWhenRead()
    {
        QFETCH(quint32, key);
        QFETCH(int, record);
        QFETCH(int, shift);
        QFETCH(int, unsound);
        QFETCH(QString, reading);
        const LogBuilder b = edgeLog();
        const NaiveScan naive(b.data);
        Index index = naive.index;
        index[key] = b.offsets[record] + shift;
        const QString p = writeLog(b, indexFileBytes(kOld, 8, index, {}, 1));
        QVERIFY(!p.isEmpty());
        CLog log;
        log.readLog(p);
        QCOMPARE(log.timeIndex(), index);
        QVERIFY(!log.isIndexStale());
        int shown = -1;
        if (reading == QLatin1String("readBlock")) {
            shown = log.readBlock(unsound).size();
        } else if (reading == QLatin1String("forEachBlock")) {
            log.forEachBlock(unsound, unsound, [&shown](int, const QStringList &texts) { return (shown = texts.size()) >= 0; });
        } else if (reading == QLatin1String("forEachBlockUtf8")) {
            log.forEachBlockUtf8(unsound, unsound, [&shown](int, const QByteArray &texts) { return (shown = texts.count('\0')) >= 0; });
        } else {
            log.countBlockTexts(unsound, unsound, [&shown](int, int count) { return (shown = count) >= 0; });
        }
        QCOMPARE(shown, 0);
        QVERIFY(log.isIndexStale());
        QVERIFY(log.isChanged(p));
        QVERIFY(!QFile::exists(CLog::indexFilePath(p)));
        log.readLog(p);
        QVERIFY(!log.isIndexStale());
        QCOMPARE(log.timeIndex(), naive.index);
        for (int k = 0; k < log.blockCount(); ++k)
            QCOMPARE(log.readBlock(k), naive.textsByTime.value(naive.index.keys().at(k)));
    }
};

QTEST_GUILESS_MAIN(TestIndexEdges)
#include "tst_indexedges.moc"
