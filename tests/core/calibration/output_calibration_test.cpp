// Calibration of the analog outputs of VK01 and VK02 against a simulated module: which coefficients are
// offered, what choosing, stepping, editing and finishing send, and what the engineer is told.
#include "core/calibration/output_calibration.h"
#include "core/app/service/model_calibration.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "core/app/command_line/headless_ui.h"
#include "core/app/document/document.h"
#include "core/devices/base_device.h"
#include "core/model/description_archive.h"
#include "core/model/device_table.h"
#include "core/model/parameter.h"
#include "core/platform/language.h"
#include "core/platform/settings_store.h"
#include "core/platform/strings.h"
#include "core/protocol/frame_codec.h"
#include "sim/in_process_backend.h"
#include "sim/model_module.h"
#include "tests/support/model_fixture.h"

namespace varda {
namespace {

using namespace std::chrono_literals;
using calibration::OutputCalibration;
using Strings = std::vector<std::string>;

constexpr int kVk01 = 1;
constexpr int kVk02 = 2;

// A document of the model whose port leads to a simulated module of that model.
struct Rig {
    explicit Rig(int model, bool read_automatically = true)
        : module(std::make_shared<sim::SimulatedModule>()) {
        store.set_string(kSettingsGroup, "port", "sim");
        set_settings_store(&store);
        set_ui(&ui);
        options.read_automatically = read_automatically;
        test::serve_archived_model(*module, model);
        doc = test::load_model_document(model, options, std::make_unique<sim::InProcessBackend>(module));
        EXPECT_EQ(doc->device().open_with_settings(false), OpenResult::Opened);
        module->clear_log();
    }
    ~Rig() {
        doc.reset();
        set_ui(nullptr);
        set_settings_store(nullptr);
    }

    CBaseDevice& model() { return *doc->device_model(); }
    Parameter* tree(std::string_view name, int index) {
        return doc->description().find_parameter(name, index);
    }

    // The calibration, opened, with its waits recorded instead of slept.
    OutputCalibration& open() {
        calibration = std::make_unique<OutputCalibration>(doc->device(), options, model());
        calibration->wait = [this](std::chrono::milliseconds d) { waits.push_back(d); };
        calibration->open();
        module->clear_log();
        return *calibration;
    }

    // The module's coefficient with changed attributes (access 0: not editable).
    void set_attributes(int coefficient, int access, int user) {
        sim::Entry e = *module->entry("CLB.K", coefficient);
        e.access = access;
        e.user = user;
        module->add(e);
    }

    // The requests the module received since the log was cleared, as "R name" and "W name value": the value
    // of a "CLB.K" or "CLB.I" write, the attribute byte of an attribute write.
    Strings requests() const {
        static const std::map<std::uint16_t, std::string> names = {{hash_name("CLB.K"), "CLB.K"},
                                                                   {hash_name("CLB.I"), "CLB.I"},
                                                                   {hash_name("CLB.A"), "CLB.A"},
                                                                   {hash_name("M.s.t.r."), "M.s.t.r."},
                                                                   {hash_name("out.t"), "out.t"}};
        Strings out;
        for (const test::ReceivedRequest& r : test::received_requests(*module)) {
            if (r.bytes.size() < 6) continue;
            const auto it = names.find(r.hash);
            std::string text = std::string(r.read ? "R " : "W ") + (it == names.end() ? "?" : it->second);
            if (!r.read && it != names.end()) {
                const std::uint8_t* data = r.bytes.data() + 4;
                if (it->second == "M.s.t.r.") {
                    text += " " + std::to_string(data[0]);
                } else if (it->second == "CLB.K" || it->second == "CLB.I") {
                    const std::size_t value_bytes = it->second == "CLB.K" ? r.length - 2 : r.length;
                    long v = 0;
                    for (std::size_t i = 0; i < value_bytes; ++i)
                        v = v << 8 | data[i];
                    text += " " + std::to_string(v);
                }
            }
            out.push_back(text);
        }
        return out;
    }
    Strings messages() const { return test::message_texts(ui); }
    int module_code(int coefficient) const { return std::stoi(*module->value("CLB.K", coefficient)); }

    MemorySettingsStore store;
    HeadlessUi ui{true};
    Options options;
    std::shared_ptr<sim::SimulatedModule> module;
    std::unique_ptr<CTarnDoc> doc;
    std::unique_ptr<OutputCalibration> calibration;
    std::vector<std::chrono::milliseconds> waits;
};

// Writing the current coefficient of an editable coefficient: read it, write the value without
// attributes, write the attributes back (read/write, user "unknown": byte 3) with the value.
Strings write_of(int value) {
    return {"R M.s.t.r.", "R CLB.K", "W CLB.K " + std::to_string(value), "W M.s.t.r. 3",
            "W CLB.K " + std::to_string(value)};
}

// Choosing coefficient n: read it with its attributes, then drive the output at that point.
Strings choice_of(int n) {
    return {"R M.s.t.r.", "R CLB.K", "W CLB.I " + std::to_string(n)};
}

Strings operator+(Strings a, const Strings& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Strings entry_texts(const OutputCalibration& c) {
    Strings out;
    for (const auto& e : c.entries())
        out.push_back(e.text + "=" + std::to_string(e.coefficient));
    return out;
}

TEST(OutputCalibration, ListsTheTwoPointsOfEveryOutputThatIsNotDiscrete) {
    struct Case {
        const char* what;
        int model;
        bool read_automatically;
        std::map<int, std::string> module_types;  // output index -> the module's type
        std::map<int, std::string> tree_types;    // output index -> the type already read
        int entries;
        Strings first_and_last;
        int type_reads;
    };
    const Case cases[] = {
        {"VK01, all outputs analog, types read first",
         kVk01,
         true,
         {},
         {},
         16,
         {"K4  выхода №1=0", "K20 выхода №8=15"},
         8},
        {"VK02 has six outputs", kVk02, true, {}, {}, 12, {"K4  выхода №1=0", "K20 выхода №6=11"}, 6},
        {"discrete outputs are left out",
         kVk01,
         true,
         {{0, "Дискретный"}, {7, "Дискретный"}},
         {},
         12,
         {"K4  выхода №2=2", "K20 выхода №7=13"},
         8},
        {"a type already read is not read again, in any letter case",
         kVk02,
         true,
         {},
         {{5, "дИСКРЕТНЫЙ"}},
         10,
         {"K4  выхода №1=0", "K20 выхода №5=9"},
         5},
        {"without automatic reading an unread type is listed",
         kVk01,
         false,
         {{3, "Дискретный"}},
         {},
         16,
         {"K4  выхода №1=0", "K20 выхода №8=15"},
         0},
    };
    for (const Case& c : cases) {
        Rig rig(c.model, c.read_automatically);
        for (const auto& [index, type] : c.module_types)
            rig.module->set_value("out.t", index, type);
        for (const auto& [index, type] : c.tree_types)
            rig.tree("out.t", index)->SetValueText(type);
        rig.module->clear_log();
        OutputCalibration calibration(rig.doc->device(), rig.options, rig.model());
        calibration.open();
        const Strings texts = entry_texts(calibration);
        ASSERT_EQ(static_cast<int>(texts.size()), c.entries) << c.what;
        EXPECT_EQ((Strings{texts.front(), texts.back()}), c.first_and_last) << c.what;
        const Strings sent = rig.requests();
        EXPECT_EQ(std::count(sent.begin(), sent.end(), "R out.t"), c.type_reads) << c.what;
        EXPECT_EQ(rig.tree("out.t", 0)->value_text() != str(kNoData), c.read_automatically) << c.what;
        EXPECT_FALSE(calibration.current()) << c.what;
        EXPECT_FALSE(calibration.controls_enabled()) << c.what;
    }
}

TEST(OutputCalibration, TheModelsCalibrateThroughTheirDeviceAndCloseTheDialogAsAWindowWould) {
    for (const int model : {kVk01, kVk02}) {
        Rig rig(model);
        rig.module->set_value("CLB.K", 1, "4000");
        std::size_t listed = 0;
        rig.ui.output_calibration_driver = [&](OutputCalibration& c) {
            listed = c.entries().size();
            c.wait = [&](std::chrono::milliseconds d) { rig.waits.push_back(d); };
            rig.module->clear_log();
            c.choose(1);
            c.step(-2);
        };
        EXPECT_TRUE(rig.model().CanCalibrate());
        calibrate_model(rig.model());
        EXPECT_EQ(rig.ui.output_calibrations_shown, 1);
        EXPECT_EQ(listed, OutputCalibration::output_count(model) * 2u);
        // Left open by the driver, the dialog is finished: the coefficient written and calibration ended.
        EXPECT_EQ(rig.requests(), choice_of(1) + write_of(3998) + write_of(3998) + Strings{"R CLB.A"});
        EXPECT_EQ(rig.module_code(1), 3998);
        EXPECT_EQ(rig.waits, std::vector{OutputCalibration::kEndDelay});
    }
}

TEST(OutputCalibration, ChoosingAnEntryWritesTheCurrentCoefficientThenStartsTheChosenPoint) {
    Rig rig(kVk01);
    rig.module->set_value("CLB.K", 3, "3900");
    rig.module->set_value("CLB.K", 4, "812");
    OutputCalibration& c = rig.open();

    c.choose(3);  // K20 of output 2
    EXPECT_EQ(rig.requests(), choice_of(3));
    EXPECT_EQ(c.current(), 3);
    EXPECT_EQ(c.current_entry(), 3);
    EXPECT_EQ(c.value(), 3900);
    EXPECT_TRUE(c.controls_enabled());

    rig.module->clear_log();
    c.choose(4);
    EXPECT_EQ(rig.requests(), write_of(3900) + choice_of(4));
    EXPECT_EQ(c.value(), 812);
    EXPECT_TRUE(rig.messages().empty());
    EXPECT_FALSE(c.closed());
}

TEST(OutputCalibration, StepsMoveTheCodeWithinItsRangeAndEditsAreChecked) {
    struct Case {
        int start;
        int delta;
        int result;  // the start value when the step is ignored
    };
    const Case cases[] = {{2000, -2, 1998},  {2000, 2, 2002},  {2000, -5, 1995}, {2000, 5, 2005},
                          {2000, -10, 1990}, {2000, 10, 2010}, {10, -10, 0},     {4085, 10, 4095},
                          {1, -2, 1},        {4094, 2, 4094},  {4, -5, 4},       {4090, 10, 4090}};
    for (const Case& s : cases) {
        Rig rig(kVk02);
        rig.module->set_value("CLB.K", 1, std::to_string(s.start));
        OutputCalibration& c = rig.open();
        c.choose(1);
        rig.module->clear_log();
        c.step(s.delta);
        EXPECT_EQ(c.value(), s.result) << s.start << " " << s.delta;
        EXPECT_EQ(rig.module_code(1), s.result) << s.start << " " << s.delta;
        EXPECT_EQ(rig.requests(), s.result == s.start ? Strings{} : write_of(s.result))
            << s.start << " " << s.delta;
    }

    Rig rig(kVk02);
    OutputCalibration& c = rig.open();
    EXPECT_FALSE(c.edit("100"));  // nothing is current yet
    c.choose(0);
    rig.module->clear_log();
    for (const char* bad : {"4096", "-1", "12x", "", "1.5", " "}) {
        EXPECT_FALSE(c.edit(bad)) << bad;
        EXPECT_EQ(c.value(), 0) << bad;
    }
    EXPECT_TRUE(rig.requests().empty());
    EXPECT_TRUE(c.edit(" 4095 "));
    EXPECT_EQ(rig.requests(), write_of(4095));
    EXPECT_EQ(rig.module_code(0), 4095);
}

TEST(OutputCalibration, ANonEditableCoefficientIsMadeEditableForEachWriteWhenTheEngineerGoesOn) {
    Rig rig(kVk01);
    rig.set_attributes(5, 0, 1);  // read-only, "Company"
    rig.module->set_value("CLB.K", 5, "4000");
    OutputCalibration& c = rig.open();
    rig.ui.push_answer(Answer::Yes);
    c.choose(5);

    EXPECT_EQ(rig.ui.questions(),
              Strings{"Предупреждение:\nУ параметра CLB.K:5 установлен атрибут 'Нередактируемый'.\n\n"
                      "Продолжить юстировку?"});
    EXPECT_EQ(rig.requests(),
              (Strings{"R M.s.t.r.", "R CLB.K", "W M.s.t.r. 3", "W CLB.K 4000", "W CLB.I 5"}));
    EXPECT_EQ(rig.module->entry("CLB.K", 5)->access, 1);
    EXPECT_EQ(c.current(), 5);

    rig.module->clear_log();
    c.step(-10);
    // Made editable, the value written without attributes, then the remembered attributes (byte 0).
    EXPECT_EQ(rig.requests(), (Strings{"R M.s.t.r.", "R CLB.K", "W M.s.t.r. 3", "W CLB.K 4000",
                                       "W CLB.K 3990", "W M.s.t.r. 0", "W CLB.K 3990"}));
    EXPECT_EQ(rig.module_code(5), 3990);
    EXPECT_EQ(rig.module->entry("CLB.K", 5)->access, 0);
    EXPECT_EQ(rig.module->entry("CLB.K", 5)->user, 1);
    EXPECT_TRUE(rig.messages().empty());
}

// Under English the points and the question read English around the module's names.
TEST(OutputCalibration, PointsAndQuestionReadEnglishUnderEnglish) {
    struct Restore {
        ~Restore() { set_text_language(Language::as_written); }
    } restore;
    set_text_language(Language::english);
    Rig rig(kVk01);
    rig.set_attributes(5, 0, 1);
    OutputCalibration& c = rig.open();
    ASSERT_FALSE(c.entries().empty());
    EXPECT_EQ(c.entries().front().text, "K4  of output #1");
    rig.ui.push_answer(Answer::No);
    c.choose(5);
    EXPECT_EQ(rig.ui.questions(),
              Strings{"Warning:\nThe parameter CLB.K:5 has the attribute 'Not editable'.\n\n"
                      "Continue the calibration?"});
}

TEST(OutputCalibration, DecliningANonEditableCoefficientEndsCalibrationAndCloses) {
    Rig rig(kVk01);
    rig.set_attributes(2, 0, 0);
    rig.module->set_value("CLB.K", 0, "7");
    OutputCalibration& c = rig.open();
    c.choose(0);
    rig.module->clear_log();
    rig.ui.push_answer(Answer::No);
    c.choose(2);

    EXPECT_EQ(rig.requests(), write_of(7) + Strings({"R M.s.t.r.", "R CLB.K", "R CLB.A"}));
    EXPECT_TRUE(c.closed());
    EXPECT_FALSE(c.current());
    EXPECT_EQ(rig.module->entry("CLB.K", 2)->access, 0);
    // Closing afterwards sends nothing more.
    rig.module->clear_log();
    c.finish();
    EXPECT_TRUE(rig.requests().empty());
    EXPECT_TRUE(rig.waits.empty());
}

TEST(OutputCalibration, FinishWritesTheCurrentCoefficientEndsCalibrationAndWaits) {
    Rig rig(kVk02);
    rig.module->set_value("CLB.K", 11, "3000");
    OutputCalibration& c = rig.open();
    c.choose(11);
    c.step(5);
    rig.module->clear_log();
    c.finish();
    EXPECT_EQ(rig.requests(), write_of(3005) + Strings{"R CLB.A"});
    EXPECT_EQ(rig.waits, std::vector{OutputCalibration::kEndDelay});
    EXPECT_EQ(OutputCalibration::kEndDelay, 500ms);
    EXPECT_TRUE(c.closed());

    // Without a current coefficient there is nothing to write or end.
    Rig idle(kVk02);
    OutputCalibration& d = idle.open();
    d.finish();
    EXPECT_TRUE(idle.requests().empty());
    EXPECT_TRUE(idle.waits.empty());
    EXPECT_TRUE(d.closed());
}

TEST(OutputCalibration, FailuresAreReportedWithTheModulesErrorText) {
    const std::string busy = error_reply_text(Bytes{0x41});
    const std::string read_only = error_reply_text(Bytes{0x03});

    {  // The chosen coefficient cannot be read: it does not become current, so its unknown value is never
       // written; the coefficient current before stays current.
        Rig rig(kVk01);
        rig.module->set_value("CLB.K", 0, "20");
        OutputCalibration& c = rig.open();
        c.choose(0);
        rig.module->clear_log();
        sim::Faults faults;
        faults.error_code = 0x41;
        faults.reply_faults_after = 5;  // the write of the current coefficient still goes through
        rig.module->reset_counters();
        rig.module->set_faults(faults);
        c.choose(1);
        EXPECT_EQ(rig.messages(), Strings{"Комманда чтения CLB.K вернула ошибку:\n" + busy});
        EXPECT_EQ(c.current(), 0);
        EXPECT_EQ(c.value(), 20);
        EXPECT_EQ(rig.requests(), write_of(20) + Strings{"R M.s.t.r."});

        // Nothing current at all: the controls stay off.
        Rig fresh(kVk01);
        OutputCalibration& d = fresh.open();
        fresh.module->set_faults(sim::Faults{.error_code = 0x41});
        d.choose(0);
        EXPECT_FALSE(d.controls_enabled());
        d.finish();
        EXPECT_EQ(fresh.requests(), Strings{"R M.s.t.r."});
    }
    {  // "CLB.I" refused: reported, and the coefficient, whose value is known, is current.
        Rig rig(kVk01);
        rig.module->add(
            {.name = "CLB.I", .type = "int", .value = "0", .read_only = true, .has_attributes = false});
        OutputCalibration& c = rig.open();
        c.choose(6);
        EXPECT_EQ(rig.messages(), Strings{"Комманда CLB.I вернула ошибку:\n" + read_only});
        EXPECT_EQ(c.current(), 6);
    }
    {  // Value write and "CLB.A" refused while finishing: both reported, no wait.
        Rig rig(kVk02);
        OutputCalibration& c = rig.open();
        c.choose(2);
        rig.module->set_faults(sim::Faults{.error_code = 0x41});
        c.finish();
        EXPECT_EQ(rig.messages(), (Strings{"Комманда записи CLB.K вернула ошибку:\n" + busy,
                                           "Комманда CLB.A вернула ошибку:\n" + busy}));
        EXPECT_EQ(rig.ui.messages()[0].icon, MessageIcon::Warning);
        EXPECT_TRUE(rig.waits.empty());
        EXPECT_TRUE(c.closed());
    }
    {  // Making a non-editable coefficient editable is refused.
        Rig rig(kVk01);
        rig.set_attributes(1, 0, 0);
        OutputCalibration& c = rig.open();
        rig.ui.push_answer(Answer::Yes);
        sim::Faults faults;
        faults.error_code = 0x07;
        faults.reply_faults_after = 2;  // the attribute and value reads are answered
        rig.module->reset_counters();
        rig.module->set_faults(faults);
        c.choose(1);
        EXPECT_EQ(rig.messages()[0], "Комманда записи CLB.K (для изменения атрибутов) вернула ошибку:\n" +
                                         error_reply_text(Bytes{0x07}));
    }
}

}  // namespace
}  // namespace varda
