#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "sim/simulated_module.h"

namespace varda::sim {

// The simulated modules' control console: commands typed on varda-sim's standard input or read from a
// script change a module while a program talks to it. Each command is answered with one line ("ok: …" or
// "error: …"; `help` with the list).
class Console {
  public:
    explicit Console(std::vector<std::shared_ptr<SimulatedModule>> bus) : bus_(std::move(bus)) {}

    std::string run(std::string_view line);
    static std::string help();

  private:
    std::vector<std::shared_ptr<SimulatedModule>> bus_;
    std::size_t selected_ = 0;
};

}  // namespace varda::sim
