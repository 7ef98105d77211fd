#include "recordwalk.h"

#include "logpath.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace recordwalk {

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

bool endsWell(ChunkReader &reader, qint64 end)
{
    const qint64 limit = reader.limit();
    if (end >= limit)
        return end == limit;
    // A header cut short before its magic was whole leaves one to three of
    // its bytes before the next record; they are the magic's first bytes.
    char bytes[7];
    const qint64 n = std::min<qint64>(limit - end, sizeof bytes);
    if (!reader.peek(end, bytes, n))
        return false;
    static const char magic[4] = {'\x80', '\x19', '\x12', '\x10'};
    for (qint64 cut = 0; cut < 4 && cut <= n; ++cut) {
        if (cut > 0 && bytes[cut - 1] != magic[cut - 1])
            return false;
        if (end + cut == limit ? cut > 0 : cut + 4 <= n && isMagic(bytes + cut))
            return true;
    }
    return false;
}

Verdict judgeRecord(ChunkReader &reader, qint64 pos, qint64 length)
{
    Verdict verdict;
    const qint64 limit = reader.limit();
    const qint64 end = pos + length;
    verdict.whole = end <= limit;
    if (endsWell(reader, end))
        return verdict;
    // Record starts inside the record, searched among the bytes there are.
    const qint64 inside = std::min(end, limit - 3);
    bool dataEnded = false;
    qint64 q = nextRecordStart(reader, pos + 1, inside, &dataEnded);
    while (q >= 0) {
        if (q < pos + kHeaderSize) {
            verdict.resync = q;
            return verdict;
        }
        // The chain from q: while a start does not end well, the walk would
        // go on at the first start inside its header.
        qint64 at = q;
        for (;;) {
            char header[kHeaderSize];
            if (!reader.peek(at, header, kHeaderSize))
                break; // a header cut short by the end of the data ends nothing
            if (endsWell(reader, at + kHeaderSize + le16(header + MLOG_OFF_PAYLOAD_LENGTH))) {
                verdict.resync = q;
                return verdict;
            }
            const qint64 next = nextRecordStart(reader, at + 1, std::min(at + kHeaderSize, limit - 3), &dataEnded);
            if (next < 0)
                break;
            at = next;
        }
        // Every start of the chain fails as q did: the search goes on after it.
        q = at + 1 < inside ? nextRecordStart(reader, at + 1, inside, &dataEnded) : -1;
    }
    // The searches never ask for bytes past the limit: running out of data
    // means the file is shorter than it was.
    verdict.dataFailed = dataEnded;
    return verdict;
}

} // namespace recordwalk
