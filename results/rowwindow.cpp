#include "rowwindow.h"

#include <algorithm>

#include "cmatcher.h"
#include "filtermatch.h"
#include "resultwalk.h"
#include "rowtext.h"
#include "runcounts.h"

namespace {

// Bytes of texts a window load reads beyond the rows it must hold.
constexpr qint64 kLoadBytes = 4 << 20;

} // namespace

bool RowWindow::isEmpty() const
{
    return m_rows.isEmpty();
}

const QString *RowWindow::row(int row) const
{
    const int pos = row - m_firstRow;
    return pos >= 0 && pos < m_rows.size() ? &m_rows.at(pos) : nullptr;
}

void RowWindow::clear()
{
    m_rows.clear();
}

void RowWindow::restartAt(int row)
{
    m_rows.clear();
    m_firstRow = row;
}

void RowWindow::append(const QString &row)
{
    m_rows.append(row);
}

void RowWindow::dropFrom(int row)
{
    m_rows.erase(m_rows.begin() + (row - m_firstRow), m_rows.end());
}

bool RowWindow::stopped() const
{
    return m_stopped;
}

void RowWindow::load(const ResultWalk &walk, const RunCounts &counts, int firstRow, int endRow, int reach)
{
    // Past a record the filter cannot decide no block is loaded: a run
    // stops there, so their rows are never shown.
    m_stopped = false;
    m_rows.clear();
    const int counted = counts.rows();
    firstRow = std::clamp(firstRow, 0, counted);
    endRow = std::clamp(endRow, firstRow, counted);
    m_firstRow = firstRow;
    // Blocks without rows are never read: with sparse matches a page of
    // rows can span thousands of blocks.
    qint64 budget = kLoadBytes;
    for (int row = firstRow; row < endRow && !m_stopped;) {
        const int block = counts.blockForRow(row);
        const int rows = std::min(endRow, counts.rowsBefore(block + 1)) - row;
        const int taken =
            appendRowsOfBlock(walk, counts, block, row - counts.rowsBefore(block), rows, reach - row, &budget);
        if (taken < rows)
            break;
        row += rows;
    }
}

int RowWindow::appendRowsOfBlock(const ResultWalk &walk, const RunCounts &counts, int block, int skip, int rows,
                                 int atLeast, qint64 *budget)
{
    // The nearest piece of the block at or before the first row wanted.
    qint64 resumeAt = -1;
    int matched = 0;
    if (const RunCounts::Checkpoint *from = counts.checkpointBefore(block, skip)) {
        resumeAt = from->offset;
        matched = from->row;
    }
    const int wanted = skip + rows;
    const int before = m_rows.size();
    bool cut = false;
    MatchStop stop;
    walk.forEachPiece(block, block, [&](const CLog::TextPiece &piece) {
        const auto take = [&](int, const char *text, qsizetype length) {
            if (matched >= skip)
                m_rows.append(resultRow(QString::fromUtf8(text, int(length))));
            ++matched;
        };
        walkMatchesUtf8(walk.criteria(), piece.texts, &stop, take, [&] { return matched < wanted; });
        *budget -= piece.texts.size();
        // Rows far apart in a large block cost much reading each: past
        // the rows that must be shown, the window ends with the budget.
        if (matched < wanted && *budget <= 0 && m_rows.size() - before >= atLeast && !piece.last) {
            cut = true;
            return false;
        }
        return matched < wanted && !stop.stopped();
    }, resumeAt);
    if (cut)
        return m_rows.size() - before;
    if (stop.stopped())
        m_stopped = true;
    // The rows the views count for the block, whatever this reading
    // decided, so that the rows of the blocks after it stay in place (a
    // record the filter cannot decide now gives an empty row).
    while (m_rows.size() > before + rows)
        m_rows.removeLast();
    while (m_rows.size() < before + rows)
        m_rows.append(QString());
    return rows;
}
