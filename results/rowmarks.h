// Marks on rows: the records a user marked, kept per log file by their
// offsets, so that they outlive the results they were made in; and where
// the marked records stand among one result's rows.
#ifndef ROWMARKS_H
#define ROWMARKS_H

#include <QPointer>
#include <QString>
#include <QVector>

#include <map>
#include <vector>

class CStringListModel;

class RowMarks
{
public:
    // A marked record: where it starts, its time (seconds since 1970 UTC)
    // and its text, by which a file that now holds another record there is
    // told apart.
    struct Mark
    {
        qint64 offset = -1;
        qint64 time = 0;
        QString text;
    };

    // What names the log file at `path` for its marks: the file itself
    // (device and inode), which a rename keeps and a new file under the
    // name does not; empty when there is no such file.
    static QString logKey(const QString &path);

    // Marks the record, or unmarks it when it is marked; true when it is
    // marked now.
    bool toggle(const QString &log, const Mark &mark);
    bool contains(const QString &log, qint64 offset) const;
    // The marks of `log`, ascending by offset.
    QVector<Mark> marks(const QString &log) const;
    std::vector<qint64> offsets(const QString &log) const;
    int count(const QString &log) const;
    // Grows with every change, so that what was made from the marks can
    // tell whether it is still up to date.
    quint64 generation() const { return m_generation; }

private:
    std::map<QString, std::map<qint64, Mark>> m_logs;
    quint64 m_generation = 0;
};

// The rows of one result whose records are marked. Kept up to date by
// update(), which reads only the blocks that hold marks and, while a run
// or a follow adds rows, only the blocks counted since it last looked.
class MarkedRows
{
public:
    // Brings the rows up to date with `model` (null: none) and the marks of
    // its log.
    void update(CStringListModel *model, const RowMarks &marks);
    // The marked rows, ascending.
    const std::vector<int> &rows() const { return m_rows; }
    bool contains(int row) const;
    // The first marked row after `row`, or -1.
    int after(int row) const;
    // The last marked row before `row`, or -1.
    int before(int row) const;
    // The row of the record at `offset`; -1 when the result shows none.
    int rowOf(qint64 offset) const;
    // The times of the marked rows, ascending by row.
    QVector<qint64> times() const;
    // The offsets of the marked rows' records, ascending.
    std::vector<qint64> offsets() const;

private:
    struct Entry
    {
        RowMarks::Mark mark;
        int block = -1;    // -1: outside the result's blocks
        int inBlock = -1;  // its row among the block's; -1: none
    };
    void resolveFrom(CStringListModel &model, int firstBlock);

    QPointer<CStringListModel> m_model;
    const void *m_modelSeen = nullptr;  // also a model that went away
    quint64 m_generation = ~quint64(0);
    int m_firstBlock = 0;
    int m_endBlock = 0;   // the counted blocks when last resolved
    int m_rowCount = -1;
    std::vector<Entry> m_entries;  // ascending offsets, as rows
    std::vector<int> m_rows;
};

#endif
