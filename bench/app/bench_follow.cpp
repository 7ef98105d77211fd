// Following a growing log in the window (offscreen), as a writer appends.
//
//   bench_follow [--records N] [--seconds S] [FOLDER]
//       Generates a log of N records (default 10 000 000) in FOLDER (default:
//       a temporary folder; an existing FOLDER/follow.mlog is generated
//       afresh), opens it in the window with View > Follow log on, and for
//       the default filter and "refusals only" lets a writer thread append
//       records stamped with the current second at 100, 10 000 and 100 000
//       records a second for S seconds (default 60). Reports the time from a
//       write to its row being in the model (median and worst), the longest
//       turn of the event loop in processor time of the window's thread, the
//       growth of resident memory beside what the new index entries and
//       block counts take, and whether the rows then equal a fresh run's over
//       the grown log; then the window thread's processor time over 10 s in
//       which the followed log does not change. Baseline: `cat` of the bytes
//       appended, timed in the same run.
#include <clog.h>
#include <cstringlistmodel.h>
#include <filtermatch.h>
#include <mainwindow.h>
#include <mlogwriter.h>

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QScrollBar>
#include <QSettings>
#include <QTabWidget>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include <time.h>

#include "benchsupport.h"

using bench::catSeconds;
using bench::out;
using bench::statusKiB;

namespace {

qint64 monotonicNs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

qint64 threadCpuNs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// Runs the event loop for `ms` milliseconds.
void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Appends records stamped with the current second at `rate` a second, in
// batches every 10 ms; every tenth record is a refusal. Notes when each
// batch was written and how many records had been written then.
class Writer
{
public:
    struct Batch
    {
        qint64 writtenNs;
        qint64 records; // records written by the end of the batch
    };

    Writer(const QString &path, int rate, int seconds) : m_path(path), m_rate(rate), m_seconds(seconds) {}
    void start()
    {
        m_thread = std::thread([this] { run(); });
    }
    void join()
    {
        if (m_thread.joinable())
            m_thread.join();
    }
    std::vector<Batch> batches()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_batches;
    }
    qint64 bytes() const { return m_bytes; }

private:
    void run()
    {
        QFile file(m_path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
            return;
        const qint64 start = monotonicNs();
        const qint64 end = start + qint64(m_seconds) * 1000000000;
        qint64 written = 0;
        MlogRecord record;
        record.kind = 2;
        record.subject[2] = 1000;
        for (qint64 now = start; now < end; now = monotonicNs()) {
            const qint64 due = qint64(double(now - start) / 1e9 * m_rate);
            QByteArray bytes;
            const quint32 second = quint32(QDateTime::currentSecsSinceEpoch());
            for (; written < due; ++written) {
                record.time = second;
                record.status = written % 10 == 0 ? 1 : 0;
                record.payload = "/srv/data/file" + QByteArray::number(written) + " op=write";
                bytes += encodeRecord(record);
            }
            if (!bytes.isEmpty()) {
                file.write(bytes);
                file.flush();
                m_bytes += bytes.size();
                std::lock_guard<std::mutex> lock(m_mutex);
                m_batches.push_back({monotonicNs(), written});
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }

    QString m_path;
    int m_rate;
    int m_seconds;
    std::thread m_thread;
    std::mutex m_mutex;
    std::vector<Batch> m_batches;
    std::atomic<qint64> m_bytes{0};
};

CStringListModel *currentModel(mainWindow &window)
{
    auto *tabs = window.findChild<QTabWidget *>(QStringLiteral("twLogResult"));
    auto *view = tabs ? qobject_cast<QAbstractItemView *>(tabs->currentWidget()) : nullptr;
    return view ? qobject_cast<CStringListModel *>(view->model()) : nullptr;
}

} // namespace

// The usage, as the head of this file gives it, for --help.
const char kUsage[] =
    "usage: bench_follow [--records N] [--seconds S] [FOLDER]\n"
    "    Generates a log of N records (default 10 000 000) in FOLDER (default:\n"
    "    a temporary folder; an existing FOLDER/follow.mlog is generated\n"
    "    afresh), opens it in the window with View > Follow log on, and for\n"
    "    the default filter and \"refusals only\" lets a writer thread append\n"
    "    records stamped with the current second at 100, 10 000 and 100 000\n"
    "    records a second for S seconds (default 60). Reports the time from a\n"
    "    write to its row being in the model (median and worst), the longest\n"
    "    turn of the event loop in processor time of the window's thread, the\n"
    "    growth of resident memory beside what the new index entries and\n"
    "    block counts take, and whether the rows then equal a fresh run's over\n"
    "    the grown log; then the window thread's processor time over 10 s in\n"
    "    which the followed log does not change. Baseline: `cat` of the bytes\n"
    "    appended, timed in the same run.\n";

int main(int argc, char **argv)
{
    if (bench::helpAsked(argc, argv, kUsage))
        return 0;
    int seconds = 60;
    std::vector<char *> rest;
    for (int i = 0; i < argc; ++i) {
        if (qstrcmp(argv[i], "--seconds") == 0 && i + 1 < argc)
            seconds = std::max(1, atoi(argv[++i]));
        else
            rest.push_back(argv[i]);
    }
    bench::Options cli;
    bench::parseOptions(int(rest.size()), rest.data(), &cli);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("vrel-bench"));
    QCoreApplication::setApplicationName(QStringLiteral("vrelview"));
    QDir().mkpath(QFileInfo(CLog::indexFilePath(cli.folder + "/x.mlog")).path());

    const QString path = cli.folder + "/follow.mlog";
    QElapsedTimer t;
    t.start();
    {
        MlogGeneratorOptions options;
        options.records = cli.records;
        options.seed = 42;
        // The log ends a minute ago: the records appended follow it.
        options.start = QDateTime::currentDateTime().addSecs(-60 - cli.records / 50);
        QString error;
        QFile::remove(path);
        QFile::remove(CLog::indexFilePath(path));
        if (!generateLog(path, options, &error)) {
            out() << "cannot generate the log: " << error << "\n";
            return 1;
        }
        // Quiet spells make the log span more than its mean rate says; one
        // that ended in the future would take every record appended into
        // its last block. The same seed moved back ends it a minute ago.
        const qint64 over = CLog::lastRecordDate(path).secsTo(QDateTime::currentDateTime().addSecs(-60));
        if (over < 0) {
            options.start = options.start.addSecs(over);
            QFile::remove(path);
            if (!generateLog(path, options, &error)) {
                out() << "cannot generate the log: " << error << "\n";
                return 1;
            }
        }
    }
    out() << "log: " << cli.records << " records, " << QFileInfo(path).size() / 1048576.0 << " MiB, ready in "
          << t.elapsed() / 1000.0 << " s\n";
    QFile loadavg(QStringLiteral("/proc/loadavg"));
    if (loadavg.open(QIODevice::ReadOnly))
        out() << "load average: " << loadavg.readLine().trimmed() << " on " << QThread::idealThreadCount()
              << " cores\n";
    out() << "writing for " << seconds << " s per rate\n";
    out().flush();

    QSettings().setValue(QStringLiteral("VrelGeometry/follow"), true);
    mainWindow window;
    window.memAvailableSource = nullptr; // no question before a large log
    window.resize(1000, 700);
    window.show();
    window.openLogPath(path);

    struct FilterCase
    {
        const char *name;
        QList<QStringList> lists;
    };
    const FilterCase filters[] = {{"default", {}}, {"refusals only", {{fragments().at(1)}, {}, {}, {}, {}, {}}}};
    const int rates[] = {100, 10000, 100000};

    for (const FilterCase &filter : filters) {
        filterList().first()->setLists(filter.lists);
        for (int rate : rates) {
            QMetaObject::invokeMethod(&window, "actionResultsPress", Qt::DirectConnection);
            CStringListModel *model = currentModel(window);
            auto *view = qobject_cast<QAbstractItemView *>(model ? model->parent() : nullptr);
            if (!model || !view) {
                out() << "no model\n";
                return 1;
            }
            view->verticalScrollBar()->setValue(view->verticalScrollBar()->maximum());
            const bool everyRecord = filter.lists.isEmpty();
            const int rowsAtStart = model->rowCount();

            // When each row count was first seen.
            std::vector<std::pair<qint64, int>> seen;
            QObject::connect(model, &QAbstractItemModel::rowsInserted, model,
                             [&seen, model] { seen.emplace_back(monotonicNs(), model->rowCount()); });
            // The longest turn in processor time: a 10 ms timer notes the
            // thread's processor time between its calls.
            qint64 longestTurnNs = 0;
            qint64 lastCpu = threadCpuNs();
            QTimer tick;
            tick.setTimerType(Qt::PreciseTimer);
            QObject::connect(&tick, &QTimer::timeout, [&] {
                const qint64 cpu = threadCpuNs();
                longestTurnNs = std::max(longestTurnNs, cpu - lastCpu);
                lastCpu = cpu;
            });
            runFor(300);
            const qint64 rssBefore = statusKiB("VmRSS");
            const int blocksBefore = window.logReader()->blockCount();
            tick.start(10);
            Writer writer(path, rate, seconds);
            writer.start();
            runFor(seconds * 1000);
            writer.join();
            const std::vector<Writer::Batch> batches = writer.batches();
            const qint64 written = batches.empty() ? 0 : batches.back().records;
            const int expected = rowsAtStart + int(everyRecord ? written : (written + 9) / 10);
            QElapsedTimer settle;
            settle.start();
            while (model->rowCount() < expected && settle.elapsed() < 10000)
                runFor(20);
            tick.stop();
            const qint64 rssGrowthKiB = statusKiB("VmRSS") - rssBefore;
            const qint64 newBlocks = window.logReader()->blockCount() - blocksBefore;

            // Latency of each record: from its batch's write to the first
            // row count that holds its row.
            std::vector<double> latencies;
            size_t s = 0;
            qint64 recordsBefore = 0;
            for (const Writer::Batch &batch : batches) {
                const int lastRow =
                    rowsAtStart + int(everyRecord ? batch.records : (batch.records + 9) / 10) - 1;
                while (s < seen.size() && seen[s].second <= lastRow)
                    ++s;
                const double ms = s < seen.size() ? (seen[s].first - batch.writtenNs) / 1e6 : 1e9;
                const qint64 rowsOfBatch =
                    everyRecord ? batch.records - recordsBefore : (batch.records + 9) / 10 - (recordsBefore + 9) / 10;
                for (qint64 i = 0; i < rowsOfBatch; ++i)
                    latencies.push_back(ms);
                recordsBefore = batch.records;
            }
            std::sort(latencies.begin(), latencies.end());
            const double median = latencies.empty() ? 0 : latencies[latencies.size() / 2];
            const double worst = latencies.empty() ? 0 : latencies.back();

            // The rows against a fresh run over the grown log.
            CLog fresh;
            fresh.readLog(path);
            CStringListModel freshModel(&fresh, filterList().first());
            freshModel.runFilter();
            const bool equal = freshModel.rowCount() == model->rowCount()
                               && freshModel.blockCounts() == model->blockCounts();
            const QString tempCat = cli.folder + "/appended.bin";
            {
                QFile whole(path);
                QFile part(tempCat);
                if (whole.open(QIODevice::ReadOnly) && part.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
                    whole.seek(whole.size() - writer.bytes());
                    part.write(whole.readAll());
                }
            }
            const double cat = catSeconds(tempCat, 1);
            QFile::remove(tempCat);
            // An index entry and a block's count and row offset per new block.
            const double expectedKiB = double(newBlocks) * (16 + 8) / 1024.0;
            out() << filter.name << ", " << rate << " records/s: " << written << " written, " << model->rowCount() - rowsAtStart
                  << " rows added; write to row: median " << median << " ms, worst " << worst
                  << " ms; longest turn " << longestTurnNs / 1e6 << " ms processor time; memory +"
                  << rssGrowthKiB << " KiB (new index entries and counts " << expectedKiB << " KiB); rows "
                  << (equal ? "equal" : "DIFFER from") << " a fresh run's (" << freshModel.rowCount() << "); cat of the "
                  << writer.bytes() / 1048576.0 << " MiB appended " << cat << " s\n";
            out().flush();
        }
    }

    // Processor time of the window's thread while the followed log is still.
    runFor(1000);
    const qint64 cpuStart = threadCpuNs();
    QElapsedTimer idle;
    idle.start();
    runFor(10000);
    const double share = double(threadCpuNs() - cpuStart) / double(idle.nsecsElapsed()) * 100.0;
    out() << "unchanging followed log: " << share << " % of one core over " << idle.elapsed() / 1000.0 << " s\n";
    QSettings().remove(QStringLiteral("VrelGeometry/follow"));
    return 0;
}
