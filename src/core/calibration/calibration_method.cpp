#include "core/calibration/calibration_method.h"

#include <algorithm>
#include <cstdlib>

#include "core/calibration/calibration_commands.h"
#include "core/link/device_io.h"
#include "core/model/model_context.h"
#include "core/model/parameter.h"
#include "core/platform/numbers.h"
#include "core/platform/strings.h"
#include "core/platform/ui.h"

namespace varda::calibration {
namespace {

constexpr Sensor kType1Sensors[] = {
    {393, 2},  {394, 5},  {395, 10}, {396, 6},  {397, 8},  {398, 17}, {399, 9},  {400, 18}, {401, 1},
    {402, 19}, {403, 15}, {404, 20}, {405, 3},  {406, 21}, {407, 4},  {408, 22}, {409, 16}, {410, 23},
    {411, 24}, {412, 25}, {413, 11}, {414, 12}, {415, 13}, {416, 7},  {417, 14}, {418, 30}, {419, 31},
    {420, 32}, {421, 33}, {422, 34}, {423, 35}, {424, 36}, {425, 37}, {426, 38}, {427, 39}, {428, 40},
};
constexpr Sensor kType2Sensors[] = {
    {429, 5},  {430, 21}, {431, 6},  {432, 22}, {433, 17}, {434, 23},
    {435, 18}, {436, 24}, {437, 19}, {438, 25}, {439, 20},
};
constexpr Sensor kType4Sensors[] = {{441, 26}, {442, 41}, {443, 27}, {444, 28}};

// Small numbers that keep a casual user from starting a calibration by mistake.
constexpr int kAccessCodes[kTypeCount] = {10, 20, 30, 40};

// Instructions of type 1 by input-type code: a numbered text, or a built-in one.
struct Instruction {
    std::initializer_list<int> codes;
    int text_id;
    std::string_view text;
};

const Instruction kInstructions[] = {
    {{2, 8, 9, 10}, 446, {}},
    {{16}, 447, {}},
    {{1, 3, 4, 15, 30}, 448, {}},
    {{5, 6, 7, 20, 21},
     0,
     "Для юстировки НСХ преобразования ТХК (L), ТХА (К), ТНН (N), ТЖК (J), а также шкалы минус 50,0…+ 50,0 "
     "мВ "
     "подключите к контактам «Вход 1» источник образцового напряжения (например, потенциометр постоянного "
     "тока "
     "ПП-63 с классом точности не хуже 0,05) и установите на нем значение 40,30 мВ. Нажмите на кнопку "
     "«Продолжить»"},
    {{18, 19, 22, 23, 24, 25},
     0,
     "Для юстировки НСХ преобразования ТПП (S), ТПП (R), ТВР (А-1), ТВР (А-2), ТВР (А-3), ТМК (Т) подключите "
     "к "
     "контактам «Вход 1» источник образцового напряжения (например, потенциометр постоянного тока ПП-63 с "
     "классом точности не хуже 0,05) и установите на нем значение 20,15 мВ. Нажмите на кнопку «Продолжить»"},
    {{17},
     0,
     "Для юстировки НСХ преобразования ТПР (В) подключите к контактам «Вход 1» источник образцового "
     "напряжения "
     "(например, потенциометр постоянного тока ПП-63 с классом точности не хуже 0,05) и установите на нем "
     "значение 10,08 мВ. Нажмите на кнопку «Продолжить»"},
    {{11, 12},
     0,
     "Для юстировки НСХ преобразования активных датчиков 4…20 мА и 0…20 мА подключите к контактам «Вход 1» "
     "шунтирующий резистор сопротивлением 100,0 Ом ± 0,1% и калибратор тока П321 (или аналогичный ему с "
     "классом точности не хуже 0,05). Установите на калибраторе значение тока 20,00 мА. Нажмите на кнопку "
     "«Продолжить»"},
    {{13},
     0,
     "Для юстировки НСХ преобразования активных датчиков 0…5 мА подключите к контактам «Вход 1» шунтирующий "
     "резистор сопротивлением 100,0 Ом ± 0,1% и калибратор тока П321 (или аналогичный ему с классом точности "
     "не хуже 0,05). Установите на калибраторе значение тока 5,00 мА. Нажмите на кнопку «Продолжить»"},
    {{14},
     0,
     "Для юстировки НСХ преобразования активных датчиков 0…1 В подключите к контактам «Вход 1» компаратор "
     "напряжений типа Р3003 (или аналогичный ему источник образцового напряжения с классом точности не хуже "
     "0,05) и установите на нем значение 1,000 В. Нажмите на кнопку «Продолжить»"},
    {{31, 32, 33, 34, 35},
     0,
     "Для юстировки НСХ преобразования ТСМ 500М, ТСМ 500П, ТСН 500Н подключите к контактам «Вход 1» по "
     "трехпроводной схеме магазин сопротивлений типа МСР-63 (или подобный ему с классом точности не хуже "
     "0,05) "
     "и установите на нем значение 500,00 Ом. Нажмите на кнопку «Продолжить»."},
    {{36, 37, 38, 39, 40},
     0,
     "Для юстировки НСХ преобразования ТСМ 1000М, ТСМ 1000П, ТСН 1000Н подключите к контактам «Вход 1» по "
     "трехпроводной схеме магазин сопротивлений типа МСР-63 (или подобный ему с классом точности не хуже "
     "0,05) и установите на нем значение 1000,00 Ом. Нажмите на кнопку «Продолжить»."},
};

constexpr std::string_view kType2Opening =
    "Для проведения юстировки характеристик датчиков температуры свободных концов термопар подключите к "
    "контактам \"Вход 1\" и \"Вход 5\" две термопары выбранного типа. Рабочие спаи термопар опустите в сосуд "
    "с "
    "льдо-водяной смесью (температура 0,0oС). После установления термостатического режима (примерно 30 мин.) "
    "подтвердите готовность к выполнению операции нажав на кнопку «Продолжить»";
constexpr std::string_view kType3Opening =
    "Для подготовки прибора к комплексной юстировке подключите к контактам «Вход 1» и «Вход 2» калибратор. "
    "Нажмите на кнопку «Продолжить»";
constexpr std::string_view kType4Opening =
    "Установите запорно-регулирующий клапан (задвижку) в положение ЗАКРЫТО и подтвердите готовность к "
    "проведению юстировки датчика в этом состоянии нажав на кнопку «Продолжить»";

constexpr std::string_view kErrorCaption = "Ошибка";
constexpr int kWrongCodesToClose = 4;

bool valid_type(int type) {
    return type >= 1 && type <= kTypeCount;
}

std::vector<std::string> texts_of(std::span<const Sensor> sensors) {
    std::vector<std::string> texts;
    for (const Sensor& s : sensors)
        texts.emplace_back(str(s.name_id));
    return texts;
}

}  // namespace

int type_name_id(int type) {
    return valid_type(type) ? 384 + type : 0;
}

int type_description_id(int type) {
    return valid_type(type) ? 388 + type : 0;
}

std::span<const Sensor> sensors_of(int type) {
    switch (type) {
        case 1:
            return kType1Sensors;
        case 2:
            return kType2Sensors;
        case 4:
            return kType4Sensors;
        default:
            return {};
    }
}

bool has_sensor_list(int type) {
    return !sensors_of(type).empty();
}

bool has_channel_list(int type) {
    return type == 4;
}

std::vector<std::string> channel_texts() {
    std::vector<std::string> texts;
    const std::string pattern(str(381));
    for (int channel = 0; channel < kChannelCount; ++channel) {
        texts.push_back(platform::format_c(pattern.c_str(), channel));
    }
    return texts;
}

int access_code(int type) {
    return valid_type(type) ? kAccessCodes[type - 1] : -1;
}

std::string opening_text(int type, int input_type) {
    switch (type) {
        case 1:
            for (const Instruction& i : kInstructions) {
                if (std::ranges::find(i.codes, input_type) == i.codes.end()) continue;
                return std::string(i.text_id ? str(i.text_id) : i.text);
            }
            return {};
        case 2:
            return std::string(kType2Opening);
        case 3:
            return std::string(kType3Opening);
        case 4:
            return std::string(kType4Opening);
        default:
            return {};
    }
}

MethodChoice::MethodChoice(DeviceIO& io, ModelContext* tree) : io_(io), tree_(tree) {}

void MethodChoice::set_method(int type) {
    method_ = valid_type(type) ? type : 0;
    if (!has_sensor_list(method_)) return;
    // A list of another type's sensors would map the chosen entry to the wrong input type: refill it.
    // The same type's list keeps its selection, except type 4, which always starts afresh.
    if (sensor_type_ != method_ || sensor_ < 0 || method_ == 4) {
        sensor_items_ = texts_of(sensors_of(method_));
        sensor_type_ = method_;
        sensor_ = -1;
    }
    if (method_ == 4) {
        channel_items_ = channel_texts();
        if (channel_ < 0) channel_ = 0;
    }
}

std::string MethodChoice::description() const {
    return std::string(str(type_description_id(method_)));
}

void MethodChoice::set_sensor(int entry) {
    sensor_ = entry >= 0 && entry < static_cast<int>(sensor_items_.size()) ? entry : -1;
}

void MethodChoice::set_channel(int entry) {
    channel_ = entry >= 0 && entry < static_cast<int>(channel_items_.size()) ? entry : -1;
}

int MethodChoice::wrong_codes() const {
    return io_.context().wrong_codes;
}

MethodChoice::Outcome MethodChoice::press_continue(std::string_view code_text) {
    if (method_ == 0) {
        ui().message("Выберите тип юстировки для прохода в следующее меню.", MessageIcon::Error,
                     kErrorCaption);
        return Outcome::Stay;
    }
    const std::string code(code_text);
    if (std::atoi(code.c_str()) != access_code(method_)) {
        ui().message("Неправильно введен код", MessageIcon::Error, kErrorCaption);
        std::atomic<int>& wrong = io_.context().wrong_codes;
        if (++wrong % kWrongCodesToClose == 0) {
            wrong = 0;
            return Outcome::Cancelled;
        }
        return Outcome::Stay;
    }
    io_.context().wrong_codes = 0;

    setup_ = RunSetup{};
    setup_.type = method_;
    if (has_sensor_list(method_)) {
        if (sensor_ < 0 || sensor_type_ != method_) return Outcome::Stay;
        if (has_channel_list(method_) && channel_ < 0) return Outcome::Stay;
        setup_.input_type = sensors_of(method_)[static_cast<std::size_t>(sensor_)].input_type;
        setup_.channel = has_channel_list(method_) ? channel_ : 0;
        if (!write_input_type(setup_.input_type, setup_.channel)) return Outcome::Cancelled;
    }
    setup_.opening_text = opening_text(method_, setup_.input_type);
    return Outcome::Accepted;
}

bool MethodChoice::write_input_type(int input_type, int channel) {
    while (true) {
        const Exchange written = calibration::write_input_type(io_, input_type, channel);
        if (written.ok) break;
        const std::string question =
            written.error +
            "\nДля повтора предыдущей команды нажмите кнопку Да, или можете выйти из процесса юстирвки.";
        if (ui().ask(question, Buttons::YesNo, MessageIcon::Error, "Ошибка обмена с прибором (запись)") !=
            Answer::Yes)
            return false;
    }
    // The tree shows the sensor the module now has.
    if (tree_) {
        if (Parameter* shown = tree_->find_parameter("in-t", channel)) {
            const Bytes code{static_cast<std::uint8_t>(input_type)};
            if (shown->ConvertFromData(code) != MyConverter::DecodeResult::Undecodable)
                shown->value_modified = false;
        }
    }
    return true;
}

}  // namespace varda::calibration
