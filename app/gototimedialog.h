// The dialog of Go to time: a time typed or pasted whole, in the forms the
// command line takes, and refused in the dialog when it is none.
#ifndef GOTOTIMEDIALOG_H
#define GOTOTIMEDIALOG_H

#include <QDateTime>
#include <QDialog>

class QLabel;
class QLineEdit;

class GoToTimeDialog final : public QDialog
{
    Q_OBJECT
public:
    // The field holds `shown` (none when invalid), selected, so that what is
    // typed or pasted replaces it.
    explicit GoToTimeDialog(const QDateTime &shown, QWidget *parent = nullptr);

    // The time of the text accepted; invalid until OK took one.
    QDateTime time() const { return m_time; }

    // Closes the dialog only on a text that is a time; another stays with
    // a note saying why.
    void accept() override;

    // How the dialog writes a time, and how the field is prefilled.
    static QString timeText(const QDateTime &time);

private:
    QLineEdit *m_field = nullptr;
    QLabel *m_note = nullptr;
    QDateTime m_time;
};

#endif
