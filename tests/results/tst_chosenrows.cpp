// The rows of a selection, read again from the log: the same bytes a save
// writes for those rows in every format, from ranges inside large blocks as
// well as across them; a cancel; the record of one row; and hidden values
// over blocks whose summaries are known.
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include "exportformat.h"
#include "resultlog.h"

namespace {

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

// The lines of a saved file (the header of CSV apart), each with its "\n".
QList<QByteArray> lines(const QByteArray &bytes)
{
    QList<QByteArray> all;
    for (int from = 0, at = 0; (at = bytes.indexOf('\n', from)) >= 0; from = at + 1)
        all.append(bytes.mid(from, at + 1 - from));
    return all;
}

using Ranges = QVector<QPair<int, int>>;

} // namespace

class TestChosenRows : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString path() const { return m_dir.filePath(QStringLiteral("blocks.mlog")); }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QVERIFY(writeBlocks(path()));
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
        QTest::newRow("every row") << QStringLiteral("file") << Ranges{{0, 12049}} << int(ExportFormat::Csv);
    }
    // A copy of chosen rows is, row for row, what a save of the whole result
    // writes for them, with or without turns of the event loop.
    void copyIsSave()
    {
        QFETCH(QString, pattern);
        QFETCH(Ranges, ranges);
        QFETCH(int, format);
        Results results(path(), makeFilter(pattern));
        results.model.runFilter();
        const int rows = results.model.rowCount();
        QVERIFY(rows > 0);
        const QString saved = m_dir.filePath(QStringLiteral("saved"));
        QVERIFY(results.model.saveToFile(saved, nullptr, ExportFormat(format)));
        const QByteArray bytes = readAll(saved);
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
        Results results(path(), makeFilter(QStringLiteral("file")));
        results.model.runFilter();
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
        Results results(path());
        results.model.runFilter();
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
            plain.readLog(path());
            plain.forEachBlockUtf8(0, plain.blockCount() - 1, [&](int, const QByteArray &texts) {
                expected += countMatchesUtf8(filter->matcher(), texts);
                return true;
            });
        }
        Results results(path(), filter);
        // The first walk leaves the summaries, the second is asked of them.
        results.model.runFilter();
        results.model.runFilter();
        QCOMPARE(results.model.rowCount(), expected);
        QVERIFY(expected > 0 || lists.value(4) == hidden.value(4));
    }
};

QTEST_MAIN(TestChosenRows)
#include "tst_chosenrows.moc"
