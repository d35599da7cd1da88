// varda-sim: serves one simulated module on a pseudo-terminal, so that the configurator (or a test) can talk
// to it as to a module on a serial port.
#include <pthread.h>
#include <signal.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "core/app/files/paths.h"
#include "core/model/description_archive.h"
#include "sim/calibration_physics.h"
#include "sim/model_module.h"

#include "sim/console.h"
#include "sim/pty_server.h"
#include "sim/simulated_module.h"

namespace {

using varda::SwitchOverMode;
using varda::sim::Entry;
using varda::sim::Faults;

constexpr const char* kUsage =
    "Usage: varda-sim [options]\n"
    "Serves a simulated I/O module on a pseudo-terminal. The first line printed is the terminal's path;\n"
    "open it as a serial port. Ends on SIGTERM or SIGINT.\n"
    "\n"
    "  --address N          module address (default 16)\n"
    "  --width 8|11         address width in bits (default 8)\n"
    "  --mode MODE          protocol at start: ravelin (default), rtu, ascii or dcon; in a foreign\n"
    "                       protocol the module answers only the command to change to ravelin\n"
    "  --model VKnn|N       serve that model: every parameter its description in varda.dat declares,\n"
    "                       with live values (without --model a small VK05-like demo is served)\n"
    "  --archive PATH       the description archive (default: varda.dat found beside the programs)\n"
    "  --dev TEXT           answer \"dev\" with this text instead of the model's identification\n"
    "  --silent-after N     stop answering after N requests (a module that goes away)\n"
    "  --silent-first N     leave the first N requests unanswered (a module still starting up)\n"
    "  --garble             every reply carries a wrong checksum\n"
    "  --error-code N       answer every request with this module error code\n"
    "  --faults-after N     --garble and --error-code start after N requests\n"
    "  --param NAME[:INDEX]=TYPE=VALUE[,ro][,noattr]\n"
    "                       a parameter (repeat for more): network name, optional index, data type\n"
    "                       text (int, float, STORED_DOT, sint, string, None:Even:Odd, ...) and value;\n"
    "                       ro = read-only, noattr = without access attributes.\n"
    "                       Without any --param a small demo module is served.\n"
    "  --baud N             baud rate used by --line-timing (and shown by the demo's bPS)\n"
    "  --line-timing        deliver replies at the pace of a real line, in the character format the\n"
    "                       program set on the terminal (--baud, default 9600, when it cannot be read):\n"
    "                       a reply starts once its own request has crossed the line, and its\n"
    "                       characters follow one another at that pace\n"
    "  --listen-baud N      hear only frames sent at this baud rate, as after an APLY that set it\n"
    "  --log FILE           write every frame received and sent to FILE\n"
    "  --bus VKnn@A[+MSms],VKmm@B,...\n"
    "                       serve several modules on the one terminal, each at its own address, as on\n"
    "                       an RS-485 line (a multi-channel model also answers the addresses after its\n"
    "                       own); a broadcast reaches all and none answers it. +MSms: that module's\n"
    "                       replies start MS milliseconds late (VK03@16+25ms), as the console's delay\n"
    "                       command does; replies that would meet on the line go one after the other\n"
    "  --script FILE        run the console commands in FILE at start (see below)\n"
    "  --meter-delay MS     an electrical meter (VK19 to VK22) reports each calibration point MS ms\n"
    "                       after the one before (default 3000)\n"
    "  --help               show this text\n"
    "\n"
    "A module takes APLY as a real one does: the \"Addr\", \"bPS\", \"PrtY\" and \"Sbit\" written before it\n"
    "take effect, and at another baud rate, parity or number of stop bits than its own it hears only\n"
    "garbage and stays silent (a pseudo-terminal keeps only whether the parity is odd: even and none\n"
    "cannot be told apart on it).\n"
    "\n"
    "A served model plays the physical side of its calibration: the inputs it measures follow simulated\n"
    "quantities that drift to what the calibration wizard's current step asks for, unless the console's\n"
    "quantity command holds them; a meter reports its points done one after another.\n"
    "\n"
    "Standard input is a console: each line is a command, answered with one line on standard output.\n"
    "\n"
    "Example: varda-sim --address 5 --param Addr=int=5 --param SP=float=12.5 --param "
    "dev=string=VK07,ro,noattr\n";

struct BusModule {
    int model = -1;
    int address = 0;
    int delay_ms = 0;
};

struct Options {
    std::vector<BusModule> bus;
    std::string script;
    int listen_baud = 0;
    std::optional<int> meter_delay;
    int address = 16;
    int width = 8;
    SwitchOverMode mode = SwitchOverMode::Ravelin;
    std::optional<std::string> model;
    std::vector<Entry> params;
    std::optional<int> baud;
    bool line_timing = false;
    std::string log_path;
    std::string archive;
    std::optional<std::string> dev;
    Faults faults;
};

std::optional<int> parse_int(std::string_view text) {
    if (text.empty()) return std::nullopt;
    std::string s(text);
    char* end = nullptr;
    const long v = std::strtol(s.c_str(), &end, 10);
    if (*end != '\0' || v < 0 || v > 1'000'000'000) return std::nullopt;
    return static_cast<int>(v);
}

bool strip_suffix(std::string& text, std::string_view suffix) {
    if (text.size() < suffix.size() || text.compare(text.size() - suffix.size(), suffix.size(), suffix) != 0)
        return false;
    text.resize(text.size() - suffix.size());
    return true;
}

// NAME[:INDEX]=TYPE=VALUE[,ro][,noattr]
std::optional<Entry> parse_param(std::string_view text) {
    const auto eq1 = text.find('=');
    if (eq1 == std::string_view::npos) return std::nullopt;
    const auto eq2 = text.find('=', eq1 + 1);
    if (eq2 == std::string_view::npos) return std::nullopt;
    Entry e;
    std::string_view name = text.substr(0, eq1);
    if (const auto colon = name.find(':'); colon != std::string_view::npos) {
        const auto index = parse_int(name.substr(colon + 1));
        if (!index || *index > 0xFFFF) return std::nullopt;
        e.index = *index;
        name = name.substr(0, colon);
    }
    e.name = std::string(name);
    e.type = std::string(text.substr(eq1 + 1, eq2 - eq1 - 1));
    e.value = std::string(text.substr(eq2 + 1));
    for (bool more = true; more;) {
        more = false;
        if (strip_suffix(e.value, ",ro")) more = e.read_only = true;
        if (strip_suffix(e.value, ",noattr")) {
            e.has_attributes = false;
            more = true;
        }
    }
    if (e.name.empty() || e.type.empty()) return std::nullopt;
    return e;
}

// "VK03", "vk3" or "3" -> 3; -1 when it names no model.
int model_index_of(std::string_view text) {
    std::string digits(text);
    if (digits.size() > 2 && (digits[0] == 'V' || digits[0] == 'v') && (digits[1] == 'K' || digits[1] == 'k'))
        digits = digits.substr(2);
    const auto n = parse_int(digits);
    return n && *n <= 22 ? *n : -1;
}

// nullopt: stop with the exit code in `exit_code`.
std::optional<Options> parse_options(int argc, char** argv, int& exit_code) {
    Options o;
    auto fail = [&exit_code](const std::string& message) {
        std::fprintf(stderr, "varda-sim: %s\n\n%s", message.c_str(), kUsage);
        exit_code = 2;
        return std::nullopt;
    };
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            std::fputs(("\n" + varda::sim::Console::help()).c_str(), stdout);
            exit_code = 0;
            return std::nullopt;
        }
        if (arg == "--line-timing") {
            o.line_timing = true;
            continue;
        }
        if (arg == "--garble") {
            o.faults.bad_checksum = true;
            continue;
        }
        constexpr std::string_view kWithValue[] = {
            "--address",      "--width",   "--mode",   "--model",        "--param",      "--baud",
            "--log",          "--archive", "--dev",    "--silent-after", "--error-code", "--faults-after",
            "--silent-first", "--bus",     "--script", "--listen-baud",  "--meter-delay"};
        if (std::find(std::begin(kWithValue), std::end(kWithValue), arg) == std::end(kWithValue))
            return fail("unknown option: " + std::string(arg));
        if (i + 1 >= argc) return fail("missing value after " + std::string(arg));
        const std::string_view value = argv[++i];
        if (arg == "--address") {
            const auto v = parse_int(value);
            if (!v || *v > 2047) return fail("invalid address: " + std::string(value));
            o.address = *v;
        } else if (arg == "--width") {
            const auto v = parse_int(value);
            if (!v || (*v != 8 && *v != 11)) return fail("the address width is 8 or 11");
            o.width = *v;
        } else if (arg == "--mode") {
            if (value == "ravelin") {
                o.mode = SwitchOverMode::Ravelin;
            } else if (value == "rtu") {
                o.mode = SwitchOverMode::ModbusRtu;
            } else if (value == "ascii") {
                o.mode = SwitchOverMode::ModbusAscii;
            } else if (value == "dcon") {
                o.mode = SwitchOverMode::Dcon;
            } else {
                return fail("unknown mode: " + std::string(value));
            }
        } else if (arg == "--model") {
            o.model = std::string(value);
        } else if (arg == "--param") {
            auto e = parse_param(value);
            if (!e) return fail("invalid parameter: " + std::string(value));
            o.params.push_back(std::move(*e));
        } else if (arg == "--baud") {
            const auto v = parse_int(value);
            if (!v || *v == 0) return fail("invalid baud rate: " + std::string(value));
            o.baud = *v;
        } else if (arg == "--log") {
            o.log_path = std::string(value);
        } else if (arg == "--archive") {
            o.archive = std::string(value);
        } else if (arg == "--dev") {
            o.dev = std::string(value);
        } else if (arg == "--silent-after") {
            const auto v = parse_int(value);
            if (!v) return fail("invalid count: " + std::string(value));
            o.faults.silent_after = *v;
        } else if (arg == "--silent-first") {
            const auto v = parse_int(value);
            if (!v) return fail("invalid count: " + std::string(value));
            o.faults.silent_first = *v;
        } else if (arg == "--faults-after") {
            const auto v = parse_int(value);
            if (!v) return fail("invalid count: " + std::string(value));
            o.faults.reply_faults_after = *v;
        } else if (arg == "--bus") {
            std::string_view list = value;
            while (!list.empty()) {
                const auto comma = list.find(',');
                const std::string_view item = list.substr(0, comma);
                const auto at = item.find('@');
                const auto plus = item.find('+');
                const int model = at == std::string_view::npos ? -1 : model_index_of(item.substr(0, at));
                // A plain int: GCC 12 takes the optional's payload for unset after the checks below.
                const int address = at == std::string_view::npos
                                        ? -1
                                        : parse_int(item.substr(at + 1, plus - at - 1)).value_or(-1);
                std::optional<int> delay = 0;
                if (plus != std::string_view::npos) {
                    std::string ms(item.substr(plus + 1));
                    strip_suffix(ms, "ms");
                    delay = parse_int(ms);
                }
                if (model < 0 || address < 0 || address > 2047 || !delay || plus < at)
                    return fail("--bus: \"" + std::string(item) +
                                "\" is not MODEL@ADDRESS or MODEL@ADDRESS+MSms, e.g. VK03@1 or VK03@16+25ms");
                o.bus.push_back({model, address, *delay});
                list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
            }
        } else if (arg == "--listen-baud") {
            const auto v = parse_int(value);
            if (!v || *v == 0) return fail("invalid baud rate: " + std::string(value));
            o.listen_baud = *v;
        } else if (arg == "--meter-delay") {
            const auto v = parse_int(value);
            if (!v) return fail("invalid delay: " + std::string(value));
            o.meter_delay = *v;
        } else if (arg == "--script") {
            o.script = std::string(value);
        } else if (arg == "--error-code") {
            const auto v = parse_int(value);
            if (!v || *v > 255) return fail("invalid error code: " + std::string(value));
            o.faults.error_code = static_cast<std::uint8_t>(*v);
        }
    }
    if (o.width == 8 && o.address > 255) return fail("an 8-bit address is at most 255");
    return o;
}

// Control characters shown so that a log line stays one line.
std::string printable(std::string_view frame) {
    std::string out;
    for (const char c : frame) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else if (u < 0x20 || u >= 0x7F || c == '\\') {
            char buf[5];
            std::snprintf(buf, sizeof buf, "\\x%02X", u);
            out += buf;
        } else {
            out.push_back(c);
        }
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    int exit_code = 0;
    const auto options = parse_options(argc, argv, exit_code);
    if (!options) return exit_code;

    // The signals are taken by sigwait below; blocked before any thread starts, so every thread inherits it.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    signal(SIGPIPE, SIG_IGN);

    // One module, or the modules of a bus; the options that shape a module apply to the single one.
    std::vector<std::shared_ptr<varda::sim::SimulatedModule>> bus;
    std::vector<int> served_models;
    std::vector<std::shared_ptr<varda::sim::CalibrationPhysics>> physics;
    const std::string archive_path =
        options->archive.empty() ? varda::description_archive_path() : options->archive;
    const auto serve = [&](varda::sim::SimulatedModule& module, int model_index) {
        varda::DescriptionArchive archive(archive_path, false);
        const auto text = varda::ReadModelDescription(archive, model_index);
        std::string error;
        if (!text.ok || !varda::sim::serve_model(module, model_index, text.text, error)) {
            std::fprintf(stderr, "varda-sim: %s\n",
                         text.ok ? error.c_str() : (archive_path + ": " + archive.failure_message()).c_str());
            return false;
        }
        module.set_value("Addr", -1, std::to_string(module.address()));
        auto played = varda::sim::serve_calibration_physics(module, model_index);
        if (played && options->meter_delay)
            played->set_meter_delay(std::chrono::milliseconds(*options->meter_delay));
        physics.push_back(std::move(played));
        return true;
    };
    if (!options->bus.empty()) {
        for (const auto& member : options->bus) {
            auto module = std::make_shared<varda::sim::SimulatedModule>(member.address, options->width);
            if (!serve(*module, member.model)) return 1;
            Faults late;
            late.reply_delay = std::chrono::milliseconds(member.delay_ms);
            module->set_faults(late);
            bus.push_back(module);
            served_models.push_back(member.model);
        }
    } else {
        auto module = std::make_shared<varda::sim::SimulatedModule>(options->address, options->width);
        module->set_mode(options->mode);
        const int model_index = options->model ? model_index_of(*options->model) : -1;
        if (options->model && model_index < 0) {
            std::fprintf(stderr, "varda-sim: unknown model %s (VK00 to VK22)\n", options->model->c_str());
            return 2;
        }
        if (model_index >= 0) {
            if (!serve(*module, model_index)) return 1;
        } else {
            physics.push_back(nullptr);
        }
        if (model_index < 0 && options->params.empty()) {
            varda::sim::add_demo_parameters(*module, "VK05");
            if (options->baud) module->set_value("bPS", -1, std::to_string(*options->baud));
        }
        for (const auto& e : options->params)
            module->add(e);
        if (options->dev) module->set_value("dev", -1, *options->dev);
        module->set_faults(options->faults);
        bus.push_back(module);
        served_models.push_back(model_index);
    }

    std::FILE* log = nullptr;
    if (!options->log_path.empty()) {
        log = std::fopen(options->log_path.c_str(), "w");
        if (!log) {
            std::perror(("varda-sim: " + options->log_path).c_str());
            return 1;
        }
        const auto start = std::chrono::steady_clock::now();
        for (const auto& module : bus) {
            // On a bus each line names the module that heard or answered it.
            const std::string who = bus.size() > 1 ? " @" + std::to_string(module->address()) : "";
            module->set_log_sink([log, start, who](const varda::sim::LogEntry& e) {
                const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                    std::chrono::steady_clock::now() - start);
                const char* direction =
                    e.direction == varda::sim::LogEntry::Direction::Received ? "<-" : "->";
                std::fprintf(log, "%10lld%s %s %s\n", static_cast<long long>(ms.count()), who.c_str(),
                             direction, printable(e.frame).c_str());
                std::fflush(log);
            });
        }
    }

    for (const auto& module : bus)
        if (options->listen_baud) module->set_line_baud(options->listen_baud);
    varda::sim::PtyServer server(bus);
    if (options->line_timing) {
        varda::LineSettings line;
        line.baud_rate = options->baud.value_or(9600);
        server.set_line_timing(true, line);
    }
    std::string error;
    if (!server.start(error)) {
        std::fprintf(stderr, "varda-sim: %s\n", error.c_str());
        return 1;
    }
    std::printf("%s\n", server.slave_path().c_str());
    std::fflush(stdout);

    // The console: a script first, then whatever comes on standard input (nothing when it is empty).
    auto console = std::make_shared<varda::sim::Console>(bus, physics);
    static std::mutex output;
    const auto answer = [console](const std::string& line) {
        const std::string reply = console->run(line);
        if (reply.empty()) return;
        std::lock_guard lock(output);
        std::fputs((reply.back() == '\n' ? reply : reply + "\n").c_str(), stdout);
        std::fflush(stdout);
    };
    if (!options->script.empty()) {
        std::ifstream script(options->script);
        if (!script) {
            std::fprintf(stderr, "varda-sim: %s: the script cannot be read\n", options->script.c_str());
            return 2;
        }
        for (std::string line; std::getline(script, line);)
            answer(line);
    }
    // Left running at the end: the process ends with it blocked in a read.
    std::thread([answer] {
        for (std::string line; std::getline(std::cin, line);)
            answer(line);
    }).detach();

    // A served model shows life: counters count and inputs change.
    std::atomic<bool> stopping{false};
    std::thread ticker([&] {
        for (int step = 1; !stopping; ++step) {
            for (int i = 0; i < 10 && !stopping; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            for (std::size_t m = 0; m < bus.size(); ++m)
                if (served_models[m] >= 0) varda::sim::tick_live_values(*bus[m], step);
        }
    });

    int received = 0;
    sigwait(&signals, &received);
    stopping = true;
    ticker.join();
    server.stop();
    for (const auto& module : bus)
        module->set_log_sink({});
    if (log) std::fclose(log);
    return 0;
}
