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

    void germanWindow_data()
    {
        QTest::addColumn<QString>("object");
        QTest::addColumn<QString>("text");
        QTest::newRow("File menu") << "menuFile" << "Datei";
        QTest::newRow("help menu of the desktop library") << "menuHelp" << "&Hilfe";
        QTest::newRow("Log files panel") << "gbFile" << "Protokolldateien";
        QTest::newRow("Open") << "actionOpen" << QString::fromUtf8("Öffnen...");
        QTest::newRow("toolbar toggle") << "mainToolBar" << "Hauptwerkzeugleiste anzeigen";
    }

    void germanWindow()
    {
        QFETCH(QString, object);
        QFETCH(QString, text);
        mainWindow window;
        // The panels first: the Options dialog has a group box of the same name.
        QObject *found = window.centralWidget()->findChild<QObject *>(object);
        if (!found)
            found = window.findChild<QObject *>(object);
        QVERIFY2(found, qPrintable(object));
        QString shown;
        if (auto *menu = qobject_cast<QMenu *>(found))
            shown = menu->title();
        else if (auto *box = qobject_cast<QGroupBox *>(found))
            shown = box->title();
        else if (auto *action = qobject_cast<QAction *>(found))
            shown = action->text();
        else if (auto *bar = qobject_cast<QToolBar *>(found))
            shown = bar->toggleViewAction()->text();
        QCOMPARE(shown, text);
    }

    void filterTextsInGerman()
    {
        mainWindow window;
        // The default filter carries the translated name, and the start settings
        // name it so: the start step finds it in the selector.
        QCOMPARE(child<QToolBar>(window, "tbFilterEdit")->findChild<QComboBox *>()->itemText(0), QStringLiteral("Standardfilter"));
        QCOMPARE(QSettings().value(QStringLiteral("config/filter")).toString(), QStringLiteral("Standardfilter"));
        // The layers below the window translate in the shared context.
        QCOMPARE(statusLabel(5), QStringLiteral("Benutzerdefiniert [c]"));
        // The product name is no word to translate.
        QCOMPARE(window.windowTitle(), QStringLiteral("Vrel View Audit"));
        CFilterEditWindow editor;
        editor.setFilter(QStringLiteral("Anmeldungen"), QString(), CFilter(QStringLiteral("Anmeldungen")));
        QCOMPARE(editor.windowTitle(), QStringLiteral("Anmeldungen - Filter bearbeiten"));
    }

    void shortcutsStay_data()
    {
        QTest::addColumn<QString>("object");
        QTest::addColumn<QString>("keys");
        const char *const table[][2] = {
            {"actionExit", "Ctrl+Q"},       {"actionResults", "Space"}, {"actionCancel", "Esc"},
            {"actionFilterShow", "Shift+F"}, {"actionResultsSave", "Ctrl+Shift+S"},
            {"btnBwd", "Shift+F3"},          {"recent file 1", "Alt+1"},
        };
        for (const auto &row : table)
            QTest::newRow(row[0]) << QString::fromLatin1(row[0]) << QString::fromLatin1(row[1]);
    }

    void shortcutsStay()
    {
        QFETCH(QString, object);
        QFETCH(QString, keys);
        mainWindow window;
        QKeySequence shortcut;
        for (const QAction *action : window.findChildren<QAction *>()) {
            if (action->objectName() == object || (object == QLatin1String("recent file 1") && action->text().startsWith("1 ")))
                shortcut = action->shortcut();
        }
        if (auto *button = window.findChild<QPushButton *>(object))
            shortcut = button->shortcut();
        QCOMPARE(shortcut, QKeySequence::fromString(keys, QKeySequence::PortableText));
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
        // Each text translated, keeping the placeholders and accelerator marks of its source.
        static const QRegularExpression pair(QStringLiteral("<source>(.*?)</source>.*?<translation[^>]*>(.*?)</translation>"),
                                             QRegularExpression::DotMatchesEverythingOption);
        static const QRegularExpression mark(QStringLiteral("%L?\\d+|%n|&amp;"));
        const auto marks = [](const QString &text) {
            QSet<QString> found;
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
