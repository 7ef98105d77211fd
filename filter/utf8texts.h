// Record texts as the log reader hands them out: UTF-8, each ended by a
// NUL byte. An ASCII text is its own decoding, so the callers that walk
// millions of them ask first whether a text is ASCII.
#ifndef UTF8TEXTS_H
#define UTF8TEXTS_H

#include <QtGlobal>

namespace utf8texts {

// Whether every one of the `n` bytes at `s` is ASCII.
bool isAscii(const char *s, qsizetype n);

// The length of the text at `s`, which a NUL byte ends before `end` (or
// `end` does), and in `ascii` whether it is ASCII: one pass for both.
qsizetype terminatedLength(const char *s, const char *end, bool *ascii);

} // namespace utf8texts

#endif
