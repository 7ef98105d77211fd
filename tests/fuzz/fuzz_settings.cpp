// An arbitrary settings file that the check of the raw file accepts, read by
// everything that reads settings at start; QSettings must stream no more
// values through QDataStream than the check found sound.
#include "fuzzsupport.h"

#include "csettingswindow.h"
#include "mainwindow.h"
#include "settingscheck.h"

#include <QApplication>
#include <QFont>
#include <QSet>
#include <QSettings>

static QString settingsPath;
static mainWindow *window = nullptr;
static CSettingsWindow *options = nullptr;

// Values QSettings can only have made through QDataStream; a line of values
// counts once when any of them is such.
static bool streamed(const QVariant &value)
{
    if (value.userType() == QMetaType::QVariantList) {
        const QVariantList items = value.toList();
        return std::any_of(items.begin(), items.end(), streamed);
    }
    static const QSet<int> plain = {QMetaType::UnknownType, QMetaType::QString, QMetaType::QStringList,
                                    QMetaType::QByteArray,  QMetaType::QRect,   QMetaType::QSize, QMetaType::QPoint};
    return !plain.contains(value.userType());
}

static void writeSeeds(const QString &dir)
{
    window->saveWindowState();
    options->accept();
    QSettings settings;
    settings.setValue(QStringLiteral("config/logfont"), QFont(QStringLiteral("DejaVu Sans Mono"), 10));
    settings.setValue(QStringLiteral("filter/refused"), QStringLiteral(R"(-86400::::>\s\[f\];;;;;;;;<\d+,\d+,0;;)"));
    settings.setValue(QStringLiteral("filter/range"), QStringLiteral(R"(-3600::2026-12-06 09:20:27::;;^\[u\]##^\[p\];;;;;;(x+x+)+y##a,b)"));
    settings.setValue(QStringLiteral("recentFiles"), QStringLiteral("/var/log/marvok/kernel.mlog;/tmp/a b.mlog;"));
    settings.sync();
    QFile::copy(settingsPath, dir + "written");
    fuzz::writeFile(dir + "sample2", "[VrelGeometry]\nsplitterv=@ByteArray(\\0\\0\\0\\xff\\0\\0\\0\\x1\\0\\0\\0\\x2\\0\\0\\0\\x64\\0"
                                     "\\0\\0\\x64\\x1\\xff\\xff\\xff\\xff\\x1\\0\\0\\0\\x2\\0)\nfiltershow=false\n");
    fuzz::writeFile(dir + "sample3", "[a]\nk=x, @Variant(\\0\\0\\0\\t\\0\\0\\0\\x2\\0\\0\\0\\x2\\0\\0\\0\\x5\\0\\0\\0\\n\\0\\0\\0"
                                     "\\x2\\0x), \"y,z\"\n");
    fuzz::writeFile(dir + "sample4", "\xef\xbb\xbf[config]\nlogfont=@Variant(\\0\\0\\0@\\0\\0\\0\\x6\\0S\\0\\x61\\0n@(\\0\\0\\0"
                                     "\\0\\0\\0\\xff\\xff\\xff\\xff\\x5\\x1\\0\\x32\\x10)\n");
}

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::setUp<QApplication>();
    // Qt's own complaints about odd values are no findings.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &) { FUZZ_CHECK(type != QtFatalMsg); });
    settingsPath = QSettings().fileName();
    QDir().mkpath(QFileInfo(settingsPath).absolutePath());
    window = new mainWindow;
    options = new CSettingsWindow(window);
    fuzz::writeSeedsIfAsked(writeSeeds);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray content = fuzz::bytes(data, size);
    const SettingsCheck check(content);
    if (!check.isSafe())
        return 0;
    fuzz::writeFile(settingsPath, content);
    static qint64 stamp = 1000000000; // QSettings reads a file again only when its size or time changed
    fuzz::setModified(settingsPath, ++stamp);
    {
        const QSettings settings;
        const QStringList keys = settings.allKeys();
        FUZZ_CHECK(std::count_if(keys.begin(), keys.end(), [&](const QString &key) { return streamed(settings.value(key)); })
                   <= check.streamedValues());
    }
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
