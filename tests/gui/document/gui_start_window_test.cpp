// Start-up in the window with what the command line named: its file opens, its port choices follow the
// connection, and "-calibrate" closes without asking to save what only the module changed.
#include <fcntl.h>
#include <semaphore.h>
#include <unistd.h>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <fstream>
#include <memory>

#include "core/app/command_line/command_line.h"
#include "core/app/command_line/command_line_job.h"
#include "core/app/document/document.h"
#include "core/app/files/config_file.h"
#include "core/devices/brand.h"
#include "core/link/exit_status.h"
#include "core/link/options.h"
#include "core/model/device_table.h"
#include "core/platform/settings_store.h"
#include "gui/connection/setup_carrier.h"
#include "gui/connection/startup_window.h"
#include "gui/document/main_window.h"
#include "gui/document/progress_dialog.h"
#include "gui/document/start_window.h"
#include "gui/platform/qt_ui.h"
#include "sim/in_process_backend.h"
#include "tests/support/gui_test_support.h"

using namespace varda;
using namespace varda::test;

namespace {

constexpr int kVK03 = 3;

// A VK03 module in process on the stored port "sim", and the program's document over it.
struct StartRig {
    StartRig() : module(served_module(kVK03)) {
        store.set_string(kSettingsGroup, "port", "sim");
        set_settings_store(&store);
        set_ui(&ui);
        auto line = std::make_unique<sim::InProcessBackend>(module);
        backend = line.get();
        doc = std::make_unique<CTarnDoc>(options, std::move(line));
        doc->device().finish_grace = std::chrono::milliseconds(0);
    }
    ~StartRig() {
        if (doc) doc->modified = false;  // no question about saving while the window goes
        window.reset();
        doc.reset();
        set_ui(nullptr);
        set_settings_store(nullptr);
    }
    void start(const CommandLine& command_line) {
        window = gui::start_main_window(*doc, options, brand, command_line);
    }
    std::string value(const char* name, int index) {
        Parameter* p = doc->description().find_parameter(name, index);
        return p ? p->value_text() : "<missing>";
    }

    MemorySettingsStore store;
    gui::QtUi ui;
    Options options;
    CBrandRavelin brand;
    std::shared_ptr<sim::SimulatedModule> module;
    sim::InProcessBackend* backend = nullptr;
    std::unique_ptr<CTarnDoc> doc;
    std::unique_ptr<gui::MainWindow> window;
};

// Closes any message box and keeps what it said.
class MessageBoxCloser : public QObject {
  public:
    MessageBoxCloser() {
        connect(&timer_, &QTimer::timeout, this, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                texts << box->text();
                box->done(QMessageBox::Cancel);
            }
        });
        timer_.start(20);
    }
    QStringList texts;

  private:
    QTimer timer_;
};

std::string file_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// What the window shows while a job runs in it: its exchange window, and whether the main window kept the
// size the command line gave it meanwhile.
struct JobWatch : QObject {
    explicit JobWatch(QWidget* const& main_window) {
        connect(&timer, &QTimer::timeout, this, [this, &main_window] {
            if (!qobject_cast<gui::ProgressDialog*>(QApplication::activeModalWidget())) return;
            progress_seen = true;
            if (main_window) size_locked = main_window->minimumSize() == main_window->maximumSize();
        });
        timer.start(5);
    }
    QTimer timer;
    bool progress_seen = false;
    bool size_locked = false;
};

}  // namespace

class StartWindowTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings_dir_.path());
        QVERIFY(served_module(kVK03));
    }

    void theFileNamedOnTheCommandLineOpensInTheWindow() {
        const std::string file = folder_.filePath(QStringLiteral("plant1.vdc")).toStdString();
        {
            StartRig source;
            source.doc->start(false, false);
            QVERIFY(source.doc->new_document());
            source.doc->description().find_parameter("FiLt", 2)->SetValueText("42");
            QVERIFY(source.doc->save_file(file));
        }
        StartRig rig;
        CommandLine command_line;
        command_line.file_name = file;
        rig.start(command_line);
        QVERIFY(rig.window);
        QVERIFY(QTest::qWaitForWindowExposed(rig.window.get()));
        QCOMPARE(rig.doc->path_name, file);
        QCOMPARE(rig.value("FiLt", 2), std::string("42"));  // the file's value, not the module's 10
        QVERIFY(rig.window->windowTitle().contains(QStringLiteral("plant1.vdc")));
    }

    void aMissingFileIsWhereTheNewDocumentWillBeSaved() {
        const std::string file = folder_.filePath(QStringLiteral("new-plant.vdc")).toStdString();
        StartRig rig;
        CommandLine command_line;
        command_line.file_name = file;
        rig.start(command_line);
        QVERIFY(rig.window);
        QVERIFY(rig.doc->root());
        QCOMPARE(rig.doc->path_name, file);
        QCOMPARE(rig.value("FiLt", 2), std::string("no data"));
        QVERIFY(rig.window->windowTitle().contains(QStringLiteral("new-plant.vdc")));
    }

    void portChoicesFollowTheConnection() {
        const std::string log = folder_.filePath(QStringLiteral("err.txt")).toStdString();
        std::ofstream(log) << "an earlier run\n";
        StartRig rig;
        const CommandLine command_line = parse_command_line({"-rs485:on/autoread:off", "-elog:" + log});
        QVERIFY(command_line.errors.empty());
        rig.start(command_line);
        QVERIFY(rig.window);
        QCOMPARE(rig.doc->context().model.load(), kVK03);
        // "on": direction by RTS, although the connection procedure ends on the automatic mode.
        QCOMPARE(rig.doc->device().sio().settings.adapter_mode, 0);
        QVERIFY(!rig.options.read_automatically);
        QCOMPARE(rig.doc->device().error_log_path, log);
        QCOMPARE(QFileInfo(QString::fromStdString(log)).size(), qint64(0));  // a fresh log for this run
    }

    void calibrationClosesWithoutAskingToSave() {
        StartRig rig;
        rig.start(parse_command_line({"-calibrate"}));
        QVERIFY(rig.window);
        QVERIFY(QTest::qWaitForWindowExposed(rig.window.get()));
        rig.doc->modified = true;  // as after reading the module
        MessageBoxCloser closer;
        gui::calibrate_and_close(*rig.window, *rig.doc);
        QVERIFY(closer.texts.isEmpty());
        QVERIFY(!rig.window->isVisible());
    }

    void theStartupWindowSaysWhatItTriesAndCancelGoesToTheConnectionDialog() {
        StartRig rig;
        sim::Faults silent;
        silent.always_silent = true;
        rig.module->set_faults(silent);
        rig.ui.set_connection_target(&rig.doc->device(), &rig.options, &rig.brand);
        QString step;
        bool dialog_came = false;
        QTimer watcher;
        connect(&watcher, &QTimer::timeout, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* startup = qobject_cast<gui::StartupWindow*>(modal)) {
                if (!startup->step_label()->text().startsWith(
                        QStringLiteral("Connecting to sim at 9600 baud, "
                                       "address 16")))
                    return;
                if (step.isEmpty()) {
                    step = startup->step_label()->text();
                    save_screenshot(startup->grab(), "startup_window");
                    startup->cancel_button()->click();
                }
            } else if (auto* setup = qobject_cast<gui::ConnectionSetupDialog*>(modal)) {
                dialog_came = true;
                setup->exit_button()->click();
            }
        });
        watcher.start(10);
        rig.start(CommandLine{});
        watcher.stop();
        QVERIFY2(!step.isEmpty(), "the start-up window never said what it was trying");
        QVERIFY(dialog_came);
        QVERIFY(!rig.window);  // "Exit" in the connection dialog
    }

    void theCommandLinePlacesTheWindow_data() {
        QTest::addColumn<QString>("options");
        QTest::addColumn<int>("state");
        QTest::addColumn<QRect>("geometry");
        QTest::newRow("nothing") << "" << int(Qt::WindowMaximized) << QRect();
        QTest::newRow("w:0 h:0") << "-w:0/h:0" << int(Qt::WindowMinimized) << QRect();
        QTest::newRow("placed") << "-x:30/y:40/w:800/h:600" << int(Qt::WindowNoState)
                                << QRect(30, 40, 800, 600);
        QTest::newRow("size alone") << "-w:800/h:600" << int(Qt::WindowMaximized) << QRect();
        QTest::newRow("no height") << "-x:30/y:40/w:800" << int(Qt::WindowMaximized) << QRect();
    }
    void theCommandLinePlacesTheWindow() {
        QFETCH(QString, options);
        QFETCH(int, state);
        QFETCH(QRect, geometry);
        StartRig rig;
        const CommandLine command_line = parse_command_line(
            options.isEmpty() ? std::vector<std::string>{} : std::vector{options.toStdString()});
        QVERIFY(command_line.errors.empty());
        rig.start(command_line);
        QVERIFY(rig.window);
        QCOMPARE(int(rig.window->windowState() & (Qt::WindowMaximized | Qt::WindowMinimized)), state);
        if (geometry.isValid()) {
            QCOMPARE(rig.window->pos(), geometry.topLeft());
            QCOMPARE(rig.window->size(), geometry.size());
        }
    }

    // -silent in the window: the file opens, and nothing ever opens the port, a read from the menu included.
    void silentNeverOpensThePort() {
        const std::string file = folder_.filePath(QStringLiteral("silent.vdc")).toStdString();
        {
            StartRig source;
            source.doc->start(false, false);
            QVERIFY(source.doc->new_document());
            QVERIFY(source.doc->save_file(file));
        }
        StartRig rig;
        rig.ui.set_connection_target(&rig.doc->device(), &rig.options, &rig.brand);
        CommandLine command_line = parse_command_line({"-silent", file});
        QVERIFY(command_line.errors.empty());
        MessageBoxCloser closer;
        rig.start(command_line);
        QVERIFY(rig.window);
        QVERIFY(rig.doc->root());
        QCOMPARE(rig.doc->path_name, file);
        QVERIFY(!rig.options.read_automatically);
        rig.doc->read_all();
        Parameter* filter = rig.doc->description().find_parameter("FiLt", 2);
        QVERIFY(filter);
        rig.doc->device().read_one(*filter);
        QVERIFY(!rig.doc->device().sio().is_open());
        QCOMPARE(rig.doc->device().sio().line_stats().snapshot().requests, 0);
    }

    // "Exit" after the port could not be opened: the session ends with the port's failure, never 0.
    void exitAfterAPortFailureEndsWithItsCode() {
        StartRig rig;
        rig.backend->set_unplugged(true);
        rig.ui.set_connection_target(&rig.doc->device(), &rig.options, &rig.brand);
        QString status;
        Script script({[&] {
            auto* setup = modal<gui::ConnectionSetupDialog>();
            if (!setup) return false;
            status = setup->status_label()->text();
            click_later(setup->exit_button());
            return true;
        }});
        rig.start(CommandLine{});
        QCOMPARE(script.steps_done(), std::size_t(1));
        QVERIFY(!rig.window);
        QVERIFY2(!status.isEmpty(), "the dialog never said why");
        QCOMPARE(gui::window_session_exit_code(*rig.doc), 201);
        rig.doc->context().status.reset();
        QCOMPARE(gui::window_session_exit_code(*rig.doc), 0);
    }

    // A read job in the window: the exchange window shows its progress, the placed window keeps its size
    // until the job has ended, the file holds the module's values, and -close ends the session with the
    // job's code. The same job without the window writes the same file.
    void aReadJobRunsInTheWindowAsItDoesWithout() {
        const std::string file = folder_.filePath(QStringLiteral("window-read.vdc")).toStdString();
        const std::string headless_file = folder_.filePath(QStringLiteral("headless-read.vdc")).toStdString();
        std::shared_ptr<sim::SimulatedModule> module;
        {
            StartRig rig;
            module = rig.module;
            for (int k = 0; k < 8; ++k)
                QVERIFY(module->set_value("FiLt", k, std::to_string(31 + 7 * k)));
            const CommandLine command_line = parse_command_line({"-read/close/x:30/y:40/w:800/h:600", file});
            QVERIFY(command_line.errors.empty());
            gui::WindowJob job(*rig.doc, command_line);
            QVERIFY(!job.refusal());
            QWidget* shown = nullptr;
            JobWatch watch(shown);
            MessageBoxCloser closer;
            rig.window = gui::start_main_window(*rig.doc, rig.options, rig.brand, command_line, &job);
            QVERIFY(rig.window);
            shown = rig.window.get();
            QTRY_VERIFY_WITH_TIMEOUT(!rig.window->isVisible(), 30000);
            QVERIFY(closer.texts.isEmpty());
            QVERIFY(watch.progress_seen);
            QVERIFY(watch.size_locked);
            QVERIFY(rig.window->minimumSize() != rig.window->maximumSize());  // unlocked after the job
            const JobResult result = job.finish();
            QCOMPARE(result.exit_code, 0);
            QVERIFY2(result.failure.empty(), result.failure.c_str());
            QCOMPARE(result.saved_path, file);
        }
        StartRig check;
        check.doc->start(false, false);
        QVERIFY(check.doc->open_file(file));
        for (int k = 0; k < 8; ++k)
            QCOMPARE(check.value("FiLt", k), *module->value("FiLt", k));
        check.window.reset();
        check.doc.reset();

        MemorySettingsStore store;
        store.set_string(kSettingsGroup, "port", "sim");
        set_settings_store(&store);
        const JobResult headless =
            run_command_line_job(parse_command_line({"-read/close", "--no-window", headless_file}),
                                 std::make_unique<sim::InProcessBackend>(module));
        set_settings_store(nullptr);
        QCOMPARE(headless.exit_code, 0);
        QCOMPARE(file_bytes(headless_file), file_bytes(file));
    }

    // A job that fails in the window asks nobody (no message box holds the session open) and ends with the
    // code and the reason it ends with without the window.
    void aFailingJobInTheWindowAsksNobodyAndEndsAsWithout() {
        const std::string damaged = folder_.filePath(QStringLiteral("damaged.vdc")).toStdString();
        std::ofstream(damaged) << "not a configuration";
        const std::vector<std::string> args{"-write/close", damaged};
        JobResult in_window;
        {
            StartRig rig;
            const CommandLine command_line = parse_command_line(args);
            gui::WindowJob job(*rig.doc, command_line);
            MessageBoxCloser closer;
            rig.window = gui::start_main_window(*rig.doc, rig.options, rig.brand, command_line, &job);
            QVERIFY(rig.window);
            QTRY_VERIFY_WITH_TIMEOUT(!rig.window->isVisible(), 30000);
            QVERIFY2(closer.texts.isEmpty(), qPrintable(closer.texts.join(QLatin1Char('\n'))));
            in_window = job.finish();
        }
        MemorySettingsStore store;
        store.set_string(kSettingsGroup, "port", "sim");
        set_settings_store(&store);
        const JobResult headless = run_command_line_job(
            parse_command_line(args), std::make_unique<sim::InProcessBackend>(served_module(kVK03)));
        set_settings_store(nullptr);
        QCOMPARE(in_window.exit_code, 200);
        QCOMPARE(in_window.exit_code, headless.exit_code);
        QCOMPARE(in_window.failure, headless.failure);
    }

    // Without -close the window stays after the job, until the exit event ends the session with 205; what
    // the job read was saved before.
    void withoutCloseTheWindowStaysUntilTheExitEvent() {
        const std::string file = folder_.filePath(QStringLiteral("stays.vdc")).toStdString();
        const std::string event = "/varda-gui-exit-" + std::to_string(getpid());
        StartRig rig;
        const CommandLine command_line = parse_command_line({"-read", "-exitevent:" + event, file});
        QVERIFY(command_line.errors.empty());
        gui::WindowJob job(*rig.doc, command_line);
        QWidget* shown = nullptr;
        JobWatch watch(shown);
        rig.window = gui::start_main_window(*rig.doc, rig.options, rig.brand, command_line, &job);
        QVERIFY(rig.window);
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(QString::fromStdString(file)), 30000);
        QTRY_VERIFY(QApplication::activeModalWidget() == nullptr);
        QTest::qWait(300);
        QVERIFY(rig.window->isVisible());  // the job has ended; the window stays
        sem_t* semaphore = sem_open(event.c_str(), O_CREAT, 0600, 0);
        QVERIFY(semaphore != SEM_FAILED);
        sem_post(semaphore);
        sem_close(semaphore);
        QTRY_VERIFY_WITH_TIMEOUT(!rig.window->isVisible(), 5000);
        const JobResult result = job.finish();
        sem_unlink(event.c_str());
        QCOMPARE(result.exit_code, 205);
        QVERIFY(watch.progress_seen);
        QVERIFY(!watch.size_locked);  // a maximised window is not locked
    }

  private:
    QTemporaryDir settings_dir_;
    QTemporaryDir folder_;
};

QTEST_MAIN(StartWindowTest)
#include "gui_start_window_test.moc"
