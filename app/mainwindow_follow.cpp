// Following the open log as it grows: the Follow log command, the watcher
// of the log file, and what it tells taken into the tabs of the log.
#include "mainwindow.h"

#include "clog.h"
#include "cstringlistmodel.h"
#include "logpath.h"
#include "logwatcher.h"
#include "resultview.h"
#include "statusprogress.h"
#include "ui_mainwindow.h"

#include <QAction>
#include <QDir>
#include <QItemSelectionModel>
#include <QKeySequence>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QTableWidget>
#include <QTimer>

#include <utility>

namespace {

// Rows added below a tab scrolled elsewhere, kept on its model: a new run
// makes a new model and so starts from none.
const char kNewRowsProperty[] = "newRowsBelow";

} // namespace

void mainWindow::setupFollow()
{
    actionFollow = new QAction(QIcon::fromTheme(QStringLiteral("go-bottom")), tr("Follow log"), this);
    actionFollow->setObjectName(QStringLiteral("actionFollow"));
    actionFollow->setCheckable(true);
    actionFollow->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_L));
    actionFollow->setToolTip(tr("Show new records of the open log as they are written"));
    actionFollow->setStatusTip(actionFollow->toolTip());
    ui->menuView->addAction(actionFollow);
    ui->mainToolBar->addAction(actionFollow);

    logWatcher = new LogWatcher(this);
    connect(logWatcher, &LogWatcher::grown, this, &mainWindow::logGrown);
    connect(logWatcher, &LogWatcher::replaced, this, &mainWindow::logReplaced);

    newRowsButton = new QPushButton(statusBar());
    newRowsButton->setObjectName(QStringLiteral("btnNewRows"));
    newRowsButton->setFlat(true);
    newRowsButton->setToolTip(tr("Go to the last row"));
    newRowsButton->hide();
    statusBar()->addPermanentWidget(newRowsButton);
    connect(newRowsButton, &QPushButton::clicked, this, &mainWindow::goToNewRows);
    connect(ui->twLogResult, &QTabWidget::currentChanged, this, &mainWindow::updateNewRowsButton);

    // Following is off at every start until turned on: a log opened at
    // start is not read again behind the user's back because of a choice
    // made in another session.
    connect(actionFollow, &QAction::toggled, this, &mainWindow::followToggled);
}

void mainWindow::followToggled(bool on)
{
    if (!on)
        growthPending = replacementPending = false;
    followWhenFree();
    const int index = ui->twLogResult->currentIndex();
    if (index >= 0 && index < tabInfos.size())
        showTabFilter(tabInfos.at(index));
}

QString mainWindow::followNote(const TabInfo &info) const
{
    if (!actionFollow || !actionFollow->isChecked() || info.filePath.isEmpty() || info.filePath != log->logPath())
        return QString();
    return QStringLiteral("<br><br><i>") + tr("Following the log: new records are added as they are written.")
           + QStringLiteral("</i>");
}

void mainWindow::watchOpenLog()
{
    const QString path = actionFollow && actionFollow->isChecked() ? log->logPath() : QString();
    if (logWatcher->path() == path)
        return;
    logWatcher->watch(path);
    // What the log gained before it was watched, and tabs of it that were
    // counted while another log was open, are brought up to date too.
    if (!path.isEmpty())
        growthPending = true;
}

void mainWindow::followWhenFree()
{
    if (!logWatcher || takingIn)
        return;
    watchOpenLog();
    if ((growthPending || replacementPending) && !followScheduled) {
        followScheduled = true;
        QTimer::singleShot(0, this, [this]() {
            followScheduled = false;
            if ((growthPending || replacementPending) && !isBusy() && !takingIn)
                takeIn();
        });
    }
}

void mainWindow::logGrown()
{
    growthPending = true;
    if (!isBusy() && !takingIn)
        takeIn();
}

void mainWindow::logReplaced()
{
    replacementPending = true;
    if (!isBusy() && !takingIn)
        takeIn();
}

void mainWindow::takeIn()
{
    const bool replaced = std::exchange(replacementPending, false);
    growthPending = false;
    const QString path = log->logPath();
    if (!actionFollow->isChecked() || path.isEmpty())
        return;
    struct Followed
    {
        QPointer<ResultView> view;
        QPointer<CStringListModel> model;
        bool atEnd;
        int rows;
        bool rerun;
    };
    QList<Followed> followed;
    for (int i = 0; i < tabInfos.size() && i < ui->twLogResult->count(); ++i) {
        auto *view = dynamic_cast<ResultView *>(ui->twLogResult->widget(i));
        auto *model = view ? qobject_cast<CStringListModel *>(view->model()) : nullptr;
        if (tabInfos.at(i).filePath != path || !model || !model->log() || !tabInfos.at(i).filter)
            continue;
        const QScrollBar *bar = view->verticalScrollBar();
        followed.append({view, model, bar->value() >= bar->maximum(), model->rowCount(), replaced});
        // The tabs of a file that another one replaced let go of the reader
        // before it reads the new one: scrolling meanwhile must not load rows
        // of the new file under the old file's block numbers. Their rows are
        // made again once it is read.
        if (replaced)
            letGoOfLog(view, model);
    }

    // The read and the counts let the event loop turn: the window is busy
    // meanwhile, as for any read and run.
    takingIn = true;
    ready = false;
    updateBusyState();
    bool renumbered = false;
    // What changes from here on is told again.
    logWatcher->rebase();
    if (replaced || log->isChanged(path)) {
        readingLog = log;
        log->readLog(path);
        readingLog = nullptr;
        renumbered = log->recordCount() == 0;
    }
    for (Followed &tab : followed) {
        if (!tab.model || !tab.view)
            continue;
        if (tab.rerun || renumbered) {
            tab.rerun = true;
            continue;
        }
        runningModel = tab.model;
        const CStringListModel::Growth growth = tab.model->followGrowth();
        runningModel = nullptr;
        if (growth == CStringListModel::Growth::NeedsRun) {
            renumbered = true;
            tab.rerun = true;
            letGoOfLog(tab.view, tab.model);
            continue;
        }
        if (!tab.model || !tab.view || growth != CStringListModel::Growth::Added)
            continue;
        const int added = tab.model->rowCount() - tab.rows;
        if (tab.atEnd) {
            tab.view->verticalScrollBar()->setValue(tab.view->verticalScrollBar()->maximum());
            continue;
        }
        if (added <= 0)
            continue;
        const int waiting = tab.model->property(kNewRowsProperty).toInt();
        if (waiting == 0) {
            // Reaching the last row by any way takes the count away.
            QScrollBar *bar = tab.view->verticalScrollBar();
            CStringListModel *model = tab.model;
            connect(bar, &QScrollBar::valueChanged, model, [this, bar, model](int value) {
                if (value >= bar->maximum() && model->property(kNewRowsProperty).toInt() > 0) {
                    model->setProperty(kNewRowsProperty, 0);
                    updateNewRowsButton();
                }
            });
        }
        tab.model->setProperty(kNewRowsProperty, waiting + added);
    }
    // A log replaced, shrunk or renumbered gives every tab of it the rows
    // the file holds now, with the tab's own filter; a tab at its end stays
    // there, so following goes on as before.
    for (const Followed &tab : followed) {
        if (!tab.rerun || !tab.view)
            continue;
        const int index = ui->twLogResult->indexOf(tab.view);
        if (index < 0 || !rerunTab(index))
            continue;
        if (tab.atEnd && tab.view)
            tab.view->verticalScrollBar()->setValue(tab.view->verticalScrollBar()->maximum());
    }
    ready = true;
    takingIn = false;
    updateBusyState();
    updateLogFileRow(path);
    updateNewRowsButton();
    if (replaced || renumbered) {
        statusBar()->showMessage(tr("The log %1 is another file now and was read anew.")
                                     .arg(QDir::toNativeSeparators(path)),
                                 5000);
    }
}

void mainWindow::letGoOfLog(ResultView *view, CStringListModel *model)
{
    model->detachLog();
    model->setProperty(kNewRowsProperty, 0);
    disconnect(view->verticalScrollBar(), nullptr, model, nullptr);
}

bool mainWindow::rerunTab(int index)
{
    auto *view = dynamic_cast<ResultView *>(ui->twLogResult->widget(index));
    if (!view || index < 0 || index >= tabInfos.size() || !tabInfos.at(index).filter)
        return false;
    StatusProgress progress(statusBar(), tr("Processing results"), tr("Cancel current log processing"));
    // The tab keeps the filter its rows were made with, whatever the
    // selector shows now.
    const CFilterPtr filter = tabInfos.at(index).filter;
    auto *model = new CStringListModel(log, filter, view);
    connect(model, &CStringListModel::valueChanged, progress.bar(), &QProgressBar::setValue);
    connect(model, &CStringListModel::valueMaximum, progress.bar(), &QProgressBar::setMaximum);
    connect(progress.cancelButton(), &QPushButton::clicked, model, &CStringListModel::cancel);

    QAbstractItemModel *oldModel = view->model();
    QItemSelectionModel *oldSelection = view->selectionModel();
    if (oldModel)
        disconnect(view->verticalScrollBar(), nullptr, oldModel, nullptr);
    view->verticalScrollBar()->setValue(0);
    view->setModel(model);
    delete oldSelection;
    if (qobject_cast<CStringListModel *>(oldModel))
        delete oldModel;
    connect(view->verticalScrollBar(), &QScrollBar::valueChanged, model, &CStringListModel::scrollMoved);

    TabInfo &info = tabInfos[index];
    info.counting = true;
    info.stopped = false;
    view->setEmptyText(QString());
    const QString title = info.fileName + QStringLiteral(" - ") + filter->name;
    ui->twLogResult->setTabText(index, title);
    connect(model, &QAbstractItemModel::rowsInserted, this, &mainWindow::showRowCount);
    connect(model, &QAbstractItemModel::modelReset, this, &mainWindow::showRowCount);
    showRowCount();

    runningModel = model;
    const QPointer<CStringListModel> ran(model);
    model->runFilter();
    // Nothing asks for this run: a record it could not decide shows as the
    // tab's "(stopped)" mark, not in a box over the window.
    runStop = MatchStop();
    runningModel = nullptr;
    const int now = ui->twLogResult->indexOf(view);
    if (now < 0 || now >= tabInfos.size())
        return false;
    noteRunEnd(now, ran);
    if (now == ui->twLogResult->currentIndex())
        showTabFilter(tabInfos.at(now));
    return bool(ran);
}

void mainWindow::updateLogFileRow(const QString &path)
{
    QTableWidget *table = ui->twFiles;
    for (int row = 0; row < table->rowCount(); ++row) {
        const QTableWidgetItem *item = table->item(row, 0);
        if (item && LogPath::sameFile(item->data(Qt::UserRole).toString(), path)) {
            const bool selected = item->isSelected();
            setLogFileRow(row, item->data(Qt::UserRole).toString());
            if (selected)
                table->selectRow(row);
            return;
        }
    }
}

void mainWindow::updateNewRowsButton()
{
    if (!newRowsButton)
        return;
    const ResultView *view = currentResultView();
    const QAbstractItemModel *model = view ? view->model() : nullptr;
    const int waiting = model ? model->property(kNewRowsProperty).toInt() : 0;
    newRowsButton->setText(tr("%n new rows below", nullptr, waiting));
    newRowsButton->setVisible(waiting > 0);
}

void mainWindow::goToNewRows()
{
    ResultView *view = currentResultView();
    if (!view)
        return;
    view->verticalScrollBar()->setValue(view->verticalScrollBar()->maximum());
    if (QAbstractItemModel *model = view->model())
        model->setProperty(kNewRowsProperty, 0);
    updateNewRowsButton();
}
