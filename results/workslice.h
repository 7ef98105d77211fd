// The pace of the model's long operations: slices of work between turns of
// the event loop, and progress in about a hundred steps.
#ifndef WORKSLICE_H
#define WORKSLICE_H

#include <QCoreApplication>
#include <QPointer>

#include <time.h>

namespace workslice {

// How long an operation works between two turns of the event loop.
constexpr qint64 sliceMs = 30;

// Milliseconds of the coarse monotonic clock: read after every record, so
// it must cost next to nothing; its few milliseconds of resolution are
// plenty for a slice.
inline qint64 coarseMs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
    return qint64(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// A slice of work that began when made or last restarted.
class Slice
{
public:
    // True once `ms` have passed since the slice began.
    bool over(qint64 ms = sliceMs) const { return coarseMs() - m_start >= ms; }
    void restart() { m_start = coarseMs(); }

private:
    qint64 m_start = coarseMs();
};

// Runs the event loop when the slice is used up; false when the model
// went away meanwhile.
template <typename Model>
bool turnIfDue(Slice &slice, const QPointer<Model> &alive)
{
    if (!slice.over())
        return true;
    QCoreApplication::processEvents();
    slice.restart();
    return !alive.isNull();
}

// Progress is reported in about a hundred steps over a range of blocks.
class ProgressSteps
{
public:
    explicit ProgressSteps(int blocks) : m_step(blocks / 100 + 1), m_next(m_step) {}
    // True once per step: when `offset` has reached the next step.
    bool due(int offset)
    {
        if (offset < m_next)
            return false;
        m_next += m_step;
        return true;
    }

private:
    int m_step;
    int m_next;
};

} // namespace workslice

#endif
