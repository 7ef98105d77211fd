// The view of a result tab.
#ifndef RESULTVIEW_H
#define RESULTVIEW_H

#include <QAbstractItemView>

class TimelineStrip;

// A one-column list whose cost does not grow with its rows: every row has
// the same height, and positions are computed from the row number, never
// stored per row. The vertical scroll bar counts rows (its value is the top
// visible row, so a model can follow it), the horizontal one pixels up to
// the widest row painted so far. Contents are addressed in viewport
// coordinates (verticalOffset() is 0). Rows are chosen as Qt's extended
// selection chooses them (click, Ctrl+click, Shift+click, Shift with the
// cursor keys, Ctrl+A), held as ranges of rows whatever their number; a
// range is stretched from its anchor row by row number, never through
// rectangles on screen, so it reaches rows far off screen.
class ResultView : public QAbstractItemView
{
public:
    explicit ResultView(QWidget *parent = nullptr);

    // Height of every row in pixels (at least 1), from the font and style.
    int rowHeight() const;
    // The row at the top of the viewport: the vertical scroll bar's value.
    int topRow() const;
    // Rows that fit wholly into the viewport (at least 1).
    int visibleRows() const;
    // Width of the widest row painted since the model was set or reset.
    int widestRow() const;

    // The rectangle of the row in viewport coordinates; rows far off screen
    // get a rectangle far off screen, without overflow.
    QRect visualRect(const QModelIndex &index) const override;
    // Scrolls so that the row is shown as the hint says (top, bottom, centre
    // or just visible); the columns stay where they are.
    void scrollTo(const QModelIndex &index, ScrollHint hint = EnsureVisible) override;
    // The row under the point, or an invalid index below the last row.
    QModelIndex indexAt(const QPoint &point) const override;
    // The uniform row height, whatever the row.
    int sizeHintForRow(int row) const override;
    // The widest row painted so far, not a walk over all rows.
    int sizeHintForColumn(int column) const override;
    // Does nothing: searching rows by typing would walk all of them; the
    // window's find panel searches results.
    void keyboardSearch(const QString &search) override;
    void setModel(QAbstractItemModel *model) override;
    // A line shown in place of rows while the model has none (empty: none).
    void setEmptyText(const QString &text);
    QString emptyText() const { return m_emptyText; }
    // The time line above the rows; hidden until shown.
    TimelineStrip *timeline() const { return m_timeline; }
    void setTimelineShown(bool shown);
    void reset() override;

protected:
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    int horizontalOffset() const override;
    int verticalOffset() const override;
    bool isIndexHidden(const QModelIndex &index) const override;
    void setSelection(const QRect &rect, QItemSelectionModel::SelectionFlags command) override;
    QRegion visualRegionForSelection(const QItemSelection &selection) const override;
    void updateGeometries() override;
    void scrollContentsBy(int dx, int dy) override;
    void paintEvent(QPaintEvent *event) override;
    bool viewportEvent(QEvent *event) override;
    void changeEvent(QEvent *event) override;
    void rowsInserted(const QModelIndex &parent, int start, int end) override;
    void dataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight,
                     const QVector<int> &roles = QVector<int>()) override;

private:
    int rowTotal() const;
    // Row under viewport y, not clamped to the rows (may be negative or past the end).
    qint64 rowAtY(int y) const;
    int rowWidth() const;
    // Widens the rows to the widest of rows first to last; true if that grew.
    bool measureRows(qint64 first, qint64 last, const QStyleOptionViewItem &option);
    void measureShownRows();
    void scheduleHorizontalRange();
    // Makes `to` the current row and chooses the rows from the anchor to it
    // as `command` says.
    void chooseToRow(const QModelIndex &to, QItemSelectionModel::SelectionFlags command);

    mutable int m_rowHeight = 0;  // 0: to be measured
    int m_widest = 0;
    int m_hoverRow = -1;
    bool m_rangePending = false;
    QString m_emptyText;
    // Where a Shift+click or Shift with a cursor key stretches the rows from.
    QPersistentModelIndex m_anchor;
    bool m_dragging = false;  // the left button chooses rows as it moves
    TimelineStrip *m_timeline = nullptr;
};

// The view of a new result tab.
ResultView *createResultView(QWidget *parent);

#endif
