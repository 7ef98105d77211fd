#include "filterdescription.h"

#include "cfilter.h"
#include "filtermatch.h"

#include <QCoreApplication>
#include <QDir>
#include <QStringList>

namespace {

const QString kDateFormat = QStringLiteral("yyyy-MM-dd hh:mm:ss");

const QStringList &sectionHeadings()
{
    static const QStringList headings = [] {
        const char *const words[] = {QT_TRANSLATE_NOOP("QObject", "Status"),
                                     QT_TRANSLATE_NOOP("QObject", "Source"),
                                     QT_TRANSLATE_NOOP("QObject", "Event"),
                                     QT_TRANSLATE_NOOP("QObject", "Group"),
                                     QT_TRANSLATE_NOOP("QObject", "User"),
                                     QT_TRANSLATE_NOOP("QObject", "Parameter"),
                                     QT_TRANSLATE_NOOP("QObject", "Files and dirs")};
        QStringList list;
        for (const char *word : words)
            list << QStringLiteral("<br><b>") + QCoreApplication::translate("QObject", word) + QStringLiteral(": </b>");
        return list;
    }();
    return headings;
}

} // namespace

QString timeText(const CFilter &filter, const QMap<int, QString> &datePresets)
{
    const qint32 span = qint32(0u - quint32(filter.period));
    const auto preset = datePresets.constFind(span);
    if (preset != datePresets.constEnd() && !filter.time.isValid())
        return preset.value();
    return filter.time.addSecs(filter.period).toString(kDateFormat) + QStringLiteral(" - ")
           + filter.time.toString(kDateFormat);
}

QString filterDescription(const CFilter &filter, const QMap<int, QString> &datePresets)
{
    QString text = QStringLiteral("<b>") + QCoreApplication::translate("mainWindow", "Name") + QStringLiteral(": </b>")
                   + filter.name + QStringLiteral("<br>") + QStringLiteral("<b>")
                   + QCoreApplication::translate("mainWindow", "Time") + QStringLiteral(": </b>")
                   + timeText(filter, datePresets);
    const QList<QStringList> lists = toDisplayForm(filter);
    if (lists.size() < 6)
        return text;
    const QStringList &headings = sectionHeadings();
    for (int i = 0; i < 5; ++i) {
        if (!lists.at(i).isEmpty())
            text += headings.at(i) + lists.at(i).join(QStringLiteral(", ")) + QLatin1Char(' ');
    }
    QStringList parameters;
    QStringList files;
    for (const QString &entry : lists.at(5))
        (entry.startsWith(QDir::separator()) ? files : parameters) << entry;
    if (!parameters.isEmpty())
        text += headings.at(5) + parameters.join(QStringLiteral(", ")) + QLatin1Char(' ');
    if (!files.isEmpty())
        text += headings.at(6) + QStringLiteral("<br>") + files.join(QStringLiteral("<br>")) + QLatin1Char(' ');
    return text;
}
