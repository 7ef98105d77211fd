// The viewer's filter run as a command, for bench/peers.sh to time beside
// other tools.
//
//   bench_count LOG [--uid N] [--refusals] [--events A,B] [--from EPOCH --to EPOCH] [--regex R] [--paths FILE]
//       Opens LOG as the viewer does (scan and index file, built anew), then
//       counts the records of the range that match, as a filter run does
//       (CLog::forEachBlockUtf8, countMatchesUtf8). Prints "COUNT OPEN_S RUN_S RUN_CPU_S"
//       (wall times; the run's processor time). Without criteria every text
//       is handed out and counted: the floor of any run.
//       --from/--to: records whose own time lies from EPOCH to EPOCH, both
//       included, wherever they lie in the log.
//       --paths: a list of watched paths, one per line of FILE, as the
//       parameters criterion.
//   bench_count LOG --span
//       Prints the times of the first and last records ("FIRST LAST").
//   bench_count LOG --dump TEXT AUDIT
//       Writes the record texts, one per line, to TEXT, and the same records
//       as audit daemon SYSCALL lines (one event per record) to AUDIT.
// Index files and settings go to a home folder beside the log.
#include <clog.h>
#include <cmatcher.h>
#include <filtermatch.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>

#include <cstdio>
#include <ctime>

#include "benchsupport.h"

namespace {

double threadSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// System call numbers of x86-64 for the event names that have one; the
// others get numbers of their own above the table's.
int syscallNumber(const QString &event)
{
    static const QHash<QString, int> table = {
        {QStringLiteral("open"), 2}, {QStringLiteral("openat"), 257}, {QStringLiteral("creat"), 85},
        {QStringLiteral("unlink"), 87}, {QStringLiteral("unlinkat"), 263}, {QStringLiteral("rename"), 82},
        {QStringLiteral("renameat"), 264}, {QStringLiteral("link"), 86}, {QStringLiteral("symlink"), 88},
        {QStringLiteral("mkdir"), 83}, {QStringLiteral("rmdir"), 84}, {QStringLiteral("chmod"), 90},
        {QStringLiteral("fchmod"), 91}, {QStringLiteral("chown"), 92}, {QStringLiteral("fchown"), 93},
        {QStringLiteral("truncate"), 76}, {QStringLiteral("setxattr"), 188}, {QStringLiteral("removexattr"), 197},
        {QStringLiteral("mount"), 165}, {QStringLiteral("umount"), 166}, {QStringLiteral("execve"), 59},
        {QStringLiteral("execveat"), 322}, {QStringLiteral("fork"), 57}, {QStringLiteral("clone"), 56},
        {QStringLiteral("exit"), 60}, {QStringLiteral("kill"), 62}, {QStringLiteral("tkill"), 200},
        {QStringLiteral("ptrace"), 101}, {QStringLiteral("setuid"), 105}, {QStringLiteral("setgid"), 106},
        {QStringLiteral("setresuid"), 117}, {QStringLiteral("setresgid"), 119}, {QStringLiteral("setgroups"), 116},
        {QStringLiteral("capset"), 126}, {QStringLiteral("prctl"), 157}, {QStringLiteral("seccomp"), 317},
        {QStringLiteral("chroot"), 161}, {QStringLiteral("setns"), 308}, {QStringLiteral("unshare"), 272},
    };
    static QHash<QString, int> others;
    const auto known = table.constFind(event);
    if (known != table.constEnd())
        return *known;
    auto other = others.find(event);
    if (other == others.end())
        other = others.insert(event, 400 + others.size());
    return *other;
}

// "[k] <pid,ppid,uid,gid,session> [s|f] event date params" as an audit line.
QByteArray auditLine(const QString &text, quint32 time, qint64 serial)
{
    static const QRegularExpression layout(
        QStringLiteral("^\\[.\\] <(\\d+),(\\d+),(\\d+),(\\d+),(\\d+)> \\[([sf])\\] (\\S*)"));
    const QRegularExpressionMatch m = layout.match(text);
    if (!m.hasMatch())
        return QByteArray();
    const QString event = m.captured(7);
    const QString uid = m.captured(3);
    const QString gid = m.captured(4);
    return QStringLiteral("type=SYSCALL msg=audit(%1.000:%2): arch=c000003e syscall=%3 success=%4 exit=%5 a0=0 a1=0 a2=0 a3=0 "
                          "items=1 ppid=%6 pid=%7 auid=%8 uid=%8 gid=%9 euid=%8 suid=%8 fsuid=%8 egid=%9 "
                          "sgid=%9 fsgid=%9 tty=(none) ses=%10 comm=\"%11\" exe=\"/usr/bin/%11\" key=(null)\n")
        .arg(time)
        .arg(serial)
        .arg(syscallNumber(event))
        .arg(m.captured(6) == QLatin1String("s") ? QStringLiteral("yes") : QStringLiteral("no"))
        .arg(m.captured(6) == QLatin1String("s") ? QStringLiteral("0") : QStringLiteral("-13"))
        .arg(m.captured(2), m.captured(1), uid, gid, m.captured(5), event)
        .toUtf8();
}

int dump(const CLog &log, const QString &textPath, const QString &auditPath)
{
    QFile text(textPath);
    QFile audit(auditPath);
    if (!text.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || !audit.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::fprintf(stderr, "bench_count: cannot write the dumps\n");
        return 1;
    }
    const QList<quint32> times = log.timeIndex().keys();
    QByteArray textBuffer;
    QByteArray auditBuffer;
    qint64 serial = 0;
    log.forEachBlock(0, log.blockCount() - 1, [&](int block, const QStringList &texts) {
        for (const QString &t : texts) {
            textBuffer += t.toUtf8();
            textBuffer += '\n';
            auditBuffer += auditLine(t, times.at(block), ++serial);
        }
        if (textBuffer.size() > (1 << 20)) {
            text.write(textBuffer);
            audit.write(auditBuffer);
            textBuffer.clear();
            auditBuffer.clear();
        }
        return true;
    });
    text.write(textBuffer);
    audit.write(auditBuffer);
    return 0;
}

} // namespace

// The usage, as the head of this file gives it, for --help.
const char kUsage[] =
    "usage: bench_count LOG [--uid N] [--refusals] [--events A,B] [--from EPOCH --to EPOCH] [--regex R] [--paths FILE]\n"
    "    Opens LOG as the viewer does (scan and index file, built anew), then\n"
    "    counts the records of the range that match, as a filter run does\n"
    "    (CLog::forEachBlockUtf8, countMatchesUtf8). Prints \"COUNT OPEN_S RUN_S RUN_CPU_S\"\n"
    "    (wall times; the run's processor time). Without criteria every text\n"
    "    is handed out and counted: the floor of any run.\n"
    "    --from/--to: records whose own time lies from EPOCH to EPOCH, both\n"
    "    included, wherever they lie in the log.\n"
    "    --paths: a list of watched paths, one per line of FILE, as the\n"
    "    parameters criterion.\n"
    "bench_count LOG --span\n"
    "    Prints the times of the first and last records (\"FIRST LAST\").\n"
    "bench_count LOG --dump TEXT AUDIT\n"
    "    Writes the record texts, one per line, to TEXT, and the same records\n"
    "    as audit daemon SYSCALL lines (one event per record) to AUDIT.\n"
    "Index files and settings go to a home folder beside the log.\n";

int main(int argc, char **argv)
{
    if (bench::helpAsked(argc, argv, kUsage))
        return 0;
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_count LOG [--uid N] [--refusals] [--events A,B] [--from EPOCH --to EPOCH] [--regex R] [--paths FILE]\n"
                             "       bench_count LOG --span | --dump TEXT AUDIT\n");
        return 2;
    }
    const QString logPath = QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath();
    bench::useOwnHome(QFileInfo(logPath).path());
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vrelview"));
    const QStringList args = app.arguments().mid(2);
    const auto value = [&args](const char *option) {
        const int at = args.indexOf(QLatin1String(option));
        return at >= 0 && at + 1 < args.size() ? args.at(at + 1) : QString();
    };

    QDir().mkpath(QFileInfo(CLog::indexFilePath(logPath)).path());
    QFile::remove(CLog::indexFilePath(logPath));
    CLog log;
    QElapsedTimer timer;
    timer.start();
    log.readLog(logPath);
    const double openSeconds = timer.nsecsElapsed() / 1e9;
    if (log.blockCount() == 0) {
        std::fprintf(stderr, "bench_count: no records in %s\n", argv[1]);
        return 1;
    }
    if (args.contains(QLatin1String("--span"))) {
        std::printf("%u %u\n", log.timeIndex().firstKey(), log.timeIndex().lastKey());
        return 0;
    }
    const int dumpAt = args.indexOf(QLatin1String("--dump"));
    if (dumpAt >= 0 && dumpAt + 2 < args.size())
        return dump(log, args.at(dumpAt + 1), args.at(dumpAt + 2));

    QList<QStringList> lists = {{}, {}, {}, {}, {}, {}};
    if (args.contains(QLatin1String("--refusals")))
        lists[0].append(fragments().at(1));
    if (!value("--uid").isEmpty())
        lists[4].append(fragments().at(7) + value("--uid") + QLatin1Char(','));
    if (!value("--regex").isEmpty())
        lists[5].append(value("--regex"));
    if (!value("--paths").isEmpty()) {
        QFile file(value("--paths"));
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
            std::fprintf(stderr, "bench_count: cannot read %s\n", qPrintable(file.fileName()));
            return 1;
        }
        for (const QByteArray &line : file.readAll().split('\n')) {
            if (!line.isEmpty())
                lists[5].append(QRegularExpression::escape(QString::fromUtf8(line)));
        }
    }
    if (!value("--events").isEmpty()) {
        const QList<QStringList> events = {{}, {}, value("--events").split(QLatin1Char(',')), {}, {}, {}};
        lists[2] = toPatternForm(events).at(2);
    }
    // The records whose own time lies in the range, wherever they lie.
    TimeSpan span;
    if (!value("--from").isEmpty())
        span.from = quint32(qBound<qint64>(0, value("--from").toLongLong(), 0xFFFFFFFFLL));
    if (!value("--to").isEmpty())
        span.to = quint32(qBound<qint64>(0, value("--to").toLongLong(), 0xFFFFFFFFLL));
    int first = 0;
    int last = -1;
    log.blocksFor(span, &first, &last);

    timer.restart();
    const double cpuStart = threadSeconds();
    const CMatcher matcher(lists);
    qint64 count = 0;
    MatchStop stop;
    log.forEachBlockUtf8(first, last, [&](int, const QByteArray &texts) {
        count += countMatchesUtf8(matcher, texts, &stop);
        return !stop.stopped();
    }, span);
    const double runSeconds = timer.nsecsElapsed() / 1e9;
    const double runCpu = threadSeconds() - cpuStart;
    if (stop.stopped())
        std::fprintf(stderr, "bench_count: pattern too costly: %s\n", qPrintable(stop.pattern));
    std::printf("%lld %.4f %.4f %.4f\n", count, openSeconds, runSeconds, runCpu);
    return stop.stopped() ? 1 : 0;
}
