#include "clog.h"

#include "chunkreader.h"
#include "logpath.h"

#include <mlog.h>

#include <QCoreApplication>
#include <QDataStream>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QtEndian>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr qint64 kHeaderSize = 40;
constexpr quint32 kMagic = 0x10121980u;
constexpr char kMagicFirstByte = '\x80';
constexpr qint64 kIndexPairSize = 4 + 8;
// An index header is a QDateTime and a count: a few dozen bytes. Only this
// much is handed to the stream, so a length field in a foreign file cannot
// make it allocate for data that is not there.
constexpr qint64 kIndexHeaderMax = 256;

// Reads of this size stay in the CPU cache between the copy out of the page
// cache and the parse; much larger pieces are slower, not faster.
constexpr qint64 kScanChunk = 256 << 10;
constexpr qint64 kRangeChunkMin = 64 << 10;
constexpr qint64 kRangeChunkMax = 4 << 20;
// Bytes of texts handed out at once by forEachPieceUtf8: a few hundred
// records' worth, so one second of a burst never sits in memory whole.
constexpr int kPieceBytes = 256 << 10;

// The event loop runs on a time slice, not per record: a call costs more
// than the rest of the work done for a record.
constexpr qint64 kEventSliceMs = 30;
constexpr qint64 kEarlySliceMs = 2;
constexpr int kEarlyServes = 4;

// A file that shrinks while it is scanned is scanned again from the last
// block still inside it; after this many tries what is inside is kept.
constexpr int kScanRounds = 3;

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

QDateTime localFromSecs(quint32 secs)
{
    return QDateTime::fromSecsSinceEpoch(qint64(secs), Qt::UTC).toLocalTime();
}

// Opens `path` for reading only when it is a regular file, and never in a
// way that can block: opening or reading a FIFO, a socket or a device named
// like a log or an index file would hang the program. A symbolic link to a
// regular file is read like the file.
bool openRegular(QFile &file, const QString &path)
{
    const QByteArray name = LogPath::toBytes(path);
    struct stat st;
    // The first look spares devices an open() at all; the second covers a
    // name replaced in between.
    if (name.isEmpty() || ::stat(name.constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return false;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)
        || !file.open(fd, QIODevice::ReadOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    return true;
}

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
qint64 nextRecordStart(ChunkReader &reader, qint64 from, qint64 end, bool *dataEnded)
{
    qint64 pos = from;
    while (pos < end) {
        qint64 available = 0;
        const char *p = reader.span(pos, 4, &available);
        if (!p) {
            *dataEnded = true;
            return -1;
        }
        const qint64 candidates = std::min(available - 3, end - pos);
        const void *hit = std::memchr(p, kMagicFirstByte, size_t(candidates));
        if (!hit) {
            pos += candidates;
            continue;
        }
        const qint64 at = pos + (static_cast<const char *>(hit) - p);
        if (isMagic(static_cast<const char *>(hit)))
            return at;
        pos = at + 1;
    }
    return -1;
}

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
// `span` (all of them without one) goes to `take` with the record's offset;
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
            compileRecord(record, length, [&](const char *text) { more = take(text, pos); });
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

// Progress goes out as an int; logs of 2 GiB and more are reported in
// units of 2^shift bytes, the smallest unit their size fits in.
int progressShift(qint64 size)
{
    int shift = 0;
    while ((size >> shift) > INT_MAX)
        ++shift;
    return shift;
}

// Writes `bytes` whole to `fd`; false on any error (a full disk, a file
// size limit).
bool writeAll(int fd, const char *bytes, qint64 size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, bytes, size_t(std::min<qint64>(size, 1 << 30)));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes += n;
        size -= n;
    }
    return true;
}

} // namespace

CLog::CLog(QObject *parent) : QObject(parent)
{
}

// --- Record reading ---------------------------------------------------------

QPair<QString, int> CLog::readRecord(QDataStream &in)
{
    char header[kHeaderSize];
    if (in.readRawData(header, int(kHeaderSize)) != int(kHeaderSize))
        return qMakePair(QString(), -1);
    const int payload = le16(header + MLOG_OFF_PAYLOAD_LENGTH);
    QByteArray record(header, int(kHeaderSize));
    record.resize(int(kHeaderSize) + payload);
    if (payload > 0 && in.readRawData(record.data() + kHeaderSize, payload) != payload)
        return qMakePair(QString(), -1);
    QString text;
    if (!compileRecord(record.constData(), record.size(),
                       [&text](const char *utf8) { text = utf8 ? QString::fromUtf8(utf8) : QString(); }))
        return qMakePair(QString(), -1);
    return qMakePair(text, payload);
}

QStringList CLog::readRange(qint64 start, qint64 end) const
{
    QStringList texts;
    QFile file;
    if (start < 0 || !openRegular(file, m_logPath))
        return texts;
    // One read covers a usual block whole; a record reaching past `end` or a
    // block larger than the cap costs further reads.
    ChunkReader reader(file, qBound(kRangeChunkMin, end - start, kRangeChunkMax), file.size());
    walkRange(reader, start, end, nullptr, nullptr, [&texts](const char *text, qint64) {
                  if (text && *text)
                      texts.append(QString::fromUtf8(text));
                  return true;
              });
    return texts;
}

QStringList CLog::readBlock(int block, const TimeSpan &span) const
{
    QStringList texts;
    walkBlocks(block, block, [&](int b, ChunkReader *reader, qint64 start, qint64 end) {
        if (reader)
            readBlockTexts(*reader, b, start, end, span, &texts, nullptr);
        return true;
    });
    return texts;
}

bool CLog::walkBlockTexts(ChunkReader &reader, int block, qint64 start, qint64 end, const TimeSpan &span,
                          const std::function<bool(const char *, qint64)> &perText, bool resumed) const
{
    if (blockOutside(block, span))
        return true;
    BlockCheck check;
    check.resumed = resumed;
    check.key = m_entries[size_t(block)].key;
    check.low = lowOf(block);
    check.hasNext = block + 1 < blockCount();
    check.nextKey = check.hasNext ? m_entries[size_t(block) + 1].key : 0;
    // A block of one time that lies in the span needs no look at the times.
    const bool wholeBlock = span.isAll() || (!isMixedBlock(block) && span.holds(check.key));
    const bool sound = walkRange(reader, start, end, &check, wholeBlock ? nullptr : &span,
                                 [&perText](const char *text, qint64 pos) {
                                     return !text || !*text || perText(text, pos);
                                 });
    if (!sound)
        markStale();
    return sound;
}

void CLog::readBlockTexts(ChunkReader &reader, int block, qint64 start, qint64 end, const TimeSpan &span,
                          QStringList *texts, int *count) const
{
    QStringList found;
    int n = 0;
    const bool sound = walkBlockTexts(reader, block, start, end, span, [&found, &n, texts](const char *text, qint64) {
        if (texts)
            found.append(QString::fromUtf8(text));
        ++n;
        return true;
    });
    // A block found wrong shows nothing of what it holds.
    if (!sound)
        return;
    if (texts)
        texts->append(found);
    if (count)
        *count += n;
}

bool CLog::blockOutside(int block, const TimeSpan &span) const
{
    if (span.isAll() || block + 1 >= blockCount())
        return false;
    const quint32 key = m_entries[size_t(block)].key;
    return key < span.from || lowOf(block) > span.to;
}

void CLog::markStale() const
{
    if (m_indexStale)
        return;
    m_indexStale = true;
    m_writtenIndexStamp.clear();
    // A later run of the program must not trust the file either. Only a
    // regular file is removed, never what a link points to.
    const QByteArray name = LogPath::toBytes(indexFilePath(m_logPath));
    struct stat st;
    if (::lstat(name.constData(), &st) == 0 && S_ISREG(st.st_mode))
        ::unlink(name.constData());
}

void CLog::walkBlocks(int first, int last,
                      const std::function<bool(int, ChunkReader *, qint64, qint64)> &perBlock) const
{
    first = std::max(first, 0);
    last = std::min(last, blockCount() - 1);
    if (first > last)
        return;
    QFile file;
    const bool opened = openRegular(file, m_logPath);
    const qint64 size = opened ? file.size() : 0;
    const qint64 lastEnd = m_indexEnd >= 0 ? std::min(m_indexEnd, size) : size;
    const auto endOf = [this, lastEnd](int block) {
        return block + 1 < blockCount() ? m_entries[size_t(block) + 1].offset : lastEnd;
    };
    // A single block is read in one piece of about its own size, with the
    // header of the next block that the walk checks.
    const qint64 chunk = first == last
                             ? qBound(kRangeChunkMin, endOf(first) - m_entries[size_t(first)].offset + kHeaderSize,
                                      kRangeChunkMax)
                             : kScanChunk;
    ChunkReader reader(file, chunk, size);
    for (int block = first; block <= last; ++block) {
        if (!perBlock(block, opened ? &reader : nullptr, m_entries[size_t(block)].offset, endOf(block)))
            return;
    }
}

void CLog::forEachBlock(int first, int last,
                        const std::function<bool(int, const QStringList &)> &visit, const TimeSpan &span) const
{
    walkBlocks(first, last, [&](int block, ChunkReader *reader, qint64 start, qint64 end) {
        QStringList texts;
        if (reader)
            readBlockTexts(*reader, block, start, end, span, &texts, nullptr);
        return visit(block, texts);
    });
}

void CLog::countBlockTexts(int first, int last, const std::function<bool(int, int)> &visit,
                           const TimeSpan &span) const
{
    walkBlocks(first, last, [&](int block, ChunkReader *reader, qint64 start, qint64 end) {
        int count = 0;
        if (reader)
            readBlockTexts(*reader, block, start, end, span, nullptr, &count);
        return visit(block, count);
    });
}

void CLog::forEachBlockUtf8(int first, int last,
                            const std::function<bool(int, const QByteArray &)> &visit, const TimeSpan &span) const
{
    // One buffer for every block: its capacity stays once reserved.
    QByteArray texts;
    texts.reserve(64 << 10);
    walkBlocks(first, last, [&](int block, ChunkReader *reader, qint64 start, qint64 end) {
        texts.resize(0);
        if (reader && !walkBlockTexts(*reader, block, start, end, span, [&texts](const char *text, qint64) {
                texts.append(text, int(std::strlen(text)) + 1);
                return true;
            }))
            texts.resize(0);
        return visit(block, texts);
    });
}

void CLog::forEachPieceUtf8(int first, int last, const std::function<bool(const TextPiece &)> &visit,
                            const TimeSpan &span, qint64 resumeAt) const
{
    // One buffer for every piece: its capacity stays once reserved.
    TextPiece piece;
    piece.texts.reserve(int(kPieceBytes) + (64 << 10));
    bool going = true;
    walkBlocks(first, last, [&](int block, ChunkReader *reader, qint64 start, qint64 end) {
        const bool resumed = block == first && resumeAt > start && resumeAt < end;
        piece.block = block;
        piece.start = resumed ? resumeAt : start;
        piece.firstText = 0;
        piece.last = false;
        piece.texts.resize(0);
        int texts = 0;
        bool firstPiece = true;
        const auto perText = [&](const char *text, qint64 pos) {
            if (piece.texts.isEmpty()) {
                if (!firstPiece)
                    piece.start = pos;
                piece.firstText = texts;
            }
            piece.texts.append(text, int(std::strlen(text)) + 1);
            ++texts;
            if (piece.texts.size() < kPieceBytes)
                return true;
            going = visit(piece);
            firstPiece = false;
            piece.texts.resize(0);
            return going;
        };
        const bool sound = !reader || walkBlockTexts(*reader, block, piece.start, end, span, perText, resumed);
        if (!going)
            return false;
        if (!sound || !reader)
            piece.texts.resize(0);
        if (piece.texts.isEmpty())
            piece.firstText = texts;
        piece.last = true;
        return visit(piece);
    });
}

void CLog::blocksFor(const TimeSpan &span, int *first, int *last) const
{
    // Every record is of a time up to its block's key, so the blocks before
    // the first key in the span hold none; after the last key in the span
    // only blocks holding earlier times can.
    const auto keyBelow = [](const Entry &e, quint32 s) { return e.key < s; };
    *first = int(std::lower_bound(m_entries.begin(), m_entries.end(), span.from, keyBelow) - m_entries.begin());
    const auto past = std::upper_bound(m_entries.begin(), m_entries.end(), span.to,
                                       [](quint32 s, const Entry &e) { return s < e.key; });
    *last = int(past - m_entries.begin()) - 1;
    for (const Early &e : m_early) {
        if (e.low <= span.to)
            *last = std::max(*last, int(e.block));
    }
    if (span.from > span.to)
        *last = *first - 1;
}

bool CLog::isMixedBlock(int block) const
{
    return block + 1 == blockCount() || lowOf(block) != m_entries[size_t(block)].key;
}

quint32 CLog::lowOf(int block) const
{
    const auto it = std::lower_bound(m_early.begin(), m_early.end(), quint32(block),
                                     [](const Early &e, quint32 b) { return e.block < b; });
    return it != m_early.end() && it->block == quint32(block) ? it->low : m_entries[size_t(block)].key;
}

int CLog::blockForDate(const QDateTime &date) const
{
    const quint32 secs = quint32(date.toSecsSinceEpoch());
    const auto it = std::lower_bound(m_entries.begin(), m_entries.end(), secs,
                                     [](const Entry &e, quint32 s) { return e.key < s; });
    return int(it - m_entries.begin());
}

int CLog::blockCount() const
{
    return int(m_entries.size());
}

qint64 CLog::blockTime(int block) const
{
    return block >= 0 && block < blockCount() ? qint64(m_entries[size_t(block)].key) : -1;
}

QDateTime CLog::firstDate() const
{
    return m_entries.empty() ? QDateTime() : localFromSecs(m_entries.front().key);
}

QDateTime CLog::lastDate() const
{
    return m_entries.empty() ? QDateTime() : localFromSecs(m_entries.back().key);
}

qint64 CLog::blockOffset(int block) const
{
    return block >= 0 && block < int(m_entries.size()) ? m_entries[size_t(block)].offset : -1;
}

QDateTime CLog::blockDate(int block) const
{
    return block >= 0 && block < blockCount() ? localFromSecs(m_entries[size_t(block)].key) : QDateTime();
}

// --- State ------------------------------------------------------------------

QString CLog::logPath() const
{
    return m_logPath;
}

int CLog::recordCount() const
{
    return m_recordCount;
}

QDateTime CLog::indexTime() const
{
    return m_indexTime;
}

const QMap<quint32, qint64> &CLog::timeIndex() const
{
    // Built only when asked for: the map costs several times the memory of
    // the vector, and block access never needs it.
    if (!m_timeIndexValid) {
        m_timeIndex.clear();
        for (const Entry &e : m_entries)
            m_timeIndex.insert(m_timeIndex.cend(), e.key, e.offset);
        m_timeIndexValid = true;
    }
    return m_timeIndex;
}

bool CLog::isCancelled() const
{
    return m_cancelled;
}

bool CLog::isIndexStale() const
{
    return m_indexStale;
}

void CLog::canselReadLog()
{
    m_cancelled = true;
}

// --- Time index -------------------------------------------------------------

void CLog::clearIndex()
{
    // The capacity stays: giving it back and faulting it in again costs more
    // than the scan of a grown log.
    m_entries.clear();
    m_early.clear();
    m_lastBlockRecords = 0;
    m_indexEnd = -1;
    m_timeIndex.clear();
    m_timeIndexValid = true;
}

void CLog::addEntry(quint32 key, qint64 offset, qint64 seen)
{
    m_entries.push_back(Entry{key, quint32(std::min<qint64>(seen, UINT_MAX)), offset});
    m_timeIndexValid = false;
}

void CLog::noteEarly(quint32 time)
{
    const quint32 block = quint32(m_entries.size() - 1);
    if (!m_early.empty() && m_early.back().block == block)
        m_early.back().low = std::min(m_early.back().low, time);
    else
        m_early.push_back(Early{block, time});
}

void CLog::dropEarlyFrom(size_t block)
{
    while (!m_early.empty() && m_early.back().block >= block)
        m_early.pop_back();
}

// --- Scanning ---------------------------------------------------------------

void CLog::readLog(const QString &path)
{
    const bool stale = m_indexStale && path == m_logPath;
    m_indexStale = false;
    m_cancelled = false;
    m_logPath = path;
    QFile file;
    const bool opened = openRegular(file, m_logPath);
    if (stale) {
        // The index was found wrong: neither the entries in memory nor an
        // index file left behind are to be trusted.
        m_writtenIndexStamp.clear();
        clearIndex();
        m_recordCount = 0;
        m_indexTime = QDateTime::currentDateTime();
    } else {
        loadIndex(opened ? file.size() : 0);
    }
    if (!opened) {
        scanLog(nullptr, 0, 0);
        return;
    }
    const QDateTime modified = file.fileTime(QFileDevice::FileModificationTime);
    if (!stale && m_indexTime < modified && !m_entries.empty() && indexFitsLog(file)) {
        const Entry last = m_entries.back();
        scanLog(&file, last.key, last.offset);
    } else {
        scanLog(&file, 0, 0);
    }
}

void CLog::swapState(CLog &other)
{
    std::swap(m_recordCount, other.m_recordCount);
    std::swap(m_logPath, other.m_logPath);
    std::swap(m_indexTime, other.m_indexTime);
    std::swap(m_entries, other.m_entries);
    std::swap(m_early, other.m_early);
    std::swap(m_lastBlockRecords, other.m_lastBlockRecords);
    std::swap(m_timeIndex, other.m_timeIndex);
    std::swap(m_timeIndexValid, other.m_timeIndexValid);
    std::swap(m_cancelled, other.m_cancelled);
    std::swap(m_indexEnd, other.m_indexEnd);
    std::swap(m_indexStale, other.m_indexStale);
    std::swap(m_writtenIndexPath, other.m_writtenIndexPath);
    std::swap(m_writtenIndexStamp, other.m_writtenIndexStamp);
}

bool CLog::isChanged(const QString &path) const
{
    if (m_indexStale && path == m_logPath)
        return true;
    // By the name's bytes: a name that is not UTF-8 is not found by QFileInfo.
    struct stat st;
    if (::stat(LogPath::toBytes(path).constData(), &st) != 0)
        return QDateTime() != m_indexTime;
    return QDateTime::fromMSecsSinceEpoch(qint64(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000)
           != m_indexTime;
}

bool CLog::indexFitsLog(QFile &file) const
{
    // The index file is shared by logs of one name in different folders and
    // outlives rotation, so its ends must still be this log's record starts
    // with the times they are filed under; the entries between are checked
    // when their blocks are read.
    ChunkReader reader(file, 4096, file.size());
    for (const Entry &e : {m_entries.front(), m_entries.back()}) {
        const char *header = reader.span(e.offset, kHeaderSize);
        if (!header || !isMagic(header) || le32(header + MLOG_OFF_TIME) != e.key)
            return false;
    }
    // The first block starts at the first record: a first entry moved
    // further on would hide the records before it.
    bool dataEnded = false;
    return nextRecordStart(reader, 0, m_entries.front().offset + 1, &dataEnded) == m_entries.front().offset;
}

bool CLog::loadIndex(qint64 logSize)
{
    const QString indexPath = indexFilePath(m_logPath);
    // The entries in memory are what the file holds when this object wrote
    // it and nobody has touched it since; parsing them again would only
    // fault the same memory in once more.
    if (!m_writtenIndexStamp.isEmpty() && indexPath == m_writtenIndexPath
        && fileStamp(indexPath) == m_writtenIndexStamp) {
        const bool inside = std::all_of(m_entries.begin(), m_entries.end(), [logSize](const Entry &e) {
            return e.offset + kHeaderSize <= logSize;
        });
        if (inside)
            return true;
    }
    m_writtenIndexStamp.clear();

    // Whatever the outcome, nothing of the previous log's index may survive:
    // offsets of two files must never mix.
    clearIndex();
    m_recordCount = 0;
    m_indexTime = QDateTime::currentDateTime();

    QFile file;
    if (!openRegular(file, indexPath))
        return false;
    const qint64 fileSize = file.size();
    const QByteArray head = file.read(std::min(fileSize, kIndexHeaderMax));
    QDataStream in(head);
    QDateTime indexTime;
    qint32 count = 0;
    in >> indexTime >> count;
    if (in.status() != QDataStream::Ok || count < 0)
        return false;
    // The file holds the entries, then the blocks that hold earlier times
    // than their key (each as its earliest time and its entry's offset), then
    // a closing pair: the records counted in the last block, and -1 minus
    // the number of those blocks. A file without the closing pair was made
    // by a rule that filed times coming back elsewhere: it is not used.
    //
    // Nothing is reserved before the sizes are checked against the log: an
    // index has no more entries, and counts no more records, than the log
    // has room for records, and every entry stands for at least one record.
    const qint64 headerSize = in.device()->pos();
    const qint64 pairBytes = fileSize - headerSize;
    const qint64 room = logSize / kHeaderSize;
    const qint64 pairs = pairBytes / kIndexPairSize;
    char closing[kIndexPairSize];
    if (pairBytes % kIndexPairSize != 0 || pairs < 2 || !file.seek(fileSize - kIndexPairSize)
        || file.read(closing, kIndexPairSize) != kIndexPairSize)
        return false;
    const quint32 lastBlockRecords = qFromBigEndian<quint32>(closing);
    const qint64 earlyCount = -1 - qFromBigEndian<qint64>(closing + 4);
    const qint64 entries = pairs - 1 - earlyCount;
    if (earlyCount < 0 || entries < 1 || earlyCount > entries || entries > room || count > room
        || entries > count || lastBlockRecords > quint32(count) || !file.seek(headerSize))
        return false;
    // Room for the entries the scan of the log's growth adds: growing the
    // vector would copy every entry, a cost of the log, not of the growth.
    m_entries.reserve(size_t(entries + entries / 8 + 1024));
    qint64 rest = (pairs - 1) * kIndexPairSize;
    qint64 index = 0;
    char buffer[kIndexPairSize * 4096];
    while (rest > 0) {
        const qint64 want = std::min<qint64>(rest, sizeof buffer);
        if (file.read(buffer, want) != want) {
            clearIndex();
            return false;
        }
        rest -= want;
        for (const char *p = buffer; p < buffer + want; p += kIndexPairSize, ++index) {
            const quint32 key = qFromBigEndian<quint32>(p);
            const qint64 offset = qFromBigEndian<qint64>(p + 4);
            bool sound = offset >= 0 && offset <= logSize - kHeaderSize;
            if (sound && index < entries) {
                sound = m_entries.empty() || (m_entries.back().key < key && m_entries.back().offset < offset);
                if (sound)
                    m_entries.push_back(Entry{key, 0, offset});
            } else if (sound) {
                const auto it = std::lower_bound(m_entries.begin(), m_entries.end(), offset,
                                                 [](const Entry &e, qint64 o) { return e.offset < o; });
                const quint32 block = quint32(it - m_entries.begin());
                sound = it != m_entries.end() && it->offset == offset && key < it->key
                        && (m_early.empty() || m_early.back().block < block);
                if (sound)
                    m_early.push_back(Early{block, key});
            }
            if (!sound) {
                clearIndex();
                return false;
            }
        }
    }
    m_indexTime = indexTime;
    m_recordCount = count;
    m_lastBlockRecords = lastBlockRecords;
    m_timeIndexValid = false;
    return true;
}

QByteArray CLog::fileStamp(const QString &path)
{
    // A replaced file has a new inode; a rewritten one a new size or time.
    struct stat st;
    if (::lstat(LogPath::toBytes(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return QByteArray();
    return QByteArray::number(quint64(st.st_dev)) + ' ' + QByteArray::number(quint64(st.st_ino))
           + ' ' + QByteArray::number(qint64(st.st_size)) + ' '
           + QByteArray::number(qint64(st.st_mtim.tv_sec)) + '.'
           + QByteArray::number(qint64(st.st_mtim.tv_nsec)) + ' '
           + QByteArray::number(qint64(st.st_ctim.tv_sec)) + '.'
           + QByteArray::number(qint64(st.st_ctim.tv_nsec));
}

void CLog::writeIndex()
{
    m_writtenIndexStamp.clear();
    if (m_entries.empty())
        return;
    const QString indexPath = indexFilePath(m_logPath);
    const QByteArray target = LogPath::toBytes(indexPath);
    // Only a missing file or a plain regular file is replaced: a link or a
    // device in its place is passed over, as an unwritable folder is.
    struct stat st;
    if (::lstat(target.constData(), &st) == 0 ? !S_ISREG(st.st_mode) : errno != ENOENT)
        return;

    QByteArray head;
    {
        QDataStream out(&head, QIODevice::WriteOnly);
        out << m_indexTime << qint32(m_recordCount);
        if (out.status() != QDataStream::Ok)
            return;
    }

    // The new file is written beside the old one and renamed over it: a
    // reader sees the old file or the new one whole, never a part. It is not
    // forced to disk; an index cut short by a crash fails the checks of
    // loadIndex and costs a full scan, nothing more.
    //
    // The file replaced is kept as the spare that the next write fills:
    // freeing a file's blocks can cost more than the whole scan of a grown
    // log, and overwriting allocated blocks costs nothing of the kind. The
    // spare is locked while it is written, so two writers never share it.
    // Only a file of ours with no other name is written in place: a second
    // hard link (a backup made with cp -al, say) would see its contents
    // overwritten; such a file is left alone and a new one written.
    const auto ownSingle = [](const struct stat &s) {
        return S_ISREG(s.st_mode) && s.st_nlink == 1 && s.st_uid == ::geteuid();
    };
    const bool keepReplaced = ::lstat(target.constData(), &st) == 0 && ownSingle(st);
    const QByteArray spare = target + ".spare";
    QByteArray temp = spare;
    int fd = ::open(spare.constData(), O_WRONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0 && (::fstat(fd, &st) != 0 || !ownSingle(st) || ::flock(fd, LOCK_EX | LOCK_NB) != 0)) {
        ::close(fd);
        fd = -1;
    }
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
        temp = target + '.' + QByteArray::number(QRandomGenerator::global()->generate(), 36);
        fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd < 0 && errno != EEXIST)
            return;
    }
    if (fd < 0)
        return;

    // The pairs go out in blocks in the stream's big-endian layout: a stream
    // call per field costs more than the rest of an incremental scan.
    const qint64 total = head.size() + qint64(m_entries.size() + m_early.size() + 1) * kIndexPairSize;
    bool ok = ::lseek(fd, 0, SEEK_SET) == 0 && writeAll(fd, head.constData(), head.size());
    char buffer[kIndexPairSize * 4096];
    char *p = buffer;
    const auto put = [&](quint32 key, qint64 value) {
        qToBigEndian<quint32>(key, p);
        qToBigEndian<qint64>(value, p + 4);
        p += kIndexPairSize;
        if (p == buffer + sizeof buffer) {
            ok = ok && writeAll(fd, buffer, p - buffer);
            p = buffer;
        }
    };
    for (auto e = m_entries.cbegin(); ok && e != m_entries.cend(); ++e)
        put(e->key, e->offset);
    for (const Early &e : m_early)
        put(e.low, m_entries[e.block].offset);
    put(quint32(std::clamp<qint64>(m_lastBlockRecords, 0, m_recordCount)), -1 - qint64(m_early.size()));
    ok = ok && writeAll(fd, buffer, p - buffer) && ::ftruncate(fd, off_t(total)) == 0;
    // The old file keeps a second name while the new one takes its place,
    // then becomes the spare.
    const QByteArray old = target + '.' + QByteArray::number(QRandomGenerator::global()->generate(), 36);
    const bool kept = ok && keepReplaced && ::link(target.constData(), old.constData()) == 0;
    ok = ok && ::rename(temp.constData(), target.constData()) == 0;
    if (kept) {
        if (ok)
            ::rename(old.constData(), spare.constData());
        ::unlink(old.constData()); // a name left when the spare was this file already
    }
    if (!ok && temp != spare)
        ::unlink(temp.constData());
    // A spare passed over keeps its name only while it is of use.
    if (ok && !kept && temp != spare && ::lstat(spare.constData(), &st) == 0 && S_ISREG(st.st_mode)
        && !ownSingle(st))
        ::unlink(spare.constData());
    ::close(fd);
    if (!ok)
        return;
    m_writtenIndexPath = indexPath;
    m_writtenIndexStamp = fileStamp(indexPath);
}

void CLog::scanLog(QFile *file, quint32 lastTime, qint64 start)
{
    m_cancelled = false;
    if (!file) {
        writeIndex();
        return;
    }
    if (start == 0 && lastTime == 0) {
        clearIndex();
        m_recordCount = 0;
    }
    // What a cancel gives back: the index as it was before this scan.
    qint64 recordsBefore = m_recordCount;
    qint64 lastBlockBefore = m_lastBlockRecords;
    const QDateTime timeBefore = m_indexTime;
    m_indexEnd = -1;
    // The records the scans before counted, but for those of the last block,
    // which this scan counts again from its start.
    qint64 before = m_entries.empty() ? 0 : std::max<qint64>(0, m_recordCount - m_lastBlockRecords);
    if (!m_entries.empty())
        dropEarlyFrom(m_entries.size() - 1);
    m_lastBlockRecords = 0;
    m_indexTime = file->fileTime(QFileDevice::FileModificationTime);
    qint64 size = file->size();
    const int shift = progressShift(size);
    // About a hundred steps over the part actually scanned, starting at its
    // start, so an incremental scan neither floods nor starves the bar.
    const qint64 step = (size - start) / 100 + 1;
    qint64 threshold = start;
    emit valueMaximum(int(size >> shift));

    QElapsedTimer slice;
    slice.start();
    int serves = 0;
    const auto serveEvents = [&slice, &serves]() {
        QCoreApplication::processEvents();
        slice.restart();
        ++serves;
    };

    // The entries this scan adds follow the ones it started with; each
    // remembers how many records the scan had counted before it, so that a
    // scan cut short by a shrinking file can go on from any of them.
    size_t firstNew = m_entries.size();
    qint64 pos = start;
    qint64 n = 0;
    quint32 time = lastTime;
    // A full scan opens a block at its first record whatever its time (a
    // first record of time 0 would otherwise belong to no block). Later a
    // block opens only at a time later than every one before: a time that
    // comes back stays in the block it follows, so blocks never overlap.
    bool timeKnown = start != 0 || lastTime != 0;
    qint64 inBlock = 0; // records of the last block so far
    for (int round = 1;; ++round) {
        ChunkReader reader(*file, kScanChunk, size);
        bool dataEnded = false;
        while (!dataEnded && pos + 3 < size && !m_cancelled) {
            // Find the next magic at or after pos, exactly where a byte-by-byte
            // search would: memchr for its first byte, then compare the rest.
            const char *at = reader.span(pos, 4);
            bool found = at && isMagic(at); // records mostly follow each other
            while (!found && pos + 3 < size) {
                qint64 available = 0;
                const char *p = reader.span(pos, 4, &available);
                if (!p) {
                    dataEnded = true;
                    break;
                }
                const qint64 candidates = available - 3;
                const void *hit = std::memchr(p, kMagicFirstByte, size_t(candidates));
                if (!hit) {
                    pos += candidates;
                    if (slice.elapsed() >= kEventSliceMs) {
                        serveEvents();
                        if (m_cancelled)
                            break;
                    }
                    continue;
                }
                pos += static_cast<const char *>(hit) - p;
                if (isMagic(static_cast<const char *>(hit))) {
                    found = true;
                    break;
                }
                ++pos;
            }
            if (!found)
                break;

            // A record start whose header does not fit before the end ends the
            // scan without an entry.
            const char *header = reader.span(pos, kHeaderSize);
            if (!header) {
                dataEnded = pos + kHeaderSize <= size;
                break;
            }
            const quint32 t = le32(header + MLOG_OFF_TIME);
            const qint64 payload = le16(header + MLOG_OFF_PAYLOAD_LENGTH);
            if (t > time || !timeKnown) {
                addEntry(t, pos, n);
                time = t;
                inBlock = 0;
            } else if (t < time) {
                noteEarly(t);
            }
            timeKnown = true;
            ++n;
            ++inBlock;
            if (pos >= threshold) {
                // The bar is repainted when events are served, so a step
                // serves them on the time slice; the first few serves come
                // a few milliseconds apart, so that the bar moves at once
                // and a short read can still be cancelled once it shows
                // progress.
                threshold += ((pos - threshold) / step + 1) * step;
                emit valueChanged(int(pos >> shift));
                if (serves == 0 || slice.elapsed() >= (serves < kEarlyServes ? kEarlySliceMs : kEventSliceMs))
                    serveEvents();
            } else if ((n & 1023) == 0 && slice.elapsed() >= kEventSliceMs) {
                serveEvents();
            }
            pos += kHeaderSize + payload;
        }

        // The result holds only what lies inside the file as it is now. A
        // file that shrank under the scan is scanned again from the last
        // block still inside it (the records counted are those inside).
        const qint64 now = file->size();
        if (m_cancelled || (!dataEnded && now >= size))
            break;
        size = std::min(now, size);
        while (m_entries.size() > firstNew && m_entries.back().offset + kHeaderSize > size)
            m_entries.pop_back();
        if (round == kScanRounds)
            break;
        inBlock = 0;
        if (m_entries.size() > firstNew) {
            const Entry &resume = m_entries.back();
            pos = resume.offset;
            time = resume.key;
            timeKnown = true;
            n = resume.seen;
            dropEarlyFrom(m_entries.size() - 1);
        } else if (start + kHeaderSize <= size || start == 0) {
            pos = start;
            time = lastTime;
            timeKnown = start != 0 || lastTime != 0;
            n = 0;
            dropEarlyFrom(m_entries.empty() ? 0 : m_entries.size() - 1);
        } else {
            // Even the block the scan went on from is gone: the log was
            // replaced by a shorter one.
            clearIndex();
            m_recordCount = 0;
            before = 0;
            recordsBefore = 0;
            lastBlockBefore = 0;
            firstNew = 0;
            start = 0;
            pos = 0;
            time = lastTime = 0;
            timeKnown = false;
            n = 0;
        }
    }
    if (m_cancelled) {
        keepHeadStart(firstNew, before, recordsBefore, lastBlockBefore, firstNew > 0 ? timeBefore : QDateTime(), pos);
        return;
    }
    // Entries the scan started with that no longer lie inside the file.
    const auto outside = [size](const Entry &e) { return e.offset + kHeaderSize > size; };
    m_entries.erase(std::remove_if(m_entries.begin(), m_entries.end(), outside), m_entries.end());
    dropEarlyFrom(m_entries.size());
    m_timeIndexValid = false;
    m_lastBlockRecords = inBlock;
    // The count cannot exceed the records the log has room for.
    m_recordCount = int(std::min<qint64>({before + n, size / kHeaderSize, INT_MAX}));
    writeIndex();
}

void CLog::keepHeadStart(size_t firstNew, qint64 counted, qint64 recordsBefore, qint64 lastBlockBefore,
                         const QDateTime &timeBefore, qint64 stoppedAt)
{
    // A time earlier than any log's: the file is never taken as up to date,
    // and the next read goes on from its last entry.
    static const QDateTime unfinished = QDateTime::fromMSecsSinceEpoch(0, Qt::UTC);
    const bool found = m_entries.size() > firstNew;
    if (found) {
        // The next scan counts again from the last entry on.
        m_recordCount = int(std::min<qint64>(counted + m_entries.back().seen, INT_MAX));
        m_lastBlockRecords = 0;
        m_indexTime = unfinished;
        m_timeIndexValid = false;
        writeIndex();
    }
    // The entries in memory are no longer what the file holds.
    m_writtenIndexStamp.clear();
    // The last block held before ends where the first time found after it
    // begins; records of its own time found later belong to it. What the
    // scan noted of its earlier times holds for that part.
    const qint64 lastEnd = found ? m_entries[firstNew].offset : stoppedAt;
    m_entries.resize(firstNew);
    dropEarlyFrom(firstNew);
    m_timeIndexValid = false;
    m_indexEnd = m_entries.empty() ? -1 : lastEnd;
    m_recordCount = int(std::min<qint64>(recordsBefore, INT_MAX));
    m_lastBlockRecords = lastBlockBefore;
    m_indexTime = timeBefore.isValid() ? timeBefore : unfinished;
}

// --- Functions on any log file ----------------------------------------------

bool CLog::canOpenLog(const QString &path)
{
    QFile file;
    return openRegular(file, path);
}

QString CLog::indexFilePath(const QString &logPath)
{
    const QFileInfo info(logPath);
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)
           + QDir::separator() + QCoreApplication::applicationName() + QDir::separator()
           + info.baseName() + QLatin1Char('-') + info.completeSuffix()
           + QLatin1String(".index");
}

bool CLog::isRecordStart(qint64 offset, const QString &path)
{
    QFile file;
    if (offset < 0 || !openRegular(file, path) || !file.seek(offset))
        return false;
    char bytes[4];
    return file.read(bytes, 4) == 4 && isMagic(bytes);
}

QDateTime CLog::recordDate(qint64 offset, const QString &path)
{
    QFile file;
    if (offset < 0 || !openRegular(file, path) || !file.seek(offset + 4))
        return QDateTime();
    char bytes[4];
    if (file.read(bytes, 4) != 4)
        return QDateTime();
    return localFromSecs(le32(bytes));
}

QDateTime CLog::firstRecordDate(const QString &path)
{
    // A record start counts only with its whole header inside the file.
    QFile file;
    if (!openRegular(file, path))
        return QDateTime();
    // A file of garbage is not read whole: the panel asks on the GUI thread.
    const qint64 size = std::min(file.size(), kEndLookBytes + kHeaderSize - 1);
    ChunkReader reader(file, 64 << 10, size);
    qint64 pos = 0;
    while (pos + kHeaderSize <= size) {
        qint64 available = 0;
        const char *p = reader.span(pos, kHeaderSize, &available);
        if (!p)
            return QDateTime();
        const qint64 candidates = available - kHeaderSize + 1;
        for (qint64 i = 0; i < candidates; ++i) {
            if (isMagic(p + i))
                return localFromSecs(le32(p + i + MLOG_OFF_TIME));
        }
        pos += candidates;
    }
    return QDateTime();
}

QDateTime CLog::lastRecordDate(const QString &path)
{
    QFile file;
    if (!openRegular(file, path))
        return QDateTime();
    const qint64 size = file.size();
    if (size < kHeaderSize)
        return QDateTime();
    // Backwards in pieces: the candidates of a piece are the offsets whose
    // header lies whole in it; pieces overlap by one header.
    constexpr qint64 piece = 64 << 10;
    QByteArray buffer;
    qint64 top = size - kHeaderSize; // highest candidate still to look at
    // A long garbage tail is not read whole: the panel asks on the GUI thread.
    const qint64 lowest = std::max<qint64>(0, size - kEndLookBytes - kHeaderSize + 1);
    while (top >= lowest) {
        const qint64 low = std::max<qint64>(lowest, top - piece + 1);
        const qint64 length = top - low + kHeaderSize;
        if (!file.seek(low))
            return QDateTime();
        buffer = file.read(length);
        if (buffer.size() != length)
            return QDateTime();
        for (qint64 i = top - low; i >= 0; --i) {
            const char *p = buffer.constData() + i;
            if (isMagic(p))
                return localFromSecs(le32(p + MLOG_OFF_TIME));
        }
        top = low - 1;
    }
    return QDateTime();
}
