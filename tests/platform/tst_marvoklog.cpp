// The log library's call contract and its record text.
#include "mlog.h"
#include "mlogwriter.h"

#include <QDateTime>
#include <QSet>
#include <QtTest>

#include <cstdlib>
#include <ctime>

static char sentinel;

// The text of one record as the reader gets it, "null" for a null text,
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
static QStringList eventNames(int category)
{
    char *block = &sentinel;
    const int length = mlog_init() == -1 ? -1 : mlog_listevents(category, &block);
    if (block == &sentinel)
        return {};
    const QByteArray all(block, qMax(length, 0));
    std::free(block);
    mlog_done();
    QStringList names;
    if (all.endsWith('\0'))
        for (const QByteArray &name : all.left(length - 1).split('\0'))
            names << QString::fromUtf8(name);
    return names;
}

// A file record ("unlink") of a December morning, and the start of its text.
static const MlogRecord sample{1796548827, {4212, 4100, 1000, 1001, 7}, MLOG_KIND_FILE, 3, 0, 0, "/home/alice/report.txt"};

static QString localDate(quint32 t)
{
    return QDateTime::fromSecsSinceEpoch(t).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
}

static QByteArray samplePrefix()
{
    return "[f] <4212,4100,1000,1001,7> [s] unlink " + localDate(sample.time).toUtf8() + ' ';
}

class TestMarvokLog : public QObject
{
    Q_OBJECT
private slots:
    void eventListsAndTexts()
    {
        // Each name, the last one included, ends in one NUL, and every event of
        // every list compiles; refusals and texts without parameters alternate.
        const QStringList markers{"[u]", "[p]", "[f]", "[c]"};
        for (int kind = 0; kind < 4; ++kind) {
            const QStringList names = eventNames(kind);
            QVERIFY(!names.isEmpty() && !names.contains(QString()));
            QCOMPARE(QSet<QString>(names.begin(), names.end()).size(), names.size());
            for (int event = 0; event < names.size(); ++event) {
                const bool refused = event % 2;
                MlogRecord r = sample;
                r.kind = quint16(kind);
                r.event = quint16(event);
                r.status = refused ? 13 : 0;
                r.payload = refused ? QByteArray() : QByteArray("path=/etc/shadow mode=0640");
                QCOMPARE(QString::fromUtf8(textOf(r)), markers.at(kind) + " <4212,4100,1000,1001,7> "
                             + (refused ? "[f] " : "[s] ") + names.at(event) + ' ' + localDate(r.time)
                             + (refused ? "" : " path=/etc/shadow mode=0640"));
            }
        }
        // Filters must tell a name from a longer one that starts with it.
        QVERIFY(eventNames(2).contains("open") && eventNames(2).contains("openat"));
    }

    void parameters()
    {
        // Plain bytes are copied word by word: every byte value and every
        // sequence that needs care, at every place of two words and a tail, is
        // shown as it would be alone, and the text is valid UTF-8 on one line.
        const QByteArray bad("\xef\xbf\xbd"); // U+FFFD
        QList<QPair<QByteArray, QByteArray>> cases{
            {"\xc2\x85", " "},                                                    // C1 control
            {"\xc3\xbc\xe2\x82\xac\xf0\x9f\x98\x80", "\xc3\xbc\xe2\x82\xac\xf0\x9f\x98\x80"}, // kept
            {"\xc0\xaf", bad.repeated(2)},                                         // overlong
            {"\xe0\x80\xaf", bad.repeated(3)},                                     // overlong
            {"\xed\xa0\x80", bad.repeated(3)},                                     // surrogate
            {"\xf4\x90\x80\x80", bad.repeated(4)},                                 // beyond U+10FFFF
            {"\xe2\x82", bad.repeated(2)},                                         // cut short, also at the end
        };
        for (int value = 0; value < 256; ++value) {
            const QByteArray byte(1, char(value));
            cases.append({byte, value >= 0x80 ? bad : (value < 0x20 || value == 0x7F) ? QByteArray(" ") : byte});
        }
        MlogRecord r = sample;
        for (const auto &c : cases) {
            for (int at = 0; at + c.first.size() <= 19; ++at) {
                r.payload = QByteArray(19, 'a').replace(at, c.first.size(), c.first);
                QCOMPARE(textOf(r), samplePrefix() + QByteArray(19, 'a').replace(at, c.first.size(), c.second));
            }
        }
    }

    void extremeValues()
    {
        // The longest text there is: the text buffer must hold it.
        MlogRecord r = sample;
        for (quint32 &s : r.subject)
            s = 0xFFFFFFFFu;
        r.status = r.time = 0xFFFFFFFFu;
        r.payload = QByteArray(0xFFFF, '\xff'); // every byte grows to three
        const QByteArray text = textOf(r);
        QVERIFY(text.startsWith("[f] <4294967295,4294967295,4294967295,4294967295,4294967295> [f] unlink "));
        QVERIFY(text.endsWith(' ' + QByteArray("\xef\xbf\xbd").repeated(0xFFFF)));
        // Only flag bit 0 hides a record: its text is null.
        r = sample;
        r.flags = MLOG_FLAG_HIDDEN;
        QCOMPARE(textOf(r), QByteArray("null"));
        r.flags = 2;
        QVERIFY(textOf(r).startsWith(samplePrefix()));
    }

    void compileFailures_data()
    {
        QTest::addColumn<QByteArray>("record");
        QTest::addColumn<qint64>("length");
        const QByteArray good = encodeRecord(sample);
        const qint64 size = good.size();
        const auto changed = [&](int offset, const QByteArray &bytes) { return QByteArray(good).replace(offset, bytes.size(), bytes); };
        QTest::newRow("magic big-endian") << changed(0, QByteArray("\x10\x12\x19\x80", 4)) << size;
        QTest::newRow("length not the payload's") << good + 'x' << size + 1;
        QTest::newRow("header cut") << good << qint64(39);
        QTest::newRow("kind 4") << changed(MLOG_OFF_KIND, QByteArray("\x04\x00", 2)) << size;
        for (int kind = 0; kind < 4; ++kind) {
            const QByteArray r = changed(MLOG_OFF_KIND, QByteArray(1, char(kind)) + '\0' + char(eventNames(kind).size()) + '\0');
            QTest::addRow("kind %d event one past its list", kind) << r << size;
        }
    }

    void compileFailures()
    {
        QFETCH(QByteArray, record);
        QFETCH(qint64, length);
        void *slot = &sentinel;
        QCOMPARE(mlog_compile(&slot, record.constData(), length), -1);
        QVERIFY2(slot != &sentinel, "the out-slot is cleared on failure");
        std::free(slot);
        QCOMPARE(mlog_compile(nullptr, record.constData(), record.size()), -1);
    }

    void localDates()
    {
        // The library keeps the text of the last local minute; times that go
        // back, jump, cross minutes and offset changes must still come out
        // right, also after a change of time zone between two batches.
        const QByteArray savedTz = qgetenv("TZ");
        for (const char *zone : {"UTC", "Europe/Berlin", "America/St_Johns"}) {
            qputenv("TZ", zone);
            tzset();
            mlog_done();
            // Around the spring change in Berlin (2026-03-29 01:00 UTC).
            const quint32 change = 1774746000;
            QList<quint32> times;
            for (quint32 t = change - 125; t < change + 125; t += 7)
                times << t;
            times << change - 1 << change << change + 59 << change - 60 << 0 << 0xFFFFFFFFu << 1796548827;
            MlogRecord r = sample;
            r.payload.clear();
            for (quint32 t : times) {
                r.time = t;
                const QString shown = QString::fromUtf8(textOf(r, false).right(19));
                QVERIFY2(shown == localDate(t), qPrintable(QStringLiteral("%1 at %2: %3").arg(zone).arg(t).arg(shown)));
            }
            mlog_done();
        }
        savedTz.isNull() ? qunsetenv("TZ") : qputenv("TZ", savedTz);
        tzset();
        mlog_done();
    }
};

QTEST_GUILESS_MAIN(TestMarvokLog)
#include "tst_marvoklog.moc"
