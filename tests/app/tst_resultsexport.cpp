// Save results in the formats of its file dialog, driven offscreen as a user
// would.
#include "apptest.h"

namespace {

QString writeLogOf(const QString &path, int count)
{
    return writeRecords(path, count, [](int i, MlogRecord &record) {
        record.time = 1780000000 + quint32(i / 10);
        record.subject[2] = i % 4 == 0 ? 0 : 54321;
        record.status = i % 3 == 0 ? 1 : 0;
        record.payload = QStringLiteral("item-%1, \"quoted\"").arg(i).toUtf8();
    });
}

} // namespace

class TestResultsExport : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void initTestCase() { startApp("tst_resultsexport"); }

    void saveFormats_data()
    {
        QTest::addColumn<QString>("nameFilter");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("starts");
        QTest::newRow("text by default") << QString() << "a" << QByteArray("root\t[f] <");
        QTest::newRow("csv chosen") << "CSV (*.csv)" << "b" << QByteArray("user,time,kind,");
        QTest::newRow("json lines chosen") << "JSON Lines (*.jsonl)" << "c" << QByteArray("{\"user\":\"root\",");
        QTest::newRow("typed csv over text") << "Text (*.txt)" << "d.csv" << QByteArray("user,time,kind,");
        QTest::newRow("typed txt over csv") << "CSV (*.csv)" << "e.TXT" << QByteArray("root\t[f] <");
        QTest::newRow("typed jsonl, default filter") << QString() << "f.jsonl" << QByteArray("{\"user\":\"root\",");
    }

    // The format follows the chosen name filter, and a typed extension
    // that names one; the text is the rows byte for byte.
    void saveFormats()
    {
        QFETCH(QString, nameFilter);
        QFETCH(QString, name);
        QFETCH(QByteArray, starts);
        const QString path = m_dir.filePath(name);
        mainWindow window;
        window.show();
        window.openLogPath(writeLogOf(m_dir.filePath(QStringLiteral("export.mlog")), 500));
        QStringList filters;
        DialogDriver driver({[&](QWidget *modal) {
            auto *files = qobject_cast<QFileDialog *>(modal);
            filters = files ? files->nameFilters() : QStringList();
            if (!files)
                return;
            if (!nameFilter.isEmpty())
                files->selectNameFilter(nameFilter);
            if (QWidget *focus = files->focusWidget())
                focus->clearFocus();
            files->selectFile(path);
            QTRY_COMPARE(files->selectedFiles().value(0), path);
            static_cast<QDialog *>(files)->accept();
        }});
        trigger(window, "actionResultsSave");
        QCOMPARE(filters, QStringList({"Text (*.txt)", "CSV (*.csv)", "JSON Lines (*.jsonl)"}));
        QCOMPARE(driver.texts, QStringList());
        const QByteArray saved = readAll(path);
        QVERIFY2(saved.startsWith(starts), saved.left(80).constData());
        if (starts.contains('\t'))
            QCOMPARE(saved, savedRows(window));
        else
            QCOMPARE(saved.count('\n'), savedRows(window).count('\n') + (starts.startsWith("user") ? 1 : 0));
    }
};

QTEST_MAIN(TestResultsExport)
#include "tst_resultsexport.moc"
