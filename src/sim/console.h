#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "sim/calibration_physics.h"
#include "sim/simulated_module.h"

namespace varda::sim {

// The simulated modules' control console: commands typed on varda-sim's standard input or read from a
// script change a module while a program talks to it. Each command is answered with one line ("ok: …" or
// "error: …"; `help` with the list).
class Console {
  public:
    // `physics` holds, for each module of the bus, the physical side of its calibration (null: none).
    explicit Console(std::vector<std::shared_ptr<SimulatedModule>> bus,
                     std::vector<std::shared_ptr<CalibrationPhysics>> physics = {})
        : bus_(std::move(bus)), physics_(std::move(physics)) {}

    std::string run(std::string_view line);
    static std::string help();

  private:
    std::string run_physics(CalibrationPhysics* physics, const std::string& command, std::istream& in);

    std::vector<std::shared_ptr<SimulatedModule>> bus_;
    std::vector<std::shared_ptr<CalibrationPhysics>> physics_;
    std::size_t selected_ = 0;
};

}  // namespace varda::sim
