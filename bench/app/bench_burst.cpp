// One second that holds millions of records, between ordinary seconds: the
// memory and event-loop turns of each operation on it, against `cat`.
//
//   bench_burst [--burst N] [FOLDER]
//       Generates (or reuses) FOLDER/burst.mlog: 1000 seconds of 20 records,
//       one second of N records (default 2 000 000, every 100th refused),
//       and 1000 seconds of 20 records. A results model shown in the
//       window's result view (offscreen) then runs the default filter and "refusals only",
//       scrolls into the burst, finds a text at the burst's end and saves
//       the rows. For each step: seconds and their ratio to `cat` of the
//       log, the peak memory it adds above the memory before it (VmHWM
//       against VmRSS), the longest stretch of processor time between two
//       turns of the event loop, and how often the view's top row had no
//       text while the rows were there.
#include <clog.h>
#include <cstringlistmodel.h>
#include <mlogwriter.h>
#include <resultview.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QScrollBar>
#include <QTimer>

#include <time.h>

#include "benchsupport.h"

using bench::catSeconds;
using bench::out;

namespace {

double cpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

QByteArray payload(qint64 i)
{
    return "rec=" + QByteArray::number(i) + " path=/var/lib/burst/" + QByteArray::number(i % 977) + "/file";
}

bool writeBurstLog(const QString &path, qint64 burst)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const quint32 t0 = 1780000000;
    qint64 n = 0;
    QByteArray chunk;
    const auto add = [&](quint32 second, bool refused) {
        chunk += encodeRecord(MlogRecord{t0 + second, {4000, 1, 0, 0, 0}, 2, 0, refused ? 1u : 0u, 0, payload(n++)});
        if (chunk.size() < (4 << 20))
            return true;
        const bool ok = file.write(chunk) == chunk.size();
        chunk.clear();
        return ok;
    };
    for (quint32 s = 0; s < 1000; ++s)
        for (int r = 0; r < 20; ++r)
            if (!add(s, r == 0))
                return false;
    for (qint64 r = 0; r < burst; ++r)
        if (!add(1000, r % 100 == 0))
            return false;
    for (quint32 s = 1001; s < 2001; ++s)
        for (int r = 0; r < 20; ++r)
            if (!add(s, r == 0))
                return false;
    return file.write(chunk) == chunk.size() && file.flush();
}

// Watches the event loop while a step runs: the longest processor time
// between two turns, and whether the view's top row had its text.
class TurnWatch : public QObject
{
public:
    TurnWatch(ResultView *view) : m_view(view)
    {
        m_timer.setInterval(5);
        connect(&m_timer, &QTimer::timeout, this, [this] { tick(); });
    }
    void start()
    {
        m_longest = 0;
        m_blank = 0;
        m_last = cpuMs();
        m_timer.start();
    }
    void stop() { m_timer.stop(); }
    double longestMs() const { return m_longest; }
    int blankTops() const { return m_blank; }

private:
    void tick()
    {
        const double now = cpuMs();
        m_longest = std::max(m_longest, now - m_last);
        const QModelIndex top = m_view->indexAt(QPoint(2, 2));
        if (top.isValid() && !top.data().isValid())
            ++m_blank;
        m_last = cpuMs();
    }

    ResultView *m_view;
    QTimer m_timer;
    double m_last = 0;
    double m_longest = 0;
    int m_blank = 0;
};

} // namespace

// The usage, as the head of this file gives it, for --help.
const char kUsage[] =
    "usage: bench_burst [--burst N] [FOLDER]\n"
    "    Generates (or reuses) FOLDER/burst.mlog: 1000 seconds of 20 records,\n"
    "    one second of N records (default 2 000 000, every 100th refused),\n"
    "    and 1000 seconds of 20 records. A results model shown in the\n"
    "    window's result view (offscreen) then runs the default filter and \"refusals only\",\n"
    "    scrolls into the burst, finds a text at the burst's end and saves\n"
    "    the rows. For each step: seconds and their ratio to `cat` of the\n"
    "    log, the peak memory it adds above the memory before it (VmHWM\n"
    "    against VmRSS), the longest stretch of processor time between two\n"
    "    turns of the event loop, and how often the view's top row had no\n"
    "    text while the rows were there.\n";

int main(int argc, char **argv)
{
    if (bench::helpAsked(argc, argv, kUsage))
        return 0;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    qint64 burst = 2000000;
    if (args.size() >= 2 && args.first() == QLatin1String("--burst")) {
        burst = args.at(1).toLongLong();
        args = args.mid(2);
    }
    if (!args.isEmpty() && args.first().startsWith(QLatin1Char('-'))) {
        std::fprintf(stderr, "%s: unknown option %s (--help gives the usage)\n", argv[0], qPrintable(args.first()));
        return 2;
    }
    QTemporaryDir temporary;
    const QString folder = args.isEmpty() ? temporary.path() : args.first();
    bench::useOwnHome(folder);
    const QString path = folder + QStringLiteral("/burst.mlog");
    if (!QFileInfo::exists(path) && !writeBurstLog(path, burst)) {
        out() << "cannot write " << path << "\n";
        return 1;
    }
    const double cat = catSeconds(path);
    out() << "log: " << path << ", " << QFileInfo(path).size() / (1 << 20) << " MiB, burst of " << burst
          << " records; cat " << QString::number(cat, 'f', 3) << " s\n";

    CLog log;
    QElapsedTimer t;
    t.start();
    log.readLog(path);
    out() << "read: " << QString::number(t.nsecsElapsed() / 1e9, 'f', 3) << " s, " << log.blockCount()
          << " blocks; RSS after " << bench::statusKiB("VmRSS") / 1024 << " MiB\n";

    ResultView view;
    view.resize(600, 400);
    view.show();
    TurnWatch watch(&view);
    std::unique_ptr<CStringListModel> model;
    const auto use = [&](const QString &pattern) {
        CFilterPtr filter(new CFilter(QStringLiteral("bench")));
        if (!pattern.isEmpty())
            filter->setLists({{}, {}, {}, {}, {}, {pattern}});
        view.setModel(nullptr);
        model = std::make_unique<CStringListModel>(&log, filter);
        view.setModel(model.get());
        QObject::connect(view.verticalScrollBar(), &QScrollBar::valueChanged, model.get(),
                         &CStringListModel::scrollMoved);
    };
    const auto step = [&](const char *name, const std::function<QString()> &work) {
        bench::resetPeak();
        const qint64 before = bench::statusKiB("VmRSS");
        watch.start();
        QElapsedTimer timer;
        timer.start();
        const QString result = work();
        const double s = timer.nsecsElapsed() / 1e9;
        watch.stop();
        out() << name << ": " << QString::number(s, 'f', 3) << " s = " << QString::number(s / cat, 'f', 2)
              << " x cat; peak +" << QString::number((bench::statusKiB("VmHWM") - before) / 1024.0, 'f', 1)
              << " MiB; longest turn " << QString::number(watch.longestMs(), 'f', 1) << " ms CPU; blank top row "
              << watch.blankTops() << " times; " << result << "\n";
        out().flush();
    };
    const qint64 lastBurst = 20000 + burst - 1;
    step("default filter", [&] {
        use(QString());
        model->runFilter();
        return QStringLiteral("%1 rows").arg(model->rowCount());
    });
    step("scroll into the burst", [&] {
        const int row = int(20000 + burst / 2);
        view.scrollTo(model->index(row, 0), QAbstractItemView::PositionAtTop);
        app.processEvents();
        return QStringLiteral("row %1: %2").arg(row).arg(model->index(row, 0).data().toString().section(' ', -2, -2));
    });
    step("find at the burst's end", [&] {
        const int row = model->searchForward(QStringLiteral("rec=%1 ").arg(lastBurst), 0);
        return QStringLiteral("row %1").arg(row);
    });
    step("save", [&] {
        QString error;
        const bool ok = model->saveToFile(folder + QStringLiteral("/burst.txt"), &error);
        return ok ? QStringLiteral("%1 MiB").arg(QFileInfo(folder + QStringLiteral("/burst.txt")).size() >> 20) : error;
    });
    step("refusals only", [&] {
        use(QStringLiteral(">\\s\\[f\\]"));
        model->runFilter();
        return QStringLiteral("%1 rows").arg(model->rowCount());
    });
    step("scroll into the burst (refusals)", [&] {
        const int row = model->rowCount() / 2;
        view.scrollTo(model->index(row, 0), QAbstractItemView::PositionAtTop);
        app.processEvents();
        return QStringLiteral("row %1 shown: %2").arg(row).arg(model->index(row, 0).data().isValid());
    });
    step("scroll up in the burst (refusals)", [&] {
        const int row = model->rowCount() / 2 - 700;
        view.scrollTo(model->index(row, 0), QAbstractItemView::PositionAtTop);
        app.processEvents();
        return QStringLiteral("row %1 shown: %2").arg(row).arg(model->index(row, 0).data().isValid());
    });
    step("page down through the burst (refusals)", [&] {
        int blank = 0;
        for (int i = 0; i < 100; ++i) {
            view.verticalScrollBar()->setValue(view.verticalScrollBar()->value() + 30);
            app.processEvents();
            blank += !model->index(view.verticalScrollBar()->value() + 29, 0).data().isValid();
        }
        return QStringLiteral("100 pages, %1 with a blank row").arg(blank);
    });
    QFile::remove(folder + QStringLiteral("/burst.txt"));
    return 0;
}
