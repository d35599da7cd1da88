#pragma once

#include "gui/calibration/calibration_pages.h"

class QComboBox;
class QLabel;
class QLineEdit;

namespace varda::CalibrationTD {
class CPage1VI;
class UserPointPage;
}  // namespace varda::CalibrationTD

namespace varda::gui {

// Step 1 of the strain-gauge wizard: the access code, then the kind of calibration, the channel and the
// sensitivity, each shown when the page asks for it.
class StrainGaugeFirstPageView : public WizardPageView {
    Q_OBJECT
  public:
    StrainGaugeFirstPageView(CalibrationTD::CPage1VI& page, QWidget* parent);
    void show_state() override;
    void store() override;
    QLineEdit* code_edit() const { return code_; }
    QComboBox* type_box() const { return types_; }
    QComboBox* channel_box() const { return channels_; }
    QComboBox* sensitivity_box() const { return sensitivities_; }

  private:
    CalibrationTD::CPage1VI& page_;
    QLineEdit* code_ = nullptr;
    QLabel* type_label_ = nullptr;
    QComboBox* types_ = nullptr;
    QLabel* channel_label_ = nullptr;
    QComboBox* channels_ = nullptr;
    QLabel* sensitivity_label_ = nullptr;
    QComboBox* sensitivities_ = nullptr;
};

// A point of the user calibration: the instruction with the sensitivity, the live input signal, and the
// physical value with its percentage. The sheet's reading thread reads the signal while the page is shown.
class UserPointPageView : public WizardPageView {
    Q_OBJECT
  public:
    UserPointPageView(CalibrationTD::UserPointPage& page, QWidget* parent);
    void show_state() override;
    void store() override;
    QLabel* text_label() const { return text_; }
    QLabel* signal_label() const { return signal_; }
    QLineEdit* value_edit() const { return value_; }
    QLineEdit* percent_edit() const { return percent_; }

  private:
    CalibrationTD::UserPointPage& page_;
    QLabel* text_ = nullptr;
    QLabel* signal_ = nullptr;
    QLineEdit* value_ = nullptr;
    QLineEdit* percent_ = nullptr;
    int shown_activation_ = 0;
};

// The view of a strain-gauge page, or nullptr for a page that is not one.
WizardPageView* make_strain_gauge_page_view(WizardPage& page, QWidget* parent);

}  // namespace varda::gui
