#include "gui/calibration/output_calibration_dialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

#include "core/calibration/output_calibration.h"

namespace varda::gui {

namespace {
using calibration::OutputCalibration;

constexpr int kListWidth = 190;
constexpr int kMinListRows = 8;
constexpr int kMaxListRows = 16;
constexpr int kStepButtonWidth = 64;
}  // namespace

OutputCalibrationDialog::OutputCalibrationDialog(OutputCalibration& controller, QWidget* parent)
    : QDialog(parent), controller_(controller) {
    setWindowTitle(tr("Calibration"));

    controller_.open();
    list_ = new QListWidget(this);
    for (const auto& entry : controller_.entries())
        list_->addItem(QString::fromStdString(entry.text));
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setUniformItemSizes(true);
    list_->setMinimumWidth(kListWidth);
    // Every coefficient in sight (two per output, at most eight outputs) without scrolling.
    const int rows = std::clamp(list_->count(), kMinListRows, kMaxListRows);
    const int row_height = list_->count() > 0 ? list_->sizeHintForRow(0) : list_->fontMetrics().height();
    list_->setMinimumHeight(row_height * rows + 2 * list_->frameWidth());
    auto* list_group = new QGroupBox(tr("Coefficients"), this);
    auto* list_layout = new QVBoxLayout(list_group);
    list_layout->addWidget(list_);
    // Only a selection chooses: the list also gets a current row of its own when it takes the focus.
    connect(list_, &QListWidget::itemSelectionChanged, this, [this] {
        const auto selected = list_->selectedItems();
        if (!selected.isEmpty()) choose(list_->row(selected.front()));
    });

    // The chosen point, and its output code large enough to read while watching the reference instrument.
    point_ = new QLabel(this);
    point_->setAlignment(Qt::AlignCenter);
    QFont point_font = point_->font();
    point_font.setBold(true);
    point_->setFont(point_font);
    value_ = new QSpinBox(this);
    value_->setRange(OutputCalibration::kMinCode, OutputCalibration::kMaxCode);
    value_->setButtonSymbols(QAbstractSpinBox::NoButtons);
    value_->setKeyboardTracking(false);
    value_->setAlignment(Qt::AlignCenter);
    QFont value_font = value_->font();
    value_font.setPointSizeF(value_font.pointSizeF() * 2);
    value_font.setBold(true);
    value_->setFont(value_font);
    connect(value_, &QSpinBox::editingFinished, this, &OutputCalibrationDialog::value_edited);

    auto* step_grid = new QGridLayout;
    for (std::size_t i = 0; i < steps_.size(); ++i) {
        const int delta = OutputCalibration::kSteps[i];
        auto* button =
            new QPushButton(delta > 0 ? QStringLiteral("+%1").arg(delta) : QString::number(delta), this);
        button->setMinimumWidth(kStepButtonWidth);
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, [this, delta] { step(delta); });
        // Decreasing steps on the left, increasing ones on the right, smallest first.
        step_grid->addWidget(button, static_cast<int>(i / 2), static_cast<int>(i % 2));
        steps_[i] = button;
    }

    value_group_ = new QGroupBox(tr("Value"), this);
    auto* value_layout = new QVBoxLayout(value_group_);
    value_layout->addWidget(point_);
    value_layout->addWidget(value_);
    value_layout->addSpacing(6);
    value_layout->addLayout(step_grid);
    value_layout->addStretch(1);
    auto* range = new QLabel(
        tr("Output code %1 to %2").arg(OutputCalibration::kMinCode).arg(OutputCalibration::kMaxCode), this);
    range->setAlignment(Qt::AlignCenter);
    range->setEnabled(false);
    value_layout->addWidget(range);

    auto* buttons = new QDialogButtonBox(this);
    finish_ = buttons->addButton(tr("Finish"), QDialogButtonBox::AcceptRole);
    finish_->setAutoDefault(false);
    connect(finish_, &QPushButton::clicked, this, &OutputCalibrationDialog::reject);

    auto* columns = new QHBoxLayout;
    columns->addWidget(list_group, 1);
    columns->addWidget(value_group_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns, 1);
    layout->addWidget(buttons);
    refresh();
}

void OutputCalibrationDialog::reject() {
    controller_.finish();
    QDialog::reject();
}

void OutputCalibrationDialog::choose(int row) {
    if (row < 0) return;
    controller_.choose(row);
    if (controller_.closed()) {
        QDialog::reject();
        return;
    }
    refresh();
}

void OutputCalibrationDialog::step(int delta) {
    controller_.step(delta);
    refresh();
}

void OutputCalibrationDialog::value_edited() {
    if (!controller_.controls_enabled() || value_->value() == controller_.value()) return;
    controller_.edit(value_->text().toStdString());
    refresh();
}

void OutputCalibrationDialog::refresh() {
    const bool enabled = controller_.controls_enabled();
    {
        // A coefficient that could not be chosen gives the selection back to the current one.
        const QSignalBlocker blocker(list_);
        const int current = controller_.current_entry();
        if (current >= 0)
            list_->setCurrentRow(current);
        else
            list_->clearSelection();
    }
    const int entry = controller_.current_entry();
    point_->setText(entry >= 0
                        ? QString::fromStdString(controller_.entries()[static_cast<std::size_t>(entry)].text)
                        : tr("Choose a coefficient"));
    {
        // Without a current coefficient there is no code to show.
        const QSignalBlocker blocker(value_);
        value_->setValue(controller_.value());
        if (!enabled) value_->clear();
    }
    value_->setEnabled(enabled);
    for (QPushButton* button : steps_)
        button->setEnabled(enabled);
}

}  // namespace varda::gui
