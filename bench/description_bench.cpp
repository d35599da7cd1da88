// Loading and building the 23 model descriptions, against merely inflating their archive members.
#include <benchmark/benchmark.h>

#include <cstdio>

#include "bench/ratio_reporter.h"
#include "core/model/device_table.h"
#include "core/model/description.h"
#include "core/model/description_archive.h"

namespace {

void BM_InflateAllDescriptions(benchmark::State& state) {
    varda::DescriptionArchive archive(VARDA_DAT_PATH, false);
    std::size_t bytes = 0;
    for (auto _ : state) {
        for (int model = 0; model < varda::kDeviceCount; ++model) {
            std::string text;
            bytes += archive.ReadMember(varda::description_member_name(model), text);
            benchmark::DoNotOptimize(text.data());
        }
    }
    if (bytes == 0) state.SkipWithError("no descriptions in the archive");
}
BENCHMARK(BM_InflateAllDescriptions);

void BM_LoadAllDescriptions(benchmark::State& state) {
    varda::DescriptionArchive archive(VARDA_DAT_PATH, false);
    varda::DescriptionContext description;
    for (auto _ : state) {
        for (int model = 0; model < varda::kDeviceCount; ++model) {
            const auto text = varda::ReadModelDescription(archive, model);
            description.LoadDescriptionText(text.text);
            benchmark::DoNotOptimize(description.root());
        }
    }
}
BENCHMARK(BM_LoadAllDescriptions);

// Per model, to see which description costs most.
void BM_LoadOneDescription(benchmark::State& state) {
    const int model = static_cast<int>(state.range(0));
    varda::DescriptionArchive archive(VARDA_DAT_PATH, false);
    const auto text = varda::ReadModelDescription(archive, model);
    varda::DescriptionContext description;
    for (auto _ : state) {
        description.LoadDescriptionText(text.text);
        benchmark::DoNotOptimize(description.root());
    }
    state.SetLabel(std::string(varda::device_row(model)->code));
}
BENCHMARK(BM_LoadOneDescription)->DenseRange(0, varda::kDeviceCount - 1);

const RatioPair kDescriptionRatio("BM_LoadAllDescriptions", "BM_InflateAllDescriptions");

}  // namespace
