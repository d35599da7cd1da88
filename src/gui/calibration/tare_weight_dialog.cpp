#include "gui/calibration/tare_weight_dialog.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "core/app/document/document.h"
#include "core/devices/models_measuring.h"
#include "gui/platform/qt_text.h"

namespace varda::gui {

TareWeightDialog::TareWeightDialog(TareWeightController& controller, QWidget* parent,
                                   std::chrono::milliseconds read_interval)
    : QDialog(parent), controller_(controller) {
    setWindowTitle(qtext(TareWeightController::kCaption));

    auto* fields = new QGridLayout;
    fields->setHorizontalSpacing(8);
    if (controller_.shows_channels()) {
        channels_ = new QComboBox(this);
        for (const std::string& item : controller_.channel_items())
            channels_->addItem(qtext(item));
        channels_->setCurrentIndex(0);
        connect(channels_, &QComboBox::currentIndexChanged, this, [this](int row) {
            controller_.channel = row;
            weight_->clear();  // the other channel's value until the next reading
        });
        auto* label = new QLabel(qtext(TareWeightController::kChannelLabel), this);
        label->setBuddy(channels_);
        fields->addWidget(label, 0, 0);
        fields->addWidget(channels_, 0, 1, Qt::AlignLeft);
    }
    weight_ = new QLineEdit(this);
    weight_->setReadOnly(true);
    weight_->setAlignment(Qt::AlignRight);
    weight_->setFixedWidth(120);
    weight_->setFocusPolicy(Qt::NoFocus);
    fields->addWidget(new QLabel(qtext(TareWeightController::kWeightLabel), this), 1, 0);
    fields->addWidget(weight_, 1, 1);
    fields->addWidget(new QLabel(qtext(TareWeightController::kUnitsLabel), this), 1, 2);
    fields->setColumnStretch(3, 1);

    auto* question = new QLabel(qtext(TareWeightController::kQuestion), this);
    question->setWordWrap(true);

    yes_ = new QPushButton(tr("Yes"), this);
    no_ = new QPushButton(tr("No"), this);
    yes_->setDefault(true);
    connect(yes_, &QPushButton::clicked, this, &TareWeightDialog::take_tare);
    connect(no_, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(yes_);
    buttons->addWidget(no_);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 14, 16, 12);
    layout->setSpacing(12);
    layout->addLayout(fields);
    layout->addWidget(question);
    layout->addLayout(buttons);
    setMinimumWidth(380);

    // Single shot, started again after each reading, so a slow module never has readings pile up.
    timer_ = new QTimer(this);
    timer_->setSingleShot(true);
    timer_->setInterval(static_cast<int>(read_interval.count()));
    connect(timer_, &QTimer::timeout, this, &TareWeightDialog::read_weight);
    timer_->start();
}

void TareWeightDialog::Open(CTarnDoc& doc, QWidget* parent) {
    auto* model = dynamic_cast<CVK13*>(doc.device_model());
    if (!model) return;
    TareWeightController controller(doc.device(), &doc.description(), model->channel_count(),
                                    doc.refresh_views);
    TareWeightDialog dialog(controller, parent);
    dialog.exec();
}

void TareWeightDialog::read_weight() {
    controller_.read_weight();
    weight_->setText(qtext(controller_.weight_text()));
    timer_->start();
}

void TareWeightDialog::take_tare() {
    timer_->stop();
    if (channels_) controller_.channel = channels_->currentIndex();
    if (controller_.take_tare()) {
        accept();
        return;
    }
    timer_->start();
}

}  // namespace varda::gui
