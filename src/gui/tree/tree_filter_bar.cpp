#include "gui/tree/tree_filter_bar.h"

#include <QHBoxLayout>
#include <QKeyEvent>

#include <variant>

#include "core/model/tree_sink.h"
#include "gui/platform/qt_text.h"
#include "gui/tree/tree_view.h"

namespace varda::gui {
namespace {

constexpr int kSettleMs = 150;

// The rows as the filter sees them: their texts and colours, which the window thread owns, so filtering
// never touches a parameter the worker may be writing.
class ModelRows final : public FilterRows {
  public:
    explicit ModelRows(const TreeListModel& model) : model_(model) {}
    TreeItem first_child(TreeItem item) const override { return model_.first_child(item); }
    TreeItem next_sibling(TreeItem item) const override { return model_.next_sibling(item); }
    std::string text(TreeItem item, int column) const override {
        return model_.item_text(item, column).toStdString();
    }
    bool is_parameter(TreeItem item) const override {
        return std::holds_alternative<Parameter*>(model_.item_data(item));
    }
    bool changed(TreeItem item) const override { return model_.item_color(item) == kModifiedColour; }
    bool differs(TreeItem item) const override { return model_.item_color(item) == kDiscrepancyColour; }
    bool failed(TreeItem item) const override { return model_.item_color(item) == kErrorColour; }

  private:
    const TreeListModel& model_;
};

QToolButton* quick_filter(const QString& text, const QString& tip, QColor colour, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setText(text);
    button->setToolTip(tip);
    button->setCheckable(true);
    button->setAutoRaise(true);
    QPalette look = button->palette();
    look.setColor(QPalette::ButtonText, colour);
    button->setPalette(look);
    return button;
}

void set_hidden_rows(ConfigurationTree& tree, TreeItem parent, const FilterResult* result) {
    const TreeListModel& model = tree.tree_model();
    const QModelIndex parent_index = parent ? model.index_of(parent) : QModelIndex();
    int row = 0;
    for (TreeItem item = model.first_child(parent); item; item = model.next_sibling(item), ++row) {
        const bool hide = result && !result->visible.count(item);
        if (tree.isRowHidden(row, parent_index) != hide) tree.setRowHidden(row, parent_index, hide);
        if (!hide) set_hidden_rows(tree, item, result);
    }
}

}  // namespace

TreeFilterBar::TreeFilterBar(ConfigurationTree& tree, QWidget* parent) : QWidget(parent), tree_(tree) {
    text_ = new QLineEdit(this);
    text_->setPlaceholderText(tr("Find a parameter by description, name or value"));
    text_->setClearButtonEnabled(true);
    text_->installEventFilter(this);
    changed_ =
        quick_filter(tr("Changed"), tr("Only values edited and not yet written"), QColor(0, 150, 0), this);
    differs_ =
        quick_filter(tr("Differs"), tr("Only values that differ from the module"), QColor(64, 64, 255), this);
    failed_ =
        quick_filter(tr("Failed"), tr("Only parameters whose exchange failed"), QColor(220, 0, 0), this);
    count_ = new QLabel(this);
    count_->setMinimumWidth(count_->fontMetrics().horizontalAdvance(QStringLiteral("0000 of 0000")));
    auto* close = new QToolButton(this);
    close->setText(QStringLiteral("\u2715"));
    close->setAutoRaise(true);
    close->setToolTip(tr("Close the filter (Escape)"));

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(text_, 1);
    layout->addWidget(changed_);
    layout->addWidget(differs_);
    layout->addWidget(failed_);
    layout->addWidget(count_);
    layout->addWidget(close);

    connect(text_, &QLineEdit::textChanged, this, &TreeFilterBar::apply);
    for (QToolButton* button : {changed_, differs_, failed_})
        connect(button, &QToolButton::toggled, this, &TreeFilterBar::apply);
    connect(close, &QToolButton::clicked, this, [this] {
        clear();
        hide();
        tree_.setFocus();
    });

    again_.setSingleShot(true);
    again_.setInterval(kSettleMs);
    connect(&again_, &QTimer::timeout, this, &TreeFilterBar::apply);
    const TreeListModel& model = tree_.tree_model();
    auto rows_changed = [this] {
        if (filtered_) again_.start();
    };
    connect(&model, &QAbstractItemModel::dataChanged, this, rows_changed);
    connect(&model, &QAbstractItemModel::modelReset, this, rows_changed);
    connect(&model, &QAbstractItemModel::rowsInserted, this, rows_changed);
    connect(&model, &QAbstractItemModel::layoutChanged, this, rows_changed);
    hide();
}

void TreeFilterBar::start() {
    show();
    text_->setFocus(Qt::ShortcutFocusReason);
    text_->selectAll();
}

void TreeFilterBar::clear() {
    const QSignalBlocker quiet_text(text_);
    const QSignalBlocker quiet_changed(changed_), quiet_differs(differs_), quiet_failed(failed_);
    text_->clear();
    for (QToolButton* button : {changed_, differs_, failed_})
        button->setChecked(false);
    apply();
}

FilterQuery TreeFilterBar::query() const {
    FilterQuery q;
    q.text = text_->text().trimmed().toStdString();
    q.changed = changed_->isChecked();
    q.differs = differs_->isChecked();
    q.failed = failed_->isChecked();
    return q;
}

void TreeFilterBar::apply() {
    again_.stop();
    const FilterQuery q = query();
    TreeListModel& model = tree_.tree_model();
    if (q.empty()) {
        show_everything();
        return;
    }
    const FilterResult result = filter_tree(ModelRows(model), q);
    // Hiding and opening rows one by one would lay the tree out again each time.
    tree_.setUpdatesEnabled(false);
    set_hidden_rows(tree_, nullptr, &result);
    for (TreeItem item : result.expanded)
        tree_.expand_quietly(item);
    model.highlighted = result.matches;
    filtered_ = true;
    count_->setText(qtext(match_count_text(result)));
    tree_.setUpdatesEnabled(true);
}

void TreeFilterBar::show_everything() {
    TreeListModel& model = tree_.tree_model();
    if (filtered_) {
        tree_.setUpdatesEnabled(false);
        set_hidden_rows(tree_, nullptr, nullptr);
        tree_.setUpdatesEnabled(true);
    }
    filtered_ = false;
    model.highlighted.clear();
    count_->clear();
    tree_.viewport()->update();
}

bool TreeFilterBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == text_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Escape) {
            // The first Escape clears; on an empty filter it closes the bar.
            if (query().empty()) {
                hide();
                tree_.setFocus();
            } else {
                clear();
            }
            return true;
        }
        if (key->key() == Qt::Key_Down) {
            tree_.setFocus();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace varda::gui
