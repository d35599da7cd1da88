#include "gui/calibration/wizards/ph_calibration_pages.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QVBoxLayout>
#include <span>

#include "core/calibration/ph_calibration.h"
#include "gui/platform/qt_text.h"

namespace varda::gui {

namespace {

using CalibrationPH::CCodePage;
using CalibrationPH::CStepPage;

// The step pages are wider than the frame's default, so the instruction and the fields fit.
constexpr int kStepPageWidth = 480;

// A short list that shows all of its items without scrolling.
QListWidget* choice_list(std::span<const std::string_view> items, QWidget* parent) {
    auto* list = new QListWidget(parent);
    for (std::string_view item : items)
        list->addItem(qtext(item));
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setFixedHeight(list->sizeHintForRow(0) * static_cast<int>(items.size()) + 2 * list->frameWidth() +
                         2);
    list->setMaximumWidth(220);
    return list;
}

int chosen_row(const QListWidget* list) {
    return list->selectedItems().isEmpty() ? -1 : list->currentRow();
}

void set_if_changed(QLineEdit* field, const std::string& text) {
    const QString shown = qtext(text);
    if (field->text() != shown) field->setText(shown);
}

}  // namespace

PhCodePageView::PhCodePageView(CCodePage& page, QWidget* parent) : WizardPageView(parent), page_(page) {
    code_ = new QLineEdit(this);
    code_->setMaxLength(16);
    code_->setFixedWidth(120);
    auto* code_label = new QLabel(qtext(CCodePage::kCodeLabel), this);
    code_label->setBuddy(code_);
    calibrations_ = choice_list(CCodePage::kCalibrations, this);
    calibration_label_ = new QLabel(qtext(CCodePage::kCalibrationLabel), this);
    calibration_label_->setBuddy(calibrations_);
    points_ = choice_list(CCodePage::kPoints, this);
    points_label_ = new QLabel(qtext(CCodePage::kPointsLabel), this);
    points_label_->setBuddy(points_);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(code_label);
    layout->addWidget(code_);
    layout->addSpacing(12);
    layout->addWidget(calibration_label_);
    layout->addWidget(calibrations_);
    layout->addSpacing(6);
    layout->addWidget(points_label_);
    layout->addWidget(points_);
    layout->addStretch();
}

void PhCodePageView::show_state() {
    const bool shown = page_.lists_shown();
    for (QWidget* widget : {static_cast<QWidget*>(calibration_label_), static_cast<QWidget*>(calibrations_),
                            static_cast<QWidget*>(points_label_), static_cast<QWidget*>(points_)})
        widget->setVisible(shown);
    if (!shown) code_->setFocus();
}

void PhCodePageView::store() {
    page_.code = code_->text().toStdString();
    page_.calibration = page_.lists_shown() ? chosen_row(calibrations_) : -1;
    page_.points = page_.lists_shown() ? chosen_row(points_) : -1;
}

PhStepPageView::PhStepPageView(CStepPage& page, QWidget* parent) : WizardPageView(parent), page_(page) {
    text_ = new QLabel(this);
    text_->setTextFormat(Qt::PlainText);
    text_->setWordWrap(true);
    text_->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    buffer_ = new QLineEdit(this);
    buffer_label_ = new QLabel(this);
    buffer_label_->setBuddy(buffer_);
    value_ = new QLineEdit(this);
    value_->setReadOnly(true);
    value_label_ = new QLabel(this);
    temperature_ = new QLineEdit(this);
    temperature_->setReadOnly(true);
    auto* temperature_label = new QLabel(qtext(CStepPage::kTemperatureLabel), this);
    for (QLineEdit* field : {buffer_, value_, temperature_})
        field->setFixedWidth(110);
    progress_ = new QLabel(qtext(CStepPage::kProgressLabel), this);
    QSizePolicy keep_room = progress_->sizePolicy();
    keep_room.setRetainSizeWhenHidden(true);
    progress_->setSizePolicy(keep_room);

    auto* fields = new QGridLayout;
    fields->setColumnStretch(0, 1);
    int row = 0;
    for (auto [label, field] : {std::pair<QLabel*, QLineEdit*>{buffer_label_, buffer_},
                                {value_label_, value_},
                                {temperature_label, temperature_}}) {
        fields->addWidget(label, row, 0);
        fields->addWidget(field, row++, 1);
    }
    setMinimumWidth(kStepPageWidth);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(text_);
    layout->addSpacing(10);
    layout->addLayout(fields);
    layout->addStretch();
    layout->addWidget(progress_);
}

void PhStepPageView::show_state() {
    text_->setText(qtext(page_.text()).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    // A wrapped label does not ask for its height by itself.
    text_->setMinimumHeight(text_->heightForWidth(kStepPageWidth));
    buffer_label_->setText(qtext(page_.buffer_label()));
    value_label_->setText(qtext(page_.value_label()));
    set_if_changed(value_, page_.value_text());
    set_if_changed(temperature_, page_.temperature_text());
    // The value the module calibrates on stays as it was written.
    buffer_->setReadOnly(page_.step_running());
    progress_->setVisible(page_.step_running());
}

void PhStepPageView::store() {
    page_.buffer = buffer_->text().toStdString();
}

WizardPageView* make_ph_page_view(WizardPage& page, QWidget* parent) {
    if (auto* code = dynamic_cast<CCodePage*>(&page)) return new PhCodePageView(*code, parent);
    if (auto* step = dynamic_cast<CStepPage*>(&page)) return new PhStepPageView(*step, parent);
    return nullptr;
}

}  // namespace varda::gui
