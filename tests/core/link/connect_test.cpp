// Finding and identifying the module: both adapter modes, the switch-over passes and the attempt counts.
#include <gtest/gtest.h>

#include "core/app/command_line/headless_ui.h"
#include "core/link/device.h"
#include "core/model/device_table.h"
#include "core/platform/settings_store.h"
#include "sim/in_process_backend.h"
#include "sim/simulated_module.h"
#include "tests/support/identifying_module.h"

namespace varda {
namespace {

// Records each transaction: the first character sent and whether RTS carried it (semi-auto).
struct Transmission {
    char first = 0;
    bool semi_auto = false;
};

class RecordingBackend : public SerialBackend {
  public:
    RecordingBackend(std::unique_ptr<SerialBackend> inner, std::vector<Transmission>& log)
        : inner_(std::move(inner)), log_(log) {}
    bool open(const std::string& path, std::string& error) override { return inner_->open(path, error); }
    void close() override { inner_->close(); }
    bool is_open() const override { return inner_->is_open(); }
    bool configure(const LineSettings& settings) override { return inner_->configure(settings); }
    bool purge(PurgeKind kind) override {
        if (kind == PurgeKind::Both)
            log_.push_back({});  // every transaction starts by purging both directions
        return inner_->purge(kind);
    }
    WaitOutcome write(std::string_view bytes, platform::Event& stop) override {
        if (!log_.empty() && log_.back().first == 0 && !bytes.empty()) log_.back().first = bytes[0];
        return inner_->write(bytes, stop);
    }
    void set_rts(bool raised) override {
        if (raised && !log_.empty()) log_.back().semi_auto = true;
        inner_->set_rts(raised);
    }
    WaitOutcome wait_readable(std::chrono::milliseconds timeout, platform::Event& stop) override {
        return inner_->wait_readable(timeout, stop);
    }
    std::size_t read_available(char* buffer, std::size_t max) override {
        return inner_->read_available(buffer, max);
    }

  private:
    std::unique_ptr<SerialBackend> inner_;
    std::vector<Transmission>& log_;
};

struct Line : test::IdentifyingModuleRig {
    Line() {
        device = std::make_unique<Device>(context, std::make_unique<RecordingBackend>(line(), log), options);
    }
    ~Line() { device.reset(); }
    // The transmissions that sent something, as their first characters.
    std::string sent() const {
        std::string out;
        for (const auto& t : log)
            if (t.first) out.push_back(t.first == '\x10' ? 'R' : t.first);
        return out;
    }

    std::vector<Transmission> log;
    std::unique_ptr<Device> device;
};

TEST(Connect, FindsAModuleInOwnProtocol) {
    Line line;
    EXPECT_TRUE(line.device->connect());
    EXPECT_EQ(line.context.model.load(), 5);
    EXPECT_EQ(line.sent(), "##");  // dev and ver
    EXPECT_EQ(line.device->version_major, 2);
    EXPECT_EQ(line.device->version_minor, 10);
}

TEST(Connect, SwitchesAModuleOverFromEachForeignProtocol) {
    struct Case {
        SwitchOverMode mode;
        std::string sent;  // R Modbus RTU, ':' Modbus ASCII, '%' DCON, '#' own protocol
    };
    for (const auto& c : {Case{SwitchOverMode::ModbusRtu, "########R##"},
                          Case{SwitchOverMode::ModbusAscii, "########RRRR:##"},
                          Case{SwitchOverMode::Dcon, "########RRRR::::%##"}}) {
        Line line;
        line.module->set_mode(c.mode);
        EXPECT_TRUE(line.device->connect()) << static_cast<int>(c.mode);
        EXPECT_EQ(line.sent(), c.sent);
        EXPECT_EQ(line.context.switch_over.load(), SwitchOverMode::Ravelin);
        EXPECT_EQ(line.module->mode(), SwitchOverMode::Ravelin);
    }
}

TEST(Connect, FindsAModuleBehindASemiAutomaticAdapter) {
    Line line;
    line.backend->set_requires_rts(true);
    EXPECT_TRUE(line.device->connect());
    EXPECT_EQ(line.device->sio().settings.adapter_mode, 0);
    ASSERT_EQ(line.sent(), "######");  // auto: dev, dev, ver, ver; then semi-auto: dev, ver
    EXPECT_FALSE(line.log[1].semi_auto);
    EXPECT_TRUE(line.log.back().semi_auto);
}

TEST(Connect, NothingAttachedTriesEverythingOnceAndGivesUp) {
    Line line;
    sim::Faults silent;
    silent.always_silent = true;
    line.module->set_faults(silent);
    EXPECT_FALSE(line.device->connect());
    // Two own-protocol passes of two identifications (dev and ver, each retried once), and three
    // switch-overs of two attempts (each retried once); the adapter mode alternates after each failure.
    EXPECT_EQ(line.sent(), "########RRRR::::%%%%########");
    std::string adapters;
    for (const auto& t : line.log)
        if (t.first) adapters.push_back(t.semi_auto ? 'S' : 'A');
    EXPECT_EQ(adapters, "AAAASSSSAASSAASSAASSAAAASSSS");
    EXPECT_EQ(line.context.switch_over.load(), SwitchOverMode::Ravelin);
    EXPECT_EQ(line.device->sio().settings.adapter_mode, 1);
    EXPECT_EQ(line.context.model.load(), kNoModel);
}

TEST(Connect, AnUnknownModelIsTriedAgainWithoutTogglingTheAdapter) {
    Line line;
    line.module->set_value("dev", -1, "vk99");
    EXPECT_FALSE(line.device->connect());
    // Own pass: two identifications in auto mode; the switch-overs find nobody listening to them.
    EXPECT_EQ(line.sent().substr(0, 4), "####");
    for (int i = 0; i < 4; ++i)
        EXPECT_FALSE(line.log[static_cast<std::size_t>(i)].semi_auto);
}

TEST(Identify, EveryModelOfTheTable) {
    Line line;
    line.module->add({.name = "tdev",
                      .type = "1 канал:4 канала",
                      .value = "1 канал",
                      .read_only = true,
                      .has_attributes = false});
    ASSERT_EQ(line.device->sio().open(), OpenResult::Opened);
    for (int row = 0; row < kDeviceCount; ++row) {
        line.module->set_value("dev", -1, std::string(device_row(row)->identification));
        line.module->set_value("tdev", -1, row == 14 ? "4 канала" : "1 канал");
        EXPECT_EQ(line.device->identify(false), Identification::KnownModel) << row;
        EXPECT_EQ(line.context.model.load(), row);
    }
    line.module->set_value("dev", -1, "VK20-DEV");
    EXPECT_EQ(line.device->identify(false), Identification::KnownModel);
    EXPECT_EQ(line.context.model.load(), 20);
    line.module->set_value("dev", -1, "nobody");
    EXPECT_EQ(line.device->identify(true), Identification::UnknownModel);
    EXPECT_EQ(line.context.model.load(), 20);
    const auto messages = line.ui.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "Device nobody\nSoftware version 2.10\n");
}

TEST(Identify, VersionTextsAndFailures) {
    Line line;
    ASSERT_EQ(line.device->sio().open(), OpenResult::Opened);
    struct Case {
        const char* text;
        int major, minor;
    };
    for (const auto& c : {Case{"2.10", 2, 10}, Case{"1.08", 1, 0}, Case{"0x1A 7", 26, 7}, Case{"3", 3, -1}}) {
        line.module->set_value("ver", -1, c.text);
        line.device->identify(false);
        EXPECT_EQ(line.device->version_major, c.major) << c.text;
        EXPECT_EQ(line.device->version_minor, c.minor) << c.text;
    }
    sim::Faults silent;
    silent.always_silent = true;
    line.module->set_faults(silent);
    EXPECT_EQ(line.device->identify(true), Identification::Unreadable);
    const auto messages = line.ui.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text,
              "Parameter error 'dev': \nTime-out error\nParameter error 'ver':\nTime-out error\n");
    EXPECT_EQ(messages[0].icon, MessageIcon::Error);
}

}  // namespace
}  // namespace varda
