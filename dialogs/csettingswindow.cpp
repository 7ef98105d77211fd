#include "csettingswindow.h"

#include "logpath.h"
#include "settingsaccess.h"
#include "ui_settingsdialog.h"

#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QMessageBox>
#include <QSettings>

namespace {

const char kGroup[] = "config";

// A stored font, or a text that reads as one; anything else gives the
// default font.
QFont storedFont(const QVariant &value)
{
    if (value.userType() == QMetaType::QFont)
        return value.value<QFont>();
    QFont font;
    if (value.userType() == QMetaType::QString && font.fromString(value.toString()))
        return font;
    return QFont();
}

} // namespace

CSettingsWindow::CSettingsWindow(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::settingsDialog)
    , logFont(QStringLiteral("Sans"), 12)
{
    ui->setupUi(this);
    // The font is kept in the settings but applied to no view yet.
    ui->groupBox_4->hide();
    connect(ui->btnFontSelect, SIGNAL(clicked()), this, SLOT(selectFont()));
    connect(ui->btnLogDirSelect, SIGNAL(clicked()), this, SLOT(selectDir()));
    connect(ui->btnLogSelect, SIGNAL(clicked()), this, SLOT(selectLog()));
    connect(ui->gbLog, SIGNAL(clicked(bool)), this, SLOT(uncheckFilter(bool)));
    readSettings();
}

CSettingsWindow::~CSettingsWindow()
{
    delete ui;
}

QComboBox *CSettingsWindow::filterSelector() const
{
    return ui->cbFilterSelect;
}

void CSettingsWindow::readSettings()
{
    beforeSettingsAccess();
    QSettings settings;
    settings.beginGroup(QLatin1String(kGroup));
    // Every value as the rest of the program reads it: one of a wrong type
    // reads as the default.
    ui->gbLog->setChecked(settingsBool(settings.value(QStringLiteral("autoopen")), false));
    ui->lbLogSelected->setText(settingsString(settings.value(QStringLiteral("logfile"))));
    ui->gbFilter->setChecked(settingsBool(settings.value(QStringLiteral("autofilter")), false));
    const QString filterName = settingsString(settings.value(QStringLiteral("filter")));
    ui->cbFilterSelect->setCurrentIndex(
        ui->cbFilterSelect->findText(filterName, Qt::MatchExactly | Qt::MatchCaseSensitive));
    ui->lbLogDirSelected->setText(settingsString(settings.value(QStringLiteral("logdir"))));
    logFont = storedFont(settings.value(QStringLiteral("logfont")));
    settings.endGroup();

    if (ui->lbLogSelected->text().isEmpty()) {
        ui->gbLog->setChecked(false);
        ui->gbFilter->setChecked(false);
    }
    if (filterName.isEmpty())
        ui->gbFilter->setChecked(false);
    updateFontLabel();
}

bool CSettingsWindow::autoOpen() const
{
    beforeSettingsAccess();
    return settingsBool(QSettings().value(QStringLiteral("config/autoopen")), false);
}

bool CSettingsWindow::autoFilter() const
{
    beforeSettingsAccess();
    return settingsBool(QSettings().value(QStringLiteral("config/autofilter")), false);
}

void CSettingsWindow::accept()
{
    {
        beforeSettingsAccess();
        QSettings settings;
        settings.beginGroup(QLatin1String(kGroup));
        // Without a chosen log or filter, what is stored for them stays.
        const QString logFile = ui->lbLogSelected->text();
        if (!logFile.isEmpty()) {
            settings.setValue(QStringLiteral("autoopen"), ui->gbLog->isChecked());
            settings.setValue(QStringLiteral("logfile"), logFile);
        }
        const QString filterName = ui->cbFilterSelect->currentText();
        if (!filterName.isEmpty()) {
            settings.setValue(QStringLiteral("autofilter"), ui->gbFilter->isChecked());
            settings.setValue(QStringLiteral("filter"), filterName);
        }
        settings.setValue(QStringLiteral("logdir"), ui->lbLogDirSelected->text());
        settings.setValue(QStringLiteral("logfont"), logFont);
        settings.endGroup();
        settings.sync();
        if (settings.status() != QSettings::NoError) {
            QMessageBox::warning(this, QCoreApplication::applicationName(),
                                 tr("The options could not be saved: the settings could not be written. They "
                                    "apply until the program ends."),
                                 QMessageBox::Ok);
        }
    }
    QDialog::accept();
}

void CSettingsWindow::selectFont()
{
    bool ok = false;
    logFont = QFontDialog::getFont(&ok, logFont, this);
    if (ok)
        updateFontLabel();
    raise();
}

void CSettingsWindow::selectDir()
{
    const QString dir = QFileDialog::getExistingDirectory(this, tr("Select log dir..."),
                                                          LogPath::nearestFolder(ui->lbLogDirSelected->text()),
                                                          QFileDialog::ShowDirsOnly);
    if (!dir.isEmpty())
        ui->lbLogDirSelected->setText(dir);
}

void CSettingsWindow::selectLog()
{
    // A stored log that is gone: start in the nearest folder that exists.
    const QString stored = ui->lbLogSelected->text();
    QFileDialog dialog(this, tr("Select log file..."),
                       QFileInfo(stored).isFile() ? stored : LogPath::nearestFolder(QFileInfo(stored).path()),
                       tr("mlog files") + QStringLiteral(" (*.mlog)"));
    // The log is opened at start, so it has to exist.
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        ui->lbLogSelected->setText(dialog.selectedFiles().first());
}

void CSettingsWindow::uncheckFilter(bool state)
{
    if (!state)
        ui->gbFilter->setChecked(false);
}

void CSettingsWindow::updateFontLabel()
{
    const QStringList parts = logFont.toString().split(QLatin1Char(','), Qt::SkipEmptyParts);
    ui->lbFontSelected->setText(QLatin1Char(' ') + tr("Font") + QStringLiteral(": ") + parts.value(0)
                                + QLatin1Char(' ') + tr("Size") + QStringLiteral(": ") + parts.value(1));
}
