// The window in German, as a desktop with LANG=de_DE.UTF-8 starts it (CTest
// sets that language for this test), and the translation sources: complete,
// in step with the code, and keeping the placeholders of their source texts.
#include "apptest.h"
#include "cfiltereditwindow.h"
#include "filtermatch.h"
#include "translations.h"

namespace {

// Runs a Qt translation tool in English; its output, or "" when it failed.
QString runTool(const QString &program, const QStringList &arguments)
{
    QProcess tool;
    QProcessEnvironment english = QProcessEnvironment::systemEnvironment();
    english.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    tool.setProcessEnvironment(english);
    tool.setProcessChannelMode(QProcess::MergedChannels);
    tool.start(program, arguments);
    const bool ran = tool.waitForFinished(60000) && tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0;
    return ran ? QString::fromUtf8(tool.readAll()) : QString();
}

} // namespace

class TestTranslations : public QObject
{
    Q_OBJECT
    QTemporaryDir logDir;

private slots:
    void initTestCase()
    {
        // The catalogues are chosen by the languages of the user interface.
        QVERIFY2(QLocale::system().uiLanguages().value(0).startsWith(QLatin1String("de")),
                 "the test runs with LANG=de_DE.UTF-8");
        startApp("vrelview-translations");
        QSettings().clear();
        QSettings().setValue(QStringLiteral("config/logdir"), logDir.path());
        // One recent file, for the shortcut of its menu entry.
        QSettings().setValue(QStringLiteral("recentFiles"), writeRecords(logDir.filePath(QStringLiteral("a.mlog")), 0, [](int, MlogRecord &) {}));
        QVERIFY(QFile::exists(translationFolders().value(0) + QStringLiteral("/vrelview_de.qm")));
        QVERIFY(installTranslations() >= 1);
    }

    void germanWindow()
    {
        mainWindow window;
        QCOMPARE(child<QMenu>(window, "menuFile")->title(), QStringLiteral("Datei"));
        QCOMPARE(child<QMenu>(window, "menuHelp")->title(), QStringLiteral("&Hilfe")); // of the desktop library
        QCOMPARE(child<QToolBar>(window, "mainToolBar")->toggleViewAction()->text(), QStringLiteral("Hauptwerkzeugleiste anzeigen"));
        // The default filter carries the translated name, and the start settings
        // name it so: the start step finds it in the selector.
        QCOMPARE(filterSelector(window)->itemText(0), QStringLiteral("Standardfilter"));
        QCOMPARE(QSettings().value(QStringLiteral("config/filter")).toString(), QStringLiteral("Standardfilter"));
        // The layers below the window translate in the shared context.
        QCOMPARE(statusLabel(5), QStringLiteral("Benutzerdefiniert [c]"));
        // The product name is no word to translate.
        QCOMPARE(window.windowTitle(), QStringLiteral("Vrel View Audit"));
        CFilterEditWindow editor;
        editor.setFilter(QStringLiteral("Anmeldungen"), QString(), CFilter(QStringLiteral("Anmeldungen")));
        QCOMPARE(editor.windowTitle(), QStringLiteral("Anmeldungen - Filter bearbeiten"));
        // Key names stay portable, so that the shortcuts work in every language.
        const auto keys = [](const char *text) { return QKeySequence::fromString(QLatin1String(text), QKeySequence::PortableText); };
        const char *const shortcuts[][2] = {{"actionExit", "Ctrl+Q"}, {"actionResults", "Space"}, {"actionCancel", "Esc"},
                                            {"actionFilterShow", "Shift+F"}, {"actionResultsSave", "Ctrl+Shift+S"}};
        for (const auto &row : shortcuts)
            QCOMPARE(child<QAction>(window, row[0])->shortcut(), keys(row[1]));
        QCOMPARE(child<QPushButton>(window, "btnBwd")->shortcut(), keys("Shift+F3"));
        QCOMPARE(child<QMenu>(window, "menuFile")->actions().last()->shortcut(), keys("Alt+1")); // the recent file
    }

    void qtOwnTexts()
    {
        if (!QFile::exists(QLibraryInfo::location(QLibraryInfo::TranslationsPath) + QStringLiteral("/qtbase_de.qm")))
            QSKIP("Qt's German catalogue is not installed (Debian: qttranslations5-l10n)");
        // Menus show the keys as the desktop names them.
        mainWindow window;
        QCOMPARE(child<QAction>(window, "actionExit")->shortcut().toString(QKeySequence::NativeText), QStringLiteral("Strg+Q"));
    }

    // lupdate on copies of the sources finds nothing new or gone, and
    // lrelease then finds nothing unfinished or untranslated.
    void cataloguesFollowTheCode()
    {
        QTemporaryDir work;
        QStringList arguments = {QStringLiteral("-no-obsolete"), QStringLiteral("-locations"), QStringLiteral("none")};
        for (const QString &dir : QStringLiteral(VREL_TRANSLATED_DIRS).split(QLatin1Char(',')))
            arguments.append(QStringLiteral(VREL_SOURCE_DIR "/") + dir);
        arguments.append(QStringLiteral("-ts"));
        for (const char *name : {"vrelview.ts", "vrelview_de.ts"}) {
            QVERIFY(QFile::copy(QStringLiteral(VREL_TS_DIR "/") + QLatin1String(name), work.filePath(QLatin1String(name))));
            arguments.append(work.filePath(QLatin1String(name)));
        }
        const QString hint = QStringLiteral("\nrun `cmake --build <build> --target update_translations` and translate translations/vrelview_*.ts");
        const QString updated = runTool(QStringLiteral(VREL_LUPDATE), arguments);
        QVERIFY2(updated.count(QStringLiteral(" (0 new and ")) == 2 && !updated.contains(QStringLiteral("Removed")),
                 qPrintable(updated + hint));
        const QString de = work.filePath(QStringLiteral("vrelview_de.ts"));
        const QString released = runTool(QStringLiteral(VREL_LRELEASE), {de, QStringLiteral("-qm"), work.filePath(QStringLiteral("de.qm"))});
        QVERIFY2(released.contains(QStringLiteral(" finished and 0 unfinished)")) && !released.contains(QStringLiteral("Ignored")),
                 qPrintable(released + hint));
        // Each text translated, keeping the placeholders, accelerator marks and
        // "..." of its source; key names stay, for desktops without Qt's catalogue.
        static const QRegularExpression pair(QStringLiteral("<source>(.*?)</source>.*?<translation[^>]*>(.*?)</translation>"),
                                             QRegularExpression::DotMatchesEverythingOption);
        static const QRegularExpression mark(QStringLiteral("%L?\\d+|%n|&amp;"));
        static const QRegularExpression keyName(QStringLiteral("^((Ctrl|Shift|Alt)\\+)+\\w*$|^(F\\d+|Esc|Space)$"));
        const auto marks = [](const QString &text) {
            QSet<QString> found;
            if (keyName.match(text).hasMatch() || text.endsWith(QLatin1String("...")))
                found.insert(text.endsWith(QLatin1String("...")) ? QStringLiteral("...") : text);
            for (auto it = mark.globalMatch(text); it.hasNext();)
                found.insert(it.next().captured());
            return found;
        };
        QStringList faults;
        for (auto it = pair.globalMatch(QString::fromUtf8(readAll(de))); it.hasNext();) {
            const QRegularExpressionMatch m = it.next();
            if (m.captured(2).trimmed().isEmpty() || marks(m.captured(1)) != marks(m.captured(2)))
                faults.append(m.captured(1));
        }
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));
    }
};

QTEST_MAIN(TestTranslations)
#include "tst_translations.moc"
