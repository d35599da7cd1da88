#include "sim/ph_calibration_task.h"

#include <bit>

namespace varda::sim {
namespace {

constexpr std::string_view kPoints[] = {"U.pH1", "U.pHL", "U.pHH", "U.Rx1", "U.RxL", "U.RxH"};
constexpr unsigned kCalibrating = 0x10;
constexpr unsigned kCalibrationError = 0x08;

Bytes float_bytes(float value) {
    const auto bits = std::bit_cast<std::uint32_t>(value);
    return {static_cast<std::uint8_t>(bits >> 24), static_cast<std::uint8_t>(bits >> 16),
            static_cast<std::uint8_t>(bits >> 8), static_cast<std::uint8_t>(bits)};
}

}  // namespace

PhCalibrationTask::Behaviour PhCalibrationTask::behaviour() const {
    std::lock_guard lock(mutex_);
    return behaviour_;
}

void PhCalibrationTask::set_behaviour(const Behaviour& behaviour) {
    std::lock_guard lock(mutex_);
    behaviour_ = behaviour;
}

std::vector<std::pair<std::string, float>> PhCalibrationTask::points() const {
    std::lock_guard lock(mutex_);
    return points_;
}

int PhCalibrationTask::applied() const {
    std::lock_guard lock(mutex_);
    return applied_;
}

void PhCalibrationTask::set_point_listener(std::function<void(std::string_view, float)> listener) {
    std::lock_guard lock(mutex_);
    point_listener_ = std::move(listener);
}

void PhCalibrationTask::set_slope_source(std::function<std::optional<float>()> source) {
    std::lock_guard lock(mutex_);
    slope_source_ = std::move(source);
}

std::optional<Bytes> PhCalibrationTask::answer(std::string_view command, bool read,
                                               std::span<const std::uint8_t> data) {
    std::lock_guard lock(mutex_);
    if (command == "Rd.St") {
        if (!read) return std::nullopt;
        unsigned word = behaviour_.status & ~(kCalibrating | kCalibrationError);
        if (busy_left_ != 0) word |= kCalibrating;
        if (error_) word |= kCalibrationError;
        if (busy_left_ > 0) --busy_left_;
        return Bytes{static_cast<std::uint8_t>(word >> 8), static_cast<std::uint8_t>(word)};
    }
    if (command == "U.Apl") {
        if (read) return std::nullopt;
        ++applied_;
        error_ = behaviour_.fails;
        const std::optional<float> slope = slope_source_ ? slope_source_() : std::nullopt;
        return float_bytes(slope.value_or(behaviour_.slope));
    }
    // A calibration point: the buffer's value as a float.
    if (read || data.size() != 4) return std::nullopt;
    std::uint32_t bits = 0;
    for (const std::uint8_t byte : data)
        bits = bits << 8 | byte;
    const float value = std::bit_cast<float>(bits);
    points_.emplace_back(std::string(command), value);
    if (point_listener_) point_listener_(command, value);
    busy_left_ = behaviour_.busy_reads;
    error_ = false;
    return Bytes(data.begin(), data.end());
}

std::shared_ptr<PhCalibrationTask> serve_ph_calibration(SimulatedModule& module) {
    auto task = std::make_shared<PhCalibrationTask>();
    std::vector<std::string_view> commands(std::begin(kPoints), std::end(kPoints));
    commands.push_back("Rd.St");
    commands.push_back("U.Apl");
    for (std::string_view command : commands)
        module.set_command(
            command, [task, name = std::string(command)](bool read, std::span<const std::uint8_t> data) {
                return task->answer(name, read, data);
            });
    return task;
}

}  // namespace varda::sim
