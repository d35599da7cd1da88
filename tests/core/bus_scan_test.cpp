// Finding modules on a line: one identification request per address and baud rate, no retries.
#include "core/link/bus_scan.h"

#include <gtest/gtest.h>

#include "core/app/headless_ui.h"
#include "core/link/device.h"
#include "core/link/options.h"
#include "core/model/device_table.h"
#include "core/platform/events.h"
#include "core/protocol/frame_codec.h"
#include "sim/in_process_backend.h"
#include "sim/simulated_module.h"

namespace varda {
namespace {

// A VK03 at address 5 that hears only 19200 baud, on a line the program has open at 9600.
struct Line {
    Line() : module(std::make_shared<sim::SimulatedModule>()) {
        set_ui(&ui);
        module->set_address(5);
        module->add({.name = "dev", .type = "string", .value = "vk03-dev"});
        module->add({.name = "ver", .type = "string", .value = "2.10"});
        auto line = std::make_unique<sim::InProcessBackend>(module);
        line->set_module_baud_rate(19200);
        io = std::make_unique<DeviceIO>(std::move(line), options);
        io->sio().settings.port_name = "sim";
        io->sio().settings.baud_rate = 9600;
        io->sio().settings.base_address = 16;
        EXPECT_EQ(io->sio().open(), 0);
    }
    ~Line() {
        io.reset();
        set_ui(nullptr);
    }
    HeadlessUi ui{true};
    Options options;
    std::shared_ptr<sim::SimulatedModule> module;
    std::unique_ptr<DeviceIO> io;
};

TEST(BusScan, FindsTheModuleAtItsAddressAndBaudRateOnly) {
    Line line;
    BusScanRequest request;
    request.baud_rates = {9600, 19200};
    request.first_address = 1;
    request.last_address = 8;
    std::vector<BusScanProgress> steps;
    std::vector<FoundModule> announced;
    const BusScanResult result = scan_bus(
        *line.io, request, [&](const BusScanProgress& p) { steps.push_back(p); },
        [&](const FoundModule& m) { announced.push_back(m); }, nullptr);

    ASSERT_EQ(result.modules.size(), 1u);
    const FoundModule& found = result.modules[0];
    EXPECT_EQ(found.address, 5);
    EXPECT_EQ(found.baud_rate, 19200);
    EXPECT_EQ(found.model, 3);
    EXPECT_EQ(found.version, "2.10");
    EXPECT_EQ(found_module_text(found), "address 5 at 19200 baud: " + std::string(display_name(3)) + ", version 2.10");
    EXPECT_EQ(announced.size(), 1u);
    EXPECT_TRUE(result.error.empty());
    EXPECT_FALSE(result.cancelled);
    ASSERT_EQ(steps.size(), 16u);
    EXPECT_EQ(steps.back().done, 16);
    EXPECT_EQ(steps.back().total, 16);
    // Asked once, without retries; its version only because it answered.
    EXPECT_EQ(line.module->requests_seen(hash_name("dev")), 1);
    EXPECT_EQ(line.module->requests_seen(hash_name("ver")), 1);
    // The program's own settings come back, and the port is open again with them.
    EXPECT_EQ(line.io->sio().settings.baud_rate, 9600);
    EXPECT_EQ(line.io->sio().settings.base_address, 16);
    EXPECT_TRUE(line.io->sio().is_open());
    EXPECT_EQ(line.io->sio().reply_timeout_ms(), 220);
}

TEST(BusScan, AGarbledReplyIsListedAndCancelStops) {
    Line line;
    sim::Faults garbled;
    garbled.bad_checksum = true;
    line.module->set_faults(garbled);
    BusScanRequest request;
    request.baud_rates = {19200};
    request.first_address = 4;
    request.last_address = 6;
    BusScanResult result = scan_bus(*line.io, request, {}, {}, nullptr);
    ASSERT_EQ(result.modules.size(), 1u);
    EXPECT_FALSE(result.modules[0].problem.empty());
    EXPECT_NE(found_module_text(result.modules[0]).find("a reply that could not be read"), std::string::npos);

    platform::Event cancel(platform::Event::Reset::Manual);
    int steps = 0;
    request.first_address = 1;
    request.last_address = 200;
    result = scan_bus(
        *line.io, request,
        [&](const BusScanProgress&) {
            if (++steps == 3) cancel.set();
        },
        {}, &cancel);
    EXPECT_EQ(steps, 3);
    EXPECT_TRUE(result.cancelled);
}

TEST(BusScan, TimeOutFollowsTheLongestReplyAtTheBaudRate) {
    PortSettings line;
    const struct {
        int baud;
        int timeout_ms;
    } cases[] = {{9600, 53}, {19200, 37}, {115200, 23}, {1200, 279}};
    for (const auto& c : cases) {
        line.baud_rate = c.baud;
        EXPECT_EQ(scan_reply_timeout_ms(line), c.timeout_ms) << c.baud;
    }
    BusScanRequest all;
    all.baud_rates = {9600};
    line.baud_rate = 9600;
    // 247 addresses at 9600 baud fit well inside half a minute.
    EXPECT_LT(scan_estimate_seconds(all, line), 20.0);
    EXPECT_EQ(duration_text(14.2), "about 15 s");
    EXPECT_EQ(duration_text(150), "about 3 min");
}

}  // namespace
}  // namespace varda
