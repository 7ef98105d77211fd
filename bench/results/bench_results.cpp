// Speed and size of filter runs and scroll jumps on a large log, against
// `grep -c` over a text dump of the same records.
//
//   bench_results [--records N] [FOLDER]
//       Generates a log of N records (default 10 000 000, about 1 GiB) in
//       FOLDER (default: a temporary folder; an existing FOLDER/bench.mlog
//       of the same record count is reused), reads it, dumps its record
//       texts to a file and times `grep -c` over the dump. Then, in a list
//       view (offscreen), runs the model with no criteria and with a
//       refusals-only filter: time until the first rows are in the model,
//       time until counting ends, peak memory above the memory after the
//       read, and the time until a jump of the scroll bar to the middle and
//       to the end has its rows loaded. Prints seconds and ratios to grep.
#include <clog.h>
#include <cstringlistmodel.h>
#include <filtermatch.h>
#include <mlogwriter.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QListView>

#include "resultview.h"
#include <QProcess>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextStream>

#include <memory>

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

qint64 countRecords(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const qint64 size = f.size();
    const uchar *data = size > 0 ? f.map(0, size) : nullptr;
    if (!data)
        return size == 0 ? 0 : -1;
    qint64 records = 0;
    for (qint64 pos = 0; pos + 40 <= size; ++records)
        pos += 40 + (data[pos + 38] | data[pos + 39] << 8);
    return records;
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

void runOne(const QString &title, CLog *log, const CFilterPtr &filter, double grep,
            qint64 expectedRows)
{
    // The list view exactly as a result tab of the window makes it.
    std::unique_ptr<QAbstractItemView> owner(createResultView(nullptr));
    QAbstractItemView &view = *owner;
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
    QObject::connect(model, &QAbstractItemModel::rowsInserted, model, [&] {
        if (firstRows < 0)
            firstRows = t.nsecsElapsed() / 1e9;
    });
    t.start();
    model->runFilter();
    const double count = t.nsecsElapsed() / 1e9;
    // Let the view lay out all rows, as it does after the run returns, in
    // turns of the event loop; the longest turn is how long the window
    // would not answer.
    QElapsedTimer layout;
    layout.start();
    double longestTurn = 0;
    do {
        QElapsedTimer turn;
        turn.start();
        QCoreApplication::processEvents();
        longestTurn = std::max(longestTurn, turn.nsecsElapsed() / 1e9);
    } while (view.verticalScrollBar()->maximum() + 200 < model->rowCount() && layout.elapsed() < 60000);
    const double layoutSeconds = layout.nsecsElapsed() / 1e9;
    const qint64 peakKiB = statusKiB("VmHWM") - rssBefore;

    QScrollBar *bar = view.verticalScrollBar();
    auto jump = [&](int value) {
        QElapsedTimer j;
        j.start();
        bar->setValue(value);
        const bool loaded = model->index(bar->value(), 0).data().isValid();
        const double s = j.nsecsElapsed() / 1e9;
        return qMakePair(s, loaded);
    };
    const auto middle = jump(bar->maximum() / 2);
    const auto end = jump(bar->maximum());
    const bool lastLoaded = model->index(model->rowCount() - 1, 0).data().isValid();

    out() << "[" << title << "] rows " << model->rowCount()
          << (model->rowCount() == expectedRows ? " (= grep)" : " (grep differs!)") << "\n"
          << "  first rows in model: " << ratio(firstRows, grep) << "  (target 0.2 s)\n"
          << "  counting ended:      " << ratio(count, grep) << "  (target 5 x grep)\n"
          << "  view layout after:   " << ratio(layoutSeconds, grep) << ", longest turn "
          << longestTurn << " s\n"
          << "  peak memory:         +" << peakKiB / 1024.0 << " MiB above "
          << rssBefore / 1024.0 << " MiB" << (peakReset ? "" : " (peak not reset!)")
          << "  (target 200 MiB)\n"
          << "  scroll to middle:    " << ratio(middle.first, grep)
          << (middle.second ? "" : " (rows not loaded!)") << "  (target 0.1 s)\n"
          << "  scroll to end:       " << ratio(end.first, grep)
          << (end.second && lastLoaded ? "" : " (rows not loaded!)") << "  (target 0.1 s)\n";
    out().flush();
}

} // namespace

int main(int argc, char **argv)
{
    bench::Options cli;
    bench::parseOptions(argc, argv, &cli);
    const QString folder = cli.folder;
    const qint64 records = cli.records;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName("vrelview");
    QDir().mkpath(QFileInfo(CLog::indexFilePath(folder + "/x.mlog")).path());

    const QString path = folder + "/bench.mlog";
    QElapsedTimer t;
    t.start();
    if (countRecords(path) != records) {
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
    CFilterPtr refusals(new CFilter("refusals"));
    refusals->setLists({{fragments().at(1)}, {}, {}, {}, {}, {}});
    runOne("refusals only", &log, refusals, refused.seconds, refused.count);
    CFilterPtr rareFilter(new CFilter("rare"));
    rareFilter->setLists({{}, {}, {}, {}, {}, {rarePattern}});
    runOne("refused ptrace (rare)", &log, rareFilter, rare.seconds, rare.count);
    return 0;
}
