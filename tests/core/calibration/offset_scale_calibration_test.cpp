// The offset and scale calibration wizard of VK07 and VK17 against their simulated modules: the access
// code, the sensor list, the writes of a complete run in order, the module's result codes, the busy
// module, and failed exchanges. The wizard's timers are fired by hand, so nothing waits for them.
#include "core/calibration/offset_scale_calibration.h"
#include "core/app/service/model_calibration.h"

#include <gtest/gtest.h>

#include "core/app/command_line/headless_ui.h"
#include "core/devices/base_device.h"
#include "core/link/device.h"
#include "core/model/description.h"
#include "core/model/description_archive.h"
#include "core/model/device_table.h"
#include "core/protocol/value_type.h"
#include "sim/in_process_backend.h"
#include "sim/model_module.h"
#include "tests/support/model_fixture.h"

namespace varda {
namespace {

using namespace std::chrono_literals;
using Outcome = CalibrationWizard::Outcome;

constexpr const char* kRetryHint = "Для того чтобы повторить операцию юстировки нажмите кнопку «Повторить».";

// A model's tree over its simulated module, as the document has them when Calibration is chosen.
struct Rig : test::ModelDeviceRig {
    explicit Rig(int model) : ModelDeviceRig(model) {}

    Parameter* input_type() { return description.find_parameter("in-t", 0); }
    std::unique_ptr<OffsetScaleCalibration> wizard() {
        auto w = std::make_unique<OffsetScaleCalibration>(*device, input_type(), context.model == 17);
        w->start();
        return w;
    }
    // The calibration requests the module received, as "W name" or "R name", in order.
    std::vector<std::string> requests() const {
        return test::named_requests(*module, {"in-t", "JuSh", "JuSc", "JuRD", "Prmn", "UApl"});
    }
};

// Past the code page with a sensor chosen, to the offset page.
void to_offset_page(OffsetScaleCalibration& w, int sensor = 0) {
    w.code_page().code = "738";
    w.code_page().sensor = -1;
    w.press_next();
    w.code_page().sensor = sensor;
    w.press_next();
    ASSERT_EQ(w.current_index(), 1);
}

// Next on an operation page, then the first poll.
void run_operation(CalibrationWizard& w) {
    w.press_next();
    ASSERT_TRUE(w.timers().contains(CalibrationWizard::kFirstPollTimer));
    w.timer_fired(CalibrationWizard::kFirstPollTimer);
}

TEST(OffsetScaleCalibration, SensorListsFollowTheModelsTokenRules) {
    struct Case {
        int model;
        std::vector<std::string> sensors;
    };
    const Case cases[] = {
        {7, {"0-20 мА", "4-20 мА", "0-5 мА", "0-10 В", "0-1 В", "-10...+10 В"}},
        {17, {"0-20 мА", "0-5 мА", "0-10 В", "2-10 В", "0-1 В", "-10...+10 В"}},
    };
    for (const Case& c : cases) {
        Rig rig(c.model);
        ASSERT_NE(rig.input_type(), nullptr);
        EXPECT_EQ(rig.wizard()->code_page().sensors(), c.sensors) << c.model;
    }
    // Codes 0 and 1 (and 3) are left out by code: a gap or a hidden item before them moves nothing.
    EXPECT_EQ(calibration_sensor_list(ValueType("off:discrete:a:b::c"), false),
              (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(calibration_sensor_list(ValueType("off:discrete:a:b:c"), true),
              (std::vector<std::string>{"a", "c"}));
    EXPECT_EQ(calibration_sensor_list(ValueType("off::a:<hide>b:c"), true),
              (std::vector<std::string>{"a", "c"}));
    EXPECT_TRUE(calibration_sensor_list(ValueType("off:discrete"), false).empty());
    EXPECT_TRUE(calibration_sensor_list(ValueType("int"), false).empty());
}

TEST(OffsetScaleCalibration, CodePageNeedsTheAccessCodeThenASensor) {
    Rig rig(7);
    auto w = rig.wizard();
    EXPECT_EQ(w->current_page().title(), "Шаг 1");
    EXPECT_EQ(w->buttons().next_text, "Продолжить");
    EXPECT_TRUE(w->buttons().next_enabled);
    EXPECT_FALSE(w->buttons().back_enabled);

    for (const char* wrong : {"", "737", "7380", " 738"}) {
        rig.ui.clear();
        w->code_page().code = wrong;
        w->code_page().sensor = 0;
        w->press_next();
        ASSERT_EQ(rig.ui.messages().size(), 1u) << wrong;
        EXPECT_EQ(rig.ui.messages()[0].text, "Код доступа не верен!");
        EXPECT_EQ(w->current_index(), 0);
        EXPECT_FALSE(w->code_page().sensors_shown());
    }
    EXPECT_TRUE(rig.module->log().empty());  // a wrong code never writes anything

    // The right code first shows the list; nothing is written until a sensor is chosen.
    rig.ui.clear();
    w->code_page().code = "738";
    w->code_page().sensor = -1;
    w->press_next();
    EXPECT_TRUE(w->code_page().sensors_shown());
    EXPECT_EQ(w->current_index(), 0);
    EXPECT_TRUE(rig.ui.messages().empty());
    EXPECT_TRUE(rig.module->log().empty());
}

TEST(OffsetScaleCalibration, CompleteRunFromTheModelsCalibrateWritesInOrder) {
    Rig rig(17);
    std::vector<std::string> titles;
    rig.ui.calibration_wizard_driver = [&](CalibrationWizard& wizard) {
        auto& w = dynamic_cast<OffsetScaleCalibration&>(wizard);
        w.code_page().code = "738";
        w.press_next();
        w.code_page().sensor = 2;  // "0-10 В"
        w.press_next();
        titles.push_back(w.current_page().title());
        EXPECT_TRUE(w.buttons().back_enabled && w.buttons().next_enabled);

        w.press_next();  // offset
        EXPECT_FALSE(w.buttons().back_enabled || w.buttons().next_enabled);
        ASSERT_EQ(w.timers().size(), 1u);
        EXPECT_EQ(w.timers().at(CalibrationWizard::kFirstPollTimer).delay, 2000ms);
        w.press_next();  // disabled while the module works
        w.timer_fired(CalibrationWizard::kFirstPollTimer);
        titles.push_back(w.current_page().title());
        EXPECT_TRUE(w.buttons().back_enabled && w.buttons().next_enabled);

        run_operation(w);  // scale
        titles.push_back(w.current_page().title());
        EXPECT_TRUE(w.buttons().finish_shown && w.buttons().finish_enabled);
        EXPECT_FALSE(w.buttons().back_enabled);
        EXPECT_EQ(w.buttons().finish_text, "Сохранить");
        w.press_finish();
    };
    CBaseDevice* model = device_model_of(rig.description.device_model().get());
    ASSERT_TRUE(model->CanCalibrate());
    calibrate_model(*model);

    EXPECT_EQ(rig.ui.calibration_wizards_shown, 1);
    EXPECT_EQ(titles, (std::vector<std::string>{"Шаг 2", "Шаг 3", "Шаг 4"}));
    EXPECT_EQ(rig.requests(), (std::vector<std::string>{"W in-t", "W JuSh", "R JuRD", "W JuSc", "R JuRD",
                                                        "W Prmn", "W UApl"}));
    EXPECT_EQ(rig.module->value("in-t", 0), "0-10 В");
    EXPECT_EQ(rig.input_type()->value_text(), "0-10 В");
    EXPECT_TRUE(rig.ui.messages().empty());
}

TEST(OffsetScaleCalibration, ResultCodesShowTheirTextsOnTheErrorPage) {
    struct Case {
        const char* value;
        const char* text;
    };
    const Case cases[] = {
        {"1", "Юстировку масштаба следует выполнять после юстировки смещения."},
        {"2", "Значение сигнала на входе выше нормы."},
        {"3", "Значение сигнала на входе ниже нормы."},
        {"4", "Значение сигнала на входе не устойчиво, попробуйте повторить операцию."},
        {"5", "Тип датчика 4…20 мА не калибруется."},
        {"7", "Неопознанная ошибка (7)."},
        {"263", "Неопознанная ошибка (263)."},  // low byte 7: the whole value is shown
    };
    Rig rig(7);
    for (const Case& c : cases) {
        auto w = rig.wizard();
        to_offset_page(*w);
        rig.module->set_value("JuRD", -1, c.value);
        run_operation(*w);
        EXPECT_EQ(w->current_page().title(), "Ошибка юстировки") << c.value;
        EXPECT_EQ(w->current_page().text(), std::string(c.text) + "\r\n\r\n" + kRetryHint) << c.value;
        EXPECT_TRUE(w->buttons().finish_shown && w->buttons().finish_enabled);
        EXPECT_FALSE(w->buttons().back_enabled || w->buttons().next_enabled);
        EXPECT_EQ(w->buttons().finish_text, "Повторить");
        EXPECT_EQ(w->buttons().cancel_text, "Выход");
    }

    // "Повторить" starts over on the first page; the error page's button texts go.
    auto w = rig.wizard();
    to_offset_page(*w);
    rig.module->set_value("JuRD", -1, "4");
    run_operation(*w);
    w->press_finish();
    EXPECT_EQ(w->current_index(), 0);
    EXPECT_EQ(w->outcome(), Outcome::Running);
    EXPECT_EQ(w->buttons().cancel_text, "Отмена");
    EXPECT_FALSE(w->buttons().finish_shown);
    EXPECT_EQ(w->buttons().next_text, "Продолжить");

    // A high byte beside a done code is still done.
    rig.module->set_value("JuRD", -1, "256");
    to_offset_page(*w);
    run_operation(*w);
    EXPECT_EQ(w->current_page().title(), "Шаг 3");
}

TEST(OffsetScaleCalibration, BusyModuleIsPolledTenTimesMore) {
    Rig rig(7);
    for (const int busy_answers : {10, 11}) {
        auto w = rig.wizard();
        to_offset_page(*w);
        rig.module->set_value("JuRD", -1, "6");
        w->press_next();
        w->timer_fired(CalibrationWizard::kFirstPollTimer);
        for (int poll = 2; poll <= busy_answers; ++poll) {
            ASSERT_EQ(w->timers().size(), 1u);
            ASSERT_EQ(w->timers().at(CalibrationWizard::kRepollTimer).delay, 1000ms);
            w->timer_fired(CalibrationWizard::kRepollTimer);
        }
        if (busy_answers == 10) {
            // Done at the eleventh poll: on to the scale.
            rig.module->set_value("JuRD", -1, "0");
            w->timer_fired(CalibrationWizard::kRepollTimer);
            EXPECT_EQ(w->current_page().title(), "Шаг 3");
        } else {
            EXPECT_TRUE(w->timers().empty());
            EXPECT_EQ(w->error_page().error(), "Прибору не удается завершить операцию.");
            EXPECT_EQ(w->current_index(), w->page_count() - 1);
        }
    }
    // Every operation counts its busy answers afresh.
    EXPECT_EQ(rig.module->requests_seen(hash_name("JuRD")), 11 + 11);
}

TEST(OffsetScaleCalibration, UnreadableResultEndsOnTheErrorPage) {
    struct Case {
        const char* what;
        std::function<void(sim::Faults&)> fault;
        const char* error;
    };
    const Case cases[] = {
        {"silent module", [](sim::Faults& f) { f.always_silent = true; }, "Time-out error."},
        {"error reply", [](sim::Faults& f) { f.error_code = sim::kErrDescriptorNotFound; },
         "Не удалось считать результат выполненной операции."},
    };
    Rig rig(7);
    for (const Case& c : cases) {
        auto w = rig.wizard();
        to_offset_page(*w);
        w->press_next();
        rig.faults(c.fault);
        w->timer_fired(CalibrationWizard::kFirstPollTimer);
        rig.faults([](sim::Faults&) {});
        EXPECT_EQ(w->error_page().error(), c.error) << c.what;
        EXPECT_EQ(w->current_index(), w->page_count() - 1) << c.what;
    }
}

TEST(OffsetScaleCalibration, FailedWritesAreReportedAndKeepThePage) {
    Rig rig(7);
    const auto refuse_writes = [&] {
        rig.faults([](sim::Faults& f) { f.error_code = sim::kErrValueRejected; });
    };

    // "in-t": the module would calibrate another sensor, so the wizard does not go on.
    auto w = rig.wizard();
    w->code_page().code = "738";
    w->press_next();
    w->code_page().sensor = 1;
    refuse_writes();
    w->press_next();
    ASSERT_EQ(rig.ui.messages().size(), 1u);
    EXPECT_EQ(rig.ui.messages()[0].text, "Не удалось записать значение в параметр IN-T");
    EXPECT_EQ(rig.ui.messages()[0].caption, "Ошибка юстировки");
    EXPECT_EQ(rig.ui.messages()[0].icon, MessageIcon::Warning);
    EXPECT_EQ(w->current_index(), 0);

    // A start command that did not arrive is not polled: "JuRD" still holds the last operation's result.
    rig.faults([](sim::Faults&) {});
    w->press_next();
    ASSERT_EQ(w->current_index(), 1);
    rig.ui.clear();
    refuse_writes();
    w->press_next();
    ASSERT_EQ(rig.ui.messages().size(), 1u);
    EXPECT_FALSE(rig.ui.messages()[0].text.empty());
    EXPECT_EQ(rig.ui.messages()[0].caption, "Ошибка юстировки");
    EXPECT_TRUE(w->timers().empty());
    EXPECT_EQ(w->current_index(), 1);
    EXPECT_TRUE(w->buttons().back_enabled && w->buttons().next_enabled);

    // A failed store keeps the save page, so the coefficients can still be saved; "UApl" waits for it.
    rig.faults([](sim::Faults&) {});
    run_operation(*w);
    run_operation(*w);
    ASSERT_EQ(w->current_page().title(), "Шаг 4");
    rig.ui.clear();
    rig.module->clear_log();
    refuse_writes();
    w->press_finish();
    EXPECT_EQ(rig.ui.messages().size(), 1u);
    EXPECT_EQ(w->outcome(), Outcome::Running);
    EXPECT_EQ(rig.requests(), (std::vector<std::string>{"W Prmn"}));
    rig.faults([](sim::Faults&) {});
    w->press_finish();
    EXPECT_EQ(w->outcome(), Outcome::Finished);
}

TEST(OffsetScaleCalibration, CancelEndsThePolling) {
    Rig rig(7);
    auto w = rig.wizard();
    to_offset_page(*w);
    w->press_next();
    w->press_cancel();
    EXPECT_EQ(w->outcome(), Outcome::Cancelled);
    EXPECT_TRUE(w->timers().empty());
    w->timer_fired(CalibrationWizard::kFirstPollTimer);  // a timer that expired on the way out
    EXPECT_EQ(rig.module->requests_seen(hash_name("JuRD")), 0);
}

}  // namespace
}  // namespace varda
