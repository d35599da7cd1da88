#pragma once

// The lamps of the I/O status dialog: where they go and what colour a state gives them.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/devices/base_device.h"
#include "core/devices/io_status_dialog.h"

namespace varda {

inline constexpr int kMaxLamps = 32;  // per side
inline constexpr int kMaxLampColumns = 8;
// With both sides shown, the outputs side's lamps sit this far (dialog units) to the right of where the
// model places them, over the outputs table.
inline constexpr int kOutputsSideShift = 171;

// Lamp k (label k + 1) of one side, in dialog units; lamps go left to right, then top to bottom.
struct LampGrid {
    int columns = 0;
    int rows = 0;
    std::vector<Rect> lamps;
};

// Half as many columns as table rows (at most 8), as many lamp rows as fill them; table rows left over
// get no lamp, and a side never holds more than kMaxLamps.
LampGrid lay_out_lamps(int table_rows, const std::optional<Rect>& first, int column_step, int row_step,
                       int shift = 0);
// The grid of one side of the model's dialog with that many table rows.
LampGrid lamp_grid(const CBaseDevice& model, IoSide side, int table_rows);

enum class LampColour { Default, InputOn, OutputOn, OutputPartial };
// An input is on at exactly "1"; an output by its value: 0 off, 1 on, anything else partly on.
LampColour lamp_colour(IoSide side, std::string_view state);

// The dialog's title: the model's I/O status text after its last line break (the common one without a
// model).
std::string io_status_title(const CBaseDevice* model);

// Dialog units to pixels, for a font whose average character is base_x wide and base_y high.
Rect dialog_units_to_pixels(const Rect& units, int base_x, int base_y);

}  // namespace varda
