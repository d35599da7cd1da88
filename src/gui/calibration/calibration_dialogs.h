#pragma once

#include <QDialog>

#include "core/calibration/calibration_method.h"
#include "core/calibration/calibration_run.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;

namespace varda::calibration {
class GenericCalibration;
}

namespace varda::gui {

class NumberedTextCombo;

// "Calibration method": the calibration type with its description, the sensor and (type 4) the channel,
// and the access code. A thin view over MethodChoice; accepted once the choice was.
class CalibrationMethodDialog : public QDialog {
    Q_OBJECT
  public:
    CalibrationMethodDialog(calibration::MethodChoice& choice, QWidget* parent = nullptr);

    QComboBox* method_box() const;
    QComboBox* sensor_box() const { return sensors_; }
    QComboBox* channel_box() const { return channels_; }
    QSpinBox* code_box() const { return code_; }
    QLabel* description_label() const { return description_; }
    QPushButton* continue_button() const { return continue_; }

  private:
    void method_changed(int index);
    void press_continue();
    void refresh();

    calibration::MethodChoice& choice_;
    NumberedTextCombo* methods_ = nullptr;
    QLabel* description_ = nullptr;
    QLabel* sensor_label_ = nullptr;
    QComboBox* sensors_ = nullptr;
    QLabel* channel_label_ = nullptr;
    QComboBox* channels_ = nullptr;
    QLabel* code_label_ = nullptr;
    QSpinBox* code_ = nullptr;
    QPushButton* continue_ = nullptr;
};

// "Calibration": the run's status line, its message and "Continue". A thin view over CalibrationRun; the
// run's exchanges block the window, which is repainted while they go on.
class CalibrationRunDialog : public QDialog {
    Q_OBJECT
  public:
    CalibrationRunDialog(calibration::CalibrationRun& run, QWidget* parent = nullptr);
    ~CalibrationRunDialog() override;

    QLineEdit* status_field() const { return status_; }
    QPlainTextEdit* message_field() const { return message_; }
    QPushButton* continue_button() const { return continue_; }

    void reject() override;

  private:
    void press_continue();
    void refresh();

    calibration::CalibrationRun& run_;
    QLineEdit* status_ = nullptr;
    QPlainTextEdit* message_ = nullptr;
    QPushButton* continue_ = nullptr;
    bool wait_cursor_ = false;
};

// Runs the generic calibration with these two windows over `parent`.
void run_calibration_dialogs(calibration::GenericCalibration& calibration, QWidget* parent);

}  // namespace varda::gui
