// Whether a filter could match any record of a block, asked of the block's
// summary (blocksummary.h) instead of its records: a block it rules out
// holds no text the filter matches, so it need not be read.
#ifndef BLOCKQUESTION_H
#define BLOCKQUESTION_H

#include "blocksummary.h"

#include <QByteArray>
#include <QList>
#include <QStringList>

#include <vector>

class BlockQuestion : public BlockTest
{
public:
    // Reads from `lists` (pattern form) the lists whose every pattern is one
    // a summary answers: a status, a source kind, an event, a user or a
    // group; or, asked of the path words, a plain literal holding a path
    // word (a "/" and four ASCII letters), in lists of up to kMostLiterals.
    // Other lists (other free patterns, longer lists) rule nothing out.
    explicit BlockQuestion(const QList<QStringList> &lists = {});
    // True when some list can rule a block out.
    bool asksAnything() const;
    // False only when no record of a block with `summary` (and `paths`, its
    // group's path words, where known) can match.
    bool mayMatch(const BlockSummary &summary, const PathWords *paths = nullptr) const override;
    // True when some list is asked of the path words.
    bool asksPaths() const override;

    // Literals a list asked of the path words may hold: each costs a few
    // tests per group of blocks.
    static constexpr int kMostLiterals = 64;
    // Path words asked of one literal: all must be there.
    static constexpr int kMostWords = 4;

private:
    struct Term
    {
        enum Kind { Mark, Event, User, Group } kind;
        quint8 mark;
        quint64 key; // BlockSummary's key of the event or id, made once

    };
    // Each: the patterns of one list, any of which may match.
    std::vector<std::vector<Term>> m_lists;
    // Each: the literals of one list, by the keys of their path words.
    std::vector<std::vector<std::vector<quint64>>> m_pathLists;
};

#endif
