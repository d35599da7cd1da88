#pragma once

#include <QSettings>

#include "core/platform/settings_store.h"

namespace varda::gui {

// The program's settings in the user's Qt settings file (~/.config/KEST/Varda.conf); the machine-wide
// device-family values go to the group "Devices/Varda" of the same file.
class QtSettingsStore : public SettingsStore {
  public:
    QtSettingsStore();

    std::optional<int> get_int(std::string_view group, std::string_view name) const override;
    void set_int(std::string_view group, std::string_view name, int value) override;
    std::optional<std::string> get_string(std::string_view group, std::string_view name) const override;
    void set_string(std::string_view group, std::string_view name, std::string_view value) override;

  private:
    mutable QSettings settings_;
};

}  // namespace varda::gui
