#include "mlogtext.h"

#include "mlogevents.h"

#include <string.h>
#include <time.h>

namespace mlogpriv {
namespace {

constexpr size_t dateLength = 19; // "yyyy-MM-dd hh:mm:ss"

// localtime_r() dominates the cost of a record text, and logs hold many
// records per second, so the text of one local minute is kept and only its
// seconds are patched while records stay inside that minute.
struct DateCache
{
    bool valid = false;
    uint32_t base = 0; // record time the text was made for
    int baseSecond = 0; // its local seconds
    char text[dateLength];
};

thread_local DateCache dateCache;

inline char *putTwo(char *p, int v)
{
    p[0] = char('0' + v / 10 % 10);
    p[1] = char('0' + v % 10);
    return p + 2;
}

void makeDate(uint32_t t, char *out)
{
    const time_t tt = time_t(t);
    struct tm tm;
    if (!localtime_r(&tt, &tm)) {
        memcpy(out, "0000-00-00 00:00:00", dateLength);
        return;
    }
    int year = tm.tm_year + 1900;
    if (year < 0 || year > 9999)
        year = 0;
    char *p = out;
    p = putTwo(p, year / 100);
    p = putTwo(p, year % 100);
    *p++ = '-';
    p = putTwo(p, tm.tm_mon + 1);
    *p++ = '-';
    p = putTwo(p, tm.tm_mday);
    *p++ = ' ';
    p = putTwo(p, tm.tm_hour);
    *p++ = ':';
    p = putTwo(p, tm.tm_min);
    *p++ = ':';
    putTwo(p, tm.tm_sec);
}

void formatDate(uint32_t t, char *out)
{
    DateCache &c = dateCache;
    // Offset changes fall on minute boundaries of the old offset, so a time
    // before the end of the cached local minute shares its date and offset.
    if (c.valid && t >= c.base && t - c.base < uint32_t(60 - c.baseSecond)) {
        memcpy(out, c.text, dateLength);
        putTwo(out + 17, c.baseSecond + int(t - c.base));
        return;
    }
    makeDate(t, c.text);
    c.valid = true;
    c.base = t;
    c.baseSecond = (c.text[17] - '0') * 10 + (c.text[18] - '0');
    memcpy(out, c.text, dateLength);
}

inline char *putNumber(char *p, uint32_t v)
{
    char digits[10];
    int n = 0;
    do {
        digits[n++] = char('0' + v % 10);
        v /= 10;
    } while (v);
    while (n)
        *p++ = digits[--n];
    return p;
}

inline bool isContinuation(unsigned char b)
{
    return (b & 0xC0) == 0x80;
}

// Length of the well-formed UTF-8 sequence starting at s[0] (a byte of 0x80
// or more), or 0 when it is not one. Overlong forms, surrogates and code
// points beyond U+10FFFF are not well-formed.
size_t sequenceLength(const unsigned char *s, size_t left)
{
    const unsigned char b = s[0];
    unsigned char lo = 0x80, hi = 0xBF;
    size_t len;
    if (b >= 0xC2 && b <= 0xDF) {
        len = 2;
    } else if (b >= 0xE0 && b <= 0xEF) {
        len = 3;
        if (b == 0xE0)
            lo = 0xA0;
        else if (b == 0xED)
            hi = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
        len = 4;
        if (b == 0xF0)
            lo = 0x90;
        else if (b == 0xF4)
            hi = 0x8F;
    } else {
        return 0;
    }
    if (left < len || s[1] < lo || s[1] > hi)
        return 0;
    for (size_t i = 2; i < len; ++i) {
        if (!isContinuation(s[i]))
            return 0;
    }
    return len;
}

// Copies the payload as valid UTF-8 with every control character (C0, DEL
// and C1) turned into a blank, so that a text is always one line, and each
// byte that is no part of a well-formed sequence turned into U+FFFD.
char *putParameters(char *p, const unsigned char *s, size_t n)
{
    constexpr uint64_t ones = 0x0101010101010101ull;
    constexpr uint64_t highs = 0x8080808080808080ull;
    size_t i = 0;
    while (i < n) {
        // Parameters are mostly printable ASCII: copy eight bytes at a time
        // while none of them is 0x80 or more, below 0x20 or DEL.
        while (i + 8 <= n) {
            uint64_t w;
            memcpy(&w, s + i, 8);
            const uint64_t del = w ^ (0x7F * ones);
            if ((w & highs) | ((w - 0x20 * ones) & ~w & highs) | ((del - ones) & ~del & highs))
                break;
            memcpy(p, &w, 8);
            p += 8;
            i += 8;
        }
        if (i >= n)
            break;
        const unsigned char b = s[i];
        if (b < 0x80) {
            *p++ = (b < 0x20 || b == 0x7F) ? ' ' : char(b);
            ++i;
            continue;
        }
        const size_t len = sequenceLength(s + i, n - i);
        if (len == 0) {
            *p++ = char(0xEF);
            *p++ = char(0xBF);
            *p++ = char(0xBD);
            ++i;
        } else if (len == 2 && b == 0xC2 && s[i + 1] < 0xA0) {
            *p++ = ' ';
            i += 2;
        } else {
            memcpy(p, s + i, len);
            p += len;
            i += len;
        }
    }
    return p;
}

} // namespace

size_t maxTextLength(const Compiled &c)
{
    const EventList *list = eventList(c.kind);
    const size_t name = (list && c.event < list->count) ? strlen(list->names[c.event]) : 0;
    // marker, blank, "<" five numbers of up to ten digits and four commas ">",
    // blank, status, blank, name, blank, date, then blank and parameters in
    // which one byte may become three.
    return 3 + 1 + (2 + 5 * 10 + 4) + 1 + 3 + 1 + name + 1 + dateLength
        + 1 + size_t(c.payloadLength) * 3;
}

size_t formatText(const Compiled &c, char *out)
{
    const EventList *list = eventList(c.kind);
    char *p = out;
    memcpy(p, list ? list->marker : "[?]", 3);
    p += 3;
    *p++ = ' ';
    *p++ = '<';
    for (int i = 0; i < 5; ++i) {
        if (i)
            *p++ = ',';
        p = putNumber(p, c.subject[i]);
    }
    *p++ = '>';
    *p++ = ' ';
    memcpy(p, c.status == 0 ? "[s]" : "[f]", 3);
    p += 3;
    *p++ = ' ';
    if (list && c.event < list->count) {
        const char *name = list->names[c.event];
        const size_t len = strlen(name);
        memcpy(p, name, len);
        p += len;
    }
    *p++ = ' ';
    formatDate(c.time, p);
    p += dateLength;
    if (c.payloadLength > 0) {
        *p++ = ' ';
        p = putParameters(p, c.payload(), c.payloadLength);
    }
    *p = '\0';
    return size_t(p - out);
}

void resetDateCache()
{
    dateCache.valid = false;
}

} // namespace mlogpriv
