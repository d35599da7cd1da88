#include "core/devices/models_measuring.h"

#include <array>

#include "core/devices/status_items.h"
#include "core/model/model_context.h"
#include "core/platform/text.h"
#include "core/platform/ui.h"

namespace varda {

namespace {

using status_items::Item;

constexpr std::array<Item, 7> kVk12Status{{
    {366, 0, 374, 375},  // last measure
    {367, 1, 376, 377},  // data status
    {368, 2, 378, 379},  // value too high
    {369, 3, 380, 379},  // value too low
    {342, 5, 346, 347},  // network settings jumper
    {370, 6, 372, 373},  // comparator
    {371, 7, 350, 351},  // calibration error
}};

constexpr std::array<Item, 4> kVk18Status{{
    {342, 0, 346, 347},
    {343, 2, 348, 349},  // temperature sensor
    {344, 3, 350, 351},  // calibration error
    {345, 5, 354, 355},  // pH channel
}};

constexpr std::array<Item, 3> kVk13Status{{
    {342, 0, 346, 347},
    {364, 1, 348, 349},  // sensor
    {365, 2, 350, 351},  // calibration error
}};

// Item n (1 to 8) takes bit n: the sensor states of channels 1 to 4, then their calibration errors.
constexpr std::array<Item, 9> kVk14Status{{
    {342, 0, 346, 347},
    {356, 1, 348, 349},
    {357, 2, 348, 349},
    {358, 3, 348, 349},
    {359, 4, 348, 349},
    {360, 5, 350, 351},
    {361, 6, 350, 351},
    {362, 7, 350, 351},
    {363, 8, 350, 351},
}};

constexpr int kTareWeightText = 288;

bool is_delay_name(std::string_view network_name) {
    return platform::iequals(network_name, "Rs.dL");
}

}  // namespace

std::string CVK12::GetStatusText(int item, unsigned status) const {
    return status_items::text(kVk12Status, item, status);
}
int CVK12::GetStatusCaption(int item) const {
    return status_items::caption(kVk12Status, item);
}
std::vector<RestoreWrite> CVK12::ModuleRestoreWrites() const {
    return {RestoreWrite{}};
}

CVK13::CVK13(Variant variant, ModelContext* context)
    : CBaseDevice(variant == kFourChannels ? 14 : 13, context), variant_(variant) {}

std::vector<MenuCommandInsertion> CVK13::CustomizeMenu() const {
    return {{MainMenu::Tools, kCmdTareWeight, kTareWeightText, kCmdCalibration}};
}

bool CVK13::NeedsApply(std::string_view network_name) const {
    return CBaseDevice::NeedsApply(network_name) || is_delay_name(network_name);
}

bool CVK13::IsValidAddress(long address, std::string_view address_length) const {
    // 255 is the broadcast address in both address lengths.
    if (address_length == "8") return address >= 1 && address <= 254;
    if (address_length == "11")
        return (address >= 1 && address <= 254) || (address >= 256 && address <= 2036);
    return true;
}

std::string CVK13::GetStatusText(int item, unsigned status) const {
    if (variant_ == kFourChannels) return status_items::text(kVk14Status, item, status);
    return status_items::text(kVk13Status, item, status);
}

int CVK13::GetStatusCaption(int item) const {
    if (variant_ == kFourChannels) return status_items::caption(kVk14Status, item);
    return status_items::caption(kVk13Status, item);
}

std::vector<RestoreWrite> CVK13::ModuleRestoreWrites() const {
    if (variant_ == kOneChannel) return {RestoreWrite{}};
    std::vector<RestoreWrite> writes;
    for (int channel = 0; channel < channel_count(); ++channel)
        writes.push_back({true, channel});
    return writes;
}

bool CVK18::NeedsApply(std::string_view network_name) const {
    return CBaseDevice::NeedsApply(network_name) || is_delay_name(network_name);
}
std::string CVK18::GetStatusText(int item, unsigned status) const {
    return status_items::text(kVk18Status, item, status);
}
int CVK18::GetStatusCaption(int item) const {
    return status_items::caption(kVk18Status, item);
}
std::vector<RestoreWrite> CVK18::ModuleRestoreWrites() const {
    return {RestoreWrite{}};
}

}  // namespace varda
