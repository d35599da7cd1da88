#pragma once

#include <QDialog>
#include <array>

class QGroupBox;
class QLabel;
class QListWidget;
class QPushButton;
class QSpinBox;

namespace varda::calibration {
class OutputCalibration;
}

namespace varda::gui {

// "Calibration" of the analog outputs: the coefficients of the outputs on the left, the code of the chosen
// one with its step buttons on the right, and "Finish". A thin view over OutputCalibration, which does every
// exchange; closing the window in any way finishes the calibration.
class OutputCalibrationDialog : public QDialog {
    Q_OBJECT
  public:
    explicit OutputCalibrationDialog(calibration::OutputCalibration& controller, QWidget* parent = nullptr);

    QListWidget* coefficients() const { return list_; }
    QSpinBox* value_field() const { return value_; }
    // In the order of OutputCalibration::kSteps: "-2", "+2", "-5", "+5", "-10", "+10".
    QPushButton* step_button(int i) const { return steps_[static_cast<std::size_t>(i)]; }
    QPushButton* finish_button() const { return finish_; }

  public slots:
    // "Finish", Escape and the close box: the current coefficient is written and calibration ended.
    void reject() override;

  private:
    void choose(int row);
    void step(int delta);
    void value_edited();
    // Shows what the controller holds now.
    void refresh();

    calibration::OutputCalibration& controller_;
    QListWidget* list_ = nullptr;
    QGroupBox* value_group_ = nullptr;
    QLabel* point_ = nullptr;
    QSpinBox* value_ = nullptr;
    std::array<QPushButton*, 6> steps_{};
    QPushButton* finish_ = nullptr;
};

}  // namespace varda::gui
