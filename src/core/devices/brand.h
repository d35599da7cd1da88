#pragma once

#include <vector>

#include "core/devices/menu_changes.h"

namespace varda {

// What a brand offers: the models the user can pick by hand and the commands it leaves out. The window
// applies the answers.
class CBrand {
  public:
    virtual ~CBrand() = default;
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
    std::vector<int> ListedModels() const override;
    MenuAdjustment AdjustMainMenu() const override;
    std::vector<int> HiddenToolbarButtons() const override;
};

// Every model and every command.
class CBrandKest : public CBrand {
  public:
    std::vector<int> ListedModels() const override;
    MenuAdjustment AdjustMainMenu() const override { return {}; }
    std::vector<int> HiddenToolbarButtons() const override { return {}; }
};

}  // namespace varda
