#include <QApplication>
#include <cstdlib>

#include "gui/main_window.h"

int main(int argc, char* argv[]) {
    // Command-line jobs must run on machines without a display.
    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("KEST"));
    QApplication::setApplicationName(QStringLiteral("Varda"));
    varda::gui::MainWindow window;
    window.show();
    return app.exec();
}
