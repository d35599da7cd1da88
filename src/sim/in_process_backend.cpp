#include "sim/in_process_backend.h"

#include <algorithm>
#include <cstring>

#include "core/platform/language.h"

namespace varda::sim {
namespace {

constexpr std::chrono::milliseconds kIdleGap{20};

}  // namespace

InProcessBackend::InProcessBackend(std::shared_ptr<SimulatedModule> module) : module_(std::move(module)) {}

bool InProcessBackend::open(const std::string& /*path*/, std::string& error) {
    if (!module_ || unplugged_) {
        error = localized("no such device");
        return false;
    }
    std::lock_guard lock(mutex_);
    open_ = true;
    pending_.clear();
    line_error_pending_ = false;
    return true;
}

void InProcessBackend::close() {
    std::lock_guard lock(mutex_);
    open_ = false;
    pending_.clear();
    line_error_pending_ = false;
}

bool InProcessBackend::is_open() const {
    std::lock_guard lock(mutex_);
    return open_;
}

bool InProcessBackend::configure(const LineSettings& settings) {
    if (settings.baud_rate <= 0) return false;
    std::lock_guard lock(mutex_);
    settings_ = settings;
    return true;
}

bool InProcessBackend::purge(PurgeKind kind) {
    std::lock_guard lock(mutex_);
    if (!open_) return false;
    if (kind != PurgeKind::Unsent) {
        // Only what has arrived can be dropped: a reply the module is still preparing comes later.
        const Clock::time_point now = Clock::now();
        std::erase_if(pending_, [now](const Pending& p) { return p.due <= now; });
        line_error_pending_ = false;
    }
    return true;  // nothing ever waits to be sent
}

double InProcessBackend::character_time_ms() const {
    const bool parity = settings_.parity_code != 0 && settings_.parity_code != 3;
    const int bits = 1 + settings_.data_bits + (parity ? 1 : 0) + settings_.stop_bits;
    return 1000.0 * bits / settings_.baud_rate;
}

WaitOutcome InProcessBackend::write(std::string_view bytes, platform::Event& stop) {
    if (stop.is_set()) return WaitOutcome::Stopped;
    if (!is_open()) return WaitOutcome::LineError;
    if (unplugged_) return WaitOutcome::Readable;              // the characters leave, nobody hears them
    if (requires_rts_ && !rts_) return WaitOutcome::Readable;  // the adapter's transmitter is off
    {
        std::lock_guard lock(mutex_);
        if ((module_baud_ != 0 && settings_.baud_rate != module_baud_) ||
            (module_ && !module_->hears(settings_)))
            return WaitOutcome::Readable;  // garbage
    }

    // Silence ends a Modbus RTU frame. A frame may come one character per write (direction control by RTS),
    // so only a pause well beyond the 3.5 character times of the standard counts as one.
    const Clock::time_point started = Clock::now();
    bool quiet = false;
    {
        std::lock_guard lock(mutex_);
        const auto gap = std::max<Clock::duration>(
            kIdleGap, std::chrono::duration_cast<Clock::duration>(
                          std::chrono::duration<double, std::milli>(3.5 * character_time_ms())));
        quiet = started - last_write_ > gap;
        last_write_ = started;
    }
    if (quiet) module_->line_idle();
    auto replies = module_->hear(bytes);
    const Faults faults = module_->faults();

    std::lock_guard lock(mutex_);
    if (!open_) return WaitOutcome::LineError;
    if (faults.line_error) {
        line_error_pending_ = true;  // the reply is lost in the disturbance
    } else {
        const Clock::time_point now = Clock::now();
        for (auto& [reply, request_chars] : replies) {
            double line_ms = 0;
            if (line_timing_)
                line_ms = static_cast<double>(request_chars + reply.size()) * character_time_ms();
            const auto due = now + module_->take_reply_delay() +
                             std::chrono::duration_cast<Clock::duration>(
                                 std::chrono::duration<double, std::milli>(line_ms));
            pending_.push_back({due, std::move(reply)});
        }
    }
    queued_.set();
    return WaitOutcome::Readable;
}

WaitOutcome InProcessBackend::wait_readable(std::chrono::milliseconds timeout, platform::Event& stop) {
    const bool forever = timeout.count() < 0;
    const Clock::time_point deadline = forever ? Clock::time_point::max() : Clock::now() + timeout;
    for (;;) {
        if (stop.is_set()) return WaitOutcome::Stopped;
        const Clock::time_point now = Clock::now();
        Clock::time_point wake = deadline;
        {
            std::lock_guard lock(mutex_);
            if (line_error_pending_) {
                line_error_pending_ = false;
                return WaitOutcome::LineError;
            }
            if (!pending_.empty()) {
                if (pending_.front().due <= now) return WaitOutcome::Readable;
                wake = std::min(wake, pending_.front().due);
            }
        }
        if (now >= deadline) return WaitOutcome::TimedOut;
        std::chrono::milliseconds wait(-1);
        if (wake != Clock::time_point::max()) wait = std::chrono::ceil<std::chrono::milliseconds>(wake - now);
        if (platform::wait_any({&stop, &queued_}, wait) == 0) return WaitOutcome::Stopped;
    }
}

std::size_t InProcessBackend::read_available(char* buffer, std::size_t max) {
    std::lock_guard lock(mutex_);
    const Clock::time_point now = Clock::now();
    std::size_t count = 0;
    while (count < max && !pending_.empty() && pending_.front().due <= now) {
        std::string& chars = pending_.front().chars;
        const std::size_t take = std::min(max - count, chars.size());
        std::memcpy(buffer + count, chars.data(), take);
        count += take;
        chars.erase(0, take);
        if (chars.empty()) pending_.pop_front();
    }
    return count;
}

}  // namespace varda::sim
