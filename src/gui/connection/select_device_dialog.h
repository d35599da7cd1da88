#pragma once

#include <QDialog>
#include <optional>

class QPushButton;

namespace varda {
class CBrand;
}

namespace varda::gui {

class ReportTable;

// "Select device": the models the brand offers, by display name. OK with a row selected makes that model
// the current one; OK without one says so and keeps the dialog open. A double-click on a row is OK.
class SelectDeviceDialog : public QDialog {
    Q_OBJECT
  public:
    explicit SelectDeviceDialog(const CBrand& brand, QWidget* parent = nullptr);

    // The model chosen with OK.
    std::optional<int> chosen_model() const { return chosen_; }
    ReportTable* list() const { return list_; }
    QPushButton* ok_button() const { return ok_; }

  public slots:
    void accept() override;

  private:
    ReportTable* list_ = nullptr;
    QPushButton* ok_ = nullptr;
    std::optional<int> chosen_;
};

}  // namespace varda::gui
