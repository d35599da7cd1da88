#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "core/devices/menu_changes.h"

namespace varda {

// The two brands; the restricted one is the default.
enum class BrandId { Ravelin, Kest };

// What a brand offers: the models the user can pick by hand and the commands it leaves out. The window
// applies the answers.
class CBrand {
  public:
    virtual ~CBrand() = default;
    virtual BrandId id() const = 0;
    // Model indices for the device-selection list, in display order.
    virtual std::vector<int> ListedModels() const = 0;
    virtual MenuAdjustment AdjustMainMenu() const = 0;
    // Command ids of the toolbar buttons to hide.
    virtual std::vector<int> HiddenToolbarButtons() const = 0;
};

// The brand the application runs as: a subset of the models and no INIT, adapter, calibration or HTML
// export commands.
class CBrandRavelin : public CBrand {
  public:
    BrandId id() const override { return BrandId::Ravelin; }
    std::vector<int> ListedModels() const override;
    MenuAdjustment AdjustMainMenu() const override;
    std::vector<int> HiddenToolbarButtons() const override;
};

// Every model and every command.
class CBrandKest : public CBrand {
  public:
    BrandId id() const override { return BrandId::Kest; }
    std::vector<int> ListedModels() const override;
    MenuAdjustment AdjustMainMenu() const override { return {}; }
    std::vector<int> HiddenToolbarButtons() const override { return {}; }
};

// "ravelin" or "kest", as the command line and the settings name them.
std::string_view brand_name(BrandId id);
// The brand a name gives, without regard to case; nothing for any other text.
std::optional<BrandId> brand_from_name(std::string_view name);
// The one object of each brand; it lives as long as the program.
const CBrand& brand_object(BrandId id);

}  // namespace varda
