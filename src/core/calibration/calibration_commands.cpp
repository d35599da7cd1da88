#include "core/calibration/calibration_commands.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <mutex>

#include "core/link/device.h"
#include "core/link/device_io.h"
#include "core/platform/language.h"

namespace varda::calibration {
namespace {

Exchange request(DeviceIO& io, bool read, std::string_view name, std::span<const std::uint8_t> data) {
    Exchange result;
    // The port is never reopened under a running exchange.
    std::lock_guard lock(io.context().line_lock);
    if (!io.sio().is_open()) {
        result.error = "Serial port opening error";
        result.failure = {FailureKind::PortClosed};
        return result;
    }
    result.ok = io.exchange(read, hash_name(name), data, result.reply, result.error, result.failure, 0);
    return result;
}

// Writing to EEPROM keeps the module from answering within the usual reply time-out.
constexpr std::uint16_t kStoreReplyTimeoutMs = 300;

class LongerReplyTimeout {
  public:
    LongerReplyTimeout(Sio& sio, std::uint16_t ms) : sio_(sio), saved_(sio.reply_timeout_ms()) {
        sio_.set_reply_timeout_ms(std::max(saved_, ms));
    }
    ~LongerReplyTimeout() { sio_.set_reply_timeout_ms(saved_); }
    LongerReplyTimeout(const LongerReplyTimeout&) = delete;
    LongerReplyTimeout& operator=(const LongerReplyTimeout&) = delete;

  private:
    Sio& sio_;
    std::uint16_t saved_;
};

}  // namespace

Exchange write_input_type(DeviceIO& io, int input_type, int channel) {
    const Bytes data{static_cast<std::uint8_t>(input_type), 0, static_cast<std::uint8_t>(channel)};
    return request(io, false, "in-t", data);
}

Bytes start_data(int type, int channel, int valve) {
    if (type == 4) return {static_cast<std::uint8_t>(valve * 128 + channel), 4};
    return {static_cast<std::uint8_t>(type)};
}

Exchange start_calibration(DeviceIO& io, int type, int channel, int valve) {
    return request(io, false, "CLB.I", start_data(type, channel, valve));
}

Exchange read_status(DeviceIO& io) {
    return request(io, true, "CLB.S", {});
}

Exchange check_coefficients(DeviceIO& io) {
    return request(io, true, "CLB.T", {});
}

Exchange read_coefficient(DeviceIO& io, int number) {
    const Bytes data{static_cast<std::uint8_t>(number)};
    return request(io, true, "CLB.G", data);
}

Exchange store_coefficients(DeviceIO& io) {
    std::lock_guard lock(io.context().line_lock);
    LongerReplyTimeout longer(io.sio(), kStoreReplyTimeoutMs);
    return request(io, false, "CLB.P", {});
}

Exchange abort_calibration(DeviceIO& io) {
    return request(io, false, "CLB.A", {});
}

TaskState task_state(std::span<const std::uint8_t> reply, std::size_t at) {
    TaskState state;
    if (reply.size() > at) state.flags = reply[at];
    if (reply.size() > at + 1) state.status = reply[at + 1];
    return state;
}

std::string status_text(std::optional<std::uint8_t> status) {
    struct Known {
        int code;
        std::string_view text;
    };
    static constexpr Known kTexts[] = {
        {0, "Процесс завершен успешно."},
        {1, "Неиспользуемый код ошибки."},
        {2, "Температура холодного спая слишком велика."},
        {3, "Температура холодного спая слишком мала."},
        {4, "Полученные юстировочные коэффициенты велики."},
        {5, "Полученные юстировочные коэффициенты малы."},
        {6, "Короткое замыкание при юстировке."},
        {7, "Обрыв датчика при юстировке."},
        {8, "Отсутствие связи с АЦП."},
        {9, "Неиспользуемый код ошибки юстировки."},
        {10, "Ошибка несоответствия типа юстировки и типа датчика в EEPROM."},
        {11, "Нарушение порядка юстировки термопар."},
        {12, "Ошибочно задан канал для типов юстировки №04 и 05."},
        {13, "Ошибочно задан тип юстировки."},
        {14, "Во время юстировки были перебои с питанием."},
        {15, "Возникла ошибка при записи результатов юстировки в EEPROM."},
        {32, "Не готовы юстировочные коэффициенты."},
        {33, "В результате юстировки вычисляется не более 1 коэффициента."},
        {34, "В результате юстировки вычисляется не более 2 коэффициентов."},
        {36, "В результате юстировки вычисляется не более 4 коэффициентов."},
    };
    std::string_view text = "Неизвестная ошибка кода статуса.";
    if (status) {
        const auto it = std::ranges::find(kTexts, int{*status}, &Known::code);
        if (it != std::end(kTexts)) text = it->text;
    }
    // Shown followed by more text, so translated here rather than as a whole.
    return std::string(localized(text)) + "\n";
}

std::string_view flags_text(std::uint8_t flags) {
    if (flags & 0x03) return "Биты первоначальных измерений.";
    if (flags & 0x04) return "Ошибка на линии DRDY АЦП.";
    if (flags & 0x08) return "Очередь разрушена для нужд юстировки.";
    if (flags & 0x10) return "Флаг необходимости остановки АЦП после каждого измерения.";
    if (flags & 0x20) return "Связь с АЦП 'надежно' потеряна.";
    if (flags & 0x40) return "Флаг успешной записи юстировочных коэффициентов.";
    if (flags & 0x80) return "Флаг завершения юстировочных измерений.";
    return "Неизвестное значение флага процесса.";
}

Coefficient decode_coefficient(std::span<const std::uint8_t> reply) {
    Coefficient c;
    if (reply.size() == 2) {
        c.kind = Coefficient::Kind::NoValue;
    } else if (reply.size() == 5) {
        const std::uint32_t bits = std::uint32_t{reply[1]} << 24 | std::uint32_t{reply[2]} << 16 |
                                   std::uint32_t{reply[3]} << 8 | reply[4];
        c.kind = Coefficient::Kind::Value;
        c.value = std::bit_cast<float>(bits);
    }
    return c;
}

}  // namespace varda::calibration
