// The log generator and the mloggen tool, as far as the tests rely on them.
#include "../log/logbuilder.h"

#include <QProcess>
#include <QtTest>

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
    QByteArray generated(const MlogGeneratorOptions &o, const QString &name = "gen.mlog")
    {
        return generateLog(file(name), o) ? fileBytes(file(name)) : QByteArray();
    }

private slots:
    void seedsGarbageAndCut()
    {
        const QByteArray d = generated(fixedOptions(4000));
        QCOMPARE(generated(fixedOptions(4000)), d);
        QVERIFY(generated(fixedOptions(4000, 6)) != d);
        const NaiveScan w(d);
        QVERIFY(w.compiled == 4000 && w.garbage == 0 && w.ascending && d.count(kMagic) == 4000);
        // A last record cut short keeps some of its bytes, never all of them.
        MlogGeneratorOptions o = fixedOptions(4000);
        o.truncateLast = true;
        const QByteArray c = generated(o);
        QVERIFY(d.startsWith(c) && c.size() > d.lastIndexOf(kMagic) && c.size() < d.size());
        // Garbage between records, without and with stray magic values.
        o.truncateLast = false;
        o.garbageRate = 0.3;
        const QByteArray g = generated(o);
        QVERIFY(NaiveScan(g).compiled == 4000 && NaiveScan(g).garbage > 4000 * 0.3 * 10 && g.count(kMagic) == 4000);
        o.garbageMagic = true;
        const QByteArray m = generated(o);
        QVERIFY(m.count(kMagic) > 4000 + 100 && NaiveScan(m).records.size() > NaiveScan(m).compiled);
    }

    void append()
    {
        const QByteArray first = generated(fixedOptions(1000), "live.mlog");
        MlogGeneratorOptions more;
        more.records = 500;
        more.append = true;
        more.start = QDateTime::fromSecsSinceEpoch(1000); // moved up to the last record
        const QByteArray grown = generated(more, "live.mlog");
        QVERIFY(grown.startsWith(first));
        const NaiveScan w(grown);
        QVERIFY(w.compiled == 1500 && w.ascending);
        // Appending to a missing file starts a new log.
        QCOMPARE(NaiveScan(generated(more, "fresh.mlog")).records.size(), 500);
        // A record cut anywhere, in the payload or in the header, is completed
        // before the new records; fewer than four bytes hold no magic and stay
        // behind as garbage.
        for (int cutAt : {3, 20, 45}) {
            const QString path = file(QStringLiteral("cut-%1.mlog").arg(cutAt));
            QVERIFY(generateLog(path, fixedOptions(50)));
            QVERIFY(QFile::resize(path, fileBytes(path).lastIndexOf(kMagic) + cutAt));
            more.records = 20;
            QVERIFY(generateLog(path, more));
            const NaiveScan cut(fileBytes(path));
            QVERIFY(cut.ascending && !cut.cutAtEnd && cut.records.size() == cut.compiled);
            QCOMPARE(cut.compiled, cutAt < 4 ? 69 : 70);
        }
    }

    void commandLine()
    {
        const auto run = [](const QStringList &args) {
            QProcess p;
            p.start(QCoreApplication::applicationDirPath() + QStringLiteral("/mloggen"), args);
            return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        };
        // Without a start, a log of so many records and one of so many bytes
        // both end on the current second.
        for (const QStringList &size : {QStringList{"-n", "5000"}, QStringList{"--size", "4M"}}) {
            const qint64 before = QDateTime::currentSecsSinceEpoch();
            QCOMPARE(run(size + QStringList{file("now.mlog")}), 0);
            const QByteArray d = fileBytes(file("now.mlog"));
            const NaiveScan w(d);
            QVERIFY(size.first() == "-n" ? w.records.size() == 5000 : d.size() >= 4 << 20 && d.size() < (4 << 20) + 1064);
            QVERIFY(w.records.first().time < w.records.last().time && w.records.last().time >= before);
            QVERIFY(w.records.last().time <= QDateTime::currentSecsSinceEpoch());
        }
        QCOMPARE(run({"--size", "64K", "--seed", "9", "--start", "2026-12-01 08:00:00", file("cli.mlog")}), 0);
        QCOMPARE(NaiveScan(fileBytes(file("cli.mlog"))).records.first().time,
                 quint32(QDateTime(QDate(2026, 12, 1), QTime(8, 0)).toSecsSinceEpoch()));
        QCOMPARE(run({"-n", "10", "--append", "--truncate", "--garbage", "0.5", "--garbage-magic", "--rate", "3",
                      "--start", "@1796500000", file("cli.mlog")}), 0);
        QVERIFY(NaiveScan(fileBytes(file("cli.mlog"))).cutAtEnd);
        QVERIFY(run({"--size", "12X", file("bad.mlog")}) != 0 && run({"--garbage", "2", file("bad.mlog")}) != 0);
        QVERIFY(!QFile::exists(file("bad.mlog")));
    }
};

QTEST_GUILESS_MAIN(TestMlogWriter)
#include "tst_mlogwriter.moc"
