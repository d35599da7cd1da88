#pragma once

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

namespace varda {

// Persistent user and machine settings, addressed by group and value name. The Qt program keeps them
// with QSettings; tests and command-line runs use MemorySettingsStore. Failures to write are ignored by
// every caller, so the setters report nothing.
class SettingsStore {
  public:
    virtual ~SettingsStore() = default;

    virtual std::optional<int> get_int(std::string_view group, std::string_view name) const = 0;
    virtual void set_int(std::string_view group, std::string_view name, int value) = 0;
    virtual std::optional<std::string> get_string(std::string_view group, std::string_view name) const = 0;
    virtual void set_string(std::string_view group, std::string_view name, std::string_view value) = 0;
};

// The application's own settings (network settings of the configurator: "address", "address_length",
// "baud_rate", "byte_size", "stop_bits", "parity_scheme", "port_number", "port").
inline constexpr std::string_view kSettingsGroup = "";
// The device family's shared values ("devices", "name", "version").
inline constexpr std::string_view kDevicesGroup = "Devices/Varda";
// How the window was left: geometry and column widths.
inline constexpr std::string_view kWindowGroup = "Window";

// Values kept in memory only.
class MemorySettingsStore : public SettingsStore {
  public:
    std::optional<int> get_int(std::string_view group, std::string_view name) const override;
    void set_int(std::string_view group, std::string_view name, int value) override;
    std::optional<std::string> get_string(std::string_view group, std::string_view name) const override;
    void set_string(std::string_view group, std::string_view name, std::string_view value) override;

    bool contains(std::string_view group, std::string_view name) const;
    void clear();

  private:
    using Key = std::pair<std::string, std::string>;
    using Value = std::variant<int, std::string>;
    mutable std::mutex mutex_;
    std::map<Key, Value, std::less<>> values_;
};

// The store the program uses. Until set_settings_store() installs another one it is a process-wide
// MemorySettingsStore; set_settings_store(nullptr) goes back to that one. The installed store must
// outlive its use.
SettingsStore& settings_store();
void set_settings_store(SettingsStore* store);

}  // namespace varda
