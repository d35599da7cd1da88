#include "gui/start_window.h"

#include "core/app/command_line_job.h"
#include "core/app/document.h"
#include "core/app/start_document.h"
#include "core/devices/menu_changes.h"
#include "core/link/exit_status.h"
#include "gui/main_window.h"
#include "gui/startup_window.h"
#include "gui/tree_view.h"

namespace varda::gui {

std::unique_ptr<MainWindow> start_main_window(CTarnDoc& doc, Options& options, const CBrand& brand,
                                              const CommandLine& command_line) {
    apply_command_line_settings(command_line, doc);
    // -silent never opens the port: no connection at start, nor the connection dialog that would make one.
    const bool silent = command_line.has(CommandLine::kSilent);
    doc.device().silent = silent;
    doc.start_after_connect(!silent && connect_at_start(doc.device()), silent, false);
    // "Exit" in the connection dialog: the user does not want to go on.
    if (doc.exit_request) return nullptr;
    apply_command_line_after_connect(command_line, doc);
    open_start_document(doc, command_line);

    auto window = std::make_unique<MainWindow>(doc, options, brand);
    window->set_tree_view(new CTarnTreeListView(doc));
    const WindowPlacement placement = window_placement(command_line);
    switch (placement.kind) {
        case WindowPlacement::Kind::Minimised:
            window->showMinimized();
            break;
        case WindowPlacement::Kind::Placed:
            window->move(placement.x, placement.y);
            window->resize(placement.w, placement.h);
            window->show();
            break;
        case WindowPlacement::Kind::Maximised:
            window->showMaximized();
            break;
    }
    return window;
}

int window_session_exit_code() {
    return exit_code_of(status_word());
}

void calibrate_and_close(MainWindow& window, CTarnDoc& doc) {
    window.run_command(kCmdCalibration);
    // What calibration read from the module is no change of the user's.
    doc.modified = false;
    window.close();
}

}  // namespace varda::gui
