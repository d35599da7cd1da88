// Loading and building the 23 model descriptions, against merely inflating their archive members.
#include <benchmark/benchmark.h>

#include <cstdio>

#include "bench/ratio_reporter.h"
#include "core/model/description.h"
#include "core/model/description_archive.h"
#include "core/model/device_table.h"

namespace {

void BM_InflateAllDescriptions(benchmark::State& state) {
    varda::DescriptionArchive archive(VARDA_DAT_PATH, false);
    int read = 0;
    for (auto _ : state) {
        read = 0;
        for (int model = 0; model < varda::kDeviceCount; ++model) {
            std::string text;
            read += archive.ReadMember(varda::description_member_name(model), text) && !text.empty() ? 1 : 0;
            benchmark::DoNotOptimize(text.data());
        }
    }
    if (read != varda::kDeviceCount) state.SkipWithError("some descriptions are missing from the archive");
}
BENCHMARK(BM_InflateAllDescriptions);

void BM_LoadAllDescriptions(benchmark::State& state) {
    varda::DescriptionArchive archive(VARDA_DAT_PATH, false);
    varda::DescriptionContext description;
    int built = 0;
    for (auto _ : state) {
        built = 0;
        for (int model = 0; model < varda::kDeviceCount; ++model) {
            const auto text = varda::ReadModelDescription(archive, model);
            description.LoadDescriptionText(text.text);
            const auto* root = description.root();
            built += root && (!root->parameters.empty() || !root->children.empty()) ? 1 : 0;
            benchmark::DoNotOptimize(description.root());
        }
    }
    if (built != varda::kDeviceCount)
        state.SkipWithError(
            (std::to_string(varda::kDeviceCount - built) + " descriptions built no tree").c_str());
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
    if (!description.root()) state.SkipWithError("the description built no tree");
    state.SetLabel(std::string(varda::device_row(model)->code));
}
BENCHMARK(BM_LoadOneDescription)->DenseRange(0, varda::kDeviceCount - 1);

const RatioPair kDescriptionRatio("BM_LoadAllDescriptions", "BM_InflateAllDescriptions");

}  // namespace
