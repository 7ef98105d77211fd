#include "rowactions.h"

#include "cfilter.h"
#include "clog.h"
#include "cstringlistmodel.h"
#include "logset.h"
#include "filterselector.h"
#include "filtermatch.h"
#include "recordfields.h"
#include "resultview.h"
#include "rowranges.h"
#include "statusprogress.h"
#include "windowcontext.h"

#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDateTime>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QMenu>
#include <QMimeData>
#include <QPointer>
#include <QStatusBar>
#include <QTabWidget>

#include <algorithm>
#include <utility>

RowActions::RowActions(WindowContext &window, std::function<void(const QDateTime &, const QDateTime &)> narrowRange,
                       QObject *parent)
    : QObject(parent)
    , m_window(window)
    , m_narrowTime(std::move(narrowRange))
{
    QWidget *const owner = window.window();
    m_copy = new QAction(tr("Copy"), owner);
    m_copy->setObjectName(QStringLiteral("actionCopy"));
    m_copy->setShortcut(QKeySequence::Copy);
    // Ctrl+C copies rows only from the result tabs: the window's other
    // views and its dialogs copy what they hold themselves.
    m_copy->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    window.resultTabs()->addAction(m_copy);
    m_copy->setStatusTip(tr("Copy the chosen rows as the rows of Save results"));
    connect(m_copy, &QAction::triggered, this, [this] { copy(ExportFormat::Text); });
    m_copyCsv = new QAction(tr("Copy as CSV"), owner);
    m_copyCsv->setObjectName(QStringLiteral("actionCopyCsv"));
    connect(m_copyCsv, &QAction::triggered, this, [this] { copy(ExportFormat::Csv); });
    m_copyJson = new QAction(tr("Copy as JSON Lines"), owner);
    m_copyJson->setObjectName(QStringLiteral("actionCopyJsonLines"));
    connect(m_copyJson, &QAction::triggered, this, [this] { copy(ExportFormat::JsonLines); });

    m_rowMenu = new QMenu(owner);
    m_rowMenu->setObjectName(QStringLiteral("menuRow"));
    m_rowMenu->setTitle(tr("Row"));
    const struct
    {
        Field field;
        const char *name;
    } fields[] = {{Field::User, "User"}, {Field::Event, "Event"}, {Field::Group, "Group"}, {Field::Kind, "Kind"}};
    for (const auto &field : fields) {
        for (const bool hide : {false, true}) {
            auto *action = new QAction(owner);
            action->setObjectName(QStringLiteral("action%1%2").arg(hide ? QStringLiteral("Hide") : QStringLiteral("ShowOnly"),
                                                                  QLatin1String(field.name)));
            connect(action, &QAction::triggered, this, [this, f = field.field, hide] { narrow(f, hide); });
            m_rowMenu->addAction(action);
            m_narrowings.append(Narrowing{field.field, hide, action});
        }
    }
    m_rowMenu->addSeparator();
    m_second = m_rowMenu->addAction(tr("Show this second"));
    m_second->setObjectName(QStringLiteral("actionShowSecond"));
    connect(m_second, &QAction::triggered, this, [this] { narrowTime(false); });
    m_fromHere = m_rowMenu->addAction(tr("Show from here"));
    m_fromHere->setObjectName(QStringLiteral("actionShowFromHere"));
    connect(m_fromHere, &QAction::triggered, this, [this] { narrowTime(true); });
    connect(m_rowMenu, &QMenu::aboutToShow, this, &RowActions::updateTexts);
    updateTexts();
}

void RowActions::attach(ResultView *view)
{
    // Through the viewport's events, not the view's signal: every run in a
    // tab cuts the view's connections.
    view->viewport()->installEventFilter(this);
}

bool RowActions::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::ContextMenu) {
        auto *viewport = qobject_cast<QWidget *>(watched);
        if (auto *view = viewport ? dynamic_cast<ResultView *>(viewport->parentWidget()) : nullptr) {
            showContextMenu(view, static_cast<QContextMenuEvent *>(event)->pos());
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

void RowActions::showContextMenu(ResultView *view, const QPoint &pos)
{
    // The press that opened the menu made the row under it the current one.
    updateTexts();
    QMenu menu(view);
    menu.addAction(m_copy);
    menu.addAction(m_copyCsv);
    menu.addAction(m_copyJson);
    menu.addSeparator();
    for (QAction *action : m_rowMenu->actions())
        menu.addAction(action);
    menu.exec(view->viewport()->mapToGlobal(pos));
}

bool RowActions::currentRecord(QByteArray *text, qint64 *recordTime) const
{
    ResultView *view = m_window.currentResultView();
    auto *model = view ? qobject_cast<CStringListModel *>(view->model()) : nullptr;
    if (!model || m_window.isBusy() || !view->currentIndex().isValid())
        return false;
    return model->recordOfRow(view->currentIndex().row(), text, recordTime);
}

bool RowActions::currentValue(Field field, QString *entry, QString *shown) const
{
    QByteArray text;
    qint64 time = -1;
    RecordFields fields;
    return currentRecord(&text, &time)
        && parseRecordFields(std::string_view(text.constData(), size_t(text.size())), &fields)
        && valueOf(field, fields, entry, shown);
}

bool RowActions::valueOf(Field field, const RecordFields &fields, QString *entry, QString *shown)
{
    switch (field) {
    case Field::Kind: {
        const int kind = QByteArrayLiteral("upfc").indexOf(fields.kind);
        if (kind < 0)
            return false;
        *entry = fragments().at(2 + kind);
        *shown = sourceLabels().at(kind);
        return true;
    }
    case Field::Event: {
        const QString name = QString::fromUtf8(fields.event.data(), int(fields.event.size()));
        QList<QStringList> lists{{}, {}, {name}, {}, {}, {}};
        *entry = toPatternForm(lists).at(2).value(0);
        *shown = name;
        return !entry->isEmpty();
    }
    case Field::Group:
        *entry = groupToPattern(QString::number(fields.subject[3]), FormDirection::ToPattern);
        *shown = groupToPattern(*entry, FormDirection::ToDisplay);
        return true;
    case Field::User:
        *entry = userToPattern(QString::number(fields.subject[2]), FormDirection::ToPattern);
        *shown = userToPattern(*entry, FormDirection::ToDisplay);
        return true;
    }
    return false;
}

void RowActions::updateTexts()
{
    const QString unknown = QString(QChar(0x2026));
    // The row's record is read once for all the commands.
    QByteArray text;
    qint64 time = -1;
    RecordFields fields;
    const bool row = currentRecord(&text, &time);
    const bool parsed = row && parseRecordFields(std::string_view(text.constData(), size_t(text.size())), &fields);
    for (const Narrowing &narrowing : qAsConst(m_narrowings)) {
        QString entry;
        QString shown;
        const bool known = parsed && valueOf(narrowing.field, fields, &entry, &shown);
        const QString value = known ? shown : unknown;
        QString text;
        switch (narrowing.field) {
        case Field::User:
            text = narrowing.hide ? tr("Hide user %1") : tr("Show only user %1");
            break;
        case Field::Event:
            text = narrowing.hide ? tr("Hide event %1") : tr("Show only event %1");
            break;
        case Field::Group:
            text = narrowing.hide ? tr("Hide group %1") : tr("Show only group %1");
            break;
        case Field::Kind:
            text = narrowing.hide ? tr("Hide source %1") : tr("Show only source %1");
            break;
        }
        // A "&" in a name is no mnemonic.
        narrowing.action->setText(text.arg(QString(value).replace(QLatin1Char('&'), QStringLiteral("&&"))));
        narrowing.action->setEnabled(known);
    }
    m_second->setEnabled(row);
    m_fromHere->setEnabled(row);
}

void RowActions::narrowed(int list, const QString &entry, bool hide, QList<QStringList> *lists,
                          QList<QStringList> *hidden)
{
    while (lists->size() < 6)
        lists->append(QStringList());
    while (hidden->size() < 6)
        hidden->append(QStringList());
    if (hide) {
        // The lists stay: what they let through loses the value's records.
        if (!(*hidden)[list].contains(entry))
            (*hidden)[list].append(entry);
        return;
    }
    (*lists)[list] = QStringList{entry};
    (*hidden)[list].removeAll(entry);
}

void RowActions::narrow(Field field, bool hide)
{
    if (m_window.isBusy()) {
        m_window.warnBusy();
        return;
    }
    const CFilterPtr filter = filterList().value(currentFilterIndex());
    QString entry;
    QString shown;
    if (!filter || !currentValue(field, &entry, &shown))
        return;
    QList<QStringList> lists = filter->lists();
    QList<QStringList> hidden = filter->hidden();
    narrowed(int(field), entry, hide, &lists, &hidden);
    filter->setLists(lists);
    filter->setHidden(hidden);
    // As the time line's narrowing: the default filter is marked too, since
    // nothing else would tell why another log shows fewer rows.
    FilterSelector *selector = m_window.filterSelector();
    if (filterList().indexOf(filter) == 0 && selector->count() > 0)
        selector->setItemText(0, filter->name + QStringLiteral(" (") + tr("modified") + QLatin1Char(')'));
    m_window.applyEditedFilter(filter);
}

void RowActions::narrowTime(bool fromHere)
{
    if (m_window.isBusy()) {
        m_window.warnBusy();
        return;
    }
    QByteArray text;
    qint64 time = -1;
    const CFilterPtr filter = filterList().value(currentFilterIndex());
    if (!filter || !currentRecord(&text, &time) || time < 0)
        return;
    const QDateTime start = QDateTime::fromSecsSinceEpoch(time);
    QDateTime end = start;
    if (fromHere) {
        // To the end of the filter's range: its time, or the last record of
        // the tab's logs (all the files of a set, not only the window's log).
        ResultView *view = m_window.currentResultView();
        auto *model = view ? qobject_cast<CStringListModel *>(view->model()) : nullptr;
        const LogSet *logs = model ? model->logs() : nullptr;
        end = filter->time.isValid() ? filter->time
              : logs                 ? logs->lastDate()
                                     : m_window.logReader()->lastDate();
        if (!end.isValid() || end < start)
            end = start;
    }
    m_narrowTime(start, end);
}

void RowActions::copy(ExportFormat format)
{
    ResultView *view = m_window.currentResultView();
    QPointer<CStringListModel> model = view ? qobject_cast<CStringListModel *>(view->model()) : nullptr;
    QStatusBar *status = m_window.statusBar();
    if (!model || !view->selectionModel())
        return;
    // Every way in is refused while another operation runs: the walk would
    // take over the model's cancel and progress.
    if (m_window.isBusy()) {
        m_window.warnBusy();
        return;
    }
    RowRanges rows;
    for (const QItemSelectionRange &range : view->selectionModel()->selection())
        rows.add(range.top(), range.bottom());
    if (rows.isEmpty() && view->currentIndex().isValid())
        rows.add(view->currentIndex().row(), view->currentIndex().row());
    rows = rows.clipped(model->rowCount());
    if (rows.isEmpty()) {
        status->showMessage(tr("No rows chosen to copy."), 3000);
        return;
    }
    const qint64 count = rows.rowCount();
    QByteArray text;
    bool copied = false;
    if (count > kLongCopyRows) {
        m_window.setBusy(true);
        m_window.setRunningModel(model);
        {
            StatusProgress progress(status, tr("Copying rows"), tr("Cancel copying"));
            connect(model, &CStringListModel::valueChanged, progress.bar(), &QProgressBar::setValue);
            connect(model, &CStringListModel::valueMaximum, progress.bar(), &QProgressBar::setMaximum);
            connect(progress.cancelButton(), &QPushButton::clicked, model, &CStringListModel::cancel);
            copied = model->chosenRowsText(rows, format, true, &text);
        }
        m_window.setRunningModel(nullptr);
        m_window.setBusy(false);
    } else {
        copied = model->chosenRowsText(rows, format, false, &text);
    }
    if (!model) {
        status->showMessage(tr("The results were closed while they were copied: nothing was put on the clipboard."),
                            3000);
        return;
    }
    if (!copied) {
        if (text.size() > CStringListModel::kCopyLimit) {
            status->showMessage(tr("Too many rows to copy: their text would pass 1 GiB; nothing was put on the "
                                   "clipboard. Save results writes them to a file."),
                                5000);
        } else if (model->stop().stopped()) {
            status->showMessage(tr("Copy stopped: nothing was put on the clipboard."), 3000);
            m_window.warnCostlyPattern(model->stop().pattern);
        } else {
            status->showMessage(tr("Copy cancelled: nothing was put on the clipboard."), 3000);
        }
        return;
    }
    // The bytes themselves, shared by both names: no second copy of a large
    // text is made until another program asks for it.
    text.squeeze();
    auto *data = new QMimeData;
    data->setData(QStringLiteral("text/plain"), text);
    data->setData(QStringLiteral("text/plain;charset=utf-8"), text);
    if (format == ExportFormat::Csv)
        data->setData(QStringLiteral("text/csv"), text);
    QGuiApplication::clipboard()->setMimeData(data);
    status->showMessage(tr("Rows copied: %1").arg(count), 3000);
}
