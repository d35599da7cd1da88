#include "core/platform/language_tables.h"

namespace varda {

namespace {

constexpr TextPair kEnglish[] = {
    {"Добро пожаловать в утилиту юстировки!", "Welcome to the calibration utility!"},
    {"Юстировка прошла успешно", "Calibration completed successfully"},
    {"Нажмите на кнопку «Продолжить»", "Click \"Continue\""},
    {"Измерения завершены...", "Measurements finished..."},
    {"Прием измеренных коэф-тов с прибора...", "Receiving the measured factors from the device..."},
    {"Старт процесса юстировки (CLB.I)", "Starting calibration (CLB.I)"},
    {"Старт процесса юстировки (CLB.S)", "Starting calibration (CLB.S)"},
    {"CLB.S: ошибка: таймаут", "CLB.S: error: time-out"},
};

constexpr TextPair kRussian[] = {
    {"Network parameters", "Сетевые параметры"},
};

}  // namespace

std::span<const TextPair> english_texts() { return kEnglish; }
std::span<const TextPair> russian_texts() { return kRussian; }

}  // namespace varda
