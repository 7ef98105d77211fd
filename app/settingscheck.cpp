#include "settingscheck.h"

#include "settingsaccess.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSettings>
#include <QTextCodec>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include <sys/stat.h>

#include <unistd.h>

namespace {

// A settings file of more than this is nobody's: QSettings would hold all
// of it in memory, several times over.
constexpr qint64 kMaxFileSize = 16 << 20;
// Lists and maps inside one value nest no deeper than this.
constexpr int kMaxDepth = 16;

// QSettings' reading of an INI file, step by step as Qt 5 does it, so that
// the check sees exactly the values QSettings will parse.

enum : uchar { Space = 1, Special = 2 };

uchar traits(char c)
{
    switch (c) {
    case '\t':
    case ' ':
        return Space;
    case '\n':
    case '\r':
        return Space | Special;
    case '"':
    case ';':
    case '=':
    case '\\':
        return Special;
    default:
        return 0;
    }
}

// One logical line from `pos` on: a line may go on past a line break inside
// quotes or after a backslash, and ends before an unquoted ';'. Comment
// lines are skipped. False at the end of the data.
bool readLine(const QByteArray &data, int &pos, int &lineStart, int &lineLen, int &equalsPos)
{
    const int dataLen = data.size();
    bool inQuotes = false;
    equalsPos = -1;
    lineStart = pos;
    while (lineStart < dataLen && (traits(data.at(lineStart)) & Space))
        ++lineStart;
    int i = lineStart;
    while (i < dataLen) {
        char ch = data.at(i);
        while (!(traits(ch) & Special)) {
            if (++i == dataLen)
                goto done;
            ch = data.at(i);
        }
        ++i;
        if (ch == '=') {
            if (!inQuotes && equalsPos == -1)
                equalsPos = i - 1;
        } else if (ch == '\n' || ch == '\r') {
            if (i == lineStart + 1) {
                ++lineStart;
            } else if (!inQuotes) {
                --i;
                goto done;
            }
        } else if (ch == '\\') {
            if (i < dataLen) {
                const char escaped = data.at(i++);
                if (i < dataLen) {
                    const char next = data.at(i);
                    if ((escaped == '\n' && next == '\r') || (escaped == '\r' && next == '\n'))
                        ++i;
                }
            }
        } else if (ch == '"') {
            inQuotes = !inQuotes;
        } else { // ';'
            if (i == lineStart + 1) {
                while (i < dataLen && data.at(i) != '\n' && data.at(i) != '\r')
                    ++i;
                while (i < dataLen && (traits(data.at(i)) & Space))
                    ++i;
                lineStart = i;
            } else if (!inQuotes) {
                --i;
                goto done;
            }
        }
    }
done:
    pos = i;
    lineLen = i - lineStart;
    return lineLen > 0;
}

void chopTrailingSpaces(QString &s, int limit)
{
    int n = s.size();
    while (n > limit && (s.at(n - 1) == QLatin1Char(' ') || s.at(n - 1) == QLatin1Char('\t')))
        --n;
    s.truncate(n);
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The value's text without quotes and escapes: one string, or the strings
// of an unquoted comma-separated list. Trailing blanks of a part are cut
// unless it was quoted or the value ends inside an escape.
QStringList unescapedValue(const QByteArray &data, int from, int to, QTextCodec *codec)
{
    static const char escapes[][2] = {{'a', '\a'}, {'b', '\b'}, {'f', '\f'}, {'n', '\n'}, {'r', '\r'}, {'t', '\t'},
                                      {'v', '\v'}, {'"', '"'},  {'?', '?'},  {'\'', '\''}, {'\\', '\\'}};
    QStringList list;
    bool isList = false;
    bool inQuotes = false;
    bool quoted = false;
    bool endsInEscape = false;
    QString s;
    int i = from;
    const auto skipSpaces = [&] {
        while (i < to && (data.at(i) == ' ' || data.at(i) == '\t'))
            ++i;
    };
    skipSpaces();
    int chopLimit = 0;
    while (i < to && !endsInEscape) {
        const char c = data.at(i);
        if (c == '\\') {
            ++i;
            if (i >= to) {
                endsInEscape = true;
                break;
            }
            const char ch = data.at(i++);
            bool simple = false;
            for (const auto &escape : escapes) {
                if (ch == escape[0]) {
                    s += QLatin1Char(escape[1]);
                    simple = true;
                    break;
                }
            }
            if (!simple && (ch == 'x' || (ch >= '0' && ch <= '7'))) {
                const bool hex = ch == 'x';
                if (hex && i >= to) {
                    endsInEscape = true;
                    break;
                }
                if (!hex || hexValue(data.at(i)) >= 0) {
                    // Every digit that follows belongs to the escape.
                    uint value = hex ? 0 : uint(ch - '0');
                    while (i < to) {
                        const char d = data.at(i);
                        const int digit = hex ? hexValue(d) : (d >= '0' && d <= '7' ? d - '0' : -1);
                        if (digit < 0)
                            break;
                        value = (value << (hex ? 4 : 3)) + uint(digit);
                        ++i;
                    }
                    s += QChar(ushort(value & 0xffff));
                    if (i >= to)
                        endsInEscape = true;
                }
            } else if (!simple && (ch == '\n' || ch == '\r')) {
                if (i < to && (data.at(i) == '\n' || data.at(i) == '\r') && data.at(i) != ch)
                    ++i;
            }
            chopLimit = s.size();
        } else if (c == '"') {
            ++i;
            quoted = true;
            inQuotes = !inQuotes;
            if (!inQuotes) {
                skipSpaces();
                chopLimit = s.size();
            }
        } else if (c == ',' && !inQuotes) {
            if (!quoted)
                chopTrailingSpaces(s, chopLimit);
            isList = true;
            list.append(s);
            s.clear();
            quoted = false;
            ++i;
            skipSpaces();
            chopLimit = 0;
        } else {
            int j = i + 1;
            while (j < to && data.at(j) != '\\' && data.at(j) != '"' && data.at(j) != ',')
                ++j;
            if (codec)
                s += codec->toUnicode(data.constData() + i, j - i);
            else
                s += QString::fromLatin1(data.constData() + i, j - i);
            i = j;
        }
    }
    if (!endsInEscape && !quoted)
        chopTrailingSpaces(s, chopLimit);
    if (!isList)
        return {s};
    list.append(s);
    return list;
}

// The bytes of a value as QDataStream reads them (big-endian).
class Stream
{
public:
    Stream(const QByteArray &bytes, bool qt4)
        : m_bytes(bytes), m_qt4(qt4)
    {
    }
    bool qt4() const { return m_qt4; }
    qint64 left() const { return m_bytes.size() - m_pos; }
    int pos() const { return m_pos; }
    bool skip(qint64 n)
    {
        if (n < 0 || n > left())
            return false;
        m_pos += int(n);
        return true;
    }
    bool u32(quint32 *value)
    {
        if (left() < 4)
            return false;
        const auto *p = reinterpret_cast<const uchar *>(m_bytes.constData() + m_pos);
        *value = quint32(p[0]) << 24 | quint32(p[1]) << 16 | quint32(p[2]) << 8 | p[3];
        m_pos += 4;
        return true;
    }
    bool u8(quint8 *value)
    {
        if (left() < 1)
            return false;
        *value = quint8(m_bytes.at(m_pos++));
        return true;
    }
    // A QString: a byte count (even) or the null mark, then the bytes.
    bool string()
    {
        quint32 bytes = 0;
        if (!u32(&bytes))
            return false;
        return bytes == 0xffffffffu || (bytes % 2 == 0 && skip(bytes));
    }
    // A QByteArray: a byte count or the null mark, then the bytes.
    bool byteArray()
    {
        quint32 bytes = 0;
        if (!u32(&bytes))
            return false;
        return bytes == 0xffffffffu || skip(bytes);
    }
    // A count of items of at least `itemBytes` each that the bytes left hold.
    bool count(qint64 itemBytes, quint32 *n)
    {
        return u32(n) && qint64(*n) * itemBytes <= left();
    }

private:
    const QByteArray &m_bytes;
    int m_pos = 0;
    bool m_qt4;
};

// Reads one QVariant as QVariant::load does for the stream's version and
// tells whether it stays within its bytes: only types whose reading is
// bounded are taken (no images, no types of other libraries), and every
// count must be backed by the bytes that follow.
bool readVariant(Stream &in, int depth, QString *why)
{
    if (depth > kMaxDepth) {
        *why = QStringLiteral("values nested deeper than %1").arg(kMaxDepth);
        return false;
    }
    quint32 type = 0;
    if (!in.u32(&type))
        return false;
    quint8 isNull = 0;
    if (!in.qt4() && !in.u8(&isNull))
        return false;
    quint32 n = 0;
    switch (type) {
    case 0: // invalid; a Qt 4 stream holds a string after it
        return !in.qt4() || in.string();
    case 1: // bool
        return in.skip(1);
    case 2: // int
    case 3: // uint
    case 15: // QTime
        return in.skip(4);
    case 4: // qlonglong
    case 5: // qulonglong
    case 6: // double
    case 21: // QSize
    case 25: // QPoint
        return in.skip(8);
    case 7: // QChar
        return in.skip(2);
    case 10: // QString
        return in.string();
    case 12: // QByteArray
        return in.byteArray();
    case 14: // QDate
        return in.skip(in.qt4() ? 4 : 8);
    case 19: // QRect
        return in.skip(16);
    case 67: // QColor
        return in.skip(11);
    case 64: // QFont as the settings dialog stores it: family, point and
             // pixel size, style hint and strategy, charset, weight, bits
        return in.qt4() && in.string() && in.skip(8 + 4 + 5);
    case 16: { // QDateTime of "@DateTime(...)": date, time, time zone kind (and offset)
        quint8 timeSpec = 0;
        if (in.qt4() || !in.skip(8 + 4) || !in.u8(&timeSpec))
            return false;
        return timeSpec <= 1 || (timeSpec == 2 && in.skip(4));
    }
    case 11: // QStringList
        if (!in.count(4, &n)) {
            *why = QStringLiteral("a list of %1 strings").arg(n);
            return false;
        }
        for (quint32 k = 0; k < n; ++k) {
            if (!in.string())
                return false;
        }
        return true;
    case 9: // QVariantList
        if (!in.count(4, &n)) {
            *why = QStringLiteral("a list of %1 values").arg(n);
            return false;
        }
        for (quint32 k = 0; k < n; ++k) {
            if (!readVariant(in, depth + 1, why))
                return false;
        }
        return true;
    case 8: // QVariantMap
    case 28: // QVariantHash
        if (!in.count(8, &n)) {
            *why = QStringLiteral("a map of %1 values").arg(n);
            return false;
        }
        for (quint32 k = 0; k < n; ++k) {
            if (!in.string() || !readVariant(in, depth + 1, why))
                return false;
        }
        return true;
    default:
        *why = QStringLiteral("a value of type %1").arg(type);
        return false;
    }
}

} // namespace

SettingsCheck::SettingsCheck(const QByteArray &content)
{
    if (content.size() > kMaxFileSize) {
        m_problem = QStringLiteral("larger than %1 bytes").arg(kMaxFileSize);
        return;
    }
    int pos = 0;
    QTextCodec *codec = nullptr;
    if (content.startsWith("\xef\xbb\xbf")) {
        codec = QTextCodec::codecForName("UTF-8");
        pos = 3;
    }
    int line = 1;
    int counted = 0;
    int lineStart = 0;
    int lineLen = 0;
    int equalsPos = -1;
    while (m_problem.isEmpty() && readLine(content, pos, lineStart, lineLen, equalsPos)) {
        line += int(std::count(content.constData() + counted, content.constData() + lineStart, '\n'));
        counted = lineStart;
        // Section headers and lines without a value hold nothing that is parsed.
        if (content.at(lineStart) == '[' || equalsPos < 0)
            continue;
        const QStringList parts = unescapedValue(content, equalsPos + 1, lineStart + lineLen, codec);
        for (const QString &part : parts) {
            if (!part.endsWith(QLatin1Char(')')))
                continue;
            const bool variant = part.startsWith(QLatin1String("@Variant("));
            if (!variant && !part.startsWith(QLatin1String("@DateTime(")))
                continue;
            // What QSettings hands to QDataStream: the rest of the text,
            // closing parenthesis included, as Latin-1.
            const QByteArray bytes = part.midRef(variant ? 9 : 10).toLatin1();
            Stream in(bytes, variant);
            QString why;
            if (!readVariant(in, 0, &why) || in.left() != 1) {
                m_problem = QStringLiteral("line %1: %2").arg(line).arg(why.isEmpty() ? QStringLiteral("a malformed value") : why);
                break;
            }
            ++m_streamed;
        }
    }
}

SettingsCheck SettingsCheck::ofFile(const QString &path)
{
    QFile file(path);
    if (!file.exists() || !file.open(QIODevice::ReadOnly))
        return SettingsCheck(QByteArray());
    if (file.size() > kMaxFileSize)
        return SettingsCheck(QByteArray(kMaxFileSize + 1, ' '));
    return SettingsCheck(file.read(kMaxFileSize + 1));
}

QString SettingsCheck::setAside(const QString &path)
{
    const QString base = path + QStringLiteral(".unreadable");
    for (int n = 1; n < 1000; ++n) {
        const QString target = n == 1 ? base : base + QLatin1Char('-') + QString::number(n);
        if (QFileInfo::exists(target) || QFileInfo(target).isSymLink())
            continue;
        // rename() would replace a file made meanwhile under that name; a
        // hard link never does, and leaves the content where it was when
        // the second step fails.
        const QByteArray from = QFile::encodeName(path);
        const QByteArray to = QFile::encodeName(target);
        if (::link(from.constData(), to.constData()) == 0) {
            if (::unlink(from.constData()) == 0)
                return target;
            ::unlink(to.constData());
            return QString();
        }
        if (errno != EEXIST) {
            // A file system without hard links: rename, which is atomic.
            if (!QFileInfo::exists(target) && ::rename(from.constData(), to.constData()) == 0)
                return target;
            return QString();
        }
    }
    return QString();
}

namespace {

// What identifies the state of a file: device, inode, size and times of
// change. Empty for a missing file.
QByteArray fileStamp(const QString &path)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return QByteArray();
    return QByteArray::number(quint64(st.st_dev)) + ' ' + QByteArray::number(quint64(st.st_ino)) + ' '
           + QByteArray::number(qint64(st.st_size)) + ' ' + QByteArray::number(qint64(st.st_mtim.tv_sec)) + '.'
           + QByteArray::number(qint64(st.st_mtim.tv_nsec)) + ' ' + QByteArray::number(qint64(st.st_ctim.tv_sec))
           + '.' + QByteArray::number(qint64(st.st_ctim.tv_nsec));
}

// The state of each settings file when it was last found safe.
QHash<QString, QByteArray> &checkedStamps()
{
    static QHash<QString, QByteArray> stamps;
    return stamps;
}

} // namespace

QList<SettingsCheck::SetAside> SettingsCheck::setAsideUnsafeSettings()
{
    return setAsideSettings(false);
}

QList<SettingsCheck::SetAside> SettingsCheck::setAsideChangedSettings()
{
    return setAsideSettings(true);
}

QList<SettingsCheck::SetAside> SettingsCheck::setAsideSettings(bool onlyChanged)
{
    // Naming the files reads none of their values.
    const QString organization = QCoreApplication::organizationName();
    const QStringList files = {
        QSettings(QSettings::NativeFormat, QSettings::UserScope, organization, QCoreApplication::applicationName())
            .fileName(),
        QSettings(QSettings::NativeFormat, QSettings::UserScope, organization).fileName()};
    QList<SetAside> setAside;
    for (const QString &file : files) {
        // A file this program wrote since is checked again too: another
        // writer may have added to it before.
        const QByteArray stamp = fileStamp(file);
        if (onlyChanged && checkedStamps().contains(file) && checkedStamps().value(file) == stamp)
            continue;
        const SettingsCheck check = ofFile(file);
        if (check.isSafe()) {
            checkedStamps().insert(file, stamp);
            continue;
        }
        checkedStamps().remove(file);
        setAside.append({file, SettingsCheck::setAside(file), check.problem()});
        if (setAside.last().movedTo.isEmpty()) {
            // Left where it is, it must not be read: this run keeps its
            // settings in a folder of its own.
            const QString folder = QDir::tempPath() + QStringLiteral("/vrelview-settings-")
                + QString::number(QCoreApplication::applicationPid());
            QDir().mkpath(folder);
            QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder);
        }
    }
    return setAside;
}

bool SettingsCheck::isSoundSplitterState(const QByteArray &state)
{
    // Magic, version, the list of sizes, children collapsible, handle
    // width, opaque resize, orientation.
    Stream in(state, false);
    quint32 marker = 0;
    quint32 version = 0;
    quint32 count = 0;
    if (!in.u32(&marker) || marker != 0xff || !in.u32(&version) || version > 1 || !in.count(4, &count)
        || count > 64)
        return false;
    for (quint32 i = 0; i < count; ++i) {
        // A splitter never shown stores -1 for its sizes.
        quint32 size = 0;
        if (!in.u32(&size) || std::abs(qint64(qint32(size))) > (1 << 20))
            return false;
    }
    quint8 flag = 0;
    quint32 handleWidth = 0;
    quint32 orientation = 0;
    return in.u8(&flag) && in.u32(&handleWidth) && (handleWidth == 0xffffffffu || handleWidth <= 1024)
        && in.u8(&flag) && in.u32(&orientation) && (orientation == 1 || orientation == 2);
}

bool SettingsCheck::boolValue(const QVariant &value, bool fallback)
{
    return settingsBool(value, fallback);
}

QString SettingsCheck::stringValue(const QVariant &value, const QString &fallback)
{
    return settingsString(value, fallback);
}
