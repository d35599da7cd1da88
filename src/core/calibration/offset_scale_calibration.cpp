#include "core/calibration/offset_scale_calibration.h"

#include <algorithm>
#include <cstddef>

#include "core/model/element_context.h"
#include "core/model/parameter.h"
#include "core/platform/ui.h"
#include "core/protocol/value_type.h"

namespace varda {
namespace {

constexpr const char* kInputTypeNotWritten = "Не удалось записать значение в параметр IN-T";
constexpr const char* kOffsetInstruction =
    "1) Подайте на вход первого канала нулевой уровень сигнала для выбранного датчика (обрыв для тока и КЗ "
    "для напряжения).\r\n\r\n2) Нажмите кнопку «Продолжить», чтобы выполнить юстировку смещения.";
constexpr const char* kScaleInstruction =
    "1) Подайте на вход первого канала максимальный сигнал для выбранного датчика.\r\n\r\n2) Нажмите "
    "кнопку «Продолжить», чтобы выполнить юстировку масштаба.";

}  // namespace

std::vector<std::string> calibration_sensor_list(const ValueType& input_type, bool without_fourth) {
    std::vector<std::string> sensors;
    for (ValueType::Choice& item : input_type.choices())
        if (item.code >= 2 && !(without_fourth && item.code == 3)) sensors.push_back(std::move(item.written));
    return sensors;
}

// ---- step 1

CCodeBasePage::CCodeBasePage(Parameter* input_type, bool without_fourth)
    : AccessCodePage("Шаг 1"), input_type_(input_type) {
    if (input_type_) sensors_ = calibration_sensor_list(ValueType(input_type_->data_type()), without_fourth);
}

void CCodeBasePage::on_next(CalibrationWizard& wizard) {
    if (!CalibrationWizard::check_access_code(code, kAccessCode)) return;
    if (sensor < 0 || sensor >= static_cast<int>(sensors_.size()) || !input_type_) {
        sensors_shown_ = true;
        wizard.notify_changed();
        return;
    }
    input_type_->SetValueText(sensors_[static_cast<std::size_t>(sensor)]);
    if (wizard.link().write_parameter(*input_type_, 1) != 0) {
        ui().message(kInputTypeNotWritten, MessageIcon::Warning, CalibrationWizard::kErrorCaption);
        return;
    }
    wizard.advance();
}

// ---- steps 2 and 3

CalibrationOperationPage::CalibrationOperationPage(std::string title, std::string text,
                                                   std::string start_parameter)
    : TextPage(std::move(title), std::move(text)), start_parameter_(std::move(start_parameter)) {}

void CalibrationOperationPage::on_activate(CalibrationWizard& wizard) {
    wizard.set_wizard_buttons(CalibrationWizard::kBack | CalibrationWizard::kNext);
}

void CalibrationOperationPage::on_leave(CalibrationWizard& wizard) {
    wizard.set_wizard_buttons(CalibrationWizard::kBack | CalibrationWizard::kNext);
}

void CalibrationOperationPage::on_next(CalibrationWizard& wizard) {
    wizard.set_wizard_buttons(0);
    Parameter start(start_parameter_);
    start.set_data_type("int");
    start.SetValueText("0");
    if (!wizard.write_or_report(start)) {
        wizard.set_wizard_buttons(CalibrationWizard::kBack | CalibrationWizard::kNext);
        return;
    }
    wizard.start_result_poll();
}

COffsetPage::COffsetPage() : CalibrationOperationPage("Шаг 2", kOffsetInstruction, "JuSh") {}
CScalePage::CScalePage() : CalibrationOperationPage("Шаг 3", kScaleInstruction, "JuSc") {}

// ---- the wizard

OffsetScaleCalibration::OffsetScaleCalibration(ElementContext& link, Parameter* input_type,
                                               bool without_fourth)
    : CalibrationWizard(link, "Юстировка") {
    auto code = std::make_unique<CCodeBasePage>(input_type, without_fourth);
    code_page_ = code.get();
    add_page(std::move(code));
    add_page(std::make_unique<COffsetPage>());
    add_page(std::make_unique<CScalePage>());
    add_page(std::make_unique<CSavePage>());
}

}  // namespace varda
