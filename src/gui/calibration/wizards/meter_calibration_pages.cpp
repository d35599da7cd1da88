#include "gui/calibration/wizards/meter_calibration_pages.h"

#include <QLabel>
#include <QVBoxLayout>

#include "core/calibration/meter_calibration.h"
#include "gui/platform/qt_text.h"

namespace varda::gui {

MeterPointPageView::MeterPointPageView(const CalibrationVolt::PointPage& page,
                                       const CalibrationVolt::CSheetVolt& sheet, QWidget* parent)
    : WizardPageView(parent), page_(page), sheet_(sheet) {
    text_ = new QLabel(this);
    text_->setTextFormat(Qt::PlainText);
    text_->setWordWrap(true);
    text_->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    text_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    const std::string_view label = CalibrationVolt::CSheetVolt::kProgressLabel;
    progress_ = new QLabel(qtext(label), this);
    QSizePolicy keep_room = progress_->sizePolicy();
    keep_room.setRetainSizeWhenHidden(true);  // the instruction does not move when the label comes and goes
    progress_->setSizePolicy(keep_room);
    progress_->hide();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(text_);
    layout->addStretch(1);
    layout->addWidget(progress_);
}

void MeterPointPageView::show_state() {
    // Point texts end lines with "\n" alone; other pages may use "\r\n".
    text_->setText(qtext(page_.text()).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    progress_->setVisible(sheet_.in_progress());
}

WizardPageView* make_meter_page_view(WizardPage& page, QWidget* parent) {
    auto* point = dynamic_cast<CalibrationVolt::PointPage*>(&page);
    if (!point) return nullptr;
    return new MeterPointPageView(*point, point->sheet(), parent);
}

}  // namespace varda::gui
