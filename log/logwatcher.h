// Watches one log file for growth and replacement: file-system
// notifications where the file system sends them, a slow poll where it does
// not (NFS and the like). It only looks at the file's identity and size;
// reading what was added is the log reader's job.
#ifndef LOGWATCHER_H
#define LOGWATCHER_H

#include <QObject>
#include <QString>

class QFileSystemWatcher;
class QTimer;

class LogWatcher final : public QObject
{
    Q_OBJECT
public:
    // `pollMs`: the fallback poll's interval; `settleMs`: how long bursts of
    // notifications are gathered into one look at the file.
    explicit LogWatcher(QObject *parent = nullptr, int pollMs = 2000, int settleMs = 100);

    // Starts watching `path` as it is now (its size and identity are the
    // baseline); an empty path stops watching.
    void watch(const QString &path);
    // The file watched; empty when none.
    QString path() const;
    // Takes the file as it is now for the baseline, without a signal (after
    // the caller has read it for some other reason).
    void rebase();
    // Looks at the file now, as a notification or the poll would.
    void check();

signals:
    // The file holds more bytes than at the last look, under the same identity.
    void grown();
    // Another file now bears the name (rotation: moved away and a new one
    // made), or the file shrank. Not sent while no file bears the name.
    void replaced();

private:
    struct Stamp
    {
        bool exists = false;
        quint64 device = 0;
        quint64 inode = 0;
        qint64 size = 0;
    };
    static Stamp stampOf(const QString &path);
    void rewatch();

    QString m_path;
    Stamp m_stamp;
    QFileSystemWatcher *m_watcher;
    QTimer *m_poll;
    QTimer *m_settle;
};

#endif
