#include "pathwordsworker.h"

#include <system_error>

PathWordsWorker::PathWordsWorker(bool threaded)
{
    // Without a thread (the process may make no more), the words are
    // made as they are handed over, on the walk's own.
    try {
        if (threaded)
            m_thread = std::thread([this] { run(); });
    } catch (const std::system_error &) {
    }
}

PathWordsWorker::~PathWordsWorker()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void PathWordsWorker::restart()
{
    Job job;
    job.kind = Job::Restart;
    send(std::move(job));
}

QByteArray PathWordsWorker::add(const QByteArray &texts, int capacity)
{
    QByteArray next;
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        const auto roomy = [this] {
            return m_bytesWaiting < kWaitingBytes && m_buffersWaiting < kWaitingBuffers;
        };
        if (!roomy()) {
            m_changed.notify_all();
            m_changed.wait(lock, roomy);
        }
        m_bytesWaiting += texts.size();
        ++m_buffersWaiting;
        Job job;
        job.texts = texts;
        m_jobs.push_back(std::move(job));
        if (!m_thread.joinable())
            work(lock);
        if (!m_spare.empty()) {
            next = std::move(m_spare.back());
            m_spare.pop_back();
        }
    }
    m_sinceWake += texts.size();
    if (m_sinceWake >= kWake) {
        m_sinceWake = 0;
        m_changed.notify_all();
    }
    // A buffer that whoever read it still holds is left to them.
    if (next.isDetached())
        next.resize(0);
    else
        next = QByteArray();
    if (next.capacity() < capacity)
        next.reserve(capacity);
    return next;
}

void PathWordsWorker::finish(int group, qint64 start, qint64 end)
{
    Job job;
    job.kind = Job::Finish;
    job.finished.group = group;
    job.finished.start = start;
    job.finished.end = end;
    send(std::move(job));
}

std::vector<PathWordsWorker::Group> PathWordsWorker::take(bool wait)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    if (wait) {
        m_sinceWake = 0;
        m_changed.notify_all();
        m_changed.wait(lock, [this] { return m_jobs.empty() && !m_busy; });
    }
    std::vector<Group> made;
    made.swap(m_made);
    return made;
}

void PathWordsWorker::send(Job job)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_jobs.push_back(std::move(job));
    if (!m_thread.joinable())
        work(lock);
    // The thread is woken by the texts that follow, or when the words
    // are asked for.
}

void PathWordsWorker::run()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_stop || !m_jobs.empty(); });
        if (m_stop)
            return;
        work(lock);
    }
}

void PathWordsWorker::work(std::unique_lock<std::mutex> &lock)
{
    while (!m_jobs.empty() && !m_stop) {
        Job job = std::move(m_jobs.front());
        m_jobs.pop_front();
        m_busy = true;
        lock.unlock();
        switch (job.kind) {
        case Job::Texts:
            // A NUL is no letter: no word reaches from one text into the next.
            m_words.addText(job.texts.constData(), job.texts.size());
            break;
        case Job::Restart:
            m_words = PathWords();
            break;
        case Job::Finish:
            job.finished.words = m_words;
            m_words = PathWords();
            break;
        }
        lock.lock();
        m_busy = false;
        if (job.kind == Job::Texts) {
            m_bytesWaiting -= job.texts.size();
            --m_buffersWaiting;
            if (m_spare.size() < kSpare)
                m_spare.push_back(std::move(job.texts));
        } else if (job.kind == Job::Finish) {
            m_made.push_back(job.finished);
        }
        m_changed.notify_all();
    }
}
