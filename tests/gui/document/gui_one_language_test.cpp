// Every window and dialog other than calibration's, opened once in English and once in Russian: each text a
// user reads there is in that one language. Parameter and branch names come from the model's description
// and stay as it gives them, so the tree's rows and the lists filled from the description are not read.
// Each window is also rendered to <build>/screenshots/lang, for a person to look for clipped texts.
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTextDocumentFragment>
#include <QToolBar>
#include <QTreeView>
#include <QTreeWidget>
#include <QtTest>
#include <chrono>
#include <memory>

#include "core/app/connection/connection_status.h"
#include "core/app/document/document.h"
#include "core/app/document/menu_state.h"
#include "core/app/files/paths.h"
#include "core/devices/brand.h"
#include "core/link/options.h"
#include "core/model/device_table.h"
#include "core/model/tree_rows.h"
#include "core/platform/settings_store.h"
#include "core/platform/ui.h"
#include "gui/calibration/tare_weight_dialog.h"
#include "gui/connection/apply_dialog.h"
#include "gui/connection/bus_scan_dialog.h"
#include "gui/connection/connection_indicator.h"
#include "gui/connection/select_device_dialog.h"
#include "gui/connection/setup_carrier.h"
#include "gui/connection/startup_window.h"
#include "gui/document/differences_window.h"
#include "gui/document/help_window.h"
#include "gui/document/main_window.h"
#include "gui/document/progress_dialog.h"
#include "gui/platform/qt_text.h"
#include "gui/platform/qt_ui.h"
#include "gui/platform/screen_language.h"
#include "gui/service/bus_monitor_window.h"
#include "gui/service/io_status_dialog.h"
#include "gui/service/simulator_panel.h"
#include "gui/service/single_point_dialog.h"
#include "gui/tree/tree_filter_bar.h"
#include "gui/tree/tree_view.h"
#include "sim/in_process_backend.h"
#include "tests/support/gui_test_support.h"
#include "tests/support/main_window_rig.h"
#include "tests/support/screen_texts.h"

using namespace varda;
using namespace varda::test;
using namespace std::chrono_literals;

namespace {

constexpr int kVK03 = 3;
constexpr int kVK14 = 14;

// The main window of the full brand over a VK03 read whole, with its tree and the filter bar shown.
struct MainRig : MainWindowRig {
    explicit MainRig(std::shared_ptr<sim::SimulatedModule> served = served_module(kVK03))
        : MainWindowRig(served, CBrandKest()), module(std::move(served)) {
        connect();
        view = new gui::ConfigurationTreePane(*doc);
        window->set_tree_view(view);
        window->resize(1100, 700);
        window->show();
    }
    std::shared_ptr<sim::SimulatedModule> module;
    gui::ConfigurationTreePane* view = nullptr;
};

// The program's own words in the tree's rows: the error, access and user columns (names and values come
// from the description and the module).
void take_tree_notes(ScreenTexts& texts, const QAbstractItemModel& model, const QModelIndex& parent = {}) {
    for (int row = 0; row < model.rowCount(parent); ++row) {
        for (const int column : {kColumnAccess, kColumnUser, kColumnError})
            texts.add(QStringLiteral("tree cell"), model.index(row, column, parent).data().toString());
        take_tree_notes(texts, model, model.index(row, 0, parent));
    }
}

}  // namespace

class OneLanguageTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings_dir_.path());
        set_settings_store(&store_);
        Q_INIT_RESOURCE(icons);
    }
    void init() { set_settings_store(&store_); }
    void cleanupTestCase() { set_settings_store(nullptr); }

    void mainWindow_data() { each_language(); }
    void mainWindow() {
        QFETCH(Language, language);
        const gui::ScreenLanguage screen(language);
        MainRig rig;
        QVERIFY(QTest::qWaitForWindowExposed(rig.window.get()));
        QVERIFY(rig.doc->read_all());
        rig.view->filter_bar().start();
        // The read's summary in the status bar ("Read 43 parameters, ...").
        QTRY_VERIFY(rig.window->status_line().contains(QRegularExpression(QStringLiteral("[0-9]"))));
        ScreenTexts texts;
        texts.take(rig.window.get(), {&rig.view->tree()});
        for (const QAction* top : rig.window->menuBar()->actions())
            if (top->menu()) texts.take_menu(top->menu());
        CHECK_ONE_LANGUAGE(texts, language);
        save_picture(rig.window.get(), "main_window", language);

        // A read stopped part of the way: the rows it never reached say so.
        rig.module->set_faults({.reply_delay = 5ms});
        Script stopping({[&] {
            auto* window = modal<gui::ProgressDialog>();
            if (!window || window->lines().size() < 5) return false;
            click_later(window->cancel_button());
            return true;
        }});
        QVERIFY(rig.doc->read_all());
        QCOMPARE(stopping.steps_done(), std::size_t(1));
        ScreenTexts rows;
        take_tree_notes(rows, rig.view->model());
        QVERIFY(rows.contains(gui::qtext("Not read: the exchange was stopped")));
        rig.view->tree().expand_quietly(rig.view->model().last_child(rig.view->root_item()));
        rig.window->update_from_document();
        save_picture(rig.window.get(), "main_window_stopped_read", language);
        CHECK_ONE_LANGUAGE(rows, language);
    }

    void connectionDialog_data() { each_language(); }
    void connectionDialog() {
        QFETCH(Language, language);
        const gui::ScreenLanguage screen(language);
        MemorySettingsStore store;
        store.set_string(kSettingsGroup, "port", "/dev/ttyS0");
        set_settings_store(&store);
        gui::QtUi ui;
        set_ui(&ui);
        Options options;
        const CBrandKest brand;
        {
            CTarnDoc doc(options, std::make_unique<sim::InProcessBackend>(nullptr));
            gui::ConnectionSetupDialog dialog(doc.device(), options, brand, true);
            dialog.show();
            QVERIFY(QTest::qWaitForWindowExposed(&dialog));
            ScreenTexts texts;
            // Nothing answers on the port, and no port is there at all.
            dialog.offer_simulated_module(false);
            QTest::mouseClick(dialog.connect_button(), Qt::LeftButton);
            QTRY_VERIFY(dialog.status_alarm());
            texts.take(&dialog);
            save_picture(&dialog, "connection_dialog", language);
            dialog.offer_simulated_module(true);
            texts.take(&dialog);
            CHECK_ONE_LANGUAGE(texts, language);

            // The simulated module tried last is the port the table shows.
            doc.device().program_network().FindOwnParameter("Port")->SetValueText(kSimulatedPortName);
            gui::ConnectionSetupDialog again(doc.device(), options, brand, true);
            ScreenTexts port;
            port.take(&again);
            QVERIFY(port.contains(gui::qtext("simulated module")));
            save_picture(&again, "connection_dialog_simulated", language);
            CHECK_ONE_LANGUAGE(port, language);

            ScreenTexts select;
            gui::SelectDeviceDialog devices(brand);
            select.take(&devices);
            save_picture(&devices, "select_device", language);
            CHECK_ONE_LANGUAGE(select, language);
        }
        set_ui(nullptr);
    }

    void startupWindow_data() { each_language(); }
    void startupWindow() {
        QFETCH(Language, language);
        const gui::ScreenLanguage screen(language);
        ModelDocumentRig rig;
        rig.serve(kVK03);
        rig.module->set_faults({.always_silent = true});
        CTarnDoc doc(rig.options, std::make_unique<sim::InProcessBackend>(rig.module));
        doc.device().finish_grace = 0ms;
        gui::StartupWindow window(doc.device());
        const QString starting = window.step_label()->text();
        ScreenTexts texts;
        Script script({[&] {
            if (modal<gui::StartupWindow>() != &window || window.step_label()->text() == starting)
                return false;
            texts.take(&window);
            save_picture(&window, "startup_window", language);
            window.cancel_button()->click();
            return true;
        }});
        QVERIFY(!window.connect_and_wait());
        QCOMPARE(script.steps_done(), std::size_t(1));
        CHECK_ONE_LANGUAGE(texts, language);
    }

    void ioStatusAndSinglePoint_data() { each_language(); }
    void ioStatusAndSinglePoint() {
        QFETCH(Language, language);
        const gui::ScreenLanguage screen(language);
        MainRig rig;
        QVERIFY(QTest::qWaitForWindowExposed(rig.window.get()));
        {
            gui::IoStatusWindow dialog(*rig.doc, nullptr, 5ms);
            dialog.show();
            QVERIFY(QTest::qWaitForWindowExposed(&dialog));
            QTRY_VERIFY(!dialog.table(IoSide::Inputs)->CellText(0, 1).isEmpty());
            // The rows are named by the description.
            ScreenTexts texts;
            texts.take(&dialog, {dialog.table(IoSide::Inputs), dialog.table(IoSide::Outputs)});
            save_picture(&dialog, "io_status", language);
            CHECK_ONE_LANGUAGE(texts, language);
        }
        gui::SinglePointDialog dialog(*rig.doc);
        ScreenTexts texts;
        texts.take(&dialog, {dialog.parameter_box(), dialog.description_field()});
        save_picture(&dialog, "single_parameter", language);
        CHECK_ONE_LANGUAGE(texts, language);
    }

    void busScanAndMonitor_data() { each_language(); }
    void busScanAndMonitor() {
        QFETCH(Language, language);
        const gui::ScreenLanguage screen(language);
        MainRig rig;
        {
            gui::BusScanDialog dialog(rig.doc->device());
            dialog.set_range(15, 17);
            dialog.show();
            QVERIFY(QTest::qWaitForWindowExposed(&dialog));
            const QString start = dialog.start_button()->text();
            QTest::mouseClick(dialog.start_button(), Qt::LeftButton);
            QTRY_VERIFY_WITH_TIMEOUT(dialog.modules()->topLevelItemCount() > 0, 10000);
            QTRY_COMPARE_WITH_TIMEOUT(dialog.start_button()->text(), start, 10000);
            ScreenTexts texts;
            texts.take(&dialog);
            save_picture(&dialog, "bus_scan", language);
            CHECK_ONE_LANGUAGE(texts, language);
        }
        gui::BusMonitorWindow monitor(*rig.doc);
        monitor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&monitor));
        QVERIFY(rig.doc->read_all());
        monitor.pull();
        ScreenTexts texts;
        texts.take(&monitor, {monitor.table()});  // decoded frames: the description's names
        save_picture(&monitor, "bus_monitor", language);
        CHECK_ONE_LANGUAGE(texts, language);
    }

    void progressAndDifferences_data() { each_language(); }
    void progressAndDifferences() {
        QFETCH(Language, language);
        const gui::ScreenLanguage screen(language);
        MainRig rig;
        QVERIFY(QTest::qWaitForWindowExposed(rig.window.get()));
        // Slow replies keep the progress window up long enough to be read.
        rig.module->set_faults({.reply_delay = 5ms});
        ScreenTexts progress;
        Script reading({[&] {
            auto* window = modal<gui::ProgressDialog>();
            if (!window || window->lines().size() < 3) return false;
            // Its lines name the description's branches and parameters.
            progress.take(window, {window->findChild<QListWidget*>()});
            save_picture(window, "progress_window", language);
            return true;
        }});
        QVERIFY(rig.doc->read_all());
        QCOMPARE(reading.steps_done(), std::size_t(1));
        CHECK_ONE_LANGUAGE(progress, language);

        rig.module->set_faults({});
        QVERIFY(rig.module->set_value("t.out", -1, "7"));
        ScreenTexts differences;
        Script comparing({
            [&] {
                auto* box = modal<QMessageBox>();
                if (!box) return false;
                for (QAbstractButton* button : box->buttons())
                    if (button->text() == gui::qtext("Show all")) click_later(button);
                return true;
            },
            // The rows and the branch filter name the description's branches and parameters.
            [&] {
                auto* window = modal<gui::DifferencesWindow>();
                if (!window) return false;
                differences.take(window, {window->table(), window->branch_box()});
                save_picture(window, "differences_window", language);
                QMetaObject::invokeMethod(window, &QDialog::reject, Qt::QueuedConnection);
                return true;
            },
        });
        rig.doc->compare();
        QCOMPARE(comparing.steps_done(), std::size_t(2));
        CHECK_ONE_LANGUAGE(differences, language);
    }

    void applyAndTareWeight_data() { each_language(); }
    void applyAndTareWeight() {
        QFETCH(Language, language);
        const gui::ScreenLanguage screen(language);
        ScreenTexts apply;
        {
            ModelDocumentRig rig(kVK03);
            for (const auto& p : rig.doc->module_network()->parameters)
                QCOMPARE(rig.doc->device().read_parameter(*p, false), 0);
            rig.doc->module_network()->SetValue("bPS", "57600");
            Script script({[&] {
                auto* dialog = modal<gui::ApplyDialog>();
                if (!dialog) return false;
                // The settings' values are the description's ("None"): only their names are read.
                apply.take(dialog, {dialog->settings_label()});
                for (const QString& line : dialog->settings_label()->text().split(QLatin1Char('\n')))
                    apply.add(QStringLiteral("setting"), line.section(QLatin1Char(':'), 0, 0));
                save_picture(dialog, "apply_dialog", language);
                QMetaObject::invokeMethod(dialog, &QDialog::reject, Qt::QueuedConnection);
                return true;
            }});
            rig.doc->apply_new_settings(false, false);
            QCOMPARE(script.steps_done(), std::size_t(1));
        }
        CHECK_ONE_LANGUAGE(apply, language);

        ScreenTexts tare;
        {
            ModelDocumentRig rig(kVK14);
            rig.module->set_value("Rd.fF", 0, "7.25");
            Script script({take_modal<gui::TareWeightDialog>(
                tare, "tare_weight", language,
                [](gui::TareWeightDialog& d) { return !d.weight_field()->text().isEmpty(); }, {})});
            gui::TareWeightDialog::Open(*rig.doc, &rig.main_window);
            QCOMPARE(script.steps_done(), std::size_t(1));
        }
        CHECK_ONE_LANGUAGE(tare, language);
    }

    void helpAboutAndSimulator_data() { each_language(); }
    void helpAboutAndSimulator() {
        QFETCH(Language, language);
        const gui::ScreenLanguage screen(language);
        QWidget owner;
        // The guide's pages are a document: its window and which guide it shows.
        gui::UserGuideWindow guide(gui::qtext(user_guide_path()), &owner);
        ScreenTexts help;
        help.take(&guide, {guide.browser()});
        help.add(QStringLiteral("guide"), guide.browser()->documentTitle());  // the guide in the language
        save_picture(&guide, "user_guide", language);
        CHECK_ONE_LANGUAGE(help, language);

        ScreenTexts about;
        Script script({[&] {
            auto* box = modal<QMessageBox>();
            if (!box) return false;
            about.take(box);
            save_picture(box, "about", language);
            box->accept();
            return true;
        }});
        gui::show_about(&owner);
        QCOMPARE(script.steps_done(), std::size_t(1));
        CHECK_ONE_LANGUAGE(about, language);

        gui::SimulatorPanel panel(served_module(kVK03));
        panel.run("status");
        ScreenTexts simulator;
        simulator.take(&panel);
        save_picture(&panel, "simulator_panel", language);
        CHECK_ONE_LANGUAGE(simulator, language);
    }

  private:
    MemorySettingsStore store_;
    QTemporaryDir settings_dir_;
};

QTEST_MAIN(OneLanguageTest)
#include "gui_one_language_test.moc"
