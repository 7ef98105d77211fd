// Scanning logs into the time index and keeping it in the index file:
// record-start search, incremental scans, index validation, cancel,
// progress, logs past 4 GiB and index writes that must not half-succeed.
#include "logbuilder.h"

#include <QDataStream>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using Index = QMap<quint32, qint64>;

// Makes at `path` a FIFO, a link to a character device or to a regular
// file (`target`), a dangling link or a folder.
bool makeSpecial(const QString &kind, const QString &path, const QString &target = QString())
{
    if (kind == "fifo")
        return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
    if (kind == "folder")
        return QDir().mkpath(path);
    return QFile::link(kind == "device" ? "/dev/zero" : kind == "link" ? target : path + ".nowhere", path);
}

mode_t typeOf(const QString &path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & S_IFMT : 0;
}

QByteArray indexBytes(const QDateTime &time, qint32 count, const Index &index)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << time << count;
    for (auto it = index.cbegin(); it != index.cend(); ++it)
        out << qint32(it.key()) << qint64(it.value());
    return bytes;
}

MlogGeneratorOptions generated(qint64 records, quint64 seed, qint64 size = 0)
{
    MlogGeneratorOptions o;
    o.records = records;
    o.targetSize = size;
    o.seed = seed;
    return o;
}

// Four records of two times.
LogBuilder twoBlocks(quint32 t0, const QByteArray &payload = "/a")
{
    LogBuilder b;
    for (quint32 t : {t0, t0, t0 + 1, t0 + 1})
        b.add(t, payload);
    return b;
}

} // namespace

class TestLogScan : public QObject
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

    void indexFilePathFollowsTheLogName()
    {
        const QString docs = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        QCOMPARE(CLog::indexFilePath("/var/log/marvok/kernel.mlog"), docs + "/vrelview/kernel-mlog.index");
        QCOMPARE(CLog::indexFilePath("/elsewhere/audit.mlog.1"), docs + "/vrelview/audit-mlog.1.index");
    }

    void scanFindsWhatAByteByByteSearchFinds_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const quint32 t0 = 1800001000;
        LogBuilder g;
        g.garbage(QByteArray("\x80\x19\x12", 3) + "junk\x80\x80");
        g.add(t0, "/one");
        g.garbage(QByteArray(7, '\x80'));
        g.add(t0, "/two");
        // A magic inside a payload is skipped with its record; inside garbage
        // it is taken for a record start (here one of time 0).
        g.add(t0 + 1, QByteArray("x\x80\x19\x12\x10y", 6));
        g.garbage(QByteArray("\x80\x19\x12\x10", 4) + QByteArray(36, '\0'));
        g.add(t0 + 2, "/three");
        g.garbage(QByteArray("\x80\x19\x12\x10", 4) + QByteArray(30, '\1')); // too short for a header
        QTest::newRow("garbage and stray record starts") << g.data;
        LogBuilder back;
        for (quint32 t : {t0, t0, t0 + 7, t0})
            back.add(t);
        QTest::newRow("time coming back keeps its later offset") << back.data;
        LogBuilder epoch;
        epoch.add(0, "/epoch");
        epoch.add(t0);
        QTest::newRow("first record of time 0 opens a block") << epoch.data;
        // Larger than one read of the scan: record starts and garbage
        // straddle the boundaries between reads.
        MlogGeneratorOptions o = generated(0, 3, 9 << 20);
        o.garbageRate = 0.05;
        o.garbageMagic = true;
        o.truncateLast = true;
        QVERIFY(generateLog(path("big.mlog"), o));
        QTest::newRow("generated, 9 MiB") << fileBytes(path("big.mlog"));
        QTest::newRow("no record start") << QByteArray(5000, '\x80') + "\x19\x12";
    }

    void scanFindsWhatAByteByByteSearchFinds()
    {
        QFETCH(QByteArray, bytes);
        const QString p = path("scan.mlog");
        QVERIFY(writeBytes(p, bytes));
        CLog log;
        QSignalSpy maximum(&log, &CLog::valueMaximum);
        log.readLog(p);
        const NaiveScan naive(bytes);
        QCOMPARE(log.recordCount(), naive.count);
        QVERIFY(log.timeIndex() == naive.index);
        QCOMPARE(maximum, QList<QList<QVariant>>({{bytes.size()}}));
        // A log without records gets no index file and no dates.
        QCOMPARE(QFile::exists(CLog::indexFilePath(p)), naive.count > 0);
        QCOMPARE(log.firstDate().isValid() && log.lastDate().isValid(), naive.count > 0);
        if (naive.ascending) {
            QStringList all;
            log.forEachBlock(0, log.blockCount(), [&all](int, const QStringList &texts) {
                all += texts;
                return true;
            });
            QCOMPARE(all, naive.texts);
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
        QVERIFY(b.append(p, before));
        QVERIFY(setModified(p, m1.addSecs(10)));
        QVERIFY(first.isChanged(p));
        const bool replaced = reader.endsWith("replaced");
        if (replaced)
            QVERIFY(writeBytes(CLog::indexFilePath(p), QByteArray("foreign")));
        CLog fresh;
        CLog &log = reader == "fresh" ? fresh : first;
        QSignalSpy changed(&log, &CLog::valueChanged);
        log.readLog(p);
        QCOMPARE(log.timeIndex(), NaiveScan(b.data).index);
        // The last block is counted again with the new records, but never
        // past the records the log has room for.
        QCOMPARE(log.recordCount(), 6);
        QCOMPARE(changed.first().first().toLongLong(), replaced ? 0 : b.offsets[2]);
    }

    void wrongIndexNeverShowsAndHeals_data()
    {
        // The log has blocks at t0, +10, +20, +30 and +40 (records 0, 3, 5, 7
        // and 8). The entry of block `from` is filed under `to` at the offset
        // of `record` (-1: dropped) plus `shift`. Wrong ends are caught when
        // the index is loaded, wrong middles when their blocks are read.
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::addColumn<int>("record");
        QTest::addColumn<int>("shift");
        QTest::newRow("last entry no record start") << 40 << 40 << 8 << 2;
        QTest::newRow("first entry another time") << 0 << -5 << 0 << 0;
        QTest::newRow("first entry inside its run") << 0 << 0 << 1 << 0;
        QTest::newRow("middle offset one byte off") << 20 << 20 << 5 << 1;
        QTest::newRow("middle key changed") << 20 << 25 << 5 << 0;
        QTest::newRow("middle entry dropped") << 10 << 10 << -1 << 0;
        QTest::newRow("middle entry moved into a later block") << 10 << 10 << 7 << 0;
        QTest::newRow("middle entry inside its run") << 10 << 10 << 4 << 0;
        QTest::newRow("replaced log fitting at both ends") << 0 << 0 << 0 << 0;
    }

    void wrongIndexNeverShowsAndHeals()
    {
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(int, record);
        QFETCH(int, shift);
        const QString change = QTest::currentDataTag();
        const quint32 t0 = 1800004000;
        LogBuilder a;
        for (quint32 dt : {0, 0, 0, 10, 10, 20, 20, 30, 40, 40})
            a.add(t0 + dt, "/r" + QByteArray::number(a.offsets.size()));
        Index index = NaiveScan(a.data).index;
        index.remove(t0 + from);
        if (record >= 0)
            index.insert(t0 + to, a.offsets[record] + shift);
        LogBuilder b = a;
        if (change.startsWith("replaced")) {
            // Same first block, then one long record up to where the last
            // block started, then that block again.
            b = LogBuilder();
            for (int i = 0; i < 3; ++i)
                b.add(t0, "/r" + QByteArray::number(i));
            b.add(t0 + 15, QByteArray(int(a.offsets[8] - b.data.size() - 40), 'x'));
            b.add(t0 + 40, "/r8");
            b.add(t0 + 40, "/r9");
            QCOMPARE(b.offsets[4], a.offsets[8]);
        }
        const QString p = path("wrong.mlog");
        QVERIFY(b.save(p));
        const QDateTime old = QDateTime::currentDateTime().addSecs(-3600);
        QVERIFY(setModified(p, old.addSecs(60)));
        QVERIFY(writeBytes(CLog::indexFilePath(p), indexBytes(old, 10, index)));

        const NaiveScan naive(b.data);
        CLog log;
        log.readLog(p);
        const Index loaded = log.timeIndex();
        // A block shows records of its own time only, whichever way it is read.
        for (int k = 0; k < log.blockCount(); ++k) {
            const QStringList own = naive.textsByTime.value(loaded.keys().at(k));
            for (const QString &text : log.readBlock(k))
                QVERIFY2(own.contains(text), qPrintable(text));
            int count = -1;
            log.countBlockTexts(k, k, [&count](int, int c) { return (count = c) >= 0; });
            QVERIFY(count >= 0 && count <= own.size());
        }
        const bool wrong = loaded != naive.index;
        QCOMPARE(log.isIndexStale(), wrong);
        QCOMPARE(log.isChanged(p), wrong);
        QCOMPARE(QFile::exists(CLog::indexFilePath(p)), !wrong);
        QVERIFY(wrong == change.startsWith("middle") || change.startsWith("replaced"));

        log.readLog(p);
        QVERIFY(!log.isIndexStale());
        QCOMPARE(log.timeIndex(), naive.index);
        QCOMPARE(log.recordCount(), naive.count);
        for (int k = 0; k < log.blockCount(); ++k)
            QCOMPARE(log.readBlock(k), naive.textsByTime.value(naive.index.keys().at(k)));
    }

    void cancelKeepsWhatWasFound()
    {
        const QString p = path("cancel.mlog");
        QVERIFY(generateLog(p, generated(200000, 11)));
        // The cancel arrives through the event loop, as the button's click does.
        CLog log;
        QTimer::singleShot(0, &log, &CLog::canselReadLog);
        log.readLog(p);
        QVERIFY(log.isCancelled());
        QVERIFY(log.recordCount() > 0 && log.recordCount() < 200000);
        QCOMPARE(fileBytes(CLog::indexFilePath(p)),
                 indexBytes(QFileInfo(p).lastModified(), log.recordCount(), log.timeIndex()));
        CLog again;
        again.readLog(p);
        QVERIFY(!again.isCancelled());
        QCOMPARE(again.recordCount(), 200000);
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
        const QString index = CLog::indexFilePath(p);
        const QString victim = path("victim");
        QVERIFY(writeBytes(victim, "keep me"));
        const LogBuilder b = twoBlocks(1800004700);
        if (atIndex) {
            QVERIFY(makeSpecial(kind, index, victim) && b.save(p));
        } else {
            QVERIFY(kind == "missing" || makeSpecial(kind, p));
            QVERIFY(writeBytes(index, indexBytes(QDateTime::currentDateTime().addDays(-1), 1, {{1800004700, 0}})));
        }
        const mode_t type = typeOf(atIndex ? index : p);
        ::alarm(20);
        CLog log;
        log.readLog(p);
        QCOMPARE(log.timeIndex(), atIndex ? NaiveScan(b.data).index : Index());
        QCOMPARE(log.recordCount(), atIndex ? 4 : 0);
        QCOMPARE(CLog::canOpenLog(p), atIndex);
        QCOMPARE(CLog::isRecordStart(0, p), atIndex);
        QCOMPARE(CLog::recordDate(0, p).isValid(), atIndex);
        QCOMPARE(CLog::firstRecordDate(p).isValid(), atIndex);
        QCOMPARE(CLog::lastRecordDate(p).isValid(), atIndex);
        QCOMPARE(log.readRange(0, 100).isEmpty(), !atIndex);
        ::alarm(0);
        QCOMPARE(typeOf(atIndex ? index : p), type);
        QCOMPARE(fileBytes(victim), QByteArray("keep me"));
        QVERIFY(!QFile::exists(index + ".nowhere"));
    }

    void unsoundIndexFilesAreRejected_data()
    {
        // The index is checked against the log before anything is taken or
        // reserved from it. A sound one counts 3 records and the scan of the
        // last block adds 1; a rejected one makes a full scan count 5.
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<qint64>("sparse"); // zero bytes added to the file
        const quint32 t0 = 1800006000;
        const qint64 size = 5 * 42;
        const QDateTime old = QDateTime::fromSecsSinceEpoch(1700000000);
        const QByteArray good = indexBytes(old, 3, {{t0, 0}, {t0 + 1, 84}, {t0 + 2, 168}});
        QByteArray disordered = good;
        disordered[good.size() - 12] = 0; // the last key becomes the lowest
        QTest::newRow("sound") << good << qint64(0);
        QTest::newRow("truncated") << good.left(good.size() - 5) << qint64(0);
        QTest::newRow("keys out of order") << disordered << qint64(0);
        QTest::newRow("offset beyond the log") << indexBytes(old, 3, {{t0, 0}, {t0 + 9, 1 << 20}}) << qint64(0);
        QTest::newRow("header past the end") << indexBytes(old, 3, {{t0, 0}, {t0 + 2, size - 39}}) << qint64(0);
        QTest::newRow("foreign bytes") << QByteArray("<?xml?><index>nothing of ours</index>") << qint64(0);
        QTest::newRow("empty") << QByteArray() << qint64(0);
        QTest::newRow("30 GB of entries") << good << qint64(2500) * 1000 * 1000 * 12;
        QTest::newRow("count beyond the log's room") << indexBytes(old, size / 40 + 1, {{t0, 0}}) << qint64(0);
        QTest::newRow("fewer records than entries") << indexBytes(old, 1, {{t0, 0}, {t0 + 2, 168}}) << qint64(0);
    }

    void unsoundIndexFilesAreRejected()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(qint64, sparse);
        LogBuilder b = twoBlocks(1800006000);
        b.add(1800006002, "/e");
        QCOMPARE(b.data.size(), 5 * 42);
        const QString p = path("unsound.mlog");
        QVERIFY(b.save(p));
        QVERIFY(setModified(p, QDateTime::fromSecsSinceEpoch(1700000060)));
        QVERIFY(writeBytes(CLog::indexFilePath(p), bytes));
        QVERIFY(QFile::resize(CLog::indexFilePath(p), bytes.size() + sparse));
        CLog log;
        log.readLog(p);
        QCOMPARE(log.recordCount(), QTest::currentDataTag() == QByteArray("sound") ? 4 : 5);
        QCOMPARE(log.timeIndex(), NaiveScan(b.data).index);
    }

    void futureLogWithoutIndexForgetsThePreviousLog()
    {
        // The previous log's index fits this log at both ends, yet it is not
        // this log's: a full scan, not a count on top of the previous one.
        const quint32 t0 = 1800007000;
        LogBuilder b = twoBlocks(t0, QByteArray(100, 'p'));
        QVERIFY(b.save(path("previous.mlog")));
        CLog log;
        log.readLog(path("previous.mlog"));
        b.add(t0 + 2);
        const QString p = path("future.mlog");
        QVERIFY(b.save(p));
        QVERIFY(setModified(p, QDateTime::currentDateTime().addDays(2)));
        log.readLog(p);
        QCOMPARE(log.recordCount(), 5);
        QCOMPARE(log.timeIndex(), NaiveScan(b.data).index);
    }

    void progressStepsAreAboutAHundred()
    {
        const QString p = path("progress.mlog");
        MlogGeneratorOptions o = generated(100000, 5);
        QVERIFY(generateLog(p, o));
        QVERIFY(setModified(p, QDateTime::currentDateTime().addSecs(-100)));
        CLog log;
        QSignalSpy changed(&log, &CLog::valueChanged);
        log.readLog(p);
        QVERIFY2(changed.size() >= 90 && changed.size() <= 101, qPrintable(QString::number(changed.size())));
        int previous = -1;
        for (const QList<QVariant> &args : changed) {
            QVERIFY(args.first().toInt() > previous);
            previous = args.first().toInt();
        }

        // One percent more: still about a hundred steps, none before the start.
        o.append = true;
        o.records = 1000;
        QVERIFY(generateLog(p, o));
        QVERIFY(setModified(p, QDateTime::currentDateTime()));
        changed.clear();
        const qint64 start = log.timeIndex().last();
        log.readLog(p);
        QVERIFY(log.recordCount() >= 101000);
        QVERIFY2(changed.size() >= 50 && changed.size() <= 101, qPrintable(QString::number(changed.size())));
        QCOMPARE(changed.first().first().toLongLong(), start);
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
                           indexBytes(old, 5, {{t0, 0}, {t0 + 1, head.offsets[2]}, {t0 + 10, far}})));

        CLog log;
        QSignalSpy maximum(&log, &CLog::valueMaximum);
        QSignalSpy changed(&log, &CLog::valueChanged);
        log.readLog(p);
        QCOMPARE(log.recordCount(), 5 + 3);
        QCOMPARE(log.timeIndex(),
                 (Index{{t0, 0}, {t0 + 1, head.offsets[2]}, {t0 + 10, far}, {t0 + 11, far + tail.offsets[2]}}));
        QCOMPARE(maximum.first().first().toLongLong(), (far + tail.data.size()) >> 2);
        QCOMPARE(changed.value(0).value(0).toLongLong(), far >> 2);
        QCOMPARE(log.readBlock(2).size(), 2);
        QVERIFY(log.readBlock(3).value(0).contains("/far3"));
        QCOMPARE(CLog::lastRecordDate(p), QDateTime::fromSecsSinceEpoch(t0 + 11));
        QCOMPARE(CLog::recordDate(far, p), QDateTime::fromSecsSinceEpoch(t0 + 10));
        QVERIFY(CLog::isRecordStart(far + tail.offsets[1], p));
        QVERIFY(!CLog::isRecordStart(far + 1, p));
        // The index file stays byte for byte what a QDataStream writes.
        QCOMPARE(fileBytes(CLog::indexFilePath(p)), indexBytes(QFileInfo(p).lastModified(), 8, log.timeIndex()));
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
        QCOMPARE(log.recordCount(), naive.count);
        QCOMPARE(fileBytes(CLog::indexFilePath(p)), indexBytes(log.indexTime(), log.recordCount(), log.timeIndex()));
    }

    void recordDatesOfAnyFile()
    {
        LogBuilder b;
        b.garbage(QByteArray(100, '\x80'));
        b.add(1800009000);
        b.add(1800009009);
        // A backwards search across many pieces of garbage.
        b.garbage(QByteArray(300000, 'g'));
        b.garbage(QByteArray("\x80\x19\x12\x10", 4) + QByteArray(20, 'z'));
        const QString p = path("dates.mlog");
        QVERIFY(b.save(p));
        QCOMPARE(CLog::firstRecordDate(p), QDateTime::fromSecsSinceEpoch(1800009000));
        QCOMPARE(CLog::lastRecordDate(p), QDateTime::fromSecsSinceEpoch(1800009009));
        QVERIFY(CLog::isRecordStart(b.offsets[1], p));
        QVERIFY(!CLog::isRecordStart(-1, p));

        // Under 40 bytes there is no whole record, even with the magic.
        QVERIFY(writeBytes(path("tiny.mlog"), b.data.mid(100, 39)));
        QVERIFY(!CLog::firstRecordDate(path("tiny.mlog")).isValid());
        QVERIFY(!CLog::lastRecordDate(path("tiny.mlog")).isValid());
        QVERIFY(!CLog::recordDate(36, path("tiny.mlog")).isValid());
    }

    void indexWriteNeverLeavesAPartialFile()
    {
        // Under a file-size limit the new index cannot be written whole: the
        // previous one stays as it was, whether the write went to the spare
        // or to a new file, and nothing else is left beside it.
        const QString p = path("limited.mlog");
        const QString index = CLog::indexFilePath(p);
        LogBuilder small;
        small.add(1800010000);
        QVERIFY(small.save(p));
        CLog log;
        log.readLog(p);
        log.readLog(p); // the file the second write replaces becomes the spare
        const QByteArray before = fileBytes(index);
        QVERIFY(!before.isEmpty());
        QVERIFY(QFile::exists(index + ".spare"));

        MlogGeneratorOptions o = generated(30000, 1);
        o.recordsPerSecond = 2;
        QVERIFY(generateLog(p, o));
        for (const bool spare : {true, false}) {
            if (!spare)
                QVERIFY(QFile::remove(index + ".spare"));
            rlimit old{};
            QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
            const rlimit limited{8192, old.rlim_max};
            const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
            QCOMPARE(setrlimit(RLIMIT_FSIZE, &limited), 0);
            log.readLog(p);
            QCOMPARE(setrlimit(RLIMIT_FSIZE, &old), 0);
            std::signal(SIGXFSZ, oldHandler);
            QVERIFY(log.blockCount() > 1000);
            QCOMPARE(fileBytes(index), before);
            QStringList names({"limited-mlog.index"});
            if (spare)
                names << "limited-mlog.index.spare";
            QCOMPARE(QDir(QFileInfo(index).path()).entryList(QDir::Files | QDir::Hidden), names);
        }
    }
};

QTEST_GUILESS_MAIN(TestLogScan)
#include "tst_logscan.moc"
