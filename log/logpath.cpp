#include "logpath.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <dirent.h>
#include <sys/stat.h>

namespace {

constexpr ushort kEscapeBase = 0xDC00;

bool isEscape(QChar c)
{
    return c.unicode() >= 0xDC80 && c.unicode() <= 0xDCFF;
}

// True when path[i] stands for a byte: a low surrogate after a high one is
// half of a character instead.
bool isRawByteAt(const QString &path, int i)
{
    return isEscape(path.at(i)) && (i == 0 || !path.at(i - 1).isHighSurrogate());
}

// Length of the valid UTF-8 sequence at `p` (at most `n` bytes there), or 0.
int sequenceLength(const uchar *p, int n, uint *codePoint)
{
    const uchar b = p[0];
    int length = 0;
    uint cp = 0;
    uint least = 0;
    if (b < 0x80) {
        *codePoint = b;
        return 1;
    } else if (b >= 0xC2 && b <= 0xDF) {
        length = 2, cp = b & 0x1F, least = 0x80;
    } else if (b >= 0xE0 && b <= 0xEF) {
        length = 3, cp = b & 0x0F, least = 0x800;
    } else if (b >= 0xF0 && b <= 0xF4) {
        length = 4, cp = b & 0x07, least = 0x10000;
    } else {
        return 0;
    }
    if (length > n)
        return 0;
    for (int i = 1; i < length; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (p[i] & 0x3F);
    }
    if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    *codePoint = cp;
    return length;
}

} // namespace

namespace LogPath {

QString fromBytes(const QByteArray &bytes)
{
    QString path;
    path.reserve(bytes.size());
    const auto *p = reinterpret_cast<const uchar *>(bytes.constData());
    const int n = bytes.size();
    for (int i = 0; i < n;) {
        uint cp = 0;
        const int length = sequenceLength(p + i, n - i, &cp);
        if (length == 0) {
            path.append(QChar(ushort(kEscapeBase + p[i])));
            ++i;
            continue;
        }
        if (cp >= 0x10000) {
            path.append(QChar(QChar::highSurrogate(cp)));
            path.append(QChar(QChar::lowSurrogate(cp)));
        } else {
            path.append(QChar(ushort(cp)));
        }
        i += length;
    }
    return path;
}

QByteArray toBytes(const QString &path)
{
    if (!hasRawBytes(path))
        return QFile::encodeName(path);
    QByteArray bytes;
    int run = 0; // start of the characters not yet encoded
    for (int i = 0; i < path.size(); ++i) {
        if (!isRawByteAt(path, i))
            continue;
        bytes += path.mid(run, i - run).toUtf8();
        bytes += char(path.at(i).unicode() - kEscapeBase);
        run = i + 1;
    }
    bytes += path.mid(run).toUtf8();
    return bytes;
}

bool hasRawBytes(const QString &path)
{
    for (int i = 0; i < path.size(); ++i) {
        if (isRawByteAt(path, i))
            return true;
    }
    return false;
}

QString readable(const QString &path)
{
    if (!hasRawBytes(path))
        return path;
    QString text = path;
    for (int i = 0; i < text.size(); ++i) {
        if (isRawByteAt(path, i))
            text[i] = QChar(QChar::ReplacementCharacter);
    }
    return text;
}

bool sameFile(const QString &a, const QString &b)
{
    if (hasRawBytes(a) || hasRawBytes(b))
        return QDir::cleanPath(a) == QDir::cleanPath(b);
    return QFileInfo(a) == QFileInfo(b);
}

qint64 regularFileSize(const QString &path)
{
    struct stat st;
    const QByteArray name = toBytes(path);
    if (name.isEmpty() || ::stat(name.constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return -1;
    return qint64(st.st_size);
}

QStringList rawByteEntries(const QString &dir, const QString &suffix)
{
    QStringList paths;
    DIR *folder = ::opendir(toBytes(dir).constData());
    if (!folder)
        return paths;
    const QString prefix = dir.endsWith(QLatin1Char('/')) ? dir : dir + QLatin1Char('/');
    while (const dirent *entry = ::readdir(folder)) {
        if (entry->d_name[0] == '.')
            continue;
        const QString name = fromBytes(QByteArray(entry->d_name));
        if (hasRawBytes(name) && name.endsWith(suffix, Qt::CaseInsensitive))
            paths.append(prefix + name);
    }
    ::closedir(folder);
    return paths;
}

QStringList arguments(const QStringList &decoded, int argc, const char *const *argv)
{
    if (decoded.size() != argc)
        return decoded;
    QStringList result = decoded;
    for (int i = 0; i < argc; ++i) {
        const QByteArray bytes(argv[i]);
        if (QFile::encodeName(decoded.at(i)) != bytes)
            result[i] = fromBytes(bytes);
    }
    return result;
}

// A file dialog given a folder that does not exist starts in its parent
// with the missing name typed in as the file's name.
QString nearestFolder(const QString &path)
{
    if (path.isEmpty())
        return QDir::homePath();
    QString folder = QDir::cleanPath(QDir(path).absolutePath());
    while (!QFileInfo(folder).isDir()) {
        const QString up = QFileInfo(folder).path();
        if (up == folder)
            return QDir::homePath();
        folder = up;
    }
    return folder;
}

} // namespace LogPath
