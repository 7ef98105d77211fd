// The log watcher: growth, rotation and shrinking told apart, by
// notification and by the poll alike.
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "logpath.h"
#include "logwatcher.h"

#include <fcntl.h>
#include <unistd.h>

namespace {

// By the name's bytes, which may not be UTF-8.
bool writeBytes(const QString &path, const QByteArray &bytes, QIODevice::OpenMode mode)
{
    const int flags = O_WRONLY | O_CREAT | (mode & QIODevice::Append ? O_APPEND : O_TRUNC);
    QFile file;
    return file.open(::open(LogPath::toBytes(path).constData(), flags, 0644), QIODevice::WriteOnly,
                     QFileDevice::AutoCloseHandle)
           && file.write(bytes) == bytes.size() && file.flush();
}

} // namespace

class TestLogWatcher : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    // What happens to the file, and the signal that tells it. The poll
    // alone (notifications gathered for longer than the test waits) tells
    // the same.
    void tellsGrowthFromReplacement_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("notified");
        QTest::addColumn<bool>("grown");
        QTest::addColumn<QByteArray>("prefix"); // of the file name
        for (bool notified : {true, false}) {
            const char *how = notified ? "notified" : "polled";
            QTest::addRow("appended, %s", how) << "append" << notified << true << QByteArray();
            QTest::addRow("rotated, %s", how) << "rotate" << notified << false << QByteArray();
            QTest::addRow("shrunk, %s", how) << "shrink" << notified << false << QByteArray();
        }
        // Qt cannot watch a name that is not UTF-8: the poll follows it.
        QTest::addRow("appended, name not UTF-8") << "append" << false << true << QByteArray("\xff");
        QTest::addRow("rotated, name not UTF-8") << "rotate" << false << false << QByteArray("\xff");
    }
    void tellsGrowthFromReplacement()
    {
        QFETCH(QString, change);
        QFETCH(bool, notified);
        QFETCH(bool, grown);
        QFETCH(QByteArray, prefix);
        const QString path = m_dir.filePath(LogPath::fromBytes(prefix) + QStringLiteral("%1-%2.mlog").arg(change).arg(notified));
        QVERIFY(writeBytes(path, QByteArray(4000, 'a'), QIODevice::Truncate));
        LogWatcher watcher(nullptr, notified ? 60000 : 50, notified ? 20 : 60000);
        watcher.watch(path);
        QSignalSpy grownSpy(&watcher, &LogWatcher::grown);
        QSignalSpy replacedSpy(&watcher, &LogWatcher::replaced);
        if (change == QLatin1String("append")) {
            QVERIFY(writeBytes(path, QByteArray(100, 'b'), QIODevice::Append));
        } else if (change == QLatin1String("shrink")) {
            QVERIFY(writeBytes(path, QByteArray(10, 'c'), QIODevice::Truncate));
        } else {
            QCOMPARE(::rename(LogPath::toBytes(path).constData(), LogPath::toBytes(path + ".1").constData()), 0);
            QVERIFY(writeBytes(path, QByteArray(9000, 'd'), QIODevice::Truncate));
        }
        QVERIFY((grown ? grownSpy : replacedSpy).wait(5000));
        QCOMPARE(grownSpy.count(), grown ? 1 : 0);
        QCOMPARE(replacedSpy.count(), grown ? 0 : 1);
        // The new state is the baseline: the next growth is growth again.
        QVERIFY(writeBytes(path, QByteArray(100, 'e'), QIODevice::Append));
        QVERIFY(grownSpy.wait(5000));
        QCOMPARE(replacedSpy.count(), grown ? 0 : 1);
        // QTemporaryDir cannot remove a name that is not UTF-8.
        for (const QString &name : {path, path + ".1"})
            ::unlink(LogPath::toBytes(name).constData());
    }

    // While the file is as it was, or no file bears the name (between
    // moving a log away and making the next), nothing is told; stopping
    // ends all telling.
    void quietWithoutFileAndWhenStopped()
    {
        const QString path = m_dir.filePath(QStringLiteral("gone.mlog"));
        QVERIFY(writeBytes(path, QByteArray(400, 'a'), QIODevice::Truncate));
        LogWatcher watcher(nullptr, 60000, 10);
        watcher.watch(path);
        QSignalSpy replacedSpy(&watcher, &LogWatcher::replaced);
        watcher.check();
        QCOMPARE(replacedSpy.count(), 0);
        QVERIFY(QFile::remove(path));
        watcher.check();
        QCOMPARE(replacedSpy.count(), 0);
        QVERIFY(writeBytes(path, QByteArray(10, 'b'), QIODevice::Truncate));
        watcher.check();
        QCOMPARE(replacedSpy.count(), 1);
        watcher.watch(QString());
        QVERIFY(writeBytes(path, QByteArray(10, 'c'), QIODevice::Append));
        watcher.check();
        QCOMPARE(replacedSpy.count(), 1);
        QVERIFY(watcher.path().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestLogWatcher)
#include "tst_logwatcher.moc"
