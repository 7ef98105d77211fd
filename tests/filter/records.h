// Record texts in the layout the log library writes, and filter lists.
#ifndef FILTER_TEST_RECORDS_H
#define FILTER_TEST_RECORDS_H

#include <QStringList>

inline QString record(const char *kind, uint uid, uint gid, bool refused, const char *event,
                      const QString &params = QStringLiteral("/home/alice/report.txt"))
{
    const QString text = QStringLiteral("[%1] <4212,4100,%2,%3,0> [%4] %5 2026-12-06 09:20:27")
                             .arg(QLatin1String(kind))
                             .arg(uid)
                             .arg(gid)
                             .arg(refused ? QLatin1Char('f') : QLatin1Char('s'))
                             .arg(QLatin1String(event));
    return params.isEmpty() ? text : text + QLatin1Char(' ') + params;
}

// The six lists of a filter: status, kinds, events, groups, users, parameters.
inline QList<QStringList> six(const QStringList &status = {}, const QStringList &kinds = {},
                              const QStringList &events = {}, const QStringList &groups = {},
                              const QStringList &users = {}, const QStringList &params = {})
{
    return {status, kinds, events, groups, users, params};
}

#endif
