// The network-settings (APLY) dialog's logic against a simulated module: what it lists, how APLY goes
// out, and how the configurator follows the module's new settings.
#include "core/app/document/apply_settings.h"

#include <gtest/gtest.h>

#include "core/app/command_line/headless_ui.h"
#include "core/app/document/document.h"
#include "core/devices/base_device.h"
#include "core/model/description_archive.h"
#include "core/model/device_table.h"
#include "core/platform/settings_store.h"
#include "core/platform/strings.h"
#include "core/protocol/frame_codec.h"
#include "sim/in_process_backend.h"
#include "sim/model_module.h"
#include "tests/support/model_fixture.h"

namespace varda {
namespace {

using namespace std::chrono_literals;

constexpr int kVk03 = 3;
constexpr int kVk07 = 7;   // no data-bits setting
constexpr int kVk20 = 20;  // reports a failed APLY

// A document of the model whose port leads to a simulated module of that model. The configurator's own
// settings start at 9600 baud, address 16, in a store of the test's own.
struct Rig {
    explicit Rig(int model) : module(std::make_shared<sim::SimulatedModule>()) {
        store.set_string(kSettingsGroup, "port", "sim");
        set_settings_store(&store);
        set_ui(&ui);
        test::serve_archived_model(*module, model);
        auto port = std::make_unique<sim::InProcessBackend>(module);
        backend = port.get();
        doc = test::load_model_document(model, options, std::move(port));
        doc->device().finish_grace = 0ms;
        EXPECT_EQ(doc->device().open_with_settings(false), OpenResult::Opened);
        module->clear_log();
    }
    ~Rig() {
        doc.reset();
        set_ui(nullptr);
        set_settings_store(nullptr);
    }
    ObjectWithParameters& network() { return *doc->module_network(); }
    Elements::NetRS485prg& own() { return doc->device().program_network(); }
    ApplyController dialog() { return ApplyController(&doc->device(), doc->module_network()); }
    // The module's network element as a read of new settings leaves it.
    void module_takes(int baud, int address) {
        network().SetValue("bPS", std::to_string(baud));
        network().SetValue("Addr", std::to_string(address));
    }
    std::vector<std::string> frames_received() const {
        std::vector<std::string> frames;
        for (const sim::LogEntry& entry : module->log())
            if (entry.direction == sim::LogEntry::Direction::Received) frames.push_back(entry.frame);
        return frames;
    }

    MemorySettingsStore store;
    HeadlessUi ui{true};
    Options options;
    std::shared_ptr<sim::SimulatedModule> module;
    sim::InProcessBackend* backend = nullptr;
    std::unique_ptr<CTarnDoc> doc;
};

TEST(ApplySettingsText, ListsTheModuleSettingsWithDataBitsOnlyWhereTheModelHasThem) {
    struct Case {
        int model;
        const char* text;
    };
    for (const Case& c : {Case{kVk03,
                               "Baudrate: 57600\nData bits: 8\nParity: None\nStop bits: 2\nAddress bits: 8\n"
                               "Address: 17\n"},
                          Case{kVk07,
                               "Baudrate: 57600\nParity: None\nStop bits: 2\nAddress bits: 8\n"
                               "Address: 17\n"}}) {
        Rig rig(c.model);
        for (const auto& p : rig.network().parameters)
            p->SetValueText(p->initial_value_text);
        rig.module_takes(57600, 17);
        rig.network().SetValue("Sbit", "2");
        EXPECT_EQ(rig.dialog().settings_text(), c.text) << c.model;
    }
}

TEST(ApplySettingsText, SaysWhatIsMissing) {
    Rig rig(kVk03);
    EXPECT_EQ(ApplyController(nullptr, &rig.network()).settings_text(),
              "No data. Function APLY has not received information about the unit.\n\nApplication error");
    EXPECT_EQ(ApplyController(&rig.doc->device(), nullptr).settings_text(),
              "No data - element 'Network parameters' not initialized\n\nApplication error");
}

TEST(ApplySettingsOk, SendsAplyAndFollowsTheModuleWhenAsked) {
    struct Case {
        bool follow;
        bool broadcast;
    };
    for (const Case& c : {Case{true, false}, Case{false, false}, Case{true, true}, Case{false, true}}) {
        SCOPED_TRACE(testing::Message() << "follow " << c.follow << ", broadcast " << c.broadcast);
        Rig rig(kVk03);
        rig.module_takes(57600, 17);
        // As written to the module before: it takes them at APLY.
        rig.module->set_value("bPS", -1, "57600");
        rig.module->set_value("Addr", -1, "17");
        Parameter& aply = rig.doc->device_model()->GetApplyParameter();
        aply.address_offset = 2;  // its own offset, which a broadcast must not take away
        ApplyController dialog = rig.dialog();
        dialog.change_own_settings = c.follow;
        dialog.broadcast = c.broadcast;

        EXPECT_TRUE(dialog.ok());
        EXPECT_EQ(rig.module->aply_received(), 1);
        const std::string frame =
            build_request(false, kHashAply, {}, c.broadcast ? -1 : 2, Addressing{16, 8});
        EXPECT_EQ(rig.frames_received(), std::vector<std::string>{frame});
        EXPECT_EQ(aply.address_offset, 2);
        EXPECT_EQ(rig.own().GetValueText("bPS"), c.follow ? "57600" : "9600");
        EXPECT_EQ(rig.own().GetValueText("Addr"), c.follow ? "17" : "16");
        // The port follows only when the settings do.
        EXPECT_EQ(rig.backend->line_settings().baud_rate, c.follow ? 57600 : 9600);
        EXPECT_EQ(rig.doc->device().sio().settings.base_address, c.follow ? 17 : 16);
        EXPECT_TRUE(rig.ui.messages().empty());
        // The module took its new settings: only a configurator that followed still reaches it.
        EXPECT_EQ(rig.doc->device().identify(false) == Identification::KnownModel, c.follow);
    }
}

TEST(ApplySettingsOk, SettingNeverReadLeavesTheConfiguratorsOwn) {
    Rig rig(kVk03);
    rig.network().ResetValues();
    rig.network().SetValue("bPS", "19200");
    ASSERT_EQ(rig.network().GetValueText("Addr"), str(kNoData));
    rig.own().SetValue("Sbit", "2");

    EXPECT_TRUE(rig.dialog().ok());
    EXPECT_EQ(rig.own().GetValueText("bPS"), "19200");
    EXPECT_EQ(rig.own().GetValueText("Addr"), "16");
    EXPECT_EQ(rig.own().GetValueText("Sbit"), "2");
    EXPECT_EQ(rig.backend->line_settings().stop_bits, 2);
    EXPECT_EQ(rig.backend->line_settings().baud_rate, 19200);
}

TEST(ApplySettingsOk, FailedSendKeepsTheDialogOpenOnlyWhereTheModelReportsIt) {
    struct Case {
        int model;
        bool broadcast;
        bool reported;
    };
    for (const Case& c : {Case{kVk20, false, true}, Case{kVk20, true, true}, Case{kVk03, false, false},
                          Case{kVk03, true, false}}) {
        SCOPED_TRACE(testing::Message() << "model " << c.model << ", broadcast " << c.broadcast);
        Rig rig(c.model);
        rig.module_takes(57600, 17);
        rig.doc->device().sio().close();
        ApplyController dialog = rig.dialog();
        dialog.broadcast = c.broadcast;

        EXPECT_EQ(dialog.ok(), !c.reported);
        EXPECT_EQ(rig.module->aply_received(), 0);
        const auto messages = rig.ui.messages();
        if (c.reported) {
            ASSERT_EQ(messages.size(), 1u);
            EXPECT_EQ(messages[0].text, "Serial port opening error");
            EXPECT_EQ(messages[0].icon, MessageIcon::Error);
            EXPECT_EQ(messages[0].caption, str(kAppTitle));
            // Nothing was followed: the user may still cancel.
            EXPECT_EQ(rig.own().GetValueText("bPS"), "9600");
            EXPECT_FALSE(rig.doc->device().sio().is_open());
        } else {
            EXPECT_TRUE(messages.empty());
            EXPECT_EQ(rig.own().GetValueText("bPS"), "57600");
        }
    }
}

TEST(ApplySettingsOk, ModelWithItsOwnAplyValueReachesTheModule) {
    Rig rig(kVk20);
    rig.module_takes(57600, 17);
    ApplyController dialog = rig.dialog();
    dialog.broadcast = true;
    EXPECT_TRUE(dialog.ok());
    EXPECT_EQ(rig.module->aply_received(), 1);
    EXPECT_EQ(rig.backend->line_settings().baud_rate, 57600);
    EXPECT_TRUE(rig.ui.messages().empty())
        << (rig.ui.messages().empty() ? "" : rig.ui.messages().back().text);
}

TEST(ApplyNewSettings, InteractiveCommandRunsTheDialog) {
    for (const bool ok : {true, false}) {
        SCOPED_TRACE(ok);
        Rig rig(kVk03);
        rig.module_takes(57600, 17);
        rig.ui.apply_dialog_answer = ok;
        rig.doc->apply_new_settings(false, false);
        EXPECT_EQ(rig.ui.apply_dialogs_shown, 1);
        EXPECT_EQ(rig.module->aply_received(), ok ? 1 : 0);
        EXPECT_EQ(rig.own().GetValueText("Addr"), ok ? "17" : "16");
        EXPECT_EQ(rig.backend->line_settings().baud_rate, ok ? 57600 : 9600);
    }
}

TEST(ApplyNewSettings, CommandLineFollowsOnlyWithTheAplyOption) {
    for (const bool aply : {true, false}) {
        SCOPED_TRACE(aply);
        Rig rig(kVk03);
        rig.module_takes(57600, 17);
        rig.network().SetValue("Sbit", str(kNoData));
        rig.doc->apply_new_settings(true, aply);
        EXPECT_EQ(rig.ui.apply_dialogs_shown, 0);
        EXPECT_EQ(rig.module->aply_received(), aply ? 1 : 0);
        EXPECT_EQ(rig.own().GetValueText("Addr"), aply ? "17" : "16");
        EXPECT_EQ(rig.own().GetValueText("Sbit"), "1");
        EXPECT_EQ(rig.backend->line_settings().baud_rate, aply ? 57600 : 9600);
    }
}

}  // namespace
}  // namespace varda
