#include "core/app/document/tree_commit.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <optional>
#include <utility>
#include "core/app/document/document.h"
#include "core/app/tree/tree_edit.h"
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

constexpr int kSamplingPeriodMessage = 218;
constexpr int kInstantWriteFailed = 259;
constexpr int kMinimumPeriodMs = 100;

bool name_is_any(const Parameter& parameter, std::initializer_list<std::string_view> names) {
    for (std::string_view name : names)
        if (platform::iequals(parameter.network_name(), name)) return true;
    return false;
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
        ui().message(value_rejection_text(parameter, new_text), MessageIcon::Error, str(kAppTitle));
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
        ui().message(value_rejection_text(parameter, new_text), MessageIcon::Error, str(kAppTitle));
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
