#include "savetarget.h"

#include "logpath.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace {

// Bytes forced to disk between two calls of `between`.
constexpr off_t kSyncPiece = 8 << 20;

// A sync that a file of this kind cannot take (a pipe, a terminal) is no
// failure.
bool syncs(int fd)
{
    int result;
    while ((result = ::fsync(fd)) != 0 && errno == EINTR) {
    }
    return result == 0 || errno == EINVAL || errno == EROFS;
}

// All `size` bytes at `data`, a write cut short tried again for the rest;
// the errno when that fails.
int putAll(int fd, const char *data, size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? errno : EIO;
        data += n;
        size -= size_t(n);
    }
    return 0;
}

} // namespace

SaveTarget::SaveTarget(const QString &fileName) : m_name(LogPath::toBytes(fileName)), m_target(m_name)
{
    struct stat st;
    if (m_name.isEmpty() || ::stat(m_name.constData(), &st) != 0)
        return;
    m_exists = true;
    m_mode = st.st_mode & 07777;
    if (!S_ISREG(st.st_mode)) {
        m_way = Way::Direct;
        return;
    }
    // Through a symbolic link it is the link's target that is replaced.
    if (char *real = ::realpath(m_name.constData(), nullptr)) {
        m_target = QByteArray(real);
        std::free(real);
    }
    if (st.st_nlink > 1 || st.st_uid != ::geteuid() || st.st_gid != ::getegid())
        m_way = Way::CopyIn;
}

SaveTarget::~SaveTarget()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    dropStaged();
}

bool SaveTarget::fail(int error)
{
    m_error = qt_error_string(error);
    return false;
}

void SaveTarget::dropStaged()
{
    if (!m_staged.isEmpty())
        ::unlink(m_staged.constData());
    m_staged.clear();
}

// A new file in `folder` named after the target, created where no file is,
// so that nothing of another writer is taken over.
bool SaveTarget::openBeside(const QByteArray &folder)
{
    const int slash = m_target.lastIndexOf('/');
    const QByteArray base = slash < 0 ? m_target : m_target.mid(slash + 1);
    for (int attempt = 0; attempt < 32; ++attempt) {
        const QByteArray name = folder + base + '.'
                                + QByteArray::number(QRandomGenerator::global()->generate64() & 0xFFFFFFFFFFFF, 36);
        const int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            m_fd = fd;
            m_staged = name;
            return true;
        }
        if (errno != EEXIST)
            return false;
    }
    return false;
}

bool SaveTarget::open()
{
    m_error.clear();
    if (m_name.isEmpty())
        return fail(ENOENT);
    if (m_way == Way::Direct) {
        // A FIFO waits here for its reader, as any writer's open does; a
        // signal that ends the wait ends the save.
        m_fd = ::open(m_name.constData(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
        return m_fd >= 0 || fail(errno);
    }
    const int slash = m_target.lastIndexOf('/');
    const QByteArray folder = slash < 0 ? QByteArray() : m_target.left(slash + 1);
    if (openBeside(folder)) {
        // The new file is as open to others as the old one was.
        if (m_way == Way::Replace && m_exists)
            ::fchmod(m_fd, m_mode);
        return true;
    }
    // Staged where temporary files go, when the file's own folder takes
    // none: it is copied in all the same.
    if (m_way == Way::CopyIn && openBeside(QFile::encodeName(QDir::tempPath()) + '/')) {
        ::fchmod(m_fd, S_IRUSR | S_IWUSR);
        return true;
    }
    m_way = Way::InPlace;
    m_fd = ::open(m_name.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_NOCTTY | O_CLOEXEC, 0666);
    return m_fd >= 0 || fail(errno);
}

void SaveTarget::cancelWriting()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    dropStaged();
}

bool SaveTarget::copyIn()
{
    const int to = ::open(m_target.constData(), O_WRONLY | O_TRUNC | O_NOCTTY | O_CLOEXEC);
    int error = to < 0 ? errno : 0;
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    for (off_t at = 0; !error;) {
        const ssize_t n = ::pread(m_fd, buffer.data(), size_t(buffer.size()), at);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error = n < 0 ? errno : 0;
            break;
        }
        error = putAll(to, buffer.constData(), size_t(n));
        at += n;
    }
    if (!error && !syncs(to))
        error = errno;
    if (to >= 0 && ::close(to) != 0 && !error)
        error = errno;
    if (!error) {
        dropStaged();
        return true;
    }
    // The whole result is kept where it was written, and the target is
    // said to be cut short.
    m_error = QCoreApplication::translate("SaveTarget", "%1; the file is incomplete, the whole result is in %2")
                  .arg(qt_error_string(error), LogPath::readable(LogPath::fromBytes(m_staged)));
    m_staged.clear();
    return false;
}

bool SaveTarget::commit(const std::function<void()> &between, const std::function<bool()> &proceed)
{
    m_abandoned = false;
    if (m_fd < 0)
        return fail(EBADF);
    // The final sync of a large file takes seconds: most of it is done here
    // in pieces, with a call of `between` after each, so the sync that ends
    // the write finds little left to do.
    struct stat st;
    if (::fstat(m_fd, &st) == 0 && S_ISREG(st.st_mode)) {
        for (off_t offset = 0; offset < st.st_size; offset += kSyncPiece) {
            if (::sync_file_range(m_fd, offset, kSyncPiece,
                                  SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER)
                != 0)
                break; // not supported here: the closing sync does it all
            if (between)
                between();
        }
    }
    int error = syncs(m_fd) ? 0 : errno;
    if (m_way == Way::Direct || m_way == Way::InPlace) {
        // The rows are where they belong as they are written.
        if (::close(m_fd) != 0 && !error)
            error = errno;
        m_fd = -1;
        return !error || fail(error);
    }
    if (error) {
        cancelWriting();
        return fail(error);
    }
    if (proceed && !proceed()) {
        cancelWriting();
        m_abandoned = true;
        return false;
    }
    if (m_way == Way::CopyIn) {
        const bool copied = copyIn();
        ::close(m_fd);
        m_fd = -1;
        return copied;
    }
    if (::close(m_fd) != 0) {
        m_fd = -1;
        error = errno;
        cancelWriting();
        return fail(error);
    }
    m_fd = -1;
    if (::rename(m_staged.constData(), m_target.constData()) != 0) {
        error = errno;
        dropStaged();
        return fail(error);
    }
    m_staged.clear();
    return true;
}
