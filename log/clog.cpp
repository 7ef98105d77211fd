#include "clog.h"

#include "chunkreader.h"

#include <mlog.h>

#include <QCoreApplication>
#include <QDataStream>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QtEndian>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

#include <sys/stat.h>

namespace {

constexpr qint64 kHeaderSize = 40;
constexpr quint32 kMagic = 0x10121980u;
constexpr char kMagicFirstByte = '\x80';
constexpr qint64 kIndexPairSize = 4 + 8;

// Reads of this size stay in the CPU cache between the copy out of the page
// cache and the parse; much larger pieces are slower, not faster.
constexpr qint64 kScanChunk = 256 << 10;
constexpr qint64 kRangeChunkMin = 64 << 10;
constexpr qint64 kRangeChunkMax = 4 << 20;

// The event loop runs on a time slice, not per record: a call costs more
// than the rest of the work done for a record.
constexpr qint64 kEventSliceMs = 30;

inline quint32 le32(const char *p)
{
    const auto *u = reinterpret_cast<const uchar *>(p);
    return quint32(u[0]) | quint32(u[1]) << 8 | quint32(u[2]) << 16 | quint32(u[3]) << 24;
}

inline quint16 le16(const char *p)
{
    const auto *u = reinterpret_cast<const uchar *>(p);
    return quint16(u[0] | u[1] << 8);
}

inline bool isMagic(const char *p)
{
    return le32(p) == kMagic;
}

QDateTime localFromSecs(quint32 secs)
{
    return QDateTime::fromSecsSinceEpoch(qint64(secs), Qt::UTC).toLocalTime();
}

// Hands the library's text of one whole record (header and payload) to
// `take` (null for an empty text); false when the library cannot compile
// the record. The library's out-slots are freed on every path.
template <typename TakeText>
bool compileRecord(const char *record, qint64 length, TakeText &&take)
{
    void *compiled = nullptr;
    if (mlog_compile(&compiled, record, length) == -1) {
        free(compiled);
        return false;
    }
    char *text = mlog_txt_malloc(compiled);
    take(text);
    free(text);
    free(compiled);
    return true;
}

// Reads the records from `pos` on until one ends at or beyond `end`, one
// fails to compile, or the data ends, handing each text to `take`. Returns
// the offset reached.
template <typename TakeText>
qint64 walkRecords(ChunkReader &reader, qint64 pos, qint64 end, TakeText &&take)
{
    for (;;) {
        const char *header = reader.span(pos, kHeaderSize);
        if (!header)
            break;
        const qint64 length = kHeaderSize + le16(header + MLOG_OFF_PAYLOAD_LENGTH);
        const char *record = reader.span(pos, length);
        if (!record)
            break;
        if (!compileRecord(record, length, take))
            break;
        pos += length;
        if (pos >= end)
            break;
    }
    mlog_done();
    return pos;
}

// The non-empty texts of the records from `pos` on, as walkRecords reads them.
qint64 readRecords(ChunkReader &reader, qint64 pos, qint64 end, QStringList *texts)
{
    return walkRecords(reader, pos, end, [texts](const char *text) {
        if (text && *text)
            texts->append(QString::fromUtf8(text));
    });
}

// Progress goes out as an int; logs of 2 GiB and more are reported in
// units of 2^shift bytes, the smallest unit their size fits in.
int progressShift(qint64 size)
{
    int shift = 0;
    while ((size >> shift) > INT_MAX)
        ++shift;
    return shift;
}

} // namespace

CLog::CLog(QObject *parent) : QObject(parent)
{
}

// --- Record reading ---------------------------------------------------------

QPair<QString, int> CLog::readRecord(QDataStream &in)
{
    char header[kHeaderSize];
    if (in.readRawData(header, int(kHeaderSize)) != int(kHeaderSize))
        return qMakePair(QString(), -1);
    const int payload = le16(header + MLOG_OFF_PAYLOAD_LENGTH);
    QByteArray record(header, int(kHeaderSize));
    record.resize(int(kHeaderSize) + payload);
    if (payload > 0 && in.readRawData(record.data() + kHeaderSize, payload) != payload)
        return qMakePair(QString(), -1);
    QString text;
    if (!compileRecord(record.constData(), record.size(),
                       [&text](const char *utf8) { text = utf8 ? QString::fromUtf8(utf8) : QString(); }))
        return qMakePair(QString(), -1);
    return qMakePair(text, payload);
}

QStringList CLog::readRange(qint64 start, qint64 end) const
{
    QStringList texts;
    QFile file(m_logPath);
    if (start < 0 || !file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return texts;
    // One read covers a usual block whole; a record reaching past `end` or a
    // block larger than the cap costs further reads.
    const qint64 chunk = qBound(kRangeChunkMin, end - start, kRangeChunkMax);
    ChunkReader reader(file, chunk);
    readRecords(reader, start, end, &texts);
    return texts;
}

qint64 CLog::blockEnd(int block, qint64 fileSize) const
{
    return block + 1 < int(m_entries.size()) ? m_entries[size_t(block) + 1].offset : fileSize;
}

QStringList CLog::readBlock(int block) const
{
    if (block < 0 || block >= blockCount())
        return QStringList();
    const qint64 end = block + 1 < blockCount() ? blockEnd(block, 0)
                                                : QFileInfo(m_logPath).size();
    return readRange(m_entries[size_t(block)].offset, end);
}

void CLog::walkBlocks(int first, int last,
                      const std::function<bool(int, ChunkReader *, qint64, qint64)> &perBlock) const
{
    first = std::max(first, 0);
    last = std::min(last, blockCount() - 1);
    if (first > last)
        return;
    QFile file(m_logPath);
    const bool opened = file.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    ChunkReader reader(file, kScanChunk);
    for (int block = first; block <= last; ++block) {
        const qint64 end = block + 1 < blockCount() ? blockEnd(block, 0) : file.size();
        if (!perBlock(block, opened ? &reader : nullptr, m_entries[size_t(block)].offset, end))
            return;
    }
}

void CLog::forEachBlock(int first, int last,
                        const std::function<bool(int, const QStringList &)> &visit) const
{
    walkBlocks(first, last, [&visit](int block, ChunkReader *reader, qint64 start, qint64 end) {
        QStringList texts;
        if (reader)
            readRecords(*reader, start, end, &texts);
        return visit(block, texts);
    });
}

void CLog::countBlockTexts(int first, int last, const std::function<bool(int, int)> &visit) const
{
    walkBlocks(first, last, [&visit](int block, ChunkReader *reader, qint64 start, qint64 end) {
        int count = 0;
        if (reader)
            walkRecords(*reader, start, end, [&count](const char *text) {
                if (text && *text)
                    ++count;
            });
        return visit(block, count);
    });
}

void CLog::forEachBlockUtf8(int first, int last,
                            const std::function<bool(int, const QByteArray &)> &visit) const
{
    // One buffer for every block: its capacity stays once reserved.
    QByteArray texts;
    texts.reserve(64 << 10);
    walkBlocks(first, last, [&](int block, ChunkReader *reader, qint64 start, qint64 end) {
        texts.resize(0);
        if (reader)
            walkRecords(*reader, start, end, [&texts](const char *text) {
                if (text && *text)
                    texts.append(text, int(std::strlen(text)) + 1);
            });
        return visit(block, texts);
    });
}

int CLog::blockForDate(const QDateTime &date) const
{
    const quint32 secs = quint32(date.toSecsSinceEpoch());
    const auto it = std::lower_bound(m_entries.begin(), m_entries.end(), secs,
                                     [](const Entry &e, quint32 s) { return e.key < s; });
    return int(it - m_entries.begin());
}

int CLog::blockCount() const
{
    return int(m_entries.size());
}

QDateTime CLog::firstDate() const
{
    return m_entries.empty() ? QDateTime() : localFromSecs(m_entries.front().key);
}

QDateTime CLog::lastDate() const
{
    return m_entries.empty() ? QDateTime() : localFromSecs(m_entries.back().key);
}

// --- State ------------------------------------------------------------------

QString CLog::logPath() const
{
    return m_logPath;
}

int CLog::recordCount() const
{
    return m_recordCount;
}

QDateTime CLog::indexTime() const
{
    return m_indexTime;
}

const QMap<quint32, qint64> &CLog::timeIndex() const
{
    // Built only when asked for: the map costs several times the memory of
    // the vector, and block access never needs it.
    if (!m_timeIndexValid) {
        m_timeIndex.clear();
        for (const Entry &e : m_entries)
            m_timeIndex.insert(m_timeIndex.cend(), e.key, e.offset);
        m_timeIndexValid = true;
    }
    return m_timeIndex;
}

bool CLog::isCancelled() const
{
    return m_cancelled;
}

void CLog::canselReadLog()
{
    m_cancelled = true;
}

// --- Time index -------------------------------------------------------------

void CLog::clearIndex()
{
    // The capacity stays: giving it back and faulting it in again costs more
    // than the scan of a grown log.
    m_entries.clear();
    m_entriesSorted = true;
    m_timeIndex.clear();
    m_timeIndexValid = true;
}

void CLog::addEntry(quint32 key, qint64 offset)
{
    if (!m_entries.empty() && key <= m_entries.back().key)
        m_entriesSorted = false;
    m_entries.push_back(Entry{key, offset});
    m_timeIndexValid = false;
}

void CLog::settleEntries()
{
    // A time that comes back later in the log keeps its later offset: after
    // a stable sort the last of equal keys is the one found last.
    if (!m_entriesSorted) {
        std::stable_sort(m_entries.begin(), m_entries.end(),
                         [](const Entry &a, const Entry &b) { return a.key < b.key; });
        std::vector<Entry> settled;
        settled.reserve(m_entries.size());
        for (const Entry &e : m_entries) {
            if (!settled.empty() && settled.back().key == e.key)
                settled.back() = e;
            else
                settled.push_back(e);
        }
        m_entries.swap(settled);
        m_entriesSorted = true;
    }
    m_timeIndexValid = false;
}

// --- Scanning ---------------------------------------------------------------

void CLog::readLog(const QString &path)
{
    m_logPath = path;
    loadIndex();
    const QDateTime modified = QFileInfo(m_logPath).lastModified();
    if (m_indexTime < modified && !m_entries.empty() && indexFitsLog()) {
        const Entry last = m_entries.back();
        scanLog(last.key, last.offset);
    } else {
        scanLog(0, 0);
    }
}

void CLog::swapState(CLog &other)
{
    std::swap(m_recordCount, other.m_recordCount);
    std::swap(m_logPath, other.m_logPath);
    std::swap(m_indexTime, other.m_indexTime);
    std::swap(m_entries, other.m_entries);
    std::swap(m_entriesSorted, other.m_entriesSorted);
    std::swap(m_timeIndex, other.m_timeIndex);
    std::swap(m_timeIndexValid, other.m_timeIndexValid);
    std::swap(m_cancelled, other.m_cancelled);
    std::swap(m_writtenIndexPath, other.m_writtenIndexPath);
    std::swap(m_writtenIndexStamp, other.m_writtenIndexStamp);
}

bool CLog::isChanged(const QString &path) const
{
    return QFileInfo(path).lastModified() != m_indexTime;
}

bool CLog::indexFitsLog() const
{
    // The index file is shared by logs of one name in different folders and
    // outlives rotation, so its ends must still be this log's record starts
    // with the times they are filed under.
    const Entry &first = m_entries.front();
    const Entry &last = m_entries.back();
    for (const Entry &e : {first, last}) {
        if (!isRecordStart(e.offset, m_logPath))
            return false;
        const QDateTime date = recordDate(e.offset, m_logPath);
        if (!date.isValid() || quint32(date.toSecsSinceEpoch()) != e.key)
            return false;
    }
    return true;
}

bool CLog::loadIndex()
{
    const QString indexPath = indexFilePath(m_logPath);
    // The entries in memory are what the file holds when this object wrote
    // it and nobody has touched it since; parsing them again would only
    // fault the same memory in once more.
    if (!m_writtenIndexStamp.isEmpty() && indexPath == m_writtenIndexPath
        && fileStamp(indexPath) == m_writtenIndexStamp) {
        const qint64 logSize = QFileInfo(m_logPath).size();
        const bool inside = std::all_of(m_entries.begin(), m_entries.end(),
                                        [logSize](const Entry &e) { return e.offset < logSize; });
        if (inside)
            return true;
    }
    m_writtenIndexStamp.clear();

    // Whatever the outcome, nothing of the previous log's index may survive:
    // offsets of two files must never mix.
    clearIndex();
    m_recordCount = 0;
    m_indexTime = QDateTime::currentDateTime();

    QFile file(indexPath);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QDataStream in(&file);
    QDateTime indexTime;
    qint32 count = 0;
    in >> indexTime >> count;
    if (in.status() != QDataStream::Ok || count < 0)
        return false;
    // The pairs are parsed straight from the bytes, as the stream would read
    // them; a cut-off pair is what a stream reading past its end means.
    qint64 rest = file.size() - file.pos();
    if (rest % kIndexPairSize != 0)
        return false;
    const qint64 logSize = QFileInfo(m_logPath).size();
    m_entries.reserve(size_t(rest / kIndexPairSize));
    char buffer[kIndexPairSize * 4096];
    while (rest > 0) {
        const qint64 want = std::min<qint64>(rest, sizeof buffer);
        if (file.read(buffer, want) != want) {
            clearIndex();
            return false;
        }
        rest -= want;
        for (const char *p = buffer; p < buffer + want; p += kIndexPairSize) {
            const quint32 key = qFromBigEndian<quint32>(p);
            const qint64 offset = qFromBigEndian<qint64>(p + 4);
            if (offset < 0 || offset >= logSize
                || (!m_entries.empty() && m_entries.back().key >= key)) {
                clearIndex();
                return false;
            }
            m_entries.push_back(Entry{key, offset});
        }
    }
    m_indexTime = indexTime;
    m_recordCount = count;
    m_timeIndexValid = false;
    return true;
}

QByteArray CLog::fileStamp(const QString &path)
{
    // A replaced file has a new inode; a rewritten one a new size or time.
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return QByteArray();
    return QByteArray::number(quint64(st.st_dev)) + ' ' + QByteArray::number(quint64(st.st_ino))
           + ' ' + QByteArray::number(qint64(st.st_size)) + ' '
           + QByteArray::number(qint64(st.st_mtim.tv_sec)) + '.'
           + QByteArray::number(qint64(st.st_mtim.tv_nsec)) + ' '
           + QByteArray::number(qint64(st.st_ctim.tv_sec)) + '.'
           + QByteArray::number(qint64(st.st_ctim.tv_nsec));
}

void CLog::writeIndex()
{
    m_writtenIndexStamp.clear();
    if (m_entries.empty())
        return;
    QSaveFile file(indexFilePath(m_logPath));
    if (!file.open(QIODevice::WriteOnly))
        return;
    QDataStream out(&file);
    out << m_indexTime << qint32(m_recordCount);
    // The pairs go out in blocks in the stream's big-endian layout: a stream
    // call per field costs more than the rest of an incremental scan.
    char buffer[kIndexPairSize * 4096];
    char *p = buffer;
    for (const Entry &e : m_entries) {
        qToBigEndian<quint32>(e.key, p);
        qToBigEndian<qint64>(e.offset, p + 4);
        p += kIndexPairSize;
        if (p == buffer + sizeof buffer) {
            out.writeRawData(buffer, int(p - buffer));
            p = buffer;
        }
    }
    out.writeRawData(buffer, int(p - buffer));
    // A full disk only shows in the stream's status; commit() would still
    // replace the old file with a cut-off one.
    if (out.status() != QDataStream::Ok) {
        file.cancelWriting();
        return;
    }
    if (file.commit()) {
        m_writtenIndexPath = file.fileName();
        m_writtenIndexStamp = fileStamp(m_writtenIndexPath);
    }
}

void CLog::scanLog(quint32 lastTime, qint64 start)
{
    m_cancelled = false;
    QFile file(m_logPath);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        writeIndex();
        return;
    }
    if (start == 0 && lastTime == 0) {
        clearIndex();
        m_recordCount = 0;
    }
    m_indexTime = QFileInfo(m_logPath).lastModified();
    const qint64 size = file.size();
    const int shift = progressShift(size);
    // About a hundred steps over the part actually scanned, starting at its
    // start, so an incremental scan neither floods nor starves the bar.
    const qint64 step = (size - start) / 100 + 1;
    qint64 threshold = start;
    emit valueMaximum(int(size >> shift));

    QElapsedTimer slice;
    slice.start();
    const auto serveEvents = [&slice]() {
        QCoreApplication::processEvents();
        slice.restart();
    };

    ChunkReader reader(file, kScanChunk, size);
    qint64 pos = start;
    qint64 n = 0;
    bool dataEnded = false;
    while (!dataEnded && pos + 3 < size && !m_cancelled) {
        // Find the next magic at or after pos, exactly where a byte-by-byte
        // search would: memchr for its first byte, then compare the rest.
        const char *at = reader.span(pos, 4);
        bool found = at && isMagic(at); // records mostly follow each other
        while (!found && pos + 3 < size) {
            qint64 available = 0;
            const char *p = reader.span(pos, 4, &available);
            if (!p) {
                dataEnded = true;
                break;
            }
            const qint64 candidates = available - 3;
            const void *hit = std::memchr(p, kMagicFirstByte, size_t(candidates));
            if (!hit) {
                pos += candidates;
                if (slice.elapsed() >= kEventSliceMs) {
                    serveEvents();
                    if (m_cancelled)
                        break;
                }
                continue;
            }
            pos += static_cast<const char *>(hit) - p;
            if (isMagic(static_cast<const char *>(hit))) {
                found = true;
                break;
            }
            ++pos;
        }
        if (!found)
            break;

        // A record start whose header does not fit before the end ends the
        // scan without an entry.
        const char *header = reader.span(pos, kHeaderSize);
        if (!header)
            break;
        const quint32 t = le32(header + MLOG_OFF_TIME);
        const qint64 payload = le16(header + MLOG_OFF_PAYLOAD_LENGTH);
        if (t != lastTime)
            addEntry(t, pos);
        ++n;
        if (pos >= threshold) {
            threshold += ((pos - threshold) / step + 1) * step;
            emit valueChanged(int(pos >> shift));
            serveEvents();
        } else if ((n & 1023) == 0 && slice.elapsed() >= kEventSliceMs) {
            serveEvents();
        }
        pos += kHeaderSize + payload;
        lastTime = t;
    }

    settleEntries();
    m_recordCount += int(std::min<qint64>(n, INT_MAX - qint64(m_recordCount)));
    file.close();
    writeIndex();
}

// --- Functions on any log file ----------------------------------------------

QString CLog::indexFilePath(const QString &logPath)
{
    const QFileInfo info(logPath);
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)
           + QDir::separator() + QCoreApplication::applicationName() + QDir::separator()
           + info.baseName() + QLatin1Char('-') + info.completeSuffix()
           + QLatin1String(".index");
}

bool CLog::isRecordStart(qint64 offset, const QString &path)
{
    QFile file(path);
    if (offset < 0 || !file.open(QIODevice::ReadOnly) || !file.seek(offset))
        return false;
    char bytes[4];
    return file.read(bytes, 4) == 4 && isMagic(bytes);
}

QDateTime CLog::recordDate(qint64 offset, const QString &path)
{
    QFile file(path);
    if (offset < 0 || !file.open(QIODevice::ReadOnly) || !file.seek(offset + 4))
        return QDateTime();
    char bytes[4];
    if (file.read(bytes, 4) != 4)
        return QDateTime();
    return localFromSecs(le32(bytes));
}

QDateTime CLog::firstRecordDate(const QString &path)
{
    // A record start counts only with its whole header inside the file.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return QDateTime();
    const qint64 size = file.size();
    ChunkReader reader(file, 64 << 10, size);
    qint64 pos = 0;
    while (pos + kHeaderSize <= size) {
        qint64 available = 0;
        const char *p = reader.span(pos, kHeaderSize, &available);
        if (!p)
            return QDateTime();
        const qint64 candidates = available - kHeaderSize + 1;
        for (qint64 i = 0; i < candidates; ++i) {
            if (isMagic(p + i))
                return localFromSecs(le32(p + i + MLOG_OFF_TIME));
        }
        pos += candidates;
    }
    return QDateTime();
}

QDateTime CLog::lastRecordDate(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return QDateTime();
    const qint64 size = file.size();
    if (size < kHeaderSize)
        return QDateTime();
    // Backwards in pieces: the candidates of a piece are the offsets whose
    // header lies whole in it; pieces overlap by one header.
    constexpr qint64 piece = 64 << 10;
    QByteArray buffer;
    qint64 top = size - kHeaderSize; // highest candidate still to look at
    while (top >= 0) {
        const qint64 low = std::max<qint64>(0, top - piece + 1);
        const qint64 length = top - low + kHeaderSize;
        if (!file.seek(low))
            return QDateTime();
        buffer = file.read(length);
        if (buffer.size() != length)
            return QDateTime();
        for (qint64 i = top - low; i >= 0; --i) {
            const char *p = buffer.constData() + i;
            if (isMagic(p))
                return localFromSecs(le32(p + MLOG_OFF_TIME));
        }
        top = low - 1;
    }
    return QDateTime();
}
