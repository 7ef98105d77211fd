// Differential fuzzing of the compiled matcher against QRegExp, whose answers
// the filter patterns are defined by. Input: one flag byte (bit 0: the text
// is raw UTF-16LE, so lone surrogates occur; bit 1: the same for the
// pattern), one byte giving the pattern's length in bytes, the pattern, and
// the text. Any disagreement where the matcher decided is a crash; an
// undecided text is no answer and is passed over.
#include <cmatcher.h>

#include <QRegExp>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

QString decode(const uint8_t *data, size_t size, bool utf16)
{
    if (!utf16)
        return QString::fromUtf8(reinterpret_cast<const char *>(data), int(size));
    QString out;
    for (size_t i = 0; i + 1 < size; i += 2)
        out.append(QChar(ushort(data[i] | data[i + 1] << 8)));
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    const uint8_t flags = data[0];
    const size_t patternBytes = std::min<size_t>(data[1], size - 2);
    // QRegExp cannot be interrupted: short texts keep it within the
    // fuzzer's time-out even for its slowest patterns.
    const size_t textBytes = std::min<size_t>(size - 2 - patternBytes, 384);
    const QString pattern = decode(data + 2, patternBytes, flags & 2);
    const QString text = decode(data + 2 + patternBytes, textBytes, flags & 1);

    const CMatcher matcher({{pattern}});
    const CMatcher::Verdict verdict = matcher.verdict(text);
    if (verdict == CMatcher::Verdict::Undecided)
        return 0;
    // A back-reference number of 65536 or more makes QRegExp read memory it
    // does not own; the matcher takes such a pattern for an invalid one.
    static const QRegExp bigBackReference(QStringLiteral("(^|[^\\\\])(\\\\\\\\)*\\\\[1-9]\\d*"));
    bool overflow = false;
    for (int at = bigBackReference.indexIn(pattern); at >= 0 && !overflow;
         at = bigBackReference.indexIn(pattern, at + 1)) {
        const QString digits = bigBackReference.cap(0).section(QLatin1Char('\\'), -1);
        overflow = digits.size() > 5 || digits.toLongLong() > 0xFFFF;
    }
    QRegExp rx(pattern, Qt::CaseSensitive, QRegExp::RegExp);
    const bool expected = !overflow && rx.isValid() && rx.indexIn(text) != -1;
    if ((verdict == CMatcher::Verdict::Match) != expected) {
        std::fprintf(stderr, "pattern \"%s\" text \"%s\": matcher %d, QRegExp %d\n",
                     pattern.toUtf8().constData(), text.toUtf8().constData(),
                     int(verdict == CMatcher::Verdict::Match), int(expected));
        std::abort();
    }
    return 0;
}
