// Whether a filter could match any record of a block, asked of the block's
// summary (blocksummary.h) instead of its records: a block it rules out
// holds no text the filter matches, so it need not be read.
#ifndef BLOCKQUESTION_H
#define BLOCKQUESTION_H

#include <QByteArray>
#include <QList>
#include <QStringList>

#include <vector>

struct BlockSummary;

class BlockQuestion
{
public:
    // Reads from `lists` (pattern form) the lists whose every pattern is one
    // a summary answers: a status, a source kind, an event, a user or a
    // group; other lists (free patterns, paths) rule nothing out.
    explicit BlockQuestion(const QList<QStringList> &lists = {});
    // True when some list can rule a block out.
    bool asksAnything() const;
    // False only when no record of a block with `summary` can match.
    bool mayMatch(const BlockSummary &summary) const;

private:
    struct Term
    {
        enum Kind { Mark, Event, User, Group } kind;
        quint8 mark;
        quint64 key; // BlockSummary's key of the event or id, made once

    };
    // Each: the patterns of one list, any of which may match.
    std::vector<std::vector<Term>> m_lists;
};

#endif
