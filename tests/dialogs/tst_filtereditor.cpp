// The filter editor, its event list and the date-range dialog, driven
// offscreen: modal dialogs are answered by ModalSteps.
#include "ceventmodel.h"
#include "cfilter.h"
#include "cfiltereditwindow.h"
#include "filtermatch.h"
#include "modalanswer.h"

#include <QAbstractItemModelTester>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using Lists = QList<QStringList>;

namespace {

const QStringList kPresets = {"Any time", "Last 5 minutes", "Last 60 minutes", "Last 12 hours", "Last 24 hours",
                              "Last 7 days", "Last 30 days", "Set range..."};

Lists six(const QStringList &a = {}, const QStringList &b = {}, const QStringList &c = {},
          const QStringList &d = {}, const QStringList &e = {}, const QStringList &f = {})
{
    return {a, b, c, d, e, f};
}

template<typename T>
T *child(QObject *parent, const char *name)
{
    T *found = parent->findChild<T *>(QLatin1String(name));
    if (!found)
        qFatal("no child %s", name);
    return found;
}

CEventModel *modelOf(CFilterEditWindow &editor)
{
    return qobject_cast<CEventModel *>(child<QComboBox>(&editor, "cbEvent")->model());
}

void checkEvent(CFilterEditWindow &editor, const QString &name)
{
    CEventModel *model = modelOf(editor);
    const QList<QStandardItem *> items = model->findItems(name);
    QVERIFY2(!items.isEmpty(), qPrintable(name));
    items.first()->setCheckState(Qt::Checked);
}

// Loads display-form `lists` as a filter would hold them.
CFilter filterOf(const Lists &lists)
{
    CFilter filter(QStringLiteral("f"));
    if (lists.isEmpty())
        filter.reset();
    else
        filter.setLists(toPatternForm(lists));
    return filter;
}

} // namespace

Q_DECLARE_METATYPE(Lists)

class TestFilterEditor : public QObject
{
    Q_OBJECT
private slots:
    void formAndTexts();
    void eventModel_data();
    void eventModel();
    void eventListStaysOpenAndShowsCaption();
    void acceptedLists_data();
    void acceptedLists();
    void escapeAndCloseReset_data();
    void escapeAndCloseReset();
    void filesChooser();
    void timeEntry();
    void dateRange_data();
    void dateRange();
};

void TestFilterEditor::formAndTexts()
{
    CFilterEditWindow editor;
    const QList<QPair<const char *, QString>> texts = {
        {"chbStateSuccess", "Success"}, {"chbStateRefuse", "Refuse"}, {"chbSourceUser", "User"},
        {"chbSourceProcess", "Process"}, {"chbSourceFile", "File"}, {"chbSourceCustom", "Other"},
        {"btnFiles", "Files..."}};
    for (const auto &text : texts)
        QCOMPARE(child<QAbstractButton>(&editor, text.first)->text(), text.second);
    for (const char *name : {"cbTime", "cbEvent", "leGroup", "leUser", "leParams", "lbFiles", "buttonBox", "frameSource"})
        QVERIFY2(editor.findChild<QWidget *>(QLatin1String(name)), name);
    QCOMPARE(child<QPushButton>(&editor, "btnFiles")->toolTip(), QStringLiteral("Select files to filter"));
    QVERIFY(child<QLineEdit>(&editor, "leParams")->toolTip().contains(QLatin1Char('\n')));
    QVERIFY(child<QLineEdit>(&editor, "leParams")->minimumWidth() >= 300);
    QCOMPARE(editor.windowTitle(), QStringLiteral("Edit filter"));
    editor.setFilter(QStringLiteral("mine"), kPresets.first(), CFilter(QStringLiteral("mine")));
    QCOMPARE(editor.windowTitle(), QStringLiteral("mine - Edit Filter"));
}

void TestFilterEditor::eventModel_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("toCheck");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QStringList>("checked");
    QTest::newRow("empty") << QStringList() << QStringList{"a"} << "Select events" << QStringList();
    QTest::newRow("row order") << QStringList{"a", "b", "c"} << QStringList{"c", "a"} << "a, c" << QStringList{"a", "c"};
    QTest::newRow("name in two rows") << QStringList{"a", "b", "a"} << QStringList{"a"} << "a, a" << QStringList{"a", "a"};
    QTest::newRow("missing name") << QStringList{"a", "b"} << QStringList{"x"} << "Select events" << QStringList();
    QTest::newRow("comma in a name") << QStringList{"x, y", "z"} << QStringList{"x, y"} << "x, y" << QStringList{"x", "y"};
    QTest::newRow("name equal to the caption") << QStringList{"Select events", "b"} << QStringList{"Select events"}
                                               << "Select events" << QStringList();
}

void TestFilterEditor::eventModel()
{
    QFETCH(QStringList, names);
    QFETCH(QStringList, toCheck);
    QFETCH(QString, caption);
    QFETCH(QStringList, checked);
    CEventModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.fill(names);
    QCOMPARE(model.rowCount(), names.size() + 1);
    model.setChecked(toCheck);
    QCOMPARE(model.item(0)->text(), caption);
    QCOMPARE(model.item(0)->toolTip(), caption);
    QCOMPARE(model.checkedEvents(), checked);
    QVERIFY(!(model.item(0)->flags() & Qt::ItemIsSelectable));
    for (int row = 1; row < model.rowCount(); ++row)
        QCOMPARE(model.item(row)->flags(), Qt::ItemIsUserCheckable | Qt::ItemIsEnabled);
    // Unchecking all, and refilling, bring the default caption back.
    for (int row = 1; row < model.rowCount(); ++row)
        model.item(row)->setCheckState(Qt::Unchecked);
    QCOMPARE(model.item(0)->text(), QStringLiteral("Select events"));
    model.setChecked(toCheck);
    model.fill(names);
    QCOMPARE(model.checkedEvents(), QStringList());
}

void TestFilterEditor::eventListStaysOpenAndShowsCaption()
{
    CFilterEditWindow editor;
    editor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&editor));
    auto *box = child<QComboBox>(&editor, "cbEvent");
    CEventModel *model = modelOf(editor);
    QVERIFY(model->rowCount() > 60);
    QCOMPARE(model->item(1)->toolTip().left(6), QStringLiteral("Event "));
    box->showPopup();
    QAbstractItemView *view = box->view();
    QTRY_VERIFY(view->isVisible());
    for (int row : {2, 3}) {
        const QRect rect = view->visualRect(model->index(row, 0));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
    }
    QVERIFY(view->isVisible());
    QCOMPARE(model->checkedEvents(), QStringList({model->item(2)->text(), model->item(3)->text()}));
    box->hidePopup();
    // Keys and the wheel on the closed box leave the caption in it.
    QTest::keyClick(box, Qt::Key_Down);
    QWheelEvent wheel(QPointF(5, 5), box->mapToGlobal(QPoint(5, 5)), QPoint(), QPoint(0, -120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(box, &wheel);
    QCOMPARE(box->currentIndex(), 0);
    QCOMPARE(box->currentText(), model->item(2)->text() + QStringLiteral(", ") + model->item(3)->text());
}

void TestFilterEditor::acceptedLists_data()
{
    QTest::addColumn<Lists>("loaded");
    QTest::addColumn<QStringList>("edits");
    QTest::addColumn<Lists>("expected");
    const QString refuse = statusLabel(1);
    const QString success = statusLabel(0);
    const QString file = statusLabel(4);
    const Lists full = six({refuse}, {file}, {"unlink"}, {"grp-x"}, {"usr-x"}, {"pid=\\d+", "/etc/shadow"});
    QTest::newRow("loaded unchanged") << full << QStringList() << full;
    QTest::newRow("success ticked") << full << QStringList{"chbStateSuccess"}
                                    << six({success, refuse}, {file}, {"unlink"}, {"grp-x"}, {"usr-x"}, full.at(5));
    QTest::newRow("a source click clears the events")
        << full << QStringList{"chbSourceFile"} << six({refuse}, {}, {}, {"grp-x"}, {"usr-x"}, full.at(5));
    QTest::newRow("events in row order") << Lists() << QStringList{"event=unlink", "event=chmod"}
                                         << six({}, {}, {"chmod", "unlink"});
    QTest::newRow("bare comma") << six() << QStringList{"leUser=a,b"} << six({}, {}, {}, {}, {"a", "b"});
    QTest::newRow("comma and blank") << six() << QStringList{"leGroup=a, b"} << six({}, {}, {}, {"a", "b"});
    QTest::newRow("two commas") << six() << QStringList{"leUser=a,,b"} << six({}, {}, {}, {}, {"a", "b"});
    QTest::newRow("second blank stays") << six() << QStringList{"leUser=a  ,  b"} << six({}, {}, {}, {}, {"a ", " b"});
    QTest::newRow("outer blanks stay") << six() << QStringList{"leUser= a,b "} << six({}, {}, {}, {}, {" a", "b "});
    QTest::newRow("parameters then paths")
        << six() << QStringList{"leParams=x=1, /etc/passwd", "lbFiles=/srv\n\n/tmp"}
        << six({}, {}, {}, {}, {}, {"x=1", "/etc/passwd", "/srv", "/tmp"});
}

void TestFilterEditor::acceptedLists()
{
    QFETCH(Lists, loaded);
    QFETCH(QStringList, edits);
    QFETCH(Lists, expected);
    CFilterEditWindow editor;
    editor.addTimeItems(kPresets);
    editor.setFilter(QStringLiteral("f"), kPresets.first(), filterOf(loaded));
    for (const QString &edit : edits) {
        const QString name = edit.section(QLatin1Char('='), 0, 0);
        const QString value = edit.section(QLatin1Char('='), 1);
        if (name == QLatin1String("event"))
            checkEvent(editor, value);
        else if (auto *line = editor.findChild<QLineEdit *>(name))
            line->setText(value);
        else if (auto *label = editor.findChild<QLabel *>(name))
            label->setText(value);
        else
            child<QCheckBox>(&editor, qPrintable(name))->click();
    }
    editor.accept();
    QCOMPARE(editor.result(), int(QDialog::Accepted));
    QCOMPARE(editor.filterLists(), toPatternForm(expected));

    // Loaded again, the same filter comes back; paths show among the paths.
    CFilter again(QStringLiteral("f"));
    again.setLists(editor.filterLists());
    editor.setFilter(QStringLiteral("f"), kPresets.first(), again);
    if (expected.at(5).contains(QStringLiteral("/etc/passwd")))
        QCOMPARE(child<QLabel>(&editor, "lbFiles")->text(), QStringLiteral("/etc/passwd\n/srv\n/tmp"));
    editor.accept();
    // Blanks next to a comma are taken for part of the separator when the
    // joined entries are split again.
    if (QTest::currentDataTag() != QLatin1String("second blank stays"))
        QCOMPARE(editor.filterLists(), toPatternForm(expected));
}

void TestFilterEditor::escapeAndCloseReset_data()
{
    QTest::addColumn<int>("way");
    QTest::newRow("Escape") << 0;
    QTest::newRow("close button") << 1;
    QTest::newRow("Cancel") << 2;
}

void TestFilterEditor::escapeAndCloseReset()
{
    QFETCH(int, way);
    CFilterEditWindow editor;
    editor.addTimeItems(kPresets);
    const QString range = QStringLiteral("2026-01-02 10:00:00 - 2026-01-02 11:00:00");
    editor.setFilter(QStringLiteral("f"), range, filterOf(six({statusLabel(1)}, {}, {}, {}, {"u"})));
    QTimer::singleShot(0, &editor, [&] {
        if (way == 0)
            QTest::keyClick(&editor, Qt::Key_Escape);
        else if (way == 1)
            editor.close();
        else
            child<QDialogButtonBox>(&editor, "buttonBox")->button(QDialogButtonBox::Cancel)->click();
    });
    QCOMPARE(editor.exec(), int(QDialog::Rejected));
    QVERIFY(!child<QCheckBox>(&editor, "chbStateRefuse")->isChecked());
    QVERIFY(child<QLineEdit>(&editor, "leUser")->text().isEmpty());
    const TimeChoice choice = editor.timeChoice();
    QCOMPARE(choice.index, 0);
    QCOMPARE(child<QComboBox>(&editor, "cbTime")->itemText(7), QStringLiteral("Set range..."));
}

void TestFilterEditor::filesChooser()
{
    QTemporaryDir folder;
    CFilterEditWindow editor;
    auto *files = child<QLabel>(&editor, "lbFiles");
    files->setText(QStringLiteral("/earlier"));
    {
        ModalSteps steps({[&](QWidget *modal) {
            auto *dialog = qobject_cast<QFileDialog *>(modal);
            QVERIFY(dialog);
            QCOMPARE(dialog->fileMode(), QFileDialog::Directory);
            QCOMPARE(dialog->windowTitle(), QStringLiteral("Select file..."));
            dialog->selectFile(folder.path());
            static_cast<QDialog *>(dialog)->accept();
        }});
        QMetaObject::invokeMethod(&editor, "filesSelect");
        QCOMPARE(steps.done(), 1);
    }
    QCOMPARE(files->text(), folder.path());
    // Cancelling clears what was listed.
    ModalSteps cancel({[](QWidget *modal) { qobject_cast<QDialog *>(modal)->reject(); }});
    QMetaObject::invokeMethod(&editor, "filesSelect");
    QCOMPARE(files->text(), QString());
}

void TestFilterEditor::timeEntry()
{
    CFilterEditWindow editor;
    editor.addTimeItems(kPresets);
    auto *time = child<QComboBox>(&editor, "cbTime");
    editor.setFilter(QStringLiteral("f"), QStringLiteral("Last 24 hours"), CFilter(QStringLiteral("f")));
    QCOMPARE(time->currentIndex(), 4);
    const QString range = QStringLiteral("2026-01-02 10:00:00 - 2026-01-02 10:05:00");
    editor.setFilter(QStringLiteral("f"), range, CFilter(QStringLiteral("f")));
    QCOMPARE(time->count(), 8);
    QCOMPARE(time->currentIndex(), 7);
    QCOMPARE(time->currentText(), range);
    editor.resetFields();
    QCOMPARE(time->currentIndex(), 0);
    QCOMPARE(time->itemText(7), QStringLiteral("Set range..."));
}

void TestFilterEditor::dateRange_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QDateTime>("from");
    QTest::addColumn<QDateTime>("to");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("after");
    QTest::addColumn<QString>("message");
    const QDateTime t = QDateTime::fromString(QStringLiteral("2026-01-02 10:00:00"), QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    const QString set = QStringLiteral("Set range...");
    const QString earlier = QStringLiteral("2025-05-05 05:05:05 - 2025-05-06 05:05:05");
    QTest::newRow("new range") << set << t << t.addSecs(300) << true << "2026-01-02 10:00:00 - 2026-01-02 10:05:00" << "";
    QTest::newRow("start equals end") << set << t << t << true << "2026-01-02 10:00:00 - 2026-01-02 10:00:00" << "";
    QTest::newRow("end a second early") << earlier << t << t.addSecs(-1) << true << earlier << "Wrong time range!";
    QTest::newRow("longer than period holds") << set << t << t.addSecs(qint64(1) << 31) << true << set
                                              << "Wrong time range!";
    QTest::newRow("longest that fits") << set << t << t.addSecs(2147483647) << true
                                       << t.toString("yyyy-MM-dd hh:mm:ss") + " - "
                                              + t.addSecs(2147483647).toString("yyyy-MM-dd hh:mm:ss")
                                       << "";
    QTest::newRow("cancelled") << earlier << t << t << false << earlier << "";
}

void TestFilterEditor::dateRange()
{
    QFETCH(QString, before);
    QFETCH(QDateTime, from);
    QFETCH(QDateTime, to);
    QFETCH(bool, ok);
    QFETCH(QString, after);
    QFETCH(QString, message);
    CFilterEditWindow editor;
    editor.addTimeItems(kPresets);
    editor.setFilter(QStringLiteral("f"), before, CFilter(QStringLiteral("f")));
    auto *time = child<QComboBox>(&editor, "cbTime");
    time->setCurrentIndex(7);

    QString shownFrom;
    QString text;
    QList<ModalSteps::Step> answers = {[&](QWidget *modal) {
        QCOMPARE(modal->objectName(), QStringLiteral("dateTimeDialog"));
        auto *dteFrom = child<QDateTimeEdit>(modal, "dteFrom");
        shownFrom = dteFrom->dateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
        dteFrom->setDateTime(from);
        child<QDateTimeEdit>(modal, "dteTo")->setDateTime(to);
        ok ? qobject_cast<QDialog *>(modal)->accept() : qobject_cast<QDialog *>(modal)->reject();
    }};
    if (!message.isEmpty())
        answers.append(ModalSteps::press(QMessageBox::Ok, &text));
    ModalSteps steps(answers);
    // Picking a preset opens nothing.
    QMetaObject::invokeMethod(&editor, "setDateTime", Q_ARG(int, 6));
    QMetaObject::invokeMethod(&editor, "setDateTime", Q_ARG(int, 7));
    QCOMPARE(steps.done(), answers.size());
    QCOMPARE(steps.unexpected(), 0);
    QCOMPARE(text, message);
    QCOMPARE(time->itemText(7), after);
    QCOMPARE(time->currentIndex(), 7);
    // The dialog opens on the range the entry held.
    if (before != QLatin1String("Set range..."))
        QCOMPARE(shownFrom, before.left(19));
}

QTEST_MAIN(TestFilterEditor)
#include "tst_filtereditor.moc"
