// Every way into a tab over logs opened together, and into the operations
// that wait while another runs: a log opened in a set's tab takes its
// place, marks are refused on every way in, Go to time waits its turn.
#include "apptest.h"

#include "logset.h"

namespace {

const TabInfo currentTab(const mainWindow &window)
{
    return window.tabs().value(resultTabs(window)->currentIndex());
}

} // namespace

class TestSetWays : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void initTestCase() { startApp("vrelview-setways"); }
    void init() { clearSettings(m_dir.path()); }

    void oneLogTakesTheSetsPlace_data()
    {
        QTest::addColumn<QString>("way");
        QTest::addColumn<bool>("current"); // the log opened is the window's current one
        QTest::newRow("File > Open, another log") << "open" << false;
        QTest::newRow("File > Open, the current log") << "open" << true;
        QTest::newRow("log files panel, another log") << "panel" << false;
        QTest::newRow("log files panel, the current log") << "panel" << true;
    }

    // The tab over the set shows the log chosen, as a tab of one log does,
    // and says so in its name and the window's title.
    void oneLogTakesTheSetsPlace()
    {
        QFETCH(QString, way);
        QFETCH(bool, current);
        const QString single = writeTagged(m_dir.filePath(QStringLiteral("single.mlog")), "single", 30, 0);
        const QString other = writeTagged(m_dir.filePath(QStringLiteral("other.mlog")), "other", 40, 0);
        const QString a = writeTagged(m_dir.filePath(QStringLiteral("a.mlog")), "a", 20, 0);
        const QString b = writeTagged(m_dir.filePath(QStringLiteral("b.mlog")), "b", 20, 1);
        mainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        DialogDriver driver;
        auto *table = child<QTableWidget>(window, "twFiles");
        QTRY_VERIFY(table->rowCount() >= 4);
        QTRY_VERIFY(idle(window));
        window.openLogPath(single);
        window.openLogSet({a, b});
        QVERIFY(currentTab(window).set);
        const QString chosen = current ? single : other;
        if (way == QLatin1String("open")) {
            window.openLogPath(chosen);
        } else {
            for (int row = 0; row < table->rowCount(); ++row) {
                if (table->item(row, 0)->data(Qt::UserRole).toString() == chosen)
                    QTest::mouseClick(table->viewport(), Qt::LeftButton, {},
                                      table->visualItemRect(table->item(row, 0)).center());
            }
        }
        QTRY_VERIFY(idle(window));
        QVERIFY(!currentTab(window).set);
        QCOMPARE(currentTab(window).filePath, chosen);
        QCOMPARE(currentModel(window)->rowCount(), current ? 30 : 40);
        QVERIFY2(firstRow(window).endsWith(current ? "/srv/single/0" : "/srv/other/0"), qPrintable(firstRow(window)));
        QCOMPARE(window.windowTitle(), chosen + QStringLiteral(" - Vrel View Audit"));
        const QTabWidget *tabs = resultTabs(window);
        QVERIFY2(tabs->tabText(tabs->currentIndex()).startsWith(QFileInfo(chosen).fileName() + QStringLiteral(" - ")),
                 qPrintable(tabs->tabText(tabs->currentIndex())));
        QCOMPARE(driver.texts, QStringList());
    }

    void marksRefusedEveryWay_data()
    {
        QTest::addColumn<QString>("action");
        for (const char *action :
             {"actionMarkToggle", "actionMarkNext", "actionMarkPrevious", "actionMarksShow", "actionResultsSaveMarked"})
            QTest::newRow(action) << action;
    }

    // Whatever way in, a set's tab says marks are not for it, and shows
    // none of the log current before it.
    void marksRefusedEveryWay()
    {
        QFETCH(QString, action);
        const QString single = writeTagged(m_dir.filePath(QStringLiteral("marked.mlog")), "marked", 30, 0);
        const QString a = writeTagged(m_dir.filePath(QStringLiteral("m1.mlog")), "m1", 20, 0);
        const QString b = writeTagged(m_dir.filePath(QStringLiteral("m2.mlog")), "m2", 20, 1);
        mainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        DialogDriver driver;
        window.openLogPath(single);
        selectRow(window, 3);
        currentView(window)->setCurrentIndex(currentModel(window)->index(3, 0));
        trigger(window, "actionMarkToggle");
        QCOMPARE(window.statusBar()->currentMessage(), QStringLiteral("Row marked"));
        window.openLogSet({a, b});
        QVERIFY(currentTab(window).set);
        selectRow(window, 0);
        currentView(window)->setCurrentIndex(currentModel(window)->index(0, 0));
        trigger(window, qPrintable(action));
        QCOMPARE(window.statusBar()->currentMessage(),
                 QStringLiteral("Marks are not available for logs opened together"));
        QCOMPARE(driver.texts, QStringList());
        QCOMPARE(driver.fileDialogs, 0);
        const QDialog *list = window.findChild<QDialog *>(QStringLiteral("dlgMarks"));
        QVERIFY(!list || !list->isVisible());
    }

    // A list shown over one log's tab holds nothing once a tab over a set
    // is current, not even the marks of that log when it is of the set.
    void marksListEmptyOverSet()
    {
        // The marked log is the newest of the set: the one a set's tab
        // names as its log.
        const QString single = writeTagged(m_dir.filePath(QStringLiteral("listed.mlog")), "listed", 30, 100);
        const QString older = writeTagged(m_dir.filePath(QStringLiteral("l1.mlog")), "l1", 20, 0);
        mainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        DialogDriver driver;
        window.openLogPath(single);
        currentView(window)->setCurrentIndex(currentModel(window)->index(5, 0));
        trigger(window, "actionMarkToggle");
        trigger(window, "actionMarksShow");
        auto *list = window.findChild<QTreeView *>(QStringLiteral("tvMarks"));
        QVERIFY(list);
        testModel(list->model());
        QCOMPARE(list->model()->rowCount(), 1);
        window.openLogSet({older, single});
        QCOMPARE(list->model()->rowCount(), 0);
        resultTabs(window)->setCurrentIndex(0);
        QCOMPARE(list->model()->rowCount(), 1);
        resultTabs(window)->setCurrentIndex(1);
        QCOMPARE(list->model()->rowCount(), 0);
        QCOMPARE(driver.texts, QStringList());
    }

    // Go to time while a log is read: the busy warning, and no dialog that
    // would hold the read up.
    void goToTimeWaitsItsTurn()
    {
        const QString large = writeRecords(m_dir.filePath(QStringLiteral("large.mlog")), 300000, [](int i, MlogRecord &r) {
            r.time = 1780000000 + quint32(i);
            r.payload = "large";
        });
        const QString small = writeTagged(m_dir.filePath(QStringLiteral("small.mlog")), "small", 30, 0);
        mainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        DialogDriver driver;
        window.openLogPath(small);
        bool dialogShown = false;
        driver.other = [&dialogShown](QDialog *dialog) {
            dialogShown = dialogShown || dialog->objectName() == QLatin1String("goToTimeDialog");
            dialog->reject();
        };
        QTimer poll;
        bool asked = false;
        whileBusy(poll, window, [&] {
            trigger(window, "actionGoToTime");
            asked = true;
            return true;
        });
        window.openLogPath(large);
        QVERIFY(asked);
        QTRY_VERIFY(idle(window));
        QCOMPARE(driver.texts, QStringList("Another process in progress.\nPlease, wait for finished!"));
        QVERIFY(!dialogShown);
    }
};

QTEST_MAIN(TestSetWays)
#include "tst_setways.moc"
