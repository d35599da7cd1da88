#include "core/devices/base_device.h"

#include <cstdio>

#include "core/devices/model_context.h"
#include "core/model/parameter.h"
#include "core/platform/text.h"

namespace varda {

namespace {
constexpr int kIoStatusTitle = 32821;
constexpr int kDefaultRowStep = 25;
}  // namespace

CBaseDevice::CBaseDevice(int model_index, ModelContext* context)
    : model_index_(model_index), context_(context) {}

CBaseDevice::~CBaseDevice() {
    if (current_model_formatting() == this) set_current_model_formatting(nullptr);
}

bool CBaseDevice::HasInputs() const {
    return false;
}
bool CBaseDevice::HasOutputs() const {
    return false;
}
std::string_view CBaseDevice::GetInputsName() const {
    return {};
}
std::string_view CBaseDevice::GetOutputsName() const {
    return {};
}
std::optional<Rect> CBaseDevice::GetFirstInputRect() const {
    return std::nullopt;
}
std::optional<Rect> CBaseDevice::GetFirstOutputRect() const {
    return std::nullopt;
}
int CBaseDevice::GetInputColumnStep() const {
    return 0;
}
int CBaseDevice::GetOutputColumnStep() const {
    return 0;
}
int CBaseDevice::GetRowStep() const {
    return kDefaultRowStep;
}
void CBaseDevice::FillInputsTable(IoStatusDialog&) {}
void CBaseDevice::FillOutputsTable(IoStatusDialog&) {}
void CBaseDevice::RestoreOutputs() {}

void CBaseDevice::Calibrate() {}
bool CBaseDevice::CanCalibrate() const {
    return false;
}

int CBaseDevice::GetIOStatusTitle() const {
    return kIoStatusTitle;
}
std::vector<MenuCommandInsertion> CBaseDevice::CustomizeMenu() const {
    return {};
}

bool CBaseDevice::NeedsApply(std::string_view network_name) const {
    for (std::string_view name : {"bPS", "LEn", "PrtY", "Sbit", "A.Len", "Addr"})
        if (platform::iequals(network_name, name)) return true;
    return false;
}

bool CBaseDevice::HasDataBits() const {
    return true;
}
bool CBaseDevice::IsValidAddress(long, std::string_view) const {
    return true;
}

std::string CBaseDevice::GetStatusText(int, unsigned) const {
    return {};
}
int CBaseDevice::GetStatusCaption(int) const {
    return 0;
}

void CBaseDevice::OnLogParameter(Parameter&) {}
void CBaseDevice::UpdateInputStates(IoStatusDialog&) {}

std::string CBaseDevice::FormatFloat(float value) const {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.3f", static_cast<double>(value));
    return buf;
}

bool CBaseDevice::decodes_measured_values() const {
    return false;
}

bool CBaseDevice::NeedsInitAfterWrite() const {
    return false;
}
bool CBaseDevice::HasNoIOStatus() const {
    return false;
}
std::vector<RestoreWrite> CBaseDevice::ModuleRestoreWrites() const {
    return {};
}

Parameter& CBaseDevice::GetApplyParameter() {
    return apply_parameter();
}
bool CBaseDevice::ReportsApplyErrors() const {
    return false;
}

Parameter& CBaseDevice::apply_parameter() {
    if (!apply_parameter_) {
        apply_parameter_ = std::make_unique<Parameter>("APLY");
        // A command without data: writing it sends no data bytes.
        apply_parameter_->set_data_type("void");
        apply_parameter_->SetValueText({});
    }
    return *apply_parameter_;
}

CurrentModel::~CurrentModel() {
    reset();
}

void CurrentModel::reset(std::unique_ptr<CBaseDevice> model) {
    // Unregister first: the codec must never see an object that is being destroyed.
    if (model_ && current_model_formatting() == model_.get()) set_current_model_formatting(nullptr);
    model_ = std::move(model);
    if (model_) set_current_model_formatting(model_.get());
}

}  // namespace varda
