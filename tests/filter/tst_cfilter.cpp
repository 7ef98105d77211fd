#include "cfilter.h"
#include "filtermatch.h"

#include <QCoreApplication>
#include <QSettings>
#include <QStandardPaths>
#include <QtTest>

namespace {

QList<QStringList> six(const QStringList &status = {}, const QStringList &kinds = {},
                       const QStringList &events = {}, const QStringList &groups = {},
                       const QStringList &users = {}, const QStringList &params = {})
{
    return {status, kinds, events, groups, users, params};
}

QString stored(const QString &key)
{
    QSettings settings;
    settings.beginGroup(QStringLiteral("filter"));
    return settings.value(key).toString();
}

void store(const QString &key, const QVariant &value)
{
    QSettings settings;
    settings.beginGroup(QStringLiteral("filter"));
    settings.setValue(key, value);
}

const QString kRefused = QStringLiteral("[f] <4212,4100,0,0,0> [f] unlink 2026-12-06 09:20:27 /etc/shadow");
const QString kAllowed = QStringLiteral("[f] <4212,4100,0,0,0> [s] unlink 2026-12-06 09:20:27 /etc/shadow");

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

    void init()
    {
        QSettings settings;
        settings.remove(QStringLiteral("filter"));
    }

    void newFilterHasSixEmptyLists()
    {
        const CFilter f(QStringLiteral("x"));
        QCOMPARE(f.lists().size(), 6);
        QVERIFY(f.matcher().matchesEverything());
        QCOMPARE(f.period, 0);
        QVERIFY(f.time.isNull());
    }

    void emptyFilterRoundTrip()
    {
        CFilter f(QStringLiteral("empty"));
        f.save(QStringLiteral("empty"));
        QCOMPARE(stored(QStringLiteral("empty")), QStringLiteral("0::::;;;;;;;;;;"));

        CFilter g(QStringLiteral("empty"));
        g.setLists({{QStringLiteral("junk")}});
        g.period = -5;
        g.load();
        QCOMPARE(g.lists(), six());
        QCOMPARE(g.period, 0);
        QVERIFY(g.time.isNull());
    }

    void refusalFilterRoundTrip()
    {
        CFilter f(QStringLiteral("r"));
        f.period = -86400;
        f.setLists(six({fragments().at(1)}, {}, {}, {}, {userToPattern(QStringLiteral("root"), FormDirection::ToPattern)}));
        f.save(QStringLiteral("r"));
        QCOMPARE(stored(QStringLiteral("r")), QStringLiteral("-86400::::>\\s\\[f\\];;;;;;;;<\\d+,\\d+,0,;;"));

        CFilter g(QStringLiteral("r"));
        g.load();
        QCOMPARE(g.period, -86400);
        QVERIFY(g.time.isNull());
        QCOMPARE(g.lists(), f.lists());
        QVERIFY(g.matcher().matches(kRefused));
        QVERIFY(!g.matcher().matches(kAllowed));
    }

    void customRangeRoundTrip()
    {
        CFilter f(QStringLiteral("range"));
        f.time = QDateTime(QDate(2026, 12, 6), QTime(9, 20, 27));
        f.period = -3600;
        f.save(QStringLiteral("range"));
        QCOMPARE(stored(QStringLiteral("range")), QStringLiteral("-3600::2026-12-06 09:20:27::;;;;;;;;;;"));

        CFilter g(QStringLiteral("range"));
        g.load();
        QCOMPARE(g.time, f.time);
        QCOMPARE(g.period, -3600);
    }

    // A value written by an older version: the user entry without the
    // closing comma keeps its meaning, including its prefix matches.
    void oldStoredFormLoadsAndMatchesAsBefore()
    {
        store(QStringLiteral("old"), QStringLiteral("-86400::::>\\s\\[f\\];;;;;;;;<\\d+,\\d+,1;;"));
        CFilter f(QStringLiteral("old"));
        f.load();
        QCOMPARE(f.period, -86400);
        QCOMPARE(f.lists().at(4), QStringList{QStringLiteral("<\\d+,\\d+,1")});
        QCOMPARE(toDisplayForm(f).at(4), QStringList{QStringLiteral("daemon")});
        const QString uid1 = QStringLiteral("[p] <9,1,1,1,0> [f] kill 2026-12-06 09:20:27 pid=4");
        const QString uid1000 = QStringLiteral("[p] <9,1,1000,1000,0> [f] kill 2026-12-06 09:20:27 pid=4");
        QVERIFY(f.matcher().matches(uid1));
        QVERIFY(f.matcher().matches(uid1000));

        // Saving it again writes exactly what was read.
        f.save(QStringLiteral("old"));
        QCOMPARE(stored(QStringLiteral("old")), QStringLiteral("-86400::::>\\s\\[f\\];;;;;;;;<\\d+,\\d+,1;;"));
    }

    void separatorsInsideEntries()
    {
        CFilter f(QStringLiteral("sep"));
        f.setLists(six({}, {}, {}, {}, {}, {QStringLiteral("a##b"), QStringLiteral("c")}));
        f.save(QStringLiteral("sep"));
        f.load();
        QCOMPARE(f.lists().at(5), (QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}));

        f.setLists(six({}, {}, {}, {}, {QStringLiteral("x;;y")}, {QStringLiteral("z")}));
        f.save(QStringLiteral("sep"));
        f.load();
        QCOMPARE(f.lists().size(), 7);
        QCOMPARE(f.lists().at(4), QStringList{QStringLiteral("x")});
        QCOMPARE(f.lists().at(5), QStringList{QStringLiteral("y")});
        QCOMPARE(f.lists().at(6), QStringList{QStringLiteral("z")});

        f.setLists(six({}, {}, {}, {QStringLiteral("g")}, {QStringLiteral("u::v")}, {QStringLiteral("w")}));
        f.save(QStringLiteral("sep"));
        f.load();
        QCOMPARE(f.lists().size(), 5);
        QCOMPARE(f.lists().at(3), QStringList{QStringLiteral("g")});
        QCOMPARE(f.lists().at(4), QStringList{QStringLiteral("u")});
    }

    void saveUnderOtherKeyKeepsName()
    {
        CFilter f(QStringLiteral("current"));
        f.period = -300;
        f.save(QStringLiteral("copy"));
        QCOMPARE(f.name, QStringLiteral("current"));
        QVERIFY(stored(QStringLiteral("current")).isEmpty());
        CFilter g(QStringLiteral("copy"));
        g.load();
        QCOMPARE(g.period, -300);
    }

    void removeThenMatchEverything()
    {
        CFilter f(QStringLiteral("gone"));
        f.period = -60;
        f.setLists(six({fragments().at(1)}));
        f.save(QStringLiteral("gone"));
        QVERIFY(!f.matcher().matches(kAllowed));
        f.remove();
        QVERIFY(stored(QStringLiteral("gone")).isEmpty());
        QVERIFY(f.lists().isEmpty());
        QCOMPARE(f.period, 0);
        QVERIFY(f.matcher().matchesEverything());
        QVERIFY(f.matcher().matches(kAllowed));
        QVERIFY(f.listsText().isEmpty());
        // A reset record is stored with an empty lists part and still
        // matches everything once read back.
        f.save(QStringLiteral("gone"));
        QCOMPARE(stored(QStringLiteral("gone")), QStringLiteral("0::::"));
        CFilter g(QStringLiteral("gone"));
        g.load();
        QVERIFY(g.matcher().matches(kAllowed));
    }

    void malformedValuesLeaveRecordAlone_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::newRow("missing") << QVariant();
        QTest::newRow("two parts") << QVariant(QStringLiteral("0::"));
        QTest::newRow("integer") << QVariant(42);
        QTest::newRow("list") << QVariant(QStringList{QStringLiteral("a"), QStringLiteral("b")});
        QTest::newRow("map") << QVariant(QVariantMap{{QStringLiteral("k"), 1}});
    }

    void malformedValuesLeaveRecordAlone()
    {
        QFETCH(QVariant, value);
        if (value.isValid())
            store(QStringLiteral("bad"), value);
        CFilter f(QStringLiteral("bad"));
        f.period = -300;
        f.setLists(six({fragments().at(0)}));
        f.load();
        QCOMPARE(f.period, -300);
        QCOMPARE(f.lists(), six({fragments().at(0)}));
    }

    void unreadableNumberAndTime()
    {
        store(QStringLiteral("odd"), QStringLiteral("soon::yesterday::>\\s\\[f\\]::extra"));
        CFilter f(QStringLiteral("odd"));
        f.period = -300;
        f.time = QDateTime::currentDateTime();
        f.load();
        QCOMPARE(f.period, 0);
        QVERIFY(f.time.isNull());
        QCOMPARE(f.lists(), QList<QStringList>{QStringList{fragments().at(1)}});
    }

    // The compiled form follows every change of the lists.
    void matcherFollowsTheLists()
    {
        CFilter f(QStringLiteral("m"));
        QVERIFY(f.matcher().matches(kAllowed));
        f.setLists(six({fragments().at(1)}));
        QVERIFY(!f.matcher().matches(kAllowed));
        QVERIFY(f.matcher().matches(kRefused));

        const CFilter copy = f;
        f.setLists(six({fragments().at(0)}));
        QVERIFY(f.matcher().matches(kAllowed));
        QVERIFY(!copy.matcher().matches(kAllowed));

        store(QStringLiteral("m"), QStringLiteral("0::::;;;;;;;;;;/etc/passwd"));
        f.load();
        QVERIFY(!f.matcher().matches(kAllowed));
        f.reset();
        QVERIFY(f.matcher().matches(kAllowed));
    }

    void filterListIsProcessWide()
    {
        QVERIFY(filterList().isEmpty());
        QCOMPARE(currentFilterIndex(), 0);
        filterList().append(CFilterPtr::create(QStringLiteral("default")));
        currentFilterIndex() = 0;
        QCOMPARE(filterList().size(), 1);
        const CFilterPtr held = filterList().first();
        filterList().clear();
        QCOMPARE(held->name, QStringLiteral("default"));
    }
};

QTEST_GUILESS_MAIN(TestCFilter)
#include "tst_cfilter.moc"
