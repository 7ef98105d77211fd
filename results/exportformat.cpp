#include "exportformat.h"

#include <QFileInfo>

namespace exportdetail {

bool isAscii(const char *s, int n)
{
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        quint64 word;
        std::memcpy(&word, s + i, 8);
        if (word & 0x8080808080808080ull)
            return false;
    }
    for (; i < n; ++i) {
        if (uchar(s[i]) >= 0x80)
            return false;
    }
    return true;
}

} // namespace exportdetail

namespace {

inline void put(QByteArray *out, std::string_view s)
{
    out->append(s.data(), int(s.size()));
}

inline void put(QByteArray *out, const QByteArray &s)
{
    out->append(s);
}

void putNumber(QByteArray *out, quint32 v)
{
    char digits[10];
    int n = 0;
    do {
        digits[n++] = char('0' + v % 10);
        v /= 10;
    } while (v);
    char text[10];
    for (int i = 0; i < n; ++i)
        text[i] = digits[n - 1 - i];
    out->append(text, n);
}

// A CSV field: quoted, with its quotes doubled, when it holds a comma, a
// quote or a line break (RFC 4180); as it is otherwise.
void putCsvField(QByteArray *out, std::string_view s)
{
    size_t i = 0;
    while (i < s.size() && s[i] != ',' && s[i] != '"' && s[i] != '\n' && s[i] != '\r')
        ++i;
    if (i == s.size()) {
        put(out, s);
        return;
    }
    out->append('"');
    size_t from = 0;
    for (size_t q = s.find('"'); q != std::string_view::npos; q = s.find('"', q + 1)) {
        put(out, s.substr(from, q + 1 - from));
        out->append('"');
        from = q + 1;
    }
    put(out, s.substr(from));
    out->append('"');
}

// A JSON string: quote, backslash and control characters escaped; the rest,
// valid UTF-8, as it is.
void putJsonString(QByteArray *out, std::string_view s)
{
    static const char hex[] = "0123456789abcdef";
    out->append('"');
    size_t from = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        const uchar c = uchar(s[i]);
        if (c >= 0x20 && c != '"' && c != '\\')
            continue;
        put(out, s.substr(from, i - from));
        from = i + 1;
        switch (c) {
        case '"':
            out->append("\\\"", 2);
            break;
        case '\\':
            out->append("\\\\", 2);
            break;
        case '\n':
            out->append("\\n", 2);
            break;
        case '\r':
            out->append("\\r", 2);
            break;
        case '\t':
            out->append("\\t", 2);
            break;
        default: {
            const char escaped[6] = {'\\', 'u', '0', '0', hex[c >> 4], hex[c & 15]};
            out->append(escaped, 6);
        }
        }
    }
    put(out, s.substr(from));
    out->append('"');
}

inline std::string_view view(const QByteArray &bytes)
{
    return std::string_view(bytes.constData(), size_t(bytes.size()));
}

} // namespace

QString exportFormatName(ExportFormat format)
{
    switch (format) {
    case ExportFormat::Csv:
        return QStringLiteral("csv");
    case ExportFormat::JsonLines:
        return QStringLiteral("jsonl");
    case ExportFormat::Text:
        break;
    }
    return QStringLiteral("text");
}

bool exportFormatFromName(const QString &name, ExportFormat *format)
{
    for (const ExportFormat f : {ExportFormat::Text, ExportFormat::Csv, ExportFormat::JsonLines}) {
        if (name == exportFormatName(f)) {
            *format = f;
            return true;
        }
    }
    return false;
}

ExportFormat exportFormatOfFile(const QString &fileName, ExportFormat fallback)
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix == QLatin1String("txt"))
        return ExportFormat::Text;
    if (suffix == QLatin1String("csv"))
        return ExportFormat::Csv;
    if (suffix == QLatin1String("jsonl"))
        return ExportFormat::JsonLines;
    return fallback;
}

QByteArray exportHeader(ExportFormat format)
{
    if (format != ExportFormat::Csv)
        return QByteArray();
    return QByteArrayLiteral("user,time,kind,pid,ppid,uid,gid,session,status,event,parameters,text\r\n");
}

ExportRows::ExportRows(ExportFormat format) : m_format(format) {}

int ExportRows::append(const CMatcher &matcher, const QByteArray &texts, qint64 recordTime, UserNameBytes &names,
                       QByteArray *out, MatchStop *stop, const std::function<bool()> &between)
{
    if (m_format == ExportFormat::Text)
        return appendResultRows(matcher, texts, names, out, stop, between);
    return forEachResultRow(matcher, texts, names, stop, between,
                            [&](const QByteArray &name, std::string_view text) {
                                appendRow(name, text, recordTime, out);
                            });
}

void ExportRows::appendRow(const QByteArray &name, std::string_view text, qint64 recordTime, QByteArray *out)
{
    switch (m_format) {
    case ExportFormat::Text:
        out->append(name);
        out->append('\t');
        put(out, text);
        out->append('\n');
        break;
    case ExportFormat::Csv:
        appendCsv(name, text, recordTime, out);
        break;
    case ExportFormat::JsonLines:
        appendJson(name, text, recordTime, out);
        break;
    }
}

void ExportRows::appendCsv(const QByteArray &name, std::string_view text, qint64 recordTime, QByteArray *out)
{
    putCsvField(out, view(name));
    RecordFields f;
    if (parseRecordFields(text, &f)) {
        out->append(',');
        put(out, m_dates.iso(f.date, recordTime));
        out->append(',');
        put(out, std::string_view(kindName(f.kind)));
        for (const quint32 number : f.subject) {
            out->append(',');
            putNumber(out, number);
        }
        out->append(',');
        put(out, std::string_view(statusName(f.refused)));
        out->append(',');
        putCsvField(out, f.event);
        out->append(',');
        putCsvField(out, f.parameters);
        out->append(',');
    } else {
        // The fields of a text of another shape stay empty.
        out->append(",,,,,,,,,,,", 11);
    }
    putCsvField(out, text);
    out->append("\r\n", 2);
}

void ExportRows::appendJson(const QByteArray &name, std::string_view text, qint64 recordTime, QByteArray *out)
{
    static const char *const numberKeys[] = {",\"pid\":", ",\"ppid\":", ",\"uid\":", ",\"gid\":", ",\"session\":"};
    out->append("{\"user\":", 8);
    putJsonString(out, view(name));
    RecordFields f;
    if (parseRecordFields(text, &f)) {
        out->append(",\"time\":", 8);
        const QByteArray &iso = m_dates.iso(f.date, recordTime);
        if (iso.isEmpty())
            out->append("null", 4);
        else
            putJsonString(out, view(iso));
        out->append(",\"kind\":", 8);
        putJsonString(out, kindName(f.kind));
        for (int i = 0; i < 5; ++i) {
            out->append(numberKeys[i]);
            putNumber(out, f.subject[i]);
        }
        out->append(",\"status\":", 10);
        putJsonString(out, statusName(f.refused));
        out->append(",\"event\":", 9);
        putJsonString(out, f.event);
        out->append(",\"parameters\":", 14);
        putJsonString(out, f.parameters);
    } else {
        out->append(",\"time\":null,\"kind\":null,\"pid\":null,\"ppid\":null,\"uid\":null,\"gid\":null,"
                    "\"session\":null,\"status\":null,\"event\":null,\"parameters\":null");
    }
    out->append(",\"text\":", 8);
    putJsonString(out, text);
    out->append("}\n", 2);
}
