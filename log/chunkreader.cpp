#include "chunkreader.h"

#include <QFile>

#include <algorithm>
#include <cstring>

#include <unistd.h>

ChunkReader::ChunkReader(QFile &file, qint64 chunk, qint64 limit)
    : m_file(file), m_chunk(std::max<qint64>(chunk, 4096)), m_limit(limit)
{
}

const char *ChunkReader::slowSpan(qint64 pos, qint64 need, qint64 *available)
{
    if (pos < 0 || need < 0 || need > m_limit - pos)
        return nullptr;
    const bool inside = pos >= m_bufStart && pos + need <= m_bufStart + m_bufLen;
    if (!inside && !fill(pos, need))
        return nullptr;
    const qint64 at = pos - m_bufStart;
    if (available)
        *available = std::min(m_bufLen - at, m_limit - pos);
    return m_buf.get() + at;
}

bool ChunkReader::fill(qint64 pos, qint64 need)
{
    // Keep what is already buffered from `pos` on; only the tail beyond it
    // is read, so a record straddling two reads costs one small memmove.
    if (pos >= m_bufStart && pos < m_bufStart + m_bufLen) {
        const qint64 keep = m_bufStart + m_bufLen - pos;
        std::memmove(m_buf.get(), m_buf.get() + (pos - m_bufStart), size_t(keep));
        m_bufLen = keep;
    } else {
        m_bufLen = 0;
    }
    m_bufStart = pos;

    // No larger than what the limit leaves: a small file gets a small buffer.
    const qint64 capacity = std::max(std::min(m_chunk, m_limit - pos), need);
    if (m_bufSize < capacity) {
        std::unique_ptr<char[]> grown(new char[size_t(capacity)]);
        if (m_bufLen > 0)
            std::memcpy(grown.get(), m_buf.get(), size_t(m_bufLen));
        m_buf.swap(grown);
        m_bufSize = capacity;
    }

    while (m_bufLen < need) {
        const qint64 from = m_bufStart + m_bufLen;
        if (m_filePos != from) {
            if (!m_file.seek(from)) {
                m_filePos = -1;
                return false;
            }
            m_filePos = from;
        }
        const qint64 want = std::min(capacity - m_bufLen, m_limit - from);
        if (want <= 0)
            return false;
        const qint64 got = m_file.read(m_buf.get() + m_bufLen, want);
        ++m_reads;
        if (got <= 0) {
            m_filePos = -1;
            return false;
        }
        m_bufLen += got;
        m_filePos += got;
    }
    return true;
}

bool ChunkReader::peek(qint64 pos, char *out, qint64 n)
{
    if (pos < 0 || n < 0 || n > m_limit - pos)
        return false;
    if (pos >= m_bufStart && pos + n <= m_bufStart + m_bufLen) {
        std::memcpy(out, m_buf.get() + (pos - m_bufStart), size_t(n));
        return true;
    }
    // pread leaves the file position, and so the window, where it is.
    const int fd = m_file.handle();
    return fd >= 0 && ::pread(fd, out, size_t(n), off_t(pos)) == n;
}
