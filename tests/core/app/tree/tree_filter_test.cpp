// Finding rows of the parameter tree by text and by state, and which rows stay visible around a match.
#include "core/app/tree/tree_filter.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <vector>

namespace varda {
namespace {

// A plain tree of rows: an element "Вход 1" with two parameters, an element "Output" with one, a top
// parameter.
struct Row {
    std::array<std::string, kColumnCount> text;
    bool parameter = true;
    bool changed = false, differs = false, failed = false;
    Row* parent = nullptr;
    std::vector<std::unique_ptr<Row>> children;
};

class Rows : public FilterRows {
  public:
    Row top;
    Row* add(Row* parent, std::string description, std::string name, std::string value,
             bool parameter = true) {
        Row* owner = parent ? parent : &top;
        auto row = std::make_unique<Row>();
        row->text[kColumnTree] = std::move(description);
        row->text[kColumnName] = std::move(name);
        row->text[kColumnValue] = std::move(value);
        row->parameter = parameter;
        row->parent = parent;
        owner->children.push_back(std::move(row));
        return owner->children.back().get();
    }
    static Row* row(TreeItem item) { return reinterpret_cast<Row*>(item); }
    static TreeItem item(Row* row) { return reinterpret_cast<TreeItem>(row); }
    TreeItem first_child(TreeItem item) const override {
        const Row* owner = item ? row(item) : &top;
        return owner->children.empty() ? nullptr : Rows::item(owner->children.front().get());
    }
    TreeItem next_sibling(TreeItem item) const override {
        const Row* r = row(item);
        const Row* owner = r->parent ? r->parent : &top;
        for (std::size_t i = 0; i + 1 < owner->children.size(); ++i)
            if (owner->children[i].get() == r) return Rows::item(owner->children[i + 1].get());
        return nullptr;
    }
    std::string text(TreeItem item, int column) const override {
        return row(item)->text[static_cast<std::size_t>(column)];
    }
    bool is_parameter(TreeItem item) const override { return row(item)->parameter; }
    bool changed(TreeItem item) const override { return row(item)->changed; }
    bool differs(TreeItem item) const override { return row(item)->differs; }
    bool failed(TreeItem item) const override { return row(item)->failed; }
};

struct Fixture {
    Rows rows;
    Row* input = rows.add(nullptr, "Вход 1", "", "", false);
    Row* filter = rows.add(input, "Время фильтрации", "FiLt", "10");
    Row* range = rows.add(input, "Диапазон", "rAnG", "4-20 мА");
    Row* output = rows.add(nullptr, "Output", "", "", false);
    Row* mode = rows.add(output, "Mode", "oUt.m", "Pulse");
    Row* address = rows.add(nullptr, "Address", "Addr", "16");
};

TreeItem item(Row* row) {
    return Rows::item(row);
}

TEST(TreeFilter, TextMatchesDescriptionNameAndValueWithoutRegardToCase) {
    Fixture f;
    struct Case {
        const char* text;
        std::vector<Row*> matches;
    };
    const std::vector<Case> cases = {
        {"ВРЕМЯ", {f.filter}},  // Cyrillic description, other case
        {"filt", {f.filter}},   // network name
        {"pulse", {f.mode}},    // value text
        {"мА", {f.range}},      // value with Cyrillic
        {"zzz", {}},
    };
    for (const Case& c : cases) {
        const FilterResult r = filter_tree(f.rows, {c.text});
        EXPECT_EQ(r.matches.size(), c.matches.size()) << c.text;
        for (Row* m : c.matches)
            EXPECT_TRUE(r.matches.count(item(m))) << c.text;
        EXPECT_EQ(r.parameter_count, 4) << c.text;
    }
}

TEST(TreeFilter, AncestorsOfAMatchStayVisibleAndExpandedAndOthersHide) {
    Fixture f;
    const FilterResult r = filter_tree(f.rows, {"filt"});
    EXPECT_TRUE(r.visible.count(item(f.filter)));
    EXPECT_TRUE(r.visible.count(item(f.input)));
    EXPECT_TRUE(r.expanded.count(item(f.input)));
    EXPECT_FALSE(r.visible.count(item(f.range)));
    EXPECT_FALSE(r.visible.count(item(f.output)));
    EXPECT_FALSE(r.visible.count(item(f.address)));
    EXPECT_EQ(match_count_text(r), "1 of 4");

    // A branch found by its name shows its rows, though they do not match themselves.
    const FilterResult branch = filter_tree(f.rows, {"вход"});
    EXPECT_TRUE(branch.visible.count(item(f.range)));
    EXPECT_EQ(match_count_text(branch), "0 of 4");
}

TEST(TreeFilter, QuickFiltersKeepParametersInAnyChosenStateAndCombineWithText) {
    Fixture f;
    f.filter->changed = true;
    f.mode->differs = true;
    f.address->failed = true;
    f.range->changed = true;
    struct Case {
        FilterQuery query;
        std::vector<Row*> matches;
    };
    const std::vector<Case> cases = {
        {{"", true, false, false}, {f.filter, f.range}}, {{"", false, true, false}, {f.mode}},
        {{"", false, false, true}, {f.address}},         {{"", false, true, true}, {f.mode, f.address}},
        {{"диап", true, false, false}, {f.range}},       {{"pulse", true, false, false}, {}},
    };
    for (const Case& c : cases) {
        const FilterResult r = filter_tree(f.rows, c.query);
        EXPECT_EQ(r.matches.size(), c.matches.size()) << c.query.text;
        for (Row* m : c.matches)
            EXPECT_TRUE(r.matches.count(item(m))) << c.query.text;
    }
}

}  // namespace
}  // namespace varda
