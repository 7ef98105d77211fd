// Several logs read as one result: every intact record of every file once,
// in the order of an independent walk over the written records (blocks by
// the log's rule, merged by second, the older file first); counts of a set
// equal to the sum of its files; the rows of a set's export name their log;
// walks that keep each file open between its runs of blocks.
#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <functional>

#include <unistd.h>

#include "../log/logbuilder.h"
#include "exportreader.h"
#include "logset.h"
#include "resultlog.h"

namespace {

// A file of a set as a list of tokens: a number is a record at T0 plus that
// many seconds; "J" junk bytes between records; "C" a last record cut short;
// "X" no log at all (a folder where the file should be).
struct Written
{
    QString name;
    QStringList ids;       // payload ids of the intact records, in file order
    QVector<quint32> times; // and their times
};

// Writes the file `name` of `layout` into `dir`; ids are "<name's first
// letter><n>".
Written writeLayout(const QDir &dir, const QString &name, const QString &layout)
{
    Written w{name, {}, {}};
    const QString path = dir.filePath(name);
    const QStringList tokens = layout.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (tokens.contains(QStringLiteral("X"))) {
        dir.mkpath(name);
        return w;
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return w;
    int n = 0;
    for (const QString &token : tokens) {
        if (token == QLatin1String("J")) {
            file.write(QByteArray(37, '\x5a'));
            continue;
        }
        const bool cut = token == QLatin1String("C");
        const quint32 second = cut ? 0 : token.toUInt();
        const QString id = name.left(1) + QString::number(n++);
        const QByteArray record = encodeRecord(fileRecord(second, "rec=" + id.toLatin1()));
        if (cut) {
            file.write(record.left(record.size() / 2));
            continue;
        }
        file.write(record);
        w.ids.append(id);
        w.times.append(T0 + second);
    }
    return w;
}

// The ids in the order a set must give them: each file cut into blocks (a
// block starts at a record later than every one before it in its file and
// is keyed by that time), the blocks of all files by key, within a key the
// file whose first record is older first (equal: by name), each file's
// records in their own order; only records whose time lies in [from, to].
QStringList expectedOrder(QVector<Written> files, quint32 from, quint32 to)
{
    files.erase(std::remove_if(files.begin(), files.end(), [](const Written &w) { return w.ids.isEmpty(); }),
                files.end());
    std::stable_sort(files.begin(), files.end(), [](const Written &a, const Written &b) {
        return a.times.first() != b.times.first() ? a.times.first() < b.times.first() : a.name < b.name;
    });
    struct Entry
    {
        quint32 key;
        int file;
        int index;
        QString id;
    };
    QVector<Entry> all;
    for (int f = 0; f < files.size(); ++f) {
        quint32 key = 0;
        for (int i = 0; i < files[f].ids.size(); ++i) {
            if (i == 0 || files[f].times[i] > key)
                key = files[f].times[i];
            if (files[f].times[i] >= from && files[f].times[i] <= to)
                all.append(Entry{key, f, i, files[f].ids[i]});
        }
    }
    std::stable_sort(all.begin(), all.end(), [](const Entry &a, const Entry &b) {
        return a.key != b.key ? a.key < b.key : a.file < b.file;
    });
    QStringList ids;
    for (const Entry &e : all)
        ids.append(e.id);
    return ids;
}

const QRegularExpression &idPattern()
{
    static const QRegularExpression pattern(QStringLiteral("rec=(\\w+)"));
    return pattern;
}

QString idOf(const QString &row)
{
    return idPattern().match(row).captured(1);
}

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

class TestLogSet : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

    void addSets()
    {
        QTest::addColumn<QStringList>("layouts");
        QTest::addColumn<int>("from"); // seconds after T0; -1: no range
        QTest::addColumn<int>("to");
        QTest::newRow("one after the other")
            << QStringList{"10 11 12", "0 1 2 3", "20 21"} << -1 << -1;
        QTest::newRow("overlapping, same seconds")
            << QStringList{"0 0 1 2 2 5", "1 1 2 3 5 5", "2 4 5"} << -1 << -1;
        QTest::newRow("equal first times, by name")
            << QStringList{"3 4 4", "3 3 4"} << -1 << -1;
        QTest::newRow("times going back")
            << QStringList{"0 5 2 3 6 1 7", "2 4 4 6"} << -1 << -1;
        QTest::newRow("times going back, a range")
            << QStringList{"0 5 2 3 6 1 7", "2 4 4 6"} << 2 << 4;
        QTest::newRow("an empty file")
            << QStringList{"0 2 4", "", "1 3"} << -1 << -1;
        QTest::newRow("a damaged file")
            << QStringList{"0 1 J 2 3 C", "1 2 J J 4"} << -1 << -1;
        QTest::newRow("an unreadable file")
            << QStringList{"0 1", "X", "1 2"} << -1 << -1;
        QTest::newRow("a range no file has")
            << QStringList{"0 1", "5 6"} << 2 << 4;
        QTest::newRow("a range at one file's end")
            << QStringList{"0 1 2 3", "3 4 5"} << 3 << 3;
    }

    // The files of `layouts` in a new folder, "a-<n>.mlog", "b-<n>.mlog", ...
    // (index files are kept by file name: each set's are its own).
    QVector<Written> writeSet(const QStringList &layouts, QStringList *paths)
    {
        static int sets = 0;
        QDir dir(m_dir.path());
        const QString folder = QStringLiteral("set%1").arg(++sets);
        dir.mkpath(folder);
        dir.cd(folder);
        QVector<Written> files;
        for (int i = 0; i < layouts.size(); ++i) {
            const QString name = QStringLiteral("%1-%2.mlog").arg(QChar('a' + i)).arg(sets);
            files.append(writeLayout(dir, name, layouts[i]));
            paths->append(dir.filePath(name));
        }
        return files;
    }

    // The logs of `layouts` as "a.mlog", "b.mlog", ... of a new folder.
    QStringList writeWalkSet(const QStringList &layouts)
    {
        static int sets = 0;
        QDir dir(m_dir.path());
        const QString folder = QStringLiteral("walk%1").arg(++sets);
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
    // Index files are kept by file name only: none of an earlier case may
    // pass for the index of a file written anew.
    void init() { QVERIFY(clearIndexFolder()); }

    void order_data() { addSets(); }

    // The rows of the view, of a walk over the whole range and of the
    // time line's buckets all give each expected record once, in order.
    void order()
    {
        QFETCH(QStringList, layouts);
        QFETCH(int, from);
        QFETCH(int, to);
        QStringList paths;
        const QVector<Written> files = writeSet(layouts, &paths);
        LogSet set;
        QStringList unreadable;
        QVERIFY(set.readLogs(paths, &unreadable));
        for (int i = 0; i < layouts.size(); ++i)
            QCOMPARE(unreadable.contains(paths[i]), layouts[i] == QLatin1String("X"));
        const QStringList expected =
            expectedOrder(files, from < 0 ? 0 : T0 + quint32(from), to < 0 ? 0xFFFFFFFFu : T0 + quint32(to));

        CStringListModel model(&set, makeFilter());
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        if (from >= 0)
            model.useRange(QDateTime::fromSecsSinceEpoch(T0 + from), QDateTime::fromSecsSinceEpoch(T0 + to));
        model.runFilter();
        model.scrollMoved(0);
        QCOMPARE(model.rowCount(), expected.size());
        QStringList shown;
        for (int row = 0; row < model.rowCount(); ++row)
            shown.append(idOf(model.index(row, 0).data().toString()));
        QCOMPARE(shown, expected);

        QStringList walked;
        QVERIFY(model.forEachRow([&walked](std::string_view, std::string_view text) {
            walked.append(idOf(QString::fromUtf8(text.data(), int(text.size()))));
        }));
        QCOMPARE(walked, expected);
        // Rows are found where they are shown.
        if (!expected.isEmpty()) {
            const int last = expected.size() - 1;
            QCOMPARE(model.searchForward(QStringLiteral("rec=") + expected.last(), -1), last);
            QCOMPARE(model.searchBackward(QStringLiteral("rec=") + expected.first(), last + 1), 0);
        }
    }

    void sumOfFiles_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::newRow("every record") << QString();
        QTest::newRow("a pattern") << QStringLiteral("rec=[ab][02468]");
    }

    // A set counts what its files count one by one.
    void sumOfFiles()
    {
        QFETCH(QString, pattern);
        QStringList paths;
        writeSet({"0 1 1 2 5 3 6", "1 2 J 2 3 4 C", "", "0 6 7 8"}, &paths);
        int sum = 0;
        for (const QString &path : paths) {
            RunResults one(path, makeFilter(pattern));
            sum += one.model.rowCount();
        }
        LogSet set;
        QVERIFY(set.readLogs(paths));
        CStringListModel model(&set, makeFilter(pattern));
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.runFilter();
        QCOMPARE(model.rowCount(), sum);
        QVERIFY(sum > 0);
    }

    // A block of many pieces in the middle of a set: the rows scrolled to
    // are read again from the piece that holds them, in the right log.
    void largeBlock()
    {
        QStringList paths;
        QDir dir(m_dir.path());
        dir.mkpath(QStringLiteral("large"));
        dir.cd(QStringLiteral("large"));
        const int many = 30000;
        paths << dir.filePath(QStringLiteral("a-large.mlog")) << dir.filePath(QStringLiteral("b-large.mlog"));
        QVERIFY(writeLog(paths[0], many + 2, [](int i) {
            return fileRecord(i == 0 ? 0 : i <= many ? 5 : 9, "rec=a" + QByteArray::number(i));
        }));
        QVERIFY(writeLog(paths[1], 3, [](int i) { return fileRecord(quint32(1 + 4 * i), "rec=b" + QByteArray::number(i)); }));
        LogSet set;
        QVERIFY(set.readLogs(paths));
        CStringListModel model(&set, makeFilter());
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.runFilter();
        QCOMPARE(model.rowCount(), many + 5);
        // a0 (0), b0 (1), a1..a30000 (5), b1 (5), b2 (9)... a's block of
        // second 5 comes before b's: a is the older file.
        const auto idAt = [&model](int row) {
            model.scrollMoved(row);
            return idOf(model.index(row, 0).data().toString());
        };
        QCOMPARE(idAt(2 + many / 2), QStringLiteral("a%1").arg(1 + many / 2));
        QCOMPARE(idAt(2 + many), QStringLiteral("b1"));
        QCOMPARE(idAt(many + 4), QStringLiteral("b2"));
        QCOMPARE(idAt(1), QStringLiteral("b0"));
    }

    // Following a set: records appended to its newest file come as new rows;
    // when that file is rotated away, the moved file stays in the set under
    // its new name and the new file joins, and nothing read leaves it.
    void rotation()
    {
        QStringList paths;
        writeSet({"0 1 2", "3 4"}, &paths);
        LogSet set;
        QVERIFY(set.readLogs(paths));
        CStringListModel model(&set, makeFilter());
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.runFilter();
        QCOMPARE(model.rowCount(), 5);
        QCOMPARE(set.newestLog()->logPath(), paths[1]);
        QVERIFY(!set.takeRotation());

        QFile grown(paths[1]);
        QVERIFY(grown.open(QIODevice::Append));
        grown.write(encodeRecord(fileRecord(5, "rec=b2")));
        grown.close();
        set.readAgain();
        QCOMPARE(int(model.followGrowth()), int(CStringListModel::Growth::Added));
        QCOMPARE(model.rowCount(), 6);

        const QString moved = paths[1] + QStringLiteral(".1");
        QVERIFY(QFile::exists(CLog::indexFilePath(paths[1])));
        QVERIFY(QFile::rename(paths[1], moved));
        QVERIFY(writeLog(paths[1], 2, [](int i) { return fileRecord(quint32(6 + i), "rec=c" + QByteArray::number(i)); }));
        QVERIFY(set.takeRotation());
        QCOMPARE(set.paths(), (QStringList{paths[0], moved, paths[1]}));
        QVERIFY(QFile::exists(CLog::indexFilePath(moved)));
        // The moved file keeps its blocks: the new file's records follow on.
        QCOMPARE(int(model.followGrowth()), int(CStringListModel::Growth::Added));
        model.scrollMoved(0);
        QStringList shown;
        for (int row = 0; row < model.rowCount(); ++row)
            shown.append(idOf(model.index(row, 0).data().toString()));
        QCOMPARE(shown, (QStringList{"a0", "a1", "a2", "b0", "b1", "b2", "c0", "c1"}));
    }

    void newest_data()
    {
        QTest::addColumn<QStringList>("layouts");
        QTest::addColumn<int>("newest"); // the file that grows, by its place in `layouts`
        QTest::newRow("the later last record") << QStringList{"0 3", "1 2"} << 0;
        // A rotated file and the new one under its name, both ending in one
        // second: the new one, later in the merge order, grows.
        QTest::newRow("last records of one second") << QStringList{"0 5", "5"} << 1;
        QTest::newRow("an empty file") << QStringList{"0 1", ""} << 0;
    }

    void newest()
    {
        QFETCH(QStringList, layouts);
        QFETCH(int, newest);
        QStringList paths;
        writeSet(layouts, &paths);
        LogSet set;
        QVERIFY(set.readLogs(paths));
        QCOMPARE(set.newestLog()->logPath(), paths[newest]);
    }

    void emptySpan_data()
    {
        QTest::addColumn<QStringList>("layouts");
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::newRow("between the files") << QStringList{"0 1", "5 6"} << 2 << 4;
        QTest::newRow("between, the older file named last") << QStringList{"5 6", "0 1"} << 2 << 4;
        QTest::newRow("between blocks of overlapping files") << QStringList{"0 1 7", "2 3 8"} << 4 << 6;
        QTest::newRow("after every file") << QStringList{"0 1", "2 3"} << 5 << 6;
    }

    // A span no file has records of begins where the set's blocks after it
    // begin, as the span of a single log does.
    void emptySpan()
    {
        QFETCH(QStringList, layouts);
        QFETCH(int, from);
        QFETCH(int, to);
        QStringList paths;
        writeSet(layouts, &paths);
        LogSet set;
        QVERIFY(set.readLogs(paths));
        int first = -2;
        int last = -2;
        set.blocksFor(TimeSpan{T0 + quint32(from), T0 + quint32(to)}, &first, &last);
        QCOMPARE(first, set.blockForDate(QDateTime::fromSecsSinceEpoch(T0 + from)));
        QCOMPARE(last, first - 1);
    }

    void namedTwice_data()
    {
        QTest::addColumn<QString>("way"); // how the second name reaches the first file
        QTest::newRow("the same path") << QStringLiteral("path");
        QTest::newRow("a symbolic link") << QStringLiteral("link");
        QTest::newRow("a hard link") << QStringLiteral("hard link");
    }

    // A file named twice is one log of the set: its rows come once.
    void namedTwice()
    {
        QFETCH(QString, way);
        QStringList paths;
        writeSet({"0 1 2", "1 3"}, &paths);
        QString again = paths[0];
        if (way != QLatin1String("path")) {
            again = paths[0] + QStringLiteral(".again");
            QVERIFY(way == QLatin1String("link") ? QFile::link(paths[0], again)
                                                 : ::link(QFile::encodeName(paths[0]).constData(),
                                                          QFile::encodeName(again).constData()) == 0);
        }
        LogSet set;
        QVERIFY(set.readLogs({paths[0], paths[1], again}));
        QCOMPARE(set.logCount(), 2);
        CStringListModel model(&set, makeFilter());
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.runFilter();
        QCOMPARE(model.rowCount(), 5);
    }

    void exportNamesLogs_data()
    {
        QTest::addColumn<QString>("format");
        QTest::newRow("csv") << QStringLiteral("csv");
        QTest::newRow("jsonl") << QStringLiteral("jsonl");
    }

    // Each exported row of a set names its file in the field "log".
    void exportNamesLogs()
    {
        QFETCH(QString, format);
        if (!haveExportReader())
            QSKIP("no reader for the exported files");
        QStringList paths;
        writeSet({"0 2 2 4", "1 2 3"}, &paths);
        LogSet set;
        QVERIFY(set.readLogs(paths));
        CStringListModel model(&set, makeFilter());
        model.useFilterRange();
        const QString target = m_dir.filePath(QStringLiteral("set.") + format);
        QVERIFY(model.saveToFile(target, nullptr,
                                 format == QLatin1String("csv") ? ExportFormat::Csv : ExportFormat::JsonLines));
        QString error;
        const QJsonArray rows = readExport(target, format, &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QStringList got;
        for (const QJsonValue &row : rows) {
            const QString id = idOf(row.toObject().value(QStringLiteral("text")).toString());
            QCOMPARE(row.toObject().value(QStringLiteral("log")).toString(), QFileInfo(paths[id.at(0) == 'a' ? 0 : 1]).fileName());
            got.append(id);
        }
        QCOMPARE(got, (QStringList{"a0", "b0", "a1", "a2", "b1", "b2", "a3"}));
    }

    // Walks over the logs of a set, each log's file kept open from one of its
    // runs of blocks to the next: every block gives what a read of the block
    // by itself gives, also when a file changes between two runs of a walk;
    // a log's file is let go after its last run, and none stays open once a
    // walk ends, however it ends; the summaries a walk makes are kept.
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
        QVERIFY(set.readLogs(writeWalkSet(layouts)));
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
        const QStringList paths = writeWalkSet({"0 2 4 6 8", "1 3 5 7 9"});
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
        const QStringList paths = writeWalkSet({"0 2 4 6 8", "1 3 5 7 9"});
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

QTEST_MAIN(TestLogSet)
#include "tst_logset.moc"
