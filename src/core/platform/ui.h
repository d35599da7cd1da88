#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace varda {

enum class MessageIcon { None, Error, Warning, Question, Information };
// YesNoSafeNo: a question whose "Yes" destroys something; "No" is the default button.
enum class Buttons { Ok, OkCancel, YesNo, YesNoSafeNo, YesNoCancel };
enum class Answer { Ok, Cancel, Yes, No };

// The open exchange progress window as the worker sees it. Every operation may be called from the
// worker thread.
class ProgressWindow {
  public:
    virtual ~ProgressWindow() = default;
    virtual void add_line(const std::string& line) = 0;
    // Counters and elapsed time ("%H:%M:%S"); total 0 shows no counters.
    virtual void set_progress(int done, int total, const std::string& elapsed) = 0;
    // Ends the window; run_exchange returns after this.
    virtual void close() = 0;
};

// A modal exchange: the window shows `title` and a bar of `total` steps; `on_open` runs once the window is
// up (it starts the worker's task), `on_cancel` runs when the user presses Cancel (the window stays open
// until the task closes it).
struct ExchangeRequest {
    std::string title;
    int total = 0;
    std::function<void(ProgressWindow&)> on_open;
    std::function<void()> on_cancel;
};

// Everything the core asks of the user interface: message boxes, questions, the modal exchange window
// and running work on the user-interface thread. The program backs it with Qt; the command line with a
// silent runner; tests with a scripted one. The dialogs over the application's controllers are in Dialogs.
class Ui {
  public:
    virtual ~Ui() = default;
    // A message box; an empty caption means the application title.
    virtual void message(std::string_view text, MessageIcon icon, std::string_view caption = {}) = 0;
    // A message that offers one more button besides OK (`offer`, "Show all"); true when the user chose it.
    // Where nobody can choose, it is a plain message.
    virtual bool message_offering(std::string_view text, MessageIcon icon, std::string_view caption,
                                  std::string_view offer) {
        (void)offer;
        message(text, icon, caption);
        return false;
    }
    // A question; an empty caption means the application title.
    virtual Answer ask(std::string_view text, Buttons buttons, MessageIcon icon,
                       std::string_view caption = {}) = 0;
    // Shows the exchange window and returns when it has closed; false when it could not be shown.
    virtual bool run_exchange(const ExchangeRequest& request) = 0;
    // Runs the task on the user-interface thread, later.
    virtual void post(std::function<void()> task) = 0;
    // False in command-line mode, where no window exists to own messages or menus.
    virtual bool has_main_window() const = 0;
};

// The process-wide user interface; a silent headless one until the program installs its own.
Ui& ui();
void set_ui(Ui* ui);  // nullptr restores the headless one

}  // namespace varda
