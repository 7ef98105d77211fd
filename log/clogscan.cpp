// Opening a log: its index file when that still fits, else the scan that
// walks every record to build the time index, with progress and cancel.
#include "clog.h"

#include "logpath.h"
#include "recordwalk.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>

#include <climits>

#include <sys/stat.h>

using namespace recordwalk;

namespace {

// The event loop runs on a time slice, not per record: a call costs more
// than the rest of the work done for a record.
constexpr qint64 kEventSliceMs = 30;
constexpr qint64 kEarlySliceMs = 2;
constexpr int kEarlyServes = 4;

// A file that shrinks while it is scanned is scanned again from the last
// block still inside it; after this many tries what is inside is kept.
constexpr int kScanRounds = 3;

// Progress goes out as an int; logs of 2 GiB and more are reported in
// units of 2^shift bytes, the smallest unit their size fits in.
int progressShift(qint64 size)
{
    int shift = 0;
    while ((size >> shift) > INT_MAX)
        ++shift;
    return shift;
}

} // namespace

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
        forgetIndexFile();
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
    // An index as new as the log holds its blocks up to the last: the scan
    // goes on from there, which costs one block and completes what a
    // cancelled read left. For a grown log the records counted in the last
    // block must be known (the companion file keeps them); for an unchanged
    // one they are all the records from its start on.
    const QDateTime modified = file.fileTime(QFileDevice::FileModificationTime);
    const bool unchanged = m_indexTime == modified;
    const bool resumable = unchanged || (m_indexTime < modified && m_lastBlockRecords >= 0);
    if (!stale && resumable && !m_entries.empty() && indexFitsLog(file)) {
        const Entry last = m_entries.back();
        if (m_lastBlockRecords < 0)
            m_lastBlockRecords = std::min<qint64>(recordsFrom(file, last.offset), m_recordCount);
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
    std::swap(m_timesUnchecked, other.m_timesUnchecked);
    std::swap(m_timeIndex, other.m_timeIndex);
    std::swap(m_timeIndexValid, other.m_timeIndexValid);
    std::swap(m_cancelled, other.m_cancelled);
    std::swap(m_indexEnd, other.m_indexEnd);
    std::swap(m_indexStale, other.m_indexStale);
    std::swap(m_file, other.m_file);
    std::swap(m_summaries, other.m_summaries);
    std::swap(m_deferredSummaries, other.m_deferredSummaries);
    std::swap(m_summariesDirty, other.m_summariesDirty);
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
            const qint64 length = kHeaderSize + le16(header + MLOG_OFF_PAYLOAD_LENGTH);
            // Mostly the next record's magic follows at once, or the file
            // ends; anything else is judged as the block reads judge it.
            const char *whole = reader.span(pos, length + 4);
            if ((!whole || !isMagic(whole + length)) && pos + length != size) {
                const Verdict verdict = judgeRecord(reader, pos, length);
                if (verdict.dataFailed) {
                    dataEnded = true;
                    break;
                }
                if (verdict.resync >= 0) {
                    pos = verdict.resync;
                    continue;
                }
                // A record cut short by the end of the file is not counted:
                // the scan after the file has grown finds it whole.
                if (!verdict.whole)
                    break;
            }
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
            pos += length;
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
    forgetIndexFile();
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
