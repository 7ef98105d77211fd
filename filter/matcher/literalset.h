// Long lists of plain entries (watched paths, user names): all the literals
// of a list found in a text by one trie, whatever their number, in memory
// that grows with their total length only: a walk down it from each place
// where a literal may start, and an automaton (Aho-Corasick) over the same
// trie where such walks would overlap too much, so that a text is never
// read more than a few times over.
#ifndef MATCHER_LITERALSET_H
#define MATCHER_LITERALSET_H

#include <QString>
#include <QStringList>
#include <QStringView>

#include <vector>

#include "needles.h"
#include "../utf8texts.h"

namespace matcher {

// Whether `pattern` (QRegExp syntax) matches exactly the texts that contain
// one fixed string, which `literal` then receives: plain characters and
// escaped ASCII punctuation only, not empty.
bool plainLiteral(const QString &pattern, QString *literal);

class LiteralSet
{
public:
    // The automaton of `literals` (none of them empty).
    explicit LiteralSet(const QStringList &literals);
    // Whether one of the literals lies somewhere in `hay`.
    bool anyIn(QStringView hay) const;
    bool anyIn(AsciiView hay) const;
    // The length of the UTF-8 text at `s` that a NUL byte ends before `end`
    // (or `end` does), and in `ascii` whether it is ASCII; `from` is -1 only
    // for a text whose decoding holds none of the literals, and in an ASCII
    // text no literal starts before it. One pass over the text for all three.
    qsizetype terminated(const char *s, const char *end, bool *ascii, qsizetype *from) const;
    // Bytes the automaton holds.
    size_t bytes() const;

private:
    struct Node
    {
        quint32 firstEdge = 0; // its edges are edges[firstEdge, firstEdge + edgeCount), by unit
        quint32 fail = 0;      // the longest proper suffix of its string that is a node
        quint32 edgeCount = 0;
        bool final = false;    // its string ends with a literal
    };
    struct Edge
    {
        ushort unit;
        quint32 target;
    };

    // The node reached from `node` by `unit`, or 0 (the root) when there is no edge.
    quint32 child(quint32 node, ushort unit) const;
    template<typename T>
    bool anyOf(const T *h, qsizetype n) const;
    // Whether a literal starts at `i` of `h` or after it, by the automaton.
    template<typename T>
    bool automatonFrom(const T *h, qsizetype i, qsizetype n) const;
    // The first index from `i` on where a literal can start, or `n`: a vector
    // search when literals start with only a few different characters, and
    // only places whose first units are the start of some literal.
    template<typename T>
    qsizetype nextStart(const T *h, qsizetype i, qsizetype n) const;

    // The hashes of the literals' first `units` units, as a bit set: a text
    // where the hash of the units at a place is not in the set holds no
    // literal starting there. One set for texts of bytes (ASCII), one for
    // UTF-16 texts; `units` is 0 when the shortest literal is too short for
    // the set to tell places apart.
    struct Prefixes
    {
        qsizetype units = 0;
        int shift = 64;
        bool asciiStarts = true; // every literal's first `units` units are ASCII
        std::vector<quint64> bits;

        quint64 byteMask = 0; // the bits of `units` bytes of a little-endian word
        // For bytes: the second and third units of the prefixes, each
        // table by a unit's low four bits the set of its high ones (0-7).
        uchar follow[2][16] = {};

        void build(const std::vector<QStringView> &literals, qsizetype maxUnits, bool bytes);
        template<typename T>
        bool mayStartAt(const T *h, qsizetype i, qsizetype n) const;
        bool holds(quint64 key) const;
    };

    // The `k`th first character, or the first one where there are fewer:
    // the vector loops always compare a fixed number.
    ushort startOrFirst(size_t k) const { return m_starts[k < m_starts.size() ? k : 0]; }
    // Whether a literal may start at `at` of the bytes `h`, which hold `n`.
    bool mayStartAtByte(const uchar *h, qsizetype at, qsizetype n) const;
    // `terminated` when first characters are few: SSE2 and AVX2.
    void chooseScanToEnd();
    template<bool Several>
    qsizetype scanToEnd(const uchar *h, qsizetype n, bool *ascii, qsizetype *from) const;
#ifdef __x86_64__
    template<bool Several>
    __attribute__((target("avx2"))) qsizetype scanToEndWide(const uchar *h, qsizetype n, bool *ascii,
                                                            qsizetype *from) const;
#endif

    std::vector<Node> m_nodes; // the root first
    std::vector<Edge> m_edges;
    quint32 m_rootNext[128];   // the root's edges for ASCII units, 0 for none
    std::vector<ushort> m_starts; // the first units of the literals, when there are few
    Prefixes m_bytePrefixes;
    Prefixes m_unitPrefixes;
    // `terminated`'s pass, or null for the plain one.
    qsizetype (LiteralSet::*m_endScan)(const uchar *, qsizetype, bool *, qsizetype *) const = nullptr;
};

// Inline: it is called once for every text of a filter run.
inline qsizetype LiteralSet::terminated(const char *s, const char *end, bool *ascii, qsizetype *from) const
{
    if (!m_endScan) {
        *from = 0;
        return utf8texts::terminatedLength(s, end, ascii);
    }
    return (this->*m_endScan)(reinterpret_cast<const uchar *>(s), end - s, ascii, from);
}

} // namespace matcher

#endif
