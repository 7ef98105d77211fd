// The summary of a result against counts made directly from the records
// the log was written from, its top rows and "other", and its CSV read back
// by an independent reader.
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdlib>

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

QString userOf(quint32 uid)
{
    return uid == 0 ? QStringLiteral("root") : QString::number(uid);
}

using Counts = QMap<QStringList, QVector<qint64>>;

Counts countsOf(const QVector<ResultSummary::Row> &rows)
{
    Counts counts;
    for (const ResultSummary::Row &row : rows)
        counts.insert(row.keys, row.counts);
    return counts;
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
    }

    void countsAgree_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<bool>("refusedOnly");
        QTest::newRow("every record") << QString() << false;
        QTest::newRow("refusals") << fragments().at(1) << true;
    }

    void countsAgree()
    {
        QFETCH(QString, pattern);
        QFETCH(bool, refusedOnly);
        const int count = 5000;
        const QString path = m_dir.filePath(QStringLiteral("summary.mlog"));
        QVERIFY(writeLog(path, count, recordOf));
        Results results(path, makeFilter(pattern));
        results.model.useFilterRange();
        ResultSummary summary;
        QSignalSpy progress(&results.model, &CStringListModel::valueChanged);
        QVERIFY(results.model.summarize(&summary));
        QVERIFY(!progress.isEmpty());

        Counts users, events, statuses, refusals, hours;
        qint64 rows = 0;
        for (int i = 0; i < count; ++i) {
            const MlogRecord r = recordOf(i);
            const bool refused = r.status != 0;
            if (refusedOnly && !refused)
                continue;
            ++rows;
            const QString user = userOf(r.subject[2]);
            users[{user}].resize(1);
            ++users[{user}][0];
            events[{fileEvents[r.event], "file"}].resize(1);
            ++events[{fileEvents[r.event], "file"}][0];
            const QString status = refused ? "refusal" : "success";
            statuses[{status}].resize(1);
            ++statuses[{status}][0];
            refusals[{user}].resize(2);
            ++refusals[{user}][refused ? 0 : 1];
            const QString hour = QDateTime::fromSecsSinceEpoch(r.time, Qt::UTC).toString("yyyy-MM-dd hh:00");
            hours[{hour}].resize(1);
            ++hours[{hour}][0];
        }
        QCOMPARE(summary.rows(), rows);
        QVERIFY(hours.size() > 1);
        QCOMPARE(countsOf(summary.rowsOf(ResultSummary::Users)), users);
        QCOMPARE(countsOf(summary.rowsOf(ResultSummary::Events)), events);
        QCOMPARE(countsOf(summary.rowsOf(ResultSummary::Statuses)), statuses);
        QCOMPARE(countsOf(summary.rowsOf(ResultSummary::UserRefusals)), refusals);
        QCOMPARE(countsOf(summary.rowsOf(ResultSummary::Hours)), hours);
    }

    void topAndOther_data()
    {
        QTest::addColumn<int>("top");
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<QList<qint64>>("counts");
        // Users: 5 x e, 4 x d, 3 x c, 2 x b, 1 x a.
        QTest::newRow("top 2") << 2 << QStringList{"e", "d", "other"} << QList<qint64>{5, 4, 6};
        QTest::newRow("top 4") << 4 << QStringList{"e", "d", "c", "b", "other"} << QList<qint64>{5, 4, 3, 2, 1};
        QTest::newRow("top 5: no other") << 5 << QStringList{"e", "d", "c", "b", "a"} << QList<qint64>{5, 4, 3, 2, 1};
        QTest::newRow("top 20") << 20 << QStringList{"e", "d", "c", "b", "a"} << QList<qint64>{5, 4, 3, 2, 1};
    }

    void topAndOther()
    {
        QFETCH(int, top);
        QFETCH(QStringList, keys);
        QFETCH(QList<qint64>, counts);
        ResultSummary summary;
        const std::string_view text("[u] <1,2,3,4,5> [s] login 2026-01-02 03:04:05");
        int n = 1;
        for (const char *name : {"a", "b", "c", "d", "e"}) {
            for (int i = 0; i < n; ++i)
                summary.add(name, text);
            ++n;
        }
        const QVector<ResultSummary::Row> rows = summary.rowsOf(ResultSummary::Users, top);
        QStringList gotKeys;
        QList<qint64> gotCounts;
        for (const ResultSummary::Row &row : rows) {
            gotKeys.append(row.keys.first());
            gotCounts.append(row.counts.first());
        }
        QCOMPARE(gotKeys, keys);
        QCOMPARE(gotCounts, counts);
    }

    // A text of another shape counts under "(none)", never dropped; a user
    // without a name counts under the id.
    void otherShapes()
    {
        ResultSummary summary;
        summary.add("", "not a record");
        summary.add("", "[f] <1,2,777,4,5> [f] unlink 2026-01-02 03:04:05 /x");
        summary.add("root", "[f] <1,2,0,4,5> [s] open 2026-01-02 04:00:00");
        QCOMPARE(summary.rows(), qint64(3));
        QCOMPARE(countsOf(summary.rowsOf(ResultSummary::Users)),
                 Counts({{{"(none)"}, {1}}, {{"777"}, {1}}, {{"root"}, {1}}}));
        QCOMPARE(countsOf(summary.rowsOf(ResultSummary::Statuses)),
                 Counts({{{"(none)"}, {1}}, {{"refusal"}, {1}}, {{"success"}, {1}}}));
        QCOMPARE(countsOf(summary.rowsOf(ResultSummary::Hours)),
                 Counts({{{"(none)"}, {1}}, {{"2026-01-02 03:00"}, {1}}, {{"2026-01-02 04:00"}, {1}}}));
        QCOMPARE(countsOf(summary.rowsOf(ResultSummary::Events)),
                 Counts({{{"(none)", ""}, {1}}, {{"unlink", "file"}, {1}}, {{"open", "file"}, {1}}}));
    }

    // Every table in the CSV, read back by Python's csv module.
    void csvReadsBack()
    {
        if (!haveExportReader())
            QSKIP("python3 is not installed");
        ResultSummary summary;
        summary.add("a,\"b\"", "[f] <1,2,3,4,5> [s] open 2026-01-02 03:04:05");
        summary.add("c", "[f] <1,2,3,4,5> [f] open 2026-01-02 03:04:05");
        const QString path = m_dir.filePath(QStringLiteral("summary.csv"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(summary.toCsv()) > 0);
        file.close();
        QProcess python;
        python.start(QStringLiteral("python3"),
                     {QStringLiteral("-c"),
                      QStringLiteral("import csv,json,sys\n"
                                     "print(json.dumps(list(csv.reader(open(sys.argv[1], newline='', "
                                     "encoding='utf-8'), strict=True))))"),
                      path});
        QVERIFY(python.waitForFinished(60000) && python.exitCode() == 0);
        const QJsonArray rows = QJsonDocument::fromJson(python.readAllStandardOutput()).array();
        QStringList lines;
        for (const QJsonValue &row : rows) {
            QStringList fields;
            for (const QJsonValue &f : row.toArray())
                fields.append(f.toString());
            lines.append(fields.join(QLatin1Char('|')));
        }
        QCOMPARE(lines, QStringList({"Users", "User|Records", "a,\"b\"|1", "c|1", "",
                                     "Events", "Event|Kind|Records", "open|file|2", "",
                                     "Status", "Status|Records", "refusal|1", "success|1", "",
                                     "Refusals by user", "User|Refusals|Successes", "c|1|0", "a,\"b\"|0|1", "",
                                     "Hours", "Hour|Records", "2026-01-02 03:00|2"}));
    }

    // Cancelled at the first turn: no summary, and false.
    void cancelled()
    {
        const QString path = m_dir.filePath(QStringLiteral("cancel.mlog"));
        QVERIFY(writeLog(path, 20000, recordOf));
        Results results(path, makeFilter(QStringLiteral("p1")));
        results.model.useFilterRange();
        connect(&results.model, &CStringListModel::valueChanged, &results.model, &CStringListModel::cancel);
        ResultSummary summary;
        QVERIFY(!results.model.summarize(&summary));
        QVERIFY(results.model.isCancelled());
    }
};

QTEST_MAIN(TestSummary)
#include "tst_summary.moc"
