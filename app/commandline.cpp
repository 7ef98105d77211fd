#include "commandline.h"

#include "cfilter.h"
#include "clog.h"
#include "cstringlistmodel.h"
#include "exportformat.h"
#include "logpath.h"
#include "logset.h"
#include "resultsummary.h"
#include "settingscheck.h"
#include "timetext.h"
#include "translations.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QRegularExpression>
#include <QSettings>
#include <QSocketNotifier>
#include <QStandardPaths>

#include <csignal>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "chunkworker.h"

namespace {

// The texts of the commands, translated in the context "commandLine".
struct commandLine
{
    Q_DECLARE_TR_FUNCTIONS(commandLine)
};


enum Status { Done = 0, Failed = 1, BadArguments = 2, Interrupted = 130 };

// The options that make the program run without a window.
const char *const commandOptions[] = {"--export", "--count", "--summary", "--format", "--filter", "--from",
                                      "--to", "--csv-raw", "--help", "-h", "-?", "--help-all", "--version", "-v"};

// One line on standard error, prefixed with the program's name.
int fail(int status, const QString &message)
{
    QString line = message;
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    std::fprintf(stderr, "vrelview: %s\n", line.trimmed().toLocal8Bit().constData());
    return status;
}

// Progress of the steps of a command on standard error, when that is a
// terminal: "<what>: NN%", rewritten in place.
class TerminalProgress
{
public:
    TerminalProgress() : m_shown(isatty(STDERR_FILENO) == 1) {}
    ~TerminalProgress() { clear(); }

    void start(const QString &what)
    {
        m_what = what.toLocal8Bit();
        m_maximum = 0;
        m_percent = -1;
        show(0);
    }
    void setMaximum(int maximum) { m_maximum = maximum; }
    void show(int value)
    {
        if (!m_shown)
            return;
        const int percent = m_maximum > 0 ? int(qint64(value) * 100 / m_maximum) : 0;
        if (percent == m_percent)
            return;
        m_percent = percent;
        std::fprintf(stderr, "\r%s: %3d%%", m_what.constData(), percent);
        std::fflush(stderr);
        m_dirty = true;
    }
    void clear()
    {
        if (!m_dirty)
            return;
        std::fprintf(stderr, "\r\033[K");
        std::fflush(stderr);
        m_dirty = false;
    }

private:
    bool m_shown;
    bool m_dirty = false;
    QByteArray m_what;
    int m_maximum = 0;
    int m_percent = -1;
};

// SIGINT, SIGTERM and SIGHUP reach the event loop through a pipe, so that
// the operation under way ends at its next turn and leaves no file half
// written, instead of the program ending at once. A signal that was ignored
// at start (nohup) stays ignored. The handlers stay until the program ends:
// a signal after the work is done changes nothing of its outcome.
class InterruptWatch
{
public:
    InterruptWatch()
    {
        if (pipe2(s_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
            return;
        m_notifier = std::make_unique<QSocketNotifier>(s_pipe[0], QSocketNotifier::Read);
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] {
            char byte;
            while (::read(s_pipe[0], &byte, 1) > 0) {
            }
            m_interrupted = true;
            if (m_onInterrupt)
                m_onInterrupt();
        });
        struct sigaction action;
        std::memset(&action, 0, sizeof action);
        action.sa_handler = &InterruptWatch::handle;
        sigemptyset(&action.sa_mask);
        for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
            struct sigaction before;
            if (sigaction(signal, nullptr, &before) == 0 && before.sa_handler == SIG_IGN)
                continue;
            sigaction(signal, &action, nullptr);
        }
    }
    InterruptWatch(const InterruptWatch &) = delete;
    InterruptWatch &operator=(const InterruptWatch &) = delete;

    // True once a signal came, also one the event loop has not seen yet.
    bool interrupted() const { return m_interrupted || s_received != 0; }
    void onInterrupt(std::function<void()> call) { m_onInterrupt = std::move(call); }

private:
    static void handle(int)
    {
        const int saved = errno;
        s_received = 1;
        const char byte = 1;
        if (::write(s_pipe[1], &byte, 1) < 0) {
            // A full pipe already holds a byte to wake the loop.
        }
        errno = saved;
    }

    static int s_pipe[2];
    static volatile std::sig_atomic_t s_received;
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::function<void()> m_onInterrupt;
    bool m_interrupted = false;
};

int InterruptWatch::s_pipe[2] = {-1, -1};
volatile std::sig_atomic_t InterruptWatch::s_received = 0;

// Why the log `path` cannot be read: the system's reason, or that it is no
// regular file.
QString unreadableReason(const QString &path)
{
    const QByteArray bytes = LogPath::toBytes(path);
    struct stat st;
    if (::stat(bytes.constData(), &st) != 0)
        return qt_error_string(errno);
    if (!S_ISREG(st.st_mode))
        return commandLine::tr("not a regular file");
    const int fd = ::open(bytes.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return qt_error_string(errno);
    ::close(fd);
    return qt_error_string(EIO);
}

// The saved filter `name`, or null when there is none of that name. The
// default filter's name, in English or in the language of the window,
// gives the default filter.
CFilterPtr savedFilter(const QString &name)
{
    if (name == QLatin1String("default") || name == QCoreApplication::translate("mainWindow", "default"))
        return CFilterPtr::create(name);
    QSettings settings;
    settings.beginGroup(QStringLiteral("filter"));
    const bool known = !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\'))
                       && settings.childKeys().contains(name);
    settings.endGroup();
    if (!known)
        return CFilterPtr();
    auto filter = CFilterPtr::create(name);
    filter->load();
    return filter;
}

// `text` with its lines broken at blanks to fit 79 columns.
QString wrapped(const QString &text)
{
    QStringList lines;
    for (const QString &line : text.split(QLatin1Char('\n'))) {
        QString rest = line;
        while (rest.size() > 79) {
            int cut = rest.lastIndexOf(QLatin1Char(' '), 79);
            if (cut <= 0)
                cut = rest.indexOf(QLatin1Char(' '));
            if (cut <= 0)
                break;
            lines.append(rest.left(cut));
            rest = rest.mid(cut + 1);
        }
        lines.append(rest);
    }
    return lines.join(QLatin1Char('\n'));
}

QString helpText(const QCommandLineParser &parser)
{
    QString text = parser.helpText();
    text += QLatin1Char('\n')
            + wrapped(commandLine::tr("Without --export, --count or --summary, the window opens, with LOG when it is given.\n"
                 "\n"
                 "--export writes the results of the filter on LOG to FILE (\"-\": standard output), "
                 "in the format --format names, else the one FILE's extension (.txt, .csv, .jsonl) names, "
                 "else text: the rows of Save results. A file is replaced only when written whole; one with "
                 "other hard links or another owner gets the whole result copied in, and a device or a FIFO "
                 "is written into. "
                 "--count prints the number of matching records. --summary prints the counts by user, "
                 "event, status, refusals by user and hour, the top 20 of each and the rest as \"other\", "
                 "as aligned text or, with --format csv, as CSV (each table: its title, a header row, "
                 "its rows; an empty line between tables).\n"
                 "\n"
                 "Several LOG files (a rotated trail) are read as one result in time order, merged by "
                 "second: within one second the records of the older file (by its first record) come first, "
                 "each file's records in their own order. A file that cannot be read is named and the rest "
                 "are used. CSV and JSON Lines rows of several logs end with a field \"log\", the file "
                 "name of the row's log.\n"
                 "\n"
                 "In CSV a field that begins with \"=\", \"+\", \"-\", \"@\", a tab or a carriage return "
                 "gets a leading apostrophe, so that a spreadsheet shows it as text instead of running it "
                 "as a formula; --csv-raw writes such fields as they are. Text and JSON Lines are always "
                 "written as they are.\n"
                 "\n"
                 "The filter is a saved filter of the window (without --filter: all records) with its "
                 "time range; --from and --to replace that range. TIME is a local time such as "
                 "\"2026-12-06 09:00\" or \"2026-12-06T09:00:00+01:00\", or a date alone, which stands "
                 "for its first second (--from) or its last (--to); a time to the minute stands in --to "
                 "for the last second of that minute. The index files are those of the "
                 "window.\n"
                 "\n"
                 "Exit status: 0 done, 1 failed (unreadable log, unknown filter, a pattern too costly to "
                 "decide, a write error), 2 bad arguments, 130 interrupted.\n"));
    return text;
}

} // namespace

namespace CommandLine {

bool wanted(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        const char *arg = argv[i];
        if (std::strcmp(arg, "--") == 0)
            return false;
        for (const char *option : commandOptions) {
            const size_t n = std::strlen(option);
            if (std::strncmp(arg, option, n) == 0 && (arg[n] == '\0' || arg[n] == '='))
                return true;
        }
    }
    return false;
}

int run(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    installTranslations();
    for (const SettingsCheck::SetAside &aside : SettingsCheck::setAsideUnsafeSettings()) {
        fail(0, aside.movedTo.isEmpty()
                    ? commandLine::tr("The settings file %1 could not be read safely; it is left as it is and not read.")
                          .arg(aside.file)
                    : commandLine::tr("The settings file %1 could not be read safely and was set aside as %2.")
                          .arg(aside.file, aside.movedTo));
    }

    QCommandLineParser parser;
    parser.setApplicationDescription(QCoreApplication::translate("main", "Viewer for binary security audit logs."));
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();
    const QCommandLineOption exportOption(QStringLiteral("export"),
                                          commandLine::tr("Write the results to FILE (\"-\": standard output)."),
                                          QStringLiteral("FILE"));
    const QCommandLineOption formatOption(QStringLiteral("format"), commandLine::tr("Format of --export (text, csv, jsonl) or of --summary (text, csv)."),
                                          QStringLiteral("FORMAT"));
    const QCommandLineOption filterOption(QStringLiteral("filter"), commandLine::tr("Saved filter to apply."), QStringLiteral("NAME"));
    const QCommandLineOption fromOption(QStringLiteral("from"), commandLine::tr("Results from this time on."), QStringLiteral("TIME"));
    const QCommandLineOption toOption(QStringLiteral("to"), commandLine::tr("Results up to this time."), QStringLiteral("TIME"));
    const QCommandLineOption countOption(QStringLiteral("count"), commandLine::tr("Print the number of matching records."));
    const QCommandLineOption summaryOption(QStringLiteral("summary"), commandLine::tr("Print the counts of the results."));
    const QCommandLineOption csvRawOption(QStringLiteral("csv-raw"),
                                          commandLine::tr("Write CSV fields as they are, formulas included."));
    parser.addOptions({exportOption, formatOption, filterOption, fromOption, toOption, countOption, summaryOption, csvRawOption});
    parser.addPositionalArgument(QStringLiteral("LOG"), QCoreApplication::translate("main", "Audit log to open at start."),
                                 QStringLiteral("[LOG...]"));
    // The LOG as its bytes were given, for a name that is not UTF-8; the
    // other values as Qt decodes them, which names no other file than meant.
    const QStringList decoded = app.arguments();
    QStringList logs;
    QString target; // the FILE of --export, by its bytes too
    if (parser.parse(LogPath::arguments(decoded, argc, argv))) {
        logs = parser.positionalArguments();
        target = parser.value(exportOption);
    }
    if (!parser.parse(decoded))
        return fail(BadArguments, parser.errorText());
    if (parser.isSet(helpOption) || parser.optionNames().contains(QStringLiteral("help-all"))) {
        const QByteArray help = helpText(parser).toLocal8Bit();
        if (const int failed = writeWhole(STDOUT_FILENO, help.constData(), help.size()))
            return fail(Failed, commandLine::tr("Cannot write %1: %2").arg(QStringLiteral("-"), qt_error_string(failed)));
        return Done;
    }
    if (parser.isSet(versionOption)) {
        const QByteArray version = (QCoreApplication::applicationName() + QLatin1Char(' ')
                                    + QCoreApplication::applicationVersion() + QLatin1Char('\n')).toLocal8Bit();
        if (const int failed = writeWhole(STDOUT_FILENO, version.constData(), version.size()))
            return fail(Failed, commandLine::tr("Cannot write %1: %2").arg(QStringLiteral("-"), qt_error_string(failed)));
        return Done;
    }

    const int commands = int(parser.isSet(exportOption)) + int(parser.isSet(countOption)) + int(parser.isSet(summaryOption));
    if (commands != 1)
        return fail(BadArguments, commandLine::tr("Give one of --export, --count and --summary (see --help)."));
    for (const QCommandLineOption &option : {exportOption, formatOption, filterOption, fromOption, toOption}) {
        if (parser.values(option).size() > 1)
            return fail(BadArguments, commandLine::tr("--%1 is given more than once.").arg(option.names().constFirst()));
    }
    if (logs.isEmpty())
        return fail(BadArguments, commandLine::tr("Give a LOG, or several LOG files of one trail (see --help)."));

    ExportFormat format = ExportFormat::Text;
    if (parser.isSet(formatOption)) {
        const QString name = parser.value(formatOption);
        if (parser.isSet(countOption))
            return fail(BadArguments, commandLine::tr("--count takes no --format."));
        if (!exportFormatFromName(name, &format) || (parser.isSet(summaryOption) && format == ExportFormat::JsonLines))
            return fail(BadArguments, commandLine::tr("Unknown format \"%1\" (see --help).").arg(name));
    } else if (parser.isSet(exportOption) && target != QLatin1String("-")) {
        format = exportFormatOfFile(target, ExportFormat::Text);
    }
    const bool csvRaw = parser.isSet(csvRawOption);
    if (csvRaw && format != ExportFormat::Csv)
        return fail(BadArguments, commandLine::tr("--csv-raw goes with CSV only (see --help)."));
    if (csvRaw && parser.isSet(exportOption))
        format = ExportFormat::CsvRaw;
    if (parser.isSet(exportOption) && target.isEmpty())
        return fail(BadArguments, commandLine::tr("--export needs a FILE, or \"-\" for standard output."));

    QDateTime from, to;
    if (parser.isSet(fromOption)) {
        from = TimeText::parse(parser.value(fromOption), false);
        if (!from.isValid())
            return fail(BadArguments, commandLine::tr("Not a time: \"%1\" (see --help).").arg(parser.value(fromOption)));
    }
    if (parser.isSet(toOption)) {
        to = TimeText::parse(parser.value(toOption), true);
        if (!to.isValid())
            return fail(BadArguments, commandLine::tr("Not a time: \"%1\" (see --help).").arg(parser.value(toOption)));
    }
    if (from.isValid() && to.isValid() && from > to)
        return fail(BadArguments, commandLine::tr("--from is later than --to."));

    // Several logs are read as one, in time order; one that cannot be read
    // is named and left out, as long as another can be.
    QStringList logPaths;
    for (const QString &log : logs) {
        const QString logPath = QDir::current().absoluteFilePath(log);
        if (CLog::canOpenLog(logPath)) {
            logPaths.append(logPath);
            continue;
        }
        const QString message =
            commandLine::tr("Cannot read the log %1: %2.").arg(LogPath::readable(log), unreadableReason(logPath));
        if (logs.size() == 1)
            return fail(Failed, message);
        fail(0, message);
    }
    if (logPaths.isEmpty())
        return fail(Failed, commandLine::tr("None of the logs can be read."));

    CFilterPtr filter = CFilterPtr::create(QStringLiteral("default"));
    if (parser.isSet(filterOption)) {
        filter = savedFilter(parser.value(filterOption));
        if (!filter)
            return fail(Failed, commandLine::tr("No saved filter is named \"%1\".").arg(parser.value(filterOption)));
    }

    // Index files go where the window keeps them.
    const QDir documents(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
    documents.mkpath(QCoreApplication::applicationName());

    InterruptWatch interrupts;
    TerminalProgress progress;
    const auto prepare = [&progress, &interrupts](CLog &log, const QString &path) {
        QObject::connect(&log, &CLog::valueMaximum, [&progress](int maximum) { progress.setMaximum(maximum); });
        QObject::connect(&log, &CLog::valueChanged, [&progress](int value) { progress.show(value); });
        interrupts.onInterrupt([&log] { log.canselReadLog(); });
        progress.start(commandLine::tr("Reading %1").arg(LogPath::readable(path)));
    };
    CLog log;
    LogSet set;
    std::unique_ptr<CStringListModel> made;
    if (logPaths.size() == 1) {
        prepare(log, logs.constFirst());
        log.readLog(logPaths.constFirst());
        made = std::make_unique<CStringListModel>(&log, filter);
    } else {
        set.readLogs(logPaths, nullptr, prepare);
        made = std::make_unique<CStringListModel>(&set, filter);
    }
    interrupts.onInterrupt({});
    if (interrupts.interrupted())
        return fail(Interrupted, commandLine::tr("Interrupted."));

    CStringListModel &model = *made;
    QObject::connect(&model, &CStringListModel::valueMaximum, [&progress](int maximum) { progress.setMaximum(maximum); });
    QObject::connect(&model, &CStringListModel::valueChanged, [&progress](int value) { progress.show(value); });
    interrupts.onInterrupt([&model] { model.cancel(); });
    if (from.isValid() || to.isValid())
        model.useRange(from, to);
    else
        model.useFilterRange();
    const auto costly = [&model] {
        return commandLine::tr("The pattern \"%1\" is too costly to decide for a record; nothing is written.").arg(model.stop().pattern);
    };

    if (parser.isSet(countOption)) {
        progress.start(commandLine::tr("Counting"));
        model.runFilter();
        progress.clear();
        if (interrupts.interrupted())
            return fail(Interrupted, commandLine::tr("Interrupted."));
        if (model.stop().stopped())
            return fail(Failed, costly());
        std::printf("%d\n", model.rowCount());
        return std::fflush(stdout) == 0 ? Done : fail(Failed, QString::fromLocal8Bit(std::strerror(errno)));
    }

    if (parser.isSet(summaryOption)) {
        ResultSummary summary;
        progress.start(commandLine::tr("Summing up"));
        QString error;
        const SummaryEnd end = summarizeRows(&model, &summary, &error);
        progress.clear();
        if (interrupts.interrupted())
            return fail(Interrupted, commandLine::tr("Interrupted."));
        if (end == SummaryEnd::Stopped)
            return fail(Failed, costly());
        if (end != SummaryEnd::Done)
            return fail(Failed, error);
        const QByteArray bytes = format == ExportFormat::Csv ? summary.toCsv(20, csvRaw) : summary.toText().toUtf8();
        if (const int failed = writeWhole(STDOUT_FILENO, bytes.constData(), bytes.size()))
            return fail(Failed, QString::fromLocal8Bit(std::strerror(failed)));
        return Done;
    }

    progress.start(commandLine::tr("Exporting"));
    QString error;
    bool written;
    if (target == QLatin1String("-")) {
        written = model.writeRows(STDOUT_FILENO, format, &error);
        if (written && model.stop().stopped())
            return fail(Failed, commandLine::tr("The pattern \"%1\" is too costly to decide for a record; the output stops before it.")
                                    .arg(model.stop().pattern));
    } else {
        written = model.saveToFile(target, &error, format, true);
        // A file in place is a run done, whatever signal came after; one
        // that came before left the old file as it was.
        progress.clear();
        if (written)
            return Done;
    }
    progress.clear();
    if (interrupts.interrupted())
        return fail(Interrupted, commandLine::tr("Interrupted."));
    if (!written && model.stop().stopped())
        return fail(Failed, costly());
    if (!written)
        return fail(Failed, commandLine::tr("Cannot write %1: %2").arg(LogPath::readable(target), error));
    return Done;
}

} // namespace CommandLine
