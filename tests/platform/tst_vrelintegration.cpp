// The desktop integration calls the main window makes.
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
    void geometry()
    {
        // Saved and restored, and a hand-edited value that is no geometry; the
        // program's own keys in the same group stay, no group is left open.
        QSettings settings(dir.filePath("geometry.ini"), QSettings::IniFormat);
        settings.setValue("VrelGeometry/splitterv", QByteArray("x"));
        QWidget window, widget;
        const QRect placed(130, 150, 640, 420), own(40, 50, 300, 200);
        window.setGeometry(placed);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        vrelSaveGeometry(&window, &settings, false);
        widget.setGeometry(own);
        vrelRestoreGeometry(&widget, &settings, QRect(), false);
        QCOMPARE(widget.geometry(), placed);
        settings.setValue("VrelGeometry/geometry", QByteArray("not a geometry"));
        vrelRestoreGeometry(&widget, &settings, own, false);
        QCOMPARE(widget.geometry(), own);
        QVERIFY(settings.group().isEmpty());
        QCOMPARE(settings.value("VrelGeometry/splitterv").toByteArray(), QByteArray("x"));
    }

    void initAndHelpMenu()
    {
        QCoreApplication::setApplicationName(QStringLiteral("vrelview"));
        vrelInit("3.5.8+ci19", "Vrel View Audit");
        // Qt appends a display name to every window title, so none is set.
        QCOMPARE(QGuiApplication::applicationDisplayName(), QStringLiteral("vrelview"));
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
