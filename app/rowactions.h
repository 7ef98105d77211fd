// Commands on the rows of the current result tab: copying the chosen rows,
// and narrowing the current filter from the record of one row.
#ifndef ROWACTIONS_H
#define ROWACTIONS_H

#include <QCoreApplication>
#include <QObject>
#include <QStringList>

#include <functional>

#include "exportformat.h"

class QAction;
class QDateTime;
class QMenu;
class QPoint;
class ResultView;
struct RecordFields;
class WindowContext;

class RowActions final : public QObject
{
    // Its texts are the window's.
    Q_DECLARE_TR_FUNCTIONS(mainWindow)
public:
    // A copy of more rows than this is a long operation: the window is held
    // busy, shows progress and can cancel it; fewer are copied at once.
    static constexpr qint64 kLongCopyRows = 100000;

    // What narrowing a filter may change: the criterion list of lists()
    // and hidden() it changes, and the record field that gives the value.
    enum class Field { Kind = 1, Event = 2, Group = 3, User = 4 };

    // Makes Copy ("actionCopy", Ctrl+C), Copy as CSV ("actionCopyCsv"),
    // Copy as JSON Lines ("actionCopyJsonLines") and the Row menu
    // ("menuRow") of the narrowing commands. `narrowRange(start, end)`
    // narrows the current filter's range as the time line does.
    RowActions(WindowContext &window, std::function<void(const QDateTime &, const QDateTime &)> narrowRange,
               QObject *parent = nullptr);

    QAction *copyAction() const { return m_copy; }
    QMenu *rowMenu() const { return m_rowMenu; }
    // Gives the view the context menu of its rows.
    void attach(ResultView *view);

    // Puts the chosen rows of the current tab (the current row when none is
    // chosen) on the clipboard as the rows of Save results in `format`.
    void copy(ExportFormat format);
    // Changes the current filter from the record of the current tab's
    // current row as an edit would, and applies it: only records with the
    // row's value of `field`, or (`hide`) none with it.
    void narrow(Field field, bool hide);
    // Narrows the current filter's range to the second of the current row,
    // or (`fromHere`) from it to the range's end.
    void narrowTime(bool fromHere);

    // The filter lists and hidden values after narrowing `lists` and
    // `hidden` to (or, `hide`, away from) the pattern `entry` of list
    // `list`: what narrow() sets.
    static void narrowed(int list, const QString &entry, bool hide, QList<QStringList> *lists,
                         QList<QStringList> *hidden);

protected:
    // Opens the context menu of a row of an attached view.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The pattern-form entry of `field` in the current row's record, and
    // how the menu names it; false when there is no such row or record.
    bool currentValue(Field field, QString *entry, QString *shown) const;
    // The same of a record's fields.
    static bool valueOf(Field field, const RecordFields &fields, QString *entry, QString *shown);
    // The current row's record text and its block's time; false for none.
    bool currentRecord(QByteArray *text, qint64 *recordTime) const;
    // Names the row's values in the commands' texts, or disables them.
    void updateTexts();
    void showContextMenu(ResultView *view, const QPoint &pos);

    WindowContext &m_window;
    std::function<void(const QDateTime &, const QDateTime &)> m_narrowTime;
    QAction *m_copy = nullptr;       // owned by the window
    QAction *m_copyCsv = nullptr;
    QAction *m_copyJson = nullptr;
    QMenu *m_rowMenu = nullptr;      // owned by the window
    struct Narrowing
    {
        Field field;
        bool hide;
        QAction *action;
    };
    QList<Narrowing> m_narrowings;
    QAction *m_second = nullptr;
    QAction *m_fromHere = nullptr;
};

#endif
