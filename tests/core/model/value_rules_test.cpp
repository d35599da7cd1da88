// One rule for a value, typed or from a file: the description's range, what the type carries and the
// module's address settings.
#include "core/model/value_rules.h"

#include <gtest/gtest.h>

#include <unistd.h>
#include <algorithm>
#include <filesystem>

#include "core/app/command_line/headless_ui.h"
#include "core/app/document/document.h"
#include "core/app/files/config_file.h"
#include "core/model/device_table.h"
#include "core/platform/settings_store.h"
#include "core/platform/strings.h"
#include "sim/in_process_backend.h"
#include "sim/model_module.h"
#include "tests/support/model_fixture.h"

namespace varda {
namespace {

using namespace std::chrono_literals;

constexpr int kVk03 = 3;

// A VK03 document over its simulated module, its tree read from the module.
struct Vk03 {
    Vk03() : module(std::make_shared<sim::SimulatedModule>()) {
        store.set_string(kSettingsGroup, "port", "sim");
        set_settings_store(&store);
        set_ui(&ui);
        test::serve_archived_model(*module, kVk03);
        doc = test::load_model_document(kVk03, options, std::make_unique<sim::InProcessBackend>(module));
        doc->device().finish_grace = 0ms;
        EXPECT_EQ(doc->device().open_with_settings(false), OpenResult::Opened);
        doc->device().read_all(*doc->root());
    }
    ~Vk03() {
        doc.reset();
        set_ui(nullptr);
        set_settings_store(nullptr);
    }
    Parameter& parameter(const char* name, int index) {
        Parameter* p = doc->description().find_parameter(name, index);
        EXPECT_TRUE(p) << name;
        return *p;
    }

    MemorySettingsStore store;
    HeadlessUi ui{true};
    Options options;
    std::shared_ptr<sim::SimulatedModule> module;
    std::unique_ptr<CTarnDoc> doc;
};

struct RuleCase {
    const char* name;
    int index;
    const char* value;
    const char* why;  // a part of the refusal; nullptr when the value is allowed
};

const RuleCase kCases[] = {
    {"FiLt", 2, "300", "outside its range 0 to 255"},
    {"FiLt", 2, "-1", "outside its range 0 to 255"},
    {"FiLt", 2, "70000", "outside its range 0 to 255"},
    {"FiLt", 2, "255", nullptr},
    {"FiLt", 2, "twelve", "not a value of its type (int)"},
    {"t.out", 0, "256", "outside its range 0 to 255"},
    {"Addr", 0, "0", "outside its range 1 to 2036"},
    {"Addr", 0, "5000", "outside its range 1 to 2036"},
    {"Addr", 0, "255", "255 is the broadcast address"},
    {"Addr", 0, "300", "address settings"},  // 8-bit addresses
    {"Addr", 0, "254", nullptr},
    {"Addr", 0, "no data", nullptr},  // no value: never written, never refused
};

TEST(ValueRules, AFileValueIsRefusedWhereTheEditorRefusesIt) {
    Vk03 rig;
    for (const RuleCase& c : kCases) {
        Parameter& p = rig.parameter(c.name, c.index);
        const std::string before = p.value_text();
        p.SetValueText(c.value);
        const auto refused = refused_values(*rig.doc->root());
        p.SetValueText(before);
        // The editor takes a typed value exactly where the tree's rule does, but for the address settings,
        // which it checks against the network branch as well; "no data" is typed by no one.
        const bool no_value = c.value == std::string("no data");
        const bool range_only =
            std::string_view(c.name) != "Addr" || !c.why || std::string_view(c.why).starts_with("outside");
        if (!no_value && range_only) {
            EXPECT_EQ(p.AdmittedText(c.value).has_value(), c.why == nullptr) << c.name << " = " << c.value;
        }
        if (!c.why) {
            EXPECT_TRUE(refused.empty())
                << c.name << " = " << c.value << ": " << refused_value_text(refused.front());
            continue;
        }
        // An address the address length cannot carry makes the length refused as well.
        EXPECT_LE(refused.size(), std::string_view(c.name) == "Addr" ? 2u : 1u) << c.name << " = " << c.value;
        const auto own = std::find_if(refused.begin(), refused.end(),
                                      [&p](const RefusedValue& r) { return r.parameter == &p; });
        ASSERT_NE(own, refused.end()) << c.name << " = " << c.value;
        const std::string text = refused_value_text(*own);
        EXPECT_EQ(text.rfind(p.Label() + " = " + c.value + ": ", 0), 0u) << text;
        EXPECT_NE(text.find(c.why), std::string::npos) << text;
    }
}

// Opening a file in the window: a refused value is not taken; the parameter holds "no data", says why, and a
// write never sends it.
TEST(ValueRules, TheDocumentTakesNoRefusedValueFromAFile) {
    Vk03 rig;
    const auto file =
        std::filesystem::temp_directory_path() / ("varda-rules-" + std::to_string(getpid()) + ".vdc");
    rig.parameter("FiLt", 2).SetValueText("300");
    rig.parameter("Addr", 0).SetValueText("255");
    ASSERT_TRUE(rig.doc->save_file_reporting(file.string()).ok);

    const LoadResult loaded = rig.doc->load_file(file.string());
    std::filesystem::remove(file);
    ASSERT_EQ(loaded.status, LoadStatus::Loaded);
    ASSERT_EQ(loaded.refused.size(), 2u);
    Parameter& filter = rig.parameter("FiLt", 2);
    EXPECT_EQ(filter.value_text(), str(kNoData));
    EXPECT_NE(filter.error_text.find("300"), std::string::npos) << filter.error_text;
    EXPECT_EQ(rig.parameter("FiLt", 1).value_text(), "10");  // the rest as the file holds it

    rig.module->clear_log();
    rig.doc->device().write_all(*rig.doc->root());
    for (const auto& request : test::received_requests(*rig.module)) {
        if (request.read || request.hash != hash_name("FiLt")) continue;
        EXPECT_NE(request.bytes.back(), 2) << "FiLt:2 was written";
    }
    EXPECT_EQ(rig.module->value("FiLt", 2), "10");
}

}  // namespace
}  // namespace varda
