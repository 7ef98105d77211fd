// The rows of a selection: read again from the log through the walk a save
// reads, from the nearest checkpoint of each range's first block, and made
// into the rows a save writes.
#include "cstringlistmodel.h"

#include <QCoreApplication>
#include <QPointer>

#include <algorithm>
#include <limits>

#include "cmatcher.h"
#include "exportformat.h"
#include "resultbytes.h"
#include "workslice.h"

using workslice::ProgressSteps;
using workslice::Slice;

bool CStringListModel::forEachChosenRow(
    const RowRanges &rows, bool turns,
    const std::function<void(std::string_view name, std::string_view text, qint64 recordTime)> &visit)
{
    m_cancelled = false;
    m_stop = MatchStop();
    m_stopBlock = -1;
    const RowRanges chosen = rows.clipped(m_rowTotal);
    if (!m_logs || chosen.isEmpty())
        return true;
    QPointer<CStringListModel> alive(this);
    Slice slice;
    // A shorter slice than the other walks take: the clock is looked at
    // only between pieces when every text matches, and making a piece's
    // rows takes a few milliseconds of its own.
    const std::function<bool()> between = [&] {
        if (!turns)
            return true;
        if (slice.over(workslice::sliceMs * 2 / 3)) {
            QCoreApplication::processEvents();
            slice.restart();
            if (!alive)
                return false;
        }
        return !m_cancelled;
    };
    const qint64 total = chosen.rowCount();
    const int shownTotal = int(std::min<qint64>(total, std::numeric_limits<int>::max()));
    ProgressSteps progress(shownTotal);
    if (turns)
        emit valueMaximum(shownTotal);
    if (!alive)
        return false;
    const CMatcher &criteria = matcher();
    UserNameBytes names;
    const ResultWalk blocks = walk();
    qint64 done = 0;
    bool ended = false;
    for (const RowRanges::Range &range : chosen.ranges()) {
        const int top = range.first;
        const int bottom = range.second;
        const int first = blockForRow(top);
        const int last = std::min(blockForRow(bottom), m_lastBlock);
        if (first > last)
            continue;
        // A range deep inside a large block starts where the run left a
        // checkpoint before it, not at the block's start.
        const RunCounts::Checkpoint *resume = m_counts.checkpointBefore(first, top - rowsBefore(first));
        int block = -1;
        int blockRows = 0;
        int row = 0;
        // Texts after the range's last row are not matched.
        const std::function<bool()> inRange = [&] { return row <= bottom && between(); };
        blocks.forEachPiece(
            first, last,
            [&](const CLog::TextPiece &piece) {
                if (piece.block != block) {
                    block = piece.block;
                    blockRows = 0;
                }
                if (piece.firstText == 0 && piece.start == m_logs->blockOffset(piece.block))
                    blockRows = 0;
                else if (const int before = m_counts.checkpointRow(piece.block, piece.start); before >= 0)
                    blockRows = before;
                const int counted = m_counts.countOf(block);
                row = rowsBefore(block) + blockRows;
                if (counted == 0 || piece.texts.isEmpty())
                    return true;
                const qint64 time = m_logs->blockTime(block);
                MatchStop stop;
                forEachMatchingText(criteria, piece.texts, &stop, inRange, [&](const char *p, qsizetype length,
                                                                                bool ascii) {
                    // Row numbers come from the counts the views show: a log
                    // that changed since gives a block no more rows than that.
                    if (blockRows >= counted)
                        return;
                    if (row >= top && row <= bottom) {
                        const QByteArray &name = names.nameOf(p, ascii).bytes;
                        const std::string_view nameBytes(name.constData(), size_t(name.size()));
                        if (ascii) {
                            visit(nameBytes, std::string_view(p, size_t(length)), time);
                        } else {
                            // Bytes that are no UTF-8 come as the view shows them.
                            const QByteArray encoded = QString::fromUtf8(p, int(length)).toUtf8();
                            visit(nameBytes, std::string_view(encoded.constData(), size_t(encoded.size())), time);
                        }
                        ++done;
                    }
                    ++row;
                    ++blockRows;
                });
                if (!alive || m_cancelled) {
                    ended = true;
                    return false;
                }
                // A record left open among the rows wanted ends the copy:
                // its rows would have gaps.
                if (stop.stopped() && row <= bottom && blockRows < counted) {
                    m_stop = stop;
                    m_stop.index += piece.firstText;
                    m_stopBlock = block;
                    ended = true;
                    return false;
                }
                if (turns && progress.due(int(std::min<qint64>(done, shownTotal)))) {
                    emit valueChanged(int(std::min<qint64>(done, shownTotal)));
                    if (!alive) {
                        ended = true;
                        return false;
                    }
                }
                if (row > bottom)
                    return false;
                if (!between()) {
                    ended = true;
                    return false;
                }
                return true;
            },
            resume ? resume->offset : -1);
        if (ended)
            break;
    }
    if (!alive)
        return false;
    if (turns && !ended)
        emit valueChanged(shownTotal);
    return alive && !m_cancelled && !m_stop.stopped();
}

bool CStringListModel::chosenRowsText(const RowRanges &rows, ExportFormat format, bool turns, QByteArray *out)
{
    ExportRows made(format);
    out->append(exportHeader(format));
    // Room for all rows is taken once the first ones tell their size, with
    // some to spare: what is never written is never touched, so it costs no
    // memory, and the text is not copied as it grows.
    const qint64 total = rows.clipped(m_rowTotal).rowCount();
    const qint64 start = out->size();
    constexpr qint64 sample = 1000;
    qint64 madeRows = 0;
    bool tooLarge = false;
    const bool whole = forEachChosenRow(rows, turns, [&](std::string_view name, std::string_view text, qint64 recordTime) {
        if (tooLarge)
            return;
        made.appendRow(name, text, recordTime, out);
        if (++madeRows == sample && total > sample) {
            const qint64 estimate = start + (out->size() - start) * total / sample * 5 / 4 + (1 << 20);
            out->reserve(int(std::min<qint64>(estimate, kCopyLimit + (1 << 20))));
        }
        if (out->size() > kCopyLimit) {
            tooLarge = true;
            cancel();
        }
    });
    return whole && !tooLarge;
}

bool CStringListModel::recordOfRow(int row, QByteArray *text, qint64 *recordTime)
{
    const bool cancelled = m_cancelled;
    const MatchStop stop = m_stop;
    const int stopBlock = m_stopBlock;
    RowRanges one;
    one.add(row, row);
    bool found = false;
    const QPointer<CStringListModel> alive(this);
    forEachChosenRow(one, false, [&](std::string_view, std::string_view record, qint64 time) {
        *text = QByteArray(record.data(), int(record.size()));
        *recordTime = time;
        found = true;
    });
    if (!alive)
        return false;
    m_cancelled = cancelled;
    m_stop = stop;
    m_stopBlock = stopBlock;
    return found;
}
