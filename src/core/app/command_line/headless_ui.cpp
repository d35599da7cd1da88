#include "core/app/command_line/headless_ui.h"

#include "core/app/document/apply_settings.h"
#include "core/calibration/calibration_wizard.h"
#include "core/calibration/output_calibration.h"

namespace varda {

Dialogs& dialogs() {
    if (auto* installed = dynamic_cast<Dialogs*>(&ui())) return *installed;
    static HeadlessUi nobody_sees;
    return nobody_sees;
}

Dialogs::ConnectionChoice HeadlessUi::run_connection_dialog(bool) {
    std::lock_guard lock(dialog_mutex_);
    ++connection_dialogs_shown;
    return connection_dialog_answer;
}

bool HeadlessUi::run_apply_dialog(ApplyController& dialog) {
    bool answer = false;
    {
        std::lock_guard lock(dialog_mutex_);
        ++apply_dialogs_shown;
        answer = apply_dialog_answer;
    }
    // Outside the lock: OK may show a message.
    return answer && dialog.ok();
}

bool HeadlessUi::run_calibration_wizard(CalibrationWizard& wizard) {
    std::function<void(CalibrationWizard&)> driver;
    {
        std::lock_guard lock(dialog_mutex_);
        ++calibration_wizards_shown;
        driver = calibration_wizard_driver;
    }
    // Outside the lock: the wizard shows messages.
    wizard.start();
    if (driver) driver(wizard);
    wizard.press_cancel();
    return wizard.outcome() == CalibrationWizard::Outcome::Finished;
}

bool HeadlessUi::run_output_calibration(calibration::OutputCalibration& dialog) {
    std::function<void(calibration::OutputCalibration&)> driver;
    {
        std::lock_guard lock(dialog_mutex_);
        ++output_calibrations_shown;
        driver = output_calibration_driver;
    }
    // Outside the lock: the calibration shows messages.
    dialog.open();
    if (driver) driver(dialog);
    dialog.finish();
    return true;
}

}  // namespace varda
