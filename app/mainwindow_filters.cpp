// The filter selector and the commands on the current filter.
#include "mainwindow.h"

#include "cfiltereditwindow.h"
#include "filterdescription.h"
#include "ui_filternamedialog.h"
#include "filterselector.h"
#include "settingsaccess.h"
#include "ui_mainwindow.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QSettings>

void mainWindow::reloadFilters()
{
    beforeSettingsAccess();
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
        combo->setItemData(combo->count() - 1, selectorTip(*filter), Qt::ToolTipRole);
    }
    combo->setCurrentIndex(combo->count() > 0 ? 0 : -1);
}

QString mainWindow::selectorTip(const CFilter &filter) const
{
    QString tip = filterDescription(filter, datePresets);
    if (filter.unreadable)
        tip += QStringLiteral("<br><br><b>")
               + tr("The stored value of this filter could not be read: it may match every record.")
               + QStringLiteral("</b>");
    return tip;
}

void mainWindow::warnUnreadableFilter(const CFilter &filter)
{
    if (!filter.unreadable || unreadableWarned.contains(filter.name))
        return;
    unreadableWarned.append(filter.name);
    QMessageBox::warning(this, QCoreApplication::applicationName(),
                         tr("The saved filter \"%1\" could not be read: it may match every record until it is "
                            "edited and saved again.")
                             .arg(filter.name),
                         QMessageBox::Ok);
}

void mainWindow::followTabFilter(const TabInfo &info)
{
    if (!info.source)
        return;
    // The record itself; after a reload, the saved filter of that name.
    int position = filterList().indexOf(info.source);
    for (int i = 1; i < filterList().size() && position < 0; ++i) {
        if (filterList().at(i)->name == info.source->name)
            position = i;
    }
    if (position < 0 || position >= filterCombo->count())
        return;
    currentFilterIndex() = position;
    filterCombo->setCurrentIndex(position);
}

void mainWindow::showCurrentTabFilter()
{
    const TabInfo info = tabInfos.value(ui->twLogResult->currentIndex());
    if (info.filter)
        showTabFilter(info);
}

void mainWindow::activateFilter(int id)
{
    if (id < 0 || id >= filterList().size())
        return;
    currentFilterIndex() = id;
    ui->lbFilter->setText(filterDescription(*filterList().at(id), datePresets));
    warnUnreadableFilter(*filterList().at(id));
    actionResultsPress();
    // A run refused as busy left the tab's rows as they were.
    showCurrentTabFilter();
}

void mainWindow::actionFilterEditPress()
{
    // Shared, so that a reload or a delete while the editor is open cannot
    // take the record away under it.
    const CFilterPtr filter = filterList().value(currentFilterIndex());
    if (!filter)
        return;
    filterEditor->setFilter(filter->name, timeText(*filter, datePresets), *filter);
    if (filterEditor->exec() != QDialog::Accepted)
        return;
    applyTimeChoice(filterEditor->timeChoice(), datePresets, *filter);
    filter->setLists(filterEditor->filterLists());
    applyEditedFilter(filter);
}

void mainWindow::applyEditedFilter(const CFilterPtr &filter)
{
    ui->lbFilter->setText(filterDescription(*filter, datePresets));
    // The entry of the edited filter, unless the list was reloaded meanwhile.
    const int entry = filterList().indexOf(filter);
    if (entry >= 0 && entry < filterCombo->count()) {
        if (entry != 0)
            filterCombo->setItemText(entry, filter->name + QStringLiteral(" (") + tr("modified") + QLatin1Char(')'));
        filterCombo->setItemData(entry, selectorTip(*filter), Qt::ToolTipRole);
    }
    actionResultsPress();
    // A run refused as busy left the tab's rows, and their description, as
    // they were: the tab says the filter changed since.
    showCurrentTabFilter();
}

void mainWindow::actionFilterSavePress()
{
    const CFilterPtr filter = filterList().value(currentFilterIndex());
    if (!filter)
        return;
    filterNameUi->leFilterName->setText(filter->name);
    // The name dialog has no parent; it comes up over the window all the same.
    if (isVisible())
        filterNameDialog->move(frameGeometry().center() - filterNameDialog->rect().center());
    if (filterNameDialog->exec() != QDialog::Accepted)
        return;
    const QString name = filterNameUi->leFilterName->text();
    if (name.isEmpty() || name == defaultFilterName) {
        QMessageBox::information(this, QCoreApplication::applicationName(),
                                 tr("Can't save default or empty name filter!"), QMessageBox::Ok);
        return;
    }
    // A "/" or "\" in the name makes a settings group of it, and the
    // separators of the stored value inside an entry split it when it is
    // read again: such a filter would vanish or come back as another one.
    // The name is checked alone, then the entries under a plain key.
    const QString nameReason = CFilter(name).unstorableReason(name);
    const QString entryReason = filter->unstorableReason(QStringLiteral("k"));
    if (!nameReason.isEmpty() || !entryReason.isEmpty()) {
        QString text = tr("The filter cannot be saved: it would read back as another filter.");
        if (!nameReason.isEmpty())
            text += QLatin1Char('\n') + tr("A filter name must not contain %1.").arg(nameReason);
        if (!entryReason.isEmpty())
            text += QLatin1Char('\n')
                + tr("Filter entries must not contain \"::\", \";;\" or \"##\", end with \"#\" or \";\" where "
                     "another entry follows, or be empty; found: %1.")
                      .arg(entryReason);
        QMessageBox::information(this, QCoreApplication::applicationName(), text, QMessageBox::Ok);
        return;
    }
    if (!filter->save(name)) {
        QMessageBox::warning(this, QCoreApplication::applicationName(),
                             tr("The filter could not be saved: the settings could not be written."),
                             QMessageBox::Ok);
        return;
    }

    if (name == filter->name) {
        filter->unreadable = false;
        const int entry = filterList().indexOf(filter);
        if (entry >= 0 && entry < filterCombo->count()) {
            filterCombo->setItemText(entry, name);
            filterCombo->setItemData(entry, selectorTip(*filter), Qt::ToolTipRole);
        }
        return;
    }
    reloadFilters();
    activateFilter(filterCombo->findText(name, Qt::MatchExactly | Qt::MatchCaseSensitive));
    filterCombo->setCurrentIndex(currentFilterIndex());
}

void mainWindow::actionFilterDelPress()
{
    if (filterCombo->currentIndex() <= 0) {
        QMessageBox::information(this, QCoreApplication::applicationName(), tr("Can't delete default filter!"),
                                 QMessageBox::Ok);
        return;
    }
    if (QMessageBox::question(this, QCoreApplication::applicationName(), tr("Delete saved filter?"),
                              QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
        != QMessageBox::Yes)
        return;
    const CFilterPtr filter = filterList().value(currentFilterIndex());
    if (filter && currentFilterIndex() > 0) {
        // The stored filter goes; the record itself stays as it is for the
        // tabs that still show its results, and is freed with the last of them.
        if (!CFilter(filter->name).remove()) {
            // What this session reads must match what the file keeps.
            filter->save(filter->name);
            QMessageBox::warning(this, QCoreApplication::applicationName(),
                                 tr("The filter could not be deleted: the settings could not be written."),
                                 QMessageBox::Ok);
            return;
        }
        filterList().removeAll(filter);
    }
    reloadFilters();
}
