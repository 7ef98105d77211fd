// The filter record in the settings: the stored form, what cannot be stored,
// values of other types and older versions, and the compiled lists. Values
// a filter hides: their parts of the stored value, which a reader of the
// three plain parts passes over, and how the compiled filter and the block
// question take them.
#include "blockquestion.h"
#include "cfilter.h"
#include "filtermatch.h"
#include "records.h"

#include <QSettings>
#include <QStandardPaths>
#include <QtTest>

namespace {

using Lists = QList<QStringList>;

const QString kUser0 = QStringLiteral("<\\d+,\\d+,0,");
const QString kUser7 = QStringLiteral("<\\d+,\\d+,7,");
const QString kFileKind = QStringLiteral("^\\[f\\]");

// A record text of user `uid` and kind `kind`.
QString userRecord(int uid, char kind = 'f', const char *event = "open")
{
    return QStringLiteral("[%1] <10,1,%2,5,0> [s] %3 2026-01-01 00:00:00 /etc").arg(QLatin1Char(kind)).arg(uid).arg(
        QLatin1String(event));
}

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
        row("hash at a list's end", "f", six({}, {}, {}, {}, {"x#"}), false, "0::::;;;;;;;;x#;;");
        // Only the last list has no list separator after it.
        row("semicolon at the last list's end", "f", six({}, {}, {}, {}, {}, {"x;"}), false, "0::::;;;;;;;;;;x;");
        // What would read back as something else is refused.
        row("slash, backslash", R"(a/b\c)", six(), true, "\"/\", \"\\\"");
        row("entry separators", "f", six({}, {}, {}, {}, {"u::v"}, {"a##b", "x;;y"}), true, "\"::\", \"##\", \";;\"");
        row("hash before the next entry, empty entry", "f", six({}, {}, {}, {}, {}, {"a#", ""}), true, "\"#\", \"\"");
        row("semicolon at an earlier list's end", "f", six({}, {}, {}, {}, {"x;"}), true, "\";\"");
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
        QTest::newRow("five empty lists") << QVariant(QStringLiteral("0::::;;;;;;;;")) << 0
                                          << QList<QStringList>{{}, {}, {}, {}, {}} << true;
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

    // The value as stored, and read back whole; its first three parts are
    // exactly what the same filter without hidden values stores.
    void hiddenStored_data()
    {
        QTest::addColumn<Lists>("lists");
        QTest::addColumn<Lists>("hidden");
        QTest::addColumn<bool>("oneSecond");
        QTest::addColumn<QString>("value");
        const Lists none{{}, {}, {}, {}, {}, {}};
        QTest::newRow("nothing hidden") << none << none << false << QStringLiteral("-60::::;;;;;;;;;;");
        QTest::newRow("one user") << none << Lists{{}, {}, {}, {}, {kUser0}, {}} << false
                                  << QStringLiteral("-60::::;;;;;;;;;;::hide-users=") + kUser0;
        QTest::newRow("two users, a kind, lists kept")
            << Lists{{}, {}, {}, {}, {}, {QStringLiteral("passwd")}}
            << Lists{{}, {kFileKind}, {}, {}, {kUser0, kUser7}, {}} << false
            << QStringLiteral("-60::::;;;;;;;;;;passwd::hide-kinds=") + kFileKind + QStringLiteral("::hide-users=")
                   + kUser0 + QStringLiteral("##") + kUser7;
        QTest::newRow("after the start of one second")
            << none << Lists{{}, {}, {}, {}, {kUser7}, {}} << true
            << QStringLiteral("-1::2026-01-02 03:04:05::;;;;;;;;;;::start=2026-01-02 03:04:05::hide-users=") + kUser7;
    }
    void hiddenStored()
    {
        QFETCH(Lists, lists);
        QFETCH(Lists, hidden);
        QFETCH(bool, oneSecond);
        QFETCH(QString, value);
        CFilter filter(QStringLiteral("f"));
        filter.setLists(lists);
        filter.setHidden(hidden);
        filter.period = -60;
        if (oneSecond) {
            filter.period = -1;
            filter.time = filter.start = QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5));
        }
        QVERIFY(filter.unstorableReason(QStringLiteral("f")).isEmpty());
        QVERIFY(filter.save(QStringLiteral("f")));
        QCOMPARE(stored(QStringLiteral("f")).toString(), value);

        CFilter back(QStringLiteral("f"));
        back.load();
        QVERIFY(!back.unreadable);
        QCOMPARE(back.lists(), lists);
        QCOMPARE(back.hidden(), hidden);
        QCOMPARE(back.start, filter.start);

        // A reader of the three parts alone finds the filter as it would be
        // without what it hides.
        CFilter plain(QStringLiteral("plain"));
        plain.setLists(lists);
        plain.period = filter.period;
        plain.time = filter.time;
        QVERIFY(plain.save(QStringLiteral("plain")));
        const QStringList parts = value.split(QStringLiteral("::"));
        QCOMPARE(parts.mid(0, 3), stored(QStringLiteral("plain")).toString().split(QStringLiteral("::")).mid(0, 3));
    }

    // The start stored for a one-second range is taken only at its time.
    void storedStart_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("kept");
        const QString lists = QStringLiteral("::;;;;;;;;;;::start=2026-01-02 03:04:05");
        QTest::newRow("at the time") << "-1::2026-01-02 03:04:05" + lists << true;
        QTest::newRow("a second before the time") << "-1::2026-01-02 03:04:06" + lists << false;
        QTest::newRow("without a time") << "-1::" + lists << false;
    }
    void storedStart()
    {
        QFETCH(QString, value);
        QFETCH(bool, kept);
        store(QStringLiteral("f"), value);
        CFilter f(QStringLiteral("f"));
        f.load();
        QVERIFY(!f.unreadable);
        QCOMPARE(f.start.isValid(), kept);
        if (kept)
            QCOMPARE(f.start, f.time);
    }

    // Hand-written parts: names and numbers become the patterns the editor
    // makes of them, unknown keys and malformed parts are passed over.
    void handWritten_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<Lists>("hidden");
        const Lists none{{}, {}, {}, {}, {}, {}};
        QTest::newRow("a number") << QStringLiteral("0::::;;;;;;;;;;::hide-users=7") << Lists{{}, {}, {}, {}, {kUser7}, {}};
        QTest::newRow("a label") << QStringLiteral("0::::;;;;;;;;;;::hide-kinds=file [f]")
                                 << Lists{{}, {kFileKind}, {}, {}, {}, {}};
        QTest::newRow("unknown key") << QStringLiteral("0::::;;;;;;;;;;::hide-colours=red::later=1") << none;
        QTest::newRow("empty value") << QStringLiteral("0::::;;;;;;;;;;::hide-users=") << none;
        QTest::newRow("key without '='") << QStringLiteral("0::::;;;;;;;;;;::hide-users") << none;
    }
    void handWritten()
    {
        QFETCH(QString, value);
        QFETCH(Lists, hidden);
        store(QStringLiteral("h"), value);
        CFilter filter(QStringLiteral("h"));
        filter.load();
        QVERIFY(!filter.unreadable);
        QCOMPARE(filter.hidden(), hidden);
        QCOMPARE(filter.lists().size(), 6);
    }

    // A hidden entry that would split the stored value is refused, as a
    // list entry would be.
    void unstorable_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("reason");
        QTest::newRow("part separator") << QStringLiteral("a::b") << QStringLiteral("\"::\"");
        QTest::newRow("entry separator") << QStringLiteral("a##b") << QStringLiteral("\"##\"");
        QTest::newRow("trailing colon") << QStringLiteral("a:") << QStringLiteral("\":\"");
        QTest::newRow("empty") << QString() << QStringLiteral("\"\"");
        QTest::newRow("fine") << QStringLiteral("a;;b") << QString();
    }
    void unstorable()
    {
        QFETCH(QString, entry);
        QFETCH(QString, reason);
        CFilter filter(QStringLiteral("u"));
        filter.setHidden(Lists{{}, {}, {entry}, {}, {}, {}});
        QCOMPARE(filter.unstorableReason(QStringLiteral("u")), reason);
    }

    // The compiled filter lets through what its lists let through and no
    // hidden value matches; reset() forgets the hidden values.
    void matcher_data()
    {
        QTest::addColumn<Lists>("lists");
        QTest::addColumn<Lists>("hidden");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("matches");
        const Lists none{{}, {}, {}, {}, {}, {}};
        const Lists hide0{{}, {}, {}, {}, {kUser0}, {}};
        QTest::newRow("hidden user") << none << hide0 << userRecord(0) << false;
        QTest::newRow("other user") << none << hide0 << userRecord(7) << true;
        QTest::newRow("user 0 does not hide 70") << none << hide0 << userRecord(70) << true;
        QTest::newRow("lists fail first") << Lists{{}, {}, {}, {}, {kUser7}, {}} << hide0 << userRecord(70) << false;
        QTest::newRow("shown, not hidden") << Lists{{}, {}, {}, {}, {kUser7}, {}} << hide0 << userRecord(7) << true;
        QTest::newRow("any hidden list hides")
            << none << Lists{{}, {kFileKind}, {}, {}, {kUser0}, {}} << userRecord(7, 'f') << false;
        QTest::newRow("neither hidden") << none << Lists{{}, {kFileKind}, {}, {}, {kUser0}, {}} << userRecord(7, 'u')
                                        << true;
        const QString event = toPatternForm(Lists{{}, {}, {QStringLiteral("open")}, {}, {}, {}}).at(2).first();
        QTest::newRow("hidden event") << none << Lists{{}, {}, {event}, {}, {}, {}} << userRecord(7, 'f', "open") << false;
        QTest::newRow("longer event") << none << Lists{{}, {}, {event}, {}, {}, {}} << userRecord(7, 'f', "openat")
                                      << true;
        QTest::newRow("non-ASCII text") << none << hide0 << userRecord(0) + QStringLiteral(" Grüße") << false;
    }
    void matcher()
    {
        QFETCH(Lists, lists);
        QFETCH(Lists, hidden);
        QFETCH(QString, text);
        QFETCH(bool, matches);
        CFilter filter(QStringLiteral("m"));
        filter.setLists(lists);
        filter.setHidden(hidden);
        const CMatcher &compiled = filter.matcher();
        QVERIFY(!compiled.matchesEverything());
        QCOMPARE(compiled.matches(text), matches);
        const QByteArray utf8 = text.toUtf8();
        QCOMPARE(compiled.verdictUtf8(utf8.constData(), utf8.size()) == CMatcher::Verdict::Match, matches);
        const QByteArray terminated = utf8 + '\0';
        qsizetype length = 0;
        QCOMPARE(compiled.verdictUtf8Text(terminated.constData(), terminated.constData() + terminated.size(), &length)
                     == CMatcher::Verdict::Match,
                 matches);
        QCOMPARE(length, qsizetype(utf8.size()));
        filter.reset();
        QVERIFY(filter.matcher().matchesEverything());
        QVERIFY(!filter.hidesAnything());
    }

    // Hidden values never let the block question rule a block out: a block
    // whose records are all of the hidden user may still hold one of another.
    void blockQuestionIgnoresHidden()
    {
        CFilter filter(QStringLiteral("b"));
        filter.setHidden(Lists{{}, {}, {}, {}, {kUser0}, {}});
        const BlockQuestion question(filter.lists());
        QVERIFY(!question.asksAnything());
    }
};

QTEST_GUILESS_MAIN(TestCFilter)
#include "tst_cfilter.moc"
