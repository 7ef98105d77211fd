// File names as QString without loss: Qt turns bytes of a file name that are
// not UTF-8 into replacement characters, after which the file cannot be
// found again. Here each such byte stands as one of U+DC80 to U+DCFF (a lone
// low surrogate, which valid UTF-8 never gives), and goes back to its byte.
#ifndef LOGPATH_H
#define LOGPATH_H

#include <QByteArray>
#include <QString>

namespace LogPath {

// The name `bytes` as a QString; valid UTF-8 decodes as usual.
QString fromBytes(const QByteArray &bytes);
// The bytes of `path` for the system calls: what fromBytes made it from,
// or what QFile::encodeName gives for a name without such bytes.
QByteArray toBytes(const QString &path);

} // namespace LogPath

#endif
