#include "gui/connection/select_device_dialog.h"

#include <QDialogButtonBox>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/app/connection/device_selection.h"
#include "core/platform/strings.h"
#include "gui/platform/qt_text.h"
#include "gui/tree/table_ctrl.h"

namespace varda::gui {

SelectDeviceDialog::SelectDeviceDialog(const CBrand& brand, QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("Select device"));
    list_ = new ReportTable(this);
    list_->SetColumns({tr("Device name")}, {1});
    for (const std::string& name : device_selection_names(brand)) {
        const int row = list_->AddRow({QString::fromStdString(name)});
        list_->SetCellFlags(row, -1, cell_flags::kReadOnly, cell_flags::kReadOnly);
    }
    list_->FitHeight();
    list_->setMinimumWidth(260);
    connect(list_, &ReportTable::cell_activated, this, &SelectDeviceDialog::accept);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &SelectDeviceDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &SelectDeviceDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void SelectDeviceDialog::accept() {
    const QList<QTableWidgetItem*> selected = list_->selectedItems();
    std::optional<std::string> text;
    if (!selected.isEmpty()) text = selected.front()->text().toStdString();
    chosen_ = choose_device(text);
    if (!chosen_) {
        const std::string_view caption = str(kAppTitle);
        QMessageBox::warning(this, qtext(caption), qtext(kSelectDeviceMessage));
        return;
    }
    QDialog::accept();
}

}  // namespace varda::gui
