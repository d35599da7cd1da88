#include "core/app/tree/tree_filter.h"

#include <charconv>

#include "core/platform/language.h"
#include "core/platform/text.h"

namespace varda {
namespace {

struct Walk {
    const FilterRows& rows;
    const FilterQuery& query;
    std::string needle;
    FilterResult& result;

    bool row_matches(TreeItem item) const {
        const bool parameter = rows.is_parameter(item);
        if (query.changed || query.differs || query.failed) {
            if (!parameter) return false;
            const bool state = (query.changed && rows.changed(item)) ||
                               (query.differs && rows.differs(item)) || (query.failed && rows.failed(item));
            if (!state) return false;
        }
        if (needle.empty()) return true;
        for (int column : {kColumnTree, kColumnName, kColumnValue})
            if (platform::to_lower(rows.text(item, column)).find(needle) != std::string::npos) return true;
        return false;
    }

    void show_subtree(TreeItem item) {
        for (TreeItem child = rows.first_child(item); child; child = rows.next_sibling(child)) {
            result.visible.insert(child);
            show_subtree(child);
        }
    }

    // True when the row or a row below it matches.
    bool visit(TreeItem item) {
        const bool parameter = rows.is_parameter(item);
        if (parameter) ++result.parameter_count;
        const bool self = row_matches(item);
        bool below = false;
        for (TreeItem child = rows.first_child(item); child; child = rows.next_sibling(child))
            below = visit(child) || below;
        if (self) {
            result.matches.insert(item);
            if (parameter) ++result.parameter_matches;
            // A branch found by its name shows what it holds.
            if (!parameter && !needle.empty()) show_subtree(item);
        }
        if (below) result.expanded.insert(item);
        if (self || below) result.visible.insert(item);
        return self || below;
    }
};

}  // namespace

FilterResult filter_tree(const FilterRows& rows, const FilterQuery& query) {
    FilterResult result;
    Walk walk{rows, query, platform::to_lower(query.text), result};
    for (TreeItem item = rows.first_child(nullptr); item; item = rows.next_sibling(item))
        walk.visit(item);
    return result;
}

std::string match_count_text(const FilterResult& result) {
    char buffer[32];
    auto number = [&](int value) {
        const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
        return std::string(buffer, end);
    };
    return number(result.parameter_matches) + std::string(localized(" of ")) + number(result.parameter_count);
}

}  // namespace varda
