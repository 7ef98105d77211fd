// The main window driven offscreen: settings at start, window state, opening
// logs, filter runs, tabs, and the guards that keep long operations apart.
#include "apptest.h"
#include "logpath.h"
#include "logwatcher.h"
#include "vrelintegration.h"

#include <cstdio>
#include <unistd.h>

namespace {

// `count` records, `perSecond` to a second from a day ago, every seventh
// refused, subject "<4000+i,1,uid,uid,0>".
QString writeLog(const QString &path, int count, int perSecond = 10, quint32 uid = 0)
{
    const quint32 start = QDateTime::currentDateTime().toSecsSinceEpoch() - 86400;
    return writeRecords(path, count, [&](int i, MlogRecord &record) {
        record.time = start + quint32(i / perSecond);
        record.subject[0] = 4000 + quint32(i);
        record.subject[1] = 1;
        record.subject[2] = record.subject[3] = uid;
        record.status = i % 7 == 6 ? 1 : 0;
        record.payload = "/var/tmp/file-" + QByteArray::number(i);
    });
}

QString setting(const char *key)
{
    return QSettings().value(QLatin1String(key)).toString();
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void initTestCase() { startApp("vrelview-test"); }

    void init()
    {
        QSettings().clear();
        QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) + QLatin1Char('/')
             + QCoreApplication::applicationName())
            .removeRecursively();
    }

    void startSettings()
    {
        {
            mainWindow window;
            QCOMPARE(setting("config/logdir"), QStringLiteral("/var/log/marvok"));
            QCOMPARE(setting("config/logfile"), QStringLiteral("/var/log/marvok/kernel.mlog"));
            QCOMPARE(setting("config/filter"), QStringLiteral("default"));
            QVERIFY(!QSettings().contains(QStringLiteral("config/autoopen")) && !QSettings().contains(QStringLiteral("config/autofilter")));
            QVERIFY(QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)).exists(QCoreApplication::applicationName()));
            // The desktop library's help menu comes last; icon-only buttons have an icon.
            QVERIFY(qobject_cast<VrelHelpMenu *>(window.menuBar()->actions().last()->menu()));
            QVERIFY(!child<QPushButton>(window, "btnFwd")->icon().isNull());
            QVERIFY(!child<QAction>(window, "actionFollow")->isChecked());
            // A shortcut two commands share triggers neither.
            QMap<QKeySequence, QString> owners;
            for (const QAction *action : window.findChildren<QAction *>()) {
                const QString owner = owners.value(action->shortcut());
                QVERIFY2(action->shortcut().isEmpty() || owner.isEmpty(), qPrintable(owner + " " + action->objectName()));
                owners.insert(action->shortcut(), action->objectName());
            }
        }
        // Existing values are kept, a wrong type too.
        QSettings().setValue(QStringLiteral("config/logdir"), QStringLiteral("/srv/logs"));
        QSettings().setValue(QStringLiteral("config/filter"), 42);
        mainWindow window;
        QCOMPARE(setting("config/logdir"), QStringLiteral("/srv/logs"));
        QCOMPARE(QSettings().value(QStringLiteral("config/filter")).toInt(), 42);
    }

    void windowStateRoundTrip()
    {
        QRect stored;
        {
            mainWindow window;
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            window.setGeometry(40, 50, 700, 500);
            stored = window.geometry();
            for (const char *toggled : {"actionFindShow", "actionFileShow", "actionTimelineShow", "actionFollow"})
                trigger(window, toggled);
            // Closing the window ends the event loop.
            QTimer::singleShot(0, &window, &QWidget::close);
            QCOMPARE(QCoreApplication::exec(), 0);
        }
        // Older versions kept Follow log in the settings.
        QSettings().setValue(QStringLiteral("VrelGeometry/follow"), true);
        mainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.geometry().size(), stored.size());
        QVERIFY(child<QWidget>(window, "gbFind")->isVisible() && !child<QWidget>(window, "gbFile")->isVisible());
        QVERIFY(child<QWidget>(*window.centralWidget(), "gbFilter")->isVisible());
        // The time line, off at first, was turned on and stays on; Follow
        // log is off at every start, whatever is stored, and nothing is watched.
        QVERIFY(child<QAction>(window, "actionTimelineShow")->isChecked() && !child<QAction>(window, "actionFollow")->isChecked());
        QVERIFY(window.findChild<LogWatcher *>() && window.findChild<LogWatcher *>()->path().isEmpty());
    }

    // A log opened shows its records; an empty log opened after it keeps it shown and held.
    void openShowsRecordsAndEmptyLogKeepsThem()
    {
        const QString path = writeLog(m_dir.filePath(QStringLiteral("open.mlog")), 7000, 25);
        const QString empty = m_dir.filePath(QStringLiteral("empty.mlog"));
        QVERIFY(writeFile(empty, QByteArray(256, 'x')));
        mainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        DialogDriver driver;
        window.openLogPath(path);
        CStringListModel *model = currentModel(window);
        testModel(model);
        QCOMPARE(model->rowCount(), 7000);
        const QString row = firstRow(window);
        currentView(window)->scrollToBottom();
        QTRY_VERIFY(model->index(6999, 0).data().toString().contains(QStringLiteral("/var/tmp/file-6999")));
        // The same unchanged log is not read again.
        QSignalSpy maximum(window.logReader(), &CLog::valueMaximum);
        window.openLogPath(path);
        QCOMPARE(maximum.count(), 0);
        QCOMPARE(driver.texts, QStringList());
        window.openLogPath(empty);
        QCOMPARE(driver.texts, QStringList("No entries found!"));
        QCOMPARE(window.windowTitle(), path + QStringLiteral(" - Vrel View Audit"));
        invoke(window, "actionResultsPress");
        QCOMPARE(resultTabs(window)->tabText(0), QStringLiteral("open.mlog - default"));
        QVERIFY(firstRow(window) == row && row.contains(QStringLiteral("<4000,1,0,0,0>")));
        // Asked again, the unchanged empty log is not read and not reported again.
        window.openLogPath(empty);
        QCOMPARE(driver.texts.size(), 1);
    }

    void largeFileQuestion()
    {
        QCOMPARE(mainWindow::sizeToString(qint64(1) << 40), QStringLiteral("1024 gb"));
        QCOMPARE(mainWindow::parseMemAvailable(QByteArray("MemAvailable: 5 kB\0MemAvailable: 9 kB\n", 38)), qint64(5) * 1024);
        QVERIFY(mainWindow::memAvailable() > 0);
        const QString path = m_dir.filePath(QStringLiteral("large.mlog"));
        QVERIFY(QFile(writeRecords(path, 1, [](int, MlogRecord &) {})).resize(104857600)); // exactly 100 MiB: never asked
        mainWindow window;
        DialogDriver driver;
        driver.button = QMessageBox::No;
        window.memAvailableSource = [] { return qint64(1000); };
        QVERIFY(window.loadLog(path));
        QCOMPARE(driver.texts.size(), 0);
        QVERIFY(QFile(path).resize(104857601));
        QSignalSpy maximum(window.logReader(), &CLog::valueMaximum);
        QVERIFY(!window.loadLog(path) && maximum.count() == 0);
        QVERIFY(driver.texts.value(0).startsWith(QStringLiteral("You are trying to load a 100 mb log with an available memory of 1000 bytes.")));
        // Memory that cannot be told: never asked.
        window.memAvailableSource = [] { return qint64(0); };
        QVERIFY(window.loadLog(path));
        QCOMPARE(driver.texts.size(), 1);
    }

    void tabsNewCloseAndSwitch()
    {
        QTemporaryDir other;
        const QString inside = writeLog(m_dir.filePath(QStringLiteral("a.mlog")), 300, 10);
        const QString outside = writeLog(other.filePath(QStringLiteral("b.mlog")), 500, 10);
        QSettings().setValue(QStringLiteral("config/logdir"), m_dir.path());
        mainWindow window;
        window.show();
        QTabWidget *tabs = resultTabs(window);
        DialogDriver driver;
        invoke(window, "tabNew");
        QVERIFY(tabs->tabText(0) == QStringLiteral("New") && !tabs->tabsClosable());
        window.openLogPath(inside);
        invoke(window, "tabNew");
        QVERIFY(tabs->currentIndex() == 1 && tabs->tabsClosable());
        // A tab that never showed results opens nothing and warns of nothing.
        tabs->setCurrentIndex(0);
        tabs->setCurrentIndex(1);
        QCOMPARE(window.logReader()->logPath(), inside);
        window.openLogPath(outside);
        tabs->setCurrentIndex(0);
        // Back to the tab of the log outside the log folder: exactly that file again.
        tabs->setCurrentIndex(1);
        QCOMPARE(window.logReader()->logPath(), outside);
        QCOMPARE(driver.texts, QStringList());
        // Closing the last but one tab hides the close buttons; the last one stays.
        QMetaObject::invokeMethod(&window, "tabClose", Qt::DirectConnection, Q_ARG(int, 1));
        QVERIFY(!tabs->tabsClosable());
        QCOMPARE(window.logReader()->logPath(), inside);
        QMetaObject::invokeMethod(&window, "tabClose", Qt::DirectConnection, Q_ARG(int, 0));
        QCOMPARE(tabs->count(), 1);
    }

    // A log named with a character outside the basic plane, whatever its
    // low surrogate, or with bytes that are not UTF-8, opens, follows, shows
    // in the title and the panel, and its name goes back to the settings as
    // it was; one with such bytes is kept out of the recent files.
    void namesOfEveryPlane_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::newRow("low surrogate DC00") << QByteArray("\xf0\x9f\x90\x80");  // U+1F400
        QTest::newRow("low surrogate DC80") << QByteArray("\xf0\x9f\x92\x80");  // U+1F480
        QTest::newRow("low surrogate DCFF") << QByteArray("\xf0\x9f\x93\xbf");  // U+1F4FF
        QTest::newRow("low surrogate DD00") << QByteArray("\xf0\x9f\x94\x80");  // U+1F500
        QTest::newRow("low surrogate DFFF") << QByteArray("\xf0\x9f\x9f\xbf");  // U+1F7FF
        QTest::newRow("bytes that are not UTF-8") << QByteArray("\xff\xfe");
        QTest::newRow("character, then a byte that is not UTF-8") << QByteArray("\xf0\x9f\x92\x80\xcc");
    }

    void namesOfEveryPlane()
    {
        QFETCH(QByteArray, name);
        QTemporaryDir folder;
        const QByteArray bytes = QFile::encodeName(folder.path()) + '/' + name + ".mlog";
        const QString path = LogPath::fromBytes(bytes);
        const bool raw = LogPath::hasRawBytes(path);
        QCOMPARE(raw, QString::fromUtf8(name).contains(QChar::ReplacementCharacter));
        QCOMPARE(LogPath::toBytes(path), bytes);
        const QString written = writeLog(folder.filePath(QStringLiteral("written")), 30);
        QCOMPARE(::rename(QFile::encodeName(written).constData(), bytes.constData()), 0);
        QSettings().setValue(QStringLiteral("config/logdir"), folder.path());
        const QString shown = LogPath::readable(path);
        {
            mainWindow window;
            window.show();
            window.openLogPath(path);
            QCOMPARE(window.logReader()->logPath(), path);
            QCOMPARE(currentModel(window)->rowCount(), 30);
            QCOMPARE(window.windowTitle(), shown + QStringLiteral(" - Vrel View Audit"));
            auto *table = child<QTableWidget>(window, "twFiles");
            QTRY_COMPARE(table->rowCount(), 1);
            QCOMPARE(table->item(0, 0)->text(), shown.mid(shown.lastIndexOf(QLatin1Char('/')) + 1));
            if (!child<QAction>(window, "actionFollow")->isChecked())
                trigger(window, "actionFollow");
            FILE *log = std::fopen(bytes.constData(), "ab");
            QVERIFY(log);
            const QByteArray more = encodeRecord({quint32(QDateTime::currentSecsSinceEpoch()), {1, 1, 0, 0, 0}, 2, 0, 0, 0, "/more"});
            QCOMPARE(std::fwrite(more.constData(), 1, size_t(more.size()), log), size_t(more.size()));
            std::fclose(log);
            QTRY_COMPARE(currentModel(window)->rowCount(), 31);
        }
        QCOMPARE(QSettings().value(QStringLiteral("recentFiles")).toString(), raw ? QString() : path + QLatin1Char(';'));
        // QTemporaryDir cannot remove names that are not UTF-8.
        for (const QString &file : {path, CLog::indexFilePath(path)})
            ::unlink(LogPath::toBytes(file).constData());
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
