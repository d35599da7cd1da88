#include "core/link/frame_filter.h"

#include "core/platform/text.h"

namespace varda {

bool FrameFilter::matches(const TraceLine& line) const {
    if (failures_only && line.failure.empty()) return false;
    if (text.empty()) return true;
    const std::string wanted = platform::to_lower(text);
    for (const std::string* field : {&line.name, &line.value, &line.failure, &line.bytes, &line.access})
        if (platform::to_lower(*field).find(wanted) != std::string::npos) return true;
    return false;
}

}  // namespace varda
