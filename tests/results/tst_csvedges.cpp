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

// The parameters `before` bytes, the special byte, `after` bytes: the byte
// lies at every kind of place in the record's text (parameters that begin
// with a line break are guarded as a formula start instead).
struct Case
{
    const char *name;
    QByteArray special;
    int before;
    int after;
    QByteArray parameters() const { return QByteArray(before, 'p') + special + QByteArray(after, 'q'); }
    QByteArray text() const { return kHead + parameters(); }
    // The same byte in the user's name, as the name's last byte too.
    QByteArray name2() const { return "n" + special; }
};

QVector<Case> cases()
{
    QVector<Case> all;
    const QList<QPair<const char *, QByteArray>> specials{
        {"CR", "\r"}, {"LF", "\n"}, {"CR LF", "\r\n"}, {"quote", "\""}, {"comma", ","}};
    const QList<QPair<int, int>> places{{1, 0}, {1, 40}, {3, 0}, {10, 5}, {18, 30}, {30, 1}, {50, 60}, {70, 0}};
    for (const auto &[name, bytes] : specials) {
        for (const auto &[before, after] : places)
            all.append({name, bytes, before, after});
    }
    return all;
}

std::string_view view(const QByteArray &bytes)
{
    return std::string_view(bytes.constData(), size_t(bytes.size()));
}

} // namespace

class TestCsvEdges : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    // Every case's two rows, written to one file and read back at once.
    QJsonArray m_read;
    QByteArray m_csv;

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        if (!haveExportReader())
            QSKIP("python3 is needed to read the exports back");
        m_csv = exportHeader(ExportFormat::Csv);
        ExportRows rows(ExportFormat::Csv);
        for (const Case &c : cases()) {
            rows.appendRow("u", view(c.text()), 1767319445, &m_csv);
            rows.appendRow(view(c.name2()), view(c.text()), 1767319445, &m_csv);
        }
        const QString path = m_dir.filePath(QStringLiteral("edge.csv"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(m_csv) == m_csv.size());
        file.close();
        QString error;
        m_read = readExport(path, QStringLiteral("csv"), &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QCOMPARE(m_read.size(), 2 * cases().size());
    }

    void specialByteAnywhere_data()
    {
        QTest::addColumn<int>("index");
        const QVector<Case> all = cases();
        for (int i = 0; i < all.size(); ++i)
            QTest::addRow("%s after %d, %d after it", all.at(i).name, all.at(i).before, all.at(i).after) << i;
    }

    void specialByteAnywhere()
    {
        QFETCH(int, index);
        const Case c = cases().at(index);
        for (int i = 0; i < 2; ++i) {
            const QJsonObject row = m_read.at(2 * index + i).toObject();
            QCOMPARE(row.value(QStringLiteral("user")).toString(), QString::fromUtf8(i == 0 ? QByteArray("u") : c.name2()));
            QCOMPARE(row.value(QStringLiteral("event")).toString(), QStringLiteral("open"));
            QCOMPARE(row.value(QStringLiteral("parameters")).toString(), QString::fromUtf8(c.parameters()));
            QCOMPARE(row.value(QStringLiteral("text")).toString(), QString::fromUtf8(c.text()));
        }
    }
};

QTEST_GUILESS_MAIN(TestCsvEdges)
#include "tst_csvedges.moc"
