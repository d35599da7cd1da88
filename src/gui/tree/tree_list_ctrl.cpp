#include "gui/tree/tree_list_ctrl.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QToolTip>
#include <algorithm>

#include "core/app/tree/column_layout.h"
#include "core/model/device_table.h"
#include "core/platform/settings_store.h"
#include "core/platform/strings.h"
#include "core/platform/ui.h"
#include "gui/tree/tree_icons.h"

namespace varda::gui {
namespace {

constexpr int kSamplingGoesOn = 208;
constexpr int kToolTipDelayMs = 1500;
constexpr int kIconGap = 2;
constexpr int kTextPadding = 3;  // between a cell's edge and its text
constexpr int kRightMargin = 4;
// A caption's room beyond its text: the section's padding and the sort arrow's place.
constexpr int kCaptionPadding = 20;  // a right-aligned text keeps off the next column

// Where the parts of column 0 go: the state image, then the icon, then the text.
struct Column0Layout {
    QRect state;
    QRect icon;
    QRect text;
};

Column0Layout layout_column0(const QRect& cell, bool has_state) {
    Column0Layout layout;
    int x = cell.left() + kIconGap;
    const int top = cell.top() + (cell.height() - kTreeIconSize) / 2;
    if (has_state) {
        layout.state = QRect(x, top, kTreeIconSize, kTreeIconSize);
        x += kTreeIconSize + kIconGap;
    }
    layout.icon = QRect(x, top, kTreeIconSize, kTreeIconSize);
    x += kTreeIconSize + kIconGap;
    layout.text = QRect(x, cell.top(), std::max(0, cell.right() + 1 - x), cell.height());
    return layout;
}

// The rectangle a cell's text is drawn in, and the width the shortening rule measures against.
QRect text_rect(const QRect& cell, int column, bool has_state) {
    if (column == 0) {
        const QRect text = layout_column0(cell, has_state).text;
        return QRect(text.left() + 1, text.top(), std::max(0, text.width() - 1), text.height());
    }
    return QRect(cell.left() + kTextPadding, cell.top(),
                 std::max(0, cell.width() - kTextPadding - kRightMargin), cell.height());
}

Qt::Alignment alignment_of(const QModelIndex& index) {
    const QVariant value = index.data(Qt::TextAlignmentRole);
    const Qt::Alignment horizontal =
        value.isValid() ? Qt::Alignment(value.toInt()) & Qt::AlignHorizontal_Mask : Qt::AlignLeft;
    return horizontal | Qt::AlignVCenter;
}

// Draws every cell itself: icons and state image in column 0, texts in the row's colour and weight,
// shortened to their cells.
class TreeListDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        painter->save();
        const bool selected = option.state & QStyle::State_Selected;
        if (selected) {
            const QPalette::ColorGroup group =
                option.state & QStyle::State_Active ? QPalette::Active : QPalette::Inactive;
            painter->fillRect(option.rect, option.palette.color(group, QPalette::Highlight));
        } else if (const QVariant background = index.data(Qt::BackgroundRole); background.isValid()) {
            painter->fillRect(option.rect, background.value<QColor>());
        }
        QFont font = option.font;
        if (index.data(TreeListModel::BoldRole).toBool()) font.setBold(true);
        painter->setFont(font);

        const int state = index.column() == 0 ? index.data(TreeListModel::StateRole).toInt() : 0;
        if (index.column() == 0) {
            const Column0Layout layout = layout_column0(option.rect, state > 0);
            if (state > 0) painter->drawPixmap(layout.state, state_image(state));
            painter->drawPixmap(layout.icon, tree_icon(index.data(TreeListModel::ImageRole).toInt()));
        }

        QColor colour;
        if (selected) {
            colour = option.palette.color(QPalette::HighlightedText);
        } else {
            const QVariant foreground = index.data(Qt::ForegroundRole);
            colour = foreground.isValid() ? foreground.value<QColor>() : option.palette.color(QPalette::Text);
        }
        painter->setPen(colour);
        const QRect rect = text_rect(option.rect, index.column(), state > 0);
        const QString text = elide_cell_text(QFontMetrics(font), index.data(Qt::DisplayRole).toString(),
                                             rect.width() + kRightMargin);
        painter->drawText(rect, static_cast<int>(alignment_of(index)) | Qt::TextSingleLine, text);
        painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(std::max({size.height(), option.fontMetrics.height() + 6, kTreeIconSize + 4}));
        return size;
    }

    // Editors are the control's own; the view's editing machinery never opens one.
    QWidget* createEditor(QWidget*, const QStyleOptionViewItem&, const QModelIndex&) const override {
        return nullptr;
    }
};

}  // namespace

QString elide_cell_text(const QFontMetrics& metrics, const QString& text, int cell_width) {
    const int limit = cell_width - 8;
    if (metrics.horizontalAdvance(text) <= limit) return text;
    // The longest prefix within the limit (widths grow with the prefix), then one character less.
    int low = 0;
    int high = static_cast<int>(text.size());
    while (low < high) {
        const int middle = (low + high + 1) / 2;
        if (metrics.horizontalAdvance(text.left(middle)) <= limit)
            low = middle;
        else
            high = middle - 1;
    }
    return text.left(std::max(0, low - 1)) + QStringLiteral("...");
}

MultiColumnTree::MultiColumnTree(QWidget* parent) : QTreeView(parent), model_(*new TreeListModel(this)) {
    setModel(&model_);
    setItemDelegate(new TreeListDelegate(this));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setExpandsOnDoubleClick(false);  // only column 0 expands; see mouseDoubleClickEvent
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setTextElideMode(Qt::ElideNone);
    setMouseTracking(true);
    header()->setStretchLastSection(false);
    header()->setSectionsMovable(false);
    header()->setSectionResizeMode(QHeaderView::Interactive);
    header()->setHighlightSections(false);
    // Captions keep off the dividers, as the cell texts do.
    header()->setStyleSheet(
        QStringLiteral("QHeaderView::section { padding-left: 3px; padding-right: 4px; }"));
    setAutoFillBackground(true);
    QPalette background = palette();
    background.setColor(QPalette::Base, Qt::white);
    setPalette(background);

    connect(header(), &QHeaderView::sectionPressed, this, [this] { CloseEditors(); });
    connect(header(), &QHeaderView::sectionResized, this, [this](int column) {
        if (fitting_) return;
        fit_columns_to_view(column);
        take_stretch_weights();
        store_widths();
    });
    connect(&model_, &QAbstractItemModel::modelAboutToBeReset, this, [this] {
        // The rows the editors belong to are about to go: they end without a word.
        finish_edit_box(true);
        finish_drop_down(true);
    });
    tool_tip_timer_.setSingleShot(true);
    tool_tip_timer_.setInterval(kToolTipDelayMs);
    connect(&tool_tip_timer_, &QTimer::timeout, this, &MultiColumnTree::show_pending_tool_tip);
}

MultiColumnTree::~MultiColumnTree() {
    // The header outlives this part of the control and resizes its sections while the view goes.
    header()->disconnect(this);
    // Editors die with the viewport; their rows are about to go too.
    if (edit_box_) edit_box_->removeEventFilter(this);
    if (drop_down_) drop_down_->removeEventFilter(this);
}

int MultiColumnTree::InsertColumn(const QString& caption, TreeListModel::Align align, int width) {
    std::vector<TreeListModel::Column> columns;
    for (int c = 0; c < model_.column_count(); ++c)
        columns.push_back({model_.headerData(c, Qt::Horizontal).toString(), model_.column_align(c)});
    std::vector<int> widths;
    for (int c = 0; c < model_.column_count(); ++c)
        widths.push_back(header()->sectionSize(c));
    columns.push_back({caption, align});
    model_.set_columns(std::move(columns));
    for (std::size_t c = 0; c < widths.size(); ++c)
        header()->resizeSection(static_cast<int>(c), widths[c]);
    const int index = model_.column_count() - 1;
    if (width >= 0) header()->resizeSection(index, width);
    return index;
}

void MultiColumnTree::set_stretch_columns(std::vector<int> columns) {
    stretch_columns_ = std::move(columns);
    take_stretch_weights();
    fit_columns_to_view();
}

void MultiColumnTree::take_stretch_weights() {
    stretch_weights_.clear();
    for (int c = 0; c < model_.column_count(); ++c)
        stretch_weights_.push_back(header()->sectionSize(c));
}

void MultiColumnTree::remember_widths(const std::string& name) {
    widths_name_ = name;
    const auto stored = settings_store().get_string(kWindowGroup, name);
    const std::vector<int> widths =
        stored ? parse_widths(*stored, static_cast<std::size_t>(model_.column_count())) : std::vector<int>{};
    if (!widths.empty()) {
        fitting_ = true;
        for (std::size_t c = 0; c < widths.size(); ++c)
            header()->resizeSection(static_cast<int>(c), widths[c]);
        fitting_ = false;
        take_stretch_weights();
    }
    fit_columns_to_view();
}

void MultiColumnTree::store_widths() const {
    if (widths_name_.empty()) return;
    std::vector<int> widths;
    for (int c = 0; c < model_.column_count(); ++c)
        widths.push_back(header()->sectionSize(c));
    settings_store().set_string(kWindowGroup, widths_name_, widths_text(widths));
}

void MultiColumnTree::fit_columns_to_view(int held) {
    if (stretch_columns_.empty() || fitting_ || model_.column_count() == 0) return;
    const QFontMetrics metrics = header()->fontMetrics();
    std::vector<ColumnFit> columns;
    for (int c = 0; c < model_.column_count(); ++c) {
        const bool stretches = c != held && std::find(stretch_columns_.begin(), stretch_columns_.end(), c) !=
                                                stretch_columns_.end();
        const QString caption = model_.headerData(c, Qt::Horizontal).toString();
        const bool weighted = stretches && c < static_cast<int>(stretch_weights_.size());
        columns.push_back(
            {weighted ? stretch_weights_[static_cast<std::size_t>(c)] : header()->sectionSize(c),
             metrics.horizontalAdvance(caption) + kCaptionPadding, stretches});
    }
    const std::vector<int> widths = fit_columns(columns, viewport()->width());
    fitting_ = true;
    for (std::size_t c = 0; c < widths.size(); ++c)
        if (header()->sectionSize(static_cast<int>(c)) != widths[c])
            header()->resizeSection(static_cast<int>(c), widths[c]);
    fitting_ = false;
}

int MultiColumnTree::GetColumnWidth(int column) const {
    return header()->sectionSize(column);
}

int MultiColumnTree::total_width() const {
    return header()->length();
}

void MultiColumnTree::SetGridLines(bool on) {
    grid_lines_ = on;
    viewport()->update();
}

void MultiColumnTree::SetGridColor(QColor colour) {
    grid_colour_ = colour;
    viewport()->update();
}

void MultiColumnTree::DeleteAllItems() {
    CloseEditors();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    model_.clear();
    QApplication::restoreOverrideCursor();
}

TreeItem MultiColumnTree::hit_item() const {
    return model_.item_at(hit_);
}

TreeItem MultiColumnTree::selected_item() const {
    const QModelIndexList rows = selectionModel() ? selectionModel()->selectedRows() : QModelIndexList();
    return rows.isEmpty() ? nullptr : model_.item_at(rows.front());
}

void MultiColumnTree::select_item(TreeItem item) {
    const QModelIndex index = model_.index_of(item);
    if (!index.isValid()) return;
    for (QModelIndex up = index.parent(); up.isValid(); up = up.parent())
        expand(up);
    setCurrentIndex(index);
    selectionModel()->select(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    scrollTo(index);
    hit_ = index;
}

QRect MultiColumnTree::cell_rect(TreeItem item, int column) const {
    const QModelIndex index = model_.index_of(item, column);
    if (!index.isValid()) return {};
    const QRect cell = visualRect(index);
    if (column != 0) return cell;
    return layout_column0(cell, model_.item_state(item) > 0).text;
}

QRect MultiColumnTree::state_image_rect(TreeItem item) const {
    if (model_.item_state(item) <= 0) return {};
    return layout_column0(visualRect(model_.index_of(item, 0)), true).state;
}

int MultiColumnTree::model_index() const {
    return kNoModel;  // no document: no model
}

// ---- editors ----------------------------------------------------------------------------------------

void MultiColumnTree::CloseEditors() {
    finish_edit_box(false);
    finish_drop_down(false);
}

void MultiColumnTree::OpenEditor(const QPoint& pos) {
    CloseEditors();
    const QModelIndex index = indexAt(pos);
    TreeItem item = model_.item_at(index);
    if (!item || model_.item_greyed(item)) return;
    const int column = header()->logicalIndexAt(pos.x());
    if (column < 0) return;
    const QString text = model_.item_text(item, column);
    const EditorChoice choice = choose_editor(model_.item_data(item), column, model_.item_edit(item),
                                              model_.item_greyed(item), text.toStdString(), model_index());
    if (choice.kind == EditorChoice::Kind::None) return;
    if (choice.sampling_warning) ui().message(str(kSamplingGoesOn), MessageIcon::Warning);
    if (choice.kind == EditorChoice::Kind::EditBox)
        open_edit_box(item, column, text);
    else
        open_drop_down(item, column, choice);
}

void MultiColumnTree::open_edit_box(TreeItem item, int column, const QString& text) {
    auto* box = new QLineEdit(viewport());
    box->setFont(font());
    box->setText(text);
    box->setAlignment(column == 0 ? Qt::AlignLeft | Qt::AlignVCenter : Qt::AlignRight | Qt::AlignVCenter);
    box->setGeometry(cell_rect(item, column));
    box->installEventFilter(this);
    edit_box_state_ = {item, column, text};
    edit_box_ = box;
    connect(box, &QLineEdit::textEdited, this, &MultiColumnTree::widen_edit_box);
    box->show();
    box->setFocus(Qt::OtherFocusReason);
    box->selectAll();
}

void MultiColumnTree::widen_edit_box() {
    if (!edit_box_) return;
    const int needed = edit_box_->fontMetrics().horizontalAdvance(edit_box_->text()) + 5 +
                       2 * edit_box_->style()->pixelMetric(QStyle::PM_DefaultFrameWidth) + 4;
    if (needed <= edit_box_->width()) return;
    QRect geometry = edit_box_->geometry();
    geometry.setRight(std::min(geometry.left() + needed, viewport()->width() - 1));
    edit_box_->setGeometry(geometry);
}

void MultiColumnTree::open_drop_down(TreeItem item, int column, const EditorChoice& choice) {
    auto* list = new QComboBox(viewport());
    list->setFont(font());
    list->setMaxVisibleItems(10);
    for (const std::string& entry : choice.items)
        list->addItem(QString::fromStdString(entry));
    if (choice.selected < 0 || choice.selected >= list->count()) {
        delete list;  // a list without its current value cannot be offered
        return;
    }
    list->setCurrentIndex(choice.selected);
    QRect geometry = cell_rect(item, column);
    geometry.adjust(0, -2, 0, 2);
    list->setGeometry(geometry);
    int widest = 0;
    for (int i = 0; i < list->count(); ++i)
        widest = std::max(widest, list->fontMetrics().horizontalAdvance(list->itemText(i)));
    list->view()->setMinimumWidth(std::max(geometry.width(), widest + 30));
    list->installEventFilter(this);
    drop_down_state_ = {item, column, model_.item_text(item, column), choice.selected};
    drop_down_ = list;
    // A confirmed choice ends editing; the tree takes the focus back.
    connect(list, &QComboBox::activated, this, [this] { finish_drop_down(false); });
    list->show();
    list->setFocus(Qt::OtherFocusReason);
    list->showPopup();
}

void MultiColumnTree::finish_edit_box(bool cancelled) {
    QLineEdit* box = edit_box_;
    if (!box) return;
    edit_box_ = nullptr;  // before anything below moves the focus and comes back here
    const Editing state = edit_box_state_;
    edit_box_state_ = {};
    const QString text = box->text();
    const bool had_focus = box->hasFocus();
    box->removeEventFilter(this);
    box->hide();
    box->deleteLater();
    if (had_focus) setFocus(Qt::OtherFocusReason);
    end_edit(state.item, state.column, text, cancelled);
}

void MultiColumnTree::finish_drop_down(bool cancelled) {
    QComboBox* list = drop_down_;
    if (!list) return;
    drop_down_ = nullptr;
    const Editing state = drop_down_state_;
    drop_down_state_ = {};
    // The entry of the cell's value may spell it differently ("_" as a space): still no change.
    const QString text = list->currentIndex() == state.initial_entry ? state.initial : list->currentText();
    const bool had_focus = list->hasFocus() || (list->view() && list->view()->isVisible());
    list->removeEventFilter(this);
    list->hidePopup();
    list->hide();
    list->deleteLater();
    if (had_focus) setFocus(Qt::OtherFocusReason);
    end_edit(state.item, state.column, text, cancelled);
}

void MultiColumnTree::end_edit(TreeItem item, int column, const QString& text, bool cancelled) {
    if (!cancelled && item) model_.set_item_text(item, column, text);
}

bool MultiColumnTree::eventFilter(QObject* watched, QEvent* event) {
    const bool is_box = edit_box_ && watched == edit_box_;
    const bool is_list = drop_down_ && watched == drop_down_;
    if (!is_box && !is_list) return QTreeView::eventFilter(watched, event);

    if (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        const bool ends = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter ||
                          key->key() == Qt::Key_Escape || key->key() == Qt::Key_Tab ||
                          key->key() == Qt::Key_Backtab;
        if (event->type() == QEvent::ShortcutOverride) {
            // The editor's own keys never reach the window's shortcuts.
            if (ends || key->key() == Qt::Key_Delete || (key->modifiers() & Qt::ControlModifier)) {
                event->accept();
                return true;
            }
            return false;
        }
        if (ends) {
            const bool cancel = key->key() == Qt::Key_Escape;
            if (is_box)
                finish_edit_box(cancel);
            else
                finish_drop_down(cancel);
            return true;
        }
        return false;
    }
    if (event->type() == QEvent::FocusOut) {
        const auto* focus = static_cast<QFocusEvent*>(event);
        // The list's own popup and an edit box's context menu take the focus only for a while.
        if (focus->reason() == Qt::PopupFocusReason) return false;
        if (is_list && drop_down_->view() && drop_down_->view()->isVisible()) return false;
        if (is_box)
            finish_edit_box(false);
        else
            finish_drop_down(false);
        return false;
    }
    return QTreeView::eventFilter(watched, event);
}

// ---- mouse, keys, scrolling, tool tips -------------------------------------------------------------

void MultiColumnTree::mousePressEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    const QModelIndex index = indexAt(pos);
    hit_ = index;
    TreeItem item = model_.item_at(index);
    const bool on_state = item && state_image_rect(item).contains(pos);
    QTreeView::mousePressEvent(event);
    if (on_state && event->button() == Qt::LeftButton) {
        // Reported once the click has been dealt with, as the row may change in reply.
        QPersistentModelIndex target(model_.index_of(item));
        QTimer::singleShot(0, this, [this, target] {
            if (target.isValid()) emit state_image_clicked(target);
        });
    }
}

void MultiColumnTree::mouseDoubleClickEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    const int column = header()->logicalIndexAt(pos.x());
    const QModelIndex index = indexAt(pos);
    if (column <= 0 && index.isValid() && model_.rowCount(index.siblingAtColumn(0)) > 0 &&
        !state_image_rect(model_.item_at(index)).contains(pos))
        setExpanded(index.siblingAtColumn(0), !isExpanded(index.siblingAtColumn(0)));
    setFocus(Qt::MouseFocusReason);
    hit_ = index;
    if (index.isValid()) OpenEditor(pos);
}

void MultiColumnTree::mouseMoveEvent(QMouseEvent* event) {
    QTreeView::mouseMoveEvent(event);
    const QPoint pos = event->position().toPoint();
    const QModelIndex index = indexAt(pos);
    if (index != tool_tip_index_) {
        QToolTip::hideText();
        tool_tip_index_ = index;
    }
    tool_tip_pos_ = pos;
    if (!index.isValid()) return;
    const bool own_tip = !row_tool_tip(model_.item_at(index)).isEmpty();
    tool_tip_timer_.setInterval(own_tip ? style()->styleHint(QStyle::SH_ToolTip_WakeUpDelay)
                                        : kToolTipDelayMs);
    tool_tip_timer_.start();
}

void MultiColumnTree::show_pending_tool_tip() {
    const QModelIndex index = tool_tip_index_;
    if (!index.isValid() || indexAt(tool_tip_pos_) != index || edit_box_ || drop_down_) return;
    const QString text = index.data(Qt::ToolTipRole).toString();
    const bool has_state = index.column() == 0 && index.data(TreeListModel::StateRole).toInt() > 0;
    const QRect cell = visualRect(index);
    const QRect rect = text_rect(cell, index.column(), has_state);
    QFont font = this->font();
    if (index.data(TreeListModel::BoldRole).toBool()) font.setBold(true);
    const bool fits = elide_cell_text(QFontMetrics(font), text, rect.width() + kRightMargin) == text;
    const QString own = row_tool_tip(model_.item_at(index));
    if (fits && own.isEmpty()) return;
    QString tip = fits ? QString() : text;
    if (!own.isEmpty()) tip += (tip.isEmpty() ? "" : "\n\n") + own;
    QToolTip::showText(viewport()->mapToGlobal(tool_tip_pos_), tip, viewport(), cell);
}

bool MultiColumnTree::viewportEvent(QEvent* event) {
    // Tool tips come from our own timer: a row's own tip, or a text that does not fit.
    if (event->type() == QEvent::ToolTip) return true;
    if (event->type() == QEvent::Resize) fit_columns_to_view();
    if (event->type() == QEvent::Leave) {
        tool_tip_timer_.stop();
        tool_tip_index_ = QModelIndex();
    }
    return QTreeView::viewportEvent(event);
}

void MultiColumnTree::keyPressEvent(QKeyEvent* event) {
    // F2 and Enter edit the current row's value, as a double-click on it would.
    const bool enter = (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
                       event->modifiers() == Qt::NoModifier;
    if ((event->key() == Qt::Key_F2 || enter) && key_edit_column_ >= 0 && !edit_box_ && !drop_down_ &&
        currentIndex().isValid()) {
        const QModelIndex cell = currentIndex().siblingAtColumn(key_edit_column_);
        scrollTo(cell);
        hit_ = cell;
        OpenEditor(visualRect(cell).center());
        if (edit_box_ || drop_down_) {
            event->accept();
            return;
        }
    }
    QTreeView::keyPressEvent(event);
    hit_ = currentIndex();
}

void MultiColumnTree::contextMenuEvent(QContextMenuEvent* event) {
    const QModelIndex index = indexAt(event->pos());
    TreeItem item = model_.item_at(index);
    if (item) select_item(item);
    context_menu(item, event->globalPos());
}

void MultiColumnTree::context_menu(TreeItem, const QPoint&) {}

void MultiColumnTree::scrollContentsBy(int dx, int dy) {
    // Editors do not travel with the rows: scrolling ends them with what was typed.
    CloseEditors();
    QTreeView::scrollContentsBy(dx, dy);
}

void MultiColumnTree::drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
    QTreeView::drawRow(painter, option, index);
    if (!grid_lines_) return;
    painter->save();
    painter->setPen(grid_colour_);
    const int left = -header()->offset();
    const int right = left + header()->length() - 1;
    const int bottom = option.rect.bottom();
    painter->drawLine(left, bottom, right, bottom);
    const bool selected = selectionModel() && selectionModel()->isRowSelected(index.row(), index.parent());
    if (!selected) {
        for (int c = 0; c < header()->count(); ++c) {
            if (header()->isSectionHidden(c)) continue;
            const int x = header()->sectionViewportPosition(c) + header()->sectionSize(c) - 1;
            painter->drawLine(x, option.rect.top(), x, bottom);
        }
    }
    painter->restore();
}

}  // namespace varda::gui
