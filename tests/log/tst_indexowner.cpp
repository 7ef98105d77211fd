// Logs of one name in different folders share one index file: the index of
// one must never be taken for the other's, however well its ends fit.
#include "logbuilder.h"

#include <QtTest>

#include <unistd.h>

namespace {

const quint32 kT0 = 1780000000;

// Five records, one a second, of 80 bytes of payload each.
LogBuilder firstLog()
{
    LogBuilder b;
    for (int i = 0; i < 5; ++i)
        b.add(kT0 + quint32(i), QByteArray(80, 'a'));
    return b;
}

// A log whose record starts and times at the first log's first and last
// index entries are the same, with other records between: six short ones
// where the first log has three, then three in the last second.
LogBuilder otherLog()
{
    LogBuilder b;
    b.add(kT0, QByteArray(80, 'b'));
    for (int i = 0; i < 6; ++i)
        b.add(kT0 + 1, QByteArray(20, 'c'));
    for (int i = 0; i < 3; ++i)
        b.add(kT0 + 4, QByteArray(80, 'd'));
    return b;
}

} // namespace

class TestIndexOwner : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid() && useOwnDocuments(m_dir));
        QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("a")) && QDir(m_dir.path()).mkpath(QStringLiteral("b")));
    }
    void init() { QVERIFY(clearIndexFolder()); }

    // `other`: the second log is another file ("copy": its own bytes; "link":
    // a hard link to the first, the same file); `later`: seconds its time
    // is after the first's (0: the same time, as if unchanged); `sameReader`:
    // one CLog reads both.
    void otherLogOfTheSameName_data()
    {
        QTest::addColumn<QString>("other");
        QTest::addColumn<int>("later");
        QTest::addColumn<bool>("sameReader");
        QTest::addColumn<int>("records");
        for (const bool same : {false, true}) {
            const char *reader = same ? "same reader" : "fresh reader";
            QTest::addRow("other log, grown, %s", reader) << "copy" << 60 << same << 10;
            QTest::addRow("other log, unchanged, %s", reader) << "copy" << 0 << same << 10;
            QTest::addRow("hard link, %s", reader) << "link" << 0 << same << 5;
        }
    }

    void otherLogOfTheSameName()
    {
        QFETCH(QString, other);
        QFETCH(int, later);
        QFETCH(bool, sameReader);
        QFETCH(int, records);
        const QString first = m_dir.filePath(QStringLiteral("a/kernel.mlog"));
        const QString second = m_dir.filePath(QStringLiteral("b/kernel.mlog"));
        QFile::remove(first);
        QFile::remove(second);
        QVERIFY(firstLog().save(first));
        const QDateTime modified = QDateTime::currentDateTime().addSecs(-600);
        QVERIFY(setModified(first, modified));
        CLog reader;
        reader.readLog(first);
        QCOMPARE(reader.recordCount(), 5);
        QVERIFY(QFile::exists(CLog::indexFilePath(second)));

        if (other == QLatin1String("link"))
            QCOMPARE(::link(QFile::encodeName(first).constData(), QFile::encodeName(second).constData()), 0);
        else
            QVERIFY(otherLog().save(second));
        if (other != QLatin1String("link"))
            QVERIFY(setModified(second, modified.addSecs(later)));
        CLog fresh;
        CLog &log = sameReader ? reader : fresh;
        log.readLog(second);
        QCOMPARE(log.recordCount(), records);
        QCOMPARE(log.blockCount(), other == QLatin1String("link") ? 5 : 3);
        // And back: the first log is read as its own again.
        CLog again;
        again.readLog(first);
        QCOMPARE(again.recordCount(), 5);
    }
};

QTEST_GUILESS_MAIN(TestIndexOwner)
#include "tst_indexowner.moc"
