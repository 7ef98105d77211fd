#include "logcontent.h"

#include "mlog.h"

#include <QList>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <pwd.h>
#include <unistd.h>

namespace mlogwriter {

namespace {

quint64 splitMix(quint64 &x)
{
    quint64 z = (x += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

inline quint64 rotl(quint64 x, int k)
{
    return (x << k) | (x >> (64 - k));
}

inline char *put(char *p, const char *s)
{
    const size_t n = std::strlen(s);
    std::memcpy(p, s, n);
    return p + n;
}

inline char *put(char *p, const QByteArray &s)
{
    std::memcpy(p, s.constData(), size_t(s.size()));
    return p + s.size();
}

inline char *putNumber(char *p, quint64 v)
{
    char digits[20];
    int n = 0;
    do {
        digits[n++] = char('0' + v % 10);
        v /= 10;
    } while (v);
    while (n)
        *p++ = digits[--n];
    return p;
}

inline char *putHex(char *p, quint64 v, int digits)
{
    static const char hex[] = "0123456789abcdef";
    for (int i = digits - 1; i >= 0; --i)
        *p++ = hex[(v >> (4 * i)) & 15];
    return p;
}

template <typename T, size_t N>
constexpr quint32 countOf(const T (&)[N])
{
    return quint32(N);
}

const char *const systemPaths[] = {
    "/etc/passwd", "/etc/shadow", "/etc/sudoers", "/etc/ssh/sshd_config", "/etc/hosts",
    "/etc/resolv.conf", "/etc/marvok/policy.d/30-base.pol", "/etc/pam.d/common-auth",
    "/var/log/syslog", "/var/log/auth.log", "/var/lib/dpkg/status", "/usr/bin/passwd",
    "/usr/lib/x86_64-linux-gnu/libc.so.6", "/usr/share/zoneinfo/Europe/Berlin",
    "/run/systemd/journal/socket", "/dev/null", "/boot/vmlinuz-6.1.0-28-amd64",
    "/proc/sys/kernel/yama/ptrace_scope", "/sys/fs/cgroup/system.slice/ssh.service/cgroup.procs",
    "/srv/backup/db-2026-11-30.tar.gz", "/var/spool/cron/crontabs/root", "/etc/crontab",
};

const char *const homePaths[] = {
    ".bashrc", ".ssh/authorized_keys", ".ssh/id_ed25519", ".config/vrel/vrelview.conf",
    "Documents/report.txt", "Documents/budget 2026.ods", "Dokumente/Übersicht.odt",
    "Downloads/setup.sh", "src/linux/Makefile", ".cache/thumbnails/large/0a1b2c3d.png",
    "Bilder/Grüße aus Köln.jpg", "projects/vrel/build/CMakeCache.txt", ".local/share/recently-used.xbel",
    ".gnupg/pubring.kbx", "mail/inbox",
};

// Odd names a real file system holds: a tab or a line feed, Latin-1 bytes.
const char *const oddNames[] = {
    "notes\tdraft.txt", "two\nlines.txt", "caf\xe9-menu.txt", "r\xe9sum\xe9.pdf",
};

const char *const commands[] = {
    "/usr/bin/ssh -p 2222 admin@10.0.4.17", "/usr/bin/apt-get update",
    "/usr/bin/python3 /usr/lib/cnf-update-db",
    "/bin/bash -c tar czf /srv/backup/home.tar.gz /home", "/usr/sbin/sshd -D -R",
    "/usr/bin/grep -r password /etc", "/usr/bin/vim /etc/hosts",
    "/usr/bin/systemctl restart nginx.service", "/usr/bin/crontab -e",
    "/usr/lib/firefox-esr/firefox-esr --new-window https://intranet.example.org/",
    "/usr/bin/make -j8", "/usr/bin/gcc -O2 -c main.c -o main.o",
    "/usr/bin/rsync -a --delete /home/ backup:/srv/home/",
    "/usr/bin/curl -fsSL https://deb.example.org/key.gpg", "/usr/bin/ls --color=auto -la",
    "/usr/sbin/useradd -m -s /bin/bash guest", "/usr/bin/mount /dev/sdb1 /mnt",
};

const char *const commandNames[] = {
    "bash", "sshd", "sudo", "systemd", "cron", "python3", "firefox-esr", "make", "rsync", "vim",
};

const char *const signals[] = {"SIGTERM", "SIGKILL", "SIGHUP", "SIGUSR1", "SIGINT", "SIGSTOP"};
const char *const traceRequests[] = {"PTRACE_ATTACH", "PTRACE_SEIZE", "PTRACE_PEEKDATA", "PTRACE_POKEDATA"};
const char *const capabilities[] = {
    "cap_net_admin", "cap_sys_ptrace", "cap_sys_admin", "cap_dac_override", "cap_setuid",
    "cap_net_bind_service", "cap_chown", "cap_kill",
};
const char *const namespaces[] = {"net", "mnt", "pid", "user", "uts", "ipc", "cgroup"};
const char *const modules[] = {"nf_tables", "usb_storage", "vboxdrv", "overlay", "bluetooth", "wireguard"};
const char *const policies[] = {"10-default.pol", "30-base.pol", "50-sshd.pol", "70-usb.pol", "90-local.pol"};
const char *const loginMethods[] = {"publickey", "password", "keyboard-interactive"};
const char *const xattrs[] = {"security.marvok", "security.capability", "user.comment", "trusted.overlay.opaque"};

const char *pick(Rng &rng, const char *const *list, quint32 count)
{
    return list[rng.below(count)];
}

} // namespace

Rng::Rng(quint64 seed)
{
    quint64 x = seed;
    for (quint64 &word : s)
        word = splitMix(x);
}

quint64 Rng::next()
{
    const quint64 result = rotl(s[1] * 5, 7) * 9;
    const quint64 t = s[1] << 17;
    s[2] ^= s[0];
    s[3] ^= s[1];
    s[1] ^= s[2];
    s[0] ^= s[3];
    s[2] ^= t;
    s[3] = rotl(s[3], 45);
    return result;
}

quint32 Rng::below(quint32 n)
{
    return quint32(((next() >> 32) * quint64(n)) >> 32);
}

double Rng::unit()
{
    return double(next() >> 11) * (1.0 / 9007199254740992.0);
}

Clock::Clock(quint64 seed, double recordsPerSecond, quint32 start, bool startsWithGap)
    : rng(seed ^ 0x6A09E667F3BCC908ull),
      rate(recordsPerSecond > 0.001 ? recordsPerSecond : 0.001),
      time(start),
      started(startsWithGap)
{
}

quint32 Clock::next()
{
    if (left <= 0) {
        if (started)
            time += gap();
        started = true;
        left = burst();
    }
    --left;
    return time > 0xFFFFFFFFull ? 0xFFFFFFFFu : quint32(time);
}

quint64 Clock::span(quint64 seed, double recordsPerSecond, qint64 records)
{
    Clock clock(seed, recordsPerSecond, 0, false);
    for (qint64 i = 0; i < records; ++i)
        clock.next();
    return clock.time;
}

quint64 Clock::gap()
{
    // Most bursts run on into the next second; the rest end in a pause,
    // mostly short, sometimes minutes, now and then hours.
    quint64 g;
    if (rng.unit() < 0.85) {
        g = 1;
    } else {
        const double r = rng.unit();
        if (r < 0.80)
            g = 2 + rng.below(58);
        else if (r < 0.97)
            g = 60 + rng.below(1740);
        else
            g = 3600 + rng.below(3 * 3600);
    }
    if (rate < 1.0)
        g = quint64(double(g) / rate);
    return g ? g : 1;
}

qint64 Clock::burst()
{
    if (rate <= 1.0)
        return 1;
    // Exponential around the rate: many quiet seconds, a few busy ones.
    return 1 + qint64(-std::log(1.0 - rng.unit()) * (rate - 1.0));
}

Content::Content(quint64 seed)
    : rng(seed)
{
    QByteArray currentName = "user";
    QByteArray currentHome = "/home/user";
    if (const passwd *pw = getpwuid(getuid())) {
        currentName = QByteArray(pw->pw_name).left(64);
        currentHome = QByteArray(pw->pw_dir).left(200);
    }
    // Ids 0, 1, 65534 and the current user exist on any Linux machine; the
    // others are meant not to, so that lookups by id fail for them.
    users = {
        {0, 0, "root", "/root", 22},
        {1, 1, "daemon", "/usr/sbin", 6},
        {65534, 65534, "nobody", "/nonexistent", 6},
        {quint32(getuid()), quint32(getgid()), currentName, currentHome, 30},
        {4711, 4711, "alice", "/home/alice", 14},
        {23456, 100, "bob", "/home/bob", 8},
        {61001, 61001, "jürgen", "/home/jürgen", 8},
        {2000001, 2000001, "svc-backup", "/srv/backup", 6},
    };
    for (const User &u : users)
        userWeightSum += u.weight;
    subjects.reserve(24);
    for (int i = 0; i < 24; ++i)
        subjects.append(newSubject());
    loadEvents();
}

void Content::loadEvents()
{
    for (int kind = 0; kind < 4; ++kind) {
        char *block = nullptr;
        const int length = mlog_init() == -1 ? -1 : mlog_listevents(kind, &block);
        if (length > 0) {
            const QList<QByteArray> names = QByteArray(block, length).split('\0');
            // The block ends with a NUL, so the split leaves one empty tail.
            for (int i = 0; i + 1 < names.size() && i < 0xFFFF; ++i)
                eventsOfKind[kind].append({quint16(kind), quint16(i), styleOf(kind, names.at(i))});
        }
        std::free(block);
        mlog_done();
    }
}

Content::Style Content::styleOf(int kind, const QByteArray &name)
{
    struct Entry
    {
        const char *name;
        Style style;
    };
    static const Entry common[] = {
        {"login", Login}, {"login_console", Login}, {"session_open", Login}, {"su", Su},
        {"sudo", Sudo}, {"passwd", Account}, {"useradd", Account}, {"userdel", Account},
        {"usermod", Account}, {"groupadd", Account}, {"groupdel", Account},
        {"groupmod", Account}, {"execve", Exec}, {"execveat", Exec}, {"fork", Child},
        {"clone", Child}, {"kill", Signal}, {"tkill", Signal}, {"ptrace", Trace},
        {"setuid", SetId}, {"setgid", SetId}, {"setresuid", SetId}, {"setresgid", SetId},
        {"setgroups", Groups}, {"capset", Caps}, {"prctl", Prctl}, {"seccomp", Seccomp},
        {"chroot", Path}, {"setns", Namespace}, {"unshare", Namespace},
        {"open", OpenPath}, {"openat", OpenPath}, {"creat", OpenPath}, {"unlink", Path},
        {"unlinkat", Path}, {"mkdir", Path}, {"rmdir", Path}, {"truncate", Path},
        {"rename", TwoPaths}, {"renameat", TwoPaths}, {"link", TwoPaths},
        {"symlink", TwoPaths}, {"chmod", Mode}, {"fchmod", Mode}, {"chown", Owner},
        {"fchown", Owner}, {"setxattr", Xattr}, {"removexattr", Xattr}, {"mount", Mount},
        {"umount", Umount}, {"time_change", TimeChange}, {"hostname_change", Hostname},
        {"firewall_change", Firewall},
    };
    for (const Entry &e : common) {
        if (name == e.name)
            return e.style;
    }
    if (name.startsWith("policy_"))
        return Policy;
    if (name.startsWith("module_"))
        return Module;
    if (name.startsWith("audit_"))
        return Audit;
    Q_UNUSED(kind);
    return None;
}

Subject Content::newSubject()
{
    int w = int(rng.below(quint32(userWeightSum)));
    int user = 0;
    while (user + 1 < users.size() && w >= users.at(user).weight) {
        w -= users.at(user).weight;
        ++user;
    }
    const User &u = users.at(user);
    Subject s;
    s.user = user;
    s.uid = u.uid;
    s.gid = u.gid;
    s.pid = nextPid;
    nextPid = nextPid >= 4194000 ? 300 : nextPid + 1 + rng.below(7);
    s.ppid = rng.chance(0.2) ? 1 : (s.pid > 400 ? s.pid - 1 - rng.below(200) : 1);
    const bool service = u.uid == 1 || u.uid == 65534 || (u.uid == 0 && rng.chance(0.5));
    s.session = service ? 0xFFFFFFFFu : 1 + rng.below(40); // unset for daemons
    return s;
}

const Subject &Content::pickSubject()
{
    const int n = subjects.size();
    const int i = int(qMin(rng.below(quint32(n)), rng.below(quint32(n))));
    if (rng.chance(0.02))
        subjects[i] = newSubject();
    return subjects.at(i);
}

char *Content::putUserName(char *p)
{
    return put(p, users.at(int(rng.below(quint32(users.size())))).name);
}

char *Content::putPath(char *p, const Subject &s)
{
    if (rarePathShare > 0) {
        const int session = qMax(rareSession, 1);
        bool rare = rarePathLeft > 0;
        if (rare)
            --rarePathLeft;
        else if (rng.chance(rarePathShare / session)) {
            rarePathLeft = session - 1;
            rare = true;
        }
        if (rare)
            return put(p, "/srv/payroll/salaries.db");
    }
    const double r = rng.unit();
    if (r < 0.004)
        return put(put(p, "/tmp/"), pick(rng, oddNames, countOf(oddNames)));
    if (r < 0.40)
        return put(p, pick(rng, systemPaths, countOf(systemPaths)));
    if (r < 0.85) {
        p = put(p, users.at(s.user).home);
        *p++ = '/';
        return put(p, pick(rng, homePaths, countOf(homePaths)));
    }
    if (r < 0.93) {
        p = put(p, "/tmp/tmp.");
        static const char alnum[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
        for (int i = 0; i < 10; ++i)
            *p++ = alnum[rng.below(62)];
        return p;
    }
    p = putNumber(put(p, "/proc/"), s.pid + rng.below(50));
    return put(p, rng.chance(0.5) ? "/status" : "/mem");
}

char *Content::putCommand(char *p, const Subject &s)
{
    p = put(p, pick(rng, commands, countOf(commands)));
    p = put(p, " cwd=");
    return put(p, users.at(s.user).home);
}

char *Content::payload(char *p, Style style, const Subject &s, bool refused)
{
    switch (style) {
    case None:
        break;
    case Path:
        p = putPath(p, s);
        break;
    case OpenPath:
        p = putPath(p, s);
        p = put(p, rng.chance(0.7) ? " flags=O_RDONLY|O_CLOEXEC" : " flags=O_WRONLY|O_CREAT|O_TRUNC mode=0644");
        break;
    case TwoPaths:
        p = putPath(p, s);
        *p++ = ' ';
        p = putPath(p, s);
        break;
    case Mode:
        p = put(putPath(p, s), " mode=0");
        p = putNumber(p, 600 + 10 * rng.below(18) + rng.below(8));
        break;
    case Owner:
        p = put(putPath(p, s), " uid=");
        p = putNumber(put(putNumber(p, users.at(int(rng.below(quint32(users.size())))).uid), " gid="), s.gid);
        break;
    case Mount:
        p = put(p, "/dev/sd");
        *p++ = char('b' + rng.below(3));
        p = putNumber(p, 1 + rng.below(4));
        p = put(put(p, " /media/"), users.at(s.user).name);
        p = put(p, rng.chance(0.5) ? "/USB-STICK type=vfat options=nosuid,nodev,noexec" : "/Backup type=ext4 options=nosuid,nodev");
        break;
    case Umount:
        p = put(put(p, "/media/"), users.at(s.user).name);
        p = put(p, rng.chance(0.5) ? "/USB-STICK" : "/Backup");
        break;
    case Xattr:
        p = put(putPath(p, s), " name=");
        p = put(p, pick(rng, xattrs, countOf(xattrs)));
        break;
    case Exec:
        p = putCommand(p, s);
        break;
    case Signal:
        p = putNumber(put(p, "pid="), 300 + rng.below(60000));
        p = put(put(p, " sig="), pick(rng, signals, countOf(signals)));
        p = putUserName(put(p, " target="));
        break;
    case Trace:
        p = putNumber(put(p, "pid="), 300 + rng.below(60000));
        p = put(put(p, " request="), pick(rng, traceRequests, countOf(traceRequests)));
        break;
    case SetId: {
        const quint32 id = refused ? 0 : users.at(s.user).uid;
        p = putNumber(put(p, "id="), id);
        p = putNumber(put(p, " eid="), id);
        p = putNumber(put(p, " sid="), id);
        break;
    }
    case Groups:
        p = put(p, "groups=4,24,27,");
        p = putNumber(p, s.gid);
        break;
    case Caps:
        p = put(p, "effective=");
        p = put(p, pick(rng, capabilities, countOf(capabilities)));
        *p++ = ',';
        p = put(p, pick(rng, capabilities, countOf(capabilities)));
        p = put(put(p, " permitted="), pick(rng, capabilities, countOf(capabilities)));
        break;
    case Child:
        p = putNumber(put(p, "child="), s.pid + 1 + rng.below(20));
        p = put(p, rng.chance(0.5) ? " flags=CLONE_VM|CLONE_FS|CLONE_FILES" : " flags=SIGCHLD");
        break;
    case Namespace:
        p = put(put(p, "ns="), pick(rng, namespaces, countOf(namespaces)));
        *p++ = ',';
        p = put(p, pick(rng, namespaces, countOf(namespaces)));
        break;
    case Login:
        if (rng.chance(0.7)) {
            p = putNumber(put(p, "tty=pts/"), rng.below(12));
            p = putNumber(put(p, " addr=10.0."), rng.below(8));
            *p++ = '.';
            p = putNumber(p, 2 + rng.below(250));
            p = put(put(p, " method="), pick(rng, loginMethods, countOf(loginMethods)));
            p = put(p, " service=sshd");
        } else {
            p = putNumber(put(p, "tty=tty"), 1 + rng.below(6));
            p = put(p, " service=login");
        }
        break;
    case Su:
        p = putUserName(put(p, "target="));
        p = putNumber(put(p, " tty=pts/"), rng.below(12));
        break;
    case Sudo:
        p = put(p, "target=root cmd=");
        p = putCommand(p, s);
        break;
    case Account: {
        const User &u = users.at(int(rng.below(quint32(users.size()))));
        p = put(put(p, "user="), u.name);
        p = putNumber(put(p, " uid="), u.uid);
        break;
    }
    case Policy:
        p = put(put(p, "policy=/etc/marvok/policy.d/"), pick(rng, policies, countOf(policies)));
        p = putNumber(put(p, " serial="), 1 + rng.below(5000));
        p = putHex(put(p, " hash="), rng.next(), 16);
        break;
    case Module:
        p = put(put(p, "module="), pick(rng, modules, countOf(modules)));
        p = put(p, rng.chance(0.9) ? " taint=0" : " taint=O");
        break;
    case Audit:
        p = put(p, "file=/var/log/marvok/kernel.mlog size=");
        p = putNumber(p, 1000000 + rng.below(900000000));
        break;
    case TimeChange:
        p = put(p, rng.chance(0.5) ? "delta=+" : "delta=-");
        p = putNumber(p, rng.below(3600));
        p = put(p, " source=ntp server=0.debian.pool.ntp.org");
        break;
    case Hostname:
        p = put(p, "old=web01 new=web01.example.org");
        break;
    case Firewall:
        p = put(p, "table=inet:filter chain=input rule=\"tcp dport ");
        p = putNumber(p, rng.chance(0.5) ? 22 : 1024 + rng.below(60000));
        p = put(p, rng.chance(0.5) ? " accept\"" : " drop\"");
        break;
    case Seccomp:
        p = putNumber(put(p, "syscall="), rng.below(450));
        p = put(p, " action=KILL arch=x86_64");
        break;
    case Prctl:
        p = put(p, "option=PR_SET_NO_NEW_PRIVS arg=1");
        break;
    }
    switch (style) {
    case Path: case OpenPath: case Mode: case Owner: case Xattr: case TwoPaths:
        p = putNumber(put(p, " dev=fd:0"), 1 + rng.below(3));
        p = putNumber(put(p, " ino="), 100000 + rng.below(9000000));
        break;
    case Exec: case Signal: case Trace: case SetId: case Groups: case Caps: case Child:
    case Namespace: case Seccomp: case Prctl: case Su: case Sudo:
        p = put(put(p, " comm="), pick(rng, commandNames, countOf(commandNames)));
        break;
    default:
        break;
    }
    return p;
}

int Content::next(Header *header, char *out)
{
    // Files dominate, then processes; user and custom events are rarer.
    const quint32 r = rng.below(100);
    int kind = r < 12 ? 0 : r < 42 ? 1 : r < 90 ? 2 : 3;
    if (eventsOfKind[kind].isEmpty()) {
        kind = 0;
        while (kind < 3 && eventsOfKind[kind].isEmpty())
            ++kind;
    }
    const QVector<Event> &events = eventsOfKind[kind];
    const Subject &s = pickSubject();
    header->subject[0] = s.pid;
    header->subject[1] = s.ppid;
    header->subject[2] = s.uid;
    header->subject[3] = s.gid;
    header->subject[4] = s.session;
    bool rare = false;
    if (rareSession > 1) {
        // A session begins at such a rate that the share stays as asked.
        if (rareLeft > 0) {
            --rareLeft;
            rare = true;
        } else if (rareShare > 0 && rng.chance(rareShare / rareSession)) {
            rareLeft = rareSession - 1;
            rare = true;
        }
    } else {
        rare = rareShare > 0 && rng.chance(rareShare);
    }
    if (rare) {
        header->subject[2] = rareUid;
        header->subject[3] = rareUid;
    }
    header->kind = quint16(kind);
    const bool refused = rng.chance(refusalShare);
    header->status = refused ? (rng.chance(0.5) ? 1 : 13) : 0; // EPERM, EACCES
    if (events.isEmpty()) {
        header->event = 0;
        return 0;
    }
    // The first names of each list are the common ones.
    const quint32 n = quint32(events.size());
    const Event *e = &events.at(int(qMin(rng.below(n), rng.below(n))));
    // A rare event stays only now and then; others are drawn in its place.
    for (int tries = 0; rareShare > 0 && tries < 64 && (e->style == Trace || e->style == Module)
                        && !rng.chance(rareShare);
         ++tries)
        e = &events.at(int(qMin(rng.below(n), rng.below(n))));
    header->event = e->index;
    return int(payload(out, e->style, s, refused) - out);
}

void Content::setShares(double refusals, double rare, int session, double rarePath)
{
    refusalShare = refusals;
    rareShare = rare;
    rareSession = session;
    rareLeft = 0;
    rarePathShare = rarePath;
    rarePathLeft = 0;
}

int Content::garbage(char *out, bool withMagic)
{
    int length = 1 + int(rng.below(64));
    if (withMagic && length < 4)
        length = 4 + int(rng.below(60));
    for (int i = 0; i < length; ++i) {
        unsigned char b;
        do {
            b = static_cast<unsigned char>(rng.next() >> 56);
        } while (b == 0x80 || b == 0x19 || b == 0x12 || b == 0x10);
        out[i] = char(b);
    }
    if (withMagic) {
        const int at = int(rng.below(quint32(length - 3)));
        out[at] = char(0x80);
        out[at + 1] = char(0x19);
        out[at + 2] = char(0x12);
        out[at + 3] = char(0x10);
    }
    return length;
}

} // namespace mlogwriter
