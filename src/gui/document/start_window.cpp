#include "gui/document/start_window.h"

#include <QTimer>

#include "core/app/command_line/command_line_job.h"
#include "core/app/command_line/start_document.h"
#include "core/app/document/document.h"
#include "core/devices/menu_changes.h"
#include "core/link/exit_status.h"
#include "core/platform/ui.h"
#include "gui/connection/startup_window.h"
#include "gui/document/main_window.h"
#include "gui/platform/qt_ui.h"
#include "gui/tree/tree_view.h"

namespace varda::gui {

std::unique_ptr<MainWindow> start_main_window(CTarnDoc& doc, Options& options, const CBrand& brand,
                                              const CommandLine& command_line, WindowJob* job) {
    if (job) {
        job->connect();
    } else {
        apply_command_line_settings(command_line, doc);
        // -silent never opens the port: no connection at start, nor the connection dialog that would make
        // one.
        const bool silent = command_line.has(CommandLine::kSilent);
        doc.device().silent = silent;
        doc.start_after_connect(!silent && connect_at_start(doc.device()), silent, false);
        // "Exit" in the connection dialog: the user does not want to go on.
        if (doc.exit_request) return nullptr;
        apply_command_line_after_connect(command_line, doc);
        open_start_document(doc, command_line);
    }

    auto window = std::make_unique<MainWindow>(doc, options, brand);
    window->set_tree_view(new ConfigurationTreePane(doc));
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
    if (job) job->shown_in(*window, placement.kind == WindowPlacement::Kind::Placed);
    return window;
}

namespace {

// Nobody is asked while the job runs: its outcome says what failed.
void set_unattended(bool unattended) {
    if (QtUi* qt = qt_ui()) qt->set_unattended(unattended);
}

}  // namespace

WindowJob::WindowJob(CTarnDoc& doc, const CommandLine& command_line)
    : doc_(doc), command_line_(command_line), job_(command_line) {}

WindowJob::~WindowJob() {
    set_unattended(false);
}

void WindowJob::connect() {
    set_unattended(true);
    // The watcher's thread asks the window's thread to close it.
    job_.attach(doc_, [this] {
        ui().post([this] {
            if (!exchanging_) close_window();
        });
    });
    const bool silent = command_line_.has(CommandLine::kSilent);
    doc_.start_after_connect(!silent && connect_at_start(doc_.device()), true, false);
    job_.prepare();
}

void WindowJob::shown_in(MainWindow& window, bool locked) {
    window_ = &window;
    // A window placed by the command line keeps its place and size while the job runs.
    locked_ = locked;
    if (locked_) window.setFixedSize(window.size());
    QTimer::singleShot(0, &window, [this] { run(); });
}

void WindowJob::run() {
    exchanging_ = true;
    job_.exchange();
    exchanging_ = false;
    set_unattended(false);
    // The title names the file the job saved.
    if (doc_.refresh_views) doc_.refresh_views();
    if (window_ && locked_) {
        window_->setMinimumSize(0, 0);
        window_->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    }
    // What the exchange posted (following new network settings) runs before the window closes.
    if (window_ && (command_line_.has(CommandLine::kClose) || job_.ended_by_exit_event()))
        QTimer::singleShot(0, window_.data(), [this] { close_window(); });
}

void WindowJob::close_window() {
    if (!window_) return;
    // The job saved what it read, and the exit event asks to end without questions.
    doc_.modified = false;
    window_->close();
}

int window_session_exit_code(CTarnDoc& doc) {
    return exit_code_of(doc.context().status.word());
}

void calibrate_and_close(MainWindow& window, CTarnDoc& doc) {
    window.run_command(kCmdCalibration);
    // What calibration read from the module is no change of the user's.
    doc.modified = false;
    window.close();
}

}  // namespace varda::gui
