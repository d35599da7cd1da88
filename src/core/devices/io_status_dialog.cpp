#include "core/devices/io_status_dialog.h"

#include "core/model/elements.h"
#include "core/model/parameter.h"
#include "core/platform/numbers.h"
#include "core/platform/strings.h"

namespace varda {

void IoTable::add_column(std::string caption, int share) {
    columns_.push_back({std::move(caption), share});
    for (Row& row : rows_) {
        row.texts.resize(columns_.size());
        row.flags.resize(columns_.size());
    }
}

int IoTable::add_row(Parameter& parameter) {
    rows_.push_back(
        {&parameter, std::vector<std::string>(columns_.size()), std::vector<std::uint16_t>(columns_.size())});
    return row_count() - 1;
}

void IoTable::set_text(int row, int column, std::string text) {
    if (!has_row(row) || column < 0 || column >= static_cast<int>(columns_.size())) return;
    rows_[row].texts[column] = std::move(text);
}

void IoTable::set_flags(int row, int column, std::uint16_t value, std::uint16_t mask) {
    if (!has_row(row)) return;
    std::vector<std::uint16_t>& flags = rows_[row].flags;
    for (int c = 0; c < static_cast<int>(flags.size()); ++c) {
        if (column >= 0 && c != column) continue;
        flags[c] = static_cast<std::uint16_t>((flags[c] & ~mask) | (value & mask));
    }
}

std::vector<std::pair<Parameter*, int>> io_table_instances(DescBranch* scanners, std::string_view name) {
    std::vector<std::pair<Parameter*, int>> out;
    if (!scanners || name.empty()) return out;
    DescBranch::IndexMap instances;
    int max_index = 0;
    int step = 0;
    scanners->FindParameter(name, &instances, &max_index, &step, 0);
    // A lone instance at index 0 gives no step; walking by 0 would never end.
    if (step <= 0) step = 1;
    for (long long index = 0; index <= max_index; index += step) {
        const auto found = instances.find(static_cast<int>(index));
        if (found != instances.end()) out.emplace_back(found->second, static_cast<int>(index));
    }
    return out;
}

std::string io_row_label(int format_id, int index) {
    return platform::format_c(std::string(str(format_id)).c_str(), index + 1);
}

std::string io_cell_value(const Parameter& parameter) {
    return parameter.value_text() == str(kNoData) ? std::string("0") : parameter.value_text();
}

void update_input_lamp(IoStatusDialog& dialog, int lamp, const std::string& state) {
    if (lamp < 0 || lamp >= dialog.input_lamp_count() || dialog.input_lamp_state(lamp) == state) return;
    dialog.set_input_lamp_state(lamp, state);
    dialog.repaint_input_lamp(lamp);
}

}  // namespace varda
