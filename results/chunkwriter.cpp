#include "chunkwriter.h"

#include <cerrno>

#include <unistd.h>

namespace {

// Chunks waiting: enough to keep the writing thread busy while the next
// one is made.
constexpr size_t kQueueDepth = 3;

} // namespace

ChunkWriter::ChunkWriter(int fd)
    : m_fd(fd)
    , m_thread(&ChunkWriter::run, this)
{
}

ChunkWriter::~ChunkWriter()
{
    finish();
}

QByteArray ChunkWriter::buffer()
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (m_spare.empty())
        return QByteArray();
    QByteArray spare = std::move(m_spare.back());
    m_spare.pop_back();
    spare.resize(0);
    return spare;
}

bool ChunkWriter::write(QByteArray chunk)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [this] { return m_queue.size() < kQueueDepth || m_error; });
    if (m_error || m_closing)
        return false;
    m_queue.push_back(std::move(chunk));
    m_changed.notify_all();
    return true;
}

bool ChunkWriter::finish()
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_closing = true;
        m_changed.notify_all();
    }
    if (m_thread.joinable())
        m_thread.join();
    return error() == 0;
}

int ChunkWriter::error() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_error;
}

void ChunkWriter::run()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return !m_queue.empty() || m_closing; });
        if (m_queue.empty())
            return;
        QByteArray chunk = std::move(m_queue.front());
        m_queue.pop_front();
        const bool failed = m_error != 0;
        lock.unlock();
        int error = 0;
        // A write cut short (a full disk, the file-size limit) is tried
        // again for the rest, which fails with the reason.
        for (qint64 done = 0; !failed && done < chunk.size();) {
            const ssize_t n = ::write(m_fd, chunk.constData() + done, size_t(chunk.size() - done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                error = n < 0 ? errno : EIO;
                break;
            }
            done += n;
        }
        lock.lock();
        if (error && !m_error)
            m_error = error;
        m_spare.push_back(std::move(chunk));
        m_changed.notify_all();
    }
}
