#pragma once

#include <vector>

// Changes that brands and device models make to the main window's menus and toolbar, as plain data: the
// window applies them, so the decisions stay testable without a user interface.
namespace varda {

enum class MainMenu { Device, Tools, Help };

// Command ids shared by the menus, the toolbar and the models.
inline constexpr int kCmdTareWeight = 111;
inline constexpr int kCmdReadAll = 139;
inline constexpr int kCmdExecuteInit = 301;
inline constexpr int kCmdExportHtml = 32804;
inline constexpr int kCmdCalibration = 32824;

// Position of the "Serial interface adapter" submenu in the Device menu.
inline constexpr int kSerialAdapterSubmenuPosition = 10;

struct MenuCommandRemoval {
    MainMenu menu;
    int command_id;
    bool operator==(const MenuCommandRemoval&) const = default;
};

struct SubmenuRemoval {
    MainMenu menu;
    int position;  // counted in the menu as built, before any removal
    bool operator==(const SubmenuRemoval&) const = default;
};

// Apply `submenus` first: their positions refer to the untouched menu, while commands are found by id.
struct MenuAdjustment {
    std::vector<SubmenuRemoval> submenus;
    std::vector<MenuCommandRemoval> commands;
    bool empty() const { return submenus.empty() && commands.empty(); }
};

// A model command inserted into a menu before an existing command; appended to the menu when that command
// is absent (a brand may have removed it).
struct MenuCommandInsertion {
    MainMenu menu;
    int command_id;
    int text_id;  // numbered text of the item
    int before_command_id;
    bool operator==(const MenuCommandInsertion&) const = default;
};

}  // namespace varda
