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
        QTest::addColumn<QString>("nameFilter"); // "" leaves the dialog's first
        QTest::addColumn<QString>("name");       // typed
        QTest::addColumn<QString>("written");    // the file's name
        QTest::addColumn<QString>("format");     // as the message names it
        QTest::newRow("all files: text, bare name kept") << QString() << "a" << "a" << "text";
        QTest::newRow("all files: text whatever the name") << QString() << "g.csv" << "g.csv" << "text";
        QTest::newRow("all files chosen, jsonl named") << "All files (*)" << "f.jsonl" << "f.jsonl" << "text";
        QTest::newRow("text chosen, bare name") << "Text (*.txt)" << "h" << "h.txt" << "text";
        QTest::newRow("csv chosen, bare name") << "CSV (*.csv)" << "b" << "b.csv" << "CSV";
        QTest::newRow("json lines chosen, bare name") << "JSON Lines (*.jsonl)" << "c" << "c.jsonl" << "JSON Lines";
        QTest::newRow("csv chosen, a name ending in a dot") << "CSV (*.csv)" << "k." << "k.csv" << "CSV";
        QTest::newRow("json lines chosen, its extension") << "JSON Lines (*.jsonl)" << "i.jsonl" << "i.jsonl"
                                                          << "JSON Lines";
        QTest::newRow("text chosen wins over a typed csv") << "Text (*.txt)" << "d.csv" << "d.csv" << "text";
        QTest::newRow("csv chosen wins over a typed txt") << "CSV (*.csv)" << "e.TXT" << "e.TXT" << "CSV";
        QTest::newRow("csv chosen, another extension kept") << "CSV (*.csv)" << "j.2026" << "j.2026" << "CSV";
    }

    // "All files" comes first and writes the text of the rows under any
    // name; a format chosen is the one written, its extension added to a
    // bare name; the status bar names the format.
    void saveFormats()
    {
        QFETCH(QString, nameFilter);
        QFETCH(QString, name);
        QFETCH(QString, written);
        QFETCH(QString, format);
        const QString path = m_dir.filePath(name);
        mainWindow window;
        window.show();
        window.openLogPath(writeLogOf(m_dir.filePath(QStringLiteral("export.mlog")), 500));
        QStringList filters;
        QString chosen;
        DialogDriver driver({[&](QWidget *modal) {
            auto *files = qobject_cast<QFileDialog *>(modal);
            filters = files ? files->nameFilters() : QStringList();
            if (!files)
                return;
            if (!nameFilter.isEmpty())
                files->selectNameFilter(nameFilter);
            chosen = files->selectedNameFilter();
            if (QWidget *focus = files->focusWidget())
                focus->clearFocus();
            files->selectFile(path);
            QTRY_COMPARE(files->selectedFiles().value(0), path);
            static_cast<QDialog *>(files)->accept();
        }});
        trigger(window, "actionResultsSave");
        QCOMPARE(filters, QStringList({"All files (*)", "Text (*.txt)", "CSV (*.csv)", "JSON Lines (*.jsonl)"}));
        QCOMPARE(chosen, nameFilter.isEmpty() ? filters.value(0) : nameFilter);
        QCOMPARE(driver.texts, QStringList());
        const QString target = m_dir.filePath(written);
        QCOMPARE(window.statusBar()->currentMessage(), QStringLiteral("Results saved as %1: %2").arg(format, target));
        QVERIFY(written == name || !QFile::exists(path));
        const QByteArray saved = readAll(target);
        const QByteArray rows = savedRows(window);
        if (format == QLatin1String("text")) {
            QCOMPARE(saved, rows);
        } else {
            QVERIFY2(saved.startsWith(format == QLatin1String("CSV") ? "user,time,kind," : "{\"user\":\"root\","),
                     saved.left(80).constData());
            QCOMPARE(saved.count('\n'), rows.count('\n') + (format == QLatin1String("CSV") ? 1 : 0));
        }
        QFile::remove(target);
    }
};

QTEST_MAIN(TestResultsExport)
#include "tst_resultsexport.moc"
