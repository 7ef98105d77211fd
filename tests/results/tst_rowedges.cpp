// Rows at the edges of what their formats promise: CSV fields holding a
// byte that must be quoted at every place; the user names of the rows.
#include <QtTest>

#include "exportformat.h"
#include "filtermatch.h"
#include "resultbytes.h"

#include <unistd.h>

namespace {

// Ids no user database knows, as the log generator gives them.
constexpr uint MlogGeneratorOptionsBase = 3000000000u;

const QByteArray kText = "[f] <1,2,3,4,5> [s] open 2026-01-02 03:04:05 ";

// The fields of one CSV row as RFC 4180 reads them, or an empty list when
// the row is not sound: a field holding a comma, a quote or a line break
// unquoted, a lone quote, or no CR LF at its end.
QList<QByteArray> csvFields(const QByteArray &row)
{
    if (!row.endsWith("\r\n"))
        return {};
    QList<QByteArray> fields{QByteArray()};
    int i = 0;
    const int end = row.size() - 2;
    while (i < end) {
        if (row.at(i) == '"' && fields.last().isEmpty()) {
            for (++i;; ++i) {
                if (i >= end)
                    return {};
                if (row.at(i) == '"' && (i + 1 >= end || row.at(i + 1) != '"'))
                    break;
                i += row.at(i) == '"';
                fields.last() += row.at(i);
            }
            ++i;
            if (i < end && row.at(i) != ',')
                return {};
        }
        if (i >= end)
            break;
        const char c = row.at(i++);
        if (c == ',')
            fields << QByteArray();
        else if (c == '"' || c == '\r' || c == '\n')
            return {};
        else
            fields.last() += c;
    }
    return fields;
}

} // namespace

class TestRowEdges : public QObject
{
    Q_OBJECT
private slots:
    // Each byte that CSV quotes for, at the first place, the middle and the
    // last two of fields around the sixteen-byte steps that look for them;
    // a field without one is written as it is.
    void csvQuotesEveryPlace_data()
    {
        QTest::addColumn<char>("special");
        QTest::addRow("lone carriage return") << '\r';
        QTest::addRow("line feed") << '\n';
        QTest::addRow("comma") << ',';
        QTest::addRow("quote") << '"';
        QTest::addRow("none") << '\0';
    }

    void csvQuotesEveryPlace()
    {
        QFETCH(char, special);
        // Quoting alone: the guard against formulas, which a leading
        // carriage return calls for too, is tested with the exports.
        ExportRows rows(ExportFormat::CsvRaw);
        for (const int length : {1, 2, 15, 16, 17, 31, 32, 33, 47, 48, 49}) {
            for (const int at : {0, length / 2, length - 2, length - 1}) {
                if (at < 0)
                    continue;
                QByteArray field(length, 'x');
                if (special)
                    field[at] = special;
                const QString place = QStringLiteral("length %1, at %2").arg(length).arg(at);
                // As the user name, as the parameters of a record's text,
                // and as a text of another shape.
                for (const bool record : {false, true}) {
                    QByteArray out;
                    const QByteArray text = record ? kText + field : "odd " + field;
                    rows.appendRow(std::string_view(field.constData(), size_t(field.size())),
                                   std::string_view(text.constData(), size_t(text.size())), -1, &out);
                    const QList<QByteArray> fields = csvFields(out);
                    QVERIFY2(fields.size() == 12, qPrintable(place + ": " + QString::fromLatin1(out.toHex())));
                    QCOMPARE(fields.first(), field);
                    QCOMPARE(fields.last(), text);
                    if (record)
                        QCOMPARE(fields.at(10), field);
                    QCOMPARE(out.startsWith('"'), special != 0);
                }
            }
        }
    }

    // The user database is listed in place of lookups only where each of its
    // sources lists every user a lookup finds.
    void usersListedWhole_data()
    {
        QTest::addColumn<QByteArray>("conf");
        QTest::addColumn<QStringList>("services");
        QTest::addColumn<bool>("whole");
        const QStringList none;
        QTest::newRow("files") << QByteArray("passwd: files\n") << none << true;
        QTest::newRow("files and systemd") << QByteArray("group: ldap\npasswd:         files systemd\n") << none << true;
        QTest::newRow("systemd's listing services")
            << QByteArray("passwd: files systemd") << QStringList{"io.systemd.DynamicUser", "io.systemd.Multiplexer"}
            << true;
        QTest::newRow("systemd's containers") << QByteArray("passwd: files systemd")
                                              << QStringList{"io.systemd.DynamicUser", "io.systemd.Machine"} << false;
        QTest::newRow("a service unknown") << QByteArray("passwd: systemd") << QStringList{"org.example.Users"}
                                           << false;
        QTest::newRow("actions between") << QByteArray("passwd: files [NOTFOUND=return] systemd") << none << true;
        QTest::newRow("actions with blanks") << QByteArray("passwd: files [ NOTFOUND=return ] sss") << none << false;
        QTest::newRow("sss") << QByteArray("passwd: files sss\n") << none << false;
        QTest::newRow("compat") << QByteArray("passwd: compat\n") << none << false;
        QTest::newRow("commented out") << QByteArray("#passwd: files\npasswd: files ldap # files\n") << none << false;
        QTest::newRow("first line counts") << QByteArray("passwd: files\npasswd: ldap\n") << none << true;
        QTest::newRow("no sources") << QByteArray("passwd:\n") << none << false;
        QTest::newRow("no line") << QByteArray("group: files\n") << none << false;
    }

    void usersListedWhole()
    {
        QFETCH(QByteArray, conf);
        QFETCH(QStringList, services);
        QFETCH(bool, whole);
        QCOMPARE(::usersListedWhole(conf, services), whole);
    }

    // systemd's range of foreign ids is looked up always, at both ends.
    void madeUpOnLookup_data()
    {
        QTest::addColumn<uint>("uid");
        QTest::addColumn<bool>("madeUp");
        QTest::newRow("below") << 0x7FFDFFFFu << false;
        QTest::newRow("first") << 0x7FFE0000u << true;
        QTest::newRow("last") << 0x7FFEFFFFu << true;
        QTest::newRow("above") << 0x7FFF0000u << false;
    }

    void madeUpOnLookup()
    {
        QFETCH(uint, uid);
        QFETCH(bool, madeUp);
        QCOMPARE(::madeUpOnLookup(uid), madeUp);
    }

    // Before and after the unknown ids pile up, each id gets the name a
    // lookup of its own gives.
    void directoryAgreesWithLookups()
    {
        UserDirectory directory;
        const uint known[] = {0, uint(getuid()), 65534};
        const auto lookedUp = [](uint uid) {
            return userNameOf(QStringLiteral("[u] <1,2,%1,4,5> [s] login 2026-01-02 03:04:05").arg(uid)).toUtf8();
        };
        for (int round = 0; round < 2; ++round) {
            for (const uint uid : known)
                QCOMPARE(QString::fromUtf8(directory.nameOf(uid)), QString::fromUtf8(lookedUp(uid)));
            for (int i = 0; i < 2 * UserDirectory::kMissesBeforeListing; ++i) {
                const uint uid = MlogGeneratorOptionsBase + uint(i);
                QVERIFY2(directory.nameOf(uid).isEmpty() == lookedUp(uid).isEmpty(), qPrintable(QString::number(uid)));
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestRowEdges)
#include "tst_rowedges.moc"
