#include "resultview.h"

#include <QFontMetrics>
#include <QListView>
#include <QStyledItemDelegate>

namespace {

// Every row takes the size of the first (uniform item sizes), which would
// cut all records at the width of whatever record happens to come first.
// Rows are given room for a long record instead, with a horizontal scroll
// bar where the view is narrower.
class ResultRowDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setWidth(qMax(size.width(), QFontMetrics(option.font).averageCharWidth() * resultRowChars));
        return size;
    }
};

} // namespace

QAbstractItemView *createResultView(QWidget *parent)
{
    auto *view = new QListView(parent);
    view->setUniformItemSizes(true);
    view->setLayoutMode(QListView::Batched);
    view->setBatchSize(resultViewBatchRows);
    view->setItemDelegate(new ResultRowDelegate(view));
    view->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    return view;
}
