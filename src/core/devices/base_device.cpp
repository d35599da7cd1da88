#include "core/devices/base_device.h"

#include <cstdlib>

#include "core/devices/cell_flags.h"
#include "core/devices/io_status_dialog.h"
#include "core/model/elements.h"
#include "core/model/model_context.h"
#include "core/model/parameter.h"
#include "core/platform/numbers.h"
#include "core/platform/strings.h"
#include "core/platform/text.h"

namespace varda {

namespace {
constexpr int kIoStatusTitle = 32821;
constexpr int kDefaultRowStep = 25;
constexpr int kCounterLabel = 299;  // "Counter %i"
constexpr int kResetButton = 300;
constexpr int kCountersColumn = 304;
constexpr int kResetColumn = 305;
constexpr int kOutputsColumn = 383;
}  // namespace

CBaseDevice::CBaseDevice(int model_index, ModelContext* context)
    : model_index_(model_index), context_(context) {}

CBaseDevice::~CBaseDevice() = default;

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
void CBaseDevice::FillInputsTable(IoStatusDialog& dialog) {
    IoTable& table = dialog.inputs_table();
    table.add_column(std::string(str(kValue)));
    table.add_column(std::string(str(kCountersColumn)));
    table.add_column(std::string(str(kResetColumn)));
    if (!HasInputs()) return;
    for (const auto& [parameter, index] : io_table_instances(dialog.scanners(), GetInputsName())) {
        const int row = table.add_row(*parameter);
        table.set_text(row, 0, io_cell_value(*parameter));
        table.set_text(row, 1, io_row_label(kCounterLabel, index));
        table.set_text(row, 2, std::string(str(kResetButton)));
        table.set_flags(row, -1, cell_flags::kReadOnly, cell_flags::kReadOnly);
        table.set_flags(row, 2, cell_flags::kButton, cell_flags::kButton);
    }
}

void CBaseDevice::FillOutputsTable(IoStatusDialog& dialog) {
    IoTable& table = dialog.outputs_table();
    table.add_column(std::string(str(kValue)));
    table.add_column(std::string(str(kOutputsColumn)));
    if (!HasOutputs()) return;
    for (const auto& [parameter, index] : io_table_instances(dialog.scanners(), GetOutputsName())) {
        const int row = table.add_row(*parameter);
        table.set_text(row, 0, io_cell_value(*parameter));
        table.set_text(row, 1, parameter->description);
        // The value cell opens an editor; the description does not.
        table.set_flags(row, 1, cell_flags::kReadOnly, cell_flags::kReadOnly);
    }
}
void CBaseDevice::RestoreOutputs() {}

CalibrationKind CBaseDevice::calibration_kind() const {
    return CalibrationKind::None;
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
void CBaseDevice::UpdateInputStates(IoStatusDialog& dialog) {
    if (!HasInputs() || !dialog.scanners()) return;
    DescBranch::IndexMap found;
    Parameter* states = dialog.scanners()->FindParameter("r.cn", &found, nullptr, nullptr, 0);
    if (!states) return;
    dialog.read(*states);
    const unsigned long bits = std::strtoul(states->value_text().c_str(), nullptr, 10);
    for (int lamp = 0; lamp < dialog.input_lamp_count(); ++lamp) {
        const bool on = lamp < static_cast<int>(8 * sizeof bits) && ((bits >> lamp) & 1U);
        update_input_lamp(dialog, lamp, on ? "1" : "0");
    }
}

std::string CBaseDevice::FormatFloat(float value) const {
    return platform::fixed(value, 3);
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

}  // namespace varda
