#include "core/app/document/menu_state.h"

#include <algorithm>

#include "core/devices/base_device.h"
#include "core/devices/brand.h"
#include "core/devices/models_io.h"
#include "core/link/options.h"
#include "core/model/device_table.h"
#include "core/platform/language.h"
#include "core/platform/serial_ports.h"
#include "core/platform/strings.h"

namespace varda {
namespace {

constexpr int kStringConfigurator = 130;
constexpr int kStringUnknownModel = 131;
constexpr std::string_view kNewDocumentName = "Tavik";
constexpr std::size_t kTipLimit = 80;
constexpr std::size_t kRecentPathLimit = 60;

using Item = MenuItem;

// Prompt texts: the status-bar prompt, then the tool tip after the last "\n".
struct PromptEntry {
    int command;
    std::string_view text;
};
constexpr PromptEntry kPrompts[] = {
    {kCmdTareWeight, "Set the tare weight of the scales\nTare weight"},
    {kCmdReadAutomatically, "Read a branch from the module when it is opened\nRead automatically"},
    {kCmdReadAll, "Read all parameters from the module\nRead all"},
    {kCmdWriteAll, "Write all parameters to the module\nWrite all"},
    {kCmdWriteChanges, "Write the changed parameters to the module\nWrite changes"},
    {kCmdCompare, "Compare the configuration with the module\nCompare"},
    {kCmdCompareWithFile,
     "Compare the configuration with a configuration file, leaving the document as it is\nCompare with file"},
    {kCmdApplyNewSettings, "Make the module take its new network settings\nApply new settings (APLY)"},
    {kCmdInstantRecording, "Write each edited value to the module at once\nInstant recording"},
    {kCmdApplyDefaults, "Return the module to its default settings\nApply default settings"},
    {kCmdPreviousProblem, "Go to the previous parameter with an error\nPrevious problem parameter"},
    {kCmdNextProblem, "Go to the next parameter with an error\nNext problem parameter"},
    {kCmdReadBranch, "Read the selected branch from the module\nRead selected branch"},
    {kCmdWriteBranch, "Write the selected branch to the module\nWrite selected branch"},
    {kCmdWriteBranchChanges, "Write the changed parameters of the selected branch\nWrite branch changes"},
    {kCmdCompareBranch, "Compare the selected branch with the module\nCompare in branch"},
    {kCmdDoNotSendAttributes,
     "Ignore the access attributes of the parameters\nDo not send parameter attributes"},
    {kCmdExecuteInit, "Send the INIT command: the module takes its written settings\nExecute INIT"},
    {kCmdSingleParameter, "Read or write one parameter by its network name\nSingle parameter"},
    {kCmdCheckConnection, "Identify the module on the line\nCheck connection"},
    {kCmdFindModules, "List every module that answers on the line, at the chosen baud rates\nFind modules"},
    {kCmdBusMonitor, "Show every frame on the line, decoded, as it happens\nBus monitor"},
    {kCmdShowIndexes, "Show the network indexes of the parameters\nShow indexes"},
    {kCmdAdapterAuto, "The adapter switches the line direction by itself\nAuto"},
    {kCmdAdapterSemiAuto, "The adapter switches the line direction by RTS\nSemi-auto (QA-5)"},
    {kCmdExportHtml, "Write the parameter list to an HTML page\nExport parameter list to HTML"},
    {kCmdPortSettings, "Serial port and network settings of the configurator\nSerial port settings"},
    {kCmdCalibration, "Calibrate the module\nCalibration"},
    {kCmdNew, "Create a new configuration for the current model\nNew"},
    {kCmdOpen, "Open a configuration file\nOpen"},
    {kCmdSave, "Save the configuration\nSave"},
    {kCmdSaveAs, "Save the configuration under a new name\nSave as"},
    {kCmdAbout, "Program information and version\nAbout"},
    {kCmdExit, "Quit the program; asks to save the configuration\nExit"},
    {kCmdHelp, "Open the user guide\nHelp"},
    {kCmdServiceFunctions,
     "Offer every model, calibration, the parameter-list export and Execute INIT\nService functions"},
    {kCmdToolbar, "Show or hide the toolbar\nToolbar"},
    {kCmdStatusBar, "Show or hide the status bar\nStatus bar"},
};

std::string_view prompt_text(int command) {
    for (const PromptEntry& entry : kPrompts)
        if (entry.command == command) return entry.text;
    if (command >= kCmdRecentFile && command < kCmdRecentFile + kRecentFileCount)
        return "Open this configuration";
    return {};
}

bool remove_command(std::vector<Item>& items, int command) {
    for (auto it = items.begin(); it != items.end(); ++it) {
        if (it->kind == Item::Kind::Command && it->command == command) {
            items.erase(it);
            return true;
        }
        if (it->kind == Item::Kind::Submenu && remove_command(it->items, command)) return true;
    }
    return false;
}

bool insert_before(std::vector<Item>& items, int anchor, const Item& item) {
    for (auto it = items.begin(); it != items.end(); ++it) {
        if (it->kind == Item::Kind::Command && it->command == anchor) {
            items.insert(it, item);
            return true;
        }
        if (it->kind == Item::Kind::Submenu && insert_before(it->items, anchor, item)) return true;
    }
    return false;
}

bool contains(const std::vector<Item>& items, int command) {
    return std::any_of(items.begin(), items.end(), [command](const Item& item) {
        return (item.kind == Item::Kind::Command && item.command == command) ||
               (item.kind == Item::Kind::Submenu && contains(item.items, command));
    });
}

TopMenu* find_menu(std::vector<TopMenu>& menus, MainMenu which) {
    for (TopMenu& menu : menus)
        if (menu.which == which) return &menu;
    return nullptr;
}

}  // namespace

std::vector<TopMenu> main_menu_base() {
    return {
        {"&File",
         std::nullopt,
         {Item::command_item(kCmdNew, "&New"), Item::command_item(kCmdOpen, "&Open..."),
          Item::command_item(kCmdSave, "&Save"), Item::command_item(kCmdSaveAs, "Save &as..."),
          Item::separator(), Item::recent_files(), Item::separator(), Item::command_item(kCmdExit, "&Exit")}},
        {"&Device",
         MainMenu::Device,
         {Item::command_item(kCmdReadAll, "Read all"), Item::command_item(kCmdWriteAll, "Write all"),
          Item::command_item(kCmdWriteChanges, "Write changes"), Item::command_item(kCmdCompare, "Compare"),
          Item::command_item(kCmdCompareWithFile, "Compare with file..."), Item::separator(),
          Item::submenu("Commands", {Item::command_item(kCmdApplyDefaults, "Apply default settings"),
                                     Item::command_item(kCmdExecuteInit, "Execute INIT"),
                                     Item::command_item(kCmdApplyNewSettings, "Apply new settings (APLY)")}),
          Item::command_item(kCmdIoStatus, "I/O status..."),
          Item::command_item(kCmdSingleParameter, "Single parameter..."),
          Item::command_item(kCmdCheckConnection, "Check connection..."),
          Item::submenu("Serial interface adapter",
                        {Item::command_item(kCmdAdapterAuto, "Auto"),
                         Item::command_item(kCmdAdapterSemiAuto, "Semi-auto (QA-5)")}),
          Item::command_item(kCmdPortSettings, "Serial port settings..."),
          // Last: the brands remove items by their place in this list.
          Item::command_item(kCmdFindModules, "Find modules on the bus..."),
          Item::command_item(kCmdBusMonitor, "Bus monitor...")}},
        {"&Tree",
         std::nullopt,
         {Item::command_item(kCmdReadBranch, "Read selected branch"),
          Item::command_item(kCmdWriteBranch, "Write selected branch"),
          Item::command_item(kCmdWriteBranchChanges, "Write branch changes"),
          Item::command_item(kCmdCompareBranch, "Compare in branch"), Item::separator(),
          Item::command_item(kCmdPreviousProblem, "Previous problem parameter"),
          Item::command_item(kCmdNextProblem, "Next problem parameter")}},
        {"Tools",
         MainMenu::Tools,
         {Item::command_item(kCmdShowIndexes, "Show indexes"),
          Item::command_item(kCmdReadAutomatically, "Read automatically"),
          Item::command_item(kCmdInstantRecording, "Instant recording"),
          Item::command_item(kCmdDoNotSendAttributes, "Do not send parameter attributes"),
          Item::command_item(kCmdCalibration, "Calibration..."), Item::separator(),
          Item::command_item(kCmdServiceFunctions, "Service functions"), Item::separator(),
          Item::command_item(kCmdToolbar, "Toolbar"), Item::command_item(kCmdStatusBar, "Status bar")}},
        {"&Help",
         MainMenu::Help,
         {Item::command_item(kCmdHelp, "&Help"),
          Item::command_item(kCmdExportHtml, "Export parameter list to HTML..."), Item::separator(),
          Item::command_item(kCmdAbout, "&About...")}},
    };
}

void apply_menu_adjustment(std::vector<TopMenu>& menus, const MenuAdjustment& adjustment) {
    // Positions count in the untouched menu: remove from the highest position down.
    std::vector<SubmenuRemoval> submenus = adjustment.submenus;
    std::sort(submenus.begin(), submenus.end(),
              [](const SubmenuRemoval& a, const SubmenuRemoval& b) { return a.position > b.position; });
    for (const SubmenuRemoval& removal : submenus) {
        TopMenu* menu = find_menu(menus, removal.menu);
        if (!menu || removal.position < 0 || removal.position >= static_cast<int>(menu->items.size()))
            continue;
        const auto it = menu->items.begin() + removal.position;
        if (it->kind == Item::Kind::Submenu) menu->items.erase(it);
    }
    for (const MenuCommandRemoval& removal : adjustment.commands)
        if (TopMenu* menu = find_menu(menus, removal.menu)) remove_command(menu->items, removal.command_id);
}

void insert_model_commands(std::vector<TopMenu>& menus, const std::vector<MenuCommandInsertion>& insertions) {
    for (const MenuCommandInsertion& insertion : insertions) {
        TopMenu* menu = find_menu(menus, insertion.menu);
        if (!menu || contains(menu->items, insertion.command_id)) continue;
        const Item item = Item::command_item(insertion.command_id, std::string(str(insertion.text_id)));
        if (!insert_before(menu->items, insertion.before_command_id, item)) menu->items.push_back(item);
    }
}

std::vector<TopMenu> main_menu_layout(const CBrand& brand, const CBaseDevice* model) {
    std::vector<TopMenu> menus = main_menu_base();
    apply_menu_adjustment(menus, brand.AdjustMainMenu());
    if (model) insert_model_commands(menus, model->CustomizeMenu());
    return menus;
}

bool menu_contains(const std::vector<TopMenu>& menus, int command) {
    return std::any_of(menus.begin(), menus.end(),
                       [command](const TopMenu& menu) { return contains(menu.items, command); });
}

std::vector<int> toolbar_layout(const CBrand& brand) {
    std::vector<int> buttons{kCmdNew,
                             kCmdOpen,
                             kCmdSave,
                             0,
                             kCmdReadAll,
                             kCmdWriteAll,
                             kCmdWriteChanges,
                             0,
                             kCmdReadBranch,
                             kCmdWriteBranch,
                             kCmdWriteBranchChanges,
                             0,
                             kCmdApplyDefaults,
                             kCmdExecuteInit,
                             kCmdIoStatus,
                             0,
                             kCmdPreviousProblem,
                             kCmdNextProblem,
                             0,
                             kCmdAbout};
    for (const int hidden : brand.HiddenToolbarButtons())
        std::erase(buttons, hidden);
    return buttons;
}

CommandState command_state(int command, const MenuFacts& facts, bool has_handler) {
    CommandState state;
    state.enabled = has_handler;
    const Options* options = facts.options;
    const auto check = [&state](bool on) {
        state.checkable = true;
        state.checked = on;
    };
    switch (command) {
        case kCmdShowIndexes:
            check(options && options->show_indexes);
            break;
        case kCmdReadAutomatically:
            check(options && options->read_automatically);
            break;
        case kCmdInstantRecording:
            check(options && options->instant_recording);
            break;
        case kCmdDoNotSendAttributes:
            check(options && options->do_not_send_attributes);
            break;
        case kCmdAdapterAuto:
            check(facts.adapter_mode != adapter_mode::kByRts);
            break;
        case kCmdAdapterSemiAuto:
            check(facts.adapter_mode == adapter_mode::kByRts);
            break;
        case kCmdToolbar:
            check(facts.toolbar_visible);
            break;
        case kCmdStatusBar:
            check(facts.status_bar_visible);
            break;
        case kCmdServiceFunctions:
            check(facts.full_brand);
            break;
        case kCmdCalibration:
            state.enabled = state.enabled && facts.model && facts.model->CanCalibrate();
            break;
        case kCmdIoStatus:
            state.enabled = state.enabled && !(facts.model && facts.model->HasNoIOStatus());
            break;
        case kCmdExecuteInit:
        case kCmdApplyDefaults:
            // The VK06 module takes neither command.
            state.enabled = state.enabled && !dynamic_cast<const CVK06*>(facts.model);
            break;
        default:
            break;
    }
    return state;
}

CommandPrompt command_prompt(int command, const CBaseDevice* model) {
    std::string text;
    if (command == kCmdIoStatus)
        text = std::string(str(model ? model->GetIOStatusTitle() : kCmdIoStatus));
    else
        text = std::string(localized(prompt_text(command)));
    CommandPrompt prompt;
    const std::size_t split = text.rfind('\n');
    if (split == std::string::npos) {
        prompt.status = text;
    } else {
        prompt.status = text.substr(0, split);
        prompt.tip = text.substr(split + 1);
    }
    if (prompt.tip.size() > kTipLimit) prompt.tip.resize(kTipLimit);
    return prompt;
}

std::string main_window_title(int model_index, std::string_view document_title) {
    const std::string_view model = display_name(model_index);
    std::string title = std::string(str(kStringConfigurator)) + " " +
                        std::string(model.empty() ? str(kStringUnknownModel) : model);
    if (!document_title.empty()) title += " - " + std::string(document_title);
    return title;
}

std::string document_title(std::string_view path_name) {
    if (path_name.empty()) return std::string(kNewDocumentName);
    const std::size_t slash = path_name.find_last_of('/');
    return std::string(slash == std::string_view::npos ? path_name : path_name.substr(slash + 1));
}

void add_recent_file(std::vector<std::string>& files, const std::string& path, std::size_t limit) {
    if (path.empty()) return;
    std::erase(files, path);
    files.insert(files.begin(), path);
    if (files.size() > limit) files.resize(limit);
}

void remove_recent_file(std::vector<std::string>& files, const std::string& path) {
    std::erase(files, path);
}

std::string recent_file_menu_text(std::size_t index, std::string_view path) {
    std::string shown(path);
    if (shown.size() > kRecentPathLimit) {
        // Keep the file name whole and as much of the folder's start as fits.
        const std::size_t slash = shown.find_last_of('/');
        const std::string name = slash == std::string::npos ? shown : shown.substr(slash);
        const std::size_t head = name.size() + 3 < kRecentPathLimit ? kRecentPathLimit - name.size() - 3 : 0;
        shown = shown.substr(0, head) + "..." + name;
    }
    // A literal "&" in the path must not become a mnemonic.
    std::string escaped;
    for (const char c : shown) {
        if (c == '&') escaped += '&';
        escaped += c;
    }
    std::string text = "&";
    text += std::to_string(index + 1);
    text += ' ';
    text += escaped;
    return text;
}

}  // namespace varda
