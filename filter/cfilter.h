// The filter record, its storage as a named filter in the settings, and the
// process-wide list of filters.
#ifndef CFILTER_H
#define CFILTER_H

#include <QDateTime>
#include <QList>
#include <QSharedPointer>
#include <QString>
#include <QStringList>

#include "cmatcher.h"

class CFilter
{
public:
    explicit CFilter(const QString &name);

    // The six criterion lists in pattern form (none at all after reset()).
    const QList<QStringList> &lists() const;
    // Replaces the lists with a copy of `lists`.
    void setLists(const QList<QStringList> &lists);
    // Values the filter hides, by criterion list as lists() numbers them
    // (1 source kind, 2 event, 3 group, 4 user; pattern form): a record the
    // lists let through is left out when it matches any of them. Always six
    // lists, empty for none.
    const QList<QStringList> &hidden() const;
    // Replaces the hidden values with a copy of `hidden` (missing lists empty).
    void setHidden(const QList<QStringList> &hidden);
    // True when some value is hidden.
    bool hidesAnything() const;
    // The compiled lists and hidden values; compiled on first use after
    // either changed.
    const CMatcher &matcher() const;

    // Stores the record under `key` in the settings group "filter"; stores
    // nothing and returns false when unstorableReason(key) is not empty, and
    // returns false when the settings file could not be written.
    bool save(const QString &key) const;
    // Why the record cannot be stored under `key` so that it reads back as
    // it is: the offending character sequences, each in double quotes,
    // joined by ", ": "/" or "\" in the key (they make settings groups);
    // "::", ";;" or "##" inside an entry, a "#" or ";" that would run into
    // the separator after its entry, "" for an empty entry (entries and
    // lists would split or vanish). Empty when the record can be stored.
    QString unstorableReason(const QString &key) const;
    // The value is stored in three parts joined by "::" (period, time,
    // lists), then parts of our own, "key=value", that readers of only the
    // three pass over: "start=" (below) and one "hide-...=" part per list
    // with hidden values, its entries joined by "##" ("hide-users=...").
    // Fills the record from the value stored under `name`; a missing or
    // malformed value leaves it unchanged and sets `unreadable`.
    void load();
    // Deletes the stored value of `name`, then reset(); false when the
    // settings file could not be written (the value stays in it).
    bool remove();
    // period 0, null time, no lists at all and nothing hidden (matches every
    // record).
    void reset();
    // The stored text of the lists: entries joined by "##", lists by ";;".
    QString listsText() const;

    qint32 period = 0; // seconds counted back from `time`; 0 or negative
    QDateTime time;    // end of the range; null = the log's last record
    // The first second of a range of one second, which `period` cannot say
    // (0 is the whole log): with `time` valid, the range starts here instead
    // of at `time` plus `period`. Stored after the three parts of the
    // value, where readers of only those parts pass over it and read
    // `period` (-1, the two seconds nearest to it). Null otherwise.
    QDateTime start;
    QString name;
    // The last load() found no value it could read, or one with fewer than
    // six lists.
    bool unreadable = false;

private:
    QList<QStringList> m_lists;
    QList<QStringList> m_hidden;
    mutable QSharedPointer<const CMatcher> m_matcher;
};

using CFilterPtr = QSharedPointer<CFilter>;

// The filter's six lists in pattern form, or in display form (no lists when
// it has fewer than six): the conversions of filtermatch.h on its lists.
QList<QStringList> toPatternForm(const CFilter &filter);
QList<QStringList> toDisplayForm(const CFilter &filter);

// The filter list of the application: entry 0 is the default filter, the
// others are the saved filters. Tabs and models share the records, so a
// filter removed from the list lives on while a tab still shows it.
QList<CFilterPtr> &filterList();
// Index of the current filter in filterList().
int &currentFilterIndex();

#endif
