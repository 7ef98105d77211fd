// Writes chunks of bytes to a file on a thread of its own, so that the
// kernel's copy of one chunk overlaps the making of the next. Few chunks
// wait at a time: memory stays flat however much is written.
#ifndef CHUNKWRITER_H
#define CHUNKWRITER_H

#include <QByteArray>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

class ChunkWriter
{
public:
    // Writes to the open descriptor `fd`, which it does not own.
    explicit ChunkWriter(int fd);
    // Waits until everything handed over is written (or a write failed).
    ~ChunkWriter();
    ChunkWriter(const ChunkWriter &) = delete;
    ChunkWriter &operator=(const ChunkWriter &) = delete;

    // An empty buffer for the next chunk, with the room of one given back.
    QByteArray buffer();
    // Queues `chunk`, waiting while the queue is full; false once a write
    // has failed (nothing more is written then).
    bool write(QByteArray chunk);
    // Waits until every chunk is written; false when a write failed.
    bool finish();
    // The errno of the failed write; 0 while none failed.
    int error() const;

private:
    void run();

    const int m_fd;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<QByteArray> m_queue;
    std::vector<QByteArray> m_spare;
    bool m_closing = false;
    int m_error = 0;
    std::thread m_thread;
};

#endif
