// Makes the path words of groups of blocks on a thread of its own, from the
// buffers of texts a walk has filled and handed on anyway, so that a walk
// asking a path question for the first time takes about as long as one that
// does not: the buffers are shared, not copied, and the words cost the walk
// only the handing over of each buffer.
#ifndef PATHWORDSWORKER_H
#define PATHWORDSWORKER_H

#include "blocksummary.h"

#include <QByteArray>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

class PathWordsWorker
{
public:
    // The words of one group, and the extent of its blocks in the log
    // when their texts were handed over.
    struct Group
    {
        int group = -1;
        qint64 start = 0;
        qint64 end = 0;
        PathWords words;
    };

    // `threaded` false, or no thread to be had: every call does its work
    // before it returns.
    explicit PathWordsWorker(bool threaded = true);
    // Forgets what is waiting and what was made, and ends the thread.
    ~PathWordsWorker();
    PathWordsWorker(const PathWordsWorker &) = delete;
    PathWordsWorker &operator=(const PathWordsWorker &) = delete;

    // Starts a group anew: what was handed over since the last finish()
    // makes no group.
    void restart();
    // Takes a share of `texts` (NUL-ended texts one after another) and
    // returns an empty buffer of at least `capacity` bytes to fill next;
    // waits while the thread has a few hundred kilobytes still to do, so
    // that their memory stays bounded.
    QByteArray add(const QByteArray &texts, int capacity);
    // The texts handed over since restart() are those of `group`, whose
    // blocks lie from `start` to `end` in the log.
    void finish(int group, qint64 start, qint64 end);
    // The groups made since the last call; with `wait`, after every group
    // finished so far is made.
    std::vector<Group> take(bool wait);

private:
    // The thread is woken once per kWake bytes handed over, not per
    // buffer: a block's buffer holds a few kilobytes, and a wake-up costs
    // the walk about as much as a block's words cost the thread.
    static constexpr qint64 kWake = 256 << 10;
    // What may wait for the thread, in bytes and in buffers; and buffers
    // kept for reuse.
    static constexpr qint64 kWaitingBytes = 4 * kWake;
    static constexpr size_t kWaitingBuffers = 256;
    static constexpr size_t kSpare = 64;

    struct Job
    {
        enum Kind { Texts, Restart, Finish } kind = Texts;
        QByteArray texts;
        Group finished;
    };

    void send(Job job);
    void run();
    // Does the jobs waiting, `lock` held on m_mutex between them.
    void work(std::unique_lock<std::mutex> &lock);

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Job> m_jobs;            // guarded by m_mutex
    std::vector<QByteArray> m_spare;   // buffers done with; guarded
    std::vector<Group> m_made;         // guarded
    qint64 m_bytesWaiting = 0;         // guarded
    size_t m_buffersWaiting = 0;       // guarded
    qint64 m_sinceWake = 0;            // the walk's alone
    PathWords m_words;                 // the thread's alone: the group being made
    bool m_busy = false;               // guarded: a job is being done
    bool m_stop = false;               // guarded
    std::thread m_thread;              // last: starts once the rest is made
};

#endif
