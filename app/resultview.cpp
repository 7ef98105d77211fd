#include "resultview.h"

#include <QListView>

QListView *createResultView(QWidget *parent)
{
    auto *view = new QListView(parent);
    view->setUniformItemSizes(true);
    view->setLayoutMode(QListView::Batched);
    view->setBatchSize(resultViewBatchRows);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    return view;
}
