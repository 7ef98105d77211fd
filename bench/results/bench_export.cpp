// Speed of the export formats, the command line and the summary, each
// against a baseline measured in the same run:
//
//   bench_export [--records N] [FOLDER]
//       Generates (or reuses) FOLDER/bench.mlog of N records (default
//       10 000 000) and, for each filter: the text save, then CSV and JSON
//       Lines against it (target 1.5 x); `cat` of the text file; the filter
//       run and the summary against it (target 1.3 x); and the command
//       line's export as a process (FOLDER/vrelview, or VRELVIEW) against
//       the window's save plus the reading of the log it does first, the
//       index file being there in both (target 1.2 x). With the peak memory
//       each added.
//
// Each figure is the best of five runs, wall time and CPU time of this
// process (for the command line: of the child). The steps of one filter
// take turns, one run of each per round, so that a spell of other work on
// the machine slows all of them alike rather than one; on a machine shared
// with other work the CPU times keep their ratios where the wall times do
// not.
#include <clog.h>
#include <cstringlistmodel.h>
#include <filtermatch.h>
#include <mlogwriter.h>
#include <resultsummary.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>

#include <functional>

#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>

#include "benchsupport.h"

using bench::childrenCpu;
using bench::clockSeconds;
using bench::out;

namespace {

struct Time
{
    double wall = 1e9;
    double cpu = 1e9;
    qint64 peakKiB = 0; // memory the work added at its peak
};

constexpr int kRounds = 5;

struct Step
{
    std::function<void()> work;
    // Run untimed before each run of the step: a save's file of the round
    // before is removed here, so that no save pays for dropping it.
    std::function<void()> prepare = {};
};

// Runs each of `steps` once per round, for kRounds rounds, and gives the
// best time of each.
QVector<Time> measureInTurns(const QVector<Step> &steps)
{
    QVector<Time> best(steps.size());
    for (int round = 0; round < kRounds; ++round) {
        for (int i = 0; i < steps.size(); ++i) {
            if (steps[i].prepare)
                steps[i].prepare();
            const qint64 rss = bench::statusKiB("VmRSS");
            bench::resetPeak();
            const double wall = clockSeconds(CLOCK_MONOTONIC);
            const double cpu = clockSeconds(CLOCK_PROCESS_CPUTIME_ID);
            steps[i].work();
            best[i].wall = std::min(best[i].wall, clockSeconds(CLOCK_MONOTONIC) - wall);
            best[i].cpu = std::min(best[i].cpu, clockSeconds(CLOCK_PROCESS_CPUTIME_ID) - cpu);
            best[i].peakKiB = std::max(best[i].peakKiB, bench::statusKiB("VmHWM") - rss);
        }
    }
    return best;
}

Time measure(const std::function<void()> &work)
{
    return measureInTurns({Step{work}}).first();
}

// `output`, when given, is removed before each run, as a save's file is.
Time processTime(const QString &program, const QStringList &arguments, bool *ok, const QString &output = QString())
{
    Time best;
    for (int i = 0; i < 3; ++i) {
        if (!output.isEmpty())
            QFile::remove(output);
        QProcess p;
        p.setStandardOutputFile(QProcess::nullDevice());
        const double cpu = childrenCpu();
        const double wall = clockSeconds(CLOCK_MONOTONIC);
        p.start(program, arguments);
        *ok = p.waitForFinished(-1) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
        best.wall = std::min(best.wall, clockSeconds(CLOCK_MONOTONIC) - wall);
        best.cpu = std::min(best.cpu, childrenCpu() - cpu);
    }
    struct rusage usage;
    getrusage(RUSAGE_CHILDREN, &usage);
    best.peakKiB = usage.ru_maxrss;
    return best;
}

QString f3(double s)
{
    return QString::number(s, 'f', 3);
}

QString line(const char *what, const Time &t)
{
    return QStringLiteral("  %1 wall %2 s, cpu %3 s, +%4 MiB\n")
        .arg(QLatin1String(what))
        .arg(f3(t.wall))
        .arg(f3(t.cpu))
        .arg(t.peakKiB / 1024.0, 0, 'f', 1);
}

// `target` 0: a figure for comparison, with no target.
QString ratio(const char *what, const Time &t, const Time &base, double target)
{
    return QStringLiteral("  %1 wall %2 x, cpu %3 x%4\n")
        .arg(QLatin1String(what))
        .arg(f3(t.wall / base.wall))
        .arg(f3(t.cpu / base.cpu))
        .arg(target > 0 ? QStringLiteral("  (target %1)").arg(target) : QString());
}

void runOne(const QString &title, const QString &savedName, CLog *log, const CFilterPtr &filter,
            const QString &folder, const QString &program)
{
    CStringListModel model(log, filter);
    model.useFilterRange();
    out() << "[" << title << "]\n";
    QString error;
    const QString text = folder + QStringLiteral("/saved.txt");
    const auto pathOf = [&folder](ExportFormat format) {
        return folder + QStringLiteral("/saved.") + exportFormatName(format);
    };
    int rows = 0;
    qint64 summed = 0;
    const auto removing = [](const QString &path) { return [path] { QFile::remove(path); }; };
    const QVector<Time> times = measureInTurns({
        {[&] { model.saveToFile(text, &error); }, removing(text)},
        {[&] { model.saveToFile(pathOf(ExportFormat::Csv), &error, ExportFormat::Csv); },
         removing(pathOf(ExportFormat::Csv))},
        {[&] { model.saveToFile(pathOf(ExportFormat::JsonLines), &error, ExportFormat::JsonLines); },
         removing(pathOf(ExportFormat::JsonLines))},
        {[&] {
             model.runFilter();
             rows = model.rowCount();
         }},
        {[&] {
             ResultSummary s;
             summed = summarizeRows(&model, &s) == SummaryEnd::Done ? s.rows() : -1;
         }},
    });
    const Time &save = times[0];
    const Time &run = times[3];
    const Time &summary = times[4];
    out() << line("text save:   ", save) << "    " << QFileInfo(text).size() / 1048576.0 << " MiB\n";
    for (const ExportFormat format : {ExportFormat::Csv, ExportFormat::JsonLines}) {
        const bool csv = format == ExportFormat::Csv;
        const Time &t = times[csv ? 1 : 2];
        out() << line(csv ? "csv save:    " : "jsonl save:  ", t) << "    " << QFileInfo(pathOf(format)).size() / 1048576.0
              << " MiB\n"
              << ratio(csv ? "csv / text:  " : "jsonl / text:", t, save, 1.5);
        QFile::remove(pathOf(format));
    }
    bool ok = true;
    const Time cat = processTime(QStringLiteral("cat"), {text}, &ok);
    out() << line("cat of text: ", cat);
    out() << line("filter run:  ", run) << "    " << rows << " rows\n";
    out() << line("summary:     ", summary) << ratio("summary / run:", summary, run, 1.3)
          << ratio("summary / text save:", summary, save, 0) << (summed == rows ? "" : "    ROWS DIFFER!\n");
    out().flush();

    if (program.isEmpty())
        return;
    // The window's path: read the log (index file there), then save.
    const Time read = measure([&] {
        CLog again;
        again.readLog(log->logPath());
    });
    Time windowSide;
    windowSide.wall = read.wall + save.wall;
    windowSide.cpu = read.cpu + save.cpu;
    QStringList arguments{QStringLiteral("--export"), folder + QStringLiteral("/cli.txt")};
    if (!savedName.isEmpty())
        arguments << QStringLiteral("--filter") << savedName;
    arguments << log->logPath();
    const Time cli = processTime(program, arguments, &ok, folder + QStringLiteral("/cli.txt"));
    const bool same = ok && QFile(text).size() == QFile(folder + QStringLiteral("/cli.txt")).size();
    out() << line("read log:    ", read) << line("command line:", cli)
          << ratio("cli / (read + save):", cli, windowSide, 1.2) << "    peak RSS of the command "
          << cli.peakKiB / 1024.0 << " MiB" << (same ? "" : "  OUTPUT DIFFERS OR FAILED!") << "\n";
    out().flush();
    QFile::remove(folder + QStringLiteral("/cli.txt"));
    QFile::remove(text);
}

} // namespace

// The usage, as the head of this file gives it, for --help.
const char kUsage[] =
    "usage: bench_export [--records N] [FOLDER]\n"
    "    Generates (or reuses) FOLDER/bench.mlog of N records (default\n"
    "    10 000 000) and, for each filter: the text save, then CSV and JSON\n"
    "    Lines against it (target 1.5 x); `cat` of the text file; the filter\n"
    "    run and the summary against it (target 1.3 x); and the command\n"
    "    line's export as a process (FOLDER/vrelview, or VRELVIEW) against\n"
    "    the window's save plus the reading of the log it does first, the\n"
    "    index file being there in both (target 1.2 x). With the peak memory\n"
    "    each added.\n"
    "\n"
    "Each figure is the best of five runs, wall time and CPU time of this\n"
    "process (for the command line: of the child). The steps of one filter\n"
    "take turns, one run of each per round, so that a spell of other work on\n"
    "the machine slows all of them alike rather than one; on a machine shared\n"
    "with other work the CPU times keep their ratios where the wall times do\n"
    "not.\n";

int main(int argc, char **argv)
{
    if (bench::helpAsked(argc, argv, kUsage))
        return 0;
    bench::Options cli;
    bench::parseOptions(argc, argv, &cli);
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("vrel"));
    QCoreApplication::setApplicationName(QStringLiteral("vrelview"));
    QDir().mkpath(QFileInfo(CLog::indexFilePath(cli.folder + QStringLiteral("/x.mlog"))).path());
    QString program = qEnvironmentVariable("VRELVIEW");
    if (program.isEmpty())
        program = QCoreApplication::applicationDirPath() + QStringLiteral("/vrelview");
    if (!QFileInfo(program).isExecutable())
        program.clear();

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
    runOne(QStringLiteral("no criteria"), QString(), &log, none, cli.folder, program);
    CFilterPtr refusals(new CFilter(QStringLiteral("benchrefusals")));
    refusals->setLists({{fragments().at(1)}, {}, {}, {}, {}, {}});
    // The command line finds it among the saved filters of the benchmark's home.
    refusals->save(refusals->name);
    runOne(QStringLiteral("refusals only"), refusals->name, &log, refusals, cli.folder, program);
    return 0;
}
