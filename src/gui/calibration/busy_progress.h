#pragma once

#include <QProgressBar>

namespace varda::gui {

// A progress bar for steps of unknown length (a calibration point settling): while running, a block moves
// through the bar; stopped, the bar is empty. Qt's busy mode animates at the style's own pace, so the
// interval given to start() only tells whether the bar runs.
class BusyProgress : public QProgressBar {
    Q_OBJECT
  public:
    explicit BusyProgress(QWidget* parent = nullptr);

    void start(int interval_ms);
    void stop();
    bool running() const { return running_; }

  private:
    bool running_ = false;
};

}  // namespace varda::gui
