#pragma once

#include <functional>
#include <mutex>

#include "core/app/document/dialogs.h"
#include "core/platform/headless_runner.h"

namespace varda {

// The user interface of command-line runs and tests: the headless runner, and dialogs that nobody can see.
class HeadlessUi : public HeadlessRunner, public Dialogs {
  public:
    using HeadlessRunner::HeadlessRunner;

    // Without a window nobody can choose: the connection dialog answers "Exit", the APLY dialog Cancel,
    // unless a test said otherwise. Answering OK presses OK with the dialog's check boxes as they are; a
    // dialog that stays open after that is cancelled.
    ConnectionChoice run_connection_dialog(bool at_startup) override;
    bool run_apply_dialog(ApplyController& dialog) override;
    // No window to choose a method in: nothing is calibrated.
    bool run_generic_calibration(CBaseDevice&) override {
        ++generic_calibrations_shown;
        return false;
    }
    int generic_calibrations_shown = 0;
    // Without a window a wizard is started and handed to the driver a test gave, then cancelled if the
    // driver left it open.
    bool run_calibration_wizard(CalibrationWizard& wizard) override;
    std::function<void(CalibrationWizard&)> calibration_wizard_driver;
    int calibration_wizards_shown = 0;
    // Without a window the output calibration is opened and handed to the driver a test gave, then
    // finished as closing the window would.
    bool run_output_calibration(calibration::OutputCalibration& dialog) override;
    std::function<void(calibration::OutputCalibration&)> output_calibration_driver;
    int output_calibrations_shown = 0;
    ConnectionChoice connection_dialog_answer = ConnectionChoice::Exit;
    bool apply_dialog_answer = false;
    int apply_dialogs_shown = 0;
    int connection_dialogs_shown = 0;

  private:
    std::mutex dialog_mutex_;
};

}  // namespace varda
