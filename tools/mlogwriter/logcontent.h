// The pieces of a generated log: a reproducible random source, the clock
// that spaces records in bursts and gaps, and the record contents.
#ifndef LOGCONTENT_H
#define LOGCONTENT_H

#include <QByteArray>
#include <QVector>
#include <QtGlobal>

namespace mlogwriter {

// xoshiro256**: fast, and the same sequence on every platform and library
// (std:: distributions are not), so a seed always gives the same log.
class Rng
{
public:
    explicit Rng(quint64 seed);
    quint64 next();
    quint32 below(quint32 n);    // 0 .. n-1 (0 for n == 0)
    double unit();               // [0, 1)
    bool chance(double p) { return unit() < p; }

private:
    quint64 s[4];
};

// Record times: seconds holding a burst of records, mostly one after the
// other, now and then separated by quiet gaps of seconds, minutes or hours.
class Clock
{
public:
    Clock(quint64 seed, double recordsPerSecond, quint32 start, bool startsWithGap);
    quint32 next();

    // Seconds from the first to the last of `records` records.
    static quint64 span(quint64 seed, double recordsPerSecond, qint64 records);

private:
    quint64 gap();
    qint64 burst();

    Rng rng;
    double rate;
    quint64 time;
    qint64 left = 0;
    bool started;
};

struct Subject
{
    quint32 pid, ppid, uid, gid, session;
    int user; // index into Content's users
};

struct User
{
    quint32 uid, gid;
    QByteArray name, home;
    int weight;
};

// Everything of a record but its time. Writes straight into a caller's
// buffer; a log of ten million records must not allocate per record.
class Content
{
public:
    explicit Content(quint64 seed);

    struct Header
    {
        quint32 subject[5];
        quint16 kind, event;
        quint32 status;
    };

    // Fills `header` and writes the payload to `out` (room for
    // maxPayload bytes); returns the payload length.
    int next(Header *header, char *out);

    // Share of refused records (default 0.15) and the rarity of the rare
    // user and events (see MlogGeneratorOptions::rare; default 0: none),
    // and the length of the rare user's sessions (rareSession).
    void setShares(double refusals, double rare, int rareSession = 0, double rarePath = 0.0);
    static constexpr quint32 rareUid = 4242;

    // Garbage bytes: never one of the magic's bytes unless `withMagic`, in
    // which case a whole magic value is put somewhere inside. Returns the
    // count written to `out` (room for maxGarbage bytes).
    int garbage(char *out, bool withMagic);

    static constexpr int maxPayload = 1024;
    static constexpr int maxGarbage = 96;

private:
    enum Style {
        None, Path, OpenPath, TwoPaths, Mode, Owner, Mount, Umount, Xattr, Exec,
        Signal, Trace, SetId, Groups, Caps, Child, Namespace, Login, Su, Sudo,
        Account, Policy, Module, Audit, TimeChange, Hostname, Firewall, Seccomp,
        Prctl
    };
    struct Event
    {
        quint16 kind, index;
        Style style;
    };

    void loadEvents();
    static Style styleOf(int kind, const QByteArray &name);
    const Subject &pickSubject();
    Subject newSubject();
    char *putPath(char *p, const Subject &s);
    char *putCommand(char *p, const Subject &s);
    char *putUserName(char *p);
    char *payload(char *p, Style style, const Subject &s, bool refused);

    Rng rng;
    QVector<User> users;
    int userWeightSum = 0;
    QVector<Subject> subjects;
    QVector<Event> eventsOfKind[4];
    quint32 nextPid = 1200;
    double refusalShare = 0.15;
    double rareShare = 0.0;
    int rareSession = 0;
    int rareLeft = 0; // records left of the rare user's session
    double rarePathShare = 0.0;
    int rarePathLeft = 0; // paths left of the rare file's session
};

} // namespace mlogwriter

#endif
