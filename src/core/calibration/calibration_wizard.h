#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/model/parameter.h"

namespace varda {

class CalibrationWizard;
class ElementContext;

// The texts of the wizards' buttons, written once for every wizard (the screen language translates them).
namespace wizard_button {
inline constexpr const char* kBackText = "< Назад";
inline constexpr const char* kNextText = "Далее >";
inline constexpr const char* kContinueText = "Продолжить";
inline constexpr const char* kFinishText = "Готово";
inline constexpr const char* kCancelText = "Отмена";
inline constexpr const char* kRetryText = "Повторить";
inline constexpr const char* kExitText = "Выход";
inline constexpr const char* kSaveText = "Сохранить";
}  // namespace wizard_button

// The button row of a wizard. While Finish is shown it takes the place of Next.
struct WizardButtons {
    bool back_enabled = false;
    bool next_enabled = false;
    bool finish_shown = false;
    bool finish_enabled = false;
    std::string back_text;
    std::string next_text;
    std::string finish_text;
    std::string cancel_text;
};

// One page of a calibration wizard: its title, its text and what the buttons do on it. A handler moves
// the wizard (go_to, advance, close) or leaves it where it is.
class WizardPage {
  public:
    explicit WizardPage(std::string title) : title_(std::move(title)) {}
    virtual ~WizardPage() = default;
    WizardPage(const WizardPage&) = delete;
    WizardPage& operator=(const WizardPage&) = delete;

    const std::string& title() const { return title_; }
    // The instruction or message the page shows ("\r\n" ends a line), "" when it shows none.
    virtual std::string text() const { return {}; }

    virtual void on_activate(CalibrationWizard&) {}
    virtual void on_leave(CalibrationWizard&) {}
    // By default Next goes to the following page, Back to the one before, Finish ends the wizard.
    virtual void on_next(CalibrationWizard& wizard);
    virtual void on_back(CalibrationWizard& wizard);
    virtual void on_finish(CalibrationWizard& wizard);

  private:
    std::string title_;
};

// The first page of a wizard that asks for the access code: only Next, reading "Продолжить", while it
// is shown; Back and Next again once it is left.
class AccessCodePage : public WizardPage {
  public:
    using WizardPage::WizardPage;
    void on_activate(CalibrationWizard& wizard) override;
    void on_leave(CalibrationWizard& wizard) override;
};

// A page that shows one fixed text.
class TextPage : public WizardPage {
  public:
    TextPage(std::string title, std::string text) : WizardPage(std::move(title)), text_(std::move(text)) {}
    std::string text() const override { return text_; }

  private:
    std::string text_;
};

// The last page of every calibration wizard: what went wrong, "Повторить" back to the first page, or
// "Выход".
class CErrorPage : public WizardPage {
  public:
    CErrorPage();
    void set_error(std::string error) { error_ = std::move(error); }
    const std::string& error() const { return error_; }
    std::string text() const override;
    void on_activate(CalibrationWizard& wizard) override;
    void on_leave(CalibrationWizard& wizard) override;
    void on_finish(CalibrationWizard& wizard) override;

  private:
    std::string error_;
};

// The page that stores the calibration coefficients in the module's non-volatile memory with its Finish
// button, "Сохранить": "Prmn" = 0, then "UApl". A failed store is reported and the page stays, so the
// coefficients can still be saved.
class CSavePage : public TextPage {
  public:
    CSavePage();
    void on_activate(CalibrationWizard& wizard) override;
    void on_leave(CalibrationWizard& wizard) override;
    void on_finish(CalibrationWizard& wizard) override;

  protected:
    // The save page of another wizard, under its own title.
    explicit CSavePage(std::string title);
};

// The controller of a calibration wizard: the pages in order, the button row, the error page, and the
// polling of the module's result "JuRD" after an operation was started. The view shows the current page
// and the buttons, forwards clicks to press_*(), and runs one single-shot timer per entry of timers(),
// calling timer_fired() when it expires; listen() tells it when to look again. Exchanges go through the
// per-parameter operations of the link, on the caller's (the user-interface) thread.
class CalibrationWizard {
  public:
    enum class Outcome { Running, Finished, Cancelled };
    // A timer the view runs: started again whenever its serial changes.
    struct Timer {
        std::chrono::milliseconds delay{0};
        unsigned serial = 0;
    };
    // Button flags for set_wizard_buttons.
    static constexpr unsigned kBack = 1;
    static constexpr unsigned kNext = 2;
    static constexpr unsigned kFinish = 4;
    static constexpr unsigned kDisabledFinish = 8;

    static constexpr int kFirstPollTimer = 1;
    static constexpr int kRepollTimer = 2;
    static constexpr std::chrono::milliseconds kFirstPollDelay{2000};
    static constexpr std::chrono::milliseconds kRepollDelay{1000};
    static constexpr int kMaxRepolls = 10;
    static constexpr std::string_view kErrorCaption = "Ошибка юстировки";

    CalibrationWizard(ElementContext& link, std::string title);
    virtual ~CalibrationWizard();
    CalibrationWizard(const CalibrationWizard&) = delete;
    CalibrationWizard& operator=(const CalibrationWizard&) = delete;

    // ---- building: pages in order; start() appends the error page and shows the first page
    WizardPage& add_page(std::unique_ptr<WizardPage> page);
    void start();

    // ---- what the view shows
    const std::string& title() const { return title_; }
    int page_count() const { return static_cast<int>(pages_.size()); }
    WizardPage& page(int index) const { return *pages_.at(static_cast<std::size_t>(index)); }
    int current_index() const { return current_; }
    WizardPage& current_page() const { return page(current_); }
    CErrorPage& error_page() const { return *error_page_; }
    const WizardButtons& buttons() const { return buttons_; }
    const std::map<int, Timer>& timers() const { return timers_; }
    Outcome outcome() const { return outcome_; }
    // Called after every change the view must show.
    void listen(std::function<void()> listener) { listener_ = std::move(listener); }
    // Tells the view that a page's own state changed.
    void notify_changed() { changed(); }

    // ---- what the view forwards; a button that is not enabled does nothing
    void press_next();
    void press_back();
    void press_finish();
    void press_cancel();
    void timer_fired(int id);

    // ---- what pages do
    void go_to(int index);
    void go_to(const WizardPage& page);
    void advance() { go_to(current_ + 1); }
    void close(Outcome outcome);
    void set_wizard_buttons(unsigned flags);
    void set_back_text(std::string text);
    void set_next_text(std::string text);
    void set_finish_text(std::string text);
    void set_cancel_text(std::string text);
    // Shows the error page with this text.
    void show_error(std::string text);
    void start_timer(int id, std::chrono::milliseconds delay);
    void stop_timer(int id);
    // Polls "JuRD" after the module was told to start an operation; a done result advances the wizard.
    void start_result_poll() { start_timer(kFirstPollTimer, kFirstPollDelay); }
    int busy_count() const { return busy_count_; }

    // The code field must hold the access code; otherwise the user is told and false is returned.
    static bool check_access_code(std::string_view entered, std::string_view code);
    // Writes the parameter's value; a failure is shown with its error text. True on success.
    bool write_or_report(Parameter& parameter);
    ElementContext& link() const { return link_; }

    // The error page's text for a "JuRD" value whose low byte is neither done (0) nor busy (6).
    static std::string result_error_text(long value);

  protected:
    // A timer expired (it has been stopped already). The base polls the result on timers 1 and 2.
    virtual void on_timer(int id);
    // The module reported the operation done.
    virtual void on_result_done() { advance(); }

  private:
    void poll_result(int timer_id);
    void changed();

    ElementContext& link_;
    std::string title_;
    std::vector<std::unique_ptr<WizardPage>> pages_;
    CErrorPage* error_page_ = nullptr;
    int current_ = -1;
    WizardButtons buttons_;
    std::map<int, Timer> timers_;
    unsigned timer_serial_ = 0;
    int busy_count_ = 0;
    Outcome outcome_ = Outcome::Running;
    Parameter result_{"JuRD"};
    std::function<void()> listener_;
};

}  // namespace varda
