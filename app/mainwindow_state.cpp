// Window state and recent files, kept in the settings between runs.
#include "mainwindow.h"

#include "logpath.h"
#include "settingsaccess.h"
#include "timelinecontrol.h"
#include "ui_mainwindow.h"
#include "vrelintegration.h"

#include <QActionGroup>
#include <QFileInfo>
#include <QSettings>
#include <QSignalBlocker>
#include <QSplitter>

namespace {

const char kGeometryGroup[] = "VrelGeometry";
const char kRecentFilesKey[] = "recentFiles";
const int kMaxRecentFiles = 9;

QStringList readRecentFiles()
{
    beforeSettingsAccess();
    const QSettings settings;
    const QString value = settings.value(QLatin1String(kRecentFilesKey)).toString();
    // A list edited by hand may hold any number of paths: only the newest
    // nine are taken, found from the end, so a long value costs one pass.
    QStringList paths;
    int end = value.size();
    while (end > 0 && paths.size() < kMaxRecentFiles) {
        const int separator = value.lastIndexOf(QLatin1Char(';'), end - 1);
        if (separator + 1 < end)
            paths.prepend(value.mid(separator + 1, end - separator - 1));
        end = separator;
    }
    return paths;
}

} // namespace

void mainWindow::buildRecentFiles()
{
    recentGroup = new QActionGroup(this);
    const QStringList paths = readRecentFiles();
    for (int i = 0; i < paths.size(); ++i) {
        const QFileInfo info(paths.at(i));
        auto *action = new QAction(QString::number(i + 1) + QLatin1Char(' ') + LogPath::readable(info.fileName()), this);
        action->setData(info.absoluteFilePath());
        action->setStatusTip(tr("Open file: ") + LogPath::readable(info.absoluteFilePath()));
        action->setShortcut(QKeySequence(tr("Alt+") + QString::number(i + 1)));
        recentGroup->addAction(action);
    }
    connect(recentGroup, SIGNAL(triggered(QAction *)), this, SLOT(openFile(QAction *)));
    ui->menuFile->addActions(recentGroup->actions());
}

void mainWindow::addRecentFile(const QFileInfo &file)
{
    const QString path = file.absoluteFilePath();
    // The stored list separates its paths with ";": such a path would come
    // back as pieces of other paths. A name that is not UTF-8 would be kept
    // as an escape that other readers of the file take for another name.
    if (path.contains(QLatin1Char(';')) || LogPath::hasRawBytes(path))
        return;
    QStringList paths = readRecentFiles();
    if (!paths.contains(path))
        paths.append(path);
    if (paths.size() > kMaxRecentFiles)
        paths.removeFirst();
    QString value;
    for (const QString &entry : qAsConst(paths))
        value += entry + QLatin1Char(';');
    beforeSettingsAccess();
    QSettings settings;
    settings.setValue(QLatin1String(kRecentFilesKey), value);
    syncSettings(settings);
}

void mainWindow::saveWindowState()
{
    beforeSettingsAccess();
    QSettings settings;
    vrelSaveGeometry(this, &settings, false);
    settings.beginGroup(QLatin1String(kGeometryGroup));
    settings.setValue(QStringLiteral("splitterv"), ui->splitterV->saveState());
    settings.setValue(QStringLiteral("splitterh"), ui->splitterH->saveState());
    settings.setValue(QStringLiteral("filtershow"), ui->actionFilterShow->isChecked());
    settings.setValue(QStringLiteral("fileshow"), ui->actionFileShow->isChecked());
    settings.setValue(QStringLiteral("findshow"), ui->actionFindShow->isChecked());
    settings.setValue(QStringLiteral("findcase"), ui->chbMatchCase->isChecked());
    settings.setValue(QStringLiteral("timelineshow"), timeline->isShown());
    settings.endGroup();
    syncSettings(settings);
}

void mainWindow::restoreWindowState()
{
    beforeSettingsAccess();
    QSettings settings;
    vrelRestoreGeometry(this, &settings, QRect(), false);
    settings.beginGroup(QLatin1String(kGeometryGroup));
    // QSplitter reserves room for as many sizes as the state claims.
    for (const auto &[key, splitter] : {std::pair(QStringLiteral("splitterv"), ui->splitterV),
                                        std::pair(QStringLiteral("splitterh"), ui->splitterH)}) {
        const QVariant stored = settings.value(key);
        if (stored.userType() != QMetaType::QByteArray)
            continue;
        const QByteArray state = stored.toByteArray();
        if (SettingsCheck::isSoundSplitterState(state))
            splitter->restoreState(state);
    }
    ui->actionFilterShow->setChecked(SettingsCheck::boolValue(settings.value(QStringLiteral("filtershow")), true));
    ui->actionFileShow->setChecked(SettingsCheck::boolValue(settings.value(QStringLiteral("fileshow")), true));
    ui->actionFindShow->setChecked(SettingsCheck::boolValue(settings.value(QStringLiteral("findshow")), false));
    {
        // Restoring the box is no search: the find field stays as it is.
        const QSignalBlocker quiet(ui->chbMatchCase);
        ui->chbMatchCase->setChecked(SettingsCheck::boolValue(settings.value(QStringLiteral("findcase")), true));
    }
    timeline->setShown(SettingsCheck::boolValue(settings.value(QStringLiteral("timelineshow")), false));
    settings.endGroup();
}
