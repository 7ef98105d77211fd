// The event names the log library knows, by event category (0 user,
// 1 user process, 2 file, 3 custom), and the short description of an event.
#ifndef EVENTCATALOGUE_H
#define EVENTCATALOGUE_H

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// Captions of the four categories ("user [u]" ... "custom [c]"), indexed by
// category; a filter's source labels are this list.
const QStringList &eventCategoryCaptions();

// The names of `category` in the library's order; empty on any failure.
QStringList eventNames(int category);
// "Event <name> for audit: " and the captions of the categories that list it.
QString eventDescription(const QString &name);

// The names of a library name block: pieces ended by NUL, UTF-8; what
// follows the last NUL is dropped, and a block without NUL or with an empty
// first piece holds no names.
QStringList eventNamesFromBlock(const QByteArray &block);

// The four lists fetched once, for describing many events: description()
// gives the text eventDescription would give while the lists stay as read.
class EventCatalogue
{
public:
    // Reads the four lists from the library now.
    EventCatalogue();
    // The names of `category` as read; empty for any other number.
    QStringList names(int category) const;
    // The names of every category listed, in category order, duplicates kept.
    QStringList allNames() const;
    QString description(const QString &name) const;

private:
    QList<QStringList> m_names;
};

#endif
