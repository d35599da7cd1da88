#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <functional>
#include <map>
#include <vector>

#include "core/devices/menu_changes.h"

class QAction;
class QLabel;
class QMenu;
class QTimer;
class QToolBar;
class QToolButton;
class QVBoxLayout;

namespace varda {
class CBaseDevice;
class CBrand;
class CTarnDoc;
struct Options;
}  // namespace varda

namespace varda::gui {

class ConfigurationTreePane;
class ConnectionIndicator;
class BusMonitorWindow;

// The configurator's main frame: menus, toolbar and status bar over the document, and the place where the
// parameter tree goes. Every command runs a document operation or a handler that another part of the
// window registers (the tree view its branch commands, dialogs theirs); a command without a handler is
// greyed. Which commands are enabled or checked is decided in core (menu_state.h).
class MainWindow : public QMainWindow {
    Q_OBJECT
  public:
    MainWindow(CTarnDoc& doc, Options& options, const CBrand& brand, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Puts the view in the middle of the window (the parameter tree view).
    void set_central_view(QWidget* view);
    QWidget* central_view() const { return central_view_; }
    // Puts the parameter tree view in the middle and routes the view's commands to it (problem
    // navigation, branch commands, the parameter-list export); it rebuilds when the document changes.
    void set_tree_view(ConfigurationTreePane* view);

    // Routes a command to `handler`; an empty handler greys the command again.
    void set_command_handler(int command, std::function<void()> handler);
    // Runs a command as its menu item would.
    void run_command(int command);
    // The action of a command (it may be in no menu when the brand left it out), or nullptr.
    QAction* action(int command) const;
    QMenu* top_menu(const QString& title) const;
    QToolBar* toolbar() const { return toolbar_; }
    const CBrand& brand() const { return *brand_; }
    // Switches the brand: the menus and the toolbar are rebuilt at once and the choice is stored.
    void set_brand(const CBrand& brand);

    // Follows the document after something may have changed the model or the tree: menus of the model,
    // title, enabled and checked commands.
    void update_from_document();
    void update_command_states();

    QStringList recent_files() const;
    // The status bar: the connection indicator and the line under the tree (the last exchange's summary).
    ConnectionIndicator* connection_indicator() const { return indicator_; }
    // The line's counters beside it; a click resets them.
    QToolButton* line_counters() const { return counters_; }
    QString status_line() const;

  signals:
    // The document asks every view to redraw from the tree.
    void refresh_requested();
    // A new tree was built or a file loaded: views rebuild from the document.
    void document_changed();

  protected:
    void closeEvent(QCloseEvent* event) override;
    // A configuration file dropped on the window opens as "Open..." would open it.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    void create_actions();
    void register_document_commands();
    void build_menus();
    void build_toolbar();
    void fill_toolbar();
    void update_title();
    void update_prompts();
    void update_status_bar();
    void refresh_views();
    void add_edit_menu();

    void new_document();
    void open_document(const QString& path = {});
    // After a connection found another model: its tree replaces the shown one.
    void follow_connected_model();
    bool save_document();
    bool save_document_as();
    // Asks to save a modified document and whether edited values not written to the module may go;
    // false when the user cancelled.
    bool maybe_save();
    void set_recent_files(const std::vector<std::string>& files);

    CTarnDoc& doc_;
    Options& options_;
    const CBrand* brand_;  // the program-long object of the brand, whatever object the caller gave
    std::map<int, QAction*> actions_;
    std::map<int, std::function<void()>> handlers_;
    std::vector<QMenu*> menus_;
    std::vector<MenuCommandInsertion> model_commands_;
    std::vector<std::string> recent_files_;
    int prompt_model_ = -2;  // model index the prompts were made for; -1 none
    QToolBar* toolbar_ = nullptr;
    QLabel* ready_ = nullptr;
    ConnectionIndicator* indicator_ = nullptr;
    QToolButton* counters_ = nullptr;
    QPointer<BusMonitorWindow> monitor_;  // one window, kept while open
    int shown_exchange_ = 0;              // number of the exchange summary on the status line
    QVBoxLayout* central_layout_ = nullptr;
    QWidget* central_view_ = nullptr;
    QPointer<ConfigurationTreePane> tree_view_;
    QTimer* idle_timer_ = nullptr;
};

}  // namespace varda::gui
