// The device-selection list: what it offers and what OK does.
#include "core/app/connection/device_selection.h"

#include <gtest/gtest.h>

#include "core/devices/brand.h"
#include "core/model/device_table.h"

namespace varda {
namespace {

TEST(DeviceSelection, ListsTheBrandsModelsByDisplayName) {
    const auto names = device_selection_names(CBrandRavelin());
    ASSERT_EQ(names.size(), CBrandRavelin().ListedModels().size());
    EXPECT_EQ(names.front(), display_name(0));
    EXPECT_EQ(names[5], display_name(5));
    EXPECT_EQ(device_selection_names(CBrandKest()).size(), static_cast<std::size_t>(kDeviceCount));
}

TEST(DeviceSelection, OkNamesTheSelectedModel) {
    EXPECT_EQ(choose_device(std::nullopt), std::nullopt);
    EXPECT_EQ(choose_device(std::string(display_name(7))), 7);
}

}  // namespace
}  // namespace varda
