#include "core/app/command_line/command_line.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <climits>
#include <filesystem>
#include <optional>

#include "core/link/sio.h"

#include "core/link/exit_status.h"
#include "core/model/network_elements.h"

namespace varda {
namespace {

namespace fs = std::filesystem;

struct Item {
    std::string_view name;
    bool takes_value;  // NAME:VALUE rather than a switch
};

constexpr Item kItems[] = {
    {"write", false},   {"read", false},     {"close", false},    {"aply", false}, {"calibrate", false},
    {"test", false},    {"silent", false},   {"port", true},      {"elog", true},  {"bps", true},
    {"prty", true},     {"addr", true},      {"len", true},       {"sbit", true},  {"alen", true},
    {"rs485", true},    {"x", true},         {"y", true},         {"w", true},     {"h", true},
    {"autoread", true}, {"autowrite", true}, {"exitevent", true}, {"brand", true},
};

constexpr int kLargestAddress = 2047;  // 11 bits

std::string lower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

const Item* find_item(std::string_view lower_name) {
    const auto* found = std::find_if(std::begin(kItems), std::end(kItems),
                                     [&](const Item& item) { return item.name == lower_name; });
    return found == std::end(kItems) ? nullptr : found;
}

// "close", "Close" or "bps:19200": a segment that reads as an item of its own.
bool is_known_item(std::string_view segment) {
    return find_item(lower(segment.substr(0, segment.find(':')))) != nullptr;
}

// A whole decimal number, without sign unless `signed_ok`; never through the locale.
std::optional<long> whole_number(std::string_view text, bool signed_ok = false) {
    if (text.empty() || (!signed_ok && text.front() == '-')) return std::nullopt;
    long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

// Quotes only group a value; they are never part of it.
std::string unquote(std::string value) {
    std::erase(value, '"');
    return value;
}

// Whether the path can serve the item as it stands: a port must exist; a log file must be a file that
// exists or can be made in an existing folder.
bool usable_path(std::string_view item, const std::string& path) {
    std::error_code error;
    if (item != "elog") return fs::exists(path, error);
    if (fs::exists(path, error)) return !fs::is_directory(path, error);
    fs::path folder = fs::path(path).parent_path();
    if (folder.empty()) folder = ".";
    return fs::is_directory(folder, error);
}

// How much of `rest` (a path value up to the end of its argument) is the path. Items at its end are split
// off only when the path without them is usable and the whole is not, fewest items first.
std::size_t path_value_length(std::string_view item, std::string_view rest) {
    if (usable_path(item, std::string(rest))) return rest.size();
    std::size_t segment_end = rest.size();
    for (std::size_t slash = rest.rfind('/'); slash != std::string_view::npos && slash > 0;
         slash = rest.rfind('/', slash - 1)) {
        if (!is_known_item(rest.substr(slash + 1, segment_end - slash - 1))) break;
        if (usable_path(item, std::string(rest.substr(0, slash)))) return slash;
        segment_end = slash;
    }
    return rest.size();
}

std::string join_rates() {
    std::string text;
    for (const int rate : supported_baud_rates())
        text += (text.empty() ? "" : ", ") + std::to_string(rate);
    return text;
}

}  // namespace

const char* address_problem(long address, int address_length) {
    if (address == kBroadcastAddress) return "255 is the broadcast address, not a module's";
    if (address_length != 11 && address > kBroadcastAddress)
        return "with 8-bit addresses the address must be 0 to 254 (-alen:11 allows up to 2047)";
    return nullptr;
}

namespace {

class ItemReader {
  public:
    explicit ItemReader(CommandLine& cl) : cl_(cl) {}

    // `written` is the item as the user wrote it, for the messages.
    void apply(const std::string& name, const std::string& raw_value, bool has_value,
               const std::string& written) {
        written_ = written;
        const Item* item = find_item(name);
        if (!item) {
            ++unknown_;
            cl_.warnings.push_back(written + ": unknown item, ignored");
            return;
        }
        if (!item->takes_value) {
            if (has_value)
                cl_.warnings.push_back(written + ": " + name + " takes no value; the value is ignored");
            apply_switch(name);
        } else {
            apply_value(name, raw_value);
        }
    }

  private:
    void refuse(const std::string& why) { cl_.errors.push_back(written_ + ": " + why); }
    void port_setting() { cl_.options |= CommandLine::kPortSettings; }

    void apply_switch(const std::string& name) {
        if (name == "write") cl_.options |= CommandLine::kWrite;
        if (name == "read") cl_.options |= CommandLine::kRead;
        if (name == "close") cl_.options |= CommandLine::kClose;
        if (name == "aply") cl_.options |= CommandLine::kAply;
        if (name == "calibrate") cl_.options |= CommandLine::kCalibrate;
        if (name == "test") cl_.modes |= CommandLine::kTest;
        if (name == "silent")
            cl_.modes |= CommandLine::kSilent | CommandLine::kAutoreadOff | CommandLine::kAutowriteOff;
    }

    void apply_value(const std::string& name, const std::string& raw_value) {
        const std::string value = lower(raw_value);
        const auto number = whole_number(value);
        if (value.empty() && (name == "addr" || name == "sbit")) {
            cl_.warnings.push_back(written_ + ": no value, ignored");
            return;
        }
        if (name == "port") {
            if (raw_value.empty() || (number && *number < 1))
                return refuse("needs a device path, or n >= 1 for COMn");
            // A number names a COM-style port; anything else is a device path and keeps its case.
            cl_.port = number ? "COM" + value : raw_value;
            port_setting();
        } else if (name == "bps") {
            if (!number || !supported_baud_rate(static_cast<int>(*number)))
                return refuse("the baud rate must be one of " + join_rates());
            cl_.baud_rate = static_cast<int>(*number);
            port_setting();
        } else if (name == "prty") {
            static constexpr std::string_view kParities[] = {"even", "odd", "no"};
            const auto* found = std::find(std::begin(kParities), std::end(kParities), value);
            if (found == std::end(kParities)) return refuse("the parity must be even, odd or no");
            cl_.parity = static_cast<int>(found - std::begin(kParities)) + 1;
            port_setting();
        } else if (name == "addr") {
            if (!number || *number > kLargestAddress)
                return refuse("the address must be a whole number, 0 to 2047");
            cl_.address = value;
            port_setting();
        } else if (name == "len") {
            if (!number || !supported_data_bits(static_cast<int>(*number)))
                return refuse("the data bits must be 5 to 8");
            cl_.data_bits = static_cast<int>(*number);
            port_setting();
        } else if (name == "sbit") {
            if (!number || !supported_stop_bits(static_cast<int>(*number)))
                return refuse("the stop bits must be 1 or 2");
            cl_.stop_bits = value;
            port_setting();
        } else if (name == "alen") {
            if (!number || (*number != 8 && *number != 11))
                return refuse("the address length must be 8 or 11");
            cl_.address_length = static_cast<int>(*number);
            port_setting();
        } else if (name == "rs485") {
            static constexpr std::string_view kModes[] = {"auto", "off", "on"};
            const auto* found = std::find(std::begin(kModes), std::end(kModes), value);
            if (found == std::end(kModes)) return refuse("the adapter mode must be auto, off or on");
            cl_.adapter = static_cast<int>(found - std::begin(kModes)) + 1;
        } else if (name == "x" || name == "y" || name == "w" || name == "h") {
            apply_window(name, value);
        } else if (name == "autoread" || name == "autowrite") {
            if (value != "on" && value != "off") return refuse("the value must be on or off");
            const bool read = name == "autoread";
            if (value == "on") cl_.modes |= read ? CommandLine::kAutoreadOn : CommandLine::kAutowriteOn;
            if (value == "off") cl_.modes |= read ? CommandLine::kAutoreadOff : CommandLine::kAutowriteOff;
        } else if (name == "elog") {
            const std::string& path = raw_value;
            if (path.empty()) return refuse("needs a file name");
            std::error_code error;
            if (fs::is_directory(path, error)) return refuse("that is a folder; the log needs a file name");
            if (!usable_path(name, path)) return refuse("the log file cannot be made there: no such folder");
            cl_.error_log = path;
        } else if (name == "brand") {
            cl_.brand = brand_from_name(value);
            if (!cl_.brand) return refuse("the brand must be ravelin or kest");
        } else if (name == "exitevent") {
            const std::string& event = raw_value;
            if (event.empty() || event == "/") return refuse("needs a name");
            cl_.exit_event = event;
        }
    }

    void apply_window(const std::string& name, const std::string& value) {
        const bool position = name == "x" || name == "y";
        const auto number = whole_number(value, position);
        if (!number || *number < INT_MIN || *number > INT_MAX)
            return refuse(position ? "the position must be a whole number"
                                   : "the size must be a whole number, 0 or more");
        const int n = static_cast<int>(*number);
        if (name == "x") cl_.x = n, cl_.window |= CommandLine::kX;
        if (name == "y") cl_.y = n, cl_.window |= CommandLine::kY;
        if (name == "w") cl_.w = n, cl_.window |= CommandLine::kW;
        if (name == "h") cl_.h = n, cl_.window |= CommandLine::kH;
    }

  public:
    int unknown_items() const { return unknown_; }

  private:
    CommandLine& cl_;
    std::string written_;
    int unknown_ = 0;
};

// Where a value that starts at `start` ends, for the item `name`.
std::size_t value_end(std::string_view name, std::string_view arg, std::size_t start) {
    const std::string_view rest = arg.substr(start);
    // A gateway's address ("tcp://host:port") carries slashes of its own; items after it need an argument
    // of their own.
    if (name == "port" && rest.find("://") != std::string_view::npos) return arg.size();
    const bool path = name == "elog" || (name == "port" && (rest.starts_with('/') || rest.starts_with('.')));
    if (path) return start + path_value_length(name, rest);
    // An event's name may begin with the "/" of a semaphore's name.
    const std::size_t from = name == "exitevent" && rest.starts_with('/') ? start + 1 : start;
    const std::size_t slash = arg.find('/', from);
    return slash == std::string_view::npos ? arg.size() : slash;
}

// "  0    done", one line per code of the status word and the command line's own.
std::string exit_code_list() {
    std::string list =
        "  0    done\n  2    the command line cannot be carried out (a bad option value, no display and\n"
        "       no job, -calibrate without a display)\n";
    for (int code = kFirstStatusCode; code <= kLastStatusCode; ++code)
        list += "  " + std::to_string(code) + "  " + std::string(exit_code_meaning(code)) + "\n";
    return list;
}

// Reads the items of one option argument; returns how many of them are no item of ours.
int parse_option_argument(CommandLine& cl, std::string_view arg, std::string_view prefix) {
    cl.options |= CommandLine::kCommandLineMode;
    ItemReader reader(cl);
    std::size_t pos = 0;
    while (pos < arg.size()) {
        const std::size_t slash = std::min(arg.find('/', pos), arg.size());
        const std::size_t colon = arg.find(':', pos);
        const bool has_value = colon < slash;
        const std::size_t name_end = has_value ? colon : slash;
        const std::string name = lower(arg.substr(pos, name_end - pos));
        std::string value;
        std::size_t end = slash;
        if (has_value) {
            const std::size_t start = colon + 1;
            if (start < arg.size() && arg[start] == '"') {
                // A quoted value runs to its closing quote.
                const std::size_t close = arg.find('"', start + 1);
                end = close == std::string_view::npos ? arg.size() : close + 1;
            } else {
                end = value_end(name, arg, start);
            }
            value = unquote(std::string(arg.substr(start, end - start)));
        }
        if (!name.empty())
            reader.apply(name, value, has_value,
                         std::string(prefix) + std::string(arg.substr(pos, end - pos)));
        pos = end;
        if (pos < arg.size() && arg[pos] == '/') ++pos;
    }
    return reader.unknown_items();
}

// An argument that starts with "/" is an option only when it is made of our items alone: a path such as
// "/srv/plant/A" names the configuration file, so that a job never drops where it was to save.
bool looks_like_option(const std::string& arg) {
    if (arg.size() < 2) return false;
    if (arg[0] == '-') return true;
    if (arg[0] != '/') return false;
    std::error_code error;
    if (std::filesystem::exists(arg, error)) return false;
    if (arg.size() > 4 && lower(arg.substr(arg.size() - 4)) == ".vdc") return false;
    CommandLine scratch;
    return parse_option_argument(scratch, std::string_view(arg).substr(1), "/") == 0;
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
        } else if (arg == "--no-window") {
            cl.no_window = true;
        } else if (arg == "--stats:json") {
            cl.stats_json = std::string();
        } else if (arg.rfind("--stats:json:", 0) == 0) {
            cl.stats_json = arg.substr(13);
            if (cl.stats_json->empty())
                cl.errors.push_back("--stats:json: name the file, or give --stats:json alone");
        } else if (arg.rfind("--stats", 0) == 0) {
            cl.errors.push_back(arg + ": the statistics are written as --stats:json or --stats:json:FILE");
        } else if (arg == "--trace") {
            cl.trace = std::string();
        } else if (arg.rfind("--trace:", 0) == 0) {
            cl.trace = arg.substr(8);
            if (cl.trace->empty())
                cl.errors.push_back("--trace: name the file, or give --trace alone for standard error");
        } else if (looks_like_option(arg)) {
            const std::size_t skip = arg[1] == '-' ? 2 : 1;
            parse_option_argument(cl, std::string_view(arg).substr(skip),
                                  std::string_view(arg).substr(0, skip));
        } else if (cl.file_name.empty()) {
            cl.file_name = arg;
        } else {
            cl.warnings.push_back(arg + ": a second file name, ignored");
        }
    }
    if (cl.address_length) check_address(cl, cl.address_length);
    return cl;
}

void check_address(CommandLine& cl, int stored_address_length) {
    if (cl.address.empty()) return;
    const int length = cl.address_length ? cl.address_length : stored_address_length;
    if (const char* problem = address_problem(whole_number(cl.address).value_or(0), length)) {
        cl.errors.push_back("-addr:" + cl.address + ": " + problem);
        cl.address.clear();
    }
}

std::string command_line_help() {
    return "Usage: varda [OPTION]... [FILE.vdc]\n"
           "Configures the VK00-VK22 I/O modules through a serial port.\n"
           "\n"
           "Without a job the configurator window opens, with FILE when one is given. A job (-read, -write,\n"
           "-test) ends with an exit code. With a display a read or a write runs in the window, which\n"
           "shows its progress and closes after it with -close; without a display, or with --no-window,\n"
           "it runs without a window. An option is one or more items separated by '/', each NAME or\n"
           "NAME:VALUE, for example\n"
           "  varda -read/close -port:/dev/ttyUSB0 plant1.vdc\n"
           "An argument that starts with '/' and holds anything but these items is FILE (/srv/plant/A).\n"
           "A path value (-port:/..., -elog:) runs to the end of its argument; items written after it are\n"
           "split off when the path without them exists:\n"
           "  -port:/dev/ttyUSB0/close        port /dev/ttyUSB0, then close (when /dev/ttyUSB0 exists)\n"
           "  -elog:logs/err.txt/read         log file logs/err.txt, then read (when the folder logs "
           "exists)\n"
           "\n"
           "Jobs:\n"
           "  -read               read the module and save its configuration to FILE; a read that fails\n"
           "                      or is stopped leaves FILE as it was and saves what it read beside it,\n"
           "                      as NAME.partial.vdc (named on standard error)\n"
           "  -write              write the configuration in FILE to the module; a value outside its\n"
           "                      parameter's range refuses the whole file (exit 200, nothing written)\n"
           "  -aply               after a write that changed network settings, apply them and follow them\n"
           "  -calibrate          open the window, calibrate the module, then close\n"
           "  -test               connect to the module, then end\n"
           "  -close              end when the job is done\n"
           "  --no-window         run the job without the window even when there is a display; the\n"
           "                      same job with the same files and exit codes\n"
           "Port (the stored settings are used for what is not given):\n"
           "  -port:N|PATH        serial port: a device path, or N for COMN (= /dev/ttyS(N-1)), or a\n"
           "                      network gateway: tcp://HOST:PORT (raw) or rfc2217://HOST:PORT\n"
           "  -bps:N              baud rate        -prty:even|odd|no   parity\n"
           "  -len:5..8           data bits        -sbit:1|2           stop bits\n"
           "  -addr:N             module address   -alen:8|11          address length in bits\n"
           "  -rs485:auto|off|on  adapter direction control\n"
           "Finding modules:\n"
           "  --scan[:thorough]   list every module that answers on the line: one line per module\n"
           "                      (address, baud rate, model, version), or a JSON array with --json;\n"
           "                      -bps:9600,19200 tries each rate, -addr:1-247 the addresses (the default\n"
           "                      for 8-bit addresses; -alen:11 scans 11-bit addresses and needs a range).\n"
           "                      A reply counts for the address it carries, and each address that\n"
           "                      answered is asked again before it is listed. --scan is quick (about 13 s\n"
           "                      for 247 addresses at 9600 baud) but may miss a module whose reply starts\n"
           "                      later than about 50 ms at 9600 baud (a response delay set in it, a USB\n"
           "                      adapter, a gateway); --scan:thorough waits the full reply time-out at\n"
           "                      every address (about 1 min) and misses none that answers within it.\n"
           "                      Exit 0 when a module answered, 202 when none did\n"
           "Configuration files as text (no port, no window):\n"
           "  --export:json|csv FILE.vdc [--changed]\n"
           "                      print the configuration, one record per parameter (branch path, name,\n"
           "                      index, description, type, value, default, access attributes), in the\n"
           "                      tree of the module version the file was read with; --changed: only\n"
           "                      those whose value differs from their default\n"
           "  --import:json IN.json OUT.vdc\n"
           "                      make a configuration file from such JSON; values are checked as the\n"
           "                      editor checks them. Exit 2, writing nothing, when the JSON or a record\n"
           "                      is refused; exit 1 when records of parameters the model lacks were\n"
           "                      skipped; each named on standard error\n"
           "  --diff A.vdc B.vdc [--json]\n"
           "                      print the values and attributes that differ (\"2\" equals \"2.000\");\n"
           "                      exit 0 equal, 1 different, 2 error\n"
           "Other:\n"
           "  -elog:PATH          write every failed read or write to this file\n"
           "  -exitevent:NAME     end when the named semaphore NAME is posted (exit code 205)\n"
           "  -silent             never open the serial port\n"
           "  -autoread:on|off    read values automatically when a branch opens\n"
           "  -brand:ravelin|kest the models and commands offered (kept for the next start): ravelin\n"
           "                      (the default) or kest, which adds calibration, the parameter-list\n"
           "                      export and Execute INIT (in the window: Tools > Service functions)\n"
           "  --verbose           show the progress of the job on standard error\n"
           "  --summary           print the model, the parameters and the failures at the end\n"
           "  --stats:json[:FILE] write the line's counters (requests, retries, time-outs, garbled and\n"
           "                      error replies, reply times) as JSON at the end, to FILE or standard "
           "output\n"
           "  --trace[:FILE]      write every frame of the job, decoded, one line each, to FILE\n"
           "                      (standard error without FILE)\n"
           "  --help              show this text      --version   show the version\n"
           "\n"
           "Exit codes (a job that fails also says why in one line on standard error):\n" +
           exit_code_list();
}

}  // namespace varda
