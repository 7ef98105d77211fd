// Result rows made straight from the UTF-8 record texts of a time block
// (CLog::forEachBlockUtf8), for the operations that go through every record
// of a result: find and save. A text is decoded only where the filter or a
// byte outside ASCII needs it; the bytes made are those of the result row
// as a QString (filterRows), encoded as UTF-8.
#ifndef RESULTBYTES_H
#define RESULTBYTES_H

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

#include "filtermatch.h"

class CMatcher;

// The user database for the walks of one run: the name of each id as
// getpwuid_r gives it. An id the database does not know is remembered as
// such for the object's life. Once many ids are unknown, and every source
// of the database lists all it knows (usersListedWhole), the database is
// listed once and asked no more: millions of unknown ids then cost no
// lookup each.
class UserDirectory
{
public:
    // The name of `uid` in UTF-8 (as QString::fromLocal8Bit of the entry's
    // name makes it); a null array when the database does not know it.
    QByteArray nameOf(uint uid);
    // Unknown ids looked up one by one before the database is listed.
    static constexpr int kMissesBeforeListing = 64;
    // A listing of more users than this is not kept.
    static constexpr int kMostListed = 1 << 20;

private:
    bool list();

    enum class Listing { NotYet, Whole, Unusable };
    Listing m_listing = Listing::NotYet;
    int m_misses = 0;
    struct Listed
    {
        uint uid;
        QByteArray name;
    };
    std::vector<Listed> m_listed; // by id, the first entry of each
};

// Whether a listing of the user database (getpwent) holds every user a
// lookup by id finds, as far as the sources named for it in
// `nsswitchConf` ("files", "systemd") and, for "systemd", the services in
// the folder `userdbServices` tell.
bool usersListedWhole(const QByteArray &nsswitchConf, const QStringList &userdbServices);
// Whether a lookup of `uid` may find a user that no listing shows: systemd
// makes up users of its range for foreign ids when asked for one.
bool madeUpOnLookup(uint uid);

// User names of record texts, as userNameOf gives them, in UTF-8; looked up
// once per user id.
class UserNameBytes
{
public:
    struct Name
    {
        QByteArray bytes;
        qint8 holdsNeedle = -1; // a RowTextProbe's finding; -1 not known yet
    };
    // The user name of the NUL-terminated `text`; the reference is good
    // until the next call. `ascii`: the text is known to be ASCII.
    Name &nameOf(const char *text, bool ascii = false);

private:
    struct Recent
    {
        uint id = 0;
        Name *name = nullptr;
    };
    // The last bytes up to a text's id field, and the name they tell.
    struct Field
    {
        quint64 low = 0;
        quint64 high = 0;
        Name *name = nullptr;
    };
    static constexpr int kFieldBytes = 16;
    // Names kept at most: past that the cache starts anew, so that a log
    // of millions of distinct ids holds no more memory than a few.
    static constexpr int kMostNames = 1 << 16;
    static constexpr int kFieldBits = 12;
    QHash<uint, Name> m_names;
    UserDirectory m_directory;
    Name m_uncached;
    std::vector<Field> m_fields; // by a hash of the bytes; made when first needed
    Recent m_recent[256]; // ids looked up lately, by a hash of the id
};

// Appends the result row of every text of `texts` (UTF-8 texts, each
// followed by a NUL byte) that `matcher` accepts, as UTF-8 and followed by
// "\n", to `out`; returns the number of rows. With `stop`, it stops at the
// first text the matcher cannot decide (recorded in `stop`, as
// countMatches does); without it, such a text counts as no match.
// `between`, when given, is called after each text matched and ends the
// walk when it returns false.
int appendResultRows(const CMatcher &matcher, const QByteArray &texts, UserNameBytes &names, QByteArray *out,
                     MatchStop *stop = nullptr, const std::function<bool()> &between = {});

// Appends every text of `texts` that `matcher` accepts, with its NUL byte,
// to `out`, so that appendResultRows of an empty filter on `out` makes the
// rows appendResultRows of `matcher` would make of `texts`. `stop` and
// `between` as for appendResultRows.
void appendMatchingTexts(const CMatcher &matcher, const QByteArray &texts, QByteArray *out, MatchStop *stop = nullptr,
                         const std::function<bool()> &between = {});

// The texts of `texts` decoded, as CLog::readBlock gives them.
QStringList decodeTexts(const QByteArray &texts);

// Tells the blocks whose result rows cannot contain a search text from
// those whose rows may, without decoding their texts.
class RowTextProbe
{
public:
    explicit RowTextProbe(const QString &needle, Qt::CaseSensitivity cs = Qt::CaseSensitive);
    // False only when no result row made of one of `texts` (as for
    // appendResultRows), whatever the filter, contains the needle (compared
    // as QString::contains does with the probe's case sensitivity).
    bool mayContain(const QByteArray &texts);

private:
    bool holds(const QByteArray &bytes) const;

    QByteArray m_needle; // the needle in UTF-8; in lower case when case is ignored
    bool m_decisive;     // false: bytes cannot rule rows out for this needle
    bool m_ignoreCase;   // the needle is ASCII and compared in either case
    UserNameBytes m_names;
};

#endif
