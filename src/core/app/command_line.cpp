#include "core/app/command_line.h"

#include <cctype>
#include <cstdlib>
#include <filesystem>

#include "core/app/exit_status.h"

namespace varda {
namespace {

std::string lower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string unquote(std::string value) {
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        return value.substr(1, value.size() - 2);
    std::erase(value, '"');
    return value;
}

bool is_number(std::string_view text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

bool looks_like_option(const std::string& arg) {
    if (arg.size() < 2) return false;
    if (arg[0] == '-') return true;
    if (arg[0] != '/') return false;
    std::error_code error;
    if (std::filesystem::exists(arg, error)) return false;
    return !(arg.size() > 4 && lower(arg.substr(arg.size() - 4)) == ".vdc");
}

void apply_item(CommandLine& cl, const std::string& name, const std::string& raw_value) {
    const std::string value = lower(raw_value);
    const auto number = [&value] { return std::atoi(value.c_str()); };
    auto port_setting = [&cl] { cl.options |= CommandLine::kPortSettings; };

    if (name == "write")
        cl.options |= CommandLine::kWrite;
    else if (name == "read")
        cl.options |= CommandLine::kRead;
    else if (name == "close")
        cl.options |= CommandLine::kClose;
    else if (name == "aply")
        cl.options |= CommandLine::kAply;
    else if (name == "calibrate")
        cl.options |= CommandLine::kCalibrate;
    else if (name == "test")
        cl.modes |= CommandLine::kTest;
    else if (name == "silent")
        cl.modes |= CommandLine::kSilent | CommandLine::kAutoreadOff | CommandLine::kAutowriteOff;
    else if (name == "port") {
        // A number names a COM-style port; anything else is a device path and keeps its case.
        if (is_number(value)) {
            cl.port = "COM" + value;
        } else if (!raw_value.empty()) {
            cl.port = raw_value;
        } else {
            return;
        }
        port_setting();
    } else if (name == "bps") {
        cl.baud_rate = number();
        port_setting();
    } else if (name == "prty") {
        if (value == "even") {
            cl.parity = 1;
            port_setting();
        } else if (value == "odd") {
            cl.parity = 2;
            port_setting();
        } else if (value == "no") {
            cl.parity = 3;
            port_setting();
        } else {
            cl.parity = 0;
            cl.options &= ~CommandLine::kPortSettings;
        }
    } else if (name == "addr") {
        if (value.empty()) return;
        cl.address = value.substr(0, 5);
        port_setting();
    } else if (name == "len") {
        cl.data_bits = number();
        port_setting();
    } else if (name == "sbit") {
        if (value.empty()) return;
        cl.stop_bits = value.substr(0, 4);
        port_setting();
    } else if (name == "alen") {
        cl.address_length = number();
        port_setting();
    } else if (name == "rs485") {
        if (value == "auto")
            cl.adapter = 1;
        else if (value == "off")
            cl.adapter = 2;
        else if (value == "on")
            cl.adapter = 3;
    } else if (name == "x" || name == "y" || name == "w" || name == "h") {
        const int n = number();
        if (name == "x") cl.x = n, cl.window |= CommandLine::kX;
        if (name == "y") cl.y = n, cl.window |= CommandLine::kY;
        if (name == "w") cl.w = n, cl.window |= CommandLine::kW;
        if (name == "h") cl.h = n, cl.window |= CommandLine::kH;
    } else if (name == "autoread") {
        if (value == "on") cl.modes |= CommandLine::kAutoreadOn;
        if (value == "off") cl.modes |= CommandLine::kAutoreadOff;
    } else if (name == "autowrite") {
        if (value == "on") cl.modes |= CommandLine::kAutowriteOn;
        if (value == "off") cl.modes |= CommandLine::kAutowriteOff;
    } else if (name == "elog") {
        cl.error_log = unquote(raw_value);
    } else if (name == "exitevent") {
        cl.exit_event = unquote(value);
    }
    // Anything else is ignored; it still switches command-line mode on.
}

// "  0    done", one line per code of the status word and the command line's own.
std::string exit_code_list() {
    std::string list =
        "  0    done\n  2    the command line cannot be carried out (a bad option value,\n"
        "       -calibrate without a display)\n";
    for (int code = kFirstStatusCode; code <= kLastStatusCode; ++code)
        list += "  " + std::to_string(code) + "  " + std::string(exit_code_meaning(code)) + "\n";
    return list;
}

void parse_option_argument(CommandLine& cl, std::string_view arg) {
    cl.options |= CommandLine::kCommandLineMode;
    std::size_t pos = 0;
    while (pos < arg.size()) {
        const std::size_t slash = arg.find('/', pos);
        const std::size_t colon = arg.find(':', pos);
        std::string name;
        std::string value;
        if (colon != std::string_view::npos && (slash == std::string_view::npos || colon < slash)) {
            name = lower(arg.substr(pos, colon - pos));
            const std::size_t start = colon + 1;
            // A path value (a device, a log file), or a quoted one, runs to the end of its argument.
            if (start < arg.size() && (arg[start] == '/' || arg[start] == '.' || arg[start] == '"')) {
                value = std::string(arg.substr(start));
                pos = arg.size();
            } else {
                const std::size_t end = arg.find('/', start);
                value = std::string(arg.substr(start, end == std::string_view::npos ? end : end - start));
                pos = end == std::string_view::npos ? arg.size() : end + 1;
            }
        } else {
            name = lower(arg.substr(pos, slash == std::string_view::npos ? slash : slash - pos));
            pos = slash == std::string_view::npos ? arg.size() : slash + 1;
        }
        if (!name.empty()) apply_item(cl, name, value);
    }
}

}  // namespace

std::string CommandLine::parity_item() const {
    switch (parity) {
        case 1:
            return "Even";
        case 2:
            return "Odd";
        case 3:
            return "None";
        default:
            return {};
    }
}

CommandLine parse_command_line(const std::vector<std::string>& args) {
    CommandLine cl;
    for (const auto& arg : args) {
        if (arg == "--help" || arg == "-help" || arg == "-h" || arg == "-?") {
            cl.help = true;
        } else if (arg == "--version") {
            cl.version = true;
        } else if (arg == "--verbose") {
            cl.verbose = true;
        } else if (arg == "--summary") {
            cl.summary = true;
        } else if (looks_like_option(arg)) {
            parse_option_argument(cl, std::string_view(arg).substr(arg[1] == '-' ? 2 : 1));
        } else if (cl.file_name.empty()) {
            cl.file_name = arg;
        }
    }
    return cl;
}

std::string command_line_help() {
    return "Usage: varda [OPTION]... [FILE.vdc]\n"
           "Configures the VK00-VK22 I/O modules through a serial port.\n"
           "\n"
           "Without options the configurator window opens. Options make it run one job and end with an exit\n"
           "code. An option is one or more items separated by '/', each NAME or NAME:VALUE, for example\n"
           "  varda -read/close -port:/dev/ttyUSB0 plant1.vdc\n"
           "\n"
           "Jobs:\n"
           "  -read               read the module and save its configuration to FILE\n"
           "  -write              write the configuration in FILE to the module\n"
           "  -aply               after a write that changed network settings, apply them and follow them\n"
           "  -test               connect to the module, then end\n"
           "  -close              end when the job is done\n"
           "Port (the stored settings are used for what is not given):\n"
           "  -port:N|PATH        serial port: a device path, or N for COMN (= /dev/ttyS(N-1))\n"
           "  -bps:N              baud rate        -prty:even|odd|no   parity\n"
           "  -len:N              data bits        -sbit:N             stop bits\n"
           "  -addr:N             module address   -alen:8|11          address length in bits\n"
           "  -rs485:auto|off|on  adapter direction control\n"
           "Other:\n"
           "  -elog:PATH          write every failed read or write to this file\n"
           "  -exitevent:NAME     end when the named semaphore NAME is posted (exit code 205)\n"
           "  -silent             never open the serial port\n"
           "  -autoread:on|off    read values automatically when a branch opens\n"
           "  --verbose           show the progress of the job on standard error\n"
           "  --summary           print the model, the parameters and the failures at the end\n"
           "  --help              show this text      --version   show the version\n"
           "\n"
           "Exit codes (a job that fails also says why in one line on standard error):\n" +
           exit_code_list();
}

}  // namespace varda
