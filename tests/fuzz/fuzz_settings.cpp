// An arbitrary settings file. The check of the raw file decides whether it
// may be read; when it may, everything that reads settings at start reads
// it: every value of every section as QSettings parses them, the saved
// filters reloaded into the filter list and the selector, the window state
// (geometry, splitters, panels), the log folder and the Options dialog. No
// crash, no allocation beyond the limits, no stack overflow; and QSettings
// never turns more values into objects through QDataStream than the check
// saw and found sound (else the check read the file otherwise than Qt).
//
// With VREL_FUZZ_WRITE_SEEDS=DIR set, writes seed settings files into DIR
// instead (as the window and the Options dialog store them) and exits.
#include "csettingswindow.h"
#include "mainwindow.h"
#include "settingscheck.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QSettings>

#include <cstdio>
#include <cstdlib>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#define FUZZ_CHECK(ok)                                                                             \
    do {                                                                                           \
        if (!(ok)) {                                                                               \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #ok);           \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)

namespace {

QString settingsPath;
mainWindow *window = nullptr;
CSettingsWindow *options = nullptr;

// Values QSettings can only have made through QDataStream: anything but a
// text, a list of texts, bytes, a rectangle, size or point, or nothing. A
// list made of a line of values counts once when any of them is such.
bool streamed(const QVariant &value)
{
    switch (value.userType()) {
    case QMetaType::UnknownType:
    case QMetaType::QString:
    case QMetaType::QStringList:
    case QMetaType::QByteArray:
    case QMetaType::QRect:
    case QMetaType::QSize:
    case QMetaType::QPoint:
        return false;
    case QMetaType::QVariantList:
        for (const QVariant &item : value.toList()) {
            if (streamed(item))
                return true;
        }
        return false;
    default:
        return true;
    }
}

void writeFile(const QString &path, const void *data, size_t size)
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
    // QSettings reads a file again only when its size or time changed.
    static qint64 stamp = 1000000000;
    ++stamp;
    const timespec times[2] = {{stamp, 0}, {stamp, 0}};
    FUZZ_CHECK(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0) == 0);
}

// Settings as the program writes them: the window state on close, the
// Options dialog, saved filters and recent files.
void writeSeeds(const QString &dir)
{
    QDir().mkpath(dir);
    window->saveWindowState();
    options->accept();
    {
        QSettings settings;
        settings.setValue(QStringLiteral("config/logfont"), QFont(QStringLiteral("DejaVu Sans Mono"), 10));
        settings.setValue(QStringLiteral("config/autoopen"), true);
        settings.setValue(QStringLiteral("filter/refused"), QStringLiteral("-86400::::>\\s\\[f\\];;;;;;;;<\\d+,\\d+,0;;"));
        settings.setValue(QStringLiteral("filter/range"),
                          QStringLiteral("-3600::2026-12-06 09:20:27::;;^\\[u\\]##^\\[p\\];;;;;;(x+x+)+y##a,b"));
        settings.setValue(QStringLiteral("recentFiles"), QStringLiteral("/var/log/marvok/kernel.mlog;/tmp/a b.mlog;"));
    }
    QFile::copy(settingsPath, dir + QStringLiteral("/written"));
    const QByteArray samples[] = {
        "[config]\nlogdir=/var/log/marvok\nlogfile=/var/log/marvok/kernel.mlog\nfilter=default\n",
        "[VrelGeometry]\nsplitterv=@ByteArray(\\0\\0\\0\\xff\\0\\0\\0\\x1\\0\\0\\0\\x2\\0\\0\\0\\x64\\0\\0\\0\\x64\\x1\\xff\\xff\\xff\\xff\\x1\\0\\0\\0\\x2\\0)\nfiltershow=false\n",
        "[a]\nk=x, @Variant(\\0\\0\\0\\t\\0\\0\\0\\x2\\0\\0\\0\\x2\\0\\0\\0\\x5\\0\\0\\0\\n\\0\\0\\0\\x2\\0x), \"y,z\"\n",
        "\xef\xbb\xbf[config]\nlogfont=@Variant(\\0\\0\\0@\\0\\0\\0\\x6\\0S\\0\\x61\\0n@(\\0\\0\\0\\0\\0\\0\\xff\\xff\\xff\\xff\\x5\\x1\\0\\x32\\x10)\n",
    };
    int n = 0;
    for (const QByteArray &sample : samples) {
        const QString path = dir + QStringLiteral("/sample%1").arg(++n);
        writeFile(path, sample.constData(), size_t(sample.size()));
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    static int argc = 1;
    static char name[] = "vrelfuzz";
    static char *argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const QByteArray base = QDir(QStringLiteral("/dev/shm")).exists() ? "/dev/shm" : QFile::encodeName(QDir::tempPath());
    QByteArray folder = base + "/vrelfuzz.XXXXXX";
    FUZZ_CHECK(::mkdtemp(folder.data()));
    qputenv("HOME", folder);
    qputenv("XDG_CONFIG_HOME", folder + "/.config");
    qputenv("XDG_RUNTIME_DIR", folder);
    static QString removeAtExit = QFile::decodeName(folder);
    std::atexit([] { QDir(removeAtExit).removeRecursively(); });
    static QApplication *app = new QApplication(argc, argv);
    Q_UNUSED(app);
    QCoreApplication::setOrganizationName(QStringLiteral("vrel"));
    QCoreApplication::setApplicationName(QStringLiteral("vrelview"));
    // Qt's own complaints about odd values are not findings.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &) {
        FUZZ_CHECK(type != QtFatalMsg);
    });
    settingsPath = QSettings().fileName();
    QDir().mkpath(QFileInfo(settingsPath).absolutePath());
    window = new mainWindow;
    options = new CSettingsWindow(window);
    const QByteArray seeds = qgetenv("VREL_FUZZ_WRITE_SEEDS");
    if (!seeds.isEmpty()) {
        writeSeeds(QFile::decodeName(seeds));
        // Without the leak check at exit: the font configuration library
        // keeps what it loads.
        std::_Exit(0);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray content = QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size));
    const SettingsCheck check(content);
    if (!check.isSafe())
        return 0;
    writeFile(settingsPath, data, size);

    int madeByStream = 0;
    {
        const QSettings settings;
        for (const QString &key : settings.allKeys())
            madeByStream += streamed(settings.value(key)) ? 1 : 0;
    }
    FUZZ_CHECK(madeByStream <= check.streamedValues());

    window->reloadFilters();
    window->restoreWindowState();
    window->loadLogDir();
    options->readSettings();
    (void)options->autoOpen();
    (void)options->autoFilter();
    // Layout and show events, never timers: the window's start step would
    // open whatever log the input names.
    QCoreApplication::sendPostedEvents();
    return 0;
}
