#include "backgroundsync.h"

#include <cerrno>

#include <unistd.h>

BackgroundSync::BackgroundSync(int fd, qint64 piece)
    : m_fd(fd)
    , m_piece(piece)
    , m_thread(&BackgroundSync::run, this)
{
}

BackgroundSync::~BackgroundSync()
{
    finish();
}

int BackgroundSync::wrote(qint64 total)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_written = total;
    if (m_written - m_synced >= m_piece)
        m_changed.notify_all();
    return m_error;
}

int BackgroundSync::finish()
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_closing = true;
        m_changed.notify_all();
    }
    if (m_thread.joinable())
        m_thread.join();
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_error;
}

void BackgroundSync::run()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_closing || m_written - m_synced >= m_piece; });
        // The sync that ends the write is the caller's.
        if (m_closing)
            return;
        const qint64 upTo = m_written;
        lock.unlock();
        // While this waits for the disk the writing goes on; the next sync
        // covers all that came meanwhile.
        int error = 0;
        while (::fdatasync(m_fd) != 0 && (error = errno) == EINTR)
            error = 0;
        lock.lock();
        m_synced = upTo;
        if (error == EINVAL || error == EROFS) {
            m_closing = true; // nothing to sync here
            return;
        }
        // A failed sync must fail the save: the kernel forgets the error,
        // and the sync that ends the write could then pass although the
        // bytes it reported are lost.
        if (error) {
            m_error = error;
            m_closing = true;
            return;
        }
    }
}
