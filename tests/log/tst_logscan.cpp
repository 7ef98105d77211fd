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
#include <sys/mount.h>
#include <sys/resource.h>

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
        QCOMPARE(log.recordCount(), 5);
        QCOMPARE(log.recordCount(), naive.count);
        QCOMPARE(log.timeIndex(), naive.index);
        QCOMPARE(log.timeIndex().value(t0), b.offsets[0]);
        QVERIFY(log.timeIndex().contains(0)); // the header of zeros in the garbage

        QCOMPARE(CLog::firstRecordDate(path("garbage.mlog")),
                 QDateTime::fromSecsSinceEpoch(t0, Qt::UTC).toLocalTime());
        QCOMPARE(CLog::lastRecordDate(path("garbage.mlog")),
                 QDateTime::fromSecsSinceEpoch(t0 + 2, Qt::UTC).toLocalTime());
    }

    void generatedLogMatchesAByteByByteSearch()
    {
        // Larger than one read of the scan, so record starts and garbage
        // straddle the boundaries between reads.
        MlogGeneratorOptions o;
        o.targetSize = 9 << 20;
        o.seed = 3;
        o.garbageRate = 0.05;
        o.truncateLast = true;
        QString error;
        QVERIFY2(generateLog(path("big.mlog"), o, &error), qPrintable(error));
        const QByteArray data = fileBytes(path("big.mlog"));
        const NaiveScan naive(data);
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

    void grownLogIsScannedFromItsLastBlock()
    {
        const quint32 t0 = 1800003000;
        LogBuilder b = twoBlocks(t0);
        const QString log1 = path("grown.mlog");
        QVERIFY(b.save(log1));
        const QDateTime m1 = QDateTime::currentDateTime().addSecs(-100);
        QVERIFY(setModified(log1, m1));

        CLog log;
        log.readLog(log1);
        QCOMPARE(log.recordCount(), 4);
        QCOMPARE(log.indexTime(), QFileInfo(log1).lastModified());
        QVERIFY(!log.isChanged(log1));

        const qint64 before = b.data.size();
        b.add(t0 + 1, "/e");
        b.add(t0 + 2, "/f");
        QVERIFY(b.append(log1, before));
        QVERIFY(setModified(log1, m1.addSecs(10)));
        QVERIFY(log.isChanged(log1));

        CLog other; // a fresh reader relies on the index file alone
        QSignalSpy changed(&other, &CLog::valueChanged);
        other.readLog(log1);
        // The last block (two records) is counted again with the new ones.
        QCOMPARE(other.recordCount(), 4 + 4);
        QCOMPARE(other.timeIndex(), offsetsOf({{t0, 0}, {t0 + 1, b.offsets[2]}, {t0 + 2, b.offsets[5]}}));
        QVERIFY(!changed.isEmpty());
        QCOMPARE(changed.first().first().toLongLong(), b.offsets[2]);

        // Unchanged since its index: scanned again in full.
        CLog third;
        third.readLog(log1);
        QCOMPARE(third.recordCount(), 6);
    }

    void sameReaderFollowsItsIndexFile()
    {
        // A reader that reads its own log again relies on the index file as
        // it left it; a file changed behind its back is read and judged anew.
        const quint32 t0 = 1800003500;
        LogBuilder b = twoBlocks(t0);
        const QString p = path("again.mlog");
        QVERIFY(b.save(p));
        const QDateTime m1 = QDateTime::currentDateTime().addSecs(-100);
        QVERIFY(setModified(p, m1));
        CLog log;
        log.readLog(p);
        qint64 before = b.data.size();
        b.add(t0 + 2, "/e");
        QVERIFY(b.append(p, before));
        QVERIFY(setModified(p, m1.addSecs(10)));
        log.readLog(p);
        QCOMPARE(log.recordCount(), 4 + 3);

        QVERIFY(writeBytes(CLog::indexFilePath(p), QByteArray("foreign")));
        before = b.data.size();
        b.add(t0 + 3, "/f");
        QVERIFY(b.append(p, before));
        QVERIFY(setModified(p, m1.addSecs(20)));
        log.readLog(p);
        QCOMPARE(log.recordCount(), 6);
        QCOMPARE(log.timeIndex(), NaiveScan(b.data).index);
    }

    void replacedLogIsScannedInFull_data()
    {
        QTest::addColumn<int>("change");
        QTest::newRow("last offset no record start") << 0;
        QTest::newRow("last offset another time") << 1;
        QTest::newRow("first offset another time") << 2;
        QTest::newRow("log of the same name elsewhere") << 3;
    }

    void replacedLogIsScannedInFull()
    {
        QFETCH(int, change);
        const quint32 t0 = 1800004000;
        const QString name = QString("replaced%1.mlog").arg(change);
        LogBuilder a = twoBlocks(t0);
        QVERIFY(a.save(path(name)));
        const QDateTime m1 = QDateTime::currentDateTime().addSecs(-100);
        QVERIFY(setModified(path(name), m1));
        CLog log;
        log.readLog(path(name));
        QCOMPARE(log.recordCount(), 4);

        LogBuilder b;
        switch (change) {
        case 0:
            b.add(t0, "/a-longer-path");
            b.add(t0 + 50);
            b.add(t0 + 51);
            b.add(t0 + 52);
            break;
        case 1:
            b.add(t0, "/a");
            b.add(t0, "/b");
            b.add(t0 + 7, "/c");
            b.add(t0 + 7, "/d");
            break;
        case 2:
            b.add(t0 - 1, "/a");
            b.add(t0, "/b");
            b.add(t0 + 1, "/c");
            b.add(t0 + 1, "/d");
            break;
        default:
            b = twoBlocks(t0 + 1000);
            b.add(t0 + 1001);
            b.add(t0 + 1003);
            break;
        }
        b.add(t0 + 200);
        QString target = path(name);
        if (change == 3) {
            QVERIFY(QDir(m_dir.path()).mkpath("elsewhere"));
            target = path("elsewhere/" + name);
        }
        QVERIFY(b.save(target));
        QVERIFY(setModified(target, m1.addSecs(10)));

        CLog fresh;
        fresh.readLog(target);
        const NaiveScan naive(b.data);
        QCOMPARE(fresh.recordCount(), naive.count);
        QCOMPARE(fresh.timeIndex(), naive.index);
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

        // A path that cannot be opened leaves no index behind either.
        log.readLog(path("missing.mlog"));
        QCOMPARE(log.recordCount(), 0);
        QVERIFY(!QFile::exists(CLog::indexFilePath(path("missing.mlog"))));
    }

    void indexFileRoundTrip()
    {
        const quint32 t0 = 1800005000;
        LogBuilder b = twoBlocks(t0);
        b.add(0xF0000000u); // a key above 2^31 is stored as its 32-bit pattern
        const QString p = path("roundtrip.mlog");
        QVERIFY(b.save(p));
        CLog log;
        log.readLog(p);
        const QByteArray saved = fileBytes(CLog::indexFilePath(p));
        QCOMPARE(saved, indexBytes(QFileInfo(p).lastModified(), 5, log.timeIndex()));

        QDataStream in(saved);
        QDateTime time;
        qint32 count = 0;
        qint32 key = 0;
        qint64 offset = 0;
        in >> time >> count;
        QCOMPARE(count, 5);
        QCOMPARE(time, QFileInfo(p).lastModified());
        for (int i = 0; i < 3; ++i)
            in >> key >> offset;
        QCOMPARE(quint32(key), 0xF0000000u);
        QCOMPARE(offset, b.offsets[4]);
        QVERIFY(in.atEnd());
    }

    void unsoundIndexFilesAreRejected_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("truncated") << 0;
        QTest::newRow("keys out of order") << 1;
        QTest::newRow("offset beyond the log") << 2;
        QTest::newRow("foreign bytes") << 3;
        QTest::newRow("empty") << 4;
    }

    void unsoundIndexFilesAreRejected()
    {
        QFETCH(int, kind);
        const quint32 t0 = 1800006000;
        const QString p = path(QString("unsound%1.mlog").arg(kind));
        LogBuilder b = twoBlocks(t0);
        b.add(t0 + 2);
        QVERIFY(b.save(p));
        const QDateTime old = QDateTime::currentDateTime().addSecs(-3600);
        QVERIFY(setModified(p, old.addSecs(60)));

        const QMap<quint32, qint64> good = offsetsOf({{t0, 0}, {t0 + 1, b.offsets[2]}, {t0 + 2, b.offsets[4]}});
        QByteArray bytes = indexBytes(old, 1000, good);
        switch (kind) {
        case 0:
            bytes.chop(5);
            break;
        case 1:
            bytes = indexBytes(old, 1000, good);
            bytes.replace(bytes.size() - 12, 4, QByteArray("\x00\x00\x00\x01", 4));
            break;
        case 2:
            bytes = indexBytes(old, 1000, offsetsOf({{t0, 0}, {t0 + 2, b.offsets[4]}, {t0 + 9, 1 << 20}}));
            break;
        case 3:
            bytes = QByteArray("<?xml version=\"1.0\"?><index>nothing of ours here</index>");
            break;
        default:
            bytes.clear();
            break;
        }
        QVERIFY(writeBytes(CLog::indexFilePath(p), bytes));

        CLog log;
        log.readLog(p);
        QCOMPARE(log.recordCount(), 5);
        QCOMPARE(log.timeIndex(), good);
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

    void logTruncatedWhileScanned()
    {
        MlogGeneratorOptions o;
        o.targetSize = 12 << 20;
        o.seed = 9;
        QString error;
        const QString p = path("shrinking.mlog");
        QVERIFY2(generateLog(p, o, &error), qPrintable(error));
        CLog full;
        full.readLog(p);
        const int all = full.recordCount();

        // Cut the log to a few bytes at the first progress step: whatever is
        // still buffered is scanned, then the scan ends where data ends.
        CLog log;
        bool cut = false;
        connect(&log, &CLog::valueChanged, &log, [&]() {
            if (!cut)
                cut = QFile::resize(p, 100);
        });
        log.readLog(p);
        QVERIFY(cut);
        QVERIFY(log.recordCount() > 0);
        QVERIFY(log.recordCount() < all);
        QVERIFY(log.timeIndex().last() < (8 << 20));
        QCOMPARE(log.readBlock(log.blockCount() - 1), QStringList());
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
        QVERIFY(!CLog::firstRecordDate(path("none.mlog")).isValid());
        QVERIFY(!CLog::recordDate(0, path("none.mlog")).isValid());
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
        // previous index must stay as it was.
        MlogGeneratorOptions o;
        o.records = 30000;
        o.seed = 13;
        o.recordsPerSecond = 2;
        QString error;
        const QString p = path("limited.mlog");
        LogBuilder small;
        small.add(1800010000);
        QVERIFY(small.save(p));
        CLog log;
        log.readLog(p);
        const QByteArray before = fileBytes(CLog::indexFilePath(p));
        QVERIFY(!before.isEmpty());

        QVERIFY2(generateLog(p, o, &error), qPrintable(error));
        rlimit old{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limited = old;
        limited.rlim_cur = 8192;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &limited), 0);
        log.readLog(p);
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &old), 0);
        std::signal(SIGXFSZ, oldHandler);
        QVERIFY(log.blockCount() > 1000);
        QCOMPARE(fileBytes(CLog::indexFilePath(p)), before);
        const QStringList leftovers = QDir(QFileInfo(CLog::indexFilePath(p)).path())
                                          .entryList({"limited*"}, QDir::Files | QDir::Hidden);
        QCOMPARE(leftovers, QStringList({"limited-mlog.index"}));
    }

    void indexWriteOnAFullFileSystem()
    {
        const QString mountPoint = path("fullfs");
        QVERIFY(QDir().mkpath(mountPoint));
        if (::mount("tmpfs", QFile::encodeName(mountPoint).constData(), "tmpfs", 0, "size=64k") != 0)
            QSKIP("cannot mount a small tmpfs here");
        struct Unmount
        {
            QByteArray at;
            ~Unmount() { ::umount(at.constData()); }
        } unmount{QFile::encodeName(mountPoint)};

        // The documents folder moves onto the small file system.
        const QByteArray home = qgetenv("HOME");
        qputenv("HOME", QFile::encodeName(mountPoint));
        struct RestoreHome
        {
            QByteArray home;
            ~RestoreHome() { qputenv("HOME", home); }
        } restore{home};
        const QString p = path("full.mlog");
        const QString index = CLog::indexFilePath(p);
        if (!index.startsWith(mountPoint))
            QSKIP("the documents folder does not follow HOME here");
        QVERIFY(QDir().mkpath(QFileInfo(index).path()));

        LogBuilder small;
        small.add(1800011000);
        QVERIFY(small.save(p));
        CLog log;
        log.readLog(p);
        const QByteArray before = fileBytes(index);
        QVERIFY(!before.isEmpty());
        // Fill what is left but a little.
        {
            QFile filler(mountPoint + "/filler");
            QVERIFY(filler.open(QIODevice::WriteOnly));
            const QByteArray kib(1024, 'f');
            while (filler.write(kib) == kib.size() && filler.flush()) {
            }
            filler.close();
            QFile::resize(filler.fileName(), filler.size() - 6000);
        }
        MlogGeneratorOptions o;
        o.records = 30000;
        o.seed = 17;
        o.recordsPerSecond = 2;
        QString error;
        QVERIFY2(generateLog(p, o, &error), qPrintable(error));
        log.readLog(p);
        QVERIFY(log.blockCount() > 1000);
        QCOMPARE(fileBytes(index), before);
    }
};

QTEST_GUILESS_MAIN(TestLogScan)
#include "tst_logscan.moc"
