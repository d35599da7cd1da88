#pragma once

#include <QWidget>

#include <memory>
#include <vector>

#include "core/app/document/tree_commit.h"
#include "core/app/tree/tree_edit.h"
#include "gui/tree/tree_filter_bar.h"
#include "gui/tree/tree_list_ctrl.h"

namespace varda {
class CTarnDoc;
class DescBranch;
class ObjectWithParameters;
class Parameter;
}  // namespace varda

namespace varda::gui {

// The tree control of the configuration: opens the editors the editing rules allow, commits what was
// typed through TreeEdit, offers the parameter and branch menus and toggles a scanner when its state
// image is clicked.
class ConfigurationTree : public MultiColumnTree {
    Q_OBJECT
  public:
    explicit ConfigurationTree(CTarnDoc& document, QWidget* parent = nullptr);

    // Set while the program itself expands rows: only the user's expanding reads parameters.
    bool expanding_programmatically() const { return programmatic_; }
    void expand_quietly(TreeItem item);
    void select_quietly(TreeItem item);

  signals:
    void read_parameter_requested();
    void write_parameter_requested();
    void no_data_requested();
    void branch_command_requested(int command);

  protected:
    void end_edit(TreeItem item, int column, const QString& text, bool cancelled) override;
    int model_index() const override;
    QString row_tool_tip(TreeItem item) const override;
    void context_menu(TreeItem item, const QPoint& global) override;

  private:
    void apply(TreeItem item, const EditResult& result);
    void toggle_scanner(TreeItem item);

    CTarnDoc& document_;
    TreeEdit edit_;
    bool programmatic_ = false;
};

// The parameter tree view: the document's configuration tree in the tree-list control. It builds the
// rows when first shown, rewrites them whenever the document's views are refreshed (it joins the
// document's refresh_views hook), reads parameters still without data when the user opens a branch,
// shows what the scanners read and runs the single-parameter and branch commands.
//
// Rows point at the document's parameters: call rebuild() after the document built a new tree; until
// then nothing reads the rows' objects.
class ConfigurationTreePane : public QWidget {
    Q_OBJECT
  public:
    explicit ConfigurationTreePane(CTarnDoc& document, QWidget* parent = nullptr);
    ~ConfigurationTreePane() override;

    ConfigurationTree& tree() { return *tree_; }
    TreeFilterBar& filter_bar() { return *filter_bar_; }
    TreeListModel& model() { return tree_->tree_model(); }

    // Builds the rows (once; the first showing does it too) and starts the worker and the scanner thread.
    void initial_update();
    // The document has a new tree: drop every row without touching the old objects, and build again.
    void rebuild();
    // Rewrites every row of the configuration from its object.
    void update_rows();

    // Previous / next problem parameter (commands 276, 277).
    void previous_problem();
    void next_problem();
    // Branch commands 279 to 282 on the selected branch.
    void branch_command(int command);
    // Single-parameter commands on the selected row.
    void read_parameter();
    void write_parameter();
    void set_no_data();
    // Writes the model's parameter list as an HTML page into `folder` (the user's data folder when empty)
    // and opens it in the browser; returns the page's path, empty after a failure (its message shown).
    QString export_parameter_list(const QString& folder = {}, bool open_page = true);

    // Applies the readings the scanner thread queued.
    void apply_scan_results();
    // After a user expansion of `item`: reads its parameters still without data ("Read automatically").
    void read_on_expand(TreeItem item);

    TreeItem first_item() const { return first_item_; }
    TreeItem root_item() const { return root_item_; }
    TreeItem scanners_item() const { return scanners_item_; }

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void build();
    void find_problem(bool forward);
    // The parameter rows in the order problems are searched: element by element in tree order, each
    // element's own rows in their order.
    std::vector<TreeItem> problem_order() const;
    Parameter* selected_parameter() const;
    ObjectWithParameters* selected_element() const;
    void refresh_all();

    CTarnDoc& document_;
    ConfigurationTree* tree_;
    TreeFilterBar* filter_bar_ = nullptr;
    TreeItem first_item_ = nullptr;
    TreeItem root_item_ = nullptr;
    TreeItem scanners_item_ = nullptr;
    bool built_ = false;
    std::shared_ptr<bool> alive_;
};

}  // namespace varda::gui
