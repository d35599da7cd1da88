// The generic calibration of VK00/VK08 against the simulated module: the module commands, the method
// choice, the run's steps with their texts, and the failures a user must be able to recover from.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "core/app/command_line/headless_ui.h"
#include "core/app/service/model_calibration.h"
#include "core/calibration/calibration_commands.h"
#include "core/calibration/calibration_method.h"
#include "core/calibration/calibration_run.h"
#include "core/calibration/generic_calibration.h"
#include "core/devices/models.h"
#include "core/link/device_io.h"
#include "core/model/description.h"
#include "core/model/description_archive.h"
#include "core/model/parameter.h"
#include "core/platform/language.h"
#include "core/platform/strings.h"
#include "sim/calibration_task.h"
#include "sim/in_process_backend.h"
#include "sim/model_module.h"
#include "tests/support/english_screen.h"
#include "tests/support/model_fixture.h"

namespace varda::calibration {
namespace {

using ::testing::HasSubstr;

constexpr std::string_view kRepeat =
    "Для повтора предыдущей команды нажмите кнопку Да, или можете выйти из процесса юстировки.";

// A module's command as received: its name and request data.
struct Received {
    std::string name;
    Bytes data;
    bool operator==(const Received&) const = default;
};

// A VK00 (or VK08) module with its calibration task, the request engine on it and the model's tree.
struct Rig {
    explicit Rig(int model_index = 0)
        : module(std::make_shared<sim::SimulatedModule>()),
          io(context, std::make_unique<sim::InProcessBackend>(module), options) {
        DescriptionArchive archive(VARDA_DAT_PATH, false);
        const DescriptionText text = ReadModelDescription(archive, model_index);
        std::string error;
        EXPECT_TRUE(text.ok && sim::serve_model(*module, model_index, text.text, error)) << error;
        task = sim::serve_calibration(*module);
        description.LoadDescriptionText(text.text);
        model = create_device_model(model_index, &description);
        io.sio().settings.port_name = "sim";
        io.sio().settings.baud_rate = 115200;
        EXPECT_EQ(io.sio().open(), OpenResult::Opened);
        module->clear_log();
        set_ui(&ui);
    }
    ~Rig() { set_ui(nullptr); }

    void faults(const std::function<void(sim::CalibrationTask::Faults&)>& change) {
        auto f = task->faults();
        change(f);
        task->set_faults(f);
    }

    // The calibration commands the module received, in order.
    std::vector<Received> received() const {
        static constexpr std::string_view kNames[] = {"in-t",  "CLB.I", "CLB.S", "CLB.T",
                                                      "CLB.G", "CLB.P", "CLB.A"};
        std::vector<Received> out;
        for (const test::ReceivedRequest& r : test::received_requests(*module)) {
            if (r.bytes.size() < 6) continue;
            for (const auto name : kNames)
                if (hash_name(name) == r.hash)
                    out.push_back({std::string(name), Bytes(r.bytes.begin() + 4, r.bytes.end() - 2)});
        }
        return out;
    }
    std::vector<std::string> names() const {
        std::vector<std::string> out;
        for (const auto& r : received())
            out.push_back(r.name);
        return out;
    }
    int count(std::string_view name) const { return static_cast<int>(std::ranges::count(names(), name)); }

    // A run that does not sleep between its exchanges.
    std::unique_ptr<CalibrationRun> run(int type, int channel = 0, int input_type = 5) {
        auto r = std::make_unique<CalibrationRun>(
            io, RunSetup{type, input_type, channel, opening_text(type, input_type)});
        r->wait = [](int) {};
        return r;
    }

    HeadlessUi ui;
    ModuleContext context;
    Options options;
    std::shared_ptr<sim::SimulatedModule> module;
    std::shared_ptr<sim::CalibrationTask> task;
    DeviceIO io;
    DescriptionContext description;
    std::unique_ptr<CBaseDevice> model;
};

// Views that pick a method and press "Continue" until the run window closes.
struct ScriptedViews : CalibrationViews {
    std::function<void(MethodChoice&)> pick;
    std::string code;
    int methods_shown = 0;
    std::vector<std::string> run_messages;  // the message after each press
    std::vector<std::string> run_status_lines;

    bool choose_method(MethodChoice& choice) override {
        ++methods_shown;
        if (!pick) return false;
        pick(choice);
        return choice.press_continue(code) == MethodChoice::Outcome::Accepted;
    }
    void run(CalibrationRun& run) override {
        run.wait = [](int) {};
        run_messages.push_back(run.message());
        for (int presses = 0; !run.closed() && run.continue_enabled() && presses < 20; ++presses) {
            run.press_continue();
            run_messages.push_back(run.message());
            run_status_lines.push_back(run.status_line());
        }
    }
};

TEST(CalibrationCommands, StatusAndFlagTexts) {
    const std::pair<std::optional<std::uint8_t>, std::string_view> statuses[] = {
        {0, "Процесс завершен успешно.\n"},
        {7, "Обрыв датчика при юстировке.\n"},
        {15, "Возникла ошибка при записи результатов юстировки в EEPROM.\n"},
        {20, "Неизвестная ошибка кода статуса.\n"},
        {35, "Неизвестная ошибка кода статуса.\n"},
        {36, "В результате юстировки вычисляется не более 4 коэффициентов.\n"},
        {200, "Неизвестная ошибка кода статуса.\n"},
        {std::nullopt, "Неизвестная ошибка кода статуса.\n"},
    };
    for (const auto& [code, text] : statuses)
        EXPECT_EQ(status_text(code), text) << (code ? int{*code} : -1);

    const std::pair<std::uint8_t, std::string_view> flags[] = {
        {0x06, "Биты первоначальных измерений."},
        {0x01, "Биты первоначальных измерений."},
        {0x0C, "Ошибка на линии DRDY АЦП."},
        {0xC0, "Флаг успешной записи юстировочных коэффициентов."},
        {0x80, "Флаг завершения юстировочных измерений."},
        {0x00, "Неизвестное значение флага процесса."},
    };
    for (const auto& [bits, text] : flags)
        EXPECT_EQ(flags_text(bits), text) << int{bits};

    EXPECT_EQ(start_data(1, 0, 0), Bytes{1});
    EXPECT_EQ(start_data(4, 3, 1), (Bytes{0x83, 4}));
}

TEST(CalibrationCommands, CoefficientReplyLengths) {
    Rig rig;
    struct Case {
        std::size_t length;
        Coefficient::Kind kind;
    };
    for (const Case c : {Case{5, Coefficient::Kind::Value}, Case{2, Coefficient::Kind::NoValue},
                         Case{3, Coefficient::Kind::BadReply}, Case{6, Coefficient::Kind::BadReply}}) {
        rig.faults([&](auto& f) { f.coefficient_reply_length = c.length; });
        const Exchange read = read_coefficient(rig.io, 1);
        ASSERT_TRUE(read.ok) << read.error;
        const Coefficient coefficient = decode_coefficient(read.reply);
        EXPECT_EQ(coefficient.kind, c.kind) << c.length;
        if (c.kind == Coefficient::Kind::Value) {
            EXPECT_FLOAT_EQ(coefficient.value, 1.0025f);
        }
    }
    EXPECT_EQ(rig.received().front(), (Received{"CLB.G", {1}}));
}

TEST(CalibrationMethod, SensorTablesAndTexts) {
    struct Spot {
        int type;
        int entry;  // 1-based, as the list shows it
        std::string_view name;
        int input_type;
    };
    const Spot spots[] = {
        {1, 1, "RTD Cu50 (a=0,00426)", 2},
        {1, 2, "TC type L", 5},
        {1, 21, "4-20 mA", 11},
        {1, 36, "RTD Ni1000 (a=0,00617)", 40},
        {2, 2, "TC type J", 21},
        {2, 11, "TC type N", 20},
        {4, 2, "Position transmitter 0...2000 Ohm", 41},
        {4, 4, "Position transmitter 0-5 mA", 28},
    };
    for (const Spot& s : spots) {
        const Sensor sensor = sensors_of(s.type)[static_cast<std::size_t>(s.entry - 1)];
        EXPECT_EQ(str(sensor.name_id), s.name) << s.type << "/" << s.entry;
        EXPECT_EQ(sensor.input_type, s.input_type) << s.type << "/" << s.entry;
    }
    EXPECT_EQ(sensors_of(1).size(), 36u);
    EXPECT_EQ(sensors_of(2).size(), 11u);
    EXPECT_TRUE(sensors_of(3).empty());
    EXPECT_EQ(sensors_of(4).size(), 4u);
    // Every sensor of type 1 has an instruction.
    for (const Sensor& s : sensors_of(1))
        EXPECT_FALSE(opening_text(1, s.input_type).empty()) << s.input_type;
    EXPECT_EQ(opening_text(1, 16), str(447));
    EXPECT_EQ(opening_text(1, 30), str(448));
    EXPECT_THAT(opening_text(1, 17), HasSubstr("10,08 мВ"));
    EXPECT_THAT(opening_text(1, 38), HasSubstr("1000,00 Ом"));
    EXPECT_THAT(opening_text(4, 0), HasSubstr("ЗАКРЫТО"));
    const auto channels = channel_texts();
    ASSERT_EQ(channels.size(), 8u);
    EXPECT_EQ(channels.front(), "Input 0");
    EXPECT_EQ(channels.back(), "Input 7");
    EXPECT_EQ(str(type_name_id(1)), "Calibration type 1");
    EXPECT_EQ(str(type_description_id(4)), "Valve position transmitter calibration");
}

TEST(CalibrationMethod, ControlsFollowTheMethod) {
    Rig rig;
    MethodChoice choice(rig.io, &rig.description);
    EXPECT_FALSE(choice.code_enabled());
    EXPECT_FALSE(choice.sensors_visible());
    EXPECT_EQ(choice.description(), "");

    choice.set_method(1);
    EXPECT_TRUE(choice.sensors_visible());
    EXPECT_FALSE(choice.channels_visible());
    EXPECT_EQ(choice.sensor_items().size(), 36u);
    EXPECT_EQ(choice.sensor(), -1);
    choice.set_sensor(20);
    choice.set_method(1);  // choosing the same method again keeps the selection
    EXPECT_EQ(choice.sensor(), 20);
    // Another type's list would map the selection to the wrong sensor: it is refilled without one.
    choice.set_method(2);
    EXPECT_EQ(choice.sensor_items().size(), 11u);
    EXPECT_EQ(choice.sensor(), -1);

    choice.set_method(3);
    EXPECT_FALSE(choice.sensors_visible());
    EXPECT_TRUE(choice.code_enabled());
    choice.set_method(4);
    EXPECT_TRUE(choice.channels_visible());
    EXPECT_EQ(choice.sensor_items().size(), 4u);
    EXPECT_EQ(choice.channel(), 0);

    // Without a sensor, "Continue" with the right code does nothing more.
    EXPECT_EQ(choice.press_continue("40"), MethodChoice::Outcome::Stay);
    EXPECT_TRUE(rig.received().empty());
    choice.set_method(0);
    EXPECT_EQ(choice.press_continue("40"), MethodChoice::Outcome::Stay);
    ASSERT_EQ(rig.ui.messages().size(), 1u);
    EXPECT_EQ(rig.ui.messages()[0].text, "Выберите тип юстировки для прохода в следующее меню.");
    EXPECT_EQ(rig.ui.messages()[0].caption, "Ошибка");
}

TEST(CalibrationMethod, FourthWrongCodeInARowCloses) {
    Rig rig;
    MethodChoice choice(rig.io, &rig.description);
    choice.set_method(3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(choice.press_continue("31"), MethodChoice::Outcome::Stay);
    EXPECT_EQ(choice.press_continue("abc"), MethodChoice::Outcome::Cancelled);
    EXPECT_EQ(rig.ui.messages().size(), 4u);
    EXPECT_EQ(rig.ui.messages().back().text, "Неправильно введен код");
    EXPECT_EQ(choice.wrong_codes(), 0);
    // A right code resets the count.
    EXPECT_EQ(choice.press_continue("1"), MethodChoice::Outcome::Stay);
    EXPECT_EQ(choice.press_continue("30"), MethodChoice::Outcome::Accepted);
    EXPECT_EQ(choice.wrong_codes(), 0);
    EXPECT_EQ(choice.setup().type, 3);
    EXPECT_THAT(choice.setup().opening_text, HasSubstr("комплексной юстировке"));
    EXPECT_TRUE(rig.received().empty());  // type 3 selects no sensor
}

TEST(CalibrationMethod, InputTypeWriteIsRepeatedOnRequest) {
    Rig rig;
    MethodChoice choice(rig.io, &rig.description);
    choice.set_method(4);
    choice.set_sensor(1);  // 0...2000 Ohm, code 41
    choice.set_channel(3);
    rig.module->set_faults({.error_code = 0x28});
    rig.ui.push_answer(Answer::Yes);
    rig.ui.push_answer(Answer::No);
    EXPECT_EQ(choice.press_continue("40"), MethodChoice::Outcome::Cancelled);
    EXPECT_EQ(rig.count("in-t"), 2);
    ASSERT_EQ(rig.ui.questions().size(), 2u);
    EXPECT_THAT(rig.ui.questions()[0],
                HasSubstr("\nДля повтора предыдущей команды нажмите кнопку Да, или можете "
                          "выйти из процесса юстирвки."));

    rig.module->set_faults({});
    rig.module->clear_log();
    EXPECT_EQ(choice.press_continue("40"), MethodChoice::Outcome::Accepted);
    EXPECT_EQ(rig.received(), (std::vector<Received>{{"in-t", {41, 0, 3}}}));
    EXPECT_EQ(choice.setup().channel, 3);
    EXPECT_EQ(choice.setup().input_type, 41);
}

TEST(CalibrationRun, CompleteType1Run) {
    Rig rig;
    ScriptedViews views;
    views.code = "10";
    views.pick = [](MethodChoice& c) {
        c.set_method(1);
        c.set_sensor(1);  // TC type L, code 5
    };
    GenericCalibration calibration(*rig.model, rig.io);
    calibration.run(views);

    EXPECT_EQ(rig.received(), (std::vector<Received>{{"in-t", {5, 0, 0}},
                                                     {"CLB.I", {1}},
                                                     {"CLB.S", {}},
                                                     {"CLB.S", {}},
                                                     {"CLB.S", {}},
                                                     {"CLB.T", {}},
                                                     {"CLB.G", {1}},
                                                     {"CLB.P", {}},
                                                     {"CLB.A", {}}}));
    EXPECT_EQ(rig.task->stored(), 1);
    EXPECT_FALSE(rig.task->running());
    EXPECT_EQ(views.methods_shown, 1);

    ASSERT_EQ(views.run_messages.size(), 5u);
    EXPECT_THAT(views.run_messages[0], HasSubstr("40,30 мВ"));
    EXPECT_THAT(views.run_messages[1], HasSubstr("Юстировочные коэффициенты найдены и сохранены в приборе."));
    EXPECT_EQ(
        views.run_messages[2],
        "Значение коэффициента:  1.002500\n\nЮстировка прошла успешно\n\nНажмите на кнопку «Продолжить»");
    EXPECT_EQ(views.run_messages[3], "Юстировка НСХ преобразования успешно завершена. ");
    EXPECT_EQ(views.run_status_lines[0], "Измерения завершены...");
    EXPECT_EQ(views.run_status_lines[1], "Проверте коэффициент(ы)...");
    EXPECT_EQ(views.run_status_lines[2], "Завершение юстировки");

    const auto messages = rig.ui.messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].text, "Для начала юстировки нажмите кнопку \"OK\".");
    EXPECT_EQ(messages[0].caption, "Юстировка");
    EXPECT_EQ(messages[0].icon, MessageIcon::Warning);
    EXPECT_THAT(messages[1].text, HasSubstr("прибора Tavik-VK00 переключатель \"3\" в положение \"OFF\""));
    EXPECT_EQ(messages[1].caption, "Возврат в рабочее состояние");
    EXPECT_TRUE(rig.ui.questions().empty());
    // The tree shows the sensor now selected in the module.
    EXPECT_EQ(*rig.module->value("in-t", 0), rig.description.find_parameter("in-t", 0)->value_text());
}

TEST(CalibrationRun, Vk08PreparesTheNonVolatileMemory) {
    Rig rig(8);
    GenericCalibration calibration(*rig.model, rig.io);
    EXPECT_THAT(calibration.preparation_text(), HasSubstr("модуля Tavik-VK08 выключите питание"));
    EXPECT_THAT(calibration.closing_text(2), HasSubstr("прибора Tavik-VK08 переключатель"));
    Rig vk00;
    GenericCalibration vk00_calibration(*vk00.model, vk00.io);
    EXPECT_EQ(vk00_calibration.closing_text(4), "Выключите питание прибора на несколько секунд.");
}

TEST(CalibrationRun, FailingStatusEndsTheMeasurements) {
    const std::pair<std::uint8_t, std::string_view> cases[] = {
        {7, "Обрыв датчика при юстировке.\n"},
        {20, "Неизвестная ошибка кода статуса.\n"},
        {35, "Неизвестная ошибка кода статуса.\n"},
    };
    for (const auto& [code, text] : cases) {
        Rig rig;
        rig.faults([code = code](auto& f) { f.status["CLB.S"] = code; });
        auto run = rig.run(1);
        run->press_continue();
        EXPECT_TRUE(run->error());
        EXPECT_EQ(run->message(),
                  "Процесс поиска измерения юстировки завершен неудачно: " + std::string(text));
        EXPECT_EQ(run->status_line(), "Ошибка");
        EXPECT_TRUE(run->continue_visible());
        EXPECT_FALSE(run->continue_enabled());
        EXPECT_EQ(run->step(), 0);
        run->cancel();
        EXPECT_EQ(run->end(), RunEnd::Cancelled);
        run.reset();
        EXPECT_EQ(rig.count("CLB.A"), 1);  // once, however the run ended
        EXPECT_EQ(rig.count("CLB.T"), 0);
    }
}

TEST(CalibrationRun, PollingEndsByFlagOrTimeout) {
    {
        Rig rig;
        rig.faults([](auto& f) { f.polls_to_finish = 1; });
        auto run = rig.run(1);
        run->press_continue();
        EXPECT_EQ(rig.count("CLB.S"), 1);
        EXPECT_EQ(run->step(), 1);
    }
    {
        Rig rig;
        rig.faults([](auto& f) { f.polls_to_finish = 0; });
        auto run = rig.run(1);
        std::vector<std::string> lines;
        run->on_change = [&] { lines.push_back(run->status_line()); };
        run->press_continue();
        EXPECT_EQ(rig.count("CLB.S"), 12);
        EXPECT_NE(std::ranges::find(lines, "CLB.S: Флаг процесса=0x01. Ждем 12 секунд..."), lines.end());
        EXPECT_EQ(run->engine_error(), "CLB.S: ошибка: таймаут");
        // Measurements that never finished are not reported as found, though every status was 0.
        EXPECT_TRUE(run->error());
        EXPECT_EQ(run->message(),
                  "Процесс поиска измерения юстировки завершен неудачно: CLB.S: ошибка: таймаут");
        EXPECT_FALSE(run->continue_enabled());
    }
}

TEST(CalibrationRun, EngineFailureAsksToRepeat) {
    Rig rig;
    auto run = rig.run(2);
    rig.module->set_faults({.error_code = 0x28});
    rig.ui.push_answer(Answer::Yes);
    rig.ui.push_answer(Answer::No);
    run->press_continue();
    EXPECT_EQ(run->end(), RunEnd::Cancelled);
    EXPECT_EQ(rig.count("CLB.I"), 2);
    EXPECT_EQ(rig.count("CLB.S"), 0);
    EXPECT_EQ(rig.ui.questions(), (std::vector<std::string>{std::string(kRepeat), std::string(kRepeat)}));
    const auto messages = rig.ui.messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].caption, "Ошибка (Запуск процессa юстировки)");
    EXPECT_EQ(messages[0].text, error_reply_text(Bytes{0x28}));
    EXPECT_EQ(rig.count("CLB.A"), 1);
}

TEST(CalibrationRun, CoefficientReplyLengthsInTheCheck) {
    struct Case {
        std::size_t length;
        std::string_view shown;
        int step;
    };
    for (const Case c : {Case{5, "Значение коэффициента:  1.002500", 2},
                         Case{2, "Значение коэффициента:  no data", 2}, Case{4, kBadCoefficientReply, 1}}) {
        Rig rig;
        rig.faults([&](auto& f) { f.coefficient_reply_length = c.length; });
        auto run = rig.run(1);
        run->press_continue();
        run->press_continue();
        EXPECT_THAT(run->message(), HasSubstr(std::string(c.shown))) << c.length;
        EXPECT_EQ(run->step(), c.step) << c.length;
        // A faulty reply leaves only "Cancel": nothing unverified is stored.
        EXPECT_EQ(run->continue_enabled(), c.step == 2) << c.length;
    }
}

// Under English the coefficients' report reads English around the module's value.
TEST(CalibrationRun, CoefficientReportReadsEnglishUnderEnglish) {
    struct Restore {
        ~Restore() { set_text_language(Language::as_written); }
    } restore;
    set_text_language(Language::english);
    Rig rig;
    auto run = rig.run(1);
    run->press_continue();
    run->press_continue();
    EXPECT_EQ(
        run->message(),
        "Value of the coefficient:  1.002500\n\nCalibration completed successfully\n\nClick \"Continue\"");
}

TEST(CalibrationRun, FaultyCoefficientOffersANewRun) {
    Rig rig;
    rig.faults([](auto& f) { f.faulty_coefficient = 2; });
    ScriptedViews views;
    views.code = "20";
    views.pick = [](MethodChoice& c) {
        c.set_method(2);
        c.set_sensor(0);
    };
    rig.ui.push_answer(Answer::Yes);  // repeat once
    rig.ui.push_answer(Answer::No);
    GenericCalibration(*rig.model, rig.io).run(views);

    EXPECT_EQ(views.methods_shown, 1);
    EXPECT_EQ(rig.count("CLB.I"), 2);
    EXPECT_EQ(rig.count("CLB.P"), 0);
    EXPECT_THAT(views.run_messages[2],
                HasSubstr("Значение ошибочного коэффициента: -0.500000\n\nНажмите на кнопку "
                          "«Продолжить»\n\nКоэффициент юстировки не соответствует"));
    EXPECT_THAT(views.run_messages[2], HasSubstr("Возможные причны:"));
    EXPECT_EQ(rig.ui.questions().size(), 2u);
    EXPECT_EQ(rig.ui.questions()[0], "Попытка юстировки закончилась неудачно; повторить юстировку?");
    // The second run started with the same opening text.
    EXPECT_EQ(views.run_messages[0], views.run_messages[4]);
    EXPECT_EQ(rig.ui.messages().size(), 2u);  // one preparation, one closing message
}

TEST(CalibrationRun, StoringRetriesErrorStatusesThenAsks) {
    Rig rig;
    rig.faults([](auto& f) { f.status["CLB.P"] = 15; });
    ScriptedViews views;
    views.code = "30";
    int picks = 0;
    views.pick = [&](MethodChoice& c) {
        if (++picks == 1) c.set_method(3);
    };
    rig.ui.push_answer(Answer::Yes);  // calibrate again: the method window opens again and is left
    GenericCalibration(*rig.model, rig.io).run(views);

    EXPECT_EQ(rig.count("CLB.P"), 4);
    EXPECT_EQ(
        rig.ui.questions(),
        (std::vector<std::string>{"Возникла ошибка при записи результатов юстировки в EEPROM.\nДля повтора "
                                  "юстировки нажмите кнопку Да"}));
    EXPECT_EQ(rig.count("CLB.G"), 4);
    EXPECT_THAT(views.run_messages[2],
                HasSubstr("\n\nЗначение четвертого коэффициента:\n  K4= 2.000000\n\n"));
    EXPECT_EQ(views.methods_shown, 2);
    EXPECT_EQ(rig.names().back(), "CLB.A");
    EXPECT_EQ(rig.task->stored(), 0);
}

TEST(CalibrationRun, Type4CalibratesBothValvePositions) {
    Rig rig;
    ScriptedViews views;
    views.code = "40";
    views.pick = [](MethodChoice& c) {
        c.set_method(4);
        c.set_sensor(2);  // 0-20 mA, code 27
        c.set_channel(5);
    };
    rig.ui.push_answer(Answer::Yes);  // leave the calibration
    GenericCalibration(*rig.model, rig.io).run(views);

    std::vector<Bytes> starts;
    for (const auto& r : rig.received())
        if (r.name == "CLB.I") starts.push_back(r.data);
    EXPECT_EQ(starts, (std::vector<Bytes>{{0x05, 4}, {0x85, 4}}));
    EXPECT_EQ(rig.received().front(), (Received{"in-t", {27, 0, 5}}));
    EXPECT_EQ(rig.task->stored(), 2);
    EXPECT_EQ(rig.count("CLB.A"), 2);
    EXPECT_EQ(rig.ui.questions(),
              (std::vector<std::string>{"Выйти из юстировки?\n(нет - повторить с новым каналом)"}));
    EXPECT_TRUE(std::ranges::any_of(views.run_messages, [](const std::string& m) {
        return m.starts_with("Теперь установите запорно-регулирующий клапан (задвижку) в положение ОТКРЫТО");
    }));
    EXPECT_EQ(rig.ui.messages().back().text, "Выключите питание прибора на несколько секунд.");
}

TEST(CalibrationRun, CancelEndsTheTaskOnce) {
    Rig rig;
    auto run = rig.run(1);
    run->press_continue();
    ASSERT_EQ(run->step(), 1);
    run->cancel();
    run->press_continue();  // a closed run does nothing
    run.reset();
    EXPECT_EQ(rig.names().back(), "CLB.A");
    EXPECT_EQ(rig.count("CLB.A"), 1);
    EXPECT_EQ(rig.count("CLB.T"), 0);
    EXPECT_FALSE(rig.task->running());
}

// Views that record every text the method window and the run window would show.
struct RecordingViews : ScriptedViews {
    std::vector<std::string> shown;

    bool choose_method(MethodChoice& choice) override {
        const bool accepted = ScriptedViews::choose_method(choice);
        shown.push_back(choice.description());
        for (const auto* items : {&choice.sensor_items(), &choice.channel_items()})
            shown.insert(shown.end(), items->begin(), items->end());
        return accepted;
    }
    void run(CalibrationRun& run) override {
        const auto record = [&] {
            for (const std::string* text : {&run.caption(), &run.status_line(), &run.message()})
                shown.push_back(*text);
        };
        record();
        run.on_change = record;
        ScriptedViews::run(run);
        record();
    }
};

// Under English every text of a run reads English, along each way a run can go: the report around the
// module's values, its failures and the questions and messages on the way.
TEST(CalibrationRun, EveryTextReadsEnglishUnderEnglish) {
    using Faults = sim::CalibrationTask::Faults;
    struct Case {
        const char* name;
        int method;
        std::function<void(Faults&)> fault;
        std::vector<Answer> answers;
    };
    const Case cases[] = {
        {"type 1", 1, [](Faults&) {}, {}},
        {"type 3", 3, [](Faults&) {}, {}},
        {"type 4, both valves", 4, [](Faults&) {}, {Answer::Yes}},
        {"type 2, faulty coefficient", 2, [](Faults& f) { f.faulty_coefficient = 2; }, {Answer::No}},
        {"type 1, faulty coefficient", 1, [](Faults& f) { f.faulty_coefficient = 1; }, {Answer::No}},
        {"measurements fail", 1, [](Faults& f) { f.status["CLB.S"] = 7; }, {}},
        {"measurements never finish", 1, [](Faults& f) { f.polls_to_finish = 0; }, {}},
        {"coefficient without a value", 2, [](Faults& f) { f.coefficient_reply_length = 2; }, {}},
        {"garbled coefficient", 1, [](Faults& f) { f.coefficient_reply_length = 4; }, {}},
        {"storing fails", 3, [](Faults& f) { f.status["CLB.P"] = 15; }, {Answer::No}},
    };
    for (const Case& c : cases) {
        test::EnglishScreen english;
        Rig rig;
        rig.faults(c.fault);
        for (const Answer answer : c.answers)
            rig.ui.push_answer(answer);
        RecordingViews views;
        views.code = std::to_string(c.method * 10);
        int picks = 0;
        views.pick = [&](MethodChoice& choice) {
            if (++picks > 1) return;
            choice.set_method(c.method);
            if (choice.sensors_visible()) choice.set_sensor(c.method == 4 ? 2 : 1);
            if (choice.channels_visible()) choice.set_channel(5);
        };
        GenericCalibration(*rig.model, rig.io).run(views);

        std::vector<std::string> texts = views.shown;
        for (const auto& m : rig.ui.messages()) {
            texts.push_back(m.text);
            texts.push_back(m.caption);
        }
        const auto questions = rig.ui.questions();
        texts.insert(texts.end(), questions.begin(), questions.end());
        EXPECT_GT(views.run_messages.size(), 1u) << c.name;
        for (const std::string& text : texts)
            EXPECT_TRUE(test::shows_english(text)) << c.name;
    }
    // A module that refuses the command: the message names what was being done.
    test::EnglishScreen english;
    Rig rig;
    auto run = rig.run(2);
    rig.module->set_faults({.error_code = 0x28});
    rig.ui.push_answer(Answer::No);
    run->press_continue();
    ASSERT_FALSE(rig.ui.messages().empty());
    EXPECT_EQ(rig.ui.messages()[0].caption, "Error (starting the calibration)");
    EXPECT_TRUE(test::shows_english(rig.ui.messages()[0].text));
    EXPECT_TRUE(test::shows_english(run->status_line()));
}

TEST(CalibrationModels, GenericCalibrationIsOfferedByVk00AndVk08) {
    HeadlessUi ui;
    set_ui(&ui);
    for (int index = 0; index < 23; ++index) {
        auto model = create_device_model(index, nullptr);
        if (index != 0 && index != 8) continue;
        EXPECT_TRUE(model->CanCalibrate());
        calibrate_model(*model);
    }
    EXPECT_EQ(ui.generic_calibrations_shown, 2);
    set_ui(nullptr);
}

}  // namespace
}  // namespace varda::calibration
