// A companion file damaged anywhere, or cut short, is never believed: the
// reader counts, summarises and spans the log as it is, and the next read
// writes the companion again as it was.
#include "logbuilder.h"

#include <QtTest>

#include <cstring>

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

// `aux` with a second section of `type` (that of the block times) right
// after the first, whole and checked, saying no block holds earlier times.
QByteArray withTimesAgain(const QByteArray &aux, quint32 type)
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
        // A type come twice: each section checks out, the file does not.
        QTest::newRow("block times twice") << quint32(companion::BlockTimes) << "twice";
    }

    void damagedCompanion()
    {
        QFETCH(quint32, section);
        QFETCH(QString, place);
        const QString p = m_dir.filePath(QStringLiteral("x.mlog"));
        const QString aux = CLog::indexFilePath(p) + QStringLiteral(".aux");
        QVERIFY(sampleLog().save(p));
        QVERIFY(setModified(p, QDateTime::currentDateTime().addSecs(-600)));
        Told truth;
        {
            CLog first;
            first.setSummariesUsed(false);
            first.readLog(p);
            truth = tell(first);
            QCOMPARE(truth.records, 40 * 4 + 6);
            CLog summarised;
            summarised.readLog(p);
            readWhole(summarised);
            truth.summaries = tell(summarised).summaries;
            QCOMPARE(truth.summaries.count(QByteArray()), 1); // the last block's alone
        }
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
};

QTEST_GUILESS_MAIN(TestCompanionIntegrity)
#include "tst_companionintegrity.moc"
