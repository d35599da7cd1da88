#include "core/app/document/apply_settings.h"

#include <utility>

#include "core/devices/base_device.h"
#include "core/link/device.h"
#include "core/model/network_elements.h"
#include "core/platform/language.h"
#include "core/platform/strings.h"
#include "core/platform/ui.h"

namespace varda {
namespace {

struct Setting {
    int label_id;  // the numbered text of its name on screen
    const char* name;
};
// The order in which the settings are shown and taken over.
constexpr Setting kSettings[] = {{187, "bPS"},  {188, "LEn"},   {189, "PrtY"},
                                 {190, "Sbit"}, {191, "A.Len"}, {192, "Addr"}};

}  // namespace

void follow_module_network(DeviceIO& io, const ObjectWithParameters& module_network) {
    for (const Setting& setting : kSettings) {
        const std::string value = module_network.GetValueText(setting.name);
        if (value != str(kNoData)) io.program_network().SetValue(setting.name, value);
    }
    io.open_with_settings(true);
}

bool broadcast_aply(DeviceIO& io, Parameter& parameter) {
    const int own_offset = std::exchange(parameter.address_offset, -1);
    const RequestResult result = io.request(false, &parameter);
    parameter.address_offset = own_offset;
    return result == RequestResult::Done;
}

std::string ApplyController::settings_text() const {
    if (!device_)
        return std::string(localized(
            "No data. Function APLY has not received information about the unit.\n\nApplication error"));
    if (!network_)
        return std::string(
            localized("No data - element 'Network parameters' not initialized\n\nApplication error"));
    const CBaseDevice* model = device_model_of(device_->device_model());
    const bool data_bits = !model || model->HasDataBits();
    std::string text;
    for (const Setting& setting : kSettings) {
        if (!data_bits && std::string_view(setting.name) == "LEn") continue;
        text += std::string(str(setting.label_id)) + ": " + network_->GetValueText(setting.name) + "\n";
    }
    return text;
}

bool ApplyController::ok() {
    // Without a model there is no APLY parameter to send, as without a device.
    CBaseDevice* model = device_ ? device_model_of(device_->device_model()) : nullptr;
    if (!model) return true;
    Parameter& aply = model->GetApplyParameter();
    const bool sent = broadcast ? broadcast_aply(*device_, aply) : device_->write_parameter(aply, 1) == 0;
    if (!sent && model->ReportsApplyErrors()) {
        ui().message(aply.error_text.empty() ? std::string(str(kParameterError)) : aply.error_text,
                     MessageIcon::Error, str(kAppTitle));
        return false;
    }
    if (change_own_settings && network_) follow_module_network(*device_, *network_);
    return true;
}

}  // namespace varda
