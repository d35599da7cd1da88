#include "core/calibration/strain_gauge_calibration.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>

#include "core/model/element_context.h"
#include "core/model/model_context.h"
#include "core/model/parameter.h"
#include "core/platform/language.h"
#include "core/platform/numbers.h"
#include "core/platform/strings.h"
#include "core/platform/ui.h"

namespace varda::CalibrationTD {
namespace {

using wizard_button::kRetryText;
constexpr const char* kSensitivityCaption = "Параметр чувствительности";
constexpr const char* kCalibrationFailed = "Ошибка калибровки!";
constexpr const char* kUserCalibrationFailed = "Ошибка юстировки! Пожалуйста, повторите операцию юстировки.";
constexpr const char* kRangeNotUpdated =
    "Калибровка прошла успешно, но не удалось обновить значения минимума и максимума величины (v.Min и "
    "v.Max).";
constexpr const char* kMinInstruction =
    "1) Подайте на вход прибора значение напряжения %s мВ, соответствующее минимальному значению диапазона "
    "измерений для выбранной чувствительности.\r\n\r\n2) Нажмите кнопку «Продолжить», чтобы выполнить "
    "юстировку минимального значения.";
constexpr const char* kMaxInstruction =
    "Нажмите кнопку «Продолжить», чтобы выполнить юстировку максимального значения.";
constexpr const char* kUserMinInstruction =
    "1) Подать на вход прибора напряжение, которое будет соответствовать меньшему значению физической "
    "величины.\r\n2) Ввести меньшее значение физической величины в единицах и процентах от измеряемого "
    "диапазона.\r\n3) Нажать кнопку «Продолжить» для перехода к следующему шагу.\r\n\r\n";
constexpr const char* kUserMaxInstruction =
    "1) Подать на вход прибора напряжение, которое будет соответствовать большему значению физической "
    "величины.\r\n2) Ввести большее значение физической величины в единицах и процентах от измеряемого "
    "диапазона.\r\n3) Нажать кнопку «Продолжить» для перехода к следующему шагу.\r\n\r\n";
constexpr const char* kLowerValueLabel = "Меньшее значение физической величины:";
constexpr const char* kUpperValueLabel = "Большее значение физической величины:";
constexpr const char* kUndefined = "<не определено>";
constexpr const char* kEqualSignals =
    "Сигналы в двух точках равны: подайте на вход напряжение, соответствующее другому значению величины.";
constexpr const char* kBadInput = "Неверно введены следующие данные:%s%s";
constexpr const char* kBadValue = "\r\n - значение величины в единицах";
constexpr const char* kBadPercent = "\r\n - значение величины в процентах";

constexpr std::array<SensitivityRange, 7> kRanges{{
    {"-4", "+4"},
    {"-7.5", "+7.5"},
    {"-15", "+15"},
    {"-35", "+35"},
    {"-70", "+70"},
    {"-140", "+140"},
    {"-300", "+300"},
}};

// A number typed by the user, read as "%f" reads it: leading blanks and sign, then the number; what
// follows it is ignored. A decimal comma counts as a point.
std::optional<float> parse_entry(std::string_view text) {
    const auto number = platform::leading_float(text, true);
    if (!number) return std::nullopt;
    return number->value;
}

std::string no_data() {
    return std::string(str(kNoData));
}

void warn(const std::string& text, std::string_view caption = {}) {
    ui().message(text, MessageIcon::Warning, caption);
}

}  // namespace

std::optional<SensitivityRange> sensitivity_range(int row) {
    if (row < 0 || row >= static_cast<int>(kRanges.size())) return std::nullopt;
    return kRanges[static_cast<std::size_t>(row)];
}

std::optional<std::string> sensitivity_range_text(int row) {
    const auto range = sensitivity_range(row);
    if (!range) return std::nullopt;
    return std::string(range->minimum) + ".." + std::string(range->maximum) + std::string(localized(" мВ"));
}

std::vector<ValueType::Choice> sensitivity_list(const ValueType& sens_type) {
    std::vector<ValueType::Choice> list;
    for (ValueType::Choice& item : sens_type.choices()) {
        const auto range = sensitivity_range_text(item.code);
        if (!range) continue;
        item.shown = item.written + " (" + *range + ")";
        list.push_back(std::move(item));
    }
    return list;
}

// ---- step 1

CPage1VI::CPage1VI(CSheetTD& sheet)
    : AccessCodePage("Шаг 1"), sheet_(sheet), types_{"заводская", "пользовательская"} {
    for (int n = 1; n <= sheet_.channel_count(); ++n)
        channels_.push_back(platform::format_c(std::string(localized("Канал №%i")).c_str(), n));
    if (const Parameter* sens = sheet_.sensitivity_parameter(0))
        for (ValueType::Choice& item : sensitivity_list(ValueType(sens->data_type()))) {
            sensitivities_.push_back(std::move(item.shown));
            sensitivity_codes_.push_back(item.code);
        }
}

bool CPage1VI::channels_shown() const {
    return types_shown_ && type >= 0 && sheet_.channel_count() >= 2;
}

void CPage1VI::on_next(CalibrationWizard& wizard) {
    if (!CalibrationWizard::check_access_code(code, kAccessCode)) return;
    if (!types_shown_ || type < 0) {
        types_shown_ = true;
        type = kUser;
        wizard.notify_changed();
        return;
    }
    const int chosen = channels_shown() ? channel : 0;
    // A channel list left without a choice names no channel to calibrate.
    if (chosen < 0 || chosen >= sheet_.channel_count()) return;
    sheet_.channel = chosen;
    if (type == kUser) return wizard.go_to(CSheetTD::kUserMinPage);

    if (sensitivity < 0 || sensitivity >= static_cast<int>(sensitivities_.size())) return;
    Parameter* sens = sheet_.sensitivity_parameter(chosen);
    if (!sens) return;
    const int code = sensitivity_codes_[static_cast<std::size_t>(sensitivity)];
    sheet_.sensitivity = code;
    const std::string before = sens->value_text();
    sens->SetValueText(sens->item_text(code));
    if (wizard.link().write_parameter(*sens, 1) != 0) {
        sens->SetValueText(before);  // the tree keeps showing what the module holds
        return warn(sens->error_text, kSensitivityCaption);
    }
    wizard.go_to(CSheetTD::kFactoryMinPage);
}

// ---- factory calibration

FactoryPointPage::FactoryPointPage(CSheetTD& sheet, std::string title, std::string command)
    : WizardPage(std::move(title)), sheet_(sheet), command_(std::move(command)) {}

void FactoryPointPage::on_activate(CalibrationWizard& wizard) {
    wizard.set_wizard_buttons(CalibrationWizard::kBack | CalibrationWizard::kNext);
}

void FactoryPointPage::on_next(CalibrationWizard& wizard) {
    Parameter& command = sheet_.channel_parameter(command_, "void");
    command.SetValueText({});
    // The module may answer the command with data the codec cannot decode; it has calibrated all the same.
    if (wizard.link().write_parameter(command, 1) != 0 && command.failure_kind() != FailureKind::NotDecodable)
        return warn(command.error_text, CalibrationWizard::kErrorCaption);
    wizard.set_wizard_buttons(0);
    wizard.start_timer(CSheetTD::kSettleTimer, sheet_.settle_delay);
}

CMinPage::CMinPage(CSheetTD& sheet) : FactoryPointPage(sheet, "Шаг 2", "zU.Sh") {}

std::string CMinPage::text() const {
    const auto range = sensitivity_range(sheet_.sensitivity);
    return platform::format_c(std::string(localized(kMinInstruction)).c_str(),
                              range ? std::string(range->minimum).c_str() : "");
}

CMaxPage::CMaxPage(CSheetTD& sheet) : FactoryPointPage(sheet, "Шаг 3", "zU.Sc") {}

std::string CMaxPage::text() const {
    return kMaxInstruction;
}

CSaveTDPage::CSaveTDPage(CSheetTD& sheet) : sheet_(sheet) {}

void CSaveTDPage::on_leave(CalibrationWizard& wizard) {
    CSavePage::on_leave(wizard);
    if (offers_retry_) wizard.set_back_text(wizard_button::kBackText);
    offers_retry_ = false;
}

void CSaveTDPage::on_finish(CalibrationWizard& wizard) {
    Parameter& apply = sheet_.channel_parameter("U.Apl", "void");
    apply.SetValueText({});
    // What the module answers to apply says nothing; its status word does.
    wizard.link().write_parameter(apply, 1);
    std::string error;
    const auto status = sheet_.read_status(error);
    if (!status) return warn(error);
    if ((*status & CSheetTD::kCalibrationErrorBits) != 0) {
        wizard.set_back_text(kRetryText);
        offers_retry_ = true;
        wizard.set_wizard_buttons(CalibrationWizard::kBack | CalibrationWizard::kDisabledFinish);
        return warn(kCalibrationFailed);
    }
    for (int channel = 0; channel < sheet_.channel_count(); ++channel)
        if (Parameter* sens = sheet_.sensitivity_parameter(channel))
            wizard.link().read_parameter(*sens, false);
    wizard.close(CalibrationWizard::Outcome::Finished);
}

// ---- user calibration

UserPointPage::UserPointPage(CSheetTD& sheet, bool upper)
    : WizardPage(upper ? "Шаг 3" : "Шаг 2"), sheet_(sheet), upper_(upper) {}

const std::string& UserPointPage::value_label() const {
    static const std::string lower = kLowerValueLabel;
    static const std::string upper = kUpperValueLabel;
    return upper_ ? upper : lower;
}

float& UserPointPage::percent() const {
    return upper_ ? sheet_.P2 : sheet_.P1;
}
float& UserPointPage::value() const {
    return upper_ ? sheet_.U2 : sheet_.U1;
}
float& UserPointPage::signal() const {
    return upper_ ? sheet_.M2 : sheet_.M1;
}

void UserPointPage::on_activate(CalibrationWizard& wizard) {
    ElementContext& link = wizard.link();
    // The stored value is the starting point once per channel; what the user typed since stays.
    if (value_read_for_ != sheet_.channel) {
        value_read_for_ = sheet_.channel;
        Parameter& stored = sheet_.channel_parameter(upper_ ? "v.max" : "v.min", "float");
        if (link.read_parameter(stored, false) == 0)
            if (const auto v = stored.cached_float()) value() = *v;
    }

    std::string sensitivity = no_data();
    std::optional<std::string> range;
    if (Parameter* sens = sheet_.sensitivity_parameter(sheet_.channel)) {
        if (link.read_parameter(*sens, false) == 0) {
            sensitivity = sens->value_text();
            if (const auto row = sens->item_index(sensitivity)) range = sensitivity_range_text(*row);
        }
    }
    const auto text = [](std::string_view piece) { return std::string(localized(piece)); };
    text_ = text(upper_ ? kUserMaxInstruction : kUserMinInstruction) + text("Текущая чувствительность: ") +
            sensitivity + text("\r\nДиапазон: ") + range.value_or(text(upper_ ? kUndefined : no_data()));
    percent_text = platform::format_c("%.0f", static_cast<double>(percent()));
    value_text = platform::format_c("%.3f", static_cast<double>(value()));
    signal_valid_ = false;
    signal_error_.clear();
    signal_text_.clear();
    reading_ = true;
    WizardReadingThread& readings = sheet_.readings();
    readings.stop();
    readings.clear();
    readings.add(0, sheet_.channel_parameter("Rd.fV", "float"));
    readings.start();
    ++activations_;
    wizard.set_wizard_buttons(CalibrationWizard::kBack | CalibrationWizard::kNext);
}

void UserPointPage::on_leave(CalibrationWizard&) {
    reading_ = false;
    sheet_.readings().stop();
}

void UserPointPage::on_back(CalibrationWizard& wizard) {
    // The user calibration began on the first page, not on the factory pages before this one.
    if (upper_)
        WizardPage::on_back(wizard);
    else
        wizard.go_to(CSheetTD::kFirstPage);
}

void UserPointPage::on_signal(const WizardReadingThread::Delivered& reading) {
    // The module's own single-precision value, not the three decimals the value text keeps.
    const std::optional<float> v = reading.number;
    signal_valid_ = v.has_value();
    signal_error_ = reading.ok ? std::string() : reading.error;
    signal_text_ = v ? platform::format_c("%.4f", static_cast<double>(*v)) : no_data();
    if (v) signal() = *v;
    sheet_.notify_changed();
}

void UserPointPage::on_next(CalibrationWizard& wizard) {
    const auto v = parse_entry(value_text);
    auto p = parse_entry(percent_text);
    // Two points at the same percentage give no slope.
    if (p && upper_ && *p == sheet_.P1) p.reset();
    if (!v || !p) {
        warn(platform::format_c(std::string(localized(kBadInput)).c_str(),
                                v ? "" : std::string(localized(kBadValue)).c_str(),
                                p ? "" : std::string(localized(kBadPercent)).c_str()) +
             ".");
        return;
    }
    percent() = *p;
    value() = *v;
    // The point is the signal applied now: without a reading there is none to calibrate with.
    if (!signal_valid_) return warn(signal_error_.empty() ? no_data() : signal_error_);
    // Two equal signals give no slope: the ranges written would span nothing.
    if (upper_ && sheet_.M2 == sheet_.M1) return warn(kEqualSignals);
    wizard.advance();
}

CUserSavePage::CUserSavePage(CSheetTD& sheet) : sheet_(sheet) {}

void CUserSavePage::fail(CalibrationWizard& wizard, const std::string& text) {
    warn(text);
    wizard.go_to(CSheetTD::kFirstPage);
}

void CUserSavePage::on_finish(CalibrationWizard& wizard) {
    ElementContext& link = wizard.link();
    const auto write = [&](const char* name, float value) {
        Parameter& p = sheet_.channel_parameter(name, "float");
        p.SetValueText(platform::format_c("%f", static_cast<double>(value)));
        return link.write_parameter(p, 1) == 0 ? std::string() : p.error_text;
    };
    const CSheetTD& s = sheet_;
    if (s.M2 == s.M1 || s.P2 == s.P1) return fail(wizard, kEqualSignals);
    const float k = (s.M2 - s.M1) / (s.P2 - s.P1);
    for (const auto& [name, value] :
         {std::pair{"zu.fn", s.M1 - k * s.P1}, {"zu.fx", (100 - s.P2) * k + s.M2}})
        if (const std::string error = write(name, value); !error.empty()) return fail(wizard, error);

    Parameter& apply = sheet_.channel_parameter("U.Apl", "void");
    apply.SetValueText({});
    link.write_parameter(apply, 1);
    std::string error;
    const auto status = sheet_.read_status(error);
    if (!status) return fail(wizard, error);
    if ((*status & CSheetTD::kCalibrationErrorBits) != 0) return fail(wizard, kUserCalibrationFailed);

    const float u = (s.U2 - s.U1) / (s.P2 - s.P1);
    if (!write("v.min", s.U1 - s.P1 * u).empty() || !write("v.max", (100 - s.P2) * u + s.U2).empty())
        return fail(wizard, kRangeNotUpdated);
    wizard.close(CalibrationWizard::Outcome::Finished);
}

// ---- the sheet

CSheetTD::CSheetTD(ElementContext& link, ModelContext* tree, int channel_count)
    : CalibrationWizard(link, "Юстировка"),
      tree_(tree),
      channel_count_(std::max(channel_count, 1)),
      readings_(link, [this](const WizardReadingThread::Delivered& reading) {
          if (auto* page = dynamic_cast<UserPointPage*>(&current_page())) page->on_signal(reading);
      }) {
    for (int n = 0; n < channel_count_; ++n)
        sensitivity_[n] = tree_ ? tree_->find_parameter("Sens", n) : nullptr;
    auto first = std::make_unique<CPage1VI>(*this);
    first_ = first.get();
    add_page(std::move(first));
    add_page(std::make_unique<CMinPage>(*this));
    add_page(std::make_unique<CMaxPage>(*this));
    add_page(std::make_unique<CSaveTDPage>(*this));
    auto lower = std::make_unique<CUserMinPage>(*this);
    user_min_ = lower.get();
    add_page(std::move(lower));
    auto upper = std::make_unique<CUserMaxPage>(*this);
    user_max_ = upper.get();
    add_page(std::move(upper));
    add_page(std::make_unique<CUserSavePage>(*this));
}

CSheetTD::~CSheetTD() {
    readings_.stop();
}

Parameter* CSheetTD::sensitivity_parameter(int n) const {
    const auto it = sensitivity_.find(n);
    return it == sensitivity_.end() ? nullptr : it->second;
}

Parameter& CSheetTD::channel_parameter(std::string_view name, const char* type) {
    if (tree_)
        if (Parameter* p = tree_->find_parameter(name, channel)) return *p;
    std::unique_ptr<Parameter>& own = own_[std::string(name) + ":" + std::to_string(channel)];
    if (!own) {
        own = std::make_unique<Parameter>(std::string(name));
        own->set_data_type(type);
        own->indexed = true;
        own->network_index = channel;
    }
    return *own;
}

std::optional<unsigned> CSheetTD::read_status(std::string& error) {
    // One status word for the module: its calibration-error bits cover every channel.
    Parameter status("Rd.St");
    status.set_data_type("int");
    if (link().read_parameter(status, false) != 0) {
        error = status.error_text.empty() ? no_data() : status.error_text;
        return std::nullopt;
    }
    const std::string& text = status.value_text();
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || errno != 0 || !end || *end != '\0') {
        error = no_data();
        return std::nullopt;
    }
    return static_cast<unsigned>(value);
}

void CSheetTD::on_timer(int id) {
    if (id == kSettleTimer)
        advance();
    else
        CalibrationWizard::on_timer(id);
}

}  // namespace varda::CalibrationTD
