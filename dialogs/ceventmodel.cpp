#include "ceventmodel.h"

#include "eventcatalogue.h"

#include <QCoreApplication>
#include <QList>
#include <QStandardItem>

CEventModel::CEventModel(QObject *parent)
    : QStandardItemModel(parent)
{
    caption = QCoreApplication::translate("QObject", "Select events");
    // The plain concatenation; the editor refills it sorted and without
    // duplicates before it shows it.
    fill(EventCatalogue().allNames());
    connect(this, SIGNAL(dataChanged(QModelIndex, QModelIndex)), this, SLOT(updateCaption(QModelIndex, QModelIndex)));
}

CEventModel::~CEventModel() = default;

void CEventModel::fill(const QStringList &names)
{
    clear();
    captionItem = new QStandardItem(caption);
    captionItem->setToolTip(caption);
    captionItem->setFlags(captionItem->flags() & ~Qt::ItemIsSelectable);

    // One catalogue for all the tool tips: asking the library for the four
    // lists once per event would make opening the editor slow.
    const EventCatalogue catalogue;
    QList<QStandardItem *> items;
    items.reserve(names.size() + 1);
    items.append(captionItem);
    for (const QString &name : names) {
        auto *item = new QStandardItem(name);
        item->setToolTip(catalogue.description(name));
        // Not selectable: a click ticks the box and the open list stays open.
        item->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled);
        item->setCheckState(Qt::Unchecked);
        items.append(item);
    }
    invisibleRootItem()->appendRows(items);
}

void CEventModel::setChecked(const QStringList &names)
{
    for (const QString &name : names) {
        for (int row = 1; row < rowCount(); ++row) {
            QStandardItem *event = item(row);
            if (event && event->text() == name)
                event->setCheckState(Qt::Checked);
        }
    }
}

QStringList CEventModel::checkedEvents() const
{
    const QString text = captionItem ? captionItem->text() : caption;
    if (text == caption)
        return {};
    return text.split(QStringLiteral(", "), Qt::KeepEmptyParts, Qt::CaseSensitive);
}

void CEventModel::updateCaption(QModelIndex topLeft, QModelIndex)
{
    // Our own change of the caption row comes back here; stop it at once.
    if (topLeft.row() == 0 || !captionItem)
        return;
    QStringList checked;
    for (int row = 1; row < rowCount(); ++row) {
        bool isInt = false;
        const int state = index(row, 0).data(Qt::CheckStateRole).toInt(&isInt);
        if (isInt && state == Qt::Checked)
            checked.append(index(row, 0).data(Qt::DisplayRole).toString());
    }
    QString text = checked.join(QStringLiteral(", "));
    if (text.isEmpty())
        text = caption;
    captionItem->setText(text);
    captionItem->setToolTip(text);
}
