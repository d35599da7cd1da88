#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/devices/cell_flags.h"

namespace varda {

class Parameter;

// ---- the report tables (connection settings, I/O status, calibration points)

// Whether activating a cell (double-click, Enter) opens its editor; `row_flags` is the union over the row.
bool cell_opens_editor(int row, std::uint16_t row_flags, std::uint16_t cell_flags);
// Whether a click on the cell runs the table's cell action.
bool cell_runs_action(std::uint16_t cell_flags);

// Where the selection lands when it moves from `from` to `to`: `to` when that row is enabled, else the
// next enabled row beyond it in the same direction, else `from`.
int skip_disabled_rows(int from, int to, int row_count, const std::function<bool(int)>& disabled);

// The in-place editor a table opens for a parameter's value.
struct TableEditor {
    enum class Kind { None, EditBox, List };
    Kind kind = Kind::None;
    // The text the editor starts with: empty for "no data".
    std::string text;
    // The edit box's tip: "description (network name)" and what the value must be.
    std::string tip_title;
    std::string tip_text;
    // The list's entries as shown ("_" as a space) and as committed (as the type text writes them).
    std::vector<std::string> items;
    std::vector<std::string> values;
    int selected = -1;      // the entry of the current value; -1 none
    bool editable = false;  // the list also takes a typed text

    // The value text a list commits: the chosen entry in its own spelling, else the typed text as it stands.
    std::string value_of(int index, const std::string& typed) const;
};

// Numbers ("float", "int", "int16", "stored_dot", "clk_frm") get an edit box with a tip; every other type a
// list of the items of its type text.
TableEditor choose_table_editor(const Parameter& parameter);

// The port: a list of the serial devices present (as list_serial_ports() gives them) that also takes a
// typed device path. Adapters are shown by product name and committed as their by-id path.
TableEditor port_editor(const Parameter& port, std::string_view serial_ports,
                        const std::filesystem::path& by_id_dir = "/dev/serial/by-id");

// Whether a value text means that the value is unknown.
bool is_no_data_text(std::string_view text);

}  // namespace varda
