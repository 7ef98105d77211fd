// Several logs of one trail read as one: the time blocks of all of them in
// one numbering, merged by second, so that whatever walks a log's blocks
// walks the set's the same way. A set of one log hands every call straight
// to that log.
#ifndef LOGSET_H
#define LOGSET_H

#include "clog.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

class LogSet
{
public:
    // No log: no blocks.
    LogSet();
    // The one log `log` (not owned; it must outlive the set).
    explicit LogSet(CLog *log);
    ~LogSet();
    LogSet(const LogSet &) = delete;
    LogSet &operator=(const LogSet &) = delete;

    // Called with each log and its path before the log is read, to follow
    // its progress or cancel it.
    using Prepare = std::function<void(CLog &log, const QString &path)>;
    // Makes the set the logs at `paths` (each read with CLog::readLog, its
    // index file read and brought up to date), owned by the set. A path
    // that cannot be opened as a log is left out and added to `unreadable`;
    // a file named twice is read once.
    // A read that is cancelled ends the reading: the logs after it are left
    // out (isCancelled() tells). False when no log could be read.
    bool readLogs(const QStringList &paths, QStringList *unreadable = nullptr, const Prepare &prepare = {});
    // Adds the log at `path` to a set made by readLogs (read the same way);
    // false, with the set unchanged, when it cannot be opened.
    bool addLog(const QString &path, const Prepare &prepare = {});
    // Reads again every log whose file changed or whose index was found
    // stale (all of them when `all`), and numbers the blocks anew.
    void readAgain(bool all = false, const Prepare &prepare = {});
    // Numbers the blocks anew after a log of the set was read again by
    // another hand.
    void renumber();
    // After files of the set were moved within their folders (rotation: the
    // newest file renamed and a new one made under its name, older ones
    // renamed on): each moved file stays in the set under its new name (read
    // again there, its index files moved along), and a new file under the
    // newest's name joins the set as its newest from then on. A file of the
    // set found nowhere in its folder leaves the set, its path added to
    // `gone`. False, with the set unchanged, when every file of the set is
    // where it was read and the newest's name holds no new file.
    bool takeRotation(const Prepare &prepare = {}, QStringList *gone = nullptr);

    // True when the set was made of files (readLogs), even if one was read.
    bool isSet() const { return m_single == nullptr; }
    // The logs in their merge order: by first record date, older first,
    // equal dates by file name, empty logs last.
    int logCount() const;
    CLog *logAt(int index) const;
    // The paths of the logs in merge order.
    QStringList paths() const;
    // Which of logAt's logs block `block` belongs to; -1 for no block.
    int logOf(int block) const;
    // The block's number among its own log's blocks; -1 for no block.
    int ownBlock(int block) const;
    // The set's block that is block `ownBlock` of log `log`; -1 for none.
    int blockOf(int log, int ownBlock) const;
    // The log that grows: the file a rotation last made under the newest's
    // name (takeRotation), else the one whose last record is the latest;
    // null when there is none.
    CLog *newestLog() const;

    // --- As CLog does, over the blocks of all the logs -------------------
    // Blocks are ordered by their key (the second of their first record);
    // blocks of one second follow the logs' merge order. Each keeps the
    // records of its own log in their order.
    int blockCount() const;
    qint64 blockTime(int block) const;
    QDateTime blockDate(int block) const;
    // Offset of the block's first record in its own log; -1 for no block.
    qint64 blockOffset(int block) const;
    // Offset in its own log where the block's records end (the next block's
    // start there), or the largest offset for the last block of its log.
    qint64 blockEnd(int block) const;
    QDateTime firstDate() const;
    QDateTime lastDate() const;
    // The blocks that can hold records of `span`: `first` to `last`, with
    // last < first when there are none.
    void blocksFor(const TimeSpan &span, int *first, int *last) const;
    // Number of the first block whose time is not earlier than `date`, or
    // blockCount() if there is none.
    int blockForDate(const QDateTime &date) const;
    bool isMixedBlock(int block) const;
    const BlockSummary *blockSummary(int block) const;
    // As CLog::forEachPieceUtf8, with the set's block numbers in the
    // pieces (their `start` an offset in the block's own log). A block that
    // its own log says holds no record of `span` comes as one empty last
    // piece unread. Each log's file is opened once for the walk, however
    // many runs of its blocks it reads (see CLog::Reading).
    void forEachPieceUtf8(int first, int last, const std::function<bool(const CLog::TextPiece &piece)> &visit,
                          const TimeSpan &span = TimeSpan(), qint64 resumeAt = -1,
                          const BlockTest *test = nullptr) const;
    // True when any log's index was found stale / its last read cancelled.
    bool isIndexStale() const;
    bool isCancelled() const;
    // The one log's path; for a set, that of newestLog().
    QString logPath() const;
    // Records counted by the scans of all logs.
    qint64 recordCount() const;

private:
    // A run of the set's blocks that are consecutive blocks of one log.
    struct Run
    {
        int start;    // the set's number of the run's first block
        int log;      // index into m_logs
        int ownFirst; // that block's number in its own log
    };
    // The run holding block `block` (a valid block of a set).
    const Run &runOf(int block) const;
    int runEnd(size_t run) const;
    void orderLogs();

    // The identity of a file the set read (device and inode).
    struct FileId
    {
        quint64 device = 0;
        quint64 inode = 0;
        bool operator==(const FileId &other) const { return device == other.device && inode == other.inode; }
    };
    static FileId fileIdOf(const QString &path);
    void take(std::unique_ptr<CLog> log, const QString &path, const Prepare &prepare);

    CLog *m_single = nullptr;
    std::vector<std::unique_ptr<CLog>> m_owned;
    std::vector<FileId> m_ids; // of m_owned's files when they were read
    std::vector<CLog *> m_logs; // merge order
    std::vector<Run> m_runs;    // ascending starts
    CLog *m_grower = nullptr;   // the file the last rotation made, while in the set
    // For each log, the indexes of its runs in m_runs, ascending.
    std::vector<std::vector<size_t>> m_runsOfLog;
    int m_blockCount = 0;
};

#endif
