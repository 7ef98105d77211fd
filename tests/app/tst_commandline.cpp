// The commands that run without a window, run as a process without a
// display: exit statuses, one-line messages, the output equal to the
// window's save of the same filter, standard output and nothing left half
// written.
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

#include "clog.h"
#include "cstringlistmodel.h"
#include "logpath.h"
#include "mlogwriter.h"
#include "resultsummary.h"

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

    // The program with `arguments`, without a display, in the test's home
    // (set by initTestCase); then `rawLog`, given by its bytes through the
    // shell (QProcess passes no name that is not UTF-8).
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
            process.start(QStringLiteral("/bin/sh"), QStringList{QStringLiteral("-c"),
                                                                 "exec \"$0\" \"$@\" \"$(printf '" + octal + "')\"",
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
        const QString path = m_dir.filePath(QStringLiteral("window.out"));
        return model.saveToFile(path, nullptr, format) ? readAll(path) : QByteArray("<not saved>");
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
        QCOMPARE(target == QLatin1String("-") ? r.out : readAll(m_dir.filePath(target)), expected);
    }

    void failures_data()
    {
        QTest::addColumn<Failure>("row");
        const QString costly = "The pattern \"" + kCostly + "\" is too costly to decide for a record; nothing is written.";
        const QString oneCommand = QStringLiteral("Give one of --export, --count and --summary (see --help).");
        const QString oneLog = QStringLiteral("Give exactly one LOG (see --help).");
        const Failure rows[] = {
            {"unknown filter", {"--export", "kept.txt", "--filter", "nobody", "audit.mlog"}, 1,
             "No saved filter is named \"nobody\"."},
            {"unreadable log", {"--export", "kept.txt", "missing.mlog"}, 1, "Cannot read the log missing.mlog."},
            {"unreadable log named by bytes, shown readably", {"--count"}, 1,
             "Cannot read the log \uFFFD\uFFFD.mlog.", "\xff\xfd.mlog"},
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
            {"no log", {"--count"}, 2, oneLog},
            {"two logs", {"--count", "audit.mlog", "audit.mlog"}, 2, oneLog},
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
        const QString stdoutFile = row.arguments.contains(QStringLiteral("-")) ? QStringLiteral("/dev/full") : QString();
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
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
