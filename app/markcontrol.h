// Marks on rows: marking the current row, going to the next and previous
// mark, the marks in the rows' margin and on the time line, the list of
// marks and the save of the marked rows.
#ifndef MARKCONTROL_H
#define MARKCONTROL_H

#include <QAbstractTableModel>
#include <QCoreApplication>
#include <QObject>
#include <QVector>

#include "rowmarks.h"

class QAction;
class QDialog;
class QTreeView;
class ResultView;
class WindowContext;

// The marks of one log as View > Marks lists them: time and row text, the
// marks the current result does not show greyed.
class MarkListModel : public QAbstractTableModel
{
    Q_DECLARE_TR_FUNCTIONS(mainWindow)
public:
    using QAbstractTableModel::QAbstractTableModel;

    // Shows `marks`; `shown[i]` says whether the result shows marks[i].
    void setMarks(const QVector<RowMarks::Mark> &marks, const QVector<bool> &shown);
    // The record of row `row`; -1 for none.
    qint64 offsetAt(int row) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QVector<RowMarks::Mark> m_marks;
    QVector<bool> m_shown;
};

class MarkControl final : public QObject
{
    // Its texts are the window's.
    Q_DECLARE_TR_FUNCTIONS(mainWindow)
public:
    // Makes Mark row ("actionMarkToggle", Ctrl+F2), Next mark
    // ("actionMarkNext", F2), Previous mark ("actionMarkPrevious",
    // Shift+F2), Marks... ("actionMarksShow") and Save marked rows...
    // ("actionResultsSaveMarked").
    explicit MarkControl(WindowContext &window, QObject *parent = nullptr);
    ~MarkControl() override;

    // Mark row, Next mark and Previous mark, for a menu.
    QList<QAction *> rowActions() const;
    QAction *listAction() const { return m_list; }
    QAction *saveAction() const { return m_save; }

    // Paints the marks of a new tab's rows in their margin and on its time line.
    void attach(ResultView *view);
    const RowMarks &marks() const { return m_marks; }
    // The marked rows of `view`'s result, brought up to date.
    const MarkedRows &markedRows(ResultView *view);
    // The list of View > Marks; null until first shown.
    QDialog *listDialog() const { return m_dialog; }
    const MarkListModel &listModel() const { return m_listModel; }

    // Marks or unmarks the current row of the current tab.
    void toggleMark();
    // Shows the next (previous) marked row after (before) the current row;
    // it does not wrap round: at the last (first) mark the status bar says
    // there is none further.
    void nextMark();
    void previousMark();
    // Shows the current tab's row of the record at `offset`, or says that
    // the result does not show it.
    void goToMark(qint64 offset);
    void showList();
    // Save results, limited to the marked rows of the current tab.
    void saveMarked();

private:
    void step(bool forward);
    void goToRow(ResultView *view, int row);
    // Repaints the rows and time lines, and the list, after a change.
    void marksChanged();
    void refreshList();
    void say(const QString &text);
    // A tab over logs opened together has no marks: every way in says so.
    bool refusedForSet(const CStringListModel *model);
    static bool isSet(const CStringListModel *model);

    WindowContext &m_window;
    RowMarks m_marks;
    MarkListModel m_listModel;
    QAction *m_toggle = nullptr;    // owned by the window
    QAction *m_next = nullptr;
    QAction *m_previous = nullptr;
    QAction *m_list = nullptr;
    QAction *m_save = nullptr;
    QDialog *m_dialog = nullptr;    // a child of the window
    QTreeView *m_listView = nullptr;
};

#endif
