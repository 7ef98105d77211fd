// The time line of the result tabs: showing it, Go to time, and narrowing
// the current filter to a range marked on it.
#include "mainwindow.h"

#include "cstringlistmodel.h"
#include "filterselector.h"
#include "gototimedialog.h"
#include "resultview.h"
#include "timebuckets.h"
#include "timelinestrip.h"
#include "ui_mainwindow.h"

#include <QAction>
#include <QCoreApplication>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>

#include <limits>

void mainWindow::buildTimeline()
{
    auto *menuEdit = new QMenu(this);
    menuEdit->setObjectName(QStringLiteral("menuEdit"));
    menuEdit->setTitle(tr("&Edit"));
    ui->menuBar->insertMenu(ui->menuView->menuAction(), menuEdit);

    auto *goToTime = new QAction(tr("Go to time..."), this);
    goToTime->setObjectName(QStringLiteral("actionGoToTime"));
    goToTime->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_G));
    goToTime->setStatusTip(tr("Show the first row of the current tab at a time or later"));
    menuEdit->addAction(goToTime);
    connect(goToTime, &QAction::triggered, this, &mainWindow::actionGoToTimePress);

    timelineToggle = new QAction(tr("Show time line"), this);
    timelineToggle->setObjectName(QStringLiteral("actionTimelineShow"));
    timelineToggle->setCheckable(true);
    timelineToggle->setChecked(false);
    timelineToggle->setStatusTip(tr("Show the rows of each result tab over time above them"));
    ui->menuView->insertAction(ui->actionFindShow, timelineToggle);
    ui->menuView->removeAction(ui->actionFindShow);
    ui->menuView->insertAction(timelineToggle, ui->actionFindShow);
    connect(timelineToggle, &QAction::toggled, this, [this](bool shown) {
        for (int i = 0; i < ui->twLogResult->count(); ++i)
            if (auto *view = dynamic_cast<ResultView *>(ui->twLogResult->widget(i)))
                view->setTimelineShown(shown);
    });
}

void mainWindow::setupTimeline(ResultView *view)
{
    view->setTimelineShown(timelineToggle->isChecked());
    connect(view->timeline(), &TimelineStrip::rangeChosen, this, &mainWindow::applyTimeRange);
}

void mainWindow::actionGoToTimePress()
{
    ResultView *view = currentResultView();
    const auto *model = view ? qobject_cast<CStringListModel *>(view->model()) : nullptr;
    if (!model || model->rowCount() == 0) {
        QMessageBox::information(this, QCoreApplication::applicationName(), tr("The current tab has no rows."),
                                 QMessageBox::Ok);
        return;
    }
    const qint64 shown = TimeBuckets::timeOfRow(*model, view->topRow());
    GoToTimeDialog dialog(shown >= 0 ? QDateTime::fromSecsSinceEpoch(shown) : QDateTime(), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    // The tab may have gone or changed while the dialog was open.
    view = currentResultView();
    const QDateTime time = dialog.time();
    if (!view || !view->timeline()->jumpTo(time.toSecsSinceEpoch()))
        QMessageBox::information(this, QCoreApplication::applicationName(),
                                 tr("The current tab has no row at %1 or later.").arg(GoToTimeDialog::timeText(time)),
                                 QMessageBox::Ok);
}

void mainWindow::applyTimeRange(const QDateTime &start, const QDateTime &end)
{
    if (isBusy()) {
        warnBusy();
        return;
    }
    const CFilterPtr filter = filterList().value(currentFilterIndex());
    if (!filter || !start.isValid() || !end.isValid())
        return;
    // A period of 0 reads as "up to that second": a range of one second
    // keeps -1 for readers of the period alone and names its start itself.
    const qint64 span = std::min<qint64>(-1, end.secsTo(start));
    if (span < -qint64(std::numeric_limits<qint32>::max()))
        return;
    filter->time = end;
    filter->period = qint32(span);
    filter->start = start == end ? start : QDateTime();

    // The narrowed filter keeps its range for every log opened after: the
    // selector marks it as an edit does, the default filter too, whose
    // edits in the editor leave no mark, since nothing else would tell why
    // another log shows no rows.
    const int entry = filterList().indexOf(filter);
    if (entry == 0 && entry < filterCombo->count())
        filterCombo->setItemText(entry, filter->name + QStringLiteral(" (") + tr("modified") + QLatin1Char(')'));
    applyEditedFilter(filter);
}
