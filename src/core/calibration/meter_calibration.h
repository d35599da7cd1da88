#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <string_view>

#include "core/calibration/calibration_wizard.h"

namespace varda {

class CDeviceVolt;
class ElementContext;

// The calibration wizard of the electrical meters (VK19 to VK22): one page per calibration point with the
// model's instruction; the module is started by writing its start value to "Mode" and then reports each
// point done in bits of the same "Mode", which a reading thread watches while a point is measured.
namespace CalibrationVolt {

class CSheetVolt;
class StatusReader;

// A calibration point: the instruction for the reference signal, then Next waits until the module reports
// the point done and moves on.
class PointPage : public WizardPage {
  public:
    PointPage(CSheetVolt& sheet, std::string title, int point);
    int point() const { return point_; }
    const CSheetVolt& sheet() const { return sheet_; }
    // The model's instruction for this point.
    std::string text() const override;
    void on_activate(CalibrationWizard& wizard) override;
    void on_leave(CalibrationWizard& wizard) override;
    void on_next(CalibrationWizard& wizard) override;

  protected:
    CSheetVolt& sheet_;

  private:
    int point_;
};

// Point 1: Next first tells the module to start its calibration.
class CCodePage : public PointPage {
  public:
    explicit CCodePage(CSheetVolt& sheet);
    void on_activate(CalibrationWizard& wizard) override;
    void on_next(CalibrationWizard& wizard) override;
};

class CStep1Page : public PointPage {
  public:
    explicit CStep1Page(CSheetVolt& sheet) : PointPage(sheet, "Шаг 2", 2) {}
};

class CStep2Page : public PointPage {
  public:
    explicit CStep2Page(CSheetVolt& sheet) : PointPage(sheet, "Шаг 3", 3) {}
};

// The fourth point of VK20; its title repeats the third's.
class CStep3Page : public PointPage {
  public:
    explicit CStep3Page(CSheetVolt& sheet) : PointPage(sheet, "Шаг 3", 4) {}
};

// Every point is done: only Finish remains.
class CEndPage : public TextPage {
  public:
    CEndPage();
    void on_activate(CalibrationWizard& wizard) override;
};

// The wizard. While a point is measured ("in progress") the view shows a moving bar with the label
// kProgressLabel; a module that has not reported the point within kTimeout ends on the error page.
class CSheetVolt : public CalibrationWizard {
  public:
    static constexpr int kTimeoutTimer = 3;
    static constexpr std::chrono::milliseconds kTimeout{120000};
    static constexpr std::chrono::milliseconds kReadingPeriod{200};
    static constexpr std::string_view kProgressLabel = "Идёт процесс юстировки...";

    // `reading_period` is the pause between two readings of "Mode".
    CSheetVolt(ElementContext& link, const CDeviceVolt& model,
               std::chrono::milliseconds reading_period = kReadingPeriod);
    ~CSheetVolt() override;

    const CDeviceVolt& model() const { return model_; }
    bool in_progress() const { return in_progress_; }
    // Whether the reading thread runs.
    bool reading() const;

    // ---- what the point pages do
    // Writes the model's start value to "Mode"; a failure is reported and false returned.
    bool write_start_value();
    // Starts the reading thread, the progress and the time-out; Next is disabled.
    void start_progress();
    // Stops the time-out, the progress and the reading thread; Next is enabled again.
    void stop_progress();

    // A reading of "Mode" from the reading thread, handed over on the user-interface thread. Readings of
    // an earlier run of the thread are ignored.
    void on_reading(unsigned run, const std::string& value);

  protected:
    void on_timer(int id) override;

  private:
    const CDeviceVolt& model_;
    bool in_progress_ = false;
    std::unique_ptr<StatusReader> reader_;
    // Posted readings find the sheet through this, and nothing once it is gone.
    std::shared_ptr<CSheetVolt*> self_;
};

}  // namespace CalibrationVolt
}  // namespace varda
