// Answers the next modal dialog a test provokes, so no test ever blocks.
#ifndef MODALANSWER_H
#define MODALANSWER_H

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>

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

// Runs one step on each modal widget that comes up, in order: a step does
// what the user would and closes the widget. Modal widgets beyond the last
// step are rejected and counted as unexpected.
class ModalSteps : public QObject
{
public:
    using Step = std::function<void(QWidget *)>;
    explicit ModalSteps(const QList<Step> &steps, QObject *parent = nullptr)
        : QObject(parent)
        , m_steps(steps)
    {
        m_timer.setInterval(10);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            QWidget *modal = QApplication::activeModalWidget();
            if (!modal)
                return;
            if (m_done < m_steps.size()) {
                m_steps.at(m_done++)(modal);
                return;
            }
            ++m_unexpected;
            if (auto *dialog = qobject_cast<QDialog *>(modal))
                dialog->reject();
        });
        m_timer.start();
    }
    int done() const { return m_done; }
    int unexpected() const { return m_unexpected; }

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
    QTimer m_timer;
    QList<Step> m_steps;
    int m_done = 0;
    int m_unexpected = 0;
};

#endif
