#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "core/platform/ui.h"

namespace varda {

// The user interface of runs without windows: messages are recorded, questions take answers given in
// advance (else the safe default: Ok, Cancel or No), the exchange window blocks the caller until the task
// closes it, and posted work waits until run_posted(). It is the process's user interface until the
// program installs its own.
class HeadlessRunner : public Ui {
  public:
    struct Message {
        std::string text;
        MessageIcon icon;
        std::string caption;
    };

    explicit HeadlessRunner(bool has_main_window = false) : has_main_window_(has_main_window) {}

    void message(std::string_view text, MessageIcon icon, std::string_view caption = {}) override;
    Answer ask(std::string_view text, Buttons buttons, MessageIcon icon,
               std::string_view caption = {}) override;
    bool run_exchange(const ExchangeRequest& request) override;
    void post(std::function<void()> task) override;
    bool has_main_window() const override { return has_main_window_; }

    // Answers for the next questions, in order.
    void push_answer(Answer answer);
    // Receives every progress line as it is added (standard error with --verbose, a test).
    void set_progress_sink(std::function<void(const std::string&)> sink);
    // Presses Cancel of the next exchange window when it has shown this many lines (tests).
    void cancel_after_lines(int lines);
    // Runs the posted tasks; returns how many ran.
    int run_posted();

    std::vector<Message> messages() const;
    std::vector<std::string> questions() const;
    std::vector<std::string> progress_lines() const;
    std::vector<std::string> exchange_titles() const;
    void clear();

  private:
    class Window;

    bool has_main_window_;
    mutable std::mutex mutex_;
    std::deque<Answer> answers_;
    std::vector<Message> messages_;
    std::vector<std::string> questions_;
    std::vector<std::string> lines_;
    std::vector<std::string> titles_;
    std::deque<std::function<void()>> posted_;
    std::function<void(const std::string&)> sink_;
    int cancel_after_lines_ = 0;
};

// The answer when nobody can be asked: Ok, Cancel or No, whichever leaves things as they are.
Answer unattended_answer(Buttons buttons);

}  // namespace varda
