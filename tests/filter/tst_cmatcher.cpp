// The compiled matcher must give QRegExp's answer for every pattern and
// text; these tests compare the two directly.
#include "cmatcher.h"
#include "filtermatch.h"
#include "records.h"

#include <QRegExp>
#include <QtTest>

namespace {

// The first pattern and text the matcher does not decide as QRegExp does.
QString disagreement(const QStringList &patterns, const QStringList &texts)
{
    for (const QString &pattern : patterns) {
        const QRegExp rx(pattern, Qt::CaseSensitive, QRegExp::RegExp);
        const CMatcher matcher({{pattern}});
        for (const QString &text : texts) {
            const bool expected = rx.isValid() && rx.indexIn(text) != -1;
            if (matcher.verdict(text) != (expected ? CMatcher::Verdict::Match : CMatcher::Verdict::NoMatch))
                return QStringLiteral("pattern \"%1\" text \"%2\"").arg(pattern, text);
        }
    }
    return QString();
}

QStringList patterns()
{
    QStringList list = fragments();
    list << QStringLiteral("<\\d+,\\d+,1000,") << QStringLiteral("<\\d+,\\d+,1")
         << QStringLiteral("<\\d+,\\d+,\\d+,0,") << QStringLiteral("\\[\\b(s|f)\\b\\]\\s(?:open)(?!\\S)")
         << QStringLiteral("\\[\\b(s|f)\\b\\]\\sopen") << QStringLiteral("\\[\\b(s|f)\\b\\]\\s(?:set(u|g)id)(?!\\S)")
         << QStringLiteral("/home/[a-z]+/.*\\.txt") << QStringLiteral("passwd|shadow") << QStringLiteral("^\\[f\\].*unlink")
         << QStringLiteral("a^b") << QStringLiteral("txt$") << QStringLiteral("\\bunlink\\b") << QStringLiteral("\\Bnlink")
         << QStringLiteral("[^a-z]+") << QStringLiteral("[\\d-z]") << QStringLiteral("[-a]") << QStringLiteral("[a-]x")
         << QStringLiteral("[]a]") << QStringLiteral("(?=.*root)") << QStringLiteral("^(?!.*alice)")
         << QStringLiteral("\\d{4}-\\d{2}-\\d{2}") << QStringLiteral("x{0}") << QStringLiteral("l{2,}")
         << QStringLiteral("(a|ab)(c|bcd)(d*)") << QStringLiteral(".") << QString() << QStringLiteral("\\.")
         << QStringLiteral("\\\\") << QString::fromUtf8("\\x41") << QStringLiteral("\\0101") << QStringLiteral("[[:alpha:]]")
         << QStringLiteral("(") << QStringLiteral(")") << QStringLiteral("a**") << QStringLiteral("\\s+\\d+,")
         << QStringLiteral("<\\d*,") << QStringLiteral("\\w+@\\w+") << QStringLiteral("\\W\\w") << QStringLiteral("\\S\\s\\S")
         << QStringLiteral("^$") << QStringLiteral("$") << QStringLiteral("^") << QStringLiteral("\\b") << QStringLiteral("\\B")
         << QStringLiteral("(\\s)") << QStringLiteral("(\\d)x?") << QStringLiteral("a.b") << QStringLiteral("é+")
         << QStringLiteral("[^\\s]+\\.txt") << QStringLiteral("(?:ab)+c") << QStringLiteral("x|") << QStringLiteral("\\n")
         << QStringLiteral("([a-c]|[x-z])\\1") << QStringLiteral("\\e") << QStringLiteral("a{,3}") << QStringLiteral("[z-a]")
         << QStringLiteral("\\d+\\d") << QStringLiteral("[0-9]+") << QStringLiteral("<\\d+,\\d+,\\d+>")
         << QStringLiteral("\\d+,\\d+,\\d+>") << QStringLiteral("(?=\\s)") << QStringLiteral("un(?=link)")
         << QStringLiteral("\\[[a-z]\\]") << QStringLiteral("f\\b\\]") << QStringLiteral("\\d\\b,")
         << QString(QChar(0xd83d)) << QString::fromUtf8("\xf0\x9f\x98\x80") << QStringLiteral("a.") << QStringLiteral("[^x]$")
         << QStringLiteral("(/tmp/.\\.txt|zz)") << QStringLiteral("(/tmp/..\\.txt|zz)") << QStringLiteral("\\d{2} digits|q")
         << QStringLiteral("[^x]+$|q") << QStringLiteral("open\\b|q") << QStringLiteral("\\s\\[(s|f)\\]\\s|q");
    return list;
}

QStringList texts()
{
    QStringList list;
    list << record("f", 1000, 1000, false, "unlink") << record("f", 1, 1, true, "open")
         << record("f", 10, 0, false, "openat") << record("p", 0, 0, true, "setuid", QStringLiteral("uid=0 comm=su"))
         << record("u", 100, 100, false, "login", QStringLiteral("user=root@host")) << record("c", 1000, 0, true, "audit", {})
         << record("f", 0, 0, false, "open", QStringLiteral("/home/alice/notes.txt\n"))
         << record("f", 0, 0, false, "open", QString::fromUtf8("/home/b\xc3\xa9\xc3\xa9/x.txt"))
         << record("f", 0, 0, false, "open", QString::fromUtf8("/tmp/\xf0\x9f\x98\x80.txt"))
         << record("f", 0, 0, false, "open", QString(QChar(0xd83d)) + QStringLiteral("x"))
         << record("f", 0, 0, false, "open", QString::fromUtf8("\xd9\xa3\xd9\xa4 digits"))
         << QString::fromUtf8("[f] <1,1,1,1,0>\xc2\xa0[f] unlink 2026-12-06 09:20:27")
         << QString::fromUtf8("[f] <1,1,1,1,0>\xc2\x85[s] open") << QString::fromUtf8("[f] <1,1,1,1,0> [s] open\xcc\x81 x")
         << QStringLiteral("aabcdd") << QStringLiteral("abbcd") << QStringLiteral("ll") << QStringLiteral("xx") << QString::fromUtf8("\\x41")
         << QStringLiteral("A") << QString() << QStringLiteral("\n") << QStringLiteral("a\nb") << QStringLiteral("ee")
         << QStringLiteral("-") << QStringLiteral("]") << QStringLiteral("a]") << QStringLiteral("b") << QStringLiteral("a@b");
    for (int at = 0; at <= 40; at += 3) // across the widths of the vector scans
        list << QString(at, QLatin1Char('a')) + QStringLiteral("> [f] open 1,1000,") + QString(40 - at, QLatin1Char('b'));
    return list;
}

} // namespace

class TestCMatcher : public QObject
{
    Q_OBJECT

private slots:
    void sameAnswersAsQRegExp() { QCOMPARE(disagreement(patterns(), texts()), QString()); }

    // The character classes, unit by unit over the whole basic plane.
    void classesOverEveryCharacter()
    {
        QStringList characters;
        for (uint c = 0; c < 0x10000; ++c)
            characters << QString(QChar(ushort(c)));
        QCOMPARE(disagreement({QStringLiteral("\\s"), QStringLiteral("\\d"), QStringLiteral("\\w"), QStringLiteral("\\S"),
                               QStringLiteral("\\b"), QStringLiteral("(\\s|\\d)"), QStringLiteral("(\\w)x?"),
                               QStringLiteral("[^\\d]x*"), QStringLiteral("(\\b|y)"), QStringLiteral(".")},
                              characters),
                 QString());
    }

    // No pattern makes one text cost more than a few milliseconds: what an
    // engine cannot decide within its limits is undecided, never a non-match.
    void workPerTextIsBounded()
    {
        // Nested repetitions say no more than one; QRegExp's answer, at once.
        const QString as = record("f", 0, 0, false, "open", QString(60, QLatin1Char('a')) + QStringLiteral(" /home/bob"));
        QCOMPARE(CMatcher({{QStringLiteral("(a*)*b")}}).verdict(as), CMatcher::Verdict::Match);
        QCOMPARE(CMatcher({{QStringLiteral("(a+)+c")}}).verdict(as), CMatcher::Verdict::NoMatch);
        // Where PCRE gives up, QRegExp answers.
        const QString xs = record("f", 0, 0, false, "open", QString(60, QLatin1Char('x')) + QStringLiteral(" xxy"));
        QCOMPARE(CMatcher({{QStringLiteral("(x+x+)+y")}}).verdict(xs), CMatcher::Verdict::Match);
        QCOMPARE(CMatcher({{QStringLiteral("(x+x+)+z")}}).verdict(xs + QLatin1Char('z')), CMatcher::Verdict::NoMatch);
        // Back-references stay with QRegExp, which takes minutes on this one.
        const QString long4k = QString(4000, QLatin1Char('a'));
        QCOMPARE(CMatcher({{QStringLiteral("(a|a|a|a|a|a|a|a)*\\1b")}}).verdict(long4k), CMatcher::Verdict::Undecided);
        // Long runs are scanned once, not once per start.
        const QString digits(200000, QLatin1Char('7'));
        QCOMPARE(CMatcher({{QStringLiteral(".\\d+x")}}).verdict(digits), CMatcher::Verdict::NoMatch);
        QCOMPARE(CMatcher({{QStringLiteral("\\d+x")}}).verdict(digits + QLatin1Char('x')), CMatcher::Verdict::Match);
        QVERIFY(CMatcher({{QStringLiteral(".\\d+,x")}}).matches(QStringLiteral("a12,b1,x")));
    }
};

QTEST_GUILESS_MAIN(TestCMatcher)
#include "tst_cmatcher.moc"
