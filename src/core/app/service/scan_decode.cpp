#include "core/app/service/scan_decode.h"

#include <cerrno>
#include <cstdlib>

#include "core/devices/base_device.h"
#include "core/link/device.h"
#include "core/model/elements.h"
#include "core/platform/language.h"
#include "core/platform/numbers.h"
#include "core/platform/strings.h"
#include "core/platform/text.h"

namespace varda {
namespace {

constexpr const char* kSwitchedOn = "включен";
constexpr const char* kSwitchedOff = "отключен";
constexpr int kMeasuredPh = 501;
constexpr int kMeasuredPotential = 502;

// A decimal reading as the module sends it; nothing when the text is not a whole number.
std::optional<long> decimal(std::string_view text) {
    const std::string owned(text);
    const char* begin = owned.c_str();
    while (*begin == ' ')
        ++begin;
    if (*begin == '\0') return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(begin, &end, 10);
    if (errno != 0 || end == begin) return std::nullopt;
    while (*end == ' ')
        ++end;
    if (*end != '\0') return std::nullopt;
    return value;
}

Parameter* find_in_subtree(const DescBranch& branch, std::string_view network_name) {
    if (Parameter* own = branch.FindOwnParameter(network_name)) return own;
    for (const auto& child : branch.children)
        if (Parameter* found = find_in_subtree(*child, network_name)) return found;
    return nullptr;
}

}  // namespace

std::string measurement_result_text(long code) {
    int id = 482;
    switch (code) {
        case 0:
            id = 475;
            break;
        case 240:
            id = 473;
            break;
        case 246:
            id = 474;
            break;
        case 247:
            id = 476;
            break;
        case 250:
            id = 368;
            break;
        case 251:
            id = 369;
            break;
        case 253:
            id = 480;
            break;
        case 255:
            id = 481;
            break;
        default:
            break;
    }
    return std::string(str(id));
}

ScanDisplay decode_scan_result(const ScanResult& result, const DescBranch* root, const CBaseDevice* model,
                               const ModuleRead& read, int child_rows) {
    ScanDisplay display;
    display.value_text = result.value_text;
    display.error_text = result.error_text;
    if (!result.scanner) return display;
    const std::string name = platform::to_lower(result.scanner->network_name());

    if (name == "rd.rs") {
        // The sensor type decides what the reading means, whatever this reading's outcome.
        Parameter* sensor = root ? find_in_subtree(*root, "sen.t") : nullptr;
        if (sensor && (sensor->value_modified || (read && read(*sensor)))) {
            const bool ph = sensor->item_index(sensor->value_text()) == 0;
            display.description = std::string(str(ph ? kMeasuredPh : kMeasuredPotential));
        }
        return display;
    }
    if (!result.error_text.empty()) return display;
    const std::optional<long> value = decimal(result.value_text);
    if (!value) return display;

    if (name == "r.cn" || name == "s.do") {
        for (int bit = 0; bit < child_rows; ++bit)
            display.child_texts.emplace_back(
                localized(bit < 32 && (*value >> bit) & 1 ? kSwitchedOn : kSwitchedOff));
    } else if (name == "rd.st" || name == "stat") {
        display.value_text = platform::format_c("0x%02lx", static_cast<unsigned long>(*value));
        for (int item = 0; item < child_rows; ++item)
            display.child_texts.push_back(model ? model->GetStatusText(item, static_cast<unsigned>(*value))
                                                : "");
    } else if (name == "srd") {
        display.value_text = measurement_result_text(*value);
    }
    return display;
}

}  // namespace varda
