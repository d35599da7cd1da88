#pragma once

#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/simulated_module.h"

namespace varda::sim {

// The physical side of a model's calibration, so that a person clicking through a wizard against varda-sim
// reaches a sensible result: the measured inputs follow simulated physical quantities ("input" in mA, V or
// mV, "position", "box" (the mutual inductance box, mH), "pH", "redox", "temperature"; "output", the current
// an analog output drives), which drift to what the wizard's current step asks the engineer to apply unless
// the console holds them at a value; and an electrical meter reports its points done one after another once
// its calibration was started.
class CalibrationPhysics {
  public:
    using Clock = std::chrono::steady_clock;
    // The time a meter takes for one point, and a drifting quantity to settle (about three time constants).
    static constexpr std::chrono::milliseconds kDefaultMeterDelay{3000};
    static constexpr std::chrono::milliseconds kDriftTimeConstant{500};

    explicit CalibrationPhysics(int model);

    // The gain a generic calibration finds: the module's own gain correction, scaled by the nominal signal
    // over the one applied.
    std::optional<double> gain_scale() const;
    // The simulated VK12 sensor's mutual inductance, mH, at a position of its core, mm.
    static double inductance_at(double position);
    // The current, mA, a simulated VK01/VK02 output drives at an output code.
    static double output_at(int code);

    int model() const { return model_; }
    // The quantities of the model, "" when it has none.
    std::vector<std::string> quantity_names() const;
    // "NAME = VALUE UNIT, held" or "NAME = VALUE UNIT, heading for TARGET" per quantity, one a line.
    std::string describe() const;
    // Holds a quantity at a value (nothing: lets it follow the calibration again). False for an unknown name.
    bool hold(std::string_view name, std::optional<double> value);
    std::optional<double> value(std::string_view name) const;

    std::chrono::milliseconds meter_delay() const;
    void set_meter_delay(std::chrono::milliseconds delay);
    bool meter_error() const;
    void set_meter_error(bool error);

    // What the module does on a read (before the answer) and after a write of a kept value.
    void on_access(bool read, Entry& entry);
    // A value the module keeps, as the module held it when the physics began.
    void learn(const Entry& entry);
    // A pH or redox calibration point ("U.pHL", "U.Rx1", ...) with the buffer's value.
    void on_ph_point(std::string_view point, double value);
    // The electrode's slope from the two pH points of a calibration: the difference of the pH measured in
    // the buffers over the difference of the buffers' values (a held pH is what the electrode measures,
    // else it measures the buffer); nothing without two such points.
    std::optional<float> electrode_slope() const;

  private:
    struct Quantity {
        std::string name;
        std::string unit;
        double from = 0;    // the value at `since`
        double target = 0;  // where it drifts to
        Clock::time_point since{};
        std::optional<double> held;
        double at(Clock::time_point now) const;
    };
    Quantity* find(std::string_view name);
    const Quantity* find(std::string_view name) const;
    void add(std::string name, std::string unit, double value);
    // The quantity drifts from where it is now to `target`.
    void aim(std::string_view name, double target);
    double now_value(std::string_view name);

    void on_meter(bool read, Entry& entry);
    void on_offset_scale(bool read, Entry& entry);
    void on_inductance(bool read, Entry& entry);
    void on_strain_gauge(bool read, Entry& entry);
    void on_ph(bool read, Entry& entry);
    void on_output(bool read, Entry& entry);
    // A strain-gauge channel's signal mapped through its user calibration, before the tare.
    double weighed(int channel);

    mutable std::mutex mutex_;
    int model_;
    std::vector<Quantity> quantities_;
    // The electrical meters.
    std::chrono::milliseconds meter_delay_ = kDefaultMeterDelay;
    bool meter_error_ = false;
    bool meter_running_ = false;
    int meter_points_done_ = 0;
    Clock::time_point meter_point_since_{};
    // Offset and scale: the ends of the range of the sensor written to "in-t".
    double range_low_ = 4;
    double range_high_ = 20;
    // Mutual inductance: the last reading of "Rd.fH", to tell a new measurement from the readings of one,
    // and the bottom of the version's range, mH.
    Clock::time_point last_inductance_read_{};
    double inductance_bottom_ = 0;
    // Strain gauge: what the module keeps per channel, as written.
    std::map<std::string, double> kept_;
    double sensitivity_ = 35;  // the half-width of the "Sens" range, mV
    std::map<int, double> tare_;
    unsigned factory_errors_ = 0;        // the calibration-error bits the factory points left in "Rd.St"
                                         // (strain gauge and mutual inductance)
    std::map<int, bool> subtract_tare_;  // "Tr.on" per channel
    // Analog outputs: the coefficient ("CLB.K" index) whose point the output is driven at, -1 none.
    int driven_coefficient_ = -1;
    // pH: whether "Rd.Rs" shows the redox potential (after a redox point) rather than the pH.
    bool redox_ = false;
    // The pH points of the calibration under way: (buffer's value, pH measured in it).
    std::vector<std::pair<double, double>> ph_points_;
};

// Gives a module served from its model the physical side of its calibration (models without one get
// nothing) and returns it, so that the console can steer it; null for a model without one.
std::shared_ptr<CalibrationPhysics> serve_calibration_physics(SimulatedModule& module, int model);

}  // namespace varda::sim
