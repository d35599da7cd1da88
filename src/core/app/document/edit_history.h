#pragma once

#include <string>
#include <vector>

#include "core/model/failure.h"

namespace varda {

class Parameter;

// What an edit may change of a parameter.
struct ParameterState {
    std::string value_text;
    std::string error_text;
    Failure failure;
    bool value_modified = false;
    bool access_modified = false;
    bool user_modified = false;
    bool access_attribute = true;
    bool user_attribute = false;
    bool operator==(const ParameterState&) const = default;
};
ParameterState capture_state(const Parameter& parameter);

// The document's undo and redo stacks of value edits. An edit is recorded as the states of the parameters
// it changed, before and after; an edit touching many parameters is one step.
class EditHistory {
  public:
    // Snapshots `parameters` before an edit named `name`.
    class Recording {
      public:
        Recording(std::string name, std::vector<Parameter*> parameters);

      private:
        friend class EditHistory;
        std::string name_;
        std::vector<Parameter*> parameters_;
        std::vector<ParameterState> before_;
    };

    // Keeps the parameters the edit changed as one step; nothing changed, no step. Redo is forgotten.
    void finish(const Recording& recording);

    bool can_undo() const { return !done_.empty(); }
    bool can_redo() const { return !undone_.empty(); }
    const std::string& undo_name() const;
    const std::string& redo_name() const;
    bool undo();
    bool redo();
    void clear();

  private:
    struct Change {
        Parameter* parameter;
        ParameterState before;
        ParameterState after;
    };
    struct Step {
        std::string name;
        std::vector<Change> changes;
    };
    static void go_to(Step& step, bool back);

    std::vector<Step> done_;
    std::vector<Step> undone_;
};

}  // namespace varda
