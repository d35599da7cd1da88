#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/platform/serial_ports.h"

namespace varda {

class DeviceIO;
namespace platform {
class Event;
}

// How long each address is given to answer. A quick scan waits for the longest reply's time on the line and
// a little more: a module that answers later (a response delay set in it, a USB adapter, a gateway) is still
// found at its own address when its late reply comes through whole, but that reply can meet the next request
// on the line and be lost. A thorough scan waits the ordinary reply time-out at every address.
enum class ScanPace { Quick, Thorough };

// What to look for: every address of the range at each baud rate, in turn.
struct BusScanRequest {
    std::vector<int> baud_rates{9600};
    int first_address = 1;
    int last_address = 247;
    int address_width = 8;
    ScanPace pace = ScanPace::Quick;

    int addresses() const { return last_address >= first_address ? last_address - first_address + 1 : 0; }
    int steps() const { return addresses() * static_cast<int>(baud_rates.size()); }
};

// A module that answered. `model` is its row in the device table when the identification is known.
struct FoundModule {
    int address = 0;
    int baud_rate = 0;
    std::string identification;  // what "dev" gave; empty when the reply could not be read
    std::string version;
    std::optional<int> model;
    std::string problem;  // why the reply could not be read (two modules on one address, noise)
    // A module with several channels answers at the addresses after its own too (with an error to "dev").
    int further_addresses = 0;
};

struct BusScanProgress {
    int done = 0;
    int total = 0;
    int baud_rate = 0;
    int address = 0;
    double seconds_left = 0;
};

// How long a quick scan's request waits: the longest reply's time on the line at this baud rate plus the
// module's turnaround, instead of the generous time-out of ordinary requests.
int scan_reply_timeout_ms(const PortSettings& line);
// What one unanswered address costs at that pace: the request's time on the line plus the wait.
double scan_seconds_per_address(const PortSettings& line, ScanPace pace = ScanPace::Quick);
// The whole scan when nothing answers, for the estimate shown before starting.
double scan_estimate_seconds(const BusScanRequest& request, PortSettings line);

// "about 40 s", "about 3 min".
std::string duration_text(double seconds);

struct BusScanResult {
    std::vector<FoundModule> modules;
    std::string error;  // the port could not be opened: nothing was scanned
    bool cancelled = false;
};

// Asks each address for its identification once, without retries. A reply counts for the address it
// carries, whenever it comes, and each address that answered is asked again with the ordinary time-out
// before it is listed. Runs under the line's lock; the port's settings are restored afterwards. `progress`
// runs on the calling thread after each address; `found` for each module as it is confirmed. The modules
// come back in the order of baud rate and address. Stops early when `cancel` is set.
BusScanResult scan_bus(DeviceIO& io, const BusScanRequest& request,
                       const std::function<void(const BusScanProgress&)>& progress,
                       const std::function<void(const FoundModule&)>& found, const platform::Event* cancel);

// One line about a module found: "address 16 at 9600 baud: Tavik-VK03, version 2.10".
std::string found_module_text(const FoundModule& module);

}  // namespace varda
