// Switching between the tabs of two large logs in the main window
// (offscreen), against a switch that reads the other log again.
//
//   bench_tabswitch [--records N] [--switches S] [--sets] [FOLDER]
//       Generates two logs of N records each (default 1 000 000, seeds 5 and
//       6) in FOLDER (default: a temporary folder; logs of that size left
//       there are reused) and opens each in a tab of its own; their index
//       files are written by those reads. Then switches S times (default 40)
//       between the two tabs with a click on the tab bar, each switch timed
//       until the event loop has handled what it caused (the rows painted).
//       The baseline, in the same run: a second window without tabs opens
//       the two logs in turn (File > Open without applying the filter), as a
//       switch did while the window held one log at a time: the log is read
//       again from its index file. Prints the median and the slowest switch
//       of each (wall clock with the repaint, processor time, and the
//       window's own work without the repaint), their ratios, the reads
//       during the switches (0 expected) and the memory each open log adds.
//       With --sets: four logs (seeds 5 to 8, a day apart), the first two
//       opened together in one tab and the last two in another, and the
//       switches go between those two tabs; the baseline reads the other
//       tab's two logs again as a set, from their index files.
//       Exits with 2 when the median switch takes more than 20 ms.
#include <clog.h>
#include <cstringlistmodel.h>
#include <logset.h>
#include <mainwindow.h>
#include <mlogwriter.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMouseEvent>
#include <QSettings>
#include <QStandardPaths>
#include <QTabBar>
#include <QTabWidget>

#include <algorithm>
#include <vector>

#include "benchsupport.h"

using bench::out;
using bench::statusKiB;

namespace {

// What one step cost: wall-clock milliseconds of the step itself, and
// wall-clock and processor milliseconds of the step with the events it
// left (the repaint), as the user waits for them. On a shared machine the
// processor time is the steadier figure.
struct Cost
{
    double stepMs = 0;
    double wallMs = 0;
    double cpuMs = 0;
};

Cost timed(const std::function<void()> &step)
{
    const double cpu = bench::clockSeconds(CLOCK_THREAD_CPUTIME_ID);
    QElapsedTimer t;
    t.start();
    step();
    Cost cost;
    cost.stepMs = double(t.nsecsElapsed()) / 1e6;
    QCoreApplication::processEvents();
    cost.wallMs = double(t.nsecsElapsed()) / 1e6;
    cost.cpuMs = (bench::clockSeconds(CLOCK_THREAD_CPUTIME_ID) - cpu) * 1e3;
    return cost;
}

double median(const std::vector<Cost> &costs, double Cost::*figure)
{
    std::vector<double> values;
    for (const Cost &cost : costs)
        values.push_back(cost.*figure);
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

double slowest(const std::vector<Cost> &costs, double Cost::*figure)
{
    double most = 0;
    for (const Cost &cost : costs)
        most = std::max(most, cost.*figure);
    return most;
}

// A press and release of the left button on tab `index`, as a click does.
void clickTab(QTabBar *bar, int index)
{
    const QPoint at = bar->tabRect(index).center();
    QMouseEvent press(QEvent::MouseButtonPress, at, bar->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(bar, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, bar->mapToGlobal(at), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(bar, &release);
}

double anonMiB()
{
    return double(statusKiB("RssAnon")) / 1024.0;
}

// The --sets mode: switches between two tabs over sets of two logs each.
int switchSets(qint64 records, int switches, const QStringList &paths)
{
    mainWindow window;
    window.memAvailableSource = [] { return qint64(0); };
    window.resize(1000, 700);
    window.show();
    QCoreApplication::processEvents();
    auto *tabs = window.findChild<QTabWidget *>(QStringLiteral("twLogResult"));
    const QStringList members[] = {paths.mid(0, 2), paths.mid(2, 2)};
    const double anonBefore = anonMiB();
    window.openLogSet(members[0]);
    const double anonOne = anonMiB();
    window.openLogSet(members[1]);
    const double anonTwo = anonMiB();
    std::vector<int> setTabs;
    for (int i = 0; i < window.tabs().size(); ++i) {
        if (window.tabs().at(i).set)
            setTabs.push_back(i);
    }
    if (setTabs.size() != 2) {
        out() << "the two tabs over sets did not open\n";
        return 1;
    }
    int reads = 0;
    for (const int tab : setTabs) {
        const LogSet &set = *window.tabs().at(tab).set;
        for (int i = 0; i < set.logCount(); ++i)
            QObject::connect(set.logAt(i), &CLog::valueMaximum, &window, [&reads] { ++reads; });
    }
    out() << "memory (RssAnon): " << anonBefore << " MiB before, +" << anonOne - anonBefore
          << " MiB with the first set tab, +" << anonTwo - anonOne << " MiB with the second; "
          << window.tabs().at(setTabs[0]).set->blockCount() << " and " << window.tabs().at(setTabs[1]).set->blockCount()
          << " blocks, " << 2 * records << " records in each set\n";

    std::vector<Cost> switched;
    bool rowsRight = true;
    for (int i = 0; i < switches; ++i) {
        const int to = tabs->currentIndex() == setTabs[0] ? setTabs[1] : setTabs[0];
        switched.push_back(timed([&] { clickTab(tabs->tabBar(), to); }));
        auto *view = qobject_cast<QAbstractItemView *>(tabs->currentWidget());
        auto *model = view ? qobject_cast<CStringListModel *>(view->model()) : nullptr;
        rowsRight = rowsRight && tabs->currentIndex() == to && model
                    && model->logs() == window.tabs().at(to).set.get() && model->rowCount() > 0;
    }

    // The baseline: the other tab's logs read again as a set, from their
    // index files, as a switch would if the tab did not keep its set.
    std::vector<Cost> reread;
    for (int i = 0; i < switches; ++i) {
        LogSet again;
        reread.push_back(timed([&] { again.readLogs(members[(i + 1) % 2]); }));
        rowsRight = rowsRight && again.logCount() == 2;
    }

    const double switchMedian = median(switched, &Cost::wallMs);
    out() << "switch between set tabs through the tab bar (" << switches << " switches, goal <= 20 ms): median "
          << switchMedian << " ms, slowest " << slowest(switched, &Cost::wallMs) << " ms with the repaint, processor "
          << median(switched, &Cost::cpuMs) << " ms; the window's own work median " << median(switched, &Cost::stepMs)
          << " ms; reads during the switches: " << reads << "\n";
    out() << "baseline, the other set read again: median " << median(reread, &Cost::wallMs) << " ms, slowest "
          << slowest(reread, &Cost::wallMs) << " ms, processor " << median(reread, &Cost::cpuMs) << " ms\n";
    const auto ratio = [&](double Cost::*figure) {
        const double base = median(reread, figure);
        return base > 0 ? median(switched, figure) / base : 0.0;
    };
    out() << "ratio switch / baseline: " << ratio(&Cost::wallMs) << " wall, " << ratio(&Cost::cpuMs)
          << " processor\n";
    if (!rowsRight)
        out() << "a switch left the wrong set current\n";
    out().flush();
    if (!rowsRight || reads != 0)
        return 1;
    return switchMedian <= 20.0 ? 0 : 2;
}

} // namespace

// The usage, as the head of this file gives it, for --help.
const char kUsage[] =
    "usage: bench_tabswitch [--records N] [--switches S] [--sets] [FOLDER]\n"
    "    Generates two logs of N records each (default 1 000 000, seeds 5 and\n"
    "    6) in FOLDER (default: a temporary folder; logs of that size left\n"
    "    there are reused) and opens each in a tab of its own; their index\n"
    "    files are written by those reads. Then switches S times (default 40)\n"
    "    between the two tabs with a click on the tab bar, each switch timed\n"
    "    until the event loop has handled what it caused (the rows painted).\n"
    "    The baseline, in the same run: a second window without tabs opens\n"
    "    the two logs in turn (File > Open without applying the filter), as a\n"
    "    switch did while the window held one log at a time: the log is read\n"
    "    again from its index file. Prints the median and the slowest switch\n"
    "    of each (wall clock with the repaint, processor time, and the\n"
    "    window's own work without the repaint), their ratios, the reads\n"
    "    during the switches (0 expected) and the memory each open log adds.\n"
    "    With --sets: four logs (seeds 5 to 8, a day apart), the first two\n"
    "    opened together in one tab and the last two in another, and the\n"
    "    switches go between those two tabs; the baseline reads the other\n"
    "    tab's two logs again as a set, from their index files.\n"
    "    Exits with 2 when the median switch takes more than 20 ms.\n";

int main(int argc, char **argv)
{
    if (bench::helpAsked(argc, argv, kUsage))
        return 0;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qint64 records = 1000000;
    int switches = 40;
    bool sets = false;
    QString folder;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (arg == QLatin1String("--records") && i + 1 < argc) {
            records = QString::fromLocal8Bit(argv[++i]).toLongLong();
        } else if (arg == QLatin1String("--switches") && i + 1 < argc) {
            switches = std::max(2, QString::fromLocal8Bit(argv[++i]).toInt());
        } else if (arg == QLatin1String("--sets")) {
            sets = true;
        } else if (arg.startsWith(QLatin1Char('-'))) {
            std::fprintf(stderr, "%s: unknown option %s (--help gives the usage)\n", argv[0], argv[i]);
            return 2;
        } else {
            folder = arg;
        }
    }
    QTemporaryDir temp;
    if (folder.isEmpty())
        folder = temp.path();
    QDir().mkpath(folder);
    bench::useOwnHome(folder);
    QApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QStringLiteral("vrel-bench"));
    QCoreApplication::setApplicationName(QStringLiteral("bench_tabswitch"));
    QSettings().clear();
    // No log folder to list, no log opened at start.
    QSettings().setValue(QStringLiteral("config/logdir"), folder + QStringLiteral("/none"));

    QStringList paths;
    for (const char *name : {"first", "second", "third", "fourth"})
        paths.append(folder + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".mlog"));
    paths = paths.mid(0, sets ? 4 : 2);
    for (int i = 0; i < paths.size(); ++i) {
        if (bench::countRecords(paths[i]) == records)
            continue;
        MlogGeneratorOptions options;
        options.records = records;
        options.seed = quint64(5 + i);
        options.start = QDateTime::fromSecsSinceEpoch(1750000000 + i * 86400);
        if (!generateLog(paths[i], options)) {
            out() << "cannot write " << paths[i] << "\n";
            return 1;
        }
    }
    for (const QString &path : paths)
        QFile::remove(CLog::indexFilePath(path));
    out() << "logs: " << records << " records each, " << QFileInfo(paths[0]).size() << " and "
          << QFileInfo(paths[1]).size() << " bytes (machine shared and loaded)\n";
    if (sets)
        return switchSets(records, switches, paths);

    mainWindow window;
    window.memAvailableSource = [] { return qint64(0); };
    window.resize(1000, 700);
    window.show();
    QCoreApplication::processEvents();
    auto *tabs = window.findChild<QTabWidget *>(QStringLiteral("twLogResult"));
    const double anonBefore = anonMiB();
    window.openLogPath(paths[0]);
    const double anonOne = anonMiB();
    QMetaObject::invokeMethod(&window, "tabNew", Qt::DirectConnection);
    window.openLogPath(paths[1]);
    const double anonTwo = anonMiB();
    if (tabs->count() != 2 || window.tabs().size() != 2 || !window.tabs().at(0).log || !window.tabs().at(1).log) {
        out() << "the two tabs did not open\n";
        return 1;
    }
    int reads = 0;
    for (const TabInfo &info : window.tabs())
        QObject::connect(info.log.get(), &CLog::valueMaximum, &window, [&reads] { ++reads; });
    out() << "memory (RssAnon): " << anonBefore << " MiB before, +" << anonOne - anonBefore << " MiB with the first tab, +"
          << anonTwo - anonOne << " MiB with the second; " << window.tabs().at(0).log->blockCount() << " and "
          << window.tabs().at(1).log->blockCount() << " blocks, " << window.openLogs().readers().size()
          << " readers open\n";

    // Switches through the tab bar, each to the tab not current.
    std::vector<Cost> switched;
    bool rowsRight = true;
    for (int i = 0; i < switches; ++i) {
        const int to = 1 - tabs->currentIndex();
        switched.push_back(timed([&] { clickTab(tabs->tabBar(), to); }));
        auto *view = qobject_cast<QAbstractItemView *>(tabs->currentWidget());
        auto *model = view ? qobject_cast<CStringListModel *>(view->model()) : nullptr;
        rowsRight = rowsRight && tabs->currentIndex() == to && model && model->log() == window.logReader()
                    && window.logReader()->logPath() == window.tabs().at(to).filePath;
    }

    // The baseline: the other log read again from its index file, in a
    // window whose tabs hold neither log.
    mainWindow again;
    again.memAvailableSource = [] { return qint64(0); };
    again.resize(1000, 700);
    again.show();
    QCoreApplication::processEvents();
    again.loadLog(paths[0]);
    std::vector<Cost> reread;
    for (int i = 0; i < switches; ++i) {
        const QString &path = paths[(i + 1) % 2];
        reread.push_back(timed([&] { again.loadLog(path); }));
        rowsRight = rowsRight && again.logReader()->logPath() == path;
    }

    const double switchMedian = median(switched, &Cost::wallMs);
    out() << "switch through the tab bar (" << switches << " switches, goal <= 20 ms): median " << switchMedian
          << " ms, slowest " << slowest(switched, &Cost::wallMs) << " ms with the repaint, processor "
          << median(switched, &Cost::cpuMs) << " ms; the window's own work (the click handled) median "
          << median(switched, &Cost::stepMs) << " ms; reads during the switches: " << reads << "\n";
    out() << "baseline, the other log read again (without any tab to repaint): median "
          << median(reread, &Cost::wallMs) << " ms, slowest " << slowest(reread, &Cost::wallMs)
          << " ms, processor " << median(reread, &Cost::cpuMs) << " ms; the read itself median "
          << median(reread, &Cost::stepMs) << " ms\n";
    const auto ratio = [&](double Cost::*figure) {
        const double base = median(reread, figure);
        return base > 0 ? median(switched, figure) / base : 0.0;
    };
    out() << "ratio switch / baseline: " << ratio(&Cost::wallMs) << " wall, " << ratio(&Cost::cpuMs)
          << " processor, " << ratio(&Cost::stepMs) << " the window's own work\n";
    if (!rowsRight)
        out() << "a switch left the wrong log current\n";
    out().flush();
    if (!rowsRight || reads != 0)
        return 1;
    return switchMedian <= 20.0 ? 0 : 2;
}
