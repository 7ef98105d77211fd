// The application's single window: panels, result tabs, commands, and the
// long operations (reading a log, running a filter) that run inside it.
// What was added to it later lives in classes of its own, which the window
// only makes and wires: following the log (FollowControl), the time line
// (TimelineControl), the row counts (RowCountControl), the summary
// (SummaryControl), the marks on rows (MarkControl) and the commands on
// rows (RowActions); they see the window as a WindowContext.
#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include <QDateTime>
#include <QList>
#include <QMainWindow>
#include <QMap>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

#include "cfilter.h"
#include "filtermatch.h"
#include "openlogs.h"
#include "settingscheck.h"
#include "windowcontext.h"

class CFilterEditWindow;
class CLog;
class LogSet;
class CSettingsWindow;
class CStringListModel;
class FilterSelector;
class FollowControl;
class MarkControl;
class RowActions;
class RowCountControl;
class SummaryControl;
class TimelineControl;
class ResultView;
class QAction;
class QActionGroup;
class QCloseEvent;
class QComboBox;
class QDialog;
class QDir;
class QDragEnterEvent;
class QDropEvent;
class QFileInfo;
class QLabel;
class QSettings;

namespace Ui {
class mainWindow;
class filterNameDialog;
}

class mainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit mainWindow(QWidget *parent = nullptr);
    ~mainWindow() override;

    // Reads "config/logdir" into logDir.
    void loadLogDir();
    // A log named from outside (the command line): the start step opens it
    // as File > Open would, in place of the log configured to open at start.
    void setStartLog(const QString &path);
    // Several logs named from outside: the start step opens them together
    // (one is opened as setStartLog does).
    void setStartLogs(const QStringList &paths);
    // Settings files found unsafe and set aside before the window was made:
    // the start step names them, and where they went, in one warning.
    void setSettingsSetAside(const QList<SettingsCheck::SetAside> &files);
    // Shows the description of the tab's filter in the Filter info panel,
    // with a note when the filter it was copied from changed since.
    void showTabFilter(const TabInfo &info);
    // Tabs get close buttons only while there are two or more.
    void updateTabsClosable();
    // Makes `path` the current log; true when it was read and holds records,
    // or when a tab holds it unchanged since it was read (then nothing is
    // read). A log without records leaves the previous log current.
    bool loadLog(const QString &path);
    // Opens `path` from a user command and applies the current filter.
    void openLogPath(const QString &path);
    // Opens the logs at `paths` together in a new tab, as one set merged in
    // time order; a log that cannot be read is named in one message.
    void openLogSet(const QStringList &paths);
    // Makes tab `tab` over a set a tab of the current log (the window's
    // title named after it); its next run is over that log.
    void leaveSet(int tab);
    // How a tab and the title name a set: "first + N more" in merge order.
    static QString setName(const QStringList &paths);
    // Adds the log to the stored recent-files list.
    void addRecentFile(const QFileInfo &file);
    // Lists the logs of `dir` in the log files panel with their first and
    // last record dates and sizes; unreadable logs are named in one warning.
    void fillLogFiles(const QDir &dir);
    // Stores / restores geometry, splitters and panel visibility; stored
    // values of a wrong type or unsound splitter states leave the defaults.
    void saveWindowState();
    void restoreWindowState();
    // Reads the saved filters into the filter list and the filter selector.
    void reloadFilters();

    // Bytes of available memory from /proc/meminfo (through "cat"); 0 when unknown.
    static qint64 memAvailable();
    // The "MemAvailable:" figure of a /proc/meminfo text, in bytes; 0 when absent.
    static qint64 parseMemAvailable(const QByteArray &meminfo);
    // A byte count as "1.5 kb", "1000 bytes", "1 mb" ...
    static QString sizeToString(qint64 bytes);

    // The source of the available-memory figure used by loadLog (tests stub it).
    std::function<qint64()> memAvailableSource = &mainWindow::memAvailable;

    // True while a log is read or a filter run or save is under way.
    bool isBusy() const;
    CLog *logReader() const { return log.get(); }
    const QList<TabInfo> &tabs() const { return tabInfos; }
    // The readers of the logs open in the tabs (and of the current log).
    const OpenLogs &openLogs() const { return logs; }
    QString currentFileName() const { return currentFile; }

protected:
    void closeEvent(QCloseEvent *event) override;
    // A log file dropped onto the window is opened as File > Open would.
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private slots:
    void tabClose(int index);
    void tabNew();
    void tabChanged(int index);
    void logItemPressed(int row, int column);
    void findNext();
    void findPrevious();
    // Find next as the text of the find panel changes: a search that finds
    // nothing says so in the panel, never in a box.
    void findTyped();
    void actionResultsSavePress();
    void actionFilterEditPress();
    void actionFilterSavePress();
    void actionFilterDelPress();
    void actionOpenPress();
    void actionOpenTogetherPress();
    void actionResreshPress();
    void actionOptionsPress();
    void actionResultsPress();
    void actionCancelPress();
    void actionFilterShowPress(bool checked);
    void actionFileShowPress(bool checked);
    void openFile(QAction *act);
    void activateFilter(int id);
    void showFilterResults();
    void showReadLogResults(QString fName);
    void startEvent();
    bool isFileReadable(QString fName);

private:
    // Keeps `set` for as long as `holder` lives, so that a model may use it
    // until its own destructor ran.
    static void holdSetWith(QObject *holder, const std::shared_ptr<LogSet> &set);
    // Names tab `index` over a set by its files as they are named now (its
    // text, tool tip and, when current, the window's title).
    void nameSetTab(int index);
    // Reads again the files of tab `index`'s set that changed since they
    // were read; false for a tab of one log.
    bool readSetAgain(int index);
    // The log files panel's command that opens its selected rows together.
    void setUpLogSets();
    void openSelectedLogs();
    // Frame and tabs (mainwindow.cpp).
    void setupActions();
    // Disables the commands that must not start while a long operation runs,
    // and enables them again once none does.
    void updateBusyState();
    void warnBusy();
    ResultView *currentResultView() const;
    // Save results of the current tab; with `onlyRecords` (offsets,
    // ascending), of those records' rows only.
    void saveResults(const std::vector<qint64> *onlyRecords);
    // Finds the text of the find panel in the current tab's results,
    // towards their end or their beginning, from the selected row (`typed`:
    // from it on, itself included). A long search holds the window busy,
    // shows progress after half a second and ends at Cancel (Esc).
    void find(bool forward, bool typed);
    // The find panel's note on the last search; `failed` turns the field red.
    void showFindStatus(const QString &text, bool failed);
    // Tells that `pattern` was too costly to decide for a record, so that
    // the operation stopped there.
    void warnCostlyPattern(const QString &pattern);

    // Selects the row of the log the reader holds in the log files panel.
    void selectOpenLogRow();
    // Makes `reader`, which holds its log read, the current log: the title
    // and the log files panel name it, and following watches it.
    void showOpenLog(const OpenLogs::Reader &reader);
    // Adds a row for the log at `path` to the log files panel.
    void addLogFileRow(const QString &path);

    // Sets row `row` of the log files panel to the name, dates and size of
    // the log at `path`, which a click on the row opens.
    void setLogFileRow(int row, const QString &path);

    // Shows the dates and size of the log at `path` afresh in its row of
    // the log files panel, if it has one.
    void updateLogFileRow(const QString &path);

    // The settings file (mainwindow_settings.cpp). Run before every read of
    // the settings: a file changed since it was last checked is checked
    // again, and set aside when Qt cannot read it safely; the warning
    // follows once the command under way has ended.
    void guardSettings();
    void showSettingsSetAsideLater();
    // Names the settings files set aside and where they went, then `closing`.
    void warnSettingsSetAside(const QList<SettingsCheck::SetAside> &files, const QString &closing);
    // Writes what `settings` holds to the file; false when it could not.
    // The first failure of the session is told, later ones are not.
    bool syncSettings(QSettings &settings);

    // Window state and recent files (mainwindow_state.cpp).
    void buildRecentFiles();

    // Filter selector (mainwindow_filters.cpp).
    void fillFilterCombo(QComboBox *combo);
    // The tool tip of a filter's selector entry: its description, and a
    // warning when its stored value could not be read.
    QString selectorTip(const CFilter &filter) const;
    // Points the selector and the current filter at the filter the tab's
    // rows were made with, when the filter list still holds it.
    void followTabFilter(const TabInfo &info);
    // Shows the current tab's filter when the tab has rows.
    void showCurrentTabFilter();
    // After an edit of `filter`: describes it, marks its selector entry as
    // modified and runs it in the current tab.
    void applyEditedFilter(const CFilterPtr &filter);
    // Warns, once per name, that the chosen saved filter could not be read.
    void warnUnreadableFilter(const CFilter &filter);

    QString defaultFilterName;
    QMap<int, QString> datePresets;
    CFilterEditWindow *filterEditor = nullptr;
    CSettingsWindow *settingsWindow = nullptr;
    // The current log: the current tab's, or the log opened last. Never null.
    OpenLogs::Reader log;
    OpenLogs logs;
    Ui::mainWindow *ui = nullptr;
    Ui::filterNameDialog *filterNameUi = nullptr;
    FilterSelector *filterCombo = nullptr;
    QDialog *filterNameDialog = nullptr;
    QString appTitle;
    QString startLog;
    QStringList startSet;
    QList<SettingsCheck::SetAside> settingsSetAside;
    QList<SettingsCheck::SetAside> settingsSetAsideLater;  // set aside while the window runs, not yet told
    bool settingsWriteTold = false;  // a failed write of the settings was told this session
    QString indexFolderProblem;      // told at the start step
    QString currentFile;
    QString logDir;
    bool cancelRequested = false;
    bool readCancelled = false;  // the last loadLog ended with a cancelled read
    bool ready = true;
    QList<TabInfo> tabInfos;

    // The reader a log read under way fills: `log` itself for the log it
    // already holds, else a second reader that takes over only when the
    // log holds records, so the tabs keep their log meanwhile.
    CLog *readingLog = nullptr;
    // The last log found to hold no records, so that asking for it again
    // unchanged neither reads nor reports it again.
    OpenLogs::Reader emptyLog;
    QPointer<CStringListModel> runningModel;    // the model of a filter run under way
    MatchStop runStop;                          // where the last filter run stopped
    bool findRunning = false;                   // a search of find is under way
    int findAgain = 0;                          // 1 / -1: find next / previous once it has ended
    bool findAgainTyped = false;                // ... as typing does
    // The search called off for another goes on from its start row.
    QPointer<CStringListModel> findResumeModel;
    int findResumeRow = -1;
    // The tab that was current when the long operation under way began; it
    // stays current until the operation ends.
    QPointer<QWidget> busyPage;
    QActionGroup *recentGroup = nullptr;
    QStringList unreadableWarned;  // saved filters already warned of as unreadable
    bool fillingFiles = false;  // the log files panel is being filled

    // The additions to the window, each with its own actions and state;
    // they reach the window only through `context`. Children of the
    // window, destroyed before what the context answers with.
    class Context;
    std::unique_ptr<Context> context;
    RowCountControl *rowCounts = nullptr;
    SummaryControl *summary = nullptr;
    FollowControl *follow = nullptr;
    TimelineControl *timeline = nullptr;
    MarkControl *marks = nullptr;
    RowActions *rowActions = nullptr;
};

#endif
