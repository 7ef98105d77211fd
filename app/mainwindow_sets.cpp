// Logs opened together: a tab over a set of logs read as one, merged in
// time order, and the commands that open one.
#include "mainwindow.h"

#include "clog.h"
#include "cstringlistmodel.h"
#include "logpath.h"
#include "logset.h"
#include "openlogs.h"
#include "rowcountcontrol.h"
#include "statusprogress.h"
#include "ui_mainwindow.h"

#include <QAbstractItemView>
#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QStatusBar>
#include <QTableWidget>

void mainWindow::holdSetWith(QObject *holder, const std::shared_ptr<LogSet> &set)
{
    OpenLogs::holdWith(holder, set);
}

void mainWindow::nameSetTab(int index)
{
    if (index < 0 || index >= tabInfos.size() || !tabInfos.at(index).set)
        return;
    TabInfo &info = tabInfos[index];
    info.fileName = setName(info.set->paths());
    if (info.filter)
        ui->twLogResult->setTabText(index, info.fileName + QStringLiteral(" - ") + info.filter->name);
    if (index == ui->twLogResult->currentIndex()) {
        setWindowTitle(info.fileName + QStringLiteral(" - ") + appTitle);
        // The tool tip lists the files as they are named now.
        rowCounts->showRowCount();
    }
}

bool mainWindow::readSetAgain(int index)
{
    const std::shared_ptr<LogSet> set = index >= 0 && index < tabInfos.size() ? tabInfos.at(index).set : nullptr;
    if (!set)
        return false;
    // The tab's rows stay on screen while its files are read, but nothing
    // is loaded from them under block numbers that may change meanwhile;
    // the run after the read gives the rows anew.
    if (auto *view = qobject_cast<QAbstractItemView *>(ui->twLogResult->widget(index))) {
        if (auto *model = qobject_cast<CStringListModel *>(view->model()))
            model->detachLog();
    }
    StatusProgress progress(statusBar(), tr("Processing read file"), QString());
    // A read cut short would leave a part of a file in the set: this one
    // reads only what the files gained, and is not cancelled.
    progress.cancelButton()->hide();
    const LogSet::Prepare prepare = [&](CLog &reader, const QString &) {
        connect(&reader, &CLog::valueMaximum, progress.bar(), &QProgressBar::setMaximum);
        connect(&reader, &CLog::valueChanged, progress.bar(), &QProgressBar::setValue);
    };
    ready = false;
    updateBusyState();
    set->readAgain(false, prepare);
    ready = true;
    updateBusyState();
    return true;
}

QString mainWindow::setName(const QStringList &paths)
{
    if (paths.isEmpty())
        return QString();
    const QString first = LogPath::readable(QFileInfo(paths.first()).fileName());
    if (paths.size() == 1)
        return first;
    return tr("%1 + %n more", nullptr, paths.size() - 1).arg(first);
}

void mainWindow::setUpLogSets()
{
    auto *openTogether = new QAction(tr("Open together"), ui->twFiles);
    openTogether->setObjectName(QStringLiteral("actionOpenSelectedTogether"));
    openTogether->setStatusTip(tr("Open the selected log files as one, in time order"));
    connect(openTogether, &QAction::triggered, this, &mainWindow::openSelectedLogs);
    ui->twFiles->addAction(openTogether);
    ui->twFiles->setContextMenuPolicy(Qt::ActionsContextMenu);
}

void mainWindow::openSelectedLogs()
{
    if (isBusy())
        return;
    QStringList paths;
    for (const QModelIndex &index : ui->twFiles->selectionModel()->selectedRows(0)) {
        if (const QTableWidgetItem *item = ui->twFiles->item(index.row(), 0))
            paths.append(item->data(Qt::UserRole).toString());
    }
    if (paths.size() == 1)
        openLogPath(paths.first());
    else
        openLogSet(paths);
}

void mainWindow::actionOpenTogetherPress()
{
    if (isBusy())
        return;
    QFileDialog dialog(this, tr("Select files to open together..."), LogPath::nearestFolder(logDir));
    // A rotated log keeps its name with a number after it (kernel.mlog.1).
    dialog.setNameFilters({tr("mlog files") + QStringLiteral(" (*.mlog *.mlog.*)"), tr("All files (*)")});
    dialog.setFileMode(QFileDialog::ExistingFiles);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        openLogSet(dialog.selectedFiles());
}

void mainWindow::openLogSet(const QStringList &paths)
{
    if (paths.isEmpty() || isBusy())
        return;
    auto set = std::make_shared<LogSet>();
    QStringList unreadable;
    {
        StatusProgress progress(statusBar(), tr("Processing read file"), tr("Cancel current log processing"));
        // Each log of the set is read in turn; Cancel reaches the one read now.
        const LogSet::Prepare prepare = [&](CLog &reader, const QString &) {
            connect(&reader, &CLog::valueMaximum, progress.bar(), &QProgressBar::setMaximum);
            connect(&reader, &CLog::valueChanged, progress.bar(), &QProgressBar::setValue);
            connect(progress.cancelButton(), &QPushButton::clicked, &reader, &CLog::canselReadLog);
            readingLog = &reader;
            updateBusyState();
        };
        ui->twFiles->setEnabled(false);
        set->readLogs(paths, &unreadable, prepare);
        readingLog = nullptr;
        updateBusyState();
        ui->twFiles->setEnabled(!isBusy());
    }
    if (set->isCancelled()) {
        // A part of a set is never shown as if it were the whole.
        statusBar()->showMessage(tr("Read cancelled."), 3000);
        return;
    }
    QStringList named;
    for (const QString &path : qAsConst(unreadable))
        named.append(QDir::toNativeSeparators(LogPath::readable(path)));
    if (set->logCount() == 0) {
        QMessageBox::warning(this, QCoreApplication::applicationName(),
                             tr("None of these logs can be read:") + QLatin1Char('\n') + named.join(QLatin1Char('\n')),
                             QMessageBox::Ok);
        return;
    }
    if (!named.isEmpty())
        QMessageBox::warning(this, QCoreApplication::applicationName(),
                             tr("These logs can't be read and are left out:") + QLatin1Char('\n')
                                 + named.join(QLatin1Char('\n')),
                             QMessageBox::Ok);
    statusBar()->showMessage(tr("Read finished!"), 3000);

    tabNew();
    const int index = ui->twLogResult->currentIndex();
    if (index < 0 || index >= tabInfos.size())
        return;
    tabInfos[index].set = set;
    // The row count gives the tab its tool tip: the set's files, in order.
    const QStringList order = set->paths();
    tabInfos[index].fileName = setName(order);
    actionResultsPress();
    setWindowTitle(setName(order) + QStringLiteral(" - ") + appTitle);
}

void mainWindow::leaveSet(int tab)
{
    if (tab < 0 || tab >= tabInfos.size())
        return;
    tabInfos[tab].set.reset();
    setWindowTitle(LogPath::readable(log->logPath()) + QStringLiteral(" - ") + appTitle);
}
