#include "eventcatalogue.h"

#include "mlog.h"

#include <QCoreApplication>

#include <cstdlib>

namespace {

constexpr int kCategoryCount = 4;

QString describe(const QString &name, const QStringList &captions)
{
    return QCoreApplication::translate("QObject", "Event") + QLatin1Char(' ') + name + QLatin1Char(' ')
           + QCoreApplication::translate("QObject", "for audit") + QStringLiteral(": ")
           + captions.join(QStringLiteral(", "));
}

} // namespace

const QStringList &eventCategoryCaptions()
{
    // Also the source labels of a filter's display form, which take this list.
    static const QStringList captions = {
        QCoreApplication::translate("QObject", "user") + QStringLiteral(" [u]"),
        QCoreApplication::translate("QObject", "user process") + QStringLiteral(" [p]"),
        QCoreApplication::translate("QObject", "file") + QStringLiteral(" [f]"),
        QCoreApplication::translate("QObject", "custom") + QStringLiteral(" [c]"),
    };
    return captions;
}

QStringList eventNamesFromBlock(const QByteArray &block)
{
    const QList<QByteArray> pieces = block.split('\0');
    if (pieces.size() <= 1 || pieces.first().isEmpty())
        return {};
    QStringList names;
    names.reserve(pieces.size() - 1);
    for (int i = 0; i + 1 < pieces.size(); ++i)
        names.append(QString::fromUtf8(pieces.at(i)));
    return names;
}

QStringList eventNames(int category)
{
    if (mlog_init() == -1) {
        mlog_done();
        return {};
    }
    char *block = nullptr;
    const int length = mlog_listevents(category, &block);
    QStringList names;
    if (length > 0 && block)
        names = eventNamesFromBlock(QByteArray(block, length));
    std::free(block);
    mlog_done();
    return names;
}

QString eventDescription(const QString &name)
{
    return EventCatalogue().description(name);
}

EventCatalogue::EventCatalogue()
{
    m_names.reserve(kCategoryCount);
    for (int category = 0; category < kCategoryCount; ++category)
        m_names.append(eventNames(category));
}

QStringList EventCatalogue::names(int category) const
{
    return m_names.value(category);
}

QStringList EventCatalogue::allNames() const
{
    QStringList all;
    for (const QStringList &names : m_names)
        all += names;
    return all;
}

QString EventCatalogue::description(const QString &name) const
{
    const QStringList &captions = eventCategoryCaptions();
    QStringList found;
    for (int category = 0; category < m_names.size(); ++category) {
        if (m_names.at(category).contains(name))
            found.append(captions.value(category));
    }
    return describe(name, found);
}
