// Scrolling: the window of loaded rows follows the top visible row, and
// what a tab may ask of the window and the counts.
#include "cstringlistmodel.h"

#include <algorithm>

namespace {

// The top visible row last seen by any results model: one value for the
// whole process, so the first scroll in another tab is measured against it.
int lastScrollValue = 0;

} // namespace

void CStringListModel::scrollMoved(int value)
{
    const int d = value - lastScrollValue;
    lastScrollValue = value;
    const int end = lastLoadableBlock();
    if (end < m_counts.firstBlock())
        return;
    // The window is made of whole blocks, a page of rows beyond the top
    // row's block in the direction of the scroll. A block too large for
    // that gives the rows around the top row, as far as a bounded read
    // reaches beyond those a screen needs.
    const int windowEnd = m_window.endRow();
    const int windowFirst = m_window.firstRow();
    const int loadable = rowsBefore(end + 1);
    const qint32 windowMax = 10 * m_pageRows;
    const int screen = value + m_pageRows / 4;
    if (d > 0) {
        if (windowEnd - m_pageRows < value && windowEnd < loadable) {
            const int top = std::min(blockForRow(value), end);
            const int target = rowsBefore(top + 1) + m_pageRows;
            const int endRow = target >= loadable ? loadable : rowsBefore(blockForRow(target - 1) + 1);
            const int firstRow = std::max(rowsBefore(top), value - m_pageRows / 10);
            m_window.load(walk(), m_counts, firstRow, std::min(endRow, firstRow + windowMax), screen);
        }
    } else if (d < 0) {
        if (m_pageRows + windowFirst > value && windowFirst > 0) {
            const int top = std::min(blockForRow(value + m_pageRows), end);
            const int target = rowsBefore(top) - m_pageRows;
            const int firstRow = target <= 0 ? 0 : rowsBefore(blockForRow(target));
            const int endRow = std::min(rowsBefore(top + 1), value + 2 * m_pageRows);
            m_window.load(walk(), m_counts, std::max({firstRow, endRow - windowMax, value - m_pageRows * 3 / 2}),
                          endRow, screen);
        }
    }
}

int CStringListModel::lastLoadableBlock() const
{
    return m_running ? m_lastBlock : std::min(m_lastBlock, m_counts.endBlock() - 1);
}

int CStringListModel::windowRows() const
{
    return m_window.size();
}

int CStringListModel::windowFirstRow() const
{
    return m_window.firstRow();
}

int CStringListModel::windowStartBlock() const
{
    return blockForRow(m_window.firstRow());
}

int CStringListModel::windowEndBlock() const
{
    return m_window.isEmpty() ? windowStartBlock() : blockForRow(m_window.endRow() - 1) + 1;
}

int CStringListModel::blockForRow(int row) const
{
    return m_counts.blockForRow(row);
}

int CStringListModel::rowsBefore(int block) const
{
    return m_counts.rowsBefore(block);
}

int CStringListModel::refusalsBefore(int block) const
{
    return m_counts.refusalsBefore(block);
}

const QList<qint32> &CStringListModel::blockCounts() const
{
    return m_counts.counts();
}
