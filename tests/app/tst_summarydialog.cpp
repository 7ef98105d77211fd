// Results > Summary... driven offscreen as a user would: one pass with
// progress, the dialog of sortable tables, copy, Save as CSV, and cancel.
#include "apptest.h"
#include "csummarydialog.h"

#include <QAbstractItemModelTester>
#include <QClipboard>
#include <QStatusBar>
#include <QTableView>

namespace {

// 25 users (root and 24 ids without a name), 20 records each; every third
// record refused; ten records a second.
QString writeLogOf(const QString &path, int count)
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

} // namespace

class TestSummaryDialog : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void initTestCase() { startApp("tst_summarydialog"); }

    void showsCopiesAndSaves()
    {
        mainWindow window;
        window.show();
        window.openLogPath(writeLogOf(m_dir.filePath(QStringLiteral("summary.mlog")), 500));
        QSignalSpy progress(currentModel(window), &CStringListModel::valueMaximum);
        trigger(window, "actionSummary");
        QCOMPARE(progress.count(), 1);
        QVERIFY(!window.isBusy());
        CSummaryDialog *dialog = summaryDialog(window);
        QVERIFY(dialog && dialog->isVisible() && !dialog->isModal());
        std::vector<std::unique_ptr<QAbstractItemModelTester>> testers;
        for (int t = 0; t < ResultSummary::tableCount; ++t) {
            QAbstractItemModel *model = dialog->table(ResultSummary::Table(t))->model();
            testers.emplace_back(new QAbstractItemModelTester(model, QAbstractItemModelTester::FailureReportingMode::QtTest));
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

    // Cancel (Esc) during the pass: no dialog, and the status bar says so.
    void cancelSaysSo()
    {
        mainWindow window;
        window.show();
        window.openLogPath(writeLogOf(m_dir.filePath(QStringLiteral("cancel.mlog")), 20000));
        connect(currentModel(window), &CStringListModel::valueChanged, &window,
                [&window] { child<QAction>(window, "actionCancel")->trigger(); });
        trigger(window, "actionSummary");
        QVERIFY(!window.isBusy());
        QVERIFY(!summaryDialog(window));
        QCOMPARE(window.statusBar()->currentMessage(), QStringLiteral("Summary cancelled."));
    }
};

QTEST_MAIN(TestSummaryDialog)
#include "tst_summarydialog.moc"
