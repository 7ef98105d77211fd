// Opening a log: the open commands, the readability check, the large-file
// question and the read with its progress.
#include "mainwindow.h"

#include "clog.h"
#include "statusprogress.h"
#include "ui_mainwindow.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTableWidget>

namespace {

const qint64 kLargeLogSize = 104857600; // 100 MiB

} // namespace

void mainWindow::actionOpenPress()
{
    if (isBusy())
        return;
    QFileDialog dialog(this, tr("Select file..."), logDir, tr("mlog files") + QStringLiteral(" (*.mlog)"));
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
    if (path.isEmpty() || isBusy())
        return;
    if (isFileReadable(path) && loadLog(path))
        actionResultsPress();
}

bool mainWindow::isFileReadable(QString fName)
{
    QFile file(fName);
    if (file.open(QIODevice::ReadOnly)) {
        file.close();
        return true;
    }
    QMessageBox::warning(this, QCoreApplication::applicationName(), tr("Can't open file - ") + fName, QMessageBox::Ok);
    return false;
}

bool mainWindow::loadLog(const QString &path)
{
    currentFile = QFileInfo(path).fileName();
    // The one log reader serves one read at a time, and a filter run under
    // way reads the log it holds.
    if (isBusy())
        return false;
    for (const CLog *known : {log, emptyLog.get()}) {
        if (known && known->logPath() == path && !known->isChanged(path))
            return false;
    }

    const qint64 size = QFileInfo(path).size();
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

    // Another log is read into a reader of its own: the tabs keep showing
    // the log they are titled with while it is read, and still do when it
    // turns out to hold no records. The log already held grows in place.
    auto scratch = std::make_unique<CLog>();
    readingLog = log->logPath() == path ? log : scratch.get();
    ui->twFiles->setEnabled(false);
    showReadLogResults(path);
    CLog *const reader = readingLog;
    readingLog = nullptr;
    updateBusyState();
    if (reader->recordCount() == 0) {
        if (reader != log)
            emptyLog = std::move(scratch);
        QMessageBox::warning(this, tr("Warning"), tr("No entries found!"), QMessageBox::Ok);
        ui->twFiles->setEnabled(!isBusy());
        return false;
    }
    if (reader != log)
        log->swapState(*reader);
    emptyLog.reset();
    addRecentFile(QFileInfo(path));
    setWindowTitle(path + QStringLiteral(" - ") + appTitle);
    ui->twFiles->setEnabled(!isBusy());
    ui->twFiles->clearSelection();
    if (QFileInfo(path).absolutePath() == logDir) {
        const QList<QTableWidgetItem *> items = ui->twFiles->findItems(currentFile, Qt::MatchExactly);
        if (!items.isEmpty())
            ui->twFiles->selectRow(items.first()->row());
    }
    return true;
}

void mainWindow::showReadLogResults(QString fName)
{
    // loadLog chooses the reader; called on its own, the window's reader reads.
    const bool own = !readingLog;
    if (own)
        readingLog = log;
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
    statusBar()->showMessage(tr("Read finished!"), 3000);
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

// The log files panel arrives with its own commands.
void mainWindow::logItemPressed(int, int) {}
void mainWindow::actionResreshPress() {}
