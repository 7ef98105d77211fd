// The desktop integration's About box (the main window's tests cover the
// geometry kept through it).
#include "vrelintegration.h"

#include <QAction>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QtTest>

class TestVrelIntegration : public QObject
{
    Q_OBJECT
private slots:
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
