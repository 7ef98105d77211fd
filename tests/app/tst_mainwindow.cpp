// The main window driven offscreen: its frame, settings at start, opening
// logs, filter runs, tabs, and the guards that keep long operations apart.
#include "clog.h"
#include "iconfallback.h"
#include "cstringlistmodel.h"
#include "mainwindow.h"
#include "mlogwriter.h"
#include "modalanswer.h"
#include "vrelintegration.h"

#include <QAbstractItemModelTester>
#include <QAbstractItemView>
#include <QAction>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Writes `count` records, `perSecond` to a second, every `refuseEvery`-th refused.
QString writeLog(const QString &path, int count, int perSecond = 10, int refuseEvery = 7, quint32 uid = 0)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return QString();
    const quint32 start = QDateTime::currentDateTime().toSecsSinceEpoch() - 86400;
    for (int i = 0; i < count; ++i) {
        MlogRecord record;
        record.time = start + quint32(i / perSecond);
        record.subject[0] = 4000 + quint32(i);
        record.subject[1] = 1;
        record.subject[2] = uid;
        record.subject[3] = uid;
        record.kind = 2;
        record.event = 0;
        record.status = (i % refuseEvery == refuseEvery - 1) ? 1 : 0;
        record.payload = QByteArray("/var/tmp/file-") + QByteArray::number(i);
        file.write(encodeRecord(record));
    }
    return path;
}

QAbstractItemView *currentView(mainWindow &window)
{
    return qobject_cast<QAbstractItemView *>(window.findChild<QTabWidget *>(QStringLiteral("twLogResult"))->currentWidget());
}

// The display text of the first row of the current tab.
QString firstRow(mainWindow &window)
{
    QAbstractItemView *view = currentView(window);
    return view && view->model() ? view->model()->index(0, 0).data().toString() : QString();
}

CStringListModel *currentModel(mainWindow &window)
{
    QAbstractItemView *view = currentView(window);
    return view ? qobject_cast<CStringListModel *>(view->model()) : nullptr;
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void firstStartWritesDefaults();
    void existingSettingsAreKept();
    void frameHasItsWidgets();
    void geometryRoundTrip();
    void panelToggles();
    void sizeToString_data();
    void sizeToString();
    void memAvailableParsing();
    void openShowsRecords();
    void noEntriesFound();
    void largeFileQuestion();
    void cancelRead();
    void cancelFilterRunAndBusyApply();
    void tabsNewCloseAndSwitch();
    void tabStaysWhileBusy_data();
    void tabStaysWhileBusy();

private:
    QTemporaryDir m_dir;
};

void TestMainWindow::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QStringLiteral("vrel-test"));
    QCoreApplication::setApplicationName(QStringLiteral("vrelview-test"));
    QVERIFY(m_dir.isValid());
    ensureIconTheme();
}

void TestMainWindow::init()
{
    QSettings().clear();
    QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) + QLatin1Char('/')
         + QCoreApplication::applicationName())
        .removeRecursively();
}

void TestMainWindow::firstStartWritesDefaults()
{
    mainWindow window;
    QSettings settings;
    QCOMPARE(settings.value(QStringLiteral("config/logdir")).toString(), QStringLiteral("/var/log/marvok"));
    QCOMPARE(settings.value(QStringLiteral("config/logfile")).toString(), QStringLiteral("/var/log/marvok/kernel.mlog"));
    QCOMPARE(settings.value(QStringLiteral("config/filter")).toString(), QStringLiteral("default"));
    QVERIFY(!settings.contains(QStringLiteral("config/autoopen")));
    QVERIFY(!settings.contains(QStringLiteral("config/autofilter")));
    // The index folder exists, and nothing is opened on start.
    QVERIFY(QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)).exists(QCoreApplication::applicationName()));
    QTest::qWait(0);
    QCOMPARE(window.findChild<QTabWidget *>(QStringLiteral("twLogResult"))->count(), 0);
}

void TestMainWindow::existingSettingsAreKept()
{
    {
        QSettings settings;
        settings.setValue(QStringLiteral("config/logdir"), QStringLiteral("/srv/logs"));
        settings.setValue(QStringLiteral("config/filter"), 42); // a wrong type is kept as it is
    }
    mainWindow window;
    QSettings settings;
    QCOMPARE(settings.value(QStringLiteral("config/logdir")).toString(), QStringLiteral("/srv/logs"));
    QCOMPARE(settings.value(QStringLiteral("config/filter")).toInt(), 42);
    QCOMPARE(settings.value(QStringLiteral("config/logfile")).toString(), QStringLiteral("/var/log/marvok/kernel.mlog"));
}

void TestMainWindow::frameHasItsWidgets()
{
    mainWindow window;
    const char *names[] = {"centralWidget", "splitterH", "frameLeft", "splitterV", "gbFilter", "lbFilter",
                           "gbFile", "twFiles", "layoutWidget", "gbFind", "leFind", "btnBwd", "btnFwd",
                           "twLogResult", "menuBar", "mainToolBar", "statusBar", "tbFilterEdit", "menuFile",
                           "menuView", "menuFilter", "menuSettings", "actionExit", "actionOpen", "actionOptions",
                           "actionResults", "actionCancel", "actionFilterShow", "actionFileShow",
                           "actionFilterEdit", "actionFilterSave", "actionFilterDel", "actionRefresh",
                           "actionFindShow", "actionNewTab", "actionResultsSave"};
    for (const char *name : names)
        QVERIFY2(window.findChild<QObject *>(QLatin1String(name)), name);
    QCOMPARE(window.windowTitle(), QStringLiteral("Vrel View Audit"));
    QCOMPARE(window.findChild<QStatusBar *>(QStringLiteral("statusBar"))->minimumHeight(), 25);
    // The help menu of the desktop library comes last in the menu bar.
    const QList<QAction *> menus = window.menuBar()->actions();
    QVERIFY(qobject_cast<VrelHelpMenu *>(menus.last()->menu()));
    // The Esc action is reachable though it sits in no menu or tool bar.
    QVERIFY(window.actions().contains(window.findChild<QAction *>(QStringLiteral("actionCancel"))));
    // Icon-only buttons have an icon.
    QVERIFY(!window.findChild<QPushButton *>(QStringLiteral("btnFwd"))->icon().isNull());
}

void TestMainWindow::geometryRoundTrip()
{
    QRect stored;
    {
        mainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.setGeometry(40, 50, 700, 500);
        stored = window.geometry();
        window.findChild<QAction *>(QStringLiteral("actionFindShow"))->setChecked(true);
        window.findChild<QAction *>(QStringLiteral("actionFileShow"))->setChecked(false);
        // Closing the window ends the event loop.
        QTimer::singleShot(0, &window, &QWidget::close);
        QCOMPARE(QCoreApplication::exec(), 0);
    }
    mainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.geometry().size(), stored.size());
    QVERIFY(window.findChild<QWidget *>(QStringLiteral("gbFind"))->isVisible());
    QVERIFY(!window.findChild<QWidget *>(QStringLiteral("gbFile"))->isVisible());
    QVERIFY(window.findChild<QWidget *>(QStringLiteral("gbFilter"))->isVisible());
}

void TestMainWindow::panelToggles()
{
    mainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto *filterShow = window.findChild<QAction *>(QStringLiteral("actionFilterShow"));
    auto *fileShow = window.findChild<QAction *>(QStringLiteral("actionFileShow"));
    auto *left = window.findChild<QWidget *>(QStringLiteral("frameLeft"));
    filterShow->setChecked(false);
    fileShow->setChecked(false);
    QVERIFY(!left->isVisible());
    fileShow->setChecked(true);
    QVERIFY(left->isVisible());
    QVERIFY(window.findChild<QWidget *>(QStringLiteral("gbFile"))->isVisible());
    QVERIFY(!window.findChild<QWidget *>(QStringLiteral("gbFilter"))->isVisible());
}

void TestMainWindow::sizeToString_data()
{
    QTest::addColumn<qint64>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("bytes") << qint64(1000) << "1000 bytes";
    QTest::newRow("half kb") << qint64(1536) << "1.5 kb";
    QTest::newRow("one mb") << qint64(1024 * 1024) << "1 mb";
    QTest::newRow("small remainder") << qint64(1100) << "1.0 kb";
    QTest::newRow("beyond gb") << (qint64(1) << 40) << "1024 gb";
    QTest::newRow("zero") << qint64(0) << "0 bytes";
}

void TestMainWindow::sizeToString()
{
    QFETCH(qint64, bytes);
    QFETCH(QString, text);
    QCOMPARE(mainWindow::sizeToString(bytes), text);
}

void TestMainWindow::memAvailableParsing()
{
    QCOMPARE(mainWindow::parseMemAvailable("MemTotal:  100 kB\nMemAvailable:    2048 kB\n"), qint64(2048) * 1024);
    QCOMPARE(mainWindow::parseMemAvailable("MemAvailable: 77\n"), qint64(77));
    QCOMPARE(mainWindow::parseMemAvailable("MemFree: 10 kB\n"), qint64(0));
    QCOMPARE(mainWindow::parseMemAvailable("MemAvailable: lots kB\n"), qint64(0));
    QCOMPARE(mainWindow::parseMemAvailable(QByteArray("MemAvailable: 5 kB\0MemAvailable: 9 kB\n", 38)), qint64(5) * 1024);
    QVERIFY(mainWindow::memAvailable() > 0);
}

void TestMainWindow::openShowsRecords()
{
    const QString path = writeLog(m_dir.filePath(QStringLiteral("open.mlog")), 7000, 25);
    QVERIFY(!path.isEmpty());
    mainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    ModalAnswer answer;
    window.openLogPath(path);
    QCOMPARE(answer.count(), 0);

    auto *tabs = window.findChild<QTabWidget *>(QStringLiteral("twLogResult"));
    QCOMPARE(tabs->count(), 1);
    QCOMPARE(tabs->tabText(0), QStringLiteral("open.mlog - default"));
    QCOMPARE(window.windowTitle(), path + QStringLiteral(" - Vrel View Audit"));
    CStringListModel *model = currentModel(window);
    QVERIFY(model);
    QAbstractItemModelTester tester(model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(model->rowCount(), 7000);
    QAbstractItemView *view = currentView(window);
    QCOMPARE(view->model()->rowCount(), 7000);

    const QString first = model->index(0, 0).data().toString();
    QVERIFY2(first.contains(QStringLiteral("/var/tmp/file-0")), qPrintable(first));
    QVERIFY(first.contains(QLatin1Char('\t')));
    // Record 6 is refused: shaded red; record 0 is not.
    QCOMPARE(model->index(6, 0).data(Qt::BackgroundRole).value<QBrush>().color(), QColor(255, 0, 0, 128));
    QVERIFY(!model->index(0, 0).data(Qt::BackgroundRole).isValid());

    // Scrolling to the end loads the last rows.
    view->scrollToBottom();
    QTRY_VERIFY(model->index(6999, 0).data().toString().contains(QStringLiteral("/var/tmp/file-6999")));
    QVERIFY(window.statusBar()->currentMessage() == QStringLiteral("Finished!")
            || window.statusBar()->currentMessage().isEmpty());
    // The reader is free again and every opener is enabled.
    QVERIFY(!window.isBusy());
    QVERIFY(window.findChild<QAction *>(QStringLiteral("actionOpen"))->isEnabled());
    QCOMPARE(QSettings().value(QStringLiteral("recentFiles")).toString(), path + QLatin1Char(';'));

    // The same unchanged log is not read again.
    QSignalSpy maximum(window.logReader(), &CLog::valueMaximum);
    window.openLogPath(path);
    QCOMPARE(maximum.count(), 0);
}

void TestMainWindow::noEntriesFound()
{
    const QString shown = writeLog(m_dir.filePath(QStringLiteral("shown.mlog")), 300, 10);
    const QString path = m_dir.filePath(QStringLiteral("empty.mlog"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(256, 'x'));
    file.close();
    mainWindow window;
    window.openLogPath(shown);
    const QString row = firstRow(window);
    QVERIFY(row.contains(QStringLiteral("<4000,1,0,0,0>")));

    ModalAnswer answer;
    window.openLogPath(path);
    QCOMPARE(answer.count(), 1);
    QCOMPARE(answer.lastText(), QStringLiteral("No entries found!"));
    QCOMPARE(answer.lastTitle(), QStringLiteral("Warning"));
    // The log shown stays the log held: the tab, its rows and both titles.
    QCOMPARE(window.logReader()->logPath(), shown);
    QCOMPARE(window.windowTitle(), shown + QStringLiteral(" - Vrel View Audit"));
    QCOMPARE(firstRow(window), row);
    QMetaObject::invokeMethod(&window, "actionResultsPress", Qt::DirectConnection);
    QCOMPARE(window.findChild<QTabWidget *>(QStringLiteral("twLogResult"))->tabText(0),
             QStringLiteral("shown.mlog - default"));
    QCOMPARE(firstRow(window), row);
    // Asked again, the unchanged empty log is not read and not reported again.
    window.openLogPath(path);
    QCOMPARE(answer.count(), 1);
}

void TestMainWindow::largeFileQuestion()
{
    const QString path = m_dir.filePath(QStringLiteral("large.mlog"));
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(encodeRecord(MlogRecord()));
        QVERIFY(file.resize(104857600)); // exactly 100 MiB: never asked
    }
    mainWindow window;
    window.memAvailableSource = [] { return qint64(1000); };
    {
        ModalAnswer answer(QMessageBox::No);
        QVERIFY(window.loadLog(path));
        QCOMPARE(answer.count(), 0);
    }
    QVERIFY(QFile(path).resize(104857601));
    {
        ModalAnswer answer(QMessageBox::No);
        QSignalSpy maximum(window.logReader(), &CLog::valueMaximum);
        QVERIFY(!window.loadLog(path));
        QCOMPARE(answer.count(), 1);
        QCOMPARE(answer.lastTitle(), QStringLiteral("Large file size"));
        QVERIFY(answer.lastText().startsWith(QStringLiteral("You are trying to load a 100 mb log with an available memory of 1000 bytes.")));
        QCOMPARE(maximum.count(), 0);
    }
    window.memAvailableSource = [] { return qint64(0); };
    {
        ModalAnswer answer(QMessageBox::No);
        QVERIFY(window.loadLog(path));
        QCOMPARE(answer.count(), 0);
    }
}

void TestMainWindow::cancelRead()
{
    const QString path = writeLog(m_dir.filePath(QStringLiteral("cancel.mlog")), 200000, 40);
    mainWindow window;
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    ModalAnswer answer;
    // The Esc key as soon as the read shows progress.
    QTimer esc;
    connect(&esc, &QTimer::timeout, &window, [&] {
        const auto bars = window.statusBar()->findChildren<QProgressBar *>();
        if (bars.isEmpty() || bars.first()->value() <= 0)
            return;
        esc.stop();
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &window, Qt::Key_Escape);
    });
    esc.start(1);
    QVERIFY(window.isBusy() == false);
    window.loadLog(path);
    QVERIFY(window.logReader()->isCancelled());
    QVERIFY(window.logReader()->recordCount() < 200000);
    QCOMPARE(window.statusBar()->currentMessage(), QStringLiteral("Read finished!"));
    QVERIFY(!window.isBusy());
    QVERIFY(window.statusBar()->findChildren<QProgressBar *>().isEmpty());
}

void TestMainWindow::cancelFilterRunAndBusyApply()
{
    // Many blocks, so that the count takes long enough to be interrupted.
    const QString path = writeLog(m_dir.filePath(QStringLiteral("run.mlog")), 300000, 1);
    mainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(window.loadLog(path));

    ModalAnswer answer;
    bool sawBusyState = false;
    bool pressedApply = false;
    // During the run: Apply again is refused with the busy warning, the
    // openers and the tab bar are disabled; then Esc cancels the run.
    QTimer poll;
    poll.setInterval(5);
    connect(&poll, &QTimer::timeout, &window, [&] {
        CStringListModel *model = currentModel(window);
        if (!model || !window.isBusy() || QApplication::activeModalWidget())
            return;
        if (!pressedApply) {
            pressedApply = true;
            sawBusyState = !window.findChild<QAction *>(QStringLiteral("actionOpen"))->isEnabled()
                           && !window.findChild<QTabWidget *>(QStringLiteral("twLogResult"))->tabBar()->isEnabled();
            QMetaObject::invokeMethod(&window, "actionResultsPress", Qt::DirectConnection);
            return;
        }
        poll.stop();
        window.findChild<QAction *>(QStringLiteral("actionCancel"))->trigger();
    });
    poll.start();
    QMetaObject::invokeMethod(&window, "actionResultsPress", Qt::DirectConnection);
    poll.stop();
    QVERIFY(pressedApply);
    QVERIFY(sawBusyState);
    QCOMPARE(answer.count(), 1);
    QCOMPARE(answer.lastText(), QStringLiteral("Another process in progress.\nPlease, wait for finished!"));
    CStringListModel *model = currentModel(window);
    QVERIFY(model);
    QVERIFY(model->isCancelled());
    QVERIFY(model->rowCount() < 300000);
    QVERIFY(!window.isBusy());
    QVERIFY(window.findChild<QAction *>(QStringLiteral("actionOpen"))->isEnabled());
}

void TestMainWindow::tabsNewCloseAndSwitch()
{
    QTemporaryDir other;
    const QString inside = writeLog(m_dir.filePath(QStringLiteral("a.mlog")), 300, 10);
    const QString outside = writeLog(other.filePath(QStringLiteral("b.mlog")), 500, 10);
    QSettings().setValue(QStringLiteral("config/logdir"), m_dir.path());
    mainWindow window;
    window.show();
    auto *tabs = window.findChild<QTabWidget *>(QStringLiteral("twLogResult"));
    ModalAnswer answer;

    QMetaObject::invokeMethod(&window, "tabNew", Qt::DirectConnection);
    QCOMPARE(tabs->count(), 1);
    QCOMPARE(tabs->tabText(0), QStringLiteral("New"));
    QVERIFY(!tabs->tabsClosable());
    window.openLogPath(inside);
    QCOMPARE(tabs->tabText(0), QStringLiteral("a.mlog - default"));

    QMetaObject::invokeMethod(&window, "tabNew", Qt::DirectConnection);
    QCOMPARE(tabs->count(), 2);
    QVERIFY(tabs->tabsClosable());
    QCOMPARE(tabs->currentIndex(), 1);
    // A tab that never showed results opens nothing and warns of nothing.
    tabs->setCurrentIndex(0);
    QCOMPARE(window.logReader()->logPath(), inside);
    tabs->setCurrentIndex(1);
    QCOMPARE(answer.count(), 0);
    QCOMPARE(window.logReader()->logPath(), inside);

    window.openLogPath(outside);
    QCOMPARE(tabs->tabText(1), QStringLiteral("b.mlog - default"));
    QCOMPARE(currentModel(window)->rowCount(), 500);
    tabs->setCurrentIndex(0);
    QCOMPARE(window.logReader()->logPath(), inside);
    // Back to the tab of the log outside the log folder: exactly that file again.
    tabs->setCurrentIndex(1);
    QCOMPARE(window.logReader()->logPath(), outside);
    QCOMPARE(answer.count(), 0);

    // Closing the last but one tab hides the close buttons; the last one stays.
    QMetaObject::invokeMethod(&window, "tabClose", Qt::DirectConnection, Q_ARG(int, 1));
    QCOMPARE(tabs->count(), 1);
    QVERIFY(!tabs->tabsClosable());
    QCOMPARE(window.logReader()->logPath(), inside);
    QCOMPARE(window.tabs().size(), 1);
    QMetaObject::invokeMethod(&window, "tabClose", Qt::DirectConnection, Q_ARG(int, 0));
    QCOMPARE(tabs->count(), 1);
}

void TestMainWindow::tabStaysWhileBusy_data()
{
    QTest::addColumn<int>("way");
    QTest::newRow("Ctrl+Tab") << 0;
    QTest::newRow("Ctrl+Shift+Tab") << 1;
    QTest::newRow("Ctrl+PageUp") << 2;
    QTest::newRow("Ctrl+PageDown") << 3;
    QTest::newRow("wheel over the tab bar") << 4;
    QTest::newRow("setCurrentIndex") << 5;
}

void TestMainWindow::tabStaysWhileBusy()
{
    QFETCH(int, way);
    const QString a = writeLog(m_dir.filePath(QStringLiteral("a.mlog")), 300, 10, 7, 0);
    const QString b = writeLog(m_dir.filePath(QStringLiteral("b.mlog")), 300000, 1, 7, 1);
    mainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto *tabs = window.findChild<QTabWidget *>(QStringLiteral("twLogResult"));
    window.openLogPath(a);
    QMetaObject::invokeMethod(&window, "tabNew", Qt::DirectConnection);

    // Once b's filter run counts, try to switch to a's tab.
    bool tried = false;
    QTimer poll;
    connect(&poll, &QTimer::timeout, &window, [&] {
        if (tried || !window.isBusy() || !currentModel(window))
            return;
        tried = true;
        switch (way) {
        case 0: QTest::keyClick(tabs, Qt::Key_Tab, Qt::ControlModifier); break;
        case 1: QTest::keyClick(tabs, Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier); break;
        case 2: QTest::keyClick(tabs, Qt::Key_PageUp, Qt::ControlModifier); break;
        case 3: QTest::keyClick(tabs, Qt::Key_PageDown, Qt::ControlModifier); break;
        case 4: {
            QTabBar *bar = tabs->tabBar();
            const QPoint at = bar->tabRect(1).center();
            QWheelEvent wheel(at, bar->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                              Qt::NoScrollPhase, false);
            QApplication::sendEvent(bar, &wheel);
            break;
        }
        default: tabs->setCurrentIndex(0);
        }
        // Whatever the way in, the run's tab stays current.
        QCOMPARE(tabs->currentIndex(), 1);
        window.findChild<QAction *>(QStringLiteral("actionCancel"))->trigger();
    });
    poll.start(1);
    window.openLogPath(b);
    poll.stop();
    QVERIFY(tried);
    QCOMPARE(tabs->currentIndex(), 1);
    QVERIFY(firstRow(window).contains(QStringLiteral("<4000,1,1,1,0>")));

    // Afterwards each tab shows the log it is titled with.
    tabs->setCurrentIndex(0);
    QCOMPARE(tabs->tabText(0), QStringLiteral("a.mlog - default"));
    QCOMPARE(window.logReader()->logPath(), a);
    QVERIFY(firstRow(window).contains(QStringLiteral("<4000,1,0,0,0>")));
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
