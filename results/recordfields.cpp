#include "recordfields.h"

#include <QDateTime>

#include <cstring>

namespace {

inline bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Reads an unsigned 32-bit decimal number at `at`; false when there is none
// or it does not fit.
bool readNumber(std::string_view text, size_t *at, quint32 *value)
{
    size_t i = *at;
    quint64 v = 0;
    while (i < text.size() && isDigit(text[i]) && v <= 0xFFFFFFFFull)
        v = v * 10 + quint64(text[i++] - '0');
    if (i == *at || v > 0xFFFFFFFFull)
        return false;
    *at = i;
    *value = quint32(v);
    return true;
}

// "yyyy-MM-dd hh:mm:ss": digits and separators in their places.
bool isDateShape(std::string_view s)
{
    static const char shape[] = "dddd-dd-dd dd:dd:dd";
    if (s.size() != sizeof shape - 1)
        return false;
    for (size_t i = 0; i < s.size(); ++i) {
        if (shape[i] == 'd' ? !isDigit(s[i]) : s[i] != shape[i])
            return false;
    }
    return true;
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
    if (!std::strchr("upfc", text[1]) || text[1] == '\0')
        return false;
    f.kind = text[1];
    size_t at = 5;
    for (int i = 0; i < 5; ++i) {
        if (!readNumber(text, &at, &f.subject[i]) || at >= text.size())
            return false;
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

const char *kindName(char kind)
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

const char *statusName(bool refused)
{
    return refused ? "refusal" : "success";
}

const QByteArray &IsoDates::iso(std::string_view date, qint64 recordTime)
{
    if (recordTime == m_recordTime && date == std::string_view(m_date.constData(), size_t(m_date.size())))
        return m_iso;
    m_date = QByteArray(date.data(), int(date.size()));
    m_recordTime = recordTime;
    m_iso.clear();
    if (!isDateShape(date))
        return m_iso;
    const QDate day(number(date, 0, 4), number(date, 5, 2), number(date, 8, 2));
    const QTime clock(number(date, 11, 2), number(date, 14, 2), number(date, 17, 2));
    if (!day.isValid() || !clock.isValid())
        return m_iso;
    QDateTime local;
    if (recordTime >= 0) {
        // The record's own time gives the offset, when it is this local time.
        const QDateTime own = QDateTime::fromSecsSinceEpoch(recordTime, Qt::LocalTime);
        if (own.date() == day && own.time() == clock)
            local = own;
    }
    if (!local.isValid())
        local = QDateTime(day, clock, Qt::LocalTime);
    m_iso = m_date;
    m_iso[10] = 'T';
    // A local time that does not exist keeps no offset: it names no instant.
    if (!local.isValid() || local.date() != day || local.time() != clock)
        return m_iso;
    const int offset = local.offsetFromUtc();
    const int minutes = std::abs(offset) / 60;
    char zone[7];
    zone[0] = offset < 0 ? '-' : '+';
    zone[1] = char('0' + minutes / 600);
    zone[2] = char('0' + minutes / 60 % 10);
    zone[3] = ':';
    zone[4] = char('0' + minutes % 60 / 10);
    zone[5] = char('0' + minutes % 10);
    zone[6] = 0;
    m_iso.append(zone, 6);
    return m_iso;
}
