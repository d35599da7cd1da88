#include "gui/calibration/calibration_wizard.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPalette>
#include <QPushButton>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "core/calibration/calibration_wizard.h"
#include "gui/calibration/busy_progress.h"
#include "gui/calibration/calibration_pages.h"
#include "gui/platform/qt_text.h"

namespace varda::gui {
namespace {

constexpr int kPageWidth = 440;
constexpr int kPageHeight = 230;
constexpr int kHeaderIcon = 40;
constexpr int kButtonWidth = 104;

QFrame* separator(QWidget* parent) {
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

}  // namespace

WizardSheet::WizardSheet(CalibrationWizard& wizard, QWidget* parent) : QDialog(parent), wizard_(wizard) {
    setWindowTitle(qtext(wizard_.title()));
    setWindowIcon(QIcon(QStringLiteral(":/icons/calibration.svg")));

    // The header: the page's title on the base colour, as wizards show it.
    auto* header = new QWidget(this);
    header->setAutoFillBackground(true);
    header->setBackgroundRole(QPalette::Base);
    title_ = new QLabel(header);
    QFont title_font = title_->font();
    title_font.setBold(true);
    title_font.setPointSizeF(title_font.pointSizeF() * 1.25);
    title_->setFont(title_font);
    auto* icon = new QLabel(header);
    icon->setPixmap(QIcon(QStringLiteral(":/icons/calibration.svg")).pixmap(kHeaderIcon, kHeaderIcon));
    auto* header_row = new QHBoxLayout(header);
    header_row->setContentsMargins(18, 12, 14, 12);
    header_row->addWidget(title_, 1);
    header_row->addWidget(icon);

    stack_ = new QStackedWidget(this);
    stack_->setMinimumSize(kPageWidth, kPageHeight);

    back_ = new QPushButton(this);
    next_ = new QPushButton(this);
    finish_ = new QPushButton(this);
    cancel_ = new QPushButton(this);
    for (QPushButton* button : {back_, next_, finish_, cancel_}) {
        button->setAutoDefault(false);
        button->setMinimumWidth(kButtonWidth);
    }
    connect(back_, &QPushButton::clicked, this, [this] { press(&CalibrationWizard::press_back); });
    connect(next_, &QPushButton::clicked, this, [this] { press(&CalibrationWizard::press_next); });
    connect(finish_, &QPushButton::clicked, this, [this] { press(&CalibrationWizard::press_finish); });
    connect(cancel_, &QPushButton::clicked, this, &WizardSheet::reject);
    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(12, 0, 12, 0);
    buttons->addStretch();
    buttons->addWidget(back_);
    buttons->addWidget(next_);
    buttons->addWidget(finish_);
    buttons->addSpacing(10);
    buttons->addWidget(cancel_);

    auto* body = new QVBoxLayout;
    body->setContentsMargins(24, 16, 24, 16);
    body->addWidget(stack_);
    // While the module works on an operation the wizard waits for its result; the bar shows that.
    busy_ = new BusyProgress(this);
    busy_->setTextVisible(false);
    busy_->setMaximumHeight(12);
    QSizePolicy keep_room = busy_->sizePolicy();
    keep_room.setRetainSizeWhenHidden(true);  // the page does not jump when the bar comes and goes
    busy_->setSizePolicy(keep_room);
    busy_->hide();
    body->addWidget(busy_);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 12);
    layout->setSpacing(0);
    layout->addWidget(header);
    layout->addWidget(separator(this));
    layout->addLayout(body, 1);
    layout->addWidget(separator(this));
    layout->addSpacing(12);
    layout->addLayout(buttons);
}

WizardSheet::~WizardSheet() {
    wizard_.listen(nullptr);
}

bool WizardSheet::run() {
    wizard_.listen([this] { sync(); });
    wizard_.start();
    if (wizard_.outcome() == CalibrationWizard::Outcome::Running) exec();
    wizard_.listen(nullptr);
    return wizard_.outcome() == CalibrationWizard::Outcome::Finished;
}

WizardPageView* WizardSheet::current_view() const {
    const int index = wizard_.current_index();
    return index >= 0 && index < static_cast<int>(views_.size()) ? views_[static_cast<std::size_t>(index)]
                                                                 : nullptr;
}

void WizardSheet::reject() {
    wizard_.press_cancel();
    sync();
}

void WizardSheet::press(void (CalibrationWizard::*button)()) {
    if (WizardPageView* view = current_view()) view->store();
    (wizard_.*button)();
    sync();
}

void WizardSheet::sync() {
    // The pages exist once the wizard has started (it adds its error page then).
    while (static_cast<int>(views_.size()) < wizard_.page_count()) {
        WizardPageView* view = make_page_view(wizard_.page(static_cast<int>(views_.size())), stack_);
        views_.push_back(view);
        stack_->addWidget(view);
    }
    if (WizardPageView* view = current_view()) {
        view->show_state();
        stack_->setCurrentWidget(view);
        title_->setText(qtext(wizard_.current_page().title()));
    }
    const WizardButtons& b = wizard_.buttons();
    back_->setText(qtext(b.back_text));
    back_->setEnabled(b.back_enabled);
    next_->setText(qtext(b.next_text));
    next_->setEnabled(b.next_enabled);
    next_->setVisible(!b.finish_shown);
    finish_->setText(qtext(b.finish_text));
    finish_->setEnabled(b.finish_enabled);
    finish_->setVisible(b.finish_shown);
    cancel_->setText(qtext(b.cancel_text));
    QPushButton* main_button = b.finish_shown ? finish_ : next_;
    main_button->setDefault(main_button->isEnabled());
    sync_timers();
    const bool waiting = !wizard_.timers().empty();
    if (waiting != busy_->running()) {
        if (waiting)
            busy_->start(100);
        else
            busy_->stop();
        busy_->setVisible(waiting);
    }

    if (wizard_.outcome() != CalibrationWizard::Outcome::Running && !closing_) {
        closing_ = true;
        if (wizard_.outcome() == CalibrationWizard::Outcome::Finished)
            QDialog::accept();
        else
            QDialog::reject();
    }
}

void WizardSheet::sync_timers() {
    const auto& wanted = wizard_.timers();
    for (auto& [id, timer] : timers_)
        if (!wanted.contains(id)) timer->stop();
    for (const auto& [id, schedule] : wanted) {
        QTimer*& timer = timers_[id];
        if (!timer) {
            timer = new QTimer(this);
            timer->setSingleShot(true);
            // An init-capture: C++20 lets a lambda capture a structured binding, clang 14 does not yet.
            connect(timer, &QTimer::timeout, this, [this, id = id] {
                wizard_.timer_fired(id);
                sync();
            });
        }
        if (timer_serials_[id] != schedule.serial) {
            timer_serials_[id] = schedule.serial;
            timer->start(static_cast<int>(schedule.delay.count()));
        }
    }
}

}  // namespace varda::gui
