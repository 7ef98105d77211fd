#include "resultsummary.h"

#include <QPointer>

#include <algorithm>
#include <charconv>
#include <cerrno>
#include <cstring>
#include <vector>


#include "chunkworker.h"
#include "cstringlistmodel.h"
#include "exportformat.h"
#include "recordfields.h"

namespace {
// A hash of a short key from its length and its first and last bytes; a
// long key that differs only in between just misses the recent keys.
size_t recentHash(std::string_view key, int bits)
{
    const char *p = key.data();
    const size_t n = key.size();
    quint64 first = 0;
    quint64 last = 0;
    if (n >= 8) {
        std::memcpy(&first, p, 8);
        std::memcpy(&last, p + n - 8, 8);
    } else if (n >= 4) {
        quint32 a;
        quint32 b;
        std::memcpy(&a, p, 4);
        std::memcpy(&b, p + n - 4, 4);
        first = a;
        last = b;
    } else if (n > 0) {
        first = uchar(p[0]) | uchar(p[n / 2]) << 8 | uchar(p[n - 1]) << 16;
    }
    const quint64 h = (first * 0x9E3779B97F4A7C15ull) ^ (last * 0xC2B2AE3D27D4EB4Full) ^ (n * 0x165667B19E3779F9ull);
    return size_t(h >> (64 - bits));
}
} // namespace

template <typename Key>
void TopCounter<Key>::count(Counts *counts, bool refused)
{
    ++m_total.records;
    m_total.refusals += refused;
    ++counts->records;
    counts->refusals += refused;
}

template <typename Key>
void TopCounter<Key>::add(const Key &key, bool refused)
{
    if (!m_last.counts || !(key == m_lastKey)) {
        auto it = m_entries.find(key);
        if (it == m_entries.end()) {
            if (m_entries.size() >= m_capacity)
                makeRoom();
            it = m_entries.insert(key, Counts());
        }
        m_lastKey = it.key();
        // Nodes of a QHash stay where they are when it grows.
        m_last.counts = &it.value();
    }
    count(m_last.counts, refused);
}

template <typename Key>
void TopCounter<Key>::addBytes(std::string_view key, bool refused)
{
    if (m_recent.empty())
        m_recent.resize(size_t(1) << kRecentBits);
    Recent &recent = m_recent[recentHash(key, kRecentBits)];
    // (An empty key may have no bytes at all to compare.)
    if (recent.counts && recent.size == qsizetype(key.size())
        && (key.empty() || std::memcmp(recent.key, key.data(), key.size()) == 0)) {
        count(recent.counts, refused);
        return;
    }
    // An array over the bytes: setting it anew allocates nothing.
    m_lookup.setRawData(key.empty() ? "" : key.data(), uint(key.size()));
    auto it = m_entries.find(m_lookup);
    if (it == m_entries.end()) {
        if (m_entries.size() >= m_capacity)
            makeRoom();
        it = m_entries.insert(QByteArray(key.data(), int(key.size())), Counts());
    }
    // Nodes of a QHash, and so their keys' bytes, stay where they are when
    // it grows.
    recent = Recent{it.key().constData(), it.key().size(), &it.value()};
    count(recent.counts, refused);
}

template <typename Key>
void TopCounter<Key>::makeRoom()
{
    // Every count loses the median: at least half the keys go, and each
    // loss is made good by as many rows of the keys that stay, so the
    // losses of all rounds add up to no more than 2 × rows / capacity.
    std::vector<qint64> records;
    records.reserve(size_t(m_entries.size()));
    for (const Counts &c : qAsConst(m_entries))
        records.push_back(c.records);
    const auto middle = records.begin() + records.size() / 2;
    std::nth_element(records.begin(), middle, records.end());
    const qint64 loss = *middle;
    for (auto it = m_entries.begin(); it != m_entries.end();) {
        it->records -= loss;
        it->refusals -= std::min(it->refusals, loss);
        if (it->records <= 0)
            it = m_entries.erase(it);
        else
            ++it;
    }
    m_undercount += loss;
    m_last.counts = nullptr;
    std::fill(m_recent.begin(), m_recent.end(), Recent());
}

void IdCounter::add(quint32 uid, bool refused)
{
    ++m_records;
    m_refusals += refused;
    if (!m_last || m_last->uid != uid) {
        Entry *e = find(uid);
        if (!e->used) {
            // Room is made for a new id only: the table grows while it holds
            // fewer than m_capacity ids, and makes room at the capacity.
            if (2 * (m_used + 1) > m_slots.size()) {
                if (m_used >= m_capacity)
                    makeRoom();
                else
                    rehash(std::move(m_slots), std::max<size_t>(64, 2 * m_slots.size()));
                e = find(uid);
            }
            e->used = 1;
            e->uid = uid;
            ++m_used;
        }
        m_last = e;
    }
    ++m_last->records;
    m_last->refusals += refused;
}

IdCounter::Entry *IdCounter::find(quint32 uid)
{
    if (m_slots.empty())
        m_slots.resize(64);
    const size_t mask = m_slots.size() - 1;
    size_t i = size_t((uid * 0x9E3779B97F4A7C15ull) >> 32) & mask;
    while (m_slots[i].used && m_slots[i].uid != uid)
        i = (i + 1) & mask;
    return &m_slots[i];
}

void IdCounter::rehash(std::vector<Entry> from, size_t tableSize)
{
    m_slots.assign(tableSize, Entry());
    m_used = 0;
    m_last = nullptr;
    const size_t mask = tableSize - 1;
    for (const Entry &e : from) {
        if (!e.used)
            continue;
        size_t i = size_t((e.uid * 0x9E3779B97F4A7C15ull) >> 32) & mask;
        while (m_slots[i].used)
            i = (i + 1) & mask;
        m_slots[i] = e;
        ++m_used;
    }
}

void IdCounter::makeRoom()
{
    // As TopCounter::makeRoom: every count loses the median, so at least
    // half the ids go, and the table keeps its size.
    std::vector<qint64> records;
    records.reserve(m_used);
    for (const Entry &e : m_slots) {
        if (e.used)
            records.push_back(e.records);
    }
    const auto middle = records.begin() + records.size() / 2;
    std::nth_element(records.begin(), middle, records.end());
    const qint64 loss = *middle;
    for (Entry &e : m_slots) {
        if (!e.used)
            continue;
        e.records -= loss;
        e.refusals -= std::min(e.refusals, loss);
        if (e.records <= 0)
            e.used = 0;
    }
    m_undercount += loss;
    const size_t tableSize = m_slots.size();
    rehash(std::move(m_slots), tableSize);
}

// Names are counted by their bytes, hours by their number.
template void TopCounter<QByteArray>::addBytes(std::string_view key, bool refused);
template void TopCounter<qint64>::add(const qint64 &key, bool refused);

namespace {

// A key (a user, an event) that a spreadsheet would take for a formula gets
// a leading apostrophe unless `raw` (csvFormulaStart).
QByteArray csvField(const QString &text, bool raw = true)
{
    QByteArray bytes = text.toUtf8();
    if (!raw && csvFormulaStart(std::string_view(bytes.constData(), size_t(bytes.size()))))
        bytes.prepend('\'');
    if (bytes.contains(',') || bytes.contains('"') || bytes.contains('\n') || bytes.contains('\r'))
        bytes = '"' + bytes.replace('"', "\"\"") + '"';
    return bytes;
}

QString none()
{
    return ResultSummary::tr("(none)");
}

QString shown(const QByteArray &key)
{
    return key.isEmpty() ? none() : QString::fromUtf8(key);
}

// `bytes` cut to `limit` bytes at a character boundary, marked with "…";
// into `scratch`, which it returns.
std::string_view capped(std::string_view bytes, std::string *scratch)
{
    if (bytes.size() <= size_t(ResultSummary::keyBytes))
        return bytes;
    size_t end = size_t(ResultSummary::keyBytes);
    while (end > 0 && (uchar(bytes[end]) & 0xC0) == 0x80)
        --end;
    scratch->assign(bytes.data(), end);
    scratch->append("\xE2\x80\xA6");
    return *scratch;
}

// The hour of a time "yyyy-MM-dd hh..." (or "T" for the blank) as
// yyyyMMddhh; -1 for another text.
qint64 hourOf(std::string_view time)
{
    static const char shape[] = "dddd-dd-dd dd";
    if (time.size() < sizeof shape - 1)
        return -1;
    qint64 hour = 0;
    for (size_t i = 0; i + 1 < sizeof shape; ++i) {
        if (shape[i] == 'd') {
            if (time[i] < '0' || time[i] > '9')
                return -1;
            hour = hour * 10 + (time[i] - '0');
        } else if (time[i] != shape[i] && !(shape[i] == ' ' && time[i] == 'T')) {
            return -1;
        }
    }
    return hour;
}

QString hourText(qint64 hour)
{
    if (hour < 0)
        return none();
    return QString::asprintf("%04lld-%02lld-%02lld %02lld:00", hour / 1000000, hour / 10000 % 100, hour / 100 % 100,
                             hour % 100);
}

// Sorts `rows` by their first count, highest first (ties in key order),
// keeps `top` of them and adds the row "other" with what `total` holds
// beyond them, when anything.
QVector<ResultSummary::Row> topRows(QVector<ResultSummary::Row> rows, int top, const QVector<qint64> &total)
{
    std::sort(rows.begin(), rows.end(), [](const ResultSummary::Row &a, const ResultSummary::Row &b) {
        if (a.counts.first() != b.counts.first())
            return a.counts.first() > b.counts.first();
        return a.keys < b.keys;
    });
    if (rows.size() > top)
        rows.resize(top);
    ResultSummary::Row other;
    other.counts = total;
    for (const ResultSummary::Row &row : qAsConst(rows)) {
        for (int c = 0; c < other.counts.size(); ++c)
            other.counts[c] -= row.counts.at(c);
    }
    if (other.counts.first() > 0) {
        other.keys.append(ResultSummary::tr("other"));
        while (other.keys.size() < rows.value(0).keys.size())
            other.keys.append(QString());
        other.other = true;
        rows.append(other);
    }
    return rows;
}

template <typename Key, typename Keys>
QVector<ResultSummary::Row> rowsOfCounter(const TopCounter<Key> &counter, int top, bool withRefusals, Keys keys)
{
    QVector<ResultSummary::Row> rows;
    rows.reserve(counter.entries().size());
    for (auto it = counter.entries().cbegin(); it != counter.entries().cend(); ++it) {
        ResultSummary::Row row{keys(it.key()), {it->records}, false};
        if (withRefusals)
            row.counts.append(it->refusals);
        rows.append(row);
    }
    QVector<qint64> total{counter.total().records};
    if (withRefusals)
        total.append(counter.total().refusals);
    return topRows(rows, top, total);
}

} // namespace

ResultSummary::ResultSummary()
    : m_users(nameCapacity), m_ids(nameCapacity), m_events(nameCapacity), m_refusals(nameCapacity),
      m_hours(hourCapacity)
{
}

void ResultSummary::add(const Fields &fields)
{
    const bool refused = addOthers(fields);
    const std::string_view user = capped(fields.user.empty() ? fields.uid : fields.user, &m_userKey);
    m_users.addBytes(user, refused);
    if (refused)
        m_refusals.addBytes(user, true);
}

bool ResultSummary::addOthers(const Fields &fields)
{
    ++m_rows;
    const bool refused = fields.status == "refusal";
    ++m_statuses[refused ? 1 : fields.status == "success" ? 0 : 2];
    // The key, "kind<tab>event", is made in place: no allocation per row.
    const std::string_view event = capped(fields.event, &m_cappedEvent);
    const size_t keySize = fields.kind.size() + 1 + event.size();
    if (m_eventKey.size() < keySize)
        m_eventKey.resize(keySize);
    // (A part may be empty with no bytes at all to copy from.)
    fields.kind.copy(m_eventKey.data(), fields.kind.size());
    m_eventKey[fields.kind.size()] = '\t';
    event.copy(m_eventKey.data() + fields.kind.size() + 1, event.size());
    m_events.addBytes(std::string_view(m_eventKey.data(), keySize), refused);
    // Rows in a row mostly share their hour: its text is compared, not read.
    const std::string_view hourText = fields.time.substr(0, 13);
    if (hourText != m_hourText) {
        m_hourText.assign(hourText);
        m_hour = hourOf(fields.time);
    }
    m_hours.add(m_hour, refused);
    return refused;
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
        return {tr("User"), tr("Records"), tr("Refusals")};
    case Events:
        return {tr("Event"), tr("Kind"), tr("Records"), tr("Refusals")};
    case Statuses:
        return {tr("Status"), tr("Records")};
    case UserRefusals:
        return {tr("User"), tr("Refusals")};
    case Hours:
        return {tr("Hour"), tr("Records"), tr("Refusals")};
    }
    return {};
}

QVector<ResultSummary::Row> ResultSummary::rowsOf(Table table, int top) const
{
    switch (table) {
    case Users:
        return userRows(false, top);
    case Events:
        return rowsOfCounter(m_events, top, true, [](const QByteArray &key) {
            const int tab = key.indexOf('\t');
            return QStringList{shown(key.mid(tab + 1)), QString::fromUtf8(key.left(tab))};
        });
    case Statuses: {
        // English, as the exports write them.
        const QString names[] = {QStringLiteral("success"), QStringLiteral("refusal"), none()};
        QVector<Row> rows;
        for (int s = 0; s < 3; ++s) {
            if (m_statuses[s] > 0)
                rows.append(Row{{names[s]}, {m_statuses[s]}, false});
        }
        return topRows(rows, top, {m_rows});
    }
    case UserRefusals:
        return userRows(true, top);
    case Hours:
        return rowsOfCounter(m_hours, top, true, [](qint64 hour) { return QStringList{hourText(hour)}; });
    }
    return {};
}

QVector<ResultSummary::Row> ResultSummary::userRows(bool refusals, int top) const
{
    const TopCounter<QByteArray> &names = refusals ? m_refusals : m_users;
    const auto countOf = [refusals](const IdCounter::Entry &e) { return refusals ? e.refusals : e.records; };
    const auto decimal = [](quint32 uid, char *buffer) {
        return std::string_view(buffer, size_t(std::to_chars(buffer, buffer + 16, uid).ptr - buffer));
    };
    // An id whose decimal is also a name counted is that name's row.
    QHash<QByteArray, Row> byName;
    for (auto it = names.entries().cbegin(); it != names.entries().cend(); ++it) {
        Row row{{shown(it.key())}, {it->records}, false};
        if (!refusals)
            row.counts.append(it->refusals);
        byName.insert(it.key(), row);
    }
    // The ids of the highest counts, ties in the order of their keys: the
    // rows shown are among them, whatever the number of ids.
    std::vector<const IdCounter::Entry *> ids;
    ids.reserve(size_t(m_ids.size()));
    for (const IdCounter::Entry &e : m_ids.entries()) {
        if (!e.used || countOf(e) == 0)
            continue;
        char buffer[16];
        const std::string_view key = decimal(e.uid, buffer);
        const auto merged = byName.find(QByteArray::fromRawData(key.data(), int(key.size())));
        if (merged != byName.end()) {
            merged->counts[0] += countOf(e);
            if (!refusals)
                merged->counts[1] += e.refusals;
            continue;
        }
        ids.push_back(&e);
    }
    const auto before = [&](const IdCounter::Entry *a, const IdCounter::Entry *b) {
        if (countOf(*a) != countOf(*b))
            return countOf(*a) > countOf(*b);
        char x[16];
        char y[16];
        return decimal(a->uid, x) < decimal(b->uid, y);
    };
    if (ids.size() > size_t(std::max(top, 0))) {
        std::nth_element(ids.begin(), ids.begin() + std::max(top, 0), ids.end(), before);
        ids.resize(size_t(std::max(top, 0)));
    }
    QVector<Row> rows;
    rows.reserve(byName.size() + int(ids.size()));
    for (const Row &row : qAsConst(byName))
        rows.append(row);
    for (const IdCounter::Entry *e : ids) {
        char buffer[16];
        const std::string_view key = decimal(e->uid, buffer);
        Row row{{QString::fromLatin1(key.data(), int(key.size()))}, {countOf(*e)}, false};
        if (!refusals)
            row.counts.append(e->refusals);
        rows.append(row);
    }
    QVector<qint64> total{names.total().records};
    if (!refusals)
        total.append(names.total().refusals);
    total[0] += refusals ? m_ids.refusals() : m_ids.records();
    if (!refusals)
        total[1] += m_ids.refusals();
    return topRows(rows, top, total);
}

qint64 ResultSummary::undercount(Table table) const
{
    switch (table) {
    case Users:
        return m_users.undercount() + m_ids.undercount();
    case Events:
        return m_events.undercount();
    case Statuses:
        return 0;
    case UserRefusals:
        return m_refusals.undercount() + m_ids.undercount();
    case Hours:
        return m_hours.undercount();
    }
    return 0;
}

QString ResultSummary::undercountNote(Table table) const
{
    const qint64 under = undercount(table);
    if (under == 0)
        return QString();
    const int capacity = table == Hours ? hourCapacity : nameCapacity;
    return tr("More than %1 different keys: each count may be up to %2 too low, \"other\" holds the rest.")
        .arg(capacity)
        .arg(under);
}

QByteArray ResultSummary::toCsv(int top, bool raw) const
{
    QByteArray out;
    for (int t = 0; t < tableCount; ++t) {
        const Table table = Table(t);
        if (t > 0)
            out += "\r\n";
        out += csvField(title(table));
        if (undercount(table) > 0)
            out += ',' + csvField(undercountNote(table));
        out += "\r\n";
        QByteArrayList fields;
        for (const QString &h : headers(table))
            fields.append(csvField(h));
        out += fields.join(',') + "\r\n";
        for (const Row &row : rowsOf(table, top)) {
            fields.clear();
            for (const QString &k : row.keys)
                fields.append(csvField(k, raw));
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
        const QStringList header = headers(table);
        QVector<QStringList> lines{header};
        for (const Row &row : rowsOf(table, top)) {
            QStringList cells = row.keys;
            for (const qint64 c : row.counts)
                cells.append(QString::number(c));
            lines.append(cells);
        }
        QVector<int> widths(header.size(), 0);
        for (const QStringList &cells : qAsConst(lines)) {
            for (int c = 0; c < widths.size(); ++c)
                widths[c] = std::max(widths[c], int(cells.value(c).size()));
        }
        if (t > 0)
            out += QLatin1Char('\n');
        out += title(table) + QLatin1Char('\n');
        if (undercount(table) > 0)
            out += undercountNote(table) + QLatin1Char('\n');
        const int keys = table == Events ? 2 : 1;
        for (const QStringList &cells : qAsConst(lines)) {
            QString line;
            for (int c = 0; c < widths.size(); ++c) {
                if (c > 0)
                    line += QStringLiteral("  ");
                // Keys to the left, counts to the right.
                line += c < keys ? cells.value(c).leftJustified(widths.at(c)) : cells.value(c).rightJustified(widths.at(c));
            }
            while (line.endsWith(QLatin1Char(' ')))
                line.chop(1);
            out += line + QLatin1Char('\n');
        }
    }
    return out;
}

// --- Reading the rows ---------------------------------------------------

void ResultSummary::addRow(std::string_view name, std::string_view text)
{
    RecordFields f;
    if (!parseRecordFields(text, &f)) {
        add(Fields{name, {}, {}, {}, {}, {}});
        return;
    }
    const Fields fields{name, {}, f.date, kindName(f.kind), statusName(f.refused), f.event};
    if (!name.empty()) {
        add(fields);
        return;
    }
    // The user id stands in for the name where there is none: counted by
    // its number, and made its decimal key only for the rows shown.
    addOthers(fields);
    m_ids.add(f.subject[2], f.refused);
}

SummaryEnd summarizeRows(CStringListModel *model, ResultSummary *summary, QString *error)
{
    // The rows are counted on a thread of their own while the walk finds
    // the next ones; `summary` is touched there alone until it ends.
    ChunkWorker counter([summary](const QByteArray &batch) {
        rowbatch::forEach(batch, [summary](std::string_view name, std::string_view text, qint64) {
            summary->addRow(name, text);
        });
        return 0;
    });
    constexpr int kBatchBytes = 1 << 20;
    QByteArray batch;
    const QPointer<CStringListModel> alive(model);
    const bool walked = model->forEachRow([&](std::string_view name, std::string_view text) {
        rowbatch::append(&batch, name, text, -1);
        if (batch.size() >= kBatchBytes) {
            counter.hand(std::move(batch));
            batch = counter.buffer();
        }
    });
    counter.hand(std::move(batch));
    counter.finish();
    if (!walked || !alive) {
        if (error)
            *error = CStringListModel::tr("The results were closed while they were saved.");
        return SummaryEnd::Failed;
    }
    if (model->isCancelled())
        return SummaryEnd::Cancelled;
    return model->stop().stopped() ? SummaryEnd::Stopped : SummaryEnd::Done;
}
