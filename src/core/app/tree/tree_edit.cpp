#include "core/app/tree/tree_edit.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <optional>
#include <utility>

#include "core/devices/base_device.h"
#include "core/link/sio.h"
#include "core/model/elements.h"
#include "core/model/network_elements.h"
#include "core/model/parameter.h"
#include "core/platform/language.h"
#include "core/platform/numbers.h"
#include "core/platform/strings.h"
#include "core/platform/text.h"
#include "core/platform/ui.h"
#include "core/protocol/value_type.h"

namespace varda {
namespace {

constexpr int kRejectedValue = 219;
constexpr int kAllowedRange = 220;
constexpr const char* kNetworkNameFormatNote =
    "(Значение не удовлетворяет требованиям к формату сетевого имени)";

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

// The first run of digits and the text before it.
struct NumberPart {
    std::string_view prefix;
    std::string_view digits;
};
NumberPart number_part(std::string_view text) {
    std::size_t first = 0;
    while (first < text.size() && !is_digit(text[first]))
        ++first;
    std::size_t last = first;
    while (last < text.size() && is_digit(text[last]))
        ++last;
    return {text.substr(0, first), text.substr(first, last - first)};
}

// Compares two runs of decimal digits by their value, however long they are.
int compare_digits(std::string_view a, std::string_view b) {
    while (a.size() > 1 && a.front() == '0')
        a.remove_prefix(1);
    while (b.size() > 1 && b.front() == '0')
        b.remove_prefix(1);
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    const int c = a.compare(b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

// Readings of these names come from the measuring cycle of the models that have one; typing a value
// into them means nothing.
bool is_measured_reading(const Parameter& parameter, int model_index) {
    if (model_index != 6 && model_index != 7 && model_index != 12) return false;
    const std::string upper = platform::to_upper(parameter.network_name());
    for (std::string_view name : {"R.CN", "IRD", "IRDT", "READ", "SRD", "RD.IH", "RD.FH", "RD.IP", "RD.FP",
                                  "RF.IV", "RF.FV", "RF.IP", "RF.FP", "RD.ST"})
        if (upper == name) return true;
    return false;
}

EditorChoice edit_box() {
    EditorChoice choice;
    choice.kind = EditorChoice::Kind::EditBox;
    return choice;
}

EditorChoice attribute_choice(const std::string& cell_text) {
    EditorChoice choice;
    choice.kind = EditorChoice::Kind::List;
    choice.items = {std::string(str(kReadWrite)), std::string(str(kReadOnly))};
    choice.selected = -1;
    for (std::size_t i = 0; i < choice.items.size(); ++i)
        if (choice.items[i] == cell_text) choice.selected = static_cast<int>(i);
    if (choice.selected < 0) {
        choice.items.push_back(cell_text);
        choice.selected = static_cast<int>(choice.items.size()) - 1;
    }
    return choice;
}

}  // namespace

// ---- control rules ----------------------------------------------------------------------------------

int natural_compare(std::string_view a, std::string_view b) {
    const NumberPart na = number_part(a);
    const NumberPart nb = number_part(b);
    if (!na.digits.empty() || !nb.digits.empty()) {
        if (na.prefix == nb.prefix && !na.digits.empty() && !nb.digits.empty()) {
            const int c = compare_digits(na.digits, nb.digits);
            if (c != 0) return c;
        }
    }
    const int c = platform::icompare(a, b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

bool is_problem_parameter(const Parameter& parameter) {
    // A value never written for want of data, and a comparison's note, are no problems of the module.
    const FailureKind kind = parameter.failure_kind();
    if (kind == FailureKind::None || parameter.is_scanner()) return false;
    return kind != FailureKind::NotInitialized && kind != FailureKind::Discrepancy;
}

bool contains_problem(const ObjectWithParameters& element) {
    for (const auto& p : element.parameters)
        if (is_problem_parameter(*p)) return true;
    if (const auto* branch = dynamic_cast<const DescBranch*>(&element))
        for (const auto& child : branch->children)
            if (contains_problem(*child)) return true;
    return false;
}

bool has_unwritten_edits(const ObjectWithParameters& element) {
    for (const auto& p : element.parameters)
        if (!p->is_scanner() && (p->value_modified || p->access_modified || p->user_modified)) return true;
    if (const auto* branch = dynamic_cast<const DescBranch*>(&element))
        for (const auto& child : branch->children)
            if (has_unwritten_edits(*child)) return true;
    return false;
}

EditorChoice list_choice(const ValueType& type, const std::string& cell_text) {
    EditorChoice choice;
    choice.kind = EditorChoice::Kind::List;
    const std::string cell = platform::underscores_to_spaces(cell_text);
    for (ValueType::Choice& item : type.choices()) {
        if (platform::iequals(item.shown, cell)) {
            if (choice.selected >= 0) continue;  // listed once
            choice.selected = static_cast<int>(choice.items.size());
        }
        choice.items.push_back(std::move(item.shown));
    }
    if (choice.selected < 0) {
        choice.selected = static_cast<int>(choice.items.size());
        choice.items.push_back(cell_text);
    }
    return choice;
}

EditorChoice choose_editor(const TreeItemData& data, int column, EditKind row_edit, bool greyed,
                           const std::string& cell_text, int model_index) {
    EditorChoice none;
    if (greyed) return none;
    Parameter* const* held = std::get_if<Parameter*>(&data);
    Parameter* parameter = held ? *held : nullptr;

    if (parameter && parameter->is_scanner()) {
        if (column == kColumnName) {
            if (platform::iequals(parameter->network_name(), "r.oe.s")) return none;
            return edit_box();
        }
        if (column != kColumnValue || row_edit == EditKind::None) return none;
        if (is_measured_reading(*parameter, model_index)) return none;
        EditorChoice box = edit_box();
        box.sampling_warning = parameter->timer_running();
        return box;
    }

    if (row_edit == EditKind::None) return none;
    if (column == kColumnValue) {
        if (row_edit == EditKind::EditBox) return edit_box();
        if (!parameter) return list_choice(ValueType::list({}), cell_text);
        // The port's type is the list of the serial ports present, one port alone included.
        if (platform::iequals(parameter->network_name(), "Port")) {
            parameter->set_data_type(list_serial_ports());
            return list_choice(ValueType::list(parameter->data_type()), cell_text);
        }
        return list_choice(ValueType(parameter->data_type()), cell_text);
    }
    if (column == kColumnAccess && parameter && parameter->attributes_flag != 0)
        return attribute_choice(cell_text);
    return none;
}

std::string value_rejection_text(const Parameter& parameter, const std::string& text) {
    std::string message =
        platform::format_c(std::string(str(kRejectedValue)).c_str(), parameter.network_name().c_str(),
                           parameter.description.c_str(), text.c_str());
    if (platform::iequals(parameter.data_type(), "CHAr*") ||
        platform::iequals(parameter.network_name(), "CHAr*"))
        message += localized(kNetworkNameFormatNote);
    if (const auto range = parameter.AllowedRange()) {
        const auto limit = [&](double value) {
            return platform::fixed(value, parameter.is_scanner() ? 0 : 6);
        };
        const int type_id = parameter.TypeTextId();
        const std::string type_name =
            type_id ? std::string(str(type_id)) : std::string(parameter.type_name());
        message += platform::format_c(std::string(str(kAllowedRange)).c_str(), type_name.c_str(),
                                      limit(range->first).c_str(), limit(range->second).c_str());
    }
    return message;
}

}  // namespace varda
