// Which editor a table cell opens, and where the selection may stop.
#include "core/app/tree/table_edit.h"

#include <gtest/gtest.h>

#include "core/model/parameter.h"

namespace varda {
namespace {

using cell_flags::kButton;
using cell_flags::kDisabled;
using cell_flags::kGreen;
using cell_flags::kRed;
using cell_flags::kRowNoEditor;

std::unique_ptr<Parameter> parameter(std::string name, std::string type, std::string value) {
    auto p = std::make_unique<Parameter>(std::move(name));
    p->description = "Address";
    p->set_data_type(std::move(type));
    p->SetValueText(std::move(value));
    return p;
}

TEST(TableEdit, FlagsDecideEditorAndAction) {
    EXPECT_TRUE(cell_opens_editor(0, 0, 0));
    EXPECT_FALSE(cell_opens_editor(-1, 0, 0));
    EXPECT_FALSE(cell_opens_editor(2, kRowNoEditor, 0));
    for (const auto flag : {kDisabled, cell_flags::kReadOnly, kButton})
        EXPECT_FALSE(cell_opens_editor(0, flag, flag));
    EXPECT_TRUE(cell_opens_editor(0, kRed | kGreen, kRed | kGreen));
    EXPECT_TRUE(cell_runs_action(kButton));
    EXPECT_FALSE(cell_runs_action(kButton | kDisabled));
    EXPECT_FALSE(cell_runs_action(cell_flags::kReadOnly));
}

TEST(TableEdit, SelectionSkipsDisabledRows) {
    const auto disabled = [](int row) { return row == 1 || row == 2 || row == 5; };
    EXPECT_EQ(skip_disabled_rows(0, 1, 6, disabled), 3);
    EXPECT_EQ(skip_disabled_rows(3, 2, 6, disabled), 0);
    EXPECT_EQ(skip_disabled_rows(4, 5, 6, disabled), 4);  // nothing enabled below: stays
    EXPECT_EQ(skip_disabled_rows(4, 6, 6, disabled), 4);
    EXPECT_EQ(skip_disabled_rows(0, 4, 6, disabled), 4);
}

TEST(TableEdit, NumbersGetAnEditBoxWithTheirRange) {
    auto address = parameter("Addr", "int", "16");
    address->set_limits(1, 255);
    TableEditor editor = choose_table_editor(*address);
    EXPECT_EQ(editor.kind, TableEditor::Kind::EditBox);
    EXPECT_EQ(editor.text, "16");
    EXPECT_EQ(editor.tip_title, "Address (Addr)");
    EXPECT_EQ(editor.tip_text, "It should be an integer between 1 and 255");

    auto gain = parameter("GAin", "float", "no data");
    gain->set_limits(-1.5, 2);
    editor = choose_table_editor(*gain);
    EXPECT_EQ(editor.text, "");
    EXPECT_EQ(editor.tip_text, "It should be a real number between -1.500 and 2.000");

    editor = choose_table_editor(*parameter("Addr", "int", "Н/Д"));
    EXPECT_EQ(editor.text, "");
    EXPECT_EQ(editor.tip_text, "It should be an integer");  // no limits to name
    EXPECT_EQ(choose_table_editor(*parameter("d", "STORED_DOT", "1.5")).kind, TableEditor::Kind::EditBox);
}

TEST(TableEdit, EnumerationsGetAListWithTheValueSelected) {
    const TableEditor editor = choose_table_editor(*parameter("Mode", "Off::Slow_ramp:Fast", "slow_RAMP"));
    EXPECT_EQ(editor.kind, TableEditor::Kind::List);
    EXPECT_EQ(editor.items, (std::vector<std::string>{"Off", "Slow ramp", "Fast"}));
    EXPECT_EQ(editor.selected, 1);
    EXPECT_EQ(editor.value_of(1, "Slow ramp"), "Slow_ramp");
    EXPECT_EQ(choose_table_editor(*parameter("bPS", "9600:19200", "no data")).selected, -1);
    // The value as a read shows it ("_" as a space) is its item; hidden items are not offered.
    const TableEditor read =
        choose_table_editor(*parameter("Mode", "Off:<hide>Service:Slow_ramp", "slow ramp"));
    EXPECT_EQ(read.items, (std::vector<std::string>{"Off", "Slow ramp"}));
    EXPECT_EQ(read.selected, 1);
    // A type that is no list offers nothing to pick, rather than its own name.
    EXPECT_TRUE(choose_table_editor(*parameter("Text", "string", "abc")).items.empty());
}

TEST(TableEdit, ThePortListTakesATypedPath) {
    const auto port = parameter("Port", "", "/dev/ttyUSB0");
    const TableEditor editor = port_editor(*port, "/dev/ttyS0:/dev/ttyUSB0:/dev/serial_a");
    EXPECT_TRUE(editor.editable);
    EXPECT_EQ(editor.items.back(), "/dev/serial_a");
    EXPECT_EQ(editor.selected, 1);
    EXPECT_EQ(editor.value_of(1, "/dev/ttyUSB0"), "/dev/ttyUSB0");
    EXPECT_EQ(editor.value_of(1, "/dev/pts/4"), "/dev/pts/4");
    EXPECT_EQ(port_editor(*port, "").items.size(), 0u);
}

}  // namespace
}  // namespace varda
