#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "core/link/frame_tap.h"
#include "core/link/line_stats.h"
#include "core/link/serial_backend.h"
#include "core/platform/events.h"
#include "core/platform/serial_ports.h"

namespace varda {

// What the port can be opened with: the baud rates, 5 to 8 data bits, 1 or 2 stop bits.
std::span<const int> supported_baud_rates();
bool supported_baud_rate(int baud);
// What one character takes on the line with these settings, and the reply time-out of ordinary requests
// derived from it (220 ms at 9600 baud with 8 data bits, no parity and 1 stop bit).
double character_time_ms(const PortSettings& settings);
std::uint16_t ordinary_reply_timeout_ms(const PortSettings& settings);
inline bool supported_data_bits(int bits) {
    return bits >= 5 && bits <= 8;
}
inline bool supported_stop_bits(int bits) {
    return bits == 1 || bits == 2;
}

// How a reply ends: at the carriage return (Ravelin, Modbus ASCII, DCON), or after a number of
// characters (Modbus RTU switch-over replies, which have no end character).
struct ReplyEnd {
    enum class Kind { EventCharacter, CharacterCount };
    Kind kind = Kind::EventCharacter;
    std::size_t count = 0;
};

// What Sio::open did. A port that opened but refuses its settings stays open.
enum class OpenResult {
    Opened = 0,
    Failed = -1,               // cannot be opened
    UnsupportedSettings = -2,  // parity, stop bits or baud rate
    UnsupportedDataBits = -3,  // outside 5..8
};
// What Sio::close and Sio::purge did.
enum class PortResult { Done = 0, Failed = -1, Closed = -2 };
// What a transaction (and continue_reply, send, listen) did.
enum class TransferResult {
    Stopped = -1,    // the port is closed, or the stop event was set
    Delivered = 0,   // characters delivered; the count may be 0
    Timeout = 2,     // no reply within the reply time-out
    LineError = 3,   // line error or break
    DeviceGone = 4,  // the port is closed and open_error() says why
};

// Who switches the RS-485 transmitter: the adapter itself ("Auto"), the serial driver (kernel RS-485
// mode, chosen for semi-automatic control when the driver has it), RTS raised by us around each frame
// (the fallback), or the network gateway.
enum class DirectionControl { ByAdapter, ByDriver, ByRts, ByGateway };
// "automatic by the adapter", "automatic by the driver (kernel RS-485)", "by RTS (the driver has no RS-485
// mode)", "by the gateway".
std::string_view direction_control_text(DirectionControl control);

inline constexpr std::size_t kMaxReply = 31;  // characters a transaction delivers at most

struct Reply {
    std::array<char, kMaxReply> chars{};
    std::size_t count = 0;
    std::string_view text() const { return {chars.data(), count}; }
};

// The one serial port through which the configurator talks to a module: settings, derived timing,
// open/close/purge and the transaction (send a frame, collect the reply).
class Sio {
  public:
    explicit Sio(std::unique_ptr<SerialBackend> backend);
    ~Sio();
    Sio(const Sio&) = delete;
    Sio& operator=(const Sio&) = delete;

    PortSettings settings;

    OpenResult open();
    // Closed when it already was; Failed when the purge before closing failed.
    PortResult close();
    PortResult purge(PurgeKind kind);
    bool is_open() const;

    TransferResult transaction(std::string_view frame, Reply& reply, ReplyEnd end = {});
    // Waits for a further reply to the frame of the last transaction, until that transaction's reply
    // time-out ends: the one delivered was not the answer (a late reply to an earlier frame). Same results.
    TransferResult continue_reply(Reply& reply, ReplyEnd end = {});
    // For the bus scan, whose replies may come late, after the next frame went out: sends a frame without
    // waiting (stale characters are dropped first: Stopped, LineError or Delivered), and listen() gathers the
    // replies to it and to frames before it, one per call, until `until`. A reply still arriving then is
    // kept whole for the next listen() (reply_begun() says so) rather than dropped; the next send() drops it.
    TransferResult send(std::string_view frame);
    TransferResult listen(Reply& reply, std::chrono::steady_clock::time_point until);
    bool reply_begun() const { return !after_reply_.empty(); }

    platform::Event& stop_event() { return stop_; }

    // Timing derived by open(); 0 while closed.
    float character_time_ms() const { return character_time_ms_; }
    std::uint16_t reply_timeout_ms() const { return reply_timeout_ms_; }
    // For a command the module answers slowly; the next open() derives the time-out again.
    void set_reply_timeout_ms(std::uint16_t ms) { reply_timeout_ms_ = ms; }
    // Why the last open() failed, for the message the caller shows.
    const std::string& open_error() const { return open_error_; }
    // Counts the successful opens: what was learnt about the module on the line holds until the next.
    unsigned open_count() const { return open_count_.load(); }

    SerialBackend& backend() { return *backend_; }
    // How the direction is switched for the next frame with the adapter mode chosen now (the mode may change
    // while the port is open; the driver is asked for its RS-485 mode by open() and by each transaction).
    DirectionControl direction_control() const;
    // Whoever listens to the frames on the line (the bus monitor, a trace); nullptr: nobody, and then the
    // exchange does nothing more than it would without.
    void set_tap(FrameTap* tap) { tap_.store(tap); }
    FrameTap* tap() const { return tap_.load(); }
    // What the line did: counted for every frame, whoever listens.
    LineStats& line_stats() { return stats_; }
    // Closes the port and puts another device under it (the simulated module when there is no hardware);
    // the settings stay. The caller holds the line's lock (ModuleContext::line_lock).
    void replace_backend(std::unique_ptr<SerialBackend> backend);

  private:
    TransferResult receive(Reply& reply, ReplyEnd end, bool keep_partial);
    // Settles direction_ for the adapter mode now chosen, switching the driver's RS-485 mode on or off.
    DirectionControl settle_direction();
    void report_received(TapFrame::End end, std::string_view bytes);
    // After a line error: DeviceGone when the device has gone for good (the port is then closed).
    TransferResult line_error_result();
    // Before a request: whatever is still waiting on the line answers nothing now; it goes, and the tap sees
    // it.
    void discard_stale();

    std::unique_ptr<SerialBackend> backend_;
    platform::Event stop_{platform::Event::Reset::Manual};
    float character_time_ms_ = 0;
    std::uint16_t reply_timeout_ms_ = 0;
    std::string open_error_;
    std::atomic<unsigned> open_count_{0};
    std::chrono::steady_clock::time_point reply_deadline_{};
    std::string after_reply_;  // characters that came behind the last reply delivered
    std::atomic<FrameTap*> tap_{nullptr};
    LineStats stats_;
    std::chrono::steady_clock::time_point sent_at_{};
    bool driver_direction_on_ = false;                    // the driver's RS-485 mode is switched on
    std::atomic<bool> driver_direction_refused_ = false;  // the driver refused it since the port was opened
};

}  // namespace varda
