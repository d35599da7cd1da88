#pragma once

// Measuring models without an I/O status dialog: VK07, VK08, VK12, VK13/VK14, VK17, VK18.

#include "core/devices/base_device.h"

namespace varda {

class CVK07 : public CBaseDevice {
  public:
    explicit CVK07(ModelContext* context) : CVK07(7, context) {}
    CalibrationKind calibration_kind() const override { return CalibrationKind::OffsetScale; }
    bool HasDataBits() const override { return false; }
    bool HasNoIOStatus() const override { return true; }
    bool decodes_measured_values() const override { return true; }

  protected:
    CVK07(int model_index, ModelContext* context) : CBaseDevice(model_index, context) {}
};

class CVK08 : public CBaseDevice {
  public:
    explicit CVK08(ModelContext* context) : CBaseDevice(8, context) {}
    CalibrationKind calibration_kind() const override { return CalibrationKind::Generic; }
    bool HasNoIOStatus() const override { return true; }
    bool decodes_measured_values() const override { return true; }
};

class CVK12 : public CBaseDevice {
  public:
    explicit CVK12(ModelContext* context) : CBaseDevice(12, context) {}
    CalibrationKind calibration_kind() const override { return CalibrationKind::Inductance; }
    std::string GetStatusText(int item, unsigned status) const override;
    int GetStatusCaption(int item) const override;
    bool NeedsInitAfterWrite() const override { return true; }
    bool HasNoIOStatus() const override { return true; }
    std::vector<RestoreWrite> ModuleRestoreWrites() const override;
    bool decodes_measured_values() const override { return true; }
};

// Strain-gauge module, one channel (model 13) or four (model 14); both answer the same identification.
class CVK13 : public CBaseDevice {
  public:
    enum Variant { kOneChannel = 0, kFourChannels = 1 };

    CVK13(Variant variant, ModelContext* context);
    Variant variant() const { return variant_; }
    int channel_count() const { return variant_ == kFourChannels ? 4 : 1; }

    CalibrationKind calibration_kind() const override { return CalibrationKind::StrainGauge; }
    // "Tare weight" in the Tools menu, before "Calibration...".
    std::vector<MenuCommandInsertion> CustomizeMenu() const override;
    bool NeedsApply(std::string_view network_name) const override;
    bool IsValidAddress(long address, std::string_view address_length) const override;
    std::string GetStatusText(int item, unsigned status) const override;
    int GetStatusCaption(int item) const override;
    bool HasNoIOStatus() const override { return true; }
    // The restore command once per channel.
    std::vector<RestoreWrite> ModuleRestoreWrites() const override;

  private:
    Variant variant_;
};

// Same behaviour as VK07; the offset and scale wizard offers one input type less.
class CVK17 : public CVK07 {
  public:
    explicit CVK17(ModelContext* context) : CVK07(17, context) {}
};

class CVK18 : public CBaseDevice {
  public:
    explicit CVK18(ModelContext* context) : CBaseDevice(18, context) {}
    CalibrationKind calibration_kind() const override { return CalibrationKind::PH; }
    bool NeedsApply(std::string_view network_name) const override;
    bool HasDataBits() const override { return false; }
    std::string GetStatusText(int item, unsigned status) const override;
    int GetStatusCaption(int item) const override;
    bool NeedsInitAfterWrite() const override { return true; }
    bool HasNoIOStatus() const override { return true; }
    std::vector<RestoreWrite> ModuleRestoreWrites() const override;
};

}  // namespace varda
