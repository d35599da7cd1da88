#include "core/calibration/generic_calibration.h"

#include "core/devices/base_device.h"
#include "core/model/device_table.h"
#include "core/platform/language.h"
#include "core/platform/numbers.h"
#include "core/platform/ui.h"

namespace varda::calibration {
namespace {

constexpr int kVk08 = 8;

std::string with_model_name(const char* pattern, int model_index) {
    const std::string name(display_name(model_index));
    return platform::format_c(std::string(localized(pattern)).c_str(), name.c_str());
}

}  // namespace

GenericCalibration::GenericCalibration(CBaseDevice& model, DeviceIO& io) : model_(model), io_(io) {}

std::string GenericCalibration::preparation_text() const {
    if (model_.model_index() != kVk08) return "Для начала юстировки нажмите кнопку \"OK\".";
    return with_model_name(
        "Выполните подготовительные функции, связанные с предстоящей записью коэффициентов юстировки в "
        "энергонезависимую память прибора. Если вы не выполните эти указания, процесс юстировки будет "
        "проходить "
        "обычным образом, но его результаты не будут зафиксированы.\nДля записи коэффициентов юстировки в "
        "энергонезависимую память модуля %s выключите питание, откройте заглушку на передней панели прибора "
        "и "
        "установите переключатель \"3\" в положение \"ON\" (подробнее см. инструкцию к прибору).",
        model_.model_index());
}

std::string GenericCalibration::closing_text(int type) const {
    if (model_.model_index() != kVk08) {
        if (type == 2 || type == 4) return "Выключите питание прибора на несколько секунд.";
        return with_model_name(
            "Выключите питание прибора и подождите 10 секунд.\nЗатем установите на лицевой панели прибора %s "
            "переключатель \"3\" в положение \"OFF\" и закройте заглушку (подробнее см. руководство по "
            "эксплуатации прибора).",
            model_.model_index());
    }
    return with_model_name(
        "Установите на лицевой панели прибора %s переключатель \"3\" в положение \"OFF\" и закройте заглушку "
        "(подробнее см. руководство по эксплуатации прибора).",
        model_.model_index());
}

void GenericCalibration::run(CalibrationViews& views) {
    for (;;) {
        MethodChoice choice(io_, model_.context());
        if (!views.choose_method(choice)) return;
        const RunSetup& setup = choice.setup();

        ui().message(preparation_text(), MessageIcon::Warning, "Юстировка");
        FollowUp next = FollowUp::None;
        do {
            CalibrationRun run(io_, setup);
            views.run(run);
            // A window closed otherwise still ends the run.
            run.cancel();
            next = run.follow_up();
        } while (next == FollowUp::RepeatRun);
        // Whatever the outcome, the module goes back to work before anything else is tried.
        ui().message(closing_text(setup.type), MessageIcon::Warning, "Возврат в рабочее состояние");
        if (next != FollowUp::ChooseMethodAgain) return;
    }
}

}  // namespace varda::calibration
