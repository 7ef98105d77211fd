// View > Follow log: the tabs of the open log take the records appended to
// it, a tab at its end stays there, one scrolled up counts what waits below;
// a replaced log is read anew and its old tabs marked; growth during a run
// is taken in when the run ends; tabs of other logs stay as they were.
#include "apptest.h"
#include "logwatcher.h"
#include "../results/resultlog.h"

namespace {

// Rows of a fresh run of the default filter over the log at `path`.
int freshRows(const QString &path)
{
    CLog log;
    log.readLog(path);
    CStringListModel model(&log, makeFilter());
    model.runFilter();
    return model.rowCount();
}

QScrollBar *scrollBar(QWidget *page)
{
    return static_cast<QAbstractItemView *>(page)->verticalScrollBar();
}

CStringListModel *modelOf(QWidget *page)
{
    return qobject_cast<CStringListModel *>(static_cast<QAbstractItemView *>(page)->model());
}

} // namespace

class TestFollowLog : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

    QString logPath(const char *name) const { return m_dir.filePath(QLatin1String(name)); }

private slots:
    void initTestCase() { startApp("vrelview-follow"); }

    void init()
    {
        QSettings().clear();
        QSettings().setValue(QStringLiteral("config/logdir"), m_dir.path());
    }

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
        QVERIFY(driver.texts.isEmpty());
    }

    // Rotation (moved away, a new file made) and a file that shrank: the
    // log is read anew, the status bar says so, the old tabs are marked and
    // keep the rows they had; Apply shows the new file.
    void replacedLogReadAnew_data()
    {
        // Changed before the window has looked at the log again after
        // opening it (found by the read), or after (told by the watcher).
        QTest::addColumn<bool>("rotate");
        QTest::addColumn<bool>("watched");
        QTest::newRow("rotated by mv and a new file, at once") << true << false;
        QTest::newRow("shrunk, watched") << false << true;
    }
    void replacedLogReadAnew()
    {
        QFETCH(bool, rotate);
        QFETCH(bool, watched);
        const QString path = m_dir.filePath(QStringLiteral("%1%2.mlog").arg(rotate ? "rotate" : "shrink").arg(int(watched)));
        QVERIFY(generate(path, 3000, false));
        QSettings().setValue(QStringLiteral("VrelGeometry/follow"), true);
        mainWindow window;
        window.show();
        DialogDriver driver;
        window.openLogPath(path);
        QVERIFY(child<QAction>(window, "actionFollow")->isChecked());
        testModel(currentModel(window));
        const int rows = currentModel(window)->rowCount();
        const QString firstText = firstRow(window);
        if (watched) {
            // The look after opening is over before the log changes.
            QCoreApplication::processEvents();
            QVERIFY(!window.isBusy());
        }
        if (rotate) {
            QVERIFY(QFile::rename(path, path + QStringLiteral(".1")));
            QVERIFY(generate(path, 700, false, 11));
        } else {
            QFile file(path);
            QVERIFY(file.resize(file.size() / 3));
        }
        QTRY_VERIFY_WITH_TIMEOUT(resultTabs(window)->tabText(0).contains(QStringLiteral("replaced")), 10000);
        QVERIFY(window.statusBar()->currentMessage().contains(QStringLiteral("read anew")));
        QCOMPARE(currentModel(window)->rowCount(), rows);
        QCOMPARE(firstRow(window), firstText);
        QTRY_VERIFY(!window.isBusy());
        trigger(window, "actionResults");
        testModel(currentModel(window));
        QCOMPARE(currentModel(window)->rowCount(), freshRows(path));
        QVERIFY2(!resultTabs(window)->tabText(0).contains(QStringLiteral("replaced")), qPrintable(resultTabs(window)->tabText(0)));
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
};

QTEST_MAIN(TestFollowLog)
#include "tst_followlog.moc"
