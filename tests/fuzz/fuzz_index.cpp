// An arbitrary index file next to a fixed log (times never go back, garbage
// between records). Nothing allocated from a size in the file, no block
// showing a record of another time; once every block is read, either the
// blocks hold every record that decodes, in file order, or the index was
// found stale, and the next read comes to the true index.
// Seeds: the true index file of the fixed log and a few spoilt ones.
#include "fuzzsupport.h"

#include "../log/logbuilder.h"

#include <clog.h>
#include <mlogwriter.h>

#include <QDataStream>

namespace {

QString logPath;
const NaiveScan *truth = nullptr;
constexpr qint64 kLogTime = 1900000000; // the log's mtime; seeds are older

QByteArray indexBytes(qint64 time, qint32 count, const QMap<quint32, qint64> &index)
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
    const QMap<quint32, qint64> &index = truth->index;
    const qint64 old = kLogTime - 86400;
    QMap<quint32, qint64> head, shifted = index, dropped = index;
    for (auto it = index.cbegin(); head.size() < index.size() / 2; ++it)
        head.insert(it.key(), it.value());
    (shifted.begin() + shifted.size() / 2).value() += 1;
    dropped.erase(dropped.begin() + dropped.size() / 3);
    fuzz::writeFile(dir + "true", indexBytes(old, truth->count, index));
    fuzz::writeFile(dir + "head", indexBytes(old, truth->count / 2, head));
    fuzz::writeFile(dir + "shifted", indexBytes(old, truth->count, shifted));
    fuzz::writeFile(dir + "dropped", indexBytes(old, truth->count, dropped));
    fuzz::writeFile(dir + "new", indexBytes(kLogTime, truth->count, index));
}

// Every block's texts, each checked to be a record of the block's time.
QStringList readAllBlocks(const CLog &log)
{
    const QList<quint32> keys = log.timeIndex().keys();
    QStringList all;
    log.forEachBlock(0, log.blockCount() - 1, [&](int block, const QStringList &texts) {
        const QStringList own = truth->textsByTime.value(keys.at(block));
        for (const QString &text : texts)
            FUZZ_CHECK(own.contains(text));
        all += texts;
        return true;
    });
    return all;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::setUp();
    logPath = fuzz::path("fixed.mlog");
    MlogGeneratorOptions o;
    o.records = 400;
    o.seed = 11;
    o.start = QDateTime::fromSecsSinceEpoch(1800000000);
    o.recordsPerSecond = 3;
    o.garbageRate = 0.1;
    FUZZ_CHECK(generateLog(logPath, o));
    QFile f(logPath);
    FUZZ_CHECK(f.open(QIODevice::ReadOnly));
    truth = new NaiveScan(f.readAll());
    FUZZ_CHECK(truth->ascending && truth->index.size() > 20);
    fuzz::writeSeedsIfAsked(writeSeeds);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::writeFile(CLog::indexFilePath(logPath), QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size)));
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
    FUZZ_CHECK(!log.isIndexStale() && log.timeIndex() == truth->index && log.recordCount() == truth->count);
    FUZZ_CHECK(readAllBlocks(log) == truth->texts);
    return 0;
}
