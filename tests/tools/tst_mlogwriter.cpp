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

quint16 le16(const QByteArray &d, qint64 at)
{
    return quint16(quint8(d[int(at)]) | (quint8(d[int(at + 1)]) << 8));
}

quint32 le32(const QByteArray &d, qint64 at)
{
    return quint32(le16(d, at)) | (quint32(le16(d, at + 2)) << 16);
}

struct Walk
{
    int records = 0;       // whole records
    int compiled = 0;      // of them, accepted by the library
    qint64 garbage = 0;    // bytes between records
    bool cutAtEnd = false; // a last record start without all its bytes
    bool timesInOrder = true;
    QList<quint32> times;
    QList<quint32> uids;
    QList<int> kinds;
    int refused = 0;
};

// Reads a log as a reader would: from one record to the next, skipping
// bytes up to the next magic where no record starts.
Walk walk(const QByteArray &d)
{
    Walk w;
    qint64 at = 0;
    while (at < d.size()) {
        const qint64 next = d.indexOf(magic, int(at));
        if (next < 0) {
            w.garbage += d.size() - at;
            break;
        }
        w.garbage += next - at;
        at = next;
        if (at + MLOG_HEADER_SIZE > d.size() || at + MLOG_HEADER_SIZE + le16(d, at + MLOG_OFF_PAYLOAD_LENGTH) > d.size()) {
            w.cutAtEnd = true;
            break;
        }
        const qint64 length = MLOG_HEADER_SIZE + le16(d, at + MLOG_OFF_PAYLOAD_LENGTH);
        void *compiled = nullptr;
        if (mlog_compile(&compiled, d.constData() + at, length) != -1)
            ++w.compiled;
        std::free(compiled);
        const quint32 t = le32(d, at + MLOG_OFF_TIME);
        if (!w.times.isEmpty() && t < w.times.last())
            w.timesInOrder = false;
        w.times << t;
        w.uids << le32(d, at + MLOG_OFF_SUBJECT + 8);
        w.kinds << le16(d, at + MLOG_OFF_KIND);
        w.refused += le32(d, at + MLOG_OFF_STATUS) != 0;
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

private slots:
    void initTestCase();
    void encodeLayout();
    void sameSeedSameBytes();
    void recordCountAndContent();
    void targetSize();
    void defaultStartEndsNow();
    void garbage();
    void truncateLast();
    void append();
    void appendAfterCut();
    void unwritable();
    void commandLine();

private:
    QString file(const QString &name) const { return dir.filePath(name); }
    QTemporaryDir dir;
};

void TestMlogWriter::initTestCase()
{
    QVERIFY(dir.isValid());
}

void TestMlogWriter::encodeLayout()
{
    MlogRecord r;
    r.time = 0x01020304;
    for (int i = 0; i < 5; ++i)
        r.subject[i] = 0x11223300u + quint32(i);
    r.kind = 2;
    r.event = 0x0102;
    r.status = 0xA0B0C0D0u;
    r.payload = "/etc/shadow";
    const QByteArray b = encodeRecord(r);
    QCOMPARE(b.size(), 40 + 11);
    QCOMPARE(b.left(4), magic);
    QCOMPARE(le32(b, MLOG_OFF_TIME), 0x01020304u);
    for (int i = 0; i < 5; ++i)
        QCOMPARE(le32(b, MLOG_OFF_SUBJECT + 4 * i), 0x11223300u + quint32(i));
    QCOMPARE(le16(b, MLOG_OFF_KIND), quint16(2));
    QCOMPARE(le16(b, MLOG_OFF_EVENT), quint16(0x0102));
    QCOMPARE(le32(b, MLOG_OFF_STATUS), 0xA0B0C0D0u);
    QCOMPARE(le16(b, MLOG_OFF_RESERVED), quint16(0));
    QCOMPARE(le16(b, MLOG_OFF_PAYLOAD_LENGTH), quint16(11));
    QCOMPARE(b.mid(40), QByteArray("/etc/shadow"));

    r.payload = QByteArray(70000, 'x');
    const QByteArray cut = encodeRecord(r);
    QCOMPARE(cut.size(), 40 + 65535);
    QCOMPARE(le16(cut, MLOG_OFF_PAYLOAD_LENGTH), quint16(65535));
}

void TestMlogWriter::sameSeedSameBytes()
{
    MlogGeneratorOptions o = fixedOptions(3000);
    o.garbageRate = 0.05;
    QVERIFY(generateLog(file("a.mlog"), o));
    QVERIFY(generateLog(file("b.mlog"), o));
    o.seed = 6;
    QVERIFY(generateLog(file("c.mlog"), o));
    const QByteArray a = readAll(file("a.mlog"));
    QVERIFY(!a.isEmpty());
    QCOMPARE(readAll(file("b.mlog")), a);
    QVERIFY(readAll(file("c.mlog")) != a);
}

void TestMlogWriter::recordCountAndContent()
{
    const qint64 count = 20000;
    QVERIFY(generateLog(file("content.mlog"), fixedOptions(count)));
    const QByteArray d = readAll(file("content.mlog"));
    const Walk w = walk(d);
    QCOMPARE(w.records, int(count));
    QCOMPARE(w.compiled, int(count));
    QCOMPARE(w.garbage, qint64(0));
    QVERIFY(!w.cutAtEnd);
    QVERIFY(w.timesInOrder);
    QCOMPARE(w.times.first(), 1796500000u);
    QCOMPARE(d.count(magic), int(count)); // no magic inside any record

    const double mean = double(d.size()) / double(count);
    QVERIFY2(mean > 75 && mean < 130, qPrintable(QString::number(mean)));
    QVERIFY(w.refused > count / 20 && w.refused < count * 3 / 10);
    QCOMPARE(QSet<int>(w.kinds.begin(), w.kinds.end()), (QSet<int>{0, 1, 2, 3}));
    const QSet<quint32> uids(w.uids.begin(), w.uids.end());
    for (quint32 uid : {0u, 1u, 65534u, quint32(getuid())})
        QVERIFY2(uids.contains(uid), qPrintable(QString::number(uid)));
    QVERIFY(uids.contains(4711)); // an id no machine is expected to have

    // Bursts of many records in one second, and pauses of minutes.
    int longestRun = 1, run = 1;
    quint32 longestGap = 0;
    for (int i = 1; i < w.times.size(); ++i) {
        run = w.times.at(i) == w.times.at(i - 1) ? run + 1 : 1;
        longestRun = qMax(longestRun, run);
        longestGap = qMax(longestGap, w.times.at(i) - w.times.at(i - 1));
    }
    QVERIFY(longestRun >= 50);
    QVERIFY(longestGap >= 600);
}

void TestMlogWriter::targetSize()
{
    MlogGeneratorOptions o = fixedOptions(1);
    o.targetSize = 256 * 1024;
    QVERIFY(generateLog(file("sized.mlog"), o));
    const QByteArray d = readAll(file("sized.mlog"));
    QVERIFY(d.size() >= o.targetSize);
    QVERIFY(d.size() < o.targetSize + 40 + 65535);
    QVERIFY(walk(d).records > 1000);
}

void TestMlogWriter::defaultStartEndsNow()
{
    MlogGeneratorOptions o;
    o.records = 5000;
    const qint64 before = QDateTime::currentSecsSinceEpoch();
    QVERIFY(generateLog(file("now.mlog"), o));
    const Walk w = walk(readAll(file("now.mlog")));
    QCOMPARE(w.records, 5000);
    QVERIFY(qint64(w.times.last()) >= before - 2);
    QVERIFY(qint64(w.times.last()) <= QDateTime::currentSecsSinceEpoch() + 2);
    QVERIFY(w.times.first() < w.times.last());
}

void TestMlogWriter::garbage()
{
    MlogGeneratorOptions o = fixedOptions(4000);
    o.garbageRate = 0.3;
    QVERIFY(generateLog(file("garbage.mlog"), o));
    const QByteArray d = readAll(file("garbage.mlog"));
    Walk w = walk(d);
    QCOMPARE(w.records, 4000);
    QCOMPARE(w.compiled, 4000);
    QVERIFY(w.garbage > 4000 * 0.3 * 10);
    QCOMPARE(d.count(magic), 4000);

    o.garbageMagic = true;
    QVERIFY(generateLog(file("garbage-magic.mlog"), o));
    const QByteArray m = readAll(file("garbage-magic.mlog"));
    QVERIFY(m.count(magic) > 4000 + 100);
    w = walk(m);
    QVERIFY(w.compiled <= 4000);
    QVERIFY(w.records > w.compiled); // stray magic values read as broken records
}

void TestMlogWriter::truncateLast()
{
    MlogGeneratorOptions o = fixedOptions(300);
    QVERIFY(generateLog(file("whole.mlog"), o));
    o.truncateLast = true;
    QVERIFY(generateLog(file("cut.mlog"), o));
    const QByteArray whole = readAll(file("whole.mlog"));
    const QByteArray cut = readAll(file("cut.mlog"));
    QVERIFY(cut.size() < whole.size());
    QVERIFY(whole.startsWith(cut));
    const Walk w = walk(cut);
    QCOMPARE(w.records, 299);
    // Some bytes of the last record stay, never all of them.
    QVERIFY(cut.size() > whole.lastIndexOf(magic));
}

void TestMlogWriter::append()
{
    MlogGeneratorOptions o = fixedOptions(1000);
    QVERIFY(generateLog(file("live.mlog"), o));
    const QByteArray first = readAll(file("live.mlog"));
    const quint32 lastTime = walk(first).times.last();

    MlogGeneratorOptions more;
    more.records = 500;
    more.append = true;
    QVERIFY(generateLog(file("live.mlog"), more));
    QByteArray grown = readAll(file("live.mlog"));
    QVERIFY(grown.startsWith(first));
    Walk w = walk(grown);
    QCOMPARE(w.records, 1500);
    QCOMPARE(w.compiled, 1500);
    QVERIFY(w.timesInOrder);
    QVERIFY(w.times.at(1000) > lastTime);
    // The appended part is not a copy of the log's beginning.
    QVERIFY(grown.mid(first.size(), 400) != first.left(400));

    // A start before the last record is moved up to it; a later one is kept.
    more.start = QDateTime::fromSecsSinceEpoch(1000);
    QVERIFY(generateLog(file("live.mlog"), more));
    w = walk(readAll(file("live.mlog")));
    QVERIFY(w.timesInOrder);
    QCOMPARE(w.times.at(1500), w.times.at(1499));
    more.start = QDateTime::fromSecsSinceEpoch(w.times.last() + 86400);
    QVERIFY(generateLog(file("live.mlog"), more));
    w = walk(readAll(file("live.mlog")));
    QCOMPARE(w.records, 2500);
    QCOMPARE(w.times.at(2000), quint32(more.start.toSecsSinceEpoch()));

    // Appending to a missing file starts a new log.
    QVERIFY(generateLog(file("fresh.mlog"), more));
    QCOMPARE(walk(readAll(file("fresh.mlog"))).records, 500);
}

void TestMlogWriter::appendAfterCut()
{
    // A record cut anywhere, in the payload or in the header, is completed
    // before the new records, so a reader finds every one of them.
    for (int cutAt : {1, 3, 6, 20, 39, 40, 45}) {
        MlogGeneratorOptions o = fixedOptions(50);
        const QString path = file(QStringLiteral("cut-%1.mlog").arg(cutAt));
        QVERIFY(generateLog(path, o));
        QByteArray d = readAll(path);
        const int last = d.lastIndexOf(magic);
        d.truncate(last + cutAt);
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(f.write(d), qint64(d.size()));
        f.close();

        MlogGeneratorOptions more;
        more.records = 20;
        more.append = true;
        QVERIFY(generateLog(path, more));
        const Walk w = walk(readAll(path));
        QVERIFY(!w.cutAtEnd);
        QVERIFY2(w.timesInOrder, qPrintable(QString::number(cutAt)));
        // Fewer than four bytes hold no magic: they stay behind as garbage.
        const int expected = cutAt < 4 ? 69 : 70;
        QCOMPARE(w.records, expected);
        QCOMPARE(w.compiled, expected);
    }
}

void TestMlogWriter::unwritable()
{
    QString error;
    QVERIFY(!generateLog(file("no/such/folder/x.mlog"), fixedOptions(10), &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(!QFile::exists(file("no/such/folder/x.mlog")));
    MlogGeneratorOptions o = fixedOptions(10);
    o.append = true;
    QVERIFY(!generateLog(dir.path(), o, &error)); // a folder is no log
}

void TestMlogWriter::commandLine()
{
    const QString tool = QCoreApplication::applicationDirPath() + QStringLiteral("/mloggen");
    QVERIFY(QFile::exists(tool));
    const auto run = [&](const QStringList &args) {
        QProcess p;
        p.start(tool, args);
        if (!p.waitForFinished(60000))
            return -1;
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    };
    QCOMPARE(run({"--size", "64K", "--seed", "9", "--start", "2026-12-01 08:00:00", file("cli.mlog")}), 0);
    const QByteArray d = readAll(file("cli.mlog"));
    QVERIFY(d.size() >= 64 * 1024 && d.size() < 64 * 1024 + 65575);
    QCOMPARE(walk(d).times.first(), quint32(QDateTime(QDate(2026, 12, 1), QTime(8, 0)).toSecsSinceEpoch()));
    QCOMPARE(run({"-n", "10", "--seed", "9", "--start", "2026-12-01 08:00:00", file("cli2.mlog")}), 0);
    QCOMPARE(run({"-n", "5", "--append", file("cli2.mlog")}), 0);
    QCOMPARE(walk(readAll(file("cli2.mlog"))).records, 15);
    QCOMPARE(run({"-n", "10", "--truncate", "--garbage", "0.5", "--garbage-magic", "--rate", "3", "--start", "@1796500000", file("cli3.mlog")}), 0);
    QVERIFY(walk(readAll(file("cli3.mlog"))).cutAtEnd);

    QVERIFY(run({"--size", "12X", file("bad.mlog")}) != 0);
    QVERIFY(run({"--start", "yesterday", file("bad.mlog")}) != 0);
    QVERIFY(run({"--garbage", "2", file("bad.mlog")}) != 0);
    QVERIFY(run({"--no-such-option", file("bad.mlog")}) != 0);
    QVERIFY(run({}) != 0);
    QVERIFY(!QFile::exists(file("bad.mlog")));
}

QTEST_GUILESS_MAIN(TestMlogWriter)
#include "tst_mlogwriter.moc"
