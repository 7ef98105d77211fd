#include "cstringlistmodel.h"

#include "savetarget.h"

#include <QBrush>
#include <QColor>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPointer>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include <signal.h>
#include <time.h>

#include "backgroundsync.h"
#include "chunkworker.h"
#include "clog.h"
#include "blockquestion.h"
#include "cmatcher.h"
#include "filtermatch.h"
#include "resultbytes.h"

namespace {

// The top visible row last seen by any results model: one value for the
// whole process, so the first scroll in another tab is measured against it.
int lastScrollValue = 0;

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

// How long an operation works between two turns of the event loop.
constexpr qint64 sliceMs = 30;

// Milliseconds of the coarse monotonic clock: read after every record, so
// it must cost next to nothing; its few milliseconds of resolution are
// plenty for a slice.
qint64 coarseMs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
    return qint64(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

class Slice
{
public:
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

QString resultRow(const QString &text)
{
    return userNameOf(text) + QLatin1Char('\t') + text;
}
// Bytes of texts a window load reads beyond the rows it must hold.
constexpr qint64 kLoadBytes = 4 << 20;
// Bytes a save's walk gathers before it hands them on to be made into rows:
// the rows they make wait for the writer in small chunks, and little is
// left to make and write when the walk ends.
constexpr int kSaveBatch = 256 << 10;

// SIGXFSZ ignored for as long as the object lives, so that a write beyond
// the file-size limit fails with EFBIG instead of ending the program.
class IgnoreFileSizeSignal
{
public:
    IgnoreFileSizeSignal()
    {
        struct sigaction ignore;
        std::memset(&ignore, 0, sizeof ignore);
        ignore.sa_handler = SIG_IGN;
        sigemptyset(&ignore.sa_mask);
        m_restore = sigaction(SIGXFSZ, &ignore, &m_previous) == 0;
    }
    ~IgnoreFileSizeSignal()
    {
        if (m_restore)
            sigaction(SIGXFSZ, &m_previous, nullptr);
    }
    IgnoreFileSizeSignal(const IgnoreFileSizeSignal &) = delete;
    IgnoreFileSizeSignal &operator=(const IgnoreFileSizeSignal &) = delete;

private:
    struct sigaction m_previous;
    bool m_restore = false;
};
// Growing the row count makes a list view lay out all its rows again, which
// costs time in proportion to the rows: announce counted rows at most at
// this pace, and less often when the views take long over it.
constexpr qint64 publishMs = 500;

// The refusal mark ">\s\[f\]" of the record text, tested without a regular
// expression: the view asks for it on every paint of every row. isSpace()
// is what \s means to QRegExp.
bool isRefusal(const QString &row)
{
    const int size = row.size();
    for (int i = row.indexOf(QLatin1Char('>')); i >= 0 && i + 4 < size;
         i = row.indexOf(QLatin1Char('>'), i + 1)) {
        if (row.at(i + 1).isSpace() && row.at(i + 2) == QLatin1Char('[')
            && row.at(i + 3) == QLatin1Char('f') && row.at(i + 4) == QLatin1Char(']'))
            return true;
    }
    return false;
}

// The same test on the NUL-ended UTF-8 texts of a block, without making
// strings of them; `count` gets the number of texts.
// The same mark in one text's UTF-8 bytes from `p` to `stop`.
bool isRefusalUtf8(const char *p, const char *stop)
{
    for (const char *gt = p; (gt = static_cast<const char *>(std::memchr(gt, '>', size_t(stop - gt)))); ++gt) {
        // One white-space character: ASCII, or a longer UTF-8 sequence
        // decoded so that it means what QChar::isSpace() says.
        const char *mark = gt + 1;
        const uchar c = mark < stop ? uchar(*mark) : 0;
        if (c == ' ' || (c >= 9 && c <= 13)) {
            ++mark;
        } else if (c >= 0x80) {
            const int len = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
            if (stop - mark < len)
                continue;
            const QString ch = QString::fromUtf8(mark, len);
            if (ch.size() != 1 || !ch.at(0).isSpace())
                continue;
            mark += len;
        } else {
            continue;
        }
        if (stop - mark >= 3 && mark[0] == '[' && mark[1] == 'f' && mark[2] == ']')
            return true;
    }
    return false;
}

// Refusals among the NUL-separated texts of `texts`; their number goes to `count`.
int refusalsInUtf8(const QByteArray &texts, int *count)
{
    int refused = 0;
    int n = 0;
    const char *p = texts.constData();
    const char *const end = p + texts.size();
    while (p < end) {
        const char *const textEnd = static_cast<const char *>(std::memchr(p, 0, size_t(end - p)));
        const char *const stop = textEnd ? textEnd : end;
        ++n;
        refused += isRefusalUtf8(p, stop);
        p = stop + 1;
    }
    *count = n;
    return refused;
}

// Seconds of `date` as a record time, dates outside the 32-bit seconds of
// the log kept at its ends instead of wrapping around.
quint32 recordTime(const QDateTime &date)
{
    return quint32(std::clamp<qint64>(date.toSecsSinceEpoch(), 0, 0xFFFFFFFFLL));
}

} // namespace

CStringListModel::CStringListModel(CLog *log, const CFilterPtr &filter, QObject *parent)
    : QAbstractListModel(parent), m_log(log), m_filter(filter)
{
    m_rowsBefore.append(0);
    m_refusedBefore.append(0);
}

CStringListModel::~CStringListModel() = default;

CStringListModel::RunningGuard::RunningGuard(CStringListModel *model) : m_model(model)
{
    model->m_running = true;
}

CStringListModel::RunningGuard::~RunningGuard()
{
    if (m_model)
        m_model->m_running = false;
}

int CStringListModel::rowCount(const QModelIndex &parent) const
{
    // Rows have no children: a valid parent has no rows of its own.
    return parent.isValid() ? 0 : m_rowTotal;
}

QVariant CStringListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.column() != 0 || index.row() >= m_rowTotal)
        return QVariant();
    if (role != Qt::DisplayRole && role != Qt::BackgroundRole)
        return QVariant();
    const QString *row = windowRow(index.row());
    if (!row)
        return QVariant();
    if (role == Qt::DisplayRole)
        return *row;
    if (isRefusal(*row))
        return QBrush(QColor(255, 0, 0, 128));
    return QVariant();
}

const QString *CStringListModel::windowRow(int row) const
{
    const int pos = row - m_windowFirstRow;
    return pos >= 0 && pos < m_windowRows.size() ? &m_windowRows.at(pos) : nullptr;
}

const CMatcher &CStringListModel::matcher()
{
    if (!m_matcher) {
        const QList<QStringList> lists = m_filter ? m_filter->lists() : QList<QStringList>();
        m_matcher = std::make_unique<const CMatcher>(lists);
        m_question = std::make_shared<const BlockQuestion>(lists);
    }
    return *m_matcher;
}

std::function<bool(const BlockSummary &)> CStringListModel::blockMayMatch()
{
    matcher();
    if (!m_question->asksAnything())
        return {};
    std::shared_ptr<const BlockQuestion> question = m_question;
    return [question](const BlockSummary &summary) { return question->mayMatch(summary); };
}

void CStringListModel::clearWindow()
{
    m_windowRows.clear();
}

void CStringListModel::addBlockCount(qint32 count, qint32 refused)
{
    m_blockCounts.append(count);
    m_rowsBefore.append(m_rowsBefore.last() + count);
    m_refusedBefore.append(m_refusedBefore.last() + refused);
}

bool CStringListModel::publishCountedRows()
{
    const qint32 counted = m_rowsBefore.last();
    if (counted <= m_rowTotal)
        return false;
    // Rows are only ever added at the end, so views keep the rows they show.
    beginInsertRows(QModelIndex(), m_rowTotal, counted - 1);
    m_rowTotal = counted;
    endInsertRows();
    return true;
}

void CStringListModel::useFilterRange()
{
    m_ownRange = false;
    // Without a period the range is the whole log up to the filter's time;
    // with one, the records whose own time lies from the period's start to
    // its end (the filter's time or the log's last).
    m_firstBlock = 0;
    m_lastBlock = -1;
    m_span = TimeSpan();
    if (m_log && m_log->blockCount() > 0) {
        const bool timed = m_filter && m_filter->time.isValid();
        const QDateTime end = timed ? m_filter->time : m_log->lastDate();
        if (timed)
            m_span.to = recordTime(end);
        // A range of one second gives its start itself (see CFilter::start).
        const bool exactStart = timed && m_filter->start.isValid();
        const QDateTime start = exactStart ? m_filter->start : end.addSecs(m_filter ? m_filter->period : 0);
        if (exactStart || (m_filter && m_filter->period != 0))
            m_span.from = recordTime(start);
        const qint64 endSecs = end.toSecsSinceEpoch();
        const qint64 startSecs = exactStart ? start.toSecsSinceEpoch()
                                 : m_filter && m_filter->period != 0 ? endSecs + m_filter->period
                                                                      : 0;
        if ((timed && endSecs < 0) || startSecs > 0xFFFFFFFFLL || startSecs > endSecs)
            m_span = TimeSpan{1, 0};
        m_log->blocksFor(m_span, &m_firstBlock, &m_lastBlock);
        m_lastBlock = std::max(m_lastBlock, m_firstBlock - 1);
    }
}

void CStringListModel::useRange(const QDateTime &start, const QDateTime &end)
{
    m_ownRange = true;
    m_rangeStart = start;
    m_rangeEnd = end;
    m_firstBlock = 0;
    m_lastBlock = -1;
    m_span = TimeSpan();
    if (m_log && m_log->blockCount() > 0) {
        if (start.isValid())
            m_span.from = recordTime(start);
        if (end.isValid())
            m_span.to = recordTime(end);
        const qint64 startSecs = start.isValid() ? start.toSecsSinceEpoch() : 0;
        const qint64 endSecs = end.isValid() ? end.toSecsSinceEpoch() : 0xFFFFFFFFLL;
        if (endSecs < 0 || startSecs > 0xFFFFFFFFLL || startSecs > endSecs)
            m_span = TimeSpan{1, 0};
        m_log->blocksFor(m_span, &m_firstBlock, &m_lastBlock);
        m_lastBlock = std::max(m_lastBlock, m_firstBlock - 1);
    }
}

void CStringListModel::runFilter()
{
    // A block found not to fit the index reads as empty: the rows would be
    // silently partial. The index is then brought up to date (a full scan)
    // and the run made again, once; a log that changes under the second run
    // too is left to the next one.
    QPointer<CStringListModel> alive(this);
    runOnce();
    if (!alive || !m_log || !m_log->isIndexStale() || m_cancelled)
        return;
    m_log->readLog(m_log->logPath());
    if (!alive || m_log->isCancelled())
        return;
    runOnce();
}

void CStringListModel::runOnce()
{
    m_cancelled = false;
    m_stop = MatchStop();
    m_stopBlock = -1;
    if (m_rowTotal > 0) {
        // A second run on the same model starts from nothing.
        beginResetModel();
        m_rowTotal = 0;
        endResetModel();
    }
    clearWindow();
    m_blockCounts.clear();
    m_rowsBefore.clear();
    m_rowsBefore.append(0);
    m_refusedBefore.clear();
    m_refusedBefore.append(0);
    m_checkpoints.clear();
    m_windowFirstRow = 0;
    // Compile the criteria as they are now; scrolling reuses them.
    m_matcher.reset();
    m_question.reset();

    if (m_ownRange)
        useRange(m_rangeStart, m_rangeEnd);
    else
        useFilterRange();
    rememberLog();
    m_complete = m_lastBlock < m_firstBlock;
    emit valueMaximum(std::max(0, m_lastBlock - m_firstBlock));
    if (m_lastBlock < m_firstBlock)
        return;

    QPointer<CStringListModel> alive(this);
    const RunningGuard running(this);
    ProgressSteps progress(m_lastBlock - m_firstBlock);
    const std::function<bool()> turn = countingTurn(sliceMs, alive);
    // Progress and a turn after each block; false to stop, as once the
    // index is found stale.
    const auto afterBlock = [&](int block) {
        if (m_log->isIndexStale())
            return false;
        const int offset = block - m_firstBlock;
        if (progress.due(offset)) {
            emit valueChanged(offset);
            if (!alive)
                return false;
        }
        return turn();
    };
    // One sequential pass: the rows of the first window are made while the
    // blocks are counted.
    countBlocks(m_firstBlock, m_lastBlock, 10 * m_pageRows, turn, {}, afterBlock);
    if (!alive)
        return;
    publishCountedRows();
    m_complete = !m_cancelled && !m_stop.stopped();
}

std::function<bool()> CStringListModel::countingTurn(qint64 ms, const QPointer<CStringListModel> &alive)
{
    struct State
    {
        Slice slice;
        QElapsedTimer sincePublish;
        qint64 publishInterval = publishMs;
    };
    auto state = std::make_shared<State>();
    state->sincePublish.start();
    return [this, ms, alive, state]() {
        if (state->slice.over(ms)) {
            // The first rows appear at once; later ones at a pace that keeps
            // the views' relayouts a small share of the work.
            bool published = false;
            if (m_rowTotal == 0 || state->sincePublish.elapsed() >= state->publishInterval)
                published = publishCountedRows();
            QElapsedTimer turnTime;
            turnTime.start();
            QCoreApplication::processEvents();
            if (!alive)
                return false;
            if (published) {
                state->publishInterval = std::max(publishMs, 10 * turnTime.elapsed());
                state->sincePublish.restart();
            }
            state->slice.restart();
        }
        return !m_cancelled;
    };
}

bool CStringListModel::countBlocks(int from, int to, qint32 windowLimit, const std::function<bool()> &turn,
                                   const std::function<void(int, qint32)> &beforeCount,
                                   const std::function<bool(int)> &afterBlock, const Checkpoint *resume)
{
    const CMatcher &criteria = matcher();
    int block = -1;
    qint32 count = 0;
    qint32 refused = 0;
    bool ended = false;
    bool windowFull = false;
    // Rows go to the window while it ends where they begin and has room; a
    // scroll during a turn may have moved it elsewhere.
    const auto windowTakes = [&]() {
        return m_windowFirstRow + m_windowRows.size() == m_rowsBefore.last() + count
               && m_windowRows.size() < windowLimit;
    };
    m_log->forEachPieceUtf8(from, to, [&](const CLog::TextPiece &piece) {
        if (piece.block != block) {
            block = piece.block;
            // Blocks the reader could not reach count as empty, so block
            // numbers and counts stay in step.
            while (m_firstBlock + m_blockCounts.size() < block)
                addBlockCount(0, 0);
            count = resume && block == from ? resume->row : 0;
            refused = resume && block == from ? resume->refused : 0;
        } else if (!piece.texts.isEmpty()) {
            // Scrolling into a large block starts reading at the piece
            // nearest to the rows it needs.
            m_checkpoints.push_back(Checkpoint{block, count, refused, piece.start});
        }
        MatchStop stop;
        if (criteria.matchesEverything() && !windowTakes()) {
            int n = 0;
            refused += refusalsInUtf8(piece.texts, &n);
            count += n;
        } else {
            const auto take = [&](int, const char *text, qsizetype length) {
                if (windowTakes())
                    m_windowRows.append(resultRow(QString::fromUtf8(text, int(length))));
                ++count;
                refused += isRefusalUtf8(text, text + length);
            };
            // A block left by a cancel is not counted.
            if (!walkMatchesUtf8(criteria, piece.texts, &stop, take, turn)) {
                ended = true;
                return false;
            }
        }
        if (stop.stopped()) {
            // The block counts the records before the one left undecided.
            if (beforeCount)
                beforeCount(block, count);
            addBlockCount(count, refused);
            m_stop = stop;
            m_stop.index += piece.firstText;
            m_stopBlock = block;
            ended = true;
            return false;
        }
        if (!piece.last) {
            if (turn())
                return true;
            ended = true;
            return false;
        }
        if (beforeCount)
            beforeCount(block, count);
        addBlockCount(count, refused);
        // The first window shows at once when it is full.
        if (!windowFull && m_windowRows.size() >= windowLimit) {
            windowFull = true;
            publishCountedRows();
        }
        if (!afterBlock(block)) {
            ended = true;
            return false;
        }
        return true;
    }, m_span, resume ? resume->offset : -1, blockMayMatch());
    return !ended;
}

void CStringListModel::loadWindow(int firstRow, int endRow, int reach)
{
    clearWindow();
    const int counted = m_rowsBefore.last();
    firstRow = std::clamp(firstRow, 0, counted);
    endRow = std::clamp(endRow, firstRow, counted);
    m_windowFirstRow = firstRow;
    // Blocks without rows are never read: with sparse matches a page of
    // rows can span thousands of blocks.
    qint64 budget = kLoadBytes;
    for (int row = firstRow; row < endRow && !m_loadStopped;) {
        const int block = blockForRow(row);
        const int rows = std::min(endRow, rowsBefore(block + 1)) - row;
        const int taken = appendRowsOfBlock(block, row - rowsBefore(block), rows, reach - row, &budget);
        if (taken < rows)
            break;
        row += rows;
    }
}

int CStringListModel::appendRowsOfBlock(int block, int skip, int rows, int atLeast, qint64 *budget)
{
    // The nearest piece of the block at or before the first row wanted.
    const auto after = std::upper_bound(m_checkpoints.cbegin(), m_checkpoints.cend(), std::make_pair(block, skip),
                                        [](const std::pair<int, int> &at, const Checkpoint &c) {
                                            return at.first < c.block || (at.first == c.block && at.second < c.row);
                                        });
    qint64 resumeAt = -1;
    int matched = 0;
    if (after != m_checkpoints.cbegin() && std::prev(after)->block == block) {
        resumeAt = std::prev(after)->offset;
        matched = std::prev(after)->row;
    }
    const int wanted = skip + rows;
    const int before = m_windowRows.size();
    bool cut = false;
    MatchStop stop;
    if (m_log) {
        const CMatcher &criteria = matcher();
        m_log->forEachPieceUtf8(block, block, [&](const CLog::TextPiece &piece) {
            const auto take = [&](int, const char *text, qsizetype length) {
                if (matched >= skip)
                    m_windowRows.append(resultRow(QString::fromUtf8(text, int(length))));
                ++matched;
            };
            walkMatchesUtf8(criteria, piece.texts, &stop, take, [&] { return matched < wanted; });
            *budget -= piece.texts.size();
            // Rows far apart in a large block cost much reading each: past
            // the rows that must be shown, the window ends with the budget.
            if (matched < wanted && *budget <= 0 && m_windowRows.size() - before >= atLeast && !piece.last) {
                cut = true;
                return false;
            }
            return matched < wanted && !stop.stopped();
        }, m_span, resumeAt, blockMayMatch());
    }
    if (cut)
        return m_windowRows.size() - before;
    if (stop.stopped())
        m_loadStopped = true;
    // The rows the views count for the block, whatever this reading
    // decided, so that the rows of the blocks after it stay in place (a
    // record the filter cannot decide now gives an empty row).
    while (m_windowRows.size() > before + rows)
        m_windowRows.removeLast();
    while (m_windowRows.size() < before + rows)
        m_windowRows.append(QString());
    return rows;
}

int CStringListModel::checkpointRow(int block, qint64 offset) const
{
    const auto it = std::lower_bound(m_checkpoints.cbegin(), m_checkpoints.cend(), block,
                                     [](const Checkpoint &c, int b) { return c.block < b; });
    for (auto c = it; c != m_checkpoints.cend() && c->block == block; ++c) {
        if (c->offset == offset)
            return c->row;
    }
    return -1;
}

int CStringListModel::pieceRows(const CLog::TextPiece &piece, int *blockRows, QStringList *rows, MatchStop *stop,
                                const std::function<bool()> &between)
{
    // The rows of the block before the piece: from the run's checkpoint
    // where it left one, else as counted on the way.
    if (piece.firstText == 0 && piece.start == m_log->blockOffset(piece.block))
        *blockRows = 0;
    else if (const int row = checkpointRow(piece.block, piece.start); row >= 0)
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
        const int room = std::max(0, m_blockCounts.value(piece.block - m_firstBlock) - *blockRows);
        if (rows->size() > room)
            rows->erase(rows->begin() + room, rows->end());
        *blockRows += rows->size();
    } else {
        *blockRows += countMatchesUtf8(matcher(), piece.texts, stop);
    }
    return firstRow;
}




int CStringListModel::lastLoadableBlock() const
{
    return m_running ? m_lastBlock : std::min(m_lastBlock, m_firstBlock + int(m_blockCounts.size()) - 1);
}

int CStringListModel::searchForward(const QString &text, int fromRow, Qt::CaseSensitivity cs)
{
    m_cancelled = false;
    m_stop = MatchStop();
    m_stopBlock = -1;
    // Only rows the views have are searched: the counted blocks of a run
    // that was cancelled, or is still counting, end the search.
    if (!m_log || m_rowTotal == 0)
        return -1;
    const int first = blockForRow(std::max(fromRow, -1));
    const int last = std::min(m_lastBlock, blockForRow(m_rowTotal - 1));
    if (first > last)
        return -1;
    QPointer<CStringListModel> alive(this);
    Slice slice;
    const std::function<bool()> between = [&] { return turnIfDue(slice, alive) && !m_cancelled; };
    RowTextProbe probe(text, cs);
    int found = -1;
    bool ended = false;
    int block = -1;
    int blockRows = 0;
    emit valueMaximum(last - first);
    m_log->forEachPieceUtf8(first, last, [&](const CLog::TextPiece &piece) {
        if (!between()) {
            ended = true;
            return false;
        }
        if (piece.block != block) {
            block = piece.block;
            blockRows = 0;
            emit valueChanged(block - first);
        }
        const int counted = m_blockCounts.value(block - m_firstBlock);
        if (counted == 0 || piece.texts.isEmpty())
            return true;
        // A piece that cannot hold the text is only counted, and only when
        // the rows of its block's later pieces are not known otherwise.
        const bool candidate = probe.mayContain(piece.texts);
        if (!candidate && (piece.last || hasCheckpoints(block)))
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
    }, m_span, -1, blockMayMatch());
    if (ended)
        return -1;
    return found;
}

int CStringListModel::searchBackward(const QString &text, int fromRow, Qt::CaseSensitivity cs)
{
    m_cancelled = false;
    m_stop = MatchStop();
    m_stopBlock = -1;
    if (!m_log || m_rowTotal == 0 || fromRow <= 0)
        return -1;
    const int start = std::min({blockForRow(fromRow), blockForRow(m_rowTotal - 1), m_lastBlock});
    QPointer<CStringListModel> alive(this);
    Slice slice;
    const std::function<bool()> between = [&] { return turnIfDue(slice, alive) && !m_cancelled; };
    RowTextProbe probe(text, cs);
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
    emit valueMaximum(start - m_firstBlock);
    for (int high = start; high >= m_firstBlock; span = std::min(span * 2, 8192)) {
        const int low = std::max(m_firstBlock, high - span + 1);
        candidates.clear();
        bool ended = false;
        int block = -1;
        int blockRows = 0;
        emit valueChanged(start - high);
        m_log->forEachPieceUtf8(low, high, [&](const CLog::TextPiece &piece) {
            if (!between()) {
                ended = true;
                return false;
            }
            if (piece.block != block) {
                block = piece.block;
                blockRows = 0;
            }
            if (m_blockCounts.value(block - m_firstBlock) == 0 || piece.texts.isEmpty())
                return true;
            // The rows before each piece of a large block are counted on the
            // way where the run left no checkpoints to tell them.
            const bool counting = !hasCheckpoints(block);
            if (probe.mayContain(piece.texts))
                candidates.push_back(Candidate{block, piece.start, counting ? blockRows : -1});
            if (!piece.last && counting) {
                MatchStop stop;
                pieceRows(piece, &blockRows, nullptr, &stop, between);
            }
            return true;
        }, m_span, -1, blockMayMatch());
        if (ended)
            return -1;
        for (auto it = candidates.crbegin(); it != candidates.crend(); ++it) {
            int firstRow = -1;
            int blockRows = std::max(0, it->blockRows);
            QStringList rows;
            MatchStop stop;
            m_log->forEachPieceUtf8(it->block, it->block, [&](const CLog::TextPiece &piece) {
                firstRow = pieceRows(piece, &blockRows, &rows, &stop, between);
                return false;
            }, m_span, it->start, blockMayMatch());
            if (firstRow < 0)
                return -1;
            // Shown rows before `fromRow` that could not be decided come
            // after every decided row of the piece: any may be the hit.
            const int counted = m_blockCounts.value(it->block - m_firstBlock);
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


bool CStringListModel::saveToFile(const QString &fileName, QString *error, ExportFormat format, bool wholeOnly)
{
    const auto fail = [error](const QString &reason) {
        if (error)
            *error = reason.isEmpty() ? tr("Unknown error") : reason;
        return false;
    };
    // A write past the file-size limit must fail with its error, not end
    // the program.
    const IgnoreFileSizeSignal ignoreFileSize;
    // The file is replaced when the rows are written, never cut short; a
    // symbolic link stays and its target is replaced. A file with other
    // hard links or another owner gets the rows copied in once they are
    // whole; a device or a FIFO is written into (savetarget.h).
    SaveTarget file(fileName);
    if (!file.open())
        return fail(file.errorString());
    // The disk takes the file while it is written: the sync that ends the
    // save then waits for the last piece only.
    BackgroundSync sync(file.handle());
    const bool written = writeRows(file.handle(), format, error, &sync);
    const int syncFailed = sync.finish();
    if (!written || syncFailed) {
        file.cancelWriting();
        return written ? fail(qt_error_string(syncFailed)) : false;
    }
    if (wholeOnly && (m_cancelled || m_stop.stopped())) {
        file.cancelWriting();
        return fail(m_cancelled ? tr("Cancelled.") : tr("A pattern is too costly to decide: %1").arg(m_stop.pattern));
    }
    // The final sync of a large file takes a while: keep the window turning.
    // A cancel that came meanwhile, or is waiting to be seen, keeps the old
    // file when only a whole one may take its place.
    QPointer<CStringListModel> alive(this);
    Slice slice;
    const auto proceed = [&] {
        if (!wholeOnly)
            return true;
        QCoreApplication::processEvents();
        return alive && !m_cancelled;
    };
    if (!file.commit([&] { turnIfDue(slice, alive); }, proceed))
        return file.abandoned() ? fail(tr("Cancelled.")) : fail(file.errorString());
    return true;
}

bool CStringListModel::walkResultPieces(
    const std::function<bool(const CLog::TextPiece &, MatchStop *, const std::function<bool()> &)> &perPiece)
{
    m_cancelled = false;
    m_stop = MatchStop();
    m_stopBlock = -1;
    emit valueMaximum(std::max(0, m_lastBlock - m_firstBlock));
    QPointer<CStringListModel> alive(this);
    bool failed = false;
    if (m_log && m_lastBlock >= m_firstBlock) {
        ProgressSteps progress(m_lastBlock - m_firstBlock);
        Slice slice;
        const std::function<bool()> between = [&] { return turnIfDue(slice, alive) && !m_cancelled; };
        m_log->forEachPieceUtf8(m_firstBlock, m_lastBlock, [&](const CLog::TextPiece &piece) {
            MatchStop stop;
            if (!perPiece(piece, &stop, between)) {
                failed = true;
                return false;
            }
            if (!alive || m_cancelled)
                return false;
            if (stop.stopped()) {
                m_stop = stop;
                m_stop.index += piece.firstText;
                m_stopBlock = piece.block;
                return false;
            }
            const int offset = piece.block - m_firstBlock;
            if (piece.last && progress.due(offset)) {
                emit valueChanged(offset);
                if (!alive)
                    return false;
            }
            return between();
        }, m_span, -1, blockMayMatch());
    }
    if (!alive)
        return false;
    if (!failed && !m_cancelled && !m_stop.stopped())
        emit valueChanged(std::max(0, m_lastBlock - m_firstBlock));
    return true;
}

bool CStringListModel::writeRows(int fd, ExportFormat format, QString *error, BackgroundSync *sync)
{
    const auto fail = [error](const QString &reason) {
        if (error)
            *error = reason.isEmpty() ? tr("Unknown error") : reason;
        return false;
    };
    const bool text = format == ExportFormat::Text;
    // Here the texts are walked and matched. What is found (the texts that
    // match for the text format, the rows' parts, rowbatch, for the others)
    // goes in batches to a thread that makes the rows, and the rows in
    // chunks to a thread that writes them.
    qint64 written = 0;
    ChunkWorker writer([fd, sync, &written](const QByteArray &chunk) {
        const int failed = writeWhole(fd, chunk.constData(), chunk.size());
        if (failed)
            return failed;
        written += chunk.size();
        return sync ? sync->wrote(written) : 0;
    });
    ExportRows rows(format);
    QByteArray header = exportHeader(format);
    const CMatcher everything;
    UserNameBytes rowNames; // the formatter's own
    ChunkWorker formatter([&](const QByteArray &batch) {
        QByteArray made = writer.buffer();
        made.append(header);
        header.clear();
        if (text)
            appendResultRows(everything, batch, rowNames, &made);
        else
            rows.appendBatch(batch, &made);
        if (writer.hand(std::move(made)))
            return 0;
        return writer.error() ? writer.error() : EIO;
    });
    const CMatcher &criteria = matcher();
    UserNameBytes names;
    QByteArray buffer;
    buffer.reserve(kSaveBatch + (64 << 10));
    // Where the rows of the block being written begin in the buffer; -1
    // once some went out with an earlier chunk.
    int blockStart = 0;
    int lastBlock = -1;
    const bool walked = walkResultPieces([&](const CLog::TextPiece &piece, MatchStop *stop,
                                             const std::function<bool()> &between) {
        const int pieceStart = buffer.size();
        if (piece.block != lastBlock) {
            lastBlock = piece.block;
            blockStart = pieceStart;
        }
        if (text) {
            appendMatchingTexts(criteria, piece.texts, &buffer, stop, between);
        } else {
            const qint64 time = m_log->blockTime(piece.block);
            forEachResultRow(criteria, piece.texts, names, stop, between,
                             [&buffer, time](const QByteArray &name, std::string_view row) {
                                 rowbatch::append(&buffer, std::string_view(name.constData(), size_t(name.size())),
                                                  row, time);
                             });
        }
        if (m_cancelled) {
            // The file ends after the last block written whole, or within a
            // block too large to hold, after its last piece.
            buffer.resize(blockStart >= 0 ? blockStart : pieceStart);
            return true;
        }
        // At a record the filter cannot decide the rows before it are kept.
        if (stop->stopped() || buffer.size() < kSaveBatch)
            return true;
        if (!piece.last)
            blockStart = -1;
        if (!formatter.hand(std::move(buffer)))
            return false;
        buffer = formatter.buffer();
        buffer.reserve(kSaveBatch + (64 << 10));
        return true;
    });
    if (!walked)
        return fail(tr("The results were closed while they were saved."));
    // The last batch goes even when empty: CSV's header is made with the first.
    const bool handed = (buffer.isEmpty() && text) || formatter.hand(std::move(buffer));
    formatter.finish();
    writer.finish();
    const int failed = writer.error() ? writer.error() : formatter.error();
    if (!handed || failed)
        return fail(qt_error_string(failed));
    return true;
}

bool CStringListModel::forEachRow(const std::function<void(std::string_view name, std::string_view text)> &visit)
{
    const CMatcher &criteria = matcher();
    UserNameBytes names;
    return walkResultPieces([&](const CLog::TextPiece &piece, MatchStop *stop, const std::function<bool()> &between) {
        forEachResultRow(criteria, piece.texts, names, stop, between,
                         [&visit](const QByteArray &name, std::string_view text) {
                             visit(std::string_view(name.constData(), size_t(name.size())), text);
                         });
        return true;
    });
}

int CStringListModel::windowRows() const
{
    return m_windowRows.size();
}

int CStringListModel::blockForRow(int row) const
{
    const auto first = m_rowsBefore.cbegin() + 1;
    const auto it = std::upper_bound(first, m_rowsBefore.cend(), row);
    return m_firstBlock + int(it - first);
}

int CStringListModel::rowsBefore(int block) const
{
    const int i = std::clamp(block - m_firstBlock, 0, int(m_blockCounts.size()));
    return m_rowsBefore.at(i);
}

bool CStringListModel::isRefusalText(const QString &text)
{
    return isRefusal(text);
}

int CStringListModel::refusalsBefore(int block) const
{
    const int i = std::clamp(block - m_firstBlock, 0, int(m_blockCounts.size()));
    return m_refusedBefore.at(i);
}

void CStringListModel::announceRows(int first, int last)
{
    first = std::max(first, 0);
    last = std::min(last, m_rowTotal - 1);
    if (first > last)
        return;
    emit dataChanged(index(first, 0), index(last, 0));
}

void CStringListModel::scrollMoved(int value)
{
    const int d = value - lastScrollValue;
    lastScrollValue = value;
    // Past a record the filter cannot decide no block is loaded: a run
    // stops there, so their rows are never shown.
    m_loadStopped = false;
    const int end = lastLoadableBlock();
    if (end < m_firstBlock)
        return;
    // The window is made of whole blocks, a page of rows beyond the top
    // row's block in the direction of the scroll. A block too large for
    // that gives the rows around the top row, as far as a bounded read
    // reaches beyond those a screen needs.
    const int windowEnd = m_windowFirstRow + m_windowRows.size();
    const int loadable = rowsBefore(end + 1);
    const qint32 windowMax = 10 * m_pageRows;
    const int screen = value + m_pageRows / 4;
    if (d > 0) {
        if (windowEnd - m_pageRows < value && windowEnd < loadable) {
            const int top = std::min(blockForRow(value), end);
            const int target = rowsBefore(top + 1) + m_pageRows;
            const int endRow = target >= loadable ? loadable : rowsBefore(blockForRow(target - 1) + 1);
            const int firstRow = std::max(rowsBefore(top), value - m_pageRows / 10);
            loadWindow(firstRow, std::min(endRow, firstRow + windowMax), screen);
        }
    } else if (d < 0) {
        if (m_pageRows + m_windowFirstRow > value && m_windowFirstRow > 0) {
            const int top = std::min(blockForRow(value + m_pageRows), end);
            const int target = rowsBefore(top) - m_pageRows;
            const int firstRow = target <= 0 ? 0 : rowsBefore(blockForRow(target));
            const int endRow = std::min(rowsBefore(top + 1), value + 2 * m_pageRows);
            loadWindow(std::max({firstRow, endRow - windowMax, value - m_pageRows * 3 / 2}), endRow, screen);
        }
    }
}

void CStringListModel::cancel()
{
    m_cancelled = true;
}

CLog *CStringListModel::log() const { return m_log; }
const CFilterPtr &CStringListModel::filter() const { return m_filter; }
int CStringListModel::firstBlock() const { return m_firstBlock; }
int CStringListModel::lastBlock() const { return m_lastBlock; }
bool CStringListModel::isCancelled() const { return m_cancelled; }
const MatchStop &CStringListModel::stop() const { return m_stop; }
int CStringListModel::stopBlock() const { return m_stopBlock; }
const QList<qint32> &CStringListModel::blockCounts() const { return m_blockCounts; }
int CStringListModel::windowFirstRow() const { return m_windowFirstRow; }

int CStringListModel::windowStartBlock() const
{
    return blockForRow(m_windowFirstRow);
}

int CStringListModel::windowEndBlock() const
{
    return m_windowRows.isEmpty() ? windowStartBlock() : blockForRow(m_windowFirstRow + m_windowRows.size() - 1) + 1;
}

bool CStringListModel::hasCheckpoints(int block) const
{
    const auto it = std::lower_bound(m_checkpoints.cbegin(), m_checkpoints.cend(), block,
                                     [](const Checkpoint &c, int b) { return c.block < b; });
    return it != m_checkpoints.cend() && it->block == block;
}
