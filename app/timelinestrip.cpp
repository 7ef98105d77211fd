#include "timelinestrip.h"

#include <QAbstractItemView>
#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QToolTip>

#include <algorithm>
#include <cmath>

#include "cstringlistmodel.h"

namespace {

// Bars are about this many pixels wide at least.
constexpr int barPixels = 3;
constexpr int stripHeight = 60;
// A press that moves less than this is a click, not a drag.
constexpr int dragPixels = 4;
// Room between the texts and the strip's edges, and between the texts.
constexpr int labelMargin = 2;
const char dateFormat[] = "yyyy-MM-dd hh:mm:ss";

QString timeText(qint64 secs)
{
    return QDateTime::fromSecsSinceEpoch(secs).toString(QLatin1String(dateFormat));
}

} // namespace

TimelineStrip::TimelineStrip(QAbstractItemView *view) : QWidget(view), m_view(view)
{
    setFocusPolicy(Qt::ClickFocus);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    connect(view->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { update(); });
    retranslate();
}

QSize TimelineStrip::sizeHint() const
{
    return QSize(200, stripHeight);
}

QSize TimelineStrip::minimumSizeHint() const
{
    return QSize(50, stripHeight);
}

void TimelineStrip::retranslate()
{
    setAccessibleName(tr("Time line of the results"));
    setToolTip(tr("Rows over time, refusals in red. Click: go to that time; drag: mark a time range; "
                  "Edit > Go to time... does the same from the keyboard."));
}

void TimelineStrip::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QWidget::changeEvent(event);
}

void TimelineStrip::setModel(QAbstractItemModel *model)
{
    if (m_model)
        disconnect(m_model, nullptr, this, nullptr);
    m_model = model;
    clearSpan();
    if (model) {
        const auto changed = [this] { update(); };
        connect(model, &QAbstractItemModel::rowsInserted, this, changed);
        connect(model, &QAbstractItemModel::modelReset, this, changed);
        connect(model, &QAbstractItemModel::dataChanged, this, changed);
    }
    update();
}

CStringListModel *TimelineStrip::model() const
{
    return qobject_cast<CStringListModel *>(m_model.data());
}

void TimelineStrip::refresh() const
{
    const CStringListModel *m = model();
    Key key;
    key.width = width();
    if (m) {
        key.model = m;
        key.rows = m->rowCount();
        key.counted = m->blockCounts().size();
        key.firstBlock = m->firstBlock();
        key.lastBlock = m->lastBlock();
    }
    if (key == m_key)
        return;
    m_key = key;
    m_buckets.clear();
    m_maxRows = 0;
    m_bucketWidth = 0;
    qint64 first = 0;
    qint64 last = 0;
    if (!m || !TimeBuckets::range(*m, &first, &last))
        return;
    const int offset = QDateTime::fromSecsSinceEpoch(first).offsetFromUtc();
    m_bucketWidth = TimeBuckets::width(first, last, std::max(1, width() / barPixels), offset);
    m_buckets = TimeBuckets::buckets(*m, m_bucketWidth, offset);
    for (const TimeBucket &b : qAsConst(m_buckets))
        m_maxRows = std::max(m_maxRows, b.rows);
}

const QVector<TimeBucket> &TimelineStrip::buckets() const
{
    refresh();
    return m_buckets;
}

qint64 TimelineStrip::timeAt(int x) const
{
    const int i = bucketAt(x);
    return i < 0 ? -1 : m_buckets.at(i).start;
}

int TimelineStrip::xOf(qint64 secs) const
{
    refresh();
    if (m_buckets.isEmpty())
        return 0;
    const qint64 start = m_buckets.first().start;
    const qint64 span = std::max<qint64>(1, m_buckets.last().end - start);
    return int(std::clamp<qint64>((secs - start) * width() / span, 0, width()));
}

int TimelineStrip::barLeft(int i) const
{
    const qint64 origin = m_buckets.first().start;
    const qint64 total = std::max<qint64>(1, m_buckets.last().end - origin);
    return int((m_buckets.at(i).start - origin) * width() / total);
}

int TimelineStrip::bucketAt(int x) const
{
    refresh();
    if (m_buckets.isEmpty() || width() <= 0)
        return -1;
    // A pixel belongs to the last bar that begins at it or before it: the
    // bars are painted from the same lefts, so what is under the mouse is
    // what is named and gone to, the gap after a bar included.
    const int clamped = std::clamp(x, 0, width() - 1);
    int low = 0;
    int high = m_buckets.size() - 1;
    while (low < high) {
        const int mid = low + (high - low + 1) / 2;
        if (barLeft(mid) <= clamped)
            low = mid;
        else
            high = mid - 1;
    }
    return low;
}

bool TimelineStrip::jumpTo(qint64 secs)
{
    const CStringListModel *m = model();
    const int row = m ? TimeBuckets::firstRowAt(*m, secs) : -1;
    if (row < 0)
        return false;
    const QModelIndex index = m->index(row, 0);
    m_view->scrollTo(index, QAbstractItemView::PositionAtTop);
    m_view->setCurrentIndex(index);
    if (QItemSelectionModel *selection = m_view->selectionModel())
        selection->select(index, QItemSelectionModel::ClearAndSelect);
    return true;
}

bool TimelineStrip::span(qint64 *start, qint64 *end) const
{
    if (m_spanFrom < 0 || m_spanTo < 0)
        return false;
    *start = m_spanFrom;
    *end = m_spanTo;
    return true;
}

void TimelineStrip::setSpan(qint64 from, qint64 to)
{
    refresh();
    if (m_bucketWidth <= 0 || m_buckets.isEmpty()) {
        clearSpan();
        return;
    }
    // Whole buckets: what the bars show is what the range holds.
    const qint64 origin = m_buckets.first().start;
    const qint64 low = std::min(from, to);
    const qint64 high = std::max(from, to);
    m_spanFrom = origin + (low - origin) / m_bucketWidth * m_bucketWidth;
    m_spanTo = origin + ((high - origin) / m_bucketWidth + 1) * m_bucketWidth;
    update();
}

void TimelineStrip::clearSpan()
{
    m_spanFrom = m_spanTo = -1;
    m_dragging = false;
    update();
}

void TimelineStrip::setLogScale(bool on)
{
    m_log = on;
    update();
}

QString TimelineStrip::scaleLabel() const
{
    refresh();
    if (m_bucketWidth <= 0)
        return QString();
    return fontMetrics().elidedText(tr("1 bar = %1").arg(TimeBuckets::widthText(m_bucketWidth)), Qt::ElideRight,
                                    std::max(0, width() - 2 * labelMargin));
}

QRect TimelineStrip::scaleLabelRect() const
{
    const int w = fontMetrics().horizontalAdvance(scaleLabel());
    return QRect(width() - labelMargin - w, 0, w, fontMetrics().height());
}

QString TimelineStrip::bucketText(const TimeBucket &bucket) const
{
    return tr("%1 to %2\n%3 rows, %4 of them refused")
        .arg(timeText(bucket.start), timeText(bucket.end - 1))
        .arg(bucket.rows)
        .arg(bucket.refused);
}

void TimelineStrip::paintEvent(QPaintEvent *event)
{
    Q_UNUSED(event)
    refresh();
    QPainter painter(this);
    const QRect area = rect();
    painter.fillRect(area, palette().base());
    painter.setPen(palette().mid().color());
    painter.drawLine(area.bottomLeft(), area.bottomRight());
    const int n = m_buckets.size();
    if (n == 0 || m_maxRows <= 0)
        return;

    const int w = width();
    const int top = fontMetrics().height() / 2 + 2;
    const int h = std::max(1, height() - top - 1);
    const double max = m_log ? std::log1p(double(m_maxRows)) : double(m_maxRows);
    const auto heightOf = [&](qint64 rows) {
        if (rows <= 0)
            return 0;
        const double v = m_log ? std::log1p(double(rows)) : double(rows);
        return std::max(1, int(std::lround(v / max * h)));
    };

    if (m_spanFrom >= 0)
        painter.fillRect(QRect(QPoint(xOf(m_spanFrom), 0), QPoint(xOf(m_spanTo) - 1, height() - 1)),
                         palette().highlight().color().lighter(160));

    const QColor success = palette().text().color();
    const QColor refusal(255, 0, 0, 128);
    const qint64 origin = m_buckets.first().start;
    for (int i = 0; i < n; ++i) {
        const TimeBucket &b = m_buckets.at(i);
        if (b.rows <= 0)
            continue;
        const int x0 = barLeft(i);
        const int next = i + 1 < n ? barLeft(i + 1) : w;
        const int x1 = std::max(x0 + 1, next - (w / n > 2 ? 1 : 0));
        const int all = heightOf(b.rows);
        // Refusals on top of successes, their share of the bar as of the rows.
        const int red = b.refused > 0 ? std::max(1, int(std::lround(double(all) * b.refused / b.rows))) : 0;
        const int bottom = height() - 1;
        painter.fillRect(QRect(x0, bottom - all + red, x1 - x0, all - red), success);
        if (red > 0)
            painter.fillRect(QRect(x0, bottom - all, x1 - x0, red), refusal);
    }

    // The scale keeps its place at the right whole; the start time takes
    // what room is left at the left, elided, and none when too little.
    painter.setPen(palette().text().color());
    const QRect scaleRect = scaleLabelRect();
    painter.drawText(scaleRect, Qt::AlignTop | Qt::AlignRight, scaleLabel());
    const QRect text = area.adjusted(labelMargin, 0, -labelMargin, 0);
    const int room = scaleRect.left() - 3 * labelMargin - text.left();
    const QString start = fontMetrics().elidedText(timeText(origin), Qt::ElideRight, room);
    if (room > 0 && !start.isEmpty())
        painter.drawText(QRect(text.left(), text.top(), room, text.height()), Qt::AlignTop | Qt::AlignLeft, start);

    // Marked rows: a small tick each, from the top edge down.
    m_ticks.clear();
    if (m_markTimes) {
        painter.setPen(QPen(palette().link().color(), 2));
        const int tick = std::max(3, top - 2);
        for (const qint64 t : m_markTimes()) {
            const int x = std::min(w - 1, xOf(t) + std::max(1, w / n) / 2);
            m_ticks.append(x);
            painter.drawLine(x, 0, x, tick);
        }
    }

    // The time of the top row on screen.
    if (const CStringListModel *m = model()) {
        const int topRow = m_view->verticalScrollBar()->value();
        const qint64 t = TimeBuckets::timeOfRow(*m, topRow);
        if (t >= 0) {
            const int x = std::min(w - 1, xOf(t) + std::max(1, w / n) / 2);
            painter.setPen(QPen(palette().highlight().color(), 2));
            painter.drawLine(x, 0, x, height());
        }
    }
}

bool TimelineStrip::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        const auto *help = static_cast<QHelpEvent *>(event);
        const int i = bucketAt(help->pos().x());
        if (i >= 0)
            QToolTip::showText(help->globalPos(), bucketText(m_buckets.at(i)), this);
        else
            QToolTip::showText(help->globalPos(), toolTip(), this);
        return true;
    }
    // Esc clears a marked span before any shortcut of the window sees it.
    if (event->type() == QEvent::ShortcutOverride && m_spanFrom >= 0
        && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
        event->accept();
        return true;
    }
    return QWidget::event(event);
}

void TimelineStrip::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    m_pressX = event->pos().x();
    m_dragging = false;
}

void TimelineStrip::mouseMoveEvent(QMouseEvent *event)
{
    if (!(event->buttons() & Qt::LeftButton) || m_pressX < 0)
        return;
    if (!m_dragging && std::abs(event->pos().x() - m_pressX) < dragPixels)
        return;
    m_dragging = true;
    const qint64 a = timeAt(m_pressX);
    const qint64 b = timeAt(event->pos().x());
    if (a >= 0 && b >= 0)
        setSpan(a, b);
}

void TimelineStrip::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || m_pressX < 0)
        return;
    const int pressX = std::exchange(m_pressX, -1);
    if (!m_dragging) {
        const qint64 t = timeAt(pressX);
        if (t >= 0)
            jumpTo(t);
        return;
    }
    m_dragging = false;
    if (m_spanFrom >= 0) {
        QMenu *menu = makeMenu();
        menu->popup(event->globalPos());
    }
}

void TimelineStrip::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && m_spanFrom >= 0) {
        clearSpan();
        return;
    }
    QWidget::keyPressEvent(event);
}

QMenu *TimelineStrip::makeMenu()
{
    auto *menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    if (m_spanFrom >= 0) {
        menu->addAction(tr("Show only this time range"), this, &TimelineStrip::chooseSpan);
        menu->addAction(tr("Clear the marked range"), this, &TimelineStrip::clearSpan);
        menu->addSeparator();
    }
    QAction *scale = menu->addAction(tr("Logarithmic scale"));
    scale->setCheckable(true);
    scale->setChecked(m_log);
    connect(scale, &QAction::toggled, this, &TimelineStrip::setLogScale);
    return menu;
}

void TimelineStrip::contextMenuEvent(QContextMenuEvent *event)
{
    makeMenu()->popup(event->globalPos());
}

void TimelineStrip::chooseSpan()
{
    qint64 start = 0;
    qint64 end = 0;
    if (!span(&start, &end))
        return;
    emit rangeChosen(QDateTime::fromSecsSinceEpoch(start), QDateTime::fromSecsSinceEpoch(end - 1));
}

void TimelineStrip::setMarkTimes(std::function<QVector<qint64>()> times)
{
    m_markTimes = std::move(times);
    update();
}
