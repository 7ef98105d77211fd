// How long the filter editor takes to open with the full event list, against
// describing every event the plain way (asking the library for the four lists
// per event) and against one fetch of one event list, in the same run.
//
//   bench_editor [--runs N]
//       Runs offscreen unless QT_QPA_PLATFORM says otherwise. Times, as the
//       median of N runs (default 30) after one warm-up:
//         construct   a new editor, its preset labels and setFilter with a
//                     filter that checks three events (what start-up pays);
//         open        setFilter, show and hide on an existing editor (what
//                     Edit pays each time);
//         plain       eventDescription for every event of the full list;
//         list        one eventNames call.
//       The first construction of the process (fonts, style) is shown apart.
#include <cfilter.h>
#include <cfiltereditwindow.h>
#include <eventcatalogue.h>
#include <filtermatch.h>

#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <functional>
#include <vector>

#include "benchsupport.h"

using bench::out;

namespace {

const QStringList kPresets = {"Any time", "Last 5 minutes", "Last 60 minutes", "Last 12 hours", "Last 24 hours",
                              "Last 7 days", "Last 30 days", "Set range..."};

double medianMs(int runs, const std::function<void()> &work)
{
    work(); // warm-up
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

// The usage, as the head of this file gives it, for --help.
const char kUsage[] =
    "usage: bench_editor [--runs N]\n"
    "    Runs offscreen unless QT_QPA_PLATFORM says otherwise. Times, as the\n"
    "    median of N runs (default 30) after one warm-up:\n"
    "      construct   a new editor, its preset labels and setFilter with a\n"
    "                  filter that checks three events (what start-up pays);\n"
    "      open        setFilter, show and hide on an existing editor (what\n"
    "                  Edit pays each time);\n"
    "      plain       eventDescription for every event of the full list;\n"
    "      list        one eventNames call.\n"
    "    The first construction of the process (fonts, style) is shown apart.\n";

int main(int argc, char **argv)
{
    if (bench::helpAsked(argc, argv, kUsage))
        return 0;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int runs = 30;
    for (int i = 1; i + 1 < argc; ++i) {
        if (QByteArray(argv[i]) == "--runs")
            runs = qMax(1, QByteArray(argv[i + 1]).toInt());
    }

    CFilter filter(QStringLiteral("bench"));
    filter.setLists(toPatternForm(QList<QStringList>{
        {statusLabel(1)}, {}, {"chmod", "kill", "unlink"}, {}, {"root"}, {"/etc/shadow"}}));

    QElapsedTimer first;
    first.start();
    {
        CFilterEditWindow editor;
        editor.addTimeItems(kPresets);
        editor.setFilter(filter.name, kPresets.first(), filter);
    }
    const double firstMs = double(first.nsecsElapsed()) / 1e6;

    const double construct = medianMs(runs, [&] {
        CFilterEditWindow editor;
        editor.addTimeItems(kPresets);
        editor.setFilter(filter.name, kPresets.first(), filter);
    });

    CFilterEditWindow editor;
    editor.addTimeItems(kPresets);
    const double open = medianMs(runs, [&] {
        editor.setFilter(filter.name, kPresets.first(), filter);
        editor.show();
        QCoreApplication::processEvents();
        editor.hide();
    });

    QStringList all = EventCatalogue().allNames();
    all.removeDuplicates();
    const double plain = medianMs(runs, [&] {
        int length = 0;
        for (const QString &name : all)
            length += eventDescription(name).size();
        if (length == 0)
            out() << "no descriptions\n";
    });
    const double list = medianMs(runs, [] {
        if (eventNames(2).isEmpty())
            out() << "no events\n";
    });

    out() << "events in the list:        " << all.size() << "\n";
    out() << "first construction:        " << QString::number(firstMs, 'f', 2) << " ms (fonts, style)\n";
    out() << "construct + setFilter:     " << QString::number(construct, 'f', 2) << " ms, "
          << QString::number(construct / plain, 'f', 2) << " x plain descriptions, "
          << QString::number(construct / list, 'f', 0) << " x one event list\n";
    out() << "open (setFilter, show):    " << QString::number(open, 'f', 2) << " ms, "
          << QString::number(open / plain, 'f', 2) << " x plain descriptions, "
          << QString::number(open / list, 'f', 0) << " x one event list\n";
    out() << "plain descriptions, once:  " << QString::number(plain, 'f', 3) << " ms\n";
    out() << "one event list:            " << QString::number(list * 1000, 'f', 1) << " us\n";
    out().flush();
    return 0;
}
