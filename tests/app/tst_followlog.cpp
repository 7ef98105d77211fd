// View > Follow log: the tabs of the open log take the records appended to
// it, a tab at its end stays there, one scrolled up counts what waits below;
// a replaced log is read anew and its tabs show it; growth during a run
// is taken in when the run ends; tabs of other logs stay as they were.
// Marks on rows, by the keys a user presses: Ctrl+F2 marks the current row,
// F2 and Shift+F2 go to the next and previous mark across blocks never
// loaded, through a rerun, a follow and a reopen of the log; the marks show
// in the rows' margin, on the time line and under View > Marks, and File >
// Save marked rows... writes just their rows.
#include "apptest.h"
#include "logwatcher.h"
#include "markcontrol.h"
#include "resultview.h"
#include "timelinestrip.h"
#include "../results/resultlog.h"

namespace {

ResultView *resultView(const mainWindow &window)
{
    return dynamic_cast<ResultView *>(currentView(window));
}

QString status(const mainWindow &window)
{
    return window.statusBar()->currentMessage();
}

void press(const mainWindow &window, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QTest::keyClick(currentView(window), Qt::Key(key), modifiers);
}

int currentRow(const mainWindow &window)
{
    return currentView(window)->currentIndex().row();
}

// Appends records `from` to `to` - 1 of a numbered log.
bool append(const QString &path, int from, int to)
{
    QFile file(path);
    bool ok = file.open(QIODevice::Append);
    for (int i = from; ok && i < to; ++i)
        ok = file.write(encodeRecord(numbered(i, 10))) > 0;
    return ok && file.flush();
}

} // namespace

class TestFollowLog : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

    QString logPath(const char *name) const { return m_dir.filePath(QLatin1String(name)); }

    // A window showing the log at `path`, its rows' view with the focus.
    void open(mainWindow &window, const QString &path)
    {
        window.resize(900, 600);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        window.openLogPath(path);
        QTRY_VERIFY(idle(window));
        QVERIFY(currentModel(window));
        testModel(currentModel(window));
        currentView(window)->setFocus();
    }

private slots:
    void initTestCase() { startApp("vrelview-follow"); }

    void init() { clearSettings(m_dir.path()); }

    // Two tabs of one log, one at its end and one scrolled up, and a tab of
    // another log: appended records reach both tabs of the log, as many as
    // a fresh run finds, the tab at the end stays there, the other keeps its
    // place and shows the rows waiting below; the other log's tab stays.
    void tabsOfTheLogTakeAppendedRecords()
    {
        const QString other = logPath("other.mlog");
        const QString path = logPath("grow.mlog");
        QVERIFY(generate(other, 500, false, 5));
        QVERIFY(generate(path, 4000, false));
        mainWindow window;
        window.resize(900, 600);
        window.show();
        DialogDriver driver;
        window.openLogPath(other);
        QWidget *otherTab = resultTabs(window)->currentWidget();
        const int otherRows = modelOf(otherTab)->rowCount();
        trigger(window, "actionNewTab");
        window.openLogPath(path);
        QWidget *atEnd = resultTabs(window)->currentWidget();
        trigger(window, "actionNewTab");
        trigger(window, "actionResults");
        QWidget *scrolled = resultTabs(window)->currentWidget();
        for (QWidget *tab : {otherTab, atEnd, scrolled})
            testModel(modelOf(tab));
        scrollBar(atEnd)->setValue(scrollBar(atEnd)->maximum());
        QVERIFY(scrollBar(scrolled)->maximum() > 100);
        scrollBar(scrolled)->setValue(100);
        QVERIFY(!child<QLabel>(window, "lbFilter")->text().contains(QStringLiteral("Following")));
        trigger(window, "actionFollow");
        QVERIFY(child<QLabel>(window, "lbFilter")->text().contains(QStringLiteral("Following")));
        QCOMPARE(window.findChild<LogWatcher *>()->path(), path);

        QPushButton *newRows = child<QPushButton>(window, "btnNewRows");
        const int rowsAtStart = modelOf(scrolled)->rowCount();
        for (int records : {300, 1, 2000}) {
            QSignalSpy inserted(modelOf(atEnd), &QAbstractItemModel::rowsInserted);
            QVERIFY(generate(path, records, true));
            QVERIFY(inserted.wait(10000));
            QTRY_VERIFY(!window.isBusy());
            const int expected = freshRows(path);
            QCOMPARE(modelOf(atEnd)->rowCount(), expected);
            QCOMPARE(modelOf(scrolled)->rowCount(), expected);
            QCOMPARE(scrollBar(atEnd)->value(), scrollBar(atEnd)->maximum());
            QCOMPARE(scrollBar(scrolled)->value(), 100);
            QVERIFY(newRows->isVisible());
            QCOMPARE(modelOf(otherTab)->rowCount(), otherRows);
        }
        const int waiting = modelOf(scrolled)->rowCount() - rowsAtStart;
        QVERIFY2(newRows->text().startsWith(QString::number(waiting)), qPrintable(newRows->text()));
        // The last row of the tab at its end is loaded and shown.
        const int last = modelOf(atEnd)->rowCount() - 1;
        resultTabs(window)->setCurrentWidget(atEnd);
        QVERIFY(!newRows->isVisible());
        QVERIFY(!modelOf(atEnd)->index(last, 0).data().toString().isEmpty());
        // The click on the waiting rows goes to the end and takes them away.
        resultTabs(window)->setCurrentWidget(scrolled);
        QVERIFY(newRows->isVisible());
        newRows->click();
        QCOMPARE(scrollBar(scrolled)->value(), scrollBar(scrolled)->maximum());
        QVERIFY(!newRows->isVisible());
        // The log files panel shows the grown size.
        const QList<QTableWidgetItem *> names =
            child<QTableWidget>(window, "twFiles")->findItems(QStringLiteral("grow.mlog"), Qt::MatchExactly);
        QCOMPARE(names.size(), 1);
        QCOMPARE(child<QTableWidget>(window, "twFiles")->item(names.first()->row(), 3)->text(),
                 mainWindow::sizeToString(QFileInfo(path).size()));
        // Scrolling down to the last row takes the waiting rows away too.
        scrollBar(scrolled)->setValue(100);
        QSignalSpy more(modelOf(scrolled), &QAbstractItemModel::rowsInserted);
        QVERIFY(generate(path, 300, true));
        QVERIFY(more.wait(10000));
        QTRY_VERIFY(!window.isBusy());
        QVERIFY(newRows->isVisible());
        scrollBar(scrolled)->setValue(scrollBar(scrolled)->maximum());
        QVERIFY(!newRows->isVisible());
        QVERIFY(driver.texts.isEmpty());
    }

    // A log truncated, cut in the middle or rotated away (once, or twice
    // before the window looks) while followed: every tab of it shows at once
    // what the file holds now, as a fresh run does, the status bar says it
    // was read anew, and following goes on with the records appended next.
    void replacedLogShownAndFollowed_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("watched");
        QTest::newRow("truncated to zero") << QStringLiteral("zero") << true;
        QTest::newRow("truncated to a middle") << QStringLiteral("middle") << true;
        QTest::newRow("rotated") << QStringLiteral("rotate") << true;
        QTest::newRow("rotated, before the first look") << QStringLiteral("rotate") << false;
        QTest::newRow("rotated twice in a row") << QStringLiteral("twice") << true;
    }
    void replacedLogShownAndFollowed()
    {
        QFETCH(QString, change);
        QFETCH(bool, watched);
        const QString path = m_dir.filePath(QStringLiteral("%1%2.mlog").arg(change).arg(int(watched)));
        QVERIFY(generate(path, 3000, false));
        mainWindow window;
        window.resize(900, 600);
        window.show();
        DialogDriver driver;
        window.openLogPath(path);
        trigger(window, "actionFollow");
        QVERIFY(child<QAction>(window, "actionFollow")->isChecked());
        trigger(window, "actionNewTab");
        trigger(window, "actionResults");
        QCOMPARE(resultTabs(window)->count(), 2);
        const QList<QWidget *> pages{resultTabs(window)->widget(0), resultTabs(window)->widget(1)};
        for (QWidget *page : pages)
            testModel(modelOf(page));
        const int rows = modelOf(pages.first())->rowCount();
        if (watched) {
            // The look after opening is over before the log changes.
            QTRY_VERIFY(!window.isBusy());
        }
        const auto rotate = [&path](int seed, int records) {
            return QFile::rename(path, path + QStringLiteral(".%1").arg(seed)) && generate(path, records, false, seed);
        };
        if (change == QLatin1String("zero")) {
            QFile file(path);
            QVERIFY(file.resize(0));
        } else if (change == QLatin1String("middle")) {
            QFile file(path);
            QVERIFY(file.resize(file.size() / 2));
        } else {
            QVERIFY(rotate(11, 500));
            if (change == QLatin1String("twice"))
                QVERIFY(rotate(13, 700));
        }
        int expected = freshRows(path);
        QVERIFY(expected != rows);
        for (QWidget *page : pages)
            QTRY_COMPARE_WITH_TIMEOUT(modelOf(page)->rowCount(), expected, 10000);
        QTRY_VERIFY(!window.isBusy());
        QVERIFY(window.statusBar()->currentMessage().contains(QStringLiteral("read anew")));
        for (QWidget *page : pages) {
            testModel(modelOf(page));
            const int index = resultTabs(window)->indexOf(page);
            QVERIFY2(!resultTabs(window)->tabText(index).contains(QStringLiteral("replaced")),
                     qPrintable(resultTabs(window)->tabText(index)));
        }
        if (expected > 0) {
            CLog fresh;
            fresh.readLog(path);
            CStringListModel model(&fresh, makeFilter());
            model.runFilter();
            QCOMPARE(firstRow(window), model.index(0, 0).data().toString());
        }
        // Records appended right after are taken in, and then more (into
        // a new run where the log had no records: nothing was counted).
        for (int records : {30, 60}) {
            QVERIFY(generate(path, records, true, 17 + records));
            const int before = expected;
            expected = freshRows(path);
            QVERIFY(expected > before);
            for (QWidget *page : pages)
                QTRY_COMPARE_WITH_TIMEOUT(modelOf(page)->rowCount(), expected, 10000);
            QTRY_VERIFY(!window.isBusy());
        }
        // A second rotation later is followed the same way.
        QVERIFY(rotate(19, 400));
        expected = freshRows(path);
        for (QWidget *page : pages)
            QTRY_COMPARE_WITH_TIMEOUT(modelOf(page)->rowCount(), expected, 10000);
        QTRY_VERIFY(!window.isBusy());
        QVERIFY(driver.texts.isEmpty());
    }

    // Records appended while a run counts in another tab are taken in when
    // the run ends: both tabs then hold a fresh run's rows.
    void growthDuringRunTakenInAfter()
    {
        const QString path = logPath("busy.mlog");
        // Long enough a run for the window to turn while it counts, on a fast machine too.
        QVERIFY(generate(path, 200000, false));
        mainWindow window;
        window.show();
        DialogDriver driver;
        window.openLogPath(path);
        QWidget *first = resultTabs(window)->currentWidget();
        testModel(modelOf(first));
        trigger(window, "actionFollow");
        trigger(window, "actionNewTab");
        auto *watcher = window.findChild<LogWatcher *>();
        QVERIFY(watcher);
        bool appended = false;
        QTimer poll;
        whileBusy(poll, window, [&]() {
            if (appended)
                return true;
            appended = generate(path, 500, true);
            watcher->check();
            return false;
        });
        trigger(window, "actionResults");
        QVERIFY(appended);
        QWidget *second = resultTabs(window)->currentWidget();
        testModel(modelOf(second));
        const int expected = freshRows(path);
        QTRY_COMPARE(modelOf(first)->rowCount(), expected);
        QTRY_COMPARE(modelOf(second)->rowCount(), expected);
        QVERIFY(driver.texts.isEmpty());
    }

    // Marks made by keys: F2 and Shift+F2 step through them and stop at
    // either end, F2 without a current row to the first mark (on the first
    // row too), the far one in a block not loaded shows its row; a rerun
    // keeps them; they are painted in the margin and on the time line;
    // without marks, the keys move nothing.
    void stepThroughMarks_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<int>("from");   // the current row before
        QTest::addColumn<int>("to");     // after; the same row when there is no mark that way
        QTest::addColumn<QString>("message");
        QTest::newRow("next from the top") << int(Qt::Key_F2) << 0 << 0 << 3 << QStringLiteral("Mark 1 of 2");
        QTest::newRow("next, far below") << int(Qt::Key_F2) << 0 << 3 << 19990 << QStringLiteral("Mark 2 of 2");
        QTest::newRow("next after the last") << int(Qt::Key_F2) << 0 << 19990 << 19990
                                             << QStringLiteral("No mark below this row");
        QTest::newRow("previous, far above") << int(Qt::Key_F2) << int(Qt::ShiftModifier) << 19999 << 19990
                                             << QStringLiteral("Mark 2 of 2");
        QTest::newRow("previous before the first") << int(Qt::Key_F2) << int(Qt::ShiftModifier) << 3 << 3
                                                   << QStringLiteral("No mark above this row");
        // From -1: the first row marked too, and no row current.
        QTest::newRow("next without a current row, the first row marked")
            << int(Qt::Key_F2) << 0 << -1 << 0 << QStringLiteral("Mark 1 of 3");
    }
    void stepThroughMarks()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(QString, message);
        const QString path = m_dir.filePath(QStringLiteral("step.mlog"));
        if (!QFile::exists(path))
            QVERIFY(writeLog(path, 20000, [](int i) { return numbered(i, 10); }));
        mainWindow window;
        DialogDriver driver;
        open(window, path);
        QCOMPARE(currentModel(window)->rowCount(), 20000);
        press(window, Qt::Key_F2);
        QCOMPARE(status(window), QStringLiteral("No marks in this result"));
        // Row 3 by the arrow keys, row 19990 from the end.
        press(window, Qt::Key_Home);
        for (int i = 0; i < 3; ++i)
            press(window, Qt::Key_Down);
        press(window, Qt::Key_F2, Qt::ControlModifier);
        QCOMPARE(status(window), QStringLiteral("Row marked"));
        press(window, Qt::Key_End);
        for (int i = 0; i < 9; ++i)
            press(window, Qt::Key_Up);
        QCOMPARE(currentRow(window), 19990);
        press(window, Qt::Key_F2, Qt::ControlModifier);
        // Applied again, the result is a new one: the marks stay.
        trigger(window, "actionResults");
        QTRY_VERIFY(idle(window));
        testModel(currentModel(window));
        currentView(window)->setFocus();
        press(window, Qt::Key_Home);
        CStringListModel *model = currentModel(window);
        QVERIFY(model->windowEndBlock() < 1999);
        if (from > 0)
            currentView(window)->setCurrentIndex(model->index(from, 0));
        else
            press(window, Qt::Key_Home);
        if (from < 0) {
            press(window, Qt::Key_F2, Qt::ControlModifier);
            currentView(window)->setCurrentIndex(QModelIndex());
        }
        press(window, key, Qt::KeyboardModifiers(modifiers));
        QCOMPARE(currentRow(window), to);
        QCOMPARE(status(window), message);
        QVERIFY(model->index(to, 0).data().toString().endsWith(QStringLiteral("rec=%1").arg(to)));
        // The marked row has its mark at the left edge, in the colour of
        // selected text while selected; the row below has none.
        ResultView *view = resultView(window);
        if (to == 19990 || to == 3) {
            const int y = view->visualRect(model->index(to, 0)).center().y();
            const int below = view->visualRect(model->index(to + 1, 0)).center().y();
            const QColor selected = view->palette().color(QPalette::HighlightedText);
            QCOMPARE(view->viewport()->grab().toImage().pixelColor(1, y), selected);
            view->selectionModel()->clearSelection();
            const QImage shot = view->viewport()->grab().toImage();
            QCOMPARE(shot.pixelColor(1, y), view->palette().color(QPalette::Link));
            QVERIFY(shot.pixelColor(1, below) != view->palette().color(QPalette::Link));
        }
        // A tick on the time line for each mark.
        trigger(window, "actionTimelineShow");
        view->timeline()->grab();
        QCOMPARE(view->timeline()->markTicks().size(), from < 0 ? 3 : 2);
        QVERIFY(driver.texts.isEmpty());
    }

    // A mark made before a follow and one on a row the follow brought are
    // both reached; after another log was shown and this one opened again,
    // they still are; a mark taken away is gone.
    void marksAcrossFollowAndReopen()
    {
        const QString path = m_dir.filePath(QStringLiteral("follow.mlog"));
        const QString other = m_dir.filePath(QStringLiteral("other.mlog"));
        QVERIFY(writeLog(path, 3000, [](int i) { return numbered(i, 10); }));
        QVERIFY(writeLog(other, 50, [](int i) { return numbered(i, 10); }));
        mainWindow window;
        DialogDriver driver;
        open(window, path);
        trigger(window, "actionFollow");
        for (int i = 0; i < 10; ++i)
            press(window, Qt::Key_Down);
        QCOMPARE(currentRow(window), 10);
        press(window, Qt::Key_F2, Qt::ControlModifier);
        QSignalSpy inserted(currentModel(window), &QAbstractItemModel::rowsInserted);
        QVERIFY(append(path, 3000, 9000));
        QVERIFY(inserted.wait(10000));
        QTRY_VERIFY(idle(window));
        QTRY_COMPARE(currentModel(window)->rowCount(), 9000);
        press(window, Qt::Key_End);
        press(window, Qt::Key_F2, Qt::ControlModifier);
        press(window, Qt::Key_Home);
        press(window, Qt::Key_F2);
        QCOMPARE(currentRow(window), 10);
        press(window, Qt::Key_F2);
        QCOMPARE(currentRow(window), 8999);

        trigger(window, "actionFollow");
        window.openLogPath(other);
        QTRY_VERIFY(idle(window));
        press(window, Qt::Key_F2);
        QCOMPARE(status(window), QStringLiteral("No marks in this result"));
        window.openLogPath(path);
        QTRY_VERIFY(idle(window));
        testModel(currentModel(window));
        press(window, Qt::Key_Home);
        press(window, Qt::Key_F2, Qt::ShiftModifier);
        QCOMPARE(status(window), QStringLiteral("No mark above this row"));
        press(window, Qt::Key_F2);
        QCOMPARE(currentRow(window), 10);
        press(window, Qt::Key_F2, Qt::ControlModifier);
        QCOMPARE(status(window), QStringLiteral("Mark removed"));
        press(window, Qt::Key_Home);
        press(window, Qt::Key_F2);
        QCOMPARE(currentRow(window), 8999);
        QVERIFY(driver.texts.isEmpty());
    }

    // View > Marks lists the marks of the log with their time and row; a
    // click shows the row. Save marked rows... writes the marked rows as
    // Save results would, and says so when there are none.
    void listAndSave()
    {
        const QString path = m_dir.filePath(QStringLiteral("list.mlog"));
        const QString saved = m_dir.filePath(QStringLiteral("marked.txt"));
        QVERIFY(writeLog(path, 12000, [](int i) { return numbered(i, 10); }));
        mainWindow window;
        DialogDriver driver;
        open(window, path);
        trigger(window, "actionResultsSaveMarked");
        QTRY_COMPARE(driver.texts, QStringList(QStringLiteral("No marked rows to save!")));
        driver.texts.clear();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        for (const int row : {11000, 2}) {
            currentView(window)->setCurrentIndex(currentModel(window)->index(row, 0));
            press(window, Qt::Key_F2, Qt::ControlModifier);
            QCOMPARE(status(window), QStringLiteral("Row marked"));
        }
        trigger(window, "actionMarksShow");
        auto *dialog = child<QDialog>(window, "dlgMarks");
        QVERIFY(dialog && dialog->isVisible());
        auto *list = child<QTreeView>(*dialog, "tvMarks");
        testModel(list->model());
        QCOMPARE(list->model()->rowCount(), 2);
        QCOMPARE(list->model()->index(0, 0).data().toString(),
                 QDateTime::fromSecsSinceEpoch(T0).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
        QVERIFY(list->model()->index(0, 1).data().toString().endsWith(QStringLiteral(" rec=2")));
        QVERIFY(list->model()->index(1, 1).data().toString().endsWith(QStringLiteral(" rec=11000")));
        currentView(window)->setCurrentIndex(currentModel(window)->index(5, 0));
        const QModelIndex far = list->model()->index(1, 0);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, list->visualRect(far).center());
        QCOMPARE(currentRow(window), 11000);

        driver.fileName = saved;
        trigger(window, "actionResultsSaveMarked");
        QTRY_VERIFY(idle(window));
        QCOMPARE(driver.fileDialogs, 1);
        QCOMPARE(readAll(saved), (list->model()->index(0, 1).data().toString() + QLatin1Char('\n')
                                  + list->model()->index(1, 1).data().toString() + QLatin1Char('\n'))
                                     .toUtf8());
        QVERIFY(driver.texts.isEmpty());
    }
};

QTEST_MAIN(TestFollowLog)
#include "tst_followlog.moc"
