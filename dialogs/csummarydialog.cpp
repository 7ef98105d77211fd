#include "csummarydialog.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QMap>
#include <QMessageBox>
#include <QPushButton>
#include <QSaveFile>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// Marks the row "other" in the first column of a table's model.
constexpr int otherRole = Qt::UserRole + 1;

// Sorts a table by the clicked column, the row "other" always last.
class SummarySortModel final : public QSortFilterProxyModel
{
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;

protected:
    bool lessThan(const QModelIndex &left, const QModelIndex &right) const override
    {
        const bool leftOther = isOther(left);
        const bool rightOther = isOther(right);
        // The proxy asks lessThan(right, left) for a descending order.
        if (leftOther != rightOther)
            return rightOther == (sortOrder() == Qt::AscendingOrder);
        return QSortFilterProxyModel::lessThan(left, right);
    }

private:
    bool isOther(const QModelIndex &index) const
    {
        return sourceModel()->index(index.row(), 0).data(otherRole).toBool();
    }
};

QStandardItemModel *tableModel(const ResultSummary &summary, ResultSummary::Table table, int top, QObject *parent)
{
    const QStringList headers = ResultSummary::headers(table);
    auto *model = new QStandardItemModel(0, headers.size(), parent);
    model->setHorizontalHeaderLabels(headers);
    for (const ResultSummary::Row &row : summary.rowsOf(table, top)) {
        QList<QStandardItem *> items;
        for (const QString &key : row.keys)
            items.append(new QStandardItem(key));
        for (const qint64 count : row.counts) {
            auto *item = new QStandardItem;
            // Numbers, so that the counts sort by value.
            item->setData(QVariant::fromValue<qlonglong>(count), Qt::DisplayRole);
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            items.append(item);
        }
        for (QStandardItem *item : qAsConst(items))
            item->setEditable(false);
        items.first()->setData(row.other, otherRole);
        model->appendRow(items);
    }
    return model;
}

} // namespace

CSummaryDialog::CSummaryDialog(const ResultSummary &summary, const QString &source, QWidget *parent, int top)
    : QDialog(parent), m_summary(summary), m_top(top)
{
    setObjectName(QStringLiteral("summaryDialog"));
    setWindowTitle(tr("Summary of %1").arg(source));
    auto *layout = new QVBoxLayout(this);
    auto *total = new QLabel(tr("%1 result rows. The top %2 of each table, the rest as \"other\".")
                                 .arg(QLocale().toString(summary.rows()))
                                 .arg(top),
                             this);
    total->setObjectName(QStringLiteral("lbSummaryRows"));
    total->setWordWrap(true);
    layout->addWidget(total);
    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("twSummary"));
    layout->addWidget(m_tabs);

    for (int t = 0; t < ResultSummary::tableCount; ++t) {
        const auto table = ResultSummary::Table(t);
        auto *page = new QWidget(m_tabs);
        auto *pageLayout = new QVBoxLayout(page);
        const QString note = m_summary.undercountNote(table);
        if (!note.isEmpty()) {
            auto *label = new QLabel(note, page);
            label->setWordWrap(true);
            pageLayout->addWidget(label);
        }
        auto *sorted = new SummarySortModel(page);
        sorted->setSourceModel(tableModel(m_summary, table, top, sorted));
        auto *view = new QTableView(page);
        view->setObjectName(QStringLiteral("tvSummary%1").arg(t));
        view->setAccessibleName(ResultSummary::title(table));
        view->setModel(sorted);
        view->setSortingEnabled(true);
        view->sortByColumn(-1, Qt::AscendingOrder); // the order of the counts until a header is clicked
        view->setSelectionMode(QAbstractItemView::ExtendedSelection);
        view->setEditTriggers(QAbstractItemView::NoEditTriggers);
        view->horizontalHeader()->setStretchLastSection(true);
        view->verticalHeader()->hide();
        view->resizeColumnsToContents();
        auto *copy = new QAction(tr("Copy"), view);
        copy->setShortcut(QKeySequence::Copy);
        copy->setShortcutContext(Qt::WidgetShortcut);
        connect(copy, &QAction::triggered, this, &CSummaryDialog::copySelection);
        auto *all = new QAction(tr("Select All"), view);
        all->setShortcut(QKeySequence::SelectAll);
        all->setShortcutContext(Qt::WidgetShortcut);
        connect(all, &QAction::triggered, view, &QTableView::selectAll);
        view->addActions({copy, all});
        // The view takes Ctrl+C for its current cell alone: the selection it is.
        view->installEventFilter(this);
        view->setContextMenuPolicy(Qt::ActionsContextMenu);
        pageLayout->addWidget(view);
        m_tabs->addTab(page, ResultSummary::title(table));
    }

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    QPushButton *copy = buttons->addButton(tr("Copy"), QDialogButtonBox::ActionRole);
    copy->setObjectName(QStringLiteral("btnSummaryCopy"));
    copy->setToolTip(tr("Copy the selected cells, or the whole table, as tab-separated text"));
    QPushButton *save = buttons->addButton(tr("Save as CSV..."), QDialogButtonBox::ActionRole);
    save->setObjectName(QStringLiteral("btnSummarySave"));
    connect(copy, &QPushButton::clicked, this, &CSummaryDialog::copySelection);
    connect(save, &QPushButton::clicked, this, &CSummaryDialog::saveCsv);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(600, 480);
}

bool CSummaryDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(event)->matches(QKeySequence::Copy)
        && qobject_cast<QTableView *>(watched)) {
        copySelection();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

QTableView *CSummaryDialog::table(ResultSummary::Table table) const
{
    return findChild<QTableView *>(QStringLiteral("tvSummary%1").arg(int(table)));
}

QString CSummaryDialog::selectedText() const
{
    const QTableView *view = table(ResultSummary::Table(m_tabs->currentIndex()));
    if (!view)
        return QString();
    const QAbstractItemModel *model = view->model();
    const QHeaderView *header = view->horizontalHeader();
    // Cells by row and by column as shown; a row's cells between its
    // selected ones stay empty.
    QMap<int, QMap<int, QString>> cells;
    const QModelIndexList selected = view->selectionModel()->selectedIndexes();
    for (const QModelIndex &cell : selected)
        cells[cell.row()][header->visualIndex(cell.column())] = cell.data().toString();
    QStringList lines;
    if (cells.isEmpty()) {
        QStringList titles;
        for (int v = 0; v < model->columnCount(); ++v)
            titles.append(model->headerData(header->logicalIndex(v), Qt::Horizontal).toString());
        lines.append(titles.join(QLatin1Char('\t')));
        for (int r = 0; r < model->rowCount(); ++r) {
            for (int v = 0; v < model->columnCount(); ++v)
                cells[r][v] = model->index(r, header->logicalIndex(v)).data().toString();
        }
    }
    int first = model->columnCount();
    int last = -1;
    for (const QMap<int, QString> &row : qAsConst(cells)) {
        first = std::min(first, row.firstKey());
        last = std::max(last, row.lastKey());
    }
    for (const QMap<int, QString> &row : qAsConst(cells)) {
        QStringList line;
        for (int v = first; v <= last; ++v)
            line.append(row.value(v));
        lines.append(line.join(QLatin1Char('\t')));
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

void CSummaryDialog::copySelection()
{
    QApplication::clipboard()->setText(selectedText());
}

void CSummaryDialog::saveCsv()
{
    QFileDialog dialog(this, tr("Save summary as CSV..."), QDir::homePath(), tr("CSV (*.csv)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().value(0).isEmpty())
        return;
    const QString fileName = dialog.selectedFiles().constFirst();
    // Replaced only when written whole.
    QSaveFile file(fileName);
    const QByteArray csv = m_summary.toCsv(m_top);
    if (!file.open(QIODevice::WriteOnly) || file.write(csv) != csv.size() || !file.commit()) {
        QMessageBox::warning(this, QCoreApplication::applicationName(),
                             tr("Can't save file - ") + fileName + QLatin1Char('\n') + file.errorString(),
                             QMessageBox::Ok);
    }
}
