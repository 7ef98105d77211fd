// Speed of find and save of a result against the full count of the same
// filter, measured in the same run, and of save against `cat` of the file
// it wrote.
//
//   bench_findsave [--records N] [FOLDER]
//       Generates (or reuses) FOLDER/bench.mlog of N records (default
//       10 000 000), reads it, and for each filter: times the full count
//       (a filter run of a model without a view); find forwards from the
//       top to a hit in the block of the last row, forwards with no hit at
//       all, and backwards from the end to a hit in the block of the first
//       row; then saves the result to FOLDER/saved.txt, times `cat` of it
//       and reports the save against count + 2 x cat, with
//       the peak memory the save added.
//
// Each figure is the best of five rounds, in which every step runs once,
// as wall time and as CPU time of
// the thread that does the work (for save also the CPU time of the whole
// process, whose writing thread runs beside it; for `cat` its own CPU
// time): on a machine shared with other work the CPU times keep their
// ratios where the wall times do not.
#include <clog.h>
#include <cstringlistmodel.h>
#include <filtermatch.h>
#include <mlogwriter.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>

#include <functional>

#include <sys/resource.h>
#include <time.h>

#include "benchsupport.h"

using bench::childrenCpu;
using bench::clockSeconds;
using bench::out;

namespace {

struct Time
{
    double wall = 1e9;
    double cpu = 1e9;     // of this thread (cat: of cat)
    double process = 1e9; // of the whole process

    // Keeps the best of each figure.
    void take(const Time &sample)
    {
        wall = std::min(wall, sample.wall);
        cpu = std::min(cpu, sample.cpu);
        process = std::min(process, sample.process);
    }
};

// Rounds of each step, interleaved: the machine's speed drifts between one
// step and the next, and each ratio compares steps of the same rounds.
constexpr int kRounds = 5;

Time timed(const std::function<void()> &work)
{
    const double wall = clockSeconds(CLOCK_MONOTONIC);
    const double cpu = clockSeconds(CLOCK_THREAD_CPUTIME_ID);
    const double process = clockSeconds(CLOCK_PROCESS_CPUTIME_ID);
    work();
    return {clockSeconds(CLOCK_MONOTONIC) - wall, clockSeconds(CLOCK_THREAD_CPUTIME_ID) - cpu,
            clockSeconds(CLOCK_PROCESS_CPUTIME_ID) - process};
}

Time catTime(const QString &path)
{
    QProcess cat;
    cat.setStandardOutputFile(QProcess::nullDevice());
    const double cpu = childrenCpu();
    const double wall = clockSeconds(CLOCK_MONOTONIC);
    cat.start(QStringLiteral("cat"), {path});
    cat.waitForFinished(-1);
    const double catCpu = childrenCpu() - cpu;
    return {clockSeconds(CLOCK_MONOTONIC) - wall, catCpu, catCpu};
}

QString figure(double s)
{
    return QString::number(s, 'f', 3);
}

// The date of a row ("yyyy-MM-dd hh:mm:ss"): it names the row's second.
QString dateOf(const QString &row)
{
    static const QRegularExpression date(QStringLiteral("\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d"));
    return date.match(row).captured();
}

QString rowAt(CStringListModel &model, int row)
{
    const int block = model.blockForRow(row);
    const QStringList rows = filterRows(model.filter()->matcher(), model.log()->readBlock(block));
    return rows.value(row - model.rowsBefore(block));
}

void runOne(const QString &title, CLog *log, const CFilterPtr &filter, const QString &folder)
{
    CStringListModel model(log, filter);
    model.runFilter();
    const int rows = model.rowCount();
    out() << "[" << title << "] rows " << rows << ", blocks " << model.lastBlock() - model.firstBlock() + 1 << "\n";
    if (rows == 0)
        return;

    struct Find
    {
        const char *what;
        std::function<int()> search;
        int expected;
        Time best;
        bool right = true;
    };
    const QString late = dateOf(rowAt(model, rows - 1));
    const QString early = dateOf(rowAt(model, 0));
    Find finds[] = {
        {"find to the last block:  ", [&] { return model.searchForward(late, -1); },
         model.rowsBefore(model.blockForRow(rows - 1)), {}},
        {"find with no hit:        ",
         [&] { return model.searchForward(QStringLiteral("no such text anywhere"), -1); }, -1, {}},
        {"find back to the first:  ", [&] { return model.searchBackward(early, rows); },
         model.rowsBefore(model.blockForRow(0) + 1) - 1, {}},
    };

    // Each save writes a new file: replacing one adds the freeing of the old
    // file's blocks, which is the file system's work, not the save's.
    const QString saved = folder + QStringLiteral("/saved.txt");
    const qint64 rssBefore = bench::statusKiB("VmRSS");
    const bool peakReset = bench::resetPeak();
    QString error;
    bool ok = true;
    Time count, save, cat;
    for (int round = 0; round < kRounds; ++round) {
        count.take(timed([&] { model.runFilter(); }));
        for (Find &find : finds) {
            int found = -2;
            find.best.take(timed([&] { found = find.search(); }));
            find.right = find.right && found == find.expected;
        }
        QFile::remove(saved);
        save.take(timed([&] { ok = model.saveToFile(saved, &error) && ok; }));
        cat.take(catTime(saved));
    }
    const qint64 peakKiB = bench::statusKiB("VmHWM") - rssBefore;

    out() << "  full count:             wall " << figure(count.wall) << " s, cpu " << figure(count.cpu) << " s\n";
    for (const Find &find : finds)
        out() << "  " << find.what << "wall " << figure(find.best.wall) << " s = "
              << figure(find.best.wall / count.wall) << " x count, cpu " << figure(find.best.cpu) << " s = "
              << figure(find.best.cpu / count.cpu) << " x count" << (find.right ? "" : "  (WRONG ROW!)")
              << "  (target 1.2)\n";
    out() << "  save:                   wall " << figure(save.wall) << " s, cpu " << figure(save.cpu)
          << " s (process " << figure(save.process) << " s)" << (ok ? "" : " FAILED: " + error) << ", "
          << QFileInfo(saved).size() / 1048576.0 << " MiB\n"
          << "  cat of the file:        wall " << figure(cat.wall) << " s, cpu " << figure(cat.cpu) << " s\n"
          << "  save / (count + 2 cat): wall " << figure(save.wall / (count.wall + 2 * cat.wall)) << ", cpu "
          << figure(save.cpu / (count.cpu + 2 * cat.cpu)) << ", process cpu "
          << figure(save.process / (count.cpu + 2 * cat.cpu)) << "  (target 1)\n"
          << "  memory added by save:   +" << peakKiB / 1024.0 << " MiB"
          << (peakReset ? "" : " (peak not reset!)") << "\n";
    out().flush();
    QFile::remove(saved);
}

} // namespace

// The usage, as the head of this file gives it, for --help.
const char kUsage[] =
    "usage: bench_findsave [--records N] [FOLDER]\n"
    "    Generates (or reuses) FOLDER/bench.mlog of N records (default\n"
    "    10 000 000), reads it, and for each filter: times the full count\n"
    "    (a filter run of a model without a view); find forwards from the\n"
    "    top to a hit in the block of the last row, forwards with no hit at\n"
    "    all, and backwards from the end to a hit in the block of the first\n"
    "    row; then saves the result to FOLDER/saved.txt, times `cat` of it\n"
    "    and reports the save against count + 2 x cat, with\n"
    "    the peak memory the save added.\n"
    "\n"
    "Each figure is the best of five rounds, in which every step runs once,\n"
    "as wall time and as CPU time of\n"
    "the thread that does the work (for save also the CPU time of the whole\n"
    "process, whose writing thread runs beside it; for `cat` its own CPU\n"
    "time): on a machine shared with other work the CPU times keep their\n"
    "ratios where the wall times do not.\n";

int main(int argc, char **argv)
{
    if (bench::helpAsked(argc, argv, kUsage))
        return 0;
    bench::Options cli;
    bench::parseOptions(argc, argv, &cli);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vrelview"));
    QDir().mkpath(QFileInfo(CLog::indexFilePath(cli.folder + QStringLiteral("/x.mlog"))).path());

    const QString path = cli.folder + QStringLiteral("/bench.mlog");
    QElapsedTimer t;
    t.start();
    CLog log;
    log.readLog(path);
    if (log.recordCount() != cli.records) {
        MlogGeneratorOptions options;
        options.records = cli.records;
        options.seed = 42;
        QString error;
        if (!generateLog(path, options, &error)) {
            out() << "cannot generate the log: " << error << "\n";
            return 1;
        }
        log.readLog(path);
    }
    out() << "log: " << path << ", " << log.recordCount() << " records, " << QFileInfo(path).size() / 1048576.0
          << " MiB, ready in " << t.elapsed() / 1000.0 << " s\n";
    out().flush();

    CFilterPtr none(new CFilter(QStringLiteral("default")));
    runOne(QStringLiteral("no criteria"), &log, none, cli.folder);
    CFilterPtr refusals(new CFilter(QStringLiteral("refusals")));
    refusals->setLists({{fragments().at(1)}, {}, {}, {}, {}, {}});
    runOne(QStringLiteral("refusals only"), &log, refusals, cli.folder);
    CFilterPtr rare(new CFilter(QStringLiteral("rare")));
    rare->setLists({{}, {}, {}, {}, {}, {QStringLiteral("> \\[f\\] ptrace")}});
    runOne(QStringLiteral("refused ptrace (rare)"), &log, rare, cli.folder);
    return 0;
}
