// The time line of the result tabs: showing it, Go to time, and narrowing
// the current filter to a range marked on it.
#ifndef TIMELINECONTROL_H
#define TIMELINECONTROL_H

#include <QCoreApplication>
#include <QObject>

class QAction;
class QDateTime;
class QMenu;
class ResultView;
class WindowContext;

class TimelineControl final : public QObject
{
    // Its texts are the window's.
    Q_DECLARE_TR_FUNCTIONS(mainWindow)
public:
    // Makes the Edit menu ("menuEdit") with Go to time... ("actionGoToTime",
    // Ctrl+G) and the toggle Show time line ("actionTimelineShow", off).
    explicit TimelineControl(WindowContext &window, QObject *parent = nullptr);

    QMenu *editMenu() const { return m_editMenu; }
    QAction *toggleAction() const { return m_toggle; }

    // Whether the tabs show their time line; setting it shows or hides it
    // in every tab.
    bool isShown() const;
    void setShown(bool shown);
    // Ties a new tab's strip to the toggle and its marked ranges to the
    // current filter.
    void attach(ResultView *view);

    // Asks for a time and shows the current tab's first row at it or later.
    void goToTime();
    // Narrows the current filter to `start` .. `end` and applies it, as an
    // edit of the filter would; refused while the window is busy.
    void applyTimeRange(const QDateTime &start, const QDateTime &end);

private:
    WindowContext &m_window;
    QMenu *m_editMenu = nullptr;  // owned by the window
    QAction *m_toggle = nullptr;  // owned by the window
};

#endif
