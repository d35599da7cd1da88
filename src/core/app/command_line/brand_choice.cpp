#include "core/app/command_line/brand_choice.h"

#include <string>

#include "core/app/command_line/command_line.h"
#include "core/platform/settings_store.h"

namespace varda {
namespace {
constexpr std::string_view kBrandSetting = "brand";
}  // namespace

BrandId stored_brand(const SettingsStore& store) {
    const std::optional<std::string> name = store.get_string(kSettingsGroup, kBrandSetting);
    return name ? brand_from_name(*name).value_or(BrandId::Ravelin) : BrandId::Ravelin;
}

void store_brand(SettingsStore& store, BrandId id) {
    store.set_string(kSettingsGroup, kBrandSetting, brand_name(id));
}

BrandId start_brand(const CommandLine& command_line, SettingsStore& store) {
    if (!command_line.brand) return stored_brand(store);
    store_brand(store, *command_line.brand);
    return *command_line.brand;
}

BrandId toggled_brand(BrandId id) {
    return id == BrandId::Kest ? BrandId::Ravelin : BrandId::Kest;
}

}  // namespace varda
