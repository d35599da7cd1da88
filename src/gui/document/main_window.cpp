#include "gui/document/main_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPointer>
#include <QSettings>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "core/app/command_line/brand_choice.h"
#include "core/app/connection/connection_status.h"
#include "core/app/document/differences.h"
#include "core/app/document/document.h"
#include "core/app/document/menu_state.h"
#include "core/app/service/model_calibration.h"
#include "core/devices/base_device.h"
#include "core/devices/brand.h"
#include "core/link/device.h"
#include "core/link/options.h"
#include "core/model/device_table.h"
#include "core/platform/numbers.h"
#include "core/platform/settings_store.h"
#include "core/platform/strings.h"
#include "core/platform/ui.h"
#include "gui/calibration/tare_weight_dialog.h"
#include "gui/connection/bus_scan_dialog.h"
#include "gui/connection/connection_indicator.h"
#include "gui/document/help_window.h"
#include "gui/document/menu_look.h"
#include "gui/platform/qt_text.h"
#include "gui/platform/qt_ui.h"
#include "gui/service/bus_monitor_window.h"
#include "gui/service/io_status_dialog.h"
#include "gui/service/single_point_dialog.h"
#include "gui/tree/tree_view.h"

// The icons live in the gui library; a static library's resources must be pulled in by name.
static void init_icon_resources() {
    Q_INIT_RESOURCE(icons);
}

namespace varda::gui {

namespace {

constexpr int kStringToolbar = 471;
// Menus and toolbar idle-update this often, so a model chosen elsewhere shows without a click.
constexpr int kIdleUpdateMs = 250;
const QString kRecentGroup = QStringLiteral("Recent File List");

// The first local file among dropped items; several files open as one would (the first), since the
// window holds one document.
QString dropped_file(const QMimeData* data) {
    if (!data || !data->hasUrls()) return {};
    for (const QUrl& url : data->urls())
        if (url.isLocalFile()) return url.toLocalFile();
    return {};
}

struct CommandLook {
    int command;
    const char* icon;  // file in :/icons without ".svg", or nullptr
    QKeySequence shortcut;
};

const std::vector<CommandLook>& command_looks() {
    static const std::vector<CommandLook> looks = {
        {kCmdNew, "new", QKeySequence(Qt::CTRL | Qt::Key_N)},
        {kCmdOpen, "open", QKeySequence(Qt::CTRL | Qt::Key_O)},
        {kCmdSave, "save", QKeySequence(Qt::CTRL | Qt::Key_S)},
        {kCmdSaveAs, nullptr, {}},
        {kCmdExit, "exit", {}},
        {kCmdReadAll, "read_all", QKeySequence(Qt::ALT | Qt::Key_R)},
        {kCmdWriteAll, "write_all", QKeySequence(Qt::ALT | Qt::Key_W)},
        {kCmdWriteChanges, "write_changes", QKeySequence(Qt::ALT | Qt::Key_U)},
        {kCmdCompare, "compare", QKeySequence(Qt::ALT | Qt::Key_C)},
        {kCmdCompareWithFile, nullptr, {}},
        {kCmdApplyDefaults, "apply_defaults", {}},
        {kCmdExecuteInit, "init", QKeySequence(Qt::ALT | Qt::Key_I)},
        {kCmdApplyNewSettings, "apply_settings", QKeySequence(Qt::ALT | Qt::Key_A)},
        {kCmdIoStatus, "io_status", {}},
        {kCmdSingleParameter, "single_parameter", QKeySequence(Qt::ALT | Qt::Key_S)},
        {kCmdCheckConnection, "check_connection", QKeySequence(Qt::ALT | Qt::Key_N)},
        {kCmdFindModules, nullptr, {}},
        {kCmdBusMonitor, nullptr, {}},
        {kCmdAdapterAuto, nullptr, {}},
        {kCmdAdapterSemiAuto, nullptr, {}},
        {kCmdPortSettings, "port_settings", {}},
        {kCmdReadBranch, "read_branch", QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_R)},
        {kCmdWriteBranch, "write_branch", QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_W)},
        {kCmdWriteBranchChanges, "write_branch_changes", QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_U)},
        {kCmdCompareBranch, "compare_branch", QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_C)},
        {kCmdPreviousProblem, "prev_problem", QKeySequence(Qt::ALT | Qt::Key_Up)},
        {kCmdNextProblem, "next_problem", QKeySequence(Qt::ALT | Qt::Key_Down)},
        {kCmdShowIndexes, nullptr, {}},
        {kCmdReadAutomatically, nullptr, {}},
        {kCmdInstantRecording, nullptr, {}},
        {kCmdDoNotSendAttributes, nullptr, {}},
        {kCmdCalibration, "calibration", {}},
        {kCmdServiceFunctions, nullptr, {}},
        {kCmdToolbar, nullptr, {}},
        {kCmdStatusBar, nullptr, {}},
        {kCmdHelp, "help", QKeySequence(QKeySequence::HelpContents)},
        {kCmdExportHtml, "export_html", {}},
        {kCmdAbout, "about", {}},
    };
    return looks;
}

// Menu text of a command as the menu layout names it.
std::string text_of(const std::vector<MenuItem>& items, int command) {
    for (const MenuItem& item : items) {
        if (item.kind == MenuItem::Kind::Command && item.command == command) return item.text;
        if (item.kind == MenuItem::Kind::Submenu) {
            std::string text = text_of(item.items, command);
            if (!text.empty()) return text;
        }
    }
    return {};
}

}  // namespace

MainWindow::MainWindow(CTarnDoc& doc, Options& options, const CBrand& brand, QWidget* parent)
    : QMainWindow(parent), doc_(doc), options_(options), brand_(&brand_object(brand.id())) {
    init_icon_resources();
    if (QtUi* ui = qt_ui()) ui->set_main_window(this);

    auto* central = new QWidget(this);
    central_layout_ = new QVBoxLayout(central);
    central_layout_->setContentsMargins(0, 0, 0, 0);
    // Stands in for the parameter tree view: an empty view's sunken white field.
    auto* placeholder = new QFrame(central);
    placeholder->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    placeholder->setBackgroundRole(QPalette::Base);
    placeholder->setAutoFillBackground(true);
    central_view_ = placeholder;
    central_layout_->addWidget(central_view_);
    setCentralWidget(central);

    ready_ = new QLabel(tr("Ready"));
    statusBar()->addWidget(ready_, 1);
    indicator_ = new ConnectionIndicator;
    statusBar()->addPermanentWidget(indicator_);
    counters_ = new QToolButton;
    counters_->setAutoRaise(true);
    statusBar()->addPermanentWidget(counters_);
    connect(counters_, &QToolButton::clicked, this, [this] {
        doc_.device().sio().line_stats().reset();
        update_status_bar();
    });
    connect(indicator_, &QToolButton::clicked, this, [this] { run_command(kCmdPortSettings); });

    QSettings settings(QStringLiteral("KEST"), QStringLiteral("Varda"));
    settings.beginGroup(kRecentGroup);
    for (int i = 0; i < kRecentFileCount; ++i) {
        const QString path = settings.value(QStringLiteral("File%1").arg(i + 1)).toString();
        if (!path.isEmpty()) recent_files_.push_back(path.toStdString());
    }
    settings.endGroup();

    create_actions();
    register_document_commands();
    build_menus();
    build_toolbar();

    // The document's hooks: redraw the views, and the worker's "a network setting was written" (APLY).
    // Views join the refresh hook as well, so it keeps whoever joined before; the guard makes a hook that
    // outlives the window harmless.
    QPointer<MainWindow> self(this);
    doc_.refresh_views = [self, previous = doc_.refresh_views] {
        if (previous) previous();
        if (self) self->refresh_views();
    };
    doc_.device().on_network_parameter_written = [self] {
        if (!self) return;
        self->doc_.apply_new_settings(false, false);
        self->update_from_document();
    };

    idle_timer_ = new QTimer(this);
    idle_timer_->setInterval(kIdleUpdateMs);
    connect(idle_timer_, &QTimer::timeout, this, &MainWindow::update_from_document);
    idle_timer_->start();

    setAcceptDrops(true);
    resize(900, 600);
    if (const auto geometry = settings_store().get_string(kWindowGroup, "geometry"))
        restoreGeometry(QByteArray::fromBase64(QByteArray::fromStdString(*geometry)));
    update_from_document();
}

MainWindow::~MainWindow() {
    if (QtUi* ui = qt_ui(); ui && ui->main_window() == this) ui->set_main_window(nullptr);
}

void MainWindow::set_central_view(QWidget* view) {
    if (!view || view == central_view_) return;
    if (central_view_) {
        central_layout_->removeWidget(central_view_);
        central_view_->deleteLater();
    }
    central_view_ = view;
    view->setParent(centralWidget());
    central_layout_->addWidget(view);
    view->show();
}

void MainWindow::set_tree_view(ConfigurationTreePane* view) {
    set_central_view(view);
    tree_view_ = view;
    connect(this, &MainWindow::document_changed, view, &ConfigurationTreePane::rebuild);
    set_command_handler(kCmdPreviousProblem, [view] { view->previous_problem(); });
    set_command_handler(kCmdNextProblem, [view] { view->next_problem(); });
    for (const int command : {kCmdReadBranch, kCmdWriteBranch, kCmdWriteBranchChanges, kCmdCompareBranch})
        set_command_handler(command, [view, command] { view->branch_command(command); });
    set_command_handler(kCmdExportHtml, [view] { view->export_parameter_list(); });
}

void MainWindow::set_command_handler(int command, std::function<void()> handler) {
    if (handler)
        handlers_[command] = std::move(handler);
    else
        handlers_.erase(command);
    update_command_states();
}

void MainWindow::run_command(int command) {
    const auto it = handlers_.find(command);
    if (it == handlers_.end()) return;
    // Copied: a handler may replace itself while it runs.
    const std::function<void()> handler = it->second;
    handler();
    update_from_document();
}

QAction* MainWindow::action(int command) const {
    const auto it = actions_.find(command);
    return it == actions_.end() ? nullptr : it->second;
}

QMenu* MainWindow::top_menu(const QString& title) const {
    for (QMenu* menu : menus_)
        if (menu->title() == title) return menu;
    return nullptr;
}

QStringList MainWindow::recent_files() const {
    QStringList out;
    for (const std::string& path : recent_files_)
        out << qtext(path);
    return out;
}

void MainWindow::create_actions() {
    const std::vector<TopMenu> menus = main_menu_base();
    for (const CommandLook& look : command_looks()) {
        std::string text;
        for (const TopMenu& menu : menus)
            if (text.empty()) text = text_of(menu.items, look.command);
        auto* action = new QAction(qtext(text), this);
        if (look.icon) action->setIcon(QIcon(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(look.icon))));
        if (!look.shortcut.isEmpty()) action->setShortcut(look.shortcut);
        const int command = look.command;
        connect(action, &QAction::triggered, this, [this, command] { run_command(command); });
        actions_[command] = action;
    }
    for (int i = 0; i < kRecentFileCount; ++i) {
        const int command = kCmdRecentFile + i;
        auto* action = new QAction(this);
        connect(action, &QAction::triggered, this, [this, command] { run_command(command); });
        actions_[command] = action;
    }
    update_prompts();
}

void MainWindow::register_document_commands() {
    auto doc_command = [this](int command, auto operation) {
        handlers_[command] = [this, operation] { operation(doc_); };
    };
    handlers_[kCmdNew] = [this] { new_document(); };
    handlers_[kCmdOpen] = [this] { open_document(); };
    handlers_[kCmdSave] = [this] { save_document(); };
    handlers_[kCmdSaveAs] = [this] { save_document_as(); };
    handlers_[kCmdExit] = [this] { close(); };
    for (int i = 0; i < kRecentFileCount; ++i) {
        handlers_[kCmdRecentFile + i] = [this, i] {
            if (static_cast<std::size_t>(i) < recent_files_.size()) open_document(qtext(recent_files_[i]));
        };
    }
    doc_command(kCmdReadAll, [](CTarnDoc& d) { d.read_all(); });
    doc_command(kCmdWriteAll, [](CTarnDoc& d) { d.write_all(); });
    doc_command(kCmdWriteChanges, [](CTarnDoc& d) { d.write_changes(); });
    doc_command(kCmdCompare, [](CTarnDoc& d) { d.compare(); });
    handlers_[kCmdCompareWithFile] = [this] {
        const QString path = QFileDialog::getOpenFileName(this, tr("Compare with file"), {},
                                                          tr("Configuration files (*.vdc);;All files (*)"));
        if (!path.isEmpty()) compare_with_file(doc_, path.toStdString());
    };
    doc_command(kCmdApplyDefaults, [](CTarnDoc& d) { d.apply_default_settings(); });
    doc_command(kCmdExecuteInit, [](CTarnDoc& d) { d.execute_init(); });
    doc_command(kCmdApplyNewSettings, [](CTarnDoc& d) { d.apply_new_settings(false, false); });
    handlers_[kCmdBusMonitor] = [this] {
        if (!monitor_) monitor_ = new BusMonitorWindow(doc_, this);
        monitor_->show();
        monitor_->raise();
        monitor_->activateWindow();
    };
    handlers_[kCmdFindModules] = [this] {
        BusScanDialog dialog(doc_.device(), this);
        dialog.exec();
        if (dialog.connected()) follow_connected_model();
        update_from_document();
    };
    handlers_[kCmdCheckConnection] = [this] {
        doc_.check_connection();
        follow_connected_model();
    };
    doc_command(kCmdShowIndexes, [](CTarnDoc& d) { d.toggle_show_indexes(); });
    doc_command(kCmdReadAutomatically, [](CTarnDoc& d) { d.toggle_read_automatically(); });
    doc_command(kCmdInstantRecording, [](CTarnDoc& d) { d.toggle_instant_recording(); });
    doc_command(kCmdDoNotSendAttributes, [](CTarnDoc& d) { d.toggle_do_not_send_attributes(); });
    doc_command(kCmdAdapterAuto,
                [](CTarnDoc& d) { d.device().sio().settings.adapter_mode = adapter_mode::kAuto; });
    doc_command(kCmdAdapterSemiAuto,
                [](CTarnDoc& d) { d.device().sio().settings.adapter_mode = adapter_mode::kByRts; });
    handlers_[kCmdIoStatus] = [this] { IoStatusWindow::Open(doc_, this); };
    handlers_[kCmdTareWeight] = [this] { TareWeightDialog::Open(doc_, this); };
    handlers_[kCmdSingleParameter] = [this] {
        SinglePointDialog dialog(doc_, this);
        dialog.exec();
    };
    handlers_[kCmdPortSettings] = [this] {
        varda::dialogs().run_connection_dialog(false);
        follow_connected_model();
    };
    handlers_[kCmdCalibration] = [this] {
        if (CBaseDevice* model = doc_.device_model()) {
            calibrate_model(*model);
            refresh_views();
        }
    };
    handlers_[kCmdToolbar] = [this] { toolbar_->setVisible(toolbar_->isHidden()); };
    handlers_[kCmdStatusBar] = [this] { statusBar()->setVisible(statusBar()->isHidden()); };
    handlers_[kCmdAbout] = [this] { show_about(this); };
    handlers_[kCmdHelp] = [this] { open_user_guide(this); };
    handlers_[kCmdServiceFunctions] = [this] {
        const BrandId next = toggled_brand(brand_->id());
        store_brand(settings_store(), next);
        set_brand(brand_object(next));
    };
}

void MainWindow::build_menus() {
    for (QMenu* menu : menus_)
        menu->deleteLater();
    menus_.clear();
    menuBar()->clear();

    const CBaseDevice* model = doc_.device_model();
    const std::vector<TopMenu> layout = main_menu_layout(*brand_, model);
    model_commands_ = model ? model->CustomizeMenu() : std::vector<MenuCommandInsertion>{};
    // Commands a model brings need actions of their own.
    for (const MenuCommandInsertion& insertion : model_commands_) {
        if (actions_.count(insertion.command_id)) continue;
        auto* action = new QAction(qtext(str(insertion.text_id)), this);
        const int command = insertion.command_id;
        connect(action, &QAction::triggered, this, [this, command] { run_command(command); });
        actions_[command] = action;
    }

    std::function<void(QMenu*, const std::vector<MenuItem>&)> fill = [&](QMenu* menu,
                                                                         const std::vector<MenuItem>& items) {
        for (const MenuItem& item : items) {
            switch (item.kind) {
                case MenuItem::Kind::Command:
                    if (QAction* a = action(item.command)) menu->addAction(a);
                    break;
                case MenuItem::Kind::Separator:
                    menu->addSeparator();
                    break;
                case MenuItem::Kind::Submenu: {
                    QMenu* sub = menu->addMenu(qtext(item.text));
                    give_menu_look(sub);
                    connect(sub, &QMenu::aboutToShow, this, &MainWindow::update_command_states);
                    fill(sub, item.items);
                    break;
                }
                case MenuItem::Kind::RecentFiles:
                    for (int i = 0; i < kRecentFileCount; ++i)
                        menu->addAction(action(kCmdRecentFile + i));
                    break;
            }
        }
    };
    for (const TopMenu& top : layout) {
        QMenu* menu = menuBar()->addMenu(qtext(top.title));
        give_menu_look(menu);
        connect(menu, &QMenu::aboutToShow, this, &MainWindow::update_command_states);
        fill(menu, top.items);
        menus_.push_back(menu);
    }
    add_edit_menu();
    set_recent_files(recent_files_);
}

void MainWindow::add_edit_menu() {
    // Undo and redo of value edits, named after the edit they act on.
    auto* edit = new QMenu(tr("&Edit"), this);
    give_menu_look(edit);
    QAction* undo = edit->addAction(tr("Undo"), this, [this] { doc_.undo(); });
    undo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    QAction* redo = edit->addAction(tr("Redo"), this, [this] { doc_.redo(); });
    redo->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
    edit->addSeparator();
    QAction* find = edit->addAction(tr("Find..."), this, [this] {
        if (tree_view_) tree_view_->filter_bar().start();
    });
    find->setShortcut(QKeySequence::Find);
    connect(edit, &QMenu::aboutToShow, this, [this, undo, redo] {
        const EditHistory& history = doc_.history();
        undo->setText(history.can_undo() ? tr("Undo %1").arg(qtext(history.undo_name())) : tr("Undo"));
        redo->setText(history.can_redo() ? tr("Redo %1").arg(qtext(history.redo_name())) : tr("Redo"));
        undo->setEnabled(history.can_undo());
        redo->setEnabled(history.can_redo());
    });
    // Shortcuts work while the menu is closed; an empty history makes them do nothing.
    connect(edit, &QMenu::aboutToHide, this, [undo, redo] {
        undo->setEnabled(true);
        redo->setEnabled(true);
    });
    QAction* before = menus_.size() > 1 ? menus_[1]->menuAction() : nullptr;
    menuBar()->insertMenu(before, edit);
    menus_.push_back(edit);
}

void MainWindow::build_toolbar() {
    toolbar_ = addToolBar(qtext(str(kStringToolbar)));
    toolbar_->setObjectName(QStringLiteral("toolbar"));
    toolbar_->setIconSize(QSize(16, 16));
    toolbar_->setToolButtonStyle(Qt::ToolButtonIconOnly);
    fill_toolbar();
}

void MainWindow::fill_toolbar() {
    toolbar_->clear();
    for (const int command : toolbar_layout(*brand_)) {
        if (command == 0)
            toolbar_->addSeparator();
        else if (QAction* a = action(command))
            toolbar_->addAction(a);
    }
}

void MainWindow::set_brand(const CBrand& brand) {
    brand_ = &brand_object(brand.id());
    if (QtUi* ui = qt_ui()) ui->set_brand(brand_);
    build_menus();
    fill_toolbar();
    update_command_states();
}

void MainWindow::update_from_document() {
    const CBaseDevice* model = doc_.device_model();
    const std::vector<MenuCommandInsertion> wanted =
        model ? model->CustomizeMenu() : std::vector<MenuCommandInsertion>{};
    if (wanted != model_commands_) build_menus();
    if ((model ? model->model_index() : -1) != prompt_model_) update_prompts();
    update_title();
    update_command_states();
    update_status_bar();
}

void MainWindow::update_status_bar() {
    if (const auto status = connection_status(doc_)) indicator_->show_status(*status);
    const LineCounters line = doc_.device().sio().line_stats().snapshot();
    const QString counted = qtext(line_counters_short_text(line));
    if (counters_->text() != counted) {
        counters_->setText(counted);
        counters_->setToolTip(tr("%1\nReplies: %2, mean %3 ms, longest %4 ms.\nClick to reset the counters.")
                                  .arg(qtext(line_counters_text(line)))
                                  .arg(line.replies)
                                  .arg(qtext(platform::fixed(line.mean_reply_ms, 1)))
                                  .arg(qtext(platform::fixed(line.max_reply_ms, 1))));
        counters_->setMinimumWidth(counters_->sizeHint().width());
    }
    const ExchangeSummary summary = doc_.device().last_exchange();
    if (summary.number == shown_exchange_) return;
    shown_exchange_ = summary.number;
    ready_->setText(qtext(exchange_summary_text(summary)));
}

QString MainWindow::status_line() const {
    return ready_->text();
}

void MainWindow::update_command_states() {
    MenuFacts facts;
    facts.options = &options_;
    facts.adapter_mode = doc_.device().sio().settings.adapter_mode;
    facts.model = doc_.device_model();
    facts.toolbar_visible = toolbar_ && !toolbar_->isHidden();
    facts.status_bar_visible = !statusBar()->isHidden();
    facts.full_brand = brand_->id() == BrandId::Kest;
    for (const auto& [command, action] : actions_) {
        const CommandState state = command_state(command, facts, handlers_.count(command) > 0);
        action->setEnabled(state.enabled);
        action->setCheckable(state.checkable);
        if (state.checkable) action->setChecked(state.checked);
    }
}

void MainWindow::update_prompts() {
    const CBaseDevice* model = doc_.device_model();
    prompt_model_ = model ? model->model_index() : -1;
    for (const auto& [command, action] : actions_) {
        const CommandPrompt prompt = command_prompt(command, model);
        action->setStatusTip(qtext(prompt.status));
        action->setToolTip(prompt.tip.empty() ? action->text().remove(QLatin1Char('&')) : qtext(prompt.tip));
    }
}

void MainWindow::update_title() {
    const std::string document = doc_.root() ? document_title(doc_.path_name) : std::string();
    // "[*]" is where Qt shows the modified mark: an unsaved file or values not written to the module.
    const QString title = qtext(main_window_title(doc_.tree_model_index(), document)) +
                          (document.empty() ? QString() : QStringLiteral("[*]"));
    if (windowTitle() != title) setWindowTitle(title);
    if (doc_.device().exchange_running()) return;  // the mark follows once the exchange has ended
    setWindowModified(doc_.root() && (doc_.modified || doc_.has_unwritten_edits()));
}

void MainWindow::refresh_views() {
    update_title();
    emit refresh_requested();
}

void MainWindow::new_document() {
    if (!maybe_save()) return;
    doc_.new_document();
    emit document_changed();
}

void MainWindow::follow_connected_model() {
    // Another model's tree would send its parameters to the wrong module: the tree is rebuilt, unless the
    // user keeps an unsaved tree by cancelling.
    if (!doc_.tree_model_differs() || !maybe_save()) return;
    doc_.new_document();
    emit document_changed();
}

void MainWindow::open_document(const QString& given) {
    if (!maybe_save()) return;
    QString path = given;
    if (path.isEmpty()) {
        const QString folder =
            doc_.path_name.empty() ? QString() : QFileInfo(qtext(doc_.path_name)).absolutePath();
        path = QFileDialog::getOpenFileName(this, tr("Open"), folder,
                                            tr("Configuration files (*.vdc);;All files (*)"));
        if (path.isEmpty()) return;
    }
    const std::string file = path.toStdString();
    const bool opened = doc_.open_file(file);
    std::vector<std::string> recent = recent_files_;
    if (opened)
        add_recent_file(recent, file);
    else if (!given.isEmpty())
        remove_recent_file(recent, file);  // a recent file that no longer opens leaves the list
    set_recent_files(recent);
    emit document_changed();
}

bool MainWindow::save_document() {
    if (doc_.path_name.empty()) return save_document_as();
    const std::string path = doc_.path_name;
    if (!doc_.save_file(path)) return false;
    std::vector<std::string> recent = recent_files_;
    add_recent_file(recent, path);
    set_recent_files(recent);
    return true;
}

bool MainWindow::save_document_as() {
    const QString suggested =
        doc_.path_name.empty() ? qtext(document_title("")) + QStringLiteral(".vdc") : qtext(doc_.path_name);
    QFileDialog dialog(this, tr("Save as"), suggested, tr("Configuration files (*.vdc);;All files (*)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("vdc"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
    const std::string path = dialog.selectedFiles().first().toStdString();
    if (!doc_.save_file(path)) return false;
    std::vector<std::string> recent = recent_files_;
    add_recent_file(recent, path);
    set_recent_files(recent);
    return true;
}

bool MainWindow::maybe_save() {
    if (!doc_.root()) return true;
    if (doc_.modified) {
        const std::string question =
            tr("Save changes to %1?").arg(qtext(document_title(doc_.path_name))).toUtf8().toStdString();
        switch (varda::ui().ask(question, Buttons::YesNoCancel, MessageIcon::Warning)) {
            case Answer::Yes:
                if (!save_document()) return false;
                break;
            case Answer::No:
                break;
            default:
                return false;
        }
    }
    // A saved file still leaves the module without the edited values.
    return doc_.may_drop_unwritten_edits();
}

void MainWindow::set_recent_files(const std::vector<std::string>& files) {
    const bool changed = files != recent_files_;
    recent_files_ = files;
    for (int i = 0; i < kRecentFileCount; ++i) {
        QAction* a = action(kCmdRecentFile + i);
        const bool used = static_cast<std::size_t>(i) < files.size();
        a->setVisible(used);
        a->setText(used ? qtext(recent_file_menu_text(static_cast<std::size_t>(i), files[i])) : QString());
        a->setToolTip(used ? qtext(files[i]) : QString());
    }
    if (!changed) return;
    QSettings settings(QStringLiteral("KEST"), QStringLiteral("Varda"));
    settings.beginGroup(kRecentGroup);
    for (int i = 0; i < kRecentFileCount; ++i) {
        const QString key = QStringLiteral("File%1").arg(i + 1);
        if (static_cast<std::size_t>(i) < files.size())
            settings.setValue(key, qtext(files[i]));
        else
            settings.remove(key);
    }
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (!dropped_file(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
    const QString path = dropped_file(event->mimeData());
    if (path.isEmpty()) return;
    event->acceptProposedAction();
    activateWindow();
    // Opened after the drop has returned, so the dragging program is not held by our questions.
    QTimer::singleShot(0, this, [this, path] {
        open_document(path);
        update_from_document();
    });
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (!maybe_save()) {
        event->ignore();
        return;
    }
    settings_store().set_string(kWindowGroup, "geometry", saveGeometry().toBase64().toStdString());
    event->accept();
}

}  // namespace varda::gui
