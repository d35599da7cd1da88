#pragma once

namespace varda {

class ApplyController;
class CBaseDevice;
class CalibrationWizard;
class DifferencesController;
namespace calibration {
class OutputCalibration;
}

// The dialogs the application opens over its controllers. The program's user interface implements it
// beside Ui; command-line runs and tests use HeadlessUi.
class Dialogs {
  public:
    virtual ~Dialogs() = default;
    // How the connection dialog ended.
    enum class ConnectionChoice {
        Closed = 0,     // closed otherwise (no window to show it in)
        Connected = 1,  // connected, or a model chosen (OK)
        Exit = 2,
    };
    virtual ConnectionChoice run_connection_dialog(bool at_startup) = 0;
    // The network-settings (APLY) dialog over its controller, whose OK sends APLY and follows the module's
    // new settings when asked; true when it ended with OK.
    virtual bool run_apply_dialog(ApplyController& dialog) = 0;
    // The generic calibration of a measuring model (method dialog, then the calibration run); false when
    // it could not be shown.
    virtual bool run_generic_calibration(CBaseDevice& model) = 0;
    // A calibration wizard over its controller: started, and run until it closes; true when it finished
    // (not cancelled).
    virtual bool run_calibration_wizard(CalibrationWizard& wizard) = 0;
    // The analog-output calibration dialog over its controller, which it opens; returns when the dialog has
    // closed; false when it could not be shown.
    virtual bool run_output_calibration(calibration::OutputCalibration& dialog) = 0;
    // The differences window over its controller; returns when it has closed. Nothing without a window.
    virtual void show_differences(DifferencesController&) {}
};

// The dialogs of the installed user interface; with none installed, the headless ones.
Dialogs& dialogs();

}  // namespace varda
