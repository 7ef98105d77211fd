// The result view offscreen: its time line driven as a user would (a click
// on the strip, a dragged range, Esc, one second shown alone, the filter of
// the shortest ranges and the two scales; the View toggle kept in the
// settings: tst_mainwindow); rows stay while a run counts, scrolling,
// selection and copy, keys, row counts up to the largest int, the
// horizontal range, shading.
#include "apptest.h"
#include "resultview.h"
#include "timebuckets.h"
#include "timelinestrip.h"

#include <limits>
#include <memory>

namespace {

const quint32 kStart = quint32(QDateTime(QDate(2024, 5, 10), QTime(1, 0)).toSecsSinceEpoch());
const int kCount = 600;
const int kPerBlock = 10;
const quint32 kSpacing = 60;

// 10 records a block, blocks a minute apart; every third refused.
QString writeMinutes(const QString &path)
{
    return writeRecords(path, kCount, [](int i, MlogRecord &record) {
        record.time = kStart + quint32(i / kPerBlock) * kSpacing;
        record.subject[0] = 100;
        record.status = i % 3 == 0 ? 1 : 0;
        record.payload = QStringLiteral("item-%1").arg(i, 5, 10, QLatin1Char('0')).toUtf8();
    });
}

// Rows of records earlier than `secs`: the row Go to time and a click show.
int rowsBefore(qint64 secs)
{
    int rows = 0;
    for (int i = 0; i < kCount; ++i)
        rows += kStart + qint64(i / kPerBlock) * kSpacing < secs;
    return rows;
}

// Five records a second for `seconds` seconds, "rec-NNN".
QString writeSeconds(const QString &path, int seconds)
{
    return writeRecords(path, 5 * seconds, [](int i, MlogRecord &r) {
        r.time = kStart + quint32(i / 5);
        r.payload = QStringLiteral("rec-%1").arg(i, 3, 10, QLatin1Char('0')).toUtf8();
    });
}

TimelineStrip *strip(const mainWindow &window)
{
    auto *view = dynamic_cast<ResultView *>(currentView(window));
    return view ? view->timeline() : nullptr;
}

// Shows `window`, with the time line turned on as a stored choice, and the
// minutes log at `path` open.
void showMinutes(mainWindow &window, const QString &path)
{
    if (!child<QAction>(window, "actionTimelineShow")->isChecked())
        trigger(window, "actionTimelineShow");
    window.show();
    window.openLogPath(writeMinutes(path));
}

void mouse(QWidget *widget, QEvent::Type type, int x, Qt::MouseButtons buttons)
{
    const QPoint pos(x, widget->height() / 2);
    QMouseEvent event(type, pos, widget->mapToGlobal(pos), Qt::LeftButton, buttons, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

// Picks "Show only this time range" in the strip's menu once it shows.
bool showOnlyRange(TimelineStrip *line)
{
    QMenu *menu = nullptr;
    if (!QTest::qWaitFor([&] { return (menu = line->findChild<QMenu *>()) && menu->isVisible(); }))
        return false;
    for (QAction *action : menu->actions()) {
        if (action->text() == QStringLiteral("Show only this time range"))
            return action->trigger(), true;
    }
    return false;
}

// Rows "row N" in any number, grown by row insertion as the results model does;
// row `longRow` is long, every 7th is refused (red). Counts the display look-ups.
class NumberedModel : public QAbstractListModel
{
public:
    int longRow = -1;
    mutable qint64 displayCalls = 0;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override { return parent.isValid() ? 0 : m_rows; }

    QVariant data(const QModelIndex &index, int role) const override
    {
        const int row = index.row();
        if (!index.isValid() || row >= m_rows)
            return QVariant();
        if (role == Qt::DisplayRole) {
            ++displayCalls;
            return QStringLiteral("row %1").arg(row) + QString(row == longRow ? 400 : 0, QLatin1Char('w'));
        }
        return role == Qt::BackgroundRole && row % 7 == 6 ? QBrush(QColor(255, 0, 0, 128)) : QVariant();
    }

    void growTo(int rows)
    {
        beginInsertRows(QModelIndex(), m_rows, rows - 1);
        m_rows = rows;
        endInsertRows();
    }

private:
    int m_rows = 0;
};

QString text(const QModelIndex &index) { return index.data().toString(); }

// Viewport y of the middle of the row at `position` from the top, and the row shown there.
int rowY(const ResultView &view, int position) { return position * view.rowHeight() + view.rowHeight() / 2; }
QModelIndex shownAt(const ResultView &view, int position) { return view.indexAt(QPoint(2, rowY(view, position))); }

bool showWith(ResultView &view, QAbstractItemModel *model, QSize size = QSize(300, 200))
{
    view.resize(size);
    view.setModel(model);
    return showExposed(view);
}

} // namespace

class TestResultView : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    std::unique_ptr<CLog> m_log;
    std::unique_ptr<ResultView> m_view;
    CStringListModel *m_model = nullptr;
    int m_every = 1;
    QString minutes() const { return m_dir.filePath(QStringLiteral("minutes.mlog")); }

    // A log of `count` records "rec=N" shown through a results model; the filter keeps
    // every record, or (`sparse`) every 100th, so the run makes many turns of the loop.
    bool openNumbered(int count, int perSecond, bool sparse = false)
    {
        m_every = sparse ? 100 : 1;
        m_view.reset(); // the previous tab goes before the log it shows
        const QString path = m_dir.filePath(QStringLiteral("numbered-%1-%2.mlog").arg(count).arg(perSecond));
        writeRecords(path, count, [=](int i, MlogRecord &record) {
            record.time = 1780000000 + quint32(i / perSecond);
            record.payload = "rec=" + QByteArray::number(i);
        });
        m_log.reset(new CLog);
        m_log->readLog(path);
        CFilterPtr filter(new CFilter(QStringLiteral("numbered")));
        filter->setLists({{}, {}, {}, {}, {}, {sparse ? QStringLiteral("rec=\\d*00$") : QStringLiteral("rec=")}});
        m_view.reset(createResultView(nullptr));
        m_model = new CStringListModel(m_log.get(), filter, m_view.get());
        testModel(m_model);
        connect(m_view->verticalScrollBar(), &QScrollBar::valueChanged, m_model, &CStringListModel::scrollMoved);
        m_model->scrollMoved(0);
        return m_log->recordCount() == count && showWith(*m_view, m_model, QSize(500, 300));
    }

    // The end of the text of result row `row`: every 100th is records 100, 200 ...
    QString recordEnd(int row) const
    {
        return QStringLiteral(" rec=%1").arg(m_every == 1 ? qint64(row) : (qint64(row) + 1) * m_every);
    }

private slots:
    void initTestCase() { startApp("vrelview-resultview"); }

    void init() { clearSettings(m_dir.path() + QStringLiteral("/none")); }

    // Every pixel of a bar, its gap included, names that bar when hovered
    // and goes to its first row when clicked; the pixel before the bar's
    // first names and goes to what lies before it; a click at either end
    // of the strip goes to the first row at that time or later. The bars
    // are the painted ones, found in a picture of the strip, at several
    // widths and so several bucket widths.
    void everyPixelOfABar_data()
    {
        QTest::addColumn<int>("width");
        QTest::newRow("733") << 733;
        QTest::newRow("1021") << 1021;
        QTest::newRow("1300") << 1300;
        QTest::newRow("1637") << 1637;
    }
    void everyPixelOfABar()
    {
        QFETCH(int, width);
        mainWindow window;
        window.resize(width, 700);
        showMinutes(window, minutes());
        testModel(currentModel(window));
        TimelineStrip *line = strip(window);
        QVERIFY(line && line->isVisible());
        QTRY_VERIFY(!line->buckets().isEmpty());
        const QVector<TimeBucket> buckets = line->buckets();
        QVERIFY2(buckets.first().end - buckets.first().start < qint64(kSpacing), "bars must stand apart");
        QVector<TimeBucket> withRows;
        for (const TimeBucket &b : buckets)
            if (b.rows > 0)
                withRows.append(b);
        QCOMPARE(withRows.size(), kCount / kPerBlock);

        // The painted bars: runs of columns that are not the base colour
        // just above the bottom line.
        const QImage image = line->grab().toImage();
        const QRgb base = line->palette().base().color().rgb();
        const int y = image.height() - 2;
        QVector<QPair<int, int>> bars;  // first and last column
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) == base)
                continue;
            if (!bars.isEmpty() && bars.last().second == x - 1)
                bars.last().second = x;
            else
                bars.append({x, x});
        }
        QCOMPARE(bars.size(), withRows.size());

        const auto hover = [line](int x) {
            const QPoint pos(x, line->height() / 2);
            QHelpEvent help(QEvent::ToolTip, pos, line->mapToGlobal(pos));
            QApplication::sendEvent(line, &help);
            return QToolTip::text();
        };
        const auto click = [&window, line](int x) {
            mouse(line, QEvent::MouseButtonPress, x, Qt::LeftButton);
            mouse(line, QEvent::MouseButtonRelease, x, Qt::NoButton);
            return selectedRow(window);
        };
        const auto named = [](const TimeBucket &b) {
            return QDateTime::fromSecsSinceEpoch(b.start).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"))
                   + QStringLiteral(" to ");
        };
        for (int k : {1, 2, int(bars.size()) / 2, int(bars.size()) - 1}) {
            const TimeBucket &bar = withRows.at(k);
            const int row = rowsBefore(bar.start);
            // The bar's columns, and the gap after it up to the next bucket's first.
            for (int x = bars.at(k).first; x <= bars.at(k).second; ++x) {
                const QString text = hover(x);
                QVERIFY2(text.startsWith(named(bar)), qPrintable(QStringLiteral("x %1: %2").arg(x).arg(text)));
                QVERIFY2(text.contains(QStringLiteral("%1 rows").arg(bar.rows)), qPrintable(text));
                QCOMPARE(click(x), row);
                QCOMPARE(line->timeAt(x), bar.start);
            }
            // Before the bar: the empty bucket before it, whose click goes
            // to the first row after it, that is the bar's own.
            const int before = bars.at(k).first - 1;
            const QString text = hover(before);
            QVERIFY2(!text.startsWith(named(bar)), qPrintable(QStringLiteral("x %1: %2").arg(before).arg(text)));
            QVERIFY2(text.contains(QStringLiteral("0 rows")), qPrintable(text));
            QVERIFY(line->timeAt(before) < bar.start);
        }
        // The strip's first pixel, its middle and its last, past the last
        // record, where a click leaves the selection as it was.
        for (const int x : {0, line->width() / 2, line->width() - 1}) {
            const int before = selectedRow(window);
            const int row = rowsBefore(line->timeAt(x));
            QCOMPARE(click(x), row < kCount ? row : before);
        }
    }

    // The scale label stands whole inside the strip, and the strip inside
    // the part of the tab that shows, at every width: the start time gives
    // way to it.
    void scaleLabelFits_data()
    {
        QTest::addColumn<int>("width");
        QTest::newRow("narrow") << 300;
        QTest::newRow("wide") << 1100;
    }
    void scaleLabelFits()
    {
        QFETCH(int, width);
        mainWindow window;
        window.resize(width, 600);
        showMinutes(window, minutes());
        TimelineStrip *line = strip(window);
        QTRY_VERIFY(!line->buckets().isEmpty());
        QAbstractItemView *view = currentView(window);
        // The strip lies within the view's frame, beside the scroll bar.
        const QRect stripInView(line->mapTo(view, QPoint(0, 0)), line->size());
        QVERIFY(view->rect().contains(stripInView));
        if (view->verticalScrollBar()->isVisible()) {
            const QRect bar(view->verticalScrollBar()->mapTo(view, QPoint(0, 0)), view->verticalScrollBar()->size());
            QVERIFY(!bar.intersects(stripInView));
        }
        // The label's last column of ink leaves room before the edge.
        const QImage image = line->grab().toImage();
        const QRgb base = line->palette().base().color().rgb();
        const int textRows = line->fontMetrics().height();
        int lastInk = -1;
        for (int x = 0; x < image.width(); ++x)
            for (int y = 0; y < textRows && y < image.height() - 1; ++y)
                if (image.pixel(x, y) != base)
                    lastInk = std::max(lastInk, x);
        QVERIFY(lastInk > 0);
        QVERIFY2(lastInk < image.width() - 1, qPrintable(QString::number(lastInk)));
        QVERIFY(line->scaleLabelRect().left() >= 0);
        QVERIFY(line->scaleLabelRect().right() < line->width());
        QVERIFY(line->fontMetrics().horizontalAdvance(line->scaleLabel()) <= line->scaleLabelRect().width());
    }

    void escapeClearsAndDragAppliesARange()
    {
        mainWindow window;
        showMinutes(window, minutes());
        TimelineStrip *line = strip(window);
        qint64 start = 0;
        qint64 end = 0;
        // Esc takes a marked span away.
        line->setSpan(kStart, kStart + 600);
        QVERIFY(line->span(&start, &end));
        QTest::keyClick(line, Qt::Key_Escape);
        QVERIFY(!line->span(&start, &end));
        const int from = line->width() / 4;
        const int to = line->width() / 2;
        // Four pixels across the strip are a drag already.
        mouse(line, QEvent::MouseButtonPress, from, Qt::LeftButton);
        mouse(line, QEvent::MouseMove, from + 4, Qt::LeftButton);
        QVERIFY(line->span(&start, &end));
        QTest::keyClick(line, Qt::Key_Escape);
        QVERIFY(!line->span(&start, &end));
        mouse(line, QEvent::MouseButtonPress, from, Qt::LeftButton);
        mouse(line, QEvent::MouseMove, (from + to) / 2, Qt::LeftButton);
        mouse(line, QEvent::MouseMove, to, Qt::LeftButton);
        QVERIFY(line->span(&start, &end));
        QVERIFY(start <= line->timeAt(from) && end > line->timeAt(to));
        mouse(line, QEvent::MouseButtonRelease, to, Qt::NoButton);
        QVERIFY(showOnlyRange(line));

        // The current filter now holds exactly that range, and the tab shows it.
        const TabInfo info = currentTab(window);
        QVERIFY(info.filter);
        QCOMPARE(info.filter->time, QDateTime::fromSecsSinceEpoch(end - 1));
        QCOMPARE(qint64(info.filter->period), start - (end - 1));
        CStringListModel *model = currentModel(window);
        testModel(model);
        QCOMPARE(model->rowCount(), rowsBefore(end) - rowsBefore(start));
        QCOMPARE(TimeBuckets::timeOfRow(*model, 0), qint64(kStart) + (start - kStart + kSpacing - 1) / kSpacing * kSpacing);
        // A new run in the tab: no span is left marked.
        QVERIFY(!strip(window)->span(&start, &end));
        // The narrowed default filter shows as modified in the selector,
        // and Filter info gives its range.
        auto *selector = filterSelector(window);
        QVERIFY(selector);
        QVERIFY2(selector->currentText().endsWith(QStringLiteral(" (modified)")), qPrintable(selector->currentText()));
        QCOMPARE(selector->currentIndex(), 0);
        const QString described = child<QLabel>(window, "lbFilter")->text();
        QVERIFY2(described.contains(QDateTime::fromSecsSinceEpoch(end - 1).toString(QStringLiteral("hh:mm:ss"))),
                 qPrintable(described));
        // A second narrowing marks it once.
        line = strip(window);
        mouse(line, QEvent::MouseButtonPress, line->width() / 4, Qt::LeftButton);
        mouse(line, QEvent::MouseMove, line->width() / 2, Qt::LeftButton);
        mouse(line, QEvent::MouseButtonRelease, line->width() / 2, Qt::NoButton);
        QVERIFY(showOnlyRange(line));
        QCOMPARE(selector->currentText().count(QStringLiteral("(modified)")), 1);
    }

    // A marked span of exactly one second, shown alone: every row of that
    // second and no other, at the log's first and last second too.
    void oneSecondShownAlone_data()
    {
        QTest::addColumn<int>("second");
        QTest::newRow("first second") << 0;
        QTest::newRow("a middle second") << 17;
        QTest::newRow("last second") << 29;
    }

    void oneSecondShownAlone()
    {
        QFETCH(int, second);
        // Thirty seconds: a bucket a second.
        mainWindow window;
        window.show();
        window.openLogPath(writeSeconds(m_dir.filePath(QStringLiteral("seconds.mlog")), 30));
        TimelineStrip *line = strip(window);
        QVERIFY(line);
        const qint64 at = kStart + second;
        line->setSpan(at, at);
        qint64 start = 0;
        qint64 end = 0;
        QVERIFY(line->span(&start, &end));
        QCOMPARE(start, at);
        QCOMPARE(end, at + 1);
        const QPoint pos(line->xOf(at), line->height() / 2);
        QContextMenuEvent event(QContextMenuEvent::Mouse, pos, line->mapToGlobal(pos));
        QApplication::sendEvent(line, &event);
        QVERIFY(showOnlyRange(line));
        CStringListModel *model = currentModel(window);
        testModel(model);
        QTRY_COMPARE_WITH_TIMEOUT(model->rowCount(), 5, 1000);
        for (int row = 0; row < 5; ++row)
            QVERIFY(model->index(row, 0).data().toString().endsWith(QStringLiteral("rec-%1").arg(second * 5 + row, 3, 10, QLatin1Char('0'))));
    }

    // The range "Show only this time range" gives the current filter at its
    // shortest: one second keeps a period of -1 for readers of the period
    // alone and names its start itself; two seconds and more need no start.
    // `first` and `last` are the seconds (from the log's start) it holds.
    void shortestRanges_data()
    {
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("last");
        QTest::addColumn<int>("period");
        QTest::addColumn<bool>("ownStart");
        QTest::newRow("one second") << 4 << 4 << -1 << true;
        QTest::newRow("the first second") << 0 << 0 << -1 << true;
        QTest::newRow("the last second") << 9 << 9 << -1 << true;
        QTest::newRow("two seconds") << 4 << 5 << -1 << false;
        QTest::newRow("three seconds") << 4 << 6 << -2 << false;
        // The longest period a filter holds, from long before the log on.
        QTest::newRow("2^31 seconds") << 9 - 2147483647 << 9 << -2147483647 << false;
    }

    void shortestRanges()
    {
        QFETCH(int, first);
        QFETCH(int, last);
        QFETCH(int, period);
        QFETCH(bool, ownStart);
        mainWindow window;
        window.show();
        window.openLogPath(writeSeconds(m_dir.filePath(QStringLiteral("ten.mlog")), 10));
        QVERIFY(strip(window));
        const QDateTime start = QDateTime::fromSecsSinceEpoch(qint64(kStart) + first);
        const QDateTime end = QDateTime::fromSecsSinceEpoch(qint64(kStart) + last);
        emit strip(window)->rangeChosen(start, end);
        const TabInfo info = currentTab(window);
        QVERIFY(info.filter);
        QCOMPARE(info.filter->time, end);
        QCOMPARE(info.filter->period, period);
        QCOMPARE(info.filter->start, ownStart ? start : QDateTime());
        CStringListModel *model = currentModel(window);
        testModel(model);
        const int shownFirst = std::max(first, 0);
        QTRY_COMPARE(model->rowCount(), 5 * (last - shownFirst + 1));
        const QString firstRow = QStringLiteral("rec-%1").arg(5 * shownFirst, 3, 10, QLatin1Char('0'));
        QVERIFY2(model->index(0, 0).data().toString().endsWith(firstRow), qPrintable(model->index(0, 0).data().toString()));
    }

    // Hidden from the View menu, the strip leaves its room to the rows.
    // A burst dwarfs a lone record in the linear scale (a bar of one
    // pixel); the logarithmic scale lifts it, and the burst's bar stays the
    // strip's height in both.
    void logScaleLiftsSmallBars()
    {
        mainWindow window;
        trigger(window, "actionTimelineShow");
        window.show();
        window.openLogPath(writeRecords(m_dir.filePath(QStringLiteral("burst.mlog")), 1001, [](int i, MlogRecord &r) {
            r.time = kStart + (i == 1000 ? 3600 : 0);
            r.payload = "x";
        }));
        TimelineStrip *line = strip(window);
        QVERIFY(line && line->isVisible());
        const auto barHeight = [line](qint64 secs) {
            const QImage image = line->grab().toImage();
            const int x = std::min(line->xOf(secs) + 1, image.width() - 1);
            const QRgb base = line->palette().base().color().rgb();
            // The bar rises from the strip's bottom line.
            int y = image.height() - 2;
            while (y >= 0 && image.pixel(x, y) != base)
                --y;
            return image.height() - 2 - y;
        };
        const int linearLone = barHeight(kStart + 3600);
        const int linearBurst = barHeight(kStart);
        line->setLogScale(true);
        QVERIFY2(barHeight(kStart + 3600) > 3 * linearLone, qPrintable(QString::number(linearLone)));
        QCOMPARE(barHeight(kStart), linearBurst);
    }

    // At every turn of the event loop the run makes once rows are announced:
    // the top rows are on screen with their texts, painted as before, and
    // the scroll bar has grown with the rows without moving them.
    void rowsStayWhileRunCounts()
    {
        QVERIFY(openNumbered(1000000, 1, true));
        ResultView &view = *m_view;
        QScrollBar *bar = view.verticalScrollBar();
        int checks = 0, counts = 0, lastRows = 0, top = 0;
        QImage shown;
        QString failure;
        QTimer probe;
        connect(&probe, &QTimer::timeout, this, [&] {
            const int rows = m_model->rowCount();
            if (rows < 4 || !failure.isEmpty())
                return;
            ++checks;
            counts += rows != lastRows;
            lastRows = rows;
            const QModelIndex first = shownAt(view, 0);
            if (first.row() != top || !text(first).endsWith(recordEnd(top)) || !text(shownAt(view, 3)).endsWith(recordEnd(top + 3)))
                failure = QStringLiteral("top row %1 \"%2\"").arg(first.row()).arg(text(first));
            else if (bar->value() != top || bar->maximum() != std::max(0, rows - view.visibleRows()))
                failure = QStringLiteral("scroll bar %1 of %2 for %3 rows").arg(bar->value()).arg(bar->maximum()).arg(rows);
            const QImage image = view.viewport()->grab(QRect(0, 0, 200, 4 * view.rowHeight())).toImage();
            if (!shown.isNull() && image != shown)
                failure = QStringLiteral("the top rows were painted differently at %1 rows").arg(rows);
            shown = image;
            // Once the count has grown, the user scrolls a little.
            if (counts >= 2 && top == 0 && rows >= 100 + view.visibleRows()) {
                bar->setValue(top = 100);
                shown = QImage();
            }
        });
        probe.start(0);
        m_model->runFilter();
        probe.stop();
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        QVERIFY2(checks >= 3 && counts >= 2 && top == 100, qPrintable(QStringLiteral("%1 checks, %2 counts").arg(checks).arg(counts)));
        QCOMPARE(m_model->rowCount(), 9999);
        QCoreApplication::processEvents();
        QCOMPARE(bar->maximum(), 9999 - view.visibleRows());
        QVERIFY(bar->value() == 100 && text(shownAt(view, 0)).endsWith(recordEnd(100)));
    }

    // Rows the view scrolls to, and a selection that outlives the model's
    // window moving away and back, through to a copy.
    void scrollToAndSelection()
    {
        QVERIFY(openNumbered(20000, 20));
        m_model->runFilter();
        ResultView &view = *m_view;
        QScrollBar *bar = view.verticalScrollBar();
        const int last = m_model->rowCount() - 1, bottom = view.visibleRows() - 1;
        const int cases[][3] = {// row, hint, position on screen
                                {last, QAbstractItemView::EnsureVisible, bottom},
                                {10000, QAbstractItemView::PositionAtBottom, bottom},
                                {10000, QAbstractItemView::PositionAtCenter, bottom / 2},
                                {0, QAbstractItemView::PositionAtBottom, 0}};
        for (const auto &c : cases) {
            // From the other end of the rows, so that the model's window must move.
            bar->setValue(c[0] < 10000 ? bar->maximum() : 0);
            view.scrollTo(m_model->index(c[0], 0), QAbstractItemView::ScrollHint(c[1]));
            const QModelIndex shown = shownAt(view, c[2]);
            QCOMPARE(shown.row(), c[0]);
            QVERIFY2(text(shown).endsWith(recordEnd(c[0])), qPrintable(text(shown)));
            QVERIFY(view.visualRect(shown).top() >= 0 && view.visualRect(shown).bottom() < view.viewport()->height());
        }
        const QModelIndex third = m_model->index(3, 0);
        QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, view.visualRect(third).center());
        bar->setValue(bar->maximum());
        QVERIFY(text(third).isEmpty());
        bar->setValue(0);
        QCOMPARE(view.selectionModel()->selectedIndexes(), QModelIndexList{third});
        QApplication::clipboard()->clear();
        QTest::keySequence(&view, QKeySequence::Copy);
        QVERIFY(text(third).endsWith(recordEnd(3)));
        QCOMPARE(QApplication::clipboard()->text(), text(third));
    }

    // Row counts up to the largest int, and the keys that move through them.
    void largestRowCount()
    {
        const int most = std::numeric_limits<int>::max();
        NumberedModel model; // no model tester here: it visits every inserted row
        model.growTo(100);
        ResultView view;
        QVERIFY(showWith(view, &model));
        QScrollBar *bar = view.verticalScrollBar();
        bar->setValue(50);
        QCoreApplication::processEvents();
        // Growing costs the same at any count: the rows on screen stay, and
        // only they are looked at.
        model.displayCalls = 0;
        model.growTo(most);
        QCoreApplication::processEvents();
        view.viewport()->repaint();
        QVERIFY2(model.displayCalls < 20 * view.visibleRows(), qPrintable(QString::number(model.displayCalls)));
        QCOMPARE(bar->maximum(), most - view.visibleRows());
        QCOMPARE(bar->value(), 50);
        QCOMPARE(shownAt(view, 0).row(), 50);

        // The keys move the current row, selected and on screen, within the rows.
        const auto press = [&](Qt::Key key, int row) {
            QTest::keyClick(&view, key);
            QCOMPARE(view.currentIndex().row(), row);
            QCOMPARE(view.selectionModel()->selectedIndexes(), QModelIndexList{model.index(row, 0)});
            QVERIFY(view.viewport()->rect().contains(view.visualRect(view.currentIndex())));
        };
        view.setCurrentIndex(model.index(3, 0));
        press(Qt::Key_Up, 2);
        press(Qt::Key_PageUp, 0);
        press(Qt::Key_Up, 0);
        press(Qt::Key_PageDown, view.visibleRows());
        press(Qt::Key_End, most - 1);
        QCOMPARE(bar->value(), bar->maximum());
        QCOMPARE(text(shownAt(view, view.visibleRows() - 1)), QStringLiteral("row %1").arg(most - 1));
        // The first row is far above the viewport, not wrapped around into it.
        QVERIFY(view.visualRect(model.index(0, 0)).bottom() < 0);
        press(Qt::Key_PageDown, most - 1);
        press(Qt::Key_PageUp, most - 1 - view.visibleRows());
        press(Qt::Key_Down, most - view.visibleRows());
        press(Qt::Key_Home, 0);
        view.scrollTo(model.index(most / 2, 0), QAbstractItemView::PositionAtTop);
        QCOMPARE(text(shownAt(view, 0)), QStringLiteral("row %1").arg(most / 2));
    }

    void rowsShowRolesAndWidestRow()
    {
        NumberedModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.longRow = 60;
        model.growTo(100);
        ResultView view;
        QVERIFY(showWith(view, &model));
        // Right of the texts only the background counts: row 6 is shaded red, row 5 is not.
        const QImage image = view.viewport()->grab().toImage();
        const QColor refused = image.pixelColor(view.viewport()->width() - 5, rowY(view, 6));
        const QColor plain = image.pixelColor(view.viewport()->width() - 5, rowY(view, 5));
        QVERIFY2(refused.red() > 200 && refused.green() < 180 && refused.blue() < 180, qPrintable(refused.name()));
        QVERIFY2(plain.green() > 200, qPrintable(plain.name()));
        QScrollBar *bar = view.horizontalScrollBar();
        QVERIFY(bar->maximum() == 0 && !bar->isVisible());
        // The long row comes into view: the range reaches its end, and stays
        // when the row is scrolled away again.
        view.scrollTo(model.index(60, 0));
        QTRY_VERIFY(bar->isVisible()); // the scroll area shows its bars a turn later
        QStyleOptionViewItem option;
        option.initFrom(&view);
        option.font = view.font();
        const int longWidth = view.itemDelegate()->sizeHint(option, model.index(60, 0)).width();
        QCOMPARE(bar->maximum() + view.viewport()->width(), longWidth);
        view.scrollTo(model.index(0, 0));
        QCoreApplication::processEvents();
        QCOMPARE(bar->maximum() + view.viewport()->width(), longWidth);
        bar->setValue(bar->maximum());
        QCOMPARE(view.visualRect(model.index(0, 0)).right(), view.viewport()->width() - 1);
    }
};

QTEST_MAIN(TestResultView)
#include "tst_resultview.moc"
