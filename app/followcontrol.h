// Following the open log as it grows: the Follow log command, the watcher
// of the log file, and what it tells taken into the tabs of the log. While
// the current tab is one over logs opened together, its set is followed
// instead: the set's newest file, and its rotation.
#ifndef FOLLOWCONTROL_H
#define FOLLOWCONTROL_H

#include <QCoreApplication>
#include <QObject>
#include <QString>

#include <memory>

class CStringListModel;
class LogSet;
class LogWatcher;
class QAction;
class QPushButton;
class ResultView;
class WindowContext;
struct TabInfo;

class FollowControl final : public QObject
{
    // Its texts are the window's.
    Q_DECLARE_TR_FUNCTIONS(mainWindow)
public:
    // Makes Follow log ("actionFollow", Ctrl+Shift+L, off at every start)
    // and puts the "n new rows below" button ("btnNewRows", hidden) into
    // the window's status bar.
    explicit FollowControl(WindowContext &window, QObject *parent = nullptr);

    QAction *action() const { return m_action; }

    // To be called whenever the window is free again: what the watcher told
    // meanwhile is taken in now.
    void windowFree();
    // To be called after the open log was read (again): it may have grown
    // under tabs that follow it.
    void logRead();
    // The line the Filter info panel adds for a tab that follows its log;
    // empty for any other tab.
    QString note(const TabInfo &info) const;

private:
    void toggled(bool on);
    // While following is on, watches the newest file of the current tab's
    // set, or else the log the reader holds; nothing otherwise.
    void watchOpenLog();
    // The set of the current tab; null for a tab of one log.
    std::shared_ptr<LogSet> currentSet() const;
    void logGrown();
    void logReplaced();
    // Reads the grown log incrementally and adds the new rows to every tab
    // of it; a tab at its last row stays there, another counts the rows
    // that wait below it. A log that another file (or a shrunk one) replaced
    // is read anew and every tab of it shows what the file holds now.
    // Of a followed set, files rotated away stay in it under their new
    // names and the new file joins (takeInSet); a file gone from its
    // folder leaves it, and its tabs are run again.
    void takeIn();
    // Takes the set's rotation and growth in; true when its blocks were
    // numbered anew (a file left), so that its tabs are run again.
    bool takeInSet(LogSet &set, const QList<ResultView *> &views);
    // The model stops reading the log (its block numbers no longer fit it).
    void letGoOfLog(ResultView *view, CStringListModel *model);
    // Runs tab `index`'s own filter again over the log; false when the tab
    // went away meanwhile.
    bool rerunTab(int index);
    void updateNewRowsButton();
    void goToNewRows();

    WindowContext &m_window;
    QAction *m_action = nullptr;         // owned by the window
    LogWatcher *m_watcher = nullptr;     // a child of this
    QPushButton *m_newRows = nullptr;    // owned by the status bar
    bool m_growthPending = false;        // grown while the window was busy
    bool m_replacementPending = false;   // replaced while the window was busy
    bool m_scheduled = false;            // a take-in waits for the event loop
    bool m_takingIn = false;             // a take-in is under way
    std::weak_ptr<LogSet> m_set;         // the set watched; none for the open log
};

#endif
