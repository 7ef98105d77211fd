#include "blocksummary.h"

#include "eventcatalogue.h"

#include <mlog.h>

#include <QtEndian>

#include <algorithm>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

using blocksummary::PrefixHash;
using blocksummary::hashOf;
using blocksummary::EventTag;
using blocksummary::UserTag;
using blocksummary::GroupTag;

// Two bits of a 128-bit filter (three hash functions cost more time than
// they save in blocks of a few dozen names).
inline __attribute__((always_inline)) void set128(quint64 *bits, quint64 v)
{
    const unsigned a = unsigned(v & 127);
    const unsigned b = unsigned((v >> 7) & 127);
    bits[a >> 6] |= quint64(1) << (a & 63);
    bits[b >> 6] |= quint64(1) << (b & 63);
}

inline __attribute__((always_inline)) void set64(quint64 *bits, quint64 v)
{
    *bits |= (quint64(1) << (v & 63)) | (quint64(1) << ((v >> 6) & 63));
}

// White space as a filter pattern's \s finds it, in ASCII.
inline bool isAsciiSpace(uchar c)
{
    return c == ' ' || (c >= 9 && c <= 13);
}

inline bool isDigit(uchar c)
{
    return c >= '0' && c <= '9';
}

// Records the leading digits of the run at `p` (at most `n` bytes) at the
// prefix lengths; returns the run's length.
inline __attribute__((always_inline)) int addDigits(const uchar *p, qsizetype n, quint64 tag, quint64 *bits, bool wide)
{
    PrefixHash h(tag);
    int run = 0;
    while (run < n && isDigit(p[run])) {
        h.add(p[run]);
        ++run;
        if (blocksummary::isPrefixLength(run)) {
            if (wide)
                set128(bits, h.value());
            else
                set64(bits, h.value());
        }
    }
    return run;
}

// Offset of the first of "<", ">" or "[" at or after `i`, or `n`: most
// bytes of a text are none of them, and are passed over sixteen at a time.
inline qsizetype nextMark(const uchar *p, qsizetype i, qsizetype n)
{
#ifdef __SSE2__
    const __m128i lt = _mm_set1_epi8('<');
    const __m128i gt = _mm_set1_epi8('>');
    const __m128i br = _mm_set1_epi8('[');
    for (; i + 16 <= n; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + i));
        const __m128i hit = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, lt), _mm_cmpeq_epi8(v, gt)),
                                         _mm_cmpeq_epi8(v, br));
        const int mask = _mm_movemask_epi8(hit);
        if (mask)
            return i + __builtin_ctz(unsigned(mask));
    }
#endif
    for (; i < n; ++i) {
        if (p[i] == '<' || p[i] == '>' || p[i] == '[')
            return i;
    }
    return n;
}

// What the head of a record's text gives for each event of each source
// kind: the bits of the event's name, or none (`fromHeader` false) where the
// name is shorter than the prefix recorded or holds a byte that could begin
// a feature or end the name early; such records are read from their text.
struct EventBits
{
    quint64 bits[2] = {};
    // Every name set some bits: none stands for a name read from the text,
    // and the table stays at sixteen bytes an event.
    bool fromHeader() const { return (bits[0] | bits[1]) != 0; }
};

// Events past the first kEventsFromHeader of a kind are read from the text.
constexpr quint32 kEventsFromHeader = 64;

struct EventTable
{
    EventBits kinds[4][kEventsFromHeader];
};

// Made once, out of the line of addRecord, which stays short.
__attribute__((noinline)) EventTable makeEventTable()
{
    {
        EventTable t;
        for (int kind = 0; kind < 4; ++kind) {
            const QStringList names = eventNames(kind);
            for (int event = 0; event < names.size() && event < int(kEventsFromHeader); ++event) {
                const QByteArray utf8 = names.at(event).toUtf8();
                EventBits e;
                bool fromHeader = utf8.size() >= BlockSummary::kEventPrefix;
                for (const char c : utf8) {
                    if (uchar(c) <= 0x20 || uchar(c) >= 0x7F || c == '<' || c == '>' || c == '[')
                        fromHeader = false;
                }
                if (fromHeader)
                    set128(e.bits, hashOf(EventTag, utf8.constData(), BlockSummary::kEventPrefix));
                t.kinds[kind][event] = e;
            }
        }
        return t;
    }
}

const EventTable &eventTable()
{
    static const EventTable table = makeEventTable();
    return table;
}

// The bits an id sets at its decimal prefixes, kept for the ids met last:
// a block holds few users, and the same ones as the blocks around it.
struct IdBits
{
    quint32 id = 0;
    bool known = false;
    quint64 bits[2] = {};
};

constexpr int kIdCacheBits = 6;
thread_local IdBits userBitsCache[1 << kIdCacheBits];
thread_local IdBits groupBitsCache[1 << kIdCacheBits];

__attribute__((noinline)) void fillIdBits(IdBits &e, quint32 id, quint64 tag, bool wide)
{
    uchar digits[10];
    int n = 0;
    for (quint32 v = id; n == 0 || v; v /= 10)
        digits[n++] = uchar('0' + v % 10);
    std::reverse(digits, digits + n);
    e.id = id;
    e.known = true;
    e.bits[0] = e.bits[1] = 0;
    addDigits(digits, n, tag, e.bits, wide);
}

inline __attribute__((always_inline)) const quint64 *idBits(IdBits *cache, quint32 id, quint64 tag, bool wide)
{
    IdBits &e = cache[(id * 0x9E3779B1u) >> (32 - kIdCacheBits)];
    if (Q_UNLIKELY(!e.known || e.id != id))
        fillIdBits(e, id, tag, wide);
    return e.bits;
}

// Whether the `n` bytes at `p` hold "<", ">" or "["; the 16 bytes before
// `p` must be readable too (in a record, its header lies there).
inline bool holdsFeatureStart(const uchar *p, qsizetype n)
{
#ifdef __SSE2__
    // "<" and ">" differ in one bit only: both are ">" with that bit set.
    const __m128i bit = _mm_set1_epi8(2);
    const __m128i gt = _mm_set1_epi8('>');
    const __m128i br = _mm_set1_epi8('[');
    const auto hits = [&](const uchar *at) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(at));
        return _mm_or_si128(_mm_cmpeq_epi8(_mm_or_si128(v, bit), gt), _mm_cmpeq_epi8(v, br));
    };
    // The hits of every whole sixteen bytes gathered, looked at once.
    __m128i all = _mm_setzero_si128();
    qsizetype i = 0;
    for (; i + 16 <= n; i += 16)
        all = _mm_or_si128(all, hits(p + i));
    unsigned found = unsigned(_mm_movemask_epi8(all));
    // The rest: the sixteen bytes ending with the last, those before it
    // shifted out.
    if (i < n)
        found |= unsigned(_mm_movemask_epi8(hits(p + n - 16))) >> (16 - (n - i));
    return found != 0;
#else
    for (qsizetype i = 0; i < n; ++i) {
        if (p[i] == '<' || p[i] == '>' || p[i] == '[')
            return true;
    }
    return false;
#endif
}

inline quint32 le32At(const uchar *p)
{
    return qFromLittleEndian<quint32>(p);
}

inline quint32 le16At(const uchar *p)
{
    return qFromLittleEndian<quint16>(p);
}

// The first four bytes of a text of each source kind, "[u] " to "[c] ", as
// one word read from the text.
inline quint32 headOfKind(quint32 kind)
{
    static const char heads[] = "[u] [p] [f] [c] ";
    quint32 v;
    std::memcpy(&v, heads + 4 * kind, 4);
    return v;
}

} // namespace

constexpr int BlockSummary::kIdPrefixes[];

void BlockSummary::addRecord(const char *record, qsizetype length, const char *text, qsizetype size)
{
    constexpr qsizetype kHeader = MLOG_HEADER_SIZE;
    static const quint8 kindMarks[] = {KindUser, KindProcess, KindFile, KindCustom};
    const uchar *h = reinterpret_cast<const uchar *>(record);
    if (length >= kHeader && size >= 5) {
        const quint32 kind = le16At(h + MLOG_OFF_KIND);
        const quint32 event = le16At(h + MLOG_OFF_EVENT);
        if (kind < 4 && event < kEventsFromHeader) {
            const EventBits &e = eventTable().kinds[kind][event];
            quint32 head;
            std::memcpy(&head, text, 4);
            // The text is checked to begin as the header says, so that a
            // library of another text layout is read from its texts.
            if (e.fromHeader() && head == headOfKind(kind) && text[4] == '<'
                && length == kHeader + qsizetype(le16At(h + MLOG_OFF_PAYLOAD_LENGTH))
                && !holdsFeatureStart(h + kHeader, length - kHeader)) {
                ++records;
                marks |= kindMarks[kind] | (le32At(h + MLOG_OFF_STATUS) ? Refusal : Success);
                events[0] |= e.bits[0];
                events[1] |= e.bits[1];
                const quint64 *u = idBits(userBitsCache, le32At(h + MLOG_OFF_SUBJECT + 8), UserTag, true);
                users[0] |= u[0];
                users[1] |= u[1];
                groups |= idBits(groupBitsCache, le32At(h + MLOG_OFF_SUBJECT + 12), GroupTag, false)[0];
                return;
            }
        }
    }
    addText(text, size);
}

void BlockSummary::addText(const char *text, qsizetype size)
{
    const uchar *p = reinterpret_cast<const uchar *>(text);
    const qsizetype n = size;
    ++records;
    if (n >= 3 && p[0] == '[' && p[2] == ']') {
        switch (p[1]) {
        case 'u': marks |= KindUser; break;
        case 'p': marks |= KindProcess; break;
        case 'f': marks |= KindFile; break;
        case 'c': marks |= KindCustom; break;
        default: break;
        }
    }
    for (qsizetype i = nextMark(p, 0, n); i < n; i = nextMark(p, i + 1, n)) {
        const uchar c = p[i];
        if (c == '>') {
            if (i + 1 >= n)
                continue;
            const uchar d = p[i + 1];
            if (d >= 0x80) {
                marks |= Success | Refusal;
            } else if (isAsciiSpace(d) && i + 4 < n && p[i + 2] == '[' && p[i + 4] == ']') {
                if (p[i + 3] == 's')
                    marks |= Success;
                else if (p[i + 3] == 'f')
                    marks |= Refusal;
            }
        } else if (c == '[') {
            if (i + 3 >= n || (p[i + 1] != 's' && p[i + 1] != 'f') || p[i + 2] != ']')
                continue;
            const uchar d = p[i + 3];
            if (d >= 0x80)
                open |= OpenEvents;
            else if (isAsciiSpace(d) && n - (i + 4) >= kEventPrefix)
                set128(events, hashOf(EventTag, text + i + 4, kEventPrefix));
        } else if (c == '<') {
            // "<" digits "," digits "," then the user id: each digit run is
            // taken whole, as "\d+" followed by "," can only take it.
            qsizetype j = i + 1;
            bool unsure = false;
            for (int field = 0; field < 2 && !unsure; ++field) {
                const qsizetype from = j;
                while (j < n && isDigit(p[j]))
                    ++j;
                if (j < n && p[j] >= 0x80)
                    unsure = true;
                else if (j == from || j >= n || p[j] != ',')
                    break;
                else
                    ++j;
                if (field == 1 && !unsure) {
                    const int run = addDigits(p + j, n - j, UserTag, users, true);
                    const qsizetype end = j + run;
                    if (run == 0) {
                        // A digit of another script may begin the user id,
                        // and then the group id lies beyond it.
                        if (j < n && p[j] >= 0x80)
                            open |= OpenGroups;
                        break;
                    }
                    if (end < n && p[end] >= 0x80) {
                        open |= OpenGroups;
                    } else if (end < n && p[end] == ',') {
                        const qsizetype groupAt = end + 1;
                        const int groupRun = addDigits(p + groupAt, n - groupAt, GroupTag, &groups, false);
                        Q_UNUSED(groupRun);
                    }
                }
            }
            if (unsure)
                open |= OpenUsers | OpenGroups;
        }
    }
}

void BlockSummary::store(char *out) const
{
    qToBigEndian<qint64>(offset, out);
    qToBigEndian<quint32>(length, out + 8);
    qToBigEndian<quint32>(records, out + 12);
    out[16] = char(marks);
    out[17] = char(open);
    qToBigEndian<quint64>(events[0], out + 18);
    qToBigEndian<quint64>(events[1], out + 26);
    qToBigEndian<quint64>(users[0], out + 34);
    qToBigEndian<quint64>(users[1], out + 42);
    qToBigEndian<quint64>(groups, out + 50);
    // The share of path words counts only with the mark that says it is
    // the group's: without it the bytes are written as nothing.
    const bool paths = open & PathsKnown;
    for (int i = 0; i < kPathShare; ++i)
        out[kStoredSizeWithoutPaths + i] = paths ? char(pathShare[i]) : '\0';
}

BlockSummary BlockSummary::load(const char *in, bool withPaths)
{
    BlockSummary s;
    s.offset = qFromBigEndian<qint64>(in);
    s.length = qFromBigEndian<quint32>(in + 8);
    s.records = qFromBigEndian<quint32>(in + 12);
    s.marks = quint8(in[16]);
    s.open = quint8(in[17]);
    s.events[0] = qFromBigEndian<quint64>(in + 18);
    s.events[1] = qFromBigEndian<quint64>(in + 26);
    s.users[0] = qFromBigEndian<quint64>(in + 34);
    s.users[1] = qFromBigEndian<quint64>(in + 42);
    s.groups = qFromBigEndian<quint64>(in + 50);
    if (withPaths) {
        for (int i = 0; i < kPathShare; ++i)
            s.pathShare[i] = quint8(in[kStoredSizeWithoutPaths + i]);
    } else {
        s.open &= quint8(~PathsKnown);
    }
    return s;
}

void PathWords::addText(const char *text, qsizetype size)
{
    constexpr quint64 bits = quint64(BlockSummary::kPathBits);
    const uchar *p = reinterpret_cast<const uchar *>(text);
    // A "/" before `last` has its four bytes inside the text.
    const qsizetype last = size - 4;
    const auto add = [this](const uchar *word) {
        if (!isWord(reinterpret_cast<const char *>(word)))
            return;
        const quint64 k = key(reinterpret_cast<const char *>(word));
        const quint64 a = ((k & 0xFFFFFFFFu) * bits) >> 32;
        const quint64 b = ((k >> 32) * bits) >> 32;
        bytes[a >> 3] |= quint8(1u << (a & 7));
        bytes[b >> 3] |= quint8(1u << (b & 7));
    };
    qsizetype i = 0;
#ifdef __SSE2__
    // Sixteen bytes at a time: most hold no "/".
    const __m128i slash = _mm_set1_epi8('/');
    for (; i + 16 <= size; i += 16) {
        unsigned mask = unsigned(
            _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i *>(p + i)), slash)));
        while (mask) {
            const qsizetype at = i + __builtin_ctz(mask);
            mask &= mask - 1;
            if (at < last)
                add(p + at + 1);
        }
    }
#endif
    for (; i < last; ++i) {
        if (p[i] == '/')
            add(p + i + 1);
    }
}
