#include "core/link/device.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <optional>
#include <tuple>
#include <utility>

#include "core/link/exit_status.h"
#include "core/model/description.h"
#include "core/model/device_table.h"
#include "core/model/elements.h"
#include "core/model/model_hooks.h"
#include "core/model/parameter.h"
#include "core/model/tree_rows.h"
#include "core/platform/language.h"
#include "core/platform/numbers.h"
#include "core/platform/serial_ports.h"
#include "core/platform/strings.h"
#include "core/platform/text.h"

namespace varda {
namespace {

using namespace std::chrono_literals;

constexpr int kFailureLimit = 4;          // the fifth failure in a row aborts the task
constexpr std::size_t kMaxScanners = 63;  // the waits of one thread
constexpr int kStringInitError = 179;
constexpr int kStringNoDifference = 152;
constexpr int kStringDifferences = 153;
constexpr int kStringOnlyFirstTen = 154;
constexpr int kStringComparisonResult = 160;

// "name", or "name:index" for an indexed parameter, after the given prefix.
std::string with_index(std::string text, const Parameter& p) {
    return p.indexed ? platform::format_c("%s:%i", text.c_str(), p.network_index) : text;
}

std::string access_text(const Parameter& p) {
    return std::string(str(p.access_attribute ? 156 : 157));
}
std::string user_text(const Parameter& p) {
    return std::string(str(p.user_attribute ? 158 : 159));
}

int count_for(ObjectWithParameters& element, int mode) {
    if (auto* branch = dynamic_cast<DescBranch*>(&element)) return branch->CountToWrite(mode);
    int n = 0;
    for (const auto& p : element.parameters)
        if (mode > 0 || (mode == 0 && (p->value_modified || p->access_modified || p->user_modified)) ||
            (mode < 0 && !p->initial_value_text.empty()))
            ++n;
    return n;
}

// A chosen few parameters of the tree as an element the worker can write.
class ParameterSelection : public ObjectWithParameters {
  public:
    explicit ParameterSelection(std::vector<Parameter*> chosen) : chosen_(std::move(chosen)) {}
    int count() const {
        int n = 0;
        for (const Parameter* p : chosen_)
            n += qualifies_for_write(*p, 1) ? 1 : 0;
        return n;
    }
    GroupResult WriteAll(ElementContext& context, int mode) override {
        return write_each(context, chosen_, mode);
    }

  private:
    std::vector<Parameter*> chosen_;
};

}  // namespace

Device::Device(ModuleContext& context, std::unique_ptr<SerialBackend> backend, Options& options,
               bool full_access)
    : DeviceIO(context, std::move(backend), options, full_access), options_(options) {}

Device::~Device() {
    stop_threads();
}

// ---- tasks --------------------------------------------------------------------------------------

platform::Event& Device::task_event(Task task) {
    switch (task) {
        case Task::ReadAll:
            return read_all_event_;
        case Task::WriteAll:
            return write_all_event_;
        case Task::WriteChanges:
            return write_changes_event_;
        case Task::Compare:
            return compare_event_;
        case Task::ApplyDefaults:
            return apply_defaults_event_;
        case Task::ReadOne:
            return read_one_event_;
        case Task::WriteOne:
            return write_one_event_;
    }
    return read_all_event_;
}

bool Device::run_task(Task task, const char* title, int task_total) {
    start_worker();
    done = 0;
    total = task_total;
    ExchangeRequest request;
    request.title = title;
    request.total = task_total;
    request.on_open = [this, task](ProgressWindow& window) {
        abort_.reset();
        set_window(&window);
        task_event(task).set();
    };
    request.on_cancel = [this] {
        context().status.set(kStatusCancelled);
        abort_.set();
    };
    exchange_running_ = true;
    const bool shown = ui().run_exchange(request);
    exchange_running_ = false;
    return shown;
}

void Device::set_window(ProgressWindow* window) {
    std::lock_guard lock(window_mutex_);
    window_ = window;
    start_time_ = std::chrono::steady_clock::now();
    lines_ = 0;
}

bool Device::run_element_task(Task task, ObjectWithParameters& element, const char* title, int count_mode) {
    {
        std::lock_guard lock(task_mutex_);
        task_element_ = &element;
    }
    return run_task(task, title, count_for(element, count_mode));
}

bool Device::run_parameter_task(Task task, Parameter& parameter, const char* title) {
    {
        std::lock_guard lock(task_mutex_);
        single_parameter_ = &parameter;
    }
    return run_task(task, title, 1);
}

bool Device::read_all(ObjectWithParameters& element) {
    return run_element_task(Task::ReadAll, element, "Read parameters from device", 1);
}

bool Device::write_all(ObjectWithParameters& element) {
    return run_element_task(Task::WriteAll, element, "Write parameters to device", 1);
}

bool Device::write_changes(ObjectWithParameters& element) {
    return run_element_task(Task::WriteChanges, element, "Write changes to device", 0);
}

bool Device::write_parameters(const std::vector<Parameter*>& parameters) {
    auto selection = std::make_unique<ParameterSelection>(parameters);
    const int count = selection->count();
    {
        std::lock_guard lock(task_mutex_);
        selection_ = std::move(selection);
        task_element_ = selection_.get();
    }
    const bool shown = run_task(Task::WriteAll, "Write parameters to device", count);
    std::lock_guard lock(task_mutex_);
    // A window that never came up left the task unstarted.
    if (task_element_ == selection_.get()) task_element_ = nullptr;
    selection_.reset();
    return shown;
}

bool Device::compare(ObjectWithParameters& element) {
    difference_count = 0;
    difference_text.clear();
    module_differences.clear();
    if (!run_element_task(Task::Compare, element, "Compare configuration with device", 1)) return false;
    if (difference_count > 0 && on_show_all_differences) {
        if (ui().message_offering(comparison_report(), MessageIcon::Information, str(kStringComparisonResult),
                                  "Show all"))
            on_show_all_differences();
    } else {
        ui().message(comparison_report(), MessageIcon::Information, str(kStringComparisonResult));
    }
    return true;
}

bool Device::apply_defaults(ObjectWithParameters& element) {
    return run_element_task(Task::ApplyDefaults, element, "Apply default settings", -1);
}

bool Device::read_one(Parameter& parameter) {
    return run_parameter_task(Task::ReadOne, parameter, "Read parameter from device");
}

bool Device::write_one(Parameter& parameter) {
    return run_parameter_task(Task::WriteOne, parameter, "Write parameter to device");
}

std::string comparison_report_text(int count, const std::string& described) {
    if (count == 0) return std::string(str(kStringNoDifference));
    std::string text = platform::format_c("%s: %i", std::string(str(kStringDifferences)).c_str(), count);
    if (count > kDescribedDifferences) text += str(kStringOnlyFirstTen);
    return text + ":\n" + described;
}

std::string Device::comparison_report() const {
    return comparison_report_text(difference_count, difference_text);
}

// ---- worker -------------------------------------------------------------------------------------

void Device::set_device_model(ModelHooks* model) {
    model_ = model;
    // The codec decodes this tree's values with its model's formatting.
    context().formatting = model;
    if (model) model->set_link(this);
}

void Device::start_worker() {
    if (worker_.joinable()) return;
    worker_ = std::thread([this] { worker_loop(); });
}

void Device::worker_loop() {
    // The order in which pending tasks are taken; the stop (no task) comes before the single-parameter ones.
    constexpr std::array<std::optional<Task>, 8> order{Task::ReadAll, Task::WriteAll,      Task::WriteChanges,
                                                       Task::Compare, Task::ApplyDefaults, std::nullopt,
                                                       Task::ReadOne, Task::WriteOne};
    std::array<platform::Waitable*, order.size()> events{};
    for (std::size_t i = 0; i < order.size(); ++i)
        events[i] = order[i] ? static_cast<platform::Waitable*>(&task_event(*order[i])) : &sio().stop_event();
    while (true) {
        const int signalled = platform::wait_any(events, -1ms);
        if (signalled < 0 || !order[static_cast<std::size_t>(signalled)]) break;
        std::lock_guard lock(context().line_lock);
        // A task finds the port closed when the user works offline: open it for the task only, unless the
        // run was told never to open it.
        const bool opened_here = !silent && !sio().is_open() && sio().open() == OpenResult::Opened;
        const Task task = *order[static_cast<std::size_t>(signalled)];
        if (task != Task::WriteOne) task_event(task).reset();
        perform(task);
        if (opened_here) sio().close();
    }
}

void Device::perform(Task task) {
    ObjectWithParameters* element = nullptr;
    Parameter* single = nullptr;
    {
        std::lock_guard lock(task_mutex_);
        element = std::exchange(task_element_, nullptr);
        single = std::exchange(single_parameter_, nullptr);
    }
    const auto started = std::chrono::steady_clock::now();
    not_reached_count_ = 0;
    // Kept before the window closes, so the window behind it can say at once what the exchange did.
    const auto summarize = [&](ExchangeKind kind, const GroupResult& result) {
        ExchangeSummary summary;
        summary.kind = kind;
        summary.processed = result.processed;
        summary.failed = result.processed - result.succeeded;
        summary.not_reached = not_reached_count_;
        summary.differences = kind == ExchangeKind::Compare ? difference_count : 0;
        summary.stopped = abort_.is_set();
        summary.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        std::lock_guard lock(summary_mutex_);
        summary.number = last_summary_.number + 1;
        last_summary_ = summary;
    };
    const bool init_after_write = model_ && model_->NeedsInitAfterWrite();
    auto write = [&](int mode) {
        if (!element) return finish_task(false);
        const GroupResult result = element->WriteAll(*this, mode);
        summarize(ExchangeKind::Write, result);
        finish_task(result.processed == result.succeeded && init_after_write);
    };
    switch (task) {
        case Task::ReadAll:
            if (element) summarize(ExchangeKind::Read, element->ReadAll(*this));
            finish_task(false);
            break;
        case Task::WriteAll:
            write(1);
            break;
        case Task::WriteChanges:
            write(0);
            break;
        case Task::ApplyDefaults:
            write(-1);
            break;
        case Task::Compare:
            if (element) summarize(ExchangeKind::Compare, element->CompareAll(*this));
            finish_task(false);
            break;
        case Task::ReadOne:
            done = 0;
            if (single) read_parameter(*single, true);
            finish_task(false);
            break;
        case Task::WriteOne: {
            done = 0;
            const int result = single ? write_parameter(*single, 1) : -1;
            finish_task(result == 0 && init_after_write);
            break;
        }
    }
}

void Device::not_reached(Parameter& parameter, ExchangeKind kind) {
    ++not_reached_count_;
    parameter.set_failure(FailureKind::NotReached, not_reached_text(kind));
}

ExchangeSummary Device::last_exchange() const {
    std::lock_guard lock(summary_mutex_);
    return last_summary_;
}

void Device::finish_task(bool with_init) {
    progress_line("");
    progress_line(std::string(localized("Task accomplished. Window will be closed automatically.")));
    if (finish_grace.count() > 0 && ui().has_main_window()) abort_.wait(finish_grace);
    ProgressWindow* window = nullptr;
    {
        std::lock_guard lock(window_mutex_);
        window = std::exchange(window_, nullptr);
    }
    if (window) window->close();

    if (network_parameter_written.exchange(false)) {
        if (!sio().stop_event().is_set() && on_network_parameter_written)
            ui().post(on_network_parameter_written);
    } else if (with_init) {
        std::string error;
        if (!execute_init(error)) ui().message(std::string(str(kStringInitError)) + error, MessageIcon::None);
    }
    if (on_command_line_task_finished) on_command_line_task_finished();
    abort_.reset();
}

bool Device::execute_init(std::string& error) {
    Parameter init("INIT");
    init.set_data_type("void");
    init.SetValueText({});
    if (request(false, &init) == RequestResult::Done) return true;
    error = init.error_text;
    return false;
}

// ---- summaries ---------------------------------------------------------------------------------

std::string not_reached_text(ExchangeKind kind) {
    switch (kind) {
        case ExchangeKind::Read:
            return "Not read: the exchange was stopped";
        case ExchangeKind::Write:
            return "Not written: the exchange was stopped";
        case ExchangeKind::Compare:
            break;
    }
    return "Not compared: the exchange was stopped";
}

namespace {

// Russian counts read "label: number", which needs no plural forms.
std::string russian_exchange_summary_text(const ExchangeSummary& s) {
    const bool read = s.kind == ExchangeKind::Read, write = s.kind == ExchangeKind::Write;
    std::string text = std::string(read    ? "Прочитано"
                                   : write ? "Записано"
                                           : "Сравнено") +
                       " параметров: " + std::to_string(s.processed);
    if (s.kind == ExchangeKind::Compare) text += ", различий: " + std::to_string(s.differences);
    text += ", с ошибкой: " + std::to_string(s.failed);
    if (s.not_reached > 0)
        text += std::string(read    ? ", не прочитано: "
                            : write ? ", не записано: "
                                    : ", не сравнено: ") +
                std::to_string(s.not_reached);
    if (s.stopped) text += ", прервано";
    return text + ", " + platform::fixed(s.seconds, 1) + " с";
}

}  // namespace

std::string exchange_summary_text(const ExchangeSummary& s) {
    if (text_language() == Language::russian) return russian_exchange_summary_text(s);
    const char* verb = s.kind == ExchangeKind::Read    ? "Read"
                       : s.kind == ExchangeKind::Write ? "Wrote"
                                                       : "Compared";
    const char* left_out = s.kind == ExchangeKind::Read    ? "not read"
                           : s.kind == ExchangeKind::Write ? "not written"
                                                           : "not compared";
    std::string text = std::string(verb) + " " + std::to_string(s.processed) +
                       (s.processed == 1 ? " parameter" : " parameters");
    if (s.kind == ExchangeKind::Compare) text += ", " + std::to_string(s.differences) + " differ";
    text += ", " + std::to_string(s.failed) + " failed";
    if (s.not_reached > 0) text += ", " + std::to_string(s.not_reached) + " " + left_out;
    if (s.stopped) text += ", stopped";
    return text + ", " + platform::fixed(s.seconds, 1) + " s";
}

// ---- finding the module ------------------------------------------------------------------------

Identification Device::identify(bool show) {
    Parameter dev("dev");
    dev.set_data_type("string");
    Parameter ver("ver");
    ver.set_data_type("string");
    const RequestResult dev_result = request(true, &dev);
    const RequestResult ver_result = request(true, &ver);

    std::string error;
    std::string info;
    Identification result = Identification::Unreadable;
    const std::string parameter_error(str(149));
    if (dev_result != RequestResult::Done) {
        error = platform::format_c("%s 'dev': \n%s\n", parameter_error.c_str(), dev.error_text.c_str());
    } else {
        info = "Device " + dev.value_text() + "\n";
        result = Identification::UnknownModel;
        line_model = kNoModel;
        if (auto row = match_identification(dev.value_text())) {
            int model = *row;
            if (model == kSharedIdentificationRow) {
                auto tdev = make_tdev_parameter();
                const bool read = read_parameter(*tdev, false) == 0;
                model = resolve_tdev(model, read ? tdev_position(*tdev) : std::nullopt);
            }
            context().model = model;
            line_model = model;
            result = Identification::KnownModel;
        }
    }
    if (ver_result != RequestResult::Done) {
        error += platform::format_c("%s 'ver':\n%s\n", parameter_error.c_str(), ver.error_text.c_str());
    } else {
        info += std::string(str(151)) + ver.value_text() + "\n";
        std::tie(version_major, version_minor) = module_version(ver.value_text());
        version_text = ver.value_text();
    }
    identify_result = result;
    if (show) {
        if (!error.empty()) ui().message(error, MessageIcon::Error);
        if (!info.empty()) ui().message(info, MessageIcon::Information);
    }
    return result;
}

bool Device::connect() {
    std::lock_guard lock(context().line_lock);
    const auto step = [this](const std::string& text) {
        if (on_connect_step) on_connect_step(text);
    };
    if (open_with_settings(true) == OpenResult::Failed) return false;
    const PortSettings& line = sio().settings;
    const std::string target =
        platform::format_c(std::string(localized("Connecting to %s at %d baud, address %d")).c_str(),
                           serial_port_label(line.port_name).c_str(), line.baud_rate, line.base_address);
    auto& adapter = sio().settings.adapter_mode;
    auto toggle_adapter = [&adapter] {
        adapter = adapter != adapter_mode::kByRts ? adapter_mode::kByRts : adapter_mode::kAuto;
    };
    constexpr int kAuto = adapter_mode::kAuto;
    const auto adapter_step = [&] {
        step(target + std::string(localized(adapter == kAuto ? ", automatic direction control\u2026"
                                                             : ", direction by RTS\u2026")));
    };

    // The requests that went unanswered while the module was being found are no failure of the run.
    const StatusCheckpoint probing(context().status);
    int passes = 0;
    adapter = kAuto;
    while (!abort_.is_set()) {
        // Own protocol: a module that does not answer may need the other adapter mode.
        context().switch_over = SwitchOverMode::Ravelin;
        for (int attempt = 0; attempt < 2 && !abort_.is_set(); ++attempt) {
            adapter_step();
            const Identification result = identify(false);
            if (result == Identification::KnownModel) {
                probing.rewind();
                return true;
            }
            if (result == Identification::Unreadable) toggle_adapter();
        }
        adapter = kAuto;
        if (++passes > 1 || abort_.is_set()) break;
        // A module running a foreign protocol is asked to change to ours.
        bool switched = false;
        for (auto [mode, name] : {std::pair{SwitchOverMode::ModbusRtu, "Modbus RTU"},
                                  std::pair{SwitchOverMode::ModbusAscii, "Modbus ASCII"},
                                  std::pair{SwitchOverMode::Dcon, "DCON"}}) {
            context().switch_over = mode;
            adapter = kAuto;
            for (int attempt = 0; attempt < 2 && !switched && !abort_.is_set(); ++attempt) {
                step(platform::format_c(
                    std::string(localized("Asking a module speaking %s to change protocol\u2026")).c_str(),
                    name));
                if (request(true, nullptr) == RequestResult::Done) {
                    switched = true;
                } else {
                    toggle_adapter();
                }
            }
            if (switched || abort_.is_set()) break;
        }
        if (!switched) adapter = kAuto;
    }
    context().switch_over = SwitchOverMode::Ravelin;
    return false;
}

// ---- progress -----------------------------------------------------------------------------------

void Device::progress_line(const std::string& text) {
    std::lock_guard lock(window_mutex_);
    if (!window_) return;
    window_->add_line(text);
    const auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start_time_)
            .count();
    const std::string elapsed =
        platform::format_c("%02lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                           static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
    window_->set_progress(done, total, elapsed);
}

void Device::add_done() {
    ++done;
}

// ---- per-parameter operations -------------------------------------------------------------------

void Device::log_failure(const Parameter& p) const {
    if (error_log_path.empty() || p.error_text.empty()) return;
    std::ofstream log(error_log_path, std::ios::app);
    if (!log) return;  // a log that cannot be opened is passed over
    log << p.network_name();
    if (p.indexed) log << ':' << p.network_index;
    log << " - " << p.error_text << '\n';
}

void Device::read_timeout_alarm() {
    const int row = context().model.load();
    std::string text = platform::format_c(
        std::string(localized("%i unsuccessful attempts of reading\nPlease, check the connection between the "
                              "device %s and the PC\nFollowing steps have been done:\n"))
            .c_str(),
        consecutive_failures.load(), std::string(display_name(row)).c_str());
    if (options_.read_automatically.exchange(false))
        text +=
            localized("- Mode \"Read automatically\" is off\n   You can switch it on in menu \"Tools\"\n");
    text += localized("-  Data exchange is suspended");
    exchange_suspended = true;
    consecutive_failures = 0;
    abort_.set();
    ui().message(text, MessageIcon::Error);
}

int Device::read_parameter(Parameter& p, bool count_failures) {
    ++done;
    if (p.network_index < 0) return 6;
    const std::string progress = with_index(std::string(localized("Reading ")) + p.network_name(), p);
    const RequestResult result = request(true, &p);
    if (result != RequestResult::Done) log_failure(p);

    const bool timed_out = result != RequestResult::Done && p.failure_kind() == FailureKind::Timeout;
    if (!timed_out) {
        consecutive_failures = 0;
        exchange_suspended = false;
        // Readings of the inputs and outputs (the scanners) are not part of the configuration.
        if (on_document_modified && !p.is_scanner()) on_document_modified();
        if (model_ && platform::iequals(p.network_name(), "Log")) model_->OnLogParameter(p);
    } else if (count_failures && ++consecutive_failures > kFailureLimit) {
        // A command-line job gives up as the window does (its message goes nowhere).
        read_timeout_alarm();
    }
    // A failed read shows why, never the value it left as if it had been read.
    progress_line(result == RequestResult::Done ? progress + " = " + p.value_text()
                                                : progress + ": " + error_cell_text(p.error_text));
    return static_cast<int>(result);
}

int Device::write_parameter(Parameter& p, int mode) {
    ++done;
    const std::string progress = with_index(std::string(localized("  Write: ")) + p.network_name(), p);
    const std::string text = mode >= 0 ? p.value_text() : p.initial_value_text;
    if (text == str(kNoData)) {
        p.set_failure(FailureKind::NotInitialized,
                      "Value is not recorded, because the parameter is not initialized");
        // Counted as a failure in the summary, so the error log names it too.
        log_failure(p);
        return 5;
    }
    if (p.network_index < 0) return 6;
    if (mode < 0) {
        if (platform::iequals(p.network_name(), "clb.k")) {
            // Calibration factors return to their neutral ends rather than to one default.
            p.SetValueText(p.network_index % 2 == 0 ? "0" : "4095");
        } else {
            p.SetValueText(p.initial_value_text);
        }
    }
    const RequestResult result = request(false, &p);
    if (result != RequestResult::Done) {
        log_failure(p);
    } else {
        if (model_ && model_->NeedsApply(p.network_name())) network_parameter_written = true;
        consecutive_failures = 0;
    }
    progress_line(progress + " = " + text +
                  (result == RequestResult::Done ? " " + std::string(localized("[new value]"))
                                                 : ": " + error_cell_text(p.error_text)));
    if (result == RequestResult::PortClosed ||
        (result != RequestResult::Done && p.failure_kind() == FailureKind::Timeout)) {
        if (++consecutive_failures > kFailureLimit) {
            progress_line(std::string(localized("5 unsuccessful write attempts")));
            context().status.set(kStatusNoReply);
            consecutive_failures = 0;
            abort_.set();
        }
    }
    return static_cast<int>(result);
}

int Device::compare_parameter(Parameter& p) {
    if (abort_.is_set()) return 3;
    Parameter module_value(p.network_name());
    module_value.set_data_type(p.data_type());
    module_value.set_limits(p.minimum(), p.maximum());
    module_value.indexed = p.indexed;
    module_value.network_index = p.network_index;
    module_value.attributes_flag = p.attributes_flag;
    if (p.network_index < 0) return 6;

    const std::string progress =
        with_index(std::string(localized(" Compare ")) + p.network_name() + "=" + p.value_text(), p);
    const int result = static_cast<int>(request(true, &module_value));
    progress_line(progress + "<>" + module_value.value_text());

    // Two texts of one value ("2" and "2.000" of a float) are no difference.
    const bool differs = !p.same_value(p.value_text(), module_value.value_text()) ||
                         p.access_attribute != module_value.access_attribute ||
                         p.user_attribute != module_value.user_attribute;
    if (!differs) return result;
    if (result != 0) {
        p.set_failure(module_value.failure.kind, module_value.error_text, module_value.failure.module_code);
        return result;
    }
    module_differences.push_back(
        {&p, module_value.value_text(), module_value.access_attribute, module_value.user_attribute});
    if (difference_count++ < kDescribedDifferences) {
        const std::string place = parameter_place ? parameter_place(p) : p.network_name();
        difference_text += platform::format_c(
            std::string(localized("%i. Parameter '%s (%s)\nconfiguration: value = %s, access = %s, user = "
                                  "%s\ndevice: value = %s, access = %s, user = %s\n "))
                .c_str(),
            difference_count, place.c_str(), p.description.c_str(), p.value_text().c_str(),
            access_text(p).c_str(), user_text(p).c_str(), module_value.value_text().c_str(),
            access_text(module_value).c_str(), user_text(module_value).c_str());
        const bool had_text = !p.error_text.empty();
        p.set_failure(FailureKind::Discrepancy,
                      std::string(str(kDeviceValue)) + " '" + module_value.value_text() + "'," +
                          access_text(module_value) + user_text(module_value) + (had_text ? "; " : ""));
    } else {
        p.clear_failure();
    }
    return result;
}

int Device::instant_write(Parameter& p) {
    if (!p.value_modified || !ui().has_main_window() || !options_.instant_recording) return 1000;
    p.clear_failure();
    return write_parameter(p, 1);
}

// ---- scanner ------------------------------------------------------------------------------------

void Device::start_scanner(DescBranch* scanners) {
    if (scanner_.joinable() || !scanners) return;
    std::vector<Parameter*> list;
    scanners->CollectScanners(list);
    if (list.size() > kMaxScanners) list.resize(kMaxScanners);
    for (Parameter* s : list)
        s->timer();  // made here, before the scanner thread waits on them
    scanner_finished_.reset();
    scanner_ = std::thread([this, list = std::move(list)] { scanner_loop(list); });
}

void Device::scanner_loop(std::vector<Parameter*> scanners) {
    std::vector<platform::Waitable*> events{&sio().stop_event()};
    for (Parameter* s : scanners)
        events.push_back(s->timer());
    while (true) {
        const int signalled = platform::wait_any(events, -1ms);
        if (signalled == 0) break;
        if (signalled < 0) {
            std::this_thread::sleep_for(50ms);
            continue;
        }
        Parameter& scanner = *scanners[static_cast<std::size_t>(signalled - 1)];
        if (!scanner.timer_running()) continue;
        // Read into a copy: the user-interface thread owns the scanner's texts and applies the result.
        Parameter reading(scanner.network_name());
        reading.set_data_type(scanner.data_type());
        reading.address_offset = scanner.address_offset;
        ScanResult result;
        result.address_offset = scanner.address_offset;
        result.scanner = &scanner;
        {
            std::lock_guard lock(context().line_lock);
            if (request(true, &reading) == RequestResult::Done) {
                result.value_text = reading.value_text();
            } else {
                result.error_text = reading.error_text.substr(0, MyConverter::kMaxValueText);
                result.failure = reading.failure;
            }
        }
        std::function<void()> receiver;
        {
            std::lock_guard lock(scan_mutex_);
            receiver = scan_receiver_;
            if (receiver) scan_results_.push_back(std::move(result));
        }
        if (receiver) ui().post(receiver);
        std::this_thread::yield();
    }
    for (Parameter* s : scanners)
        s->StopTimer();
    scanner_finished_.set();
}

std::vector<ScanResult> Device::take_scan_results() {
    std::lock_guard lock(scan_mutex_);
    return std::exchange(scan_results_, {});
}

void Device::set_scan_receiver(std::function<void()> receiver) {
    std::lock_guard lock(scan_mutex_);
    scan_receiver_ = std::move(receiver);
}

void Device::stop_threads() {
    sio().stop_event().set();
    if (scanner_.joinable()) {
        // The scanner ends at its next wait; a reading in progress returns at once on the stop event.
        if (!scanner_finished_.wait(5100ms)) std::fputs("ScanThread terminated abnormally. ec=259\n", stderr);
        scanner_.join();
    }
    if (worker_.joinable()) worker_.join();
    sio().stop_event().reset();
}

}  // namespace varda
