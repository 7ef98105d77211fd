// The fields of a record text, read from its UTF-8 bytes. The log library
// writes a text as
//   <kind> <pid,ppid,uid,gid,session> <status> <event> <yyyy-MM-dd hh:mm:ss>[ <parameters>]
// with one blank between the parts: kind "[u]", "[p]", "[f]" or "[c]",
// the subject numbers in unsigned decimal, status "[s]" or "[f]", the date
// in local time, and the parameters only for a record that has some.
#ifndef RECORDFIELDS_H
#define RECORDFIELDS_H

#include <QByteArray>
#include <QtGlobal>

#include <string_view>

struct RecordFields
{
    char kind = 0;               // 'u', 'p', 'f' or 'c'
    quint32 subject[5] = {};     // pid, ppid, uid, gid, session
    // Each number in decimal without leading zeros, as the text writes it;
    // empty where the text writes leading zeros.
    std::string_view subjectDecimal[5];
    bool refused = false;        // status "[f]"
    std::string_view event;      // the event name, never empty
    std::string_view date;       // "yyyy-MM-dd hh:mm:ss", local time
    std::string_view parameters; // everything after the date's blank; empty when none
};

// True when `text` has the shape above, with the fields (slices of `text`)
// in `fields`; false, and `fields` left as it was, for any other text.
bool parseRecordFields(std::string_view text, RecordFields *fields);

// The kind's name in exported rows: "user", "user process", "file" or
// "custom"; "" for any other mark.
std::string_view kindName(char kind);
// The status's name in exported rows: "success" or "refusal".
std::string_view statusName(bool refused);

// The date of a record text as ISO 8601 with the local offset
// ("2026-12-06T09:20:27+01:00"). The texts of a log come in time order and
// many share one second, so the last answer is kept.
class IsoDates
{
public:
    IsoDates() { m_iso.reserve(32); }

    // `date` as parseRecordFields gives it. `recordTime`, the record's time
    // in seconds since 1970 when known (-1 otherwise), settles which offset
    // a local time that occurs twice (when clocks go back) had. Empty when
    // `date` is no valid date; without an offset for a local time that does
    // not exist.
    const QByteArray &iso(std::string_view date, qint64 recordTime = -1);

private:
    // The local offset through the hour of `recordTime`; false when it
    // changes within that hour.
    bool steadyOffset(qint64 recordTime, int *offset);

    QByteArray m_date;
    qint64 m_recordTime = -2;
    QByteArray m_iso;
    qint64 m_hour = -1; // the hour (seconds since 1970 / 3600) the offset is of
    int m_hourOffset = 0;
    bool m_steadyHour = false;
};

#endif
