// Builds small logs byte by byte for the log reader's tests, remembering
// where each record starts, and a plain byte-by-byte scanner to compare the
// reader's scan against.
#ifndef LOGBUILDER_H
#define LOGBUILDER_H

#include <clog.h>
#include <mlog.h>
#include <mlogwriter.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QVector>

#include <cstdlib>

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
    QVector<qint64> offsets;

    // Appends a record and returns its offset. kind 9 makes a record the
    // library refuses to compile.
    qint64 add(quint32 time, const QByteArray &payload = "/etc/passwd", quint16 kind = 2, quint16 flags = 0)
    {
        offsets.append(data.size());
        data += encodeRecord(MlogRecord{time, {4212, 4100, 1000, 1000, 0}, kind, 0, 0, flags, payload});
        return offsets.last();
    }

    void garbage(const QByteArray &bytes) { data += bytes; }
    bool save(const QString &path) const { return writeBytes(path, data); }

    bool append(const QString &path, qint64 from) const
    {
        QFile f(path);
        return f.open(QIODevice::Append) && f.write(data.mid(int(from))) == data.size() - from;
    }
};

// The scan done the slow, obvious way: every byte offset is tried. It also
// decodes every record it steps over, as a block read should.
struct NaiveScan
{
    QMap<quint32, qint64> index;
    int count = 0;
    QStringList texts;                     // texts of the records that decode, in file order
    QMap<quint32, QStringList> textsByTime; // the same, by record time
    bool ascending = true;                 // record times never go back

    explicit NaiveScan(const QByteArray &d)
    {
        const auto u = [&d](qint64 i) { return quint32(uchar(d[int(i)])); };
        quint32 last = 0;
        qint64 pos = 0;
        const qint64 size = d.size();
        while (pos + 3 < size) {
            if (!(u(pos) == 0x80 && u(pos + 1) == 0x19 && u(pos + 2) == 0x12 && u(pos + 3) == 0x10)) {
                ++pos;
                continue;
            }
            if (pos + 40 > size)
                break;
            const quint32 t = u(pos + 4) | u(pos + 5) << 8 | u(pos + 6) << 16 | u(pos + 7) << 24;
            const qint64 len = u(pos + 38) | u(pos + 39) << 8;
            ascending = ascending && (count == 0 || t >= last);
            if (t != last || count == 0)
                index[t] = pos;
            ++count;
            void *compiled = nullptr;
            if (pos + 40 + len <= size && mlog_compile(&compiled, d.constData() + pos, 40 + len) != -1) {
                char *text = mlog_txt_malloc(compiled);
                if (text && *text) {
                    texts << QString::fromUtf8(text);
                    textsByTime[t] << texts.last();
                }
                free(text);
            }
            free(compiled);
            mlog_done();
            pos += 40 + len;
            last = t;
        }
    }
};

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

#endif
