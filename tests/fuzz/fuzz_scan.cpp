// A whole log to the scan, compared with a plain walk of every byte, whatever
// order its times come in: blocks read three ways, with and without a time
// range; first and last record dates; the index file read back.
#include "fuzzsupport.h"

#include "../log/logbuilder.h"

#include <QtEndian>

#include <cstring>

static QString logPath;

static QStringList readAllBlocks(const CLog &log)
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

// The texts of the records whose time lies in `span`, read three ways, are
// those of the plain walk.
static void checkSpan(const CLog &log, const NaiveScan &naive, const TimeSpan &span)
{
    int first = 0, last = 0;
    log.blocksFor(span, &first, &last);
    QStringList texts, utf8;
    int counted = 0;
    log.forEachBlock(first, last, [&](int, const QStringList &block) { return (texts += block), true; }, span);
    log.countBlockTexts(first, last, [&](int, int n) { return (counted += n), true; }, span);
    log.forEachBlockUtf8(first, last, [&](int, const QByteArray &block) {
        for (const char *p = block.constData(); p < block.constData() + block.size(); p += std::strlen(p) + 1)
            utf8 << QString::fromUtf8(p);
        return true;
    }, span);
    const QStringList expected = naive.textsBetween(span.from, span.to);
    FUZZ_CHECK(texts == expected && utf8 == expected && counted == expected.size());
}

static void checkSpans(const CLog &log, const NaiveScan &naive)
{
    checkSpan(log, naive, TimeSpan());
    if (naive.records.isEmpty())
        return;
    const quint32 a = naive.records.first().time, b = naive.records.last().time;
    const quint32 m = naive.records.at(naive.records.size() / 2).time;
    checkSpan(log, naive, TimeSpan{std::min(a, b), std::max(a, b)});
    checkSpan(log, naive, TimeSpan{m, m});
    checkSpan(log, naive, TimeSpan{0, std::min(a, m)});
    checkSpan(log, naive, TimeSpan{std::max(b, m), 0xFFFFFFFFu});
}

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
    FUZZ_CHECK(!log.isIndexStale() && all == naive.texts);
    checkSpans(log, naive);

    // The first and the last record start with a whole header in the file.
    const QDateTime firstDate = CLog::firstRecordDate(logPath), lastDate = CLog::lastRecordDate(logPath);
    FUZZ_CHECK(firstDate.isValid() == !naive.startTimes.isEmpty() && lastDate.isValid() == firstDate.isValid());
    if (firstDate.isValid()) {
        size_t last = size - MLOG_HEADER_SIZE;
        while (qFromLittleEndian<quint32>(data + last) != MLOG_MAGIC)
            --last;
        FUZZ_CHECK(firstDate.toSecsSinceEpoch() == naive.startTimes.first());
        FUZZ_CHECK(lastDate.toSecsSinceEpoch() == qFromLittleEndian<quint32>(data + last + MLOG_OFF_TIME));
        fuzz::setModified(logPath, QFileInfo(logPath).lastModified().toSecsSinceEpoch() + 10);
        CLog again;
        again.readLog(logPath);
        FUZZ_CHECK(again.timeIndex() == naive.index && again.recordCount() == naive.records.size());
        FUZZ_CHECK(readAllBlocks(again) == naive.texts);
        checkSpans(again, naive);
        FUZZ_CHECK(!again.isIndexStale());
    }
    return 0;
}
