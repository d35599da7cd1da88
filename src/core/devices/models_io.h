#pragma once

// Models with discrete inputs or outputs shown in the I/O status dialog, and VK06.

#include "core/devices/base_device.h"

namespace varda {

inline constexpr int kInputStatusTitle = 32823;
inline constexpr int kOutputStatusTitle = 32822;

class CVK00 : public CBaseDevice {
  public:
    explicit CVK00(ModelContext* context) : CBaseDevice(0, context) {}
    bool HasInputs() const override { return true; }
    std::string_view GetInputsName() const override { return "rEAd"; }
    std::optional<Rect> GetFirstInputRect() const override { return Rect{14, 22, 30, 40}; }
    int GetInputColumnStep() const override { return 39; }
    // Columns "Value" and "Inputs", rows "Input %i", no counter reset.
    void FillInputsTable(IoStatusDialog& dialog) override;
    // Lamps follow the inputs table's values rather than "r.cn".
    void UpdateInputStates(IoStatusDialog& dialog) override;
    CalibrationKind calibration_kind() const override { return CalibrationKind::Generic; }
    int GetIOStatusTitle() const override { return kInputStatusTitle; }
    std::string FormatFloat(float value) const override;
    bool decodes_measured_values() const override { return true; }
};

class CVK01 : public CBaseDevice {
  public:
    explicit CVK01(ModelContext* context) : CBaseDevice(1, context) {}
    bool HasOutputs() const override { return true; }
    std::string_view GetOutputsName() const override { return "r.oe"; }
    std::optional<Rect> GetFirstOutputRect() const override { return Rect{14, 22, 30, 40}; }
    int GetOutputColumnStep() const override { return 39; }
    CalibrationKind calibration_kind() const override { return CalibrationKind::Outputs; }
    int GetIOStatusTitle() const override { return kOutputStatusTitle; }
};

class CVK02 : public CBaseDevice {
  public:
    explicit CVK02(ModelContext* context) : CBaseDevice(2, context) {}
    bool HasOutputs() const override { return true; }
    std::string_view GetOutputsName() const override { return "r.oe"; }
    std::optional<Rect> GetFirstOutputRect() const override { return Rect{14, 22, 30, 40}; }
    int GetOutputColumnStep() const override { return 59; }
    CalibrationKind calibration_kind() const override { return CalibrationKind::Outputs; }
    int GetIOStatusTitle() const override { return kOutputStatusTitle; }
};

class CVK03 : public CBaseDevice {
  public:
    explicit CVK03(ModelContext* context) : CBaseDevice(3, context) {}
    bool HasInputs() const override { return true; }
    bool HasOutputs() const override { return true; }
    std::string_view GetInputsName() const override { return "r.Cou"; }
    std::string_view GetOutputsName() const override { return "r.oe"; }
    std::optional<Rect> GetFirstInputRect() const override { return Rect{14, 22, 30, 40}; }
    std::optional<Rect> GetFirstOutputRect() const override { return Rect{34, 22, 50, 40}; }
    int GetInputColumnStep() const override { return 39; }
    int GetOutputColumnStep() const override { return 61; }
};

class CVK04 : public CBaseDevice {
  public:
    explicit CVK04(ModelContext* context) : CBaseDevice(4, context) {}
    bool HasInputs() const override { return true; }
    std::string_view GetInputsName() const override { return "r.Cou"; }
    std::optional<Rect> GetFirstInputRect() const override { return Rect{10, 22, 26, 40}; }
    int GetInputColumnStep() const override { return 18; }
    int GetIOStatusTitle() const override { return kInputStatusTitle; }
};

class CVK05 : public CBaseDevice {
  public:
    explicit CVK05(ModelContext* context) : CBaseDevice(5, context) {}
    bool HasOutputs() const override { return true; }
    std::string_view GetOutputsName() const override { return "r.oe"; }
    std::optional<Rect> GetFirstOutputRect() const override { return Rect{14, 22, 30, 40}; }
    int GetOutputColumnStep() const override { return 39; }
    int GetIOStatusTitle() const override { return kOutputStatusTitle; }
};

// Besides this, the document disables "Execute INIT" and "Apply default settings" for VK06.
class CVK06 : public CBaseDevice {
  public:
    explicit CVK06(ModelContext* context) : CBaseDevice(6, context) {}
    bool HasNoIOStatus() const override { return true; }
};

class CVK09 : public CBaseDevice {
  public:
    explicit CVK09(ModelContext* context) : CBaseDevice(9, context) {}
    bool HasOutputs() const override { return true; }
    std::string_view GetOutputsName() const override { return "r.oe"; }
    std::optional<Rect> GetFirstOutputRect() const override { return Rect{6, 22, 22, 40}; }
    int GetOutputColumnStep() const override { return 19; }
    int GetIOStatusTitle() const override { return kOutputStatusTitle; }
};

class CVK10 : public CBaseDevice {
  public:
    explicit CVK10(ModelContext* context) : CBaseDevice(10, context) {}
    bool HasInputs() const override { return true; }
    std::string_view GetInputsName() const override { return "r.Cou"; }
    std::optional<Rect> GetFirstInputRect() const override { return Rect{14, 22, 30, 40}; }
    int GetInputColumnStep() const override { return 39; }
    int GetIOStatusTitle() const override { return kInputStatusTitle; }
};

// Besides this, a failed output write in the I/O status dialog reports a fixed text for VK11.
class CVK11 : public CBaseDevice {
  public:
    explicit CVK11(ModelContext* context) : CBaseDevice(11, context) {}
    bool HasInputs() const override { return true; }
    bool HasOutputs() const override { return true; }
    std::string_view GetInputsName() const override { return "r.Cou"; }
    std::string_view GetOutputsName() const override { return "r.oe"; }
    std::optional<Rect> GetFirstInputRect() const override { return Rect{34, 22, 50, 40}; }
    std::optional<Rect> GetFirstOutputRect() const override { return Rect{34, 22, 50, 40}; }
    int GetInputColumnStep() const override { return 61; }
    int GetOutputColumnStep() const override { return 61; }
    // The "Log" parameters work in pairs (indexes 2j and 2j + 1): positions 3, 4 and 7 of the
    // enumeration must be set on both or neither.
    void OnLogParameter(Parameter& parameter) override;
};

class CVK15 : public CBaseDevice {
  public:
    explicit CVK15(ModelContext* context) : CBaseDevice(15, context) {}
    bool HasOutputs() const override { return true; }
    std::string_view GetOutputsName() const override { return "r.oe"; }
    std::optional<Rect> GetFirstOutputRect() const override { return Rect{6, 18, 22, 31}; }
    int GetOutputColumnStep() const override { return 19; }
    int GetRowStep() const override { return 14; }
    int GetIOStatusTitle() const override { return kOutputStatusTitle; }
};

class CVK16 : public CBaseDevice {
  public:
    explicit CVK16(ModelContext* context) : CBaseDevice(16, context) {}
    bool HasInputs() const override { return true; }
    std::string_view GetInputsName() const override { return "r.Cou"; }
    std::optional<Rect> GetFirstInputRect() const override { return Rect{6, 18, 22, 31}; }
    int GetInputColumnStep() const override { return 19; }
    int GetRowStep() const override { return 14; }
    int GetIOStatusTitle() const override { return kInputStatusTitle; }
};

}  // namespace varda
