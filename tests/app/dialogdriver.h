// Answers every modal dialog a window test provokes, so that no test
// blocks: file dialogs get a chosen name, message boxes are recorded and
// answered, and any other dialog goes to a handler of the test.
#ifndef DIALOGDRIVER_H
#define DIALOGDRIVER_H

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <functional>

class DialogDriver : public QObject
{
public:
    DialogDriver()
    {
        m_timer.setInterval(10);
        connect(&m_timer, &QTimer::timeout, this, [this] { answer(); });
        m_timer.start();
    }

    // The name a file dialog is given; empty: it is rejected.
    QString fileName;
    // Called with any other dialog; without one it is rejected.
    std::function<void(QDialog *)> other;
    // Texts of the message boxes answered, in order.
    QStringList texts;
    int fileDialogs = 0;

private:
    void answer()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            texts.append(box->text());
            if (QAbstractButton *ok = box->button(QMessageBox::Ok))
                ok->click();
            else
                box->reject();
        } else if (auto *files = qobject_cast<QFileDialog *>(modal)) {
            if (fileName.isEmpty()) {
                ++fileDialogs;
                files->reject();
                return;
            }
            // selectFile() leaves the typed name alone while the name field
            // has the focus (as it has once the dialog is active), and the
            // dialog reaches the file's folder on its own time; accepted
            // before both, it would take the folder as the choice. So the
            // field gives up the focus, and the dialog is accepted once it
            // hands back the name (or after waiting for a missing folder).
            if (QWidget *focus = files->focusWidget())
                focus->clearFocus();
            files->selectFile(fileName);
            if (files->selectedFiles().value(0) != fileName && ++m_waits < 50)
                return;
            m_waits = 0;
            ++fileDialogs;
            static_cast<QDialog *>(files)->accept(); // QFileDialog::accept, reached through its public base
        } else if (auto *dialog = qobject_cast<QDialog *>(modal)) {
            if (other)
                other(dialog);
            else
                dialog->reject();
        }
    }

    QTimer m_timer;
    int m_waits = 0;
};

#endif
