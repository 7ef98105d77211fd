// Marks on rows in the window, by the keys a user presses: Ctrl+F2 marks
// the current row, F2 and Shift+F2 go to the next and previous mark across
// blocks never loaded, through a rerun, a follow and a reopen of the log;
// the marks show in the rows' margin, on the time line and under View >
// Marks, and File > Save marked rows... writes just their rows.
#include "apptest.h"
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

class TestMarks : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

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
    void initTestCase() { startApp("vrelview-marks"); }
    void init() { clearSettings(m_dir.path()); }

    // Marks made by keys: F2 and Shift+F2 step through them and stop at
    // either end, the far one in a block not loaded shows its row; a rerun
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
        // Two ticks on the time line.
        trigger(window, "actionTimelineShow");
        view->timeline()->grab();
        QCOMPARE(view->timeline()->markTicks().size(), 2);
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

QTEST_MAIN(TestMarks)
#include "tst_marks.moc"
