// The log reader's state and the look-ups of single records in any log file;
// the reading of time blocks, the scan and the index file have files of
// their own (clogblocks.cpp, clogscan.cpp, clogindex.cpp).
#include "clog.h"

#include "logpath.h"
#include "recordwalk.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

using namespace recordwalk;

CLog::CLog(QObject *parent) : QObject(parent)
{
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

bool CLog::isIndexStale() const
{
    return m_indexStale;
}

void CLog::canselReadLog()
{
    m_cancelled = true;
}

// --- Functions on any log file ----------------------------------------------

bool CLog::canOpenLog(const QString &path)
{
    QFile file;
    return openRegular(file, path);
}

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
    QFile file;
    if (offset < 0 || !openRegular(file, path) || !file.seek(offset))
        return false;
    char bytes[4];
    return file.read(bytes, 4) == 4 && isMagic(bytes);
}

QDateTime CLog::recordDate(qint64 offset, const QString &path)
{
    QFile file;
    if (offset < 0 || !openRegular(file, path) || !file.seek(offset + 4))
        return QDateTime();
    char bytes[4];
    if (file.read(bytes, 4) != 4)
        return QDateTime();
    return localFromSecs(le32(bytes));
}

QDateTime CLog::firstRecordDate(const QString &path)
{
    // A record start counts only with its whole header inside the file.
    QFile file;
    if (!openRegular(file, path))
        return QDateTime();
    // A file of garbage is not read whole: the panel asks on the GUI thread.
    const qint64 size = std::min(file.size(), kEndLookBytes + kHeaderSize - 1);
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
    QFile file;
    if (!openRegular(file, path))
        return QDateTime();
    const qint64 size = file.size();
    if (size < kHeaderSize)
        return QDateTime();
    // Backwards in pieces: the candidates of a piece are the offsets whose
    // header lies whole in it; pieces overlap by one header.
    constexpr qint64 piece = 64 << 10;
    QByteArray buffer;
    qint64 top = size - kHeaderSize; // highest candidate still to look at
    // A long garbage tail is not read whole: the panel asks on the GUI thread.
    const qint64 lowest = std::max<qint64>(0, size - kEndLookBytes - kHeaderSize + 1);
    while (top >= lowest) {
        const qint64 low = std::max<qint64>(lowest, top - piece + 1);
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
