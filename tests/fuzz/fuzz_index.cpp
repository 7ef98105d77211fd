// An arbitrary index file next to a fixed log, in the format's plain layout
// or the previous release's: either the blocks hold every record in file
// order, or the index is found stale and the next read heals it. A companion
// left by an earlier input is tied to that input's bytes and passed over.
#include "fuzzsupport.h"

#include "../log/logbuilder.h"

#include <QDataStream>

static QString logPath;
static const NaiveScan *truth = nullptr;
constexpr qint64 kLogTime = 1900000000; // the log's mtime; seeds are older

static QByteArray indexFile(const QMap<quint32, qint64> &index, qint32 count, qint64 time = kLogTime - 86400)
{
    return indexFileBytes(QDateTime::fromSecsSinceEpoch(time), count, index, {},
                          quint32(truth->textsByTime.value(index.lastKey()).size()));
}

static void writeSeeds(const QString &dir)
{
    QMap<quint32, qint64> shifted = truth->index;
    (shifted.begin() + shifted.size() / 2).value() += 1;
    fuzz::writeFile(dir + "true", indexFile(truth->index, truth->records.size()));
    fuzz::writeFile(dir + "shifted", indexFile(shifted, truth->records.size()));
    fuzz::writeFile(dir + "short", indexFile(truth->index, truth->records.size() / 2));
    fuzz::writeFile(dir + "new", indexFile(truth->index, truth->records.size(), kLogTime));
    // The plain layout of the format, without a companion: the log as new
    // as the index is gone on from its last block, an older one scanned.
    const QDateTime old = QDateTime::fromSecsSinceEpoch(kLogTime - 86400);
    fuzz::writeFile(dir + "plain", plainIndexBytes(QDateTime::fromSecsSinceEpoch(kLogTime), truth->records.size(), truth->index));
    fuzz::writeFile(dir + "plain-old", plainIndexBytes(old, truth->records.size(), truth->index));
    fuzz::writeFile(dir + "plain-shifted", plainIndexBytes(QDateTime::fromSecsSinceEpoch(kLogTime), truth->records.size(), shifted));
}

static QStringList readAllBlocks(const CLog &log)
{
    const QList<quint32> times = log.timeIndex().keys();
    QStringList all;
    log.forEachBlock(0, log.blockCount() - 1, [&](int block, const QStringList &texts) {
        for (const QString &text : texts)
            FUZZ_CHECK(truth->textsByTime.value(times.at(block)).contains(text));
        all += texts;
        return true;
    });
    return all;
}

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::setUp();
    logPath = fuzz::folder + QStringLiteral("/fixed.mlog");
    MlogGeneratorOptions o;
    o.records = 400;
    o.seed = 11;
    o.start = QDateTime::fromSecsSinceEpoch(1800000000);
    o.recordsPerSecond = 3;
    o.garbageRate = 0.1;
    FUZZ_CHECK(generateLog(logPath, o));
    truth = new NaiveScan(fileBytes(logPath));
    FUZZ_CHECK(truth->ascending && truth->index.size() > 20);
    fuzz::writeSeedsIfAsked(writeSeeds);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::writeFile(CLog::indexFilePath(logPath), fuzz::bytes(data, size));
    fuzz::setModified(logPath, kLogTime);
    CLog log;
    log.readLog(logPath);
    FUZZ_CHECK(log.recordCount() <= QFileInfo(logPath).size() / MLOG_HEADER_SIZE);
    const QStringList all = readAllBlocks(log);
    if (!log.isIndexStale()) {
        FUZZ_CHECK(all == truth->texts);
        return 0;
    }
    FUZZ_CHECK(log.isChanged(logPath));
    log.readLog(logPath);
    FUZZ_CHECK(!log.isIndexStale() && log.timeIndex() == truth->index && log.recordCount() == truth->records.size());
    FUZZ_CHECK(readAllBlocks(log) == truth->texts);
    return 0;
}
