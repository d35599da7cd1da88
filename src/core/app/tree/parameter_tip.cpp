#include "core/app/tree/parameter_tip.h"

#include <ctime>
#include <string_view>

#include "core/model/parameter.h"
#include "core/model/tree_rows.h"
#include "core/platform/language.h"
#include "core/platform/numbers.h"
#include "core/platform/strings.h"
#include "core/platform/text.h"
#include "core/protocol/value_type.h"

namespace varda {
namespace {

constexpr std::size_t kListShown = 16;  // a long list ends in "…" rather than filling the screen

std::string list_text(const Parameter& p) {
    std::string text;
    const auto choices = ValueType(p.data_type()).choices();
    for (std::size_t k = 0; k < choices.size(); ++k) {
        if (k == kListShown) {
            text += ", \u2026";
            break;
        }
        if (k > 0) text += ", ";
        text += choices[k].shown;
    }
    return text;
}

std::string clock_text(std::chrono::system_clock::time_point at, std::chrono::system_clock::time_point now) {
    const std::time_t when = std::chrono::system_clock::to_time_t(at);
    const std::time_t today = std::chrono::system_clock::to_time_t(now);
    std::tm t{};
    std::tm n{};
    localtime_r(&when, &t);
    localtime_r(&today, &n);
    std::string text = platform::format_c("%02d:%02d:%02d", t.tm_hour, t.tm_min, t.tm_sec);
    if (t.tm_year != n.tm_year || t.tm_yday != n.tm_yday)
        text = platform::format_c("%04d-%02d-%02d ", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday) + text;
    return text;
}

}  // namespace

std::string parameter_tool_tip(const Parameter& p, std::chrono::system_clock::time_point now) {
    // Each piece in the language on screen; the values and names stay as they are.
    const auto t = [](std::string_view text) { return std::string(localized(text)); };
    std::string tip = p.description;
    tip += "\n" + t("Name: ") + p.network_name();
    if (p.indexed) tip += t(", index ") + std::to_string(p.network_index);

    if (!ValueType(p.data_type()).is_enumeration()) {
        tip += "\n" + t("Type: ") + std::string(p.type_name());
        if (p.minimum() < p.maximum()) {
            const int decimals = p.is_type("float") ? 3 : p.decimals();
            tip += "\n" + t("Range: ") + platform::fixed(p.minimum(), decimals) + t(" to ") +
                   platform::fixed(p.maximum(), decimals);
        }
    } else {
        tip += "\n" + t("Type: list") + "\n" + t("Values: ") + list_text(p);
    }
    if (!p.initial_value_text.empty()) tip += "\n" + t("Default: ") + p.initial_value_text;

    tip += "\n" + t("Access: ") + t(p.writable ? "read/write" : "read-only");
    if (!p.access_attribute) tip += t(" (the module's attribute: read-only)");

    if (p.module_value_at == std::chrono::system_clock::time_point{}) {
        tip += "\n" + t("Not read from the module yet");
    } else {
        tip += "\n" + t(p.module_value_read ? "Read from the module: " : "Written to the module: ");
        tip += p.module_value_text + t(" at ") + clock_text(p.module_value_at, now);
    }
    if (!p.error_text.empty()) {
        // A comparison's note reads as the discrepancy cell does.
        const bool note = p.failure_kind() == FailureKind::Discrepancy;
        tip += "\n" + t(note ? "Discrepancy: " : "Error: ") + error_cell_text(p.error_text);
    }
    return tip;
}

}  // namespace varda
