#include "core/calibration/ph_calibration.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "core/model/element_context.h"
#include "core/model/model_context.h"
#include "core/platform/language.h"
#include "core/platform/numbers.h"
#include "core/platform/strings.h"
#include "core/platform/ui.h"

namespace varda::CalibrationPH {
namespace {

using wizard_button::kRetryText;
constexpr const char* kReadFailed = "Не удалось прочитать параметр %s.";
constexpr const char* kReadErrorCaption = "Ошибка чтения";
constexpr const char* kConfirm = "%s: %s\n%s: %s\n%s: %s\n\nУказанные параметры верны?";
constexpr const char* kConfirmCaption = "Проверка параметров";
constexpr const char* kSlopeUnknown = "Не удалось определить отклонение крутизны водородной характеристики.";
constexpr const char* kSlopeWithin = "Числовое значение отклонения крутизны водородной характеристики: %.2f";
constexpr const char* kSlopeOutside =
    "Числовое значение отклонения крутизны водородной характеристики: %.2f.\n\nПараметры электродной пары "
    "выходят за допустимые пределы. Рекомендуется заменить электроды.";

constexpr unsigned kCalibrating = 0x10;       // status word: the module calibrates a point
constexpr unsigned kCalibrationError = 0x08;  // status word: the last calibration failed

// Instructions by mode: the first point, then the second.
constexpr const char* kFirstPoint[4] = {
    "1) Поместите датчик в буферный раствор;\r\n\r\n2) Введите значение pH буферного раствора в "
    "соответствующее поле;\r\n\r\n3) Дождитесь устойчивых показаний в поле «Текущее значение pH»;\r\n\r\n4) "
    "Нажмите кнопку «Продолжить», чтобы выполнить юстировку.",
    "1) Поместите датчик в первый буферный раствор;\r\n\r\n2) Введите значение pH буферного раствора в "
    "соответствующее поле;\r\n\r\n3) Дождитесь устойчивых показаний в поле «Текущее значение pH»;\r\n\r\n4) "
    "Нажмите кнопку «Продолжить», чтобы выполнить юстировку первой точки.",
    "1) Поместите датчик в буферный раствор;\r\n\r\n2) Введите значение ОВП буферного раствора в "
    "соответствующее поле;\r\n\r\n3) Дождитесь устойчивых показаний в поле «Текущее значение ОВП, "
    "мВ»;\r\n\r\n4) Нажмите кнопку «Продолжить», чтобы выполнить юстировку.",
    "1) Поместите датчик в первый буферный раствор;\r\n\r\n2) Введите значение ОВП буферного раствора в "
    "соответствующее поле;\r\n\r\n3) Дождитесь устойчивых показаний в поле «Текущее значение ОВП, "
    "мВ»;\r\n\r\n4) Нажмите кнопку «Продолжить», чтобы выполнить юстировку.",
};
constexpr const char* kSecondPointPh =
    "1) Поместите датчик во второй буферный раствор;\r\n\r\n2) Введите значение pH буферного раствора в "
    "соответствующее поле;\r\n\r\n3) Дождитесь устойчивых показаний в поле «Текущее значение pH»;\r\n\r\n4) "
    "Нажмите кнопку «Продолжить», чтобы выполнить юстировку второй точки.";
constexpr const char* kSecondPointRedox =
    "1) Поместите датчик во второй буферный раствор;\r\n\r\n2) Введите значение ОВП буферного раствора в "
    "соответствующее поле;\r\n\r\n3) Дождитесь устойчивых показаний в поле «Текущее значение ОВП, "
    "мВ»;\r\n\r\n4) Нажмите кнопку «Продолжить», чтобы выполнить юстировку.";

// The points written in each mode.
constexpr std::string_view kPointNames[4][2] = {
    {"U.pH1", ""}, {"U.pHL", "U.pHH"}, {"U.Rx1", ""}, {"U.RxL", "U.RxH"}};

std::optional<unsigned long> parse_status(const std::string& text) {
    if (text.empty()) return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const unsigned long value = std::strtoul(text.c_str(), &end, 10);
    if (errno != 0 || !end || *end != '\0') return std::nullopt;
    return value;
}

bool only_spaces(std::string_view text) {
    return text.find_first_not_of(" \t") == std::string_view::npos;
}

// The enumeration position of the parameter's value; a parameter read as a number gives the number.
int position(const Parameter& parameter) {
    if (const auto index = parameter.item_index(parameter.value_text())) return *index;
    const auto number = parse_status(parameter.value_text());
    return number ? static_cast<int>(*number) : -1;
}

CSheetPH& sheet_of(CalibrationWizard& wizard) {
    return static_cast<CSheetPH&>(wizard);
}

}  // namespace

std::optional<std::string> buffer_value(std::string_view typed) {
    const auto number = platform::leading_double(typed, true);
    if (!number || !only_spaces(typed.substr(number->length)) || !std::isfinite(number->value))
        return std::nullopt;
    std::string text(typed);
    std::replace(text.begin(), text.end(), ',', '.');
    return text;
}

// ---- step 1

CCodePage::CCodePage() : AccessCodePage("Шаг 1") {}

void CCodePage::on_next(CalibrationWizard& wizard) {
    if (!CalibrationWizard::check_access_code(code, kAccessCode)) return;
    CSheetPH& sheet = sheet_of(wizard);
    if (!lists_shown_) {
        if (!confirm_parameters(sheet)) return;
        lists_shown_ = true;
        wizard.notify_changed();
        return;
    }
    if (calibration < 0 || calibration > 1 || points < 0 || points > 1) return;
    sheet.set_mode(calibration * 2 + points);
    wizard.advance();
}

bool CCodePage::confirm_parameters(CSheetPH& sheet) {
    Parameter& compensation = sheet.parameter("tco.t");
    if (sheet.link().read_parameter(compensation, false) != 0) {
        ui().message(platform::format_c(std::string(localized(kReadFailed)).c_str(),
                                        compensation.network_name().c_str()),
                     MessageIcon::Warning, kReadErrorCaption);
        return false;
    }
    sheet.set_compensation(position(compensation) == 1 ? 1 : 0);
    Parameter* shown[3] = {&sheet.parameter(sheet.compensation() == 1 ? "C.Tem" : "TSe.T"),
                           &sheet.parameter("E.Crd"), &sheet.parameter("p.Crd")};
    // A parameter that cannot be read shows as holding no data rather than an old value.
    for (Parameter* parameter : shown) {
        parameter->SetValueText(std::string(str(kNoData)));
        sheet.link().read_parameter(*parameter, false);
    }
    const std::string question = platform::format_c(
        std::string(localized(kConfirm)).c_str(), shown[0]->description.c_str(),
        shown[0]->value_text().c_str(), shown[1]->description.c_str(), shown[1]->value_text().c_str(),
        shown[2]->description.c_str(), shown[2]->value_text().c_str());
    if (ui().ask(question, Buttons::YesNo, MessageIcon::Information, kConfirmCaption) != Answer::Yes) {
        sheet.close(CalibrationWizard::Outcome::Cancelled);
        return false;
    }
    return true;
}

// ---- the calibration points

CStepPage::CStepPage(std::string title, int point, const CSheetPH& sheet)
    : WizardPage(std::move(title)), point_(point), sheet_(sheet) {}

std::string CStepPage::text() const {
    if (point_ == 1) return kFirstPoint[sheet_.mode()];
    return sheet_.measures_ph() ? kSecondPointPh : kSecondPointRedox;
}

std::string_view CStepPage::buffer_label() const {
    return sheet_.measures_ph() ? "Введите значение pH буферного раствора:"
                                : "Введите значение ОВП буферного раствора, мВ:";
}

std::string_view CStepPage::value_label() const {
    return sheet_.measures_ph() ? "Текущее значение pH:" : "Текущее значение ОВП, мВ:";
}

void CStepPage::on_activate(CalibrationWizard& wizard) {
    CSheetPH& sheet = sheet_of(wizard);
    value_.clear();
    // With a constant temperature there is nothing to watch: the field shows that temperature.
    temperature_ = sheet.compensation() == 1 ? sheet.parameter("C.Tem").value_text() : std::string();
    running_ = false;
    watch(sheet);
}

void CStepPage::watch(CSheetPH& sheet) {
    sheet.readings().add(kValueField, "Rd.Rs", "float");
    if (sheet.compensation() == 0) sheet.readings().add(kTemperatureField, "Rd.Tm", "float");
    sheet.readings().start();
}

void CStepPage::on_leave(CalibrationWizard& wizard) {
    CSheetPH& sheet = sheet_of(wizard);
    sheet.readings().stop();
    sheet.readings().clear();
    if (running_) wizard.stop_timer(CSheetPH::kStepTimer);
    running_ = false;
}

void CStepPage::on_next(CalibrationWizard& wizard) {
    CSheetPH& sheet = sheet_of(wizard);
    const std::optional<std::string> value = buffer_value(buffer);
    if (!value) {
        ui().message(kInvalidValue, MessageIcon::Warning, kInputErrorCaption);
        return;
    }
    wizard.set_wizard_buttons(0);
    sheet.readings().stop();
    if (point_ == 1) sheet.readings().clear();
    sheet.readings().add(kStatusField, "Rd.St", "int");
    Parameter target{std::string(sheet.point_parameter(point_))};
    target.set_data_type("float");
    target.SetValueText(*value);
    if (!wizard.write_or_report(target)) {
        // The module never got the point: watching its status now would report a calibration that did
        // not happen.
        sheet.readings().clear();
        watch(sheet);
        wizard.set_wizard_buttons(CalibrationWizard::kBack | CalibrationWizard::kNext);
        return;
    }
    sheet.readings().start();
    running_ = true;
    wizard.start_timer(CSheetPH::kStepTimer, sheet.step_timeout());
}

void CStepPage::on_reading(CSheetPH& sheet, int field, const std::string& text, bool ok) {
    if (field == kStatusField) {
        // Only a status read during this page's step, and read well, can end the step.
        if (!running_ || !ok) return;
        const auto status = parse_status(text);
        if (status && (*status & kCalibrating) == 0) step_over(sheet);
        return;
    }
    std::string& shown = field == kValueField ? value_ : temperature_;
    if (shown == text) return;
    shown = text;
    sheet.notify_changed();
}

void CStepPage::step_over(CSheetPH& sheet) {
    running_ = false;
    sheet.stop_timer(CSheetPH::kStepTimer);
    sheet.set_wizard_buttons(CalibrationWizard::kBack | CalibrationWizard::kNext);
    if (point_ == 1 && sheet.two_points())
        sheet.go_to(sheet.step_page(2));
    else
        sheet.go_to(sheet.save_page());
}

void CStepPage::on_step_timeout(CSheetPH& sheet) {
    if (!running_) return;
    running_ = false;
    sheet.show_error(std::string(CSheetPH::kStepFailed));
}

// ---- applying the calibration

CSavePHPage::CSavePHPage() : CSavePage("Сохранение коэффициентов") {}

void CSavePHPage::on_activate(CalibrationWizard& wizard) {
    back_text_ = wizard.buttons().back_text;
    CSavePage::on_activate(wizard);
}

void CSavePHPage::on_leave(CalibrationWizard& wizard) {
    if (wizard.buttons().back_text != back_text_) wizard.set_back_text(back_text_);
    CSavePage::on_leave(wizard);
}

void CSavePHPage::on_back(CalibrationWizard& wizard) {
    wizard.go_to(0);
}

void CSavePHPage::on_finish(CalibrationWizard& wizard) {
    CSheetPH& sheet = sheet_of(wizard);
    Parameter apply("U.Apl");
    apply.set_data_type("float");
    apply.SetValueText({});
    // Without the apply, or without the module's word on it, nothing tells whether the calibration holds.
    if (!wizard.write_or_report(apply)) return;
    Parameter status("Rd.St");
    status.set_data_type("int");
    if (wizard.link().read_parameter(status, false) != 0) {
        ui().message(status.error_text, MessageIcon::Warning, CalibrationWizard::kErrorCaption);
        return;
    }
    const auto word = parse_status(status.value_text());
    if (word && (*word & kCalibrationError) != 0) {
        wizard.set_back_text(kRetryText);
        wizard.set_wizard_buttons(CalibrationWizard::kBack | CalibrationWizard::kDisabledFinish);
        ui().message(kRepeat, MessageIcon::Warning, CalibrationWizard::kErrorCaption);
        return;
    }
    if (sheet.measures_ph()) {
        const auto [text, icon] = slope_message(apply.value_text());
        ui().message(text, icon, kSlopeCaption);
    }
    // The module recomputed the electrode pair; the document shows the new values.
    for (const char* name : {"E.Crd", "p.Crd"})
        wizard.link().read_parameter(sheet.parameter(name), false);
    wizard.close(CalibrationWizard::Outcome::Finished);
}

std::pair<std::string, MessageIcon> CSavePHPage::slope_message(const std::string& reported) {
    const auto number = platform::leading_float(reported);
    if (!number || !only_spaces(std::string_view(reported).substr(number->length)) ||
        !std::isfinite(number->value))
        return {kSlopeUnknown, MessageIcon::Warning};
    const float slope = number->value;
    // Judged in the precision the module reports in, so a reported bound is within the limits.
    if (slope >= kSlopeLow && slope <= kSlopeHigh)
        return {platform::format_c(std::string(localized(kSlopeWithin)).c_str(), static_cast<double>(slope)),
                MessageIcon::Information};
    return {platform::format_c(std::string(localized(kSlopeOutside)).c_str(), static_cast<double>(slope)),
            MessageIcon::Warning};
}

// ---- the sheet

CSheetPH::CSheetPH(ElementContext& link, ModelContext* tree)
    : CalibrationWizard(link, "Юстировка"),
      tree_(tree),
      readings_(link, [this](const WizardReadingThread::Delivered& r) {
          on_reading(r.field, r.value_text, r.ok);
      }) {
    auto code = std::make_unique<CCodePage>();
    code_page_ = code.get();
    add_page(std::move(code));
    auto step1 = std::make_unique<CStep1Page>(*this);
    step1_ = step1.get();
    add_page(std::move(step1));
    auto step2 = std::make_unique<CStep2Page>(*this);
    step2_ = step2.get();
    add_page(std::move(step2));
    auto save = std::make_unique<CSavePHPage>();
    save_page_ = save.get();
    add_page(std::move(save));
}

CSheetPH::~CSheetPH() {
    readings_.stop();
}

std::string_view CSheetPH::point_parameter(int point) const {
    return point == 1 || point == 2 ? kPointNames[mode_][point - 1] : std::string_view();
}

Parameter& CSheetPH::parameter(std::string_view network_name) {
    if (tree_)
        if (Parameter* found = tree_->find_parameter(network_name, 0)) return *found;
    for (const auto& own : own_parameters_)
        if (own->network_name() == network_name) return *own;
    auto own = std::make_unique<Parameter>(std::string(network_name));
    own->description = std::string(network_name);
    own->set_data_type(network_name == "tco.t" ? "int" : "float");
    own_parameters_.push_back(std::move(own));
    return *own_parameters_.back();
}

void CSheetPH::on_timer(int id) {
    if (id != kStepTimer) return CalibrationWizard::on_timer(id);
    if (auto* step = dynamic_cast<CStepPage*>(&current_page())) step->on_step_timeout(*this);
}

void CSheetPH::on_reading(int field, const std::string& text, bool ok) {
    if (auto* step = dynamic_cast<CStepPage*>(&current_page())) step->on_reading(*this, field, text, ok);
}

}  // namespace varda::CalibrationPH
