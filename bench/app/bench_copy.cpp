// A copy of every row of a large result, in the window, against a save of
// the same rows to a file.
//
//   bench_copy [--records N] [FOLDER]
//       Generates a log of N records (default 1 000 000) in FOLDER (default:
//       a temporary folder), opens it in the window (offscreen) with the
//       default filter, saves the rows to a file (the baseline), then
//       chooses every row as Ctrl+A does and copies them (Copy, Copy as CSV), once as
//       text and once as CSV. For each copy: seconds and the ratio to the
//       save, the longest time between two turns of the event loop (goal:
//       at most 50 ms), and the peak memory above that before the copy
//       against the size of the copied text (goal: at most the text plus
//       16 MiB).
#include <cstringlistmodel.h>
#include <mlogwriter.h>

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMimeData>
#include <QTabWidget>
#include <QTimer>

#include "mainwindow.h"
#include "resultview.h"

#include "benchsupport.h"

using bench::out;
using bench::resetPeak;
using bench::statusKiB;

namespace {

const char kUsage[] = "usage: bench_copy [--records N] [FOLDER]\n"
                      "  Copies every row of a result of N records (default 1000000) with Ctrl+A, Ctrl+C\n"
                      "  in the window and compares with a save of the rows; prints the longest time\n"
                      "  between turns of the event loop and the peak memory against the text copied.\n";

// The longest time between two turns of the event loop while it lives.
class TurnWatch
{
public:
    TurnWatch()
    {
        m_clock.start();
        m_last = 0;
        QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::awake, &m_context,
                         [this] { note(); });
        QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, &m_context,
                         [this] { note(); });
    }
    double longestMs() const { return m_longest / 1e6; }
    // When the longest time began, in ms after the watch was made.
    double longestAtMs() const { return m_longestAt / 1e6; }

private:
    void note()
    {
        const qint64 now = m_clock.nsecsElapsed();
        if (now - m_last > m_longest) {
            m_longest = now - m_last;
            m_longestAt = m_last;
        }
        m_last = now;
    }
    QObject m_context;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_longest = 0;
    qint64 m_longestAt = 0;
};

} // namespace

int main(int argc, char **argv)
{
    if (bench::helpAsked(argc, argv, kUsage))
        return 0;
    bench::Options options;
    options.records = 1000000;
    bench::parseOptions(argc, argv, &options);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("vrel-bench"));
    QCoreApplication::setApplicationName(QStringLiteral("bench_copy"));

    const QString path = options.folder + QStringLiteral("/copy.mlog");
    if (bench::countRecords(path) != options.records) {
        MlogGeneratorOptions gen;
        gen.records = options.records;
        gen.recordsPerSecond = 200;
        gen.seed = 3;
        if (!generateLog(path, gen)) {
            std::fprintf(stderr, "bench_copy: cannot write %s\n", qPrintable(path));
            return 1;
        }
    }

    mainWindow window;
    window.resize(1000, 700);
    window.show();
    window.openLogPath(path);
    auto *view = dynamic_cast<ResultView *>(window.findChild<QTabWidget *>(QStringLiteral("twLogResult"))->currentWidget());
    auto *model = view ? qobject_cast<CStringListModel *>(view->model()) : nullptr;
    if (!model || model->rowCount() == 0) {
        std::fprintf(stderr, "bench_copy: the log shows no rows\n");
        return 1;
    }
    out() << "rows: " << model->rowCount() << ", log " << QFileInfo(path).size() / 1048576.0 << " MiB\n";

    QElapsedTimer t;
    t.start();
    const QString saved = options.folder + QStringLiteral("/saved.txt");
    model->saveToFile(saved);
    const double save = t.nsecsElapsed() / 1e9;
    out() << "save of the rows:        " << save << " s, " << QFileInfo(saved).size() / 1048576.0 << " MiB\n";
    QFile::remove(saved);

    view->setFocus();
    view->selectAll(); // as Ctrl+A does
    for (const char *name : {"actionCopy", "actionCopyCsv"}) {
        QGuiApplication::clipboard()->clear();
        QCoreApplication::processEvents();
        const qint64 rssBefore = statusKiB("VmRSS");
        const bool peakReset = resetPeak();
        double seconds = 0;
        double longest = 0;
        double longestAt = 0;
        {
            TurnWatch turns;
            t.restart();
            window.findChild<QAction *>(QLatin1String(name))->trigger();
            seconds = t.nsecsElapsed() / 1e9;
            longest = turns.longestMs();
            longestAt = turns.longestAtMs();
        }
        const qint64 peakKiB = statusKiB("VmHWM") - rssBefore;
        const QMimeData *data = QGuiApplication::clipboard()->mimeData();
        const double textMiB = data ? data->data(QStringLiteral("text/plain")).size() / 1048576.0 : 0;
        out() << "[" << name << "]\n"
              << "  copy:                  " << seconds << " s = " << seconds / save << " x save\n"
              << "  longest between turns: " << longest << " ms (goal <= 50), from " << longestAt << " ms on\n"
              << "  text copied:           " << textMiB << " MiB\n"
              << "  peak memory:           +" << peakKiB / 1024.0 << " MiB = text + " << peakKiB / 1024.0 - textMiB
              << " MiB (goal <= 16)" << (peakReset ? "" : " (peak not reset!)") << "\n";
        out().flush();
    }
    return 0;
}
