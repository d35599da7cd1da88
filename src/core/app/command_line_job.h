#pragma once

#include <functional>
#include <memory>
#include <string>

#include "core/app/command_line.h"
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
