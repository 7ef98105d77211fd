// The filter editor: the modal dialog in which the user edits a filter's
// time range, status, source kinds, events, groups, users, parameters and
// paths. It works on the display form and never touches a filter record.
#ifndef CFILTEREDITWINDOW_H
#define CFILTEREDITWINDOW_H

#include <QDialog>
#include <QList>
#include <QString>
#include <QStringList>

#include "ceventmodel.h"

class CFilter;
class QCloseEvent;
class QDateTime;

namespace Ui {
class filterDialog;
class dateTimeDialog;
}

// The state of the editor's date combo box that the time range is read from.
struct TimeChoice
{
    int index = 0;   // current entry
    int count = 0;   // number of entries; the last one is the custom range
    QString text;    // text of the current entry
};

class CFilterEditWindow : public QDialog
{
    Q_OBJECT
public:
    explicit CFilterEditWindow(QWidget *parent = nullptr);
    ~CFilterEditWindow() override;

    // Appends the preset labels to the date combo box, in their order.
    void addTimeItems(const QStringList &texts);
    // Resets the fields, then shows `filter` under `name` with the date entry
    // `timeText` (a preset label, or a custom range that replaces the last entry).
    void setFilter(const QString &name, const QString &timeText, const CFilter &filter);
    // Puts every field back to its default.
    void resetFields();
    // The accepted criteria in pattern form, ready for CFilter::setLists.
    QList<QStringList> filterLists() const;
    // The date combo box's current entry, entry count and current text.
    TimeChoice timeChoice() const;

    // The range text of a custom range: "yyyy-MM-dd hh:mm:ss - yyyy-MM-dd hh:mm:ss".
    static QString rangeText(const QDateTime &from, const QDateTime &to);
    // The format of both ends of a range text.
    static QString rangeDateFormat();
    // The text between the ends of a range text.
    static QString rangeSeparator();

public slots:
    // Builds the result lists from the fields and closes with Accepted;
    // a user or group name this machine does not know is refused with a
    // message, and the editor stays open.
    void accept() override;
    // Resets the fields and closes with Rejected.
    void reject() override;

protected:
    // Escape and the window's close button: reset, and the run ends as Rejected.
    void closeEvent(QCloseEvent *event) override;

private slots:
    // Opens the date-range dialog when the custom entry (the last) is picked.
    void setDateTime(int index);
    // Refills the event list from the checked source kinds.
    void eventsFill();
    // Lets the user choose a folder for the paths.
    void filesSelect();

private:
    // Shows the paths (one a line) and lets the clear button clear them.
    void setFiles(const QString &text);

    Ui::filterDialog *ui = nullptr;
    Ui::dateTimeDialog *dateUi = nullptr;
    QDialog dateDialog;
    CEventModel eventModel;
    QList<QStringList> resultLists;
    // The label of the custom entry as handed in, put back on every reset.
    QString customLabel;
};

#endif
