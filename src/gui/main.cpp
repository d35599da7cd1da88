#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "core/app/command_line.h"
#include "core/app/command_line_job.h"
#include "core/app/document.h"
#include "core/app/menu_state.h"
#include "core/link/options.h"
#include "core/devices/brand.h"
#include "core/link/posix_serial_backend.h"
#include "gui/main_window.h"
#include "gui/qt_settings_store.h"
#include "gui/qt_ui.h"
#include "gui/tree_view.h"

namespace {

int run_job(const varda::CommandLine& command_line) {
    auto progress = [](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); };
    const int code = varda::run_command_line_job(
        command_line, std::make_unique<varda::PosixSerialBackend>(),
        command_line.verbose ? progress : std::function<void(const std::string&)>{});
    if (command_line.summary) {
        const auto summary = varda::last_job_summary();
        std::printf("model: %s\nparameters: %d\nfailures: %d\nexit code: %d\n", summary.model.c_str(),
                    summary.parameters, summary.failures, code);
        if (!command_line.file_name.empty()) std::printf("file: %s\n", command_line.file_name.c_str());
    }
    return code;
}

}  // namespace

int main(int argc, char* argv[]) {
    const varda::CommandLine command_line =
        varda::parse_command_line(std::vector<std::string>(argv + 1, argv + argc));
    if (command_line.help) {
        std::fputs(varda::command_line_help().c_str(), stdout);
        return 0;
    }
    if (command_line.version) {
        std::printf("varda %s\n", VARDA_VERSION);
        return 0;
    }
    // The configurator's port settings persist between runs, jobs included.
    varda::gui::QtSettingsStore settings;
    varda::set_settings_store(&settings);
    struct Restore {
        ~Restore() { varda::set_settings_store(nullptr); }
    } restore;

    // Jobs from the command line run without windows, so they work over SSH and in scripts. Options that
    // only name settings (a port, a baud rate) open the window with them when there is a display.
    const bool display = std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY");
    // Calibration asks the engineer at every step, so it runs in the window, which closes after it.
    const bool calibrate = display && command_line.has(varda::CommandLine::kCalibrate) &&
                           !command_line.has(varda::CommandLine::kWrite);
    if (command_line.command_line_mode() && (varda::names_a_job(command_line) || !display) && !calibrate) {
        if (command_line.has(varda::CommandLine::kCalibrate) && !display)
            std::fputs("varda: calibration needs a display; nothing was calibrated\n", stderr);
        return run_job(command_line);
    }

    if (!display) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("KEST"));
    QApplication::setApplicationName(QStringLiteral("Varda"));

    varda::gui::QtUi qt_ui;
    varda::set_ui(&qt_ui);
    struct RestoreUi {
        ~RestoreUi() { varda::set_ui(nullptr); }
    } restore_ui;

    varda::Options options;
    const varda::CBrandRavelin brand;
    varda::CTarnDoc doc(options, std::make_unique<varda::PosixSerialBackend>());
    varda::apply_command_line_settings(command_line, doc);
    qt_ui.set_connection_target(&doc.device(), &options, &brand);
    doc.start(false, false);
    // "Exit" in the connection dialog: the user does not want to go on.
    if (doc.exit_request) return 0;
    doc.new_document();

    int code = 0;
    {
        varda::gui::MainWindow window(doc, options, brand);
        window.set_tree_view(new varda::gui::CTarnTreeListView(doc));
        window.showMaximized();
        if (calibrate) {
            QTimer::singleShot(0, &window, [&window] {
                window.run_command(varda::kCmdCalibration);
                window.close();
            });
        }
        code = app.exec();
    }
    doc.close();
    return code;
}
