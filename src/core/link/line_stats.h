#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

#include "core/link/frame_tap.h"

namespace varda {

// What the line did since the counters were last reset.
struct LineCounters {
    std::uint64_t requests = 0;       // frames sent, retries included
    std::uint64_t replies = 0;        // replies received whole
    std::uint64_t retries = 0;        // requests sent again after a failed reply
    std::uint64_t timeouts = 0;       // requests that got no (whole) reply in time
    std::uint64_t garbled = 0;        // replies that failed the frame checks
    std::uint64_t wrong_hash = 0;     // replies to another request
    std::uint64_t error_replies = 0;  // the module answered with an error code
    std::uint64_t line_errors = 0;
    double mean_reply_ms = 0;
    double max_reply_ms = 0;
};

// Counts every frame the port sends and receives. Cheap enough to run always: one decode of the request's
// hash and of each reply's checks.
class LineStats {
  public:
    void sent(std::string_view frame);
    void received(TapFrame::End end, std::string_view bytes, double reply_ms);
    LineCounters snapshot() const;
    void reset();

  private:
    mutable std::mutex mutex_;
    LineCounters counters_;
    double reply_ms_sum_ = 0;
    std::string last_request_;
    std::uint16_t last_hash_ = 0;
    bool last_failed_ = false;
    bool answer_expected_ = true;
};

// "requests 431 · retries 2 · time-outs 3 · garbled 0 · wrong hash 0 · error replies 1"
std::string line_counters_text(const LineCounters& counters);
// The same in little room, for the status bar: "req 431 · retry 2 · t/o 3 · garbled 0 · err 1" (wrong-hash
// replies count as garbled there).
std::string line_counters_short_text(const LineCounters& counters);
// The counters as a JSON object (`--stats:json`).
std::string line_counters_json(const LineCounters& counters);

}  // namespace varda
