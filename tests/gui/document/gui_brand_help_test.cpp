// The brand chosen at start or switched from the menu decides what the menus offer, and the choice is
// kept; Help opens the user guide shipped beside the program; About names the product and its build.
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QSettings>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTimer>
#include <QToolBar>
#include <QtTest>
#include <memory>

#include "core/app/command_line/brand_choice.h"
#include "core/app/command_line/command_line.h"
#include "core/app/document/document.h"
#include "core/app/document/menu_state.h"
#include "core/link/options.h"
#include "core/model/device_table.h"
#include "core/platform/settings_store.h"
#include "gui/document/help_window.h"
#include "gui/document/main_window.h"
#include "gui/document/start_window.h"
#include "gui/platform/qt_ui.h"
#include "sim/in_process_backend.h"
#include "tests/support/gui_test_support.h"

using namespace varda;
using namespace varda::test;

namespace {

constexpr int kVK03 = 3;

// Whether any menu (submenus included) holds an entry with this text.
bool menus_show(const gui::MainWindow& window, const QString& text) {
    std::function<bool(const QMenu*)> holds = [&](const QMenu* menu) {
        for (QAction* a : menu->actions())
            if (a->text() == text || (a->menu() && holds(a->menu()))) return true;
        return false;
    };
    for (QAction* a : window.menuBar()->actions())
        if (a->menu() && holds(a->menu())) return true;
    return false;
}

// The program's start over a VK03 module in process on the stored port "sim": the brand comes from the
// command line and the settings as in main().
struct Program {
    explicit Program(MemorySettingsStore& store) : module(served_module(kVK03)) {
        store.set_string(kSettingsGroup, "port", "sim");
        set_settings_store(&store);
        set_ui(&ui);
        doc = std::make_unique<CTarnDoc>(options, std::make_unique<sim::InProcessBackend>(module));
        doc->device().finish_grace = std::chrono::milliseconds(0);
    }
    ~Program() {
        if (doc) doc->modified = false;
        window.reset();
        doc.reset();
        set_ui(nullptr);
        set_settings_store(nullptr);
    }
    void start(const std::vector<std::string>& args) {
        const CommandLine command_line = parse_command_line(args);
        QVERIFY(command_line.errors.empty());
        const CBrand& brand = brand_object(start_brand(command_line, settings_store()));
        window = gui::start_main_window(*doc, options, brand, command_line);
        QVERIFY(window);
    }

    gui::QtUi ui;
    Options options;
    std::shared_ptr<sim::SimulatedModule> module;
    std::unique_ptr<CTarnDoc> doc;
    std::unique_ptr<gui::MainWindow> window;
};

const QString kCalibration = QStringLiteral("Calibration...");
const QString kExport = QStringLiteral("Export parameter list to HTML...");
const QString kInit = QStringLiteral("Execute INIT");

}  // namespace

class BrandHelpTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() {
        // The window's own settings (recent files) go to a folder of the test's own.
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings_dir_.path());
        QVERIFY(QDir().mkpath(screenshot_folder()));
    }

    void restrictedBrandByDefault() {
        MemorySettingsStore store;
        Program program(store);
        program.start({});
        QVERIFY(!menus_show(*program.window, kCalibration));
        QVERIFY(!menus_show(*program.window, kExport));
        QVERIFY(!menus_show(*program.window, kInit));
        QVERIFY(!program.window->action(kCmdServiceFunctions)->isChecked());
    }

    void brandOptionShowsCalibrationAndExportAndIsKept() {
        MemorySettingsStore store;
        {
            Program program(store);
            program.start({"-brand:kest"});
            QVERIFY(menus_show(*program.window, kCalibration));
            QVERIFY(menus_show(*program.window, kExport));
            QVERIFY(menus_show(*program.window, kInit));
            QVERIFY(program.window->action(kCmdServiceFunctions)->isChecked());
            // The module answered: calibration of the VK03 follows the model, the export is there to use.
            QVERIFY(program.window->action(kCmdExportHtml)->isEnabled());
        }
        // The next start without the option keeps the full brand.
        Program again(store);
        again.start({});
        QVERIFY(menus_show(*again.window, kCalibration));
        QVERIFY(again.window->action(kCmdServiceFunctions)->isChecked());
    }

    void serviceFunctionsSwitchesTheMenusAtOnce() {
        MemorySettingsStore store;
        Program program(store);
        program.start({});
        gui::MainWindow& window = *program.window;
        QAction* service = window.action(kCmdServiceFunctions);
        QVERIFY(service->isCheckable());

        service->trigger();
        QVERIFY(service->isChecked());
        QVERIFY(menus_show(window, kCalibration));
        QVERIFY(menus_show(window, kExport));
        QVERIFY(menus_show(window, kInit));
        QVERIFY(window.toolbar()->actions().contains(window.action(kCmdExecuteInit)));
        QCOMPARE(window.brand().id(), BrandId::Kest);
        QCOMPARE(store.get_string(kSettingsGroup, "brand").value_or(""), std::string("kest"));

        service->trigger();
        QVERIFY(!service->isChecked());
        QVERIFY(!menus_show(window, kCalibration));
        QVERIFY(!menus_show(window, kInit));
        QVERIFY(!window.toolbar()->actions().contains(window.action(kCmdExecuteInit)));
        QCOMPARE(store.get_string(kSettingsGroup, "brand").value_or(""), std::string("ravelin"));
    }

    void helpOpensTheUserGuide() {
        MemorySettingsStore store;
        Program program(store);
        program.start({});
        program.window->show();
        QAction* help = program.window->action(kCmdHelp);
        QVERIFY(help->isEnabled());
        help->trigger();

        gui::UserGuideWindow* guide = program.window->findChild<gui::UserGuideWindow*>();
        QVERIFY(guide);
        QVERIFY(QTest::qWaitForWindowExposed(guide));
        const QString text = guide->browser()->toPlainText();
        for (const char* topic : {"Connecting to a module", "Reading and writing", "Configuration files",
                                  "exit codes", "access code", "simulated module"})
            QVERIFY2(text.contains(QLatin1String(topic), Qt::CaseInsensitive), topic);
        // Asked again, the same window comes forward.
        help->trigger();
        QCOMPARE(program.window->findChildren<gui::UserGuideWindow*>().size(), 1);
        save_screenshot(guide->grab(), "user_guide");
        guide->close();
    }

    void aboutNamesTheProductVersionAndBuild() {
        QString shown;
        QTimer::singleShot(0, [&shown] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                shown = box->windowTitle() + QLatin1Char('\n') + box->text();
                box->accept();
            }
        });
        QWidget owner;
        gui::show_about(&owner);
        QVERIFY2(shown.contains(QStringLiteral("Varda")), qPrintable(shown));
        QVERIFY2(shown.contains(QStringLiteral(VARDA_VERSION)), qPrintable(shown));
        QVERIFY2(shown.contains(QStringLiteral("Build ")), qPrintable(shown));
        QVERIFY2(!shown.contains(QStringLiteral("Tavik")), qPrintable(shown));
    }

  private:
    QTemporaryDir settings_dir_;
};

QTEST_MAIN(BrandHelpTest)
#include "gui_brand_help_test.moc"
