#include "core/app/tree/parameter_tip.h"

#include "core/app/document/document.h"
#include "core/app/tree/tree_edit.h"
#include "core/model/parameter.h"
#include "sim/in_process_backend.h"
#include "tests/support/model_fixture.h"

#include <gtest/gtest.h>

namespace varda {
namespace {

using namespace std::chrono_literals;

bool has_line(const std::string& tip, const std::string& line) {
    return ("\n" + tip + "\n").find("\n" + line + "\n") != std::string::npos;
}

TEST(ParameterToolTip, SaysWhatTheParameterIs) {
    struct Case {
        const char* type;
        double minimum, maximum;
        std::vector<std::string> lines;
    };
    const std::vector<Case> cases = {
        {"float", 0, 100, {"Type: float", "Range: 0.000 to 100.000"}},
        {"int", 0, 0, {"Type: int"}},
        {"Off:On:Auto_mode", 0, 0, {"Type: list", "Values: Off, On, Auto mode"}},
        // Types that are no list name themselves; a list shows what may be chosen.
        {"sint16", 0, 0, {"Type: sint16"}},
        {"void", 0, 0, {"Type: void"}},
        {"Off::<hide>Service:Auto", 0, 0, {"Type: list", "Values: Off, Auto"}},
    };
    for (const Case& c : cases) {
        Parameter p("FiLt");
        p.description = "Filter time";
        p.set_data_type(c.type);
        p.set_limits(c.minimum, c.maximum);
        p.indexed = true;
        p.network_index = 3;
        p.initial_value_text = "10";
        p.writable = false;
        const std::string tip = parameter_tool_tip(p);
        EXPECT_EQ(tip.substr(0, tip.find('\n')), "Filter time");
        for (const std::string& line : c.lines)
            EXPECT_TRUE(has_line(tip, line)) << c.type << "\n" << tip;
        for (const char* line :
             {"Name: FiLt, index 3", "Default: 10", "Access: read-only", "Not read from the module yet"})
            EXPECT_TRUE(has_line(tip, line)) << c.type << "\n" << tip;
    }
}

TEST(ParameterToolTip, TellsTheLastAnswerAndTheError) {
    test::TreeEditRig rig;
    ASSERT_EQ(rig.doc->device().identify(false), Identification::KnownModel);
    Parameter& p = rig.p("t.out");
    ASSERT_EQ(rig.doc->device().read_parameter(p, false), 0);
    const std::string read = p.value_text();

    const std::string today = parameter_tool_tip(p, p.module_value_at + 1min);
    const auto at = today.find("\nRead from the module: " + read + " at ");
    ASSERT_NE(at, std::string::npos) << today;
    EXPECT_EQ(today.find('-', at + 20 + read.size()), std::string::npos) << "no date for today:\n" << today;
    EXPECT_NE(parameter_tool_tip(p, p.module_value_at + 72h).find(" at 20"), std::string::npos)
        << "an older answer is dated";

    // A failed exchange keeps the last answer and adds why it failed.
    sim::Faults silent;
    silent.always_silent = true;
    rig.module->set_faults(silent);
    EXPECT_NE(rig.doc->device().read_parameter(p, false), 0);
    const std::string failed = parameter_tool_tip(p);
    EXPECT_NE(failed.find("\nRead from the module: " + read), std::string::npos) << failed;
    EXPECT_NE(failed.find("\nError: " + p.error_text), std::string::npos) << failed;
    EXPECT_FALSE(p.error_text.empty());

    // A comparison's note is a discrepancy, said as the tree's cell says it.
    p.set_failure(FailureKind::Discrepancy, "Device value '12',read-onlyunknown");
    EXPECT_NE(parameter_tool_tip(p).find("\nDiscrepancy: module: 12 (read-only)"), std::string::npos);
}

}  // namespace
}  // namespace varda
