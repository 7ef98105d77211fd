// The readers of the logs the window has open: one reader per log file,
// however many result tabs show it. Whoever shows a log (a tab, the model
// of its rows, the window for its current log) holds that log's reader,
// and the reader, with the time index it keeps in memory, goes with the
// last holder. So a tab that becomes current needs nothing read again:
// its reader still holds its log as it was read.
#ifndef OPENLOGS_H
#define OPENLOGS_H

#include <QList>
#include <QString>

#include <map>
#include <memory>

class CLog;
class LogSet;
class QObject;

class OpenLogs final
{
public:
    using Reader = std::shared_ptr<CLog>;

    // A reader of no log yet, for a log to be read.
    static Reader makeReader();
    // The reader of the log at `path` (exactly as given to CLog::readLog)
    // that someone still holds; null when there is none.
    Reader find(const QString &path) const;
    // From now on `reader`, which has read its log, is the one found for
    // its path; a reader found for that path before is no longer.
    void add(const Reader &reader);
    // The readers held now, ordered by their paths.
    QList<const CLog *> readers() const;
    // Keeps `reader` for as long as `holder` lives: it is let go only after
    // the holder's own destructor ran, so a model may use its log until the end.
    static void holdWith(QObject *holder, const Reader &reader);
    // The same for a set of logs opened together.
    static void holdWith(QObject *holder, const std::shared_ptr<LogSet> &set);

private:
    // Only weak references: the registry keeps no log open by itself.
    mutable std::map<QString, std::weak_ptr<CLog>> m_readers;
    // Forgets the readers no one holds any more.
    void prune() const;
};

#endif
