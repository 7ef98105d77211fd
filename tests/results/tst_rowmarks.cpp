// Marks on rows: a marked record is found among a result's rows wherever
// its block lies, loaded or not, through filters that hide it and show it
// again and while the log grows; a save of marked rows writes just theirs.
// The rows of a selection, read again from the log: the same bytes a save
// writes for those rows in every format, from ranges inside large blocks as
// well as across them; a cancel; the record of one row; and hidden values
// over blocks whose summaries are known.
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include "exportformat.h"
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
    RunResults all(path);
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

using Ranges = QVector<QPair<int, int>>;


// Blocks of 3, then one large block of 12000 records (pieces of its own),
// then blocks of 2; users 0, 7 and 70 in turn, every fifth refused.
bool writeBlocks(const QString &path)
{
    return writeLog(path, 12050, [](int n) {
        const quint32 second = n < 30 ? quint32(n / 3) : n < 12030 ? 10 : quint32(11 + (n - 12030) / 2);
        MlogRecord r = fileRecord(second, "/srv/data/file-" + QByteArray::number(n) + (n % 11 ? "" : " Grüße"),
                                  n % 5 == 0);
        const quint32 users[] = {0, 7, 70};
        r.subject[2] = users[n % 3];
        r.subject[3] = quint32(n % 4);
        r.kind = quint16(n % 7 == 0 ? 1 : 2);
        return r;
    });
}

} // namespace

class TestRowMarks : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString blocksPath() const { return m_dir.filePath(QStringLiteral("blocks.mlog")); }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QVERIFY(writeBlocks(blocksPath()));
    }

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
            RunResults tab(path, makeFilter(pattern));
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
        RunResults tab(path);
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
        RunResults tab(path);
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
        RunResults tab(path, makeFilter(kEvens));
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

    void copyIsSave_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<Ranges>("ranges");
        QTest::addColumn<int>("format");
        const Ranges inside{{5000, 5003}};
        const Ranges across{{25, 40}, {11990, 12010}};
        const Ranges many{{0, 0}, {2, 2}, {9000, 9100}, {3000, 3001}, {100, 90}};
        for (const int format : {int(ExportFormat::Text), int(ExportFormat::Csv), int(ExportFormat::JsonLines)}) {
            const QByteArray name = exportFormatName(ExportFormat(format)).toLatin1();
            QTest::newRow(name + ", inside the large block") << QString() << inside << format;
            QTest::newRow(name + ", across blocks, filtered") << QStringLiteral("file-\\d*[13579] ") << across << format;
            QTest::newRow(name + ", many ranges out of order") << QStringLiteral("file") << many << format;
        }
        QTest::newRow("past the last row") << QString() << Ranges{{12040, 20000}} << int(ExportFormat::Text);
        QTest::newRow("the last row") << QString() << Ranges{{12049, 12049}} << int(ExportFormat::Text);
        QTest::newRow("a range within another") << QString() << Ranges{{10, 60}, {20, 30}, {55, 70}} << int(ExportFormat::Text);
        QTest::newRow("every row") << QStringLiteral("file") << Ranges{{0, 12049}} << int(ExportFormat::Csv);
    }
    // A copy of chosen rows is, row for row, what a save of the whole result
    // writes for them, with or without turns of the event loop.
    void copyIsSave()
    {
        QFETCH(QString, pattern);
        QFETCH(Ranges, ranges);
        QFETCH(int, format);
        RunResults results(blocksPath(), makeFilter(pattern));
        const int rows = results.model.rowCount();
        QVERIFY(rows > 0);
        const QString saved = m_dir.filePath(QStringLiteral("saved"));
        QVERIFY(results.model.saveToFile(saved, nullptr, ExportFormat(format)));
        const QByteArray bytes = fileContents(saved);
        const QByteArray header = exportHeader(ExportFormat(format));
        QVERIFY(bytes.startsWith(header));
        const QList<QByteArray> savedLines = lines(bytes.mid(header.size()));
        QCOMPARE(savedLines.size(), rows);

        RowRanges chosen;
        QVector<bool> wanted(rows, false);
        for (const auto &range : ranges) {
            chosen.add(range.first, range.second);
            for (int r = std::min(range.first, range.second); r <= std::max(range.first, range.second) && r < rows; ++r)
                wanted[r] = true;
        }
        QByteArray expected = header;
        for (int r = 0; r < rows; ++r)
            expected += wanted[r] ? savedLines.at(r) : QByteArray();
        for (const bool turns : {false, true}) {
            QByteArray copied;
            QVERIFY(results.model.chosenRowsText(chosen, ExportFormat(format), turns, &copied));
            QCOMPARE(copied, expected);
        }
    }

    // A cancel ends the copy with false; the next copy is whole again.
    void cancel()
    {
        RunResults results(blocksPath(), makeFilter(QStringLiteral("file")));
        RowRanges all;
        all.add(0, results.model.rowCount() - 1);
        QByteArray copied;
        QTimer::singleShot(0, &results.model, &CStringListModel::cancel);
        // The cancel comes at the first turn: make the work last a slice.
        QVERIFY(!results.model.forEachChosenRow(all, true, [](std::string_view, std::string_view, qint64) {
            QThread::usleep(20);
        }));
        QVERIFY(results.model.isCancelled());
        QVERIFY(results.model.chosenRowsText(all, ExportFormat::Text, true, &copied));
        QCOMPARE(copied.count('\n'), results.model.rowCount());
    }

    // The record of a row is the text its row shows after the user's name,
    // with the time of its block.
    void recordOfRow_data()
    {
        QTest::addColumn<int>("row");
        QTest::newRow("first") << 0;
        QTest::newRow("inside the large block") << 7777;
        QTest::newRow("last") << 12049;
    }
    void recordOfRow()
    {
        QFETCH(int, row);
        RunResults results(blocksPath());
        QByteArray text;
        qint64 time = -1;
        QVERIFY(results.model.recordOfRow(row, &text, &time));
        RowRanges one;
        one.add(row, row);
        QByteArray shown;
        QVERIFY(results.model.chosenRowsText(one, ExportFormat::Text, false, &shown));
        QVERIFY(shown.endsWith('\t' + text + '\n'));
        const int block = results.model.blockForRow(row);
        QCOMPARE(time, results.log.blockTime(block));
        QVERIFY(!results.model.recordOfRow(results.model.rowCount(), &text, &time));
    }

    // With the blocks' summaries known, hidden values count exactly the
    // rows a plain walk over every record keeps.
    void hiddenWithSummaries_data()
    {
        QTest::addColumn<QList<QStringList>>("lists");
        QTest::addColumn<QList<QStringList>>("hidden");
        const QString user0 = QStringLiteral("<\\d+,\\d+,0,");
        const QString user7 = QStringLiteral("<\\d+,\\d+,7,");
        const QString process = QStringLiteral("^\\[p\\]");
        QTest::newRow("hide a user") << QList<QStringList>() << QList<QStringList>{{}, {}, {}, {}, {user0}, {}};
        QTest::newRow("show one, hide another")
            << QList<QStringList>{{}, {}, {}, {}, {user0, user7}, {}} << QList<QStringList>{{}, {}, {}, {}, {user0}, {}};
        QTest::newRow("hide what is shown") << QList<QStringList>{{}, {}, {}, {}, {user7}, {}}
                                            << QList<QStringList>{{}, {}, {}, {}, {user7}, {}};
        QTest::newRow("hide a kind and a user") << QList<QStringList>{{}, {process}, {}, {}, {}, {}}
                                                << QList<QStringList>{{}, {}, {}, {}, {user0}, {}};
    }
    void hiddenWithSummaries()
    {
        QFETCH(QList<QStringList>, lists);
        QFETCH(QList<QStringList>, hidden);
        CFilterPtr filter = makeFilter();
        filter->setLists(lists);
        filter->setHidden(hidden);
        int expected = 0;
        {
            CLog plain;
            plain.setSummariesUsed(false);
            plain.readLog(blocksPath());
            plain.forEachBlockUtf8(0, plain.blockCount() - 1, [&](int, const QByteArray &texts) {
                expected += countMatchesUtf8(filter->matcher(), texts);
                return true;
            });
        }
        Results results(blocksPath(), filter);
        // The first walk leaves the summaries, the second is asked of them.
        results.model.runFilter();
        results.model.runFilter();
        QCOMPARE(results.model.rowCount(), expected);
        QVERIFY(expected > 0 || lists.value(4) == hidden.value(4));
    }
};

QTEST_MAIN(TestRowMarks)
#include "tst_rowmarks.moc"
