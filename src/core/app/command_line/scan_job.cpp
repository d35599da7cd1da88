#include "core/app/command_line/scan_job.h"

#include <charconv>

#include "core/app/command_line/command_line_job.h"
#include "core/link/device_io.h"
#include "core/link/exit_status.h"
#include "core/link/options.h"
#include "core/link/sio.h"
#include "core/model/device_table.h"
#include "core/model/network_elements.h"
#include "core/platform/json.h"
#include "core/platform/strings.h"

namespace varda {
namespace {

constexpr int kBadCommandLine = 2;
constexpr int kLargestAddress8 = 254;  // 255 is the broadcast
constexpr int kLargestAddress11 = 2047;

std::string lower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::optional<int> whole(std::string_view text) {
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < 0) return std::nullopt;
    return value;
}

// "-bps:…", "/bps:…", "--bps:…": the value when the argument is that item.
std::optional<std::string> item_value(const std::string& arg, std::string_view name) {
    std::size_t skip = 0;
    while (skip < arg.size() && skip < 2 && (arg[skip] == '-' || arg[skip] == '/'))
        ++skip;
    if (skip == 0) return std::nullopt;
    const std::string rest = lower(std::string_view(arg).substr(skip));
    if (rest.rfind(std::string(name) + ":", 0) != 0) return std::nullopt;
    return arg.substr(skip + name.size() + 1);
}

}  // namespace

bool asks_for_scan(const std::vector<std::string>& args) {
    for (const auto& arg : args)
        if (lower(arg) == "--scan" || lower(arg).rfind("--scan:", 0) == 0) return true;
    return false;
}

ScanCommand parse_scan_command_line(const std::vector<std::string>& args) {
    ScanCommand command;
    std::vector<std::string> shared;
    for (const auto& arg : args) {
        const std::string name = lower(arg);
        if (name == "--scan" || name == "--scan:quick") continue;
        if (name == "--scan:thorough") {
            command.pace = ScanPace::Thorough;
        } else if (name.rfind("--scan:", 0) == 0) {
            command.errors.push_back(arg + ": a scan is --scan (quick) or --scan:thorough");
        } else if (name == "--json") {
            command.json = true;
        } else if (const auto rates = item_value(arg, "bps")) {
            std::string_view list = *rates;
            while (!list.empty()) {
                const std::size_t comma = list.find(',');
                const std::string_view one = list.substr(0, comma);
                const auto rate = whole(one);
                if (!rate || !supported_baud_rate(*rate)) {
                    command.errors.push_back(arg + ": \"" + std::string(one) +
                                             "\" is not a baud rate the port can use");
                    break;
                }
                command.baud_rates.push_back(*rate);
                list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
            }
            if (command.baud_rates.empty() && command.errors.empty())
                command.errors.push_back(arg + ": name one or more baud rates, e.g. -bps:9600,19200");
        } else if (const auto span = item_value(arg, "addr")) {
            const std::size_t dash = span->find('-');
            const auto first = whole(std::string_view(*span).substr(0, dash));
            const auto last =
                dash == std::string::npos ? first : whole(std::string_view(*span).substr(dash + 1));
            if (!first || !last || *first > *last)
                command.errors.push_back(
                    arg + ": the addresses must be a number or a range FIRST-LAST, e.g. 1-247");
            else
                command.range = std::pair{*first, *last};
        } else {
            shared.push_back(arg);
        }
    }
    command.line = parse_command_line(shared);
    for (const auto& error : command.line.errors)
        command.errors.push_back(error);
    if (names_a_job(command.line))
        command.errors.push_back("--scan runs alone: it cannot be combined with a job");
    if (!command.line.file_name.empty())
        command.errors.push_back(command.line.file_name + ": a scan reads no configuration file");
    return command;
}

ScanJobResult run_scan_job(const ScanCommand& command, std::unique_ptr<SerialBackend> backend,
                           const std::function<void(const std::string&)>& progress) {
    ScanJobResult result;
    if (!command.errors.empty()) {
        result.exit_code = kBadCommandLine;
        result.failure = command.errors.front();
        return result;
    }
    Options options;
    ModuleContext context;
    DeviceIO io(context, std::move(backend), options);
    // A scan looks around: what it names is used for this run only, never kept as the next start's.
    const CommandLine& cl = command.line;
    PortSettings& line = io.sio().settings;
    load_port_settings(io.program_network(), line, true);
    if (!cl.port.empty()) line.port_name = cl.port;
    if (cl.parity)
        line.parity_code = cl.parity == 1   ? parity_code::kEven
                           : cl.parity == 2 ? parity_code::kOdd
                                            : parity_code::kNone;
    if (cl.data_bits) line.data_bits = cl.data_bits;
    if (!cl.stop_bits.empty()) line.stop_bits = cl.stop_bits == "2" ? 2 : 1;
    // The address width is the scan's own: 8 bits unless -alen:11 says otherwise, whatever was stored.
    line.address_width = cl.address_length == 11 ? 11 : 8;
    if (io.sio().open() != OpenResult::Opened) {
        result.exit_code = exit_code_of(kStatusPortFailed);
        result.failure =
            io.sio().open_error().empty() ? "the serial port cannot be opened" : io.sio().open_error();
        return result;
    }

    BusScanRequest request;
    request.address_width = line.address_width;
    request.pace = command.pace;
    request.baud_rates =
        command.baud_rates.empty() ? std::vector<int>{io.sio().settings.baud_rate} : command.baud_rates;
    const int largest = request.address_width == 11 ? kLargestAddress11 : kLargestAddress8;
    if (command.range) {
        std::tie(request.first_address, request.last_address) = *command.range;
    } else if (request.address_width == 11) {
        request.first_address = 0;
        request.last_address = kLargestAddress11;
        result.exit_code = kBadCommandLine;
        result.failure =
            "an 11-bit scan needs an address range (-addr:FIRST-LAST): all 2048 addresses take " +
            duration_text(scan_estimate_seconds(request, io.sio().settings));
        return result;
    }
    if (request.last_address > largest) {
        result.exit_code = kBadCommandLine;
        result.failure = "-addr: with " + std::to_string(request.address_width) +
                         "-bit addresses the last is " + std::to_string(largest);
        return result;
    }

    if (progress)
        progress("Scanning addresses " + std::to_string(request.first_address) + "-" +
                 std::to_string(request.last_address) + " on " + io.sio().settings.port_name + ", " +
                 duration_text(scan_estimate_seconds(request, io.sio().settings)));
    int shown_rate = 0;
    const BusScanResult scan = scan_bus(
        io, request,
        [&](const BusScanProgress& step) {
            if (!progress || step.baud_rate == shown_rate) return;
            shown_rate = step.baud_rate;
            progress("at " + std::to_string(step.baud_rate) + " baud");
        },
        [&](const FoundModule& module) {
            if (progress) progress(found_module_text(module));
        },
        nullptr);

    if (command.json) {
        result.output = found_modules_json(scan.modules);
    } else {
        for (const auto& module : scan.modules)
            result.output += found_module_text(module) + "\n";
    }
    if (!scan.error.empty()) {
        result.exit_code = exit_code_of(kStatusPortFailed);
        result.failure = scan.error;
    } else if (scan.modules.empty()) {
        result.exit_code = exit_code_of(kStatusNoReply);
        result.failure = "no module answered at any address scanned";
    }
    return result;
}

std::string found_modules_json(const std::vector<FoundModule>& modules) {
    std::string out = "[";
    for (std::size_t i = 0; i < modules.size(); ++i) {
        const FoundModule& m = modules[i];
        out += i == 0 ? "\n  {" : ",\n  {";
        out += "\"address\": " + std::to_string(m.address) + ", \"baud\": " + std::to_string(m.baud_rate);
        out +=
            ", \"model\": " + (m.model ? platform::json_quote(display_name(*m.model)) : std::string("null"));
        out += ", \"identification\": " + platform::json_quote(m.identification);
        out += ", \"version\": " + platform::json_quote(m.version);
        if (m.further_addresses > 0)
            out += ", \"last_address\": " + std::to_string(m.address + m.further_addresses);
        if (!m.problem.empty()) out += ", \"problem\": " + platform::json_quote(m.problem);
        out += "}";
    }
    return out + (modules.empty() ? "]\n" : "\n]\n");
}

}  // namespace varda
