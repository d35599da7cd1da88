// Every calibration played through against a varda-sim process on a pseudo-terminal, as a person would
// against the simulated module: the wizard or run of each model reaches its final page, and what it writes
// is what the simulated physics implies. The wizards play on an English screen, where none of their texts
// may be left Russian. The console sets the physical quantities where a test needs them
// exact; the meters report their points after a short delay.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <functional>
#include <thread>

#include "core/app/command_line/headless_ui.h"
#include "core/app/service/model_calibration.h"
#include "core/calibration/calibration_run.h"
#include "core/calibration/generic_calibration.h"
#include "core/calibration/inductance_calibration.h"
#include "core/calibration/meter_calibration.h"
#include "core/calibration/offset_scale_calibration.h"
#include "core/calibration/output_calibration.h"
#include "core/calibration/ph_calibration.h"
#include "core/calibration/strain_gauge_calibration.h"
#include "core/calibration/tare_weight.h"
#include "core/devices/base_device.h"
#include "core/devices/models.h"
#include "core/devices/models_volt.h"
#include "core/link/device.h"
#include "core/link/posix_serial_backend.h"
#include "core/model/description.h"
#include "core/model/description_archive.h"
#include "core/model/device_table.h"
#include "core/platform/numbers.h"
#include "sim/calibration_physics.h"
#include "tests/support/english_screen.h"
#include "tests/support/sim_process.h"

namespace varda {
namespace {

using namespace std::chrono_literals;
using Outcome = CalibrationWizard::Outcome;

// A model served by varda-sim, its tree over a device on the simulator's terminal, and the console.
struct SimRig {
    explicit SimRig(int model, std::vector<std::string> extra = {})
        : sim(arguments(model, std::move(extra)), true) {
        set_ui(&ui);
        DescriptionArchive archive(VARDA_DAT_PATH, false);
        const DescriptionText text = ReadModelDescription(archive, model);
        EXPECT_TRUE(text.ok);
        device = std::make_unique<Device>(context, std::make_unique<PosixSerialBackend>(), options);
        device->sio().settings.port_name = sim.path();
        device->sio().settings.base_address = 16;
        EXPECT_EQ(device->sio().open(), OpenResult::Opened) << device->sio().open_error();
        // The simulator is another process: on a busy machine it may answer later than a module would.
        device->sio().set_reply_timeout_ms(3000);
        context.model = model;
        description.model_index = model;
        description.model_factory = create_device_model;
        description.LoadDescriptionText(text.text);
        device->set_device_model(description.device_model().get());
    }
    ~SimRig() {
        device->set_device_model(nullptr);
        device.reset();
        set_ui(nullptr);
    }
    SimRig(const SimRig&) = delete;
    SimRig& operator=(const SimRig&) = delete;

    static std::vector<std::string> arguments(int model, std::vector<std::string> extra) {
        std::vector<std::string> args{"--model", std::to_string(model), "--archive", VARDA_DAT_PATH};
        args.insert(args.end(), extra.begin(), extra.end());
        return args;
    }
    // A console command; the test fails unless the simulator acknowledged it.
    std::string console(const std::string& line) {
        const std::string reply = sim.command(line);
        EXPECT_EQ(reply.rfind("ok:", 0), 0u) << line << " -> " << reply;
        return reply;
    }
    // The value the module keeps, by the console's "get".
    std::string kept(const std::string& name) {
        const std::string reply = console("get " + name);
        const auto eq = reply.find(" = ");
        return eq == std::string::npos ? std::string() : reply.substr(eq + 3);
    }
    CBaseDevice& model() { return *device_model_of(description.device_model().get()); }
    // The messages shown so far, as the window shows them, hold no Russian.
    void expect_english_messages(std::string_view context) {
        for (const auto& m : ui.messages())
            test::expect_english(std::vector<std::string>{m.text, m.caption}, context);
        test::expect_english(ui.questions(), context);
    }

    testing::SimProcess sim;
    HeadlessUi ui;
    ModuleContext context;
    Options options;
    std::unique_ptr<Device> device;
    DescriptionContext description;
};

// Runs the user interface's posted work until `done` holds; false when it did not within 20 s.
bool pump(HeadlessUi& ui, const std::function<bool()>& done) {
    for (auto deadline = std::chrono::steady_clock::now() + 20s;
         std::chrono::steady_clock::now() < deadline;) {
        ui.run_posted();
        if (done()) return true;
        std::this_thread::sleep_for(2ms);
    }
    return false;
}

std::string fmt3(double value) {
    return platform::fixed(value, 3);
}

TEST(SimCalibration, MetersReportEachPointAndReachTheEndPage) {
    for (const int model : {19, 20, 21, 22}) {
        test::EnglishScreen english;
        SimRig rig(model, {"--meter-delay", "30"});
        auto& meter = dynamic_cast<CDeviceVolt&>(rig.model());
        CalibrationVolt::CSheetVolt w(*rig.device, meter, 5ms);
        test::WizardTexts texts(w);
        w.start();
        const int end_page = w.page_count() - 2;
        std::vector<int> pages;
        while (w.current_index() < end_page && w.outcome() == Outcome::Running) {
            pages.push_back(w.current_index());
            const int page = w.current_index();
            w.press_next();
            ASSERT_TRUE(w.in_progress()) << model;
            ASSERT_TRUE(pump(rig.ui, [&] { return w.current_index() != page; })) << model << " page " << page;
        }
        EXPECT_EQ(w.current_page().title(), "Завершение калибровки") << model;
        EXPECT_EQ(pages.size(), static_cast<std::size_t>(meter.CalibrationPoints())) << model;
        w.press_finish();
        EXPECT_EQ(w.outcome(), Outcome::Finished) << model;
        test::expect_english(texts.texts, "meter");
        rig.expect_english_messages("meter");
    }
}

TEST(SimCalibration, MeterErrorFromTheConsoleEndsOnTheErrorPage) {
    test::EnglishScreen english;
    SimRig rig(21, {"--meter-delay", "30"});
    CalibrationVolt::CSheetVolt w(*rig.device, dynamic_cast<CDeviceVolt&>(rig.model()), 5ms);
    test::WizardTexts texts(w);
    w.start();
    w.press_next();
    ASSERT_TRUE(pump(rig.ui, [&] { return w.current_index() == 1; }));
    rig.console("meter error on");
    w.press_next();
    ASSERT_TRUE(pump(rig.ui, [&] { return &w.current_page() == &w.error_page(); }));
    EXPECT_EQ(w.error_page().error(), "Calibration error. You can try it later.");
    test::expect_english(texts.texts, "meter error");
}

// VK12's user table through the spline the wizard writes: typed in, measured at positions the console
// holds, and measured while the core moves on by itself between the rows.
TEST(SimCalibration, InductanceUserTableWritesTheSplineOfTheSensorsPoints) {
    using CalibrationVI::CPage1VI;
    enum class Points { Typed, Held, Moving };
    const std::vector<double> positions{10, 40, 90};
    const std::vector<double> physical{0, 35, 100};
    for (const Points points : {Points::Typed, Points::Held, Points::Moving}) {
        test::EnglishScreen english;
        SimRig rig(12);
        InductanceCalibration w(*rig.device);
        test::WizardTexts texts(w);
        w.start();
        w.code_page().code = "852";
        w.press_next();
        w.code_page().type = CPage1VI::kUser;
        w.code_page().method = points == Points::Typed ? CPage1VI::kTabular : CPage1VI::kMeasured;
        w.press_next();
        CalibrationVI::CUserTablePage& table =
            points == Points::Typed ? w.table_page()
                                    : static_cast<CalibrationVI::CUserTablePage&>(w.measuring_page());
        ASSERT_EQ(&w.current_page(), &table);
        table.node_count_text = "3";
        ASSERT_TRUE(table.apply_node_count());
        std::vector<double> x;
        for (int row = 0; row < 3; ++row) {
            const double expected =
                sim::CalibrationPhysics::inductance_at(positions[static_cast<std::size_t>(row)]);
            if (points == Points::Typed) {
                ASSERT_TRUE(table.inductance(row).AcceptValue(platform::fixed(expected, 6), true));
            } else {
                if (points == Points::Held) {
                    rig.console("quantity position " +
                                platform::fixed(positions[static_cast<std::size_t>(row)], 0));
                } else {
                    std::this_thread::sleep_for(500ms);  // the engineer moves the core to the next point
                }
                ASSERT_TRUE(w.measuring_page().measure(row));
            }
            const auto measured = platform::leading_double(table.inductance(row).value_text());
            ASSERT_TRUE(measured);
            if (points != Points::Moving) {
                EXPECT_NEAR(measured->value, expected, 1e-4);
            }
            x.push_back(measured->value);
            ASSERT_TRUE(table.physical(row).AcceptValue(
                platform::fixed(physical[static_cast<std::size_t>(row)], 3), true));
        }
        w.press_finish();
        EXPECT_EQ(w.outcome(), Outcome::Finished) << static_cast<int>(points);
        EXPECT_TRUE(rig.ui.messages().empty());
        test::expect_english(texts.texts, "inductance");
        test::expect_english(CalibrationVI::CPage1VI::types(), "inductance");
        test::expect_english(CalibrationVI::CPage1VI::methods(), "inductance");
        const auto k = CalibrationVI::spline_coefficients(x, physical);
        ASSERT_TRUE(k);
        for (int i = 0; i < 8; ++i)
            EXPECT_EQ(rig.kept("uU.Kf:" + std::to_string(i)), fmt3((*k)[static_cast<std::size_t>(i)])) << i;
        EXPECT_EQ(rig.kept("uU.Pn:1"), fmt3(x[1]));
    }
}

// VK12's factory points taken with the mutual inductance box: left alone the box is set to each point and
// the calibration ends quietly; held off the bottom by the console, the module reports a calibration error.
TEST(SimCalibration, InductanceFactoryPointsNeedTheBoxAtTheirValues) {
    for (const bool off : {false, true}) {
        test::EnglishScreen english;
        SimRig rig(12);
        InductanceCalibration w(*rig.device);
        test::WizardTexts texts(w);
        w.start();
        w.code_page().code = "852";
        w.press_next();
        w.code_page().type = CalibrationVI::CPage1VI::kFactory;
        w.press_next();
        ASSERT_EQ(w.current_index(), InductanceCalibration::kMinPage);
        texts.record();
        EXPECT_NE(rig.console("quantity").find("box = "), std::string::npos);
        if (off) rig.console("quantity box 3");
        w.press_next();
        if (off) rig.console("quantity box auto");
        EXPECT_NE(rig.console("quantity").find("heading for 10.000"), std::string::npos);
        w.press_next();
        w.press_finish();
        EXPECT_EQ(w.outcome(), Outcome::Finished);
        if (off) {
            ASSERT_EQ(rig.ui.messages().size(), 1u);
            EXPECT_EQ(rig.ui.messages()[0].text, "Ошибка калибровки!");
        } else {
            EXPECT_TRUE(rig.ui.messages().empty());
        }
        test::expect_english(texts.texts, "inductance factory");
        rig.expect_english_messages("inductance factory");
    }
}

// The user calibration of a strain-gauge channel with the bridge's signal held by the console, then the
// tare weight taken at a third signal.
TEST(SimCalibration, StrainGaugeUserCalibrationAndTareFollowTheSignal) {
    using CalibrationTD::CPage1VI;
    struct Case {
        int model;
        int channel;
        double m1, m2;  // mV at the lower and upper point
    };
    for (const Case c : {Case{13, 0, 0.5, 12.5}, Case{14, 2, -1.0, 15.0}}) {
        test::EnglishScreen english;
        SimRig rig(c.model);
        const int channels = c.model == 14 ? 4 : 1;
        CalibrationTD::CSheetTD w(*rig.device, &rig.description, channels);
        w.readings().set_threaded(false);
        test::WizardTexts texts(w);
        w.start();
        test::expect_english(w.first_page().channels(), "strain gauge");
        test::expect_english(w.first_page().types(), "strain gauge");
        w.first_page().code = "417";
        w.press_next();
        w.first_page().type = CPage1VI::kUser;
        w.first_page().channel = channels > 1 ? c.channel : -1;
        w.press_next();
        ASSERT_EQ(w.current_index(), CalibrationTD::CSheetTD::kUserMinPage);
        for (const bool upper : {false, true}) {
            rig.console("quantity input " + platform::fixed(upper ? c.m2 : c.m1, 3));
            w.readings().read_once();
            rig.ui.run_posted();
            auto& page = w.user_page(upper);
            page.percent_text = upper ? "100" : "0";
            page.value_text = upper ? "50" : "0";
            texts.record();
            w.press_next();
        }
        w.press_finish();
        EXPECT_EQ(w.outcome(), Outcome::Finished)
            << c.model << (rig.ui.messages().empty() ? std::string() : " " + rig.ui.messages().back().text);
        const std::vector<std::string> sensitivities =
            test::list_items(w.sensitivity_parameter(c.channel)->data_type());
        test::expect_english(texts.texts, "strain gauge", sensitivities);
        rig.expect_english_messages("strain gauge");
        const std::string at = c.model == 14 ? ":" + std::to_string(c.channel) : "";
        EXPECT_EQ(rig.kept("zu.fn" + at), fmt3(c.m1));
        EXPECT_EQ(rig.kept("zu.fx" + at), fmt3(c.m2));
        EXPECT_EQ(rig.kept("v.min" + at), "0.000");
        EXPECT_EQ(rig.kept("v.max" + at), "50.000");

        // A quarter of the way between the points weighs a quarter of the range.
        rig.console("quantity input " + platform::fixed(c.m1 + (c.m2 - c.m1) / 4, 3));
        TareWeightController tare(*rig.device, &rig.description, channels, {});
        tare.channel = c.channel;
        tare.read_weight();
        EXPECT_EQ(tare.weight_text(), "12.500") << c.model;
        EXPECT_TRUE(tare.take_tare());
        Parameter* stored = rig.description.find_parameter("p.wgh", c.channel);
        ASSERT_NE(stored, nullptr);
        EXPECT_EQ(stored->value_text(), "12.500");
        // Once the module subtracts the tare, the load on the gauge weighs nothing.
        Parameter subtract("Tr.on");
        subtract.set_data_type("Нет:Да");
        subtract.indexed = c.model == 14;
        subtract.network_index = c.channel;
        subtract.SetValueText("Да");
        ASSERT_EQ(rig.device->write_parameter(subtract, 1), 0) << subtract.error_text;
        tare.read_weight();
        EXPECT_EQ(tare.weight_text(), "0.000") << c.model;
    }
}

// Left alone, the signal drifts to what each user step asks for: no load, then half the range.
TEST(SimCalibration, StrainGaugeSignalFollowsTheUserStepsByItself) {
    SimRig rig(13);
    CalibrationTD::CSheetTD w(*rig.device, &rig.description, 1);
    w.readings().set_threaded(false);
    w.start();
    w.first_page().code = "417";
    w.press_next();
    w.first_page().type = CalibrationTD::CPage1VI::kUser;
    w.press_next();
    for (const bool upper : {false, true}) {
        // The console tells where the signal is heading; a person waits for steady readings.
        EXPECT_NE(rig.console("quantity").find(upper ? "heading for 17.500" : "heading for 0.000"),
                  std::string::npos);
        ASSERT_TRUE(pump(rig.ui, [&] {
            w.readings().read_once();
            rig.ui.run_posted();
            return std::abs((upper ? w.M2 : w.M1) - (upper ? 17.5f : 0.0f)) < 0.1f;
        })) << upper;
        w.user_page(upper).percent_text = upper ? "100" : "0";
        w.user_page(upper).value_text = upper ? "1000" : "0";
        w.press_next();
    }
    EXPECT_NEAR(w.M1, 0.0, 0.1);
    EXPECT_NEAR(w.M2, 17.5, 0.1);  // half of the default ±35 mV
    w.press_finish();
    EXPECT_EQ(w.outcome(), Outcome::Finished);
}

// The factory calibration of the ±15 mV range: left alone the signal is at each end when its command comes;
// held away from the minimum by the console, the module reports a calibration error and the page stays.
TEST(SimCalibration, StrainGaugeFactoryCalibrationNeedsTheSignalAtTheEnds) {
    for (const bool off : {false, true}) {
        test::EnglishScreen english;
        SimRig rig(13);
        CalibrationTD::CSheetTD w(*rig.device, &rig.description, 1);
        w.settle_delay = 1ms;
        test::WizardTexts texts(w);
        w.start();
        w.first_page().code = "417";
        w.press_next();
        w.first_page().type = CalibrationTD::CPage1VI::kFactory;
        w.first_page().sensitivity = 2;  // ±15 mV
        w.press_next();
        ASSERT_EQ(w.current_index(), CalibrationTD::CSheetTD::kFactoryMinPage);
        EXPECT_NE(rig.console("quantity").find("heading for -15.000"), std::string::npos);
        if (off) rig.console("quantity input -12");
        w.press_next();
        w.timer_fired(CalibrationTD::CSheetTD::kSettleTimer);
        if (off) rig.console("quantity input auto");
        EXPECT_NE(rig.console("quantity").find("heading for 15.000"), std::string::npos);
        w.press_next();
        w.timer_fired(CalibrationTD::CSheetTD::kSettleTimer);
        w.press_finish();
        EXPECT_EQ(rig.kept("Sens"), "±15 мВ");
        if (off) {
            EXPECT_EQ(w.outcome(), Outcome::Running);
            EXPECT_EQ(rig.ui.messages().back().text, "Ошибка калибровки!");
        } else {
            EXPECT_EQ(w.outcome(), Outcome::Finished);
            EXPECT_TRUE(rig.ui.messages().empty());
        }
        test::expect_english(texts.texts, "strain gauge factory");
        rig.expect_english_messages("strain gauge factory");
    }
}

// Two pH points: left alone the electrode measures each buffer and its slope is ideal; held by the console
// at other values, the module reports the slope those readings imply.
TEST(SimCalibration, PhTwoPointCalibrationReportsTheElectrodesSlope) {
    struct Case {
        std::vector<std::string> held;  // pH held in each buffer, none: left alone
        const char* message;
    };
    const Case cases[] = {
        {{}, "Deviation of the pH slope: 1.00"},
        // (9.12 - 4.05) / (9.18 - 4.01)
        {{"4.05", "9.12"}, "Deviation of the pH slope: 0.98"},
        // (9.0 - 4.1) / (9.18 - 4.01), outside the limits
        {{"4.1", "9.0"}, "Deviation of the pH slope: 0.95.\n\nThe electrode pair is out of its limits."},
    };
    for (const Case& c : cases) {
        test::EnglishScreen english;
        SimRig rig(18);
        std::optional<test::WizardTexts> texts;
        ASSERT_TRUE(rig.model().CanCalibrate());
        std::string title;
        rig.ui.calibration_wizard_driver = [&](CalibrationWizard& wizard) {
            auto& w = dynamic_cast<CalibrationPH::CSheetPH&>(wizard);
            w.readings().set_threaded(false);
            texts.emplace(w);
            w.code_page().code = "629";
            rig.ui.push_answer(Answer::Yes);
            w.press_next();
            w.code_page().calibration = 0;
            w.code_page().points = 1;  // two points
            w.press_next();
            for (std::size_t point = 0; point < 2; ++point) {
                if (!c.held.empty()) rig.console("quantity pH " + c.held[point]);
                static_cast<CalibrationPH::CStepPage&>(w.current_page()).buffer =
                    point == 0 ? "4.01" : "9,18";
                w.press_next();
                for (int round = 0; round < 20 && w.timers().contains(CalibrationPH::CSheetPH::kStepTimer);
                     ++round) {
                    w.readings().read_once();
                    rig.ui.run_posted();
                }
            }
            title = w.current_page().title();
            w.press_finish();
        };
        calibrate_model(rig.model());
        EXPECT_EQ(title, "Сохранение коэффициентов");
        ASSERT_FALSE(rig.ui.messages().empty());
        EXPECT_EQ(rig.ui.messages().back().text.rfind(c.message, 0), 0u) << rig.ui.messages().back().text;
        test::expect_english(texts->texts, "pH");
        // The confirmation lists parameters by their descriptions, which stay as the model gives them.
        ASSERT_FALSE(rig.ui.questions().empty());
        EXPECT_TRUE(rig.ui.questions()[0].ends_with("Are these parameters right?")) << rig.ui.questions()[0];
        // The electrode sits in the second buffer now: left alone, the module's reading heads for its pH.
        if (c.held.empty()) {
            EXPECT_NE(rig.console("quantity").find("heading for 9.180"), std::string::npos);
        }
    }
}

// The input of channel 1 heads for the start of the sensor's range for the offset and for its end for the
// scale; held by the console, the module measures what it holds.
TEST(SimCalibration, OffsetAndScaleRunToTheSavePage) {
    struct Case {
        int model;
        int sensor;
        const char* heading;
    };
    for (const Case c : {Case{7, 3, "V, heading for 10.000"}, Case{17, 1, "mA, heading for 5.000"}}) {
        test::EnglishScreen english;
        SimRig rig(c.model);
        std::string title;
        std::vector<std::string> heading;
        std::optional<test::WizardTexts> texts;
        rig.ui.calibration_wizard_driver = [&](CalibrationWizard& wizard) {
            auto& w = dynamic_cast<OffsetScaleCalibration&>(wizard);
            texts.emplace(w);
            w.code_page().code = "738";
            w.press_next();
            w.code_page().sensor = c.sensor;
            w.press_next();
            for (int step = 0; step < 2; ++step) {
                heading.push_back(rig.console("quantity"));
                w.press_next();
                w.timer_fired(CalibrationWizard::kFirstPollTimer);
            }
            heading.push_back(rig.console("quantity"));
            title = w.current_page().title();
            w.press_finish();
        };
        calibrate_model(rig.model());
        EXPECT_EQ(title, "Шаг 4") << c.model;
        EXPECT_TRUE(rig.ui.messages().empty()) << c.model;
        test::expect_english(texts->texts, "offset and scale");
        ASSERT_EQ(heading.size(), 3u);
        EXPECT_NE(heading[0].find("heading for 0.000"), std::string::npos) << heading[0];
        EXPECT_NE(heading[1].find(c.heading), std::string::npos) << heading[1];

        rig.console("quantity input 4.5");
        Parameter input("iRD");
        input.set_data_type("float");
        ASSERT_EQ(rig.device->read_parameter(input, false), 0) << input.error_text;
        EXPECT_EQ(input.value_text(), "4.500");
    }
}

// The engineer reads each output on the reference instrument (the console's "output") and types the code
// that brings it to the point: the codes kept are the ones the simulated output needs.
TEST(SimCalibration, OutputCodesAreTheOnesTheOutputNeedsForEachPoint) {
    const auto output_now = [](SimRig& rig) {
        const std::string reply = rig.console("quantity");
        const auto at = reply.find("output = ");
        const auto value =
            at == std::string::npos ? std::nullopt : platform::leading_double(reply.substr(at + 9));
        return value ? value->value : -1.0;
    };
    for (const int model : {1, 2}) {
        SimRig rig(model);
        calibration::OutputCalibration c(*rig.device, rig.options, rig.model());
        c.wait = [](std::chrono::milliseconds) {};
        c.open();
        ASSERT_GE(c.entries().size(), 2u) << model;
        for (const int entry : {0, 1}) {
            const double target = entry == 0 ? 4.0 : 20.0;
            c.choose(entry);
            ASSERT_EQ(c.current(),
                      std::optional<int>(c.entries()[static_cast<std::size_t>(entry)].coefficient));
            EXPECT_NEAR(output_now(rig), sim::CalibrationPhysics::output_at(c.value()), 1e-3) << model;
            // The instrument's reading and the output's slope give the code; a step of 2 checks the slope.
            c.step(2);
            const double slope = (sim::CalibrationPhysics::output_at(c.value()) -
                                  sim::CalibrationPhysics::output_at(c.value() - 2)) /
                                 2;
            const int code = c.value() + static_cast<int>(std::lround((target - output_now(rig)) / slope));
            ASSERT_TRUE(c.edit(std::to_string(code)));
            EXPECT_NEAR(output_now(rig), target, slope) << model << " " << target;
        }
        c.finish();
        EXPECT_TRUE(c.closed());
        EXPECT_EQ(rig.kept("CLB.K:0"), "796") << model;
        EXPECT_EQ(rig.kept("CLB.K:1"), "4006") << model;
        EXPECT_NE(rig.console("quantity").find("output = 0.000"), std::string::npos);
    }
}

// VK00 and VK08: a type-1 run from the method choice to its closing text; the gain the module finds and
// stores is its own correction, scaled when the reference applied is off the nominal signal.
TEST(SimCalibration, GenericRunStoresTheGainTheReferenceImplies) {
    struct Views : calibration::CalibrationViews {
        int shown = 0;
        std::vector<std::string> messages;
        bool choose_method(calibration::MethodChoice& choice) override {
            if (shown++ > 0) return false;
            choice.set_method(1);
            choice.set_sensor(1);
            return choice.press_continue(std::to_string(calibration::access_code(1))) ==
                   calibration::MethodChoice::Outcome::Accepted;
        }
        void run(calibration::CalibrationRun& run) override {
            run.wait = [](int) {};
            for (int presses = 0; !run.closed() && run.continue_enabled() && presses < 20; ++presses) {
                run.press_continue();
                messages.push_back(run.message());
            }
        }
    };
    struct Case {
        int model;
        const char* reference;  // held by the console, nullptr: left alone
        const char* gain;       // 1.0025 * 100 / reference
    };
    for (const Case c :
         {Case{0, nullptr, "1.002500"}, Case{8, nullptr, "1.002500"}, Case{0, "101", "0.992574"}}) {
        SimRig rig(c.model);
        if (c.reference) rig.console(std::string("quantity reference ") + c.reference);
        Views views;
        calibration::GenericCalibration(rig.model(), *rig.device).run(views);
        ASSERT_EQ(views.messages.size(), 4u) << c.model;
        EXPECT_NE(views.messages[0].find("Юстировочные коэффициенты найдены и сохранены в приборе."),
                  std::string::npos)
            << views.messages[0];
        EXPECT_EQ(views.messages[1], "Значение коэффициента:  " + std::string(c.gain) +
                                         "\n\nЮстировка прошла успешно\n\nНажмите на кнопку «Продолжить»");
        EXPECT_EQ(views.messages[2], "Юстировка НСХ преобразования успешно завершена. ");
    }
}

}  // namespace
}  // namespace varda
