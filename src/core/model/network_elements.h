#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "core/model/elements.h"
#include "core/platform/settings_store.h"

namespace varda {

struct PortSettings;

// What the program tells about itself (service parameters, About box, device-family settings).
struct ProgramInfo {
    std::string product_name;
    std::string version;  // empty when the build carries none
    std::string copyright;
};
const ProgramInfo& program_info();

// The operating-system text shown among the service parameters: "sysname release machine".
std::string operating_system_text();

namespace Elements {

// The six serial-network settings of a module, as kept in a configuration file.
class NetRS485 : public InvisibleElement {
  public:
    NetRS485();

    void InitParameters() override;
    std::string DefaultName() const override;
    int ImageIndexOf() const override { return 4; }
    int SelectedImageIndexOf() const override { return 4; }

    int marker = 1;  // kept for the file format; nothing reads it

  protected:
    explicit NetRS485(std::string name);
};

// The configurator's own network settings plus its serial port. They come from the settings store when
// the parameters are initialised and go back to it when the element is destroyed.
class NetRS485prg : public NetRS485 {
  public:
    explicit NetRS485prg(SettingsStore& store = settings_store());
    ~NetRS485prg() override;

    void InitParameters() override;
    int ImageIndexOf() const override { return 19; }
    int SelectedImageIndexOf() const override { return 19; }

    // Writes the values that make sense to the store (the destructor does this too).
    void SaveSettings() const;

  private:
    void LoadSettings();

    SettingsStore& store_;
};

// Read-only service information: version, copyright, operating system.
class CommonParams : public InvisibleElement {
  public:
    explicit CommonParams(SettingsStore& store = settings_store());

    void InitParameters() override;
    std::string DefaultName() const override;
    int ImageIndexOf() const override { return 20; }
    int SelectedImageIndexOf() const override { return 20; }

  private:
    SettingsStore& store_;
};

}  // namespace Elements

// The address every module hears and none answers, in both address lengths: never a module's own.
constexpr int kBroadcastAddress = 255;

// Whether the current device model accepts this address with this address length ("8" or "11").
using AddressValidator = std::function<bool(long address, std::string_view address_length)>;

// Consistency of a module's network settings when the user gives `new_value` to the parameter
// `network_name` of `element` (any element holding "Addr", "A.Len" and possibly "Prot"). The broadcast
// address is no module's; an address above 255 needs 11 address bits and the Ravelin protocol. An empty
// validator accepts every address.
bool CheckAddressSetting(const ObjectWithParameters& element, std::string_view network_name,
                         std::string_view new_value, const AddressValidator& is_valid_address = {});
// Rejects the frames the modules cannot use: even/odd parity with 8 data bits and 2 stop bits, and no
// parity with 7 data bits and 1 stop bit.
bool CheckFrameSetting(const ObjectWithParameters& element, std::string_view network_name,
                       std::string_view new_value);

// Fills the port settings from the configurator's network element. Models without a data-bits setting
// (VK07, VK17) always use 8 data bits. A value that is not a number leaves its setting unchanged.
void load_port_settings(const Elements::NetRS485prg& network, PortSettings& settings,
                        bool model_has_data_bits);

}  // namespace varda
