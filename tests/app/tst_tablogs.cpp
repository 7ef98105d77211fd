// Tabs of several logs: each tab keeps the reader of its log open, so that
// switching between tabs reads nothing again and every tab goes on showing
// its own log's rows; one reader serves all tabs of a file and goes with
// the last of them; a log changed while its tab was not current is taken
// in when the tab comes back.
#include "apptest.h"

namespace {

CLog *readerOf(const mainWindow &window, int tab)
{
    return window.tabs().value(tab).log.get();
}

} // namespace

class TestTabLogs : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

    QString logPath(const char *name) const { return m_dir.filePath(QLatin1String(name)); }

private slots:
    void initTestCase() { startApp("vrelview-tablogs"); }

    void init() { clearSettings(m_dir.path()); }

    void switchReadsNothing_data()
    {
        QTest::addColumn<QString>("way");
        QTest::newRow("click on the tab bar") << "click";
        QTest::newRow("Ctrl+Tab") << "keys";
        QTest::newRow("by code") << "code";
    }

    // Two logs in two tabs: every switch makes the tab's own reader the
    // current log without a read; the title, the log files panel and the
    // rows are the tab's log's; scrolling loads rows of the tab's own log.
    void switchReadsNothing()
    {
        QFETCH(QString, way);
        const QString a = writeTagged(logPath("alpha.mlog"), "alpha", 3000, 0);
        const QString b = writeTagged(logPath("beta.mlog"), "beta", 2000, 0);
        QVERIFY(!a.isEmpty() && !b.isEmpty());
        mainWindow window;
        window.resize(900, 600);
        QVERIFY(showExposed(window));
        DialogDriver driver;
        auto *table = child<QTableWidget>(window, "twFiles");
        // The start step has filled the log files panel.
        QTRY_VERIFY(table->rowCount() >= 2);
        window.openLogPath(a);
        trigger(window, "actionNewTab");
        window.openLogPath(b);
        QTabWidget *tabs = resultTabs(window);
        QCOMPARE(tabs->count(), 2);
        const QPointer<CLog> readers[] = {readerOf(window, 0), readerOf(window, 1)};
        QVERIFY(readers[0] && readers[1] && readers[0] != readers[1]);
        QCOMPARE(window.openLogs().readers(), QList<const CLog *>({readers[0], readers[1]}));
        QSignalSpy readsA(readers[0], &CLog::valueMaximum);
        QSignalSpy readsB(readers[1], &CLog::valueMaximum);
        const QString paths[] = {a, b};
        const QString tags[] = {QStringLiteral("/srv/alpha/"), QStringLiteral("/srv/beta/")};
        const int counts[] = {3000, 2000};
        for (int step = 0; step < 6; ++step) {
            const int to = step % 2 == 0 ? 0 : 1;
            if (way == QLatin1String("click"))
                QTest::mouseClick(tabs->tabBar(), Qt::LeftButton, {}, tabs->tabBar()->tabRect(to).center());
            else if (way == QLatin1String("keys"))
                QTest::keyClick(tabs, Qt::Key_Tab, Qt::ControlModifier);
            else
                tabs->setCurrentIndex(to);
            QCOMPARE(tabs->currentIndex(), to);
            QCOMPARE(window.logReader(), readers[to].data());
            CStringListModel *model = currentModel(window);
            QCOMPARE(model->log(), readers[to].data());
            QCOMPARE(model->rowCount(), counts[to]);
            QVERIFY2(firstRow(window).endsWith(tags[to] + QLatin1Char('0')), qPrintable(firstRow(window)));
            QCOMPARE(window.windowTitle(), paths[to] + QStringLiteral(" - Vrel View Audit"));
            const QList<QTableWidgetItem *> selected = table->selectedItems();
            QVERIFY(!selected.isEmpty());
            QCOMPARE(table->item(selected.first()->row(), 0)->data(Qt::UserRole).toString(), paths[to]);
            // Rows far from the first come from the tab's own log.
            currentView(window)->scrollToBottom();
            const int last = counts[to] - 1;
            QTRY_VERIFY(model->index(last, 0).data().toString().endsWith(tags[to] + QString::number(last)));
        }
        QCOMPARE(readsA.count(), 0);
        QCOMPARE(readsB.count(), 0);
        QCOMPARE(driver.texts, QStringList());
    }

    void tabsLetGoOfTheirLog_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("its tab closed") << "close";
        QTest::newRow("another log applied in its tab") << "open";
    }

    // The tabs of one file share its reader, which stays while one of them
    // does and goes with the last; a log applied in a tab of another log
    // takes the reader a tab already holds, without reading it again.
    void tabsLetGoOfTheirLog()
    {
        QFETCH(QString, how);
        const QString a = writeTagged(logPath("one.mlog"), "one", 500, 0);
        const QString b = writeTagged(logPath("two.mlog"), "two", 700, 0);
        QVERIFY(!a.isEmpty() && !b.isEmpty());
        mainWindow window;
        window.show();
        DialogDriver driver;
        window.openLogPath(a);
        trigger(window, "actionNewTab");
        window.openLogPath(b);
        trigger(window, "actionNewTab");
        trigger(window, "actionResults");
        QTabWidget *tabs = resultTabs(window);
        QCOMPARE(tabs->count(), 3);
        const QPointer<CLog> one = readerOf(window, 0);
        const QPointer<CLog> two = readerOf(window, 1);
        QCOMPARE(readerOf(window, 2), two.data());
        QCOMPARE(window.openLogs().readers().size(), 2);
        QSignalSpy readsOne(one, &CLog::valueMaximum);

        // One of the two tabs of "two" goes: its reader stays for the other.
        closeTab(window, 2);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(two);
        QCOMPARE(tabs->count(), 2);
        // The other goes: with it the last holder of "two".
        tabs->setCurrentIndex(1);
        if (how == QLatin1String("close")) {
            closeTab(window, 1);
            QCOMPARE(window.logReader(), one.data());
        } else {
            window.openLogPath(a);
            QCOMPARE(readerOf(window, 1), one.data());
            QVERIFY(firstRow(window).endsWith(QStringLiteral("/srv/one/0")));
            QCOMPARE(readsOne.count(), 0);
        }
        QTRY_VERIFY(!two);
        QCOMPARE(window.openLogs().readers(), QList<const CLog *>({one.data()}));
        QCOMPARE(window.windowTitle(), a + QStringLiteral(" - Vrel View Audit"));
        QCOMPARE(driver.texts, QStringList());
    }

    void changedLogTakenInWhenCurrent_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("followed: its rows grow") << "follow";
        QTest::newRow("not followed: its log is read on") << "plain";
        QTest::newRow("the read cancelled: the tab keeps its log whole") << "cancel";
    }

    // A log that grows while a tab of another log is current is read on
    // (by the same reader, from where its index ended) when its tab comes
    // back; followed, its tab shows the new rows as a fresh run does. A
    // read cancelled there leaves the tab current with its log as it was.
    void changedLogTakenInWhenCurrent()
    {
        QFETCH(QString, how);
        const bool following = how == QLatin1String("follow");
        const bool cancel = how == QLatin1String("cancel");
        const QString grown = writeTagged(m_dir.filePath(how + QStringLiteral(".mlog")), "grown", 1000, 0);
        const QString other = writeTagged(logPath("other.mlog"), "other", 300, 0);
        QVERIFY(!grown.isEmpty() && !other.isEmpty());
        mainWindow window;
        window.show();
        DialogDriver driver;
        window.openLogPath(grown);
        trigger(window, "actionNewTab");
        window.openLogPath(other);
        if (following)
            trigger(window, "actionFollow");
        QTRY_VERIFY(!window.isBusy());
        QTabWidget *tabs = resultTabs(window);
        const QPointer<CLog> reader = readerOf(window, 0);
        const int blocks = reader->blockCount();
        // Enough records that reading them lets the event loop turn.
        const int added = cancel ? 400000 : 600;
        QVERIFY(!writeTagged(grown, "grown", added, 50, 20, true).isEmpty());
        QVERIFY(setFileTime(grown, QDateTime::currentDateTime().addSecs(5)));
        // Not current, the grown log is not read.
        QTest::qWait(50);
        QCOMPARE(reader->blockCount(), blocks);
        QCOMPARE(modelOf(tabs->widget(0))->rowCount(), 1000);

        if (cancel)
            QTimer::singleShot(0, &window, [&] { QTest::keyClick(&window, Qt::Key_Escape); });
        tabs->setCurrentIndex(0);
        QCOMPARE(window.logReader(), reader.data());
        QCOMPARE(tabs->currentIndex(), 0);
        if (cancel) {
            QCOMPARE(window.statusBar()->currentMessage(), QStringLiteral("Read cancelled."));
            QCOMPARE(reader->blockCount(), blocks);
            QCOMPARE(currentModel(window)->rowCount(), 1000);
            QVERIFY(firstRow(window).endsWith(QStringLiteral("/srv/grown/0")));
            // Back again, the read goes on to the end.
            tabs->setCurrentIndex(1);
            tabs->setCurrentIndex(0);
        }
        QCOMPARE(reader->blockCount(), blocks + added / 20);
        if (following) {
            QTRY_COMPARE(currentModel(window)->rowCount(), freshRows(grown));
            QVERIFY(child<QLabel>(window, "lbFilter")->text().contains(QStringLiteral("Following")));
        } else {
            // Rows stay as they were counted until the filter is applied again.
            QCOMPARE(currentModel(window)->rowCount(), 1000);
            trigger(window, "actionResults");
            QCOMPARE(currentModel(window)->rowCount(), 1000 + added);
        }
        QTRY_VERIFY(!window.isBusy());
        // The other log's tab is untouched.
        QCOMPARE(modelOf(tabs->widget(1))->rowCount(), 300);
        QCOMPARE(driver.texts, QStringList());
    }
};

QTEST_MAIN(TestTabLogs)
#include "tst_tablogs.moc"
