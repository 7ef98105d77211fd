// Small helpers the benchmarks share: their output and memory figures.
#ifndef BENCHSUPPORT_H
#define BENCHSUPPORT_H

#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QDir>
#include <QFile>
#include <QList>
#include <QString>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <memory>

#include <cstdio>
#include <cstdlib>

#include <sys/resource.h>
#include <time.h>

namespace bench {

// The benchmark's report, on standard output.
inline QTextStream &out()
{
    static QTextStream s(stdout);
    return s;
}

// A figure of /proc/self/status in KiB (VmRSS, VmHWM ...); -1 when unknown.
inline qint64 statusKiB(const char *field)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return -1;
    const QByteArray key = QByteArray(field) + ':';
    const QList<QByteArray> lines = f.readAll().split('\n');
    for (const QByteArray &line : lines) {
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// Seconds of `cat FILE > /dev/null`, the best of `tries`: the baseline the
// benchmarks give their figures against.
inline double catSeconds(const QString &path, int tries = 2)
{
    double best = 1e9;
    for (int i = 0; i < tries; ++i) {
        QElapsedTimer t;
        t.start();
        QProcess cat;
        cat.setStandardOutputFile(QProcess::nullDevice());
        cat.start(QStringLiteral("cat"), {path});
        cat.waitForFinished(-1);
        best = std::min(best, t.nsecsElapsed() / 1e9);
    }
    // The finished processes leave events behind; what is timed next must
    // not handle them in its first turn of the event loop.
    QCoreApplication::processEvents();
    return best;
}

// Seconds of `clock` (CLOCK_MONOTONIC, CLOCK_THREAD_CPUTIME_ID ...).
inline double clockSeconds(clockid_t clock)
{
    struct timespec ts;
    clock_gettime(clock, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

// Processor seconds of the children waited for so far (user and system).
inline double childrenCpu()
{
    struct rusage usage;
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Resets VmHWM, so that it tells the peak of what follows.
inline bool resetPeak()
{
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    return f.open(QIODevice::WriteOnly) && f.write("5") == 1;
}

// The records of a log, counted by walking their headers (the payload length
// is the header's last two bytes); -1 when the file cannot be read.
inline qint64 countRecords(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const qint64 size = f.size();
    const uchar *data = size > 0 ? f.map(0, size) : nullptr;
    if (!data)
        return size == 0 ? 0 : -1;
    qint64 records = 0;
    for (qint64 pos = 0; pos + 40 <= size; ++records)
        pos += 40 + (data[pos + 38] | data[pos + 39] << 8);
    return records;
}

// Index files and settings go to a home folder of our own inside `folder`,
// never the user's. Call before the application object exists.
inline void useOwnHome(const QString &folder)
{
    const QString home = folder + QStringLiteral("/home");
    QDir().mkpath(home);
    qputenv("HOME", QFile::encodeName(home));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home + QStringLiteral("/.config")));
}

// The command line of the benchmarks on a large log:
//   [--records N] [--huge] [FOLDER]
// FOLDER (default: a temporary folder, removed at the end) holds the log
// and a home folder of the benchmark's own (useOwnHome).
struct Options
{
    qint64 records = 10000000;
    bool huge = false;
    QString folder;
    std::unique_ptr<QTemporaryDir> temp;
};

// True when the command line asks for help ("--help", "-h" or "-?"), after
// `usage` went to standard output. Every benchmark asks before it looks at
// any other argument, so that help is never taken for a folder or a log.
inline bool helpAsked(int argc, char **argv, const char *usage)
{
    for (int i = 1; i < argc; ++i) {
        if (qstrcmp(argv[i], "--help") == 0 || qstrcmp(argv[i], "-h") == 0 || qstrcmp(argv[i], "-?") == 0) {
            std::fputs(usage, stdout);
            return true;
        }
    }
    return false;
}

// An option that is none of the benchmark's ends it (status 2): as a
// folder it would be made and written to.
inline void parseOptions(int argc, char **argv, Options *options)
{
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (arg == QLatin1String("--records") && i + 1 < argc) {
            options->records = QString::fromLocal8Bit(argv[++i]).toLongLong();
        } else if (arg == QLatin1String("--huge")) {
            options->huge = true;
        } else if (arg.startsWith(QLatin1Char('-'))) {
            std::fprintf(stderr, "%s: unknown option %s (--help gives the usage)\n", argv[0], argv[i]);
            std::exit(2);
        } else {
            options->folder = arg;
        }
    }
    if (options->folder.isEmpty()) {
        options->temp = std::make_unique<QTemporaryDir>();
        options->folder = options->temp->path();
    }
    useOwnHome(options->folder);
}

} // namespace bench

#endif
