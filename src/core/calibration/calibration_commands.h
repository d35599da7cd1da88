#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "core/model/failure.h"
#include "core/protocol/frame_codec.h"

namespace varda {
class DeviceIO;
}

// The module's calibration commands: one raw request each, with the data bytes the module expects.
namespace varda::calibration {

// The outcome of one command: the reply's data bytes, or the engine's error text and its kind.
struct Exchange {
    bool ok = false;
    Bytes reply;
    std::string error;
    Failure failure;
};

// "in-t": selects the sensor (input-type code) of a channel before calibration.
Exchange write_input_type(DeviceIO& io, int input_type, int channel);
// "CLB.I": starts the module's calibration task. `valve` (0 closed, 1 open) and `channel` matter for type 4.
Exchange start_calibration(DeviceIO& io, int type, int channel, int valve);
// "CLB.S": the task's flags and status.
Exchange read_status(DeviceIO& io);
// "CLB.T": the number of a faulty coefficient (0 none), flags, status.
Exchange check_coefficients(DeviceIO& io);
// "CLB.G": one coefficient (1 to 4).
Exchange read_coefficient(DeviceIO& io, int number);
// "CLB.P": stores the coefficients in non-volatile memory; the module takes longer to answer this one.
Exchange store_coefficients(DeviceIO& io);
// "CLB.A": ends the calibration task.
Exchange abort_calibration(DeviceIO& io);

// The request data of "CLB.I".
Bytes start_data(int type, int channel, int valve);

// Flags and status of a task reply; `at` is where the flags byte sits. A reply too short to carry the
// status leaves it empty, which counts as an error.
struct TaskState {
    std::uint8_t flags = 0;
    std::optional<std::uint8_t> status;
    bool failed() const { return !status || *status != 0; }
};
TaskState task_state(std::span<const std::uint8_t> reply, std::size_t at = 0);

inline constexpr std::uint8_t kMeasurementsDone = 0x80;

// Texts of a status code (each ends with a line feed) and of the flags byte (the lowest set bit).
std::string status_text(std::optional<std::uint8_t> status);
std::string_view flags_text(std::uint8_t flags);

// A "CLB.G" reply: 5 bytes carry a value, 2 bytes a coefficient without one, anything else is faulty.
struct Coefficient {
    enum class Kind { Value, NoValue, BadReply };
    Kind kind = Kind::BadReply;
    float value = 0;
};
Coefficient decode_coefficient(std::span<const std::uint8_t> reply);
inline constexpr std::string_view kBadCoefficientReply =
    "Размер квитанции на команду CLB.G не равер ни 2 ни 5!";

}  // namespace varda::calibration
