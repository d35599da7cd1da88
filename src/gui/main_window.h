#pragma once

#include <QMainWindow>

namespace varda::gui {

// The configurator's main frame. For now it only carries the title; menus, the toolbar and the
// parameter tree are added as the document grows.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
};

}  // namespace varda::gui
