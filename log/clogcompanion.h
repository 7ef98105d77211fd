// The companion file beside an index file: what the viewer knows of a log
// beyond the index file's own format (which is kept plain for every other
// reader of it), in sections that are each tied to one index file's bytes.
//
// Layout (big-endian, as the index file):
//   quint32 magic "VRCX", quint16 version (2), quint16 0,
//   then sections to the end of the file, each:
//     quint32 type, quint64 length of the rest of the section,
//     qint64 index file size, qint64 indexTime (ms since 1970 UTC),
//     quint64 hash of the index file's bytes,
//     quint64 check: the IndexHash of the type, the three fields of the
//       index (as stored) and the payload, in that order,
//     payload.
// Sections of unknown types are passed over, so that later kinds can join
// without a new version. The sections come in ascending order of type.
// The check catches a section damaged anywhere (a wrong length hands it
// other bytes): a flipped bit in a summary would otherwise be a wrong skip,
// in the records of the last block a wrong count.
// Version 1 had no check; such a file is not read.
#ifndef CLOGCOMPANION_H
#define CLOGCOMPANION_H

#include <QByteArray>
#include <QFile>
#include <QMap>
#include <QString>

namespace companion {

// Section types. Numbers are never reused; 0 is none.
enum SectionType : quint32 {
    // The blocks holding earlier times than their key, the records counted
    // in the last block, and whether the blocks' times were ever checked.
    BlockTimes = 1,
    // What each block's records hold (blocksummary.h), for the blocks read
    // whole so far, each with its share of its group's path words (files
    // written before those hold summaries without: told by their length).
    BlockSummaries = 2,
    // The device and inode of the log the index was made from: logs of one
    // name in different folders share an index file, and one's index must
    // never be taken for the other's.
    LogFile = 3,
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
// when it is needed, and what it must hash to: fed the payload's bytes,
// `check` comes to `expected` for the payload as it was written.
struct SectionPlace
{
    qint64 at = -1;
    qint64 length = 0;
    IndexHash check; // already fed the section's type and tie
    quint64 expected = 0;
};

// What readSections found in a companion file.
struct Sections
{
    // The checked payloads of the sections tied to the index, by type.
    QMap<quint32, QByteArray> payloads;
    // The place of the deferred section tied to the index; at < 0: none.
    SectionPlace deferred;
    // A file is there but is no whole companion of this version (damaged,
    // cut short, of another version or kind): nothing of it is used, and
    // the index it was written with is not to be trusted either.
    bool unreadable = false;
};

// The sections of the companion file at `path` tied to `tie`, each checked;
// none when the file is missing or not a regular file, and none (but
// unreadable) when any section fails its check. The payload of the section
// of type `deferred` is not read: its place is given instead.
Sections readSections(const QString &path, const IndexTie &tie, quint32 deferred = 0);

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
