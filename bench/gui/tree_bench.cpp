// Building and showing the largest model's tree (every row expanded) offscreen, against loading that
// model's description.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <memory>

#include "bench/largest_model.h"
#include "bench/ratio_reporter.h"
#include "core/app/command_line/headless_ui.h"
#include "core/app/document/document.h"
#include "core/link/options.h"
#include "core/model/description.h"
#include "core/model/description_archive.h"
#include "core/model/device_table.h"
#include "gui/tree/tree_filter_bar.h"
#include "gui/tree/tree_view.h"
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
    varda::Options options;
    varda::CTarnDoc doc(options, std::make_unique<varda::sim::InProcessBackend>(nullptr));
    doc.context().model = kModel;
    doc.archive_path = VARDA_DAT_PATH;
    doc.load_description();
    varda::gui::ConfigurationTreePane view(doc);
    view.resize(1100, 700);
    for (auto _ : state) {
        view.rebuild();
        view.tree().expandAll();
        view.show();
        QApplication::processEvents();
    }
    // Timed only when the tree shows the model's rows.
    if (!view.tree().model() || view.tree().model()->rowCount() == 0)
        state.SkipWithError("the tree shows no rows");
    state.SetLabel(std::string(varda::device_row(kModel)->code));
    varda::set_ui(nullptr);
}
BENCHMARK(BM_ShowLargestTree)->Unit(benchmark::kMicrosecond);

// The filter against building the rows it filters: typing into the filter bar must feel instant even
// in the largest tree.
struct LargestTreeView {
    LargestTreeView() : doc(options, std::make_unique<varda::sim::InProcessBackend>(nullptr)) {
        varda::set_ui(&ui);
        doc.context().model = kModel;
        doc.archive_path = VARDA_DAT_PATH;
        doc.load_description();
        view = std::make_unique<varda::gui::ConfigurationTreePane>(doc);
        view->resize(1100, 700);
        view->show();
        view->rebuild();
        QApplication::processEvents();
    }
    ~LargestTreeView() {
        view.reset();
        varda::set_ui(nullptr);
    }
    varda::HeadlessUi ui{true};
    varda::Options options;
    varda::CTarnDoc doc;
    std::unique_ptr<varda::gui::ConfigurationTreePane> view;
};

void BM_BuildLargestTree(benchmark::State& state) {
    LargestTreeView rig;
    for (auto _ : state) {
        rig.view->rebuild();
        QApplication::processEvents();
    }
    if (!rig.view->tree().model() || rig.view->tree().model()->rowCount() == 0)
        state.SkipWithError("the tree shows no rows");
    state.SetLabel(std::string(varda::device_row(kModel)->code));
}
BENCHMARK(BM_BuildLargestTree)->Unit(benchmark::kMicrosecond);

void BM_FilterLargestTree(benchmark::State& state) {
    LargestTreeView rig;
    varda::gui::TreeFilterBar& bar = rig.view->filter_bar();
    bar.start();
    // A text that matches many rows and one that matches few, in turn, so every round changes what shows.
    const QString texts[] = {QStringLiteral("\u0432\u044b\u0445\u043e\u0434"), QStringLiteral("o.iv")};
    int round = 0;
    for (auto _ : state) {
        bar.text_field()->setText(texts[round++ % 2]);
        QApplication::processEvents();
    }
    // The filter found rows ("12 of 430"), so the time is that of real work.
    bar.apply();
    if (bar.count_text().isEmpty() || bar.count_text().startsWith(QStringLiteral("0 ")))
        state.SkipWithError(("the filter matched nothing: " + bar.count_text().toStdString()).c_str());
    state.SetLabel(std::string(varda::device_row(kModel)->code));
}
BENCHMARK(BM_FilterLargestTree)->Unit(benchmark::kMicrosecond);

const RatioPair kTreeRatio("BM_ShowLargestTree", "BM_LoadLargestDescription");
const RatioPair kFilterRatio("BM_FilterLargestTree", "BM_BuildLargestTree");

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
