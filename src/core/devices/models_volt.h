#pragma once

// Electrical meters VK19 to VK22: a common calibration scheme (start value written to "Mode", then one
// status bit per calibration point) and an APLY that carries data.

#include "core/devices/base_device.h"

namespace varda {

class CDeviceVolt : public CBaseDevice {
  public:
    CalibrationKind calibration_kind() const override { return CalibrationKind::Meter; }
    bool NeedsApply(std::string_view network_name) const override;
    bool HasNoIOStatus() const override { return true; }
    // "APLY" of type "int", reset to 129 on every request (the module expects that value).
    Parameter& GetApplyParameter() override;

    // Instruction shown for calibration point `point` (1-based), "" for a point the model lacks.
    virtual std::string CalibrationInstruction(int point) const = 0;
    // Number of calibration points.
    virtual int CalibrationPoints() const { return 3; }
    // Network names of the values the instructions name; the calibration reads those the tree has no data
    // for first, so that an instruction never says "no data".
    virtual std::vector<std::string_view> ReferenceValueNames() const { return {}; }
    // Value written to "Mode" to start the calibration.
    virtual int CalibrationStartValue() const;
    // Whether the "Mode" status word reports calibration point `item` (1-based) done: each model's bits
    // stand in one table.
    bool GetCalibrationFlag(unsigned status, int item) const;

  protected:
    CDeviceVolt(int model_index, ModelContext* context) : CBaseDevice(model_index, context) {}
};

class CVK19 : public CDeviceVolt {
  public:
    explicit CVK19(ModelContext* context) : CDeviceVolt(19, context) {}
    std::string CalibrationInstruction(int point) const override;
    int CalibrationStartValue() const override { return 256; }
};

class CVK20 : public CDeviceVolt {
  public:
    explicit CVK20(ModelContext* context) : CDeviceVolt(20, context) {}
    bool NeedsApply(std::string_view network_name) const override;
    // Items 0 to 6, shown as "1" or "0".
    std::string GetStatusText(int item, unsigned status) const override;
    int GetStatusCaption(int item) const override;
    bool ReportsApplyErrors() const override { return true; }
    std::vector<std::string_view> ReferenceValueNames() const override;
    // Points 1 to 3 name the voltage and current the tree holds in "uk.hi", "ik.hi" and "uk.lo", "ik.lo".
    std::string CalibrationInstruction(int point) const override;
    int CalibrationPoints() const override { return 4; }
    int CalibrationStartValue() const override { return 256; }
};

class CVK21 : public CDeviceVolt {
  public:
    explicit CVK21(ModelContext* context) : CDeviceVolt(21, context) {}
    std::string CalibrationInstruction(int point) const override;
};

class CVK22 : public CDeviceVolt {
  public:
    explicit CVK22(ModelContext* context) : CDeviceVolt(22, context) {}
    std::string CalibrationInstruction(int point) const override;
};

}  // namespace varda
