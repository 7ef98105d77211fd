// The rows of a tab as a user works with them: chosen with real key
// presses, copied to the clipboard and read back, a long copy with its
// progress, cancel and busy window, and the current filter narrowed from a
// row, against the same filter written by hand, kept through a save.
#include "apptest.h"
#include "../results/resultlog.h"
#include "cfilter.h"
#include "recordfields.h"
#include "resultview.h"
#include "rowactions.h"

#include <QClipboard>

namespace {

const quint32 kStart = quint32(QDateTime(QDate(2024, 5, 10), QTime(1, 0)).toSecsSinceEpoch());
const quint32 kUsers[] = {0, 1, 4242};
const quint32 kGroups[] = {0, 5};

// Five records a second; users, groups, kinds and statuses in turns of
// their own, so every pair of values meets.
QString writeMixed(const QString &path, int count = 400)
{
    return writeRecords(path, count, [](int i, MlogRecord &record) {
        record.time = kStart + quint32(i / 5);
        record.subject[0] = 100 + quint32(i);
        record.subject[2] = kUsers[i % 3];
        record.subject[3] = kGroups[i % 2];
        record.kind = quint16((i / 7) % 4);
        record.status = i % 4 == 0 ? 1 : 0;
        record.payload = QStringLiteral("item-%1").arg(i, 6, 10, QLatin1Char('0')).toUtf8();
    });
}

bool activate(mainWindow &window)
{
    window.show();
    window.activateWindow();
    return QTest::qWaitForWindowActive(&window);
}

// The lines of the current tab's rows in the text format that `filter` keeps.
QList<QByteArray> rowsOf(const mainWindow &window, const CFilter &filter)
{
    QList<QByteArray> rows;
    CLog *log = currentModel(window)->log();
    log->forEachBlock(0, log->blockCount() - 1, [&](int, const QStringList &texts) {
        for (const QString &row : filterRows(filter.matcher(), texts))
            rows.append(row.toUtf8() + '\n');
        return true;
    });
    return rows;
}

// The record of `row` of the current tab, parsed from the row it shows.
RecordFields fieldsOf(const mainWindow &window, int row, QByteArray *text)
{
    const QString shown = currentModel(window)->index(row, 0).data().toString();
    *text = shown.mid(shown.indexOf(QLatin1Char('\t')) + 1).toUtf8();
    RecordFields fields;
    parseRecordFields(std::string_view(text->constData(), size_t(text->size())), &fields);
    return fields;
}

void makeCurrent(mainWindow &window, int row)
{
    currentView(window)->setCurrentIndex(currentModel(window)->index(row, 0));
}

} // namespace

class TestRowActions : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString mixed() const { return m_dir.filePath(QStringLiteral("mixed.mlog")); }

private slots:
    void initTestCase() { startApp("vrelview-rowactions"); }

    void init()
    {
        clearSettings(m_dir.path());
        QGuiApplication::clipboard()->clear();
    }

    // Keys as the user presses them choose rows by number; Ctrl+C puts the
    // rows chosen on the clipboard as Save results writes them.
    void keys_data()
    {
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("last");
        const int shift = int(Qt::ShiftModifier);
        QTest::newRow("Shift+Down three times") << QList<int>{Qt::Key_Down | shift, Qt::Key_Down | shift, Qt::Key_Down | shift} << 10 << 13;
        QTest::newRow("Shift+Up") << QList<int>{Qt::Key_Up | shift, Qt::Key_Up | shift} << 8 << 10;
        QTest::newRow("Shift+End") << QList<int>{Qt::Key_End | shift} << 10 << 399;
        QTest::newRow("there and back") << QList<int>{Qt::Key_Down | shift, Qt::Key_Up | shift, Qt::Key_Up | shift} << 9 << 10;
        QTest::newRow("a move without Shift starts again")
            << QList<int>{Qt::Key_Down | shift, int(Qt::Key_Down), Qt::Key_Down | shift} << 12 << 13;
        QTest::newRow("Ctrl+A") << QList<int>{Qt::Key_A | int(Qt::ControlModifier)} << 0 << 399;
    }
    void keys()
    {
        QFETCH(QList<int>, keys);
        QFETCH(int, first);
        QFETCH(int, last);
        mainWindow window;
        QVERIFY(activate(window));
        window.openLogPath(writeMixed(mixed()));
        QAbstractItemView *view = currentView(window);
        QCOMPARE(view->model()->rowCount(), 400);
        view->setFocus();
        QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, view->visualRect(view->model()->index(10, 0)).center());
        QCOMPARE(view->currentIndex().row(), 10);
        for (const int key : keys)
            QTest::keyClick(view, Qt::Key(key & ~int(Qt::KeyboardModifierMask)),
                            Qt::KeyboardModifiers(key & int(Qt::KeyboardModifierMask)));
        const QItemSelection chosen = view->selectionModel()->selection();
        QCOMPARE(chosen.size(), 1);
        QCOMPARE(chosen.first().top(), first);
        QCOMPARE(chosen.first().bottom(), last);

        QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
        const QList<QByteArray> saved = lines(savedRows(window));
        QByteArray expected;
        for (int r = first; r <= last; ++r)
            expected += saved.at(r);
        QCOMPARE(QGuiApplication::clipboard()->text().toUtf8(), expected);
    }

    // Shift+click and Ctrl+click far apart, the rows between never listed:
    // a second range joins the first, and the copy in another format holds
    // exactly those rows.
    void clicksAndFormats_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("format");
        QTest::newRow("CSV") << QStringLiteral("actionCopyCsv") << int(ExportFormat::Csv);
        QTest::newRow("JSON Lines") << QStringLiteral("actionCopyJsonLines") << int(ExportFormat::JsonLines);
    }
    void clicksAndFormats()
    {
        QFETCH(QString, action);
        QFETCH(int, format);
        mainWindow window;
        QVERIFY(activate(window));
        window.openLogPath(writeMixed(mixed()));
        auto *view = dynamic_cast<ResultView *>(currentView(window));
        const auto click = [view](int row, Qt::KeyboardModifiers modifiers) {
            view->scrollTo(view->model()->index(row, 0));
            QTest::mouseClick(view->viewport(), Qt::LeftButton, modifiers,
                              view->visualRect(view->model()->index(row, 0)).center());
        };
        click(3, Qt::NoModifier);
        click(300, Qt::ShiftModifier);
        click(350, Qt::ControlModifier);
        QCOMPARE(view->selectionModel()->selection().size(), 2);
        child<QAction>(window, action.toLatin1().constData())->trigger();
        const QString saved = m_dir.filePath(QStringLiteral("saved"));
        QVERIFY(currentModel(window)->saveToFile(saved, nullptr, ExportFormat(format)));
        const QByteArray header = exportHeader(ExportFormat(format));
        const QList<QByteArray> savedLines = lines(readAll(saved).mid(header.size()));
        QByteArray expected = header;
        for (int r = 3; r <= 300; ++r)
            expected += savedLines.at(r);
        expected += savedLines.at(350);
        QCOMPARE(QGuiApplication::clipboard()->mimeData()->data(QStringLiteral("text/plain")), expected);
    }

    // With nothing chosen by hand, find still selects its one hit, and a
    // find after Ctrl+A replaces every chosen row by its hit.
    void findReplacesTheSelection()
    {
        mainWindow window;
        QVERIFY(activate(window));
        window.openLogPath(writeMixed(mixed()));
        QAbstractItemView *view = currentView(window);
        auto *find = child<QLineEdit>(window, "leFind");
        setQuietly(find, QStringLiteral("item-000123"));
        invoke(window, "findNext");
        QCOMPARE(view->selectionModel()->selection().size(), 1);
        QCOMPARE(selectedRow(window), 123);
        view->setFocus();
        QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(view->selectionModel()->selection().first().bottom(), 399);
        setQuietly(find, QStringLiteral("item-000200"));
        invoke(window, "findNext");
        const QItemSelection chosen = view->selectionModel()->selection();
        QCOMPARE(chosen.size(), 1);
        QCOMPARE(chosen.first().top(), 200);
        QCOMPARE(chosen.first().bottom(), 200);
    }

    // A copy of more rows than a short one may hold holds the window: its
    // progress shows, another long operation is refused meanwhile, and a
    // cancel leaves the clipboard as it was; without a cancel the rows all
    // come. At the limit itself the copy is short.
    void longCopy_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<bool>("cancel");
        QTest::addColumn<bool>("isLong");
        const int limit = int(RowActions::kLongCopyRows);
        QTest::newRow("at the limit") << limit << false << false;
        QTest::newRow("one more") << limit + 1 << false << true;
        QTest::newRow("one more, cancelled") << limit + 1 << true << true;
    }
    void longCopy()
    {
        QFETCH(int, rows);
        QFETCH(bool, cancel);
        QFETCH(bool, isLong);
        mainWindow window;
        QVERIFY(activate(window));
        window.openLogPath(writeMixed(m_dir.filePath(QStringLiteral("big.mlog")), rows));
        QCOMPARE(currentModel(window)->rowCount(), rows);
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
        QAbstractItemView *view = currentView(window);
        view->setFocus();
        QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier);
        bool sawProgress = false;
        bool refused = false;
        DialogDriver driver;
        QTimer poll;
        whileBusy(poll, window, [&] {
            sawProgress = sawProgress || cancelButton(window);
            if (!cancelButton(window))
                return false;
            // Apply, or a second copy, while the copy runs is refused with
            // the busy warning.
            trigger(window, "actionResults");
            trigger(window, "actionCopy");
            refused = driver.texts.size() == 2 && driver.texts.at(0).startsWith(QStringLiteral("Another process"))
                      && driver.texts.at(1).startsWith(QStringLiteral("Another process"));
            if (cancel)
                cancelButton(window)->click();
            return true;
        });
        QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
        poll.stop();
        QTRY_VERIFY(idle(window));
        QCOMPARE(sawProgress, isLong);
        QCOMPARE(refused, isLong);
        if (cancel) {
            QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("before"));
            QVERIFY(window.statusBar()->currentMessage().contains(QStringLiteral("nothing was put on the clipboard")));
        } else {
            QCOMPARE(QGuiApplication::clipboard()->text().count(QLatin1Char('\n')), rows);
        }
    }

    // Each narrowing from a row gives exactly the rows of the filter written
    // by hand: the value in the editor's form for "Show only", a stored
    // value with the hidden part for "Hide"; what is hidden and what is shown
    // only make up the rows before, and the selector and Filter info tell.
    void narrowIsHandWritten_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("list");
        QTest::addColumn<int>("row");
        QTest::addColumn<QList<QStringList>>("base");
        const QList<QStringList> none{{}, {}, {}, {}, {}, {}};
        const QList<QStringList> twoUsers{{}, {}, {}, {}, {QStringLiteral("0"), QStringLiteral("1")}, {}};
        for (const bool hide : {false, true}) {
            const QString verb = hide ? QStringLiteral("Hide") : QStringLiteral("ShowOnly");
            const QByteArray name = hide ? "hide " : "show only ";
            QTest::newRow(name + "user") << QStringLiteral("action%1User").arg(verb) << 4 << 5 << none;
            QTest::newRow(name + "user, two users before") << QStringLiteral("action%1User").arg(verb) << 4 << 4 << twoUsers;
            QTest::newRow(name + "event") << QStringLiteral("action%1Event").arg(verb) << 2 << 30 << none;
            QTest::newRow(name + "group") << QStringLiteral("action%1Group").arg(verb) << 3 << 7 << none;
            QTest::newRow(name + "kind") << QStringLiteral("action%1Kind").arg(verb) << 1 << 15 << twoUsers;
        }
    }
    void narrowIsHandWritten()
    {
        QFETCH(QString, action);
        QFETCH(int, list);
        QFETCH(int, row);
        QFETCH(QList<QStringList>, base);
        const bool hide = action.startsWith(QStringLiteral("actionHide"));
        mainWindow window;
        QVERIFY(activate(window));
        const CFilterPtr current = filterList().at(0);
        current->setLists(toPatternForm(base));
        current->setHidden({});
        window.openLogPath(writeMixed(mixed()));
        const QList<QByteArray> before = lines(savedRows(window));
        QByteArray text;
        const RecordFields fields = fieldsOf(window, row, &text);
        makeCurrent(window, row);
        child<QAction>(window, action.toLatin1().constData())->trigger();
        QTRY_VERIFY(idle(window));
        const QList<QByteArray> narrowed = lines(savedRows(window));

        // The value as the editor's form writes it, or as a settings file holds it.
        const QString value = list == 4   ? QString::number(fields.subject[2])
                              : list == 3 ? QString::number(fields.subject[3])
                              : list == 2 ? QString::fromUtf8(fields.event.data(), int(fields.event.size()))
                                          : sourceLabels().at(QByteArrayLiteral("upfc").indexOf(fields.kind));
        CFilter shown(QStringLiteral("by hand"));
        QList<QStringList> editor = base;
        editor[list] = QStringList{value};
        shown.setLists(toPatternForm(editor));
        CFilter hidden(QStringLiteral("by hand"));
        const char *const keys[] = {"", "hide-kinds", "hide-events", "hide-groups", "hide-users"};
        CFilter plain{QString()};
        plain.setLists(toPatternForm(base));
        QSettings().setValue(QStringLiteral("filter/by hand"), QStringLiteral("0::::") + plain.listsText()
                                                                  + QStringLiteral("::%1=%2").arg(QLatin1String(keys[list]), value));
        hidden.load();
        QVERIFY(!hidden.unreadable);
        const QList<QByteArray> byHandShown = rowsOf(window, shown);
        const QList<QByteArray> byHandHidden = rowsOf(window, hidden);
        QCOMPARE(narrowed, hide ? byHandHidden : byHandShown);
        QVERIFY(narrowed.size() < before.size());
        QCOMPARE(byHandShown.size() + byHandHidden.size(), before.size());
        QVERIFY(!hide || !narrowed.contains(text));
        QVERIFY(hide || narrowed.contains(currentModel(window)->index(0, 0).data().toString().toUtf8() + '\n'));

        QVERIFY(filterSelector(window)->itemText(0).endsWith(QStringLiteral("(modified)")));
        const QString info = child<QLabel>(window, "lbFilter")->text();
        const char *const headings[] = {"", "Hidden sources", "Hidden events", "Hidden groups", "Hidden users"};
        QCOMPARE(info.contains(QLatin1String(headings[list])), hide);
        current->reset();
        current->setLists(QList<QStringList>{{}, {}, {}, {}, {}, {}});
    }

    // "Show this second" and "Show from here" keep the rows of the row's
    // second, and of it and every later one.
    void narrowTime_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("rows");
        QTest::newRow("this second") << QStringLiteral("actionShowSecond") << 52 << 5;
        QTest::newRow("from here") << QStringLiteral("actionShowFromHere") << 52 << 350;
    }
    void narrowTime()
    {
        QFETCH(QString, action);
        QFETCH(int, row);
        QFETCH(int, rows);
        mainWindow window;
        QVERIFY(activate(window));
        window.openLogPath(writeMixed(mixed()));
        makeCurrent(window, row);
        child<QAction>(window, action.toLatin1().constData())->trigger();
        QTRY_VERIFY(idle(window));
        QCOMPARE(currentModel(window)->rowCount(), rows);
        QVERIFY(firstRow(window).contains(QStringLiteral("item-000050")));
        filterList().at(0)->reset();
        filterList().at(0)->setLists(QList<QStringList>{{}, {}, {}, {}, {}, {}});
    }

    // A right click on a row opens its menu: the copies, and the narrowing
    // commands named with the row's values.
    void contextMenu()
    {
        mainWindow window;
        QVERIFY(activate(window));
        window.openLogPath(writeMixed(mixed()));
        QAbstractItemView *view = currentView(window);
        const QPoint at = view->visualRect(view->model()->index(4, 0)).center();
        QTest::mouseClick(view->viewport(), Qt::RightButton, Qt::NoModifier, at);
        QStringList texts;
        QTimer::singleShot(0, &window, [&] {
            QTRY_VERIFY(view->findChild<QMenu *>() && view->findChild<QMenu *>()->isVisible());
            for (QAction *action : view->findChild<QMenu *>()->actions())
                texts << action->text();
            view->findChild<QMenu *>()->close();
        });
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, view->viewport()->mapToGlobal(at));
        QApplication::sendEvent(view->viewport(), &event);
        QVERIFY(texts.contains(QStringLiteral("Copy as CSV")));
        // Row 4: user 1, group 0, the first kind.
        const QString user = userToPattern(userToPattern(QStringLiteral("1"), FormDirection::ToPattern), FormDirection::ToDisplay);
        QVERIFY(texts.contains(QStringLiteral("Show only user %1").arg(user)));
        QVERIFY(texts.contains(QStringLiteral("Hide source %1").arg(sourceLabels().at(0))));
        QVERIFY(texts.contains(QStringLiteral("Show this second")));
    }

    // A hidden user stays hidden through an edit in the filter editor, and
    // once the filter is saved under a name and read back by the next start.
    void hiddenUserSaved()
    {
        {
            mainWindow window;
            QVERIFY(activate(window));
            window.openLogPath(writeMixed(mixed()));
            makeCurrent(window, 1);
            trigger(window, "actionHideUser");
            QTRY_VERIFY(idle(window));
            // The editor neither shows nor drops the hidden user.
            {
                DialogDriver editor({[](QWidget *modal) { qobject_cast<QDialog *>(modal)->accept(); }});
                trigger(window, "actionFilterEdit");
                QCOMPARE(editor.done(), 1);
            }
            QTRY_VERIFY(idle(window));
            QCOMPARE(filterList().at(0)->hidden().at(4), QStringList{QStringLiteral("<\\d+,\\d+,1,")});
            DialogDriver driver({[](QWidget *modal) {
                modal->findChild<QLineEdit *>(QStringLiteral("leFilterName"))->setText(QStringLiteral("no lp"));
                qobject_cast<QDialog *>(modal)->accept();
            }});
            trigger(window, "actionFilterSave");
            QCOMPARE(driver.done(), 1);
            filterList().at(0)->reset();
            filterList().at(0)->setLists(QList<QStringList>{{}, {}, {}, {}, {}, {}});
        }
        QVERIFY(QSettings().value(QStringLiteral("filter/no lp")).toString().endsWith(QStringLiteral("::hide-users=<\\d+,\\d+,1,")));
        mainWindow again;
        QVERIFY(activate(again));
        again.openLogPath(mixed());
        auto *combo = filterSelector(again);
        const int entry = combo->findText(QStringLiteral("no lp"));
        QVERIFY(entry > 0);
        QMetaObject::invokeMethod(&again, "activateFilter", Qt::DirectConnection, Q_ARG(int, entry));
        QTRY_VERIFY(idle(again));
        const QByteArray rows = savedRows(again);
        QCOMPARE(rows.count('\n'), 400 - 400 / 3);
        QVERIFY(!rows.contains("<101,"));
        QVERIFY(child<QLabel>(again, "lbFilter")->text().contains(QStringLiteral("Hidden users")));
    }
};

QTEST_MAIN(TestRowActions)
#include "tst_rowactions.moc"
