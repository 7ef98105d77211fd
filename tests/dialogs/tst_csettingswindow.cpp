// The Options dialog: what it reads from the settings, what OK writes back
// (and leaves), the coupling of its check boxes, and its choosers.
#include "../app/modalanswer.h"
#include "csettingswindow.h"

#include <QComboBox>
#include <QFontDialog>
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
    dialog.filterSelector()->clear();
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
        const auto with = [&all](const QString &key, const QVariant &value) {
            QVariantMap changed = all;
            changed[key] = value;
            return changed;
        };
        QTest::newRow("both on") << all << true << true << "Logins";
        QTest::newRow("no log file: both off") << with("logfile", QString()) << false << false << "Logins";
        QTest::newRow("no filter name: filter off") << with("filter", QString()) << true << false << "";
        QTest::newRow("name not in the selector (case)") << with("filter", "logins") << true << true << "";
        QTest::newRow("nothing stored") << QVariantMap() << false << false << "";
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
        QCOMPARE(dialog.autoOpen(), settings.value("autoopen").toBool());
        QCOMPARE(dialog.autoFilter(), settings.value("autofilter").toBool());
        QCOMPARE(child<QGroupBox>(dialog, "gbLog")->isChecked(), logChecked);
        QCOMPARE(child<QGroupBox>(dialog, "gbFilter")->isChecked(), filterChecked);
        // "Apply filter on start" is usable only under "Open log on start".
        QCOMPARE(child<QGroupBox>(dialog, "gbFilter")->isEnabled(), logChecked);
        QCOMPARE(dialog.filterSelector()->currentText(), filter);
        QCOMPARE(child<QLabel>(dialog, "lbLogSelected")->text(), settings.value("logfile").toString());
        QCOMPARE(child<QLabel>(dialog, "lbLogDirSelected")->text(), settings.value("logdir").toString());
        QVERIFY(!child<QGroupBox>(dialog, "groupBox_4")->isVisibleTo(&dialog));
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

    void uncheckingLogUnchecksFilter()
    {
        store({{"autoopen", true}, {"autofilter", true}, {"logfile", "/l/k.mlog"}, {"filter", "default"}});
        CSettingsWindow dialog;
        prepare(dialog);
        dialog.show();
        auto *log = child<QGroupBox>(dialog, "gbLog");
        auto *filter = child<QGroupBox>(dialog, "gbFilter");
        // The user's click on the check box (the key does what the mouse does).
        QTest::keyClick(log, Qt::Key_Space);
        QVERIFY(!log->isChecked() && !filter->isChecked() && !filter->isEnabled());
        QTest::keyClick(log, Qt::Key_Space);
        QVERIFY(log->isChecked() && !filter->isChecked());
        QTest::keyClick(log, Qt::Key_Space);
        dialog.accept();
        QVERIFY(!stored("autoopen").toBool() && !stored("autofilter").toBool());
    }

    void choosers()
    {
        store({{"autoopen", true}, {"logfile", "/l/k.mlog"}, {"logdir", "/var/log/x"}});
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
        QCOMPARE(driver.fileDialogs, 2); // the folder chooser too
        driver.fileName = m_dir.path();
        press("btnLogDirSelect");
        QCOMPARE(child<QLabel>(dialog, "lbLogDirSelected")->text(), m_dir.path());

        // A font chosen: the label names its family and size, OK stores it.
        const QFont chosen(QStringLiteral("Monospace"), 15);
        driver.other = [&](QDialog *modal) {
            auto *fonts = qobject_cast<QFontDialog *>(modal);
            QVERIFY(fonts);
            fonts->setCurrentFont(chosen);
            fonts->accept();
        };
        press("btnFontSelect");
        const QFont font = dialog.chosenFont();
        QCOMPARE(child<QLabel>(dialog, "lbFontSelected")->text(),
                 QStringLiteral(" Font: %1 Size: %2").arg(font.family()).arg(font.pointSize()));
        QCOMPARE(font.pointSize(), 15);
        dialog.accept();
        QCOMPARE(stored("logfont").value<QFont>(), font);
        QCOMPARE(stored("logdir").toString(), m_dir.path());
        dialog.readSettings();
        QCOMPARE(dialog.chosenFont(), font);
    }
};

QTEST_MAIN(TestSettingsWindow)
#include "tst_csettingswindow.moc"
