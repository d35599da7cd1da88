#pragma once

namespace varda {

class CBaseDevice;

// "Calibration...": runs the model's calibration (its dialog or wizard over the device that holds the
// model) through the user interface's dialogs. False when the model has none, is not attached to a device,
// or the dialog could not be shown.
bool calibrate_model(CBaseDevice& model);

}  // namespace varda
