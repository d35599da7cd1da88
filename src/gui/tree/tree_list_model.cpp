#include "gui/tree/tree_list_model.h"

#include <QFont>
#include <QGuiApplication>
#include <QPalette>

#include <algorithm>

#include "core/app/tree/tree_edit.h"
#include "core/model/parameter.h"
#include "gui/tree/tree_icons.h"

namespace varda::gui {

struct TreeListModel::Node {
    Node* parent = nullptr;
    int row = 0;  // position among its siblings
    std::vector<std::unique_ptr<Node>> children;
    std::array<QString, kColumnCount> text;
    int image = 0;
    int selected_image = 0;
    int state = 0;
    EditKind edit = EditKind::None;
    TreeItemData data;
    std::optional<Rgb> colour;
    bool bold = false;
    bool greyed = false;
};

namespace {

// Grey rows keep a pure red: an error must stay visible even where nothing can be edited.
bool is_pure_red(const std::optional<Rgb>& colour) {
    return colour && *colour == kErrorColour;
}

// A column's alignment as the cells and the caption both give it to Qt, vertically centred.
QVariant qt_alignment(TreeListModel::Align align) {
    switch (align) {
        case TreeListModel::Align::Right:
            return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
        case TreeListModel::Align::Centre:
            return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
        case TreeListModel::Align::Left:
            break;
    }
    return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
}

}  // namespace

TreeListModel::TreeListModel(QObject* parent) : QAbstractItemModel(parent) {}

TreeListModel::~TreeListModel() = default;

TreeListModel::Node* TreeListModel::node(TreeItem item) {
    return reinterpret_cast<Node*>(item);
}
TreeItem TreeListModel::item(Node* node) {
    return reinterpret_cast<TreeItem>(node);
}

TreeListModel::Node* TreeListModel::node_at(const QModelIndex& index) const {
    return index.isValid() ? static_cast<Node*>(index.internalPointer()) : nullptr;
}

std::vector<std::unique_ptr<TreeListModel::Node>>& TreeListModel::siblings_of(Node* parent) {
    return parent ? parent->children : top_;
}
const std::vector<std::unique_ptr<TreeListModel::Node>>& TreeListModel::siblings_of(
    const Node* parent) const {
    return parent ? parent->children : top_;
}

// ---- columns ----------------------------------------------------------------------------------------

void TreeListModel::set_columns(std::vector<Column> columns) {
    beginResetModel();
    columns_ = std::move(columns);
    endResetModel();
}

TreeListModel::Align TreeListModel::column_align(int column) const {
    if (column < 0 || column >= column_count()) return Align::Left;
    return columns_[static_cast<std::size_t>(column)].align;
}

// ---- rows -------------------------------------------------------------------------------------------

void TreeListModel::begin_bulk() {
    ++bulk_;
}

void TreeListModel::end_bulk() {
    if (bulk_ == 0 || --bulk_ > 0) return;
    std::vector<Node*> changed(changed_.begin(), changed_.end());
    changed_.clear();
    if (bulk_reset_) {
        bulk_reset_ = false;
        endResetModel();
        return;
    }
    // One notice per run of changed siblings: a tree view repaints only the rows a notice spans, so a
    // notice over the top rows would leave a changed child row showing its old text.
    std::sort(changed.begin(), changed.end(), [](const Node* a, const Node* b) {
        return a->parent != b->parent ? std::less<>()(a->parent, b->parent) : a->row < b->row;
    });
    const int last_column = std::max(0, column_count() - 1);
    for (std::size_t first = 0; first < changed.size();) {
        std::size_t last = first;
        while (last + 1 < changed.size() && changed[last + 1]->parent == changed[first]->parent &&
               changed[last + 1]->row == changed[last]->row + 1)
            ++last;
        emit dataChanged(createIndex(changed[first]->row, 0, changed[first]),
                         createIndex(changed[last]->row, last_column, changed[last]));
        first = last + 1;
    }
}

TreeItem TreeListModel::insert_item(TreeItem parent, const std::string& text, int image, int selected_image,
                                    EditKind edit, TreeItemData data) {
    auto& siblings = siblings_of(node(parent));
    TreeItem after = siblings.empty() ? nullptr : item(siblings.back().get());
    return insert_item_after(parent, after, text, image, selected_image, edit, data);
}

TreeItem TreeListModel::insert_item_after(TreeItem parent, TreeItem after, const std::string& text, int image,
                                          int selected_image, EditKind edit, TreeItemData data) {
    Node* parent_node = node(parent);
    auto& siblings = siblings_of(parent_node);
    const int position = after ? node(after)->row + 1 : 0;

    auto created = std::make_unique<Node>();
    created->parent = parent_node;
    created->text[kColumnTree] = QString::fromStdString(text);
    created->image = image;
    created->selected_image = selected_image;
    created->edit = edit;
    created->data = data;
    Node* raw = created.get();

    if (bulk_ > 0) {
        if (!bulk_reset_) {
            bulk_reset_ = true;
            beginResetModel();
        }
    } else {
        beginInsertRows(parent_node ? createIndex(parent_node->row, 0, parent_node) : QModelIndex(), position,
                        position);
    }
    siblings.insert(siblings.begin() + position, std::move(created));
    for (std::size_t i = static_cast<std::size_t>(position); i < siblings.size(); ++i)
        siblings[i]->row = static_cast<int>(i);
    ++item_count_;
    if (bulk_ == 0) endInsertRows();
    return item(raw);
}

void TreeListModel::row_changed(Node* changed, int first_column, int last_column) {
    if (!changed) return;
    if (bulk_ > 0) {
        if (!bulk_reset_) changed_.insert(changed);
        return;
    }
    emit dataChanged(createIndex(changed->row, first_column, changed),
                     createIndex(changed->row, last_column, changed));
}

void TreeListModel::set_item_text(TreeItem item, int column, const std::string& text) {
    set_item_text(item, column, QString::fromStdString(text));
}

void TreeListModel::set_item_text(TreeItem item, int column, const QString& text) {
    Node* n = node(item);
    if (!n || column < 0 || column >= kColumnCount) return;
    QString& slot = n->text[static_cast<std::size_t>(column)];
    if (slot == text) return;
    slot = text;
    row_changed(n, column, column);
}

void TreeListModel::set_item_color(TreeItem item, std::optional<Rgb> color) {
    Node* n = node(item);
    if (!n || n->colour == color) return;
    n->colour = color;
    row_changed(n, 0, std::max(0, column_count() - 1));
}

void TreeListModel::set_item_state(TreeItem item, int state) {
    Node* n = node(item);
    if (!n || n->state == state) return;
    n->state = state;
    row_changed(n, 0, 0);
}

TreeItem TreeListModel::first_child(TreeItem parent) const {
    const auto& siblings = siblings_of(node(parent));
    return siblings.empty() ? nullptr : item(siblings.front().get());
}

TreeItem TreeListModel::last_child(TreeItem parent) const {
    const auto& siblings = siblings_of(node(parent));
    return siblings.empty() ? nullptr : item(siblings.back().get());
}

TreeItem TreeListModel::next_sibling(TreeItem current) const {
    const Node* n = node(current);
    if (!n) return nullptr;
    const auto& siblings = siblings_of(n->parent);
    const auto next = static_cast<std::size_t>(n->row) + 1;
    return next < siblings.size() ? item(siblings[next].get()) : nullptr;
}

TreeItem TreeListModel::previous_sibling(TreeItem current) const {
    const Node* n = node(current);
    if (!n || n->row == 0) return nullptr;
    return item(siblings_of(n->parent)[static_cast<std::size_t>(n->row) - 1].get());
}

TreeItem TreeListModel::parent_item(TreeItem current) const {
    const Node* n = node(current);
    return n ? item(n->parent) : nullptr;
}

int TreeListModel::child_count(TreeItem parent) const {
    return static_cast<int>(siblings_of(node(parent)).size());
}

TreeItemData TreeListModel::item_data(TreeItem item) const {
    const Node* n = node(item);
    return n ? n->data : TreeItemData{};
}

bool TreeListModel::branch_has_differences(const DescBranch& branch) const {
    return differing_branches.contains(&branch);
}

QString TreeListModel::item_text(TreeItem item, int column) const {
    const Node* n = node(item);
    if (!n || column < 0 || column >= kColumnCount) return {};
    return n->text[static_cast<std::size_t>(column)];
}

std::optional<Rgb> TreeListModel::item_color(TreeItem item) const {
    const Node* n = node(item);
    return n ? n->colour : std::nullopt;
}

int TreeListModel::item_state(TreeItem item) const {
    const Node* n = node(item);
    return n ? n->state : 0;
}

int TreeListModel::item_image(TreeItem item) const {
    const Node* n = node(item);
    return n ? n->image : 0;
}

EditKind TreeListModel::item_edit(TreeItem item) const {
    const Node* n = node(item);
    return n ? n->edit : EditKind::None;
}

void TreeListModel::set_item_edit(TreeItem item, EditKind edit) {
    if (Node* n = node(item)) n->edit = edit;
}

void TreeListModel::set_item_bold(TreeItem item, bool bold) {
    Node* n = node(item);
    if (!n || n->bold == bold) return;
    n->bold = bold;
    row_changed(n, 0, std::max(0, column_count() - 1));
}

bool TreeListModel::item_bold(TreeItem item) const {
    const Node* n = node(item);
    return n && n->bold;
}

void TreeListModel::set_item_greyed(TreeItem item, bool greyed, bool subtree) {
    Node* n = node(item);
    if (!n) return;
    n->greyed = greyed;
    row_changed(n, 0, std::max(0, column_count() - 1));
    if (!subtree) return;
    Bulk quiet(*this);
    std::vector<Node*> pending;
    for (auto& child : n->children)
        pending.push_back(child.get());
    while (!pending.empty()) {
        Node* next = pending.back();
        pending.pop_back();
        if (next->greyed != greyed) {
            next->greyed = greyed;
            row_changed(next, 0, std::max(0, column_count() - 1));
        }
        for (auto& child : next->children)
            pending.push_back(child.get());
    }
}

bool TreeListModel::item_greyed(TreeItem item) const {
    const Node* n = node(item);
    return n && n->greyed;
}

QModelIndex TreeListModel::index_of(TreeItem item, int column) const {
    Node* n = node(item);
    return n ? createIndex(n->row, column, n) : QModelIndex();
}

TreeItem TreeListModel::item_at(const QModelIndex& index) const {
    return item(node_at(index));
}

void TreeListModel::release(std::vector<std::unique_ptr<Node>>& nodes, bool reset_parameters) {
    // Depth first without recursion: a deep tree must not exhaust the stack.
    std::vector<std::unique_ptr<Node>> pending;
    for (auto& n : nodes)
        pending.push_back(std::move(n));
    nodes.clear();
    while (!pending.empty()) {
        std::unique_ptr<Node> n = std::move(pending.back());
        pending.pop_back();
        if (reset_parameters)
            if (Parameter* const* p = std::get_if<Parameter*>(&n->data);
                p && *p && (*p)->tree_item == item(n.get()))
                (*p)->tree_item = nullptr;
        for (auto& child : n->children)
            pending.push_back(std::move(child));
        --item_count_;
    }
}

void TreeListModel::clear() {
    beginResetModel();
    changed_.clear();
    release(top_, true);
    differing_branches.clear();
    endResetModel();
}

void TreeListModel::forget_rows() {
    beginResetModel();
    changed_.clear();
    release(top_, false);
    differing_branches.clear();
    endResetModel();
}

void TreeListModel::sort_level(Node* parent, int column, bool ascending, bool recursive) {
    auto& siblings = siblings_of(parent);
    const auto col = static_cast<std::size_t>(column);
    std::stable_sort(siblings.begin(), siblings.end(), [&](const auto& a, const auto& b) {
        const int c = natural_compare(a->text[col].toStdString(), b->text[col].toStdString());
        return ascending ? c < 0 : c > 0;
    });
    for (std::size_t i = 0; i < siblings.size(); ++i) {
        siblings[i]->row = static_cast<int>(i);
        if (recursive) sort_level(siblings[i].get(), column, ascending, true);
    }
}

void TreeListModel::sort_children(TreeItem parent, int column, bool ascending) {
    if (column < 0 || column >= kColumnCount) return;
    emit layoutAboutToBeChanged();
    const QModelIndexList before = persistentIndexList();
    std::vector<std::pair<Node*, int>> remembered;
    remembered.reserve(static_cast<std::size_t>(before.size()));
    for (const QModelIndex& index : before)
        remembered.emplace_back(node_at(index), index.column());
    sort_level(node(parent), column, ascending, false);
    QModelIndexList after;
    for (const auto& [n, c] : remembered)
        after.append(n ? createIndex(n->row, c, n) : QModelIndex());
    changePersistentIndexList(before, after);
    emit layoutChanged();
}

void TreeListModel::sort(int column, Qt::SortOrder order) {
    if (column < 0 || column >= kColumnCount) return;
    emit layoutAboutToBeChanged();
    const QModelIndexList before = persistentIndexList();
    std::vector<std::pair<Node*, int>> remembered;
    for (const QModelIndex& index : before)
        remembered.emplace_back(node_at(index), index.column());
    sort_level(nullptr, column, order == Qt::AscendingOrder, true);
    QModelIndexList after;
    for (const auto& [n, c] : remembered)
        after.append(n ? createIndex(n->row, c, n) : QModelIndex());
    changePersistentIndexList(before, after);
    emit layoutChanged();
}

// ---- QAbstractItemModel -----------------------------------------------------------------------------

QModelIndex TreeListModel::index(int row, int column, const QModelIndex& parent) const {
    if (row < 0 || column < 0 || column >= columnCount()) return {};
    const auto& siblings = siblings_of(node_at(parent));
    if (static_cast<std::size_t>(row) >= siblings.size()) return {};
    return createIndex(row, column, siblings[static_cast<std::size_t>(row)].get());
}

QModelIndex TreeListModel::parent(const QModelIndex& child) const {
    const Node* n = node_at(child);
    if (!n || !n->parent) return {};
    return createIndex(n->parent->row, 0, n->parent);
}

int TreeListModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() && parent.column() != 0) return 0;
    return static_cast<int>(siblings_of(node_at(parent)).size());
}

int TreeListModel::columnCount(const QModelIndex&) const {
    return std::max(1, column_count());
}

QVariant TreeListModel::data(const QModelIndex& index, int role) const {
    const Node* n = node_at(index);
    if (!n) return {};
    const int column = index.column();
    const bool has_text = column < kColumnCount;
    switch (role) {
        case Qt::DisplayRole:
        case Qt::ToolTipRole:
            return has_text ? QVariant(n->text[static_cast<std::size_t>(column)]) : QVariant();
        case Qt::ForegroundRole:
            if (n->greyed && !is_pure_red(n->colour))
                return QGuiApplication::palette().color(QPalette::Disabled, QPalette::Text);
            if (n->colour) return QColor(n->colour->r, n->colour->g, n->colour->b);
            return {};
        case Qt::BackgroundRole:
            if (highlighted.count(item(const_cast<Node*>(n)))) return QColor(255, 240, 150);
            return {};
        case Qt::FontRole:
            if (n->bold) {
                QFont font;
                font.setBold(true);
                return font;
            }
            return {};
        case Qt::DecorationRole:
            return column == 0 ? QVariant(tree_icon(n->image)) : QVariant();
        case Qt::TextAlignmentRole:
            return qt_alignment(column_align(column));
        case ImageRole:
            return n->image;
        case StateRole:
            return n->state;
        case EditKindRole:
            return static_cast<int>(n->edit);
        case GreyedRole:
            return n->greyed;
        case BoldRole:
            return n->bold;
        default:
            return {};
    }
}

QVariant TreeListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= column_count()) return {};
    if (role == Qt::DisplayRole) return columns_[static_cast<std::size_t>(section)].caption;
    if (role == Qt::TextAlignmentRole) return qt_alignment(column_align(section));
    return {};
}

Qt::ItemFlags TreeListModel::flags(const QModelIndex& index) const {
    const Node* n = node_at(index);
    if (!n) return Qt::NoItemFlags;
    // Every cell may take an editor; the control decides which ones do, cell by cell, on a double-click.
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
    return flags;
}

}  // namespace varda::gui
