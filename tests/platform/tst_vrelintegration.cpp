// The desktop integration stand-in: geometry through the settings and the
// help menu.
#include "vrelintegration.h"

#include <QAction>
#include <QApplication>
#include <QMessageBox>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

class TestVrelIntegration : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;

private slots:
    void geometry_data()
    {
        // A geometry saved from a window placed at a rectangle, nothing, or a
        // hand-edited value that is no geometry.
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<QRect>("defaultRect");
        QTest::addColumn<QRect>("expected");
        const QRect placed(130, 150, 640, 420), own(40, 50, 300, 200), given(70, 80, 500, 400);
        QTest::newRow("saved") << QVariant(placed) << given << placed;
        QTest::newRow("nothing, no default") << QVariant() << QRect() << own;
        QTest::newRow("not a geometry") << QVariant(QByteArray("not a geometry")) << given << given;
    }

    void geometry()
    {
        QFETCH(QVariant, stored);
        QFETCH(QRect, defaultRect);
        QFETCH(QRect, expected);
        QSettings settings(dir.filePath(QString::fromLatin1(QTest::currentDataTag()) + ".ini"), QSettings::IniFormat);
        settings.setValue(QStringLiteral("VrelGeometry/splitterv"), QByteArray("x"));
        QWidget window, widget;
        if (stored.type() == QVariant::Rect) {
            window.setGeometry(stored.toRect());
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            vrelSaveGeometry(&window, &settings, false);
        } else if (stored.isValid()) {
            settings.setValue(QStringLiteral("VrelGeometry/geometry"), stored);
        }
        QVERIFY(settings.group().isEmpty());
        widget.setGeometry(40, 50, 300, 200);
        vrelRestoreGeometry(&widget, &settings, defaultRect, false);
        QCOMPARE(widget.geometry(), expected);
        QVERIFY(settings.group().isEmpty());
        // The program's own keys in the same group are not disturbed.
        QCOMPARE(settings.value(QStringLiteral("VrelGeometry/splitterv")).toByteArray(), QByteArray("x"));
    }

    void initAndHelpMenu()
    {
        QCoreApplication::setOrganizationName(QStringLiteral("vrel"));
        QCoreApplication::setApplicationName(QStringLiteral("vrelview"));
        vrelInit("3.5.8+ci19", "Vrel View Audit");
        QCOMPARE(QCoreApplication::organizationName(), QStringLiteral("vrel"));
        QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("vrelview"));
        // Qt appends a display name to every window title, so none is set.
        QCOMPARE(QGuiApplication::applicationDisplayName(), QStringLiteral("vrelview"));
        // The About box is modal: read and close it from a timer.
        QWidget window;
        auto *menu = new VrelHelpMenu(&window);
        QString shown;
        QTimer::singleShot(0, this, [&shown] {
            QTRY_VERIFY(QApplication::activeModalWidget());
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget()))
                shown = box->text();
            QApplication::activeModalWidget()->close();
        });
        menu->actions().value(0)->trigger();
        QVERIFY2(shown.contains(QStringLiteral("Vrel View Audit</b><br>Version 3.5.8+ci19")), qPrintable(shown));
    }
};

QTEST_MAIN(TestVrelIntegration)
#include "tst_vrelintegration.moc"
