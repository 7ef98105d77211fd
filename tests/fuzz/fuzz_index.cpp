// The index loader on an arbitrary index file next to a fixed log (times
// never go back, garbage between records). Nothing may be taken on trust:
// no allocation from a size in the file, no block showing a record of
// another time. After every block has been read, either the blocks together
// hold every record that decodes, in file order, or the index was found
// stale; and the next read of a stale index comes to the true index.
//
// With VREL_FUZZ_WRITE_SEEDS=DIR set, writes seed index files for the
// fixed log into DIR instead (the true one and a few spoilt ones) and exits.
#include "fuzzsupport.h"

#include "../log/logbuilder.h"

#include <clog.h>
#include <mlogwriter.h>

#include <QByteArray>
#include <QDataStream>
#include <QStringList>

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
    QDir().mkpath(dir);
    const QMap<quint32, qint64> &index = truth->index;
    const qint64 old = kLogTime - 86400;
    const auto save = [&dir](const char *name, const QByteArray &bytes) {
        fuzz::writeFile(dir + QLatin1Char('/') + QLatin1String(name), bytes.constData(), size_t(bytes.size()));
    };
    save("true", indexBytes(old, truth->count, index));
    QMap<quint32, qint64> head;
    for (auto it = index.cbegin(); it != index.cend() && head.size() < index.size() / 2; ++it)
        head.insert(it.key(), it.value());
    save("head", indexBytes(old, truth->count / 2, head));
    QMap<quint32, qint64> shifted = index;
    (shifted.begin() + shifted.size() / 2).value() += 1;
    save("shifted", indexBytes(old, truth->count, shifted));
    QMap<quint32, qint64> dropped = index;
    dropped.erase(dropped.begin() + dropped.size() / 3);
    save("dropped", indexBytes(old, truth->count, dropped));
    save("new", indexBytes(kLogTime, truth->count, index));
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
    const QByteArray seeds = qgetenv("VREL_FUZZ_WRITE_SEEDS");
    if (!seeds.isEmpty()) {
        writeSeeds(QFile::decodeName(seeds));
        std::exit(0);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString indexPath = CLog::indexFilePath(logPath);
    fuzz::writeFile(indexPath, data, size);
    fuzz::setModified(logPath, kLogTime);

    CLog log;
    log.readLog(logPath);
    FUZZ_CHECK(log.recordCount() <= QFileInfo(logPath).size() / MLOG_HEADER_SIZE);
    const QList<quint32> keys = log.timeIndex().keys();
    QStringList all;
    log.forEachBlock(0, log.blockCount() - 1, [&](int block, const QStringList &texts) {
        const QStringList own = truth->textsByTime.value(keys.at(block));
        for (const QString &text : texts)
            FUZZ_CHECK(own.contains(text));
        all += texts;
        return true;
    });
    if (!log.isIndexStale()) {
        FUZZ_CHECK(all == truth->texts);
        return 0;
    }
    FUZZ_CHECK(log.isChanged(logPath));
    log.readLog(logPath);
    FUZZ_CHECK(!log.isIndexStale());
    FUZZ_CHECK(log.timeIndex() == truth->index);
    FUZZ_CHECK(log.recordCount() == truth->count);
    all.clear();
    log.forEachBlock(0, log.blockCount() - 1, [&](int, const QStringList &texts) {
        all += texts;
        return true;
    });
    FUZZ_CHECK(all == truth->texts);
    return 0;
}
