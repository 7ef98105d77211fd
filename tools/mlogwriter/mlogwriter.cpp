#include "mlogwriter.h"

#include "logcontent.h"
#include "mlog.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cstring>
#include <functional>
#include <memory>
#include <vector>

using namespace mlogwriter;

namespace {

constexpr int headerSize = MLOG_HEADER_SIZE;
constexpr int chunkSize = 4 << 20;

inline void put16(char *p, quint16 v)
{
    p[0] = char(v & 0xFF);
    p[1] = char(v >> 8);
}

inline void put32(char *p, quint32 v)
{
    p[0] = char(v & 0xFF);
    p[1] = char((v >> 8) & 0xFF);
    p[2] = char((v >> 16) & 0xFF);
    p[3] = char(v >> 24);
}

inline quint16 get16(const char *p)
{
    const auto *u = reinterpret_cast<const unsigned char *>(p);
    return quint16(u[0] | (u[1] << 8));
}

inline quint32 get32(const char *p)
{
    const auto *u = reinterpret_cast<const unsigned char *>(p);
    return quint32(u[0]) | (quint32(u[1]) << 8) | (quint32(u[2]) << 16) | (quint32(u[3]) << 24);
}

void putHeader(char *p, quint32 time, const quint32 subject[5], quint16 kind, quint16 event,
               quint32 status, quint16 payloadLength, quint16 flags = 0)
{
    put32(p + MLOG_OFF_MAGIC, MLOG_MAGIC);
    put32(p + MLOG_OFF_TIME, time);
    for (int i = 0; i < 5; ++i)
        put32(p + MLOG_OFF_SUBJECT + 4 * i, subject[i]);
    put16(p + MLOG_OFF_KIND, kind);
    put16(p + MLOG_OFF_EVENT, event);
    put32(p + MLOG_OFF_STATUS, status);
    put16(p + MLOG_OFF_FLAGS, flags);
    put16(p + MLOG_OFF_PAYLOAD_LENGTH, payloadLength);
}

quint32 toRecordTime(const QDateTime &dt)
{
    const qint64 s = dt.toSecsSinceEpoch();
    return s < 0 ? 0u : s > 0xFFFFFFFFll ? 0xFFFFFFFFu : quint32(s);
}

// What appending needs to know of an existing log.
struct Tail
{
    qint64 size = 0;
    bool hasRecord = false;
    quint32 lastTime = 0;
    QByteArray completion; // bytes that finish a last record cut short
};

bool looksLikeHeader(const char *h)
{
    return get16(h + MLOG_OFF_KIND) < 4 && (get16(h + MLOG_OFF_FLAGS) & ~MLOG_FLAG_HIDDEN) == 0;
}

// Finds the last record of the log from its tail. A record cut short is
// completed as a writer would have: the missing header bytes from a plain
// header (the time of the record before when even that is missing), the
// missing payload bytes as blanks, so that records appended after it start
// where a reader expects them.
bool readTail(const QString &path, const std::function<quint32()> &fallbackTime, Tail *tail, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return false;
    }
    tail->size = file.size();
    const qint64 window = qMin<qint64>(tail->size, 4 * (headerSize + 0xFFFF));
    const qint64 base = tail->size - window;
    if (!file.seek(base)) {
        *error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return false;
    }
    const QByteArray data = file.read(window);
    if (data.size() != window) {
        *error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return false;
    }
    char magic[4];
    put32(magic, MLOG_MAGIC);
    const QByteArray magicBytes(magic, 4);

    int cut = -1; // a record start whose header is cut short
    for (int at = data.lastIndexOf(magicBytes); at >= 0; at = at > 0 ? data.lastIndexOf(magicBytes, at - 1) : -1) {
        const qint64 available = window - at;
        if (available < headerSize) {
            if (cut < 0)
                cut = at;
            continue;
        }
        const char *h = data.constData() + at;
        if (!looksLikeHeader(h))
            continue;
        const quint32 time = get32(h + MLOG_OFF_TIME);
        if (cut >= 0) {
            // Complete the cut header after this whole record.
            char header[headerSize];
            const quint32 none[5] = {0, 0, 0, 0, 0};
            putHeader(header, time, none, 0, 0, 0, 0);
            const int have = window - cut;
            std::memcpy(header, data.constData() + cut, size_t(have));
            tail->completion = QByteArray(header + have, headerSize - have);
            tail->completion.append(QByteArray(get16(header + MLOG_OFF_PAYLOAD_LENGTH), ' '));
            tail->lastTime = qMax(time, get32(header + MLOG_OFF_TIME));
        } else {
            const qint64 end = at + headerSize + get16(h + MLOG_OFF_PAYLOAD_LENGTH);
            if (end > window)
                tail->completion = QByteArray(int(end - window), ' ');
            tail->lastTime = time;
        }
        tail->hasRecord = true;
        return true;
    }
    if (cut >= 0) {
        char header[headerSize];
        const quint32 none[5] = {0, 0, 0, 0, 0};
        putHeader(header, fallbackTime(), none, 0, 0, 0, 0);
        const int have = window - cut;
        std::memcpy(header, data.constData() + cut, size_t(have));
        tail->completion = QByteArray(header + have, headerSize - have);
        tail->completion.append(QByteArray(get16(header + MLOG_OFF_PAYLOAD_LENGTH), ' '));
        tail->lastTime = get32(header + MLOG_OFF_TIME);
        tail->hasRecord = true;
    }
    return true;
}

// The bytes of a log but its record times: garbage and records in order.
// Contents and times come from separate sources, so a walk that only counts
// sees the same records as the one that writes.
class RecordStream
{
public:
    RecordStream(quint64 seed, const MlogGeneratorOptions &options)
        : noise(seed ^ 0xBB67AE8584CAA73Bull), content(seed), options(options)
    {
        content.setShares(options.refusals, options.rare, options.rareSession, options.rarePath);
    }

    // Writes the garbage before the next record and the record with time 0
    // at `out` (room for maxStep bytes); returns the bytes written and, in
    // `recordAt`, where the record starts among them.
    int next(char *out, int *recordAt)
    {
        int n = 0;
        if (options.garbageRate > 0 && noise.chance(options.garbageRate))
            n = content.garbage(out, options.garbageMagic && noise.chance(0.5));
        Content::Header h;
        const int payloadLength = content.next(&h, out + n + headerSize);
        // The content's own draws stay the same: only the id is replaced.
        if (options.distinctUids > 0)
            h.subject[2] = MlogGeneratorOptions::unknownUidBase + quint32(index % options.distinctUids);
        ++index;
        putHeader(out + n, 0, h.subject, h.kind, h.event, h.status, quint16(payloadLength));
        *recordAt = n;
        return n + headerSize + payloadLength;
    }

    // Records a log going on from `existingSize` bytes holds once it
    // reaches the options' target size.
    static qint64 countUpTo(quint64 seed, const MlogGeneratorOptions &options, qint64 existingSize)
    {
        RecordStream stream(seed, options);
        std::vector<char> scratch(maxStep);
        qint64 records = 0;
        int recordAt = 0;
        for (qint64 size = existingSize; size < options.targetSize; ++records)
            size += stream.next(scratch.data(), &recordAt);
        return records;
    }

    static constexpr int maxStep = Content::maxGarbage + headerSize + Content::maxPayload;

    Rng noise; // garbage and the cut of the last record

private:
    Content content;
    const MlogGeneratorOptions &options;
    qint64 index = 0; // records made so far
};

// Output through QSaveFile for a new log (whole or nothing) and a plain
// append otherwise; records are gathered in large chunks.
class Sink
{
public:
    bool open(const QString &path, bool append, QString *error)
    {
        if (append)
            file.reset(new QFile(path));
        else
            file.reset(new QSaveFile(path));
        if (!file->open(append ? QIODevice::WriteOnly | QIODevice::Append : QIODevice::WriteOnly)) {
            *error = QStringLiteral("cannot write %1: %2").arg(path, file->errorString());
            return false;
        }
        return true;
    }

    bool write(const char *data, qint64 size, QString *error)
    {
        while (size > 0) {
            const qint64 n = file->write(data, size);
            if (n <= 0) {
                *error = QStringLiteral("cannot write %1: %2").arg(file->fileName(), file->errorString());
                abandon();
                return false;
            }
            data += n;
            size -= n;
        }
        return true;
    }

    bool close(QString *error)
    {
        if (auto *save = qobject_cast<QSaveFile *>(file.get())) {
            if (!save->commit()) {
                *error = QStringLiteral("cannot write %1: %2").arg(save->fileName(), save->errorString());
                return false;
            }
            return true;
        }
        if (!file->flush()) {
            *error = QStringLiteral("cannot write %1: %2").arg(file->fileName(), file->errorString());
            return false;
        }
        file->close();
        return true;
    }

    void abandon()
    {
        if (auto *save = qobject_cast<QSaveFile *>(file.get()))
            save->cancelWriting();
    }

private:
    std::unique_ptr<QFileDevice> file;
};

} // namespace

QByteArray encodeRecord(const MlogRecord &record)
{
    // The header is put together on the stack: GCC 12 cannot see the size
    // of a QByteArray's buffer through data() and warns at -O2.
    const int payloadLength = qMin(record.payload.size(), 0xFFFF);
    char header[headerSize];
    putHeader(header, record.time, record.subject, record.kind, record.event, record.status,
              quint16(payloadLength), record.flags);
    QByteArray out;
    out.reserve(headerSize + payloadLength);
    out.append(header, headerSize);
    out.append(record.payload.constData(), payloadLength);
    return out;
}

bool generateLog(const QString &path, const MlogGeneratorOptions &options, QString *error)
{
    QString message;
    const auto fail = [&](const QString &text) {
        if (error)
            *error = text;
        return false;
    };
    const double rate = options.recordsPerSecond > 0 ? options.recordsPerSecond : 50.0;
    const bool append = options.append && QFileInfo::exists(path);
    // An appended part is told apart from the log's own beginning by the
    // size it continues from, yet stays reproducible.
    const auto seedAt = [&](qint64 existingSize) {
        return options.seed ^ (quint64(existingSize) * 0x9E3779B97F4A7C15ull);
    };

    // Without a start the last record falls on the current second: the
    // clock's span over the records to come is worked out first. A log of a
    // given size is walked once without writing to count its records.
    const auto defaultStart = [&](qint64 existingSize) {
        if (options.start.isValid())
            return toRecordTime(options.start);
        const quint64 seed = seedAt(existingSize);
        const qint64 records = options.targetSize > 0
            ? RecordStream::countUpTo(seed, options, existingSize)
            : options.records;
        const quint64 span = options.secondsApart > 0
            ? quint64(qMax<qint64>(records, 1) - 1) * options.secondsApart
            : Clock::span(seed, rate, qMax<qint64>(records, 1) - 1);
        const quint32 now = toRecordTime(QDateTime::currentDateTimeUtc());
        return span >= now ? 0u : quint32(now - span);
    };

    Tail tail;
    quint32 start = 0;
    bool startsWithGap = false;
    if (append) {
        if (!readTail(path, [&] { return defaultStart(0); }, &tail, &message))
            return fail(message);
        if (tail.hasRecord) {
            // Times never go back: an earlier start is moved to the last time.
            if (options.start.isValid()) {
                start = qMax(tail.lastTime, toRecordTime(options.start));
            } else {
                start = tail.lastTime;
                startsWithGap = true;
            }
        } else {
            start = defaultStart(tail.size);
        }
    } else {
        start = defaultStart(0);
    }

    Sink sink;
    if (!sink.open(path, append, &message))
        return fail(message);
    qint64 size = tail.size;
    if (!tail.completion.isEmpty()) {
        if (!sink.write(tail.completion.constData(), tail.completion.size(), &message))
            return fail(message);
        size += tail.completion.size();
    }

    const quint64 seed = seedAt(tail.size);
    Clock clock(seed, rate, start, startsWithGap);
    RecordStream stream(seed, options);
    std::vector<char> buffer(size_t(chunkSize) + RecordStream::maxStep);
    qint64 used = 0;
    qint64 lastStart = -1;

    for (qint64 i = 0;; ++i) {
        if (options.targetSize > 0 ? size >= options.targetSize : i >= options.records)
            break;
        if (used >= chunkSize) {
            if (!sink.write(buffer.data(), used, &message))
                return fail(message);
            used = 0;
        }
        int recordAt = 0;
        const int n = stream.next(buffer.data() + used, &recordAt);
        const quint64 time = options.secondsApart > 0 ? quint64(start) + quint64(i + startsWithGap) * options.secondsApart
                                                      : clock.next();
        put32(buffer.data() + used + recordAt + MLOG_OFF_TIME, time > 0xFFFFFFFFull ? 0xFFFFFFFFu : quint32(time));
        lastStart = used + recordAt;
        used += n;
        size += n;
    }
    if (options.truncateLast && lastStart >= 0) {
        const qint64 length = used - lastStart;
        used = lastStart + 1 + qint64(stream.noise.below(quint32(length - 1)));
    }
    if (used > 0 && !sink.write(buffer.data(), used, &message))
        return fail(message);
    if (!sink.close(&message))
        return fail(message);
    return true;
}
