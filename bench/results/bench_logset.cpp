// A run over a set of logs against the runs over its files one by one, in
// one run:
//
//   bench_logset [--records N] [FOLDER]
//       Generates (or reuses) in FOLDER three rotated logs of N records each
//       (default 1 000 000), one after the other in time (kernel.mlog.2,
//       kernel.mlog.1, kernel.mlog), and three that overlap all the way
//       (mix-a/b/c.mlog, the same hours, records of every second in each).
//       For each set and two filters (every record; a free pattern): the
//       count over the set against the sum of the counts over its files
//       (target 1.1 x), and the peak memory the set's read and run added
//       against the sum of its files' indexes, as the memory three readers
//       hold once they have read the files (target: at most that plus 8 MiB).
//
// Each time is the best of three runs, the steps taking turns.
#include <clog.h>
#include <cstringlistmodel.h>
#include <logset.h>
#include <mlogwriter.h>

#include <QCoreApplication>
#include <QFileInfo>

#include "benchsupport.h"

using bench::clockSeconds;
using bench::out;

namespace {

QString f3(double s)
{
    return QString::number(s, 'f', 3);
}

bool ensureLog(const QString &path, qint64 records, const QDateTime &start, quint64 seed)
{
    CLog log;
    log.readLog(path);
    if (log.recordCount() == records)
        return true;
    MlogGeneratorOptions options;
    options.records = records;
    options.seed = seed;
    options.start = start;
    QString error;
    if (!generateLog(path, options, &error)) {
        out() << "cannot generate " << path << ": " << error << "\n";
        return false;
    }
    return true;
}

CFilterPtr filterOf(const QString &pattern)
{
    CFilterPtr filter(new CFilter(QStringLiteral("bench")));
    if (!pattern.isEmpty())
        filter->setLists(QList<QStringList>{{}, {}, {}, {}, {}, {pattern}});
    return filter;
}

} // namespace

const char kUsage[] =
    "usage: bench_logset [--records N] [FOLDER]\n"
    "    Generates (or reuses) in FOLDER three rotated logs of N records each\n"
    "    (default 1 000 000), one after the other in time, and three that\n"
    "    overlap all the way. For each set and two filters (every record; a\n"
    "    free pattern): the count over the set against the sum of the counts\n"
    "    over its files (target 1.1 x), and the peak memory the set's read and\n"
    "    run added against the sum of its files' indexes (target: at most that\n"
    "    plus 8 MiB).\n"
    "\n"
    "Each time is the best of three runs, the steps taking turns.\n";

int main(int argc, char **argv)
{
    if (bench::helpAsked(argc, argv, kUsage))
        return 0;
    bench::Options cli;
    cli.records = 1000000;
    bench::parseOptions(argc, argv, &cli);
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("vrel"));
    QCoreApplication::setApplicationName(QStringLiteral("vrelview"));
    QDir().mkpath(QFileInfo(CLog::indexFilePath(cli.folder + QStringLiteral("/x.mlog"))).path());

    // The generator makes about 50 records a second in bursts: N records
    // span some N / 20 seconds.
    const QDateTime start = QDateTime::fromSecsSinceEpoch(1780000000);
    struct Set
    {
        const char *name;
        QStringList paths;
    };
    std::vector<Set> sets;
    {
        Set rotated{"rotated", {}};
        QDateTime at = start;
        for (const char *name : {"kernel.mlog.2", "kernel.mlog.1", "kernel.mlog"}) {
            const QString path = cli.folder + QLatin1Char('/') + QLatin1String(name);
            if (!ensureLog(path, cli.records, at, quint64(rotated.paths.size() + 1)))
                return 1;
            CLog log;
            log.readLog(path);
            at = log.lastDate().addSecs(1);
            rotated.paths.append(path);
        }
        sets.push_back(rotated);
        Set mixed{"overlapping", {}};
        for (const char *name : {"mix-a.mlog", "mix-b.mlog", "mix-c.mlog"}) {
            const QString path = cli.folder + QLatin1Char('/') + QLatin1String(name);
            if (!ensureLog(path, cli.records, start, quint64(mixed.paths.size() + 11)))
                return 1;
            mixed.paths.append(path);
        }
        sets.push_back(mixed);
    }

    const QStringList patterns{QString(), QStringLiteral("/etc/sh[a-z]dow")};
    for (const Set &set : sets) {
        // What the logs' indexes take: the memory three readers hold once
        // they have read their logs.
        qint64 indexBytes = 0;
        qint64 blocks = 0;
        {
            std::vector<std::unique_ptr<CLog>> held;
            const qint64 rss = bench::statusKiB("VmRSS");
            for (const QString &path : set.paths) {
                held.push_back(std::make_unique<CLog>());
                held.back()->readLog(path);
                blocks += held.back()->blockCount();
            }
            indexBytes = (bench::statusKiB("VmRSS") - rss) * 1024;
        }
        out() << "set " << set.name << ": " << set.paths.size() << " logs of " << cli.records << " records, "
              << blocks << " blocks, the readers hold " << f3(indexBytes / 1048576.0) << " MiB\n";
        for (const QString &pattern : patterns) {
            double one = 1e9;
            double all = 1e9;
            qint64 rowsOne = 0;
            qint64 rowsAll = 0;
            qint64 peakKiB = 0;
            for (int round = 0; round < 3; ++round) {
                // The files one by one, each read and run by itself.
                double wall = clockSeconds(CLOCK_MONOTONIC);
                rowsOne = 0;
                for (const QString &path : set.paths) {
                    CLog log;
                    log.readLog(path);
                    CStringListModel model(&log, filterOf(pattern));
                    model.runFilter();
                    rowsOne += model.rowCount();
                }
                one = std::min(one, clockSeconds(CLOCK_MONOTONIC) - wall);
                // The same files as one set.
                const qint64 rss = bench::statusKiB("VmRSS");
                bench::resetPeak();
                wall = clockSeconds(CLOCK_MONOTONIC);
                {
                    LogSet logs;
                    logs.readLogs(set.paths);
                    CStringListModel model(&logs, filterOf(pattern));
                    model.runFilter();
                    rowsAll = model.rowCount();
                    peakKiB = std::max(peakKiB, bench::statusKiB("VmHWM") - rss);
                }
                all = std::min(all, clockSeconds(CLOCK_MONOTONIC) - wall);
            }
            const double peakMiB = peakKiB / 1024.0;
            out() << QStringLiteral("  %1: files one by one %2 s, set %3 s: %4 x (target 1.1); "
                                    "set +%5 MiB, indexes + 8 = %6 MiB%7%8\n")
                         .arg(pattern.isEmpty() ? QStringLiteral("every record") : pattern, -16)
                         .arg(f3(one), f3(all), f3(all / one))
                         .arg(peakMiB, 0, 'f', 1)
                         .arg(indexBytes / 1048576.0 + 8, 0, 'f', 1)
                         .arg(rowsAll != rowsOne ? QStringLiteral("  ROWS DIFFER!") : QString())
                         .arg(peakMiB > indexBytes / 1048576.0 + 8 ? QStringLiteral("  OVER!") : QString());
            out().flush();
        }
    }
    return 0;
}
