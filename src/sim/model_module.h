#pragma once

#include <string>
#include <string_view>

#include "sim/simulated_module.h"

namespace varda::sim {

// The firmware version the simulated models report.
inline constexpr std::string_view kModelVersion = "2.10";

// Fills the module with every parameter a model's description declares (for an unknown and for the
// simulated firmware version), with its default value, plus the identification of the model. Returns
// false with a reason when the description builds no tree.
bool serve_model(SimulatedModule& module, int model_index, std::string_view description_text,
                 std::string& error);

// One step of life: counters count, inputs change, measured values wander.
void tick_live_values(SimulatedModule& module, int step);

}  // namespace varda::sim
