#pragma once

#include <atomic>
#include <chrono>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

#include "core/link/serial_backend.h"
#include "core/platform/events.h"
#include "sim/simulated_module.h"

namespace varda::sim {

// A serial device that is a SimulatedModule in the same process: what is written goes straight to the
// module, and its replies become readable after the module's reply delay and, with line timing on, after the
// time the request and the reply would take on a real line. The fast path for tests and the demo.
class InProcessBackend final : public SerialBackend {
  public:
    explicit InProcessBackend(std::shared_ptr<SimulatedModule> module);

    // Another module on the line (a module swapped while the program runs); only while no exchange runs.
    void set_module(std::shared_ptr<SimulatedModule> module) { module_ = std::move(module); }
    // An unplugged device cannot be opened, and an open one stops hearing what is written.
    void set_unplugged(bool unplugged) { unplugged_ = unplugged; }
    void set_line_timing(bool on) { line_timing_ = on; }
    // A semi-automatic adapter: its transmitter sends only while RTS is raised.
    void set_requires_rts(bool on) { requires_rts_ = on; }
    // The module hears only frames sent at this baud rate (0: any), as on a real line.
    void set_module_baud_rate(int baud) { module_baud_ = baud; }
    const LineSettings& line_settings() const { return settings_; }
    bool rts() const { return rts_; }

    bool open(const std::string& path, std::string& error) override;
    void close() override;
    bool is_open() const override;
    bool configure(const LineSettings& settings) override;
    bool purge(PurgeKind kind) override;
    WaitOutcome write(std::string_view bytes, platform::Event& stop) override;
    void set_rts(bool raised) override { rts_ = raised; }
    WaitOutcome wait_readable(std::chrono::milliseconds timeout, platform::Event& stop) override;
    std::size_t read_available(char* buffer, std::size_t max) override;

  private:
    using Clock = std::chrono::steady_clock;
    struct Pending {
        Clock::time_point due;
        std::string chars;
    };

    // Milliseconds one character takes with the configured format.
    double character_time_ms() const;

    std::shared_ptr<SimulatedModule> module_;
    std::atomic<bool> unplugged_ = false;
    std::atomic<bool> line_timing_ = false;
    std::atomic<bool> rts_ = false;
    std::atomic<bool> requires_rts_ = false;
    std::atomic<int> module_baud_ = 0;

    mutable std::mutex mutex_;
    bool open_ = false;
    LineSettings settings_;
    std::deque<Pending> pending_;
    bool line_error_pending_ = false;
    Clock::time_point last_write_{};
    platform::Event queued_{platform::Event::Reset::Auto};  // wakes a waiter when something was queued
};

}  // namespace varda::sim
