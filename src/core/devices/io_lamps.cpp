#include "core/devices/io_lamps.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "core/platform/strings.h"

namespace varda {

namespace {

constexpr int kCommonIoStatusTitle = 32821;

// Rounds like the platform's dialog-unit mapping: value * numerator / denominator, to nearest.
int scale(int value, int numerator, int denominator) {
    const long long product = static_cast<long long>(value) * numerator;
    const long long half = denominator / 2;
    return static_cast<int>(product >= 0 ? (product + half) / denominator : (product - half) / denominator);
}

// The leading decimal number of a text, 0 when it does not start with one.
double leading_number(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    const std::size_t digits = text.find_first_of("0123456789");
    // Only a sign or a point may come before the digits ("inf" and "nan" are no numbers here).
    if (digits == std::string_view::npos || digits > 2 ||
        text.substr(0, digits).find_first_not_of("-.") != std::string_view::npos)
        return 0;
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error == std::errc::result_out_of_range) return text.front() == '-' ? -HUGE_VAL : HUGE_VAL;
    return error == std::errc() ? value : 0;
}

}  // namespace

LampGrid lay_out_lamps(int table_rows, const std::optional<Rect>& first, int column_step, int row_step,
                       int shift) {
    LampGrid grid;
    if (!first || table_rows <= 0) return grid;
    // A single row still gets its lamp.
    grid.columns = std::clamp(table_rows / 2, 1, kMaxLampColumns);
    grid.rows = std::min(table_rows / grid.columns, kMaxLamps / grid.columns);
    // Steps shorter than a lamp would stack the lamps on each other.
    column_step = std::max(column_step, first->right - first->left);
    row_step = std::max(row_step, first->bottom - first->top);
    grid.lamps.resize(static_cast<std::size_t>(grid.columns * grid.rows));
    for (int c = 0; c < grid.columns; ++c) {
        for (int r = 0; r < grid.rows; ++r) {
            const int dx = shift + c * column_step;
            const int dy = r * row_step;
            grid.lamps[static_cast<std::size_t>(c + r * grid.columns)] =
                Rect{first->left + dx, first->top + dy, first->right + dx, first->bottom + dy};
        }
    }
    return grid;
}

LampGrid lamp_grid(const CBaseDevice& model, IoSide side, int table_rows) {
    if (side == IoSide::Inputs) {
        if (!model.HasInputs()) return {};
        return lay_out_lamps(table_rows, model.GetFirstInputRect(), model.GetInputColumnStep(),
                             model.GetRowStep());
    }
    if (!model.HasOutputs()) return {};
    return lay_out_lamps(table_rows, model.GetFirstOutputRect(), model.GetOutputColumnStep(),
                         model.GetRowStep(), model.HasInputs() ? kOutputsSideShift : 0);
}

LampColour lamp_colour(IoSide side, std::string_view state) {
    if (side == IoSide::Inputs) return state == "1" ? LampColour::InputOn : LampColour::Default;
    const double thousandths = std::trunc(leading_number(state) * 1000.0);
    if (thousandths == 0) return LampColour::Default;
    return thousandths == 1000 ? LampColour::OutputOn : LampColour::OutputPartial;
}

std::string io_status_title(const CBaseDevice* model) {
    const std::string_view text = str(model ? model->GetIOStatusTitle() : kCommonIoStatusTitle);
    const std::size_t line_break = text.rfind('\n');
    return std::string(line_break == std::string_view::npos ? text : text.substr(line_break + 1));
}

Rect dialog_units_to_pixels(const Rect& units, int base_x, int base_y) {
    return Rect{scale(units.left, base_x, 4), scale(units.top, base_y, 8), scale(units.right, base_x, 4),
                scale(units.bottom, base_y, 8)};
}

}  // namespace varda
