#include "core/model/device_table.h"

#include <atomic>

#include "core/model/parameter.h"
#include "core/platform/strings.h"
#include "core/platform/text.h"

namespace varda {
namespace {

constexpr std::array<DeviceRow, kDeviceCount> kRows{{
    {0, "VK00", 132, "vk00-dev", "vk00.tree"},  {1, "VK01", 133, "vk01-dev", "vk01.tree"},
    {2, "VK02", 135, "vk02-dev", "vk02.tree"},  {3, "VK03", 136, "vk03-dev", "vk03.tree"},
    {4, "VK04", 137, "vk04-dev", "vk04.tree"},  {5, "VK05", 138, "vk05-dv", "vk05.tree"},
    {6, "VK06", 141, "vk06-dv", "vk06.tree"},   {7, "VK07", 142, "vk07-dev", "vk07.tree"},
    {8, "VK08", 143, "vk08-dev", "vk08.tree"},  {9, "VK09", 144, "vk09-dev", "vk09.tree"},
    {10, "VK10", 145, "vk10-dev", "vk10.tree"}, {11, "VK11", 146, "vk11-dev", "vk11.tree"},
    {12, "VK12", 147, "vk12-dev", "vk12.tree"}, {13, "VK13", 352, "vk13-dev", "vk13.tree"},
    {14, "VK14", 353, "vk13-dev", "vk14.tree"}, {15, "VK15", 289, "vk15-dev", "vk15.tree"},
    {16, "VK16", 290, "vk16-dev", "vk16.tree"}, {17, "VK17", 291, "vk17-dev", "vk17.tree"},
    {18, "VK18", 292, "vk18-dev", "vk18.tree"}, {19, "VK19", 293, "vk19-dev", "vk19.tree"},
    {20, "VK20", 294, "vk20-dev", "vk20.tree"}, {21, "VK21", 295, "vk21-dev", "vk21.tree"},
    {22, "VK22", 297, "vk22-dev", "vk22.tree"},
}};

}  // namespace

const std::array<DeviceRow, kDeviceCount>& device_table() {
    return kRows;
}

const DeviceRow* device_row(int index) {
    if (index < 0 || index >= kDeviceCount) return nullptr;
    return &kRows[static_cast<std::size_t>(index)];
}

std::string_view display_name(int index) {
    const DeviceRow* row = device_row(index);
    return row ? str(row->name_id) : std::string_view{};
}

std::optional<int> model_index_by_display_name(std::string_view text) {
    for (const DeviceRow& row : kRows)
        if (str(row.name_id) == text) return row.index;
    return std::nullopt;
}

std::optional<int> match_identification(std::string_view dev_reply) {
    for (const DeviceRow& row : kRows)
        if (platform::iequals(dev_reply, row.identification)) return row.index;
    return std::nullopt;
}

std::unique_ptr<Parameter> make_tdev_parameter() {
    auto tdev = std::make_unique<Parameter>("tdev");
    tdev->set_data_type("1 канал:4 канала");
    return tdev;
}

std::optional<int> tdev_position(const Parameter& tdev) {
    return tdev.item_index(tdev.value_text());
}

int resolve_tdev(int row, std::optional<int> tdev_position) {
    if (row != kSharedIdentificationRow || !tdev_position) return row;
    if (*tdev_position != 0 && *tdev_position != 1) return row;  // the enumeration has two items
    return row + *tdev_position;
}

}  // namespace varda
