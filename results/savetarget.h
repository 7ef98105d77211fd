// The file a save of results writes.
#ifndef SAVETARGET_H
#define SAVETARGET_H

#include <QByteArray>
#include <QString>

#include <functional>

#include <sys/types.h>

// How the rows reach the file named, chosen by what that name is now:
// - Replace: a new file beside it, renamed over it once whole, so that the
//   old file stays as it was until then (through a symbolic link it is the
//   link's target that is replaced);
// - CopyIn: for a file that a new one would lose something of (its other
//   hard links, its owner or group): the rows are written whole to a file
//   beside it (or in the temporary folder) and copied into it only then;
// - Direct: a device, a FIFO or another file that is not a regular file is
//   written into, never replaced;
// - InPlace: where no file can be made beside it (a folder that takes no
//   new file), the file itself, cut to nothing first.
// A name is taken by its bytes (LogPath), so one that is not UTF-8 names
// the file it was given for.
class SaveTarget
{
public:
    enum class Way { Replace, CopyIn, Direct, InPlace };

    explicit SaveTarget(const QString &fileName);
    // Removes a file made beside the target that was not put in place.
    ~SaveTarget();
    SaveTarget(const SaveTarget &) = delete;
    SaveTarget &operator=(const SaveTarget &) = delete;

    // Opens the file for writing; false with errorString() when it cannot.
    bool open();
    // The descriptor to write to (-1 before open()).
    int handle() const { return m_fd; }
    // How the rows reach the file (known before open()).
    Way way() const { return m_way; }
    // After a failed write: the target stays as it was unless written
    // directly or in place.
    void cancelWriting();
    // Forces what was written to disk in pieces, calling `between` after
    // each (so a caller can turn the event loop), asks `proceed` (when
    // given) right before the rows are put in place, and puts them there.
    // False with errorString() when that fails; false with abandoned() when
    // `proceed` said no, the target then as it was.
    bool commit(const std::function<void()> &between, const std::function<bool()> &proceed = {});
    // True when commit() left the target as it was because `proceed` said no.
    bool abandoned() const { return m_abandoned; }
    QString errorString() const { return m_error; }

private:
    bool fail(int error);
    bool openBeside(const QByteArray &folder);
    bool copyIn();
    void dropStaged();

    QByteArray m_name;   // the bytes of the name given
    QByteArray m_target; // the file put in place: the name, a link followed
    QByteArray m_staged; // the file written beside, until put in place
    Way m_way = Way::Replace;
    mode_t m_mode = 0;
    bool m_exists = false;
    int m_fd = -1;
    bool m_abandoned = false;
    QString m_error;
};

#endif
