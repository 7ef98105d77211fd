#include "savetarget.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

// Bytes forced to disk between two calls of `between`.
constexpr off_t kSyncPiece = 8 << 20;

} // namespace

SaveTarget::SaveTarget(const QString &fileName) : m_fileName(fileName), m_saveFile(fileName), m_file(fileName)
{
    // Through a symbolic link it is the link's target that is replaced.
    struct stat st;
    if (::stat(QFile::encodeName(fileName).constData(), &st) == 0 && S_ISREG(st.st_mode))
        m_inPlace = st.st_nlink > 1 || st.st_uid != ::geteuid() || st.st_gid != ::getegid();
    // A folder that takes no new file: the file itself, when it can be written.
    m_saveFile.setDirectWriteFallback(true);
}

bool SaveTarget::open()
{
    const bool opened = m_inPlace ? m_file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)
                                  : m_saveFile.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    if (!opened)
        m_error = m_inPlace ? m_file.errorString() : m_saveFile.errorString();
    return opened;
}

int SaveTarget::handle() const
{
    return m_inPlace ? m_file.handle() : m_saveFile.handle();
}

void SaveTarget::cancelWriting()
{
    if (m_inPlace)
        m_file.close();
    else
        m_saveFile.cancelWriting();
}

bool SaveTarget::commit(const std::function<void()> &between)
{
    // The final sync of a large file takes seconds: most of it is done here
    // in pieces, with a call of `between` after each, so the sync that ends
    // the write finds little left to do.
    const int fd = handle();
    struct stat st;
    if (fd >= 0 && ::fstat(fd, &st) == 0) {
        for (off_t offset = 0; offset < st.st_size; offset += kSyncPiece) {
            if (::sync_file_range(fd, offset, kSyncPiece,
                                  SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER)
                != 0)
                break; // not supported here: the closing sync does it all
            if (between)
                between();
        }
    }
    if (!m_inPlace) {
        if (!m_saveFile.commit()) {
            m_error = m_saveFile.errorString();
            return false;
        }
        return true;
    }
    const bool synced = ::fsync(fd) == 0 || errno == EINVAL;
    if (!synced)
        m_error = QString::fromLocal8Bit(std::strerror(errno));
    m_file.close();
    if (synced && m_file.error() != QFileDevice::NoError)
        m_error = m_file.errorString();
    return synced && m_error.isEmpty();
}

QString SaveTarget::errorString() const
{
    return m_error;
}
