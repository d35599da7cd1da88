// What the program decides after a failed exchange is the same whatever language the screen speaks: the
// decisions read the failure's kind, and only the texts shown change. Each case runs the real exchange
// against the simulated module once per screen language.
#include <gtest/gtest.h>

#include <string>

#include "core/app/tree/parameter_tip.h"
#include "core/app/tree/tree_edit.h"
#include "core/calibration/offset_scale_calibration.h"
#include "core/platform/language.h"
#include "core/platform/strings.h"
#include "tests/support/model_fixture.h"

namespace varda {
namespace {

constexpr Language kLanguages[] = {Language::as_written, Language::english, Language::russian};

const char* name_of(Language language) {
    switch (language) {
        case Language::as_written:
            return "as written";
        case Language::english:
            return "English";
        case Language::russian:
            return "Russian";
    }
    return "?";
}

// The core's texts in one language while it lives.
struct Screen {
    explicit Screen(Language language) { set_text_language(language); }
    ~Screen() { set_text_language(Language::as_written); }
    Screen(const Screen&) = delete;
    Screen& operator=(const Screen&) = delete;
};

TEST(ScreenLanguageDecisions, OffsetScaleWizardEndsOnTheSamePageForASilentModule) {
    for (const Language language : kLanguages) {
        SCOPED_TRACE(name_of(language));
        const Screen screen(language);
        test::ModelDeviceRig rig(7);
        OffsetScaleCalibration w(*rig.device, rig.description.find_parameter("in-t", 0), false);
        w.start();
        w.code_page().code = "738";
        w.code_page().sensor = 0;
        w.press_next();
        ASSERT_EQ(w.current_index(), 1);
        w.press_next();
        ASSERT_TRUE(w.timers().contains(CalibrationWizard::kFirstPollTimer));

        // The module falls silent before the result is polled: the time-out page, in the screen's words.
        rig.faults([](sim::Faults& f) { f.always_silent = true; });
        w.timer_fired(CalibrationWizard::kFirstPollTimer);
        const std::string timeout = std::string(localized("Time-out error")) + ".";
        EXPECT_EQ(w.error_page().error(), timeout);
        EXPECT_EQ(w.current_index(), w.page_count() - 1);
        EXPECT_EQ(w.error_page().text().substr(0, timeout.size()), timeout);
        if (language == Language::russian) {
            EXPECT_EQ(timeout, "Ошибка тайм-аута.");
        }

        // An error reply instead is no time-out: the result could not be read.
        rig.faults([](sim::Faults&) {});
        w.press_finish();  // "Повторить": back to the first page
        w.code_page().code = "738";
        w.code_page().sensor = 0;
        w.press_next();
        w.press_next();
        rig.faults([](sim::Faults& f) { f.error_code = sim::kErrDescriptorNotFound; });
        w.timer_fired(CalibrationWizard::kFirstPollTimer);
        EXPECT_EQ(w.error_page().error(), "Не удалось считать результат выполненной операции.");
    }
}

// A module's failures are problems of the tree; a value never written for want of data and a comparison's
// difference are not.
TEST(ScreenLanguageDecisions, ProblemParametersAreTheSameInEveryLanguage) {
    for (const Language language : kLanguages) {
        SCOPED_TRACE(name_of(language));
        const Screen screen(language);
        test::ModelDeviceRig rig(3);
        Device& device = *rig.device;
        Parameter& filter = *rig.description.find_parameter("FiLt", 0);
        Parameter& inversion = *rig.description.find_parameter("In.iv", 0);
        Parameter& edge = *rig.description.find_parameter("Cnt.E", 0);
        Parameter& address = *rig.description.find_parameter("Addr", 0);
        DescBranch& root = *rig.description.root();

        // Read: every value is the module's, nothing is a problem.
        for (Parameter* p : {&filter, &inversion, &edge, &address})
            ASSERT_EQ(device.read_parameter(*p, false), 0);
        EXPECT_FALSE(contains_problem(root));

        // "no data" is not written, and that is no problem of the module.
        inversion.SetValueText(std::string(str(kNoData)));
        EXPECT_NE(device.write_parameter(inversion, 1), 0);
        EXPECT_EQ(inversion.failure_kind(), FailureKind::NotInitialized);
        EXPECT_FALSE(is_problem_parameter(inversion));

        // A comparison that finds the module's value different notes it; no problem either.
        ASSERT_TRUE(rig.module->set_value("FiLt", 0, "33"));
        filter.SetValueText("10");
        EXPECT_EQ(device.compare_parameter(filter), 0);
        EXPECT_EQ(filter.failure_kind(), FailureKind::Discrepancy);
        EXPECT_FALSE(is_problem_parameter(filter));
        EXPECT_FALSE(contains_problem(root));

        // The module refuses a write: a problem.
        rig.faults([](sim::Faults& f) { f.error_code = sim::kErrValueRejected; });
        edge.value_modified = true;
        EXPECT_NE(device.write_parameter(edge, 1), 0);
        EXPECT_EQ(edge.failure, (Failure{FailureKind::ModuleError, sim::kErrValueRejected}));
        EXPECT_TRUE(is_problem_parameter(edge));

        // The module falls silent: a problem.
        rig.faults([](sim::Faults& f) { f.always_silent = true; });
        EXPECT_NE(device.read_parameter(address, false), 0);
        EXPECT_EQ(address.failure_kind(), FailureKind::Timeout);
        EXPECT_TRUE(is_problem_parameter(address));
        EXPECT_TRUE(contains_problem(root));

        // The tool tip names each for what it is.
        const std::string discrepancy(localized("Discrepancy: "));
        const std::string error(localized("Error: "));
        EXPECT_NE(parameter_tool_tip(filter).find(discrepancy), std::string::npos);
        for (const Parameter* p : {&address, &edge, &inversion}) {
            const std::string tip = parameter_tool_tip(*p);
            EXPECT_EQ(tip.find(discrepancy), std::string::npos) << tip;
            EXPECT_NE(tip.find(error), std::string::npos) << tip;
        }
    }
}

// Five reads in a row that time out suspend the exchange, in every language; a failure of another kind
// does not count.
TEST(ScreenLanguageDecisions, TimedOutReadsSuspendTheExchangeInEveryLanguage) {
    for (const Language language : kLanguages) {
        SCOPED_TRACE(name_of(language));
        const Screen screen(language);
        test::ModelDeviceRig rig(3);
        Parameter& filter = *rig.description.find_parameter("FiLt", 0);

        rig.faults([](sim::Faults& f) { f.error_code = sim::kErrDescriptorNotFound; });
        for (int k = 0; k < 6; ++k)
            EXPECT_NE(rig.device->read_parameter(filter, true), 0);
        EXPECT_FALSE(rig.device->exchange_suspended);

        rig.faults([](sim::Faults& f) { f.always_silent = true; });
        for (int k = 0; k < 4; ++k)
            EXPECT_NE(rig.device->read_parameter(filter, true), 0);
        EXPECT_FALSE(rig.device->exchange_suspended);
        EXPECT_NE(rig.device->read_parameter(filter, true), 0);
        EXPECT_TRUE(rig.device->exchange_suspended);
        rig.device->abort_event().reset();
    }
}

}  // namespace
}  // namespace varda
