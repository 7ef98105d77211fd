#include "filterdescription.h"

#include "cfilter.h"
#include "cfiltereditwindow.h"
#include "filtermatch.h"

#include <QCoreApplication>
#include <QDir>
#include <QStringList>

#include <limits>

namespace {

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

// The description is rich text: what the user typed ("<\d+>", "a&b") must
// show as typed and not as markup.
QString joined(const QStringList &entries, const QString &separator)
{
    QStringList escaped;
    escaped.reserve(entries.size());
    for (const QString &entry : entries)
        escaped.append(entry.toHtmlEscaped());
    return escaped.join(separator);
}

} // namespace

QString timeText(const CFilter &filter, const QMap<int, QString> &datePresets)
{
    const qint32 span = qint32(0u - quint32(filter.period));
    const auto preset = datePresets.constFind(span);
    if (preset != datePresets.constEnd() && !filter.time.isValid())
        return preset.value();
    const QDateTime start = filter.start.isValid() ? filter.start : filter.time.addSecs(filter.period);
    return CFilterEditWindow::rangeText(start, filter.time);
}

void applyTimeChoice(const TimeChoice &choice, const QMap<int, QString> &datePresets, CFilter &filter)
{
    // The editor shows a range of one second as "X - X", which it reads
    // back as the log up to X: the range the filter had comes back as it was.
    const QDateTime oneSecond = filter.start.isValid() ? filter.start : QDateTime();
    filter.period = 0;
    filter.time = QDateTime();
    filter.start = QDateTime();
    if (choice.index != choice.count - 1) {
        for (auto it = datePresets.constBegin(); it != datePresets.constEnd(); ++it) {
            if (it.value() == choice.text) {
                filter.period = qint32(0u - quint32(it.key()));
                break;
            }
        }
        return;
    }
    const QStringList ends = choice.text.split(CFilterEditWindow::rangeSeparator(), Qt::KeepEmptyParts);
    const QDateTime start = QDateTime::fromString(ends.first(), CFilterEditWindow::rangeDateFormat());
    const QDateTime end = QDateTime::fromString(ends.last(), CFilterEditWindow::rangeDateFormat());
    if (!start.isValid() || !end.isValid())
        return;
    const qint64 span = end.secsTo(start);
    // Never a wrapped span: a range beyond what period holds means the whole log.
    if (span > 0 || span < -qint64(std::numeric_limits<qint32>::max()))
        return;
    filter.time = end;
    filter.period = qint32(span);
    if (span == 0 && oneSecond.isValid() && start == oneSecond) {
        filter.period = -1;
        filter.start = oneSecond;
    }
}

QString filterDescription(const CFilter &filter, const QMap<int, QString> &datePresets)
{
    QString text = QStringLiteral("<b>") + QCoreApplication::translate("mainWindow", "Name") + QStringLiteral(": </b>")
                   + filter.name.toHtmlEscaped() + QStringLiteral("<br>") + QStringLiteral("<b>")
                   + QCoreApplication::translate("mainWindow", "Time") + QStringLiteral(": </b>")
                   + timeText(filter, datePresets).toHtmlEscaped();
    const QList<QStringList> lists = toDisplayForm(filter);
    if (lists.size() < 6)
        return text;
    const QStringList &headings = sectionHeadings();
    const QString comma = QStringLiteral(", ");
    for (int i = 0; i < 5; ++i) {
        if (!lists.at(i).isEmpty())
            text += headings.at(i) + joined(lists.at(i), comma) + QLatin1Char(' ');
    }
    QStringList parameters;
    QStringList files;
    for (const QString &entry : lists.at(5))
        (entry.startsWith(QDir::separator()) ? files : parameters) << entry;
    if (!parameters.isEmpty())
        text += headings.at(5) + joined(parameters, comma) + QLatin1Char(' ');
    if (!files.isEmpty())
        text += headings.at(6) + QStringLiteral("<br>") + joined(files, QStringLiteral("<br>")) + QLatin1Char(' ');
    // What narrowing from a row hid, after what the lists show.
    const QList<QStringList> hidden = toDisplayForm(filter.hidden());
    const char *const hiddenWords[] = {QT_TRANSLATE_NOOP("mainWindow", "Hidden statuses"),
                                       QT_TRANSLATE_NOOP("mainWindow", "Hidden sources"),
                                       QT_TRANSLATE_NOOP("mainWindow", "Hidden events"),
                                       QT_TRANSLATE_NOOP("mainWindow", "Hidden groups"),
                                       QT_TRANSLATE_NOOP("mainWindow", "Hidden users"),
                                       QT_TRANSLATE_NOOP("mainWindow", "Hidden parameters")};
    for (int i = 0; i < hidden.size() && i < 6; ++i) {
        if (!hidden.at(i).isEmpty())
            text += QStringLiteral("<br><b>") + QCoreApplication::translate("mainWindow", hiddenWords[i])
                + QStringLiteral(": </b>") + joined(hidden.at(i), comma) + QLatin1Char(' ');
    }
    return text;
}
