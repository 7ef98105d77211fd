#include "timebuckets.h"

#include <QCoreApplication>
#include <QDateTime>

#include <algorithm>

#include "clog.h"
#include "cstringlistmodel.h"

namespace {

constexpr qint64 minute = 60;
constexpr qint64 hour = 60 * minute;
constexpr qint64 day = 24 * hour;
constexpr qint64 year = 365 * day;

const qint64 roundWidths[] = {1,          2,          5,          10,         15,      30,       minute,
                              2 * minute, 5 * minute, 10 * minute, 15 * minute, 30 * minute, hour, 2 * hour,
                              3 * hour,   6 * hour,   12 * hour,  day,        2 * day, 7 * day,  14 * day,
                              30 * day,   60 * day,   91 * day,   182 * day,  year};

qint64 floorDiv(qint64 a, qint64 b)
{
    const qint64 q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

} // namespace

bool TimeBuckets::range(const CStringListModel &model, qint64 *first, qint64 *last)
{
    const LogSet *log = model.logs();
    if (!log || model.lastBlock() < model.firstBlock())
        return false;
    const QDateTime a = log->blockDate(model.firstBlock());
    const QDateTime b = log->blockDate(model.lastBlock());
    if (!a.isValid() || !b.isValid())
        return false;
    *first = a.toSecsSinceEpoch();
    *last = std::max(*first, b.toSecsSinceEpoch());
    return true;
}

qint64 TimeBuckets::alignedStart(qint64 first, qint64 width, int utcOffset)
{
    width = std::max<qint64>(1, width);
    return floorDiv(first + utcOffset, width) * width - utcOffset;
}

qint64 TimeBuckets::width(qint64 first, qint64 last, int maxBuckets, int utcOffset)
{
    maxBuckets = std::max(1, maxBuckets);
    for (const qint64 w : roundWidths) {
        const qint64 start = alignedStart(first, w, utcOffset);
        if ((last - start) / w + 1 <= maxBuckets)
            return w;
    }
    // Whole years beyond the table.
    const qint64 years = (last - first) / year / maxBuckets + 1;
    qint64 w = years * year;
    while ((last - alignedStart(first, w, utcOffset)) / w + 1 > maxBuckets)
        w += year;
    return w;
}

int TimeBuckets::blockAt(const CStringListModel &model, qint64 secs)
{
    const LogSet *log = model.logs();
    const int after = model.lastBlock() + 1;
    if (!log || after <= model.firstBlock())
        return model.firstBlock();
    // The time index holds 32-bit seconds: times outside them lie before
    // or after every block.
    int block;
    if (secs <= 0)
        block = 0;
    else if (secs > 0xFFFFFFFFLL)
        block = log->blockCount();
    else
        block = log->blockForDate(QDateTime::fromSecsSinceEpoch(secs, Qt::UTC));
    return std::clamp(block, model.firstBlock(), after);
}

QVector<TimeBucket> TimeBuckets::buckets(const CStringListModel &model, qint64 width, int utcOffset)
{
    QVector<TimeBucket> result;
    qint64 first = 0;
    qint64 last = 0;
    if (width <= 0 || !range(model, &first, &last))
        return result;
    const qint64 start = alignedStart(first, width, utcOffset);
    const qint64 count = (last - start) / width + 1;
    result.reserve(int(count));
    int block = model.firstBlock();
    qint64 rows = model.rowsBefore(block);
    qint64 refused = model.refusalsBefore(block);
    for (qint64 i = 0; i < count; ++i) {
        TimeBucket bucket;
        bucket.start = start + i * width;
        bucket.end = bucket.start + width;
        const int next = i + 1 == count ? model.lastBlock() + 1 : blockAt(model, bucket.end);
        const qint64 rowsNext = model.rowsBefore(next);
        const qint64 refusedNext = model.refusalsBefore(next);
        bucket.rows = rowsNext - rows;
        bucket.refused = refusedNext - refused;
        rows = rowsNext;
        refused = refusedNext;
        block = next;
        result.append(bucket);
    }
    return result;
}

int TimeBuckets::firstRowAt(const CStringListModel &model, qint64 secs)
{
    const int row = model.rowsBefore(blockAt(model, secs));
    return row < model.rowCount() ? row : -1;
}

qint64 TimeBuckets::timeOfRow(const CStringListModel &model, int row)
{
    if (row < 0 || row >= model.rowCount() || !model.logs())
        return -1;
    const QDateTime time = model.logs()->blockDate(model.blockForRow(row));
    return time.isValid() ? time.toSecsSinceEpoch() : -1;
}

QString TimeBuckets::widthText(qint64 width)
{
    if (width % day == 0)
        return QCoreApplication::translate("TimeBuckets", "%1 d").arg(width / day);
    if (width % hour == 0)
        return QCoreApplication::translate("TimeBuckets", "%1 h").arg(width / hour);
    if (width % minute == 0)
        return QCoreApplication::translate("TimeBuckets", "%1 min").arg(width / minute);
    return QCoreApplication::translate("TimeBuckets", "%1 s").arg(width);
}
