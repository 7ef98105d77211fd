#include "rowcountcontrol.h"

#include "clog.h"
#include "cstringlistmodel.h"
#include "logset.h"
#include "resultview.h"
#include "windowcontext.h"

#include <QDir>
#include <QLabel>
#include <QLocale>
#include <QStatusBar>
#include <QTabWidget>

RowCountControl::RowCountControl(WindowContext &window, QObject *parent)
    : QObject(parent)
    , m_window(window)
{
    m_label = new QLabel(window.window());
    m_label->setObjectName(QStringLiteral("lbRowCount"));
    window.statusBar()->addPermanentWidget(m_label);
    m_label->hide();
}

QString RowCountControl::rowCountText(const TabInfo &info, int rows) const
{
    const QString count = QLocale().toString(rows);
    if (info.counting)
        return tr("Rows so far: %1").arg(count);
    if (!info.stopped)
        return tr("Rows: %1").arg(count);
    if (!info.stoppedAt.isValid())
        return tr("Rows: %1, stopped early").arg(count);
    return tr("Rows: %1, stopped at %2").arg(count, info.stoppedAt.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")));
}

void RowCountControl::showRowCount()
{
    QTabWidget *tabs = m_window.resultTabs();
    const int index = tabs->currentIndex();
    const ResultView *view = m_window.currentResultView();
    const auto *model = view ? qobject_cast<const CStringListModel *>(view->model()) : nullptr;
    const TabInfo *info = m_window.tabInfo(index);
    if (!model || !info || (!info->filter && !info->counting)) {
        m_label->clear();
        m_label->hide();
        return;
    }
    const QString count = rowCountText(*info, model->rowCount());
    m_label->setText(count);
    m_label->show();
    QStringList paths = info->set ? info->set->paths() : QStringList();
    if (paths.isEmpty())
        paths.append(info->filePath.isEmpty() ? m_window.logReader()->logPath() : info->filePath);
    QStringList shown;
    for (const QString &path : qAsConst(paths))
        shown.append(QDir::toNativeSeparators(path));
    // A set's tab lists all its files, in merge order.
    tabs->setTabToolTip(index, shown.join(QLatin1Char('\n')) + QLatin1Char('\n') + count);
}

void RowCountControl::noteRunEnd(int index, const CStringListModel *model)
{
    TabInfo *const tab = m_window.tabInfo(index);
    if (!tab)
        return;
    TabInfo &info = *tab;
    info.counting = false;
    info.stopped = false;
    info.stoppedAt = QDateTime();
    if (model) {
        // The rows cover the blocks counted; a cancel ends the count before
        // the first block not counted, a record the run could not decide
        // inside its own block.
        const int uncounted = model->firstBlock() + model->blockCounts().size();
        if (model->stop().stopped()) {
            info.stopped = true;
            info.stoppedAt = model->logs()->blockDate(model->stopBlock());
        } else if (model->isCancelled() && uncounted <= model->lastBlock()) {
            info.stopped = true;
            info.stoppedAt = model->logs()->blockDate(uncounted);
        }
    }
    QTabWidget *tabs = m_window.resultTabs();
    if (info.stopped)
        tabs->setTabText(index, tabs->tabText(index) + QLatin1Char(' ') + tr("(stopped)"));
    if (auto *view = dynamic_cast<ResultView *>(tabs->widget(index))) {
        QString empty;
        if (model && model->rowCount() == 0)
            empty = info.stopped ? tr("No records matched before the run stopped.") : tr("No records match the filter");
        view->setEmptyText(empty);
    }
    showRowCount();
}
