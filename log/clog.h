// The reader of one audit log at a time: its time index, the scan that
// builds it, the index file that keeps it between runs, and the record
// texts of each time block.
#ifndef CLOG_H
#define CLOG_H

#include "blocksummary.h"
#include "clogcompanion.h"
#include "hugepages.h"
#include "pathwordsworker.h"

#include <QDateTime>
#include <QMap>
#include <QObject>
#include <QPair>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

class ChunkReader;
class QDataStream;
class QFile;

// Record times from `from` to `to` in seconds since 1970 UTC, both
// included; by default every time.
struct TimeSpan
{
    quint32 from = 0;
    quint32 to = 0xFFFFFFFFu;
    bool isAll() const { return from == 0 && to == 0xFFFFFFFFu; }
    bool holds(quint32 t) const { return t >= from && t <= to; }
};

class CLog : public QObject
{
    Q_OBJECT
public:
    explicit CLog(QObject *parent = nullptr);

    // --- Record reading -------------------------------------------------
    // Time blocks cut the log in file order: a block starts at a record
    // whose time is later than that of every record before it, and holds the
    // records up to the next such start. A block's key is its first record's
    // time, the latest time it holds; a record whose time went back lies in
    // the block it follows, which then also holds earlier times.
    //
    // Every block read below takes a TimeSpan: only records whose own time
    // lies in it give texts (by default all of them). The reads that hand
    // out a block at once hold all its texts, however many one second has:
    // they serve tools and checks; the results go through forEachPieceUtf8.

    // Reads one record at the stream's position: (text, payload length), or
    // ("", -1) when the record is cut short, unreadable or not compilable.
    static QPair<QString, int> readRecord(QDataStream &in);
    // Texts of the records from offset `start` on, as far as `end`, walked
    // as the scan walks them; the record at `start` is always read. Empty
    // texts are dropped; a record that fails is stepped over, and bytes
    // between records are searched for the next record start.
    QStringList readRange(qint64 start, qint64 end) const;
    // Texts of time block `block` (0 to blockCount()-1), in file order; the
    // last block reads up to the log's current size. Empty for any other
    // number, and for a block whose index entries are found not to fit the
    // log (the index is then stale, see isIndexStale()).
    QStringList readBlock(int block, const TimeSpan &span = TimeSpan()) const;
    // Calls `visit(block, texts)` for the blocks `first` to `last` in order,
    // with the texts readBlock would give, opening the log once and reading
    // it in large pieces; stops early when `visit` returns false.
    void forEachBlock(int first, int last,
                      const std::function<bool(int block, const QStringList &texts)> &visit,
                      const TimeSpan &span = TimeSpan()) const;
    // Calls `visit(block, count)` for the blocks `first` to `last` in order
    // with the number of texts readBlock would give, without decoding them
    // (for counting when every text matches); stops when `visit` returns false.
    void countBlockTexts(int first, int last, const std::function<bool(int block, int count)> &visit,
                         const TimeSpan &span = TimeSpan()) const;
    // Calls `visit(block, texts)` for the blocks `first` to `last` in order,
    // where `texts` holds the UTF-8 bytes of the texts readBlock would give,
    // each followed by a NUL byte (for looking through many texts without
    // decoding them); stops when `visit` returns false.
    // With `test`, a block whose summary it answers false for is not read:
    // `visit` gets it with no texts.
    void forEachBlockUtf8(int first, int last,
                          const std::function<bool(int block, const QByteArray &texts)> &visit,
                          const TimeSpan &span = TimeSpan(),
                          const BlockTest *test = nullptr) const;
    // A run of texts of one block as forEachPieceUtf8 hands them out.
    struct TextPiece
    {
        int block = 0;
        // UTF-8 texts, each followed by a NUL byte, at most about 256 KiB.
        QByteArray texts;
        // Offset of the record of the piece's first text (of the block's
        // first record for its first piece): a walk resumed there gives the
        // block's texts from this piece on.
        qint64 start = 0;
        int firstText = 0; // texts of the block before the piece, from where the walk began
        bool last = false; // the block's last piece (it may be empty)
    };
    // Calls `visit(piece)` for the texts of the blocks `first` to `last` in
    // order, in pieces of bounded size, every block ending with a piece
    // marked last, so that memory never depends on what one block holds. With
    // `resumeAt` (a piece's start in block `first`) the walk begins there.
    // A block found not to fit the index ends with an empty last piece after
    // the pieces it gave before that was found (isIndexStale() tells); stops
    // when `visit` returns false. With `test`, a block whose summary it
    // answers false for is not read: it comes as one empty last piece.
    void forEachPieceUtf8(int first, int last, const std::function<bool(const TextPiece &piece)> &visit,
                          const TimeSpan &span = TimeSpan(), qint64 resumeAt = -1,
                          const BlockTest *test = nullptr) const;
    // The log's file held open over the calls of one walk that reads the
    // log's blocks in several calls (a set's runs of blocks), with what was
    // read of it and the buffer of the pieces: opened at the first call, it
    // is looked at again before each later one, read afresh when it was
    // replaced, shrank or was written over, and closed when the object goes.
    // Summaries made in its calls go to the companion file then, once.
    class Reading
    {
    public:
        Reading();
        // Closes it (see close()).
        ~Reading();
        Reading(const Reading &) = delete;
        Reading &operator=(const Reading &) = delete;
        // Closes the file and writes the summaries made through it to the
        // companion file; the next call through it opens the file again.
        void close();

    private:
        friend class CLog;
        struct State;
        std::unique_ptr<State> m_state;
    };
    // As forEachPieceUtf8 above, through `reading` (used for this log only).
    void forEachPieceUtf8(Reading &reading, int first, int last,
                          const std::function<bool(const TextPiece &piece)> &visit, const TimeSpan &span = TimeSpan(),
                          qint64 resumeAt = -1, const BlockTest *test = nullptr) const;
    // Calls `visit(offset, text)` for the texts readBlock(block, span) would
    // give, in file order, each as NUL-ended UTF-8 with its record's offset;
    // stops when `visit` returns false. Nothing for a block found wrong.
    void forEachRecordText(int block, const std::function<bool(qint64 offset, const char *text)> &visit,
                           const TimeSpan &span = TimeSpan()) const;
    // The summary of what block `block` holds, when one was made from the
    // block as it now lies in the log (while it was read whole, or from the
    // index's companion file); null otherwise, for the last block always.
    const BlockSummary *blockSummary(int block) const;
    // True when a walk asking `test` passes over block `block` unread.
    bool passesOver(int block, const BlockTest &test) const;
    // Whether summaries are made, kept and asked (by default they are);
    // turned off, every block is read as if none had been made.
    void setSummariesUsed(bool used);
    bool summariesUsed() const;
    // The blocks that can hold records of `span`: `first` to `last`, with
    // last < first when there are none.
    void blocksFor(const TimeSpan &span, int *first, int *last) const;
    // True when block `block` holds records of times earlier than its key
    // (or is the last block, which records appended since the scan join, or
    // the index came without word of its blocks' times).
    bool isMixedBlock(int block) const;
    // Number of the first block whose time is not earlier than `date`, or
    // blockCount() if there is none.
    int blockForDate(const QDateTime &date) const;
    // Number of time blocks (entries of the time index).
    int blockCount() const;
    // Record time of block `block` in seconds since 1970; -1 for a number
    // outside 0 to blockCount()-1.
    qint64 blockTime(int block) const;
    // Time of the first / last time block in local time; invalid when empty.
    QDateTime firstDate() const;
    QDateTime lastDate() const;
    // The block whose records lie around `offset` (the last block starting
    // at or before it); -1 when it lies before the first block.
    int blockAt(qint64 offset) const;
    // Offset of the first record of block `block`; -1 for any other number.
    qint64 blockOffset(int block) const;
    // Time of block `block` in local time; invalid for any other number.
    QDateTime blockDate(int block) const;

    // --- State ----------------------------------------------------------
    QString logPath() const;                       // log last given to readLog
    int recordCount() const;                       // records counted by the scans (at most size / 40)
    QDateTime indexTime() const;                   // log's mtime when the index was built
    const QMap<quint32, qint64> &timeIndex() const; // time -> offset of its block
    // True when the last readLog was cancelled. The time index is then the
    // one held before that read, its last block ending where the next
    // time began, so no block runs into the part left unscanned; what the
    // scan found went to the index file, and the next readLog of the log
    // goes on from there.
    bool isCancelled() const;
    // True once a block read found the time index wrong for the log (an
    // entry that is not a record start of its time, or records that do not
    // belong to the block they lie in). Such blocks read as empty; the index file is dropped, and
    // the next readLog of the log scans it in full. Cleared by readLog.
    bool isIndexStale() const;

    // --- Scanning -------------------------------------------------------
    // Makes `path` the current log and brings the time index and its index
    // file up to date (incrementally when the log has only grown). Returns
    // when the scan has ended or been cancelled.
    void readLog(const QString &path);
    // True when the log's modification time differs from indexTime(), or
    // when `path` is the current log and its index was found stale.
    bool isChanged(const QString &path) const;
    // Exchanges the log, time index and scan state with `other`, so that a
    // log read into a second reader can replace this one's in one step
    // while everything that points to this reader keeps pointing to it.
    void swapState(CLog &other);

    // --- Functions on any log file; they do not touch a CLog -------------
    // A path whose name is not valid UTF-8 is opened by its bytes when it was
    // made by LogPath::fromBytes (logpath.h).
    // Every one of them reads only regular files, and opens nothing in a way
    // that can block (a FIFO, socket or device named like a log is refused).
    // True when `path` is a regular file that can be opened for reading.
    static bool canOpenLog(const QString &path);
    // Path of the index file kept for the log at `logPath`.
    static QString indexFilePath(const QString &logPath);
    // True when the 4 bytes at `offset` are the record magic.
    static bool isRecordStart(qint64 offset, const QString &path);
    // Local time of the record at `offset`; invalid when unreadable.
    static QDateTime recordDate(qint64 offset, const QString &path);
    // Local time of the first / last record of the log, looked for only in
    // its first / last kEndLookBytes; invalid when there is none there.
    static QDateTime firstRecordDate(const QString &path);
    static QDateTime lastRecordDate(const QString &path);
    static constexpr qint64 kEndLookBytes = 4 << 20;

public slots:
    // Stops a scan under way after the record it is at.
    void canselReadLog();

signals:
    void valueChanged(int value);
    void valueMaximum(int maximum);

private:
    // One time-index entry; kept in a sorted vector so that block numbers
    // map to offsets in O(1) and dates to blocks in O(log n).
    struct Entry
    {
        quint32 key;
        quint32 seen;  // records the scan that made the entry had counted before it
        qint64 offset;
    };

    void scanLog(QFile *file, quint32 lastTime, qint64 start);
    // After a cancelled scan: writes what it found as an index file that the
    // next scan goes on from (`counted`: the records before the scan's
    // start), then gives back the entries before `firstNew` with the counts
    // and time they had; the last of them ends at the first entry found
    // after it, or at `stoppedAt`.
    void keepHeadStart(size_t firstNew, qint64 counted, qint64 recordsBefore, qint64 lastBlockBefore,
                       const QDateTime &timeBefore, qint64 stoppedAt);
    bool loadIndex(qint64 logSize);
    // Reads what the companion file tied to the index just loaded says of
    // its blocks; false when it says nothing usable.
    bool loadBlockTimes(const QByteArray &payload);
    QByteArray blockTimesPayload() const;
    void writeIndex();
    // Forgets what the index file was: the next load parses it again and
    // the next write writes it whole.
    void forgetIndexFile() const;
    // Records from `offset` to the end of the log, counted as the scan counts them.
    static qint64 recordsFrom(QFile &file, qint64 offset);

    // A block that holds records earlier than its key, and the earliest.
    struct Early
    {
        quint32 block;
        quint32 low;
    };

    // What one walk (or one reading's calls) keeps of the path words
    // between its blocks: the group it makes, and the group it last asked.
    struct PathWalk
    {
        int making = -1; // the group whose words are being made
        int next = -1;   // the block of it to come next
        // Makes them, once the walk has begun a group.
        std::unique_ptr<PathWordsWorker> maker;
        // The block being walked gives its texts to the maker, and the
        // group to finish once its last texts are handed over.
        bool handing = false;
        PathWordsWorker::Group finishing;
        int asked = -1;
        bool known = false;
        PathWords words;
    };
    void clearIndex();
    void addEntry(quint32 key, qint64 offset, qint64 seen);
    void noteEarly(quint32 time);
    void dropEarlyFrom(size_t block);
    quint32 lowOf(int block) const;
    bool indexFitsLog(QFile &file) const;
    void markStale() const;
    // Hands `perText` each non-empty text of the block whose record time
    // lies in `span`, with its size and its record's offset, until it returns false;
    // false (and the index marked stale) when the block is not what the
    // index says. `resumed`: `start` is a record inside the block. With
    // `paths`, the block's path words go to the group it makes.
    bool walkBlockTexts(ChunkReader &reader, int block, qint64 start, qint64 end, const TimeSpan &span,
                        const std::function<bool(const char *, qsizetype, qint64)> &perText, bool resumed = false,
                        PathWalk *paths = nullptr) const;
    // Reads block `block` from `start` to `end`, checking on the way that
    // its index entries fit the log; the texts go to `texts`, or only their
    // number to `count`. Nothing is handed over for a block found wrong.
    void readBlockTexts(ChunkReader &reader, int block, qint64 start, qint64 end, const TimeSpan &span,
                        QStringList *texts, int *count) const;
    // True when no record of block `block` can lie in `span`, so that it
    // need not be read at all.
    bool blockOutside(int block, const TimeSpan &span) const;
    // Opens the log once and hands `perBlock` each block's extent and the
    // reader (null when the log cannot be opened); stops when it returns false.
    // With `reading`, through the file and reader it holds.
    void walkBlocks(int first, int last,
                    const std::function<bool(int block, ChunkReader *reader, qint64 start, qint64 end)> &perBlock,
                    Reading *reading = nullptr) const;
    void walkPieces(Reading *reading, int first, int last, const std::function<bool(const TextPiece &piece)> &visit,
                    const TimeSpan &span, qint64 resumeAt,
                    const BlockTest *test) const;
    static QByteArray fileStamp(const QString &path);
    // True when block `block` may be skipped: it has a summary and `test`
    // answers false for it (with its group's path words where known).
    bool skipsBlock(int block, const BlockTest *test, PathWalk *paths) const;
    // Puts together the path words of the group of `block` from its
    // blocks' summaries; false when one of them has none.
    bool groupPathWords(int block, PathWords *words) const;
    // Empties the buffer of texts `texts` of the block being walked; when
    // `paths` makes the block's words, by handing it to the maker and
    // taking an empty one of `capacity` bytes in its place.
    static void handTexts(PathWalk *paths, QByteArray &texts, int capacity);
    // What a walk does after its block's last texts are handed over: the
    // group its block ends is made.
    static void endBlockWords(PathWalk *paths);
    // Gives each block of the groups `paths` made so far its share; with
    // `wait`, of every group it finished.
    void notePathWords(PathWalk &paths, bool wait) const;
    void noteSummary(int block, const BlockSummary &summary) const;
    // Writes the summaries made since the companion was last written to it.
    void keepSummaries() const;
    QByteArray summariesPayload() const;
    // Reads the summaries the companion file holds, when they were left
    // unread by the load of the index (see m_deferredSummaries).
    void takeDeferredSummaries() const;
    // Reads the summaries section at `place` (file at its start); false
    // when it fails its check or does not add up.
    bool loadSummaries(QFile &file, const companion::SectionPlace &place) const;
    // The sections of the companion file as they now stand.
    QMap<quint32, QByteArray> companionSections(const QByteArray &blockTimes) const;

    int m_recordCount = 0;
    QString m_logPath;
    QDateTime m_indexTime;
    std::vector<Entry, HugePageAllocator<Entry>> m_entries; // ascending keys and offsets
    std::vector<Early> m_early;              // ascending blocks
    // Records the scans counted in the last block: an incremental scan
    // counts them again. -1 when unknown (an index without its companion).
    qint64 m_lastBlockRecords = 0;
    // The index came without word of the blocks' times (an index file
    // without a usable companion): any block may hold records of earlier
    // times than its key, and one written by the format's own rule (a time
    // coming back filed at its later run) later ones. So every span is read
    // over every block, a block with a later time is found stale, until a
    // full scan.
    bool m_timesUnchecked = false;
    mutable QMap<quint32, qint64> m_timeIndex; // built from m_entries on demand
    mutable bool m_timeIndexValid = true;
    bool m_cancelled = false;
    // Where the last block ends when a cancelled scan left the log's tail
    // unscanned; -1 when it ends with the log.
    qint64 m_indexEnd = -1;
    mutable bool m_indexStale = false;
    // The index file and its companion as this object last read or wrote
    // them, and what they said. While the index file is unchanged, reading
    // the same log again keeps the entries in memory; an index file that
    // would come out the same is not written again.
    struct IndexFileState
    {
        QString path;
        QByteArray stamp;          // of the index file; empty: unknown
        QByteArray companionStamp; // of its companion; empty: none usable
        companion::IndexTie tie;
        bool rewrite = false;      // in an older layout: written again in any case
        size_t entries = 0;
        quint32 lastKey = 0;
        qint64 lastOffset = -1;
        int recordCount = 0;
        QDateTime indexTime;
        QByteArray blockTimes;     // the companion's payload
        QByteArray logFile;        // the log it was made from (logFileIdentity)
    };
    // The device and inode of the file at m_logPath, as the companion keeps
    // them; empty when it cannot be looked at.
    QByteArray logFileIdentity() const;
    mutable IndexFileState m_file;
    // One summary per block, by block number (invalid where none was made);
    // each checked against its block's extent before it is used.
    mutable std::vector<BlockSummary, HugePageAllocator<BlockSummary>> m_summaries;
    // The companion's summaries section, read only when a summary is first
    // asked for or the companion is written again: a reopened log whose
    // index is current costs no read of them (megabytes for a big log).
    // Taken only from the companion file as it was when the index was
    // loaded (same stamp).
    struct DeferredSummaries
    {
        QString path;
        QByteArray stamp;
        companion::SectionPlace place;
    };
    mutable DeferredSummaries m_deferredSummaries;
    mutable bool m_summariesDirty = false; // made since the companion was written
    bool m_summariesUsed = true;
};

#endif
