// The strain-gauge calibration wizard and the tare-weight dialog of VK13 and VK14 against their simulated
// modules: the first page's choices, a factory and a user calibration from the model's Calibrate with the
// frames in order, the arithmetic of the user calibration, the input and module errors with their texts,
// the live signal, and taring. Timers are fired by hand and readings taken directly, so nothing waits.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "core/app/command_line/headless_ui.h"
#include "core/app/service/model_calibration.h"
#include "core/calibration/strain_gauge_calibration.h"
#include "core/calibration/tare_weight.h"
#include "core/devices/base_device.h"
#include "core/link/device.h"
#include "core/model/description.h"
#include "core/model/description_archive.h"
#include "core/model/device_table.h"
#include "core/platform/numbers.h"
#include "core/platform/strings.h"
#include "sim/in_process_backend.h"
#include "sim/model_module.h"
#include "tests/support/model_fixture.h"

namespace varda {
namespace {

using namespace std::chrono_literals;
using namespace CalibrationTD;
using Outcome = CalibrationWizard::Outcome;

constexpr const char* kWatched[] = {"Sens",  "zU.Sh", "zU.Sc", "U.Apl", "Rd.St", "zu.fn", "zu.fx",
                                    "v.min", "v.max", "Rd.fV", "Rd.fF", "U.Wgh", "p.wgh"};
// Names whose requests carry no value, so two data bytes are the channel index.
constexpr const char* kBare[] = {"zU.Sh", "zU.Sc", "U.Apl", "U.Wgh", "Rd.St",
                                 "Rd.fV", "Rd.fF", "v.min", "v.max"};

// A model's tree over its simulated module, as the document has them when a command is chosen.
struct Rig : test::ModelDeviceRig {
    explicit Rig(int model) : ModelDeviceRig(model), channels(model == 14 ? 4 : 1) {}

    std::unique_ptr<CSheetTD> wizard() {
        auto w = std::make_unique<CSheetTD>(*device, &description, channels);
        w->readings().set_threaded(false);
        w->start();
        return w;
    }
    // One live reading of the signal, handed to the wizard.
    void read(CSheetTD& w) {
        w.readings().read_once();
        ui.run_posted();
    }
    // The module refuses writes of this parameter from now on.
    void refuse(const char* name, int index) {
        sim::Entry e = *module->entry(name, index);
        e.read_only = true;
        module->add(e);
    }
    // The requests the module received for the wizard's parameters, as "W name" or "R name", with ":index"
    // where a request without a value carried one.
    std::vector<std::string> requests() const {
        std::vector<std::string> out;
        for (const test::ReceivedRequest& r : test::received_requests(*module)) {
            for (const char* name : kWatched) {
                if (hash_name(name) != r.hash) continue;
                std::string line = (r.read ? "R " : "W ") + std::string(name);
                const bool bare = std::any_of(std::begin(kBare), std::end(kBare),
                                              [&](const char* b) { return std::string_view(b) == name; });
                if (bare && r.length == 2 && (r.read || std::string_view(name) != "v.min"))
                    line += ":" + std::to_string(r.bytes[5]);
                out.push_back(line);
            }
        }
        return out;
    }

    int channels = 1;
};

// Step 1 with the right code and the kind of calibration chosen.
void choose(CSheetTD& w, int type, int channel = -1, int sensitivity = -1) {
    CPage1VI& page = w.first_page();
    page.code = "417";
    w.press_next();  // the kinds of calibration appear
    page.type = type;
    page.channel = channel;
    page.sensitivity = sensitivity;
    w.press_next();
}

std::string fmt(const char* pattern, float value) {
    return platform::format_c(pattern, static_cast<double>(value));
}

TEST(StrainGaugeCalibration, SensitivitiesCarryTheirRanges) {
    Rig rig(14);
    auto w = rig.wizard();
    const std::vector<std::string> expected{
        "±4 мВ (-4..+4 мВ)",    "±7,5 мВ (-7.5..+7.5 мВ)", "±15 мВ (-15..+15 мВ)",    "±35 мВ (-35..+35 мВ)",
        "±70 мВ (-70..+70 мВ)", "±140 мВ (-140..+140 мВ)", "±300 мВ (-300..+300 мВ)",
    };
    EXPECT_EQ(w->first_page().sensitivities(), expected);
    // Each item with the range of its code, a gap skipped, no further than the ranges known.
    const auto gapped = sensitivity_list(ValueType("a:b::c"));
    ASSERT_EQ(gapped.size(), 3u);
    EXPECT_EQ(gapped[1].shown, "b (-7.5..+7.5 мВ)");
    EXPECT_EQ(gapped[2].shown, "c (-35..+35 мВ)");
    EXPECT_EQ(gapped[2].code, 3);
    EXPECT_EQ(sensitivity_list(ValueType("1:2:3:4:5:6:7:8")).size(), 7u);
    EXPECT_FALSE(sensitivity_range(7).has_value());
}

TEST(StrainGaugeCalibration, FirstPageAsksCodeThenKindThenChannel) {
    for (const int model : {13, 14}) {
        Rig rig(model);
        auto w = rig.wizard();
        CPage1VI& page = w->first_page();
        EXPECT_EQ(page.title(), "Шаг 1");
        EXPECT_EQ(w->buttons().next_text, "Продолжить");
        EXPECT_TRUE(w->buttons().next_enabled);
        EXPECT_FALSE(w->buttons().back_enabled);
        EXPECT_EQ(page.types(), (std::vector<std::string>{"заводская", "пользовательская"}));
        EXPECT_EQ(page.channels().size(), static_cast<std::size_t>(rig.channels));
        EXPECT_EQ(page.channels().back(), model == 14 ? "Канал №4" : "Канал №1");

        for (const char* wrong : {"", "738", "4170"}) {
            rig.ui.clear();
            page.code = wrong;
            w->press_next();
            ASSERT_EQ(rig.ui.messages().size(), 1u);
            EXPECT_EQ(rig.ui.messages()[0].text, "Код доступа не верен!");
            EXPECT_FALSE(page.types_shown());
        }
        // The right code shows the kinds with the user calibration chosen; only the factory one asks for a
        // sensitivity, and only the four-channel model for a channel.
        page.code = "417";
        w->press_next();
        EXPECT_TRUE(page.types_shown());
        EXPECT_EQ(page.type, CPage1VI::kUser);
        EXPECT_FALSE(page.sensitivities_shown());
        EXPECT_EQ(page.channels_shown(), model == 14);
        page.type = CPage1VI::kFactory;
        EXPECT_TRUE(page.sensitivities_shown());
        EXPECT_EQ(page.channels_shown(), model == 14);

        // Factory without a sensitivity, or a shown channel list without a channel, stays.
        page.channel = model == 14 ? -1 : 3;  // a hidden list is not looked at
        page.sensitivity = model == 14 ? 2 : -1;
        w->press_next();
        EXPECT_EQ(w->current_index(), 0);
        EXPECT_TRUE(rig.requests().empty());
    }
}

TEST(StrainGaugeCalibration, FactoryCalibrationFromTheModelsCalibrate) {
    Rig rig(14);
    std::vector<std::string> seen;
    rig.ui.calibration_wizard_driver = [&](CalibrationWizard& wizard) {
        auto& w = dynamic_cast<CSheetTD&>(wizard);
        choose(w, CPage1VI::kFactory, 2, 6);
        seen.push_back(w.current_page().title() + " " + w.current_page().text());
        EXPECT_TRUE(w.buttons().back_enabled && w.buttons().next_enabled);
        w.press_next();
        // The module settles before the next step; the buttons wait with it.
        ASSERT_EQ(w.timers().size(), 1u);
        EXPECT_EQ(w.timers().at(CSheetTD::kSettleTimer).delay, 400ms);
        EXPECT_FALSE(w.buttons().next_enabled || w.buttons().back_enabled);
        w.timer_fired(CSheetTD::kSettleTimer);
        seen.push_back(w.current_page().title() + " " + w.current_page().text());
        w.press_next();
        w.timer_fired(CSheetTD::kSettleTimer);
        seen.push_back(w.current_page().title());
        EXPECT_EQ(w.buttons().finish_text, "Сохранить");
        w.press_finish();
    };
    rig.module->set_value("Rd.St", -1, "31");  // bits outside the calibration errors
    CBaseDevice* model = device_model_of(rig.description.device_model().get());
    ASSERT_TRUE(model->CanCalibrate());
    calibrate_model(*model);

    EXPECT_EQ(rig.ui.calibration_wizards_shown, 1);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0],
              "Шаг 2 1) Подайте на вход прибора значение напряжения -300 мВ, соответствующее минимальному "
              "значению диапазона измерений для выбранной чувствительности.\r\n\r\n2) Нажмите кнопку "
              "«Продолжить», чтобы выполнить юстировку минимального значения.");
    EXPECT_EQ(seen[1],
              "Шаг 3 Нажмите кнопку «Продолжить», чтобы выполнить юстировку максимального значения.");
    EXPECT_EQ(seen[2], "Шаг 4");
    EXPECT_EQ(rig.requests(), (std::vector<std::string>{"W Sens", "W zU.Sh:2", "W zU.Sc:2", "W U.Apl:2",
                                                        "R Rd.St", "R Sens", "R Sens", "R Sens", "R Sens"}));
    EXPECT_EQ(rig.module->value("Sens", 2), "±300 мВ");
    EXPECT_TRUE(rig.ui.messages().empty());
}

TEST(StrainGaugeCalibration, FactoryFailuresKeepThePage) {
    Rig rig(13);
    auto w = rig.wizard();
    w->settle_delay = 1ms;

    // A sensitivity the module refuses.
    rig.refuse("Sens", -1);
    const std::string shown = w->sensitivity_parameter(0)->value_text();
    choose(*w, CPage1VI::kFactory, -1, 3);
    ASSERT_EQ(rig.ui.messages().size(), 1u);
    EXPECT_FALSE(rig.ui.messages()[0].text.empty());
    EXPECT_EQ(rig.ui.messages()[0].caption, "Параметр чувствительности");
    EXPECT_EQ(rig.ui.messages()[0].icon, MessageIcon::Warning);
    EXPECT_EQ(w->current_index(), 0);
    EXPECT_EQ(w->sensitivity_parameter(0)->value_text(), shown);  // the tree shows what the module holds

    // A calibration command the module refuses; one it answers with undecodable data is done.
    rig.module->add(
        {.name = "Sens", .type = "±4 мВ:±7,5 мВ:±15 мВ:±35 мВ:±70 мВ:±140 мВ:±300 мВ", .value = "±4 мВ"});
    w->press_next();
    ASSERT_EQ(w->current_index(), 1);
    rig.ui.clear();
    rig.refuse("zU.Sh", -1);  // both forms of the one-channel command
    rig.refuse("zU.Sh", 0);
    w->press_next();
    ASSERT_EQ(rig.ui.messages().size(), 1u);
    EXPECT_EQ(rig.ui.messages()[0].caption, "Ошибка юстировки");
    EXPECT_TRUE(w->timers().empty());
    rig.module->set_command("zU.Sh", [](bool, std::span<const std::uint8_t> request) {
        Bytes reply{1, 2, 3};
        reply.insert(reply.end(), request.begin(), request.end());  // the index, repeated
        return reply;
    });
    rig.ui.clear();
    w->press_next();
    EXPECT_TRUE(rig.ui.messages().empty());
    w->timer_fired(CSheetTD::kSettleTimer);
    w->press_next();
    w->timer_fired(CSheetTD::kSettleTimer);
    ASSERT_EQ(w->current_index(), 3);

    // Calibration-error bits: "Повторить" goes back, Finish stays disabled.
    for (const char* status : {"32", "256", "480"}) {
        rig.ui.clear();
        rig.module->set_value("Rd.St", -1, status);
        w->press_finish();
        ASSERT_EQ(rig.ui.messages().size(), 1u);
        EXPECT_EQ(rig.ui.messages()[0].text, "Ошибка калибровки!");
        EXPECT_EQ(rig.ui.messages()[0].icon, MessageIcon::Warning);
        EXPECT_EQ(w->buttons().back_text, "Повторить");
        EXPECT_TRUE(w->buttons().back_enabled && w->buttons().finish_shown);
        EXPECT_FALSE(w->buttons().finish_enabled);
        EXPECT_EQ(w->outcome(), Outcome::Running);
        w->press_back();
        EXPECT_EQ(w->current_index(), 2);
        EXPECT_EQ(w->buttons().back_text, "< Назад");
        w->press_next();
        w->timer_fired(CSheetTD::kSettleTimer);
    }

    // An unreadable status is no success: it is reported and Finish can be tried again.
    rig.ui.clear();
    rig.module->set_value("Rd.St", -1, "0");
    rig.module->set_faults({.error_code = sim::kErrDescriptorNotFound});
    w->press_finish();
    rig.module->set_faults({});
    ASSERT_EQ(rig.ui.messages().size(), 1u);
    EXPECT_FALSE(rig.ui.messages()[0].text.empty());
    EXPECT_TRUE(w->buttons().finish_enabled);
    w->press_finish();
    EXPECT_EQ(w->outcome(), Outcome::Finished);
}

// Through the user calibration of a channel to its last page, with the signals the module shows.
void user_points(Rig& rig, CSheetTD& w, int channel, float m1, float m2, const char* p1, const char* u1,
                 const char* p2, const char* u2) {
    choose(w, CPage1VI::kUser, rig.channels > 1 ? channel : -1);
    ASSERT_EQ(w.current_index(), CSheetTD::kUserMinPage);
    for (UserPointPage* page : {&w.user_page(false), &w.user_page(true)}) {
        rig.module->set_value("Rd.fV", channel, fmt("%.4f", page->upper() ? m2 : m1));
        rig.read(w);
        page->percent_text = page->upper() ? p2 : p1;
        page->value_text = page->upper() ? u2 : u1;
        w.press_next();
    }
    ASSERT_EQ(w.current_index(), CSheetTD::kUserMinPage + 2);
}

TEST(StrainGaugeCalibration, UserCalibrationWritesRangesFromTwoPoints) {
    struct Case {
        int model, channel;
        float m1, m2;
        const char *p1, *u1, *p2, *u2;  // as typed
        float P1, U1, P2, U2;           // as read
    };
    const Case cases[] = {
        {14, 1, 1.0f, 3.0f, "25", "10", "75", "60", 25, 10, 75, 60},
        {14, 3, -2.0f, 2.0f, " +20", "-40,5", "60 %", "40", 20, -40.5f, 60, 40},
        {13, 0, 0.25f, 0.75f, "10", "1e2", "90.5", "2,5e2", 10, 100, 90.5f, 250},
    };
    for (const Case& c : cases) {
        Rig rig(c.model);
        auto w = rig.wizard();
        user_points(rig, *w, c.channel, c.m1, c.m2, c.p1, c.u1, c.p2, c.u2);
        EXPECT_EQ(w->P1, c.P1);
        EXPECT_EQ(w->U1, c.U1);
        EXPECT_EQ(w->P2, c.P2);
        EXPECT_EQ(w->U2, c.U2);
        rig.module->clear_log();
        w->press_finish();
        EXPECT_EQ(w->outcome(), Outcome::Finished);
        EXPECT_TRUE(rig.ui.messages().empty());

        const float k = (c.m2 - c.m1) / (c.P2 - c.P1);
        const float u = (c.U2 - c.U1) / (c.P2 - c.P1);
        const int index = c.model == 14 ? c.channel : -1;
        EXPECT_EQ(rig.module->value("zu.fn", index), fmt("%.3f", c.m1 - k * c.P1));
        EXPECT_EQ(rig.module->value("zu.fx", index), fmt("%.3f", (100 - c.P2) * k + c.m2));
        EXPECT_EQ(rig.module->value("v.min", index), fmt("%.3f", c.U1 - c.P1 * u));
        EXPECT_EQ(rig.module->value("v.max", index), fmt("%.3f", (100 - c.P2) * u + c.U2));
        EXPECT_EQ(rig.requests(),
                  (std::vector<std::string>{"W zu.fn", "W zu.fx", "W U.Apl:" + std::to_string(c.channel),
                                            "R Rd.St", "W v.min", "W v.max"}));
    }
}

TEST(StrainGaugeCalibration, TwoEqualSignalsAreRefusedBeforeAnythingIsWritten) {
    Rig rig(13);
    auto w = rig.wizard();
    choose(*w, CPage1VI::kUser);
    rig.module->set_value("Rd.fV", 0, "1.5");  // the same signal at both points
    for (const bool upper : {false, true}) {
        rig.read(*w);
        w->user_page(upper).percent_text = upper ? "100" : "0";
        w->user_page(upper).value_text = upper ? "50" : "0";
        w->press_next();
    }
    EXPECT_EQ(w->current_index(), CSheetTD::kUserMinPage + 1);
    ASSERT_EQ(rig.ui.messages().size(), 1u);
    EXPECT_EQ(rig.ui.messages()[0].text,
              "Сигналы в двух точках равны: подайте на вход напряжение, соответствующее другому значению "
              "величины.");
    for (const std::string& request : rig.requests())
        EXPECT_NE(request.front(), 'W') << request;
}

TEST(StrainGaugeCalibration, EndPointsPassUnchanged) {
    Rig rig(13);
    auto w = rig.wizard();
    user_points(rig, *w, 0, 0.5f, 1.75f, "0", "12,25", "100", "980");
    EXPECT_EQ(w->U1, 12.25f);
    w->press_finish();
    EXPECT_EQ(rig.module->value("zu.fn", -1), "0.500");
    EXPECT_EQ(rig.module->value("zu.fx", -1), "1.750");
    EXPECT_EQ(rig.module->value("v.min", -1), "12.250");
    EXPECT_EQ(rig.module->value("v.max", -1), "980.000");
}

TEST(StrainGaugeCalibration, UserPagesShowSensitivityStoredValueAndSignal) {
    Rig rig(14);
    rig.module->set_value("v.min", 1, "-12.5");
    rig.module->set_value("v.max", 1, "800");
    rig.module->set_value("Sens", 1, "±70 мВ");
    auto w = rig.wizard();
    choose(*w, CPage1VI::kUser, 1);
    UserPointPage& lower = w->user_page(false);
    EXPECT_EQ(lower.title(), "Шаг 2");
    EXPECT_EQ(
        lower.text(),
        "1) Подать на вход прибора напряжение, которое будет соответствовать меньшему значению физической "
        "величины.\r\n2) Ввести меньшее значение физической величины в единицах и процентах от "
        "измеряемого диапазона.\r\n3) Нажать кнопку «Продолжить» для перехода к следующему шагу.\r\n\r\n"
        "Текущая чувствительность: ±70 мВ\r\nДиапазон: -70..+70 мВ");
    EXPECT_EQ(lower.value_label(), "Меньшее значение физической величины:");
    EXPECT_EQ(lower.percent_text, "0");
    EXPECT_EQ(lower.value_text, "-12.500");
    EXPECT_TRUE(lower.reading());

    // Each reading shows the signal; one that fails shows "no data".
    rig.module->set_value("Rd.fV", 1, "3.14159");
    rig.read(*w);
    EXPECT_EQ(lower.signal_text(), "3.1416");
    EXPECT_EQ(w->M1, 3.14159f);
    rig.module->set_faults({.always_silent = true});
    rig.read(*w);
    rig.module->set_faults({});
    EXPECT_EQ(lower.signal_text(), "no data");

    // The upper page: its own texts; a sensitivity that cannot be read has no range.
    lower.value_text = "1";
    rig.read(*w);
    w->press_next();
    UserPointPage& upper = w->user_page(true);
    ASSERT_EQ(w->current_index(), CSheetTD::kUserMinPage + 1);
    EXPECT_FALSE(lower.reading());
    EXPECT_EQ(upper.value_label(), "Большее значение физической величины:");
    EXPECT_EQ(upper.percent_text, "100");
    EXPECT_EQ(upper.value_text, "800.000");
    EXPECT_TRUE(
        upper.text().starts_with("1) Подать на вход прибора напряжение, которое будет соответствовать "
                                 "большему"));
    rig.module->set_value("Sens", 1, "±1000 мВ");  // a value the module cannot send
    w->press_back();
    rig.read(*w);
    w->press_next();
    EXPECT_TRUE(upper.text().ends_with("Текущая чувствительность: no data\r\nДиапазон: <не определено>"));
    w->press_back();
    EXPECT_EQ(lower.value_text, "1.000");  // what was typed stays; the stored value is read once per channel
    w->press_back();
    EXPECT_EQ(w->current_index(), 0);  // the user pages go back to the first page
}

TEST(StrainGaugeCalibration, UserPointInputErrorsNameTheFields) {
    struct Case {
        const char *percent, *value;
        const char* message;
    };
    const Case cases[] = {
        {"abc", "12.5", "Неверно введены следующие данные:\r\n - значение величины в процентах."},
        {"50", "", "Неверно введены следующие данные:\r\n - значение величины в единицах."},
        {"", "x1",
         "Неверно введены следующие данные:\r\n - значение величины в единицах\r\n - значение величины в "
         "процентах."},
        {"0", "100", "Неверно введены следующие данные:\r\n - значение величины в процентах."},  // = P1
    };
    Rig rig(13);
    auto w = rig.wizard();
    choose(*w, CPage1VI::kUser);
    rig.read(*w);
    w->press_next();
    ASSERT_EQ(w->current_index(), CSheetTD::kUserMinPage + 1);
    for (const Case& c : cases) {
        rig.ui.clear();
        UserPointPage& upper = w->user_page(true);
        upper.percent_text = c.percent;
        upper.value_text = c.value;
        w->press_next();
        ASSERT_EQ(rig.ui.messages().size(), 1u) << c.percent << "/" << c.value;
        EXPECT_EQ(rig.ui.messages()[0].text, c.message);
        EXPECT_EQ(rig.ui.messages()[0].caption, "");
        EXPECT_EQ(rig.ui.messages()[0].icon, MessageIcon::Warning);
        EXPECT_EQ(w->current_index(), CSheetTD::kUserMinPage + 1);
    }

    // Without a signal there is no point to calibrate: the reading's failure is shown.
    rig.ui.clear();
    UserPointPage& upper = w->user_page(true);
    w->press_back();
    rig.read(*w);
    w->press_next();
    upper.percent_text = "90";
    upper.value_text = "9";
    rig.module->set_faults({.always_silent = true});
    rig.read(*w);
    w->press_next();
    rig.module->set_faults({});
    ASSERT_EQ(rig.ui.messages().size(), 1u);
    EXPECT_EQ(rig.ui.messages()[0].text, str(kTimeoutError));
    EXPECT_EQ(w->current_index(), CSheetTD::kUserMinPage + 1);
}

TEST(StrainGaugeCalibration, UserSaveFailuresStartOver) {
    struct Case {
        const char* what;
        std::function<void(Rig&)> fault;
        const char* text;  // nullptr: the parameter's own error text
    };
    const Case cases[] = {
        {"zu.fx refused", [](Rig& r) { r.refuse("zu.fx", -1); }, nullptr},
        {"calibration error", [](Rig& r) { r.module->set_value("Rd.St", -1, "64"); },
         "Ошибка юстировки! Пожалуйста, повторите операцию юстировки."},
        {"range not stored", [](Rig& r) { r.refuse("v.max", -1); },
         "Калибровка прошла успешно, но не удалось обновить значения минимума и максимума величины (v.Min и "
         "v.Max)."},
    };
    for (const Case& c : cases) {
        Rig rig(13);
        auto w = rig.wizard();
        user_points(rig, *w, 0, 1, 2, "0", "0", "100", "1");
        c.fault(rig);
        w->press_finish();
        ASSERT_EQ(rig.ui.messages().size(), 1u) << c.what;
        if (c.text) {
            EXPECT_EQ(rig.ui.messages()[0].text, c.text) << c.what;
        }
        EXPECT_FALSE(rig.ui.messages()[0].text.empty()) << c.what;
        EXPECT_EQ(rig.ui.messages()[0].icon, MessageIcon::Warning) << c.what;
        EXPECT_EQ(w->current_index(), 0) << c.what;
        EXPECT_EQ(w->outcome(), Outcome::Running) << c.what;
        EXPECT_EQ(w->buttons().next_text, "Продолжить") << c.what;
    }
}

TEST(StrainGaugeCalibration, CancelStopsTheSettlingWait) {
    Rig rig(13);
    auto w = rig.wizard();
    choose(*w, CPage1VI::kFactory, -1, 0);
    w->press_next();
    w->press_cancel();
    EXPECT_EQ(w->outcome(), Outcome::Cancelled);
    EXPECT_TRUE(w->timers().empty());
    w->timer_fired(CSheetTD::kSettleTimer);
    EXPECT_EQ(rig.module->requests_seen(hash_name("zU.Sc")), 0);
}

// ---- tare weight

TEST(TareWeight, ReadsTheChosenChannelAndTakesItsTare) {
    for (const int model : {13, 14}) {
        Rig rig(model);
        int refreshed = 0;
        std::string tare_at_refresh;
        const int channel = model == 14 ? 2 : 0;
        const int tree_index = model == 14 ? channel : -1;
        TareWeightController tare(*rig.device, &rig.description, rig.channels, [&] {
            ++refreshed;
            tare_at_refresh = rig.description.find_parameter("p.wgh", channel)->value_text();
        });
        EXPECT_EQ(tare.shows_channels(), model == 14);
        if (model == 14) {
            EXPECT_EQ(tare.channel_items(), (std::vector<std::string>{"1", "2", "3", "4"}));
        }
        EXPECT_EQ(tare.channel, 0);
        tare.channel = channel;

        rig.module->set_value("Rd.fF", channel, "12.3456");
        tare.read_weight();
        EXPECT_EQ(tare.weight_text(), "12.346");
        rig.module->set_faults({.always_silent = true});
        tare.read_weight();
        rig.module->set_faults({});
        EXPECT_EQ(tare.weight_text(), "no data");

        rig.module->clear_log();
        rig.module->set_value("p.wgh", tree_index, "12.346");
        EXPECT_TRUE(tare.take_tare());
        const std::string index = model == 14 ? ":2" : "";
        EXPECT_EQ(rig.requests(), (std::vector<std::string>{"W U.Wgh" + index, "R p.wgh"}));
        EXPECT_EQ(refreshed, 1);
        EXPECT_EQ(tare_at_refresh, "12.346");  // the tree has the new tare when it is redrawn
        EXPECT_TRUE(rig.ui.messages().empty());

        // Refused: told, and the dialog stays.
        rig.refuse("U.Wgh", model == 14 ? channel : -1);
        EXPECT_FALSE(tare.take_tare());
        ASSERT_EQ(rig.ui.messages().size(), 1u);
        EXPECT_EQ(rig.ui.messages()[0].text, "Не удалось записать вес тары!");
        EXPECT_EQ(rig.ui.messages()[0].caption, "");
        EXPECT_EQ(rig.ui.messages()[0].icon, MessageIcon::Warning);
        EXPECT_EQ(refreshed, 1);
    }
}

}  // namespace
}  // namespace varda
