// Speed of filling the log files panel on a folder of large logs, against
// `cat` of the same folder.
//
//   bench_logfiles [--records N] [FOLDER]
//       Writes 50 logs of 300 MiB each into FOLDER/logs (default: a
//       temporary folder): each a run of N records (default 2000) at its
//       start and at its end, with a hole between, so that they take little
//       disk; then times the panel's fill of the folder (best of three) and
//       `cat` of all its logs, and prints both and their ratio.
#include <mainwindow.h>
#include <mlogwriter.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTableWidget>

#include "benchsupport.h"

using bench::out;

namespace {

constexpr int kLogs = 50;
constexpr qint64 kLogSize = qint64(300) << 20;

QByteArray records(int count, quint32 start)
{
    QByteArray bytes;
    for (int i = 0; i < count; ++i) {
        MlogRecord record;
        record.time = start + quint32(i / 10);
        record.subject[0] = 100 + quint32(i);
        record.kind = 2;
        record.payload = "/var/lib/some/file-" + QByteArray::number(i);
        bytes += encodeRecord(record);
    }
    return bytes;
}

} // namespace

// The usage, as the head of this file gives it, for --help.
const char kUsage[] =
    "usage: bench_logfiles [--records N] [FOLDER]\n"
    "    Writes 50 logs of 300 MiB each into FOLDER/logs (default: a\n"
    "    temporary folder): each a run of N records (default 2000) at its\n"
    "    start and at its end, with a hole between, so that they take little\n"
    "    disk; then times the panel's fill of the folder (best of three) and\n"
    "    `cat` of all its logs, and prints both and their ratio.\n";

int main(int argc, char **argv)
{
    if (bench::helpAsked(argc, argv, kUsage))
        return 0;
    bench::Options cli;
    cli.records = 2000;
    bench::parseOptions(argc, argv, &cli);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vrelview-bench"));

    const QString folder = cli.folder + QStringLiteral("/logs");
    QDir().mkpath(folder);
    const quint32 start = 1700000000;
    const QByteArray head = records(int(cli.records), start);
    const QByteArray tail = records(int(cli.records), start + 86400 * 30);
    QStringList paths;
    for (int i = 0; i < kLogs; ++i) {
        const QString path = folder + QStringLiteral("/log%1.mlog").arg(i, 2, 10, QLatin1Char('0'));
        paths << path;
        QFile file(path);
        if (file.size() == kLogSize)
            continue;
        if (!file.open(QIODevice::WriteOnly) || file.write(head) != head.size() || !file.resize(kLogSize - tail.size())
            || !file.seek(kLogSize - tail.size()) || file.write(tail) != tail.size()) {
            out() << "cannot write " << path << "\n";
            return 1;
        }
    }
    out() << kLogs << " logs of " << kLogSize / 1048576 << " MiB in " << folder << "\n";
    out().flush();

    QSettings().setValue(QStringLiteral("config/logdir"), folder);
    mainWindow window;
    auto *table = window.findChild<QTableWidget *>(QStringLiteral("twFiles"));
    double fill = 1e9;
    for (int i = 0; i < 3; ++i) {
        QElapsedTimer t;
        t.start();
        window.fillLogFiles(QDir(folder));
        fill = std::min(fill, t.nsecsElapsed() / 1e9);
    }
    double cat = 1e9;
    for (int i = 0; i < 3; ++i) {
        QProcess process;
        process.setStandardOutputFile(QProcess::nullDevice());
        QElapsedTimer t;
        t.start();
        process.start(QStringLiteral("cat"), paths);
        process.waitForFinished(-1);
        cat = std::min(cat, t.nsecsElapsed() / 1e9);
    }
    out() << "fill of the panel: " << QString::number(fill, 'f', 4) << " s for " << table->rowCount()
          << " rows (target well under 1 s)\n"
          << "cat of the logs:   " << QString::number(cat, 'f', 4) << " s\n"
          << "fill / cat:        " << QString::number(fill / cat, 'f', 4) << "\n";
    return 0;
}
