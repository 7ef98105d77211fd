// Logs named from outside the window: the command line and drag and drop.
#include "mainwindow.h"

#include "logpath.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

namespace {

// The first local file of a drag, or "" when it carries none.
QString droppedFile(const QMimeData *data)
{
    if (!data || !data->hasUrls())
        return QString();
    for (const QUrl &url : data->urls()) {
        if (!url.isLocalFile())
            continue;
        // Qt decodes no name that is not UTF-8: such a one is taken by its bytes.
        const QString byBytes =
            LogPath::fromBytes(QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()));
        return LogPath::hasRawBytes(byBytes) ? byBytes : url.toLocalFile();
    }
    return QString();
}

} // namespace

void mainWindow::setStartLog(const QString &path)
{
    startLog = path;
}

void mainWindow::dragEnterEvent(QDragEnterEvent *event)
{
    if (!isBusy() && !droppedFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void mainWindow::dropEvent(QDropEvent *event)
{
    const QString path = droppedFile(event->mimeData());
    if (path.isEmpty())
        return;
    event->acceptProposedAction();
    // The drop returns to the source application first; the log is read
    // after that, so the file manager is not held up by the read.
    QMetaObject::invokeMethod(this, [this, path] { openLogPath(path); }, Qt::QueuedConnection);
}
