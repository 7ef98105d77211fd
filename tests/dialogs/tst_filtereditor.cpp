// The filter editor, its event list and the catalogue it comes from, and the
// date-range dialog.
#include "ceventmodel.h"
#include "cfilter.h"
#include "cfiltereditwindow.h"
#include "eventcatalogue.h"
#include "filtermatch.h"
#include "modalanswer.h"
#include "../filter/records.h"

#include <QAbstractItemModelTester>
#include <QtTest>
#include <QtWidgets>

using Lists = QList<QStringList>;
Q_DECLARE_METATYPE(Lists)

namespace {

const QStringList kPresets = {"Any time", "Last 5 minutes", "Last 60 minutes", "Last 12 hours", "Last 24 hours",
                              "Last 7 days", "Last 30 days", "Set range..."};

template<typename T>
T *child(QObject *parent, const char *name)
{
    T *found = parent->findChild<T *>(QLatin1String(name));
    return found ? found : (qFatal("no child %s", name), nullptr);
}

// An editor with the presets, showing display-form `lists` (none: a reset record).
struct Editor : CFilterEditWindow
{
    explicit Editor(const Lists &lists = six(), const QString &time = kPresets.first())
    {
        addTimeItems(kPresets);
        CFilter filter(QStringLiteral("f"));
        lists.isEmpty() ? filter.reset() : filter.setLists(toPatternForm(lists));
        setFilter(filter.name, time, filter);
    }
    CEventModel *events() { return qobject_cast<CEventModel *>(child<QComboBox>(this, "cbEvent")->model()); }
    QComboBox *time() { return child<QComboBox>(this, "cbTime"); }
};

// The lists loaded; each edit "objectName=text", "event=name" or a check box
// to click; the lists then accepted; the text of the box refusing the edits
// (empty: accepted).
struct Accepted { Lists loaded; QStringList edits; Lists expected; QString message = {}; };
// The time entry before; the seconds chosen; OK or Cancel; the box refusing them.
struct Range { QString before; qint64 span; bool ok; QString message; };

} // namespace

Q_DECLARE_METATYPE(Accepted)
Q_DECLARE_METATYPE(Range)

class TestFilterEditor : public QObject
{
    Q_OBJECT
private slots:
    void eventListFollowsSourcesAndStaysOpen()
    {
        Editor editor;
        CEventModel *model = editor.events();
        QAbstractItemModelTester tester(model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        child<QCheckBox>(&editor, "chbSourceFile")->click();
        QStringList rows;
        for (int row = 1; row < model->rowCount(); ++row)
            rows << model->item(row)->text();
        // Clicks in the open list tick events and leave it open.
        editor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&editor));
        auto *box = child<QComboBox>(&editor, "cbEvent");
        box->showPopup();
        QTRY_VERIFY(box->view()->isVisible());
        for (int row : {2, 3}) {
            const QPoint at = box->view()->visualRect(model->index(row, 0)).center();
            QTest::mouseClick(box->view()->viewport(), Qt::LeftButton, {}, at);
        }
        QVERIFY(box->view()->isVisible());
        const QString caption = rows.at(1) + QStringLiteral(", ") + rows.at(2);
        QCOMPARE(model->item(0)->text(), caption);
        box->hidePopup();
        // Keys and the wheel on the closed box leave the caption in it.
        QTest::keyClick(box, Qt::Key_Down);
        QWheelEvent wheel(QPointF(5, 5), box->mapToGlobal(QPoint(5, 5)), QPoint(), QPoint(0, -120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(box, &wheel);
        QCOMPARE(box->currentText(), caption);
        // A source click refills the list: the chosen events are gone.
        child<QCheckBox>(&editor, "chbSourceFile")->click();
        QCOMPARE(model->checkedEvents(), QStringList());
    }

    void acceptedLists_data()
    {
        QTest::addColumn<Accepted>("row");
        const auto row = [](const char *name, const Accepted &accepted) { QTest::newRow(name) << accepted; };
        const QString refuse = statusLabel(1);
        const Lists full = six({refuse}, {statusLabel(4)}, {"unlink"}, {"3999998"}, {"3999999"}, {"pid=\\d+", "/etc/shadow"});
        row("loaded unchanged", {full, {}, full});
        row("success ticked", {full, {"chbStateSuccess"}, six({statusLabel(0), refuse}, full[1], full[2], full[3], full[4], full[5])});
        row("source click drops events", {full, {"chbSourceFile"}, six({refuse}, {}, {}, {"3999998"}, {"3999999"}, full[5])});
        row("fewer than six lists", {Lists(), {}, six()});
        row("events in row order", {Lists(), {"event=unlink", "event=chmod"}, six({}, {}, {"chmod", "unlink"})});
        QStringList events = eventNames(0) + eventNames(1) + eventNames(2) + eventNames(3);
        events.sort();
        row("the last row's event loaded", {six({}, {}, {events.last()}), {}, six({}, {}, {events.last()})});
        row("the first row's event ticked", {Lists(), {"event=" + events.first()}, six({}, {}, {events.first()})});
        row("two commas", {six(), {"leUser=root,,4711"}, six({}, {}, {}, {}, {"root", "4711"})});
        row("parameters then paths", {six(), {"leParams=x=1, /etc/passwd", "lbFiles=/srv\n\n/tmp"},
            six({}, {}, {}, {}, {}, {"x=1", "/etc/passwd", "/srv", "/tmp"})});
        row("known names and ids", {six(), {"leGroup=root, 4711", "leUser=root, 3999999"},
            six({}, {}, {}, {"root", "4711"}, {"root", "3999999"})});
        // A user or group name this machine does not know would match as
        // free text anywhere in a record: refused, named, the numeric id asked for.
        row("unknown user", {six(), {"leUser=root, alice-x"}, {}, "the user \"alice-x\"."});
        row("unknown group", {six(), {"leGroup=staff-x"}, {}, "the group \"staff-x\"."});
        row("both named", {six(), {"leGroup=g-x", "leUser=u-x"}, {}, "the group \"g-x\", user \"u-x\"."});
        row("outer blanks", {six(), {"leUser= root"}, {}, "the user \" root\"."});
        row("signed number", {six(), {"leUser=+5"}, {}, "the user \"+5\"."});
    }

    void acceptedLists()
    {
        QFETCH(Accepted, row);
        const auto [loaded, edits, expected, message] = row;
        Editor editor(loaded);
        editor.show();
        for (const QString &edit : edits) {
            const QString name = edit.section(QLatin1Char('='), 0, 0);
            const QString value = edit.section(QLatin1Char('='), 1);
            if (name == QLatin1String("event"))
                editor.events()->findItems(value).value(0)->setCheckState(Qt::Checked);
            else if (auto *line = editor.findChild<QLineEdit *>(name))
                line->setText(value);
            else if (auto *label = editor.findChild<QLabel *>(name))
                label->setText(value);
            else
                child<QCheckBox>(&editor, qPrintable(name))->click();
        }
        QString text;
        ModalSteps driver({ModalSteps::press(QMessageBox::Ok, &text)});
        child<QDialogButtonBox>(&editor, "buttonBox")->button(QDialogButtonBox::Ok)->click();
        if (!message.isEmpty()) {
            // The editor stays open with what was typed.
            QCOMPARE(driver.done(), 1);
            QVERIFY2(text.contains(message) && text.contains(QStringLiteral("numeric id")), qPrintable(text));
            QVERIFY(editor.isVisible());
            for (const QString &edit : edits)
                QCOMPARE(child<QLineEdit>(&editor, qPrintable(edit.section(QLatin1Char('='), 0, 0)))->text(), edit.section(QLatin1Char('='), 1));
            return;
        }
        QCOMPARE(driver.done(), 0);
        QCOMPARE(editor.result(), int(QDialog::Accepted));
        QCOMPARE(editor.filterLists(), toPatternForm(expected));

        // Loaded again and accepted, the same lists come back; a typed
        // parameter that is a path is listed among the paths.
        Editor again(toDisplayForm(editor.filterLists()));
        if (expected.at(5).contains(QStringLiteral("/etc/passwd")))
            QCOMPARE(child<QLabel>(&again, "lbFiles")->text(), QStringLiteral("/etc/passwd\n/srv\n/tmp"));
        again.accept();
        QCOMPARE(again.filterLists(), toPatternForm(expected));
    }

    void closingResets_data()
    {
        QTest::addColumn<QString>("way");
        for (const char *way : {"Escape", "close button", "Cancel"})
            QTest::newRow(way) << QString(way);
    }

    void closingResets()
    {
        QFETCH(QString, way);
        const QString range = QStringLiteral("2026-01-02 10:00:00 - 2026-01-02 11:00:00");
        Editor editor(six({statusLabel(1)}, {}, {}, {}, {"u"}), range);
        QVERIFY(editor.time()->count() == 8 && editor.timeChoice().index == 7 && editor.timeChoice().text == range);
        QTimer::singleShot(0, &editor, [&] {
            if (way == "Escape")
                QTest::keyClick(&editor, Qt::Key_Escape);
            else if (way == "close button")
                editor.close();
            else
                child<QDialogButtonBox>(&editor, "buttonBox")->button(QDialogButtonBox::Cancel)->click();
        });
        QCOMPARE(editor.exec(), int(QDialog::Rejected));
        QVERIFY(!child<QCheckBox>(&editor, "chbStateRefuse")->isChecked() && child<QLineEdit>(&editor, "leUser")->text().isEmpty());
        QVERIFY(editor.timeChoice().index == 0 && editor.time()->itemText(7) == kPresets.last());
    }

    void filesChooser()
    {
        // A folder is chosen in a dialog titled for a folder; cancelling
        // keeps it; the clear button clears it.
        Editor editor;
        auto *files = child<QLabel>(&editor, "lbFiles");
        auto *clear = child<QToolButton>(&editor, "btnFilesClear");
        QVERIFY(!clear->isEnabled());
        QString title;
        ModalSteps driver({[&title](QWidget *modal) {
            title = modal->windowTitle();
            static_cast<QDialog *>(modal)->reject();
        }});
        QMetaObject::invokeMethod(&editor, "filesSelect");
        QCOMPARE(title, QStringLiteral("Select folder..."));
        driver.fileName = QDir::tempPath();
        QMetaObject::invokeMethod(&editor, "filesSelect");
        QCOMPARE(files->text(), QDir::tempPath());
        QVERIFY(clear->isEnabled());
        driver.fileName.clear();
        QMetaObject::invokeMethod(&editor, "filesSelect");
        QCOMPARE(files->text(), QDir::tempPath());
        clear->click();
        QCOMPARE(files->text(), QString());
        QVERIFY(!clear->isEnabled());
        editor.accept();
        QCOMPARE(editor.filterLists(), six());
    }

    void dateRange_data()
    {
        QTest::addColumn<Range>("row");
        const QString set = "Set range...", earlier = "2025-05-05 05:05:05 - 2025-05-06 05:05:05";
        QTest::newRow("new range") << Range{set, 300, true, ""};
        QTest::newRow("end a second early") << Range{earlier, -1, true, "Wrong time range!"};
        QTest::newRow("longer than period holds") << Range{set, qint64(1) << 31, true, "Wrong time range!"};
        QTest::newRow("longest that fits") << Range{set, 2147483647, true, ""};
        QTest::newRow("cancelled") << Range{earlier, 0, false, ""};
    }

    void dateRange()
    {
        QFETCH(Range, row);
        const auto &[before, span, ok, message] = row;
        const QDateTime from = QDateTime::fromString(QStringLiteral("2026-01-02 10:00:00"), CFilterEditWindow::rangeDateFormat());
        Editor editor(six(), before);
        editor.time()->setCurrentIndex(7);
        QString shownFrom, text;
        QList<ModalSteps::Step> answers = {[&](QWidget *modal) {
            auto *dteFrom = child<QDateTimeEdit>(modal, "dteFrom");
            shownFrom = dteFrom->dateTime().toString(CFilterEditWindow::rangeDateFormat());
            dteFrom->setDateTime(from);
            child<QDateTimeEdit>(modal, "dteTo")->setDateTime(from.addSecs(row.span));
            row.ok ? qobject_cast<QDialog *>(modal)->accept() : qobject_cast<QDialog *>(modal)->reject();
        }};
        if (!message.isEmpty())
            answers.append(ModalSteps::press(QMessageBox::Ok, &text));
        ModalSteps steps(answers);
        QMetaObject::invokeMethod(&editor, "setDateTime", Q_ARG(int, 6)); // a preset opens nothing
        QMetaObject::invokeMethod(&editor, "setDateTime", Q_ARG(int, 7));
        QVERIFY(steps.done() == answers.size() && steps.unexpected() == 0);
        QCOMPARE(text, message);
        QCOMPARE(editor.time()->itemText(7), ok && message.isEmpty() ? CFilterEditWindow::rangeText(from, from.addSecs(span)) : before);
        // The dialog opens on the range the entry held.
        QVERIFY(before.startsWith("Set") || shownFrom == before.left(19));
    }
    // The events of the checked sources, each name once, sorted; all of
    // them when none is checked. The custom source lists exactly the
    // library's custom events.
    void eventListOfEachSource_data()
    {
        QTest::addColumn<QStringList>("boxes");
        QTest::addColumn<QStringList>("names");
        const QStringList custom{"audit_rotate", "audit_start", "audit_stop", "firewall_change", "hostname_change", "kill",
                                 "module_load", "module_unload", "policy_change", "policy_load", "policy_reload",
                                 "time_change"};
        const auto sorted = [](QStringList names) {
            names.removeDuplicates();
            names.sort();
            return names;
        };
        QTest::newRow("custom") << QStringList{"chbSourceCustom"} << custom;
        QTest::newRow("user") << QStringList{"chbSourceUser"} << sorted(eventNames(0));
        QTest::newRow("process and file") << QStringList{"chbSourceProcess", "chbSourceFile"}
                                          << sorted(eventNames(1) + eventNames(2));
        QTest::newRow("file and custom") << QStringList{"chbSourceFile", "chbSourceCustom"}
                                         << sorted(eventNames(2) + custom);
        QTest::newRow("none") << QStringList{}
                              << sorted(eventNames(0) + eventNames(1) + eventNames(2) + custom);
    }

    void eventListOfEachSource()
    {
        QFETCH(QStringList, boxes);
        QFETCH(QStringList, names);
        Editor editor;
        CEventModel *model = editor.events();
        QAbstractItemModelTester tester(model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        for (const QString &box : boxes)
            child<QCheckBox>(&editor, qPrintable(box))->click();
        QStringList rows;
        for (int row = 1; row < model->rowCount(); ++row)
            rows << model->item(row)->text();
        QCOMPARE(rows, names);
    }

    // The event catalogue the editor's list is made of: name blocks as the
    // library hands them, and the descriptions the list shows.
    void namesFromBlock_data()
    {
        QTest::addColumn<QByteArray>("block");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("single NUL") << QByteArray("\0", 1) << QStringList();
        QTest::newRow("last name without NUL is lost") << QByteArray("a\0b", 3) << QStringList{"a"};
        QTest::newRow("empty name in the middle") << QByteArray("a\0\0b\0", 5) << QStringList{"a", "", "b"};
        QTest::newRow("empty first piece") << QByteArray("\0a\0", 3) << QStringList();
        QTest::newRow("UTF-8") << QByteArray("\xc3\xbc\x62\0", 4) << QStringList{QStringLiteral("\u00fcb")};
    }

    void namesFromBlock()
    {
        QFETCH(QByteArray, block);
        QFETCH(QStringList, names);
        QCOMPARE(eventNamesFromBlock(block), names);
    }

    void eventDescriptions()
    {
        QCOMPARE(eventDescription("chmod"), QStringLiteral("Event chmod for audit: user [u], file [f]"));
        QCOMPARE(eventDescription("kill"), QStringLiteral("Event kill for audit: user process [p], custom [c]"));
        QCOMPARE(eventDescription("open"), QStringLiteral("Event open for audit: file [f]")); // not openat
        QCOMPARE(eventDescription("nosuch"), QStringLiteral("Event nosuch for audit: "));
        QVERIFY(eventNames(4).isEmpty());
        // The editor describes all events from one catalogue: the same texts.
        const EventCatalogue catalogue;
        QStringList all;
        for (int category = 0; category < 4; ++category)
            all += catalogue.names(category) == eventNames(category) ? eventNames(category) : QStringList{"differs"};
        QCOMPARE(catalogue.allNames(), all);
        for (const QString &name : all + QStringList{"nosuch"})
            QCOMPARE(catalogue.description(name), eventDescription(name));
    }
};

QTEST_MAIN(TestFilterEditor)
#include "tst_filtereditor.moc"
