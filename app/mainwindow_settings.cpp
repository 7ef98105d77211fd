// The settings file while the window runs: checked again whenever it
// changed, and failed writes told.
#include "mainwindow.h"

#include <QCoreApplication>
#include <QDir>
#include <QMessageBox>
#include <QSettings>
#include <QTimer>

void mainWindow::guardSettings()
{
    const QList<SettingsCheck::SetAside> found = SettingsCheck::setAsideChangedSettings();
    if (found.isEmpty())
        return;
    // The check runs inside commands that read settings (even inside a loop
    // over the saved filters): a box there would run the event loop in the
    // middle of them.
    const bool scheduled = !settingsSetAsideLater.isEmpty();
    settingsSetAsideLater.append(found);
    if (!scheduled)
        QTimer::singleShot(0, this, &mainWindow::showSettingsSetAsideLater);
}

void mainWindow::showSettingsSetAsideLater()
{
    if (settingsSetAsideLater.isEmpty())
        return;
    warnSettingsSetAside(std::exchange(settingsSetAsideLater, {}),
                         tr("The program goes on with default settings; the filters in the filter selector stay "
                            "until it ends."));
}

void mainWindow::warnSettingsSetAside(const QList<SettingsCheck::SetAside> &files, const QString &closing)
{
    QStringList lines;
    for (const SettingsCheck::SetAside &file : files) {
        const QString name = QDir::toNativeSeparators(file.file);
        lines.append(file.movedTo.isEmpty()
                         ? tr("The settings file %1 could not be read safely, nor be set aside: it is left as "
                              "it is, and this session keeps its settings elsewhere.")
                               .arg(name)
                         : tr("The settings file %1 could not be read safely and was set aside as %2.")
                               .arg(name, QDir::toNativeSeparators(file.movedTo)));
    }
    lines.append(closing);
    QMessageBox::warning(this, QCoreApplication::applicationName(), lines.join(QLatin1Char('\n')), QMessageBox::Ok);
}

bool mainWindow::syncSettings(QSettings &settings)
{
    settings.sync();
    if (settings.status() == QSettings::NoError)
        return true;
    if (!std::exchange(settingsWriteTold, true)) {
        QMessageBox::warning(this, QCoreApplication::applicationName(),
                             tr("The settings file %1 could not be written: the recent files and the window "
                                "state are not kept beyond this session.")
                                 .arg(QDir::toNativeSeparators(settings.fileName())),
                             QMessageBox::Ok);
    }
    return false;
}
