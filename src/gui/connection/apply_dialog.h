#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;
class QPushButton;

namespace varda {
class ApplyController;
}

namespace varda::gui {

// "New network settings": warns that the module is about to take new network settings, lists them, and
// lets the user send APLY (optionally as a broadcast) and have the configurator follow. A thin view over
// ApplyController, which does the sending and following when OK is pressed.
class ApplyDialog : public QDialog {
    Q_OBJECT
  public:
    explicit ApplyDialog(ApplyController& controller, QWidget* parent = nullptr);

    QLabel* settings_label() const { return settings_; }
    QCheckBox* change_own_settings_box() const { return change_own_; }
    QCheckBox* broadcast_box() const { return broadcast_; }
    QPushButton* ok_button() const { return ok_; }

  public slots:
    // Sends APLY; the dialog stays open when the controller says so.
    void accept() override;

  private:
    ApplyController& controller_;
    QLabel* settings_ = nullptr;
    QCheckBox* change_own_ = nullptr;
    QCheckBox* broadcast_ = nullptr;
    QPushButton* ok_ = nullptr;
};

}  // namespace varda::gui
