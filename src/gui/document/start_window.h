#pragma once

#include <QPointer>
#include <memory>
#include <optional>

#include "core/app/command_line/command_line.h"
#include "core/app/command_line/command_line_job.h"

namespace varda {
class CBrand;
class CTarnDoc;
struct Options;
}  // namespace varda

namespace varda::gui {

class MainWindow;

class WindowJob;

// Start-up in the window: connect with the stored settings and those of the command line (the connection
// dialog decides when that fails), take the command line's choices that follow the connection, build the
// document it names and show the main window with the parameter tree. Null when the user chose "Exit".
// With a job, the job connects (no connection dialog: the job's outcome says what failed) and builds the
// document, and its exchange runs once the window is shown.
std::unique_ptr<MainWindow> start_main_window(CTarnDoc& doc, Options& options, const CBrand& brand,
                                              const CommandLine& command_line, WindowJob* job = nullptr);

// A read or write of the command line in the main window: the same job as without a window, its progress
// in the exchange window. The window closes after it with -close, or when the exit event comes; without
// -close it stays open. Lives in the scope of its document, and is destroyed before it.
class WindowJob {
  public:
    WindowJob(CTarnDoc& doc, const CommandLine& command_line);
    ~WindowJob();

    // What ends the job before the port is touched (see CommandLineJob).
    const std::optional<JobResult>& refusal() const { return job_.refusal(); }
    // Connects and builds the job's document, before the window is made.
    void connect();
    // The window is shown: the exchange runs from its event loop; a placed window keeps its size until then.
    void shown_in(MainWindow& window, bool locked);
    // After the window session: closes the document and says what the job came to.
    JobResult finish() { return job_.finish(); }

  private:
    void run();
    void close_window();

    CTarnDoc& doc_;
    const CommandLine& command_line_;
    CommandLineJob job_;
    QPointer<MainWindow> window_;
    bool locked_ = false;
    bool exchanging_ = false;  // the exit event ends the exchange first; the window closes after it
};

// The exit code of a window session however it ends ("Exit" in the start-up connection dialog, the window
// closed): that of the status word, 0 when nothing failed.
int window_session_exit_code(CTarnDoc& doc);

// "-calibrate": the model's calibration, then the window closes. Calibration only talks to the module, so
// nothing the user changed waits to be saved.
void calibrate_and_close(MainWindow& window, CTarnDoc& doc);

}  // namespace varda::gui
