// The Options dialog: what it reads from the settings, what OK writes back
// (and leaves), the coupling of its check boxes, and its choosers.
#include "../app/modalanswer.h"
#include "csettingswindow.h"
#include "settingsaccess.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

template <typename T>
T *child(QWidget &dialog, const char *name) { return dialog.findChild<T *>(QLatin1String(name)); }

void store(const QVariantMap &values)
{
    QSettings settings;
    settings.clear();
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        settings.setValue(QStringLiteral("config/") + it.key(), it.value());
}

QVariant stored(const char *key) { return QSettings().value(QStringLiteral("config/") + QLatin1String(key)); }

// A dialog as the Options command shows it: selector filled, settings read.
void prepare(CSettingsWindow &dialog)
{
    dialog.filterSelector()->addItems({QStringLiteral("default"), QStringLiteral("Logins")});
    dialog.readSettings();
}

} // namespace

class TestSettingsWindow : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QCoreApplication::setOrganizationName(QStringLiteral("vrel-test"));
        QCoreApplication::setApplicationName(QStringLiteral("vrelview-settings"));
        QVERIFY(m_dir.isValid());
    }

    void readSettings_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<bool>("logChecked");
        QTest::addColumn<bool>("filterChecked");
        QTest::addColumn<QString>("logFile");
        QTest::addColumn<QString>("logDir");
        QTest::addColumn<QString>("filter"); // current item of the selector
        QTest::addColumn<int>("pointSize");  // of the chosen font; -1: the application's default
        const QString file = QStringLiteral("/l/k.mlog");
        const QString dir = QStringLiteral("/var/log/x");
        const auto row = [&](const char *name, const char *key, const QVariant &value, bool log, bool filterOn,
                             const QString &logFile, const QString &logDir, const QString &filter, int pointSize = -1) {
            QTest::newRow(name) << QString(key) << value << log << filterOn << logFile << logDir << filter << pointSize;
        };
        row("no log file: both off", "logfile", QString(), false, false, "", dir, "Logins");
        row("no filter name: filter off", "filter", QString(), true, false, file, dir, "");
        row("name not in the selector (case)", "filter", "logins", true, true, file, dir, "");
        row("a bool stored as text", "autoopen", "false", false, true, file, dir, "Logins");
        // A value of a wrong type reads as the default, not as what Qt's
        // conversions make of it.
        row("a flag as a word", "autoopen", "yes", false, true, file, dir, "Logins");
        row("a flag as a list", "autoopen", QStringList{"true"}, false, true, file, dir, "Logins");
        row("a flag as \"1\"", "autoopen", "1", true, true, file, dir, "Logins");
        row("a log as a list", "logfile", QStringList{file}, false, false, "", dir, "Logins");
        row("a folder as bytes", "logdir", QByteArray("/raw"), true, true, file, "", "Logins");
        row("a folder as a number", "logdir", 42, true, true, file, "42", "Logins");
        row("a filter as a list", "filter", QVariantList{"Logins"}, true, false, file, dir, "");
        row("a font", "logfont", QFont(QStringLiteral("Serif"), 17), true, true, file, dir, "Logins", 17);
        row("a font as text", "logfont", QFont(QStringLiteral("Serif"), 19).toString(), true, true, file, dir, "Logins", 19);
        row("a font as a number", "logfont", 12, true, true, file, dir, "Logins");
        row("a font as a list", "logfont", QStringList{QFont(QStringLiteral("Serif"), 21).toString()}, true, true, file,
            dir, "Logins");
    }

    // The dialog reads the settings as the rest of the program does.
    void readSettings()
    {
        QFETCH(QString, key);
        QFETCH(QVariant, value);
        QFETCH(bool, logChecked);
        QFETCH(bool, filterChecked);
        QFETCH(QString, logFile);
        QFETCH(QString, logDir);
        QFETCH(QString, filter);
        QFETCH(int, pointSize);
        QVariantMap values{{"autoopen", true}, {"autofilter", true}, {"logfile", "/l/k.mlog"},
                           {"filter", "Logins"}, {"logdir", "/var/log/x"}};
        values[key] = value;
        store(values);
        CSettingsWindow dialog;
        prepare(dialog);
        QCOMPARE(child<QGroupBox>(dialog, "gbLog")->isChecked(), logChecked);
        QCOMPARE(child<QGroupBox>(dialog, "gbFilter")->isChecked(), filterChecked);
        // autoOpen reads the flag alone, whatever the log.
        QCOMPARE(dialog.autoOpen(), key == QLatin1String("autoopen") ? logChecked : true);
        QCOMPARE(child<QLabel>(dialog, "lbLogSelected")->text(), logFile);
        QCOMPARE(child<QLabel>(dialog, "lbLogDirSelected")->text(), logDir);
        QCOMPARE(dialog.filterSelector()->currentText(), filter);
        // Without a stored font, the application's default, not the form's.
        if (pointSize < 0)
            QCOMPARE(dialog.chosenFont(), QFont());
        else
            QCOMPARE(dialog.chosenFont().pointSize(), pointSize);
    }

    // Every reading and writing of the settings passes the check the
    // program runs before any access to them.
    void everyAccessIsChecked()
    {
        store({{"autoopen", true}, {"logfile", "/l/k.mlog"}});
        int checks = 0;
        setSettingsAccessHook([&checks] { ++checks; });
        CSettingsWindow dialog;
        QCOMPARE(checks, 1);
        prepare(dialog);
        QCOMPARE(checks, 2);
        QVERIFY(dialog.autoOpen());
        QCOMPARE(checks, 3);
        QVERIFY(!dialog.autoFilter());
        QCOMPARE(checks, 4);
        dialog.accept();
        QCOMPARE(checks, 5);
        setSettingsAccessHook({});
    }

    void accept()
    {
        // Without a chosen log, what is stored for it stays; a stored filter
        // the selector lacks is not written.
        store({{"autoopen", true}, {"autofilter", true}, {"filter", "Gone"}, {"logdir", "/var/log/x"}});
        CSettingsWindow dialog;
        prepare(dialog);
        child<QLabel>(dialog, "lbLogDirSelected")->setText(QStringLiteral("/srv/logs"));
        dialog.accept();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(stored("autoopen").toBool() && stored("autofilter").toBool());
        QVERIFY(!QSettings().contains(QStringLiteral("config/logfile")));
        QCOMPARE(stored("filter").toString(), QStringLiteral("Gone"));
        QCOMPARE(stored("logdir").toString(), QStringLiteral("/srv/logs"));
        QVERIFY(stored("logfont").canConvert<QFont>());
    }

    // The log and folder choosers start in the stored place, or the nearest
    // folder above it that exists when it is gone, with no gone name typed in.
    void choosersStartWhereSomethingExists_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("typed");
        QTest::newRow("folder") << "btnLogDirSelect" << "logs" << "logs" << "";
        QTest::newRow("folder gone") << "btnLogDirSelect" << "logs/gone/deeper" << "logs" << "";
        QTest::newRow("log") << "btnLogSelect" << "logs/k.mlog" << "logs" << "k.mlog";
        QTest::newRow("log gone") << "btnLogSelect" << "logs/gone/k.mlog" << "logs" << "";
    }

    void choosersStartWhereSomethingExists()
    {
        QFETCH(QString, button);
        QFETCH(QString, stored);
        QFETCH(QString, start);
        QFETCH(QString, typed);
        QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("logs")));
        QFile log(m_dir.filePath(QStringLiteral("logs/k.mlog")));
        QVERIFY(log.open(QIODevice::WriteOnly));
        log.close();
        store({{"autoopen", true}, {"logfile", m_dir.filePath(stored)}, {"logdir", m_dir.filePath(stored)}});
        CSettingsWindow dialog;
        prepare(dialog);
        dialog.show();
        QString shown;
        QString name = QStringLiteral("(none)");
        DialogDriver driver({[&](QWidget *modal) {
            if (auto *files = qobject_cast<QFileDialog *>(modal)) {
                shown = files->directory().absolutePath();
                if (auto *edit = files->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
                    name = edit->text();
            }
            qobject_cast<QDialog *>(modal)->reject();
        }});
        child<QPushButton>(dialog, button.toLatin1().constData())->click();
        QCOMPARE(driver.done(), 1);
        QCOMPARE(shown, QDir::cleanPath(m_dir.filePath(start)));
        QCOMPARE(name, typed);
    }

    void choosersAndCoupling()
    {
        store({{"autoopen", true}, {"autofilter", true}, {"logfile", "/l/k.mlog"}, {"filter", "default"}, {"logdir", "/var/log/x"}});
        CSettingsWindow dialog;
        prepare(dialog);
        dialog.show();
        DialogDriver driver;
        const auto press = [&](const char *button) { child<QPushButton>(dialog, button)->click(); };
        // Cancelled choosers change nothing.
        press("btnLogSelect");
        press("btnLogDirSelect");
        QCOMPARE(child<QLabel>(dialog, "lbLogSelected")->text(), QStringLiteral("/l/k.mlog"));
        QCOMPARE(child<QLabel>(dialog, "lbLogDirSelected")->text(), QStringLiteral("/var/log/x"));
        QCOMPARE(driver.fileDialogs, 2);
        driver.fileName = m_dir.path();
        press("btnLogDirSelect");
        QCOMPARE(child<QLabel>(dialog, "lbLogDirSelected")->text(), m_dir.path());

        // Unchecking "Open log on start" unchecks "Apply filter on start"
        // (the key does what the mouse does).
        QTest::keyClick(child<QGroupBox>(dialog, "gbLog"), Qt::Key_Space);
        QVERIFY(!child<QGroupBox>(dialog, "gbFilter")->isChecked());
        dialog.accept();
        QVERIFY(!stored("autoopen").toBool() && !stored("autofilter").toBool());
        QCOMPARE(stored("logdir").toString(), m_dir.path());
    }
};

QTEST_MAIN(TestSettingsWindow)
#include "tst_csettingswindow.moc"
