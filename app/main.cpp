#include "commandline.h"
#include "iconfallback.h"
#include "logpath.h"
#include "mainwindow.h"
#include "translations.h"
#include "settingscheck.h"
#include "vrelintegration.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QIcon>

#include <signal.h>

int main(int argc, char *argv[])
{
    // Past the file-size limit a write fails with its error, which every
    // writer reports, instead of ending the program.
    signal(SIGXFSZ, SIG_IGN);
    // Settings, index files and message titles are named after these; they
    // are set before the desktop library starts, which may refine them.
    QCoreApplication::setOrganizationName(QStringLiteral("vrel"));
    QCoreApplication::setApplicationName(QStringLiteral("vrelview"));
    QCoreApplication::setApplicationVersion(QStringLiteral("3.5.8+ci19"));
    // Decided before any QApplication exists: the commands run where there
    // is no display.
    if (CommandLine::wanted(argc, argv))
        return CommandLine::run(argc, argv);
    QApplication app(argc, argv);
    vrelInit("3.5.8+ci19", "Vrel View Audit");
    // Before the first text is made: the command-line help included.
    installTranslations();
    // Before anything reads the settings: a file Qt cannot read safely would
    // end every start.
    const QList<SettingsCheck::SetAside> setAside = SettingsCheck::setAsideUnsafeSettings();

    QCommandLineParser parser;
    parser.setApplicationDescription(QCoreApplication::translate("main", "Viewer for binary security audit logs."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("LOG"),
                                 QCoreApplication::translate("main", "Audit log to open at start."),
                                 QStringLiteral("[LOG...]"));
    // The LOG by the bytes it was given: Qt's decoding loses those of a name
    // that is not UTF-8.
    parser.process(LogPath::arguments(app.arguments(), argc, argv));

    ensureIconTheme();
    // Desktops without the audit icon show a generic security icon instead.
    QApplication::setWindowIcon(
        QIcon::fromTheme(QStringLiteral("security-log"), QIcon::fromTheme(QStringLiteral("security-high"))));

    int code = 0;
    {
        mainWindow window;
        window.setSettingsSetAside(setAside);
        QStringList logs;
        for (const QString &argument : parser.positionalArguments())
            logs.append(QDir::current().absoluteFilePath(argument));
        if (!logs.isEmpty())
            window.setStartLogs(logs);
        window.show();
        code = app.exec();
    }
    return code;
}
