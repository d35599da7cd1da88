#include "core/app/connection_status.h"

#include "core/app/document.h"
#include "core/link/device.h"
#include "core/model/device_table.h"
#include "core/platform/serial_ports.h"

#include <mutex>

namespace varda {

std::string_view link_state_text(LinkState state) {
    switch (state) {
        case LinkState::Online:
            return "online";
        case LinkState::NotAnswering:
            return "not answering";
        case LinkState::Offline:
            return "offline";
        case LinkState::Simulated:
            return "simulated";
        case LinkState::Suspended:
            break;
    }
    return "exchange suspended";
}

std::optional<ConnectionStatus> connection_status(CTarnDoc& doc) {
    const std::unique_lock line_free(port_lock(), std::try_to_lock);
    if (!line_free.owns_lock()) return std::nullopt;
    Device& device = doc.device();
    const PortSettings& line = device.sio().settings;
    const std::optional<bool> answering = device.answering();

    ConnectionStatus status;
    if (doc.offline())
        status.state = LinkState::Offline;
    else if (device.exchange_suspended && !answering.value_or(false))
        status.state = LinkState::Suspended;
    else if (line.port_name == kSimulatedPortName)
        status.state = LinkState::Simulated;
    else if (answering == false)
        status.state = LinkState::NotAnswering;
    else
        status.state = LinkState::Online;

    constexpr std::string_view kDot = " \u00b7 ";
    std::string& text = status.text;
    text = line.port_name == kSimulatedPortName ? std::string("simulated module") : serial_port_label(line.port_name);
    text += kDot;
    text += std::to_string(line.baud_rate) + " baud";
    text += kDot;
    text += "address " + std::to_string(line.base_address);
    const int model = doc.tree_model_index();
    if (model >= 0 && model < kDeviceCount) {
        text += kDot;
        text += display_name(model);
        if (status.state != LinkState::Offline && !device.version_text.empty()) text += " " + device.version_text;
    }
    text += kDot;
    text += link_state_text(status.state);
    // The simulated module can be told to fall silent: say so too.
    if (status.state == LinkState::Simulated && answering == false) text += ", not answering";
    if (device.sio().is_open() && line.port_name != kSimulatedPortName)
        status.direction = "Direction control: " + std::string(direction_control_text(device.sio().direction_control()));
    return status;
}

}  // namespace varda
