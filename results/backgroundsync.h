// Forces a file's written bytes to disk on a thread of its own while the
// writing goes on, so that the sync which ends a save finds little left to
// do instead of all of it.
#ifndef BACKGROUNDSYNC_H
#define BACKGROUNDSYNC_H

#include <QtGlobal>

#include <condition_variable>
#include <mutex>
#include <thread>

class BackgroundSync
{
public:
    // Syncs the descriptor `fd` (not owned; open until finish()) each time
    // `piece` more bytes have been written.
    explicit BackgroundSync(int fd, qint64 piece = 16 << 20);
    // Waits for the sync under way.
    ~BackgroundSync();
    BackgroundSync(const BackgroundSync &) = delete;
    BackgroundSync &operator=(const BackgroundSync &) = delete;

    // The file now holds `total` bytes; never waits for a sync. The errno
    // of a sync that failed, or 0: the write should end then.
    int wrote(qint64 total);
    // Waits for the sync under way and ends the thread; the errno of the
    // first sync that failed, or 0. A file that cannot be synced (a pipe,
    // a terminal) is no failure.
    int finish();

private:
    void run();

    const int m_fd;
    const qint64 m_piece;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    qint64 m_written = 0;
    qint64 m_synced = 0;
    bool m_closing = false;
    int m_error = 0;
    std::thread m_thread;
};

#endif
