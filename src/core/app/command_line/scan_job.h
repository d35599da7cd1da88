#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/app/command_line/command_line.h"
#include "core/link/bus_scan.h"
#include "core/link/serial_backend.h"

namespace varda {

// `varda --scan[:thorough] [-port:… -bps:9600,19200 -alen:8 -addr:1-247] [--json]`: what the scan is to
// cover.
struct ScanCommand {
    CommandLine line;  // the port settings the scan shares with jobs (-port, -prty, -len, -sbit, -alen)
    ScanPace pace = ScanPace::Quick;
    std::vector<int> baud_rates;               // empty: the configured one
    std::optional<std::pair<int, int>> range;  // empty: 1-247 (8-bit addresses)
    bool json = false;
    std::vector<std::string> errors;
};

// Whether the arguments ask for a bus scan.
bool asks_for_scan(const std::vector<std::string>& args);
ScanCommand parse_scan_command_line(const std::vector<std::string>& args);

struct ScanJobResult {
    int exit_code = 0;
    std::string failure;  // one line for standard error; "" when modules were found
    std::string output;   // one line per module, or the JSON array
};

// Scans the line with the stored port settings and those of the command line; the address width is the
// command line's (8 bits without -alen). Exit 0 when at least one
// module answered; 202 when none did; 201 when the port cannot be opened; 2 for an unusable command.
ScanJobResult run_scan_job(const ScanCommand& command, std::unique_ptr<SerialBackend> backend,
                           const std::function<void(const std::string&)>& progress = {});

// The modules found as a JSON array.
std::string found_modules_json(const std::vector<FoundModule>& modules);

}  // namespace varda
