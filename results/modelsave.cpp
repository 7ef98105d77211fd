// Save, export and the summary's rows: one walk over the whole range with
// the progress, turns and cancel of a save, the rows made and written on
// threads beside it.
#include "cstringlistmodel.h"

#include "savetarget.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QPointer>

#include <cerrno>
#include <cstring>

#include <signal.h>

#include "backgroundsync.h"
#include "chunkworker.h"
#include "clog.h"
#include "cmatcher.h"
#include "filtermatch.h"
#include "resultbytes.h"
#include "workslice.h"

using workslice::ProgressSteps;
using workslice::Slice;
using workslice::turnIfDue;

namespace {

// Bytes a save's walk gathers before it hands them on to be made into rows:
// the rows they make wait for the writer in small chunks, and little is
// left to make and write when the walk ends.
constexpr int kSaveBatch = 256 << 10;

// SIGXFSZ ignored for as long as the object lives, so that a write beyond
// the file-size limit fails with EFBIG instead of ending the program.
class IgnoreFileSizeSignal
{
public:
    IgnoreFileSizeSignal()
    {
        struct sigaction ignore;
        std::memset(&ignore, 0, sizeof ignore);
        ignore.sa_handler = SIG_IGN;
        sigemptyset(&ignore.sa_mask);
        m_restore = sigaction(SIGXFSZ, &ignore, &m_previous) == 0;
    }
    ~IgnoreFileSizeSignal()
    {
        if (m_restore)
            sigaction(SIGXFSZ, &m_previous, nullptr);
    }
    IgnoreFileSizeSignal(const IgnoreFileSizeSignal &) = delete;
    IgnoreFileSizeSignal &operator=(const IgnoreFileSizeSignal &) = delete;

private:
    struct sigaction m_previous;
    bool m_restore = false;
};

} // namespace

bool CStringListModel::saveToFile(const QString &fileName, QString *error, ExportFormat format, bool wholeOnly,
                                  const std::vector<qint64> *onlyRecords)
{
    const auto fail = [error](const QString &reason) {
        if (error)
            *error = reason.isEmpty() ? tr("Unknown error") : reason;
        return false;
    };
    // A write past the file-size limit must fail with its error, not end
    // the program.
    const IgnoreFileSizeSignal ignoreFileSize;
    // The file is replaced when the rows are written, never cut short; a
    // symbolic link stays and its target is replaced. A file with other
    // hard links or another owner gets the rows copied in once they are
    // whole; a device or a FIFO is written into (savetarget.h).
    SaveTarget file(fileName);
    if (!file.open())
        return fail(file.errorString());
    // The disk takes the file while it is written: the sync that ends the
    // save then waits for the last piece only.
    BackgroundSync sync(file.handle());
    const bool written = writeRows(file.handle(), format, error, &sync, onlyRecords);
    const int syncFailed = sync.finish();
    if (!written || syncFailed) {
        file.cancelWriting();
        return written ? fail(qt_error_string(syncFailed)) : false;
    }
    if (wholeOnly && (m_cancelled || m_stop.stopped())) {
        file.cancelWriting();
        return fail(m_cancelled ? tr("Cancelled.") : tr("A pattern is too costly to decide: %1").arg(m_stop.pattern));
    }
    // The final sync of a large file takes a while: keep the window turning.
    // A cancel that came meanwhile, or is waiting to be seen, keeps the old
    // file when only a whole one may take its place.
    QPointer<CStringListModel> alive(this);
    Slice slice;
    const auto proceed = [&] {
        if (!wholeOnly)
            return true;
        QCoreApplication::processEvents();
        return alive && !m_cancelled;
    };
    if (!file.commit([&] { turnIfDue(slice, alive); }, proceed))
        return file.abandoned() ? fail(tr("Cancelled.")) : fail(file.errorString());
    return true;
}

bool CStringListModel::walkResultPieces(
    const std::function<bool(const CLog::TextPiece &, MatchStop *, const std::function<bool()> &)> &perPiece,
    const std::vector<qint64> *onlyRecords)
{
    m_cancelled = false;
    m_stop = MatchStop();
    m_stopBlock = -1;
    emit valueMaximum(std::max(0, m_lastBlock - m_counts.firstBlock()));
    QPointer<CStringListModel> alive(this);
    bool failed = false;
    if (m_logs && m_lastBlock >= m_counts.firstBlock()) {
        ProgressSteps progress(m_lastBlock - m_counts.firstBlock());
        Slice slice;
        const std::function<bool()> between = [&] { return turnIfDue(slice, alive) && !m_cancelled; };
        const ResultWalk::Visit visit = [&](const CLog::TextPiece &piece) {
            MatchStop stop;
            if (!perPiece(piece, &stop, between)) {
                failed = true;
                return false;
            }
            if (!alive || m_cancelled)
                return false;
            if (stop.stopped()) {
                m_stop = stop;
                m_stop.index += piece.firstText;
                m_stopBlock = piece.block;
                return false;
            }
            const int offset = piece.block - m_counts.firstBlock();
            if (piece.last && progress.due(offset)) {
                emit valueChanged(offset);
                if (!alive)
                    return false;
            }
            return between();
        };
        if (onlyRecords)
            forEachRecordPiece(*onlyRecords, visit);
        else
            walk().forEachPiece(m_counts.firstBlock(), m_lastBlock, visit);
    }
    if (!alive)
        return false;
    if (!failed && !m_cancelled && !m_stop.stopped())
        emit valueChanged(std::max(0, m_lastBlock - m_counts.firstBlock()));
    return true;
}

bool CStringListModel::writeRows(int fd, ExportFormat format, QString *error, BackgroundSync *sync,
                                 const std::vector<qint64> *onlyRecords)
{
    const auto fail = [error](const QString &reason) {
        if (error)
            *error = reason.isEmpty() ? tr("Unknown error") : reason;
        return false;
    };
    const bool text = format == ExportFormat::Text;
    // Here the texts are walked and matched. What is found (the texts that
    // match for the text format, the rows' parts, rowbatch, for the others)
    // goes in batches to a thread that makes the rows, and the rows in
    // chunks to a thread that writes them.
    qint64 written = 0;
    ChunkWorker writer([fd, sync, &written](const QByteArray &chunk) {
        const int failed = writeWhole(fd, chunk.constData(), chunk.size());
        if (failed)
            return failed;
        written += chunk.size();
        return sync ? sync->wrote(written) : 0;
    });
    ExportRows rows(format);
    // The rows of a set name the file each comes from.
    const bool namesLogs = m_logs && m_logs->isSet();
    QList<QByteArray> logNames;
    if (namesLogs) {
        for (const QString &path : m_logs->paths())
            logNames.append(QFileInfo(path).fileName().toUtf8());
        rows.setLogNames(logNames);
    }
    QByteArray header = exportHeader(format, namesLogs);
    const CMatcher everything;
    UserNameBytes rowNames; // the formatter's own
    ChunkWorker formatter([&](const QByteArray &batch) {
        QByteArray made = writer.buffer();
        made.append(header);
        header.clear();
        if (text)
            appendResultRows(everything, batch, rowNames, &made);
        else
            rows.appendBatch(batch, &made);
        if (writer.hand(std::move(made)))
            return 0;
        return writer.error() ? writer.error() : EIO;
    });
    const CMatcher &criteria = matcher();
    UserNameBytes names;
    QByteArray buffer;
    buffer.reserve(kSaveBatch + (64 << 10));
    // Where the rows of the block being written begin in the buffer; -1
    // once some went out with an earlier chunk.
    int blockStart = 0;
    int lastBlock = -1;
    const bool walked = walkResultPieces([&](const CLog::TextPiece &piece, MatchStop *stop,
                                             const std::function<bool()> &between) {
        const int pieceStart = buffer.size();
        if (piece.block != lastBlock) {
            lastBlock = piece.block;
            blockStart = pieceStart;
        }
        if (text) {
            appendMatchingTexts(criteria, piece.texts, &buffer, stop, between);
        } else {
            const qint64 time = m_logs->blockTime(piece.block);
            const int log = namesLogs ? m_logs->logOf(piece.block) : -1;
            forEachResultRow(criteria, piece.texts, names, stop, between,
                             [&buffer, time, log](const QByteArray &name, std::string_view row) {
                                 rowbatch::append(&buffer, std::string_view(name.constData(), size_t(name.size())),
                                                  row, time, log);
                             });
        }
        if (m_cancelled) {
            // The file ends after the last block written whole, or within a
            // block too large to hold, after its last piece.
            buffer.resize(blockStart >= 0 ? blockStart : pieceStart);
            return true;
        }
        // At a record the filter cannot decide the rows before it are kept.
        if (stop->stopped() || buffer.size() < kSaveBatch)
            return true;
        if (!piece.last)
            blockStart = -1;
        if (!formatter.hand(std::move(buffer)))
            return false;
        buffer = formatter.buffer();
        buffer.reserve(kSaveBatch + (64 << 10));
        return true;
    }, onlyRecords);
    if (!walked)
        return fail(tr("The results were closed while they were saved."));
    // The last batch goes even when empty: CSV's header is made with the first.
    const bool handed = (buffer.isEmpty() && text) || formatter.hand(std::move(buffer));
    formatter.finish();
    writer.finish();
    const int failed = writer.error() ? writer.error() : formatter.error();
    if (!handed || failed)
        return fail(qt_error_string(failed));
    return true;
}

bool CStringListModel::forEachRow(const std::function<void(std::string_view name, std::string_view text)> &visit)
{
    const CMatcher &criteria = matcher();
    UserNameBytes names;
    return walkResultPieces([&](const CLog::TextPiece &piece, MatchStop *stop, const std::function<bool()> &between) {
        forEachResultRow(criteria, piece.texts, names, stop, between,
                         [&visit](const QByteArray &name, std::string_view text) {
                             visit(std::string_view(name.constData(), size_t(name.size())), text);
                         });
        return true;
    });
}
