#include "sim/calibration_physics.h"

#include <array>
#include <cmath>
#include <cstdlib>

#include "core/platform/numbers.h"
#include "core/platform/text.h"
#include "sim/calibration_task.h"
#include "sim/ph_calibration_task.h"

namespace varda::sim {
namespace {

using namespace std::chrono_literals;

bool named(const Entry& entry, std::string_view name) {
    return platform::iequals(entry.name, name);
}

std::optional<double> number_in(std::string_view text) {
    const auto number = platform::leading_double(text, true);
    if (!number) return std::nullopt;
    return number->value;
}

// An electrical meter's calibration: the value written to "Mode" that starts it and the status bit that
// reports each point done.
struct MeterPoints {
    int start = 16;
    std::vector<unsigned> bits;
};
MeterPoints meter_points(int model) {
    switch (model) {
        case 19:
            return {256, {0x02, 0x04, 0x10}};
        case 20:
            return {256, {0x02, 0x04, 0x40, 0x80}};
        default:
            return {16, {0x08, 0x04, 0x02}};
    }
}
constexpr unsigned kMeterErrorBit = 0x01;

// The ends of a sensor's range in its name, "4-20 мА" -> 4, 20, "-10...+10 В" -> -10, 10; nothing for a
// name without them.
std::optional<std::pair<double, double>> range_of(std::string_view sensor) {
    const auto start = sensor.find_first_of("-+0123456789");
    if (start == std::string_view::npos) return std::nullopt;
    const auto low = platform::leading_double(sensor.substr(start), true);
    if (!low) return std::nullopt;
    std::string_view rest = sensor.substr(start + low->length);
    if (rest.starts_with("..."))
        rest.remove_prefix(3);
    else if (rest.starts_with("-"))
        rest.remove_prefix(1);
    else
        return std::nullopt;
    const auto high = platform::leading_double(rest, true);
    if (!high || high->value <= low->value) return std::nullopt;
    return std::pair{low->value, high->value};
}

constexpr double kPositionStep = 10;  // how far the engineer moves the core between two measurements
constexpr double kPositionEnd = 100;
constexpr auto kMeasurementGap = 300ms;  // readings closer than this belong to one measurement
// A strain gauge's factory point: the calibration-error bits of its ends, and how far (a share of the range's
// half-width) the signal may lie from the end.
constexpr unsigned kMinimumErrorBit = 0x20;
constexpr unsigned kMaximumErrorBit = 0x40;
constexpr double kFactoryTolerance = 0.05;
// The VK12 factory points: the mutual inductance box's value at the range's top, the status bit a spoilt
// point leaves, and how far (mH) the box may be off the point.
constexpr double kInductanceTop = 10;
constexpr unsigned kInductanceErrorBit = 0x80;
constexpr double kBoxTolerance = 0.2;

std::string kept_key(std::string_view name, int index) {
    return platform::to_lower(std::string(name)) + ":" + std::to_string(index);
}

}  // namespace

// Slightly curved, as a real sensor is, so that a spline through measured points has something to do.
double CalibrationPhysics::inductance_at(double position) {
    return 0.5 + 0.12 * position + 0.0004 * position * position;
}

// A little off the nominal 4095 codes for 20.475 mA, so that each output needs its calibration.
double CalibrationPhysics::output_at(int code) {
    return 0.03 + 0.004985 * code;
}

double CalibrationPhysics::Quantity::at(Clock::time_point now) const {
    if (held) return *held;
    const double elapsed = std::chrono::duration<double>(now - since).count();
    const double tau = std::chrono::duration<double>(kDriftTimeConstant).count();
    return target + (from - target) * std::exp(-std::max(elapsed, 0.0) / tau);
}

CalibrationPhysics::CalibrationPhysics(int model) : model_(model) {
    switch (model) {
        case 0:
        case 8:
            add("reference", "%", 100);
            break;
        case 1:
        case 2:
            add("output", "mA", 0);
            break;
        case 7:
        case 17:
            add("input", "mA", 4);
            break;
        case 12:
            add("position", "mm", 0);
            add("box", "mH", 0);
            break;
        case 13:
        case 14:
            add("input", "mV", 0);
            break;
        case 18:
            add("pH", "", 7);
            add("redox", "mV", 0);
            add("temperature", "°C", 25);
            break;
        default:
            break;
    }
}

void CalibrationPhysics::add(std::string name, std::string unit, double value) {
    quantities_.push_back({std::move(name), std::move(unit), value, value, Clock::now(), std::nullopt});
}

CalibrationPhysics::Quantity* CalibrationPhysics::find(std::string_view name) {
    for (Quantity& q : quantities_)
        if (platform::iequals(q.name, name)) return &q;
    return nullptr;
}

const CalibrationPhysics::Quantity* CalibrationPhysics::find(std::string_view name) const {
    return const_cast<CalibrationPhysics*>(this)->find(name);
}

std::vector<std::string> CalibrationPhysics::quantity_names() const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> names;
    for (const Quantity& q : quantities_)
        names.push_back(q.name);
    return names;
}

std::string CalibrationPhysics::describe() const {
    std::lock_guard lock(mutex_);
    std::string text;
    const auto now = Clock::now();
    for (const Quantity& q : quantities_)
        text += q.name + " = " + platform::fixed(q.at(now), 3) + (q.unit.empty() ? "" : " " + q.unit) +
                (q.held ? ", held" : ", heading for " + platform::fixed(q.target, 3)) + "\n";
    if (model_ >= 19 && model_ <= 22)
        text += "meter delay = " + std::to_string(meter_delay_.count()) + " ms, error " +
                (meter_error_ ? "on" : "off") + ", points done " + std::to_string(meter_points_done_) + "\n";
    return text;
}

bool CalibrationPhysics::hold(std::string_view name, std::optional<double> value) {
    std::lock_guard lock(mutex_);
    Quantity* q = find(name);
    if (!q) return false;
    const auto now = Clock::now();
    if (value) {
        q->held = value;
    } else if (q->held) {
        // Let go, it drifts on from where it was held.
        q->from = *q->held;
        q->since = now;
        q->held.reset();
    }
    return true;
}

std::optional<double> CalibrationPhysics::value(std::string_view name) const {
    std::lock_guard lock(mutex_);
    const Quantity* q = find(name);
    if (!q) return std::nullopt;
    return q->at(Clock::now());
}

std::chrono::milliseconds CalibrationPhysics::meter_delay() const {
    std::lock_guard lock(mutex_);
    return meter_delay_;
}

void CalibrationPhysics::set_meter_delay(std::chrono::milliseconds delay) {
    std::lock_guard lock(mutex_);
    meter_delay_ = delay;
}

bool CalibrationPhysics::meter_error() const {
    std::lock_guard lock(mutex_);
    return meter_error_;
}

void CalibrationPhysics::set_meter_error(bool error) {
    std::lock_guard lock(mutex_);
    meter_error_ = error;
}

void CalibrationPhysics::aim(std::string_view name, double target) {
    Quantity* q = find(name);
    if (!q) return;
    const auto now = Clock::now();
    q->from = q->at(now);
    q->since = now;
    q->target = target;
}

double CalibrationPhysics::now_value(std::string_view name) {
    const Quantity* q = find(name);
    return q ? q->at(Clock::now()) : 0.0;
}

void CalibrationPhysics::on_access(bool read, Entry& entry) {
    std::lock_guard lock(mutex_);
    switch (model_) {
        case 1:
        case 2:
            return on_output(read, entry);
        case 7:
        case 17:
            return on_offset_scale(read, entry);
        case 12:
            return on_inductance(read, entry);
        case 13:
        case 14:
            return on_strain_gauge(read, entry);
        case 18:
            return on_ph(read, entry);
        case 19:
        case 20:
        case 21:
        case 22:
            return on_meter(read, entry);
        default:
            return;
    }
}

// The start value begins the calibration; each point is done a meter delay after the module reported the
// one before (the first: after the start), as the meter measures the signal the engineer sets meanwhile.
void CalibrationPhysics::on_meter(bool read, Entry& entry) {
    if (!named(entry, "Mode")) return;
    const MeterPoints points = meter_points(model_);
    const auto now = Clock::now();
    if (!read) {
        const auto written = number_in(entry.value);
        if (written && static_cast<int>(*written) == points.start) {
            meter_running_ = true;
            meter_points_done_ = 0;
            meter_point_since_ = now;
        }
        return;
    }
    const int total = static_cast<int>(points.bits.size());
    if (meter_running_ && meter_points_done_ < total && now - meter_point_since_ >= meter_delay_) {
        ++meter_points_done_;
        meter_point_since_ = now;
    }
    unsigned word = 0;
    if (meter_running_ && meter_points_done_ < total) word |= static_cast<unsigned>(points.start);
    for (int k = 0; meter_running_ && k < meter_points_done_; ++k)
        word |= points.bits[static_cast<std::size_t>(k)];
    if (meter_error_) word |= kMeterErrorBit;
    if (meter_running_ || meter_error_) entry.value = std::to_string(word);
}

// Channel 1's input signal: the start of the chosen sensor's range for the offset, its end for the scale.
void CalibrationPhysics::on_offset_scale(bool read, Entry& entry) {
    const bool first_channel = entry.index <= 0 && entry.address_offset == 0;
    if (!read && named(entry, "in-t") && first_channel) {
        if (const auto range = range_of(entry.value)) {
            range_low_ = range->first;
            range_high_ = range->second;
            Quantity* q = find("input");
            if (q) q->unit = entry.value.find("В") != std::string::npos ? "V" : "mA";
        }
        aim("input", range_low_);
    } else if (!read && named(entry, "JuSh")) {
        aim("input", range_high_);
    } else if (read && named(entry, "iRD") && first_channel) {
        entry.value = platform::fixed(now_value("input"), 4);
    }
}

// The core's position moves on by a step between two measurements (readings apart by more than a gap),
// as the engineer moves it from one row's point to the next, unless the console holds it.
// The sensor's core for the user's points; for the factory points the mutual inductance box, which is set
// to the range's bottom (the version's, read from "tdev") and then its top, unless the console holds it
// elsewhere: a point taken off its value leaves the calibration-error bit in "Rd.St".
void CalibrationPhysics::on_inductance(bool read, Entry& entry) {
    if (!read && (named(entry, "zU.Sh") || named(entry, "zU.Sc"))) {
        const bool minimum = named(entry, "zU.Sh");
        const Quantity* box = find("box");
        const double point = minimum ? inductance_bottom_ : kInductanceTop;
        if (box->held && std::abs(*box->held - point) > kBoxTolerance) factory_errors_ |= kInductanceErrorBit;
        if (minimum) aim("box", kInductanceTop);
        return;
    }
    if (read && named(entry, "tdev")) {
        // The factory calibration begins: the box goes to the bottom of the version's range.
        if (const auto bottom = number_in(entry.value)) inductance_bottom_ = *bottom;
        factory_errors_ = 0;
        aim("box", inductance_bottom_);
        return;
    }
    if (read && named(entry, "Rd.St")) {
        const auto word = number_in(entry.value);
        entry.value = std::to_string((word ? static_cast<unsigned>(*word) & ~kInductanceErrorBit : 0) |
                                     factory_errors_);
        return;
    }
    if (!read || !named(entry, "Rd.fH")) return;
    Quantity* q = find("position");
    const auto now = Clock::now();
    if (!q->held && now - last_inductance_read_ > kMeasurementGap &&
        last_inductance_read_ != Clock::time_point{}) {
        const double next = q->target + kPositionStep;
        q->target = next > kPositionEnd ? 0 : next;
        q->from = q->target;
        q->since = now;
    }
    last_inductance_read_ = now;
    entry.value = platform::fixed(inductance_at(q->at(now)), 6);
}

// The bridge's signal: the start of the sensitivity range for the factory minimum, its end for the maximum;
// for the user's points none at the lower and half the range at the upper. The measured value is the
// signal mapped through the user calibration, less the tare the module took when "Tr.on" says so.
void CalibrationPhysics::on_strain_gauge(bool read, Entry& entry) {
    const int channel = std::max(entry.index, 0);
    if (!read) {
        if (named(entry, "Sens")) {
            learn(entry);
            aim("input", -sensitivity_);
        } else if (named(entry, "zU.Sh") || named(entry, "zU.Sc")) {
            // A signal the console holds away from the range's end spoils that end (a drifting one is
            // taken as the reference the engineer applied).
            const bool minimum = named(entry, "zU.Sh");
            const Quantity* input = find("input");
            const double end = minimum ? -sensitivity_ : sensitivity_;
            const bool off = input->held && std::abs(*input->held - end) > kFactoryTolerance * sensitivity_;
            const unsigned bit = minimum ? kMinimumErrorBit : kMaximumErrorBit;
            factory_errors_ = off ? factory_errors_ | bit : factory_errors_ & ~bit;
            if (minimum) aim("input", sensitivity_);
        } else if (named(entry, "U.Wgh")) {
            tare_[channel] = weighed(channel);
        } else {
            learn(entry);
        }
        return;
    }
    if (named(entry, "Rd.St")) {
        const auto word = number_in(entry.value);
        const unsigned others =
            word ? static_cast<unsigned>(*word) & ~(kMinimumErrorBit | kMaximumErrorBit) : 0;
        entry.value = std::to_string(others | factory_errors_);
    } else if (named(entry, "v.min")) {
        aim("input", 0);
    } else if (named(entry, "v.max")) {
        aim("input", sensitivity_ / 2);
    } else if (named(entry, "Rd.fV")) {
        entry.value = platform::fixed(now_value("input"), 4);
    } else if (named(entry, "Rd.fF")) {
        const auto tare = tare_.find(channel);
        const bool less_tare = subtract_tare_[channel] && tare != tare_.end();
        entry.value = platform::fixed(weighed(channel) - (less_tare ? tare->second : 0.0), 4);
    } else if (named(entry, "p.wgh")) {
        if (const auto tare = tare_.find(channel); tare != tare_.end())
            entry.value = platform::fixed(tare->second, 3);
    }
}

// "CLB.I" drives the output at a coefficient's point with the code the module keeps for it, and each code
// written to that coefficient moves the output at once; "CLB.A" (a read) leaves calibration.
void CalibrationPhysics::on_output(bool read, Entry& entry) {
    Quantity* output = find("output");
    const auto set_output = [&](double value) {
        output->from = output->target = value;
        output->since = Clock::now();
    };
    if (read && !named(entry, "CLB.A")) return;
    if (named(entry, "CLB.I")) {
        const auto number = number_in(entry.value);
        driven_coefficient_ = number ? static_cast<int>(*number) : -1;
        const auto code = kept_.find(kept_key("CLB.K", driven_coefficient_));
        if (code != kept_.end()) set_output(output_at(static_cast<int>(code->second)));
    } else if (named(entry, "CLB.A")) {
        driven_coefficient_ = -1;
        set_output(0);
    } else if (named(entry, "CLB.K")) {
        const auto code = number_in(entry.value);
        if (!code) return;
        kept_[kept_key("CLB.K", entry.index)] = *code;
        if (entry.index == driven_coefficient_) set_output(output_at(static_cast<int>(*code)));
    }
}

double CalibrationPhysics::weighed(int channel) {
    const auto kept = [this, channel](const char* name, double otherwise) {
        const auto it = kept_.find(kept_key(name, channel));
        return it == kept_.end() ? otherwise : it->second;
    };
    const double fn = kept("zu.fn", 0), fx = kept("zu.fx", sensitivity_);
    const double vmin = kept("v.min", 0), vmax = kept("v.max", 1000);
    if (fx == fn) return vmin;
    return vmin + (now_value("input") - fn) / (fx - fn) * (vmax - vmin);
}

void CalibrationPhysics::learn(const Entry& entry) {
    if (named(entry, "Tr.on")) {
        subtract_tare_[std::max(entry.index, 0)] =
            !entry.value.empty() && !platform::iequals(entry.value, "Нет");
        return;
    }
    if (named(entry, "Sens")) {
        const auto digit = entry.value.find_first_of("0123456789");
        if (const auto half =
                digit == std::string::npos ? std::nullopt : number_in(entry.value.substr(digit)))
            sensitivity_ = *half;
        return;
    }
    for (const char* name : {"zu.fn", "zu.fx", "v.min", "v.max", "CLB.K"})
        if (named(entry, name))
            if (const auto v = number_in(entry.value)) kept_[kept_key(name, std::max(entry.index, 0))] = *v;
}

void CalibrationPhysics::on_ph_point(std::string_view point, double value) {
    std::lock_guard lock(mutex_);
    redox_ = platform::iequals(point.substr(0, 4), "U.Rx");
    if (!redox_) {
        // The first point of a calibration starts it afresh.
        if (!platform::iequals(point, "U.pHH")) ph_points_.clear();
        const Quantity* ph = find("pH");
        ph_points_.emplace_back(value, ph->held.value_or(value));
    }
    aim(redox_ ? "redox" : "pH", value);
}

std::optional<double> CalibrationPhysics::gain_scale() const {
    std::lock_guard lock(mutex_);
    const Quantity* reference = find("reference");
    if (!reference) return std::nullopt;
    const double applied = reference->at(Clock::now());
    if (applied <= 0) return std::nullopt;
    return 100 / applied;
}

std::optional<float> CalibrationPhysics::electrode_slope() const {
    std::lock_guard lock(mutex_);
    if (ph_points_.size() != 2 || ph_points_[0].first == ph_points_[1].first) return std::nullopt;
    const auto& [low, measured_low] = ph_points_[0];
    const auto& [high, measured_high] = ph_points_[1];
    return static_cast<float>((measured_high - measured_low) / (high - low));
}

// The electrode in the buffer the engineer names: the pH (or redox potential) drifts to the point's value;
// the solution settles at room temperature.
void CalibrationPhysics::on_ph(bool read, Entry& entry) {
    if (read) {
        if (named(entry, "Rd.Rs"))
            entry.value = platform::fixed(now_value(redox_ ? "redox" : "pH"), 3);
        else if (named(entry, "Rd.Tm"))
            entry.value = platform::fixed(now_value("temperature"), 1);
    }
}

std::shared_ptr<CalibrationPhysics> serve_calibration_physics(SimulatedModule& module, int model) {
    auto physics = std::make_shared<CalibrationPhysics>(model);
    if (physics->quantity_names().empty() && (model < 19 || model > 22)) return nullptr;
    for (const Entry& entry : module.entries())
        physics->learn(entry);
    // The pH points are commands rather than kept values: the task tells of each.
    if (model == 0 || model == 8)
        serve_calibration(module)->set_gain_scale([physics] { return physics->gain_scale().value_or(1.0); });
    if (model == 18) {
        const auto task = serve_ph_calibration(module);
        task->set_point_listener(
            [physics](std::string_view point, float value) { physics->on_ph_point(point, value); });
        task->set_slope_source([physics] { return physics->electrode_slope(); });
    }
    module.set_entry_hook([physics](bool read, Entry& entry) { physics->on_access(read, entry); });
    return physics;
}

}  // namespace varda::sim
