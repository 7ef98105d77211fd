// Block summaries: a walk that skips the blocks whose summary rules a filter
// out finds exactly what a walk reading every block finds, over random
// filters and logs with garbage, times going back, growth and rewrites; the
// summaries come back from the companion file and are never taken for a
// block they were not made from; summaries of texts and of records' headers
// never rule out a match.
#include <QtTest>

#include <QRandomGenerator>
#include <QTemporaryDir>

#include "blockquestion.h"
#include "blocksummary.h"
#include "clog.h"
#include "cmatcher.h"
#include "cstringlistmodel.h"
#include "filtermatch.h"
#include "mlog.h"
#include "mlogwriter.h"

#include <cstdlib>

#include <unistd.h>

namespace {

const quint32 T0 = 1780000000;

struct LogShape
{
    qint64 records = 3000;
    quint64 seed = 1;
    double rare = 0.01;
    double refusals = 0.15;
    double garbage = 0;
    bool backwards = false; // a second part whose times lie before the first's
    double rarePath = 0.02;
    int session = 0;
};

bool writeShape(const QString &path, const LogShape &shape)
{
    MlogGeneratorOptions options;
    options.records = shape.records;
    options.start = QDateTime::fromSecsSinceEpoch(T0 + (shape.backwards ? 5000 : 0), Qt::UTC);
    options.recordsPerSecond = 30;
    options.seed = shape.seed;
    options.rare = shape.rare;
    options.refusals = shape.refusals;
    options.garbageRate = shape.garbage;
    options.garbageMagic = shape.garbage > 0;
    options.rarePath = shape.rarePath;
    options.rareSession = shape.session;
    if (!generateLog(path, options))
        return false;
    if (!shape.backwards)
        return true;
    const QString second = path + QStringLiteral(".part");
    options.start = QDateTime::fromSecsSinceEpoch(T0, Qt::UTC);
    options.seed = shape.seed + 1000;
    if (!generateLog(second, options))
        return false;
    QFile part(second);
    QFile log(path);
    const bool ok = part.open(QIODevice::ReadOnly) && log.open(QIODevice::Append)
                    && log.write(part.readAll()) > 0;
    part.remove();
    return ok;
}

// The log of `shape` written and walked once, which leaves the summaries
// of its blocks in the companion file.
bool writeSummarised(const QString &path, const LogShape &shape)
{
    if (!writeShape(path, shape))
        return false;
    CLog log;
    log.readLog(path);
    log.forEachBlockUtf8(0, log.blockCount() - 1, [](int, const QByteArray &) { return true; });
    return true;
}

void removeIndex(const QString &logPath)
{
    const QString index = CLog::indexFilePath(logPath);
    QFile::remove(index);
    QFile::remove(index + QStringLiteral(".aux"));
    QFile::remove(index + QStringLiteral(".spare"));
}

QList<QStringList> randomLists(QRandomGenerator &rng)
{
    const QStringList &f = fragments();
    const QStringList events{QStringLiteral("ptrace"), QStringLiteral("open"), QStringLiteral("openat"),
                             QStringLiteral("unlink"), QStringLiteral("execve"), QStringLiteral("init_module"),
                             QStringLiteral("kill"), QStringLiteral("mount"), QStringLiteral("su"),
                             QStringLiteral("setuid"), QStringLiteral("o"), QStringLiteral("delete_module")};
    const QStringList ids{QStringLiteral("4242"), QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("10"),
                          QStringLiteral("100"), QStringLiteral("1000"), QStringLiteral("65534"),
                          QStringLiteral("424"), QStringLiteral("42424242424"), QString::number(::getuid())};
    const QStringList free{QStringLiteral("passwd"), QStringLiteral("shadow|sudoers"), QStringLiteral("^\\[p\\]"),
                           QStringLiteral("<\\d+,\\d+,42"), QStringLiteral("\\[f\\]\\sptr"),
                           // Paths, asked of the path words.
                           QStringLiteral("/etc/shadow"), QStringLiteral("/srv/payroll/salaries.db"),
                           QStringLiteral("/srv/payroll/salaries\\.db"), QStringLiteral("/Dokumente/"),
                           QStringLiteral("/\\.ssh/authorized_keys"), QStringLiteral("cwd=/root"),
                           QStringLiteral("/proc/\\d+/status"), QStringLiteral("/etc/sha+dow"),
                           QStringLiteral("/usr/bin/passwd"), QStringLiteral("/srv/payrolls")};
    const auto pick = [&rng](const QStringList &from) { return from.at(int(rng.bounded(from.size()))); };
    QList<QStringList> lists{{}, {}, {}, {}, {}, {}};
    const auto entries = [&rng] { return rng.bounded(4) == 0 ? int(1 + rng.bounded(2)) : 0; };
    for (int i = entries(); i > 0; --i)
        lists[0] << f.at(int(rng.bounded(2)));
    for (int i = entries(); i > 0; --i)
        lists[1] << f.at(2 + int(rng.bounded(4)));
    for (int i = entries(); i > 0; --i) {
        const QString event = pick(events);
        lists[2] << (rng.bounded(2) ? f.at(8) + event
                                    : toPatternForm(QList<QStringList>{{}, {}, {event}, {}, {}, {}}).at(2).first());
    }
    for (int i = entries(); i > 0; --i)
        lists[3] << f.at(6) + pick(ids);
    for (int i = entries(); i > 0; --i)
        lists[4] << f.at(7) + pick(ids);
    if (rng.bounded(4) == 0) {
        for (int i = 1 + int(rng.bounded(3)); i > 0; --i)
            lists[5] << pick(free);
    }
    return lists;
}

// Matches per block, every block read.
QVector<int> fullCounts(const QString &path, const CMatcher &matcher)
{
    CLog log;
    log.setSummariesUsed(false);
    log.readLog(path);
    QVector<int> counts(log.blockCount(), 0);
    log.forEachBlockUtf8(0, log.blockCount() - 1, [&](int block, const QByteArray &texts) {
        counts[block] = countMatchesUtf8(matcher, texts);
        return true;
    });
    return counts;
}

// Matches per block with the blocks the question rules out skipped; `skipped`
// receives how many were.
QVector<int> skippingCounts(const CLog &log, const CMatcher &matcher, const BlockQuestion &question, int *skipped)
{
    QVector<int> counts(log.blockCount(), 0);
    *skipped = 0;
    for (int b = 0; b < log.blockCount(); ++b)
        *skipped += log.passesOver(b, question) ? 1 : 0;
    log.forEachBlockUtf8(0, log.blockCount() - 1, [&](int block, const QByteArray &texts) {
        counts[block] = countMatchesUtf8(matcher, texts);
        return true;
    }, TimeSpan(), &question);
    return counts;
}

int summaries(const CLog &log)
{
    int n = 0;
    for (int b = 0; b < log.blockCount(); ++b)
        n += log.blockSummary(b) ? 1 : 0;
    return n;
}

// Compares skipping and full counts over `filters` random filters; returns
// the blocks skipped in all.
int compareFilters(const QString &path, CLog &log, quint64 seed, int filters)
{
    QRandomGenerator rng{quint32(seed)};
    int skippedAll = 0;
    for (int i = 0; i < filters; ++i) {
        const QList<QStringList> lists = randomLists(rng);
        const CMatcher matcher(lists);
        const BlockQuestion question(lists);
        const QVector<int> full = fullCounts(path, matcher);
        int skipped = 0;
        const QVector<int> fast = skippingCounts(log, matcher, question, &skipped);
        skippedAll += skipped;
        if (fast != full) {
            QString where;
            for (int b = 0; b < full.size() && where.isEmpty(); ++b) {
                if (b >= fast.size() || fast[b] != full[b])
                    where = QStringLiteral("block %1: %2 against %3").arg(b).arg(b < fast.size() ? fast[b] : -1).arg(full[b]);
            }
            qWarning() << "filter" << lists << where;
            return -1;
        }
    }
    return skippedAll;
}

// The record's bytes and the library's text of them.
struct Compiled
{
    QByteArray record;
    QByteArray text;
};

Compiled compiled(const MlogRecord &r)
{
    Compiled c;
    c.record = encodeRecord(r);
    void *slot = nullptr;
    if (mlog_compile(&slot, c.record.constData(), c.record.size()) != -1) {
        char *t = mlog_txt_malloc(slot);
        c.text = t ? QByteArray(t) : QByteArray();
        std::free(t);
    }
    std::free(slot);
    mlog_done();
    return c;
}

MlogRecord headerRecord(quint16 kind, quint16 event, quint32 status, quint32 uid, quint32 gid, const QByteArray &payload)
{
    MlogRecord r;
    r.time = 1780000000;
    r.subject[0] = 4212;
    r.subject[1] = 1;
    r.subject[2] = uid;
    r.subject[3] = gid;
    r.subject[4] = 3;
    r.kind = kind;
    r.event = event;
    r.status = status;
    r.payload = payload;
    return r;
}

BlockSummary summaryOf(const QList<Compiled> &records)
{
    BlockSummary s;
    for (const Compiled &c : records)
        s.addRecord(c.record.constData(), c.record.size(), c.text.constData(), c.text.size());
    return s;
}

} // namespace

class TestBlockSummaries : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QCoreApplication::setApplicationName(QStringLiteral("vrelview"));
        QVERIFY(QDir().mkpath(QFileInfo(CLog::indexFilePath(path())).path()));
    }
    void init() { removeIndex(path()); }

    void skipsExactly_data()
    {
        QTest::addColumn<qint64>("records");
        QTest::addColumn<quint64>("seed");
        QTest::addColumn<double>("rare");
        QTest::addColumn<double>("refusals");
        QTest::addColumn<double>("garbage");
        QTest::addColumn<bool>("backwards");
        QTest::newRow("rare things") << qint64(4000) << quint64(1) << 0.01 << 0.01 << 0.0 << false;
        QTest::newRow("as generated by default") << qint64(3000) << quint64(2) << 0.0 << 0.15 << 0.0 << false;
        QTest::newRow("garbage between records") << qint64(3000) << quint64(3) << 0.02 << 0.05 << 0.05 << false;
        QTest::newRow("times going back") << qint64(2000) << quint64(4) << 0.02 << 0.02 << 0.0 << true;
        QTest::newRow("no refusals") << qint64(2000) << quint64(5) << 0.005 << 0.0 << 0.0 << false;
    }
    void skipsExactly()
    {
        QFETCH(qint64, records);
        QFETCH(quint64, seed);
        QFETCH(double, rare);
        QFETCH(double, refusals);
        QFETCH(double, garbage);
        QFETCH(bool, backwards);
        LogShape shape;
        shape.records = records;
        shape.seed = seed;
        shape.rare = rare;
        shape.refusals = refusals;
        shape.garbage = garbage;
        shape.backwards = backwards;
        QVERIFY(writeShape(path(), shape));
        CLog log;
        log.readLog(path());
        QVERIFY(log.blockCount() > 10);
        QCOMPARE(summaries(log), 0);
        // The first walk makes the summaries of every block but the last.
        log.forEachBlockUtf8(0, log.blockCount() - 1, [](int, const QByteArray &) { return true; });
        QCOMPARE(summaries(log), log.blockCount() - 1);
        const int skipped = compareFilters(path(), log, seed, 60);
        QVERIFY(skipped >= 0);
        QVERIFY(skipped > 0); // the skip did happen

        // Read again by a new reader: the summaries come from the companion.
        CLog again;
        again.readLog(path());
        QCOMPARE(summaries(again), again.blockCount() - 1);
        QVERIFY(compareFilters(path(), again, seed + 1, 30) > 0);
    }

    // A summary of one text never rules out a filter that matches it, where
    // the text is odd: digits and white space of other scripts, ids that
    // begin others, marks inside the parameters.
    void neverRulesOutAMatch_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<QStringList>>("lists");
        const QStringList &f = fragments();
        const QString plain = QStringLiteral("[f] <12,1,1000,100,3> [s] openat /etc/passwd");
        QTest::newRow("user id begun by the pattern's") << plain << QList<QStringList>{{f.at(7) + "100"}};
        QTest::newRow("user id of one digit") << plain << QList<QStringList>{{f.at(7) + "1"}};
        QTest::newRow("group id begun by the pattern's") << plain << QList<QStringList>{{f.at(6) + "10"}};
        QTest::newRow("event begun by the pattern's") << plain << QList<QStringList>{{f.at(8) + "open"}};
        QTest::newRow("event of five letters") << plain << QList<QStringList>{{f.at(8) + "opena"}};
        QTest::newRow("event as the editor stores it")
            << plain << toPatternForm(QList<QStringList>{{}, {}, {QStringLiteral("openat")}, {}, {}, {}});
        QTest::newRow("all lists") << plain
            << QList<QStringList>{{f.at(0)}, {f.at(4)}, {f.at(8) + "openat"}, {f.at(6) + "100"}, {f.at(7) + "1000"}};
        QTest::newRow("subject in the parameters")
            << QStringLiteral("[p] <1,1,0,0,1> [s] kill text=<5,6,4242,7,8> >\t[f]")
            << QList<QStringList>{{f.at(1)}, {f.at(7) + "4242"}, {f.at(6) + "7"}};
        QTest::newRow("event after a later status mark")
            << QStringLiteral("[c] <1,1,0,0,1> [s] note msg=[f]\vptrace") << QList<QStringList>{{f.at(8) + "ptrace"}};
        QTest::newRow("non-breaking space before the status")
            << QString::fromUtf8("[u] <1,1,0,0,1>\u00a0[f] login") << QList<QStringList>{{f.at(1)}};
        QTest::newRow("ideographic space before the event")
            << QString::fromUtf8("[u] <1,1,0,0,1> [s]\u3000login") << QList<QStringList>{{f.at(8) + "login"}};
        QTest::newRow("Arabic digits in the pid")
            << QString::fromUtf8("[u] <\u0661\u0662,1,4242,9,1> [s] login") << QList<QStringList>{{f.at(7) + "4242"}};
        QTest::newRow("Arabic digits as the user id")
            << QString::fromUtf8("[u] <1,1,\u0663,4242,1> [s] login") << QList<QStringList>{{f.at(6) + "4242"}};
        QTest::newRow("Arabic digit ending the user id")
            << QString::fromUtf8("[u] <1,1,3\u0663,4242,1> [s] login") << QList<QStringList>{{f.at(6) + "4242"}};
    }
    void neverRulesOutAMatch()
    {
        QFETCH(QString, text);
        QFETCH(QList<QStringList>, lists);
        const CMatcher matcher(lists);
        QVERIFY(matcher.matches(text)); // the row asks what it should
        const QByteArray utf8 = text.toUtf8();
        BlockSummary summary;
        summary.addText(utf8.constData(), utf8.size());
        const BlockQuestion question(lists);
        QVERIFY(question.asksAnything());
        QVERIFY(question.mayMatch(summary));
    }

    // A summary a walk makes is one of all the block holds: a walk narrowed
    // to part of a mixed block makes none, nor does one that stops early for
    // the blocks after.
    void partialWalksMakeNone()
    {
        LogShape shape;
        shape.backwards = true;
        QVERIFY(writeShape(path(), shape));
        CLog log;
        log.readLog(path());
        // Stopped after its first block: the blocks it never reached have none.
        log.forEachBlockUtf8(0, log.blockCount() - 1, [](int, const QByteArray &) { return false; });
        QCOMPARE(summaries(log), 1);
        QVERIFY(log.blockSummary(0));
        TimeSpan span;
        span.from = T0 + 10;
        span.to = T0 + 20;
        log.forEachBlockUtf8(0, log.blockCount() - 1, [](int, const QByteArray &) { return true; }, span);
        int mixedWithSummary = 0;
        for (int b = 0; b < log.blockCount(); ++b)
            mixedWithSummary += log.isMixedBlock(b) && log.blockSummary(b) ? 1 : 0;
        QCOMPARE(mixedWithSummary, 0);
    }

    // The log grown: the old summaries keep serving their blocks, the block
    // that was last gets one once read, and every count stays exact.
    void grownLog()
    {
        LogShape shape;
        QVERIFY(writeSummarised(path(), shape));
        MlogGeneratorOptions more;
        more.records = 1500;
        more.recordsPerSecond = 30;
        more.seed = 77;
        more.rare = 0.01;
        more.append = true;
        QVERIFY(generateLog(path(), more));
        CLog log;
        log.readLog(path());
        const int before = summaries(log);
        QVERIFY(before > 0);
        QVERIFY(before < log.blockCount() - 1);
        QVERIFY(compareFilters(path(), log, 11, 40) >= 0);
        QCOMPARE(summaries(log), log.blockCount() - 1);
    }

    // The log rewritten in place with other records: nothing made of the
    // old one is used, and the counts are those of the new records.
    void rewrittenLog()
    {
        LogShape shape;
        shape.seed = 21;
        QVERIFY(writeSummarised(path(), shape));
        shape.seed = 22;
        QVERIFY(writeShape(path(), shape));
        CLog log;
        log.readLog(path());
        QCOMPARE(summaries(log), 0);
        QVERIFY(compareFilters(path(), log, 12, 40) >= 0);
    }

    // A companion whose summaries section is cut or foreign gives no
    // summaries, never wrong ones.
    void damagedCompanion()
    {
        LogShape shape;
        QVERIFY(writeSummarised(path(), shape));
        const QString aux = CLog::indexFilePath(path()) + QStringLiteral(".aux");
        QFile file(aux);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QByteArray bytes = file.readAll();
        QVERIFY(bytes.size() > 200);
        // Flip the offsets' bytes in the middle of the summaries.
        for (int i = bytes.size() / 2; i < bytes.size() / 2 + 64; ++i)
            bytes[i] = char(bytes[i] ^ 0x5A);
        QVERIFY(file.seek(0));
        QCOMPARE(file.write(bytes), qint64(bytes.size()));
        file.close();
        CLog log;
        log.readLog(path());
        QVERIFY(summaries(log) < log.blockCount() - 1);
        QVERIFY(compareFilters(path(), log, 13, 30) >= 0);
    }

    // The path words of a text never rule out a pattern that matches it;
    // a pattern whose words cannot be told asks nothing of them.
    void pathWordsNeverRuleOutAMatch_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<bool>("asks");
        const QString text = QStringLiteral("[f] <12,1,1000,100,3> [s] openat /srv/payroll/salaries.db dev=fd:0");
        QTest::newRow("the path") << text << QStringLiteral("/srv/payroll/salaries.db") << true;
        QTest::newRow("the path, its dot escaped") << text << QStringLiteral("/srv/payroll/salaries\\.db") << true;
        QTest::newRow("a word cut by a dot") << text << QStringLiteral("/sal.ries") << false;
        QTest::newRow("a letter a quantifier may drop") << text << QStringLiteral("/salx?aries") << false;
        QTest::newRow("a letter a star may drop") << QStringLiteral("x /sala") << QStringLiteral("/salab*") << true;
        QTest::newRow("a word before a star") << QStringLiteral("x /sal") << QStringLiteral("/sala*") << false;
        QTest::newRow("a letter repeated") << QStringLiteral("x /salla") << QStringLiteral("/sal+a") << false;
        QTest::newRow("a counted letter") << QStringLiteral("x /saaa") << QStringLiteral("/sab{0}aa") << false;
        QTest::newRow("inside a longer word") << text << QStringLiteral("/payr") << true;
        QTest::newRow("the text's last bytes") << QStringLiteral("x /abcd") << QStringLiteral("/abcd") << true;
        QTest::newRow("the last bytes of a long text") << QString(27, QLatin1Char('x')) + QStringLiteral("/abcd")
                                                       << QStringLiteral("/abcd") << true;
        QTest::newRow("a word one byte short") << QString(28, QLatin1Char('x')) + QStringLiteral("/abc")
                                               << QStringLiteral("/abc") << false;
        QTest::newRow("a word of capitals") << QStringLiteral("x /ABCD/") << QStringLiteral("/ABCD") << true;
        QTest::newRow("a class after the slash") << text << QStringLiteral("/[s]rv/payroll") << true;
        QTest::newRow("a class holding a bracket") << QStringLiteral("x ]/abcd") << QStringLiteral("[]x]/abcd") << true;
        QTest::newRow("a digit class") << QStringLiteral("/proc/12/status") << QStringLiteral("/proc/\\d+/status") << true;
        QTest::newRow("alternatives") << text << QStringLiteral("/nope|/srv/payroll") << false;
        QTest::newRow("a group") << text << QStringLiteral("(/srv)/payroll") << false;
        QTest::newRow("a code for the slash") << text << QStringLiteral("\\x002fsrv/payroll") << false;
        QTest::newRow("a code inside the word") << QStringLiteral("x /abcd") << QStringLiteral("/ab\\x0063d") << false;
        QTest::newRow("no slash") << text << QStringLiteral("payroll") << false;
        QTest::newRow("letters of another script")
            << QString::fromUtf8("x /\u00e9t\u00e9s") << QString::fromUtf8("/\u00e9t\u00e9s") << false;
    }
    void pathWordsNeverRuleOutAMatch()
    {
        QFETCH(QString, text);
        QFETCH(QString, pattern);
        QFETCH(bool, asks);
        const QList<QStringList> lists{{}, {}, {}, {}, {}, {pattern}};
        QVERIFY(CMatcher(lists).matches(text)); // the row asks what it should
        const BlockQuestion question(lists);
        QCOMPARE(question.asksPaths(), asks);
        const QByteArray utf8 = text.toUtf8();
        BlockSummary summary;
        summary.addText(utf8.constData(), utf8.size());
        PathWords words;
        words.addText(utf8.constData(), utf8.size());
        QVERIFY(question.mayMatch(summary, &words));
        // Without the text's words, a pattern that asks them is ruled out.
        const PathWords none;
        QCOMPARE(question.mayMatch(summary, &none), !asks);
    }

    // A list of paths is asked of the path words up to its longest length,
    // and only when every entry holds a word.
    void pathListsAskedUpToTheLongest_data()
    {
        QTest::addColumn<int>("entries");
        QTest::addColumn<bool>("withoutWord");
        QTest::addColumn<bool>("asks");
        QTest::newRow("one") << 1 << false << true;
        QTest::newRow("the longest") << BlockQuestion::kMostLiterals << false << true;
        QTest::newRow("one more") << BlockQuestion::kMostLiterals + 1 << false << false;
        QTest::newRow("one entry without a word") << 3 << true << false;
    }
    void pathListsAskedUpToTheLongest()
    {
        QFETCH(int, entries);
        QFETCH(bool, withoutWord);
        QFETCH(bool, asks);
        QStringList paths;
        for (int i = 0; i < entries; ++i)
            paths << QStringLiteral("/srv/data%1/file").arg(i);
        if (withoutWord)
            paths.last() = QStringLiteral("/tmp/x");
        QCOMPARE(BlockQuestion({{}, {}, {}, {}, {}, paths}).asksPaths(), asks);
    }

    // A path word is four ASCII letters: every byte value at each of the
    // four places, between letters.
    void pathWordIsFourLetters()
    {
        for (int place = 0; place < 4; ++place) {
            for (int c = 0; c < 256; ++c) {
                char word[4] = {'a', 'Z', 'm', 'z'};
                word[place] = char(c);
                const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
                QVERIFY2(PathWords::isWord(word) == letter, qPrintable(QStringLiteral("byte %1 at %2").arg(c).arg(place)));
            }
        }
    }

    // Path words are made by a walk that asks for them, for the groups of
    // blocks it reads whole; a later walk and a reader opened again skip by
    // them, and the counts stay exact.
    void pathWordsSkipExactly()
    {
        LogShape shape;
        shape.records = 8000;
        shape.rarePath = 0.05;
        shape.session = 30;
        shape.refusals = 0.02;
        QVERIFY(writeShape(path(), shape));
        const QList<QStringList> lists{{}, {}, {}, {}, {}, {QStringLiteral("/srv/payroll/salaries\\.db")}};
        const CMatcher matcher(lists);
        const BlockQuestion question(lists);
        QVERIFY(question.asksPaths());
        const QVector<int> full = fullCounts(path(), matcher);
        QVERIFY(std::count(full.begin(), full.end(), 0) > full.size() / 2);
        const int group = BlockSummary::kPathGroup;
        QVERIFY(full.size() > 4 * group);
        const auto passedOver = [](const CLog &log, const BlockQuestion &q) {
            int n = 0;
            for (int b = 0; b < log.blockCount(); ++b)
                n += log.passesOver(b, q) ? 1 : 0;
            return n;
        };
        {
            CLog log;
            log.readLog(path());
            // A walk over part of the groups: from the second block of the
            // first group to the middle of the third.
            log.forEachBlockUtf8(1, 2 * group + group / 2, [](int, const QByteArray &) { return true; }, TimeSpan(),
                                 &question);
            QCOMPARE(passedOver(log, question), 0 + [&] {
                int n = 0;
                for (int b = group; b < 2 * group; ++b)
                    n += full[b] == 0 ? 1 : 0;
                return n;
            }());
            int skipped = 0;
            QCOMPARE(skippingCounts(log, matcher, question, &skipped), full);
            QVERIFY(passedOver(log, question) > full.size() / 2);
        }
        {
            // One reading's calls with a gap between them: the group with
            // the gap gets no words, the one after it does.
            removeIndex(path());
            CLog log;
            log.readLog(path());
            log.forEachBlockUtf8(0, log.blockCount() - 1, [](int, const QByteArray &) { return true; });
            CLog::Reading reading;
            const auto visit = [](const CLog::TextPiece &) { return true; };
            log.forEachPieceUtf8(reading, 0, 5, visit, TimeSpan(), -1, &question);
            log.forEachPieceUtf8(reading, 8, 2 * group - 1, visit, TimeSpan(), -1, &question);
            for (int b = 0; b < 2 * group; ++b)
                QCOMPARE(log.passesOver(b, question), b >= group && full[b] == 0);
        }
        {
            // Blocks passed over by their summaries (no refusal in them)
            // leave their groups without words: a later question of the
            // path alone must still find every record.
            removeIndex(path());
            CLog log;
            log.readLog(path());
            log.forEachBlockUtf8(0, log.blockCount() - 1, [](int, const QByteArray &) { return true; });
            QList<QStringList> refused = lists;
            refused[0] << fragments().at(1);
            const BlockQuestion both(refused);
            int skipped = 0;
            QCOMPARE(skippingCounts(log, CMatcher(refused), both, &skipped), fullCounts(path(), CMatcher(refused)));
            QVERIFY(skipped > 0);
            QCOMPARE(skippingCounts(log, matcher, question, &skipped), full);
        }
        CLog again;
        again.readLog(path());
        const int skips = passedOver(again, question);
        QVERIFY(skips > full.size() / 2);
        int skipped = 0;
        QCOMPARE(skippingCounts(again, matcher, question, &skipped), full);
        QCOMPARE(skipped, skips);
        // Turned off, nothing is passed over.
        again.setSummariesUsed(false);
        QCOMPARE(passedOver(again, question), 0);
    }

    // The path words of a group are those of all of its blocks, in the
    // shares of all of them: a path that only one block holds, wherever it
    // stands in its group, keeps that block from being passed over, in the
    // walk that made the words and in a reader opened again.
    void pathWordOfOneBlock_data()
    {
        QTest::addColumn<int>("block");
        QTest::newRow("the first block of the first group") << 0;
        QTest::newRow("the first block of a later group") << BlockSummary::kPathGroup;
        QTest::newRow("the last block of a group") << 2 * BlockSummary::kPathGroup - 1;
    }
    void pathWordOfOneBlock()
    {
        QFETCH(int, block);
        // Three whole groups and the last block, which is never summed up.
        const int seconds = 3 * BlockSummary::kPathGroup + 1;
        // A path one of whose words is kept in the group's last share.
        const QByteArray rare = "/var/spool/cron/crontabs";
        PathWords words;
        words.addText(rare.constData(), rare.size());
        const quint8 *last = words.bytes + (BlockSummary::kPathGroup - 1) * BlockSummary::kPathShare;
        QVERIFY(std::any_of(last, last + BlockSummary::kPathShare, [](quint8 b) { return b != 0; }));
        QByteArray bytes;
        for (int s = 0; s < seconds; ++s) {
            for (int i = 0; i < 2; ++i) {
                const QByteArray payload = s == block && i == 1 ? rare : "/usr/lib/libc.so.6";
                MlogRecord r = headerRecord(2, 1, 0, 1000, 1000, payload);
                r.time = T0 + quint32(s);
                bytes += encodeRecord(r);
            }
        }
        QFile file(path());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size());
        file.close();
        const QList<QStringList> lists{{}, {}, {}, {}, {}, {QString::fromLatin1(rare)}};
        const CMatcher matcher(lists);
        const BlockQuestion question(lists);
        const QVector<int> full = fullCounts(path(), matcher);
        QCOMPARE(full.size(), seconds);
        QCOMPARE(full.at(block), 1);
        CLog log;
        log.readLog(path());
        log.forEachBlockUtf8(0, log.blockCount() - 1, [](int, const QByteArray &) { return true; }, TimeSpan(),
                             &question);
        CLog again;
        again.readLog(path());
        for (const CLog *reader : {&log, &again}) {
            int skipped = 0;
            QCOMPARE(skippingCounts(*reader, matcher, question, &skipped), full);
            // The other groups' blocks are passed over by their words.
            QCOMPARE(skipped, 2 * BlockSummary::kPathGroup);
        }
    }

    // The results model counts and shows the same rows with summaries as
    // without, on the first run and on the later ones.
    void modelRuns_data()
    {
        QTest::addColumn<QList<QStringList>>("lists");
        QTest::addColumn<QList<QStringList>>("hidden");
        const QStringList &f = fragments();
        const QList<QStringList> none{{}, {}, {}, {}, {}, {}};
        QTest::newRow("refused ptrace") << QList<QStringList>{{f.at(1)}, {}, {f.at(8) + "ptrace"}, {}, {}, {}} << none;
        QTest::newRow("refused ptrace as the editor stores it")
            << toPatternForm(QList<QStringList>{{f.at(1)}, {}, {QStringLiteral("ptrace")}, {}, {}, {}}) << none;
        QTest::newRow("rare user") << QList<QStringList>{{}, {}, {}, {}, {f.at(7) + "4242"}, {}} << none;
        QTest::newRow("refusals") << QList<QStringList>{{f.at(1)}, {}, {}, {}, {}, {}} << none;
        QTest::newRow("custom kind, group 4242")
            << QList<QStringList>{{}, {f.at(5)}, {}, {f.at(6) + "4242"}, {}, {}} << none;
        QTest::newRow("a rare path")
            << QList<QStringList>{{}, {}, {}, {}, {}, {QStringLiteral("/srv/payroll/salaries.db")}} << none;
        // Hidden values take records away; they never tell which blocks to read.
        QTest::newRow("refusals hidden") << none << QList<QStringList>{{f.at(1)}, {}, {}, {}, {}, {}};
    }
    void modelRuns()
    {
        QFETCH(QList<QStringList>, lists);
        QFETCH(QList<QStringList>, hidden);
        LogShape shape;
        shape.records = 5000;
        shape.refusals = 0.02;
        QVERIFY(writeShape(path(), shape));
        CFilterPtr filter(new CFilter(QStringLiteral("test")));
        filter->setLists(lists);
        filter->setHidden(hidden);
        CLog plain;
        plain.setSummariesUsed(false);
        plain.readLog(path());
        CStringListModel expected(&plain, filter);
        QAbstractItemModelTester expectedTester(&expected, QAbstractItemModelTester::FailureReportingMode::QtTest);
        expected.runFilter();
        CLog log;
        log.readLog(path());
        CStringListModel model(&log, filter);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        for (int run = 0; run < 3; ++run) {
            model.runFilter();
            QCOMPARE(model.rowCount(QModelIndex()), expected.rowCount(QModelIndex()));
            for (int row = 0; row < std::min(50, expected.rowCount(QModelIndex())); ++row)
                QCOMPARE(model.index(row, 0).data(), expected.index(row, 0).data());
        }
        QCOMPARE(summaries(log), log.blockCount() - 1);
    }

    // A summary made from records' headers (BlockSummary::addRecord) never
    // rules out a filter that the record's text matches, whatever the
    // payload, event name or kind; and it still rules out what the record
    // does not hold.
    // Each row: one record and a filter its text matches, in the parameters
    // or the head; the summary of a block of it beside a plain record must
    // answer "maybe".
    void recordsNeverRuleOutAMatch_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("event");
        QTest::addColumn<quint32>("status");
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<QList<QStringList>>("lists");
        const QStringList &f = fragments();
        // File events 1 and 3: openat, unlink; process 7: ptrace; user 3: su.
        QTest::newRow("head: user, group, event, refusal")
            << 2 << 1 << 1u << QByteArray("/etc/shadow")
            << QList<QStringList>{{f.at(1)}, {f.at(4)}, {f.at(8) + "openat"}, {f.at(7) + "4242"}, {f.at(6) + "77"}};
        QTest::newRow("head: short user prefix") << 2 << 1 << 0u << QByteArray() << QList<QStringList>{{f.at(7) + "42"}};
        QTest::newRow("subject in the parameters")
            << 1 << 7 << 0u << QByteArray("note=<5,6,31337,8,9>") << QList<QStringList>{{f.at(7) + "31337"}, {f.at(6) + "8"}};
        QTest::newRow("status in the parameters")
            << 1 << 7 << 0u << QByteArray("cmd=a > [f] b") << QList<QStringList>{{f.at(1)}, {f.at(8) + "ptrace"}};
        QTest::newRow("event in the parameters")
            << 2 << 3 << 0u << QByteArray("x [s] mount y") << QList<QStringList>{{f.at(8) + "mount"}};
        QTest::newRow("payload shorter than sixteen bytes")
            << 2 << 3 << 0u << QByteArray("[f] kill") << QList<QStringList>{{f.at(8) + "kill"}};
        QTest::newRow("mark as the sixteenth byte")
            << 2 << 3 << 0u << QByteArray("0123456789abcde> [f]") << QList<QStringList>{{f.at(1)}};
        QTest::newRow("mark as the seventeenth byte")
            << 2 << 3 << 0u << QByteArray("0123456789abcdef> [f]") << QList<QStringList>{{f.at(1)}};
        QTest::newRow("mark in the last sixteen bytes")
            << 2 << 3 << 0u << QByteArray("0123456789abcdefghijklmnopqrstu> [f]") << QList<QStringList>{{f.at(1)}};
        QTest::newRow("control characters before a status")
            << 2 << 3 << 0u << QByteArray("z>\t[f]") << QList<QStringList>{{f.at(1)}};
        QTest::newRow("event name shorter than the prefix")
            << 0 << 3 << 0u << QByteArray("to root") << QList<QStringList>{{f.at(8) + "su 20"}, {f.at(2)}};
        QTest::newRow("non-ASCII payload") << 3 << 0 << 1u << QByteArray("\xff\xfe <1,2,99,5") << QList<QStringList>{{f.at(7) + "99"}};
    }
    void recordsNeverRuleOutAMatch()
    {
        QFETCH(int, kind);
        QFETCH(int, event);
        QFETCH(quint32, status);
        QFETCH(QByteArray, payload);
        QFETCH(QList<QStringList>, lists);
        const Compiled odd = compiled(headerRecord(quint16(kind), quint16(event), status, 4242, 77, payload));
        QVERIFY(!odd.text.isEmpty());
        const CMatcher matcher(lists);
        QVERIFY2(matcher.matches(QString::fromUtf8(odd.text)), odd.text.constData()); // the row asks what it should
        const BlockQuestion question(lists);
        QVERIFY(question.asksAnything());
        const Compiled plain = compiled(headerRecord(1, 0, 0, 1000, 1000, "/usr/bin/ls"));
        QVERIFY(question.mayMatch(summaryOf({plain, odd})));
        QVERIFY(question.mayMatch(summaryOf({odd})));
    }

    // The other side: what a block of plain records does not hold is ruled
    // out, and what it does hold is not.
    void rulesOutWhatIsNotThere_data()
    {
        QTest::addColumn<QList<QStringList>>("lists");
        QTest::addColumn<bool>("may");
        const QStringList &f = fragments();
        QTest::newRow("its user") << QList<QStringList>{{f.at(7) + "1000"}} << true;
        QTest::newRow("another user") << QList<QStringList>{{f.at(7) + "4242"}} << false;
        QTest::newRow("its group") << QList<QStringList>{{f.at(6) + "1000"}} << true;
        QTest::newRow("its event") << QList<QStringList>{{f.at(8) + "execve"}} << true;
        QTest::newRow("another event") << QList<QStringList>{{f.at(8) + "ptrace"}} << false;
        QTest::newRow("its kind") << QList<QStringList>{{f.at(3)}} << true;
        QTest::newRow("another kind") << QList<QStringList>{{f.at(4)}} << false;
        QTest::newRow("its status") << QList<QStringList>{{f.at(0)}} << true;
        QTest::newRow("refusals") << QList<QStringList>{{f.at(1)}} << false;
    }
    void rulesOutWhatIsNotThere()
    {
        QFETCH(QList<QStringList>, lists);
        QFETCH(bool, may);
        QList<Compiled> block;
        for (int i = 0; i < 20; ++i)
            block.append(compiled(headerRecord(1, 0, 0, 1000, 1000, "/usr/bin/ls -l /home/u" + QByteArray::number(i))));
        const BlockSummary summary = summaryOf(block);
        QCOMPARE(int(summary.records), 20);
        QCOMPARE(BlockQuestion(lists).mayMatch(summary), may);
    }

private:
    QString path() const { return m_dir.filePath(QStringLiteral("summaries.mlog")); }
    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(TestBlockSummaries)
#include "tst_blocksummaries.moc"
