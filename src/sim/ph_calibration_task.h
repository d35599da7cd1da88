#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "sim/simulated_module.h"

namespace varda::sim {

// The pH and redox calibration of a VK18 module: writing a calibration point ("U.pH1", "U.pHL", "U.pHH",
// "U.Rx1", "U.RxL", "U.RxH") makes the status word "Rd.St" report the calibration running (bit 0x10) for
// a few reads; "U.Apl" applies it, answers the electrode slope deviation and sets the calibration error
// bit (0x08) when a test asks for a failure.
class PhCalibrationTask {
  public:
    struct Behaviour {
        int busy_reads = 2;   // "Rd.St" reads that still report the calibration running; -1 forever
        float slope = 1.0f;   // answered by "U.Apl"
        bool fails = false;   // "U.Apl" leaves the calibration error bit set
        unsigned status = 0;  // the other bits of the status word
    };

    Behaviour behaviour() const;
    void set_behaviour(const Behaviour& behaviour);

    // The points written, as (network name, value), in order; and how often "U.Apl" came.
    std::vector<std::pair<std::string, float>> points() const;
    int applied() const;

    // Told of each point written (network name, value), under the module's lock.
    void set_point_listener(std::function<void(std::string_view point, float value)> listener);
    // Gives the slope "U.Apl" answers instead of the behaviour's (nothing: the behaviour's); asked under
    // the module's lock.
    void set_slope_source(std::function<std::optional<float>()> source);

    // Answers the commands; called by the module under its lock.
    std::optional<Bytes> answer(std::string_view command, bool read, std::span<const std::uint8_t> data);

  private:
    mutable std::mutex mutex_;
    Behaviour behaviour_;
    std::vector<std::pair<std::string, float>> points_;
    int busy_left_ = 0;
    bool error_ = false;
    int applied_ = 0;
    std::function<void(std::string_view, float)> point_listener_;
    std::function<std::optional<float>()> slope_source_;
};

// Makes the module answer the calibration commands; returns the task so a test can steer it. Serving it
// again replaces the earlier task.
std::shared_ptr<PhCalibrationTask> serve_ph_calibration(SimulatedModule& module);

}  // namespace varda::sim
