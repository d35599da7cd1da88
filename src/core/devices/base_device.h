#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/devices/menu_changes.h"
#include "core/model/model_hooks.h"

namespace varda {

class ElementContext;
class ModelContext;
class Parameter;
class IoStatusDialog;  // the I/O status dialog, built with the window layer

// A lamp rectangle of the I/O status dialog, in dialog units.
struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    bool operator==(const Rect&) const = default;
};

// The calibrations a model may offer.
enum class CalibrationKind {
    None,
    Generic,      // VK00, VK08: method dialog, then the calibration run
    Outputs,      // VK01, VK02: analog-output coefficients
    OffsetScale,  // VK07, VK17
    Inductance,   // VK12
    StrainGauge,  // VK13, VK14
    PH,           // VK18
    Meter,        // VK19 to VK22
};

// One write of the module's restore command "S.Def" (data type "void", empty value).
struct RestoreWrite {
    bool indexed = false;
    int index = 0;
    bool operator==(const RestoreWrite&) const = default;
};

// The device-model object: answers every model-specific question for the model currently loaded. The base
// class gives the behaviour shared by most models; each model class overrides what differs.
//
// The owner registers the object as the codec's current model formatting (see CurrentModel); the
// destructor unregisters it should the owner forget, so the codec never keeps a dangling pointer.
class CBaseDevice : public ModelHooks {
  public:
    CBaseDevice(int model_index, ModelContext* context);
    CBaseDevice(const CBaseDevice&) = delete;
    CBaseDevice& operator=(const CBaseDevice&) = delete;
    ~CBaseDevice() override;

    // Row of the device table this object stands for (13 or 14 for CVK13).
    int model_index() const override { return model_index_; }
    ModelContext* context() const { return context_; }
    void set_context(ModelContext* context) { context_ = context; }
    // The link the calibration dialogs read and write through; the device sets it when it takes the model.
    ElementContext* link() const { return link_; }
    void set_link(ElementContext* link) override { link_ = link; }

    // --- I/O status dialog layout
    virtual bool HasInputs() const;
    virtual bool HasOutputs() const;
    // Network names of the parameters that carry the input and output states ("" when none).
    virtual std::string_view GetInputsName() const;
    virtual std::string_view GetOutputsName() const;
    virtual std::optional<Rect> GetFirstInputRect() const;
    virtual std::optional<Rect> GetFirstOutputRect() const;
    virtual int GetInputColumnStep() const;
    virtual int GetOutputColumnStep() const;
    virtual int GetRowStep() const;
    // Fill the dialog's tables with the instances of GetInputsName / GetOutputsName in the scanners branch.
    virtual void FillInputsTable(IoStatusDialog& dialog);
    virtual void FillOutputsTable(IoStatusDialog& dialog);
    // Reserved: nothing in the program calls it.
    virtual void RestoreOutputs();

    // --- calibration
    // Which calibration the model's "Calibration..." command runs (the calibration layer runs it).
    virtual CalibrationKind calibration_kind() const;
    bool CanCalibrate() const { return calibration_kind() != CalibrationKind::None; }

    // Numbered text of the caption of the I/O status command and dialog.
    virtual int GetIOStatusTitle() const;
    // Model commands added to the main menu.
    virtual std::vector<MenuCommandInsertion> CustomizeMenu() const;

    // --- network settings
    // Whether writing this parameter changes the module's network settings (APLY is then offered).
    bool NeedsApply(std::string_view network_name) const override;
    // Whether the module has the data-bits parameter "LEn".
    virtual bool HasDataBits() const;
    // `address_length` is the value text of "A.Len" ("8" or "11").
    virtual bool IsValidAddress(long address, std::string_view address_length) const;

    // --- status words ("Rd.St", "Stat"): item n of a status word
    // Text of the item, "" when the model has no such item.
    std::string GetStatusText(int item, unsigned status) const override;
    // Numbered text of the item's caption, 0 when none.
    int GetStatusCaption(int item) const override;

    // Called for a parameter named "Log" after it was read, edited or loaded.
    void OnLogParameter(Parameter& parameter) override;
    // Refreshes the input lamps: by default from the bits of "r.cn".
    virtual void UpdateInputStates(IoStatusDialog& dialog);

    std::string FormatFloat(float value) const override;
    bool decodes_measured_values() const override;

    // Whether every write exchange is followed by INIT.
    bool NeedsInitAfterWrite() const override;
    // Whether "I/O status..." is disabled.
    virtual bool HasNoIOStatus() const;

    // "Apply default settings": the writes of the module's own restore command, in order. Empty means the
    // model uses the document's generic procedure (write the initial values, then INIT).
    virtual std::vector<RestoreWrite> ModuleRestoreWrites() const;

    // The parameter sent as APLY, created on first use and kept for the object's lifetime.
    virtual Parameter& GetApplyParameter();
    // Whether the APLY dialog shows the error of a failed APLY and stops.
    virtual bool ReportsApplyErrors() const;

  protected:
    // The lazily created "APLY" parameter, without a value.
    Parameter& apply_parameter();

  private:
    int model_index_;
    ModelContext* context_;
    ElementContext* link_ = nullptr;
    std::unique_ptr<Parameter> apply_parameter_;
};

// The device-model object behind the hooks that the lower layers hold (nullptr when there is none).
inline CBaseDevice* device_model_of(ModelHooks* hooks) {
    return dynamic_cast<CBaseDevice*>(hooks);
}
inline const CBaseDevice* device_model_of(const ModelHooks* hooks) {
    return dynamic_cast<const CBaseDevice*>(hooks);
}

}  // namespace varda
