// The compiled matcher against QRegExp. Input: a flag byte (bit 0: the text is raw
// UTF-16LE, lone surrogates and all; bit 1: the pattern is), pattern length, pattern, text.
// A text given as bytes is matched both as its decoding and as the bytes
// themselves (CMatcher::verdictUtf8), invalid sequences and all. With bit 2
// set, the pattern is a list: its lines, and enough plain entries besides
// that the list's plain entries are found by one automaton.
#include "fuzzsupport.h"

#include <cmatcher.h>

#include <QRegExp>

#include <cstring>

static QString decode(const uint8_t *data, size_t size, bool utf16)
{
    if (!utf16)
        return QString::fromUtf8(reinterpret_cast<const char *>(data), int(size));
    QString out;
    for (size_t i = 0; i + 1 < size; i += 2)
        out.append(QChar(ushort(data[i] | data[i + 1] << 8)));
    return out;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    const size_t patternBytes = std::min<size_t>(data[1], size - 2);
    // QRegExp cannot be interrupted: short texts keep its slowest patterns
    // within the fuzzer's time-out.
    const size_t textBytes = std::min<size_t>(size - 2 - patternBytes, 384);
    const QString pattern = decode(data + 2, patternBytes, data[0] & 2);
    const QString text = decode(data + 2 + patternBytes, textBytes, data[0] & 1);
    QStringList list{pattern};
    if (data[0] & 4) {
        list = pattern.split(QLatin1Char('\n'));
        for (int i = 0; i < 16; ++i)
            list << QStringLiteral("/watched/%1").arg(i);
    }
    const CMatcher matcher({list});
    const CMatcher::Verdict verdict = matcher.verdict(text);
    if (verdict == CMatcher::Verdict::Undecided)
        return 0;
    if (!(data[0] & 1)) {
        const char *bytes = reinterpret_cast<const char *>(data + 2 + patternBytes);
        const CMatcher::Verdict byBytes = matcher.verdictUtf8(bytes, qsizetype(textBytes));
        FUZZ_CHECK(byBytes == verdict || byBytes == CMatcher::Verdict::Undecided);
        // As a block hands it out, followed by a next text of the same
        // bytes, which hold whatever the text holds: they must not count.
        if (!std::memchr(bytes, 0, textBytes)) {
            const QByteArray text(bytes, int(textBytes));
            const QByteArray block = text + '\0' + text;
            qsizetype length = -1;
            const CMatcher::Verdict inBlock =
                matcher.verdictUtf8Text(block.constData(), block.constData() + block.size(), &length);
            FUZZ_CHECK(length == qsizetype(textBytes));
            FUZZ_CHECK(inBlock == verdict || inBlock == CMatcher::Verdict::Undecided);
        }
    }
    // QRegExp reads memory it does not own for a back-reference number of
    // 65536 or more; the matcher takes such a pattern for an invalid one.
    static const QRegExp backReference(QStringLiteral("(^|[^\\\\])(\\\\\\\\)*\\\\[1-9]\\d*"));
    bool expected = false;
    for (const QString &entry : list) {
        // An entry QRegExp would take too long over leaves no answer to compare.
        if (list.size() > 1 && CMatcher({{entry}}).verdict(text) == CMatcher::Verdict::Undecided)
            return 0;
        bool overflow = false;
        for (int at = backReference.indexIn(entry); at >= 0 && !overflow; at = backReference.indexIn(entry, at + 1)) {
            const QString digits = backReference.cap(0).section(QLatin1Char('\\'), -1);
            overflow = digits.size() > 5 || digits.toLongLong() > 0xFFFF;
        }
        const QRegExp rx(entry, Qt::CaseSensitive, QRegExp::RegExp);
        expected = expected || (!overflow && rx.isValid() && rx.indexIn(text) != -1);
    }
    FUZZ_CHECK((verdict == CMatcher::Verdict::Match) == expected);
    return 0;
}
