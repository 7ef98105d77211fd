// What a filter run costs, from the log file through the record library to
// the count, against producing the texts alone and against `grep -c -E`
// over a text dump of the same records.
//
//   bench_filter [--records N] [--rare] [FOLDER]
//       Generates a log of N records (default 1 000 000) in FOLDER (default:
//       a temporary folder; an existing FOLDER/bench.mlog of that many
//       records is reused), reads it, dumps its texts one per line, and for
//       each typical filter times, best of three, on one thread:
//         run     CLog::forEachBlockUtf8 + countMatchesUtf8 over every
//                 block, as a filter run counts (no criteria: the reader's
//                 plain count, as the run does then);
//         grep    `grep -c -E` with an equivalent pattern over the dump
//                 (C locale);
//         memory  countMatches alone over at most a million texts held in
//                 memory (the matching share of the run, per record).
//       The last filter is a list of 100,000 watched paths (grep gets them
//       as fixed strings); for it the time to compile and the memory per
//       entry are printed as well.
//       The floor is the same walk producing the texts without matching
//       ("texts alone"), timed in turn with each filter's runs so that both
//       see the same machine; the run is printed as a ratio to it and to
//       grep.
//       Then a second log of as many records, generated with rare users,
//       events and refusals (mloggen --rare 0.005 --rare-session 100
//       --rare-path 0.01 --refusals 0.05: the rare user's records and the
//       rare file's paths come in sessions of 100 in a row), answers rare
//       questions (at most 1 % of the records) and common ones through the
//       block summaries, in processor seconds of this thread
//       (grep: of its process), median of three each, every kind of run in
//       turn in each round:
//         today   every block read (summaries turned off);
//         first   a first run after the scan of a log without an index file,
//                 which makes the summaries, in wall seconds (its ratio: the
//                 median of each round's ratio to the same run without
//                 summaries; a path question's first run makes the path
//                 words too, on a thread of their own, so "cpu x" gives
//                 the same ratio in processor seconds of every thread);
//         later   a run of the log opened again, its summaries read from the
//                 companion file, skipping the blocks they rule out;
//       each as a ratio to today, and later against grep over that log's
//       dump; "read" is the share of blocks a later run reads, "false +"
//       the share of the blocks without a match that it reads all the same.
//       The companion file's and the summaries' sizes are printed.
//       With --rare, only this table.
#include <blockquestion.h>
#include <clog.h>
#include <cmatcher.h>
#include <filtermatch.h>
#include <mlogwriter.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <algorithm>
#include <functional>

#include <malloc.h>
#include <iterator>
#include <vector>

#include "benchsupport.h"

using bench::out;

namespace {

struct Case
{
    const char *name;
    QList<QStringList> lists;
    QString grepPattern;
    QStringList grepStrings = {}; // instead of the pattern: fixed strings (grep -F -f)
};

QList<QStringList> six(const QStringList &status = {}, const QStringList &events = {},
                       const QStringList &users = {}, const QStringList &params = {})
{
    return {status, {}, events, {}, users, params};
}

double seconds(const std::function<void()> &work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return timer.nsecsElapsed() / 1e9;
}

// Processor seconds of `work` on this thread (the walks run on one): on a
// machine shared with other work, wall time says more about the others.
double cpuSeconds(const std::function<void()> &work)
{
    const double from = bench::clockSeconds(CLOCK_THREAD_CPUTIME_ID);
    work();
    return bench::clockSeconds(CLOCK_THREAD_CPUTIME_ID) - from;
}

// Wall seconds of `work`, and the processor seconds of the whole process
// (its every thread) meanwhile.
struct Timing
{
    double wall = 0;
    double cpu = 0;
};

Timing timed(const std::function<void()> &work)
{
    const double wall = bench::clockSeconds(CLOCK_MONOTONIC);
    const double cpu = bench::clockSeconds(CLOCK_PROCESS_CPUTIME_ID);
    work();
    return {bench::clockSeconds(CLOCK_MONOTONIC) - wall, bench::clockSeconds(CLOCK_PROCESS_CPUTIME_ID) - cpu};
}

// The median of three runs of `work`, in seconds.
double medianOf3(const std::function<void()> &work)
{
    double runs[3];
    for (double &run : runs)
        run = seconds(work);
    std::sort(std::begin(runs), std::end(runs));
    return runs[1];
}

double median(std::vector<double> runs)
{
    std::sort(runs.begin(), runs.end());
    return runs[runs.size() / 2];
}

// grep runs in the C locale, its fastest mode (byte-wise matching); the
// patterns and the records are such that the counts are the same.
double grepSeconds(const QStringList &arguments, const QString &file, qint64 *count)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    return medianOf3([&] {
        QProcess grep;
        grep.setProcessEnvironment(env);
        grep.start(QStringLiteral("grep"), QStringList{QStringLiteral("-c")} + arguments + QStringList{file});
        grep.waitForFinished(-1);
        *count = grep.readAllStandardOutput().trimmed().toLongLong();
    });
}

// As grepSeconds, in processor seconds of grep (user and system), to set
// beside the processor seconds of a run.
double grepCpuSeconds(const QStringList &arguments, const QString &file, qint64 *count)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    std::vector<double> runs;
    for (int round = 0; round < 3; ++round) {
        const double from = bench::childrenCpu();
        QProcess grep;
        grep.setProcessEnvironment(env);
        grep.start(QStringLiteral("grep"), QStringList{QStringLiteral("-c")} + arguments + QStringList{file});
        grep.waitForFinished(-1);
        *count = grep.readAllStandardOutput().trimmed().toLongLong();
        runs.push_back(bench::childrenCpu() - from);
    }
    std::sort(runs.begin(), runs.end());
    return runs[1];
}

// Bytes the heap holds, large blocks (which malloc maps apart) included.
double heapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return double(info.uordblks) + double(info.hblkhd);
}

QString field(const QString &text, int width)
{
    return text.rightJustified(width);
}

} // namespace

// Counts the matches of `matcher` over every block of `log`, skipping the
// blocks `question` rules out when it is given: in pieces of texts, as a
// filter run's walk reads them.
qint64 countRun(const CLog &log, const CMatcher &matcher, const BlockQuestion *question)
{
    qint64 count = 0;
    log.forEachPieceUtf8(0, log.blockCount() - 1, [&](const CLog::TextPiece &piece) {
        count += countMatchesUtf8(matcher, piece.texts);
        return true;
    }, TimeSpan(), -1, question && question->asksAnything() ? question : nullptr);
    return count;
}

void removeIndexFiles(const QString &logPath)
{
    const QString index = CLog::indexFilePath(logPath);
    QFile::remove(index);
    QFile::remove(index + QStringLiteral(".aux"));
    QFile::remove(index + QStringLiteral(".spare"));
}

// The table of rare and common questions answered through block summaries.
bool rareQuestions(const bench::Options &cli, const QString &textPath)
{
    const QString logPath = cli.folder + QStringLiteral("/bench-rare.mlog");
    QDir().mkpath(QFileInfo(CLog::indexFilePath(logPath)).path());
    if (bench::countRecords(logPath) != cli.records) {
        MlogGeneratorOptions options;
        options.records = cli.records;
        options.seed = 4212;
        options.rare = 0.005;
        options.rareSession = 100;
        options.refusals = 0.05;
        options.rarePath = 0.01;
        QString error;
        if (!generateLog(logPath, options, &error)) {
            out() << "cannot generate the log: " << error << Qt::endl;
            return false;
        }
    }
    removeIndexFiles(logPath);
    {
        CLog log;
        log.setSummariesUsed(false);
        log.readLog(logPath);
        QFile dump(textPath);
        if (!dump.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return false;
        QByteArray buffer;
        log.forEachBlock(0, log.blockCount() - 1, [&](int, const QStringList &texts) {
            for (const QString &text : texts)
                buffer += text.toUtf8() + '\n';
            if (buffer.size() > (1 << 20)) {
                dump.write(buffer);
                buffer.clear();
            }
            return true;
        });
        dump.write(buffer);
    }

    const QStringList &f = fragments();
    const QList<Case> cases = {
        {"refused ptrace (rare)", six({f.at(1)}, toPatternForm(six({}, {QStringLiteral("ptrace")})).at(2)),
         QStringLiteral(">\\s\\[f\\]\\sptrace([^_[:alnum:]]|$)")},
        {"rare user (uid 4242)", six({}, {}, {f.at(7) + QStringLiteral("4242")}),
         QStringLiteral("<[0-9]+,[0-9]+,4242")},
        {"refused init_module (rare)", six({f.at(1)}, {f.at(8) + QStringLiteral("init_module")}),
         QStringLiteral(">\\s\\[f\\]\\sinit_module")},
        {"one path (rare)", six({}, {}, {}, {QStringLiteral("/srv/payroll/salaries.db")}),
         QStringLiteral("/srv/payroll/salaries\\.db")},
        {"refusals only", six({f.at(1)}), QStringLiteral(">\\s\\[f\\]")},
        {"one user (daemon)", six({}, {}, {userToPattern(QStringLiteral("daemon"), FormDirection::ToPattern)}),
         QStringLiteral("<[0-9]+,[0-9]+,1,")},
        {"one path (/etc/shadow)", six({}, {}, {}, {QStringLiteral("/etc/shadow")}), QStringLiteral("/etc/shadow")},
    };
    out() << "\nRare and common questions through block summaries (" << cli.records << " records, "
          << "mloggen --rare 0.005 --rare-session 100 --rare-path 0.01 --refusals 0.05),\n"
          << "processor seconds, median of three:\n"
          << qSetFieldWidth(28) << Qt::left << "filter" << qSetFieldWidth(0) << field(QStringLiteral("matches"), 10)
          << field(QStringLiteral("share"), 8) << field(QStringLiteral("today s"), 9) << field(QStringLiteral("first s"), 9)
          << field(QStringLiteral("x today"), 9) << field(QStringLiteral("cpu x"), 7) << field(QStringLiteral("later s"), 9) << field(QStringLiteral("x today"), 9)
          << field(QStringLiteral("grep s"), 9) << field(QStringLiteral("x grep"), 8) << field(QStringLiteral("read"), 8)
          << field(QStringLiteral("false +"), 9) << Qt::endl;
    qint64 records = 0;
    int blocks = 0;
    for (const Case &c : cases) {
        const CMatcher matcher(c.lists);
        const BlockQuestion question(c.lists);
        CLog plain;
        plain.setSummariesUsed(false);
        plain.readLog(logPath);
        qint64 expected = 0;
        qint64 count = 0;
        std::vector<double> today, later;
        std::vector<Timing> firstToday, first;
        // Each round times every kind of run in turn, so that all see the
        // same machine.
        for (int round = 0; round < 3; ++round) {
            today.push_back(cpuSeconds([&] { expected = countRun(plain, matcher, nullptr); }));
            // The first run of a fresh reader that has just scanned the
            // log, without summaries and with them, when its run makes them.
            removeIndexFiles(logPath);
            {
                CLog fresh;
                fresh.setSummariesUsed(false);
                fresh.readLog(logPath);
                firstToday.push_back(timed([&] { countRun(fresh, matcher, nullptr); }));
            }
            removeIndexFiles(logPath);
            CLog fresh;
            fresh.readLog(logPath);
            first.push_back(timed([&] { count = countRun(fresh, matcher, &question); }));
            if (count != expected)
                out() << "first run counted " << count << ", not " << expected << Qt::endl;
            // A later run: the log opened again, its summaries read from
            // the companion file.
            CLog reopened;
            reopened.readLog(logPath);
            later.push_back(cpuSeconds([&] { count = countRun(reopened, matcher, &question); }));
            if (count != expected)
                out() << "later run counted " << count << ", not " << expected << Qt::endl;
        }
        if (records == 0) {
            plain.countBlockTexts(0, plain.blockCount() - 1, [&](int, int n) {
                records += n;
                return true;
            });
            blocks = plain.blockCount();
        }
        // Which blocks a later run reads, and of the blocks without a
        // match, how many the summaries could not rule out (false
        // positives of the filters, and of what they do not record).
        std::vector<int> perBlock;
        plain.forEachBlockUtf8(0, plain.blockCount() - 1, [&](int, const QByteArray &texts) {
            perBlock.push_back(int(countMatchesUtf8(matcher, texts)));
            return true;
        });
        CLog summed;
        summed.readLog(logPath);
        int read = 0;
        int without = 0;
        int notRuledOut = 0;
        for (int b = 0; b < summed.blockCount() && b < int(perBlock.size()); ++b) {
            const bool may = !question.asksAnything() || !summed.passesOver(b, question);
            read += may;
            if (perBlock[size_t(b)] == 0) {
                ++without;
                notRuledOut += may;
            }
        }
        qint64 grepCount = 0;
        const double grep = grepCpuSeconds({QStringLiteral("-E"), QStringLiteral("--"), c.grepPattern}, textPath,
                                           &grepCount);
        const double t = median(today);
        // The first runs as the median of each round's ratio: the two runs
        // of a round follow each other, and see the same machine.
        std::vector<double> firstWall, firstRatios, firstCpuRatios;
        for (size_t r = 0; r < first.size(); ++r) {
            firstWall.push_back(first[r].wall);
            firstRatios.push_back(first[r].wall / firstToday[r].wall);
            firstCpuRatios.push_back(first[r].cpu / firstToday[r].cpu);
        }
        out() << qSetFieldWidth(28) << Qt::left << c.name << qSetFieldWidth(0) << field(QString::number(expected), 10)
              << field(QString::number(100.0 * double(expected) / double(std::max<qint64>(1, records)), 'f', 2) + "%", 8)
              << field(QString::number(t, 'f', 3), 9) << field(QString::number(median(firstWall), 'f', 3), 9)
              << field(QString::number(median(firstRatios), 'f', 2), 9)
              << field(QString::number(median(firstCpuRatios), 'f', 2), 7) << field(QString::number(median(later), 'f', 3), 9)
              << field(QString::number(median(later) / t, 'f', 2), 9) << field(QString::number(grep, 'f', 3), 9)
              << field(QString::number(median(later) / grep, 'f', 2), 8)
              << field(QString::number(100.0 * read / std::max(1, int(perBlock.size())), 'f', 1) + "%", 8)
              << field(QString::number(100.0 * notRuledOut / std::max(1, without), 'f', 1) + "%", 9);
        if (grepCount != expected)
            out() << "  (grep counted " << grepCount << ")";
        out() << Qt::endl;
    }
    const QString index = CLog::indexFilePath(logPath);
    const qint64 indexSize = QFileInfo(index).size();
    const qint64 auxSize = QFileInfo(index + QStringLiteral(".aux")).size();
    out() << "\n" << blocks << " blocks; index " << indexSize << " bytes, companion " << auxSize << " bytes = "
          << QString::number(double(auxSize) / double(std::max(1, blocks)), 'f', 1) << " bytes per block (limit "
          << QString::number(0.02 * double(indexSize) / double(std::max(1, blocks)) + 64, 'f', 1)
          << "); summaries in memory " << sizeof(BlockSummary) << " bytes per block" << Qt::endl;
    return true;
}

// The usage, as the head of this file gives it, for --help.
const char kUsage[] =
    "usage: bench_filter [--records N] [--rare] [FOLDER]\n"
    "    Generates a log of N records (default 1 000 000) in FOLDER (default:\n"
    "    a temporary folder; an existing FOLDER/bench.mlog of that many\n"
    "    records is reused), reads it, dumps its texts one per line, and for\n"
    "    each typical filter times, best of three, on one thread:\n"
    "      run     CLog::forEachBlockUtf8 + countMatchesUtf8 over every\n"
    "              block, as a filter run counts (no criteria: the reader's\n"
    "              plain count, as the run does then);\n"
    "      grep    `grep -c -E` with an equivalent pattern over the dump\n"
    "              (C locale);\n"
    "      memory  countMatches alone over at most a million texts held in\n"
    "              memory (the matching share of the run, per record).\n"
    "    The last filter is a list of 100,000 watched paths (grep gets them\n"
    "    as fixed strings); for it the time to compile and the memory per\n"
    "    entry are printed as well.\n"
    "    The floor is the same walk producing the texts without matching\n"
    "    (\"texts alone\"), timed in turn with each filter's runs so that both\n"
    "    see the same machine; the run is printed as a ratio to it and to\n"
    "    grep.\n"
    "    Then a second log of as many records, generated with rare users,\n"
    "    events and refusals (mloggen --rare 0.005 --rare-session 100\n"
    "    --rare-path 0.01 --refusals 0.05: the rare user's records and the\n"
    "    rare file's paths come in sessions of 100 in a row), answers rare\n"
    "    questions (at most 1 % of the records) and common ones through the\n"
    "    block summaries, in processor seconds of this thread\n"
    "    (grep: of its process), median of three each, every kind of run in\n"
    "    turn in each round:\n"
    "      today   every block read (summaries turned off);\n"
    "      first   a first run after the scan of a log without an index file,\n"
    "              which makes the summaries, in wall seconds (its ratio: the\n"
    "              median of each round's ratio to the same run without\n"
    "              summaries; a path question's first run makes the path\n"
    "              words too, on a thread of their own, so \"cpu x\" gives\n"
    "              the same ratio in processor seconds of every thread);\n"
    "      later   a run of the log opened again, its summaries read from the\n"
    "              companion file, skipping the blocks they rule out;\n"
    "    each as a ratio to today, and later against grep over that log's\n"
    "    dump; \"read\" is the share of blocks a later run reads, \"false +\"\n"
    "    the share of the blocks without a match that it reads all the same.\n"
    "    The companion file's and the summaries' sizes are printed.\n"
    "    With --rare, only this table.\n";

int main(int argc, char **argv)
{
    if (bench::helpAsked(argc, argv, kUsage))
        return 0;
    // --rare: the table of rare and common questions alone.
    std::vector<char *> args(argv, argv + argc);
    const auto rareOnly = std::find_if(args.begin() + 1, args.end(), [](const char *a) { return qstrcmp(a, "--rare") == 0; });
    const bool onlyRare = rareOnly != args.end();
    if (onlyRare)
        args.erase(rareOnly);
    bench::Options cli;
    cli.records = 1000000;
    bench::parseOptions(int(args.size()), args.data(), &cli);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vrelview"));
    if (onlyRare) {
        const QString textPath = cli.folder + QStringLiteral("/bench-rare.txt");
        const bool done = rareQuestions(cli, textPath);
        QFile::remove(textPath);
        return done ? 0 : 1;
    }

    const QString logPath = cli.folder + QStringLiteral("/bench.mlog");
    const QString textPath = cli.folder + QStringLiteral("/bench.txt");
    QDir().mkpath(QFileInfo(CLog::indexFilePath(logPath)).path());
    if (bench::countRecords(logPath) != cli.records) {
        MlogGeneratorOptions options;
        options.records = cli.records;
        options.seed = 4212;
        QString error;
        if (!generateLog(logPath, options, &error)) {
            out() << "cannot generate the log: " << error << Qt::endl;
            return 1;
        }
    }
    CLog log;
    log.readLog(logPath);
    const int last = log.blockCount() - 1;

    // The text dump for grep, and up to a million texts kept for the
    // in-memory figure.
    QStringList sample;
    {
        QFile dump(textPath);
        if (!dump.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            out() << "cannot write " << textPath << Qt::endl;
            return 1;
        }
        QByteArray buffer;
        log.forEachBlock(0, last, [&](int, const QStringList &texts) {
            for (const QString &text : texts) {
                buffer += text.toUtf8();
                buffer += '\n';
                if (sample.size() < 1000000)
                    sample.append(text);
            }
            if (buffer.size() > (1 << 20)) {
                dump.write(buffer);
                buffer.clear();
            }
            return true;
        });
        dump.write(buffer);
    }

    qint64 texts = 0;
    const auto textsAlone = [&] {
        texts = 0;
        log.forEachBlock(0, last, [&](int, const QStringList &block) {
            texts += block.size();
            return true;
        });
    };
    const double floor = medianOf3(textsAlone);
    // The reader's walk handing out UTF-8 texts, without matching: what a
    // run costs before its matcher looks at a text.
    const double bytesAlone = medianOf3([&] {
        log.forEachBlockUtf8(0, last, [&](int, const QByteArray &) { return true; });
    });
    qint64 grepAll = 0;
    const double grepAllSeconds = grepSeconds({QStringLiteral("-E"), QStringLiteral("--"), QString()}, textPath, &grepAll);
    out() << texts << " records in " << log.blockCount() << " blocks, "
          << QString::number(QFileInfo(textPath).size() / 1048576.0, 'f', 1) << " MiB of text\n"
          << "texts alone (forEachBlock): " << QString::number(floor, 'f', 3) << " s = "
          << QString::number(floor / grepAllSeconds, 'f', 2) << " x grep -c '' ("
          << QString::number(grepAllSeconds, 'f', 3) << " s)\n"
          << "UTF-8 texts alone (forEachBlockUtf8): " << QString::number(bytesAlone, 'f', 3) << " s = "
          << QString::number(bytesAlone / floor, 'f', 2) << " x texts alone\n\n";

    // A watched-paths list of 100,000 plain entries, a few of which the log holds.
    QStringList paths{QStringLiteral("/etc/shadow"), QStringLiteral("/etc/sudoers"), QStringLiteral("/usr/bin/passwd"),
                      QStringLiteral("/etc/crontab"), QStringLiteral("/dev/null")};
    for (int i = paths.size(); i < 100000; ++i)
        paths << QStringLiteral("/srv/data/p%1/file_%2").arg(i % 997).arg(i);
    const QString pathsFile = cli.folder + QStringLiteral("/paths.txt");
    {
        QFile file(pathsFile);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            out() << "cannot write " << pathsFile << Qt::endl;
            return 1;
        }
        file.write(paths.join(QLatin1Char('\n')).toUtf8() + '\n');
    }

    const QStringList events = toPatternForm(six({}, {QStringLiteral("open"), QStringLiteral("unlink")})).at(2);
    const QList<Case> cases = {
        {"no criteria", six(), QString()},
        {"refusals only", six({fragments().at(1)}), QStringLiteral(">\\s\\[f\\]")},
        {"one user (daemon)", six({}, {}, {userToPattern(QStringLiteral("daemon"), FormDirection::ToPattern)}),
         QStringLiteral("<[0-9]+,[0-9]+,1,")},
        {"two events (open, unlink)", six({}, events), QStringLiteral("\\[[sf]\\]\\s(open|unlink)([^_[:alnum:]]|$)")},
        {"parameter passwd|shadow", six({}, {}, {}, {QStringLiteral("passwd|shadow")}), QStringLiteral("passwd|shadow")},
        {"refused ptrace (rare)", six({fragments().at(1)}, toPatternForm(six({}, {QStringLiteral("ptrace")})).at(2)),
         QStringLiteral(">\\s\\[f\\]\\sptrace([^_[:alnum:]]|$)")},
        {"100,000 paths", six({}, {}, {}, paths), QString(), paths},
    };

    out() << qSetFieldWidth(28) << Qt::left << "filter" << qSetFieldWidth(0) << field(QStringLiteral("matches"), 10)
          << field(QStringLiteral("run s"), 9) << field(QStringLiteral("x floor"), 9) << field(QStringLiteral("grep s"), 9)
          << field(QStringLiteral("x grep"), 8) << field(QStringLiteral("memory ns/rec"), 15) << Qt::endl;
    QString notes;
    for (const Case &c : cases) {
        const double heapBefore = heapInUse();
        QElapsedTimer compileTimer;
        compileTimer.start();
        const CMatcher matcher(c.lists);
        const double compileSeconds = compileTimer.nsecsElapsed() / 1e9;
        const double heap = heapInUse() - heapBefore;
        int entries = 0;
        for (const QStringList &list : c.lists)
            entries += list.size();
        if (entries > 1000)
            notes += QStringLiteral("%1: %2 entries compiled in %3 s, %4 bytes of memory per entry\n")
                         .arg(QLatin1String(c.name)).arg(entries).arg(compileSeconds, 0, 'f', 3)
                         .arg(heap / entries, 0, 'f', 0);
        qint64 count = 0;
        double rowFloor = 0;
        double run = 0;
        const auto filterRun = [&] {
            count = 0;
            if (matcher.matchesEverything()) {
                log.countBlockTexts(0, last, [&](int, int n) {
                    count += n;
                    return true;
                });
                return;
            }
            log.forEachBlockUtf8(0, last, [&](int, const QByteArray &block) {
                count += countMatchesUtf8(matcher, block);
                return true;
            });
        };
        std::vector<double> floors;
        std::vector<double> runs;
        for (int round = 0; round < 3; ++round) {
            floors.push_back(seconds(textsAlone));
            runs.push_back(seconds(filterRun));
        }
        rowFloor = median(floors);
        run = median(runs);
        const double memory = medianOf3([&] { countMatches(matcher, sample); });
        qint64 grepCount = 0;
        const QStringList grepArguments = c.grepStrings.isEmpty()
            ? QStringList{QStringLiteral("-E"), QStringLiteral("--"), c.grepPattern}
            : QStringList{QStringLiteral("-F"), QStringLiteral("-f"), pathsFile};
        const double grep = grepSeconds(grepArguments, textPath, &grepCount);
        out() << qSetFieldWidth(28) << Qt::left << c.name << qSetFieldWidth(0) << field(QString::number(count), 10)
              << field(QString::number(run, 'f', 3), 9) << field(QString::number(run / rowFloor, 'f', 2), 9)
              << field(QString::number(grep, 'f', 3), 9) << field(QString::number(run / grep, 'f', 2), 8)
              << field(QString::number(memory * 1e9 / std::max(1, int(sample.size())), 'f', 1), 15);
        if (grepCount != count)
            out() << "  (grep counted " << grepCount << ")";
        out() << Qt::endl;
    }
    out() << Qt::endl << notes;
    QFile::remove(pathsFile);
    if (!rareQuestions(cli, textPath))
        return 1;
    QFile::remove(textPath);
    return 0;
}
