#include "mainwindow.h"

#include "cfiltereditwindow.h"
#include "clog.h"
#include "csettingswindow.h"
#include "cstringlistmodel.h"
#include "filterdescription.h"
#include "filterselector.h"
#include "followcontrol.h"
#include "logpath.h"
#include "logset.h"
#include "markcontrol.h"
#include "rowactions.h"
#include "resultview.h"
#include "rowcountcontrol.h"
#include "ui_filternamedialog.h"
#include "settingsaccess.h"
#include "summarycontrol.h"
#include "timelinecontrol.h"
#include "ui_mainwindow.h"
#include "vrelintegration.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QSettings>
#include <QSplitter>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTabBar>
#include <QTimer>

#include <algorithm>
#include <utility>

// The window as its additions see it.
class mainWindow::Context final : public WindowContext
{
public:
    explicit Context(mainWindow &window) : w(window) {}

    QWidget *window() const override { return &w; }
    QTabWidget *resultTabs() const override { return w.ui->twLogResult; }
    ResultView *currentResultView() const override { return w.currentResultView(); }
    TabInfo *tabInfo(int index) override
    {
        return index >= 0 && index < w.tabInfos.size() ? &w.tabInfos[index] : nullptr;
    }
    const TabInfo *tabInfo(int index) const override
    {
        return index >= 0 && index < w.tabInfos.size() ? &w.tabInfos.at(index) : nullptr;
    }
    CLog *logReader() const override { return w.log.get(); }
    QStatusBar *statusBar() const override { return w.statusBar(); }
    FilterSelector *filterSelector() const override { return w.filterCombo; }

    bool isBusy() const override { return w.isBusy(); }
    void setBusy(bool busy) override
    {
        w.ready = !busy;
        w.updateBusyState();
    }
    void setRunningModel(CStringListModel *model) override { w.runningModel = model; }
    void setReadingLog(CLog *reader) override { w.readingLog = reader; }

    void warnBusy() override { w.warnBusy(); }
    void warnCostlyPattern(const QString &pattern) override { w.warnCostlyPattern(pattern); }
    void showTabFilter(const TabInfo &info) override { w.showTabFilter(info); }
    void applyEditedFilter(const CFilterPtr &filter) override { w.applyEditedFilter(filter); }
    void updateLogFileRow(const QString &path) override { w.updateLogFileRow(path); }
    void showRowCount() override { w.rowCounts->showRowCount(); }
    void nameSetTab(int index) override { w.nameSetTab(index); }
    void noteRunEnd(int index, const CStringListModel *model) override { w.rowCounts->noteRunEnd(index, model); }
    void saveResults(const std::vector<qint64> *onlyRecords) override { w.saveResults(onlyRecords); }

private:
    mainWindow &w;
};

mainWindow::mainWindow(QWidget *parent)
    : QMainWindow(parent)
    , context(std::make_unique<Context>(*this))
{
    // Before the first read of the settings.
    setSettingsAccessHook([this] { guardSettings(); });
    defaultFilterName = tr("default");
    datePresets.insert(0, tr("Any time"));
    datePresets.insert(300, tr("Last 5 minutes"));
    datePresets.insert(3600, tr("Last 60 minutes"));
    datePresets.insert(43200, tr("Last 12 hours"));
    datePresets.insert(86400, tr("Last 24 hours"));
    datePresets.insert(604800, tr("Last 7 days"));
    datePresets.insert(2592000, tr("Last 30 days"));
    datePresets.insert(2147483647, tr("Set range..."));

    filterEditor = new CFilterEditWindow(this);
    settingsWindow = new CSettingsWindow(this);
    log = OpenLogs::makeReader();
    ui = new Ui::mainWindow;
    filterNameUi = new Ui::filterNameDialog;
    filterCombo = new FilterSelector;
    filterNameDialog = new QDialog;
    appTitle = tr("Vrel View Audit");

    filterList().clear();
    filterList().append(CFilterPtr::create(defaultFilterName));
    currentFilterIndex() = 0;
    filterEditor->addTimeItems(datePresets.values());

    // Index files live in the application's folder under the documents folder.
    const QDir documents(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
    const QString indexFolder = documents.filePath(QCoreApplication::applicationName());
    if (!documents.mkpath(QCoreApplication::applicationName()) || !QFileInfo(indexFolder).isWritable())
        indexFolderProblem = tr("The folder %1 for the index files could not be made or written: every log is "
                                "scanned in full whenever it is read.")
                                 .arg(QDir::toNativeSeparators(indexFolder));

    {
        beforeSettingsAccess();
        QSettings settings;
        settings.beginGroup(QStringLiteral("config"));
        if (!settings.contains(QStringLiteral("logdir")))
            settings.setValue(QStringLiteral("logdir"), QStringLiteral("/var/log/marvok"));
        if (!settings.contains(QStringLiteral("logfile")))
            settings.setValue(QStringLiteral("logfile"),
                              QStringLiteral("/var/log/marvok") + QDir::separator() + QStringLiteral("kernel.mlog"));
        if (!settings.contains(QStringLiteral("filter")))
            settings.setValue(QStringLiteral("filter"), defaultFilterName);
        settings.endGroup();
    }

    filterCombo->setToolTipHeading(tr("Current filter"));
    filterCombo->setStatusTip(tr("Current filter"));

    ui->setupUi(this);
    filterNameUi->setupUi(filterNameDialog);
    rowCounts = new RowCountControl(*context, this);

    QAction *mainBarToggle = ui->mainToolBar->toggleViewAction();
    QAction *filterBarToggle = ui->tbFilterEdit->toggleViewAction();
    mainBarToggle->setText(tr("Show main toolbar"));
    filterBarToggle->setText(tr("Show filter toolbar"));
    ui->menuView->insertAction(ui->actionRefresh, mainBarToggle);
    ui->menuView->insertAction(ui->actionRefresh, filterBarToggle);
    ui->menuView->insertSeparator(ui->actionRefresh);

    // The results get the room the panels do not need; a stored splitter
    // state replaces this when the window state is restored.
    ui->splitterH->setStretchFactor(0, 0);
    ui->splitterH->setStretchFactor(1, 1);
    ui->splitterH->setSizes({260, 540});

    connect(ui->btnFwd, SIGNAL(clicked()), this, SLOT(findNext()));
    connect(ui->btnBwd, SIGNAL(clicked()), this, SLOT(findPrevious()));
    connect(ui->twLogResult, SIGNAL(tabCloseRequested(int)), this, SLOT(tabClose(int)));
    connect(ui->twLogResult, SIGNAL(currentChanged(int)), this, SLOT(tabChanged(int)));
    connect(ui->twFiles, SIGNAL(cellClicked(int, int)), this, SLOT(logItemPressed(int, int)));
    setUpLogSets();
    connect(ui->leFind, SIGNAL(textChanged(QString)), this, SLOT(findTyped()));
    connect(ui->leFind, SIGNAL(returnPressed()), this, SLOT(findNext()));
    connect(ui->chbMatchCase, SIGNAL(toggled(bool)), this, SLOT(findTyped()));
    // The panel's note has the room of its longest text from the start, so
    // that a note coming or going moves nothing beside it.
    int noteWidth = 0;
    for (const QString &note : {tr("Nothing to find!"), tr("Not found")})
        noteWidth = std::max(noteWidth, ui->lbFindStatus->fontMetrics().horizontalAdvance(note));
    ui->lbFindStatus->setMinimumWidth(noteWidth + ui->lbFindStatus->margin() * 2 + 2);
    ui->lbFindStatus->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    connect(filterCombo, SIGNAL(activated(int)), this, SLOT(activateFilter(int)));

    setWindowTitle(appTitle);
    setWindowIconText(appTitle);

    buildRecentFiles();
    setupActions();

    follow = new FollowControl(*context, this);
    ui->menuView->addAction(follow->action());
    ui->mainToolBar->addAction(follow->action());

    timeline = new TimelineControl(*context, this);
    ui->menuBar->insertMenu(ui->menuView->menuAction(), timeline->editMenu());
    ui->menuView->insertAction(ui->actionFindShow, timeline->toggleAction());
    ui->menuView->removeAction(ui->actionFindShow);
    ui->menuView->insertAction(timeline->toggleAction(), ui->actionFindShow);

    marks = new MarkControl(*context, this);
    timeline->editMenu()->addSeparator();
    timeline->editMenu()->addActions(marks->rowActions());
    ui->menuView->insertAction(ui->actionRefresh, marks->listAction());
    const QList<QAction *> fileActions = ui->menuFile->actions();
    ui->menuFile->insertAction(fileActions.value(fileActions.indexOf(ui->actionResultsSave) + 1), marks->saveAction());
    rowActions = new RowActions(
        *context, [this](const QDateTime &start, const QDateTime &end) { timeline->applyTimeRange(start, end); },
        this);
    QMenu *editMenu = timeline->editMenu();
    editMenu->insertAction(editMenu->actions().value(0), rowActions->copyAction());
    editMenu->insertSeparator(editMenu->actions().value(1));
    ui->menuFilter->addSeparator();
    ui->menuFilter->addMenu(rowActions->rowMenu());

    ui->menuBar->addMenu(new VrelHelpMenu(this));
    restoreWindowState();
    loadLogDir();
    reloadFilters();

    auto *filterLabel = new QLabel(tr("Filter").leftJustified(8, QLatin1Char(' ')), ui->tbFilterEdit);
    ui->tbFilterEdit->insertWidget(ui->actionFilterEdit, filterLabel);
    ui->tbFilterEdit->insertWidget(ui->actionFilterEdit, filterCombo);
    setAcceptDrops(true);

    QTimer::singleShot(100, this, SLOT(startEvent()));
}

mainWindow::~mainWindow()
{
    // The additions go first: nothing calls them into a half-destroyed window.
    delete std::exchange(marks, nullptr);
    delete std::exchange(rowActions, nullptr);
    delete std::exchange(timeline, nullptr);
    delete std::exchange(follow, nullptr);
    delete std::exchange(summary, nullptr);
    delete std::exchange(rowCounts, nullptr);
    setSettingsAccessHook({});
    delete filterNameDialog;
    delete filterCombo;
    delete filterNameUi;
    delete ui;
    delete filterEditor;
    filterList().clear();
    currentFilterIndex() = 0;
}

void mainWindow::setupActions()
{
    connect(ui->actionExit, SIGNAL(triggered()), this, SLOT(close()));
    connect(ui->actionOpen, SIGNAL(triggered()), this, SLOT(actionOpenPress()));
    connect(ui->actionOpenTogether, &QAction::triggered, this, &mainWindow::actionOpenTogetherPress);
    connect(ui->actionOptions, SIGNAL(triggered()), this, SLOT(actionOptionsPress()));
    connect(ui->actionResults, SIGNAL(triggered()), this, SLOT(actionResultsPress()));
    connect(ui->actionCancel, SIGNAL(triggered()), this, SLOT(actionCancelPress()));
    connect(ui->actionFilterShow, SIGNAL(toggled(bool)), this, SLOT(actionFilterShowPress(bool)));
    connect(ui->actionFileShow, SIGNAL(toggled(bool)), this, SLOT(actionFileShowPress(bool)));
    connect(ui->actionFilterEdit, SIGNAL(triggered()), this, SLOT(actionFilterEditPress()));
    connect(ui->actionFilterSave, SIGNAL(triggered()), this, SLOT(actionFilterSavePress()));
    connect(ui->actionFilterDel, SIGNAL(triggered()), this, SLOT(actionFilterDelPress()));
    connect(ui->actionRefresh, SIGNAL(triggered()), this, SLOT(actionResreshPress()));
    // Hidden with the focus in it, the panel gives the keys back to the
    // results (before it goes, or Qt would pass them to the next widget).
    connect(ui->actionFindShow, &QAction::toggled, this, [this](bool shown) {
        QWidget *page = ui->twLogResult->currentWidget();
        if (!shown && page && ui->gbFind->isAncestorOf(QApplication::focusWidget()))
            page->setFocus(Qt::ShortcutFocusReason);
    });
    connect(ui->actionFindShow, SIGNAL(toggled(bool)), ui->gbFind, SLOT(setVisible(bool)));
    // Shown by the user, the panel is for typing in at once. Restoring it
    // at start moves no focus, so that Space still applies.
    connect(ui->actionFindShow, &QAction::triggered, this, [this](bool shown) {
        if (!shown)
            return;
        ui->leFind->setFocus(Qt::ShortcutFocusReason);
        ui->leFind->selectAll();
    });
    connect(ui->actionNewTab, SIGNAL(triggered()), this, SLOT(tabNew()));
    connect(ui->actionResultsSave, SIGNAL(triggered()), this, SLOT(actionResultsSavePress()));
    summary = new SummaryControl(*context, ui->menuBar, this);
    ui->menuBar->insertMenu(ui->menuSettings->menuAction(), summary->menu());

    // Cancel sits in no menu or tool bar; as an action of the window itself
    // its Esc shortcut still reaches whichever long operation runs.
    addAction(ui->actionCancel);
}

void mainWindow::loadLogDir()
{
    beforeSettingsAccess();
    const QSettings settings;
    logDir = SettingsCheck::stringValue(settings.value(QStringLiteral("config/logdir")),
                                        QStringLiteral("/var/log/marvok"));
}

void mainWindow::setSettingsSetAside(const QList<SettingsCheck::SetAside> &files)
{
    settingsSetAside = files;
}

void mainWindow::showTabFilter(const TabInfo &info)
{
    if (!info.filter) {
        ui->lbFilter->setText(QString());
        return;
    }
    QString text = filterDescription(*info.filter, datePresets);
    const CFilter &made = *info.filter;
    if (info.source
        && (info.source->period != made.period || info.source->time != made.time
            || info.source->start != made.start || info.source->lists() != made.lists()
            || info.source->hidden() != made.hidden()))
        text += QStringLiteral("<br><br><i>") + tr("filter changed: Apply to refresh") + QStringLiteral("</i>");
    ui->lbFilter->setText(text + (follow ? follow->note(info) : QString()));
}

void mainWindow::updateTabsClosable()
{
    ui->twLogResult->setTabsClosable(ui->twLogResult->count() >= 2);
}

bool mainWindow::isBusy() const
{
    return !ready || readingLog;
}

void mainWindow::updateBusyState()
{
    // Everything that would start a second read or take away a tab (and the
    // model a running operation works on) waits until the window is free.
    const bool free = !isBusy();
    ui->actionOpen->setEnabled(free);
    ui->actionOpenTogether->setEnabled(free);
    ui->actionRefresh->setEnabled(free);
    ui->actionOptions->setEnabled(free);
    ui->actionNewTab->setEnabled(free);
    recentGroup->setEnabled(free);
    ui->twFiles->setEnabled(free);
    ui->twLogResult->tabBar()->setEnabled(free);
    if (free)
        busyPage = nullptr;
    else if (!busyPage)
        busyPage = ui->twLogResult->currentWidget();
    if (free && follow)
        follow->windowFree();
}

void mainWindow::warnBusy()
{
    QMessageBox::warning(this, QCoreApplication::applicationName(),
                         tr("Another process in progress.") + QLatin1Char('\n') + tr("Please, wait for finished!"),
                         QMessageBox::Ok);
}

ResultView *mainWindow::currentResultView() const
{
    return dynamic_cast<ResultView *>(ui->twLogResult->currentWidget());
}

void mainWindow::tabNew()
{
    if (isBusy())
        return;
    ResultView *view = createResultView(ui->twLogResult);
    timeline->attach(view);
    marks->attach(view);
    rowActions->attach(view);
    const int index = ui->twLogResult->addTab(view, tr("New"));
    ui->twLogResult->setCurrentIndex(index);
    updateTabsClosable();
    tabInfos.append(TabInfo());
    showTabFilter(tabInfos.last());
    rowCounts->showRowCount();
}

void mainWindow::tabClose(int index)
{
    if (isBusy()) {
        statusBar()->showMessage(tr("Busy: the tab stays open until the current operation ends."), 3000);
        return;
    }
    setCursor(Qt::WaitCursor);
    if (ui->twLogResult->count() > 1 && index >= 0 && index < ui->twLogResult->count()) {
        QWidget *page = ui->twLogResult->widget(index);
        page->deleteLater();
        ui->twLogResult->removeTab(index);
        if (index < tabInfos.size())
            tabInfos.removeAt(index);
    }
    updateTabsClosable();
    tabChanged(ui->twLogResult->currentIndex());
    setCursor(Qt::ArrowCursor);
}

void mainWindow::tabChanged(int index)
{
    if (isBusy()) {
        // The tab widget switches on its own keys (Ctrl+Tab and others) even
        // with its tab bar disabled, and code may switch too: whatever the
        // way in, the tab of the operation under way stays current, so that
        // the operation's model and log stay those of the current tab.
        if (busyPage && ui->twLogResult->currentWidget() != busyPage) {
            const QSignalBlocker blocker(ui->twLogResult);
            ui->twLogResult->setCurrentWidget(busyPage);
            statusBar()->showMessage(tr("Busy: the current tab stays until the current operation ends."), 3000);
        }
        return;
    }
    rowCounts->showRowCount();
    if (index < 0 || index >= tabInfos.size())
        return;
    const TabInfo info = tabInfos.at(index);
    followTabFilter(info);
    if (info.set) {
        // The set stays open with its tab: nothing is read again.
        setWindowTitle(setName(info.set->paths()) + QStringLiteral(" - ") + appTitle);
        showTabFilter(info);
        return;
    }
    if (info.filePath.isEmpty()) {
        // A tab that never showed results has no log to show.
        showTabFilter(info);
        return;
    }
    if (!isFileReadable(info.filePath))
        return;
    // The tab kept its log open: it becomes the current log as it was
    // read. Only a log changed on disk since is read (on from where its
    // index ends); a cancelled read leaves it as it was, whole.
    if (info.log && info.log != log)
        showOpenLog(info.log);
    loadLog(info.filePath);
    // Named again after a tab over a set named the window.
    setWindowTitle(LogPath::readable(log->logPath()) + QStringLiteral(" - ") + appTitle);
    showTabFilter(info);
}

void mainWindow::actionFilterShowPress(bool checked)
{
    ui->gbFilter->setVisible(checked);
    ui->frameLeft->setVisible(ui->actionFileShow->isChecked() || ui->actionFilterShow->isChecked());
}

void mainWindow::actionFileShowPress(bool checked)
{
    ui->gbFile->setVisible(checked);
    ui->frameLeft->setVisible(ui->actionFileShow->isChecked() || ui->actionFilterShow->isChecked());
}

void mainWindow::actionCancelPress()
{
    cancelRequested = true;
    if (readingLog)
        readingLog->canselReadLog();
    if (runningModel)
        runningModel->cancel();
}

void mainWindow::startEvent()
{
    if (!settingsSetAside.isEmpty())
        warnSettingsSetAside(std::exchange(settingsSetAside, {}), tr("The program starts with default settings."));
    if (!indexFolderProblem.isEmpty())
        QMessageBox::warning(this, QCoreApplication::applicationName(), std::exchange(indexFolderProblem, QString()),
                             QMessageBox::Ok);
    fillLogFiles(QDir(logDir));
    if (!startSet.isEmpty()) {
        // Logs named from outside, opened together in place of the
        // configured log.
        openLogSet(std::exchange(startSet, QStringList()));
        return;
    }
    if (!startLog.isEmpty()) {
        // A log named from outside, once: it takes the place of the
        // configured log.
        openLogPath(std::exchange(startLog, QString()));
        return;
    }
    if (!settingsWindow->autoOpen())
        return;
    beforeSettingsAccess();
    const QSettings settings;
    const QString path = SettingsCheck::stringValue(settings.value(QStringLiteral("config/logfile")));
    if (!isFileReadable(path))
        return;
    loadLog(path);
    if (readCancelled || !settingsWindow->autoFilter())
        return;
    const QString name = SettingsCheck::stringValue(settings.value(QStringLiteral("config/filter")), defaultFilterName);
    // By the filter's name, not the selector's text, which may carry the
    // mark of an edit. A filter deleted after it was chosen falls back to
    // the default filter.
    int position = 0;
    for (int i = 1; i < filterList().size() && position == 0; ++i) {
        if (filterList().at(i)->name == name)
            position = i;
    }
    currentFilterIndex() = position;
    filterCombo->setCurrentIndex(currentFilterIndex());
    actionResultsPress();
}

void mainWindow::closeEvent(QCloseEvent *event)
{
    saveWindowState();
    // Whatever runs stops now, so that the event loop can end.
    actionCancelPress();
    event->accept();
    QCoreApplication::quit();
}

void mainWindow::actionOptionsPress()
{
    // Accepting reruns the start step, which opens a log and applies a
    // filter: not while another operation has the log.
    if (isBusy()) {
        warnBusy();
        return;
    }
    fillFilterCombo(settingsWindow->filterSelector());
    settingsWindow->readSettings();
    if (settingsWindow->exec() != QDialog::Accepted)
        return;
    loadLogDir();
    startEvent();
}
