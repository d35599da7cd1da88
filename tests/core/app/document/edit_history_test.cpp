// Undo and redo of value edits in the document, against a VK03 tree and the simulated module.
#include "core/app/document/edit_history.h"

#include <gtest/gtest.h>

#include "core/app/command_line/headless_ui.h"
#include "core/app/document/document.h"
#include "core/app/tree/tree_edit.h"
#include "core/model/description_archive.h"
#include "core/model/device_table.h"
#include "core/platform/strings.h"
#include "sim/in_process_backend.h"
#include "sim/model_module.h"
#include "tests/support/model_fixture.h"

namespace varda {
namespace {

using namespace std::chrono_literals;

// A document of `model` (VK03 unless given) whose port leads to the simulated module, identified as the
// program does before any exchange.
struct Vk03 : test::TreeEditRig {
    explicit Vk03(int model = 3) : TreeEditRig(model) {
        EXPECT_EQ(doc->device().identify(false), Identification::KnownModel);
    }
};

TEST(EditHistory, EachKindOfEditIsUndoneAndRedoneExactly) {
    struct Case {
        const char* name;
        std::function<void(Vk03&, Parameter&)> edit;
    };
    const std::vector<Case> cases = {
        {"Edit t.out", [](Vk03& t, Parameter& p) { t.edit->commit(&p, kColumnValue, p.value_text(), "20"); }},
        {"Edit t.out",
         [](Vk03& t, Parameter& p) {
             t.edit->commit(&p, kColumnAccess, std::string(str(kReadWrite)), std::string(str(kReadOnly)));
         }},
        {"Set to no data", [](Vk03& t, Parameter& p) { t.doc->set_no_data(p); }},
    };
    for (const Case& c : cases) {
        Vk03 t;
        Parameter& p = t.p("t.out");
        ASSERT_EQ(t.doc->device().read_parameter(p, false), 0);
        const ParameterState before = capture_state(p);
        c.edit(t, p);
        const ParameterState after = capture_state(p);
        ASSERT_NE(after, before) << c.name;
        EXPECT_EQ(t.doc->history().undo_name(), c.name);
        ASSERT_TRUE(t.doc->undo());
        EXPECT_EQ(capture_state(p), before) << c.name;
        EXPECT_EQ(t.doc->history().redo_name(), c.name);
        ASSERT_TRUE(t.doc->redo());
        EXPECT_EQ(capture_state(p), after) << c.name;
        EXPECT_FALSE(t.doc->redo());
    }
}

TEST(EditHistory, ApplyDefaultSettingsIsOneStep) {
    Vk03 t(7);  // a model whose defaults are applied to the tree
    Parameter& filter = t.p("FiLt");
    t.edit->commit(&filter, kColumnValue, filter.value_text(), "2");
    const std::string before_edit = filter.value_text();
    std::vector<ParameterState> before;
    for (Parameter* p : t.doc->tree_parameters())
        before.push_back(capture_state(*p));
    t.ui.push_answer(Answer::Yes);  // write the default settings
    t.ui.push_answer(Answer::No);   // no INIT afterwards
    t.doc->apply_default_settings();
    ASSERT_EQ(filter.value_text(), "0.500");
    EXPECT_EQ(t.doc->history().undo_name(), "Apply default settings");
    ASSERT_TRUE(t.doc->undo());
    EXPECT_EQ(t.doc->history().undo_name(), "Edit FiLt");  // the step before it
    const auto parameters = t.doc->tree_parameters();
    for (std::size_t i = 0; i < parameters.size(); ++i)
        EXPECT_EQ(parameters[i]->value_text(), before[i].value_text) << parameters[i]->network_name();
    // The module holds the default now: the restored value differs from it.
    EXPECT_EQ(filter.value_text(), before_edit);
    EXPECT_TRUE(filter.value_modified);
    ASSERT_TRUE(t.doc->redo());
    EXPECT_EQ(filter.value_text(), "0.500");
}

TEST(EditHistory, UndoAfterAWriteMarksTheValueEditedAndOpeningClearsTheHistory) {
    Vk03 t;
    Parameter& p = t.p("t.out");
    ASSERT_EQ(t.doc->device().read_parameter(p, false), 0);
    const std::string read = p.value_text();
    t.edit->commit(&p, kColumnValue, read, "20");
    ASSERT_TRUE(t.doc->write_changes());
    EXPECT_FALSE(p.value_modified);
    ASSERT_TRUE(t.doc->undo());
    EXPECT_EQ(p.value_text(), read);
    EXPECT_TRUE(p.value_modified);  // the module holds 20

    t.edit->commit(&p, kColumnValue, p.value_text(), "30");
    ASSERT_TRUE(t.doc->history().can_undo());
    ASSERT_TRUE(t.doc->new_document());
    EXPECT_FALSE(t.doc->history().can_undo());
    EXPECT_FALSE(t.doc->history().can_redo());
}

}  // namespace
}  // namespace varda
