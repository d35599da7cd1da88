#pragma once

#include <memory>

#include "core/devices/base_device.h"
#include "core/devices/models_io.h"
#include "core/devices/models_measuring.h"
#include "core/devices/models_volt.h"

namespace varda {

class ModelContext;

// A new device-model object for a model index of the device table (13 and 14 give the two CVK13
// variants), or nullptr outside the table. The caller owns it and registers it as the current model
// formatting (CurrentModel does both).
std::unique_ptr<CBaseDevice> create_device_model(int index, ModelContext* context);

}  // namespace varda
