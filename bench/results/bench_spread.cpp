// Cost of the summary and the CSV save when the rows have millions of
// different users or hours, against the same on rows of few users and few
// hours, in one run:
//
//   bench_spread [--records N] [FOLDER]
//       Generates (or reuses) in FOLDER three logs of N records (default
//       1 000 000): few.mlog (the generator's few users, bursts of records),
//       uids.mlog (every record another user id that no database knows) and
//       hours.mlog (every record in another hour). For each: the summary and
//       the CSV save, each against the same on few.mlog (target 2 x), with
//       the peak memory each added.
//
// Each figure is the best of three runs after one to warm up, the steps
// taking turns, wall time and CPU time of this process.
#include <clog.h>
#include <cstringlistmodel.h>
#include <mlogwriter.h>
#include <resultsummary.h>

#include <QCoreApplication>
#include <QFileInfo>

#include <functional>

#include "benchsupport.h"

using bench::clockSeconds;
using bench::out;

namespace {

struct Time
{
    double wall = 1e9;
    double cpu = 1e9;
    qint64 peakKiB = 0;
};

QString f3(double s)
{
    return QString::number(s, 'f', 3);
}

bool ensureLog(const QString &path, qint64 records, qint64 uids, quint32 apart)
{
    CLog log;
    log.readLog(path);
    if (log.recordCount() == records)
        return true;
    MlogGeneratorOptions options;
    options.records = records;
    options.seed = 42;
    options.distinctUids = uids;
    options.secondsApart = apart;
    options.start = QDateTime::fromSecsSinceEpoch(apart > 0 ? 315532800 : 1767225600);
    QString error;
    if (!generateLog(path, options, &error)) {
        out() << "cannot generate " << path << ": " << error << "\n";
        return false;
    }
    return true;
}

} // namespace

const char kUsage[] =
    "usage: bench_spread [--records N] [FOLDER]\n"
    "    Generates (or reuses) in FOLDER three logs of N records (default\n"
    "    1 000 000): few.mlog (the generator's few users, bursts of records),\n"
    "    uids.mlog (every record another user id that no database knows) and\n"
    "    hours.mlog (every record in another hour). For each: the summary and\n"
    "    the CSV save, each against the same on few.mlog (target 2 x), with\n"
    "    the peak memory each added.\n"
    "\n"
    "Each figure is the best of three runs after one to warm up, the steps\n"
    "taking turns, wall time and CPU time of this process.\n";

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

    struct Case
    {
        const char *name;
        qint64 uids;
        quint32 apart;
    };
    const Case cases[] = {{"few", 0, 0}, {"uids", cli.records, 0}, {"hours", 0, 3600}};
    std::vector<std::unique_ptr<CLog>> logs;
    std::vector<std::unique_ptr<CStringListModel>> models;
    const CFilterPtr none(new CFilter(QStringLiteral("default")));
    for (const Case &c : cases) {
        const QString path = cli.folder + QStringLiteral("/%1.mlog").arg(QLatin1String(c.name));
        if (!ensureLog(path, cli.records, c.uids, c.apart))
            return 1;
        logs.push_back(std::make_unique<CLog>());
        logs.back()->readLog(path);
        models.push_back(std::make_unique<CStringListModel>(logs.back().get(), none));
        models.back()->useFilterRange();
        out() << "log: " << path << ", " << logs.back()->recordCount() << " records, "
              << QFileInfo(path).size() / 1048576.0 << " MiB\n";
    }
    out().flush();

    // Steps: summary and CSV save of each log, in turns.
    const int n = int(std::size(cases));
    std::vector<Time> best(size_t(2 * n));
    std::vector<qint64> rows(size_t(n), 0);
    const QString csv = cli.folder + QStringLiteral("/saved.csv");
    // Round 0 warms up and is not counted: the first walk of each log also
    // keeps its block summaries (tens of bytes a second of records), which
    // is the memory of the log's index, not of the summary or the save.
    for (int round = 0; round < 4; ++round) {
        for (int step = 0; step < 2 * n; ++step) {
            CStringListModel *model = models[size_t(step / 2)].get();
            QFile::remove(csv);
            const qint64 rss = bench::statusKiB("VmRSS");
            bench::resetPeak();
            const double wall = clockSeconds(CLOCK_MONOTONIC);
            const double cpu = clockSeconds(CLOCK_PROCESS_CPUTIME_ID);
            if (step % 2 == 0) {
                ResultSummary s;
                rows[size_t(step / 2)] = summarizeRows(model, &s) == SummaryEnd::Done ? s.rows() : -1;
            } else {
                QString error;
                model->saveToFile(csv, &error, ExportFormat::Csv);
            }
            if (round == 0)
                continue;
            Time &t = best[size_t(step)];
            t.wall = std::min(t.wall, clockSeconds(CLOCK_MONOTONIC) - wall);
            t.cpu = std::min(t.cpu, clockSeconds(CLOCK_PROCESS_CPUTIME_ID) - cpu);
            t.peakKiB = std::max(t.peakKiB, bench::statusKiB("VmHWM") - rss);
        }
    }
    QFile::remove(csv);
    for (int i = 0; i < n; ++i) {
        for (int kind = 0; kind < 2; ++kind) {
            const Time &t = best[size_t(2 * i + kind)];
            const Time &base = best[size_t(kind)];
            out() << QStringLiteral("  %1 %2: wall %3 s, cpu %4 s, +%5 MiB")
                         .arg(QLatin1String(cases[i].name), -5)
                         .arg(kind == 0 ? QStringLiteral("summary ") : QStringLiteral("csv save"))
                         .arg(f3(t.wall))
                         .arg(f3(t.cpu))
                         .arg(t.peakKiB / 1024.0, 0, 'f', 1);
            if (i > 0)
                out() << QStringLiteral("; / few: wall %1 x, cpu %2 x (target 2)").arg(f3(t.wall / base.wall), f3(t.cpu / base.cpu));
            if (kind == 0 && rows[size_t(i)] != cli.records)
                out() << "  ROWS DIFFER!";
            out() << "\n";
        }
    }
    return 0;
}
