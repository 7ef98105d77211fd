#include "filtermatch.h"

#include "cmatcher.h"
#include "eventcatalogue.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QHash>

#include <cerrno>
#include <grp.h>
#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace {

enum Fragment {
    FragSuccess = 0,
    FragRefuse = 1,
    FragGroupPrefix = 6,
    FragUserPrefix = 7,
    FragEventPrefix = 8,
    FragUserId = 9
};

// Ends an event pattern so that "open" no longer matches "openat" or
// "open_by_handle_at": the name must not be followed by a word character.
// The name sits in a non-capturing group so that an alternation inside it
// stays behind the prefix and in front of the terminator.
const QString &eventOpen()
{
    static const QString s = QStringLiteral("(?:");
    return s;
}
const QString &eventClose()
{
    static const QString s = QStringLiteral(")(?!\\w)");
    return s;
}
// The terminator of the previous version: a blank or the end of the text.
const QString &blankEventClose()
{
    static const QString s = QStringLiteral(")(?!\\S)");
    return s;
}

// Calls a reentrant getpw*/getgr* function with a buffer that grows on ERANGE.
template<typename Entry, typename Lookup>
bool lookup(Lookup call, Entry *entry)
{
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    if (size < 1024)
        size = 1024;
    for (int attempt = 0; attempt < 8; ++attempt, size *= 4) {
        std::vector<char> buffer(static_cast<size_t>(size));
        Entry *result = nullptr;
        const int rc = call(entry, buffer.data(), buffer.size(), &result);
        if (rc == ERANGE)
            continue;
        if (rc != 0 || !result)
            return false;
        return true;
    }
    return false;
}

// The user name of `uid`, or a null string when the system does not know it.
QString userNameForId(uid_t uid)
{
    passwd entry{};
    QString name;
    const bool found = lookup<passwd>(
        [uid, &name](passwd *pw, char *buf, size_t len, passwd **res) {
            const int rc = getpwuid_r(uid, pw, buf, len, res);
            if (rc == 0 && *res)
                name = QString::fromLocal8Bit((*res)->pw_name);
            return rc;
        },
        &entry);
    return found ? name : QString();
}

bool userIdForName(const QString &nameText, uid_t *uid)
{
    const QByteArray encoded = nameText.toUtf8();
    passwd entry{};
    return lookup<passwd>(
        [&encoded, uid](passwd *pw, char *buf, size_t len, passwd **res) {
            const int rc = getpwnam_r(encoded.constData(), pw, buf, len, res);
            if (rc == 0 && *res)
                *uid = (*res)->pw_uid;
            return rc;
        },
        &entry);
}

QString groupNameForId(gid_t gid)
{
    group entry{};
    QString name;
    const bool found = lookup<group>(
        [gid, &name](group *gr, char *buf, size_t len, group **res) {
            const int rc = getgrgid_r(gid, gr, buf, len, res);
            if (rc == 0 && *res)
                name = QString::fromLocal8Bit((*res)->gr_name);
            return rc;
        },
        &entry);
    return found ? name : QString();
}

bool groupIdForName(const QString &nameText, gid_t *gid)
{
    const QByteArray encoded = nameText.toUtf8();
    group entry{};
    return lookup<group>(
        [&encoded, gid](group *gr, char *buf, size_t len, group **res) {
            const int rc = getgrnam_r(encoded.constData(), gr, buf, len, res);
            if (rc == 0 && *res)
                *gid = (*res)->gr_gid;
            return rc;
        },
        &entry);
}

// Shared by users and groups. Towards the display form both stored shapes
// are understood: the prefix followed by the id and a comma (what we write)
// and the prefix followed by the bare id (what older versions wrote).
QString idEntryToDisplay(const QString &entry, const QString &prefix,
                         QString (*nameForId)(uint))
{
    QString rest = entry;
    rest.remove(prefix);
    if (entry.startsWith(prefix) && rest.endsWith(QLatin1Char(',')))
        rest.chop(1);
    bool ok = false;
    const uint id = rest.toUInt(&ok, 10);
    if (ok) {
        const QString name = nameForId(id);
        if (!name.isNull())
            return name;
    }
    return rest;
}

// A number typed for a user or group of another machine: that id. Plain
// decimal digits only, so that free text such as "+1" or " 5" is left alone.
template <typename Id>
bool idForNumber(const QString &entry, Id *id)
{
    if (entry.isEmpty() || entry.size() > 10)
        return false;
    for (const QChar c : entry) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    bool ok = false;
    const uint value = entry.toUInt(&ok, 10);
    if (!ok)
        return false;
    *id = static_cast<Id>(value);
    return true;
}

QString userNameForUint(uint id)
{
    return userNameForId(static_cast<uid_t>(id));
}

QString groupNameForUint(uint id)
{
    return groupNameForId(static_cast<gid_t>(id));
}

QString replaceAll(QString entry, const QStringList &from, const QStringList &to, int first, int last)
{
    for (int i = first; i <= last; ++i)
        entry.replace(from.at(i), to.at(i));
    return entry;
}

QString eventToPattern(const QString &entry)
{
    const QString &prefix = fragments().at(FragEventPrefix);
    if (entry.startsWith(prefix))
        return entry;
    return prefix + eventOpen() + entry + eventClose();
}

QString eventToDisplay(const QString &entry)
{
    const QString &prefix = fragments().at(FragEventPrefix);
    const QString opened = prefix + eventOpen();
    for (const QString *close : {&eventClose(), &blankEventClose()}) {
        if (entry.startsWith(opened) && entry.endsWith(*close)
            && entry.size() >= opened.size() + close->size()) {
            return entry.mid(opened.size(), entry.size() - opened.size() - close->size());
        }
    }
    QString name = entry;
    name.remove(prefix);
    return name;
}

QList<QStringList> convert(const QList<QStringList> &lists, FormDirection direction)
{
    if (lists.size() < 6)
        return {};
    const bool toPattern = direction == FormDirection::ToPattern;
    const QStringList &from = toPattern ? statusLabels() : fragments();
    const QStringList &to = toPattern ? fragments() : statusLabels();

    QList<QStringList> result;
    result.reserve(6);

    QStringList status;
    for (const QString &entry : lists.at(0))
        status.append(replaceAll(entry, from, to, 0, 1));
    result.append(status);

    QStringList kinds;
    for (const QString &entry : lists.at(1))
        kinds.append(replaceAll(entry, from, to, 2, 5));
    result.append(kinds);

    QStringList events;
    for (const QString &entry : lists.at(2))
        events.append(toPattern ? eventToPattern(entry) : eventToDisplay(entry));
    result.append(events);

    QStringList groups;
    for (const QString &entry : lists.at(3))
        groups.append(groupToPattern(entry, direction));
    result.append(groups);

    QStringList users;
    for (const QString &entry : lists.at(4))
        users.append(userToPattern(entry, direction));
    result.append(users);

    result.append(lists.at(5));
    return result;
}

bool isRxDigit(QChar c)
{
    return c.category() == QChar::Number_DecimalDigit;
}

// The user id field of a record text: where "\d+,\d+,\d+>" first matches,
// up to the next comma. The leftmost match always begins at the start of a
// run of digits, and every step of the pattern is decided without
// backtracking because ',' and '>' are no digits.
QStringView userIdField(QStringView text)
{
    const qsizetype n = text.size();
    for (qsizetype start = 0; start < n; ++start) {
        if (!isRxDigit(text[start]) || (start > 0 && isRxDigit(text[start - 1])))
            continue;
        qsizetype pos = start;
        qsizetype firstComma = -1;
        bool ok = true;
        for (int field = 0; field < 3 && ok; ++field) {
            const qsizetype digits = pos;
            while (pos < n && isRxDigit(text[pos]))
                ++pos;
            if (pos == digits) {
                ok = false;
                break;
            }
            const QChar want = field < 2 ? QLatin1Char(',') : QLatin1Char('>');
            if (pos >= n || text[pos] != want) {
                ok = false;
                break;
            }
            if (field == 0)
                firstComma = pos;
            ++pos;
        }
        if (ok)
            return text.mid(start, firstComma - start);
    }
    return {};
}

struct CachedName
{
    QString name;
    QDeadlineTimer retry; // for ids the system did not know
};

} // namespace

const QStringList &fragments()
{
    static const QStringList table = {
        QStringLiteral(">\\s\\[s\\]"),
        QStringLiteral(">\\s\\[f\\]"),
        QStringLiteral("^\\[u\\]"),
        QStringLiteral("^\\[p\\]"),
        QStringLiteral("^\\[f\\]"),
        QStringLiteral("^\\[c\\]"),
        QStringLiteral("<\\d+,\\d+,\\d+,"),
        QStringLiteral("<\\d+,\\d+,"),
        QStringLiteral("\\[\\b(s|f)\\b\\]\\s"),
        QStringLiteral("\\d+,\\d+,\\d+>"),
    };
    return table;
}

const QStringList &statusLabels()
{
    static const QStringList labels = {
        QCoreApplication::translate("QObject", "success") + QStringLiteral(" [s]"),
        QCoreApplication::translate("QObject", "refuse") + QStringLiteral(" [f]"),
        QCoreApplication::translate("QObject", "user") + QStringLiteral(" [u]"),
        QCoreApplication::translate("QObject", "user process") + QStringLiteral(" [p]"),
        QCoreApplication::translate("QObject", "file") + QStringLiteral(" [f]"),
        QCoreApplication::translate("QObject", "custom") + QStringLiteral(" [c]"),
    };
    return labels;
}

QString statusLabel(int index)
{
    const QStringList &labels = statusLabels();
    return index >= 0 && index < labels.size() ? labels.at(index) : QString();
}

const QStringList &sourceLabels()
{
    // The event catalogue's captions of its categories: one list for both.
    return eventCategoryCaptions();
}

QList<QStringList> toPatternForm(const QList<QStringList> &lists)
{
    return convert(lists, FormDirection::ToPattern);
}

QList<QStringList> toDisplayForm(const QList<QStringList> &lists)
{
    return convert(lists, FormDirection::ToDisplay);
}

QString userToPattern(const QString &entry, FormDirection direction)
{
    const QString &prefix = fragments().at(FragUserPrefix);
    if (direction == FormDirection::ToDisplay)
        return idEntryToDisplay(entry, prefix, &userNameForUint);
    uid_t uid = 0;
    if (!userIdForName(entry, &uid) && !idForNumber(entry, &uid))
        return entry;
    // The comma ends the id, so that uid 1 does not also match 10 or 1000.
    return prefix + QString::number(uid) + QLatin1Char(',');
}

QString groupToPattern(const QString &entry, FormDirection direction)
{
    const QString &prefix = fragments().at(FragGroupPrefix);
    if (direction == FormDirection::ToDisplay)
        return idEntryToDisplay(entry, prefix, &groupNameForUint);
    gid_t gid = 0;
    if (!groupIdForName(entry, &gid) && !idForNumber(entry, &gid))
        return entry;
    return prefix + QString::number(gid) + QLatin1Char(',');
}

bool matches(const QList<QStringList> &lists, const QString &text)
{
    return CMatcher(lists).matches(text);
}

bool matches(const CMatcher &matcher, const QString &text)
{
    return matcher.matches(text);
}

namespace {

// Calls `take(i)` for each text i that matches, in order, up to the first
// undecided text when `stop` is given (then recorded in it); without `stop`
// an undecided text is passed over as no match.
template<typename Take>
void eachMatch(const CMatcher &matcher, const QStringList &texts, MatchStop *stop, Take take)
{
    if (stop) {
        walkMatches(matcher, texts, stop, take, [] { return true; });
        return;
    }
    for (int i = 0; i < texts.size(); ++i) {
        if (matcher.matches(texts.at(i)))
            take(i);
    }
}

} // namespace

int countMatches(const CMatcher &matcher, const QStringList &texts, MatchStop *stop)
{
    if (matcher.matchesEverything()) {
        if (stop)
            *stop = MatchStop();
        return texts.size();
    }
    int count = 0;
    eachMatch(matcher, texts, stop, [&count](int) { ++count; });
    return count;
}

int countMatches(const QList<QStringList> &lists, const QStringList &texts, MatchStop *stop)
{
    return countMatches(CMatcher(lists), texts, stop);
}

int countMatchesUtf8(const CMatcher &matcher, const QByteArray &texts, MatchStop *stop)
{
    int count = 0;
    const char *p = texts.constData();
    const char *const end = p + texts.size();
    if (matcher.matchesEverything()) {
        if (stop)
            *stop = MatchStop();
        for (; p < end; p += std::strlen(p) + 1)
            ++count;
        return count;
    }
    if (stop) {
        walkMatchesUtf8(matcher, texts, stop, [&count](int, const char *, qsizetype) { ++count; }, [] { return true; });
        return count;
    }
    while (p < end) {
        qsizetype length = 0;
        if (matcher.verdictUtf8Text(p, end, &length) == CMatcher::Verdict::Match)
            ++count;
        p += length + 1;
    }
    return count;
}

QStringList filterRows(const CMatcher &matcher, const QStringList &texts, MatchStop *stop)
{
    QStringList rows;
    eachMatch(matcher, texts, stop, [&](int i) {
        const QString &text = texts.at(i);
        rows.append(userNameOf(text) + QLatin1Char('\t') + text);
    });
    return rows;
}

QStringList filterRows(const QList<QStringList> &lists, const QStringList &texts, MatchStop *stop)
{
    return filterRows(CMatcher(lists), texts, stop);
}

QString userNameOf(const QString &text)
{
    const QStringView field = userIdField(text);
    if (field.isEmpty())
        return QString();
    bool ok = false;
    const uint id = field.toString().toUInt(&ok, 10);
    if (!ok)
        return QString();

    // Unknown ids are remembered for a few seconds only: a page of rows of a
    // deleted user would otherwise read the user database once per row, and
    // a user created meanwhile still shows up soon. The cache starts anew
    // when full, so that scrolling through millions of ids holds no more
    // than a few thousand names.
    static QHash<uint, CachedName> cache;
    auto it = cache.find(id);
    if (it != cache.end() && (!it->name.isEmpty() || !it->retry.hasExpired()))
        return it->name;
    constexpr int kMostNames = 4096;
    if (it == cache.end() && cache.size() >= kMostNames)
        cache.clear();
    const QString name = userNameForId(static_cast<uid_t>(id));
    CachedName &slot = cache[id];
    slot.name = name.isNull() ? QString() : name;
    slot.retry = QDeadlineTimer(5000);
    return slot.name;
}
