// The filter selector and the commands on the current filter.
#include "mainwindow.h"

#include "filterdescription.h"
#include "ui_mainwindow.h"

#include <QComboBox>
#include <QSettings>

void mainWindow::reloadFilters()
{
    QSettings settings;
    settings.beginGroup(QStringLiteral("filter"));
    const QStringList keys = settings.childKeys();
    settings.endGroup();

    currentFilterIndex() = 0;
    QList<CFilterPtr> &filters = filterList();
    while (filters.size() > 1)
        filters.removeLast();
    ui->lbFilter->setText(filterDescription(*filters.first(), datePresets));
    for (const QString &key : keys) {
        auto filter = CFilterPtr::create(key);
        filter->load();
        filters.append(filter);
    }
    fillFilterCombo(filterCombo);
}

void mainWindow::fillFilterCombo(QComboBox *combo)
{
    combo->clear();
    for (const CFilterPtr &filter : qAsConst(filterList())) {
        combo->addItem(filter->name);
        combo->setItemData(combo->count() - 1, filterDescription(*filter, datePresets), Qt::ToolTipRole);
    }
    combo->setCurrentIndex(combo->count() > 0 ? 0 : -1);
}

void mainWindow::activateFilter(int id)
{
    if (id < 0 || id >= filterList().size())
        return;
    currentFilterIndex() = id;
    ui->lbFilter->setText(filterDescription(*filterList().at(id), datePresets));
    actionResultsPress();
}

// The editing commands arrive with the filter editor.
void mainWindow::actionFilterEditPress() {}
void mainWindow::actionFilterSavePress() {}
void mainWindow::actionFilterDelPress() {}
