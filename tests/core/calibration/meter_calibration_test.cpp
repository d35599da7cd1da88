// The electrical-meter calibration wizard of VK19 to VK22 against their simulated modules: the pages and
// instructions of each model, a complete run from the model's Calibrate, the status words that end a
// point or report an error, the time-out, a failed start and leaving or cancelling while the module
// measures. The module's status word is set by hand; the reading thread's readings reach the wizard
// through the posted tasks of the headless user interface, which the tests run.
#include "core/calibration/meter_calibration.h"
#include "core/app/service/model_calibration.h"

#include <gtest/gtest.h>

#include <thread>

#include "core/app/command_line/headless_ui.h"
#include "core/devices/models_volt.h"
#include "core/link/device.h"
#include "core/model/description.h"
#include "core/model/description_archive.h"
#include "core/model/device_table.h"
#include "sim/in_process_backend.h"
#include "sim/model_module.h"
#include "tests/support/model_fixture.h"

namespace varda {
namespace {

using namespace std::chrono_literals;
using CalibrationVolt::CSheetVolt;
using Outcome = CalibrationWizard::Outcome;

constexpr const char* kRetryHint = "Для того чтобы повторить операцию юстировки нажмите кнопку «Повторить».";
constexpr const char* kCalibrationError = "Calibration error. You can try it later.";

// A model's tree over its simulated module, as the document has them when Calibration is chosen.
struct Rig : test::ModelDeviceRig {
    explicit Rig(int model) : ModelDeviceRig(model) {}

    CDeviceVolt& model() { return dynamic_cast<CDeviceVolt&>(*description.device_model().get()); }
    // A short pause between readings keeps the tests quick.
    std::unique_ptr<CSheetVolt> wizard() {
        auto w = std::make_unique<CSheetVolt>(*device, model(), 2ms);
        w->start();
        return w;
    }
    void status(unsigned word) { module->set_value("Mode", -1, std::to_string(word)); }
    // Runs posted readings until `until` holds or `readings` of them ran; false when none came in time.
    bool pump(const std::function<bool()>& until, int readings = 1 << 30) {
        int ran = 0;
        for (auto deadline = std::chrono::steady_clock::now() + 10s;
             std::chrono::steady_clock::now() < deadline;) {
            ran += ui.run_posted();
            if (until() || ran >= readings) return true;
            std::this_thread::sleep_for(1ms);
        }
        return false;
    }
    bool readings(int count) {
        return pump([] { return false; }, count);
    }
    // How many writes of "Mode" the module received (the module's start).
    int mode_writes() const {
        int writes = 0;
        for (const test::ReceivedRequest& r : test::received_requests(*module))
            if (!r.read && r.hash == hash_name("Mode")) ++writes;
        return writes;
    }
};

TEST(MeterCalibration, PagesShowEachModelsPointInstructions) {
    struct Case {
        int model;
        std::vector<std::string> titles;
        std::vector<std::string> texts;
    };
    const Case cases[] = {
        {19,
         {"Шаг 1", "Шаг 2", "Шаг 3", "Завершение калибровки", "Ошибка юстировки"},
         {"To start the calibration:\n\n1. Set input signal U= 300 V, I=5 A\n2. Click \"Next\"",
          "1. Set input signal U=30 V, I=0.02 A\n2. Click \"Next\"",
          "1. Set input signal U=300 V, I=5 A\n2. Click \"Next\"", "Калибровка завершена!"}},
        {20,
         {"Шаг 1", "Шаг 2", "Шаг 3", "Шаг 3", "Завершение калибровки", "Ошибка юстировки"},
         {"To start the calibration:\n\n1. Set input signal U= 220.000 V, I=5.000 A, cos(phi)=1\n2. Click "
          "\"Next\"",
          "1. Set input signal U= 22.000 V, I= 0.500 A, cos(phi)= 1\n2. Click \"Next\"",
          "1. Set input signal U= 220.000 V, I= 5.000 A, cos(phi)= 0.5\n2. Click \"Next\"",
          "1. Set input signal U=100 V, I=1 A, cos(phi)=1\n2. Click \"Next\"", "Калибровка завершена!"}},
        {21,
         {"Шаг 1", "Шаг 2", "Шаг 3", "Завершение калибровки", "Ошибка юстировки"},
         {"To start the calibration:\n\n1. Set input signal U=300 V\n2. Click \"Next\"",
          "1. Set input signal U=30 V\n2. Click \"Next\"", "1. Set input signal U=300 V\n2. Click \"Next\"",
          "Калибровка завершена!"}},
        {22,
         {"Шаг 1", "Шаг 2", "Шаг 3", "Завершение калибровки", "Ошибка юстировки"},
         {"To start the calibration:\n\n1. Set input signal I=5 A\n2. Click \"Next\"",
          "1. Set input signal I=0,02 A\n2. Click \"Next\"", "1. Set input signal I=5 A\n2. Click \"Next\"",
          "Калибровка завершена!"}},
    };
    for (const Case& c : cases) {
        Rig rig(c.model);
        std::vector<std::string> titles;
        std::vector<std::string> texts;
        rig.ui.calibration_wizard_driver = [&](CalibrationWizard& w) {
            for (int i = 0; i < w.page_count(); ++i) {
                titles.push_back(w.page(i).title());
                if (i < w.page_count() - 1) texts.push_back(w.page(i).text());
            }
            EXPECT_EQ(w.title(), "Юстировка");
            EXPECT_EQ(w.current_index(), 0);
            EXPECT_TRUE(w.buttons().next_enabled);
            EXPECT_FALSE(w.buttons().back_enabled || w.buttons().finish_shown);
        };
        ASSERT_TRUE(rig.model().CanCalibrate());
        calibrate_model(rig.model());
        EXPECT_EQ(rig.ui.calibration_wizards_shown, 1);
        EXPECT_EQ(titles, c.titles) << c.model;
        EXPECT_EQ(texts, c.texts) << c.model;
    }
}

TEST(MeterCalibration, Vk20InstructionsNameTheValuesTheTreeHolds) {
    Rig rig(20);
    rig.description.find_parameter("uk.hi", 0)->SetValueText("230.0");
    rig.description.find_parameter("ik.lo", 0)->SetValueText("0.050");
    rig.module->reset_counters();
    rig.ui.calibration_wizard_driver = [](CalibrationWizard& w) {
        EXPECT_EQ(
            w.page(0).text(),
            "To start the calibration:\n\n1. Set input signal U= 230.0 V, I=5.000 A, cos(phi)=1\n2. Click "
            "\"Next\"");
        EXPECT_EQ(w.page(1).text(),
                  "1. Set input signal U= 22.000 V, I= 0.050 A, cos(phi)= 1\n2. Click \"Next\"");
    };
    calibrate_model(rig.model());
    // Values the tree already had are not read again.
    EXPECT_EQ(rig.module->requests_seen(hash_name("uk.hi")), 0);
    EXPECT_EQ(rig.module->requests_seen(hash_name("ik.hi")), 1);
}

TEST(MeterCalibration, CompleteRunFromTheModelsCalibrate) {
    struct Case {
        int model;
        const char* start_value;
        std::vector<unsigned> points;  // the status word that ends each point
    };
    const Case cases[] = {
        {19, "256", {0x02, 0x04 | 0x02, 0x10}},
        {20, "256", {0x02, 0x04, 0x40, 0x80}},
        {21, "16", {0x08, 0x04, 0x00}},
        {22, "16", {0x08, 0x04, 0x02}},
    };
    for (const Case& c : cases) {
        Rig rig(c.model);
        rig.ui.calibration_wizard_driver = [&](CalibrationWizard& wizard) {
            auto& w = dynamic_cast<CSheetVolt&>(wizard);
            w.press_next();
            EXPECT_EQ(rig.module->value("Mode"), c.start_value);
            rig.status(0x100);  // nothing done yet
            for (std::size_t point = 0; point < c.points.size(); ++point) {
                if (point > 0) w.press_next();
                const int page = w.current_index();
                ASSERT_TRUE(w.in_progress() && w.reading());
                EXPECT_FALSE(w.buttons().next_enabled);
                EXPECT_EQ(w.buttons().back_enabled, point > 0);
                ASSERT_EQ(w.timers().size(), 1u);
                EXPECT_EQ(w.timers().at(CSheetVolt::kTimeoutTimer).delay, 120000ms);
                ASSERT_TRUE(rig.readings(1));
                EXPECT_EQ(w.current_index(), page) << "point " << point + 1;
                rig.status(c.points[point]);
                ASSERT_TRUE(rig.pump([&] { return w.current_index() == page + 1; })) << c.model;
                EXPECT_FALSE(w.in_progress() || w.reading());
                EXPECT_TRUE(w.timers().empty());
            }
            EXPECT_EQ(w.current_page().title(), "Завершение калибровки");
            EXPECT_EQ(w.current_page().text(), "Калибровка завершена!");
            EXPECT_TRUE(w.buttons().finish_shown && w.buttons().finish_enabled);
            EXPECT_FALSE(w.buttons().back_enabled);
            w.press_finish();
        };
        calibrate_model(rig.model());
        EXPECT_EQ(rig.mode_writes(), 1) << c.model;  // only point 1 starts the module
        EXPECT_TRUE(rig.ui.messages().empty());
    }
}

TEST(MeterCalibration, StatusWordsOfAPoint) {
    struct Case {
        int model;
        int point;
        unsigned status;
        enum { Stays, Done, Error } result;
    };
    const Case cases[] = {
        {19, 1, 0x04, Case::Stays},  // another point's bit
        {19, 1, 0x100, Case::Stays},
        {19, 3, 0x00, Case::Stays},
        {19, 3, 0x10, Case::Done},
        {20, 3, 0x40, Case::Done},
        {20, 4, 0x40, Case::Stays},
        {20, 4, 0x80, Case::Done},
        {21, 1, 0x08, Case::Done},
        {21, 3, 0x00, Case::Done},  // a status of 0 ends the last point of VK21
                                    // and VK22
        {22, 3, 0x00, Case::Done},
        {22, 2, 0x00, Case::Stays},
        {21, 2, 0x01, Case::Error},
        {19, 1, 0x03, Case::Error},  // the error bit wins over the point's bit
        {22, 3, 0x01, Case::Error},
    };
    for (const Case& c : cases) {
        Rig rig(c.model);
        auto w = rig.wizard();
        w->press_next();
        rig.status(0x100);
        for (int point = 2; point <= c.point; ++point) {
            w->go_to(point - 1);
            w->press_next();
        }
        ASSERT_TRUE(w->in_progress());
        const int page = w->current_index();
        // Readings of the old status still queued would use up the count below on a slow machine.
        rig.ui.run_posted();
        rig.status(c.status);
        rig.pump([&] { return w->current_index() != page; }, 3);
        const std::string what = std::to_string(c.model) + " point " + std::to_string(c.point) + " status " +
                                 std::to_string(c.status);
        switch (c.result) {
            case Case::Stays:
                EXPECT_EQ(w->current_index(), page) << what;
                EXPECT_TRUE(w->in_progress()) << what;
                break;
            case Case::Done:
                EXPECT_EQ(w->current_index(), page + 1) << what;
                EXPECT_TRUE(w->buttons().next_enabled || w->buttons().finish_enabled) << what;
                break;
            case Case::Error:
                EXPECT_EQ(w->current_page().title(), "Ошибка юстировки") << what;
                EXPECT_EQ(w->current_page().text(), std::string(kCalibrationError) + "\r\n\r\n" + kRetryHint);
                EXPECT_FALSE(w->in_progress() || w->reading()) << what;
                // Readings still on their way change nothing.
                rig.ui.run_posted();
                EXPECT_EQ(w->current_page().title(), "Ошибка юстировки") << what;
                break;
        }
    }
}

TEST(MeterCalibration, TimeOutEndsOnTheErrorPageAndRetryStartsOver) {
    Rig rig(21);
    auto w = rig.wizard();
    rig.status(0);
    w->press_next();
    ASSERT_TRUE(w->reading());
    w->timer_fired(CSheetVolt::kTimeoutTimer);
    EXPECT_FALSE(w->in_progress() || w->reading());
    EXPECT_EQ(w->error_page().error(), kCalibrationError);
    EXPECT_EQ(w->current_index(), w->page_count() - 1);
    EXPECT_EQ(w->buttons().finish_text, "Повторить");
    EXPECT_EQ(w->buttons().cancel_text, "Выход");

    w->press_finish();
    EXPECT_EQ(w->current_index(), 0);
    EXPECT_TRUE(w->buttons().next_enabled);
    EXPECT_FALSE(w->buttons().back_enabled || w->buttons().finish_shown);
    EXPECT_EQ(w->buttons().cancel_text, "Отмена");
    // The second attempt starts the module again.
    rig.module->clear_log();
    w->press_next();
    EXPECT_EQ(rig.mode_writes(), 1);
    EXPECT_TRUE(w->in_progress());
}

TEST(MeterCalibration, FailedStartIsReportedAndNothingIsAwaited) {
    Rig rig(19);
    auto w = rig.wizard();
    rig.faults([](sim::Faults& f) { f.error_code = sim::kErrValueRejected; });
    w->press_next();
    ASSERT_EQ(rig.ui.messages().size(), 1u);
    EXPECT_FALSE(rig.ui.messages()[0].text.empty());
    EXPECT_EQ(rig.ui.messages()[0].caption, "Ошибка юстировки");
    EXPECT_EQ(rig.ui.messages()[0].icon, MessageIcon::Warning);
    EXPECT_FALSE(w->in_progress() || w->reading());
    EXPECT_TRUE(w->timers().empty());
    EXPECT_EQ(w->current_index(), 0);
    EXPECT_TRUE(w->buttons().next_enabled);

    rig.faults([](sim::Faults&) {});
    w->press_next();
    EXPECT_TRUE(w->in_progress());
}

TEST(MeterCalibration, LeavingOrCancellingAPointStopsTheReadings) {
    Rig rig(20);
    auto w = rig.wizard();
    w->press_next();
    rig.status(0x02);
    ASSERT_TRUE(rig.pump([&] { return w->current_index() == 1; }));

    // Back while point 2 is measured: the point is abandoned, its readings stop.
    w->press_next();
    ASSERT_TRUE(w->in_progress() && w->buttons().back_enabled);
    w->press_back();
    EXPECT_EQ(w->current_index(), 0);
    EXPECT_FALSE(w->in_progress() || w->reading());
    EXPECT_TRUE(w->timers().empty());
    EXPECT_TRUE(w->buttons().next_enabled);
    rig.ui.run_posted();
    EXPECT_EQ(w->current_index(), 0);

    // Cancel while the module measures; readings that arrive afterwards find a closed wizard.
    w->press_next();
    ASSERT_TRUE(w->reading());
    w->press_cancel();
    EXPECT_EQ(w->outcome(), Outcome::Cancelled);
    EXPECT_TRUE(w->timers().empty());
    rig.readings(2);
    EXPECT_EQ(w->current_index(), 0);
    w->timer_fired(CSheetVolt::kTimeoutTimer);
    EXPECT_EQ(w->current_index(), 0);

    // The wizard may go while a reading is still posted.
    auto gone = rig.wizard();
    gone->press_next();
    std::this_thread::sleep_for(20ms);
    gone.reset();
    rig.ui.run_posted();
}

}  // namespace
}  // namespace varda
