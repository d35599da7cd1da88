#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace varda {

class CTarnDoc;

// The port name the in-program simulated module goes by; never kept as the port of the next start.
inline constexpr const char* kSimulatedPortName = "simulated";

// Where the user stands with the module, for the indicator in the status bar.
enum class LinkState { Online, NotAnswering, Offline, Simulated, Suspended };

struct ConnectionStatus {
    LinkState state = LinkState::Offline;
    // "/dev/ttyUSB0 · 9600 baud · address 1 · VK03 2.10 · online"; with another model's tree open,
    // "… · VK03 2.10 · tree: VK18 · online".
    std::string text;
    // "Direction control: automatic by the driver (kernel RS-485)" while a real port is open, else empty.
    std::string direction;
};

// How a port is named to the user: its adapter's name, or "simulated module" in the language on screen.
std::string port_label(const std::string& port_name);

// "online", "not answering", "offline", "simulated", "exchange suspended".
std::string_view link_state_text(LinkState state);

// Nothing while the line is busy (a task, the connection procedure): they may be changing the settings.
std::optional<ConnectionStatus> connection_status(CTarnDoc& doc);

}  // namespace varda
