#include "core/devices/brand.h"

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

}  // namespace varda
