// The range "Show only this time range" gives the current filter at its
// shortest: one second keeps a period of -1 for readers of the period alone
// and names its start itself; two seconds and more need no start.
#include "apptest.h"
#include "resultview.h"
#include "timelinestrip.h"

namespace {

const quint32 kStart = quint32(QDateTime(QDate(2024, 5, 10), QTime(1, 0)).toSecsSinceEpoch());

} // namespace

class TestTimelineEdges : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void initTestCase() { startApp("vrelview-timelineedges"); }
    void init() { clearSettings(m_dir.path() + QStringLiteral("/none")); }

    // `first` and `last` are the seconds (from the log's start) the range
    // holds; the log has five records a second for ten seconds.
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
        const QString path = writeRecords(m_dir.filePath(QStringLiteral("seconds.mlog")), 50, [](int i, MlogRecord &r) {
            r.time = kStart + quint32(i / 5);
            r.payload = QStringLiteral("rec-%1").arg(i, 3, 10, QLatin1Char('0')).toUtf8();
        });
        mainWindow window;
        window.show();
        window.openLogPath(path);
        auto *view = dynamic_cast<ResultView *>(currentView(window));
        QVERIFY(view && view->timeline());
        const QDateTime start = QDateTime::fromSecsSinceEpoch(qint64(kStart) + first);
        const QDateTime end = QDateTime::fromSecsSinceEpoch(qint64(kStart) + last);
        emit view->timeline()->rangeChosen(start, end);

        const TabInfo info = window.tabs().value(resultTabs(window)->currentIndex());
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
};

QTEST_MAIN(TestTimelineEdges)
#include "tst_timelineedges.moc"
