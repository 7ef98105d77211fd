// The log library's call contract and its record text.
#include "mlog.h"
#include "mlogwriter.h"

#include <QDateTime>
#include <QtTest>

#include <cstdlib>
#include <ctime>

static char sentinel;

// The text of one record as the reader gets it ("null" for a null text),
// ending the batch unless told not to.
static QByteArray textOf(const MlogRecord &r, bool endBatch = true)
{
    const QByteArray record = encodeRecord(r);
    void *compiled = nullptr;
    QByteArray text = "refused";
    if (mlog_compile(&compiled, record.constData(), record.size()) != -1) {
        char *t = mlog_txt_malloc(compiled);
        text = t ? QByteArray(t) : QByteArray("null");
        std::free(t);
    }
    std::free(compiled);
    if (endBatch)
        mlog_done();
    return text;
}

// The names of a category; none unless the block ends in a NUL.
static QList<QByteArray> eventNames(int category)
{
    char *block = &sentinel;
    const int length = mlog_init() == -1 ? -1 : mlog_listevents(category, &block);
    const QByteArray all(block == &sentinel ? "" : block, qMax(length, 0));
    std::free(block == &sentinel ? nullptr : block);
    mlog_done();
    return all.endsWith('\0') ? all.left(length - 1).split('\0') : QList<QByteArray>();
}

static QByteArray localDate(quint32 t)
{
    return QDateTime::fromSecsSinceEpoch(t).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")).toUtf8();
}

static const MlogRecord sample{1796548827, {4212, 4100, 1000, 1001, 7}, MLOG_KIND_FILE, 3, 0, 0, "/home/alice/report.txt"};

class TestMarvokLog : public QObject
{
    Q_OBJECT
private slots:
    void eventListsAndTexts()
    {
        // Every event of every list compiles, with and without parameters.
        const char *markers[] = {"[u]", "[p]", "[f]", "[c]"};
        for (int kind = 0; kind < 4; ++kind) {
            const QList<QByteArray> names = eventNames(kind);
            QVERIFY(!names.isEmpty() && !names.contains(QByteArray()));
            for (int event = 0; event < names.size(); ++event) {
                const bool refused = event % 2;
                MlogRecord r{sample.time, {4212, 4100, 1000, 1001, 7}, quint16(kind), quint16(event),
                             refused ? 13u : 0u, 0, refused ? "" : "mode=0640"};
                QCOMPARE(textOf(r), markers[kind] + QByteArray(" <4212,4100,1000,1001,7> ") + (refused ? "[f] " : "[s] ")
                             + names.at(event) + ' ' + localDate(r.time) + (refused ? "" : " mode=0640"));
            }
        }
    }

    void parameters()
    {
        // The text is valid UTF-8 on one line, wherever a byte stands in the
        // word-by-word copy.
        const QByteArray bad("\xef\xbf\xbd"); // U+FFFD
        const QList<QPair<QByteArray, QByteArray>> cases{
            {"\x01", " "}, {"\xc2\x85", " "}, {"\xff", bad}, {"\xc3\xbc\xf0\x9f\x98\x80", "\xc3\xbc\xf0\x9f\x98\x80"},
            {"\xed\xa0\x80", bad.repeated(3)}, {"\xe2\x82", bad.repeated(2)}};
        const QByteArray prefix = "[f] <4212,4100,1000,1001,7> [s] unlink " + localDate(sample.time) + ' ';
        MlogRecord r = sample;
        for (const auto &c : cases) {
            for (int at = 0; at + c.first.size() <= 19; ++at) {
                r.payload = QByteArray(19, 'a').replace(at, c.first.size(), c.first);
                QCOMPARE(textOf(r), prefix + QByteArray(19, 'a').replace(at, c.first.size(), c.second));
            }
        }
        // The longest text there is: the text buffer must hold it.
        for (quint32 &s : r.subject)
            s = 0xFFFFFFFFu;
        r.status = r.time = 0xFFFFFFFFu;
        r.payload = QByteArray(0xFFFF, '\xff'); // every byte grows to three
        QVERIFY(textOf(r).endsWith(' ' + bad.repeated(0xFFFF)));
        r.flags = MLOG_FLAG_HIDDEN;
        QCOMPARE(textOf(r), QByteArray("null"));
    }

    void compileFailures()
    {
        // Every failure leaves the out-slot null or malloc()ed.
        const QByteArray good = encodeRecord(sample);
        const auto changed = [&](int at, const QByteArray &bytes) { return QByteArray(good).replace(at, bytes.size(), bytes); };
        const QList<QPair<QByteArray, qint64>> bad{
            {changed(0, QByteArray("\x10\x12\x19\x80", 4)), good.size()}, {good + 'x', good.size() + 1}, {good, 39},
            {changed(MLOG_OFF_KIND, QByteArray("\x04\x00", 2)), good.size()},
            {changed(MLOG_OFF_EVENT, QByteArray(1, char(eventNames(2).size())) + '\0'), good.size()}};
        for (const auto &b : bad) {
            void *slot = &sentinel;
            QCOMPARE(mlog_compile(&slot, b.first.constData(), b.second), -1);
            QVERIFY(slot != &sentinel);
            std::free(slot);
        }
        QCOMPARE(mlog_compile(nullptr, good.constData(), good.size()), -1);
    }

    void localDates()
    {
        // Dates are cached per local minute: times that cross an offset change
        // (Berlin, 2026-03-29 01:00 UTC) or go back, and a zone changed between
        // two batches, still come out right.
        const QByteArray savedTz = qgetenv("TZ");
        QList<quint32> times{0xFFFFFFFFu};
        for (quint32 t = 1774746000 - 125; t < 1774746000 + 125; t += 5)
            times << t - (t % 7 ? 0 : 60);
        MlogRecord r{0, {}, 2, 0, 0, 0, {}};
        for (const char *zone : {"Europe/Berlin", "UTC"}) {
            qputenv("TZ", zone);
            tzset();
            for (quint32 t : times + QList<quint32>{0xFFFFFFFFu - 10})
                QCOMPARE(textOf((r.time = t, r), false).right(19), localDate(t));
            mlog_done();
        }
        savedTz.isNull() ? qunsetenv("TZ") : qputenv("TZ", savedTz);
        tzset();
    }
};

QTEST_GUILESS_MAIN(TestMarvokLog)
#include "tst_marvoklog.moc"
