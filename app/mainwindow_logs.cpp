// Opening a log: the open commands, the readability check, the large-file
// question and the read with its progress; the log files panel.
#include "mainwindow.h"

#include "clog.h"
#include "followcontrol.h"
#include "logpath.h"
#include "statusprogress.h"
#include "ui_mainwindow.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTableWidget>

#include <algorithm>

namespace {

const qint64 kLargeLogSize = 104857600; // 100 MiB
// Unreadable logs named in the warning of one fill; the rest are counted.
const int kUnreadableListed = 20;
// How long the panel is filled between two turns of the event loop.
const qint64 kFillSliceMs = 30;

} // namespace

void mainWindow::actionOpenPress()
{
    if (isBusy())
        return;
    QFileDialog dialog(this, tr("Select file..."), LogPath::nearestFolder(logDir), tr("mlog files") + QStringLiteral(" (*.mlog)"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        openLogPath(dialog.selectedFiles().first());
}

void mainWindow::openFile(QAction *act)
{
    openLogPath(QFileInfo(act->data().toString()).absoluteFilePath());
}

void mainWindow::openLogPath(const QString &path)
{
    if (path.isEmpty() || isBusy() || !isFileReadable(path))
        return;
    // In a tab over logs opened together, the log opened takes the set's
    // place, also when it is the window's current log already, which
    // loadLog then does not read again.
    const int tab = ui->twLogResult->currentIndex();
    const bool overSet = tab >= 0 && tab < tabInfos.size() && tabInfos.at(tab).set;
    const bool current = log->logPath() == path && !log->isChanged(path);
    if (!loadLog(path) && !(overSet && current))
        return;
    if (overSet)
        leaveSet(tab);
    actionResultsPress();
}

bool mainWindow::isFileReadable(QString fName)
{
    // Only regular files are logs: opening a FIFO, socket or device named
    // like one would wait for a writer, or read forever.
    if (CLog::canOpenLog(fName))
        return true;
    QMessageBox::warning(this, QCoreApplication::applicationName(), tr("Can't open file - ") + LogPath::readable(fName), QMessageBox::Ok);
    return false;
}

bool mainWindow::loadLog(const QString &path)
{
    currentFile = LogPath::readable(QFileInfo(path).fileName());
    readCancelled = false;
    // A reader serves one read at a time, and a filter run under way reads
    // the log it holds.
    if (isBusy())
        return false;
    for (const CLog *known : {log.get(), emptyLog.get()}) {
        if (known && known->logPath() == path && !known->isChanged(path))
            return false;
    }
    // A log that a tab keeps open is current again without a read while its
    // file is unchanged.
    const OpenLogs::Reader held = log->logPath() == path ? log : logs.find(path);
    if (held && held != log && !held->isChanged(path)) {
        emptyLog.reset();
        showOpenLog(held);
        return true;
    }

    const qint64 size = LogPath::regularFileSize(path);
    if (size > kLargeLogSize) {
        const qint64 available = memAvailableSource ? memAvailableSource() : 0;
        if (available > 0 && double(size) >= 0.7 * double(available)) {
            const QString text =
                tr("You are trying to load a %1 log with an available memory of %2.\nParsing this file can take a "
                   "lot of time.\nThis application can be killed by OS if the available memory is exceeded.\nDo you "
                   "want to continue?")
                    .arg(sizeToString(size), sizeToString(available));
            if (QMessageBox::warning(this, tr("Large file size"), text, QMessageBox::Yes | QMessageBox::No,
                                     QMessageBox::NoButton)
                == QMessageBox::No)
                return false;
        }
    }

    // Every read goes into a reader of its own, the current log's too: the
    // tabs keep showing the log they are titled with while it is read, and
    // still do when it turns out to hold no records, or when a read of a
    // file replaced under its name (scanned from its start) is cancelled.
    // The reader a tab keeps takes over what was read only once it holds
    // records; a grown log costs its new blocks all the same, as the index
    // file goes on from where the last read left it.
    OpenLogs::Reader scratch = OpenLogs::makeReader();
    readingLog = scratch.get();
    ui->twFiles->setEnabled(false);
    showReadLogResults(path);
    readingLog = nullptr;
    updateBusyState();
    if (scratch->isCancelled()) {
        // The log shown before stays current: a part of a log is never
        // shown as if it were the whole. What was scanned is kept in the
        // index file, and the next open of the log goes on from there.
        readCancelled = true;
        ui->twFiles->setEnabled(!isBusy());
        selectOpenLogRow();
        return false;
    }
    if (scratch->recordCount() == 0) {
        if (scratch != log)
            emptyLog = std::move(scratch);
        QMessageBox::warning(this, tr("Warning"), tr("No entries found!"), QMessageBox::Ok);
        ui->twFiles->setEnabled(!isBusy());
        return false;
    }
    OpenLogs::Reader reader = scratch;
    if (held && held != scratch) {
        // The tabs of the log point to the reader they hold.
        held->swapState(*scratch);
        reader = held;
    }
    scratch.reset();
    logs.add(reader);
    emptyLog.reset();
    addRecentFile(QFileInfo(path));
    ui->twFiles->setEnabled(!isBusy());
    showOpenLog(reader);
    return true;
}

void mainWindow::showOpenLog(const OpenLogs::Reader &reader)
{
    log = reader;
    setWindowTitle(LogPath::readable(log->logPath()) + QStringLiteral(" - ") + appTitle);
    selectOpenLogRow();
    // A log read again may have grown under tabs that follow it, and the
    // log followed is the current one.
    follow->logRead();
}

void mainWindow::showReadLogResults(QString fName)
{
    // loadLog chooses the reader; called on its own, the window's reader reads.
    const bool own = !readingLog;
    if (own)
        readingLog = log.get();
    CLog *const reader = readingLog;
    StatusProgress progress(statusBar(), tr("Processing read file"), tr("Cancel current log processing"));
    connect(reader, &CLog::valueMaximum, progress.bar(), &QProgressBar::setMaximum);
    connect(reader, &CLog::valueChanged, progress.bar(), &QProgressBar::setValue);
    connect(progress.cancelButton(), &QPushButton::clicked, reader, &CLog::canselReadLog);
    updateBusyState();
    reader->readLog(fName);
    if (own) {
        readingLog = nullptr;
        updateBusyState();
    }
    statusBar()->showMessage(reader->isCancelled() ? tr("Read cancelled.") : tr("Read finished!"), 3000);
}

qint64 mainWindow::memAvailable()
{
    QProcess cat;
    cat.start(QStringLiteral("cat"), {QStringLiteral("/proc/meminfo")}, QIODevice::ReadOnly);
    if (!cat.waitForFinished(30000))
        return 0;
    return parseMemAvailable(cat.readAllStandardOutput());
}

qint64 mainWindow::parseMemAvailable(const QByteArray &meminfo)
{
    const QString text = QString::fromLatin1(meminfo.constData(), qstrnlen(meminfo.constData(), meminfo.size()));
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        if (!line.startsWith(QLatin1String("MemAvailable:")))
            continue;
        const QStringList parts = line.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
        if (parts.size() < 2)
            return 0;
        bool ok = false;
        qint64 value = parts.at(1).toLongLong(&ok);
        if (!ok)
            return 0;
        // The kernel's "kB" are kibibytes.
        if (parts.size() > 2 && parts.at(2).toLower() == QLatin1String("kb"))
            value *= 1024;
        return value;
    }
    return 0;
}

QString mainWindow::sizeToString(qint64 bytes)
{
    const QString units[] = {tr("kb"), tr("mb"), tr("gb")};
    QString unit = tr("bytes");
    QString fraction;
    qint64 n = bytes;
    for (const QString &next : units) {
        if (n <= 1023)
            break;
        const qint64 remainder = n & 1023;
        n >>= 10;
        unit = next;
        fraction = remainder ? QLatin1Char('.') + QString::number(remainder * 10 / 1024) : QString();
    }
    return QStringLiteral("%1%2 %3").arg(n).arg(fraction, unit);
}

void mainWindow::fillLogFiles(const QDir &dir)
{
    // The event loop runs during the fill; a second fill meanwhile would
    // rebuild the table under the first.
    if (fillingFiles)
        return;
    fillingFiles = true;
    setCursor(Qt::WaitCursor);
    QStringList files;
    for (const QFileInfo &file : dir.entryInfoList({QStringLiteral("*.mlog")}, QDir::Files, QDir::Name))
        files.append(file.absoluteFilePath());
    // Qt lists no name that is not UTF-8: those are found by their bytes.
    const QStringList rawByteNames = LogPath::rawByteEntries(dir.absolutePath(), QStringLiteral(".mlog"));
    if (!rawByteNames.isEmpty()) {
        files += rawByteNames;
        std::sort(files.begin(), files.end());
    }
    QTableWidget *table = ui->twFiles;
    table->clearContents();
    table->setRowCount(0);
    QStringList unreadable;
    QElapsedTimer slice;
    slice.start();
    for (const QString &path : qAsConst(files)) {
        if (slice.elapsed() >= kFillSliceMs) {
            // Repaints only: a click meanwhile would act on a half-built table.
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
            slice.restart();
        }
        // FIFOs, sockets and devices (also behind a link) are never opened:
        // opening a FIFO waits for a writer.
        const QString name = QFileInfo(path).fileName();
        if (LogPath::regularFileSize(path) < 8 || name.contains(QLatin1String("index")))
            continue;
        if (!CLog::canOpenLog(path)) {
            unreadable.append(LogPath::readable(name));
            continue;
        }
        addLogFileRow(path);
    }
    table->resizeColumnsToContents();
    table->resizeRowsToContents();
    selectOpenLogRow();
    setCursor(Qt::ArrowCursor);
    fillingFiles = false;

    // One warning for the whole folder, not one box per log.
    if (!unreadable.isEmpty()) {
        QStringList listed = unreadable.mid(0, kUnreadableListed);
        if (unreadable.size() > kUnreadableListed)
            listed.append(tr("... and %n more", nullptr, unreadable.size() - kUnreadableListed));
        QMessageBox::warning(this, QCoreApplication::applicationName(),
                             tr("Can't open these logs of %1:").arg(QDir::toNativeSeparators(dir.absolutePath()))
                                 + QLatin1Char('\n') + listed.join(QLatin1Char('\n')),
                             QMessageBox::Ok);
    }
}

void mainWindow::addLogFileRow(const QString &path)
{
    QTableWidget *table = ui->twFiles;
    const int row = table->rowCount();
    table->insertRow(row);
    setLogFileRow(row, path);
}

void mainWindow::setLogFileRow(int row, const QString &path)
{
    const QString dateFormat = QStringLiteral("yyyy-MM-dd\nhh:mm:ss");
    const QChar noBreak(0x00A0);
    // Only the first and the last record of the log are read.
    const QDateTime first = CLog::firstRecordDate(path);
    const QDateTime last = CLog::lastRecordDate(path);
    QString lastText;
    if (!last.isValid())
        lastText = tr("<Unknown>");
    else if (first.isValid() && first.date() == last.date())
        lastText = last.toString(QStringLiteral("hh:mm:ss"));
    else
        lastText = last.toString(dateFormat);

    QTableWidget *table = ui->twFiles;
    auto *name = new QTableWidgetItem(LogPath::readable(QFileInfo(path).fileName()));
    name->setData(Qt::TextAlignmentRole, int(Qt::AlignVCenter));
    // The click opens exactly this file, whatever its name holds.
    name->setData(Qt::UserRole, path);
    name->setToolTip(QDir::toNativeSeparators(LogPath::readable(path)));
    table->setItem(row, 0, name);
    const QString cells[] = {noBreak + (first.isValid() ? first.toString(dateFormat) : tr("<Unknown>")),
                             noBreak + lastText, sizeToString(std::max<qint64>(0, LogPath::regularFileSize(path)))};
    for (int column = 1; column <= 3; ++column) {
        auto *item = new QTableWidgetItem(cells[column - 1]);
        item->setData(Qt::TextAlignmentRole, int(Qt::AlignCenter));
        table->setItem(row, column, item);
    }
}

void mainWindow::updateLogFileRow(const QString &path)
{
    QTableWidget *table = ui->twFiles;
    for (int row = 0; row < table->rowCount(); ++row) {
        const QTableWidgetItem *item = table->item(row, 0);
        if (item && LogPath::sameFile(item->data(Qt::UserRole).toString(), path)) {
            const bool selected = item->isSelected();
            setLogFileRow(row, item->data(Qt::UserRole).toString());
            if (selected)
                table->selectRow(row);
            return;
        }
    }
}

void mainWindow::selectOpenLogRow()
{
    QTableWidget *table = ui->twFiles;
    table->clearSelection();
    if (log->logPath().isEmpty())
        return;
    for (int row = 0; row < table->rowCount(); ++row) {
        const QTableWidgetItem *item = table->item(row, 0);
        if (item && LogPath::sameFile(item->data(Qt::UserRole).toString(), log->logPath())) {
            table->selectRow(row);
            return;
        }
    }
}

void mainWindow::logItemPressed(int row, int column)
{
    Q_UNUSED(column);
    // Ctrl- and Shift-clicks select rows to open together; they open nothing.
    if (isBusy() || (QApplication::keyboardModifiers() & (Qt::ControlModifier | Qt::ShiftModifier)))
        return;
    const QTableWidgetItem *item = ui->twFiles->item(row, 0);
    if (!item)
        return;
    openLogPath(item->data(Qt::UserRole).toString());
}

void mainWindow::actionResreshPress()
{
    if (isBusy())
        return;
    setCursor(Qt::WaitCursor);
    fillLogFiles(QDir(logDir));
    // A tab over logs opened together reads its own files again.
    if (readSetAgain(ui->twLogResult->currentIndex())) {
        actionResultsPress();
        setCursor(Qt::ArrowCursor);
        return;
    }
    // The log the reader holds is read again by its own path: it need not
    // lie in the log folder.
    const QString path = log->logPath();
    if (ui->twLogResult->count() > 0 && !path.isEmpty() && isFileReadable(path)) {
        // A cancelled read leaves the results of the log as it was.
        loadLog(path);
        if (!readCancelled)
            actionResultsPress();
    }
    setCursor(Qt::ArrowCursor);
}
