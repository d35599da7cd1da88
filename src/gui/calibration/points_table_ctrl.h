#pragma once

#include "gui/tree/table_ctrl.h"

namespace varda::CalibrationVI {
class CUserTablePage;
}

namespace varda::gui {

// The calibration points of the mutual-inductance wizard: one row per node with its number, inductance
// and physical value, and on the measuring page a push-button cell that measures the row's inductance.
// Rows past the page's node count are greyed.
class CalibrationPointsTable : public ReportTable {
    Q_OBJECT
  public:
    static constexpr int kNumberColumn = 0;
    static constexpr int kInductanceColumn = 1;
    static constexpr int kPhysicalColumn = 2;
    static constexpr int kMeasureColumn = 3;
    static constexpr int kVisibleRows = 11;

    CalibrationPointsTable(CalibrationVI::CUserTablePage& page, QWidget* parent = nullptr);

    // Shows the page's values and greys the rows it does not use.
    void Refresh();

  protected:
    void CellAction(int row, int column) override;
    // Only numbers reach the cells (a comma counts as the decimal point); anything else keeps the value.
    void CommitText(int row, int column, const QString& text) override;

  private:
    void show_row(int row);

    CalibrationVI::CUserTablePage& page_;
};

}  // namespace varda::gui
