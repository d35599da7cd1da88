#pragma once

#include <memory>

#include "core/app/command_line.h"

namespace varda {
class CBrand;
class CTarnDoc;
struct Options;
}  // namespace varda

namespace varda::gui {

class MainWindow;

// Start-up in the window: connect with the stored settings and those of the command line (the connection
// dialog decides when that fails), take the command line's choices that follow the connection, build the
// document it names and show the main window with the parameter tree. Null when the user chose "Exit".
std::unique_ptr<MainWindow> start_main_window(CTarnDoc& doc, Options& options, const CBrand& brand,
                                              const CommandLine& command_line);

// The exit code of a window session however it ends ("Exit" in the start-up connection dialog, the window
// closed): that of the status word, 0 when nothing failed.
int window_session_exit_code();

// "-calibrate": the model's calibration, then the window closes. Calibration only talks to the module, so
// nothing the user changed waits to be saved.
void calibrate_and_close(MainWindow& window, CTarnDoc& doc);

}  // namespace varda::gui
