// A whole log to the scan: the time index and record count of a plain
// byte-by-byte walk; every block read the same alone, in sequence and
// counted; with times that never go back, every record that decodes shown
// in file order; the first and last record dates those of the first and
// last record start; and a second reader that goes on from the index file
// comes to the same index.
#include "fuzzsupport.h"

#include "../log/logbuilder.h"

#include <clog.h>

namespace {

QString logPath;

quint32 le32(const uint8_t *p)
{
    return quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
}

QStringList readAllBlocks(const CLog &log)
{
    QList<QStringList> blocks;
    log.forEachBlock(0, log.blockCount() - 1, [&](int block, const QStringList &texts) {
        FUZZ_CHECK(block == blocks.size() && !texts.contains(QString()));
        blocks << texts;
        return true;
    });
    FUZZ_CHECK(blocks.size() == log.blockCount());
    int counted = 0;
    log.countBlockTexts(0, log.blockCount() - 1, [&](int block, int count) {
        FUZZ_CHECK(count == blocks.at(block).size());
        ++counted;
        return true;
    });
    FUZZ_CHECK(counted == log.blockCount());
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
    logPath = fuzz::path("scan.mlog");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size));
    fuzz::writeFile(logPath, bytes);
    QFile::remove(CLog::indexFilePath(logPath));
    const NaiveScan naive(bytes);
    CLog log;
    log.readLog(logPath);
    FUZZ_CHECK(log.timeIndex() == naive.index && log.recordCount() == naive.count);
    const QStringList all = readAllBlocks(log);
    FUZZ_CHECK(!log.isIndexStale());
    FUZZ_CHECK(!naive.ascending || all == naive.texts);

    // The first and the last record start with a whole header in the file.
    size_t first = 0;
    while (first + MLOG_HEADER_SIZE <= size && le32(data + first) != MLOG_MAGIC)
        ++first;
    const QDateTime firstDate = CLog::firstRecordDate(logPath);
    const QDateTime lastDate = CLog::lastRecordDate(logPath);
    FUZZ_CHECK(firstDate.isValid() == (first + MLOG_HEADER_SIZE <= size));
    FUZZ_CHECK(firstDate.isValid() == (naive.count > 0) && lastDate.isValid() == firstDate.isValid());
    if (firstDate.isValid()) {
        size_t last = size - MLOG_HEADER_SIZE;
        while (le32(data + last) != MLOG_MAGIC)
            --last;
        FUZZ_CHECK(quint32(firstDate.toSecsSinceEpoch()) == le32(data + first + MLOG_OFF_TIME));
        FUZZ_CHECK(quint32(lastDate.toSecsSinceEpoch()) == le32(data + last + MLOG_OFF_TIME));
    }

    if (naive.count > 0) {
        fuzz::setModified(logPath, QFileInfo(logPath).lastModified().toSecsSinceEpoch() + 10);
        CLog again;
        again.readLog(logPath);
        FUZZ_CHECK(again.timeIndex() == naive.index && again.recordCount() <= qint64(size) / MLOG_HEADER_SIZE);
        readAllBlocks(again);
        FUZZ_CHECK(!again.isIndexStale());
    }
    return 0;
}
