#include "core/app/document/edit_history.h"

#include <utility>

#include "core/model/parameter.h"
#include "core/platform/language.h"
#include "core/platform/strings.h"

namespace varda {
namespace {

void restore(Parameter& parameter, const ParameterState& state) {
    parameter.SetValueText(state.value_text);
    parameter.set_failure(state.failure.kind, state.error_text, state.failure.module_code);
    parameter.value_modified = state.value_modified;
    parameter.access_modified = state.access_modified;
    parameter.user_modified = state.user_modified;
    parameter.access_attribute = state.access_attribute;
    parameter.user_attribute = state.user_attribute;
}

const std::string kNone;

}  // namespace

ParameterState capture_state(const Parameter& parameter) {
    return {parameter.value_text(),     parameter.error_text,      parameter.failure,
            parameter.value_modified,   parameter.access_modified, parameter.user_modified,
            parameter.access_attribute, parameter.user_attribute};
}

EditHistory::Recording::Recording(std::string name, std::vector<Parameter*> parameters)
    // Named in the language on screen, as the Edit menu shows it.
    : name_(localized(name)), parameters_(std::move(parameters)) {
    before_.reserve(parameters_.size());
    for (const Parameter* p : parameters_)
        before_.push_back(capture_state(*p));
}

void EditHistory::finish(const Recording& recording) {
    Step step{recording.name_, {}};
    for (std::size_t i = 0; i < recording.parameters_.size(); ++i) {
        ParameterState after = capture_state(*recording.parameters_[i]);
        if (after != recording.before_[i])
            step.changes.push_back({recording.parameters_[i], recording.before_[i], std::move(after)});
    }
    if (step.changes.empty()) return;
    done_.push_back(std::move(step));
    undone_.clear();
}

// While the parameter is as the step left it and its value is not one the module holds, the other side
// is restored exactly. When the module holds the value shown (it was written or read since, or the edit
// wrote it), the restored value differs from the module, so it is marked as edited.
void EditHistory::go_to(Step& step, bool back) {
    for (Change& change : step.changes) {
        const ParameterState& expected = back ? change.after : change.before;
        const ParameterState& target = back ? change.before : change.after;
        Parameter& p = *change.parameter;
        const bool module_holds_shown = !p.value_modified && p.value_text() != str(kNoData);
        const bool value_edited = change.before.value_text != change.after.value_text;
        if ((!module_holds_shown || !value_edited) && capture_state(p) == expected) {
            restore(p, target);
            continue;
        }
        if (p.value_text() != target.value_text) {
            p.SetValueText(target.value_text);
            p.value_modified = target.value_text != str(kNoData);
        }
        if (p.access_attribute != target.access_attribute || p.user_attribute != target.user_attribute) {
            p.access_attribute = target.access_attribute;
            p.user_attribute = target.user_attribute;
            p.access_modified = true;
        }
    }
}

const std::string& EditHistory::undo_name() const {
    return done_.empty() ? kNone : done_.back().name;
}

const std::string& EditHistory::redo_name() const {
    return undone_.empty() ? kNone : undone_.back().name;
}

bool EditHistory::undo() {
    if (done_.empty()) return false;
    go_to(done_.back(), true);
    undone_.push_back(std::move(done_.back()));
    done_.pop_back();
    return true;
}

bool EditHistory::redo() {
    if (undone_.empty()) return false;
    go_to(undone_.back(), false);
    done_.push_back(std::move(undone_.back()));
    undone_.pop_back();
    return true;
}

void EditHistory::clear() {
    done_.clear();
    undone_.clear();
}

}  // namespace varda
