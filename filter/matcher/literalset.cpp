// The literal automaton. The trie is built from the sorted literals, so
// that every node's edges come out in order of their units and can be
// stored in one flat array; failure links are found breadth first.
#include "literalset.h"

#include <algorithm>
#include <cstring>
#include <deque>

#include <QtEndian>

#include "../utf8texts.h"

#ifdef __x86_64__
#include <immintrin.h>
#elif defined(__SSE2__)
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
    m_bytePrefixes.build(sorted, 8, true);
    m_unitPrefixes.build(sorted, 4, false);
    chooseScanToEnd();
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

inline quint32 LiteralSet::child(quint32 node, ushort unit) const
{
    if (node == 0 && unit < 128)
        return m_rootNext[unit];
    const Node &n = m_nodes[node];
    // Most nodes below the first few levels have one edge.
    if (n.edgeCount == 1) {
        const Edge &only = m_edges[n.firstEdge];
        return only.unit == unit ? only.target : 0;
    }
    const Edge *first = m_edges.data() + n.firstEdge;
    const Edge *last = first + n.edgeCount;
    const Edge *at = std::lower_bound(first, last, unit, [](const Edge &e, ushort u) { return e.unit < u; });
    return at != last && at->unit == unit ? at->target : 0;
}

namespace {

// Spreads a key of up to eight bytes over the high bits of the result.
inline quint64 prefixHash(quint64 key)
{
    return key * 0x9E3779B97F4A7C15ull;
}

} // namespace

void LiteralSet::Prefixes::build(const std::vector<QStringView> &literals, qsizetype maxUnits, bool bytes)
{
    qsizetype shortest = maxUnits;
    for (const QStringView literal : literals)
        shortest = std::min(shortest, literal.size());
    // A unit or two tell little: nearly every place of a text would pass.
    if (shortest < 3)
        return;
    units = shortest;
    byteMask = units < 8 ? (quint64(1) << (units * 8)) - 1 : ~quint64(0);
    const int width = bytes ? 8 : 16;
    std::vector<quint64> keys;
    keys.reserve(literals.size());
    for (const QStringView literal : literals) {
        quint64 key = 0;
        bool ascii = true;
        for (qsizetype u = 0; u < units; ++u) {
            const ushort c = literal[u].unicode();
            ascii = ascii && c < 128;
            key |= quint64(c) << (u * width);
        }
        // A literal with other characters never lies in a text of ASCII bytes.
        if (!bytes || ascii)
            keys.push_back(key);
        if (bytes && ascii) {
            for (int k = 1; k <= 2; ++k) {
                const ushort c = literal[k].unicode();
                follow[k - 1][c & 15] |= uchar(1u << (c >> 4));
            }
        }
        asciiStarts = asciiStarts && ascii;
    }
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    // About eight bits per prefix keeps the places that pass by chance
    // rare, and lists whose literals share their beginnings in the fastest
    // cache; at most 128 KiB.
    int log2Bits = 12;
    while (log2Bits < 20 && (size_t(1) << log2Bits) < keys.size() * 8)
        ++log2Bits;
    shift = 64 - log2Bits;
    bits.assign((size_t(1) << log2Bits) / 64, 0);
    for (const quint64 key : keys) {
        const quint64 bit = prefixHash(key) >> shift;
        bits[bit >> 6] |= quint64(1) << (bit & 63);
    }
}

inline bool LiteralSet::Prefixes::holds(quint64 key) const
{
    const quint64 bit = prefixHash(key) >> shift;
    return bits[bit >> 6] >> (bit & 63) & 1;
}

template<typename T>
inline bool LiteralSet::Prefixes::mayStartAt(const T *h, qsizetype i, qsizetype n) const
{
    if (units == 0)
        return true;
    if (sizeof(T) == 1 && i + 8 <= n)
        return holds(qFromLittleEndian<quint64>(h + i) & byteMask);
    quint64 key = 0;
    for (qsizetype u = 0; u < units; ++u)
        key |= quint64(h[i + u]) << (u * 8 * sizeof(T));
    return holds(key);
}

template<typename T>
qsizetype LiteralSet::nextStart(const T *h, qsizetype i, qsizetype n) const
{
    const Prefixes &prefixes = sizeof(T) == 1 ? m_bytePrefixes : m_unitPrefixes;
    // Every literal has at least this many units: none starts after `last`.
    const qsizetype last = n - std::max<qsizetype>(prefixes.units, 1);
    const size_t starts = m_starts.size();
#ifdef __SSE2__
    constexpr qsizetype kStep = 16 / sizeof(T);
    if (starts > 0 && starts <= kFewStarts && n >= kStep) {
        const auto splat = [&](size_t k) {
            const ushort c = startOrFirst(k);
            return sizeof(T) == 1 ? _mm_set1_epi8(char(c)) : _mm_set1_epi16(short(c));
        };
        const __m128i w0 = splat(0), w1 = splat(1), w2 = splat(2), w3 = splat(3);
        const auto equal = [](__m128i a, __m128i b) {
            return sizeof(T) == 1 ? _mm_cmpeq_epi8(a, b) : _mm_cmpeq_epi16(a, b);
        };
        const auto hitsAt = [&](qsizetype at) {
            const __m128i u = _mm_loadu_si128(reinterpret_cast<const __m128i *>(h + at));
            __m128i hit = equal(u, w0);
            // Nearly every list of paths starts with one character only.
            if (starts > 1)
                hit = _mm_or_si128(_mm_or_si128(hit, equal(u, w1)), _mm_or_si128(equal(u, w2), equal(u, w3)));
            return uint(_mm_movemask_epi8(hit));
        };
        // The first place of `bits` (counted from `base`) where a literal may
        // start; `n` past `last`, -1 for none.
        const auto firstOf = [&](uint bits, qsizetype base) -> qsizetype {
            for (; bits; bits &= bits - 1) {
                const qsizetype at = base + __builtin_ctz(bits) / qsizetype(sizeof(T));
                if (at > last)
                    return n;
                if (prefixes.mayStartAt(h, at, n))
                    return at;
                if (sizeof(T) == 2)
                    bits &= bits - 1; // a unit's two bytes
            }
            return -1;
        };
        for (; i + kStep <= n; i += kStep) {
            if (i > last)
                return n;
            const qsizetype at = firstOf(hitsAt(i), i);
            if (at >= 0)
                return at;
        }
        if (i >= n || i > last)
            return n;
        // The last units, by a load that ends with the text, without the
        // places before `i` it reads again.
        const qsizetype base = n - kStep;
        const uint skip = uint((i - base) * qsizetype(sizeof(T)));
        const qsizetype at = firstOf(hitsAt(base) >> skip << skip, base);
        return at >= 0 ? at : n;
    }
#endif
    for (; i <= last; ++i) {
        if (child(0, ushort(h[i])) != 0 && prefixes.mayStartAt(h, i, n))
            return i;
    }
    return n;
}

template<typename T>
bool LiteralSet::anyOf(const T *h, qsizetype n) const
{
    // Each place where a literal may start is asked on its own, by a walk
    // down the trie from it: a place the prefixes let pass is rarely more
    // than a few steps from telling. Walks that overlap could make that
    // quadratic, so past a budget in proportion to the text the automaton
    // takes over from the place reached, which reads each unit once.
    // The first place is walked from without a search: it is where a
    // caller that knows where literals may start hands the text over from.
    qsizetype budget = 4 * n + 256;
    for (qsizetype i = 0; i < n; i = nextStart(h, i + 1, n)) {
        quint32 node = 0;
        for (qsizetype k = i; k < n; ++k) {
            node = child(node, ushort(h[k]));
            if (node == 0)
                break;
            if (m_nodes[node].final)
                return true;
            if (--budget == 0)
                return automatonFrom(h, i, n);
        }
    }
    return false;
}

template<typename T>
bool LiteralSet::automatonFrom(const T *h, qsizetype i, qsizetype n) const
{
    quint32 node = 0;
    for (; i < n; ++i) {
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

namespace {

// What one step of the pass that finds a text's end sees, a bit a byte:
// the NUL bytes, the bytes outside ASCII, and the literals' first
// characters.
struct EndBits
{
    quint32 nul;
    quint32 top;
    quint32 hits;
};

// The walk over a text, `Width` bytes a step, the step's bits from
// `step(p)`, which reads `Reach` bytes past its step; `mayStart(at)` checks
// a place where a first character lies, which `isStart(byte)` tells in the
// bytes after the last step. Only the first place that passes is wanted:
// the search for the literals starts there. Inlined into each vector loop,
// so that the AVX2 loop's step is compiled into it.
//
// When every literal begins with ASCII characters (`asciiStarts`), texts
// with other bytes are checked alike: decoding UTF-8, valid or not, turns
// each ASCII byte into its own character and every other byte into
// characters outside ASCII, so a run of ASCII characters in the decoded
// text is the same run of bytes in the text.
template<int Width, int Reach, typename Step, typename IsStart, typename MayStart>
__attribute__((always_inline)) inline qsizetype walkToEnd(const uchar *h, qsizetype n, bool *ascii, qsizetype *from,
                                                          bool asciiStarts, const Step &step,
                                                          const IsStart &isStart, const MayStart &mayStart)
{
    quint32 high = 0;
    qsizetype first = -1;
    qsizetype i = 0;
    const auto firstMayStart = [&](quint32 bits) -> qsizetype {
        for (; bits; bits &= bits - 1) {
            const qsizetype at = i + __builtin_ctz(bits);
            if (mayStart(at))
                return at;
        }
        return -1;
    };
    for (; i + Width + Reach <= n; i += Width) {
        const EndBits bits = step(h + i);
        if (bits.nul) {
            const quint32 before = (quint32(1) << __builtin_ctz(bits.nul)) - 1;
            *ascii = !(high | (bits.top & before));
            if (first < 0)
                first = firstMayStart(bits.hits & before);
            *from = !*ascii && !asciiStarts ? 0 : first;
            return i + __builtin_ctz(bits.nul);
        }
        high |= bits.top;
        if (first < 0 && bits.hits)
            first = firstMayStart(bits.hits);
    }
    bool restAscii = false;
    const qsizetype end = i + utf8texts::terminatedLength(reinterpret_cast<const char *>(h + i),
                                                          reinterpret_cast<const char *>(h + n), &restAscii);
    for (; i < end && first < 0; ++i) {
        if (isStart(h[i]) && mayStart(i))
            first = i;
    }
    *ascii = !high && restAscii;
    *from = !*ascii && !asciiStarts ? 0 : first;
    return end;
}

} // namespace

inline bool LiteralSet::mayStartAtByte(const uchar *h, qsizetype at, qsizetype n) const
{
    return at + m_bytePrefixes.units <= n && m_bytePrefixes.mayStartAt(h, at, n);
}

#ifdef __SSE2__
template<bool Several>
qsizetype LiteralSet::scanToEnd(const uchar *h, qsizetype n, bool *ascii, qsizetype *from) const
{
    const auto splat = [&](size_t k) { return _mm_set1_epi8(char(startOrFirst(k))); };
    const __m128i w0 = splat(0), w1 = splat(1), w2 = splat(2), w3 = splat(3);
    const __m128i zero = _mm_setzero_si128();
    return walkToEnd<16, 0>(h, n, ascii, from, m_bytePrefixes.asciiStarts, [&](const uchar *p) {
        const __m128i u = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        __m128i hit = _mm_cmpeq_epi8(u, w0);
        if (Several)
            hit = _mm_or_si128(_mm_or_si128(hit, _mm_cmpeq_epi8(u, w1)),
                               _mm_or_si128(_mm_cmpeq_epi8(u, w2), _mm_cmpeq_epi8(u, w3)));
        return EndBits{quint32(_mm_movemask_epi8(_mm_cmpeq_epi8(u, zero))), quint32(_mm_movemask_epi8(u)),
                       quint32(_mm_movemask_epi8(hit))};
    }, [&](uchar c) { return child(0, c) != 0; }, [&](qsizetype at) { return mayStartAtByte(h, at, n); });
}
#endif

#ifdef __x86_64__
template<bool Several>
__attribute__((target("avx2"))) qsizetype LiteralSet::scanToEndWide(const uchar *h, qsizetype n, bool *ascii,
                                                                    qsizetype *from) const
{
    // Set one by one: a function that returns a 256-bit vector would change
    // the ABI.
    __m256i want[kFewStarts];
    for (size_t k = 0; k < (Several ? kFewStarts : 1); ++k)
        want[k] = _mm256_set1_epi8(char(startOrFirst(k)));
    const __m256i zero = _mm256_setzero_si256();
    const __m256i lowHalf = _mm256_set1_epi8(0x0F);
    const __m256i second = _mm256_broadcastsi128_si256(
        _mm_loadu_si128(reinterpret_cast<const __m128i *>(m_bytePrefixes.follow[0])));
    const __m256i third = _mm256_broadcastsi128_si256(
        _mm_loadu_si128(reinterpret_cast<const __m128i *>(m_bytePrefixes.follow[1])));
    const __m256i highBit = _mm256_setr_epi8(1, 2, 4, 8, 16, 32, 64, -128, 0, 0, 0, 0, 0, 0, 0, 0,
                                             1, 2, 4, 8, 16, 32, 64, -128, 0, 0, 0, 0, 0, 0, 0, 0);
    return walkToEnd<32, 2>(h, n, ascii, from, m_bytePrefixes.asciiStarts, [&](const uchar *p) __attribute__((target("avx2"))) {
        const __m256i u = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(p));
        __m256i hit = _mm256_cmpeq_epi8(u, want[0]);
        if (Several)
            hit = _mm256_or_si256(_mm256_or_si256(hit, _mm256_cmpeq_epi8(u, want[1])),
                                  _mm256_or_si256(_mm256_cmpeq_epi8(u, want[2]), _mm256_cmpeq_epi8(u, want[3])));
        // Paths share their first character, and a text holds many: a
        // place whose next two bytes begin no literal is passed over here,
        // by a lookup of each byte's low half that gives the high halves
        // seen with it, without the prefixes' hash.
        for (int k = 1; k <= 2; ++k) {
            const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(p + k));
            const __m256i low = _mm256_and_si256(v, lowHalf);
            const __m256i high = _mm256_and_si256(_mm256_srli_epi16(v, 4), lowHalf);
            const __m256i in = _mm256_and_si256(_mm256_shuffle_epi8(k == 1 ? second : third, low),
                                                _mm256_shuffle_epi8(highBit, high));
            hit = _mm256_andnot_si256(_mm256_cmpeq_epi8(in, zero), hit);
        }
        return EndBits{quint32(_mm256_movemask_epi8(_mm256_cmpeq_epi8(u, zero))), quint32(_mm256_movemask_epi8(u)),
                       quint32(_mm256_movemask_epi8(hit))};
    }, [&](uchar c) { return child(0, c) != 0; }, [&](qsizetype at) { return mayStartAtByte(h, at, n); });
}
#endif

void LiteralSet::chooseScanToEnd()
{
    // Without few first characters to look for, or prefixes that tell
    // places apart, the pass is no quicker than the plain one.
    if (m_starts.empty() || m_starts.size() > kFewStarts || m_bytePrefixes.units == 0)
        return;
    const bool several = m_starts.size() > 1;
#ifdef __x86_64__
    if (hasAvx2()) {
        m_endScan = several ? &LiteralSet::scanToEndWide<true> : &LiteralSet::scanToEndWide<false>;
        return;
    }
#endif
#ifdef __SSE2__
    m_endScan = several ? &LiteralSet::scanToEnd<true> : &LiteralSet::scanToEnd<false>;
#endif
}

size_t LiteralSet::bytes() const
{
    return m_nodes.capacity() * sizeof(Node) + m_edges.capacity() * sizeof(Edge) + sizeof(*this)
        + (m_bytePrefixes.bits.capacity() + m_unitPrefixes.bits.capacity()) * sizeof(quint64);
}

} // namespace matcher
