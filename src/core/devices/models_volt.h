#pragma once

// Electrical meters VK19 to VK22: a common calibration scheme (start value written to "Mode", then one
// status bit per calibration point) and an APLY that carries data.

#include "core/devices/base_device.h"

namespace varda {

class CDeviceVolt : public CBaseDevice {
  public:
    // The electrical-meter wizard.
    void Calibrate() override;
    bool CanCalibrate() const override { return true; }
    bool NeedsApply(std::string_view network_name) const override;
    bool HasNoIOStatus() const override { return true; }
    // "APLY" of type "int", reset to 129 on every request (the module expects that value).
    Parameter& GetApplyParameter() override;

    // Instruction shown for calibration point `point` (1-based); supplied with the calibration wizard.
    virtual std::string CalibrationInstruction(int point) const;
    // Value written to "Mode" to start the calibration.
    virtual int CalibrationStartValue() const;
    // Whether the "Mode" status word reports calibration point `item` (1-based) done.
    virtual bool GetCalibrationFlag(unsigned status, int item) const;

  protected:
    CDeviceVolt(int model_index, ModelContext* context) : CBaseDevice(model_index, context) {}
};

class CVK19 : public CDeviceVolt {
  public:
    explicit CVK19(ModelContext* context) : CDeviceVolt(19, context) {}
    int CalibrationStartValue() const override { return 256; }
    bool GetCalibrationFlag(unsigned status, int item) const override;
};

class CVK20 : public CDeviceVolt {
  public:
    explicit CVK20(ModelContext* context) : CDeviceVolt(20, context) {}
    bool NeedsApply(std::string_view network_name) const override;
    // Items 0 to 6, shown as "1" or "0".
    std::string GetStatusText(int item, unsigned status) const override;
    int GetStatusCaption(int item) const override;
    bool ReportsApplyErrors() const override { return true; }
    int CalibrationStartValue() const override { return 256; }
    bool GetCalibrationFlag(unsigned status, int item) const override;
};

class CVK21 : public CDeviceVolt {
  public:
    explicit CVK21(ModelContext* context) : CDeviceVolt(21, context) {}
    bool GetCalibrationFlag(unsigned status, int item) const override;
};

class CVK22 : public CDeviceVolt {
  public:
    explicit CVK22(ModelContext* context) : CDeviceVolt(22, context) {}
    bool GetCalibrationFlag(unsigned status, int item) const override;
};

}  // namespace varda
