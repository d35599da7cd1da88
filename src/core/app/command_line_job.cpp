#include "core/app/command_line_job.h"

#include <fcntl.h>
#include <semaphore.h>
#include <signal.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

#include "core/app/document.h"
#include "core/link/exit_status.h"
#include "core/model/device_table.h"
#include "core/app/headless_ui.h"

namespace varda {
namespace {

using namespace std::chrono_literals;

std::atomic<bool> g_exit_signal{false};
std::mutex g_summary_mutex;
JobSummary g_summary;

void on_exit_signal(int) {
    g_exit_signal = true;
}

// Waits for the exit event (a named semaphore) or SIGTERM/SIGINT; either ends the run with 205 and
// cancels a running exchange.
class Watcher {
  public:
    Watcher(const std::string& event_name, Device& device) : device_(device) {
        if (!event_name.empty()) {
            const std::string name = event_name[0] == '/' ? event_name : "/" + event_name;
            semaphore_ = sem_open(name.c_str(), O_CREAT, 0600, 0);
            if (semaphore_ == SEM_FAILED) semaphore_ = nullptr;
        }
        g_exit_signal = false;
        struct sigaction action {};
        action.sa_handler = on_exit_signal;
        sigemptyset(&action.sa_mask);
        sigaction(SIGTERM, &action, &old_term_);
        sigaction(SIGINT, &action, &old_int_);
        thread_ = std::thread([this] { run(); });
    }
    ~Watcher() {
        stop_ = true;
        thread_.join();
        if (semaphore_) sem_close(semaphore_);
        sigaction(SIGTERM, &old_term_, nullptr);
        sigaction(SIGINT, &old_int_, nullptr);
    }
    bool fired() const { return fired_; }
    bool has_event() const { return semaphore_ != nullptr; }
    // Blocks until the exit event or a signal ends the run.
    void wait() const {
        while (!fired_)
            std::this_thread::sleep_for(20ms);
    }

  private:
    void run() {
        while (!stop_ && !fired_) {
            bool signalled = g_exit_signal;
            if (!signalled && semaphore_) {
                timespec until{};
                clock_gettime(CLOCK_REALTIME, &until);
                until.tv_nsec += 50'000'000;
                if (until.tv_nsec >= 1'000'000'000) {
                    until.tv_sec += 1;
                    until.tv_nsec -= 1'000'000'000;
                }
                signalled = sem_timedwait(semaphore_, &until) == 0;
            } else if (!signalled) {
                std::this_thread::sleep_for(50ms);
            }
            if (signalled) {
                set_status(kStatusCancelled);
                device_.abort_event().set();
                fired_ = true;
            }
        }
    }

    Device& device_;
    sem_t* semaphore_ = nullptr;
    std::atomic<bool> stop_{false};
    std::atomic<bool> fired_{false};
    std::thread thread_;
    struct sigaction old_term_ {};
    struct sigaction old_int_ {};
};

bool file_missing_or_empty(const std::string& path) {
    std::error_code error;
    return path.empty() || !std::filesystem::exists(path, error) ||
           std::filesystem::file_size(path, error) == 0 || error;
}

}  // namespace

void apply_command_line_settings(const CommandLine& cl, CTarnDoc& doc) {
    auto& network = doc.device().program_network();
    if (cl.has(CommandLine::kPortSettings)) {
        if (!cl.port.empty()) network.SetValue("Port", cl.port);
        if (cl.baud_rate) network.SetValue("bPS", std::to_string(cl.baud_rate));
        if (cl.parity) network.SetValue("PrtY", cl.parity_item());
        if (!cl.address.empty()) network.SetValue("Addr", cl.address);
        if (cl.data_bits) network.SetValue("LEn", std::to_string(cl.data_bits));
        if (!cl.stop_bits.empty()) network.SetValue("Sbit", cl.stop_bits);
        if (cl.address_length) network.SetValue("A.Len", std::to_string(cl.address_length));
    }
    // "off" means the adapter switches direction itself; "auto" and "on" mean direction by RTS.
    if (cl.adapter) doc.device().sio().settings.adapter_mode = cl.adapter == 2 ? 1 : 0;
}

bool names_a_job(const CommandLine& cl) {
    return cl.has(CommandLine::kRead) || cl.has(CommandLine::kWrite) || cl.has(CommandLine::kCalibrate) ||
           cl.has(CommandLine::kTest) || cl.has(CommandLine::kClose) || !cl.exit_event.empty();
}

namespace {

int count_failures(const ObjectWithParameters& element, int& parameters) {
    int failures = 0;
    for (const auto& p : element.parameters) {
        ++parameters;
        if (!p->error_text.empty()) ++failures;
    }
    if (auto* branch = dynamic_cast<const DescBranch*>(&element))
        for (const auto& child : branch->children)
            failures += count_failures(*child, parameters);
    return failures;
}

}  // namespace

JobSummary last_job_summary() {
    std::lock_guard lock(g_summary_mutex);
    return g_summary;
}

int run_command_line_job(const CommandLine& cl, std::unique_ptr<SerialBackend> backend,
                         const std::function<void(const std::string&)>& progress) {
    reset_status();
    if (cl.has(CommandLine::kWrite) && file_missing_or_empty(cl.file_name)) {
        set_status(kStatusFileMissing);
        return exit_code_of(status_word());
    }
    HeadlessUi headless(false);
    if (progress) headless.set_progress_sink(progress);
    set_ui(&headless);

    Options options;
    if (cl.has(CommandLine::kAutoreadOff)) options.read_automatically = false;
    if (cl.has(CommandLine::kAutoreadOn)) options.read_automatically = true;
    {
        CTarnDoc doc(options, std::move(backend));
        if (!cl.error_log.empty()) {
            std::ofstream truncate(cl.error_log, std::ios::trunc);  // a fresh log for this run
            doc.device().error_log_path = cl.error_log;
        }
        doc.device().silent = cl.has(CommandLine::kSilent);
        doc.device().finish_grace = 0ms;
        doc.device().on_network_parameter_written = [&doc, &cl] {
            doc.apply_new_settings(true, cl.has(CommandLine::kAply));
        };
        apply_command_line_settings(cl, doc);
        Watcher watcher(cl.exit_event, doc.device());

        // The exchange window closes before the worker has finished its task: what the task leaves to do
        // (the APLY after a write of network settings) is posted after that, so the job waits for the end.
        platform::Event task_finished(platform::Event::Reset::Manual);
        doc.device().on_command_line_task_finished = [&task_finished] { task_finished.set(); };
        auto run_task = [&task_finished](bool ran) {
            // Bounded only as a guard: the worker ends every task it was given.
            if (ran) task_finished.wait(std::chrono::seconds(30));
            task_finished.reset();
        };
        doc.start(true, cl.has(CommandLine::kTest));
        if (!doc.exit_request && !watcher.fired()) {
            if (cl.has(CommandLine::kWrite)) {
                if (doc.open_file(cl.file_name) && !watcher.fired()) run_task(doc.write_all());
            } else if (cl.has(CommandLine::kRead)) {
                if (doc.new_document() && !watcher.fired()) {
                    run_task(doc.read_all());
                    if (!cl.file_name.empty()) doc.save_file(cl.file_name);
                }
            } else if (!cl.file_name.empty()) {
                doc.open_file(cl.file_name);
            } else {
                doc.new_document();
            }
            headless.run_posted();
        }
        {
            std::lock_guard lock(g_summary_mutex);
            g_summary = {};
            g_summary.model = std::string(display_name(current_model_index()));
            if (doc.root()) g_summary.failures = count_failures(*doc.root(), g_summary.parameters);
        }
        // Without "close", a run with an exit event stays until the event (or a signal) ends it.
        if (!cl.has(CommandLine::kClose) && watcher.has_event() && !doc.exit_request) watcher.wait();
        doc.close();
    }
    set_ui(nullptr);
    return exit_code_of(status_word());
}

}  // namespace varda
