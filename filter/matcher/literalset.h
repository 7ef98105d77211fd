// Long lists of plain entries (watched paths, user names): all the literals
// of a list found in one pass over a text by one automaton (Aho-Corasick),
// whatever their number, in memory that grows with their total length only.
#ifndef MATCHER_LITERALSET_H
#define MATCHER_LITERALSET_H

#include <QString>
#include <QStringList>
#include <QStringView>

#include <vector>

#include "needles.h"

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
    // The first index from `i` on where a literal can start, or `n`: a vector
    // search when literals start with only a few different characters.
    template<typename T>
    qsizetype nextStart(const T *h, qsizetype i, qsizetype n) const;

    std::vector<Node> m_nodes; // the root first
    std::vector<Edge> m_edges;
    quint32 m_rootNext[128];   // the root's edges for ASCII units, 0 for none
    std::vector<ushort> m_starts; // the first units of the literals, when there are few
};

} // namespace matcher

#endif
