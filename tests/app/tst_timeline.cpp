// The time line of a result tab driven as a user would: a click on the
// strip, a dragged range, Esc, one second shown alone and the two scales.
// The View toggle kept in the settings: tst_mainwindow.
#include "apptest.h"
#include "resultview.h"
#include "timebuckets.h"
#include "timelinestrip.h"

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

} // namespace

class TestTimeline : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString minutes() const { return m_dir.filePath(QStringLiteral("minutes.mlog")); }

private slots:
    void initTestCase() { startApp("vrelview-timeline"); }

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
        mouse(line, QEvent::MouseButtonPress, from, Qt::LeftButton);
        mouse(line, QEvent::MouseMove, (from + to) / 2, Qt::LeftButton);
        mouse(line, QEvent::MouseMove, to, Qt::LeftButton);
        QVERIFY(line->span(&start, &end));
        QVERIFY(start <= line->timeAt(from) && end > line->timeAt(to));
        mouse(line, QEvent::MouseButtonRelease, to, Qt::NoButton);
        QVERIFY(showOnlyRange(line));

        // The current filter now holds exactly that range, and the tab shows it.
        const TabInfo info = window.tabs().value(resultTabs(window)->currentIndex());
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
        auto *selector = child<QToolBar>(window, "tbFilterEdit")->findChild<QComboBox *>();
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
        // Five records a second for thirty seconds: a bucket a second.
        const QString path = writeRecords(m_dir.filePath(QStringLiteral("seconds.mlog")), 150, [](int i, MlogRecord &r) {
            r.time = kStart + quint32(i / 5);
            r.payload = QStringLiteral("rec-%1").arg(i, 3, 10, QLatin1Char('0')).toUtf8();
        });
        mainWindow window;
        window.show();
        window.openLogPath(path);
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
};

QTEST_MAIN(TestTimeline)
#include "tst_timeline.moc"
