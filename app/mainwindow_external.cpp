// Logs named from outside the window: the command line and drag and drop.
#include "mainwindow.h"

#include "logpath.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

namespace {

// The local files of a drag, in its order; none when it carries none.
QStringList droppedFiles(const QMimeData *data)
{
    QStringList files;
    if (!data || !data->hasUrls())
        return files;
    for (const QUrl &url : data->urls()) {
        if (!url.isLocalFile())
            continue;
        // Qt decodes no name that is not UTF-8: such a one is taken by its bytes.
        const QString byBytes =
            LogPath::fromBytes(QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()));
        files.append(LogPath::hasRawBytes(byBytes) ? byBytes : url.toLocalFile());
    }
    return files;
}

} // namespace

void mainWindow::setStartLog(const QString &path)
{
    startLog = path;
}

void mainWindow::setStartLogs(const QStringList &paths)
{
    if (paths.size() == 1)
        setStartLog(paths.constFirst());
    else
        startSet = paths;
}

void mainWindow::dragEnterEvent(QDragEnterEvent *event)
{
    if (!isBusy() && !droppedFiles(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void mainWindow::dropEvent(QDropEvent *event)
{
    const QStringList paths = droppedFiles(event->mimeData());
    if (paths.isEmpty())
        return;
    event->acceptProposedAction();
    // The drop returns to the source application first; the log is read
    // after that, so the file manager is not held up by the read. Several
    // files dropped at once are opened together.
    if (paths.size() == 1)
        QMetaObject::invokeMethod(this, [this, path = paths.first()] { openLogPath(path); }, Qt::QueuedConnection);
    else
        QMetaObject::invokeMethod(this, [this, paths] { openLogSet(paths); }, Qt::QueuedConnection);
}
