// The rows of a result tab over time: buckets of round widths made from the
// model's per-block counts (prefix sums), never from its rows or the log's
// records, and the rows that lie at a time.
#ifndef TIMEBUCKETS_H
#define TIMEBUCKETS_H

#include <QtGlobal>
#include <QVector>

class CStringListModel;

// One bar of the time line: the seconds [start, end) since 1970 UTC and the
// rows counted in them, `refused` of them refusals.
struct TimeBucket
{
    qint64 start = 0;
    qint64 end = 0;
    qint64 rows = 0;
    qint64 refused = 0;
};

class TimeBuckets
{
public:
    // The range of the model's blocks in seconds since 1970 UTC: the times
    // of its first and last block. False when the range holds no block.
    static bool range(const CStringListModel &model, qint64 *first, qint64 *last);
    // The smallest round width (1, 2, 5, 10, 15, 30 seconds or minutes, 1,
    // 2, 3, 6, 12 hours, 1, 2, 7, 14 days, 1, 2, 3, 6 months of 30 days,
    // whole years of 365 days) that splits `first` to `last` into at most
    // `maxBuckets` buckets aligned to it in local time (`utcOffset` seconds
    // east of UTC).
    static qint64 width(qint64 first, qint64 last, int maxBuckets, int utcOffset = 0);
    // The first bucket's start: `first` rounded down to `width` in local time.
    static qint64 alignedStart(qint64 first, qint64 width, int utcOffset = 0);
    // The buckets of `width` seconds from the aligned start to the bucket of
    // the range's last block, with the rows counted so far in each. Costs one
    // block look-up per bucket. Empty when the range holds no block.
    static QVector<TimeBucket> buckets(const CStringListModel &model, qint64 width, int utcOffset = 0);
    // The first row whose time is `secs` or later, or -1 when there is none
    // among the rows counted so far.
    static int firstRowAt(const CStringListModel &model, qint64 secs);
    // The time of row `row` in seconds since 1970 UTC, or -1 past the rows.
    static qint64 timeOfRow(const CStringListModel &model, int row);
    // The range's first block whose time is `secs` or later (the block after
    // the range when there is none).
    static int blockAt(const CStringListModel &model, qint64 secs);
    // A width as text in its round unit ("30 s", "5 min", "1 h", "7 d").
    static QString widthText(qint64 width);
};

#endif
