#pragma once

#include <QPointer>
#include <QWidget>
#include <atomic>

#include "core/app/document/dialogs.h"
#include "core/platform/ui.h"

namespace varda {
class CBrand;
class Device;
struct Options;
}  // namespace varda

namespace varda::gui {

// The core's user interface on Qt: message boxes, questions, the modal exchange window and work posted to
// the user-interface thread. Any thread may call it: calls from the worker wait on the user-interface
// thread's answer, so no widget is ever made elsewhere.
class QtUi : public varda::Ui, public varda::Dialogs {
  public:
    QtUi() = default;

    void message(std::string_view text, MessageIcon icon, std::string_view caption = {}) override;
    Answer ask(std::string_view text, Buttons buttons, MessageIcon icon,
               std::string_view caption = {}) override;
    bool message_offering(std::string_view text, MessageIcon icon, std::string_view caption,
                          std::string_view offer) override;
    bool run_exchange(const ExchangeRequest& request) override;
    ConnectionChoice run_connection_dialog(bool at_startup) override;
    bool run_apply_dialog(ApplyController& dialog) override;
    bool run_generic_calibration(CBaseDevice& model) override;
    bool run_calibration_wizard(CalibrationWizard& wizard) override;
    bool run_output_calibration(calibration::OutputCalibration& dialog) override;
    void show_differences(DifferencesController& controller) override;
    void post(std::function<void()> task) override;
    bool has_main_window() const override;

    // The window that owns message boxes and the exchange window; the main window registers itself.
    void set_main_window(QWidget* window);
    QWidget* main_window() const;

    // What the connection dialog works on: the document's device, the options and the brand whose models
    // can be chosen offline. Without them the dialog cannot be shown.
    void set_connection_target(Device* device, Options* options, const CBrand* brand);
    // While a command-line job runs in the window nobody is asked: no message box appears (the job's
    // outcome says what failed), and questions take the answer that leaves things as they are.
    void set_unattended(bool unattended) { unattended_ = unattended; }

    // The brand switched while the program runs.
    void set_brand(const CBrand* brand) { brand_ = brand; }

  private:
    Device* device_ = nullptr;
    Options* options_ = nullptr;
    const CBrand* brand_ = nullptr;
    QPointer<QWidget> main_window_;             // used on the user-interface thread only
    std::atomic<bool> has_main_window_{false};  // asked from the worker too
    std::atomic<bool> unattended_{false};
};

// The process's QtUi when one is installed, else nullptr.
QtUi* qt_ui();

}  // namespace varda::gui
