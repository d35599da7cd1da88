#pragma once

#include <chrono>
#include <string>

namespace varda {

class Parameter;

// What a parameter row's tool tip says, one fact a line: description, network name and index, type,
// range or list, default value, access, what the module last answered and when, and the error if any.
// `now` dates the last answer ("today" drops the date).
std::string parameter_tool_tip(const Parameter& parameter,
                               std::chrono::system_clock::time_point now = std::chrono::system_clock::now());

}  // namespace varda
