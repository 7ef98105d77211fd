// The results model under a real list view: counts of a filter run, the
// window of rows following the scroll bar, refusal shading, cancel and
// progress, and the time range of a run.
#include <QAbstractItemModelTester>
#include <QFile>
#include <QListView>
#include <QRegExp>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <memory>

#include "clog.h"
#include "cstringlistmodel.h"
#include "filtermatch.h"
#include "mlogwriter.h"

namespace {

const quint32 T0 = 1780000000; // some time in 2026

MlogRecord fileRecord(quint32 time, bool refused, const QByteArray &payload)
{
    MlogRecord r;
    r.time = time;
    r.subject[0] = 4000;
    r.subject[1] = 1;
    r.kind = 2; // file: every text starts with "[f]", refused or not
    r.event = 0;
    r.status = refused ? 1 : 0;
    r.payload = payload;
    return r;
}

bool writeRecords(const QString &path, const QVector<MlogRecord> &records)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    for (const MlogRecord &r : records)
        f.write(encodeRecord(r));
    return f.error() == QFile::NoError;
}

// `blocks` seconds T0, T0+1, ... each holding `perBlock` records "rec=N";
// every third record is refused.
QVector<MlogRecord> numberedRecords(int blocks, int perBlock)
{
    QVector<MlogRecord> records;
    int n = 0;
    for (int b = 0; b < blocks; ++b)
        for (int i = 0; i < perBlock; ++i, ++n)
            records.append(fileRecord(T0 + b, n % 3 == 0, "rec=" + QByteArray::number(n)));
    return records;
}

// What a log holds, read from its bytes without the log library.
struct RawFacts
{
    int records = 0;
    int refusals = 0;
    int blocks = 0;
};

RawFacts rawFacts(const QString &path)
{
    RawFacts facts;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return facts;
    const QByteArray data = f.readAll();
    const char *p = data.constData();
    qint64 pos = 0;
    bool first = true;
    quint32 lastTime = 0;
    while (pos + 40 <= data.size()) {
        if (qFromLittleEndian<quint32>(p + pos) != 0x10121980u)
            break;
        const quint32 time = qFromLittleEndian<quint32>(p + pos + 4);
        if (first || time != lastTime)
            ++facts.blocks;
        first = false;
        lastTime = time;
        ++facts.records;
        if (qFromLittleEndian<quint32>(p + pos + 32) != 0)
            ++facts.refusals;
        pos += 40 + qFromLittleEndian<quint16>(p + pos + 38);
    }
    return facts;
}

CFilterPtr makeFilter(const QList<QStringList> &lists = {}, qint32 period = 0,
                      const QDateTime &time = QDateTime())
{
    CFilterPtr filter(new CFilter(QStringLiteral("test")));
    filter->setLists(lists);
    filter->period = period;
    filter->time = time;
    return filter;
}

CFilterPtr refusalsOnly()
{
    return makeFilter({{fragments().at(1)}, {}, {}, {}, {}, {}});
}

QDateTime at(quint32 secs)
{
    return QDateTime::fromSecsSinceEpoch(secs).toLocalTime();
}

// A result tab: a view scrolling by rows, whose model follows the vertical
// scroll bar, checked throughout by the model tester.
struct Tab
{
    QListView view;
    CStringListModel *model;
    std::unique_ptr<QAbstractItemModelTester> tester;

    Tab(CLog *log, const CFilterPtr &filter)
    {
        view.setUniformItemSizes(true);
        view.resize(400, 300);
        model = new CStringListModel(log, filter, &view);
        tester.reset(new QAbstractItemModelTester(
            model, QAbstractItemModelTester::FailureReportingMode::QtTest));
        view.setModel(model);
        QObject::connect(view.verticalScrollBar(), &QScrollBar::valueChanged,
                         model, &CStringListModel::scrollMoved);
        // The last scroll value is shared by all models: start from the top.
        model->scrollMoved(0);
    }

    QString text(int row) const { return model->index(row, 0).data().toString(); }
};

} // namespace

class TestResultsModel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void countsOfGeneratedLog();
    void windowFollowsScrollBar();
    void lastScrollValueIsShared();
    void refusalShading();
    void timeRange_data();
    void timeRange();
    void emptyResults_data();
    void emptyResults();
    void progressSteps_data();
    void progressSteps();
    void cancelKeepsCountedBlocks();

private:
    QString logFile(const QString &name, const QVector<MlogRecord> &records);
    QTemporaryDir m_dir;
};

void TestResultsModel::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(m_dir.isValid());
}

QString TestResultsModel::logFile(const QString &name, const QVector<MlogRecord> &records)
{
    const QString path = m_dir.filePath(name);
    if (!writeRecords(path, records))
        return QString();
    return path;
}

void TestResultsModel::countsOfGeneratedLog()
{
    const QString path = m_dir.filePath("generated.mlog");
    MlogGeneratorOptions options;
    options.records = 20000;
    options.seed = 7;
    options.start = at(T0);
    QString error;
    QVERIFY2(generateLog(path, options, &error), qPrintable(error));
    const RawFacts facts = rawFacts(path);
    QCOMPARE(facts.records, 20000);
    QVERIFY(facts.refusals > 0 && facts.refusals < facts.records);

    CLog log;
    log.readLog(path);
    QCOMPARE(log.blockCount(), facts.blocks);

    Tab all(&log, makeFilter());
    all.model->runFilter();
    QCOMPARE(all.model->rowCount(), facts.records);
    QCOMPARE(all.model->firstBlock(), 0);
    QCOMPARE(all.model->lastBlock(), facts.blocks - 1);
    QCOMPARE(all.model->blockCounts().size(), facts.blocks);
    // The first window holds whole blocks up to at least ten pages.
    QVERIFY(all.model->windowRows() >= 5000);
    QCOMPARE(all.model->windowFirstRow(), 0);
    QCOMPARE(all.model->rowsBefore(all.model->windowEndBlock()), all.model->windowRows());
    const int lastWindowBlock = all.model->windowEndBlock() - 1;
    QVERIFY(all.model->windowRows() - all.model->blockCounts().at(lastWindowBlock) < 5000);
    QVERIFY(all.model->index(all.model->windowRows() - 1, 0).data().isValid());
    QVERIFY(!all.model->index(all.model->windowRows(), 0).data().isValid());

    // Row and block look-ups agree at every block boundary.
    for (int b = 0; b < facts.blocks; ++b) {
        const int first = all.model->rowsBefore(b);
        if (all.model->blockCounts().at(b) > 0)
            QCOMPARE(all.model->blockForRow(first), b);
    }
    QCOMPARE(all.model->blockForRow(facts.records), facts.blocks);
    QCOMPARE(all.model->rowsBefore(facts.blocks), facts.records);

    Tab refused(&log, refusalsOnly());
    refused.model->runFilter();
    QCOMPARE(refused.model->rowCount(), facts.refusals);
    for (int row = 0; row < 50; ++row)
        QVERIFY(refused.text(row).contains(QRegExp(fragments().at(1))));
}

void TestResultsModel::windowFollowsScrollBar()
{
    CLog log;
    log.readLog(logFile("numbered.mlog", numberedRecords(300, 40)));
    Tab tab(&log, makeFilter());
    tab.view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&tab.view));
    tab.model->runFilter();
    QCOMPARE(tab.model->rowCount(), 12000);
    QCOMPARE(tab.model->windowEndBlock(), 125);
    QVERIFY(tab.text(0).endsWith(" rec=0"));
    QVERIFY(tab.text(4999).endsWith(" rec=4999"));
    QVERIFY(tab.text(5000).isEmpty());

    QScrollBar *bar = tab.view.verticalScrollBar();
    QTRY_VERIFY(bar->maximum() > 11000);

    // Small steps inside the window keep it.
    bar->setValue(100);
    bar->setValue(4400);
    QCOMPARE(tab.model->windowStartBlock(), 0);
    QCOMPARE(tab.model->windowFirstRow(), 0);

    // Within a page of its end the window moves to the top row's block
    // and at least one page after it.
    bar->setValue(4600);
    QCOMPARE(tab.model->windowStartBlock(), 115);
    QCOMPARE(tab.model->windowFirstRow(), 4600);
    QVERIFY(tab.model->windowRows() >= 540);
    QVERIFY(tab.text(4600).endsWith(" rec=4600"));
    QVERIFY(tab.text(5100).endsWith(" rec=5100"));
    QVERIFY(tab.text(0).isEmpty());

    bar->setValue(bar->maximum());
    QVERIFY(tab.text(11999).endsWith(" rec=11999"));
    QVERIFY(tab.text(bar->value()).endsWith(" rec=" + QString::number(bar->value())));

    // Back at the top, the window is built upwards from a page below.
    bar->setValue(0);
    QCOMPARE(tab.model->windowStartBlock(), 0);
    QCOMPARE(tab.model->windowFirstRow(), 0);
    QVERIFY(tab.text(0).endsWith(" rec=0"));
    QVERIFY(tab.text(499).endsWith(" rec=499"));

    // Near the end of this short window going down reloads it; going up
    // while it starts at the first block does not.
    bar->setValue(30);
    QCOMPARE(tab.model->windowEndBlock(), 14);
    const int end = tab.model->windowEndBlock();
    bar->setValue(10);
    QCOMPARE(tab.model->windowEndBlock(), end);
}

void TestResultsModel::lastScrollValueIsShared()
{
    CLog log;
    log.readLog(logFile("shared.mlog", numberedRecords(300, 40)));
    Tab first(&log, makeFilter());
    Tab second(&log, makeFilter());
    first.model->runFilter();
    second.model->runFilter();

    first.model->scrollMoved(8000);
    QCOMPARE(first.model->windowFirstRow(), 8000);
    // The other model sees no movement from 8000 to 8000.
    second.model->scrollMoved(8000);
    QCOMPARE(second.model->windowFirstRow(), 0);
    QVERIFY(second.text(8000).isEmpty());
}

void TestResultsModel::refusalShading()
{
    const QVector<MlogRecord> records{
        fileRecord(T0, true, "plain"),
        fileRecord(T0, false, "plain"),
        fileRecord(T0, false, "text> [f] inside"),  // the mark anywhere counts
        fileRecord(T0, false, "text>  [f] two blanks"),
        fileRecord(T0, false, "text>[f] none"),
        fileRecord(T0, false, "text> [F] upper"),
        fileRecord(T0, false, "text>\t[f] control char"),
        fileRecord(T0, false, "end> [f"),
    };
    CLog log;
    log.readLog(logFile("shading.mlog", records));
    Tab tab(&log, makeFilter());
    tab.model->runFilter();
    QCOMPARE(tab.model->rowCount(), records.size());

    const QList<bool> expected{true, false, true, false, false, false, true, false};
    const QRegExp mark(fragments().at(1));
    for (int row = 0; row < records.size(); ++row) {
        const QModelIndex index = tab.model->index(row, 0);
        const QString text = index.data().toString();
        const QVariant background = index.data(Qt::BackgroundRole);
        QCOMPARE(background.isValid(), mark.indexIn(text) >= 0);
        QCOMPARE(background.isValid(), expected.at(row));
        if (background.isValid())
            QCOMPARE(background.value<QBrush>().color(), QColor(255, 0, 0, 128));
        QVERIFY(!index.data(Qt::ToolTipRole).isValid());
    }
}

void TestResultsModel::timeRange_data()
{
    QTest::addColumn<qint32>("period");
    QTest::addColumn<qint64>("end"); // seconds after T0; -1000 for none
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("firstBlock");
    QTest::addColumn<int>("lastBlock");

    // Blocks at T0, T0+10 and T0+20 with five records each.
    QTest::newRow("whole log") << 0 << qint64(-1000) << 15 << 0 << 2;
    QTest::newRow("end between blocks") << 0 << qint64(15) << 10 << 0 << 1;
    QTest::newRow("end at a block") << 0 << qint64(10) << 10 << 0 << 1;
    QTest::newRow("end after the log") << 0 << qint64(100) << 15 << 0 << 2;
    QTest::newRow("end before the log") << 0 << qint64(-5) << 0 << 0 << -1;
    QTest::newRow("start and end at blocks") << -10 << qint64(10) << 10 << 0 << 1;
    QTest::newRow("last seconds of the log") << -5 << qint64(-1000) << 5 << 2 << 2;
    QTest::newRow("range between blocks") << -3 << qint64(14) << 0 << 2 << 1;
}

void TestResultsModel::timeRange()
{
    QFETCH(qint32, period);
    QFETCH(qint64, end);
    QFETCH(int, rows);
    QFETCH(int, firstBlock);
    QFETCH(int, lastBlock);

    QVector<MlogRecord> records;
    for (int b = 0; b < 3; ++b)
        for (int i = 0; i < 5; ++i)
            records.append(fileRecord(T0 + 10 * b, false, "r"));
    CLog log;
    log.readLog(logFile("range.mlog", records));
    QCOMPARE(log.blockCount(), 3);

    const QDateTime time = end == -1000 ? QDateTime() : at(quint32(T0 + end));
    Tab tab(&log, makeFilter({}, period, time));
    tab.model->runFilter();
    QCOMPARE(tab.model->rowCount(), rows);
    QCOMPARE(tab.model->firstBlock(), firstBlock);
    QCOMPARE(tab.model->lastBlock(), lastBlock);
    QCOMPARE(tab.model->blockCounts().size(), std::max(0, lastBlock - firstBlock + 1));
}

void TestResultsModel::emptyResults_data()
{
    QTest::addColumn<int>("blocks");
    QTest::addColumn<QString>("parameter"); // criterion on the parameters, if any
    QTest::newRow("log without records") << 0 << QString();
    QTest::newRow("filter matching nothing") << 20 << QStringLiteral("no such text");
}

void TestResultsModel::emptyResults()
{
    QFETCH(int, blocks);
    QFETCH(QString, parameter);
    CLog log;
    log.readLog(logFile(QStringLiteral("none-%1.mlog").arg(blocks), numberedRecords(blocks, 3)));
    const QStringList parameters = parameter.isEmpty() ? QStringList() : QStringList{parameter};
    Tab tab(&log, makeFilter({{}, {}, {}, {}, {}, parameters}));
    QSignalSpy maximum(tab.model, &CStringListModel::valueMaximum);
    tab.model->runFilter();
    QCOMPARE(tab.model->rowCount(), 0);
    QCOMPARE(maximum.count(), 1);
    QCOMPARE(maximum.at(0).at(0).toInt(), std::max(0, blocks - 1));
    // Every block is counted, as empty.
    QCOMPARE(tab.model->blockCounts(), QVector<qint32>(blocks, 0).toList());
    tab.model->scrollMoved(50);
    tab.model->scrollMoved(0);
    QCOMPARE(tab.model->windowRows(), 0);
}

void TestResultsModel::progressSteps_data()
{
    QTest::addColumn<int>("blocks");
    QTest::addColumn<int>("step");
    QTest::newRow("50 blocks") << 50 << 1;
    QTest::newRow("1001 blocks") << 1001 << 11;
}

void TestResultsModel::progressSteps()
{
    QFETCH(int, blocks);
    QFETCH(int, step);
    CLog log;
    log.readLog(logFile("progress.mlog", numberedRecords(blocks, 2)));
    Tab tab(&log, makeFilter());
    QSignalSpy maximum(tab.model, &CStringListModel::valueMaximum);
    QSignalSpy value(tab.model, &CStringListModel::valueChanged);
    tab.model->runFilter();
    QCOMPARE(maximum.count(), 1);
    QCOMPARE(maximum.at(0).at(0).toInt(), blocks - 1);
    QList<int> expected;
    for (int offset = step; offset <= blocks - 1; offset += step)
        expected.append(offset);
    QList<int> seen;
    for (const QList<QVariant> &args : value)
        seen.append(args.at(0).toInt());
    QCOMPARE(seen, expected);
    QCOMPARE(tab.model->rowCount(), 2 * blocks);
}

void TestResultsModel::cancelKeepsCountedBlocks()
{
    CLog log;
    log.readLog(logFile("cancel.mlog", numberedRecords(1001, 10)));
    Tab tab(&log, makeFilter());
    int windowStartWhileCounting = -1;
    const QMetaObject::Connection canceller = QObject::connect(
        tab.model, &CStringListModel::valueChanged, tab.model, [&](int offset) {
            if (offset >= 330)
                tab.model->cancel();
            // A scroll while the run counts works on the blocks counted so far.
            if (offset == 220) {
                tab.model->scrollMoved(2000);
                windowStartWhileCounting = tab.model->windowStartBlock();
            }
        });
    tab.model->runFilter();
    QCOMPARE(windowStartWhileCounting, 200);
    QVERIFY(tab.model->isCancelled());
    QCOMPARE(tab.model->blockCounts().size(), 331);
    QCOMPARE(tab.model->rowCount(), 3310);
    QCOMPARE(tab.model->blockForRow(3310), 331);
    // The window the scroll made stays; the run stopped filling its own.
    QCOMPARE(tab.model->windowFirstRow(), 2000);
    QVERIFY(tab.text(2000).endsWith(" rec=2000"));
    QVERIFY(tab.text(2500).endsWith(" rec=2500"));
    QVERIFY(tab.text(0).isEmpty());

    // A new run on the same model starts over.
    QObject::disconnect(canceller);
    tab.model->scrollMoved(0);
    tab.model->runFilter();
    QVERIFY(!tab.model->isCancelled());
    QCOMPARE(tab.model->blockCounts().size(), 1001);
    QCOMPARE(tab.model->rowCount(), 10010);
    QVERIFY(tab.text(0).endsWith(" rec=0"));
}

QTEST_MAIN(TestResultsModel)
#include "tst_cstringlistmodel.moc"
