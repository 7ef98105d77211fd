#include "cfiltereditwindow.h"

#include "cfilter.h"
#include "eventcatalogue.h"
#include "filtermatch.h"
#include "ui_datetimedialog.h"
#include "ui_filterdialog.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QRegularExpression>
#include <QToolButton>

#include <algorithm>

#include <limits>

namespace {

enum Label { LabelSuccess, LabelRefuse, LabelUser, LabelProcess, LabelFile, LabelCustom };

// A comma with at most one white-space character on either side.
QStringList splitNames(const QString &text)
{
    static const QRegularExpression separator(QStringLiteral("\\s?,\\s?"));
    return text.split(separator, Qt::SkipEmptyParts);
}

} // namespace

CFilterEditWindow::CFilterEditWindow(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::filterDialog)
    , dateUi(new Ui::dateTimeDialog)
{
    ui->setupUi(this);
    dateUi->setupUi(&dateDialog);
    ui->cbEvent->setModel(&eventModel);
    // Room for a custom range, which is longer than any preset label
    const QDateTime sample(QDate(2000, 12, 28), QTime(23, 58, 58));
    ui->cbTime->addItem(rangeText(sample, sample));
    // (the style draws the text in less room than its size hint allows for).
    ui->cbTime->setMinimumWidth(ui->cbTime->sizeHint().width()
                                + ui->cbTime->fontMetrics().horizontalAdvance(QStringLiteral("000")));
    ui->cbTime->clear();
    adjustSize();

    connect(ui->cbTime, SIGNAL(activated(int)), this, SLOT(setDateTime(int)));
    connect(ui->chbSourceUser, SIGNAL(clicked()), this, SLOT(eventsFill()));
    connect(ui->chbSourceProcess, SIGNAL(clicked()), this, SLOT(eventsFill()));
    connect(ui->chbSourceFile, SIGNAL(clicked()), this, SLOT(eventsFill()));
    connect(ui->chbSourceCustom, SIGNAL(clicked()), this, SLOT(eventsFill()));
    connect(ui->btnFiles, SIGNAL(clicked()), this, SLOT(filesSelect()));
    connect(ui->btnFilesClear, &QToolButton::clicked, this, [this] { setFiles(QString()); });

    // The closed event box always shows the caption row: Enter in the open
    // list, the arrow keys and the wheel on the closed box would otherwise
    // put an event row there, which is not the choice.
    connect(ui->cbEvent, QOverload<int>::of(&QComboBox::currentIndexChanged), this, [this](int index) {
        if (index > 0)
            ui->cbEvent->setCurrentIndex(0);
    });
}

CFilterEditWindow::~CFilterEditWindow()
{
    // The event box goes before the model it shows, which is a member.
    delete ui->cbEvent;
    delete dateUi;
    delete ui;
}

void CFilterEditWindow::addTimeItems(const QStringList &texts)
{
    ui->cbTime->addItems(texts);
    if (!texts.isEmpty())
        customLabel = ui->cbTime->itemText(ui->cbTime->count() - 1);
}

QString CFilterEditWindow::rangeDateFormat()
{
    return QStringLiteral("yyyy-MM-dd hh:mm:ss");
}

QString CFilterEditWindow::rangeSeparator()
{
    return QStringLiteral(" - ");
}

QString CFilterEditWindow::rangeText(const QDateTime &from, const QDateTime &to)
{
    return from.toString(rangeDateFormat()) + rangeSeparator() + to.toString(rangeDateFormat());
}

void CFilterEditWindow::resetFields()
{
    ui->cbTime->setCurrentIndex(0);
    if (ui->cbTime->count() > 0)
        ui->cbTime->setItemText(ui->cbTime->count() - 1, customLabel);
    for (QCheckBox *box : {ui->chbStateSuccess, ui->chbStateRefuse, ui->chbSourceUser, ui->chbSourceProcess,
                           ui->chbSourceFile, ui->chbSourceCustom})
        box->setChecked(false);
    eventsFill();
    ui->leGroup->clear();
    ui->leUser->clear();
    ui->leParams->clear();
    setFiles(QString());
}

void CFilterEditWindow::eventsFill()
{
    const QCheckBox *const sources[] = {ui->chbSourceUser, ui->chbSourceProcess, ui->chbSourceFile,
                                        ui->chbSourceCustom};
    QStringList names;
    bool any = false;
    for (int category = 0; category < 4; ++category) {
        if (sources[category]->isChecked()) {
            names += eventNames(category);
            any = true;
        }
    }
    if (!any) {
        for (int category = 0; category < 4; ++category)
            names += eventNames(category);
    }
    names.removeDuplicates();
    std::sort(names.begin(), names.end());
    eventModel.fill(names);
}

void CFilterEditWindow::setFilter(const QString &name, const QString &timeText, const CFilter &filter)
{
    resetFields();
    setWindowTitle(name + QStringLiteral(" - ") + tr("Edit Filter"));

    const int preset = ui->cbTime->findText(timeText, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (preset >= 0) {
        ui->cbTime->setCurrentIndex(preset);
    } else {
        // A custom range stands where the custom entry's label stood.
        ui->cbTime->removeItem(ui->cbTime->count() - 1);
        ui->cbTime->addItem(timeText);
        ui->cbTime->setCurrentIndex(ui->cbTime->count() - 1);
    }

    const QList<QStringList> lists = toDisplayForm(filter);
    if (lists.size() < 6)
        return;

    for (const QString &entry : lists.at(0)) {
        if (entry == statusLabel(LabelSuccess))
            ui->chbStateSuccess->setChecked(true);
        if (entry == statusLabel(LabelRefuse))
            ui->chbStateRefuse->setChecked(true);
    }
    QCheckBox *const sources[] = {ui->chbSourceUser, ui->chbSourceProcess, ui->chbSourceFile, ui->chbSourceCustom};
    for (const QString &entry : lists.at(1)) {
        for (int i = 0; i < 4; ++i) {
            if (entry == statusLabel(LabelUser + i))
                sources[i]->setChecked(true);
        }
    }
    eventsFill();
    eventModel.setChecked(lists.at(2));

    ui->leGroup->setText(lists.at(3).join(QStringLiteral(", ")));
    ui->leUser->setText(lists.at(4).join(QStringLiteral(", ")));

    QStringList paths;
    QStringList parameters;
    for (const QString &entry : lists.at(5))
        (entry.startsWith(QDir::separator()) ? paths : parameters).append(entry);
    setFiles(paths.join(QLatin1Char('\n')));
    ui->leParams->setText(parameters.join(QStringLiteral(", ")));
}

QList<QStringList> CFilterEditWindow::filterLists() const
{
    return toPatternForm(resultLists);
}

TimeChoice CFilterEditWindow::timeChoice() const
{
    TimeChoice choice;
    choice.index = ui->cbTime->currentIndex();
    choice.count = ui->cbTime->count();
    choice.text = ui->cbTime->currentText();
    return choice;
}

void CFilterEditWindow::accept()
{
    resultLists.clear();

    QStringList status;
    if (ui->chbStateSuccess->isChecked())
        status.append(statusLabel(LabelSuccess));
    if (ui->chbStateRefuse->isChecked())
        status.append(statusLabel(LabelRefuse));

    QStringList sources;
    const QCheckBox *const boxes[] = {ui->chbSourceUser, ui->chbSourceProcess, ui->chbSourceFile, ui->chbSourceCustom};
    for (int i = 0; i < 4; ++i) {
        if (boxes[i]->isChecked())
            sources.append(statusLabel(LabelUser + i));
    }

    QStringList rest = splitNames(ui->leParams->text());
    rest += ui->lbFiles->text().split(QLatin1Char('\n'), Qt::SkipEmptyParts);

    // A name this machine does not know would only match as free text
    // anywhere in a record; the id of a user of another machine is typed
    // as a number.
    const QStringList groups = splitNames(ui->leGroup->text());
    const QStringList users = splitNames(ui->leUser->text());
    QStringList unknown;
    for (const QString &entry : groups) {
        if (groupToPattern(entry, FormDirection::ToPattern) == entry)
            unknown.append(tr("group \"%1\"").arg(entry));
    }
    for (const QString &entry : users) {
        if (userToPattern(entry, FormDirection::ToPattern) == entry)
            unknown.append(tr("user \"%1\"").arg(entry));
    }
    if (!unknown.isEmpty()) {
        QMessageBox::information(this, QCoreApplication::applicationName(),
                                 tr("This machine does not know the %1. Type the numeric id instead, as the "
                                    "records hold it.")
                                     .arg(unknown.join(QStringLiteral(", "))),
                                 QMessageBox::Ok);
        return;
    }

    resultLists = {status, sources, eventModel.checkedEvents(), groups, users, rest};
    QDialog::accept();
}

void CFilterEditWindow::reject()
{
    resetFields();
    QDialog::reject();
}

void CFilterEditWindow::closeEvent(QCloseEvent *event)
{
    resetFields();
    if (isVisible())
        QDialog::done(QDialog::Rejected);
    event->accept();
}

void CFilterEditWindow::filesSelect()
{
    // Opens where the folder chosen before is; Cancel keeps that folder.
    const QString chosen = ui->lbFiles->text().section(QLatin1Char('\n'), 0, 0);
    QFileDialog dialog(this, tr("Select folder..."), chosen.isEmpty() ? QDir::homePath() : chosen);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QStringList selected = dialog.selectedFiles();
    if (!selected.isEmpty())
        setFiles(selected.join(QLatin1Char('\n')));
}

void CFilterEditWindow::setFiles(const QString &text)
{
    ui->lbFiles->setText(text);
    ui->btnFilesClear->setEnabled(!text.isEmpty());
}

void CFilterEditWindow::setDateTime(int index)
{
    const int last = ui->cbTime->count() - 1;
    if (last < 0 || index != last)
        return;

    const QStringList ends = ui->cbTime->itemText(last).split(rangeSeparator(), Qt::SkipEmptyParts);
    if (ends.size() == 2) {
        dateUi->dteFrom->setDateTime(QDateTime::fromString(ends.at(0), rangeDateFormat()));
        dateUi->dteTo->setDateTime(QDateTime::fromString(ends.at(1), rangeDateFormat()));
    } else {
        const QDateTime now = QDateTime::currentDateTime();
        dateUi->dteFrom->setDateTime(now);
        dateUi->dteTo->setDateTime(now);
    }
    // The date dialog has no parent; it comes up over the editor all the same.
    if (isVisible())
        dateDialog.move(frameGeometry().center() - dateDialog.rect().center());
    if (dateDialog.exec() != QDialog::Accepted)
        return;

    const QDateTime from = dateUi->dteFrom->dateTime();
    const QDateTime to = dateUi->dteTo->dateTime();
    // A filter keeps its span in seconds as a signed 32-bit number; a longer
    // range could only be stored wrapped round, so it is refused like an
    // inverted one.
    if (to < from || from.secsTo(to) > std::numeric_limits<qint32>::max()) {
        QMessageBox::information(this, QCoreApplication::applicationName(), tr("Wrong time range!"), QMessageBox::Ok);
        return;
    }
    ui->cbTime->setItemText(last, rangeText(from, to));
}
