#include "gui/calibration/points_table_ctrl.h"

#include <QApplication>
#include <QHeaderView>

#include "core/calibration/inductance_calibration.h"
#include "gui/platform/qt_text.h"

namespace varda::gui {

CalibrationPointsTable::CalibrationPointsTable(CalibrationVI::CUserTablePage& page, QWidget* parent)
    : ReportTable(parent), page_(page) {
    using Page = CalibrationVI::CUserTablePage;
    QStringList captions{QStringLiteral("№"), qtext(Page::kInductanceCaption), qtext(Page::kPhysicalCaption)};
    std::vector<int> widths{1, 3, 3};
    if (page_.measures()) {
        captions << qtext(CalibrationVI::CUserMeasuringPage::kMeasureCaption);
        widths.push_back(3);
    }
    SetColumns(captions, widths);
    // A push button needs a little more than a line of text.
    verticalHeader()->setDefaultSectionSize(kRowHeight + 4);
    for (int row = 0; row < CalibrationVI::kMaxNodes; ++row) {
        AddRow({QString::number(row + 1)});
        SetCellObject(row, kNumberColumn, nullptr, cell_flags::kReadOnly);
        SetCellObject(row, kInductanceColumn, &page_.inductance(row));
        SetCellObject(row, kPhysicalColumn, &page_.physical(row));
        if (auto* measuring = dynamic_cast<CalibrationVI::CUserMeasuringPage*>(&page_))
            SetCellObject(row, kMeasureColumn, &measuring->reading(row), cell_flags::kButton);
        item(row, kNumberColumn)->setTextAlignment(Qt::AlignCenter);
        item(row, kInductanceColumn)->setTextAlignment(Qt::AlignRight);
        item(row, kPhysicalColumn)->setTextAlignment(Qt::AlignRight);
    }
    FitHeight();
    // Room for the node count below it inside the wizard's page; the other rows scroll.
    setFixedHeight(kVisibleRows * verticalHeader()->defaultSectionSize() +
                   horizontalHeader()->sizeHint().height() + 2 * frameWidth());
    Refresh();
}

void CalibrationPointsTable::Refresh() {
    for (int row = 0; row < rowCount(); ++row) {
        SetCellFlags(row, -1, page_.row_enabled(row) ? 0 : cell_flags::kDisabled, cell_flags::kDisabled);
        show_row(row);
    }
    viewport()->update();
}

void CalibrationPointsTable::show_row(int row) {
    for (int column : {kInductanceColumn, kPhysicalColumn})
        SetCellText(row, column, QString::fromStdString(GetCellObject(row, column)->value_text()));
    if (page_.measures()) {
        // The button shows the last reading once there is one.
        const std::string& reading = GetCellObject(row, kMeasureColumn)->value_text();
        SetCellText(row, kMeasureColumn,
                    reading.empty() ? qtext(CalibrationVI::CUserMeasuringPage::kMeasureCaption)
                                    : QString::fromStdString(reading));
    }
}

void CalibrationPointsTable::CellAction(int row, int column) {
    auto* measuring = dynamic_cast<CalibrationVI::CUserMeasuringPage*>(&page_);
    if (!measuring || column != kMeasureColumn) return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    measuring->measure(row);
    QApplication::restoreOverrideCursor();
    show_row(row);
}

void CalibrationPointsTable::CommitText(int row, int column, const QString& text) {
    Parameter* value = GetCellObject(row, column);
    if (!value) return;
    QString number = text.trimmed();
    number.replace(QLatin1Char(','), QLatin1Char('.'));
    bool whole_number = false;
    number.toDouble(&whole_number);  // "12abc" is not 12
    if (whole_number) value->AcceptValue(number.toStdString(), true);
    show_row(row);
}

}  // namespace varda::gui
