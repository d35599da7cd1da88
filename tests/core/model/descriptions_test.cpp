// The 23 model descriptions shipped in varda.dat: each loads without a message and builds a tree whose
// elements all show parameters, and holds what its model's features read.
#include <gtest/gtest.h>

#include "core/app/command_line/headless_ui.h"
#include "core/devices/models.h"
#include "core/model/description.h"
#include "core/model/description_archive.h"
#include "core/model/device_table.h"

namespace varda {
namespace {

// Parameters in the element's subtree.
int parameters_below(const DescBranch& element) {
    int n = static_cast<int>(element.parameters.size());
    for (const auto& child : element.children)
        n += parameters_below(*child);
    return n;
}

void expect_no_empty_element(const DescBranch& element, const std::string& model) {
    EXPECT_GT(parameters_below(element), 0)
        << model << ": element '" << element.name << "' shows no parameter";
    for (const auto& child : element.children)
        expect_no_empty_element(*child, model);
}

bool has_parameter(const DescBranch* element, std::string_view name) {
    if (!element) return false;
    if (element->FindOwnParameter(name)) return true;
    for (const auto& child : element->children)
        if (has_parameter(child.get(), name)) return true;
    return false;
}

class ModelDescriptions : public ::testing::TestWithParam<int> {};

TEST_P(ModelDescriptions, LoadWithoutMessagesAndCarryTheModelsParameters) {
    const int model = GetParam();
    const std::string code(device_row(model)->code);
    DescriptionArchive archive(VARDA_DAT_PATH, false);
    ASSERT_TRUE(archive.is_open()) << archive.failure_message();
    const DescriptionText text = ReadModelDescription(archive, model);
    ASSERT_TRUE(text.ok) << code;

    for (const bool known_version : {false, true}) {
        HeadlessUi ui;
        set_ui(&ui);
        DescriptionContext description;
        description.model_index = model;
        description.model_factory = create_device_model;
        if (known_version) {
            description.version_major = 2;
            description.version_minor = 10;
        }
        description.LoadDescriptionText(text.text);
        for (const auto& message : ui.messages())
            ADD_FAILURE() << code << ": " << message.text;
        ASSERT_NE(description.root(), nullptr) << code;
        expect_no_empty_element(*description.root(), code);
        EXPECT_NE(description.network_parameters(), nullptr) << code << ": no Network_parameters element";
        EXPECT_EQ(has_parameter(description.network_parameters(), "LEn"),
                  model != 7 && model != 17 && model != 18)
            << code << ": data bits";

        ASSERT_TRUE(description.device_model()) << code;
        const CBaseDevice& device = *device_model_of(description.device_model().get());
        if (device.HasInputs()) {
            EXPECT_TRUE(has_parameter(description.scanners(), device.GetInputsName())) << code << ": inputs";
        }
        if (device.HasOutputs()) {
            EXPECT_TRUE(has_parameter(description.scanners(), device.GetOutputsName()))
                << code << ": outputs";
        }
        if (model == 11) {
            EXPECT_TRUE(has_parameter(description.root(), "Log")) << code;
        }
        set_ui(nullptr);
    }
}

INSTANTIATE_TEST_SUITE_P(AllModels, ModelDescriptions, ::testing::Range(0, kDeviceCount),
                         [](const auto& info) { return std::string(device_row(info.param)->code); });

}  // namespace
}  // namespace varda
