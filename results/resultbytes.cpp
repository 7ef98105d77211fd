#include "resultbytes.h"

#include <algorithm>

#include "cmatcher.h"
#include "exportformat.h"
#include "filtermatch.h"
#include "utf8texts.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <mutex>

#include <pwd.h>
#include <unistd.h>

namespace {

// Calls `call(entry, buffer, size, &result)` (getpwuid_r, getpwent_r) with
// a buffer that grows while it is too small; its return code.
template <typename Call>
int withBuffer(Call call, passwd *entry, passwd **result, std::vector<char> *buffer)
{
    if (buffer->empty()) {
        const long size = sysconf(_SC_GETPW_R_SIZE_MAX);
        buffer->resize(size_t(size < 1024 ? 1024 : size));
    }
    for (;;) {
        *result = nullptr;
        const int rc = call(entry, buffer->data(), buffer->size(), result);
        if (rc != ERANGE || buffer->size() >= (size_t(1) << 24))
            return rc;
        buffer->resize(buffer->size() * 4);
    }
}

// The name of a database entry as userNameOf shows it, in UTF-8.
QByteArray entryName(const passwd &entry)
{
    QByteArray name = QString::fromLocal8Bit(entry.pw_name).toUtf8();
    // An empty name still names a known user: not a null array.
    if (name.isNull())
        name = QByteArray("");
    return name;
}

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

bool madeUpOnLookup(uint uid)
{
    return uid >= 0x7FFE0000u && uid <= 0x7FFEFFFFu;
}

bool usersListedWhole(const QByteArray &nsswitchConf, const QStringList &userdbServices)
{
    // The first "passwd:" line names the sources, in order, with actions in
    // brackets between them.
    for (QByteArray line : nsswitchConf.split('\n')) {
        const int hash = line.indexOf('#');
        if (hash >= 0)
            line.truncate(hash);
        line = line.trimmed();
        if (!line.startsWith("passwd:"))
            continue;
        line = line.mid(7);
        bool any = false;
        int depth = 0;
        for (const QByteArray &word : line.simplified().split(' ')) {
            if (word.isEmpty())
                continue;
            // "[NOTFOUND=return]", also written with blanks inside.
            if (word.startsWith('[') || depth > 0) {
                depth += word.count('[') - word.count(']');
                continue;
            }
            any = true;
            if (word == "files")
                continue;
            if (word != "systemd")
                return false;
            // Of systemd's services, the ones that answer a listing too; a
            // service of containers' users (io.systemd.Machine) and any we
            // do not know may answer lookups only.
            static const QStringList listing = {
                QStringLiteral("io.systemd.DynamicUser"), QStringLiteral("io.systemd.Home"),
                QStringLiteral("io.systemd.Multiplexer"), QStringLiteral("io.systemd.NameServiceSwitch"),
                QStringLiteral("io.systemd.DropIn")};
            for (const QString &service : userdbServices) {
                if (!listing.contains(service))
                    return false;
            }
        }
        return any;
    }
    // Without the line the C library's own default applies, which may differ.
    return false;
}

QByteArray UserDirectory::nameOf(uint uid)
{
    if (m_listing == Listing::Whole && !madeUpOnLookup(uid)) {
        const auto it = std::lower_bound(m_listed.cbegin(), m_listed.cend(), uid,
                                         [](const Listed &l, uint id) { return l.uid < id; });
        return it != m_listed.cend() && it->uid == uid ? it->name : QByteArray();
    }
    static thread_local std::vector<char> buffer;
    passwd entry{};
    passwd *result = nullptr;
    const int rc = withBuffer([uid](passwd *e, char *b, size_t n, passwd **r) { return getpwuid_r(uid, e, b, n, r); },
                              &entry, &result, &buffer);
    if (rc == 0 && result)
        return entryName(*result);
    if (rc == 0 && ++m_misses >= kMissesBeforeListing && m_listing == Listing::NotYet)
        m_listing = list() ? Listing::Whole : Listing::Unusable;
    return QByteArray();
}

bool UserDirectory::list()
{
    QFile conf(QStringLiteral("/etc/nsswitch.conf"));
    if (!conf.open(QIODevice::ReadOnly))
        return false;
    const QByteArray text = conf.read(1 << 20);
    const QStringList services = QDir(QStringLiteral("/run/systemd/userdb")).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    if (!usersListedWhole(text, services))
        return false;
    // The listing walks one position shared by the whole process.
    static std::mutex listingMutex;
    const std::lock_guard<std::mutex> lock(listingMutex);
    std::vector<char> buffer;
    std::vector<Listed> listed;
    setpwent();
    bool whole = true;
    for (;;) {
        passwd entry{};
        passwd *result = nullptr;
        const int rc = withBuffer(
            [](passwd *e, char *b, size_t n, passwd **r) { return getpwent_r(e, b, n, r); }, &entry, &result,
            &buffer);
        if (rc == ENOENT || (rc == 0 && !result))
            break;
        // A source that failed half-way leaves the listing partial.
        if (rc != 0 || int(listed.size()) >= kMostListed) {
            whole = false;
            break;
        }
        listed.push_back(Listed{result->pw_uid, entryName(*result)});
    }
    endpwent();
    if (!whole)
        return false;
    // A lookup finds the first entry of an id.
    std::stable_sort(listed.begin(), listed.end(), [](const Listed &a, const Listed &b) { return a.uid < b.uid; });
    listed.erase(std::unique(listed.begin(), listed.end(), [](const Listed &a, const Listed &b) { return a.uid == b.uid; }),
                 listed.end());
    m_listed = std::move(listed);
    return true;
}

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
                // (The id read here is the one userNameOf reads from the text.)
                it->bytes = m_directory.nameOf(id);
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
