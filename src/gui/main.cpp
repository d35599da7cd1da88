#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/app/command_line.h"
#include "core/app/command_line_job.h"
#include "core/link/posix_serial_backend.h"
#include "gui/main_window.h"
#include "gui/qt_settings_store.h"

namespace {

int run_job(const varda::CommandLine& command_line) {
    auto progress = [](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); };
    const int code = varda::run_command_line_job(command_line, std::make_unique<varda::PosixSerialBackend>(),
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
    const varda::CommandLine command_line = varda::parse_command_line(std::vector<std::string>(argv + 1, argv + argc));
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

    // Jobs from the command line run without windows, so they work over SSH and in scripts.
    if (command_line.command_line_mode()) return run_job(command_line);

    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("KEST"));
    QApplication::setApplicationName(QStringLiteral("Varda"));
    varda::gui::MainWindow window;
    window.show();
    return app.exec();
}
