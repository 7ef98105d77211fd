#include "logset.h"

#include "clogcompanion.h"
#include "logpath.h"

#include <QDir>
#include <QFileInfo>

#include <cstdio>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <limits>

LogSet::LogSet() = default;

LogSet::LogSet(CLog *log) : m_single(log)
{
}

LogSet::~LogSet() = default;

LogSet::FileId LogSet::fileIdOf(const QString &path)
{
    struct stat st;
    if (::stat(LogPath::toBytes(path).constData(), &st) != 0)
        return FileId();
    return FileId{quint64(st.st_dev), quint64(st.st_ino)};
}

void LogSet::take(std::unique_ptr<CLog> log, const QString &path, const Prepare &prepare)
{
    if (prepare)
        prepare(*log, path);
    // The identity before the read: a file replaced while it is read is
    // seen as replaced afterwards.
    m_ids.push_back(fileIdOf(path));
    log->readLog(path);
    m_owned.push_back(std::move(log));
}

bool LogSet::readLogs(const QStringList &paths, QStringList *unreadable, const Prepare &prepare)
{
    m_single = nullptr;
    m_grower = nullptr;
    m_owned.clear();
    m_ids.clear();
    for (const QString &path : paths) {
        if (!CLog::canOpenLog(path)) {
            if (unreadable)
                unreadable->append(path);
            continue;
        }
        // A file named twice (or by a link too) is read once.
        if (std::find(m_ids.begin(), m_ids.end(), fileIdOf(path)) != m_ids.end())
            continue;
        take(std::make_unique<CLog>(), path, prepare);
        if (m_owned.back()->isCancelled())
            break;
    }
    renumber();
    return !m_owned.empty();
}

bool LogSet::addLog(const QString &path, const Prepare &prepare)
{
    if (m_single || !CLog::canOpenLog(path))
        return false;
    take(std::make_unique<CLog>(), path, prepare);
    renumber();
    return true;
}

bool LogSet::takeRotation(const Prepare &prepare, QStringList *gone)
{
    CLog *const newest = newestLog();
    if (m_single || !newest)
        return false;
    const QString newestPath = newest->logPath();
    // Where each file is now: its own name, another name in its folder
    // (found by its identity), or nowhere (empty).
    std::vector<QString> now(m_owned.size());
    bool moved = false;
    for (size_t i = 0; i < m_owned.size(); ++i) {
        const QString path = m_owned[i]->logPath();
        if (fileIdOf(path) == m_ids[i]) {
            now[i] = path;
            continue;
        }
        moved = true;
        const QDir folder = QFileInfo(path).dir();
        for (const QString &name : folder.entryList(QDir::Files | QDir::Hidden)) {
            const QString candidate = folder.filePath(name);
            if (fileIdOf(candidate) == m_ids[i]) {
                now[i] = candidate;
                break;
            }
        }
    }
    const FileId newId = fileIdOf(newestPath);
    const bool joins = !(newId == FileId()) && std::find(m_ids.begin(), m_ids.end(), newId) == m_ids.end()
                       && CLog::canOpenLog(newestPath);
    if (!moved && !joins)
        return false;

    // The index files go with their logs, so that reading a log under its
    // new name loads them instead of scanning it again. A rotation renames
    // along a chain (.1 to .2, then the newest to .1): a move whose target
    // another move still has to leave waits for it; moves in a cycle drop
    // their index files, and those logs are scanned again.
    std::vector<std::pair<QString, QString>> moves;
    for (size_t i = 0; i < m_owned.size(); ++i) {
        if (now[i].isEmpty() || now[i] == m_owned[i]->logPath())
            continue;
        const QString from = CLog::indexFilePath(m_owned[i]->logPath());
        const QString to = CLog::indexFilePath(now[i]);
        moves.emplace_back(from, to);
        moves.emplace_back(companion::pathFor(from), companion::pathFor(to));
    }
    while (!moves.empty()) {
        const auto free = std::find_if(moves.begin(), moves.end(), [&moves](const auto &move) {
            return std::none_of(moves.begin(), moves.end(),
                                [&move](const auto &other) { return other.first == move.second; });
        });
        if (free == moves.end()) {
            for (const auto &move : moves)
                ::unlink(LogPath::toBytes(move.first).constData());
            break;
        }
        if (::rename(LogPath::toBytes(free->first).constData(), LogPath::toBytes(free->second).constData()) != 0)
            ::unlink(LogPath::toBytes(free->second).constData());
        moves.erase(free);
    }
    // A moved log is read again by the reader that held it, so whatever
    // holds that reader keeps it; its blocks stay as they were.
    for (size_t i = 0; i < m_owned.size(); ++i) {
        if (now[i].isEmpty() || now[i] == m_owned[i]->logPath())
            continue;
        if (prepare)
            prepare(*m_owned[i], now[i]);
        m_owned[i]->readLog(now[i]);
    }
    if (joins) {
        take(std::make_unique<CLog>(), newestPath, prepare);
        m_grower = m_owned.back().get();
    }
    // What is gone leaves last, right before the new numbering, so that
    // nothing in between reaches a reader no longer there.
    for (size_t i = now.size(); i-- > 0;) {
        if (!now[i].isEmpty())
            continue;
        if (gone)
            gone->append(m_owned[i]->logPath());
        if (m_grower == m_owned[i].get())
            m_grower = nullptr;
        m_owned.erase(m_owned.begin() + std::ptrdiff_t(i));
        m_ids.erase(m_ids.begin() + std::ptrdiff_t(i));
    }
    renumber();
    return true;
}

void LogSet::readAgain(bool all, const Prepare &prepare)
{
    const auto again = [&](CLog *log) {
        if (all || log->isIndexStale() || log->isChanged(log->logPath())) {
            if (prepare)
                prepare(*log, log->logPath());
            log->readLog(log->logPath());
        }
    };
    if (m_single) {
        again(m_single);
        return;
    }
    for (const auto &log : m_owned)
        again(log.get());
    renumber();
}

void LogSet::orderLogs()
{
    m_logs.clear();
    for (const auto &log : m_owned)
        m_logs.push_back(log.get());
    // The older file first: by its first record's time (its first block's
    // key), equal times by file name, then by path so the order is total.
    std::stable_sort(m_logs.begin(), m_logs.end(), [](const CLog *a, const CLog *b) {
        const bool emptyA = a->blockCount() == 0;
        const bool emptyB = b->blockCount() == 0;
        if (emptyA != emptyB)
            return emptyB;
        if (!emptyA && a->blockTime(0) != b->blockTime(0))
            return a->blockTime(0) < b->blockTime(0);
        const QString nameA = QFileInfo(a->logPath()).fileName();
        const QString nameB = QFileInfo(b->logPath()).fileName();
        if (nameA != nameB)
            return nameA < nameB;
        return a->logPath() < b->logPath();
    });
}

void LogSet::renumber()
{
    m_runs.clear();
    m_runsOfLog.clear();
    m_blockCount = 0;
    if (m_single)
        return;
    orderLogs();
    const int logs = int(m_logs.size());
    m_runsOfLog.resize(size_t(logs));
    std::vector<int> next(size_t(logs), 0);
    // Each step takes the log whose next block comes first (its key, then
    // the merge order), and with it every further block of that log that
    // still comes before the others' next: a run. Keys rise within a log,
    // so the run's end is a binary search, and files that do not overlap
    // make one run each.
    for (;;) {
        int pick = -1;
        for (int i = 0; i < logs; ++i) {
            if (next[size_t(i)] >= m_logs[size_t(i)]->blockCount())
                continue;
            if (pick < 0 || m_logs[size_t(i)]->blockTime(next[size_t(i)])
                                < m_logs[size_t(pick)]->blockTime(next[size_t(pick)]))
                pick = i;
        }
        if (pick < 0)
            break;
        const CLog *log = m_logs[size_t(pick)];
        // The run ends before the first block that another log's next block
        // comes before: one of a smaller key, or of the same key from a log
        // earlier in the order.
        qint64 bound = std::numeric_limits<qint64>::max(); // blocks with key < bound stay
        for (int i = 0; i < logs; ++i) {
            if (i == pick || next[size_t(i)] >= m_logs[size_t(i)]->blockCount())
                continue;
            const qint64 key = m_logs[size_t(i)]->blockTime(next[size_t(i)]);
            bound = std::min(bound, i < pick ? key : key + 1);
        }
        int low = next[size_t(pick)] + 1;
        int high = log->blockCount();
        while (low < high) {
            const int mid = low + (high - low) / 2;
            if (log->blockTime(mid) < bound)
                low = mid + 1;
            else
                high = mid;
        }
        m_runsOfLog[size_t(pick)].push_back(m_runs.size());
        m_runs.push_back(Run{m_blockCount, pick, next[size_t(pick)]});
        m_blockCount += low - next[size_t(pick)];
        next[size_t(pick)] = low;
    }
}

int LogSet::logCount() const
{
    return m_single ? 1 : int(m_logs.size());
}

CLog *LogSet::logAt(int index) const
{
    if (m_single)
        return index == 0 ? m_single : nullptr;
    return index >= 0 && index < int(m_logs.size()) ? m_logs[size_t(index)] : nullptr;
}

QStringList LogSet::paths() const
{
    QStringList result;
    for (int i = 0; i < logCount(); ++i)
        result.append(logAt(i)->logPath());
    return result;
}

const LogSet::Run &LogSet::runOf(int block) const
{
    const auto it = std::upper_bound(m_runs.begin(), m_runs.end(), block,
                                     [](int b, const Run &run) { return b < run.start; });
    return *(it - 1);
}

int LogSet::runEnd(size_t run) const
{
    return run + 1 < m_runs.size() ? m_runs[run + 1].start : m_blockCount;
}

int LogSet::logOf(int block) const
{
    if (m_single)
        return block >= 0 && block < m_single->blockCount() ? 0 : -1;
    return block >= 0 && block < m_blockCount ? runOf(block).log : -1;
}

int LogSet::ownBlock(int block) const
{
    if (m_single)
        return block >= 0 && block < m_single->blockCount() ? block : -1;
    if (block < 0 || block >= m_blockCount)
        return -1;
    const Run &run = runOf(block);
    return run.ownFirst + block - run.start;
}

int LogSet::blockOf(int log, int ownBlock) const
{
    if (m_single)
        return log == 0 && ownBlock >= 0 && ownBlock < m_single->blockCount() ? ownBlock : -1;
    if (log < 0 || log >= int(m_logs.size()) || ownBlock < 0 || ownBlock >= m_logs[size_t(log)]->blockCount())
        return -1;
    const std::vector<size_t> &runs = m_runsOfLog[size_t(log)];
    const auto it = std::upper_bound(runs.begin(), runs.end(), ownBlock,
                                     [this](int b, size_t run) { return b < m_runs[run].ownFirst; });
    const Run &run = m_runs[*(it - 1)];
    return run.start + ownBlock - run.ownFirst;
}

CLog *LogSet::newestLog() const
{
    if (m_single)
        return m_single;
    if (m_grower)
        return m_grower;
    CLog *newest = nullptr;
    for (CLog *log : m_logs) {
        if (log->blockCount() == 0)
            continue;
        if (!newest || log->blockTime(log->blockCount() - 1) >= newest->blockTime(newest->blockCount() - 1))
            newest = log;
    }
    return newest ? newest : (m_logs.empty() ? nullptr : m_logs.back());
}

int LogSet::blockCount() const
{
    return m_single ? m_single->blockCount() : m_blockCount;
}

qint64 LogSet::blockTime(int block) const
{
    if (m_single)
        return m_single->blockTime(block);
    const int log = logOf(block);
    return log < 0 ? -1 : m_logs[size_t(log)]->blockTime(ownBlock(block));
}

QDateTime LogSet::blockDate(int block) const
{
    if (m_single)
        return m_single->blockDate(block);
    const int log = logOf(block);
    return log < 0 ? QDateTime() : m_logs[size_t(log)]->blockDate(ownBlock(block));
}

qint64 LogSet::blockOffset(int block) const
{
    if (m_single)
        return m_single->blockOffset(block);
    const int log = logOf(block);
    return log < 0 ? -1 : m_logs[size_t(log)]->blockOffset(ownBlock(block));
}

qint64 LogSet::blockEnd(int block) const
{
    const int log = logOf(block);
    if (log < 0)
        return -1;
    const CLog *own = logAt(log);
    const int next = ownBlock(block) + 1;
    return next < own->blockCount() ? own->blockOffset(next) : std::numeric_limits<qint64>::max();
}

QDateTime LogSet::firstDate() const
{
    return m_single ? m_single->firstDate() : blockDate(0);
}

QDateTime LogSet::lastDate() const
{
    return m_single ? m_single->lastDate() : blockDate(m_blockCount - 1);
}

void LogSet::blocksFor(const TimeSpan &span, int *first, int *last) const
{
    if (m_single) {
        m_single->blocksFor(span, first, last);
        return;
    }
    // From the first block any log can hold records of the span in to the
    // last; within that, forEachPieceUtf8 passes over each log's blocks
    // outside its own.
    *first = -1;
    *last = -1;
    int firstEmpty = 0;
    for (int i = 0; i < int(m_logs.size()); ++i) {
        int a = 0;
        int b = -1;
        m_logs[size_t(i)]->blocksFor(span, &a, &b);
        if (b < a) {
            // Where a log with nothing of the span would begin it: the
            // range's start when no log has any.
            const int at = a < m_logs[size_t(i)]->blockCount() ? blockOf(i, a) : m_blockCount;
            firstEmpty = i == 0 ? at : std::min(firstEmpty, at);
            continue;
        }
        const int from = blockOf(i, a);
        const int to = blockOf(i, b);
        *first = *first < 0 ? from : std::min(*first, from);
        *last = std::max(*last, to);
    }
    if (*first < 0) {
        *first = m_logs.empty() ? 0 : firstEmpty;
        *last = *first - 1;
    }
}

int LogSet::blockForDate(const QDateTime &date) const
{
    if (m_single)
        return m_single->blockForDate(date);
    const qint64 secs = qint64(quint32(date.toSecsSinceEpoch()));
    int low = 0;
    int high = m_blockCount;
    while (low < high) {
        const int mid = low + (high - low) / 2;
        if (blockTime(mid) < secs)
            low = mid + 1;
        else
            high = mid;
    }
    return low;
}

bool LogSet::isMixedBlock(int block) const
{
    if (m_single)
        return m_single->isMixedBlock(block);
    const int log = logOf(block);
    return log >= 0 && m_logs[size_t(log)]->isMixedBlock(ownBlock(block));
}

const BlockSummary *LogSet::blockSummary(int block) const
{
    if (m_single)
        return m_single->blockSummary(block);
    const int log = logOf(block);
    return log < 0 ? nullptr : m_logs[size_t(log)]->blockSummary(ownBlock(block));
}

void LogSet::forEachPieceUtf8(int first, int last, const std::function<bool(const CLog::TextPiece &)> &visit,
                              const TimeSpan &span, qint64 resumeAt,
                              const BlockTest *test) const
{
    if (m_single) {
        m_single->forEachPieceUtf8(first, last, visit, span, resumeAt, test);
        return;
    }
    first = std::max(first, 0);
    last = std::min(last, m_blockCount - 1);
    if (first > last)
        return;
    // Each log's own blocks that can hold records of the span.
    std::vector<std::pair<int, int>> own(m_logs.size());
    for (size_t i = 0; i < m_logs.size(); ++i)
        m_logs[i]->blocksFor(span, &own[i].first, &own[i].second);

    bool going = true;
    const auto passOver = [&](int block, const CLog *log, int ownNumber) {
        CLog::TextPiece piece;
        piece.block = block;
        piece.start = log->blockOffset(ownNumber);
        piece.last = true;
        going = visit(piece);
    };
    // One reading per log for the whole walk: a log whose times overlap
    // the others' comes in many runs, and each goes on in the file and
    // window its last one left, instead of opening the file again. A log's
    // reading ends after its last run; whatever is left, with the walk.
    std::vector<std::unique_ptr<CLog::Reading>> readings(m_logs.size());
    size_t run = size_t(&runOf(first) - m_runs.data());
    for (int block = first; going && block <= last; ++run) {
        const Run &r = m_runs[run];
        const CLog *log = m_logs[size_t(r.log)];
        std::unique_ptr<CLog::Reading> &reading = readings[size_t(r.log)];
        const int segEnd = std::min(last, runEnd(run) - 1);
        const int base = r.start - r.ownFirst; // set's number = own number + base
        const int ownFrom = block - base;
        const int ownTo = segEnd - base;
        const int readFrom = std::max(ownFrom, own[size_t(r.log)].first);
        const int readTo = std::min(ownTo, own[size_t(r.log)].second);
        for (int b = ownFrom; going && b < std::min(readFrom, ownTo + 1); ++b)
            passOver(b + base, log, b);
        if (going && readFrom <= readTo) {
            const qint64 resume = block == first && readFrom == ownFrom ? resumeAt : -1;
            if (!reading)
                reading = std::make_unique<CLog::Reading>();
            log->forEachPieceUtf8(*reading, readFrom, readTo, [&](const CLog::TextPiece &piece) {
                CLog::TextPiece renumbered = piece;
                renumbered.block = piece.block + base;
                going = visit(renumbered);
                return going;
            }, span, resume, test);
        }
        for (int b = std::max(readFrom, readTo + 1); going && b <= ownTo; ++b)
            passOver(b + base, log, b);
        if (m_runsOfLog[size_t(r.log)].back() == run)
            reading.reset();
        block = segEnd + 1;
    }
}

bool LogSet::isIndexStale() const
{
    if (m_single)
        return m_single->isIndexStale();
    return std::any_of(m_logs.begin(), m_logs.end(), [](const CLog *log) { return log->isIndexStale(); });
}

bool LogSet::isCancelled() const
{
    if (m_single)
        return m_single->isCancelled();
    return std::any_of(m_logs.begin(), m_logs.end(), [](const CLog *log) { return log->isCancelled(); });
}

QString LogSet::logPath() const
{
    const CLog *log = newestLog();
    return log ? log->logPath() : QString();
}

qint64 LogSet::recordCount() const
{
    qint64 count = 0;
    for (int i = 0; i < logCount(); ++i)
        count += logAt(i)->recordCount();
    return count;
}
