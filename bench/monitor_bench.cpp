// Reading the whole of the largest model at 115200 baud against varda-sim pacing its replies as a real line
// would, with the bus monitor's recorder on the line (and a reader decoding what it recorded every 100 ms, as
// the window does) against the same read with nobody listening.
#include <benchmark/benchmark.h>

#include <atomic>
#include <functional>
#include <thread>

#include "bench/largest_model.h"
#include "bench/ratio_reporter.h"
#include "core/link/device_io.h"
#include "core/link/frame_trace.h"
#include "core/link/posix_serial_backend.h"
#include "core/model/description.h"
#include "core/model/description_archive.h"
#include "core/model/elements.h"
#include "tests/support/sim_process.h"

namespace {

const int kLargest = varda::bench::largest_model();

void read_all(varda::DeviceIO& io, const varda::DescBranch& branch, int& failures) {
    for (const auto& p : branch.parameters)
        failures += io.request(true, p.get()) != varda::RequestResult::Done;
    for (const auto& child : branch.children)
        read_all(io, *child, failures);
}

void BM_ReadAll(benchmark::State& state, bool monitored) {
    varda::testing::SimProcess sim(
        {"--model", std::to_string(kLargest), "--line-timing", "--baud", "115200"});
    varda::DescriptionArchive archive(VARDA_DAT_PATH, false);
    varda::DescriptionContext description;
    description.LoadDescriptionText(varda::ReadModelDescription(archive, kLargest).text);
    varda::ModuleContext context;
    varda::Options options;
    varda::DeviceIO io(context, std::make_unique<varda::PosixSerialBackend>(), options);
    io.sio().settings.port_name = sim.path();
    io.sio().settings.baud_rate = 115200;
    if (!description.root() || io.sio().open() != varda::OpenResult::Opened) {
        state.SkipWithError(
            "no description of the largest model, or the simulator's terminal cannot be opened");
        return;
    }
    varda::FrameRecorder recorder;
    varda::FrameNames names;
    names.add_tree(*description.root());
    std::atomic<bool> done{false};
    std::thread window;
    if (monitored) {
        io.sio().set_tap(&recorder);
        window = std::thread([&] {
            varda::FrameDecoder decoder(names);
            std::uint64_t seen = 0;
            while (!done) {
                for (const auto& frame : recorder.take_since(seen))
                    benchmark::DoNotOptimize(decoder.decode(frame));
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
        });
    }
    int failures = 0;
    for (auto _ : state)
        read_all(io, *description.root(), failures);
    done = true;
    if (window.joinable()) window.join();
    io.sio().set_tap(nullptr);
    // Timed only when every parameter was read, and the monitor saw every frame of it.
    if (failures > 0) {
        state.SkipWithError((std::to_string(failures) + " parameters could not be read").c_str());
        return;
    }
    if (monitored && recorder.recorded() == 0) {
        state.SkipWithError("the monitor recorded nothing");
        return;
    }
    state.SetLabel(std::string(varda::device_row(kLargest)->code));
    state.counters["failures"] = failures;
    state.counters["frames"] = static_cast<double>(recorder.recorded());
}
BENCHMARK_CAPTURE(BM_ReadAll, quiet, false)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_ReadAll, monitored, true)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

const RatioPair kMonitorRatio("BM_ReadAll/monitored/iterations:3/real_time",
                              "BM_ReadAll/quiet/iterations:3/real_time");

}  // namespace
