// How records lie in an audit log file and how a walk over them steps: the
// ground the reading of time blocks, the scan, the index file's checks and
// the look-ups of single records stand on. For the log reader's own files.
#ifndef RECORDWALK_H
#define RECORDWALK_H

#include "chunkreader.h"
#include "clog.h"

#include <mlog.h>

#include <QDateTime>
#include <QFile>

#include <algorithm>
#include <type_traits>
#include <cstdlib>
#include <cstring>

namespace recordwalk {

constexpr qint64 kHeaderSize = 40;
constexpr quint32 kMagic = 0x10121980u;
constexpr char kMagicFirstByte = '\x80';

// Reads of this size stay in the CPU cache between the copy out of the page
// cache and the parse; much larger pieces are slower, not faster.
constexpr qint64 kScanChunk = 256 << 10;

inline quint32 le32(const char *p)
{
    const auto *u = reinterpret_cast<const uchar *>(p);
    return quint32(u[0]) | quint32(u[1]) << 8 | quint32(u[2]) << 16 | quint32(u[3]) << 24;
}

inline quint16 le16(const char *p)
{
    const auto *u = reinterpret_cast<const uchar *>(p);
    return quint16(u[0] | u[1] << 8);
}

inline bool isMagic(const char *p)
{
    return le32(p) == kMagic;
}

inline QDateTime localFromSecs(quint32 secs)
{
    return QDateTime::fromSecsSinceEpoch(qint64(secs), Qt::UTC).toLocalTime();
}

// Opens `path` for reading only when it is a regular file, and never in a
// way that can block: opening or reading a FIFO, a socket or a device named
// like a log or an index file would hang the program. A symbolic link to a
// regular file is read like the file.
bool openRegular(QFile &file, const QString &path);

// Hands the library's text of one whole record (header and payload) to
// `take` (null for an empty text); false when the library cannot compile
// the record. The library's out-slots are freed on every path.
template <typename TakeText>
bool compileRecord(const char *record, qint64 length, TakeText &&take)
{
    void *compiled = nullptr;
    if (mlog_compile(&compiled, record, length) == -1) {
        free(compiled);
        return false;
    }
    char *text = mlog_txt_malloc(compiled);
    take(text);
    free(text);
    free(compiled);
    return true;
}

// Offset of the first record start at or after `from` and before `end`,
// exactly where a byte-by-byte search finds it; -1 when there is none, with
// `dataEnded` set when the file ended first.
qint64 nextRecordStart(ChunkReader &reader, qint64 from, qint64 end, bool *dataEnded);

// How a walk takes the record start at `pos` whose record, `length` bytes
// long, is not followed at once by another record start or by the end of
// the data (ends(): the common case needs no more than that look).
//
// A writer that dies inside a record and then appends leaves a record cut
// short with whole records behind it; the cut record's length field then
// holds whatever bytes followed, and trusting it would step over the whole
// records. So the record gives way to the first record start inside it
// that lies inside its header (no record's header holds the start of
// another), or, inside its payload, that begins a chain of record starts,
// each inside the header of the one before, whose last record ends well.
// A payload that merely holds the magic is not split: its record, ending
// well, never gets here. `resync` is where the walk goes on then.
// Otherwise the record stands: it is taken when it lies whole in the data
// (garbage follows it), and is cut short by the end of the data when not.
struct Verdict
{
    qint64 resync = -1; // a record start inside the record, or -1
    bool whole = false; // the record lies within the data
    bool dataFailed = false; // the file gave fewer bytes than its size promised
};
Verdict judgeRecord(ChunkReader &reader, qint64 pos, qint64 length);

// True when a record ending at `end` is followed by a record start (its
// magic, or the first one to three bytes of one cut short and a magic after
// them), or ends the data; the data ends at the reader's limit.
bool endsWell(ChunkReader &reader, qint64 end);

// What a walk over a time block holds the index to. The block must start
// at its entry's offset with a record of its key; every record in it must
// be of a time from the block's lowest (the key unless the index says the
// block holds earlier times) to its key; and the walk must meet the next
// block's entry exactly, at a record of the next block's key.
// The last block holds records appended since the scan, of any time: only
// its start is checked.
struct BlockCheck
{
    quint32 key = 0;
    quint32 low = 0;
    bool hasNext = false; // false: the last block
    quint32 nextKey = 0;
    // The walk starts at a record inside the block, not at its entry: that
    // record need only be of the block's times.
    bool resumed = false;
};

// Walks the records from `start` on as the scan walks them, until a record
// ends at or beyond `end` or the data ends: a record that cannot be compiled
// is stepped over by its length, bytes between records are searched for the
// next record start before `end`. The text of each record whose time lies in
// `span` (all of them without one) goes to `take` with the record's offset
// (and the record's bytes and length, to a `take` that has room for them);
// `take` returning false ends the walk there. With `check`, returns false as
// soon as the index is found not to fit the log.
template <typename TakeText>
bool walkRange(ChunkReader &reader, qint64 start, qint64 end, const BlockCheck *check,
               const TimeSpan *span, TakeText &&take)
{
    struct Done
    {
        ~Done() { mlog_done(); }
    } done;
    qint64 pos = start;
    bool first = true;
    bool dataEnded = false;
    for (;;) {
        const char *header = reader.span(pos, kHeaderSize);
        if (!header) {
            if (first && check)
                return false; // the entry lies past the end of the log
            dataEnded = true;
            break;
        }
        if (!isMagic(header)) {
            if (first && check)
                return false;
            const qint64 next = nextRecordStart(reader, pos + 1, end, &dataEnded);
            if (next < 0) {
                pos = std::max(pos, end);
                break;
            }
            pos = next;
            continue;
        }
        const quint32 t = le32(header + MLOG_OFF_TIME);
        const qint64 length = kHeaderSize + le16(header + MLOG_OFF_PAYLOAD_LENGTH);
        // The record and the next one's magic in one look; the window then
        // starts at the record, so its bytes stay in it for the text.
        const char *whole = reader.span(pos, length + 4);
        if ((!whole || !isMagic(whole + length)) && pos + length != reader.limit()) {
            const Verdict verdict = judgeRecord(reader, pos, length);
            if (verdict.dataFailed) {
                dataEnded = true;
                break;
            }
            if (verdict.resync >= 0 || !verdict.whole) {
                // A record the scan did not take: an entry there, or a
                // resumed walk starting there, no longer fits the log.
                if (first && check)
                    return false;
                if (verdict.resync < 0) {
                    dataEnded = true;
                    break;
                }
                pos = verdict.resync;
                if (pos >= end)
                    break;
                continue;
            }
        }
        if (check && (first && !check->resumed ? t != check->key
                                                : check->hasNext && (t > check->key || t < check->low)))
            return false;
        first = false;
        if (!span || span->holds(t)) {
            const char *record = reader.span(pos, length);
            if (!record) {
                dataEnded = true;
                break;
            }
            // A record the library refuses is stepped over, as the scan counts it.
            bool more = true;
            compileRecord(record, length, [&](const char *text) {
                if constexpr (std::is_invocable_v<TakeText, const char *, qint64, const char *, qint64>)
                    more = take(text, pos, record, length);
                else
                    more = take(text, pos);
            });
            if (!more)
                return true;
        }
        pos += length;
        if (pos >= end)
            break;
    }
    if (check && check->hasNext && start < end && !dataEnded) {
        char header[kHeaderSize];
        if (pos != end || !reader.peek(end, header, kHeaderSize) || !isMagic(header)
            || le32(header + MLOG_OFF_TIME) != check->nextKey)
            return false;
    }
    return true;
}

} // namespace recordwalk

#endif
