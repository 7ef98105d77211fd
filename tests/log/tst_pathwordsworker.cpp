// The thread that makes path words: a group's words are those the same
// texts make on the walk's own thread, whatever the buffers they come in,
// however far the walk runs ahead of it, and only for groups finished.
#include <QRandomGenerator>
#include <QtTest>

#include "pathwordsworker.h"

namespace {

// Texts of random paths (words of 3 to 6 letters, some capitals, some
// cut by the text's end), each seed's words its own.
QByteArrayList textsOf(int count, int length, quint32 seed)
{
    QRandomGenerator random(seed);
    QByteArrayList texts;
    for (int i = 0; i < count; ++i) {
        QByteArray text = "[f] <1,2,3,4,5> [s] open ";
        while (text.size() < length) {
            text += '/';
            const int letters = 3 + int(random.bounded(4));
            for (int l = 0; l < letters; ++l)
                text += char((random.bounded(2) ? 'a' : 'A') + random.bounded(26));
        }
        texts.append(text.left(std::max(1, length - int(random.bounded(8)))));
    }
    return texts;
}

} // namespace

class TestPathWordsWorker : public QObject
{
    Q_OBJECT
private slots:
    void wordsAsMadeInline_data()
    {
        QTest::addColumn<int>("texts");
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("perBuffer");
        QTest::addColumn<bool>("threaded");
        for (const bool threaded : {true, false}) {
            const char *const how = threaded ? "" : ", without a thread";
            QTest::addRow("one text%s", how) << 1 << 60 << 1 << threaded;
            QTest::addRow("one text a buffer%s", how) << 300 << 120 << 1 << threaded;
            // More buffers than may wait for the thread, and more bytes.
            QTest::addRow("many small buffers%s", how) << 2000 << 30 << 1 << threaded;
            QTest::addRow("large buffers%s", how) << 20000 << 200 << 2000 << threaded;
        }
    }
    void wordsAsMadeInline()
    {
        QFETCH(int, texts);
        QFETCH(int, length);
        QFETCH(int, perBuffer);
        QFETCH(bool, threaded);
        PathWordsWorker worker(threaded);
        std::vector<PathWords> inline_(3);
        for (int group = 0; group < 3; ++group) {
            worker.restart();
            const QByteArrayList all = textsOf(texts, length, quint32(group + 1));
            QByteArray buffer;
            for (int i = 0; i < all.size(); ++i) {
                inline_[size_t(group)].addText(all.at(i).constData(), all.at(i).size());
                buffer.append(all.at(i).constData(), all.at(i).size() + 1);
                if ((i + 1) % perBuffer == 0 || i + 1 == all.size()) {
                    buffer = worker.add(buffer, 1024);
                    QVERIFY(buffer.isEmpty());
                }
            }
            // The second group is left unfinished: a walk that gave up on it.
            if (group != 1)
                worker.finish(group, group * 100, group * 100 + 99);
        }
        const std::vector<PathWordsWorker::Group> made = worker.take(true);
        QCOMPARE(int(made.size()), 2);
        QCOMPARE(made[0].group, 0);
        QCOMPARE(made[1].group, 2);
        QCOMPARE(made[1].start, qint64(200));
        QCOMPARE(made[1].end, qint64(299));
        for (const PathWordsWorker::Group &g : made) {
            QVERIFY(std::memcmp(g.words.bytes, inline_[size_t(g.group)].bytes, sizeof g.words.bytes) == 0);
            QVERIFY(std::any_of(std::begin(g.words.bytes), std::end(g.words.bytes), [](quint8 b) { return b; }));
        }
        QVERIFY(worker.take(true).empty());
    }

    // A buffer the walk's reader still holds is never written into again.
    void heldBufferLeftAlone()
    {
        PathWordsWorker worker;
        worker.restart();
        QByteArray held = QByteArray("/etc/shadow", 12);
        QByteArray next = worker.add(held, 16);
        for (int i = 0; i < 100; ++i) {
            next.append("/srv/payroll", 13);
            next = worker.add(next, 16);
        }
        worker.finish(0, 0, 1);
        QCOMPARE(int(worker.take(true).size()), 1);
        QCOMPARE(held, QByteArray("/etc/shadow", 12));
    }

    // Ending the thread with work waiting neither hangs nor makes words.
    void endsWithWorkWaiting()
    {
        QByteArray big;
        for (int i = 0; i < 20000; ++i)
            big += "/usr/lib/libc.so.6 /etc/passwd";
        big += '\0';
        auto worker = std::make_unique<PathWordsWorker>();
        worker->restart();
        for (int i = 0; i < 3; ++i)
            worker->add(big, 0);
        worker->finish(0, 0, 1);
        worker.reset();
    }
};

QTEST_GUILESS_MAIN(TestPathWordsWorker)
#include "tst_pathwordsworker.moc"
