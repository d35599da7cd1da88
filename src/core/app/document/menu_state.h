#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/devices/menu_changes.h"

// The main window's menus and toolbar as plain data, and the rules that enable and check their commands:
// the window only draws what these functions say.
namespace varda {

class CBaseDevice;
class CBrand;
struct Options;

// Command ids of the menus and the toolbar, besides those in menu_changes.h.
inline constexpr int kCmdNew = 57600;
inline constexpr int kCmdOpen = 57601;
inline constexpr int kCmdSave = 57603;
inline constexpr int kCmdSaveAs = 57604;
inline constexpr int kCmdRecentFile = 57616;  // the first of the recent files; the others follow
inline constexpr int kCmdAbout = 57664;
inline constexpr int kCmdExit = 57665;
inline constexpr int kCmdHelp = 57667;
inline constexpr int kCmdReadAutomatically = 134;
inline constexpr int kCmdWriteAll = 140;
inline constexpr int kCmdWriteChanges = 256;
inline constexpr int kCmdCompare = 257;
inline constexpr int kCmdApplyNewSettings = 265;
inline constexpr int kCmdInstantRecording = 268;
inline constexpr int kCmdApplyDefaults = 269;
inline constexpr int kCmdPreviousProblem = 276;
inline constexpr int kCmdNextProblem = 277;
inline constexpr int kCmdReadBranch = 279;
inline constexpr int kCmdWriteBranch = 280;
inline constexpr int kCmdWriteBranchChanges = 281;
inline constexpr int kCmdCompareBranch = 282;
inline constexpr int kCmdDoNotSendAttributes = 294;
inline constexpr int kCmdSingleParameter = 378;
inline constexpr int kCmdCheckConnection = 379;
inline constexpr int kCmdShowIndexes = 380;
inline constexpr int kCmdAdapterAuto = 32798;
inline constexpr int kCmdAdapterSemiAuto = 32799;
inline constexpr int kCmdPortSettings = 32819;
inline constexpr int kCmdIoStatus = 32821;
// Switches between the restricted and the full brand; checked with the full one.
inline constexpr int kCmdServiceFunctions = 32830;
inline constexpr int kCmdFindModules = 32840;
inline constexpr int kCmdBusMonitor = 32841;
inline constexpr int kCmdCompareWithFile = 32842;
inline constexpr int kCmdToolbar = 59392;
inline constexpr int kCmdStatusBar = 59393;

inline constexpr int kRecentFileCount = 4;

// One entry of a menu.
struct MenuItem {
    enum class Kind { Command, Separator, Submenu, RecentFiles };
    Kind kind = Kind::Command;
    int command = 0;              // Command
    std::string text;             // Command and Submenu; "&" marks the mnemonic
    std::vector<MenuItem> items;  // Submenu

    static MenuItem command_item(int id, std::string text) {
        return {Kind::Command, id, std::move(text), {}};
    }
    static MenuItem separator() { return {Kind::Separator, 0, {}, {}}; }
    static MenuItem submenu(std::string text, std::vector<MenuItem> items) {
        return {Kind::Submenu, 0, std::move(text), std::move(items)};
    }
    // Where the recent files go (between two separators of the File menu).
    static MenuItem recent_files() { return {Kind::RecentFiles, kCmdRecentFile, {}, {}}; }
};

// A menu of the menu bar. `which` names the menus that brands and models may change.
struct TopMenu {
    std::string title;
    std::optional<MainMenu> which;
    std::vector<MenuItem> items;
};

// The menu bar as built, before any brand or model changes.
std::vector<TopMenu> main_menu_base();
// Removes what the adjustment names: submenus by their position in the untouched menu first, then commands
// by id wherever they are (submenus included).
void apply_menu_adjustment(std::vector<TopMenu>& menus, const MenuAdjustment& adjustment);
// Inserts model commands before their anchor command (searched in submenus too); a missing anchor appends
// the command to its menu.
void insert_model_commands(std::vector<TopMenu>& menus, const std::vector<MenuCommandInsertion>& insertions);
// The menu bar for a brand and the current device-model object (may be null).
std::vector<TopMenu> main_menu_layout(const CBrand& brand, const CBaseDevice* model);
// Whether a command appears anywhere in the menus.
bool menu_contains(const std::vector<TopMenu>& menus, int command);

// Toolbar buttons in order, 0 for a separator, without the buttons the brand hides.
std::vector<int> toolbar_layout(const CBrand& brand);

// What the menus and the toolbar show for a command.
struct CommandState {
    bool enabled = true;
    bool checkable = false;
    bool checked = false;
};

// The facts the rules look at.
struct MenuFacts {
    const Options* options = nullptr;
    int adapter_mode = 0;  // the serial port's adapter flag
    const CBaseDevice* model = nullptr;
    bool toolbar_visible = true;
    bool status_bar_visible = true;
    bool full_brand = false;
};

// Enabling and check marks. A command nobody handles is disabled.
CommandState command_state(int command, const MenuFacts& facts, bool has_handler);

// Status-bar prompt and tool tip of a command (the tool tip at most 80 characters). The I/O status
// command takes both from the device model, whose caption may be "Input status" or "Output status".
struct CommandPrompt {
    std::string status;
    std::string tip;
};
CommandPrompt command_prompt(int command, const CBaseDevice* model);

// "Configurator", the model's display name or "<unknown>", then " - " and the document's title when there
// is a document.
std::string main_window_title(int model_index, std::string_view document_title);
// The document's title: the file name of its path, or the new document's name.
std::string document_title(std::string_view path_name);

// The recent-file list, most recent first: opening or saving a file moves it to the front.
void add_recent_file(std::vector<std::string>& files, const std::string& path,
                     std::size_t limit = kRecentFileCount);
void remove_recent_file(std::vector<std::string>& files, const std::string& path);
// Menu text of entry `index` (0-based): "&1 /path/file.vdc", long paths shortened in the middle.
std::string recent_file_menu_text(std::size_t index, std::string_view path);

}  // namespace varda
