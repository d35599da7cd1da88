#include "sim/simulated_module.h"

#include <bit>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "core/platform/numbers.h"
#include "core/platform/text.h"
#include "core/protocol/my_converter.h"
#include "core/protocol/value_type.h"

namespace varda::sim {
namespace {

constexpr std::size_t kMaxFrameChars = 64;  // longer input without an end character is line noise
constexpr std::size_t kLogLimit = 10000;    // oldest entries go first; varda-sim may run for days
constexpr std::size_t kModbusRtuFrame = 8;  // address, function 5, coil, value, CRC
constexpr std::size_t kJurdExtraBytes = 3;
constexpr std::size_t kIndexBytes = 2;

const std::uint16_t kHashJurd = hash_name("JuRD");

std::string hex2(unsigned value) {
    char buf[3];
    std::snprintf(buf, sizeof buf, "%02X", value & 0xFFu);
    return buf;
}

// Where a frame starts and ends in each protocol. Modbus RTU has neither: it is counted (and cut by silence).
struct Framing {
    char start;
    char end;
};
Framing framing_of(SwitchOverMode mode) {
    switch (mode) {
        case SwitchOverMode::ModbusAscii:
            return {':', '\n'};
        case SwitchOverMode::Dcon:
            return {'%', '\r'};
        case SwitchOverMode::Ravelin:
        case SwitchOverMode::ModbusRtu:
            break;
    }
    return {'#', '\r'};
}

bool type_is(std::string_view type_text, ValueKind kind) {
    return ValueType(type_text).kind() == kind;
}

// The value text as data bytes, or nullopt when the module cannot encode it. `room` is what the frame
// leaves for the value; only texts can be long enough to need it.
std::optional<Bytes> encode_value(const Entry& e, std::size_t room) {
    const bool identification = platform::iequals(e.name, "dev") || platform::iequals(e.name, "ver");
    if (identification || type_is(e.type, ValueKind::String) || type_is(e.type, ValueKind::Asci)) {
        std::string raw = platform::utf8_to_cp1251(e.value);
        if (raw.size() > room) raw.resize(room);  // a module's text field has a fixed size
        return Bytes(raw.rbegin(), raw.rend());   // texts travel last character first
    }
    if (e.measured) {
        const auto number = platform::leading_double(e.value);
        const double v = number ? number->value : 0.0;
        const bool whole =
            number && number->length == e.value.size() && e.value.find('.') == std::string::npos;
        if (whole) {
            const auto n = static_cast<std::uint16_t>(static_cast<std::int16_t>(v));
            return Bytes{static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n)};
        }
        const auto bits = std::bit_cast<std::uint32_t>(static_cast<float>(v));
        return Bytes{static_cast<std::uint8_t>(bits >> 24),
                     static_cast<std::uint8_t>(bits >> 16),
                     static_cast<std::uint8_t>(bits >> 8),
                     static_cast<std::uint8_t>(bits),
                     0,
                     0};
    }
    if (type_is(e.type, ValueKind::Sint) || type_is(e.type, ValueKind::Sint16)) {
        const auto v =
            static_cast<std::uint16_t>(static_cast<std::int16_t>(std::strtol(e.value.c_str(), nullptr, 10)));
        return Bytes{static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)};
    }
    MyConverter converter(e.name);
    converter.set_data_type(e.type);
    converter.SetValueText(e.value);
    Bytes data;
    if (converter.ConvertToData(data) != MyConverter::EncodeResult::Encoded || data.size() > room)
        return std::nullopt;
    return data;
}

}  // namespace

SimulatedModule::SimulatedModule(int address, int address_width)
    : address_(address), address_width_(address_width) {}

int SimulatedModule::address() const {
    std::lock_guard lock(mutex_);
    return address_;
}

void SimulatedModule::set_address(int address) {
    std::lock_guard lock(mutex_);
    address_ = address;
}

int SimulatedModule::address_width() const {
    std::lock_guard lock(mutex_);
    return address_width_;
}

void SimulatedModule::set_address_width(int width) {
    std::lock_guard lock(mutex_);
    address_width_ = width;
}

int SimulatedModule::line_baud() const {
    std::lock_guard lock(mutex_);
    return line_baud_;
}

void SimulatedModule::set_line_baud(int baud) {
    std::lock_guard lock(mutex_);
    line_baud_ = baud;
}

bool SimulatedModule::hears(int baud) const {
    std::lock_guard lock(mutex_);
    return line_baud_ == 0 || baud == 0 || baud == line_baud_;
}

bool SimulatedModule::hears(const LineSettings& line) const {
    const auto parity_kind = [](int code) { return code == 0 ? 3 : code; };  // 0 and 3 both mean none
    std::lock_guard lock(mutex_);
    const bool parity_heard =
        !line_parity_ || (line.parity_code < 0 ? parity_kind(*line_parity_) == 3 || *line_parity_ == 1
                                               : parity_kind(line.parity_code) == parity_kind(*line_parity_));
    return (line_baud_ == 0 || line.baud_rate == 0 || line.baud_rate == line_baud_) && parity_heard &&
           (line_stop_bits_ == 0 || line.stop_bits == line_stop_bits_);
}

std::optional<int> SimulatedModule::line_parity() const {
    std::lock_guard lock(mutex_);
    return line_parity_;
}

int SimulatedModule::line_stop_bits() const {
    std::lock_guard lock(mutex_);
    return line_stop_bits_;
}

void SimulatedModule::apply_network_settings() {
    const auto number = [this](std::string_view name) -> std::optional<int> {
        const Entry* e = find(hash_name(name), -1, 0);
        if (!e) return std::nullopt;
        int value = 0;
        const auto [end, ec] = std::from_chars(e->value.data(), e->value.data() + e->value.size(), value);
        if (ec != std::errc() || value <= 0) return std::nullopt;
        return value;
    };
    if (const auto address = number("Addr")) address_ = *address;
    if (const auto baud = number("bPS")) line_baud_ = *baud;
    if (const auto stop_bits = number("Sbit"); stop_bits == 1 || stop_bits == 2) line_stop_bits_ = *stop_bits;
    if (const Entry* parity = find(hash_name("PrtY"), -1, 0)) {
        // The port's parity codes for the value names None, Even and Odd.
        constexpr std::pair<std::string_view, int> kParities[] = {{"None", 3}, {"Even", 1}, {"Odd", 4}};
        for (const auto& [name, code] : kParities)
            if (platform::iequals(parity->value, name)) line_parity_ = code;
    }
}

SwitchOverMode SimulatedModule::mode() const {
    std::lock_guard lock(mutex_);
    return mode_;
}

void SimulatedModule::set_mode(SwitchOverMode mode) {
    std::lock_guard lock(mutex_);
    mode_ = mode;
    pending_.clear();
}

void SimulatedModule::add(Entry entry) {
    std::lock_guard lock(mutex_);
    entry.access = entry.access ? 1 : 0;
    entry.user = entry.user ? 1 : 0;
    if (Entry* existing = find(hash_name(entry.name), entry.index, entry.address_offset)) {
        *existing = std::move(entry);
    } else {
        entries_.push_back(std::move(entry));
    }
}

bool SimulatedModule::set_value(std::string_view name, int index, std::string text, int address_offset) {
    std::lock_guard lock(mutex_);
    Entry* e = find(hash_name(name), index, address_offset);
    if (!e) return false;
    e->value = std::move(text);
    return true;
}

std::optional<std::string> SimulatedModule::value(std::string_view name, int index,
                                                  int address_offset) const {
    std::lock_guard lock(mutex_);
    const Entry* e = find(hash_name(name), index, address_offset);
    if (!e) return std::nullopt;
    return e->value;
}

std::optional<Entry> SimulatedModule::entry(std::string_view name, int index, int address_offset) const {
    std::lock_guard lock(mutex_);
    const Entry* e = find(hash_name(name), index, address_offset);
    if (!e) return std::nullopt;
    return *e;
}

void SimulatedModule::set_command(std::string_view name, CommandHandler handler) {
    std::lock_guard lock(mutex_);
    if (handler) {
        commands_[hash_name(name)] = std::move(handler);
    } else {
        commands_.erase(hash_name(name));
    }
}

void SimulatedModule::set_entry_hook(EntryHook hook) {
    std::lock_guard lock(mutex_);
    entry_hook_ = std::move(hook);
}

std::vector<Entry> SimulatedModule::entries() const {
    std::lock_guard lock(mutex_);
    return entries_;
}

Faults SimulatedModule::faults() const {
    std::lock_guard lock(mutex_);
    return faults_;
}

void SimulatedModule::set_faults(const Faults& faults) {
    std::lock_guard lock(mutex_);
    if (faults.silent_every != faults_.silent_every) addressed_frames_ = 0;  // count from the change
    if (faults.seed != faults_.seed) unkind_.seed(faults.seed);
    faults_ = faults;
}

bool SimulatedModule::draw(int percent) {
    if (percent <= 0) return false;
    return std::uniform_int_distribution<int>(0, 99)(unkind_) < percent;
}

std::chrono::milliseconds SimulatedModule::take_reply_delay() {
    std::lock_guard lock(mutex_);
    auto delay = faults_.reply_delay;
    if (faults_.late_max.count() > 0 && draw(faults_.late_percent))
        delay += std::chrono::milliseconds(
            std::uniform_int_distribution<long long>(0, faults_.late_max.count())(unkind_));
    return delay;
}

std::vector<std::string> SimulatedModule::feed(std::string_view chars) {
    std::vector<std::string> replies;
    for (Answer& answer : hear(chars))
        replies.push_back(std::move(answer.reply));
    return replies;
}

std::vector<Answer> SimulatedModule::hear(std::string_view chars) {
    std::vector<Answer> replies;
    std::vector<LogEntry> logged;
    std::function<void(const LogEntry&)> sink;
    {
        std::lock_guard lock(mutex_);
        for (const char c : chars) {
            // The mode may change in the middle of the input (after a switch-over), and the framing with it.
            std::optional<std::string> frame;
            if (mode_ == SwitchOverMode::ModbusRtu) {
                pending_.push_back(c);
                if (pending_.size() == kModbusRtuFrame) frame = std::exchange(pending_, {});
            } else {
                const Framing framing = framing_of(mode_);
                if (c == framing.start) {
                    pending_.assign(1, c);  // a new header starts over, as a module resynchronises on it
                } else if (!pending_.empty()) {
                    pending_.push_back(c);
                    if (c == framing.end) {
                        frame = std::exchange(pending_, {});
                    } else if (pending_.size() > kMaxFrameChars) {
                        pending_.clear();
                    }
                }
            }
            if (frame) {
                if (auto reply = handle_frame(*frame)) replies.push_back({std::move(*reply), frame->size()});
            }
        }
        logged.swap(unsent_to_sink_);
        sink = sink_;
    }
    if (sink)
        for (const auto& e : logged)
            sink(e);
    return replies;
}

void SimulatedModule::line_idle() {
    std::vector<LogEntry> logged;
    std::function<void(const LogEntry&)> sink;
    {
        std::lock_guard lock(mutex_);
        if (mode_ != SwitchOverMode::ModbusRtu || pending_.empty()) return;
        record(LogEntry::Direction::Received, std::exchange(pending_, {}));
        logged.swap(unsent_to_sink_);
        sink = sink_;
    }
    if (sink)
        for (const auto& e : logged)
            sink(e);
}

std::vector<LogEntry> SimulatedModule::log() const {
    std::lock_guard lock(mutex_);
    return log_;
}

void SimulatedModule::clear_log() {
    std::lock_guard lock(mutex_);
    log_.clear();
}

void SimulatedModule::set_log_sink(std::function<void(const LogEntry&)> sink) {
    std::lock_guard lock(mutex_);
    sink_ = std::move(sink);
}

int SimulatedModule::requests_seen(std::uint16_t hash) const {
    std::lock_guard lock(mutex_);
    const auto it = requests_.find(hash);
    return it == requests_.end() ? 0 : it->second;
}

int SimulatedModule::requests_total() const {
    std::lock_guard lock(mutex_);
    return requests_total_;
}

void SimulatedModule::reset_counters() {
    std::lock_guard lock(mutex_);
    requests_.clear();
    requests_total_ = 0;
    addressed_frames_ = 0;
}

// ---- under the lock --------------------------------------------------------------------------------

void SimulatedModule::record(LogEntry::Direction direction, std::string frame) {
    LogEntry e{direction, std::move(frame)};
    if (sink_) unsent_to_sink_.push_back(e);
    if (log_.size() >= kLogLimit) log_.erase(log_.begin(), log_.begin() + kLogLimit / 2);
    log_.push_back(std::move(e));
}

std::optional<std::string> SimulatedModule::handle_frame(std::string_view frame) {
    record(LogEntry::Direction::Received, std::string(frame));
    auto reply = mode_ == SwitchOverMode::Ravelin ? handle_ravelin(frame) : handle_switch_over(frame);
    if (reply) record(LogEntry::Direction::Sent, *reply);
    return reply;
}

bool SimulatedModule::take_silent_turn() {
    ++addressed_frames_;
    if (faults_.always_silent) return true;
    if (addressed_frames_ <= faults_.silent_first) return true;
    if (faults_.silent_after > 0 && addressed_frames_ > faults_.silent_after) return true;
    return faults_.silent_every > 0 && addressed_frames_ % faults_.silent_every == 0;
}

std::optional<std::string> SimulatedModule::handle_switch_over(std::string_view frame) {
    const auto expected = build_switch_over(mode_, address_, address_width_);
    if (!expected || frame != *expected) return std::nullopt;
    if (take_silent_turn()) return std::nullopt;

    std::string reply;
    if (mode_ == SwitchOverMode::Dcon) {
        reply = "!" + hex2(static_cast<unsigned>(address_));
        unsigned sum = 0;
        for (const char c : reply)
            sum += static_cast<unsigned char>(c);
        reply += hex2(sum) + "\r";
    } else {
        reply = frame;  // a write-single-coil reply repeats the request
    }
    if (faults_.bad_checksum) {
        // Spoil the last checksum character: the CRC byte in RTU, the last digit before CR (LF) otherwise.
        const std::size_t at = mode_ == SwitchOverMode::ModbusRtu     ? reply.size() - 1
                               : mode_ == SwitchOverMode::ModbusAscii ? reply.size() - 3
                                                                      : reply.size() - 2;
        reply[at] = static_cast<char>(mode_ == SwitchOverMode::ModbusRtu ? reply[at] ^ 0x5A
                                                                         : (reply[at] == '0' ? '1' : '0'));
    }
    mode_ = SwitchOverMode::Ravelin;
    pending_.clear();
    return reply;
}

std::optional<std::string> SimulatedModule::handle_ravelin(std::string_view frame) {
    // Anything malformed is treated as a frame the module never heard: a real module stays silent.
    if (frame.size() < 2) return std::nullopt;
    const auto bytes = decode_buffer(frame.substr(1, frame.size() - 2));
    if (!bytes || bytes->size() < 6) return std::nullopt;
    const Bytes& b = *bytes;
    const std::size_t n = b[1] & 0x0F;
    if (b.size() != 6 + n) return std::nullopt;
    if (hash_buffer(std::span(b).first(4 + n)) != (b[4 + n] << 8 | b[5 + n])) return std::nullopt;

    const bool wide = address_width_ == 11;
    const int to = wide ? (b[0] << 3 | b[1] >> 5) : b[0];
    const int own = wide ? (address_ & 0x7FF) : (address_ & 0xFF);
    if (to != 255 && (to < own || to >= own + address_span_)) return std::nullopt;
    offset_ = to == 255 ? 0 : to - own;

    const bool read = (b[1] & 0x10) != 0;
    const auto hash = static_cast<std::uint16_t>(b[2] << 8 | b[3]);
    ++requests_[hash];
    ++requests_total_;
    if (take_silent_turn() || draw(faults_.drop_percent)) return std::nullopt;
    if (hash == kHashAply) {
        // Never answered; what was written to the network parameters now applies.
        apply_network_settings();
        return std::nullopt;
    }

    std::uint16_t reply_hash = hash;
    Bytes data;
    if (faults_.error_code && reply_faults_active()) {
        reply_hash = kHashNErr;
        data = {*faults_.error_code};
    } else {
        data = answer(read, hash, std::span(b).subspan(4, n), reply_hash);
    }
    if (faults_.wrong_hash && reply_faults_active()) {
        reply_hash ^= 0x5555;
        if (reply_hash == kHashNErr || reply_hash == hash) reply_hash ^= 0x0F0F;
    }
    // The reply names the address asked (its own for a broadcast) and repeats the read/write flag.
    std::string reply =
        reply_frame(reply_hash, data, to == 255 ? own : to, read && !faults_.clears_read_flag);
    if ((faults_.garble_next > 0 || draw(faults_.garble_percent)) && reply.size() > 2) {
        if (faults_.garble_next > 0) --faults_.garble_next;
        char& last = reply[reply.size() - 2];  // a checksum character
        last = last == 'G' ? 'H' : 'G';
    }
    return reply;
}

Bytes SimulatedModule::answer(bool read, std::uint16_t hash, std::span<const std::uint8_t> data,
                              std::uint16_t& reply_hash) {
    auto error = [&reply_hash](std::uint8_t code) {
        reply_hash = kHashNErr;
        return Bytes{code};
    };
    if (hash == kHashMstr) return attribute_exchange(read, data, reply_hash);
    if (const auto command = commands_.find(hash); command != commands_.end()) {
        auto reply = command->second(read, data);
        return reply ? std::move(*reply) : error(kErrValueRejected);
    }

    const bool known = std::any_of(entries_.begin(), entries_.end(),
                                   [hash](const Entry& e) { return hash_name(e.name) == hash; });
    if (!known) return error(kErrDescriptorNotFound);

    // A name may be both indexed (a channel's value) and plain (its scanner): a read carries the index as
    // its only two data bytes.
    // A command (a "void" name) carries no value, so its write too holds nothing but the index.
    const Entry* plain = find(hash, -1);
    const bool bare_index = data.size() == kIndexBytes && (read || (plain && plain->type == "void"));
    const bool indexed = indexed_name(hash) && (!plain || bare_index);
    int index = -1;
    auto value_data = data;
    if (indexed) {
        if (data.size() < kIndexBytes) return error(kErrIndexOutOfRange);
        index = data[data.size() - 2] << 8 | data[data.size() - 1];
        value_data = data.first(data.size() - kIndexBytes);
    }
    Entry* e = find(hash, index);
    if (!e) return error(kErrIndexOutOfRange);

    if (!read) {
        if (e->read_only) return error(kErrReadOnly);
        MyConverter converter(e->name);
        converter.set_data_type(e->type);
        // Only a clean decode is stored; a length or pattern the type cannot hold is refused.
        if (converter.ConvertFromData(value_data) != MyConverter::DecodeResult::Decoded)
            return error(kErrValueRejected);
        e->value = converter.value_text();
    }
    if (entry_hook_) entry_hook_(read, *e);

    const bool jurd = hash == kHashJurd;
    const std::size_t room = static_cast<std::size_t>(kMaxRequestData) - (indexed ? kIndexBytes : 0) -
                             (jurd ? kJurdExtraBytes : 0);
    auto encoded = encode_value(*e, room);
    if (!encoded) return error(kErrNoFunction);
    Bytes out = std::move(*encoded);
    if (jurd) out.insert(out.end(), kJurdExtraBytes, 0x00);
    if (indexed) out.insert(out.end(), data.end() - kIndexBytes, data.end());
    return out;
}

Bytes SimulatedModule::attribute_exchange(bool read, std::span<const std::uint8_t> data,
                                          std::uint16_t& reply_hash) {
    auto error = [&reply_hash](std::uint8_t code) {
        reply_hash = kHashNErr;
        return Bytes{code};
    };
    // Layout: [attribute byte, on a write] [0x00, index low byte, for an indexed target] [target hash].
    const std::size_t attribute_bytes = read ? 0 : 1;
    if (data.size() < attribute_bytes + 2) return error(kErrValueRejected);
    const auto rest = data.subspan(attribute_bytes);
    const auto target = static_cast<std::uint16_t>(data[data.size() - 2] << 8 | data[data.size() - 1]);

    const bool known = std::any_of(entries_.begin(), entries_.end(),
                                   [target](const Entry& e) { return hash_name(e.name) == target; });
    if (!known) return error(kErrDescriptorNotFound);

    Entry* e = nullptr;
    if (indexed_name(target)) {
        if (rest.size() != 4) return error(kErrIndexOutOfRange);
        const int wanted = rest[0] << 8 | rest[1];
        e = find(target, wanted);
        // Only the index's low byte travels here, so a module matches on that.
        if (!e && rest[0] == 0) {
            const auto it = std::find_if(entries_.begin(), entries_.end(), [&](const Entry& x) {
                return hash_name(x.name) == target && x.index >= 0 && (x.index & 0xFF) == rest[1];
            });
            if (it != entries_.end()) e = &*it;
        }
        if (!e) return error(kErrIndexOutOfRange);
    } else {
        if (rest.size() != 2) return error(kErrValueRejected);
        e = find(target, -1);
    }
    if (!e->has_attributes) return error(kErrNoAttributes);

    if (!read) {
        // 3 (access, not user) is the configurator's override; it follows from the same bit rules.
        e->access = data[0] & 0x01;
        e->user = 1 - ((data[0] >> 1) & 0x01);
    }
    Bytes out{static_cast<std::uint8_t>((e->access & 1) | ((1 - e->user) & 1) << 1)};
    out.insert(out.end(), rest.begin(), rest.end());
    return out;
}

std::string SimulatedModule::reply_frame(std::uint16_t hash, std::span<const std::uint8_t> data, int address,
                                         bool read_flag) const {
    const auto payload = data.first(std::min<std::size_t>(data.size(), kMaxRequestData));
    const bool wide = address_width_ == 11;
    const std::size_t n = payload.size();
    Bytes raw;
    raw.push_back(static_cast<std::uint8_t>(wide ? address >> 3 : address));
    raw.push_back(static_cast<std::uint8_t>((wide ? (address & 7) << 5 : 0) | (read_flag ? 0x10 : 0) | n));
    raw.push_back(static_cast<std::uint8_t>(hash >> 8));
    raw.push_back(static_cast<std::uint8_t>(hash));
    raw.insert(raw.end(), payload.begin(), payload.end());
    std::uint16_t sum = hash_buffer(raw);
    if (faults_.bad_checksum && reply_faults_active()) sum ^= 0x00FF;
    raw.push_back(static_cast<std::uint8_t>(sum >> 8));
    raw.push_back(static_cast<std::uint8_t>(sum));
    std::string frame = "#" + encode_buffer(raw) + "\r";
    if (faults_.garbage_header && reply_faults_active()) frame[0] = '~';
    return frame;
}

Entry* SimulatedModule::find(std::uint16_t hash, int index, int offset) {
    const auto it = std::find_if(entries_.begin(), entries_.end(), [&](const Entry& e) {
        return e.index == index && e.address_offset == offset && hash_name(e.name) == hash;
    });
    return it == entries_.end() ? nullptr : &*it;
}

const Entry* SimulatedModule::find(std::uint16_t hash, int index, int offset) const {
    return const_cast<SimulatedModule*>(this)->find(hash, index, offset);
}

bool SimulatedModule::indexed_name(std::uint16_t hash) const {
    return std::any_of(entries_.begin(), entries_.end(), [this, hash](const Entry& e) {
        return e.index >= 0 && e.address_offset == offset_ && hash_name(e.name) == hash;
    });
}

void SimulatedModule::set_address_span(int span) {
    std::lock_guard lock(mutex_);
    address_span_ = span < 1 ? 1 : span;
}

// ---- the demo table ---------------------------------------------------------------------------------

void add_demo_parameters(SimulatedModule& module, std::string_view model) {
    const std::string address = std::to_string(module.address());
    const std::string width = std::to_string(module.address_width() == 11 ? 11 : 8);
    const std::vector<Entry> table{
        {.name = "dev",
         .type = "string",
         .value = std::string(model),
         .read_only = true,
         .has_attributes = false},
        {.name = "ver", .type = "string", .value = "1.00", .read_only = true, .has_attributes = false},
        {.name = "Addr", .type = "int", .value = address},
        {.name = "A.Len", .type = "int", .value = width},
        {.name = "bPS", .type = "2400:4800:9600:14400:19200:28800:38400:57600:115200", .value = "9600"},
        {.name = "PrtY", .type = "None:Even:Odd", .value = "None"},
        {.name = "Sbit", .type = "1:2", .value = "1"},
        {.name = "LEn", .type = "int", .value = "8"},
        {.name = "inP", .type = "Pt100:Pt50:TC_K:4-20_mA", .value = "Pt100"},
        {.name = "SP", .type = "float", .value = "25.500"},
        {.name = "Shft", .type = "STORED_DOT", .value = "1.50"},
        {.name = "FiLt", .type = "int", .value = "5"},
        {.name = "rEAd", .type = "sint", .value = "215", .read_only = true, .has_attributes = false},
    };
    for (const auto& e : table)
        module.add(e);
    // The channel's network name "AI1" kept as four name codes in "CHAr".
    const NameCodes codes = *name_to_codes("AI1").codes;
    for (int k = 0; k < 4; ++k)
        module.add({.name = "CHAr",
                    .index = k,
                    .type = "int",
                    .value = std::to_string(codes[static_cast<std::size_t>(k)])});
}

}  // namespace varda::sim
