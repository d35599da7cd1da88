#include "gui/start_window.h"

#include "core/app/command_line_job.h"
#include "core/app/document.h"
#include "core/app/start_document.h"
#include "core/devices/menu_changes.h"
#include "gui/main_window.h"
#include "gui/startup_window.h"
#include "gui/tree_view.h"

namespace varda::gui {

std::unique_ptr<MainWindow> start_main_window(CTarnDoc& doc, Options& options, const CBrand& brand,
                                              const CommandLine& command_line) {
    apply_command_line_settings(command_line, doc);
    doc.start_after_connect(connect_at_start(doc.device()), false, false);
    // "Exit" in the connection dialog: the user does not want to go on.
    if (doc.exit_request) return nullptr;
    apply_command_line_after_connect(command_line, doc);
    open_start_document(doc, command_line);

    auto window = std::make_unique<MainWindow>(doc, options, brand);
    window->set_tree_view(new CTarnTreeListView(doc));
    window->showMaximized();
    return window;
}

void calibrate_and_close(MainWindow& window, CTarnDoc& doc) {
    window.run_command(kCmdCalibration);
    // What calibration read from the module is no change of the user's.
    doc.modified = false;
    window.close();
}

}  // namespace varda::gui
