#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/devices/brand.h"

namespace varda {

// What the command line asked for. Items are case-insensitive; the values that are paths (port, elog) and
// the exit event's name keep their case.
struct CommandLine {
    enum Option : unsigned {
        kWrite = 0x01,
        kPortSettings = 0x02,
        kClose = 0x04,
        kAply = 0x08,
        kCalibrate = 0x10,
        kCommandLineMode = 0x20,
        kRead = 0x40,
    };
    enum Mode : unsigned {
        kAutoreadOn = 0x01,
        kAutoreadOff = 0x02,
        kAutowriteOn = 0x04,
        kAutowriteOff = 0x08,
        kTest = 0x10,
        kSilent = 0x20,
    };
    enum Window : unsigned { kX = 1, kY = 2, kW = 4, kH = 8 };

    unsigned options = 0;
    unsigned modes = 0;
    unsigned window = 0;
    std::string port;  // "COMn" or a device path; empty when not given
    int baud_rate = 0;
    int parity = 0;  // 1 even, 2 odd, 3 none, 0 not given
    std::string address;
    int data_bits = 0;
    std::string stop_bits;
    int address_length = 0;
    int adapter = 0;  // 1 auto, 2 off, 3 on
    int x = 0, y = 0, w = 0, h = 0;
    std::string file_name;
    std::string error_log;
    std::string exit_event;
    std::optional<BrandId> brand;  // -brand:, when given
    bool help = false;
    bool version = false;
    bool verbose = false;                   // progress lines on standard error
    bool summary = false;                   // one line about the job at the end
    bool no_window = false;                 // --no-window: the job runs without the window, display or not
    std::optional<std::string> trace;       // --trace (""), --trace:FILE: every frame of the job, decoded
    std::optional<std::string> stats_json;  // --stats:json (""), --stats:json:FILE: the line's counters
    std::vector<std::string> errors;        // values the program cannot use, worded for the user
    std::vector<std::string> warnings;      // items it ignores, worded for the user

    bool command_line_mode() const { return options & kCommandLineMode; }
    bool has(Option option) const { return options & option; }
    bool has(Mode mode) const { return modes & mode; }
    // The parity as the configurator's own setting names it ("None", "Even", "Odd"), or "".
    std::string parity_item() const;
};

// Reads the program's arguments (without the program name). An argument that starts with "-" is an option;
// one that starts with "/" is an option when it is made of known items alone and neither names an existing
// file nor ends in ".vdc" ("/read/close"; "/srv/plant/A" is a file); anything else is the configuration file.
// A path value (port, elog) runs to the end of its argument, except that items at its end are split off when
// the path without them exists: "-port:/dev/ttyACM0/close".
CommandLine parse_command_line(const std::vector<std::string>& args);

// Refuses a module address that the address length in effect cannot carry: the command line's, or the
// stored one when the command line names none.
void check_address(CommandLine& command_line, int stored_address_length);

// Why a module cannot have the address with the address length (8 or 11 bits), or nullptr.
const char* address_problem(long address, int address_length);

// The help text of `varda --help`.
std::string command_line_help();

}  // namespace varda
