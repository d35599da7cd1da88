#pragma once

#include "gui/calibration/calibration_pages.h"

class QLabel;

namespace varda::CalibrationVolt {
class PointPage;
class CSheetVolt;
}  // namespace varda::CalibrationVolt

namespace varda::gui {

// A calibration point of the electrical-meter wizard: the instruction, and while the module measures the
// point the label that goes with the sheet's moving bar.
class MeterPointPageView : public WizardPageView {
    Q_OBJECT
  public:
    MeterPointPageView(const CalibrationVolt::PointPage& page, const CalibrationVolt::CSheetVolt& sheet,
                       QWidget* parent);
    void show_state() override;
    QLabel* text_label() const { return text_; }
    QLabel* progress_label() const { return progress_; }

  private:
    const CalibrationVolt::PointPage& page_;
    const CalibrationVolt::CSheetVolt& sheet_;
    QLabel* text_ = nullptr;
    QLabel* progress_ = nullptr;
};

// The view of a page of the electrical-meter wizard, or nullptr for a page of another wizard.
WizardPageView* make_meter_page_view(WizardPage& page, QWidget* parent);

}  // namespace varda::gui
