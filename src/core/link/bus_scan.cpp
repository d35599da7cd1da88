#include "core/link/bus_scan.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <mutex>
#include <set>

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

using Clock = std::chrono::steady_clock;

// A module answers within a few milliseconds; the rest covers the PC's own scheduling and USB latency.
constexpr double kTurnaroundMs = 20;

std::string request_frame(int address, int width) {
    return build_request(true, hash_name("dev"), {}, 0, Addressing{address, width});
}

Clock::duration milliseconds(double ms) {
    return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double, std::milli>(ms));
}

// Reads one parameter of the module at the address with the ordinary request (retries included): only
// for modules that answered, so it costs nothing on empty addresses.
bool read_from(DeviceIO& io, int address, Parameter& parameter, std::uint16_t timeout_ms) {
    io.sio().settings.base_address = address;
    io.sio().set_reply_timeout_ms(timeout_ms);
    return io.request(true, &parameter) == RequestResult::Done;
}

// One baud rate's sweep. Replies are taken for the address they carry, whichever request was the last:
// a module that answers late is heard while a later address is asked.
class Sweep {
  public:
    Sweep(DeviceIO& io, const BusScanRequest& request, int baud)
        : io_(io),
          sio_(io.sio()),
          request_(request),
          baud_(baud),
          ordinary_ms_(sio_.reply_timeout_ms()),
          // A reply that has begun when the wait ends is waited for to its end.
          rest_of_reply_(milliseconds(static_cast<double>(kMaxReply) * character_time_ms(sio_.settings) +
                                      kTurnaroundMs)) {}

    // Asks the address and listens for the pace's wait, or until the address itself has answered.
    void ask(int address) {
        asked_ = std::max(asked_, address);
        if (sio_.send(request_frame(address, request_.address_width)) != TransferResult::Delivered) return;
        sent_at_ = Clock::now();
        const double wait_ms =
            request_.pace == ScanPace::Thorough ? ordinary_ms_ : scan_reply_timeout_ms(sio_.settings);
        if (listen(sent_at_ + milliseconds(wait_ms), address)) note(address);
    }

    // Lets every reply still due arrive (a reply starts within the ordinary time-out of its request), then
    // asks each address heard again with the ordinary time-out and lists those that answer it. Waits only
    // when an address was heard, or at the end of the sweep (`last`).
    void confirm(std::vector<FoundModule>& modules, const std::function<void(const FoundModule&)>& found,
                 const platform::Event* cancel, bool last) {
        if (heard_.empty() && !last) return;
        listen(sent_at_ + milliseconds(ordinary_ms_), -1);
        while (!heard_.empty() && !(cancel && cancel->is_set())) {
            const int address = *heard_.begin();
            heard_.erase(heard_.begin());
            settled_.insert(address);
            if (sio_.send(request_frame(address, request_.address_width)) != TransferResult::Delivered)
                continue;
            sent_at_ = Clock::now();
            const auto reply = listen(sent_at_ + milliseconds(ordinary_ms_), address);
            if (!reply) continue;  // nothing from it this time: not listed
            FoundModule module = identify(address, *reply);
            if (!absorb(modules, module)) {
                modules.push_back(module);
                if (found) found(module);
            }
        }
    }

  private:
    // Listens until the deadline, or until the awaited address (-1: none) has answered; returns its reply.
    std::optional<std::string> listen(Clock::time_point until, int awaited) {
        bool extended = false;
        for (;;) {
            Reply reply;
            const TransferResult got = sio_.listen(reply, until);
            if (got == TransferResult::Delivered) {
                const std::string frame = header_onwards(reply.text());
                const auto address = reply_address(frame, request_.address_width);
                if (address && *address == awaited) return frame;
                if (address) note(*address);
                if (extended && !sio_.reply_begun()) return std::nullopt;  // the reply that had begun is in
                continue;
            }
            if (got == TransferResult::Timeout && sio_.reply_begun() && !extended) {
                until = Clock::now() + rest_of_reply_;
                extended = true;
                continue;
            }
            return std::nullopt;
        }
    }

    // A module resynchronises on a frame header: so does the scan.
    static std::string header_onwards(std::string_view text) {
        const std::size_t header = text.rfind('#');
        return header == std::string_view::npos ? std::string() : std::string(text.substr(header));
    }

    // An address heard is asked again later; only those asked already count (a reply carrying another
    // address is noise).
    void note(int address) {
        if (address < request_.first_address || address > asked_ || settled_.contains(address)) return;
        heard_.insert(address);
    }

    // A module confirmed may start its replies as late as the ordinary time-out: its identification is read
    // with room for the whole reply after that.
    std::uint16_t identify_ms() const {
        return static_cast<std::uint16_t>(
            ordinary_ms_ + std::chrono::ceil<std::chrono::milliseconds>(rest_of_reply_).count());
    }

    FoundModule identify(int address, const std::string& frame) {
        const std::uint16_t identify_hash = hash_name("dev");
        FoundModule module;
        module.address = address;
        module.baud_rate = baud_;
        const ReplyOutcome outcome = parse_reply(frame, identify_hash);
        Parameter dev("dev");
        dev.set_data_type("string");
        if (outcome.kind == ReplyOutcome::Kind::Accepted &&
            dev.ConvertFromData(outcome.data) != MyConverter::DecodeResult::Undecodable) {
            module.identification = dev.value_text();
            module.model = match_identification(module.identification);
            if (module.model == kSharedIdentificationRow) {
                auto tdev = make_tdev_parameter();
                const bool read = read_from(io_, address, *tdev, identify_ms());
                module.model = resolve_tdev(*module.model, read ? tdev_position(*tdev) : std::nullopt);
            }
            Parameter ver("ver");
            ver.set_data_type("string");
            if (read_from(io_, address, ver, identify_ms())) module.version = ver.value_text();
        } else {
            module.problem = outcome.kind == ReplyOutcome::Kind::Accepted     ? "unreadable identification"
                             : outcome.kind == ReplyOutcome::Kind::ErrorReply ? "error reply"
                                                                              : outcome.message;
        }
        return module;
    }

    // A module with several channels answers at the addresses after its own too, refusing "dev" there:
    // those addresses are part of it. True when the module was taken in that way.
    bool absorb(std::vector<FoundModule>& modules, const FoundModule& module) const {
        if (module.problem != "error reply") return false;
        for (FoundModule& owner : modules)
            if (owner.baud_rate == baud_ && owner.problem.empty() &&
                owner.address + owner.further_addresses + 1 == module.address) {
                ++owner.further_addresses;
                return true;
            }
        return false;
    }

    DeviceIO& io_;
    Sio& sio_;
    const BusScanRequest& request_;
    const int baud_;
    const std::uint16_t ordinary_ms_;
    const Clock::duration rest_of_reply_;
    Clock::time_point sent_at_{};
    int asked_ = -1;
    std::set<int> heard_;    // addresses that answered, to be asked again
    std::set<int> settled_;  // asked again already
};

// Addresses a module answers at beyond its own may have been confirmed before the module itself (its
// reply came late): they join it once the list is in order.
void absorb_further_addresses(std::vector<FoundModule>& modules) {
    std::sort(modules.begin(), modules.end(), [](const FoundModule& a, const FoundModule& b) {
        return a.baud_rate != b.baud_rate ? a.baud_rate < b.baud_rate : a.address < b.address;
    });
    std::vector<FoundModule> kept;
    for (const FoundModule& module : modules) {
        if (!kept.empty()) {
            FoundModule& owner = kept.back();
            if (module.problem == "error reply" && owner.baud_rate == module.baud_rate &&
                owner.problem.empty() && owner.address + owner.further_addresses + 1 == module.address) {
                ++owner.further_addresses;
                continue;
            }
        }
        kept.push_back(module);
    }
    modules = std::move(kept);
}

}  // namespace

int scan_reply_timeout_ms(const PortSettings& line) {
    return static_cast<int>(
        std::ceil(static_cast<double>(kMaxReply) * character_time_ms(line) + kTurnaroundMs));
}

double scan_seconds_per_address(const PortSettings& line, ScanPace pace) {
    const double request_ms =
        static_cast<double>(request_frame(1, line.address_width).size()) * character_time_ms(line);
    const double wait_ms =
        pace == ScanPace::Thorough ? ordinary_reply_timeout_ms(line) : scan_reply_timeout_ms(line);
    return (request_ms + wait_ms) / 1000.0;
}

double scan_estimate_seconds(const BusScanRequest& request, PortSettings line) {
    double seconds = 0;
    for (const int baud : request.baud_rates) {
        line.baud_rate = baud;
        line.address_width = request.address_width;
        seconds += request.addresses() * scan_seconds_per_address(line, request.pace);
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
    std::lock_guard lock(io.context().line_lock);
    Sio& sio = io.sio();
    const PortSettings before = sio.settings;
    const bool was_open = sio.is_open();
    const auto started = Clock::now();
    BusScanResult result;
    BusScanProgress step;
    step.total = request.steps();
    const auto cancelled = [cancel] { return cancel && cancel->is_set(); };

    for (const int baud : request.baud_rates) {
        if (cancelled()) break;
        sio.close();
        sio.settings.baud_rate = baud;
        sio.settings.address_width = request.address_width;
        if (sio.open() != OpenResult::Opened) {
            result.error = sio.open_error().empty()
                               ? "the port cannot be opened at " + std::to_string(baud) + " baud"
                               : sio.open_error();
            break;
        }
        Sweep sweep(io, request, baud);
        for (int address = request.first_address; address <= request.last_address; ++address) {
            if (cancelled()) break;
            sweep.ask(address);
            sweep.confirm(result.modules, found, cancel, address == request.last_address);
            ++step.done;
            step.baud_rate = baud;
            step.address = address;
            const double elapsed = std::chrono::duration<double>(Clock::now() - started).count();
            step.seconds_left = elapsed / step.done * (step.total - step.done);
            if (progress) progress(step);
        }
    }
    absorb_further_addresses(result.modules);
    result.cancelled = cancelled();
    sio.close();
    sio.settings = before;
    if (was_open) sio.open();
    return result;
}

std::string found_module_text(const FoundModule& module) {
    std::string text =
        "address " + std::to_string(module.address) + " at " + std::to_string(module.baud_rate) + " baud: ";
    if (!module.problem.empty()) return text + "a reply that could not be read (" + module.problem + ")";
    text += module.model ? std::string(display_name(*module.model))
                         : "unknown module \"" + module.identification + "\"";
    if (!module.version.empty()) text += ", version " + module.version;
    if (module.further_addresses > 0)
        text +=
            " (also at " + std::to_string(module.address + 1) +
            (module.further_addresses > 1 ? "-" + std::to_string(module.address + module.further_addresses)
                                          : "") +
            ")";
    return text;
}

}  // namespace varda
