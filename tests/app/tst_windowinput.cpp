// What the keyboard meets first in the window, driven by real key presses
// offscreen: the find panel after a restart and by Ctrl+F, a time
// typed or pasted into Go to time, and where File > Open starts.
#include "apptest.h"

namespace {

// Records a minute apart from 14:00 to 16:59 local time on one day.
const QDate kDay(2026, 12, 7);
const qint64 kStart = QDateTime(kDay, QTime(14, 0)).toSecsSinceEpoch();
const int kCount = 180;

QString writeMinutes(const QString &path)
{
    return writeRecords(path, kCount, [](int i, MlogRecord &record) {
        record.time = quint32(kStart + qint64(i) * 60);
        record.payload = QStringLiteral("item-%1").arg(i, 5, 10, QLatin1Char('0')).toUtf8();
    });
}

// The first row at `secs` or later.
int rowAt(qint64 secs)
{
    return int(std::clamp<qint64>((secs - kStart + 59) / 60, 0, kCount));
}

// `window` shown, active, with the log of minutes in its current tab.
bool showMinutes(mainWindow &window, const QString &path)
{
    window.show();
    window.activateWindow();
    window.openLogPath(writeMinutes(path));
    return QTest::qWaitForWindowActive(&window) && currentModel(window)
        && currentModel(window)->rowCount() == kCount;
}

bool plain(const QLineEdit *field)
{
    return field->palette().color(QPalette::Base) == QPalette().color(QPalette::Base);
}

} // namespace

class TestWindowInput : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void initTestCase()
    {
        startApp("vrelview-windowinput");
        QVERIFY(m_dir.isValid());
    }

    void init() { clearSettings(m_dir.path()); }

    void findFieldAfterRestart_data()
    {
        QTest::addColumn<QVariant>("stored"); // VrelGeometry/findcase; invalid: none
        QTest::newRow("match case off") << QVariant(false);
        QTest::newRow("match case on") << QVariant(true);
        QTest::newRow("nothing stored") << QVariant();
    }

    // A start with either stored state of Match case leaves the find field
    // plain: restoring the box runs no search. Nor does a note in the panel
    // move the box beside it.
    void findFieldAfterRestart()
    {
        QFETCH(QVariant, stored);
        if (stored.isValid())
            QSettings().setValue(QStringLiteral("VrelGeometry/findcase"), stored);
        QSettings().setValue(QStringLiteral("VrelGeometry/findshow"), true);
        mainWindow window;
        DialogDriver driver;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto *field = child<QLineEdit>(window, "leFind");
        auto *note = child<QLabel>(window, "lbFindStatus");
        auto *box = child<QCheckBox>(window, "chbMatchCase");
        QCOMPARE(box->isChecked(), stored.isValid() ? stored.toBool() : true);
        QCOMPARE(note->text(), QString());
        QVERIFY(plain(field));
        // Toggled by hand with nothing typed: still nothing to say.
        box->click();
        QCOMPARE(note->text(), QString());
        QVERIFY(plain(field));

        const QRect boxPlace = box->geometry();
        const QRect fieldPlace = field->geometry();
        setQuietly(field, QStringLiteral("abc"));
        box->click();
        QCOMPARE(note->text(), QStringLiteral("Nothing to find!"));
        QVERIFY(!plain(field));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        QCOMPARE(box->geometry(), boxPlace);
        QCOMPARE(field->geometry(), fieldPlace);
        QCOMPARE(driver.texts, QStringList());
    }

    void ctrlFFocusesTheField_data()
    {
        QTest::addColumn<bool>("shownBefore"); // the panel shows at start
        QTest::newRow("panel hidden at start") << false;
        QTest::newRow("panel shown at start") << true;
    }

    // Ctrl+F that shows the panel puts the keys into the field, its text
    // selected so that the next word replaces it; Ctrl+F that hides it gives
    // them back to the results. Alt+F stays Show Files.
    void ctrlFFocusesTheField()
    {
        QFETCH(bool, shownBefore);
        QSettings().setValue(QStringLiteral("VrelGeometry/findshow"), shownBefore);
        mainWindow window;
        DialogDriver driver;
        QVERIFY(showMinutes(window, m_dir.filePath(QStringLiteral("ctrlf.mlog"))));
        auto *field = child<QLineEdit>(window, "leFind");
        auto *panel = child<QWidget>(window, "gbFind");
        QCOMPARE(panel->isVisible(), shownBefore);
        // A start moves no focus into the panel.
        QVERIFY(!field->hasFocus());
        setQuietly(field, QStringLiteral("old text"));
        currentView(window)->setFocus();
        if (shownBefore) {
            QTest::keyClick(&window, Qt::Key_F, Qt::ControlModifier);
            QVERIFY(!panel->isVisible());
        }
        QTest::keyClick(currentView(window), Qt::Key_F, Qt::ControlModifier);
        QVERIFY(panel->isVisible());
        QTRY_VERIFY(field->hasFocus());
        QCOMPARE(field->selectedText(), QStringLiteral("old text"));
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("item-00042"));
        QCOMPARE(field->text(), QStringLiteral("item-00042"));
        QCOMPARE(selectedRow(window), 42);
        // A blank is typed, not Apply.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        QCOMPARE(field->text(), QStringLiteral("item-00042 "));
        auto *showFiles = child<QAction>(window, "actionFileShow");
        const bool filesShown = showFiles->isChecked();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F, Qt::AltModifier);
        QCOMPARE(showFiles->isChecked(), !filesShown);
        QVERIFY(field->hasFocus());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F, Qt::ControlModifier);
        QVERIFY(!panel->isVisible());
        QTRY_VERIFY(currentView(window)->hasFocus());
        QCOMPARE(driver.texts, QStringList());
    }

    void goToTime_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("paste");
        QTest::addColumn<qint64>("secs"); // the time meant; -1: refused
        const auto local = [](int h, int m, int s = 0) { return QDateTime(kDay, QTime(h, m, s)).toSecsSinceEpoch(); };
        QTest::newRow("typed, whole time") << "2026-12-07 15:00:00" << false << local(15, 0);
        QTest::newRow("pasted, whole time") << "2026-12-07 15:00:00" << true << local(15, 0);
        QTest::newRow("typed, no seconds") << "2026-12-07 15:31" << false << local(15, 31);
        QTest::newRow("pasted, T and blanks") << "  2026-12-07T16:20:30  " << true << local(16, 20, 30);
        QTest::newRow("typed, seconds past a row") << "2026-12-07 14:10:01" << false << local(14, 10, 1);
        QTest::newRow("pasted, in UTC") << "2026-12-07T15:05:00Z" << true
                                        << QDateTime(kDay, QTime(15, 5), Qt::UTC).toSecsSinceEpoch();
        QTest::newRow("typed, a date alone") << "2026-12-07" << false << local(0, 0);
        QTest::newRow("typed, after the log") << "2026-12-08 00:00:00" << false
                                              << QDateTime(kDay.addDays(1), QTime(0, 0)).toSecsSinceEpoch();
        QTest::newRow("typed, a time alone") << "15:00" << false << qint64(-1);
        QTest::newRow("pasted, words") << "yesterday at noon" << true << qint64(-1);
        QTest::newRow("typed, no such day") << "2026-02-30 10:00:00" << false << qint64(-1);
        QTest::newRow("typed, nothing") << "" << false << qint64(-1);
    }

    // Ctrl+G, then a time typed or pasted over the selected prefill: the
    // first row at that time or later is shown. A text that is no time is
    // refused in the dialog, which stays open for another.
    void goToTime()
    {
        QFETCH(QString, text);
        QFETCH(bool, paste);
        QFETCH(qint64, secs);
        mainWindow window;
        QVERIFY(showMinutes(window, m_dir.filePath(QStringLiteral("goto.mlog"))));
        testModel(currentModel(window));
        currentView(window)->scrollToBottom();
        QString prefill;
        QString selected;
        QString note;
        bool stayed = false;
        QString message;
        const auto enter = [&](QLineEdit *field, const QString &what, bool byPaste) {
            if (byPaste) {
                QApplication::clipboard()->setText(what);
                QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
            } else if (what.isEmpty()) {
                QTest::keyClick(field, Qt::Key_Delete);
            } else {
                QTest::keyClicks(field, what);
            }
            QTest::keyClick(field, Qt::Key_Return);
        };
        DialogDriver driver(
            {[&](QWidget *modal) {
                 auto *field = modal->findChild<QLineEdit *>(QStringLiteral("leGoToTime"));
                 if (!field)
                     return qobject_cast<QDialog *>(modal)->reject();
                 prefill = field->text();
                 selected = field->selectedText();
                 enter(field, text, paste);
                 if (secs >= 0)
                     return;
                 // Refused: the dialog stays, and says why in itself.
                 stayed = QApplication::activeModalWidget() == modal && modal->isVisible();
                 auto *label = modal->findChild<QLabel *>(QStringLiteral("lbGoToTimeNote"));
                 note = label && label->isVisible() ? label->text() : QString();
                 field->selectAll();
                 enter(field, QStringLiteral("2026-12-07 14:30:00"), false);
             },
             DialogDriver::press(QMessageBox::Ok, &message)});
        QTest::keyClick(currentView(window), Qt::Key_G, Qt::ControlModifier);
        const bool found = secs < 0 || rowAt(secs) < kCount;
        QTRY_COMPARE(driver.done(), found ? 1 : 2);
        QCOMPARE(driver.unexpected(), 0);
        // The prefill is the time of the top row, all of it selected.
        QVERIFY2(prefill.startsWith(QStringLiteral("2026-12-07 16:")), qPrintable(prefill));
        QCOMPARE(selected, prefill);
        if (secs < 0) {
            QVERIFY(stayed);
            QVERIFY2(note.contains(text.trimmed().isEmpty() ? QStringLiteral("Type a time")
                                                            : QStringLiteral("\"%1\" is not a time").arg(text.trimmed())),
                     qPrintable(note));
            QCOMPARE(selectedRow(window), 30);
            return;
        }
        if (!found) {
            QCOMPARE(message, QStringLiteral("The current tab has no row at %1 or later.")
                                  .arg(QDateTime::fromSecsSinceEpoch(secs).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"))));
            return;
        }
        const int row = rowAt(secs);
        QCOMPARE(selectedRow(window), row);
        QCOMPARE(currentView(window)->currentIndex().row(), row);
        // The row is on screen and holds the record it should.
        const QModelIndex index = currentModel(window)->index(row, 0);
        QVERIFY(currentView(window)->viewport()->rect().intersects(currentView(window)->visualRect(index)));
        QVERIFY(index.data().toString().endsWith(QStringLiteral("item-%1").arg(row, 5, 10, QLatin1Char('0'))));
    }

    void openStartsInAFolderThatExists_data()
    {
        QTest::addColumn<QString>("logDir"); // under the test folder
        QTest::addColumn<QString>("start");  // the folder the dialog shows, under it
        QTest::newRow("folder exists") << "logs" << "logs";
        QTest::newRow("folder missing") << "marvok" << "";
        QTest::newRow("two levels missing") << "marvok/deeper" << "";
        QTest::newRow("missing below one that exists") << "logs/marvok" << "logs";
        QTest::newRow("a file, not a folder") << "logs/file.mlog" << "logs";
    }

    // File > Open starts in the log folder, or the nearest folder above it
    // that exists, with no name typed in.
    void openStartsInAFolderThatExists()
    {
        QFETCH(QString, logDir);
        QFETCH(QString, start);
        QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("logs")));
        QVERIFY(writeFile(m_dir.filePath(QStringLiteral("logs/file.mlog")), QByteArray("x")));
        QSettings().setValue(QStringLiteral("config/logdir"), m_dir.filePath(logDir));
        mainWindow window;
        window.show();
        QString shown;
        QString typed = QStringLiteral("(none)");
        DialogDriver driver({[&](QWidget *modal) {
            auto *files = qobject_cast<QFileDialog *>(modal);
            if (!files)
                return qobject_cast<QDialog *>(modal)->reject();
            shown = files->directory().absolutePath();
            if (auto *name = files->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
                typed = name->text();
            files->reject();
        }});
        trigger(window, "actionOpen");
        QCOMPARE(driver.done(), 1);
        QCOMPARE(shown, QDir::cleanPath(m_dir.filePath(start)));
        QCOMPARE(typed, QString());
        QCOMPARE(driver.unexpected(), 0);
    }
};

QTEST_MAIN(TestWindowInput)
#include "tst_windowinput.moc"
