#pragma once

#include <string>

#include "core/link/frame_trace.h"

namespace varda {

// What the bus monitor shows: lines whose name, value, failure or bytes contain the text (ignoring
// case, Cyrillic included), and only failures when asked.
struct FrameFilter {
    std::string text;
    bool failures_only = false;
    bool matches(const TraceLine& line) const;
};

}  // namespace varda
