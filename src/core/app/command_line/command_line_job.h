#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "core/app/command_line/command_line.h"
#include "core/link/line_stats.h"
#include "core/link/serial_backend.h"

namespace varda {

class CTarnDoc;
namespace Elements {
class NetRS485prg;
}

// What a command-line job came to.
struct JobResult {
    int exit_code = 0;
    std::string failure;  // why the job failed, one line for standard error; "" when it exited 0
    std::string model;    // the model found
    int parameters = 0;   // parameters in the tree
    int failures = 0;     // parameters whose last exchange failed
    bool file_written = false;
    std::string saved_path;  // the file written: the one named, or NAME.partial.vdc after a failed read
    LineCounters line;       // what the line did during the job
};

// One job of a command line on a document, the same with the window and without: the caller makes the
// user interface and the document, then calls attach, connects, prepare, exchange, wait_for_exit_event and
// finish in this order. The job is destroyed before its document.
class CommandLineJob {
  public:
    explicit CommandLineJob(const CommandLine& command_line);  // keeps a reference to it
    ~CommandLineJob();
    CommandLineJob(const CommandLineJob&) = delete;
    CommandLineJob& operator=(const CommandLineJob&) = delete;

    // What ends the job before a document is made (the file to write missing, a trace file that cannot be
    // written); nothing when it can start.
    const std::optional<JobResult>& refusal() const;
    // Before the connection: the command line's port settings, -silent, the trace and the exit event.
    // on_exit_event runs on a thread of its own when the exit event or SIGTERM/SIGINT ends the run.
    void attach(CTarnDoc& doc, std::function<void()> on_exit_event = {});
    // After the connection: builds the tree the job works on (the module's for a read, the file's for a
    // write). False when the run ends here (-test, the exit event, no module for a read or write).
    bool prepare();
    // The read (saving the file, or what was read beside it after a failure) or the write.
    void exchange();
    // Without -close, a run with an exit event stays until the event (or a signal) ends it.
    bool waits_for_exit_event() const;
    void wait_for_exit_event() const;
    // Whether the exit event (or a signal) has ended the run.
    bool ended_by_exit_event() const;
    // Closes the document and says what the job came to.
    JobResult finish();

  private:
    struct State;
    std::unique_ptr<State> state_;
};

// Runs the job of a command line without any window: connect, then read (and save the file) or write (the
// file), follow new network settings with aply. The exit code is that of the status word; a job that did
// nothing never ends with 0.
JobResult run_command_line_job(const CommandLine& command_line, std::unique_ptr<SerialBackend> backend,
                               const std::function<void(const std::string&)>& progress = {});

// The port settings the command line named, into the configurator's own network element.
void apply_port_settings(const CommandLine& command_line, Elements::NetRS485prg& network);

// Gives the configurator the port settings and the error log that the command line named.
void apply_command_line_settings(const CommandLine& command_line, CTarnDoc& doc);
// After the start-up connection: the adapter choice and "Read automatically" that the command line named.
void apply_command_line_after_connect(const CommandLine& command_line, CTarnDoc& doc);

// Whether the command line names a job (read, write, calibrate, test) rather than only settings.
bool names_a_job(const CommandLine& command_line);

}  // namespace varda
