#pragma once

#include <QDialog>
#include <optional>
#include <string>

#include "core/app/connection/connection_controller.h"

class QLabel;
class QPushButton;

namespace varda {
class CBrand;
class Device;
struct Options;
}  // namespace varda

namespace varda::gui {

class ConnectionSettingsTable;

// "Connection to device": the configurator's port settings in a table and the ways forward (connect, scan
// the baud rates, factory settings, work offline, exit). A thin view over ConnectionController, whose
// thread does the talking; every way out, closing the window included, goes through it. Without any
// serial device the dialog offers the simulated module instead.
class ConnectionSetupDialog : public QDialog, public ConnectionView {
    Q_OBJECT
  public:
    ConnectionSetupDialog(Device& device, Options& options, const CBrand& brand, bool offline_allowed,
                          QWidget* parent = nullptr);
    ~ConnectionSetupDialog() override;

    // Says that there is no serial device and offers the simulated module (or takes the offer back).
    void offer_simulated_module(bool offer);
    // Puts the simulated module under the device and connects to it.
    void use_simulated_module();

    ConnectionSettingsTable* table() const { return table_; }
    QLabel* status_label() const { return status_; }
    bool status_alarm() const { return alarm_; }
    QPushButton* exit_button() const { return exit_; }
    QPushButton* offline_button() const { return offline_; }
    QPushButton* scan_button() const { return scan_; }
    QPushButton* connect_button() const { return connect_; }
    QPushButton* factory_button() const { return factory_; }
    QPushButton* simulate_button() const { return simulate_; }

    // ConnectionView
    void show_status(const std::string& text, bool alarm) override;
    void set_table_enabled(bool enabled) override;
    void show_value(const Parameter& parameter) override;
    std::optional<int> select_device() override;
    void nothing_answered() override;
    void close(bool ok) override;

  public slots:
    // Escape and the window's close button: "Exit".
    void reject() override;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    // Forwards a button while the dialog's thread runs; once it has ended its last command is on the way.
    template <typename F>
    void forward(F action);

    Device& device_;
    const CBrand& brand_;
    ConnectionController controller_;
    ConnectionSettingsTable* table_ = nullptr;
    QLabel* status_ = nullptr;
    QPushButton* exit_ = nullptr;
    QPushButton* offline_ = nullptr;
    QPushButton* scan_ = nullptr;
    QPushButton* connect_ = nullptr;
    QPushButton* factory_ = nullptr;
    QPushButton* simulate_ = nullptr;
    bool alarm_ = false;
    bool opened_ = false;     // the controller's thread was started
    bool finished_ = false;   // the controller closed the dialog
    bool abandoned_ = false;  // the dialog goes without the controller having closed it
};

}  // namespace varda::gui
