// Record texts as the log reader hands them out: UTF-8, each ended by a
// NUL byte. An ASCII text is its own decoding, so the callers that walk
// millions of them ask first whether a text is ASCII.
#ifndef UTF8TEXTS_H
#define UTF8TEXTS_H

#include <QtGlobal>

#include <cstring>

namespace utf8texts {

// Whether every one of the `n` bytes at `s` is ASCII. Inline and without an
// early exit: it also runs once per text over the few bytes before a field.
inline bool isAscii(const char *s, qsizetype n)
{
    quint64 seen = 0;
    qsizetype i = 0;
    for (; i + 8 <= n; i += 8) {
        quint64 word;
        std::memcpy(&word, s + i, 8);
        seen |= word;
    }
    for (; i < n; ++i)
        seen |= uchar(s[i]);
    return (seen & 0x8080808080808080ull) == 0;
}

// The length of the text at `s`, which a NUL byte ends before `end` (or
// `end` does), and in `ascii` whether it is ASCII: one pass for both.
qsizetype terminatedLength(const char *s, const char *end, bool *ascii);

} // namespace utf8texts

#endif
