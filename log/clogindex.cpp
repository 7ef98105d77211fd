// The time index in memory and the index file that keeps it between runs:
// loaded only when it still fits the log, written whole or not at all.
#include "clog.h"

#include "fdwrite.h"
#include "logpath.h"
#include "recordwalk.h"

#include <QDataStream>
#include <QRandomGenerator>
#include <QtEndian>

#include <cerrno>
#include <climits>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace recordwalk;

namespace {

constexpr qint64 kIndexPairSize = 4 + 8;
// An index header is a QDateTime and a count: a few dozen bytes. Only this
// much is handed to the stream, so a length field in a foreign file cannot
// make it allocate for data that is not there.
constexpr qint64 kIndexHeaderMax = 256;

} // namespace

// --- Time index -------------------------------------------------------------

void CLog::clearIndex()
{
    // The capacity stays: giving it back and faulting it in again costs more
    // than the scan of a grown log.
    m_entries.clear();
    m_early.clear();
    m_summaries.clear();
    m_deferredSummaries = DeferredSummaries();
    m_summariesDirty = false;
    m_lastBlockRecords = 0;
    m_timesUnchecked = false;
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

// --- Index file -------------------------------------------------------------
//
// The index file holds the header and the entries and nothing else, so that
// every reader of its format reads it. What the viewer knows beyond that
// goes to the companion file (clogcompanion.h), tied to the index file's
// bytes: a companion of another index is never taken for this one's.
//
// Index files of the previous release end, after the entries, with the
// blocks holding earlier times (their earliest time and their entry's
// offset) and a closing pair: the records of the last block, and -1 minus
// the number of those blocks. They are read once more and written again
// in the plain layout.

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

qint64 CLog::recordsFrom(QFile &file, qint64 offset)
{
    ChunkReader reader(file, kScanChunk, file.size());
    qint64 n = 0;
    qint64 pos = offset;
    for (;;) {
        const char *header = reader.span(pos, kHeaderSize);
        if (!header)
            return n;
        if (!isMagic(header)) {
            bool dataEnded = false;
            pos = nextRecordStart(reader, pos + 1, file.size(), &dataEnded);
            if (pos < 0)
                return n;
            continue;
        }
        ++n;
        pos += kHeaderSize + le16(header + MLOG_OFF_PAYLOAD_LENGTH);
    }
}

void CLog::forgetIndexFile() const
{
    m_file.stamp.clear();
    m_file.companionStamp.clear();
}

namespace {

// The companion's block-times section: flags, the records of the last
// block, then the blocks holding earlier times as (block, earliest time).
constexpr quint32 kTimesUnchecked = 1;

} // namespace

QByteArray CLog::blockTimesPayload() const
{
    QByteArray payload(int(4 + 8 + 4 + m_early.size() * 8), '\0');
    char *p = payload.data();
    qToBigEndian<quint32>(m_timesUnchecked ? kTimesUnchecked : 0, p);
    qToBigEndian<qint64>(std::clamp<qint64>(m_lastBlockRecords, 0, m_recordCount), p + 4);
    qToBigEndian<quint32>(quint32(m_early.size()), p + 12);
    p += 16;
    for (const Early &e : m_early) {
        qToBigEndian<quint32>(e.block, p);
        qToBigEndian<quint32>(e.low, p + 4);
        p += 8;
    }
    return payload;
}

bool CLog::loadBlockTimes(const QByteArray &payload)
{
    if (payload.size() < 16)
        return false;
    const char *p = payload.constData();
    const quint32 flags = qFromBigEndian<quint32>(p);
    const qint64 lastBlock = qFromBigEndian<qint64>(p + 4);
    const quint32 early = qFromBigEndian<quint32>(p + 12);
    if ((flags & ~kTimesUnchecked) != 0 || lastBlock < 0 || lastBlock > m_recordCount
        || early > m_entries.size() || payload.size() != 16 + qint64(early) * 8)
        return false;
    for (p += 16; p < payload.constData() + payload.size(); p += 8) {
        const quint32 block = qFromBigEndian<quint32>(p);
        const quint32 low = qFromBigEndian<quint32>(p + 4);
        if (block >= m_entries.size() || low >= m_entries[block].key
            || (!m_early.empty() && m_early.back().block >= block)) {
            m_early.clear();
            return false;
        }
        m_early.push_back(Early{block, low});
    }
    m_lastBlockRecords = lastBlock;
    m_timesUnchecked = (flags & kTimesUnchecked) != 0;
    return true;
}

bool CLog::loadIndex(qint64 logSize)
{
    const QString indexPath = indexFilePath(m_logPath);
    // The entries in memory are what the file holds when this object read
    // or wrote it and nobody has touched it since; parsing them again would
    // only fault the same memory in once more.
    const QByteArray logFile = logFileIdentity();
    if (!m_file.stamp.isEmpty() && indexPath == m_file.path && fileStamp(indexPath) == m_file.stamp
        && (m_file.logFile.isEmpty() || m_file.logFile == logFile)) {
        const bool inside = std::all_of(m_entries.begin(), m_entries.end(), [logSize](const Entry &e) {
            return e.offset + kHeaderSize <= logSize;
        });
        if (inside)
            return true;
    }
    m_file = IndexFileState();

    // Whatever the outcome, nothing of the previous log's index may survive:
    // offsets of two files must never mix.
    clearIndex();
    m_recordCount = 0;
    m_indexTime = QDateTime::currentDateTime();

    QFile file;
    if (!openRegular(file, indexPath))
        return false;
    const QByteArray stamp = fileStamp(indexPath);
    const qint64 fileSize = file.size();
    const QByteArray head = file.read(std::min(fileSize, kIndexHeaderMax));
    QDataStream in(head);
    QDateTime indexTime;
    qint32 count = 0;
    in >> indexTime >> count;
    if (in.status() != QDataStream::Ok || count < 0)
        return false;
    // Nothing is reserved before the sizes are checked against the log: an
    // index has no more entries, and counts no more records, than the log
    // has room for records, and every entry stands for at least one record.
    const qint64 headerSize = in.device()->pos();
    const qint64 pairBytes = fileSize - headerSize;
    const qint64 room = logSize / kHeaderSize;
    const qint64 pairs = pairBytes / kIndexPairSize;
    char closing[kIndexPairSize];
    if (pairBytes % kIndexPairSize != 0 || pairs < 1 || !file.seek(fileSize - kIndexPairSize)
        || file.read(closing, kIndexPairSize) != kIndexPairSize)
        return false;
    // No entry has a negative offset: such a last pair is the closing pair
    // of the previous release's layout.
    const qint64 stored = qFromBigEndian<qint64>(closing + 4);
    const bool legacy = stored < 0;
    qint64 entries = pairs;
    qint64 earlyCount = 0;
    quint32 lastBlockRecords = 0;
    if (legacy) {
        lastBlockRecords = qFromBigEndian<quint32>(closing);
        // A count the pairs cannot hold is refused before it takes part in
        // any sum, where a foreign file's value could overflow.
        if (stored < -pairs)
            return false;
        earlyCount = -1 - stored;
        entries = pairs - 1 - earlyCount;
        if (earlyCount > entries || lastBlockRecords > quint32(count))
            return false;
    }
    if (entries < 1 || entries > room || count > room || entries > count || !file.seek(headerSize))
        return false;
    // Room for the entries the scan of the log's growth adds: growing the
    // vector would copy every entry, a cost of the log, not of the growth.
    // The entries are decoded straight into their places (the allocator
    // leaves them unset until then): the index of a big log holds hundreds
    // of thousands, and a call or a branch per pair costs more than the
    // read of the file.
    m_entries.reserve(size_t(entries + entries / 8 + 1024));
    m_entries.resize(size_t(entries));
    Entry *out = m_entries.data();
    // Keys and offsets ascend strictly, which also keeps every offset but the
    // last below the log's end; the first is not negative.
    qint64 previousKey = -1;
    qint64 previousOffset = -1;
    bool disorder = false;
    companion::IndexHash hash;
    hash.add(head.constData(), headerSize);
    qint64 rest = (entries + earlyCount) * kIndexPairSize;
    qint64 index = 0;
    char buffer[kIndexPairSize * 4096];
    while (rest > 0) {
        const qint64 want = std::min<qint64>(rest, sizeof buffer);
        if (file.read(buffer, want) != want) {
            clearIndex();
            return false;
        }
        hash.add(buffer, want);
        rest -= want;
        const char *p = buffer;
        const qint64 inEntries = std::min(want / kIndexPairSize, entries - index);
        for (qint64 i = 0; i < inEntries; ++i, p += kIndexPairSize, ++out) {
            const quint32 key = qFromBigEndian<quint32>(p);
            const qint64 offset = qFromBigEndian<qint64>(p + 4);
            disorder |= (qint64(key) <= previousKey) | (offset <= previousOffset);
            previousKey = key;
            previousOffset = offset;
            out->key = key;
            out->seen = 0;
            out->offset = offset;
        }
        index += inEntries;
        if (index == entries && (disorder || previousOffset > logSize - kHeaderSize)) {
            clearIndex();
            return false;
        }
        // The pairs of the previous release's blocks with earlier times
        // follow the entries, which are all in place and checked by now.
        for (; p < buffer + want; p += kIndexPairSize) {
            const quint32 key = qFromBigEndian<quint32>(p);
            const qint64 offset = qFromBigEndian<qint64>(p + 4);
            const auto it = std::lower_bound(m_entries.begin(), m_entries.end(), offset,
                                             [](const Entry &e, qint64 o) { return e.offset < o; });
            const quint32 block = quint32(it - m_entries.begin());
            if (it == m_entries.end() || it->offset != offset || key >= it->key
                || (!m_early.empty() && m_early.back().block >= block)) {
                clearIndex();
                return false;
            }
            m_early.push_back(Early{block, key});
        }
    }
    m_indexTime = indexTime;
    m_recordCount = count;
    m_timeIndexValid = false;
    m_file.path = indexPath;
    m_file.stamp = stamp;
    m_file.logFile = logFile;
    m_file.rewrite = legacy;
    if (legacy) {
        m_lastBlockRecords = lastBlockRecords;
    } else {
        m_file.tie = companion::IndexTie{fileSize, indexTime.toMSecsSinceEpoch(), hash.value()};
        const QString aux = companion::pathFor(indexPath);
        const QByteArray auxStamp = companion::fileStamp(aux);
        const companion::Sections sections = companion::readSections(aux, m_file.tie, companion::BlockSummaries);
        // A companion of ours that is damaged or of another version: the
        // index was ours too, and one full scan gets back all the companion
        // knew. Kept without it, the index would leave every block's times
        // unchecked until a full scan, which a log that only grows never
        // gets, and every span would read every block. An index made from
        // another log of this name is foreign, however well its ends fit:
        // this log, too, is scanned whole.
        const QByteArray owner = sections.payloads.value(companion::LogFile);
        if (sections.unreadable || (!owner.isEmpty() && owner != logFile)) {
            m_file = IndexFileState();
            clearIndex();
            m_recordCount = 0;
            return false;
        }
        const QByteArray times = sections.payloads.value(companion::BlockTimes);
        if (loadBlockTimes(times)) {
            m_file.companionStamp = auxStamp;
            m_file.blockTimes = times;
            m_deferredSummaries = DeferredSummaries{aux, auxStamp, sections.deferred};
        } else {
            // Without its companion the index tells only where blocks begin:
            // neither the records of its last block nor whether any block
            // holds other times than its key.
            m_lastBlockRecords = -1;
            m_timesUnchecked = true;
        }
    }
    m_file.entries = m_entries.size();
    m_file.lastKey = m_entries.back().key;
    m_file.lastOffset = m_entries.back().offset;
    m_file.recordCount = m_recordCount;
    m_file.indexTime = m_indexTime;
    return true;
}

QByteArray CLog::logFileIdentity() const
{
    // The file itself, not its path: the path names the index, so logs of
    // one name share it. Device and inode follow the file however it is
    // reached: a log renamed or moved within its file system, or named by a
    // hard link or through a linked folder, keeps its index; a copy, or a
    // new log in the place of a rotated one, is another file and is scanned
    // whole once, which costs time and is sound. A freed inode given to a
    // new log still has to pass the checks of the index's ends.
    struct stat st;
    if (::stat(LogPath::toBytes(m_logPath).constData(), &st) != 0)
        return QByteArray();
    QByteArray identity(16, '\0');
    qToBigEndian<quint64>(quint64(st.st_dev), identity.data());
    qToBigEndian<quint64>(quint64(st.st_ino), identity.data() + 8);
    return identity;
}

QByteArray CLog::fileStamp(const QString &path)
{
    return companion::fileStamp(path);
}

void CLog::writeIndex()
{
    if (m_entries.empty()) {
        forgetIndexFile();
        return;
    }
    const QString indexPath = indexFilePath(m_logPath);
    const QString auxPath = companion::pathFor(indexPath);
    // The records of the last block are unknown only while an index without
    // its companion is kept as it was read.
    const bool timesKnown = m_lastBlockRecords >= 0;
    const QByteArray blockTimes = timesKnown ? blockTimesPayload() : QByteArray();

    // An index file that would come out as it is stays as it is: a reopened
    // log that has not changed costs no write, and the file keeps its inode
    // and time. The scans change entries only from the last one on, so the
    // number of entries and the last one tell whether any changed.
    const bool indexSame = !m_file.rewrite && !m_file.stamp.isEmpty() && m_file.path == indexPath
                           && m_file.entries == m_entries.size() && m_file.lastKey == m_entries.back().key
                           && m_file.lastOffset == m_entries.back().offset && m_file.recordCount == m_recordCount
                           && m_file.indexTime == m_indexTime && fileStamp(indexPath) == m_file.stamp;
    if (indexSame) {
        if (!timesKnown || (!m_file.companionStamp.isEmpty() && m_file.blockTimes == blockTimes
                            && !m_summariesDirty && companion::fileStamp(auxPath) == m_file.companionStamp))
            return;
        // Only what the companion says changed: it alone is written.
        if (companion::writeSections(auxPath, m_file.tie, companionSections(blockTimes))) {
            m_file.companionStamp = companion::fileStamp(auxPath);
            m_file.blockTimes = blockTimes;
            m_summariesDirty = false;
        }
        return;
    }
    forgetIndexFile();

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
    // loadIndex and costs a full scan, nothing more. The companion follows
    // the index; until it has, the old one is tied to the old index and is
    // passed over.
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
    const qint64 total = head.size() + qint64(m_entries.size()) * kIndexPairSize;
    companion::IndexHash hash;
    hash.add(head.constData(), head.size());
    bool ok = ::lseek(fd, 0, SEEK_SET) == 0 && writeAll(fd, head.constData(), head.size());
    char buffer[kIndexPairSize * 4096];
    char *p = buffer;
    const auto flush = [&] {
        hash.add(buffer, p - buffer);
        ok = ok && writeAll(fd, buffer, p - buffer);
        p = buffer;
    };
    for (auto e = m_entries.cbegin(); ok && e != m_entries.cend(); ++e) {
        qToBigEndian<quint32>(e->key, p);
        qToBigEndian<qint64>(e->offset, p + 4);
        p += kIndexPairSize;
        if (p == buffer + sizeof buffer)
            flush();
    }
    flush();
    ok = ok && ::ftruncate(fd, off_t(total)) == 0;
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
    m_file.path = indexPath;
    m_file.stamp = fileStamp(indexPath);
    m_file.logFile = logFileIdentity();
    m_file.tie = companion::IndexTie{total, m_indexTime.toMSecsSinceEpoch(), hash.value()};
    m_file.rewrite = false;
    m_file.entries = m_entries.size();
    m_file.lastKey = m_entries.back().key;
    m_file.lastOffset = m_entries.back().offset;
    m_file.recordCount = m_recordCount;
    m_file.indexTime = m_indexTime;
    m_file.blockTimes.clear();
    if (timesKnown && companion::writeSections(auxPath, m_file.tie, companionSections(blockTimes))) {
        m_file.companionStamp = companion::fileStamp(auxPath);
        m_file.blockTimes = blockTimes;
        m_summariesDirty = false;
    }
}

QMap<quint32, QByteArray> CLog::companionSections(const QByteArray &blockTimes) const
{
    QMap<quint32, QByteArray> sections{{companion::BlockTimes, blockTimes}};
    const QByteArray logFile = logFileIdentity();
    if (!logFile.isEmpty())
        sections.insert(companion::LogFile, logFile);
    const QByteArray summaries = summariesPayload();
    if (!summaries.isEmpty())
        sections.insert(companion::BlockSummaries, summaries);
    return sections;
}

QByteArray CLog::summariesPayload() const
{
    // A count, then the summaries of the blocks that have one, in block
    // order; each names its block by its offset.
    if (!m_summariesUsed)
        return QByteArray();
    if (m_deferredSummaries.place.at >= 0)
        takeDeferredSummaries();
    std::vector<int> blocks;
    for (int b = 0; b < int(m_summaries.size()); ++b) {
        if (blockSummary(b))
            blocks.push_back(b);
    }
    if (blocks.empty())
        return QByteArray();
    QByteArray payload(int(4 + blocks.size() * BlockSummary::kStoredSize), '\0');
    char *p = payload.data();
    qToBigEndian<quint32>(quint32(blocks.size()), p);
    p += 4;
    for (int b : blocks) {
        m_summaries[size_t(b)].store(p);
        p += BlockSummary::kStoredSize;
    }
    return payload;
}

void CLog::takeDeferredSummaries() const
{
    const DeferredSummaries deferred = std::exchange(m_deferredSummaries, DeferredSummaries());
    m_summaries.clear();
    m_summariesDirty = false;
    // Only the file the index was loaded with: a companion replaced since
    // may belong to another index.
    QFile file;
    if (deferred.place.at < 0 || deferred.stamp.isEmpty() || companion::fileStamp(deferred.path) != deferred.stamp
        || !openRegular(file, deferred.path) || companion::fileStamp(file) != deferred.stamp
        || !file.seek(deferred.place.at))
        return;
    if (!loadSummaries(file, deferred.place)) {
        // Damaged: none is used, and the companion is written again without
        // them when the summaries are next kept.
        m_summaries.clear();
        m_summariesDirty = true;
    }
}

bool CLog::loadSummaries(QFile &file, const companion::SectionPlace &place) const
{
    // A count, then the summaries in block order. Anything that does not
    // add up leaves the log without summaries: they only save reads. They
    // are used only once the whole payload has come to its check.
    companion::IndexHash check = place.check;
    char count[4];
    if (place.length < 4 || file.read(count, 4) != 4)
        return false;
    check.add(count, 4);
    const quint32 stored = qFromBigEndian<quint32>(count);
    // Files written before the path words hold shorter summaries.
    const bool withPaths = place.length == 4 + qint64(stored) * BlockSummary::kStoredSize;
    const qint64 size = withPaths ? BlockSummary::kStoredSize : BlockSummary::kStoredSizeWithoutPaths;
    if (stored > m_entries.size() || place.length != 4 + qint64(stored) * size)
        return false;
    m_summaries.resize(m_entries.size());
    // A summary is taken only for the block of its offset and extent; one
    // that fits no block of this index (or comes out of order) is passed over.
    auto it = m_entries.cbegin();
    char buffer[BlockSummary::kStoredSize * 1024];
    for (qint64 rest = stored; rest > 0;) {
        const qint64 n = std::min<qint64>(rest, 1024);
        const qint64 bytes = n * size;
        if (file.read(buffer, bytes) != bytes)
            return false;
        check.add(buffer, bytes);
        rest -= n;
        for (const char *p = buffer; p < buffer + bytes; p += size) {
            const BlockSummary s = BlockSummary::load(p, withPaths);
            while (it != m_entries.cend() && it->offset < s.offset)
                ++it;
            if (it == m_entries.cend() || it->offset != s.offset || it + 1 == m_entries.cend()
                || (it + 1)->offset - s.offset != qint64(s.length) || s.records > s.length / kHeaderSize)
                continue;
            m_summaries[size_t(it - m_entries.cbegin())] = s;
        }
    }
    return check.value() == place.expected;
}

void CLog::keepSummaries() const
{
    // Only into the companion this object wrote or read with the index it
    // belongs to, both unchanged since: the summaries join what it holds.
    if (!m_summariesDirty || m_file.stamp.isEmpty() || m_file.companionStamp.isEmpty())
        return;
    const QString indexPath = indexFilePath(m_logPath);
    const QString auxPath = companion::pathFor(indexPath);
    if (m_file.path != indexPath || fileStamp(indexPath) != m_file.stamp
        || companion::fileStamp(auxPath) != m_file.companionStamp)
        return;
    if (companion::writeSections(auxPath, m_file.tie, companionSections(m_file.blockTimes))) {
        m_file.companionStamp = companion::fileStamp(auxPath);
        m_summariesDirty = false;
    }
}
