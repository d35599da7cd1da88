#include "core/protocol/frame_codec.h"

#include <algorithm>

namespace varda {
namespace {

constexpr std::size_t kNameChars = 8;  // only the first characters of a name count
constexpr char kFirstNibbleChar = 'G';

char ascii_upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Name code of a significant character, or -1 for a character that carries no code.
int significant_code(char c) {
    if (c >= 'A' && c <= 'Z') return (c - 55) * 2;
    if (c >= '0' && c <= '9') return (c - 48) * 2;
    switch (c) {
        case ' ':
            return 78;
        case '_':
            return 74;
        case '-':
            return 72;
        default:
            return -1;
    }
}

// The walk shared by hashing and by name_to_codes. In strict mode a leading dot or a character that
// carries no code fails instead of being skipped.
std::optional<NameCodes> walk_name(std::string_view name, bool strict) {
    NameCodes codes;
    codes.fill(kSpaceCode);
    int count = 0;
    const std::size_t length = std::min(name.size(), kNameChars);
    for (std::size_t i = 0; i < length; ++i) {
        const char c = ascii_upper(name[i]);
        if (c == '.') {
            if (i == 0 || count == 0) {
                if (strict) return std::nullopt;
                continue;
            }
            // A dot flags the character before it; a fifth character is never stored, so a dot after
            // the fourth still lands on the fourth.
            ++codes[static_cast<std::size_t>(std::min(count, 4) - 1)];
            continue;
        }
        const int code = significant_code(c);
        if (code < 0) {
            if (strict) return std::nullopt;
            continue;
        }
        if (count == 4) break;  // the fifth significant character ends the walk
        codes[static_cast<std::size_t>(count++)] = static_cast<std::uint8_t>(code);
    }
    return codes;
}

void crc_bit(std::uint16_t& crc, unsigned bit) {
    const unsigned t = ((crc >> 15) & 1u) ^ bit;
    crc = static_cast<std::uint16_t>(crc << 1);
    if (t) crc ^= 0x8F57;
}

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::optional<Bytes> hex_to_bytes(std::string_view hex) {
    if (hex.size() % 2 != 0) return std::nullopt;
    Bytes out;
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        const int hi = hex_value(hex[i]);
        const int lo = hex_value(hex[i + 1]);
        if (hi < 0 || lo < 0) return std::nullopt;
        out.push_back(static_cast<std::uint8_t>(hi << 4 | lo));
    }
    return out;
}

std::string hex2(unsigned value) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    return {kDigits[value >> 4 & 0xFu], kDigits[value & 0xFu]};
}

std::uint8_t lrc(std::span<const std::uint8_t> bytes) {
    unsigned sum = 0;
    for (auto b : bytes)
        sum += b;
    return static_cast<std::uint8_t>(-sum);
}

std::uint8_t char_sum(std::string_view text) {
    unsigned sum = 0;
    for (char c : text)
        sum += static_cast<unsigned char>(c);
    return static_cast<std::uint8_t>(sum);
}

// Address and payload of a Modbus reply after its checksum was verified.
SwitchOverResult check_modbus_body(std::span<const std::uint8_t> body, int address,
                                   std::span<const std::uint8_t> payload) {
    if (body.empty()) return SwitchOverResult::IncorrectResponse;
    if (body[0] != static_cast<std::uint8_t>(address)) return SwitchOverResult::OtherAddress;
    if (body.size() < 1 + payload.size() || !std::equal(payload.begin(), payload.end(), body.begin() + 1))
        return SwitchOverResult::IncorrectResponse;
    return SwitchOverResult::Accepted;
}

}  // namespace

std::uint16_t hash_buffer(std::span<const std::uint8_t> bytes, std::uint16_t initial) {
    std::uint16_t crc = initial;
    for (auto byte : bytes)
        for (int bit = 7; bit >= 0; --bit)
            crc_bit(crc, (byte >> bit) & 1u);
    return crc;
}

std::uint16_t hash_name(std::string_view name) {
    if (name.empty()) return 0;
    const NameCodes codes = *walk_name(name, false);
    std::uint16_t crc = 0;
    for (auto code : codes)
        for (int bit = 6; bit >= 0; --bit)
            crc_bit(crc, (code >> bit) & 1u);
    return crc;
}

std::string encode_buffer(std::span<const std::uint8_t> bytes) {
    std::string out;
    out.reserve(bytes.size() * 2);
    for (auto b : bytes) {
        out.push_back(static_cast<char>(kFirstNibbleChar + (b >> 4)));
        out.push_back(static_cast<char>(kFirstNibbleChar + (b & 0x0F)));
    }
    return out;
}

std::optional<Bytes> decode_buffer(std::string_view chars) {
    Bytes out;
    out.reserve(chars.size() / 2);
    for (std::size_t i = 0; i + 1 < chars.size(); i += 2) {
        const int hi = chars[i] - kFirstNibbleChar;
        const int lo = chars[i + 1] - kFirstNibbleChar;
        if (hi < 0 || hi > 15 || lo < 0 || lo > 15) return std::nullopt;
        out.push_back(static_cast<std::uint8_t>(hi << 4 | lo));
    }
    return out;
}

int request_address(int address_offset, const Addressing& addressing) {
    return address_offset == -1 ? 255 : addressing.base_address + address_offset;
}

std::string build_request(bool read, std::uint16_t hash, std::span<const std::uint8_t> data,
                          int address_offset, const Addressing& addressing) {
    const auto payload = data.first(std::min<std::size_t>(data.size(), kMaxRequestData));
    const int address = request_address(address_offset, addressing);
    const bool wide = addressing.address_width == 11;
    const unsigned high_bits = wide ? static_cast<unsigned>(address & 7) : 0u;

    Bytes frame;
    frame.reserve(6 + payload.size());
    frame.push_back(static_cast<std::uint8_t>(wide ? address >> 3 : address));
    frame.push_back(static_cast<std::uint8_t>(((high_bits << 1 | (read ? 1u : 0u)) << 4) | payload.size()));
    frame.push_back(static_cast<std::uint8_t>(hash >> 8));
    frame.push_back(static_cast<std::uint8_t>(hash));
    frame.insert(frame.end(), payload.begin(), payload.end());
    const std::uint16_t sum = hash_buffer(frame);
    frame.push_back(static_cast<std::uint8_t>(sum >> 8));
    frame.push_back(static_cast<std::uint8_t>(sum));
    return "#" + encode_buffer(frame) + "\r";
}

ReplyOutcome parse_reply(std::string_view reply, std::uint16_t request_hash, int address_width) {
    using Kind = ReplyOutcome::Kind;
    using Reason = ReplyOutcome::Reason;
    ReplyOutcome out;
    auto reject = [&out](Reason reason, const char* message) {
        out.kind = Kind::Rejected;
        out.reason = reason;
        out.message = message;
        out.data.clear();
        return out;
    };
    constexpr const char* kSumError = "Response sum check error";

    if (reply.size() < 2 || reply[0] != '#') return reject(Reason::HeaderLost, "Frame header is lost");
    const auto bytes = decode_buffer(reply.substr(1, reply.size() - 2));
    if (!bytes) return reject(Reason::BadCharacter, kSumError);
    // A frame too short for its own length field cannot be checked; treat it as a corrupted reply.
    if (bytes->size() < 6) return reject(Reason::BadLength, kSumError);
    const std::size_t n = (*bytes)[1] & 0x0F;
    if (bytes->size() != 6 + n) return reject(Reason::BadLength, kSumError);

    const std::uint16_t received_sum = static_cast<std::uint16_t>((*bytes)[4 + n] << 8 | (*bytes)[5 + n]);
    if (hash_buffer(std::span(*bytes).first(4 + n)) != received_sum)
        return reject(Reason::Checksum, kSumError);

    out.data.assign(bytes->begin() + 4, bytes->begin() + 4 + static_cast<std::ptrdiff_t>(n));
    const Bytes& b = *bytes;
    out.address = address_width == 11 ? (b[0] << 3 | b[1] >> 5) : b[0];
    out.read_flag = (b[1] & 0x10) != 0;
    const std::uint16_t reply_hash = static_cast<std::uint16_t>((*bytes)[2] << 8 | (*bytes)[3]);
    if (reply_hash == request_hash) {
        out.kind = Kind::Accepted;
    } else if (reply_hash == kHashNErr) {
        out.kind = Kind::ErrorReply;
    } else {
        out.kind = Kind::Rejected;
        out.reason = Reason::WrongHash;
        out.message = "Received function code differs from transmitted function code and from n.Err.";
    }
    return out;
}

EchoMismatch check_echo(const ReplyOutcome& reply, const RequestEcho& request) {
    // Broadcast and 11-bit broadcast both go out as 255; any module may answer them.
    if (request.address != 255 && reply.address != request.address) return EchoMismatch::Address;
    if (request.read_flag && reply.read_flag != *request.read_flag) return EchoMismatch::ReadFlag;
    if (reply.kind == ReplyOutcome::Kind::Accepted) {
        const auto& data = reply.data;
        if (data.size() < request.tail.size() ||
            !std::equal(request.tail.begin(), request.tail.end(),
                        data.end() - static_cast<std::ptrdiff_t>(request.tail.size())))
            return EchoMismatch::Tail;
    }
    return EchoMismatch::None;
}

std::optional<int> reply_address(std::string_view reply, int address_width) {
    constexpr std::size_t kAddressChars = 4;  // the address byte and the length byte
    if (reply.size() < 1 + kAddressChars || reply[0] != '#') return std::nullopt;
    const auto bytes = decode_buffer(reply.substr(1, kAddressChars));
    if (!bytes) return std::nullopt;
    const Bytes& b = *bytes;
    return address_width == 11 ? (b[0] << 3 | b[1] >> 5) : b[0];
}

NameCodesResult name_to_codes(std::string_view text) {
    if (text.empty()) return {std::nullopt, NameCodeFailure::Empty};
    if (text.size() > kNameChars) return {std::nullopt, NameCodeFailure::TooLong};
    auto codes = walk_name(text, true);
    if (!codes) return {std::nullopt, NameCodeFailure::InvalidCharacter};
    return {codes, NameCodeFailure::Empty};
}

std::optional<std::string> code_to_text(std::uint8_t code) {
    if (code > 79) return std::nullopt;
    static constexpr char kChars[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-_/ ";
    std::string out(1, kChars[code / 2]);
    if (code % 2) out.push_back('.');
    return out;
}

NameTextResult codes_to_name(const NameCodes& codes) {
    std::string text;
    for (auto code : codes) {
        auto piece = code_to_text(code);
        if (!piece) return {std::nullopt, NameCodeFailure::InvalidCode};
        text += *piece;
    }
    return {std::move(text), NameCodeFailure::InvalidCode};
}

std::uint16_t modbus_crc(std::span<const std::uint8_t> bytes) {
    std::uint16_t crc = 0xFFFF;
    for (auto b : bytes) {
        crc ^= b;
        for (int i = 0; i < 8; ++i)
            crc = (crc & 1) ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001) : crc >> 1;
    }
    return crc;
}

Bytes switch_over_payload(SwitchOverMode mode) {
    switch (mode) {
        case SwitchOverMode::ModbusRtu:
        case SwitchOverMode::ModbusAscii:
            return {0x05, 0xF0, 0xF0, 0xFF, 0x00};
        case SwitchOverMode::Dcon:
            return {'K', 'E', 'S', 'T'};
        case SwitchOverMode::Ravelin:
            break;
    }
    return {};
}

std::optional<std::string> build_switch_over(SwitchOverMode mode, int address, int address_width) {
    if (mode == SwitchOverMode::Ravelin || address_width > 8) return std::nullopt;
    Bytes raw{static_cast<std::uint8_t>(address)};
    const Bytes payload = switch_over_payload(mode);
    raw.insert(raw.end(), payload.begin(), payload.end());

    std::string out;
    switch (mode) {
        case SwitchOverMode::ModbusRtu: {
            const std::uint16_t crc = modbus_crc(raw);
            out.assign(raw.begin(), raw.end());
            out.push_back(static_cast<char>(crc & 0xFF));
            out.push_back(static_cast<char>(crc >> 8));
            break;
        }
        case SwitchOverMode::ModbusAscii:
            out = ":";
            for (auto b : raw)
                out += hex2(b);
            out += hex2(lrc(raw));
            out += "\r\n";
            break;
        case SwitchOverMode::Dcon:
            out = "%" + hex2(raw[0]);
            out.append(payload.begin(), payload.end());
            out += hex2(char_sum(out));
            out += "\r";
            break;
        case SwitchOverMode::Ravelin:
            break;
    }
    return out;
}

SwitchOverResult check_switch_over_reply(SwitchOverMode mode, std::string_view reply, int address,
                                         std::span<const std::uint8_t> payload) {
    switch (mode) {
        case SwitchOverMode::ModbusRtu: {
            if (reply.size() < 3) return SwitchOverResult::IncorrectResponse;
            const Bytes bytes(reply.begin(), reply.end());
            const auto body = std::span(bytes).first(bytes.size() - 2);
            const std::uint16_t crc = modbus_crc(body);
            if (bytes[bytes.size() - 2] != (crc & 0xFF) || bytes.back() != (crc >> 8))
                return SwitchOverResult::Checksum;
            return check_modbus_body(body, address, payload);
        }
        case SwitchOverMode::ModbusAscii: {
            const auto colon = reply.find(':');
            if (colon == std::string_view::npos) return SwitchOverResult::IncorrectResponse;
            const auto cr = reply.find('\r', colon);
            if (cr == std::string_view::npos) return SwitchOverResult::IncorrectResponse;
            const auto digits = reply.substr(colon + 1, cr - colon - 1);
            if (digits.size() < 2) return SwitchOverResult::IncorrectResponse;
            const auto body = hex_to_bytes(digits.substr(0, digits.size() - 2));
            const auto sum = hex_to_bytes(digits.substr(digits.size() - 2));
            if (!body || !sum) return SwitchOverResult::IncorrectResponse;
            if (lrc(*body) != (*sum)[0]) return SwitchOverResult::Checksum;
            return check_modbus_body(*body, address, payload);
        }
        case SwitchOverMode::Dcon: {
            if (reply.size() < 3 || reply.back() != '\r') return SwitchOverResult::IncorrectResponse;
            const auto checked = reply.substr(0, reply.size() - 3);
            const auto sum = hex_to_bytes(reply.substr(reply.size() - 3, 2));
            if (!sum || char_sum(checked) != (*sum)[0]) return SwitchOverResult::Checksum;
            if (checked.empty() || checked[0] != '!') return SwitchOverResult::IncorrectResponse;
            const auto answering = checked.size() >= 3 ? hex_to_bytes(checked.substr(1, 2)) : std::nullopt;
            if (!answering) return SwitchOverResult::IncorrectResponse;
            return (*answering)[0] == static_cast<std::uint8_t>(address) ? SwitchOverResult::Accepted
                                                                         : SwitchOverResult::OtherAddress;
        }
        case SwitchOverMode::Ravelin:
            break;
    }
    return SwitchOverResult::IncorrectResponse;
}

}  // namespace varda
