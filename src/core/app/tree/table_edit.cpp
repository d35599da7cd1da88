#include "core/app/tree/table_edit.h"

#include "core/model/parameter.h"
#include "core/platform/numbers.h"
#include "core/platform/serial_ports.h"
#include "core/platform/strings.h"
#include "core/platform/text.h"
#include "core/protocol/value_type.h"

namespace varda {
namespace {

constexpr int kRealNumberRange = 499;
constexpr int kIntegerRange = 500;
constexpr std::string_view kNoDataShort = "Н/Д";

// The limits sentence of a number's tip. Without limits only "It should be ..." is left of it. The
// integer text ends in a stray "%", which would print nothing anyway.
std::string range_text(int id, const Parameter& parameter) {
    std::string format(str(id));
    while (!format.empty() && (format.back() == '%' || format.back() == ' '))
        format.pop_back();
    if (!parameter.has_limits()) {
        const auto between = format.find(" between");
        return between == std::string::npos ? format : format.substr(0, between);
    }
    return platform::format_c(format.c_str(), parameter.minimum(), parameter.maximum());
}

// The choices of a list in order, the current value's entry selected.
TableEditor list_editor(const ValueType& type, const std::string& value) {
    TableEditor editor;
    editor.kind = TableEditor::Kind::List;
    const std::optional<int> chosen = type.code_of(value);
    for (ValueType::Choice& choice : type.choices()) {
        if (chosen == choice.code) editor.selected = static_cast<int>(editor.values.size());
        editor.values.push_back(std::move(choice.written));
        editor.items.push_back(std::move(choice.shown));
    }
    return editor;
}

}  // namespace

bool cell_opens_editor(int row, std::uint16_t row_flags, std::uint16_t flags) {
    if (row < 0 || (row_flags & cell_flags::kRowNoEditor)) return false;
    return (flags & (cell_flags::kDisabled | cell_flags::kReadOnly | cell_flags::kButton)) == 0;
}

bool cell_runs_action(std::uint16_t flags) {
    return (flags & cell_flags::kButton) && !(flags & cell_flags::kDisabled);
}

int skip_disabled_rows(int from, int to, int row_count, const std::function<bool(int)>& disabled) {
    if (to < 0 || to >= row_count) return from;
    const int step = to < from ? -1 : 1;
    for (int row = to; row >= 0 && row < row_count; row += step)
        if (!disabled(row)) return row;
    return from;
}

std::string TableEditor::value_of(int index, const std::string& typed) const {
    if (index >= 0 && index < static_cast<int>(values.size()) &&
        (!editable || typed == items[static_cast<std::size_t>(index)]))
        return values[static_cast<std::size_t>(index)];
    return typed;
}

bool is_no_data_text(std::string_view text) {
    return text == str(kNoData) || text == kNoDataShort;
}

TableEditor choose_table_editor(const Parameter& parameter) {
    const std::string value =
        is_no_data_text(parameter.value_text()) ? std::string() : parameter.value_text();
    if (const ValueType type(parameter.data_type()); !type.is_number()) {
        TableEditor editor = list_editor(type, value);
        editor.text = value;
        return editor;
    }
    TableEditor editor;
    editor.kind = TableEditor::Kind::EditBox;
    editor.text = value;
    editor.tip_title = parameter.description + " (" + parameter.network_name() + ")";
    editor.tip_text = range_text(parameter.is_type("float") ? kRealNumberRange : kIntegerRange, parameter);
    return editor;
}

TableEditor port_editor(const Parameter& port, std::string_view serial_ports,
                        const std::filesystem::path& by_id_dir) {
    const std::string value = is_no_data_text(port.value_text()) ? std::string() : port.value_text();
    TableEditor editor = list_editor(ValueType::list(serial_ports), value);
    // An adapter is listed by its product and kept by its by-id link, so it survives re-plugging.
    for (std::size_t i = 0; i < editor.values.size(); ++i) {
        const std::string device = editor.values[i];
        editor.items[i] = serial_port_label(device, by_id_dir);
        editor.values[i] = stable_port_path(device, by_id_dir);
        if (editor.selected < 0 && editor.values[i] == value) editor.selected = static_cast<int>(i);
    }
    editor.editable = true;
    editor.text = value;
    return editor;
}

}  // namespace varda
