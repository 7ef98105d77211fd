// The filter selector and its commands, the filter description and the time
// conversions, driven offscreen through the main window.
#include "apptest.h"
#include "cfilter.h"
#include "cfiltereditwindow.h"
#include "filterdescription.h"
#include "filterselector.h"
#include "filtermatch.h"
#include "../filter/records.h"

using Lists = QList<QStringList>;
Q_DECLARE_METATYPE(Lists)

namespace {

const QString kFormat = QStringLiteral("yyyy-MM-dd hh:mm:ss");

QMap<int, QString> presets()
{
    return {{0, "Any time"}, {300, "Last 5 minutes"}, {3600, "Last 60 minutes"}, {43200, "Last 12 hours"},
            {86400, "Last 24 hours"}, {604800, "Last 7 days"}, {2592000, "Last 30 days"},
            {2147483647, "Set range..."}};
}

// The main window seen through its filter selector.
struct Window : mainWindow
{
    QComboBox *selector() { return filterSelector(*this); }
    QStringList entries()
    {
        QStringList texts;
        for (int i = 0; i < selector()->count(); ++i)
            texts << selector()->itemText(i);
        return texts;
    }
    QString tip(int entry) { return selector()->itemData(entry, Qt::ToolTipRole).toString(); }
    QString panel() { return child<QLabel>(*this, "lbFilter")->text(); }
    void choose(int entry)
    {
        selector()->setCurrentIndex(entry);
        QMetaObject::invokeMethod(this, "activateFilter", Q_ARG(int, entry));
    }
    // Triggers `action`, answering the modal dialogs it brings with `answers`.
    void run(const char *action, const QList<DialogDriver::Step> &answers)
    {
        DialogDriver steps(answers);
        trigger(*this, action);
        QCOMPARE(steps.done(), answers.size());
        QCOMPARE(steps.unexpected(), 0);
    }
};

// Answers the editor: ticks the check box `box` and presses OK.
DialogDriver::Step tick(const char *box)
{
    return [box](QWidget *modal) {
        QVERIFY(qobject_cast<CFilterEditWindow *>(modal));
        modal->findChild<QCheckBox *>(QLatin1String(box))->click();
        modal->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
    };
}

// Answers the name dialog: types `name` and presses OK.
DialogDriver::Step typeName(const QString &name)
{
    return [name](QWidget *modal) {
        modal->findChild<QLineEdit *>(QStringLiteral("leFilterName"))->setText(name);
        modal->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
    };
}

} // namespace

class TestFilterCommands : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void initTestCase() { startApp("vrelview-test"); }
    void init() { QSettings().clear(); }

    void description()
    {
        const auto describe = [](const QString &name, int period, const QDateTime &time, const Lists &lists) {
            CFilter filter(name);
            filter.period = period;
            filter.time = time;
            lists.isEmpty() ? filter.reset() : filter.setLists(toPatternForm(lists));
            return filterDescription(filter, presets());
        };
        QCOMPARE(describe("r", -86400, {}, six({statusLabel(1)}, {}, {}, {}, {"root"})),
                 "<b>Name: </b>r<br><b>Time: </b>Last 24 hours<br><b>Status: </b>refuse [f] <br><b>User: </b>root ");
        QCOMPARE(describe("c", -3600, QDateTime::fromString(QStringLiteral("2026-01-02 10:00:00"), kFormat), six()),
                 "<b>Name: </b>c<br><b>Time: </b>2026-01-02 09:00:00 - 2026-01-02 10:00:00");
        // An entry with a slash later than first is a parameter.
        QCOMPARE(describe("p", 0, {}, six({}, {statusLabel(4)}, {"unlink"}, {"root"}, {}, {"a/b", "/etc"})),
                 "<b>Name: </b>p<br><b>Time: </b>Any time<br><b>Source: </b>file [f] <br><b>Event: </b>unlink "
                 "<br><b>Group: </b>root <br><b>Parameter: </b>a/b <br><b>Files and dirs: </b><br>/etc ");
        // Markup shows as typed.
        QCOMPARE(describe("a<b", 0, {}, six({}, {}, {}, {}, {}, {"<\\d+>&"})),
                 "<b>Name: </b>a&lt;b<br><b>Time: </b>Any time<br><b>Parameter: </b>&lt;\\d+&gt;&amp; ");
        QCOMPARE(describe("n", 0, {}, {}), "<b>Name: </b>n<br><b>Time: </b>Any time");
    }

    // The editor's date entry to the filter, and the text it shows then.
    void timeChoice()
    {
        const auto choose = [](int index, const QString &text, const QDateTime &oneSecond = {}) {
            CFilter filter(QStringLiteral("t"));
            filter.period = 123;
            filter.time = oneSecond;
            filter.start = oneSecond;
            TimeChoice choice;
            choice.index = index;
            choice.count = 8;
            choice.text = text;
            applyTimeChoice(choice, presets(), filter);
            return QStringList{QString::number(filter.period), filter.time.toString(kFormat), timeText(filter, presets())};
        };
        const QString fiveMinutes = QStringLiteral("2026-01-02 10:00:00 - 2026-01-02 10:05:00");
        const QString instant = QStringLiteral("2026-01-02 10:00:00 - 2026-01-02 10:00:00");
        QCOMPARE(choose(4, "Last 24 hours"), QStringList({"-86400", "", "Last 24 hours"}));
        QCOMPARE(choose(7, fiveMinutes), QStringList({"-300", "2026-01-02 10:05:00", fiveMinutes})); // no preset
        QCOMPARE(choose(7, instant), QStringList({"0", "2026-01-02 10:00:00", instant}));
        // The one second the time line narrowed to comes back from the
        // editor as it was; any other second typed is the log up to it.
        const QDateTime ten(QDate(2026, 1, 2), QTime(10, 0));
        QCOMPARE(choose(7, instant, ten), QStringList({"-1", "2026-01-02 10:00:00", instant}));
        QCOMPARE(choose(7, instant, ten.addSecs(1)), QStringList({"0", "2026-01-02 10:00:00", instant}));
        QCOMPARE(choose(7, fiveMinutes, ten), QStringList({"-300", "2026-01-02 10:05:00", fiveMinutes}));
        QCOMPARE(choose(7, "Set range..."), QStringList({"0", "", "Any time"})); // the range never set
        QCOMPARE(choose(2, "Yesterday"), QStringList({"0", "", "Any time"}));
    }

    void selectorCommands()
    {
        QSettings().setValue(QStringLiteral("filter/a"), QStringLiteral("0::::;;;;;;;;;;"));
        QSettings().setValue(QStringLiteral("filter/b"), QStringLiteral("0::::;;;;;;;;;;"));
        {
            Window window;
            QString text;
            window.run("actionFilterDel", {DialogDriver::press(QMessageBox::Ok, &text)});
            QCOMPARE(text, QStringLiteral("Can't delete default filter!"));
            // The default filter is never marked, but described anew.
            window.run("actionFilterEdit", {tick("chbSourceFile")});
            QVERIFY(window.tip(0).contains(QStringLiteral("<b>Source: </b>file [f] ")));
            QCOMPARE(window.panel(), window.tip(0));
            window.choose(2);
            window.run("actionFilterEdit", {tick("chbStateSuccess")});
            window.choose(1);
            window.run("actionFilterEdit", {tick("chbStateRefuse")});
            window.run("actionFilterEdit", {tick("chbStateSuccess")});
            // Marked once; the tip follows the latest edit; Cancel changes nothing.
            QCOMPARE(window.entries(), QStringList({"default", "a (modified)", "b (modified)"}));
            QVERIFY(window.tip(1).contains(QStringLiteral("<b>Status: </b>success [s], refuse [f] ")));
            window.run("actionFilterEdit", {DialogDriver::press(QMessageBox::Cancel)});
            window.run("actionFilterEdit", {tick("chbStateSuccess")});
            // Under its own name: the mark goes, the others keep theirs.
            window.run("actionFilterSave", {typeName("a")});
            QCOMPARE(window.entries(), QStringList({"default", "a", "b (modified)"}));
            // Under a new name: reloaded (b's edits gone), the new filter current and applied.
            window.run("actionFilterSave", {typeName("A")});
            QCOMPARE(window.entries(), QStringList({"default", "A", "a", "b"}));
            QVERIFY(window.selector()->currentIndex() == 1 && currentFilterIndex() == 1);
            QVERIFY(window.panel().startsWith(QStringLiteral("<b>Name: </b>A<br>")));
            QCOMPARE(window.tabs().first().filter->name, QStringLiteral("A"));
            // Deleting asks; only Yes deletes; the default filter is shown then, with no new run.
            window.choose(2);
            const CFilterPtr shown = window.tabs().first().filter;
            window.run("actionFilterDel", {DialogDriver::press(QMessageBox::No, &text)});
            QCOMPARE(text, QStringLiteral("Delete saved filter?"));
            QCOMPARE(window.entries().size(), 4);
            window.run("actionFilterDel", {DialogDriver::press(QMessageBox::Yes)});
            QCOMPARE(window.entries(), QStringList({"default", "A", "b"}));
            QVERIFY(window.selector()->currentIndex() == 0 && currentFilterIndex() == 0);
            QCOMPARE(window.tabs().first().filter, shown);
            QCOMPARE(window.panel(), window.tip(0));
        }
        // A fresh start reads back what was saved.
        Window window;
        QCOMPARE(window.entries(), QStringList({"default", "A", "b"}));
        QCOMPARE(QSettings().value(QStringLiteral("filter/A")).toString(), QStringLiteral("0::::>\\s\\[f\\];;;;;;;;;;"));
        QVERIFY(window.tip(1).contains(QStringLiteral("<b>Status: </b>refuse [f] ")));
    }

    void saving_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<Lists>("lists");
        QTest::addColumn<QString>("message"); // empty: stored and read back the same
        const Lists plain = six({}, {}, {}, {}, {}, {"p"});
        const QString emptyOrDefault = QStringLiteral("Can't save default or empty name filter!");
        const auto entries = [](const QStringList &users, const QStringList &parameters) {
            return six({}, {}, {}, {}, users, parameters);
        };
        QTest::newRow("empty name") << "" << plain << emptyOrDefault;
        QTest::newRow("default name") << "default" << plain << emptyOrDefault;
        QTest::newRow("slash") << "a/b" << plain << "A filter name must not contain \"/\".";
        QTest::newRow("other case of default") << "Default" << plain << "";
        QTest::newRow("INI's own characters") << QString::fromUtf8("x =%[g]\u00fc;#,c ") << plain << "";
        QTest::newRow("INI's general section") << "General" << plain << "";
        QTest::newRow(":: in an entry") << "n" << entries({}, {"a::b"}) << "found: \"::\".";
        QTest::newRow("; ends a list") << "n" << entries({"u", "x;"}, {"p"}) << "found: \";\".";
        QTest::newRow("separator characters kept") << "n" << entries({"#x", "a#b;c:d"}, {"x:", "p;", "x#"}) << "";
    }

    // Save refuses what would not read back the same, and stores nothing then;
    // what it stores reads back as the same filter after a fresh start.
    void saving()
    {
        QFETCH(QString, name);
        QFETCH(Lists, lists);
        QFETCH(QString, message);
        {
            Window window;
            filterList().first()->setLists(lists);
            QString text;
            QList<DialogDriver::Step> answers = {typeName(name)};
            if (!message.isEmpty())
                answers.append(DialogDriver::press(QMessageBox::Ok, &text));
            window.run("actionFilterSave", answers);
            QVERIFY2(text.contains(message), qPrintable(text));
        }
        QSettings().sync();
        Window window;
        if (!message.isEmpty()) {
            QCOMPARE(QSettings().allKeys().filter(QStringLiteral("filter/")), QStringList());
            QCOMPARE(window.entries(), QStringList({"default"}));
            return;
        }
        QCOMPARE(window.entries(), QStringList({"default", name}));
        QCOMPARE(filterList().at(1)->lists(), toPatternForm(lists));
    }

    void deletedFilterTabKeepsWorking()
    {
        const quint32 start = QDateTime::currentDateTime().toSecsSinceEpoch() - 3600;
        const QString path = writeRecords(m_dir.filePath(QStringLiteral("log.mlog")), 20000, [&](int i, MlogRecord &record) {
            record.time = start + quint32(i / 10);
            record.status = i % 4 == 0 ? 1 : 0;
            record.payload = "/srv/file-" + QByteArray::number(i);
        });
        QSettings().setValue(QStringLiteral("filter/refused"), QStringLiteral("0::::>\\s\\[f\\];;;;;;;;;;"));
        Window window;
        window.show();
        DialogDriver driver;
        driver.button = QMessageBox::Yes;
        window.openLogPath(path);
        window.choose(1);
        QAbstractItemView *view = currentView(window);
        testModel(view->model());
        QCOMPARE(view->model()->rowCount(), 5000);
        const QString description = window.panel();
        trigger(window, "actionFilterDel");
        invoke(window, "tabNew");
        invoke(window, "actionResultsPress");
        // Back on the first tab: its filter is still described and its rows still load.
        resultTabs(window)->setCurrentIndex(0);
        QCOMPARE(window.panel(), description);
        view->scrollToBottom();
        QTRY_VERIFY(view->model()->index(4999, 0).data().toString().contains(QStringLiteral("/srv/file-19996")));
        QCOMPARE(driver.texts, QStringList("Delete saved filter?"));
    }

    // Switching tabs points the selector at the tab's filter without a run,
    // so that Edit works on what the tab shows; each tab describes the
    // filter its rows were made with and says when that filter changed.
    void tabsKeepTheirFilter()
    {
        QSettings().setValue(QStringLiteral("filter/refusals"), QStringLiteral("0::::>\\s\\[f\\];;;;;;;;;;"));
        QSettings().setValue(QStringLiteral("filter/shadow"), QStringLiteral("0::::;;;;;;;;;;/etc/shadow"));
        Window window;
        window.openLogPath(writeRecords(m_dir.filePath(QStringLiteral("tabs.mlog")), 20, [](int i, MlogRecord &record) {
            record.time = 1700000000 + quint32(i);
            record.status = i % 2;
            record.payload = i % 3 ? "/etc/passwd" : "/etc/shadow";
        }));
        window.choose(1);
        const QString refusals = window.panel();
        invoke(window, "tabNew");
        window.choose(2);
        QCOMPARE(currentModel(window)->rowCount(), 7);
        CStringListModel *first = modelOf(resultTabs(window)->widget(0));
        testModel(first);
        testModel(modelOf(resultTabs(window)->widget(1)));
        resultTabs(window)->setCurrentIndex(0);
        QCOMPARE(modelOf(resultTabs(window)->widget(0)), first); // nothing ran
        QCOMPARE(window.selector()->currentIndex(), 1);
        QCOMPARE(currentFilterIndex(), 1);
        QCOMPARE(window.panel(), refusals);
        QString title;
        window.run("actionFilterEdit", {[&title](QWidget *modal) {
                       title = modal->windowTitle();
                       static_cast<QDialog *>(modal)->reject();
                   }});
        QVERIFY2(title.startsWith(QStringLiteral("refusals - ")), qPrintable(title));
        // Edited on the second tab: the first still shows the rows of the
        // filter as it was, and says that it changed.
        resultTabs(window)->setCurrentIndex(1);
        QCOMPARE(window.selector()->currentIndex(), 2);
        window.choose(1);
        window.run("actionFilterEdit", {tick("chbStateSuccess")});
        QVERIFY(window.panel().contains(QStringLiteral("success [s]")));
        QVERIFY(!window.panel().contains(QStringLiteral("filter changed")));
        resultTabs(window)->setCurrentIndex(0);
        QCOMPARE(window.panel(), refusals + QStringLiteral("<br><br><i>filter changed: Apply to refresh</i>"));
        QCOMPARE(currentModel(window)->rowCount(), 10);
        QCOMPARE(currentModel(window)->filter()->lists(), window.tabs().first().filter->lists());
        QVERIFY(window.tabs().first().filter->lists() != filterList().at(1)->lists());
        invoke(window, "actionResultsPress");
        QCOMPARE(currentModel(window)->rowCount(), 20);
        QVERIFY(!window.panel().contains(QStringLiteral("filter changed")));
    }

    // The Filter info panel shows a long description whole, scrolling when
    // it must, and keeps its width whatever it shows. The selector shows the
    // end of a long marked name, elided in the middle, and names the whole
    // entry in its tool tip.
    void longTextsStayVisible()
    {
        const QString name = QStringLiteral("Refusals of every account on the hosts of the lab, last 24 hours");
        QSettings().setValue(QStringLiteral("filter/") + name, QStringLiteral("0::::;;;;;;;;;;"));
        QSettings().setValue(QStringLiteral("filter/a"), QStringLiteral("0::::;;;;;;;;;;"));
        Window window;
        window.resize(900, 500);
        QVERIFY(showExposed(window));
        auto *label = child<QLabel>(window, "lbFilter");
        QWidget *panel = child<QWidget>(window, "gbFilter");
        const int width = panel->width();
        CFilter &filter = *filterList().first();
        filter.period = -3600;
        filter.time = QDateTime::fromString(QStringLiteral("2026-01-02 10:00:00"), kFormat);
        filter.setLists(toPatternForm(six({statusLabel(1)}, {statusLabel(4)}, {"unlink", "chmod", "rename"}, {"root"},
                                          {"root"}, {"/var/lib/a-rather-long-folder-name/with/more/levels/below/it/x",
                                                     "/etc/shadow", "/etc/passwd", "/etc/group", "/etc/gshadow"})));
        window.choose(0);
        QApplication::processEvents();
        QCOMPARE(panel->width(), width);
        QVERIFY(label->text().contains(QStringLiteral("<b>User: </b>root")));
        QVERIFY(qobject_cast<QScrollArea *>(child<QWidget>(window, "saFilter")));
        // The label has the room its text needs; the scroll area shows it.
        QTRY_VERIFY2(label->height() >= label->heightForWidth(label->width()),
                     qPrintable(QStringLiteral("%1 < %2").arg(label->height()).arg(label->heightForWidth(label->width()))));
        QVERIFY(label->width() >= label->minimumSizeHint().width());
        auto *selector = qobject_cast<FilterSelector *>(window.selector());
        QVERIFY(selector);
        for (const QString &shown : {name, QStringLiteral("a")}) {
            window.choose(window.entries().indexOf(shown));
            window.run("actionFilterEdit", {tick("chbStateRefuse")});
            const QString marked = shown + QStringLiteral(" (modified)");
            QCOMPARE(selector->currentText(), marked);
            QVERIFY2(selector->shownText().endsWith(QStringLiteral("(modified)")), qPrintable(selector->shownText()));
            QCOMPARE(selector->shownText() == marked, shown == QLatin1String("a"));
            QCOMPARE(selector->toolTip(), QStringLiteral("Current filter: ") + marked);
        }
        QVERIFY(selector->width() <= selector->fontMetrics().averageCharWidth() * 50);
    }

    // The filter chosen to apply at start up is found by its name among
    // the saved ones, the first as well as the last; one deleted since
    // falls back to the default filter.
    void startFilter_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("index");
        QTest::newRow("the first saved filter") << QStringLiteral("a") << 1;
        QTest::newRow("the last saved filter") << QStringLiteral("b") << 2;
        QTest::newRow("a filter deleted since") << QStringLiteral("gone") << 0;
    }

    void startFilter()
    {
        QFETCH(QString, name);
        QFETCH(int, index);
        const QString path = writeRecords(m_dir.filePath(QStringLiteral("start.mlog")), 5, [](int i, MlogRecord &record) {
            record.time = 1700000000 + quint32(i);
        });
        QSettings().setValue(QStringLiteral("filter/a"), QStringLiteral("0::::;;;;;;;;;;"));
        QSettings().setValue(QStringLiteral("filter/b"), QStringLiteral("0::::;;;;;;;;;;"));
        setConfig({{"logfile", path}, {"autoopen", true}, {"autofilter", true}, {"filter", name}});
        Window window;
        QTRY_COMPARE(window.selector()->currentIndex(), index);
        QCOMPARE(currentFilterIndex(), index);
    }

    // Options looks the filter to apply at start up by its name, whatever
    // mark the selector shows. A settings file that cannot be written: the
    // filter stays marked as modified, and the user is told.
    void markedFilterThroughOptionsAndFailedSave()
    {
        const QString path = writeRecords(m_dir.filePath(QStringLiteral("options.mlog")), 5, [](int i, MlogRecord &record) {
            record.time = 1700000000 + quint32(i);
        });
        QSettings().setValue(QStringLiteral("filter/a"), QStringLiteral("0::::;;;;;;;;;;"));
        QSettings().setValue(QStringLiteral("filter/b"), QStringLiteral("0::::;;;;;;;;;;"));
        setConfig({{"logfile", path}, {"autoopen", true}, {"autofilter", true}, {"filter", "b"}});
        Window window;
        QTRY_COMPARE(currentFilterIndex(), 2);
        window.run("actionFilterEdit", {tick("chbStateRefuse")});
        const QStringList marked{"default", "a", "b (modified)"};
        QCOMPARE(window.entries(), marked);
        window.run("actionOptions", {[](QWidget *modal) {
                       modal->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
                   }});
        QCOMPARE(currentFilterIndex(), 2);
        QCOMPARE(window.selector()->currentIndex(), 2);
        QVERIFY(window.tabs().first().filter->name == QLatin1String("b"));
        // Where the file was, a folder: nothing can be written there. It goes
        // even when the test fails, or every later run could not write either.
        QSettings().sync();
        const QString file = QSettings().fileName();
        const auto restore = qScopeGuard([file] { QDir(file).removeRecursively(); });
        QVERIFY(QFile::remove(file));
        QVERIFY(QDir().mkpath(file));
        // Under its own name and under a new one.
        for (const char *name : {"b", "c"}) {
            QString text;
            window.run("actionFilterSave", {typeName(QLatin1String(name)), DialogDriver::press(QMessageBox::Ok, &text)});
            QVERIFY2(text.contains(QStringLiteral("could not be saved")), qPrintable(text));
            QCOMPARE(window.entries(), marked);
        }
    }

    // A saved filter whose value cannot be read is marked in its tool tip
    // and warned of once, when it is first chosen.
    void unreadableFilterWarnsOnce()
    {
        QSettings().setValue(QStringLiteral("filter/bad"), QStringLiteral("garbage"));
        QSettings().setValue(QStringLiteral("filter/good"), QStringLiteral("0::::;;;;;;;;;;"));
        Window window;
        QVERIFY(window.tip(1).contains(QStringLiteral("could not be read")));
        QVERIFY(!window.tip(2).contains(QStringLiteral("could not be read")));
        {
            DialogDriver driver;
            window.choose(2);
            QCOMPARE(driver.texts, QStringList());
            window.choose(1);
            QTRY_COMPARE(driver.texts.size(), 1);
            QVERIFY2(driver.texts.first().contains(QStringLiteral("\"bad\" could not be read")),
                     qPrintable(driver.texts.first()));
            window.choose(2);
            window.choose(1);
            QCOMPARE(driver.texts.size(), 1);
        }
        // Saved again, it is readable.
        window.run("actionFilterSave", {typeName("bad")});
        QVERIFY(!window.tip(1).contains(QStringLiteral("could not be read")));
    }
};

QTEST_MAIN(TestFilterCommands)
#include "tst_filtercommands.moc"
