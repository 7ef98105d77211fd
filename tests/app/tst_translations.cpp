// The window in German, as a desktop with LANG=de_DE.UTF-8 starts it (CTest
// sets that language for this test), and the translation sources: complete,
// consistent with their source texts, and in step with the code.
#include "apptest.h"
#include "cfiltereditwindow.h"
#include "filtermatch.h"
#include "translations.h"

#include <QXmlStreamReader>

namespace {

struct Message
{
    QString context;
    QString source;
    bool numerus = false;
    bool finished = false;
    QStringList translations; // one per numerus form, else one
};

// The messages of a .ts file in file order; `error` is set when it is no
// readable translation source.
QList<Message> readTs(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = path + QStringLiteral(": ") + file.errorString();
        return {};
    }
    QList<Message> messages;
    QString context;
    QXmlStreamReader xml(&file);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("name")) {
            context = xml.readElementText();
        } else if (xml.name() == QLatin1String("message")) {
            Message message;
            message.context = context;
            message.numerus = xml.attributes().value(QLatin1String("numerus")) == QLatin1String("yes");
            while (xml.readNextStartElement()) {
                if (xml.name() == QLatin1String("source")) {
                    message.source = xml.readElementText();
                } else if (xml.name() == QLatin1String("translation")) {
                    message.finished = xml.attributes().value(QLatin1String("type")).isEmpty();
                    if (message.numerus) {
                        while (xml.readNextStartElement())
                            message.translations.append(xml.readElementText());
                    } else {
                        message.translations.append(xml.readElementText());
                    }
                } else {
                    xml.skipCurrentElement();
                }
            }
            messages.append(message);
        }
    }
    if (xml.hasError())
        *error = path + QStringLiteral(": ") + xml.errorString();
    return messages;
}

QString keyOf(const Message &m)
{
    return m.context + QStringLiteral(" | ") + m.source + (m.numerus ? QStringLiteral(" (%n)") : QString());
}

QStringList keysOf(const QList<Message> &messages)
{
    QStringList keys;
    for (const Message &m : messages)
        keys.append(keyOf(m));
    keys.sort();
    return keys;
}

QStringList placeholders(const QString &text)
{
    static const QRegularExpression marker(QStringLiteral("%(L?\\d+|n)"));
    QStringList found;
    for (auto it = marker.globalMatch(text); it.hasNext();)
        found.append(it.next().captured());
    found.sort();
    return found;
}

// The blanks a text starts and ends with.
QStringList edges(const QString &text)
{
    static const QRegularExpression blanks(QStringLiteral("^(\\s*).*?(\\s*)$"), QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch match = blanks.match(text);
    return {match.captured(1), match.captured(2)};
}

// What a translation must keep of its source text.
QStringList faultsOf(const Message &m, const QString &translation)
{
    QStringList faults;
    if (translation.isEmpty())
        faults.append(QStringLiteral("empty"));
    if (placeholders(translation) != placeholders(m.source))
        faults.append(QStringLiteral("placeholders differ"));
    if (translation.count(QLatin1Char('&')) != m.source.count(QLatin1Char('&')))
        faults.append(QStringLiteral("accelerator marks differ"));
    if (edges(translation) != edges(m.source))
        faults.append(QStringLiteral("leading or trailing blanks differ"));
    if (m.source.endsWith(QLatin1String("...")) != translation.endsWith(QLatin1String("...")))
        faults.append(QStringLiteral("the \"...\" of a command that asks more differs"));
    // Key names stay portable, so that the shortcut works in every language.
    static const QRegularExpression keys(QStringLiteral("^((Ctrl|Shift|Alt)\\+)+\\w*$|^(F\\d+|Esc|Space)$"));
    if (keys.match(m.source).hasMatch() && translation != m.source)
        faults.append(QStringLiteral("a key name was translated"));
    return faults;
}

QString tsPath(const char *name)
{
    return QStringLiteral(VREL_TS_DIR "/") + QLatin1String(name);
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
        QStandardPaths::setTestModeEnabled(true);
        QCoreApplication::setOrganizationName(QStringLiteral("vrel-test"));
        QCoreApplication::setApplicationName(QStringLiteral("vrelview-translations"));
        QVERIFY(logDir.isValid());
        QSettings().clear();
        QSettings().setValue(QStringLiteral("config/logdir"), logDir.path());
        // One recent file, for the shortcut of its menu entry.
        QFile log(logDir.filePath(QStringLiteral("a.mlog")));
        QVERIFY(log.open(QIODevice::WriteOnly));
        log.close();
        QSettings().setValue(QStringLiteral("recentFiles"), log.fileName());
        QVERIFY(QFile::exists(translationFolders().value(0) + QStringLiteral("/vrelview_de.qm")));
        QVERIFY(installTranslations() >= 1);
    }

    void germanWindow_data()
    {
        QTest::addColumn<QString>("object");
        QTest::addColumn<QString>("text");
        QTest::newRow("File menu") << "menuFile" << "Datei";
        QTest::newRow("View menu") << "menuView" << "Ansicht";
        QTest::newRow("Settings menu") << "menuSettings" << "Einstellungen";
        QTest::newRow("help menu of the desktop library") << "menuHelp" << "&Hilfe";
        QTest::newRow("Filter info panel") << "gbFilter" << "Filterinfo";
        QTest::newRow("Log files panel") << "gbFile" << "Protokolldateien";
        QTest::newRow("Open") << "actionOpen" << QString::fromUtf8("Öffnen...");
        QTest::newRow("Exit") << "actionExit" << "Beenden";
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
        auto *selector = window.findChild<QToolBar *>(QStringLiteral("tbFilterEdit"))->findChild<QComboBox *>();
        QVERIFY(selector);
        QCOMPARE(selector->itemText(0), QStringLiteral("Standardfilter"));
        QCOMPARE(QSettings().value(QStringLiteral("config/filter")).toString(), QStringLiteral("Standardfilter"));
        // The layers below the window translate in the shared context.
        QCOMPARE(statusLabel(0), QStringLiteral("Erfolg [s]"));
        QCOMPARE(statusLabel(5), QStringLiteral("Benutzerdefiniert [c]"));
        // The product name is no word to translate.
        QCOMPARE(window.windowTitle(), QStringLiteral("Vrel View Audit"));

        CFilterEditWindow editor;
        QCOMPARE(editor.windowTitle(), QStringLiteral("Filter bearbeiten"));
        editor.setFilter(QStringLiteral("Anmeldungen"), QString(), CFilter(QStringLiteral("Anmeldungen")));
        QCOMPARE(editor.windowTitle(), QStringLiteral("Anmeldungen - Filter bearbeiten"));
    }

    void shortcutsStay_data()
    {
        QTest::addColumn<QString>("object");
        QTest::addColumn<QString>("keys");
        const char *const table[][2] = {
            {"actionExit", "Ctrl+Q"},       {"actionOpen", "Ctrl+O"},        {"actionResults", "Space"},
            {"actionCancel", "Esc"},        {"actionFilterShow", "Shift+F"}, {"actionFileShow", "Alt+F"},
            {"actionFilterEdit", "Ctrl+E"}, {"actionFilterSave", "Ctrl+S"},  {"actionFilterDel", "Ctrl+Del"},
            {"actionFindShow", "Ctrl+F"},   {"actionNewTab", "Ctrl+T"},      {"actionResultsSave", "Ctrl+Shift+S"},
            {"btnFwd", "F3"},               {"btnBwd", "Shift+F3"},          {"recent file 1", "Alt+1"},
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
        if (object.startsWith(QLatin1String("recent"))) {
            const QList<QAction *> entries = window.findChild<QMenu *>(QStringLiteral("menuFile"))->actions();
            for (const QAction *action : entries) {
                if (action->text().startsWith(QLatin1String("1 ")))
                    shortcut = action->shortcut();
            }
        } else if (auto *action = window.findChild<QAction *>(object)) {
            shortcut = action->shortcut();
        } else if (auto *button = window.findChild<QPushButton *>(object)) {
            shortcut = button->shortcut();
        }
        QCOMPARE(shortcut, QKeySequence::fromString(keys, QKeySequence::PortableText));
    }

    void qtOwnTexts()
    {
        if (!QFile::exists(QLibraryInfo::location(QLibraryInfo::TranslationsPath) + QStringLiteral("/qtbase_de.qm")))
            QSKIP("Qt's German catalogue is not installed (Debian: qttranslations5-l10n)");
        // Menus show the keys as the desktop names them.
        mainWindow window;
        QCOMPARE(window.findChild<QAction *>(QStringLiteral("actionExit"))->shortcut().toString(QKeySequence::NativeText),
                 QStringLiteral("Strg+Q"));
    }

    void germanCatalogueComplete()
    {
        QString error;
        const QList<Message> messages = readTs(tsPath("vrelview_de.ts"), &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QVERIFY(messages.size() > 100);
        QStringList faults;
        for (const Message &m : messages) {
            if (!m.finished)
                faults.append(keyOf(m) + QStringLiteral(": unfinished or obsolete"));
            if (m.numerus && m.translations.size() != 2)
                faults.append(keyOf(m) + QStringLiteral(": German has two plural forms"));
            for (const QString &translation : m.translations) {
                for (const QString &fault : faultsOf(m, translation))
                    faults.append(keyOf(m) + QStringLiteral(": ") + fault);
            }
        }
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));
    }

    void templateMatchesLanguages()
    {
        QString error;
        const QList<Message> templ = readTs(tsPath("vrelview.ts"), &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        for (const Message &m : templ)
            QVERIFY2(m.translations.join(QString()).isEmpty(), qPrintable(keyOf(m) + QStringLiteral(" is translated")));
        const QList<Message> german = readTs(tsPath("vrelview_de.ts"), &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QCOMPARE(keysOf(german), keysOf(templ));
    }

    void cataloguesFollowTheCode()
    {
        QTemporaryDir work;
        QVERIFY(work.isValid());
        const QString fresh = work.filePath(QStringLiteral("fresh.ts"));
        QStringList arguments = {QStringLiteral("-no-obsolete"), QStringLiteral("-locations"), QStringLiteral("none")};
        for (const QString &dir : QStringLiteral(VREL_TRANSLATED_DIRS).split(QLatin1Char(',')))
            arguments.append(QStringLiteral(VREL_SOURCE_DIR "/") + dir);
        arguments << QStringLiteral("-ts") << fresh;
        QProcess lupdate;
        lupdate.start(QStringLiteral(VREL_LUPDATE), arguments);
        QVERIFY2(lupdate.waitForFinished(60000), qPrintable(lupdate.errorString()));
        QCOMPARE(lupdate.exitCode(), 0);

        QString error;
        const QStringList code = keysOf(readTs(fresh, &error));
        QVERIFY2(error.isEmpty(), qPrintable(error));
        const QStringList kept = keysOf(readTs(tsPath("vrelview.ts"), &error));
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QStringList differences;
        for (const QString &key : code) {
            if (!kept.contains(key))
                differences.append(QStringLiteral("new in the code: ") + key);
        }
        for (const QString &key : kept) {
            if (!code.contains(key))
                differences.append(QStringLiteral("gone from the code: ") + key);
        }
        QVERIFY2(differences.isEmpty(),
                 qPrintable(differences.join(QLatin1Char('\n'))
                            + QStringLiteral("\nrun `cmake --build <build> --target update_translations` and translate "
                                             "translations/vrelview_*.ts")));
    }
};

QTEST_MAIN(TestTranslations)
#include "tst_translations.moc"
