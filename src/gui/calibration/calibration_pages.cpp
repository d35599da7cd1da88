#include "gui/calibration/calibration_pages.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QStyle>
#include <QVBoxLayout>

#include "core/calibration/calibration_wizard.h"
#include "core/calibration/offset_scale_calibration.h"
#include "gui/calibration/wizards/inductance_calibration_pages.h"
#include "gui/calibration/wizards/meter_calibration_pages.h"
#include "gui/calibration/wizards/ph_calibration_pages.h"
#include "gui/calibration/wizards/strain_gauge_pages.h"
#include "gui/platform/qt_text.h"

namespace varda::gui {

namespace {

// The core writes line ends as "\r\n"; a label wants "\n".
QString plain_lines(const std::string& text) {
    return qtext(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

}  // namespace

TextPageView::TextPageView(const WizardPage& page, bool warning, QWidget* parent)
    : WizardPageView(parent), page_(page) {
    text_ = new QLabel(this);
    text_->setTextFormat(Qt::PlainText);
    text_->setWordWrap(true);
    text_->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    text_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    if (warning) {
        auto* icon = new QLabel(this);
        const int size = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
        icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning, nullptr, this).pixmap(size));
        icon->setAlignment(Qt::AlignTop);
        row->addWidget(icon, 0, Qt::AlignTop);
        row->addSpacing(10);
    }
    row->addWidget(text_, 1);
}

void TextPageView::show_state() {
    text_->setText(plain_lines(page_.text()));
}

CodePageView::CodePageView(CCodeBasePage& page, QWidget* parent) : WizardPageView(parent), page_(page) {
    code_ = new QLineEdit(this);
    code_->setMaxLength(16);
    code_->setFixedWidth(120);
    sensors_ = new QListWidget(this);
    for (const std::string& sensor : page_.sensors())
        sensors_->addItem(qtext(sensor));
    sensors_->setSelectionMode(QAbstractItemView::SingleSelection);
    sensor_label_ = new QLabel(qtext(CCodeBasePage::kSensorLabel), this);
    sensor_label_->setBuddy(sensors_);
    auto* code_label = new QLabel(qtext(CCodeBasePage::kCodeLabel), this);
    code_label->setBuddy(code_);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(code_label);
    layout->addWidget(code_);
    layout->addSpacing(12);
    layout->addWidget(sensor_label_);
    layout->addWidget(sensors_, 1);
    layout->addStretch();
}

void CodePageView::show_state() {
    sensor_label_->setVisible(page_.sensors_shown());
    sensors_->setVisible(page_.sensors_shown());
    if (page_.sensors_shown() && page_.sensor < 0) sensors_->setFocus();
    if (!page_.sensors_shown()) code_->setFocus();
}

void CodePageView::store() {
    page_.code = code_->text().toStdString();
    const bool chosen = page_.sensors_shown() && !sensors_->selectedItems().isEmpty();
    page_.sensor = chosen ? sensors_->currentRow() : -1;
}

WizardPageView* make_page_view(WizardPage& page, QWidget* parent) {
    if (auto* code = dynamic_cast<CCodeBasePage*>(&page)) return new CodePageView(*code, parent);
    if (WizardPageView* ph = make_ph_page_view(page, parent)) return ph;
    if (WizardPageView* meter = make_meter_page_view(page, parent)) return meter;
    if (WizardPageView* view = make_inductance_page_view(page, parent)) return view;
    if (WizardPageView* view = make_strain_gauge_page_view(page, parent)) return view;
    return new TextPageView(page, dynamic_cast<CErrorPage*>(&page) != nullptr, parent);
}

}  // namespace varda::gui
