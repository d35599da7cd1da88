#include "gui/calibration/wizards/inductance_calibration_pages.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/calibration/inductance_calibration.h"
#include "gui/calibration/points_table_ctrl.h"
#include "gui/platform/qt_text.h"

namespace varda::gui {

namespace {

// A list just high enough for its entries.
QListWidget* short_list(const std::vector<std::string>& entries, QWidget* parent) {
    auto* list = new QListWidget(parent);
    for (const std::string& entry : entries)
        list->addItem(qtext(entry));
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list->setFixedHeight(list->sizeHintForRow(0) * list->count() + 2 * list->frameWidth() + 2);
    return list;
}

}  // namespace

InductanceCodePageView::InductanceCodePageView(CalibrationVI::CPage1VI& page, QWidget* parent)
    : WizardPageView(parent), page_(page) {
    using Page = CalibrationVI::CPage1VI;
    code_ = new QLineEdit(this);
    code_->setMaxLength(16);
    code_->setFixedWidth(120);
    auto* code_label = new QLabel(qtext(Page::kCodeLabel), this);
    code_label->setBuddy(code_);
    types_ = short_list(Page::types(), this);
    type_label_ = new QLabel(qtext(Page::kTypeLabel), this);
    type_label_->setBuddy(types_);
    methods_ = short_list(Page::methods(), this);
    method_label_ = new QLabel(qtext(Page::kMethodLabel), this);
    method_label_->setBuddy(methods_);
    // The methods belong to the user's calibration: they show as soon as it is chosen.
    connect(types_, &QListWidget::currentRowChanged, this, [this](int row) {
        page_.type = row;
        show_state();
    });

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(code_label);
    layout->addWidget(code_);
    layout->addSpacing(12);
    layout->addWidget(type_label_);
    layout->addWidget(types_);
    layout->addSpacing(8);
    layout->addWidget(method_label_);
    layout->addWidget(methods_);
    layout->addStretch();
}

void InductanceCodePageView::show_state() {
    type_label_->setVisible(page_.types_shown());
    types_->setVisible(page_.types_shown());
    method_label_->setVisible(page_.methods_shown());
    methods_->setVisible(page_.methods_shown());
    if (!page_.types_shown()) code_->setFocus();
}

void InductanceCodePageView::store() {
    page_.code = code_->text().toStdString();
    page_.type = page_.types_shown() && !types_->selectedItems().isEmpty() ? types_->currentRow() : -1;
    page_.method =
        page_.methods_shown() && !methods_->selectedItems().isEmpty() ? methods_->currentRow() : -1;
}

PointsTablePageView::PointsTablePageView(CalibrationVI::CUserTablePage& page, QWidget* parent)
    : WizardPageView(parent), page_(page) {
    using Page = CalibrationVI::CUserTablePage;
    table_ = new CalibrationPointsTable(page_, this);
    count_ = new QLineEdit(qtext(page_.node_count_text), this);
    count_->setFixedWidth(48);
    count_->setAlignment(Qt::AlignRight);
    auto* count_label = new QLabel(qtext(Page::kNodesLabel), this);
    count_label->setBuddy(count_);
    apply_ = new QPushButton(qtext(Page::kApplyText), this);
    apply_->setAutoDefault(false);
    connect(count_, &QLineEdit::textEdited, this,
            [this](const QString& text) { page_.node_count_text = text.toStdString(); });
    connect(apply_, &QPushButton::clicked, this, [this] {
        page_.apply_node_count();
        table_->Refresh();
    });

    auto* count_row = new QHBoxLayout;
    count_row->addWidget(count_label);
    count_row->addWidget(count_);
    count_row->addWidget(apply_);
    count_row->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(table_);
    layout->addLayout(count_row);
    layout->addStretch();
}

void PointsTablePageView::show_state() {
    if (count_->text().toStdString() != page_.node_count_text) count_->setText(qtext(page_.node_count_text));
    table_->Refresh();
}

WizardPageView* make_inductance_page_view(WizardPage& page, QWidget* parent) {
    if (auto* code = dynamic_cast<CalibrationVI::CPage1VI*>(&page))
        return new InductanceCodePageView(*code, parent);
    if (auto* table = dynamic_cast<CalibrationVI::CUserTablePage*>(&page))
        return new PointsTablePageView(*table, parent);
    return nullptr;
}

}  // namespace varda::gui
