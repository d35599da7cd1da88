#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/calibration/calibration_wizard.h"
#include "core/model/parameter.h"

namespace varda {
class ElementContext;
}

// The calibration wizard of the mutual-inductance module (VK12): factory calibration of the inductance
// range with a mutual-inductance box, or a user table of points through which the module interpolates
// with a natural cubic spline whose coefficients the wizard computes.
namespace varda::CalibrationVI {

inline constexpr std::string_view kAccessCode = "852";
inline constexpr int kMinNodes = 2;
inline constexpr int kMaxNodes = 21;
// Readings of "Rd.fH" averaged into one measurement.
inline constexpr int kMeasureReadings = 32;

// The coefficients a, b, c, e of each segment of the natural cubic spline through (x[i], y[i]), segment
// after segment, as the module takes them; nothing when the points do not define one (two neighbouring
// x are equal, or the result is not a number).
std::optional<std::vector<float>> spline_coefficients(const std::vector<double>& x,
                                                      const std::vector<double>& y);

// Reads the status after "U.Apl" and tells the user when the module reports a calibration error (bit 7)
// or the status cannot be read. True when the module reported no error.
bool check_calibration_status(ElementContext& link);

// Step 1: the access code, then the type of calibration and, for the user's, how the points are taken.
class CPage1VI : public AccessCodePage {
  public:
    enum Type { kFactory = 0, kUser = 1 };
    enum Method { kTabular = 0, kMeasured = 1 };
    static constexpr std::string_view kCodeLabel = "Enter code";
    static constexpr std::string_view kTypeLabel = "Выберите тип юстировки:";
    static constexpr std::string_view kMethodLabel = "Select method";
    static const std::vector<std::string>& types();
    static const std::vector<std::string>& methods();

    CPage1VI();

    bool types_shown() const { return types_shown_; }
    bool methods_shown() const { return types_shown_ && type == kUser; }

    // What the view's controls hold, copied in before Next.
    std::string code;
    int type = -1;    // row of the type list, -1 none
    int method = -1;  // row of the method list, -1 none

    void on_next(CalibrationWizard& wizard) override;

  private:
    bool types_shown_ = false;
};

// Factory steps 2 and 3: Next sends the command that calibrates the range minimum or maximum.
class CFactoryStepPage : public WizardPage {
  public:
    CFactoryStepPage(std::string title, std::string command);
    void on_activate(CalibrationWizard& wizard) override;
    void on_next(CalibrationWizard& wizard) override;

  private:
    std::string command_;
};

// Step 2: the range minimum, which depends on the module's variant ("tdev", read on every activation).
class CMinPage : public CFactoryStepPage {
  public:
    CMinPage();
    std::string text() const override;
    void on_activate(CalibrationWizard& wizard) override;

  private:
    std::string minimum_;
};

// Step 3: the range maximum.
class CMaxPage : public CFactoryStepPage {
  public:
    CMaxPage();
    std::string text() const override;
};

// Step 4 of the factory calibration: apply, then check the status.
class CSaveVIPage : public CSavePage {
  public:
    void on_finish(CalibrationWizard& wizard) override;
};

// The user's table of points: for each of kMaxNodes rows the inductance ("uU.Pn" with the row as index)
// and the physical value it stands for. The first node_count() rows take part; the others are greyed.
class CUserTablePage : public WizardPage {
  public:
    static constexpr std::string_view kInductanceCaption = "Индуктивность";
    static constexpr std::string_view kPhysicalCaption = "Физ. величина";
    static constexpr std::string_view kNodesLabel = "Number of nodes";
    static constexpr std::string_view kApplyText = "Apply";

    CUserTablePage();

    Parameter& inductance(int row) { return *rows_.at(static_cast<std::size_t>(row)).inductance; }
    Parameter& physical(int row) { return *rows_.at(static_cast<std::size_t>(row)).physical; }
    int node_count() const { return node_count_; }
    bool row_enabled(int row) const { return row >= 0 && row < node_count_; }
    // Whether the table has a column that measures each row's inductance.
    virtual bool measures() const { return false; }

    // The text of the node-count field, copied in before apply_node_count().
    std::string node_count_text = "2";
    // Takes the field's count when it is a whole number from kMinNodes to kMaxNodes, else tells the user
    // and keeps the count. True when taken.
    bool apply_node_count();

    void on_activate(CalibrationWizard& wizard) override;
    void on_leave(CalibrationWizard& wizard) override;
    void on_back(CalibrationWizard& wizard) override;
    // Writes the enabled points and the spline through them, applies, and checks the status.
    void on_finish(CalibrationWizard& wizard) override;

  private:
    struct Row {
        std::unique_ptr<Parameter> inductance;
        std::unique_ptr<Parameter> physical;
    };
    std::array<Row, kMaxNodes> rows_;
    int node_count_ = kMinNodes;
};

// The table whose inductances are measured: a click on a row's measurement cell reads the module's live
// inductance "Rd.fH" kMeasureReadings times and puts the average into the row.
class CUserMeasuringPage : public CUserTablePage {
  public:
    static constexpr std::string_view kMeasureCaption = "Измерение";

    explicit CUserMeasuringPage(ElementContext& link);
    bool measures() const override { return true; }
    // The row's measurement cell: the last reading it took.
    Parameter& reading(int row) { return *readings_.at(static_cast<std::size_t>(row)); }

    // Measures the row's inductance; a failed read is reported and the row keeps its value. True when the
    // row got a new value.
    bool measure(int row);

  private:
    ElementContext& link_;
    std::array<std::unique_ptr<Parameter>, kMaxNodes> readings_;
};

}  // namespace varda::CalibrationVI

namespace varda {

// The mutual-inductance wizard of VK12.
class InductanceCalibration : public CalibrationWizard {
  public:
    // Page indices, in order.
    enum PageIndex { kCodePage, kMinPage, kMaxPage, kSavePage, kTablePage, kMeasuringPage };

    explicit InductanceCalibration(ElementContext& link);

    CalibrationVI::CPage1VI& code_page() const { return *code_page_; }
    CalibrationVI::CUserTablePage& table_page() const { return *table_page_; }
    CalibrationVI::CUserMeasuringPage& measuring_page() const { return *measuring_page_; }

  private:
    CalibrationVI::CPage1VI* code_page_;
    CalibrationVI::CUserTablePage* table_page_;
    CalibrationVI::CUserMeasuringPage* measuring_page_;
};

}  // namespace varda
