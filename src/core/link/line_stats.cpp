#include "core/link/line_stats.h"

#include <algorithm>

#include "core/platform/language.h"
#include "core/platform/numbers.h"
#include "core/protocol/frame_codec.h"

namespace varda {

void LineStats::sent(std::string_view frame) {
    std::lock_guard lock(mutex_);
    ++counters_.requests;
    // The same frame again right after a failure is the engine's retry.
    if (last_failed_ && frame == last_request_) ++counters_.retries;
    last_request_.assign(frame);
    last_failed_ = false;
    last_hash_ = 0;
    answer_expected_ = true;
    if (frame.size() >= 10 && frame.front() == '#') {
        if (const auto head = decode_buffer(frame.substr(1, 8)); head && head->size() == 4) {
            last_hash_ = static_cast<std::uint16_t>((*head)[2] << 8 | (*head)[3]);
            // Nobody answers APLY or a broadcast: their silence is no time-out.
            answer_expected_ = last_hash_ != kHashAply && (*head)[0] != 0xFF;
        }
    }
}

void LineStats::received(TapFrame::End end, std::string_view bytes, double reply_ms) {
    std::lock_guard lock(mutex_);
    if (end == TapFrame::End::TimedOut) {
        if (!answer_expected_ && bytes.empty()) return;
        ++counters_.timeouts;
        last_failed_ = true;
        return;
    }
    if (end == TapFrame::End::LineError) {
        ++counters_.line_errors;
        last_failed_ = true;
        return;
    }
    ++counters_.replies;
    reply_ms_sum_ += reply_ms;
    counters_.mean_reply_ms = reply_ms_sum_ / static_cast<double>(counters_.replies);
    counters_.max_reply_ms = std::max(counters_.max_reply_ms, reply_ms);
    // Switch-over replies are not frames of this protocol; only ours are judged.
    if (bytes.empty() || bytes.front() != '#') return;
    const ReplyOutcome outcome = parse_reply(bytes, last_hash_);
    switch (outcome.kind) {
        case ReplyOutcome::Kind::Accepted:
            break;
        case ReplyOutcome::Kind::ErrorReply:
            ++counters_.error_replies;
            break;
        case ReplyOutcome::Kind::Rejected:
            if (outcome.reason == ReplyOutcome::Reason::WrongHash) {
                ++counters_.wrong_hash;
            } else {
                ++counters_.garbled;
                last_failed_ = true;
            }
            break;
    }
}

LineCounters LineStats::snapshot() const {
    std::lock_guard lock(mutex_);
    return counters_;
}

void LineStats::reset() {
    std::lock_guard lock(mutex_);
    counters_ = {};
    reply_ms_sum_ = 0;
    last_failed_ = false;
}

namespace {

// A counter's name in the language on screen (as written for jobs).
std::string label(std::string_view text) {
    return std::string(localized(text));
}

}  // namespace

std::string line_counters_text(const LineCounters& c) {
    const auto n = [](std::uint64_t value) { return std::to_string(value); };
    return label("requests ") + n(c.requests) + label(" \u00b7 retries ") + n(c.retries) +
           label(" \u00b7 time-outs ") + n(c.timeouts) + label(" \u00b7 garbled ") + n(c.garbled) +
           label(" \u00b7 wrong hash ") + n(c.wrong_hash) + label(" \u00b7 error replies ") +
           n(c.error_replies);
}

std::string line_counters_short_text(const LineCounters& c) {
    const auto n = [](std::uint64_t value) { return std::to_string(value); };
    return label("req ") + n(c.requests) + label(" \u00b7 retry ") + n(c.retries) + label(" \u00b7 t/o ") +
           n(c.timeouts) + label(" \u00b7 garbled ") + n(c.garbled + c.wrong_hash) + label(" \u00b7 err ") +
           n(c.error_replies);
}

std::string line_counters_json(const LineCounters& c) {
    const auto n = [](std::uint64_t value) { return std::to_string(value); };
    return "{\"requests\": " + n(c.requests) + ", \"replies\": " + n(c.replies) +
           ", \"retries\": " + n(c.retries) + ", \"timeouts\": " + n(c.timeouts) +
           ", \"garbled\": " + n(c.garbled) + ", \"wrong_hash\": " + n(c.wrong_hash) +
           ", \"error_replies\": " + n(c.error_replies) + ", \"line_errors\": " + n(c.line_errors) +
           ", \"mean_reply_ms\": " + platform::fixed(c.mean_reply_ms, 1) +
           ", \"max_reply_ms\": " + platform::fixed(c.max_reply_ms, 1) + "}";
}

}  // namespace varda
