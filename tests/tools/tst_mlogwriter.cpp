// The record encoder, the log generator and the mloggen tool.
#include "../log/logbuilder.h"

#include <QProcess>
#include <QSet>
#include <QtTest>

#include <unistd.h>

static MlogGeneratorOptions fixedOptions(qint64 records, quint64 seed = 5)
{
    MlogGeneratorOptions o;
    o.records = records;
    o.seed = seed;
    o.start = QDateTime::fromSecsSinceEpoch(1796500000);
    return o;
}

class TestMlogWriter : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;
    QString file(const QString &name) const { return dir.filePath(name); }
    // The bytes of a log generated as `o` says; empty when it fails.
    QByteArray generated(const MlogGeneratorOptions &o, const QString &name = "gen.mlog")
    {
        return generateLog(file(name), o) ? fileBytes(file(name)) : QByteArray();
    }

private slots:
    void encodeLayout()
    {
        // What the reader takes from a record (the library's tests read the
        // other fields back).
        MlogRecord r{0x01020304, {}, 2, 0, 0, 0, "/etc/shadow"};
        const QByteArray b = encodeRecord(r);
        QCOMPARE(b.left(8), kMagic + QByteArray("\x04\x03\x02\x01"));
        QCOMPARE(b.mid(38), QByteArray("\x0b\x00/etc/shadow", 13));
        r.payload = QByteArray(70000, 'x');
        QCOMPARE(encodeRecord(r).mid(38, 2), QByteArray("\xff\xff"));
        QCOMPARE(encodeRecord(r).size(), 40 + 65535);
    }

    void content()
    {
        const int count = 20000;
        MlogGeneratorOptions cut = fixedOptions(count);
        cut.truncateLast = true;
        const QByteArray d = generated(fixedOptions(count));
        QCOMPARE(generated(fixedOptions(count)), d);
        QVERIFY(generated(fixedOptions(count, 6)) != d);
        // A last record cut short keeps some of its bytes, never all of them.
        const QByteArray c = generated(cut);
        QVERIFY(d.startsWith(c) && c.size() > d.lastIndexOf(kMagic) && c.size() < d.size());

        const NaiveScan w(d);
        QVERIFY(w.records.size() == count && w.compiled == count && w.garbage == 0 && w.ascending);
        QCOMPARE(d.count(kMagic), count); // no magic inside any record
        QSet<quint32> uids;
        QSet<int> kinds;
        int refused = 0, run = 1, longestRun = 1;
        quint32 longestGap = 0;
        for (int i = 0; i < count; ++i) {
            const QByteArray &h = w.records.at(i).header;
            uids << le(h, MLOG_OFF_SUBJECT + 8, 4);
            kinds << int(le(h, MLOG_OFF_KIND, 2));
            refused += le(h, MLOG_OFF_STATUS, 4) != 0;
            const quint32 gap = i ? w.records.at(i).time - w.records.at(i - 1).time : 1;
            longestRun = qMax(longestRun, run = gap ? 1 : run + 1);
            longestGap = qMax(longestGap, gap);
        }
        QVERIFY(refused > count / 20 && refused < count * 3 / 10);
        QCOMPARE(kinds, (QSet<int>{0, 1, 2, 3}));
        // Ids every machine has, and one that no machine is expected to have.
        for (quint32 uid : {0u, 1u, 65534u, quint32(getuid()), 4711u})
            QVERIFY2(uids.contains(uid), qPrintable(QString::number(uid)));
        // Bursts of many records in one second, and pauses of minutes.
        QVERIFY(longestRun >= 50 && longestGap >= 600);

        // Garbage between records, without and with stray magic values.
        MlogGeneratorOptions o = fixedOptions(4000);
        o.garbageRate = 0.3;
        const QByteArray g = generated(o);
        QVERIFY(NaiveScan(g).compiled == 4000 && NaiveScan(g).garbage > 4000 * 0.3 * 10 && g.count(kMagic) == 4000);
        o.garbageMagic = true;
        const QByteArray m = generated(o);
        QVERIFY(m.count(kMagic) > 4000 + 100);
        QVERIFY(NaiveScan(m).records.size() > NaiveScan(m).compiled); // stray magic values read as broken records
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
            const NaiveScan w(d);
            QVERIFY(size ? d.size() >= size && d.size() < size + 40 + 1024 : w.records.size() == 5000);
            QVERIFY(w.records.first().time < w.records.last().time);
            QVERIFY2(w.records.last().time >= before && w.records.last().time <= after, qPrintable(QString::number(size)));
        }
    }

    void append()
    {
        const QByteArray first = generated(fixedOptions(1000), "live.mlog");
        MlogGeneratorOptions more;
        more.records = 500;
        more.seed = 5; // the seed of the log's beginning
        more.append = true;
        const QByteArray grown = generated(more, "live.mlog");
        QVERIFY(grown.startsWith(first));
        NaiveScan w(grown);
        QVERIFY(w.compiled == 1500 && w.ascending && w.records.at(1000).time > w.records.at(999).time);
        // The appended part is not a copy of the log's beginning at other times.
        const auto untimed = [](QByteArray b) {
            for (int at = b.indexOf(kMagic); at >= 0 && at + 8 <= b.size(); at = b.indexOf(kMagic, at + 1))
                b.replace(at + 4, 4, QByteArray(4, '\0'));
            return b;
        };
        QVERIFY(untimed(grown.mid(first.size(), 400)) != untimed(first.left(400)));

        // A start before the last record is moved up to it; a later one is kept.
        more.start = QDateTime::fromSecsSinceEpoch(1000);
        w = NaiveScan(generated(more, "live.mlog"));
        QVERIFY(w.ascending && w.records.at(1500).time == w.records.at(1499).time);
        more.start = QDateTime::fromSecsSinceEpoch(w.records.last().time + 86400);
        QCOMPARE(NaiveScan(generated(more, "live.mlog")).records.at(2000).time, quint32(more.start.toSecsSinceEpoch()));
        // Appending to a missing file starts a new log.
        QCOMPARE(NaiveScan(generated(more, "fresh.mlog")).records.size(), 500);
    }

    void appendAfterCut()
    {
        // A record cut anywhere, in the payload or in the header, is completed
        // before the new records, so a reader finds every one of them.
        for (int cutAt : {3, 6, 20, 39, 40, 45}) {
            const QString path = file(QStringLiteral("cut-%1.mlog").arg(cutAt));
            QVERIFY(generateLog(path, fixedOptions(50)));
            QVERIFY(QFile::resize(path, fileBytes(path).lastIndexOf(kMagic) + cutAt));
            MlogGeneratorOptions more;
            more.records = 20;
            more.append = true;
            QVERIFY(generateLog(path, more));
            const NaiveScan w(fileBytes(path));
            QVERIFY2(w.ascending && !w.cutAtEnd, qPrintable(QString::number(cutAt)));
            // Fewer than four bytes hold no magic: they stay behind as garbage.
            QCOMPARE(w.compiled, cutAt < 4 ? 69 : 70);
            QCOMPARE(w.records.size(), w.compiled);
        }
    }

    void unwritable()
    {
        // A log is written whole or not at all.
        QString error;
        QVERIFY(!generateLog(file("no/such/folder/x.mlog"), fixedOptions(10), &error));
        QVERIFY(!error.isEmpty() && !QFile::exists(file("no/such/folder/x.mlog")));
        MlogGeneratorOptions o = fixedOptions(10);
        o.append = true;
        QVERIFY(!generateLog(dir.path(), o, &error)); // a folder is no log
    }

    void commandLine()
    {
        const auto run = [](const QStringList &args) {
            QProcess p;
            p.start(QCoreApplication::applicationDirPath() + QStringLiteral("/mloggen"), args);
            return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        };
        QCOMPARE(run({"--size", "64K", "--seed", "9", "--start", "2026-12-01 08:00:00", file("cli.mlog")}), 0);
        const QByteArray d = fileBytes(file("cli.mlog"));
        QVERIFY(d.size() >= 64 * 1024 && d.size() < 64 * 1024 + 1064);
        QCOMPARE(NaiveScan(d).records.first().time, quint32(QDateTime(QDate(2026, 12, 1), QTime(8, 0)).toSecsSinceEpoch()));
        QCOMPARE(run({"-n", "10", "--append", "--truncate", "--garbage", "0.5", "--garbage-magic", "--rate", "3",
                      "--start", "@1796500000", file("cli.mlog")}), 0);
        QVERIFY(NaiveScan(fileBytes(file("cli.mlog"))).cutAtEnd);
        for (const QStringList &bad : QList<QStringList>{{"--size", "12X"}, {"--start", "yesterday"}, {"--garbage", "2"},
                                                         {"-n", "-1"}})
            QVERIFY2(run(bad + QStringList{file("bad.mlog")}) != 0, qPrintable(bad.join(' ')));
        QVERIFY(run({}) != 0);
        QVERIFY(!QFile::exists(file("bad.mlog")));
    }
};

QTEST_GUILESS_MAIN(TestMlogWriter)
#include "tst_mlogwriter.moc"
