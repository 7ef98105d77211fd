// The filter record in the settings: the stored form, what cannot be stored,
// values of other types and older versions, and the compiled lists.
#include "cfilter.h"
#include "filtermatch.h"
#include "records.h"

#include <QSettings>
#include <QStandardPaths>
#include <QtTest>

namespace {

QVariant stored(const QString &key)
{
    return QSettings().value(QStringLiteral("filter/") + key);
}

void store(const QString &key, const QVariant &value)
{
    QSettings().setValue(QStringLiteral("filter/") + key, value);
}

} // namespace

class TestCFilter : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QCoreApplication::setOrganizationName(QStringLiteral("vrel"));
        QCoreApplication::setApplicationName(QStringLiteral("vrelview-test"));
    }

    void init() { QSettings().remove(QStringLiteral("filter")); }

    void save_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<int>("period");
        QTest::addColumn<QDateTime>("time");
        QTest::addColumn<QList<QStringList>>("lists");
        QTest::addColumn<bool>("refused");
        QTest::addColumn<QString>("stored"); // the value stored, or why nothing is
        QTest::addColumn<QDateTime>("start");
        const auto row = [](const char *name, const QString &key, const QList<QStringList> &lists, bool refused,
                            const QString &stored, int period = 0, const QDateTime &time = {},
                            const QDateTime &start = {}) {
            QTest::newRow(name) << key << period << time << lists << refused << stored << start;
        };
        const QDateTime second(QDate(2026, 12, 6), QTime(9, 20, 27));
        row("empty", "f", six(), false, "0::::;;;;;;;;;;");
        row("refused root, custom range", "f", six({fragments().at(1)}, {}, {}, {}, {R"(<\d+,\d+,0,)"}), false,
            R"(-3600::2026-12-06 09:20:27::>\s\[f\];;;;;;;;<\d+,\d+,0,;;)", -3600, QDateTime(QDate(2026, 12, 6), QTime(9, 20, 27)));
        // A range of one second names its start after the three parts; a
        // start of another second is none the time line makes, and is left out.
        row("one second", "f", six(), false, "-1::2026-12-06 09:20:27::;;;;;;;;;;::start=2026-12-06 09:20:27", -1,
            second, second);
        row("start before the end", "f", six(), false, "-1::2026-12-06 09:20:27::;;;;;;;;;;", -1, second,
            second.addSecs(-1));
        row("separator characters at the edges", "a:b;c#d", six({}, {}, {}, {}, {";x"}, {":a", "#b"}), false, "0::::;;;;;;;;;x;;:a###b");
        // What would read back as something else is refused.
        row("slash, backslash", R"(a/b\c)", six(), true, "\"/\", \"\\\"");
        row("entry separators", "f", six({}, {}, {}, {}, {"u::v"}, {"a##b", "x;;y"}), true, "\"::\", \"##\", \";;\"");
        row("hash before the next entry, empty entry", "f", six({}, {}, {}, {}, {}, {"a#", ""}), true, "\"#\", \"\"");
    }

    void save()
    {
        QFETCH(QString, key);
        QFETCH(int, period);
        QFETCH(QDateTime, time);
        QFETCH(QList<QStringList>, lists);
        QFETCH(bool, refused);
        QFETCH(QString, stored);
        QFETCH(QDateTime, start);
        CFilter f(QStringLiteral("current"));
        f.period = period;
        f.time = time;
        f.start = start;
        f.setLists(lists);
        QCOMPARE(f.unstorableReason(key), refused ? stored : QString());
        QCOMPARE(f.save(key), !refused);
        QCOMPARE(f.name, QStringLiteral("current"));
        QCOMPARE(::stored(key).toString(), refused ? QString() : stored);
        QCOMPARE(QSettings().allKeys().size(), refused ? 0 : 1);
        CFilter g(key);
        g.setLists({{QStringLiteral("junk")}});
        g.load();
        QCOMPARE(g.lists(), refused ? QList<QStringList>{{QStringLiteral("junk")}} : lists);
        QCOMPARE(g.period, refused ? 0 : period);
        QCOMPARE(g.time, time);
        QCOMPARE(g.start, start == time ? start : QDateTime());
    }

    void load_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<int>("period");
        QTest::addColumn<QList<QStringList>>("lists");
        QTest::addColumn<bool>("unreadable");
        const QList<QStringList> before = six({fragments().at(0)});
        QTest::newRow("missing") << QVariant() << -300 << before << true;
        QTest::newRow("two parts") << QVariant(QStringLiteral("0::")) << -300 << before << true;
        QTest::newRow("a list of values") << QVariant(QStringList{"0", "x"}) << -300 << before << true;
        QTest::newRow("unreadable number and time") << QVariant(R"(soon::yesterday::>\s\[f\]::extra)") << 0
                                                    << QList<QStringList>{{fragments().at(1)}} << true;
        // Values stored before saving refused separators load as they always did.
        QTest::newRow("split entries and lists") << QVariant("0::::;;;;;;;;x;;y;;a##b") << 0
                                                 << QList<QStringList>{{}, {}, {}, {}, {"x"}, {"y"}, {"a", "b"}} << false;
        QTest::newRow("reset record") << QVariant(QStringLiteral("0::::")) << 0 << QList<QStringList>{{}} << true;
        QTest::newRow("six empty lists") << QVariant(QStringLiteral("0::::;;;;;;;;;;")) << 0 << six() << false;
    }

    // A missing or malformed value leaves the record as it was.
    void load()
    {
        QFETCH(QVariant, value);
        QFETCH(int, period);
        QFETCH(QList<QStringList>, lists);
        if (value.isValid())
            store(QStringLiteral("f"), value);
        CFilter f(QStringLiteral("f"));
        f.period = -300;
        f.time = QDateTime::currentDateTime();
        f.setLists(six({fragments().at(0)}));
        f.load();
        QCOMPARE(f.period, period);
        QCOMPARE(f.lists(), lists);
        QCOMPARE(f.time.isNull(), period != -300);
        QFETCH(bool, unreadable);
        QCOMPARE(f.unreadable, unreadable);
    }

    // A value written by an older version: user and event entries keep their
    // meaning, prefix matches included, and are written back unchanged.
    void olderStoredFormsMatchAsBefore()
    {
        const QString value = QStringLiteral("-86400::::>\\s\\[f\\];;;;\\[\\b(s|f)\\b\\]\\skill;;;;<\\d+,\\d+,1;;");
        store(QStringLiteral("old"), value);
        CFilter f(QStringLiteral("old"));
        f.load();
        QCOMPARE(toDisplayForm(f).at(4), QStringList{QStringLiteral("daemon")});
        QVERIFY(f.matcher().matches(QStringLiteral("[p] <9,1,1,1,0> [f] kill 2026-12-06 09:20:27 pid=4")));
        QVERIFY(f.matcher().matches(QStringLiteral("[p] <9,1,1000,1000,0> [f] killall 2026-12-06 09:20:27")));
        QVERIFY(f.save(QStringLiteral("old")));
        QCOMPARE(stored(QStringLiteral("old")).toString(), value);
    }

    // The compiled form follows every change of the lists, and copies keep
    // the lists they were made with.
    void matcherFollowsTheLists()
    {
        const QString allowed = record("f", 0, 0, false, "unlink", QStringLiteral("/etc/shadow"));
        CFilter f(QStringLiteral("m"));
        QVERIFY(f.matcher().matches(allowed));
        f.setLists(six({fragments().at(1)}));
        QVERIFY(!f.matcher().matches(allowed));
        const CFilter copy = f;
        f.setLists(six({fragments().at(0)}));
        QVERIFY(f.matcher().matches(allowed));
        QVERIFY(!copy.matcher().matches(allowed));
        store(QStringLiteral("m"), QStringLiteral("0::::;;;;;;;;;;/etc/passwd"));
        f.load();
        QVERIFY(!f.matcher().matches(allowed));
        f.remove();
        QVERIFY(!stored(QStringLiteral("m")).isValid());
        QVERIFY(f.lists().isEmpty() && f.matcher().matchesEverything());
    }
};

QTEST_GUILESS_MAIN(TestCFilter)
#include "tst_cfilter.moc"
