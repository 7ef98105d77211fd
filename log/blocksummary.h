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
//
// Paths are asked of groups of kPathGroup blocks, not of one: a block holds
// too many path words for a filter of a few bytes. Each summary keeps its
// share (kPathShare bytes) of its group's Bloom filter of path words, so
// the group's filter costs no memory beyond the summaries. A path word is a
// "/" followed by four ASCII letters, taken as those four bytes: a literal
// found in a text brings along every such word it holds. The words are made
// only by a walk that asks a path question (they cost a pass over each
// text, which a thread beside the walk makes: see PathWordsWorker), and
// only for a group read whole, in order, in that one walk.
#ifndef BLOCKSUMMARY_H
#define BLOCKSUMMARY_H

#include <QByteArray>
#include <QtGlobal>

#include <cstring>

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
        // The block's share of path words is its group's, made in one walk
        // with all of the group's blocks: a group whose every block has it
        // (and a summary tied to it) has a sound filter.
        PathsKnown = 1 << 3,
    };
    // Bytes of an event name recorded; a shorter name asks nothing.
    static constexpr int kEventPrefix = 4;
    // Lengths of an id's leading digits recorded: an id is asked by its
    // digits up to the longest of these not beyond its own length.
    static constexpr int kIdPrefixes[] = {1, 2, 4, 6, 8, 10};
    // Blocks that share one filter of path words, and each one's bytes of it.
    static constexpr int kPathGroup = 16;
    static constexpr int kPathShare = 5;
    static constexpr int kPathBits = kPathGroup * kPathShare * 8;
    // Bytes one summary takes in the companion file; kStoredSizeWithoutPaths
    // in the files written before the path words.
    static constexpr int kStoredSizeWithoutPaths = 8 + 4 + 4 + 1 + 1 + 16 + 16 + 8;
    static constexpr int kStoredSize = kStoredSizeWithoutPaths + kPathShare;

    // What ties the summary to its block: a block of another extent (the
    // log rescanned, the block grown) is never judged by it.
    qint64 offset = -1;   // the block's first record
    quint32 length = 0;   // bytes up to the next block's first record
    quint32 records = 0;  // texts the block gave
    quint8 marks = 0;
    quint8 open = 0;
    // Where the alignment of the filters below leaves room anyway.
    quint8 pathShare[kPathShare] = {};
    quint64 events[2] = {};
    quint64 users[2] = {};
    quint64 groups = 0;

    bool isValid() const { return offset >= 0; }
    // Records what the text of `size` bytes at `text` holds.
    void addText(const char *text, qsizetype size);
    // Records what `text` (`size` bytes, NUL-ended, not empty), the
    // library's text of the whole record of `length` bytes at `record`,
    // holds: the same as addText(), from the header where that is sound
    // (see above).
    void addRecord(const char *record, qsizetype length, const char *text, qsizetype size);

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
    // As store() wrote it; `withPaths` false: kStoredSizeWithoutPaths bytes.
    static BlockSummary load(const char *in, bool withPaths = true);
};

// The filter of path words of one group of blocks, put together from its
// blocks' shares.
struct PathWords
{
    quint8 bytes[BlockSummary::kPathGroup * BlockSummary::kPathShare] = {};

    // Records the path words of the text of `size` bytes at `text`.
    void addText(const char *text, qsizetype size);
    // The key of the path word of the four bytes at `word`, made once per
    // question; whether this filter may hold it.
    static quint64 key(const char *word);
    bool mayHold(quint64 key) const;
    // Whether the four bytes at `p` make a path word after a "/".
    static bool isWord(const char *p);
};

static_assert(sizeof(BlockSummary) <= 64, "a summary stays within 64 bytes in memory");

// What a walk asks of a block's summary before it reads the block.
class BlockTest
{
public:
    virtual ~BlockTest() = default;
    // False only when no record of the block can match; `paths` is the
    // path words of the block's group, or null where they are not known.
    virtual bool mayMatch(const BlockSummary &summary, const PathWords *paths) const = 0;
    // True when path words would help: a walk then makes them for the
    // groups it reads whole.
    virtual bool asksPaths() const = 0;
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

inline bool PathWords::isWord(const char *p)
{
    // ASCII letters only, the four bytes at once: "| 0x20" folds the
    // capitals onto the small ones, and a byte of 0x61 to 0x7A ("a" to
    // "z") is the one whose sum with 0x1F has its high bit set and whose
    // sum with 0x05 has not (no sum carries into the next byte).
    quint32 v;
    std::memcpy(&v, p, 4);
    const quint32 folded = v | 0x20202020u;
    const quint32 high = 0x80808080u;
    return (v & high) == 0 && ((folded + 0x1F1F1F1Fu) & high) == high && ((folded + 0x05050505u) & high) == 0;
}

inline quint64 PathWords::key(const char *word)
{
    quint32 v;
    std::memcpy(&v, word, 4);
    quint64 h = (quint64(v) | quint64(1) << 40) * 0x9E3779B97F4A7C15ull;
    h ^= h >> 29;
    return h * 0xBF58476D1CE4E5B9ull;
}

inline bool PathWords::mayHold(quint64 key) const
{
    constexpr quint64 bits = quint64(BlockSummary::kPathBits);
    const quint64 a = ((key & 0xFFFFFFFFu) * bits) >> 32;
    const quint64 b = ((key >> 32) * bits) >> 32;
    return (bytes[a >> 3] >> (a & 7) & 1) && (bytes[b >> 3] >> (b & 7) & 1);
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
