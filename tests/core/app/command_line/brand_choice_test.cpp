// Which brand the program runs as: the command line, the stored choice and the menu's switch; and what
// the whole-tree commands say while no module is connected.
#include "core/app/command_line/brand_choice.h"

#include <gtest/gtest.h>

#include "core/app/command_line/command_line.h"
#include "core/app/command_line/headless_ui.h"
#include "core/app/connection/device_selection.h"
#include "core/app/document/document.h"
#include "core/platform/settings_store.h"
#include "sim/in_process_backend.h"
#include "sim/model_module.h"
#include "tests/support/model_fixture.h"

namespace varda {
namespace {

TEST(BrandChoice, CommandLineThenStoredThenRestricted) {
    struct Case {
        std::vector<std::string> args;
        std::optional<std::string> stored;
        BrandId expected;
        std::string stored_after;  // "" when nothing may be stored
    };
    const Case cases[] = {
        {{}, std::nullopt, BrandId::Ravelin, ""},
        {{}, "kest", BrandId::Kest, "kest"},
        {{}, "acme", BrandId::Ravelin, "acme"},  // a damaged setting falls back and is left alone
        {{"-brand:kest"}, std::nullopt, BrandId::Kest, "kest"},
        {{"-brand:KEST"}, "ravelin", BrandId::Kest, "kest"},
        {{"-brand:ravelin"}, "kest", BrandId::Ravelin, "ravelin"},
    };
    for (const Case& c : cases) {
        MemorySettingsStore store;
        if (c.stored) store.set_string(kSettingsGroup, "brand", *c.stored);
        const CommandLine cl = parse_command_line(c.args);
        ASSERT_TRUE(cl.errors.empty());
        const std::string what = c.args.empty() ? "stored " + c.stored.value_or("none") : c.args[0];
        EXPECT_EQ(start_brand(cl, store), c.expected) << what;
        EXPECT_EQ(store.get_string(kSettingsGroup, "brand").value_or(""), c.stored_after) << what;
    }
}

TEST(BrandChoice, TheSwitchIsKeptAndDecidesTheModelsListed) {
    MemorySettingsStore store;
    const BrandId full = toggled_brand(stored_brand(store));
    ASSERT_EQ(full, BrandId::Kest);
    store_brand(store, full);
    EXPECT_EQ(stored_brand(store), BrandId::Kest);
    EXPECT_EQ(toggled_brand(full), BrandId::Ravelin);

    EXPECT_EQ(brand_object(BrandId::Kest).id(), BrandId::Kest);
    EXPECT_EQ(device_selection_names(brand_object(BrandId::Kest)).size(), 23u);
    EXPECT_EQ(device_selection_names(brand_object(BrandId::Ravelin)).size(), 13u);
}

// A VK03 tree over a simulated VK03 whose port is open, before and after the module is identified.
struct OfflineDocument : ::testing::Test {
    void SetUp() override {
        set_ui(&ui);
        test::serve_archived_model(*module, 3);
        doc = test::load_model_document(3, options, std::make_unique<sim::InProcessBackend>(module));
        doc->device().finish_grace = std::chrono::milliseconds(0);
        test::open_sim_port(doc->device());
    }
    void TearDown() override {
        doc.reset();
        set_ui(nullptr);
    }
    HeadlessUi ui{true};
    Options options;
    std::shared_ptr<sim::SimulatedModule> module = std::make_shared<sim::SimulatedModule>();
    std::unique_ptr<CTarnDoc> doc;
};

TEST_F(OfflineDocument, WholeTreeCommandsSayTheyCannotWorkOffline) {
    ASSERT_TRUE(doc->offline());
    const std::pair<const char*, bool (CTarnDoc::*)()> commands[] = {
        {"Read all", &CTarnDoc::read_all},
        {"Write all", &CTarnDoc::write_all},
        {"Write changes", &CTarnDoc::write_changes},
        {"Compare", &CTarnDoc::compare},
    };
    for (const auto& [name, command] : commands) {
        module->clear_log();
        EXPECT_FALSE(((*doc).*command)()) << name;
        ASSERT_FALSE(ui.messages().empty()) << name;
        EXPECT_EQ(ui.messages().back().text.rfind(std::string(name) + " cannot work offline", 0), 0u)
            << ui.messages().back().text;
        EXPECT_TRUE(ui.exchange_titles().empty()) << name;  // no exchange ran
        EXPECT_TRUE(module->log().empty()) << name;         // nothing went to the line
    }

    // Once the module is identified the same command reads.
    ASSERT_EQ(doc->device().identify(false), Identification::KnownModel);
    EXPECT_FALSE(doc->offline());
    const auto said = ui.messages().size();
    EXPECT_TRUE(doc->read_all());
    EXPECT_EQ(ui.messages().size(), said);
}

}  // namespace
}  // namespace varda
