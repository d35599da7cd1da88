#pragma once

#include <string>
#include <string_view>
#include <unordered_set>

#include "core/model/tree_sink.h"

namespace varda {

// What a row offers the filter: its texts and the state marks of the parameter it stands for.
class FilterRows {
  public:
    virtual ~FilterRows() = default;
    virtual TreeItem first_child(TreeItem item) const = 0;  // nullptr: the top rows
    virtual TreeItem next_sibling(TreeItem item) const = 0;
    virtual std::string text(TreeItem item, int column) const = 0;
    // Whether the row stands for a parameter (only those are counted).
    virtual bool is_parameter(TreeItem item) const = 0;
    virtual bool changed(TreeItem item) const = 0;  // edited, not written (green)
    virtual bool differs(TreeItem item) const = 0;  // differs from the module (blue)
    virtual bool failed(TreeItem item) const = 0;   // failed exchange (red)
};

struct FilterQuery {
    std::string text;
    bool changed = false;
    bool differs = false;
    bool failed = false;
    bool empty() const { return text.empty() && !changed && !differs && !failed; }
};

struct FilterResult {
    // Rows that match by themselves (highlighted).
    std::unordered_set<TreeItem> matches;
    // Rows to show: the matches, their ancestors (shown expanded) and below a matching branch its rows.
    std::unordered_set<TreeItem> visible;
    // Ancestors of a match, to expand.
    std::unordered_set<TreeItem> expanded;
    int parameter_matches = 0;
    int parameter_count = 0;
};

// Matches description, network name and value text of every row against the text, without regard to case;
// the quick filters keep only parameters in the chosen states (any of them) and combine with the text.
FilterResult filter_tree(const FilterRows& rows, const FilterQuery& query);

// "12 of 430".
std::string match_count_text(const FilterResult& result);

}  // namespace varda
