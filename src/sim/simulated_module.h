#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/link/serial_backend.h"
#include "core/protocol/frame_codec.h"

// A module that answers the Ravelin protocol, so that everything above the serial link can be exercised
// without hardware: by tests (through InProcessBackend), by varda-sim (on a pseudo-terminal) and by the demo.
namespace varda::sim {

// One parameter the module knows. Values are kept as value texts, in the form the configurator shows them,
// and are encoded by data type on every read.
struct Entry {
    std::string name;        // network name
    int index = -1;          // -1: not indexed
    int address_offset = 0;  // answered at the module address plus this (channel scanners)
    // A measured value of the models that report status-or-value: a number travels as 2 bytes (a whole
    // number) or as 6 bytes (a float and two spare bytes), never as one byte, which would read as a status.
    bool measured = false;
    std::string type;   // data type text ("int", "float", "STORED_DOT", "None:Even:Odd", ...)
    std::string value;  // value text (UTF-8)
    bool read_only = false;
    bool has_attributes = true;
    int access = 1;  // 1 read/write, 0 read-only
    int user = 0;
};

// Misbehaviour on demand. May be changed at any time; takes effect with the next frame.
struct Faults {
    int silent_every = 0;  // no reply to every Nth request for the module, counted from the change; 0 off
    bool always_silent = false;   // no reply at all
    int silent_after = 0;         // no reply once this many requests were answered (0 off): a module gone
    int silent_first = 0;         // no reply to the first this many requests: a module still starting up
    int reply_faults_after = 0;   // the reply faults below start after this many requests (0: at once)
    bool bad_checksum = false;    // replies carry a wrong checksum
    bool wrong_hash = false;      // replies carry a hash that is neither the requested one nor "n.Err"
    bool garbage_header = false;  // replies start with a garbage character instead of "#"
    std::optional<std::uint8_t> error_code{};  // answer every request with "n.Err" and this code
    std::chrono::milliseconds reply_delay{0};  // applied by the transport before the reply leaves
    bool line_error = false;                   // applied by transports that can express a line error
    int garble_next = 0;                       // the next this many replies carry a wrong checksum
    bool clears_read_flag = false;             // replies never repeat the request's read flag
    // An unkind line, drawn from a generator seeded with `seed`: this share of the replies is late by up to
    // `late_max` more (past the configurator's time-out when late_max is longer), and these shares are lost
    // or garbled.
    int late_percent = 0;
    std::chrono::milliseconds late_max{0};
    int drop_percent = 0;
    int garble_percent = 0;
    unsigned seed = 1;
};

// A reply and the length of the request it answers.
struct Answer {
    std::string reply;
    std::size_t request_chars = 0;
};

struct LogEntry {
    enum class Direction { Received, Sent };
    Direction direction = Direction::Received;
    std::string frame;
};

// Module error codes the simulation answers with.
inline constexpr std::uint8_t kErrReadOnly = 0x03;
inline constexpr std::uint8_t kErrNoAttributes = 0x08;
inline constexpr std::uint8_t kErrNoFunction = 0x29;  // the value cannot be encoded
inline constexpr std::uint8_t kErrDescriptorNotFound = 0x28;
inline constexpr std::uint8_t kErrIndexOutOfRange = 0x35;
inline constexpr std::uint8_t kErrValueRejected = 0x37;  // written data that does not decode

class SimulatedModule {
  public:
    explicit SimulatedModule(int address = 16, int address_width = 8);
    SimulatedModule(const SimulatedModule&) = delete;
    SimulatedModule& operator=(const SimulatedModule&) = delete;

    int address() const;
    void set_address(int address);
    int address_width() const;
    void set_address_width(int width);  // 11 means 11-bit addressing, anything else 8-bit

    // The protocol the module speaks now. In a foreign mode it answers only its switch-over frame.
    SwitchOverMode mode() const;
    void set_mode(SwitchOverMode mode);

    // A command whose reply is computed rather than kept as a value (the calibration task): called with the
    // request's direction and data bytes, under the module's lock, so it must not call back in. It returns
    // the reply's data bytes, or nothing for a request the module refuses. An empty handler removes it.
    using CommandHandler = std::function<std::optional<Bytes>(bool read, std::span<const std::uint8_t> data)>;
    void set_command(std::string_view name, CommandHandler handler);
    // Sees every read of a kept value just before it is answered (and may change the value, as a live
    // measurement does) and every write just after it was stored; called under the module's lock, so it
    // must not call back in. An empty hook removes it.
    using EntryHook = std::function<void(bool read, Entry& entry)>;
    void set_entry_hook(EntryHook hook);

    // Adds a parameter; one with the same name (by hash) and index is replaced.
    void add(Entry entry);
    // Names are compared as the module compares them: by hash.
    bool set_value(std::string_view name, int index, std::string text, int address_offset = 0);
    std::optional<std::string> value(std::string_view name, int index = -1, int address_offset = 0) const;
    std::optional<Entry> entry(std::string_view name, int index = -1, int address_offset = 0) const;
    // The module also answers this many addresses after its own (offsets 1 .. span-1), where channel
    // scanners are read; 1 answers only its own address.
    void set_address_span(int span);
    std::vector<Entry> entries() const;

    Faults faults() const;
    void set_faults(const Faults& faults);
    // How long the transport holds the next reply back: the fixed delay, and for a late one more.
    std::chrono::milliseconds take_reply_delay();

    // The baud rate the module listens at, once APLY has set one from its "bPS" value (0: any rate, as
    // before the first APLY). At another rate a real module hears only garbage, so the line stays silent.
    int line_baud() const;
    void set_line_baud(int baud);
    // Whether the module hears a frame sent at this rate.
    bool hears(int baud) const;
    // Whether it hears a frame sent with this character format: APLY sets the parity ("PrtY") and the
    // stop bits ("Sbit") it listens with too; before, any. A negative parity code is "none or even" (what a
    // pseudo-terminal can tell).
    bool hears(const LineSettings& line) const;
    std::optional<int> line_parity() const;  // the port's parity code, once APLY has set one
    int line_stop_bits() const;              // 0 until APLY has set them

    // Characters from the line; returns the complete replies to send, in order (often none).
    std::vector<std::string> feed(std::string_view chars);
    // The same, with the length of the frame each reply answers (its own time on the line).
    std::vector<Answer> hear(std::string_view chars);
    // The line has gone quiet. A Modbus RTU frame has no end character, so silence ends a partial one.
    void line_idle();

    // Frames received (complete ones, whatever their fate) and sent.
    std::vector<LogEntry> log() const;
    void clear_log();
    // Called for every frame logged, outside the module's lock; must not be used to call back in.
    void set_log_sink(std::function<void(const LogEntry&)> sink);

    // Valid requests addressed to the module, per hash ("APLY" included, though never answered).
    int requests_seen(std::uint16_t hash) const;
    int aply_received() const { return requests_seen(kHashAply); }
    int requests_total() const;
    void reset_counters();

  private:
    std::optional<std::string> handle_frame(std::string_view frame);
    std::optional<std::string> handle_ravelin(std::string_view frame);
    std::optional<std::string> handle_switch_over(std::string_view frame);
    bool take_silent_turn();
    // APLY: the module's network settings ("Addr", "bPS") take effect.
    void apply_network_settings();
    Bytes answer(bool read, std::uint16_t hash, std::span<const std::uint8_t> data,
                 std::uint16_t& reply_hash);
    Bytes attribute_exchange(bool read, std::span<const std::uint8_t> data, std::uint16_t& reply_hash);
    std::string reply_frame(std::uint16_t hash, std::span<const std::uint8_t> data, int address,
                            bool read_flag) const;
    Entry* find(std::uint16_t hash, int index, int offset);
    const Entry* find(std::uint16_t hash, int index, int offset) const;
    // Entries of the request being answered are those at its address offset.
    Entry* find(std::uint16_t hash, int index) { return find(hash, index, offset_); }
    bool indexed_name(std::uint16_t hash) const;
    // Whether the reply faults apply to the request being answered.
    bool reply_faults_active() const { return addressed_frames_ > faults_.reply_faults_after; }
    void record(LogEntry::Direction direction, std::string frame);

    mutable std::mutex mutex_;
    std::mt19937 unkind_{1};  // draws the unkind line's lateness, losses and garbles
    // Whether this draw (0 to 99) falls in the share.
    bool draw(int percent);
    int address_;
    int address_width_;
    int address_span_ = 1;
    int line_baud_ = 0;
    std::optional<int> line_parity_;
    int line_stop_bits_ = 0;
    int offset_ = 0;  // address offset of the request being answered
    SwitchOverMode mode_ = SwitchOverMode::Ravelin;
    std::vector<Entry> entries_;
    std::map<std::uint16_t, CommandHandler> commands_;
    EntryHook entry_hook_;
    Faults faults_;
    std::string pending_;  // characters of the frame being received
    std::vector<LogEntry> log_;
    std::vector<LogEntry> unsent_to_sink_;
    std::function<void(const LogEntry&)> sink_;
    std::map<std::uint16_t, int> requests_;
    int requests_total_ = 0;
    int addressed_frames_ = 0;  // frames for this module, for the every-Nth silence
};

// A small module a user can try: identification, network parameters and a few values of each kind.
void add_demo_parameters(SimulatedModule& module, std::string_view model = "VK05");

}  // namespace varda::sim
