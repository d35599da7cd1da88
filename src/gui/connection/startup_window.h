#pragma once

#include <QDialog>
#include <memory>

class QLabel;
class QPushButton;

namespace varda {
class Device;
class StartupConnection;
}  // namespace varda

namespace varda::gui {

// "Initialization...": shown the moment the program starts, it says what the first connection attempt is
// trying and lets the user give up on it (Cancel goes on to the connection dialog).
class StartupWindow : public QDialog {
    Q_OBJECT
  public:
    explicit StartupWindow(Device& device, QWidget* parent = nullptr);
    ~StartupWindow() override;

    // Shows the window, connects and returns whether a known module answered; false after Cancel.
    bool connect_and_wait();

    QLabel* step_label() const { return step_; }
    QPushButton* cancel_button() const { return cancel_; }

  public slots:
    // Escape and the window's close button: Cancel.
    void reject() override;

  private:
    std::unique_ptr<StartupConnection> connection_;
    QLabel* step_ = nullptr;
    QPushButton* cancel_ = nullptr;
    bool connected_ = false;
};

// The start-up window's connection, or a plain one when there is no window to show.
bool connect_at_start(Device& device);

}  // namespace varda::gui
