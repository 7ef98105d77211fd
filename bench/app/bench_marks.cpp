// Marks on rows: what they cost the scrolling of a result and a key press.
//
//   bench_marks [--records N] [--marks M]
//       Generates a log of N records (default 1 000 000) in a temporary
//       folder and shows it in the window (offscreen). Pages through the
//       rows with PageDown, each page painted, first without marks (the
//       baseline), then with M marks (default 1000) spread over the log,
//       and prints the time per painted page of both and their ratio; the
//       same for a rerun of the filter (painted on the way, the marks' rows
//       found as its counts grow); and the mean time of Ctrl+F2 on a row and
//       of F2 from mark to mark.
#include <mlogwriter.h>

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "cstringlistmodel.h"
#include "mainwindow.h"
#include "resultview.h"

#include "benchsupport.h"

using bench::out;

namespace {

ResultView *viewOf(mainWindow &window)
{
    return dynamic_cast<ResultView *>(window.findChild<QTabWidget *>(QStringLiteral("twLogResult"))->currentWidget());
}

// Milliseconds of a rerun of the current filter, painted as it goes.
double rerunMs(mainWindow &window)
{
    QElapsedTimer timer;
    timer.start();
    window.findChild<QAction *>(QStringLiteral("actionResults"))->trigger();
    while (window.isBusy())
        QCoreApplication::processEvents();
    viewOf(window)->viewport()->grab();
    return double(timer.nsecsElapsed()) / 1e6;
}

// Milliseconds per page painted over `pages` pages down from the top.
double pagingMs(mainWindow &window, int pages)
{
    ResultView *view = viewOf(window);
    QTest::keyClick(view, Qt::Key_Home);
    view->viewport()->grab();
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < pages; ++i) {
        QTest::keyClick(view, Qt::Key_PageDown);
        view->viewport()->grab();
    }
    return double(timer.nsecsElapsed()) / 1e6 / pages;
}

} // namespace

const char kUsage[] =
    "usage: bench_marks [--records N] [--marks M]\n"
    "    Generates a log of N records (default 1 000 000) in a temporary folder\n"
    "    and shows it in the window (offscreen). Pages through the rows, each\n"
    "    page painted, without marks and then with M marks (default 1000), and\n"
    "    prints the time per page of both and their ratio; the same for a rerun\n"
    "    of the filter; and the mean time of Ctrl+F2 on a row and of F2.\n";

int main(int argc, char **argv)
{
    if (bench::helpAsked(argc, argv, kUsage))
        return 0;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QStringLiteral("vrel-bench"));
    QCoreApplication::setApplicationName(QStringLiteral("bench_marks"));
    qint64 records = 1000000;
    int marks = 1000;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args.at(i) == QLatin1String("--records"))
            records = args.at(i + 1).toLongLong();
        else if (args.at(i) == QLatin1String("--marks"))
            marks = args.at(i + 1).toInt();
    }
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bench.mlog"));
    MlogGeneratorOptions options;
    options.records = records;
    options.start = QDateTime::fromSecsSinceEpoch(1780000000, Qt::UTC);
    if (!generateLog(path, options))
        return 1;

    mainWindow window;
    window.resize(900, 700);
    window.show();
    window.openLogPath(path);
    while (window.isBusy())
        QCoreApplication::processEvents();
    ResultView *view = viewOf(window);
    auto *model = qobject_cast<CStringListModel *>(view->model());
    const int rows = model->rowCount();
    const int pages = 400;
    const double plain = pagingMs(window, pages);
    const double plainRun = rerunMs(window);
    view = viewOf(window);
    model = qobject_cast<CStringListModel *>(view->model());

    QAction *toggle = window.findChild<QAction *>(QStringLiteral("actionMarkToggle"));
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < marks; ++i) {
        view->setCurrentIndex(model->index(int(qint64(rows - 1) * i / std::max(1, marks - 1)), 0));
        toggle->trigger();
    }
    const double marking = double(timer.nsecsElapsed()) / 1e6 / marks;
    // Marks on the pages too: every 50th row of the first pages.
    for (int row = 1; row < pages * view->visibleRows(); row += 50) {
        view->setCurrentIndex(model->index(row, 0));
        toggle->trigger();
    }
    const double marked = pagingMs(window, pages);

    const double markedRun = rerunMs(window);
    view = viewOf(window);

    QTest::keyClick(view, Qt::Key_Home);
    const int steps = std::min(marks, 200);
    timer.restart();
    for (int i = 0; i < steps; ++i)
        QTest::keyClick(view, Qt::Key_F2);
    const double step = double(timer.nsecsElapsed()) / 1e6 / steps;

    out() << "rows " << rows << ", marks " << marks << " spread + those on the pages paged\n";
    out() << "paint a page, no marks:   " << QString::number(plain, 'f', 3) << " ms\n";
    out() << "paint a page, with marks: " << QString::number(marked, 'f', 3) << " ms  (ratio "
          << QString::number(marked / plain, 'f', 2) << ")\n";
    out() << "mark a row (Ctrl+F2):     " << QString::number(marking, 'f', 3) << " ms\n";
    out() << "rerun, no marks:          " << QString::number(plainRun, 'f', 1) << " ms\n";
    out() << "rerun, with marks:        " << QString::number(markedRun, 'f', 1) << " ms  (ratio "
          << QString::number(markedRun / plainRun, 'f', 2) << ")\n";
    out() << "F2 to the next mark:      " << QString::number(step, 'f', 3) << " ms\n";
    out().flush();
    return 0;
}
