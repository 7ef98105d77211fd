// The time line's buckets and time look-ups against a direct count of the
// records of generated logs.
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

#include "resultlog.h"
#include "timebuckets.h"

namespace {

// Record i of a test log: its second after T0, and whether it was refused.
struct Layout
{
    int count = 0;
    std::function<quint32(int)> second;
    std::function<bool(int)> refused;
};

} // namespace

Q_DECLARE_METATYPE(Layout)

class TestTimeBuckets : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

    // Whether record i matches the pattern the case filters with ("" = all).
    static bool matches(const QString &pattern, int i)
    {
        return pattern.isEmpty() || QStringLiteral("rec=%1 ").arg(i).contains(pattern);
    }

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void bucketsCountEveryRow_data()
    {
        QTest::addColumn<Layout>("layout");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<int>("maxBuckets");
        const qint64 tenYears = 10 * 365 * 86400LL;
        QTest::newRow("one block") << Layout{7, [](int) { return 30u; }, [](int i) { return i % 2 == 0; }}
                                   << QString() << 100;
        QTest::newRow("edge buckets, minutes")
            << Layout{900, [](int i) { return quint32(37 + i * 3); }, [](int i) { return i % 5 == 0; }}
            << QString() << 7;
        QTest::newRow("every second, filtered")
            << Layout{600, [](int i) { return quint32(i / 3); }, [](int i) { return i % 4 == 1; }}
            << QStringLiteral("rec=1") << 300;
        QTest::newRow("ten years")
            << Layout{2000, [tenYears](int i) { return quint32(i * (tenYears / 1999)); },
                      [](int i) { return i % 3 == 0; }}
            << QString() << 120;
        QTest::newRow("nothing matches")
            << Layout{100, [](int i) { return quint32(i); }, [](int) { return true; }}
            << QStringLiteral("nowhere") << 50;
        // Past the first window the count reads the texts' bytes only.
        QTest::newRow("beyond the first window")
            << Layout{12000, [](int i) { return quint32(i / 7); }, [](int i) { return i % 7 == 3; }}
            << QString() << 64;
        // The index's seconds are 32 bits: its last second is still a time.
        QTest::newRow("the last second there is")
            << Layout{6, [](int i) { return 0xFFFFFFFFu - T0 - 5 + quint32(i); }, [](int i) { return i == 5; }}
            << QString() << 10;
    }

    void bucketsCountEveryRow()
    {
        QFETCH(Layout, layout);
        QFETCH(QString, pattern);
        QFETCH(int, maxBuckets);
        const QString path = m_dir.filePath(QStringLiteral("buckets.mlog"));
        QVERIFY(writeLog(path, layout.count, [&](int i) {
            return fileRecord(layout.second(i), "rec=" + QByteArray::number(i) + ' ', layout.refused(i));
        }));
        RunResults tab(path, pattern.isEmpty() ? makeFilter() : makeFilter(pattern));

        qint64 first = 0;
        qint64 last = 0;
        QVERIFY(TimeBuckets::range(tab.model, &first, &last));
        QCOMPARE(first, qint64(T0 + layout.second(0)));
        QCOMPARE(last, qint64(T0 + layout.second(layout.count - 1)));
        const int offset = 3600;
        const qint64 width = TimeBuckets::width(first, last, maxBuckets, offset);
        const QVector<TimeBucket> buckets = TimeBuckets::buckets(tab.model, width, offset);
        QVERIFY(!buckets.isEmpty());
        QVERIFY(buckets.size() <= maxBuckets);
        QCOMPARE(buckets.first().start, TimeBuckets::alignedStart(first, width, offset));
        QVERIFY(buckets.first().start <= first && buckets.last().end > last);

        QVector<qint64> rows(buckets.size()), refused(buckets.size());
        int total = 0;
        for (int i = 0; i < layout.count; ++i) {
            if (!matches(pattern, i))
                continue;
            const qint64 t = T0 + layout.second(i);
            const int b = int((t - buckets.first().start) / width);
            ++rows[b];
            refused[b] += layout.refused(i);
            ++total;
        }
        QCOMPARE(tab.model.rowCount(), total);
        for (int b = 0; b < buckets.size(); ++b) {
            QCOMPARE(buckets.at(b).start, buckets.first().start + b * width);
            QCOMPARE(buckets.at(b).end - buckets.at(b).start, width);
            QCOMPARE(buckets.at(b).rows, rows.at(b));
            QCOMPARE(buckets.at(b).refused, refused.at(b));
        }

        // The first row at a time: the rows of earlier records come before it.
        for (const qint64 t : {first - 1, first, first + 1, (first + last) / 2, last, last + 1}) {
            int before = 0;
            for (int i = 0; i < layout.count; ++i)
                before += matches(pattern, i) && T0 + layout.second(i) < t;
            const int row = TimeBuckets::firstRowAt(tab.model, t);
            QCOMPARE(row, before < total ? before : -1);
            if (row >= 0) {
                QVERIFY(TimeBuckets::timeOfRow(tab.model, row) >= t);
                QVERIFY(row == 0 || TimeBuckets::timeOfRow(tab.model, row - 1) < t);
            }
        }
    }

    // A range with no block has no buckets; nothing lies at any time.
    void emptyRange()
    {
        const QString path = m_dir.filePath(QStringLiteral("empty.mlog"));
        QVERIFY(writeLog(path, 50, [](int i) { return numbered(i, 5); }));
        RunResults tab(path, makeFilter(QString(), -60, QDateTime::fromSecsSinceEpoch(T0 - 3600)));
        qint64 first = 0;
        qint64 last = 0;
        QVERIFY(!TimeBuckets::range(tab.model, &first, &last));
        QVERIFY(TimeBuckets::buckets(tab.model, 60).isEmpty());
        QCOMPARE(TimeBuckets::firstRowAt(tab.model, T0), -1);
        QCOMPARE(TimeBuckets::timeOfRow(tab.model, 0), qint64(-1));
    }

    void roundWidths_data()
    {
        QTest::addColumn<qint64>("span");
        QTest::addColumn<int>("maxBuckets");
        QTest::addColumn<qint64>("width");
        QTest::addColumn<QString>("text");
        QTest::newRow("one second") << qint64(0) << 100 << qint64(1) << "1 s";
        QTest::newRow("as many seconds as buckets") << qint64(99) << 100 << qint64(1) << "1 s";
        QTest::newRow("ten minutes") << qint64(599) << 100 << qint64(10) << "10 s";
        QTest::newRow("a day") << qint64(86399) << 100 << qint64(15 * 60) << "15 min";
        QTest::newRow("a week") << qint64(7 * 86400 - 1) << 100 << qint64(2 * 3600) << "2 h";
        QTest::newRow("ten years") << qint64(3650 * 86400LL) << 100 << qint64(60 * 86400) << "60 d";
        // Two years, aligned, would need 51 buckets.
        QTest::newRow("a century") << qint64(36500 * 86400LL) << 50 << qint64(3 * 365 * 86400LL) << "1095 d";
    }

    void roundWidths()
    {
        QFETCH(qint64, span);
        QFETCH(int, maxBuckets);
        QFETCH(qint64, width);
        QFETCH(QString, text);
        // Starts on a whole day, so the first bucket is aligned.
        const qint64 first = 1780012800;
        QCOMPARE(TimeBuckets::width(first, first + span, maxBuckets), width);
        QCOMPARE(TimeBuckets::widthText(width), text);
    }
};

QTEST_GUILESS_MAIN(TestTimeBuckets)
#include "tst_timebuckets.moc"
