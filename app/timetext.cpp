#include "timetext.h"

#include <QRegularExpression>

namespace TimeText {

QDateTime parse(const QString &text, bool end)
{
    static const QRegularExpression dateOnly(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}$"));
    const QString trimmed = text.trimmed();
    if (dateOnly.match(trimmed).hasMatch()) {
        const QDate day = QDate::fromString(trimmed, Qt::ISODate);
        if (!day.isValid())
            return QDateTime();
        return QDateTime(day, end ? QTime(23, 59, 59) : QTime(0, 0), Qt::LocalTime);
    }
    static const QRegularExpression shape(
        QStringLiteral("^\\d{4}-\\d{2}-\\d{2}[T ]\\d{2}:\\d{2}(:\\d{2})?(Z|[+-]\\d{2}(:?\\d{2})?)?$"));
    if (!shape.match(trimmed).hasMatch())
        return QDateTime();
    QString iso = trimmed;
    iso[10] = QLatin1Char('T');
    const QDateTime time = QDateTime::fromString(iso, Qt::ISODate);
    // "hh:mm" without seconds: the colon after the minutes is missing.
    const bool toTheMinute = trimmed.size() == 16 || trimmed.at(16) != QLatin1Char(':');
    return end && toTheMinute && time.isValid() ? time.addSecs(59) : time;
}

} // namespace TimeText
