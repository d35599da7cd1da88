#include "core/devices/models_volt.h"

#include "core/devices/status_items.h"
#include "core/model/parameter.h"
#include "core/platform/text.h"

namespace varda {

using status_items::bit_set;

void CDeviceVolt::Calibrate() {}

bool CDeviceVolt::NeedsApply(std::string_view network_name) const {
    return CBaseDevice::NeedsApply(network_name) || platform::iequals(network_name, "Rs.dL");
}

Parameter& CDeviceVolt::GetApplyParameter() {
    Parameter& apply = apply_parameter();
    apply.set_data_type("int");
    apply.SetValueText("129");
    return apply;
}

std::string CDeviceVolt::CalibrationInstruction(int) const {
    return {};
}
int CDeviceVolt::CalibrationStartValue() const {
    return 16;
}
bool CDeviceVolt::GetCalibrationFlag(unsigned, int) const {
    return false;
}

bool CVK19::GetCalibrationFlag(unsigned status, int item) const {
    switch (item) {
        case 1:
            return bit_set(status, 1);
        case 2:
            return bit_set(status, 2);
        case 3:
            return bit_set(status, 4);
        default:
            return false;
    }
}

bool CVK20::NeedsApply(std::string_view network_name) const {
    return CDeviceVolt::NeedsApply(network_name) || platform::iequals(network_name, "T.pro");
}

namespace {
constexpr int kVk20FirstCaption = 328;  // 328 to 334: EEPROM, ADC, applying, reserve, phases A to C
constexpr int kVk20ItemCount = 7;
}  // namespace

std::string CVK20::GetStatusText(int item, unsigned status) const {
    if (item < 0 || item >= kVk20ItemCount) return {};
    return bit_set(status, item) ? "1" : "0";
}

int CVK20::GetStatusCaption(int item) const {
    if (item < 0 || item >= kVk20ItemCount) return 0;
    return kVk20FirstCaption + item;
}

bool CVK20::GetCalibrationFlag(unsigned status, int item) const {
    switch (item) {
        case 1:
            return bit_set(status, 1);
        case 2:
            return bit_set(status, 2);
        case 3:
            return bit_set(status, 6);
        case 4:
            return bit_set(status, 7);
        default:
            return false;
    }
}

namespace {
// VK21 and VK22: a status of 0 also ends the last point.
bool three_point_flag(unsigned status, int item) {
    switch (item) {
        case 1:
            return bit_set(status, 3);
        case 2:
            return bit_set(status, 2);
        case 3:
            return bit_set(status, 1) || status == 0;
        default:
            return false;
    }
}
}  // namespace

bool CVK21::GetCalibrationFlag(unsigned status, int item) const {
    return three_point_flag(status, item);
}
bool CVK22::GetCalibrationFlag(unsigned status, int item) const {
    return three_point_flag(status, item);
}

}  // namespace varda
