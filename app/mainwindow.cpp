#include "mainwindow.h"

#include "clog.h"
#include "cstringlistmodel.h"
#include "filterdescription.h"
#include "resultview.h"
#include "ui_mainwindow.h"
#include "vrelintegration.h"

#include <QActionGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QLineEdit>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSettings>
#include <QSplitter>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QToolBar>

namespace {

const char kConfigGroup[] = "config";
const char kGeometryGroup[] = "VrelGeometry";
const char kRecentFilesKey[] = "recentFiles";
const int kMaxRecentFiles = 9;
const qint64 kLargeLogSize = 104857600; // 100 MiB

QStringList readRecentFiles()
{
    const QSettings settings;
    return settings.value(QLatin1String(kRecentFilesKey)).toString().split(QLatin1Char(';'), Qt::SkipEmptyParts);
}

} // namespace

// The label, progress bar and cancel button that a long operation shows at
// the right end of the status bar for as long as it runs.
struct mainWindow::Progress
{
    Progress(QStatusBar *statusBar, const QString &text, const QString &cancelTip)
        : label(new QLabel(text + QLatin1Char(':'), statusBar))
        , bar(new QProgressBar(statusBar))
        , button(new QPushButton(statusBar))
    {
        button->setIcon(QIcon::fromTheme(QStringLiteral("dialog-cancel")));
        button->setFlat(true);
        button->setFocusPolicy(Qt::NoFocus);
        button->setToolTip(cancelTip);
        statusBar->addPermanentWidget(label);
        statusBar->addPermanentWidget(bar);
        statusBar->addPermanentWidget(button);
    }
    ~Progress()
    {
        delete button;
        delete bar;
        delete label;
    }
    Progress(const Progress &) = delete;
    Progress &operator=(const Progress &) = delete;

    QLabel *label;
    QProgressBar *bar;
    QPushButton *button;
};

mainWindow::mainWindow(QWidget *parent)
    : QMainWindow(parent)
{
    defaultFilterName = tr("default");
    datePresets.insert(0, tr("Any time"));
    datePresets.insert(300, tr("Last 5 minutes"));
    datePresets.insert(3600, tr("Last 60 minutes"));
    datePresets.insert(43200, tr("Last 12 hours"));
    datePresets.insert(86400, tr("Last 24 hours"));
    datePresets.insert(604800, tr("Last 7 days"));
    datePresets.insert(2592000, tr("Last 30 days"));
    datePresets.insert(2147483647, tr("Set range..."));

    // The filter editor and the settings dialog are created here, with the
    // window as parent, once the dialogs library provides them.
    log = new CLog;
    ui = new Ui::mainWindow;
    filterNameUi = new Ui_filterNameDialog;
    filterCombo = new QComboBox;
    filterNameDialog = new QDialog;
    appTitle = tr("Vrel View Audit");

    filterList().clear();
    filterList().append(CFilterPtr::create(defaultFilterName));
    currentFilterIndex() = 0;

    // Index files live in the application's folder under the documents folder.
    const QDir documents(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
    if (!documents.exists(QCoreApplication::applicationName()))
        documents.mkpath(QCoreApplication::applicationName());

    {
        QSettings settings;
        settings.beginGroup(QLatin1String(kConfigGroup));
        if (!settings.contains(QStringLiteral("logdir")))
            settings.setValue(QStringLiteral("logdir"), QStringLiteral("/var/log/marvok"));
        if (!settings.contains(QStringLiteral("logfile")))
            settings.setValue(QStringLiteral("logfile"),
                              QStringLiteral("/var/log/marvok") + QDir::separator() + QStringLiteral("kernel.mlog"));
        if (!settings.contains(QStringLiteral("filter")))
            settings.setValue(QStringLiteral("filter"), defaultFilterName);
        settings.endGroup();
    }

    filterCombo->setToolTip(tr("Current filter"));
    filterCombo->setStatusTip(tr("Current filter"));

    ui->setupUi(this);
    filterNameUi->setupUi(filterNameDialog);

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

    ui->btnFwd->setIcon(QIcon::fromTheme(QStringLiteral("arrow-right")));
    ui->btnBwd->setIcon(QIcon::fromTheme(QStringLiteral("arrow-left")));

    connect(ui->btnFwd, SIGNAL(clicked()), this, SLOT(findNext()));
    connect(ui->btnBwd, SIGNAL(clicked()), this, SLOT(findPrevious()));
    connect(ui->twLogResult, SIGNAL(tabCloseRequested(int)), this, SLOT(tabClose(int)));
    connect(ui->twLogResult, SIGNAL(currentChanged(int)), this, SLOT(tabChanged(int)));
    connect(ui->twFiles, SIGNAL(cellClicked(int, int)), this, SLOT(logItemPressed(int, int)));
    connect(ui->leFind, SIGNAL(textChanged(QString)), this, SLOT(findNext()));
    connect(filterCombo, SIGNAL(activated(int)), this, SLOT(activateFilter(int)));

    setWindowTitle(appTitle);
    setWindowIconText(appTitle);

    buildRecentFiles();
    setupActions();
    ui->menuBar->addMenu(new VrelHelpMenu(this));
    restoreWindowState();
    loadLogDir();
    reloadFilters();

    auto *filterLabel = new QLabel(tr("Filter").leftJustified(8, QLatin1Char(' ')), ui->tbFilterEdit);
    ui->tbFilterEdit->insertWidget(ui->actionFilterEdit, filterLabel);
    filterCombo->setMinimumWidth(200);
    ui->tbFilterEdit->insertWidget(ui->actionFilterEdit, filterCombo);

    QTimer::singleShot(100, this, SLOT(startEvent()));
}

mainWindow::~mainWindow()
{
    delete filterNameDialog;
    delete filterCombo;
    delete filterNameUi;
    delete ui;
    delete log;
    filterList().clear();
    currentFilterIndex() = 0;
}

void mainWindow::setupActions()
{
    const struct
    {
        QAction *action;
        const char *icon;
    } icons[] = {
        {ui->actionExit, "application-exit"},     {ui->actionOpen, "document-open"},
        {ui->actionResults, "dialog-ok-apply"},   {ui->actionCancel, "dialog-cancel"},
        {ui->actionFilterShow, "view-filter"},    {ui->actionFileShow, "view-list-text"},
        {ui->actionFilterEdit, "view-filter"},    {ui->actionFilterSave, "document-save"},
        {ui->actionFilterDel, "edit-delete"},     {ui->actionRefresh, "view-refresh"},
        {ui->actionFindShow, "edit-find"},        {ui->actionNewTab, "tab-new"},
        {ui->actionResultsSave, "document-save-as"},
    };
    for (const auto &entry : icons)
        entry.action->setIcon(QIcon::fromTheme(QLatin1String(entry.icon)));

    connect(ui->actionExit, SIGNAL(triggered()), this, SLOT(close()));
    connect(ui->actionOpen, SIGNAL(triggered()), this, SLOT(actionOpenPress()));
    connect(ui->actionOptions, SIGNAL(triggered()), this, SLOT(actionOptionsPress()));
    connect(ui->actionResults, SIGNAL(triggered()), this, SLOT(actionResultsPress()));
    connect(ui->actionCancel, SIGNAL(triggered()), this, SLOT(actionCancelPress()));
    connect(ui->actionFilterShow, SIGNAL(toggled(bool)), this, SLOT(actionFilterShowPress(bool)));
    connect(ui->actionFileShow, SIGNAL(toggled(bool)), this, SLOT(actionFileShowPress(bool)));
    connect(ui->actionFilterEdit, SIGNAL(triggered()), this, SLOT(actionFilterEditPress()));
    connect(ui->actionFilterSave, SIGNAL(triggered()), this, SLOT(actionFilterSavePress()));
    connect(ui->actionFilterDel, SIGNAL(triggered()), this, SLOT(actionFilterDelPress()));
    connect(ui->actionRefresh, SIGNAL(triggered()), this, SLOT(actionResreshPress()));
    connect(ui->actionFindShow, SIGNAL(toggled(bool)), ui->gbFind, SLOT(setVisible(bool)));
    connect(ui->actionNewTab, SIGNAL(triggered()), this, SLOT(tabNew()));
    connect(ui->actionResultsSave, SIGNAL(triggered()), this, SLOT(actionResultsSavePress()));

    // Cancel sits in no menu or tool bar; as an action of the window itself
    // its Esc shortcut still reaches whichever long operation runs.
    addAction(ui->actionCancel);
}

void mainWindow::buildRecentFiles()
{
    recentGroup = new QActionGroup(this);
    const QStringList paths = readRecentFiles();
    for (int i = 0; i < paths.size(); ++i) {
        const QFileInfo info(paths.at(i));
        auto *action = new QAction(QString::number(i + 1) + QLatin1Char(' ') + info.fileName(), this);
        action->setData(info.absoluteFilePath());
        action->setStatusTip(tr("Open file: ") + info.absoluteFilePath());
        action->setShortcut(QKeySequence(tr("Alt+") + QString::number(i + 1)));
        recentGroup->addAction(action);
    }
    connect(recentGroup, SIGNAL(triggered(QAction *)), this, SLOT(openFile(QAction *)));
    ui->menuFile->addActions(recentGroup->actions());
}

void mainWindow::addRecentFile(const QFileInfo &file)
{
    QStringList paths = readRecentFiles();
    const QString path = file.absoluteFilePath();
    if (!paths.contains(path))
        paths.append(path);
    if (paths.size() > kMaxRecentFiles)
        paths.removeFirst();
    QString value;
    for (const QString &entry : qAsConst(paths))
        value += entry + QLatin1Char(';');
    QSettings settings;
    settings.setValue(QLatin1String(kRecentFilesKey), value);
}

void mainWindow::saveWindowState()
{
    QSettings settings;
    vrelSaveGeometry(this, &settings, false);
    settings.beginGroup(QLatin1String(kGeometryGroup));
    settings.setValue(QStringLiteral("splitterv"), ui->splitterV->saveState());
    settings.setValue(QStringLiteral("splitterh"), ui->splitterH->saveState());
    settings.setValue(QStringLiteral("filtershow"), ui->actionFilterShow->isChecked());
    settings.setValue(QStringLiteral("fileshow"), ui->actionFileShow->isChecked());
    settings.setValue(QStringLiteral("findshow"), ui->actionFindShow->isChecked());
    settings.endGroup();
}

void mainWindow::restoreWindowState()
{
    QSettings settings;
    vrelRestoreGeometry(this, &settings, QRect(), false);
    settings.beginGroup(QLatin1String(kGeometryGroup));
    ui->splitterV->restoreState(settings.value(QStringLiteral("splitterv")).toByteArray());
    ui->splitterH->restoreState(settings.value(QStringLiteral("splitterh")).toByteArray());
    ui->actionFilterShow->setChecked(settings.value(QStringLiteral("filtershow"), true).toBool());
    ui->actionFileShow->setChecked(settings.value(QStringLiteral("fileshow"), true).toBool());
    ui->actionFindShow->setChecked(settings.value(QStringLiteral("findshow"), false).toBool());
    settings.endGroup();
}

void mainWindow::loadLogDir()
{
    const QSettings settings;
    logDir = settings.value(QStringLiteral("config/logdir")).toString();
}

void mainWindow::reloadFilters()
{
    QSettings settings;
    settings.beginGroup(QStringLiteral("filter"));
    const QStringList keys = settings.childKeys();
    settings.endGroup();

    currentFilterIndex() = 0;
    QList<CFilterPtr> &filters = filterList();
    while (filters.size() > 1)
        filters.removeLast();
    ui->lbFilter->setText(filterDescription(*filters.first(), datePresets));
    for (const QString &key : keys) {
        auto filter = CFilterPtr::create(key);
        filter->load();
        filters.append(filter);
    }
    fillFilterCombo(filterCombo);
}

void mainWindow::fillFilterCombo(QComboBox *combo)
{
    combo->clear();
    for (const CFilterPtr &filter : qAsConst(filterList())) {
        combo->addItem(filter->name);
        combo->setItemData(combo->count() - 1, filterDescription(*filter, datePresets), Qt::ToolTipRole);
    }
    combo->setCurrentIndex(combo->count() > 0 ? 0 : -1);
}

void mainWindow::showTabFilter(const TabInfo &info)
{
    ui->lbFilter->setText(info.filter ? filterDescription(*info.filter, datePresets) : QString());
}

void mainWindow::updateTabsClosable()
{
    ui->twLogResult->setTabsClosable(ui->twLogResult->count() >= 2);
}

bool mainWindow::isBusy() const
{
    return !ready || reading;
}

void mainWindow::updateBusyState()
{
    // Everything that would start a second read or take away a tab (and the
    // model a running operation works on) waits until the window is free.
    const bool free = !isBusy();
    ui->actionOpen->setEnabled(free);
    ui->actionRefresh->setEnabled(free);
    ui->actionNewTab->setEnabled(free);
    recentGroup->setEnabled(free);
    ui->twFiles->setEnabled(free);
    ui->twLogResult->tabBar()->setEnabled(free);
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
    const int index = ui->twLogResult->addTab(view, tr("New"));
    ui->twLogResult->setCurrentIndex(index);
    updateTabsClosable();
    tabInfos.append(TabInfo());
    showTabFilter(tabInfos.last());
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
    if (isBusy() || index < 0 || index >= tabInfos.size())
        return;
    const TabInfo info = tabInfos.at(index);
    if (info.filePath.isEmpty()) {
        // A tab that never showed results has no log to reopen.
        showTabFilter(info);
        return;
    }
    if (isFileReadable(info.filePath)) {
        loadLog(info.filePath);
        showTabFilter(info);
    }
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
    if (reading)
        log->canselReadLog();
    if (runningModel)
        runningModel->cancel();
}

void mainWindow::actionResultsPress()
{
    if (isBusy()) {
        warnBusy();
        return;
    }
    if (ui->twLogResult->currentIndex() < 0)
        tabNew();
    ready = false;
    updateBusyState();
    const int index = ui->twLogResult->currentIndex();
    const QString shownFile = log->logPath().isEmpty() ? currentFile : QFileInfo(log->logPath()).fileName();
    ui->twLogResult->setTabText(index, shownFile + QStringLiteral(" - ") + filterList().at(currentFilterIndex())->name);
    showFilterResults();
    updateTabsClosable();
    ready = true;
    updateBusyState();
}

void mainWindow::showFilterResults()
{
    Progress progress(statusBar(), tr("Processing results"), tr("Cancel current log processing"));
    QWidget *page = ui->twLogResult->currentWidget();
    const int tabIndex = ui->twLogResult->currentIndex();
    const CFilterPtr filter = filterList().at(currentFilterIndex());
    auto *model = new CStringListModel(log, filter, page);
    connect(model, &CStringListModel::valueChanged, progress.bar, &QProgressBar::setValue);
    connect(model, &CStringListModel::valueMaximum, progress.bar, &QProgressBar::setMaximum);
    connect(progress.button, &QPushButton::clicked, model, &CStringListModel::cancel);

    auto *view = dynamic_cast<ResultView *>(page);
    if (!view)
        return;
    setCursor(Qt::WaitCursor);
    disconnect(view, nullptr, nullptr, nullptr);
    view->verticalScrollBar()->setValue(0);
    QAbstractItemModel *oldModel = view->model();
    QItemSelectionModel *oldSelection = view->selectionModel();
    view->setModel(model);
    delete oldSelection;
    if (qobject_cast<CStringListModel *>(oldModel))
        delete oldModel;
    connect(view->verticalScrollBar(), &QScrollBar::valueChanged, model, &CStringListModel::scrollMoved);

    runningModel = model;
    model->runFilter();
    runningModel = nullptr;

    if (tabIndex >= 0 && tabIndex < tabInfos.size()) {
        TabInfo &info = tabInfos[tabIndex];
        info.filter = filter;
        info.filePath = log->logPath();
        info.fileName = QFileInfo(info.filePath).fileName();
        showTabFilter(info);
    }
    statusBar()->showMessage(tr("Finished!"), 3000);
    setCursor(Qt::ArrowCursor);
}

void mainWindow::actionOpenPress()
{
    if (isBusy())
        return;
    QFileDialog dialog(this, tr("Select file..."), logDir, tr("mlog files") + QStringLiteral(" (*.mlog)"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        openLogPath(dialog.selectedFiles().first());
}

void mainWindow::openFile(QAction *act)
{
    openLogPath(QFileInfo(act->data().toString()).absoluteFilePath());
}

void mainWindow::openLogPath(const QString &path)
{
    if (path.isEmpty() || isBusy())
        return;
    if (isFileReadable(path) && loadLog(path))
        actionResultsPress();
}

bool mainWindow::isFileReadable(QString fName)
{
    QFile file(fName);
    if (file.open(QIODevice::ReadOnly)) {
        file.close();
        return true;
    }
    QMessageBox::warning(this, QCoreApplication::applicationName(), tr("Can't open file - ") + fName, QMessageBox::Ok);
    return false;
}

bool mainWindow::loadLog(const QString &path)
{
    currentFile = QFileInfo(path).fileName();
    // The one log reader serves one read at a time, and a filter run under
    // way reads the log it holds.
    if (isBusy())
        return false;
    if (log->logPath() == path && !log->isChanged(path))
        return false;

    const qint64 size = QFileInfo(path).size();
    if (size > kLargeLogSize) {
        const qint64 available = memAvailableSource ? memAvailableSource() : 0;
        if (available > 0 && double(size) >= 0.7 * double(available)) {
            const QString text =
                tr("You are trying to load a %1 log with an available memory of %2.\nParsing this file can take a "
                   "lot of time.\nThis application can be killed by OS if the available memory is exceeded.\nDo you "
                   "want to continue?")
                    .arg(sizeToString(size), sizeToString(available));
            if (QMessageBox::warning(this, tr("Large file size"), text, QMessageBox::Yes | QMessageBox::No,
                                     QMessageBox::NoButton)
                == QMessageBox::No)
                return false;
        }
    }

    ui->twFiles->setEnabled(false);
    showReadLogResults(path);
    if (log->recordCount() == 0) {
        QMessageBox::warning(this, tr("Warning"), tr("No entries found!"), QMessageBox::Ok);
        ui->twFiles->setEnabled(!isBusy());
        return false;
    }
    addRecentFile(QFileInfo(path));
    setWindowTitle(path + QStringLiteral(" - ") + appTitle);
    ui->twFiles->setEnabled(!isBusy());
    ui->twFiles->clearSelection();
    if (QFileInfo(path).absolutePath() == logDir) {
        const QList<QTableWidgetItem *> items = ui->twFiles->findItems(currentFile, Qt::MatchExactly);
        if (!items.isEmpty())
            ui->twFiles->selectRow(items.first()->row());
    }
    return true;
}

void mainWindow::showReadLogResults(QString fName)
{
    Progress progress(statusBar(), tr("Processing read file"), tr("Cancel current log processing"));
    connect(log, &CLog::valueMaximum, progress.bar, &QProgressBar::setMaximum);
    connect(log, &CLog::valueChanged, progress.bar, &QProgressBar::setValue);
    connect(progress.button, &QPushButton::clicked, log, &CLog::canselReadLog);
    reading = true;
    updateBusyState();
    log->readLog(fName);
    reading = false;
    updateBusyState();
    statusBar()->showMessage(tr("Read finished!"), 3000);
}

qint64 mainWindow::memAvailable()
{
    QProcess cat;
    cat.start(QStringLiteral("cat"), {QStringLiteral("/proc/meminfo")}, QIODevice::ReadOnly);
    if (!cat.waitForFinished(30000))
        return 0;
    return parseMemAvailable(cat.readAllStandardOutput());
}

qint64 mainWindow::parseMemAvailable(const QByteArray &meminfo)
{
    const QString text = QString::fromLatin1(meminfo.constData(), qstrnlen(meminfo.constData(), meminfo.size()));
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        if (!line.startsWith(QLatin1String("MemAvailable:")))
            continue;
        const QStringList parts = line.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
        if (parts.size() < 2)
            return 0;
        bool ok = false;
        qint64 value = parts.at(1).toLongLong(&ok);
        if (!ok)
            return 0;
        // The kernel's "kB" are kibibytes.
        if (parts.size() > 2 && parts.at(2).toLower() == QLatin1String("kb"))
            value *= 1024;
        return value;
    }
    return 0;
}

QString mainWindow::sizeToString(qint64 bytes)
{
    const QString units[] = {tr("kb"), tr("mb"), tr("gb")};
    QString unit = tr("bytes");
    QString fraction;
    qint64 n = bytes;
    for (const QString &next : units) {
        if (n <= 1023)
            break;
        const qint64 remainder = n & 1023;
        n >>= 10;
        unit = next;
        fraction = remainder ? QLatin1Char('.') + QString::number(remainder * 10 / 1024) : QString();
    }
    return QStringLiteral("%1%2 %3").arg(n).arg(fraction, unit);
}

void mainWindow::startEvent()
{
    // The log files panel is filled here once it exists.
    const QSettings settings;
    if (!settings.value(QStringLiteral("config/autoopen")).toBool())
        return;
    const QString path = settings.value(QStringLiteral("config/logfile")).toString();
    if (!isFileReadable(path))
        return;
    loadLog(path);
    if (!settings.value(QStringLiteral("config/autofilter")).toBool())
        return;
    const QString name = settings.value(QStringLiteral("config/filter")).toString();
    // A filter deleted after it was chosen falls back to the default filter.
    const int position = qMax(0, filterCombo->findText(name, Qt::MatchExactly | Qt::MatchCaseSensitive));
    currentFilterIndex() = position < filterList().size() ? position : 0;
    filterCombo->setCurrentIndex(currentFilterIndex());
    actionResultsPress();
}

void mainWindow::activateFilter(int id)
{
    if (id < 0 || id >= filterList().size())
        return;
    currentFilterIndex() = id;
    ui->lbFilter->setText(filterDescription(*filterList().at(id), datePresets));
    actionResultsPress();
}

void mainWindow::closeEvent(QCloseEvent *event)
{
    saveWindowState();
    // Whatever runs stops now, so that the event loop can end.
    if (reading)
        log->canselReadLog();
    if (runningModel)
        runningModel->cancel();
    event->accept();
    QCoreApplication::quit();
}

// Commands that arrive with the filter editor, the settings dialog, find,
// saving results and the log files panel.
void mainWindow::logItemPressed(int, int) {}
void mainWindow::findNext() {}
void mainWindow::findPrevious() {}
void mainWindow::actionResultsSavePress() {}
void mainWindow::actionFilterEditPress() {}
void mainWindow::actionFilterSavePress() {}
void mainWindow::actionFilterDelPress() {}
void mainWindow::actionResreshPress() {}
void mainWindow::actionOptionsPress() {}
