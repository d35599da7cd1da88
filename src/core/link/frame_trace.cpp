#include "core/link/frame_trace.h"

#include "core/link/device_io.h"
#include "core/model/elements.h"
#include "core/model/parameter.h"
#include "core/platform/numbers.h"
#include "core/protocol/frame_codec.h"

namespace varda {
namespace {

std::string hex4(std::uint16_t value) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out = "0x";
    for (int shift = 12; shift >= 0; shift -= 4)
        out += kHex[(value >> shift) & 0xF];
    return out;
}

// Escapes the text: `special` writes a character's own escape and says whether it did; other control
// characters (and, with `raw_bytes`, every byte beyond ASCII) become \xNN.
template <typename Special>
std::string escape(std::string_view text, bool raw_bytes, Special special) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (special(c, out)) continue;
        if (u < 0x20 || u == 0x7F || (raw_bytes && u > 0x7F)) {
            out += "\\x";
            out += kHex[u >> 4];
            out += kHex[u & 0xF];
        } else {
            out += c;
        }
    }
    return out;
}

// A frame's bytes: the carriage return as \r, a backslash and every other byte that is not printable
// ASCII as \xNN.
std::string printable(std::string_view bytes) {
    return escape(bytes, true, [](char c, std::string& out) {
        if (c == '\r') out += "\\r";
        if (c == '\\') out += "\\x5C";
        return c == '\r' || c == '\\';
    });
}

// A field of a trace line: quotes, backslashes and control characters escaped, other bytes (UTF-8 text
// included) as they are.
std::string escaped(std::string_view text) {
    return escape(text, false, [](char c, std::string& out) {
        switch (c) {
            case '"':
            case '\\':
                out += '\\';
                out += c;
                return true;
            case '\n':
                out += "\\n";
                return true;
            case '\r':
                out += "\\r";
                return true;
            default:
                return false;
        }
    });
}

// The frame's bytes between "#" and the carriage return, or nothing when it is not one of ours.
std::optional<Bytes> frame_bytes(std::string_view text) {
    if (text.size() < 2 || text.front() != '#') return std::nullopt;
    if (text.back() == '\r') text.remove_suffix(1);
    auto bytes = decode_buffer(text.substr(1));
    if (!bytes || bytes->size() < 6) return std::nullopt;
    return bytes;
}

std::string value_of(const FrameNames::Entry& entry, std::span<const std::uint8_t> data) {
    Parameter decoded(entry.name);
    decoded.set_data_type(entry.type);
    if (decoded.ConvertFromData(data) == MyConverter::DecodeResult::Undecodable) return "(undecodable)";
    return decoded.value_text();
}

}  // namespace

FrameNames::FrameNames() {
    for (const char* name : {"dev", "ver", "tdev", "Addr", "bPS", "INIT", "APLY", "CHAr"}) {
        Parameter p(name);
        p.set_data_type(std::string_view(name) == "dev" || std::string_view(name) == "ver" ? "string"
                                                                                           : "int");
        add(p);
    }
}

void FrameNames::add(const Parameter& parameter) {
    std::lock_guard lock(mutex_);
    entries_.try_emplace(parameter.Hash(),
                         Entry{parameter.network_name(), parameter.data_type(), parameter.indexed});
}

void FrameNames::add_tree(const DescBranch& root) {
    for (const auto& p : root.parameters)
        add(*p);
    for (const auto& child : root.children)
        add_tree(*child);
}

std::optional<FrameNames::Entry> FrameNames::find(std::uint16_t hash) const {
    std::lock_guard lock(mutex_);
    const auto found = entries_.find(hash);
    if (found == entries_.end()) return std::nullopt;
    return found->second;
}

int FrameDecoder::address_of(const Bytes& b) const {
    const int high = (b[1] >> 5) & 7;
    const bool wide = address_width_ ? address_width_() == 11 : high != 0;
    return wide ? (b[0] << 3) | high : b[0];
}

TraceLine FrameDecoder::decode(const TapFrame& frame) {
    if (!origin_) origin_ = frame.at;
    TraceLine line;
    line.time_ms = std::chrono::duration<double, std::milli>(frame.at - *origin_).count();
    line.sent = frame.direction == TapFrame::Direction::Sent;
    line.bytes = printable(frame.bytes);

    if (line.sent) {
        request_hash_ = 0;
        request_name_.clear();
        request_index_ = -1;
        request_entry_.reset();
        request_address_ = 255;
        request_tail_.clear();
        const auto bytes = frame_bytes(frame.bytes);
        if (!bytes) {
            line.name = "(not a frame of this protocol: a switch-over request or noise)";
            return line;
        }
        const Bytes& b = *bytes;
        line.address = address_of(b);
        line.access = (b[1] >> 4) & 1 ? "read" : "write";
        const std::size_t n = b[1] & 0x0F;
        const std::uint16_t hash = static_cast<std::uint16_t>(b[2] << 8 | b[3]);
        const std::span<const std::uint8_t> data(b.data() + 4, std::min(n, b.size() - 6));
        request_hash_ = hash;
        if (hash == kHashMstr && data.size() >= 2) {
            // The attribute exchange names its parameter by hash at the end, the index before it.
            const std::uint16_t of = static_cast<std::uint16_t>(data[data.size() - 2] << 8 | data.back());
            const auto entry = names_.find(of);
            line.name = "M.s.t.r. " + (entry ? entry->name : hex4(of));
            if (entry && entry->indexed && data.size() >= 4) line.index = data[data.size() - 3];
            // The answer repeats the target behind its attribute byte.
            request_tail_.assign(data.begin() + (line.access == "write" ? 1 : 0), data.end());
        } else {
            request_entry_ = names_.find(hash);
            line.name = request_entry_ ? request_entry_->name : hash == kHashAply ? "APLY" : hex4(hash);
            std::span<const std::uint8_t> value = data;
            if (request_entry_ && request_entry_->indexed && value.size() >= 2) {
                line.index = value[value.size() - 2] << 8 | value.back();
                request_tail_.assign(value.end() - 2, value.end());
                value = value.first(value.size() - 2);
            }
            if (line.access == "write" && request_entry_ && !value.empty())
                line.value = value_of(*request_entry_, value);
        }
        if (line.address == 255) line.name += " (broadcast)";
        request_address_ = line.address;
        request_name_ = line.name;
        request_index_ = line.index;
        return line;
    }

    if (frame.end == TapFrame::End::Stale) {
        line.failure = "late characters, discarded before the next request";
        return line;
    }
    line.name = request_name_;
    line.index = request_index_;
    line.reply_ms = frame.reply_ms;
    if (frame.end == TapFrame::End::LineError) {
        line.failure = "line error";
        return line;
    }
    if (frame.end == TapFrame::End::TimedOut) {
        line.failure = frame.bytes.empty()
                           ? "time-out"
                           : "time-out after " + std::to_string(frame.bytes.size()) + " characters";
        return line;
    }
    ReplyOutcome outcome = parse_reply(frame.bytes, request_hash_);
    if (const auto bytes = frame_bytes(frame.bytes)) line.address = address_of(*bytes);
    if (outcome.kind != ReplyOutcome::Kind::Rejected) {
        // A reply that repeats another address or index answers another request: the exchange drops it.
        outcome.address = line.address;
        const EchoMismatch mismatch =
            check_echo(outcome, RequestEcho{request_address_, std::nullopt, request_tail_});
        if (mismatch == EchoMismatch::Address || mismatch == EchoMismatch::Tail) {
            line.failure = mismatch == EchoMismatch::Address ? "not the answer: another address"
                                                             : "not the answer: another index or target";
            return line;
        }
    }
    switch (outcome.kind) {
        case ReplyOutcome::Kind::Accepted: {
            std::span<const std::uint8_t> value(outcome.data);
            if (request_entry_ && request_entry_->indexed && value.size() >= 2)
                value = value.first(value.size() - 2);
            if (request_entry_ && !value.empty()) line.value = value_of(*request_entry_, value);
            break;
        }
        case ReplyOutcome::Kind::ErrorReply:
            line.failure = "module error: " + error_reply_text(outcome.data);
            break;
        case ReplyOutcome::Kind::Rejected:
            switch (outcome.reason) {
                case ReplyOutcome::Reason::WrongHash:
                    line.failure = "wrong hash";
                    break;
                case ReplyOutcome::Reason::HeaderLost:
                    line.failure = "header lost";
                    break;
                default:
                    line.failure = "checksum error";
            }
            break;
    }
    return line;
}

std::string trace_text(const TraceLine& line) {
    std::string text = platform::fixed(line.time_ms, 3) + (line.sent ? " TX" : " RX");
    if (line.address >= 0) text += " addr=" + std::to_string(line.address);
    if (!line.name.empty()) text += " " + escaped(line.name);
    if (line.index >= 0) text += ":" + std::to_string(line.index);
    if (!line.access.empty()) text += " " + escaped(line.access);
    if (!line.value.empty()) text += " value=\"" + escaped(line.value) + "\"";
    if (!line.failure.empty()) text += " error=\"" + escaped(line.failure) + "\"";
    if (line.reply_ms >= 0) text += " reply=" + platform::fixed(line.reply_ms, 1) + "ms";
    if (!line.bytes.empty()) text += " bytes=" + line.bytes;  // printable already
    return text;
}

TraceWriter::TraceWriter(const FrameNames& names, std::FILE* file, AddressWidth address_width)
    : decoder_(names, std::move(address_width)), file_(file) {}

TraceWriter::~TraceWriter() {
    if (file_) std::fclose(file_);
}

void TraceWriter::frame(const TapFrame& frame) {
    std::lock_guard lock(mutex_);
    const std::string text = trace_text(decoder_.decode(frame)) + "\n";
    std::FILE* out = file_ ? file_ : stderr;
    std::fputs(text.c_str(), out);
    std::fflush(out);
}

}  // namespace varda
