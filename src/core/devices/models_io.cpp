#include "core/devices/models_io.h"

#include <cstdio>
#include "core/devices/cell_flags.h"
#include "core/devices/io_status_dialog.h"
#include "core/model/model_context.h"
#include "core/model/parameter.h"
#include "core/platform/numbers.h"
#include "core/platform/strings.h"
#include "core/platform/text.h"
#include "core/platform/ui.h"

namespace varda {

namespace {
constexpr int kInputLabel = 381;  // "Input %i"
constexpr int kInputsColumn = 382;
}  // namespace

void CVK00::FillInputsTable(IoStatusDialog& dialog) {
    IoTable& table = dialog.inputs_table();
    table.add_column(std::string(str(kValue)));
    table.add_column(std::string(str(kInputsColumn)));
    for (const auto& [parameter, index] : io_table_instances(dialog.scanners(), GetInputsName())) {
        const int row = table.add_row(*parameter);
        table.set_text(row, 0, io_cell_value(*parameter));
        table.set_text(row, 1, io_row_label(kInputLabel, index));
        table.set_flags(row, -1, cell_flags::kReadOnly, cell_flags::kReadOnly);
    }
}

void CVK00::UpdateInputStates(IoStatusDialog& dialog) {
    const IoTable& table = dialog.inputs_table();
    for (int row = 0; row < table.row_count(); ++row) {
        const Parameter* parameter = table.parameter(row);
        if (parameter && !parameter->value_modified) update_input_lamp(dialog, row, parameter->value_text());
    }
}

std::string CVK00::FormatFloat(float value) const {
    return platform::fixed(value, 1);
}

namespace {

// Log modes that bind both channels of a pair.
bool is_paired_mode(std::optional<int> position) {
    return position && (*position == 3 || *position == 4 || *position == 7);
}

// Changes the value only when it differs, so that an unchanged partner is not marked for writing.
void set_partner_value(Parameter& partner, const std::string& text) {
    if (partner.value_text() == text) return;
    partner.SetValueText(text);
    partner.value_modified = true;
}

}  // namespace

void CVK11::OnLogParameter(Parameter& parameter) {
    if (!context() || !platform::iequals(parameter.network_name(), "Log")) return;
    const int index = parameter.network_index;
    const int partner_index = index % 2 == 0 ? index + 1 : index - 1;
    Parameter* partner = context()->find_parameter("Log", partner_index);
    if (!partner || partner == &parameter) return;

    const std::optional<int> position = parameter.item_index(parameter.value_text());
    // A value outside the enumeration (a failed read, "no data") says nothing about the pair.
    if (!position) return;
    if (is_paired_mode(position)) {
        set_partner_value(*partner, parameter.value_text());
    } else if (is_paired_mode(partner->item_index(partner->value_text()))) {
        set_partner_value(*partner, partner->item_text(0));
    }
}

}  // namespace varda
