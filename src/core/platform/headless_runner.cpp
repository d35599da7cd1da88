#include "core/platform/headless_runner.h"

#include <atomic>
#include <utility>

namespace varda {
namespace {

HeadlessRunner& default_ui() {
    static HeadlessRunner instance;
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

class HeadlessRunner::Window : public ProgressWindow {
  public:
    Window(HeadlessRunner& owner, std::function<void()> on_cancel, int cancel_after)
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
    HeadlessRunner& owner_;
    std::function<void()> on_cancel_;
    int cancel_after_ = 0;
    int shown_ = 0;
    std::mutex mutex_;
    std::condition_variable closed_signal_;
    bool closed_ = false;
};

void HeadlessRunner::message(std::string_view text, MessageIcon icon, std::string_view caption) {
    std::lock_guard lock(mutex_);
    messages_.push_back({std::string(text), icon, std::string(caption)});
}

Answer HeadlessRunner::ask(std::string_view text, Buttons buttons, MessageIcon, std::string_view) {
    std::lock_guard lock(mutex_);
    questions_.emplace_back(text);
    if (!answers_.empty()) {
        const Answer answer = answers_.front();
        answers_.pop_front();
        return answer;
    }
    return unattended_answer(buttons);
}

Answer unattended_answer(Buttons buttons) {
    switch (buttons) {
        case Buttons::Ok:
            return Answer::Ok;
        case Buttons::OkCancel:
        case Buttons::YesNoCancel:
            return Answer::Cancel;
        case Buttons::YesNo:
        case Buttons::YesNoSafeNo:
            return Answer::No;
    }
    return Answer::Cancel;
}

bool HeadlessRunner::run_exchange(const ExchangeRequest& request) {
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

void HeadlessRunner::post(std::function<void()> task) {
    std::lock_guard lock(mutex_);
    posted_.push_back(std::move(task));
}

void HeadlessRunner::cancel_after_lines(int lines) {
    std::lock_guard lock(mutex_);
    cancel_after_lines_ = lines;
}

void HeadlessRunner::push_answer(Answer answer) {
    std::lock_guard lock(mutex_);
    answers_.push_back(answer);
}

void HeadlessRunner::set_progress_sink(std::function<void(const std::string&)> sink) {
    std::lock_guard lock(mutex_);
    sink_ = std::move(sink);
}

int HeadlessRunner::run_posted() {
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

std::vector<HeadlessRunner::Message> HeadlessRunner::messages() const {
    std::lock_guard lock(mutex_);
    return messages_;
}
std::vector<std::string> HeadlessRunner::questions() const {
    std::lock_guard lock(mutex_);
    return questions_;
}
std::vector<std::string> HeadlessRunner::progress_lines() const {
    std::lock_guard lock(mutex_);
    return lines_;
}
std::vector<std::string> HeadlessRunner::exchange_titles() const {
    std::lock_guard lock(mutex_);
    return titles_;
}
void HeadlessRunner::clear() {
    std::lock_guard lock(mutex_);
    messages_.clear();
    questions_.clear();
    lines_.clear();
    titles_.clear();
}

}  // namespace varda
