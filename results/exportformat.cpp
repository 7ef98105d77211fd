#include "exportformat.h"

#include <QFileInfo>

#include <algorithm>
#include <charconv>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

// A row is written through a pointer into room made for its longest form
// beforehand: one check of the room per row instead of one per field.
class RowRoom
{
public:
    RowRoom(QByteArray *out, qsizetype most) : m_out(out)
    {
        const qsizetype size = out->size();
        if (out->capacity() - size < most)
            out->reserve(std::max<qsizetype>(size + most, 2 * out->capacity()));
        out->resize(int(size + most));
        m_begin = out->data();
        p = m_begin + size;
    }
    ~RowRoom() { m_out->resize(int(p - m_begin)); }
    RowRoom(const RowRoom &) = delete;
    RowRoom &operator=(const RowRoom &) = delete;

    void put(char c) { *p++ = c; }
    void put(std::string_view s)
    {
        copy(p, s.data(), s.size());
        p += s.size();
    }
    void put(const QByteArray &s) { put(std::string_view(s.constData(), size_t(s.size()))); }
    template <size_t N>
    void put(const char (&literal)[N])
    {
        put(std::string_view(literal, N - 1));
    }
    void putNumber(quint32 v) { p = std::to_chars(p, p + 10, v).ptr; }
    // Subject number `i` of `f`, as its text writes it where that is its
    // decimal form.
    void putSubject(const RecordFields &f, int i)
    {
        if (f.subjectDecimal[i].empty())
            putNumber(f.subject[i]);
        else
            put(f.subjectDecimal[i]);
    }

    char *p;

private:
    // Most fields are a few bytes long: copied inline, as two words that
    // may overlap, rather than through a call.
    static void copy(char *to, const char *from, size_t n)
    {
        if (n > 16) {
            std::memcpy(to, from, n);
        } else if (n >= 8) {
            copyEnds<quint64>(to, from, n);
        } else if (n >= 4) {
            copyEnds<quint32>(to, from, n);
        } else if (n > 0) {
            to[0] = from[0];
            to[n / 2] = from[n / 2];
            to[n - 1] = from[n - 1];
        }
    }
    // The first and the last word of `n` bytes, which cover them all.
    template <typename Word>
    static void copyEnds(char *to, const char *from, size_t n)
    {
        Word head;
        Word tail;
        std::memcpy(&head, from, sizeof head);
        std::memcpy(&tail, from + n - sizeof tail, sizeof tail);
        std::memcpy(to, &head, sizeof head);
        std::memcpy(to + n - sizeof tail, &tail, sizeof tail);
    }

    QByteArray *m_out;
    char *m_begin;
};

// The length of the run of bytes at the start of `s` that `special` (a
// test of one byte, and the same test on 16 bytes at once giving 0xFF for
// each byte that meets it) does not single out.
template <typename Byte, typename Vector>
inline size_t plainRun(std::string_view s, Byte special, [[maybe_unused]] Vector specialVector)
{
    size_t i = 0;
#ifdef __SSE2__
    for (; i + 16 <= s.size(); i += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(s.data() + i));
        if (const int mask = _mm_movemask_epi8(specialVector(bytes)))
            return i + size_t(__builtin_ctz(unsigned(mask)));
    }
#endif
    while (i < s.size() && !special(uchar(s[i])))
        ++i;
    return i;
}

// The bytes a CSV field is quoted for: comma, quote and line breaks.
size_t csvPlainRun(std::string_view s)
{
    return plainRun(
        s, [](uchar c) { return c == ',' || c == '"' || c == '\n' || c == '\r'; },
        [](auto v) {
#ifdef __SSE2__
            const auto is = [&v](char c) { return _mm_cmpeq_epi8(v, _mm_set1_epi8(c)); };
            return _mm_or_si128(_mm_or_si128(is(','), is('"')), _mm_or_si128(is('\n'), is('\r')));
#else
            return v;
#endif
        });
}

// The bytes of a CSV field that need more than quoting it: quote and line
// breaks.
size_t csvBreakRun(std::string_view s)
{
    return plainRun(
        s, [](uchar c) { return c == '"' || c == '\n' || c == '\r'; },
        [](auto v) {
#ifdef __SSE2__
            const auto is = [&v](char c) { return _mm_cmpeq_epi8(v, _mm_set1_epi8(c)); };
            return _mm_or_si128(is('"'), _mm_or_si128(is('\n'), is('\r')));
#else
            return v;
#endif
        });
}

// The bytes a JSON string escapes: quote, backslash and control characters.
size_t jsonPlainRun(std::string_view s)
{
    return plainRun(
        s, [](uchar c) { return c < 0x20 || c == '"' || c == '\\'; },
        [](auto v) {
#ifdef __SSE2__
            const auto is = [&v](char c) { return _mm_cmpeq_epi8(v, _mm_set1_epi8(c)); };
            const __m128i control = _mm_cmpeq_epi8(_mm_min_epu8(v, _mm_set1_epi8(0x1F)), v);
            return _mm_or_si128(_mm_or_si128(is('"'), is('\\')), control);
#else
            return v;
#endif
        });
}

// A CSV field: quoted, with its quotes doubled, when it holds a comma, a
// quote or a line break (RFC 4180); as it is otherwise; after an apostrophe
// when `guard` is set and it begins as a formula. At most 2 × size + 3 bytes.
void putCsvField(RowRoom &row, std::string_view s, bool guard)
{
    const bool apostrophe = guard && csvFormulaStart(s);
    if (csvPlainRun(s) == s.size()) {
        if (apostrophe)
            row.put('\'');
        row.put(s);
        return;
    }
    row.put('"');
    if (apostrophe)
        row.put('\'');
    for (;;) {
        const size_t quote = s.find('"');
        if (quote == std::string_view::npos)
            break;
        row.put(s.substr(0, quote + 1));
        row.put('"');
        s.remove_prefix(quote + 1);
    }
    row.put(s);
    row.put('"');
}

// A JSON string: quote, backslash and control characters escaped; the rest,
// valid UTF-8, as it is. At most 6 × size + 2 bytes.
void putJsonString(RowRoom &row, std::string_view s)
{
    static const char hex[] = "0123456789abcdef";
    row.put('"');
    for (;;) {
        const size_t run = jsonPlainRun(s);
        row.put(s.substr(0, run));
        if (run == s.size())
            break;
        const uchar c = uchar(s[run]);
        s.remove_prefix(run + 1);
        switch (c) {
        case '"':
            row.put("\\\"");
            break;
        case '\\':
            row.put("\\\\");
            break;
        case '\n':
            row.put("\\n");
            break;
        case '\r':
            row.put("\\r");
            break;
        case '\t':
            row.put("\\t");
            break;
        default:
            row.put(std::string_view("\\u00", 4));
            row.put(hex[c >> 4]);
            row.put(hex[c & 15]);
        }
    }
    row.put('"');
}

// A text known to need no escaping, as a JSON string.
void putJsonPlain(RowRoom &row, std::string_view s)
{
    row.put('"');
    row.put(s);
    row.put('"');
}

} // namespace

QString exportFormatName(ExportFormat format)
{
    switch (format) {
    case ExportFormat::Csv:
    case ExportFormat::CsvRaw:
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

QByteArray exportHeader(ExportFormat format, bool withLog)
{
    if (format != ExportFormat::Csv && format != ExportFormat::CsvRaw)
        return QByteArray();
    if (withLog)
        return QByteArrayLiteral("user,time,kind,pid,ppid,uid,gid,session,status,event,parameters,text,log\r\n");
    return QByteArrayLiteral("user,time,kind,pid,ppid,uid,gid,session,status,event,parameters,text\r\n");
}

ExportRows::ExportRows(ExportFormat format) : m_format(format) {}

void ExportRows::setLogNames(const QList<QByteArray> &names)
{
    m_logNames = names;
}

void ExportRows::appendBatch(const QByteArray &batch, QByteArray *out)
{
    rowbatch::forEach(batch, [this, out](std::string_view name, std::string_view text, qint64 recordTime, int log) {
        appendRow(name, text, recordTime, out, log);
    });
}

void rowbatch::append(QByteArray *batch, std::string_view name, std::string_view text, qint64 recordTime, int log)
{
    const Head head{qint32(name.size()), qint32(text.size()), recordTime, qint32(log)};
    const int at = batch->size();
    batch->resize(at + int(sizeof head + name.size() + text.size()));
    char *to = batch->data() + at;
    std::memcpy(to, &head, sizeof head);
    to += sizeof head;
    // (A part may be empty with no bytes at all to copy from.)
    name.copy(to, name.size());
    text.copy(to + name.size(), text.size());
}

void ExportRows::appendRow(std::string_view name, std::string_view text, qint64 recordTime, QByteArray *out, int log)
{
    if (!m_logNames.isEmpty() && m_format != ExportFormat::Text) {
        if (m_format == ExportFormat::JsonLines)
            appendJson(name, text, recordTime, out);
        else
            appendCsv(name, text, recordTime, out);
        appendLogField(log, out);
        return;
    }
    switch (m_format) {
    case ExportFormat::Text:
        out->append(name.data(), int(name.size()));
        out->append('\t');
        out->append(text.data(), int(text.size()));
        out->append('\n');
        break;
    case ExportFormat::Csv:
    case ExportFormat::CsvRaw:
        appendCsv(name, text, recordTime, out);
        break;
    case ExportFormat::JsonLines:
        appendJson(name, text, recordTime, out);
        break;
    }
}

void ExportRows::appendLogField(int log, QByteArray *out) const
{
    // The row as one log's export makes it, its end ("\r\n" or "}\n") taken
    // off for the field and put back: the rows of a set differ from those of
    // one log by this field alone.
    const QByteArray none;
    const QByteArray &name = log >= 0 && log < m_logNames.size() ? m_logNames.at(log) : none;
    const std::string_view s(name.constData(), size_t(name.size()));
    out->chop(2);
    RowRoom row(out, 6 * qsizetype(s.size()) + 16);
    if (m_format == ExportFormat::JsonLines) {
        row.put(",\"log\":");
        putJsonString(row, s);
        row.put("}\n");
    } else {
        row.put(',');
        putCsvField(row, s, m_format == ExportFormat::Csv);
        row.put("\r\n");
    }
}

// The event and the parameters are parts of the text, the date's ISO form
// is at most 25 bytes and the other fields are short: a row is at most
// twice its name and twice the text twice, and a little more.
void ExportRows::appendCsv(std::string_view name, std::string_view text, qint64 recordTime, QByteArray *out)
{
    RowRoom row(out, 2 * qsizetype(name.size()) + 4 * qsizetype(text.size()) + 192);
    // The texts come from what processes did: one that a spreadsheet would
    // run as a formula is guarded unless the raw form was asked for.
    const bool guard = m_format == ExportFormat::Csv;
    putCsvField(row, name, guard);
    RecordFields f;
    if (!parseRecordFields(text, &f)) {
        // The fields of a text of another shape stay empty.
        row.put(",,,,,,,,,,,");
        putCsvField(row, text, guard);
        row.put("\r\n");
        return;
    }
    row.put(',');
    row.put(m_dates.iso(f.date, recordTime));
    row.put(',');
    row.put(kindName(f.kind));
    for (int i = 0; i < 5; ++i) {
        row.put(',');
        row.putSubject(f, i);
    }
    row.put(',');
    row.put(statusName(f.refused));
    row.put(',');
    // The event and the parameters are parts of the text: when the text
    // holds no quote or line break, only a comma makes them quoted, and the
    // text itself (which has the commas of its subject) is quoted as it is.
    if (csvBreakRun(text) != text.size()) {
        putCsvField(row, f.event, guard);
        row.put(',');
        putCsvField(row, f.parameters, guard);
        row.put(',');
        putCsvField(row, text, guard);
    } else {
        const auto quotedIfComma = [&row, guard](std::string_view part) {
            const bool apostrophe = guard && csvFormulaStart(part);
            if (part.find(',') == std::string_view::npos) {
                if (apostrophe)
                    row.put('\'');
                row.put(part);
                return;
            }
            row.put('"');
            if (apostrophe)
                row.put('\'');
            row.put(part);
            row.put('"');
        };
        quotedIfComma(f.event);
        row.put(',');
        quotedIfComma(f.parameters);
        row.put(",\"");
        if (guard && csvFormulaStart(text))
            row.put('\'');
        row.put(text);
        row.put('"');
    }
    row.put("\r\n");
}

// Escaped, every byte of the name and of the text's parts may take six.
void ExportRows::appendJson(std::string_view name, std::string_view text, qint64 recordTime, QByteArray *out)
{
    static const std::string_view numberKeys[] = {",\"pid\":", ",\"ppid\":", ",\"uid\":", ",\"gid\":",
                                                  ",\"session\":"};
    RowRoom row(out, 6 * qsizetype(name.size()) + 12 * qsizetype(text.size()) + 512);
    row.put("{\"user\":");
    putJsonString(row, name);
    // The event and the parameters are parts of the text: a text with
    // nothing to escape has them as they are.
    const bool plain = jsonPlainRun(text) == text.size();
    const auto putString = [&row, plain](std::string_view s) {
        if (plain)
            putJsonPlain(row, s);
        else
            putJsonString(row, s);
    };
    RecordFields f;
    if (parseRecordFields(text, &f)) {
        row.put(",\"time\":");
        const QByteArray &iso = m_dates.iso(f.date, recordTime);
        if (iso.isEmpty())
            row.put("null");
        else
            putJsonPlain(row, std::string_view(iso.constData(), size_t(iso.size())));
        row.put(",\"kind\":");
        putJsonPlain(row, kindName(f.kind));
        for (int i = 0; i < 5; ++i) {
            row.put(numberKeys[i]);
            row.putSubject(f, i);
        }
        row.put(",\"status\":");
        putJsonPlain(row, statusName(f.refused));
        row.put(",\"event\":");
        putString(f.event);
        row.put(",\"parameters\":");
        putString(f.parameters);
    } else {
        row.put(",\"time\":null,\"kind\":null,\"pid\":null,\"ppid\":null,\"uid\":null,\"gid\":null,"
                "\"session\":null,\"status\":null,\"event\":null,\"parameters\":null");
    }
    row.put(",\"text\":");
    putString(text);
    row.put("}\n");
}
