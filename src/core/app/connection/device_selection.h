#pragma once

#include <optional>
#include <string>
#include <vector>

namespace varda {

class CBrand;

// What the device-selection list says when OK is pressed without a row selected.
inline constexpr const char* kSelectDeviceMessage = "Select device from the list";

// The rows of the device-selection list: the display names of the models the brand offers, in its order.
std::vector<std::string> device_selection_names(const CBrand& brand);

// OK in the device-selection list with the text of the selected row (nothing: no row selected): the model
// of that display name, which the caller makes its connection's; nothing leaves the list open.
std::optional<int> choose_device(const std::optional<std::string>& selected_text);

}  // namespace varda
