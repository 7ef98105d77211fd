// The one reading of a result's blocks: counting, the window, find, save,
// export and summary all take their texts from forEachPiece, so which
// blocks a result reads, and how, is decided in one place.
#ifndef RESULTWALK_H
#define RESULTWALK_H

#include <functional>
#include <memory>

#include "clog.h"
#include "logset.h"

class CMatcher;

class ResultWalk
{
public:
    using Visit = std::function<bool(const CLog::TextPiece &piece)>;

    // `logs` (none: nothing is read) and `criteria` are not owned and must
    // outlive the walk; only records of `span` give texts. A block whose
    // summary `test` answers false for is not read (see
    // CLog::forEachPieceUtf8); without it every block is.
    ResultWalk(const LogSet *logs, const CMatcher &criteria, const TimeSpan &span,
               std::shared_ptr<const BlockTest> test = {});

    // Calls `visit(piece)` for the texts of the blocks `first` to `last` as
    // LogSet::forEachPieceUtf8 hands them out, from the piece at `resumeAt`
    // of block `first` when that is not -1; stops when `visit` returns false.
    void forEachPiece(int first, int last, const Visit &visit, qint64 resumeAt = -1) const;

    // The criteria the result's records are matched with.
    const CMatcher &criteria() const;

private:
    const LogSet *m_logs;
    const CMatcher &m_criteria;
    TimeSpan m_span;
    std::shared_ptr<const BlockTest> m_test;
};

#endif
