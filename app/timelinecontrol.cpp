#include "timelinecontrol.h"

#include "cstringlistmodel.h"
#include "filterselector.h"
#include "gototimedialog.h"
#include "resultview.h"
#include "timebuckets.h"
#include "timelinestrip.h"
#include "windowcontext.h"

#include <QAction>
#include <QMenu>
#include <QMessageBox>
#include <QTabWidget>

#include <limits>

TimelineControl::TimelineControl(WindowContext &window, QObject *parent)
    : QObject(parent)
    , m_window(window)
{
    QWidget *const owner = window.window();
    m_editMenu = new QMenu(owner);
    m_editMenu->setObjectName(QStringLiteral("menuEdit"));
    m_editMenu->setTitle(tr("&Edit"));

    auto *goToTime = new QAction(tr("Go to time..."), owner);
    goToTime->setObjectName(QStringLiteral("actionGoToTime"));
    goToTime->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_G));
    goToTime->setStatusTip(tr("Show the first row of the current tab at a time or later"));
    m_editMenu->addAction(goToTime);
    connect(goToTime, &QAction::triggered, this, &TimelineControl::goToTime);

    m_toggle = new QAction(tr("Show time line"), owner);
    m_toggle->setObjectName(QStringLiteral("actionTimelineShow"));
    m_toggle->setCheckable(true);
    m_toggle->setChecked(false);
    m_toggle->setStatusTip(tr("Show the rows of each result tab over time above them"));
    connect(m_toggle, &QAction::toggled, this, [this](bool shown) {
        QTabWidget *tabs = m_window.resultTabs();
        for (int i = 0; i < tabs->count(); ++i)
            if (auto *view = dynamic_cast<ResultView *>(tabs->widget(i)))
                view->setTimelineShown(shown);
    });
}

bool TimelineControl::isShown() const
{
    return m_toggle->isChecked();
}

void TimelineControl::setShown(bool shown)
{
    m_toggle->setChecked(shown);
}

void TimelineControl::attach(ResultView *view)
{
    view->setTimelineShown(m_toggle->isChecked());
    connect(view->timeline(), &TimelineStrip::rangeChosen, this, &TimelineControl::applyTimeRange);
}

void TimelineControl::goToTime()
{
    // Its dialog would hold up the operation under way for as long as it
    // is open, and the jump would move the rows that operation works on.
    if (m_window.isBusy()) {
        m_window.warnBusy();
        return;
    }
    QWidget *const window = m_window.window();
    ResultView *view = m_window.currentResultView();
    const auto *model = view ? qobject_cast<CStringListModel *>(view->model()) : nullptr;
    if (!model || model->rowCount() == 0) {
        QMessageBox::information(window, QCoreApplication::applicationName(), tr("The current tab has no rows."),
                                 QMessageBox::Ok);
        return;
    }
    const qint64 shown = TimeBuckets::timeOfRow(*model, view->topRow());
    GoToTimeDialog dialog(shown >= 0 ? QDateTime::fromSecsSinceEpoch(shown) : QDateTime(), window);
    if (dialog.exec() != QDialog::Accepted)
        return;
    // The tab may have gone or changed while the dialog was open.
    view = m_window.currentResultView();
    const QDateTime time = dialog.time();
    if (!view || !view->timeline()->jumpTo(time.toSecsSinceEpoch()))
        QMessageBox::information(window, QCoreApplication::applicationName(),
                                 tr("The current tab has no row at %1 or later.").arg(GoToTimeDialog::timeText(time)),
                                 QMessageBox::Ok);
}

void TimelineControl::applyTimeRange(const QDateTime &start, const QDateTime &end)
{
    if (m_window.isBusy()) {
        m_window.warnBusy();
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
    FilterSelector *selector = m_window.filterSelector();
    const int entry = filterList().indexOf(filter);
    if (entry == 0 && entry < selector->count())
        selector->setItemText(entry, filter->name + QStringLiteral(" (") + tr("modified") + QLatin1Char(')'));
    m_window.applyEditedFilter(filter);
}
