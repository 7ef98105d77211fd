// The Options dialog: what it reads from the settings, what OK writes back
// (and leaves), the coupling of its check boxes, and its choosers.
#include "../app/modalanswer.h"
#include "csettingswindow.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
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
        QTest::addColumn<QVariantMap>("settings");
        QTest::addColumn<bool>("logChecked");
        QTest::addColumn<bool>("filterChecked");
        QTest::addColumn<QString>("filter"); // current item of the selector
        const QVariantMap all{{"autoopen", true},   {"autofilter", true},    {"logfile", "/l/k.mlog"},
                              {"filter", "Logins"}, {"logdir", "/var/log/x"}};
        const auto with = [&all](const QString &key, const QVariant &value) { QVariantMap m = all; m[key] = value; return m; };
        QTest::newRow("no log file: both off") << with("logfile", QString()) << false << false << "Logins";
        QTest::newRow("no filter name: filter off") << with("filter", QString()) << true << false << "";
        QTest::newRow("name not in the selector (case)") << with("filter", "logins") << true << true << "";
        QTest::newRow("a bool stored as text") << with("autoopen", "false") << false << true << "Logins";
    }

    void readSettings()
    {
        QFETCH(QVariantMap, settings);
        QFETCH(bool, logChecked);
        QFETCH(bool, filterChecked);
        QFETCH(QString, filter);
        store(settings);
        CSettingsWindow dialog;
        prepare(dialog);
        QVERIFY(child<QGroupBox>(dialog, "gbLog")->isChecked() == logChecked && child<QGroupBox>(dialog, "gbFilter")->isChecked() == filterChecked);
        QCOMPARE(dialog.filterSelector()->currentText(), filter);
        QCOMPARE(child<QLabel>(dialog, "lbLogSelected")->text(), settings.value("logfile").toString());
        // Without a stored font, the application's default, not the form's.
        QCOMPARE(dialog.chosenFont(), QFont());
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
