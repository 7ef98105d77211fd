// An arbitrary index file next to a fixed log (times never go back, garbage
// between records): nothing allocated from a size in the file, no block
// showing a record of another time; either the blocks hold every record that
// decodes, in file order, or the index is found stale and the next read
// comes to the true index. Seeds: the true index file and spoilt ones.
#include "fuzzsupport.h"

#include "../log/logbuilder.h"

#include <QDataStream>

namespace {

QString logPath;
const NaiveScan *truth = nullptr;
constexpr qint64 kLogTime = 1900000000; // the log's mtime; seeds are older

QByteArray indexFile(const QMap<quint32, qint64> &index, qint32 count, qint64 time = kLogTime - 86400)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << QDateTime::fromSecsSinceEpoch(time) << count;
    for (auto it = index.cbegin(); it != index.cend(); ++it)
        out << qint32(it.key()) << qint64(it.value());
    return bytes;
}

void writeSeeds(const QString &dir)
{
    QMap<quint32, qint64> head, shifted = truth->index, dropped = truth->index;
    for (auto it = truth->index.cbegin(); head.size() < truth->index.size() / 2; ++it)
        head.insert(it.key(), it.value());
    (shifted.begin() + shifted.size() / 2).value() += 1;
    dropped.erase(dropped.begin() + dropped.size() / 3);
    fuzz::writeFile(dir + "true", indexFile(truth->index, truth->records.size()));
    fuzz::writeFile(dir + "head", indexFile(head, truth->records.size() / 2));
    fuzz::writeFile(dir + "shifted", indexFile(shifted, truth->records.size()));
    fuzz::writeFile(dir + "dropped", indexFile(dropped, truth->records.size()));
    fuzz::writeFile(dir + "new", indexFile(truth->index, truth->records.size(), kLogTime));
}

// Every block's texts, each a record of the block's time.
QStringList readAllBlocks(const CLog &log)
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

} // namespace

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
