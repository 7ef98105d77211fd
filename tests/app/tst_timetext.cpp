// Times as typed for --from, --to and Go to time, at the ends of what they
// stand for: a date alone is its first second as a start and its last as an
// end, and the next day's first second lies just past that end.
#include "timetext.h"

#include <QtTest>

class TestTimeText : public QObject
{
    Q_OBJECT
private slots:
    void endsOfADay_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("end");
        QTest::addColumn<QDateTime>("time");
        const QDate day(2026, 5, 28);
        QTest::newRow("a date as a start") << "2026-05-28" << false << QDateTime(day, QTime(0, 0));
        QTest::newRow("a date as an end") << " 2026-05-28 " << true << QDateTime(day, QTime(23, 59, 59));
        QTest::newRow("the next day as a start") << "2026-05-29" << false << QDateTime(day.addDays(1), QTime(0, 0));
        QTest::newRow("the last minute as an end") << "2026-05-28 23:59" << true << QDateTime(day, QTime(23, 59, 59));
        QTest::newRow("the last second as an end") << "2026-05-28T23:59:59" << true << QDateTime(day, QTime(23, 59, 59));
        QTest::newRow("no such day") << "2026-02-30" << true << QDateTime();
    }

    void endsOfADay()
    {
        QFETCH(QString, text);
        QFETCH(bool, end);
        QFETCH(QDateTime, time);
        QCOMPARE(TimeText::parse(text, end), time);
    }
};

QTEST_GUILESS_MAIN(TestTimeText)
#include "tst_timetext.moc"
