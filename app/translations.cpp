#include "translations.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QTranslator>

#include <memory>

QStringList translationFolders()
{
    // Relative to the program, so that a package unpacked anywhere (or the
    // build tree, which mirrors an installation) finds its own texts.
    return {QDir::cleanPath(QCoreApplication::applicationDirPath() + QLatin1Char('/')
                            + QStringLiteral(VREL_TRANSLATIONS_RELDIR))};
}

int installTranslations(const QLocale &locale)
{
    QCoreApplication *app = QCoreApplication::instance();
    if (!app)
        return 0;
    int installed = 0;
    const auto install = [&](const QString &name, const QStringList &folders) {
        for (const QString &folder : folders) {
            auto translator = std::make_unique<QTranslator>();
            if (!translator->load(locale, name, QStringLiteral("_"), folder))
                continue;
            translator->setParent(app);
            QCoreApplication::installTranslator(translator.release());
            ++installed;
            return;
        }
    };
    // Qt's dialogs and message-box buttons (Debian: qttranslations5-l10n).
    install(QStringLiteral("qtbase"), {QLibraryInfo::location(QLibraryInfo::TranslationsPath)});
    install(QStringLiteral("vrelview"), translationFolders());
    return installed;
}
