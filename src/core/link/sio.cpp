#include "core/link/sio.h"

#include "core/link/network_backend.h"

#include <time.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <system_error>
#include <utility>
#include <vector>

namespace varda {

namespace {

using Clock = std::chrono::steady_clock;

constexpr char kCarriageReturn = '\r';  // ends every reply of the Ravelin, Modbus ASCII and DCON protocols
// Characters behind a reply kept for the next one: room for a few replies, not for a flood of noise.
constexpr std::size_t kMaxKeptAfterReply = 4 * kMaxReply;

bool parity_used(int parity) {
    return parity != parity_code::kNoneOld && parity != parity_code::kNone;
}

// The direction line of a semi-automatic adapter must stay up until the character has left the wire; a
// sleep is far too coarse at the higher baud rates, so spin on the monotonic clock.
void busy_wait_ms(float ms) {
    timespec start{};
    ::clock_gettime(CLOCK_MONOTONIC, &start);
    const double end_ns = static_cast<double>(ms) * 1e6;
    for (;;) {
        timespec now{};
        ::clock_gettime(CLOCK_MONOTONIC, &now);
        const double elapsed_ns = static_cast<double>(now.tv_sec - start.tv_sec) * 1e9 +
                                  static_cast<double>(now.tv_nsec - start.tv_nsec);
        if (elapsed_ns >= end_ns) return;
    }
}

std::chrono::milliseconds left_until(Clock::time_point deadline) {
    const auto left = deadline - Clock::now();
    if (left <= Clock::duration::zero()) return std::chrono::milliseconds(0);
    return std::chrono::ceil<std::chrono::milliseconds>(left);
}

}  // namespace

std::span<const int> supported_baud_rates() {
    static constexpr int kRates[] = {110,   300,   600,   1200,  2400,  4800,   9600,  14400,
                                     19200, 28800, 38400, 56000, 57600, 115200, 128000};
    return kRates;
}

double character_time_ms(const PortSettings& settings) {
    const int bits =
        1 + settings.data_bits + (parity_used(settings.parity_code) ? 1 : 0) + settings.stop_bits;
    return static_cast<double>(static_cast<float>(1000 * bits) / static_cast<float>(settings.baud_rate));
}

std::uint16_t ordinary_reply_timeout_ms(const PortSettings& settings) {
    const double character_time = character_time_ms(settings);
    const double interval = std::ceil(1.5 * character_time);
    const double multiplier = std::ceil(interval + character_time);
    return static_cast<std::uint16_t>(30.0 * multiplier + 100.0);
}

bool supported_baud_rate(int baud) {
    const auto rates = supported_baud_rates();
    return std::find(rates.begin(), rates.end(), baud) != rates.end();
}

std::string_view direction_control_text(DirectionControl control) {
    switch (control) {
        case DirectionControl::ByAdapter:
            return "automatic by the adapter";
        case DirectionControl::ByDriver:
            return "automatic by the driver (kernel RS-485)";
        case DirectionControl::ByRts:
            return "by RTS (the driver has no RS-485 mode)";
        case DirectionControl::ByGateway:
            return "by the gateway";
    }
    return {};
}

Sio::Sio(std::unique_ptr<SerialBackend> backend) : backend_(std::move(backend)) {}

Sio::~Sio() {
    if (is_open()) close();
}

bool Sio::is_open() const {
    return backend_->is_open();
}

OpenResult Sio::open() {
    character_time_ms_ = 0;
    reply_timeout_ms_ = 0;
    open_error_.clear();
    // Opening an open port would otherwise find it busy with ourselves.
    if (backend_->is_open()) backend_->close();

    const std::string path = port_device_path(settings.port_name);
    if (!backend_->open(path, open_error_)) {
        if (open_error_.empty()) open_error_ = path + ": cannot be opened";
        return OpenResult::Failed;
    }

    // From here on a failure leaves the port open, as the callers expect.
    const auto refuse = [&](OpenResult result, const std::string& why) {
        open_error_ = path + ": " + why;
        return result;
    };
    const int parity = settings.parity_code;
    if (parity < 0 || parity > 5)
        return refuse(OpenResult::UnsupportedSettings, "unsupported parity code " + std::to_string(parity));
    if (!supported_data_bits(settings.data_bits)) {
        return refuse(OpenResult::UnsupportedDataBits,
                      std::to_string(settings.data_bits) + " data bits are not supported (5 to 8 are)");
    }
    if (!supported_stop_bits(settings.stop_bits)) {
        return refuse(OpenResult::UnsupportedSettings,
                      std::to_string(settings.stop_bits) + " stop bits are not supported (1 or 2 are)");
    }
    if (!supported_baud_rate(settings.baud_rate)) {
        return refuse(OpenResult::UnsupportedSettings,
                      "unsupported baud rate " + std::to_string(settings.baud_rate));
    }

    const LineSettings line{settings.baud_rate, parity, settings.data_bits, settings.stop_bits};
    if (!backend_->configure(line))
        return refuse(OpenResult::UnsupportedSettings, "the device refuses these port settings");
    backend_->set_rts(false);
    driver_direction_on_ = false;
    driver_direction_refused_.store(false);
    settle_direction();

    character_time_ms_ = static_cast<float>(varda::character_time_ms(settings));
    reply_timeout_ms_ = ordinary_reply_timeout_ms(settings);

    backend_->purge(PurgeKind::Both);
    return OpenResult::Opened;
}

PortResult Sio::close() {
    if (!is_open()) return PortResult::Closed;
    const PortResult result = backend_->purge(PurgeKind::Both) ? PortResult::Done : PortResult::Failed;
    if (driver_direction_on_) backend_->set_driver_direction(false);
    driver_direction_on_ = false;
    backend_->close();
    character_time_ms_ = 0;
    reply_timeout_ms_ = 0;
    return result;
}

void Sio::replace_backend(std::unique_ptr<SerialBackend> backend) {
    if (!backend) return;
    close();
    backend_ = std::move(backend);
}

PortResult Sio::purge(PurgeKind kind) {
    if (!is_open()) return PortResult::Closed;
    return backend_->purge(kind) ? PortResult::Done : PortResult::Failed;
}

TransferResult Sio::transaction(std::string_view frame, Reply& reply, ReplyEnd end) {
    reply.chars.fill('\0');
    reply.count = 0;
    if (const TransferResult sent = send(frame); sent != TransferResult::Delivered) return sent;
    // Receiving, for at most the reply time-out from the end of sending.
    reply_deadline_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(reply_timeout_ms_);
    return receive(reply, end, false);
}

TransferResult Sio::send(std::string_view frame) {
    if (!is_open()) {
        after_reply_.clear();
        return TransferResult::Stopped;
    }
    discard_stale();

    // Sending.
    sent_at_ = std::chrono::steady_clock::now();
    stats_.sent(frame);
    if (FrameTap* tap = tap_.load()) {
        TapFrame sent;
        sent.direction = TapFrame::Direction::Sent;
        sent.at = sent_at_;
        sent.bytes = std::string(frame);
        tap->frame(sent);
    }
    // Only when we raise RTS ourselves does a frame go a character at a time.
    if (settle_direction() != DirectionControl::ByRts) {
        const WaitOutcome sent = backend_->write(frame, stop_);
        if (sent == WaitOutcome::Stopped) return TransferResult::Stopped;
        if (sent == WaitOutcome::LineError) return line_error_result();
    } else {
        // The adapter's driver is enabled while RTS is up: one character at a time, each held on the line
        // for its full character time before the next.
        TransferResult result = TransferResult::Delivered;
        backend_->set_rts(true);
        for (const char c : frame) {
            const WaitOutcome sent = backend_->write(std::string_view(&c, 1), stop_);
            if (sent == WaitOutcome::Stopped) {
                result = TransferResult::Stopped;
                break;
            }
            if (sent == WaitOutcome::LineError) {
                result = TransferResult::LineError;
                break;
            }
            busy_wait_ms(character_time_ms_);
        }
        backend_->set_rts(false);
        if (result == TransferResult::LineError) return line_error_result();
        if (result != TransferResult::Delivered) return result;
    }
    return TransferResult::Delivered;
}

TransferResult Sio::listen(Reply& reply, std::chrono::steady_clock::time_point until) {
    reply.chars.fill('\0');
    reply.count = 0;
    if (!is_open()) return TransferResult::Stopped;
    reply_deadline_ = until;
    return receive(reply, {}, true);
}

DirectionControl Sio::direction_control() const {
    // A gateway switches the direction itself, so a frame goes whole even when RTS control was chosen.
    if (is_gateway_port(settings.port_name)) return DirectionControl::ByGateway;
    if (settings.adapter_mode != adapter_mode::kByRts) return DirectionControl::ByAdapter;
    return driver_direction_refused_.load() ? DirectionControl::ByRts : DirectionControl::ByDriver;
}

DirectionControl Sio::settle_direction() {
    const bool semi_automatic =
        settings.adapter_mode == adapter_mode::kByRts && !is_gateway_port(settings.port_name);
    if (semi_automatic && !driver_direction_on_ && !driver_direction_refused_.load()) {
        driver_direction_on_ = backend_->set_driver_direction(true);
        driver_direction_refused_.store(!driver_direction_on_);
    }
    // The driver's RS-485 mode raises RTS while sending; an automatic adapter is better left without it.
    if (!semi_automatic && driver_direction_on_) {
        backend_->set_driver_direction(false);
        driver_direction_on_ = false;
    }
    return direction_control();
}

TransferResult Sio::line_error_result() {
    const std::string why = backend_->gone_reason();
    if (why.empty()) return TransferResult::LineError;
    open_error_ = port_device_path(settings.port_name) + ": " + why;
    close();
    return TransferResult::DeviceGone;
}

void Sio::discard_stale() {
    std::string stale = std::exchange(after_reply_, {});
    char chunk[64];
    // Bounded: a line that never stops talking must not hold the request back.
    for (int reads = 0; reads < 64; ++reads) {
        const std::size_t n = backend_->read_available(chunk, sizeof chunk);
        if (n == 0) break;
        if (stale.size() < kMaxKeptAfterReply) stale.append(chunk, n);
    }
    backend_->purge(PurgeKind::Both);
    if (stale.empty()) return;
    if (FrameTap* tap = tap_.load()) {
        TapFrame frame;
        frame.direction = TapFrame::Direction::Received;
        frame.end = TapFrame::End::Stale;
        frame.at = std::chrono::steady_clock::now();
        frame.bytes = std::move(stale);
        tap->frame(frame);
    }
}

TransferResult Sio::continue_reply(Reply& reply, ReplyEnd end) {
    reply.chars.fill('\0');
    reply.count = 0;
    if (!is_open()) return TransferResult::Stopped;
    return receive(reply, end, false);
}

void Sio::report_received(TapFrame::End end, std::string_view bytes) {
    const auto now = std::chrono::steady_clock::now();
    const double reply_ms = std::chrono::duration<double, std::milli>(now - sent_at_).count();
    stats_.received(end, bytes, reply_ms);
    FrameTap* tap = tap_.load();
    if (!tap) return;
    TapFrame frame;
    frame.direction = TapFrame::Direction::Received;
    frame.end = end;
    frame.at = now;
    frame.bytes = std::string(bytes);
    frame.reply_ms = reply_ms;
    tap->frame(frame);
}

TransferResult Sio::receive(Reply& reply, ReplyEnd end, bool keep_partial) {
    // The caller's buffer is only filled with a reply that is delivered.
    const bool by_count = end.kind == ReplyEnd::Kind::CharacterCount;
    // A count of 0 asks for whatever the first arrival brings.
    const std::size_t wanted = by_count && end.count > 0 ? std::min(end.count, kMaxReply) : kMaxReply;
    std::array<char, kMaxReply> received{};
    std::size_t count = 0;
    bool ended = false;  // the carriage return arrived
    const auto deliver = [&] {
        std::copy_n(received.data(), count, reply.chars.data());
        reply.count = count;
        report_received(TapFrame::End::Complete, std::string_view(received.data(), count));
        return TransferResult::Delivered;
    };
    // Characters behind a carriage return belong to the next reply: they are kept for continue_reply.
    const auto take = [&](const char* chars, std::size_t n) {
        if (!by_count && ended) {
            after_reply_.append(
                chars, std::min(n, kMaxKeptAfterReply - std::min(kMaxKeptAfterReply, after_reply_.size())));
            return;
        }
        const char* stop = by_count ? chars + n : std::find(chars, chars + n, kCarriageReturn);
        if (stop != chars + n) {
            ended = true;
            ++stop;
            after_reply_.assign(stop, std::min(chars + n, stop + kMaxKeptAfterReply));
        }
        const std::size_t kept = std::min(static_cast<std::size_t>(stop - chars), wanted - count);
        std::copy_n(chars, kept, received.data() + count);
        count += kept;
    };
    if (!after_reply_.empty()) {
        const std::string queued = std::exchange(after_reply_, {});
        take(queued.data(), queued.size());
        if (ended) return deliver();
    }
    char chunk[64];
    for (;;) {
        switch (backend_->wait_readable(left_until(reply_deadline_), stop_)) {
            case WaitOutcome::Stopped:
                return TransferResult::Stopped;
            case WaitOutcome::LineError:
                report_received(TapFrame::End::LineError, std::string_view(received.data(), count));
                return line_error_result();
            case WaitOutcome::TimedOut:
                // A partial count-mode reply is still delivered: the frame check names what is wrong with it.
                // Without its carriage return a reply is not one.
                if (by_count && count > 0) return deliver();
                // Or not yet one: a listener keeps what has come for its next wait.
                if (keep_partial && count > 0) {
                    after_reply_.assign(received.data(), count);
                    return TransferResult::Timeout;
                }
                report_received(TapFrame::End::TimedOut, std::string_view(received.data(), count));
                return TransferResult::Timeout;
            case WaitOutcome::Readable:
                break;
        }
        // Take everything there is: a reply longer than the buffer keeps only its first characters, but its
        // carriage return must still be seen.
        for (;;) {
            const std::size_t n = backend_->read_available(chunk, sizeof chunk);
            if (n == 0) break;
            take(chunk, n);
        }
        if (by_count ? count >= wanted || end.count == 0 : ended) return deliver();
    }
}

}  // namespace varda
