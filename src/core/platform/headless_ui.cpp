#include "core/platform/headless_ui.h"

#include <atomic>
#include <utility>

#include "core/app/apply_settings.h"
#include "core/calibration/calibration_wizard.h"
#include "core/calibration/output_calibration.h"

namespace varda {
namespace {

HeadlessUi& default_ui() {
    static HeadlessUi instance;
    return instance;
}

std::atomic<Ui*> g_ui{nullptr};

}  // namespace

Ui& ui() {
    Ui* current = g_ui.load(std::memory_order_acquire);
    return current ? *current : default_ui();
}

void set_ui(Ui* ui) {
    g_ui.store(ui, std::memory_order_release);
}

class HeadlessUi::Window : public ProgressWindow {
  public:
    Window(HeadlessUi& owner, std::function<void()> on_cancel, int cancel_after)
        : owner_(owner), on_cancel_(std::move(on_cancel)), cancel_after_(cancel_after) {}

    void add_line(const std::string& line) override {
        std::function<void(const std::string&)> sink;
        {
            std::lock_guard lock(owner_.mutex_);
            owner_.lines_.push_back(line);
            sink = owner_.sink_;
        }
        if (sink) sink(line);
        if (++shown_ == cancel_after_ && on_cancel_) on_cancel_();
    }
    void set_progress(int, int, const std::string&) override {}
    void close() override {
        std::lock_guard lock(mutex_);
        closed_ = true;
        closed_signal_.notify_all();
    }
    void wait_closed() {
        std::unique_lock lock(mutex_);
        closed_signal_.wait(lock, [this] { return closed_; });
    }

  private:
    HeadlessUi& owner_;
    std::function<void()> on_cancel_;
    int cancel_after_ = 0;
    int shown_ = 0;
    std::mutex mutex_;
    std::condition_variable closed_signal_;
    bool closed_ = false;
};

void HeadlessUi::message(std::string_view text, MessageIcon icon, std::string_view caption) {
    std::lock_guard lock(mutex_);
    messages_.push_back({std::string(text), icon, std::string(caption)});
}

Answer HeadlessUi::ask(std::string_view text, Buttons buttons, MessageIcon, std::string_view) {
    std::lock_guard lock(mutex_);
    questions_.emplace_back(text);
    if (!answers_.empty()) {
        const Answer answer = answers_.front();
        answers_.pop_front();
        return answer;
    }
    switch (buttons) {
        case Buttons::Ok:
            return Answer::Ok;
        case Buttons::OkCancel:
        case Buttons::YesNoCancel:
            return Answer::Cancel;
        case Buttons::YesNo:
            return Answer::No;
    }
    return Answer::Cancel;
}

bool HeadlessUi::run_exchange(const ExchangeRequest& request) {
    {
        std::lock_guard lock(mutex_);
        titles_.push_back(request.title);
    }
    int cancel_after = 0;
    {
        std::lock_guard lock(mutex_);
        cancel_after = std::exchange(cancel_after_lines_, 0);
    }
    Window window(*this, request.on_cancel, cancel_after);
    if (request.on_open) request.on_open(window);
    window.wait_closed();
    return true;
}

int HeadlessUi::run_connection_dialog(bool) {
    std::lock_guard lock(mutex_);
    ++connection_dialogs_shown;
    return connection_dialog_answer;
}

bool HeadlessUi::run_apply_dialog(ApplyController& dialog) {
    bool answer = false;
    {
        std::lock_guard lock(mutex_);
        ++apply_dialogs_shown;
        answer = apply_dialog_answer;
    }
    // Outside the lock: OK may show a message.
    return answer && dialog.ok();
}

bool HeadlessUi::run_calibration_wizard(CalibrationWizard& wizard) {
    std::function<void(CalibrationWizard&)> driver;
    {
        std::lock_guard lock(mutex_);
        ++calibration_wizards_shown;
        driver = calibration_wizard_driver;
    }
    // Outside the lock: the wizard shows messages.
    wizard.start();
    if (driver) driver(wizard);
    wizard.press_cancel();
    return wizard.outcome() == CalibrationWizard::Outcome::Finished;
}

bool HeadlessUi::run_output_calibration(calibration::OutputCalibration& dialog) {
    std::function<void(calibration::OutputCalibration&)> driver;
    {
        std::lock_guard lock(mutex_);
        ++output_calibrations_shown;
        driver = output_calibration_driver;
    }
    // Outside the lock: the calibration shows messages.
    dialog.open();
    if (driver) driver(dialog);
    dialog.finish();
    return true;
}

void HeadlessUi::post(std::function<void()> task) {
    std::lock_guard lock(mutex_);
    posted_.push_back(std::move(task));
}

void HeadlessUi::cancel_after_lines(int lines) {
    std::lock_guard lock(mutex_);
    cancel_after_lines_ = lines;
}

void HeadlessUi::push_answer(Answer answer) {
    std::lock_guard lock(mutex_);
    answers_.push_back(answer);
}

void HeadlessUi::set_progress_sink(std::function<void(const std::string&)> sink) {
    std::lock_guard lock(mutex_);
    sink_ = std::move(sink);
}

int HeadlessUi::run_posted() {
    int count = 0;
    while (true) {
        std::function<void()> task;
        {
            std::lock_guard lock(mutex_);
            if (posted_.empty()) return count;
            task = std::move(posted_.front());
            posted_.pop_front();
        }
        task();
        ++count;
    }
}

std::vector<HeadlessUi::Message> HeadlessUi::messages() const {
    std::lock_guard lock(mutex_);
    return messages_;
}
std::vector<std::string> HeadlessUi::questions() const {
    std::lock_guard lock(mutex_);
    return questions_;
}
std::vector<std::string> HeadlessUi::progress_lines() const {
    std::lock_guard lock(mutex_);
    return lines_;
}
std::vector<std::string> HeadlessUi::exchange_titles() const {
    std::lock_guard lock(mutex_);
    return titles_;
}
void HeadlessUi::clear() {
    std::lock_guard lock(mutex_);
    messages_.clear();
    questions_.clear();
    lines_.clear();
    titles_.clear();
}

}  // namespace varda
