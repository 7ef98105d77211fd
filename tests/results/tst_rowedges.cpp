// Rows at the edges of what their formats promise: CSV fields holding a
// byte that must be quoted at every place, and summary names at the
// longest length kept whole.
#include <QtTest>

#include "exportformat.h"
#include "resultsummary.h"

namespace {

const QByteArray kText = "[f] <1,2,3,4,5> [s] open 2026-01-02 03:04:05 ";

// The fields of one CSV row as RFC 4180 reads them, or an empty list when
// the row is not sound: a field holding a comma, a quote or a line break
// unquoted, a lone quote, or no CR LF at its end.
QList<QByteArray> csvFields(const QByteArray &row)
{
    if (!row.endsWith("\r\n"))
        return {};
    QList<QByteArray> fields{QByteArray()};
    int i = 0;
    const int end = row.size() - 2;
    while (i < end) {
        if (row.at(i) == '"' && fields.last().isEmpty()) {
            for (++i;; ++i) {
                if (i >= end)
                    return {};
                if (row.at(i) == '"' && (i + 1 >= end || row.at(i + 1) != '"'))
                    break;
                i += row.at(i) == '"';
                fields.last() += row.at(i);
            }
            ++i;
            if (i < end && row.at(i) != ',')
                return {};
        }
        if (i >= end)
            break;
        const char c = row.at(i++);
        if (c == ',')
            fields << QByteArray();
        else if (c == '"' || c == '\r' || c == '\n')
            return {};
        else
            fields.last() += c;
    }
    return fields;
}

} // namespace

class TestRowEdges : public QObject
{
    Q_OBJECT
private slots:
    // Each byte that CSV quotes for, at the first place, the middle and the
    // last two of fields around the sixteen-byte steps that look for them;
    // a field without one is written as it is.
    void csvQuotesEveryPlace_data()
    {
        QTest::addColumn<char>("special");
        QTest::addRow("lone carriage return") << '\r';
        QTest::addRow("line feed") << '\n';
        QTest::addRow("comma") << ',';
        QTest::addRow("quote") << '"';
        QTest::addRow("none") << '\0';
    }

    void csvQuotesEveryPlace()
    {
        QFETCH(char, special);
        // Quoting alone: the guard against formulas, which a leading
        // carriage return calls for too, is tested with the exports.
        ExportRows rows(ExportFormat::CsvRaw);
        for (const int length : {1, 2, 15, 16, 17, 31, 32, 33, 47, 48, 49}) {
            for (const int at : {0, length / 2, length - 2, length - 1}) {
                if (at < 0)
                    continue;
                QByteArray field(length, 'x');
                if (special)
                    field[at] = special;
                const QString place = QStringLiteral("length %1, at %2").arg(length).arg(at);
                // As the user name, as the parameters of a record's text,
                // and as a text of another shape.
                for (const bool record : {false, true}) {
                    QByteArray out;
                    const QByteArray text = record ? kText + field : "odd " + field;
                    rows.appendRow(std::string_view(field.constData(), size_t(field.size())),
                                   std::string_view(text.constData(), size_t(text.size())), -1, &out);
                    const QList<QByteArray> fields = csvFields(out);
                    QVERIFY2(fields.size() == 12, qPrintable(place + ": " + QString::fromLatin1(out.toHex())));
                    QCOMPARE(fields.first(), field);
                    QCOMPARE(fields.last(), text);
                    if (record)
                        QCOMPARE(fields.at(10), field);
                    QCOMPARE(out.startsWith('"'), special != 0);
                }
            }
        }
    }

    // A name of the longest length kept stays whole, one byte longer is cut
    // there (at a character) and marked; the same for a name that ends in a
    // character of two bytes.
    void summaryNamesAtTheLongestLength_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QString>("shown");
        const int most = ResultSummary::keyBytes;
        const QString ellipsis = QStringLiteral("\u2026");
        QTest::addRow("one byte short") << QByteArray(most - 1, 'n') << QString(most - 1, 'n');
        QTest::addRow("longest") << QByteArray(most, 'n') << QString(most, 'n');
        QTest::addRow("one byte longer") << QByteArray(most + 1, 'n') << QString(most, 'n') + ellipsis;
        QTest::addRow("longest, two bytes at its end")
            << QByteArray(most - 2, 'n') + "\xc3\xa4" << QString(most - 2, 'n') + QStringLiteral("\u00e4");
        QTest::addRow("two bytes across the end")
            << QByteArray(most - 1, 'n') + "\xc3\xa4" << QString(most - 1, 'n') + ellipsis;
    }

    void summaryNamesAtTheLongestLength()
    {
        QFETCH(QByteArray, name);
        QFETCH(QString, shown);
        ResultSummary summary;
        summary.addRow(std::string_view(name.constData(), size_t(name.size())),
                       std::string_view(kText.constData(), size_t(kText.size())));
        const QVector<ResultSummary::Row> rows = summary.rowsOf(ResultSummary::Users);
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows.first().keys, QStringList{shown});
    }
};

QTEST_GUILESS_MAIN(TestRowEdges)
#include "tst_rowedges.moc"
