// Answers every modal widget a test provokes, so that no test ever blocks.
#ifndef MODALANSWER_H
#define MODALANSWER_H

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QTimer>

#include <functional>

// Polls for the active modal widget. The steps given run first, one per
// widget, in order; each does what the user would and closes the widget.
// After them: a message box gets `button` (else it is rejected) and its
// text is kept, a file dialog is given `fileName` (empty: it is rejected),
// any other dialog goes to `other` (none: it is rejected).
class DialogDriver : public QObject
{
public:
    using Step = std::function<void(QWidget *)>;
    explicit DialogDriver(const QList<Step> &steps = {}) : m_steps(steps)
    {
        connect(&m_timer, &QTimer::timeout, this, [this] { answer(); });
        m_timer.start(10);
    }

    QMessageBox::StandardButton button = QMessageBox::Ok;
    QString fileName;
    std::function<void(QDialog *)> other;
    QStringList texts;
    int fileDialogs = 0;
    int done() const { return m_done; }
    int unexpected() const { return m_unexpected; } // widgets that came up after the steps

    // A step that presses `button` of a message box and keeps its text.
    static Step press(QMessageBox::StandardButton button, QString *text = nullptr)
    {
        return [button, text](QWidget *modal) {
            auto *box = qobject_cast<QMessageBox *>(modal);
            if (text)
                *text = box ? box->text() : QStringLiteral("(no message box)");
            if (box && box->button(button))
                box->button(button)->click();
            else if (auto *dialog = qobject_cast<QDialog *>(modal))
                dialog->reject();
        };
    }

private:
    void answer()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        if (m_done < m_steps.size())
            return m_steps.at(m_done++)(modal);
        if (auto *files = qobject_cast<QFileDialog *>(modal)) {
            // selectFile() leaves the typed name alone while the name field
            // has the focus, and the dialog reaches the file's folder on its
            // own time; accepted before both, it would take the folder.
            if (QWidget *focus = files->focusWidget())
                focus->clearFocus();
            files->selectFile(fileName);
            if (!fileName.isEmpty() && files->selectedFiles().value(0) != fileName && ++m_waits < 50)
                return;
            m_waits = 0;
            ++fileDialogs;
            if (fileName.isEmpty())
                return files->reject();
            return static_cast<QDialog *>(files)->accept(); // QFileDialog::accept, through its public base
        }
        ++m_unexpected;
        auto *box = qobject_cast<QMessageBox *>(modal);
        if (box)
            texts.append(box->text());
        if (box && box->button(button))
            return box->button(button)->click();
        if (auto *dialog = qobject_cast<QDialog *>(modal))
            other && !box ? other(dialog) : dialog->reject();
    }

    QTimer m_timer;
    QList<Step> m_steps;
    int m_done = 0;
    int m_unexpected = 0;
    int m_waits = 0;
};

using ModalSteps = DialogDriver;

#endif
