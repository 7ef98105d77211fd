// A companion file damaged anywhere, or cut short, is never believed: the
// reader counts, summarises and spans the log as it is, and the next read
// writes the companion again as it was.
#include "logbuilder.h"

#include <QtTest>

namespace {

const quint32 kT0 = 1780000000;

// Forty blocks of four records; every seventh block holds a time come back
// from five seconds before, so the companion has blocks of earlier times.
LogBuilder sampleLog()
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
int damagedByte(const QByteArray &aux, quint32 type, const QString &place)
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

// What a reader tells of the log: its count, each block's summary (empty
// where it has none) and the texts of a span.
struct Told
{
    int records = 0;
    QVector<QByteArray> summaries;
    QStringList span;
};

Told tell(const CLog &log)
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

void readWhole(const CLog &log)
{
    log.forEachBlockUtf8(0, log.blockCount() - 1, [](int, const QByteArray &) { return true; });
}

// Writes the sample log at `p`, aged so that its index is trusted, and
// reads it: `truth` gets what a reader without summaries tells, with the
// summaries of a reader that read it whole (every block's but the last).
bool writeSample(const QString &p, Told *truth)
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

} // namespace

class TestCompanionIntegrity : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid() && useOwnDocuments(m_dir)); }
    void init() { QVERIFY(clearIndexFolder()); }

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

QTEST_GUILESS_MAIN(TestCompanionIntegrity)
#include "tst_companionintegrity.moc"
