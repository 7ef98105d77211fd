#include "resultbytes.h"

#include <algorithm>

#include "cmatcher.h"
#include "exportformat.h"
#include "filtermatch.h"
#include "utf8texts.h"

#include <cstring>

namespace {

inline bool isAsciiDigit(char c)
{
    return c >= '0' && c <= '9';
}

using utf8texts::isAscii;

enum class IdField { Found, Absent, NeedsDecoding };

// The user id of a text where userNameOf finds it (the first number of the
// first match of "\d+,\d+,\d+>"), read from the bytes: `id` gets its value,
// false in `fits` when it does not fit 32 bits (no name, as for userNameOf),
// `matchEnd` the offset after the match. The answer is the one userNameOf
// gives as long as every byte up to the end of that match is ASCII; a byte
// outside ASCII before it asks for the decoded text, since it may be a digit
// of another script.
//
// Two matches never overlap, so the leftmost one is the first to end: at
// the first '>' that follows three numbers joined by single commas.
IdField asciiUserId(const char *s, uint *id, bool *fits, int *matchEnd, int *idStart)
{
    for (const char *at = strchrnul(s, '>'); *at; at = strchrnul(at + 1, '>')) {
        const int close = int(at - s);
        int i = close;
        int start = 0;
        bool chain = true;
        for (int number = 0; number < 3 && chain; ++number) {
            const int digitsEnd = i;
            while (i > 0 && isAsciiDigit(s[i - 1]))
                --i;
            start = i;
            chain = i < digitsEnd && (number == 2 || (i > 0 && s[--i] == ','));
        }
        if (!chain)
            continue;
        if (!isAscii(s, close))
            return IdField::NeedsDecoding;
        quint64 value = 0;
        for (int k = start; isAsciiDigit(s[k]) && value <= 0xFFFFFFFFull; ++k)
            value = value * 10 + uint(s[k] - '0');
        *fits = value <= 0xFFFFFFFFull;
        *id = uint(value);
        *matchEnd = close + 1;
        *idStart = start;
        return IdField::Found;
    }
    return isAscii(s, int(std::strlen(s))) ? IdField::Absent : IdField::NeedsDecoding;
}

} // namespace

UserNameBytes::Name &UserNameBytes::nameOf(const char *text, bool ascii)
{
    // A text whose first '>' ends the same 16 bytes as that of a text seen
    // before, when those bytes held its id field whole with the byte before
    // it, has the same id: the chain of numbers that ends there is read from
    // those bytes alone. Only the bytes before need checking for ASCII.
    const char *const close = strchrnul(text, '>');
    const int closeAt = int(close - text);
    Field *field = nullptr;
    if (*close && closeAt >= kFieldBytes - 1) {
        quint64 low;
        quint64 high;
        std::memcpy(&low, close + 1 - kFieldBytes, 8);
        std::memcpy(&high, close + 9 - kFieldBytes, 8);
        if (m_fields.empty())
            m_fields.resize(size_t(1) << kFieldBits);
        const quint64 hash = (low * 0x9E3779B97F4A7C15ull) ^ (high * 0xC2B2AE3D27D4EB4Full);
        field = &m_fields[size_t(hash >> (64 - kFieldBits))];
        if (field->name && field->low == low && field->high == high && (ascii || isAscii(text, closeAt)))
            return *field->name;
        field->low = low;
        field->high = high;
        field->name = nullptr;
    }
    uint id = 0;
    bool fits = false;
    int end = 0;
    int idStart = 0;
    const IdField found = asciiUserId(text, &id, &fits, &end, &idStart);
    if (found == IdField::Found && fits) {
        Recent &recent = m_recent[(id * 2654435761u) >> 24];
        Name *name = recent.name && recent.id == id ? recent.name : nullptr;
        if (!name) {
            auto it = m_names.find(id);
            const bool missing = it == m_names.end();
            if (missing && m_names.size() >= kMostNames) {
                // Every pointer into the names goes with them.
                m_names.clear();
                std::fill(std::begin(m_recent), std::end(m_recent), Recent());
                std::fill(m_fields.begin(), m_fields.end(), Field());
                field = nullptr;
            }
            if (missing) {
                // The text up to its id field names the same user as the whole text.
                it = m_names.insert(id, Name());
                it->bytes = userNameOf(QString::fromLatin1(text, end)).toUtf8();
            }
            // QHash keeps its values in place when it grows.
            name = &*it;
            recent.id = id;
            recent.name = name;
        }
        if (field && end == closeAt + 1 && idStart >= 1 && idStart - 1 >= closeAt + 1 - kFieldBytes)
            field->name = name;
        return *name;
    }
    m_uncached.holdsNeedle = -1;
    if (found == IdField::NeedsDecoding)
        m_uncached.bytes = userNameOf(QString::fromUtf8(text)).toUtf8();
    else
        m_uncached.bytes.clear(); // no id, or one beyond 32 bits: no name
    return m_uncached;
}

int appendResultRows(const CMatcher &matcher, const QByteArray &texts, UserNameBytes &names, QByteArray *out,
                     MatchStop *stop, const std::function<bool()> &between)
{
    // Rows are written past the array's size, into room made as needed.
    // `size` is where the next row goes.
    int size = out->size();
    const int rows = forEachResultRow(matcher, texts, names, stop, between,
                                      [&](const QByteArray &name, std::string_view text) {
                                          const qsizetype bytes = name.size() + qsizetype(text.size()) + 2;
                                          if (out->capacity() - size < bytes) {
                                              out->resize(size);
                                              out->reserve(std::max<qsizetype>(size + bytes, 2 * out->capacity()));
                                          }
                                          char *w = out->data() + size;
                                          std::memcpy(w, name.constData(), size_t(name.size()));
                                          w += name.size();
                                          *w++ = '\t';
                                          std::memcpy(w, text.data(), text.size());
                                          w[text.size()] = '\n';
                                          size += int(bytes);
                                      });
    out->resize(size);
    return rows;
}

void appendMatchingTexts(const CMatcher &matcher, const QByteArray &texts, QByteArray *out, MatchStop *stop,
                         const std::function<bool()> &between)
{
    if (matcher.matchesEverything()) {
        if (stop)
            *stop = MatchStop();
        out->append(texts.constData(), texts.size());
        return;
    }
    forEachMatchingText(matcher, texts, stop, between, [out](const char *text, qsizetype length, bool) {
        out->append(text, int(length) + 1);
    });
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

RowTextProbe::RowTextProbe(const QString &needle, Qt::CaseSensitivity cs)
    : m_needle(needle.toUtf8())
    , m_ignoreCase(cs == Qt::CaseInsensitive)
{
    // A row is the user name, a tab and the text. A needle without a tab
    // lies inside one of the two; and in a text only where its own bytes
    // are, unless it holds the character that stands for undecodable bytes.
    // A NUL would reach across the texts of the buffer.
    m_decisive = !needle.isEmpty() && !needle.contains(QLatin1Char('\t')) && !needle.contains(QChar(0xFFFD))
                 && !needle.contains(QChar(0));
    if (m_ignoreCase) {
        // Ignoring case, the bytes of a text tell only for an ASCII needle,
        // and not for "k" and "s": the Kelvin sign and the long s fold to
        // them.
        for (const QChar c : needle) {
            const char16_t u = c.toLower().unicode();
            if (c.unicode() >= 0x80 || u == u'k' || u == u's')
                m_decisive = false;
        }
        m_needle = m_needle.toLower();
    }
}

bool RowTextProbe::holds(const QByteArray &bytes) const
{
    if (!m_ignoreCase)
        return memmem(bytes.constData(), size_t(bytes.size()), m_needle.constData(), size_t(m_needle.size()));
    // The needle is ASCII: its bytes meet only ASCII bytes, and lowering the
    // bytes of other characters cannot make them ASCII.
    return bytes.toLower().contains(m_needle);
}

bool RowTextProbe::mayContain(const QByteArray &texts)
{
    if (texts.isEmpty())
        return false;
    if (!m_decisive)
        return true;
    if (holds(texts))
        return true;
    const char *p = texts.constData();
    const char *const end = p + texts.size();
    while (p < end) {
        const int length = int(std::strlen(p));
        UserNameBytes::Name &name = m_names.nameOf(p);
        if (name.holdsNeedle < 0)
            name.holdsNeedle = !name.bytes.isEmpty() && (holds(name.bytes) || name.bytes.contains('\t'));
        if (name.holdsNeedle)
            return true;
        p += length + 1;
    }
    return false;
}
