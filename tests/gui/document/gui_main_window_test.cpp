// The main window over a real document: menus of both brands, title, option check marks, and the exchange
// window driven by the worker against a simulated module.
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolBar>
#include <QtTest>
#include <atomic>
#include <fstream>
#include <memory>
#include <thread>

#include "core/app/command_line/headless_ui.h"
#include "core/app/document/document.h"
#include "core/app/document/menu_state.h"
#include "core/app/files/paths.h"
#include "core/devices/brand.h"
#include "core/link/device.h"
#include "core/link/options.h"
#include "core/model/description_archive.h"
#include "core/model/device_table.h"
#include "core/platform/settings_store.h"
#include "core/platform/strings.h"
#include "gui/connection/connection_indicator.h"
#include "gui/document/main_window.h"
#include "gui/document/progress_dialog.h"
#include "gui/platform/qt_ui.h"
#include "gui/tree/tree_list_model.h"
#include "gui/tree/tree_view.h"
#include "sim/in_process_backend.h"
#include "sim/model_module.h"
#include "tests/support/gui_test_support.h"
#include "tests/support/main_window_rig.h"

using namespace varda;
using namespace varda::test;

namespace {

constexpr int kVK03 = 3;

QStringList texts(const QMenu* menu) {
    QStringList out;
    for (QAction* a : menu->actions())
        if (!a->isSeparator()) out << a->text();
    return out;
}

QMenu* submenu(const QMenu* menu, const QString& title) {
    for (QAction* a : menu->actions())
        if (a->menu() && a->text() == title) return a->menu();
    return nullptr;
}

// Every parameter below the element, children first.
void collect(const DescBranch& branch, std::vector<const Parameter*>& out) {
    for (const auto& p : branch.parameters)
        out.push_back(p.get());
    for (const auto& child : branch.children)
        collect(*child, out);
}

// Closes any message box that a failing step might leave open, so a fault fails the test instead of
// hanging it, and keeps what it said.
class MessageBoxCloser : public QObject {
  public:
    MessageBoxCloser() {
        timer_.setInterval(50);
        connect(&timer_, &QTimer::timeout, this, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                texts << box->text();
                box->done(QMessageBox::Cancel);
            }
        });
        timer_.start();
    }
    QStringList texts;

  private:
    QTimer timer_;
};

// Notes the title of every progress window shown and its lines when it goes.
class ProgressWatcher : public QObject {
  public:
    ProgressWatcher() { qApp->installEventFilter(this); }
    ~ProgressWatcher() override { qApp->removeEventFilter(this); }
    QStringList titles;
    QStringList lines;

  protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        if (auto* dialog = qobject_cast<gui::ProgressDialog*>(object)) {
            if (event->type() == QEvent::Show) titles << dialog->windowTitle();
            if (event->type() == QEvent::Hide) lines = dialog->lines();
        }
        return false;
    }
};

using Rig = MainWindowRig;

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() {
        // Recent files go to a settings folder of the test's own.
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings_dir_.path());
        QVERIFY(QFile::exists(QString::fromStdString(description_archive_path())));
    }

    void cleanup() { set_settings_store(nullptr); }

    void titleNamesNoModelBeforeOneIsChosen() {
        Rig rig(nullptr, CBrandRavelin(), std::make_unique<HeadlessUi>(true));
        rig.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(rig.window.get()));
        QCOMPARE(rig.window->windowTitle(), QStringLiteral("Configurator <unknown>"));
    }

    void ravelinMenusLeaveOutAdapterInitCalibrationAndExport() {
        Rig rig(nullptr, CBrandRavelin(), std::make_unique<HeadlessUi>(true));
        QStringList titles;
        for (QAction* a : rig.window->menuBar()->actions())
            titles << a->text();
        QCOMPARE(titles, (QStringList{"&File", "&Edit", "&Device", "&Tree", "Tools", "&Help"}));

        QMenu* device = rig.window->top_menu(QStringLiteral("&Device"));
        QVERIFY(device);
        QCOMPARE(texts(device),
                 (QStringList{"Read all", "Write all", "Write changes", "Compare", "Compare with file...",
                              "Commands", "I/O status...", "Single parameter...", "Check connection...",
                              "Serial port settings...", "Find modules on the bus...", "Bus monitor..."}));
        QVERIFY(!submenu(device, QStringLiteral("Serial interface adapter")));
        QCOMPARE(texts(submenu(device, QStringLiteral("Commands"))),
                 (QStringList{"Apply default settings", "Apply new settings (APLY)"}));
        QVERIFY(
            !texts(rig.window->top_menu(QStringLiteral("Tools"))).contains(QStringLiteral("Calibration...")));
        QCOMPARE(texts(rig.window->top_menu(QStringLiteral("&Help"))), (QStringList{"&Help", "&About..."}));
        QVERIFY(!rig.window->toolbar()->actions().contains(rig.window->action(kCmdExecuteInit)));
        QVERIFY(rig.window->toolbar()->actions().contains(rig.window->action(kCmdReadAll)));
        // Help opens the user guide.
        QVERIFY(rig.window->action(kCmdHelp)->isEnabled());
    }

    void fullBrandMenusHaveEveryCommand() {
        Rig rig(nullptr, CBrandKest(), std::make_unique<HeadlessUi>(true));
        QMenu* device = rig.window->top_menu(QStringLiteral("&Device"));
        QMenu* adapter = submenu(device, QStringLiteral("Serial interface adapter"));
        QVERIFY(adapter);
        QCOMPARE(texts(adapter), (QStringList{"Auto", "Semi-auto (QA-5)"}));
        QVERIFY(texts(submenu(device, QStringLiteral("Commands"))).contains(QStringLiteral("Execute INIT")));
        QCOMPARE(texts(rig.window->top_menu(QStringLiteral("Tools"))),
                 (QStringList{"Show indexes", "Read automatically", "Instant recording",
                              "Do not send parameter attributes", "Calibration...", "Service functions",
                              "Toolbar", "Status bar"}));
        QVERIFY(texts(rig.window->top_menu(QStringLiteral("&Help")))
                    .contains(QStringLiteral("Export parameter list to HTML...")));
        QVERIFY(rig.window->toolbar()->actions().contains(rig.window->action(kCmdExecuteInit)));

        // The adapter's check marks follow the port's flag.
        rig.window->action(kCmdAdapterAuto)->trigger();
        QCOMPARE(rig.doc->device().sio().settings.adapter_mode, 1);
        QVERIFY(rig.window->action(kCmdAdapterAuto)->isChecked());
        QVERIFY(!rig.window->action(kCmdAdapterSemiAuto)->isChecked());
        rig.window->action(kCmdAdapterSemiAuto)->trigger();
        QCOMPARE(rig.doc->device().sio().settings.adapter_mode, 0);
        QVERIFY(!rig.window->action(kCmdAdapterAuto)->isChecked());
        QVERIFY(rig.window->action(kCmdAdapterSemiAuto)->isChecked());
    }

    void checkMarksToggleTheOptions() {
        auto headless = std::make_unique<HeadlessUi>(true);
        HeadlessUi& ui = *headless;
        Rig rig(nullptr, CBrandRavelin(), std::move(headless));
        QAction* indexes = rig.window->action(kCmdShowIndexes);
        QAction* autoread = rig.window->action(kCmdReadAutomatically);
        QAction* instant = rig.window->action(kCmdInstantRecording);
        QAction* attributes = rig.window->action(kCmdDoNotSendAttributes);
        QVERIFY(!indexes->isChecked());
        QVERIFY(autoread->isChecked());

        QSignalSpy refreshed(rig.window.get(), &gui::MainWindow::refresh_requested);
        indexes->trigger();
        QVERIFY(rig.options.show_indexes);
        QVERIFY(indexes->isChecked());
        QCOMPARE(refreshed.count(), 1);  // the tree shows or hides its indexes
        autoread->trigger();
        QVERIFY(!rig.options.read_automatically);
        QVERIFY(!autoread->isChecked());
        instant->trigger();
        QVERIFY(rig.options.instant_recording);
        QVERIFY(instant->isChecked());

        attributes->trigger();
        QVERIFY(rig.options.do_not_send_attributes);
        QVERIFY(attributes->isChecked());
        QCOMPARE(ui.messages().size(), std::size_t{1});
        attributes->trigger();
        QVERIFY(!rig.options.do_not_send_attributes);
        QVERIFY(!attributes->isChecked());
        QCOMPARE(ui.messages().size(), std::size_t{1});  // switching off explains nothing
    }

    void commandHandlersEnableTheirCommands() {
        Rig rig(nullptr, CBrandRavelin(), std::make_unique<HeadlessUi>(true));
        QAction* read_branch = rig.window->action(kCmdReadBranch);
        QVERIFY(!read_branch->isEnabled());
        int runs = 0;
        rig.window->set_command_handler(kCmdReadBranch, [&runs] { ++runs; });
        QVERIFY(read_branch->isEnabled());
        read_branch->trigger();
        QCOMPARE(runs, 1);
        rig.window->set_command_handler(kCmdReadBranch, {});
        QVERIFY(!read_branch->isEnabled());
    }

    void centralViewIsReplaced() {
        Rig rig(nullptr, CBrandRavelin(), std::make_unique<HeadlessUi>(true));
        auto* view = new QWidget;
        rig.window->set_central_view(view);
        QCOMPARE(rig.window->central_view(), view);
        QCOMPARE(view->parentWidget(), rig.window->centralWidget());
    }

    void recentFilesFollowSavingAndOpening() {
        auto module = served_module(kVK03);
        QVERIFY(module);
        auto headless = std::make_unique<HeadlessUi>(true);
        HeadlessUi& ui = *headless;
        Rig rig(module, CBrandRavelin(), std::move(headless));
        QVERIFY(rig.connect());
        QTemporaryDir folder;
        const QString first = folder.filePath(QStringLiteral("first.vdc"));
        const QString second = folder.filePath(QStringLiteral("second.vdc"));
        for (const QString& path : {first, second}) {
            rig.doc->path_name = path.toStdString();
            rig.window->action(kCmdSave)->trigger();
            QVERIFY(QFile::exists(path));
        }
        QCOMPARE(rig.window->recent_files(), (QStringList{second, first}));
        QCOMPARE(rig.window->action(kCmdRecentFile)->text(), QStringLiteral("&1 ") + second);
        QVERIFY(!rig.window->action(kCmdRecentFile + 2)->isVisible());

        // Opening the older one brings it to the front and names it in the title.
        rig.window->action(kCmdRecentFile + 1)->trigger();
        QCOMPARE(rig.window->recent_files(), (QStringList{first, second}));
        QCOMPARE(rig.window->windowTitle(), QStringLiteral("Configurator Tavik-VK03 - first.vdc[*]"));

        // A recent file that is gone leaves the list after its message.
        QVERIFY(QFile::remove(second));
        ui.clear();
        rig.window->action(kCmdRecentFile + 1)->trigger();
        QCOMPARE(rig.window->recent_files(), QStringList{first});
        QCOMPARE(ui.messages().size(), std::size_t{1});

        // The list outlives the window.
        gui::MainWindow again(*rig.doc, rig.options, CBrandRavelin());
        QCOMPARE(again.recent_files(), QStringList{first});
    }

    void theStatusBarSaysWhereTheUserStands() {
        auto module = served_module(kVK03);
        QVERIFY(module);
        Rig rig(module, CBrandRavelin(), std::make_unique<HeadlessUi>(true));
        QVERIFY(rig.connect());
        rig.window->resize(1100, 500);
        rig.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(rig.window.get()));
        gui::ConnectionIndicator* indicator = rig.window->connection_indicator();
        Device& device = rig.doc->device();
        const auto shows = [&](LinkState state, const QString& ending, const char* screenshot) {
            rig.window->update_from_document();
            QCOMPARE(indicator->state(), state);
            QVERIFY2(indicator->text().endsWith(ending), qPrintable(indicator->text()));
            QVERIFY2(indicator->text().contains(
                         QStringLiteral(" \u00b7 9600 baud \u00b7 address 16 \u00b7 Tavik-VK03")),
                     qPrintable(indicator->text()));
            QCoreApplication::processEvents();  // the status bar's layout follows the new width
            save_screenshot(rig.window->statusBar()->grab(), screenshot);
        };
        shows(LinkState::Online, QStringLiteral(" \u00b7 online"), "status_bar_online");
        // The line's counters beside it; a click starts them again.
        QVERIFY(rig.window->line_counters()->text().startsWith(QStringLiteral("req ")));
        QTest::mouseClick(rig.window->line_counters(), Qt::LeftButton);
        QCOMPARE(rig.window->line_counters()->text(),
                 QStringLiteral("req 0 \u00b7 retry 0 \u00b7 t/o 0 \u00b7 garbled 0 \u00b7 err 0"));

        // Each whole-tree exchange leaves its summary on the status line.
        rig.window->run_command(kCmdReadAll);
        rig.window->update_from_document();
        QVERIFY2(rig.window->status_line().contains(
                     QRegularExpression(QStringLiteral("^Read \\d+ parameters, 0 failed, \\d+\\.\\d s$"))),
                 qPrintable(rig.window->status_line()));

        Parameter* filter = rig.doc->description().find_parameter("FiLt", 1);
        QVERIFY(filter);
        module->set_faults({.always_silent = true});
        device.read_parameter(*filter, false);
        shows(LinkState::NotAnswering, QStringLiteral(" \u00b7 not answering"), "status_bar_not_answering");
        device.exchange_suspended = true;  // as after five reads in a row timed out
        shows(LinkState::Suspended, QStringLiteral(" \u00b7 exchange suspended"), "status_bar_suspended");

        module->set_faults({});
        device.sio().settings.port_name = kSimulatedPortName;
        device.read_parameter(*filter, false);
        shows(LinkState::Simulated, QStringLiteral(" \u00b7 simulated"), "status_bar_simulated");

        device.identify_result = Identification::Unreadable;  // no module identified: offline
        shows(LinkState::Offline, QStringLiteral(" \u00b7 offline"), "status_bar_offline");
    }

    // A file of another model opened while a module is on the line: the indicator names both.
    void theIndicatorNamesTheModuleOnTheLineAndTheTreesModel() {
        auto module = served_module(kVK03);
        auto other = served_module(5);
        QVERIFY(module && other);
        auto headless = std::make_unique<HeadlessUi>(true);
        HeadlessUi& ui = *headless;
        Rig rig(module, CBrandRavelin(), std::move(headless));
        QVERIFY(rig.connect());
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("vk03.vdc"));
        rig.doc->path_name = path.toStdString();
        rig.window->action(kCmdSave)->trigger();
        QCOMPARE(rig.window->recent_files().first(), path);

        rig.backend->set_module(other);
        rig.window->run_command(kCmdCheckConnection);
        QVERIFY(QString::fromStdString(rig.doc->root()->name).contains(QStringLiteral("VK05")));
        rig.window->resize(1100, 500);
        rig.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(rig.window.get()));
        gui::ConnectionIndicator* indicator = rig.window->connection_indicator();
        const QString version = QString::fromStdString(rig.doc->device().version_text);
        QVERIFY(!version.isEmpty());
        const QString line = QStringLiteral(" · Tavik-VK05 ") + version + QStringLiteral(" · ");
        rig.window->update_from_document();
        QVERIFY2(indicator->text().contains(line), qPrintable(indicator->text()));
        QVERIFY2(!indicator->text().contains(QStringLiteral("tree")), qPrintable(indicator->text()));

        ui.push_answer(Answer::Yes);  // a file of another model: open it all the same
        rig.window->run_command(kCmdRecentFile);
        QVERIFY(QString::fromStdString(rig.doc->root()->name).contains(QStringLiteral("VK03")));
        rig.window->update_from_document();
        QCOMPARE(indicator->state(), LinkState::Online);
        QVERIFY2(indicator->text().endsWith(line + QStringLiteral("tree: Tavik-VK03 · online")),
                 qPrintable(indicator->text()));
        QCoreApplication::processEvents();
        save_screenshot(rig.window->statusBar()->grab(), "status_bar_other_model");

        // Offline there is no module to name: the tree's model alone.
        rig.doc->device().identify_result = Identification::Unreadable;
        rig.window->update_from_document();
        QVERIFY2(indicator->text().endsWith(QStringLiteral(" · Tavik-VK03 · offline")),
                 qPrintable(indicator->text()));
    }

    void droppedConfigurationFileOpens() {
        auto module = served_module(kVK03);
        QVERIFY(module);
        Rig rig(module, CBrandRavelin(), std::make_unique<HeadlessUi>(true));
        QVERIFY(rig.connect());
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("dropped.vdc"));
        rig.doc->path_name = path.toStdString();
        rig.window->action(kCmdSave)->trigger();
        rig.window->action(kCmdNew)->trigger();
        QVERIFY(rig.doc->path_name.empty());

        // Only local files are taken; the first of them opens.
        QMimeData remote;
        remote.setUrls({QUrl(QStringLiteral("https://example.org/x.vdc"))});
        QDragEnterEvent refused(QPoint(10, 10), Qt::CopyAction, &remote, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(rig.window.get(), &refused);
        QVERIFY(!refused.isAccepted());

        QMimeData files;
        files.setUrls(
            {QUrl::fromLocalFile(path), QUrl::fromLocalFile(folder.filePath(QStringLiteral("b.vdc")))});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(rig.window.get(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(rig.window.get(), &drop);
        QTRY_COMPARE(rig.window->windowTitle(), QStringLiteral("Configurator Tavik-VK03 - dropped.vdc[*]"));
        QCOMPARE(rig.window->recent_files().first(), path);
    }

    void anotherModuleFoundReplacesTheTree() {
        auto module = served_module(kVK03);
        auto other = served_module(5);
        QVERIFY(module && other);
        auto headless = std::make_unique<HeadlessUi>(true);
        HeadlessUi& ui = *headless;
        Rig rig(module, CBrandRavelin(), std::move(headless));
        QVERIFY(rig.connect());
        QSignalSpy rebuilt(rig.window.get(), &gui::MainWindow::document_changed);

        // The same module again: the tree stays.
        rig.window->run_command(kCmdCheckConnection);
        QCOMPARE(rebuilt.count(), 0);

        // A modified VK03 tree and a VK05 on the line: the user is asked to save first, then the VK05
        // tree is built.
        rig.backend->set_module(other);
        rig.doc->modified = true;
        ui.push_answer(Answer::No);
        const std::size_t asked = ui.questions().size();
        rig.window->run_command(kCmdCheckConnection);
        QCOMPARE(ui.questions().size(), asked + 1);
        QCOMPARE(rebuilt.count(), 1);
        QVERIFY(QString::fromStdString(rig.doc->root()->name).contains(QStringLiteral("VK05")));
        QVERIFY(rig.window->windowTitle().contains(QStringLiteral("VK05")));
    }

    // The VK03 tree saved after a VK05 was found is a VK03 file, and the title names the tree's model
    // until the tree is replaced.
    void savingAfterAnotherModuleWasFoundKeepsTheTreesModel() {
        auto module = served_module(kVK03);
        auto other = served_module(5);
        QVERIFY(module && other);
        Rig rig(module, CBrandRavelin(), std::make_unique<HeadlessUi>(true));
        QVERIFY(rig.connect());
        QTemporaryDir folder;
        const std::string path = folder.filePath(QStringLiteral("plant.vdc")).toStdString();
        rig.doc->path_name = path;

        rig.backend->set_module(other);
        rig.doc->check_connection();
        rig.window->update_from_document();
        QVERIFY(rig.window->windowTitle().contains(QStringLiteral("VK03")));
        QVERIFY(rig.doc->save_file(path));
        std::ifstream in(path, std::ios::binary);
        const std::string bytes{std::istreambuf_iterator<char>(in), {}};
        const std::size_t model_byte = 14;  // after the document's class tag
        QVERIFY(bytes.size() > model_byte);
        QCOMPARE(static_cast<int>(static_cast<unsigned char>(bytes[model_byte])), kVK03);
    }

    void readAllFromTheMenuFillsTheTree() {
        auto module = served_module(kVK03);
        QVERIFY(module);
        MessageBoxCloser closer;
        Rig rig(module, CBrandRavelin());
        rig.window->show();
        QVERIFY(rig.connect());
        QCOMPARE(rig.window->windowTitle(), QStringLiteral("Configurator Tavik-VK03 - Tavik[*]"));
        QVERIFY(rig.window->action(kCmdIoStatus)->toolTip() == QStringLiteral("I/O status"));

        std::vector<const Parameter*> parameters;
        collect(*rig.doc->root(), parameters);
        QVERIFY(parameters.size() > 10);
        QCOMPARE(QString::fromStdString(parameters.front()->value_text()),
                 QString::fromUtf8(str(kNoData).data()));

        // The progress window shows the task's title and its lines while the worker reads.
        ProgressWatcher watcher;
        QSignalSpy refreshed(rig.window.get(), &gui::MainWindow::refresh_requested);
        rig.window->action(kCmdReadAll)->trigger();  // returns when the window has closed

        QCOMPARE(watcher.titles, QStringList{QStringLiteral("Read parameters from device")});
        QVERIFY(watcher.lines.contains(
            QStringLiteral("Task accomplished. Window will be closed automatically.")));
        QCOMPARE(refreshed.count(), 1);
        for (const Parameter* p : parameters) {
            QVERIFY2(p->error_text.empty(), (p->network_name() + ": " + p->error_text).c_str());
            QVERIFY2(p->value_text() != str(kNoData), p->network_name().c_str());
        }
        QVERIFY(closer.texts.isEmpty());
    }

    void editedValueIsWrittenByWriteChanges() {
        auto module = served_module(kVK03);
        QVERIFY(module);
        MessageBoxCloser closer;
        Rig rig(module, CBrandRavelin());
        auto* view = new gui::ConfigurationTreePane(*rig.doc);
        rig.window->set_tree_view(view);
        rig.window->resize(1100, 600);
        rig.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(rig.window.get()));
        QVERIFY(rig.connect());
        view->rebuild();

        std::vector<const Parameter*> parameters;
        collect(*rig.doc->root(), parameters);
        Parameter* timeout = nullptr;
        for (const Parameter* p : parameters)
            if (p->network_name() == "t.out") timeout = const_cast<Parameter*>(p);
        QVERIFY(timeout && timeout->tree_item);
        QVERIFY(module->value("t.out") != std::optional<std::string>("42"));

        // Typed into the value cell: green, and nothing sent yet.
        gui::ConfigurationTree& tree = view->tree();
        tree.select_quietly(timeout->tree_item);
        QCoreApplication::processEvents();
        QTest::mouseDClick(tree.viewport(), Qt::LeftButton, {},
                           tree.cell_rect(timeout->tree_item, kColumnValue).center());
        QVERIFY(tree.edit_box());
        tree.edit_box()->selectAll();
        QTest::keyClicks(tree.edit_box(), QStringLiteral("42"));
        QTest::keyClick(tree.edit_box(), Qt::Key_Return);
        QCOMPARE(view->model().item_color(timeout->tree_item), std::optional<Rgb>(kModifiedColour));
        QVERIFY(module->value("t.out") != std::optional<std::string>("42"));

        // "Write changes" sends it; the row loses its green.
        rig.window->action(kCmdWriteChanges)->trigger();
        QCOMPARE(module->value("t.out"), std::optional<std::string>("42"));
        QVERIFY(!timeout->value_modified);
        QVERIFY(view->model().item_color(timeout->tree_item) != std::optional<Rgb>(kModifiedColour));
        QVERIFY(closer.texts.isEmpty());
    }

    void unwrittenEditsMarkTheTitleAndAreAskedAboutOnExit() {
        auto module = served_module(kVK03);
        QVERIFY(module);
        Rig rig(module, CBrandRavelin());
        auto* view = new gui::ConfigurationTreePane(*rig.doc);
        rig.window->set_tree_view(view);
        rig.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(rig.window.get()));
        QVERIFY(rig.connect());
        view->rebuild();
        QVERIFY(rig.window->windowTitle().endsWith("[*]"));
        QVERIFY(!rig.window->isWindowModified());

        // F2 on the selected row, a value typed: the title is marked.
        std::vector<const Parameter*> parameters;
        collect(*rig.doc->root(), parameters);
        Parameter* timeout = nullptr;
        for (const Parameter* p : parameters)
            if (p->network_name() == "t.out") timeout = const_cast<Parameter*>(p);
        QVERIFY(timeout && timeout->tree_item);
        gui::ConfigurationTree& tree = view->tree();
        tree.select_quietly(timeout->tree_item);
        tree.setFocus();
        QTest::keyClick(&tree, Qt::Key_F2);
        QVERIFY(tree.edit_box());
        tree.edit_box()->selectAll();
        QTest::keyClicks(tree.edit_box(), QStringLiteral("42"));
        QTest::keyClick(tree.edit_box(), Qt::Key_Return);
        rig.window->update_from_document();
        QVERIFY(rig.window->isWindowModified());

        // Saved to a file, the module still lacks the value: Exit asks, and Enter keeps the window.
        rig.doc->modified = false;
        rig.window->update_from_document();
        QVERIFY(rig.window->isWindowModified());
        QStringList asked;
        QTimer answer;
        answer.setInterval(20);
        connect(&answer, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            asked << box->text();
            QCOMPARE(box->defaultButton(), box->button(QMessageBox::No));
            QCOMPARE(box->parentWidget(), rig.window.get());
            QTest::keyClick(box, Qt::Key_Return);
        });
        answer.start();
        QVERIFY(!rig.window->close());
        QCOMPARE(asked.size(), 1);
        QVERIFY(asked[0].contains("not been written to the module"));
        QVERIFY(rig.window->isVisible());

        // Written: no mark, and Exit asks nothing.
        rig.window->action(kCmdWriteChanges)->trigger();
        QVERIFY(!rig.window->isWindowModified());
        QVERIFY(rig.window->close());
        QCOMPARE(asked.size(), 1);
    }

    void destructiveQuestionsDefaultToTheSafeAnswerOverTheAskingWindow() {
        gui::QtUi ui;
        QWidget owner;
        ui.set_main_window(&owner);
        owner.show();
        QDialog asking(&owner);
        asking.open();  // a dialog of the window is up and asks
        struct Seen {
            QAbstractButton* default_button;
            QAbstractButton* no;
            QAbstractButton* yes;
            QWidget* parent;
        };
        std::vector<Seen> seen;
        QTimer answer;
        answer.setInterval(20);
        connect(&answer, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            seen.push_back({box->defaultButton(), box->button(QMessageBox::No), box->button(QMessageBox::Yes),
                            box->parentWidget()});
            QTest::keyClick(box, Qt::Key_Return);
        });
        answer.start();
        QCOMPARE(ui.ask("Apply default settings?", Buttons::YesNoSafeNo, MessageIcon::Warning), Answer::No);
        QCOMPARE(ui.ask("Repeat?", Buttons::YesNo, MessageIcon::Question), Answer::Yes);
        QCOMPARE(seen.size(), std::size_t(2));
        QCOMPARE(seen[0].default_button, seen[0].no);
        QCOMPARE(seen[1].default_button, seen[1].yes);
        QCOMPARE(seen[0].parent, &asking);
        ui.set_main_window(nullptr);
    }

    void cancelStopsALongRead() {
        auto module = served_module(kVK03);
        QVERIFY(module);
        MemorySettingsStore store;
        store.set_int(kSettingsGroup, "baud_rate", 2400);
        set_settings_store(&store);
        MessageBoxCloser closer;
        Rig rig(module, CBrandRavelin());
        rig.doc->device().finish_grace = std::chrono::milliseconds(2000);  // Cancel cuts this short too
        rig.window->show();
        QVERIFY(rig.connect());
        rig.backend->set_line_timing(true);  // every request now takes as long as on a real 2400 baud line

        bool stayed_open = false;
        bool pressed = false;
        QTimer press;
        press.setInterval(5);
        connect(&press, &QTimer::timeout, [&] {
            auto* dialog = qobject_cast<gui::ProgressDialog*>(QApplication::activeModalWidget());
            if (!dialog || pressed || dialog->lines().size() < 3) return;
            QTest::mouseClick(dialog->cancel_button(), Qt::LeftButton);
            pressed = true;
            stayed_open = dialog->isVisible();  // only the task closes the window
        });
        press.start();
        QElapsedTimer clock;
        clock.start();
        rig.window->action(kCmdReadAll)->trigger();
        press.stop();

        QVERIFY(pressed);
        QVERIFY(stayed_open);
        QVERIFY2(clock.elapsed() < 5000, QByteArray::number(clock.elapsed()).constData());
        std::vector<const Parameter*> parameters;
        collect(*rig.doc->root(), parameters);
        const auto unread = std::count_if(parameters.begin(), parameters.end(),
                                          [](const Parameter* p) { return p->value_text() == str(kNoData); });
        QVERIFY2(unread > static_cast<long>(parameters.size()) / 2,
                 QByteArray::number(int(unread)).constData());
        QVERIFY(closer.texts.isEmpty());
    }

    void workerQuestionsAreAskedOnTheWindowThread() {
        gui::QtUi ui;
        QStringList seen;
        QTimer answer;
        answer.setInterval(10);
        connect(&answer, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            seen << box->windowTitle() + "|" + box->text() + "|" +
                        (box->thread() == qApp->thread() ? "gui" : "other");
            if (QAbstractButton* yes = box->button(QMessageBox::Yes))
                yes->click();
            else
                box->button(QMessageBox::Ok)->click();
        });
        answer.start();

        std::atomic<bool> done{false};
        Answer answered = Answer::Cancel;
        std::thread worker([&] {
            ui.message("Tree is not selected", MessageIcon::Error);
            answered = ui.ask("Execute <INIT>?", Buttons::YesNo, MessageIcon::Question);
            done = true;
        });
        QTRY_VERIFY_WITH_TIMEOUT(done, 5000);
        worker.join();
        QCOMPARE(answered, Answer::Yes);
        QCOMPARE(seen, (QStringList{"Tavik|Tree is not selected|gui", "Tavik|Execute <INIT>?|gui"}));

        // Posted work runs later, on this thread, in order.
        QStringList order;
        std::thread poster([&] {
            ui.post([&] { order << "first"; });
            ui.post([&] { order << "second"; });
        });
        poster.join();
        QVERIFY(order.isEmpty());
        QTRY_COMPARE(order, (QStringList{"first", "second"}));
    }

    void workerDrivesTheProgressWindow() {
        std::thread worker;
        ExchangeRequest request;
        request.title = "Write parameters to device";
        request.total = 20;
        request.on_open = [&worker](ProgressWindow& window) {
            worker = std::thread([&window] {
                for (int i = 1; i <= 12; ++i) {
                    window.add_line("  Write: p" + std::to_string(i));
                    window.set_progress(i, 20, "00:00:01");
                }
                window.close();
            });
        };
        gui::ProgressDialog dialog(request);
        QCOMPARE(dialog.count_text(), QStringLiteral("0 of 20"));
        QVERIFY(dialog.run());
        worker.join();
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Write parameters to device"));
        QCOMPARE(dialog.lines().size(), 12);
        QCOMPARE(dialog.lines().last(), QStringLiteral("  Write: p12"));
        QCOMPARE(dialog.count_text(), QStringLiteral("12 of 20"));
        QCOMPARE(dialog.elapsed_text(), QStringLiteral("00:00:01"));
        QCOMPARE(dialog.progress_bar()->value(), 12);
        QVERIFY(!dialog.isVisible());
    }

    void escapeActsAsCancel() {
        std::thread worker;
        std::atomic<bool> cancelled{false};
        ExchangeRequest request;
        request.title = "Read parameters from device";
        request.on_cancel = [&cancelled] { cancelled = true; };
        request.on_open = [&](ProgressWindow& window) {
            worker = std::thread([&window, &cancelled] {
                while (!cancelled)
                    std::this_thread::sleep_for(std::chrono::milliseconds(2));
                window.add_line("cancelled");
                window.close();
            });
        };
        gui::ProgressDialog dialog(request);
        QTimer::singleShot(50, &dialog, [&dialog] { QTest::keyClick(&dialog, Qt::Key_Escape); });
        QVERIFY(dialog.run());
        worker.join();
        QVERIFY(cancelled);
        QCOMPARE(dialog.lines(), QStringList{QStringLiteral("cancelled")});
    }

  private:
    QTemporaryDir settings_dir_;
};

QTEST_MAIN(MainWindowTest)
#include "gui_main_window_test.moc"
