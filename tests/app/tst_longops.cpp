// Runs, finds and saves against patterns that cost milliseconds per record:
// Cancel (button or Esc) ends each within half a second while the window
// answers, and tabs stay put while one goes on. A record the matcher cannot
// decide: tst_cstringlistmodel.
#include "apptest.h"
#include "resultview.h"

#include <unistd.h>

namespace {

// One block per list of payloads, a second apart.
QString writeBlocks(const QString &path, const QList<QVector<QByteArray>> &blocks)
{
    QList<QPair<int, QByteArray>> records;
    for (int b = 0; b < blocks.size(); ++b) {
        for (const QByteArray &payload : blocks.at(b))
            records.append({b, payload});
    }
    return writeRecords(path, records.size(), [&](int i, MlogRecord &record) {
        record.time = 1780000000 + quint32(records.at(i).first);
        record.status = 1;
        record.payload = records.at(i).second;
    });
}

QList<QStringList> parameters(const QStringList &patterns)
{
    return {{}, {}, {}, {}, {}, patterns};
}

// Two blocks of 150 costly records, " needle" at the end of the last.
QString writeSlow(const QString &path)
{
    const QVector<QByteArray> block(150, QByteArray(100, 'a'));
    QVector<QByteArray> last = block;
    last.last() += " needle";
    return writeBlocks(path, {block, last});
}

// A back-reference costs each record of a's some milliseconds before the
// next pattern matches it: a block of 150 takes a second or more.
void useSlowFilter()
{
    filterList().first()->setLists(parameters({QStringLiteral("(a|aa)*\\1b"), QStringLiteral("aaa")}));
}

// The longest time the event loop went without a turn while it watches:
// a timer that should fire every 10 ms notes the gaps between its calls.
struct TurnWatch
{
    TurnWatch()
    {
        clock.start();
        tick.setTimerType(Qt::PreciseTimer);
        QObject::connect(&tick, &QTimer::timeout, [this] { longest = std::max(longest, clock.restart()); });
        tick.start(10);
    }
    qint64 longestGap() const { return std::max(longest, clock.elapsed()); }

    QElapsedTimer clock;
    QTimer tick;
    qint64 longest = 0;
};

} // namespace

class TestLongOps : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void initTestCase() { startApp("vrelview-longops"); }

    void init() { clearSettings(m_dir.path() + QStringLiteral("/none")); }

    void cancelWithinHalfASecond_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::newRow("filter run, cancel button") << "run";
        QTest::newRow("find, Esc") << "find";
        QTest::newRow("save, cancel button") << "save";
    }

    // However long each record takes, the event loop turns every few tens of
    // milliseconds, and a cancel ends the operation at once.
    void cancelWithinHalfASecond()
    {
        QFETCH(QString, operation);
        mainWindow window;
        window.show();
        DialogDriver driver;
        driver.fileName = m_dir.filePath(QStringLiteral("slow.txt"));
        window.openLogPath(writeSlow(m_dir.filePath(QStringLiteral("slow.mlog"))));
        useSlowFilter();
        if (operation != QLatin1String("run")) // the rows to search and save, counted without a cancel
            trigger(window, "actionResults");
        QVERIFY(currentModel(window)->rowCount() == 300 && !currentModel(window)->stop().stopped());
        testModel(currentModel(window));
        TurnWatch watch;
        QElapsedTimer sinceCancel;
        QTimer::singleShot(300, &window, [&] {
            sinceCancel.start();
            if (operation == QLatin1String("find"))
                QTest::keyClick(&window, Qt::Key_Escape);
            else if (cancelButton(window))
                cancelButton(window)->click();
        });
        if (operation == QLatin1String("run"))
            trigger(window, "actionResults");
        else if (operation == QLatin1String("find"))
            child<QLineEdit>(window, "leFind")->setText(QStringLiteral("needle"));
        else
            trigger(window, "actionResultsSave");
        const qint64 ended = sinceCancel.isValid() ? sinceCancel.elapsed() : -1;
        QVERIFY2(ended >= 0, "the operation ended before the cancel");
        QVERIFY2(ended < 500, qPrintable(QStringLiteral("ended %1 ms after the cancel").arg(ended)));
        QVERIFY2(watch.longestGap() < 500, qPrintable(QStringLiteral("no turn for %1 ms").arg(watch.longestGap())));
        QVERIFY(currentModel(window)->isCancelled() && !window.isBusy());
        if (operation == QLatin1String("run"))
            QVERIFY(currentModel(window)->rowCount() < 300);
        if (operation == QLatin1String("save"))
            QCOMPARE(readAll(driver.fileName), QByteArray());
        if (operation == QLatin1String("find")) {
            // Nothing selected, no message: the search was called off.
            QVERIFY(selectedRow(window) == -1 && driver.texts.isEmpty());
            QCOMPARE(window.statusBar()->currentMessage(), QStringLiteral("Find cancelled."));
        }
    }

    void findAgainDuringASearch_data()
    {
        QTest::addColumn<bool>("typed"); // the second search comes from typing, else from F3
        QTest::addColumn<int>("found");
        QTest::newRow("F3") << false << 400;
        QTest::newRow("typing") << true << 10;
    }

    // F3 (or a keystroke) while a long search runs starts again from the row
    // the search under way started at, not from the top; a search that lasts
    // shows the progress widgets of the other long operations meanwhile.
    void findAgainDuringASearch()
    {
        QFETCH(bool, typed);
        QFETCH(int, found);
        // Enough costly records between the two hits that the first search
        // still runs when the second comes, however fast the machine.
        QVector<QByteArray> block(500, QByteArray(100, 'a'));
        block[10] += " needle";
        block[400] += " needle";
        mainWindow window;
        DialogDriver driver;
        window.openLogPath(writeBlocks(m_dir.filePath(QStringLiteral("again.mlog")), {block}));
        useSlowFilter();
        trigger(window, "actionResults");
        testModel(currentModel(window));
        auto *find = child<QLineEdit>(window, "leFind");
        setQuietly(find, QStringLiteral("needl"));
        selectRow(window, 10);
        // The second search comes once the first has shown its progress,
        // that is while it runs.
        bool progressShown = false;
        QTimer poll;
        poll.setInterval(20);
        QObject::connect(&poll, &QTimer::timeout, &window, [&] {
            if (window.statusBar()->findChildren<QProgressBar *>().isEmpty())
                return;
            poll.stop();
            progressShown = true;
            if (typed)
                find->setText(QStringLiteral("needle"));
            else
                child<QPushButton>(window, "btnFwd")->click();
        });
        poll.start();
        child<QPushButton>(window, "btnFwd")->click();
        QTRY_COMPARE_WITH_TIMEOUT(selectedRow(window), found, 120000);
        QVERIFY(progressShown);
        QVERIFY(idle(window));
        QCOMPARE(driver.texts, QStringList());
    }

    void cancelledReadKeepsThePreviousLog_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("another log opened, Esc") << "open";
        QTest::newRow("the grown log refreshed, cancel button") << "refresh";
    }

    // A cancelled read says so, and the window goes on showing the log it
    // showed before, whole; the next read of the log finishes the scan.
    void cancelledReadKeepsThePreviousLog()
    {
        QFETCH(QString, how);
        const bool open = how == QLatin1String("open");
        const QString shown = m_dir.filePath(QStringLiteral("shown.mlog"));
        const QString other = m_dir.filePath(QStringLiteral("other.mlog"));
        const auto make = [](const QString &path, int count) {
            return writeRecords(path, count, [](int i, MlogRecord &record) {
                record.time = 1780000000 + quint32(i / 4);
                record.status = 1;
                record.payload = "/srv/" + QByteArray::number(i);
            });
        };
        QVERIFY(!make(shown, 40).isEmpty() && !make(other, 60000).isEmpty());
        QFile::remove(CLog::indexFilePath(shown));
        QFile::remove(CLog::indexFilePath(other));
        mainWindow window;
        window.show();
        DialogDriver driver;
        window.openLogPath(shown);
        CStringListModel *model = currentModel(window);
        testModel(model);
        const auto state = [&] {
            return QStringList{window.windowTitle(), resultTabs(window)->tabText(0), window.logReader()->logPath(),
                               QString::number(model->rowCount()), QString::number(window.logReader()->blockCount())};
        };
        const QStringList before = state();
        QCOMPARE(before.mid(2), QStringList({shown, "40", "10"}));
        if (!open) { // the log grows by far more than it held
            QVERIFY(QFile::remove(shown) && QFile::copy(other, shown));
            QVERIFY(setFileTime(shown, QDateTime::currentDateTime().addSecs(5)));
        }
        const auto read = [&] { open ? window.openLogPath(other) : trigger(window, "actionRefresh"); };
        // Stopped at the first turn of the read, as soon as its bar shows.
        QTimer::singleShot(0, &window, [&] { open ? QTest::keyClick(&window, Qt::Key_Escape) : cancelButton(window)->click(); });
        read();
        QCOMPARE(window.statusBar()->currentMessage(), QStringLiteral("Read cancelled."));
        QVERIFY(driver.texts.isEmpty());
        QVERIFY(idle(window));
        QCOMPARE(currentModel(window), model);
        QCOMPARE(state(), before);
        // Read again to its end, it shows every record.
        read();
        QCOMPARE(window.statusBar()->currentMessage(), QStringLiteral("Finished!"));
        QCOMPARE(window.logReader()->logPath(), open ? other : shown);
        QCOMPARE(currentModel(window)->rowCount(), 60000);
        QVERIFY(driver.texts.isEmpty());
    }

    void tabTellsItsCount_data()
    {
        QTest::addColumn<QString>("run");
        QTest::addColumn<int>("rows");
        QTest::newRow("every record matches") << "all" << 600;
        QTest::newRow("nothing matches") << "none" << 0;
        QTest::newRow("cancelled") << "cancel" << -1;
    }

    // The status bar and the tab's tool tip tell how many rows the tab
    // holds; a cancelled run says so, and its tab is marked until the next
    // run; a run without a match says so in the tab.
    void tabTellsItsCount()
    {
        QFETCH(QString, run);
        QFETCH(int, rows);
        const QVector<QByteArray> block(150, QByteArray(100, 'a'));
        const QString path = writeBlocks(m_dir.filePath(QStringLiteral("count.mlog")), {block, block, block, block});
        mainWindow window;
        window.show();
        DialogDriver driver;
        window.openLogPath(path);
        auto *label = child<QLabel>(window, "lbRowCount");
        QVERIFY(label && label->isVisible());
        QCOMPARE(label->text(), QStringLiteral("Rows: 600"));
        if (run == QLatin1String("none"))
            filterList().first()->setLists(parameters({QStringLiteral("zzz")}));
        if (run == QLatin1String("cancel")) {
            useSlowFilter(); // cancelled in its first blocks
            QTimer::singleShot(300, &window, [&] {
                QVERIFY(label->text().startsWith(QStringLiteral("Rows so far: ")));
                QTest::keyClick(&window, Qt::Key_Escape);
            });
        }
        trigger(window, "actionResults");
        testModel(currentModel(window));
        QVERIFY(driver.texts.isEmpty());
        const QString title = QStringLiteral("count.mlog - ") + filterList().first()->name;
        auto *view = dynamic_cast<ResultView *>(currentView(window));
        QVERIFY(view);
        if (rows >= 0) {
            QCOMPARE(currentModel(window)->rowCount(), rows);
            QCOMPARE(window.statusBar()->currentMessage(), QStringLiteral("Finished!"));
            QCOMPARE(label->text(), QStringLiteral("Rows: %1").arg(rows));
            QCOMPARE(resultTabs(window)->tabText(0), title);
            QCOMPARE(resultTabs(window)->tabToolTip(0), QDir::toNativeSeparators(path) + QStringLiteral("\nRows: %1").arg(rows));
            QCOMPARE(view->emptyText(), rows == 0 ? QStringLiteral("No records match the filter") : QString());
            return;
        }
        const int shown = currentModel(window)->rowCount();
        QVERIFY(shown < 600);
        QCOMPARE(window.statusBar()->currentMessage(), QStringLiteral("Filter run cancelled."));
        QCOMPARE(resultTabs(window)->tabText(0), title + QStringLiteral(" (stopped)"));
        // The rows stop before the first block not counted.
        const int counted = currentModel(window)->blockCounts().size();
        const QString where = QStringLiteral("Rows: %1, stopped at %2")
                                  .arg(shown)
                                  .arg(QDateTime::fromSecsSinceEpoch(1780000000 + counted).toString(
                                      QStringLiteral("yyyy-MM-dd hh:mm:ss")));
        QCOMPARE(label->text(), where);
        QVERIFY(resultTabs(window)->tabToolTip(0).endsWith(where));
        if (shown == 0)
            QCOMPARE(view->emptyText(), QStringLiteral("No records matched before the run stopped."));
        // The next run, whole, takes the marker away.
        filterList().first()->setLists(parameters({}));
        trigger(window, "actionResults");
        QCOMPARE(resultTabs(window)->tabText(0), title);
        QCOMPARE(label->text(), QStringLiteral("Rows: 600"));
    }

    // The log files panel reads only the ends of a log: a file of garbage, or
    // a log with a long garbage tail, fills its row at once with "<Unknown>"
    // where no record lies near the end looked at.
    void logFilesPanelReadsOnlyTheEnds()
    {
        const QString folder = m_dir.filePath(QStringLiteral("panel"));
        QVERIFY(QDir().mkpath(folder));
        const qint64 huge = qint64(64) << 30; // sparse: costs no disk
        QFile junk(folder + QStringLiteral("/junk.mlog"));
        QVERIFY(junk.open(QIODevice::WriteOnly) && junk.resize(huge));
        junk.close();
        const QString tail = writeBlocks(folder + QStringLiteral("/tail.mlog"), {{"a"}, {"b"}});
        QFile tailed(tail);
        QVERIFY(tailed.open(QIODevice::ReadWrite) && tailed.resize(huge));
        tailed.close();
        QSettings().setValue(QStringLiteral("config/logdir"), folder);
        mainWindow window;
        DialogDriver driver;
        // Reading 64 GiB would take minutes.
        ::alarm(20);
        window.fillLogFiles(QDir(folder));
        ::alarm(0);
        const auto *table = child<QTableWidget>(window, "twFiles");
        QStringList cells;
        for (int i = 0; i < 3 * table->rowCount(); ++i)
            cells << table->item(i / 3, i % 3)->text();
        const QString unknown = QChar(0x00A0) + QStringLiteral("<Unknown>");
        const QString first = QChar(0x00A0) + QDateTime::fromSecsSinceEpoch(1780000000).toString(QStringLiteral("yyyy-MM-dd\nhh:mm:ss"));
        QCOMPARE(cells, QStringList({"junk.mlog", unknown, unknown, "tail.mlog", first, unknown}));
        QVERIFY(driver.texts.isEmpty());
    }
    // While a log is read, or a run, find or save goes on, in the second
    // tab, no way of switching or closing tabs leaves it or closes either
    // tab, and no second operation starts; afterwards each tab shows its
    // own log.
    void tabsStayWhileAnOperationGoesOn_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QString>("way");
        const char *const ways[] = {"Ctrl+Tab", "click on the other tab", "close button of this tab",
                                    "close button of the other tab", "close by code", "switch by code",
                                    "Ctrl+Shift+Tab", "Ctrl+PageUp", "Ctrl+PageDown", "wheel over the tab bar"};
        for (const char *way : ways)
            QTest::addRow("read, %s", way) << "read" << way;
        for (int way = 0; way < 6; ++way)
            QTest::addRow("run, %s", ways[way]) << "run" << ways[way];
        for (const char *operation : {"find", "save"}) {
            for (const char *way : {ways[1], ways[2], ways[4]})
                QTest::addRow("%s, %s", operation, way) << operation << way;
        }
    }

    void tabsStayWhileAnOperationGoesOn()
    {
        QFETCH(QString, operation);
        QFETCH(QString, way);
        const QString small = writeBlocks(m_dir.filePath(QStringLiteral("small.mlog")), {{"first tab"}});
        const QString slow = writeSlow(m_dir.filePath(QStringLiteral("slow.mlog")));
        const QString large = writeRecords(m_dir.filePath(QStringLiteral("large.mlog")), 300000, [](int i, MlogRecord &r) {
            r.time = 1780000000 + quint32(i);
            r.payload = "large";
        });
        mainWindow window;
        QVERIFY(showExposed(window));
        DialogDriver driver;
        driver.fileName = m_dir.filePath(QStringLiteral("saved.txt"));
        QTabWidget *tabs = resultTabs(window);
        window.openLogPath(small);
        invoke(window, "tabNew");
        if (operation != QLatin1String("read")) {
            window.openLogPath(slow);
            useSlowFilter();
        }
        if (operation == QLatin1String("find") || operation == QLatin1String("save")) {
            trigger(window, "actionResults");
            QCOMPARE(currentModel(window)->rowCount(), 300);
        }
        bool stayed = false;
        QTimer poll;
        whileBusy(poll, window, [&] {
            QTabBar *bar = tabs->tabBar();
            const auto closeButton = [bar](int tab) {
                auto *button = qobject_cast<QAbstractButton *>(bar->tabButton(tab, QTabBar::RightSide));
                if (button)
                    button->click();
            };
            const QPoint other = bar->tabRect(0).center();
            QWheelEvent wheel(other, bar->mapToGlobal(other), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                              Qt::NoScrollPhase, false);
            if (way == QLatin1String("Ctrl+Tab"))
                QTest::keyClick(tabs, Qt::Key_Tab, Qt::ControlModifier);
            else if (way == QLatin1String("Ctrl+Shift+Tab"))
                QTest::keyClick(tabs, Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
            else if (way == QLatin1String("Ctrl+PageUp"))
                QTest::keyClick(tabs, Qt::Key_PageUp, Qt::ControlModifier);
            else if (way == QLatin1String("Ctrl+PageDown"))
                QTest::keyClick(tabs, Qt::Key_PageDown, Qt::ControlModifier);
            else if (way == QLatin1String("wheel over the tab bar"))
                QApplication::sendEvent(bar, &wheel);
            else if (way == QLatin1String("click on the other tab"))
                QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(0).center());
            else if (way == QLatin1String("close button of this tab"))
                closeButton(1);
            else if (way == QLatin1String("close button of the other tab"))
                closeButton(0);
            else if (way == QLatin1String("close by code"))
                closeTab(window, 1);
            else
                tabs->setCurrentIndex(0);
            // The openers are off, and Apply is refused with the busy warning.
            stayed = tabs->count() == 2 && tabs->currentIndex() == 1 && window.isBusy()
                     && !child<QAction>(window, "actionOpen")->isEnabled();
            invoke(window, "actionResultsPress");
            trigger(window, "actionCancel");
            return true;
        });
        if (operation == QLatin1String("read"))
            window.openLogPath(large);
        else if (operation == QLatin1String("run"))
            trigger(window, "actionResults");
        else if (operation == QLatin1String("find"))
            child<QLineEdit>(window, "leFind")->setText(QStringLiteral("needle"));
        else
            trigger(window, "actionResultsSave");
        QVERIFY(stayed);
        QTRY_VERIFY(!window.isBusy() && child<QAction>(window, "actionOpen")->isEnabled());
        QCOMPARE(driver.texts, QStringList("Another process in progress.\nPlease, wait for finished!"));
        QCOMPARE(tabs->count(), 2);
        QCOMPARE(tabs->currentIndex(), 1);
        const QString own = operation == QLatin1String("read") ? QStringLiteral("large") : QString(100, 'a');
        QVERIFY2(firstRow(window).endsWith(own) || firstRow(window).isEmpty(), qPrintable(firstRow(window)));
        tabs->setCurrentIndex(0);
        QCOMPARE(window.logReader()->logPath(), small);
        QVERIFY(firstRow(window).endsWith(QStringLiteral("first tab")));
    }
};

QTEST_MAIN(TestLongOps)
#include "tst_longops.moc"
