#pragma once

#include <string>

namespace varda {

class Device;
class DeviceIO;
class ObjectWithParameters;
class Parameter;

// The configurator follows the module: each network setting the module's element holds goes to the
// configurator's own settings (a setting never read, "no data", is left as it is), and the port is
// reopened with them, reporting a port that cannot be opened.
void follow_module_network(DeviceIO& io, const ObjectWithParameters& module_network);

// Writes the parameter to the broadcast address, which also reaches a module whose address is unknown.
// The parameter keeps its own address offset. True when the request succeeded.
bool broadcast_aply(DeviceIO& io, Parameter& parameter);

// The "New network settings" dialog: the settings the module is about to take, and OK, which sends APLY
// and, when asked, makes the configurator follow the module.
class ApplyController {
  public:
    // Either may be missing; the settings text then says so.
    ApplyController(Device* device, ObjectWithParameters* module_network)
        : device_(device), network_(module_network) {}

    // One "label: value" line per setting, or why there is nothing to show.
    std::string settings_text() const;

    // The dialog's check boxes.
    bool change_own_settings = true;
    bool broadcast = false;

    // OK: true when the dialog closes. A failed send that the model reports keeps it open, so the user
    // may cancel.
    bool ok();

  private:
    Device* device_;
    ObjectWithParameters* network_;
};

}  // namespace varda
