#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTimer>
#include <QTranslator>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "core/app/command_line/brand_choice.h"
#include "core/app/command_line/command_line.h"
#include "core/app/command_line/command_line_job.h"
#include "core/app/command_line/scan_job.h"
#include "core/app/command_line/text_jobs.h"
#include "core/app/document/document.h"
#include "core/app/document/menu_state.h"
#include "core/app/files/config_file.h"
#include "core/devices/brand.h"
#include "core/link/network_backend.h"
#include "core/link/options.h"
#include "core/platform/language.h"
#include "core/platform/settings_store.h"
#include "gui/document/main_window.h"
#include "gui/document/start_window.h"
#include "gui/platform/qt_settings_store.h"
#include "gui/platform/qt_ui.h"
#include "gui/platform/screen_language.h"

namespace {

constexpr int kBadCommandLine = 2;
constexpr int kDefaultAddressLength = 8;

// What a job came to, with or without the window: the statistics, the summary and the failure's line.
int report_job(const varda::CommandLine& command_line, const varda::JobResult& result) {
    int exit_code = result.exit_code;
    std::string failure = result.failure;
    if (command_line.stats_json) {
        const std::string json = varda::line_counters_json(result.line) + "\n";
        if (command_line.stats_json->empty()) {
            std::fputs(json.c_str(), stdout);
        } else if (const varda::SaveResult saved = varda::write_file_replacing(
                       *command_line.stats_json,
                       std::span(reinterpret_cast<const std::uint8_t*>(json.data()), json.size()));
                   !saved.ok && exit_code == 0) {
            // The job's own failure says more; a job that succeeded still did not deliver what was asked.
            exit_code = kBadCommandLine;
            failure =
                *command_line.stats_json + ": the statistics could not be written (" + saved.message + ")";
        }
    }
    if (command_line.summary) {
        std::printf("model: %s\nparameters: %d\nfailures: %d\nexit code: %d\n", result.model.c_str(),
                    result.parameters, result.failures, exit_code);
        if (result.file_written) std::printf("file: %s\n", result.saved_path.c_str());
        std::printf("line: %s\n", varda::line_counters_text(result.line).c_str());
    }
    if (exit_code != 0) std::fprintf(stderr, "varda: %s\n", failure.c_str());
    return exit_code;
}

int run_job(const varda::CommandLine& command_line) {
    auto progress = [](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); };
    return report_job(command_line,
                      varda::run_command_line_job(
                          command_line, std::make_unique<varda::PortBackend>(),
                          command_line.verbose ? progress : std::function<void(const std::string&)>{}));
}

int run_scan(const std::vector<std::string>& args) {
    const varda::ScanCommand command = varda::parse_scan_command_line(args);
    auto progress = [](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); };
    const varda::ScanJobResult result =
        varda::run_scan_job(command, std::make_unique<varda::PortBackend>(),
                            command.line.verbose ? progress : std::function<void(const std::string&)>{});
    std::fputs(result.output.c_str(), stdout);
    if (result.exit_code != 0) std::fprintf(stderr, "varda: %s\n", result.failure.c_str());
    return result.exit_code;
}

}  // namespace

int main(int argc, char* argv[]) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    varda::CommandLine command_line = varda::parse_command_line(args);
    if (command_line.help) {
        std::fputs(varda::command_line_help().c_str(), stdout);
        return 0;
    }
    if (command_line.version) {
        std::printf("varda %s\n", VARDA_VERSION);
        return 0;
    }
    // Jobs on configuration files alone need neither a port nor a display.
    if (varda::asks_for_text_job(args)) {
        const varda::TextJobResult result = varda::run_text_job(args);
        std::fputs(result.output.c_str(), stdout);
        for (const auto& warning : result.warnings)
            std::fprintf(stderr, "varda: warning: %s\n", warning.c_str());
        for (const auto& error : result.errors)
            std::fprintf(stderr, "varda: %s\n", error.c_str());
        if (!result.failure.empty()) std::fprintf(stderr, "varda: %s\n", result.failure.c_str());
        return result.exit_code;
    }
    // The configurator's port settings persist between runs, jobs included.
    varda::gui::QtSettingsStore settings;
    varda::set_settings_store(&settings);
    struct Restore {
        ~Restore() { varda::set_settings_store(nullptr); }
    } restore;

    // Finding the modules on a line is a job of its own, with lists and ranges where jobs take one value.
    if (varda::asks_for_scan(args)) return run_scan(args);

    // Every value is checked before the port is touched.
    varda::check_address(
        command_line,
        settings.get_int(varda::kSettingsGroup, "address_length").value_or(kDefaultAddressLength));
    for (const auto& warning : command_line.warnings)
        std::fprintf(stderr, "varda: warning: %s\n", warning.c_str());
    // A gateway switches the RS-485 direction itself: direction by RTS means nothing there.
    if (varda::is_gateway_port(command_line.port) && (command_line.adapter == 1 || command_line.adapter == 3))
        command_line.errors.push_back(
            "-rs485:" + std::string(command_line.adapter == 1 ? "auto" : "on") +
            ": semi-automatic direction control cannot be used over a network gateway "
            "(the gateway switches direction itself); leave it out or use -rs485:off");
    for (const auto& error : command_line.errors)
        std::fprintf(stderr, "varda: %s\n", error.c_str());
    if (!command_line.errors.empty()) return kBadCommandLine;
    // The restricted brand unless the command line or the stored choice asks for the full one; a brand
    // named on the command line is kept, jobs included.
    const varda::BrandId brand_id = varda::start_brand(command_line, settings);

    // Without a display (over SSH, in scripts) or with --no-window, jobs from the command line run without
    // the window. Options that only name settings (a port, a baud rate) open the window with them.
    const bool job = varda::names_a_job(command_line);
    if (command_line.no_window && !job) {
        std::fputs(
            "varda: --no-window runs a job, and no job (-read, -write, -test) was given; "
            "see varda --help\n",
            stderr);
        return kBadCommandLine;
    }
    const bool display =
        !command_line.no_window && (std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY"));
    if (!display && !job) {
        std::fputs(
            "varda: there is no display for the window, and no job (-read, -write, -test) was given; "
            "see varda --help\n",
            stderr);
        return kBadCommandLine;
    }
    // Calibration asks the engineer at every step, so it runs in the window, which closes after it.
    const bool calibrate = display && command_line.has(varda::CommandLine::kCalibrate) &&
                           !command_line.has(varda::CommandLine::kWrite);
    // A read or a write shows the window with its progress when there is a display.
    const bool window_job =
        display && !calibrate &&
        (command_line.has(varda::CommandLine::kRead) || command_line.has(varda::CommandLine::kWrite));
    if (job && !calibrate && !window_job) {
        // Calibration comes before a read, so without a display nothing of what was asked can run.
        if (command_line.has(varda::CommandLine::kCalibrate) &&
            !command_line.has(varda::CommandLine::kWrite)) {
            std::fputs(command_line.no_window
                           ? "varda: calibration needs the window, which --no-window leaves closed; nothing "
                             "was calibrated\n"
                           : "varda: calibration needs a display; nothing was calibrated\n",
                       stderr);
            return kBadCommandLine;
        }
        return run_job(command_line);
    }

    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("KEST"));
    QApplication::setApplicationName(QStringLiteral("Varda"));
    // The desktop shows the window with the installed program's entry and icon.
    QApplication::setDesktopFileName(QStringLiteral("varda"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/varda.svg")));

    // Every text on screen in one language: Russian under a Russian locale, English under any other.
    const varda::gui::ScreenLanguage language(varda::gui::ScreenLanguage::of_system());

    varda::gui::QtUi qt_ui;
    varda::set_ui(&qt_ui);
    struct RestoreUi {
        ~RestoreUi() { varda::set_ui(nullptr); }
    } restore_ui;

    varda::Options options;
    const varda::CBrand& brand = varda::brand_object(brand_id);
    varda::CTarnDoc doc(options, std::make_unique<varda::PortBackend>());
    qt_ui.set_connection_target(&doc.device(), &options, &brand);

    if (window_job) {
        varda::gui::WindowJob window_job_run(doc, command_line);
        if (window_job_run.refusal()) return report_job(command_line, *window_job_run.refusal());
        {
            auto window = varda::gui::start_main_window(doc, options, brand, command_line, &window_job_run);
            app.exec();
        }
        return report_job(command_line, window_job_run.finish());
    }
    int code = 0;
    {
        auto window = varda::gui::start_main_window(doc, options, brand, command_line);
        if (!window) return varda::gui::window_session_exit_code(doc);
        if (calibrate)
            QTimer::singleShot(0, window.get(),
                               [&window, &doc] { varda::gui::calibrate_and_close(*window, doc); });
        code = app.exec();
    }
    doc.close();
    return code != 0 ? code : varda::gui::window_session_exit_code(doc);
}
