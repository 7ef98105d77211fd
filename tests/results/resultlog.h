// Logs and results models for the tests of the results and their view:
// logs written record by record with the project's encoder, and a model
// checked throughout by the item-model tester.
#ifndef RESULTLOG_H
#define RESULTLOG_H

#include <QAbstractItemModelTester>
#include <QFile>
#include <QVector>

#include "cfilter.h"
#include "cstringlistmodel.h"
#include "mlogwriter.h"

const quint32 T0 = 1780000000; // some time in 2026

// A file record (its text starts with "[f]") at second T0 + `second`.
inline MlogRecord fileRecord(quint32 second, const QByteArray &payload, bool refused = false)
{
    MlogRecord r;
    r.time = T0 + second;
    r.subject[0] = 4000;
    r.subject[1] = 1;
    r.kind = 2;
    r.status = refused ? 1 : 0;
    r.payload = payload;
    return r;
}

// Record i of a numbered log: payload "rec=i", `perSecond` records a second.
inline MlogRecord numbered(int i, int perSecond)
{
    return fileRecord(quint32(i / perSecond), "rec=" + QByteArray::number(i));
}

// A log of `count` records, record i made by `make(i)`.
template <typename Make>
bool writeLog(const QString &path, int count, Make make)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    for (int i = 0; i < count; ++i)
        file.write(encodeRecord(make(i)));
    return file.flush();
}

inline bool writeLog(const QString &path, const QVector<MlogRecord> &records)
{
    return writeLog(path, records.size(), [&records](int i) { return records.at(i); });
}

inline CFilterPtr makeFilter(const QList<QStringList> &lists = {}, qint32 period = 0, const QDateTime &time = {})
{
    CFilterPtr filter(new CFilter(QStringLiteral("test")));
    filter->setLists(lists);
    filter->period = period;
    filter->time = time;
    return filter;
}

// Only the records whose text holds a match of `pattern`.
inline CFilterPtr parameterFilter(const QString &pattern)
{
    return makeFilter({{}, {}, {}, {}, {}, {pattern}});
}

// A results model under the model tester. The last scroll value, which all
// models share, starts at the top.
struct Results
{
    CStringListModel model;
    QAbstractItemModelTester tester{&model, QAbstractItemModelTester::FailureReportingMode::QtTest};

    Results(CLog *log, const CFilterPtr &filter) : model(log, filter) { model.scrollMoved(0); }
    QString text(int row) const { return model.index(row, 0).data().toString(); }
};

#endif
