// Find: the next or the previous row that holds a text, read again from
// the log around the rows the views have.
#include "cstringlistmodel.h"

#include <QPointer>

#include <algorithm>
#include <vector>

#include "cmatcher.h"
#include "filtermatch.h"
#include "rowtext.h"
#include "workslice.h"

using workslice::Slice;
using workslice::turnIfDue;

int CStringListModel::pieceRows(const CLog::TextPiece &piece, int *blockRows, QStringList *rows, MatchStop *stop,
                                const std::function<bool()> &between)
{
    // The rows of the block before the piece: from the run's checkpoint
    // where it left one, else as counted on the way.
    if (piece.firstText == 0 && piece.start == m_logs->blockOffset(piece.block))
        *blockRows = 0;
    else if (const int row = m_counts.checkpointRow(piece.block, piece.start); row >= 0)
        *blockRows = row;
    const int firstRow = rowsBefore(piece.block) + *blockRows;
    *stop = MatchStop();
    if (rows) {
        rows->clear();
        const auto take = [&](int, const char *text, qsizetype length) {
            rows->append(resultRow(QString::fromUtf8(text, int(length))));
        };
        if (!walkMatchesUtf8(matcher(), piece.texts, stop, take, between))
            return -1;
        // Row numbers come from the counts the view shows: a log that
        // changed since must not give a block more rows than it has there.
        const int room = std::max(0, m_counts.countOf(piece.block) - *blockRows);
        if (rows->size() > room)
            rows->erase(rows->begin() + room, rows->end());
        *blockRows += rows->size();
    } else {
        *blockRows += countMatchesUtf8(matcher(), piece.texts, stop);
    }
    return firstRow;
}





int CStringListModel::searchForward(const QString &text, int fromRow, Qt::CaseSensitivity cs)
{
    m_cancelled = false;
    m_stop = MatchStop();
    m_stopBlock = -1;
    // Only rows the views have are searched: the counted blocks of a run
    // that was cancelled, or is still counting, end the search.
    if (!m_logs || m_rowTotal == 0)
        return -1;
    const int first = blockForRow(std::max(fromRow, -1));
    const int last = std::min(m_lastBlock, blockForRow(m_rowTotal - 1));
    if (first > last)
        return -1;
    QPointer<CStringListModel> alive(this);
    Slice slice;
    const std::function<bool()> between = [&] { return turnIfDue(slice, alive) && !m_cancelled; };
    RowTextProbe probe(text, cs);
    const ResultWalk blocks = walk();
    int found = -1;
    bool ended = false;
    int block = -1;
    int blockRows = 0;
    emit valueMaximum(last - first);
    blocks.forEachPiece(first, last, [&](const CLog::TextPiece &piece) {
        if (!between()) {
            ended = true;
            return false;
        }
        if (piece.block != block) {
            block = piece.block;
            blockRows = 0;
            emit valueChanged(block - first);
        }
        const int counted = m_counts.countOf(block);
        if (counted == 0 || piece.texts.isEmpty())
            return true;
        // A piece that cannot hold the text is only counted, and only when
        // the rows of its block's later pieces are not known otherwise.
        const bool candidate = probe.mayContain(piece.texts);
        if (!candidate && (piece.last || m_counts.hasCheckpoints(block)))
            return true;
        QStringList rows;
        MatchStop stop;
        const int firstRow = pieceRows(piece, &blockRows, candidate ? &rows : nullptr, &stop, between);
        if (firstRow < 0) {
            ended = true;
            return false;
        }
        for (int i = 0; i < rows.size(); ++i) {
            const int row = firstRow + i;
            if (row >= m_rowTotal)
                return false;
            if (row > fromRow && rows.at(i).contains(text, cs)) {
                found = row;
                return false;
            }
        }
        // Shown rows after `fromRow` that could not be decided: any of them
        // may be the next hit.
        const int openFrom = std::max(rowsBefore(block) + blockRows, fromRow + 1);
        if (stop.stopped() && openFrom < std::min(rowsBefore(block) + counted, int(m_rowTotal))) {
            m_stop = stop;
            m_stop.index += piece.firstText;
            m_stopBlock = block;
            return false;
        }
        return true;
    });
    if (ended)
        return -1;
    return found;
}

int CStringListModel::searchBackward(const QString &text, int fromRow, Qt::CaseSensitivity cs)
{
    m_cancelled = false;
    m_stop = MatchStop();
    m_stopBlock = -1;
    if (!m_logs || m_rowTotal == 0 || fromRow <= 0)
        return -1;
    const int start = std::min({blockForRow(fromRow), blockForRow(m_rowTotal - 1), m_lastBlock});
    QPointer<CStringListModel> alive(this);
    Slice slice;
    const std::function<bool()> between = [&] { return turnIfDue(slice, alive) && !m_cancelled; };
    RowTextProbe probe(text, cs);
    const ResultWalk blocks = walk();
    // The log is read forwards in runs of blocks, each run before the one
    // read last, growing from a few blocks (a hit close by costs little) to
    // long sequential reads; only the pieces whose rows may hold the text
    // are read again, last first.
    struct Candidate
    {
        int block;
        qint64 start;
        int blockRows; // rows of the block before the piece, -1 when not known yet
    };
    int span = 64;
    std::vector<Candidate> candidates;
    emit valueMaximum(start - m_counts.firstBlock());
    for (int high = start; high >= m_counts.firstBlock(); span = std::min(span * 2, 8192)) {
        const int low = std::max(m_counts.firstBlock(), high - span + 1);
        candidates.clear();
        bool ended = false;
        int block = -1;
        int blockRows = 0;
        emit valueChanged(start - high);
        blocks.forEachPiece(low, high, [&](const CLog::TextPiece &piece) {
            if (!between()) {
                ended = true;
                return false;
            }
            if (piece.block != block) {
                block = piece.block;
                blockRows = 0;
            }
            if (m_counts.countOf(block) == 0 || piece.texts.isEmpty())
                return true;
            // The rows before each piece of a large block are counted on the
            // way where the run left no checkpoints to tell them.
            const bool counting = !m_counts.hasCheckpoints(block);
            if (probe.mayContain(piece.texts))
                candidates.push_back(Candidate{block, piece.start, counting ? blockRows : -1});
            if (!piece.last && counting) {
                MatchStop stop;
                pieceRows(piece, &blockRows, nullptr, &stop, between);
            }
            return true;
        });
        if (ended)
            return -1;
        for (auto it = candidates.crbegin(); it != candidates.crend(); ++it) {
            int firstRow = -1;
            int blockRows = std::max(0, it->blockRows);
            QStringList rows;
            MatchStop stop;
            blocks.forEachPiece(it->block, it->block, [&](const CLog::TextPiece &piece) {
                firstRow = pieceRows(piece, &blockRows, &rows, &stop, between);
                return false;
            }, it->start);
            if (firstRow < 0)
                return -1;
            // Shown rows before `fromRow` that could not be decided come
            // after every decided row of the piece: any may be the hit.
            const int counted = m_counts.countOf(it->block);
            const int openFrom = firstRow + int(rows.size());
            if (stop.stopped()
                && openFrom < std::min({fromRow, rowsBefore(it->block) + counted, int(m_rowTotal)})) {
                m_stop = stop;
                m_stopBlock = it->block;
                return -1;
            }
            for (int i = int(rows.size()) - 1; i >= 0; --i) {
                const int row = firstRow + i;
                if (row < fromRow && row < m_rowTotal && rows.at(i).contains(text, cs))
                    return row;
            }
        }
        high = low - 1;
    }
    return -1;
}
