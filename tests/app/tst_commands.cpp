// The window's commands driven offscreen as a user would: find, save a tab's
// results in the formats of its file dialog, the log files panel and
// Refresh, recent files, and Results > Summary... (one pass with progress,
// the dialog of sortable tables, copy, Save as CSV, and cancel).
#include "apptest.h"
#include "csummarydialog.h"

#include <QClipboard>

#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

const QString kEnd = QStringLiteral("End of log reached! Found nothing else.");
const quint32 kDay = quint32(QDateTime(QDate(2024, 5, 10), QTime(1, 0)).toSecsSinceEpoch());

// "item-NNNNN", " Mark" on every fifth; user root on every fourth, else an
// id without a name; `perSecond` to a time `spacing` seconds apart.
QString writeItems(const QString &path, int count, int perSecond = 10, quint32 start = kDay, quint32 spacing = 1)
{
    return writeRecords(path, count, [=](int i, MlogRecord &record) {
        record.time = start + quint32(i / perSecond) * spacing;
        record.subject[0] = 100;
        record.subject[2] = i % 4 == 0 ? 0 : 54321;
        record.payload = QStringLiteral("item-%1%2").arg(i, 5, 10, QLatin1Char('0')).arg(i % 5 ? "" : " Mark").toUtf8();
    });
}

// The rights by which root reads any file, dropped from this thread while
// the object lives; ok() is false when they could not be dropped.
class WithoutReadOverride
{
public:
    WithoutReadOverride()
    {
        m_ok = syscall(SYS_capget, &m_header, m_saved) == 0;
        __user_cap_data_struct lowered[2] = {m_saved[0], m_saved[1]};
        lowered[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        m_ok = m_ok && syscall(SYS_capset, &m_header, lowered) == 0;
    }
    ~WithoutReadOverride() { syscall(SYS_capset, &m_header, m_saved); }
    bool ok() const { return m_ok; }

private:
    __user_cap_header_struct m_header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct m_saved[2] = {};
    bool m_ok = false;
};

// Shows `window` active with its find panel open and 40 items at `path`.
bool showItems(mainWindow &window, const QString &path)
{
    window.show();
    window.activateWindow();
    trigger(window, "actionFindShow");
    window.openLogPath(writeItems(path, 40));
    return QTest::qWaitForWindowActive(&window);
}

// 25 users (root and 24 ids without a name), 20 records each; every third
// record refused; ten records a second.
QString writeUsers(const QString &path, int count)
{
    return writeRecords(path, count, [](int i, MlogRecord &record) {
        record.time = 1780000000 + quint32(i / 10);
        record.subject[2] = i % 25 == 0 ? 0 : 54300 + quint32(i % 25);
        record.status = i % 3 == 0 ? 1 : 0;
        record.payload = "item-" + QByteArray::number(i);
    });
}

CSummaryDialog *summaryDialog(const mainWindow &window)
{
    return window.findChild<CSummaryDialog *>(QStringLiteral("summaryDialog"));
}

// The rows selected before and after are -1 for none; `message` is what a box says.
struct Find { QString text; int selected; bool forward; int found; QString message; };
// The find panel's "Match case" box, the row selected before typing (-1
// none), the texts typed one after the other and the row selected after each.
struct Typing { bool matchCase; int selected; QStringList typed; QList<int> hits; };
struct Save { QString target; bool existing; bool matchNothing; bool fails; };

} // namespace

Q_DECLARE_METATYPE(Find)
Q_DECLARE_METATYPE(Typing)
Q_DECLARE_METATYPE(Save)

class TestCommands : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void initTestCase() { startApp("vrelview-commands"); }

    void init() { clearSettings(m_dir.path() + QStringLiteral("/none")); }

    void find_data()
    {
        QTest::addColumn<Find>("row");
        const QString begin = QStringLiteral("Begin of log reached! Found nothing else.");
        QTest::newRow("one character") << Find{"M", 3, true, 3, ""};
        QTest::newRow("first row, no selection") << Find{"item-00000", -1, true, 0, ""};
        QTest::newRow("previous, no selection: last match") << Find{"Mark", -1, false, 35, ""};
        QTest::newRow("next after the last match") << Find{"Mark", 35, true, -1, kEnd};
        QTest::newRow("previous from the first row") << Find{"item", 0, false, -1, begin};
        QTest::newRow("user name column") << Find{"root", 1, true, 4, ""};
    }

    void find()
    {
        QFETCH(Find, row);
        mainWindow window;
        DialogDriver driver;
        QVERIFY(showItems(window, m_dir.filePath(QStringLiteral("find.mlog"))));
        testModel(currentModel(window));
        selectRow(window, row.selected);
        setQuietly(child<QLineEdit>(window, "leFind"), row.text);
        // F3 and Shift+F3 click the panel's buttons a moment later, as a click by mouse shows.
        QSignalSpy clicked(child<QPushButton>(window, row.forward ? "btnFwd" : "btnBwd"), &QPushButton::clicked);
        QTest::keyClick(&window, Qt::Key_F3, row.forward ? Qt::NoModifier : Qt::ShiftModifier);
        QTRY_COMPARE(clicked.count(), 1);
        QCOMPARE(driver.texts, row.message.isEmpty() ? QStringList() : QStringList(row.message));
        QCOMPARE(selectedRow(window), row.found);
        if (row.message == kEnd) {
            // Nothing selected now: the next search starts at the top again.
            child<QPushButton>(window, "btnFwd")->click();
            QCOMPARE(selectedRow(window), 0);
        }
    }

    void typingKeepsTheHit_data()
    {
        QTest::addColumn<Typing>("row");
        QTest::newRow("longer text, same hit") << Typing{true, 5, {"Ma", "Mar", "Mark"}, {5, 5, 5}};
        QTest::newRow("selected row does not match") << Typing{true, 6, {"Ma", "Mar"}, {10, 10}};
        QTest::newRow("no selection") << Typing{true, -1, {"it", "item-0001", "item-00012"}, {0, 10, 12}};
        QTest::newRow("hit no longer matches") << Typing{true, 12, {"item-0001", "item-00015"}, {12, 15}};
        QTest::newRow("case kept, differs") << Typing{true, -1, {"mark"}, {-1}};
        QTest::newRow("case ignored") << Typing{false, -1, {"iTEM-00003"}, {3}};
        QTest::newRow("case ignored, user name") << Typing{false, -1, {"ROOT"}, {0}};
        QTest::newRow("case ignored, s") << Typing{false, -1, {"ITEM-00005 MARKS"}, {-1}};
    }

    // Typing searches from the current hit on, the hit itself included; the
    // text the user typed is what counts, not the keystrokes before it. The
    // "Match case" box, checked at first, is kept with the panel's state.
    void typingKeepsTheHit()
    {
        QFETCH(Typing, row);
        const auto [matchCase, selected, typed, hits] = row;
        {
            mainWindow window;
            DialogDriver driver;
            auto *box = child<QCheckBox>(window, "chbMatchCase");
            QVERIFY(box->isChecked());
            box->setChecked(matchCase);
            window.openLogPath(writeItems(m_dir.filePath(QStringLiteral("typing.mlog")), 40));
            testModel(currentModel(window));
            selectRow(window, selected);
            for (int i = 0; i < typed.size(); ++i) {
                child<QLineEdit>(window, "leFind")->setText(typed.at(i));
                QCOMPARE(selectedRow(window), hits.at(i));
            }
            QCOMPARE(driver.texts, QStringList());
            window.saveWindowState();
        }
        QCOMPARE(QSettings().value(QStringLiteral("VrelGeometry/findcase")).toBool(), matchCase);
        mainWindow again;
        QCOMPARE(child<QCheckBox>(again, "chbMatchCase")->isChecked(), matchCase);
    }

    void typingNothingFound_data()
    {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<int>("selected"); // row selected after the keys
        QTest::newRow("case differs") << "mark 20" << -1;
        QTest::newRow("found after a miss") << "itex" << 0;
    }

    // A search started by typing that finds nothing opens no box: the keys
    // all reach the field, which turns red while the panel says why; the hit
    // found before stays selected. F3 still tells by a box.
    void typingNothingFound()
    {
        QFETCH(QString, keys);
        QFETCH(int, selected);
        mainWindow window;
        DialogDriver driver;
        QVERIFY(showItems(window, m_dir.filePath(QStringLiteral("miss.mlog"))));
        auto *find = child<QLineEdit>(window, "leFind");
        const QColor normal = find->palette().color(QPalette::Base);
        find->setFocus();
        QTest::keyClicks(find, keys);
        QCOMPARE(find->text(), keys);
        QCOMPARE(driver.texts, QStringList());
        QCOMPARE(child<QLabel>(window, "lbFindStatus")->text(), QStringLiteral("Not found"));
        QVERIFY(find->palette().color(QPalette::Base) != normal);
        QCOMPARE(selectedRow(window), selected);
        child<QPushButton>(window, "btnFwd")->click();
        QCOMPARE(driver.texts, QStringList(kEnd));
        // The field follows the text: taken back to a hit, it is plain again.
        find->setText(QStringLiteral("it"));
        QCOMPARE(child<QLabel>(window, "lbFindStatus")->text(), QString());
        QCOMPARE(find->palette().color(QPalette::Base), normal);
    }

    void nothingToFindOrSave()
    {
        mainWindow window;
        DialogDriver driver;
        driver.fileName = m_dir.filePath(QStringLiteral("never.txt"));
        // Typed: the find panel says it; F3: a box.
        child<QLineEdit>(window, "leFind")->setText(QStringLiteral("abc"));
        QCOMPARE(child<QLabel>(window, "lbFindStatus")->text(), QStringLiteral("Nothing to find!"));
        child<QPushButton>(window, "btnFwd")->click();
        trigger(window, "actionResultsSave");
        trigger(window, "actionNewTab");
        // A tab that never showed results: no file dialog, nothing written.
        trigger(window, "actionResultsSave");
        QCOMPARE(driver.texts, QStringList({"Nothing to find!", "Nothing to save!", "Nothing to save!"}));
        QCOMPARE(driver.fileDialogs, 0);
        QVERIFY(!window.isBusy() && !QFile::exists(driver.fileName));
    }

    void save_data()
    {
        QTest::addColumn<Save>("row");
        // A write that fails over an existing file keeps it: tst_savetarget.
        QTest::newRow("whole result") << Save{"out.txt", false, false, false};
        QTest::newRow("empty result") << Save{"out.txt", true, true, false};
        QTest::newRow("path that cannot be written") << Save{"missing folder/out.txt", false, false, true};
    }

    void save()
    {
        QFETCH(Save, row);
        const auto [target, existing, matchNothing, fails] = row;
        const QString path = m_dir.filePath(target);
        const QByteArray before("kept unless saved\n");
        QVERIFY(QFile::remove(path) || !QFile::exists(path));
        QVERIFY(!existing || writeFile(path, before));
        mainWindow window;
        const auto unfiltered = qScopeGuard([] { filterList().first()->setLists({}); });
        window.show();
        DialogDriver driver;
        window.openLogPath(writeItems(m_dir.filePath(QStringLiteral("find.mlog")), 5000));
        if (matchNothing) {
            filterList().first()->setLists({{}, {}, {}, {}, {}, {QStringLiteral("no such text")}});
            trigger(window, "actionResults");
        }
        driver.fileName = path;
        QSignalSpy progressMaximum(currentModel(window), &CStringListModel::valueMaximum);
        trigger(window, "actionResultsSave");
        QCOMPARE(driver.fileDialogs, 1);
        QVERIFY(idle(window));
        if (!fails) {
            QCOMPARE(driver.texts, QStringList());
            QCOMPARE(progressMaximum.count(), 1);
            QCOMPARE(readAll(path), savedRows(window));
            QCOMPARE(readAll(path).isEmpty(), matchNothing);
            QCOMPARE(window.statusBar()->currentMessage(), QStringLiteral("Results saved as text: ") + path);
            return;
        }
        // The file dialog may make its own absolute path of a folder that does not exist.
        const QString warning = driver.texts.value(0);
        QVERIFY2(driver.texts.size() == 1 && warning.startsWith(QStringLiteral("Can't save file - "))
                     && warning.contains(QStringLiteral("out.txt\n")), qPrintable(warning));
        QVERIFY(!QFile::exists(path));
        QVERIFY(!window.statusBar()->currentMessage().startsWith(QStringLiteral("Results saved")));
    }

    void saveFormats_data()
    {
        QTest::addColumn<QString>("nameFilter"); // "" leaves the dialog's first
        QTest::addColumn<QString>("name");       // typed
        QTest::addColumn<QString>("written");    // the file's name
        QTest::addColumn<QString>("format");     // as the message names it
        QTest::newRow("all files: text, bare name kept") << QString() << "a" << "a" << "text";
        QTest::newRow("all files: text whatever the name") << QString() << "g.csv" << "g.csv" << "text";
        QTest::newRow("all files chosen, jsonl named") << "All files (*)" << "f.jsonl" << "f.jsonl" << "text";
        QTest::newRow("text chosen, bare name") << "Text (*.txt)" << "h" << "h.txt" << "text";
        QTest::newRow("csv chosen, bare name") << "CSV (*.csv)" << "b" << "b.csv" << "CSV";
        QTest::newRow("json lines chosen, bare name") << "JSON Lines (*.jsonl)" << "c" << "c.jsonl" << "JSON Lines";
        QTest::newRow("csv chosen, a name ending in a dot") << "CSV (*.csv)" << "k." << "k.csv" << "CSV";
        QTest::newRow("json lines chosen, its extension") << "JSON Lines (*.jsonl)" << "i.jsonl" << "i.jsonl"
                                                          << "JSON Lines";
        QTest::newRow("text chosen wins over a typed csv") << "Text (*.txt)" << "d.csv" << "d.csv" << "text";
        QTest::newRow("csv chosen wins over a typed txt") << "CSV (*.csv)" << "e.TXT" << "e.TXT" << "CSV";
        QTest::newRow("csv chosen, another extension kept") << "CSV (*.csv)" << "j.2026" << "j.2026" << "CSV";
    }

    // "All files" comes first and writes the text of the rows under any
    // name; a format chosen is the one written, its extension added to a
    // bare name; the status bar names the format.
    void saveFormats()
    {
        QFETCH(QString, nameFilter);
        QFETCH(QString, name);
        QFETCH(QString, written);
        QFETCH(QString, format);
        const QString path = m_dir.filePath(name);
        mainWindow window;
        window.show();
        window.openLogPath(writeItems(m_dir.filePath(QStringLiteral("export.mlog")), 500));
        QStringList filters;
        QString chosen;
        DialogDriver driver({[&](QWidget *modal) {
            auto *files = qobject_cast<QFileDialog *>(modal);
            filters = files ? files->nameFilters() : QStringList();
            if (!files)
                return;
            if (!nameFilter.isEmpty())
                files->selectNameFilter(nameFilter);
            chosen = files->selectedNameFilter();
            if (QWidget *focus = files->focusWidget())
                focus->clearFocus();
            files->selectFile(path);
            QTRY_COMPARE(files->selectedFiles().value(0), path);
            static_cast<QDialog *>(files)->accept();
        }});
        trigger(window, "actionResultsSave");
        QCOMPARE(filters, QStringList({"All files (*)", "Text (*.txt)", "CSV (*.csv)", "JSON Lines (*.jsonl)"}));
        QCOMPARE(chosen, nameFilter.isEmpty() ? filters.value(0) : nameFilter);
        QCOMPARE(driver.texts, QStringList());
        const QString target = m_dir.filePath(written);
        QCOMPARE(window.statusBar()->currentMessage(), QStringLiteral("Results saved as %1: %2").arg(format, target));
        QVERIFY(written == name || !QFile::exists(path));
        const QByteArray saved = readAll(target);
        const QByteArray rows = savedRows(window);
        if (format == QLatin1String("text")) {
            QCOMPARE(saved, rows);
        } else {
            QVERIFY2(saved.startsWith(format == QLatin1String("CSV") ? "user,time,kind," : "{\"user\":\"root\","),
                     saved.left(80).constData());
            QCOMPARE(saved.count('\n'), rows.count('\n') + (format == QLatin1String("CSV") ? 1 : 0));
        }
        QFile::remove(target);
    }
    // A run cancelled early: saving still writes its whole range; a save
    // cancelled writes whole blocks only, and Apply is refused meanwhile.
    void saveCancelled()
    {
        mainWindow window;
        window.show();
        DialogDriver driver;
        // Three records a second, so that blocks end at every third row.
        const QString log = writeItems(m_dir.filePath(QStringLiteral("cancel.mlog")), 300000, 3);
        bool cancelRun = true;
        QTimer poll;
        whileBusy(poll, window, [&] {
            if (cancelRun && currentModel(window)->rowCount() > 0) {
                trigger(window, "actionCancel");
            } else if (!cancelRun && cancelButton(window)) {
                trigger(window, "actionResults");
                cancelButton(window)->click();
                return true;
            }
            return false;
        });
        window.openLogPath(log);
        CStringListModel *model = currentModel(window);
        QVERIFY(model->isCancelled() && model->rowCount() < 300000);
        cancelRun = false;
        driver.fileName = m_dir.filePath(QStringLiteral("cancelled.txt"));
        trigger(window, "actionResultsSave");
        QVERIFY(!poll.isActive());
        QCOMPARE(driver.texts, QStringList({"Another process in progress.\nPlease, wait for finished!"}));
        QVERIFY(model->isCancelled());
        const QByteArray saved = readAll(driver.fileName);
        const QByteArray all = savedRows(window);
        QVERIFY(!saved.isEmpty() && saved.size() < all.size() && all.startsWith(saved));
        QCOMPARE(saved.count('\n') % 3, 0);
        QVERIFY(window.statusBar()->currentMessage().startsWith(QStringLiteral("Saving cancelled")));
        // Saved again to the end: every row of the range, beyond those counted.
        QFile::remove(driver.fileName);
        trigger(window, "actionResultsSave");
        QCOMPARE(readAll(driver.fileName), all);
        QCOMPARE(all.count('\n'), 300000);
        QVERIFY(!window.isBusy());
    }

    void filesPanel()
    {
        QTemporaryDir folder;
        const auto path = [&](const char *name) { return folder.filePath(QLatin1String(name)); };
        writeItems(path("kernel.mlog"), 50, 10, kDay - 2 * 86400, 43200);
        writeItems(path("kernel-index.mlog"), 50);
        writeItems(path("sameday.mlog"), 30, 1);
        writeItems(path("name with blanks.mlog"), 30, 1);
        QVERIFY(writeFile(path("x.mlog"), "1234567") && writeFile(path("y.mlog"), "12345678"));
        // Neither a FIFO nor a link to one may hold up the fill.
        QCOMPARE(mkfifo(QFile::encodeName(path("pipe.mlog")).constData(), 0600), 0);
        QVERIFY(QFile::link(path("pipe.mlog"), path("link.mlog")));
        QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("dir.mlog")));
        QSettings().setValue(QStringLiteral("config/logdir"), folder.path());
        mainWindow window;
        DialogDriver driver;
        auto *table = child<QTableWidget>(window, "twFiles");
        QTRY_COMPARE(table->rowCount(), 4);
        QStringList names;
        for (int row = 0; row < table->rowCount(); ++row)
            names << table->item(row, 0)->text();
        QCOMPARE(names, QStringList({"kernel.mlog", "name with blanks.mlog", "sameday.mlog", "y.mlog"}));
        // Refresh without a tab: the table is rebuilt and no log is read.
        writeItems(path("z.mlog"), 10);
        QSignalSpy reads(window.logReader(), &CLog::valueMaximum);
        trigger(window, "actionRefresh");
        QCOMPARE(table->rowCount(), 5);
        QCOMPARE(reads.count(), 0);
        const QString nbsp(QChar(0x00A0));
        const auto at = [&](quint32 secs, const char *format) {
            return nbsp + QDateTime::fromSecsSinceEpoch(secs).toString(QLatin1String(format));
        };
        QCOMPARE(table->item(0, 1)->text(), at(kDay - 2 * 86400, "yyyy-MM-dd\nhh:mm:ss"));
        QCOMPARE(table->item(2, 2)->text(), at(kDay + 29, "hh:mm:ss"));
        QCOMPARE(table->item(3, 2)->text(), nbsp + QStringLiteral("<Unknown>"));
        QCOMPARE(table->item(3, 3)->text(), QStringLiteral("8 bytes"));
        // A click on any cell opens the row's log; its row stays selected after a refill.
        window.show();
        table->scrollTo(table->model()->index(1, 3));
        QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, table->visualRect(table->model()->index(1, 3)).center());
        QCOMPARE(window.logReader()->logPath(), path("name with blanks.mlog"));
        QCOMPARE(currentModel(window)->rowCount(), 30);
        window.fillLogFiles(QDir(folder.path()));
        QCOMPARE(table->selectionModel()->selectedRows().value(0).row(), 1);
        // A log outside the folder, named as one in it: no row selected;
        // Refresh reads that very log again and shows what it gained.
        QTemporaryDir outside;
        const QString far = writeItems(outside.filePath(QStringLiteral("kernel.mlog")), 30);
        window.openLogPath(far);
        QVERIFY(!writeItems(far, 45).isEmpty() && setFileTime(far, QDateTime::currentDateTime().addSecs(10)));
        trigger(window, "actionRefresh");
        QCOMPARE(currentModel(window)->rowCount(), 45);
        QVERIFY(table->selectionModel()->selectedRows().isEmpty());
        QCOMPARE(driver.texts, QStringList());
    }

    // Unreadable logs give one warning per fill that names them all, not a
    // box per log.
    void filesPanelUnreadable()
    {
        QTemporaryDir folder;
        for (const char *name : {"a.mlog", "b.mlog", "c.mlog"})
            writeItems(folder.filePath(QLatin1String(name)), 10);
        for (const char *name : {"b.mlog", "c.mlog"})
            QVERIFY(QFile::setPermissions(folder.filePath(QLatin1String(name)), QFileDevice::WriteOwner));
        mainWindow window;
        DialogDriver driver;
        WithoutReadOverride unprivileged;
        if (!unprivileged.ok() && geteuid() == 0)
            QSKIP("root reads every file here");
        window.fillLogFiles(QDir(folder.path()));
        QCOMPARE(child<QTableWidget>(window, "twFiles")->rowCount(), 1);
        QTRY_COMPARE(driver.texts.size(), 1);
        QVERIFY(driver.texts.first().endsWith(QStringLiteral(":\nb.mlog\nc.mlog")));
    }

    void fifoIsRefused_data()
    {
        QTest::addColumn<bool>("atStart");
        QTest::newRow("configured to open at start") << true;
        QTest::newRow("File > Open") << false;
    }

    // A FIFO named like a log is refused at once, with the warning of a file
    // that cannot be opened; opening it would wait for a writer forever.
    void fifoIsRefused()
    {
        QFETCH(bool, atStart);
        QTemporaryDir folder;
        const QString fifo = folder.filePath(QStringLiteral("kernel.mlog"));
        QCOMPARE(mkfifo(QFile::encodeName(fifo).constData(), 0644), 0);
        if (atStart)
            setConfig({{"logfile", fifo}, {"autoopen", true}, {"autofilter", true}});
        alarm(60); // a hang fails the test instead of blocking the run
        mainWindow window;
        DialogDriver driver;
        driver.fileName = fifo;
        if (!atStart)
            trigger(window, "actionOpen");
        QTRY_COMPARE(driver.texts.size(), 1);
        alarm(0);
        QCOMPARE(driver.texts.first(), QStringLiteral("Can't open file - ") + fifo);
        QCOMPARE(driver.fileDialogs, atStart ? 0 : 1);
        QCOMPARE(window.logReader()->logPath(), QString());
        QCOMPARE(resultTabs(window)->count(), 0);
    }

    void recentFiles()
    {
        QTemporaryDir folder;
        QStringList paths;
        {
            mainWindow window;
            for (int i = 1; i <= 10; ++i) {
                paths << writeItems(folder.filePath(QStringLiteral("log%1.mlog").arg(i)), 5);
                window.openLogPath(paths.last());
            }
            // The tenth drops the first; opening a listed log again changes nothing.
            window.openLogPath(paths.at(4));
            // The stored list separates paths with ";": a path holding one
            // opens, but never joins the list, where it would read back as
            // other paths.
            const QString odd = writeItems(folder.filePath(QStringLiteral("a;b.mlog")), 5);
            QVERIFY(!odd.isEmpty());
            window.openLogPath(odd);
            QCOMPARE(window.logReader()->logPath(), odd);
        }
        QCOMPARE(QSettings().value(QStringLiteral("recentFiles")).toString(), paths.mid(1).join(QLatin1Char(';')) + QLatin1Char(';'));
        mainWindow window;
        const QList<QAction *> actions = child<QMenu>(window, "menuFile")->actions();
        QVERIFY(actions.at(actions.size() - 10)->isSeparator());
        QAction *third = actions.at(actions.size() - 7);
        QCOMPARE(third->text(), QStringLiteral("3 log4.mlog"));
        QCOMPARE(third->shortcut(), QKeySequence(QStringLiteral("Alt+3")));
        third->trigger();
        QCOMPARE(window.logReader()->logPath(), paths.at(3));
    }

    void summaryShowsCopiesAndSaves()
    {
        mainWindow window;
        window.show();
        window.openLogPath(writeUsers(m_dir.filePath(QStringLiteral("summary.mlog")), 500));
        QSignalSpy progress(currentModel(window), &CStringListModel::valueMaximum);
        trigger(window, "actionSummary");
        QCOMPARE(progress.count(), 1);
        QVERIFY(!window.isBusy());
        CSummaryDialog *dialog = summaryDialog(window);
        QVERIFY(dialog && dialog->isVisible() && !dialog->isModal());
        for (int t = 0; t < ResultSummary::tableCount; ++t) {
            testModel(dialog->table(ResultSummary::Table(t))->model());
            QCOMPARE(dialog->table(ResultSummary::Table(t))->accessibleName(), ResultSummary::title(ResultSummary::Table(t)));
        }

        auto *tabs = child<QTabWidget>(*dialog, "twSummary");
        tabs->setCurrentIndex(ResultSummary::Statuses);
        QCOMPARE(dialog->selectedText(), QStringLiteral("Status\tRecords\nsuccess\t333\nrefusal\t167\n"));

        // Sorted by any column either way, "other" (five users) stays last.
        tabs->setCurrentIndex(ResultSummary::Users);
        QTableView *users = dialog->table(ResultSummary::Users);
        QCOMPARE(users->model()->rowCount(), 21);
        for (const Qt::SortOrder order : {Qt::DescendingOrder, Qt::AscendingOrder}) {
            for (int column = 0; column < 3; ++column) {
                users->sortByColumn(column, order);
                QCOMPARE(users->model()->index(20, 0).data().toString(), QStringLiteral("other"));
                QCOMPARE(users->model()->index(20, 1).data().toInt(), 100);
            }
        }
        users->sortByColumn(0, Qt::AscendingOrder);
        QCOMPARE(users->model()->index(0, 0).data().toString(), QStringLiteral("54301"));

        // Ctrl+C: the selected cells as tab-separated lines.
        users->selectionModel()->select(users->model()->index(0, 0), QItemSelectionModel::Select);
        users->selectionModel()->select(users->model()->index(1, 2), QItemSelectionModel::Select);
        users->setFocus();
        QTest::keyClick(users, Qt::Key_C, Qt::ControlModifier);
        const QString refusals = users->model()->index(1, 2).data().toString();
        QCOMPARE(QApplication::clipboard()->text(), "54301\t\t\n\t\t" + refusals + "\n");

        // Save as CSV: every table, whole; a folder that is not there gets a
        // warning and no file.
        ResultSummary summary;
        QCOMPARE(summarizeRows(currentModel(window), &summary), SummaryEnd::Done);
        for (const QString &name : {QStringLiteral("summary.csv"), QStringLiteral("missing/summary.csv")}) {
            const QString path = m_dir.filePath(name);
            DialogDriver driver;
            driver.fileName = path;
            child<QPushButton>(*dialog, "btnSummarySave")->click();
            QCOMPARE(driver.fileDialogs, 1);
            QCOMPARE(readAll(path), name.contains('/') ? QByteArray() : summary.toCsv());
            QCOMPARE(driver.texts.size(), name.contains('/') ? 1 : 0);
        }
        dialog->close();
        QTRY_VERIFY(!summaryDialog(window));
    }

    // Cancel (Esc) during the summary's pass: no dialog, and the status bar says so.
    void summaryCancelSaysSo()
    {
        mainWindow window;
        window.show();
        window.openLogPath(writeUsers(m_dir.filePath(QStringLiteral("cancel.mlog")), 20000));
        connect(currentModel(window), &CStringListModel::valueChanged, &window,
                [&window] { child<QAction>(window, "actionCancel")->trigger(); });
        trigger(window, "actionSummary");
        QVERIFY(!window.isBusy());
        QVERIFY(!summaryDialog(window));
        QCOMPARE(window.statusBar()->currentMessage(), QStringLiteral("Summary cancelled."));
    }
};

QTEST_MAIN(TestCommands)
#include "tst_commands.moc"
