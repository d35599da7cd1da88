#pragma once

#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/calibration/calibration_wizard.h"
#include "core/calibration/wizard_reading_thread.h"
#include "core/protocol/value_type.h"

namespace varda {

class ElementContext;
class ModelContext;
class Parameter;

// The strain-gauge wizard of VK13 (one channel) and VK14 (four): factory calibration of the ADC at both
// ends of a sensitivity range, or user calibration that maps two applied signals to physical values.
namespace CalibrationTD {

// The input range of sensitivity item `row`, in mV as the pages show it.
struct SensitivityRange {
    std::string_view minimum;
    std::string_view maximum;
};
std::optional<SensitivityRange> sensitivity_range(int row);
// "%s..%s мВ" of the row, or nothing for a row beyond the table.
std::optional<std::string> sensitivity_range_text(int row);

// The sensitivities offered: each choice of the "Sens" enumeration, shown with the range of its code
// appended. Codes beyond the range table are left out, as nothing says where their ends lie.
std::vector<ValueType::Choice> sensitivity_list(const ValueType& sens_type);

class CSheetTD;

// Step 1: the access code, the kind of calibration, the channel (four-channel model) and, for the factory
// calibration, the sensitivity, which is written to the channel's "Sens".
class CPage1VI : public AccessCodePage {
  public:
    static constexpr std::string_view kAccessCode = "417";
    static constexpr std::string_view kTypeLabel = "Выберите тип юстировки:";
    static constexpr std::string_view kChannelLabel = "\nВыберите калибруемый канал:";
    static constexpr std::string_view kSensitivityLabel = "Выберите чувствительность:";
    static constexpr int kFactory = 0;
    static constexpr int kUser = 1;

    explicit CPage1VI(CSheetTD& sheet);

    const std::vector<std::string>& channels() const { return channels_; }
    const std::vector<std::string>& types() const { return types_; }
    const std::vector<std::string>& sensitivities() const { return sensitivities_; }
    bool types_shown() const { return types_shown_; }
    bool channels_shown() const;
    bool sensitivities_shown() const { return types_shown_ && type == kFactory; }

    // What the view's controls hold, copied in before Next (rows, -1 none).
    std::string code;
    int type = -1;
    int channel = -1;
    int sensitivity = -1;

    void on_next(CalibrationWizard& wizard) override;

  private:
    CSheetTD& sheet_;
    std::vector<std::string> channels_;
    std::vector<std::string> types_;
    std::vector<std::string> sensitivities_;
    std::vector<int> sensitivity_codes_;  // the "Sens" code of each row of sensitivities_
    bool types_shown_ = false;
};

// Steps 2 and 3 of the factory calibration: Next writes the command that calibrates the range's end the
// input holds now, and after a short settling wait the wizard goes on.
class FactoryPointPage : public WizardPage {
  public:
    FactoryPointPage(CSheetTD& sheet, std::string title, std::string command);
    void on_activate(CalibrationWizard& wizard) override;
    void on_next(CalibrationWizard& wizard) override;

  protected:
    CSheetTD& sheet_;

  private:
    std::string command_;
};

class CMinPage : public FactoryPointPage {
  public:
    explicit CMinPage(CSheetTD& sheet);
    std::string text() const override;
};

class CMaxPage : public FactoryPointPage {
  public:
    explicit CMaxPage(CSheetTD& sheet);
    std::string text() const override;
};

// Step 4 of the factory calibration: apply, then check the module's calibration-error bits.
class CSaveTDPage : public CSavePage {
  public:
    explicit CSaveTDPage(CSheetTD& sheet);
    void on_leave(CalibrationWizard& wizard) override;
    void on_finish(CalibrationWizard& wizard) override;

  private:
    CSheetTD& sheet_;
    // Back reads "Retry" after a failed apply; leaving the page gives it its own text again.
    bool offers_retry_ = false;
};

// Steps 2 and 3 of the user calibration: the signal applied now (read every reading interval while the
// page is shown) and the physical value with its percentage of the range that it stands for.
class UserPointPage : public WizardPage {
  public:
    UserPointPage(CSheetTD& sheet, bool upper);
    std::string text() const override { return text_; }
    const std::string& value_label() const;
    bool upper() const { return upper_; }

    // What the view's fields hold, copied in before Next; filled afresh on every activation, which
    // activations() counts so the view knows when to take them over.
    std::string percent_text;
    std::string value_text;
    int activations() const { return activations_; }

    // The live signal: whether it is being read (on the sheet's reading thread), what to show for the latest
    // reading, and a reading arriving on the user-interface thread.
    bool reading() const { return reading_; }
    const std::string& signal_text() const { return signal_text_; }
    void on_signal(const WizardReadingThread::Delivered& reading);

    void on_activate(CalibrationWizard& wizard) override;
    void on_leave(CalibrationWizard& wizard) override;
    void on_back(CalibrationWizard& wizard) override;
    void on_next(CalibrationWizard& wizard) override;

  private:
    float& percent() const;
    float& value() const;
    float& signal() const;

    CSheetTD& sheet_;
    bool upper_;
    int value_read_for_ = -1;  // the channel whose stored value was read last
    int activations_ = 0;
    std::string text_;
    bool reading_ = false;
    bool signal_valid_ = false;
    std::string signal_error_;
    std::string signal_text_;
};

class CUserMinPage : public UserPointPage {
  public:
    explicit CUserMinPage(CSheetTD& sheet) : UserPointPage(sheet, false) {}
};

class CUserMaxPage : public UserPointPage {
  public:
    explicit CUserMaxPage(CSheetTD& sheet) : UserPointPage(sheet, true) {}
};

// Step 4 of the user calibration: the signal range and the value range at 0 % and 100 % from the two
// points, written to the module; any failure starts over on the first page.
class CUserSavePage : public CSavePage {
  public:
    explicit CUserSavePage(CSheetTD& sheet);
    void on_finish(CalibrationWizard& wizard) override;

  private:
    void fail(CalibrationWizard& wizard, const std::string& text);
    CSheetTD& sheet_;
};

class CSheetTD : public CalibrationWizard {
  public:
    static constexpr int kSettleTimer = 3;
    static constexpr std::chrono::milliseconds kSettleDelay{400};
    static constexpr std::chrono::milliseconds kReadingInterval{200};
    static constexpr unsigned kCalibrationErrorBits = 0x1E0;
    // Page positions.
    static constexpr int kFirstPage = 0;
    static constexpr int kFactoryMinPage = 1;
    static constexpr int kUserMinPage = 4;

    // `tree` gives the model's parameters ("Sens" and the range of each channel); may be null.
    CSheetTD(ElementContext& link, ModelContext* tree, int channel_count);
    ~CSheetTD() override;

    int channel_count() const { return channel_count_; }
    // The "Sens" parameter of a channel, nullptr when the tree has none.
    Parameter* sensitivity_parameter(int channel) const;
    // A parameter of the chosen channel: the tree's when it holds one, else one addressed by the channel.
    Parameter& channel_parameter(std::string_view name, const char* type);
    // Reads the module's status word; nullopt with the reason when it cannot be read.
    std::optional<unsigned> read_status(std::string& error);

    CPage1VI& first_page() const { return *first_; }
    UserPointPage& user_page(bool upper) const { return upper ? *user_max_ : *user_min_; }
    // Reads the chosen channel's signal while a user page is shown.
    WizardReadingThread& readings() { return readings_; }

    int channel = -1;
    int sensitivity = -1;
    // The two points of the user calibration: percent of the range, physical value, signal in mV.
    float P1 = 0, U1 = 0, P2 = 100, U2 = 0, M1 = 0, M2 = 0;
    // How long the module settles after a factory point; tests shorten it.
    std::chrono::milliseconds settle_delay = kSettleDelay;

  protected:
    void on_timer(int id) override;

  private:
    ModelContext* tree_;
    int channel_count_;
    std::map<int, Parameter*> sensitivity_;
    std::map<std::string, std::unique_ptr<Parameter>> own_;
    CPage1VI* first_ = nullptr;
    UserPointPage* user_min_ = nullptr;
    UserPointPage* user_max_ = nullptr;
    WizardReadingThread readings_;
};

}  // namespace CalibrationTD
}  // namespace varda
