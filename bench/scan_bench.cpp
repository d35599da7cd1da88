// Scanning all 8-bit addresses at 9600 baud against varda-sim pacing its replies as a real line would.
// Reported: the scan's time as a ratio to 247 × (the request's line time + the scan time-out), the least
// a scan without retries can take, and the absolute time; only when the scan found the module where it is.
#include <benchmark/benchmark.h>

#include <chrono>

#include "core/link/bus_scan.h"
#include "core/link/device_io.h"
#include "core/link/posix_serial_backend.h"
#include "tests/support/sim_process.h"

namespace {

void BM_ScanAllAddresses9600(benchmark::State& state) {
    varda::testing::SimProcess sim(
        {"--model", "VK03", "--address", "100", "--line-timing", "--baud", "9600"});
    varda::ModuleContext context;
    varda::Options options;
    varda::DeviceIO io(context, std::make_unique<varda::PosixSerialBackend>(), options);
    io.sio().settings.port_name = sim.path();
    io.sio().settings.baud_rate = 9600;
    if (io.sio().open() != varda::OpenResult::Opened) {
        state.SkipWithError("cannot open the simulator's terminal");
        return;
    }
    varda::BusScanRequest request;
    request.baud_rates = {9600};
    varda::BusScanResult result;
    double seconds = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        result = varda::scan_bus(io, request, {}, {}, nullptr);
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    // A time is worth reporting only for the right answer: the one VK03, at 100 and its channels' 101-107.
    const auto& found = result.modules;
    if (found.size() != 1 || found[0].address != 100 || found[0].model != 3 ||
        found[0].further_addresses != 7 || found[0].baud_rate != 9600) {
        std::string listed;
        for (const auto& module : found)
            listed += "; " + varda::found_module_text(module);
        state.SkipWithError(("the scan did not find the VK03 at 100 (101-107) alone" + listed).c_str());
        return;
    }
    const double bound = request.addresses() * varda::scan_seconds_per_address(io.sio().settings);
    state.counters["modules"] = static_cast<double>(found.size());
    state.counters["scan_s"] = seconds;
    state.counters["ratio_to_line_bound"] = seconds / bound;
}
BENCHMARK(BM_ScanAllAddresses9600)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
