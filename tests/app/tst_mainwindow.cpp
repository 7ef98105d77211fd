// The main window driven offscreen: settings at start, window state, opening
// logs, tabs, names of logs in every plane; and what the keyboard meets
// first, by real key presses: the find panel after a restart and by Ctrl+F,
// a time typed or pasted into Go to time (and the times as typed, at the
// ends of what they stand for), and where File > Open starts.
#include "apptest.h"
#include "logpath.h"
#include "logwatcher.h"
#include "timetext.h"
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

// Records a minute apart from 14:00 to 16:59 local time on one day.
const QDate kDay(2026, 12, 7);
const qint64 kStart = QDateTime(kDay, QTime(14, 0)).toSecsSinceEpoch();
const int kCount = 180;

QString writeMinutes(const QString &path)
{
    return writeRecords(path, kCount, [](int i, MlogRecord &record) {
        record.time = quint32(kStart + qint64(i) * 60);
        record.payload = QStringLiteral("item-%1").arg(i, 5, 10, QLatin1Char('0')).toUtf8();
    });
}

// The first row at `secs` or later.
int rowAt(qint64 secs)
{
    return int(std::clamp<qint64>((secs - kStart + 59) / 60, 0, kCount));
}

// `window` shown, active, with the log of minutes in its current tab.
bool showMinutes(mainWindow &window, const QString &path)
{
    window.show();
    window.activateWindow();
    window.openLogPath(writeMinutes(path));
    return QTest::qWaitForWindowActive(&window) && currentModel(window)
        && currentModel(window)->rowCount() == kCount;
}

bool plain(const QLineEdit *field)
{
    return field->palette().color(QPalette::Base) == QPalette().color(QPalette::Base);
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
            QVERIFY(showExposed(window));
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
        QVERIFY(showExposed(window));
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
        QVERIFY(showExposed(window));
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
        closeTab(window, 1);
        QVERIFY(!tabs->tabsClosable());
        QCOMPARE(window.logReader()->logPath(), inside);
        closeTab(window, 0);
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

    void findFieldAfterRestart_data()
    {
        QTest::addColumn<QVariant>("stored"); // VrelGeometry/findcase; invalid: none
        QTest::newRow("match case off") << QVariant(false);
        QTest::newRow("match case on") << QVariant(true);
        QTest::newRow("nothing stored") << QVariant();
    }

    // A start with either stored state of Match case leaves the find field
    // plain: restoring the box runs no search. Nor does a note in the panel
    // move the box beside it.
    void findFieldAfterRestart()
    {
        QFETCH(QVariant, stored);
        if (stored.isValid())
            QSettings().setValue(QStringLiteral("VrelGeometry/findcase"), stored);
        QSettings().setValue(QStringLiteral("VrelGeometry/findshow"), true);
        mainWindow window;
        DialogDriver driver;
        QVERIFY(showExposed(window));
        auto *field = child<QLineEdit>(window, "leFind");
        auto *note = child<QLabel>(window, "lbFindStatus");
        auto *box = child<QCheckBox>(window, "chbMatchCase");
        QCOMPARE(box->isChecked(), stored.isValid() ? stored.toBool() : true);
        QCOMPARE(note->text(), QString());
        QVERIFY(plain(field));
        // Toggled by hand with nothing typed: still nothing to say.
        box->click();
        QCOMPARE(note->text(), QString());
        QVERIFY(plain(field));

        const QRect boxPlace = box->geometry();
        const QRect fieldPlace = field->geometry();
        setQuietly(field, QStringLiteral("abc"));
        box->click();
        QCOMPARE(note->text(), QStringLiteral("Nothing to find!"));
        QVERIFY(!plain(field));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        QCOMPARE(box->geometry(), boxPlace);
        QCOMPARE(field->geometry(), fieldPlace);
        QCOMPARE(driver.texts, QStringList());
    }

    void ctrlFFocusesTheField_data()
    {
        QTest::addColumn<bool>("shownBefore"); // the panel shows at start
        QTest::newRow("panel hidden at start") << false;
        QTest::newRow("panel shown at start") << true;
    }

    // Ctrl+F that shows the panel puts the keys into the field, its text
    // selected so that the next word replaces it; Ctrl+F that hides it gives
    // them back to the results. Alt+F stays Show Files.
    void ctrlFFocusesTheField()
    {
        QFETCH(bool, shownBefore);
        QSettings().setValue(QStringLiteral("VrelGeometry/findshow"), shownBefore);
        mainWindow window;
        DialogDriver driver;
        QVERIFY(showMinutes(window, m_dir.filePath(QStringLiteral("ctrlf.mlog"))));
        auto *field = child<QLineEdit>(window, "leFind");
        auto *panel = child<QWidget>(window, "gbFind");
        QCOMPARE(panel->isVisible(), shownBefore);
        // A start moves no focus into the panel.
        QVERIFY(!field->hasFocus());
        setQuietly(field, QStringLiteral("old text"));
        currentView(window)->setFocus();
        if (shownBefore) {
            QTest::keyClick(&window, Qt::Key_F, Qt::ControlModifier);
            QVERIFY(!panel->isVisible());
        }
        QTest::keyClick(currentView(window), Qt::Key_F, Qt::ControlModifier);
        QVERIFY(panel->isVisible());
        QTRY_VERIFY(field->hasFocus());
        QCOMPARE(field->selectedText(), QStringLiteral("old text"));
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("item-00042"));
        QCOMPARE(field->text(), QStringLiteral("item-00042"));
        QCOMPARE(selectedRow(window), 42);
        // A blank is typed, not Apply.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        QCOMPARE(field->text(), QStringLiteral("item-00042 "));
        auto *showFiles = child<QAction>(window, "actionFileShow");
        const bool filesShown = showFiles->isChecked();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F, Qt::AltModifier);
        QCOMPARE(showFiles->isChecked(), !filesShown);
        QVERIFY(field->hasFocus());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F, Qt::ControlModifier);
        QVERIFY(!panel->isVisible());
        QTRY_VERIFY(currentView(window)->hasFocus());
        QCOMPARE(driver.texts, QStringList());
    }

    void goToTime_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("paste");
        QTest::addColumn<qint64>("secs"); // the time meant; -1: refused
        const auto local = [](int h, int m, int s = 0) { return QDateTime(kDay, QTime(h, m, s)).toSecsSinceEpoch(); };
        QTest::newRow("typed, whole time") << "2026-12-07 15:00:00" << false << local(15, 0);
        QTest::newRow("pasted, whole time") << "2026-12-07 15:00:00" << true << local(15, 0);
        QTest::newRow("typed, no seconds") << "2026-12-07 15:31" << false << local(15, 31);
        QTest::newRow("pasted, T and blanks") << "  2026-12-07T16:20:30  " << true << local(16, 20, 30);
        QTest::newRow("typed, seconds past a row") << "2026-12-07 14:10:01" << false << local(14, 10, 1);
        QTest::newRow("pasted, in UTC") << "2026-12-07T15:05:00Z" << true
                                        << QDateTime(kDay, QTime(15, 5), Qt::UTC).toSecsSinceEpoch();
        QTest::newRow("typed, a date alone") << "2026-12-07" << false << local(0, 0);
        QTest::newRow("typed, after the log") << "2026-12-08 00:00:00" << false
                                              << QDateTime(kDay.addDays(1), QTime(0, 0)).toSecsSinceEpoch();
        QTest::newRow("typed, a time alone") << "15:00" << false << qint64(-1);
        QTest::newRow("pasted, words") << "yesterday at noon" << true << qint64(-1);
        QTest::newRow("typed, no such day") << "2026-02-30 10:00:00" << false << qint64(-1);
        QTest::newRow("typed, nothing") << "" << false << qint64(-1);
    }

    // Ctrl+G, then a time typed or pasted over the selected prefill: the
    // first row at that time or later is shown. A text that is no time is
    // refused in the dialog, which stays open for another.
    void goToTime()
    {
        QFETCH(QString, text);
        QFETCH(bool, paste);
        QFETCH(qint64, secs);
        mainWindow window;
        QVERIFY(showMinutes(window, m_dir.filePath(QStringLiteral("goto.mlog"))));
        testModel(currentModel(window));
        currentView(window)->scrollToBottom();
        QString prefill;
        QString selected;
        QString note;
        bool stayed = false;
        QString message;
        const auto enter = [&](QLineEdit *field, const QString &what, bool byPaste) {
            if (byPaste) {
                QApplication::clipboard()->setText(what);
                QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
            } else if (what.isEmpty()) {
                QTest::keyClick(field, Qt::Key_Delete);
            } else {
                QTest::keyClicks(field, what);
            }
            QTest::keyClick(field, Qt::Key_Return);
        };
        DialogDriver driver(
            {[&](QWidget *modal) {
                 auto *field = modal->findChild<QLineEdit *>(QStringLiteral("leGoToTime"));
                 if (!field)
                     return qobject_cast<QDialog *>(modal)->reject();
                 prefill = field->text();
                 selected = field->selectedText();
                 enter(field, text, paste);
                 if (secs >= 0)
                     return;
                 // Refused: the dialog stays, and says why in itself.
                 stayed = QApplication::activeModalWidget() == modal && modal->isVisible();
                 auto *label = modal->findChild<QLabel *>(QStringLiteral("lbGoToTimeNote"));
                 note = label && label->isVisible() ? label->text() : QString();
                 field->selectAll();
                 enter(field, QStringLiteral("2026-12-07 14:30:00"), false);
             },
             DialogDriver::press(QMessageBox::Ok, &message)});
        QTest::keyClick(currentView(window), Qt::Key_G, Qt::ControlModifier);
        const bool found = secs < 0 || rowAt(secs) < kCount;
        QTRY_COMPARE(driver.done(), found ? 1 : 2);
        QCOMPARE(driver.unexpected(), 0);
        // The prefill is the time of the top row, all of it selected.
        QVERIFY2(prefill.startsWith(QStringLiteral("2026-12-07 16:")), qPrintable(prefill));
        QCOMPARE(selected, prefill);
        if (secs < 0) {
            QVERIFY(stayed);
            QVERIFY2(note.contains(text.trimmed().isEmpty() ? QStringLiteral("Type a time")
                                                            : QStringLiteral("\"%1\" is not a time").arg(text.trimmed())),
                     qPrintable(note));
            QCOMPARE(selectedRow(window), 30);
            return;
        }
        if (!found) {
            QCOMPARE(message, QStringLiteral("The current tab has no row at %1 or later.")
                                  .arg(QDateTime::fromSecsSinceEpoch(secs).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"))));
            return;
        }
        const int row = rowAt(secs);
        QCOMPARE(selectedRow(window), row);
        QCOMPARE(currentView(window)->currentIndex().row(), row);
        // The row is on screen and holds the record it should.
        const QModelIndex index = currentModel(window)->index(row, 0);
        QVERIFY(currentView(window)->viewport()->rect().intersects(currentView(window)->visualRect(index)));
        QVERIFY(index.data().toString().endsWith(QStringLiteral("item-%1").arg(row, 5, 10, QLatin1Char('0'))));
    }

    // A date alone is its first second as a start and its last as an end,
    // and the next day's first second lies just past that end.
    void endsOfADay_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("end");
        QTest::addColumn<QDateTime>("time");
        const QDate day(2026, 5, 28);
        QTest::newRow("a date as a start") << "2026-05-28" << false << QDateTime(day, QTime(0, 0));
        QTest::newRow("a date as an end") << " 2026-05-28 " << true << QDateTime(day, QTime(23, 59, 59));
        QTest::newRow("the next day as a start") << "2026-05-29" << false << QDateTime(day.addDays(1), QTime(0, 0));
        QTest::newRow("the last minute as an end") << "2026-05-28 23:59" << true << QDateTime(day, QTime(23, 59, 59));
        QTest::newRow("the last second as an end") << "2026-05-28T23:59:59" << true << QDateTime(day, QTime(23, 59, 59));
        QTest::newRow("no such day") << "2026-02-30" << true << QDateTime();
    }

    void endsOfADay()
    {
        QFETCH(QString, text);
        QFETCH(bool, end);
        QFETCH(QDateTime, time);
        QCOMPARE(TimeText::parse(text, end), time);
    }
    void openStartsInAFolderThatExists_data()
    {
        QTest::addColumn<QString>("logDir"); // under the test folder
        QTest::addColumn<QString>("start");  // the folder the dialog shows, under it
        QTest::newRow("folder exists") << "logs" << "logs";
        QTest::newRow("folder missing") << "marvok" << "";
        QTest::newRow("two levels missing") << "marvok/deeper" << "";
        QTest::newRow("missing below one that exists") << "logs/marvok" << "logs";
        QTest::newRow("a file, not a folder") << "logs/file.mlog" << "logs";
    }

    // File > Open starts in the log folder, or the nearest folder above it
    // that exists, with no name typed in.
    void openStartsInAFolderThatExists()
    {
        QFETCH(QString, logDir);
        QFETCH(QString, start);
        QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("logs")));
        QVERIFY(writeFile(m_dir.filePath(QStringLiteral("logs/file.mlog")), QByteArray("x")));
        QSettings().setValue(QStringLiteral("config/logdir"), m_dir.filePath(logDir));
        mainWindow window;
        window.show();
        QString shown;
        QString typed = QStringLiteral("(none)");
        DialogDriver driver({[&](QWidget *modal) {
            auto *files = qobject_cast<QFileDialog *>(modal);
            if (!files)
                return qobject_cast<QDialog *>(modal)->reject();
            shown = files->directory().absolutePath();
            if (auto *name = files->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
                typed = name->text();
            files->reject();
        }});
        trigger(window, "actionOpen");
        QCOMPARE(driver.done(), 1);
        QCOMPARE(shown, QDir::cleanPath(m_dir.filePath(start)));
        QCOMPARE(typed, QString());
        QCOMPARE(driver.unexpected(), 0);
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
