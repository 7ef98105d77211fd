// Speed and size of filter runs and scroll jumps on a large log, against
// `grep -c` over a text dump of the same records.
//
//   bench_results [--records N] [FOLDER]
//       Generates a log of N records (default 10 000 000, about 1 GiB;
//       30 000 000 for the large case) in FOLDER (default: a temporary
//       folder; an existing FOLDER/bench.mlog of the same record count is
//       reused), reads it, dumps its record texts to a file and times
//       `grep -c` over the dump. Then, in a result view (offscreen), runs the
//       model with no criteria, with a refusals-only filter and with a rare
//       match: time until the first rows are painted, time until counting
//       ends, the longest turn of the event loop during the run and after
//       it, peak memory above the memory after the read, and the time until
//       a jump of the scroll bar to the middle and to the end has its rows
//       loaded and painted; then a run with a back-reference that costs
//       milliseconds per record, cancelled after 2 s: the longest time
//       without a turn and how long the run went on after the cancel.
//       Prints seconds and ratios to grep.
#include <clog.h>
#include <cstringlistmodel.h>
#include <filtermatch.h>
#include <mlogwriter.h>

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>
#include <QTimer>

#include <functional>
#include <memory>

#include <time.h>

#include "resultview.h"
#include "timelinestrip.h"

#include "benchsupport.h"

using bench::out;
using bench::resetPeak;
using bench::statusKiB;

namespace {

struct Grep
{
    double seconds = 0;
    qint64 count = -1;
};

Grep grepCount(const QStringList &args)
{
    Grep best;
    best.seconds = 1e9;
    for (int i = 0; i < 3; ++i) {
        QElapsedTimer t;
        t.start();
        QProcess grep;
        grep.start("grep", args);
        grep.waitForFinished(-1);
        const double s = t.nsecsElapsed() / 1e9;
        if (s < best.seconds)
            best.seconds = s;
        best.count = grep.readAllStandardOutput().trimmed().toLongLong();
    }
    return best;
}

QString ratio(double seconds, double base)
{
    return QString("%1 s = %2 x grep").arg(seconds, 0, 'f', 4).arg(seconds / base, 0, 'f', 3);
}

// The model's own peak memory, with no view laying out its rows.
void runBare(CLog *log, const CFilterPtr &filter, double grep)
{
    const qint64 rssBefore = statusKiB("VmRSS");
    const bool peakReset = resetPeak();
    CStringListModel model(log, filter);
    QElapsedTimer t;
    t.start();
    model.runFilter();
    const double count = t.nsecsElapsed() / 1e9;
    out() << "[no criteria, model without a view] rows " << model.rowCount() << "\n"
          << "  counting ended:      " << ratio(count, grep) << "\n"
          << "  peak memory:         +" << (statusKiB("VmHWM") - rssBefore) / 1024.0 << " MiB"
          << (peakReset ? "" : " (peak not reset!)") << "\n";
    out().flush();
}

qint64 threadCpuNs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// Turns of the event loop, watched from inside it. A turn starts when the
// event dispatcher wakes up and lasts until the last event it delivers has
// been handled; a 5 ms timer tells how long the loop went without a turn
// at all (during a run, the run's own work between turns).
class ProbeApplication : public QApplication
{
public:
    using QApplication::QApplication;

    bool notify(QObject *receiver, QEvent *event) override
    {
        ++m_depth;
        const bool result = QApplication::notify(receiver, event);
        if (--m_depth == 0 && m_watching) {
            m_lastEventEnd = m_clock.nsecsElapsed();
            m_lastEventEndCpu = threadCpuNs();
        }
        return result;
    }

    void watch()
    {
        m_longestTurn = m_longestTurnCpu = m_longestGap = 0;
        m_turns = 0;
        m_clock.start();
        m_turnStart = m_lastEventEnd = m_lastTick = 0;
        m_turnStartCpu = m_lastEventEndCpu = threadCpuNs();
        m_watching = true;
        m_awake = connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::awake, this,
                          [this] { startTurn(); });
        m_tick.setTimerType(Qt::PreciseTimer);
        m_tick.setInterval(5);
        m_tickConnection = connect(&m_tick, &QTimer::timeout, this, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            m_longestGap = std::max(m_longestGap, now - m_lastTick);
            m_lastTick = now;
        });
        m_tick.start();
    }

    void stop()
    {
        startTurn();
        m_longestGap = std::max(m_longestGap, m_clock.nsecsElapsed() - m_lastTick);
        m_tick.stop();
        disconnect(m_awake);
        disconnect(m_tickConnection);
        m_watching = false;
    }

    double longestTurn() const { return m_longestTurn / 1e9; }
    // The most processor time a turn took: its length without the other
    // work on the machine.
    double longestTurnCpu() const { return m_longestTurnCpu / 1e9; }
    double longestGap() const { return m_longestGap / 1e9; }
    qint64 turns() const { return m_turns; }

private:
    void startTurn()
    {
        m_longestTurn = std::max(m_longestTurn, m_lastEventEnd - m_turnStart);
        m_longestTurnCpu = std::max(m_longestTurnCpu, m_lastEventEndCpu - m_turnStartCpu);
        m_turnStart = m_lastEventEnd = m_clock.nsecsElapsed();
        m_turnStartCpu = m_lastEventEndCpu = threadCpuNs();
        ++m_turns;
    }

    int m_depth = 0;
    bool m_watching = false;
    QElapsedTimer m_clock;
    QTimer m_tick;
    QMetaObject::Connection m_awake;
    QMetaObject::Connection m_tickConnection;
    qint64 m_turnStart = 0;
    qint64 m_lastEventEnd = 0;
    qint64 m_lastTick = 0;
    qint64 m_longestTurn = 0;
    qint64 m_turnStartCpu = 0;
    qint64 m_lastEventEndCpu = 0;
    qint64 m_longestTurnCpu = 0;
    qint64 m_longestGap = 0;
    qint64 m_turns = 0;
};

ProbeApplication *probe()
{
    return static_cast<ProbeApplication *>(QCoreApplication::instance());
}

// Calls `seen` at the first paint of the viewport with a loaded row on top.
class FirstRowsPainted : public QObject
{
public:
    FirstRowsPainted(ResultView *view, std::function<void()> seen)
        : QObject(view), m_view(view), m_seen(std::move(seen))
    {
        view->viewport()->installEventFilter(this);
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (m_seen && event->type() == QEvent::Paint && m_view->indexAt(QPoint(1, 1)).data().isValid()) {
            m_seen();
            m_seen = nullptr;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    ResultView *m_view;
    std::function<void()> m_seen;
};

void runOne(const QString &title, CLog *log, const CFilterPtr &filter, double grep,
            qint64 expectedRows)
{
    // The view exactly as a result tab of the window makes it.
    std::unique_ptr<ResultView> owner(createResultView(nullptr));
    ResultView &view = *owner;
    view.resize(800, 600);
    view.show();
    QCoreApplication::processEvents();

    const qint64 rssBefore = statusKiB("VmRSS");
    const bool peakReset = resetPeak();

    auto *model = new CStringListModel(log, filter, &view);
    view.setModel(model);
    QObject::connect(view.verticalScrollBar(), &QScrollBar::valueChanged, model,
                     &CStringListModel::scrollMoved);
    model->scrollMoved(0);

    QElapsedTimer t;
    double firstRows = -1;
    new FirstRowsPainted(&view, [&] { firstRows = t.nsecsElapsed() / 1e9; });
    probe()->watch();
    t.start();
    model->runFilter();
    const double count = t.nsecsElapsed() / 1e9;
    probe()->stop();
    const double runTurn = probe()->longestTurn();
    const double runTurnCpu = probe()->longestTurnCpu();
    const double runGap = probe()->longestGap();
    const qint64 runTurns = probe()->turns();

    // The window left alone for a while after the run.
    probe()->watch();
    QElapsedTimer after;
    after.start();
    while (after.elapsed() < 500)
        QCoreApplication::processEvents();
    probe()->stop();
    const double afterTurn = probe()->longestTurn();
    const double afterTurnCpu = probe()->longestTurnCpu();
    const qint64 peakKiB = statusKiB("VmHWM") - rssBefore;

    // A jump of the scroll bar: the model loads the rows, the view paints them.
    QScrollBar *bar = view.verticalScrollBar();
    auto jump = [&](int value) {
        QElapsedTimer j;
        j.start();
        bar->setValue(value);
        view.viewport()->repaint();
        const double s = j.nsecsElapsed() / 1e9;
        const QModelIndex top = view.indexAt(QPoint(1, 1));
        return qMakePair(s, top.row() == value && top.data().isValid());
    };
    const auto middle = jump(bar->maximum() / 2);
    const auto end = jump(bar->maximum());
    const QModelIndex lastShown = view.indexAt(QPoint(1, (view.visibleRows() - 1) * view.rowHeight() + 1));
    const bool lastLoaded = lastShown.row() == model->rowCount() - 1 && lastShown.data().isValid();

    out() << "[" << title << "] rows " << model->rowCount()
          << (model->rowCount() == expectedRows ? " (= grep)" : " (grep differs!)") << "\n"
          << "  first rows painted:  " << ratio(firstRows, grep) << "  (target 0.2 s)\n"
          << "  counting ended:      " << ratio(count, grep) << "  (target 5 x grep)\n"
          << "  longest turn of the event loop during the run (" << runTurns << " turns): "
          << ratio(runTurn, grep) << " (" << runTurnCpu << " s processor time at most)  (target 0.02 s)\n"
          << "  longest time between turns during the run (the run's own work): " << ratio(runGap, grep) << "\n"
          << "  longest turn in 0.5 s after the run: " << ratio(afterTurn, grep) << " (" << afterTurnCpu
          << " s processor time at most)  (target 0.02 s)\n"
          << "  peak memory:         +" << peakKiB / 1024.0 << " MiB above "
          << rssBefore / 1024.0 << " MiB" << (peakReset ? "" : " (peak not reset!)")
          << "  (target 32 MiB)\n"
          << "  scroll to middle:    " << ratio(middle.first, grep)
          << (middle.second ? "" : " (rows not shown!)") << "  (target 0.1 s)\n"
          << "  scroll to end:       " << ratio(end.first, grep)
          << (end.second && lastLoaded ? "" : " (rows not shown!)") << "  (target 0.1 s)\n";
    out().flush();
}

// A run whose every record costs the matcher milliseconds, in a result
// view, cancelled after `cancelMs` as the cancel button would: how long the
// event loop went without a turn, and how long the run went on after the
// cancel.
void runCancelled(const QString &title, CLog *log, const CFilterPtr &filter, int cancelMs, double grep)
{
    std::unique_ptr<ResultView> owner(createResultView(nullptr));
    ResultView &view = *owner;
    view.resize(800, 600);
    view.show();
    QCoreApplication::processEvents();
    auto *model = new CStringListModel(log, filter, &view);
    view.setModel(model);
    QElapsedTimer t;
    double cancelledAt = -1;
    QTimer::singleShot(cancelMs, model, [&] {
        cancelledAt = t.nsecsElapsed() / 1e9;
        model->cancel();
    });
    probe()->watch();
    t.start();
    model->runFilter();
    const double ended = t.nsecsElapsed() / 1e9;
    probe()->stop();
    out() << "[" << title << "] rows " << model->rowCount() << " when cancelled\n"
          << "  longest time between turns during the run (the run's own work): " << ratio(probe()->longestGap(), grep)
          << "  (target 0.05 s)\n"
          << "  run went on after the cancel: "
          << (cancelledAt < 0 ? QStringLiteral("(ended before the cancel)") : ratio(ended - cancelledAt, grep))
          << "  (target 0.5 s)\n";
    out().flush();
}

// One run in a result view with the time line shown or hidden: seconds
// until counting ended; with the strip, also the time of a repaint of the
// strip as it is and of one that makes its buckets again (a new width).
double runWithStrip(CLog *log, const CFilterPtr &filter, bool strip, double *repaint, double *rebuild)
{
    std::unique_ptr<ResultView> owner(createResultView(nullptr));
    ResultView &view = *owner;
    view.resize(800, 600);
    view.setTimelineShown(strip);
    view.show();
    QCoreApplication::processEvents();
    auto *model = new CStringListModel(log, filter, &view);
    view.setModel(model);
    QObject::connect(view.verticalScrollBar(), &QScrollBar::valueChanged, model, &CStringListModel::scrollMoved);
    model->scrollMoved(0);
    QElapsedTimer t;
    t.start();
    model->runFilter();
    const double count = t.nsecsElapsed() / 1e9;
    if (strip) {
        TimelineStrip *line = view.timeline();
        line->repaint();
        double best = 1e9;
        double bestRebuild = 1e9;
        for (int i = 0; i < 5; ++i) {
            t.restart();
            line->repaint();
            best = std::min(best, t.nsecsElapsed() / 1e9);
            view.resize(800 + (i % 2 ? 0 : 7), 600);
            QCoreApplication::processEvents();
            t.restart();
            line->repaint();
            bestRebuild = std::min(bestRebuild, t.nsecsElapsed() / 1e9);
        }
        *repaint = best;
        *rebuild = bestRebuild;
    }
    return count;
}

// What counting the refusals costs where a run only counted before: the
// texts' bytes gathered (as the model now counts a filter that matches
// everything) against the plain count of the texts.
void runCountOnly(CLog *log)
{
    const int last = log->blockCount() - 1;
    QElapsedTimer t;
    double plain = 1e9;
    double bytes = 1e9;
    for (int i = 0; i < 2; ++i) {
        t.restart();
        log->countBlockTexts(0, last, [](int, int) { return true; });
        plain = std::min(plain, t.nsecsElapsed() / 1e9);
        t.restart();
        qint64 seen = 0;
        log->forEachBlockUtf8(0, last, [&seen](int, const QByteArray &texts) {
            seen += texts.count('>');
            return true;
        });
        bytes = std::min(bytes, t.nsecsElapsed() / 1e9);
    }
    out() << "[time line, count-only path] texts counted " << plain << " s; their bytes gathered and scanned "
          << bytes << " s = " << (bytes / plain) << " x\n";
    out().flush();
}

// Runs with and without the time line, alternately, in the same process.
void runTimeline(const QString &title, CLog *log, const CFilterPtr &filter)
{
    double without = 1e9;
    double with = 1e9;
    double repaint = 0;
    double rebuild = 0;
    for (int i = 0; i < 2; ++i) {
        without = std::min(without, runWithStrip(log, filter, false, nullptr, nullptr));
        with = std::min(with, runWithStrip(log, filter, true, &repaint, &rebuild));
    }
    out() << "[time line, " << title << "] counting ended without the strip " << without << " s, with it " << with
          << " s = " << (with / without) << " x  (target 1.03 x)\n"
          << "  strip repaint: " << repaint * 1000 << " ms; with its buckets made again: " << rebuild * 1000
          << " ms  (target 5 ms)\n";
    out().flush();
}

} // namespace

// The usage, as the head of this file gives it, for --help.
const char kUsage[] =
    "usage: bench_results [--records N] [FOLDER]\n"
    "    Generates a log of N records (default 10 000 000, about 1 GiB;\n"
    "    30 000 000 for the large case) in FOLDER (default: a temporary\n"
    "    folder; an existing FOLDER/bench.mlog of the same record count is\n"
    "    reused), reads it, dumps its record texts to a file and times\n"
    "    `grep -c` over the dump. Then, in a result view (offscreen), runs the\n"
    "    model with no criteria, with a refusals-only filter and with a rare\n"
    "    match: time until the first rows are painted, time until counting\n"
    "    ends, the longest turn of the event loop during the run and after\n"
    "    it, peak memory above the memory after the read, and the time until\n"
    "    a jump of the scroll bar to the middle and to the end has its rows\n"
    "    loaded and painted; then a run with a back-reference that costs\n"
    "    milliseconds per record, cancelled after 2 s: the longest time\n"
    "    without a turn and how long the run went on after the cancel.\n"
    "    Prints seconds and ratios to grep.\n";

int main(int argc, char **argv)
{
    if (bench::helpAsked(argc, argv, kUsage))
        return 0;
    bench::Options cli;
    bench::parseOptions(argc, argv, &cli);
    const QString folder = cli.folder;
    const qint64 records = cli.records;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    ProbeApplication app(argc, argv);
    QCoreApplication::setApplicationName("vrelview");
    QDir().mkpath(QFileInfo(CLog::indexFilePath(folder + "/x.mlog")).path());

    const QString path = folder + "/bench.mlog";
    QElapsedTimer t;
    t.start();
    if (bench::countRecords(path) != records) {
        MlogGeneratorOptions options;
        options.records = records;
        options.seed = 42;
        QString error;
        if (!generateLog(path, options, &error)) {
            out() << "cannot generate the log: " << error << "\n";
            return 1;
        }
    }
    out() << "log: " << path << ", " << records << " records, "
          << QFileInfo(path).size() / 1048576.0 << " MiB, ready in " << t.elapsed() / 1000.0
          << " s\n";
    out().flush();

    // Turns of the event loop are short; other work on the machine shows in them.
    QFile loadavg(QStringLiteral("/proc/loadavg"));
    if (loadavg.open(QIODevice::ReadOnly))
        out() << "load average: " << loadavg.readLine().trimmed() << " on " << QThread::idealThreadCount()
              << " cores\n";

    QFile::remove(CLog::indexFilePath(path));
    CLog log;
    const qint64 rssBeforeRead = statusKiB("VmRSS");
    t.restart();
    log.readLog(path);
    const double read = t.nsecsElapsed() / 1e9;
    const qint64 indexKiB = statusKiB("VmRSS") - rssBeforeRead;

    // The same records as text, one per line, made by the reader itself.
    const QString dumpPath = folder + "/bench.txt";
    t.restart();
    {
        QFile dump(dumpPath);
        if (!dump.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            out() << "cannot write " << dumpPath << "\n";
            return 1;
        }
        QByteArray buffer;
        log.forEachBlock(0, log.blockCount() - 1, [&](int, const QStringList &texts) {
            for (const QString &text : texts) {
                buffer += text.toUtf8();
                buffer += '\n';
            }
            if (buffer.size() > (1 << 20)) {
                dump.write(buffer);
                buffer.clear();
            }
            return true;
        });
        dump.write(buffer);
    }
    const double dumpSeconds = t.nsecsElapsed() / 1e9;
    // What producing the texts costs alone: the floor of any filter run.
    t.restart();
    qint64 texts = 0;
    log.forEachBlock(0, log.blockCount() - 1, [&](int, const QStringList &block) {
        texts += block.size();
        return true;
    });
    const double visitSeconds = t.nsecsElapsed() / 1e9;
    const Grep all = grepCount({"-c", "", dumpPath});
    const Grep refused = grepCount({"-c", "-E", "> \\[f\\]", dumpPath});
    // A rare match: a page of rows spans thousands of blocks.
    const QString rarePattern = QStringLiteral("> \\[f\\] ptrace");
    const Grep rare = grepCount({"-c", "-E", rarePattern, dumpPath});

    out() << "blocks " << log.blockCount() << "; time index about " << indexKiB / 1024.0
          << " MiB of resident memory\n"
          << "baseline grep -c over the text dump (" << QFileInfo(dumpPath).size() / 1048576.0
          << " MiB, " << all.count << " lines): " << QString::number(all.seconds, 'f', 4)
          << " s; grep -c -E '> \\[f\\]': " << QString::number(refused.seconds, 'f', 4)
          << " s, " << refused.count << " lines\n"
          << "read (CLog::readLog):  " << ratio(read, all.seconds) << "\n"
          << "text dump (reader):    " << ratio(dumpSeconds, all.seconds) << "\n"
          << "texts alone (forEachBlock, " << texts << "): " << ratio(visitSeconds, all.seconds)
          << "\n";
    out().flush();
    QFile::remove(dumpPath);

    CFilterPtr none(new CFilter("default"));
    runBare(&log, none, all.seconds);
    runOne("no criteria", &log, none, all.seconds, all.count);
    runTimeline("no criteria", &log, none);
    runCountOnly(&log);
    CFilterPtr refusals(new CFilter("refusals"));
    refusals->setLists({{fragments().at(1)}, {}, {}, {}, {}, {}});
    runOne("refusals only", &log, refusals, refused.seconds, refused.count);
    runTimeline("refusals only", &log, refusals);
    CFilterPtr rareFilter(new CFilter("rare"));
    rareFilter->setLists({{}, {}, {}, {}, {}, {rarePattern}});
    runOne("refused ptrace (rare)", &log, rareFilter, rare.seconds, rare.count);
    // A back-reference costs QRegExp some milliseconds on every record.
    CFilterPtr costly(new CFilter("costly"));
    costly->setLists({{}, {}, {}, {}, {}, {QStringLiteral("(.|.)*\\1#")}});
    runCancelled("back-reference (.|.)*\\1#, cancelled after 2 s", &log, costly, 2000, all.seconds);
    return 0;
}
