// The block summaries of a reopened log: left unread in the companion file
// until a summary is asked for, and never taken from a companion that has
// changed since the index was loaded.
#include "logbuilder.h"

#include <QtTest>

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

static int summaryCount(const CLog &log)
{
    int n = 0;
    for (int b = 0; b < log.blockCount(); ++b)
        n += log.blockSummary(b) ? 1 : 0;
    return n;
}

class TestSummaryReopen : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString path(const QString &name) const { return m_dir.filePath(name); }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid() && useOwnDocuments(m_dir)); }
    void init() { QVERIFY(clearIndexFolder()); }

    void summariesOfAReopenedLog_data()
    {
        // `change`: what happens to the companion file after the reopen and
        // before the first summary is asked for.
        // `kept`: the reopened reader still has the summaries.
        QTest::addColumn<QString>("change");
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
        {
            CLog first;
            first.readLog(p);
            first.forEachBlockUtf8(0, first.blockCount() - 1, [](int, const QByteArray &) { return true; });
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
            other.forEachBlockUtf8(0, other.blockCount() - 1, [](int, const QByteArray &) { return true; });
            QCOMPARE(summaryCount(other), other.blockCount() - 1);
        }
        QCOMPARE(summaryCount(log), kept ? log.blockCount() - 1 : 0);
        // Every summary taken is the one the block gives when read.
        CLog scanned;
        QVERIFY(QFile::remove(index));
        scanned.readLog(p);
        scanned.forEachBlockUtf8(0, scanned.blockCount() - 1, [](int, const QByteArray &) { return true; });
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
};

QTEST_GUILESS_MAIN(TestSummaryReopen)
#include "tst_summaryreopen.moc"
