// What the fuzz targets share: set-up in a folder of its own, checks, seeds.
#ifndef FUZZSUPPORT_H
#define FUZZSUPPORT_H

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cstdio>
#include <cstdlib>

#include <fcntl.h>
#include <sys/stat.h>

#define FUZZ_CHECK(ok) \
    ((ok) ? void(0) : (std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #ok), std::abort()))

namespace fuzz {

inline QString folder; // HOME of the process, on tmpfs when there is one

template <class App = QCoreApplication>
void setUp()
{
    static int argc = 1;
    static char name[] = "vrelfuzz";
    static char *argv[] = {name, nullptr};
    QByteArray home = QDir(QStringLiteral("/dev/shm")).exists() ? "/dev/shm" : QFile::encodeName(QDir::tempPath());
    FUZZ_CHECK(::mkdtemp((home += "/vrelfuzz.XXXXXX").data()));
    folder = QFile::decodeName(home);
    std::atexit([] { QDir(folder).removeRecursively(); });
    qputenv("HOME", home);
    qputenv("XDG_RUNTIME_DIR", home);
    qputenv("XDG_CONFIG_HOME", home + "/.config");
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QCoreApplication::setOrganizationName(QStringLiteral("vrel"));
    QCoreApplication::setApplicationName(QStringLiteral("vrelview"));
    static App *app = new App(argc, argv); // lives as long as the process
    Q_UNUSED(app);
    QDir().mkpath(folder + QStringLiteral("/Documents/vrelview")); // index files
}

inline QByteArray bytes(const uint8_t *data, size_t size)
{
    return QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size));
}

inline void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size());
}

inline void setModified(const QString &path, qint64 secs)
{
    const timespec times[2] = {{secs, 0}, {secs, 0}};
    FUZZ_CHECK(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0) == 0);
}

// With VREL_FUZZ_WRITE_SEEDS=DIR, `write("DIR/")` writes the seeds and the
// process ends without the leak check (font libraries keep what they load).
template <class Write>
void writeSeedsIfAsked(Write write)
{
    const QString dir = QFile::decodeName(qgetenv("VREL_FUZZ_WRITE_SEEDS")) + QLatin1Char('/');
    if (dir.size() > 1 && QDir().mkpath(dir)) {
        write(dir);
        QDir(folder).removeRecursively();
        std::_Exit(0);
    }
}

} // namespace fuzz

#endif
