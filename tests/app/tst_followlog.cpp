// View > Follow log: the tabs of the open log take the records appended to
// it, a tab at its end stays there, one scrolled up counts what waits below;
// a replaced log is read anew and its tabs show it; growth during a run
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
};

QTEST_MAIN(TestFollowLog)
#include "tst_followlog.moc"
