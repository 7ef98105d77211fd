#include "recordfields.h"

#include <ctime>

#include <QDateTime>
#include <QtEndian>

#include <cstring>

namespace {

inline quint64 loadWord(const char *s)
{
    quint64 word;
    std::memcpy(&word, s, 8);
    return qFromLittleEndian(word);
}

// Reads an unsigned 32-bit decimal number at `at`; false when there is none
// or it does not fit. Where eight bytes are there to read, up to eight
// digits are told and read at once.
inline bool readNumber(std::string_view text, size_t *at, quint32 *value)
{
    const size_t from = *at;
    size_t i = from;
    quint64 v = 0;
    if (from + 8 <= text.size()) {
        // Digits become 0 to 9; any other byte has its high bit set in x or
        // in x + 0x76 (a carry out of it reaches only the bytes after it).
        const quint64 x = loadWord(text.data() + from) ^ 0x3030303030303030ull;
        const quint64 other = (x | (x + 0x7676767676767676ull)) & 0x8080808080808080ull;
        const int digits = other ? __builtin_ctzll(other) / 8 : 8;
        if (digits == 0)
            return false;
        // The digits moved to the top bytes, the first the most significant,
        // with zeros before them; then pairs, fours and eights are summed.
        quint64 d = x << (8 * (8 - digits));
        d = (d * 10 + (d >> 8)) & 0x00FF00FF00FF00FFull;
        d = (d * 100 + (d >> 16)) & 0x0000FFFF0000FFFFull;
        v = (d * 10000 + (d >> 32)) & 0xFFFFFFFFull;
        i += size_t(digits);
    }
    for (unsigned digit; i < text.size() && (digit = unsigned(uchar(text[i]) - '0')) <= 9; ++i) {
        v = v * 10 + digit;
        if (v > 0xFFFFFFFFull)
            return false;
    }
    if (i == from)
        return false;
    *at = i;
    *value = quint32(v);
    return true;
}

// Whether the bytes of `word` that `digits` marks (0xFF) are ASCII digits
// and the others are those of `others`.
inline bool wordShape(quint64 word, quint64 digits, quint64 others)
{
    const quint64 high = 0xF0F0F0F0F0F0F0F0ull & digits;
    const quint64 three = 0x3030303030303030ull & digits;
    // A digit is 0x30 to 0x39: high half 3, and still 3 after adding 6.
    return (word & ~digits) == others && (word & high) == three
           && ((word + (0x0606060606060606ull & digits)) & high) == three;
}

// "yyyy-MM-dd hh:mm:ss": digits and separators in their places, checked as
// three words ("yyyy-MM-", "dd hh:mm" and the last eight bytes).
bool isDateShape(std::string_view s)
{
    if (s.size() != 19)
        return false;
    const char *d = s.data();
    return wordShape(loadWord(d), 0x00FFFF00FFFFFFFFull, 0x2D00002D00000000ull)
           && wordShape(loadWord(d + 8), 0xFFFF00FFFF00FFFFull, 0x00003A0000200000ull)
           && wordShape(loadWord(d + 11), 0xFFFF00FFFF00FFFFull, 0x00003A00003A0000ull);
}

// Days from 1970-01-01 to the given day of the proleptic Gregorian calendar.
qint64 daysFromCivil(int year, int month, int day)
{
    year -= month <= 2;
    const int era = (year >= 0 ? year : year - 399) / 400;
    const int yearOfEra = year - era * 400;
    const int dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return qint64(era) * 146097 + dayOfEra - 719468;
}

int number(std::string_view s, size_t from, size_t length)
{
    int v = 0;
    for (size_t i = from; i < from + length; ++i)
        v = v * 10 + (s[i] - '0');
    return v;
}

} // namespace

bool parseRecordFields(std::string_view text, RecordFields *fields)
{
    RecordFields f;
    // "[k] <"
    if (text.size() < 5 || text[0] != '[' || text[2] != ']' || text[3] != ' ' || text[4] != '<')
        return false;
    switch (text[1]) {
    case 'u':
    case 'p':
    case 'f':
    case 'c':
        break;
    default:
        return false;
    }
    f.kind = text[1];
    size_t at = 5;
    for (int i = 0; i < 5; ++i) {
        const size_t from = at;
        if (!readNumber(text, &at, &f.subject[i]) || at >= text.size())
            return false;
        if (at - from == 1 || text[from] != '0')
            f.subjectDecimal[i] = text.substr(from, at - from);
        if (text[at++] != (i < 4 ? ',' : '>'))
            return false;
    }
    // " [s] " or " [f] "
    if (text.substr(at, 5) == " [s] ")
        f.refused = false;
    else if (text.substr(at, 5) == " [f] ")
        f.refused = true;
    else
        return false;
    at += 5;
    const size_t eventEnd = text.find(' ', at);
    if (eventEnd == std::string_view::npos || eventEnd == at)
        return false;
    f.event = text.substr(at, eventEnd - at);
    at = eventEnd + 1;
    f.date = text.substr(at, 19);
    if (!isDateShape(f.date))
        return false;
    at += 19;
    if (at < text.size()) {
        if (text[at] != ' ')
            return false;
        f.parameters = text.substr(at + 1);
    }
    *fields = f;
    return true;
}

std::string_view kindName(char kind)
{
    switch (kind) {
    case 'u':
        return "user";
    case 'p':
        return "user process";
    case 'f':
        return "file";
    case 'c':
        return "custom";
    default:
        return "";
    }
}

std::string_view statusName(bool refused)
{
    return refused ? "refusal" : "success";
}

namespace {

// The local offset from UTC at `time`, as QDateTime gives it for local time,
// but through the C library's converter, which costs a small part of what
// making a QDateTime does: records that each fall in another hour ask for
// it every time.
int localOffsetAt(qint64 time)
{
    const time_t t = time_t(time);
    struct tm parts;
    if (qint64(t) == time && ::localtime_r(&t, &parts))
        return int(parts.tm_gmtoff);
    return QDateTime::fromSecsSinceEpoch(time, Qt::LocalTime).offsetFromUtc();
}

} // namespace

bool IsoDates::steadyOffset(qint64 recordTime, int *offset)
{
    const qint64 hour = recordTime / 3600;
    if (hour != m_hour) {
        // One offset at both ends of the hour is the offset all through it:
        // clocks are not put forward and back within one hour.
        m_hour = hour;
        m_hourOffset = localOffsetAt(hour * 3600);
        m_steadyHour = localOffsetAt(hour * 3600 + 3599) == m_hourOffset;
    }
    *offset = m_hourOffset;
    return m_steadyHour;
}

const QByteArray &IsoDates::iso(std::string_view date, qint64 recordTime)
{
    if (recordTime == m_recordTime && date == std::string_view(m_date.constData(), size_t(m_date.size())))
        return m_iso;
    m_date.resize(int(date.size()));
    std::memcpy(m_date.data(), date.data(), date.size());
    m_recordTime = recordTime;
    m_iso.resize(0);
    if (!isDateShape(date))
        return m_iso;
    const int year = number(date, 0, 4);
    const int month = number(date, 5, 2);
    const int dayOfMonth = number(date, 8, 2);
    const int hours = number(date, 11, 2);
    const int minutes = number(date, 14, 2);
    const int seconds = number(date, 17, 2);
    if (!QDate::isValid(year, month, dayOfMonth) || !QTime::isValid(hours, minutes, seconds))
        return m_iso;
    int offset = 0;
    const qint64 civil = daysFromCivil(year, month, dayOfMonth) * 86400 + hours * 3600 + minutes * 60 + seconds;
    // The record's own time is this local time in the offset of its hour.
    const bool own = recordTime >= 0 && steadyOffset(recordTime, &offset) && civil == recordTime + offset;
    if (!own) {
        const QDate day(year, month, dayOfMonth);
        const QTime clock(hours, minutes, seconds);
        QDateTime local;
        if (recordTime >= 0) {
            // The record's own time gives the offset, when it is this local time.
            const QDateTime ownTime = QDateTime::fromSecsSinceEpoch(recordTime, Qt::LocalTime);
            if (ownTime.date() == day && ownTime.time() == clock)
                local = ownTime;
        }
        if (!local.isValid())
            local = QDateTime(day, clock, Qt::LocalTime);
        // A local time that does not exist keeps no offset: it names no instant.
        if (!local.isValid() || local.date() != day || local.time() != clock) {
            m_iso = m_date;
            m_iso[10] = 'T';
            return m_iso;
        }
        offset = local.offsetFromUtc();
    }
    const int zoneMinutes = std::abs(offset) / 60;
    const char zone[6] = {offset < 0 ? '-' : '+',
                          char('0' + zoneMinutes / 600),
                          char('0' + zoneMinutes / 60 % 10),
                          ':',
                          char('0' + zoneMinutes % 60 / 10),
                          char('0' + zoneMinutes % 10)};
    m_iso.append(m_date).append(zone, 6);
    m_iso[10] = 'T';
    return m_iso;
}
