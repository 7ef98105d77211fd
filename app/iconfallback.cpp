#include "iconfallback.h"

#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QStringList>

namespace {

bool themeInstalled(const QString &theme)
{
    for (const QString &path : QIcon::themeSearchPaths()) {
        if (QFileInfo::exists(path + QLatin1Char('/') + theme + QStringLiteral("/index.theme")))
            return true;
    }
    return false;
}

} // namespace

void ensureIconTheme()
{
    // Some platform plugins (offscreen, minimal) search no system folder.
    QStringList searchPaths = QIcon::themeSearchPaths();
    QStringList dataDirs = QString::fromLocal8Bit(qgetenv("XDG_DATA_DIRS")).split(QLatin1Char(':'), Qt::SkipEmptyParts);
    if (dataDirs.isEmpty())
        dataDirs = QStringList{QStringLiteral("/usr/local/share"), QStringLiteral("/usr/share")};
    for (const QString &dir : qAsConst(dataDirs)) {
        const QString icons = dir + QStringLiteral("/icons");
        if (!searchPaths.contains(icons) && QFileInfo(icons).isDir())
            searchPaths << icons;
    }
    QIcon::setThemeSearchPaths(searchPaths);

    static const QStringList candidates = {QStringLiteral("breeze"), QStringLiteral("Adwaita"),
                                           QStringLiteral("oxygen"), QStringLiteral("Tango")};
    QString installed;
    for (const QString &theme : candidates) {
        if (themeInstalled(theme)) {
            installed = theme;
            break;
        }
    }
    if (installed.isEmpty())
        return;
    // Names missing from the desktop's own theme are looked up here too.
    if (QIcon::fallbackThemeName().isEmpty() || !themeInstalled(QIcon::fallbackThemeName()))
        QIcon::setFallbackThemeName(installed);
    const QString current = QIcon::themeName();
    if (current.isEmpty() || current == QLatin1String("hicolor") || !themeInstalled(current)
        || !QIcon::hasThemeIcon(QStringLiteral("dialog-cancel")))
        QIcon::setThemeName(installed);
}
