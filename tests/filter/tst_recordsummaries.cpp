// A block summary made from records' headers (BlockSummary::addRecord) never
// rules out a filter that the record's text matches, whatever the payload,
// event name or kind; and it still rules out what the record does not hold.
#include <QtTest>

#include "blockquestion.h"
#include "blocksummary.h"
#include "cmatcher.h"
#include "filtermatch.h"
#include "mlog.h"
#include "mlogwriter.h"

#include <cstdlib>

namespace {

// The record's bytes and the library's text of them.
struct Compiled
{
    QByteArray record;
    QByteArray text;
};

Compiled compiled(const MlogRecord &r)
{
    Compiled c;
    c.record = encodeRecord(r);
    void *slot = nullptr;
    if (mlog_compile(&slot, c.record.constData(), c.record.size()) != -1) {
        char *t = mlog_txt_malloc(slot);
        c.text = t ? QByteArray(t) : QByteArray();
        std::free(t);
    }
    std::free(slot);
    mlog_done();
    return c;
}

MlogRecord record(quint16 kind, quint16 event, quint32 status, quint32 uid, quint32 gid, const QByteArray &payload)
{
    MlogRecord r;
    r.time = 1780000000;
    r.subject[0] = 4212;
    r.subject[1] = 1;
    r.subject[2] = uid;
    r.subject[3] = gid;
    r.subject[4] = 3;
    r.kind = kind;
    r.event = event;
    r.status = status;
    r.payload = payload;
    return r;
}

BlockSummary summaryOf(const QList<Compiled> &records)
{
    BlockSummary s;
    for (const Compiled &c : records)
        s.addRecord(c.record.constData(), c.record.size(), c.text.constData());
    return s;
}

} // namespace

class TestRecordSummaries : public QObject
{
    Q_OBJECT

private slots:
    // Each row: one record and a filter its text matches, in the parameters
    // or the head; the summary of a block of it beside a plain record must
    // answer "maybe".
    void neverRulesOutAMatch_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("event");
        QTest::addColumn<quint32>("status");
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<QList<QStringList>>("lists");
        const QStringList &f = fragments();
        // File events 1 and 3: openat, unlink; process 7: ptrace; user 3: su.
        QTest::newRow("head: user, group, event, refusal")
            << 2 << 1 << 1u << QByteArray("/etc/shadow")
            << QList<QStringList>{{f.at(1)}, {f.at(4)}, {f.at(8) + "openat"}, {f.at(7) + "4242"}, {f.at(6) + "77"}};
        QTest::newRow("head: short user prefix") << 2 << 1 << 0u << QByteArray() << QList<QStringList>{{f.at(7) + "42"}};
        QTest::newRow("subject in the parameters")
            << 1 << 7 << 0u << QByteArray("note=<5,6,31337,8,9>") << QList<QStringList>{{f.at(7) + "31337"}, {f.at(6) + "8"}};
        QTest::newRow("status in the parameters")
            << 1 << 7 << 0u << QByteArray("cmd=a > [f] b") << QList<QStringList>{{f.at(1)}, {f.at(8) + "ptrace"}};
        QTest::newRow("event in the parameters")
            << 2 << 3 << 0u << QByteArray("x [s] mount y") << QList<QStringList>{{f.at(8) + "mount"}};
        QTest::newRow("payload shorter than sixteen bytes")
            << 2 << 3 << 0u << QByteArray("[f] kill") << QList<QStringList>{{f.at(8) + "kill"}};
        QTest::newRow("mark as the sixteenth byte")
            << 2 << 3 << 0u << QByteArray("0123456789abcde> [f]") << QList<QStringList>{{f.at(1)}};
        QTest::newRow("mark as the seventeenth byte")
            << 2 << 3 << 0u << QByteArray("0123456789abcdef> [f]") << QList<QStringList>{{f.at(1)}};
        QTest::newRow("mark in the last sixteen bytes")
            << 2 << 3 << 0u << QByteArray("0123456789abcdefghijklmnopqrstu> [f]") << QList<QStringList>{{f.at(1)}};
        QTest::newRow("control characters before a status")
            << 2 << 3 << 0u << QByteArray("z>\t[f]") << QList<QStringList>{{f.at(1)}};
        QTest::newRow("event name shorter than the prefix")
            << 0 << 3 << 0u << QByteArray("to root") << QList<QStringList>{{f.at(8) + "su 20"}, {f.at(2)}};
        QTest::newRow("non-ASCII payload") << 3 << 0 << 1u << QByteArray("\xff\xfe <1,2,99,5") << QList<QStringList>{{f.at(7) + "99"}};
    }
    void neverRulesOutAMatch()
    {
        QFETCH(int, kind);
        QFETCH(int, event);
        QFETCH(quint32, status);
        QFETCH(QByteArray, payload);
        QFETCH(QList<QStringList>, lists);
        const Compiled odd = compiled(record(quint16(kind), quint16(event), status, 4242, 77, payload));
        QVERIFY(!odd.text.isEmpty());
        const CMatcher matcher(lists);
        QVERIFY2(matcher.matches(QString::fromUtf8(odd.text)), odd.text.constData()); // the row asks what it should
        const BlockQuestion question(lists);
        QVERIFY(question.asksAnything());
        const Compiled plain = compiled(record(1, 0, 0, 1000, 1000, "/usr/bin/ls"));
        QVERIFY(question.mayMatch(summaryOf({plain, odd})));
        QVERIFY(question.mayMatch(summaryOf({odd})));
    }

    // The other side: what a block of plain records does not hold is ruled
    // out, and what it does hold is not.
    void rulesOutWhatIsNotThere_data()
    {
        QTest::addColumn<QList<QStringList>>("lists");
        QTest::addColumn<bool>("may");
        const QStringList &f = fragments();
        QTest::newRow("its user") << QList<QStringList>{{f.at(7) + "1000"}} << true;
        QTest::newRow("another user") << QList<QStringList>{{f.at(7) + "4242"}} << false;
        QTest::newRow("its group") << QList<QStringList>{{f.at(6) + "1000"}} << true;
        QTest::newRow("its event") << QList<QStringList>{{f.at(8) + "execve"}} << true;
        QTest::newRow("another event") << QList<QStringList>{{f.at(8) + "ptrace"}} << false;
        QTest::newRow("its kind") << QList<QStringList>{{f.at(3)}} << true;
        QTest::newRow("another kind") << QList<QStringList>{{f.at(4)}} << false;
        QTest::newRow("its status") << QList<QStringList>{{f.at(0)}} << true;
        QTest::newRow("refusals") << QList<QStringList>{{f.at(1)}} << false;
    }
    void rulesOutWhatIsNotThere()
    {
        QFETCH(QList<QStringList>, lists);
        QFETCH(bool, may);
        QList<Compiled> block;
        for (int i = 0; i < 20; ++i)
            block.append(compiled(record(1, 0, 0, 1000, 1000, "/usr/bin/ls -l /home/u" + QByteArray::number(i))));
        const BlockSummary summary = summaryOf(block);
        QCOMPARE(int(summary.records), 20);
        QCOMPARE(BlockQuestion(lists).mayMatch(summary), may);
    }
};

QTEST_GUILESS_MAIN(TestRecordSummaries)
#include "tst_recordsummaries.moc"
