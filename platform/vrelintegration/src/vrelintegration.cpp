#include "vrelintegration.h"

#include <QAction>
#include <QApplication>
#include <QMessageBox>
#include <QSettings>
#include <QWidget>

namespace {

// Where the geometry lives in the application's settings.
const char geometryGroup[] = "VrelGeometry";
const char geometryKey[] = "geometry";

struct AppInfo
{
    QString version;
    QString displayName;
};

AppInfo &appInfo()
{
    static AppInfo info;
    return info;
}

} // namespace

void vrelInit(const char *version, const char *displayName)
{
    // Kept for the About box only: setting QGuiApplication's display name
    // would put it into every window title, and the application and
    // organisation names belong to the program.
    appInfo().version = QString::fromUtf8(version ? version : "");
    appInfo().displayName = QString::fromUtf8(displayName ? displayName : "");
}

void vrelSaveGeometry(const QWidget *widget, QSettings *settings, bool flag)
{
    Q_UNUSED(flag);
    if (!widget || !settings)
        return;
    settings->beginGroup(QLatin1String(geometryGroup));
    settings->setValue(QLatin1String(geometryKey), widget->saveGeometry());
    settings->endGroup();
}

void vrelRestoreGeometry(QWidget *widget, QSettings *settings, const QRect &defaultRect, bool flag)
{
    Q_UNUSED(flag);
    if (!widget || !settings)
        return;
    settings->beginGroup(QLatin1String(geometryGroup));
    const QVariant stored = settings->value(QLatin1String(geometryKey));
    settings->endGroup();
    // A value of the wrong type (a hand-edited file) counts as nothing stored.
    if (stored.type() == QVariant::ByteArray && widget->restoreGeometry(stored.toByteArray()))
        return;
    if (!defaultRect.isNull())
        widget->setGeometry(defaultRect);
}

VrelHelpMenu::VrelHelpMenu(QWidget *parent)
    : QMenu(parent)
{
    setObjectName(QStringLiteral("menuHelp"));
    setTitle(tr("&Help"));
    QAction *about = addAction(tr("About"));
    about->setObjectName(QStringLiteral("actionAbout"));
    about->setMenuRole(QAction::AboutRole);
    connect(about, &QAction::triggered, this, [this] {
        const AppInfo &info = appInfo();
        const QString name = info.displayName.isEmpty() ? QCoreApplication::applicationName() : info.displayName;
        QMessageBox::about(parentWidget(), tr("About %1").arg(name),
                           tr("<b>%1</b><br>Version %2").arg(name.toHtmlEscaped(), info.version.toHtmlEscaped()));
    });
    QAction *aboutQt = addAction(tr("About Qt"));
    aboutQt->setObjectName(QStringLiteral("actionAboutQt"));
    aboutQt->setMenuRole(QAction::AboutQtRole);
    connect(aboutQt, &QAction::triggered, qApp, &QApplication::aboutQt);
}
