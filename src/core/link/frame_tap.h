#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace varda {

// One frame as the port saw it: every request sent (retries, switch-over frames, broadcasts and APLY
// included) and every reply, garbage and partial replies that ran into the time-out included.
struct TapFrame {
    enum class Direction { Sent, Received };
    // How a received frame ended: its end character (or count), the reply time-out (with whatever part had
    // arrived, perhaps nothing), or a line error. Stale: characters found waiting before a request (a reply
    // that came too late), discarded unread.
    enum class End { Complete, TimedOut, LineError, Stale };
    Direction direction = Direction::Sent;
    End end = End::Complete;
    std::chrono::steady_clock::time_point at{};
    std::string bytes;
    double reply_ms = 0;  // received: time since its request was sent
};

// Someone listening to the line. Called on the thread that talks to the port, inside the exchange, so it
// must be quick (record, do not decode or write files there unless the caller accepts the delay).
class FrameTap {
  public:
    virtual ~FrameTap() = default;
    virtual void frame(const TapFrame& frame) = 0;
};

// Keeps the frames for a window that shows them later: recording is a lock and a copy, and the oldest
// frames go once `capacity` is reached.
class FrameRecorder : public FrameTap {
  public:
    explicit FrameRecorder(std::size_t capacity = 200000) : capacity_(capacity) {}
    void frame(const TapFrame& frame) override;

    // Frames recorded after the first `seen` (a running count, so dropped frames are skipped); `seen` is
    // moved on.
    std::vector<TapFrame> take_since(std::uint64_t& seen) const;
    std::uint64_t recorded() const;
    void clear();

  private:
    mutable std::mutex mutex_;
    std::deque<TapFrame> frames_;
    std::uint64_t recorded_ = 0;  // frames ever recorded; frames_.front() is number recorded_ - size
    const std::size_t capacity_;
};

}  // namespace varda
