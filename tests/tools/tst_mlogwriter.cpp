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

    // Ids no database knows, one after the other, and records evenly
    // apart; the rest of the log as without them.
    void spreadUsersAndTimes_data()
    {
        QTest::addColumn<qint64>("uids");
        QTest::addColumn<int>("apart");
        QTest::newRow("five ids") << qint64(5) << 0;
        QTest::newRow("one id") << qint64(1) << 0;
        QTest::newRow("an hour apart") << qint64(0) << 3600;
        QTest::newRow("both") << qint64(7) << 1;
    }

    void spreadUsersAndTimes()
    {
        QFETCH(qint64, uids);
        QFETCH(int, apart);
        const NaiveScan plain(generated(fixedOptions(40)));
        MlogGeneratorOptions o = fixedOptions(40);
        o.distinctUids = uids;
        o.secondsApart = quint32(apart);
        const NaiveScan spread(generated(o));
        QCOMPARE(spread.texts.size(), 40);
        const QRegularExpression subject(QStringLiteral("<(\\d+),(\\d+),(\\d+),"));
        for (int i = 0; i < 40; ++i) {
            const QRegularExpressionMatch m = subject.match(spread.texts.at(i));
            const QRegularExpressionMatch was = subject.match(plain.texts.at(i));
            QVERIFY(m.hasMatch() && was.hasMatch());
            const quint64 uid = m.captured(3).toULongLong();
            QCOMPARE(uid, uids > 0 ? MlogGeneratorOptions::unknownUidBase + quint64(i % uids) : was.captured(3).toULongLong());
            QCOMPARE(spread.texts.at(i).section(QLatin1Char('>'), 1).section(QLatin1Char(' '), 0, 2),
                     plain.texts.at(i).section(QLatin1Char('>'), 1).section(QLatin1Char(' '), 0, 2));
            QCOMPARE(spread.records.at(i).time,
                     apart > 0 ? quint32(1796500000 + i * apart) : plain.records.at(i).time);
        }
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
