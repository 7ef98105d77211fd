// The filter selector and its commands, the filter description and the time
// conversions, driven offscreen through the main window.
#include "cfilter.h"
#include "cfiltereditwindow.h"
#include "cstringlistmodel.h"
#include "filterdescription.h"
#include "filtermatch.h"
#include "mainwindow.h"
#include "mlogwriter.h"
#include "modalanswer.h"

#include <QAbstractItemView>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QToolBar>
#include <QtTest>

using Lists = QList<QStringList>;
Q_DECLARE_METATYPE(Lists)

namespace {

const QString kFormat = QStringLiteral("yyyy-MM-dd hh:mm:ss");

Lists six(const QStringList &a = {}, const QStringList &b = {}, const QStringList &c = {},
          const QStringList &d = {}, const QStringList &e = {}, const QStringList &f = {})
{
    return {a, b, c, d, e, f};
}

QMap<int, QString> presets()
{
    return {{0, "Any time"}, {300, "Last 5 minutes"}, {3600, "Last 60 minutes"}, {43200, "Last 12 hours"},
            {86400, "Last 24 hours"}, {604800, "Last 7 days"}, {2592000, "Last 30 days"},
            {2147483647, "Set range..."}};
}

QComboBox *selector(mainWindow &window)
{
    return window.findChild<QToolBar *>(QStringLiteral("tbFilterEdit"))->findChild<QComboBox *>();
}

QStringList entries(mainWindow &window)
{
    QStringList texts;
    for (int i = 0; i < selector(window)->count(); ++i)
        texts << selector(window)->itemText(i);
    return texts;
}

QString tip(mainWindow &window, int entry)
{
    return selector(window)->itemData(entry, Qt::ToolTipRole).toString();
}

QString panel(mainWindow &window)
{
    return window.findChild<QLabel *>(QStringLiteral("lbFilter"))->text();
}

void trigger(mainWindow &window, const char *action)
{
    window.findChild<QAction *>(QLatin1String(action))->trigger();
}

void choose(mainWindow &window, int entry)
{
    selector(window)->setCurrentIndex(entry);
    QMetaObject::invokeMethod(&window, "activateFilter", Q_ARG(int, entry));
}

// An editor step: ticks the check box `box` and presses OK.
ModalSteps::Step tick(const char *box)
{
    return [box](QWidget *modal) {
        QVERIFY(qobject_cast<CFilterEditWindow *>(modal));
        modal->findChild<QCheckBox *>(QLatin1String(box))->click();
        modal->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
    };
}

// A name-dialog step: types `name` and presses OK.
ModalSteps::Step typeName(const QString &name)
{
    return [name](QWidget *modal) {
        QCOMPARE(modal->windowTitle(), QStringLiteral("Filter name to save"));
        modal->findChild<QLineEdit *>(QStringLiteral("leFilterName"))->setText(name);
        modal->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
    };
}

void run(mainWindow &window, const char *action, const QList<ModalSteps::Step> &answers)
{
    ModalSteps steps(answers);
    trigger(window, action);
    QCOMPARE(steps.done(), answers.size());
    QCOMPARE(steps.unexpected(), 0);
}

QString stored(const QString &name)
{
    return QSettings().value(QStringLiteral("filter/") + name).toString();
}

} // namespace

class TestFilterCommands : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init() { QSettings().clear(); }
    void description_data();
    void description();
    void timeChoice_data();
    void timeChoice();
    void editMarksOnce();
    void saveAndReload();
    void saveRefusals_data();
    void saveRefusals();
    void storedAsShown_data();
    void storedAsShown();
    void deleteFilter();
    void deletedFilterTabKeepsWorking();

private:
    QTemporaryDir m_dir;
};

void TestFilterCommands::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QStringLiteral("vrel-test"));
    QCoreApplication::setApplicationName(QStringLiteral("vrelview-test"));
}

void TestFilterCommands::description_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("period");
    QTest::addColumn<QDateTime>("time");
    QTest::addColumn<Lists>("lists");
    QTest::addColumn<QString>("text");
    const QDateTime t = QDateTime::fromString(QStringLiteral("2026-01-02 10:00:00"), kFormat);
    QTest::newRow("default") << "default" << 0 << QDateTime() << six()
                             << "<b>Name: </b>default<br><b>Time: </b>Any time";
    QTest::newRow("refusals of root") << "r" << -86400 << QDateTime() << six({statusLabel(1)}, {}, {}, {}, {"root"})
        << "<b>Name: </b>r<br><b>Time: </b>Last 24 hours<br><b>Status: </b>refuse [f] <br><b>User: </b>root ";
    QTest::newRow("custom range") << "c" << -3600 << t << six()
                                  << "<b>Name: </b>c<br><b>Time: </b>2026-01-02 09:00:00 - 2026-01-02 10:00:00";
    QTest::newRow("paths only") << "p" << 0 << QDateTime() << six({}, {}, {}, {}, {}, {"/etc/shadow", "/tmp"})
        << "<b>Name: </b>p<br><b>Time: </b>Any time<br><b>Files and dirs: </b><br>/etc/shadow<br>/tmp ";
    QTest::newRow("slash later is a parameter")
        << "p" << 0 << QDateTime() << six({}, {statusLabel(4)}, {"unlink"}, {"root"}, {}, {"a/b", "/etc"})
        << "<b>Name: </b>p<br><b>Time: </b>Any time<br><b>Source: </b>file [f] <br><b>Event: </b>unlink "
           "<br><b>Group: </b>root <br><b>Parameter: </b>a/b <br><b>Files and dirs: </b><br>/etc ";
    QTest::newRow("unknown name as stored") << "u" << 0 << QDateTime() << six({}, {}, {}, {}, {"no-such-user-x"})
        << "<b>Name: </b>u<br><b>Time: </b>Any time<br><b>User: </b>no-such-user-x ";
    QTest::newRow("markup shows as typed") << "a<b" << 0 << QDateTime() << six({}, {}, {}, {}, {}, {"<\\d+>&"})
        << "<b>Name: </b>a&lt;b<br><b>Time: </b>Any time<br><b>Parameter: </b>&lt;\\d+&gt;&amp; ";
    QTest::newRow("no lists") << "n" << 0 << QDateTime() << Lists() << "<b>Name: </b>n<br><b>Time: </b>Any time";
}

void TestFilterCommands::description()
{
    QFETCH(QString, name);
    QFETCH(int, period);
    QFETCH(QDateTime, time);
    QFETCH(Lists, lists);
    QFETCH(QString, text);
    CFilter filter(name);
    filter.period = period;
    filter.time = time;
    if (lists.isEmpty())
        filter.reset();
    else
        filter.setLists(toPatternForm(lists));
    QCOMPARE(filterDescription(filter, presets()), text);
}

void TestFilterCommands::timeChoice_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("period");
    QTest::addColumn<QString>("time");
    QTest::addColumn<QString>("shownAgain");
    const QString fiveMinutes = QStringLiteral("2026-01-02 10:00:00 - 2026-01-02 10:05:00");
    const QString instant = QStringLiteral("2026-01-02 10:00:00 - 2026-01-02 10:00:00");
    QTest::newRow("preset") << 4 << "Last 24 hours" << -86400 << "" << "Last 24 hours";
    QTest::newRow("300 s range is no preset") << 7 << fiveMinutes << -300 << "2026-01-02 10:05:00" << fiveMinutes;
    QTest::newRow("start equals end") << 7 << instant << 0 << "2026-01-02 10:00:00" << instant;
    QTest::newRow("custom entry never set") << 7 << "Set range..." << 0 << "" << "Any time";
    QTest::newRow("unknown label") << 2 << "Yesterday" << 0 << "" << "Any time";
}

void TestFilterCommands::timeChoice()
{
    QFETCH(int, index);
    QFETCH(QString, text);
    QFETCH(int, period);
    QFETCH(QString, time);
    QFETCH(QString, shownAgain);
    CFilter filter(QStringLiteral("t"));
    filter.period = 123;
    TimeChoice choice;
    choice.index = index;
    choice.count = 8;
    choice.text = text;
    applyTimeChoice(choice, presets(), filter);
    QCOMPARE(filter.period, period);
    QCOMPARE(filter.time.toString(kFormat), time);
    QCOMPARE(timeText(filter, presets()), shownAgain);
}

void TestFilterCommands::editMarksOnce()
{
    QSettings().setValue(QStringLiteral("filter/a"), QStringLiteral("0::::;;;;;;;;;;"));
    mainWindow window;
    QCOMPARE(entries(window), QStringList({"default", "a"}));
    choose(window, 1);
    run(window, "actionFilterEdit", {tick("chbStateRefuse")});
    QCOMPARE(entries(window), QStringList({"default", "a (modified)"}));
    QVERIFY(tip(window, 1).contains(QStringLiteral("refuse [f]")));
    run(window, "actionFilterEdit", {tick("chbStateSuccess")});
    QCOMPARE(entries(window), QStringList({"default", "a (modified)"}));
    QVERIFY(tip(window, 1).contains(QStringLiteral("<b>Status: </b>success [s], refuse [f] ")));
    QCOMPARE(panel(window), tip(window, 1));
    // Cancelling changes nothing.
    run(window, "actionFilterEdit", {[](QWidget *modal) { qobject_cast<QDialog *>(modal)->reject(); }});
    QCOMPARE(filterList().at(1)->lists().at(0).size(), 2);
    // The default filter is never marked, but described anew.
    choose(window, 0);
    run(window, "actionFilterEdit", {tick("chbSourceFile")});
    QCOMPARE(entries(window).first(), QStringLiteral("default"));
    QVERIFY(tip(window, 0).contains(QStringLiteral("file [f]")));
    QCOMPARE(panel(window), tip(window, 0));
}

void TestFilterCommands::saveAndReload()
{
    QSettings().setValue(QStringLiteral("filter/a"), QStringLiteral("0::::;;;;;;;;;;"));
    QSettings().setValue(QStringLiteral("filter/b"), QStringLiteral("0::::;;;;;;;;;;"));
    {
        mainWindow window;

        choose(window, 2);
        run(window, "actionFilterEdit", {tick("chbStateSuccess")});
        choose(window, 1);
        run(window, "actionFilterEdit", {tick("chbStateRefuse")});
        // Under its own name: the mark goes, the list is not reloaded.
        run(window, "actionFilterSave", {typeName("a")});
        QCOMPARE(entries(window), QStringList({"default", "a", "b (modified)"}));
        QCOMPARE(stored("a"), QStringLiteral("0::::>\\s\\[f\\];;;;;;;;;;"));
        // Under a new name: reloaded, the new one current and applied.
        run(window, "actionFilterSave", {typeName("A")});
        QCOMPARE(entries(window), QStringList({"default", "A", "a", "b"}));
        QCOMPARE(selector(window)->currentIndex(), 1);
        QCOMPARE(currentFilterIndex(), 1);
        QVERIFY(panel(window).startsWith(QStringLiteral("<b>Name: </b>A<br>")));
        QVERIFY(!tip(window, 3).contains(QStringLiteral("Status"))); // b's edits are gone
        QCOMPARE(window.tabs().size(), 1);
        QCOMPARE(window.tabs().first().filter->name, QStringLiteral("A"));
    }
    // A fresh start reads back what was saved.
    mainWindow window;
    QCOMPARE(entries(window), QStringList({"default", "A", "a", "b"}));
    QVERIFY(tip(window, 1).contains(QStringLiteral("<b>Status: </b>refuse [f] ")));
}

void TestFilterCommands::saveRefusals_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("message");
    const QString emptyOrDefault = QStringLiteral("Can't save default or empty name filter!");
    QTest::newRow("empty name") << "" << "x" << emptyOrDefault;
    QTest::newRow("default name") << "default" << "x" << emptyOrDefault;
    QTest::newRow("slash") << "a/b" << "x" << "must not contain \"/\"";
    QTest::newRow("backslash") << "a\\b" << "x" << "must not contain \"\\\"";
    QTest::newRow("part separator") << "n" << "a::b" << "must not contain \"::\"";
    QTest::newRow("list separator") << "n" << "a;;b" << "must not contain \";;\"";
    QTest::newRow("entry separator") << "n" << "a##b" << "must not contain \"##\"";
    QTest::newRow("hash at the end") << "n" << "a#" << "must not end with \"#\" or \";\"";
}

void TestFilterCommands::saveRefusals()
{
    QFETCH(QString, name);
    QFETCH(QString, entry);
    QFETCH(QString, message);
    mainWindow window;
    filterList().first()->setLists(six({}, {}, {}, {}, {}, {entry, QStringLiteral("y")}));
    QString text;
    run(window, "actionFilterSave", {typeName(name), ModalSteps::press(QMessageBox::Ok, &text)});
    QVERIFY2(text.contains(message), qPrintable(text));
    QSettings settings;
    QVERIFY(settings.childGroups().isEmpty() || !settings.childGroups().contains(QStringLiteral("filter")));
    QCOMPARE(entries(window), QStringList({"default"}));
}

void TestFilterCommands::storedAsShown_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<Lists>("lists");
    QTest::addColumn<bool>("storable");
    for (const char *name : {"Default", "a=b", "x y ", "[g]", "\u00fc;#c", "a,b", "General"})
        QTest::newRow(name) << QString::fromUtf8(name) << six({}, {}, {}, {}, {}, {"p"}) << true;
    for (const char *text : {"#x", ";x", ":x", "x:", "a:b", "x;", "x#", "a#b;c:d", "a, b=c"}) {
        const QString entry = QString::fromUtf8(text);
        QTest::addRow("%s between", text) << QStringLiteral("n") << six({}, {}, {}, {}, {entry, "u"}, {entry, "p"})
                                          << (entry != QLatin1String("x#"));
        QTest::addRow("%s last", text) << QStringLiteral("n") << six({}, {}, {}, {}, {"u", entry}, {"p", entry})
                                       << (entry != QLatin1String("x;"));
    }
}

// Whatever save accepts reads back as the same filter after a fresh start;
// what would not is refused.
void TestFilterCommands::storedAsShown()
{
    QFETCH(QString, name);
    QFETCH(Lists, lists);
    QFETCH(bool, storable);
    {
        mainWindow window;
        filterList().first()->setLists(lists);
        const bool accepted = mainWindow::unsavableReason(name, *filterList().first()).isEmpty();
        QList<ModalSteps::Step> answers = {typeName(name)};
        if (!accepted)
            answers.append(ModalSteps::press(QMessageBox::Ok));
        run(window, "actionFilterSave", answers);
        QCOMPARE(accepted, storable);
        if (!accepted) {
            QCOMPARE(entries(window), QStringList({"default"}));
            return;
        }
    }
    mainWindow window;
    QCOMPARE(entries(window), QStringList({"default", name}));
    QCOMPARE(filterList().at(1)->lists(), toPatternForm(lists));
}

void TestFilterCommands::deleteFilter()
{
    QSettings().setValue(QStringLiteral("filter/a"), QStringLiteral("0::::>\\s\\[f\\];;;;;;;;;;"));
    mainWindow window;
    QString text;
    run(window, "actionFilterDel", {ModalSteps::press(QMessageBox::Ok, &text)});
    QCOMPARE(text, QStringLiteral("Can't delete default filter!"));
    choose(window, 1);
    const int tabs = window.tabs().size();
    run(window, "actionFilterDel", {ModalSteps::press(QMessageBox::No, &text)});
    QCOMPARE(text, QStringLiteral("Delete saved filter?"));
    run(window, "actionFilterDel", {[](QWidget *modal) { qobject_cast<QDialog *>(modal)->reject(); }});
    QCOMPARE(entries(window), QStringList({"default", "a"}));
    run(window, "actionFilterDel", {ModalSteps::press(QMessageBox::Yes)});
    QCOMPARE(entries(window), QStringList({"default"}));
    QCOMPARE(selector(window)->currentIndex(), 0);
    QCOMPARE(currentFilterIndex(), 0);
    QVERIFY(!QSettings().contains(QStringLiteral("filter/a")));
    QCOMPARE(window.tabs().size(), tabs);
    QCOMPARE(panel(window), tip(window, 0));
}

void TestFilterCommands::deletedFilterTabKeepsWorking()
{
    const QString path = m_dir.filePath(QStringLiteral("log.mlog"));
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        const quint32 start = QDateTime::currentDateTime().toSecsSinceEpoch() - 3600;
        for (int i = 0; i < 20000; ++i) {
            MlogRecord record;
            record.time = start + quint32(i / 10);
            record.kind = 2;
            record.status = i % 4 == 0 ? 1 : 0;
            record.payload = "/srv/file-" + QByteArray::number(i);
            file.write(encodeRecord(record));
        }
    }
    QSettings().setValue(QStringLiteral("filter/refused"), QStringLiteral("0::::>\\s\\[f\\];;;;;;;;;;"));
    mainWindow window;
    window.show();
    auto *tabs = window.findChild<QTabWidget *>(QStringLiteral("twLogResult"));
    QAbstractItemView *view = nullptr;
    QString description;
    {
        ModalSteps none({});
        window.openLogPath(path);
        choose(window, 1);
        view = qobject_cast<QAbstractItemView *>(tabs->currentWidget());
        QCOMPARE(view->model()->rowCount(), 5000);
        description = panel(window);
        QCOMPARE(none.unexpected(), 0);
    }
    run(window, "actionFilterDel", {ModalSteps::press(QMessageBox::Yes)});
    ModalSteps none({});
    QMetaObject::invokeMethod(&window, "tabNew");
    QMetaObject::invokeMethod(&window, "actionResultsPress");
    // Back on the first tab: its filter is still described and its rows still load.
    tabs->setCurrentIndex(0);
    QCOMPARE(panel(window), description);
    view->scrollToBottom();
    QTRY_VERIFY(view->model()->index(4999, 0).data().toString().contains(QStringLiteral("/srv/file-19996")));
    QCOMPARE(none.unexpected(), 0);
}

QTEST_MAIN(TestFilterCommands)
#include "tst_filtercommands.moc"
