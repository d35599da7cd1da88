#pragma once

#include "core/model/elements.h"
#include "core/model/tree_sink.h"

// How parameters and elements show themselves as rows of the parameter tree. Kept apart from the model
// classes so that they carry no display code; everything here only talks to a TreeSink.
namespace varda {

class ModelHooks;

// Image of a parameter row, by how its value is edited: 27 a list of value names, 28 an edit box, 30 not
// editable (read-only).
int ImageIndex(const Parameter& parameter);

// How the row's value cell is edited in place.
EditKind EditKindOf(const Parameter& parameter);

// The Error / Discrepancy cell: a comparison's note ("Device value '10',read/writeunknown", as files keep
// it) reads "module: 10 (read/write)", with ", Company" when the module says so; other texts as they are.
std::string error_cell_text(const std::string& error_text);

// Inserts the parameter's row under `parent`, remembers it as the parameter's tree item and writes its
// columns. Returns the row, or nullptr when the control could not insert it.
TreeItem InsertIntoTree(Parameter& parameter, TreeSink& tree, TreeItem parent, int image, int selected_image,
                        bool show_index);

// Writes every column after the tree text and the row's colour.
void UpdateTreeRow(Parameter& parameter, TreeSink& tree, TreeItem item, bool show_index);

// Writes the value, the error text and the colour of the parameter's own row (nothing while it has none).
void RefreshTreeRow(Parameter& parameter, TreeSink& tree);

// Inserts the element's row under `parent` with the first `limit` parameters (all of them when `limit` is
// negative) and returns the row.
TreeItem AddToTree(Elements::InvisibleElement& element, TreeSink& tree, TreeItem parent, int limit,
                   bool show_index);

// Inserts the element's row with its parameters and child elements in declaration order, and the fixed
// child rows of the parameters that have them. `model` supplies the status items of "Rd.St" and "Stat"
// (none without a model). Returns the element's row.
TreeItem AddToTreeMixed(DescBranch& element, TreeSink& tree, TreeItem parent, bool show_index,
                        const ModelHooks* model);

// Rewrites every row below `item` from the object it stands for: parameter rows as UpdateTreeRow, element
// rows their index column and difference colour.
void UpdateTreeRows(TreeSink& tree, TreeItem item, bool show_index);

}  // namespace varda
