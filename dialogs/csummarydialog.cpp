#include "csummarydialog.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QSaveFile>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

CSummaryDialog::CSummaryDialog(const ResultSummary &summary, const QString &source, QWidget *parent, int top)
    : QDialog(parent), m_summary(summary), m_top(top)
{
    setObjectName(QStringLiteral("summaryDialog"));
    setWindowTitle(tr("Summary of %1").arg(source));
    auto *layout = new QVBoxLayout(this);
    auto *total = new QLabel(tr("Result rows: %1. The top %2 of each table, the rest as \"other\".")
                                 .arg(QLocale().toString(summary.rows()))
                                 .arg(top),
                             this);
    total->setObjectName(QStringLiteral("lbSummaryRows"));
    layout->addWidget(total);
    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("twSummary"));
    layout->addWidget(m_tabs);

    for (int t = 0; t < ResultSummary::tableCount; ++t) {
        const auto table = ResultSummary::Table(t);
        const QStringList headers = ResultSummary::headers(table);
        auto *model = new QStandardItemModel(0, headers.size(), this);
        model->setHorizontalHeaderLabels(headers);
        for (const ResultSummary::Row &row : m_summary.rowsOf(table, top)) {
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
            for (QStandardItem *item : items)
                item->setEditable(false);
            model->appendRow(items);
        }
        auto *sorted = new QSortFilterProxyModel(this);
        sorted->setSourceModel(model);
        auto *view = new QTableView(m_tabs);
        view->setObjectName(QStringLiteral("tvSummary%1").arg(t));
        view->setModel(sorted);
        view->setSortingEnabled(true);
        view->sortByColumn(-1, Qt::AscendingOrder); // the order of the counts until a header is clicked
        view->setSelectionBehavior(QAbstractItemView::SelectRows);
        view->horizontalHeader()->setStretchLastSection(true);
        view->verticalHeader()->hide();
        view->resizeColumnsToContents();
        auto *copy = new QAction(tr("Copy"), view);
        copy->setShortcut(QKeySequence::Copy);
        copy->setShortcutContext(Qt::WidgetShortcut);
        connect(copy, &QAction::triggered, this, &CSummaryDialog::copyTable);
        view->addAction(copy);
        view->setContextMenuPolicy(Qt::ActionsContextMenu);
        m_tabs->addTab(view, ResultSummary::title(table));
    }

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    QPushButton *copy = buttons->addButton(tr("Copy"), QDialogButtonBox::ActionRole);
    copy->setObjectName(QStringLiteral("btnSummaryCopy"));
    QPushButton *save = buttons->addButton(tr("Save as CSV..."), QDialogButtonBox::ActionRole);
    save->setObjectName(QStringLiteral("btnSummarySave"));
    connect(copy, &QPushButton::clicked, this, &CSummaryDialog::copyTable);
    connect(save, &QPushButton::clicked, this, &CSummaryDialog::saveCsv);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(560, 480);
}

QTableView *CSummaryDialog::currentTable() const
{
    return qobject_cast<QTableView *>(m_tabs->currentWidget());
}

QString CSummaryDialog::tableText() const
{
    const QTableView *view = currentTable();
    if (!view)
        return QString();
    const QAbstractItemModel *model = view->model();
    QModelIndexList cells = view->selectionModel()->selectedIndexes();
    QList<int> rows;
    for (const QModelIndex &cell : cells)
        rows.append(cell.row());
    if (rows.isEmpty()) {
        for (int r = 0; r < model->rowCount(); ++r)
            rows.append(r);
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    QStringList lines;
    QStringList header;
    for (int c = 0; c < model->columnCount(); ++c)
        header.append(model->headerData(c, Qt::Horizontal).toString());
    lines.append(header.join(QLatin1Char('\t')));
    for (const int r : qAsConst(rows)) {
        QStringList cellsOfRow;
        for (int c = 0; c < model->columnCount(); ++c)
            cellsOfRow.append(model->index(r, c).data().toString());
        lines.append(cellsOfRow.join(QLatin1Char('\t')));
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

void CSummaryDialog::copyTable()
{
    QApplication::clipboard()->setText(tableText());
}

void CSummaryDialog::saveCsv()
{
    QFileDialog dialog(this, tr("Save summary as CSV..."), QDir::homePath(), tr("CSV (*.csv)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().value(0).isEmpty())
        return;
    const QString fileName = dialog.selectedFiles().constFirst();
    QSaveFile file(fileName);
    const QByteArray csv = m_summary.toCsv(m_top);
    if (!file.open(QIODevice::WriteOnly) || file.write(csv) != csv.size() || !file.commit()) {
        QMessageBox::warning(this, QCoreApplication::applicationName(),
                             tr("Can't save file - ") + fileName + QLatin1Char('\n') + file.errorString(),
                             QMessageBox::Ok);
    }
}
