// The filter selector and the commands on the current filter.
#include "mainwindow.h"

#include "cfiltereditwindow.h"
#include "filterdescription.h"
#include "ui_filternamedialog.h"
#include "ui_mainwindow.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QLineEdit>
#include <QMessageBox>
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

    const QString description = filterDescription(*filter, datePresets);
    ui->lbFilter->setText(description);
    // The entry of the edited filter, unless the list was reloaded meanwhile.
    const int entry = filterList().indexOf(filter);
    if (entry >= 0 && entry < filterCombo->count()) {
        if (entry != 0)
            filterCombo->setItemText(entry, filter->name + QStringLiteral(" (") + tr("modified") + QLatin1Char(')'));
        filterCombo->setItemData(entry, description, Qt::ToolTipRole);
    }
    actionResultsPress();
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
    const QString reason = unsavableReason(name, *filter);
    if (!reason.isEmpty()) {
        QMessageBox::information(this, QCoreApplication::applicationName(), reason, QMessageBox::Ok);
        return;
    }

    if (name == filter->name) {
        filter->save(name);
        const int entry = filterList().indexOf(filter);
        if (entry >= 0 && entry < filterCombo->count())
            filterCombo->setItemText(entry, name);
        return;
    }
    filter->save(name);
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
        CFilter(filter->name).remove();
        filterList().removeAll(filter);
    }
    reloadFilters();
}

QString mainWindow::unsavableReason(const QString &name, const CFilter &filter)
{
    // A "/" or "\" in a key makes a settings group of it, and the separators
    // of the stored value inside an entry split it on the next load: such a
    // filter would vanish or come back as another one.
    QStringList found;
    for (const QString &separator : {QStringLiteral("/"), QStringLiteral("\\")}) {
        if (name.contains(separator))
            found.append(QLatin1Char('"') + separator + QLatin1Char('"'));
    }
    QStringList foundInEntries;
    bool badEnd = false;
    const QList<QStringList> &lists = filter.lists();
    for (int l = 0; l < lists.size(); ++l) {
        const QStringList &list = lists.at(l);
        for (int e = 0; e < list.size(); ++e) {
            const QString &entry = list.at(e);
            for (const QString &separator : {QStringLiteral("::"), QStringLiteral(";;"), QStringLiteral("##")}) {
                const QString quoted = QLatin1Char('"') + separator + QLatin1Char('"');
                if (entry.contains(separator) && !foundInEntries.contains(quoted))
                    foundInEntries.append(quoted);
            }
            // A "#" at the end of an entry runs into the "##" after it, a ";"
            // at the end of a list into the ";;" after it.
            const bool lastInList = e == list.size() - 1;
            if ((entry.endsWith(QLatin1Char('#')) && !lastInList)
                || (entry.endsWith(QLatin1Char(';')) && lastInList && l < lists.size() - 1))
                badEnd = true;
        }
    }
    if (found.isEmpty() && foundInEntries.isEmpty() && !badEnd)
        return QString();
    QString text = tr("The filter cannot be saved: it would read back as another filter.");
    if (!found.isEmpty())
        text += QLatin1Char('\n') + tr("A filter name must not contain %1.").arg(found.join(tr(" or ")));
    if (!foundInEntries.isEmpty())
        text += QLatin1Char('\n') + tr("Filter entries must not contain %1.").arg(foundInEntries.join(tr(" or ")));
    if (badEnd)
        text += QLatin1Char('\n') + tr("Filter entries must not end with \"#\" or \";\" where another entry follows.");
    return text;
}
