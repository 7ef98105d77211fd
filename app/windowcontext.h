// What the main window's additions (following the log, the time line, the
// row counts, the summary, the marks) may ask of the window: its result tabs and what
// each shows, the log it holds, the long operation under way, and the
// messages every command gives the same way. The window answers it; an
// addition knows nothing else of the window.
#ifndef WINDOWCONTEXT_H
#define WINDOWCONTEXT_H

#include "cfilter.h"

#include <QDateTime>
#include <QString>

#include <vector>
#include <memory>

class CLog;
class CStringListModel;
class LogSet;
class FilterSelector;
class QStatusBar;
class QTabWidget;
class QWidget;
class ResultView;

// What a result tab shows: the filter last applied in it and its log.
struct TabInfo
{
    // The filter as the tab's rows were made with it: a copy that no edit
    // changes. Null for a tab that never showed results.
    CFilterPtr filter;
    // The record of the filter list it was copied from, which edits change.
    CFilterPtr source;
    QString fileName;   // file name of the log, no folder
    QString filePath;   // the log's full path, so switching back shows exactly it
    // The reader of that log, kept open with the tab (one per file, shared
    // by the tabs of the file): switching back to the tab reads nothing
    // again. Null for a tab that never showed results.
    std::shared_ptr<CLog> log;
    // For a tab over logs opened together: the set, kept open with the tab
    // as `log` is for one log (which then stays null, `filePath` empty).
    std::shared_ptr<LogSet> set;
    bool counting = false;  // a filter run is counting the tab's rows
    // The last run ended before the end of its range (cancelled, or stopped
    // at a record it could not decide): its rows end at `stoppedAt`.
    bool stopped = false;
    QDateTime stoppedAt;
};

class WindowContext
{
public:
    virtual ~WindowContext() = default;

    // The window: parent of the boxes and dialogs an addition shows, and of
    // its actions.
    virtual QWidget *window() const = 0;
    // The result tabs; tab `i` shows what tabInfo(i) says.
    virtual QTabWidget *resultTabs() const = 0;
    // The view of the current tab; null when there is none.
    virtual ResultView *currentResultView() const = 0;
    // What tab `index` shows; null for an index without a tab.
    virtual TabInfo *tabInfo(int index) = 0;
    virtual const TabInfo *tabInfo(int index) const = 0;
    // The reader of the open log (the current tab's, once it showed
    // results); never null.
    virtual CLog *logReader() const = 0;
    virtual QStatusBar *statusBar() const = 0;
    // The filter selector of the filter toolbar.
    virtual FilterSelector *filterSelector() const = 0;

    // True while a log is read or a long operation holds the window.
    virtual bool isBusy() const = 0;
    // Holds the window for a long operation (true) or frees it again: the
    // commands that must not start meanwhile are disabled until it is free.
    virtual void setBusy(bool busy) = 0;
    // The model Cancel reaches while an operation runs on it; null for none.
    virtual void setRunningModel(CStringListModel *model) = 0;
    // The reader Cancel reaches while it reads; null once it is done.
    virtual void setReadingLog(CLog *reader) = 0;

    // The warning of a command refused while another operation runs.
    virtual void warnBusy() = 0;
    // Tells that `pattern` was too costly to decide for a record, so that
    // the operation stopped there.
    virtual void warnCostlyPattern(const QString &pattern) = 0;
    // Describes the tab's filter in the Filter info panel.
    virtual void showTabFilter(const TabInfo &info) = 0;
    // Describes `filter`, just changed in place, marks its selector entry
    // and runs it in the current tab, as after an edit in the editor.
    virtual void applyEditedFilter(const CFilterPtr &filter) = 0;
    // Shows the dates and size of the log at `path` afresh in its row of
    // the log files panel, if it has one.
    virtual void updateLogFileRow(const QString &path) = 0;
    // The count of the current tab's rows in the status bar and its tab.
    virtual void showRowCount() = 0;
    // Names tab `index` over logs opened together by its files as they are
    // named now: its text and tool tip, and the window's title when it is
    // current. Nothing for a tab of one log.
    virtual void nameSetTab(int index) = 0;
    // Save results of the current tab, with `onlyRecords` (offsets,
    // ascending) limited to the rows of those records.
    virtual void saveResults(const std::vector<qint64> *onlyRecords) = 0;
    // Notes how the run of `model` in tab `index` ended.
    virtual void noteRunEnd(int index, const CStringListModel *model) = 0;
};

#endif
