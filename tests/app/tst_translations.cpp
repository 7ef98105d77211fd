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
    QString key; // context, source text, and "(%n)" when it has plural forms
    QString source;
    bool finished = true;
    QStringList translations; // one per plural form, else one
};

// The messages of a .ts file; `error` tells why it is no readable translation source.
QList<Message> readTs(const QString &path, QString *error)
{
    QFile file(path);
    QXmlStreamReader xml(&file);
    QList<Message> messages;
    QString context;
    if (!file.open(QIODevice::ReadOnly)) {
        *error = path + QStringLiteral(": ") + file.errorString();
        return messages;
    }
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("name")) {
            context = xml.readElementText();
        } else if (xml.name() == QLatin1String("message")) {
            const bool numerus = xml.attributes().value(QLatin1String("numerus")) == QLatin1String("yes");
            Message m;
            while (xml.readNextStartElement()) {
                if (xml.name() == QLatin1String("source")) {
                    m.source = xml.readElementText();
                } else if (xml.name() == QLatin1String("translation")) {
                    m.finished = xml.attributes().value(QLatin1String("type")).isEmpty();
                    while (numerus && xml.readNextStartElement())
                        m.translations.append(xml.readElementText());
                    if (!numerus)
                        m.translations.append(xml.readElementText());
                } else {
                    xml.skipCurrentElement();
                }
            }
            m.key = context + QStringLiteral(" | ") + m.source + (numerus ? QStringLiteral(" (%n)") : QString());
            messages.append(m);
        }
    }
    if (xml.hasError())
        *error = path + QStringLiteral(": ") + xml.errorString();
    return messages;
}

QStringList keysOf(const QList<Message> &messages)
{
    QStringList keys;
    for (const Message &m : messages)
        keys.append(m.key);
    keys.sort();
    return keys;
}

// The placeholders and the blanks at both ends of a text, sorted.
QStringList marks(const QString &text)
{
    static const QRegularExpression marker(QStringLiteral("%(L?\\d+|n)"));
    static const QRegularExpression blanks(QStringLiteral("^(\\s*).*?(\\s*)$"), QRegularExpression::DotMatchesEverythingOption);
    QStringList found;
    for (auto it = marker.globalMatch(text); it.hasNext();)
        found.append(it.next().captured());
    found.sort();
    const QRegularExpressionMatch edges = blanks.match(text);
    return found << QStringLiteral("<%1|%2>").arg(edges.captured(1), edges.captured(2));
}

// What a translation must keep of its source text.
QStringList faultsOf(const QString &source, const QString &translation)
{
    QStringList faults;
    if (translation.isEmpty())
        faults.append(QStringLiteral("empty"));
    if (marks(translation) != marks(source))
        faults.append(QStringLiteral("placeholders or leading or trailing blanks differ"));
    if (translation.count(QLatin1Char('&')) != source.count(QLatin1Char('&')))
        faults.append(QStringLiteral("accelerator marks differ"));
    if (source.endsWith(QLatin1String("...")) != translation.endsWith(QLatin1String("...")))
        faults.append(QStringLiteral("the \"...\" of a command that asks more differs"));
    // Key names stay portable, so that the shortcut works in every language.
    static const QRegularExpression keys(QStringLiteral("^((Ctrl|Shift|Alt)\\+)+\\w*$|^(F\\d+|Esc|Space)$"));
    if (keys.match(source).hasMatch() && translation != source)
        faults.append(QStringLiteral("a key name was translated"));
    return faults;
}

QList<Message> catalogue(const char *name)
{
    QString error;
    const QList<Message> messages = readTs(QStringLiteral(VREL_TS_DIR "/") + QLatin1String(name), &error);
    QTest::qVerify(error.isEmpty(), "readable", qPrintable(error), __FILE__, __LINE__);
    return messages;
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
        QSettings().setValue(QStringLiteral("recentFiles"), writeRecords(logDir.filePath(QStringLiteral("a.mlog")), 0, [](int, MlogRecord &) {}));
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
        QCOMPARE(child<QToolBar>(window, "tbFilterEdit")->findChild<QComboBox *>()->itemText(0), QStringLiteral("Standardfilter"));
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

    void germanCatalogueComplete()
    {
        const QList<Message> messages = catalogue("vrelview_de.ts");
        QVERIFY(messages.size() > 100);
        QStringList faults;
        for (const Message &m : messages) {
            if (!m.finished)
                faults.append(m.key + QStringLiteral(": unfinished or obsolete"));
            if (m.key.endsWith(QLatin1String(" (%n)")) && m.translations.size() != 2)
                faults.append(m.key + QStringLiteral(": German has two plural forms"));
            for (const QString &translation : m.translations) {
                for (const QString &fault : faultsOf(m.source, translation))
                    faults.append(m.key + QStringLiteral(": ") + fault);
            }
        }
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));
    }

    // The template and every language hold exactly the texts of the code.
    void cataloguesFollowTheCode()
    {
        QTemporaryDir work;
        const QString fresh = work.filePath(QStringLiteral("fresh.ts"));
        QStringList arguments = {QStringLiteral("-no-obsolete"), QStringLiteral("-locations"), QStringLiteral("none")};
        for (const QString &dir : QStringLiteral(VREL_TRANSLATED_DIRS).split(QLatin1Char(',')))
            arguments.append(QStringLiteral(VREL_SOURCE_DIR "/") + dir);
        QProcess lupdate;
        lupdate.start(QStringLiteral(VREL_LUPDATE), arguments << QStringLiteral("-ts") << fresh);
        QVERIFY2(lupdate.waitForFinished(60000) && lupdate.exitCode() == 0, qPrintable(lupdate.errorString()));
        QString error;
        const QStringList code = keysOf(readTs(fresh, &error));
        QVERIFY2(error.isEmpty(), qPrintable(error));
        const QList<Message> templ = catalogue("vrelview.ts");
        for (const Message &m : templ)
            QVERIFY2(m.translations.join(QString()).isEmpty(), qPrintable(m.key + QStringLiteral(" is translated")));
        QCOMPARE(keysOf(catalogue("vrelview_de.ts")), keysOf(templ));
        QStringList differences;
        for (const QString &key : code + keysOf(templ)) {
            if (!code.contains(key) || !keysOf(templ).contains(key))
                differences.append((code.contains(key) ? QStringLiteral("new in the code: ") : QStringLiteral("gone from the code: ")) + key);
        }
        QVERIFY2(differences.isEmpty(), qPrintable(differences.join(QLatin1Char('\n')) + QStringLiteral(
            "\nrun `cmake --build <build> --target update_translations` and translate translations/vrelview_*.ts")));
    }
};

QTEST_MAIN(TestTranslations)
#include "tst_translations.moc"
