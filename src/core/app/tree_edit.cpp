#include "core/app/tree_edit.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <optional>
#include <utility>

#include "core/app/document.h"
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

namespace varda {
namespace {

constexpr int kSamplingPeriodMessage = 218;
constexpr int kRejectedValue = 219;
constexpr int kAllowedRange = 220;
constexpr int kInstantWriteFailed = 259;
constexpr int kMinimumPeriodMs = 100;
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

bool name_is_any(const Parameter& parameter, std::initializer_list<std::string_view> names) {
    for (std::string_view name : names)
        if (platform::iequals(parameter.network_name(), name)) return true;
    return false;
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

bool contains_parameter(const ObjectWithParameters& element, const Parameter& parameter) {
    for (const auto& p : element.parameters)
        if (p.get() == &parameter) return true;
    return false;
}

ObjectWithParameters* find_owner(DescBranch* branch, const Parameter& parameter) {
    if (!branch) return nullptr;
    if (contains_parameter(*branch, parameter)) return branch;
    for (const auto& child : branch->children)
        if (ObjectWithParameters* owner = find_owner(child.get(), parameter)) return owner;
    return nullptr;
}

void collect_named(DescBranch* branch, std::string_view name, std::vector<Parameter*>& out) {
    if (!branch) return;
    for (const auto& p : branch->parameters)
        if (platform::iequals(p->network_name(), name)) out.push_back(p.get());
    for (const auto& child : branch->children)
        collect_named(child.get(), name, out);
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

EditorChoice list_choice(std::string_view data_type, const std::string& cell_text) {
    EditorChoice choice;
    choice.kind = EditorChoice::Kind::List;
    std::size_t start = 0;
    while (start <= data_type.size()) {
        std::size_t end = data_type.find(':', start);
        if (end == std::string_view::npos) end = data_type.size();
        const std::string_view token = data_type.substr(start, end - start);
        start = end + 1;
        if (token.empty() || token.find("<hide>") != std::string_view::npos) continue;
        std::string item = platform::underscores_to_spaces(token);
        if (platform::iequals(item, platform::underscores_to_spaces(cell_text))) {
            if (choice.selected >= 0) continue;  // listed once
            choice.selected = static_cast<int>(choice.items.size());
        }
        choice.items.push_back(std::move(item));
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
        if (!parameter) return list_choice({}, cell_text);
        if (platform::iequals(parameter->network_name(), "Port"))
            parameter->set_data_type(list_serial_ports());
        return list_choice(parameter->data_type(), cell_text);
    }
    if (column == kColumnAccess && parameter && parameter->attributes_flag != 0)
        return attribute_choice(cell_text);
    return none;
}

// ---- commits ----------------------------------------------------------------------------------------

std::string TreeEdit::rejection_text(const Parameter& parameter, const std::string& text) {
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

ObjectWithParameters* TreeEdit::owner_of(const Parameter& parameter) const {
    Elements::NetRS485prg& program = document_.device().program_network();
    if (contains_parameter(program, parameter)) return &program;
    if (ObjectWithParameters* owner = find_owner(document_.root(), parameter)) return owner;
    if (ObjectWithParameters* owner = find_owner(document_.description().scanners(), parameter)) return owner;
    if (ObjectWithParameters* network = document_.module_network();
        network && contains_parameter(*network, parameter))
        return network;
    return nullptr;
}

bool TreeEdit::write_now(Parameter& parameter, std::string_view caption, const std::string& previous,
                         bool previous_modified) {
    parameter.clear_failure();
    const int result = parameter.is_scanner() ? document_.device().write_parameter(parameter, 1)
                                              : document_.device().instant_write(parameter);
    if (result == 0 || result == 1000) return true;
    if (parameter.error_text.empty())
        parameter.set_failure(FailureKind::Described, std::string(str(kParameterError)));
    ui().message(parameter.error_text, MessageIcon::Error, caption);
    // The module keeps the old value, so the configuration shows it too.
    parameter.SetValueText(previous);
    parameter.value_modified = previous_modified;
    return false;
}

EditResult TreeEdit::commit(Parameter* parameter, int column, const std::string& old_text,
                            const std::string& new_text) {
    EditResult result;
    if (new_text == old_text) return result;
    document_.modified = true;
    if (!parameter) return result;
    if (parameter->is_scanner()) return commit_scanner(*parameter, column, new_text);

    // A typed or chosen value may change its partners too ("Log" pairs): the whole tree is watched.
    std::vector<Parameter*> watched = document_.tree_parameters();
    if (std::find(watched.begin(), watched.end(), parameter) == watched.end()) watched.push_back(parameter);
    EditHistory::Recording recording(std::string(localized("Edit ")) + parameter->network_name(),
                                     std::move(watched));
    EditResult result_of_edit = commit_column(parameter, column, new_text);
    document_.history().finish(recording);
    return result_of_edit;
}

EditResult TreeEdit::commit_column(Parameter* parameter_pointer, int column, const std::string& new_text) {
    EditResult result;
    Parameter* parameter = parameter_pointer;
    switch (column) {
        case kColumnAccess:
            if (parameter->user_attribute) {
                result.restore = true;
                return result;
            }
            parameter->access_attribute = new_text == str(kReadWrite);
            parameter->access_modified = true;
            result.colour = kModifiedColour;
            return result;
        case kColumnUser:
            parameter->user_attribute = new_text == str(kUserCompany);
            parameter->user_modified = true;
            result.colour = kModifiedColour;
            return result;
        case kColumnValue:
            if (parameter->user_attribute) {
                result.restore = true;
                return result;
            }
            return commit_value(*parameter, new_text);
        default:
            return result;
    }
}

EditResult TreeEdit::commit_scanner(Parameter& parameter, int column, const std::string& new_text) {
    EditResult result;
    if (column == kColumnName) {
        const long period = std::strtol(new_text.c_str(), nullptr, 10);
        if (period < kMinimumPeriodMs) {
            ui().message(str(kSamplingPeriodMessage), MessageIcon::Error);
            result.restore = true;
            return result;
        }
        parameter.period = std::chrono::milliseconds(period);
        if (parameter.timer_running()) {
            parameter.StopTimer();
            parameter.StartTimer();
        }
        return result;
    }
    if (column != kColumnValue) return result;
    const std::string previous = parameter.value_text();
    const bool previous_modified = parameter.value_modified;
    if (!parameter.AcceptValue(new_text)) {
        ui().message(rejection_text(parameter, new_text), MessageIcon::Error, str(kAppTitle));
        result.restore = true;
        return result;
    }
    if (!write_now(parameter, str(kAppTitle), previous, previous_modified)) {
        result.restore = true;
        result.colour = kErrorColour;
        result.error_text = parameter.error_text;
        return result;
    }
    result.cell_text = parameter.value_text();
    result.error_text = std::string();
    return result;
}

EditResult TreeEdit::commit_value(Parameter& parameter, const std::string& new_text) {
    EditResult result;
    ObjectWithParameters* owner = owner_of(parameter);
    Elements::NetRS485prg& program = document_.device().program_network();
    const bool own_settings = owner == &program;
    CBaseDevice* model = document_.device_model();

    if (owner && !own_settings) {
        bool allowed = true;
        if (name_is_any(parameter, {"A.Len", "Addr", "Prot"})) {
            AddressValidator validator;
            if (model)
                validator = [model](long address, std::string_view length) {
                    return model->IsValidAddress(address, length);
                };
            allowed = CheckAddressSetting(*owner, parameter.network_name(), new_text, validator);
        } else if (name_is_any(parameter, {"PrtY", "LEn", "Sbit"})) {
            allowed = CheckFrameSetting(*owner, parameter.network_name(), new_text);
        }
        if (!allowed) {
            ui().message(str(kProhibitedNetworkCombination), MessageIcon::Error, str(kAppTitle));
            result.restore = true;
            return result;
        }
    }

    // What each changed parameter held before, for a write that fails.
    struct Change {
        Parameter* parameter;
        std::string before;
        bool before_modified;
    };
    std::vector<Change> changed{{&parameter, parameter.value_text(), parameter.value_modified}};
    if (!parameter.AcceptValue(new_text)) {
        ui().message(rejection_text(parameter, new_text), MessageIcon::Error, str(kAppTitle));
        result.restore = true;
        return result;
    }

    if (model && platform::iequals(parameter.network_name(), "Log")) {
        // The model may pair this channel's log with its partner; whatever it changes is shown too.
        std::vector<Parameter*> logs;
        collect_named(document_.root(), "Log", logs);
        std::vector<Change> before;
        for (Parameter* log : logs)
            before.push_back({log, log->value_text(), log->value_modified});
        model->OnLogParameter(parameter);
        for (const Change& log : before)
            if (log.parameter != &parameter && log.parameter->value_text() != log.before)
                changed.push_back(log);
    }

    if (own_settings) {
        result.rows.push_back({&parameter, std::nullopt});
        program.ClearModified();
        document_.device().open_with_settings(true);
        result.refresh_views = true;
        return result;
    }

    const bool instant = document_.options().instant_recording;
    for (const Change& change : changed) {
        Parameter* p = change.parameter;
        EditResult::Row row{p, std::nullopt};
        if (instant) {
            if (p->value_modified)
                write_now(*p, str(kInstantWriteFailed), change.before, change.before_modified);
        } else {
            row.colour = kModifiedColour;
        }
        result.rows.push_back(row);
    }
    return result;
}

}  // namespace varda
