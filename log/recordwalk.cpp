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

} // namespace recordwalk
