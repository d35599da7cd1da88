#include "core/devices/brand.h"

#include <algorithm>
#include <cctype>

#include "core/model/device_table.h"

namespace varda {

std::vector<int> CBrandRavelin::ListedModels() const {
    return {0, 1, 2, 3, 4, 5, 7, 8, 9, 11, 15, 16, 17};
}

MenuAdjustment CBrandRavelin::AdjustMainMenu() const {
    MenuAdjustment adjustment;
    adjustment.submenus = {{MainMenu::Device, kSerialAdapterSubmenuPosition}};
    adjustment.commands = {
        {MainMenu::Device, kCmdExecuteInit},
        {MainMenu::Tools, kCmdCalibration},
        {MainMenu::Help, kCmdExportHtml},
    };
    return adjustment;
}

std::vector<int> CBrandRavelin::HiddenToolbarButtons() const {
    return {kCmdExecuteInit};
}

std::vector<int> CBrandKest::ListedModels() const {
    std::vector<int> models;
    for (const DeviceRow& row : device_table())
        models.push_back(row.index);
    return models;
}

std::string_view brand_name(BrandId id) {
    return id == BrandId::Kest ? "kest" : "ravelin";
}

std::optional<BrandId> brand_from_name(std::string_view name) {
    for (const BrandId id : {BrandId::Ravelin, BrandId::Kest}) {
        const std::string_view known = brand_name(id);
        const bool same =
            std::equal(name.begin(), name.end(), known.begin(), known.end(),
                       [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
        if (same) return id;
    }
    return std::nullopt;
}

const CBrand& brand_object(BrandId id) {
    static const CBrandRavelin ravelin;
    static const CBrandKest kest;
    if (id == BrandId::Kest) return kest;
    return ravelin;
}

}  // namespace varda
