#include "core/calibration/calibration_wizard.h"

#include <cerrno>
#include <cstdlib>

#include "core/model/element_context.h"
#include "core/platform/language.h"
#include "core/platform/ui.h"

namespace varda {
namespace {

using namespace wizard_button;
constexpr const char* kRetryHint = "Для того чтобы повторить операцию юстировки нажмите кнопку «Повторить».";
constexpr const char* kSaveInstruction =
    "Для сохранения юстировочных коэффициентов в энергонезависимой памяти прибора нажмите кнопку "
    "«Сохранить».";
constexpr const char* kWrongCode = "Код доступа не верен!";
constexpr const char* kResultUnreadable = "Не удалось считать результат выполненной операции.";
constexpr const char* kStaysBusy = "Прибору не удается завершить операцию.";

constexpr long kResultDone = 0;
constexpr long kResultBusy = 6;

// The whole value a result parameter read, when it is a number.
bool parse_value(const std::string& text, long& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtol(text.c_str(), &end, 10);
    return errno == 0 && end && *end == '\0';
}

}  // namespace

// ---- pages

void WizardPage::on_next(CalibrationWizard& wizard) {
    wizard.advance();
}
void WizardPage::on_back(CalibrationWizard& wizard) {
    wizard.go_to(wizard.current_index() - 1);
}
void WizardPage::on_finish(CalibrationWizard& wizard) {
    wizard.close(CalibrationWizard::Outcome::Finished);
}

void AccessCodePage::on_activate(CalibrationWizard& wizard) {
    wizard.set_next_text(kContinueText);
    wizard.set_wizard_buttons(CalibrationWizard::kNext);
}

void AccessCodePage::on_leave(CalibrationWizard& wizard) {
    wizard.set_wizard_buttons(CalibrationWizard::kBack | CalibrationWizard::kNext);
}

CErrorPage::CErrorPage() : WizardPage("Ошибка юстировки") {}

std::string CErrorPage::text() const {
    const std::string hint(localized(kRetryHint));
    return error_.empty() ? hint : std::string(localized(error_)) + "\r\n\r\n" + hint;
}

void CErrorPage::on_activate(CalibrationWizard& wizard) {
    wizard.set_wizard_buttons(CalibrationWizard::kFinish);
    wizard.set_finish_text(kRetryText);
    wizard.set_cancel_text(kExitText);
}

void CErrorPage::on_leave(CalibrationWizard& wizard) {
    wizard.set_cancel_text(kCancelText);
    wizard.set_finish_text(kFinishText);
}

void CErrorPage::on_finish(CalibrationWizard& wizard) {
    wizard.go_to(0);
}

CSavePage::CSavePage() : CSavePage("Шаг 4") {}
CSavePage::CSavePage(std::string title) : TextPage(std::move(title), kSaveInstruction) {}

void CSavePage::on_activate(CalibrationWizard& wizard) {
    wizard.set_wizard_buttons(CalibrationWizard::kFinish);
    wizard.set_finish_text(kSaveText);
}

void CSavePage::on_leave(CalibrationWizard& wizard) {
    wizard.set_finish_text(kFinishText);
}

void CSavePage::on_finish(CalibrationWizard& wizard) {
    Parameter store("Prmn");
    store.set_data_type("int");
    store.SetValueText("0");
    if (!wizard.write_or_report(store)) return;
    // The module answers the apply command with nothing worth examining.
    Parameter apply("UApl");
    apply.set_data_type("void");
    apply.SetValueText({});
    wizard.link().write_parameter(apply, 1);
    wizard.close(CalibrationWizard::Outcome::Finished);
}

// ---- the wizard

CalibrationWizard::CalibrationWizard(ElementContext& link, std::string title)
    : link_(link), title_(std::move(title)) {
    buttons_.back_text = kBackText;
    buttons_.next_text = kNextText;
    buttons_.finish_text = kFinishText;
    buttons_.cancel_text = kCancelText;
    result_.set_data_type("int");
}

CalibrationWizard::~CalibrationWizard() = default;

WizardPage& CalibrationWizard::add_page(std::unique_ptr<WizardPage> page) {
    pages_.push_back(std::move(page));
    return *pages_.back();
}

void CalibrationWizard::start() {
    if (!error_page_) {
        auto error = std::make_unique<CErrorPage>();
        error_page_ = error.get();
        add_page(std::move(error));
    }
    outcome_ = Outcome::Running;
    current_ = -1;
    go_to(0);
}

void CalibrationWizard::press_next() {
    if (outcome_ == Outcome::Running && buttons_.next_enabled && !buttons_.finish_shown)
        current_page().on_next(*this);
}

void CalibrationWizard::press_back() {
    if (outcome_ == Outcome::Running && buttons_.back_enabled && current_ > 0) current_page().on_back(*this);
}

void CalibrationWizard::press_finish() {
    if (outcome_ == Outcome::Running && buttons_.finish_shown && buttons_.finish_enabled)
        current_page().on_finish(*this);
}

void CalibrationWizard::press_cancel() {
    if (outcome_ == Outcome::Running) close(Outcome::Cancelled);
}

void CalibrationWizard::timer_fired(int id) {
    // A timer stopped after it had already expired on the view's side is stale.
    if (outcome_ != Outcome::Running || !timers_.contains(id)) return;
    timers_.erase(id);
    changed();
    on_timer(id);
}

void CalibrationWizard::go_to(int index) {
    if (index < 0 || index >= page_count() || outcome_ != Outcome::Running) return;
    if (current_ >= 0) current_page().on_leave(*this);
    current_ = index;
    current_page().on_activate(*this);
    changed();
}

void CalibrationWizard::go_to(const WizardPage& target) {
    for (int i = 0; i < page_count(); ++i)
        if (&page(i) == &target) return go_to(i);
}

void CalibrationWizard::close(Outcome outcome) {
    timers_.clear();
    outcome_ = outcome;
    changed();
}

void CalibrationWizard::set_wizard_buttons(unsigned flags) {
    buttons_.back_enabled = (flags & kBack) != 0;
    buttons_.next_enabled = (flags & kNext) != 0;
    buttons_.finish_shown = (flags & (kFinish | kDisabledFinish)) != 0;
    buttons_.finish_enabled = (flags & kFinish) != 0;
    changed();
}

void CalibrationWizard::set_back_text(std::string text) {
    buttons_.back_text = std::move(text);
    changed();
}
void CalibrationWizard::set_next_text(std::string text) {
    buttons_.next_text = std::move(text);
    changed();
}
void CalibrationWizard::set_finish_text(std::string text) {
    buttons_.finish_text = std::move(text);
    changed();
}
void CalibrationWizard::set_cancel_text(std::string text) {
    buttons_.cancel_text = std::move(text);
    changed();
}

void CalibrationWizard::show_error(std::string text) {
    error_page_->set_error(std::move(text));
    go_to(*error_page_);
}

void CalibrationWizard::start_timer(int id, std::chrono::milliseconds delay) {
    timers_[id] = Timer{delay, ++timer_serial_};
    changed();
}

void CalibrationWizard::stop_timer(int id) {
    if (timers_.erase(id) != 0) changed();
}

bool CalibrationWizard::check_access_code(std::string_view entered, std::string_view code) {
    if (entered == code) return true;
    ui().message(kWrongCode, MessageIcon::Warning);
    return false;
}

bool CalibrationWizard::write_or_report(Parameter& parameter) {
    if (link_.write_parameter(parameter, 1) == 0) return true;
    ui().message(parameter.error_text, MessageIcon::Warning, kErrorCaption);
    return false;
}

std::string CalibrationWizard::result_error_text(long value) {
    switch (value & 0xFF) {
        case 1:
            return "Юстировку масштаба следует выполнять после юстировки смещения.";
        case 2:
            return "Значение сигнала на входе выше нормы.";
        case 3:
            return "Значение сигнала на входе ниже нормы.";
        case 4:
            return "Значение сигнала на входе не устойчиво, попробуйте повторить операцию.";
        case 5:
            return "Тип датчика 4…20 мА не калибруется.";
        default:
            return std::string(localized("Неопознанная ошибка (")) + std::to_string(value) + ").";
    }
}

void CalibrationWizard::on_timer(int id) {
    if (id == kFirstPollTimer || id == kRepollTimer) poll_result(id);
}

void CalibrationWizard::poll_result(int timer_id) {
    if (timer_id == kFirstPollTimer) busy_count_ = 0;
    long value = 0;
    if (link_.read_parameter(result_, false) != 0 || !parse_value(result_.value_text(), value)) {
        // A module that did not answer in time says so; anything else is one text.
        if (result_.failure_kind() == FailureKind::Timeout)
            show_error(std::string(localized(result_.error_text)) + ".");
        else
            show_error(kResultUnreadable);
        return;
    }
    const long code = value & 0xFF;
    if (code == kResultDone) {
        on_result_done();
    } else if (code == kResultBusy) {
        if (++busy_count_ <= kMaxRepolls)
            start_timer(kRepollTimer, kRepollDelay);
        else
            show_error(kStaysBusy);
    } else {
        show_error(result_error_text(value));
    }
}

void CalibrationWizard::changed() {
    if (listener_) listener_();
}

}  // namespace varda
