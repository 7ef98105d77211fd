// The window's commands driven offscreen as a user would: find in a tab,
// save a tab's results, the log files panel and Refresh, recent files and
// window state, and the Options dialog, with their dialogs answered.
#include "clog.h"
#include "csettingswindow.h"
#include "cstringlistmodel.h"
#include "dialogdriver.h"
#include "filtermatch.h"
#include "iconfallback.h"
#include "mainwindow.h"
#include "mlogwriter.h"

#include <QAbstractItemModelTester>
#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <linux/capability.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

const QString kEnd = QStringLiteral("End of log reached! Found nothing else.");
const QString kBegin = QStringLiteral("Begin of log reached! Found nothing else.");

quint32 dayStart()
{
    return quint32(QDateTime(QDate(2024, 5, 10), QTime(1, 0)).toSecsSinceEpoch());
}

// `count` records, `perSecond` to a time `spacing` seconds apart from
// `start`: "item-NNNNN", with " Mark" on every fifth; user root on every
// fourth, else an id without a name.
QString writeItems(const QString &path, int count, int perSecond = 10, quint32 start = dayStart(),
                   quint32 spacing = 1)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return QString();
    for (int i = 0; i < count; ++i) {
        MlogRecord record;
        record.time = start + quint32(i / perSecond) * spacing;
        record.subject[0] = 100;
        record.subject[2] = i % 4 == 0 ? 0 : 54321;
        record.kind = 2;
        record.payload = QStringLiteral("item-%1%2").arg(i, 5, 10, QLatin1Char('0')).arg(i % 5 ? "" : " Mark").toUtf8();
        file.write(encodeRecord(record));
    }
    return path;
}

template <typename T>
T *child(QWidget &window, const char *name)
{
    return window.findChild<T *>(QLatin1String(name));
}

QAbstractItemView *currentView(mainWindow &window)
{
    return qobject_cast<QAbstractItemView *>(child<QTabWidget>(window, "twLogResult")->currentWidget());
}

CStringListModel *currentModel(mainWindow &window)
{
    QAbstractItemView *view = currentView(window);
    return view ? qobject_cast<CStringListModel *>(view->model()) : nullptr;
}

int selectedRow(mainWindow &window)
{
    const QModelIndexList rows = currentView(window)->selectionModel()->selectedIndexes();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void trigger(mainWindow &window, const char *action)
{
    child<QAction>(window, action)->trigger();
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Every row of the current tab's range, as lines of UTF-8.
QByteArray savedForm(mainWindow &window)
{
    CStringListModel *model = currentModel(window);
    QByteArray bytes;
    model->log()->forEachBlock(model->firstBlock(), model->lastBlock(), [&](int, const QStringList &texts) {
        for (const QString &row : filterRows(model->filter()->matcher(), texts))
            bytes += row.toUtf8() + '\n';
        return true;
    });
    return bytes;
}

// The rights by which root reads any file, dropped from this thread for as
// long as the object lives; false when they could not be dropped.
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

} // namespace

class TestCommands : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void find_data();
    void find();
    void findByTypingAndFar();
    void nothingToFindOrSave();
    void save_data();
    void save();
    void saveCancelled();
    void filesPanel();
    void filesPanelUnreadable();
    void fifoIsRefused_data();
    void fifoIsRefused();
    void filesPanelClick_data();
    void filesPanelClick();
    void refresh();
    void recentFiles();
    void options();

private:
    QTemporaryDir m_dir;
};

void TestCommands::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QStringLiteral("vrel-test"));
    QCoreApplication::setApplicationName(QStringLiteral("vrelview-commands"));
    QVERIFY(m_dir.isValid());
    ensureIconTheme();
}

void TestCommands::init()
{
    QSettings().clear();
    QSettings().setValue(QStringLiteral("config/logdir"), m_dir.path() + QStringLiteral("/none"));
}

void TestCommands::find_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("selected"); // row selected before; -1 none
    QTest::addColumn<bool>("forward");
    QTest::addColumn<int>("found"); // row selected after; -1 none
    QTest::addColumn<QString>("message");
    QTest::newRow("one character") << "M" << 3 << true << -1 << "";
    QTest::newRow("first row, no selection") << "item-00000" << -1 << true << 0 << "";
    QTest::newRow("previous, no selection: last match") << "Mark" << -1 << false << 35 << "";
    QTest::newRow("next after the last match") << "Mark" << 35 << true << -1 << kEnd;
    QTest::newRow("previous from a match") << "Mark" << 10 << false << 5 << "";
    QTest::newRow("previous from the first row") << "item" << 0 << false << -1 << kBegin;
    QTest::newRow("user name column") << "root" << 1 << true << 4 << "";
    QTest::newRow("case differs") << "mark" << -1 << true << -1 << kEnd;
}

void TestCommands::find()
{
    QFETCH(QString, text);
    QFETCH(int, selected);
    QFETCH(bool, forward);
    QFETCH(int, found);
    QFETCH(QString, message);
    mainWindow window;
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    DialogDriver driver;
    // F3 and Shift+F3 are the keys of the find panel's buttons.
    trigger(window, "actionFindShow");
    window.openLogPath(writeItems(m_dir.filePath(QStringLiteral("find.mlog")), 40));
    CStringListModel *model = currentModel(window);
    QVERIFY(model);
    QAbstractItemModelTester tester(model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QAbstractItemView *view = currentView(window);
    if (selected >= 0)
        view->selectionModel()->select(model->index(selected, 0), QItemSelectionModel::Select);
    {
        const QSignalBlocker typing(child<QLineEdit>(window, "leFind"));
        child<QLineEdit>(window, "leFind")->setText(text);
    }
    // The key clicks its button a moment later, as a click by mouse shows.
    QSignalSpy clicked(child<QPushButton>(window, forward ? "btnFwd" : "btnBwd"), &QPushButton::clicked);
    QTest::keyClick(&window, Qt::Key_F3, forward ? Qt::NoModifier : Qt::ShiftModifier);
    QTRY_COMPARE(clicked.count(), 1);
    QCOMPARE(driver.texts, message.isEmpty() ? QStringList() : QStringList(message));
    QCOMPARE(selectedRow(window), text.size() < 2 ? selected : found);
    if (found >= 0)
        QVERIFY(model->index(found, 0).data().toString().contains(text));
    if (message == kEnd) {
        // Nothing selected now: the next search starts at the top again.
        child<QPushButton>(window, "btnFwd")->click();
        QCOMPARE(selectedRow(window), text == QLatin1String("Mark") ? 0 : -1);
    }
}

void TestCommands::findByTypingAndFar()
{
    mainWindow window;
    window.resize(900, 600);
    window.show();
    DialogDriver driver;
    window.openLogPath(writeItems(m_dir.filePath(QStringLiteral("far.mlog")), 30000, 100));
    QAbstractItemView *view = currentView(window);
    CStringListModel *model = currentModel(window);
    QTRY_VERIFY(view->verticalScrollBar()->maximum() > 29000);
    // Each keystroke searches on from the row the shorter text found.
    auto *find = child<QLineEdit>(window, "leFind");
    QTest::keyClicks(find, QStringLiteral("ite"));
    QCOMPARE(selectedRow(window), 1);
    // A hit far down is scrolled to the top of the view and its rows loaded.
    find->setText(QStringLiteral("item-29990"));
    QCOMPARE(selectedRow(window), 29990);
    QVERIFY(view->verticalScrollBar()->value() > 29000);
    QVERIFY(model->index(29990, 0).data().toString().contains(QStringLiteral("item-29990")));
    view->selectionModel()->clearSelection();
    child<QPushButton>(window, "btnBwd")->click();
    QCOMPARE(selectedRow(window), 29990);
    QCOMPARE(driver.texts, QStringList());
}

void TestCommands::nothingToFindOrSave()
{
    mainWindow window;
    DialogDriver driver;
    driver.fileName = m_dir.filePath(QStringLiteral("never.txt"));
    child<QLineEdit>(window, "leFind")->setText(QStringLiteral("abc"));
    trigger(window, "actionResultsSave");
    trigger(window, "actionNewTab");
    // A tab that never showed results: no file dialog, nothing written.
    trigger(window, "actionResultsSave");
    QCOMPARE(driver.texts, QStringList({"Nothing to find!", "Nothing to save!", "Nothing to save!"}));
    QCOMPARE(driver.fileDialogs, 0);
    QVERIFY(!window.isBusy());
    QVERIFY(!QFile::exists(driver.fileName));
}

void TestCommands::save_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("existing");
    QTest::addColumn<bool>("matchNothing");
    QTest::addColumn<qint64>("sizeLimit");
    QTest::addColumn<QString>("warning"); // the start of the warning; empty: saved
    QTest::newRow("whole result") << "out.txt" << false << false << qint64(0) << "";
    QTest::newRow("existing file") << "out.txt" << true << false << qint64(0) << "";
    QTest::newRow("empty result") << "out.txt" << true << true << qint64(0) << "";
    QTest::newRow("path that cannot be written") << "missing folder/out.txt" << false << false << qint64(0)
                                                 << "Can't save file - ";
    QTest::newRow("file-size limit") << "out.txt" << true << false << qint64(16384) << "Can't save file - ";
}

void TestCommands::save()
{
    QFETCH(QString, target);
    QFETCH(bool, existing);
    QFETCH(bool, matchNothing);
    QFETCH(qint64, sizeLimit);
    QFETCH(QString, warning);
    const QString path = m_dir.filePath(target);
    QFile::remove(path);
    const QByteArray before("kept unless saved\n");
    if (existing) {
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(before);
    }
    mainWindow window;
    window.show();
    DialogDriver driver;
    window.openLogPath(writeItems(m_dir.filePath(QStringLiteral("find.mlog")), 5000));
    if (matchNothing) {
        filterList().first()->setLists({{}, {}, {}, {}, {}, {QStringLiteral("no such text")}});
        trigger(window, "actionResults");
    }
    driver.fileName = path;
    struct rlimit saved;
    getrlimit(RLIMIT_FSIZE, &saved);
    if (sizeLimit > 0) {
        struct rlimit limit = saved;
        limit.rlim_cur = rlim_t(sizeLimit);
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &limit), 0);
    }
    QSignalSpy progressMaximum(currentModel(window), &CStringListModel::valueMaximum);
    trigger(window, "actionResultsSave");
    setrlimit(RLIMIT_FSIZE, &saved);
    QCOMPARE(driver.fileDialogs, 1);
    QVERIFY(!window.isBusy());
    QVERIFY(window.statusBar()->findChildren<QProgressBar *>().isEmpty());
    if (warning.isEmpty()) {
        QCOMPARE(driver.texts, QStringList());
        QCOMPARE(progressMaximum.count(), 1);
        QCOMPARE(readAll(path), savedForm(window));
        QCOMPARE(readAll(path).isEmpty(), matchNothing);
        QCOMPARE(window.statusBar()->currentMessage(), QStringLiteral("Results saved: ") + path);
    } else {
        QCOMPARE(driver.texts.size(), 1);
        // The file dialog may make its own absolute path of a folder that
        // does not exist.
        QVERIFY2(driver.texts.first().startsWith(warning) && driver.texts.first().contains(QStringLiteral("out.txt\n")),
                 qPrintable(driver.texts.first()));
        QCOMPARE(readAll(path), existing ? before : QByteArray());
        // Nothing of the attempt is left beside it.
        QCOMPARE(QDir(QFileInfo(path).path()).entryList({QStringLiteral("out.txt*")}).size(), existing ? 1 : 0);
        QVERIFY(!window.statusBar()->currentMessage().startsWith(QStringLiteral("Results saved")));
    }
    filterList().first()->setLists({});
}

void TestCommands::saveCancelled()
{
    // Three records a second, so that blocks end at every third row.
    mainWindow window;
    window.show();
    DialogDriver driver;
    const QString log = writeItems(m_dir.filePath(QStringLiteral("cancel.mlog")), 300000, 3);
    // A run cancelled early: saving still writes its whole range.
    bool cancelRun = true;
    QTimer poll;
    connect(&poll, &QTimer::timeout, &window, [&] {
        CStringListModel *model = currentModel(window);
        if (!model || !window.isBusy() || QApplication::activeModalWidget())
            return;
        const QList<QPushButton *> buttons = window.statusBar()->findChildren<QPushButton *>();
        if (cancelRun && model->rowCount() > 0) {
            window.findChild<QAction *>(QStringLiteral("actionCancel"))->trigger();
        } else if (!cancelRun && !buttons.isEmpty()) {
            // While saving, Apply is refused; then the cancel button stops the save.
            trigger(window, "actionResults");
            buttons.last()->click();
            poll.stop();
        }
    });
    poll.start(5);
    window.openLogPath(log);
    CStringListModel *model = currentModel(window);
    QVERIFY(model->isCancelled());
    QVERIFY(model->rowCount() < 300000);
    cancelRun = false;
    driver.fileName = m_dir.filePath(QStringLiteral("cancelled.txt"));
    trigger(window, "actionResultsSave");
    QVERIFY(!poll.isActive());
    QCOMPARE(driver.texts, QStringList({"Another process in progress.\nPlease, wait for finished!"}));
    QVERIFY(model->isCancelled());
    const QByteArray saved = readAll(driver.fileName);
    const QByteArray all = savedForm(window);
    QVERIFY(!saved.isEmpty() && saved.size() < all.size());
    QVERIFY(all.startsWith(saved));
    QCOMPARE(saved.count('\n') % 3, 0);
    QVERIFY(window.statusBar()->currentMessage().startsWith(QStringLiteral("Saving cancelled")));

    // Saved again to the end: every row of the range, beyond those counted.
    QFile::remove(driver.fileName);
    trigger(window, "actionResultsSave");
    QCOMPARE(readAll(driver.fileName), all);
    QCOMPARE(all.count('\n'), 300000);
    QVERIFY(!window.isBusy());
}

void TestCommands::filesPanel()
{
    QTemporaryDir folder;
    const quint32 t = dayStart();
    writeItems(folder.filePath(QStringLiteral("kernel.mlog")), 50, 10, t - 2 * 86400, 43200);
    writeItems(folder.filePath(QStringLiteral("kernel-index.mlog")), 50);
    writeItems(folder.filePath(QStringLiteral("sameday.mlog")), 30, 1, t);
    writeItems(folder.filePath(QStringLiteral("name with blanks.mlog")), 30, 1, t);
    QFile seven(folder.filePath(QStringLiteral("x.mlog")));
    QVERIFY(seven.open(QIODevice::WriteOnly) && seven.write("1234567") == 7);
    seven.close();
    QFile eight(folder.filePath(QStringLiteral("y.mlog")));
    QVERIFY(eight.open(QIODevice::WriteOnly) && eight.write("12345678") == 8);
    eight.close();
    // Neither a FIFO nor a link to one may hold up the fill.
    QCOMPARE(mkfifo(QFile::encodeName(folder.filePath(QStringLiteral("pipe.mlog"))).constData(), 0600), 0);
    QVERIFY(QFile::link(folder.filePath(QStringLiteral("pipe.mlog")), folder.filePath(QStringLiteral("link.mlog"))));
    QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("dir.mlog")));
    QSettings().setValue(QStringLiteral("config/logdir"), folder.path());

    mainWindow window;
    DialogDriver driver;
    auto *table = child<QTableWidget>(window, "twFiles");
    // The start step fills the panel.
    QTRY_COMPARE(table->rowCount(), 4);
    QCOMPARE(driver.texts, QStringList());
    QStringList names;
    for (int row = 0; row < table->rowCount(); ++row)
        names << table->item(row, 0)->text();
    QCOMPARE(names, QStringList({"kernel.mlog", "name with blanks.mlog", "sameday.mlog", "y.mlog"}));
    const QString nbsp(QChar(0x00A0));
    const auto at = [](quint32 secs, const char *format) {
        return QDateTime::fromSecsSinceEpoch(secs).toString(QLatin1String(format));
    };
    QCOMPARE(table->item(0, 1)->text(), nbsp + at(t - 2 * 86400, "yyyy-MM-dd\nhh:mm:ss"));
    QCOMPARE(table->item(0, 2)->text(), nbsp + at(t, "yyyy-MM-dd\nhh:mm:ss"));
    QCOMPARE(table->item(2, 2)->text(), nbsp + at(t + 29, "hh:mm:ss"));
    QCOMPARE(table->item(3, 1)->text(), nbsp + QStringLiteral("<Unknown>"));
    QCOMPARE(table->item(3, 2)->text(), nbsp + QStringLiteral("<Unknown>"));
    QCOMPARE(table->item(3, 3)->text(), QStringLiteral("8 bytes"));
    QCOMPARE(table->item(0, 3)->text(), mainWindow::sizeToString(QFileInfo(folder.filePath("kernel.mlog")).size()));
    QCOMPARE(table->item(0, 0)->data(Qt::TextAlignmentRole).toInt(), int(Qt::AlignVCenter));
    QCOMPARE(table->item(0, 1)->data(Qt::TextAlignmentRole).toInt(), int(Qt::AlignCenter));

    // The row of the log opened is selected, and stays so after a refill.
    window.openLogPath(folder.filePath(QStringLiteral("name with blanks.mlog")));
    QCOMPARE(table->selectionModel()->selectedRows().value(0).row(), 1);
    window.fillLogFiles(QDir(folder.path()));
    QCOMPARE(table->selectionModel()->selectedRows().value(0).row(), 1);
}

void TestCommands::filesPanelUnreadable()
{
    QTemporaryDir folder;
    writeItems(folder.filePath(QStringLiteral("a.mlog")), 10);
    for (const char *name : {"b.mlog", "c.mlog"}) {
        writeItems(folder.filePath(QLatin1String(name)), 10);
        QVERIFY(QFile::setPermissions(folder.filePath(QLatin1String(name)), QFileDevice::WriteOwner));
    }
    mainWindow window;
    DialogDriver driver;
    WithoutReadOverride unprivileged;
    if (!unprivileged.ok() && geteuid() == 0)
        QSKIP("root reads every file here");
    window.fillLogFiles(QDir(folder.path()));
    QCOMPARE(child<QTableWidget>(window, "twFiles")->rowCount(), 1);
    // One warning for the fill, naming both.
    QTRY_COMPARE(driver.texts.size(), 1);
    QVERIFY(driver.texts.first().endsWith(QStringLiteral(":\nb.mlog\nc.mlog")));
}

void TestCommands::fifoIsRefused_data()
{
    QTest::addColumn<bool>("atStart");
    QTest::newRow("configured to open at start") << true;
    QTest::newRow("File > Open") << false;
}

// A FIFO named like a log is refused at once, with the warning of a file
// that cannot be opened; opening it would wait for a writer forever.
void TestCommands::fifoIsRefused()
{
    QFETCH(bool, atStart);
    QTemporaryDir folder;
    const QString fifo = folder.filePath(QStringLiteral("kernel.mlog"));
    QCOMPARE(mkfifo(QFile::encodeName(fifo).constData(), 0644), 0);
    if (atStart) {
        QSettings().setValue(QStringLiteral("config/logfile"), fifo);
        QSettings().setValue(QStringLiteral("config/autoopen"), true);
        QSettings().setValue(QStringLiteral("config/autofilter"), true);
    }
    // A hang fails the test instead of blocking the run.
    alarm(60);
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
    QCOMPARE(child<QTabWidget>(window, "twLogResult")->count(), 0);
}

void TestCommands::filesPanelClick_data()
{
    QTest::addColumn<int>("column");
    for (int column = 0; column < 4; ++column)
        QTest::newRow(qPrintable(QStringLiteral("column %1").arg(column))) << column;
}

void TestCommands::filesPanelClick()
{
    QFETCH(int, column);
    QTemporaryDir folder;
    writeItems(folder.filePath(QStringLiteral("a.mlog")), 10);
    writeItems(folder.filePath(QStringLiteral("b c.mlog")), 20);
    QSettings().setValue(QStringLiteral("config/logdir"), folder.path());
    mainWindow window;
    window.show();
    DialogDriver driver;
    auto *table = child<QTableWidget>(window, "twFiles");
    QTRY_COMPARE(table->rowCount(), 2);
    table->scrollTo(table->model()->index(1, column));
    const QRect cell = table->visualRect(table->model()->index(1, column));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    QCOMPARE(window.logReader()->logPath(), folder.filePath(QStringLiteral("b c.mlog")));
    QCOMPARE(currentModel(window)->rowCount(), 20);
    QCOMPARE(table->selectionModel()->selectedRows().value(0).row(), 1);
    QCOMPARE(driver.texts, QStringList());
}

void TestCommands::refresh()
{
    QTemporaryDir folder;
    QTemporaryDir outside;
    writeItems(folder.filePath(QStringLiteral("a.mlog")), 10);
    QSettings().setValue(QStringLiteral("config/logdir"), folder.path());
    mainWindow window;
    DialogDriver driver;
    auto *table = child<QTableWidget>(window, "twFiles");
    QTRY_COMPARE(table->rowCount(), 1);

    // Without a tab: the table is rebuilt and no log is read.
    writeItems(folder.filePath(QStringLiteral("b.mlog")), 10);
    QSignalSpy reads(window.logReader(), &CLog::valueMaximum);
    trigger(window, "actionRefresh");
    QCOMPARE(table->rowCount(), 2);
    QCOMPARE(reads.count(), 0);

    // A log outside the folder: no row selected; Refresh reads that very
    // log again and shows what it gained.
    const QString far = writeItems(outside.filePath(QStringLiteral("a.mlog")), 30);
    window.openLogPath(far);
    QVERIFY(table->selectionModel()->selectedRows().isEmpty());
    QCOMPARE(currentModel(window)->rowCount(), 30);
    writeItems(far, 45);
    QFile grown(far);
    QVERIFY(grown.open(QIODevice::ReadWrite));
    QVERIFY(grown.setFileTime(QDateTime::currentDateTime().addSecs(10), QFileDevice::FileModificationTime));
    grown.close();
    trigger(window, "actionRefresh");
    QCOMPARE(window.logReader()->logPath(), far);
    QCOMPARE(currentModel(window)->rowCount(), 45);
    QVERIFY(table->selectionModel()->selectedRows().isEmpty());
    QCOMPARE(driver.texts, QStringList());
}

void TestCommands::recentFiles()
{
    QTemporaryDir folder;
    QStringList paths;
    {
        mainWindow window;
        // Empty settings: the File menu ends with its separator.
        QVERIFY(child<QMenu>(window, "menuFile")->actions().last()->isSeparator());
        for (int i = 1; i <= 10; ++i) {
            paths << writeItems(folder.filePath(QStringLiteral("log%1.mlog").arg(i)), 5);
            window.openLogPath(paths.last());
        }
        // The tenth drops the first; opening a listed log again changes nothing.
        window.openLogPath(paths.at(4));
    }
    const QString stored = QSettings().value(QStringLiteral("recentFiles")).toString();
    QCOMPARE(stored, paths.mid(1).join(QLatin1Char(';')) + QLatin1Char(';'));

    mainWindow window;
    const QList<QAction *> actions = child<QMenu>(window, "menuFile")->actions();
    const QList<QAction *> entries = actions.mid(actions.size() - 9);
    QVERIFY(actions.at(actions.size() - 10)->isSeparator());
    QCOMPARE(entries.at(2)->text(), QStringLiteral("3 log4.mlog"));
    QCOMPARE(entries.at(2)->statusTip(), QStringLiteral("Open file: ") + paths.at(3));
    QCOMPARE(entries.at(2)->shortcut(), QKeySequence(QStringLiteral("Alt+3")));
    QCOMPARE(entries.at(2)->data().toString(), paths.at(3));
    entries.at(2)->trigger();
    QCOMPARE(window.logReader()->logPath(), paths.at(3));

    // A stored value that is no string reads as an empty list.
    QSettings().setValue(QStringLiteral("recentFiles"), QRect(1, 2, 3, 4));
    mainWindow other;
    QVERIFY(child<QMenu>(other, "menuFile")->actions().last()->isSeparator());
}

void TestCommands::options()
{
    QTemporaryDir folder;
    const QString log = writeItems(folder.filePath(QStringLiteral("start.mlog")), 25);
    mainWindow window;
    DialogDriver driver;
    auto *table = child<QTableWidget>(window, "twFiles");
    // Options: a log, the default filter and the folder chosen, then OK.
    QString logLabel;
    driver.other = [&](QDialog *dialog) {
        auto *settings = qobject_cast<CSettingsWindow *>(dialog);
        QVERIFY(settings);
        logLabel = dialog->findChild<QLabel *>(QStringLiteral("lbLogSelected"))->text();
        QCOMPARE(settings->filterSelector()->count(), filterList().size());
        QCOMPARE(settings->filterSelector()->currentText(), QStringLiteral("default"));
        dialog->findChild<QLabel *>(QStringLiteral("lbLogSelected"))->setText(log);
        dialog->findChild<QLabel *>(QStringLiteral("lbLogDirSelected"))->setText(folder.path());
        dialog->findChild<QGroupBox *>(QStringLiteral("gbLog"))->setChecked(true);
        dialog->findChild<QGroupBox *>(QStringLiteral("gbFilter"))->setChecked(true);
        dialog->accept();
    };
    trigger(window, "actionOptions");
    QCOMPARE(logLabel, QStringLiteral("/var/log/marvok/kernel.mlog"));
    // Accepting reran the start step: the panel lists the new folder, the
    // log is open and the filter applied.
    QCOMPARE(table->rowCount(), 1);
    QCOMPARE(window.logReader()->logPath(), log);
    QVERIFY(currentModel(window));
    QCOMPARE(currentModel(window)->rowCount(), 25);
    QCOMPARE(QSettings().value(QStringLiteral("config/autoopen")).toBool(), true);
    QCOMPARE(QSettings().value(QStringLiteral("config/autofilter")).toBool(), true);
    // Cancel changes nothing and reruns nothing.
    driver.other = [](QDialog *dialog) { dialog->reject(); };
    QSignalSpy reads(window.logReader(), &CLog::valueMaximum);
    trigger(window, "actionOptions");
    QCOMPARE(reads.count(), 0);
    QCOMPARE(driver.texts, QStringList());
}

QTEST_MAIN(TestCommands)
#include "tst_commands.moc"
