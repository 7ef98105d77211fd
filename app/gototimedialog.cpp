#include "gototimedialog.h"

#include "timetext.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QVBoxLayout>

namespace {

const char kTimeFormat[] = "yyyy-MM-dd hh:mm:ss";

} // namespace

GoToTimeDialog::GoToTimeDialog(const QDateTime &shown, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("goToTimeDialog"));
    setWindowTitle(tr("Go to time"));
    auto *layout = new QVBoxLayout(this);
    auto *label = new QLabel(tr("Show the first row at this time or later:"), this);
    // A line of text, not a date-time editor: an editor's sections keep
    // what is not typed over, so a whole time typed or pasted into it
    // mixes with the one it held.
    m_field = new QLineEdit(this);
    m_field->setObjectName(QStringLiteral("leGoToTime"));
    m_field->setPlaceholderText(QString::fromLatin1(kTimeFormat));
    m_field->setText(timeText(shown));
    m_field->selectAll();
    label->setBuddy(m_field);
    auto *hint = new QLabel(tr("Local time such as 2026-12-07 15:00:00 or 2026-12-07T15:00, a date alone, or a "
                               "time with Z or an offset such as +01:00."),
                            this);
    hint->setObjectName(QStringLiteral("lbGoToTimeHint"));
    hint->setWordWrap(true);
    m_note = new QLabel(this);
    m_note->setObjectName(QStringLiteral("lbGoToTimeNote"));
    m_note->setWordWrap(true);
    QPalette palette = m_note->palette();
    palette.setColor(QPalette::WindowText, QColor(190, 0, 0));
    m_note->setPalette(palette);
    m_note->hide();
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &GoToTimeDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    // The note is about the text refused; an edit makes it old.
    connect(m_field, &QLineEdit::textEdited, m_note, &QLabel::hide);
    layout->addWidget(label);
    layout->addWidget(m_field);
    layout->addWidget(hint);
    layout->addWidget(m_note);
    layout->addWidget(buttons);
    // Wide enough for the hint to wrap into a few lines, not a column.
    setMinimumWidth(fontMetrics().averageCharWidth() * 48);
    m_field->setFocus();
}

void GoToTimeDialog::accept()
{
    const QDateTime time = TimeText::parse(m_field->text());
    if (!time.isValid()) {
        const QString shown = m_field->text().trimmed();
        m_note->setText(shown.isEmpty() ? tr("Type a time to go to.")
                                        : tr("\"%1\" is not a time. Type a date and time such as %2.")
                                              .arg(shown.left(80), QString::fromLatin1(kTimeFormat)));
        m_note->show();
        // Grown by the note's lines rather than squeezing the hint.
        adjustSize();
        m_field->setFocus();
        m_field->selectAll();
        return;
    }
    m_time = time;
    QDialog::accept();
}

QString GoToTimeDialog::timeText(const QDateTime &time)
{
    return time.isValid() ? time.toLocalTime().toString(QLatin1String(kTimeFormat)) : QString();
}
