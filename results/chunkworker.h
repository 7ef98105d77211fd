// Hands chunks of bytes to a function that runs on a thread of its own, so
// that the work on one chunk (writing it to a file, making rows of another
// format of it, counting it) overlaps the making of the next. Few chunks
// wait at a time: memory stays flat however much passes through.
#ifndef CHUNKWORKER_H
#define CHUNKWORKER_H

#include <QByteArray>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class ChunkWorker
{
public:
    // `consume` runs on the worker's thread, on one chunk at a time in the
    // order they came, and gives 0, or an errno that ends the work: the
    // chunks after it are not consumed. It may touch what the caller does
    // not touch until finish() has returned.
    explicit ChunkWorker(std::function<int(const QByteArray &chunk)> consume);
    // Waits until every chunk handed over is consumed (or one failed).
    ~ChunkWorker();
    ChunkWorker(const ChunkWorker &) = delete;
    ChunkWorker &operator=(const ChunkWorker &) = delete;

    // An empty buffer for the next chunk, with the room of one given back.
    QByteArray buffer();
    // Queues `chunk`, waiting while the queue is full; false once a chunk
    // has failed (nothing more is consumed then).
    bool hand(QByteArray chunk);
    // Waits until every chunk is consumed; false when one failed.
    bool finish();
    // The errno of the failed chunk; 0 while none failed.
    int error() const;

private:
    void run();

    const std::function<int(const QByteArray &)> m_consume;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<QByteArray> m_queue;
    std::vector<QByteArray> m_spare;
    bool m_closing = false;
    int m_error = 0;
    std::thread m_thread;
};

// Writes the `size` bytes at `data` to the descriptor `fd`, again after an
// interruption and for the rest of a short write; 0, or the errno of the
// failure (EIO for a write that takes nothing).
int writeWhole(int fd, const char *data, qint64 size);

#endif
