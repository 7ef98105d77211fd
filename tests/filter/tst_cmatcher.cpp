// The compiled matcher must give QRegExp's answer for every pattern and text.
#include "cmatcher.h"
#include "filtermatch.h"
#include "records.h"

#include <QRegExp>
#include <QtTest>

#include <algorithm>

#include <malloc.h>

#if defined(__SANITIZE_ADDRESS__)
#define VREL_HEAP_MEASURABLE 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VREL_HEAP_MEASURABLE 0
#endif
#endif
#ifndef VREL_HEAP_MEASURABLE
#define VREL_HEAP_MEASURABLE 1
#endif

namespace {

#if VREL_HEAP_MEASURABLE
// Bytes the heap holds, large blocks (which malloc maps apart) included.
size_t heapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}
#endif

// Whether `m` gives `expected` for the UTF-8 text `utf8` alone and as a
// block hands it out: followed by a NUL that ends the buffer, or by `next`,
// whose bytes must not count; the length and ASCII-ness it tells must be the text's.
bool decidedInBlock(const CMatcher &m, const QByteArray &utf8, CMatcher::Verdict expected, const QByteArray &next)
{
    if (m.verdictUtf8(utf8.constData(), utf8.size()) != expected)
        return false;
    const bool isAscii = std::all_of(utf8.cbegin(), utf8.cend(), [](char c) { return uchar(c) < 0x80; });
    for (const QByteArray &after : {QByteArray(), next}) {
        const QByteArray block = utf8 + '\0' + after;
        qsizetype length = -1;
        bool ascii = !isAscii;
        if (m.verdictUtf8Text(block.constData(), block.constData() + block.size(), &length, nullptr, &ascii) != expected
            || length != utf8.size() || ascii != isAscii)
            return false;
    }
    return true;
}

CMatcher::Verdict verdictOf(bool match) { return match ? CMatcher::Verdict::Match : CMatcher::Verdict::NoMatch; }

// The first pattern and text the matcher does not decide as QRegExp does,
// given the text as a QString and, where it has one, as its UTF-8 bytes.
QString disagreement(const QStringList &patterns, const QStringList &texts, const QList<QByteArray> &bytes = {})
{
    for (const QString &pattern : patterns) {
        const QRegExp rx(pattern, Qt::CaseSensitive, QRegExp::RegExp);
        const CMatcher matcher({{pattern}});
        const auto expected = [&](const QString &text) { return verdictOf(rx.isValid() && rx.indexIn(text) != -1); };
        for (const QString &text : texts) {
            if (matcher.verdict(text) != expected(text))
                return QStringLiteral("pattern \"%1\" text \"%2\"").arg(pattern, text);
            const QByteArray utf8 = text.toUtf8();
            if (matcher.verdictUtf8(utf8.constData(), utf8.size()) != expected(QString::fromUtf8(utf8.constData(), utf8.size())))
                return QStringLiteral("pattern \"%1\" UTF-8 text \"%2\"").arg(pattern, text);
        }
        for (const QByteArray &utf8 : bytes) {
            if (!decidedInBlock(matcher, utf8, expected(QString::fromUtf8(utf8.constData(), utf8.size())),
                                "\xc3\xa9> [f] open unlink passwd /home/a/x.txt 1,1000,"))
                return QStringLiteral("pattern \"%1\" bytes \"%2\"").arg(pattern, QString::fromLatin1(utf8.toHex()));
        }
    }
    return QString();
}

// Byte strings that are not all valid UTF-8 (each bad byte decodes to
// U+FFFD), or that hold characters of several lengths and outside the
// basic plane.
QList<QByteArray> rawTexts()
{
    QList<QByteArray> list;
    for (const char *raw : {"caf\xe9 open", "\xff\xfe[f] <1,1,1,1,0> [f] unlink", "a\xc3", "\xc3(a", "x\xed\xa0\xbdy",
                            "\xf0\x9f\x98\x80 passwd", "[f] <1,1,1000,1,0> [s] open /home/j\xc3\xbcrgen/x.txt",
                            "\xe2\x80\xa8line \xef\xbf\xbd", "\xc0\xaf etc/shadow", "un\x80link", "\xd9\xa3 digits"})
        list << QByteArray(raw);
    // A text of each length around the vector widths, with a bad byte at each end.
    for (int at = 0; at <= 70; at += 5)
        list << QByteArray(at, 'a') + "\xe9> [f] open 1,1000," + QByteArray(70 - at, 'b') + "\x80";
    // ASCII texts of every length around the sixteen-byte steps that find a text's end.
    for (int length = 0; length <= 40; ++length)
        list << QByteArray(length, 'x') + "> [f] open";
    return list;
}

// Every engine (linear, PCRE, plain alternatives, QRegExp) and parser path,
// invalid patterns, and surrogates on each path.
QStringList patterns()
{
    QStringList list = fragments();
    for (const char *p : {R"(<\d+,\d+,1000,)", R"(\[\b(s|f)\b\]\s(?:open)(?!\S))", R"(/home/[a-z]+/.*\.txt)",
                          "passwd|shadow", "a^b", "txt$", R"(\Bnlink)", R"([\d-z])", "[]a]", "[z-a]", "^(?!.*alice)",
                          R"(\d{4}-\d{2}-\d{2})", "a{,3}", "", R"(\x41)", R"(\0101)", "[[:alpha:]]", "(", "a**",
                          R"(\s+\d+,)", R"(\W\w)", "^$", R"(\b)", R"((\d)x?)", "é+", R"([^\s]+\.txt)", "x|", R"(\n)",
                          R"(([a-c]|[x-z])\1)", R"(\e)", R"(\d+\d)", R"(\d+,\d+,\d+>)", "un(?=link)", R"(f\b\])",
                          "\xf0\x9f\x98\x80", "[^x]$", R"((/tmp/.\.txt|zz))", R"((/tmp/..\.txt|zz))", R"(\d{2} digits|q)",
                          "[^x]+$|q", R"(open\b|q)", R"(\s\[(s|f)\]\s|q)", R"(open(?!\b))", R"((?!\B)nlink)",
                          R"(n(?=\bl|k))"})
        list << QString::fromUtf8(p);
    return list << QString(QChar(0xd83d));
}

QStringList texts()
{
    QStringList list{record("f", 1000, 1000, false, "unlink"), record("f", 10, 0, false, "openat"),
                     record("p", 0, 0, true, "setuid", QStringLiteral("uid=0 comm=su")), record("c", 1000, 0, true, "audit", {}),
                     record("u", 100, 100, false, "login", QStringLiteral("user=root@host")), QString(QChar(0xd83d)) + 'x'};
    for (const char *params : {"/home/alice/notes.txt\n", "/home/b\xc3\xa9\xc3\xa9/x.txt", "/tmp/\xf0\x9f\x98\x80.txt",
                               "\xd9\xa3\xd9\xa4 digits"})
        list << record("f", 0, 0, false, "open", QString::fromUtf8(params));
    for (const char *text : {"[f] <1,1,1,1,0>\xc2\xa0[f] unlink 2026-12-06 09:20:27", "[f] <1,1,1,1,0>\xc2\x85[s] open",
                             "[f] <1,1,1,1,0> [s] open\xcc\x81 x", "aabcdd", "xx", "\\x41", "A", "", "a\nb", "-", "a]", "a@b"})
        list << QString::fromUtf8(text);
    for (int at = 0; at <= 40; at += 3) // across the widths of the vector scans
        list << QString(at, QLatin1Char('a')) + QStringLiteral("> [f] open 1,1000,") + QString(40 - at, QLatin1Char('b'));
    return list;
}

} // namespace

class TestCMatcher : public QObject
{
    Q_OBJECT

private slots:
    // Then the character classes, unit by unit over the whole basic plane.
    void sameAnswersAsQRegExp()
    {
        QCOMPARE(disagreement(patterns(), texts(), rawTexts()), QString());
        QStringList characters;
        for (uint c = 0; c < 0x10000; ++c)
            characters << QString(QChar(ushort(c)));
        const QStringList classes{R"(\s)", R"(\d)", R"(\w)", R"(\S)", R"(\b)", R"((\s|\d))", R"((\w)x?)", R"([^\d]x*)", R"((\b|y))", "."};
        QCOMPARE(disagreement(classes, characters), QString());
    }

    // A list is any of its patterns. The needles of all its patterns are
    // looked for in one pass, and in the pass that finds where a text of a
    // block ends: an occurrence at any place of a text of any length,
    // across the vector widths and the ends, must still count, and one in
    // the text after it must not.
    void listIsAnyOfItsPatterns()
    {
        const QStringList events = toPatternForm(QList<QStringList>{{}, {}, {"open", "unlink"}, {}, {}, {}}).at(2);
        const QList<QStringList> lists{events, {"passwd|shadow"}, {"ab", "xyzxyzxyz"}, {"k", "zz|yy"},
                                       {"q1", "q2", "q3", "q4", "q5|q6"}, {"a^b", "zq"}, {R"((q)\1)", "zq"}};
        const QStringList words{"[s] open", "[f] unlink", "[s] openat", "passwd", "shadow", "passw", "ab", "xyzxyzxyz",
                                "xyzxyzxy", "k", "yy", "q5", "q6", "zq", "qq"};
        const QByteArray next = words.join(QLatin1Char(' ')).toUtf8() + " --";
        for (const QStringList &list : lists) {
            const CMatcher matcher({list});
            const CMatcher withDashes({list, {QStringLiteral("--")}});
            QList<QRegExp> rxs;
            for (const QString &pattern : list)
                rxs << QRegExp(pattern, Qt::CaseSensitive, QRegExp::RegExp);
            for (const QString &word : words) {
                for (int length = 0; length <= 40; ++length) {
                    for (int at = 0; at <= length; ++at) {
                        const QString text = QString(at, '-') + word + QString(length - at, '-');
                        bool expected = false;
                        for (QRegExp &rx : rxs)
                            expected = expected || rx.indexIn(text) != -1;
                        const QByteArray utf8 = text.toUtf8();
                        const QByteArray block = utf8 + '\0' + next;
                        qsizetype length = -1;
                        const bool dashes = withDashes.verdictUtf8Text(block.constData(), block.constData() + block.size(), &length)
                                            == CMatcher::Verdict::Match;
                        if (matcher.matches(text) != expected || !decidedInBlock(matcher, utf8, verdictOf(expected), next)
                            || dashes != (expected && text.contains(QStringLiteral("--"))) || length != utf8.size())
                            QFAIL(qPrintable(QStringLiteral("list \"%1\" text \"%2\"").arg(list.join('\t'), text)));
                    }
                }
            }
        }
    }

    // Administrators keep long lists of watched paths and users: a list of
    // many plain entries is compiled into little memory, and a text matches
    // exactly when it contains one of them (or matches another pattern of
    // the list), entries inside entries and characters of any plane alike.
    // The places where an entry may start are also looked for in the pass
    // that finds where a text of a block ends: an entry at any place of a
    // text of any length, after bytes outside ASCII or bad ones, must still
    // count, and one in the text after it must not.
    void longListsOfPlainEntries_data()
    {
        QTest::addColumn<int>("entries");
        QTest::addColumn<QString>("other");     // a pattern that is no plain entry, or ""
        QTest::addColumn<QStringList>("extra"); // entries besides the paths
        const QStringList inside{QStringLiteral("_77/"), QStringLiteral("le_4"), QStringLiteral("p3/f")};
        QTest::newRow("20 entries") << 20 << QString() << inside;
        QTest::newRow("20 entries, one first character") << 20 << QString() << QStringList();
        QTest::newRow("20 entries, some starting outside ASCII")
            << 20 << QString() << QStringList{QString::fromUtf8("\xc3\xa9t\xc3\xa9/"), QString::fromUtf8("\xf0\x9f\x98\x80/srv")};
        QTest::newRow("20 entries, one short") << 20 << QString() << QStringList{QStringLiteral("zq")};
        QTest::newRow("5000 entries and a pattern") << 5000 << QStringLiteral(R"(<\d+,\d+,4711,)") << inside;
        QTest::newRow("100000 entries") << 100000 << QString() << inside;
    }
    void longListsOfPlainEntries()
    {
        QFETCH(int, entries);
        QFETCH(QString, other);
        QFETCH(QStringList, extra);
        QStringList list;      // as the filter holds it
        QStringList literals;  // what each entry stands for
        for (int i = 0; i < entries; ++i) {
            QString path = QStringLiteral("/srv/data/p%1/file_%2").arg(i % 997).arg(i);
            QString pattern = path;
            if (i % 5 == 1) { // escaped punctuation is still plain
                path += QStringLiteral(".conf");
                pattern += QStringLiteral("\\.conf");
            } else if (i % 7 == 2) {
                path += QString::fromUtf8("/j\xc3\xbcrgen\xf0\x9f\x98\x80");
                pattern = path;
            }
            list << pattern;
            literals << path;
        }
        list << extra;
        literals << extra;
        if (!other.isEmpty())
            list << other;
#if VREL_HEAP_MEASURABLE
        const size_t before = heapInUse();
#endif
        const CMatcher matcher({{QStringLiteral("\\[f\\]")}, list});
#if VREL_HEAP_MEASURABLE
        const size_t added = heapInUse() - before;
        QVERIFY2(added < size_t(list.size()) * 2048, qPrintable(QStringLiteral("%1 bytes per entry").arg(added / size_t(list.size()))));
#endif
        const CMatcher alone({list});
        const QRegExp rx(other);
        QList<QByteArray> texts;
        for (int i = 0; i < std::min(entries, 2000); i += 61) {
            texts << record("f", 4711, 0, false, "open", literals.at(i)).toUtf8();
            texts << record("f", 1000, 0, false, "open", literals.at(i).chopped(1)).toUtf8();         // a near miss
            texts << record("f", 1000, 0, false, "open", literals.at(i).mid(1) + QLatin1Char('x')).toUtf8();
            texts << record("s", 1000, 0, false, "open", literals.at(i)).toUtf8();                     // the other list fails
        }
        for (const QString &entry : extra + QStringList{literals.at(0), literals.at(2)})
            texts << record("f", 1000, 0, false, "open", QStringLiteral("x") + entry).toUtf8();
        texts << record("f", 1000, 0, false, "open", QStringLiteral("/srv/dat/p3/file_9")).toUtf8();  // "p3/f"
        texts << record("f", 1000, 0, false, "open", QStringLiteral("/x/file_41")).toUtf8();          // "le_4"
        texts << record("f", 1000, 0, false, "open", QStringLiteral("/x/_7/")).toUtf8();
        if (entries <= 5000) {
            // A long entry and a short one at every place around the vector
            // widths, at the end of the text or before more, with bytes
            // outside ASCII or bad ones before it, and cut short by the
            // text's end.
            for (const QString &entry : QStringList{literals.at(0), literals.constLast()}) {
                const QByteArray path = entry.toUtf8();
                for (int at = 0; at <= 70; ++at) {
                    for (const QByteArray &lead : {QByteArray(), QByteArray("\xc3\xa9"), QByteArray("\xe2\x82")}) {
                        const QByteArray before = QByteArray(at, '-') + lead;
                        texts << before + path << before + path + QByteArray(70 - at, '-') << before + path.chopped(1);
                    }
                }
            }
        }
        // A next text in the block that holds every kind of entry.
        const QByteArray next = ("[f] " + extra.join(QLatin1Char(' ')) + QLatin1Char(' ') + literals.at(0) + QLatin1Char(' ')
                                 + literals.at(2) + QLatin1Char(' ') + literals.at(1))
                                    .toUtf8();
        // Whether `m` decides `utf8` as `expected` however it is handed out.
        const auto agrees = [&next](const CMatcher &m, const QByteArray &utf8, bool expected) {
            return m.matches(QString::fromUtf8(utf8)) == expected && decidedInBlock(m, utf8, verdictOf(expected), next);
        };
        int matching = 0;
        for (const QByteArray &utf8 : texts) {
            const QString text = QString::fromUtf8(utf8);
            bool expected = !other.isEmpty() && rx.indexIn(text) != -1;
            for (int i = 0; i < literals.size() && !expected; ++i)
                expected = text.contains(literals.at(i));
            const bool bothLists = expected && text.startsWith(QStringLiteral("[f]"));
            matching += bothLists;
            if (!agrees(alone, utf8, expected) || !agrees(matcher, utf8, bothLists))
                QFAIL(qPrintable(QStringLiteral("text \"%1\", expected %2").arg(QString::fromLatin1(utf8.toHex())).arg(expected)));
        }
        QVERIFY(matching > 0 && matching < texts.size() * 3 / 4);
    }

    // No pattern makes one text cost more than a few milliseconds: what an
    // engine cannot decide within its limits is undecided, never a non-match.
    void workPerTextIsBounded()
    {
        // Nested repetitions: QRegExp's answer, at once; where PCRE gives up, QRegExp answers.
        const QString as = record("f", 0, 0, false, "open", QString(60, QLatin1Char('a')) + QStringLiteral(" /home/bob"));
        QCOMPARE(CMatcher({{QStringLiteral("(a*)*b")}}).verdict(as), CMatcher::Verdict::Match);
        const QString xs = record("f", 0, 0, false, "open", QString(60, QLatin1Char('x')) + QStringLiteral(" xxy"));
        QCOMPARE(CMatcher({{QStringLiteral("(x+x+)+y")}}).verdict(xs), CMatcher::Verdict::Match);
        QCOMPARE(CMatcher({{QStringLiteral("(x+x+)+z")}}).verdict(xs + QLatin1Char('z')), CMatcher::Verdict::NoMatch);
        // Back-references stay with QRegExp, which takes minutes on this one.
        QCOMPARE(CMatcher({{QStringLiteral("(a|a|a|a|a|a|a|a)*\\1b")}}).verdict(QString(4000, 'a')), CMatcher::Verdict::Undecided);
        // Long runs are scanned once, not once per start.
        const QString digits(200000, QLatin1Char('7'));
        QCOMPARE(CMatcher({{QStringLiteral(".\\d+x")}}).verdict(digits), CMatcher::Verdict::NoMatch);
        QCOMPARE(CMatcher({{QStringLiteral("\\d+x")}}).verdict(digits + QLatin1Char('x')), CMatcher::Verdict::Match);
        QVERIFY(CMatcher({{QStringLiteral(".\\d+,x")}}).matches(QStringLiteral("a12,b1,x")));
        // Entries that overlap themselves make every other place of such a
        // text a possible start: walking from each would cost the text's
        // length times the entries', and the entry that comes late or not
        // at all must still be told.
        QStringList overlapping;
        for (int k = 20; k < 40; ++k)
            overlapping << QStringLiteral("/a").repeated(k) + QStringLiteral("/b");
        const CMatcher entries({overlapping});
        const QString run = QStringLiteral("/a").repeated(2000);
        for (const QString &text : {run + QStringLiteral("/b"), run + QStringLiteral("/c"), QStringLiteral("/b") + run,
                                    run + QStringLiteral("/b") + run, run.left(38) + QStringLiteral("/b") + run}) {
            // Every entry ends with the shortest one.
            const bool expected = text.contains(overlapping.first());
            const QByteArray block = text.toUtf8() + '\0' + QStringLiteral("/a/b").toUtf8();
            qsizetype length = 0;
            QCOMPARE(entries.matches(text), expected);
            QCOMPARE(entries.verdictUtf8Text(block.constData(), block.constData() + block.size(), &length)
                         == CMatcher::Verdict::Match,
                     expected);
        }
    }
    // Sets of entries where some lie inside others, or end or begin others,
    // decided as a search for each entry on its own decides them: by the
    // walks from each place and, on texts where those overlap, by the
    // automaton, over texts of random characters of one or more planes.
    void entriesInsideEntriesAgreeWithANaiveSearch_data()
    {
        QTest::addColumn<quint32>("seed");
        QTest::addColumn<QStringList>("alphabet"); // repeated characters are drawn more often
        QTest::addColumn<int>("entries");
        QTest::addColumn<int>("shortest"); // of an entry and its pieces
        QTest::addColumn<int>("longest");
        QTest::addColumn<int>("textLength");
        QTest::addColumn<QStringList>("runs"); // texts of long runs that hand the search to the automaton
        const QStringList ab{"a", "a", "b"};
        const QStringList abcd{"a", "b", "c", "d"};
        const QStringList wide{"a", "\u00e9", "/", QString::fromUtf8("\xf0\x9f\x98\x80"), "b"};
        QTest::newRow("four letters, short texts") << 1u << abcd << 16 << 3 << 6 << 30 << QStringList();
        QTest::newRow("two letters, long texts") << 2u << ab << 24 << 12 << 20 << 400 << QStringList();
        QTest::newRow("many entries, long texts") << 3u << ab << 300 << 16 << 30 << 300
                                                    << QStringList{"bc", "b", "bcd", "c", "abc"};
        QTest::newRow("other planes, short texts") << 4u << wide << 20 << 3 << 6 << 30 << QStringList();
        QTest::newRow("other planes, long texts") << 5u << wide << 60 << 6 << 12 << 300 << QStringList{"bc", "bé/"};
    }
    void entriesInsideEntriesAgreeWithANaiveSearch()
    {
        QFETCH(quint32, seed);
        QFETCH(QStringList, alphabet);
        QFETCH(int, entries);
        QFETCH(int, shortest);
        QFETCH(int, longest);
        QFETCH(int, textLength);
        QFETCH(QStringList, runs);
        QRandomGenerator random(seed);
        const auto randomText = [&](int length) {
            QString text;
            for (int i = 0; i < length; ++i)
                text += alphabet.at(random.bounded(alphabet.size()));
            return text;
        };
        QStringList list;
        while (list.size() < entries) {
            const QString entry = randomText(shortest * 2 + random.bounded(longest - shortest + 1));
            const int cut = shortest + random.bounded(entry.size() - 2 * shortest + 1);
            // Each with a piece of it inside, its end and its start.
            list << entry << entry.mid(cut / 2, cut) << entry.mid(cut) << entry.left(cut);
        }
        list.removeAll(QString());
        list.removeDuplicates();
        for (QString &entry : list) { // surrogates split apart would be no plain entries
            if (entry.at(entry.size() - 1).isHighSurrogate())
                entry.chop(1);
            if (!entry.isEmpty() && entry.at(0).isLowSurrogate())
                entry.remove(0, 1);
        }
        list.removeAll(QString());
        list.removeDuplicates();
        // Entries that a run of z's leads deep into, each ending in "abcd",
        // and a piece of their end that only the automaton's links reach.
        if (!runs.isEmpty()) {
            for (int k = 20; k < 40; ++k)
                list << QString(k, QLatin1Char('z')) + QStringLiteral("abcd");
            list << QStringLiteral("zab");
        }
        const CMatcher matcher({list});
        const int texts = 600;
        int found = 0;
        for (int i = 0; i < texts + runs.size(); ++i) {
            QString text = randomText(random.bounded(textLength + 1));
            if (i >= texts)
                text = QString(2000, QLatin1Char('z')) + QStringLiteral("a") + runs.at(i - texts);
            const QString entry = list.at(random.bounded(list.size()));
            const int at = random.bounded(text.size() + 1);
            if (i % 3 == 1 && !text.midRef(at - 1, 1).startsWith(QChar(0xd83d)))
                text.insert(at, entry);
            else if (i % 3 == 2 && !text.midRef(at - 1, 1).startsWith(QChar(0xd83d)))
                text.insert(at, entry.chopped(entry.at(entry.size() - 1).isLowSurrogate() ? 2 : 1));
            const bool expected = std::any_of(list.cbegin(), list.cend(), [&text](const QString &e) { return text.contains(e); });
            found += i < texts && expected;
            if (matcher.matches(text) != expected
                || !decidedInBlock(matcher, text.toUtf8(), verdictOf(expected), list.join(QLatin1Char(' ')).toUtf8()))
                QFAIL(qPrintable(QStringLiteral("text \"%1\", expected %2, entries %3").arg(text).arg(expected).arg(list.join(' '))));
        }
        QVERIFY2(found > texts / 10 && found < texts * 9 / 10, qPrintable(QString::number(found)));
    }
};

QTEST_GUILESS_MAIN(TestCMatcher)
#include "tst_cmatcher.moc"
