// Finding modules on a line: one identification request per address and baud rate, no retries.
#include "core/link/bus_scan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "core/app/command_line/headless_ui.h"
#include "core/app/command_line/scan_job.h"
#include "core/link/device.h"
#include "core/link/options.h"
#include "core/link/posix_serial_backend.h"
#include "core/model/device_table.h"
#include "core/platform/events.h"
#include "core/platform/settings_store.h"
#include "core/protocol/frame_codec.h"
#include "sim/in_process_backend.h"
#include "sim/simulated_module.h"
#include "tests/support/sim_process.h"

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
        io = std::make_unique<DeviceIO>(context, std::move(line), options);
        io->sio().settings.port_name = "sim";
        io->sio().settings.baud_rate = 9600;
        io->sio().settings.base_address = 16;
        EXPECT_EQ(io->sio().open(), OpenResult::Opened);
    }
    ~Line() {
        io.reset();
        set_ui(nullptr);
    }
    HeadlessUi ui{true};
    ModuleContext context;
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
    EXPECT_EQ(found_module_text(found),
              "address 5 at 19200 baud: " + std::string(display_name(3)) + ", version 2.10");
    EXPECT_EQ(announced.size(), 1u);
    EXPECT_TRUE(result.error.empty());
    EXPECT_FALSE(result.cancelled);
    ASSERT_EQ(steps.size(), 16u);
    EXPECT_EQ(steps.back().done, 16);
    EXPECT_EQ(steps.back().total, 16);
    // Asked once, without retries, and once more to confirm; its version only because it answered.
    EXPECT_EQ(line.module->requests_seen(hash_name("dev")), 2);
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
    // 247 addresses at 9600 baud fit well inside half a minute; the thorough scan waits the ordinary 220 ms.
    EXPECT_LT(scan_estimate_seconds(all, line), 20.0);
    all.pace = ScanPace::Thorough;
    EXPECT_NEAR(scan_estimate_seconds(all, line), 247 * (0.220 + 14 * 10 / 9600.0), 0.01);
    EXPECT_EQ(duration_text(scan_estimate_seconds(all, line)), "about 58 s");
    EXPECT_EQ(duration_text(14.2), "about 15 s");
    EXPECT_EQ(duration_text(150), "about 3 min");
}

// `--scan` takes its pace and address width from its own options: 8-bit addresses unless -alen:11 says so,
// whatever the window stored last.
TEST(BusScan, TheScanCommandKeepsToItsOwnOptions) {
    MemorySettingsStore store;
    store.set_int(kSettingsGroup, "address_length", 11);
    set_settings_store(&store);
    HeadlessUi ui(true);
    set_ui(&ui);
    auto module = std::make_shared<sim::SimulatedModule>(2);
    module->add({.name = "dev", .type = "string", .value = "vk18-dev"});
    module->add({.name = "ver", .type = "string", .value = "2.10"});
    struct Case {
        std::vector<std::string> args;
        ScanPace pace;
        int exit_code;
        const char* output;
    };
    const std::string vk18 = "address 2 at 9600 baud: " + std::string(display_name(18)) + ", version 2.10\n";
    for (const auto& c : {Case{{"--scan", "-addr:1-3"}, ScanPace::Quick, 0, vk18.c_str()},
                          Case{{"--scan:thorough", "-addr:2-3"}, ScanPace::Thorough, 0, vk18.c_str()},
                          Case{{"--SCAN:quick", "-addr:1-2", "-alen:8"}, ScanPace::Quick, 0, vk18.c_str()},
                          Case{{"--scan", "-addr:1-3", "-alen:11"}, ScanPace::Quick, 202, ""},
                          Case{{"--scan:slow", "-addr:1-3"}, ScanPace::Quick, 2, ""}}) {
        ASSERT_TRUE(asks_for_scan(c.args));
        const ScanCommand command = parse_scan_command_line(c.args);
        EXPECT_EQ(command.pace, c.pace) << c.args[0];
        const ScanJobResult result = run_scan_job(command, std::make_unique<sim::InProcessBackend>(module));
        EXPECT_EQ(result.exit_code, c.exit_code) << c.args[0] << " " << result.failure;
        EXPECT_EQ(result.output, c.output) << c.args[0];
    }
    EXPECT_FALSE(asks_for_scan({"--scanner"}));
    set_ui(nullptr);
    set_settings_store(nullptr);
}

// Modules on adjacent addresses whose replies start 0, 25, 100 and 200 ms late, on varda-sim's terminal
// with and without line timing: a reply counts for the address it carries, so each is found at its own
// address and nothing is listed where nobody is. The thorough scan finds them all; the quick one may miss
// one whose reply meets the next request, but never lists a wrong address.
TEST(BusScan, LateNeighboursAreFoundAtTheirOwnAddresses) {
    const std::set<int> present{16, 17, 18, 19};
    for (const bool line_timing : {false, true}) {
        std::vector<std::string> args{"--bus", "VK18@16,VK18@17+25ms,VK18@18+100ms,VK18@19+200ms"};
        if (line_timing) args.push_back("--line-timing");
        testing::SimProcess sim(args);
        ModuleContext context;
        Options options;
        DeviceIO io(context, std::make_unique<PosixSerialBackend>(), options);
        io.sio().settings.port_name = sim.path();
        ASSERT_EQ(io.sio().open(), OpenResult::Opened) << io.sio().open_error();
        for (const ScanPace pace : {ScanPace::Quick, ScanPace::Thorough}) {
            SCOPED_TRACE(std::string(line_timing ? "line timing, " : "") +
                         (pace == ScanPace::Thorough ? "thorough" : "quick"));
            BusScanRequest request;
            request.first_address = 14;
            request.last_address = 21;
            request.pace = pace;
            std::vector<int> announced;
            const BusScanResult result = scan_bus(
                io, request, {}, [&](const FoundModule& m) { announced.push_back(m.address); }, nullptr);
            std::set<int> listed;
            for (const FoundModule& module : result.modules) {
                EXPECT_TRUE(present.contains(module.address)) << found_module_text(module);
                EXPECT_TRUE(listed.insert(module.address).second) << "twice: " << module.address;
                EXPECT_EQ(module.model, 18) << found_module_text(module);
                EXPECT_EQ(module.version, "2.10") << found_module_text(module);
                EXPECT_EQ(module.further_addresses, 0);
            }
            if (pace == ScanPace::Thorough) {
                EXPECT_EQ(listed, present);
            }
            std::sort(announced.begin(), announced.end());
            EXPECT_EQ(announced, std::vector<int>(listed.begin(), listed.end()));
        }
    }
}

}  // namespace
}  // namespace varda
