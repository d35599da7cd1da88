#pragma once

#include <QAbstractItemModel>
#include <QColor>
#include <QString>

#include <array>
#include <memory>
#include <optional>
#include <set>
#include <unordered_set>
#include <vector>

#include "core/model/tree_sink.h"

namespace varda::gui {

// The rows of the tree-list control: a tree of records, each with a text per column, a colour, bold and
// greyed flags, an icon, a state image, how its cells are edited and the object it stands for. It is
// the TreeSink through which elements and parameters insert and rewrite their rows.
class TreeListModel : public QAbstractItemModel, public varda::TreeSink {
    Q_OBJECT
  public:
    enum Role {
        ImageRole = Qt::UserRole + 1,  // int: the row's icon index
        StateRole,                     // int: the state image, 0 none
        EditKindRole,                  // int: EditKind
        GreyedRole,                    // bool
        BoldRole,                      // bool
    };
    enum class Align { Left = 0, Right = 1, Centre = 2 };
    struct Column {
        QString caption;
        Align align = Align::Left;
    };

    explicit TreeListModel(QObject* parent = nullptr);
    ~TreeListModel() override;

    // ---- columns
    void set_columns(std::vector<Column> columns);
    int column_count() const { return static_cast<int>(columns_.size()); }
    Align column_align(int column) const;

    // ---- TreeSink
    TreeItem insert_item(TreeItem parent, const std::string& text, int image, int selected_image,
                         EditKind edit, TreeItemData data) override;
    void set_item_text(TreeItem item, int column, const std::string& text) override;
    void set_item_color(TreeItem item, std::optional<Rgb> color) override;
    void set_item_state(TreeItem item, int state) override;
    TreeItem first_child(TreeItem item) const override;
    TreeItem next_sibling(TreeItem item) const override;
    TreeItemData item_data(TreeItem item) const override;
    bool branch_has_differences(const DescBranch& branch) const override;

    // ---- the rest of the control's row operations
    // Inserts `item` after `after` among its siblings (nullptr: first).
    TreeItem insert_item_after(TreeItem parent, TreeItem after, const std::string& text, int image,
                               int selected_image, EditKind edit, TreeItemData data);
    QString item_text(TreeItem item, int column) const;
    void set_item_text(TreeItem item, int column, const QString& text);
    std::optional<Rgb> item_color(TreeItem item) const;
    int item_state(TreeItem item) const;
    int item_image(TreeItem item) const;
    EditKind item_edit(TreeItem item) const;
    void set_item_edit(TreeItem item, EditKind edit);
    void set_item_bold(TreeItem item, bool bold);
    bool item_bold(TreeItem item) const;
    // With `subtree` every row below takes the same flag.
    void set_item_greyed(TreeItem item, bool greyed, bool subtree = false);
    bool item_greyed(TreeItem item) const;
    TreeItem parent_item(TreeItem item) const;
    TreeItem previous_sibling(TreeItem item) const;
    TreeItem last_child(TreeItem item) const;
    int child_count(TreeItem item) const;
    int item_count() const { return item_count_; }

    QModelIndex index_of(TreeItem item, int column = 0) const;
    TreeItem item_at(const QModelIndex& index) const;

    // Deletes every row; the parameters shown forget their rows. Only while those parameters exist.
    void clear();
    // Deletes every row without touching the objects they stood for (those are gone already).
    void forget_rows();

    // Natural-order sort of the children of `parent` (nullptr: the top rows) by one column.
    void sort_children(TreeItem parent, int column, bool ascending);

    // Many rows at once: the views are told once, at the end. Nests.
    void begin_bulk();
    void end_bulk();
    class Bulk {
      public:
        explicit Bulk(TreeListModel& model) : model_(model) { model_.begin_bulk(); }
        ~Bulk() { model_.end_bulk(); }
        Bulk(const Bulk&) = delete;
        Bulk& operator=(const Bulk&) = delete;

      private:
        TreeListModel& model_;
    };

    // Branches whose rows are marked as holding differences.
    std::set<const DescBranch*> differing_branches;
    // Rows drawn on a highlight (the filter's matches); the views repaint on their own.
    std::unordered_set<TreeItem> highlighted;

    // ---- QAbstractItemModel
    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

  private:
    struct Node;
    static Node* node(TreeItem item);
    static TreeItem item(Node* node);
    Node* node_at(const QModelIndex& index) const;
    std::vector<std::unique_ptr<Node>>& siblings_of(Node* parent);
    const std::vector<std::unique_ptr<Node>>& siblings_of(const Node* parent) const;
    void row_changed(Node* node, int first_column, int last_column);
    void sort_level(Node* parent, int column, bool ascending, bool recursive);
    void release(std::vector<std::unique_ptr<Node>>& nodes, bool reset_parameters);

    std::vector<Column> columns_;
    std::vector<std::unique_ptr<Node>> top_;
    int item_count_ = 0;
    int bulk_ = 0;
    bool bulk_reset_ = false;
    std::unordered_set<Node*> changed_;  // rows changed within a bulk, told at its end
};

}  // namespace varda::gui
