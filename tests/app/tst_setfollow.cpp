// Follow log in a tab over logs opened together: records appended to the
// set's newest file come as rows; a rotation (files renamed on in their
// folder and a new file under the newest's name) keeps every row read and
// the new file's records follow; a file that is gone leaves the tab. Rows
// are compared with a fresh run over the files as they are then. The
// commands of a set tab (Refresh, Go to time, Save results, Summary) work
// over all its files.
#include "apptest.h"

#include "csummarydialog.h"
#include "resultview.h"

#include "logset.h"
#include "logwatcher.h"
#include "../results/resultlog.h"

namespace {

const quint32 kStart = kTaggedStart;

// Appends `count` records to `path` (made when missing), 10 a second from
// second `second` on.
bool appendTagged(const QString &path, const QByteArray &tag, int count, int second)
{
    return !writeTagged(path, tag, count, second, 10, true).isEmpty();
}

// Every row of `model`, loaded by moving `bar` (null: the model's own
// window) to each row not loaded yet.
QStringList rowsOf(CStringListModel *model, QScrollBar *bar)
{
    QStringList rows;
    for (int row = 0; row < model->rowCount(); ++row) {
        QString text = model->index(row, 0).data().toString();
        if (text.isEmpty()) {
            if (bar)
                bar->setValue(row);
            else
                model->scrollMoved(row);
            text = model->index(row, 0).data().toString();
        }
        rows.append(text);
    }
    return rows;
}

// The rows a fresh run of the default filter gives over the logs at `paths`.
QStringList freshRows(const QStringList &paths)
{
    LogSet set;
    set.readLogs(paths);
    CStringListModel model(&set, makeFilter());
    model.runFilter();
    return rowsOf(&model, nullptr);
}

} // namespace

class TestSetFollow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { startApp("vrelview-setfollow"); }

    void followed_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QStringList>("after");  // the set's files after the change, in merge order
        QTest::addColumn<QString>("message");    // what the status bar says; empty: nothing
        QTest::newRow("appended to the newest")
            << "append" << QStringList{"kernel.mlog.1", "kernel.mlog"} << QString();
        QTest::newRow("rotated") << "rotate" << QStringList{"kernel.mlog.2", "kernel.mlog.1", "kernel.mlog"}
                                 << "rotated";
        QTest::newRow("appended, then rotated before the window looks")
            << "append+rotate" << QStringList{"kernel.mlog.2", "kernel.mlog.1", "kernel.mlog"} << "rotated";
        QTest::newRow("an older file renamed alone")
            << "rename older" << QStringList{"kernel.mlog.old", "kernel.mlog"} << "rotated";
        QTest::newRow("newest deleted and made anew")
            << "delete newest" << QStringList{"kernel.mlog.1", "kernel.mlog"} << "left the tab";
    }

    // The set's rows after the change are exactly a fresh run's over its
    // files then (each record once, in time order), the tab and its tool tip
    // name the files as they are named now, and records appended next to
    // the newest file follow too.
    void followed()
    {
        QFETCH(QString, change);
        QFETCH(QStringList, after);
        QFETCH(QString, message);
        QTemporaryDir dir;
        clearSettings(dir.path());
        const QString older = dir.filePath(QStringLiteral("kernel.mlog.1"));
        const QString newest = dir.filePath(QStringLiteral("kernel.mlog"));
        QVERIFY(appendTagged(older, "old", 120, 0));
        QVERIFY(appendTagged(newest, "new", 80, 20));

        mainWindow window;
        window.resize(900, 600);
        window.show();
        DialogDriver driver;
        window.openLogSet({newest, older});
        QTabWidget *tabs = resultTabs(window);
        QWidget *page = tabs->currentWidget();
        testModel(modelOf(page));
        QCOMPARE(modelOf(page)->rowCount(), 200);
        QCOMPARE(tabs->tabText(0), QStringLiteral("kernel.mlog.1 + 1 more - default"));
        trigger(window, "actionFollow");
        QTRY_COMPARE(window.findChild<LogWatcher *>()->path(), newest);
        QVERIFY(child<QLabel>(window, "lbFilter")->text().contains(QStringLiteral("Following")));
        QTRY_VERIFY(idle(window));
        const QStringList before = rowsOf(modelOf(page), scrollBar(page));
        QSignalSpy messages(window.statusBar(), &QStatusBar::messageChanged);

        const auto rotate = [&] {
            return QFile::rename(older, dir.filePath(QStringLiteral("kernel.mlog.2"))) && QFile::rename(newest, older)
                   && appendTagged(newest, "next", 30, 40);
        };
        int added = 0;
        if (change == QLatin1String("append")) {
            QVERIFY(appendTagged(newest, "more", 40, 30));
            added = 40;
        } else if (change == QLatin1String("rotate")) {
            QVERIFY(rotate());
            added = 30;
        } else if (change == QLatin1String("append+rotate")) {
            QVERIFY(appendTagged(newest, "more", 10, 30));
            QVERIFY(rotate());
            added = 40;
        } else if (change == QLatin1String("rename older")) {
            QVERIFY(QFile::rename(older, dir.filePath(QStringLiteral("kernel.mlog.old"))));
            // The newest file's growth shows the renamed one.
            QVERIFY(appendTagged(newest, "more", 10, 30));
            added = 10;
        } else {
            QVERIFY(QFile::remove(newest));
            QVERIFY(appendTagged(newest, "next", 30, 40));
            added = 30 - 80;
        }
        QStringList paths;
        for (const QString &name : qAsConst(after))
            paths.append(dir.filePath(name));
        QTRY_COMPARE_WITH_TIMEOUT(modelOf(page)->rowCount(), 200 + added, 10000);
        QTRY_VERIFY(idle(window));
        CStringListModel *model = modelOf(page);
        QCOMPARE(model->logs()->paths(), paths);
        const QStringList rows = rowsOf(model, scrollBar(page));
        QCOMPARE(rows, freshRows(paths));
        // What was read before stays, unless its file is gone.
        if (change != QLatin1String("delete newest"))
            QCOMPARE(rows.mid(0, before.size()), before);
        QCOMPARE(QSet<QString>(rows.begin(), rows.end()).size(), rows.size());

        const QString name = mainWindow::setName(paths);
        QCOMPARE(tabs->tabText(0), name + QStringLiteral(" - default"));
        QVERIFY2(window.windowTitle().startsWith(name), qPrintable(window.windowTitle()));
        for (const QString &path : qAsConst(paths))
            QVERIFY2(tabs->tabToolTip(0).contains(QDir::toNativeSeparators(path)), qPrintable(tabs->tabToolTip(0)));
        bool told = false;
        for (const QList<QVariant> &shown : qAsConst(messages))
            told = told || (!message.isEmpty() && shown.at(0).toString().contains(message));
        QCOMPARE(told, !message.isEmpty());

        // Following goes on with the newest file.
        QCOMPARE(window.findChild<LogWatcher *>()->path(), newest);
        QVERIFY(appendTagged(newest, "last", 25, 60));
        QTRY_COMPARE_WITH_TIMEOUT(modelOf(page)->rowCount(), 200 + added + 25, 10000);
        QTRY_VERIFY(idle(window));
        QCOMPARE(rowsOf(modelOf(page), scrollBar(page)), freshRows(paths));
        QVERIFY2(driver.texts.isEmpty(), qPrintable(driver.texts.join(QLatin1Char('\n'))));
    }

    // A set tab that is not current is not followed meanwhile; once current
    // again, what its newest file gained comes in.
    void followsTheCurrentSet()
    {
        QTemporaryDir dir;
        clearSettings(dir.path());
        const QString a = dir.filePath(QStringLiteral("a.mlog"));
        const QString b = dir.filePath(QStringLiteral("b.mlog"));
        const QString single = dir.filePath(QStringLiteral("single.mlog"));
        QVERIFY(appendTagged(a, "a", 50, 0));
        QVERIFY(appendTagged(b, "b", 50, 10));
        QVERIFY(appendTagged(single, "s", 30, 0));
        mainWindow window;
        window.resize(900, 600);
        window.show();
        DialogDriver driver;
        window.openLogSet({a, b});
        QWidget *setPage = resultTabs(window)->currentWidget();
        trigger(window, "actionNewTab");
        window.openLogPath(single);
        QWidget *singlePage = resultTabs(window)->currentWidget();
        trigger(window, "actionFollow");
        QTRY_COMPARE(window.findChild<LogWatcher *>()->path(), single);
        QTRY_VERIFY(idle(window));
        QVERIFY(appendTagged(b, "b+", 20, 30));
        QVERIFY(appendTagged(single, "s+", 5, 30));
        QTRY_COMPARE_WITH_TIMEOUT(modelOf(singlePage)->rowCount(), 35, 10000);
        QCOMPARE(modelOf(setPage)->rowCount(), 100);
        resultTabs(window)->setCurrentWidget(setPage);
        QTRY_COMPARE(window.findChild<LogWatcher *>()->path(), b);
        QTRY_COMPARE_WITH_TIMEOUT(modelOf(setPage)->rowCount(), 120, 10000);
        QTRY_VERIFY(idle(window));
        QCOMPARE(rowsOf(modelOf(setPage), scrollBar(setPage)), freshRows({a, b}));
        QVERIFY(driver.texts.isEmpty());
    }

    void commandsOverTheSet_data()
    {
        QTest::addColumn<QString>("command");
        QTest::newRow("Refresh reads the set's files again") << "actionRefresh";
        QTest::newRow("Go to time reaches any file") << "actionGoToTime";
        QTest::newRow("Save results writes every file's rows") << "actionResultsSave";
        QTest::newRow("Summary counts every file's records") << "actionSummary";
    }

    void commandsOverTheSet()
    {
        QFETCH(QString, command);
        QTemporaryDir dir;
        clearSettings(dir.path());
        const QString older = dir.filePath(QStringLiteral("kernel.mlog.1"));
        const QString newest = dir.filePath(QStringLiteral("kernel.mlog"));
        QVERIFY(appendTagged(older, "old", 120, 0));
        QVERIFY(appendTagged(newest, "new", 80, 20));
        const QString saved = dir.filePath(QStringLiteral("saved.txt"));
        const QString newestStart =
            QDateTime::fromSecsSinceEpoch(kStart + 20).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        // Go to time is given the newest file's first second; a file
        // dialog, the file to save.
        const QList<DialogDriver::Step> steps{[&](QWidget *modal) {
            if (auto *field = modal->findChild<QLineEdit *>(QStringLiteral("leGoToTime"))) {
                field->setText(newestStart);
                QTest::keyClick(field, Qt::Key_Return);
            }
        }};
        DialogDriver driver(command == QLatin1String("actionGoToTime") ? steps : QList<DialogDriver::Step>());
        driver.fileName = saved;
        mainWindow window;
        window.resize(900, 600);
        window.show();
        window.openLogSet({older, newest});
        QWidget *page = resultTabs(window)->currentWidget();
        if (command == QLatin1String("actionRefresh")) {
            QVERIFY(appendTagged(older, "old+", 15, 12));
            QVERIFY(appendTagged(newest, "new+", 5, 30));
        }
        trigger(window, command.toLatin1().constData());
        QTRY_VERIFY(idle(window));
        if (command == QLatin1String("actionRefresh")) {
            page = resultTabs(window)->currentWidget();
            QCOMPARE(modelOf(page)->rowCount(), 220);
            QCOMPARE(rowsOf(modelOf(page), scrollBar(page)), freshRows({older, newest}));
        } else if (command == QLatin1String("actionGoToTime")) {
            QCOMPARE(driver.done(), 1);
            const int top = dynamic_cast<ResultView *>(page)->topRow();
            QVERIFY2(modelOf(page)->index(top, 0).data().toString().endsWith(QStringLiteral("/srv/new/0")),
                     qPrintable(modelOf(page)->index(top, 0).data().toString()));
        } else if (command == QLatin1String("actionResultsSave")) {
            QTRY_VERIFY(QFile::exists(saved));
            const QStringList rows = rowsOf(modelOf(page), scrollBar(page));
            QCOMPARE(QString::fromUtf8(readAll(saved)), rows.join(QLatin1Char('\n')) + QLatin1Char('\n'));
        } else {
            CSummaryDialog *dialog = window.findChild<CSummaryDialog *>(QStringLiteral("summaryDialog"));
            QVERIFY(dialog);
            child<QTabWidget>(*dialog, "twSummary")->setCurrentIndex(ResultSummary::Statuses);
            QCOMPARE(dialog->selectedText(), QStringLiteral("Status\tRecords\nrefusal\t200\n"));
        }
        QVERIFY2(driver.texts.isEmpty(), qPrintable(driver.texts.join(QLatin1Char('\n'))));
    }
};

QTEST_MAIN(TestSetFollow)
#include "tst_setfollow.moc"
