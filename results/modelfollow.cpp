// Following a growing log: the counts of a finished run carried on over the
// blocks the log gained since, without running the counted ones again.
#include "cstringlistmodel.h"

#include <QCoreApplication>
#include <QPointer>

#include <algorithm>
#include <limits>

#include "clog.h"
#include "cmatcher.h"
#include "filtermatch.h"

namespace {

// Work between two turns of the event loop: following happens while the
// user reads, so the window must stay quick.
constexpr qint64 followSliceMs = 8;

} // namespace

void CStringListModel::rememberLog()
{
    m_knownPath = m_logs ? m_logs->logPath() : QString();
    m_knownBlocks = m_logs ? m_logs->blockCount() : 0;
    m_knownLastOffset = m_logs ? m_logs->blockOffset(m_knownBlocks - 1) : -1;
    m_knownLastLog = lastBlockLog();
}

const CLog *CStringListModel::lastBlockLog() const
{
    // Of a set: the block's offset is one in its own file, so the file
    // tells the block apart too.
    if (!m_logs || !m_logs->isSet())
        return nullptr;
    return m_logs->logAt(m_logs->logOf(m_logs->blockCount() - 1));
}

bool CStringListModel::isComplete() const
{
    return m_complete;
}

void CStringListModel::detachLog()
{
    m_logs = nullptr;
    m_complete = false;
}

CStringListModel::Growth CStringListModel::followGrowth()
{
    // One log under its name; a set is followed whatever its newest file is
    // named now (a rotation keeps its blocks, and the checks below see any
    // other change).
    if (!m_logs || m_running || !m_complete || (!m_logs->isSet() && m_logs->logPath() != m_knownPath))
        return Growth::None;
    const int blocks = m_logs->blockCount();
    // Growth keeps every block but the last as it was; anything else means
    // other blocks under the same numbers.
    if (m_knownBlocks == 0 || blocks < m_knownBlocks
        || m_logs->blockOffset(m_knownBlocks - 1) != m_knownLastOffset
        || (m_logs->isSet() && m_logs->logAt(m_logs->logOf(m_knownBlocks - 1)) != m_knownLastLog))
        return Growth::NeedsRun;
    // The run's span keeps its start; a range with an end of its own grows
    // only as far as blocks can hold records up to that end.
    int spanFirst = 0;
    int newLast = -1;
    m_logs->blocksFor(m_span, &spanFirst, &newLast);
    if (newLast < m_lastBlock)
        return m_lastBlock < m_counts.firstBlock() ? Growth::None : Growth::NeedsRun;

    const int countedEnd = m_counts.endBlock();
    // The log's old last block may have gained records of its second; a
    // block of the range before it cannot have changed.
    int from = m_lastBlock + 1;
    if (m_lastBlock == m_knownBlocks - 1)
        from = m_lastBlock;
    from = std::max(m_counts.firstBlock(), std::min(from, countedEnd));
    if (from > newLast) {
        rememberLog();
        return Growth::None;
    }

    // The block counted again leaves the counts and the window; it comes
    // back with the rows it has now.
    qint32 keptCount = 0;
    qint32 keptRefused = 0;
    if (from < countedEnd)
        m_counts.takeLast(&keptCount, &keptRefused);
    // What the block held up to its last checkpoint is as it was: it is
    // counted on from there, so that a last block that keeps growing (its
    // second lasts, or a record far in the future made every later one
    // join it) costs only what was added.
    // Checkpoints past the block's end now (a run that read past what the
    // index knew) lie in later blocks and go.
    const qint64 fromEnd = m_logs->blockEnd(from);
    const RunCounts::Checkpoint *const kept = m_counts.keepCheckpointsBefore(from, fromEnd);
    RunCounts::Checkpoint resume{from, 0, 0, -1};
    const bool resumed = from < countedEnd && kept;
    if (resumed)
        resume = *kept;
    // The window gives up the rows counted again, and takes them and the
    // new ones while it ends where they begin and is not yet a first
    // window's size, so rows that fit on screen are there.
    const qint32 fromRow = m_counts.rows() + resume.row;
    const int windowEnd = m_window.endRow();
    const bool fromInWindow = windowEnd > fromRow && m_window.firstRow() <= fromRow;
    if (windowEnd > fromRow) {
        if (m_window.firstRow() >= fromRow)
            m_window.restartAt(fromRow);
        else
            m_window.dropFrom(fromRow);
    }
    const qint32 windowRows = 10 * m_pageRows;
    const qint32 windowLimit =
        std::max(windowRows, qint32(m_window.size()) + (fromInWindow ? std::min(keptCount, windowRows) : 0));

    const qint32 rowsAtStart = m_rowTotal;
    bool takenBack = false;
    m_lastBlock = newLast;
    m_cancelled = false;
    m_complete = false;
    QPointer<CStringListModel> alive(this);
    const RunningGuard running(this);
    const std::function<bool()> turn = countingTurn(followSliceMs, alive);
    const auto takeBack = [&](int block, qint32 count) {
        if (block != from || count >= keptCount)
            return;
        // While it was the log's last block it was read to the end of the
        // file, so records appended after the index was made were counted
        // in it; their rows go now and come back under their own blocks.
        // They are the last rows.
        const qint32 first = m_counts.rows() + count;
        if (first < m_rowTotal) {
            takenBack = true;
            beginRemoveRows(QModelIndex(), first, m_rowTotal - 1);
            m_rowTotal = first;
            endRemoveRows();
        }
    };
    const bool whole = countBlocks(from, newLast, windowLimit, turn, takeBack, [&](int) { return turn(); },
                                   resumed ? &resume : nullptr);
    if (!alive)
        return Growth::None;
    // A block the reader could not reach counts as empty, as in a run; a
    // block given up before its count keeps the rows it had.
    if (m_counts.endBlock() <= from && keptCount > 0)
        m_counts.add(keptCount, keptRefused);
    if (whole) {
        while (m_counts.endBlock() <= newLast)
            m_counts.add(0, 0);
    }
    publishCountedRows();
    m_complete = whole;
    rememberLog();
    return m_rowTotal > rowsAtStart || takenBack ? Growth::Added : Growth::None;
}
