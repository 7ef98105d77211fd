// Results saved as CSV and JSON Lines, read back by an independent reader
// and compared with the rows and the records they were made of; CSV quoting
// of every byte that needs it, wherever it lies, read back by the reader and
// by the rules of RFC 4180.
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

const QByteArray kHead = "[f] <1,2,3,4,5> [s] open 2026-01-02 03:04:05 ";

// A CSV field quoted for every byte that needs it, wherever in the field it
// lies: in the first bytes, within the bytes looked at sixteen at a time,
// and within the last few. The parameters `before` bytes, the special byte,
// `after` bytes: the byte lies at every kind of place in the record's text (parameters that begin
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

class TestExport : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QJsonArray m_edges; // every edge case's two rows, written to one file and read back at once

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

    void readsBack_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<bool>("odd");
        for (const int format : {int(ExportFormat::Csv), int(ExportFormat::JsonLines), int(ExportFormat::Text)}) {
            const QString name = exportFormatName(ExportFormat(format));
            QTest::addRow("%s, every record", qPrintable(name)) << format << QString() << false;
            QTest::addRow("%s, refusals", qPrintable(name)) << format << fragments().at(1) << false;
            if (format != int(ExportFormat::Text))
                QTest::addRow("%s, odd rows", qPrintable(name)) << format << QString() << true;
        }
    }

    // Every saved row comes back with the fields of the record it was made
    // of; a text of another shape with its name and text and empty fields,
    // whatever either format must escape as it was. The text format is the
    // result rows byte for byte, whatever the file's name says.
    void readsBack()
    {
        QFETCH(int, format);
        QFETCH(QString, pattern);
        QFETCH(bool, odd);
        const bool json = ExportFormat(format) == ExportFormat::JsonLines;
        const QString target = m_dir.filePath(QStringLiteral("export.csv"));
        // "-": empty in CSV, null in JSON.
        QVector<QStringList> expected;
        if (odd) {
            const QVector<QPair<QByteArray, QByteArray>> rows{
                {"", "hello, \"world\""},
                {"a,\"b\"", "[f] <1,2> broken"},
                {"üser", "line\r\nbreak\x01\x1f\x7f"},
                {"x", ""},
                {"back\\slash", "[f] <1,2,3,4,5> [s] open 2026-02-30 00:00:00 no such day"},
            };
            // Through a batch, as a save hands its rows to the thread that makes them.
            QByteArray batch;
            for (const auto &r : rows) {
                rowbatch::append(&batch, std::string_view(r.first.constData(), size_t(r.first.size())),
                                 std::string_view(r.second.constData(), size_t(r.second.size())), -1);
                QStringList fields;
                for (int k = 0; k < 12; ++k)
                    fields.append(QStringLiteral("-"));
                fields.first() = QString::fromUtf8(r.first);
                fields.last() = QString::fromUtf8(r.second);
                expected.append(fields);
            }
            QByteArray bytes = exportHeader(ExportFormat(format));
            ExportRows(ExportFormat(format)).appendBatch(batch, &bytes);
            // The one well-shaped text keeps its fields without a date.
            expected.last() = QStringList{"back\\slash", "-", "file", "1", "2", "3", "4", "5", "success", "open",
                                          "no such day", expected.last().last()};
            QFile file(target);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        } else {
            const int count = 3 * made().size() + 1;
            const QString path = m_dir.filePath(QStringLiteral("export.mlog"));
            QVERIFY(writeLog(path, count, recordOf));
            RunResults results(path, makeFilter(pattern));
            QString error;
            QVERIFY2(ExportFormat(format) == ExportFormat::Text ? results.model.saveToFile(target, &error)
                                                                  : results.model.saveToFile(target, &error, ExportFormat(format)),
                     qPrintable(error));
            QByteArray text;
            for (int i = 0, row = 0; i < count; ++i) {
                const MlogRecord r = recordOf(i);
                const Made &m = made().at(i % made().size());
                if (!pattern.isEmpty() && !m.refused)
                    continue;
                text += results.text(row).toUtf8() + '\n';
                const QStringList shown = results.text(row++).split(QLatin1Char('\t'));
                expected.append({shown.at(0), isoOf(r.time),
                                 QStringList{"user", "user process", "file", "custom"}.at(m.kind),
                                 QString::number(r.subject[0]), QString::number(r.subject[1]),
                                 QString::number(r.subject[2]), QString::number(r.subject[3]),
                                 QString::number(r.subject[4]), m.refused ? "refusal" : "success", m.eventName,
                                 m.parameters, shown.at(1)});
            }
            QCOMPARE(expected.size(), results.model.rowCount());
            if (ExportFormat(format) == ExportFormat::Text) {
                QCOMPARE(fileContents(target), text);
                return;
            }
            if (!json)
                QVERIFY(fileContents(target).startsWith(exportHeader(ExportFormat::Csv)) && fileContents(target).endsWith("\r\n"));
        }
        if (!haveExportReader())
            QSKIP("python3 is not installed");
        QString error;
        const QJsonArray rows = readExport(target, json ? QStringLiteral("jsonl") : QStringLiteral("csv"), &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QCOMPARE(rows.size(), expected.size());
        const QStringList keys{"user", "time", "kind", "pid", "ppid", "uid", "gid", "session", "status", "event",
                               "parameters", "text"};
        for (int row = 0; row < rows.size(); ++row) {
            const QJsonObject got = rows.at(row).toObject();
            QCOMPARE(got.keys().size(), keys.size());
            for (int k = 0; k < keys.size(); ++k) {
                const QString want = expected.at(row).at(k);
                QCOMPARE(field(got, keys.at(k), json), want == QLatin1String("-") ? (json ? "<null>" : QString()) : want);
            }
        }
    }

    // A field of a record's text that a spreadsheet would run as a formula
    // is written after an apostrophe in CSV; the raw CSV and JSON Lines keep
    // it as it is. Written with the log writer, read back by the reader.
    void formulasGuarded_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<bool>("guarded");
        const QVector<QPair<QByteArray, bool>> payloads{
            {"=HYPERLINK(\"http://x\",\"y\")", true}, {"+cmd|' /C calc'!A0", true}, {"-2+3", true},
            {"@SUM(A1)", true},          {"=1,2", true},   {"plain", false},     {"a=b", false},
            {"'=quoted", false},
        };
        for (const int format : {int(ExportFormat::Csv), int(ExportFormat::CsvRaw), int(ExportFormat::JsonLines)}) {
            for (const auto &p : payloads) {
                QTest::addRow("%s%s, %s", qPrintable(exportFormatName(ExportFormat(format))),
                              format == int(ExportFormat::CsvRaw) ? " raw" : "", p.first.constData())
                    << format << p.first << (p.second && format == int(ExportFormat::Csv));
            }
        }
    }

    void formulasGuarded()
    {
        QFETCH(int, format);
        QFETCH(QByteArray, payload);
        QFETCH(bool, guarded);
        if (!haveExportReader())
            QSKIP("python3 is not installed");
        const bool json = ExportFormat(format) == ExportFormat::JsonLines;
        const QString path = m_dir.filePath(QStringLiteral("formula.mlog"));
        QVERIFY(writeLog(path, 1, [&payload](int) { return MlogRecord{T0, {1, 1, 0, 0, 0}, 2, 0, 0, 0, payload}; }));
        RunResults results(path);
        const QString target = m_dir.filePath(json ? QStringLiteral("formula.jsonl") : QStringLiteral("formula.csv"));
        QString error;
        QVERIFY2(results.model.saveToFile(target, &error, ExportFormat(format)), qPrintable(error));
        const QJsonArray rows = readExport(target, json ? QStringLiteral("jsonl") : QStringLiteral("csv"), &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QCOMPARE(rows.size(), 1);
        const QJsonObject row = rows.at(0).toObject();
        const QString expected = (guarded ? QStringLiteral("'") : QString()) + QString::fromUtf8(payload);
        QCOMPARE(row.value(QStringLiteral("parameters")).toString(), expected);
        // The numbers, the time and the names of the export's own making
        // stay as they are.
        QCOMPARE(field(row, QStringLiteral("pid"), json), QStringLiteral("1"));
        QCOMPARE(row.value(QStringLiteral("event")).toString(), QStringLiteral("open"));
        QVERIFY(!row.value(QStringLiteral("time")).toString().startsWith(QLatin1Char('\'')));
    }

    // A leading tab or carriage return, which a record's text never keeps,
    // may still begin a user name, a text of another shape or the name of
    // a set's log.
    void formulaAfterBlank_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("csv");
        QTest::newRow("tab in the name") << QByteArray("\t=1") << QByteArray("x") << QByteArray("'\t=1,,,,,,,,,,,x\r\n");
        QTest::newRow("carriage return in the text")
            << QByteArray("u") << QByteArray("\r=1") << QByteArray("u,,,,,,,,,,,\"'\r=1\"\r\n");
        QTest::newRow("minus in the name") << QByteArray("-x") << QByteArray("@y") << QByteArray("'-x,,,,,,,,,,,'@y\r\n");
        QTest::newRow("nothing to guard") << QByteArray("u") << QByteArray("x=1") << QByteArray("u,,,,,,,,,,,x=1\r\n");
    }

    void formulaAfterBlank()
    {
        QFETCH(QByteArray, name);
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, csv);
        QByteArray bytes, raw;
        ExportRows(ExportFormat::Csv).appendRow(view(name), view(text), -1, &bytes);
        QCOMPARE(bytes, csv);
        ExportRows(ExportFormat::CsvRaw).appendRow(view(name), view(text), -1, &raw);
        QCOMPARE(raw, QByteArray(csv).replace("'", ""));
        // A set's rows end with the file name of their log, guarded as the
        // user name is (here the name of the log).
        const QByteArray withLog = csv.chopped(2) + ',' + csv.left(csv.indexOf(',')) + "\r\n";
        for (const ExportFormat format : {ExportFormat::Csv, ExportFormat::CsvRaw}) {
            ExportRows rows(format);
            rows.setLogNames({name});
            QByteArray out;
            rows.appendRow(view(name), view(text), -1, &out, 0);
            QCOMPARE(out, format == ExportFormat::Csv ? withLog : QByteArray(withLog).replace("'", ""));
        }
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
        if (!haveExportReader())
            QSKIP("python3 is not installed");
        if (m_edges.isEmpty()) {
            QByteArray csv = exportHeader(ExportFormat::Csv);
            ExportRows rows(ExportFormat::Csv);
            for (const Case &c : cases()) {
                rows.appendRow("u", view(c.text()), 1767319445, &csv);
                rows.appendRow(view(c.name2()), view(c.text()), 1767319445, &csv);
            }
            const QString path = m_dir.filePath(QStringLiteral("edge.csv"));
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(csv) == csv.size());
            file.close();
            QString error;
            m_edges = readExport(path, QStringLiteral("csv"), &error);
            QVERIFY2(error.isEmpty(), qPrintable(error));
            QCOMPARE(m_edges.size(), 2 * cases().size());
        }
        const Case c = cases().at(index);
        for (int i = 0; i < 2; ++i) {
            const QJsonObject row = m_edges.at(2 * index + i).toObject();
            QCOMPARE(row.value(QStringLiteral("user")).toString(), QString::fromUtf8(i == 0 ? QByteArray("u") : c.name2()));
            QCOMPARE(row.value(QStringLiteral("event")).toString(), QStringLiteral("open"));
            QCOMPARE(row.value(QStringLiteral("parameters")).toString(), QString::fromUtf8(c.parameters()));
            QCOMPARE(row.value(QStringLiteral("text")).toString(), QString::fromUtf8(c.text()));
        }
    }

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
                    const QByteArray text = record ? kHead + field : "odd " + field;
                    rows.appendRow(view(field), view(text), -1, &out);
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

    // Each byte that JSON escapes, and the first bytes it does not (space and
    // delete), at the places around the sixteen-byte steps that look for
    // them: the string holds the escape, or the byte as it is.
    void jsonEscapesEveryPlace_data()
    {
        QTest::addColumn<char>("special");
        QTest::addColumn<QByteArray>("written");
        QTest::addRow("quote") << '"' << QByteArray("\\\"");
        QTest::addRow("backslash") << '\\' << QByteArray("\\\\");
        QTest::addRow("line feed") << '\n' << QByteArray("\\n");
        QTest::addRow("unit separator") << '\x1f' << QByteArray("\\u001f");
        QTest::addRow("space") << ' ' << QByteArray(" ");
        QTest::addRow("delete") << '\x7f' << QByteArray("\x7f");
    }

    void jsonEscapesEveryPlace()
    {
        QFETCH(char, special);
        QFETCH(QByteArray, written);
        ExportRows rows(ExportFormat::JsonLines);
        for (const int length : {1, 2, 15, 16, 17, 31, 32, 33}) {
            for (const int at : {0, length / 2, length - 2, length - 1}) {
                if (at < 0)
                    continue;
                QByteArray field(length, 'x');
                field[at] = special;
                QByteArray out;
                rows.appendRow(view(field), view("odd"), -1, &out);
                const QByteArray user = "{\"user\":\"" + field.left(at) + written + field.mid(at + 1) + "\",";
                QVERIFY2(out.startsWith(user), qPrintable(QStringLiteral("length %1, at %2: ").arg(length).arg(at)
                                                          + QString::fromLatin1(out)));
            }
        }
    }
};

QTEST_MAIN(TestExport)
#include "tst_export.moc"
