// What the record texts of one time block hold, in a few tens of bytes: the
// statuses and source kinds found, and small Bloom filters of the event
// names and of the subjects' user and group ids. A question asks it whether
// a filter could match any text of the block; every answer "no" is certain
// (the filters give false positives only), so a block answered "no" need
// not be read.
//
// Each feature is defined as a search over the text that a filter's fixed
// patterns make (see the pattern fragments of the filter), so that "the
// pattern is found in a text" implies "the feature was recorded":
//  - status: ">", one white-space character, "[s]" or "[f]";
//  - kind: the text begins with "[u]", "[p]", "[f]" or "[c]";
//  - event: "[s]" or "[f]", one white-space character, then the event name;
//    the first kEventPrefix bytes after the white space are recorded;
//  - user / group: "<", digits, ",", digits, "," and then the user id (a
//    third digit run and "," the group id); its leading digits are recorded
//    at the lengths of kIdPrefixes, as a pattern's id matches every id it
//    begins.
// Where a text is not plain ASCII at such a place (a white space or digit
// of another script could stand there), the feature is marked open and
// answers "maybe" for every question.
//
// The record library makes the head of every text, up to the parameters,
// from the record's header alone: "[k] <s1,s2,uid,gid,s5> [s] event date".
// So a record whose event name and payload hold none of "<", ">" and "["
// (the bytes every feature but the kind begins with) has exactly the
// features its header gives, and addRecord() takes them from there: the
// first run, which sums up every block it reads, pays a few nanoseconds a
// record for it instead of a second pass over the text.
#ifndef BLOCKSUMMARY_H
#define BLOCKSUMMARY_H

#include <QByteArray>
#include <QtGlobal>

struct BlockSummary
{
    enum Mark : quint8 {
        Success = 1 << 0,
        Refusal = 1 << 1,
        KindUser = 1 << 2,
        KindProcess = 1 << 3,
        KindFile = 1 << 4,
        KindCustom = 1 << 5,
    };
    enum Open : quint8 {
        OpenEvents = 1 << 0,
        OpenUsers = 1 << 1,
        OpenGroups = 1 << 2,
    };
    // Bytes of an event name recorded; a shorter name asks nothing.
    static constexpr int kEventPrefix = 4;
    // Lengths of an id's leading digits recorded: an id is asked by its
    // digits up to the longest of these not beyond its own length.
    static constexpr int kIdPrefixes[] = {1, 2, 4, 6, 8, 10};
    // Bytes one summary takes in the companion file.
    static constexpr int kStoredSize = 8 + 4 + 4 + 1 + 1 + 16 + 16 + 8;

    // What ties the summary to its block: a block of another extent (the
    // log rescanned, the block grown) is never judged by it.
    qint64 offset = -1;   // the block's first record
    quint32 length = 0;   // bytes up to the next block's first record
    quint32 records = 0;  // texts the block gave
    quint8 marks = 0;
    quint8 open = 0;
    quint64 events[2] = {};
    quint64 users[2] = {};
    quint64 groups = 0;

    bool isValid() const { return offset >= 0; }
    // Records what the text of `size` bytes at `text` holds.
    void addText(const char *text, qsizetype size);
    // Records what `text` (NUL-ended, not empty), the library's text of the
    // whole record of `length` bytes at `record`, holds: the same as
    // addText(), from the header where that is sound (see above).
    void addRecord(const char *record, qsizetype length, const char *text);

    // The keys a question asks the Bloom filters for, made once per
    // question: of an event's first kEventPrefix bytes, of an id's leading
    // digits (a length not in kIdPrefixes gives a key every summary holds).
    static quint64 eventKey(const char *prefix);
    static quint64 userKey(const char *digits, int length);
    static quint64 groupKey(const char *digits, int length);
    // The Bloom filter tests, for the questions (inline: the filter's
    // question uses them without linking the log reader).
    bool mayHoldEvent(quint64 key) const;
    bool mayHoldUser(quint64 key) const;
    bool mayHoldGroup(quint64 key) const;
    // The longest recorded id prefix length not beyond `length`; 0 when none.
    static int idPrefixFor(int length);

    void store(char *out) const;                // kStoredSize bytes, big-endian
    static BlockSummary load(const char *in);   // as store() wrote it
};

namespace blocksummary {

enum Tag : quint64 { EventTag = 0x45, UserTag = 0x55, GroupTag = 0x47 };

// FNV-1a fed byte by byte, so that the prefixes of one id cost one pass.
struct PrefixHash
{
    explicit PrefixHash(quint64 tag) : h(0xCBF29CE484222325ull ^ (tag * 0x100000001B3ull)) {}
    void add(uchar c) { h = (h ^ c) * 0x100000001B3ull; }
    // One multiplication spreads the state into the high bits, which the
    // filters take (a summary is made for every text a first run reads).
    quint64 value() const { return (h * 0x9E3779B97F4A7C15ull) >> 32; }
    quint64 h;
};

inline quint64 hashOf(quint64 tag, const char *bytes, int length)
{
    PrefixHash h(tag);
    for (int i = 0; i < length; ++i)
        h.add(uchar(bytes[i]));
    return h.value();
}

inline bool test128(const quint64 *bits, quint64 v)
{
    const unsigned a = unsigned(v & 127);
    const unsigned b = unsigned((v >> 7) & 127);
    return (bits[a >> 6] >> (a & 63) & 1) && (bits[b >> 6] >> (b & 63) & 1);
}

inline bool test64(quint64 bits, quint64 v)
{
    return (bits >> (v & 63) & 1) && (bits >> ((v >> 6) & 63) & 1);
}

constexpr unsigned prefixMask()
{
    unsigned mask = 0;
    for (int length : BlockSummary::kIdPrefixes)
        mask |= 1u << length;
    return mask;
}

inline bool isPrefixLength(int n)
{
    return n >= 0 && n < 32 && (prefixMask() >> n & 1u);
}

} // namespace blocksummary

inline int BlockSummary::idPrefixFor(int length)
{
    int best = 0;
    for (int prefix : kIdPrefixes) {
        if (prefix <= length)
            best = prefix;
    }
    return best;
}

namespace blocksummary {
// The key of an id prefix no summary records: its bits are those of no
// filter, so every test of it passes.
constexpr quint64 kAnyKey = ~quint64(0);
}

inline quint64 BlockSummary::eventKey(const char *prefix)
{
    return blocksummary::hashOf(blocksummary::EventTag, prefix, kEventPrefix);
}

inline quint64 BlockSummary::userKey(const char *digits, int length)
{
    using namespace blocksummary;
    return isPrefixLength(length) ? hashOf(UserTag, digits, length) : kAnyKey;
}

inline quint64 BlockSummary::groupKey(const char *digits, int length)
{
    using namespace blocksummary;
    return isPrefixLength(length) ? hashOf(GroupTag, digits, length) : kAnyKey;
}

inline bool BlockSummary::mayHoldEvent(quint64 key) const
{
    return (open & OpenEvents) || blocksummary::test128(events, key);
}

inline bool BlockSummary::mayHoldUser(quint64 key) const
{
    using namespace blocksummary;
    return (open & OpenUsers) || key == kAnyKey || test128(users, key);
}

inline bool BlockSummary::mayHoldGroup(quint64 key) const
{
    using namespace blocksummary;
    return (open & OpenGroups) || key == kAnyKey || test64(groups, key);
}

#endif
