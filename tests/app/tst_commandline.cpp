// The commands that run without a window, run as a process without a
// display: exit statuses, one-line messages, the output equal to the
// window's save of the same filter (over one log or a set of them),
// standard output and nothing left half written.
#include "clog.h"
#include "cstringlistmodel.h"
#include "logpath.h"
#include "logset.h"
#include "mlogwriter.h"
#include "resultsummary.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const quint32 kStart = 1780000000;
const QString kCostly = QStringLiteral("(a|a|a|a|a|a|a|a)*\\1b");

struct Run
{
    int status = -1;
    QByteArray out;
    QByteArray err;
};

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// What `model` makes for `command` (--count, --summary, else an export in
// `format`, written through `scratch`), as the program prints or writes it.
QByteArray modelOutput(CStringListModel &model, const QString &command, ExportFormat format, const QString &scratch)
{
    if (command == QLatin1String("--count")) {
        model.runFilter();
        return QByteArray::number(model.rowCount()) + '\n';
    }
    if (command == QLatin1String("--summary")) {
        ResultSummary summary;
        if (summarizeRows(&model, &summary) != SummaryEnd::Done)
            return "<no summary>";
        return format == ExportFormat::Csv ? summary.toCsv() : summary.toText().toUtf8();
    }
    return model.saveToFile(scratch, nullptr, format) ? readAll(scratch) : QByteArray("<not saved>");
}

// `rawLog`: the LOG given by its bytes instead of "audit.mlog".
struct Output { const char *name; QStringList command; QString filter; QStringList options; ExportFormat format; QByteArray rawLog = {}; };
struct Failure { const char *name; QStringList arguments; int status; QString message; QByteArray rawLog = {}; };

} // namespace

Q_DECLARE_METATYPE(Output)
Q_DECLARE_METATYPE(Failure)

class TestCommandLine : public QObject
{
    Q_OBJECT
    QTemporaryDir m_home;
    QTemporaryDir m_dir;
    QString m_log;
    QStringList m_logs; // a set of rotated files, newest first

    // The program with `arguments` in the test's folder, without a display,
    // in English; then `rawLog`, given by its bytes through the shell
    // (QProcess passes no name that is not UTF-8).
    Run run(const QStringList &arguments, const QString &stdoutFile = QString(), const QByteArray &rawLog = {})
    {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QLatin1String(name));
        env.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
        env.insert(QStringLiteral("LANGUAGE"), QString());
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(m_dir.path());
        if (!stdoutFile.isEmpty())
            process.setStandardOutputFile(stdoutFile);
        if (rawLog.isEmpty()) {
            process.start(QStringLiteral(VRELVIEW), arguments);
        } else {
            QString octal;
            for (const char c : rawLog)
                octal += QStringLiteral("\\%1").arg(uint(uchar(c)), 3, 8, QLatin1Char('0'));
            process.start(QStringLiteral("/bin/sh"),
                          QStringList{QStringLiteral("-c"), "exec \"$0\" \"$@\" \"$(printf '" + octal + "')\"",
                                      QStringLiteral(VRELVIEW)}
                              + arguments);
        }
        Run result;
        if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
            return result;
        result.status = process.exitCode();
        result.out = process.readAllStandardOutput();
        result.err = process.readAllStandardError();
        return result;
    }

    // What the window makes of the saved filter `name` (or all records) over
    // the filter's range, or the range of --from and --to in `options`, as
    // `command` prints or writes it.
    QByteArray windowOutput(const QString &command, const QString &name, const QStringList &options, ExportFormat format)
    {
        CLog log;
        log.readLog(m_log);
        CFilterPtr filter = CFilterPtr::create(name.isEmpty() ? QStringLiteral("default") : name);
        if (!name.isEmpty())
            filter->load();
        CStringListModel model(&log, filter);
        const auto time = [&options](const char *option) {
            const QString value = options.value(options.indexOf(QLatin1String(option)) + 1);
            return QDateTime::fromString(QString(value).replace(QLatin1Char(' '), QLatin1Char('T')), Qt::ISODate);
        };
        if (options.contains(QStringLiteral("--from")))
            model.useRange(time("--from"), time("--to"));
        else
            model.useFilterRange();
        return modelOutput(model, command, format, m_dir.filePath(QStringLiteral("window.out")));
    }

    // What a model over the set of `logs` gives for `command`.
    QByteArray setOutput(const QStringList &logs, const QString &command, ExportFormat format)
    {
        LogSet set;
        QStringList paths;
        for (const QString &log : logs)
            paths.append(m_dir.filePath(log));
        set.readLogs(paths);
        CStringListModel model(&set, CFilterPtr::create(QStringLiteral("default")));
        model.useFilterRange();
        return modelOutput(model, command, format, m_dir.filePath(QStringLiteral("model.out")));
    }

private slots:
    void initTestCase()
    {
        // This process reads and writes the settings the program does.
        qputenv("HOME", m_home.path().toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", m_home.filePath(QStringLiteral(".config")).toLocal8Bit());
        QCoreApplication::setOrganizationName(QStringLiteral("vrel"));
        QCoreApplication::setApplicationName(QStringLiteral("vrelview"));
        m_log = m_dir.filePath(QStringLiteral("audit.mlog"));
        QFile file(m_log), costly(m_dir.filePath(QStringLiteral("costly.mlog")));
        QVERIFY(file.open(QIODevice::WriteOnly) && costly.open(QIODevice::WriteOnly));
        for (int i = 0; i < 3000; ++i) {
            QVERIFY(file.write(encodeRecord({kStart + quint32(i / 7), {100 + quint32(i), 1, i % 4 == 0 ? 0u : 54321u, 0, 0}, 2, 0,
                                             i % 3 == 0 ? 1u : 0u, 0, "/srv/item-" + QByteArray::number(i) + ", \"x\" Grüße"})) > 0);
            // Record 30 of the costly log is the one no engine decides in time.
            QVERIFY(i >= 40 || costly.write(encodeRecord({kStart + quint32(i), {1, 1, 0, 0, 0}, 2, 0, 0, 0,
                                                          i == 30 ? QByteArray(400, 'a') : QByteArray("ab")})) > 0);
        }
        const QByteArray raw = QFile::encodeName(m_dir.path()) + "/\xff\xfe.mlog";
        QCOMPARE(::link(QFile::encodeName(m_log).constData(), raw.constData()), 0);

        CFilter refusals(QStringLiteral("refusals"));
        refusals.setLists({{QStringLiteral(">\\s\\[f\\]")}, {}, {}, {}, {}, {}});
        QVERIFY(refusals.save(refusals.name));
        CFilter ranged(QStringLiteral("ten minutes"));
        ranged.period = -600;
        ranged.time = QDateTime::fromSecsSinceEpoch(kStart + 200);
        QVERIFY(ranged.save(ranged.name));
        CFilter expensive(QStringLiteral("costly"));
        expensive.setLists({{}, {}, {}, {}, {}, {kCostly}});
        QVERIFY(expensive.save(expensive.name));
        // Three rotated files of a set that overlap at their ends.
        m_logs = QStringList{"kernel.mlog", "kernel.mlog.1", "kernel.mlog.2"};
        for (int f = 0; f < 3; ++f) {
            QFile file(m_dir.filePath(m_logs[f]));
            QVERIFY(file.open(QIODevice::WriteOnly));
            const quint32 first = kStart + quint32(200 * (2 - f));
            for (int i = 0; i < 500; ++i) {
                QVERIFY(file.write(encodeRecord({first + quint32(i / 2), {100 + quint32(i), 1, 0, 0, 0}, 2, 0,
                                                 i % 5 == 0 ? 1u : 0u, 0,
                                                 "/srv/" + m_logs[f].toUtf8() + "-" + QByteArray::number(i)})) > 0);
            }
        }
    }

    // Over a set of logs: the output of a results model over the same set;
    // an unreadable file is named and the others used.
    void setSameAsModel_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("format");
        QTest::newRow("count") << QStringList{"--count"} << int(ExportFormat::Text);
        QTest::newRow("summary") << QStringList{"--summary"} << int(ExportFormat::Text);
        QTest::newRow("export text") << QStringList{"--export", "-"} << int(ExportFormat::Text);
        QTest::newRow("export csv") << QStringList{"--export", "-", "--format", "csv"} << int(ExportFormat::Csv);
        QTest::newRow("export jsonl") << QStringList{"--export", "-", "--format", "jsonl"}
                                      << int(ExportFormat::JsonLines);
    }

    void setSameAsModel()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, format);
        const Run result = run(arguments + m_logs);
        QCOMPARE(result.status, 0);
        QCOMPARE(result.err, QByteArray());
        const QByteArray expected = setOutput(m_logs, arguments.first(), ExportFormat(format));
        QCOMPARE(result.out, expected);
        if (arguments.first() == QLatin1String("--count"))
            QCOMPARE(result.out, QByteArray("1500\n"));
        if (format == int(ExportFormat::Csv)) {
            QVERIFY(result.out.startsWith("user,time,kind,pid,ppid,uid,gid,session,status,event,parameters,text,log\r\n"));
            // The oldest file's first row first.
            QVERIFY(result.out.split('\n').value(1).endsWith(",kernel.mlog.2\r"));
        }
        if (format == int(ExportFormat::JsonLines))
            QVERIFY(result.out.split('\n').last().isEmpty() && result.out.contains(",\"log\":\"kernel.mlog.1\"}\n"));
    }

    void setUnreadable_data()
    {
        QTest::addColumn<QStringList>("logs");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("out");
        QTest::addColumn<QString>("message");
        QTest::newRow("one of three missing")
            << QStringList{"kernel.mlog", "gone.mlog", "kernel.mlog.1"} << 0 << QByteArray("1000\n")
            << QStringLiteral("vrelview: Cannot read the log gone.mlog: No such file or directory.\n");
        QTest::newRow("a folder among them")
            << QStringList{".", "kernel.mlog.2"} << 0 << QByteArray("500\n")
            << QStringLiteral("vrelview: Cannot read the log .: not a regular file.\n");
        QTest::newRow("a file named twice")
            << QStringList{"kernel.mlog", "./kernel.mlog"} << 0 << QByteArray("500\n") << QString();
        QTest::newRow("none readable")
            << QStringList{"gone.mlog", "."} << 1 << QByteArray()
            << QStringLiteral("vrelview: Cannot read the log gone.mlog: No such file or directory.\n"
                              "vrelview: Cannot read the log .: not a regular file.\n"
                              "vrelview: None of the logs can be read.\n");
    }

    void setUnreadable()
    {
        QFETCH(QStringList, logs);
        QFETCH(int, status);
        QFETCH(QByteArray, out);
        QFETCH(QString, message);
        const Run result = run(QStringList{"--count"} + logs);
        QCOMPARE(result.status, status);
        QCOMPARE(result.out, out);
        QCOMPARE(QString::fromUtf8(result.err), message);
    }

    // QTemporaryDir cannot remove names that are not UTF-8.
    void cleanupTestCase()
    {
        const QString raw = LogPath::fromBytes(QFile::encodeName(m_dir.path()) + "/\xff\xfe.mlog");
        for (const QString &path : {raw, CLog::indexFilePath(raw), CLog::indexFilePath(raw) + ".spare", CLog::indexFilePath(raw) + ".aux"})
            ::unlink(LogPath::toBytes(path).constData());
    }

    void outputs_data()
    {
        QTest::addColumn<Output>("row");
        const QStringList fromTo{"--from", "2026-05-28T22:30:00+02:00", "--to", "2026-05-28 20:31:00Z"};
        const ExportFormat text = ExportFormat::Text, csv = ExportFormat::Csv, jsonl = ExportFormat::JsonLines;
        const Output rows[] = {
            {"export all, text", {"--export", "all.txt"}, {}, {}, text},
            {"export, csv by extension", {"--export", "refusals.csv"}, "refusals", {}, csv},
            {"export, jsonl named", {"--export", "refusals.data"}, "refusals", {"--format", "jsonl"}, jsonl},
            {"export, filter's own range", {"--export", "ranged.txt"}, "ten minutes", {}, text},
            {"export, from and to replace the range", {"--export", "fromto.txt"}, "ten minutes", fromTo, text},
            {"export to standard output, text", {"--export", "-"}, {}, {}, text},
            {"export to standard output, csv", {"--export", "-"}, "refusals", {"--format=csv"}, csv},
            {"export to /dev/stdout, a pipe", {"--export", "/dev/stdout"}, "refusals", {}, text},
            {"count all", {"--count"}, {}, {}, text},
            {"count refusals", {"--count"}, "refusals", {}, text},
            {"count, filter's own range", {"--count"}, "ten minutes", {}, text},
            {"count, from and to", {"--count"}, "ten minutes", fromTo, text},
            {"count, LOG named by bytes that are not UTF-8", {"--count"}, {}, {}, text, "\xff\xfe.mlog"},
            {"summary all, text", {"--summary"}, {}, {}, text},
            {"summary, csv", {"--summary"}, "refusals", {"--format", "csv"}, csv},
            {"summary, from and to", {"--summary"}, "ten minutes", fromTo, text},
        };
        for (const Output &row : rows)
            QTest::newRow(row.name) << row;
    }

    // Each command's output equals what the window makes of the same
    // filter and range, in a file or on standard output, and nothing on
    // standard error.
    void outputs()
    {
        QFETCH(Output, row);
        QStringList arguments = row.command;
        if (!row.filter.isEmpty())
            arguments << QStringLiteral("--filter") << row.filter;
        arguments << row.options;
        const Run r = row.rawLog.isEmpty() ? run(arguments << QStringLiteral("audit.mlog")) : run(arguments, {}, row.rawLog);
        QVERIFY2(r.status == 0, r.err.constData());
        QCOMPARE(r.err, QByteArray());
        const QByteArray expected = windowOutput(row.command.first(), row.filter, row.options, row.format);
        QVERIFY(expected.count('\n') > 10 || expected.trimmed().toInt() > 10);
        const QString target = row.command.value(1, QStringLiteral("-"));
        QCOMPARE(target == QLatin1String("-") || target.startsWith(QLatin1String("/dev/")) ? r.out : readAll(m_dir.filePath(target)),
                 expected);
    }

    void failures_data()
    {
        QTest::addColumn<Failure>("row");
        const QString costly = "The pattern \"" + kCostly + "\" is too costly to decide for a record; nothing is written.";
        const QString oneCommand = QStringLiteral("Give one of --export, --count and --summary (see --help).");
        const QString oneLog = QStringLiteral("Give a LOG, or several LOG files of one trail (see --help).");
        const Failure rows[] = {
            {"unknown filter", {"--export", "kept.txt", "--filter", "nobody", "audit.mlog"}, 1,
             "No saved filter is named \"nobody\"."},
            {"unreadable log", {"--export", "kept.txt", "missing.mlog"}, 1,
             "Cannot read the log missing.mlog: No such file or directory."},
            {"log is a folder", {"--count", "."}, 1, "Cannot read the log .: not a regular file."},
            {"log is a device", {"--count", "/dev/null"}, 1, "Cannot read the log /dev/null: not a regular file."},
            {"unreadable log named by bytes, shown readably", {"--count"}, 1,
             "Cannot read the log \uFFFD\uFFFD.mlog: No such file or directory.", "\xff\xfd.mlog"},
            {"export onto a full device", {"--export", "/dev/full", "audit.mlog"}, 1,
             "Cannot write /dev/full: No space left on device"},
            {"help into a full device", {"--help"}, 1, "Cannot write -: No space left on device"},
            {"raw CSV fields asked for text", {"--export", "kept.txt", "--csv-raw", "audit.mlog"}, 2,
             "--csv-raw goes with CSV only (see --help)."},
            {"version into a full device", {"--version"}, 1, "Cannot write -: No space left on device"},
            {"pattern too costly", {"--export", "kept.txt", "--filter", "costly", "costly.mlog"}, 1, costly},
            {"count, pattern too costly", {"--count", "--filter", "costly", "costly.mlog"}, 1, costly},
            {"summary, pattern too costly", {"--summary", "--filter", "costly", "costly.mlog"}, 1, costly},
            {"write error", {"--export", "no folder/out.txt", "audit.mlog"}, 1, "Cannot write no folder/out.txt: "},
            {"standard output full", {"--export", "-", "audit.mlog"}, 1, "Cannot write -: No space left on device"},
            {"standard output full, rows made on their own thread", {"--export", "-", "--format", "jsonl", "audit.mlog"}, 1,
             "Cannot write -: No space left on device"},
            {"unknown format", {"--export", "kept.txt", "--format", "xml", "audit.mlog"}, 2,
             "Unknown format \"xml\" (see --help)."},
            {"summary as JSON Lines", {"--summary", "--format", "jsonl", "audit.mlog"}, 2,
             "Unknown format \"jsonl\" (see --help)."},
            {"export and count", {"--export", "kept.txt", "--count", "audit.mlog"}, 2, oneCommand},
            {"format without a command", {"--format", "csv", "audit.mlog"}, 2, oneCommand},
            {"format given with \"=\", without a command", {"--format=csv", "audit.mlog"}, 2, oneCommand},
            {"no log", {"--count"}, 2, oneLog},
            {"not a time", {"--count", "--from", "yesterday", "audit.mlog"}, 2, "Not a time: \"yesterday\" (see --help)."},
            {"no such day", {"--count", "--to", "2026-02-30", "audit.mlog"}, 2, "Not a time: \"2026-02-30\" (see --help)."},
            {"from after to", {"--count", "--from", "2026-05-02", "--to", "2026-05-01", "audit.mlog"}, 2,
             "--from is later than --to."},
            {"unknown option", {"--count", "--fast", "audit.mlog"}, 2, "Unknown option 'fast'."},
            {"option twice", {"--count", "--filter", "a", "--filter", "b", "audit.mlog"}, 2,
             "--filter is given more than once."},
        };
        for (const Failure &row : rows)
            QTest::newRow(row.name) << row;
    }

    // One line on standard error, the status, and an existing file as it was.
    void failures()
    {
        QFETCH(Failure, row);
        // Standard output, where these rows write to it, is a full device.
        const bool full = row.arguments.contains(QStringLiteral("-")) || row.arguments.contains(QStringLiteral("--help"))
                          || row.arguments.contains(QStringLiteral("--version"));
        const QString stdoutFile = full ? QStringLiteral("/dev/full") : QString();
        const QString kept = m_dir.filePath(QStringLiteral("kept.txt"));
        QFile file(kept);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write("before\n") == 7);
        file.close();
        const Run r = run(row.arguments, stdoutFile, row.rawLog);
        QCOMPARE(r.status, row.status);
        QVERIFY2(r.err.startsWith("vrelview: " + row.message.toUtf8()) && r.err.count('\n') == 1 && r.err.endsWith('\n'),
                 r.err.constData());
        QCOMPARE(readAll(kept), QByteArray("before\n"));
        // Nothing of the attempt is left beside it.
        QCOMPARE(QDir(m_dir.path()).entryList({QStringLiteral("kept.txt*")}), QStringList{QStringLiteral("kept.txt")});
    }
    // A range of one second counts the records of that second, the first
    // and the last second of the log too; a date alone is its first second
    // as --from and its last as --to; --from one second after --to is
    // refused. The log has seven records a second, four in its last.
    void countsOfRangesAtTheirLimits_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("out");
        const auto at = [](quint32 second) {
            return QDateTime::fromSecsSinceEpoch(kStart + second, Qt::UTC).toString(Qt::ISODate);
        };
        const QDate day = QDateTime::fromSecsSinceEpoch(kStart).date();
        const auto date = [](const QDate &d) { return d.toString(Qt::ISODate); };
        QTest::newRow("one second") << at(10) << at(10) << 0 << QByteArray("7\n");
        QTest::newRow("two seconds") << at(10) << at(11) << 0 << QByteArray("14\n");
        QTest::newRow("first second") << at(0) << at(0) << 0 << QByteArray("7\n");
        QTest::newRow("last second") << at(428) << at(428) << 0 << QByteArray("4\n");
        QTest::newRow("after the last second") << at(429) << at(500) << 0 << QByteArray("0\n");
        QTest::newRow("from one second after to") << at(11) << at(10) << 2 << QByteArray();
        QTest::newRow("the log's day") << date(day) << date(day) << 0 << QByteArray("3000\n");
        QTest::newRow("to the day before") << QString() << date(day.addDays(-1)) << 0 << QByteArray("0\n");
        QTest::newRow("from the day after") << date(day.addDays(1)) << QString() << 0 << QByteArray("0\n");
        // A time to the minute in --to stands for its whole minute; with
        // seconds, for that second. The log starts at 20:26:40 UTC.
        QTest::newRow("to the minute: its whole minute") << QString() << "2026-05-28 20:27Z" << 0 << QByteArray("560\n");
        QTest::newRow("to the minute's last second") << QString() << "2026-05-28 20:27:59Z" << 0 << QByteArray("560\n");
        QTest::newRow("to the minute's first second") << QString() << "2026-05-28T20:27:00Z" << 0 << QByteArray("147\n");
        QTest::newRow("to the minute before") << QString() << "2026-05-28 20:26Z" << 0 << QByteArray("140\n");
    }

    void countsOfRangesAtTheirLimits()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(int, status);
        QFETCH(QByteArray, out);
        QStringList arguments{QStringLiteral("--count")};
        if (!from.isEmpty())
            arguments << QStringLiteral("--from") << from;
        if (!to.isEmpty())
            arguments << QStringLiteral("--to") << to;
        const Run r = run(arguments << QStringLiteral("audit.mlog"));
        QCOMPARE(r.status, status);
        QCOMPARE(r.out, out);
        QCOMPARE(r.err.isEmpty(), status == 0);
    }

    // An export name is taken by its bytes: one that is not UTF-8 writes
    // the file of that name.
    void exportNameByBytes()
    {
        const QByteArray name = QFile::encodeName(m_dir.path()) + "/out\xff.txt";
        ::unlink(name.constData());
        const Run r = run({QStringLiteral("audit.mlog"), QStringLiteral("--export")}, {}, "out\xff.txt");
        QVERIFY2(r.status == 0, r.err.constData());
        const QString path = LogPath::fromBytes(name);
        QVERIFY(LogPath::regularFileSize(path) > 0);
        QVERIFY(!QFileInfo::exists(m_dir.filePath(QStringLiteral("out\uFFFD.txt"))));
        ::unlink(name.constData());
    }

    // A signal while the export waits for the reader of a FIFO: one ignored
    // at start (nohup) stays ignored and the export goes on; another ends
    // it with 130 and the FIFO stays a FIFO.
    void interruptions_data()
    {
        QTest::addColumn<QString>("ignored");
        QTest::addColumn<int>("signal");
        QTest::addColumn<int>("status");
        QTest::newRow("hangup ignored at start") << "HUP" << int(SIGHUP) << 0;
        QTest::newRow("interrupt ignored at start") << "INT" << int(SIGINT) << 0;
        QTest::newRow("hangup") << "" << int(SIGHUP) << 130;
        QTest::newRow("interrupt") << "" << int(SIGINT) << 130;
        QTest::newRow("terminate") << "" << int(SIGTERM) << 130;
    }

    void interruptions()
    {
        QFETCH(QString, ignored);
        QFETCH(int, signal);
        QFETCH(int, status);
        const QByteArray fifo = QFile::encodeName(m_dir.filePath(QStringLiteral("rows.fifo")));
        ::unlink(fifo.constData());
        QCOMPARE(::mkfifo(fifo.constData(), 0600), 0);
        QProcess process;
        process.setWorkingDirectory(m_dir.path());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));
        process.setProcessEnvironment(env);
        // The shell's trap ignores the signal for the program it becomes.
        process.start(QStringLiteral("/bin/sh"),
                      {QStringLiteral("-c"), (ignored.isEmpty() ? QString() : QStringLiteral("trap '' %1; ").arg(ignored)) + QStringLiteral("exec \"$0\" \"$@\""),
                       QStringLiteral(VRELVIEW), QStringLiteral("--export"), QStringLiteral("rows.fifo"),
                       QStringLiteral("audit.mlog")});
        QVERIFY(process.waitForStarted());
        const QString wchan = QStringLiteral("/proc/%1/wchan").arg(process.processId());
        // Waiting in the open of the FIFO for a reader.
        QTRY_VERIFY_WITH_TIMEOUT(readAll(wchan).contains("partner") || readAll(wchan).contains("fifo"), 20000);
        // The signal stays ignored, or is caught: so the system says of the
        // program waiting there.
        quint64 ignoredMask = 0;
        for (const QByteArray &line : readAll(QStringLiteral("/proc/%1/status").arg(process.processId())).split('\n')) {
            if (line.startsWith("SigIgn:"))
                ignoredMask = line.mid(7).trimmed().toULongLong(nullptr, 16);
        }
        QCOMPARE(bool(ignoredMask & (quint64(1) << (signal - 1))), !ignored.isEmpty());
        QCOMPARE(::kill(pid_t(process.processId()), signal), 0);
        QByteArray rows;
        if (status == 0) {
            const int reader = ::open(fifo.constData(), O_RDONLY);
            QVERIFY(reader >= 0);
            char buffer[65536];
            ssize_t n;
            while ((n = ::read(reader, buffer, sizeof buffer)) > 0)
                rows.append(buffer, int(n));
            ::close(reader);
        }
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), status);
        if (status == 0)
            QCOMPARE(rows.count('\n'), 3000);
        else
            QCOMPARE(process.readAllStandardError(), QByteArray("vrelview: Interrupted.\n"));
        struct stat st;
        QVERIFY(::stat(fifo.constData(), &st) == 0 && S_ISFIFO(st.st_mode));
        ::unlink(fifo.constData());
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
