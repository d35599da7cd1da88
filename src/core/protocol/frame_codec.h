#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The Ravelin protocol's frames: name hashing, the character encoding of bytes, request building and
// reply checking, and the switch-over frames that move a module off Modbus RTU, Modbus ASCII or DCON.
// Pure functions: nothing here touches a port.
namespace varda {

using Bytes = std::vector<std::uint8_t>;

// The four 7-bit codes a network name reduces to; unfilled positions hold the space code.
using NameCodes = std::array<std::uint8_t, 4>;
inline constexpr std::uint8_t kSpaceCode = 78;

inline constexpr std::uint16_t kHashNErr = 0x0233;  // "n.Err": the module's error reply
inline constexpr std::uint16_t kHashAply = 0x8403;  // "APLY": never answered
inline constexpr std::uint16_t kHashMstr = 0x5EA0;  // "M.s.t.r.": attribute exchange
inline constexpr int kMaxRequestData = 15;          // the length field has four bits

std::uint16_t hash_name(std::string_view name);
std::uint16_t hash_buffer(std::span<const std::uint8_t> bytes, std::uint16_t initial = 0);

// Each byte becomes two characters "G".."V", high nibble first.
std::string encode_buffer(std::span<const std::uint8_t> bytes);
// count/2 bytes from count characters; nullopt when a character lies outside "G".."V", so that a
// garbled reply never decodes into plausible data.
std::optional<Bytes> decode_buffer(std::string_view chars);

// What a request needs of the port settings.
struct Addressing {
    int base_address = 16;
    int address_width = 8;  // 11 means 11-bit addressing; anything else 8-bit
};

// The address a request with this offset goes to; 255 for broadcast (offset -1).
int request_address(int address_offset, const Addressing& addressing);

// The complete request frame, "#" to carriage return. address_offset -1 means broadcast.
// At most kMaxRequestData data bytes travel; the caller never passes more.
std::string build_request(bool read, std::uint16_t hash, std::span<const std::uint8_t> data,
                          int address_offset, const Addressing& addressing);

struct ReplyOutcome {
    enum class Kind { Accepted, ErrorReply, Rejected };
    enum class Reason { None, HeaderLost, BadCharacter, BadLength, Checksum, WrongHash };
    Kind kind = Kind::Rejected;
    Reason reason = Reason::None;  // why a reply was rejected
    Bytes data;                    // the N data bytes (accepted and error replies)
    std::string message;           // the rejection text
    // The header of a reply that passed its checksum: the address it carries (whole, in the given width)
    // and its read/write flag. -1 when the frame could not be checked.
    int address = -1;
    bool read_flag = false;
};

ReplyOutcome parse_reply(std::string_view reply, std::uint16_t request_hash, int address_width = 8);

// What a reply must repeat of its request before it is taken as that request's answer: a reply that passes
// its checksum but repeats something else answers another question (a late reply, another module).
struct RequestEcho {
    int address = 255;                   // 255 (broadcast): any module may answer
    std::optional<bool> read_flag;       // checked only for a module known to repeat the flag
    std::span<const std::uint8_t> tail;  // the end of the data: an index, an attribute exchange's target
};
enum class EchoMismatch { None, Address, ReadFlag, Tail };

// Checks an accepted or error reply against its request. An error reply carries no data of the request,
// so only its header is compared.
EchoMismatch check_echo(const ReplyOutcome& reply, const RequestEcho& request);

// The address a reply carries (8-bit, or 11-bit as a request carries it), read from its first two bytes
// whatever the rest holds; nullopt without the "#" header or when those bytes do not decode. Only a reply
// that also passes parse_reply's checks can be trusted to come from that address.
std::optional<int> reply_address(std::string_view reply, int address_width);

enum class NameCodeFailure { Empty, TooLong, InvalidCharacter, InvalidCode };

struct NameCodesResult {
    std::optional<NameCodes> codes;
    NameCodeFailure failure = NameCodeFailure::Empty;  // meaningful only without codes
};
struct NameTextResult {
    std::optional<std::string> text;
    NameCodeFailure failure = NameCodeFailure::InvalidCode;
};

NameCodesResult name_to_codes(std::string_view text);
NameTextResult codes_to_name(const NameCodes& codes);
// One code as its character(s): "A", "B." and so on; nullopt above 79.
std::optional<std::string> code_to_text(std::uint8_t code);

// Switch-over modes: 0 Ravelin (normal operation), 1 Modbus RTU, 2 Modbus ASCII, 3 DCON.
enum class SwitchOverMode { Ravelin = 0, ModbusRtu = 1, ModbusAscii = 2, Dcon = 3 };

// The payload that follows the address byte in the given mode (empty for Ravelin).
Bytes switch_over_payload(SwitchOverMode mode);

// Bytes to send; nullopt for the Ravelin mode and when the address width is above 8 bits.
std::optional<std::string> build_switch_over(SwitchOverMode mode, int address, int address_width = 8);

// What a switch-over exchange came to. The reply check gives Accepted, Checksum, OtherAddress or
// IncorrectResponse; the exchange adds the line's failures and NoFrame (none can be built).
enum class SwitchOverResult {
    Accepted = 0,
    NoFrame = -1,
    Timeout = 2,
    LineError = 3,
    Checksum = 4,
    OtherAddress = 5,
    IncorrectResponse = 6,
};

SwitchOverResult check_switch_over_reply(SwitchOverMode mode, std::string_view reply, int address,
                                         std::span<const std::uint8_t> payload);

std::uint16_t modbus_crc(std::span<const std::uint8_t> bytes);

}  // namespace varda
