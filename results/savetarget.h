// The file a save of results writes.
#ifndef SAVETARGET_H
#define SAVETARGET_H

#include <QFile>
#include <QSaveFile>
#include <QString>

#include <functional>

// A new file renamed over the old one once it is whole, so that the old file
// stays as it was until then; but the file itself, written in place, where a
// new file would lose what the old one is (its other hard links, its owner
// or group) or where the folder takes no new file.
class SaveTarget
{
public:
    explicit SaveTarget(const QString &fileName);
    // Opens the file for writing; false with errorString() when it cannot.
    bool open();
    // The descriptor to write to (-1 before open()).
    int handle() const;
    // True when the file is written in place.
    bool inPlace() const { return m_inPlace; }
    // After a failed write: the old file stays as it was unless written in place.
    void cancelWriting();
    // Forces what was written to disk in pieces, calling `between` after each
    // (so a caller can turn the event loop), then ends the write; false with
    // errorString() when that fails.
    bool commit(const std::function<void()> &between);
    QString errorString() const;

private:
    QString m_fileName;
    bool m_inPlace = false;
    QSaveFile m_saveFile;
    QFile m_file;
    QString m_error;
};

#endif
