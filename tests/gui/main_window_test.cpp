// The main window comes up under the offscreen platform with its caption.
#include "gui/entry/MainWindow.h"

#include <QtTest/QtTest>

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void startsWithTheProgramCaption()
    {
        zurm::gui::MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.windowTitle(), QStringLiteral("ЗУРМ 1.4"));
        QCOMPARE(window.objectName(), QStringLiteral("MainForm"));
        QVERIFY(window.minimumWidth() >= 640 && window.minimumHeight() >= 480);
    }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
