#pragma once

#include "gui/calibration/calibration_pages.h"

class QLabel;
class QLineEdit;
class QListWidget;

namespace varda::CalibrationPH {
class CCodePage;
class CStepPage;
}  // namespace varda::CalibrationPH

namespace varda::gui {

// Step 1 of the pH wizard: the access code, then what to calibrate and at how many points.
class PhCodePageView : public WizardPageView {
    Q_OBJECT
  public:
    PhCodePageView(CalibrationPH::CCodePage& page, QWidget* parent);
    void show_state() override;
    void store() override;
    QLineEdit* code_edit() const { return code_; }
    QListWidget* calibration_list() const { return calibrations_; }
    QListWidget* points_list() const { return points_; }

  private:
    CalibrationPH::CCodePage& page_;
    QLineEdit* code_ = nullptr;
    QLabel* calibration_label_ = nullptr;
    QListWidget* calibrations_ = nullptr;
    QLabel* points_label_ = nullptr;
    QListWidget* points_ = nullptr;
};

// A calibration point: the instruction, the buffer's value, the live value and temperature, and while the
// module calibrates, a line saying so.
class PhStepPageView : public WizardPageView {
    Q_OBJECT
  public:
    PhStepPageView(CalibrationPH::CStepPage& page, QWidget* parent);
    void show_state() override;
    void store() override;
    QLabel* text_label() const { return text_; }
    QLineEdit* buffer_edit() const { return buffer_; }
    QLineEdit* value_field() const { return value_; }
    QLineEdit* temperature_field() const { return temperature_; }
    QLabel* progress_label() const { return progress_; }

  private:
    CalibrationPH::CStepPage& page_;
    QLabel* text_ = nullptr;
    QLabel* buffer_label_ = nullptr;
    QLineEdit* buffer_ = nullptr;
    QLabel* value_label_ = nullptr;
    QLineEdit* value_ = nullptr;
    QLineEdit* temperature_ = nullptr;
    QLabel* progress_ = nullptr;
};

// The view of a page of the pH wizard, or nullptr for a page that is not one of its own.
WizardPageView* make_ph_page_view(WizardPage& page, QWidget* parent);

}  // namespace varda::gui
