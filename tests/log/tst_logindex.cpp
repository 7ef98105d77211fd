// The index file as other readers of its format see it, and the reopen of a
// log from its index: the bytes read, the files written, the counts kept,
// the block summaries left in the companion file until asked for, blocks
// found not to fit the log only when they are read, a damaged companion
// and another log of the same name.
#include "logbuilder.h"

#include <QtTest>

#include <csignal>
#include <cstring>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using Index = QMap<quint32, qint64>;

// Bytes this process has read through read() and its kin so far.
static qint64 bytesRead()
{
    QFile io(QStringLiteral("/proc/self/io"));
    if (!io.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : io.readAll().split('\n')) {
        if (line.startsWith("rchar:"))
            return line.mid(6).trimmed().toLongLong();
    }
    return -1;
}

static bool appendBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::Append) && f.write(bytes) == bytes.size();
}

// What tells a file rewritten or replaced from one left alone.
static QByteArray stampOf(const QString &path)
{
    struct stat st;
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return QByteArray();
    return QByteArray::number(quint64(st.st_ino)) + ' ' + QByteArray::number(qint64(st.st_mtim.tv_nsec))
           + ' ' + QByteArray::number(qint64(st.st_ctim.tv_sec)) + '.' + QByteArray::number(qint64(st.st_ctim.tv_nsec));
}

// The index the format's own rule gives: an entry wherever the time differs
// from the record before, a time coming back replacing its earlier entry.
static Index formatRuleIndex(const QByteArray &d)
{
    Index index;
    bool any = false;
    quint32 last = 0;
    for (qint64 pos = d.indexOf(kMagic); pos >= 0 && pos + 40 <= d.size();) {
        const quint32 t = qFromLittleEndian<quint32>(d.constData() + pos + 4);
        if (!any || t != last)
            index[t] = pos;
        any = true;
        last = t;
        pos = d.indexOf(kMagic, int(pos + 40 + qFromLittleEndian<quint16>(d.constData() + pos + 38)));
    }
    return index;
}

// Four blocks in order, then the clock set back an hour for a while.
static LogBuilder clockSetBack(quint32 t0)
{
    LogBuilder b;
    for (int i = 0; i < 300; ++i)
        b.add(t0 + quint32(i / 4) - (i >= 120 && i < 200 ? 3600 : 0), "/back" + QByteArray::number(i));
    return b;
}

static int summaryCount(const CLog &log)
{
    int n = 0;
    for (int b = 0; b < log.blockCount(); ++b)
        n += log.blockSummary(b) ? 1 : 0;
    return n;
}

// Reads the log at `p` twice, the second time with a newer time, which is
// written again: the file that second write replaces becomes the spare.
static void readWithSpare(CLog &log, const QString &p)
{
    log.readLog(p);
    setModified(p, QDateTime::currentDateTime().addSecs(-50));
    log.readLog(p);
}

const quint32 kT0 = 1780000000;

// Five records, one a second, of 80 bytes of payload each.
static LogBuilder firstLog()
{
    LogBuilder b;
    for (int i = 0; i < 5; ++i)
        b.add(kT0 + quint32(i), QByteArray(80, 'a'));
    return b;
}

// A log whose record starts and times at the first log's first and last
// index entries are the same, with other records between: six short ones
// where the first log has three, then three in the last second.
static LogBuilder otherLog()
{
    LogBuilder b;
    b.add(kT0, QByteArray(80, 'b'));
    for (int i = 0; i < 6; ++i)
        b.add(kT0 + 1, QByteArray(20, 'c'));
    for (int i = 0; i < 3; ++i)
        b.add(kT0 + 4, QByteArray(80, 'd'));
    return b;
}

// Forty blocks of four records; every seventh block holds a time come back
// from five seconds before, so the companion has blocks of earlier times.
static LogBuilder sampleLog()
{
    LogBuilder b;
    for (int s = 0; s < 40; ++s) {
        for (int r = 0; r < 4; ++r)
            b.add(kT0 + quint32(2 * s), "/var/log/" + QByteArray::number(4 * s + r));
        if (s % 7 == 3)
            b.add(kT0 + quint32(2 * s) - 5, "/etc/shadow");
    }
    return b;
}

// The byte of the companion `aux` that `place` names in the section of
// `type` (0: the file's own places); -1 when there is none.
static int damagedByte(const QByteArray &aux, quint32 type, const QString &place)
{
    if (type == 0)
        return place == QLatin1String("last byte") ? aux.size() - 1 : place == QLatin1String("version") ? 5 : -1;
    // Each section: type (4), length (8), the index's tie (24), the check
    // (8), payload; the last byte of a field is flipped.
    for (int at = 8; at + 12 <= aux.size();) {
        const int end = at + 12 + int(qFromBigEndian<quint64>(aux.constData() + at + 4));
        if (qFromBigEndian<quint32>(aux.constData() + at) == type) {
            const QMap<QString, int> places{{"type", at + 3},           {"length", at + 11},
                                            {"tie", at + 35},           {"check", at + 43},
                                            {"payload's first", at + 44}, {"payload's last", end - 1}};
            return places.value(place, -1);
        }
        at = end;
    }
    return -1;
}

// `aux` with a second section of `type` (that of the block times) right
// after the first, whole and checked, saying no block holds earlier times.
static QByteArray withTimesAgain(const QByteArray &aux, quint32 type)
{
    for (int at = 8; at + 12 <= aux.size();) {
        const int end = at + 12 + int(qFromBigEndian<quint64>(aux.constData() + at + 4));
        if (qFromBigEndian<quint32>(aux.constData() + at) == type) {
            // Head (44 bytes) and payload: flags, the last block's records
            // and a count of no blocks.
            char section[44 + 16];
            std::memcpy(section, aux.constData() + at, sizeof section);
            qToBigEndian<quint32>(0, section + 44 + 12);
            qToBigEndian<quint64>(quint64(24 + 8 + 16), section + 4);
            companion::IndexHash check;
            check.add(section, 4);
            check.add(section + 12, 24);
            check.add(section + 44, 16);
            qToBigEndian<quint64>(check.value(), section + 36);
            return aux.left(end) + QByteArray(section, int(sizeof section)) + aux.mid(end);
        }
        at = end;
    }
    return QByteArray();
}

// What a reader tells of the log: its count, each block's summary (empty
// where it has none) and the texts of a span.
struct Told
{
    int records = 0;
    QVector<QByteArray> summaries;
    QStringList span;
};

static Told tell(const CLog &log)
{
    Told told;
    told.records = log.recordCount();
    for (int b = 0; b < log.blockCount(); ++b) {
        QByteArray stored;
        if (const BlockSummary *s = log.blockSummary(b)) {
            stored.resize(BlockSummary::kStoredSize);
            s->store(stored.data());
        }
        told.summaries.append(stored);
    }
    const TimeSpan span{kT0 + 20, kT0 + 40};
    int from = 0, to = 0;
    log.blocksFor(span, &from, &to);
    log.forEachBlock(from, to, [&told](int, const QStringList &t) { return (told.span += t), true; }, span);
    return told;
}

static void readWhole(const CLog &log)
{
    log.forEachBlockUtf8(0, log.blockCount() - 1, [](int, const QByteArray &) { return true; });
}

// Writes the sample log at `p`, aged so that its index is trusted, and
// reads it: `truth` gets what a reader without summaries tells, with the
// summaries of a reader that read it whole (every block's but the last).
static bool writeSample(const QString &p, Told *truth)
{
    if (!sampleLog().save(p) || !setModified(p, QDateTime::currentDateTime().addSecs(-600)))
        return false;
    CLog first;
    first.setSummariesUsed(false);
    first.readLog(p);
    *truth = tell(first);
    CLog summarised;
    summarised.readLog(p);
    readWhole(summarised);
    truth->summaries = tell(summarised).summaries;
    return truth->records == 40 * 4 + 6 && truth->summaries.count(QByteArray()) == 1;
}

class TestLogIndex : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString path(const QString &name) const { return m_dir.filePath(name); }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid() && useOwnDocuments(m_dir)); }
    void init() { QVERIFY(clearIndexFolder()); }

    void reopenOfAnUnchangedLog_data()
    {
        // `setup`: how the index file came to be before the reopen.
        // `resumed`: the reopen scans from the last block, not in full.
        // `rewritten`: the reopen writes the index file again.
        QTest::addColumn<QString>("setup");
        QTest::addColumn<bool>("ordered");
        QTest::addColumn<bool>("resumed");
        QTest::addColumn<bool>("rewritten");
        for (const bool ordered : {true, false}) {
            const char *log = ordered ? "in order" : "clock set back";
            QTest::addRow("%s, same reader", log) << "same" << ordered << true << false;
            QTest::addRow("%s, fresh reader", log) << "fresh" << ordered << true << false;
            QTest::addRow("%s, after a cancelled read", log) << "cancelled" << ordered << true << false;
            QTest::addRow("%s, previous release's layout", log) << "legacy" << ordered << true << true;
            QTest::addRow("%s, companion of another index", log) << "foreign companion" << ordered << true << false;
            QTest::addRow("%s, index newer than the log", log) << "newer" << ordered << false << true;
        }
        QTest::addRow("in order, format alone") << "format" << true << true << false;
        QTest::addRow("in order, format alone, log grown") << "format grown" << true << false << true;
    }

    void reopenOfAnUnchangedLog()
    {
        // Whatever made the index, the reopen ends with what a full scan
        // finds; an index that fits is gone on from its last block, which
        // reads a small part of the log, and is not written again.
        QFETCH(QString, setup);
        QFETCH(bool, ordered);
        QFETCH(bool, resumed);
        QFETCH(bool, rewritten);
        const QString p = path("reopen.mlog");
        const QString index = CLog::indexFilePath(p);
        QByteArray bytes;
        if (ordered) {
            QVERIFY(generateLog(p, generated(200000, 21)));
            bytes = fileBytes(p);
        } else {
            bytes = clockSetBack(1800020000).data;
        }
        const qint64 grownBy = setup == "format grown" ? bytes.size() / 10 : 0;
        QVERIFY(writeBytes(p, bytes.left(int(bytes.size() - grownBy))));
        const QDateTime modified = QDateTime::currentDateTime().addSecs(-100);
        QVERIFY(setModified(p, modified));
        const NaiveScan naive(bytes);
        CLog first;
        if (setup == "cancelled") {
            readCancelledPast(first, p, bytes.size() / 2);
            QVERIFY(first.isCancelled());
            first.readLog(p); // goes on from where the cancel stopped
            QVERIFY(!first.isCancelled());
        } else if (setup.startsWith("format")) {
            QVERIFY(writeBytes(index, plainIndexBytes(modified, naive.records.size() - 0, NaiveScan(bytes.left(int(bytes.size() - grownBy))).index)));
            QVERIFY(!QFile::exists(index + ".aux"));
            if (grownBy > 0)
                QVERIFY(writeBytes(p, bytes) && setModified(p, modified.addSecs(10)));
        } else {
            first.readLog(p);
        }
        if (setup == "legacy") {
            QList<QPair<quint32, qint64>> early;
            quint32 lastBlock = 0;
            for (auto it = naive.index.cbegin(); it != naive.index.cend(); ++it) {
                const qint64 end = std::next(it) == naive.index.cend() ? bytes.size() : std::next(it).value();
                quint32 low = it.key();
                int records = 0;
                for (qint64 pos = it.value(); pos < end; pos += 40 + qFromLittleEndian<quint16>(bytes.constData() + pos + 38)) {
                    low = std::min(low, qFromLittleEndian<quint32>(bytes.constData() + pos + 4));
                    ++records;
                }
                if (low < it.key())
                    early << qMakePair(low, it.value());
                lastBlock = quint32(records);
            }
            QVERIFY(QFile::remove(index + ".aux"));
            QVERIFY(writeBytes(index, indexFileBytes(modified, naive.records.size(), naive.index, early, lastBlock)));
        } else if (setup == "foreign companion") {
            // Another log of the name with three more records in its last
            // block: its companion, taken for this index, would count them.
            const QString other = path("other.mlog");
            const qint64 last = naive.index.last();
            const QByteArray lastRecord = bytes.mid(int(last), int(40 + qFromLittleEndian<quint16>(bytes.constData() + last + 38)));
            QVERIFY(writeBytes(other, bytes + lastRecord + lastRecord + lastRecord) && setModified(other, modified));
            CLog().readLog(other);
            QVERIFY(QFile::remove(index + ".aux") && QFile::copy(CLog::indexFilePath(other) + ".aux", index + ".aux"));
        } else if (setup == "newer") {
            QVERIFY(setModified(p, modified.addSecs(-10)));
        }
        const QByteArray before = stampOf(index);

        CLog fresh;
        CLog &log = setup == "same" || setup == "cancelled" ? first : fresh;
        QSignalSpy progress(&log, &CLog::valueChanged);
        const qint64 read = bytesRead();
        log.readLog(p);
        const qint64 readBytes = bytesRead() - read;
        QVERIFY(!log.isCancelled() && !log.isChanged(p));
        QCOMPARE(log.timeIndex(), naive.index);
        QCOMPARE(log.recordCount(), naive.records.size());
        QCOMPARE(log.firstDate(), QDateTime::fromSecsSinceEpoch(naive.index.firstKey()));
        QCOMPARE(log.lastDate(), QDateTime::fromSecsSinceEpoch(naive.index.lastKey()));
        QCOMPARE(progress.value(0).value(0).toLongLong(), resumed ? naive.index.last() : 0);
        if (ordered && resumed)
            QVERIFY2(readBytes <= bytes.size() / 20, qPrintable(QStringLiteral("%1 of %2 bytes").arg(readBytes).arg(bytes.size())));
        QCOMPARE(stampOf(index) != before, rewritten);
        // The companion now beside the index is its own.
        QVERIFY(QFile::exists(index + ".aux"));

        // A span is read as a full scan's index has it, and once more the
        // unchanged log costs no write.
        const quint32 middle = naive.index.keys().at(naive.index.size() / 2);
        for (const TimeSpan &span : {TimeSpan{middle - 3600, middle}, TimeSpan{middle, middle + 5}}) {
            int from = 0, to = 0;
            log.blocksFor(span, &from, &to);
            QStringList texts;
            log.forEachBlock(from, to, [&texts](int, const QStringList &t) { return (texts += t), true; }, span);
            QCOMPARE(texts, naive.textsBetween(span.from, span.to));
        }
        QVERIFY(!log.isIndexStale());
        const QByteArray after = stampOf(index) + stampOf(index + ".aux");
        CLog again;
        again.readLog(p);
        QCOMPARE(again.recordCount(), naive.records.size());
        QCOMPARE(again.timeIndex(), naive.index);
        QCOMPARE(stampOf(index) + stampOf(index + ".aux"), after);
    }

    void formatRuleIndexOfTimesGoingBackIsFoundStale()
    {
        // The format's rule files a time that comes back at its later run:
        // the record of the earlier run lies in a block of another time. A
        // span of that time still reads that block, finds the index wrong,
        // and the next read heals it.
        const quint32 t0 = 1800021000;
        LogBuilder b;
        for (quint32 dt : {0, 0, 10, 5, 10, 10, 11})
            b.add(t0 + dt, "/g" + QByteArray::number(b.offsets.size()));
        const QString p = path("formatrule.mlog");
        const QDateTime modified = QDateTime::currentDateTime().addSecs(-100);
        QVERIFY(b.save(p) && setModified(p, modified));
        const Index rule = formatRuleIndex(b.data);
        QCOMPARE(rule, (Index{{t0, 0}, {t0 + 5, b.offsets[3]}, {t0 + 10, b.offsets[4]}, {t0 + 11, b.offsets[6]}}));
        QVERIFY(writeBytes(CLog::indexFilePath(p), plainIndexBytes(modified, 7, rule)));
        CLog log;
        log.readLog(p);
        QCOMPARE(log.timeIndex(), rule);
        const TimeSpan span{t0 + 10, t0 + 10};
        int from = 0, to = 0;
        log.blocksFor(span, &from, &to);
        QCOMPARE(from, 0);
        log.forEachBlock(from, to, [](int, const QStringList &) { return true; }, span);
        QVERIFY(log.isIndexStale());
        log.readLog(p);
        const NaiveScan naive(b.data);
        QCOMPARE(log.timeIndex(), naive.index);
        QCOMPARE(log.recordCount(), 7);
        log.blocksFor(span, &from, &to);
        QStringList texts;
        log.forEachBlock(from, to, [&texts](int, const QStringList &t) { return (texts += t), true; }, span);
        QCOMPARE(texts, naive.textsBetween(t0 + 10, t0 + 10));
    }

    void indexFilesReadByTheFormat_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("how");
        const QByteArray back = clockSetBack(1800022000).data;
        MlogGeneratorOptions o = generated(30000, 7);
        o.garbageRate = 0.01;
        o.garbageMagic = true;
        QVERIFY(generateLog(path("format.mlog"), o));
        const QByteArray ordered = fileBytes(path("format.mlog"));
        for (const char *how : {"full", "grown", "cancelled"}) {
            QTest::addRow("in order, %s", how) << ordered << QString(how);
            QTest::addRow("clock set back, %s", how) << back << QString(how);
        }
    }

    void indexFilesReadByTheFormat()
    {
        // Every index file the viewer writes reads whole by the format: its
        // header, then ascending keys, each at a record start of that time.
        QFETCH(QByteArray, bytes);
        QFETCH(QString, how);
        const QString p = path("byformat.mlog");
        const NaiveScan naive(bytes);
        const qint64 kept = how == "full" ? bytes.size() : bytes.size() / 2;
        QVERIFY(writeBytes(p, bytes.left(int(kept))) && setModified(p, QDateTime::currentDateTime().addSecs(-100)));
        CLog log;
        if (how != "full") {
            log.readLog(p);
            QVERIFY(appendBytes(p, bytes.mid(int(kept))) && setModified(p, QDateTime::currentDateTime().addSecs(-50)));
        }
        readCancelledPast(log, p, how == "cancelled" ? kept + 100 : bytes.size());
        QCOMPARE(log.isCancelled(), how == "cancelled");
        const PlainIndex read = readPlainIndex(fileBytes(CLog::indexFilePath(p)));
        QVERIFY(read.ok);
        QVERIFY(read.pairs.size() >= 2);
        for (int i = 0; i < read.pairs.size(); ++i) {
            const auto &pair = read.pairs.at(i);
            QVERIFY(i == 0 || read.pairs.at(i - 1).first < pair.first);
            QVERIFY(CLog::isRecordStart(pair.second, p));
            QCOMPARE(CLog::recordDate(pair.second, p), QDateTime::fromSecsSinceEpoch(pair.first));
            QCOMPARE(naive.index.value(pair.first, -1), pair.second);
        }
        if (how == "cancelled") {
            QVERIFY(read.count > 0 && read.count < naive.records.size());
        } else {
            QCOMPARE(read.count, naive.records.size());
            QCOMPARE(read.index, naive.index);
            QCOMPARE(read.time, QFileInfo(p).lastModified());
        }
    }

    void indexWritesNeverReachOtherNames_data()
    {
        QTest::addColumn<QString>("linked"); // the file given a second name
        QTest::newRow("index file") << QString(".index");
        QTest::newRow("spare") << QString(".index.spare");
    }

    void indexWritesNeverReachOtherNames()
    {
        // A backup made of hard links (cp -al) shares the index folder's
        // files: whatever is written later, the backup keeps its contents.
        QFETCH(QString, linked);
        const QString p = path("linked.mlog");
        const QString index = CLog::indexFilePath(p);
        LogBuilder b = twoBlocks(1800011000);
        QVERIFY(b.save(p));
        CLog log;
        readWithSpare(log, p);
        const QString name = index.left(index.size() - 6) + linked;
        const QString backup = path("backup" + linked);
        QVERIFY(QFile::exists(name));
        QCOMPARE(::link(QFile::encodeName(name).constData(), QFile::encodeName(backup).constData()), 0);
        const QByteArray kept = fileBytes(backup);
        for (int round = 0; round < 3; ++round) {
            const qint64 before = b.data.size();
            b.add(1800011002 + quint32(round), "/grown" + QByteArray::number(round));
            QVERIFY(b.append(p, before) && setModified(p, QDateTime::currentDateTime().addSecs(round + 1)));
            log.readLog(p);
            QCOMPARE(fileBytes(backup), kept);
        }
        CLog fresh;
        QVERIFY(setModified(p, QDateTime::currentDateTime().addSecs(10)));
        fresh.readLog(p);
        QCOMPARE(fresh.timeIndex(), NaiveScan(b.data).index);
        QCOMPARE(fresh.recordCount(), 7);
    }

    void indexWriteNeverLeavesAPartialFile()
    {
        // Under a file-size limit the new index cannot be written whole: the
        // previous one stays as it was, whether the write went to the spare
        // or to a new file, and nothing else is left beside it.
        const QString p = path("limited.mlog");
        const QString index = CLog::indexFilePath(p);
        LogBuilder small;
        small.add(1800010000);
        QVERIFY(small.save(p));
        CLog log;
        readWithSpare(log, p);
        const QByteArray before = fileBytes(index);
        QVERIFY(!before.isEmpty() && QFile::exists(index + ".spare"));

        MlogGeneratorOptions o = generated(30000, 1);
        o.recordsPerSecond = 2;
        QVERIFY(generateLog(p, o));
        for (const bool spare : {true, false}) {
            QVERIFY(spare || QFile::remove(index + ".spare"));
            rlimit old{};
            QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
            const rlimit limited{8192, old.rlim_max};
            const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
            QCOMPARE(setrlimit(RLIMIT_FSIZE, &limited), 0);
            log.readLog(p);
            QCOMPARE(setrlimit(RLIMIT_FSIZE, &old), 0);
            std::signal(SIGXFSZ, oldHandler);
            QVERIFY(log.blockCount() > 1000);
            QCOMPARE(fileBytes(index), before);
            const QStringList names{"limited-mlog.index", "limited-mlog.index.aux", "limited-mlog.index.spare"};
            QCOMPARE(QDir(QFileInfo(index).path()).entryList(QDir::Files | QDir::Hidden), names.mid(0, spare ? 3 : 2));
        }
    }

    // A block whose records do not start, or end, where the index says gives
    // nothing of its own, however it is read; the index is then stale, its
    // file gone, and the next read of the log heals it.
    void blockFoundUnsoundWhenRead_data()
    {
        QTest::addColumn<quint32>("key");     // the entry moved
        QTest::addColumn<int>("record");      // to the start of this record
        QTest::addColumn<int>("shift");       // and this many bytes further
        QTest::addColumn<int>("unsound");     // the block first found wrong
        QTest::addColumn<QString>("reading");
        for (const char *reading : {"readBlock", "forEachBlock", "forEachBlockUtf8", "countBlockTexts"}) {
            QTest::addRow("next block starts inside this one, %s", reading) << 1800004010u << 4 << 0 << 0 << reading;
            QTest::addRow("next block one byte off, %s", reading) << 1800004020u << 5 << 1 << 1 << reading;
        }
    }

    void blockFoundUnsoundWhenRead()
    {
        QFETCH(quint32, key);
        QFETCH(int, record);
        QFETCH(int, shift);
        QFETCH(int, unsound);
        QFETCH(QString, reading);
        // Blocks at t0, +10, +20 and +30 (records 0, 3, 5 and 7).
        LogBuilder b;
        for (quint32 dt : {0, 0, 0, 10, 10, 20, 20, 30})
            b.add(1800004000 + dt, "/r" + QByteArray::number(b.offsets.size()));
        const NaiveScan naive(b.data);
        Index index = naive.index;
        index[key] = b.offsets[record] + shift;
        const QString p = path("unsound.mlog");
        QVERIFY(b.save(p) && setModified(p, QDateTime::fromSecsSinceEpoch(1700000060)));
        QVERIFY(writeBytes(CLog::indexFilePath(p), indexFileBytes(QDateTime::fromSecsSinceEpoch(1700000000), 8, index, {}, 1)));
        CLog log;
        log.readLog(p);
        QCOMPARE(log.timeIndex(), index);
        QVERIFY(!log.isIndexStale());
        int shown = -1;
        if (reading == QLatin1String("readBlock"))
            shown = log.readBlock(unsound).size();
        else if (reading == QLatin1String("forEachBlock"))
            log.forEachBlock(unsound, unsound, [&shown](int, const QStringList &texts) { return (shown = texts.size()) >= 0; });
        else if (reading == QLatin1String("forEachBlockUtf8"))
            log.forEachBlockUtf8(unsound, unsound, [&shown](int, const QByteArray &texts) { return (shown = texts.count('\0')) >= 0; });
        else
            log.countBlockTexts(unsound, unsound, [&shown](int, int count) { return (shown = count) >= 0; });
        QCOMPARE(shown, 0);
        QVERIFY(log.isIndexStale() && log.isChanged(p));
        QVERIFY(!QFile::exists(CLog::indexFilePath(p)));
        log.readLog(p);
        QVERIFY(!log.isIndexStale());
        QCOMPARE(log.timeIndex(), naive.index);
        for (int k = 0; k < log.blockCount(); ++k)
            QCOMPARE(log.readBlock(k), naive.textsByTime.value(naive.index.keys().at(k)));
    }

    // The block summaries of a reopened log are left unread in the companion
    // file until a summary is asked for, and never taken from a companion
    // that has changed since the index was loaded. `kept`: the reopened
    // reader still has them.
    void summariesOfAReopenedLog_data()
    {
        QTest::addColumn<QString>("change"); // to the companion, after the reopen
        QTest::addColumn<bool>("kept");
        QTest::newRow("none") << "none" << true;
        QTest::newRow("removed") << "removed" << false;
        QTest::newRow("cut short") << "cut" << false;
        QTest::newRow("written for a log of the same name elsewhere") << "other log" << false;
    }

    void summariesOfAReopenedLog()
    {
        QFETCH(QString, change);
        QFETCH(bool, kept);
        QDir().mkpath(path("a"));
        QDir().mkpath(path("b"));
        const QString p = path("a/x.mlog");
        // A few records a second: many blocks, so that the summaries far
        // outweigh what the reopen reads of the log.
        MlogGeneratorOptions o = generated(20000, 31);
        o.recordsPerSecond = 5;
        QVERIFY(generateLog(p, o));
        const QString index = CLog::indexFilePath(p);
        const QString aux = index + ".aux";
        const auto summarize = [](CLog &log) {
            log.forEachBlockUtf8(0, log.blockCount() - 1, [](int, const QByteArray &) { return true; });
        };
        {
            CLog first;
            first.readLog(p);
            summarize(first);
            QCOMPARE(summaryCount(first), first.blockCount() - 1);
        }
        const qint64 indexSize = QFileInfo(index).size();
        const qint64 auxSize = QFileInfo(aux).size();
        // The summaries are most of the companion, which is larger than the index.
        QVERIFY2(auxSize > 4 * indexSize, qPrintable(QStringLiteral("%1 %2").arg(auxSize).arg(indexSize)));
        CLog log;
        const qint64 before = bytesRead();
        log.readLog(p);
        const qint64 read = bytesRead() - before;
        QVERIFY2(read < indexSize + auxSize / 4, qPrintable(QStringLiteral("%1 bytes").arg(read)));
        QVERIFY(!log.isIndexStale() && log.blockCount() > 2);
        if (change == "removed") {
            QVERIFY(QFile::remove(aux));
        } else if (change == "cut") {
            QVERIFY(QFile::resize(aux, auxSize - 100));
        } else if (change == "other log") {
            // The same name in another folder shares the index file. This
            // log has the same records but for their users: the same blocks
            // at the same offsets, and other summaries.
            QByteArray bytes = fileBytes(p);
            for (int pos = 0; pos + 40 <= bytes.size(); pos += 40 + qFromLittleEndian<quint16>(bytes.constData() + pos + 38))
                qToLittleEndian<quint32>(qFromLittleEndian<quint32>(bytes.constData() + pos + 16) + 1, bytes.data() + pos + 16);
            const QString q = path("b/x.mlog");
            QVERIFY(writeBytes(q, bytes));
            CLog other;
            other.readLog(q);
            QCOMPARE(other.timeIndex(), log.timeIndex());
            summarize(other);
            QCOMPARE(summaryCount(other), other.blockCount() - 1);
        }
        QCOMPARE(summaryCount(log), kept ? log.blockCount() - 1 : 0);
        // Every summary taken is the one the block gives when read.
        CLog scanned;
        QVERIFY(QFile::remove(index));
        scanned.readLog(p);
        summarize(scanned);
        QCOMPARE(scanned.timeIndex(), log.timeIndex());
        for (int b = 0; b < log.blockCount(); ++b) {
            const BlockSummary *s = log.blockSummary(b);
            if (!s)
                continue;
            QVERIFY(scanned.blockSummary(b));
            char mine[BlockSummary::kStoredSize];
            char theirs[BlockSummary::kStoredSize];
            s->store(mine);
            scanned.blockSummary(b)->store(theirs);
            QVERIFY2(std::equal(mine, mine + sizeof mine, theirs), qPrintable(QString::number(b)));
        }
        QCOMPARE(log.recordCount(), scanned.recordCount());
    }

    // Logs of one name in different folders share one index file: the index
    // of one must never be taken for the other's, however well its ends fit.
    // `other`: the second log is another file ("copy": its own bytes; "link":
    // a hard link to the first, the same file); `later`: seconds its time
    // is after the first's (0: the same time, as if unchanged); `sameReader`:
    // one CLog reads both.
    void otherLogOfTheSameName_data()
    {
        QTest::addColumn<QString>("other");
        QTest::addColumn<int>("later");
        QTest::addColumn<bool>("sameReader");
        QTest::addColumn<int>("records");
        for (const bool same : {false, true}) {
            const char *reader = same ? "same reader" : "fresh reader";
            QTest::addRow("other log, grown, %s", reader) << "copy" << 60 << same << 10;
            QTest::addRow("other log, unchanged, %s", reader) << "copy" << 0 << same << 10;
            QTest::addRow("hard link, %s", reader) << "link" << 0 << same << 5;
        }
    }

    void otherLogOfTheSameName()
    {
        QFETCH(QString, other);
        QFETCH(int, later);
        QFETCH(bool, sameReader);
        QFETCH(int, records);
        QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("a")) && QDir(m_dir.path()).mkpath(QStringLiteral("b")));
        const QString first = m_dir.filePath(QStringLiteral("a/kernel.mlog"));
        const QString second = m_dir.filePath(QStringLiteral("b/kernel.mlog"));
        QFile::remove(first);
        QFile::remove(second);
        QVERIFY(firstLog().save(first));
        const QDateTime modified = QDateTime::currentDateTime().addSecs(-600);
        QVERIFY(setModified(first, modified));
        CLog reader;
        reader.readLog(first);
        QCOMPARE(reader.recordCount(), 5);
        QVERIFY(QFile::exists(CLog::indexFilePath(second)));

        if (other == QLatin1String("link"))
            QCOMPARE(::link(QFile::encodeName(first).constData(), QFile::encodeName(second).constData()), 0);
        else
            QVERIFY(otherLog().save(second));
        if (other != QLatin1String("link"))
            QVERIFY(setModified(second, modified.addSecs(later)));
        CLog fresh;
        CLog &log = sameReader ? reader : fresh;
        log.readLog(second);
        QCOMPARE(log.recordCount(), records);
        QCOMPARE(log.blockCount(), other == QLatin1String("link") ? 5 : 3);
        // And back: the first log is read as its own again.
        CLog again;
        again.readLog(first);
        QCOMPARE(again.recordCount(), 5);
    }

    // A companion file damaged anywhere, or cut short, is never believed:
    // the reader counts, summarises and spans the log as it is, and the next
    // read writes the companion again as it was.
    // `section`: the section damaged (0: the file as a whole); `place`:
    // the byte flipped, or "cut" for the file one byte short.
    void damagedCompanion_data()
    {
        QTest::addColumn<quint32>("section");
        QTest::addColumn<QString>("place");
        QTest::newRow("undamaged") << 0u << "none";
        const QMap<quint32, const char *> sections{{companion::BlockTimes, "block times"},
                                                   {companion::BlockSummaries, "summaries"},
                                                   {companion::LogFile, "log file"}};
        for (auto it = sections.cbegin(); it != sections.cend(); ++it) {
            for (const char *place : {"type", "length", "tie", "check", "payload's first", "payload's last"})
                QTest::addRow("%s: %s", it.value(), place) << it.key() << place;
        }
        QTest::newRow("file's last byte") << 0u << "last byte";
        QTest::newRow("another version") << 0u << "version";
        QTest::newRow("cut by one byte") << 0u << "cut";
        // A type come twice: each section checks out, the file does not.
        QTest::newRow("block times twice") << quint32(companion::BlockTimes) << "twice";
    }

    void damagedCompanion()
    {
        QFETCH(quint32, section);
        QFETCH(QString, place);
        const QString p = m_dir.filePath(QStringLiteral("x.mlog"));
        const QString aux = CLog::indexFilePath(p) + QStringLiteral(".aux");
        Told truth;
        QVERIFY(writeSample(p, &truth));
        const QByteArray original = fileBytes(aux);
        QByteArray damaged = original;
        if (place == QLatin1String("cut")) {
            damaged.chop(1);
        } else if (place == QLatin1String("twice")) {
            damaged = withTimesAgain(original, section);
            QVERIFY(!damaged.isEmpty());
        } else if (place != QLatin1String("none")) {
            const int at = damagedByte(original, section, place);
            QVERIFY(at >= 0);
            damaged[at] = char(damaged.at(at) ^ 0x01);
        }
        QVERIFY(writeBytes(aux, damaged));

        CLog log;
        log.readLog(p);
        const Told told = tell(log);
        QCOMPARE(told.records, truth.records);
        QCOMPARE(told.span, truth.span);
        for (int b = 0; b < told.summaries.size(); ++b) {
            if (!told.summaries.at(b).isEmpty())
                QCOMPARE(told.summaries.at(b), truth.summaries.at(b));
        }
        if (place == QLatin1String("none"))
            QCOMPARE(told.summaries, truth.summaries);
        // Healed: once the blocks are read again, the companion is as it was.
        readWhole(log);
        QCOMPARE(fileBytes(aux), original);
    }

    // A companion written before the summaries held path words: its
    // summaries are read as they were, and stay as they are.
    void olderSummariesAreRead()
    {
        const QString p = m_dir.filePath(QStringLiteral("x.mlog"));
        const QString aux = CLog::indexFilePath(p) + QStringLiteral(".aux");
        Told truth;
        QVERIFY(writeSample(p, &truth));
        // The summaries section again, each summary without its share of
        // path words, under a check made anew.
        QByteArray older = fileBytes(aux);
        const int at = damagedByte(older, companion::BlockSummaries, QStringLiteral("type")) - 3;
        QVERIFY(at > 0);
        const qint64 length = qFromBigEndian<qint64>(older.constData() + at + 4);
        const QByteArray payload = older.mid(at + 44, int(length) - 32);
        const quint32 count = qFromBigEndian<quint32>(payload.constData());
        QCOMPARE(payload.size(), 4 + int(count) * BlockSummary::kStoredSize);
        QByteArray shorter = payload.left(4);
        for (quint32 i = 0; i < count; ++i)
            shorter += payload.mid(4 + int(i) * BlockSummary::kStoredSize, BlockSummary::kStoredSizeWithoutPaths);
        companion::IndexHash check;
        check.add(older.constData() + at, 4);
        check.add(older.constData() + at + 12, 24);
        check.add(shorter.constData(), shorter.size());
        older.replace(at + 44, payload.size(), shorter);
        qToBigEndian<qint64>(32 + shorter.size(), older.data() + at + 4);
        qToBigEndian<quint64>(check.value(), older.data() + at + 36);
        QVERIFY(writeBytes(aux, older));

        CLog log;
        log.readLog(p);
        const Told told = tell(log);
        QCOMPARE(told.records, truth.records);
        QCOMPARE(told.span, truth.span);
        QCOMPARE(told.summaries, truth.summaries);
        readWhole(log);
        QCOMPARE(fileBytes(aux), older);
    }
};

QTEST_GUILESS_MAIN(TestLogIndex)
#include "tst_logindex.moc"
