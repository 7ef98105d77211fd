// The field parser of record texts, on the shapes the log library writes
// and on texts of other shapes, and the dates it hands on.
#include <QtTest>

#include <cstdlib>

#include "recordfields.h"

namespace {

QByteArray fieldsOf(const QByteArray &text)
{
    RecordFields f;
    if (!parseRecordFields(std::string_view(text.constData(), size_t(text.size())), &f))
        return "-";
    QByteArray out = QByteArray(1, f.kind) + ' ';
    // A number the text writes with leading zeros is marked "*"; any other
    // is written as the text has it.
    for (int i = 0; i < 5; ++i) {
        const QByteArray decimal(f.subjectDecimal[i].data(), int(f.subjectDecimal[i].size()));
        out += QByteArray::number(f.subject[i])
               + (decimal.isEmpty() ? "*" : decimal == QByteArray::number(f.subject[i]) ? "" : "!") + ',';
    }
    out += (f.refused ? "f|" : "s|") + QByteArray(f.event.data(), int(f.event.size())) + '|'
           + QByteArray(f.date.data(), int(f.date.size())) + '|'
           + QByteArray(f.parameters.data(), int(f.parameters.size()));
    return out;
}

} // namespace

class TestRecordFields : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // Dates in a zone with a clock change, so that a local time can
        // occur twice or not at all.
        qputenv("TZ", "Europe/Berlin");
        tzset();
    }

    void parse_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("fields");
        QTest::newRow("file, refused, parameters")
            << QByteArray("[f] <4212,4100,1000,1000,0> [f] unlink 2026-12-06 09:20:27 /home/alice/report.txt")
            << QByteArray("f 4212,4100,1000,1000,0,f|unlink|2026-12-06 09:20:27|/home/alice/report.txt");
        QTest::newRow("user, success, no parameters")
            << QByteArray("[u] <1,0,0,0,7> [s] login 2026-01-02 03:04:05")
            << QByteArray("u 1,0,0,0,7,s|login|2026-01-02 03:04:05|");
        QTest::newRow("process, largest numbers")
            << QByteArray("[p] <4294967295,4294967295,4294967295,4294967295,4294967295> [s] execve 2026-01-02 03:04:05 a")
            << QByteArray("p 4294967295,4294967295,4294967295,4294967295,4294967295,s|execve|2026-01-02 03:04:05|a");
        QTest::newRow("long numbers, leading zeros")
            << QByteArray("[p] <12345678,123456789,0000000001,007,00000000000000000004294967295> [s] execve 2026-01-02 03:04:05")
            << QByteArray("p 12345678,123456789,1*,7*,4294967295*,s|execve|2026-01-02 03:04:05|");
        QTest::newRow("custom, commas, quotes and blanks kept")
            << QByteArray("[c] <1,2,3,4,5> [f] audit_rule 2026-01-02 03:04:05 key=\"a,b\" say \"hi\",  x ")
            << QByteArray("c 1,2,3,4,5,f|audit_rule|2026-01-02 03:04:05|key=\"a,b\" say \"hi\",  x ");
        QTest::newRow("non-ASCII parameters")
            << QByteArray("[f] <1,2,3,4,5> [s] open 2026-01-02 03:04:05 /home/Grüße/файл \xef\xbf\xbd")
            << QByteArray("f 1,2,3,4,5,s|open|2026-01-02 03:04:05|/home/Grüße/файл \xef\xbf\xbd");
        QTest::newRow("empty parameters after the blank")
            << QByteArray("[f] <1,2,3,4,5> [s] open 2026-01-02 03:04:05 ")
            << QByteArray("f 1,2,3,4,5,s|open|2026-01-02 03:04:05|");
        QTest::newRow("another shape") << QByteArray("hello, world") << QByteArray("-");
        QTest::newRow("empty text") << QByteArray() << QByteArray("-");
        QTest::newRow("unknown kind") << QByteArray("[x] <1,2,3,4,5> [s] open 2026-01-02 03:04:05") << QByteArray("-");
        QTest::newRow("four numbers") << QByteArray("[f] <1,2,3,4> [s] open 2026-01-02 03:04:05") << QByteArray("-");
        QTest::newRow("six numbers") << QByteArray("[f] <1,2,3,4,5,6> [s] open 2026-01-02 03:04:05") << QByteArray("-");
        QTest::newRow("number beyond 32 bits")
            << QByteArray("[f] <1,2,4294967296,4,5> [s] open 2026-01-02 03:04:05") << QByteArray("-");
        QTest::newRow("ten digits beyond 32 bits")
            << QByteArray("[f] <1,2,9999999999,4,5> [s] open 2026-01-02 03:04:05") << QByteArray("-");
        QTest::newRow("empty number") << QByteArray("[f] <1,,3,4,5> [s] open 2026-01-02 03:04:05") << QByteArray("-");
        QTest::newRow("unknown status") << QByteArray("[f] <1,2,3,4,5> [x] open 2026-01-02 03:04:05") << QByteArray("-");
        QTest::newRow("no event") << QByteArray("[f] <1,2,3,4,5> [s]  2026-01-02 03:04:05") << QByteArray("-");
        QTest::newRow("no date") << QByteArray("[f] <1,2,3,4,5> [s] open") << QByteArray("-");
        QTest::newRow("date cut short") << QByteArray("[f] <1,2,3,4,5> [s] open 2026-01-02 03:04") << QByteArray("-");
        QTest::newRow("no blank before parameters")
            << QByteArray("[f] <1,2,3,4,5> [s] open 2026-01-02 03:04:05x") << QByteArray("-");
        QTest::newRow("text cut inside the subject") << QByteArray("[f] <1,2,3") << QByteArray("-");
    }

    void parse()
    {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, fields);
        QCOMPARE(fieldsOf(text), fields);
    }

    void isoDates_data()
    {
        QTest::addColumn<QByteArray>("date");
        QTest::addColumn<qint64>("recordTime");
        QTest::addColumn<QByteArray>("iso");
        QTest::newRow("winter") << QByteArray("2026-12-06 09:20:27") << qint64(-1)
                                << QByteArray("2026-12-06T09:20:27+01:00");
        QTest::newRow("summer") << QByteArray("2026-07-01 00:00:00") << qint64(-1)
                                << QByteArray("2026-07-01T00:00:00+02:00");
        // 2026-10-25 02:30 local happens twice: 00:30 and 01:30 UTC.
        QTest::newRow("twice, first") << QByteArray("2026-10-25 02:30:00") << qint64(1792888200)
                                      << QByteArray("2026-10-25T02:30:00+02:00");
        QTest::newRow("twice, second") << QByteArray("2026-10-25 02:30:00") << qint64(1792891800)
                                       << QByteArray("2026-10-25T02:30:00+01:00");
        QTest::newRow("record time of another date") << QByteArray("2026-12-06 09:20:27") << qint64(0)
                                                     << QByteArray("2026-12-06T09:20:27+01:00");
        QTest::newRow("no such local time") << QByteArray("2026-03-29 02:30:00") << qint64(-1)
                                            << QByteArray("2026-03-29T02:30:00");
        QTest::newRow("no such day") << QByteArray("2026-02-30 00:00:00") << qint64(-1) << QByteArray();
        QTest::newRow("not a date") << QByteArray("yesterday") << qint64(-1) << QByteArray();
    }

    void isoDates()
    {
        QFETCH(QByteArray, date);
        QFETCH(qint64, recordTime);
        QFETCH(QByteArray, iso);
        IsoDates dates;
        const std::string_view d(date.constData(), size_t(date.size()));
        QCOMPARE(dates.iso(d, recordTime), iso);
        // The kept answer is the one made anew.
        QCOMPARE(dates.iso(d, recordTime), iso);
    }
};

QTEST_GUILESS_MAIN(TestRecordFields)
#include "tst_recordfields.moc"
