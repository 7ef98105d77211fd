// A whole log to the scan: the index and record count of a plain walk of
// every byte; every block read the same alone, in sequence and counted; with
// times that never go back, every record that decodes shown in file order;
// the dates of the first and last record starts; and a reader that goes on
// from the index file comes to the same index.
#include "fuzzsupport.h"

#include "../log/logbuilder.h"

#include <QtEndian>

namespace {

QString logPath;

QStringList readAllBlocks(const CLog &log)
{
    QList<QStringList> blocks;
    log.forEachBlock(0, log.blockCount() - 1, [&](int block, const QStringList &texts) {
        FUZZ_CHECK(block == blocks.size() && !texts.contains(QString()));
        blocks << texts;
        return true;
    });
    int counted = 0;
    log.countBlockTexts(0, log.blockCount() - 1, [&](int block, int count) {
        FUZZ_CHECK(count == blocks.at(block).size());
        ++counted;
        return true;
    });
    FUZZ_CHECK(blocks.size() == log.blockCount() && counted == log.blockCount());
    QStringList all;
    for (int block = 0; block < log.blockCount(); ++block) {
        FUZZ_CHECK(log.readBlock(block) == blocks.at(block));
        all += blocks.at(block);
    }
    FUZZ_CHECK(log.readBlock(-1).isEmpty() && log.readBlock(log.blockCount()).isEmpty());
    return all;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::setUp();
    logPath = fuzz::folder + QStringLiteral("/scan.mlog");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::writeFile(logPath, fuzz::bytes(data, size));
    QFile::remove(CLog::indexFilePath(logPath));
    const NaiveScan naive(fuzz::bytes(data, size));
    CLog log;
    log.readLog(logPath);
    FUZZ_CHECK(log.timeIndex() == naive.index && log.recordCount() == naive.records.size());
    const QStringList all = readAllBlocks(log);
    FUZZ_CHECK(!log.isIndexStale() && (!naive.ascending || all == naive.texts));

    // The first and the last record start with a whole header in the file.
    const auto le32 = [data](size_t at) { return qFromLittleEndian<quint32>(data + at); };
    size_t first = 0;
    while (first + MLOG_HEADER_SIZE <= size && le32(first) != MLOG_MAGIC)
        ++first;
    const QDateTime firstDate = CLog::firstRecordDate(logPath), lastDate = CLog::lastRecordDate(logPath);
    FUZZ_CHECK(firstDate.isValid() == (first + MLOG_HEADER_SIZE <= size) && firstDate.isValid() == (naive.records.size() > 0));
    FUZZ_CHECK(lastDate.isValid() == firstDate.isValid());
    if (firstDate.isValid()) {
        size_t last = size - MLOG_HEADER_SIZE;
        while (le32(last) != MLOG_MAGIC)
            --last;
        FUZZ_CHECK(firstDate.toSecsSinceEpoch() == le32(first + MLOG_OFF_TIME));
        FUZZ_CHECK(lastDate.toSecsSinceEpoch() == le32(last + MLOG_OFF_TIME));
        fuzz::setModified(logPath, QFileInfo(logPath).lastModified().toSecsSinceEpoch() + 10);
        CLog again;
        again.readLog(logPath);
        FUZZ_CHECK(again.timeIndex() == naive.index && again.recordCount() <= qint64(size) / MLOG_HEADER_SIZE);
        readAllBlocks(again);
        FUZZ_CHECK(!again.isIndexStale());
    }
    return 0;
}
