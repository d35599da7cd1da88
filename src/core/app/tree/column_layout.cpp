#include "core/app/tree/column_layout.h"

#include <algorithm>
#include <charconv>

namespace varda {

std::vector<int> fit_columns(const std::vector<ColumnFit>& columns, int available) {
    std::vector<int> widths;
    int fixed = 0;
    for (const ColumnFit& c : columns) {
        widths.push_back(std::max(c.width, c.minimum));
        if (!c.stretches) fixed += widths.back();
    }
    // A stretching column that would fall below its caption keeps the caption's width, and the others
    // share what is left; repeated until no share is below its minimum.
    std::vector<bool> pinned(columns.size(), false);
    for (;;) {
        int share = available - fixed;
        long long weights = 0;
        int last = -1;
        for (std::size_t i = 0; i < columns.size(); ++i) {
            if (!columns[i].stretches) continue;
            if (pinned[i]) {
                share -= columns[i].minimum;
            } else {
                weights += std::max(columns[i].width, 1);
                last = static_cast<int>(i);
            }
        }
        if (last < 0) break;
        share = std::max(share, 0);
        int given = 0;
        for (std::size_t i = 0; i < columns.size(); ++i) {
            if (!columns[i].stretches || pinned[i]) continue;
            widths[i] =
                static_cast<int>(share * static_cast<long long>(std::max(columns[i].width, 1)) / weights);
            given += widths[i];
        }
        // Rounding leaves a few pixels; the last column takes them so the row ends at the view's edge.
        widths[static_cast<std::size_t>(last)] += share - given;
        bool repinned = false;
        for (std::size_t i = 0; i < columns.size(); ++i) {
            if (!columns[i].stretches || pinned[i] || widths[i] >= columns[i].minimum) continue;
            pinned[i] = true;
            widths[i] = columns[i].minimum;
            repinned = true;
        }
        if (!repinned) break;
    }
    return widths;
}

std::string widths_text(const std::vector<int>& widths) {
    std::string text;
    for (const int w : widths) {
        if (!text.empty()) text += ',';
        char buffer[16];
        const auto result = std::to_chars(buffer, buffer + sizeof buffer, w);
        text.append(buffer, result.ptr);
    }
    return text;
}

std::vector<int> parse_widths(std::string_view text, std::size_t count) {
    std::vector<int> widths;
    const char* p = text.data();
    const char* end = text.data() + text.size();
    while (p < end) {
        int w = 0;
        const auto result = std::from_chars(p, end, w);
        if (result.ec != std::errc() || w <= 0) return {};
        widths.push_back(w);
        p = result.ptr;
        if (p < end && *p++ != ',') return {};
        if (p == end && text.back() == ',') return {};
    }
    if (widths.size() != count) return {};
    return widths;
}

}  // namespace varda
