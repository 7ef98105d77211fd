#include "resultsummary.h"

#include <algorithm>

#include "recordfields.h"

namespace {

QByteArray csvField(const QString &text)
{
    QByteArray bytes = text.toUtf8();
    if (bytes.contains(',') || bytes.contains('"') || bytes.contains('\n') || bytes.contains('\r'))
        bytes = '"' + bytes.replace('"', "\"\"") + '"';
    return bytes;
}

QString shown(const QByteArray &key)
{
    return key.isEmpty() ? ResultSummary::tr("(none)") : QString::fromUtf8(key);
}

// The rows of `entries` (key → counts) with the highest first count first,
// cut after `top`, the rest summed into "other".
QVector<ResultSummary::Row> topRows(QVector<ResultSummary::Row> rows, int top, int keyColumns)
{
    std::sort(rows.begin(), rows.end(), [](const ResultSummary::Row &a, const ResultSummary::Row &b) {
        if (a.counts.first() != b.counts.first())
            return a.counts.first() > b.counts.first();
        return a.keys < b.keys;
    });
    if (rows.size() <= top)
        return rows;
    ResultSummary::Row other;
    other.keys.append(ResultSummary::tr("other"));
    for (int k = 1; k < keyColumns; ++k)
        other.keys.append(QString());
    other.counts.fill(0, rows.first().counts.size());
    for (int i = top; i < rows.size(); ++i) {
        for (int c = 0; c < other.counts.size(); ++c)
            other.counts[c] += rows.at(i).counts.at(c);
    }
    rows.resize(top);
    rows.append(other);
    return rows;
}

} // namespace

void ResultSummary::add(const QByteArray &name, std::string_view text)
{
    ++m_rows;
    RecordFields f;
    const bool shaped = parseRecordFields(text, &f);
    QByteArray userKey = name;
    if (userKey.isEmpty() && shaped)
        userKey = QByteArray::number(f.subject[2]);
    if (!m_lastUser || userKey != m_lastUserKey) {
        m_lastUserKey = userKey;
        m_lastUser = &m_users[userKey];
        m_lastUser->name = userKey;
    }
    if (!shaped) {
        ++m_lastUser->others;
        ++m_statuses[2];
        ++m_events[QByteArray()];
        ++m_hours[QByteArray()];
        m_lastHourCount = nullptr;
        return;
    }
    ++(f.refused ? m_lastUser->refusals : m_lastUser->successes);
    ++m_statuses[f.refused ? 1 : 0];
    ++m_events[QByteArray(1, f.kind) + ' ' + QByteArray(f.event.data(), int(f.event.size()))];
    const std::string_view hour = f.date.substr(0, 13);
    if (!m_lastHourCount || hour != std::string_view(m_lastHour.constData(), size_t(m_lastHour.size()))) {
        m_lastHour = QByteArray(hour.data(), int(hour.size()));
        m_lastHourCount = &m_hours[m_lastHour];
    }
    ++*m_lastHourCount;
}

QString ResultSummary::title(Table table)
{
    switch (table) {
    case Users:
        return tr("Users");
    case Events:
        return tr("Events");
    case Statuses:
        return tr("Status");
    case UserRefusals:
        return tr("Refusals by user");
    case Hours:
        return tr("Hours");
    }
    return QString();
}

QStringList ResultSummary::headers(Table table)
{
    switch (table) {
    case Users:
        return {tr("User"), tr("Records")};
    case Events:
        return {tr("Event"), tr("Kind"), tr("Records")};
    case Statuses:
        return {tr("Status"), tr("Records")};
    case UserRefusals:
        return {tr("User"), tr("Refusals"), tr("Successes")};
    case Hours:
        return {tr("Hour"), tr("Records")};
    }
    return {};
}

QVector<ResultSummary::Row> ResultSummary::rowsOf(Table table, int top) const
{
    QVector<Row> rows;
    switch (table) {
    case Users:
        for (const User &u : m_users)
            rows.append(Row{{shown(u.name)}, {u.successes + u.refusals + u.others}});
        return topRows(rows, top, 1);
    case Events:
        for (auto it = m_events.cbegin(); it != m_events.cend(); ++it) {
            const QByteArray &key = it.key();
            const QString kind = key.isEmpty() ? QString() : QString::fromLatin1(kindName(key.at(0)));
            rows.append(Row{{shown(key.mid(2)), kind}, {it.value()}});
        }
        return topRows(rows, top, 2);
    case Statuses:
        for (int s = 0; s < 3; ++s) {
            if (m_statuses[s] > 0) {
                const QString name = s == 2 ? tr("(none)") : QString::fromLatin1(statusName(s == 1));
                rows.append(Row{{name}, {m_statuses[s]}});
            }
        }
        return topRows(rows, top, 1);
    case UserRefusals:
        for (const User &u : m_users)
            rows.append(Row{{shown(u.name)}, {u.refusals, u.successes}});
        return topRows(rows, top, 1);
    case Hours:
        for (auto it = m_hours.cbegin(); it != m_hours.cend(); ++it) {
            const QString hour = it.key().isEmpty() ? tr("(none)") : QString::fromLatin1(it.key() + ":00");
            rows.append(Row{{hour}, {it.value()}});
        }
        return topRows(rows, top, 1);
    }
    return rows;
}

QByteArray ResultSummary::toCsv(int top) const
{
    QByteArray out;
    for (int t = 0; t < tableCount; ++t) {
        const Table table = Table(t);
        if (t > 0)
            out += "\r\n";
        out += csvField(title(table)) + "\r\n";
        QByteArrayList fields;
        for (const QString &h : headers(table))
            fields.append(csvField(h));
        out += fields.join(',') + "\r\n";
        for (const Row &row : rowsOf(table, top)) {
            fields.clear();
            for (const QString &k : row.keys)
                fields.append(csvField(k));
            for (const qint64 c : row.counts)
                fields.append(QByteArray::number(c));
            out += fields.join(',') + "\r\n";
        }
    }
    return out;
}

QString ResultSummary::toText(int top) const
{
    QString out;
    for (int t = 0; t < tableCount; ++t) {
        const Table table = Table(t);
        QVector<QStringList> lines{headers(table)};
        for (const Row &row : rowsOf(table, top)) {
            QStringList cells = row.keys;
            for (const qint64 c : row.counts)
                cells.append(QString::number(c));
            lines.append(cells);
        }
        QVector<int> widths(lines.first().size(), 0);
        for (const QStringList &cells : lines) {
            for (int c = 0; c < cells.size() && c < widths.size(); ++c)
                widths[c] = std::max(widths[c], int(cells.at(c).size()));
        }
        if (t > 0)
            out += QLatin1Char('\n');
        out += title(table) + QLatin1Char('\n');
        const int counts = table == UserRefusals ? 2 : 1;
        for (const QStringList &cells : lines) {
            QString line;
            for (int c = 0; c < cells.size() && c < widths.size(); ++c) {
                if (c > 0)
                    line += QStringLiteral("  ");
                // Counts right-aligned, keys left.
                line += c >= widths.size() - counts ? cells.at(c).rightJustified(widths.at(c))
                                                    : cells.at(c).leftJustified(widths.at(c));
            }
            out += line + QLatin1Char('\n');
        }
    }
    return out;
}
