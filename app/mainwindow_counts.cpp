// Row counts of the result tabs: the count in the status bar, each tab's
// tool tip and title marker, and the line an empty result shows.
#include "mainwindow.h"

#include "clog.h"
#include "cstringlistmodel.h"
#include "resultview.h"
#include "ui_mainwindow.h"

#include <QDir>
#include <QLabel>
#include <QLocale>
#include <QTabWidget>

QString mainWindow::rowCountText(const TabInfo &info, int rows) const
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

void mainWindow::showRowCount()
{
    const int index = ui->twLogResult->currentIndex();
    const ResultView *view = currentResultView();
    const auto *model = view ? qobject_cast<const CStringListModel *>(view->model()) : nullptr;
    if (!model || index < 0 || index >= tabInfos.size()
        || (!tabInfos.at(index).filter && !tabInfos.at(index).counting)) {
        rowCountLabel->clear();
        rowCountLabel->hide();
        return;
    }
    const TabInfo &info = tabInfos.at(index);
    const QString count = rowCountText(info, model->rowCount());
    rowCountLabel->setText(count);
    rowCountLabel->show();
    const QString path = info.filePath.isEmpty() ? log->logPath() : info.filePath;
    ui->twLogResult->setTabToolTip(index, QDir::toNativeSeparators(path) + QLatin1Char('\n') + count);
}

void mainWindow::noteRunEnd(int index, const CStringListModel *model)
{
    if (index < 0 || index >= tabInfos.size())
        return;
    TabInfo &info = tabInfos[index];
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
            info.stoppedAt = model->log()->blockDate(model->stopBlock());
        } else if (model->isCancelled() && uncounted <= model->lastBlock()) {
            info.stopped = true;
            info.stoppedAt = model->log()->blockDate(uncounted);
        }
    }
    if (info.stopped)
        ui->twLogResult->setTabText(index, ui->twLogResult->tabText(index) + QLatin1Char(' ') + tr("(stopped)"));
    if (auto *view = dynamic_cast<ResultView *>(ui->twLogResult->widget(index))) {
        QString empty;
        if (model && model->rowCount() == 0)
            empty = info.stopped ? tr("No records matched before the run stopped.") : tr("No records match the filter");
        view->setEmptyText(empty);
    }
    showRowCount();
}
