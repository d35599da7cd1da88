#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "sim/simulated_module.h"

namespace varda::sim {

// The calibration task of a measuring module: "CLB.I" starts it, "CLB.S" reports it running until the
// measurements finish after a few polls, "CLB.T" checks, "CLB.G" gives the coefficients, "CLB.P" stores
// them and "CLB.A" ends the task. Faults can be set for tests.
class CalibrationTask {
  public:
    struct Faults {
        // Status code answered by a command (by its name, e.g. "CLB.P"); 0 elsewhere.
        std::map<std::string, std::uint8_t, std::less<>> status;
        // Length of every "CLB.G" reply; 5 normally (2 means the coefficient has no value).
        std::size_t coefficient_reply_length = 5;
        // Number of the coefficient "CLB.T" reports as faulty (0 none).
        std::uint8_t faulty_coefficient = 0;
        // "CLB.S" polls until the measurements finish; 0 never.
        int polls_to_finish = 3;
    };

    Faults faults() const;
    void set_faults(Faults faults);
    void set_coefficient(int number, float value);
    // Scales the gain (coefficient 1) as "CLB.G" answers it, asked under the module's lock: the module
    // takes the signal applied for the nominal reference, so a signal off it shows in the gain.
    void set_gain_scale(std::function<double()> scale);

    // What the task has seen.
    bool running() const;
    int type() const;
    std::uint8_t start_byte() const;  // the first "CLB.I" data byte (valve and channel of type 4)
    int stored() const;               // coefficients stored by "CLB.P"

    // Answers the commands; called by the module under its lock.
    std::optional<Bytes> answer(std::string_view command, bool read, std::span<const std::uint8_t> data);

  private:
    std::uint8_t status_of(std::string_view command) const;

    mutable std::mutex mutex_;
    Faults faults_;
    std::array<float, 4> coefficients_{1.0025f, -0.5f, 0.25f, 2.0f};
    bool running_ = false;
    int type_ = 0;
    std::uint8_t start_byte_ = 0;
    int polls_ = 0;
    int stored_ = 0;
    std::function<double()> gain_scale_;
};

// Makes the module answer the calibration commands; returns the task so a test can steer it.
std::shared_ptr<CalibrationTask> serve_calibration(SimulatedModule& module);

}  // namespace varda::sim
