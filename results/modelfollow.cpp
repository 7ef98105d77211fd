// Following a growing log: the counts of a finished run carried on over the
// blocks the log gained since, without running the counted ones again.
#include "cstringlistmodel.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPointer>

#include <algorithm>

#include "clog.h"
#include "cmatcher.h"
#include "filtermatch.h"

namespace {

// Work between two turns of the event loop: following happens while the
// user reads, so the window must stay quick.
constexpr qint64 followSliceMs = 15;

} // namespace

void CStringListModel::rememberLog()
{
    m_knownPath = m_log ? m_log->logPath() : QString();
    m_knownBlocks = m_log ? m_log->blockCount() : 0;
    m_knownLastOffset = m_log ? m_log->blockOffset(m_knownBlocks - 1) : -1;
}

bool CStringListModel::isComplete() const
{
    return m_complete;
}

void CStringListModel::detachLog()
{
    m_log = nullptr;
    m_complete = false;
}

CStringListModel::Growth CStringListModel::followGrowth()
{
    if (!m_log || m_running || !m_complete || m_log->logPath() != m_knownPath)
        return Growth::None;
    const int blocks = m_log->blockCount();
    // Growth keeps every block but the last as it was; anything else means
    // other blocks under the same numbers.
    if (m_knownBlocks == 0 || blocks < m_knownBlocks
        || m_log->blockOffset(m_knownBlocks - 1) != m_knownLastOffset)
        return Growth::NeedsRun;
    // The run's span keeps its start; a range with an end of its own grows
    // only as far as blocks can hold records up to that end.
    int spanFirst = 0;
    int newLast = -1;
    m_log->blocksFor(m_span, &spanFirst, &newLast);
    if (newLast < m_lastBlock)
        return m_lastBlock < m_firstBlock ? Growth::None : Growth::NeedsRun;

    const int countedEnd = m_firstBlock + int(m_blockCounts.size());
    // The log's old last block may have gained records of its second; a
    // block of the range before it cannot have changed.
    int from = m_lastBlock + 1;
    if (m_lastBlock == m_knownBlocks - 1)
        from = m_lastBlock;
    from = std::max(m_firstBlock, std::min(from, countedEnd));
    if (from > newLast) {
        rememberLog();
        return Growth::None;
    }

    // The block counted again leaves the counts and the window; it comes
    // back with the rows it has now.
    qint32 keptCount = 0;
    qint32 keptRefused = 0;
    if (from < countedEnd) {
        keptCount = m_blockCounts.takeLast();
        m_rowsBefore.removeLast();
        keptRefused = m_refusedBefore.takeLast() - m_refusedBefore.last();
    }
    const bool fromInWindow = m_windowEndBlock > from && m_windowStartBlock <= from;
    if (m_windowEndBlock > from) {
        while (m_windowEndBlock > from && !m_window.isEmpty()) {
            m_windowRowCount -= m_window.takeLast().size();
            --m_windowEndBlock;
        }
        m_windowOffsetsValid = false;
        if (m_window.isEmpty()) {
            m_windowStartBlock = m_windowEndBlock = from;
            m_windowFirstRow = m_rowsBefore.last();
            m_windowRowCount = 0;
        }
    }

    const qint32 rowsAtStart = m_rowTotal;
    bool takenBack = false;
    m_lastBlock = newLast;
    m_cancelled = false;
    m_complete = false;
    QPointer<CStringListModel> alive(this);
    struct Running
    {
        QPointer<CStringListModel> model;
        ~Running()
        {
            if (model)
                model->m_running = false;
        }
    } running{alive};
    m_running = true;

    const CMatcher &criteria = matcher();
    // The window takes the new rows while it ends where they begin and is
    // not yet a first window's size, so rows that fit on screen are there.
    const qint32 windowRows = 10 * m_pageRows;
    QElapsedTimer slice;
    slice.start();
    const auto turn = [&]() {
        if (slice.elapsed() >= followSliceMs) {
            publishCountedRows();
            QCoreApplication::processEvents();
            if (!alive)
                return false;
            slice.restart();
        }
        return !m_cancelled;
    };
    const auto padCountsTo = [this](int block) {
        while (m_firstBlock + m_blockCounts.size() < block)
            addBlockCount(0, 0);
    };
    bool stopped = false;
    m_log->forEachBlock(from, newLast, [&](int block, const QStringList &texts) {
        padCountsTo(block);
        const bool filling =
            m_windowEndBlock == block && ((block == from && fromInWindow) || m_windowRowCount < windowRows);
        MatchStop stop;
        QStringList rows;
        int count = 0;
        int refused = 0;
        if (filling) {
            if (!walkMatches(criteria, texts, &stop,
                             [&](int i) {
                                 rows.append(userNameOf(texts.at(i)) + QLatin1Char('\t') + texts.at(i));
                                 refused += isRefusalText(texts.at(i));
                             },
                             turn))
                return false;
            count = rows.size();
        } else if (criteria.matchesEverything()) {
            count = texts.size();
            refused = int(std::count_if(texts.cbegin(), texts.cend(), isRefusalText));
        } else if (!walkMatches(criteria, texts, &stop,
                                [&](int i) {
                                    ++count;
                                    refused += isRefusalText(texts.at(i));
                                },
                                turn)) {
            return false;
        }
        if (block == from && count < keptCount) {
            // While it was the log's last block it was read to the end of
            // the file, so records appended after the index was made were
            // counted in it; their rows go now and come back under their
            // own blocks. They are the last rows.
            const qint32 first = m_rowsBefore.last() + count;
            if (first < m_rowTotal) {
                takenBack = true;
                beginRemoveRows(QModelIndex(), first, m_rowTotal - 1);
                m_rowTotal = first;
                endRemoveRows();
            }
        }
        addBlockCount(count, refused);
        if (filling && m_windowEndBlock == block) {
            m_window.append(rows);
            m_windowOffsetsValid = false;
            m_windowRowCount += rows.size();
            ++m_windowEndBlock;
        }
        if (stop.stopped()) {
            m_stop = stop;
            m_stopBlock = block;
            stopped = true;
            return false;
        }
        return turn();
    }, m_span);
    if (!alive)
        return Growth::None;
    // A block the reader could not reach counts as empty, as in a run; a
    // block given up before its count keeps the rows it had.
    if (m_firstBlock + m_blockCounts.size() <= from && keptCount > 0)
        addBlockCount(keptCount, keptRefused);
    if (!m_cancelled && !stopped)
        padCountsTo(newLast + 1);
    publishCountedRows();
    m_complete = !m_cancelled && !stopped;
    rememberLog();
    return m_rowTotal > rowsAtStart || takenBack ? Growth::Added : Growth::None;
}
