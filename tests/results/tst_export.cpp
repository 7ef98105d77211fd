// Results saved as CSV and JSON Lines, read back by an independent reader
// and compared with the rows and the records they were made of.
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdlib>

#include "exportformat.h"
#include "exportreader.h"
#include "resultlog.h"

namespace {

struct Made
{
    quint16 kind;
    quint16 event;
    const char *eventName;
    bool refused;
    quint32 uid;
    QByteArray payload;
    QString parameters; // as the text shows the payload
};

// Kinds, statuses, known and unknown users, and parameters with what CSV
// and JSON must escape, other scripts and bytes that are no UTF-8.
const QVector<Made> &made()
{
    static const QVector<Made> rows{
        {2, 0, "open", false, 0, "/etc/passwd", QStringLiteral("/etc/passwd")},
        {2, 3, "unlink", true, 54321, "a,b", QStringLiteral("a,b")},
        {0, 0, "login", false, 0, "say \"hi\", then \\ go", QStringLiteral("say \"hi\", then \\ go")},
        {1, 0, "execve", true, 0, "/home/Grüße/файл", QStringLiteral("/home/Grüße/файл")},
        {3, 0, "policy_load", false, 54321, "bad \xff bytes", QStringLiteral("bad \uFFFD bytes")},
        {2, 0, "open", false, 0, "", QString()},
        {2, 0, "open", true, 0, "line\nbreak\ttab\r", QStringLiteral("line break tab ")},
    };
    return rows;
}

MlogRecord recordOf(int i)
{
    const Made &m = made().at(i % made().size());
    return MlogRecord{T0 + quint32(i / 3), {100 + quint32(i), 1, m.uid, 7, quint32(i % 5)}, m.kind, m.event,
                      m.refused ? 1u : 0u, 0, m.payload};
}

QString isoOf(quint32 time)
{
    const QDateTime local = QDateTime::fromSecsSinceEpoch(time, Qt::LocalTime);
    const int offset = local.offsetFromUtc();
    return local.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")) + (offset < 0 ? '-' : '+')
           + QStringLiteral("%1:%2").arg(std::abs(offset) / 3600, 2, 10, QLatin1Char('0')).arg(std::abs(offset) / 60 % 60, 2, 10, QLatin1Char('0'));
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The value of `row` at `key` as text: CSV holds text only, JSON numbers
// must be numbers.
QString field(const QJsonObject &row, const QString &key, bool json)
{
    const QJsonValue v = row.value(key);
    if (json && v.isDouble())
        return QString::number(qint64(v.toDouble()));
    if (json && v.isNull())
        return QStringLiteral("<null>");
    return v.isString() ? v.toString() : QStringLiteral("<%1>").arg(int(v.type()));
}

} // namespace

class TestExport : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void initTestCase()
    {
        qputenv("TZ", "Europe/Berlin");
        tzset();
        QStandardPaths::setTestModeEnabled(true);
    }

    void formatNames_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("fallback");
        QTest::addColumn<int>("format");
        QTest::newRow("csv") << "a/b.csv" << int(ExportFormat::Text) << int(ExportFormat::Csv);
        QTest::newRow("JSONL in capitals") << "b.JSONL" << int(ExportFormat::Text) << int(ExportFormat::JsonLines);
        QTest::newRow("txt over the filter") << "c.txt" << int(ExportFormat::Csv) << int(ExportFormat::Text);
        QTest::newRow("no extension") << "report" << int(ExportFormat::Csv) << int(ExportFormat::Csv);
        QTest::newRow("other extension") << "report.log" << int(ExportFormat::JsonLines) << int(ExportFormat::JsonLines);
        QTest::newRow("dot in the folder") << "x.csv/report" << int(ExportFormat::Text) << int(ExportFormat::Text);
    }

    void formatNames()
    {
        QFETCH(QString, file);
        QFETCH(int, fallback);
        QFETCH(int, format);
        QCOMPARE(int(exportFormatOfFile(file, ExportFormat(fallback))), format);
        ExportFormat named = ExportFormat::Text;
        QVERIFY(exportFormatFromName(exportFormatName(ExportFormat(format)), &named));
        QCOMPARE(int(named), format);
        QVERIFY(!exportFormatFromName(QStringLiteral("xml"), &named));
    }

    void savedRowsReadBack_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<QString>("pattern");
        QTest::newRow("csv, every record") << int(ExportFormat::Csv) << QString();
        QTest::newRow("jsonl, every record") << int(ExportFormat::JsonLines) << QString();
        QTest::newRow("csv, refusals") << int(ExportFormat::Csv) << fragments().at(1);
        QTest::newRow("jsonl, refusals") << int(ExportFormat::JsonLines) << fragments().at(1);
    }

    // Every row comes back with the fields of the record it was made of.
    void savedRowsReadBack()
    {
        QFETCH(int, format);
        QFETCH(QString, pattern);
        if (!haveExportReader())
            QSKIP("python3 is not installed");
        const bool json = ExportFormat(format) == ExportFormat::JsonLines;
        const int count = 3 * made().size() + 1;
        const QString path = m_dir.filePath(QStringLiteral("export.mlog"));
        QVERIFY(writeLog(path, count, recordOf));
        Results results(path, makeFilter(pattern));
        results.model.runFilter();
        const QString target = m_dir.filePath(QStringLiteral("export.out"));
        QString error;
        QVERIFY2(results.model.saveToFile(target, &error, ExportFormat(format)), qPrintable(error));

        const QJsonArray rows = readExport(target, json ? QStringLiteral("jsonl") : QStringLiteral("csv"), &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        if (!json)
            QVERIFY(readAll(target).startsWith(exportHeader(ExportFormat::Csv)) && readAll(target).endsWith("\r\n"));
        QCOMPARE(rows.size(), results.model.rowCount());
        int row = 0;
        for (int i = 0; i < count; ++i) {
            const MlogRecord r = recordOf(i);
            const Made &m = made().at(i % made().size());
            if (!pattern.isEmpty() && !m.refused)
                continue;
            QVERIFY(row < rows.size());
            const QJsonObject got = rows.at(row).toObject();
            const QStringList shown = results.model.index(row, 0).data().toString().split(QLatin1Char('\t'));
            const QStringList expected{shown.at(0),
                                       isoOf(r.time),
                                       QStringList{"user", "user process", "file", "custom"}.at(m.kind),
                                       QString::number(r.subject[0]),
                                       QString::number(r.subject[1]),
                                       QString::number(r.subject[2]),
                                       QString::number(r.subject[3]),
                                       QString::number(r.subject[4]),
                                       m.refused ? "refusal" : "success",
                                       m.eventName,
                                       m.parameters,
                                       shown.at(1)};
            const QStringList keys{"user", "time", "kind", "pid", "ppid", "uid", "gid", "session", "status", "event",
                                   "parameters", "text"};
            QCOMPARE(got.keys().size(), keys.size());
            for (int k = 0; k < keys.size(); ++k)
                QCOMPARE(field(got, keys.at(k), json), expected.at(k));
            ++row;
        }
        QCOMPARE(row, rows.size());
    }

    void oddRowsReadBack_data()
    {
        QTest::addColumn<int>("format");
        QTest::newRow("csv") << int(ExportFormat::Csv);
        QTest::newRow("jsonl") << int(ExportFormat::JsonLines);
    }

    // A text of another shape is kept with empty fields; names and texts
    // with what either format must escape come back as they were.
    void oddRowsReadBack()
    {
        QFETCH(int, format);
        if (!haveExportReader())
            QSKIP("python3 is not installed");
        const bool json = ExportFormat(format) == ExportFormat::JsonLines;
        const QVector<QPair<QByteArray, QByteArray>> rows{
            {"", "hello, \"world\""},
            {"a,\"b\"", "[f] <1,2> broken"},
            {"üser", "line\r\nbreak\x01\x1f\x7f"},
            {"x", ""},
            {"back\\slash", "[f] <1,2,3,4,5> [s] open 2026-02-30 00:00:00 no such day"},
        };
        ExportRows exporter{ExportFormat(format)};
        QByteArray bytes = exportHeader(ExportFormat(format));
        for (const auto &r : rows)
            exporter.appendRow(r.first, std::string_view(r.second.constData(), size_t(r.second.size())), -1, &bytes);
        const QString target = m_dir.filePath(QStringLiteral("odd.out"));
        QFile file(target);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        file.close();
        QString error;
        const QJsonArray back = readExport(target, json ? QStringLiteral("jsonl") : QStringLiteral("csv"), &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QCOMPARE(back.size(), rows.size());
        for (int i = 0; i < rows.size(); ++i) {
            const QJsonObject got = back.at(i).toObject();
            QCOMPARE(got.value("user").toString(), QString::fromUtf8(rows.at(i).first));
            QCOMPARE(got.value("text").toString(), QString::fromUtf8(rows.at(i).second));
            const QString empty = json ? QStringLiteral("<null>") : QString();
            for (const char *key : {"time", "kind", "pid", "session", "status", "event", "parameters"}) {
                if (i == 4 && qstrcmp(key, "time") != 0)
                    continue;
                QCOMPARE(field(got, key, json), empty);
            }
        }
        // The one well-shaped text keeps its fields without a date.
        QCOMPARE(field(back.at(4).toObject(), "event", json), QStringLiteral("open"));
        QCOMPARE(field(back.at(4).toObject(), "pid", json), QStringLiteral("1"));
    }

    // The text format is the result rows, byte for byte, whichever way asked.
    void textIsTheRows()
    {
        const QString path = m_dir.filePath(QStringLiteral("text.mlog"));
        QVERIFY(writeLog(path, 3 * made().size(), recordOf));
        Results results(path);
        results.model.runFilter();
        const QString plain = m_dir.filePath(QStringLiteral("plain.txt"));
        const QString text = m_dir.filePath(QStringLiteral("text.csv"));
        QVERIFY(results.model.saveToFile(plain));
        QVERIFY(results.model.saveToFile(text, nullptr, ExportFormat::Text));
        QByteArray rows;
        for (int i = 0; i < results.model.rowCount(); ++i)
            rows += results.text(i).toUtf8() + '\n';
        QCOMPARE(readAll(plain), rows);
        QCOMPARE(readAll(text), rows);
    }
};

QTEST_MAIN(TestExport)
#include "tst_export.moc"
