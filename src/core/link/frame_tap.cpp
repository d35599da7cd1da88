#include "core/link/frame_tap.h"

namespace varda {

void FrameRecorder::frame(const TapFrame& frame) {
    std::lock_guard lock(mutex_);
    frames_.push_back(frame);
    ++recorded_;
    if (frames_.size() > capacity_) frames_.pop_front();
}

std::vector<TapFrame> FrameRecorder::take_since(std::uint64_t& seen) const {
    std::lock_guard lock(mutex_);
    const std::uint64_t first = recorded_ - frames_.size();
    if (seen < first) seen = first;
    std::vector<TapFrame> out(frames_.begin() + static_cast<std::ptrdiff_t>(seen - first), frames_.end());
    seen = recorded_;
    return out;
}

std::uint64_t FrameRecorder::recorded() const {
    std::lock_guard lock(mutex_);
    return recorded_;
}

void FrameRecorder::clear() {
    std::lock_guard lock(mutex_);
    frames_.clear();
}

}  // namespace varda
