#include "openlogs.h"

#include "clog.h"
#include "logset.h"

#include <QObject>

#include <utility>

namespace {

// A child of the holder that keeps a reader: QObject deletes children only
// after the parent's own destructor has run.
template <typename Held>
class Hold final : public QObject
{
public:
    Hold(std::shared_ptr<Held> held, QObject *holder)
        : QObject(holder)
        , m_held(std::move(held))
    {
    }

private:
    const std::shared_ptr<Held> m_held;
};

} // namespace

OpenLogs::Reader OpenLogs::makeReader()
{
    return std::make_shared<CLog>();
}

OpenLogs::Reader OpenLogs::find(const QString &path) const
{
    const auto it = m_readers.find(path);
    if (it == m_readers.end())
        return nullptr;
    Reader reader = it->second.lock();
    // A reader that was read again under another name is not this log's.
    if (!reader || reader->logPath() != path) {
        m_readers.erase(it);
        return nullptr;
    }
    return reader;
}

void OpenLogs::add(const Reader &reader)
{
    prune();
    if (reader && !reader->logPath().isEmpty())
        m_readers[reader->logPath()] = reader;
}

QList<const CLog *> OpenLogs::readers() const
{
    prune();
    QList<const CLog *> held;
    for (const auto &entry : m_readers) {
        if (const Reader reader = entry.second.lock())
            held.append(reader.get());
    }
    return held;
}

void OpenLogs::holdWith(QObject *holder, const Reader &reader)
{
    if (holder && reader)
        new Hold<CLog>(reader, holder); // owned by the holder
}

void OpenLogs::holdWith(QObject *holder, const std::shared_ptr<LogSet> &set)
{
    if (holder && set)
        new Hold<LogSet>(set, holder); // owned by the holder
}

void OpenLogs::prune() const
{
    for (auto it = m_readers.begin(); it != m_readers.end();) {
        const Reader reader = it->second.lock();
        if (!reader || reader->logPath() != it->first)
            it = m_readers.erase(it);
        else
            ++it;
    }
}
