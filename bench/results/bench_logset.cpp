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
//       (target 1.1 x, in wall and in processor time), and the heap a tab
//       over the set holds once it has run (with the peak of the resident
//       size beside it) against what tabs over its files hold, and against
//       the sum of its files' indexes with their blocks' summaries (target:
//       at most that plus 8 MiB). Then, for each set, its first run with
//       the pattern after a scan made the index files anew (the run makes
//       the blocks' summaries and keeps them) against its files' first runs.
//
// Each time is the best of three runs, the steps taking turns.
#include <clog.h>
#include <cstringlistmodel.h>
#include <logset.h>
#include <mlogwriter.h>

#include <QCoreApplication>
#include <QFileInfo>

#include <malloc.h>

#include "benchsupport.h"

using bench::clockSeconds;
using bench::out;

namespace {

QString f3(double s)
{
    return QString::number(s, 'f', 3);
}

// Bytes the heap has handed out and not taken back, blocks of their own
// mapping included: unlike the resident size, it falls when memory is freed
// and does not hide what takes the place of freed memory.
qint64 heapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return qint64(info.uordblks + info.hblkhd);
}

double mibValue(qint64 bytes)
{
    return bytes / 1048576.0;
}

QString mib(qint64 bytes)
{
    return QString::number(mibValue(bytes), 'f', 1);
}

// The best wall and processor times of a step's rounds. The processor time
// (of every thread, the kernel's work for them included) is what other
// programs on a shared machine do not move.
struct Step
{
    double wall = 1e9;
    double cpu = 1e9;
};

template <typename Work>
void timed(Step *best, Work &&work)
{
    const double wall = clockSeconds(CLOCK_MONOTONIC);
    const double cpu = clockSeconds(CLOCK_PROCESS_CPUTIME_ID);
    work();
    best->wall = std::min(best->wall, clockSeconds(CLOCK_MONOTONIC) - wall);
    best->cpu = std::min(best->cpu, clockSeconds(CLOCK_PROCESS_CPUTIME_ID) - cpu);
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

// The index files of `paths` removed: the next read scans the logs, and
// their first run makes the blocks' summaries.
void forgetIndexes(const QStringList &paths)
{
    for (const QString &path : paths) {
        const QString index = CLog::indexFilePath(path);
        QFile::remove(index);
        QFile::remove(companion::pathFor(index));
    }
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
    "    over its files (target 1.1 x, in wall and in processor time), and the\n"
    "    heap a tab over the set holds against what tabs over its files hold\n"
    "    and against the sum of its files' indexes with their blocks'\n"
    "    summaries (target: at most that plus 8 MiB). Then, for each set,\n"
    "    its first run with the pattern after a scan made the index files\n"
    "    anew (the run makes the blocks' summaries) against its files' first\n"
    "    runs.\n"
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
        // What the logs' indexes take: the heap three readers hold once they
        // have read their logs, and once a run over each has also taken in
        // its blocks' summaries (what a tab over the log alone keeps of them).
        qint64 indexBytes = 0;
        qint64 summedBytes = 0;
        qint64 blocks = 0;
        {
            std::vector<std::unique_ptr<CLog>> held;
            const qint64 before = heapInUse();
            for (const QString &path : set.paths) {
                held.push_back(std::make_unique<CLog>());
                held.back()->readLog(path);
                blocks += held.back()->blockCount();
            }
            indexBytes = heapInUse() - before;
            for (const auto &log : held) {
                CStringListModel model(log.get(), filterOf(patterns.last()));
                model.runFilter();
            }
            summedBytes = heapInUse() - before;
        }
        out() << "set " << set.name << ": " << set.paths.size() << " logs of " << cli.records << " records, "
              << blocks << " blocks; their readers hold " << mib(indexBytes) << " MiB, "
              << mib(summedBytes) << " MiB with the blocks' summaries\n";
        for (const QString &pattern : patterns) {
            Step one;
            Step all;
            qint64 rowsOne = 0;
            qint64 rowsAll = 0;
            qint64 aloneBytes = 0;
            qint64 tabBytes = 0;
            qint64 peakKiB = 0;
            for (int round = 0; round < 3; ++round) {
                // The files one by one, each read and run by itself; a tab of
                // its own holds each log and its rows.
                rowsOne = 0;
                std::vector<std::unique_ptr<CLog>> logs;
                std::vector<std::unique_ptr<CStringListModel>> tabs;
                qint64 before = heapInUse();
                timed(&one, [&] {
                    for (const QString &path : set.paths) {
                        logs.push_back(std::make_unique<CLog>());
                        logs.back()->readLog(path);
                        tabs.push_back(std::make_unique<CStringListModel>(logs.back().get(), filterOf(pattern)));
                        tabs.back()->runFilter();
                        rowsOne += tabs.back()->rowCount();
                    }
                });
                aloneBytes = heapInUse() - before;
                tabs.clear();
                logs.clear();
                // The same files as one set, in a tab that holds them all.
                const qint64 rss = bench::statusKiB("VmRSS");
                bench::resetPeak();
                before = heapInUse();
                auto set_ = std::make_unique<LogSet>();
                std::unique_ptr<CStringListModel> tab;
                timed(&all, [&] {
                    set_->readLogs(set.paths);
                    tab = std::make_unique<CStringListModel>(set_.get(), filterOf(pattern));
                    tab->runFilter();
                    rowsAll = tab->rowCount();
                });
                tabBytes = heapInUse() - before;
                peakKiB = std::max(peakKiB, bench::statusKiB("VmHWM") - rss);
                tab.reset();
                set_.reset();
            }
            const double limit = mibValue(summedBytes) + 8;
            out() << QStringLiteral("  %1: files one by one %2 s (processor %3 s), set %4 s (%5 s): "
                                    "%6 x, processor %7 x (target 1.1)%8\n")
                         .arg(pattern.isEmpty() ? QStringLiteral("every record") : pattern, -16)
                         .arg(f3(one.wall), f3(one.cpu), f3(all.wall), f3(all.cpu), f3(all.wall / one.wall),
                              f3(all.cpu / one.cpu))
                         .arg(rowsAll != rowsOne ? QStringLiteral("  ROWS DIFFER!") : QString());
            out() << QStringLiteral("  %1  the set's tab holds %2 MiB (peak +%3 MiB), its files' tabs %4 MiB; "
                                    "indexes + 8 = %5 MiB%6\n")
                         .arg(QString(), -16)
                         .arg(mib(tabBytes), QString::number(peakKiB / 1024.0, 'f', 1), mib(aloneBytes),
                              QString::number(limit, 'f', 1))
                         .arg(mibValue(tabBytes) > limit ? QStringLiteral("  OVER!") : QString());
            out().flush();
        }
        // A first run after a scan made the index files anew: the run makes
        // the blocks' summaries and keeps them in the companion files.
        Step one;
        Step all;
        for (int round = 0; round < 3; ++round) {
            forgetIndexes(set.paths);
            Step files{0, 0};
            for (const QString &path : set.paths) {
                CLog log;
                log.readLog(path);
                CStringListModel model(&log, filterOf(patterns.last()));
                Step run;
                timed(&run, [&] { model.runFilter(); });
                files.wall += run.wall;
                files.cpu += run.cpu;
            }
            one.wall = std::min(one.wall, files.wall);
            one.cpu = std::min(one.cpu, files.cpu);
            forgetIndexes(set.paths);
            LogSet logs;
            logs.readLogs(set.paths);
            CStringListModel model(&logs, filterOf(patterns.last()));
            timed(&all, [&] { model.runFilter(); });
        }
        out() << QStringLiteral("  %1: files one by one %2 s (processor %3 s), set %4 s (%5 s): "
                                "%6 x, processor %7 x (target 1.1)\n")
                     .arg(QStringLiteral("first run"), -16)
                     .arg(f3(one.wall), f3(one.cpu), f3(all.wall), f3(all.cpu), f3(all.wall / one.wall),
                          f3(all.cpu / one.cpu));
        out().flush();
    }
    return 0;
}
