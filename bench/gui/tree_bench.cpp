// Building and showing the largest model's tree (every row expanded) offscreen, against loading that
// model's description.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <memory>

#include "bench/largest_model.h"
#include "bench/ratio_reporter.h"
#include "core/app/document.h"
#include "core/link/options.h"
#include "core/model/device_table.h"
#include "core/model/description.h"
#include "core/model/description_archive.h"
#include "core/app/headless_ui.h"
#include "gui/tree_view.h"
#include "sim/in_process_backend.h"

namespace {

const int kModel = varda::bench::largest_model();

void BM_LoadLargestDescription(benchmark::State& state) {
    varda::DescriptionArchive archive(VARDA_DAT_PATH, false);
    const auto text = varda::ReadModelDescription(archive, kModel);
    varda::DescriptionContext description;
    for (auto _ : state) {
        description.LoadDescriptionText(text.text);
        benchmark::DoNotOptimize(description.root());
    }
    state.SetLabel(std::string(varda::device_row(kModel)->code));
}
BENCHMARK(BM_LoadLargestDescription)->Unit(benchmark::kMicrosecond);

void BM_ShowLargestTree(benchmark::State& state) {
    varda::HeadlessUi ui(true);
    varda::set_ui(&ui);
    varda::set_current_model_index(kModel);
    varda::Options options;
    varda::CTarnDoc doc(options, std::make_unique<varda::sim::InProcessBackend>(nullptr));
    doc.archive_path = VARDA_DAT_PATH;
    doc.load_description();
    varda::gui::CTarnTreeListView view(doc);
    view.resize(1100, 700);
    for (auto _ : state) {
        view.rebuild();
        view.tree().expandAll();
        view.show();
        QApplication::processEvents();
    }
    state.SetLabel(std::string(varda::device_row(kModel)->code));
    varda::set_ui(nullptr);
}
BENCHMARK(BM_ShowLargestTree)->Unit(benchmark::kMicrosecond);

const RatioPair kTreeRatio("BM_ShowLargestTree", "BM_LoadLargestDescription");

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter(ratio_pairs());
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
