// Record texts in the layout the log library writes.
#ifndef FILTER_TEST_RECORDS_H
#define FILTER_TEST_RECORDS_H

#include <QString>

inline QString record(const char *kind, uint uid, uint gid, bool refused, const char *event,
                      const QString &params = QStringLiteral("/home/alice/report.txt"))
{
    QString text = QStringLiteral("[%1] <4212,4100,%2,%3,0> [%4] %5 2026-12-06 09:20:27")
                       .arg(QLatin1String(kind))
                       .arg(uid)
                       .arg(gid)
                       .arg(refused ? QLatin1Char('f') : QLatin1Char('s'))
                       .arg(QLatin1String(event));
    if (!params.isEmpty())
        text += QLatin1Char(' ') + params;
    return text;
}

#endif
