// Writing audit log records: the encoder of one record and a generator of
// realistic logs, shared by the mloggen tool, the tests and the benchmarks.
#ifndef MLOGWRITER_H
#define MLOGWRITER_H

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QtGlobal>

struct MlogRecord
{
    quint32 time = 0;                  // seconds since 1970 UTC
    quint32 subject[5] = {0, 0, 0, 0, 0}; // pid, ppid, uid, gid, session
    quint16 kind = 0;                  // 0 user, 1 process, 2 file, 3 custom
    quint16 event = 0;                 // index into the kind's event list
    quint32 status = 0;                // 0 success, else refusal
    quint16 flags = 0;                 // MLOG_FLAG_HIDDEN: a record with no text
    QByteArray payload;                // UTF-8 parameters
};

// The record's bytes: 40-byte little-endian header and payload (payload cut
// to 65535 bytes).
QByteArray encodeRecord(const MlogRecord &record);

struct MlogGeneratorOptions
{
    qint64 records = 1000;        // number of records; ignored when targetSize > 0
    qint64 targetSize = 0;        // stop once the log reaches this many bytes
    QDateTime start;              // time of the first record (invalid: now - span)
    double recordsPerSecond = 50; // mean rate inside bursts
    quint64 seed = 1;             // same seed, same log
    double garbageRate = 0.0;     // chance of garbage bytes before a record
    bool garbageMagic = false;    // let garbage hold stray magic values
    bool truncateLast = false;    // cut the last record short
    bool append = false;          // append to an existing log, going on from its last time
    double refusals = 0.15;       // share of refused records
    // Above 0: a rare user (uid and gid 4242) in this share of the records,
    // and ptrace and module events this many times as often as otherwise,
    // as they are on a real system; 0 leaves the content as it was.
    double rare = 0.0;
    // Above 1: the rare user's records come in sessions of this many in a
    // row, as one person at work leaves them, instead of one by one; 0 and 1
    // leave the log as it was.
    int rareSession = 0;
    // Above 0: this share of the paths of file records names one rare file
    // ("/srv/payroll/salaries.db"), in sessions of rareSession paths in a
    // row as well; 0 leaves the log as it was.
    double rarePath = 0.0;
    // Users and times of the worst cases for caches; 0 leaves the log as it
    // is without them.
    qint64 distinctUids = 0;      // record i gets uid unknownUidBase + i % distinctUids
    quint32 secondsApart = 0;     // every record this many seconds after the one before
    static constexpr quint32 unknownUidBase = 3000000000u; // ids no user database knows
};

// Writes a log at `path` as `options` say; the same options and seed give
// the same bytes (given a valid start). A new log is written whole or not at
// all; appending first completes a last record that was cut short. Returns
// false (with `error`) when the file cannot be read or written.
bool generateLog(const QString &path, const MlogGeneratorOptions &options, QString *error = nullptr);

#endif
