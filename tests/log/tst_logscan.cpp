// Scanning logs into the time index, keeping it in the index file, and
// reading record texts by blocks, dates and ranges.
#include "logbuilder.h"

#include <logpath.h>

#include <QSignalSpy>
#include <QtTest>

#include <cstring>

#include <sys/stat.h>
#include <fcntl.h>
#include <unistd.h>

using Index = QMap<quint32, qint64>;

class TestLogScan : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString path(const QString &name) const { return m_dir.filePath(name); }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid() && useOwnDocuments(m_dir)); }
    void init() { QVERIFY(clearIndexFolder()); }

    void indexFilePathFollowsTheLogName()
    {
        const QString docs = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        QCOMPARE(CLog::indexFilePath("/var/log/marvok/kernel.mlog"), docs + "/vrelview/kernel-mlog.index");
        QCOMPARE(CLog::indexFilePath("/elsewhere/audit.mlog.1"), docs + "/vrelview/audit-mlog.1.index");
    }

    void scanAndBlocksMatchAByteByByteSearch_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const quint32 t0 = 1800001000;
        LogBuilder g;
        g.data += QByteArray("\x80\x19\x12", 3) + "junk\x80\x80";
        g.add(t0, "/one");
        g.data += QByteArray(7, '\x80');
        g.add(t0, "/two");
        // A magic inside a payload is skipped with its record; inside garbage
        // it is taken for a record start (here one of time 0).
        g.add(t0 + 1, QByteArray("x\x80\x19\x12\x10y", 6));
        g.data += kMagic + QByteArray(36, '\0');
        g.add(t0 + 2, "/three");
        g.data += kMagic + QByteArray(30, '\1'); // too short for a header
        QTest::newRow("garbage and stray record starts") << g.data;
        LogBuilder back;
        for (quint32 t : {t0, t0, t0 + 7, t0})
            back.add(t);
        QTest::newRow("time coming back stays in the block it follows") << back.data;
        LogBuilder epoch;
        epoch.add(0, "/epoch");
        epoch.add(t0);
        QTest::newRow("first record of time 0 opens a block") << epoch.data;
        QTest::newRow("hidden records") << hiddenLog(t0).data;
        QTest::newRow("refused records, garbage, cut end") << brokenLog(t0).data;
        // Larger than one read: record starts and garbage straddle the reads.
        MlogGeneratorOptions o = generated(0, 3, 9 << 20);
        o.garbageRate = 0.05;
        o.garbageMagic = true;
        o.truncateLast = true;
        QVERIFY(generateLog(path("big.mlog"), o));
        QTest::newRow("generated, 9 MiB, stray record starts") << fileBytes(path("big.mlog"));
        // The last record is found by a backwards search across much garbage.
        QTest::newRow("garbage at the end") << epoch.data + QByteArray(300000, 'g') + kMagic + QByteArray(20, 'z');
        QTest::newRow("under 40 bytes") << kMagic + QByteArray(35, '\0');
        // A record followed by the first byte of a header cut short ends
        // well, though a start inside it would lead exactly to the end.
        char inner[40] = {};
        std::memcpy(inner, kMagic.constData(), 4);
        qToLittleEndian<quint32>(t0 + 5, inner + 4);
        qToLittleEndian<quint16>(9, inner + 38);
        LogBuilder last;
        last.add(t0, "/one");
        last.add(t0 + 1, "x" + QByteArray(inner, 40) + QByteArray(8, 'r'));
        last.data += QByteArray(1, '\x80');
        QTest::newRow("a header's first byte at the end") << last.data;
    }

    void scanAndBlocksMatchAByteByByteSearch()
    {
        QFETCH(QByteArray, bytes);
        const QString p = path("scan.mlog");
        QVERIFY(writeBytes(p, bytes));
        CLog log;
        QSignalSpy maximum(&log, &CLog::valueMaximum);
        log.readLog(p);
        const NaiveScan naive(bytes);
        QCOMPARE(log.recordCount(), naive.records.size());
        QVERIFY(log.timeIndex() == naive.index);
        QCOMPARE(maximum, QList<QList<QVariant>>({{bytes.size()}}));
        // A log without records gets no index file and no dates.
        QCOMPARE(QFile::exists(CLog::indexFilePath(p)), !naive.records.isEmpty());
        QCOMPARE(log.firstDate().isValid() && log.lastDate().isValid(), !naive.records.isEmpty());
        // The dates of the log files panel are those of the first and last
        // record starts, taken by the walk or not.
        if (naive.ascending && !naive.records.isEmpty()) {
            QCOMPARE(CLog::firstRecordDate(p), QDateTime::fromSecsSinceEpoch(naive.startTimes.first()));
            QCOMPARE(CLog::lastRecordDate(p), QDateTime::fromSecsSinceEpoch(naive.startTimes.last()));
        }
        // Read in sequence, alone or only counted, a block holds every text of its time.
        const QList<quint32> keys = naive.index.keys();
        QStringList all;
        int wrong = 0;
        log.forEachBlock(0, log.blockCount(), [&](int k, const QStringList &texts) {
            all += texts;
            wrong += texts != naive.textsByTime.value(keys.at(k)) || ((k % 37 == 0 || log.blockCount() < 100) && texts != log.readBlock(k));
            return true;
        });
        log.countBlockTexts(0, log.blockCount(), [&](int k, int count) {
            wrong += count != naive.textsByTime.value(keys.at(k)).size();
            return true;
        });
        QCOMPARE(wrong, 0);
        QCOMPARE(all, naive.texts);
        // Records that fail to decode do not make the index look wrong.
        QVERIFY(!log.isIndexStale());
    }

    // A writer that died inside a record and then appended: every whole
    // record is counted and shown once, by a full scan, by scans of the log
    // as it grew, and by a reader relying on the index file, as the walk
    // of the test finds them, and that walk finds the log without the torn
    // bytes.
    void tornRecordsLoseNoWholeRecord_data()
    {
        addTearRows();
        QTest::newRow("payload cut, header cut") << QList<int>{100, 10} << 0;
        QTest::newRow("header cut before its magic, payload cut") << QList<int>{3, 77} << 2;
        QTest::newRow("no tear") << QList<int>{} << 0;
    }

    void tornRecordsLoseNoWholeRecord()
    {
        QFETCH(QList<int>, tears);
        QFETCH(int, between);
        QList<QByteArray> pieces;
        QByteArray whole;
        const QByteArray bytes = tornLog(tears, 100, between, 50, 1800020000, &pieces, &whole);
        const NaiveScan truth(whole);
        const NaiveScan naive(bytes);
        QCOMPARE(truth.records.size(), 150 + between * std::max(0, int(tears.size()) - 1));
        QCOMPARE(truth.strays, 0);
        QCOMPARE(naive.texts, truth.texts);
        QCOMPARE(naive.records.size(), truth.records.size());
        QCOMPARE(naive.index.keys(), truth.index.keys()); // the offsets move by the torn bytes

        const auto holds = [](CLog &log, const NaiveScan &expected) {
            QStringList all, one;
            log.forEachBlock(0, log.blockCount() - 1, [&all](int, const QStringList &texts) { return (all += texts), true; });
            for (int k = 0; k < log.blockCount(); ++k)
                one += log.readBlock(k);
            return log.recordCount() == expected.records.size() && log.timeIndex() == expected.index
                   && all == expected.texts && one == expected.texts && !log.isIndexStale();
        };
        const QString p = path("torn.mlog");
        QVERIFY(writeBytes(p, bytes));
        CLog scanned;
        scanned.readLog(p);
        QVERIFY(holds(scanned, naive));

        // Grown piece by piece, each read going on from the last block.
        QVERIFY(clearIndexFolder());
        QByteArray grown;
        CLog growing;
        const QDateTime old = QDateTime::currentDateTime().addSecs(-1000);
        for (int i = 0; i < pieces.size(); ++i) {
            grown += pieces.at(i);
            QVERIFY(writeBytes(p, grown) && setModified(p, old.addSecs(10 * i)));
            growing.readLog(p);
            QVERIFY2(holds(growing, NaiveScan(grown)), qPrintable(QStringLiteral("after piece %1").arg(i)));
        }
        QCOMPARE(grown, bytes);
        QVERIFY(setModified(p, old.addSecs(500)));
        CLog loaded;
        loaded.readLog(p);
        QVERIFY(holds(loaded, naive));
    }

    // The whole records after a tear reach the log's last byte: the last
    // of them ends the data, which is as good as a record start after it.
    void tornRecordThenRecordsToTheEnd_data()
    {
        QTest::addColumn<int>("tear");
        QTest::addColumn<int>("after");
        for (int after : {1, 2, 3}) {
            QTest::addRow("header cut, %d after", after) << 20 << after;
            QTest::addRow("payload cut, %d after", after) << 100 << after;
        }
    }

    void tornRecordThenRecordsToTheEnd()
    {
        QFETCH(int, tear);
        QFETCH(int, after);
        QByteArray whole;
        const QByteArray bytes = tornLog({tear}, 10, 0, after, 1800020000, nullptr, &whole);
        const NaiveScan truth(whole);
        QCOMPARE(truth.records.size(), 10 + after);
        const QString p = path("torn-end.mlog");
        QVERIFY(writeBytes(p, bytes));
        CLog log;
        log.readLog(p);
        QStringList all;
        log.forEachBlock(0, log.blockCount() - 1, [&all](int, const QStringList &texts) { return (all += texts), true; });
        QCOMPARE(all, truth.texts);
        QCOMPARE(log.recordCount(), truth.records.size());
    }

    void timesOutOfOrderShowEveryIntactRecordOnce_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("grownBy"); // bytes of the log added after the first read
        const quint32 t0 = 1700000000;
        LogBuilder back;
        for (int i = 0; i < 400; ++i)
            back.add(t0 + quint32(i / 4) - (i >= 200 ? 3600 : 0), "/back" + QByteArray::number(i));
        QTest::newRow("clock set back an hour") << back.data << 0;
        QTest::newRow("clock set back an hour, grown") << back.data << int(back.data.size() - back.offsets[300]);
        LogBuilder years;
        for (int i = 0; i < 250; ++i)
            years.add(t0 + quint32(i / 5) + (i >= 50 && i < 60 ? 3u * 365 * 86400 : 0u), "/y" + QByteArray::number(i));
        QTest::newRow("years forward and back") << years.data << int(years.data.size() - years.offsets[55]);
        LogBuilder repeated;
        for (int i = 0; i < 120; ++i)
            repeated.add(t0 + quint32(i % 3 == 0 ? 0 : i), "/r" + QByteArray::number(i));
        QTest::newRow("one second repeated far apart") << repeated.data << 0;
        LogBuilder flipped;
        for (int i = 0; i < 300; ++i)
            flipped.add(t0 + quint32(i / 3), "/f" + QByteArray::number(i));
        flipped.data.data()[flipped.offsets[100] + 4 + 3] ^= 0x10; // a high bit of one record's time
        QTest::newRow("one flipped time bit") << flipped.data << int(flipped.data.size() - flipped.offsets[200]);
        MlogGeneratorOptions o = generated(20000, 3);
        o.start = QDateTime::fromSecsSinceEpoch(t0);
        o.garbageRate = 0.01;
        o.garbageMagic = true;
        QVERIFY(generateLog(path("stray.mlog"), o));
        const QByteArray stray = fileBytes(path("stray.mlog"));
        QTest::newRow("stray record starts in garbage") << stray << 0;
        QTest::newRow("stray record starts in garbage, grown") << stray << int(stray.size() / 3);
    }

    void timesOutOfOrderShowEveryIntactRecordOnce()
    {
        // Compared with a byte-by-byte walk of the intact records: every one
        // once in file order, and with a time range exactly those of its
        // times, read by the reader that scanned the log, by one that relies
        // on the index file, and after the log grew.
        QFETCH(QByteArray, bytes);
        QFETCH(int, grownBy);
        const QString p = path("disordered.mlog");
        const NaiveScan naive(bytes);
        QVERIFY(!naive.ascending);
        QVERIFY(writeBytes(p, bytes.left(bytes.size() - grownBy)));
        QVERIFY(setModified(p, QDateTime::currentDateTime().addSecs(-100)));
        CLog scanned;
        scanned.readLog(p);
        if (grownBy > 0) {
            QVERIFY(writeBytes(p, bytes) && setModified(p, QDateTime::currentDateTime()));
            scanned.readLog(p);
        }
        // A later time makes the next reader go on from the index file's last block.
        QVERIFY(setModified(p, QDateTime::currentDateTime().addSecs(10)));
        CLog loaded;
        loaded.readLog(p);
        QVector<quint32> times;
        for (const auto &r : naive.records)
            times << r.time;
        std::sort(times.begin(), times.end());
        QList<TimeSpan> spans{TimeSpan()};
        for (int i = 0; i < 12; ++i) {
            const quint32 a = times.at(int(qint64(times.size() - 1) * i / 11));
            const quint32 b = times.at(int(qint64(times.size() - 1) * ((i * 7) % 12) / 11));
            spans << TimeSpan{std::min(a, b), std::max(a, b)} << TimeSpan{a, a} << TimeSpan{0, a}
                  << TimeSpan{a, 0xFFFFFFFFu};
        }
        spans << TimeSpan{times.last() + 1, 0xFFFFFFFFu} << TimeSpan{5, 4};
        for (CLog *log : {&scanned, &loaded}) {
            QCOMPARE(log->timeIndex(), naive.index);
            QCOMPARE(log->recordCount(), naive.records.size());
            for (const TimeSpan &span : spans) {
                int first = 0, last = 0;
                log->blocksFor(span, &first, &last);
                QStringList all, one, utf8;
                int counted = 0;
                log->forEachBlock(first, last, [&](int, const QStringList &texts) { return (all += texts), true; }, span);
                log->countBlockTexts(first, last, [&](int, int n) { return (counted += n), true; }, span);
                log->forEachBlockUtf8(first, last, [&](int, const QByteArray &texts) {
                    for (const QByteArray &t : texts.split('\0').mid(0, texts.count('\0')))
                        utf8 << QString::fromUtf8(t);
                    return true;
                }, span);
                for (int k = first; k <= last; ++k)
                    one += log->readBlock(k, span);
                const QStringList expected = naive.textsBetween(span.from, span.to);
                QVERIFY2(all == expected, qPrintable(QStringLiteral("%1-%2: %3 texts, %4 expected")
                                                         .arg(span.from).arg(span.to).arg(all.size()).arg(expected.size())));
                QCOMPARE(one, expected);
                QCOMPARE(utf8, expected);
                QCOMPARE(counted, expected.size());
            }
            QVERIFY(!log->isIndexStale());
        }
    }

    void grownLogIsScannedFromItsLastBlock_data()
    {
        QTest::addColumn<QString>("reader");
        for (const char *r : {"same", "fresh", "same, index file replaced"})
            QTest::newRow(r) << QString(r);
    }

    void grownLogIsScannedFromItsLastBlock()
    {
        // A fresh reader relies on the index file alone; the same reader on
        // the index as it left it, unless the file changed behind its back.
        QFETCH(QString, reader);
        const quint32 t0 = 1800003000;
        LogBuilder b = twoBlocks(t0);
        const QString p = path("grown.mlog");
        QVERIFY(b.save(p));
        const QDateTime m1 = QDateTime::currentDateTime().addSecs(-100);
        QVERIFY(setModified(p, m1));
        CLog first;
        first.readLog(p);
        QVERIFY(!first.isChanged(p));

        const qint64 before = b.data.size();
        b.add(t0 + 1, "/e");
        b.add(t0 + 2, "/f");
        QVERIFY(b.append(p, before) && setModified(p, m1.addSecs(10)));
        QVERIFY(first.isChanged(p));
        const bool replaced = reader.endsWith("replaced");
        if (replaced)
            QVERIFY(writeBytes(CLog::indexFilePath(p), QByteArray("foreign")));
        CLog fresh;
        CLog &log = reader == "fresh" ? fresh : first;
        QSignalSpy changed(&log, &CLog::valueChanged);
        log.readLog(p);
        QCOMPARE(log.timeIndex(), NaiveScan(b.data).index);
        // The last block is counted again with the new records.
        QCOMPARE(log.recordCount(), 6);
        QCOMPARE(changed.first().first().toLongLong(), replaced ? 0 : b.offsets[2]);
    }

    void indexFileIsCheckedAgainstTheLog_data()
    {
        // The log has blocks at t0, +10, +20, +30 and +40 (records 0, 3, 5, 7
        // and 8). `count`: the records after the first read (a kept index's
        // own count plus the 2 of the last block), or -1 where the wrong
        // entries are found only when their blocks are read.
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("index");
        QTest::addColumn<qint64>("sparse"); // zero bytes added to the index file
        QTest::addColumn<int>("count");
        const quint32 t0 = 1800004000;
        LogBuilder a;
        for (quint32 dt : {0, 0, 0, 10, 10, 20, 20, 30, 40, 40})
            a.add(t0 + dt, "/r" + QByteArray::number(a.offsets.size()));
        const Index sound = NaiveScan(a.data).index;
        const QDateTime old = QDateTime::fromSecsSinceEpoch(1700000000);
        // The entry of block `block` at the offset of `record` plus `shift`.
        const auto moved = [&](int block, int record, int shift) {
            Index index = sound;
            index[t0 + block] = a.offsets[record] + shift;
            return indexFileBytes(old, 10, index, {}, 2);
        };
        const QByteArray good = indexFileBytes(old, 10, sound, {}, 2);
        QByteArray disordered = good;
        disordered[good.size() - 24] = 0; // the last key becomes the lowest
        const auto row = [&](const char *name, const QByteArray &index, int count, qint64 sparse = 0) {
            QTest::newRow(name) << a.data << index << sparse << count;
        };
        row("sound", good, 10);
        row("sound, the count of its last block too high", indexFileBytes(old, 10, sound, {}, 3), 9);
        row("truncated", good.left(good.size() - 5), 10);
        row("without its closing pair", indexFileBytes(old, 10, sound).chopped(12), 10);
        row("keys out of order", disordered, 10);
        row("header past the end", indexFileBytes(old, 7, {{t0, 0}, {t0 + 40, a.data.size() - 39}}), 10);
        row("30 GB of entries", good, 10, qint64(2500) * 1000 * 1000 * 12);
        row("count beyond the log's room", indexFileBytes(old, a.data.size() / 40 + 1, {{t0, 0}}), 10);
        // Said of a block without them, earlier times cost a look at each
        // record's time, nothing more.
        row("earlier times in a block that has none", indexFileBytes(old, 10, sound, {{t0 + 5, a.offsets[3]}}, 2), 10);
        row("earlier times of no block", indexFileBytes(old, 10, sound, {{t0 + 5, a.offsets[4]}}, 2), 10);
        row("last entry no record start", moved(40, 8, 2), 10);
        row("first entry inside its run", moved(0, 1, 0), 10);
        // An entry with a whole record header before the log's end is kept;
        // one byte less and the index is refused and the log scanned. The
        // index counts 5 records where the log holds 8.
        for (const int cut : {0, 1}) {
            LogBuilder edge;
            for (quint32 dt : {0, 0, 0, 10, 10, 20, 20})
                edge.add(t0 + dt, "/r" + QByteArray::number(edge.offsets.size()));
            edge.add(t0 + 30, "");
            const Index whole = NaiveScan(edge.data).index;
            edge.data.chop(cut);
            QCOMPARE(whole.last() + 40 - cut, qint64(edge.data.size()));
            QTest::newRow(cut ? "last entry one byte short of a header" : "last entry a header's length before the end")
                << edge.data << indexFileBytes(old, 5, whole, {}, 1) << qint64(0)
                << (cut ? NaiveScan(edge.data).records.size() : 5);
        }
        // Middle entries found wrong only when their blocks are read: tst_logindex.
        // The same first block, one long record up to where the last block
        // started, then that block again.
        LogBuilder b;
        b.data = a.data.left(int(a.offsets[3]));
        b.add(t0 + 15, QByteArray(int(a.offsets[8] - a.offsets[3] - 40), 'x'));
        b.data += a.data.mid(int(a.offsets[8]));
        QTest::newRow("replaced log fitting at both ends") << b.data << moved(0, 0, 0) << qint64(0) << -1;
    }

    void indexFileIsCheckedAgainstTheLog()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArray, index);
        QFETCH(qint64, sparse);
        QFETCH(int, count);
        const QString p = path("checked.mlog");
        QVERIFY(writeBytes(p, bytes) && setModified(p, QDateTime::fromSecsSinceEpoch(1700000060)));
        QVERIFY(writeBytes(CLog::indexFilePath(p), index));
        QVERIFY(QFile::resize(CLog::indexFilePath(p), index.size() + sparse));
        const NaiveScan naive(bytes);
        CLog log;
        log.readLog(p);
        const Index loaded = log.timeIndex();
        // A block shows records of its own time only, whichever way it is read.
        for (int k = 0; k < log.blockCount(); ++k) {
            const QStringList own = naive.textsByTime.value(loaded.keys().at(k));
            for (const QString &text : log.readBlock(k))
                QVERIFY2(own.contains(text), qPrintable(text));
            int counted = -1;
            log.countBlockTexts(k, k, [&counted](int, int c) { return (counted = c) >= 0; });
            QVERIFY(counted >= 0 && counted <= own.size());
        }
        const bool stale = count < 0;
        QCOMPARE(loaded != naive.index, stale);
        QCOMPARE(log.isIndexStale(), stale);
        QCOMPARE(log.isChanged(p), stale);
        QCOMPARE(QFile::exists(CLog::indexFilePath(p)), !stale);
        if (!stale)
            QCOMPARE(log.recordCount(), count);
        // Read again, the log that has not changed keeps the count of the
        // index it was given; a stale one is scanned in full.
        log.readLog(p);
        QVERIFY(!log.isIndexStale());
        QCOMPARE(log.timeIndex(), naive.index);
        QCOMPARE(log.recordCount(), stale ? naive.records.size() : count);
        for (int k = 0; k < log.blockCount(); ++k)
            QCOMPARE(log.readBlock(k), naive.textsByTime.value(naive.index.keys().at(k)));
    }

    void cancelledScanIsAHeadStart_data()
    {
        QTest::addColumn<QString>("reader");
        QTest::addColumn<bool>("grown");
        QTest::newRow("new log, fresh reader after") << "fresh" << false;
        QTest::newRow("new log, same reader after") << "same" << false;
        QTest::newRow("grown log, same reader") << "same" << true;
        QTest::newRow("grown log, fresh reader after") << "fresh" << true;
    }

    // A cancelled scan leaves the index as it was before it, with no block
    // reaching into the part left unscanned; the next scan goes on from where
    // the cancelled one stopped and ends as a full scan would.
    void cancelledScanIsAHeadStart()
    {
        QFETCH(QString, reader);
        QFETCH(bool, grown);
        const QString p = path("cancel.mlog");
        LogBuilder b;
        const quint32 t0 = 1800004000;
        for (int i = 0; i < 40000; ++i)
            b.add(t0 + quint32(i / 10), "/var/" + QByteArray::number(i));
        const int kept = grown ? 1000 : 0;
        QVERIFY(writeBytes(p, b.data.left(int(kept ? b.offsets[kept] : 0))));
        QVERIFY(setModified(p, QDateTime::currentDateTime().addSecs(-100)));
        CLog log;
        if (grown) {
            log.readLog(p);
            QCOMPARE(log.recordCount(), kept);
        }
        const Index before = log.timeIndex();
        const QStringList lastBefore = grown ? log.readBlock(log.blockCount() - 1) : QStringList();
        QVERIFY(b.append(p, kept ? b.offsets[kept] : 0));

        // Stopped a third of the way, as the button's click would.
        const qint64 size = b.data.size();
        readCancelledPast(log, p, size / 3);
        QVERIFY(log.isCancelled());
        QVERIFY(log.isChanged(p));
        QCOMPARE(log.timeIndex(), before);
        QCOMPARE(log.recordCount(), kept);
        if (grown) {
            // The last block holds its own records, not the records scanned
            // or left unscanned after it.
            QCOMPARE(log.readBlock(log.blockCount() - 1), lastBefore);
        }

        // The index file holds what the scan found, as a start for the next.
        CLog fresh;
        CLog &next = reader == "fresh" ? fresh : log;
        QSignalSpy progress(&next, &CLog::valueChanged);
        next.readLog(p);
        QVERIFY(!next.isCancelled() && !next.isChanged(p));
        QVERIFY2(progress.first().first().toLongLong() > size / 3,
                 qPrintable(QString::number(progress.first().first().toLongLong())));
        const NaiveScan naive(b.data);
        QCOMPARE(next.timeIndex(), naive.index);
        QCOMPARE(next.readBlock(next.blockCount() - 1), naive.textsByTime.last());
        QCOMPARE(next.recordCount(), naive.records.size());
    }

    void specialFilesAreNeitherReadNorWritten_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("atIndex"); // in place of the index file, not of the log
        for (const char *k : {"fifo", "device", "folder", "missing"})
            QTest::addRow("log: %s", k) << QString(k) << false;
        for (const char *k : {"link", "dangling link", "fifo"})
            QTest::addRow("index: %s", k) << QString(k) << true;
    }

    void specialFilesAreNeitherReadNorWritten()
    {
        // Opening a FIFO without a writer blocks for ever: the alarm turns a
        // hang into a failure. A link's target is never replaced or created.
        QFETCH(QString, kind);
        QFETCH(bool, atIndex);
        const QString p = path((atIndex ? "index " : "log ") + kind + ".mlog");
        const QString index = CLog::indexFilePath(p), victim = path("victim"), special = atIndex ? index : p;
        QVERIFY(writeBytes(victim, "keep me"));
        const LogBuilder b = twoBlocks(1800004700);
        QVERIFY(atIndex ? b.save(p) : writeBytes(index, indexFileBytes(QDateTime::currentDateTime().addDays(-1), 1,
                                                                    {{1800004700, 0}})));
        if (kind == "fifo")
            QCOMPARE(::mkfifo(QFile::encodeName(special).constData(), 0600), 0);
        else if (kind == "folder")
            QVERIFY(QDir().mkpath(special));
        else if (kind != "missing")
            QVERIFY(QFile::link(kind == "device" ? "/dev/zero" : kind == "link" ? victim : special + ".nowhere", special));
        const auto typeOf = [&special] {
            struct stat st;
            return ::lstat(QFile::encodeName(special).constData(), &st) == 0 ? st.st_mode & S_IFMT : 0;
        };
        const mode_t type = typeOf();
        ::alarm(20);
        CLog log;
        log.readLog(p);
        QCOMPARE(log.timeIndex(), atIndex ? NaiveScan(b.data).index : Index());
        QCOMPARE(log.recordCount(), atIndex ? 4 : 0);
        QCOMPARE(QList<bool>({CLog::canOpenLog(p), CLog::isRecordStart(0, p), CLog::recordDate(0, p).isValid(),
                              CLog::firstRecordDate(p).isValid(), CLog::lastRecordDate(p).isValid(), !log.readRange(0, 100).isEmpty()}),
                 QList<bool>({atIndex, atIndex, atIndex, atIndex, atIndex, atIndex}));
        ::alarm(0);
        QCOMPARE(typeOf(), type);
        QCOMPARE(fileBytes(victim), QByteArray("keep me"));
        QVERIFY(!QFile::exists(index + ".nowhere"));
    }

    void futureLogWithoutIndexForgetsThePreviousLog()
    {
        // The previous log's index fits this log at both ends, yet it is not
        // this log's: a full scan, not a count on top of the previous one.
        LogBuilder b = twoBlocks(1800007000, QByteArray(100, 'p'));
        QVERIFY(b.save(path("previous.mlog")));
        CLog log;
        log.readLog(path("previous.mlog"));
        b.add(1800007002);
        const QString p = path("future.mlog");
        QVERIFY(b.save(p) && setModified(p, QDateTime::currentDateTime().addDays(2)));
        log.readLog(p);
        QCOMPARE(log.recordCount(), 5);
        QCOMPARE(log.timeIndex(), NaiveScan(b.data).index);
    }

    void progressStepsAreAboutAHundred()
    {
        // One percent more the second time: still about a hundred steps, from
        // the start of the scan on.
        const QString p = path("progress.mlog");
        MlogGeneratorOptions o = generated(100000, 5);
        QVERIFY(generateLog(p, o) && setModified(p, QDateTime::currentDateTime().addSecs(-100)));
        CLog log;
        QSignalSpy changed(&log, &CLog::valueChanged);
        for (const int least : {90, 50}) {
            const qint64 start = log.timeIndex().isEmpty() ? 0 : log.timeIndex().last();
            changed.clear();
            log.readLog(p);
            QVERIFY2(changed.size() >= least && changed.size() <= 101, qPrintable(QString::number(changed.size())));
            QCOMPARE(changed.first().first().toLongLong(), start);
            o.append = true;
            o.records = 1000;
            QVERIFY(generateLog(p, o) && setModified(p, QDateTime::currentDateTime()));
        }
    }

    void offsetsPastFourGiB()
    {
        // A sparse log: two blocks at the start, a hole, and records beyond
        // 4 GiB. The index says the log was read up to the record past 4 GiB,
        // so only the tail is scanned. Times past 2^31 are kept as unsigned.
        const QString p = path("huge.mlog");
        const quint32 t0 = 0xF0000000u;
        const qint64 far = (qint64(4) << 30) + 12345;
        LogBuilder head = twoBlocks(t0);
        LogBuilder tail;
        tail.add(t0 + 10, "/far1");
        tail.add(t0 + 10, "/far2");
        tail.add(t0 + 11, "/far3");
        QVERIFY(head.save(p) && QFile::resize(p, far) && tail.append(p, 0));
        const QDateTime old = QDateTime::currentDateTime().addSecs(-3600);
        QVERIFY(setModified(p, old.addSecs(60)));
        QVERIFY(writeBytes(CLog::indexFilePath(p),
                           indexFileBytes(old, 5, {{t0, 0}, {t0 + 1, head.offsets[2]}, {t0 + 10, far}}, {}, 1)));

        CLog log;
        QSignalSpy maximum(&log, &CLog::valueMaximum);
        QSignalSpy changed(&log, &CLog::valueChanged);
        log.readLog(p);
        QCOMPARE(log.recordCount(), 4 + 3);
        QCOMPARE(log.timeIndex(),
                 (Index{{t0, 0}, {t0 + 1, head.offsets[2]}, {t0 + 10, far}, {t0 + 11, far + tail.offsets[2]}}));
        QCOMPARE(maximum.first().first().toLongLong(), (far + tail.data.size()) >> 2);
        QCOMPARE(changed.value(0).value(0).toLongLong(), far >> 2);
        QVERIFY(log.readBlock(3).value(0).contains("/far3"));
        QCOMPARE(CLog::lastRecordDate(p), QDateTime::fromSecsSinceEpoch(t0 + 11));
        QCOMPARE(CLog::recordDate(far, p), QDateTime::fromSecsSinceEpoch(t0 + 10));
        QVERIFY(CLog::isRecordStart(far + tail.offsets[1], p) && !CLog::isRecordStart(far + 1, p));
        // The index file stays byte for byte what a QDataStream writes.
        QCOMPARE(fileBytes(CLog::indexFilePath(p)), plainIndexBytes(QFileInfo(p).lastModified(), 7, log.timeIndex()));
        QFile::remove(p);
    }

    void logTruncatedWhileScanned_data()
    {
        QTest::addColumn<bool>("grown");
        QTest::addColumn<qint64>("keep");
        QTest::newRow("full scan, cut to a few bytes") << false << qint64(100);
        QTest::newRow("full scan, cut behind the scan") << false << qint64(9 << 20);
        QTest::newRow("incremental scan, cut before its start") << true << qint64(1000);
    }

    void logTruncatedWhileScanned()
    {
        // The log is cut at the first progress step. The result, in memory
        // and in the index file, holds only what lies inside the file then.
        QFETCH(bool, grown);
        QFETCH(qint64, keep);
        const QString p = path("shrinking.mlog");
        MlogGeneratorOptions o = generated(0, 9, 12 << 20);
        QVERIFY(generateLog(p, o));
        CLog log;
        if (grown) {
            QVERIFY(setModified(p, QDateTime::currentDateTime().addSecs(-100)));
            log.readLog(p);
            o.append = true;
            o.targetSize = 13 << 20;
            QVERIFY(generateLog(p, o));
        }
        bool cut = false;
        connect(&log, &CLog::valueChanged, &log, [&]() { cut = cut || QFile::resize(p, keep); });
        log.readLog(p);
        QVERIFY(cut);
        const NaiveScan naive(fileBytes(p));
        QCOMPARE(log.timeIndex(), naive.index);
        QCOMPARE(log.recordCount(), naive.records.size());
        QCOMPARE(fileBytes(CLog::indexFilePath(p)), plainIndexBytes(log.indexTime(), log.recordCount(), log.timeIndex()));
    }

    void namesThatAreNotUtf8_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QString>("shown");
        QTest::newRow("latin-1") << QByteArray("caf\xe9.mlog") << QStringLiteral("caf\uFFFD.mlog");
        QTest::newRow("no character") << QByteArray("\xff\xfe.mlog") << QStringLiteral("\uFFFD\uFFFD.mlog");
        QTest::newRow("cut sequence") << QByteArray("a\xe2\x82.MLOG") << QStringLiteral("a\uFFFD\uFFFD.MLOG");
        QTest::newRow("surrogate bytes") << QByteArray("\xed\xb2\x80.mlog") << QStringLiteral("\uFFFD\uFFFD\uFFFD.mlog");
        QTest::newRow("utf-8") << QByteArray("caf\xc3\xa9.mlog") << QStringLiteral("caf\u00e9.mlog");
    }

    void namesThatAreNotUtf8()
    {
        // Opened, scanned and indexed by the name's own bytes, listed, taken
        // from the command line and shown readably.
        QFETCH(QByteArray, name);
        QFETCH(QString, shown);
        const QByteArray bytes = QFile::encodeName(m_dir.path()) + '/' + name;
        const QString p = LogPath::fromBytes(bytes);
        QCOMPARE(LogPath::toBytes(p), bytes);
        LogBuilder b = twoBlocks(1800012000);
        const int fd = ::open(bytes.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        QVERIFY(fd >= 0 && ::write(fd, b.data.constData(), size_t(b.data.size())) == b.data.size() && ::close(fd) == 0);
        QVERIFY(CLog::canOpenLog(p));
        CLog log;
        log.readLog(p);
        QCOMPARE(log.recordCount(), 4);
        QCOMPARE(log.readBlock(1).size(), 2);
        QVERIFY(!log.isChanged(p));
        QVERIFY(::access(LogPath::toBytes(CLog::indexFilePath(p)).constData(), F_OK) == 0);
        QCOMPARE(CLog::lastRecordDate(p), QDateTime::fromSecsSinceEpoch(1800012001));
        QCOMPARE(LogPath::readable(QFileInfo(p).fileName()), shown);
        QCOMPARE(LogPath::regularFileSize(p), qint64(b.data.size()));
        const bool raw = shown.contains(QChar::ReplacementCharacter);
        QCOMPARE(LogPath::rawByteEntries(m_dir.path(), QStringLiteral(".mlog")), raw ? QStringList(p) : QStringList());
        const char *const argv[] = {"vrelview", bytes.constData()};
        QCOMPARE(LogPath::arguments({QStringLiteral("vrelview"), QString::fromLocal8Bit(bytes)}, 2, argv).at(1), p);
        // Qt cannot remove what it cannot name.
        ::unlink(bytes.constData());
        ::unlink(LogPath::toBytes(CLog::indexFilePath(p)).constData());
        ::unlink(LogPath::toBytes(CLog::indexFilePath(p) + ".aux").constData());
    }

    void blocksAndDates()
    {
        const quint32 t0 = 1800000000;
        LogBuilder b = hiddenLog(t0);
        QVERIFY(b.save(path("blocks.mlog")));
        CLog log;
        log.readLog(path("blocks.mlog"));
        QVERIFY(log.readBlock(-1).isEmpty() && log.readBlock(log.blockCount()).isEmpty());
        QList<int> found;
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
        // Records appended since the scan come with the last block.
        const qint64 before = b.data.size();
        b.add(t0 + 6, "/late1");
        b.add(t0 + 7, "/late2");
        QVERIFY(b.append(path("blocks.mlog"), before));
        QCOMPARE(log.blockCount(), 4);
        const QStringList last = log.readBlock(3);
        QVERIFY(last.size() == 4 && last[3].contains("/late2"));
    }

    void brokenRecordsAndRanges()
    {
        LogBuilder b = brokenLog(1800000100);
        QVERIFY(b.save(path("broken.mlog")));
        QCOMPARE(b.offsets[2] - b.offsets[1], qint64(40));
        CLog log;
        log.readLog(path("broken.mlog"));
        // A range walks as the scan does: from garbage to the next record.
        QCOMPARE(log.readRange(b.offsets[2] + 41, b.offsets[4]).size(), 1);
        // The record at `start` is read even when it lies at or past `end`.
        QCOMPARE(log.readRange(b.offsets[4], 0).size(), 1);
        QVERIFY(log.readRange(-1, 1000).isEmpty());
        QVERIFY(log.readRange(b.data.size() + 10, b.data.size() + 100).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestLogScan)
#include "tst_logscan.moc"
