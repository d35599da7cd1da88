#include "gui/main_window.h"

namespace varda::gui {

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
    // No model is chosen yet, so the title names none.
    setWindowTitle(QStringLiteral("Configurator <unknown>"));
    resize(900, 600);
}

}  // namespace varda::gui
