#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "core/app/brand_choice.h"
#include "core/app/command_line.h"
#include "core/app/command_line_job.h"
#include "core/app/document.h"
#include "core/link/options.h"
#include "core/platform/language.h"
#include "core/platform/settings_store.h"
#include "core/app/menu_state.h"
#include "core/devices/brand.h"
#include "core/link/posix_serial_backend.h"
#include "gui/main_window.h"
#include "gui/qt_settings_store.h"
#include "gui/qt_ui.h"
#include "gui/start_window.h"

namespace {

constexpr int kBadCommandLine = 2;
constexpr int kDefaultAddressLength = 8;

int run_job(const varda::CommandLine& command_line) {
    auto progress = [](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); };
    const varda::JobResult result = varda::run_command_line_job(
        command_line, std::make_unique<varda::PosixSerialBackend>(),
        command_line.verbose ? progress : std::function<void(const std::string&)>{});
    if (command_line.summary) {
        std::printf("model: %s\nparameters: %d\nfailures: %d\nexit code: %d\n", result.model.c_str(),
                    result.parameters, result.failures, result.exit_code);
        if (result.file_written) std::printf("file: %s\n", command_line.file_name.c_str());
    }
    if (result.exit_code != 0) std::fprintf(stderr, "varda: %s\n", result.failure.c_str());
    return result.exit_code;
}

}  // namespace

int main(int argc, char* argv[]) {
    varda::CommandLine command_line =
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

    // Every value is checked before the port is touched.
    varda::check_address(
        command_line,
        settings.get_int(varda::kSettingsGroup, "address_length").value_or(kDefaultAddressLength));
    for (const auto& warning : command_line.warnings)
        std::fprintf(stderr, "varda: warning: %s\n", warning.c_str());
    for (const auto& error : command_line.errors)
        std::fprintf(stderr, "varda: %s\n", error.c_str());
    if (!command_line.errors.empty()) return kBadCommandLine;
    // The restricted brand unless the command line or the stored choice asks for the full one; a brand
    // named on the command line is kept, jobs included.
    const varda::BrandId brand_id = varda::start_brand(command_line, settings);

    // Jobs from the command line run without windows, so they work over SSH and in scripts. Options that
    // only name settings (a port, a baud rate) open the window with them.
    const bool display = std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY");
    const bool job = varda::names_a_job(command_line);
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
    if (job && !calibrate) {
        // Calibration comes before a read, so without a display nothing of what was asked can run.
        if (command_line.has(varda::CommandLine::kCalibrate) &&
            !command_line.has(varda::CommandLine::kWrite)) {
            std::fputs("varda: calibration needs a display; nothing was calibrated\n", stderr);
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
    const varda::Language language = varda::language_of_locale(QLocale::system().name().toStdString());
    varda::set_text_language(language);
    QTranslator qt_texts;
    if (language == varda::Language::russian &&
        qt_texts.load(QStringLiteral("qtbase_ru"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qt_texts);

    varda::gui::QtUi qt_ui;
    varda::set_ui(&qt_ui);
    struct RestoreUi {
        ~RestoreUi() { varda::set_ui(nullptr); }
    } restore_ui;

    varda::Options options;
    const varda::CBrand& brand = varda::brand_object(brand_id);
    varda::CTarnDoc doc(options, std::make_unique<varda::PosixSerialBackend>());
    qt_ui.set_connection_target(&doc.device(), &options, &brand);

    int code = 0;
    {
        auto window = varda::gui::start_main_window(doc, options, brand, command_line);
        if (!window) return 0;
        if (calibrate)
            QTimer::singleShot(0, window.get(),
                               [&window, &doc] { varda::gui::calibrate_and_close(*window, doc); });
        code = app.exec();
    }
    doc.close();
    return code;
}
