#pragma once

#include <QDialog>

#include "core/app/document/differences.h"

class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;

namespace varda::gui {

// The differences window: every difference of a comparison as a row with a check box, sortable by a click
// on a column header and filtered by branch, with the two actions on the checked rows. A thin view over
// DifferencesController. Modal: open it with exec().
class DifferencesWindow : public QDialog {
    Q_OBJECT
  public:
    explicit DifferencesWindow(DifferencesController& controller, QWidget* parent = nullptr);

    QTableWidget* table() const { return table_; }
    QComboBox* branch_box() const { return branch_; }
    QPushButton* take_button() const { return take_; }
    QPushButton* write_button() const { return write_; }
    QLabel* summary() const { return summary_; }

  private:
    void fill_branches();
    void fill_rows();
    void sort_by(int column);
    void update_summary();

    DifferencesController& controller_;
    QComboBox* branch_ = nullptr;
    QTableWidget* table_ = nullptr;
    QLabel* summary_ = nullptr;
    QPushButton* take_ = nullptr;
    QPushButton* write_ = nullptr;
    int sorted_column_ = -1;
    bool ascending_ = true;
    bool filling_ = false;
};

}  // namespace varda::gui
