// The pH and redox calibration wizard of VK18 against its simulated module: the access code and the
// confirmation of the module's parameters, the modes, complete runs with the exchanges in order, the live
// readings, the buffer value check, the step time-out, applying with the module's error flag and the
// slope judgement. Readings are stepped by hand (no reading thread) and the timers fired by hand, except
// in the one test of the reading thread itself.
#include "core/calibration/ph_calibration.h"
#include "core/app/service/model_calibration.h"

#include <gtest/gtest.h>

#include <thread>

#include "core/app/command_line/headless_ui.h"
#include "core/devices/base_device.h"
#include "core/link/device.h"
#include "core/model/description.h"
#include "core/model/description_archive.h"
#include "core/model/device_table.h"
#include "sim/in_process_backend.h"
#include "sim/model_module.h"
#include "sim/ph_calibration_task.h"
#include "tests/support/model_fixture.h"

namespace varda::CalibrationPH {
namespace {

using namespace std::chrono_literals;
using Outcome = CalibrationWizard::Outcome;
using Names = std::vector<std::string>;

constexpr const char* kRetryHint = "Для того чтобы повторить операцию юстировки нажмите кнопку «Повторить».";
constexpr int kCodePage = 0;

// VK18's tree over its simulated module, as the document has them when Calibration is chosen.
struct Rig : test::ModelDeviceRig {
    Rig() : ModelDeviceRig(18), task(sim::serve_ph_calibration(*module)) {
        module->set_value("Rd.Rs", -1, "6.870");
        module->set_value("Rd.Tm", -1, "24.5");
        module->clear_log();
    }

    std::unique_ptr<CSheetPH> wizard() {
        auto w = std::make_unique<CSheetPH>(*device, &description);
        w->readings().set_threaded(false);
        w->start();
        return w;
    }
    void behave(auto change) {
        sim::PhCalibrationTask::Behaviour b;
        change(b);
        task->set_behaviour(b);
    }
    // One round of live readings, handed to the wizard.
    void read(CSheetPH& w) {
        w.readings().read_once();
        ui.run_posted();
    }
    // The requests the module received, as "W name" or "R name", in order.
    Names requests() const {
        static const char* const kNames[] = {"tco.t", "TSe.T", "C.Tem", "E.Crd", "p.Crd",
                                             "Rd.Rs", "Rd.Tm", "Rd.St", "U.pH1", "U.pHL",
                                             "U.pHH", "U.Rx1", "U.RxL", "U.RxH", "U.Apl"};
        Names out;
        for (const test::ReceivedRequest& r : test::received_requests(*module))
            for (const char* name : kNames)
                if (hash_name(name) == r.hash) out.push_back((r.read ? "R " : "W ") + std::string(name));
        return out;
    }

    std::shared_ptr<sim::PhCalibrationTask> task;
};

// Past the code page and the confirmation, with the lists shown.
void confirm(Rig& rig, CSheetPH& w) {
    w.code_page().code = "629";
    rig.ui.push_answer(Answer::Yes);
    w.press_next();
    ASSERT_TRUE(w.code_page().lists_shown());
}

// On to the first calibration point in this mode.
void to_first_point(Rig& rig, CSheetPH& w, int mode) {
    confirm(rig, w);
    w.code_page().calibration = mode / 2;
    w.code_page().points = mode % 2;
    w.press_next();
    ASSERT_EQ(w.current_page().title(), "Шаг 2");
    ASSERT_EQ(w.mode(), mode);
}

// Enters the buffer value and lets the module calibrate the point.
void calibrate_point(Rig& rig, CSheetPH& w, const char* buffer) {
    static_cast<CStepPage&>(w.current_page()).buffer = buffer;
    w.press_next();
    for (int round = 0; round < 10 && w.timers().contains(CSheetPH::kStepTimer); ++round)
        rig.read(w);
}

TEST(PhCalibration, CodePageNeedsTheCodeThenConfirmsTheModulesParameters) {
    Rig rig;
    auto w = rig.wizard();
    EXPECT_EQ(w->current_page().title(), "Шаг 1");
    EXPECT_EQ(w->buttons().next_text, "Продолжить");
    EXPECT_TRUE(w->buttons().next_enabled);
    EXPECT_FALSE(w->buttons().back_enabled);
    EXPECT_FALSE(w->code_page().lists_shown());

    for (const char* wrong : {"", "628", "6290", "738"}) {
        rig.ui.clear();
        w->code_page().code = wrong;
        w->press_next();
        ASSERT_EQ(rig.ui.messages().size(), 1u) << wrong;
        EXPECT_EQ(rig.ui.messages()[0].text, "Код доступа не верен!");
        EXPECT_FALSE(w->code_page().lists_shown());
    }
    EXPECT_TRUE(rig.module->log().empty());

    // The right code reads the compensation type and shows what the engineer confirms.
    rig.ui.clear();
    w->code_page().code = "629";
    rig.ui.push_answer(Answer::Yes);
    w->press_next();
    EXPECT_EQ(rig.requests(), (Names{"R tco.t", "R TSe.T", "R E.Crd", "R p.Crd"}));
    ASSERT_EQ(rig.ui.questions().size(), 1u);
    EXPECT_EQ(rig.ui.questions()[0],
              "Тип датчика температуры: Pt100 (a=0,00385)\nКоордината изопотенциальной точки Eи, мВ: "
              "0.000\nКоордината изопотенциальной точки pHи: 7.000\n\nУказанные параметры верны?");
    EXPECT_TRUE(w->code_page().lists_shown());
    EXPECT_EQ(w->current_index(), kCodePage);

    // Both lists must be chosen; Next then checks the code again.
    rig.module->clear_log();
    w->code_page().calibration = 0;
    w->press_next();
    EXPECT_EQ(w->current_index(), kCodePage);
    w->code_page().points = 1;
    w->press_next();
    EXPECT_EQ(w->current_page().title(), "Шаг 2");
    EXPECT_EQ(w->mode(), kPhTwoPoints);
    EXPECT_TRUE(w->buttons().back_enabled && w->buttons().next_enabled);
    EXPECT_EQ(rig.requests(), (Names{}));
}

TEST(PhCalibration, ConfirmationNoClosesAndUnreadableCompensationKeepsThePage) {
    Rig rig;
    auto w = rig.wizard();
    w->code_page().code = "629";
    rig.ui.push_answer(Answer::No);
    w->press_next();
    EXPECT_EQ(w->outcome(), Outcome::Cancelled);

    rig.ui.clear();
    w = rig.wizard();
    w->code_page().code = "629";
    rig.faults([](sim::Faults& f) { f.error_code = sim::kErrDescriptorNotFound; });
    w->press_next();
    ASSERT_EQ(rig.ui.messages().size(), 1u);
    EXPECT_EQ(rig.ui.messages()[0].text, "Не удалось прочитать параметр tco.t.");
    EXPECT_EQ(rig.ui.messages()[0].caption, "Ошибка чтения");
    EXPECT_EQ(rig.ui.messages()[0].icon, MessageIcon::Warning);
    EXPECT_TRUE(rig.ui.questions().empty());
    EXPECT_FALSE(w->code_page().lists_shown());
    EXPECT_EQ(w->outcome(), Outcome::Running);
}

TEST(PhCalibration, ConstantTemperatureIsShownInsteadOfReadingIt) {
    Rig rig;
    rig.module->set_value("tco.t", -1, "По постоянной температуре");
    rig.module->set_value("C.Tem", -1, "30.0");
    auto w = rig.wizard();
    confirm(rig, *w);
    EXPECT_EQ(rig.ui.questions()[0].substr(0, rig.ui.questions()[0].find('\n')),
              "Постоянная температура раствора, °C: 30.000");
    w->code_page().calibration = 0;
    w->code_page().points = 0;
    w->press_next();
    EXPECT_EQ(w->compensation(), 1);
    EXPECT_EQ(w->readings().names(), (Names{"Rd.Rs"}));
    rig.read(*w);
    const auto& step = static_cast<const CStepPage&>(w->current_page());
    EXPECT_EQ(step.temperature_text(), "30.000");
    EXPECT_EQ(step.value_text(), "6.870");
}

TEST(PhCalibration, TwoPointPhRunFromTheModelsCalibrate) {
    Rig rig;
    std::vector<std::string> titles;
    std::vector<std::string> texts;
    std::vector<Names> readings;
    std::string value_seen, temperature_seen, label_seen;
    rig.ui.calibration_wizard_driver = [&](CalibrationWizard& wizard) {
        auto& w = dynamic_cast<CSheetPH&>(wizard);
        w.readings().set_threaded(false);
        to_first_point(rig, w, kPhTwoPoints);
        auto& step = static_cast<CStepPage&>(w.current_page());
        texts.push_back(step.text());
        label_seen = std::string(step.buffer_label()) + "|" + std::string(step.value_label());
        readings.push_back(w.readings().names());
        rig.read(w);
        value_seen = step.value_text();
        temperature_seen = step.temperature_text();

        step.buffer = "6,86";
        w.press_next();
        EXPECT_FALSE(w.buttons().back_enabled || w.buttons().next_enabled);
        EXPECT_TRUE(step.step_running());
        EXPECT_EQ(w.timers().at(CSheetPH::kStepTimer).delay, 15000ms);
        readings.push_back(w.readings().names());
        rig.read(w);  // the module still calibrates
        rig.read(w);
        EXPECT_EQ(w.current_page().title(), "Шаг 2");
        rig.read(w);  // done
        titles.push_back(w.current_page().title());
        texts.push_back(w.current_page().text());
        EXPECT_TRUE(w.buttons().back_enabled && w.buttons().next_enabled);
        EXPECT_TRUE(w.timers().empty());
        readings.push_back(w.readings().names());

        calibrate_point(rig, w, "9.18");
        titles.push_back(w.current_page().title());
        EXPECT_EQ(w.buttons().finish_text, "Сохранить");
        EXPECT_TRUE(w.buttons().finish_shown && w.buttons().finish_enabled);
        texts.push_back(w.current_page().text());
        rig.module->clear_log();
        w.press_finish();
    };
    CBaseDevice* model = device_model_of(rig.description.device_model().get());
    ASSERT_TRUE(model->CanCalibrate());
    calibrate_model(*model);

    EXPECT_EQ(rig.ui.calibration_wizards_shown, 1);
    EXPECT_EQ(titles, (Names{"Шаг 3", "Сохранение коэффициентов"}));
    EXPECT_EQ(
        texts[0],
        "1) Поместите датчик в первый буферный раствор;\r\n\r\n2) Введите значение pH буферного раствора в "
        "соответствующее поле;\r\n\r\n3) Дождитесь устойчивых показаний в поле «Текущее значение "
        "pH»;\r\n\r\n4) Нажмите кнопку «Продолжить», чтобы выполнить юстировку первой точки.");
    EXPECT_EQ(
        texts[1],
        "1) Поместите датчик во второй буферный раствор;\r\n\r\n2) Введите значение pH буферного раствора в "
        "соответствующее поле;\r\n\r\n3) Дождитесь устойчивых показаний в поле «Текущее значение "
        "pH»;\r\n\r\n4) Нажмите кнопку «Продолжить», чтобы выполнить юстировку второй точки.");
    EXPECT_EQ(texts[2],
              "Для сохранения юстировочных коэффициентов в энергонезависимой памяти прибора нажмите кнопку "
              "«Сохранить».");
    EXPECT_EQ(label_seen, "Введите значение pH буферного раствора:|Текущее значение pH:");
    EXPECT_EQ(value_seen, "6.870");
    EXPECT_EQ(temperature_seen, "24.500");
    EXPECT_EQ(readings, (std::vector<Names>{{"Rd.Rs", "Rd.Tm"}, {"Rd.St"}, {"Rd.Rs", "Rd.Tm"}}));
    // The decimal comma reaches the module as the same number.
    const auto points = rig.task->points();
    ASSERT_EQ(points.size(), 2u);
    EXPECT_EQ(points[0].first, "U.pHL");
    EXPECT_FLOAT_EQ(points[0].second, 6.86f);
    EXPECT_EQ(points[1].first, "U.pHH");
    EXPECT_FLOAT_EQ(points[1].second, 9.18f);
    EXPECT_EQ(rig.requests(), (Names{"W U.Apl", "R Rd.St", "R E.Crd", "R p.Crd"}));
    ASSERT_EQ(rig.ui.messages().size(), 1u);
    EXPECT_EQ(rig.ui.messages()[0].text,
              "Числовое значение отклонения крутизны водородной характеристики: 1.00");
    EXPECT_EQ(rig.ui.messages()[0].caption, "Параметры электродной пары");
    EXPECT_EQ(rig.ui.messages()[0].icon, MessageIcon::Information);
}

TEST(PhCalibration, EachModeWritesItsPointsAndOnlyPhJudgesTheSlope) {
    struct Case {
        int mode;
        Names points;
        const char* first_text_end;
        const char* labels;
    };
    const Case cases[] = {
        {kPhOnePoint, {"U.pH1"}, "чтобы выполнить юстировку.", "Введите значение pH буферного раствора:"},
        {kRedoxOnePoint,
         {"U.Rx1"},
         "«Текущее значение ОВП, мВ»;\r\n\r\n4) Нажмите кнопку «Продолжить», чтобы "
         "выполнить юстировку.",
         "Введите значение ОВП буферного раствора, мВ:"},
        {kRedoxTwoPoints,
         {"U.RxL", "U.RxH"},
         "«Текущее значение ОВП, мВ»;\r\n\r\n4) Нажмите кнопку «Продолжить», "
         "чтобы выполнить юстировку.",
         "Введите значение ОВП буферного раствора, мВ:"},
    };
    for (const Case& c : cases) {
        Rig rig;
        rig.behave([](auto& b) { b.busy_reads = 0; });
        auto w = rig.wizard();
        to_first_point(rig, *w, c.mode);
        const auto& first = static_cast<const CStepPage&>(w->current_page());
        const std::string text = first.text();
        EXPECT_EQ(text.substr(text.size() - std::string(c.first_text_end).size()), c.first_text_end);
        EXPECT_EQ(first.buffer_label(), c.labels);
        EXPECT_TRUE(text.starts_with(c.points.size() == 2 ? "1) Поместите датчик в первый буферный раствор;"
                                                          : "1) Поместите датчик в буферный раствор;"));
        calibrate_point(rig, *w, "225");
        if (c.points.size() == 2) {
            EXPECT_EQ(w->current_page().title(), "Шаг 3") << c.mode;
            EXPECT_TRUE(
                w->current_page().text().starts_with("1) Поместите датчик во второй буферный раствор;"));
            calibrate_point(rig, *w, "470");
        }
        ASSERT_EQ(w->current_page().title(), "Сохранение коэффициентов") << c.mode;
        w->press_finish();
        EXPECT_EQ(w->outcome(), Outcome::Finished);
        Names written;
        for (const auto& [name, value] : rig.task->points())
            written.push_back(name);
        EXPECT_EQ(written, c.points) << c.mode;
        EXPECT_EQ(rig.ui.messages().empty(), c.mode != kPhOnePoint) << c.mode;
    }
}

TEST(PhCalibration, BufferValueMustBeOneNumber) {
    struct Case {
        const char* typed;
        std::optional<std::string> written;
    };
    const Case cases[] = {
        {"6,86", "6.86"},       {"7", "7"},
        {" 4.01 ", " 4.01 "},   {"-120,5", "-120.5"},
        {"", std::nullopt},     {"abc", std::nullopt},
        {"7.0x", std::nullopt}, {"6,8,6", std::nullopt},
        {"nan", std::nullopt},  {"1e999", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(buffer_value(c.typed), c.written) << c.typed;

    // A rejected value is reported and nothing else happens.
    Rig rig;
    auto w = rig.wizard();
    to_first_point(rig, *w, kPhOnePoint);
    rig.module->clear_log();
    rig.ui.clear();
    static_cast<CStepPage&>(w->current_page()).buffer = "7.0x";
    w->press_next();
    ASSERT_EQ(rig.ui.messages().size(), 1u);
    EXPECT_EQ(rig.ui.messages()[0].text, "Введено некорректное значение!");
    EXPECT_EQ(rig.ui.messages()[0].caption, "Ошибка ввода");
    EXPECT_EQ(rig.ui.messages()[0].icon, MessageIcon::Warning);
    EXPECT_TRUE(rig.module->log().empty());
    EXPECT_TRUE(w->timers().empty());
    EXPECT_TRUE(w->buttons().back_enabled && w->buttons().next_enabled);
    EXPECT_EQ(w->readings().names(), (Names{"Rd.Rs", "Rd.Tm"}));
}

TEST(PhCalibration, ModuleThatStaysBusyTimesOutOnTheErrorPage) {
    Rig rig;
    rig.behave([](auto& b) { b.busy_reads = -1; });
    auto w = rig.wizard();
    to_first_point(rig, *w, kPhOnePoint);
    static_cast<CStepPage&>(w->current_page()).buffer = "7";
    w->press_next();
    for (int round = 0; round < 5; ++round)
        rig.read(*w);
    EXPECT_EQ(w->current_page().title(), "Шаг 2");
    w->timer_fired(CSheetPH::kStepTimer);
    EXPECT_EQ(w->current_page().title(), "Ошибка юстировки");
    EXPECT_EQ(w->current_page().text(),
              "Произошла ошибка при юстировке. Следует пересбросить питание прибора и провести юстировку "
              "заново.\r\n\r\n" +
                  std::string(kRetryHint));
    EXPECT_TRUE(w->timers().empty());
    EXPECT_FALSE(w->readings().running());
    rig.module->clear_log();
    rig.read(*w);
    EXPECT_TRUE(rig.module->log().empty());

    w->press_finish();  // "Повторить"
    EXPECT_EQ(w->current_index(), kCodePage);
    EXPECT_EQ(w->buttons().cancel_text, "Отмена");
}

TEST(PhCalibration, StatusReadBeforeTheSecondPointDoesNotSkipIt) {
    Rig rig;
    rig.behave([](auto& b) { b.busy_reads = 0; });
    auto w = rig.wizard();
    to_first_point(rig, *w, kPhTwoPoints);
    static_cast<CStepPage&>(w->current_page()).buffer = "4";
    w->press_next();
    // Two rounds read before the first one reached the page: both say the module is done.
    w->readings().read_once();
    w->readings().read_once();
    rig.ui.run_posted();
    EXPECT_EQ(w->current_page().title(), "Шаг 3");
    EXPECT_FALSE(static_cast<CStepPage&>(w->current_page()).step_running());
    // Nor does a done status read on the second point's page before its Next.
    rig.read(*w);
    EXPECT_EQ(w->current_page().title(), "Шаг 3");
    EXPECT_EQ(rig.task->points().size(), 1u);
}

TEST(PhCalibration, FailedPointWriteIsReportedAndKeepsThePage) {
    Rig rig;
    auto w = rig.wizard();
    to_first_point(rig, *w, kPhOnePoint);
    rig.ui.clear();
    static_cast<CStepPage&>(w->current_page()).buffer = "7";
    rig.faults([](sim::Faults& f) { f.error_code = sim::kErrValueRejected; });
    w->press_next();
    rig.faults([](sim::Faults&) {});
    ASSERT_EQ(rig.ui.messages().size(), 1u);
    EXPECT_FALSE(rig.ui.messages()[0].text.empty());
    EXPECT_EQ(rig.ui.messages()[0].caption, "Ошибка юстировки");
    EXPECT_TRUE(w->timers().empty());
    EXPECT_FALSE(static_cast<CStepPage&>(w->current_page()).step_running());
    EXPECT_TRUE(w->buttons().back_enabled && w->buttons().next_enabled);
    EXPECT_EQ(w->readings().names(), (Names{"Rd.Rs", "Rd.Tm"}));
    // The status word says "not calibrating", which must not pass for a calibrated point.
    rig.read(*w);
    EXPECT_EQ(w->current_page().title(), "Шаг 2");
}

TEST(PhCalibration, CalibrationErrorOffersToRepeat) {
    Rig rig;
    rig.behave([](auto& b) {
        b.busy_reads = 0;
        b.fails = true;
    });
    auto w = rig.wizard();
    to_first_point(rig, *w, kPhOnePoint);
    calibrate_point(rig, *w, "7");
    ASSERT_EQ(w->current_page().title(), "Сохранение коэффициентов");
    EXPECT_FALSE(w->buttons().back_enabled);
    rig.ui.clear();
    rig.module->clear_log();
    w->press_finish();
    EXPECT_EQ(rig.requests(), (Names{"W U.Apl", "R Rd.St"}));
    ASSERT_EQ(rig.ui.messages().size(), 1u);
    EXPECT_EQ(rig.ui.messages()[0].text, "Пожалуйста, повторите операцию юстировки.");
    EXPECT_EQ(rig.ui.messages()[0].caption, "Ошибка юстировки");
    EXPECT_EQ(rig.ui.messages()[0].icon, MessageIcon::Warning);
    EXPECT_EQ(w->outcome(), Outcome::Running);
    EXPECT_EQ(w->buttons().back_text, "Повторить");
    EXPECT_TRUE(w->buttons().back_enabled);
    EXPECT_TRUE(w->buttons().finish_shown);
    EXPECT_FALSE(w->buttons().finish_enabled);

    w->press_back();
    EXPECT_EQ(w->current_index(), kCodePage);
    EXPECT_EQ(w->buttons().back_text, "< Назад");
    EXPECT_FALSE(w->buttons().finish_shown);
}

TEST(PhCalibration, FailedApplyIsReportedAndKeepsThePage) {
    Rig rig;
    rig.behave([](auto& b) { b.busy_reads = 0; });
    auto w = rig.wizard();
    to_first_point(rig, *w, kPhOnePoint);
    calibrate_point(rig, *w, "7");
    rig.ui.clear();
    rig.faults([](sim::Faults& f) { f.error_code = sim::kErrValueRejected; });
    w->press_finish();
    rig.faults([](sim::Faults&) {});
    ASSERT_EQ(rig.ui.messages().size(), 1u);
    EXPECT_EQ(rig.ui.messages()[0].caption, "Ошибка юстировки");
    EXPECT_EQ(w->outcome(), Outcome::Running);
    EXPECT_EQ(w->current_page().title(), "Сохранение коэффициентов");
    w->press_finish();
    EXPECT_EQ(w->outcome(), Outcome::Finished);
}

TEST(PhCalibration, SlopeDeviationIsJudgedAgainstTheLimits) {
    const std::string within = "Числовое значение отклонения крутизны водородной характеристики: ";
    const std::string outside =
        ".\n\nПараметры электродной пары выходят за допустимые пределы. Рекомендуется заменить электроды.";
    struct Case {
        const char* reported;
        std::string text;
        MessageIcon icon;
    };
    const Case cases[] = {
        {"1.000", within + "1.00", MessageIcon::Information},
        // The limits as the module reports them are within, though 0.96 is not exact in binary.
        {"0.960", within + "0.96", MessageIcon::Information},
        {"1.100", within + "1.10", MessageIcon::Information},
        {"0.959", within + "0.96" + outside, MessageIcon::Warning},
        {"1.101", within + "1.10" + outside, MessageIcon::Warning},
        {"-2.500", within + "-2.50" + outside, MessageIcon::Warning},
        {"Invalid value", "Не удалось определить отклонение крутизны водородной характеристики.",
         MessageIcon::Warning},
        {"", "Не удалось определить отклонение крутизны водородной характеристики.", MessageIcon::Warning},
    };
    for (const Case& c : cases) {
        const auto [text, icon] = CSavePHPage::slope_message(c.reported);
        EXPECT_EQ(text, c.text) << c.reported;
        EXPECT_EQ(icon, c.icon) << c.reported;
    }

    // The module's own answer to "U.Apl".
    Rig rig;
    rig.behave([](auto& b) {
        b.busy_reads = 0;
        b.slope = 0.96f;
    });
    auto w = rig.wizard();
    to_first_point(rig, *w, kPhOnePoint);
    calibrate_point(rig, *w, "7");
    w->press_finish();
    ASSERT_EQ(rig.ui.messages().size(), 1u);
    EXPECT_EQ(rig.ui.messages()[0].text, within + "0.96");
}

TEST(PhCalibration, CancelDuringAStepStopsTheTimeOut) {
    Rig rig;
    rig.behave([](auto& b) { b.busy_reads = -1; });
    auto w = rig.wizard();
    to_first_point(rig, *w, kPhOnePoint);
    calibrate_point(rig, *w, "7");
    w->press_cancel();
    EXPECT_EQ(w->outcome(), Outcome::Cancelled);
    EXPECT_TRUE(w->timers().empty());
    w->timer_fired(CSheetPH::kStepTimer);  // expired on the way out
    EXPECT_EQ(w->error_page().error(), "");
}

TEST(PhCalibration, ReadingThreadBringsLiveValuesToThePage) {
    Rig rig;
    auto w = std::make_unique<CSheetPH>(*rig.device, &rig.description);
    w->readings().set_interval(10ms);
    w->start();
    to_first_point(rig, *w, kPhOnePoint);
    const auto& step = static_cast<const CStepPage&>(w->current_page());
    for (int wait = 0; wait < 500 && step.temperature_text().empty(); ++wait) {
        std::this_thread::sleep_for(10ms);
        rig.ui.run_posted();
    }
    EXPECT_EQ(step.value_text(), "6.870");
    EXPECT_EQ(step.temperature_text(), "24.500");
    w->press_back();  // leaving the page stops the thread
    EXPECT_FALSE(w->readings().running());
    rig.ui.run_posted();
    rig.module->clear_log();
    std::this_thread::sleep_for(30ms);
    EXPECT_TRUE(rig.module->log().empty());
}

}  // namespace
}  // namespace varda::CalibrationPH
