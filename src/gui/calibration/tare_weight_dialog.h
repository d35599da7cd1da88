#pragma once

#include <QDialog>
#include <chrono>

#include "core/calibration/tare_weight.h"

class QComboBox;
class QLineEdit;
class QPushButton;
class QTimer;

namespace varda {
class CTarnDoc;
}

namespace varda::gui {

// "Tare weight": the chosen channel's present value, read again and again, and "Yes" to take it as the
// module's tare weight. A thin view over TareWeightController.
class TareWeightDialog : public QDialog {
    Q_OBJECT
  public:
    TareWeightDialog(TareWeightController& controller, QWidget* parent = nullptr,
                     std::chrono::milliseconds read_interval = TareWeightController::kReadInterval);

    // The document's "Tare weight" command: runs the dialog modally for a strain-gauge model; does nothing
    // for any other.
    static void Open(CTarnDoc& doc, QWidget* parent);

    QComboBox* channel_box() const { return channels_; }
    QLineEdit* weight_field() const { return weight_; }
    QPushButton* yes_button() const { return yes_; }
    QPushButton* no_button() const { return no_; }

  private:
    void read_weight();
    void take_tare();

    TareWeightController& controller_;
    QComboBox* channels_ = nullptr;
    QLineEdit* weight_ = nullptr;
    QPushButton* yes_ = nullptr;
    QPushButton* no_ = nullptr;
    QTimer* timer_ = nullptr;
};

}  // namespace varda::gui
