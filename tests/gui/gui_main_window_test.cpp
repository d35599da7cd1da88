#include <QtTest>

#include "gui/main_window.h"

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void opensWithTitleAndCloses() {
        varda::gui::MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.windowTitle(), QStringLiteral("Configurator <unknown>"));
        QVERIFY(window.close());
        QVERIFY(!window.isVisible());
    }
};

QTEST_MAIN(MainWindowTest)
#include "gui_main_window_test.moc"
