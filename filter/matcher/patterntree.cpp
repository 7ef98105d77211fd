// The pattern parser and the tree's simplification. Whatever the parser
// refuses is left to QRegExp, so it accepts only constructs whose meaning in
// QRegExp is certain.
#include "patterntree.h"

#include <QChar>

namespace matcher {

namespace {

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

} // namespace

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

namespace {

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
            const bool ahead = node->kind != NodeKind::Group;
            m_ahead += ahead;
            const bool parsed = parseAlts(&node->alts);
            m_ahead -= ahead;
            if (!parsed || atEnd() || peek() != ')')
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
        if (c == 'b' || c == 'B') {
            // QRegExp matches a lookahead on the text from its place on, so
            // a word boundary there does not see the character before: that
            // meaning is left to QRegExp itself.
            if (m_ahead > 0)
                return false;
            node->kind = c == 'b' ? NodeKind::WordBoundary : NodeKind::NotWordBoundary;
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
    int m_ahead = 0; // lookaheads the parse is inside
    bool m_surrogate = false;
};

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

} // namespace

bool parsePattern(const QString &pattern, Alts *out)
{
    Parser parser(pattern);
    return parser.parse(out);
}

void simplifyAlts(Alts *alts)
{
    for (Seq &seq : *alts)
        simplifySeq(&seq);
}

} // namespace matcher
