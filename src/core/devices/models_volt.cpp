#include "core/devices/models_volt.h"

#include <array>

#include "core/devices/status_items.h"
#include "core/model/element_context.h"
#include "core/model/model_context.h"
#include "core/model/parameter.h"
#include "core/platform/numbers.h"
#include "core/platform/strings.h"
#include "core/platform/text.h"
#include "core/platform/ui.h"

namespace varda {

using status_items::bit_set;

namespace {

// The numbered instruction of a point from the model's run of texts (first id = point 1).
std::string point_text(int first_id, int points, int point) {
    if (point < 1 || point > points) return {};
    return std::string(str(first_id + point - 1));
}

}  // namespace

bool CDeviceVolt::NeedsApply(std::string_view network_name) const {
    return CBaseDevice::NeedsApply(network_name) || platform::iequals(network_name, "Rs.dL");
}

Parameter& CDeviceVolt::GetApplyParameter() {
    Parameter& apply = apply_parameter();
    apply.set_data_type("int");
    apply.SetValueText("129");
    return apply;
}

int CDeviceVolt::CalibrationStartValue() const {
    return 16;
}

namespace {

// The bit of the "Mode" status word that reports each calibration point done, point 1 first, per model.
struct PointFlags {
    int model;
    std::array<int, 4> bits;  // as many as the model's CalibrationPoints()
    bool zero_ends_last;      // a status of 0 also reports the last point done
};
constexpr std::array<PointFlags, 4> kPointFlags{{
    {19, {1, 2, 4}, false},
    {20, {1, 2, 6, 7}, false},
    {21, {3, 2, 1}, true},
    {22, {3, 2, 1}, true},
}};

}  // namespace

bool CDeviceVolt::GetCalibrationFlag(unsigned status, int item) const {
    if (item < 1 || item > CalibrationPoints()) return false;
    for (const PointFlags& flags : kPointFlags) {
        if (flags.model != model_index()) continue;
        return bit_set(status, flags.bits[static_cast<std::size_t>(item - 1)]) ||
               (flags.zero_ends_last && item == CalibrationPoints() && status == 0);
    }
    return false;
}

std::string CVK19::CalibrationInstruction(int point) const {
    return point_text(339, 3, point);
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

namespace {
constexpr std::array<const char*, 4> kVk20PointValues = {"uk.hi", "ik.hi", "uk.lo", "ik.lo"};
}  // namespace

std::vector<std::string_view> CVK20::ReferenceValueNames() const {
    return {kVk20PointValues.begin(), kVk20PointValues.end()};
}

std::string CVK20::CalibrationInstruction(int point) const {
    if (point < 1 || point > 4) return {};
    const std::string format = point_text(335, 4, point);
    if (point == 4) return format;
    const bool low = point == 2;
    const auto value = [this](const char* name) {
        const Parameter* p = context() ? context()->find_parameter(name, 0) : nullptr;
        return p ? p->value_text() : std::string(str(kNoData));
    };
    const std::string voltage = value(kVk20PointValues[low ? 2 : 0]);
    const std::string current = value(kVk20PointValues[low ? 3 : 1]);
    return platform::format_c(format.c_str(), voltage.c_str(), current.c_str());
}

std::string CVK21::CalibrationInstruction(int point) const {
    return point_text(325, 3, point);
}
std::string CVK22::CalibrationInstruction(int point) const {
    return point_text(322, 3, point);
}

}  // namespace varda
