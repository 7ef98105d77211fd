// The label, progress bar and cancel button that a long operation shows at
// the right end of the status bar for as long as it runs.
#ifndef STATUSPROGRESS_H
#define STATUSPROGRESS_H

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include <memory>

class QStatusBar;

class StatusProgress
{
public:
    // Adds "`text`:", a progress bar and a flat cancel button with the tool
    // tip `cancelTip` to the status bar; they leave it with this object.
    StatusProgress(QStatusBar *statusBar, const QString &text, const QString &cancelTip);
    ~StatusProgress();
    StatusProgress(const StatusProgress &) = delete;
    StatusProgress &operator=(const StatusProgress &) = delete;

    QProgressBar *bar() const { return m_bar.get(); }
    QPushButton *cancelButton() const { return m_button.get(); }

private:
    // Declared in status-bar order; destroyed in reverse.
    std::unique_ptr<QLabel> m_label;
    std::unique_ptr<QProgressBar> m_bar;
    std::unique_ptr<QPushButton> m_button;
};

#endif
