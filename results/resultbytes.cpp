#include "resultbytes.h"

#include "cmatcher.h"
#include "filtermatch.h"

#include <cstring>

namespace {

inline bool isAsciiDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isAscii(const char *s, int n)
{
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        quint64 word;
        std::memcpy(&word, s + i, 8);
        if (word & 0x8080808080808080ull)
            return false;
    }
    for (; i < n; ++i) {
        if (uchar(s[i]) >= 0x80)
            return false;
    }
    return true;
}

enum class IdField { Found, Absent, NeedsDecoding };

// Where userNameOf finds the user id in a text (the first match of
// "\d+,\d+,\d+>", its first number), read from the bytes. The answer is the
// one userNameOf gives as long as every byte up to the end of that match is
// ASCII; the first byte outside ASCII met before asks for the decoded text,
// since it may be a digit of another script.
IdField asciiUserIdField(const char *s, int n, int *fieldStart, int *fieldLength, int *matchEnd)
{
    for (int start = 0; start < n; ++start) {
        if (uchar(s[start]) >= 0x80)
            return IdField::NeedsDecoding;
        if (!isAsciiDigit(s[start]) || (start > 0 && isAsciiDigit(s[start - 1])))
            continue;
        int pos = start;
        int firstComma = -1;
        bool ok = true;
        for (int field = 0; field < 3 && ok; ++field) {
            const int digits = pos;
            while (pos < n && isAsciiDigit(s[pos]))
                ++pos;
            if (pos < n && uchar(s[pos]) >= 0x80)
                return IdField::NeedsDecoding;
            const char want = field < 2 ? ',' : '>';
            if (pos == digits || pos >= n || s[pos] != want) {
                ok = false;
                break;
            }
            if (field == 0)
                firstComma = pos;
            ++pos;
        }
        if (ok) {
            *fieldStart = start;
            *fieldLength = firstComma - start;
            *matchEnd = pos;
            return IdField::Found;
        }
    }
    return IdField::Absent;
}

} // namespace

QByteArray UserNameBytes::nameOf(const char *text, int length)
{
    int start = 0;
    int digits = 0;
    int end = 0;
    switch (asciiUserIdField(text, length, &start, &digits, &end)) {
    case IdField::Absent:
        return QByteArray();
    case IdField::NeedsDecoding:
        return userNameOf(QString::fromUtf8(text, length)).toUtf8();
    case IdField::Found:
        break;
    }
    bool ok = false;
    const uint id = QByteArray::fromRawData(text + start, digits).toUInt(&ok, 10);
    if (!ok)
        return QByteArray(); // as userNameOf: an id beyond 32 bits has no name
    auto it = m_names.constFind(id);
    if (it != m_names.constEnd())
        return *it;
    // The text up to its id field names the same user as the whole text.
    const QByteArray name = userNameOf(QString::fromLatin1(text, end)).toUtf8();
    m_names.insert(id, name);
    return name;
}

int appendResultRows(const CMatcher &matcher, const QByteArray &texts, UserNameBytes &names, QByteArray *out)
{
    const bool everything = matcher.matchesEverything();
    const char *p = texts.constData();
    const char *const end = p + texts.size();
    int rows = 0;
    for (int length = 0; p < end; p += length + 1) {
        length = int(std::strlen(p));
        QString decoded;
        if (!everything) {
            decoded = QString::fromUtf8(p, length);
            if (!matcher.matches(decoded))
                continue;
        }
        out->append(names.nameOf(p, length));
        out->append('\t');
        // An ASCII text is its own UTF-8 encoding; any other goes through
        // the QString the view shows, so that bytes the decoder replaces are
        // written as it replaces them.
        if (isAscii(p, length)) {
            out->append(p, length);
        } else {
            if (everything)
                decoded = QString::fromUtf8(p, length);
            out->append(decoded.toUtf8());
        }
        out->append('\n');
        ++rows;
    }
    return rows;
}

QStringList decodeTexts(const QByteArray &texts)
{
    QStringList decoded;
    const char *p = texts.constData();
    const char *const end = p + texts.size();
    while (p < end) {
        const int length = int(std::strlen(p));
        decoded.append(QString::fromUtf8(p, length));
        p += length + 1;
    }
    return decoded;
}

RowTextProbe::RowTextProbe(const QString &needle)
    : m_needle(needle.toUtf8())
{
    // A row is the user name, a tab and the text. A needle without a tab
    // lies inside one of the two; and in a text only where its own bytes
    // are, unless it holds the character that stands for undecodable bytes.
    // A NUL would reach across the texts of the buffer.
    m_decisive = !needle.isEmpty() && !needle.contains(QLatin1Char('\t')) && !needle.contains(QChar(0xFFFD))
                 && !needle.contains(QChar(0));
}

bool RowTextProbe::mayContain(const QByteArray &texts)
{
    if (texts.isEmpty())
        return false;
    if (!m_decisive)
        return true;
    if (memmem(texts.constData(), size_t(texts.size()), m_needle.constData(), size_t(m_needle.size())))
        return true;
    const char *p = texts.constData();
    const char *const end = p + texts.size();
    while (p < end) {
        const int length = int(std::strlen(p));
        const QByteArray name = m_names.nameOf(p, length);
        if (!name.isEmpty() && (name.contains(m_needle) || name.contains('\t')))
            return true;
        p += length + 1;
    }
    return false;
}
