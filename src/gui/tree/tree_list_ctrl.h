#pragma once

#include <QColor>
#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QTimer>
#include <QTreeView>

#include <string>
#include <vector>

#include "core/app/tree/tree_edit.h"
#include "gui/tree/tree_list_model.h"

namespace varda::gui {

// A cell text that does not fit: shortened one character at a time until it is no wider than the cell
// minus 8 pixels; then one more character goes and "..." is appended.
QString elide_cell_text(const QFontMetrics& metrics, const QString& text, int cell_width);

// The tree with columns: the rows of a TreeListModel under a header, drawn with grid lines, texts
// shortened to their cells, icons and state images; cells are edited in place with an edit box or a
// drop-down list.
class MultiColumnTree : public QTreeView {
    Q_OBJECT
  public:
    explicit MultiColumnTree(QWidget* parent = nullptr);
    ~MultiColumnTree() override;

    TreeListModel& tree_model() { return model_; }
    const TreeListModel& tree_model() const { return model_; }

    // Appends a column: caption, alignment and width in pixels (-1: keep the default).
    int InsertColumn(const QString& caption, TreeListModel::Align align, int width);
    int GetColumnWidth(int column) const;
    TreeListModel::Align GetColumnAlign(int column) const { return model_.column_align(column); }
    int total_width() const;

    // Columns that take the view's spare width or give it up, never below their captions; the others keep
    // the width the user gives them.
    void set_stretch_columns(std::vector<int> columns);
    // Keeps the column widths in the settings under `name` and takes the stored ones now.
    void remember_widths(const std::string& name);
    // The column that F2 and Enter edit in the current row (-1: none).
    void set_key_edit_column(int column) { key_edit_column_ = column; }

    void SetGridLines(bool on);
    void SetGridColor(QColor colour);
    bool grid_lines() const { return grid_lines_; }

    // Natural-order sort of the children of `parent` (nullptr: the top rows).
    void SortItems(TreeItem parent, int column, bool ascending) {
        model_.sort_children(parent, column, ascending);
    }
    // Deletes every row (open editors commit first).
    void DeleteAllItems();

    // The row under the last click, or the current row after the last key.
    TreeItem hit_item() const;
    TreeItem selected_item() const;
    void select_item(TreeItem item);

    // Ends editing in the open editors, committing their texts.
    virtual void CloseEditors();
    // Decides which editor a double-click at `pos` (viewport coordinates) opens, and opens it.
    virtual void OpenEditor(const QPoint& pos);

    // The open editors, for whoever needs to look at or type into them.
    QLineEdit* edit_box() const { return edit_box_; }
    QComboBox* drop_down() const { return drop_down_; }

    // The cell rectangle of a row and column, in viewport coordinates; for column 0 the part right of
    // the icons.
    QRect cell_rect(TreeItem item, int column) const;
    // Where a row's state image is drawn, in viewport coordinates (empty without one).
    QRect state_image_rect(TreeItem item) const;

  signals:
    // A click on a row's state image (delivered after the click has been processed); column 0 of the row.
    void state_image_clicked(const QModelIndex& row);

  protected:
    // An editor finished: the default stores the text in the cell unless editing was cancelled.
    virtual void end_edit(TreeItem item, int column, const QString& text, bool cancelled);
    // Which device model the editing rules apply to.
    virtual int model_index() const;
    // A row's own tool tip, shown after the usual delay wherever the pointer rests on the row; empty: only
    // a text that does not fit its cell is shown, after a longer delay.
    virtual QString row_tool_tip(TreeItem /*item*/) const { return {}; }
    // The row under a right click, or nullptr; `global` is where the menu goes.
    virtual void context_menu(TreeItem item, const QPoint& global);

    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                 const QModelIndex& index) const override;

  private:
    // Lays the columns out for the view's width; `held` is a column the user is resizing.
    void fit_columns_to_view(int held = -1);
    void store_widths() const;
    void take_stretch_weights();
    void open_edit_box(TreeItem item, int column, const QString& text);
    void open_drop_down(TreeItem item, int column, const EditorChoice& choice);
    void finish_edit_box(bool cancelled);
    void finish_drop_down(bool cancelled);
    void widen_edit_box();
    void show_pending_tool_tip();

    // A child of the control, so that it outlives the view's own teardown.
    TreeListModel& model_;
    bool grid_lines_ = false;
    QColor grid_colour_{228, 228, 228};
    QPersistentModelIndex hit_;

    QPointer<QLineEdit> edit_box_;
    QPointer<QComboBox> drop_down_;
    struct Editing {
        TreeItem item = nullptr;
        int column = 0;
        QString initial;
        int initial_entry = -1;  // drop-down: the entry of the cell's value
    };
    Editing edit_box_state_;
    Editing drop_down_state_;

    std::vector<int> stretch_columns_;
    // How the stretching columns share spare width: their widths when the user last set them.
    std::vector<int> stretch_weights_;
    std::string widths_name_;
    bool fitting_ = false;
    int key_edit_column_ = -1;

    QTimer tool_tip_timer_;
    QPersistentModelIndex tool_tip_index_;
    QPoint tool_tip_pos_;
};

}  // namespace varda::gui
