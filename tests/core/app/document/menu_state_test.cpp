// The main window's menus, toolbar, command states, prompts and title, decided without a window.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <regex>
#include <sstream>

#include "core/app/document/menu_state.h"
#include "core/devices/brand.h"
#include "core/devices/models.h"
#include "core/link/options.h"
#include "core/model/device_table.h"

namespace varda {
namespace {

const TopMenu& menu_titled(const std::vector<TopMenu>& menus, std::string_view title) {
    for (const TopMenu& menu : menus)
        if (menu.title == title) return menu;
    throw std::runtime_error("no menu " + std::string(title));
}

// The menu's entries as text: commands by their text, "-" for separators, "[title]" for submenus.
std::vector<std::string> entries(const std::vector<MenuItem>& items) {
    std::vector<std::string> out;
    for (const MenuItem& item : items) {
        switch (item.kind) {
            case MenuItem::Kind::Command:
                out.push_back(item.text);
                break;
            case MenuItem::Kind::Separator:
                out.push_back("-");
                break;
            case MenuItem::Kind::Submenu:
                out.push_back("[" + item.text + "]");
                break;
            case MenuItem::Kind::RecentFiles:
                out.push_back("<recent>");
                break;
        }
    }
    return out;
}

using Strings = std::vector<std::string>;

TEST(MainMenu, FullBrandHasEveryCommandInOrder) {
    const auto menus = main_menu_layout(CBrandKest(), nullptr);
    ASSERT_EQ(menus.size(), 5u);
    EXPECT_EQ(menus[0].title, "&File");
    EXPECT_EQ(menus[2].title, "&Tree");
    EXPECT_EQ(menus[3].title, "Tools");
    EXPECT_EQ(entries(menus[0].items),
              (Strings{"&New", "&Open...", "&Save", "Save &as...", "-", "<recent>", "-", "&Exit"}));
    const TopMenu& device = menu_titled(menus, "&Device");
    EXPECT_EQ(entries(device.items),
              (Strings{"Read all", "Write all", "Write changes", "Compare", "Compare with file...", "-",
                       "[Commands]", "I/O status...", "Single parameter...", "Check connection...",
                       "[Serial interface adapter]", "Serial port settings...", "Find modules on the bus...",
                       "Bus monitor..."}));
    EXPECT_EQ(entries(device.items[6].items),
              (Strings{"Apply default settings", "Execute INIT", "Apply new settings (APLY)"}));
    EXPECT_EQ(entries(menu_titled(menus, "Tools").items),
              (Strings{"Show indexes", "Read automatically", "Instant recording",
                       "Do not send parameter attributes", "Calibration...", "-", "Service functions", "-",
                       "Toolbar", "Status bar"}));
    EXPECT_EQ(entries(menu_titled(menus, "&Help").items),
              (Strings{"&Help", "Export parameter list to HTML...", "-", "&About..."}));
}

TEST(MainMenu, RavelinLeavesOutAdapterInitCalibrationAndExport) {
    const auto menus = main_menu_layout(CBrandRavelin(), nullptr);
    const TopMenu& device = menu_titled(menus, "&Device");
    EXPECT_EQ(entries(device.items),
              (Strings{"Read all", "Write all", "Write changes", "Compare", "Compare with file...", "-",
                       "[Commands]", "I/O status...", "Single parameter...", "Check connection...",
                       "Serial port settings...", "Find modules on the bus...", "Bus monitor..."}));
    EXPECT_EQ(entries(device.items[6].items),
              (Strings{"Apply default settings", "Apply new settings (APLY)"}));
    for (const int gone :
         {kCmdExecuteInit, kCmdCalibration, kCmdExportHtml, kCmdAdapterAuto, kCmdAdapterSemiAuto})
        EXPECT_FALSE(menu_contains(menus, gone)) << gone;
    EXPECT_TRUE(menu_contains(menus, kCmdApplyDefaults));
    // The way to the full brand stays in the restricted one.
    EXPECT_TRUE(menu_contains(menus, kCmdServiceFunctions));
    EXPECT_EQ(entries(menu_titled(menus, "&Help").items), (Strings{"&Help", "-", "&About..."}));
}

TEST(MainMenu, SubmenuPositionsCountInTheUntouchedMenu) {
    // Removing the adapter submenu after an earlier submenu must not shift onto "Serial port settings...".
    auto menus = main_menu_base();
    MenuAdjustment adjustment;
    adjustment.submenus = {{MainMenu::Device, 6}, {MainMenu::Device, kSerialAdapterSubmenuPosition}};
    apply_menu_adjustment(menus, adjustment);
    EXPECT_EQ(entries(menu_titled(menus, "&Device").items),
              (Strings{"Read all", "Write all", "Write changes", "Compare", "Compare with file...", "-",
                       "I/O status...", "Single parameter...", "Check connection...",
                       "Serial port settings...", "Find modules on the bus...", "Bus monitor..."}));
}

TEST(MainMenu, ModelCommandGoesBeforeItsAnchorOrAtTheEnd) {
    const auto vk13 = create_device_model(13, nullptr);
    const auto full = main_menu_layout(CBrandKest(), vk13.get());
    EXPECT_EQ(entries(menu_titled(full, "Tools").items),
              (Strings{"Show indexes", "Read automatically", "Instant recording",
                       "Do not send parameter attributes", "Tare weight", "Calibration...", "-",
                       "Service functions", "-", "Toolbar", "Status bar"}));
    const auto ravelin = main_menu_layout(CBrandRavelin(), vk13.get());
    EXPECT_EQ(entries(menu_titled(ravelin, "Tools").items).back(), "Tare weight");
    EXPECT_FALSE(
        menu_contains(main_menu_layout(CBrandKest(), create_device_model(3, nullptr).get()), kCmdTareWeight));
}

// A menu entry's text as the user reads it: without the mnemonic marks.
std::string plain(std::string text) {
    std::erase(text, '&');
    return text;
}

// Follows "Menu", "Entry", "Entry"... through the menus; true when every step is there.
bool menu_path_exists(const std::vector<TopMenu>& menus, const std::vector<std::string>& path) {
    const auto top = std::find_if(menus.begin(), menus.end(),
                                  [&](const TopMenu& menu) { return plain(menu.title) == path.front(); });
    if (top == menus.end()) return false;
    const std::vector<MenuItem>* items = &top->items;
    for (std::size_t step = 1; step < path.size(); ++step) {
        const auto item = std::find_if(items->begin(), items->end(), [&](const MenuItem& entry) {
            return plain(entry.text) == path[step];
        });
        if (item == items->end()) return false;
        items = &item->items;
    }
    return true;
}

TEST(MainMenu, EveryMenuCommandTheReadmeNamesExists) {
    std::ifstream in(std::string(VARDA_DESCRIPTIONS_DIR) + "/../README.md");
    ASSERT_TRUE(in);
    std::stringstream text;
    text << in.rdbuf();
    const std::string readme = text.str();
    // **Menu** > "Entry" > "Entry" ..., across line breaks.
    const std::regex chain(R"re(\*\*(\w+)\*\*((?:\s+>\s+"[^"]+")+))re");
    const std::regex step(R"re(>\s+"([^"]+)")re");
    const auto full = main_menu_layout(CBrandKest(), nullptr);
    int checked = 0;
    for (auto it = std::sregex_iterator(readme.begin(), readme.end(), chain); it != std::sregex_iterator();
         ++it) {
        std::vector<std::string> path{(*it)[1]};
        const std::string steps = (*it)[2];
        for (auto s = std::sregex_iterator(steps.begin(), steps.end(), step); s != std::sregex_iterator();
             ++s)
            path.push_back((*s)[1]);
        EXPECT_TRUE(menu_path_exists(full, path)) << it->str();
        ++checked;
    }
    EXPECT_GT(checked, 0);
}

TEST(Toolbar, RavelinHidesInit) {
    const std::vector<int> full = toolbar_layout(CBrandKest());
    EXPECT_EQ(full, (std::vector<int>{57600, 57601, 57603, 0,   139,   140, 256, 0,   279, 280,
                                      281,   0,     269,   301, 32821, 0,   276, 277, 0,   57664}));
    std::vector<int> expected = full;
    std::erase(expected, kCmdExecuteInit);
    EXPECT_EQ(toolbar_layout(CBrandRavelin()), expected);
}

TEST(CommandState, ModelRules) {
    MenuFacts facts;
    const auto vk06 = create_device_model(6, nullptr);
    const auto vk03 = create_device_model(3, nullptr);
    const auto vk00 = create_device_model(0, nullptr);

    facts.model = vk06.get();
    EXPECT_FALSE(command_state(kCmdExecuteInit, facts, true).enabled);
    EXPECT_FALSE(command_state(kCmdApplyDefaults, facts, true).enabled);
    EXPECT_FALSE(command_state(kCmdIoStatus, facts, true).enabled);

    facts.model = vk03.get();
    EXPECT_TRUE(command_state(kCmdExecuteInit, facts, true).enabled);
    EXPECT_TRUE(command_state(kCmdApplyDefaults, facts, true).enabled);
    EXPECT_TRUE(command_state(kCmdIoStatus, facts, true).enabled);
    EXPECT_EQ(vk03->CanCalibrate(), command_state(kCmdCalibration, facts, true).enabled);

    facts.model = vk00.get();
    ASSERT_TRUE(vk00->CanCalibrate());
    EXPECT_TRUE(command_state(kCmdCalibration, facts, true).enabled);

    // Without a model nothing can be calibrated; everything else follows its handler.
    facts.model = nullptr;
    EXPECT_FALSE(command_state(kCmdCalibration, facts, true).enabled);
    EXPECT_TRUE(command_state(kCmdIoStatus, facts, true).enabled);
    EXPECT_TRUE(command_state(kCmdReadAll, facts, true).enabled);
    EXPECT_FALSE(command_state(kCmdReadAll, facts, false).enabled);
    EXPECT_TRUE(command_state(kCmdHelp, facts, true).enabled);  // the user guide
}

TEST(CommandState, CheckMarksFollowOptionsAndAdapter) {
    Options options;
    MenuFacts facts;
    facts.options = &options;
    EXPECT_FALSE(command_state(kCmdShowIndexes, facts, true).checked);
    EXPECT_TRUE(command_state(kCmdReadAutomatically, facts, true).checked);
    EXPECT_TRUE(command_state(kCmdReadAutomatically, facts, true).checkable);
    options.instant_recording = true;
    options.do_not_send_attributes = true;
    EXPECT_TRUE(command_state(kCmdInstantRecording, facts, true).checked);
    EXPECT_TRUE(command_state(kCmdDoNotSendAttributes, facts, true).checked);
    EXPECT_FALSE(command_state(kCmdReadAll, facts, true).checkable);

    facts.adapter_mode = 0;
    EXPECT_FALSE(command_state(kCmdAdapterAuto, facts, true).checked);
    EXPECT_TRUE(command_state(kCmdAdapterSemiAuto, facts, true).checked);
    facts.adapter_mode = 1;
    EXPECT_TRUE(command_state(kCmdAdapterAuto, facts, true).checked);
    EXPECT_FALSE(command_state(kCmdAdapterSemiAuto, facts, true).checked);

    facts.toolbar_visible = false;
    EXPECT_FALSE(command_state(kCmdToolbar, facts, true).checked);
    EXPECT_TRUE(command_state(kCmdStatusBar, facts, true).checked);

    // "Service functions" carries its check mark with the full brand.
    EXPECT_TRUE(command_state(kCmdServiceFunctions, facts, true).checkable);
    EXPECT_FALSE(command_state(kCmdServiceFunctions, facts, true).checked);
    facts.full_brand = true;
    EXPECT_TRUE(command_state(kCmdServiceFunctions, facts, true).checked);
}

TEST(CommandPrompt, IoStatusTipComesFromTheModel) {
    EXPECT_EQ(command_prompt(kCmdIoStatus, create_device_model(3, nullptr).get()).tip, "I/O status");
    EXPECT_EQ(command_prompt(kCmdIoStatus, create_device_model(0, nullptr).get()).tip, "Input status");
    EXPECT_EQ(command_prompt(kCmdIoStatus, create_device_model(1, nullptr).get()).tip, "Output status");
    EXPECT_EQ(command_prompt(kCmdIoStatus, nullptr).tip, "I/O status");
    const CommandPrompt read = command_prompt(kCmdReadAll, nullptr);
    EXPECT_EQ(read.tip, "Read all");
    EXPECT_FALSE(read.status.empty());
    EXPECT_EQ(read.status.find('\n'), std::string::npos);
    for (int id = kCmdRecentFile; id < kCmdRecentFile + kRecentFileCount; ++id)
        EXPECT_FALSE(command_prompt(id, nullptr).status.empty());
}

TEST(WindowTitle, NamesTheModelOrUnknown) {
    EXPECT_EQ(main_window_title(kNoModel, ""), "Configurator <unknown>");
    EXPECT_EQ(main_window_title(3, ""), "Configurator Tavik-VK03");
    EXPECT_EQ(main_window_title(3, document_title("")), "Configurator Tavik-VK03 - Tavik");
    EXPECT_EQ(main_window_title(13, document_title("/home/op/plant 1.vdc")),
              "Configurator Tavik-VK13 - plant 1.vdc");
}

TEST(RecentFiles, MostRecentFirstWithoutRepeatsAndAtMostFour) {
    std::vector<std::string> files;
    for (const char* path : {"/a.vdc", "/b.vdc", "/c.vdc", "/d.vdc", "/e.vdc"})
        add_recent_file(files, path);
    EXPECT_EQ(files, (Strings{"/e.vdc", "/d.vdc", "/c.vdc", "/b.vdc"}));
    add_recent_file(files, "/c.vdc");
    EXPECT_EQ(files, (Strings{"/c.vdc", "/e.vdc", "/d.vdc", "/b.vdc"}));
    remove_recent_file(files, "/e.vdc");
    EXPECT_EQ(files, (Strings{"/c.vdc", "/d.vdc", "/b.vdc"}));
}

TEST(RecentFiles, MenuTextNumbersAndEscapes) {
    EXPECT_EQ(recent_file_menu_text(0, "/data/R&D/x.vdc"), "&1 /data/R&&D/x.vdc");
    const std::string long_path = "/" + std::string(80, 'd') + "/plant.vdc";
    const std::string text = recent_file_menu_text(3, long_path);
    EXPECT_EQ(text.substr(0, 3), "&4 ");
    EXPECT_LE(text.size(), 3u + 60u);
    EXPECT_EQ(text.substr(text.size() - 13), ".../plant.vdc");
}

}  // namespace
}  // namespace varda
