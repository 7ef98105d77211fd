// Saving results over what a name holds now: the whole-or-nothing
// replacement where it loses nothing of the old file, the rows copied in
// once whole where a new file would lose something (other hard links,
// another owner), devices and FIFOs written into, names taken by their
// bytes, and the event loop turning during the final sync.
#include "logpath.h"
#include "resultlog.h"
#include "savetarget.h"

#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/sysmacros.h>
#include <sys/stat.h>
#include <unistd.h>

Q_DECLARE_METATYPE(SaveTarget::Way)

namespace {

struct stat statOf(const QByteArray &path)
{
    struct stat st{};
    ::stat(path.constData(), &st);
    return st;
}

bool writeFile(const QByteArray &path, const QByteArray &content)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const bool ok = fd >= 0 && ::write(fd, content.constData(), size_t(content.size())) == content.size();
    return ::close(fd) == 0 && ok;
}

// The file-size limit of this process lowered for as long as it lives, so
// that a write past it fails with EFBIG as on a full disk.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t limit)
    {
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        const struct rlimit lowered{limit, m_old.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~FileSizeLimit() { ::setrlimit(RLIMIT_FSIZE, &m_old); }

private:
    struct rlimit m_old;
};

} // namespace

class TestSaveTarget : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_log;

    // The entries of the test folder named after `base`, so that nothing of
    // a save is seen to be left beside its target.
    QStringList entriesOf(const QByteArray &base) const
    {
        QStringList names;
        for (const QString &path : LogPath::rawByteEntries(m_dir.path(), QString()))
            names << LogPath::toBytes(path).mid(LogPath::toBytes(m_dir.path()).size() + 1);
        for (const QString &name : QDir(m_dir.path()).entryList(QDir::Files | QDir::System))
            names << name;
        QStringList matching;
        for (const QString &name : names) {
            if (LogPath::toBytes(name).startsWith(base) || name.startsWith(QString::fromUtf8(base)))
                matching << name;
        }
        matching.removeDuplicates();
        return matching;
    }

private slots:
    void initTestCase()
    {
        m_log = m_dir.filePath(QStringLiteral("save.mlog"));
        QVERIFY(writeLog(m_log, 3000, [](int i) { return numbered(i, 3); }));
    }

    void replacedFileKeepsWhatItIs_data()
    {
        QTest::addColumn<QByteArray>("old");
        QTest::addColumn<SaveTarget::Way>("way");
        QTest::newRow("own file, one link: replaced whole") << QByteArray("own") << SaveTarget::Way::Replace;
        QTest::newRow("through a symbolic link: its target replaced") << QByteArray("symlink") << SaveTarget::Way::Replace;
        QTest::newRow("second hard link: copied in") << QByteArray("linked") << SaveTarget::Way::CopyIn;
        QTest::newRow("another owner: copied in") << QByteArray("owner") << SaveTarget::Way::CopyIn;
        QTest::newRow("name that is not UTF-8") << QByteArray("raw\xff") << SaveTarget::Way::Replace;
    }

    void replacedFileKeepsWhatItIs()
    {
        QFETCH(QByteArray, old);
        QFETCH(SaveTarget::Way, way);
        if (old == QByteArray("owner") && ::geteuid() != 0)
            QSKIP("giving a file to another owner needs root");
        RunResults results(m_log);
        QCOMPARE(results.model.rowCount(), 3000);

        // A name given by bytes that are not UTF-8 comes as LogPath makes it.
        const QByteArray folder = LogPath::toBytes(m_dir.path()) + '/';
        const QByteArray &base = old;
        const QByteArray target = folder + base + ".txt";
        const QByteArray link = folder + base + "-link.txt";
        ::unlink(target.constData());
        ::unlink(link.constData());
        QVERIFY(writeFile(target, "old rows\n"));
        // A mode that no new file is given: the replacement takes it over.
        QCOMPARE(::chmod(target.constData(), 0640), 0);
        if (old == QByteArray("linked"))
            QCOMPARE(::link(target.constData(), link.constData()), 0);
        if (old == QByteArray("owner"))
            QCOMPARE(::chown(target.constData(), 4242, 4242), 0);
        const QByteArray named = old == QByteArray("symlink") ? link : target;
        if (old == QByteArray("symlink"))
            QCOMPARE(::symlink(target.constData(), link.constData()), 0);
        const struct stat before = statOf(target);
        const QString name = LogPath::fromBytes(named);
        QCOMPARE(SaveTarget(name).way(), way);

        QString error;
        QVERIFY2(results.model.saveToFile(name, &error), qPrintable(error));
        const QByteArray saved = fileContents(LogPath::fromBytes(target));
        QCOMPARE(saved.count('\n'), 3000);
        QVERIFY(saved.contains("rec=2999"));
        const struct stat after = statOf(target);
        QCOMPARE(after.st_ino == before.st_ino, way == SaveTarget::Way::CopyIn);
        QCOMPARE(after.st_uid, before.st_uid);
        QCOMPARE(after.st_gid, before.st_gid);
        QCOMPARE(after.st_mode, before.st_mode);
        if (old == QByteArray("linked")) {
            QCOMPARE(after.st_nlink, nlink_t(2));
            QCOMPARE(fileContents(LogPath::fromBytes(link)), saved);
        }
        if (old == QByteArray("symlink")) {
            struct stat st;
            QVERIFY(::lstat(link.constData(), &st) == 0 && S_ISLNK(st.st_mode));
        }
        QCOMPARE(entriesOf(base + ".txt.").size(), 0);
        ::unlink(target.constData());
        ::unlink(link.constData());
    }

    // A save that fails (here past the file-size limit, as on a full disk)
    // leaves an existing file as it was, whichever way it would have been
    // written, and nothing beside it.
    void failedSaveKeepsTheOldFile_data()
    {
        QTest::addColumn<QString>("old");
        QTest::newRow("own file") << "own";
        QTest::newRow("second hard link") << "linked";
    }

    void failedSaveKeepsTheOldFile()
    {
        QFETCH(QString, old);
        RunResults results(m_log);
        const QByteArray target = QFile::encodeName(m_dir.filePath(old + QStringLiteral("-full.txt")));
        const QByteArray link = target + "-link";
        ::unlink(target.constData());
        ::unlink(link.constData());
        QVERIFY(writeFile(target, "old rows\n"));
        if (old == QLatin1String("linked"))
            QCOMPARE(::link(target.constData(), link.constData()), 0);
        QString error;
        {
            const FileSizeLimit limit(4096);
            QVERIFY(!results.model.saveToFile(QString::fromLocal8Bit(target), &error));
        }
        QVERIFY2(error.contains(qt_error_string(EFBIG)), qPrintable(error));
        QCOMPARE(fileContents(QString::fromLocal8Bit(target)), QByteArray("old rows\n"));
        QCOMPARE(entriesOf(QFileInfo(QString::fromLocal8Bit(target)).fileName().toUtf8() + '.').size(), 0);
    }

    // A target that is not a regular file is written into and stays what
    // it is; a full device fails with its error.
    void specialFilesWrittenInto_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("failure");
        QTest::newRow("FIFO") << "fifo" << QString();
        QTest::newRow("null device") << "/dev/null" << QString();
        QTest::newRow("full device") << "/dev/full" << qt_error_string(ENOSPC);
        QTest::newRow("copy of the null device") << "null-copy" << QString();
        QTest::newRow("copy of the full device") << "full-copy" << qt_error_string(ENOSPC);
    }

    void specialFilesWrittenInto()
    {
        QFETCH(QString, kind);
        QFETCH(QString, failure);
        QByteArray target = QFile::encodeName(kind);
        int reader = -1;
        if (kind == QLatin1String("fifo")) {
            target = QFile::encodeName(m_dir.filePath(QStringLiteral("rows.fifo")));
            ::unlink(target.constData());
            QCOMPARE(::mkfifo(target.constData(), 0600), 0);
            // The reader is there before the save, which would wait for one.
            reader = ::open(target.constData(), O_RDONLY | O_NONBLOCK);
            QVERIFY(reader >= 0);
        } else if (kind.endsWith(QLatin1String("-copy"))) {
            if (::geteuid() != 0)
                QSKIP("making a device node needs root");
            target = QFile::encodeName(m_dir.filePath(kind));
            ::unlink(target.constData());
            QCOMPARE(::mknod(target.constData(), S_IFCHR | 0666, makedev(1, kind.startsWith(QLatin1String("full")) ? 7 : 3)), 0);
        }
        const struct stat before = statOf(target);
        // A few rows, fewer than a pipe holds.
        Results results(m_log);
        results.model.useRange(QDateTime::fromSecsSinceEpoch(T0), QDateTime::fromSecsSinceEpoch(T0 + 2));
        QCOMPARE(SaveTarget(QString::fromLocal8Bit(target)).way(), SaveTarget::Way::Direct);
        QString error;
        const bool saved = results.model.saveToFile(QString::fromLocal8Bit(target), &error, ExportFormat::Text, true);
        QCOMPARE(saved, failure.isEmpty());
        QVERIFY2(error.contains(failure), qPrintable(error));
        const struct stat after = statOf(target);
        QCOMPARE(after.st_mode, before.st_mode);
        QCOMPARE(after.st_rdev, before.st_rdev);
        QCOMPARE(after.st_ino, before.st_ino);
        if (reader >= 0) {
            QByteArray got(1 << 16, '\0');
            const ssize_t n = ::read(reader, got.data(), size_t(got.size()));
            ::close(reader);
            QVERIFY(n > 0);
            got.truncate(int(n));
            QVERIFY2(got.count('\n') >= 6 && got.contains("\t[f] "), got.constData());
        }
        if (target.startsWith(QFile::encodeName(m_dir.path())))
            ::unlink(target.constData());
    }

    // A cancel seen right before the rows go in place keeps the old file
    // when only a whole file may replace it.
    void cancelBeforeInPlaceKeepsOldFile()
    {
        const QByteArray target = QFile::encodeName(m_dir.filePath(QStringLiteral("late.txt")));
        QVERIFY(writeFile(target, "old rows\n"));
        for (const bool cancel : {true, false}) {
            SaveTarget file(QString::fromLocal8Bit(target));
            QVERIFY(file.open());
            QCOMPARE(::write(file.handle(), "new rows\n", 9), ssize_t(9));
            const bool put = file.commit({}, [cancel] { return !cancel; });
            QCOMPARE(put, !cancel);
            QCOMPARE(file.abandoned(), cancel);
            QCOMPARE(fileContents(QString::fromLocal8Bit(target)), cancel ? QByteArray("old rows\n") : QByteArray("new rows\n"));
            QCOMPARE(entriesOf("late.txt.").size(), 0);
        }
    }

    // The sync that ends a save of many megabytes comes in pieces, with a
    // call between them, whichever way the file is written.
    void finalSyncTurns_data()
    {
        QTest::addColumn<bool>("linked");
        QTest::newRow("replaced") << false;
        QTest::newRow("copied in") << true;
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
        QCOMPARE(file.way(), linked ? SaveTarget::Way::CopyIn : SaveTarget::Way::Replace);
        QVERIFY(file.open());
        const QByteArray piece(1 << 20, 'x');
        for (int i = 0; i < 40; ++i)
            QCOMPARE(::write(file.handle(), piece.constData(), size_t(piece.size())), ssize_t(piece.size()));
        int calls = 0;
        QVERIFY2(file.commit([&calls] { ++calls; }), qPrintable(file.errorString()));
        QCOMPARE(QFileInfo(target).size(), qint64(40) << 20);
        // Pieces of 8 MiB, unless the file system cannot sync in pieces.
        QVERIFY2(calls == 5 || calls == 0, qPrintable(QString::number(calls)));
        QFile::remove(target);
        QFile::remove(target + "2");
    }
};

QTEST_MAIN(TestSaveTarget)
#include "tst_savetarget.moc"
