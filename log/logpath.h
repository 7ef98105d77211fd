// File names as QString without loss: Qt turns bytes of a file name that are
// not UTF-8 into replacement characters, after which the file cannot be
// found again. Here each such byte stands as one of U+DC80 to U+DCFF (a lone
// low surrogate, which valid UTF-8 never gives), and goes back to its byte.
#ifndef LOGPATH_H
#define LOGPATH_H

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace LogPath {

// The name `bytes` as a QString; valid UTF-8 decodes as usual.
QString fromBytes(const QByteArray &bytes);
// The bytes of `path` for the system calls: what fromBytes made it from,
// or what QFile::encodeName gives for a name without such bytes.
QByteArray toBytes(const QString &path);
// True when `path` holds bytes that are not UTF-8 (it came from fromBytes).
bool hasRawBytes(const QString &path);
// `path` for people: each byte that is not UTF-8 shown as U+FFFD.
QString readable(const QString &path);
// `a` and `b` name one file; names with such bytes only by equal text,
// since Qt's file functions would look them up without those bytes.
bool sameFile(const QString &a, const QString &b);
// Size of the regular file `path` (a link followed), or -1 when it is none.
qint64 regularFileSize(const QString &path);
// The paths of the entries of folder `dir` whose names are not UTF-8, end
// in `suffix` (in any case) and are not hidden: those Qt's listings skip.
QStringList rawByteEntries(const QString &dir, const QString &suffix);
// The folder `path` names, or the nearest one above it that exists (the
// home folder when none does): where a file dialog for `path` starts.
QString nearestFolder(const QString &path);
// The program's arguments `decoded` by Qt, each one whose bytes in `argv`
// that decoding lost taken by fromBytes instead (when argc counts them).
QStringList arguments(const QStringList &decoded, int argc, const char *const *argv);

} // namespace LogPath

#endif
