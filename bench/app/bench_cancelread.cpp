// A log read cancelled a third of the way, then the default filter, in the
// main window (offscreen), against `cat` of the same log.
//
//   bench_cancelread [--size BYTES] [FOLDER]
//       Generates a log of about BYTES (default 2 GiB, seed 11) in FOLDER
//       (default: a temporary folder; an existing FOLDER/cancel.mlog is
//       reused) and times `cat` of it to /dev/null. Then the window shows a
//       small log; the large one is opened and its read cancelled once the
//       progress bar passes a third; the default filter runs (over the log
//       still current); the large log is opened again (the read goes on from
//       where the cancelled one stopped) and the default filter runs over it
//       whole. Prints seconds, ratios to `cat`, and the peak memory of each
//       step above the memory before it (VmHWM against VmRSS, and RssAnon).
#include <clog.h>
#include <cstringlistmodel.h>
#include <mainwindow.h>
#include <mlogwriter.h>

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QProgressBar>
#include <QSettings>
#include <QPushButton>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>

#include "benchsupport.h"

using bench::catSeconds;
using bench::out;
using bench::resetPeak;
using bench::statusKiB;

namespace {

double seconds(const QElapsedTimer &t)
{
    return double(t.nsecsElapsed()) / 1e9;
}

// Peak memory of `step` above the memory before it, in MiB.
struct Peak
{
    double seconds = 0;
    double hwmAboveMiB = 0;
    double anonAfterMiB = 0;
};

Peak measure(const std::function<void()> &step)
{
    resetPeak();
    const qint64 before = statusKiB("VmRSS");
    QElapsedTimer t;
    t.start();
    step();
    Peak p;
    p.seconds = seconds(t);
    p.hwmAboveMiB = double(statusKiB("VmHWM") - before) / 1024.0;
    p.anonAfterMiB = double(statusKiB("RssAnon")) / 1024.0;
    return p;
}

} // namespace

// The usage, as the head of this file gives it, for --help.
const char kUsage[] =
    "usage: bench_cancelread [--size BYTES] [FOLDER]\n"
    "    Generates a log of about BYTES (default 2 GiB, seed 11) in FOLDER\n"
    "    (default: a temporary folder; an existing FOLDER/cancel.mlog is\n"
    "    reused) and times `cat` of it to /dev/null. Then the window shows a\n"
    "    small log; the large one is opened and its read cancelled once the\n"
    "    progress bar passes a third; the default filter runs (over the log\n"
    "    still current); the large log is opened again (the read goes on from\n"
    "    where the cancelled one stopped) and the default filter runs over it\n"
    "    whole. Prints seconds, ratios to `cat`, and the peak memory of each\n"
    "    step above the memory before it (VmHWM against VmRSS, and RssAnon).\n";

int main(int argc, char **argv)
{
    if (bench::helpAsked(argc, argv, kUsage))
        return 0;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QStringLiteral("vrel-bench"));
    QCoreApplication::setApplicationName(QStringLiteral("bench_cancelread"));
    QStringList args = app.arguments().mid(1);
    qint64 size = qint64(2) << 30;
    const int sizeAt = args.indexOf(QStringLiteral("--size"));
    if (sizeAt >= 0 && sizeAt + 1 < args.size()) {
        size = args.at(sizeAt + 1).toLongLong();
        args.erase(args.begin() + sizeAt, args.begin() + sizeAt + 2);
    }
    if (!args.isEmpty() && args.first().startsWith(QLatin1Char('-'))) {
        std::fprintf(stderr, "%s: unknown option %s (--help gives the usage)\n", argv[0], qPrintable(args.first()));
        return 2;
    }
    QTemporaryDir temp;
    const QString folder = args.isEmpty() ? temp.path() : args.first();
    const QString big = folder + QStringLiteral("/cancel.mlog");
    const QString small = folder + QStringLiteral("/small.mlog");
    MlogGeneratorOptions options;
    options.seed = 11;
    options.targetSize = size;
    options.start = QDateTime::fromSecsSinceEpoch(1750000000);
    if (QFileInfo(big).size() < size && !generateLog(big, options)) {
        out() << "cannot write " << big << "\n";
        return 1;
    }
    MlogGeneratorOptions few;
    few.records = 1000;
    few.seed = 3;
    few.start = options.start;
    if (!generateLog(small, few))
        return 1;
    // Every read starts without an index file.
    QFile::remove(CLog::indexFilePath(big));
    QFile::remove(CLog::indexFilePath(small));
    QSettings().clear();

    const double cat = catSeconds(big);
    out() << "log " << big << ": " << QFileInfo(big).size() << " bytes (machine shared and loaded)\n";
    out() << "cat: " << cat << " s\n";

    mainWindow window;
    window.memAvailableSource = [] { return qint64(0); };
    window.resize(1000, 700);
    window.show();
    window.openLogPath(small);

    // The cancel button, once the bar has passed a third.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &window, [&] {
        const auto bars = window.statusBar()->findChildren<QProgressBar *>();
        if (bars.isEmpty() || bars.first()->maximum() <= 0 || bars.first()->value() < bars.first()->maximum() / 3)
            return;
        poll.stop();
        window.statusBar()->findChildren<QPushButton *>().last()->click();
    });
    poll.start(5);
    const Peak cancelled = measure([&] { window.loadLog(big); });
    out() << "cancelled read: " << cancelled.seconds << " s (" << cancelled.seconds / cat << " x cat), peak "
          << cancelled.hwmAboveMiB << " MiB above before, RssAnon after " << cancelled.anonAfterMiB << " MiB; "
          << "status \"" << window.statusBar()->currentMessage() << "\", current log "
          << QFileInfo(window.logReader()->logPath()).fileName() << "\n";

    QAction *results = window.findChild<QAction *>(QStringLiteral("actionResults"));
    const Peak after = measure([&] { results->trigger(); });
    out() << "default filter after the cancel: " << after.seconds << " s, peak " << after.hwmAboveMiB
          << " MiB above before, RssAnon after " << after.anonAfterMiB << " MiB\n";

    const Peak resumed = measure([&] { window.loadLog(big); });
    out() << "read again (goes on from the stop): " << resumed.seconds << " s (" << resumed.seconds / cat
          << " x cat), peak " << resumed.hwmAboveMiB << " MiB above before (the index), RssAnon after "
          << resumed.anonAfterMiB << " MiB; " << window.logReader()->blockCount() << " blocks\n";

    const Peak run = measure([&] { results->trigger(); });
    out() << "default filter over the whole log: " << run.seconds << " s (" << run.seconds / cat
          << " x cat), peak " << run.hwmAboveMiB << " MiB above the memory after the read (limit 64), RssAnon after "
          << run.anonAfterMiB << " MiB\n";
    out().flush();
    return run.hwmAboveMiB < 64 && after.hwmAboveMiB < 64 ? 0 : 2;
}
