#pragma once

#include "gui/calibration/calibration_pages.h"

class QLineEdit;
class QListWidget;
class QPushButton;

namespace varda::CalibrationVI {
class CPage1VI;
class CUserTablePage;
}  // namespace varda::CalibrationVI

namespace varda::gui {

class CalibrationPointsTable;

// Step 1 of the mutual-inductance wizard: the access code, then the type of calibration and, for the
// user's, the method.
class InductanceCodePageView : public WizardPageView {
    Q_OBJECT
  public:
    InductanceCodePageView(CalibrationVI::CPage1VI& page, QWidget* parent);
    void show_state() override;
    void store() override;
    QLineEdit* code_edit() const { return code_; }
    QListWidget* type_list() const { return types_; }
    QListWidget* method_list() const { return methods_; }

  private:
    CalibrationVI::CPage1VI& page_;
    QLineEdit* code_ = nullptr;
    QLabel* type_label_ = nullptr;
    QListWidget* types_ = nullptr;
    QLabel* method_label_ = nullptr;
    QListWidget* methods_ = nullptr;
};

// The user's table of points with the node count below it.
class PointsTablePageView : public WizardPageView {
    Q_OBJECT
  public:
    PointsTablePageView(CalibrationVI::CUserTablePage& page, QWidget* parent);
    void show_state() override;
    CalibrationPointsTable* table() const { return table_; }
    QLineEdit* node_count_edit() const { return count_; }
    QPushButton* apply_button() const { return apply_; }

  private:
    CalibrationVI::CUserTablePage& page_;
    CalibrationPointsTable* table_ = nullptr;
    QLineEdit* count_ = nullptr;
    QPushButton* apply_ = nullptr;
};

// The view of a page of the mutual-inductance wizard, or nullptr for a page of another kind.
WizardPageView* make_inductance_page_view(WizardPage& page, QWidget* parent);

}  // namespace varda::gui
