#include "summarycontrol.h"

#include "csummarydialog.h"
#include "cstringlistmodel.h"
#include "resultsummary.h"
#include "resultview.h"
#include "statusprogress.h"
#include "windowcontext.h"

#include <QAction>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QStatusBar>
#include <QTabWidget>

SummaryControl::SummaryControl(WindowContext &window, QWidget *menuParent, QObject *parent)
    : QObject(parent)
    , m_window(window)
{
    m_menu = new QMenu(tr("Results"), menuParent);
    m_menu->setObjectName(QStringLiteral("menuResults"));
    auto *summary = new QAction(tr("Summary..."), window.window());
    summary->setObjectName(QStringLiteral("actionSummary"));
    summary->setStatusTip(tr("Counts of the current tab's results by user, event, status and hour"));
    connect(summary, &QAction::triggered, this, &SummaryControl::summarize);
    m_menu->addAction(summary);
}

void SummaryControl::summarize()
{
    if (m_window.isBusy()) {
        m_window.warnBusy();
        return;
    }
    QWidget *const window = m_window.window();
    ResultView *view = m_window.currentResultView();
    QPointer<CStringListModel> model = view ? qobject_cast<CStringListModel *>(view->model()) : nullptr;
    if (!model) {
        QMessageBox::warning(window, QCoreApplication::applicationName(), tr("Nothing to sum up!"), QMessageBox::Ok);
        return;
    }
    const QString source = m_window.resultTabs()->tabText(m_window.resultTabs()->currentIndex());
    m_window.setBusy(true);
    ResultSummary summary;
    SummaryEnd end;
    QString error;
    {
        StatusProgress progress(m_window.statusBar(), tr("Summing up results"), tr("Cancel the summary"));
        connect(model, &CStringListModel::valueChanged, progress.bar(), &QProgressBar::setValue);
        connect(model, &CStringListModel::valueMaximum, progress.bar(), &QProgressBar::setMaximum);
        connect(progress.cancelButton(), &QPushButton::clicked, model, &CStringListModel::cancel);
        m_window.setRunningModel(model);
        window->setCursor(Qt::BusyCursor);
        end = summarizeRows(model, &summary, &error);
        window->setCursor(Qt::ArrowCursor);
    }
    m_window.setRunningModel(nullptr);
    m_window.setBusy(false);
    switch (end) {
    case SummaryEnd::Done:
        break;
    case SummaryEnd::Cancelled:
        m_window.statusBar()->showMessage(tr("Summary cancelled."), 3000);
        return;
    case SummaryEnd::Stopped:
        m_window.warnCostlyPattern(model->stop().pattern);
        return;
    case SummaryEnd::Failed:
        // A tab closed meanwhile needs no word.
        if (model)
            QMessageBox::warning(window, QCoreApplication::applicationName(), tr("No summary: %1").arg(error),
                                 QMessageBox::Ok);
        return;
    }
    auto *dialog = new CSummaryDialog(summary, source, window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
}
