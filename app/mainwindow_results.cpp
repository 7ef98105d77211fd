// Applying the current filter to the current result tab.
#include "mainwindow.h"

#include "clog.h"
#include "cstringlistmodel.h"
#include "statusprogress.h"
#include "ui_mainwindow.h"

#include <QFileInfo>
#include <QItemSelectionModel>
#include <QScrollBar>
#include <QStatusBar>

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
    StatusProgress progress(statusBar(), tr("Processing results"), tr("Cancel current log processing"));
    QWidget *page = ui->twLogResult->currentWidget();
    const int tabIndex = ui->twLogResult->currentIndex();
    const CFilterPtr filter = filterList().at(currentFilterIndex());
    auto *model = new CStringListModel(log, filter, page);
    connect(model, &CStringListModel::valueChanged, progress.bar(), &QProgressBar::setValue);
    connect(model, &CStringListModel::valueMaximum, progress.bar(), &QProgressBar::setMaximum);
    connect(progress.cancelButton(), &QPushButton::clicked, model, &CStringListModel::cancel);

    auto *view = qobject_cast<QAbstractItemView *>(page);
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
