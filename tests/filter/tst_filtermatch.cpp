#include "cfilter.h"
#include "cmatcher.h"
#include "filtermatch.h"
#include "records.h"

#include <QtTest>

#include <grp.h>

namespace {

QList<QStringList> six(const QStringList &status = {}, const QStringList &kinds = {},
                       const QStringList &events = {}, const QStringList &groups = {},
                       const QStringList &users = {}, const QStringList &params = {})
{
    return {status, kinds, events, groups, users, params};
}

QString user(const char *name)
{
    return userToPattern(QString::fromLatin1(name), FormDirection::ToPattern);
}

QString eventPattern(const char *name)
{
    return toPatternForm(six({}, {}, {QString::fromLatin1(name)})).at(2).at(0);
}

const QString kUnknownId = QStringLiteral("3999999999");

} // namespace

class TestFilterMatch : public QObject
{
    Q_OBJECT

private slots:
    void labels()
    {
        QCOMPARE(statusLabels().size(), 6);
        QCOMPARE(statusLabel(1), QStringLiteral("refuse [f]"));
        QCOMPARE(statusLabel(-1), QString());
        QCOMPARE(statusLabel(6), QString());
        QCOMPARE(sourceLabels(), statusLabels().mid(2));
        QCOMPARE(fragments().size(), 10);
    }

    void conversionsBothWays()
    {
        const QList<QStringList> display = six(
            {statusLabel(1)}, {statusLabel(2), statusLabel(4)}, {QStringLiteral("unlink")},
            {QStringLiteral("root")}, {QStringLiteral("root"), QStringLiteral("no-such-user-x")},
            {QStringLiteral("/etc/shadow"), QStringLiteral("pid=\\d+")});
        const QList<QStringList> pattern = toPatternForm(display);
        QCOMPARE(pattern, six({QStringLiteral(">\\s\\[f\\]")},
                              {QStringLiteral("^\\[u\\]"), QStringLiteral("^\\[f\\]")},
                              {QStringLiteral("\\[\\b(s|f)\\b\\]\\s(?:unlink)(?!\\S)")},
                              {QStringLiteral("<\\d+,\\d+,\\d+,0,")},
                              {QStringLiteral("<\\d+,\\d+,0,"), QStringLiteral("no-such-user-x")},
                              display.at(5)));
        QCOMPARE(toPatternForm(pattern), pattern);
        QCOMPARE(toDisplayForm(pattern), display);

        CFilter f(QStringLiteral("f"));
        f.setLists(pattern);
        QCOMPARE(toDisplayForm(f), display);
        QCOMPARE(toPatternForm(f), pattern);

        QVERIFY(toPatternForm(QList<QStringList>{{}, {}, {}, {}, {}}).isEmpty());
        QVERIFY(toDisplayForm(QList<QStringList>{}).isEmpty());
    }

    void userEntries()
    {
        QCOMPARE(user("root"), QStringLiteral("<\\d+,\\d+,0,"));
        QCOMPARE(user("daemon"), QStringLiteral("<\\d+,\\d+,1,"));
        QCOMPARE(user("nobody"), QStringLiteral("<\\d+,\\d+,65534,"));
        // Prefixes of known names are no names; typed numbers stay as typed.
        QCOMPARE(user("roo"), QStringLiteral("roo"));
        QCOMPARE(user("daemonx"), QStringLiteral("daemonx"));
        QCOMPARE(user("0"), QStringLiteral("0"));

        auto display = [](const QString &entry) { return userToPattern(entry, FormDirection::ToDisplay); };
        QCOMPARE(display(QStringLiteral("<\\d+,\\d+,0,")), QStringLiteral("root"));
        QCOMPARE(display(QStringLiteral("<\\d+,\\d+,1")), QStringLiteral("daemon"));
        QCOMPARE(display(QStringLiteral("<\\d+,\\d+,65534")), QStringLiteral("nobody"));
        QCOMPARE(display(QStringLiteral("<\\d+,\\d+,") + kUnknownId + QLatin1Char(',')), kUnknownId);
        QCOMPARE(display(QStringLiteral("<\\d+,\\d+,") + kUnknownId), kUnknownId);
        QCOMPARE(display(QStringLiteral("0")), QStringLiteral("root"));
        // A free pattern ending in a comma is no id.
        QCOMPARE(display(QStringLiteral("alice,")), QStringLiteral("alice,"));
        // Already converted entries, old and new, are left alone.
        QCOMPARE(userToPattern(QStringLiteral("<\\d+,\\d+,1"), FormDirection::ToPattern), QStringLiteral("<\\d+,\\d+,1"));
        QCOMPARE(userToPattern(QStringLiteral("<\\d+,\\d+,1,"), FormDirection::ToPattern), QStringLiteral("<\\d+,\\d+,1,"));
    }

    void groupEntries()
    {
        QCOMPARE(groupToPattern(QStringLiteral("root"), FormDirection::ToPattern), QStringLiteral("<\\d+,\\d+,\\d+,0,"));
        QCOMPARE(groupToPattern(QStringLiteral("<\\d+,\\d+,\\d+,0,"), FormDirection::ToDisplay), QStringLiteral("root"));
        QCOMPARE(groupToPattern(QStringLiteral("<\\d+,\\d+,\\d+,0"), FormDirection::ToDisplay), QStringLiteral("root"));
        QCOMPARE(groupToPattern(QStringLiteral("no-such-group-x"), FormDirection::ToPattern), QStringLiteral("no-such-group-x"));
        QCOMPARE(groupToPattern(QStringLiteral("<\\d+,\\d+,\\d+,") + kUnknownId + QLatin1Char(','), FormDirection::ToDisplay), kUnknownId);
        QCOMPARE(groupToPattern(QStringLiteral("<\\d+,\\d+,\\d+,0,"), FormDirection::ToPattern), QStringLiteral("<\\d+,\\d+,\\d+,0,"));
    }

    // Filtering for daemon (uid 1) must not show uids 10, 100 and 1000.
    void userIdsMatchExactly()
    {
        const CMatcher daemon(six({}, {}, {}, {}, {user("daemon")}));
        QVERIFY(daemon.matches(record("p", 1, 1, false, "execve")));
        for (uint uid : {10u, 100u, 1000u, 11u, 0u})
            QVERIFY2(!daemon.matches(record("p", uid, 1, false, "execve")), qPrintable(QString::number(uid)));
        // The group id, which follows, does not count as the user id.
        QVERIFY(!daemon.matches(record("p", 1000, 1, false, "execve")));

        const CMatcher oldDaemon(six({}, {}, {}, {}, {QStringLiteral("<\\d+,\\d+,1")}));
        for (uint uid : {1u, 10u, 100u, 1000u})
            QVERIFY(oldDaemon.matches(record("p", uid, 5, false, "execve")));
    }

    void groupIdsMatchExactly()
    {
        const CMatcher rootGroup(six({}, {}, {}, {groupToPattern(QStringLiteral("root"), FormDirection::ToPattern)}));
        QVERIFY(rootGroup.matches(record("f", 1000, 0, false, "open")));
        QVERIFY(!rootGroup.matches(record("f", 0, 1000, false, "open")));
        QVERIFY(!rootGroup.matches(record("f", 0, 5, false, "open")));
    }

    void eventsMatchWholeNames()
    {
        const CMatcher open(six({}, {}, {eventPattern("open")}));
        QVERIFY(open.matches(record("f", 0, 0, false, "open")));
        QVERIFY(open.matches(record("f", 0, 0, true, "open")));
        QVERIFY(!open.matches(record("f", 0, 0, false, "openat")));
        QVERIFY(open.matches(QStringLiteral("[f] <1,1,0,0,0> [s] open")));
        QVERIFY(open.matches(QStringLiteral("[f] <1,1,0,0,0> [s] open\t2026-12-06 09:20:27")));

        // The name keeps its regular-expression meaning.
        const CMatcher any(six({}, {}, {eventPattern("open.*")}));
        QVERIFY(any.matches(record("f", 0, 0, false, "openat")));
        const CMatcher alt(six({}, {}, {eventPattern("set(u|g)id")}));
        QVERIFY(alt.matches(record("p", 0, 0, false, "setgid")));
        QVERIFY(!alt.matches(record("p", 0, 0, false, "setgidx")));
        const CMatcher bar(six({}, {}, {eventPattern("kill|open")}));
        QVERIFY(bar.matches(record("p", 0, 0, false, "kill")));
        QVERIFY(!bar.matches(record("p", 0, 0, false, "killall")));
        QVERIFY(!bar.matches(record("p", 0, 0, false, "exec", QStringLiteral("kill -9 4"))));

        // Stored entries from older versions still match prefixes.
        const CMatcher old(six({}, {}, {QStringLiteral("\\[\\b(s|f)\\b\\]\\sopen")}));
        QVERIFY(old.matches(record("f", 0, 0, false, "openat")));
        QCOMPARE(toDisplayForm(six({}, {}, {QStringLiteral("\\[\\b(s|f)\\b\\]\\sopen")})).at(2),
                 QStringList{QStringLiteral("open")});

        // Converting twice adds the prefix once; names round-trip as typed.
        const QString once = eventPattern("a)|(b");
        QCOMPARE(toPatternForm(six({}, {}, {once})).at(2).at(0), once);
        QCOMPARE(toDisplayForm(six({}, {}, {once})).at(2).at(0), QStringLiteral("a)|(b"));
    }

    void listsCombine()
    {
        const QString refusedRoot = record("f", 0, 0, true, "unlink");
        const QString allowedRoot = record("f", 0, 0, false, "unlink");
        const QString refusedDaemon = record("p", 1, 1, true, "kill");

        QVERIFY(matches(QList<QStringList>{}, refusedRoot));
        QVERIFY(matches(six(), refusedRoot));

        const QList<QStringList> both = six({fragments().at(0), fragments().at(1)});
        QCOMPARE(countMatches(both, {refusedRoot, allowedRoot, refusedDaemon}), 3);

        const QList<QStringList> refusedUsers = six({fragments().at(1)}, {}, {}, {}, {user("root"), user("daemon")});
        QCOMPARE(countMatches(refusedUsers, {refusedRoot, allowedRoot, refusedDaemon}), 2);

        const QList<QStringList> fileOrUser = six({}, {fragments().at(4), fragments().at(2)}, {eventPattern("kill")});
        QCOMPARE(countMatches(fileOrUser, {refusedRoot, allowedRoot, refusedDaemon}), 0);
        QCOMPARE(countMatches(six({}, {fragments().at(3)}, {eventPattern("kill")}), {refusedDaemon}), 1);
    }

    void invalidPatternRejectsItsList()
    {
        const QString text = record("f", 0, 0, true, "unlink");
        QVERIFY(!matches(six({}, {}, {}, {}, {}, {QStringLiteral("(unlink")}), text));
        QVERIFY(!matches(six({}, {}, {}, {}, {}, {QStringLiteral("a**")}), text));
        QVERIFY(matches(six({}, {}, {}, {}, {}, {QStringLiteral("(unlink"), QStringLiteral("alice")}), text));
        QVERIFY(!matches(six({fragments().at(1)}, {}, {}, {}, {}, {QStringLiteral("[x")}), text));
    }

    void resultRows()
    {
        const QString root = record("f", 0, 0, true, "unlink");
        const QString unknown = record("f", 3999999999u, 0, true, "unlink");
        const QString noSubject = QStringLiteral("[c] broken text unlink");
        const QStringList rows = filterRows(six({}, {}, {}, {}, {}, {QStringLiteral("unlink")}),
                                            {root, record("f", 0, 0, true, "open", {}), unknown, noSubject});
        QCOMPARE(rows, (QStringList{QStringLiteral("root\t") + root, QLatin1Char('\t') + unknown,
                                    QLatin1Char('\t') + noSubject}));
        QCOMPARE(filterRows(CMatcher(), {noSubject}), QStringList{QLatin1Char('\t') + noSubject});
    }

    void userNames()
    {
        QCOMPARE(userNameOf(record("u", 0, 0, false, "login")), QStringLiteral("root"));
        QCOMPARE(userNameOf(record("u", 65534, 0, false, "login")), QStringLiteral("nobody"));
        QCOMPARE(userNameOf(record("u", 65534, 0, false, "login")), QStringLiteral("nobody"));
        QCOMPARE(userNameOf(record("u", 3999999999u, 0, false, "login")), QString());
        QCOMPARE(userNameOf(record("u", 0, 0, false, "login", QStringLiteral("<1,2,3>"))), QStringLiteral("root"));
        // The id is taken from the first place that looks like "uid,gid,session>".
        QCOMPARE(userNameOf(QStringLiteral("x 12,1,65534,1,0> y")), QStringLiteral("nobody"));
        QCOMPARE(userNameOf(QStringLiteral("[u] <4212,4100,99999999999,0,0> [s] login")), QString());
        QCOMPARE(userNameOf(QString()), QString());
    }
};

QTEST_GUILESS_MAIN(TestFilterMatch)
#include "tst_filtermatch.moc"
