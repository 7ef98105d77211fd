// Rows of a result chosen in ranges, as a view's selection holds them:
// never one entry per row, whatever their number.
#ifndef ROWRANGES_H
#define ROWRANGES_H

#include <QtGlobal>

#include <algorithm>
#include <utility>
#include <vector>

class RowRanges
{
public:
    using Range = std::pair<int, int>; // first and last row, both included

    // Adds the rows `first` to `last` (in either order); overlaps merge.
    void add(int first, int last)
    {
        m_ranges.emplace_back(std::min(first, last), std::max(first, last));
        m_normal = false;
    }
    // Ascending, disjoint and not adjacent.
    const std::vector<Range> &ranges() const
    {
        normalise();
        return m_ranges;
    }
    bool isEmpty() const { return m_ranges.empty(); }
    // The number of rows.
    qint64 rowCount() const
    {
        qint64 rows = 0;
        for (const Range &range : ranges())
            rows += qint64(range.second) - range.first + 1;
        return rows;
    }
    // The rows that lie from 0 to `rows` - 1.
    RowRanges clipped(int rows) const
    {
        RowRanges inside;
        for (const Range &range : ranges()) {
            const int first = std::max(range.first, 0);
            const int last = std::min(range.second, rows - 1);
            if (first <= last)
                inside.add(first, last);
        }
        return inside;
    }

private:
    void normalise() const
    {
        if (m_normal)
            return;
        std::sort(m_ranges.begin(), m_ranges.end());
        std::vector<Range> merged;
        for (const Range &range : m_ranges) {
            if (!merged.empty() && qint64(range.first) <= qint64(merged.back().second) + 1)
                merged.back().second = std::max(merged.back().second, range.second);
            else
                merged.push_back(range);
        }
        m_ranges.swap(merged);
        m_normal = true;
    }

    mutable std::vector<Range> m_ranges;
    mutable bool m_normal = true;
};

#endif
