#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <set>
#include <string>
#include <typeindex>
#include <typeinfo>
#include <vector>

#include "core/devices/brand.h"
#include "core/devices/models.h"
#include "core/devices/module_restore.h"
#include "core/model/device_table.h"
#include "core/model/model_context.h"
#include "core/model/parameter.h"
#include "core/platform/strings.h"
#include "core/platform/text.h"

namespace varda {
namespace {

std::unique_ptr<CBaseDevice> model(int index) {
    auto device = create_device_model(index, nullptr);
    EXPECT_NE(device, nullptr) << index;
    return device;
}

// --- identification

// The last reply is made of Cyrillic look-alikes, which are other letters.
TEST(Identification, MatchesRepliesWithoutRegardToCase) {
    const struct {
        const char* reply;
        std::optional<int> row;
    } cases[] = {
        {"VK20-DEV", 20},  {"vk20-dev", 20}, {"Vk05-Dv", 5}, {"VK13-DEV", 13}, {"vk05-dev", {}},
        {"vk20-dev ", {}}, {"vk20", {}},     {"", {}},       {"вк20-дев", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(match_identification(c.reply), c.row) << c.reply;
}

TEST(Identification, FirstEqualRowWins) {
    // Every row is found by its own string except 14, which shares row 13's.
    for (const DeviceRow& row : device_table()) {
        EXPECT_EQ(match_identification(row.identification), row.index == 14 ? 13 : row.index) << row.code;
        EXPECT_EQ(match_identification(platform::to_upper(row.identification)),
                  row.index == 14 ? 13 : row.index);
    }
}

TEST(Identification, TdevSplitsTheSharedRow) {
    const struct {
        int row;
        std::optional<int> position;
        int model;
    } cases[] = {
        {13, 0, 13}, {13, 1, 14}, {13, {}, 13}, {13, 2, 13}, {13, -1, 13}, {20, 1, 20}, {0, {}, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(resolve_tdev(c.row, c.position), c.model) << c.row;
}

TEST(Identification, TdevParameterReadsTheChannelCount) {
    auto tdev = make_tdev_parameter();
    EXPECT_EQ(tdev->network_name(), "tdev");
    EXPECT_EQ(tdev->item_text(0), "1 канал");
    EXPECT_EQ(tdev->item_text(1), "4 канала");
    // A failed read leaves "no data", which is no position: the model stays 13.
    EXPECT_EQ(tdev_position(*tdev), std::nullopt);
    EXPECT_EQ(resolve_tdev(13, tdev_position(*tdev)), 13);
    tdev->SetValueText("4 КАНАЛА");  // Cyrillic in the other case
    EXPECT_EQ(tdev_position(*tdev), 1);
    EXPECT_EQ(resolve_tdev(13, tdev_position(*tdev)), 14);
    tdev->SetValueText("1 канал");
    EXPECT_EQ(resolve_tdev(13, tdev_position(*tdev)), 13);
}

TEST(DeviceTable, DisplayNamesMapBackToTheirModel) {
    std::set<std::string> names;
    for (const DeviceRow& row : device_table()) {
        const std::string_view name = display_name(row.index);
        ASSERT_FALSE(name.empty()) << row.code;
        names.insert(std::string(name));
        EXPECT_EQ(model_index_by_display_name(name), row.index);
        EXPECT_EQ(device_row(row.index), &row);
    }
    EXPECT_EQ(names.size(), static_cast<std::size_t>(kDeviceCount));
    EXPECT_EQ(display_name(-1), "");
    EXPECT_EQ(display_name(kDeviceCount), "");
    EXPECT_EQ(display_name(kNoModel), "");
    EXPECT_EQ(model_index_by_display_name("Tavik-VK99"), std::nullopt);
    EXPECT_EQ(device_row(kDeviceCount), nullptr);
}

// --- factory

TEST(Factory, EveryIndexGivesItsModelClass) {
    const std::type_index expected[kDeviceCount] = {
        typeid(CVK00), typeid(CVK01), typeid(CVK02), typeid(CVK03), typeid(CVK04), typeid(CVK05),
        typeid(CVK06), typeid(CVK07), typeid(CVK08), typeid(CVK09), typeid(CVK10), typeid(CVK11),
        typeid(CVK12), typeid(CVK13), typeid(CVK13), typeid(CVK15), typeid(CVK16), typeid(CVK17),
        typeid(CVK18), typeid(CVK19), typeid(CVK20), typeid(CVK21), typeid(CVK22),
    };
    for (int i = 0; i < kDeviceCount; ++i) {
        auto device = model(i);
        ASSERT_NE(device, nullptr);
        const auto& made = *device;  // typeid of a plain reference: no call inside the operand
        EXPECT_EQ(std::type_index(typeid(made)), expected[i]) << i;
        EXPECT_EQ(device->model_index(), i);
        EXPECT_EQ(dynamic_cast<CDeviceVolt*>(device.get()) != nullptr, i >= 19) << i;
    }
    EXPECT_NE(dynamic_cast<CVK07*>(model(17).get()), nullptr);

    const auto one = model(13);
    const auto four = model(14);
    EXPECT_EQ(static_cast<const CVK13&>(*one).channel_count(), 1);
    EXPECT_EQ(static_cast<const CVK13&>(*four).channel_count(), 4);

    for (int index : {-1, kDeviceCount, kNoModel})
        EXPECT_EQ(create_device_model(index, nullptr), nullptr);
}

TEST(Factory, KeepsTheContext) {
    struct NoParameters : ModelContext {
        Parameter* find_parameter(std::string_view, int) override { return nullptr; }
    } context;
    EXPECT_EQ(create_device_model(11, &context)->context(), &context);
}

// --- model rules

TEST(Models, StrainGaugeAddressValidity) {
    const struct {
        long address;
        const char* length;
        bool valid;
    } cases[] = {
        {0, "8", false},    {1, "8", true},      {254, "8", true},  {255, "8", false},  {256, "8", false},
        {2036, "8", false}, {0, "11", false},    {254, "11", true}, {255, "11", false}, {256, "11", true},
        {2036, "11", true}, {2037, "11", false}, {-1, "11", false}, {2037, "16", true},
    };
    for (int index : {13, 14}) {
        const auto device = model(index);
        for (const auto& c : cases)
            EXPECT_EQ(device->IsValidAddress(c.address, c.length), c.valid)
                << index << ": " << c.address << " with " << c.length;
    }
    EXPECT_TRUE(model(0)->IsValidAddress(255, "8"));
}

TEST(Models, NeedsApplyNames) {
    const std::set<int> delay_models = {13, 14, 18, 19, 20, 21, 22};
    for (int i = 0; i < kDeviceCount; ++i) {
        const auto device = model(i);
        for (const char* name : {"bps", "LEN", "prty", "SBIT", "a.len", "ADDR"})
            EXPECT_TRUE(device->NeedsApply(name)) << i << " " << name;
        for (const char* name : {"Prot", "Addr ", "A.Le", "", "INIT"})
            EXPECT_FALSE(device->NeedsApply(name)) << i << " " << name;
        EXPECT_EQ(device->NeedsApply("RS.DL"), delay_models.count(i) == 1) << i;
        EXPECT_EQ(device->NeedsApply("t.PRO"), i == 20) << i;
    }
}

TEST(Models, StatusItemsOfVk12SkipBitFour) {
    const auto device = model(12);
    EXPECT_EQ(device->GetStatusCaption(0), 366);
    EXPECT_EQ(device->GetStatusCaption(6), 371);
    EXPECT_EQ(device->GetStatusText(0, 0x01), str(374));
    EXPECT_EQ(device->GetStatusText(0, 0x00), str(375));
    EXPECT_EQ(device->GetStatusText(3, 0x08), str(380));
    EXPECT_EQ(device->GetStatusText(3, 0x00), str(379));
    EXPECT_EQ(device->GetStatusText(4, 0x10), str(347));  // jumper is bit 5
    EXPECT_EQ(device->GetStatusText(4, 0x20), str(346));
    EXPECT_EQ(device->GetStatusText(6, 0x80), str(350));
    EXPECT_EQ(device->GetStatusText(7, 0xFF), "");
    EXPECT_EQ(device->GetStatusCaption(7), 0);
    EXPECT_EQ(device->GetStatusText(-1, 0xFF), "");
}

TEST(Models, StatusItemsOfVk14FollowTheShiftedWord) {
    const auto device = model(14);
    EXPECT_EQ(device->GetStatusCaption(0), 342);
    EXPECT_EQ(device->GetStatusText(0, 0x01), str(346));
    for (int item = 1; item <= 8; ++item) {
        const int set_text = item <= 4 ? 348 : 350;
        EXPECT_EQ(device->GetStatusCaption(item), 355 + item) << item;  // 356 to 363
        EXPECT_EQ(device->GetStatusText(item, 1u << item), str(set_text)) << item;
        EXPECT_EQ(device->GetStatusText(item, ~(1u << item)), str(set_text + 1)) << item;
    }
    EXPECT_EQ(device->GetStatusText(9, 0xFFFF), "");
    EXPECT_EQ(device->GetStatusCaption(9), 0);

    const auto one = model(13);
    EXPECT_EQ(one->GetStatusCaption(1), 364);
    EXPECT_EQ(one->GetStatusText(1, 0x02), str(348));
    EXPECT_EQ(one->GetStatusText(2, 0x04), str(350));
    EXPECT_EQ(one->GetStatusText(2, 0x02), str(351));
    EXPECT_EQ(one->GetStatusCaption(3), 0);
}

TEST(Models, StatusItemsOfVk18AndVk20) {
    const auto vk18 = model(18);
    EXPECT_EQ(vk18->GetStatusText(1, 0x02), str(349));  // sensor is bit 2
    EXPECT_EQ(vk18->GetStatusText(1, 0x04), str(348));
    EXPECT_EQ(vk18->GetStatusText(3, 0x20), str(354));
    EXPECT_EQ(vk18->GetStatusCaption(4), 0);

    const auto vk20 = model(20);
    for (int item = 0; item < 7; ++item) {
        EXPECT_EQ(vk20->GetStatusCaption(item), 328 + item);
        EXPECT_EQ(vk20->GetStatusText(item, 1u << item), "1");
        EXPECT_EQ(vk20->GetStatusText(item, ~(1u << item)), "0");
    }
    EXPECT_EQ(vk20->GetStatusText(7, 0xFF), "");
    EXPECT_EQ(vk20->GetStatusCaption(7), 0);

    EXPECT_EQ(model(0)->GetStatusText(0, 0xFF), "");
    EXPECT_EQ(model(19)->GetStatusCaption(0), 0);
}

TEST(Models, ElectricalMeterCalibrationFlags) {
    const struct {
        int model;
        unsigned status;
        int item;
        bool done;
    } cases[] = {
        {19, 0x02, 1, true},  {19, 0x04, 2, true},  {19, 0x10, 3, true},  {19, 0x08, 3, false},
        {19, 0x00, 3, false}, {19, 0xFF, 4, false}, {20, 0x02, 1, true},  {20, 0x40, 3, true},
        {20, 0x10, 3, false}, {20, 0x80, 4, true},  {20, 0x7F, 4, false}, {21, 0x08, 1, true},
        {21, 0x02, 1, false}, {21, 0x04, 2, true},  {21, 0x02, 3, true},  {21, 0x00, 3, true},
        {21, 0x00, 1, false}, {21, 0x04, 3, false}, {22, 0x00, 3, true},  {22, 0x08, 1, true},
        {22, 0xFF, 0, false}, {22, 0xFF, 4, false},
    };
    for (const auto& c : cases) {
        const auto device = model(c.model);
        const auto& volt = dynamic_cast<const CDeviceVolt&>(*device);
        EXPECT_EQ(volt.GetCalibrationFlag(c.status, c.item), c.done)
            << c.model << " status " << c.status << " item " << c.item;
    }
    for (int index : {19, 20, 21, 22})
        EXPECT_EQ(dynamic_cast<const CDeviceVolt&>(*model(index)).CalibrationStartValue(),
                  index <= 20 ? 256 : 16);
}

TEST(Models, ApplyParameter) {
    auto base = model(0);
    Parameter& apply = base->GetApplyParameter();
    EXPECT_EQ(apply.network_name(), "APLY");
    EXPECT_EQ(apply.value_text(), "");
    EXPECT_EQ(&base->GetApplyParameter(), &apply);

    auto vk19 = model(19);
    Parameter& volt_apply = vk19->GetApplyParameter();
    EXPECT_EQ(volt_apply.network_name(), "APLY");
    EXPECT_TRUE(volt_apply.is_type("int"));
    EXPECT_EQ(volt_apply.value_text(), "129");
    volt_apply.SetValueText("5");
    EXPECT_EQ(&vk19->GetApplyParameter(), &volt_apply);
    EXPECT_EQ(volt_apply.value_text(), "129");
}

TEST(Models, MeasuredValueFormatting) {
    const std::set<int> measuring = {0, 7, 8, 12, 17};
    for (int i = 0; i < kDeviceCount; ++i) {
        const auto device = model(i);
        EXPECT_EQ(device->decodes_measured_values(), measuring.count(i) == 1) << i;
        EXPECT_EQ(device->FormatFloat(-12.25f), i == 0 ? "-12.2" : "-12.250") << i;
    }
    EXPECT_EQ(model(0)->FormatFloat(3.96f), "4.0");
}

TEST(Models, ModuleRestoreCommands) {
    const std::vector<RestoreWrite> once = {RestoreWrite{}};
    for (int index : {12, 13, 18})
        EXPECT_EQ(model(index)->ModuleRestoreWrites(), once) << index;
    EXPECT_EQ(model(14)->ModuleRestoreWrites(),
              (std::vector<RestoreWrite>{{true, 0}, {true, 1}, {true, 2}, {true, 3}}));
    for (int index : {0, 6, 11, 19, 20})
        EXPECT_TRUE(model(index)->ModuleRestoreWrites().empty()) << index;
}

TEST(Models, TareWeightCommandOnlyForStrainGauges) {
    const MenuCommandInsertion tare{MainMenu::Tools, kCmdTareWeight, 288, kCmdCalibration};
    for (int i = 0; i < kDeviceCount; ++i) {
        const auto added = model(i)->CustomizeMenu();
        if (i == 13 || i == 14)
            EXPECT_EQ(added, std::vector<MenuCommandInsertion>{tare});
        else
            EXPECT_TRUE(added.empty()) << i;
    }
}

// --- module restore

TEST(ModuleRestore, WritesEachChannelAndReportsRealFailures) {
    const std::string timeout(str(kTimeoutError));
    const std::string undecodable(str(kResponseNotDecoded));
    const auto four = model(14)->ModuleRestoreWrites();

    const struct {
        const char* name;
        std::map<int, FailureKind> failures;  // channel -> failure
        std::vector<int> written;
        std::optional<std::string> reported;
    } cases[] = {
        {"all succeed", {}, {0, 1, 2, 3}, std::nullopt},
        {"time-out stops", {{1, FailureKind::Timeout}}, {0, 1}, timeout},
        {"undecodable reply is tolerated",
         {{0, FailureKind::NotDecodable}, {2, FailureKind::NotDecodable}},
         {0, 1, 2, 3},
         std::nullopt},
        {"real failure after a tolerated one",
         {{0, FailureKind::NotDecodable}, {3, FailureKind::Timeout}},
         {0, 1, 2, 3},
         timeout},
    };
    for (const auto& c : cases) {
        std::vector<int> written;
        const auto reported = run_module_restore(four, [&](Parameter& command) {
            EXPECT_EQ(command.network_name(), "S.Def");
            EXPECT_TRUE(command.is_type("void"));
            EXPECT_EQ(command.value_text(), "");
            EXPECT_TRUE(command.indexed);
            written.push_back(command.network_index);
            const auto failure = c.failures.find(command.network_index);
            if (failure == c.failures.end()) return true;
            command.set_failure(failure->second,
                                failure->second == FailureKind::Timeout ? timeout : undecodable);
            return false;
        });
        EXPECT_EQ(written, c.written) << c.name;
        EXPECT_EQ(reported, c.reported) << c.name;
    }

    int writes = 0;
    run_module_restore(model(12)->ModuleRestoreWrites(), [&](Parameter& command) {
        EXPECT_FALSE(command.indexed);
        ++writes;
        return true;
    });
    EXPECT_EQ(writes, 1);
}

// --- "Log" pairing

constexpr const char* kLogModes = "off:m1:m2:m3:m4:m5:m6:m7";

class LogRoot : public ModelContext {
  public:
    Parameter& add(int index, const std::string& value) {
        auto& log = logs_[index];
        log = std::make_unique<Parameter>("Log");
        log->set_data_type(kLogModes);
        log->indexed = true;
        log->network_index = index;
        log->SetValueText(value);
        return *log;
    }
    Parameter* find_parameter(std::string_view name, int index) override {
        const auto it = logs_.find(index);
        return platform::iequals(name, "Log") && it != logs_.end() ? it->second.get() : nullptr;
    }

  private:
    std::map<int, std::unique_ptr<Parameter>> logs_;
};

TEST(LogPairing, BindsModesThreeFourAndSevenToBothChannels) {
    const struct {
        const char* name;
        int index;
        const char* value;
        int partner_index;
        const char* partner_value;
        const char* partner_after;
    } cases[] = {
        {"even index copies a bound mode", 4, "m3", 5, "m1", "m3"},
        {"odd index copies to the even one", 5, "m4", 4, "off", "m4"},
        {"mode 7 is bound too", 2, "m7", 3, "m2", "m7"},
        {"copy keeps the text as given", 4, "M3", 5, "m1", "M3"},
        {"leaving a bound mode frees the partner", 4, "m1", 5, "m7", "off"},
        {"partner at mode 3 freed from odd side", 7, "m2", 6, "m3", "off"},
        {"unbound modes leave the partner", 4, "m1", 5, "m2", "m2"},
        {"unbound mode with partner off", 4, "m6", 5, "off", "off"},
        {"value outside the list says nothing", 4, "no data", 5, "m7", "m7"},
        {"index 0 pairs with 1", 0, "m4", 1, "m5", "m4"},
    };
    for (const auto& c : cases) {
        LogRoot root;
        Parameter& log = root.add(c.index, c.value);
        Parameter& partner = root.add(c.partner_index, c.partner_value);
        CVK11 vk11(&root);
        vk11.OnLogParameter(log);
        EXPECT_EQ(partner.value_text(), c.partner_after) << c.name;
        EXPECT_EQ(partner.value_modified, std::string(c.partner_value) != c.partner_after) << c.name;
        EXPECT_EQ(log.value_text(), c.value) << c.name;
    }
}

TEST(LogPairing, NothingHappensWithoutAPartnerOrOnOtherModels) {
    LogRoot root;
    Parameter& lonely = root.add(4, "m3");
    CVK11 vk11(&root);
    vk11.OnLogParameter(lonely);  // no index 5
    EXPECT_EQ(lonely.value_text(), "m3");

    Parameter& partner = root.add(5, "m1");
    CVK11(nullptr).OnLogParameter(lonely);
    EXPECT_EQ(partner.value_text(), "m1");
    CVK03(&root).OnLogParameter(lonely);
    EXPECT_EQ(partner.value_text(), "m1");
    Parameter other("Lag");
    other.set_data_type(kLogModes);
    other.network_index = 4;
    other.SetValueText("m3");
    vk11.OnLogParameter(other);
    EXPECT_EQ(partner.value_text(), "m1");
}

// --- brands

TEST(Brands, ListedModelsAndRemovedCommands) {
    const CBrandRavelin ravelin;
    std::vector<int> ravelin_names;
    for (int index : ravelin.ListedModels())
        ravelin_names.push_back(device_row(index)->name_id);
    EXPECT_EQ(ravelin_names,
              (std::vector<int>{132, 133, 135, 136, 137, 138, 142, 143, 144, 146, 289, 290, 291}));

    const MenuAdjustment menus = ravelin.AdjustMainMenu();
    EXPECT_EQ(menus.submenus,
              (std::vector<SubmenuRemoval>{{MainMenu::Device, kSerialAdapterSubmenuPosition}}));
    const std::vector<MenuCommandRemoval> commands = {
        {MainMenu::Device, 301}, {MainMenu::Tools, 32824}, {MainMenu::Help, 32804}};
    EXPECT_EQ(menus.commands, commands);
    EXPECT_EQ(ravelin.HiddenToolbarButtons(), std::vector<int>{301});

    const CBrandKest kest;
    std::vector<int> all;
    for (int i = 0; i < kDeviceCount; ++i)
        all.push_back(i);
    EXPECT_EQ(kest.ListedModels(), all);
    EXPECT_TRUE(kest.AdjustMainMenu().empty());
    EXPECT_TRUE(kest.HiddenToolbarButtons().empty());
}

}  // namespace
}  // namespace varda
