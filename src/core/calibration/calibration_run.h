#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "core/calibration/calibration_commands.h"
#include "core/calibration/calibration_method.h"

namespace varda {
class DeviceIO;
}

namespace varda::calibration {

// How the run window closed, and what the user asked for next.
enum class RunEnd { Accepted, Cancelled };
enum class FollowUp { None, ChooseMethodAgain, RepeatRun };

// The logic of the calibration run window: each "Continue" executes the current step (start and wait for
// the measurements, check the coefficients, store them, finish). The window shows the caption, the status
// line and the message this holds, and the "Continue" button as it says.
//
// All exchanges run on the caller's thread; `wait` does the pauses between them and `on_change` lets the
// window repaint while a step runs. The module's calibration task is ended with "CLB.A" however the run
// ends, at the latest when the object is destroyed.
class CalibrationRun {
  public:
    CalibrationRun(DeviceIO& io, RunSetup setup);
    ~CalibrationRun();
    CalibrationRun(const CalibrationRun&) = delete;
    CalibrationRun& operator=(const CalibrationRun&) = delete;

    void press_continue();
    void cancel();

    const RunSetup& setup() const { return setup_; }
    int step() const { return step_; }
    int valve() const { return valve_; }
    // Empty while the window keeps its own caption.
    const std::string& caption() const { return caption_; }
    const std::string& status_line() const { return status_line_; }
    const std::string& message() const { return message_; }
    bool continue_visible() const { return continue_visible_; }
    bool continue_enabled() const { return continue_enabled_; }
    // Exchanges are under way: the window shows the wait cursor.
    bool busy() const { return busy_; }
    bool error() const { return error_; }
    const std::string& status_text() const { return status_text_; }
    const std::string& flags_text() const { return flags_text_; }
    const std::string& engine_error() const { return engine_error_; }

    bool closed() const { return end_.has_value(); }
    std::optional<RunEnd> end() const { return end_; }
    FollowUp follow_up() const { return follow_up_; }

    std::function<void()> on_change;
    std::function<void(int milliseconds)> wait;

  private:
    void start();
    void check();
    void store();
    void finish();
    void after_faulty_coefficient();

    // One command, repeated while the user answers Yes after a failure; nothing when the user gave up
    // (the run is then closed as cancelled).
    std::optional<Exchange> with_repeat(const std::function<Exchange()>& command, std::string_view context);
    // The coefficient's value text; nothing when its reply was faulty (the run is then in the error state).
    std::optional<std::string> read_value(int number, std::string_view context);
    void decode(const TaskState& state);
    void show_failure(std::string message);
    void show_engine_error(std::string_view context);
    void close(RunEnd end);
    void end_task();
    void changed();
    void pause(int milliseconds);

    DeviceIO& io_;
    RunSetup setup_;
    int step_ = 0;
    int valve_ = 0;
    std::string caption_;
    std::string status_line_;
    std::string message_;
    bool continue_visible_ = true;
    bool continue_enabled_ = true;
    bool busy_ = false;
    bool error_ = false;
    std::string status_text_;
    std::string flags_text_;
    std::string engine_error_;
    std::optional<RunEnd> end_;
    FollowUp follow_up_ = FollowUp::None;
    bool task_ended_ = false;
};

}  // namespace varda::calibration
