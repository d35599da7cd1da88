#pragma once

#include <string>

#include "core/calibration/calibration_method.h"
#include "core/calibration/calibration_run.h"

namespace varda {
class CBaseDevice;
class DeviceIO;
}  // namespace varda

namespace varda::calibration {

// The two windows of the generic calibration, shown modally. The program shows Qt dialogs; tests script them.
class CalibrationViews {
  public:
    virtual ~CalibrationViews() = default;
    // The method window over `choice`; true when it closed with the choice accepted.
    virtual bool choose_method(MethodChoice& choice) = 0;
    // The run window over `run`; returns when the run has closed.
    virtual void run(CalibrationRun& run) = 0;
};

// The generic calibration of VK00 and VK08: choose the method, prepare the module, run, return the module
// to work; again as often as the user asks for it.
class GenericCalibration {
  public:
    GenericCalibration(CBaseDevice& model, DeviceIO& io);

    void run(CalibrationViews& views);

    // What the user is told before and after a run (the model's display name filled in).
    std::string preparation_text() const;
    std::string closing_text(int type) const;

    CBaseDevice& model() { return model_; }
    DeviceIO& io() { return io_; }

  private:
    CBaseDevice& model_;
    DeviceIO& io_;
};

}  // namespace varda::calibration
