#include "runcounts.h"

#include <algorithm>

namespace {

// The first checkpoint of `block` or later.
template <typename It>
It firstOf(It begin, It end, int block)
{
    return std::lower_bound(begin, end, block, [](const RunCounts::Checkpoint &c, int b) { return c.block < b; });
}

} // namespace

RunCounts::RunCounts()
{
    m_rowsBefore.append(0);
    m_refusedBefore.append(0);
}

void RunCounts::clear()
{
    m_counts.clear();
    m_rowsBefore.clear();
    m_rowsBefore.append(0);
    m_refusedBefore.clear();
    m_refusedBefore.append(0);
    m_checkpoints.clear();
}

void RunCounts::setFirstBlock(int block)
{
    m_firstBlock = block;
}

void RunCounts::add(qint32 count, qint32 refused)
{
    m_counts.append(count);
    m_rowsBefore.append(m_rowsBefore.last() + count);
    m_refusedBefore.append(m_refusedBefore.last() + refused);
}

void RunCounts::takeLast(qint32 *count, qint32 *refused)
{
    *count = m_counts.takeLast();
    m_rowsBefore.removeLast();
    *refused = m_refusedBefore.takeLast() - m_refusedBefore.last();
}

const QList<qint32> &RunCounts::counts() const
{
    return m_counts;
}

qint32 RunCounts::countOf(int block) const
{
    return m_counts.value(block - m_firstBlock);
}

int RunCounts::blockForRow(int row) const
{
    const auto first = m_rowsBefore.cbegin() + 1;
    const auto it = std::upper_bound(first, m_rowsBefore.cend(), row);
    return m_firstBlock + int(it - first);
}

int RunCounts::rowsBefore(int block) const
{
    const int i = std::clamp(block - m_firstBlock, 0, int(m_counts.size()));
    return m_rowsBefore.at(i);
}

int RunCounts::refusalsBefore(int block) const
{
    const int i = std::clamp(block - m_firstBlock, 0, int(m_counts.size()));
    return m_refusedBefore.at(i);
}

void RunCounts::addCheckpoint(const Checkpoint &checkpoint)
{
    m_checkpoints.push_back(checkpoint);
}

bool RunCounts::hasCheckpoints(int block) const
{
    const auto it = firstOf(m_checkpoints.cbegin(), m_checkpoints.cend(), block);
    return it != m_checkpoints.cend() && it->block == block;
}

int RunCounts::checkpointRow(int block, qint64 offset) const
{
    for (auto c = firstOf(m_checkpoints.cbegin(), m_checkpoints.cend(), block);
         c != m_checkpoints.cend() && c->block == block; ++c) {
        if (c->offset == offset)
            return c->row;
    }
    return -1;
}

const RunCounts::Checkpoint *RunCounts::checkpointBefore(int block, int row) const
{
    const auto after = std::upper_bound(m_checkpoints.cbegin(), m_checkpoints.cend(), std::make_pair(block, row),
                                        [](const std::pair<int, int> &at, const Checkpoint &c) {
                                            return at.first < c.block || (at.first == c.block && at.second < c.row);
                                        });
    if (after != m_checkpoints.cbegin() && std::prev(after)->block == block)
        return &*std::prev(after);
    return nullptr;
}

const RunCounts::Checkpoint *RunCounts::keepCheckpointsBefore(int block, qint64 end)
{
    const auto ofBlock = firstOf(m_checkpoints.begin(), m_checkpoints.end(), block);
    m_checkpoints.erase(std::find_if(ofBlock, m_checkpoints.end(),
                                     [block, end](const Checkpoint &c) { return c.block != block || c.offset >= end; }),
                        m_checkpoints.end());
    if (!m_checkpoints.empty() && m_checkpoints.back().block == block)
        return &m_checkpoints.back();
    return nullptr;
}
