#pragma once

#include <string>

namespace varda {

// What the value codec asks of the model of the tree being exchanged: whether the model reports measured
// values
// ("rEAd", "iRDt", "iRD") in its status-or-value form, and how it formats a measured float.
class ModelFormatting {
  public:
    virtual ~ModelFormatting() = default;
    virtual bool decodes_measured_values() const = 0;
    virtual std::string FormatFloat(float value) const = 0;
};

}  // namespace varda
