// A CSV row's fields quoted for every byte that needs it, wherever in the
// field it lies: in the first bytes, within the bytes looked at sixteen at
// a time, and within the last few, read back by an independent reader.
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

#include "exportformat.h"
#include "exportreader.h"

namespace {

const QByteArray kHead = "[f] <1,2,3,4,5> [s] open 2026-01-02 03:04:05 ";

} // namespace

class TestCsvEdges : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        if (!haveExportReader())
            QSKIP("python3 is needed to read the exports back");
    }

    // The parameters `before` bytes, the special byte, `after` bytes: the
    // byte lies at every kind of place in the record's text (parameters
    // that begin with a line break are guarded as a formula start instead).
    void specialByteAnywhere_data()
    {
        QTest::addColumn<QByteArray>("special");
        QTest::addColumn<int>("before");
        QTest::addColumn<int>("after");
        const QList<QPair<const char *, QByteArray>> specials{
            {"CR", "\r"}, {"LF", "\n"}, {"CR LF", "\r\n"}, {"quote", "\""}, {"comma", ","}};
        const QList<QPair<int, int>> places{{1, 0}, {1, 40}, {3, 0}, {10, 5}, {18, 30}, {30, 1}, {50, 60}, {70, 0}};
        for (const auto &[name, bytes] : specials) {
            for (const auto &[before, after] : places)
                QTest::addRow("%s after %d, %d after it", name, before, after) << bytes << before << after;
        }
    }

    void specialByteAnywhere()
    {
        QFETCH(QByteArray, special);
        QFETCH(int, before);
        QFETCH(int, after);
        const QByteArray parameters = QByteArray(before, 'p') + special + QByteArray(after, 'q');
        const QByteArray text = kHead + parameters;
        QByteArray csv = exportHeader(ExportFormat::Csv);
        ExportRows rows(ExportFormat::Csv);
        rows.appendRow("u", std::string_view(text.constData(), size_t(text.size())), 1767319445, &csv);
        // The same byte in the user's name, as the name's last byte too.
        const QByteArray name = "n" + special;
        rows.appendRow(std::string_view(name.constData(), size_t(name.size())),
                       std::string_view(text.constData(), size_t(text.size())), 1767319445, &csv);

        const QString path = m_dir.filePath(QStringLiteral("edge.csv"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(csv) == csv.size());
        file.close();
        QString error;
        const QJsonArray read = readExport(path, QStringLiteral("csv"), &error);
        QVERIFY2(error.isEmpty(), qPrintable(error + QString::fromUtf8(csv.toPercentEncoding(" ,\"[]<>:-"))));
        QCOMPARE(read.size(), 2);
        for (int i = 0; i < 2; ++i) {
            const QJsonObject row = read.at(i).toObject();
            QCOMPARE(row.value(QStringLiteral("user")).toString(), QString::fromUtf8(i == 0 ? QByteArray("u") : name));
            QCOMPARE(row.value(QStringLiteral("event")).toString(), QStringLiteral("open"));
            QCOMPARE(row.value(QStringLiteral("parameters")).toString(), QString::fromUtf8(parameters));
            QCOMPARE(row.value(QStringLiteral("text")).toString(), QString::fromUtf8(text));
        }
    }
};

QTEST_GUILESS_MAIN(TestCsvEdges)
#include "tst_csvedges.moc"
