#pragma once

// Calibration of the analog outputs of VK01 and VK02. Each output has two calibration points, 4 mA and
// 20 mA, whose output codes the module keeps as coefficients "CLB.K": coefficient n belongs to output
// n / 2 + 1, even numbers are K4, odd numbers K20. The engineer picks a coefficient, the module drives the
// output at that point ("CLB.I"), and the code is moved in steps until the reference instrument agrees;
// "CLB.A" ends output calibration.

#include <array>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varda {
class CBaseDevice;
class Device;
class ModelContext;
struct Options;
}  // namespace varda

namespace varda::calibration {

class OutputCalibration {
  public:
    static constexpr int kMinCode = 0;
    static constexpr int kMaxCode = 4095;
    // The step buttons in their order on the dialog: "-2", "+2", "-5", "+5", "-10", "+10".
    static constexpr std::array<int, 6> kSteps{-2, 2, -5, 5, -10, 10};
    // How long the module is given to leave calibration before the dialog closes.
    static constexpr std::chrono::milliseconds kEndDelay{500};

    struct Entry {
        std::string text;  // "K4  выхода №1", "K20 выхода №1", ...
        int coefficient = 0;
    };

    // `tree` finds the output-type parameters ("out.t", index output − 1); it may be null.
    OutputCalibration(Device& device, const Options& options, ModelContext* tree, int outputs);
    // For a device-model object: 8 outputs for VK01, 6 for VK02, none for other models.
    OutputCalibration(Device& device, const Options& options, CBaseDevice& model);

    // Number of analog outputs of a model (0 for models without output calibration).
    static int output_count(int model_index);

    // Opening: lists the coefficients of every output that is not discrete, reading an output's type first
    // when it was never read and "Read automatically" is on. No coefficient is current.
    void open();
    const std::vector<Entry>& entries() const { return entries_; }

    // Choosing list entry `entry`: the current coefficient is written first, then the chosen one is read
    // and the output put into calibration at that point. A coefficient that cannot be read does not become
    // current (its value is unknown and must never be written back); the previous one stays current.
    void choose(int entry);
    // The step buttons: the value moves by `delta` and is written, unless that leaves 0..4095.
    void step(int delta);
    // A value typed into the field; false (nothing written) when it is not a whole number in 0..4095 or
    // no coefficient is current.
    bool edit(std::string_view text);
    // "Finish" and closing the window: the current coefficient is written and output calibration ended.
    void finish();

    // The coefficient being calibrated, and the list entry that shows it.
    std::optional<int> current() const { return current_; }
    int current_entry() const;
    int value() const { return value_; }
    // The value field and the step buttons work only while a coefficient is current.
    bool controls_enabled() const { return current_.has_value(); }
    // True once the dialog must close: after finish() or after the user declined to calibrate a
    // non-editable coefficient.
    bool closed() const { return closed_; }

    // Waits between ending calibration and closing; tests replace it.
    std::function<void(std::chrono::milliseconds)> wait;

  private:
    void write_current();
    bool end_calibration();

    Device& device_;
    const Options& options_;
    ModelContext* tree_;
    int outputs_;
    std::vector<Entry> entries_;
    std::optional<int> current_;
    int value_ = 0;
    // The current coefficient's attributes as the module reported them when it was chosen.
    bool access_attribute_ = true;
    bool user_attribute_ = false;
    bool closed_ = false;
};

}  // namespace varda::calibration
