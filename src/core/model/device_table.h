#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string_view>

namespace varda {

class Parameter;

// One model of the device table. The row's position is the model index used everywhere, configuration
// files included, so rows are never reordered.
struct DeviceRow {
    int index;
    std::string_view code;            // "VK00"
    int name_id;                      // numbered text of the display name
    std::string_view identification;  // what the module answers for "dev"
    std::string_view description_file;
};

inline constexpr int kDeviceCount = 23;
inline constexpr int kNoModel = 255;

// Rows 13 and 14 answer the same identification; "tdev" tells them apart.
inline constexpr int kSharedIdentificationRow = 13;

const std::array<DeviceRow, kDeviceCount>& device_table();
// The row of a model index, or nullptr outside the table.
const DeviceRow* device_row(int index);

// Display name of a model, "" outside the table.
std::string_view display_name(int index);
// The model whose display name is exactly this text (the device-selection list maps rows back this way).
std::optional<int> model_index_by_display_name(std::string_view text);

// The first row whose identification equals the module's "dev" reply without regard to case (Cyrillic
// included), or nothing for an unknown module.
std::optional<int> match_identification(std::string_view dev_reply);

// The parameter read to split the shared row: "tdev", an enumeration of the channel count.
std::unique_ptr<Parameter> make_tdev_parameter();
// Position of the "tdev" value in its enumeration, or nothing when the value is not one of its items.
std::optional<int> tdev_position(const Parameter& tdev);

// The final model index for a matched row: the shared row becomes 13 or 14 by the "tdev" position; a
// failed "tdev" read (nothing) keeps 13. Every other row is returned unchanged.
int resolve_tdev(int row, std::optional<int> tdev_position);

}  // namespace varda
