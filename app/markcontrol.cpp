#include "markcontrol.h"

#include "clog.h"
#include "cstringlistmodel.h"
#include "logset.h"
#include "resultview.h"
#include "rowtext.h"
#include "timelinestrip.h"
#include "windowcontext.h"

#include <QAction>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QMessageBox>
#include <QPainter>
#include <QPointer>
#include <QScrollBar>
#include <QStatusBar>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// Width of the mark painted in a row's margin, in pixels: it stays within
// the room the style leaves before the text.
constexpr int kMarkWidth = 3;

QColor markColour(const QStyleOptionViewItem &option)
{
    return option.palette.color(option.state.testFlag(QStyle::State_Selected) ? QPalette::HighlightedText
                                                                                : QPalette::Link);
}

// Paints a row as the view always does, and its mark over the left margin.
// It keeps the marked rows of its view, so that a paint asks no more than
// whether the counts or the marks changed since.
class MarkDelegate final : public QStyledItemDelegate
{
public:
    MarkDelegate(MarkControl &control, ResultView *view) : QStyledItemDelegate(view), m_control(&control), m_view(view)
    {
    }

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::paint(painter, option, index);
        if (!m_control || !m_control->markedRows(m_view).contains(index.row()))
            return;
        // At the viewport's left edge, wherever the row is scrolled to; on a
        // selected row in the colour of its text, which stands out there.
        const QRect mark(0, option.rect.top() + 1, kMarkWidth, std::max(1, option.rect.height() - 2));
        painter->fillRect(mark, markColour(option));
    }

    MarkedRows rows;

private:
    QPointer<MarkControl> m_control;
    ResultView *m_view;
};

MarkDelegate *delegateOf(ResultView *view)
{
    return view ? dynamic_cast<MarkDelegate *>(view->itemDelegate()) : nullptr;
}

CStringListModel *resultsOf(const ResultView *view)
{
    return view ? qobject_cast<CStringListModel *>(view->model()) : nullptr;
}

// The key of the marks of the log `model` reads; empty for none (and for
// a set of logs, whose rows marks do not reach).
QString logKeyOf(const CStringListModel *model)
{
    // None for a set: its rows are of several logs.
    return model && model->markedLog() ? RowMarks::logKey(model->markedLog()->logPath()) : QString();
}

QString timeText(qint64 secs)
{
    return QDateTime::fromSecsSinceEpoch(secs).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

} // namespace

// --- The list ----------------------------------------------------------------

void MarkListModel::setMarks(const QVector<RowMarks::Mark> &marks, const QVector<bool> &shown)
{
    beginResetModel();
    m_marks = marks;
    m_shown = shown;
    m_shown.resize(m_marks.size());
    endResetModel();
}

qint64 MarkListModel::offsetAt(int row) const
{
    return row >= 0 && row < m_marks.size() ? m_marks.at(row).offset : -1;
}

int MarkListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_marks.size();
}

int MarkListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 2;
}

QVariant MarkListModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return QVariant();
    const RowMarks::Mark &mark = m_marks.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return index.column() == 0 ? timeText(mark.time) : resultRow(mark.text);
    case Qt::ToolTipRole:
        return m_shown.at(index.row()) ? QVariant() : QVariant(tr("Not a row of the current result"));
    case Qt::ForegroundRole:
        if (!m_shown.at(index.row()))
            return QPalette().brush(QPalette::Disabled, QPalette::Text);
        return QVariant();
    default:
        return QVariant();
    }
}

QVariant MarkListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section > 1)
        return QVariant();
    return section == 0 ? tr("Time") : tr("Row");
}

// --- The commands ------------------------------------------------------------

MarkControl::MarkControl(WindowContext &window, QObject *parent) : QObject(parent), m_window(window)
{
    QWidget *const owner = window.window();
    const auto make = [owner](const QString &text, const char *name, const QKeySequence &keys, const QString &tip) {
        auto *action = new QAction(text, owner);
        action->setObjectName(QLatin1String(name));
        action->setShortcut(keys);
        action->setStatusTip(tip);
        return action;
    };
    m_toggle = make(tr("Mark row"), "actionMarkToggle", QKeySequence(Qt::CTRL | Qt::Key_F2),
                    tr("Mark the current row, or take its mark away"));
    m_next = make(tr("Next mark"), "actionMarkNext", QKeySequence(Qt::Key_F2), tr("Show the next marked row"));
    m_previous = make(tr("Previous mark"), "actionMarkPrevious", QKeySequence(Qt::SHIFT | Qt::Key_F2),
                      tr("Show the previous marked row"));
    m_list = make(tr("Marks..."), "actionMarksShow", QKeySequence(), tr("List the marked rows of the current log"));
    m_save = make(tr("Save marked rows..."), "actionResultsSaveMarked", QKeySequence(),
                  tr("Save the marked rows of the current tab to file"));
    connect(m_toggle, &QAction::triggered, this, &MarkControl::toggleMark);
    connect(m_next, &QAction::triggered, this, &MarkControl::nextMark);
    connect(m_previous, &QAction::triggered, this, &MarkControl::previousMark);
    connect(m_list, &QAction::triggered, this, &MarkControl::showList);
    connect(m_save, &QAction::triggered, this, &MarkControl::saveMarked);
    connect(window.resultTabs(), &QTabWidget::currentChanged, this, &MarkControl::refreshList);
}

MarkControl::~MarkControl() = default;

QList<QAction *> MarkControl::rowActions() const
{
    return {m_toggle, m_next, m_previous};
}

void MarkControl::attach(ResultView *view)
{
    view->setItemDelegate(new MarkDelegate(*this, view));
    QPointer<ResultView> shown(view);
    view->timeline()->setMarkTimes([this, shown] { return shown ? markedRows(shown).times() : QVector<qint64>(); });
}

const MarkedRows &MarkControl::markedRows(ResultView *view)
{
    static const MarkedRows none;
    MarkDelegate *delegate = delegateOf(view);
    if (!delegate)
        return none;
    delegate->rows.update(resultsOf(view), m_marks);
    return delegate->rows;
}

void MarkControl::say(const QString &text)
{
    m_window.statusBar()->showMessage(text, 3000);
}

bool MarkControl::refusedForSet(const CStringListModel *model)
{
    if (!isSet(model))
        return false;
    say(tr("Marks are not available for logs opened together"));
    return true;
}

bool MarkControl::isSet(const CStringListModel *model)
{
    return model && model->logs() && model->logs()->isSet();
}

void MarkControl::toggleMark()
{
    ResultView *view = m_window.currentResultView();
    CStringListModel *model = resultsOf(view);
    const QModelIndex current = view ? view->currentIndex() : QModelIndex();
    if (refusedForSet(model))
        return;
    if (!model || !current.isValid()) {
        say(tr("No row to mark"));
        return;
    }
    RowMarks::Mark mark;
    mark.offset = model->recordOfRow(current.row(), &mark.text);
    const QString key = logKeyOf(model);
    if (mark.offset < 0 || key.isEmpty()) {
        say(tr("This row cannot be marked"));
        return;
    }
    // The record's own time: a block may hold earlier times than its key.
    const QDateTime date = CLog::recordDate(mark.offset, model->log()->logPath());
    mark.time = date.isValid() ? date.toSecsSinceEpoch()
                               : model->log()->blockTime(model->log()->blockAt(mark.offset));
    say(m_marks.toggle(key, mark) ? tr("Row marked") : tr("Mark removed"));
    marksChanged();
}

void MarkControl::nextMark()
{
    step(true);
}

void MarkControl::previousMark()
{
    step(false);
}

void MarkControl::step(bool forward)
{
    ResultView *view = m_window.currentResultView();
    CStringListModel *model = resultsOf(view);
    if (refusedForSet(model))
        return;
    const MarkedRows &marked = markedRows(view);
    if (!model || marked.rows().empty()) {
        say(tr("No marks in this result"));
        return;
    }
    // Without a current row, the first or the last mark.
    const QModelIndex current = view->currentIndex();
    const int from = current.isValid() ? current.row() : forward ? -1 : model->rowCount();
    const int row = forward ? marked.after(from) : marked.before(from);
    if (row < 0) {
        say(forward ? tr("No mark below this row") : tr("No mark above this row"));
        return;
    }
    goToRow(view, row);
    const auto &rows = marked.rows();
    say(tr("Mark %1 of %2").arg(int(std::lower_bound(rows.begin(), rows.end(), row) - rows.begin()) + 1).arg(rows.size()));
}

void MarkControl::goToMark(qint64 offset)
{
    ResultView *view = m_window.currentResultView();
    const int row = markedRows(view).rowOf(offset);
    if (row < 0) {
        say(tr("The marked row is not in this result"));
        refreshList();
        return;
    }
    goToRow(view, row);
}

void MarkControl::goToRow(ResultView *view, int row)
{
    const QModelIndex index = view->model()->index(row, 0);
    view->scrollTo(index, QAbstractItemView::PositionAtCenter);
    view->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    view->setFocus(Qt::OtherFocusReason);
}

void MarkControl::marksChanged()
{
    QTabWidget *tabs = m_window.resultTabs();
    for (int i = 0; i < tabs->count(); ++i) {
        if (auto *view = dynamic_cast<ResultView *>(tabs->widget(i))) {
            view->viewport()->update();
            view->timeline()->update();
        }
    }
    refreshList();
}

void MarkControl::showList()
{
    if (refusedForSet(resultsOf(m_window.currentResultView())))
        return;
    if (!m_dialog) {
        m_dialog = new QDialog(m_window.window());
        m_dialog->setObjectName(QStringLiteral("dlgMarks"));
        m_dialog->setWindowTitle(tr("Marks"));
        auto *layout = new QVBoxLayout(m_dialog);
        m_listView = new QTreeView(m_dialog);
        m_listView->setObjectName(QStringLiteral("tvMarks"));
        m_listView->setRootIsDecorated(false);
        m_listView->setUniformRowHeights(true);
        m_listView->setAllColumnsShowFocus(true);
        m_listView->setEditTriggers(QAbstractItemView::NoEditTriggers);
        m_listView->setModel(&m_listModel);
        m_listView->header()->setStretchLastSection(true);
        layout->addWidget(m_listView);
        auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, m_dialog);
        layout->addWidget(buttons);
        connect(buttons, &QDialogButtonBox::rejected, m_dialog, &QDialog::reject);
        connect(m_listView, &QAbstractItemView::activated, this,
                [this](const QModelIndex &index) { goToMark(m_listModel.offsetAt(index.row())); });
        connect(m_listView, &QAbstractItemView::clicked, this,
                [this](const QModelIndex &index) { goToMark(m_listModel.offsetAt(index.row())); });
        m_dialog->resize(640, 300);
    }
    refreshList();
    m_listView->resizeColumnToContents(0);
    m_dialog->show();
    m_dialog->raise();
    m_dialog->activateWindow();
}

void MarkControl::refreshList()
{
    if (!m_dialog)
        return;
    ResultView *view = m_window.currentResultView();
    CStringListModel *model = resultsOf(view);
    QString key = logKeyOf(model);
    // A tab over a set has none, not those of the log current before it.
    if (key.isEmpty() && !isSet(model)) {
        const TabInfo *info = m_window.tabInfo(m_window.resultTabs()->currentIndex());
        key = info ? RowMarks::logKey(info->filePath) : QString();
    }
    const QVector<RowMarks::Mark> marks = m_marks.marks(key);
    const MarkedRows &marked = markedRows(view);
    QVector<bool> shown;
    shown.reserve(marks.size());
    for (const RowMarks::Mark &mark : marks)
        shown.append(marked.rowOf(mark.offset) >= 0);
    m_listModel.setMarks(marks, shown);
}

void MarkControl::saveMarked()
{
    ResultView *view = m_window.currentResultView();
    CStringListModel *model = resultsOf(view);
    if (refusedForSet(model))
        return;
    if (!model || markedRows(view).rows().empty()) {
        QMessageBox::warning(m_window.window(), QCoreApplication::applicationName(), tr("No marked rows to save!"),
                             QMessageBox::Ok);
        return;
    }
    // Only the marks the result shows: one of a record no longer there
    // must not bring another record's row along.
    const std::vector<qint64> offsets = markedRows(view).offsets();
    m_window.saveResults(&offsets);
}
