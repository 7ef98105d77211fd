// The run: the range of blocks a result covers, and the counting of their
// matches with the first window's rows made on the way.
#include "cstringlistmodel.h"

#include <QBrush>
#include <QColor>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPointer>

#include <algorithm>
#include <memory>

#include "clog.h"
#include "blockquestion.h"
#include "cmatcher.h"
#include "filtermatch.h"
#include "rowtext.h"
#include "workslice.h"

using workslice::ProgressSteps;
using workslice::Slice;
using workslice::sliceMs;

namespace {

// Growing the row count makes a list view lay out all its rows again, which
// costs time in proportion to the rows: announce counted rows at most at
// this pace, and less often when the views take long over it.
constexpr qint64 publishMs = 500;

// Seconds of `date` as a record time, dates outside the 32-bit seconds of
// the log kept at its ends instead of wrapping around.
quint32 recordTime(const QDateTime &date)
{
    return quint32(std::clamp<qint64>(date.toSecsSinceEpoch(), 0, 0xFFFFFFFFLL));
}

} // namespace

CStringListModel::CStringListModel(CLog *log, const CFilterPtr &filter, QObject *parent)
    : QAbstractListModel(parent), m_ownLogs(log ? std::make_unique<LogSet>(log) : nullptr), m_logs(m_ownLogs.get()),
      m_filter(filter)
{
}

CStringListModel::CStringListModel(LogSet *logs, const CFilterPtr &filter, QObject *parent)
    : QAbstractListModel(parent), m_logs(logs), m_filter(filter)
{
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
    const QString *row = m_window.row(index.row());
    if (!row)
        return QVariant();
    if (role == Qt::DisplayRole)
        return *row;
    if (isRefusal(*row))
        return QBrush(QColor(255, 0, 0, 128));
    return QVariant();
}

const CMatcher &CStringListModel::matcher()
{
    if (!m_matcher) {
        const QList<QStringList> lists = m_filter ? m_filter->lists() : QList<QStringList>();
        const QList<QStringList> hidden = m_filter ? m_filter->hidden() : QList<QStringList>();
        m_matcher = std::make_unique<const CMatcher>(lists, hidden);
        // Hidden values never rule a block out: a block's summary tells what
        // it may hold, never that every record of it is hidden.
        m_question = std::make_shared<const BlockQuestion>(lists);
    }
    return *m_matcher;
}

std::shared_ptr<const BlockTest> CStringListModel::blockTest()
{
    matcher();
    if (!m_question->asksAnything())
        return {};
    return m_question;
}

ResultWalk CStringListModel::walk()
{
    return ResultWalk(m_logs, matcher(), m_span, blockTest());
}

bool CStringListModel::publishCountedRows()
{
    const qint32 counted = m_counts.rows();
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
    int first = 0;
    m_lastBlock = -1;
    m_span = TimeSpan();
    if (m_logs && m_logs->blockCount() > 0) {
        const bool timed = m_filter && m_filter->time.isValid();
        const QDateTime end = timed ? m_filter->time : m_logs->lastDate();
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
        m_logs->blocksFor(m_span, &first, &m_lastBlock);
        m_lastBlock = std::max(m_lastBlock, first - 1);
    }
    m_counts.setFirstBlock(first);
}

void CStringListModel::useRange(const QDateTime &start, const QDateTime &end)
{
    m_ownRange = true;
    m_rangeStart = start;
    m_rangeEnd = end;
    int first = 0;
    m_lastBlock = -1;
    m_span = TimeSpan();
    if (m_logs && m_logs->blockCount() > 0) {
        if (start.isValid())
            m_span.from = recordTime(start);
        if (end.isValid())
            m_span.to = recordTime(end);
        const qint64 startSecs = start.isValid() ? start.toSecsSinceEpoch() : 0;
        const qint64 endSecs = end.isValid() ? end.toSecsSinceEpoch() : 0xFFFFFFFFLL;
        if (endSecs < 0 || startSecs > 0xFFFFFFFFLL || startSecs > endSecs)
            m_span = TimeSpan{1, 0};
        m_logs->blocksFor(m_span, &first, &m_lastBlock);
        m_lastBlock = std::max(m_lastBlock, first - 1);
    }
    m_counts.setFirstBlock(first);
}

void CStringListModel::runFilter()
{
    // A block found not to fit the index reads as empty: the rows would be
    // silently partial. The index is then brought up to date (a full scan)
    // and the run made again, once; a log that changes under the second run
    // too is left to the next one.
    QPointer<CStringListModel> alive(this);
    runOnce();
    if (!alive || !m_logs || !m_logs->isIndexStale() || m_cancelled)
        return;
    m_logs->readAgain();
    if (!alive || m_logs->isCancelled())
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
    m_window.restartAt(0);
    m_counts.clear();
    // Compile the criteria as they are now; scrolling reuses them.
    m_matcher.reset();
    m_question.reset();

    if (m_ownRange)
        useRange(m_rangeStart, m_rangeEnd);
    else
        useFilterRange();
    rememberLog();
    m_complete = m_lastBlock < m_counts.firstBlock();
    emit valueMaximum(std::max(0, m_lastBlock - m_counts.firstBlock()));
    if (m_lastBlock < m_counts.firstBlock())
        return;

    QPointer<CStringListModel> alive(this);
    const RunningGuard running(this);
    ProgressSteps progress(m_lastBlock - m_counts.firstBlock());
    const std::function<bool()> turn = countingTurn(sliceMs, alive);
    // Progress and a turn after each block; false to stop, as once the
    // index is found stale.
    const auto afterBlock = [&](int block) {
        if (m_logs->isIndexStale())
            return false;
        const int offset = block - m_counts.firstBlock();
        if (progress.due(offset)) {
            emit valueChanged(offset);
            if (!alive)
                return false;
        }
        return turn();
    };
    // One sequential pass: the rows of the first window are made while the
    // blocks are counted.
    countBlocks(m_counts.firstBlock(), m_lastBlock, 10 * m_pageRows, turn, {}, afterBlock);
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
                                   const std::function<bool(int)> &afterBlock, const RunCounts::Checkpoint *resume)
{
    const ResultWalk blocks = walk();
    const CMatcher &criteria = blocks.criteria();
    int block = -1;
    qint32 count = 0;
    qint32 refused = 0;
    bool ended = false;
    bool windowFull = false;
    // Rows go to the window while it ends where they begin and has room; a
    // scroll during a turn may have moved it elsewhere.
    const auto windowTakes = [&]() {
        return m_window.endRow() == m_counts.rows() + count && m_window.size() < windowLimit;
    };
    blocks.forEachPiece(from, to, [&](const CLog::TextPiece &piece) {
        if (piece.block != block) {
            block = piece.block;
            // Blocks the reader could not reach count as empty, so block
            // numbers and counts stay in step.
            while (m_counts.endBlock() < block)
                m_counts.add(0, 0);
            count = resume && block == from ? resume->row : 0;
            refused = resume && block == from ? resume->refused : 0;
        } else if (!piece.texts.isEmpty()) {
            // Scrolling into a large block starts reading at the piece
            // nearest to the rows it needs.
            m_counts.addCheckpoint(RunCounts::Checkpoint{block, count, refused, piece.start});
        }
        MatchStop stop;
        if (criteria.matchesEverything() && !windowTakes()) {
            int n = 0;
            refused += refusalsInUtf8(piece.texts, &n);
            count += n;
        } else {
            const auto take = [&](int, const char *text, qsizetype length) {
                if (windowTakes())
                    m_window.append(resultRow(QString::fromUtf8(text, int(length))));
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
            m_counts.add(count, refused);
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
        m_counts.add(count, refused);
        // The first window shows at once when it is full.
        if (!windowFull && m_window.size() >= windowLimit) {
            windowFull = true;
            publishCountedRows();
        }
        if (!afterBlock(block)) {
            ended = true;
            return false;
        }
        return true;
    }, resume ? resume->offset : -1);
    return !ended;
}

bool CStringListModel::isRefusalText(const QString &text)
{
    return isRefusal(text);
}

void CStringListModel::announceRows(int first, int last)
{
    first = std::max(first, 0);
    last = std::min(last, m_rowTotal - 1);
    if (first > last)
        return;
    emit dataChanged(index(first, 0), index(last, 0));
}

void CStringListModel::cancel()
{
    m_cancelled = true;
}

CLog *CStringListModel::log() const { return m_logs ? m_logs->newestLog() : nullptr; }
const LogSet *CStringListModel::logs() const { return m_logs; }
const CFilterPtr &CStringListModel::filter() const { return m_filter; }
int CStringListModel::firstBlock() const { return m_counts.firstBlock(); }
int CStringListModel::lastBlock() const { return m_lastBlock; }
bool CStringListModel::isCancelled() const { return m_cancelled; }
const MatchStop &CStringListModel::stop() const { return m_stop; }
int CStringListModel::stopBlock() const { return m_stopBlock; }

