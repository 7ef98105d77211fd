// Scan speed of the log reader against reading the same log with `cat`.
//
//   bench_scan [--records N] [FOLDER]
//       Generates a log of N records (default 10 000 000, about 1 GiB) in
//       FOLDER (default: a temporary folder; a log left there by an earlier
//       run is used again). Then, three runs of: `cat LOG >/dev/null` with a
//       warm page cache (best of 3), a full readLog with no index file, the
//       readLog of the same reader after 1% more records were appended, and
//       after another 1% the readLog of a fresh reader that starts from the
//       index file. Then the log, unchanged since that index was written,
//       is reopened by a fresh reader and scanned in full without its index
//       file, both with a warm page cache and with the log's pages dropped
//       from it first (posix_fadvise DONTNEED). Each run's figures are given
//       as ratios to its own full scan and its own cat, and the processor
//       time of the reads as ratios to the full scan's; then the median of
//       the three, and the scan's peak memory.
//   bench_scan --huge [FOLDER]
//       Writes a sparse log of 5 GiB with records at its start and past
//       4 GiB, scans it in full and prints the time index.
#include <clog.h>
#include <mlogwriter.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>
#include <QVector>

#include <sys/resource.h>

#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "benchsupport.h"

using bench::catSeconds;
using bench::out;
using bench::resetPeak;
using bench::statusKiB;

namespace {

// Puts the written pages of a file on the disk, as they are for a log that
// was written yesterday, and with `drop` drops all its pages from the page
// cache, so that the next read of it comes from the disk.
bool settle(const QString &path, bool drop)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fdatasync(fd) == 0 && (!drop || ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED) == 0);
    ::close(fd);
    return ok;
}

// Seconds of processor time this thread has used so far. On a machine
// shared with other work a read of a few milliseconds waits for a core
// longer than it runs: its processor time tells what the reader costs.
double cpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + t.tv_nsec / 1e9;
}

// Seconds of a readLog of `path` by `log` (its processor time to `cpu`).
double timedRead(CLog &log, const QString &path, double *cpu = nullptr)
{
    QElapsedTimer t;
    t.start();
    const double before = cpuSeconds();
    log.readLog(path);
    if (cpu)
        *cpu = cpuSeconds() - before;
    return t.nsecsElapsed() / 1e9;
}

// Seconds of a readLog of `path` by a fresh reader.
double readSeconds(const QString &path, int *records = nullptr, double *cpu = nullptr)
{
    CLog log;
    const double seconds = timedRead(log, path, cpu);
    if (records)
        *records = log.recordCount();
    return seconds;
}

int huge(const QString &folder)
{
    const QString path = folder + "/huge.mlog";
    const qint64 far = (qint64(5) << 30) - (1 << 20);
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 1;
        MlogRecord r;
        r.kind = 2;
        r.payload = "/var/lib/huge";
        for (quint32 i = 0; i < 4; ++i) {
            r.time = 1800000000 + i / 2;
            f.write(encodeRecord(r));
        }
        f.resize(far);
        f.seek(far);
        for (quint32 i = 0; i < 4; ++i) {
            r.time = 1800000100 + i / 2;
            f.write(encodeRecord(r));
        }
    }
    QFile::remove(CLog::indexFilePath(path));
    CLog log;
    int maximum = 0;
    int last = -1;
    QObject::connect(&log, &CLog::valueMaximum, [&](int m) { maximum = m; });
    QObject::connect(&log, &CLog::valueChanged, [&](int v) { last = v; });
    QElapsedTimer t;
    t.start();
    log.readLog(path);
    out() << "sparse log " << QFileInfo(path).size() << " bytes scanned in "
          << t.elapsed() / 1000.0 << " s; records " << log.recordCount() << "; progress max "
          << maximum << ", last " << last << "\n";
    const QMap<quint32, qint64> &index = log.timeIndex();
    for (auto it = index.cbegin(); it != index.cend(); ++it)
        out() << "  " << it.key() << " -> " << it.value() << "  "
              << log.readBlock(int(std::distance(index.cbegin(), it))).value(0) << "\n";
    out().flush();
    QFile::remove(path);
    return 0;
}

} // namespace

// The usage, as the head of this file gives it, for --help.
const char kUsage[] =
    "usage: bench_scan [--records N] [FOLDER]\n"
    "    Generates a log of N records (default 10 000 000, about 1 GiB) in\n"
    "    FOLDER (default: a temporary folder; a log left there by an earlier\n"
    "    run is used again). Then, three runs of: `cat LOG >/dev/null` with a\n"
    "    warm page cache (best of 3), a full readLog with no index file, the\n"
    "    readLog of the same reader after 1% more records were appended, and\n"
    "    after another 1% the readLog of a fresh reader that starts from the\n"
    "    index file. Then the log, unchanged since that index was written,\n"
    "    is reopened by a fresh reader and scanned in full without its index\n"
    "    file, both with a warm page cache and with the log's pages dropped\n"
    "    from it first (posix_fadvise DONTNEED). Each run's figures are given\n"
    "    as ratios to its own full scan and its own cat, and the processor\n"
    "    time of the reads as ratios to the full scan's; then the median of\n"
    "    the three, and the scan's peak memory.\n"
    "bench_scan --huge [FOLDER]\n"
    "    Writes a sparse log of 5 GiB with records at its start and past\n"
    "    4 GiB, scans it in full and prints the time index.\n";

int main(int argc, char **argv)
{
    if (bench::helpAsked(argc, argv, kUsage))
        return 0;
    bench::Options cli;
    bench::parseOptions(argc, argv, &cli);
    const QString folder = cli.folder;
    const qint64 records = cli.records;
    const bool hugeRun = cli.huge;
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("vrelview");
    QDir().mkpath(QFileInfo(CLog::indexFilePath(folder + "/x.mlog")).path());

    if (hugeRun)
        return huge(folder);

    const QString path = folder + "/bench.mlog";
    MlogGeneratorOptions options;
    options.records = records;
    options.seed = 42;
    QString error;
    QElapsedTimer t;
    t.start();
    // A log left by an earlier run in FOLDER is used again as it is.
    if (!QFile::exists(path) && !generateLog(path, options, &error)) {
        out() << "cannot generate the log: " << error << "\n";
        return 1;
    }
    const qint64 size = QFileInfo(path).size();
    out() << "log: " << path << ", " << records << " records, " << size / 1048576.0
          << " MiB, generated in " << t.elapsed() / 1000.0 << " s\n";
    out().flush();

    catSeconds(path); // warms the page cache

    struct Run
    {
        double cat = 0, full = 0, same = 0, fresh = 0;
        double reopen = 0, reopenCold = 0, fullNow = 0, fullCold = 0;
        // Processor time of the same reads.
        double fullCpu = 0, sameCpu = 0, freshCpu = 0, reopenCpu = 0;
    };
    QVector<Run> runs;
    qint64 rssBefore = 0;
    qint64 peak = 0;
    bool peakReset = false;
    int fullCount = 0;
    int blocks = 0;
    int fullSteps = 0;
    for (int run = 0; run < 3; ++run) {
        Run r;
        QFile::resize(path, size); // every run starts from the same log
        r.cat = catSeconds(path, 3);

        // A full scan by a fresh reader with no index file.
        QFile::remove(CLog::indexFilePath(path));
        auto log = std::make_unique<CLog>();
        rssBefore = statusKiB("VmRSS");
        peakReset = resetPeak();
        fullSteps = 0;
        QObject::connect(log.get(), &CLog::valueChanged, [&fullSteps](int) { ++fullSteps; });
        r.full = timedRead(*log, path, &r.fullCpu);
        peak = statusKiB("VmHWM");
        QObject::disconnect(log.get(), &CLog::valueChanged, nullptr, nullptr);
        fullCount = log->recordCount();
        blocks = log->blockCount();

        // 1% more records, read again by the same reader (a live log
        // refreshed in the viewer) and, after another 1%, by a fresh one
        // that starts from the index file (the viewer started again).
        MlogGeneratorOptions more = options;
        more.records = records / 100;
        more.append = true;
        more.seed = 43 + run;
        if (!generateLog(path, more, &error)) {
            out() << "cannot append: " << error << "\n";
            return 1;
        }
        catSeconds(path);
        r.same = timedRead(*log, path, &r.sameCpu);

        more.seed = 53 + run;
        if (!generateLog(path, more, &error)) {
            out() << "cannot append: " << error << "\n";
            return 1;
        }
        catSeconds(path);
        CLog fresh;
        r.fresh = timedRead(fresh, path, &r.freshCpu);

        // The log has not changed since the fresh reader wrote its index:
        // reopened as after a restart, warm and cold, and the full scans of
        // the same log to compare with.
        int reopened = 0, scanned = 0;
        r.reopen = readSeconds(path, &reopened, &r.reopenCpu);

        if (!settle(path, true)) {
            out() << "cannot drop the log's pages from the cache\n";
            return 1;
        }
        r.reopenCold = readSeconds(path);
        QFile::remove(CLog::indexFilePath(path));
        settle(path, true);
        r.fullCold = readSeconds(path, &scanned);
        QFile::remove(CLog::indexFilePath(path));
        r.fullNow = readSeconds(path);
        if (reopened != scanned) {
            out() << "the reopen counted " << reopened << " records, the full scan " << scanned << "\n";
            return 1;
        }
        runs << r;
        out() << "run " << run + 1 << ": cat " << r.cat << " s; full scan " << r.full << " s = "
              << r.full / r.cat << " x cat; rescan +1% same reader " << r.same * 1000 << " ms = "
              << 100 * r.same / r.full << " % of full = " << r.same / r.cat
              << " x cat; rescan +1% fresh reader " << r.fresh * 1000 << " ms = "
              << 100 * r.fresh / r.full << " % of full = " << r.fresh / r.cat << " x cat; reopen unchanged "
              << r.reopen * 1000 << " ms = " << 100 * r.reopen / r.fullNow << " % of full " << r.fullNow * 1000
              << " ms; cold " << r.reopenCold * 1000 << " ms = " << 100 * r.reopenCold / r.fullCold
              << " % of cold full " << r.fullCold * 1000 << " ms; processor time: full scan " << r.fullCpu * 1000
              << " ms, rescan +1% same reader " << 100 * r.sameCpu / r.fullCpu << " %, fresh reader "
              << 100 * r.freshCpu / r.fullCpu << " %, reopen unchanged " << 100 * r.reopenCpu / r.fullCpu << " %\n";
        out().flush();
    }
    QFile::resize(path, size); // the next run in FOLDER starts from the same log
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const qint64 indexKiB = qint64(blocks) * 16 / 1024; // the reader's entry vector
    const qint64 beyond = peakReset ? peak - rssBefore - indexKiB : -1;
    const auto median = [&runs](double Run::*a, double Run::*b) {
        QVector<double> v;
        for (const Run &r : runs)
            v << r.*a / r.*b;
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };

    out() << "median of 3 runs: full scan " << median(&Run::full, &Run::cat) << " x cat (target <= 2), "
          << size / 1048576.0 / runs[0].full << " MiB/s, " << fullCount << " records, " << blocks
          << " blocks, " << fullSteps << " progress steps\n"
          << "  rescan after +1%, same reader: " << 100 * median(&Run::same, &Run::full)
          << " % of full (target <= 5), " << median(&Run::same, &Run::cat) << " x cat\n"
          << "  rescan after +1%, fresh reader from the index file: " << 100 * median(&Run::fresh, &Run::full)
          << " % of full (target <= 8), " << median(&Run::fresh, &Run::cat) << " x cat\n"
          << "  reopen of the unchanged log with its index: " << 100 * median(&Run::reopen, &Run::fullNow)
          << " % of full (target <= 2); log's pages dropped first: " << 100 * median(&Run::reopenCold, &Run::fullCold)
          << " % of the cold full scan (target <= 5)\n"
          << "  processor time against the full scan's: rescan same reader " << 100 * median(&Run::sameCpu, &Run::fullCpu)
          << " %, fresh reader " << 100 * median(&Run::freshCpu, &Run::fullCpu) << " %, reopen unchanged "
          << 100 * median(&Run::reopenCpu, &Run::fullCpu) << " %\n"
          << "time index: " << blocks << " entries, " << indexKiB << " KiB\n"
          << "scan peak memory beyond the time index: " << beyond / 1024.0
          << " MiB (target < 64; RSS before " << rssBefore / 1024.0 << " MiB, peak during scan "
          << peak / 1024.0 << " MiB)\n"
          << "process ru_maxrss: " << usage.ru_maxrss / 1024.0 << " MiB\n";
    out().flush();
    return 0;
}
