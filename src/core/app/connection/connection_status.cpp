#include "core/app/connection/connection_status.h"

#include "core/app/document/document.h"
#include "core/link/device.h"
#include "core/model/device_table.h"
#include "core/platform/language.h"
#include "core/platform/serial_ports.h"

#include <mutex>

namespace varda {

std::string_view link_state_text(LinkState state) {
    switch (state) {
        case LinkState::Online:
            return localized("online");
        case LinkState::NotAnswering:
            return localized("not answering");
        case LinkState::Offline:
            return localized("offline");
        case LinkState::Simulated:
            return localized("simulated");
        case LinkState::Suspended:
            break;
    }
    return localized("exchange suspended");
}

std::string port_label(const std::string& port_name) {
    return port_name == kSimulatedPortName ? std::string(localized("simulated module"))
                                           : serial_port_label(port_name);
}

std::optional<ConnectionStatus> connection_status(CTarnDoc& doc) {
    const std::unique_lock line_free(doc.device().context().line_lock, std::try_to_lock);
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
    text = port_label(line.port_name);
    text += kDot;
    text += std::to_string(line.baud_rate) + std::string(localized(" baud"));
    text += kDot;
    text += std::string(localized("address ")) + std::to_string(line.base_address);
    // The module on the line is named by what it said; the tree may be another model's (a file opened).
    const auto known = [](int model) { return model >= 0 && model < kDeviceCount; };
    const int tree_model = doc.tree_model_index();
    const int line_model = device.line_model;
    const bool on_line = status.state != LinkState::Offline && known(line_model);
    if (const int shown = on_line ? line_model : tree_model; known(shown)) {
        text += kDot;
        text += display_name(shown);
        if (on_line && !device.version_text.empty()) text += " " + device.version_text;
    }
    if (on_line && doc.root() && known(tree_model) && tree_model != line_model) {
        text += kDot;
        text += std::string(localized("tree: ")) + std::string(display_name(tree_model));
    }
    text += kDot;
    text += link_state_text(status.state);
    // The simulated module can be told to fall silent: say so too.
    if (status.state == LinkState::Simulated && answering == false) text += localized(", not answering");
    if (device.sio().is_open() && line.port_name != kSimulatedPortName)
        status.direction = std::string(localized("Direction control: ")) +
                           std::string(localized(direction_control_text(device.sio().direction_control())));
    return status;
}

}  // namespace varda
