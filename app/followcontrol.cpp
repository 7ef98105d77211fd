#include "followcontrol.h"

#include "clog.h"
#include "cstringlistmodel.h"
#include "logset.h"
#include "logwatcher.h"
#include "openlogs.h"
#include "resultview.h"
#include "statusprogress.h"
#include "windowcontext.h"

#include <QAction>
#include <QDir>
#include <QItemSelectionModel>
#include <QKeySequence>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>

#include <utility>

namespace {

// Rows added below a tab scrolled elsewhere, kept on its model: a new run
// makes a new model and so starts from none.
const char kNewRowsProperty[] = "newRowsBelow";

} // namespace

FollowControl::FollowControl(WindowContext &window, QObject *parent)
    : QObject(parent)
    , m_window(window)
{
    QWidget *const owner = window.window();
    m_action = new QAction(QIcon::fromTheme(QStringLiteral("go-bottom")), tr("Follow log"), owner);
    m_action->setObjectName(QStringLiteral("actionFollow"));
    m_action->setCheckable(true);
    m_action->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_L));
    m_action->setToolTip(tr("Show new records of the open log as they are written"));
    m_action->setStatusTip(m_action->toolTip());

    m_watcher = new LogWatcher(this);
    connect(m_watcher, &LogWatcher::grown, this, &FollowControl::logGrown);
    connect(m_watcher, &LogWatcher::replaced, this, &FollowControl::logReplaced);

    QStatusBar *const status = window.statusBar();
    m_newRows = new QPushButton(status);
    m_newRows->setObjectName(QStringLiteral("btnNewRows"));
    m_newRows->setFlat(true);
    m_newRows->setToolTip(tr("Go to the last row"));
    m_newRows->hide();
    status->addPermanentWidget(m_newRows);
    connect(m_newRows, &QPushButton::clicked, this, &FollowControl::goToNewRows);
    connect(window.resultTabs(), &QTabWidget::currentChanged, this, &FollowControl::updateNewRowsButton);
    // A tab over a set that becomes current has its set followed.
    connect(window.resultTabs(), &QTabWidget::currentChanged, this, &FollowControl::windowFree);

    // Following is off at every start until turned on: a log opened at
    // start is not read again behind the user's back because of a choice
    // made in another session.
    connect(m_action, &QAction::toggled, this, &FollowControl::toggled);
}

void FollowControl::toggled(bool on)
{
    if (!on)
        m_growthPending = m_replacementPending = false;
    windowFree();
    if (const TabInfo *info = m_window.tabInfo(m_window.resultTabs()->currentIndex()))
        m_window.showTabFilter(*info);
}

std::shared_ptr<LogSet> FollowControl::currentSet() const
{
    const TabInfo *info = m_window.tabInfo(m_window.resultTabs()->currentIndex());
    return info ? info->set : nullptr;
}

QString FollowControl::note(const TabInfo &info) const
{
    // The note is that of the current tab, whose set is the one followed.
    if (!m_action->isChecked()
        || (!info.set && (info.filePath.isEmpty() || info.filePath != m_window.logReader()->logPath())))
        return QString();
    return QStringLiteral("<br><br><i>") + tr("Following the log: new records are added as they are written.")
           + QStringLiteral("</i>");
}

void FollowControl::watchOpenLog()
{
    const std::shared_ptr<LogSet> set = m_action->isChecked() ? currentSet() : nullptr;
    const QString path = !m_action->isChecked() ? QString() : set ? set->logPath() : m_window.logReader()->logPath();
    if (m_watcher->path() == path && m_set.lock() == set)
        return;
    m_set = set;
    m_watcher->watch(path);
    // What the log gained before it was watched, and tabs of it that were
    // counted while another log was open, are brought up to date too.
    if (!path.isEmpty())
        m_growthPending = true;
}

void FollowControl::logRead()
{
    m_growthPending = m_action->isChecked();
    windowFree();
}

void FollowControl::windowFree()
{
    if (m_takingIn)
        return;
    watchOpenLog();
    if ((m_growthPending || m_replacementPending) && !m_scheduled) {
        m_scheduled = true;
        QTimer::singleShot(0, this, [this]() {
            m_scheduled = false;
            if ((m_growthPending || m_replacementPending) && !m_window.isBusy() && !m_takingIn)
                takeIn();
        });
    }
}

void FollowControl::logGrown()
{
    m_growthPending = true;
    if (!m_window.isBusy() && !m_takingIn)
        takeIn();
}

void FollowControl::logReplaced()
{
    m_replacementPending = true;
    if (!m_window.isBusy() && !m_takingIn)
        takeIn();
}

void FollowControl::takeIn()
{
    const bool replaced = std::exchange(m_replacementPending, false);
    m_growthPending = false;
    const std::shared_ptr<LogSet> set = m_set.lock();
    CLog *const log = m_window.logReader();
    const QString path = set ? set->logPath() : log->logPath();
    if (!m_action->isChecked() || path.isEmpty())
        return;
    struct Followed
    {
        QPointer<ResultView> view;
        QPointer<CStringListModel> model;
        bool atEnd;
        int rows;
        bool rerun;
    };
    QTabWidget *const tabs = m_window.resultTabs();
    QList<Followed> followed;
    for (int i = 0; i < tabs->count(); ++i) {
        const TabInfo *info = m_window.tabInfo(i);
        if (!info)
            break;
        auto *view = dynamic_cast<ResultView *>(tabs->widget(i));
        auto *model = view ? qobject_cast<CStringListModel *>(view->model()) : nullptr;
        const bool ofIt = set ? info->set == set : !info->set && info->filePath == path;
        if (!ofIt || !model || !model->log() || !info->filter)
            continue;
        const QScrollBar *bar = view->verticalScrollBar();
        followed.append({view, model, bar->value() >= bar->maximum(), model->rowCount(), replaced && !set});
        // The tabs of a file that another one replaced let go of the reader
        // before it reads the new one: scrolling meanwhile must not load rows
        // of the new file under the old file's block numbers. Their rows are
        // made again once it is read. A set keeps the readers of its files
        // across a rotation.
        if (replaced && !set)
            letGoOfLog(view, model);
    }

    // The read and the counts let the event loop turn: the window is busy
    // meanwhile, as for any read and run.
    m_takingIn = true;
    m_window.setBusy(true);
    bool renumbered = false;
    // What changes from here on is told again.
    m_watcher->rebase();
    const QStringList setPaths = set ? set->paths() : QStringList();
    if (set) {
        QList<ResultView *> views;
        for (const Followed &tab : qAsConst(followed))
            views.append(tab.view);
        renumbered = takeInSet(*set, views);
    } else if (replaced || log->isChanged(path)) {
        m_window.setReadingLog(log);
        log->readLog(path);
        m_window.setReadingLog(nullptr);
        renumbered = log->recordCount() == 0;
    }
    for (Followed &tab : followed) {
        if (!tab.model || !tab.view)
            continue;
        if (tab.rerun || renumbered) {
            tab.rerun = true;
            continue;
        }
        m_window.setRunningModel(tab.model);
        const CStringListModel::Growth growth = tab.model->followGrowth();
        m_window.setRunningModel(nullptr);
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
        const int index = tabs->indexOf(tab.view);
        if (index < 0 || !rerunTab(index))
            continue;
        if (tab.atEnd && tab.view)
            tab.view->verticalScrollBar()->setValue(tab.view->verticalScrollBar()->maximum());
    }
    m_takingIn = false;
    m_window.setBusy(false);
    updateNewRowsButton();
    if (set) {
        const QStringList now = set->paths();
        for (const QString &file : now)
            m_window.updateLogFileRow(file);
        if (now != setPaths || renumbered) {
            for (const Followed &tab : qAsConst(followed)) {
                if (tab.view)
                    m_window.nameSetTab(tabs->indexOf(tab.view));
            }
            QStringList names;
            for (const QString &file : now)
                names.append(QDir::toNativeSeparators(file));
            m_window.statusBar()->showMessage(
                (renumbered ? tr("Logs no longer found in their folders left the tab; it shows: %1")
                            : tr("The tab's logs were rotated; it shows: %1"))
                    .arg(names.join(QStringLiteral(", "))),
                5000);
        }
        return;
    }
    m_window.updateLogFileRow(path);
    if (replaced || renumbered) {
        m_window.statusBar()->showMessage(tr("The log %1 is another file now and was read anew.")
                                              .arg(QDir::toNativeSeparators(path)),
                                          5000);
    }
}

bool FollowControl::takeInSet(LogSet &set, const QList<ResultView *> &views)
{
    // Nothing loads rows from the set's readers while they read again (a
    // reader moved with its file takes its new name meanwhile); the rows
    // are loaded afterwards where the views stand.
    QList<QPair<QPointer<ResultView>, QPointer<CStringListModel>>> held;
    for (ResultView *view : views) {
        auto *model = qobject_cast<CStringListModel *>(view->model());
        if (!model)
            continue;
        held.append({view, model});
        disconnect(view->verticalScrollBar(), &QScrollBar::valueChanged, model, &CStringListModel::scrollMoved);
    }
    QStringList gone;
    set.takeRotation({}, &gone);
    set.readAgain();
    // With a file gone the blocks are numbered anew: the tabs are run again
    // and their models go.
    if (!gone.isEmpty())
        return true;
    for (const auto &[view, model] : qAsConst(held)) {
        if (!view || !model || view->model() != model)
            continue;
        connect(view->verticalScrollBar(), &QScrollBar::valueChanged, model.data(), &CStringListModel::scrollMoved);
        model->scrollMoved(view->verticalScrollBar()->value());
    }
    return false;
}

void FollowControl::letGoOfLog(ResultView *view, CStringListModel *model)
{
    model->detachLog();
    model->setProperty(kNewRowsProperty, 0);
    disconnect(view->verticalScrollBar(), nullptr, model, nullptr);
}

bool FollowControl::rerunTab(int index)
{
    QTabWidget *const tabs = m_window.resultTabs();
    auto *view = dynamic_cast<ResultView *>(tabs->widget(index));
    TabInfo *const tab = m_window.tabInfo(index);
    if (!view || !tab || !tab->filter)
        return false;
    StatusProgress progress(m_window.statusBar(), tr("Processing results"), tr("Cancel current log processing"));
    // The tab keeps the filter its rows were made with, whatever the
    // selector shows now.
    const CFilterPtr filter = tab->filter;
    // The tab's own reader, which is the open log's: only the tabs of the
    // open log are followed.
    const OpenLogs::Reader reader = tab->log;
    const std::shared_ptr<LogSet> set = tab->set;
    auto *model = set ? new CStringListModel(set.get(), filter, view)
                      : new CStringListModel(reader ? reader.get() : m_window.logReader(), filter, view);
    if (set)
        OpenLogs::holdWith(model, set);
    else
        OpenLogs::holdWith(model, reader);
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

    TabInfo &info = *tab;
    info.counting = true;
    info.stopped = false;
    view->setEmptyText(QString());
    tabs->setTabText(index, info.fileName + QStringLiteral(" - ") + filter->name);
    connect(model, &QAbstractItemModel::rowsInserted, this, [this] { m_window.showRowCount(); });
    connect(model, &QAbstractItemModel::modelReset, this, [this] { m_window.showRowCount(); });
    m_window.showRowCount();

    m_window.setRunningModel(model);
    const QPointer<CStringListModel> ran(model);
    // Nothing asks for this run: a record it could not decide shows as the
    // tab's "(stopped)" mark, not in a box over the window.
    model->runFilter();
    m_window.setRunningModel(nullptr);
    const int now = tabs->indexOf(view);
    if (!m_window.tabInfo(now))
        return false;
    m_window.noteRunEnd(now, ran);
    if (now == tabs->currentIndex())
        m_window.showTabFilter(*m_window.tabInfo(now));
    return bool(ran);
}

void FollowControl::updateNewRowsButton()
{
    const ResultView *view = m_window.currentResultView();
    const QAbstractItemModel *model = view ? view->model() : nullptr;
    const int waiting = model ? model->property(kNewRowsProperty).toInt() : 0;
    m_newRows->setText(tr("%n new rows below", nullptr, waiting));
    m_newRows->setVisible(waiting > 0);
}

void FollowControl::goToNewRows()
{
    ResultView *view = m_window.currentResultView();
    if (!view)
        return;
    view->verticalScrollBar()->setValue(view->verticalScrollBar()->maximum());
    if (QAbstractItemModel *model = view->model())
        model->setProperty(kNewRowsProperty, 0);
    updateNewRowsButton();
}
