#include "resultview.h"

#include <QEvent>
#include <QHoverEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>

#include "timelinestrip.h"

#include <algorithm>
#include <limits>

namespace {

// Off-screen rows are placed at most this far from the viewport, so that
// row distances times the row height never overflow an int.
constexpr qint64 farAway = std::numeric_limits<int>::max() / 4;

} // namespace

ResultView::ResultView(QWidget *parent) : QAbstractItemView(parent)
{
    setSelectionMode(ExtendedSelection);
    setEditTriggers(NoEditTriggers);
    setVerticalScrollMode(ScrollPerItem);
    setHorizontalScrollMode(ScrollPerPixel);
    m_timeline = new TimelineStrip(this);
    m_timeline->hide();
}

void ResultView::setTimelineShown(bool shown)
{
    m_timeline->setVisible(shown);
    updateGeometries();
}

int ResultView::rowTotal() const
{
    const QAbstractItemModel *m = model();
    return m ? std::max(0, m->rowCount(rootIndex())) : 0;
}

int ResultView::rowHeight() const
{
    if (m_rowHeight <= 0) {
        // What the default delegate asks of the style for a row of text.
        QStyleOptionViewItem option = viewOptions();
        option.features |= QStyleOptionViewItem::HasDisplay;
        option.text = QStringLiteral("Xg");
        const QSize size = style()->sizeFromContents(QStyle::CT_ItemViewItem, &option, QSize(), this);
        m_rowHeight = std::max(1, size.height());
    }
    return m_rowHeight;
}

int ResultView::topRow() const
{
    return verticalScrollBar()->value();
}

int ResultView::visibleRows() const
{
    return std::max(1, viewport()->height() / rowHeight());
}

int ResultView::widestRow() const
{
    return m_widest;
}

int ResultView::rowWidth() const
{
    return std::max(m_widest, viewport()->width());
}

qint64 ResultView::rowAtY(int y) const
{
    const int h = rowHeight();
    // Rounded down, also above the viewport.
    const qint64 steps = y >= 0 ? y / h : -((qint64(-y) + h - 1) / h);
    return qint64(topRow()) + steps;
}

QRect ResultView::visualRect(const QModelIndex &index) const
{
    if (!index.isValid() || index.model() != model() || index.parent() != rootIndex() || index.column() != 0)
        return QRect();
    const int h = rowHeight();
    const qint64 y = std::clamp((qint64(index.row()) - topRow()) * h, -farAway, farAway);
    return QRect(-horizontalOffset(), int(y), rowWidth(), h);
}

void ResultView::scrollTo(const QModelIndex &index, ScrollHint hint)
{
    if (!index.isValid() || index.model() != model() || index.parent() != rootIndex())
        return;
    QScrollBar *bar = verticalScrollBar();
    const int rows = rowTotal();
    if (bar->maximum() != std::max(0, rows - visibleRows()))
        updateGeometries();
    const qint64 row = index.row();
    const qint64 top = topRow();
    const qint64 visible = visibleRows();
    qint64 newTop = top;
    switch (hint) {
    case EnsureVisible:
        if (row < top)
            newTop = row;
        else if (row >= top + visible)
            newTop = row - visible + 1;
        break;
    case PositionAtTop:
        newTop = row;
        break;
    case PositionAtBottom:
        newTop = row - visible + 1;
        break;
    case PositionAtCenter:
        newTop = row - (visible - 1) / 2;
        break;
    }
    bar->setValue(int(std::clamp<qint64>(newTop, 0, bar->maximum())));
}

QModelIndex ResultView::indexAt(const QPoint &point) const
{
    const qint64 row = rowAtY(point.y());
    const int x = point.x() + horizontalOffset();
    if (row < 0 || row >= rowTotal() || x < 0 || x >= rowWidth())
        return QModelIndex();
    return model()->index(int(row), 0, rootIndex());
}

int ResultView::sizeHintForRow(int row) const
{
    return row >= 0 && row < rowTotal() ? rowHeight() : -1;
}

int ResultView::sizeHintForColumn(int column) const
{
    return column == 0 && model() ? m_widest : -1;
}

void ResultView::keyboardSearch(const QString &search)
{
    Q_UNUSED(search)
}

void ResultView::setModel(QAbstractItemModel *newModel)
{
    m_widest = 0;
    m_hoverRow = -1;
    QAbstractItemView::setModel(newModel);
    if (m_timeline)
        m_timeline->setModel(newModel);
    measureShownRows();
    updateGeometries();
}

void ResultView::reset()
{
    m_widest = 0;
    m_hoverRow = -1;
    QAbstractItemView::reset();
    measureShownRows();
    updateGeometries();
    viewport()->update();
}

QModelIndex ResultView::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers)
{
    Q_UNUSED(modifiers)
    const int rows = rowTotal();
    if (rows == 0)
        return QModelIndex();
    const QModelIndex current = currentIndex();
    if (!current.isValid())
        return model()->index(std::clamp(topRow(), 0, rows - 1), 0, rootIndex());
    qint64 row = current.row();
    switch (cursorAction) {
    case MoveUp:
    case MovePrevious:
        --row;
        break;
    case MoveDown:
    case MoveNext:
        ++row;
        break;
    case MovePageUp:
        row -= visibleRows();
        break;
    case MovePageDown:
        row += visibleRows();
        break;
    case MoveHome:
        row = 0;
        break;
    case MoveEnd:
        row = rows - 1;
        break;
    case MoveLeft:
        // One column: left and right move the long rows instead.
        horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
        break;
    case MoveRight:
        horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        break;
    }
    return model()->index(int(std::clamp<qint64>(row, 0, rows - 1)), 0, rootIndex());
}

void ResultView::chooseToRow(const QModelIndex &to, QItemSelectionModel::SelectionFlags command)
{
    QItemSelectionModel *selection = selectionModel();
    if (!selection || !to.isValid())
        return;
    if (!m_anchor.isValid())
        m_anchor = currentIndex().isValid() ? QPersistentModelIndex(currentIndex()) : QPersistentModelIndex(to);
    const int first = std::min(m_anchor.row(), to.row());
    const int last = std::max(m_anchor.row(), to.row());
    selection->setCurrentIndex(to, QItemSelectionModel::NoUpdate);
    selection->select(QItemSelection(model()->index(first, 0, rootIndex()), model()->index(last, 0, rootIndex())),
                      command);
    scrollTo(to);
}

void ResultView::keyPressEvent(QKeyEvent *event)
{
    // Shift with a cursor key stretches the rows from the anchor by row
    // number: Qt's own way goes through rectangles on screen, which rows
    // far off screen are not placed in exactly.
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    if (model() && selectionMode() == ExtendedSelection && (modifiers & Qt::ShiftModifier)) {
        CursorAction action = MoveDown;
        bool moves = true;
        switch (event->key()) {
        case Qt::Key_Up: action = MoveUp; break;
        case Qt::Key_Down: action = MoveDown; break;
        case Qt::Key_PageUp: action = MovePageUp; break;
        case Qt::Key_PageDown: action = MovePageDown; break;
        case Qt::Key_Home: action = MoveHome; break;
        case Qt::Key_End: action = MoveEnd; break;
        case Qt::Key_Left:
        case Qt::Key_Right:
            // Only the long rows move; the rows chosen stay.
            moveCursor(event->key() == Qt::Key_Left ? MoveLeft : MoveRight, modifiers);
            event->accept();
            return;
        default: moves = false; break;
        }
        if (moves) {
            chooseToRow(moveCursor(action, modifiers), (modifiers & Qt::ControlModifier)
                                                           ? QItemSelectionModel::Select
                                                           : QItemSelectionModel::ClearAndSelect);
            event->accept();
            return;
        }
    }
    QAbstractItemView::keyPressEvent(event);
    if (!(modifiers & Qt::ShiftModifier))
        m_anchor = currentIndex();
}

void ResultView::mousePressEvent(QMouseEvent *event)
{
    const QModelIndex index = indexAt(event->pos());
    const bool left = event->button() == Qt::LeftButton;
    if (left && index.isValid() && selectionMode() == ExtendedSelection
        && (event->modifiers() & Qt::ShiftModifier)) {
        chooseToRow(index, (event->modifiers() & Qt::ControlModifier) ? QItemSelectionModel::Select
                                                                       : QItemSelectionModel::ClearAndSelect);
        m_dragging = !(event->modifiers() & Qt::ControlModifier);
        event->accept();
        return;
    }
    QAbstractItemView::mousePressEvent(event);
    if (left && index.isValid()) {
        m_anchor = index;
        m_dragging = !(event->modifiers() & Qt::ControlModifier);
    }
}

void ResultView::mouseMoveEvent(QMouseEvent *event)
{
    // A drag chooses the rows from the pressed one to the one under the
    // pointer, as far as the rows go.
    if (m_dragging && (event->buttons() & Qt::LeftButton) && selectionMode() == ExtendedSelection) {
        const int rows = rowTotal();
        if (rows > 0) {
            const qint64 row = std::clamp<qint64>(rowAtY(event->pos().y()), 0, rows - 1);
            chooseToRow(model()->index(int(row), 0, rootIndex()), QItemSelectionModel::ClearAndSelect);
        }
        event->accept();
        return;
    }
    QAbstractItemView::mouseMoveEvent(event);
}

void ResultView::mouseReleaseEvent(QMouseEvent *event)
{
    m_dragging = false;
    QAbstractItemView::mouseReleaseEvent(event);
}

int ResultView::horizontalOffset() const
{
    return horizontalScrollBar()->value();
}

int ResultView::verticalOffset() const
{
    // The vertical position is a row number; in pixels it would overflow
    // an int long before the rows do.
    return 0;
}

bool ResultView::isIndexHidden(const QModelIndex &index) const
{
    Q_UNUSED(index)
    return false;
}

void ResultView::setSelection(const QRect &rect, QItemSelectionModel::SelectionFlags command)
{
    QItemSelectionModel *selection = selectionModel();
    if (!selection)
        return;
    const QRect area = rect.normalized();
    const qint64 last = qint64(rowTotal()) - 1;
    const qint64 first = std::max<qint64>(rowAtY(area.top()), 0);
    const qint64 end = std::min(rowAtY(area.bottom()), last);
    if (first > end) {
        selection->select(QItemSelection(), command);
        return;
    }
    const QModelIndex from = model()->index(int(first), 0, rootIndex());
    const QModelIndex to = model()->index(int(end), 0, rootIndex());
    selection->select(QItemSelection(from, to), command);
}

QRegion ResultView::visualRegionForSelection(const QItemSelection &selection) const
{
    QRegion region;
    const qint64 top = topRow();
    const qint64 bottom = top + visibleRows();  // the partly shown row below too
    const int h = rowHeight();
    for (const QItemSelectionRange &range : selection) {
        if (range.parent() != rootIndex() || range.left() > 0)
            continue;
        const qint64 first = std::max<qint64>(range.top(), top);
        const qint64 last = std::min<qint64>(range.bottom(), bottom);
        if (first <= last)
            region += QRect(-horizontalOffset(), int((first - top) * h), rowWidth(), int((last - first + 1) * h));
    }
    return region;
}

void ResultView::updateGeometries()
{
    // The time line takes the top of the frame; the rows the rest.
    const int stripHeight = m_timeline && m_timeline->isVisibleTo(this) ? m_timeline->sizeHint().height() : 0;
    if (viewportMargins().top() != stripHeight)
        setViewportMargins(0, stripHeight, 0, 0);
    if (stripHeight > 0) {
        const QRect area = viewport()->geometry();
        m_timeline->setGeometry(area.left(), area.top() - stripHeight, area.width(), stripHeight);
    }
    const int rows = rowTotal();
    QScrollBar *vertical = verticalScrollBar();
    const int visible = visibleRows();
    vertical->setSingleStep(1);
    vertical->setPageStep(visible);
    // A growing row count only lengthens the range: the value, and with it
    // the rows on screen, stay.
    vertical->setRange(0, std::max(0, rows - visible));

    QScrollBar *horizontal = horizontalScrollBar();
    const int width = viewport()->width();
    horizontal->setSingleStep(std::max(1, fontMetrics().averageCharWidth() * 4));
    horizontal->setPageStep(std::max(1, width));
    horizontal->setRange(0, std::max(0, m_widest - width));
    QAbstractItemView::updateGeometries();
}

void ResultView::scrollContentsBy(int dx, int dy)
{
    Q_UNUSED(dx)
    Q_UNUSED(dy)
    // No blitting: rows that were outside the model's window before the
    // scroll are painted again now that it may hold them.
    viewport()->update();
}

void ResultView::paintEvent(QPaintEvent *event)
{
    const QAbstractItemModel *m = model();
    const int rows = rowTotal();
    if (!m || rows == 0) {
        if (!m_emptyText.isEmpty()) {
            QPainter painter(viewport());
            painter.setPen(palette().color(QPalette::Disabled, QPalette::Text));
            const int margin = rowHeight();
            painter.drawText(viewport()->rect().adjusted(margin, margin, -margin, -margin),
                             Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, m_emptyText);
        }
        return;
    }
    const QRect area = event->rect();
    const qint64 first = std::max<qint64>(rowAtY(area.top()), 0);
    const qint64 last = std::min<qint64>(rowAtY(area.bottom()), rows - 1);
    if (first > last)
        return;

    QStyleOptionViewItem option = viewOptions();
    if (isActiveWindow())
        option.state |= QStyle::State_Active;
    const QStyle::State baseState = option.state;
    const QModelIndex current = currentIndex();
    const bool focus = (hasFocus() || viewport()->hasFocus()) && current.isValid();
    const QItemSelectionModel *selection = selectionModel();

    // Rows are measured as they are shown, so the horizontal range covers
    // every row the user has seen and text is never elided.
    if (measureRows(first, last, option))
        scheduleHorizontalRange();

    QPainter painter(viewport());
    for (qint64 row = first; row <= last; ++row) {
        const QModelIndex index = m->index(int(row), 0, rootIndex());
        option.rect = visualRect(index);
        option.state = baseState;
        if (selection && selection->isSelected(index))
            option.state |= QStyle::State_Selected;
        if (focus && index == current)
            option.state |= QStyle::State_HasFocus;
        option.state.setFlag(QStyle::State_MouseOver, row == m_hoverRow);
        itemDelegate(index)->paint(&painter, option, index);
    }
}

bool ResultView::measureRows(qint64 first, qint64 last, const QStyleOptionViewItem &option)
{
    const QAbstractItemModel *m = model();
    int widest = m_widest;
    for (qint64 row = std::max<qint64>(first, 0); row <= last; ++row) {
        const QModelIndex index = m->index(int(row), 0, rootIndex());
        widest = std::max(widest, itemDelegate(index)->sizeHint(option, index).width());
    }
    if (widest <= m_widest)
        return false;
    m_widest = widest;
    return true;
}

void ResultView::measureShownRows()
{
    const int rows = rowTotal();
    if (rows == 0 || !isVisible())
        return;
    const qint64 top = topRow();
    measureRows(top, std::min<qint64>(top + visibleRows(), rows - 1), viewOptions());
}

void ResultView::scheduleHorizontalRange()
{
    // The range changes the viewport's size when the scroll bar appears;
    // that waits until the paint is over.
    if (m_rangePending)
        return;
    m_rangePending = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_rangePending = false;
            updateGeometries();
        },
        Qt::QueuedConnection);
}

bool ResultView::viewportEvent(QEvent *event)
{
    switch (event->type()) {
    case QEvent::HoverEnter:
    case QEvent::HoverMove: {
        const QModelIndex index = indexAt(static_cast<QHoverEvent *>(event)->pos());
        m_hoverRow = index.isValid() ? index.row() : -1;
        break;
    }
    case QEvent::HoverLeave:
    case QEvent::Leave:
        m_hoverRow = -1;
        break;
    default:
        break;
    }
    return QAbstractItemView::viewportEvent(event);
}

void ResultView::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
        m_rowHeight = 0;
        m_widest = 0;
        updateGeometries();
        viewport()->update();
    }
    QAbstractItemView::changeEvent(event);
}

void ResultView::rowsInserted(const QModelIndex &parent, int start, int end)
{
    QAbstractItemView::rowsInserted(parent, start, end);
    if (parent != rootIndex())
        return;
    // Rows that come on screen are measured now, so that both scroll bars
    // take their places before the first paint rather than after it.
    const bool shown = qint64(start) <= qint64(topRow()) + visibleRows();
    if (shown)
        measureShownRows();
    updateGeometries();
    if (shown)
        viewport()->update();
}

void ResultView::dataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight, const QVector<int> &roles)
{
    QAbstractItemView::dataChanged(topLeft, bottomRight, roles);
    // A model may announce a new row count with a data change alone.
    updateGeometries();
}

void ResultView::setEmptyText(const QString &text)
{
    if (text == m_emptyText)
        return;
    m_emptyText = text;
    viewport()->update();
}

ResultView *createResultView(QWidget *parent)
{
    return new ResultView(parent);
}
