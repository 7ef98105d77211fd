// Logs opened together in the window: a tab over a set shows the records
// of all its files in time order, is named by its files, names the files
// it could not read, and keeps its set open across tab switches. Every way
// into such a tab and into the operations that wait while another runs: a
// log opened in a set's tab takes its place, marks are refused on every way
// in, Go to time waits its turn.
#include "apptest.h"

#include "logset.h"

#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

class TestLogSetWindow : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

    QString logPath(const QString &name) const { return m_dir.filePath(name); }

private slots:
    void initTestCase() { startApp("vrelview-logsetwindow"); }

    void init() { clearSettings(m_dir.path()); }

    void opensTogether_data()
    {
        QTest::addColumn<QStringList>("files");    // name:count:second; no count: not a log
        QTest::addColumn<QString>("name");         // the tab's and title's name; empty: no tab
        QTest::addColumn<int>("rows");
        QTest::addColumn<QString>("firstTag");
        QTest::addColumn<QStringList>("unreadable");
        QTest::newRow("overlapping, later file named first")
            << QStringList{"kernel.mlog.1:3000:100", "kernel.mlog:2000:0"} << "kernel.mlog + 1 more" << 5000
            << "/srv/kernel.mlog/0" << QStringList();
        QTest::newRow("three files") << QStringList{"a.mlog:10:0", "b.mlog:20:0", "c.mlog:30:5"}
                                     << "a.mlog + 2 more" << 60 << "/srv/a.mlog/0" << QStringList();
        QTest::newRow("one cannot be read") << QStringList{"good.mlog:40:0", "gone.mlog"} << "good.mlog" << 40
                                            << "/srv/good.mlog/0" << QStringList{"gone.mlog"};
        QTest::newRow("none can be read") << QStringList{"gone.mlog", "lost.mlog"} << QString() << 0 << QString()
                                          << QStringList{"gone.mlog", "lost.mlog"};
    }

    void opensTogether()
    {
        QFETCH(QStringList, files);
        QFETCH(QString, name);
        QFETCH(int, rows);
        QFETCH(QString, firstTag);
        QFETCH(QStringList, unreadable);
        QTemporaryDir dir;
        QStringList paths;
        for (const QString &file : qAsConst(files)) {
            const QStringList parts = file.split(QLatin1Char(':'));
            const QString path = dir.filePath(parts.at(0));
            if (parts.size() == 3)
                QVERIFY(!writeTagged(path, parts.at(0).toUtf8(), parts.at(1).toInt(), parts.at(2).toInt()).isEmpty());
            paths.append(path);
        }
        mainWindow window;
        QVERIFY(showExposed(window));
        DialogDriver driver;
        QTabWidget *tabs = resultTabs(window);
        const int tabsBefore = tabs->count();
        const QString titleBefore = window.windowTitle();
        window.openLogSet(paths);
        QCOMPARE(driver.texts.size(), unreadable.isEmpty() ? 0 : 1);
        for (const QString &file : qAsConst(unreadable))
            QVERIFY2(driver.texts.value(0).contains(QDir::toNativeSeparators(dir.filePath(file))),
                     qPrintable(driver.texts.value(0)));
        if (name.isEmpty()) {
            QCOMPARE(tabs->count(), tabsBefore);
            QCOMPARE(window.windowTitle(), titleBefore);
            return;
        }
        QCOMPARE(tabs->count(), tabsBefore + 1);
        QVERIFY2(tabs->tabText(tabs->currentIndex()).startsWith(name + QStringLiteral(" - ")),
                 qPrintable(tabs->tabText(tabs->currentIndex())));
        QCOMPARE(window.windowTitle(), name + QStringLiteral(" - Vrel View Audit"));
        CStringListModel *model = currentModel(window);
        testModel(model);
        QCOMPARE(model->rowCount(), rows);
        QVERIFY2(firstRow(window).endsWith(firstTag), qPrintable(firstRow(window)));
        const LogSet *set = window.tabs().value(tabs->currentIndex()).set.get();
        QVERIFY(set);
        const QString tip = tabs->tabToolTip(tabs->currentIndex());
        for (const QString &path : set->paths())
            QVERIFY2(tip.contains(QDir::toNativeSeparators(path)), qPrintable(tip));
    }

    void namedFromOutside_data()
    {
        QTest::addColumn<QString>("way");
        QTest::addColumn<int>("files");
        QTest::newRow("command line, two logs") << "start" << 2;
        QTest::newRow("command line, one log") << "start" << 1;
        QTest::newRow("dropped, two logs") << "drop" << 2;
        QTest::newRow("dropped, one log") << "drop" << 1;
    }

    // Several logs named at start or dropped at once open as one set; one
    // opens as File > Open does.
    void namedFromOutside()
    {
        QFETCH(QString, way);
        QFETCH(int, files);
        const QStringList all{writeTagged(logPath("x.mlog"), "x", 30, 0), writeTagged(logPath("y.mlog"), "y", 50, 1)};
        const QStringList paths = all.mid(0, files);
        mainWindow window;
        DialogDriver driver;
        if (way == QLatin1String("start"))
            window.setStartLogs(paths);
        QVERIFY(showExposed(window));
        if (way == QLatin1String("drop")) {
            // The start step has filled the log files panel.
            QTRY_VERIFY(child<QTableWidget>(window, "twFiles")->rowCount() >= 2);
            QMimeData data;
            QList<QUrl> urls;
            for (const QString &path : paths)
                urls.append(QUrl::fromLocalFile(path));
            data.setUrls(urls);
            QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            // Straight to the window: the application delivers a drop only
            // within a drag of its own.
            static_cast<QObject &>(window).event(&drop);
        }
        QTRY_VERIFY(currentModel(window) && currentModel(window)->rowCount() == (files == 2 ? 80 : 30));
        const TabInfo info = currentTab(window);
        QCOMPARE(bool(info.set), files == 2);
        QCOMPARE(window.windowTitle(), (files == 2 ? QStringLiteral("x.mlog + 1 more") : paths.first())
                                           + QStringLiteral(" - Vrel View Audit"));
        QCOMPARE(driver.texts, QStringList());
    }

    // File > Open together... offers rotated files (kernel.mlog.1) too.
    void openTogetherOffersRotated()
    {
        mainWindow window;
        window.show();
        QStringList filters;
        DialogDriver driver({[&filters](QWidget *modal) {
            auto *files = qobject_cast<QFileDialog *>(modal);
            filters = files ? files->nameFilters() : QStringList();
            if (auto *dialog = qobject_cast<QDialog *>(modal))
                dialog->reject();
        }});
        trigger(window, "actionOpenTogether");
        QCOMPARE(driver.done(), 1);
        QCOMPARE(filters, (QStringList{"mlog files (*.mlog *.mlog.*)", "All files (*)"}));
    }

    void panelOpensSelected_data()
    {
        QTest::addColumn<bool>("byClicks");
        QTest::addColumn<QStringList>("names"); // the rows selected
        QTest::addColumn<int>("rows");
        QTest::addColumn<QString>("title");
        const QStringList both{"p.mlog", "q.mlog"};
        QTest::newRow("rows selected by Ctrl-click") << true << both << 70 << "p.mlog + 1 more";
        QTest::newRow("rows selected by code") << false << both << 70 << "p.mlog + 1 more";
        // One row is one log, opened as File > Open opens it.
        QTest::newRow("one row") << false << QStringList{"q.mlog"} << 40 << logPath("q.mlog");
    }

    // Rows selected in the log files panel open together; a Ctrl-click
    // only selects.
    void panelOpensSelected()
    {
        QFETCH(bool, byClicks);
        QFETCH(QStringList, names);
        QFETCH(int, rows);
        QFETCH(QString, title);
        writeTagged(logPath("p.mlog"), "p", 30, 0);
        writeTagged(logPath("q.mlog"), "q", 40, 2);
        mainWindow window;
        QVERIFY(showExposed(window));
        DialogDriver driver;
        auto *table = child<QTableWidget>(window, "twFiles");
        QTRY_VERIFY(table->rowCount() >= 2);
        QTRY_VERIFY(idle(window));
        const int tabsBefore = resultTabs(window)->count();
        for (int row = 0; row < table->rowCount(); ++row) {
            const QString name = table->item(row, 0)->text();
            if (!names.contains(name))
                continue;
            const QRect cell = table->visualItemRect(table->item(row, 0));
            if (byClicks)
                QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::ControlModifier, cell.center());
            else
                table->selectionModel()->select(table->model()->index(row, 0),
                                                QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
        QCOMPARE(resultTabs(window)->count(), tabsBefore);
        QCOMPARE(table->selectionModel()->selectedRows().size(), names.size());
        trigger(window, "actionOpenSelectedTogether");
        QCOMPARE(currentModel(window)->rowCount(), rows);
        QCOMPARE(bool(currentTab(window).set), names.size() > 1);
        QCOMPARE(window.windowTitle(), title + QStringLiteral(" - Vrel View Audit"));
        QCOMPARE(driver.texts, QStringList());
    }

    // A log in one tab, a set in another: switching reads nothing again,
    // and each tab shows its own rows and names its own title.
    void switchReadsNothing()
    {
        const QString one = writeTagged(logPath("one.mlog"), "one", 300, 0);
        const QString a = writeTagged(logPath("a.mlog"), "a", 200, 0);
        const QString b = writeTagged(logPath("b.mlog"), "b", 150, 50);
        QVERIFY(!one.isEmpty() && !a.isEmpty() && !b.isEmpty());
        mainWindow window;
        QVERIFY(showExposed(window));
        DialogDriver driver;
        window.openLogPath(one);
        window.openLogSet({a, b});
        QTabWidget *tabs = resultTabs(window);
        QCOMPARE(tabs->count(), 2);
        const LogSet *set = window.tabs().value(1).set.get();
        QVERIFY(set && set->logCount() == 2);
        QSignalSpy readsOne(window.tabs().value(0).log.get(), &CLog::valueMaximum);
        QSignalSpy readsA(set->logAt(0), &CLog::valueMaximum);
        QSignalSpy readsB(set->logAt(1), &CLog::valueMaximum);
        for (int step = 0; step < 4; ++step) {
            const int to = step % 2 == 0 ? 0 : 1;
            tabs->setCurrentIndex(to);
            QCOMPARE(currentModel(window)->rowCount(), to == 0 ? 300 : 350);
            QVERIFY2(firstRow(window).endsWith(to == 0 ? QStringLiteral("/srv/one/0") : QStringLiteral("/srv/a/0")),
                     qPrintable(firstRow(window)));
            QCOMPARE(window.windowTitle(), (to == 0 ? one : QStringLiteral("a.mlog + 1 more"))
                                               + QStringLiteral(" - Vrel View Audit"));
        }
        QCOMPARE(readsOne.count() + readsA.count() + readsB.count(), 0);
        QCOMPARE(driver.texts, QStringList());
    }

    void oneLogTakesTheSetsPlace_data()
    {
        QTest::addColumn<QString>("way");
        QTest::addColumn<bool>("current"); // the log opened is the window's current one
        QTest::newRow("File > Open, another log") << "open" << false;
        QTest::newRow("File > Open, the current log") << "open" << true;
        QTest::newRow("log files panel, another log") << "panel" << false;
        QTest::newRow("log files panel, the current log") << "panel" << true;
    }

    // The tab over the set shows the log chosen, as a tab of one log does,
    // and says so in its name and the window's title.
    void oneLogTakesTheSetsPlace()
    {
        QFETCH(QString, way);
        QFETCH(bool, current);
        const QString single = writeTagged(m_dir.filePath(QStringLiteral("single.mlog")), "single", 30, 0);
        const QString other = writeTagged(m_dir.filePath(QStringLiteral("other.mlog")), "other", 40, 0);
        const QString a = writeTagged(m_dir.filePath(QStringLiteral("a.mlog")), "a", 20, 0);
        const QString b = writeTagged(m_dir.filePath(QStringLiteral("b.mlog")), "b", 20, 1);
        mainWindow window;
        QVERIFY(showExposed(window));
        DialogDriver driver;
        auto *table = child<QTableWidget>(window, "twFiles");
        QTRY_VERIFY(table->rowCount() >= 4);
        QTRY_VERIFY(idle(window));
        window.openLogPath(single);
        window.openLogSet({a, b});
        QVERIFY(currentTab(window).set);
        const QString chosen = current ? single : other;
        if (way == QLatin1String("open")) {
            window.openLogPath(chosen);
        } else {
            for (int row = 0; row < table->rowCount(); ++row) {
                if (table->item(row, 0)->data(Qt::UserRole).toString() == chosen)
                    QTest::mouseClick(table->viewport(), Qt::LeftButton, {},
                                      table->visualItemRect(table->item(row, 0)).center());
            }
        }
        QTRY_VERIFY(idle(window));
        QVERIFY(!currentTab(window).set);
        QCOMPARE(currentTab(window).filePath, chosen);
        QCOMPARE(currentModel(window)->rowCount(), current ? 30 : 40);
        QVERIFY2(firstRow(window).endsWith(current ? "/srv/single/0" : "/srv/other/0"), qPrintable(firstRow(window)));
        QCOMPARE(window.windowTitle(), chosen + QStringLiteral(" - Vrel View Audit"));
        const QTabWidget *tabs = resultTabs(window);
        QVERIFY2(tabs->tabText(tabs->currentIndex()).startsWith(QFileInfo(chosen).fileName() + QStringLiteral(" - ")),
                 qPrintable(tabs->tabText(tabs->currentIndex())));
        QCOMPARE(driver.texts, QStringList());
    }

    void marksRefusedEveryWay_data()
    {
        QTest::addColumn<QString>("action");
        for (const char *action :
             {"actionMarkToggle", "actionMarkNext", "actionMarkPrevious", "actionMarksShow", "actionResultsSaveMarked"})
            QTest::newRow(action) << action;
    }

    // Whatever way in, a set's tab says marks are not for it, and shows
    // none of the log current before it.
    void marksRefusedEveryWay()
    {
        QFETCH(QString, action);
        const QString single = writeTagged(m_dir.filePath(QStringLiteral("marked.mlog")), "marked", 30, 0);
        const QString a = writeTagged(m_dir.filePath(QStringLiteral("m1.mlog")), "m1", 20, 0);
        const QString b = writeTagged(m_dir.filePath(QStringLiteral("m2.mlog")), "m2", 20, 1);
        mainWindow window;
        QVERIFY(showExposed(window));
        DialogDriver driver;
        window.openLogPath(single);
        selectRow(window, 3);
        currentView(window)->setCurrentIndex(currentModel(window)->index(3, 0));
        trigger(window, "actionMarkToggle");
        QCOMPARE(window.statusBar()->currentMessage(), QStringLiteral("Row marked"));
        window.openLogSet({a, b});
        QVERIFY(currentTab(window).set);
        selectRow(window, 0);
        currentView(window)->setCurrentIndex(currentModel(window)->index(0, 0));
        trigger(window, qPrintable(action));
        QCOMPARE(window.statusBar()->currentMessage(),
                 QStringLiteral("Marks are not available for logs opened together"));
        QCOMPARE(driver.texts, QStringList());
        QCOMPARE(driver.fileDialogs, 0);
        const QDialog *list = window.findChild<QDialog *>(QStringLiteral("dlgMarks"));
        QVERIFY(!list || !list->isVisible());
    }

    // A list shown over one log's tab holds nothing once a tab over a set
    // is current, not even the marks of that log when it is of the set.
    void marksListEmptyOverSet()
    {
        // The marked log is the newest of the set: the one a set's tab
        // names as its log.
        const QString single = writeTagged(m_dir.filePath(QStringLiteral("listed.mlog")), "listed", 30, 100);
        const QString older = writeTagged(m_dir.filePath(QStringLiteral("l1.mlog")), "l1", 20, 0);
        mainWindow window;
        QVERIFY(showExposed(window));
        DialogDriver driver;
        window.openLogPath(single);
        currentView(window)->setCurrentIndex(currentModel(window)->index(5, 0));
        trigger(window, "actionMarkToggle");
        trigger(window, "actionMarksShow");
        auto *list = window.findChild<QTreeView *>(QStringLiteral("tvMarks"));
        QVERIFY(list);
        testModel(list->model());
        QCOMPARE(list->model()->rowCount(), 1);
        window.openLogSet({older, single});
        QCOMPARE(list->model()->rowCount(), 0);
        resultTabs(window)->setCurrentIndex(0);
        QCOMPARE(list->model()->rowCount(), 1);
        resultTabs(window)->setCurrentIndex(1);
        QCOMPARE(list->model()->rowCount(), 0);
        QCOMPARE(driver.texts, QStringList());
    }

    // Go to time while a log is read: the busy warning, and no dialog that
    // would hold the read up.
    void goToTimeWaitsItsTurn()
    {
        const QString large = writeRecords(m_dir.filePath(QStringLiteral("large.mlog")), 300000, [](int i, MlogRecord &r) {
            r.time = 1780000000 + quint32(i);
            r.payload = "large";
        });
        const QString small = writeTagged(m_dir.filePath(QStringLiteral("small.mlog")), "small", 30, 0);
        mainWindow window;
        QVERIFY(showExposed(window));
        DialogDriver driver;
        window.openLogPath(small);
        bool dialogShown = false;
        driver.other = [&dialogShown](QDialog *dialog) {
            dialogShown = dialogShown || dialog->objectName() == QLatin1String("goToTimeDialog");
            dialog->reject();
        };
        QTimer poll;
        bool asked = false;
        whileBusy(poll, window, [&] {
            trigger(window, "actionGoToTime");
            asked = true;
            return true;
        });
        window.openLogPath(large);
        QVERIFY(asked);
        QTRY_VERIFY(idle(window));
        QCOMPARE(driver.texts, QStringList("Another process in progress.\nPlease, wait for finished!"));
        QVERIFY(!dialogShown);
    }
};

QTEST_MAIN(TestLogSetWindow)
#include "tst_logsetwindow.moc"
