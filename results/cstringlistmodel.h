// The model of one result tab: how many records of each time block of the
// filter's range match, and a window of loaded rows around what is shown.
#ifndef CSTRINGLISTMODEL_H
#define CSTRINGLISTMODEL_H

#include <QAbstractListModel>
#include <QList>
#include <QStringList>

#include "cfilter.h"

class CLog;

class CStringListModel : public QAbstractListModel
{
    Q_OBJECT
public:
    // `log` is not owned and must outlive the model; the filter is shared.
    CStringListModel(CLog *log, const CFilterPtr &filter, QObject *parent = nullptr);
    ~CStringListModel() override;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    // Display: the result row when it is in the window, else invalid.
    // Background: translucent red for refused records.
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    // Turns the filter's time range into blocks, loads the first window and
    // counts the matches of every block, with progress and cancel.
    void runFilter();

    // Reads block `block`, keeps its matching rows and appends them to the window.
    void appendBlock(int block);
    // The same, put in front of the window (windowFirstRow moves back).
    void prependBlock(int block);
    // Rows held in the window.
    int windowRows() const;
    // Block that holds row `row` (past all counted rows: the block after them).
    int blockForRow(int row) const;
    // Number of rows before the first row of block `block`.
    int rowsBefore(int block) const;
    // Tells the views that rows `first` to `last` changed.
    void announceRows(int first, int last);

    CLog *log() const;
    const CFilterPtr &filter() const;
    int firstBlock() const;
    int lastBlock() const;
    bool isCancelled() const;

public slots:
    // Moves the window to follow the top visible row `value`.
    void scrollMoved(int value);
    // Stops a filter run after the block it is at.
    void cancel();

signals:
    void valueChanged(int value);
    void valueMaximum(int maximum);

private:
    // Implementation data; see the .cpp for what each field means.
    CLog *m_log;
    CFilterPtr m_filter;
    QList<QStringList> m_window;
    QList<qint32> m_blockCounts;
    qint32 m_rowTotal = 0;
    qint32 m_windowFirstRow = 0;
    qint32 m_firstBlock = 0;
    qint32 m_lastBlock = 0;
    qint32 m_windowEndBlock = 0;
    qint32 m_windowStartBlock = 0;
    bool m_cancelled = false;
    const qint32 m_pageRows = 500;
};

#endif
