// The summary's names at the length it keeps whole: a name of exactly that
// many bytes stays as it is, one byte more is cut (at a character) and
// marked; the same for users and events.
#include <QtTest>

#include "resultsummary.h"

namespace {

const int kKeep = ResultSummary::keyBytes;

// The one key of `table` after counting a row of user `name` and event
// `event`.
QString onlyKey(ResultSummary::Table table, const QByteArray &name, const QByteArray &event)
{
    ResultSummary summary;
    const QByteArray text = "[f] <1,2,3,4,5> [s] " + event + " 2026-01-02 03:04:05 /x";
    summary.addRow(std::string_view(name.constData(), size_t(name.size())),
                   std::string_view(text.constData(), size_t(text.size())));
    const QVector<ResultSummary::Row> rows = summary.rowsOf(table);
    return rows.size() == 1 ? rows.first().keys.value(0) : QStringLiteral("<%1 rows>").arg(rows.size());
}

} // namespace

class TestSummaryEdges : public QObject
{
    Q_OBJECT

private slots:
    void nameAtTheKeptLength_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QString>("shown");
        const QString ellipsis = QStringLiteral("…");
        QTest::newRow("one byte short") << QByteArray(kKeep - 1, 'n') << QString(kKeep - 1, 'n');
        QTest::newRow("exactly kept") << QByteArray(kKeep, 'n') << QString(kKeep, 'n');
        QTest::newRow("one byte over") << QByteArray(kKeep + 1, 'n') << QString(kKeep, 'n') + ellipsis;
        // "ä" is two bytes: ending at the limit it stays, across it it goes.
        QTest::newRow("character ends at the limit")
            << QByteArray(kKeep - 2, 'n') + "\xc3\xa4" << QString(kKeep - 2, 'n') + QStringLiteral("ä");
        QTest::newRow("character across the limit")
            << QByteArray(kKeep - 1, 'n') + "\xc3\xa4" << QString(kKeep - 1, 'n') + ellipsis;
        QTest::newRow("character after the limit")
            << QByteArray(kKeep, 'n') + "\xc3\xa4" << QString(kKeep, 'n') + ellipsis;
    }

    void nameAtTheKeptLength()
    {
        QFETCH(QByteArray, name);
        QFETCH(QString, shown);
        QCOMPARE(onlyKey(ResultSummary::Users, name, "open"), shown);
        QCOMPARE(onlyKey(ResultSummary::Events, "root", name), shown);
    }
};

QTEST_GUILESS_MAIN(TestSummaryEdges)
#include "tst_summaryedges.moc"
