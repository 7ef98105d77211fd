// The formats results are saved in: the text of the result rows, CSV and
// JSON Lines, the last two with the fields of each record (recordfields.h).
#ifndef EXPORTFORMAT_H
#define EXPORTFORMAT_H

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstring>
#include <functional>
#include <string_view>
#include <type_traits>

#include "cmatcher.h"
#include "filtermatch.h"
#include "recordfields.h"
#include "resultbytes.h"
#include "utf8texts.h"

// CsvRaw: CSV with every field as the record has it, asked for by name on
// the command line only; Csv guards the fields that a spreadsheet would run
// as formulas (csvFormulaStart).
enum class ExportFormat { Text, Csv, JsonLines, CsvRaw };

// True when a CSV field `field` begins as a spreadsheet formula may: with
// "=", "+", "-" or "@", or a tab or carriage return before one. Such a field
// of a text from a record is written after an apostrophe, so that it shows
// as text; the numbers and names of the export's own making never need it.
inline bool csvFormulaStart(std::string_view field)
{
    if (field.empty())
        return false;
    const char c = field.front();
    return c == '=' || c == '+' || c == '-' || c == '@' || c == '\t' || c == '\r';
}

// The format's name on the command line: "text", "csv" or "jsonl" (CsvRaw:
// "csv").
QString exportFormatName(ExportFormat format);
// The format named `name` (as exportFormatName gives it); false for none.
bool exportFormatFromName(const QString &name, ExportFormat *format);
// The format that the extension of `fileName` names (".txt", ".csv",
// ".jsonl", in any case), or `fallback` when it names none.
ExportFormat exportFormatOfFile(const QString &fileName, ExportFormat fallback);

// The bytes a file of the format starts with: the CSV header row; nothing
// for the others. `withLog`: the header of rows that name their log.
QByteArray exportHeader(ExportFormat format, bool withLog = false);

// Calls `visit(text, length, ascii)` for every text of `texts` (UTF-8
// texts, each followed by a NUL byte) that `matcher` accepts, in order,
// `ascii` telling whether the text is all ASCII; returns the number of
// texts. `stop` and `between` as for appendResultRows.
template <typename Visit>
int forEachMatchingText(const CMatcher &matcher, const QByteArray &texts, MatchStop *stop,
                        const std::function<bool()> &between, Visit visit);

// Calls `visit(name, text)` for every text of `texts` (UTF-8 texts, each
// followed by a NUL byte) that `matcher` accepts, in order, with the user
// name and the text in UTF-8 as the result row holds them (bytes that are
// no UTF-8 replaced as the view shows them); returns the number of rows.
// `stop` and `between` as for appendResultRows.
template <typename Visit>
int forEachResultRow(const CMatcher &matcher, const QByteArray &texts, UserNameBytes &names, MatchStop *stop,
                     const std::function<bool()> &between, Visit visit);

// Makes the rows of one format, with what the rows of a save share (the
// last date converted).
class ExportRows
{
public:
    explicit ExportRows(ExportFormat format);
    ExportFormat format() const { return m_format; }
    // Rows of several logs: CSV and JSON Lines rows end with a field "log",
    // the file name `names[log]` of the log each row comes from (the `log`
    // of appendRow); without names, rows have no such field.
    void setLogNames(const QList<QByteArray> &names);

    // Appends the row of user name `name` and record text `text` (both UTF-8);
    // `recordTime` is the time of the text's block (seconds since 1970, -1
    // when not known). The text format gives exactly the bytes of
    // appendResultRows.
    void appendRow(std::string_view name, std::string_view text, qint64 recordTime, QByteArray *out, int log = -1);
    // Appends the row of every row of `batch` (rowbatch), in order.
    void appendBatch(const QByteArray &batch, QByteArray *out);

private:
    void appendCsv(std::string_view name, std::string_view text, qint64 recordTime, QByteArray *out);
    void appendJson(std::string_view name, std::string_view text, qint64 recordTime, QByteArray *out);

    // The log's field at the end of the row just appended to `out`.
    void appendLogField(int log, QByteArray *out) const;

    ExportFormat m_format;
    IsoDates m_dates;
    QList<QByteArray> m_logNames;
};

// Result rows gathered to be made into rows of a format, or counted, on
// another thread (ChunkWorker): the user name, the text and the block's
// time of each, one row after the other.
namespace rowbatch {
struct Head
{
    qint32 nameSize;
    qint32 textSize;
    qint64 recordTime;
    qint32 log; // which of a set's logs the row is from; -1: one log
};
// Appends the row of user name `name`, text `text` and block time
// `recordTime` (of log `log` of a set) to `batch`.
void append(QByteArray *batch, std::string_view name, std::string_view text, qint64 recordTime, int log = -1);
// Calls `visit(name, text, recordTime)`, or `visit(name, text, recordTime,
// log)`, for every row of `batch`, in order.
template <typename Visit>
void forEach(const QByteArray &batch, Visit visit)
{
    const char *p = batch.constData();
    const char *const end = p + batch.size();
    while (p < end) {
        Head head;
        std::memcpy(&head, p, sizeof head);
        p += sizeof head;
        const std::string_view name(p, size_t(head.nameSize));
        const std::string_view text(p + head.nameSize, size_t(head.textSize));
        p += head.nameSize + head.textSize;
        if constexpr (std::is_invocable_v<Visit, std::string_view, std::string_view, qint64, int>)
            visit(name, text, head.recordTime, int(head.log));
        else
            visit(name, text, head.recordTime);
    }
}
} // namespace rowbatch

namespace exportdetail {

// What a walk over texts does with the text numbered `index` that the
// matcher gave `verdict`: makes its row, passes over it, or ends there, an
// undecided text (by `costly`) noted in `stop` when one is given.
enum class RowStep { Row, Skip, End };
inline RowStep rowStep(CMatcher::Verdict verdict, int index, const QString &costly, MatchStop *stop)
{
    if (verdict == CMatcher::Verdict::Undecided && stop) {
        stop->index = index;
        stop->pattern = costly;
        return RowStep::End;
    }
    return verdict == CMatcher::Verdict::Match ? RowStep::Row : RowStep::Skip;
}
} // namespace exportdetail

template <typename Visit>
int forEachMatchingText(const CMatcher &matcher, const QByteArray &texts, MatchStop *stop,
                        const std::function<bool()> &between, Visit visit)
{
    if (stop)
        *stop = MatchStop();
    const bool everything = matcher.matchesEverything();
    const char *p = texts.constData();
    const char *const end = p + texts.size();
    int matches = 0;
    for (int index = 0; p < end; ++index) {
        qsizetype length = 0;
        bool ascii = false;
        if (everything) {
            length = utf8texts::terminatedLength(p, end, &ascii);
        } else {
            if (index > 0 && between && !between())
                break;
            QString costly;
            const auto step = exportdetail::rowStep(
                matcher.verdictUtf8Text(p, end, &length, stop ? &costly : nullptr, &ascii), index, costly, stop);
            if (step == exportdetail::RowStep::End)
                break;
            if (step == exportdetail::RowStep::Skip) {
                p += length + 1;
                continue;
            }
        }
        visit(p, length, ascii);
        p += length + 1;
        ++matches;
    }
    return matches;
}

template <typename Visit>
int forEachResultRow(const CMatcher &matcher, const QByteArray &texts, UserNameBytes &names, MatchStop *stop,
                     const std::function<bool()> &between, Visit visit)
{
    return forEachMatchingText(matcher, texts, stop, between, [&](const char *p, qsizetype length, bool ascii) {
        const QByteArray &name = names.nameOf(p, ascii).bytes;
        if (ascii) {
            visit(name, std::string_view(p, size_t(length)));
        } else {
            // Bytes that are no UTF-8 are written as the view shows them.
            const QByteArray encoded = QString::fromUtf8(p, int(length)).toUtf8();
            visit(name, std::string_view(encoded.constData(), size_t(encoded.size())));
        }
    });
}

#endif
