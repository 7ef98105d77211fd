// Reading the record texts of time blocks, whole or in pieces, and what
// the index tells of each block.
#include "clog.h"

#include "logpath.h"
#include "recordwalk.h"

#include <QDataStream>

#include <algorithm>
#include <climits>
#include <cstring>
#include <optional>

#include <sys/stat.h>
#include <unistd.h>

using namespace recordwalk;

namespace {

constexpr qint64 kRangeChunkMin = 64 << 10;
constexpr qint64 kRangeChunkMax = 4 << 20;
// Bytes of texts handed out at once by forEachPieceUtf8: a few hundred
// records' worth, so one second of a burst never sits in memory whole.
constexpr int kPieceBytes = 256 << 10;

} // namespace

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
                          const std::function<bool(const char *, qsizetype, qint64)> &perText, bool resumed,
                          PathWalk *paths) const
{
    if (blockOutside(block, span))
        return true;
    BlockCheck check;
    check.resumed = resumed;
    check.key = m_entries[size_t(block)].key;
    // Blocks of unknown times may hold any earlier time (every span reads
    // them all); a later time than the key is still found wrong.
    check.low = m_timesUnchecked ? 0 : lowOf(block);
    check.hasNext = block + 1 < blockCount();
    check.nextKey = check.hasNext ? m_entries[size_t(block) + 1].key : 0;
    // A block of one time that lies in the span needs no look at the times.
    const bool wholeBlock = span.isAll() || (!isMixedBlock(block) && span.holds(check.key));
    // A block read whole from its start, other than the last (which grows),
    // is summed up on the way unless it already is.
    const bool summing = m_summariesUsed && wholeBlock && !resumed && block + 1 < blockCount()
                         && end - start <= qint64(UINT_MAX) && !blockSummary(block);
    BlockSummary made;
    bool whole = true;
    // The path words of a group are made by one walk reading each of its
    // blocks whole, in order; any other way the group is left without.
    const int group = block / BlockSummary::kPathGroup;
    bool wording = false;
    if (paths && m_summariesUsed && wholeBlock && !resumed
        && (group + 1) * BlockSummary::kPathGroup < blockCount()) {
        if (block % BlockSummary::kPathGroup == 0 && !groupPathWords(block, nullptr)) {
            notePathWords(*paths, false);
            if (!paths->maker)
                paths->maker = std::make_unique<PathWordsWorker>();
            paths->maker->restart();
            paths->making = group;
            paths->next = block;
        }
        wording = paths->making == group && paths->next == block;
    }
    if (paths && !wording)
        paths->making = -1;
    if (paths)
        paths->handing = wording;
    const bool sound = walkRange(reader, start, end, &check, wholeBlock ? nullptr : &span,
                                 [&](const char *text, qint64 pos, const char *record, qint64 length) {
                                     if (!text || !*text)
                                         return true;
                                     const qsizetype size = qsizetype(std::strlen(text));
                                     if (summing)
                                         made.addRecord(record, length, text, size);
                                     if (perText(text, size, pos))
                                         return true;
                                     whole = false;
                                     return false;
                                 });
    if (!sound) {
        markStale();
    } else if (summing && whole) {
        made.offset = start;
        made.length = quint32(end - start);
        noteSummary(block, made);
    }
    if (wording) {
        if (sound && whole && blockSummary(block)) {
            paths->next = block + 1;
            if (paths->next % BlockSummary::kPathGroup == 0) {
                paths->finishing.group = group;
                paths->finishing.start = m_entries[size_t(group) * BlockSummary::kPathGroup].offset;
                paths->finishing.end = end;
                paths->making = -1;
            }
        } else {
            paths->making = -1;
            paths->handing = false;
        }
    }
    return sound;
}

void CLog::readBlockTexts(ChunkReader &reader, int block, qint64 start, qint64 end, const TimeSpan &span,
                          QStringList *texts, int *count) const
{
    QStringList found;
    int n = 0;
    const bool sound = walkBlockTexts(reader, block, start, end, span, [&found, &n, texts](const char *text, qsizetype size, qint64) {
        if (texts)
            found.append(QString::fromUtf8(text, int(size)));
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
    if (span.isAll() || block + 1 >= blockCount() || m_timesUnchecked)
        return false;
    const quint32 key = m_entries[size_t(block)].key;
    return key < span.from || lowOf(block) > span.to;
}

void CLog::markStale() const
{
    if (m_indexStale)
        return;
    m_indexStale = true;
    forgetIndexFile();
    // A later run of the program must not trust the file either. Only a
    // regular file is removed, never what a link points to.
    const QString index = indexFilePath(m_logPath);
    const QByteArray name = LogPath::toBytes(index);
    struct stat st;
    if (::lstat(name.constData(), &st) == 0 && S_ISREG(st.st_mode))
        ::unlink(name.constData());
    companion::remove(companion::pathFor(index));
}

// --- A file held open over several calls --------------------------------------

struct CLog::Reading::State
{
    const CLog *log = nullptr; // whose summaries are kept when the reading ends
    QFile file;
    std::unique_ptr<ChunkReader> reader;
    // The open file as it was when last looked at.
    dev_t device = 0;
    ino_t inode = 0;
    qint64 size = 0;
    timespec modified{};
    TextPiece piece;
    PathWalk paths;

    // Makes the reading hold the file at `path` as it now is, as opening it
    // anew would find it; false when it cannot be read.
    bool lookAgain(const QString &path);
};

bool CLog::Reading::State::lookAgain(const QString &path)
{
    struct stat st;
    const QByteArray name = LogPath::toBytes(path);
    const bool there = !name.isEmpty() && ::stat(name.constData(), &st) == 0 && S_ISREG(st.st_mode);
    if (there && file.isOpen() && st.st_dev == device && st.st_ino == inode) {
        if (st.st_size == size && st.st_mtim.tv_sec == modified.tv_sec && st.st_mtim.tv_nsec == modified.tv_nsec)
            return true;
        // Grown, shrunk or written over: what the window holds may no longer
        // be what the file does, and the file ends elsewhere.
        size = st.st_size;
        modified = st.st_mtim;
        reader = std::make_unique<ChunkReader>(file, kScanChunk, size);
        return true;
    }
    // Another file under the name, or none: opened anew, as a call of its own would.
    reader.reset();
    file.close();
    if (!there || !openRegular(file, path))
        return false;
    if (::fstat(file.handle(), &st) != 0) {
        file.close();
        return false;
    }
    device = st.st_dev;
    inode = st.st_ino;
    size = st.st_size;
    modified = st.st_mtim;
    reader = std::make_unique<ChunkReader>(file, kScanChunk, size);
    return true;
}

CLog::Reading::Reading() = default;

CLog::Reading::~Reading()
{
    close();
}

void CLog::Reading::close()
{
    if (!m_state)
        return;
    const CLog *log = m_state->log;
    m_state.reset();
    if (log)
        log->keepSummaries();
}

// --- Walks ----------------------------------------------------------------------

void CLog::walkBlocks(int first, int last,
                      const std::function<bool(int, ChunkReader *, qint64, qint64)> &perBlock,
                      Reading *reading) const
{
    first = std::max(first, 0);
    last = std::min(last, blockCount() - 1);
    if (first > last)
        return;
    QFile file;
    const bool opened = reading ? reading->m_state->lookAgain(m_logPath) : openRegular(file, m_logPath);
    const qint64 size = !opened ? 0 : reading ? reading->m_state->size : file.size();
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
    std::optional<ChunkReader> own;
    ChunkReader *reader = nullptr;
    if (reading) {
        // The walk goes on where the reading's last call left the window.
        reader = opened ? reading->m_state->reader.get() : nullptr;
    } else {
        own.emplace(file, chunk, size);
        reader = opened ? &*own : nullptr;
    }
    for (int block = first; block <= last; ++block) {
        if (!perBlock(block, reader, m_entries[size_t(block)].offset, endOf(block)))
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
                            const std::function<bool(int, const QByteArray &)> &visit, const TimeSpan &span,
                            const BlockTest *test) const
{
    // One buffer for every block: its capacity stays once reserved.
    QByteArray texts;
    texts.reserve(64 << 10);
    PathWalk paths;
    PathWalk *const wording = test && test->asksPaths() ? &paths : nullptr;
    walkBlocks(first, last, [&](int block, ChunkReader *reader, qint64 start, qint64 end) {
        texts.resize(0);
        if (skipsBlock(block, test, &paths))
            return visit(block, texts);
        if (reader && !walkBlockTexts(*reader, block, start, end, span, [&texts](const char *text, qsizetype size, qint64) {
                texts.append(text, int(size) + 1);
                return true;
            }, false, wording))
            texts.resize(0);
        const bool more = visit(block, texts);
        handTexts(wording, texts, 64 << 10);
        endBlockWords(wording);
        return more;
    });
    notePathWords(paths, true);
    keepSummaries();
}

void CLog::forEachPieceUtf8(int first, int last, const std::function<bool(const TextPiece &)> &visit,
                            const TimeSpan &span, qint64 resumeAt,
                            const BlockTest *test) const
{
    walkPieces(nullptr, first, last, visit, span, resumeAt, test);
    keepSummaries();
}

void CLog::forEachPieceUtf8(Reading &reading, int first, int last, const std::function<bool(const TextPiece &)> &visit,
                            const TimeSpan &span, qint64 resumeAt,
                            const BlockTest *test) const
{
    if (reading.m_state && reading.m_state->log != this)
        reading.close();
    if (!reading.m_state) {
        reading.m_state = std::make_unique<Reading::State>();
        reading.m_state->log = this;
    }
    walkPieces(&reading, first, last, visit, span, resumeAt, test);
}

void CLog::walkPieces(Reading *reading, int first, int last, const std::function<bool(const TextPiece &)> &visit,
                      const TimeSpan &span, qint64 resumeAt,
                      const BlockTest *test) const
{
    // One buffer for every piece (for every call through a reading): its
    // capacity stays once reserved.
    TextPiece own;
    TextPiece &piece = reading ? reading->m_state->piece : own;
    if (piece.texts.capacity() < int(kPieceBytes) + (64 << 10))
        piece.texts.reserve(int(kPieceBytes) + (64 << 10));
    bool going = true;
    // A reading's calls make one walk of the path words too.
    PathWalk ownPaths;
    PathWalk &paths = reading ? reading->m_state->paths : ownPaths;
    paths.asked = -1;
    PathWalk *const wording = test && test->asksPaths() ? &paths : nullptr;
    walkBlocks(first, last, [&](int block, ChunkReader *reader, qint64 start, qint64 end) {
        const bool resumed = block == first && resumeAt > start && resumeAt < end;
        piece.block = block;
        piece.start = resumed ? resumeAt : start;
        piece.firstText = 0;
        piece.last = false;
        piece.texts.resize(0);
        if (skipsBlock(block, test, &paths)) {
            piece.last = true;
            return visit(piece);
        }
        int texts = 0;
        bool firstPiece = true;
        const auto perText = [&](const char *text, qsizetype size, qint64 pos) {
            if (piece.texts.isEmpty()) {
                if (!firstPiece)
                    piece.start = pos;
                piece.firstText = texts;
            }
            piece.texts.append(text, int(size) + 1);
            ++texts;
            if (piece.texts.size() < kPieceBytes)
                return true;
            going = visit(piece);
            firstPiece = false;
            handTexts(wording, piece.texts, kPieceBytes + (64 << 10));
            return going;
        };
        const bool sound =
            !reader || walkBlockTexts(*reader, block, piece.start, end, span, perText, resumed, wording);
        if (!going)
            return false;
        if (!sound || !reader)
            piece.texts.resize(0);
        if (piece.texts.isEmpty())
            piece.firstText = texts;
        piece.last = true;
        const bool more = visit(piece);
        handTexts(wording, piece.texts, kPieceBytes + (64 << 10));
        endBlockWords(wording);
        return more;
    }, reading);
    // A call ends with the words of the groups it finished given to their
    // blocks, as though it had made them itself.
    notePathWords(paths, true);
}

// --- Block summaries ----------------------------------------------------------

const BlockSummary *CLog::blockSummary(int block) const
{
    if (m_deferredSummaries.place.at >= 0)
        takeDeferredSummaries();
    if (!m_summariesUsed || block < 0 || block + 1 >= blockCount() || size_t(block) >= m_summaries.size())
        return nullptr;
    const BlockSummary &s = m_summaries[size_t(block)];
    const qint64 start = m_entries[size_t(block)].offset;
    const qint64 end = m_entries[size_t(block) + 1].offset;
    return s.offset == start && qint64(s.length) == end - start ? &s : nullptr;
}

bool CLog::skipsBlock(int block, const BlockTest *test, PathWalk *paths) const
{
    if (!test)
        return false;
    const BlockSummary *s = blockSummary(block);
    if (!s)
        return false;
    if (!test->asksPaths())
        return !test->mayMatch(*s, nullptr);
    // The words of a group are put together once for its blocks.
    const int group = block / BlockSummary::kPathGroup;
    if (paths->asked != group) {
        paths->asked = group;
        paths->known = groupPathWords(block, &paths->words);
    }
    return !test->mayMatch(*s, paths->known ? &paths->words : nullptr);
}

bool CLog::passesOver(int block, const BlockTest &test) const
{
    PathWalk paths;
    return skipsBlock(block, &test, &paths);
}

bool CLog::groupPathWords(int block, PathWords *words) const
{
    const int first = block - block % BlockSummary::kPathGroup;
    for (int i = 0; i < BlockSummary::kPathGroup; ++i) {
        const BlockSummary *s = blockSummary(first + i);
        if (!s || !(s->open & BlockSummary::PathsKnown))
            return false;
        if (words)
            std::memcpy(words->bytes + i * BlockSummary::kPathShare, s->pathShare, BlockSummary::kPathShare);
    }
    return true;
}

void CLog::handTexts(PathWalk *paths, QByteArray &texts, int capacity)
{
    // The next buffer need hold about as much as this one did: the walk
    // may hand over a few hundred of them before the thread takes them.
    if (paths && paths->handing && !texts.isEmpty())
        texts = paths->maker->add(texts, std::min(capacity, std::max(16 << 10, 2 * texts.size())));
    else
        texts.resize(0);
}

void CLog::endBlockWords(PathWalk *paths)
{
    if (!paths)
        return;
    paths->handing = false;
    if (paths->finishing.group >= 0) {
        paths->maker->finish(paths->finishing.group, paths->finishing.start, paths->finishing.end);
        paths->finishing = PathWordsWorker::Group();
    }
}

void CLog::notePathWords(PathWalk &paths, bool wait) const
{
    if (!paths.maker)
        return;
    for (const PathWordsWorker::Group &made : paths.maker->take(wait)) {
        const int first = made.group * BlockSummary::kPathGroup;
        const int last = first + BlockSummary::kPathGroup - 1;
        // The group's blocks are still where they were when their texts
        // were handed over, and each was summed up on the way or already
        // had a summary of its extent.
        if (last + 1 >= blockCount() || m_entries[size_t(first)].offset != made.start
            || m_entries[size_t(last) + 1].offset != made.end)
            continue;
        bool summed = true;
        for (int b = first; b <= last && summed; ++b)
            summed = blockSummary(b) != nullptr;
        if (!summed)
            continue;
        for (int i = 0; i < BlockSummary::kPathGroup; ++i) {
            BlockSummary &s = m_summaries[size_t(first + i)];
            std::memcpy(s.pathShare, made.words.bytes + i * BlockSummary::kPathShare, BlockSummary::kPathShare);
            s.open |= BlockSummary::PathsKnown;
        }
        m_summariesDirty = true;
    }
}

void CLog::noteSummary(int block, const BlockSummary &summary) const
{
    if (m_deferredSummaries.place.at >= 0)
        takeDeferredSummaries();
    if (m_summaries.size() < m_entries.size())
        m_summaries.resize(m_entries.size());
    m_summaries[size_t(block)] = summary;
    m_summariesDirty = true;
}

void CLog::setSummariesUsed(bool used)
{
    m_summariesUsed = used;
}

bool CLog::summariesUsed() const
{
    return m_summariesUsed;
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
    // Blocks whose times are unknown may each hold any time: all are read.
    if (m_timesUnchecked && !m_entries.empty()) {
        *first = 0;
        *last = blockCount() - 1;
    }
    if (span.from > span.to)
        *last = *first - 1;
}

bool CLog::isMixedBlock(int block) const
{
    return block + 1 == blockCount() || m_timesUnchecked || lowOf(block) != m_entries[size_t(block)].key;
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

int CLog::blockAt(qint64 offset) const
{
    const auto it = std::upper_bound(m_entries.begin(), m_entries.end(), offset,
                                     [](qint64 o, const Entry &e) { return o < e.offset; });
    return int(it - m_entries.begin()) - 1;
}

void CLog::forEachRecordText(int block, const std::function<bool(qint64, const char *)> &visit,
                             const TimeSpan &span) const
{
    walkBlocks(block, block, [&](int b, ChunkReader *reader, qint64 start, qint64 end) {
        if (!reader)
            return false;
        // Handed out as they are read: a block found wrong further on has
        // given its first texts already, as a piece walk would.
        walkBlockTexts(*reader, b, start, end, span,
                       [&visit](const char *text, qsizetype, qint64 pos) { return visit(pos, text); });
        return false;
    });
}
