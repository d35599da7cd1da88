#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace varda {

// One column of a table view as the width rule sees it.
struct ColumnFit {
    int width = 0;    // a fixed column's width; a stretching column's share of the spare width
    int minimum = 0;  // below this the caption is clipped
    bool stretches = false;
};

// Widths for a view `available` pixels wide: every column keeps at least its minimum; the stretching
// columns share what the others leave, in proportion to their `width`. When even the minimums do
// not fit, the view scrolls rather than clipping a caption.
std::vector<int> fit_columns(const std::vector<ColumnFit>& columns, int available);

// Column widths as a settings text ("360,70,180") and back; an empty result when the text is not
// `count` positive numbers (then the defaults stay).
std::string widths_text(const std::vector<int>& widths);
std::vector<int> parse_widths(std::string_view text, std::size_t count);

}  // namespace varda
