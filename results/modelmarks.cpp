// The records behind rows, for marks: a row's record found by reading its
// block only, the rows of given records, and the pieces of just those
// records that a save of marked rows walks.
#include "cstringlistmodel.h"

#include <algorithm>
#include <cstring>

#include "clog.h"
#include "cmatcher.h"

namespace {

// The verdict of one NUL-ended text.
CMatcher::Verdict verdictOf(const CMatcher &criteria, const char *text)
{
    return criteria.verdictUtf8(text, qsizetype(std::strlen(text)));
}

} // namespace

// The one log of a result over one log; null for a set of logs, whose rows
// marks do not reach yet (a mark names its record by the offset in one log).
CLog *CStringListModel::markedLog() const
{
    return m_logs && !m_logs->isSet() ? log() : nullptr;
}

qint64 CStringListModel::recordOfRow(int row, QString *text)
{
    CLog *const single = markedLog();
    if (!single || row < 0 || row >= m_rowTotal)
        return -1;
    const int block = blockForRow(row);
    if (block < m_counts.firstBlock() || block >= m_counts.endBlock())
        return -1;
    const int wanted = row - rowsBefore(block);
    const CMatcher &criteria = matcher();
    int seen = 0;
    qint64 found = -1;
    single->forEachRecordText(
        block,
        [&](qint64 offset, const char *utf8) {
            const CMatcher::Verdict verdict = verdictOf(criteria, utf8);
            // The count ended at a record it could not decide: no row after it.
            if (verdict == CMatcher::Verdict::Undecided)
                return false;
            if (verdict == CMatcher::Verdict::NoMatch)
                return true;
            if (seen++ < wanted)
                return true;
            found = offset;
            if (text)
                *text = QString::fromUtf8(utf8);
            return false;
        },
        m_span);
    return found;
}

void CStringListModel::recordRowsInBlock(int block, const qint64 *offsets, const QString *texts, int n, int *inBlock)
{
    std::fill(inBlock, inBlock + n, -1);
    CLog *const single = markedLog();
    if (!single || n <= 0 || block < m_counts.firstBlock() || block >= m_counts.endBlock()
        || block > lastLoadableBlock())
        return;
    const qint32 rows = m_counts.countOf(block);
    if (rows <= 0)
        return;
    const CMatcher &criteria = matcher();
    int matched = 0;
    int next = 0;
    single->forEachRecordText(
        block,
        [&](qint64 offset, const char *utf8) {
            while (next < n && offsets[next] < offset)
                ++next;  // no record starts there
            if (next >= n)
                return false;
            const CMatcher::Verdict verdict = verdictOf(criteria, utf8);
            if (verdict == CMatcher::Verdict::Undecided)
                return false;
            if (verdict == CMatcher::Verdict::Match) {
                if (offsets[next] == offset && matched < rows && (!texts || texts[next] == QString::fromUtf8(utf8)))
                    inBlock[next] = matched;
                ++matched;
            }
            if (offsets[next] == offset)
                ++next;
            return matched < rows;
        },
        m_span);
}

void CStringListModel::forEachRecordPiece(const std::vector<qint64> &offsets, const ResultWalk::Visit &visit)
{
    CLog *const single = markedLog();
    if (!single)
        return;
    auto it = offsets.begin();
    while (it != offsets.end()) {
        const int block = single->blockAt(*it);
        const qint64 blockEnd = block + 1 < single->blockCount() ? single->blockOffset(block + 1) : -1;
        const auto end = blockEnd < 0 ? offsets.end() : std::lower_bound(it, offsets.end(), blockEnd);
        if (block >= m_counts.firstBlock() && block <= m_lastBlock) {
            CLog::TextPiece piece;
            piece.block = block;
            piece.start = *it;
            piece.last = true;
            auto wanted = it;
            single->forEachRecordText(
                block,
                [&](qint64 offset, const char *utf8) {
                    while (wanted != end && *wanted < offset)
                        ++wanted;
                    if (wanted == end)
                        return false;
                    if (*wanted == offset)
                        piece.texts.append(utf8, int(std::strlen(utf8)) + 1);
                    return true;
                },
                m_span);
            if (!visit(piece))
                return;
        }
        it = end;
    }
}
