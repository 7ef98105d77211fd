// The time line above a result tab's rows: the tab's rows over time as bars,
// refusals stacked on successes, a line at the time of the top row; a click
// shows the first row at that time, a drag marks a span of time to narrow
// the filter to.
#ifndef TIMELINESTRIP_H
#define TIMELINESTRIP_H

#include <QDateTime>
#include <QPointer>
#include <QVector>
#include <QWidget>

#include <functional>

#include "timebuckets.h"

class CStringListModel;
class QAbstractItemModel;
class QAbstractItemView;
class QMenu;

class TimelineStrip : public QWidget
{
    Q_OBJECT
public:
    // Shows the rows of `view`'s model; a child of the view.
    explicit TimelineStrip(QAbstractItemView *view);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // Follows a new model of the view (null: none).
    void setModel(QAbstractItemModel *model);
    // The buckets as painted now (made again when the counts changed).
    const QVector<TimeBucket> &buckets() const;
    // Scrolls the view to the first row at `secs` (seconds since 1970 UTC)
    // or later and selects it; false, and nothing changes, when the view's
    // rows hold none.
    bool jumpTo(qint64 secs);
    // The start of the bar at x (seconds since 1970 UTC), the time a click
    // there goes to; -1 while there are no bars.
    qint64 timeAt(int x) const;
    // The bucket whose bar holds pixel x (its gap included), as the hover
    // text names it; -1 while there are no bars.
    int bucketAt(int x) const;
    // The x of time `secs` on the strip.
    int xOf(qint64 secs) const;
    // The marked span [start, end) in seconds since 1970 UTC; false when none.
    bool span(qint64 *start, qint64 *end) const;
    // Marks the span of the buckets between the two times (either order).
    void setSpan(qint64 from, qint64 to);
    void clearSpan();
    // The scale's label as painted (elided only when the strip is narrower
    // than it), and where it stands: whole inside the strip, at its right.
    QString scaleLabel() const;
    QRect scaleLabelRect() const;
    // Where the marked rows stand in time (seconds since 1970 UTC), asked
    // at every paint: a tick at the top of the strip for each.
    void setMarkTimes(std::function<QVector<qint64>()> times);
    // The x of each tick painted at the last paint.
    const QVector<int> &markTicks() const { return m_ticks; }
    bool logScale() const { return m_log; }
    void setLogScale(bool on);

signals:
    // The user asked to see only the rows from `start` to `end` (both
    // included, whole seconds, local time).
    void rangeChosen(const QDateTime &start, const QDateTime &end);

protected:
    void paintEvent(QPaintEvent *event) override;
    bool event(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    CStringListModel *model() const;
    // Makes the buckets again when the model's counts or the width changed.
    void refresh() const;
    // The x where bar `i` begins.
    int barLeft(int i) const;
    QString bucketText(const TimeBucket &bucket) const;
    void retranslate();
    void chooseSpan();
    QMenu *makeMenu();

    QAbstractItemView *m_view;
    QPointer<QAbstractItemModel> m_model;
    bool m_log = false;
    // The span marked by a drag, as times; -1 when none.
    qint64 m_spanFrom = -1;
    qint64 m_spanTo = -1;
    int m_pressX = -1;
    bool m_dragging = false;

    // What the buckets were made from, so a paint costs no look-ups
    // unless something changed.
    struct Key
    {
        const void *model = nullptr;
        int rows = -1;
        int counted = -1;
        int firstBlock = 0;
        int lastBlock = -1;
        int width = -1;
        bool operator==(const Key &o) const
        {
            return model == o.model && rows == o.rows && counted == o.counted && firstBlock == o.firstBlock
                   && lastBlock == o.lastBlock && width == o.width;
        }
    };
    std::function<QVector<qint64>()> m_markTimes;
    QVector<int> m_ticks;
    mutable Key m_key;
    mutable QVector<TimeBucket> m_buckets;
    mutable qint64 m_bucketWidth = 0;
    mutable qint64 m_maxRows = 0;
};

#endif
