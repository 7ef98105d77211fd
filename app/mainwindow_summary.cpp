// Results > Summary...: the counts of the current tab's results, in one
// pass over its rows with the progress and cancel of a save.
#include "mainwindow.h"

#include "csummarydialog.h"
#include "cstringlistmodel.h"
#include "resultsummary.h"
#include "resultview.h"
#include "statusprogress.h"
#include "ui_mainwindow.h"

#include <QAction>
#include <QCoreApplication>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>

void mainWindow::setupSummaryAction()
{
    auto *menu = new QMenu(tr("Results"), ui->menuBar);
    menu->setObjectName(QStringLiteral("menuResults"));
    auto *summary = new QAction(tr("Summary..."), this);
    summary->setObjectName(QStringLiteral("actionSummary"));
    summary->setStatusTip(tr("Counts of the current tab's results by user, event, status and hour"));
    connect(summary, &QAction::triggered, this, &mainWindow::actionSummaryPress);
    menu->addAction(summary);
    ui->menuBar->insertMenu(ui->menuSettings->menuAction(), menu);
}

void mainWindow::actionSummaryPress()
{
    if (isBusy()) {
        warnBusy();
        return;
    }
    ResultView *view = currentResultView();
    QPointer<CStringListModel> model = view ? qobject_cast<CStringListModel *>(view->model()) : nullptr;
    if (!model) {
        QMessageBox::warning(this, QCoreApplication::applicationName(), tr("Nothing to sum up!"), QMessageBox::Ok);
        return;
    }
    const QString source = ui->twLogResult->tabText(ui->twLogResult->currentIndex());
    ready = false;
    updateBusyState();
    ResultSummary summary;
    SummaryEnd end;
    QString error;
    {
        StatusProgress progress(statusBar(), tr("Summing up results"), tr("Cancel the summary"));
        connect(model, &CStringListModel::valueChanged, progress.bar(), &QProgressBar::setValue);
        connect(model, &CStringListModel::valueMaximum, progress.bar(), &QProgressBar::setMaximum);
        connect(progress.cancelButton(), &QPushButton::clicked, model, &CStringListModel::cancel);
        runningModel = model;
        setCursor(Qt::BusyCursor);
        end = summarizeRows(model, &summary, &error);
        setCursor(Qt::ArrowCursor);
    }
    runningModel = nullptr;
    ready = true;
    updateBusyState();
    switch (end) {
    case SummaryEnd::Done:
        break;
    case SummaryEnd::Cancelled:
        statusBar()->showMessage(tr("Summary cancelled."), 3000);
        return;
    case SummaryEnd::Stopped:
        warnCostlyPattern(model->stop().pattern);
        return;
    case SummaryEnd::Failed:
        // A tab closed meanwhile needs no word.
        if (model)
            QMessageBox::warning(this, QCoreApplication::applicationName(), tr("No summary: %1").arg(error),
                                 QMessageBox::Ok);
        return;
    }
    auto *dialog = new CSummaryDialog(summary, source, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
}
