#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "core/model/failure.h"
#include "core/model/tree_sink.h"
#include "core/platform/events.h"
#include "core/protocol/my_converter.h"

namespace varda {

// One configuration parameter of a module: its network name and index, value and data type (through the
// value codec), description, error text, access attributes, edit-state flags and, for parameters that are
// polled periodically (scanners), a periodic timer.
class Parameter : public MyConverter {
  public:
    Parameter();
    explicit Parameter(std::string network_name);
    Parameter(const Parameter&) = delete;
    Parameter& operator=(const Parameter&) = delete;
    ~Parameter() override;

    void Reset();

    // Validates a value typed by the user; on success stores it (floats reformatted with three decimals,
    // or six with full precision) and marks the value modified. On rejection nothing changes. Numbers are
    // read as the encoder reads them, so an accepted value is sent as typed.
    virtual bool AcceptValue(std::string_view text, bool full_precision = false);
    // The text AcceptValue would store for `text`, or nullopt when it refuses it; nothing changes. Values
    // from files and imports pass the same rule as typed ones.
    std::optional<std::string> AdmittedText(std::string_view text, bool full_precision = false) const;
    // The numbers a typed value may take: the description's limits, narrowed for a whole-number type to
    // what its 16 bits carry; nullopt for a type without a range.
    std::optional<std::pair<double, double>> AllowedRange() const;

    // "FiLt:2" for an indexed parameter, "Addr" otherwise: how messages and logs name it.
    std::string Label() const;

    // String number of a readable type name, or 0.
    int TypeTextId() const;
    std::uint16_t Hash() const;

    // Scanner support: a periodic timer; the network index becomes the address offset.
    bool MakeScanner();
    // 1 when the timer was already running, else starts it and returns 0.
    int StartTimer();
    // 1 when the timer was not running, else stops it and returns 0.
    int StopTimer();
    bool is_scanner() const { return scanner_; }
    bool timer_running() const { return timer_running_; }
    // The scanner's timer, made on first use (a tree has many scanners that are never started). Called on
    // the user-interface thread, before the scanner thread waits on it.
    platform::PeriodicTimer* timer();

    // The output table holds pointers to the parameters that drive outputs; a parameter remembers its
    // slot so that the table never keeps a pointer to a destroyed parameter.
    void set_output_slot(Parameter** slot) { output_slot_ = slot; }
    Parameter** output_slot() const { return output_slot_; }

    std::string description = "<unknown parameter>";
    bool indexed = false;
    bool value_modified = false;
    bool access_modified = false;
    bool user_modified = false;
    // Why the last exchange failed, for people; empty when it did not. Decisions read failure.kind.
    std::string error_text;
    Failure failure;
    void set_failure(FailureKind kind, std::string text, std::uint8_t module_code = 0) {
        failure = {kind, module_code};
        error_text = std::move(text);
    }
    void clear_failure() {
        failure = {};
        error_text.clear();
    }
    // The kind of the failure the error text reports: None without a text, Described for a text set without
    // a kind.
    FailureKind failure_kind() const {
        if (error_text.empty()) return FailureKind::None;
        return failure.kind == FailureKind::None ? FailureKind::Described : failure.kind;
    }
    bool writable = true;
    bool access_attribute = true;  // read/write (true) or read-only (false)
    bool user_attribute = false;   // "Company" (true) or "unknown" (false)
    std::uint8_t attributes_flag = 0;
    int address_offset = 0;  // -1 broadcast
    int network_index = 0;
    int access_mode = 0;
    std::chrono::milliseconds period{1000};
    std::string initial_value_text;
    // What the module last answered for this parameter (a read, or a write it confirmed) and when; the
    // time is zero before the first exchange.
    std::string module_value_text;
    std::chrono::system_clock::time_point module_value_at{};
    bool module_value_read = true;
    // The parameter's own row while the tree view shows it.
    TreeItem tree_item = nullptr;

  private:
    Parameter** output_slot_ = nullptr;
    bool scanner_ = false;
    std::atomic<bool> timer_running_{false};  // the scanner thread reads it
    std::unique_ptr<platform::PeriodicTimer> timer_;
};

}  // namespace varda
