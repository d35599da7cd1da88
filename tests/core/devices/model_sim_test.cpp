// Every model served by the simulator from its description: identified, and read completely.
#include <gtest/gtest.h>

#include "core/app/command_line/headless_ui.h"
#include "core/devices/models.h"
#include "core/link/device.h"
#include "core/model/description.h"
#include "core/model/description_archive.h"
#include "core/model/device_table.h"
#include "sim/in_process_backend.h"
#include "sim/model_module.h"

namespace varda {
namespace {

int failures_below(const DescBranch& element, std::string& names) {
    int n = 0;
    for (const auto& p : element.parameters) {
        if (p->error_text.empty()) continue;
        ++n;
        names += " " + p->network_name() + "(" + p->error_text + ")";
    }
    for (const auto& child : element.children)
        n += failures_below(*child, names);
    return n;
}

class ServedModels : public ::testing::TestWithParam<int> {};

TEST_P(ServedModels, IdentifyAndReadEverything) {
    const int model = GetParam();
    DescriptionArchive archive(VARDA_DAT_PATH, false);
    const DescriptionText text = ReadModelDescription(archive, model);
    ASSERT_TRUE(text.ok);

    auto module = std::make_shared<sim::SimulatedModule>();
    std::string error;
    ASSERT_TRUE(sim::serve_model(*module, model, text.text, error)) << error;

    HeadlessUi ui;
    set_ui(&ui);
    ModuleContext context;
    Options options;
    Device device(context, std::make_unique<sim::InProcessBackend>(module), options);
    device.finish_grace = std::chrono::milliseconds(0);
    device.sio().settings.port_name = "sim";
    ASSERT_EQ(device.sio().open(), OpenResult::Opened);
    ASSERT_EQ(device.identify(false), Identification::KnownModel);
    EXPECT_EQ(context.model.load(), model);

    DescriptionContext description;
    description.model_factory = create_device_model;
    description.version_major = device.version_major;
    description.version_minor = device.version_minor;
    description.LoadDescriptionText(text.text);
    ASSERT_NE(description.root(), nullptr);
    device.set_device_model(description.device_model().get());
    ASSERT_TRUE(device.read_all(*description.root()));
    std::string names;
    EXPECT_EQ(failures_below(*description.root(), names), 0) << names;
    EXPECT_TRUE(ui.messages().empty());
    device.set_device_model(nullptr);
    set_ui(nullptr);
}

INSTANTIATE_TEST_SUITE_P(AllModels, ServedModels, ::testing::Range(0, kDeviceCount),
                         [](const auto& info) { return std::string(device_row(info.param)->code); });

}  // namespace
}  // namespace varda
