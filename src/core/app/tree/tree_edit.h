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

// The message for a value the parameter does not accept.
std::string value_rejection_text(const Parameter& parameter, const std::string& text);

}  // namespace varda
