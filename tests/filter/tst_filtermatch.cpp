// Filter lists between display and pattern form, and what they match.
#include "cmatcher.h"
#include "filtermatch.h"
#include "records.h"

#include <QtTest>

namespace {

QString user(const char *name)
{
    return userToPattern(QString::fromLatin1(name), FormDirection::ToPattern);
}

QString eventPattern(const char *name)
{
    return toPatternForm(six({}, {}, {QString::fromLatin1(name)})).at(2).at(0);
}

} // namespace

class TestFilterMatch : public QObject
{
    Q_OBJECT

private slots:
    void conversionsBothWays()
    {
        QCOMPARE(statusLabel(-1) + statusLabel(6), QString());
        const QList<QStringList> display = six({statusLabel(1)}, {statusLabel(2), statusLabel(4)}, {"unlink"}, {"root"},
                                               {"root", "no-such-user-x"}, {"/etc/shadow", R"(pid=\d+)"});
        const QList<QStringList> pattern = toPatternForm(display);
        QCOMPARE(pattern, six({R"(>\s\[f\])"}, {R"(^\[u\])", R"(^\[f\])"}, {R"(\[\b(s|f)\b\]\s(?:unlink)(?!\w))"},
                              {R"(<\d+,\d+,\d+,0,)"}, {R"(<\d+,\d+,0,)", "no-such-user-x"}, display.at(5)));
        QCOMPARE(toPatternForm(pattern), pattern);
        QCOMPARE(toDisplayForm(pattern), display);
        // Event entries of older versions show their names too.
        const QStringList old = {R"(\[\b(s|f)\b\]\s(?:open)(?!\S))", R"(\[\b(s|f)\b\]\sopen)"};
        QCOMPARE(toDisplayForm(six({}, {}, old)).at(2), QStringList({"open", "open"}));
        QVERIFY(toPatternForm(QList<QStringList>{{}, {}, {}, {}, {}}).isEmpty());
        QVERIFY(toDisplayForm(QList<QStringList>{}).isEmpty());
    }

    void idEntries_data()
    {
        QTest::addColumn<bool>("group");
        QTest::addColumn<bool>("toPattern");
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("expected");
        const QString u = QStringLiteral("<\\d+,\\d+,");
        const QString g = QStringLiteral("<\\d+,\\d+,\\d+,");
        const auto row = [](const char *name, bool group, bool toPattern, const QString &entry, const QString &expected) {
            QTest::newRow(name) << group << toPattern << entry << expected;
        };
        // Prefixes of known names are no names.
        row("prefix of a name", false, true, QStringLiteral("roo"), QStringLiteral("roo"));
        row("old to name", false, false, u + QStringLiteral("1"), QStringLiteral("daemon"));
        row("unknown id", false, false, u + QStringLiteral("3999999999,"), QStringLiteral("3999999999"));
        row("bare known id", false, false, QStringLiteral("0"), QStringLiteral("root"));
        row("free pattern ending in a comma", false, false, QStringLiteral("alice,"), QStringLiteral("alice,"));
        row("unknown group", true, true, QStringLiteral("no-such-group-x"), QStringLiteral("no-such-group-x"));
        row("group old to name", true, false, g + QStringLiteral("0"), QStringLiteral("root"));
        // A number is the id of a user or group of another machine, shown
        // as the name where this machine knows the id.
        row("number to id", false, true, QStringLiteral("4711"), u + QStringLiteral("4711,"));
        row("known number to id", false, true, QStringLiteral("0"), u + QStringLiteral("0,"));
        row("largest id", false, true, QStringLiteral("4294967295"), u + QStringLiteral("4294967295,"));
        row("past the largest id", false, true, QStringLiteral("4294967296"), QStringLiteral("4294967296"));
        row("signed number", false, true, QStringLiteral("+5"), QStringLiteral("+5"));
        row("group number to id", true, true, QStringLiteral("4711"), g + QStringLiteral("4711,"));
        row("group number back", true, false, g + QStringLiteral("3999999,"), QStringLiteral("3999999"));
    }

    void idEntries()
    {
        QFETCH(bool, group);
        QFETCH(bool, toPattern);
        QFETCH(QString, entry);
        QFETCH(QString, expected);
        const FormDirection direction = toPattern ? FormDirection::ToPattern : FormDirection::ToDisplay;
        QCOMPARE(group ? groupToPattern(entry, direction) : userToPattern(entry, direction), expected);
    }

    void criteria_data()
    {
        QTest::addColumn<int>("list");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("match");
        const auto row = [](const char *name, int list, const QString &pattern, const QString &text, bool match) {
            QTest::newRow(name) << list << pattern << text << match;
        };
        // Filtering for daemon (uid 1) must show neither uids 10 and 1000 nor a gid 1.
        const QString daemon = user("daemon");
        row("uid 1", 4, daemon, record("p", 1, 1, false, "execve"), true);
        for (uint uid : {0u, 10u, 1000u})
            row(qPrintable(QStringLiteral("uid %1").arg(uid)), 4, daemon, record("p", uid, 1, false, "execve"), false);
        // The form older versions stored keeps its prefix matches.
        row("old form, uid 1000", 4, QStringLiteral("<\\d+,\\d+,1"), record("p", 1000, 5, false, "execve"), true);
        const QString rootGroup = groupToPattern(QStringLiteral("root"), FormDirection::ToPattern);
        row("gid 0", 3, rootGroup, record("f", 1000, 0, false, "open"), true);
        row("uid 0, gid 1000", 3, rootGroup, record("f", 0, 1000, false, "open"), false);

        const QString open = eventPattern("open");
        const QString head = QStringLiteral("[f] <1,1,0,0,0> [s] ");
        row("openat", 2, open, record("f", 0, 0, false, "openat"), false);
        row("colon", 2, open, head + QStringLiteral("open: /etc"), true);
        row("combining mark", 2, open, head + QString::fromUtf8("open\xcc\x81 x"), false);
        // The name keeps its regular-expression meaning.
        row("open.*", 2, eventPattern("open.*"), record("f", 0, 0, false, "openat"), true);
        row("bar, parameter", 2, eventPattern("kill|open"), record("p", 0, 0, false, "exec", QStringLiteral("kill -9 4")), false);
        // Event entries stored by older versions match as they did.
        row("blank form, colon", 2, QStringLiteral("\\[\\b(s|f)\\b\\]\\s(?:open)(?!\\S)"), head + QStringLiteral("open: /etc"), false);
        row("prefix form, openat", 2, QStringLiteral("\\[\\b(s|f)\\b\\]\\sopen"), record("f", 0, 0, false, "openat"), true);
        // An invalid pattern never matches.
        row("back-reference past QRegExp's tokens", 5, QStringLiteral("\\65536"), record("f", 0, 0, true, "unlink"), false);
    }

    void criteria()
    {
        QFETCH(int, list);
        QFETCH(QString, pattern);
        QFETCH(QString, text);
        QFETCH(bool, match);
        QList<QStringList> lists = six();
        lists[list] = QStringList{pattern};
        QCOMPARE(CMatcher(lists).matches(text), match);
        // Entries in pattern form, of any version, stay as they are.
        QCOMPARE(toPatternForm(lists), lists);
    }

    void listsCombine()
    {
        const QString refusedRoot = record("f", 0, 0, true, "unlink");
        const QString allowedRoot = record("f", 0, 0, false, "unlink");
        const QString refusedDaemon = record("p", 1, 1, true, "kill");
        const QStringList texts = {refusedRoot, allowedRoot, refusedDaemon};
        QVERIFY(matches(QList<QStringList>{}, refusedRoot));
        QVERIFY(matches(six(), refusedRoot));
        QVERIFY(!CMatcher({{}, {QStringLiteral("x")}}).matchesEverything());
        QVERIFY(matches({{QString()}}, refusedRoot));
        QCOMPARE(countMatches(six({fragments().at(0), fragments().at(1)}), texts), 3);
        QCOMPARE(countMatches(six({fragments().at(1)}, {}, {}, {}, {user("root"), user("daemon")}), texts), 2);
        QCOMPARE(countMatches(six({}, {fragments().at(4), fragments().at(2)}, {eventPattern("kill")}), texts), 0);
        QCOMPARE(countMatches(six({}, {fragments().at(3)}, {eventPattern("kill")}), {refusedDaemon}), 1);
        // An invalid pattern fails only a list it is alone in.
        QVERIFY(matches(six({}, {}, {}, {}, {}, {QStringLiteral("(unlink"), QStringLiteral("alice")}), refusedRoot));
        QVERIFY(!matches(six({fragments().at(1)}, {}, {}, {}, {}, {QStringLiteral("[x")}), refusedRoot));
    }

    // A text no engine could decide stops the bulk operations there, naming
    // the pattern; a list that fails still decides the text.
    void undecidedStopsBulkMatching()
    {
        const QString costly = QStringLiteral("(a|a|a|a|a|a|a|a)*\\1b");
        const QString hard = record("f", 0, 0, true, "open", QString(400, QLatin1Char('a')));
        const QString easy = record("f", 0, 0, true, "open", QStringLiteral("aab"));
        const QString allowed = record("f", 0, 0, false, "open", QString(400, QLatin1Char('a')));
        const CMatcher matcher(six({fragments().at(1)}, {}, {}, {}, {}, {costly}));
        QCOMPARE(matcher.verdict(allowed), CMatcher::Verdict::NoMatch);
        QString pattern;
        QCOMPARE(matcher.verdict(hard, &pattern), CMatcher::Verdict::Undecided);
        QCOMPARE(pattern, costly);
        QCOMPARE(matcher.costlyPattern(), costly);
        QVERIFY(!matcher.matches(hard));
        // Another pattern of the list that matches decides it.
        QCOMPARE(CMatcher(six({}, {}, {}, {}, {}, {costly, QStringLiteral("open")})).verdict(hard), CMatcher::Verdict::Match);
        const QStringList texts = {easy, allowed, hard, easy};
        MatchStop stop;
        QCOMPARE(countMatches(matcher, texts, &stop), 1);
        QCOMPARE(stop.index, 2);
        QCOMPARE(stop.pattern, costly);
        QCOMPARE(filterRows(matcher, texts, &stop), QStringList{QStringLiteral("root\t") + easy});
        QVERIFY(stop.stopped());
        QCOMPARE(countMatches(matcher, {easy, allowed}, &stop), 1);
        QVERIFY(!stop.stopped());
        QCOMPARE(countMatches(matcher, texts), 2);
    }

    // The user column: the name of the first "uid,gid,session>" of the text, or nothing.
    void userColumn()
    {
        const QString root = record("f", 0, 0, true, "unlink");
        const QString unknown = record("f", 3999999999u, 0, true, "unlink");
        const QString noSubject = QStringLiteral("[c] broken text unlink");
        const QStringList rows = filterRows(six({}, {}, {}, {}, {}, {"unlink"}), {root, record("f", 0, 0, true, "open", {}), unknown, noSubject});
        QCOMPARE(rows, QStringList({"root\t" + root, '\t' + unknown, '\t' + noSubject}));
        QCOMPARE(userNameOf(QStringLiteral("x 12,1,65534,1,0> y")), QStringLiteral("nobody"));
        QCOMPARE(userNameOf(QStringLiteral("[u] <4212,4100,99999999999,0,0> [s] login")), QString());
    }
};

QTEST_GUILESS_MAIN(TestFilterMatch)
#include "tst_filtermatch.moc"
