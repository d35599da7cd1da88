#include "gui/service/single_point_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <algorithm>

#include "core/app/document/document.h"
#include "gui/platform/qt_text.h"

namespace varda::gui {
namespace {

constexpr int kHashChars = 8;   // "0xFFFF" and a margin
constexpr int kIndexChars = 7;  // five digits and a margin
constexpr int kTraceLines = 14;
constexpr int kTraceChars = 64;

QString q(const std::string& text) {
    return QString::fromStdString(text);
}

// A field wide enough for `chars` digits of the window's font.
void set_width_in_chars(QLineEdit* field, int chars) {
    field->setFixedWidth(field->fontMetrics().horizontalAdvance(QLatin1Char('0')) * chars +
                         field->fontMetrics().height());
}

// A hidden control keeps its place, so the window never jumps when "Write" is chosen.
void keep_place_when_hidden(QWidget* widget) {
    QSizePolicy policy = widget->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    widget->setSizePolicy(policy);
}

}  // namespace

SinglePointDialog::SinglePointDialog(CTarnDoc& doc, QWidget* parent) : QDialog(parent), controller_(doc) {
    setWindowTitle(tr("Single parameter"));

    parameter_ = new QComboBox(this);
    parameter_->setEditable(true);
    parameter_->setInsertPolicy(QComboBox::NoInsert);
    parameter_->setMaxVisibleItems(20);
    parameter_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    parameter_->setMinimumContentsLength(12);
    hash_ = new QLineEdit(this);
    hash_->setReadOnly(true);
    hash_->setAlignment(Qt::AlignCenter);
    set_width_in_chars(hash_, kHashChars);
    description_ = new QLineEdit(this);
    description_->setReadOnly(true);
    auto* parameter_label = new QLabel(tr("Parameter"), this);
    parameter_label->setBuddy(parameter_);
    auto* hash_label = new QLabel(tr("Hesh code"), this);
    hash_label->setBuddy(hash_);

    auto* top = new QGridLayout;
    top->addWidget(parameter_label, 0, 0);
    top->addWidget(parameter_, 0, 1);
    top->addWidget(hash_label, 0, 2);
    top->addWidget(hash_, 0, 3);
    top->addWidget(description_, 1, 1, 1, 3);
    top->setColumnStretch(1, 1);
    top->setHorizontalSpacing(8);

    auto* index_box = new QGroupBox(this);
    indexed_ = new QCheckBox(tr("Indexed"), index_box);
    index_ = new QLineEdit(index_box);
    index_->setAlignment(Qt::AlignRight);
    set_width_in_chars(index_, kIndexChars);
    data_index_ = new QRadioButton(tr("Data index"), index_box);
    address_index_ = new QRadioButton(tr("Address index (3 bit)"), index_box);
    auto* index_grid = new QGridLayout(index_box);
    index_grid->addWidget(indexed_, 0, 0);
    index_grid->addWidget(index_, 0, 1, Qt::AlignRight);
    index_grid->addWidget(data_index_, 1, 0, 1, 2);
    index_grid->addWidget(address_index_, 2, 0, 1, 2);
    index_grid->setColumnStretch(0, 1);
    // The index kinds belong to "Indexed": indented under it.
    index_grid->setContentsMargins(12, 8, 12, 8);
    for (auto* button : {data_index_, address_index_})
        button->setStyleSheet(QStringLiteral("margin-left: 18px"));

    auto* function_box = new QGroupBox(this);
    read_ = new QRadioButton(tr("Read"), function_box);
    write_ = new QRadioButton(tr("Write"), function_box);
    write_data_ = new QComboBox(function_box);
    write_data_->setEditable(true);
    write_data_->setInsertPolicy(QComboBox::NoInsert);
    write_data_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    write_data_->setMinimumContentsLength(14);
    write_data_label_ = new QLabel(tr("Write data"), function_box);
    write_data_label_->setBuddy(write_data_);
    keep_place_when_hidden(write_data_);
    keep_place_when_hidden(write_data_label_);
    auto* function_grid = new QGridLayout(function_box);
    function_grid->addWidget(read_, 0, 0, 1, 2);
    function_grid->addWidget(write_, 1, 0, 1, 2);
    function_grid->addWidget(write_data_label_, 2, 0);
    function_grid->addWidget(write_data_, 2, 1);
    function_grid->setColumnStretch(1, 1);
    function_grid->setContentsMargins(12, 8, 12, 8);

    // Rows of the two boxes line up across the window.
    const int row_height = std::max(index_->sizeHint().height(), write_data_->sizeHint().height());
    for (int row = 0; row < 3; ++row) {
        index_grid->setRowMinimumHeight(row, row_height);
        function_grid->setRowMinimumHeight(row, row_height);
    }

    auto* middle = new QHBoxLayout;
    middle->addWidget(index_box, 1);
    middle->addWidget(function_box, 1);

    trace_ = new QListWidget(this);
    trace_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    trace_->setUniformItemSizes(true);
    trace_->setMinimumSize(trace_->fontMetrics().horizontalAdvance(QLatin1Char('0')) * kTraceChars,
                           trace_->fontMetrics().lineSpacing() * kTraceLines);

    execute_ = new QPushButton(tr("Execute"), this);
    execute_->setDefault(true);
    exit_ = new QPushButton(tr("&Exit"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(execute_);
    buttons->addWidget(exit_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(middle);
    layout->addWidget(trace_, 1);
    layout->addLayout(buttons);

    for (const auto& name : controller_.parameter_names())
        parameter_->addItem(q(name));
    controller_.update_for_name();
    show_fields();

    connect(parameter_, &QComboBox::editTextChanged, this, &SinglePointDialog::name_edited);
    connect(parameter_, &QComboBox::textActivated, this, &SinglePointDialog::name_edited);
    connect(indexed_, &QCheckBox::toggled, this, [this](bool on) {
        controller_.indexed = on;
        show_index_kind();
    });
    connect(write_, &QRadioButton::toggled, this, [this](bool on) {
        controller_.function =
            on ? SinglePointController::Function::Write : SinglePointController::Function::Read;
        show_function();
    });
    connect(execute_, &QPushButton::clicked, this, &SinglePointDialog::execute);
    connect(exit_, &QPushButton::clicked, this, &QDialog::reject);
}

void SinglePointDialog::name_edited(const QString& text) {
    take_fields();
    controller_.name = text.toStdString();
    controller_.update_for_name();
    show_name_fields();
}

void SinglePointDialog::execute() {
    take_fields();
    controller_.execute();
    show_fields();
    trace_->clear();
    for (const auto& line : controller_.trace)
        trace_->addItem(qtext(line));
    if (trace_->count() > 0) {
        trace_->setCurrentRow(trace_->count() - 1);
        trace_->scrollToBottom();
    }
}

void SinglePointDialog::take_fields() {
    using Function = SinglePointController::Function;
    using IndexKind = SinglePointController::IndexKind;
    controller_.name = parameter_->currentText().toStdString();
    controller_.indexed = indexed_->isChecked();
    controller_.index_kind = address_index_->isChecked() ? IndexKind::Address : IndexKind::Data;
    controller_.index_text = index_->text().toStdString();
    controller_.function = write_->isChecked() ? Function::Write : Function::Read;
    controller_.write_data = write_data_->currentText().toStdString();
}

void SinglePointDialog::show_name_fields() {
    hash_->setText(q(controller_.hash_text));
    description_->setText(q(controller_.description_text));
    description_->setCursorPosition(0);
    {
        const QSignalBlocker block(indexed_);
        indexed_->setChecked(controller_.indexed);
    }
    show_index_kind();
    write_data_->clear();
    for (const auto& item : controller_.write_items)
        write_data_->addItem(q(item));
    write_data_->setEditText(q(controller_.write_data));
}

void SinglePointDialog::show_fields() {
    using Function = SinglePointController::Function;
    using IndexKind = SinglePointController::IndexKind;
    {
        const QSignalBlocker block(parameter_);
        if (parameter_->currentText() != q(controller_.name)) parameter_->setEditText(q(controller_.name));
    }
    show_name_fields();
    (controller_.index_kind == IndexKind::Address ? address_index_ : data_index_)->setChecked(true);
    index_->setText(q(controller_.index_text));
    {
        const QSignalBlocker block(write_);
        (controller_.function == Function::Write ? write_ : read_)->setChecked(true);
    }
    show_function();
}

void SinglePointDialog::show_index_kind() {
    data_index_->setEnabled(controller_.index_kind_enabled());
    address_index_->setEnabled(controller_.index_kind_enabled());
}

void SinglePointDialog::show_function() {
    write_data_->setVisible(controller_.write_data_shown());
    write_data_label_->setVisible(controller_.write_data_shown());
}

}  // namespace varda::gui
