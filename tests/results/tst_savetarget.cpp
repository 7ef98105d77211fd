// Saving results over an existing file: the whole-or-nothing replacement
// where it loses nothing of the old file, the file itself written in place
// where a new file would (other hard links, another owner), and the event
// loop turning during the final sync.
#include "resultlog.h"
#include "savetarget.h"

#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct stat statOf(const QString &path)
{
    struct stat st{};
    ::stat(QFile::encodeName(path).constData(), &st);
    return st;
}

} // namespace

class TestSaveTarget : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void replacedFileKeepsWhatItIs_data()
    {
        QTest::addColumn<QString>("old");
        QTest::addColumn<bool>("inPlace");
        QTest::newRow("own file, one link: replaced whole") << "own" << false;
        QTest::newRow("second hard link") << "linked" << true;
        QTest::newRow("another owner") << "owner" << true;
    }

    void replacedFileKeepsWhatItIs()
    {
        QFETCH(QString, old);
        QFETCH(bool, inPlace);
        if (old == QLatin1String("owner") && ::geteuid() != 0)
            QSKIP("giving a file to another owner needs root");
        const QString log = m_dir.filePath(QStringLiteral("save.mlog"));
        QVERIFY(writeLog(log, 30, [](int i) { return numbered(i, 3); }));
        Results results(log);
        results.model.runFilter();
        QCOMPARE(results.model.rowCount(), 30);

        const QString target = m_dir.filePath(old + QStringLiteral(".txt"));
        const QString link = m_dir.filePath(old + QStringLiteral("-link.txt"));
        QFile::remove(target);
        QFile::remove(link);
        {
            QFile f(target);
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write("old rows\n") == 9);
        }
        if (old == QLatin1String("linked"))
            QCOMPARE(::link(QFile::encodeName(target).constData(), QFile::encodeName(link).constData()), 0);
        if (old == QLatin1String("owner"))
            QCOMPARE(::chown(QFile::encodeName(target).constData(), 4242, 4242), 0);
        const struct stat before = statOf(target);
        QCOMPARE(SaveTarget(target).inPlace(), inPlace);

        QString error;
        QVERIFY2(results.model.saveToFile(target, &error), qPrintable(error));
        const QByteArray saved = readAll(target);
        QCOMPARE(saved.count('\n'), 30);
        QVERIFY(saved.contains("rec=29"));
        const struct stat after = statOf(target);
        QCOMPARE(after.st_ino == before.st_ino, inPlace);
        QCOMPARE(after.st_uid, before.st_uid);
        QCOMPARE(after.st_gid, before.st_gid);
        if (old == QLatin1String("linked")) {
            QCOMPARE(after.st_nlink, nlink_t(2));
            QCOMPARE(readAll(link), saved);
        }
    }

    // The sync that ends a save of many megabytes comes in pieces, with a
    // call between them, whichever way the file is written.
    void finalSyncTurns_data()
    {
        QTest::addColumn<bool>("linked");
        QTest::newRow("replaced") << false;
        QTest::newRow("in place") << true;
    }

    void finalSyncTurns()
    {
        QFETCH(bool, linked);
        const QString target = m_dir.filePath(QStringLiteral("big%1.txt").arg(linked));
        QFile::remove(target);
        {
            QFile f(target);
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        if (linked)
            QCOMPARE(::link(QFile::encodeName(target).constData(), QFile::encodeName(target + "2").constData()), 0);
        SaveTarget file(target);
        QCOMPARE(file.inPlace(), linked);
        QVERIFY(file.open());
        const QByteArray piece(1 << 20, 'x');
        for (int i = 0; i < 40; ++i)
            QCOMPARE(::write(file.handle(), piece.constData(), size_t(piece.size())), ssize_t(piece.size()));
        int calls = 0;
        QVERIFY2(file.commit([&calls] { ++calls; }), qPrintable(file.errorString()));
        QCOMPARE(QFileInfo(target).size(), qint64(40) << 20);
        // Pieces of 8 MiB, unless the file system cannot sync in pieces.
        QVERIFY2(calls == 5 || calls == 0, qPrintable(QString::number(calls)));
    }
};

QTEST_MAIN(TestSaveTarget)
#include "tst_savetarget.moc"
