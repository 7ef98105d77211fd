// The summary of a result tab: its counts by user, event, status,
// refusals per user and hour, one sortable table each, to copy or to save
// as CSV. Not modal: the results stay at hand while it is open.
#ifndef CSUMMARYDIALOG_H
#define CSUMMARYDIALOG_H

#include <QDialog>

#include "resultsummary.h"

class QTableView;
class QTabWidget;

class CSummaryDialog final : public QDialog
{
    Q_OBJECT
public:
    // Shows the top `top` rows of each table of `summary` (copied), titled
    // after the tab `source`.
    CSummaryDialog(const ResultSummary &summary, const QString &source, QWidget *parent = nullptr, int top = 20);

    // The table of page `table`.
    QTableView *table(ResultSummary::Table table) const;
    // The selected cells of the current table as lines of tab-separated
    // cells, in the order shown; the whole table, headers first, when no
    // cell is selected.
    QString selectedText() const;

public slots:
    // Puts selectedText() on the clipboard.
    void copySelection();
    // Asks for a file and writes every table to it as CSV, whole or not at all.
    void saveCsv();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    ResultSummary m_summary;
    int m_top;
    QTabWidget *m_tabs = nullptr;
};

#endif
