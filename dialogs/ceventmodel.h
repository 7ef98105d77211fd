// The model behind the filter editor's event combo box: a caption row that
// names the checked events, then one checkable row per event name.
#ifndef CEVENTMODEL_H
#define CEVENTMODEL_H

#include <QModelIndex>
#include <QStandardItemModel>
#include <QString>
#include <QStringList>

class QStandardItem;

class CEventModel : public QStandardItemModel
{
    Q_OBJECT
public:
    // Filled with the events of all four categories, in category order.
    explicit CEventModel(QObject *parent = nullptr);
    ~CEventModel() override;

    // Replaces every row: the caption row, then one unchecked row per name.
    void fill(const QStringList &names);
    // Checks every event row whose text is one of `names`; others keep their state.
    void setChecked(const QStringList &names);
    // The checked events as the caption names them; empty when none is.
    QStringList checkedEvents() const;
    // The caption shown while no event is checked ("Select events").
    QString defaultCaption() const { return caption; }

public slots:
    // Spells the checked events out in the caption row.
    void updateCaption(QModelIndex topLeft, QModelIndex);

private:
    QString caption;
    QStandardItem *captionItem = nullptr;
};

#endif
