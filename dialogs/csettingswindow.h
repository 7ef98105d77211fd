// The Options dialog: the log to open and the filter to apply at start,
// the folder the log files panel lists, and a font, kept in the settings
// group "config".
#ifndef CSETTINGSWINDOW_H
#define CSETTINGSWINDOW_H

#include <QDialog>
#include <QFont>

class QComboBox;

namespace Ui {
class settingsDialog;
}

class CSettingsWindow : public QDialog
{
    Q_OBJECT
public:
    // Builds the form (the font group hidden) and reads the settings.
    explicit CSettingsWindow(QWidget *parent = nullptr);
    ~CSettingsWindow() override;

    // The filter selector, filled by the main window before each run.
    QComboBox *filterSelector() const;
    // Fills the widgets from the settings.
    void readSettings();
    // "config/autoopen" / "config/autofilter" as stored (false when absent);
    // they read the settings, not the dialog.
    bool autoOpen() const;
    bool autoFilter() const;
    // The font last chosen or read (stored, not applied to any view).
    QFont chosenFont() const { return logFont; }

public slots:
    // Writes the settings, then closes the dialog as accepted.
    void accept() override;

private slots:
    void selectFont();
    void selectDir();
    void selectLog();
    // Unchecking "Open log on start" unchecks "Apply filter on start".
    void uncheckFilter(bool state);

private:
    void updateFontLabel();

    Ui::settingsDialog *ui;
    QFont logFont;
};

#endif
