#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/model/tree_sink.h"

namespace varda {

class CTarnDoc;
class ObjectWithParameters;
class Parameter;
class ValueType;

// ---- rules of the tree-list control that need no window

// Natural order of two cell texts: "Input 2" before "Input 10"; texts without digits compare without
// regard to case. <0, 0, >0; a descending sort inverts the sign.
int natural_compare(std::string_view a, std::string_view b);

// A parameter that needs the user's attention: an error text that is neither a comparison discrepancy
// ("Device value ...") nor the note that an uninitialised value was not written. Scanners never count.
bool is_problem_parameter(const Parameter& parameter);
// Whether one of the element's parameters, or of its child elements' parameters, is a problem.
bool contains_problem(const ObjectWithParameters& element);
// Whether the user changed a value or attribute of the element, or of its child elements, that has not been
// written to the module since (a read or a write clears the mark).
bool has_unwritten_edits(const ObjectWithParameters& element);

// Which in-place editor a double-click on a cell opens.
struct EditorChoice {
    enum class Kind { None, EditBox, List };
    Kind kind = Kind::None;
    // Warn first that the value shown keeps changing (a scanner runs).
    bool sampling_warning = false;
    // Drop-down entries and the one to select.
    std::vector<std::string> items;
    int selected = -1;
};

// `data` is the row's object, `row_edit` how the row says its value is edited, `cell_text` the text of
// the clicked cell, `model_index` the current device model. The port parameter's list is refreshed with
// the serial ports present.
EditorChoice choose_editor(const TreeItemData& data, int column, EditKind row_edit, bool greyed,
                           const std::string& cell_text, int model_index);

// Entries of a value drop-down: the choices of `type` in order ("_" shown as a space, gaps and names
// marked "<hide>" left out), and the cell's own text once (appended when it is not a value name). The
// entry of the cell's value is selected; leaving it selected is no change, however it is spelt.
EditorChoice list_choice(const ValueType& type, const std::string& cell_text);

// ---- committing an in-place edit

// What the tree has to show after a commit.
struct EditResult {
    struct Row {
        Parameter* parameter = nullptr;
        // Colour after the row was rewritten from its parameter; nothing: the row's own rule.
        std::optional<Rgb> colour;
    };
    // The edited cell shows its old text again.
    bool restore = false;
    // The edited cell shows this text (the value as the parameter stored it).
    std::optional<std::string> cell_text;
    // Colour and error column of the edited row, for rows that are not rewritten.
    std::optional<Rgb> colour;
    std::optional<std::string> error_text;
    // Rows to rewrite from their parameters, in order.
    std::vector<Row> rows;
    // Every view is redrawn from the document.
    bool refresh_views = false;
};

// The rules that decide what a typed value does: range and format checks with their messages, the
// consistency of a module's network settings, pairing of "Log" parameters, instant recording, scanner
// periods and the configurator's own port settings. Messages go through ui().
class TreeEdit {
  public:
    explicit TreeEdit(CTarnDoc& document) : document_(document) {}

    // The user changed column `column` of the row of `parameter` (nullptr: a row without a parameter)
    // from `old_text` to `new_text`.
    EditResult commit(Parameter* parameter, int column, const std::string& old_text,
                      const std::string& new_text);

    // The message for a value the parameter does not accept.
    static std::string rejection_text(const Parameter& parameter, const std::string& text);

  private:
    EditResult commit_column(Parameter* parameter, int column, const std::string& new_text);
    EditResult commit_scanner(Parameter& parameter, int column, const std::string& new_text);
    EditResult commit_value(Parameter& parameter, const std::string& new_text);
    // Writes the parameter now; on failure shows the error with `caption` and puts the old value back.
    bool write_now(Parameter& parameter, std::string_view caption, const std::string& previous,
                   bool previous_modified);
    ObjectWithParameters* owner_of(const Parameter& parameter) const;

    CTarnDoc& document_;
};

}  // namespace varda
