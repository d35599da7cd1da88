#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/link/device_io.h"
#include "core/model/device_table.h"
#include "core/model/element_context.h"
#include "core/platform/events.h"
#include "core/platform/ui.h"

namespace varda {

class ModelHooks;
class DescBranch;
class ObjectWithParameters;

// A scanner reading handed from the scanner thread to the tree view. Exactly one text is non-empty.
struct ScanResult {
    int address_offset = 0;
    std::string value_text;
    std::string error_text;
    Failure failure;
    Parameter* scanner = nullptr;
};

// What a whole-tree exchange did, for the line under the window.
struct ExchangeSummary {
    int number = 0;  // 0: no exchange yet
    ExchangeKind kind = ExchangeKind::Read;
    int processed = 0;  // parameters exchanged, the failed ones included
    int failed = 0;
    int not_reached = 0;  // passed over because the exchange was stopped
    int differences = 0;  // a comparison's
    bool stopped = false;
    double seconds = 0;
};

// What Device::identify found.
enum class Identification {
    Unreadable = 0,    // "dev" could not be read
    UnknownModel = 2,  // the module named a model the program does not know
    KnownModel = 3,    // a known model, now the current one
};

// "Read 43 parameters, 2 failed, 3.7 s", with what a stop left out.
std::string exchange_summary_text(const ExchangeSummary& summary);

// The error text of a parameter an exchange was stopped before: "Not read: the exchange was stopped".
std::string not_reached_text(ExchangeKind kind);

// A parameter whose module value or attributes a comparison found different from the configuration's.
struct ModuleDifference {
    Parameter* parameter = nullptr;
    std::string value;  // the module's value text
    bool access_attribute = true;
    bool user_attribute = false;
};

// The comparison result: "No difference found", or the count ("Differences: 12 (only the first 10 are
// shown):") and the described ones.
std::string comparison_report_text(int count, const std::string& described);
// How many differences a comparison result describes.
inline constexpr int kDescribedDifferences = 10;

// The document's link to the module: the request engine plus the background worker that runs whole-tree
// and single-parameter tasks behind a modal progress window, the per-parameter operations with their
// bookkeeping, and the scanner thread.
class Device : public DeviceIO, public ElementContext {
  public:
    enum class Task { ReadAll, WriteAll, WriteChanges, Compare, ApplyDefaults, ReadOne, WriteOne };

    Device(ModuleContext& context, std::unique_ptr<SerialBackend> backend, Options& options,
           bool full_access = true);
    ~Device() override;

    // ---- tasks, called on the user-interface thread; true when the progress window could be shown
    bool read_all(ObjectWithParameters& element);
    bool write_all(ObjectWithParameters& element);
    bool write_changes(ObjectWithParameters& element);
    // Shows the comparison result when the window has closed.
    bool compare(ObjectWithParameters& element);
    bool apply_defaults(ObjectWithParameters& element);
    bool read_one(Parameter& parameter);
    bool write_one(Parameter& parameter);
    // Writes the value texts of these parameters (the writable ones), in order, as one task.
    bool write_parameters(const std::vector<Parameter*>& parameters);
    // The comparison result text of the last compare task.
    std::string comparison_report() const;

    // ---- per-parameter operations (any thread)
    int read_parameter(Parameter& parameter, bool count_failures) override;
    int write_parameter(Parameter& parameter, int mode) override;
    int compare_parameter(Parameter& parameter) override;
    // 1000 when nothing is written ("Instant recording" off, value unchanged, no main window).
    int instant_write(Parameter& parameter);
    // Writes the command "INIT"; false with the parameter's error text on failure.
    bool execute_init(std::string& error);

    // ---- finding the module
    // Reads "dev" and "ver".
    Identification identify(bool show);
    // Finds the module with the configured settings, in both adapter modes and after switching it over
    // from a foreign protocol; true when a known model answers.
    bool connect();

    // ---- progress reporting
    void progress_line(const std::string& text) override;
    void add_done() override;
    bool aborted() const override { return abort_.is_set(); }
    void not_reached(Parameter& parameter, ExchangeKind kind) override;
    std::recursive_mutex* line_lock() override { return &context().line_lock; }
    // Whether a task's window is up: the worker is changing the tree, so the window thread (which keeps
    // running its timers meanwhile) must not walk it.
    bool exchange_running() const { return exchange_running_; }
    // What the last whole-tree exchange did; its number grows with each one (0: none yet).
    ExchangeSummary last_exchange() const;
    platform::Event& abort_event() { return abort_; }

    // ---- threads
    void start_worker();
    // Polls the scanner parameters of the element on their timers.
    void start_scanner(DescBranch* scanners);
    void stop_threads();
    // Takes the readings the scanner thread queued.
    std::vector<ScanResult> take_scan_results();
    // Called on the user-interface thread (through Ui::post) when readings were queued; empty: none kept.
    void set_scan_receiver(std::function<void()> receiver);

    // ---- what the rest of the program plugs in
    // The model also learns that its calibration dialogs work through this device, and the codec takes
    // its formatting.
    void set_device_model(ModelHooks* model);
    ModelHooks* device_model() const { return model_; }
    // Failed reads and writes are appended to this file in command-line runs ("elog").
    std::string error_log_path;
    // How long a finished task's window stays up for the last lines (Cancel cuts it short).
    std::chrono::milliseconds finish_grace{2000};
    // Posted after a task wrote a network setting of the module (the main frame offers APLY).
    std::function<void()> on_network_parameter_written;
    // Called at the end of a task in command-line mode (the job's completion).
    std::function<void()> on_command_line_task_finished;
    // Marks the document modified after a read.
    std::function<void()> on_document_modified;
    // What connect() is trying now ("Connecting to /dev/ttyUSB0 at 9600 baud, address 1…"), called on the
    // connecting thread.
    std::function<void(const std::string&)> on_connect_step;

    int version_major = -1;
    int version_minor = -1;
    std::string version_text;  // "ver" as the module gave it
    // The model the last identification found on the line (a file of another model may be open meanwhile);
    // kNoModel when the module named none the program knows.
    std::atomic<int> line_model{kNoModel};
    Identification identify_result = Identification::Unreadable;  // the last identification's
    int difference_count = 0;
    std::string difference_text;
    // Every difference of the last compare task, the undescribed ones too.
    std::vector<ModuleDifference> module_differences;
    // Where a parameter sits in the tree ("Вход 2/FiLt:1"), for the comparison text; unset: its name.
    std::function<std::string(const Parameter&)> parameter_place;
    // Offered as "Show all" beside the comparison result when something differs.
    std::function<void()> on_show_all_differences;
    std::atomic<int> done{0};
    std::atomic<int> total{0};
    std::atomic<int> consecutive_failures{0};
    // Too many reads in a row timed out and automatic reading was switched off, until a read succeeds.
    std::atomic<bool> exchange_suspended{false};

  private:
    bool run_task(Task task, const char* title, int task_total);
    bool run_element_task(Task task, ObjectWithParameters& element, const char* title, int count_mode);
    bool run_parameter_task(Task task, Parameter& parameter, const char* title);
    void worker_loop();
    void scanner_loop(std::vector<Parameter*> scanners);
    void perform(Task task);
    void finish_task(bool with_init);
    void log_failure(const Parameter& parameter) const;
    void read_timeout_alarm();
    void set_window(ProgressWindow* window);
    platform::Event& task_event(Task task);

    Options& options_;
    ModelHooks* model_ = nullptr;
    platform::Event abort_{platform::Event::Reset::Manual};
    platform::Event read_all_event_{platform::Event::Reset::Manual};
    platform::Event write_all_event_{platform::Event::Reset::Manual};
    platform::Event write_changes_event_{platform::Event::Reset::Manual};
    platform::Event compare_event_{platform::Event::Reset::Manual};
    platform::Event apply_defaults_event_{platform::Event::Reset::Manual};
    platform::Event read_one_event_{platform::Event::Reset::Manual};
    platform::Event write_one_event_{platform::Event::Reset::Auto};

    std::mutex task_mutex_;  // the pending task element or parameter
    ObjectWithParameters* task_element_ = nullptr;
    std::unique_ptr<ObjectWithParameters> selection_;  // the element of write_parameters
    Parameter* single_parameter_ = nullptr;

    std::mutex window_mutex_;
    ProgressWindow* window_ = nullptr;
    std::chrono::steady_clock::time_point start_time_{};
    int lines_ = 0;

    int not_reached_count_ = 0;  // worker thread only
    std::atomic<bool> exchange_running_{false};
    mutable std::mutex summary_mutex_;
    ExchangeSummary last_summary_;

    std::thread worker_;
    std::thread scanner_;
    platform::Event scanner_finished_{platform::Event::Reset::Manual};

    std::mutex scan_mutex_;
    std::vector<ScanResult> scan_results_;
    std::function<void()> scan_receiver_;
};

}  // namespace varda
