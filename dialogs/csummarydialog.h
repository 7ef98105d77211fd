// The summary of a result tab: its counts by user, event, status,
// refusals per user and hour, one sortable table each, to copy or to save
// as CSV.
#ifndef CSUMMARYDIALOG_H
#define CSUMMARYDIALOG_H

#include <QDialog>

#include "resultsummary.h"

class QTableView;
class QTabWidget;

class CSummaryDialog : public QDialog
{
    Q_OBJECT
public:
    // Shows the top `top` rows of each table of `summary` (copied), titled
    // after the tab `source`.
    CSummaryDialog(const ResultSummary &summary, const QString &source, QWidget *parent = nullptr, int top = 20);

    // The table of the current page, or null.
    QTableView *currentTable() const;
    // The selected cells of the current table (all of it when none is
    // selected) as lines of tab-separated cells, headers first.
    QString tableText() const;

public slots:
    // Puts tableText() on the clipboard.
    void copyTable();
    // Asks for a file and writes every table to it as CSV, whole or not at all.
    void saveCsv();

private:
    ResultSummary m_summary;
    int m_top;
    QTabWidget *m_tabs = nullptr;
};

#endif
