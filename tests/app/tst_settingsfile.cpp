// The settings file: files that Qt cannot read safely (the check of the raw
// file, the setting aside at start with its warning, splitter states, values
// of the wrong type); and while the window runs, writes that fail are told, a
// file changed behind the window's back is checked before it is read again,
// and a recent-files list of any length starts the window at once.
#include "apptest.h"
#include "csettingswindow.h"
#include "settingscheck.h"

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

namespace {

// `depth` variant lists, each holding the next, as "@Variant(...)" escapes.
QByteArray nestedLists(int depth)
{
    QByteArray value = "@Variant(";
    for (int i = 0; i < depth; ++i)
        value += "\\0\\0\\0\\t\\0\\0\\0\\x1";
    return "[filter]\nbad=" + value + "\\0\\0\\0\\x2\\0\\0\\0\\x5)\n";
}

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

    void rawFile_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("safe");
        const QByteArray list = kHugeList;
        QTest::newRow("plain values") << QByteArray("[config]\nlogdir=/var/log/marvok\nautoopen=true\n[filter]\nf=-300::::;;;;;;;;;;x\n") << true;
        QTest::newRow("list of 2^31-1 strings") << "[filter]\nbad=" + list + "\n" << false;
        QTest::newRow("lists nested 200000 deep") << nestedLists(200000) << false;
        QTest::newRow("lists nested 17 deep") << nestedLists(17) << false;
        QTest::newRow("as a date-time") << QByteArray("k=@DateTime(\\0\\0\\0\\x0b\\0\\x7f\\xff\\xff\\xff)\n") << false;
        QTest::newRow("quoted prefix") << QByteArray("k=\"@Var\"iant(\\0\\0\\0\\x0b\\x7f\\xff\\xff\\xff)\n") << false;
        QTest::newRow("after a byte order mark") << "\xef\xbb\xbfk=\xef\xbb\xbf" + list + "\n" << false;
        QTest::newRow("comment line") << ";k=" + list + "\n" << true;
        QTest::newRow("doubled at sign") << "k=@" + list + "\n" << true;
        QTest::newRow("image") << QByteArray("k=@Variant(\\0\\0\\0\\x46\\0\\0\\0\\0)\n") << false;
        QTest::newRow("truncated int") << QByteArray("k=@Variant(\\0\\0\\0\\x2\\0\\0)\n") << false;
        QTest::newRow("int") << QByteArray("k=@Variant(\\0\\0\\0\\x2\\0\\0\\0\\x5)\n") << true;
        QTest::newRow("larger than 16 MiB") << QByteArray(16 * 1024 * 1024 + 1, 'x') << false;
    }

    // What the check accepts, QSettings reads without harm; what it refuses
    // would end the program (so it is not handed to QSettings here).
    void rawFile()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, safe);
        const SettingsCheck check(content);
        QVERIFY2(check.isSafe() == safe, qPrintable(check.problem()));
        if (!safe)
            return;
        const QString path = m_dir.filePath(QStringLiteral("raw.conf"));
        QVERIFY(writeFile(path, content));
        QSettings settings(path, QSettings::IniFormat);
        for (const QString &key : settings.allKeys())
            settings.value(key);
    }

    // The values the program and the libraries it uses write are read back.
    void whatQtWritesIsAccepted()
    {
        const QString path = m_dir.filePath(QStringLiteral("written.conf"));
        QFile::remove(path);
        {
            QSettings settings(path, QSettings::IniFormat);
            settings.setValue(QStringLiteral("config/logfont"), QFont(QStringLiteral("DejaVu Sans Mono"), 11));
            settings.setValue(QStringLiteral("VrelGeometry/splitterv"), QByteArray("\x00\x00\x00\xff\x7f", 5));
            settings.setValue(QStringLiteral("a/colour"), QColor(10, 20, 30));
            settings.setValue(QStringLiteral("a/when"), QDateTime(QDate(2024, 5, 10), QTime(1, 2, 3)));
            settings.setValue(QStringLiteral("a/list"), QVariantList{QStringList{QStringLiteral("x")}, 3, QVariantMap{{QStringLiteral("k"), 1.5}}});
            settings.setValue(QStringLiteral("a/text"), QStringLiteral("@Variant(\\0\\0\\0\\x0b\\x7f\\xff\\xff\\xff)"));
        }
        const SettingsCheck check = SettingsCheck::ofFile(path);
        QVERIFY2(check.isSafe(), qPrintable(check.problem()));
        // The font, the colour, the date-time, and the first and last element of the list.
        QCOMPARE(check.streamedValues(), 5);
    }

    // A file set aside never replaces one set aside before.
    void setAsideKeepsTheFile()
    {
        const QString path = m_dir.filePath(QStringLiteral("aside.conf"));
        QVERIFY(writeFile(path, "first") && SettingsCheck::setAside(path) == path + QStringLiteral(".unreadable"));
        QVERIFY(writeFile(path, "second") && SettingsCheck::setAside(path) == path + QStringLiteral(".unreadable-2"));
        QVERIFY(!QFile::exists(path) && readAll(path + QStringLiteral(".unreadable")) == "first");
        QCOMPARE(readAll(path + QStringLiteral(".unreadable-2")), QByteArray("second"));
        QCOMPARE(SettingsCheck::setAside(m_dir.filePath(QStringLiteral("missing.conf"))), QString());
    }

    void startSetsAsideAndWarns_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("list of 2^31-1 strings") << "[config]\nlogdir=/srv\n[filter]\nbad=" + kHugeList + "\n";
        QTest::newRow("lists nested 200000 deep") << nestedLists(200000);
    }

    // The check, as main runs it, moves the file aside whole and QSettings reads
    // nothing of it; the window starts from defaults and says once where it went.
    void startSetsAsideAndWarns()
    {
        QFETCH(QByteArray, content);
        const QString path = QSettings().fileName();
        const QString aside = path + QStringLiteral(".unreadable");
        QFile::remove(aside); // left by an earlier run
        QVERIFY(writeFile(path, content));
        const QList<SettingsCheck::SetAside> setAside = SettingsCheck::setAsideUnsafeSettings();
        const auto removed = qScopeGuard([&] { QFile::remove(aside); });
        QVERIFY(setAside.size() == 1 && setAside.first().file == path && setAside.first().movedTo == aside);
        QCOMPARE(readAll(aside), content);
        QCOMPARE(QSettings().allKeys(), QStringList());
        QVERIFY(SettingsCheck::setAsideUnsafeSettings().isEmpty());
        DialogDriver driver;
        mainWindow window;
        window.setSettingsSetAside(setAside);
        QTRY_COMPARE(driver.texts.size(), 1);
        QVERIFY2(driver.texts.first().contains(aside), qPrintable(driver.texts.first()));
        QCOMPARE(QSettings().value(QStringLiteral("config/logdir")).toString(), QStringLiteral("/var/log/marvok"));
        invoke(window, "startEvent"); // as Options does: no second warning
        QCOMPARE(driver.texts.size(), 1);
    }

    void splitterState_data()
    {
        QTest::addColumn<QByteArray>("state");
        QTest::addColumn<bool>("sound");
        QSplitter splitter;
        splitter.addWidget(new QWidget);
        splitter.addWidget(new QWidget);
        QTest::newRow("saved") << splitter.saveState() << true;
        QTest::newRow("2^31-1 sizes") << QByteArray("\0\0\0\xff\0\0\0\0\x7f\xff\xff\xff", 12) << false;
        QTest::newRow("bad orientation") << QByteArray("\0\0\0\xff\0\0\0\x01\0\0\0\0\x01\xff\xff\xff\xff\x01\0\0\0\x07", 22) << false;
        QTest::newRow("empty") << QByteArray() << false;
    }

    void splitterState()
    {
        QFETCH(QByteArray, state);
        QFETCH(bool, sound);
        QCOMPARE(SettingsCheck::isSoundSplitterState(state), sound);
    }

    void wrongTypesGiveDefaults_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QVariant>("value");
        const QVariant values[] = {QStringList{QStringLiteral("a"), QStringLiteral("b")}, QFont(QStringLiteral("Sans"), 9),
                                   QVariantMap{{QStringLiteral("k"), 1}}, QByteArray("\0\0\0\xff\0\0\0\0\x7f\xff\xff\xff", 12),
                                   QStringLiteral("maybe")};
        const char *const kinds[] = {"list", "font", "map", "bytes", "text"};
        const QPair<const char *, int> rows[] = {
            {"VrelGeometry/splitterv", 1}, {"VrelGeometry/filtershow", 0}, {"VrelGeometry/findshow", 4},
            {"VrelGeometry/geometry", 3},  {"config/logdir", 0},          {"config/autoopen", 1},
            {"config/logfont", 4},         {"recentFiles", 2},            {"filter/f", 2},
        };
        for (const auto &row : rows)
            QTest::addRow("%s %s", row.first, kinds[row.second]) << row.first << values[row.second];
    }

    // Any key holding a value of the wrong type leaves the window as with no settings.
    void wrongTypesGiveDefaults()
    {
        QFETCH(QString, key);
        QFETCH(QVariant, value);
        QSettings().setValue(key, value);
        QSettings().sync();
        QVERIFY(SettingsCheck::setAsideUnsafeSettings().isEmpty());
        DialogDriver driver;
        mainWindow window;
        QVERIFY(child<QAction>(window, "actionFilterShow")->isChecked() && child<QAction>(window, "actionFileShow")->isChecked());
        QVERIFY(!child<QAction>(window, "actionFindShow")->isChecked());
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
            filterSelector(window)->setCurrentIndex(1);
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
            filterSelector(window)->setCurrentIndex(1);
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
