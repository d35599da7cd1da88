#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/calibration/calibration_wizard.h"

namespace varda {

class ElementContext;
class Parameter;
class ValueType;

// The sensors offered for channel 1: the choices of the input-type enumeration but codes 0 and 1 (a
// switched-off channel and a discrete input cannot be calibrated) and, when `without_fourth` is set, 3.
std::vector<std::string> calibration_sensor_list(const ValueType& input_type, bool without_fourth);

// Step 1: the access code, then the sensor of channel 1, which is written to "in-t". A failed write keeps
// the page, since calibrating with the module set to another sensor would store wrong coefficients.
class CCodeBasePage : public AccessCodePage {
  public:
    static constexpr std::string_view kAccessCode = "738";
    static constexpr std::string_view kCodeLabel = "Enter code";
    static constexpr std::string_view kSensorLabel = "Select sensor for channel 1";

    // `input_type` is the tree's "in-t" of channel 1 (may be null: the list is then empty).
    CCodeBasePage(Parameter* input_type, bool without_fourth);

    const std::vector<std::string>& sensors() const { return sensors_; }
    bool sensors_shown() const { return sensors_shown_; }

    // What the view's controls hold, copied in before Next.
    std::string code;
    int sensor = -1;  // row of the sensor list, -1 none

    void on_next(CalibrationWizard& wizard) override;

  private:
    Parameter* input_type_;
    std::vector<std::string> sensors_;
    bool sensors_shown_ = false;
};

// Steps 2 and 3: Next writes the start parameter with "0" and polls the module's result; the wizard moves
// on when the module reports it done. A failed write keeps the page with its buttons, as polling then would
// only find the result of an earlier operation.
class CalibrationOperationPage : public TextPage {
  public:
    CalibrationOperationPage(std::string title, std::string text, std::string start_parameter);
    void on_activate(CalibrationWizard& wizard) override;
    void on_leave(CalibrationWizard& wizard) override;
    void on_next(CalibrationWizard& wizard) override;

  private:
    std::string start_parameter_;
};

class COffsetPage : public CalibrationOperationPage {
  public:
    COffsetPage();
};

class CScalePage : public CalibrationOperationPage {
  public:
    CScalePage();
};

// The offset and scale wizard of the first input channel (models VK07 and VK17).
class OffsetScaleCalibration : public CalibrationWizard {
  public:
    // VK17 calibrates "4-20 mA" together with "0-20 mA" and so does not offer it.
    OffsetScaleCalibration(ElementContext& link, Parameter* input_type, bool without_fourth);
    CCodeBasePage& code_page() const { return *code_page_; }

  private:
    CCodeBasePage* code_page_;
};

}  // namespace varda
