#include "logwatcher.h"

#include "logpath.h"

#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QTimer>

#include <sys/stat.h>

LogWatcher::LogWatcher(QObject *parent, int pollMs, int settleMs)
    : QObject(parent),
      m_watcher(new QFileSystemWatcher(this)),
      m_poll(new QTimer(this)),
      m_settle(new QTimer(this))
{
    m_poll->setInterval(pollMs);
    m_settle->setInterval(settleMs);
    m_settle->setSingleShot(true);
    // A writer appending thousands of records a second sends as many
    // notifications: they are gathered and the file looked at once.
    const auto settle = [this]() {
        if (!m_settle->isActive())
            m_settle->start();
    };
    connect(m_watcher, &QFileSystemWatcher::fileChanged, this, settle);
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, settle);
    connect(m_settle, &QTimer::timeout, this, &LogWatcher::check);
    connect(m_poll, &QTimer::timeout, this, &LogWatcher::check);
}

void LogWatcher::watch(const QString &path)
{
    const QStringList watched = m_watcher->files() + m_watcher->directories();
    if (!watched.isEmpty())
        m_watcher->removePaths(watched);
    m_settle->stop();
    m_path = path;
    m_stamp = stampOf(path);
    if (path.isEmpty()) {
        m_poll->stop();
        return;
    }
    // The folder is watched too: rotation moves the file away and makes a
    // new one, and only the folder hears of the new one.
    const QString dir = QFileInfo(path).absolutePath();
    if (QFileInfo(dir).isDir())
        m_watcher->addPath(dir);
    rewatch();
    m_poll->start();
}

QString LogWatcher::path() const
{
    return m_path;
}

void LogWatcher::rebase()
{
    m_stamp = stampOf(m_path);
}

void LogWatcher::rewatch()
{
    // After a rotation the notifications of the name belong to the moved
    // file: the name is watched afresh, so they follow the new one.
    if (m_watcher->files().contains(m_path))
        m_watcher->removePath(m_path);
    // Qt would watch a name with bytes that are not UTF-8 without them, that
    // is another file: the poll alone follows such a log.
    if (m_stamp.exists && !LogPath::hasRawBytes(m_path))
        m_watcher->addPath(m_path);
}

void LogWatcher::check()
{
    if (m_path.isEmpty())
        return;
    const Stamp now = stampOf(m_path);
    const Stamp before = m_stamp;
    // A name without a file is the moment between moving a log away and
    // making its successor: the old baseline is kept until one appears.
    if (!now.exists)
        return;
    m_stamp = now;
    const bool otherFile = !before.exists || now.device != before.device || now.inode != before.inode;
    if (otherFile)
        rewatch();
    if (otherFile || now.size < before.size)
        emit replaced();
    else if (now.size > before.size)
        emit grown();
}

LogWatcher::Stamp LogWatcher::stampOf(const QString &path)
{
    Stamp stamp;
    const QByteArray name = LogPath::toBytes(path);
    struct stat st;
    if (name.isEmpty() || ::stat(name.constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return stamp;
    stamp.exists = true;
    stamp.device = quint64(st.st_dev);
    stamp.inode = quint64(st.st_ino);
    stamp.size = qint64(st.st_size);
    return stamp;
}
