#pragma once

#include <string_view>

namespace varda {

class Parameter;

// What a device-model object needs from the document that owns it. The document implements it; the
// model keeps a plain pointer, which may be null (no document, e.g. in a command-line probe).
class ModelContext {
  public:
    virtual ~ModelContext() = default;

    // The parameter of the root element with this network name (compared without regard to case) and
    // network index, or nullptr when the root holds none.
    virtual Parameter* find_parameter(std::string_view network_name, int index) = 0;
};

}  // namespace varda
