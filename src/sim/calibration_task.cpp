#include "sim/calibration_task.h"

#include <bit>

namespace varda::sim {
namespace {

constexpr std::uint8_t kInitialMeasurements = 0x01;
constexpr std::uint8_t kStoredFlag = 0x40;
constexpr std::uint8_t kMeasurementsDone = 0x80;

constexpr std::string_view kCommands[] = {"CLB.I", "CLB.S", "CLB.T", "CLB.G", "CLB.P", "CLB.A"};

}  // namespace

CalibrationTask::Faults CalibrationTask::faults() const {
    std::lock_guard lock(mutex_);
    return faults_;
}

void CalibrationTask::set_faults(Faults faults) {
    std::lock_guard lock(mutex_);
    faults_ = std::move(faults);
}

void CalibrationTask::set_coefficient(int number, float value) {
    std::lock_guard lock(mutex_);
    if (number >= 1 && number <= 4) coefficients_[static_cast<std::size_t>(number - 1)] = value;
}

void CalibrationTask::set_gain_scale(std::function<double()> scale) {
    std::lock_guard lock(mutex_);
    gain_scale_ = std::move(scale);
}

bool CalibrationTask::running() const {
    std::lock_guard lock(mutex_);
    return running_;
}

int CalibrationTask::type() const {
    std::lock_guard lock(mutex_);
    return type_;
}

std::uint8_t CalibrationTask::start_byte() const {
    std::lock_guard lock(mutex_);
    return start_byte_;
}

int CalibrationTask::stored() const {
    std::lock_guard lock(mutex_);
    return stored_;
}

std::uint8_t CalibrationTask::status_of(std::string_view command) const {
    const auto it = faults_.status.find(command);
    return it == faults_.status.end() ? 0 : it->second;
}

std::optional<Bytes> CalibrationTask::answer(std::string_view command, bool read,
                                             std::span<const std::uint8_t> data) {
    std::lock_guard lock(mutex_);
    const std::uint8_t status = status_of(command);
    const bool done = faults_.polls_to_finish > 0 && polls_ >= faults_.polls_to_finish;
    const std::uint8_t flags = done ? kMeasurementsDone : kInitialMeasurements;
    if (command == "CLB.I") {
        if (read || data.empty()) return std::nullopt;
        running_ = true;
        polls_ = 0;
        start_byte_ = data[0];
        type_ = data.size() >= 2 ? data[1] : data[0];
        return Bytes{kInitialMeasurements, status};
    }
    if (command == "CLB.S") {
        if (running_) ++polls_;
        const bool now_done = faults_.polls_to_finish > 0 && polls_ >= faults_.polls_to_finish;
        return Bytes{now_done ? kMeasurementsDone : kInitialMeasurements, status};
    }
    if (command == "CLB.T") return Bytes{faults_.faulty_coefficient, flags, status};
    if (command == "CLB.G") {
        if (data.empty() || data[0] < 1 || data[0] > 4) return std::nullopt;
        float value = coefficients_[data[0] - 1u];
        if (data[0] == 1 && gain_scale_) value = static_cast<float>(value * gain_scale_());
        const auto bits = std::bit_cast<std::uint32_t>(value);
        Bytes reply{data[0], static_cast<std::uint8_t>(bits >> 24), static_cast<std::uint8_t>(bits >> 16),
                    static_cast<std::uint8_t>(bits >> 8), static_cast<std::uint8_t>(bits)};
        reply.resize(faults_.coefficient_reply_length, 0);
        return reply;
    }
    if (command == "CLB.P") {
        if (status == 0) ++stored_;
        return Bytes{static_cast<std::uint8_t>(flags | (status == 0 ? kStoredFlag : 0)), status};
    }
    if (command == "CLB.A") {
        running_ = false;
        return Bytes{0, status};
    }
    return std::nullopt;
}

std::shared_ptr<CalibrationTask> serve_calibration(SimulatedModule& module) {
    auto task = std::make_shared<CalibrationTask>();
    for (const std::string_view command : kCommands) {
        module.set_command(command, [task, command](bool read, std::span<const std::uint8_t> data) {
            return task->answer(command, read, data);
        });
    }
    return task;
}

}  // namespace varda::sim
