// The time index in memory and the index file that keeps it between runs:
// loaded only when it still fits the log, written whole or not at all.
#include "clog.h"

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

// --- Index file -------------------------------------------------------------

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
    // A count the pairs cannot hold is refused before it takes part in any
    // sum, where a foreign file's value could overflow.
    const qint64 stored = qFromBigEndian<qint64>(closing + 4);
    if (stored >= 0 || stored < -pairs)
        return false;
    const qint64 earlyCount = -1 - stored;
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
