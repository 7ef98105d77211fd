#include "cstringlistmodel.h"

#include "savetarget.h"

#include <QBrush>
#include <QColor>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPointer>

#include <algorithm>
#include <cstring>
#include <vector>

#include <signal.h>
#include <time.h>

#include "clog.h"
#include "cmatcher.h"
#include "chunkwriter.h"
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
    bool over() const { return coarseMs() - m_start >= sliceMs; }
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
// Bytes of rows gathered before they are written out.
constexpr int saveChunk = 1 << 20;

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
    if (pos < 0 || pos >= m_windowRowCount)
        return nullptr;
    if (!m_windowOffsetsValid) {
        m_windowOffsets.clear();
        m_windowOffsets.reserve(m_window.size());
        qint32 offset = 0;
        for (const QStringList &rows : m_window) {
            m_windowOffsets.append(offset);
            offset += rows.size();
        }
        m_windowOffsetsValid = true;
    }
    // The last block list starting at or before pos holds it (empty lists
    // share their offset with the next one, so take the last such).
    const auto it = std::upper_bound(m_windowOffsets.cbegin(), m_windowOffsets.cend(), pos);
    const int list = int(it - m_windowOffsets.cbegin()) - 1;
    return &m_window.at(list).at(pos - m_windowOffsets.at(list));
}

const CMatcher &CStringListModel::matcher()
{
    if (!m_matcher)
        m_matcher.reset(new CMatcher(m_filter ? m_filter->lists() : QList<QStringList>()));
    return *m_matcher;
}

void CStringListModel::clearWindow()
{
    m_window.clear();
    m_windowOffsets.clear();
    m_windowOffsetsValid = true;
    m_windowRowCount = 0;
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
        if (m_filter && m_filter->period != 0)
            m_span.from = recordTime(end.addSecs(m_filter->period));
        const qint64 endSecs = end.toSecsSinceEpoch();
        const qint64 startSecs = m_filter && m_filter->period != 0 ? endSecs + m_filter->period : 0;
        if ((timed && endSecs < 0) || startSecs > 0xFFFFFFFFLL || startSecs > endSecs)
            m_span = TimeSpan{1, 0};
        m_log->blocksFor(m_span, &m_firstBlock, &m_lastBlock);
        m_lastBlock = std::max(m_lastBlock, m_firstBlock - 1);
    }
    m_windowStartBlock = m_windowEndBlock = m_firstBlock;
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
    m_windowStartBlock = m_windowEndBlock = m_firstBlock;
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
    m_windowFirstRow = 0;
    // Compile the criteria as they are now; scrolling reuses them.
    m_matcher.reset();

    if (m_ownRange)
        useRange(m_rangeStart, m_rangeEnd);
    else
        useFilterRange();
    m_windowStartBlock = m_windowEndBlock = m_firstBlock;
    rememberLog();
    m_complete = m_lastBlock < m_firstBlock;
    emit valueMaximum(std::max(0, m_lastBlock - m_firstBlock));
    if (m_lastBlock < m_firstBlock)
        return;

    QPointer<CStringListModel> alive(this);
    // While the run counts, scrolling may load blocks it has not reached.
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
    const qint32 firstWindowRows = 10 * m_pageRows;
    ProgressSteps progress(m_lastBlock - m_firstBlock);
    bool filling = true;
    Slice slice;
    QElapsedTimer sincePublish;
    sincePublish.start();
    qint64 publishInterval = publishMs;

    // The event loop's turn once the slice is used up, inside a block too;
    // false to stop (cancelled, or the model is gone).
    const auto turn = [&]() {
        if (slice.over()) {
            // The first rows appear at once; later ones at a pace that keeps
            // the views' relayouts a small share of the run.
            bool published = false;
            if (m_rowTotal == 0 || sincePublish.elapsed() >= publishInterval)
                published = publishCountedRows();
            QElapsedTimer turnTime;
            turnTime.start();
            QCoreApplication::processEvents();
            if (!alive)
                return false;
            if (published) {
                publishInterval = std::max(publishMs, 10 * turnTime.elapsed());
                sincePublish.restart();
            }
            slice.restart();
        }
        return !m_cancelled;
    };
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
    // Blocks the reader could not reach count as empty, so block numbers
    // and counts stay in step.
    const auto padCountsTo = [this](int block) {
        while (m_firstBlock + m_blockCounts.size() < block)
            addBlockCount(0, 0);
    };

    // One sequential pass: the blocks of the first window are matched once,
    // for their rows and their counts together; the rest are only counted.
    // When every text matches, counting needs no texts at all and goes on
    // with the reader's plain count from the block after the window. A
    // block left by a cancel is not counted.
    int nextBlock = m_firstBlock;
    bool countOnly = false;
    // The texts are matched as the reader's UTF-8 bytes: only the rows of the
    // first window are made into strings.
    m_log->forEachBlockUtf8(m_firstBlock, m_lastBlock, [&](int block, const QByteArray &texts) {
        padCountsTo(block);
        if (filling && (m_windowEndBlock != block || m_windowRowCount >= firstWindowRows))
            filling = false;
        MatchStop stop;
        if (filling) {
            QStringList rows;
            int refused = 0;
            const auto take = [&](int, const char *text, qsizetype length) {
                rows.append(resultRow(QString::fromUtf8(text, int(length))));
                refused += isRefusalUtf8(text, text + length);
            };
            if (!walkMatchesUtf8(criteria, texts, &stop, take, turn))
                return false;
            addBlockCount(rows.size(), refused);
            // A scroll during the turns may have moved the window away;
            // then the first window is over.
            if (m_windowEndBlock == block) {
                m_window.append(rows);
                if (m_windowOffsetsValid)
                    m_windowOffsets.append(m_windowRowCount);
                m_windowRowCount += rows.size();
                ++m_windowEndBlock;
            } else {
                filling = false;
            }
            if (filling && m_windowRowCount >= firstWindowRows) {
                filling = false;
                publishCountedRows();
            }
        } else if (criteria.matchesEverything()) {
            int count = 0;
            const int refused = refusalsInUtf8(texts, &count);
            addBlockCount(count, refused);
        } else {
            int count = 0;
            int refused = 0;
            const auto tally = [&](int, const char *text, qsizetype length) {
                ++count;
                refused += isRefusalUtf8(text, text + length);
            };
            if (!walkMatchesUtf8(criteria, texts, &stop, tally, turn))
                return false;
            addBlockCount(count, refused);
        }
        nextBlock = block + 1;
        if (stop.stopped()) {
            m_stop = stop;
            m_stopBlock = block;
            return false;
        }
        if (!afterBlock(block))
            return false;
        countOnly = !filling && criteria.matchesEverything();
        return !countOnly;
    }, m_span);
    if (!alive)
        return;
    if (countOnly && nextBlock <= m_lastBlock) {
        // The texts are made either way; their bytes are enough to count
        // them and their refusals.
        m_log->forEachBlockUtf8(nextBlock, m_lastBlock, [&](int block, const QByteArray &texts) {
            padCountsTo(block);
            int count = 0;
            const int refused = refusalsInUtf8(texts, &count);
            addBlockCount(count, refused);
            return afterBlock(block);
        }, m_span);
        if (!alive)
            return;
    }
    publishCountedRows();
    m_complete = !m_cancelled && !m_stop.stopped();
}

QStringList CStringListModel::rowsOfBlock(int block)
{
    // A block counted without a match need not be read again: with sparse
    // matches a page of rows can span thousands of blocks.
    const int counted = block - m_firstBlock;
    const bool isCounted = counted >= 0 && counted < m_blockCounts.size();
    if (isCounted && m_blockCounts.at(counted) == 0)
        return QStringList();
    const QStringList texts = m_log ? m_log->readBlock(block, m_span) : QStringList();
    QStringList rows;
    MatchStop stop;
    walkMatches(matcher(), texts, &stop, [&](int i) { rows.append(resultRow(texts.at(i))); }, [] { return true; });
    if (stop.stopped())
        m_loadStopped = true;
    // The rows the views count for the block, whatever this reading
    // decided, so that the rows of the blocks after it stay in place.
    if (isCounted) {
        const int count = m_blockCounts.at(counted);
        if (rows.size() > count)
            rows.erase(rows.begin() + count, rows.end());
        while (rows.size() < count)
            rows.append(QString());
    }
    return rows;
}

bool CStringListModel::searchRows(int block, const QStringList &texts, int *firstRow, QStringList *rows,
                                  MatchStop *stop, const std::function<bool()> &between)
{
    // Rows numbers come from the counts the view shows: a log that changed
    // since must not give a block more rows than it has there.
    rows->clear();
    if (!walkMatches(matcher(), texts, stop, [&](int i) { rows->append(resultRow(texts.at(i))); }, between))
        return false;
    const int counted = m_blockCounts.value(block - m_firstBlock);
    if (rows->size() > counted)
        rows->erase(rows->begin() + counted, rows->end());
    *firstRow = rowsBefore(block);
    return true;
}

bool CStringListModel::searchRows(int block, const QByteArray &texts, int *firstRow, QStringList *rows,
                                  MatchStop *stop, const std::function<bool()> &between)
{
    rows->clear();
    const auto take = [&](int, const char *text, qsizetype length) {
        rows->append(resultRow(QString::fromUtf8(text, int(length))));
    };
    if (!walkMatchesUtf8(matcher(), texts, stop, take, between))
        return false;
    const int counted = m_blockCounts.value(block - m_firstBlock);
    if (rows->size() > counted)
        rows->erase(rows->begin() + counted, rows->end());
    *firstRow = rowsBefore(block);
    return true;
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
    emit valueMaximum(last - first);
    m_log->forEachBlockUtf8(first, last, [&](int block, const QByteArray &texts) {
        if (!between()) {
            ended = true;
            return false;
        }
        emit valueChanged(block - first);
        const int counted = m_blockCounts.value(block - m_firstBlock);
        if (counted == 0 || !probe.mayContain(texts))
            return true;
        int firstRow = 0;
        QStringList rows;
        MatchStop stop;
        if (!searchRows(block, texts, &firstRow, &rows, &stop, between)) {
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
        const int openFrom = std::max(firstRow + int(rows.size()), fromRow + 1);
        if (stop.stopped() && openFrom < std::min(firstRow + counted, int(m_rowTotal))) {
            m_stop = stop;
            m_stopBlock = block;
            return false;
        }
        return true;
    }, m_span);
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
    // long sequential reads; only the blocks whose rows may hold the text
    // are read again, last first.
    int span = 64;
    std::vector<int> candidates;
    emit valueMaximum(start - m_firstBlock);
    for (int high = start; high >= m_firstBlock; span = std::min(span * 2, 8192)) {
        const int low = std::max(m_firstBlock, high - span + 1);
        candidates.clear();
        bool ended = false;
        emit valueChanged(start - high);
        m_log->forEachBlockUtf8(low, high, [&](int block, const QByteArray &texts) {
            if (!between()) {
                ended = true;
                return false;
            }
            if (m_blockCounts.value(block - m_firstBlock) > 0 && probe.mayContain(texts))
                candidates.push_back(block);
            return true;
        }, m_span);
        if (ended)
            return -1;
        for (auto it = candidates.crbegin(); it != candidates.crend(); ++it) {
            int firstRow = 0;
            QStringList rows;
            MatchStop stop;
            if (!searchRows(*it, m_log->readBlock(*it, m_span), &firstRow, &rows, &stop, between))
                return -1;
            // Shown rows before `fromRow` that could not be decided come
            // after every decided row of the block: any may be the hit.
            const int counted = m_blockCounts.value(*it - m_firstBlock);
            const int openFrom = firstRow + int(rows.size());
            if (stop.stopped() && openFrom < std::min({fromRow, firstRow + counted, int(m_rowTotal)})) {
                m_stop = stop;
                m_stopBlock = *it;
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
    // hard links or another owner, or in a folder that takes no new file,
    // is written in place instead.
    SaveTarget file(fileName);
    if (!file.open())
        return fail(file.errorString());
    if (!writeRows(file.handle(), format, error)) {
        file.cancelWriting();
        return false;
    }
    if (wholeOnly && (m_cancelled || m_stop.stopped())) {
        file.cancelWriting();
        return fail(m_cancelled ? tr("Cancelled.") : tr("A pattern is too costly to decide: %1").arg(m_stop.pattern));
    }
    // The final sync of a large file takes a while: keep the window turning.
    QPointer<CStringListModel> alive(this);
    Slice slice;
    if (!file.commit([&] { turnIfDue(slice, alive); }))
        return fail(file.errorString());
    return true;
}

bool CStringListModel::writeRows(int fd, ExportFormat format, QString *error)
{
    const auto fail = [error](const QString &reason) {
        if (error)
            *error = reason.isEmpty() ? tr("Unknown error") : reason;
        return false;
    };
    m_cancelled = false;
    m_stop = MatchStop();
    m_stopBlock = -1;
    emit valueMaximum(std::max(0, m_lastBlock - m_firstBlock));
    bool written = true;
    {
        // The rows are made here while the chunks made before are written.
        ChunkWriter writer(fd);
        QPointer<CStringListModel> alive(this);
        const CMatcher &criteria = matcher();
        UserNameBytes names;
        ExportRows rows(format);
        QByteArray buffer = exportHeader(format);
        buffer.reserve(saveChunk + (64 << 10));
        if (m_log && m_lastBlock >= m_firstBlock) {
            ProgressSteps progress(m_lastBlock - m_firstBlock);
            Slice slice;
            const std::function<bool()> between = [&] { return turnIfDue(slice, alive) && !m_cancelled; };
            m_log->forEachBlockUtf8(m_firstBlock, m_lastBlock, [&](int block, const QByteArray &texts) {
                const int blockStart = buffer.size();
                MatchStop stop;
                rows.append(criteria, texts, m_log->blockTime(block), names, &buffer, &stop, between);
                if (!alive)
                    return false;
                if (m_cancelled) {
                    // The file ends after the last block written whole.
                    buffer.resize(blockStart);
                    return false;
                }
                if (stop.stopped()) {
                    // The rows before the record are kept.
                    m_stop = stop;
                    m_stopBlock = block;
                    return false;
                }
                if (buffer.size() >= saveChunk) {
                    if (!writer.write(std::move(buffer)))
                        return false;
                    buffer = writer.buffer();
                    buffer.reserve(saveChunk + (64 << 10));
                }
                const int offset = block - m_firstBlock;
                if (progress.due(offset)) {
                    emit valueChanged(offset);
                    if (!alive)
                        return false;
                }
                return between();
            }, m_span);
        }
        if (!alive)
            return fail(tr("The results were closed while they were saved."));
        written = (buffer.isEmpty() || writer.write(std::move(buffer))) && writer.finish();
        if (!written)
            return fail(qt_error_string(writer.error()));
    }
    if (!m_cancelled && !m_stop.stopped())
        emit valueChanged(std::max(0, m_lastBlock - m_firstBlock));
    return true;
}

void CStringListModel::appendBlock(int block)
{
    const QStringList rows = rowsOfBlock(block);
    m_window.append(rows);
    if (m_windowOffsetsValid)
        m_windowOffsets.append(m_windowRowCount);
    m_windowRowCount += rows.size();
}

void CStringListModel::prependBlock(int block)
{
    const QStringList rows = rowsOfBlock(block);
    m_window.prepend(rows);
    m_windowOffsetsValid = false;
    m_windowRowCount += rows.size();
    m_windowFirstRow = std::max(0, m_windowFirstRow - int(rows.size()));
}

int CStringListModel::windowRows() const
{
    return m_windowRowCount;
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
    if (d > 0) {
        if (m_windowRowCount + m_windowFirstRow - m_pageRows < value && m_windowEndBlock <= end) {
            clearWindow();
            const int b = std::min(blockForRow(value), end);
            m_windowFirstRow = rowsBefore(b);
            m_windowStartBlock = b;
            m_windowEndBlock = b + 1;
            appendBlock(b);
            if (m_pageRows > 0) {
                qint32 sum = 0;
                while (m_windowEndBlock <= end && !m_loadStopped) {
                    const int before = m_windowRowCount;
                    appendBlock(m_windowEndBlock++);
                    sum += m_windowRowCount - before;
                    if (sum >= m_pageRows)
                        break;
                }
            }
        }
    } else if (d < 0) {
        if (m_pageRows + m_windowFirstRow > value && m_windowStartBlock > m_firstBlock && end >= m_firstBlock) {
            clearWindow();
            m_windowStartBlock = std::min(blockForRow(value + m_pageRows), end);
            prependBlock(m_windowStartBlock);
            qint32 sum = 0;
            while (sum < m_pageRows && m_windowStartBlock > m_firstBlock) {
                const int before = m_windowRowCount;
                prependBlock(--m_windowStartBlock);
                sum += m_windowRowCount - before;
            }
            m_windowFirstRow = rowsBefore(m_windowStartBlock);
            m_windowEndBlock = m_windowStartBlock + m_window.size();
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
int CStringListModel::windowStartBlock() const { return m_windowStartBlock; }
int CStringListModel::windowEndBlock() const { return m_windowEndBlock; }
