// Counts of result rows by user, event, status, refusals per user and hour,
// gathered in one pass over the rows, and their top entries as tables.
#ifndef RESULTSUMMARY_H
#define RESULTSUMMARY_H

#include <QByteArray>
#include <QCoreApplication>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

#include <string_view>

class ResultSummary
{
    Q_DECLARE_TR_FUNCTIONS(ResultSummary)
public:
    enum Table { Users, Events, Statuses, UserRefusals, Hours };
    static constexpr int tableCount = 5;

    // One table's rows: the key columns, then the counts.
    struct Row
    {
        QStringList keys;
        QVector<qint64> counts;
    };

    // Counts the result row of user name `name` and record text `text`
    // (UTF-8). A text that has not the record shape counts under empty
    // keys, its status neither success nor refusal.
    void add(const QByteArray &name, std::string_view text);
    // Rows counted.
    qint64 rows() const { return m_rows; }

    // The table's title and column headers, translated.
    static QString title(Table table);
    static QStringList headers(Table table);
    // The `top` rows with the highest first count (ties in key order), then,
    // when more are left, one row "other" with their sums.
    QVector<Row> rowsOf(Table table, int top = 20) const;

    // Every table as CSV (RFC 4180, UTF-8): for each, a row with its title,
    // the header row and its rows, tables parted by an empty line.
    QByteArray toCsv(int top = 20) const;
    // Every table as aligned plain text, for a terminal.
    QString toText(int top = 20) const;

private:
    struct User
    {
        QByteArray name;
        qint64 successes = 0;
        qint64 refusals = 0;
        qint64 others = 0; // rows without the record shape
    };
    // Users by the name the rows show, or by the user id when none is known.
    QHash<QByteArray, User> m_users;
    QHash<QByteArray, qint64> m_events; // kind mark, blank, event name
    QHash<QByteArray, qint64> m_hours;  // "yyyy-MM-dd hh"
    qint64 m_statuses[3] = {0, 0, 0};   // success, refusal, no shape
    qint64 m_rows = 0;
    // The last keys counted: rows in a row often share them.
    QByteArray m_lastUserKey;
    User *m_lastUser = nullptr;
    QByteArray m_lastHour;
    qint64 *m_lastHourCount = nullptr;
};

#endif
