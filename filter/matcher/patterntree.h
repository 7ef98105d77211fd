// The part of QRegExp's pattern language whose meaning is certain, parsed
// into a small tree and simplified; character classes as sets of UTF-16
// units, decided by the same QChar properties QRegExp uses.
#ifndef MATCHER_PATTERNTREE_H
#define MATCHER_PATTERNTREE_H

#include <QString>

#include <array>
#include <memory>
#include <vector>

namespace matcher {

// A set of UTF-16 units.
class CharSet
{
public:
    // Whether `c` is in the set.
    bool test(ushort c) const { return (m_bits[c >> 6] >> (c & 63)) & 1u; }
    // Adds `c`.
    void set(ushort c) { m_bits[c >> 6] |= quint64(1) << (c & 63); }
    // Adds `lo` to `hi`, both included.
    void setRange(uint lo, uint hi)
    {
        for (uint c = lo; c <= hi; ++c)
            set(ushort(c));
    }
    // Adds every unit of `other`.
    void merge(const CharSet &other)
    {
        for (size_t i = 0; i < m_bits.size(); ++i)
            m_bits[i] |= other.m_bits[i];
    }
    // Every unit not in the set, instead.
    void invert()
    {
        for (quint64 &word : m_bits)
            word = ~word;
    }
    // Whether a unit is in both sets.
    bool intersects(const CharSet &other) const
    {
        for (size_t i = 0; i < m_bits.size(); ++i) {
            if (m_bits[i] & other.m_bits[i])
                return true;
        }
        return false;
    }
    // Whether every unit of this set is in `other`.
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

// \d, \s and \w as QRegExp decides them, unit by unit.
const CharSet &digitSet();
const CharSet &spaceSet();
const CharSet &wordSet();

enum class NodeKind { Set, Group, Ahead, NotAhead, Start, End, WordBoundary, NotWordBoundary };

// The tree: a pattern is alternatives (Alts), each a sequence (Seq) of nodes;
// a node is a class, a group, a look-ahead or an assertion, with its
// repetition bounds.
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

    // Whether the node is a character class.
    bool isSet() const { return kind == NodeKind::Set; }
    // Whether it is matched exactly once.
    bool once() const { return min == 1 && max == 1; }
    // Whether it matches a place rather than characters.
    bool isAssertion() const { return kind != NodeKind::Set && kind != NodeKind::Group; }
};

// A node of one character class, matched once.
Node setNode(CharSet set);
// A node of the one character `c`, matched once.
Node charNode(ushort c);

// Parses `pattern` into `out`; false for anything outside the certain part
// of the syntax, which then stays with QRegExp.
bool parsePattern(const QString &pattern, Alts *out);
// Splices in groups that add nothing, turns groups of single characters
// into classes, collapses nested repetitions and decides word boundaries
// that the classes around them settle; the meaning stays the same.
void simplifyAlts(Alts *alts);

} // namespace matcher

#endif
