// The desktop integration stand-in: geometry through the settings and the
// help menu.
#include "vrelintegration.h"

#include <QAction>
#include <QApplication>
#include <QMessageBox>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

class TestVrelIntegration : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void geometryRoundTrip();
    void restoreWithoutStoredGeometry();
    void restoreFromWrongType();
    void initLeavesApplicationNames();
    void helpMenu();

private:
    QString settingsFile() const { return dir.filePath(QStringLiteral("vrel.ini")); }
    QTemporaryDir dir;
};

void TestVrelIntegration::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(dir.isValid());
}

void TestVrelIntegration::geometryRoundTrip()
{
    const QRect placed(130, 150, 640, 420);
    {
        QWidget window;
        window.setGeometry(placed);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QSettings settings(settingsFile(), QSettings::IniFormat);
        vrelSaveGeometry(&window, &settings, false);
        QVERIFY(settings.group().isEmpty());
        QVERIFY(settings.contains(QStringLiteral("VrelGeometry/geometry")));
    }
    QWidget restored;
    restored.setGeometry(10, 10, 200, 100);
    QSettings settings(settingsFile(), QSettings::IniFormat);
    vrelRestoreGeometry(&restored, &settings, QRect(), false);
    QVERIFY(settings.group().isEmpty());
    QCOMPARE(restored.size(), placed.size());
    QCOMPARE(restored.pos(), placed.topLeft());
    // The program's own keys in the same group are not disturbed.
    settings.setValue(QStringLiteral("VrelGeometry/splitterv"), QByteArray("x"));
    vrelSaveGeometry(&restored, &settings, true);
    QCOMPARE(settings.value(QStringLiteral("VrelGeometry/splitterv")).toByteArray(), QByteArray("x"));
}

void TestVrelIntegration::restoreWithoutStoredGeometry()
{
    QSettings settings(dir.filePath(QStringLiteral("empty.ini")), QSettings::IniFormat);
    QWidget widget;
    widget.setGeometry(40, 50, 300, 200);
    vrelRestoreGeometry(&widget, &settings, QRect(), false);
    QCOMPARE(widget.geometry(), QRect(40, 50, 300, 200));
    vrelRestoreGeometry(&widget, &settings, QRect(70, 80, 500, 400), false);
    QCOMPARE(widget.geometry(), QRect(70, 80, 500, 400));
    QVERIFY(settings.group().isEmpty());
    // Null arguments are ignored rather than crashing.
    vrelRestoreGeometry(nullptr, &settings, QRect(), false);
    vrelSaveGeometry(nullptr, &settings, false);
    vrelSaveGeometry(&widget, nullptr, false);
}

void TestVrelIntegration::restoreFromWrongType()
{
    QSettings settings(dir.filePath(QStringLiteral("wrong.ini")), QSettings::IniFormat);
    settings.setValue(QStringLiteral("VrelGeometry/geometry"), 42);
    QWidget widget;
    widget.setGeometry(40, 50, 300, 200);
    vrelRestoreGeometry(&widget, &settings, QRect(), false);
    QCOMPARE(widget.geometry(), QRect(40, 50, 300, 200));
    settings.setValue(QStringLiteral("VrelGeometry/geometry"), QByteArray("not a geometry"));
    vrelRestoreGeometry(&widget, &settings, QRect(1, 2, 330, 220), false);
    QCOMPARE(widget.geometry(), QRect(1, 2, 330, 220));
}

void TestVrelIntegration::initLeavesApplicationNames()
{
    QCoreApplication::setOrganizationName(QStringLiteral("vrel"));
    QCoreApplication::setApplicationName(QStringLiteral("vrelview"));
    vrelInit("3.5.8+ci19", "Vrel View Audit");
    QCOMPARE(QCoreApplication::organizationName(), QStringLiteral("vrel"));
    QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("vrelview"));
    // Qt appends a display name to every window title, so none is set.
    QCOMPARE(QGuiApplication::applicationDisplayName(), QStringLiteral("vrelview"));
}

void TestVrelIntegration::helpMenu()
{
    vrelInit("3.5.8+ci19", "Vrel View Audit");
    QWidget window;
    auto *menu = new VrelHelpMenu(&window);
    QCOMPARE(menu->parent(), &window);
    QCOMPARE(menu->title(), QStringLiteral("&Help"));
    const QList<QAction *> actions = menu->actions();
    QCOMPARE(actions.size(), 2);
    QCOMPARE(actions.at(0)->text(), QStringLiteral("About"));
    QCOMPARE(actions.at(1)->text(), QStringLiteral("About Qt"));

    // Both boxes are modal: read and close them from a timer.
    for (int i = 0; i < 2; ++i) {
        QString shown;
        QTimer::singleShot(0, this, [&shown] {
            QTRY_VERIFY(QApplication::activeModalWidget());
            QWidget *modal = QApplication::activeModalWidget();
            if (auto *box = qobject_cast<QMessageBox *>(modal))
                shown = box->text();
            modal->close();
        });
        actions.at(i)->trigger();
        if (i == 0) {
            QVERIFY2(shown.contains(QStringLiteral("Vrel View Audit")), qPrintable(shown));
            QVERIFY2(shown.contains(QStringLiteral("3.5.8+ci19")), qPrintable(shown));
        } else {
            QVERIFY2(shown.contains(QStringLiteral("Qt")), qPrintable(shown));
        }
    }
}

QTEST_MAIN(TestVrelIntegration)
#include "tst_vrelintegration.moc"
