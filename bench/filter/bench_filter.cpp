// Matching speed of compiled filters against `grep -c -E` over the same
// records.
//
//   bench_filter [--records N]
//       Generates a log of N records (default 1 000 000) in a temporary
//       folder, turns every record into its text through the log library,
//       writes the texts to a text file, one per line, and then, for five
//       typical filters, times countMatches over the texts in memory and
//       `grep -c -E` with an equivalent pattern over the text file (warm
//       page cache, best of three runs each; grep in the C locale). Prints records per second and
//       the ratio of our time to grep's.
#include <cfilter.h>
#include <cmatcher.h>
#include <filtermatch.h>
#include <mlog.h>
#include <mlogwriter.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

#include <cstdlib>
#include <cstring>

namespace {

QTextStream &out()
{
    static QTextStream s(stdout);
    return s;
}

struct Case
{
    const char *name;
    QList<QStringList> lists;
    QString grepPattern;
};

QList<QStringList> six(const QStringList &status = {}, const QStringList &events = {},
                       const QStringList &users = {}, const QStringList &params = {})
{
    return {status, {}, events, {}, users, params};
}

// Record texts of the log at `path`, through mlog_compile/mlog_txt_malloc.
bool readTexts(const QString &path, QStringList *texts, QByteArray *lines)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const qint64 size = file.size();
    const uchar *data = file.map(0, size);
    if (!data)
        return false;
    qint64 offset = 0;
    while (offset + MLOG_HEADER_SIZE <= size) {
        const qint64 payload = data[offset + MLOG_OFF_PAYLOAD_LENGTH] | (data[offset + MLOG_OFF_PAYLOAD_LENGTH + 1] << 8);
        const qint64 length = MLOG_HEADER_SIZE + payload;
        if (offset + length > size)
            break;
        void *compiled = nullptr;
        if (mlog_compile(&compiled, data + offset, length) == 0) {
            char *text = mlog_txt_malloc(compiled);
            const char *t = text ? text : "";
            texts->append(QString::fromUtf8(t));
            lines->append(t);
            lines->append('\n');
            std::free(text);
        }
        std::free(compiled);
        offset += length;
    }
    mlog_done();
    return true;
}

// grep runs in the C locale, its fastest mode (byte-wise matching); the
// patterns and the records are such that the counts are the same.
double grepSeconds(const QString &pattern, const QString &file, qint64 *count)
{
    double best = 1e9;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    for (int run = 0; run < 3; ++run) {
        QProcess grep;
        grep.setProcessEnvironment(env);
        QElapsedTimer timer;
        timer.start();
        grep.start(QStringLiteral("grep"), {QStringLiteral("-c"), QStringLiteral("-E"), QStringLiteral("--"), pattern, file});
        if (!grep.waitForFinished(-1))
            return -1;
        best = qMin(best, timer.nsecsElapsed() / 1e9);
        *count = grep.readAllStandardOutput().trimmed().toLongLong();
    }
    return best;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    qint64 records = 1000000;
    const QStringList args = app.arguments();
    const int at = args.indexOf(QStringLiteral("--records"));
    if (at >= 0 && at + 1 < args.size())
        records = args.at(at + 1).toLongLong();

    QTemporaryDir dir;
    const QString logPath = dir.filePath(QStringLiteral("bench.mlog"));
    const QString textPath = dir.filePath(QStringLiteral("bench.txt"));
    MlogGeneratorOptions options;
    options.records = records;
    options.seed = 4212;
    QString error;
    if (!generateLog(logPath, options, &error)) {
        out() << "cannot generate the log: " << error << Qt::endl;
        return 1;
    }

    QStringList texts;
    QByteArray lines;
    texts.reserve(int(records));
    if (!readTexts(logPath, &texts, &lines)) {
        out() << "cannot read the log" << Qt::endl;
        return 1;
    }
    QFile textFile(textPath);
    if (!textFile.open(QIODevice::WriteOnly) || textFile.write(lines) != lines.size()) {
        out() << "cannot write the text file" << Qt::endl;
        return 1;
    }
    textFile.close();
    out() << texts.size() << " records, " << lines.size() / 1048576 << " MiB of text" << Qt::endl;

    const QStringList events = toPatternForm(six({}, {QStringLiteral("open"), QStringLiteral("unlink")})).at(2);
    const QList<Case> cases = {
        {"no criteria", six(), QString()},
        {"refusals only", six({fragments().at(1)}), QStringLiteral(">\\s\\[f\\]")},
        {"one user (daemon)", six({}, {}, {userToPattern(QStringLiteral("daemon"), FormDirection::ToPattern)}),
         QStringLiteral("<[0-9]+,[0-9]+,1,")},
        {"two events (open, unlink)", six({}, events), QStringLiteral("\\[[sf]\\]\\s(open|unlink)(\\s|$)")},
        {"parameter passwd|shadow", six({}, {}, {}, {QStringLiteral("passwd|shadow")}), QStringLiteral("passwd|shadow")},
    };

    qint64 warm = 0;
    grepSeconds(QStringLiteral("x"), textPath, &warm);

    out() << qSetFieldWidth(28) << Qt::left << "filter" << qSetFieldWidth(10) << Qt::right << "matches"
          << qSetFieldWidth(14) << "ours rec/s" << "grep rec/s" << qSetFieldWidth(8) << "ratio"
          << qSetFieldWidth(0) << Qt::endl;
    for (const Case &c : cases) {
        const CMatcher matcher(c.lists);
        double best = 1e9;
        int count = 0;
        for (int run = 0; run < 3; ++run) {
            QElapsedTimer timer;
            timer.start();
            count = countMatches(matcher, texts);
            best = qMin(best, timer.nsecsElapsed() / 1e9);
        }
        qint64 grepCount = 0;
        const double grep = grepSeconds(c.grepPattern, textPath, &grepCount);
        out() << qSetFieldWidth(28) << Qt::left << c.name << qSetFieldWidth(10) << Qt::right << count
              << qSetFieldWidth(14) << QString::number(texts.size() / best, 'g', 3)
              << QString::number(texts.size() / grep, 'g', 3) << qSetFieldWidth(8)
              << QString::number(best / grep, 'f', 2) << qSetFieldWidth(0);
        if (grepCount != count)
            out() << "  (grep counted " << grepCount << ")";
        out() << Qt::endl;
    }
    return 0;
}
