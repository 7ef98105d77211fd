// The event catalogue: name blocks as the library hands them, and the
// descriptions the event list shows.
#include "eventcatalogue.h"

#include <QtTest>

class TestEventCatalogue : public QObject
{
    Q_OBJECT
private slots:
    void namesFromBlock_data()
    {
        QTest::addColumn<QByteArray>("block");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("single NUL") << QByteArray("\0", 1) << QStringList();
        QTest::newRow("last name without NUL is lost") << QByteArray("a\0b", 3) << QStringList{"a"};
        QTest::newRow("empty name in the middle") << QByteArray("a\0\0b\0", 5) << QStringList{"a", "", "b"};
        QTest::newRow("empty first piece") << QByteArray("\0a\0", 3) << QStringList();
        QTest::newRow("UTF-8") << QByteArray("\xc3\xbc\x62\0", 4) << QStringList{QStringLiteral("\u00fcb")};
    }

    void namesFromBlock()
    {
        QFETCH(QByteArray, block);
        QFETCH(QStringList, names);
        QCOMPARE(eventNamesFromBlock(block), names);
    }

    void descriptions()
    {
        QCOMPARE(eventDescription("chmod"), QStringLiteral("Event chmod for audit: user [u], file [f]"));
        QCOMPARE(eventDescription("kill"), QStringLiteral("Event kill for audit: user process [p], custom [c]"));
        QCOMPARE(eventDescription("open"), QStringLiteral("Event open for audit: file [f]")); // not openat
        QCOMPARE(eventDescription("nosuch"), QStringLiteral("Event nosuch for audit: "));
        QVERIFY(eventNames(4).isEmpty());
        // The editor describes all events from one catalogue: the same texts.
        const EventCatalogue catalogue;
        QStringList all;
        for (int category = 0; category < 4; ++category)
            all += catalogue.names(category) == eventNames(category) ? eventNames(category) : QStringList{"differs"};
        QCOMPARE(catalogue.allNames(), all);
        for (const QString &name : all + QStringList{"nosuch"})
            QCOMPARE(catalogue.description(name), eventDescription(name));
    }
};

QTEST_GUILESS_MAIN(TestEventCatalogue)
#include "tst_eventcatalogue.moc"
