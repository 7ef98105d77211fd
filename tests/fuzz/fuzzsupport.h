// What the fuzz targets share: the application object, a folder of the
// process's own for logs and index files, and checks whose failure libFuzzer
// keeps as a crash with its input.
#ifndef FUZZSUPPORT_H
#define FUZZSUPPORT_H

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QString>

#include <cstdio>
#include <cstdlib>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#define FUZZ_CHECK(ok)                                                                             \
    do {                                                                                           \
        if (!(ok))                                                                                 \
            fuzz::fail(#ok, __FILE__, __LINE__);                                                   \
    } while (0)

namespace fuzz {

[[noreturn]] inline void fail(const char *what, const char *file, int line)
{
    std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, what);
    std::fflush(stderr);
    std::abort();
}

// The folder made by setUp().
inline QString &folder()
{
    static QString f;
    return f;
}

// Creates the application object and a folder of this process's own (on
// tmpfs when there is one) that becomes HOME, so index files go there too.
inline void setUp()
{
    static int argc = 1;
    static char name[] = "vrelfuzz";
    static char *argv[] = {name, nullptr};
    QCoreApplication::setApplicationName(QStringLiteral("vrelview"));
    static QCoreApplication *app = new QCoreApplication(argc, argv);
    Q_UNUSED(app);
    const QByteArray base = QDir(QStringLiteral("/dev/shm")).exists() ? "/dev/shm" : QFile::encodeName(QDir::tempPath());
    QByteArray templ = base + "/vrelfuzz.XXXXXX";
    if (!::mkdtemp(templ.data()))
        fail("mkdtemp", __FILE__, __LINE__);
    folder() = QFile::decodeName(templ);
    qputenv("HOME", templ);
    qputenv("XDG_CONFIG_HOME", templ + "/.config");
    QDir().mkpath(folder() + QStringLiteral("/Documents/vrelview"));
    std::atexit([] { QDir(folder()).removeRecursively(); });
}

inline QString path(const char *name)
{
    return folder() + QLatin1Char('/') + QLatin1String(name);
}

inline void writeFile(const QString &path, const void *data, size_t size)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    FUZZ_CHECK(fd >= 0);
    const auto *p = static_cast<const char *>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, p, size);
        FUZZ_CHECK(n > 0);
        p += n;
        size -= size_t(n);
    }
    ::close(fd);
}

inline void setModified(const QString &path, qint64 secs)
{
    const timespec times[2] = {{secs, 0}, {secs, 0}};
    FUZZ_CHECK(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0) == 0);
}

} // namespace fuzz

#endif
