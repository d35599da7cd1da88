#include "gui/calibration/wizards/strain_gauge_pages.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "core/calibration/offset_scale_calibration.h"
#include "core/calibration/strain_gauge_calibration.h"
#include "gui/platform/qt_text.h"

namespace varda::gui {

namespace {

using CalibrationTD::CPage1VI;
using CalibrationTD::CSheetTD;
using CalibrationTD::UserPointPage;

constexpr const char* kSignalLabel = "Входной сигнал, мВ:";

QComboBox* choice_box(const std::vector<std::string>& items, QWidget* parent) {
    auto* box = new QComboBox(parent);
    for (const std::string& item : items)
        box->addItem(qtext(item));
    box->setCurrentIndex(-1);
    box->setMinimumWidth(220);
    box->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    return box;
}

}  // namespace

// ---- step 1

StrainGaugeFirstPageView::StrainGaugeFirstPageView(CPage1VI& page, QWidget* parent)
    : WizardPageView(parent), page_(page) {
    code_ = new QLineEdit(this);
    code_->setMaxLength(16);
    code_->setFixedWidth(120);
    auto* code_label = new QLabel(qtext(CCodeBasePage::kCodeLabel), this);
    code_label->setBuddy(code_);
    types_ = choice_box(page_.types(), this);
    type_label_ = new QLabel(qtext(CPage1VI::kTypeLabel), this);
    type_label_->setBuddy(types_);
    // The label's own leading line end sets the channel list apart.
    channels_ = choice_box(page_.channels(), this);
    channel_label_ = new QLabel(qtext(CPage1VI::kChannelLabel), this);
    channel_label_->setBuddy(channels_);
    sensitivities_ = choice_box(page_.sensitivities(), this);
    sensitivity_label_ = new QLabel(qtext(CPage1VI::kSensitivityLabel), this);
    sensitivity_label_->setBuddy(sensitivities_);

    // The kind decides which lists the page asks for.
    connect(types_, &QComboBox::currentIndexChanged, this, [this](int row) {
        page_.type = row;
        show_state();
    });

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    layout->addWidget(code_label);
    layout->addWidget(code_);
    layout->addSpacing(8);
    for (auto [label, box] : {std::pair{type_label_, types_},
                              {sensitivity_label_, sensitivities_},
                              {channel_label_, channels_}}) {
        layout->addWidget(label);
        layout->addWidget(box, 0, Qt::AlignLeft);
    }
    layout->addStretch();
}

void StrainGaugeFirstPageView::show_state() {
    if (types_->currentIndex() != page_.type) types_->setCurrentIndex(page_.type);
    type_label_->setVisible(page_.types_shown());
    types_->setVisible(page_.types_shown());
    channel_label_->setVisible(page_.channels_shown());
    channels_->setVisible(page_.channels_shown());
    sensitivity_label_->setVisible(page_.sensitivities_shown());
    sensitivities_->setVisible(page_.sensitivities_shown());
    if (!page_.types_shown()) code_->setFocus();
}

void StrainGaugeFirstPageView::store() {
    page_.code = code_->text().toStdString();
    page_.type = page_.types_shown() ? types_->currentIndex() : -1;
    page_.channel = channels_->currentIndex();
    page_.sensitivity = sensitivities_->currentIndex();
}

// ---- user calibration points

UserPointPageView::UserPointPageView(UserPointPage& page, QWidget* parent)
    : WizardPageView(parent), page_(page) {
    text_ = new QLabel(this);
    text_->setTextFormat(Qt::PlainText);
    text_->setWordWrap(true);
    text_->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    signal_ = new QLabel(this);
    signal_->setMinimumWidth(100);
    QFont bold = signal_->font();
    bold.setBold(true);
    signal_->setFont(bold);
    value_ = new QLineEdit(this);
    percent_ = new QLineEdit(this);
    for (QLineEdit* edit : {value_, percent_})
        edit->setFixedWidth(110);

    auto* fields = new QGridLayout;
    fields->setHorizontalSpacing(8);
    fields->addWidget(new QLabel(qtext(kSignalLabel), this), 0, 0);
    fields->addWidget(signal_, 0, 1, 1, 2);
    fields->addWidget(new QLabel(qtext(page_.value_label()), this), 1, 0);
    fields->addWidget(value_, 1, 1);
    fields->addWidget(new QLabel(qtext(page_.value_label()), this), 2, 0);
    fields->addWidget(percent_, 2, 1);
    fields->addWidget(new QLabel(QStringLiteral("%"), this), 2, 2);
    fields->setColumnStretch(3, 1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(text_);
    layout->addSpacing(8);
    layout->addLayout(fields);
    layout->addStretch();
}

void UserPointPageView::show_state() {
    text_->setText(qtext(page_.text()).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    signal_->setText(qtext(page_.signal_text()));
    // The fields take the page's values when it is entered; afterwards they hold what the user types.
    if (shown_activation_ != page_.activations()) {
        shown_activation_ = page_.activations();
        value_->setText(qtext(page_.value_text));
        percent_->setText(qtext(page_.percent_text));
    }
}

void UserPointPageView::store() {
    page_.value_text = value_->text().toStdString();
    page_.percent_text = percent_->text().toStdString();
}

WizardPageView* make_strain_gauge_page_view(WizardPage& page, QWidget* parent) {
    if (auto* first = dynamic_cast<CPage1VI*>(&page)) return new StrainGaugeFirstPageView(*first, parent);
    if (auto* point = dynamic_cast<UserPointPage*>(&page)) return new UserPointPageView(*point, parent);
    return nullptr;
}

}  // namespace varda::gui
