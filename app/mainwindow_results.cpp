// Applying the current filter to the current result tab, finding text in
// its results and saving them.
#include "mainwindow.h"

#include "clog.h"
#include "cstringlistmodel.h"
#include "filtermatch.h"
#include "logpath.h"
#include "logset.h"
#include "resultview.h"
#include "rowcountcontrol.h"
#include "statusprogress.h"
#include "ui_mainwindow.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QMessageBox>
#include <QPalette>
#include <QScrollBar>
#include <QStatusBar>
#include <QTimer>

#include <algorithm>
#include <memory>
#include <utility>

namespace {

// Runs `f` when it goes out of scope: on every way out of a command.
template <typename F>
class OnExit
{
public:
    explicit OnExit(F f) : m_f(std::move(f)) {}
    ~OnExit() { m_f(); }
    OnExit(const OnExit &) = delete;
    OnExit &operator=(const OnExit &) = delete;

private:
    F m_f;
};

template <typename F>
OnExit<F> onExit(F f)
{
    return OnExit<F>(std::move(f));
}

} // namespace

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
    const LogSet *set = index < tabInfos.size() ? tabInfos.at(index).set.get() : nullptr;
    const QString shownFile = set                     ? setName(set->paths())
                              : log->logPath().isEmpty() ? currentFile
                                                       : LogPath::readable(QFileInfo(log->logPath()).fileName());
    ui->twLogResult->setTabText(index, shownFile + QStringLiteral(" - ") + filterList().at(currentFilterIndex())->name);
    showFilterResults();
    updateTabsClosable();
    ready = true;
    updateBusyState();
    // Told once the run has ended and its progress is gone.
    if (runStop.stopped())
        warnCostlyPattern(std::exchange(runStop, MatchStop()).pattern);
}

void mainWindow::showFilterResults()
{
    StatusProgress progress(statusBar(), tr("Processing results"), tr("Cancel current log processing"));
    QWidget *page = ui->twLogResult->currentWidget();
    const int tabIndex = ui->twLogResult->currentIndex();
    const CFilterPtr source = filterList().at(currentFilterIndex());
    // The rows and the tab's description keep to the filter as it is now;
    // an edit changes the list's record in place.
    const CFilterPtr filter = CFilterPtr::create(*source);
    // The tab keeps the log it shows open from now on; its model keeps it
    // too, for as long as the model lives.
    const OpenLogs::Reader reader = log;
    // A tab over logs opened together runs over its own set.
    const std::shared_ptr<LogSet> set =
        tabIndex >= 0 && tabIndex < tabInfos.size() ? tabInfos.at(tabIndex).set : nullptr;
    auto *model = set ? new CStringListModel(set.get(), filter, page) : new CStringListModel(reader.get(), filter, page);
    if (set)
        holdSetWith(model, set);
    else
        OpenLogs::holdWith(model, reader);
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

    // The count shows while the run adds rows.
    if (tabIndex >= 0 && tabIndex < tabInfos.size()) {
        tabInfos[tabIndex].counting = true;
        tabInfos[tabIndex].stopped = false;
    }
    if (auto *resultView = dynamic_cast<ResultView *>(view))
        resultView->setEmptyText(QString());
    connect(model, &QAbstractItemModel::rowsInserted, rowCounts, &RowCountControl::showRowCount);
    connect(model, &QAbstractItemModel::modelReset, rowCounts, &RowCountControl::showRowCount);
    rowCounts->showRowCount();

    runningModel = model;
    const QPointer<CStringListModel> ran(model);
    model->runFilter();
    runStop = runningModel ? runningModel->stop() : MatchStop();
    const bool cancelled = runningModel && runningModel->isCancelled();
    runningModel = nullptr;

    bool stopped = false;
    if (tabIndex >= 0 && tabIndex < tabInfos.size()) {
        TabInfo &info = tabInfos[tabIndex];
        info.filter = filter;
        info.source = source;
        if (!set) {
            info.log = reader;
            info.filePath = reader->logPath();
            info.fileName = LogPath::readable(QFileInfo(info.filePath).fileName());
        }
        rowCounts->noteRunEnd(tabIndex, ran);
        stopped = info.stopped;
        showTabFilter(info);
    }
    // A run that ended early says so: its rows stop before the range's end.
    if (!stopped)
        statusBar()->showMessage(tr("Finished!"), 3000);
    else
        statusBar()->showMessage(cancelled ? tr("Filter run cancelled.") : tr("Filter run stopped."), 3000);
    setCursor(Qt::ArrowCursor);
}

void mainWindow::warnCostlyPattern(const QString &pattern)
{
    // A pattern can be long; the start of it names it well enough.
    const int shown = 200;
    const QString name = pattern.size() > shown ? pattern.left(shown) + QChar(0x2026) : pattern;
    QMessageBox::warning(this, QCoreApplication::applicationName(),
                         tr("The pattern \"%1\" is too costly to decide for a record, so the operation stopped at "
                            "that record; the rows found before it are kept.")
                             .arg(name),
                         QMessageBox::Ok);
}

void mainWindow::findNext()
{
    find(true, false);
}

void mainWindow::findPrevious()
{
    find(false, false);
}

void mainWindow::findTyped()
{
    find(true, true);
}

void mainWindow::showFindStatus(const QString &text, bool failed)
{
    ui->lbFindStatus->setText(text);
    if (!failed) {
        ui->leFind->setPalette(QPalette());
        return;
    }
    QPalette palette = ui->leFind->palette();
    palette.setColor(QPalette::Base, QColor(255, 160, 160));
    palette.setColor(QPalette::Text, Qt::black);
    ui->leFind->setPalette(palette);
}

void mainWindow::find(bool forward, bool typed)
{
    // A search that typing or F3 called off goes on from where it started.
    const QPointer<CStringListModel> resumeIn = std::exchange(findResumeModel, nullptr);
    const QString text = ui->leFind->text();
    // Too short a text to look for: typing (or Match case) leaves the panel
    // plain whether or not there is anything to search.
    if (typed && text.size() < 2) {
        showFindStatus(QString(), false);
        return;
    }
    if (ui->twLogResult->count() == 0) {
        // Keys typed meanwhile would go to a box: the panel tells instead.
        if (typed)
            showFindStatus(tr("Nothing to find!"), true);
        else
            QMessageBox::warning(this, QCoreApplication::applicationName(), tr("Nothing to find!"), QMessageBox::Ok);
        return;
    }
    if (text.size() < 2)
        return;
    QAbstractItemView *view = currentResultView();
    auto *model = view ? qobject_cast<CStringListModel *>(view->model()) : nullptr;
    if (!model)
        return;
    // Typing on, or F3, while a search runs: the search under way gives
    // way to one for the text as it is now, from the same row.
    if (findRunning) {
        findAgain = forward ? 1 : -1;
        findAgainTyped = typed;
        if (runningModel)
            runningModel->cancel();
        return;
    }
    // A long search lets the event loop turn: no other long operation may
    // run meanwhile, nor may this one start in the middle of another (while
    // a log is read again, its blocks are not yet the ones the rows are
    // counted in; while a run counts, the rows are not all there).
    if (isBusy()) {
        statusBar()->showMessage(tr("Busy: nothing was searched; find again once the current operation ends."),
                                 3000);
        return;
    }
    QItemSelectionModel *selection = view->selectionModel();
    // The first row chosen, found in the ranges of the selection: Ctrl+A
    // chooses every row, too many to list one by one.
    int selectedRow = -1;
    for (const QItemSelectionRange &range : selection->selection())
        selectedRow = selectedRow < 0 ? range.top() : std::min(selectedRow, range.top());
    // The current hit: typing searches from it on, itself included, so that
    // a longer text keeps the hit while it still matches; F3 and Shift+F3
    // go past it.
    const int hit = resumeIn == model ? findResumeRow : selectedRow;
    int start = forward ? -1 : model->rowCount();
    if (hit >= 0)
        start = !typed ? hit : forward ? hit - 1 : hit + 1;
    selection->clearSelection();
    const Qt::CaseSensitivity cs = ui->chbMatchCase->isChecked() ? Qt::CaseSensitive : Qt::CaseInsensitive;

    ready = false;
    findRunning = true;
    findAgain = 0;
    updateBusyState();
    runningModel = model;
    const QPointer<CStringListModel> searched(model);
    int row = -1;
    {
        // A search that lasts shows its progress as the other long
        // operations do; a short one does not flash it.
        std::unique_ptr<StatusProgress> progress;
        int maximum = 0;
        int value = 0;
        QObject watch;
        connect(model, &CStringListModel::valueMaximum, &watch, [&](int v) {
            maximum = v;
            if (progress)
                progress->bar()->setMaximum(v);
        });
        connect(model, &CStringListModel::valueChanged, &watch, [&](int v) {
            value = v;
            if (progress)
                progress->bar()->setValue(v);
        });
        QTimer delay;
        delay.setSingleShot(true);
        connect(&delay, &QTimer::timeout, &watch, [&] {
            progress = std::make_unique<StatusProgress>(statusBar(), tr("Finding"), tr("Cancel the search"));
            progress->bar()->setMaximum(maximum);
            progress->bar()->setValue(value);
            connect(progress->cancelButton(), &QPushButton::clicked, this, &mainWindow::actionCancelPress);
        });
        delay.start(500);
        setCursor(Qt::WaitCursor);
        row = forward ? model->searchForward(text, start, cs) : model->searchBackward(text, start, cs);
        setCursor(Qt::ArrowCursor);
    }
    runningModel = nullptr;
    findRunning = false;
    ready = true;
    updateBusyState();
    if (findAgain != 0) {
        findResumeModel = searched;
        findResumeRow = hit;
        QTimer::singleShot(0, this,
                           findAgainTyped      ? &mainWindow::findTyped
                           : findAgain > 0     ? &mainWindow::findNext
                                               : &mainWindow::findPrevious);
        findAgain = 0;
        return;
    }
    if (!searched)
        return;
    if (searched->isCancelled()) {
        statusBar()->showMessage(tr("Find cancelled."), 3000);
        return;
    }
    if (searched->stop().stopped()) {
        warnCostlyPattern(searched->stop().pattern);
        return;
    }
    if (row < 0) {
        const QString message = forward ? tr("End of log reached! Found nothing else.")
                                        : tr("Begin of log reached! Found nothing else.");
        // The panel has room for a word or two; the box says the rest.
        showFindStatus(tr("Not found"), true);
        if (typed) {
            // No box while typing, and the hit stays: a letter too many,
            // taken back, finds it again.
            if (hit >= 0)
                selection->select(model->index(hit, 0), QItemSelectionModel::Select);
            return;
        }
        QMessageBox::information(this, QCoreApplication::applicationName(), message, QMessageBox::Ok);
        return;
    }
    showFindStatus(QString(), false);
    const QModelIndex index = model->index(row, 0);
    view->scrollTo(index, forward ? QAbstractItemView::PositionAtTop : QAbstractItemView::PositionAtBottom);
    selection->select(index, QItemSelectionModel::Select);
}

void mainWindow::actionResultsSavePress()
{
    saveResults(nullptr);
}

void mainWindow::saveResults(const std::vector<qint64> *onlyRecords)
{
    if (ui->twLogResult->count() == 0) {
        QMessageBox::warning(this, QCoreApplication::applicationName(), tr("Nothing to save!"), QMessageBox::Ok);
        return;
    }
    if (isBusy()) {
        warnBusy();
        return;
    }
    // A tab that never showed results has nothing to write: say so before
    // the user picks a file, rather than write nothing without a word.
    QAbstractItemView *view = currentResultView();
    QPointer<CStringListModel> model = view ? qobject_cast<CStringListModel *>(view->model()) : nullptr;
    if (!model) {
        QMessageBox::warning(this, QCoreApplication::applicationName(), tr("Nothing to save!"), QMessageBox::Ok);
        return;
    }
    ready = false;
    updateBusyState();
    const auto done = onExit([this] {
        runningModel = nullptr;
        ready = true;
        updateBusyState();
    });

    QFileDialog dialog(this, tr("Select file to save..."), QDir::homePath());
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    // "All files" first, and so chosen at first: the text of the rows under
    // whatever name is typed. A format chosen is the format written, and
    // names a file that has no extension yet.
    struct Choice
    {
        QString filter;
        ExportFormat format;
        QString extension;  // added to a name without one; "" for none
    };
    const Choice choices[] = {
        {tr("All files (*)"), ExportFormat::Text, QString()},
        {tr("Text (*.txt)"), ExportFormat::Text, QStringLiteral(".txt")},
        {tr("CSV (*.csv)"), ExportFormat::Csv, QStringLiteral(".csv")},
        {tr("JSON Lines (*.jsonl)"), ExportFormat::JsonLines, QStringLiteral(".jsonl")},
    };
    QStringList nameFilters;
    for (const Choice &choice : choices)
        nameFilters.append(choice.filter);
    dialog.setNameFilters(nameFilters);
    dialog.selectNameFilter(nameFilters.first());
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty() || files.first().isEmpty()) {
        QMessageBox::warning(this, QCoreApplication::applicationName(), tr("File not saved!"), QMessageBox::Ok);
        return;
    }
    const Choice &choice = choices[std::max(0, int(nameFilters.indexOf(dialog.selectedNameFilter())))];
    const ExportFormat format = choice.format;
    QString fileName = files.first();
    if (!choice.extension.isEmpty() && QFileInfo(fileName).suffix().isEmpty() && !fileName.endsWith(QLatin1Char('/'))) {
        // "name." stands for the name without an extension, not for "name..csv".
        if (fileName.endsWith(QLatin1Char('.')))
            fileName.chop(1);
        fileName += choice.extension;
    }
    // The format is told with the file, as an extension may say another.
    const QString formatName = format == ExportFormat::Csv         ? tr("CSV")
                               : format == ExportFormat::JsonLines ? tr("JSON Lines")
                                                                   : tr("text");
    if (!model)
        return;

    QString error;
    bool saved = false;
    bool cancelled = false;
    MatchStop stop;
    {
        StatusProgress progress(statusBar(), tr("Saving results"), tr("Cancel saving operation"));
        connect(model, &CStringListModel::valueChanged, progress.bar(), &QProgressBar::setValue);
        connect(model, &CStringListModel::valueMaximum, progress.bar(), &QProgressBar::setMaximum);
        connect(progress.cancelButton(), &QPushButton::clicked, model, &CStringListModel::cancel);
        runningModel = model;
        setCursor(Qt::BusyCursor);
        saved = model->saveToFile(fileName, &error, format, false, onlyRecords);
        setCursor(Qt::ArrowCursor);
        cancelled = model && model->isCancelled();
        if (model)
            stop = model->stop();
    }
    if (!saved) {
        QMessageBox::warning(this, QCoreApplication::applicationName(),
                             tr("Can't save file - ") + fileName + QLatin1Char('\n') + error, QMessageBox::Ok);
        return;
    }
    if (stop.stopped()) {
        statusBar()->showMessage(
            tr("Saving stopped: %1 holds the rows found before the record, as %2.").arg(fileName, formatName), 3000);
        // Told once the window is free again.
        ready = true;
        updateBusyState();
        warnCostlyPattern(stop.pattern);
        return;
    }
    statusBar()->showMessage(
        cancelled ? tr("Saving cancelled: %1 holds the rows of the blocks saved, as %2.").arg(fileName, formatName)
                  : tr("Results saved as %1: %2").arg(formatName, fileName),
        3000);
}
