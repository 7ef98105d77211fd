// The literal automaton. The trie is built from the sorted literals, so
// that every node's edges come out in order of their units and can be
// stored in one flat array; failure links are found breadth first.
#include "literalset.h"

#include <algorithm>
#include <cstring>
#include <deque>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace matcher {

namespace {

// Up to this many different first characters are looked for by vector
// compares while the automaton is at its root.
constexpr quint32 kFewStarts = 4;

// What QRegExp reads as a character of its own when escaped: ASCII
// punctuation (letters and digits escape to classes, controls and
// back-references).
bool escapedPunctuation(ushort c)
{
    return c < 128 && c > 32 && !((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'));
}

bool special(ushort c)
{
    switch (c) {
    case '\\': case '^': case '$': case '.': case '[': case ']': case '|':
    case '(': case ')': case '*': case '+': case '?': case '{': case '}':
        return true;
    default:
        return false;
    }
}

} // namespace

bool plainLiteral(const QString &pattern, QString *literal)
{
    QString out;
    out.reserve(pattern.size());
    for (int i = 0; i < pattern.size(); ++i) {
        const ushort c = pattern.at(i).unicode();
        if (c == '\\') {
            if (i + 1 >= pattern.size() || !escapedPunctuation(pattern.at(i + 1).unicode()))
                return false;
            out.append(pattern.at(++i));
            continue;
        }
        if (special(c))
            return false;
        out.append(QChar(c));
    }
    if (out.isEmpty())
        return false;
    *literal = out;
    return true;
}

LiteralSet::LiteralSet(const QStringList &literals)
{
    std::vector<QStringView> sorted;
    sorted.reserve(size_t(literals.size()));
    for (const QString &literal : literals)
        sorted.emplace_back(literal);
    std::sort(sorted.begin(), sorted.end(), [](QStringView a, QStringView b) {
        return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                            [](QChar x, QChar y) { return x.unicode() < y.unicode(); });
    });
    // The trie: each literal shares with the one before it their common
    // prefix; the rest are new nodes. `path` holds the nodes of the
    // previous literal.
    struct RawEdge
    {
        quint32 parent;
        ushort unit;
        quint32 target;
    };
    std::vector<RawEdge> raw;
    m_nodes.emplace_back();
    std::vector<quint32> path{0};
    QStringView previous;
    for (const QStringView literal : sorted) {
        qsizetype common = 0;
        while (common < literal.size() && common < previous.size() && literal[common] == previous[common])
            ++common;
        path.resize(size_t(common) + 1);
        for (qsizetype i = common; i < literal.size(); ++i) {
            const quint32 node = quint32(m_nodes.size());
            m_nodes.emplace_back();
            raw.push_back({path.back(), literal[i].unicode(), node});
            path.push_back(node);
        }
        m_nodes[path.back()].final = true;
        previous = literal;
    }
    // Edges grouped by parent (a stable counting sort keeps each node's
    // edges in unit order).
    std::vector<quint32> count(m_nodes.size() + 1, 0);
    for (const RawEdge &e : raw)
        ++count[e.parent + 1];
    for (size_t i = 1; i < count.size(); ++i)
        count[i] += count[i - 1];
    m_edges.resize(raw.size());
    for (size_t i = 0; i < m_nodes.size(); ++i) {
        m_nodes[i].firstEdge = count[i];
        m_nodes[i].edgeCount = count[i + 1] - count[i];
    }
    for (const RawEdge &e : raw)
        m_edges[count[e.parent]++] = {e.unit, e.target};
    raw.clear();
    raw.shrink_to_fit();
    std::fill(std::begin(m_rootNext), std::end(m_rootNext), 0);
    const Node &root = m_nodes.front();
    for (quint32 e = root.firstEdge; e < root.firstEdge + root.edgeCount; ++e) {
        if (m_edges[e].unit < 128)
            m_rootNext[m_edges[e].unit] = m_edges[e].target;
    }
    if (root.edgeCount <= kFewStarts) {
        for (quint32 e = root.firstEdge; e < root.firstEdge + root.edgeCount; ++e)
            m_starts.push_back(m_edges[e].unit);
    }
    // Failure links, breadth first: a node's link is found from its
    // parent's. A node whose link is final is final itself: the literal
    // ends inside its string.
    std::deque<quint32> queue;
    for (quint32 e = root.firstEdge; e < root.firstEdge + root.edgeCount; ++e)
        queue.push_back(m_edges[e].target);
    while (!queue.empty()) {
        const quint32 node = queue.front();
        queue.pop_front();
        const Node current = m_nodes[node];
        for (quint32 e = current.firstEdge; e < current.firstEdge + current.edgeCount; ++e) {
            const ushort unit = m_edges[e].unit;
            const quint32 target = m_edges[e].target;
            quint32 f = current.fail;
            quint32 next = child(f, unit);
            while (next == 0 && f != 0) {
                f = m_nodes[f].fail;
                next = child(f, unit);
            }
            m_nodes[target].fail = next;
            m_nodes[target].final = m_nodes[target].final || m_nodes[next].final;
            queue.push_back(target);
        }
    }
}

quint32 LiteralSet::child(quint32 node, ushort unit) const
{
    if (node == 0 && unit < 128)
        return m_rootNext[unit];
    const Node &n = m_nodes[node];
    const Edge *first = m_edges.data() + n.firstEdge;
    const Edge *last = first + n.edgeCount;
    const Edge *at = std::lower_bound(first, last, unit, [](const Edge &e, ushort u) { return e.unit < u; });
    return at != last && at->unit == unit ? at->target : 0;
}

template<typename T>
qsizetype LiteralSet::nextStart(const T *h, qsizetype i, qsizetype n) const
{
    if (m_starts.empty() || m_starts.size() > kFewStarts)
        return i;
#ifdef __SSE2__
    constexpr qsizetype kStep = 16 / sizeof(T);
    __m128i want[kFewStarts];
    const size_t starts = m_starts.size();
    for (size_t k = 0; k < starts; ++k)
        want[k] = sizeof(T) == 1 ? _mm_set1_epi8(char(m_starts[k])) : _mm_set1_epi16(short(m_starts[k]));
    for (; i + kStep <= n; i += kStep) {
        const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i *>(h + i));
        __m128i hit = _mm_setzero_si128();
        for (size_t k = 0; k < starts; ++k)
            hit = _mm_or_si128(hit, sizeof(T) == 1 ? _mm_cmpeq_epi8(units, want[k]) : _mm_cmpeq_epi16(units, want[k]));
        const uint bits = uint(_mm_movemask_epi8(hit));
        if (bits)
            return i + __builtin_ctz(bits) / qsizetype(sizeof(T));
    }
#endif
    for (; i < n; ++i) {
        if (std::find(m_starts.begin(), m_starts.end(), ushort(h[i])) != m_starts.end())
            return i;
    }
    return n;
}

template<typename T>
bool LiteralSet::anyOf(const T *h, qsizetype n) const
{
    quint32 node = 0;
    for (qsizetype i = 0; i < n; ++i) {
        if (node == 0) {
            i = nextStart(h, i, n);
            if (i >= n)
                break;
        }
        const ushort unit = h[i];
        quint32 next = child(node, unit);
        while (next == 0 && node != 0) {
            node = m_nodes[node].fail;
            next = child(node, unit);
        }
        node = next;
        if (m_nodes[node].final)
            return true;
    }
    return false;
}

bool LiteralSet::anyIn(QStringView hay) const
{
    return anyOf(reinterpret_cast<const ushort *>(hay.utf16()), hay.size());
}

bool LiteralSet::anyIn(AsciiView hay) const
{
    return anyOf(hay.data, hay.size);
}

size_t LiteralSet::bytes() const
{
    return m_nodes.capacity() * sizeof(Node) + m_edges.capacity() * sizeof(Edge) + sizeof(*this);
}

} // namespace matcher
