#pragma once

#include <functional>
#include <memory>
#include <string>

#include "core/app/command_line.h"
#include "core/link/serial_backend.h"

namespace varda {

class CTarnDoc;

// Runs the job of a command line without any window: connect, then read (and save the file) or write (the
// file), follow new network settings with aply, and return the exit code of the status word.
int run_command_line_job(const CommandLine& command_line, std::unique_ptr<SerialBackend> backend,
                         const std::function<void(const std::string&)>& progress = {});

// Gives the configurator the port settings and the error log that the command line named.
void apply_command_line_settings(const CommandLine& command_line, CTarnDoc& doc);
// After the start-up connection: the adapter choice and "Read automatically" that the command line named.
void apply_command_line_after_connect(const CommandLine& command_line, CTarnDoc& doc);

// Whether the command line names a job (read, write, calibrate, test) rather than only settings.
bool names_a_job(const CommandLine& command_line);

// Summary of the last job for the main job's output: model, parameters read, failures.
struct JobSummary {
    std::string model;
    int parameters = 0;
    int failures = 0;
};
JobSummary last_job_summary();

}  // namespace varda
