#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "core/platform/ui.h"

namespace varda {

// The user interface of command-line runs and tests: no windows. Messages are recorded, questions take
// answers given in advance (else the safe default: Ok, Cancel or No), the exchange window blocks the
// caller until the task closes it, and posted work waits until run_posted().
class HeadlessUi : public Ui {
  public:
    struct Message {
        std::string text;
        MessageIcon icon;
        std::string caption;
    };

    explicit HeadlessUi(bool has_main_window = false) : has_main_window_(has_main_window) {}

    void message(std::string_view text, MessageIcon icon, std::string_view caption = {}) override;
    Answer ask(std::string_view text, Buttons buttons, MessageIcon icon,
               std::string_view caption = {}) override;
    bool run_exchange(const ExchangeRequest& request) override;
    // Without a window nobody can choose: the connection dialog answers "Exit", the APLY dialog Cancel,
    // unless a test said otherwise. Answering OK presses OK with the dialog's check boxes as they are; a
    // dialog that stays open after that is cancelled.
    int run_connection_dialog(bool at_startup) override;
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
    void post(std::function<void()> task) override;
    int connection_dialog_answer = 2;
    bool apply_dialog_answer = false;
    int apply_dialogs_shown = 0;
    int connection_dialogs_shown = 0;
    bool has_main_window() const override { return has_main_window_; }

    // Answers for the next questions, in order.
    void push_answer(Answer answer);
    // Receives every progress line as it is added (standard error with --verbose, a test).
    void set_progress_sink(std::function<void(const std::string&)> sink);
    // Presses Cancel of the next exchange window when it has shown this many lines (tests).
    void cancel_after_lines(int lines);
    // Runs the posted tasks; returns how many ran.
    int run_posted();

    std::vector<Message> messages() const;
    std::vector<std::string> questions() const;
    std::vector<std::string> progress_lines() const;
    std::vector<std::string> exchange_titles() const;
    void clear();

  private:
    class Window;

    bool has_main_window_;
    mutable std::mutex mutex_;
    std::deque<Answer> answers_;
    std::vector<Message> messages_;
    std::vector<std::string> questions_;
    std::vector<std::string> lines_;
    std::vector<std::string> titles_;
    std::deque<std::function<void()>> posted_;
    std::function<void(const std::string&)> sink_;
    int cancel_after_lines_ = 0;
};

}  // namespace varda
