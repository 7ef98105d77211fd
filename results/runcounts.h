// The counts of a run: matching and refused records of each block counted
// so far, their prefix sums, and where the later pieces of large blocks
// begin, with the questions that turn rows into blocks and back.
#ifndef RUNCOUNTS_H
#define RUNCOUNTS_H

#include <QList>
#include <QVector>

#include <vector>

class RunCounts
{
public:
    // Where a large block's piece starts, and the block's rows and refused
    // records before it.
    struct Checkpoint
    {
        int block;
        int row;
        int refused;
        qint64 offset;
    };

    RunCounts();

    // Forgets every count and checkpoint; the first block stays.
    void clear();
    // The block the first count belongs to; every block number asked is
    // taken relative to it.
    int firstBlock() const { return m_firstBlock; }
    void setFirstBlock(int block);
    // The block after the last one counted.
    int endBlock() const { return m_firstBlock + int(m_counts.size()); }

    // Appends the counts of the next block.
    void add(qint32 count, qint32 refused);
    // Takes the last block's counts back; its rows and refused records go
    // to `count` and `refused`. Only when a block is counted.
    void takeLast(qint32 *count, qint32 *refused);

    // Matching records of each counted block, from firstBlock() on.
    const QList<qint32> &counts() const;
    // Matching records of `block`; 0 for a block not counted.
    qint32 countOf(int block) const;
    // Rows of all counted blocks.
    qint32 rows() const { return m_rowsBefore.last(); }
    // Block that holds row `row` (past all counted rows: the block after them).
    int blockForRow(int row) const;
    // Number of rows before the first row of `block` (clipped to the counted blocks).
    int rowsBefore(int block) const;
    // Number of refused records among those rows.
    int refusalsBefore(int block) const;

    // Adds the checkpoint of a block's next piece; they come ascending by
    // block and row.
    void addCheckpoint(const Checkpoint &checkpoint);
    // True when the run left checkpoints in `block`.
    bool hasCheckpoints(int block) const;
    // The block's rows before the piece starting at `offset`, as the run
    // counted them; -1 when it left no checkpoint there.
    int checkpointRow(int block, qint64 offset) const;
    // The last checkpoint of `block` at or before its row `row`; null when
    // the block's reading starts at its beginning.
    const Checkpoint *checkpointBefore(int block, int row) const;
    // Drops the checkpoints after those of `block` that lie before `end`,
    // and gives the last one left when it is of `block`, else null.
    const Checkpoint *keepCheckpointsBefore(int block, qint64 end);

private:
    int m_firstBlock = 0;
    // Matches per block of the range, from m_firstBlock on, as far as counted.
    QList<qint32> m_counts;
    // m_rowsBefore[i]: rows before block m_firstBlock + i; one entry more
    // than m_counts, so row and block look-ups are binary searches.
    QVector<qint32> m_rowsBefore;
    // The same for the refused records among them.
    QVector<qint32> m_refusedBefore;
    // Ascending by block and row: one for each piece after the first of
    // every block the counts cover.
    std::vector<Checkpoint> m_checkpoints;
};

#endif
