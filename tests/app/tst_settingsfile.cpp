// The settings file while the window runs: writes that fail are told, a file
// changed behind the window's back is checked before it is read again, and a
// recent-files list of any length starts the window at once.
#include "apptest.h"
#include "csettingswindow.h"

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

namespace {

const QByteArray kHugeList = "@Variant(\\0\\0\\0\\x0b\\x7f\\xff\\xff\\xff)";

// While it lives, no settings file can be written: a read-only file for a
// user, and no room to write any file for root, whom file modes do not stop.
class UnwritableSettings
{
public:
    UnwritableSettings() : m_file(QSettings().fileName())
    {
        m_permissions = QFile::permissions(m_file);
        QFile::setPermissions(m_file, QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
        if (::geteuid() == 0) {
            ::getrlimit(RLIMIT_FSIZE, &m_limit);
            rlimit none = m_limit;
            none.rlim_cur = 0;
            m_signal = std::signal(SIGXFSZ, SIG_IGN);
            ::setrlimit(RLIMIT_FSIZE, &none);
        }
    }
    ~UnwritableSettings()
    {
        if (::geteuid() == 0) {
            ::setrlimit(RLIMIT_FSIZE, &m_limit);
            std::signal(SIGXFSZ, m_signal);
        }
        QFile::setPermissions(m_file, m_permissions);
    }

private:
    QString m_file;
    QFile::Permissions m_permissions;
    rlimit m_limit{};
    void (*m_signal)(int) = SIG_DFL;
};

QString writeLog(const QString &path)
{
    return writeRecords(path, 20, [](int i, MlogRecord &record) {
        record.time = 1780000000 + quint32(i);
        record.payload = "/etc/" + QByteArray::number(i);
    });
}

} // namespace

class TestSettingsFile : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void initTestCase() { startApp("vrelview-settingsfile"); }

    void init()
    {
        QSettings settings;
        settings.clear();
        settings.setValue(QStringLiteral("config/logdir"), m_dir.path() + QStringLiteral("/none"));
        settings.setValue(QStringLiteral("filter/mine"), QStringLiteral("0::;;;;;;;;;;/etc"));
        settings.sync();
        QVERIFY(settings.status() == QSettings::NoError);
    }

    void failedWriteIsTold_data()
    {
        QTest::addColumn<QString>("command");
        QTest::newRow("Options") << "options";
        QTest::newRow("Delete") << "delete";
        QTest::newRow("recent files") << "recent";
        QTest::newRow("window state") << "state";
    }

    // Each command says once that its change was not stored, instead of
    // looking done and being undone at the next start.
    void failedWriteIsTold()
    {
        QFETCH(QString, command);
        const QString file = QSettings().fileName();
        mainWindow window;
        DialogDriver driver;
        driver.button = QMessageBox::Yes;
        QStringList expected;
        if (command == QLatin1String("options")) {
            CSettingsWindow options(&window);
            options.readSettings();
            const UnwritableSettings unwritable;
            options.accept();
            expected << QStringLiteral("The options could not be saved: the settings could not be written. They "
                                       "apply until the program ends.");
        } else if (command == QLatin1String("delete")) {
            QCOMPARE(filterList().size(), 2);
            currentFilterIndex() = 1;
            child<QToolBar>(window, "tbFilterEdit")->findChild<QComboBox *>()->setCurrentIndex(1);
            const UnwritableSettings unwritable;
            trigger(window, "actionFilterDel");
            expected << QStringLiteral("Delete saved filter?")
                     << QStringLiteral("The filter could not be deleted: the settings could not be written.");
            // The filter stays, in the window and in the file.
            QCOMPARE(filterList().size(), 2);
            QCOMPARE(filterList().at(1)->name, QStringLiteral("mine"));
        } else {
            const QString first = writeLog(m_dir.filePath(QStringLiteral("first.mlog")));
            const QString second = writeLog(m_dir.filePath(QStringLiteral("second.mlog")));
            const UnwritableSettings unwritable;
            if (command == QLatin1String("recent")) {
                window.openLogPath(first);
                window.openLogPath(second);
            } else {
                window.saveWindowState();
                window.saveWindowState();
            }
            expected << QStringLiteral("The settings file %1 could not be written: the recent files and the "
                                       "window state are not kept beyond this session.")
                            .arg(QDir::toNativeSeparators(file));
        }
        QTRY_COMPARE(driver.texts, expected);
        QVERIFY(readAll(file).contains("mine"));
    }

    void hostileValueWhileRunning_data()
    {
        QTest::addColumn<QString>("command");
        QTest::newRow("save filter") << "save";
        QTest::newRow("delete filter") << "delete";
        QTest::newRow("Options") << "options";
    }

    // A value that Qt cannot read safely, added while the window runs, is
    // found before the settings are read again: the file is set aside with
    // one warning, and the window goes on.
    void hostileValueWhileRunning()
    {
        QFETCH(QString, command);
        const QString file = QSettings().fileName();
        QFile::remove(file + QStringLiteral(".unreadable"));
        mainWindow window;
        DialogDriver driver;
        driver.button = QMessageBox::Yes;
        driver.other = [](QDialog *dialog) {
            if (auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("leFilterName")))
                name->setText(QStringLiteral("saved"));
            dialog->accept();
        };
        {
            QFile settings(file);
            QVERIFY(settings.open(QIODevice::Append));
            settings.write("\n[filter]\nbad=" + kHugeList + "\n");
        }
        if (command == QLatin1String("save")) {
            trigger(window, "actionFilterSave");
        } else if (command == QLatin1String("delete")) {
            currentFilterIndex() = 1;
            child<QToolBar>(window, "tbFilterEdit")->findChild<QComboBox *>()->setCurrentIndex(1);
            trigger(window, "actionFilterDel");
        } else {
            CSettingsWindow options(&window);
            options.readSettings();
            options.accept();
        }
        QTRY_VERIFY(!driver.texts.filter(QStringLiteral("set aside")).isEmpty());
        const QStringList told = driver.texts.filter(QStringLiteral("set aside"));
        QCOMPARE(told.size(), 1);
        QVERIFY2(told.first().contains(QDir::toNativeSeparators(file + QStringLiteral(".unreadable"))),
                 qPrintable(told.first()));
        QVERIFY(QFile::exists(file + QStringLiteral(".unreadable")));
        QVERIFY(!readAll(file).contains(kHugeList));
        // Read again, nothing more is told: a warning would come at the next
        // turn of the event loop, before a timer started after the reload.
        window.reloadFilters();
        bool turned = false;
        QTimer::singleShot(0, &window, [&turned] { turned = true; });
        QTRY_VERIFY(turned);
        QCOMPARE(driver.texts.filter(QStringLiteral("set aside")).size(), 1);
    }

    // A list edited to any length gives the newest nine entries, and the
    // window starts at once.
    void recentFilesKeepNine()
    {
        QString value;
        const int count = 500000;
        value.reserve(count * 16);
        for (int i = 0; i < count; ++i)
            value += QStringLiteral("/logs/%1.mlog;").arg(i);
        QSettings().setValue(QStringLiteral("recentFiles"), value);
        QElapsedTimer started;
        started.start();
        mainWindow window;
        QStringList entries;
        for (QAction *action : child<QMenu>(window, "menuFile")->actions()) {
            if (action->actionGroup())
                entries << action->text();
        }
        QStringList newest;
        for (int i = count - 9; i < count; ++i)
            newest << QStringLiteral("%1 %2.mlog").arg(newest.size() + 1).arg(i);
        QCOMPARE(entries, newest);
        const QString log = writeLog(m_dir.filePath(QStringLiteral("recent.mlog")));
        window.addRecentFile(QFileInfo(log));
        const QStringList stored =
            QSettings().value(QStringLiteral("recentFiles")).toString().split(QLatin1Char(';'), Qt::SkipEmptyParts);
        QCOMPARE(stored.size(), 9);
        QCOMPARE(stored.last(), log);
        QCOMPARE(stored.first(), QStringLiteral("/logs/%1.mlog").arg(count - 8));
    }
};

QTEST_MAIN(TestSettingsFile)
#include "tst_settingsfile.moc"
