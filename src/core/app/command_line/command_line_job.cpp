#include "core/app/command_line/command_line_job.h"

#include <fcntl.h>
#include <semaphore.h>
#include <signal.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <thread>

#include "core/app/command_line/headless_ui.h"
#include "core/app/document/document.h"
#include "core/app/files/config_file.h"
#include "core/link/exit_status.h"
#include "core/link/frame_trace.h"
#include "core/link/sio.h"
#include "core/model/device_table.h"
#include "core/platform/strings.h"
#include "core/platform/text.h"

namespace varda {
namespace {

constexpr int kBadCommandLineCode = 2;

using namespace std::chrono_literals;

std::atomic<bool> g_exit_signal{false};

void on_exit_signal(int) {
    g_exit_signal = true;
}

// Waits for the exit event (a named semaphore) or SIGTERM/SIGINT; either ends the run with 205 and
// cancels a running exchange.
class Watcher {
  public:
    Watcher(const std::string& event_name, Device& device, std::function<void()> on_exit = {})
        : device_(device), on_exit_(std::move(on_exit)) {
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
                device_.context().status.set(kStatusCancelled);
                device_.abort_event().set();
                fired_ = true;
                if (on_exit_) on_exit_();
            }
        }
    }

    Device& device_;
    std::function<void()> on_exit_;  // on the watcher's thread, once
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
    apply_port_settings(cl, doc.device().program_network());
    if (!cl.error_log.empty()) {
        std::ofstream truncate(cl.error_log, std::ios::trunc);  // a fresh log for this run
        doc.device().error_log_path = cl.error_log;
    }
}

void apply_port_settings(const CommandLine& cl, Elements::NetRS485prg& network) {
    if (cl.has(CommandLine::kPortSettings)) {
        if (!cl.port.empty()) network.SetValue("Port", cl.port);
        if (cl.baud_rate) network.SetValue("bPS", std::to_string(cl.baud_rate));
        if (cl.parity) network.SetValue("PrtY", cl.parity_item());
        if (!cl.address.empty()) network.SetValue("Addr", cl.address);
        if (cl.data_bits) network.SetValue("LEn", std::to_string(cl.data_bits));
        if (!cl.stop_bits.empty()) network.SetValue("Sbit", cl.stop_bits);
        if (cl.address_length) network.SetValue("A.Len", std::to_string(cl.address_length));
    }
}

void apply_command_line_after_connect(const CommandLine& cl, CTarnDoc& doc) {
    // "off" means the adapter switches direction itself; "auto" and "on" mean direction by RTS. The
    // connection procedure tries both, so the choice is made after it.
    if (cl.adapter)
        doc.device().sio().settings.adapter_mode =
            cl.adapter == 2 ? adapter_mode::kAuto : adapter_mode::kByRts;
    if (cl.has(CommandLine::kAutoreadOff)) doc.options().read_automatically = false;
    if (cl.has(CommandLine::kAutoreadOn)) doc.options().read_automatically = true;
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

void collect_writable(ObjectWithParameters& element, std::vector<Parameter*>& out) {
    for (const auto& p : element.parameters)
        if (p->writable && !p->is_scanner()) out.push_back(p.get());
    if (auto* branch = dynamic_cast<DescBranch*>(&element))
        for (const auto& child : branch->children)
            collect_writable(*child, out);
}

// The parameters a write of the whole tree sends, each with a value or "no data".
std::vector<Parameter*> values_to_write(DescBranch& root) {
    std::vector<Parameter*> out;
    collect_writable(root, out);
    return out;
}

void collect_failed(const ObjectWithParameters& element, std::vector<const Parameter*>& out) {
    for (const auto& p : element.parameters)
        if (!p->error_text.empty()) out.push_back(p.get());
    if (auto* branch = dynamic_cast<const DescBranch*>(&element))
        for (const auto& child : branch->children)
            collect_failed(*child, out);
}

// "FiLt:2, Cnt.E:1 and 3 more": the first few of a list of parameters, for one line on standard error.
std::string some_labels(const std::vector<const Parameter*>& parameters, bool with_error = false) {
    constexpr std::size_t kNamed = 3;
    std::string text;
    for (std::size_t k = 0; k < parameters.size() && k < kNamed; ++k) {
        text += (k ? ", " : "") + parameters[k]->Label();
        if (with_error) text += " (" + parameters[k]->error_text + ")";
    }
    if (parameters.size() > kNamed) text += " and " + std::to_string(parameters.size() - kNamed) + " more";
    return text;
}

// "plant.vdc" -> "plant.partial.vdc", "/srv/plant/A" -> "/srv/plant/A.partial.vdc": where a read that failed
// leaves what it read, beside the file it was to replace.
std::string partial_file_name(const std::string& path) {
    std::string stem = path;
    if (stem.size() > 4) {
        std::string tail = stem.substr(stem.size() - 4);
        for (char& c : tail)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (tail == ".vdc") stem.resize(stem.size() - 4);
    }
    return stem + ".partial.vdc";
}

// The last line of a message shown in the window: the reason, without the file's name before it.
std::string last_line(std::string text) {
    while (!text.empty() && text.back() == '\n')
        text.pop_back();
    const std::size_t start = text.find_last_of('\n');
    return start == std::string::npos ? text : text.substr(start + 1);
}

// Why a file to write was refused, after its name.
std::string refused_file_reason(const LoadResult& result, int module_model) {
    switch (result.status) {
        case LoadStatus::Declined: {
            auto code = [](int model) { return device_row(model) ? device_row(model)->code : "?"; };
            return "the file is for " + std::string(code(result.file_model)) + ", the module is " +
                   std::string(code(module_model));
        }
        case LoadStatus::Truncated:
            return "the file ends inside its records; nothing was written";
        case LoadStatus::FormatError:
        case LoadStatus::WrongFormat:
            return "not a configuration file, or a damaged one; nothing was written";
        case LoadStatus::OldVersion:
            return "a configuration file of an old version this program does not read";
        case LoadStatus::Damaged:
            return "the file is damaged (unknown version or model); nothing was written";
        case LoadStatus::ReadError:
        case LoadStatus::Loaded:
            break;
    }
    return result.message.empty() ? std::string(exit_code_meaning(200)) : last_line(result.message);
}

using Fail = std::function<void(StatusBit, std::string)>;

// Writes the tree and says what of it did not reach the module: values that cannot be encoded, and
// "no data", which is never sent. A file without any value is not written at all.
void write_checked(CTarnDoc& doc, const std::string& file, const Fail& fail,
                   const std::function<void()>& write) {
    const std::vector<Parameter*> values = values_to_write(*doc.root());
    const std::string no_data(str(kNoData));
    std::vector<const Parameter*> empty;
    std::vector<const Parameter*> unsendable;
    for (const Parameter* p : values) {
        if (p->value_text() == no_data) {
            empty.push_back(p);
        } else if (platform::iequals(p->network_name(), "CHAr*") ? !p->AdmittedText(p->value_text())
                                                                 : !p->encodes(p->value_text())) {
            unsendable.push_back(p);
        }
    }
    if (empty.size() == values.size()) {
        fail(kStatusFileMissing, file +
                                     ": the file holds no value to write (every value is \"no data\"); "
                                     "nothing was written");
        return;
    }
    write();
    const auto failed = [](std::vector<const Parameter*> list) {
        std::erase_if(list, [](const Parameter* p) { return p->error_text.empty(); });
        return list;
    };
    const std::string of = " of " + std::to_string(values.size()) + " values ";
    std::string why;
    if (const auto unsent = failed(unsendable); !unsent.empty())
        why = std::to_string(unsent.size()) + of + "could not be sent: " + some_labels(unsent);
    if (const auto unwritten = failed(empty); !unwritten.empty())
        why += (why.empty() ? "" : "; ") + std::to_string(unwritten.size()) + of +
               "hold no data and were not written: " + some_labels(unwritten);
    if (!why.empty()) fail(kStatusFileMissing, file + ": " + why);
    if (exit_code_of(doc.context().status.word()) != 0) return;
    // A failure that set no outcome of its own (a reply that could not be taken) still fails the job.
    if (const auto rest = failed({values.begin(), values.end()}); !rest.empty())
        fail(kStatusBadReply, port_device_path(doc.device().sio().settings.port_name) + ": " +
                                  std::string(exit_code_meaning(203)) + ": " + std::to_string(rest.size()) +
                                  of + "could not be written: " + some_labels(rest, true));
}

// After a read that failed: what was read goes beside the file it was to replace, which stays as it was.
// The note for the job's line on standard error.
std::string save_partial(CTarnDoc& doc, const std::string& file, JobResult& result) {
    const std::string partial = partial_file_name(file);
    std::error_code error;
    const bool existed = std::filesystem::exists(file, error);
    const SaveResult saved = save_configuration(partial, doc.tree_model_index(), doc.root());
    const std::string kept = existed ? file + " is left as it was" : file + " was not written";
    if (!saved.ok)
        return "; " + kept + ", and what was read could not be saved in " + partial + " either (" +
               last_line(saved.message) + ")";
    result.file_written = true;
    result.saved_path = partial;
    return "; what was read is saved in " + partial + ", " + kept;
}

// The job's one line for standard error when nothing more particular was said.
std::string failure_line(int code, CTarnDoc& doc, const JobResult& result) {
    const std::string port = port_device_path(doc.device().sio().settings.port_name);
    if (code == 201 && !doc.device().sio().open_error().empty()) return doc.device().sio().open_error();
    std::string line = std::string(exit_code_meaning(code));
    if (code >= 201 && code <= 206 && code != 205) line = port + ": " + line;
    if (result.failures > 0)
        line += " (" + std::to_string(result.failures) + " of " + std::to_string(result.parameters) +
                " parameters failed)";
    return line;
}

}  // namespace

struct CommandLineJob::State {
    explicit State(const CommandLine& command_line) : cl(command_line) {}

    const CommandLine& cl;
    std::optional<JobResult> refusal;
    JobResult result;
    FrameNames trace_names;
    Device* traced_device = nullptr;
    std::unique_ptr<TraceWriter> trace;
    CTarnDoc* doc = nullptr;
    std::unique_ptr<Watcher> watcher;
    // The exchange window closes before the worker has finished its task: what the task leaves to do
    // (the APLY after a write of network settings) is posted after that, so the job waits for the end.
    platform::Event task_finished{platform::Event::Reset::Manual};
    // Why each outcome bit was set, where the job knows more than the bit tells.
    std::map<int, std::string> reasons;
    enum class Pending { Nothing, Read, Write } pending = Pending::Nothing;
    bool job_asked = false;
    bool job_ran = false;
    std::string partial_note;  // where a failed read left what it read

    // The outcome word of the document's connection.
    StatusWord& status() { return doc->context().status; }
    void fail(StatusBit bit, std::string why) {
        status().set(bit);
        reasons[exit_code_of(bit)] = std::move(why);
    }
    bool exit_fired() const { return watcher && watcher->fired(); }
    // A tree that could not be built leaves the job with nothing to read or write.
    bool has_tree() {
        // A damaged description builds only a part of the model's tree.
        if (doc->root() && !doc->description().damaged()) return true;
        fail(kStatusNoDescription, doc->description_error);
        return false;
    }
    // The trace names the parameters of the tree once it is built.
    void name_tree() {
        if (doc->root()) trace_names.add_tree(*doc->root());
    }
    void run_task(bool ran) {
        // Bounded only as a guard: the worker ends every task it was given.
        if (ran) task_finished.wait(std::chrono::seconds(30));
        task_finished.reset();
    }
};

CommandLineJob::CommandLineJob(const CommandLine& command_line)
    : state_(std::make_unique<State>(command_line)) {
    State& s = *state_;
    const CommandLine& cl = command_line;
    if (cl.has(CommandLine::kWrite) && file_missing_or_empty(cl.file_name)) {
        JobResult refused;
        refused.exit_code = exit_code_of(kStatusFileMissing);
        refused.failure = cl.file_name.empty() ? "-write needs the file to write"
                                               : cl.file_name + ": the file to write is missing or empty";
        s.refusal = refused;
        return;
    }
    // The trace goes to its file from the first frame on; a file that cannot be written is refused
    // before the port is touched.
    if (cl.trace) {
        std::FILE* file = nullptr;
        if (!cl.trace->empty() && !(file = std::fopen(cl.trace->c_str(), "w"))) {
            JobResult refused;
            refused.exit_code = kBadCommandLineCode;
            refused.failure = "--trace:" + *cl.trace + ": the trace file cannot be written";
            s.refusal = refused;
            return;
        }
        // The address width the trace decodes with follows the port's settings (an APLY may change them).
        s.trace = std::make_unique<TraceWriter>(s.trace_names, file, [&s] {
            return s.traced_device ? s.traced_device->sio().settings.address_width : 8;
        });
    }
    s.job_asked = cl.has(CommandLine::kWrite) || cl.has(CommandLine::kRead);
}

CommandLineJob::~CommandLineJob() {
    if (state_->doc) state_->doc->device().sio().set_tap(nullptr);
}

const std::optional<JobResult>& CommandLineJob::refusal() const {
    return state_->refusal;
}

void CommandLineJob::attach(CTarnDoc& doc, std::function<void()> on_exit_event) {
    State& s = *state_;
    s.doc = &doc;
    // The job's outcome is what happens from here on.
    doc.context().status.reset();
    doc.device().silent = s.cl.has(CommandLine::kSilent);
    apply_command_line_settings(s.cl, doc);
    s.traced_device = &doc.device();
    if (s.trace) doc.device().sio().set_tap(s.trace.get());
    s.watcher = std::make_unique<Watcher>(s.cl.exit_event, doc.device(), std::move(on_exit_event));
    doc.device().on_command_line_task_finished = [&s] { s.task_finished.set(); };
}

bool CommandLineJob::prepare() {
    State& s = *state_;
    CTarnDoc& doc = *s.doc;
    const CommandLine& cl = s.cl;
    apply_command_line_after_connect(cl, doc);
    // Without a module found there is nothing to read or write; the connection said why.
    const bool module_found = doc.context().model.load() != kNoModel;
    if (doc.exit_request || s.exit_fired() || (!module_found && s.job_asked)) return false;
    if (cl.has(CommandLine::kWrite)) {
        const LoadResult loaded = doc.load_file(cl.file_name);
        if (loaded.status != LoadStatus::Loaded) {
            // Writing a tree that the file filled only in part would write defaults for the rest.
            s.fail(kStatusFileMissing,
                   cl.file_name + ": " + refused_file_reason(loaded, doc.context().model.load()));
        } else if (!loaded.refused.empty()) {
            // One rule for a typed value and a value from a file: the editor would refuse it.
            constexpr std::size_t kNamed = 3;
            std::string refused;
            for (std::size_t k = 0; k < loaded.refused.size() && k < kNamed; ++k)
                refused += (k ? "; " : "") + loaded.refused[k];
            if (loaded.refused.size() > kNamed)
                refused += "; and " + std::to_string(loaded.refused.size() - kNamed) + " more";
            s.fail(kStatusFileMissing, cl.file_name + ": " + refused + "; nothing was written");
        } else if (s.has_tree() && !s.exit_fired()) {
            s.name_tree();
            s.pending = State::Pending::Write;
        }
    } else if (cl.has(CommandLine::kRead)) {
        if (doc.new_document() && s.has_tree() && !s.exit_fired()) {
            s.name_tree();
            s.pending = State::Pending::Read;
        } else if (!doc.exit_request && !s.exit_fired()) {
            s.has_tree();
        }
    } else if (!cl.file_name.empty()) {
        doc.open_file(cl.file_name);
    } else {
        doc.new_document();
    }
    return true;
}

void CommandLineJob::exchange() {
    State& s = *state_;
    CTarnDoc& doc = *s.doc;
    const CommandLine& cl = s.cl;
    const auto pending = std::exchange(s.pending, State::Pending::Nothing);
    if (pending == State::Pending::Nothing || s.exit_fired()) return;
    const Fail fail = [&s](StatusBit bit, std::string why) { s.fail(bit, std::move(why)); };
    // New network settings written by the job are applied (with -aply) and followed without asking.
    doc.device().on_network_parameter_written = [&doc, &cl] {
        doc.apply_new_settings(true, cl.has(CommandLine::kAply));
    };
    if (pending == State::Pending::Write) {
        write_checked(doc, cl.file_name, fail, [&] { s.run_task(doc.write_all()); });
        s.job_ran = true;
        return;
    }
    s.run_task(doc.read_all());
    s.job_ran = true;
    if (const int code = exit_code_of(s.status().word()); code == 0 || code == 203) {
        // Replies that arrived but could not be taken (undecodable, of the wrong length) leave the
        // parameter failed as surely as a time-out does; the line names them.
        std::vector<const Parameter*> failed;
        collect_failed(*doc.root(), failed);
        if (!failed.empty())
            s.fail(kStatusBadReply, port_device_path(doc.device().sio().settings.port_name) + ": " +
                                        std::string(exit_code_meaning(203)) + ": " +
                                        std::to_string(failed.size()) +
                                        " parameters could not be read: " + some_labels(failed, true));
    }
    if (!cl.file_name.empty() && exit_code_of(s.status().word()) != 0) {
        // A read that failed or was stopped never replaces a configuration with a part of one.
        s.partial_note = save_partial(doc, cl.file_name, s.result);
    } else if (!cl.file_name.empty()) {
        const SaveResult saved = doc.save_file_reporting(cl.file_name);
        s.result.file_written = saved.ok;
        if (saved.ok) s.result.saved_path = cl.file_name;
        if (!saved.ok)
            s.fail(kStatusNotSaved, cl.file_name + ": " + std::string(exit_code_meaning(207)) + " (" +
                                        last_line(saved.message) + ")");
    }
}

bool CommandLineJob::waits_for_exit_event() const {
    const State& s = *state_;
    // Without "close", a run with an exit event stays until the event (or a signal) ends it.
    return !s.cl.has(CommandLine::kClose) && s.watcher && s.watcher->has_event() && !s.doc->exit_request;
}

bool CommandLineJob::ended_by_exit_event() const {
    return state_->exit_fired();
}

void CommandLineJob::wait_for_exit_event() const {
    if (waits_for_exit_event()) state_->watcher->wait();
}

JobResult CommandLineJob::finish() {
    State& s = *state_;
    CTarnDoc& doc = *s.doc;
    if (s.job_asked && !s.job_ran && exit_code_of(s.status().word()) == 0) {
        if (doc.device().silent) {
            s.fail(kStatusPortFailed, "-silent never opens the serial port; nothing was read or written");
        } else {
            s.fail(kStatusNoReply, "no module was found; nothing was read or written");
        }
    }
    JobResult result = std::move(s.result);
    result.model = std::string(display_name(doc.context().model.load()));
    if (doc.root()) result.failures = count_failures(*doc.root(), result.parameters);
    doc.close();
    doc.device().sio().set_tap(nullptr);
    s.watcher.reset();
    result.line = doc.device().sio().line_stats().snapshot();
    result.exit_code = exit_code_of(s.status().word());
    if (result.exit_code != 0) {
        const auto reason = s.reasons.find(result.exit_code);
        result.failure = reason != s.reasons.end() && !reason->second.empty()
                             ? reason->second
                             : failure_line(result.exit_code, doc, result);
        result.failure += s.partial_note;
    }
    // The document may go before the job does: nothing of the job touches it after this.
    s.doc = nullptr;
    return result;
}

JobResult run_command_line_job(const CommandLine& cl, std::unique_ptr<SerialBackend> backend,
                               const std::function<void(const std::string&)>& progress) {
    CommandLineJob job(cl);
    if (job.refusal()) return *job.refusal();
    HeadlessUi headless(false);
    if (progress) headless.set_progress_sink(progress);
    set_ui(&headless);
    Options options;
    JobResult result;
    {
        CTarnDoc doc(options, std::move(backend));
        doc.device().finish_grace = 0ms;
        job.attach(doc);
        doc.start(true, cl.has(CommandLine::kTest));
        if (job.prepare()) {
            job.exchange();
            headless.run_posted();
        }
        job.wait_for_exit_event();
        result = job.finish();
    }
    set_ui(nullptr);
    return result;
}

}  // namespace varda
