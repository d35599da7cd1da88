#pragma once

#include <QDialog>
#include <map>
#include <vector>

class QLabel;
class QPushButton;
class QStackedWidget;
class QTimer;

namespace varda {
class CalibrationWizard;
}

namespace varda::gui {

class BusyProgress;
class WizardPageView;

// The frame of every calibration wizard: the page's title above its widgets, and Back, Next (or Finish in
// its place) and Cancel below. A thin view over CalibrationWizard: it shows the controller's page and
// buttons, forwards clicks, and runs a single-shot timer for each of the controller's timers.
class WizardSheet : public QDialog {
    Q_OBJECT
  public:
    WizardSheet(CalibrationWizard& wizard, QWidget* parent = nullptr);
    ~WizardSheet() override;

    // Starts the wizard and runs it modally; true when it finished rather than being cancelled.
    bool run();

    QPushButton* back_button() const { return back_; }
    QPushButton* next_button() const { return next_; }
    QPushButton* finish_button() const { return finish_; }
    QPushButton* cancel_button() const { return cancel_; }
    QLabel* title_label() const { return title_; }
    BusyProgress* busy_bar() const { return busy_; }
    WizardPageView* page_view(int index) const { return views_.at(static_cast<std::size_t>(index)); }
    WizardPageView* current_view() const;

  public slots:
    void reject() override;

  private:
    // Shows what the controller holds now.
    void sync();
    void sync_timers();
    // Copies the current page's entries into the controller, then runs the press.
    void press(void (CalibrationWizard::*button)());

    CalibrationWizard& wizard_;
    QLabel* title_ = nullptr;
    QStackedWidget* stack_ = nullptr;
    BusyProgress* busy_ = nullptr;
    std::vector<WizardPageView*> views_;
    QPushButton* back_ = nullptr;
    QPushButton* next_ = nullptr;
    QPushButton* finish_ = nullptr;
    QPushButton* cancel_ = nullptr;
    std::map<int, QTimer*> timers_;
    std::map<int, unsigned> timer_serials_;
    bool closing_ = false;
};

}  // namespace varda::gui
