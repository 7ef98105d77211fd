// The summary of a result against counts made directly from the records the
// log was written from; its top rows and "other"; its bound on memory; the
// reading of the saved rows; its CSV read back by an independent reader.
#include <QTemporaryDir>
#include <QtTest>

#include <cstdlib>
#include <numeric>

#include "exportreader.h"
#include "resultlog.h"
#include "resultsummary.h"

namespace {

const char *const fileEvents[] = {"open", "openat", "creat", "unlink"};

// Users root, an id without a name and two more; four file events; every
// third refused; 37 records a minute, so the rows span several hours.
MlogRecord recordOf(int i)
{
    static const quint32 uids[] = {0, 54321, 54322, 54323, 54321, 54321};
    return MlogRecord{T0 + quint32(i) * 60 / 37, {quint32(i), 1, uids[i % 6], 0, 0}, 2, quint16(i % 7 % 4),
                      i % 3 == 0 ? 1u : 0u, 0, "p" + QByteArray::number(i)};
}

// A table as key columns joined by "|" → counts.
using Counts = QMap<QString, QVector<qint64>>;

Counts countsOf(const QVector<ResultSummary::Row> &rows)
{
    Counts counts;
    for (const ResultSummary::Row &row : rows)
        counts.insert(row.keys.join(QLatin1Char('|')), row.counts);
    return counts;
}

void count(Counts *table, const QString &key, bool refused, bool withRefusals = true)
{
    QVector<qint64> &c = (*table)[key];
    c.resize(withRefusals ? 2 : 1);
    ++c[0];
    if (withRefusals)
        c[1] += refused;
}

ResultSummary::Fields fields(const char *user, const char *status = "success", const char *time = "",
                             const char *event = "")
{
    return ResultSummary::Fields{user, "", time, *event ? "file" : "", status, event};
}

// The first column and first count of a table's rows.
QStringList firstCells(const QVector<ResultSummary::Row> &rows)
{
    QStringList cells;
    for (const ResultSummary::Row &row : rows)
        cells.append(row.keys.first() + QLatin1Char('=') + QString::number(row.counts.first()));
    return cells;
}

// The keys, joined by "|", of the one row of `table` after counting a row
// of user `name` and event `event`.
QString onlyKey(ResultSummary::Table table, const QByteArray &name, const QByteArray &event)
{
    ResultSummary summary;
    const QByteArray text = "[f] <1,2,3,4,5> [s] " + event + " 2026-01-02 03:04:05 /x";
    summary.addRow(std::string_view(name.constData(), size_t(name.size())),
                   std::string_view(text.constData(), size_t(text.size())));
    const QVector<ResultSummary::Row> rows = summary.rowsOf(table);
    return rows.size() == 1 ? rows.first().keys.join(QLatin1Char('|')) : QStringLiteral("<%1 rows>").arg(rows.size());
}

} // namespace

class TestSummary : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void initTestCase()
    {
        qputenv("TZ", "UTC");
        tzset();
        QStandardPaths::setTestModeEnabled(true);
        QVERIFY(writeLog(m_dir.filePath(QStringLiteral("summary.mlog")), 5000, recordOf));
    }

    // The rows of a filter and of a time range that cuts blocks, counted by
    // the summary and directly from the records.
    void countsAgree_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<int>("from"); // the records from this one on
        QTest::newRow("every record") << QString() << 0;
        QTest::newRow("refusals") << fragments().at(1) << 0;
        QTest::newRow("the last hour") << QString() << 5000 - 37 * 60;
    }

    void countsAgree()
    {
        QFETCH(QString, pattern);
        QFETCH(int, from);
        const qint64 end = recordOf(4999).time;
        const qint32 period = from > 0 ? -qint32(end - recordOf(from).time) : 0;
        Results results(m_dir.filePath(QStringLiteral("summary.mlog")),
                        makeFilter(pattern, period, from > 0 ? QDateTime::fromSecsSinceEpoch(end) : QDateTime()));
        results.model.useFilterRange();
        QSignalSpy progress(&results.model, &CStringListModel::valueChanged);
        ResultSummary summary;
        QCOMPARE(summarizeRows(&results.model, &summary), SummaryEnd::Done);
        QVERIFY(!progress.isEmpty());

        Counts users, events, statuses, refusals, hours;
        for (int i = 0; i < 5000; ++i) {
            const MlogRecord r = recordOf(i);
            const bool refused = r.status != 0;
            if ((!pattern.isEmpty() && !refused) || r.time < recordOf(from).time)
                continue;
            const QString user = r.subject[2] == 0 ? QStringLiteral("root") : QString::number(r.subject[2]);
            count(&users, user, refused);
            count(&events, QString::fromLatin1(fileEvents[r.event]) + QStringLiteral("|file"), refused);
            count(&statuses, refused ? QStringLiteral("refusal") : QStringLiteral("success"), refused, false);
            if (refused)
                count(&refusals, user, refused, false);
            count(&hours, QDateTime::fromSecsSinceEpoch(r.time, Qt::UTC).toString(QStringLiteral("yyyy-MM-dd hh:00")),
                  refused);
        }
        QCOMPARE(summary.rows(), std::accumulate(statuses.cbegin(), statuses.cend(), qint64(0),
                                                 [](qint64 sum, const QVector<qint64> &c) { return sum + c[0]; }));
        QVERIFY(hours.size() > 1 || from > 0);
        QCOMPARE(countsOf(summary.rowsOf(ResultSummary::Users)), users);
        QCOMPARE(countsOf(summary.rowsOf(ResultSummary::Events)), events);
        QCOMPARE(countsOf(summary.rowsOf(ResultSummary::Statuses)), statuses);
        QCOMPARE(countsOf(summary.rowsOf(ResultSummary::UserRefusals)), refusals);
        QCOMPARE(countsOf(summary.rowsOf(ResultSummary::Hours)), hours);
    }

    // A cancel and a record the filter cannot decide end the walk without a summary.
    void endsEarly_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<int>("end");
        QTest::newRow("cancelled") << QStringLiteral("p1") << int(SummaryEnd::Cancelled);
        QTest::newRow("undecidable") << QStringLiteral("(a|a|a|a|a|a|a|a)*\\1b") << int(SummaryEnd::Stopped);
    }

    void endsEarly()
    {
        QFETCH(QString, pattern);
        QFETCH(int, end);
        const QString path = m_dir.filePath(QStringLiteral("early.mlog"));
        QVERIFY(writeLog(path, 20000, [](int i) { return fileRecord(quint32(i / 50), QByteArray(i % 2 ? 400 : 3, 'a')); }));
        Results results(path, makeFilter(pattern));
        results.model.useFilterRange();
        connect(&results.model, &CStringListModel::valueChanged, &results.model, &CStringListModel::cancel);
        ResultSummary summary;
        QCOMPARE(int(summarizeRows(&results.model, &summary)), end);
    }

    // The top rows by count, ties in key order, the rest summed as "other",
    // which stays last; a table of fewer rows has no "other".
    void topAndOther_data()
    {
        QTest::addColumn<int>("top");
        QTest::addColumn<QStringList>("users");
        // 5 x e, 4 x d, 3 x c, 2 x b, 1 x a and 1 x the empty name; every
        // row of b and c refused.
        QTest::newRow("top 2") << 2 << QStringList{"e=5", "d=4", "other=7"};
        QTest::newRow("top 5") << 5 << QStringList{"e=5", "d=4", "c=3", "b=2", "(none)=1", "other=1"};
        QTest::newRow("top 20") << 20 << QStringList{"e=5", "d=4", "c=3", "b=2", "(none)=1", "a=1"};
    }

    void topAndOther()
    {
        QFETCH(int, top);
        QFETCH(QStringList, users);
        ResultSummary summary;
        summary.add(fields(""));
        int n = 1;
        for (const char *name : {"a", "b", "c", "d", "e"}) {
            for (int i = 0; i < n; ++i)
                summary.add(fields(name, name[0] == 'b' || name[0] == 'c' ? "refusal" : "success"));
            ++n;
        }
        QCOMPARE(firstCells(summary.rowsOf(ResultSummary::Users, top)), users);
        QCOMPARE(firstCells(summary.rowsOf(ResultSummary::Statuses, top)), QStringList({"success=11", "refusal=5"}));
        const QVector<ResultSummary::Row> refusals = summary.rowsOf(ResultSummary::UserRefusals, 1);
        QCOMPARE(firstCells(refusals), QStringList({"c=3", "other=2"}));
        QVERIFY(refusals.last().other && !refusals.first().other);
    }

    // However many different names the rows hold, a table keeps no more
    // than its capacity; a name of many rows stays, its count too low by
    // no more than the table says, and "other" makes up the rest.
    void memoryBounded()
    {
        ResultSummary summary;
        const int names = 5 * ResultSummary::nameCapacity;
        qint64 heavy = 0;
        for (int i = 0; i < names; ++i) {
            const QByteArray name = "user" + QByteArray::number(i);
            summary.add(fields(name.constData(), "refusal", "2026-01-02T03:04:05Z", name.constData()));
            if (i % 4 == 0) {
                summary.add(fields("heavy", "refusal", "2026-01-02T03:04:05Z", "heavy"));
                ++heavy;
            }
        }
        const qint64 rows = names + heavy;
        QCOMPARE(summary.rows(), rows);
        for (const auto table : {ResultSummary::Users, ResultSummary::Events, ResultSummary::UserRefusals}) {
            const QVector<ResultSummary::Row> rows20 = summary.rowsOf(table, 20);
            const qint64 under = summary.undercount(table);
            QVERIFY(under > 0 && under <= 2 * rows / ResultSummary::nameCapacity);
            QVERIFY(!summary.undercountNote(table).isEmpty());
            QCOMPARE(rows20.first().keys.first(), QStringLiteral("heavy"));
            QVERIFY(rows20.first().counts.first() <= heavy && rows20.first().counts.first() >= heavy - under);
            QCOMPARE(std::accumulate(rows20.cbegin(), rows20.cend(), qint64(0),
                                     [](qint64 sum, const ResultSummary::Row &r) { return sum + r.counts.first(); }),
                     rows);
            QVERIFY(summary.rowsOf(table, 1 << 30).size() <= ResultSummary::nameCapacity + 1);
        }
        QCOMPARE(summary.undercount(ResultSummary::Hours), qint64(0));
        QCOMPARE(firstCells(summary.rowsOf(ResultSummary::Hours)), QStringList{"2026-01-02 03:00=" + QString::number(rows)});
    }

    // Rows of ids without a name are counted exactly up to the table's
    // capacity of ids: the heavy ones first, ties in key order ("10" before "11" before "9"), an id
    // whose decimal is a name counted with that name, "other" the rest.
    // One id more and the counts become lower bounds, the heavy ids kept.
    void idsCountedExactly_data()
    {
        QTest::addColumn<int>("extra");
        QTest::newRow("capacity") << 0;
        QTest::newRow("one more") << 1;
    }

    void idsCountedExactly()
    {
        QFETCH(int, extra);
        ResultSummary summary;
        const auto row = [&summary](const char *name, quint32 uid, bool refused) {
            const QByteArray text = "[f] <1,2," + QByteArray::number(uid) + ",4,5> " + (refused ? "[f]" : "[s]")
                                    + " open 2026-01-02 03:04:05 /x";
            summary.addRow(name, std::string_view(text.constData(), size_t(text.size())));
        };
        for (int i = 0; i < 5; ++i) {
            row("", 7, true);
            row("", 9, false);
            row("", 10, false);
            row("", 11, false);
        }
        // With 7, 9, 10 and 11: the capacity's ids, and `extra` more.
        const int ids = ResultSummary::nameCapacity - 4 + extra;
        for (int i = 0; i < ids; ++i)
            row("", 100000 + quint32(i), i % 2);
        row("7", 123, false); // a name that is also an id's decimal
        if (extra > 0) {
            const qint64 under = summary.undercount(ResultSummary::Users);
            QVERIFY(under > 0 && under <= 2 * summary.rows() / ResultSummary::nameCapacity);
            QCOMPARE(summary.undercount(ResultSummary::UserRefusals), under);
            const QVector<ResultSummary::Row> top = summary.rowsOf(ResultSummary::Users, 3);
            QCOMPARE(top.first().keys.first(), QStringLiteral("7"));
            QVERIFY(top.first().counts.first() >= 6 - under);
            QCOMPARE(top.last().counts.first() + top.at(0).counts.first() + top.at(1).counts.first()
                         + top.at(2).counts.first(),
                     summary.rows());
            QVERIFY(summary.rowsOf(ResultSummary::Users, 1 << 30).size() <= ResultSummary::nameCapacity + 2);
            return;
        }
        QCOMPARE(firstCells(summary.rowsOf(ResultSummary::Users, 3)),
                 QStringList({"7=6", "10=5", "11=5", "other=" + QString::number(ids + 5)}));
        // A tie across the cut: the key first in order stays.
        QCOMPARE(firstCells(summary.rowsOf(ResultSummary::Users, 2)),
                 QStringList({"7=6", "10=5", "other=" + QString::number(ids + 10)}));
        QCOMPARE(summary.rowsOf(ResultSummary::Users, 3).first().counts, QVector<qint64>({6, 5}));
        QCOMPARE(firstCells(summary.rowsOf(ResultSummary::UserRefusals, 1)),
                 QStringList({"7=5", "other=" + QString::number(ids / 2)}));
        QCOMPARE(summary.undercount(ResultSummary::Users), qint64(0));
        QCOMPARE(summary.rowsOf(ResultSummary::Users, 1 << 30).size(), ids + 4);
    }

    // Rows of every shape the save hands over (name, tab, text a line): a
    // name with a tab, an id without a name, a text of another shape, an
    // empty name and a long name cut at a character.
    void readsRows_data()
    {
        QTest::addColumn<QByteArray>("rows");
        QTest::addColumn<QStringList>("users");
        QTest::addColumn<QStringList>("events");
        QTest::addColumn<QStringList>("hours");
        QTest::newRow("plain") << QByteArray("root\t[f] <1,2,0,4,5> [s] open 2026-01-02 03:04:05 /x\n")
                               << QStringList{"root|1|0"} << QStringList{"open|file|1|0"}
                               << QStringList{"2026-01-02 03:00|1|0"};
        QTest::newRow("odd rows") << QByteArray("a\tb\t[f] <1,2,7,4,5> [f] open 2026-01-02 03:04:05 x, \"q\"\n"
                                                "\t[u] <1,2,9,4,5> [s] login 2026-01-02 04:00:00\n"
                                                "\tnot a record\n"
                                                "x\tno line end")
                                  << QStringList{"a\tb|1|1", "9|1|0", "(none)|1|0", "x|1|0"}
                                  << QStringList{"(none)||2|0", "open|file|1|1", "login|user|1|0"}
                                  << QStringList{"(none)|2|0", "2026-01-02 03:00|1|1", "2026-01-02 04:00|1|0"};
        const QByteArray longName = QByteArray(ResultSummary::keyBytes - 1, 'n') + "\xc3\xa4" + "tail";
        const QByteArray text = "\t[f] <1,2,3,4,5> [s] open 2026-01-02 03:04:05 ";
        QTest::newRow("long") << longName + text + "a\n" + longName + "2" + text + QByteArray(70000, 'p')
                              << QStringList{QString(ResultSummary::keyBytes - 1, 'n') + QStringLiteral("…|2|0")}
                              << QStringList{"open|file|2|0"} << QStringList{"2026-01-02 03:00|2|0"};
    }

    void readsRows()
    {
        QFETCH(QByteArray, rows);
        QFETCH(QStringList, users);
        QFETCH(QStringList, events);
        QFETCH(QStringList, hours);
        ResultSummary summary;
        for (const QByteArray &row : rows.split('\n')) {
            if (row.isEmpty())
                continue;
            const int tab = row.lastIndexOf('\t');
            summary.addRow(std::string_view(row.constData(), size_t(std::max(tab, 0))),
                           std::string_view(row.constData() + tab + 1, size_t(row.size() - tab - 1)));
        }
        for (const auto &[table, expected] : {std::make_pair(ResultSummary::Users, users),
                                              std::make_pair(ResultSummary::Events, events),
                                              std::make_pair(ResultSummary::Hours, hours)}) {
            QStringList got, want = expected;
            for (const ResultSummary::Row &row : summary.rowsOf(table))
                got << (row.keys + QStringList{QString::number(row.counts.at(0)), QString::number(row.counts.at(1))}).join('|');
            got.sort();
            want.sort();
            QCOMPARE(got, want);
        }
    }

    // Every table in the CSV, read back by Python's csv module; the text
    // form with its columns aligned.
    void writesCsvAndText()
    {
        ResultSummary summary;
        summary.add(fields("a,\"b\"", "success", "2026-01-02T03:04:05Z", "open"));
        summary.add(fields("c", "refusal", "2026-01-02T03:04:05Z", "open"));
        QCOMPARE(summary.toText().section(QLatin1Char('\n'), 0, 4),
                 QStringLiteral("Users\nUser   Records  Refusals\na,\"b\"        1         0\nc            1         1\n"));
        if (!haveExportReader())
            QSKIP("python3 is not installed");
        const QString path = m_dir.filePath(QStringLiteral("summary.csv"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(summary.toCsv()) > 0);
        file.close();
        QProcess python;
        python.start(QStringLiteral("python3"),
                     {QStringLiteral("-c"),
                      QStringLiteral("import csv,sys\n"
                                     "for row in csv.reader(open(sys.argv[1], newline='', encoding='utf-8'), strict=True):\n"
                                     "    print('|'.join(row))"),
                      path});
        QVERIFY(python.waitForFinished(60000) && python.exitCode() == 0);
        QCOMPARE(QString::fromUtf8(python.readAllStandardOutput()).split(QLatin1Char('\n')),
                 QStringList({"Users", "User|Records|Refusals", "a,\"b\"|1|0", "c|1|1", "",
                              "Events", "Event|Kind|Records|Refusals", "open|file|2|1", "",
                              "Status", "Status|Records", "refusal|1", "success|1", "",
                              "Refusals by user", "User|Refusals", "c|1", "",
                              "Hours", "Hour|Records|Refusals", "2026-01-02 03:00|2|1", ""}));
    }
    // A name of exactly the length the summary keeps stays whole; one byte
    // more is cut (at a character) and marked; the same for users and events.
    void nameAtTheKeptLength_data()
    {
        const int keep = ResultSummary::keyBytes;
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QString>("shown");
        const QString ellipsis = QStringLiteral("…");
        QTest::newRow("one byte short") << QByteArray(keep - 1, 'n') << QString(keep - 1, 'n');
        QTest::newRow("exactly kept") << QByteArray(keep, 'n') << QString(keep, 'n');
        QTest::newRow("one byte over") << QByteArray(keep + 1, 'n') << QString(keep, 'n') + ellipsis;
        // "ä" is two bytes: ending at the limit it stays, across it it goes.
        QTest::newRow("character ends at the limit")
            << QByteArray(keep - 2, 'n') + "\xc3\xa4" << QString(keep - 2, 'n') + QStringLiteral("ä");
        QTest::newRow("character across the limit")
            << QByteArray(keep - 1, 'n') + "\xc3\xa4" << QString(keep - 1, 'n') + ellipsis;
        QTest::newRow("character after the limit")
            << QByteArray(keep, 'n') + "\xc3\xa4" << QString(keep, 'n') + ellipsis;
    }

    void nameAtTheKeptLength()
    {
        QFETCH(QByteArray, name);
        QFETCH(QString, shown);
        QCOMPARE(onlyKey(ResultSummary::Users, name, "open"), shown);
        QCOMPARE(onlyKey(ResultSummary::Events, "root", name), shown + QStringLiteral("|file"));
    }
};

QTEST_MAIN(TestSummary)
#include "tst_summary.moc"
