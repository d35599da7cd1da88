#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "core/calibration/calibration_wizard.h"
#include "core/calibration/wizard_reading_thread.h"
#include "core/platform/ui.h"

namespace varda {

class ModelContext;

// The pH and redox calibration wizard of VK18: one or two points, each with a buffer solution whose value
// the engineer enters while watching the live reading; the module calibrates itself on the written point
// and reports the electrode slope deviation when the calibration is applied.
namespace CalibrationPH {

// What is calibrated, chosen on the first page.
enum Mode { kPhOnePoint = 0, kPhTwoPoints = 1, kRedoxOnePoint = 2, kRedoxTwoPoints = 3 };

// Where a live reading goes.
enum Field { kStatusField = 0, kValueField = 1, kTemperatureField = 2 };

class CSheetPH;

// A typed buffer value as the module takes it: a decimal comma becomes a point, and the whole text must be
// one finite number. Nothing when it is not.
std::optional<std::string> buffer_value(std::string_view typed);

// Step 1: the access code; then the module's temperature compensation and electrode pair for the
// engineer to confirm; then what to calibrate and at how many points.
class CCodePage : public AccessCodePage {
  public:
    static constexpr std::string_view kAccessCode = "629";
    static constexpr std::string_view kCodeLabel = "Enter code";
    static constexpr std::string_view kCalibrationLabel = "Выберите тип юстировки:";
    static constexpr std::string_view kPointsLabel = "Выберите число точек для юстировки:";
    static constexpr std::string_view kCalibrations[2] = {"Юстировка pH", "Юстировка ОВП"};
    static constexpr std::string_view kPoints[2] = {"1 точка", "2 точки"};

    CCodePage();
    bool lists_shown() const { return lists_shown_; }

    // What the view's controls hold, copied in before Next.
    std::string code;
    int calibration = -1;  // row of the calibration list, -1 none
    int points = -1;       // row of the points list, -1 none

    void on_next(CalibrationWizard& wizard) override;

  private:
    // Reads the parameters the engineer confirms; false when the wizard closed or the page stays.
    bool confirm_parameters(CSheetPH& sheet);

    bool lists_shown_ = false;
};

// A calibration point: the buffer's value, the live reading beside it, and Next writing the point and
// waiting for the module to report the calibration over.
class CStepPage : public WizardPage {
  public:
    static constexpr std::string_view kTemperatureLabel = "Текущее значение температуры, C:";
    static constexpr std::string_view kProgressLabel = "Идёт процесс юстировки...";
    static constexpr std::string_view kInvalidValue = "Введено некорректное значение!";
    static constexpr std::string_view kInputErrorCaption = "Ошибка ввода";

    // `point` is 1 or 2.
    CStepPage(std::string title, int point, const CSheetPH& sheet);

    std::string text() const override;
    std::string_view buffer_label() const;
    std::string_view value_label() const;
    const std::string& value_text() const { return value_; }
    const std::string& temperature_text() const { return temperature_; }
    // While the module calibrates the point.
    bool step_running() const { return running_; }

    // What the view's entry field holds, copied in before Next.
    std::string buffer;

    void on_activate(CalibrationWizard& wizard) override;
    void on_leave(CalibrationWizard& wizard) override;
    void on_next(CalibrationWizard& wizard) override;
    void on_reading(CSheetPH& sheet, int field, const std::string& text, bool ok);
    void on_step_timeout(CSheetPH& sheet);

  private:
    // Registers the live value (and temperature) and starts reading.
    void watch(CSheetPH& sheet);
    void step_over(CSheetPH& sheet);

    int point_;
    const CSheetPH& sheet_;
    std::string value_;
    std::string temperature_;
    bool running_ = false;
};

class CStep1Page : public CStepPage {
  public:
    explicit CStep1Page(const CSheetPH& sheet) : CStepPage("Шаг 2", 1, sheet) {}
};

class CStep2Page : public CStepPage {
  public:
    explicit CStep2Page(const CSheetPH& sheet) : CStepPage("Шаг 3", 2, sheet) {}
};

// Applies the calibration ("U.Apl"), checks the module's calibration error flag and, for pH, judges the
// electrode slope deviation that the module reports.
class CSavePHPage : public CSavePage {
  public:
    static constexpr std::string_view kRepeat = "Пожалуйста, повторите операцию юстировки.";
    static constexpr std::string_view kSlopeCaption = "Параметры электродной пары";
    static constexpr float kSlopeLow = 0.96f;
    static constexpr float kSlopeHigh = 1.1f;

    CSavePHPage();
    void on_activate(CalibrationWizard& wizard) override;
    void on_leave(CalibrationWizard& wizard) override;
    void on_back(CalibrationWizard& wizard) override;
    void on_finish(CalibrationWizard& wizard) override;

    // The message about the slope deviation the module reported, and whether it is a warning.
    static std::pair<std::string, MessageIcon> slope_message(const std::string& reported);

  private:
    std::string back_text_;
};

// The sheet: the pages, the mode, the live readings and the time-out of a calibration step.
class CSheetPH : public CalibrationWizard {
  public:
    static constexpr int kStepTimer = 3;
    static constexpr std::chrono::milliseconds kStepTimeout{15000};
    static constexpr std::string_view kStepFailed =
        "Произошла ошибка при юстировке. Следует пересбросить питание прибора и провести юстировку заново.";

    // `tree` gives the module's parameters as the document holds them (may be null: the wizard then
    // reads them on its own).
    CSheetPH(ElementContext& link, ModelContext* tree);
    ~CSheetPH() override;

    CCodePage& code_page() const { return *code_page_; }
    CStepPage& step_page(int point) const { return point == 1 ? *step1_ : *step2_; }
    CSavePHPage& save_page() const { return *save_page_; }

    int mode() const { return mode_; }
    void set_mode(int mode) { mode_ = mode; }
    bool measures_ph() const { return mode_ == kPhOnePoint || mode_ == kPhTwoPoints; }
    bool two_points() const { return mode_ == kPhTwoPoints || mode_ == kRedoxTwoPoints; }
    // The network name written for the point (1 or 2) in the current mode; "" when the mode has no such
    // point.
    std::string_view point_parameter(int point) const;

    // 0: compensated by the measured temperature, 1: by a constant temperature.
    int compensation() const { return compensation_; }
    void set_compensation(int compensation) { compensation_ = compensation; }

    // The document's parameter, or the wizard's own one of that name when the document has none.
    Parameter& parameter(std::string_view network_name);

    WizardReadingThread& readings() { return readings_; }
    std::chrono::milliseconds step_timeout() const { return step_timeout_; }
    void set_step_timeout(std::chrono::milliseconds timeout) { step_timeout_ = timeout; }

  protected:
    void on_timer(int id) override;

  private:
    void on_reading(int field, const std::string& text, bool ok);

    ModelContext* tree_;
    std::vector<std::unique_ptr<Parameter>> own_parameters_;
    CCodePage* code_page_;
    CStepPage* step1_;
    CStepPage* step2_;
    CSavePHPage* save_page_;
    int mode_ = kPhOnePoint;
    int compensation_ = 0;
    std::chrono::milliseconds step_timeout_ = kStepTimeout;
    WizardReadingThread readings_;
};

}  // namespace CalibrationPH
}  // namespace varda
