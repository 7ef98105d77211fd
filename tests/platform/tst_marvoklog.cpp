// The log library's call contract and its record text.
#include "mlog.h"
#include "mlogwriter.h"

#include <QDateTime>
#include <QRegExp>
#include <QSet>
#include <QtTest>

#include <cstdlib>
#include <ctime>

namespace {

char sentinel;

struct Compiled
{
    int result = -1;
    QByteArray text;
    bool nullText = true;
    bool slotUntouched = false;
};

// One record through the library the way the reader uses it; the out-slot
// starts as a pointer the library must overwrite, never leave behind.
Compiled compile(const QByteArray &record, qint64 length = -2)
{
    Compiled c;
    void *slot = &sentinel;
    c.result = mlog_compile(&slot, record.constData(), length == -2 ? record.size() : length);
    if (slot == &sentinel) {
        c.slotUntouched = true;
        return c;
    }
    if (c.result != -1) {
        char *text = mlog_txt_malloc(slot);
        c.nullText = text == nullptr;
        c.text = QByteArray(text);
        std::free(text);
    }
    std::free(slot);
    mlog_done();
    return c;
}

QStringList eventNames(int category)
{
    QStringList names;
    char *block = &sentinel;
    const int length = mlog_init() == -1 ? -1 : mlog_listevents(category, &block);
    if (block == &sentinel)
        return {QStringLiteral("<out-slot untouched>")};
    if (length > 0) {
        const QByteArray all(block, length);
        if (all.endsWith('\0'))
            for (const QByteArray &name : all.left(length - 1).split('\0'))
                names << QString::fromUtf8(name);
    }
    std::free(block);
    mlog_done();
    return names;
}

MlogRecord sampleRecord()
{
    MlogRecord r;
    r.time = 1796548827; // a December morning
    r.subject[0] = 4212;
    r.subject[1] = 4100;
    r.subject[2] = 1000;
    r.subject[3] = 1001;
    r.subject[4] = 7;
    r.kind = MLOG_KIND_FILE;
    r.event = 3;
    r.status = 0;
    r.payload = "/home/alice/report.txt";
    return r;
}

QString localDate(quint32 t)
{
    return QDateTime::fromSecsSinceEpoch(t).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
}

} // namespace

class TestMarvokLog : public QObject
{
    Q_OBJECT

private slots:
    void eventLists();
    void eventListFailures();
    void nameInTwoCategories();
    void textLayout_data();
    void textLayout();
    void parameters_data();
    void parameters();
    void everyByteAtEveryPosition();
    void extremeValues();
    void hiddenRecordHasNoText();
    void compileFailures_data();
    void compileFailures();
    void nullArguments();
    void localDates();
};

void TestMarvokLog::eventLists()
{
    for (int category = 0; category < 4; ++category) {
        char *block = &sentinel;
        QVERIFY(mlog_init() != -1);
        const int length = mlog_listevents(category, &block);
        QVERIFY(block != &sentinel);
        QVERIFY2(length > 0 && block, "every category lists names");
        // Each name, the last one included, ends in one NUL.
        const QByteArray all(block, length);
        QCOMPARE(all.at(length - 1), '\0');
        const QList<QByteArray> names = all.left(length - 1).split('\0');
        QVERIFY(names.size() >= 8);
        for (const QByteArray &name : names) {
            QVERIFY2(!name.isEmpty(), "no empty name between two NULs");
            QVERIFY2(QRegExp(QStringLiteral("[a-z_]+")).exactMatch(QString::fromUtf8(name)), name.constData());
        }
        QCOMPARE(QSet<QByteArray>(names.begin(), names.end()).size(), names.size());
        std::free(block);
        mlog_done();
    }
    // Filters must tell a name from a longer one that starts with it.
    QVERIFY(eventNames(MLOG_KIND_FILE).contains(QStringLiteral("open")));
    QVERIFY(eventNames(MLOG_KIND_FILE).contains(QStringLiteral("openat")));
}

void TestMarvokLog::eventListFailures()
{
    for (int category : {-1, 4, 1000, -2147483647 - 1}) {
        char *block = &sentinel;
        QCOMPARE(mlog_listevents(category, &block), -1);
        QVERIFY(block == nullptr);
    }
    QCOMPARE(mlog_listevents(0, nullptr), -1);
}

void TestMarvokLog::nameInTwoCategories()
{
    QMap<QString, QList<int>> categoriesOf;
    for (int category = 0; category < 4; ++category)
        for (const QString &name : eventNames(category))
            categoriesOf[name] << category;
    QCOMPARE(categoriesOf.value(QStringLiteral("kill")), (QList<int>{1, 3}));
    QCOMPARE(categoriesOf.value(QStringLiteral("chmod")), (QList<int>{0, 2}));
}

void TestMarvokLog::textLayout_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<quint32>("status");
    QTest::addColumn<QByteArray>("payload");
    const char *const markers[] = {"[u]", "[p]", "[f]", "[c]"};
    for (int kind = 0; kind < 4; ++kind) {
        for (quint32 status : {0u, 1u, 13u}) {
            QTest::addRow("%s status %u", markers[kind], status) << kind << status << QByteArray("path=/etc/shadow mode=0640");
        }
        QTest::addRow("%s no payload", markers[kind]) << kind << 0u << QByteArray();
    }
}

void TestMarvokLog::textLayout()
{
    QFETCH(int, kind);
    QFETCH(quint32, status);
    QFETCH(QByteArray, payload);
    MlogRecord r = sampleRecord();
    r.kind = quint16(kind);
    r.status = status;
    r.payload = payload;
    const QStringList names = eventNames(kind);
    for (int event = 0; event < names.size(); ++event) {
        r.event = quint16(event);
        const Compiled c = compile(encodeRecord(r));
        QVERIFY(c.result != -1);
        const QString text = QString::fromUtf8(c.text);
        const QString marker = QStringList{"[u]", "[p]", "[f]", "[c]"}.at(kind);
        QString expected = marker + QStringLiteral(" <4212,4100,1000,1001,7> ") + (status ? "[f]" : "[s]")
            + ' ' + names.at(event) + ' ' + localDate(r.time);
        if (!payload.isEmpty())
            expected += ' ' + QString::fromUtf8(payload);
        QCOMPARE(text, expected);

        // The fragments the filter builds its patterns from.
        QVERIFY(QRegExp(status ? ">\\s\\[f\\]" : ">\\s\\[s\\]").indexIn(text) >= 0);
        QVERIFY(QRegExp(status ? ">\\s\\[s\\]" : ">\\s\\[f\\]").indexIn(text) < 0);
        const char *const kindPatterns[] = {"^\\[u\\]", "^\\[p\\]", "^\\[f\\]", "^\\[c\\]"};
        for (int k = 0; k < 4; ++k)
            QCOMPARE(QRegExp(kindPatterns[k]).indexIn(text) >= 0, k == kind);
        QVERIFY(QRegExp("<\\d+,\\d+,\\d+,1001").indexIn(text) >= 0);
        QVERIFY(QRegExp("<\\d+,\\d+,1000").indexIn(text) >= 0);
        QVERIFY(QRegExp("\\[\\b(s|f)\\b\\]\\s" + names.at(event)).indexIn(text) >= 0);
        QRegExp userId("\\d+,\\d+,\\d+>");
        const int at = userId.indexIn(text);
        QVERIFY(at >= 0);
        QCOMPARE(text.mid(at, text.indexOf(',', at) - at), QStringLiteral("1000"));
    }
}

void TestMarvokLog::parameters_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QString>("shown");
    QTest::newRow("plain") << QByteArray("a=1 b=2") << QStringLiteral("a=1 b=2");
    QTest::newRow("C0 controls and DEL") << QByteArray("a\tb\nc\rd\x01" "e\x7f" "f", 11) << QStringLiteral("a b c d e f");
    QTest::newRow("NUL inside") << QByteArray("x\0y", 3) << QStringLiteral("x y");
    QTest::newRow("C1 control") << QByteArray("a\xc2\x85" "b") << QStringLiteral("a b");
    QTest::newRow("multi-byte kept") << QByteArray("/home/jürgen/€/\xf0\x9f\x98\x80") << QString::fromUtf8("/home/jürgen/€/\xf0\x9f\x98\x80");
    QTest::newRow("Latin-1 byte") << QByteArray("caf\xe9.txt") << QString::fromUtf8("caf\xef\xbf\xbd.txt");
    QTest::newRow("lone continuation") << QByteArray("a\x80" "b") << QString::fromUtf8("a\xef\xbf\xbd" "b");
    QTest::newRow("overlong") << QByteArray("\xc0\xaf") << QString::fromUtf8("\xef\xbf\xbd\xef\xbf\xbd");
    QTest::newRow("surrogate") << QByteArray("\xed\xa0\x80") << QString::fromUtf8("\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd");
    QTest::newRow("beyond U+10FFFF") << QByteArray("\xf4\x90\x80\x80") << QString::fromUtf8("\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd");
    QTest::newRow("sequence cut at the end") << QByteArray("x\xe2\x82") << QString::fromUtf8("x\xef\xbf\xbd\xef\xbf\xbd");
    QTest::newRow("only blanks") << QByteArray("  ") << QStringLiteral("  ");
}

void TestMarvokLog::parameters()
{
    QFETCH(QByteArray, payload);
    QFETCH(QString, shown);
    MlogRecord r = sampleRecord();
    r.payload = payload;
    const Compiled c = compile(encodeRecord(r));
    QVERIFY(c.result != -1);
    const QString prefix = QStringLiteral("[f] <4212,4100,1000,1001,7> [s] unlink ") + localDate(r.time) + ' ';
    QCOMPARE(QString::fromUtf8(c.text), prefix + shown);
    // Valid UTF-8: decoding and encoding again gives the same bytes.
    QCOMPARE(QString::fromUtf8(c.text).toUtf8(), c.text);
}

void TestMarvokLog::everyByteAtEveryPosition()
{
    // Runs of plain bytes are copied word by word: one byte of every value at
    // every place of two words and a tail is shown as it would be alone.
    MlogRecord r = sampleRecord();
    const QByteArray prefix = "[f] <4212,4100,1000,1001,7> [s] unlink " + localDate(r.time).toUtf8() + ' ';
    for (int value = 0; value < 256; ++value) {
        const char c = char(value);
        const QByteArray shown = value >= 0x80 ? QByteArray("\xef\xbf\xbd")
                                 : (value < 0x20 || value == 0x7F) ? QByteArray(" ")
                                                                   : QByteArray(1, c);
        for (int at = 0; at < 19; ++at) {
            r.payload = QByteArray(19, 'a');
            r.payload[at] = c;
            QByteArray expected = prefix + QByteArray(19, 'a');
            expected.replace(prefix.size() + at, 1, shown);
            QCOMPARE(compile(encodeRecord(r)).text, expected);
        }
    }
}

void TestMarvokLog::extremeValues()
{
    MlogRecord r = sampleRecord();
    for (quint32 &s : r.subject)
        s = 0xFFFFFFFFu;
    r.status = 0xFFFFFFFFu;
    r.time = 0xFFFFFFFFu;
    r.payload = QByteArray(0xFFFF, '\xff'); // every byte grows to three
    const Compiled c = compile(encodeRecord(r));
    QVERIFY(c.result != -1);
    QVERIFY(c.text.startsWith("[f] <4294967295,4294967295,4294967295,4294967295,4294967295> [f] unlink "));
    QVERIFY(c.text.endsWith(' ' + QByteArray("\xef\xbf\xbd").repeated(0xFFFF)));
    QCOMPARE(QString::fromUtf8(c.text).toUtf8(), c.text);

    r = sampleRecord();
    r.time = 0;
    r.payload.clear();
    const Compiled epoch = compile(encodeRecord(r));
    QCOMPARE(QString::fromUtf8(epoch.text).right(19), localDate(0));
}

void TestMarvokLog::hiddenRecordHasNoText()
{
    MlogRecord r = sampleRecord();
    r.flags = MLOG_FLAG_HIDDEN;
    const Compiled hidden = compile(encodeRecord(r));
    QVERIFY(hidden.result != -1);
    QVERIFY(hidden.nullText);
    // Only bit 0 hides a record.
    r.flags = 2;
    const Compiled shown = compile(encodeRecord(r));
    QVERIFY(!shown.nullText);
    QVERIFY(shown.text.startsWith("[f] <4212,4100,1000,1001,7> [s] "));
}

void TestMarvokLog::compileFailures_data()
{
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<qint64>("length");
    const QByteArray good = encodeRecord(sampleRecord());
    const auto changed = [&](int offset, QByteArray bytes) {
        QByteArray r = good;
        r.replace(offset, bytes.size(), bytes);
        return r;
    };
    QTest::newRow("wrong magic") << changed(0, QByteArray("\x81\x19\x12\x10", 4)) << qint64(good.size());
    QTest::newRow("magic big-endian") << changed(0, QByteArray("\x10\x12\x19\x80", 4)) << qint64(good.size());
    QTest::newRow("length one short") << good << qint64(good.size() - 1);
    QTest::newRow("length one long") << good + 'x' << qint64(good.size() + 1);
    QTest::newRow("header only") << good << qint64(MLOG_HEADER_SIZE);
    QTest::newRow("header cut") << good << qint64(39);
    QTest::newRow("zero length") << good << qint64(0);
    QTest::newRow("negative length") << good << qint64(-1);
    QTest::newRow("huge length") << good << (qint64(1) << 40);
    QTest::newRow("kind 4") << changed(MLOG_OFF_KIND, QByteArray("\x04\x00", 2)) << qint64(good.size());
    QTest::newRow("kind 65535") << changed(MLOG_OFF_KIND, QByteArray("\xff\xff", 2)) << qint64(good.size());
    for (int kind = 0; kind < 4; ++kind) {
        const int count = eventNames(kind).size();
        QByteArray r = changed(MLOG_OFF_KIND, QByteArray(1, char(kind)) + '\0');
        r.replace(MLOG_OFF_EVENT, 2, QByteArray(1, char(count)) + '\0');
        QTest::addRow("kind %d event one past its list", kind) << r << qint64(good.size());
    }
    QTest::newRow("event 65535") << changed(MLOG_OFF_EVENT, QByteArray("\xff\xff", 2)) << qint64(good.size());
}

void TestMarvokLog::compileFailures()
{
    QFETCH(QByteArray, record);
    QFETCH(qint64, length);
    const Compiled c = compile(record, length);
    QVERIFY2(!c.slotUntouched, "the out-slot is cleared on failure");
    QCOMPARE(c.result, -1);
}

void TestMarvokLog::nullArguments()
{
    const QByteArray good = encodeRecord(sampleRecord());
    void *slot = &sentinel;
    QCOMPARE(mlog_compile(&slot, nullptr, 40), -1);
    QVERIFY(slot == nullptr);
    QCOMPARE(mlog_compile(nullptr, good.constData(), good.size()), -1);
    QVERIFY(mlog_txt_malloc(nullptr) == nullptr);

    // The last event of every list compiles: the bound is not off by one.
    for (int kind = 0; kind < 4; ++kind) {
        MlogRecord r = sampleRecord();
        r.kind = quint16(kind);
        r.event = quint16(eventNames(kind).size() - 1);
        QVERIFY(compile(encodeRecord(r)).result != -1);
    }
    // Compiling needs no init, also not after a done.
    QVERIFY(mlog_done() != -1);
    QVERIFY(compile(good).result != -1);
    QVERIFY(mlog_init() != -1);
    QVERIFY(compile(good).result != -1);
    QVERIFY(!compile(good).nullText);
}

void TestMarvokLog::localDates()
{
    // The library keeps the text of the last local minute; times that go
    // back, jump, cross minutes and offset changes must still come out
    // right, also after a change of time zone between two batches.
    const QByteArray savedTz = qgetenv("TZ");
    const bool hadTz = qEnvironmentVariableIsSet("TZ");
    for (const char *zone : {"UTC", "Europe/Berlin", "Asia/Kolkata", "America/St_Johns"}) {
        qputenv("TZ", zone);
        tzset();
        mlog_done();
        // Around the spring change in Berlin (2026-03-29 01:00 UTC).
        const quint32 change = 1774746000;
        QList<quint32> times;
        for (quint32 t = change - 125; t < change + 125; t += 7)
            times << t;
        times << change - 1 << change << change + 59 << change - 60 << 0 << 0xFFFFFFFFu << 1796548827;
        for (quint32 t : times) {
            MlogRecord r = sampleRecord();
            r.time = t;
            r.payload.clear();
            const QByteArray record = encodeRecord(r);
            void *slot = nullptr;
            QVERIFY(mlog_compile(&slot, record.constData(), record.size()) != -1);
            char *text = mlog_txt_malloc(slot);
            const QString shown = QString::fromUtf8(text).right(19);
            std::free(text);
            std::free(slot);
            QVERIFY2(shown == localDate(t), qPrintable(QStringLiteral("%1 at %2: %3").arg(zone).arg(t).arg(shown)));
        }
        mlog_done();
    }
    if (hadTz)
        qputenv("TZ", savedTz);
    else
        qunsetenv("TZ");
    tzset();
    mlog_done();
}

QTEST_GUILESS_MAIN(TestMarvokLog)
#include "tst_marvoklog.moc"
