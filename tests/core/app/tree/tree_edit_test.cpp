// What a value typed into the parameter tree does, against a VK03 tree and the simulated module.
#include "core/app/tree/tree_edit.h"

#include <gtest/gtest.h>

#include "core/app/command_line/headless_ui.h"
#include "core/app/document/document.h"
#include "core/model/description_archive.h"
#include "core/model/device_table.h"
#include "core/platform/strings.h"
#include "core/protocol/value_type.h"
#include "sim/in_process_backend.h"
#include "sim/model_module.h"
#include "tests/support/english_screen.h"
#include "tests/support/model_fixture.h"

namespace varda {
namespace {

using namespace std::chrono_literals;

// A VK03 document whose port leads to a simulated VK03.
using Vk03 = test::TreeEditRig;

TEST(TreeEditCommit, UnchangedTextDoesNothing) {
    Vk03 t;
    Parameter& timeout = t.p("t.out");
    const EditResult r = t.edit->commit(&timeout, kColumnValue, "no data", "no data");
    EXPECT_FALSE(t.doc->modified);
    EXPECT_FALSE(r.restore);
    EXPECT_TRUE(r.rows.empty());
    EXPECT_FALSE(timeout.value_modified);
}

TEST(TreeEditCommit, AcceptedValueTurnsTheRowGreenWithoutInstantRecording) {
    Vk03 t;
    Parameter& timeout = t.p("t.out");
    const EditResult r = t.edit->commit(&timeout, kColumnValue, "no data", "20");
    EXPECT_FALSE(r.restore);
    ASSERT_EQ(r.rows.size(), 1u);
    EXPECT_EQ(r.rows[0].parameter, &timeout);
    EXPECT_EQ(r.rows[0].colour, kModifiedColour);
    EXPECT_EQ(timeout.value_text(), "20");
    EXPECT_TRUE(timeout.value_modified);
    EXPECT_TRUE(t.doc->modified);
    EXPECT_EQ(t.module->value("t.out"), "10");  // nothing written yet
    EXPECT_TRUE(t.ui.messages().empty());
}

TEST(TreeEditCommit, ValueOutsideTheRangeIsRejectedWithTheRange) {
    Vk03 t;
    Parameter& timeout = t.p("t.out");
    const EditResult r = t.edit->commit(&timeout, kColumnValue, "no data", "300");
    EXPECT_TRUE(r.restore);
    EXPECT_TRUE(r.rows.empty());
    EXPECT_EQ(timeout.value_text(), "no data");
    EXPECT_FALSE(timeout.value_modified);
    const auto messages = t.ui.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text,
              "Parameter 't.out' (" + timeout.description +
                  ") cannot be set to 300\nThe allowed value should be 'integer' of the range "
                  "0.000000...255.000000");
    EXPECT_EQ(messages[0].icon, MessageIcon::Error);
}

TEST(TreeEditCommit, RejectionTextOfNamesAndScanners) {
    Parameter name("CHAr*");
    name.description = "Name";
    EXPECT_EQ(value_rejection_text(name, "abcde"),
              "Parameter 'CHAr*' (Name) cannot be set to abcde\n"
              "(Значение не удовлетворяет требованиям к формату сетевого имени)");
    {
        test::EnglishScreen english;
        EXPECT_TRUE(test::shows_english(value_rejection_text(name, "abcde")));
    }
    Parameter scanner("r.Cou");
    scanner.description = "Counter";
    scanner.set_data_type("int");
    scanner.set_limits(0, 65535);
    scanner.MakeScanner();
    EXPECT_EQ(
        value_rejection_text(scanner, "-1"),
        "Parameter 'r.Cou' (Counter) cannot be set to -1\nThe allowed value should be 'integer' of the range "
        "0...65535");
}

TEST(TreeEditCommit, WholeNumbersAreRefusedWithTheRangeTheirTypeCarries) {
    struct Case {
        const char* type;
        double minimum, maximum;
        const char* typed;
        const char* range;
    };
    const Case cases[] = {
        {"int", 0, 0, "70000", "'integer' of the range 0.000000...65535.000000"},
        {"int", 0, 255, "12,5", "'integer' of the range 0.000000...255.000000"},
        {"int", -100, 100, "-1", "'integer' of the range 0.000000...100.000000"},
        {"int16", 0, 0, "1e9", "'16-bit signed integer' of the range -32768.000000...65535.000000"},
    };
    for (const Case& c : cases) {
        Parameter p("x");
        p.description = "X";
        p.set_data_type(c.type);
        p.set_limits(c.minimum, c.maximum);
        EXPECT_FALSE(p.AcceptValue(c.typed)) << c.typed;
        EXPECT_EQ(value_rejection_text(p, c.typed), "Parameter 'x' (X) cannot be set to " +
                                                        std::string(c.typed) +
                                                        "\nThe allowed value should be " + c.range);
    }
}

TEST(TreeEditCommit, AddressAbove255NeedsElevenAddressBits) {
    Vk03 t;
    ASSERT_EQ(t.doc->module_network()->SetValue("A.Len", "8"), 1);
    Parameter& address = t.p("Addr");
    EditResult r = t.edit->commit(&address, kColumnValue, "no data", "300");
    EXPECT_TRUE(r.restore);
    EXPECT_EQ(address.value_text(), "no data");
    ASSERT_EQ(t.messages().size(), 1u);
    EXPECT_EQ(t.messages()[0], str(kProhibitedNetworkCombination));

    t.ui.clear();
    ASSERT_EQ(t.doc->module_network()->SetValue("A.Len", "11"), 1);
    r = t.edit->commit(&address, kColumnValue, "no data", "300");
    EXPECT_FALSE(r.restore);
    EXPECT_EQ(address.value_text(), "300");
    EXPECT_TRUE(t.ui.messages().empty());
}

TEST(TreeEditCommit, ForbiddenFrameIsRefused) {
    Vk03 t;
    ObjectWithParameters& network = *t.doc->module_network();
    network.SetValue("LEn", "8");
    network.SetValue("Sbit", "2");
    Parameter& parity = t.p("PrtY");
    const EditResult r = t.edit->commit(&parity, kColumnValue, "no data", "Even");
    EXPECT_TRUE(r.restore);
    EXPECT_EQ(t.messages(), std::vector<std::string>{std::string(str(kProhibitedNetworkCombination))});
}

TEST(TreeEditCommit, ConfiguratorsOwnSettingsSkipTheCheckAndReopenThePort) {
    Vk03 t;
    Elements::NetRS485prg& own = t.doc->device().program_network();
    Parameter* address = own.FindOwnParameter("Addr");
    ASSERT_NE(address, nullptr);
    own.SetValue("A.Len", "8");
    const std::string before = address->value_text();
    const EditResult r = t.edit->commit(address, kColumnValue, before, "17");
    EXPECT_FALSE(r.restore);
    EXPECT_TRUE(r.refresh_views);
    ASSERT_EQ(r.rows.size(), 1u);
    EXPECT_EQ(address->value_text(), "17");
    EXPECT_FALSE(address->value_modified);  // the element's flags are cleared
    EXPECT_EQ(t.doc->device().sio().settings.base_address, 17);
}

TEST(TreeEditCommit, InstantRecordingWritesAtOnce) {
    Vk03 t;
    t.options.instant_recording = true;
    Parameter& timeout = t.p("t.out");
    const EditResult r = t.edit->commit(&timeout, kColumnValue, "no data", "33");
    EXPECT_FALSE(r.restore);
    ASSERT_EQ(r.rows.size(), 1u);
    EXPECT_FALSE(r.rows[0].colour);  // the row keeps the colour of its parameter: none after a write
    EXPECT_EQ(t.module->value("t.out"), "33");
    EXPECT_FALSE(timeout.value_modified);
    EXPECT_TRUE(timeout.error_text.empty());
}

TEST(TreeEditCommit, EditsNotWrittenToTheModuleAreAskedAboutWithNoAsTheSafeAnswer) {
    Vk03 t;
    EXPECT_FALSE(t.doc->has_unwritten_edits());
    EXPECT_TRUE(t.doc->may_drop_unwritten_edits());
    EXPECT_TRUE(t.ui.questions().empty());

    Parameter& timeout = t.p("t.out");
    t.edit->commit(&timeout, kColumnValue, "no data", "20");
    // Saving the file keeps the mark: the module still has its old value.
    t.doc->modified = false;
    EXPECT_TRUE(t.doc->has_unwritten_edits());
    EXPECT_FALSE(t.doc->may_drop_unwritten_edits());  // unanswered: the safe "No"
    ASSERT_EQ(t.ui.questions().size(), 1u);
    t.ui.push_answer(Answer::Yes);
    EXPECT_TRUE(t.doc->may_drop_unwritten_edits());

    // As the program does before any exchange: the module on the line is identified.
    ASSERT_EQ(t.doc->device().identify(false), Identification::KnownModel);
    ASSERT_TRUE(t.doc->write_changes());
    EXPECT_EQ(t.module->value("t.out"), "20");
    EXPECT_FALSE(t.doc->has_unwritten_edits());
    t.ui.clear();
    EXPECT_TRUE(t.doc->may_drop_unwritten_edits());
    EXPECT_TRUE(t.ui.questions().empty());
}

TEST(TreeEditCommit, FailedInstantWriteKeepsTheOldValueAndSaysWhy) {
    Vk03 t;
    t.options.instant_recording = true;
    Parameter& timeout = t.p("t.out");
    timeout.SetValueText("10");
    sim::Faults faults;
    faults.error_code = sim::kErrReadOnly;
    t.module->set_faults(faults);
    const EditResult r = t.edit->commit(&timeout, kColumnValue, "10", "44");
    ASSERT_EQ(r.rows.size(), 1u);
    EXPECT_EQ(timeout.value_text(), "10");
    EXPECT_FALSE(timeout.value_modified);
    EXPECT_FALSE(timeout.error_text.empty());
    const auto messages = t.ui.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, timeout.error_text);
    EXPECT_EQ(messages[0].caption, "Value could not be written to device");
}

TEST(TreeEditCommit, UserFlagLocksValueAndAttribute) {
    Vk03 t;
    Parameter& timeout = t.p("t.out");
    timeout.user_attribute = true;
    EXPECT_TRUE(t.edit->commit(&timeout, kColumnValue, "no data", "20").restore);
    EXPECT_TRUE(t.edit->commit(&timeout, kColumnAccess, "read/write", "read-only").restore);
    EXPECT_EQ(timeout.value_text(), "no data");
    EXPECT_TRUE(timeout.access_attribute);
}

TEST(TreeEditCommit, AttributeAndUserColumnsSetTheirFlags) {
    Vk03 t;
    Parameter& timeout = t.p("t.out");
    EditResult r = t.edit->commit(&timeout, kColumnAccess, "read/write", "read-only");
    EXPECT_FALSE(r.restore);
    EXPECT_EQ(r.colour, kModifiedColour);
    EXPECT_FALSE(timeout.access_attribute);
    EXPECT_TRUE(timeout.access_modified);
    r = t.edit->commit(&timeout, kColumnUser, "unknown", "Company");
    EXPECT_TRUE(timeout.user_attribute);
    EXPECT_TRUE(timeout.user_modified);
}

TEST(TreeEditCommit, ScannerPeriodHasAMinimum) {
    Vk03 t;
    DescBranch* scanners = t.doc->description().scanners();
    ASSERT_NE(scanners, nullptr);
    std::vector<Parameter*> list;
    scanners->CollectScanners(list);
    ASSERT_FALSE(list.empty());
    Parameter& scanner = *list.front();
    EditResult r = t.edit->commit(&scanner, kColumnName, "1000", "99");
    EXPECT_TRUE(r.restore);
    EXPECT_EQ(scanner.period, 1000ms);
    EXPECT_EQ(t.messages(), std::vector<std::string>{"Sampling period, ms.\nMinimum value 100 ms"});
    r = t.edit->commit(&scanner, kColumnName, "1000", "100");
    EXPECT_FALSE(r.restore);
    EXPECT_EQ(scanner.period, 100ms);
}

TEST(TreeEditCommit, ScannerValueIsWrittenAtOnce) {
    Vk03 t;
    std::vector<Parameter*> list;
    t.doc->description().scanners()->CollectScanners(list);
    Parameter* counter = nullptr;
    for (Parameter* p : list)
        if (p->network_name() == "r.Cou" && p->address_offset == 0) counter = p;
    ASSERT_NE(counter, nullptr);
    const EditResult r = t.edit->commit(counter, kColumnValue, "", "5");
    EXPECT_FALSE(r.restore);
    EXPECT_EQ(r.cell_text, "5");
    EXPECT_EQ(t.module->value("r.Cou", counter->indexed ? counter->network_index : -1), "5");
}

TEST(TreeEditCommit, LogPairingChangesThePartnerToo) {
    Vk03 t(11);  // VK11 pairs its logic channels
    std::vector<Parameter*> logs;
    DescBranch::IndexMap map;
    int max_index = -1;
    int first_offset = 0;
    t.doc->root()->FindParameter("Log", &map, &max_index, &first_offset, 0);
    ASSERT_TRUE(map.contains(0) && map.contains(1));
    Parameter& first = *map[0];
    Parameter& second = *map[1];
    const std::string paired = first.item_text(3);  // a mode for a pair of channels
    const EditResult r = t.edit->commit(&first, kColumnValue, first.value_text(), paired);
    ASSERT_EQ(r.rows.size(), 2u);
    EXPECT_EQ(r.rows[0].parameter, &first);
    EXPECT_EQ(r.rows[1].parameter, &second);
    EXPECT_EQ(second.value_text(), paired);
}

// ---- control rules

TEST(TreeControlRules, NaturalOrder) {
    EXPECT_LT(natural_compare("Вход 2", "Вход 10"), 0);
    EXPECT_GT(natural_compare("Вход 10", "Вход 2"), 0);
    EXPECT_EQ(natural_compare("abc", "ABC"), 0);
    EXPECT_EQ(natural_compare("вход", "ВХОД"), 0);
    EXPECT_LT(natural_compare("a5", "b1"), 0);           // different prefixes: the whole texts decide
    EXPECT_GT(natural_compare("Вход 7", "вход 10"), 0);  // prefixes differ in case: the whole texts decide
}

TEST(TreeControlRules, ProblemParameters) {
    Parameter p("t.out");
    EXPECT_FALSE(is_problem_parameter(p));
    p.set_failure(FailureKind::Timeout, "Time-out error");
    EXPECT_TRUE(is_problem_parameter(p));
    p.set_failure(FailureKind::Discrepancy, std::string(str(kDeviceValue)) + " '5',");
    EXPECT_FALSE(is_problem_parameter(p));
    p.set_failure(FailureKind::NotInitialized, std::string(str(kValueNotInitialized)));
    EXPECT_FALSE(is_problem_parameter(p));
    Parameter described("t.in");
    described.error_text = "a text set without a kind";
    EXPECT_TRUE(is_problem_parameter(described));
    Parameter scanner("r.Cou");
    scanner.MakeScanner();
    scanner.set_failure(FailureKind::Timeout, "Time-out error");
    EXPECT_FALSE(is_problem_parameter(scanner));

    DescBranch root;
    auto child = std::make_unique<DescBranch>();
    child->AddParameter(std::make_unique<Parameter>("a")).set_failure(FailureKind::Timeout, "Time-out error");
    root.AddChild(std::move(child));
    EXPECT_TRUE(contains_problem(root));
}

TEST(TreeControlRules, ValueListShowsSpacesHidesAndHoldsTheCurrentValueOnce) {
    EditorChoice c = list_choice(ValueType("One_two:<hide>secret:Three:Four"), "Three");
    EXPECT_EQ(c.items, (std::vector<std::string>{"One two", "Three", "Four"}));
    EXPECT_EQ(c.selected, 1);
    c = list_choice(ValueType("One_two:Three"), "no data");
    EXPECT_EQ(c.items, (std::vector<std::string>{"One two", "Three", "no data"}));
    EXPECT_EQ(c.selected, 2);
    // The value as the module reports it (with "_") is the entry of its name.
    c = list_choice(ValueType("One_two:Three"), "one_two");
    EXPECT_EQ(c.items, (std::vector<std::string>{"One two", "Three"}));
    EXPECT_EQ(c.selected, 0);
}

TEST(TreeControlRules, WhichEditorOpens) {
    using Kind = EditorChoice::Kind;
    Parameter list_parameter("In.iv");
    list_parameter.set_data_type("Нет:Да");
    list_parameter.attributes_flag = 1;
    const TreeItemData data = &list_parameter;
    EXPECT_EQ(choose_editor(data, kColumnValue, EditKind::List, false, "Нет", 3).kind, Kind::List);
    EXPECT_EQ(choose_editor(data, kColumnValue, EditKind::List, true, "Нет", 3).kind, Kind::None);  // greyed
    EXPECT_EQ(choose_editor(data, kColumnValue, EditKind::None, false, "Нет", 3).kind, Kind::None);
    EXPECT_EQ(choose_editor(data, kColumnTree, EditKind::List, false, "x", 3).kind, Kind::None);
    const EditorChoice attribute = choose_editor(data, kColumnAccess, EditKind::List, false, "read/write", 3);
    EXPECT_EQ(attribute.kind, Kind::List);
    EXPECT_EQ(attribute.items, (std::vector<std::string>{"read/write", "read-only"}));
    EXPECT_EQ(attribute.selected, 0);
    list_parameter.attributes_flag = 0;
    EXPECT_EQ(choose_editor(data, kColumnAccess, EditKind::List, false, "", 3).kind, Kind::None);

    Parameter scanner("r.oe.s");
    scanner.MakeScanner();
    const TreeItemData scanner_data = &scanner;
    EXPECT_EQ(choose_editor(scanner_data, kColumnName, EditKind::EditBox, false, "1000", 3).kind, Kind::None);
    scanner.set_network_name("r.Cou");
    EXPECT_EQ(choose_editor(scanner_data, kColumnName, EditKind::EditBox, false, "1000", 3).kind,
              Kind::EditBox);
    EditorChoice value = choose_editor(scanner_data, kColumnValue, EditKind::EditBox, false, "5", 3);
    EXPECT_EQ(value.kind, Kind::EditBox);
    EXPECT_FALSE(value.sampling_warning);
    scanner.StartTimer();
    EXPECT_TRUE(choose_editor(scanner_data, kColumnValue, EditKind::EditBox, false, "5", 3).sampling_warning);
    scanner.StopTimer();
    scanner.set_network_name("Rd.St");
    EXPECT_EQ(choose_editor(scanner_data, kColumnValue, EditKind::EditBox, false, "5", 12).kind, Kind::None);
    EXPECT_EQ(choose_editor(scanner_data, kColumnValue, EditKind::EditBox, false, "5", 3).kind,
              Kind::EditBox);
}

}  // namespace
}  // namespace varda
