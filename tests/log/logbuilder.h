// Builds small logs byte by byte for the log tests, and scans logs the slow,
// obvious way to compare the reader and the generator against.
#ifndef LOGBUILDER_H
#define LOGBUILDER_H

#include <clog.h>
#include <mlog.h>
#include <mlogwriter.h>

#include <QCoreApplication>
#include <QDataStream>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtEndian>
#include <QVector>

#include <algorithm>
#include <cstdlib>

const QByteArray kMagic("\x80\x19\x12\x10", 4);

inline QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

struct LogBuilder
{
    QByteArray data;
    QVector<qint64> offsets; // where each record starts

    // Kind 9 makes a record the library refuses to compile.
    void add(quint32 time, const QByteArray &payload = "/etc/passwd", quint16 kind = 2, quint16 flags = 0)
    {
        offsets.append(data.size());
        data += encodeRecord(MlogRecord{time, {4212, 4100, 1000, 1000, 0}, kind, 0, 0, flags, payload});
    }
    bool save(const QString &path) const { return writeBytes(path, data); }
    bool append(const QString &path, qint64 from) const
    {
        QFile f(path);
        return f.open(QIODevice::Append) && f.write(data.mid(int(from))) == data.size() - from;
    }
};

// Every byte offset is tried for a record start, and every record stepped
// over is decoded, as a block read should. A block opens at a record whose
// time is later than every time before it.
//
// A record start whose record is not followed by another record start (or
// by the first one to three bytes of a header cut short and a magic after
// them) nor by the end of the data gives way to a record start inside it:
// to any inside its header, or to one inside its payload from which the
// starts, each the first inside the header of the one before, lead to one
// that is followed so. Without one it is taken when whole, else it is cut
// short by the end of the data and the walk ends.
struct NaiveScan
{
    struct Record { quint32 time; };
    QVector<Record> records;               // every record the walk takes
    QMap<quint32, qint64> index;
    QStringList texts;                     // of the records that decode, in file order
    QVector<quint32> textTimes;            // the record time of each of texts
    QMap<quint32, QStringList> textsByTime; // texts of each block, by its key
    bool ascending = true;                 // record times never go back
    bool cutAtEnd = false;                 // the walk ended at a record start that lacks some of its bytes
    qint64 garbage = 0;                    // bytes before record starts
    int compiled = 0;
    int strays = 0;                        // record starts given up for one inside them
    QVector<quint32> startTimes;           // of every magic with a whole header behind it, taken or not

    static bool magicAt(const QByteArray &d, qint64 p)
    {
        return p >= 0 && p + 4 <= d.size() && d.mid(int(p), 4) == kMagic;
    }
    static qint64 lengthAt(const QByteArray &d, qint64 p)
    {
        return 40 + qFromLittleEndian<quint16>(d.constData() + p + 38);
    }
    static bool followedWell(const QByteArray &d, qint64 end)
    {
        if (end >= d.size())
            return end == d.size();
        for (qint64 cut = 0; cut < 4; ++cut) {
            if (cut > 0 && (end + cut > d.size() || d.at(int(end + cut - 1)) != kMagic.at(int(cut - 1))))
                return false;
            if (end + cut == d.size())
                return cut > 0;
            if (magicAt(d, end + cut))
                return true;
        }
        return false;
    }
    // The start inside the record at `pos` the walk goes on at, or -1.
    static qint64 startInside(const QByteArray &d, qint64 pos)
    {
        const qint64 end = std::min<qint64>(pos + lengthAt(d, pos), d.size());
        for (qint64 q = pos + 1; q < end; ++q) {
            if (!magicAt(d, q))
                continue;
            if (q < pos + 40)
                return q;
            for (qint64 at = q; at + 40 <= d.size();) {
                if (followedWell(d, at + lengthAt(d, at)))
                    return q;
                qint64 next = at + 1;
                while (next < at + 40 && !magicAt(d, next))
                    ++next;
                if (next == at + 40)
                    break;
                at = next;
            }
        }
        return -1;
    }

    explicit NaiveScan(const QByteArray &d)
    {
        for (qint64 p = 0; p + 40 <= d.size(); ++p) {
            if (magicAt(d, p))
                startTimes << qFromLittleEndian<quint32>(d.constData() + p + 4);
        }
        for (qint64 pos = 0; pos < d.size();) {
            const qint64 next = d.indexOf(kMagic, int(pos));
            garbage += (next < 0 ? d.size() : next) - pos;
            if (next < 0 || (cutAtEnd = next + 40 > d.size()))
                break;
            pos = next;
            const qint64 length = lengthAt(d, pos);
            if (!followedWell(d, pos + length)) {
                const qint64 inside = startInside(d, pos);
                if (inside >= 0) {
                    ++strays;
                    pos = inside;
                    continue;
                }
                if ((cutAtEnd = pos + length > d.size()))
                    break;
            }
            const Record r{qFromLittleEndian<quint32>(d.constData() + pos + 4)};
            ascending = ascending && (records.isEmpty() || r.time >= records.last().time);
            if (records.isEmpty() || r.time > index.lastKey())
                index[r.time] = pos;
            const quint32 key = index.lastKey();
            records.append(r);
            void *c = nullptr;
            if (mlog_compile(&c, d.constData() + pos, length) != -1) {
                ++compiled;
                char *text = mlog_txt_malloc(c);
                if (text && *text) {
                    textsByTime[key] << (texts << QString::fromUtf8(text)).last();
                    textTimes << r.time;
                }
                free(text);
            }
            free(c);
            mlog_done();
            pos += length;
        }
    }

    // Texts of the records whose time lies from `from` to `to`, in file order.
    QStringList textsBetween(quint32 from, quint32 to) const
    {
        QStringList found;
        for (int i = 0; i < texts.size(); ++i) {
            if (textTimes.at(i) >= from && textTimes.at(i) <= to)
                found << texts.at(i);
        }
        return found;
    }
};

// A log of whole records with torn writes between them: `before` whole
// records, then for each entry of `tears` the first that many bytes of a
// record (under 40: cut inside its header), followed by `between` whole
// records after each tear but the last and `after` after the last. `pieces`
// gets the log in the order it was written: the head, then each tear and
// the records behind it. `whole` gets the log without the torn bytes.
inline QByteArray tornLog(const QList<int> &tears, int before, int between, int after, quint32 t0,
                          QList<QByteArray> *pieces = nullptr, QByteArray *whole = nullptr)
{
    QByteArray log, kept;
    int n = 0;
    const auto records = [&](int count) {
        QByteArray bytes;
        for (int i = 0; i < count; ++i, ++n) {
            // Lengths vary, and some payloads hold the magic.
            QByteArray payload = "/var/log/w" + QByteArray::number(n) + QByteArray((n * 37) % 150, char('a' + n % 26));
            if (n % 11 == 5)
                payload += kMagic + QByteArray::number(n);
            bytes += encodeRecord(MlogRecord{t0 + quint32(n / 3), {4212, 4100, 1000 + quint32(n), 1000, 0}, 2, 0,
                                             quint32(n % 2), 0, payload});
        }
        return bytes;
    };
    QByteArray piece = records(before) + (tears.isEmpty() ? records(after) : QByteArray());
    int cut = 0; // torn bytes at the start of the piece
    for (int i = 0; i < tears.size(); ++i) {
        log += piece;
        kept += piece.mid(cut);
        if (pieces)
            pieces->append(piece);
        const QByteArray torn = encodeRecord(MlogRecord{t0 + quint32(n / 3), {77, 1, 1000, 1000, 0}, 2, 0, 0, 0,
                                                        "/torn/" + QByteArray(100 + 13 * i, 't')});
        cut = std::min(tears.at(i), int(torn.size()) - 1);
        piece = torn.left(cut) + records(i + 1 < tears.size() ? between : after);
    }
    log += piece;
    kept += piece.mid(cut);
    if (pieces)
        pieces->append(piece);
    if (whole)
        *whole = kept;
    return log;
}

#if __has_include(<QTest>) // not in the fuzz targets
#include <QTest>

// Rows of tears for tornLog, "tears" (bytes kept of each torn record) and
// "between" (whole records between two tears): a header cut after every
// byte, payloads cut, and tears one after the other.
inline void addTearRows()
{
    QTest::addColumn<QList<int>>("tears");
    QTest::addColumn<int>("between");
    for (int kept = 1; kept < 40; ++kept)
        QTest::addRow("header cut after %d", kept) << QList<int>{kept} << 0;
    for (int payload : {0, 1, 9, 60, 110, 125})
        QTest::addRow("payload cut after %d", payload) << QList<int>{40 + payload} << 0;
    QTest::newRow("two headers cut in a row") << QList<int>{22, 31} << 0;
    QTest::newRow("header cut, one record, header cut before its magic") << QList<int>{39, 2} << 1;
}
#endif

// The bytes of an index file as its format has it: the header, then the
// entries in ascending key order, nothing else. What a reader of the format
// alone writes.
inline QByteArray plainIndexBytes(const QDateTime &time, qint32 count, const QMap<quint32, qint64> &index)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << time << count;
    for (auto it = index.cbegin(); it != index.cend(); ++it)
        out << quint32(it.key()) << qint64(it.value());
    return bytes;
}

// An index file read the way its format has it: indexTime, recordCount,
// then (key, offset) pairs to the end of the stream.
struct PlainIndex
{
    bool ok = false; // the stream delivered every field whole
    QDateTime time;
    qint32 count = -1;
    QList<QPair<quint32, qint64>> pairs; // in file order
    QMap<quint32, qint64> index;         // timeIndex[key] = offset
};

inline PlainIndex readPlainIndex(const QByteArray &bytes)
{
    PlainIndex r;
    QDataStream in(bytes);
    in >> r.time >> r.count;
    while (in.status() == QDataStream::Ok && !in.atEnd()) {
        quint32 key = 0;
        qint64 offset = 0;
        in >> key >> offset;
        if (in.status() != QDataStream::Ok)
            break;
        r.pairs.append(qMakePair(key, offset));
        r.index[key] = offset;
    }
    r.ok = in.status() == QDataStream::Ok && in.atEnd();
    return r;
}

// The bytes of an index file in the previous release's layout: the header,
// the entries, the blocks holding earlier times (earliest time, the block's
// offset) and the closing pair (records of the last block, -1 - the number
// of those blocks).
inline QByteArray indexFileBytes(const QDateTime &time, qint32 count, const QMap<quint32, qint64> &index,
                                 const QList<QPair<quint32, qint64>> &early = {}, quint32 lastBlockRecords = 1)
{
    QByteArray bytes = plainIndexBytes(time, count, index);
    QDataStream out(&bytes, QIODevice::WriteOnly | QIODevice::Append);
    for (const auto &e : early)
        out << e.first << e.second;
    out << lastBlockRecords << qint64(-1 - early.size());
    return bytes;
}

// A log of hidden records (empty texts, yet stepped over by their length)
// and a block of nothing but hidden records, in blocks t0, +1, +3 and +5.
inline LogBuilder hiddenLog(quint32 t0)
{
    LogBuilder b;
    b.add(t0, "/a1");
    b.add(t0, "/a2");
    b.add(t0 + 1, "/b1");
    b.add(t0 + 1, QByteArray(300, 'h'), 2, MLOG_FLAG_HIDDEN);
    b.add(t0 + 3, "/hidden", 2, MLOG_FLAG_HIDDEN);
    b.add(t0 + 5, "/c1");
    b.add(t0 + 5, "/c2", 2, MLOG_FLAG_HIDDEN);
    b.add(t0 + 5, "/c3", 0);
    return b;
}

// A block with a record of exactly 40 bytes, one the library refuses and
// garbage, then a block of one record and one of a record cut short.
inline LogBuilder brokenLog(quint32 t0)
{
    LogBuilder b;
    b.add(t0, "/ok1");
    b.add(t0, "");
    b.add(t0, "/bad", 9);
    b.data += QByteArray("junk\x80\x19\x12", 7);
    b.add(t0, "/after");
    b.add(t0 + 1, "/next");
    b.add(t0 + 2, "/cut");
    b.data.chop(2);
    return b;
}

// Puts the documents folder (and so every index file) into the test's own
// folder, however the test is started.
inline bool useOwnDocuments(const QTemporaryDir &dir)
{
    QCoreApplication::setApplicationName(QStringLiteral("vrelview"));
    QStandardPaths::setTestModeEnabled(true);
    qputenv("HOME", QFile::encodeName(dir.filePath(QStringLiteral("home"))));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.filePath(QStringLiteral("home/.config"))));
    return CLog::indexFilePath(dir.filePath(QStringLiteral("x.mlog"))).startsWith(dir.path());
}

// Index files of earlier cases would make a rewritten log look grown.
inline bool clearIndexFolder()
{
    QDir folder(QFileInfo(CLog::indexFilePath(QStringLiteral("x.mlog"))).path());
    return folder.removeRecursively() && folder.mkpath(QStringLiteral("."));
}

inline bool setModified(const QString &path, const QDateTime &when)
{
    QFile f(path);
    return f.open(QIODevice::ReadWrite) && f.setFileTime(when, QFileDevice::FileModificationTime);
}

inline MlogGeneratorOptions generated(qint64 records, quint64 seed, qint64 size = 0)
{
    MlogGeneratorOptions o;
    o.records = records;
    o.targetSize = size;
    o.seed = seed;
    return o;
}

// Four records of two times.
inline LogBuilder twoBlocks(quint32 t0, const QByteArray &payload = "/a")
{
    LogBuilder b;
    for (quint32 t : {t0, t0, t0 + 1, t0 + 1})
        b.add(t, payload);
    return b;
}

// Reads the log at `p` with `log`, cancelled as the button's click would
// once the progress passes `value`.
inline void readCancelledPast(CLog &log, const QString &p, qint64 value)
{
    const QMetaObject::Connection stop = QObject::connect(&log, &CLog::valueChanged, &log, [&log, value](int at) {
        if (at > value)
            log.canselReadLog();
    });
    log.readLog(p);
    QObject::disconnect(stop);
}

#endif
