// Logs written record by record with the project's encoder, filters, and a
// results model checked throughout by the item-model tester.
#ifndef RESULTLOG_H
#define RESULTLOG_H

#include <QAbstractItemModelTester>
#include <QFile>
#include <QVector>

#include "clog.h"
#include "cstringlistmodel.h"
#include "logpath.h"
#include "mlogwriter.h"

#include <fcntl.h>

const quint32 T0 = 1780000000; // some time in 2026

// A file record (its text starts with "[f]") at second T0 + `second`.
inline MlogRecord fileRecord(quint32 second, const QByteArray &payload, bool refused = false)
{
    return MlogRecord{T0 + second, {4000, 1, 0, 0, 0}, 2, 0, refused ? 1u : 0u, 0, payload};
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
    bool ok = file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    for (int i = 0; ok && i < count; ++i)
        ok = file.write(encodeRecord(make(i))) > 0;
    return ok && file.flush();
}

inline bool writeLog(const QString &path, const QVector<MlogRecord> &records)
{
    return writeLog(path, records.size(), [&records](int i) { return records.at(i); });
}

// Generates `records` records into `path` as mloggen does, 40 a second
// from T0, appended to what the log holds when `append` is set.
inline bool generate(const QString &path, qint64 records, bool append, quint64 seed = 7)
{
    MlogGeneratorOptions options;
    options.records = records;
    options.start = QDateTime::fromSecsSinceEpoch(T0, Qt::UTC);
    options.recordsPerSecond = 40;
    options.seed = seed;
    options.append = append;
    return generateLog(path, options);
}

// The bytes of the file at `path`, "<missing>" when it cannot be read. By
// the name's bytes, which QFile would not find for one that is not UTF-8.
inline QByteArray fileContents(const QString &path)
{
    QFile file;
    return file.open(::open(LogPath::toBytes(path).constData(), O_RDONLY), QIODevice::ReadOnly,
                     QFileDevice::AutoCloseHandle)
               ? file.readAll()
               : QByteArray("<missing>");
}

// The lines of `bytes`, each with its "\n"; none after the last "\n".
inline QList<QByteArray> lines(const QByteArray &bytes)
{
    QList<QByteArray> all;
    for (int from = 0, at = 0; (at = bytes.indexOf('\n', from)) >= 0; from = at + 1)
        all.append(bytes.mid(from, at + 1 - from));
    return all;
}

inline CFilterPtr makeFilter(const QString &pattern = {}, qint32 period = 0, const QDateTime &time = {})
{
    CFilterPtr filter(new CFilter(QStringLiteral("test")));
    filter->setLists(pattern.isEmpty() ? QList<QStringList>() : QList<QStringList>{{}, {}, {}, {}, {}, {pattern}});
    filter->period = period;
    filter->time = time;
    return filter;
}

// A results model on the log at `path`, scrolled to the top (the last scroll
// value is shared by all models).
struct Results
{
    CLog log;
    CStringListModel model;
    QAbstractItemModelTester tester{&model, QAbstractItemModelTester::FailureReportingMode::QtTest};

    explicit Results(const QString &path, const CFilterPtr &filter = makeFilter()) : model(&log, filter)
    {
        log.readLog(path);
        model.scrollMoved(0);
    }
    QString text(int row) const { return model.index(row, 0).data().toString(); }
};

// Results with the filter run once.
struct RunResults : Results
{
    explicit RunResults(const QString &path, const CFilterPtr &filter = makeFilter()) : Results(path, filter)
    {
        model.runFilter();
    }
};

#endif
