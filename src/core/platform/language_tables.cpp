#include "core/platform/language_tables.h"

namespace varda {

namespace {

// The calibration pages and messages, written in Russian, in English.
constexpr TextPair kEnglish[] = {
    // The wizards' buttons, titles and hints
    {"< Назад", "< Back"},
    {"Далее >", "Next >"},
    {"Готово", "Finish"},
    {"Отмена", "Cancel"},
    {"Повторить", "Retry"},
    {"Выход", "Exit"},
    {"Сохранить", "Save"},
    {"Продолжить", "Continue"},
    {"Юстировка", "Calibration"},
    {"Ошибка", "Error"},
    {"Ошибка юстировки", "Calibration error"},
    {"Шаг 1", "Step 1"},
    {"Шаг 2", "Step 2"},
    {"Шаг 3", "Step 3"},
    {"Шаг 4", "Step 4"},
    {"Возврат в рабочее состояние", "Back to normal operation"},
    {"Для того чтобы повторить операцию юстировки нажмите кнопку «Повторить».",
     "To repeat the calibration, click \"Retry\"."},
    {"Для сохранения юстировочных коэффициентов в энергонезависимой памяти прибора нажмите кнопку "
     "«Сохранить».",
     "To store the calibration factors in the device's non-volatile memory, click \"Save\"."},
    {"Код доступа не верен!", "The access code is wrong!"},
    {"Не удалось считать результат выполненной операции.", "The result of the operation could not be read."},
    {"Прибору не удается завершить операцию.", "The device cannot finish the operation."},
    {"Юстировку масштаба следует выполнять после юстировки смещения.",
     "Calibrate the scale after the offset."},
    {"Значение сигнала на входе выше нормы.", "The input signal is above the allowed range."},
    {"Значение сигнала на входе ниже нормы.", "The input signal is below the allowed range."},
    {"Значение сигнала на входе не устойчиво, попробуйте повторить операцию.",
     "The input signal is not stable; try the operation again."},
    {"Тип датчика 4…20 мА не калибруется.", "The 4…20 mA sensor type is not calibrated."},
    {"Добро пожаловать в утилиту юстировки!", "Welcome to the calibration utility!"},
    {"Юстировка прошла успешно", "Calibration completed successfully"},
    {"Нажмите на кнопку «Продолжить»", "Click \"Continue\""},
    {"Измерения завершены...", "Measurements finished..."},
    {"Прием измеренных коэф-тов с прибора...", "Receiving the measured factors from the device..."},
    {"Старт процесса юстировки (CLB.I)", "Starting calibration (CLB.I)"},
    {"Старт процесса юстировки (CLB.S)", "Starting calibration (CLB.S)"},
    {"CLB.S: ошибка: таймаут", "CLB.S: error: time-out"},
    // Offset and scale
    {"Не удалось записать значение в параметр IN-T", "The value could not be written to the parameter IN-T"},
    {"1) Подайте на вход первого канала нулевой уровень сигнала для выбранного датчика (обрыв для тока и КЗ "
     "для напряжения).\r\n\r\n2) Нажмите кнопку «Продолжить», чтобы выполнить юстировку смещения.",
     "1) Apply the zero signal level of the chosen sensor to the input of the first channel (an open circuit "
     "for current, a short circuit for voltage).\r\n\r\n2) Click \"Continue\" to calibrate the offset."},
    {"1) Подайте на вход первого канала максимальный сигнал для выбранного датчика.\r\n\r\n2) Нажмите "
     "кнопку «Продолжить», чтобы выполнить юстировку масштаба.",
     "1) Apply the maximum signal of the chosen sensor to the input of the first channel.\r\n\r\n2) Click "
     "\"Continue\" to calibrate the scale."},
    // Preparing the module and putting it back
    {"Для начала юстировки нажмите кнопку \"OK\".", "Click \"OK\" to start the calibration."},
    {"Выполните подготовительные функции, связанные с предстоящей записью коэффициентов юстировки в "
     "энергонезависимую память прибора. Если вы не выполните эти указания, процесс юстировки будет "
     "проходить обычным образом, но его результаты не будут зафиксированы.\nДля записи коэффициентов "
     "юстировки в энергонезависимую память модуля %s выключите питание, откройте заглушку на передней "
     "панели прибора и установите переключатель \"3\" в положение \"ON\" (подробнее см. инструкцию к "
     "прибору).",
     "Prepare the device for storing the calibration factors in its non-volatile memory. Without this the "
     "calibration runs as usual, but its results are not kept.\nTo store the calibration factors in the "
     "non-volatile memory of the module %s, switch the power off, open the cover on the front panel and set "
     "switch \"3\" to \"ON\" (see the device's instructions)."},
    {"Выключите питание прибора на несколько секунд.", "Switch the device off for a few seconds."},
    {"Выключите питание прибора и подождите 10 секунд.\nЗатем установите на лицевой панели прибора %s "
     "переключатель \"3\" в положение \"OFF\" и закройте заглушку (подробнее см. руководство по "
     "эксплуатации прибора).",
     "Switch the device off and wait 10 seconds.\nThen set switch \"3\" on the front panel of the device %s "
     "to \"OFF\" and close the cover (see the device's manual)."},
    {"Установите на лицевой панели прибора %s переключатель \"3\" в положение \"OFF\" и закройте заглушку "
     "(подробнее см. руководство по эксплуатации прибора).",
     "Set switch \"3\" on the front panel of the device %s to \"OFF\" and close the cover (see the device's "
     "manual)."},
    // Choosing the method
    {"Выберите тип юстировки для прохода в следующее меню.", "Choose the calibration type to go on."},
    {"Неправильно введен код", "The code is wrong"},
    {"Ошибка обмена с прибором (запись)", "Exchange error with the device (writing)"},
    {"\nДля повтора предыдущей команды нажмите кнопку Да, или можете выйти из процесса юстирвки.",
     "\nClick Yes to repeat the last command, or leave the calibration."},
    // The module's calibration results
    {"Процесс завершен успешно.", "The process finished successfully."},
    {"Неиспользуемый код ошибки.", "Unused error code."},
    {"Температура холодного спая слишком велика.", "The cold junction temperature is too high."},
    {"Температура холодного спая слишком мала.", "The cold junction temperature is too low."},
    {"Полученные юстировочные коэффициенты велики.", "The calibration factors obtained are too large."},
    {"Полученные юстировочные коэффициенты малы.", "The calibration factors obtained are too small."},
    {"Короткое замыкание при юстировке.", "Short circuit during calibration."},
    {"Обрыв датчика при юстировке.", "Sensor open circuit during calibration."},
    {"Отсутствие связи с АЦП.", "No connection with the ADC."},
    {"Неиспользуемый код ошибки юстировки.", "Unused calibration error code."},
    {"Ошибка несоответствия типа юстировки и типа датчика в EEPROM.",
     "The calibration type does not match the sensor type in the EEPROM."},
    {"Нарушение порядка юстировки термопар.", "The thermocouples were calibrated out of order."},
    {"Ошибочно задан канал для типов юстировки №04 и 05.",
     "Wrong channel for the calibration types 04 and 05."},
    {"Ошибочно задан тип юстировки.", "Wrong calibration type."},
    {"Во время юстировки были перебои с питанием.", "The power failed during the calibration."},
    {"Возникла ошибка при записи результатов юстировки в EEPROM.",
     "Writing the calibration results to the EEPROM failed."},
    {"Не готовы юстировочные коэффициенты.", "The calibration factors are not ready."},
    {"В результате юстировки вычисляется не более 1 коэффициента.",
     "The calibration computes at most 1 factor."},
    {"В результате юстировки вычисляется не более 2 коэффициентов.",
     "The calibration computes at most 2 factors."},
    {"В результате юстировки вычисляется не более 4 коэффициентов.",
     "The calibration computes at most 4 factors."},
    {"Неизвестная ошибка кода статуса.", "Unknown status code error."},
    {"Биты первоначальных измерений.", "Initial measurement bits."},
    {"Ошибка на линии DRDY АЦП.", "Error on the ADC's DRDY line."},
    {"Очередь разрушена для нужд юстировки.", "The queue was cleared for the calibration."},
    {"Флаг необходимости остановки АЦП после каждого измерения.",
     "Flag: stop the ADC after every measurement."},
    {"Связь с АЦП 'надежно' потеряна.", "The connection with the ADC is lost for good."},
    {"Флаг успешной записи юстировочных коэффициентов.", "Flag: the calibration factors were written."},
    {"Флаг завершения юстировочных измерений.", "Flag: the calibration measurements are finished."},
    {"Неизвестное значение флага процесса.", "Unknown value of the process flag."},
    // Instructions of the calibration methods
    {"Для юстировки НСХ преобразования ТХК (L), ТХА (К), ТНН (N), ТЖК (J), а также шкалы минус 50,0…+ 50,0 "
     "мВ "
     "подключите к контактам «Вход 1» источник образцового напряжения (например, потенциометр постоянного "
     "тока "
     "ПП-63 с классом точности не хуже 0,05) и установите на нем значение 40,30 мВ. Нажмите на кнопку "
     "«Продолжить»",
     "To calibrate the conversion characteristic of the thermocouples L, K, N, J and of the scale "
     "-50.0…+50.0 mV, "
     "connect a reference voltage source (for example a DC potentiometer PP-63 of accuracy class 0.05 or "
     "better) "
     "to the terminals \"Input 1\" and set it to 40.30 mV. Click \"Continue\""},
    {"Для юстировки НСХ преобразования ТПП (S), ТПП (R), ТВР (А-1), ТВР (А-2), ТВР (А-3), ТМК (Т) подключите "
     "к "
     "контактам «Вход 1» источник образцового напряжения (например, потенциометр постоянного тока ПП-63 с "
     "классом точности не хуже 0,05) и установите на нем значение 20,15 мВ. Нажмите на кнопку «Продолжить»",
     "To calibrate the conversion characteristic of the thermocouples S, R, A-1, A-2, A-3, T, connect a "
     "reference "
     "voltage source (for example a DC potentiometer PP-63 of accuracy class 0.05 or better) to the "
     "terminals "
     "\"Input 1\" and set it to 20.15 mV. Click \"Continue\""},
    {"Для юстировки НСХ преобразования ТПР (В) подключите к контактам «Вход 1» источник образцового "
     "напряжения "
     "(например, потенциометр постоянного тока ПП-63 с классом точности не хуже 0,05) и установите на нем "
     "значение 10,08 мВ. Нажмите на кнопку «Продолжить»",
     "To calibrate the conversion characteristic of the thermocouple B, connect a reference voltage source "
     "(for "
     "example a DC potentiometer PP-63 of accuracy class 0.05 or better) to the terminals \"Input 1\" and "
     "set it "
     "to 10.08 mV. Click \"Continue\""},
    {"Для юстировки НСХ преобразования активных датчиков 4…20 мА и 0…20 мА подключите к контактам «Вход 1» "
     "шунтирующий резистор сопротивлением 100,0 Ом ± 0,1% и калибратор тока П321 (или аналогичный ему с "
     "классом "
     "точности не хуже 0,05). Установите на калибраторе значение тока 20,00 мА. Нажмите на кнопку "
     "«Продолжить»",
     "To calibrate the conversion characteristic of the active sensors 4…20 mA and 0…20 mA, connect a 100.0 "
     "Ohm "
     "± 0.1% shunt resistor and a current calibrator P321 (or a similar one of accuracy class 0.05 or "
     "better) to "
     "the terminals \"Input 1\". Set the calibrator to 20.00 mA. Click \"Continue\""},
    {"Для юстировки НСХ преобразования активных датчиков 0…5 мА подключите к контактам «Вход 1» шунтирующий "
     "резистор сопротивлением 100,0 Ом ± 0,1% и калибратор тока П321 (или аналогичный ему с классом точности "
     "не "
     "хуже 0,05). Установите на калибраторе значение тока 5,00 мА. Нажмите на кнопку «Продолжить»",
     "To calibrate the conversion characteristic of the active sensors 0…5 mA, connect a 100.0 Ohm ± 0.1% "
     "shunt "
     "resistor and a current calibrator P321 (or a similar one of accuracy class 0.05 or better) to the "
     "terminals \"Input 1\". Set the calibrator to 5.00 mA. Click \"Continue\""},
    {"Для юстировки НСХ преобразования активных датчиков 0…1 В подключите к контактам «Вход 1» компаратор "
     "напряжений типа Р3003 (или аналогичный ему источник образцового напряжения с классом точности не хуже "
     "0,05) и установите на нем значение 1,000 В. Нажмите на кнопку «Продолжить»",
     "To calibrate the conversion characteristic of the active sensors 0…1 V, connect a voltage comparator "
     "R3003 "
     "(or a similar reference voltage source of accuracy class 0.05 or better) to the terminals \"Input 1\" "
     "and "
     "set it to 1.000 V. Click \"Continue\""},
    {"Для юстировки НСХ преобразования ТСМ 500М, ТСМ 500П, ТСН 500Н подключите к контактам «Вход 1» по "
     "трехпроводной схеме магазин сопротивлений типа МСР-63 (или подобный ему с классом точности не хуже "
     "0,05) "
     "и установите на нем значение 500,00 Ом. Нажмите на кнопку «Продолжить».",
     "To calibrate the conversion characteristic of the resistance thermometers 500M, 500P, 500N, connect a "
     "resistance box MSR-63 (or a similar one of accuracy class 0.05 or better) to the terminals \"Input 1\" "
     "in "
     "three-wire connection and set it to 500.00 Ohm. Click \"Continue\"."},
    {"Для юстировки НСХ преобразования ТСМ 1000М, ТСМ 1000П, ТСН 1000Н подключите к контактам «Вход 1» по "
     "трехпроводной схеме магазин сопротивлений типа МСР-63 (или подобный ему с классом точности не хуже "
     "0,05) "
     "и установите на нем значение 1000,00 Ом. Нажмите на кнопку «Продолжить».",
     "To calibrate the conversion characteristic of the resistance thermometers 1000M, 1000P, 1000N, connect "
     "a "
     "resistance box MSR-63 (or a similar one of accuracy class 0.05 or better) to the terminals \"Input 1\" "
     "in "
     "three-wire connection and set it to 1000.00 Ohm. Click \"Continue\"."},
    {"Для проведения юстировки характеристик датчиков температуры свободных концов термопар подключите к "
     "контактам \"Вход 1\" и \"Вход 5\" две термопары выбранного типа. Рабочие спаи термопар опустите в "
     "сосуд с "
     "льдо-водяной смесью (температура 0,0oС). После установления термостатического режима (примерно 30 "
     "мин.) "
     "подтвердите готовность к выполнению операции нажав на кнопку «Продолжить»",
     "To calibrate the cold junction temperature sensors, connect two thermocouples of the chosen type to "
     "the "
     "terminals \"Input 1\" and \"Input 5\". Put their measuring junctions into a vessel of ice and water "
     "(0.0 °C). When the temperature has settled (about 30 min), click \"Continue\""},
    {"Для подготовки прибора к комплексной юстировке подключите к контактам «Вход 1» и «Вход 2» калибратор. "
     "Нажмите на кнопку «Продолжить»",
     "To prepare the device for the complex calibration, connect a calibrator to the terminals \"Input 1\" "
     "and "
     "\"Input 2\". Click \"Continue\""},
    {"Установите запорно-регулирующий клапан (задвижку) в положение ЗАКРЫТО и подтвердите готовность к "
     "проведению юстировки датчика в этом состоянии нажав на кнопку «Продолжить»",
     "Set the control valve (gate) to CLOSED and click \"Continue\" to calibrate the sensor in this "
     "position"},
    {"Теперь установите запорно-регулирующий клапан (задвижку) в положение ОТКРЫТО и подтвердите готовность "
     "к "
     "проведению юстировки датчика в этом состоянии нажав на кнопку «Продолжить»",
     "Now set the control valve (gate) to OPEN and click \"Continue\" to calibrate the sensor in this "
     "position"},
    // Running a method
    {"Для повтора предыдущей команды нажмите кнопку Да, или можете выйти из процесса юстировки.",
     "Click Yes to repeat the last command, or leave the calibration."},
    {"Проводится юстировка датчика положения в закрытом положении",
     "Calibrating the position sensor in the closed position"},
    {"Проводится юстировка датчика положения в открытом положении",
     "Calibrating the position sensor in the open position"},
    {"Юстировочные коэффициенты найдены и сохранены в приборе. Сейчас программа считает найденные "
     "коэффициенты "
     "из прибора и осуществит их проверку.\nНажмите на кнопку «Продолжить»",
     "The calibration factors were found and stored in the device. The program now reads them back from the "
     "device and checks them.\nClick \"Continue\""},
    {"Проверьте величину сигнала на контактах.Вход 1, а также правильность подключения источника сигналов. "
     "После устранения замечаний юстировку повторите.",
     "Check the signal on the terminals \"Input 1\" and the connection of the signal source. Then repeat the "
     "calibration."},
    {"Проверте коэффициент(ы)...", "Check the factor(s)..."},
    {"Завершение юстировки", "Finishing the calibration"},
    {"Ошибка юстировки (WriteCalibration)", "Calibration error (WriteCalibration)"},
    {"Для повтора юстировки нажмите кнопку Да", "Click Yes to repeat the calibration"},
    {"Продолжение с другим положении клапана (задвижки)", "Going on with the other valve (gate) position"},
    {"Выйти из юстировки?\n(нет - повторить с новым каналом)",
     "Leave the calibration?\n(No repeats it with a new channel)"},
    {"Сообщение", "Message"},
    {"Попытка юстировки закончилась неудачно; повторить юстировку?",
     "The calibration attempt failed; repeat the calibration?"},
    {"Вопрос о повторе калибкровки", "Repeat the calibration?"},
    // The closing words of a calibration run
    {"Комплексная юстировка НСХ преобразования завершена. ",
     "The complex calibration of the conversion characteristic is finished. "},
    {"Аналогичным образом произведите юстировку датчиков положения, подключенных к другим каналам (если "
     "такие "
     "имеются). ",
     "Calibrate the position sensors connected to the other channels (if any) in the same way. "},
    {"Юстировка НСХ преобразования успешно завершена. ",
     "The conversion characteristic has been calibrated successfully. "},
    // The calibration coefficients' report
    {"Значение первого коэффициента:  ", "Value of the first coefficient:  "},
    {" \n Значение второго коэффициента:  ", " \n Value of the second coefficient:  "},
    {"Значение первого коэффициента:\n  K1= ", "Value of the first coefficient:\n  K1= "},
    {"\n\nЗначение второго коэффициента:\n  K2= ", "\n\nValue of the second coefficient:\n  K2= "},
    {"\n\nЗначение третьего коэффициента:\n  K3= ", "\n\nValue of the third coefficient:\n  K3= "},
    {"\n\nЗначение четвертого коэффициента:\n  K4= ", "\n\nValue of the fourth coefficient:\n  K4= "},
    {"Значение коэффициента:  ", "Value of the coefficient:  "},
    {" \nНажмите на кнопку «Продолжить»\n", " \nClick \"Continue\"\n"},
    // Inductance
    {"1) Подключите ко входу прибора магазин взаимной индуктивности P5017.\r\n\r\n2) Установите на магазине "
     "Р5017 значение взаимной индуктивности, соответствующее минимальному значению диапазона измерения "
     "прибора  %s.\r\n\r\n3) Нажмите кнопку «Продолжить», чтобы выполнить юстировку минимального значения.",
     "1) Connect the mutual inductance box P5017 to the device's input.\r\n\r\n2) Set the box P5017 to the "
     "mutual inductance of the lowest value of the device's range %s.\r\n\r\n3) Click \"Continue\" to "
     "calibrate the minimum value."},
    {"(зависит от исполнения, ВИ1: -10 мГн, ВИ2: 0 мГн)", "(depends on the version, VI1: -10 mH, VI2: 0 mH)"},
    {"1) Установите на магазине P5017 значение взаимной индуктивности, соответствующее 10 мГн (максимальный "
     "уровень измеряемой взаимной индуктивности).\r\n\r\n2) Нажмите кнопку «Продолжить», чтобы выполнить "
     "юстировку максимального значения.",
     "1) Set the mutual inductance box P5017 to 10 mH (the highest mutual inductance measured).\r\n\r\n2) "
     "Click "
     "\"Continue\" to calibrate the maximum value."},
    {"Ошибка калибровки!", "Calibration error!"},
    {"Введите значение от 2 до 21.", "Enter a value from 2 to 21."},
    {"Не удается рассчитать градуировочную характеристику: значения индуктивности в соседних узлах "
     "совпадают.",
     "The calibration curve cannot be computed: neighbouring nodes have the same inductance."},
    {"заводская", "factory"},
    {"пользовательская", "user"},
    // Meter
    {"Завершение калибровки", "Finishing the calibration"},
    {"Калибровка завершена!", "Calibration finished!"},
    // pH and ORP
    {"Ошибка чтения", "Read error"},
    {"Проверка параметров", "Checking the parameters"},
    {"Не удалось определить отклонение крутизны водородной характеристики.",
     "The deviation of the pH slope could not be determined."},
    {"1) Поместите датчик в буферный раствор;\r\n\r\n2) Введите значение pH буферного раствора в "
     "соответствующее поле;\r\n\r\n3) Дождитесь устойчивых показаний в поле «Текущее значение pH»;\r\n\r\n4) "
     "Нажмите кнопку «Продолжить», чтобы выполнить юстировку.",
     "1) Put the sensor into the buffer solution;\r\n\r\n2) Enter the pH of the buffer solution in its "
     "field;\r\n\r\n3) Wait for a steady reading in the field \"Current pH\";\r\n\r\n4) Click \"Continue\" "
     "to "
     "calibrate."},
    {"1) Поместите датчик в первый буферный раствор;\r\n\r\n2) Введите значение pH буферного раствора в "
     "соответствующее поле;\r\n\r\n3) Дождитесь устойчивых показаний в поле «Текущее значение pH»;\r\n\r\n4) "
     "Нажмите кнопку «Продолжить», чтобы выполнить юстировку первой точки.",
     "1) Put the sensor into the first buffer solution;\r\n\r\n2) Enter the pH of the buffer solution in its "
     "field;\r\n\r\n3) Wait for a steady reading in the field \"Current pH\";\r\n\r\n4) Click \"Continue\" "
     "to "
     "calibrate the first point."},
    {"1) Поместите датчик в буферный раствор;\r\n\r\n2) Введите значение ОВП буферного раствора в "
     "соответствующее поле;\r\n\r\n3) Дождитесь устойчивых показаний в поле «Текущее значение ОВП, "
     "мВ»;\r\n\r\n4) Нажмите кнопку «Продолжить», чтобы выполнить юстировку.",
     "1) Put the sensor into the buffer solution;\r\n\r\n2) Enter the ORP of the buffer solution in its "
     "field;\r\n\r\n3) Wait for a steady reading in the field \"Current ORP, mV\";\r\n\r\n4) Click "
     "\"Continue\" "
     "to calibrate."},
    {"1) Поместите датчик в первый буферный раствор;\r\n\r\n2) Введите значение ОВП буферного раствора в "
     "соответствующее поле;\r\n\r\n3) Дождитесь устойчивых показаний в поле «Текущее значение ОВП, "
     "мВ»;\r\n\r\n4) Нажмите кнопку «Продолжить», чтобы выполнить юстировку.",
     "1) Put the sensor into the first buffer solution;\r\n\r\n2) Enter the ORP of the buffer solution in "
     "its "
     "field;\r\n\r\n3) Wait for a steady reading in the field \"Current ORP, mV\";\r\n\r\n4) Click "
     "\"Continue\" "
     "to calibrate."},
    {"1) Поместите датчик во второй буферный раствор;\r\n\r\n2) Введите значение pH буферного раствора в "
     "соответствующее поле;\r\n\r\n3) Дождитесь устойчивых показаний в поле «Текущее значение pH»;\r\n\r\n4) "
     "Нажмите кнопку «Продолжить», чтобы выполнить юстировку второй точки.",
     "1) Put the sensor into the second buffer solution;\r\n\r\n2) Enter the pH of the buffer solution in "
     "its "
     "field;\r\n\r\n3) Wait for a steady reading in the field \"Current pH\";\r\n\r\n4) Click \"Continue\" "
     "to "
     "calibrate the second point."},
    {"1) Поместите датчик во второй буферный раствор;\r\n\r\n2) Введите значение ОВП буферного раствора в "
     "соответствующее поле;\r\n\r\n3) Дождитесь устойчивых показаний в поле «Текущее значение ОВП, "
     "мВ»;\r\n\r\n4) Нажмите кнопку «Продолжить», чтобы выполнить юстировку.",
     "1) Put the sensor into the second buffer solution;\r\n\r\n2) Enter the ORP of the buffer solution in "
     "its "
     "field;\r\n\r\n3) Wait for a steady reading in the field \"Current ORP, mV\";\r\n\r\n4) Click "
     "\"Continue\" "
     "to calibrate."},
    {"Введите значение pH буферного раствора:", "pH of the buffer solution:"},
    {"Введите значение ОВП буферного раствора, мВ:", "ORP of the buffer solution, mV:"},
    {"Текущее значение pH:", "Current pH:"},
    {"Текущее значение ОВП, мВ:", "Current ORP, mV:"},
    {"Сохранение коэффициентов", "Storing the factors"},
    {"Произошла ошибка при юстировке. Следует пересбросить питание прибора и провести юстировку заново.",
     "The calibration failed. Switch the device off and on and calibrate again."},
    // Strain gauge
    {"Параметр чувствительности", "Sensitivity parameter"},
    {"Ошибка юстировки! Пожалуйста, повторите операцию юстировки.",
     "Calibration error! Please calibrate again."},
    {"Калибровка прошла успешно, но не удалось обновить значения минимума и максимума величины (v.Min и "
     "v.Max).",
     "The calibration succeeded, but the minimum and maximum of the value (v.Min and v.Max) could not be "
     "updated."},
    {"Нажмите кнопку «Продолжить», чтобы выполнить юстировку максимального значения.",
     "Click \"Continue\" to calibrate the maximum value."},
    {"1) Подать на вход прибора напряжение, которое будет соответствовать меньшему значению физической "
     "величины.\r\n2) Ввести меньшее значение физической величины в единицах и процентах от измеряемого "
     "диапазона.\r\n3) Нажать кнопку «Продолжить» для перехода к следующему шагу.\r\n\r\n",
     "1) Apply the voltage that stands for the lower physical value to the device's input.\r\n2) Enter the "
     "lower "
     "physical value in units and in percent of the measured range.\r\n3) Click \"Continue\" to go to the "
     "next "
     "step.\r\n\r\n"},
    {"1) Подать на вход прибора напряжение, которое будет соответствовать большему значению физической "
     "величины.\r\n2) Ввести большее значение физической величины в единицах и процентах от измеряемого "
     "диапазона.\r\n3) Нажать кнопку «Продолжить» для перехода к следующему шагу.\r\n\r\n",
     "1) Apply the voltage that stands for the higher physical value to the device's input.\r\n2) Enter the "
     "higher physical value in units and in percent of the measured range.\r\n3) Click \"Continue\" to go to "
     "the "
     "next step.\r\n\r\n"},
    {"Меньшее значение физической величины:", "Lower physical value:"},
    {"Большее значение физической величины:", "Higher physical value:"},
    {"<не определено>", "<not defined>"},
    {"Сигналы в двух точках равны: подайте на вход напряжение, соответствующее другому значению величины.",
     "The signals at the two points are equal: apply the voltage of another value."},
    // Tare weight
    {"Не удалось записать вес тары!", "The tare weight could not be written!"},
    // Patterns of composed calibration texts
    {"Не удалось прочитать параметр %s.", "The parameter %s could not be read."},
    {"%s: %s\n%s: %s\n%s: %s\n\nУказанные параметры верны?",
     "%s: %s\n%s: %s\n%s: %s\n\nAre these parameters right?"},
    {"Числовое значение отклонения крутизны водородной характеристики: %.2f",
     "Deviation of the pH slope: %.2f"},
    {"Числовое значение отклонения крутизны водородной характеристики: %.2f.\n\nПараметры электродной пары "
     "выходят за допустимые пределы. Рекомендуется заменить электроды.",
     "Deviation of the pH slope: %.2f.\n\nThe electrode pair is out of its limits. Replace the electrodes."},
    {"Канал №%i", "Channel %i"},
    {"1) Подайте на вход прибора значение напряжения %s мВ, соответствующее минимальному значению диапазона "
     "измерений для выбранной чувствительности.\r\n\r\n2) Нажмите кнопку «Продолжить», чтобы выполнить "
     "юстировку минимального значения.",
     "1) Apply %s mV to the device's input, the minimum of the measuring range of the chosen "
     "sensitivity.\r\n\r\n2) Click \"Continue\" to calibrate the minimum value."},
    {"Неверно введены следующие данные:%s%s", "These entries are wrong:%s%s"},
    {"\r\n - значение величины в единицах", "\r\n - the value in units"},
    {"\r\n - значение величины в процентах", "\r\n - the value in percent"},
    // Labels of the calibration pages
    {"Выберите тип юстировки:", "Choose the calibration type:"},
    {"Индуктивность", "Inductance"},
    {"Физ. величина", "Physical value"},
    {"Измерение", "Measurement"},
    {"\nВыберите калибруемый канал:", "\nChoose the channel to calibrate:"},
    {"Выберите чувствительность:", "Choose the sensitivity:"},
    {"Идёт процесс юстировки...", "Calibrating..."},
    {"Выберите число точек для юстировки:", "Choose the number of calibration points:"},
    {"Юстировка pH", "pH calibration"},
    {"Юстировка ОВП", "ORP calibration"},
    {"1 точка", "1 point"},
    {"2 точки", "2 points"},
    {"Текущее значение температуры, C:", "Current temperature, C:"},
    {"Введено некорректное значение!", "The value entered is not valid!"},
    {"Ошибка ввода", "Input error"},
    {"Пожалуйста, повторите операцию юстировки.", "Please repeat the calibration."},
    {"Параметры электродной пары", "Electrode pair parameters"},
    // The module's error texts, as the tree's Error column shows them
    {"Сетевое имя пусто (CHAr)", "The network name is empty (CHAr)"},
    {"Сетевое имя слишком длинное (CHAr)", "The network name is too long (CHAr)"},
    {"Недопустимый символ в сетевом имени (CHAr)", "Invalid character in the network name (CHAr)"},
    {"Недопустимый код символа в сетевом имени (CHAr)", "Invalid character code in the network name (CHAr)"},
    {"Не найдена сетевая функция, хотя дескриптор найден!!!\t\t\t\t\t\t\t  В нормальном приборе эта ошибка "
     "встречаться НЕ ДОЛЖНА!!!",
     "The network function was not found although its descriptor was!!! A working device must NEVER report "
     "this error!!!"},
    {"Данный код не используется (прибор отверг записываемое значение)",
     "This code is not used (the device rejected the value written)"},
    {"Программе неизвестна запрошенная функция", "The program does not know the requested function"},
    {"В программе стоит заглушка функции WhatCOMState()", "The program has only a stub of WhatCOMState()"},
    {"В программе стоит заглушка функции RunCOMTask()", "The program has only a stub of RunCOMTask()"},
    {"Нарушена упорядоченность узлов X по возрастанию", "The X nodes are not in ascending order"},
    {"Попытка записи X при ненулевом числе узлов графика",
     "An attempt to write X while the graph has a non-zero number of nodes"},
    {"Ошибка выполнения функции PrevWriteActions()", "PrevWriteActions() failed"},
    // Calibrating the outputs
    {"K4  выхода №", "K4  of output #"},
    {"K20 выхода №", "K20 of output #"},
    {"Комманда чтения CLB.K вернула ошибку:\n", "Reading CLB.K returned an error:\n"},
    {"Комманда записи CLB.K (для изменения атрибутов) вернула ошибку:\n",
     "Writing CLB.K (to change its attributes) returned an error:\n"},
    {"Комманда записи CLB.K вернула ошибку:\n", "Writing CLB.K returned an error:\n"},
    {"Комманда CLB.I вернула ошибку:\n", "The command CLB.I returned an error:\n"},
    {"Комманда CLB.A вернула ошибку:\n", "The command CLB.A returned an error:\n"},
    {"Предупреждение:\nУ параметра ", "Warning:\nThe parameter "},
    {" установлен атрибут 'Нередактируемый'.\n\nПродолжить юстировку?",
     " has the attribute 'Not editable'.\n\nContinue the calibration?"},
    // The calibration run's composed texts, piece by piece around the module's values
    {"Проводится юстировка Тип %1i ", "Calibration of type %1i in progress "},
    {"CLB.S: Флаг процесса=0x%02X. Ждем %i секунд...", "CLB.S: process flag=0x%02X. Waiting %i seconds..."},
    {"Процесс поиска измерения юстировки завершен неудачно: ", "The calibration measurements failed: "},
    {"Значение ошибочного коэффициента: ", "Value of the faulty coefficient: "},
    {"Коэффициент юстировки не соответствует заданным требованиям. ",
     "The calibration coefficient does not meet the requirements. "},
    {"Возможные причны:\n  1) Подключенная термопара не соответствует заданному типу датчика;\n  2) "
     "Температура воздуха окружающего модуль (прибор) не соответствует условиям юстировки (15..30C)\n",
     "Possible causes:\n  1) The connected thermocouple does not match the chosen sensor type;\n  2) The air "
     "temperature around the module (device) is outside the calibration conditions (15..30C)\n"},
    {"Номер и значение ошибочного коэф-та неопределены.\n",
     "The number and the value of the faulty coefficient are unknown.\n"},
    {"Размер квитанции на команду CLB.G не равер ни 2 ни 5!",
     "The reply to the command CLB.G is neither 2 nor 5 bytes long!"},
    {"(Запуск процессa юстировки)", "(starting the calibration)"},
    {"(поиск ошибочных коэффициентов)", "(looking for faulty coefficients)"},
    {"(определение ошибочного знач-я)", "(reading the faulty value)"},
    {"(Тип №1. Определение значения коэф-та)", "(Type 1. Reading the coefficient's value)"},
    {"(Тип №2. Определение значения коэф-та)", "(Type 2. Reading the coefficient's value)"},
    {"(Тип №3. Определение значения коэф-та)", "(Type 3. Reading the coefficient's value)"},
    {"Тип №4. Определение значения коэф-та", "Type 4. Reading the coefficient's value"},
    {"(запись коэф-та)", "(writing the coefficient)"},
    // The wizards' composed texts
    {"Неопознанная ошибка (", "Unrecognised error ("},
    {"Ошибка чтения \"", "Error reading \""},
    {"Ошибка записи параметра ", "Error writing the parameter "},
    {" мВ", " mV"},
    {"-10 мГн", "-10 mH"},
    {"0 мГн", "0 mH"},
    {"Текущая чувствительность: ", "Current sensitivity: "},
    {"\r\nДиапазон: ", "\r\nRange: "},
    // Texts of the tree's rows and its editing
    {"включен", "on"},
    {"отключен", "off"},
    {"(Значение не удовлетворяет требованиям к формату сетевого имени)",
     "(The value does not meet the format of a network name)"},
    // The window's own Russian labels
    {"Входной сигнал, мВ:", "Input signal, mV:"},
    {"Параметры прибора", "Device parameters"},
    {"(не определены)", "(not defined)"},
};

// The core's own English texts on screen (menus, prompts, status, messages), in Russian.
constexpr TextPair kRussian[] = {
    // The inductance calibration's ways to give the points
    {"Tabular form", "Табличная форма"},
    {"According to sensor readings", "По показаниям датчика"},
    // Menus
    {"&File", "&Файл"},
    {"&New", "&Новый"},
    {"&Open...", "&Открыть..."},
    {"&Save", "&Сохранить"},
    {"Save &as...", "Сохранить &как..."},
    {"&Exit", "В&ыход"},
    {"&Device", "&Прибор"},
    {"Read all", "Считать все"},
    {"Write all", "Записать все"},
    {"Write changes", "Записать изменения"},
    {"Compare", "Сравнить"},
    {"Compare with file...", "Сравнить с файлом..."},
    {"Commands", "Команды"},
    {"Apply default settings", "Установить настройки по умолчанию"},
    {"Execute INIT", "Выполнить INIT"},
    {"Apply new settings (APLY)", "Применить новые настройки (APLY)"},
    {"I/O status...", "Состояние входов и выходов..."},
    {"Single parameter...", "Отдельный параметр..."},
    {"Check connection...", "Проверить связь..."},
    {"Serial interface adapter", "Адаптер интерфейса"},
    {"Auto", "Автоматический"},
    {"Semi-auto (QA-5)", "Полуавтоматический (QA-5)"},
    {"Serial port settings...", "Настройки порта..."},
    {"Find modules on the bus...", "Поиск модулей на шине..."},
    {"Bus monitor...", "Монитор шины..."},
    {"&Tree", "&Дерево"},
    {"Read selected branch", "Считать выбранную ветвь"},
    {"Write selected branch", "Записать выбранную ветвь"},
    {"Write branch changes", "Записать изменения ветви"},
    {"Compare in branch", "Сравнить в ветви"},
    {"Previous problem parameter", "Предыдущий параметр с ошибкой"},
    {"Next problem parameter", "Следующий параметр с ошибкой"},
    {"Tools", "Сервис"},
    {"Show indexes", "Показывать индексы"},
    {"Read automatically", "Читать автоматически"},
    {"Instant recording", "Мгновенная запись"},
    {"Do not send parameter attributes", "Не учитывать атрибуты параметров"},
    {"Calibration...", "Юстировка..."},
    {"Service functions", "Сервисные функции"},
    {"Toolbar", "Панель инструментов"},
    {"Status bar", "Строка состояния"},
    {"&Help", "&Справка"},
    {"Export parameter list to HTML...", "Экспорт списка параметров в HTML..."},
    {"&About...", "&О программе..."},
    // Prompts: the status-bar text, then the tool tip after the last "\n"
    {"Set the tare weight of the scales\nTare weight", "Задать вес тары весов\nВес тары"},
    {"Read a branch from the module when it is opened\nRead automatically",
     "Считывать ветвь из модуля при её раскрытии\nЧитать автоматически"},
    {"Read all parameters from the module\nRead all", "Считать все параметры из модуля\nСчитать все"},
    {"Write all parameters to the module\nWrite all", "Записать все параметры в модуль\nЗаписать все"},
    {"Write the changed parameters to the module\nWrite changes",
     "Записать изменённые параметры в модуль\nЗаписать изменения"},
    {"Compare the configuration with the module\nCompare", "Сравнить конфигурацию с модулем\nСравнить"},
    {"Compare the configuration with a configuration file, leaving the document as it is\nCompare with file",
     "Сравнить конфигурацию с файлом конфигурации, не изменяя документ\nСравнить с файлом"},
    {"Make the module take its new network settings\nApply new settings (APLY)",
     "Применить в модуле новые сетевые настройки\nПрименить новые настройки (APLY)"},
    {"Write each edited value to the module at once\nInstant recording",
     "Сразу записывать в модуль каждое изменённое значение\nМгновенная запись"},
    {"Return the module to its default settings\nApply default settings",
     "Вернуть модулю настройки по умолчанию\nНастройки по умолчанию"},
    {"Go to the previous parameter with an error\nPrevious problem parameter",
     "Перейти к предыдущему параметру с ошибкой\nПредыдущий параметр с ошибкой"},
    {"Go to the next parameter with an error\nNext problem parameter",
     "Перейти к следующему параметру с ошибкой\nСледующий параметр с ошибкой"},
    {"Read the selected branch from the module\nRead selected branch",
     "Считать выбранную ветвь из модуля\nСчитать выбранную ветвь"},
    {"Write the selected branch to the module\nWrite selected branch",
     "Записать выбранную ветвь в модуль\nЗаписать выбранную ветвь"},
    {"Write the changed parameters of the selected branch\nWrite branch changes",
     "Записать изменённые параметры выбранной ветви\nЗаписать изменения ветви"},
    {"Compare the selected branch with the module\nCompare in branch",
     "Сравнить выбранную ветвь с модулем\nСравнить в ветви"},
    {"Ignore the access attributes of the parameters\nDo not send parameter attributes",
     "Не учитывать атрибуты доступа параметров\nНе учитывать атрибуты параметров"},
    {"Send the INIT command: the module takes its written settings\nExecute INIT",
     "Послать команду INIT: модуль примет записанные настройки\nВыполнить INIT"},
    {"Read or write one parameter by its network name\nSingle parameter",
     "Считать или записать один параметр по его сетевому имени\nОтдельный параметр"},
    {"Identify the module on the line\nCheck connection", "Опознать модуль на линии\nПроверить связь"},
    {"List every module that answers on the line, at the chosen baud rates\nFind modules",
     "Найти все модули, отвечающие на линии на выбранных скоростях\nПоиск модулей"},
    {"Show every frame on the line, decoded, as it happens\nBus monitor",
     "Показывать каждый кадр на линии в расшифрованном виде\nМонитор шины"},
    {"Show the network indexes of the parameters\nShow indexes",
     "Показывать сетевые индексы параметров\nПоказывать индексы"},
    {"The adapter switches the line direction by itself\nAuto",
     "Адаптер сам переключает направление передачи\nАвтоматический"},
    {"The adapter switches the line direction by RTS\nSemi-auto (QA-5)",
     "Адаптер переключает направление передачи по сигналу RTS\nПолуавтоматический (QA-5)"},
    {"Write the parameter list to an HTML page\nExport parameter list to HTML",
     "Записать список параметров в страницу HTML\nЭкспорт списка параметров в HTML"},
    {"Serial port and network settings of the configurator\nSerial port settings",
     "Настройки порта и сети конфигуратора\nНастройки порта"},
    {"Calibrate the module\nCalibration", "Юстировка модуля\nЮстировка"},
    {"Create a new configuration for the current model\nNew",
     "Создать новую конфигурацию для текущей модели\nНовый"},
    {"Open a configuration file\nOpen", "Открыть файл конфигурации\nОткрыть"},
    {"Save the configuration\nSave", "Сохранить конфигурацию\nСохранить"},
    {"Save the configuration under a new name\nSave as",
     "Сохранить конфигурацию под новым именем\nСохранить как"},
    {"Program information and version\nAbout", "Сведения о программе и версия\nО программе"},
    {"Quit the program; asks to save the configuration\nExit",
     "Завершить работу; предлагает сохранить конфигурацию\nВыход"},
    {"Open the user guide\nHelp", "Открыть руководство пользователя\nСправка"},
    {"Offer every model, calibration, the parameter-list export and Execute INIT\nService functions",
     "Все модели, юстировка, экспорт списка параметров и команда INIT\nСервисные функции"},
    {"Show or hide the toolbar\nToolbar", "Показать или скрыть панель инструментов\nПанель инструментов"},
    {"Show or hide the status bar\nStatus bar", "Показать или скрыть строку состояния\nСтрока состояния"},
    {"Open this configuration", "Открыть эту конфигурацию"},
    // The connection indicator
    {"online", "на связи"},
    {"not answering", "не отвечает"},
    {"offline", "без прибора"},
    {"simulated", "имитация"},
    {"exchange suspended", "обмен приостановлен"},
    {"simulated module", "имитация модуля"},
    {"tree: ", "дерево: "},
    {" baud", " бод"},
    {"address ", "адрес "},
    {", not answering", ", не отвечает"},
    {"Direction control: ", "Управление направлением: "},
    // Labels of the calibration pages
    {"Enter code", "Введите код"},
    {"Select sensor for channel 1", "Выберите датчик для канала 1"},
    // Connecting and exchanging
    {"Connecting to %s at %d baud, address %d", "Подключение к %s на скорости %d бод, адрес %d"},
    {", automatic direction control\u2026", ", автоматическое управление направлением\u2026"},
    {", direction by RTS\u2026", ", направление по RTS\u2026"},
    {"Asking a module speaking %s to change protocol\u2026",
     "Модулю с протоколом %s предлагается сменить протокол\u2026"},
    {" cannot work offline: no module is connected.\nConnect to the module first with Device > Serial port "
     "settings... or Check connection...",
     ": без подключённого модуля не выполняется.\nСначала подключитесь к модулю: Прибор > Настройки порта... "
     "или Проверить связь..."},
    {"Read parameters from device", "Чтение параметров из прибора"},
    {"Write parameters to device", "Запись параметров в прибор"},
    {"Write changes to device", "Запись изменений в прибор"},
    {"Compare configuration with device", "Сравнение конфигурации с прибором"},
    {"Read parameter from device", "Чтение параметра из прибора"},
    {"Write parameter to device", "Запись параметра в прибор"},
    {"Task accomplished. Window will be closed automatically.",
     "Задача выполнена. Окно закроется автоматически."},
    {"Reading ", "Чтение "},
    {"  Write: ", "  Запись: "},
    {" Compare ", " Сравнение "},
    {"[new value]", "[новое значение]"},
    {"5 unsuccessful write attempts", "5 неудачных попыток записи"},
    // The line's counters
    {"requests ", "запросов "},
    {" \u00b7 retries ", " \u00b7 повторов "},
    {" \u00b7 time-outs ", " \u00b7 тайм-аутов "},
    {" \u00b7 garbled ", " \u00b7 искажённых "},
    {" \u00b7 wrong hash ", " \u00b7 неверный хеш "},
    {" \u00b7 error replies ", " \u00b7 ответов с ошибкой "},
    {"req ", "запр "},
    {" \u00b7 retry ", " \u00b7 повт "},
    {" \u00b7 t/o ", " \u00b7 т/о "},
    {" \u00b7 err ", " \u00b7 ош "},
    // Messages and edit names
    {"Branch is not selected", "Ветвь не выбрана"},
    {"Set to no data", "Установить «нет данных»"},
    {"Edit ", "Изменение "},
    // The fixed pieces of messages built around a name or a path
    {"' not defined.", "' не определён."},
    {"Constant '", "Константа '"},
    {"' already defined", "' уже определена"},
    {"Tree is damaged", "Дерево повреждено"},
    {"Tree root is not defined", "Корень дерева не определён"},
    {"Parameter ", "Параметр "},
    {" not described!", " не описан!"},
    {"Cannot open the file '", "Не удаётся открыть файл '"},
    {"Cannot open serial port %s. Connection failed. Please check network settings.",
     "Не удаётся открыть последовательный порт %s. Связь не установлена. Проверьте настройки сети."},
    {"Serial port opening error", "Ошибка открытия последовательного порта"},
    {"Not read: the exchange was stopped", "Не прочитан: обмен остановлен"},
    {"Not written: the exchange was stopped", "Не записан: обмен остановлен"},
    {"Not compared: the exchange was stopped", "Не сравнён: обмен остановлен"},
    {"%i unsuccessful attempts of reading\nPlease, check the connection between the device %s and the PC\n"
     "Following steps have been done:\n",
     "Неудачных попыток чтения: %i\nПроверьте связь между прибором %s и компьютером\nСделано следующее:\n"},
    {"- Mode \"Read automatically\" is off\n   You can switch it on in menu \"Tools\"\n",
     "- Режим «Читать автоматически» выключен\n   Его можно включить в меню «Сервис»\n"},
    {"-  Data exchange is suspended", "-  Обмен данными приостановлен"},
    {"Some edited values have not been written to the module and will be lost. Continue?",
     "Некоторые изменённые значения не записаны в модуль и будут потеряны. Продолжить?"},
    {"Connection established", "Связь установлена"},
    {"Unable to establish communication with the device", "Не удаётся установить связь с прибором"},
    {"Terminating...", "Завершение..."},
    {"Scanning...", "Поиск..."},
    {"Cannot open serial port: ", "Не удаётся открыть порт: "},
    {"Direction control in use: ", "Управление направлением: "},
    {"Scanning at baud rate ", "Поиск на скорости "},
    {"Select device from the list", "Выберите прибор из списка"},
    // How the RS-485 direction is switched
    {"automatic by the adapter", "автоматически адаптером"},
    {"automatic by the driver (kernel RS-485)", "автоматически драйвером (RS-485 ядра)"},
    {"by RTS (the driver has no RS-485 mode)", "сигналом RTS (у драйвера нет режима RS-485)"},
    {"by the gateway", "шлюзом"},
    // The tree's filter: "12 of 430"
    {" of ", " из "},
    // A parameter row's tool tip
    {"Name: ", "Имя: "},
    {", index ", ", индекс "},
    {"Type: ", "Тип: "},
    {"Type: list", "Тип: список"},
    {"Values: ", "Значения: "},
    {"Range: ", "Диапазон: "},
    {" to ", " до "},
    {"Default: ", "По умолчанию: "},
    {"Access: ", "Доступ: "},
    {"read/write", "чтение/запись"},
    {"read-only", "только чтение"},
    {" (the module's attribute: read-only)", " (атрибут модуля: только чтение)"},
    {"Not read from the module yet", "Ещё не прочитан из модуля"},
    {"Read from the module: ", "Прочитано из модуля: "},
    {"Written to the module: ", "Записано в модуль: "},
    {" at ", " в "},
    {"Error: ", "Ошибка: "},
    {"Discrepancy: ", "Расхождение: "},
    {"module: ", "модуль: "},
    // The network branch of every model's tree
    {"Network parameters", "Сетевые параметры"},
    // The differences window
    {"Show all", "Показать все"},
    {"Module", "Модуль"},
    {"Take values from the module", "Взять значения из модуля"},
    {"Take values from the file", "Взять значения из файла"},
    {"%i. Parameter '%s (%s)\nconfiguration: value = %s, access = %s, user = %s\nfile: value = %s, access = "
     "%s, user = %s\n ",
     "%i. Параметр '%s (%s)\nконфигурация: значение = %s, доступ = %s, пользователь = %s\nфайл: значение = "
     "%s, доступ = %s, пользователь = %s\n "},
    {"Not compared (no value on one side):", "Не сравнивались (нет значения с одной стороны):"},
    {": the file holds no value for it", ": в файле нет его значения"},
    {": only the file holds it", ": есть только в файле"},
    {": the file does not hold it", ": в файле его нет"},
    // Gaps of the windows' sweep: every window in one language
    {"about ", "около "},
    {" s", " с"},
    {" min", " мин"},
    {"No data. Function APLY has not received information about the unit.\n\nApplication error",
     "Нет данных. Функция APLY не получила сведений о приборе.\n\nОшибка программы"},
    {"No data - element 'Network parameters' not initialized\n\nApplication error",
     "Нет данных - элемент «Сетевые параметры» не инициализирован\n\nОшибка программы"},
    {"The simulated module could not be made", "Не удалось создать имитацию модуля"},
    {"Write checked to the module", "Записать отмеченные в модуль"},
    {"%i. Parameter '%s (%s)\nconfiguration: value = %s, access = %s, user = %s\ndevice: value = %s, access "
     "= "
     "%s, user = %s\n ",
     "%i. Параметр '%s (%s)\nконфигурация: значение = %s, доступ = %s, пользователь = %s\nприбор: значение = "
     "%s, доступ = %s, пользователь = %s\n "},
    // The single-parameter window's trace
    {"Invalid index: '", "Неверный индекс: '"},
    {"Use address index", "Индекс адреса"},
    {"Warning: the address is increased by more than 7!", "Внимание: адрес увеличен больше чем на 7!"},
    {"Use data index", "Индекс данных"},
    {"Error:", "Ошибка:"},
    {"Record is done. No error.  Value returned: '", "Запись выполнена. Ошибок нет.  Возвращено значение: '"},
    {"No error. String notation answer:", "Ошибок нет. Ответ в строковой записи:"},
    {"%i data bytes in request frame", "Байт данных в запросе: %i"},
    {"%1i data bytes in response", "Байт данных в ответе: %1i"},
    {">> request", ">> запрос"},
    {"<< response", "<< ответ"},
    {"Setter method are not defined for the function '", "Метод записи не задан для функции '"},
    {"Bad value (data encoding impossible)", "Неверное значение (закодировать невозможно)"},
    // The tare weight dialog
    {"Tare weight", "Вес тары"},
    {"Weight", "Вес"},
    {"units", "ед."},
    {"Channel", "Канал"},
    {"Are you sure to use this weight as a tare weight?", "Принять этот вес за вес тары?"},
    // The simulator panel's answers
    {"ok: ", "готово: "},
    {"ok: address ", "готово: адрес "},
    {", baud rate ", ", скорость "},
    {"any", "любая"},
    {"silent", "молчит"},
    {"garbling every reply", "искажает каждый ответ"},
    {"garbling the next ", "искажает следующих ответов: "},
    {"error code ", "код ошибки "},
    {"delay ", "задержка "},
    {" ms", " мс"},
    {"wrong hash", "неверный хеш"},
    {"no faults", "без сбоев"},
    // The bus monitor's decoded frames
    {"read", "чтение"},
    {"write", "запись"},
    {"line error", "ошибка линии"},
    {"time-out", "тайм-аут"},
    {"header lost", "заголовок потерян"},
    {"checksum error", "ошибка контрольной суммы"},
    // Why a serial port cannot be opened
    {"no such device", "нет такого устройства"},
    {"permission denied (is the user in the dialout group?)",
     "нет доступа (входит ли пользователь в группу dialout?)"},
    {"busy (another program is using it)", "занят (его использует другая программа)"},
    // The module's error texts written in English, as the tree's Error column shows them
    {"No error", "Нет ошибки"},
    {"Decimal point position >3", "Позиция десятичной точки >3"},
    {"You are trying to change read-only parameter", "Попытка изменить параметр только для чтения"},
    {"String index or time should be an integer", "Индекс строки или время должны быть целыми"},
    {"Wrong decimal point position (fixed point number)",
     "Неверная позиция десятичной точки (число с фиксированной точкой)"},
    {"Signifacand is out of defined range (floating point number)",
     "Мантисса вне допустимого диапазона (число с плавающей точкой)"},
    {"Unauthorized attempt to modify access attribute", "Недопустимая попытка изменить атрибут доступа"},
    {"Parameter have no attributes", "У параметра нет атрибутов"},
    {"Framing error", "Ошибка кадра"},
    {"Bit 8 error", "Ошибка бита 8"},
    {"Bit 9 error", "Ошибка бита 9"},
    {"Stop bit error", "Ошибка стопового бита"},
    {"Buffer overflow", "Переполнение буфера"},
    {"Invalid character received", "Принят недопустимый символ"},
    {"Check sum error", "Ошибка контрольной суммы"},
    {"Descriptor not found", "Дескриптор не найден"},
    {"Signifacand error (BCD parameter)", "Ошибка мантиссы (параметр BCD)"},
    {"Wrong number of data bits", "Неверное число битов данных"},
    {"Wrong request bit", "Неверный бит запроса"},
    {"You are trying to change read-only parameter (access attribute)",
     "Попытка изменить параметр только для чтения (атрибут доступа)"},
    {"Index out of range", "Индекс вне диапазона"},
    {"Parameter index out of range", "Индекс параметра вне диапазона"},
    {"Group access attribute on the level 0 (root)", "Групповой атрибут доступа на уровне 0 (корень)"},
    {"Group access attribute on the level ", "Групповой атрибут доступа на уровне "},
    {"Other task is performed (segment COMMON is busy)", "Выполняется другая задача (сегмент COMMON занят)"},
    {"Task is not running (segment COMMON is free)", "Задача не выполняется (сегмент COMMON свободен)"},
    {"Task is running", "Задача выполняется"},
    {"Invalid combination of parameters. Change of parameter is forbidden by the Valid function",
     "Недопустимое сочетание параметров. Изменение параметра запрещено функцией Valid"},
    {"Error reading EEPROM", "Ошибка чтения EEPROM"},
    {"Error value not found (Code % i)", "Код ошибки не найден (код % i)"},
    {"Time-out error", "Ошибка тайм-аута"},
    {"Connection error", "Ошибка связи"},
    {"Device addresses in request and in response are not equal",
     "Адреса прибора в запросе и в ответе не совпадают"},
    {"Incorrect response", "Неверный ответ"},
    {"Improper serial port settings", "Неверные настройки последовательного порта"},
    {"Frame header is lost", "Потерян заголовок кадра"},
    {"Response sum check error", "Ошибка контрольной суммы ответа"},
    {"Received function code differs from transmitted function code and from n.Err.",
     "Код функции в ответе не совпадает ни с запрошенным, ни с n.Err."},
    {"Attribute error, incorrect response message length", "Ошибка атрибутов: неверная длина ответа"},
    {"Response cannot be decoded", "Ответ не удаётся декодировать"},
    {"Value is not recorded, because the parameter is not initialized",
     "Значение не записано: параметр не инициализирован"},
    {"Received address differs from the address requested", "Адрес в ответе отличается от запрошенного"},
    {"Received read/write flag differs from the one requested",
     "Признак чтения/записи в ответе отличается от запрошенного"},
    {"Received index or attribute target differs from the request",
     "Индекс или адресат атрибутов в ответе отличается от запроса"},
    // Faults in a model's description
    {"Unknown functuion '", "Неизвестная функция '"},
    {"' in descriptor", "' в описании"},
    {"Output parameter '", "Выходной параметр '"},
    {"' has the index ", "' имеет индекс "},
    {", outside the output table (0 to 7); it is not entered.",
     ", вне таблицы выходов (от 0 до 7); он не внесён."},
    // A damaged or missing description archive
    {"the description archive does not exist", "архив описаний не найден"},
    {"the description archive cannot be opened", "архив описаний не удаётся открыть"},
    {"the file is not a description archive", "файл не является архивом описаний"},
    {"the description archive is in use by another program", "архив описаний занят другой программой"},
    {"the archive has no such member", "в архиве нет такого элемента"},
    {"the member is empty", "элемент архива пуст"},
    {"the member is damaged; only the text before the damage could be read",
     "элемент архива повреждён; прочитан только текст до повреждения"},
    {"not enough memory to unpack the member", "недостаточно памяти для распаковки элемента архива"},
    {"not a regular file", "не обычный файл"},
    {"damaged compound file", "составной файл повреждён"},
    {"another program replaced the file", "другая программа заменила файл"},
    // The inductance calibration's pages
    {"Select method", "Выберите метод"},
    {"Number of nodes", "Число узлов"},
    {"Apply", "Применить"},
    // Values of a configuration file that the parameters do not allow
    {"Refused from the file: ", "Отклонено из файла: "},
    {"The file holds values outside what the parameters allow; they were not loaded and will not be written:",
     "Файл содержит значения, которые параметры не допускают; они не загружены и не будут записаны:"},
};

}  // namespace

std::span<const TextPair> english_texts() {
    return kEnglish;
}
std::span<const TextPair> russian_texts() {
    return kRussian;
}

}  // namespace varda
