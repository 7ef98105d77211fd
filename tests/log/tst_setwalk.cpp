// Walks over logs read as one, where each log's file stays open from one of
// its runs of blocks to the next: every block gives what a read of the block
// by itself gives, also when a file changes between two runs of a walk; a
// log's file is let go after its last run, and none stays open once a walk
// ends, however it ends; the summaries a walk makes are kept.
#include "logbuilder.h"

#include <logset.h>

#include <QtTest>

#include <cstdio>

namespace {

const quint32 T0 = 1780000000; // some time in 2026

// A log of records at T0 plus each number of `seconds` (in file order), the
// n-th with the payload "rec=<letter><n>".
QByteArray logBytes(const QString &seconds, char letter)
{
    QByteArray bytes;
    int n = 0;
    for (const QString &second : seconds.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QByteArray payload = "rec=" + QByteArray(1, letter) + QByteArray::number(n++);
        bytes += encodeRecord(MlogRecord{T0 + second.toUInt(), {4000, 1, 0, 0, 0}, 2, 0, 0, 0, payload});
    }
    return bytes;
}

int openFiles()
{
    const QDir fds(QStringLiteral("/proc/self/fd"));
    return int(fds.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot).size());
}

QStringList textsOf(const QByteArray &utf8)
{
    QStringList texts;
    for (const QByteArray &text : utf8.split('\0')) {
        if (!text.isEmpty())
            texts.append(QString::fromUtf8(text));
    }
    return texts;
}

// What a read of block `block` of the set by itself gives, through its own log.
QStringList readAlone(const LogSet &set, int block)
{
    return set.logAt(set.logOf(block))->readBlock(set.ownBlock(block));
}

struct Walked
{
    QVector<QStringList> texts; // of each block from the walk's first on
    int mostOpen = 0;           // files open at once during the walk, beyond those before it
};

// Walks the set from block `first` to its end; `before(block)` is called
// when the walk reaches each block, and stops it when it returns false.
Walked walk(const LogSet &set, int first, const std::function<bool(int)> &before = {})
{
    Walked w;
    const int open = openFiles();
    int at = first - 1;
    set.forEachPieceUtf8(first, set.blockCount() - 1, [&](const CLog::TextPiece &piece) {
        w.mostOpen = std::max(w.mostOpen, openFiles() - open);
        if (piece.block != at) {
            at = piece.block;
            w.texts.append(QStringList());
            if (before && !before(piece.block))
                return false;
        }
        w.texts.last() += textsOf(piece.texts);
        return true;
    });
    return w;
}

} // namespace

class TestSetWalk : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

    // The logs of `layouts` as "a.mlog", "b.mlog", ... of a new folder.
    QStringList writeSet(const QStringList &layouts)
    {
        static int sets = 0;
        QDir dir(m_dir.path());
        const QString folder = QStringLiteral("set%1").arg(++sets);
        dir.mkpath(folder);
        QStringList paths;
        for (int i = 0; i < layouts.size(); ++i) {
            const char letter = char('a' + i);
            paths.append(dir.filePath(folder + QLatin1Char('/') + QLatin1Char(letter) + QStringLiteral(".mlog")));
            if (!writeBytes(paths.last(), logBytes(layouts[i], letter)))
                return {};
        }
        return paths;
    }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid() && useOwnDocuments(m_dir)); }
    void init() { QVERIFY(clearIndexFolder()); }

    void blocksAsReadAlone_data()
    {
        QTest::addColumn<QStringList>("layouts");
        QTest::addColumn<int>("mostOpen"); // files held open at once by a walk from the first block
        QTest::newRow("interleaved seconds") << QStringList{"0 2 4 6 8", "1 3 5 7 9"} << 2;
        QTest::newRow("one after the other") << QStringList{"0 1", "2 3", "4 5"} << 1;
        QTest::newRow("a run ends at a log's last block") << QStringList{"0 1 2 3", "3 3 4 5"} << 1;
        QTest::newRow("a log's last block between another's runs") << QStringList{"0 4", "1 2 3 5 6"} << 2;
        QTest::newRow("times going back across runs") << QStringList{"0 3 1 4 2 6", "2 5 5 7"} << 2;
        QTest::newRow("three files in bursts") << QStringList{"0 0 1 5 6", "1 2 2 6", "3 4 6 7"} << 3;
    }

    // A walk from any block gives each block's texts as its own read does,
    // holding no more files than the logs whose runs are still to come.
    void blocksAsReadAlone()
    {
        QFETCH(QStringList, layouts);
        QFETCH(int, mostOpen);
        LogSet set;
        QVERIFY(set.readLogs(writeSet(layouts)));
        QVector<QStringList> alone;
        for (int b = 0; b < set.blockCount(); ++b)
            alone.append(readAlone(set, b));
        for (int first = 0; first < set.blockCount(); ++first) {
            const int open = openFiles();
            const Walked w = walk(set, first);
            QCOMPARE(w.texts, alone.mid(first));
            QCOMPARE(openFiles(), open);
            if (first == 0)
                QCOMPARE(w.mostOpen, mostOpen);
        }
        QVERIFY(!set.isIndexStale());
    }

    void fileChangedBetweenRuns_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("newTexts"); // the changed log's later blocks give texts not read before
        QTest::newRow("grown") << "grown" << true;
        QTest::newRow("shrunk") << "shrunk" << false;
        QTest::newRow("written over, same size") << "written over" << true;
        QTest::newRow("replaced") << "replaced" << true;
        QTest::newRow("removed") << "removed" << false;
    }

    // A's file changes between its first and second run: from there on
    // the walk gives what reads of the blocks by themselves give of the file
    // as it is then, as a walk that opened the file anew for every run did.
    void fileChangedBetweenRuns()
    {
        QFETCH(QString, change);
        QFETCH(bool, newTexts);
        const QStringList paths = writeSet({"0 2 4 6 8", "1 3 5 7 9"});
        const QString a = paths.first();
        LogSet set;
        QVERIFY(set.readLogs(paths));
        QCOMPARE(set.logOf(2), set.logOf(0));
        QVector<QStringList> expected;
        for (int b = 0; b < 2; ++b)
            expected.append(readAlone(set, b));
        const QDateTime modified = QFileInfo(a).lastModified();
        const Walked w = walk(set, 0, [&](int block) {
            // Block 1 is b's, read already; a's second run comes next.
            if (block != 1)
                return true;
            if (change == QLatin1String("grown")) {
                QFile file(a);
                if (!file.open(QIODevice::Append) || file.write(logBytes(QStringLiteral("9 9"), 'n')) <= 0)
                    return false;
            } else if (change == QLatin1String("shrunk")) {
                if (!writeBytes(a, logBytes(QStringLiteral("0 2 4"), 'a')))
                    return false;
            } else if (change == QLatin1String("written over")) {
                // As many bytes, other texts: only the time tells.
                QFile file(a);
                if (!file.open(QIODevice::ReadWrite) || file.write(logBytes(QStringLiteral("0 2 4 6 8"), 'z')) <= 0)
                    return false;
                file.close();
                if (!setModified(a, modified.addSecs(1)))
                    return false;
            } else if (change == QLatin1String("replaced")) {
                const QString other = a + QStringLiteral(".new");
                if (!writeBytes(other, logBytes(QStringLiteral("0 2 4 6 8"), 'y'))
                    || ::rename(QFile::encodeName(other).constData(), QFile::encodeName(a).constData()) != 0)
                    return false;
            } else if (!QFile::remove(a)) {
                return false;
            }
            return true;
        });
        for (int b = 2; b < set.blockCount(); ++b)
            expected.append(readAlone(set, b));
        QCOMPARE(w.texts, expected);
        bool changed = false;
        for (int b = 2; b < set.blockCount(); ++b) {
            if (set.logOf(b) == set.logOf(0))
                changed = changed || std::any_of(w.texts[b].begin(), w.texts[b].end(), [](const QString &t) {
                              return !t.contains(QLatin1String("rec=a"));
                          });
        }
        QCOMPARE(changed, newTexts);
    }

    void endedWalk_data()
    {
        QTest::addColumn<int>("stopAt"); // the block the walk is stopped at; -1: not stopped
        QTest::newRow("stopped at the first block") << 0;
        QTest::newRow("stopped in the middle") << 3;
        QTest::newRow("stopped at a log's last block") << 8;
        QTest::newRow("to the end") << -1;
    }

    // However a walk ends, it leaves no file open and the summaries of the
    // blocks it read whole go to the companion files, where a reader of
    // its own finds them.
    void endedWalk()
    {
        QFETCH(int, stopAt);
        const QStringList paths = writeSet({"0 2 4 6 8", "1 3 5 7 9"});
        int read = 0;
        {
            LogSet set;
            QVERIFY(set.readLogs(paths));
            QCOMPARE(set.logOf(8), set.logOf(0));
            const int open = openFiles();
            const Walked w = walk(set, 0, [&](int block) { return block != stopAt; });
            QCOMPARE(openFiles(), open);
            // The block stopped at was read whole before its texts were handed on.
            read = int(w.texts.size());
        }
        // The blocks read, the last block of each log (never summed up) left out.
        LogSet again;
        QVERIFY(again.readLogs(paths));
        for (int b = 0; b < again.blockCount(); ++b) {
            const CLog *log = again.logAt(again.logOf(b));
            if (again.ownBlock(b) + 1 < log->blockCount())
                QCOMPARE(log->blockSummary(again.ownBlock(b)) != nullptr, b < read);
        }
    }
};

QTEST_GUILESS_MAIN(TestSetWalk)
#include "tst_setwalk.moc"
