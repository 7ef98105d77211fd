// Values a filter hides: their parts of the stored value, which a reader of
// the three plain parts passes over, and how the compiled filter and the
// block question take them.
#include "blockquestion.h"
#include "cfilter.h"
#include "filtermatch.h"

#include <QSettings>
#include <QStandardPaths>
#include <QtTest>

namespace {

using Lists = QList<QStringList>;

const QString kUser0 = QStringLiteral("<\\d+,\\d+,0,");
const QString kUser7 = QStringLiteral("<\\d+,\\d+,7,");
const QString kFileKind = QStringLiteral("^\\[f\\]");

QString storedValue(const QString &key)
{
    return QSettings().value(QStringLiteral("filter/") + key).toString();
}

// A record text of user `uid` and kind `kind`.
QString record(int uid, char kind = 'f', const char *event = "open")
{
    return QStringLiteral("[%1] <10,1,%2,5,0> [s] %3 2026-01-01 00:00:00 /etc").arg(QLatin1Char(kind)).arg(uid).arg(
        QLatin1String(event));
}

} // namespace

class TestHiddenValues : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QCoreApplication::setOrganizationName(QStringLiteral("vrel"));
        QCoreApplication::setApplicationName(QStringLiteral("vrelview-hidden"));
    }
    void init() { QSettings().remove(QStringLiteral("filter")); }

    // The value as stored, and read back whole; its first three parts are
    // exactly what the same filter without hidden values stores.
    void stored_data()
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
    void stored()
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
        QCOMPARE(storedValue(QStringLiteral("f")), value);

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
        QCOMPARE(parts.mid(0, 3), storedValue(QStringLiteral("plain")).split(QStringLiteral("::")).mid(0, 3));
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
        QSettings().setValue(QStringLiteral("filter/h"), value);
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
        QTest::newRow("hidden user") << none << hide0 << record(0) << false;
        QTest::newRow("other user") << none << hide0 << record(7) << true;
        QTest::newRow("user 0 does not hide 70") << none << hide0 << record(70) << true;
        QTest::newRow("lists fail first") << Lists{{}, {}, {}, {}, {kUser7}, {}} << hide0 << record(70) << false;
        QTest::newRow("shown, not hidden") << Lists{{}, {}, {}, {}, {kUser7}, {}} << hide0 << record(7) << true;
        QTest::newRow("any hidden list hides")
            << none << Lists{{}, {kFileKind}, {}, {}, {kUser0}, {}} << record(7, 'f') << false;
        QTest::newRow("neither hidden") << none << Lists{{}, {kFileKind}, {}, {}, {kUser0}, {}} << record(7, 'u')
                                        << true;
        const QString event = toPatternForm(Lists{{}, {}, {QStringLiteral("open")}, {}, {}, {}}).at(2).first();
        QTest::newRow("hidden event") << none << Lists{{}, {}, {event}, {}, {}, {}} << record(7, 'f', "open") << false;
        QTest::newRow("longer event") << none << Lists{{}, {}, {event}, {}, {}, {}} << record(7, 'f', "openat")
                                      << true;
        QTest::newRow("non-ASCII text") << none << hide0 << record(0) + QStringLiteral(" Grüße") << false;
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

QTEST_GUILESS_MAIN(TestHiddenValues)
#include "tst_hiddenvalues.moc"
