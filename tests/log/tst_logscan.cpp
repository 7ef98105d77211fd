// Scanning logs into the time index and keeping it in the index file:
// record-start search, incremental scans, index validation, cancel,
// progress, logs past 4 GiB and index writes that must not half-succeed.
#include "logbuilder.h"

#include <clog.h>

#include <QDataStream>
#include <QDir>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QMap<quint32, qint64> offsetsOf(std::initializer_list<std::pair<quint32, qint64>> l)
{
    QMap<quint32, qint64> m;
    for (const auto &p : l)
        m.insert(p.first, p.second);
    return m;
}

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// Makes at `path` a FIFO, a link to a character device
// or to a regular file (`target`), a dangling link or a folder.
bool makeSpecial(const QString &kind, const QString &path, const QString &target = QString())
{
    const QByteArray p = QFile::encodeName(path);
    if (kind == "fifo")
        return ::mkfifo(p.constData(), 0600) == 0;
    if (kind == "device")
        return QFile::link("/dev/zero", path);
    if (kind == "link")
        return QFile::link(target, path);
    if (kind == "dangling link")
        return QFile::link(path + ".nowhere", path);
    return QDir().mkpath(path);
}

mode_t typeOf(const QString &path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & S_IFMT : 0;
}

QByteArray indexBytes(const QDateTime &time, qint32 count, const QMap<quint32, qint64> &index)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << time << count;
    for (auto it = index.cbegin(); it != index.cend(); ++it)
        out << qint32(it.key()) << qint64(it.value());
    return bytes;
}

} // namespace

class TestLogScan : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString path(const QString &name) const { return m_dir.filePath(name); }

    // Four records of two times; the log's mtime is pinned so a later
    // growth can be made strictly newer than the index.
    LogBuilder twoBlocks(quint32 t0)
    {
        LogBuilder b;
        b.add(t0, "/a");
        b.add(t0, "/b");
        b.add(t0 + 1, "/c");
        b.add(t0 + 1, "/d");
        return b;
    }

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
        QCOMPARE(CLog::indexFilePath("/var/log/marvok/kernel.mlog"),
                 docs + "/vrelview/kernel-mlog.index");
        QCOMPARE(CLog::indexFilePath("/elsewhere/audit.mlog.1"), docs + "/vrelview/audit-mlog.1.index");
    }

    void garbageAndMagicInsideIt()
    {
        const quint32 t0 = 1800001000;
        LogBuilder b;
        b.garbage(QByteArray("\x80\x19\x12", 3) + "junk\x80\x80");
        b.add(t0, "/one");
        b.garbage(QByteArray(7, '\x80'));
        b.add(t0, "/two");
        // A magic inside a payload is skipped with its record; inside garbage
        // it is taken for a record start, as a byte-by-byte search would.
        b.add(t0 + 1, QByteArray("x\x80\x19\x12\x10y", 6));
        b.garbage(QByteArray("\x80\x19\x12\x10", 4) + QByteArray(36, '\0'));
        b.add(t0 + 2, "/three");
        b.garbage(QByteArray("\x80\x19\x12\x10", 4) + QByteArray(30, '\1')); // too short for a header
        QVERIFY(b.save(path("garbage.mlog")));

        CLog log;
        log.readLog(path("garbage.mlog"));
        const NaiveScan naive(b.data);
        QCOMPARE(naive.count, 5);
        QCOMPARE(log.recordCount(), naive.count);
        QCOMPARE(log.timeIndex(), naive.index);
        QCOMPARE(log.timeIndex().value(t0), b.offsets[0]);
        QVERIFY(log.timeIndex().contains(0)); // the header of zeros in the garbage
    }

    void generatedLogMatchesAByteByByteSearch()
    {
        // Larger than one read of the scan, so record starts and garbage
        // straddle the boundaries between reads.
        MlogGeneratorOptions o;
        o.targetSize = 9 << 20;
        o.seed = 3;
        o.garbageRate = 0.05;
        o.garbageMagic = true;
        o.truncateLast = true;
        QString error;
        QVERIFY2(generateLog(path("big.mlog"), o, &error), qPrintable(error));
        const NaiveScan naive(fileBytes(path("big.mlog")));
        CLog log;
        log.readLog(path("big.mlog"));
        QCOMPARE(log.recordCount(), naive.count);
        QVERIFY(log.timeIndex() == naive.index);
        QCOMPARE(log.blockCount(), naive.index.size());
    }

    void timeComingBackKeepsTheLaterOffset()
    {
        const quint32 t = 1800002000;
        LogBuilder b;
        b.add(t);
        b.add(t);
        b.add(t + 7);
        b.add(t);
        QVERIFY(b.save(path("back.mlog")));
        CLog log;
        log.readLog(path("back.mlog"));
        QCOMPARE(log.recordCount(), 4);
        QCOMPARE(log.timeIndex(), offsetsOf({{t, b.offsets[3]}, {t + 7, b.offsets[2]}}));
        QCOMPARE(log.blockCount(), 2);
        QCOMPARE(log.blockForDate(QDateTime::fromSecsSinceEpoch(t + 1, Qt::UTC)), 1);
    }

    void firstRecordOfTimeZeroOpensABlock()
    {
        LogBuilder b;
        b.add(0, "/epoch");
        b.add(1800001500);
        QVERIFY(b.save(path("epoch.mlog")));
        CLog log;
        log.readLog(path("epoch.mlog"));
        QCOMPARE(log.timeIndex(), offsetsOf({{0, 0}, {1800001500, b.offsets[1]}}));
        QVERIFY(log.readBlock(0).value(0).contains("/epoch"));
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
        QCOMPARE(first.indexTime(), QFileInfo(p).lastModified());
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

        // Unchanged since its index: scanned again in full.
        CLog third;
        third.readLog(p);
        QCOMPARE(third.recordCount(), 6);
    }

    void wrongIndexNeverShowsAndHeals_data()
    {
        // How the index file was made wrong; the log has blocks at t0, +10,
        // +20, +30 and +40. Wrong ends are caught when the index is loaded,
        // wrong middles when their blocks are read.
        QTest::addColumn<QString>("change");
        for (const char *c : {"last entry no record start", "first entry another time", "first entry inside its run",
                              "middle offset one byte off", "middle key changed", "middle entries dropped",
                              "middle entry moved into a later block",
                              "middle entry inside its run", "replaced log fitting at both ends"})
            QTest::newRow(c) << QString(c);
    }

    void wrongIndexNeverShowsAndHeals()
    {
        QFETCH(QString, change);
        const quint32 t0 = 1800004000;
        LogBuilder a;
        for (quint32 dt : {0, 0, 0, 10, 10, 20, 20, 30, 40, 40})
            a.add(t0 + dt, "/r" + QByteArray::number(a.offsets.size()));
        QMap<quint32, qint64> index = NaiveScan(a.data).index;
        LogBuilder b = a;
        if (change == "last entry no record start") {
            index[t0 + 40] += 2;
        } else if (change == "first entry another time") {
            index.insert(t0 - 5, index.take(t0));
        } else if (change == "first entry inside its run") {
            index[t0] = a.offsets[1];
        } else if (change == "middle offset one byte off") {
            index[t0 + 20] += 1;
        } else if (change == "middle key changed") {
            index.insert(t0 + 25, index.take(t0 + 20));
        } else if (change == "middle entries dropped") {
            index.remove(t0 + 10);
            index.remove(t0 + 20);
        } else if (change == "middle entry moved into a later block") {
            index[t0 + 10] = a.offsets[7];
        } else if (change == "middle entry inside its run") {
            index[t0 + 10] = a.offsets[4];
        } else if (change == "replaced log fitting at both ends") {
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
        const QMap<quint32, qint64> loaded = log.timeIndex();
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
        MlogGeneratorOptions o;
        o.records = 200000;
        o.seed = 11;
        QString error;
        const QString p = path("cancel.mlog");
        QVERIFY2(generateLog(p, o, &error), qPrintable(error));

        // The cancel arrives through the event loop, as the button's click does.
        CLog log;
        QTimer::singleShot(0, &log, &CLog::canselReadLog);
        log.readLog(p);
        QVERIFY(log.isCancelled());
        QVERIFY(log.recordCount() > 0);
        QVERIFY(log.recordCount() < 200000);
        QVERIFY(QFile::exists(CLog::indexFilePath(p)));
        const QByteArray saved = fileBytes(CLog::indexFilePath(p));
        QCOMPARE(saved, indexBytes(QFileInfo(p).lastModified(), log.recordCount(), log.timeIndex()));

        CLog again;
        again.readLog(p);
        QVERIFY(!again.isCancelled());
        QCOMPARE(again.recordCount(), 200000);
    }

    void logWithoutRecordsWritesNoIndex()
    {
        const QString p = path("nomagic.mlog");
        QVERIFY(writeBytes(p, QByteArray(5000, '\x80') + "\x19\x12"));
        CLog log;
        QSignalSpy maximum(&log, &CLog::valueMaximum);
        log.readLog(p);
        QCOMPARE(log.recordCount(), 0);
        QVERIFY(log.timeIndex().isEmpty());
        QVERIFY(!QFile::exists(CLog::indexFilePath(p)));
        QCOMPARE(maximum.size(), 1);
        QCOMPARE(maximum.first().first().toInt(), 5002);
        QVERIFY(!log.firstDate().isValid());
        QVERIFY(!log.lastDate().isValid());
        QCOMPARE(log.blockForDate(QDateTime::currentDateTime()), 0);
        QVERIFY(log.readBlock(0).isEmpty());
    }

    void onlyRegularFilesAreLogs_data()
    {
        QTest::addColumn<QString>("kind");
        for (const char *k : {"fifo", "device", "folder", "missing"})
            QTest::newRow(k) << QString(k);
    }

    void onlyRegularFilesAreLogs()
    {
        // Opening a FIFO without a writer blocks for ever: the alarm turns a
        // hang into a failure.
        QFETCH(QString, kind);
        const QString p = path(kind + ".mlog");
        QVERIFY(kind == "missing" || makeSpecial(kind, p));
        QVERIFY(writeBytes(CLog::indexFilePath(p), indexBytes(QDateTime::currentDateTime().addDays(-1), 1,
                                                              offsetsOf({{1800004500, 0}}))));
        ::alarm(20);
        QVERIFY(!CLog::canOpenLog(p));
        CLog log;
        log.readLog(p);
        QCOMPARE(log.recordCount(), 0);
        QCOMPARE(log.blockCount(), 0);
        QVERIFY(log.readRange(0, 100).isEmpty());
        QVERIFY(!CLog::isRecordStart(0, p));
        QVERIFY(!CLog::recordDate(0, p).isValid());
        QVERIFY(!CLog::firstRecordDate(p).isValid());
        QVERIFY(!CLog::lastRecordDate(p).isValid());
        ::alarm(0);
        LogBuilder b;
        b.add(1800004600);
        QVERIFY(b.save(path("regular.mlog")));
        QVERIFY(CLog::canOpenLog(path("regular.mlog")));
    }

    void indexPathThatIsNotARegularFile_data()
    {
        QTest::addColumn<QString>("kind");
        for (const char *k : {"link", "dangling link", "fifo"})
            QTest::newRow(k) << QString(k);
    }

    void indexPathThatIsNotARegularFile()
    {
        // Neither read (a FIFO would block) nor written through: a link's
        // target is never replaced or created.
        QFETCH(QString, kind);
        const QString p = path("special.mlog");
        const QString index = CLog::indexFilePath(p);
        const QString victim = path("victim");
        QVERIFY(writeBytes(victim, "keep me"));
        QVERIFY(makeSpecial(kind, index, victim));
        const mode_t type = typeOf(index);
        LogBuilder b = twoBlocks(1800004700);
        QVERIFY(b.save(p));
        ::alarm(20);
        CLog log;
        log.readLog(p);
        ::alarm(0);
        QCOMPARE(log.timeIndex(), NaiveScan(b.data).index);
        QCOMPARE(typeOf(index), type);
        QCOMPARE(fileBytes(victim), QByteArray("keep me"));
        QVERIFY(!QFile::exists(index + ".nowhere"));
    }

    void indexFileRoundTrip()
    {
        // The format stays byte for byte what a QDataStream writes; a key
        // above 2^31 is stored as its 32-bit pattern.
        LogBuilder b = twoBlocks(1800005000);
        b.add(0xF0000000u);
        const QString p = path("roundtrip.mlog");
        QVERIFY(b.save(p));
        CLog log;
        log.readLog(p);
        QCOMPARE(log.timeIndex().lastKey(), 0xF0000000u);
        QCOMPARE(fileBytes(CLog::indexFilePath(p)), indexBytes(QFileInfo(p).lastModified(), 5, log.timeIndex()));
    }

    void unsoundIndexFilesAreRejected_data()
    {
        // The index is checked against the log before anything is taken or
        // reserved from it. A sound one counts 3 records: the scan of the
        // last block adds 1; a rejected one makes a full scan count 5.
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<qint64>("sparse");
        QTest::addColumn<int>("count");
        const quint32 t0 = 1800006000;
        LogBuilder b = twoBlocks(t0);
        b.add(t0 + 2);
        const QDateTime old = QDateTime::fromSecsSinceEpoch(1700000000);
        const auto idx = [&](qint32 count, std::initializer_list<std::pair<quint32, qint64>> l) {
            return indexBytes(old, count, offsetsOf(l));
        };
        const QByteArray good = idx(3, {{t0, 0}, {t0 + 1, b.offsets[2]}, {t0 + 2, b.offsets[4]}});
        QByteArray disordered = good;
        disordered.replace(good.size() - 12, 4, QByteArray("\x00\x00\x00\x01", 4));
        QTest::newRow("sound") << good << qint64(0) << 4;
        QTest::newRow("truncated") << good.left(good.size() - 5) << qint64(0) << 5;
        QTest::newRow("keys out of order") << disordered << qint64(0) << 5;
        QTest::newRow("offset beyond the log") << idx(3, {{t0, 0}, {t0 + 9, 1 << 20}}) << qint64(0) << 5;
        QTest::newRow("header past the end") << idx(3, {{t0, 0}, {t0 + 2, b.data.size() - 39}}) << qint64(0) << 5;
        QTest::newRow("foreign bytes") << QByteArray("<?xml?><index>nothing of ours</index>") << qint64(0) << 5;
        QTest::newRow("empty") << QByteArray() << qint64(0) << 5;
        QTest::newRow("30 GB of entries") << good << qint64(2500) * 1000 * 1000 * 12 << 5;
        QTest::newRow("count beyond the log's room") << idx(int(b.data.size() / 40 + 1), {{t0, 0}}) << qint64(0) << 5;
        QTest::newRow("fewer records than entries") << idx(1, {{t0, 0}, {t0 + 2, b.offsets[4]}}) << qint64(0) << 5;
    }

    void unsoundIndexFilesAreRejected()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(qint64, sparse);
        QFETCH(int, count);
        LogBuilder b = twoBlocks(1800006000);
        b.add(1800006002);
        const QString p = path("unsound.mlog");
        QVERIFY(b.save(p));
        QVERIFY(setModified(p, QDateTime::fromSecsSinceEpoch(1700000060)));
        QVERIFY(writeBytes(CLog::indexFilePath(p), bytes));
        QVERIFY(QFile::resize(CLog::indexFilePath(p), bytes.size() + sparse));
        CLog log;
        log.readLog(p);
        QCOMPARE(log.recordCount(), count);
        QCOMPARE(log.timeIndex(), NaiveScan(b.data).index);
    }

    void futureLogWithoutIndexForgetsThePreviousLog()
    {
        const quint32 t0 = 1800007000;
        LogBuilder a = twoBlocks(t0);
        QVERIFY(a.save(path("previous.mlog")));
        CLog log;
        log.readLog(path("previous.mlog"));
        QCOMPARE(log.blockCount(), 2);

        LogBuilder b;
        b.add(t0 + 500, "/x");
        b.garbage("abc");
        b.add(t0 + 501, "/y");
        const QString p = path("future.mlog");
        QVERIFY(b.save(p));
        QVERIFY(setModified(p, QDateTime::currentDateTime().addDays(2)));
        QFile::remove(CLog::indexFilePath(p));
        log.readLog(p);
        QCOMPARE(log.recordCount(), 2);
        QCOMPARE(log.timeIndex(), offsetsOf({{t0 + 500, 0}, {t0 + 501, b.offsets[1]}}));
    }

    void progressStepsAreAboutAHundred()
    {
        MlogGeneratorOptions o;
        o.records = 100000;
        o.seed = 5;
        QString error;
        const QString p = path("progress.mlog");
        QVERIFY2(generateLog(p, o, &error), qPrintable(error));
        QVERIFY(setModified(p, QDateTime::currentDateTime().addSecs(-100)));
        const qint64 size = QFileInfo(p).size();

        CLog log;
        QSignalSpy maximum(&log, &CLog::valueMaximum);
        QSignalSpy changed(&log, &CLog::valueChanged);
        log.readLog(p);
        QCOMPARE(maximum.size(), 1);
        QCOMPARE(maximum.first().first().toLongLong(), size);
        QVERIFY2(changed.size() >= 90 && changed.size() <= 101, qPrintable(QString::number(changed.size())));
        int previous = -1;
        for (const QList<QVariant> &args : changed) {
            QVERIFY(args.first().toInt() > previous);
            previous = args.first().toInt();
        }
        QVERIFY(previous <= size);

        // One percent more: still about a hundred steps, none before the start.
        o.append = true;
        o.records = 1000;
        QVERIFY2(generateLog(p, o, &error), qPrintable(error));
        QVERIFY(setModified(p, QDateTime::currentDateTime()));
        maximum.clear();
        changed.clear();
        const qint64 start = log.timeIndex().last();
        log.readLog(p);
        QCOMPARE(log.recordCount() >= 101000, true);
        QVERIFY2(changed.size() >= 50 && changed.size() <= 101, qPrintable(QString::number(changed.size())));
        QCOMPARE(changed.first().first().toLongLong(), start);
    }

    void offsetsPastFourGiB()
    {
        // A sparse log: two records at the start, a hole, and records beyond
        // 4 GiB. The index says the log was read up to the record past 4 GiB,
        // so only the tail is scanned.
        const QString p = path("huge.mlog");
        const quint32 t0 = 1800008000;
        const qint64 far = (qint64(4) << 30) + 12345;
        LogBuilder head = twoBlocks(t0);
        LogBuilder tail;
        tail.add(t0 + 10, "/far1");
        tail.add(t0 + 10, "/far2");
        tail.add(t0 + 11, "/far3");
        {
            QFile f(p);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            QCOMPARE(f.write(head.data), qint64(head.data.size()));
            QVERIFY(f.resize(far));
            QVERIFY(f.seek(far));
            QCOMPARE(f.write(tail.data), qint64(tail.data.size()));
        }
        const qint64 size = far + tail.data.size();
        const QDateTime old = QDateTime::currentDateTime().addSecs(-3600);
        QVERIFY(setModified(p, old.addSecs(60)));
        QVERIFY(writeBytes(CLog::indexFilePath(p),
                           indexBytes(old, 5, offsetsOf({{t0, 0}, {t0 + 1, head.offsets[2]}, {t0 + 10, far}}))));

        CLog log;
        QSignalSpy maximum(&log, &CLog::valueMaximum);
        QSignalSpy changed(&log, &CLog::valueChanged);
        log.readLog(p);
        QCOMPARE(log.recordCount(), 5 + 3);
        QCOMPARE(log.timeIndex(), offsetsOf({{t0, 0}, {t0 + 1, head.offsets[2]}, {t0 + 10, far},
                                             {t0 + 11, far + tail.offsets[2]}}));
        QCOMPARE(maximum.first().first().toLongLong(), size >> 2);
        QVERIFY(!changed.isEmpty());
        QCOMPARE(changed.first().first().toLongLong(), far >> 2);
        QCOMPARE(log.readBlock(2).size(), 2);
        QVERIFY(log.readBlock(3).value(0).contains("/far3"));
        QCOMPARE(CLog::lastRecordDate(p), QDateTime::fromSecsSinceEpoch(t0 + 11, Qt::UTC).toLocalTime());
        QCOMPARE(CLog::recordDate(far, p), QDateTime::fromSecsSinceEpoch(t0 + 10, Qt::UTC).toLocalTime());
        QVERIFY(CLog::isRecordStart(far + tail.offsets[1], p));
        QVERIFY(!CLog::isRecordStart(far + 1, p));

        const QByteArray saved = fileBytes(CLog::indexFilePath(p));
        QCOMPARE(saved, indexBytes(QFileInfo(p).lastModified(), 8, log.timeIndex()));
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
        MlogGeneratorOptions o;
        o.targetSize = 12 << 20;
        o.seed = 9;
        QString error;
        const QString p = path("shrinking.mlog");
        QVERIFY2(generateLog(p, o, &error), qPrintable(error));
        CLog log;
        if (grown) {
            QVERIFY(setModified(p, QDateTime::currentDateTime().addSecs(-100)));
            log.readLog(p);
            o.append = true;
            o.targetSize = 13 << 20;
            QVERIFY2(generateLog(p, o, &error), qPrintable(error));
        }
        bool cut = false;
        connect(&log, &CLog::valueChanged, &log, [&]() {
            if (!cut)
                cut = QFile::resize(p, keep);
        });
        log.readLog(p);
        QVERIFY(cut);
        const NaiveScan naive(fileBytes(p));
        QCOMPARE(log.timeIndex(), naive.index);
        QCOMPARE(log.recordCount(), naive.count);
        QCOMPARE(fileBytes(CLog::indexFilePath(p)),
                 indexBytes(log.indexTime(), log.recordCount(), log.timeIndex()));
    }

    void recordDatesOfAnyFile()
    {
        LogBuilder b;
        b.garbage(QByteArray(100, '\x80'));
        b.add(1800009000);
        b.add(1800009009);
        b.garbage(QByteArray("\x80\x19\x12\x10", 4) + QByteArray(20, 'z'));
        QVERIFY(b.save(path("dates.mlog")));
        QCOMPARE(CLog::firstRecordDate(path("dates.mlog")),
                 QDateTime::fromSecsSinceEpoch(1800009000, Qt::UTC).toLocalTime());
        QCOMPARE(CLog::lastRecordDate(path("dates.mlog")),
                 QDateTime::fromSecsSinceEpoch(1800009009, Qt::UTC).toLocalTime());
        QVERIFY(CLog::isRecordStart(b.offsets[1], path("dates.mlog")));
        QVERIFY(!CLog::isRecordStart(-1, path("dates.mlog")));

        // Under 40 bytes there is no whole record, even with the magic.
        QVERIFY(writeBytes(path("tiny.mlog"), b.data.mid(100, 39)));
        QVERIFY(!CLog::firstRecordDate(path("tiny.mlog")).isValid());
        QVERIFY(!CLog::lastRecordDate(path("tiny.mlog")).isValid());
        QVERIFY(!CLog::recordDate(36, path("tiny.mlog")).isValid());

        // A backwards search across many pieces of garbage.
        LogBuilder c;
        c.add(1800009100);
        c.garbage(QByteArray(300000, 'g'));
        QVERIFY(c.save(path("longtail.mlog")));
        QCOMPARE(CLog::lastRecordDate(path("longtail.mlog")),
                 QDateTime::fromSecsSinceEpoch(1800009100, Qt::UTC).toLocalTime());
        QCOMPARE(CLog::firstRecordDate(path("longtail.mlog")),
                 QDateTime::fromSecsSinceEpoch(1800009100, Qt::UTC).toLocalTime());
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

        MlogGeneratorOptions o;
        o.records = 30000;
        o.recordsPerSecond = 2;
        QString error;
        QVERIFY2(generateLog(p, o, &error), qPrintable(error));
        for (const bool spare : {true, false}) {
            if (!spare)
                QVERIFY(QFile::remove(index + ".spare"));
            rlimit old{};
            QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
            rlimit limited = old;
            limited.rlim_cur = 8192;
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
