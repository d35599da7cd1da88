#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>

namespace varda {

class ObjectWithParameters;
class Parameter;
class DescBranch;

// A row of the tree-list control, as the row-building code sees it: an opaque handle the control gives out.
struct TreeRow;
using TreeItem = TreeRow*;

// What a row stands for: an element, a parameter, or nothing (fixed child rows such as the bit fields).
using TreeItemData = std::variant<std::monostate, ObjectWithParameters*, Parameter*>;

// How a row's value cell is edited in place.
enum class EditKind { None, EditBox, List };

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Rgb&) const = default;
};
inline constexpr Rgb kModifiedColour{0, 200, 0};
inline constexpr Rgb kDiscrepancyColour{64, 64, 255};
inline constexpr Rgb kErrorColour{255, 0, 0};

// The columns of the parameter tree.
enum TreeColumn {
    kColumnTree = 0,
    kColumnName = 1,
    kColumnValue = 2,
    kColumnAccess = 3,
    kColumnUser = 4,
    kColumnError = 5,
    kColumnCount = 6
};

// The operations of the tree-list control that elements and parameters use to show themselves. The Qt
// tree model implements it; tests implement it with a plain recording tree.
class TreeSink {
  public:
    virtual ~TreeSink() = default;
    // Appends a row under `parent` (nullptr: at the top) and returns it.
    virtual TreeItem insert_item(TreeItem parent, const std::string& text, int image, int selected_image,
                                 EditKind edit, TreeItemData data) = 0;
    virtual void set_item_text(TreeItem item, int column, const std::string& text) = 0;
    // nullopt: the default colour.
    virtual void set_item_color(TreeItem item, std::optional<Rgb> color) = 0;
    // The state image of a scanner row: 3 while its timer runs, 1 otherwise.
    virtual void set_item_state(TreeItem item, int state) = 0;
    virtual TreeItem first_child(TreeItem item) const = 0;
    virtual TreeItem next_sibling(TreeItem item) const = 0;
    // The object the row stands for, as given at insertion.
    virtual TreeItemData item_data(TreeItem item) const = 0;
    // Whether the tree view marks this branch as holding differences (its row turns red).
    virtual bool branch_has_differences(const DescBranch& branch) const = 0;
};

}  // namespace varda
