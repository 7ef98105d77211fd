// The scan and the block reading on an arbitrary log. The time index and
// the record count must be what a plain byte-by-byte walk of the same bytes
// finds; every block must read the same alone, in sequence and counted; a
// freshly scanned index is never found stale; with times that never go back
// the blocks together hold every record that decodes, in file order. A
// second reader that goes on from the index file finds the same, and the
// first and last record dates are those of the first and last record start.
#include "fuzzsupport.h"

#include "../log/logbuilder.h"

#include <clog.h>

#include <QByteArray>
#include <QStringList>

namespace {

QString logPath;

quint32 le32(const uint8_t *p)
{
    return quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
}

bool isMagicAt(const uint8_t *data, size_t pos)
{
    return le32(data + pos) == MLOG_MAGIC;
}

// Reads every block in each of the three ways and checks they agree; the
// texts of all blocks in order.
QStringList readAllBlocks(const CLog &log)
{
    QStringList all;
    QList<QStringList> sequential;
    log.forEachBlock(0, log.blockCount() - 1, [&](int block, const QStringList &texts) {
        FUZZ_CHECK(block == sequential.size());
        sequential << texts;
        return true;
    });
    FUZZ_CHECK(sequential.size() == log.blockCount());
    int counted = 0;
    log.countBlockTexts(0, log.blockCount() - 1, [&](int block, int count) {
        FUZZ_CHECK(count == sequential.at(block).size());
        ++counted;
        return true;
    });
    FUZZ_CHECK(counted == log.blockCount());
    for (int block = 0; block < log.blockCount(); ++block) {
        FUZZ_CHECK(log.readBlock(block) == sequential.at(block));
        for (const QString &text : sequential.at(block))
            FUZZ_CHECK(!text.isEmpty());
        all += sequential.at(block);
    }
    FUZZ_CHECK(log.readBlock(-1).isEmpty() && log.readBlock(log.blockCount()).isEmpty());
    return all;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::setUp();
    logPath = fuzz::path("scan.mlog");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::writeFile(logPath, data, size);
    QFile::remove(CLog::indexFilePath(logPath));
    const NaiveScan naive(QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size)));

    CLog log;
    log.readLog(logPath);
    FUZZ_CHECK(log.timeIndex() == naive.index);
    FUZZ_CHECK(log.recordCount() == naive.count);
    const QStringList all = readAllBlocks(log);
    FUZZ_CHECK(!log.isIndexStale());
    if (naive.ascending)
        FUZZ_CHECK(all == naive.texts);

    // The first record start with its header inside the file, and the last.
    size_t first = 0;
    while (first + MLOG_HEADER_SIZE <= size && !isMagicAt(data, first))
        ++first;
    const QDateTime firstDate = CLog::firstRecordDate(logPath);
    FUZZ_CHECK(firstDate.isValid() == (first + MLOG_HEADER_SIZE <= size));
    if (firstDate.isValid())
        FUZZ_CHECK(quint32(firstDate.toSecsSinceEpoch()) == le32(data + first + MLOG_OFF_TIME));
    FUZZ_CHECK(firstDate.isValid() == (naive.count > 0));
    const QDateTime lastDate = CLog::lastRecordDate(logPath);
    FUZZ_CHECK(lastDate.isValid() == firstDate.isValid());
    if (lastDate.isValid()) {
        size_t last = size - MLOG_HEADER_SIZE;
        while (!isMagicAt(data, last))
            --last;
        FUZZ_CHECK(quint32(lastDate.toSecsSinceEpoch()) == le32(data + last + MLOG_OFF_TIME));
    }

    // A reader started again after the log was touched goes on from the
    // index file and must come to the same index.
    if (naive.count > 0) {
        fuzz::setModified(logPath, QFileInfo(logPath).lastModified().toSecsSinceEpoch() + 10);
        CLog again;
        again.readLog(logPath);
        FUZZ_CHECK(again.timeIndex() == naive.index);
        FUZZ_CHECK(again.recordCount() <= qint64(size) / MLOG_HEADER_SIZE);
        readAllBlocks(again);
        FUZZ_CHECK(!again.isIndexStale());
    }
    return 0;
}
