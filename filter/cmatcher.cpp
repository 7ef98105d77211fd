#include "cmatcher.h"

#include <QRegExp>
#include <QRegularExpression>
#include <QStringView>

#ifdef __x86_64__
#include <immintrin.h>
#endif

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <ctime>
#include <memory>
#include <optional>

// Filter patterns use QRegExp's syntax, but QRegExp is slow in the loops
// that test millions of records. Every pattern is therefore parsed here
// into a small tree of the constructs whose meaning is certain, and run by
// the fastest engine that gives QRegExp's answer:
//  - a linear matcher for plain sequences of characters, classes, "+"
//    runs and assertions (all the fragments the filter editor writes),
//  - PCRE through QRegularExpression, with a literal pre-check, for other
//    patterns of the common subset,
//  - QRegExp itself for anything else (back-references above all, whose
//    QRegExp answers no other engine reproduces).
// QRegExp works on UTF-16 units while PCRE works on code points; on the PCRE
// path every surrogate unit of a text therefore stands in for itself as a
// private-use code point of its own. The character classes are built from
// the same QChar properties QRegExp uses.
//
// No pattern may cost more than some tens of milliseconds on one record:
// PCRE runs under a match limit scaled to the text's length and hands a text
// it gives up on to QRegExp; QRegExp runs only while its measured cost on
// growing parts of the text says the whole text stays within its budget. A
// text that QRegExp would take longer over is undecided, never a non-match.

namespace {

// ---------------------------------------------------------------- classes

class CharSet
{
public:
    bool test(ushort c) const { return (m_bits[c >> 6] >> (c & 63)) & 1u; }
    void set(ushort c) { m_bits[c >> 6] |= quint64(1) << (c & 63); }
    void setRange(uint lo, uint hi)
    {
        for (uint c = lo; c <= hi; ++c)
            set(ushort(c));
    }
    void merge(const CharSet &other)
    {
        for (size_t i = 0; i < m_bits.size(); ++i)
            m_bits[i] |= other.m_bits[i];
    }
    void invert()
    {
        for (quint64 &word : m_bits)
            word = ~word;
    }
    bool intersects(const CharSet &other) const
    {
        for (size_t i = 0; i < m_bits.size(); ++i) {
            if (m_bits[i] & other.m_bits[i])
                return true;
        }
        return false;
    }
    bool subsetOf(const CharSet &other) const
    {
        for (size_t i = 0; i < m_bits.size(); ++i) {
            if (m_bits[i] & ~other.m_bits[i])
                return false;
        }
        return true;
    }
    // The first unit from `from` on that is (`in`) or is not in the set, or
    // 0x10000 when there is none; whole words at a time.
    uint next(uint from, bool in) const
    {
        while (from < 0x10000) {
            quint64 word = m_bits[from >> 6];
            if (!in)
                word = ~word;
            word &= ~quint64(0) << (from & 63);
            if (word)
                return (from & ~63u) + uint(__builtin_ctzll(word));
            from = (from & ~63u) + 64;
        }
        return 0x10000;
    }
    // The one character of the set, or -1 when it holds none or several.
    int single() const
    {
        int found = -1;
        for (size_t i = 0; i < m_bits.size(); ++i) {
            const quint64 word = m_bits[i];
            if (!word)
                continue;
            if (found >= 0 || (word & (word - 1)))
                return -1;
            found = int(i * 64) + __builtin_ctzll(word);
        }
        return found;
    }

private:
    std::array<quint64, 1024> m_bits{};
};

template<typename Predicate>
CharSet buildSet(Predicate belongs)
{
    CharSet s;
    for (uint c = 0; c < 0x10000; ++c) {
        if (belongs(QChar(ushort(c))))
            s.set(ushort(c));
    }
    return s;
}

// \d, \s and \w as QRegExp decides them, unit by unit.
const CharSet &digitSet()
{
    static const CharSet s = buildSet([](QChar c) { return c.category() == QChar::Number_DecimalDigit; });
    return s;
}
const CharSet &spaceSet()
{
    static const CharSet s = buildSet([](QChar c) { return c.isSpace(); });
    return s;
}
const CharSet &wordSet()
{
    static const CharSet s = buildSet([](QChar c) {
        return c.isLetterOrNumber() || c.isMark() || c == QLatin1Char('_');
    });
    return s;
}

// ------------------------------------------------------------------ tree

enum class NodeKind { Set, Group, Ahead, NotAhead, Start, End, WordBoundary, NotWordBoundary };

struct Node;
using Seq = std::vector<Node>;
using Alts = std::vector<Seq>;

struct Node
{
    NodeKind kind = NodeKind::Set;
    std::shared_ptr<CharSet> set; // Set
    Alts alts;                    // Group, Ahead, NotAhead
    int min = 1;
    int max = 1;                  // -1: no upper bound

    bool isSet() const { return kind == NodeKind::Set; }
    bool once() const { return min == 1 && max == 1; }
    bool isAssertion() const { return kind != NodeKind::Set && kind != NodeKind::Group; }
};

Node setNode(CharSet set)
{
    Node n;
    n.set = std::make_shared<CharSet>(std::move(set));
    return n;
}

Node charNode(ushort c)
{
    CharSet s;
    s.set(c);
    return setNode(std::move(s));
}

// Parses the part of QRegExp's syntax whose meaning is certain; returns
// false for everything else, which then stays with QRegExp.
class Parser
{
public:
    explicit Parser(const QString &pattern)
        : m_p(pattern)
    {
    }

    bool parse(Alts *out)
    {
        return parseAlts(out) && m_pos == m_p.size();
    }
    bool hasSurrogate() const { return m_surrogate; }

private:
    bool atEnd() const { return m_pos >= m_p.size(); }
    ushort peek() const { return m_p.at(m_pos).unicode(); }

    bool parseAlts(Alts *out)
    {
        out->emplace_back();
        if (!parseSeq(&out->back()))
            return false;
        while (!atEnd() && peek() == '|') {
            ++m_pos;
            out->emplace_back();
            if (!parseSeq(&out->back()))
                return false;
        }
        return true;
    }

    bool parseSeq(Seq *seq)
    {
        while (!atEnd() && peek() != '|' && peek() != ')') {
            Node node;
            if (!parseAtom(&node) || !parseQuantifier(&node))
                return false;
            seq->push_back(std::move(node));
        }
        return true;
    }

    bool parseAtom(Node *node)
    {
        const ushort c = peek();
        ++m_pos;
        switch (c) {
        case '(': {
            node->kind = NodeKind::Group;
            if (!atEnd() && peek() == '?') {
                ++m_pos;
                if (atEnd())
                    return false;
                const ushort k = peek();
                ++m_pos;
                if (k == '=')
                    node->kind = NodeKind::Ahead;
                else if (k == '!')
                    node->kind = NodeKind::NotAhead;
                else if (k != ':')
                    return false;
            }
            if (!parseAlts(&node->alts) || atEnd() || peek() != ')')
                return false;
            ++m_pos;
            return true;
        }
        case '[':
            return parseClass(node);
        case '.': {
            CharSet all;
            all.invert();
            *node = setNode(all);
            return true;
        }
        case '^':
            node->kind = NodeKind::Start;
            return true;
        case '$':
            node->kind = NodeKind::End;
            return true;
        case '\\':
            return parseEscape(node);
        case '*': case '+': case '?': case '{': case '}': case ']':
            return false;
        default:
            *node = charNode(literal(c));
            return true;
        }
    }

    ushort literal(ushort c)
    {
        if (QChar::isSurrogate(c))
            m_surrogate = true;
        return c;
    }

    // A control escape or an escaped punctuation character, or -1.
    int literalEscape(ushort c) const
    {
        switch (c) {
        case 'a': return 0x07;
        case 'f': return 0x0c;
        case 'n': return 0x0a;
        case 'r': return 0x0d;
        case 't': return 0x09;
        case 'v': return 0x0b;
        default: break;
        }
        if (c < 128 && !((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')))
            return c;
        return -1;
    }

    // \d \D \s \S \w \W into `out`; false for any other escape.
    static bool classEscape(ushort c, CharSet *out)
    {
        switch (c) {
        case 'd': *out = digitSet(); return true;
        case 's': *out = spaceSet(); return true;
        case 'w': *out = wordSet(); return true;
        case 'D': *out = digitSet(); out->invert(); return true;
        case 'S': *out = spaceSet(); out->invert(); return true;
        case 'W': *out = wordSet(); out->invert(); return true;
        default: return false;
        }
    }

    bool parseEscape(Node *node)
    {
        if (atEnd())
            return false;
        const ushort c = peek();
        ++m_pos;
        if (c == 'b') {
            node->kind = NodeKind::WordBoundary;
            return true;
        }
        if (c == 'B') {
            node->kind = NodeKind::NotWordBoundary;
            return true;
        }
        CharSet cls;
        if (classEscape(c, &cls)) {
            *node = setNode(cls);
            return true;
        }
        const int lit = literalEscape(c);
        if (lit < 0)
            return false;
        *node = charNode(ushort(lit));
        return true;
    }

    // One class member that can end a range: a plain or escaped character.
    bool classChar(int *out)
    {
        if (atEnd())
            return false;
        const ushort c = peek();
        if (c == '[' || c == ']')
            return false;
        ++m_pos;
        if (c != '\\') {
            *out = literal(c);
            return true;
        }
        if (atEnd())
            return false;
        const int lit = literalEscape(peek());
        if (lit < 0)
            return false;
        ++m_pos;
        *out = lit;
        return true;
    }

    bool parseClass(Node *node)
    {
        CharSet cls;
        bool negate = false;
        if (!atEnd() && peek() == '^') {
            negate = true;
            ++m_pos;
        }
        if (atEnd() || peek() == ']')
            return false; // "[]...]" has a meaning of its own in QRegExp
        bool first = true;
        while (!atEnd() && peek() != ']') {
            if (peek() == '\\' && m_pos + 1 < m_p.size()) {
                CharSet sub;
                if (classEscape(m_p.at(m_pos + 1).unicode(), &sub)) {
                    m_pos += 2;
                    if (!atEnd() && peek() == '-' && m_pos + 1 < m_p.size() && m_p.at(m_pos + 1) != QLatin1Char(']'))
                        return false;
                    cls.merge(sub);
                    first = false;
                    continue;
                }
            }
            if (peek() == '-') {
                // Only a leading or trailing '-' is certainly a literal.
                const bool last = m_pos + 1 < m_p.size() && m_p.at(m_pos + 1) == QLatin1Char(']');
                if (!first && !last)
                    return false;
                ++m_pos;
                cls.set('-');
                first = false;
                continue;
            }
            int lo = 0;
            if (!classChar(&lo))
                return false;
            if (!atEnd() && peek() == '-' && m_pos + 1 < m_p.size() && m_p.at(m_pos + 1) != QLatin1Char(']')) {
                ++m_pos;
                int hi = 0;
                if (!classChar(&hi) || hi < lo)
                    return false;
                if (!atEnd() && peek() == '-' && m_pos + 1 < m_p.size() && m_p.at(m_pos + 1) != QLatin1Char(']'))
                    return false;
                cls.setRange(uint(lo), uint(hi));
            } else {
                cls.set(ushort(lo));
            }
            first = false;
        }
        if (atEnd())
            return false;
        ++m_pos; // ']'
        if (negate)
            cls.invert();
        *node = setNode(cls);
        return true;
    }

    static bool isQuantifier(ushort c) { return c == '*' || c == '+' || c == '?' || c == '{'; }

    bool readNumber(int *out)
    {
        int value = 0;
        int digits = 0;
        while (!atEnd() && peek() >= '0' && peek() <= '9' && digits < 4) {
            value = value * 10 + (peek() - '0');
            ++digits;
            ++m_pos;
        }
        *out = value;
        return digits > 0;
    }

    bool parseQuantifier(Node *node)
    {
        if (atEnd() || !isQuantifier(peek()))
            return true;
        if (node->isAssertion())
            return false;
        const ushort c = peek();
        ++m_pos;
        if (c == '*') {
            node->min = 0;
            node->max = -1;
        } else if (c == '+') {
            node->min = 1;
            node->max = -1;
        } else if (c == '?') {
            node->min = 0;
            node->max = 1;
        } else {
            int lo = 0;
            if (!readNumber(&lo))
                return false;
            int hi = lo;
            if (!atEnd() && peek() == ',') {
                ++m_pos;
                hi = -1;
                if (!atEnd() && peek() != '}' && !readNumber(&hi))
                    return false;
            }
            if (atEnd() || peek() != '}')
                return false;
            ++m_pos;
            if (lo > 255 || hi > 255 || (hi >= 0 && hi < lo))
                return false;
            node->min = lo;
            node->max = hi;
        }
        return atEnd() || !isQuantifier(peek());
    }

    const QString &m_p;
    int m_pos = 0;
    bool m_surrogate = false;
};

// ------------------------------------------------------- simplification

void simplifyAlts(Alts *alts);

// (x*)*, (x+)+, (x?)+ and the like say no more than x* or x+ about whether a
// text matches, but cost a backtracking engine exponential time; one
// repetition is kept.
void collapseNestedRepeat(Node *node)
{
    while (node->kind == NodeKind::Group && node->max == -1 && node->min <= 1 && node->alts.size() == 1
           && node->alts.front().size() == 1) {
        Node &inner = node->alts.front().front();
        const bool open = inner.max == -1 && inner.min <= 1;
        const bool optional = inner.min == 0 && inner.max == 1;
        if (inner.isAssertion() || (!open && !optional))
            return;
        const int min = node->min && inner.min ? 1 : 0;
        Node merged = std::move(inner);
        merged.min = min;
        merged.max = -1;
        *node = std::move(merged);
    }
}

// Within a sequence: groups that add nothing are spliced in, groups of
// single characters become classes, and word boundaries between two
// classes that are wholly word or wholly non-word are decided here.
void simplifySeq(Seq *seq)
{
    Seq out;
    for (Node &node : *seq) {
        if (node.kind == NodeKind::Group || node.kind == NodeKind::Ahead || node.kind == NodeKind::NotAhead)
            simplifyAlts(&node.alts);
        collapseNestedRepeat(&node);
        if (node.kind == NodeKind::Group && node.once() && node.alts.size() == 1) {
            for (Node &inner : node.alts.front())
                out.push_back(std::move(inner));
            continue;
        }
        if (node.kind == NodeKind::Group) {
            bool singles = true;
            for (const Seq &alt : node.alts)
                singles = singles && alt.size() == 1 && alt.front().isSet() && alt.front().once();
            if (singles) {
                CharSet u;
                for (const Seq &alt : node.alts)
                    u.merge(*alt.front().set);
                Node merged = setNode(u);
                merged.min = node.min;
                merged.max = node.max;
                out.push_back(std::move(merged));
                continue;
            }
        }
        out.push_back(std::move(node));
    }

    // -1: never a word character, 1: always, 0: depends on the text.
    auto wordness = [](const Node &n) {
        if (!n.isSet() || !n.once())
            return 0;
        if (n.set->subsetOf(wordSet()))
            return 1;
        if (!n.set->intersects(wordSet()))
            return -1;
        return 0;
    };
    Seq decided;
    for (size_t i = 0; i < out.size(); ++i) {
        const Node &node = out[i];
        const bool boundary = node.kind == NodeKind::WordBoundary || node.kind == NodeKind::NotWordBoundary;
        if (boundary && i > 0 && i + 1 < out.size()) {
            const int before = wordness(out[i - 1]);
            const int after = wordness(out[i + 1]);
            if (before != 0 && after != 0) {
                const bool isBoundary = before != after;
                const bool holds = (node.kind == NodeKind::WordBoundary) == isBoundary;
                if (holds)
                    continue;
                decided.push_back(setNode(CharSet())); // can never match
                continue;
            }
        }
        decided.push_back(node);
    }
    *seq = std::move(decided);
}

void simplifyAlts(Alts *alts)
{
    for (Seq &seq : *alts)
        simplifySeq(&seq);
}

// ------------------------------------------------------ text searching

inline bool hasSurrogate(const ushort *t, qsizetype n)
{
    ushort acc = 0;
    for (qsizetype i = 0; i < n; ++i)
        acc |= ushort((t[i] & 0xf800) == 0xd800);
    return acc != 0;
}

// Surrogate units of a text go to PCRE as code points of plane 15, one per
// unit, so that PCRE sees as many characters as QRegExp does.
constexpr uint kStandInBase = 0xF0000;

inline uint surrogateStandIn(uint unit)
{
    return kStandInBase + (unit - 0xD800);
}

QString withStandIns(QStringView text)
{
    QString out;
    out.reserve(text.size() * 2);
    for (const QChar c : text) {
        if (c.isSurrogate()) {
            const uint cp = surrogateStandIn(c.unicode());
            out.append(QChar(QChar::highSurrogate(cp)));
            out.append(QChar(QChar::lowSurrogate(cp)));
        } else {
            out.append(c);
        }
    }
    return out;
}

// A rough frequency of `c` in record texts: the needle is looked for by its
// rarest character, so that fewer candidates need a full comparison.
int commonness(ushort c)
{
    if (c == ' ')
        return 100;
    if (c >= '0' && c <= '9')
        return 60;
    if (c >= 'a' && c <= 'z') {
        static const char order[] = "etaoinsrhldcumfpgwybvkxjqz";
        return 50 - int(std::strchr(order, c) - order);
    }
    switch (c) {
    // Every record holds these several times: "[k] <a,b,c,d,e> [s] ".
    case '[': case ']': case '<': case '>': case ',': return 55;
    case '/': return 50;
    case '-': case '.': case ':': case '_': return 30;
    default: break;
    }
    if (c >= 'A' && c <= 'Z')
        return 10;
    return 5;
}

// Characters at fixed distances from each other (a literal, or the plain
// characters of a fixed-width start of a pattern), looked for in texts by up
// to three of them at once, the rarest ones, sixteen or eight starting
// positions at a time: most places that hold one of them are passed over
// without a comparison.

class Needle
{
public:
    struct Unit
    {
        int offset;
        ushort ch;
    };

    Needle() = default;
    explicit Needle(const QString &text)
    {
        std::vector<Unit> units;
        for (int i = 0; i < text.size(); ++i)
            units.push_back({i, text.at(i).unicode()});
        *this = Needle(units);
    }
    explicit Needle(std::vector<Unit> units)
        : m_units(std::move(units))
    {
        for (const Unit &u : m_units)
            m_span = std::max(m_span, u.offset + 1);
        // Keys: the rarest units, each of a character no earlier key has
        // (while there are such), so that "[f]" is told from "[s]".
        std::vector<bool> taken(m_units.size(), false);
        while (m_keys < int(std::size(m_key)) && m_keys < int(m_units.size())) {
            int best = -1;
            int bestScore = 1 << 30;
            for (size_t i = 0; i < m_units.size(); ++i) {
                if (taken[i])
                    continue;
                bool repeated = false;
                for (int k = 0; k < m_keys; ++k)
                    repeated = repeated || m_key[k].ch == m_units[i].ch;
                const int score = commonness(m_units[i].ch) + (repeated ? 1000 : 0);
                if (score < bestScore) {
                    bestScore = score;
                    best = int(i);
                }
            }
            taken[size_t(best)] = true;
            m_key[m_keys++] = m_units[size_t(best)];
        }
        m_keysCoverAll = m_keys == int(m_units.size());
    }
    bool isEmpty() const { return m_units.empty(); }

    // First index >= from where the needle lies in `hay`, or -1.
    qsizetype find(QStringView hay, qsizetype from) const
    {
        switch (m_keys) {
        case 0: return from <= hay.size() ? from : -1;
        case 1: return findWith<1>(hay, from);
        case 2: return findWith<2>(hay, from);
        default: return findWith<3>(hay, from);
        }
    }

private:
    friend class NeedleSet;

    // `keysSeen`: whether every key is known to be in place already.
    bool equalAt(const ushort *h, qsizetype start, bool keysSeen) const
    {
        if (m_keysCoverAll && keysSeen)
            return true;
        for (const Unit &u : m_units) {
            if (h[start + u.offset] != u.ch)
                return false;
        }
        return true;
    }

    // Bit 2k of `bits` marks a candidate start at from + k.
    qsizetype firstOf(quint32 bits, const ushort *h, qsizetype from, bool keysSeen = true) const
    {
        while (bits) {
            const qsizetype start = from + __builtin_ctz(bits) / 2;
            if (equalAt(h, start, keysSeen))
                return start;
            bits &= bits - 1;
            bits &= bits - 1; // both bytes of the unit
        }
        return -1;
    }

    template<int K>
    qsizetype findWith(QStringView hay, qsizetype from) const
    {
        const qsizetype last = hay.size() - m_span;
        const ushort *h = reinterpret_cast<const ushort *>(hay.utf16());
#ifdef __x86_64__
        static const bool avx2 = __builtin_cpu_supports("avx2");
        const qsizetype at = avx2 ? scanWide<K>(h, &from, last) : scanNarrow<K>(h, &from, last);
#else
        const qsizetype at = scanNarrow<K>(h, &from, last);
#endif
        if (at >= 0)
            return at;
        for (; from <= last; ++from) {
            bool keys = true;
            for (int k = 0; k < K; ++k)
                keys = keys && h[from + m_key[k].offset] == m_key[k].ch;
            if (keys && equalAt(h, from, true))
                return from;
        }
        return -1;
    }

    // The vector loops: a match found, or -1 with *from where they stopped.
    template<int K>
    qsizetype scanNarrow(const ushort *h, qsizetype *from, qsizetype last) const
    {
#ifdef __SSE2__
        __m128i want[K];
        for (int k = 0; k < K; ++k)
            want[k] = _mm_set1_epi16(short(m_key[k].ch));
        const auto hits = [&](qsizetype f) {
            __m128i hit = _mm_cmpeq_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i *>(h + f + m_key[0].offset)), want[0]);
            for (int k = 1; k < K; ++k)
                hit = _mm_and_si128(hit, _mm_cmpeq_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i *>(h + f + m_key[k].offset)), want[k]));
            return quint32(_mm_movemask_epi8(hit));
        };
        qsizetype f = *from;
        for (; f + 7 <= last; f += 8) {
            const quint32 bits = hits(f);
            if (bits) {
                const qsizetype at = firstOf(bits, h, f);
                if (at >= 0)
                    return at;
            }
        }
        // The rest in one last step that ends at `last`, overlapping what
        // was done; starts before f are masked off.
        if (f <= last && last >= 7) {
            const qsizetype g = last - 7;
            const quint32 bits = hits(g) & ~((quint32(1) << (2 * (f - g))) - 1);
            f = last + 1;
            if (bits) {
                const qsizetype at = firstOf(bits, h, g);
                if (at >= 0)
                    return at;
            }
        }
        *from = f;
#else
        Q_UNUSED(h);
        Q_UNUSED(from);
        Q_UNUSED(last);
#endif
        return -1;
    }

#ifdef __x86_64__
    template<int K>
    __attribute__((target("avx2"))) qsizetype scanWide(const ushort *h, qsizetype *from, qsizetype last) const
    {
        __m256i want[K];
        for (int k = 0; k < K; ++k)
            want[k] = _mm256_set1_epi16(short(m_key[k].ch));
        const auto hits = [&](qsizetype f) __attribute__((target("avx2"))) {
            __m256i hit = _mm256_cmpeq_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i *>(h + f + m_key[0].offset)), want[0]);
            for (int k = 1; k < K; ++k)
                hit = _mm256_and_si256(hit, _mm256_cmpeq_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i *>(h + f + m_key[k].offset)), want[k]));
            return quint32(_mm256_movemask_epi8(hit));
        };
        qsizetype f = *from;
        for (; f + 15 <= last; f += 16) {
            const quint32 bits = hits(f);
            if (bits) {
                const qsizetype at = firstOf(bits, h, f);
                if (at >= 0)
                    return at;
            }
        }
        if (f <= last && last >= 15) {
            const qsizetype g = last - 15;
            const quint64 keep = ~((quint64(1) << (2 * (f - g))) - 1);
            const quint32 bits = hits(g) & quint32(keep);
            f = last + 1;
            if (bits) {
                const qsizetype at = firstOf(bits, h, g);
                if (at >= 0)
                    return at;
            }
        }
        *from = f;
        return -1;
    }
#endif

    std::vector<Unit> m_units;
    int m_span = 0;
    Unit m_key[3] = {};
    int m_keys = 0;
    bool m_keysCoverAll = false;
};

// Several needles looked for in one pass over a text, each by its two
// rarest characters: a text that holds none of them, as most texts a filter
// passes over, costs about one search instead of one per needle.
class NeedleSet
{
public:
    explicit NeedleSet(std::vector<const Needle *> needles)
        : m_needles(std::move(needles))
    {
        for (size_t i = 0; i < m_needles.size(); ++i) {
            const Needle &needle = *m_needles[i];
            m_keys.push_back({needle.m_key[0], needle.m_key[needle.m_keys > 1 ? 1 : 0]});
            if (i % kGroup == 0)
                m_groupSpans.push_back(0);
            m_groupSpans.back() = std::max(m_groupSpans.back(), needle.m_span);
        }
    }

    // Whether one of the needles lies somewhere in `hay`.
    bool anyIn(QStringView hay) const
    {
        for (size_t first = 0; first < m_needles.size(); first += kGroup) {
            if (groupIn(first, std::min(m_needles.size(), first + kGroup), hay))
                return true;
        }
        return false;
    }

private:
    // Needles scanned together: their characters stay in registers.
    static constexpr size_t kGroup = 4;

    bool groupIn(size_t first, size_t end, QStringView hay) const
    {
        const Needle *const *group = m_needles.data() + first;
        const size_t count = end - first;
        // The last start where every needle of the group fits.
        const qsizetype last = hay.size() - m_groupSpans[first / kGroup];
#ifdef __x86_64__
        static const bool avx2 = __builtin_cpu_supports("avx2");
        const ushort *h = reinterpret_cast<const ushort *>(hay.utf16());
        if (avx2 && last >= 15) {
            switch (count) {
            case 1: return scanWide<1>(first, h, hay.size(), last);
            case 2: return scanWide<2>(first, h, hay.size(), last);
            case 3: return scanWide<3>(first, h, hay.size(), last);
            default: return scanWide<4>(first, h, hay.size(), last);
            }
        }
#endif
        for (size_t i = 0; i < count; ++i) {
            if (group[i]->find(hay, 0) >= 0)
                return true;
        }
        return false;
    }

#ifdef __x86_64__
    // Sixteen starts at a time for all N needles, then one last step that
    // ends where the longest needle last fits (starts already done are
    // masked off), then the few starts beyond where only shorter ones fit.
    template<size_t N>
    __attribute__((target("avx2"))) bool scanWide(size_t first, const ushort *h, qsizetype n, qsizetype last) const
    {
        const Needle *const *group = m_needles.data() + first;
        // The loops over the needles are unrolled so that their characters
        // stay in registers.
        __m256i want[N][2];
        int offset[N][2];
#pragma GCC unroll 4
        for (size_t i = 0; i < N; ++i) {
            for (int k = 0; k < 2; ++k) {
                want[i][k] = _mm256_set1_epi16(short(m_keys[first + i][k].ch));
                offset[i][k] = m_keys[first + i][k].offset;
            }
        }
        const auto hits = [&](size_t i, qsizetype f) __attribute__((target("avx2"))) {
            const __m256i a = _mm256_cmpeq_epi16(
                _mm256_loadu_si256(reinterpret_cast<const __m256i *>(h + f + offset[i][0])), want[i][0]);
            const __m256i b = _mm256_cmpeq_epi16(
                _mm256_loadu_si256(reinterpret_cast<const __m256i *>(h + f + offset[i][1])), want[i][1]);
            return quint32(_mm256_movemask_epi8(_mm256_and_si256(a, b)));
        };
        qsizetype f = 0;
        for (; f + 15 <= last; f += 16) {
#pragma GCC unroll 4
            for (size_t i = 0; i < N; ++i) {
                const quint32 bits = hits(i, f);
                if (bits && group[i]->firstOf(bits, h, f, false) >= 0)
                    return true;
            }
        }
        if (f <= last) {
            const qsizetype g = last - 15;
            const quint32 keep = quint32(~((quint64(1) << (2 * (f - g))) - 1));
#pragma GCC unroll 4
            for (size_t i = 0; i < N; ++i) {
                const quint32 bits = hits(i, g) & keep;
                if (bits && group[i]->firstOf(bits, h, g, false) >= 0)
                    return true;
            }
        }
#pragma GCC unroll 4
        for (size_t i = 0; i < N; ++i) {
            for (qsizetype start = last + 1; start <= n - group[i]->m_span; ++start) {
                if (group[i]->equalAt(h, start, false))
                    return true;
            }
        }
        return false;
    }
#endif

    std::vector<const Needle *> m_needles;
    std::vector<std::array<Needle::Unit, 2>> m_keys; // the two rarest of each needle
    std::vector<int> m_groupSpans;                   // the longest needle of each group
};

// ------------------------------------------------------------- patterns

using Verdict = CMatcher::Verdict;

inline Verdict verdictOf(bool found)
{
    return found ? Verdict::Match : Verdict::NoMatch;
}

class Pattern
{
public:
    virtual ~Pattern() = default;
    virtual Verdict search(const QString &text) const = 0;
    // Adds needles one of which every text that matches holds; false when
    // the pattern has no such needles.
    virtual bool needles(std::vector<const Needle *> *out) const
    {
        Q_UNUSED(out);
        return false;
    }
};

class NeverPattern : public Pattern
{
public:
    Verdict search(const QString &) const override { return Verdict::NoMatch; }
    bool needles(std::vector<const Needle *> *) const override { return true; }
};

// Processor time of this thread: a probe must not count the time the
// machine gave to others.
qint64 threadNanos()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

// QRegExp has no limit of its own and cannot be interrupted; its cost grows
// with the text as a power of its length that depends on the pattern (the
// third and more with back-references). It is therefore run first on parts
// of the text, from both ends, each twice as long as the one before; the
// growth of their cost tells what the next part, and at last the whole
// text, will cost, and the text is left undecided as soon as that would go
// past the budget.
class RegExpPattern : public Pattern
{
public:
    explicit RegExpPattern(const QRegExp &rx)
        : m_rx(rx)
    {
    }
    Verdict search(const QString &text) const override
    {
        const qsizetype n = text.size();
        qint64 total = 0;
        qint64 previous = 0;
        for (qsizetype length = kFirstProbe; length < n; length *= 2) {
            const qint64 start = threadNanos();
            m_rx.indexIn(text.left(int(length)));
            m_rx.indexIn(text.right(int(length)));
            const qint64 spent = std::max<qint64>(threadNanos() - start, 1);
            total += spent;
            // Below some microseconds the clock tells nothing of the growth.
            const double growth = previous > kMeasurable
                ? std::clamp(double(spent) / double(previous), 2.0, 64.0) : 8.0;
            // Two parts of this length cost `spent`; what comes next costs
            // that times the growth per doubling of the length.
            const qsizetype next = std::min(2 * length, n);
            const double parts = next < n ? 2.0 : 1.0;
            const double predicted = double(spent) / 2.0 * parts * std::pow(growth, std::log2(double(next) / double(length)));
            if (double(total) + predicted > double(kBudgetNs))
                return Verdict::Undecided;
            previous = spent;
        }
        return verdictOf(m_rx.indexIn(text) != -1);
    }

private:
    static constexpr qsizetype kFirstProbe = 16;
    static constexpr qint64 kMeasurable = 20000;
    static constexpr qint64 kBudgetNs = 20000000;
    // indexIn() records the captures in the object; a private copy keeps
    // that from touching anybody else's.
    mutable QRegExp m_rx;
};

// A sequence of single characters, classes, "+" runs whose class cannot
// contain what follows them, and assertions: decided left to right
// without backtracking, unit by unit as QRegExp does.
class LinearPattern : public Pattern
{
public:
    enum class Op : quint8 { Char, Class, Start, End, WordBoundary, NotWordBoundary, Ahead, NotAhead };
    struct Item
    {
        Op op = Op::Char;
        bool plus = false;
        int run = -1; // number of the "+" run
        ushort ch = 0;
        const CharSet *set = nullptr;
    };

    static std::unique_ptr<LinearPattern> build(const Alts &alts)
    {
        if (alts.size() != 1)
            return nullptr;
        const Seq &seq = alts.front();
        std::unique_ptr<LinearPattern> p(new LinearPattern);
        for (size_t i = 0; i < seq.size(); ++i) {
            const Node &node = seq[i];
            Item item;
            switch (node.kind) {
            case NodeKind::Set: {
                const bool plus = node.min == 1 && node.max == -1;
                if (!node.once() && !plus)
                    return nullptr;
                if (plus) {
                    // The run must end where the next item begins.
                    if (i + 1 < seq.size()) {
                        const Node &next = seq[i + 1];
                        if (next.kind == NodeKind::End) {
                        } else if (!next.isSet() || next.min != 1 || next.set->intersects(*node.set)) {
                            return nullptr;
                        }
                    }
                }
                const int single = node.set->single();
                item.plus = plus;
                if (plus)
                    item.run = p->m_runs++;
                if (single >= 0) {
                    item.op = Op::Char;
                    item.ch = ushort(single);
                } else {
                    item.op = Op::Class;
                }
                p->m_sets.push_back(node.set);
                item.set = node.set.get();
                break;
            }
            case NodeKind::Start: item.op = Op::Start; break;
            case NodeKind::End: item.op = Op::End; break;
            case NodeKind::WordBoundary: item.op = Op::WordBoundary; break;
            case NodeKind::NotWordBoundary: item.op = Op::NotWordBoundary; break;
            case NodeKind::Ahead:
            case NodeKind::NotAhead: {
                if (node.alts.size() != 1 || node.alts.front().size() != 1)
                    return nullptr;
                const Node &inner = node.alts.front().front();
                if (!inner.isSet() || !inner.once())
                    return nullptr;
                item.op = node.kind == NodeKind::Ahead ? Op::Ahead : Op::NotAhead;
                p->m_sets.push_back(inner.set);
                item.set = inner.set.get();
                break;
            }
            case NodeKind::Group:
                return nullptr;
            }
            p->m_items.push_back(item);
        }
        p->planSearch();
        return p;
    }

    Verdict search(const QString &text) const override
    {
        return verdictOf(find(text));
    }
    bool needles(std::vector<const Needle *> *out) const override
    {
        const Needle &needle = m_required.isEmpty() ? m_needle : m_required;
        if (needle.isEmpty())
            return false;
        out->push_back(&needle);
        return true;
    }

private:
    bool find(const QString &text) const
    {
        const QStringView view(text);
        const ushort *t = reinterpret_cast<const ushort *>(view.utf16());
        const qsizetype n = view.size();
        if (!m_required.isEmpty() && m_required.find(view, 0) < 0)
            return false;
        RunMemo memo;
        if (m_anchored)
            return matchAt(t, n, 0, &memo);
        if (!m_needle.isEmpty()) {
            qsizetype from = 0;
            while (true) {
                const qsizetype at = m_needle.find(view, from);
                if (at < 0)
                    return false;
                if (matchAt(t, n, at, &memo))
                    return true;
                from = at + 1;
            }
        }
        // A leading "+" run that fails from its first character fails from
        // any later one too, so only the starts of runs are tried; this keeps
        // long runs from being scanned once per character.
        const Item *lead = m_items.empty() ? nullptr : &m_items.front();
        const bool leadingRun = lead && lead->plus;
        for (qsizetype start = 0; start <= n; ++start) {
            if (leadingRun && start > 0 && lead->set->test(t[start - 1]))
                continue;
            if (matchAt(t, n, start, &memo))
                return true;
        }
        return false;
    }

    // The runs of one search that ended in a failure. A "+" run never gives
    // back what it took, so an attempt whose run starts inside such a run
    // ends where it ended and fails as it failed; remembering them keeps
    // the search linear in the text (".\d+x" over a long run of digits).
    class RunMemo
    {
    public:
        // Whether an attempt whose run `run` starts at `pos` is bound to fail.
        bool failed(int run, qsizetype pos) const
        {
            const Span *span = find(run);
            return span && pos >= span->start && pos < span->end;
        }
        void remember(int run, qsizetype start, qsizetype end)
        {
            if (run < kFixed) {
                m_fixed[size_t(run)] = {start, end};
                m_valid |= quint64(1) << run;
                return;
            }
            if (m_more.size() <= size_t(run - kFixed))
                m_more.resize(size_t(run - kFixed) + 1, Span{0, 0});
            m_more[size_t(run - kFixed)] = {start, end};
        }

    private:
        struct Span
        {
            qsizetype start;
            qsizetype end;
        };
        static constexpr int kFixed = 64;
        const Span *find(int run) const
        {
            if (run < kFixed)
                return (m_valid >> run) & 1 ? &m_fixed[size_t(run)] : nullptr;
            return size_t(run - kFixed) < m_more.size() ? &m_more[size_t(run - kFixed)] : nullptr;
        }
        quint64 m_valid = 0;
        std::array<Span, kFixed> m_fixed; // only entries marked in m_valid are set
        std::vector<Span> m_more;
    };

    void planSearch()
    {
        m_anchored = !m_items.empty() && m_items.front().op == Op::Start;
        // The plain characters in front of the first item of varying width
        // lie at fixed distances from the start of a match: they are searched
        // for together. A longer run of plain characters further on cannot
        // say where a match starts, but a text without it cannot match: it
        // is looked for once, before anything else.
        std::vector<Needle::Unit> fixed;
        int width = 0;
        QString run;
        QString longest;
        for (const Item &item : m_items) {
            if (item.op == Op::Char && !item.plus) {
                if (width >= 0)
                    fixed.push_back({width++, item.ch});
                run.append(QChar(item.ch));
                continue;
            }
            if (run.size() > longest.size())
                longest = run;
            run.clear();
            if (item.plus)
                width = -1;
            else if (item.op == Op::Class && width >= 0)
                ++width;
        }
        if (run.size() > longest.size())
            longest = run;
        m_needle = Needle(fixed);
        if (longest.size() > int(fixed.size()))
            m_required = Needle(longest);
    }

    static bool isWord(const ushort *t, qsizetype n, qsizetype pos)
    {
        return pos >= 0 && pos < n && wordSet().test(t[pos]);
    }

    bool matchAt(const ushort *t, qsizetype n, qsizetype pos, RunMemo *memo) const
    {
        if (pos < 0)
            return false;
        // The run of the current attempt that a failure would be charged to.
        int lastRun = -1;
        qsizetype runStart = 0;
        qsizetype runEnd = 0;
        const auto fail = [&] {
            if (lastRun >= 0)
                memo->remember(lastRun, runStart, runEnd);
            return false;
        };
        for (const Item &item : m_items) {
            switch (item.op) {
            case Op::Char:
            case Op::Class: {
                const bool in = pos < n && (item.op == Op::Char ? t[pos] == item.ch : item.set->test(t[pos]));
                if (!in)
                    return fail();
                if (!item.plus) {
                    ++pos;
                    break;
                }
                if (memo->failed(item.run, pos))
                    return false;
                lastRun = item.run;
                runStart = pos;
                ++pos;
                if (item.op == Op::Char) {
                    while (pos < n && t[pos] == item.ch)
                        ++pos;
                } else {
                    while (pos < n && item.set->test(t[pos]))
                        ++pos;
                }
                runEnd = pos;
                break;
            }
            case Op::Start:
                if (pos != 0)
                    return fail();
                break;
            case Op::End:
                if (pos != n)
                    return fail();
                break;
            case Op::WordBoundary:
                if (isWord(t, n, pos - 1) == isWord(t, n, pos))
                    return fail();
                break;
            case Op::NotWordBoundary:
                if (isWord(t, n, pos - 1) != isWord(t, n, pos))
                    return fail();
                break;
            case Op::Ahead:
                if (pos >= n || !item.set->test(t[pos]))
                    return fail();
                break;
            case Op::NotAhead:
                if (pos < n && item.set->test(t[pos]))
                    return fail();
                break;
            }
        }
        return true;
    }

    std::vector<Item> m_items;
    int m_runs = 0;
    std::vector<std::shared_ptr<CharSet>> m_sets;
    bool m_anchored = false;
    Needle m_needle;   // the plain characters of the fixed-width start
    Needle m_required; // a longer literal further on; usually empty
};

// PCRE source for the tree; every character is written as \x{...} so that
// nothing is read with PCRE's own extensions.
class Emitter
{
public:
    static QString alts(const Alts &a)
    {
        QString out;
        for (size_t i = 0; i < a.size(); ++i) {
            if (i)
                out += QLatin1Char('|');
            out += seq(a[i]);
        }
        return out;
    }

private:
    static QString seq(const Seq &s)
    {
        QString out;
        for (const Node &node : s)
            out += emitNode(node);
        return out;
    }

    static QString hex(uint c)
    {
        return QStringLiteral("\\x{") + QString::number(c, 16) + QLatin1Char('}');
    }

    // PCRE code point standing for `unit`: itself, or for a surrogate the
    // private-use stand-in that texts carry in its place.
    static uint codePoint(uint unit)
    {
        return QChar::isSurrogate(unit) ? surrogateStandIn(unit) : unit;
    }

    // Ranges of `set` as PCRE code points (surrogates as their stand-ins,
    // which keep their order and so stay ranges).
    static QString ranges(const CharSet &set, int *count)
    {
        QString out;
        *count = 0;
        for (uint c = set.next(0, true); c < 0x10000; c = set.next(c, true)) {
            // A range never spans the edges of the surrogates, whose
            // stand-ins lie elsewhere.
            const uint edge = c < 0xD800 ? 0xD800 : c < 0xE000 ? 0xE000 : 0x10000;
            const uint end = std::min(set.next(c, false), edge) - 1;
            out += hex(codePoint(c));
            if (end > c)
                out += QLatin1Char('-') + hex(codePoint(end));
            ++*count;
            c = end + 1;
        }
        return out;
    }

    static QString emitSet(const CharSet &set)
    {
        int in = 0;
        int out = 0;
        const QString inside = ranges(set, &in);
        CharSet inverse = set;
        inverse.invert();
        const QString outside = ranges(inverse, &out);
        if (in == 0)
            return QStringLiteral("(?!)");
        if (out == 0)
            return QStringLiteral("(?s:.)");
        if (in == 1 && set.single() >= 0)
            return inside;
        if (out < in)
            return QStringLiteral("[^") + outside + QLatin1Char(']');
        return QLatin1Char('[') + inside + QLatin1Char(']');
    }

    static QString quantifier(const Node &n)
    {
        if (n.once())
            return {};
        if (n.min == 0 && n.max == -1)
            return QStringLiteral("*");
        if (n.min == 1 && n.max == -1)
            return QStringLiteral("+");
        if (n.min == 0 && n.max == 1)
            return QStringLiteral("?");
        if (n.max == -1)
            return QStringLiteral("{%1,}").arg(n.min);
        if (n.max == n.min)
            return QStringLiteral("{%1}").arg(n.min);
        return QStringLiteral("{%1,%2}").arg(n.min).arg(n.max);
    }

    static QString emitNode(const Node &n)
    {
        static const QString word = emitSet(wordSet());
        switch (n.kind) {
        case NodeKind::Set: {
            const QString body = emitSet(*n.set);
            if (n.once())
                return body;
            return QStringLiteral("(?:") + body + QLatin1Char(')') + quantifier(n);
        }
        case NodeKind::Group:
            return QStringLiteral("(?:") + alts(n.alts) + QLatin1Char(')') + quantifier(n);
        case NodeKind::Ahead:
            return QStringLiteral("(?=") + alts(n.alts) + QLatin1Char(')');
        case NodeKind::NotAhead:
            return QStringLiteral("(?!") + alts(n.alts) + QLatin1Char(')');
        case NodeKind::Start:
            return QStringLiteral("\\A");
        case NodeKind::End:
            return QStringLiteral("\\z");
        case NodeKind::WordBoundary:
            return QStringLiteral("(?:(?<=%1)(?!%1)|(?<!%1)(?=%1))").arg(word);
        case NodeKind::NotWordBoundary:
            return QStringLiteral("(?:(?<=%1)(?=%1)|(?<!%1)(?!%1))").arg(word);
        }
        return {};
    }
};

// PCRE under a match limit per starting position that shrinks as the text
// grows, so that a whole search stays within a few million steps however
// much the pattern backtracks; one compiled expression per power of two of
// text length, made when first needed. A text that hits the limit goes to
// QRegExp, whose cost grows with the text but not exponentially with the
// nesting of repetitions, under its own budget.
class PcrePattern : public Pattern
{
public:
    PcrePattern(const QString &source, const QStringList &needles, const QRegExp &fallback)
        : m_source(source)
        , m_fallback(fallback)
    {
        for (const QString &needle : needles)
            m_needles.emplace_back(needle);
    }
    bool valid() const { return expression(0).isValid(); }
    bool needles(std::vector<const Needle *> *out) const override
    {
        for (const Needle &needle : m_needles)
            out->push_back(&needle);
        return !m_needles.empty();
    }

    Verdict search(const QString &text) const override
    {
        const QStringView view(text);
        if (!m_needles.empty()) {
            bool found = false;
            for (const Needle &needle : m_needles) {
                if (needle.find(view, 0) >= 0) {
                    found = true;
                    break;
                }
            }
            if (!found)
                return Verdict::NoMatch;
        }
        const bool standIns = hasSurrogate(reinterpret_cast<const ushort *>(view.utf16()), view.size());
        const QString subject = standIns ? withStandIns(view) : text;
        const QRegularExpressionMatch match = expression(lengthClass(subject.size()))
            .match(subject, 0, QRegularExpression::NormalMatch,
                   standIns ? QRegularExpression::NoMatchOption : QRegularExpression::DontCheckSubjectStringMatchOption);
        if (!match.isValid())
            return m_fallback.search(text);
        return verdictOf(match.hasMatch());
    }

private:
    static constexpr int kClasses = 24;
    static constexpr qint64 kSteps = qint64(1) << 22;

    static int lengthClass(qsizetype length)
    {
        int c = 0;
        while (c + 1 < kClasses && (qsizetype(1) << c) < length)
            ++c;
        return c;
    }

    const QRegularExpression &expression(int lengthClass) const
    {
        auto &slot = m_byLength[size_t(lengthClass)];
        if (!slot) {
            const qint64 limit = std::max<qint64>(kSteps >> lengthClass, 16);
            slot = std::make_unique<QRegularExpression>(
                QStringLiteral("(*LIMIT_MATCH=%1)(*LIMIT_DEPTH=%1)").arg(limit) + m_source,
                QRegularExpression::DontCaptureOption);
            slot->optimize();
        }
        return *slot;
    }

    QString m_source;
    std::vector<Needle> m_needles; // every match contains one of them
    mutable std::array<std::unique_ptr<QRegularExpression>, kClasses> m_byLength;
    RegExpPattern m_fallback;
};

// Alternatives that are plain strings: finding one is the answer.
class LiteralsPattern : public Pattern
{
public:
    explicit LiteralsPattern(const QStringList &literals)
    {
        for (const QString &literal : literals)
            m_needles.emplace_back(literal);
    }
    Verdict search(const QString &text) const override
    {
        for (const Needle &needle : m_needles) {
            if (needle.find(text, 0) >= 0)
                return Verdict::Match;
        }
        return Verdict::NoMatch;
    }
    bool needles(std::vector<const Needle *> *out) const override
    {
        for (const Needle &needle : m_needles)
            out->push_back(&needle);
        return true;
    }

private:
    std::vector<Needle> m_needles;
};

// The strings of `alts` when every alternative is a plain, non-empty string.
QStringList plainStrings(const Alts &alts)
{
    QStringList strings;
    for (const Seq &seq : alts) {
        QString text;
        for (const Node &node : seq) {
            const int single = node.isSet() && node.once() ? node.set->single() : -1;
            if (single < 0)
                return {};
            text.append(QChar(ushort(single)));
        }
        if (text.isEmpty())
            return {};
        strings.append(text);
    }
    return strings;
}

// The longest run of plain characters that every match of `seq` contains.
QString requiredLiteral(const Seq &seq)
{
    QString best;
    QString run;
    for (const Node &node : seq) {
        const int single = node.isSet() ? node.set->single() : -1;
        if (single >= 0 && node.once()) {
            run.append(QChar(ushort(single)));
            continue;
        }
        if (run.size() > best.size())
            best = run;
        run.clear();
    }
    return run.size() > best.size() ? run : best;
}

// One required literal per alternative, or none when some alternative has none.
QStringList requiredLiterals(const Alts &alts)
{
    QStringList literals;
    for (const Seq &seq : alts) {
        const QString literal = requiredLiteral(seq);
        if (literal.isEmpty())
            return {};
        literals.append(literal);
    }
    return literals;
}

// QRegExp reads all the digits after "\\1" to "\\9" as one back-reference
// number and packs it into a token beside the token's kind: from 65536 on
// the number spills into the kind and QRegExp reads memory it does not own
// while matching. Such a pattern is no valid pattern.
bool overflowsBackReference(const QString &source)
{
    for (int i = 0; i + 1 < source.size(); ++i) {
        if (source.at(i) != QLatin1Char('\\'))
            continue;
        const QChar first = source.at(i + 1);
        if (first < QLatin1Char('1') || first > QLatin1Char('9')) {
            ++i; // an escaped character, maybe a backslash
            continue;
        }
        qint64 number = 0;
        int j = i + 1;
        for (; j < source.size() && source.at(j) >= QLatin1Char('0') && source.at(j) <= QLatin1Char('9'); ++j) {
            number = number * 10 + (source.at(j).unicode() - '0');
            if (number > 0xFFFF)
                return true;
        }
        i = j - 1;
    }
    return false;
}

std::unique_ptr<Pattern> compile(const QString &source)
{
    if (overflowsBackReference(source))
        return std::make_unique<NeverPattern>();
    const QRegExp rx(source, Qt::CaseSensitive, QRegExp::RegExp);
    if (!rx.isValid())
        return std::make_unique<NeverPattern>();
    Alts tree;
    Parser parser(source);
    if (!parser.parse(&tree))
        return std::make_unique<RegExpPattern>(rx);
    simplifyAlts(&tree);
    if (auto linear = LinearPattern::build(tree))
        return linear;
    const QStringList strings = plainStrings(tree);
    if (!strings.isEmpty())
        return std::make_unique<LiteralsPattern>(strings);
    auto pcre = std::make_unique<PcrePattern>(Emitter::alts(tree), requiredLiterals(tree), rx);
    if (!pcre->valid())
        return std::make_unique<RegExpPattern>(rx);
    return pcre;
}

} // namespace

struct CMatcher::List
{
    std::vector<std::unique_ptr<Pattern>> patterns;
    QStringList sources;
    // The needles of all patterns, when every pattern has some and there
    // are several: a text without any of them matches no pattern.
    std::optional<NeedleSet> needles;
};

CMatcher::CMatcher(const QList<QStringList> &lists)
{
    for (const QStringList &list : lists) {
        if (list.isEmpty())
            continue;
        auto compiled = std::make_unique<List>();
        compiled->patterns.reserve(size_t(list.size()));
        for (const QString &pattern : list)
            compiled->patterns.push_back(compile(pattern));
        compiled->sources = list;
        std::vector<const Needle *> needles;
        bool all = true;
        for (const auto &pattern : compiled->patterns)
            all = all && pattern->needles(&needles);
        if (all && needles.size() > 1)
            compiled->needles.emplace(std::move(needles));
        m_lists.push_back(std::move(compiled));
    }
}

CMatcher::~CMatcher() = default;

CMatcher::Verdict CMatcher::verdict(const QString &text, QString *costly) const
{
    // A list that fails decides the text whatever an earlier list left open,
    // so an undecided list only counts when every other list is satisfied.
    const QString *open = nullptr;
    for (const auto &list : m_lists) {
        if (list->needles && !list->needles->anyIn(text))
            return Verdict::NoMatch;
        const QString *undecided = nullptr;
        bool found = false;
        for (size_t i = 0; i < list->patterns.size(); ++i) {
            const Verdict v = list->patterns[i]->search(text);
            if (v == Verdict::Match) {
                found = true;
                break;
            }
            if (v == Verdict::Undecided && !undecided)
                undecided = &list->sources.at(int(i));
        }
        if (found)
            continue;
        if (!undecided)
            return Verdict::NoMatch;
        if (!open)
            open = undecided;
    }
    if (!open)
        return Verdict::Match;
    m_costly = *open;
    if (costly)
        *costly = *open;
    return Verdict::Undecided;
}

bool CMatcher::matches(const QString &text) const
{
    return verdict(text) == Verdict::Match;
}

bool CMatcher::matchesEverything() const
{
    return m_lists.empty();
}

QString CMatcher::costlyPattern() const
{
    return m_costly;
}
