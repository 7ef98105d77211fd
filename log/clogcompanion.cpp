#include "clogcompanion.h"

#include "fdwrite.h"
#include "logpath.h"
#include "recordwalk.h"

#include <QRandomGenerator>
#include <QtEndian>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace companion {

namespace {

constexpr quint32 kMagic = 0x56524358u; // "VRCX"
constexpr quint16 kVersion = 2;
constexpr qint64 kFileHeader = 8;
constexpr qint64 kSectionHeader = 4 + 8;
constexpr qint64 kTieSize = 8 + 8 + 8;
constexpr qint64 kCheckSize = 8;
// A companion holds a few small sections; a larger file is not ours.
constexpr qint64 kMaxFile = qint64(256) << 20;

constexpr quint64 kPrime1 = 0x9E3779B185EBCA87ull;
constexpr quint64 kPrime2 = 0xC2B2AE3D27D4EB4Full;

inline quint64 rotl(quint64 x, int r)
{
    return (x << r) | (x >> (64 - r));
}

inline quint64 load64(const char *p)
{
    quint64 w;
    std::memcpy(&w, p, 8);
    return qFromLittleEndian(w);
}

} // namespace

void IndexHash::round(const char *bytes)
{
    // Four independent lanes: the multiplications of one lane do not wait
    // for another's, so an index of megabytes hashes in a fraction of the
    // time it takes to read it.
    for (int i = 0; i < 4; ++i)
        m_lane[i] = rotl(m_lane[i] + load64(bytes + 8 * i) * kPrime2, 31) * kPrime1;
}

void IndexHash::add(const char *bytes, qint64 size)
{
    m_total += quint64(size);
    if (m_tailSize > 0) {
        const int take = int(std::min<qint64>(size, 32 - m_tailSize));
        std::memcpy(m_tail + m_tailSize, bytes, size_t(take));
        m_tailSize += take;
        bytes += take;
        size -= take;
        if (m_tailSize < 32)
            return;
        round(m_tail);
        m_tailSize = 0;
    }
    for (; size >= 32; bytes += 32, size -= 32)
        round(bytes);
    std::memcpy(m_tail, bytes, size_t(size));
    m_tailSize = int(size);
}

quint64 IndexHash::value() const
{
    quint64 h = rotl(m_lane[0], 1) + rotl(m_lane[1], 7) + rotl(m_lane[2], 12) + rotl(m_lane[3], 18);
    h ^= m_total * kPrime1;
    for (int i = 0; i < m_tailSize; ++i)
        h = rotl(h ^ (quint64(uchar(m_tail[i])) * kPrime2), 11) * kPrime1;
    h ^= h >> 33;
    h *= kPrime2;
    h ^= h >> 29;
    return h;
}

QString pathFor(const QString &indexPath)
{
    return indexPath + QLatin1String(".aux");
}

Sections readSections(const QString &path, const IndexTie &tie, quint32 deferred)
{
    Sections found;
    Sections unreadable;
    unreadable.unreadable = true;
    QFile file;
    if (!recordwalk::openRegular(file, path))
        return found;
    const qint64 size = file.size();
    if (size < kFileHeader || size > kMaxFile)
        return unreadable;
    constexpr qint64 kHead = kSectionHeader + kTieSize + kCheckSize;
    char head[kHead];
    if (file.read(head, kFileHeader) != kFileHeader || qFromBigEndian<quint32>(head) != kMagic
        || qFromBigEndian<quint16>(head + 4) != kVersion)
        return unreadable;
    // Section by section: a deferred payload (the block summaries of a big
    // log are megabytes) is passed over unread, and checked when it is read.
    // Every other section is checked, tied or not: they are small, and a
    // damaged tie must not pass for the tie of another index.
    qint64 at = kFileHeader;
    quint32 previousType = 0;
    while (at < size) {
        if (size - at < kHead || file.read(head, kHead) != kHead)
            return unreadable;
        const quint32 type = qFromBigEndian<quint32>(head);
        const quint64 length = qFromBigEndian<quint64>(head + 4);
        at += kSectionHeader;
        if (length < quint64(kTieSize + kCheckSize) || length > quint64(size - at))
            return unreadable;
        IndexTie own;
        own.size = qFromBigEndian<qint64>(head + 12);
        own.timeMs = qFromBigEndian<qint64>(head + 20);
        own.hash = qFromBigEndian<quint64>(head + 28);
        const quint64 expected = qFromBigEndian<quint64>(head + 36);
        IndexHash check;
        check.add(head, 4);
        check.add(head + kSectionHeader, kTieSize);
        const qint64 payload = qint64(length) - kTieSize - kCheckSize;
        // The types ascend, as they are written: one out of order, or come
        // twice, is damaged.
        if (type <= previousType)
            return unreadable;
        previousType = type;
        if (type == deferred && deferred != 0) {
            if (own == tie)
                found.deferred = SectionPlace{at + kTieSize + kCheckSize, payload, check, expected};
        } else {
            const QByteArray bytes = file.read(payload);
            if (bytes.size() != payload)
                return unreadable;
            check.add(bytes.constData(), bytes.size());
            if (check.value() != expected)
                return unreadable;
            if (own == tie)
                found.payloads.insert(type, bytes);
        }
        at += qint64(length);
        if (!file.seek(at))
            return unreadable;
    }
    return found;
}

bool writeSections(const QString &path, const IndexTie &tie, const QMap<quint32, QByteArray> &sections)
{
    const QByteArray target = LogPath::toBytes(path);
    struct stat st;
    if (::lstat(target.constData(), &st) == 0 ? !S_ISREG(st.st_mode) : errno != ENOENT)
        return false;

    QByteArray bytes(int(kFileHeader), '\0');
    qToBigEndian<quint32>(kMagic, bytes.data());
    qToBigEndian<quint16>(kVersion, bytes.data() + 4);
    for (auto it = sections.cbegin(); it != sections.cend(); ++it) {
        char head[kSectionHeader + kTieSize + kCheckSize];
        qToBigEndian<quint32>(it.key(), head);
        qToBigEndian<quint64>(quint64(kTieSize + kCheckSize + it.value().size()), head + 4);
        qToBigEndian<qint64>(tie.size, head + 12);
        qToBigEndian<qint64>(tie.timeMs, head + 20);
        qToBigEndian<quint64>(tie.hash, head + 28);
        IndexHash check;
        check.add(head, 4);
        check.add(head + kSectionHeader, kTieSize);
        check.add(it.value().constData(), it.value().size());
        qToBigEndian<quint64>(check.value(), head + 36);
        bytes.append(head, int(sizeof head));
        bytes.append(it.value());
    }

    // Written beside the old file and renamed over it: a reader sees one of
    // the two whole. A part left by a crash never gets the file's name.
    QByteArray temp;
    int fd = -1;
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
        temp = target + '.' + QByteArray::number(QRandomGenerator::global()->generate(), 36);
        fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd < 0 && errno != EEXIST)
            return false;
    }
    if (fd < 0)
        return false;
    bool ok = writeAll(fd, bytes.constData(), bytes.size());
    ok = ::close(fd) == 0 && ok && ::rename(temp.constData(), target.constData()) == 0;
    if (!ok)
        ::unlink(temp.constData());
    return ok;
}

void remove(const QString &path)
{
    const QByteArray name = LogPath::toBytes(path);
    struct stat st;
    if (::lstat(name.constData(), &st) == 0 && S_ISREG(st.st_mode))
        ::unlink(name.constData());
}

namespace {

QByteArray stampOf(const struct stat &st)
{
    return QByteArray::number(quint64(st.st_dev)) + ' ' + QByteArray::number(quint64(st.st_ino)) + ' '
           + QByteArray::number(qint64(st.st_size)) + ' ' + QByteArray::number(qint64(st.st_mtim.tv_sec)) + '.'
           + QByteArray::number(qint64(st.st_mtim.tv_nsec)) + ' ' + QByteArray::number(qint64(st.st_ctim.tv_sec))
           + '.' + QByteArray::number(qint64(st.st_ctim.tv_nsec));
}

} // namespace

QByteArray fileStamp(const QString &path)
{
    // A replaced file has a new inode; a rewritten one a new size or time.
    struct stat st;
    if (::lstat(LogPath::toBytes(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return QByteArray();
    return stampOf(st);
}

QByteArray fileStamp(const QFile &file)
{
    struct stat st;
    if (file.handle() < 0 || ::fstat(file.handle(), &st) != 0 || !S_ISREG(st.st_mode))
        return QByteArray();
    return stampOf(st);
}

} // namespace companion
