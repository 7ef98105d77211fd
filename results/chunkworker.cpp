#include "chunkworker.h"

#include <cerrno>

#include <unistd.h>

namespace {

// Chunks waiting: enough to keep the worker busy while the next one is made.
constexpr size_t kQueueDepth = 3;

} // namespace

ChunkWorker::ChunkWorker(std::function<int(const QByteArray &chunk)> consume)
    : m_consume(std::move(consume))
    , m_thread(&ChunkWorker::run, this)
{
}

ChunkWorker::~ChunkWorker()
{
    finish();
}

QByteArray ChunkWorker::buffer()
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (m_spare.empty())
        return QByteArray();
    QByteArray spare = std::move(m_spare.back());
    m_spare.pop_back();
    spare.resize(0);
    return spare;
}

bool ChunkWorker::hand(QByteArray chunk)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [this] { return m_queue.size() < kQueueDepth || m_error; });
    if (m_error || m_closing)
        return false;
    m_queue.push_back(std::move(chunk));
    m_changed.notify_all();
    return true;
}

bool ChunkWorker::finish()
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

int ChunkWorker::error() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_error;
}

void ChunkWorker::run()
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
        const int error = failed ? 0 : m_consume(chunk);
        lock.lock();
        if (error && !m_error)
            m_error = error;
        m_spare.push_back(std::move(chunk));
        m_changed.notify_all();
    }
}

int writeWhole(int fd, const char *data, qint64 size)
{
    // A write cut short (a full disk, the file-size limit) is tried again
    // for the rest, which fails with the reason.
    for (qint64 done = 0; done < size;) {
        const ssize_t n = ::write(fd, data + done, size_t(size - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? errno : EIO;
        done += n;
    }
    return 0;
}
