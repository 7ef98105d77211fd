// Results > Summary...: the counts of the current tab's results, in one
// pass over its rows with the progress and cancel of a save.
#ifndef SUMMARYCONTROL_H
#define SUMMARYCONTROL_H

#include <QCoreApplication>
#include <QObject>

class QMenu;
class QWidget;
class WindowContext;

class SummaryControl final : public QObject
{
    // Its texts are the window's.
    Q_DECLARE_TR_FUNCTIONS(mainWindow)
public:
    // Makes the Results menu ("menuResults", a child of `menuParent`) with
    // Summary... ("actionSummary") in it.
    SummaryControl(WindowContext &window, QWidget *menuParent, QObject *parent = nullptr);

    QMenu *menu() const { return m_menu; }

    // Sums up the current tab's rows while the window is busy and shows the
    // counts in a dialog of their own; a cancel, a record too costly to
    // decide or a failed walk says so instead.
    void summarize();

private:
    WindowContext &m_window;
    QMenu *m_menu = nullptr;  // owned by its parent widget
};

#endif
