// The model of one result tab: how many records of each time block of the
// filter's range match, and a window of loaded rows around what is shown.
// It holds the run's counts (runcounts.h) and the window (rowwindow.h),
// reads the log through one walk (resultwalk.h) and answers the views;
// the run and the range are in cstringlistmodel.cpp, scrolling in
// modelwindow.cpp, find in modelsearch.cpp, save, export and the summary's
// rows in modelsave.cpp, the rows of a selection in modelcopy.cpp,
// following a growing log in modelfollow.cpp, the records behind rows (for
// marks) in modelmarks.cpp.
#ifndef CSTRINGLISTMODEL_H
#define CSTRINGLISTMODEL_H

#include <QAbstractListModel>
#include <QList>
#include <QPointer>
#include <QStringList>
#include <QVector>

#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "cfilter.h"
#include "clog.h"
#include "exportformat.h"
#include "logset.h"
#include "filtermatch.h"
#include "resultwalk.h"
#include "rowranges.h"
#include "rowwindow.h"
#include "runcounts.h"

class BackgroundSync;
class BlockQuestion;
class CMatcher;

class CStringListModel : public QAbstractListModel
{
    Q_OBJECT
public:
    // `log` is not owned and must outlive the model; the filter is shared.
    CStringListModel(CLog *log, const CFilterPtr &filter, QObject *parent = nullptr);
    // The result over the logs of `logs` as one (not owned, it must outlive
    // the model), their blocks in the set's merged order.
    CStringListModel(LogSet *logs, const CFilterPtr &filter, QObject *parent = nullptr);
    ~CStringListModel() override;

    // The rows announced so far (all matches of the counted blocks).
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    // Display: the result row when it is in the window, else invalid.
    // Background: translucent red for refused records.
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    // Turns the filter's time range into blocks, loads the first window and
    // counts the matches of every block, with progress and cancel. When the
    // log's index is found not to fit the log on the way, the log is read
    // again (a full scan, through CLog::readLog) and the run made again. The range
    // ends with the last block not later than the range's end. A record the
    // filter cannot decide ends the run (see stop()): the counts cover the
    // blocks before it and the records of its block before it.
    void runFilter();

    // Run, search and save let the event loop turn after every 30 ms or so
    // of work, inside a block too, and end at the next turn after cancel().

    // The first row after `fromRow` whose result row contains `text`
    // (compared as `cs` says), or -1. Reads the log again from the block of
    // `fromRow` to the last block with rows shown, holding a bounded piece of a
    // block's rows at a time, with progress over those blocks. -1 too when cancelled
    // (isCancelled()) or when a record the filter cannot decide leaves the
    // answer open (stop()).
    int searchForward(const QString &text, int fromRow, Qt::CaseSensitivity cs = Qt::CaseSensitive);
    // The last row before `fromRow` whose result row contains `text`, or -1;
    // the same towards the first block.
    int searchBackward(const QString &text, int fromRow, Qt::CaseSensitivity cs = Qt::CaseSensitive);
    // Writes the result rows of the whole range in `format` (the text
    // format: each row followed by "\n", as UTF-8) to `fileName`, with
    // progress and cancel. The file is replaced only when every block is
    // written, every block before a cancel (of a block too large to hold
    // whole, the pieces before it), or every row before a record the
    // filter cannot decide (stop()); with `wholeOnly`, only when every block
    // is written. Otherwise it is left as it was. False, with the reason in
    // `error`, when it could not be written (or, with `wholeOnly`, was not
    // written whole).
    // With `onlyRecords` (offsets, ascending), only the rows of those records
    // are written, and only their blocks read.
    bool saveToFile(const QString &fileName, QString *error = nullptr, ExportFormat format = ExportFormat::Text,
                    bool wholeOnly = false, const std::vector<qint64> *onlyRecords = nullptr);
    // Writes the same rows to the open descriptor `fd` (not owned), as they
    // are made, telling `sync` (when given) of each chunk written. False,
    // with the reason in `error`, when a write or a sync failed or the model
    // went away meanwhile; a cancel or a stop() is no failure here.
    bool writeRows(int fd, ExportFormat format, QString *error = nullptr, BackgroundSync *sync = nullptr,
                   const std::vector<qint64> *onlyRecords = nullptr);
    // Calls `visit(name, text)` for every result row of the whole range, as
    // writeRows would write it (user name and record text, UTF-8), with its
    // progress, cancel and stop. False when the model went away meanwhile
    // (then it must not be touched).
    bool forEachRow(const std::function<void(std::string_view name, std::string_view text)> &visit);
    // --- Chosen rows (modelcopy.cpp) ---------------------------------------
    // Calls `visit(name, text, recordTime)` for every row of `rows` that the
    // views have, in row order, read again from the log through the walk a
    // save reads: user name and record text in UTF-8 exactly as saveToFile
    // writes them, and the time of the record's block. With `turns`, the
    // event loop turns every 30 ms or so, with progress over the rows and
    // cancel; without, nothing else runs meanwhile (for a few rows). Only
    // the pieces of blocks that hold chosen rows are read, from the run's
    // nearest checkpoint. False when cancelled (isCancelled()), ended at a
    // record the filter cannot decide (stop()), or when the model went away
    // meanwhile (then it must not be touched).
    bool forEachChosenRow(const RowRanges &rows, bool turns,
                          const std::function<void(std::string_view name, std::string_view text, qint64 recordTime)>
                              &visit);
    // The most bytes of text a copy holds (a QByteArray holds less than 2 GiB).
    static constexpr int kCopyLimit = 1 << 30;
    // Appends to `out` the rows of `rows` in `format` as saveToFile writes
    // them (CSV: its header first); false as forEachChosenRow, and false,
    // cancelled, once the text would pass kCopyLimit bytes.
    bool chosenRowsText(const RowRanges &rows, ExportFormat format, bool turns, QByteArray *out);
    // The record text of row `row` (UTF-8) and the time of its block, read
    // again from the log; false for a row that is not shown or not read.
    // Leaves cancel and stop() as they were.
    bool recordOfRow(int row, QByteArray *text, qint64 *recordTime);

    // Sets the block range from the log and the filter's time range as
    // runFilter() does, without reading the log: for saving or summing up
    // the results of a model that shows none.
    void useFilterRange();
    // Sets the block range to the blocks from `start` to `end` (an invalid
    // date: the log's first or last), without reading the log; runFilter()
    // keeps it until useFilterRange() is called.
    void useRange(const QDateTime &start, const QDateTime &end);

    // Where the last run, search or save stopped at a record the filter
    // could not decide within its limits: the pattern too costly for it, and
    // the record's index among the texts of block stopBlock(). Not stopped()
    // when every record it met was decided.
    const MatchStop &stop() const;
    int stopBlock() const;

    // Rows held in the window.
    int windowRows() const;
    // Block that holds row `row` (past all counted rows: the block after them).
    int blockForRow(int row) const;
    // Number of rows before the first row of block `block`.
    int rowsBefore(int block) const;
    // Number of refused records among those rows (the rows shaded red).
    int refusalsBefore(int block) const;
    // True when a record text carries the refusal mark the rows are shaded for.
    static bool isRefusalText(const QString &text);
    // Tells the views that rows `first` to `last` changed (clipped to the rows shown).
    void announceRows(int first, int last);

    // --- The records of rows, for marks (modelmarks.cpp) ------------------
    // The offset of the record row `row` was made from, its text to `text`
    // when given; -1 for a row not counted or a block that reads otherwise
    // than it was counted. Reads the row's block (not the whole result).
    qint64 recordOfRow(int row, QString *text = nullptr);
    // The one log whose offsets marks name; null for a set of logs.
    CLog *markedLog() const;
    // For the records at `offsets` (`n` of them, ascending, all in block
    // `block`): to `inBlock[i]` the record's row among the block's rows, or
    // -1 when the result shows no row of it (the filter or the range leave
    // it out, the block is not counted, or the record's text is no longer
    // `texts[i]`). Reads the block once, and only when it has rows.
    void recordRowsInBlock(int block, const qint64 *offsets, const QString *texts, int n, int *inBlock);

    // --- Following a growing log (modelfollow.cpp) ------------------------
    enum class Growth { None, Added, NeedsRun };
    // After the log of the last run was read again and found grown: recounts
    // the range's last block when it was the log's last (records of its
    // second may have joined it) and counts the blocks after it, up to the
    // range's end (the log's end for a range that ends with the log); the new
    // rows come at the end and nothing counted before is run again, except
    // that rows the last block was given from records appended after the
    // log was read (it reads to the end of the file) are taken back from the
    // end, to come again under their own blocks. A range
    // relative to the log's end keeps the start its run computed. Added when
    // rows were added; NeedsRun, with nothing changed, when the log's blocks
    // were renumbered or lost since (a full run gives the rows then); None
    // when nothing changed or the last run did not end complete.
    Growth followGrowth();
    // True when the last run (and what followed it) counted its whole range.
    bool isComplete() const;
    // Lets go of the log for good (another file bears its name now): the
    // rows loaded stay, nothing is read from the log again.
    void detachLog();

    // The one log of the result; for a set, the log that grows (its newest).
    // Null once let go.
    CLog *log() const;
    // The logs of the result as one numbering of blocks (one log: that log's
    // own); null once let go.
    const LogSet *logs() const;
    const CFilterPtr &filter() const;
    int firstBlock() const;
    int lastBlock() const;
    bool isCancelled() const;
    // Matching records of each counted block, from firstBlock() on.
    const QList<qint32> &blockCounts() const;
    // Row number of the window's first row.
    int windowFirstRow() const;
    // Block of the window's first row, and the block after that of its last.
    int windowStartBlock() const;
    int windowEndBlock() const;

public slots:
    // Moves the window to follow the top visible row `value`. Once a run has
    // ended, only blocks it counted are loaded.
    void scrollMoved(int value);
    // Ends the run, search or save under way at its next turn.
    void cancel();

signals:
    void valueChanged(int value);
    void valueMaximum(int maximum);

private:
    // Marks the model as running for as long as it lives.
    class RunningGuard
    {
    public:
        explicit RunningGuard(CStringListModel *model);
        ~RunningGuard();
        RunningGuard(const RunningGuard &) = delete;
        RunningGuard &operator=(const RunningGuard &) = delete;

    private:
        QPointer<CStringListModel> m_model;
    };

    void runOnce();
    const CMatcher &matcher();
    // The reading of the range's blocks with the run's criteria (none
    // once the log is let go).
    ResultWalk walk();
    // What a walk asks each block's summary before reading the block: null
    // when the filter rules no block out by its summary.
    std::shared_ptr<const BlockTest> blockTest();
    // The event loop's turn of a counting walk once `ms` of work are done,
    // with the counted rows published before it; false to stop (cancelled,
    // or the model is gone).
    std::function<bool()> countingTurn(qint64 ms, const QPointer<CStringListModel> &alive);
    // Counts the blocks `from` to `to` piece by piece, their matches going to
    // the window while it ends where they begin and holds fewer than
    // `windowLimit` rows. `beforeCount(block, count)` comes before a block's
    // count is added, `afterBlock(block)` after it (false ends the walk).
    // With `resume`, a checkpoint of block `from`, that block is counted on
    // from there. False when a cancel, a record the filter cannot decide
    // (stop()) or `afterBlock` ended it.
    bool countBlocks(int from, int to, qint32 windowLimit, const std::function<bool()> &turn,
                     const std::function<void(int block, qint32 count)> &beforeCount,
                     const std::function<bool(int block)> &afterBlock,
                     const RunCounts::Checkpoint *resume = nullptr);
    // The number of the piece's first row, its block's rows before it being
    // `*blockRows` (set from a checkpoint or the block's start where they
    // tell); `*blockRows` then counts the piece's rows too. The rows go to
    // `rows` (no more than the block was counted for), or are only counted
    // when it is null. -1 when `between` ended the walk.
    int pieceRows(const CLog::TextPiece &piece, int *blockRows, QStringList *rows, MatchStop *stop,
                  const std::function<bool()> &between);
    // Walks the texts of the whole range piece by piece with the progress,
    // turns and cancel of a save; `perPiece(piece, stop, between)` takes one
    // piece (false ends the walk), and a record it could not decide (`stop`)
    // ends the walk as stop() then says. False when the model went away.
    // With `onlyRecords` (ascending offsets), each block that holds some of
    // them comes as one piece of just their texts.
    bool walkResultPieces(
        const std::function<bool(const CLog::TextPiece &piece, MatchStop *stop, const std::function<bool()> &between)>
            &perPiece,
        const std::vector<qint64> *onlyRecords = nullptr);
    // Hands `visit` a piece of the texts of the records at `offsets` for each
    // block of the range that holds some of them, in block order; stops
    // when `visit` returns false.
    void forEachRecordPiece(const std::vector<qint64> &offsets, const ResultWalk::Visit &visit);
    // The last block scrolling loads: the range's while a run counts, then
    // the last block counted.
    int lastLoadableBlock() const;
    bool publishCountedRows();

    // The blocks read: m_ownLogs for a model made on one log, else the
    // set it was given; null once the log is let go.
    std::unique_ptr<LogSet> m_ownLogs;
    LogSet *m_logs;
    CFilterPtr m_filter;
    // The counts of the last run, as far as it got, and the first block of
    // the range they are counted from.
    RunCounts m_counts;
    // The rows loaded around the views' rows (modelwindow.cpp).
    RowWindow m_window;
    // The rows the views were told of.
    qint32 m_rowTotal = 0;
    // The record times of the filter's range; blocks that hold other times
    // too give only the records of these.
    TimeSpan m_span;
    // A range given by useRange(), kept for the runs that follow.
    bool m_ownRange = false;
    QDateTime m_rangeStart;
    QDateTime m_rangeEnd;
    qint32 m_lastBlock = 0;
    bool m_cancelled = false;
    const qint32 m_pageRows = 500;
    bool m_running = false;
    MatchStop m_stop;
    int m_stopBlock = -1;

    // The log as the counts know it: its path, number of blocks and the
    // offset of its last block, to tell growth from renumbering; whether the
    // counts cover the whole range.
    void rememberLog();
    QString m_knownPath;
    int m_knownBlocks = 0;
    qint64 m_knownLastOffset = -1;
    // Of a set: the reader of the last block's file (a rotation renames a
    // file but keeps its reader, so its blocks stay those counted).
    const CLog *m_knownLastLog = nullptr;
    const CLog *lastBlockLog() const;
    bool m_complete = false;

    // Criteria compiled once per run, so rows and counts always agree even
    // if the shared filter is edited while the tab shows them.
    std::unique_ptr<const CMatcher> m_matcher;
    // Held by each walk's test as well: a run started from the event loop of
    // a walk replaces it without pulling it from under that walk.
    std::shared_ptr<const BlockQuestion> m_question; // made with m_matcher
};

#endif
