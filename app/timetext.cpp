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
    return QDateTime::fromString(iso, Qt::ISODate);
}

} // namespace TimeText
