// Counts of result rows by user, event, status, refusals per user and hour,
// gathered in one pass over the rows, and their top entries as tables.
//
// Memory stays bounded whatever the rows hold: each table keeps at most a
// fixed number of keys, each key cut to keyBytes bytes. A table that meets
// more keys than that makes room as the Misra-Gries summary does: every
// count loses the median count, and the keys whose count reaches nothing
// go. Its counts are then lower bounds, too low by at most undercount()
// (no more than 2 × rows / capacity), and a key of more rows than that is
// never lost; the "other" row holds the rest, so every column still adds
// up to the rows counted. Rows of a user id without a name, the millions of
// ids no user database knows, are counted apart by their number (IdCounter,
// bounded the same way), and made keys only for the rows shown.
#ifndef RESULTSUMMARY_H
#define RESULTSUMMARY_H

#include <QByteArray>
#include <QCoreApplication>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

#include <string>
#include <string_view>
#include <vector>

class CStringListModel;

// The counts of one table: records and refusals by key.
template <typename Key>
class TopCounter
{
public:
    struct Counts
    {
        qint64 records = 0;
        qint64 refusals = 0;
    };
    explicit TopCounter(int capacity) : m_capacity(capacity) {}

    // Counts one row under the number `key` (qint64 keys).
    void add(const Key &key, bool refused);
    // Counts one row under the bytes `key`, copied when new (QByteArray keys).
    void addBytes(std::string_view key, bool refused);
    const QHash<Key, Counts> &entries() const { return m_entries; }
    // Rows and refusals counted, kept keys or not.
    const Counts &total() const { return m_total; }
    // How much lower than the true one a kept count may be (0: exact).
    qint64 undercount() const { return m_undercount; }
    int capacity() const { return m_capacity; }

private:
    void makeRoom();
    void count(Counts *counts, bool refused);

    QHash<Key, Counts> m_entries;
    // Keys counted lately, by a hash of their bytes, with their entries: the
    // few users and events of most results are counted without a lookup in
    // the table. Cleared when keys go, and not copied, as m_last.
    struct Recent
    {
        const char *key = nullptr; // the entry's own key bytes
        qsizetype size = 0;
        Counts *counts = nullptr;
    };
    struct RecentKeys : std::vector<Recent>
    {
        RecentKeys() = default;
        RecentKeys(const RecentKeys &) : std::vector<Recent>() {}
        RecentKeys &operator=(const RecentKeys &)
        {
            this->clear();
            return *this;
        }
    };
    static constexpr int kRecentBits = 8;
    RecentKeys m_recent;
    QByteArray m_lookup; // the key being looked up, as an array over its bytes
    // The number key counted last and its counts: rows in a row often share it.
    // Cleared when keys go, and not copied (a copy has nodes of its own).
    struct Last
    {
        Counts *counts = nullptr;
        Last() = default;
        Last(const Last &) {}
        Last &operator=(const Last &)
        {
            counts = nullptr;
            return *this;
        }
    };
    Key m_lastKey;
    Last m_last;
    Counts m_total;
    qint64 m_undercount = 0;
    int m_capacity;
};

// Records and refusals by user id: an open table of 24 bytes an id, at
// most half full, of at most `capacity` ids. Past that it makes room as
// TopCounter does, so its counts are then lower bounds too low by at most
// undercount(), and its memory stays under 48 bytes × capacity.
class IdCounter
{
public:
    struct Entry
    {
        quint32 uid = 0;
        quint32 used = 0;
        qint64 records = 0;
        qint64 refusals = 0;
    };
    explicit IdCounter(int capacity) : m_capacity(size_t(capacity)) {}
    void add(quint32 uid, bool refused);
    // The entries, used or not (`used` tells).
    const std::vector<Entry> &entries() const { return m_slots; }
    qint64 size() const { return qint64(m_used); }
    // Rows and refusals counted, kept ids or not.
    qint64 records() const { return m_records; }
    qint64 refusals() const { return m_refusals; }
    // How much lower than the true one a kept count may be (0: exact).
    qint64 undercount() const { return m_undercount; }

private:
    // The slot of `uid`, or the free slot where it would go.
    Entry *find(quint32 uid);
    // Puts the used entries of `from` into m_slots, of `tableSize` slots.
    void rehash(std::vector<Entry> from, size_t tableSize);
    void makeRoom();

    std::vector<Entry> m_slots;
    size_t m_used = 0;
    size_t m_capacity;
    Entry *m_last = nullptr; // rows in a row often share their id
    qint64 m_records = 0;
    qint64 m_refusals = 0;
    qint64 m_undercount = 0;
};

class ResultSummary
{
    Q_DECLARE_TR_FUNCTIONS(ResultSummary)
public:
    enum Table { Users, Events, Statuses, UserRefusals, Hours };
    static constexpr int tableCount = 5;
    // The keys a table of names keeps, and the hours the table of hours keeps.
    static constexpr int nameCapacity = 16384;
    static constexpr int hourCapacity = 65536;
    // Bytes a name keeps; a longer one is cut (at a character) and ends in "…".
    static constexpr int keyBytes = 128;

    // One table row: the key columns, then the counts; `other` for the row
    // of everything not shown.
    struct Row
    {
        QStringList keys;
        QVector<qint64> counts;
        bool other = false;
    };

    // The fields of one result row (UTF-8), as recordfields.h reads them
    // from its text; empty when the text has not the record's shape.
    struct Fields
    {
        std::string_view user;   // the user name, empty when none is known
        std::string_view uid;    // the user id
        std::string_view time;   // "yyyy-MM-dd hh:mm:ss" (or ISO 8601, "T" for the blank)
        std::string_view kind;   // "user", "file", ... (kindName)
        std::string_view status; // "success" or "refusal" (statusName)
        std::string_view event;
    };

    ResultSummary();
    // Counts one row. Its user is its name, else its user id, else "(none)";
    // a row without a status is neither success nor refusal.
    void add(const Fields &fields);
    // Counts the row of user name `name` and record text `text`. A row of
    // no name is counted by its user id, exactly, whatever the number of ids.
    void addRow(std::string_view name, std::string_view text);
    // Rows counted.
    qint64 rows() const { return m_rows; }

    // The table's title and column headers, translated.
    static QString title(Table table);
    static QStringList headers(Table table);
    // The `top` rows with the highest first count (ties in key order), then,
    // when rows are left over, one row "other" with their sums.
    QVector<Row> rowsOf(Table table, int top = 20) const;
    // How much lower than the true one a count of the table may be, and why
    // (empty while its counts are exact).
    qint64 undercount(Table table) const;
    QString undercountNote(Table table) const;

    // Every table as CSV (RFC 4180, UTF-8, CR LF): for each, a row with its
    // title (and the note when its counts are not exact), the header row and
    // its rows, tables parted by an empty line. A key that a spreadsheet
    // would run as a formula gets a leading apostrophe unless `raw`.
    QByteArray toCsv(int top = 20, bool raw = false) const;
    // Every table as aligned plain text, for a terminal.
    QString toText(int top = 20) const;

private:
    // Counts all but the user of a row.
    bool addOthers(const Fields &fields);
    // The rows of a table of users: names and ids.
    QVector<Row> userRows(bool refusals, int top) const;

    TopCounter<QByteArray> m_users;
    IdCounter m_ids; // users of no name, by id, for Users and UserRefusals
    TopCounter<QByteArray> m_events; // kind, tab, event name
    TopCounter<QByteArray> m_refusals;
    TopCounter<qint64> m_hours; // yyyyMMddhh; -1 for a row without a time
    qint64 m_statuses[3] = {0, 0, 0}; // success, refusal, neither
    qint64 m_rows = 0;
    // Room for the keys of the row being counted.
    std::string m_userKey;
    std::string m_cappedEvent;
    std::string m_eventKey;
    // The hour of the last row's time, and the text it was read from.
    qint64 m_hour = -1;
    std::string m_hourText;
};

// How a walk over a result's rows ended.
enum class SummaryEnd { Done, Cancelled, Stopped, Failed };

// Counts the rows that saving `model` would write into `summary`, in one
// pass with the save's progress signals and cancel(): the rows come from
// the save's own walk (CStringListModel::forEachRow). Stopped at a record
// the filter cannot decide (model->stop()); Failed, with the reason in
// `error`, when the model went away meanwhile (then it must not be
// touched). `summary` is complete only when Done.
SummaryEnd summarizeRows(CStringListModel *model, ResultSummary *summary, QString *error = nullptr);

#endif
