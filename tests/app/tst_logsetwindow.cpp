// Logs opened together in the window: a tab over a set shows the records
// of all its files in time order, is named by its files, names the files
// it could not read, and keeps its set open across tab switches.
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
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
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
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
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
        const TabInfo info = window.tabs().value(resultTabs(window)->currentIndex());
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
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
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
        QCOMPARE(bool(window.tabs().value(resultTabs(window)->currentIndex()).set), names.size() > 1);
        QCOMPARE(window.windowTitle(), title + QStringLiteral(" - Vrel View Audit"));
        QCOMPARE(driver.texts, QStringList());
    }

    // Marks keep to one log: a set's tab says so and marks nothing.
    void marksRefusedInSet()
    {
        const QString a = writeTagged(logPath("m1.mlog"), "m1", 20, 0);
        const QString b = writeTagged(logPath("m2.mlog"), "m2", 20, 1);
        mainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        DialogDriver driver;
        window.openLogSet({a, b});
        selectRow(window, 0);
        trigger(window, "actionMarkToggle");
        QCOMPARE(window.statusBar()->currentMessage(), QStringLiteral("Marks are not available for logs opened together"));
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
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
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
};

QTEST_MAIN(TestLogSetWindow)
#include "tst_logsetwindow.moc"
