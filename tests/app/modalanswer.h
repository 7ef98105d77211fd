// Answers the next modal dialog a test provokes, so no test ever blocks.
#ifndef MODALANSWER_H
#define MODALANSWER_H

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QTimer>

// Polls for the active modal widget and presses `button` on it (a message
// box) or rejects it (any other dialog). Records what it saw.
class ModalAnswer : public QObject
{
public:
    explicit ModalAnswer(QMessageBox::StandardButton button = QMessageBox::Ok, QObject *parent = nullptr)
        : QObject(parent)
        , m_button(button)
    {
        m_timer.setInterval(10);
        connect(&m_timer, &QTimer::timeout, this, [this] { answer(); });
        m_timer.start();
    }

    int count() const { return m_count; }
    QString lastText() const { return m_lastText; }
    QString lastTitle() const { return m_lastTitle; }

private:
    void answer()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        ++m_count;
        m_lastTitle = modal->windowTitle();
        if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            m_lastText = box->text();
            if (QAbstractButton *button = box->button(m_button)) {
                button->click();
                return;
            }
        }
        if (auto *dialog = qobject_cast<QDialog *>(modal))
            dialog->reject();
    }

    QTimer m_timer;
    QMessageBox::StandardButton m_button;
    int m_count = 0;
    QString m_lastText;
    QString m_lastTitle;
};

#endif
