// The companion file beside an index file: what the viewer knows of a log
// beyond the index file's own format (which is kept plain for every other
// reader of it), in sections that are each tied to one index file's bytes.
//
// Layout (big-endian, as the index file):
//   quint32 magic "VRCX", quint16 version, quint16 0,
//   then sections to the end of the file, each:
//     quint32 type, quint64 length of the rest of the section,
//     qint64 index file size, qint64 indexTime (ms since 1970 UTC),
//     quint64 hash of the index file's bytes, payload.
// Sections of unknown types are passed over, so that later kinds can join
// without a new version.
#ifndef CLOGCOMPANION_H
#define CLOGCOMPANION_H

#include <QByteArray>
#include <QFile>
#include <QMap>
#include <QString>

namespace companion {

// Section types. Numbers are never reused.
enum SectionType : quint32 {
    // The blocks holding earlier times than their key, the records counted
    // in the last block, and whether the blocks' times were ever checked.
    BlockTimes = 1,
    // What each block's records hold (blocksummary.h), for the blocks read
    // whole so far.
    BlockSummaries = 2,
};

// What ties a section to one index file: a section whose tie differs from
// the index beside it belongs to another (an older or a foreign) index.
struct IndexTie
{
    qint64 size = -1;
    qint64 timeMs = 0;
    quint64 hash = 0;
    bool operator==(const IndexTie &o) const { return size == o.size && timeMs == o.timeMs && hash == o.hash; }
    bool operator!=(const IndexTie &o) const { return !(*this == o); }
};

// A fast 64-bit hash of a byte stream fed in pieces of any size; it tells
// one index file from another, it is no defence against an adversary.
class IndexHash
{
public:
    void add(const char *bytes, qint64 size);
    quint64 value() const;

private:
    void round(const char *bytes);

    quint64 m_lane[4] = {0x9E3779B185EBCA87ull, 0xC2B2AE3D27D4EB4Full, 0x165667B19E3779F9ull,
                         0x27D4EB2F165667C5ull};
    char m_tail[32] = {};
    int m_tailSize = 0;
    quint64 m_total = 0;
};

// Path of the companion file of the index file at `indexPath`.
QString pathFor(const QString &indexPath);

// Where a section's payload lies in its file, for a payload read only
// when it is needed.
struct SectionPlace
{
    qint64 at = -1;
    qint64 length = 0;
};

// The payloads of the sections of the companion file at `path` that are
// tied to `tie`, by type; empty when the file is missing, not a regular
// file, foreign, of another version or cut short. The payload of a section
// of type `deferred` is not read: its place goes to `place` instead.
QMap<quint32, QByteArray> readSections(const QString &path, const IndexTie &tie, quint32 deferred = 0,
                                       SectionPlace *place = nullptr);

// Replaces the companion file at `path` with `sections`, each tied to
// `tie`, whole or not at all; false when nothing was written (a link or a
// device in its place is left alone).
bool writeSections(const QString &path, const IndexTie &tie, const QMap<quint32, QByteArray> &sections);

// Removes the companion file at `path` when it is a regular file.
void remove(const QString &path);

// A cheap stamp of the file at `path` (device, inode, size, times); empty
// when it is not a regular file.
QByteArray fileStamp(const QString &path);
// The same stamp of an open file.
QByteArray fileStamp(const QFile &file);

} // namespace companion

#endif
