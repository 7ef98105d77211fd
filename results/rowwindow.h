// The window of rows around what the views show: the result rows from
// firstRow() on, loaded block by block from the counts of a run.
#ifndef ROWWINDOW_H
#define ROWWINDOW_H

#include <QString>
#include <QStringList>

class ResultWalk;
class RunCounts;

class RowWindow
{
public:
    // Row number of the window's first row.
    int firstRow() const { return m_firstRow; }
    // Rows held.
    int size() const { return m_rows.size(); }
    bool isEmpty() const;
    // The row after the window's last.
    int endRow() const { return m_firstRow + m_rows.size(); }
    // Row `row` when the window holds it, else null.
    const QString *row(int row) const;

    // Drops every row; the first row stays.
    void clear();
    // Drops every row; the window begins at row `row` now.
    void restartAt(int row);
    // Adds the next row at the end.
    void append(const QString &row);
    // Drops the rows from row `row` on (a row the window holds).
    void dropFrom(int row);

    // Makes the counted rows `firstRow` to `endRow` - 1 the window, read
    // through `walk` (none: empty rows); past row `reach` it may end early,
    // once the reading has cost a bounded amount. Blocks without rows are
    // never read. Ends at a record the filter cannot decide now (stopped()).
    void load(const ResultWalk &walk, const RunCounts &counts, int firstRow, int endRow, int reach);
    // True when the last load met a record the filter could not decide:
    // nothing after it is loaded.
    bool stopped() const;

private:
    // Appends rows `skip` to `skip + rows` - 1 of `block`, read from the
    // nearest checkpoint and matched: all `rows` of them (a record the
    // filter cannot decide now gives an empty one and sets stopped()), or,
    // once `*budget` bytes of texts are read, fewer but at least `atLeast`.
    // Returns how many.
    int appendRowsOfBlock(const ResultWalk &walk, const RunCounts &counts, int block, int skip, int rows,
                          int atLeast, qint64 *budget);

    QStringList m_rows;
    qint32 m_firstRow = 0;
    bool m_stopped = false;
};

#endif
