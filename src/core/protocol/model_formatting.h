#pragma once

#include <string>

namespace varda {

// What the value codec asks of the current device model: whether the model reports measured values
// ("rEAd", "iRDt", "iRD") in its status-or-value form, and how it formats a measured float.
class ModelFormatting {
  public:
    virtual ~ModelFormatting() = default;
    virtual bool decodes_measured_values() const = 0;
    virtual std::string FormatFloat(float value) const = 0;
};

// The current device model's formatting, or nullptr while no model object exists. The device-model
// object registers itself for its lifetime; the codec reads it from any thread.
ModelFormatting* current_model_formatting();
void set_current_model_formatting(ModelFormatting* formatting);

}  // namespace varda
