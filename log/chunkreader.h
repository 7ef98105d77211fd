// A forward window over a file that is filled with large read() calls, so
// that records can be parsed in place without a memory map (a map of a log
// that is truncated while we read it would fault).
#ifndef CHUNKREADER_H
#define CHUNKREADER_H

#include <QtGlobal>

#include <algorithm>
#include <limits>
#include <memory>

class QFile;

class ChunkReader
{
public:
    // `chunk`: bytes asked of the file per read; `limit`: offset past which
    // the file is treated as ended.
    ChunkReader(QFile &file, qint64 chunk,
                qint64 limit = std::numeric_limits<qint64>::max());

    // Pointer to at least `need` bytes at offset `pos`, or nullptr when the
    // file's data (or the limit) ends first. `available` gets the number of
    // bytes readable at the pointer, which may exceed `need`.
    const char *span(qint64 pos, qint64 need, qint64 *available = nullptr)
    {
        // The fast path stays inline: a scan asks for every record's header.
        if (pos >= m_bufStart && need >= 0 && pos + need <= m_bufStart + m_bufLen
            && pos + need <= m_limit) {
            if (available)
                *available = std::min(m_bufStart + m_bufLen, m_limit) - pos;
            return m_buf.get() + (pos - m_bufStart);
        }
        return slowSpan(pos, need, available);
    }

    // Copies the `n` bytes at `pos` to `out` without moving the window;
    // false when the file (or the limit) ends first.
    bool peek(qint64 pos, char *out, qint64 n);

    // Offset past which the file is treated as ended.
    qint64 limit() const { return m_limit; }

    // Number of read() calls made so far; lets callers notice time passing.
    quint64 reads() const { return m_reads; }

private:
    const char *slowSpan(qint64 pos, qint64 need, qint64 *available);
    bool fill(qint64 pos, qint64 need);

    QFile &m_file;
    qint64 m_chunk;
    qint64 m_limit;
    std::unique_ptr<char[]> m_buf; // not zeroed: only bytes read are looked at
    qint64 m_bufSize = 0;
    qint64 m_bufStart = 0; // file offset of m_buf[0]
    qint64 m_bufLen = 0;   // valid bytes in m_buf
    qint64 m_filePos = -1; // where the file stands, -1 when unknown
    quint64 m_reads = 0;
};

#endif
