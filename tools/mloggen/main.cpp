// mloggen: writes realistic audit logs (*.mlog) for tests, demos and
// benchmarks.
#include "mlogwriter.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>

#include <cstdio>

namespace {

// "1500", "64K", "10M", "1G" (powers of 1024); -1 when not a size.
qint64 parseSize(QString text)
{
    text = text.trimmed().toUpper();
    if (text.endsWith(QLatin1Char('B')) && text.size() > 1 && !text.at(text.size() - 2).isDigit())
        text.chop(1);
    qint64 factor = 1;
    if (text.endsWith(QLatin1Char('K')))
        factor = qint64(1) << 10;
    else if (text.endsWith(QLatin1Char('M')))
        factor = qint64(1) << 20;
    else if (text.endsWith(QLatin1Char('G')))
        factor = qint64(1) << 30;
    if (factor != 1)
        text.chop(1);
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || value < 0 || value * double(factor) > 9e18)
        return -1;
    return qint64(value * double(factor));
}

// "yyyy-MM-dd hh:mm:ss" or ISO 8601 in local time, or "@seconds" since 1970.
QDateTime parseTime(const QString &text)
{
    if (text.startsWith(QLatin1Char('@'))) {
        bool ok = false;
        const qint64 s = text.mid(1).toLongLong(&ok);
        return ok ? QDateTime::fromSecsSinceEpoch(s) : QDateTime();
    }
    QDateTime dt = QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    if (!dt.isValid())
        dt = QDateTime::fromString(text, Qt::ISODate);
    return dt;
}

int failWith(const QString &message)
{
    std::fprintf(stderr, "mloggen: %s\n", qPrintable(message));
    return 1;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("mloggen"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Writes a realistic audit log (*.mlog): bursts of records and quiet gaps,\n"
        "known and unknown users, all source kinds, successes and refusals.\n"
        "The same options and seed give the same bytes when --start is given;\n"
        "without it the log ends about now."));
    parser.addHelpOption();
    const QCommandLineOption recordsOption({QStringLiteral("n"), QStringLiteral("records")},
        QStringLiteral("Number of records (default 1000)."), QStringLiteral("count"), QStringLiteral("1000"));
    const QCommandLineOption sizeOption({QStringLiteral("s"), QStringLiteral("size")},
        QStringLiteral("Write records until the log holds this many bytes (suffix K, M or G); overrides --records."),
        QStringLiteral("size"));
    const QCommandLineOption startOption(QStringLiteral("start"),
        QStringLiteral("Time of the first record: \"yyyy-MM-dd hh:mm:ss\" (local), ISO 8601 or @seconds."),
        QStringLiteral("time"));
    const QCommandLineOption rateOption(QStringLiteral("rate"),
        QStringLiteral("Mean records per second inside a burst (default 50)."), QStringLiteral("rate"),
        QStringLiteral("50"));
    const QCommandLineOption seedOption(QStringLiteral("seed"),
        QStringLiteral("Seed of the random content (default 1)."), QStringLiteral("seed"), QStringLiteral("1"));
    const QCommandLineOption garbageOption(QStringLiteral("garbage"),
        QStringLiteral("Chance (0 to 1) of garbage bytes before each record."), QStringLiteral("chance"),
        QStringLiteral("0"));
    const QCommandLineOption garbageMagicOption(QStringLiteral("garbage-magic"),
        QStringLiteral("Let garbage contain stray record magic values."));
    const QCommandLineOption truncateOption(QStringLiteral("truncate"),
        QStringLiteral("Cut the last record short."));
    const QCommandLineOption appendOption(QStringLiteral("append"),
        QStringLiteral("Append to the log, going on from its last record time."));
    const QCommandLineOption refusalsOption(QStringLiteral("refusals"),
        QStringLiteral("Share (0 to 1) of refused records (default 0.15)."), QStringLiteral("share"),
        QStringLiteral("0.15"));
    const QCommandLineOption rareOption(QStringLiteral("rare"),
        QStringLiteral("Share (0 to 1) of records of a rare user (uid 4242), and the factor by which ptrace and "
                       "module events are made rarer (default 0: no rare user, events as usual)."),
        QStringLiteral("share"), QStringLiteral("0"));
    const QCommandLineOption rareSessionOption(QStringLiteral("rare-session"),
        QStringLiteral("Give the rare user's records in sessions of this many in a row, as one person at work\n"
                       "leaves them (default 1: one by one)."),
        QStringLiteral("records"), QStringLiteral("1"));
    const QCommandLineOption rarePathOption(QStringLiteral("rare-path"),
        QStringLiteral("Share (0 to 1) of the paths of file records that name one rare file,\n"
                       "/srv/payroll/salaries.db, in sessions of --rare-session (default 0: none)."),
        QStringLiteral("share"), QStringLiteral("0"));
    const QCommandLineOption uidsOption(QStringLiteral("distinct-uids"),
        QStringLiteral("Give the records this many different user ids, one after the other, none of them known\n"
                       "to the user database (3000000000 and up)."),
        QStringLiteral("count"));
    const QCommandLineOption apartOption(QStringLiteral("seconds-apart"),
        QStringLiteral("Put every record this many seconds after the one before instead of in bursts\n"
                       "(3600: each record in another hour)."),
        QStringLiteral("seconds"));
    parser.addOptions({recordsOption, sizeOption, startOption, rateOption, seedOption, garbageOption,
                       garbageMagicOption, truncateOption, appendOption, refusalsOption, rareOption, rareSessionOption, rarePathOption, uidsOption,
                       apartOption});
    parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("The log to write."));
    parser.process(app);

    const QStringList files = parser.positionalArguments();
    if (files.size() != 1)
        return failWith(QStringLiteral("give exactly one log file (see --help)"));

    MlogGeneratorOptions options;
    bool ok = false;
    options.records = parser.value(recordsOption).toLongLong(&ok);
    if (!ok || options.records < 0)
        return failWith(QStringLiteral("bad record count: %1").arg(parser.value(recordsOption)));
    if (parser.isSet(sizeOption)) {
        options.targetSize = parseSize(parser.value(sizeOption));
        if (options.targetSize < 0)
            return failWith(QStringLiteral("bad size: %1").arg(parser.value(sizeOption)));
        if (options.targetSize == 0)
            options.records = 0;
    }
    if (parser.isSet(startOption)) {
        options.start = parseTime(parser.value(startOption));
        if (!options.start.isValid())
            return failWith(QStringLiteral("bad start time: %1").arg(parser.value(startOption)));
    }
    options.recordsPerSecond = parser.value(rateOption).toDouble(&ok);
    if (!ok || options.recordsPerSecond <= 0)
        return failWith(QStringLiteral("bad rate: %1").arg(parser.value(rateOption)));
    options.seed = parser.value(seedOption).toULongLong(&ok);
    if (!ok)
        return failWith(QStringLiteral("bad seed: %1").arg(parser.value(seedOption)));
    options.garbageRate = parser.value(garbageOption).toDouble(&ok);
    if (!ok || options.garbageRate < 0 || options.garbageRate > 1)
        return failWith(QStringLiteral("bad garbage chance: %1").arg(parser.value(garbageOption)));
    options.refusals = parser.value(refusalsOption).toDouble(&ok);
    if (!ok || options.refusals < 0 || options.refusals > 1)
        return failWith(QStringLiteral("bad refusal share: %1").arg(parser.value(refusalsOption)));
    options.rare = parser.value(rareOption).toDouble(&ok);
    if (!ok || options.rare < 0 || options.rare > 1)
        return failWith(QStringLiteral("bad rare share: %1").arg(parser.value(rareOption)));
    options.rareSession = parser.value(rareSessionOption).toInt(&ok);
    if (!ok || options.rareSession < 1 || options.rareSession > 1000000)
        return failWith(QStringLiteral("bad rare session length: %1").arg(parser.value(rareSessionOption)));
    options.rarePath = parser.value(rarePathOption).toDouble(&ok);
    if (!ok || options.rarePath < 0 || options.rarePath > 1)
        return failWith(QStringLiteral("bad rare path share: %1").arg(parser.value(rarePathOption)));
    options.garbageMagic = parser.isSet(garbageMagicOption);
    options.truncateLast = parser.isSet(truncateOption);
    options.append = parser.isSet(appendOption);
    if (parser.isSet(uidsOption)) {
        options.distinctUids = parser.value(uidsOption).toLongLong(&ok);
        if (!ok || options.distinctUids < 1
            || options.distinctUids > qint64(0xFFFFFFFEu - MlogGeneratorOptions::unknownUidBase))
            return failWith(QStringLiteral("bad count of user ids: %1").arg(parser.value(uidsOption)));
    }
    if (parser.isSet(apartOption)) {
        options.secondsApart = parser.value(apartOption).toUInt(&ok);
        if (!ok || options.secondsApart < 1)
            return failWith(QStringLiteral("bad seconds apart: %1").arg(parser.value(apartOption)));
    }

    QString error;
    if (!generateLog(files.first(), options, &error))
        return failWith(error);
    return 0;
}
