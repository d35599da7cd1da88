#include "core/link/bus_scan.h"

#include <chrono>
#include <cmath>
#include <mutex>

#include "core/link/device.h"
#include "core/link/device_io.h"
#include "core/link/sio.h"
#include "core/model/device_table.h"
#include "core/model/parameter.h"
#include "core/platform/events.h"
#include "core/platform/language.h"
#include "core/protocol/frame_codec.h"

namespace varda {
namespace {

// A module answers within a few milliseconds; the rest covers the PC's own scheduling and USB latency.
constexpr double kTurnaroundMs = 20;

double character_ms(const PortSettings& line) {
    const int parity_bit = line.parity_code == 0 || line.parity_code == 3 ? 0 : 1;
    const int bits = 1 + line.data_bits + parity_bit + line.stop_bits;
    return 1000.0 * bits / line.baud_rate;
}

std::string request_frame(int address, int width) {
    return build_request(true, hash_name("dev"), {}, 0, Addressing{address, width});
}

// Reads one parameter of the module at the address with the ordinary request (retries included): only
// for modules that answered, so it costs nothing on empty addresses.
bool read_from(DeviceIO& io, int address, Parameter& parameter, std::uint16_t timeout_ms) {
    io.sio().settings.base_address = address;
    io.sio().set_reply_timeout_ms(timeout_ms);
    return io.request(true, &parameter) == 0;
}

}  // namespace

int scan_reply_timeout_ms(const PortSettings& line) {
    return static_cast<int>(std::ceil(static_cast<double>(kMaxReply) * character_ms(line) + kTurnaroundMs));
}

double scan_seconds_per_address(const PortSettings& line) {
    const double request_ms = static_cast<double>(request_frame(1, line.address_width).size()) * character_ms(line);
    return (request_ms + scan_reply_timeout_ms(line)) / 1000.0;
}

double scan_estimate_seconds(const BusScanRequest& request, PortSettings line) {
    double seconds = 0;
    for (const int baud : request.baud_rates) {
        line.baud_rate = baud;
        line.address_width = request.address_width;
        seconds += request.addresses() * scan_seconds_per_address(line);
    }
    return seconds;
}

std::string duration_text(double seconds) {
    const std::string about(localized("about "));
    if (seconds < 90)
        return about + std::to_string(static_cast<int>(std::ceil(seconds))) + std::string(localized(" s"));
    return about + std::to_string(static_cast<int>(std::ceil(seconds / 60))) + std::string(localized(" min"));
}

BusScanResult scan_bus(DeviceIO& io, const BusScanRequest& request,
                       const std::function<void(const BusScanProgress&)>& progress,
                       const std::function<void(const FoundModule&)>& found, const platform::Event* cancel) {
    std::lock_guard lock(port_lock());
    Sio& sio = io.sio();
    const PortSettings before = sio.settings;
    const bool was_open = sio.is_open();
    const auto started = std::chrono::steady_clock::now();
    BusScanResult result;
    std::vector<FoundModule>& modules = result.modules;
    BusScanProgress step;
    step.total = request.steps();
    const std::uint16_t identify_hash = hash_name("dev");

    for (const int baud : request.baud_rates) {
        if (cancel && cancel->is_set()) break;
        sio.close();
        sio.settings.baud_rate = baud;
        sio.settings.address_width = request.address_width;
        if (sio.open() != 0) {
            result.error = sio.open_error().empty() ? "the port cannot be opened at " + std::to_string(baud) + " baud"
                                                    : sio.open_error();
            break;
        }
        const std::uint16_t ordinary_timeout = sio.reply_timeout_ms();
        const auto scan_timeout = static_cast<std::uint16_t>(scan_reply_timeout_ms(sio.settings));
        for (int address = request.first_address; address <= request.last_address; ++address) {
            if (cancel && cancel->is_set()) break;
            sio.set_reply_timeout_ms(scan_timeout);
            Reply reply;
            const int sent = sio.transaction(request_frame(address, request.address_width), reply);
            if (sent == 0 && reply.count > 0) {
                const ReplyOutcome answer = parse_reply(reply.text(), identify_hash);
                // A module's own further addresses follow it and refuse "dev": they are part of it.
                if (answer.kind == ReplyOutcome::Kind::ErrorReply && !modules.empty()) {
                    FoundModule& last = modules.back();
                    if (last.baud_rate == baud && last.problem.empty() &&
                        last.address + last.further_addresses + 1 == address) {
                        ++last.further_addresses;
                        reply.count = 0;
                    }
                }
            }
            if (sent == 0 && reply.count > 0) {
                FoundModule module;
                module.address = address;
                module.baud_rate = baud;
                const ReplyOutcome outcome = parse_reply(reply.text(), identify_hash);
                Parameter dev("dev");
                dev.set_data_type("string");
                if (outcome.kind == ReplyOutcome::Kind::Accepted && dev.ConvertFromData(outcome.data) != 0) {
                    module.identification = dev.value_text();
                    module.model = match_identification(module.identification);
                    if (module.model == kSharedIdentificationRow) {
                        auto tdev = make_tdev_parameter();
                        const bool read = read_from(io, address, *tdev, ordinary_timeout);
                        module.model = resolve_tdev(*module.model, read ? tdev_position(*tdev) : std::nullopt);
                    }
                    Parameter ver("ver");
                    ver.set_data_type("string");
                    if (read_from(io, address, ver, ordinary_timeout)) module.version = ver.value_text();
                } else {
                    module.problem = outcome.kind == ReplyOutcome::Kind::Accepted ? "unreadable identification"
                                     : outcome.kind == ReplyOutcome::Kind::ErrorReply ? "error reply"
                                                                                      : outcome.message;
                }
                modules.push_back(module);
                if (found) found(module);
            }
            ++step.done;
            step.baud_rate = baud;
            step.address = address;
            const double elapsed =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
            step.seconds_left = elapsed / step.done * (step.total - step.done);
            if (progress) progress(step);
        }
    }
    result.cancelled = cancel && cancel->is_set();
    sio.close();
    sio.settings = before;
    if (was_open) sio.open();
    return result;
}

std::string found_module_text(const FoundModule& module) {
    std::string text =
        "address " + std::to_string(module.address) + " at " + std::to_string(module.baud_rate) + " baud: ";
    if (!module.problem.empty()) return text + "a reply that could not be read (" + module.problem + ")";
    text += module.model ? std::string(display_name(*module.model)) : "unknown module \"" + module.identification + "\"";
    if (!module.version.empty()) text += ", version " + module.version;
    if (module.further_addresses > 0)
        text += " (also at " + std::to_string(module.address + 1) +
                (module.further_addresses > 1 ? "-" + std::to_string(module.address + module.further_addresses) : "") +
                ")";
    return text;
}

}  // namespace varda
