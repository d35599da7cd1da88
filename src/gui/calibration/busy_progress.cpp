#include "gui/calibration/busy_progress.h"

namespace varda::gui {

BusyProgress::BusyProgress(QWidget* parent) : QProgressBar(parent) {
    setTextVisible(false);
    stop();
}

void BusyProgress::start(int interval_ms) {
    if (interval_ms <= 0) return;
    running_ = true;
    // A range of 0..0 is Qt's busy indicator.
    setRange(0, 0);
}

void BusyProgress::stop() {
    running_ = false;
    setRange(0, 100);
    setValue(0);
}

}  // namespace varda::gui
