// Marks on rows: a marked record is found among a result's rows wherever
// its block lies, loaded or not, through filters that hide it and show it
// again and while the log grows; a save of marked rows writes just theirs.
#include <QtTest>

#include "resultlog.h"
#include "rowmarks.h"
#include "rowtext.h"

namespace {

constexpr int kRecords = 20000;
const int kMarked[] = {5, 7, 12007, 19998, 19999};

// The record numbers of the rows of a result of `pattern` ("" for all).
bool shows(const QString &pattern, int record)
{
    if (pattern.isEmpty())
        return true;
    return pattern.contains(QLatin1Char('7')) ? record % 10 == 7 : record % 2 == 0;
}

const QString kEvens = QStringLiteral("rec=\\d*[02468](?!\\d)");
const QString kSevens = QStringLiteral("rec=\\d*7(?!\\d)");

// Marks records `records` of the log at `path` as a user would: by their
// rows in a result of every record.
void markRecords(const QString &path, std::initializer_list<int> records, RowMarks *marks)
{
    Results all(path);
    all.model.runFilter();
    for (const int record : records) {
        RowMarks::Mark mark;
        mark.offset = all.model.recordOfRow(record, &mark.text);
        QVERIFY(mark.offset >= 0);
        QVERIFY(mark.text.endsWith(QStringLiteral("rec=%1").arg(record)));
        QVERIFY(marks->toggle(RowMarks::logKey(path), mark));
    }
}

// The row of `record` in a result of `pattern`.
int rowOf(const QString &pattern, int record)
{
    int row = 0;
    for (int i = 0; i < record; ++i)
        row += shows(pattern, i) ? 1 : 0;
    return row;
}

} // namespace

class TestRowMarks : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    // The same marks under filters that hide some and show them again: the
    // rows are those of the marked records the filter shows, next and
    // previous step through them across blocks never loaded, and each row
    // leads back to its record.
    void marksFoundThroughFilters_data()
    {
        QTest::addColumn<int>("perSecond");
        QTest::newRow("a block a second") << 10;
        QTest::newRow("one block of many pieces") << kRecords;
    }
    void marksFoundThroughFilters()
    {
        QFETCH(int, perSecond);
        const QString path = m_dir.filePath(QStringLiteral("marks%1.mlog").arg(perSecond));
        QVERIFY(writeLog(path, kRecords, [perSecond](int i) { return numbered(i, perSecond); }));
        RowMarks marks;
        markRecords(path, {5, 7, 12007, 19998, 19999}, &marks);
        QCOMPARE(marks.count(RowMarks::logKey(path)), 5);
        for (const QString &pattern : {QString(), kEvens, kSevens, QString()}) {
            Results tab(path, makeFilter(pattern));
            tab.model.runFilter();
            std::vector<int> expected;
            for (const int record : kMarked) {
                if (shows(pattern, record))
                    expected.push_back(rowOf(pattern, record));
            }
            MarkedRows rows;
            rows.update(&tab.model, marks);
            QCOMPARE(rows.rows(), expected);
            if (perSecond == 10 && pattern.isEmpty())
                QVERIFY(tab.model.windowEndBlock() < 1200);  // the far marks' blocks were never loaded
            int row = -1;
            for (const int want : expected) {
                row = rows.after(row);
                QCOMPARE(row, want);
                QVERIFY(rows.contains(row));
                QVERIFY(!rows.contains(row + 1) || row + 1 == rows.after(row));
            }
            QCOMPARE(rows.after(row), -1);
            row = tab.model.rowCount();
            for (auto it = expected.rbegin(); it != expected.rend(); ++it) {
                row = rows.before(row);
                QCOMPARE(row, *it);
            }
            QCOMPARE(rows.before(row), -1);
            for (const RowMarks::Mark &mark : marks.marks(RowMarks::logKey(path))) {
                const int at = rows.rowOf(mark.offset);
                QCOMPARE(at >= 0, expected.end() != std::find(expected.begin(), expected.end(), at));
                if (at >= 0)
                    QCOMPARE(tab.model.recordOfRow(at), mark.offset);
            }
        }
    }

    // A file that holds other records at the marked offsets now (rewritten
    // in place) shows no marks; unmarking takes a mark away.
    void marksOfOtherRecordsNotShown()
    {
        const QString path = m_dir.filePath(QStringLiteral("rewritten.mlog"));
        QVERIFY(writeLog(path, 300, [](int i) { return numbered(i, 10); }));
        RowMarks marks;
        markRecords(path, {10, 250}, &marks);
        QVERIFY(writeLog(path, 300, [](int i) { return fileRecord(quint32(i / 10), "rek=" + QByteArray::number(i)); }));
        Results tab(path);
        tab.model.runFilter();
        MarkedRows rows;
        rows.update(&tab.model, marks);
        QVERIFY(rows.rows().empty());
        RowMarks::Mark mark = marks.marks(RowMarks::logKey(path)).first();
        QVERIFY(!marks.toggle(RowMarks::logKey(path), mark));
        QCOMPARE(marks.count(RowMarks::logKey(path)), 1);
    }

    // Marked records the log did not hold yet, or whose second the last
    // block shared, come to be rows as the log grows and the result follows.
    void marksComeWithGrowth()
    {
        const QString path = m_dir.filePath(QStringLiteral("grow.mlog"));
        const QString whole = m_dir.filePath(QStringLiteral("whole.mlog"));
        QVERIFY(writeLog(whole, 1500, [](int i) { return numbered(i, 10); }));
        QFile::remove(path);
        QVERIFY(QFile::copy(whole, path));
        RowMarks marks;
        markRecords(path, {1002, 1007, 1300}, &marks);
        QVERIFY(writeLog(path, 1005, [](int i) { return numbered(i, 10); }));
        Results tab(path);
        tab.model.runFilter();
        MarkedRows rows;
        rows.update(&tab.model, marks);
        QCOMPARE(rows.rows(), std::vector<int>({1002}));
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::Append));
            for (int i = 1005; i < 1500; ++i)
                QVERIFY(file.write(encodeRecord(numbered(i, 10))) > 0);
        }
        tab.log.readLog(path);
        QCOMPARE(tab.model.followGrowth(), CStringListModel::Growth::Added);
        rows.update(&tab.model, marks);
        QCOMPARE(rows.rows(), std::vector<int>({1002, 1007, 1300}));
    }

    // Saved, marked rows give exactly the lines of a whole save that belong
    // to them, in every format; marks the filter hides are not written.
    void saveOfMarkedRows_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<int>("header");  // lines before the rows
        QTest::newRow("text") << int(ExportFormat::Text) << 0;
        QTest::newRow("CSV") << int(ExportFormat::Csv) << 1;
        QTest::newRow("JSON Lines") << int(ExportFormat::JsonLines) << 0;
    }
    void saveOfMarkedRows()
    {
        QFETCH(int, format);
        QFETCH(int, header);
        const QString path = m_dir.filePath(QStringLiteral("save.mlog"));
        if (!QFile::exists(path))
            QVERIFY(writeLog(path, kRecords, [](int i) { return numbered(i, 10); }));
        RowMarks marks;
        markRecords(path, {5, 7, 12007, 19998, 19999}, &marks);
        Results tab(path, makeFilter(kEvens));
        tab.model.runFilter();
        const QString all = m_dir.filePath(QStringLiteral("all.out"));
        const QString marked = m_dir.filePath(QStringLiteral("marked.out"));
        QVERIFY(tab.model.saveToFile(all, nullptr, ExportFormat(format)));
        const std::vector<qint64> offsets = marks.offsets(RowMarks::logKey(path));
        QVERIFY(tab.model.saveToFile(marked, nullptr, ExportFormat(format), true, &offsets));
        QFile allFile(all);
        QVERIFY(allFile.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = allFile.readAll().split('\n');
        QByteArray expected;
        for (int i = 0; i < header; ++i)
            expected += lines.at(i) + '\n';
        for (const int record : kMarked) {
            if (shows(kEvens, record))
                expected += lines.at(header + rowOf(kEvens, record)) + '\n';
        }
        QFile markedFile(marked);
        QVERIFY(markedFile.open(QIODevice::ReadOnly));
        QCOMPARE(markedFile.readAll(), expected);
    }
};

QTEST_MAIN(TestRowMarks)
#include "tst_rowmarks.moc"
