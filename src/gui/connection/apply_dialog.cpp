#include "gui/connection/apply_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "core/app/document/apply_settings.h"

namespace varda::gui {

namespace {
constexpr int kTextWidth = 360;
}

ApplyDialog::ApplyDialog(ApplyController& controller, QWidget* parent)
    : QDialog(parent), controller_(controller) {
    setWindowTitle(tr("New network settings"));

    auto* icon = new QLabel(this);
    const int icon_size = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning, nullptr, this).pixmap(icon_size));
    icon->setAlignment(Qt::AlignTop);
    auto* warning = new QLabel(tr("ATTENTION! Network settings of the device will be changed. This can cause "
                                  "a loss of connection. Please check network settings."),
                               this);
    warning->setWordWrap(true);
    warning->setFixedWidth(kTextWidth);
    auto* warning_row = new QHBoxLayout;
    warning_row->addWidget(icon, 0, Qt::AlignTop);
    warning_row->addSpacing(6);
    warning_row->addWidget(warning, 1);

    // The controller's text ends each line with a line end; the label needs no empty last line.
    QString text = QString::fromStdString(controller_.settings_text());
    while (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    settings_ = new QLabel(text, this);
    settings_->setTextFormat(Qt::PlainText);
    settings_->setWordWrap(true);
    settings_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* group = new QGroupBox(tr("New settings:"), this);
    auto* group_layout = new QVBoxLayout(group);
    group_layout->addWidget(settings_);

    change_own_ = new QCheckBox(tr("Change network settings of Configurator"), this);
    change_own_->setChecked(controller_.change_own_settings);
    broadcast_ = new QCheckBox(tr("Run APLY as a broadcast command"), this);
    broadcast_->setChecked(controller_.broadcast);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &ApplyDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &ApplyDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(warning_row);
    layout->addWidget(group);
    layout->addWidget(change_own_);
    layout->addWidget(broadcast_);
    layout->addSpacing(4);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void ApplyDialog::accept() {
    controller_.change_own_settings = change_own_->isChecked();
    controller_.broadcast = broadcast_->isChecked();
    if (controller_.ok()) QDialog::accept();
}

}  // namespace varda::gui
