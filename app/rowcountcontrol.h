// Row counts of the result tabs: the count in the status bar, each tab's
// tool tip and title marker, and the line an empty result shows.
#ifndef ROWCOUNTCONTROL_H
#define ROWCOUNTCONTROL_H

#include <QCoreApplication>
#include <QObject>

class CStringListModel;
class QLabel;
class WindowContext;
struct TabInfo;

class RowCountControl final : public QObject
{
    // Its texts are the window's.
    Q_DECLARE_TR_FUNCTIONS(mainWindow)
public:
    // Puts the count label ("lbRowCount", hidden at first) into the
    // window's status bar.
    explicit RowCountControl(WindowContext &window, QObject *parent = nullptr);

    // The status bar's count label and the tool tip of the current tab say
    // how many rows it holds, whether they are still counted, and where
    // they stop after a run ended early; a tab without rows shows none.
    void showRowCount();
    // Notes how the run of `model` in tab `index` ended: the tab's marker,
    // tool tip and empty-results line, and the count.
    void noteRunEnd(int index, const CStringListModel *model);

private:
    QString rowCountText(const TabInfo &info, int rows) const;

    WindowContext &m_window;
    QLabel *m_label = nullptr;  // owned by the status bar
};

#endif
