// The record encoder, the log generator and the mloggen tool.
#include "mlog.h"
#include "mlogwriter.h"

#include <QFile>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdlib>
#include <unistd.h>

namespace {

const QByteArray magic("\x80\x19\x12\x10", 4);

quint32 le(const QByteArray &d, qint64 at, int width)
{
    quint32 v = 0;
    for (int i = width - 1; i >= 0; --i)
        v = (v << 8) | quint8(d[int(at + i)]);
    return v;
}

struct Walk
{
    int records = 0;       // whole records
    int compiled = 0;      // of them, accepted by the library
    qint64 garbage = 0;    // bytes between records
    bool cutAtEnd = false; // a last record start without all its bytes
    bool timesInOrder = true;
    QList<quint32> times;
    QSet<quint32> uids;
    QSet<int> kinds;
    int refused = 0;
};

// Reads a log as a reader would: from one record to the next, skipping
// bytes up to the next magic where no record starts.
Walk walk(const QByteArray &d)
{
    Walk w;
    for (qint64 at = 0; at < d.size();) {
        const qint64 next = d.indexOf(magic, int(at));
        w.garbage += (next < 0 ? d.size() : next) - at;
        if (next < 0)
            break;
        at = next;
        const qint64 length = at + 40 <= d.size() ? 40 + le(d, at + 38, 2) : d.size() - at + 1;
        if (at + length > d.size()) {
            w.cutAtEnd = true;
            break;
        }
        void *compiled = nullptr;
        w.compiled += mlog_compile(&compiled, d.constData() + at, length) != -1;
        std::free(compiled);
        const quint32 t = le(d, at + 4, 4);
        w.timesInOrder = w.timesInOrder && (w.times.isEmpty() || t >= w.times.last());
        w.times << t;
        w.uids << le(d, at + MLOG_OFF_SUBJECT + 8, 4);
        w.kinds << int(le(d, at + MLOG_OFF_KIND, 2));
        w.refused += le(d, at + MLOG_OFF_STATUS, 4) != 0;
        ++w.records;
        at += length;
    }
    mlog_done();
    return w;
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

MlogGeneratorOptions fixedOptions(qint64 records, quint64 seed = 5)
{
    MlogGeneratorOptions o;
    o.records = records;
    o.seed = seed;
    o.start = QDateTime::fromSecsSinceEpoch(1796500000);
    return o;
}

} // namespace

class TestMlogWriter : public QObject
{
    Q_OBJECT
    QString file(const QString &name) const { return dir.filePath(name); }
    // The bytes of a log generated as `o` says; empty when it fails.
    QByteArray generated(const MlogGeneratorOptions &o)
    {
        return generateLog(file("gen.mlog"), o) ? readAll(file("gen.mlog")) : QByteArray();
    }
    QTemporaryDir dir;

private slots:
    void encodeLayout()
    {
        // What the reader takes from a record, at the offsets the log format
        // gives (the library's tests read the other fields back).
        MlogRecord r{0x01020304, {}, 2, 0, 0, 0, "/etc/shadow"};
        const QByteArray b = encodeRecord(r);
        QCOMPARE(b.left(8), magic + QByteArray("\x04\x03\x02\x01"));
        QCOMPARE(b.mid(38), QByteArray("\x0b\x00/etc/shadow", 13));
        r.payload = QByteArray(70000, 'x');
        QCOMPARE(encodeRecord(r).mid(38, 2), QByteArray("\xff\xff"));
        QCOMPARE(encodeRecord(r).size(), 40 + 65535);
    }

    void content()
    {
        const qint64 count = 20000;
        MlogGeneratorOptions cut = fixedOptions(count);
        cut.truncateLast = true;
        const QByteArray d = generated(fixedOptions(count));
        QCOMPARE(generated(fixedOptions(count)), d);
        QVERIFY(generated(fixedOptions(count, 6)) != d);
        // A last record cut short keeps some of its bytes, never all of them.
        const QByteArray c = generated(cut);
        QVERIFY(d.startsWith(c) && c.size() > d.lastIndexOf(magic) && c.size() < d.size());

        const Walk w = walk(d);
        QCOMPARE(w.records, int(count));
        QCOMPARE(w.compiled, int(count));
        QCOMPARE(w.garbage, qint64(0));
        QVERIFY(w.timesInOrder);
        QCOMPARE(d.count(magic), int(count)); // no magic inside any record
        QVERIFY(w.refused > count / 20 && w.refused < count * 3 / 10);
        QCOMPARE(w.kinds, (QSet<int>{0, 1, 2, 3}));
        // Ids every machine has, and one that no machine is expected to have.
        for (quint32 uid : {0u, 1u, 65534u, quint32(getuid()), 4711u})
            QVERIFY2(w.uids.contains(uid), qPrintable(QString::number(uid)));

        // Bursts of many records in one second, and pauses of minutes.
        int run = 1, longestRun = 1;
        quint32 longestGap = 0;
        for (int i = 1; i < w.times.size(); ++i) {
            longestRun = qMax(longestRun, run = w.times.at(i) == w.times.at(i - 1) ? run + 1 : 1);
            longestGap = qMax(longestGap, w.times.at(i) - w.times.at(i - 1));
        }
        QVERIFY(longestRun >= 50 && longestGap >= 600);

        // Garbage between records, without and with stray magic values.
        MlogGeneratorOptions o = fixedOptions(4000);
        o.garbageRate = 0.3;
        const QByteArray g = generated(o);
        QCOMPARE(walk(g).compiled, 4000);
        QVERIFY(walk(g).garbage > 4000 * 0.3 * 10);
        QCOMPARE(g.count(magic), 4000);

        o.garbageMagic = true;
        const QByteArray m = generated(o);
        QVERIFY(m.count(magic) > 4000 + 100);
        QVERIFY(walk(m).records > walk(m).compiled); // stray magic values read as broken records
    }

    void endsNow()
    {
        // Without a start, a log of so many records and one of so many bytes
        // both end on the current second.
        for (const qint64 size : {qint64(0), qint64(4 << 20)}) {
            MlogGeneratorOptions o;
            o.records = 5000;
            o.targetSize = size;
            const qint64 before = QDateTime::currentSecsSinceEpoch();
            const QByteArray d = generated(o);
            const qint64 after = QDateTime::currentSecsSinceEpoch();
            const Walk w = walk(d);
            QVERIFY(size ? d.size() >= size && d.size() < size + 40 + 1024 : w.records == 5000);
            QVERIFY(w.times.first() < w.times.last());
            QVERIFY2(w.times.last() >= before && w.times.last() <= after,
                     qPrintable(QStringLiteral("size %1: last record %2 s after now").arg(size).arg(qint64(w.times.last()) - after)));
        }
    }

    void append()
    {
        QVERIFY(generateLog(file("live.mlog"), fixedOptions(1000)));
        const QByteArray first = readAll(file("live.mlog"));
        MlogGeneratorOptions more;
        more.records = 500;
        more.seed = 5; // the seed of the log's beginning
        more.append = true;
        QVERIFY(generateLog(file("live.mlog"), more));
        const QByteArray grown = readAll(file("live.mlog"));
        QVERIFY(grown.startsWith(first));
        Walk w = walk(grown);
        QCOMPARE(w.compiled, 1500);
        QVERIFY(w.timesInOrder && w.times.at(1000) > w.times.at(999));
        // The appended part is not a copy of the log's beginning at other times.
        const auto untimed = [](QByteArray b) {
            for (int at = b.indexOf(magic); at >= 0 && at + 8 <= b.size(); at = b.indexOf(magic, at + 1))
                b.replace(at + 4, 4, QByteArray(4, '\0'));
            return b;
        };
        QVERIFY(untimed(grown.mid(first.size(), 400)) != untimed(first.left(400)));

        // A start before the last record is moved up to it; a later one is kept.
        more.start = QDateTime::fromSecsSinceEpoch(1000);
        QVERIFY(generateLog(file("live.mlog"), more));
        w = walk(readAll(file("live.mlog")));
        QVERIFY(w.timesInOrder && w.times.at(1500) == w.times.at(1499));
        more.start = QDateTime::fromSecsSinceEpoch(w.times.last() + 86400);
        QVERIFY(generateLog(file("live.mlog"), more));
        QCOMPARE(walk(readAll(file("live.mlog"))).times.at(2000), quint32(more.start.toSecsSinceEpoch()));

        // Appending to a missing file starts a new log.
        QVERIFY(generateLog(file("fresh.mlog"), more));
        QCOMPARE(walk(readAll(file("fresh.mlog"))).records, 500);
    }

    void appendAfterCut()
    {
        // A record cut anywhere, in the payload or in the header, is completed
        // before the new records, so a reader finds every one of them.
        for (int cutAt : {3, 6, 20, 39, 40, 45}) {
            const QString path = file(QStringLiteral("cut-%1.mlog").arg(cutAt));
            QVERIFY(generateLog(path, fixedOptions(50)));
            QVERIFY(QFile::resize(path, readAll(path).lastIndexOf(magic) + cutAt));
            MlogGeneratorOptions more;
            more.records = 20;
            more.append = true;
            QVERIFY(generateLog(path, more));
            const Walk w = walk(readAll(path));
            QVERIFY2(w.timesInOrder && !w.cutAtEnd, qPrintable(QString::number(cutAt)));
            // Fewer than four bytes hold no magic: they stay behind as garbage.
            QCOMPARE(w.compiled, cutAt < 4 ? 69 : 70);
            QCOMPARE(w.records, w.compiled);
        }
    }

    void unwritable()
    {
        // A log is written whole or not at all.
        QString error;
        QVERIFY(!generateLog(file("no/such/folder/x.mlog"), fixedOptions(10), &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(!QFile::exists(file("no/such/folder/x.mlog")));
        MlogGeneratorOptions o = fixedOptions(10);
        o.append = true;
        QVERIFY(!generateLog(dir.path(), o, &error)); // a folder is no log
    }

    void commandLine()
    {
        const QString tool = QCoreApplication::applicationDirPath() + QStringLiteral("/mloggen");
        const auto run = [&](const QStringList &args) {
            QProcess p;
            p.start(tool, args);
            return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        };
        QCOMPARE(run({"--size", "64K", "--seed", "9", "--start", "2026-12-01 08:00:00", file("cli.mlog")}), 0);
        const QByteArray d = readAll(file("cli.mlog"));
        QVERIFY(d.size() >= 64 * 1024 && d.size() < 64 * 1024 + 1064);
        QCOMPARE(walk(d).times.first(), quint32(QDateTime(QDate(2026, 12, 1), QTime(8, 0)).toSecsSinceEpoch()));
        QCOMPARE(run({"-n", "10", "--append", "--truncate", "--garbage", "0.5", "--garbage-magic", "--rate", "3",
                      "--start", "@1796500000", file("cli.mlog")}), 0);
        QVERIFY(walk(readAll(file("cli.mlog"))).cutAtEnd);

        for (const QStringList &bad : QList<QStringList>{{"--size", "12X"}, {"--start", "yesterday"}, {"--garbage", "2"},
                                                         {"-n", "-1"}})
            QVERIFY2(run(bad + QStringList{file("bad.mlog")}) != 0, qPrintable(bad.join(' ')));
        QVERIFY(run({}) != 0);
        QVERIFY(!QFile::exists(file("bad.mlog")));
    }
};

QTEST_GUILESS_MAIN(TestMlogWriter)
#include "tst_mlogwriter.moc"
